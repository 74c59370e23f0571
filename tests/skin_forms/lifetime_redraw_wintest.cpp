// Skinned controls that switch their window's drawing off while a message is passed on to the
// control's own code: whatever that code does meanwhile (an event handler switches the skin off or
// changes it, or frees the control), the control is on the screen afterwards, showing what it
// paints as the plain or newly skinned control it now is; a freed one is touched no more (the
// trap makes any touch fault).
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "framework/Exceptions.h"
#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/controls/sButton.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/adapt2_support.h"
#include "support/FreedMemoryGuard.h"
#include "support/RealInput.h"

namespace {

enum TKind { kButton, kCheckBox, kPanel, kOwnButton };
enum TAction { aSkinOff, aSkinChanged, aControlFreed, aHandlerFails };

// Where the action runs: inside the message Watched, passed on below the control's adapter (by a
// handler of the control's WindowProc chain installed before the adapter came), or in an event
// handler: the edit's OnExit when Watched is 0, the control's own OnEnter or OnExit for CM_ENTER
// and CM_EXIT. Send reaches the control through the system only, so that nothing touches a
// control freed meanwhile. A control whose focus moves cannot be freed by those handlers: the
// form that moves the focus goes on with it.
struct TRoad {
  const char* Name;
  TKind Kind;
  UINT Watched;
  bool Freeable;
  std::function<void(HWND Control, HWND Edit)> Send;
};

const TRoad Roads[] = {
    {"button taking the focus, the edit's OnExit", kButton, 0, false, [](HWND C, HWND) { SetFocus(C); }},
    {"button losing the focus", kButton, WM_KILLFOCUS, true,
     [](HWND C, HWND E) {
       SetFocus(C);
       SetFocus(E);
     }},
    {"button disabled", kButton, WM_ENABLE, true, [](HWND C, HWND) { EnableWindow(C, FALSE); }},
    {"button's new text", kButton, WM_SETTEXT, true, [](HWND C, HWND) { SetWindowTextW(C, L"New text"); }},
    {"button pushed", kButton, BM_SETSTATE, true, [](HWND C, HWND) { SendMessageW(C, BM_SETSTATE, TRUE, 0); }},
    {"check box disabled", kCheckBox, WM_ENABLE, true, [](HWND C, HWND) { EnableWindow(C, FALSE); }},
    {"check box checked", kCheckBox, BM_SETCHECK, true,
     [](HWND C, HWND) { SendMessageW(C, BM_SETCHECK, BST_CHECKED, 0); }},
    {"check box pushed", kCheckBox, BM_SETSTATE, true, [](HWND C, HWND) { SendMessageW(C, BM_SETSTATE, TRUE, 0); }},
    {"panel's new text", kPanel, WM_SETTEXT, true, [](HWND C, HWND) { SetWindowTextW(C, L"New text"); }},
    {"own button taking the focus, the edit's OnExit", kOwnButton, 0, false, [](HWND C, HWND) { SetFocus(C); }},
    {"own button taking the focus, its OnEnter", kOwnButton, CM_ENTER, false, [](HWND C, HWND) { SetFocus(C); }},
    {"own button losing the focus, its OnExit", kOwnButton, CM_EXIT, false,
     [](HWND C, HWND E) {
       SetFocus(C);
       SetFocus(E);
     }},
};

const char* ActionName(TAction A) {
  switch (A) {
    case aSkinOff: return "the skin switched off";
    case aSkinChanged: return "the skin loaded anew";
    case aControlFreed: return "the control freed";
    default: return "the handler fails";
  }
}

TWinControl* MakeControl(TKind Kind, TForm* Form) {
  TWinControl* C = nullptr;
  switch (Kind) {
    case kButton: C = new TButton(Form); break;
    case kCheckBox: C = new TCheckBox(Form); break;
    case kPanel: C = new TPanel(Form); break;
    case kOwnButton: C = new TsButton(Form); break;
  }
  C->SetParent(Form);
  C->SetBounds(40, 60, 140, 30);
  C->SetCaption(L"Control");
  return C;
}


// What the screen shows over the window is what the window paints when painted in full again (the
// pixels of its rounded corners aside: the skinned button takes them from the parent only when its
// window region is made anew).
bool ShowsItsPicture(HWND Form, HWND W) {
  const uitest::TCapture Now = uitest::WindowOnScreen(W);
  RedrawWindow(Form, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  uitest::Pump();
  const uitest::TCapture Again = uitest::WindowOnScreen(W);
  const TRect All(3, 3, Now.Width() - 3, Now.Height() - 3);
  return uitest::TCapture::SamePixels(Now, All, Again, All);
}

class LifetimeRedraw : public ::testing::Test {
 protected:
  void SetUp() override {
    sSkinProviderInstall();
    M = adapt2::LoadProgramSkin();
    ASSERT_TRUE(M->SkinActive());
    adapt2::SetList(*M, 1, "TButton");
    adapt2::SetList(*M, 3, "TCheckBox");
    adapt2::SetList(*M, 8, "TPanel");
    // The pointer rests away from the forms, so that no hover comes and goes.
    ASSERT_TRUE(realinput::MovePointerSettled(POINT{1200, 760}));
    SavedBoxes = Application->MessageBoxProc;
    Application->MessageBoxProc = [this](HWND, const WideString&, const WideString&, UINT) {
      ++Boxes;
      return IDOK;
    };
  }
  void TearDown() override {
    Application->MessageBoxProc = SavedBoxes;
    M.reset();
    uitest::Pump();
  }
  std::unique_ptr<TsSkinManager> M;
  TMessageBoxProc SavedBoxes;
  // The error boxes shown.
  int Boxes = 0;
};

}  // namespace

TEST_F(LifetimeRedraw, AControlIsOnTheScreenAfterItsSkinGoesOrChangesOrItIsFreedInsideAMessagePassedOn) {
  for (const TRoad& Road : Roads) {
    for (TAction Action : {aSkinOff, aSkinChanged, aControlFreed, aHandlerFails}) {
      if (Action == aControlFreed && !Road.Freeable) continue;
      SCOPED_TRACE(std::string(Road.Name) + ", " + ActionName(Action));
      if (!M->Active()) M->SetActive(true);
      ASSERT_TRUE(M->SkinActive());
      const memguard::TTrapFreedReads Trap;
      adapt2::TTestForm F;
      new TsSkinProvider(F.Form);
      auto* Edit = new TEdit(F.Form);
      Edit->SetParent(F.Form);
      Edit->SetBounds(40, 20, 140, 24);
      TWinControl* C = MakeControl(Road.Kind, F.Form);
      bool Armed = false, Done = false;
      auto Act = [&] {
        if (!Armed || Done) return;
        Done = true;
        switch (Action) {
          case aSkinOff: M->SetActive(false); break;
          case aSkinChanged: M->SetSkinName(M->SkinName()); break;
          case aControlFreed:
            delete C;
            C = nullptr;
            break;
          case aHandlerFails: throw Exception("The handler fails");
        }
      };
      if (Road.Watched == 0) {
        Edit->OnExit = [&](TObject*) { Act(); };
      } else if (Road.Watched == CM_ENTER) {
        C->OnEnter = [&](TObject*) { Act(); };
      } else if (Road.Watched == CM_EXIT) {
        C->OnExit = [&](TObject*) { Act(); };
      } else {
        TWndMethod Below = C->WindowProc();
        C->SetWindowProc([&, Below](TMessage& Msg) {
          if (Msg.Msg == Road.Watched && Armed && !Done) {
            Act();
            if (C == nullptr) return;
          }
          Below(Msg);
        });
      }
      F.Show();
      Edit->SetFocus();
      uitest::Pump();
      const HWND W = C->Handle();
      Boxes = 0;
      memguard::TFaultCount Faults;
      Armed = true;
      Road.Send(W, Edit->Handle());
      uitest::Pump();
      EXPECT_TRUE(Done);
      EXPECT_EQ(Boxes, Action == aHandlerFails ? 1 : 0);
      if (C == nullptr) {
        EXPECT_FALSE(IsWindow(W));
        EXPECT_EQ(Faults.Count(), 0);
        continue;
      }
      EXPECT_TRUE(IsWindowVisible(W));
      if (Road.Kind != kOwnButton) EXPECT_EQ(GetWndAdapter(W) == nullptr, Action == aSkinOff);
      EXPECT_TRUE(ShowsItsPicture(F.Form->Handle(), W));
      EXPECT_EQ(Faults.Count(), 0);
    }
  }
}
