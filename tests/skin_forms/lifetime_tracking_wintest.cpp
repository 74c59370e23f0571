// Lifetimes of the scroll-bar tracking of adapted controls: the skin is switched off while a real
// press holds a scroll arrow down or the pointer rests on a bar, so that every kind of scrolling
// adapter (edit, list box, list view, tree view, grid, simple combo box list) is freed in the
// middle of its tracking. Its timers must stop and the mouse capture must go back.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

#include "skin/controls/acScrollBars.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/adapt2_support.h"
#include "skin_forms/lifetime_support.h"
#include "support/RealInput.h"

namespace {

// One control of a scrolling kind, made on a form; Fill fills it until its vertical bar shows and
// answers the window whose bar is pressed (the list of a simple combo box, else the control).
struct TScrollingKind {
  const char* Name;
  std::function<TWinControl*(TForm*)> Make;
  std::function<HWND(TWinControl*)> Fill;
};

std::vector<TScrollingKind> Kinds() {
  auto Lines = [](HWND W, UINT Msg) {
    for (int I = 0; I < 60; ++I) {
      const std::wstring T = L"line " + std::to_wstring(I);
      SendMessageW(W, Msg, 0, reinterpret_cast<LPARAM>(T.c_str()));
    }
  };
  return {
      {"memo", [](TForm* F) { return new lifetime::TLtMemo(F); },
       [](TWinControl* C) {
         std::wstring T;
         for (int I = 0; I < 60; ++I) T += L"line " + std::to_wstring(I) + L"\r\n";
         SetWindowTextW(C->Handle(), T.c_str());
         return C->Handle();
       }},
      {"list box", [](TForm* F) { return new lifetime::TLtListBox(F); },
       [Lines](TWinControl* C) {
         Lines(C->Handle(), LB_ADDSTRING);
         return C->Handle();
       }},
      {"list view", [](TForm* F) {
         auto* L = new TListView(F);
         L->SetViewStyle(vsReport);
         L->Columns()->Add()->SetCaption(L"Name");
         for (int I = 0; I < 60; ++I) L->AddItem(L"row " + std::to_wstring(I));
         return L;
       },
       [](TWinControl* C) { return C->Handle(); }},
      {"tree view", [](TForm* F) {
         auto* T = new TTreeView(F);
         for (int I = 0; I < 60; ++I) T->AddChild(nullptr, L"node " + std::to_wstring(I));
         return T;
       },
       [](TWinControl* C) { return C->Handle(); }},
      {"grid", [](TForm* F) { return new lifetime::TLtGrid(F); },
       [](TWinControl* C) {
         SCROLLINFO SI{sizeof(SCROLLINFO), SIF_ALL, 0, 100, 10, 0, 0};
         SetScrollInfo(C->Handle(), SB_VERT, &SI, TRUE);
         return C->Handle();
       }},
      {"simple combo box", [](TForm* F) { return new lifetime::TLtSimpleCombo(F); },
       [Lines](TWinControl* C) {
         Lines(C->Handle(), CB_ADDSTRING);
         return FindWindowExW(C->Handle(), nullptr, L"ComboLBox", nullptr);
       }},
  };
}

class LifetimeTracking : public ::testing::Test {
 protected:
  void SetUp() override {
    sSkinProviderInstall();
    InitCommonControls();
    M = adapt2::LoadProgramSkin();
    ASSERT_TRUE(M->SkinActive());
    adapt2::SetList(*M, 0, "TLtMemo\r\nTLtListBox");
    adapt2::SetList(*M, 4, "TLtSimpleCombo");
    adapt2::SetList(*M, 5, "TLtGrid");
    adapt2::SetList(*M, 7, "TListView");
    adapt2::SetList(*M, 9, "TTreeView");
  }
  void TearDown() override {
    M.reset();
    uitest::Pump();
  }
  std::unique_ptr<TsSkinManager> M;
};

bool TimerRuns(HWND W, UINT_PTR Id) { return KillTimer(W, Id) != FALSE; }

}  // namespace

// Switching the skin off frees the adapters of the form's controls; one freed while its arrow is
// held down or while the pointer rests on its bar leaves no timer running on the window and no
// mouse capture behind, whatever kind of scrolling adapter it is.
TEST_F(LifetimeTracking, TheSkinGoingDuringAPressOrHoverStopsTheTrackingOfEveryScrollingKind) {
  for (const TScrollingKind& K : Kinds()) {
    for (bool Press : {true, false}) {
      SCOPED_TRACE(std::string(K.Name) + (Press ? ", arrow held down" : ", pointer on the bar"));
      if (!M->Active()) M->SetActive(true);
      ASSERT_TRUE(M->SkinActive());
      adapt2::TTestForm F;
      new TsSkinProvider(F.Form);
      TWinControl* C = K.Make(F.Form);
      C->SetParent(F.Form);
      C->SetBounds(20, 20, 200, 160);
      F.Show();
      HWND W = K.Fill(C);
      ASSERT_NE(W, nullptr);
      uitest::Settle(F.Form->Handle());
      auto* A = dynamic_cast<TacScrollWnd*>(GetWndAdapter(W));
      ASSERT_NE(A, nullptr);
      ASSERT_TRUE(uitest::WaitFor([&] { return A->VertBar != nullptr && A->VertBar->Visible; }));
      ASSERT_TRUE(realinput::BringToFront(F.Form->Handle()));
      TRect S;
      GetVertBarRect(A, W, S);
      const POINT Arrow{(S.Left + S.Right) / 2, S.Bottom - 4};
      ASSERT_TRUE(realinput::MovePointerSettled(POINT{S.Left - 60, S.Top + 20}));
      ASSERT_TRUE(realinput::MovePointerSeen(Arrow));
      if (Press) {
        realinput::SendButtons({realinput::ButtonAt(Arrow, MOUSEEVENTF_LEFTDOWN)});
        ASSERT_TRUE(uitest::WaitFor([&] { return acScrollTracking().TrackPart != -1 && GetCapture() == W; }));
        uitest::PumpFor(350);  // past the first delay: the repeat runs
      } else {
        ASSERT_TRUE(uitest::WaitFor([&] { return acScrollTracking().HoverTimer != 0; }));
        ASSERT_EQ(acScrollTracking().HoverWnd, W);
      }
      M->SetActive(false);
      uitest::Pump();
      EXPECT_EQ(GetWndAdapter(W), nullptr);
      EXPECT_NE(GetCapture(), W);
      EXPECT_FALSE(TimerRuns(W, acTimerHover));
      EXPECT_FALSE(TimerRuns(W, acTimerFirstRepeat));
      EXPECT_FALSE(TimerRuns(W, acTimerRepeat));
      EXPECT_EQ(acScrollTracking().HoverWnd, nullptr);
      EXPECT_EQ(acScrollTracking().TrackPart, -1);
      if (Press) realinput::SendButtons({realinput::ButtonAt(Arrow, MOUSEEVENTF_LEFTUP)});
      uitest::Pump();
    }
  }
}
