// The caption buttons of skinned system dialogs: a press lasts until its release and no longer.
// A press that lost its capture (released outside the dialog, the capture taken, the mode
// cancelled) is forgotten; a press in one dialog never acts in another; a dialog or its skin
// going away while a button is pressed leaves no press behind. A press released over its button
// still acts.
#include <gtest/gtest.h>

#include <windows.h>

#include "skin_forms/dlg_support.h"
#include "support/FreedMemoryGuard.h"
#include "support/RealInput.h"

namespace {

// A sizeable dialog with a minimize and a maximize box besides its close button.
dlgtest::TTemplate BoxedDialog(const std::wstring& Title) {
  return dlgtest::StandardDialog(WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, Title);
}

class DlgCaption : public ::testing::Test {
 protected:
  void SetUp() override {
    Skin = std::make_unique<dlgtest::THookedSkin>();
    ASSERT_TRUE(Skin->Manager->SkinActive());
  }
  void TearDown() override {
    for (HWND W : Windows)
      if (IsWindow(W)) DestroyWindow(W);
    uitest::Pump();
    Skin.reset();
    DialogPosX = DialogPosY = -1;
    EXPECT_FALSE(acDialogButtonPressed);
  }
  // A dialog at a place of its own, its adapter made and its caption painted.
  HWND Open(const dlgtest::TTemplate& T, int X, int Y) {
    HWND W = dlgtest::CreateModeless(T);
    Windows.push_back(W);
    SetWindowPos(W, nullptr, X, Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetForegroundWindow(W);
    uitest::Settle(W);
    if (!uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; })) return W;
    RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
    uitest::Settle(W);
    return W;
  }
  static TacDialogWnd* Adapter(HWND W) {
    TacProvider* P = FindDialogProvider(W);
    return P != nullptr ? P->DialogAdapter : nullptr;
  }
  // The screen centre of a caption button (its rectangle is in window coordinates).
  static POINT Centre(HWND W, const TsCaptionButton& B) {
    RECT WR;
    GetWindowRect(W, &WR);
    return POINT{WR.left + (B.Rect.Left + B.Rect.Right) / 2, WR.top + (B.Rect.Top + B.Rect.Bottom) / 2};
  }
  static LPARAM Screen(POINT P) { return MAKELPARAM(static_cast<short>(P.x), static_cast<short>(P.y)); }
  static LPARAM Client(HWND W, POINT P) {
    ScreenToClient(W, &P);
    return MAKELPARAM(static_cast<short>(P.x), static_cast<short>(P.y));
  }
  std::unique_ptr<dlgtest::THookedSkin> Skin;
  std::vector<HWND> Windows;
};

struct TButtonCase {
  const char* Name;
  int HitCode;
  TsCaptionButton TacDialogWnd::*Button;
};
const TButtonCase Buttons[] = {
    {"close", HTCLOSE, &TacDialogWnd::ButtonClose},
    {"minimize", HTMINBUTTON, &TacDialogWnd::ButtonMin},
    {"maximize", HTMAXBUTTON, &TacDialogWnd::ButtonMax},
};

// The button's command ran: the dialog closed, minimized or maximized.
bool Acted(HWND W, int HitCode) {
  if (HitCode == HTCLOSE) return !IsWindow(W);
  if (HitCode == HTMINBUTTON) return IsIconic(W) != 0;
  return IsZoomed(W) != 0;
}

}  // namespace

TEST_F(DlgCaption, APressThatLostItsCaptureIsForgottenAndAReleaseOverItsButtonActs) {
  memguard::TFaultCount Faults;
  for (const TButtonCase& B : Buttons) {
    for (int Way = 0; Way < 3; ++Way) {
      SCOPED_TRACE(B.Name);
      SCOPED_TRACE(Way == 0 ? "capture taken by another window" : Way == 1 ? "capture released" : "mode cancelled");
      HWND W = Open(BoxedDialog(L"Lost press"), 120, 100);
      TacDialogWnd* D = Adapter(W);
      ASSERT_NE(D, nullptr);
      const POINT P = Centre(W, D->*B.Button);
      ASSERT_EQ(SendMessageA(W, WM_NCHITTEST, 0, Screen(P)), B.HitCode);
      SendMessageA(W, WM_NCLBUTTONDOWN, B.HitCode, Screen(P));
      EXPECT_EQ((D->*B.Button).State, 2);
      EXPECT_TRUE(acDialogButtonPressed);
      EXPECT_EQ(GetCapture(), W) << "the press holds the capture until its release";
      HWND Other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
      switch (Way) {
        case 0:
          SetCapture(Other);
          break;
        case 1:
          ReleaseCapture();
          break;
        default:
          SendMessageA(W, WM_CANCELMODE, 0, 0);
          break;
      }
      uitest::Pump();
      EXPECT_FALSE(acDialogButtonPressed);
      EXPECT_NE((D->*B.Button).State, 2);
      EXPECT_NE(GetCapture(), W);
      // A release over the button that belongs to no press of it.
      SendMessageA(W, WM_NCLBUTTONUP, B.HitCode, Screen(P));
      uitest::Pump();
      EXPECT_FALSE(Acted(W, B.HitCode));
      if (GetCapture() == Other) ReleaseCapture();
      DestroyWindow(Other);
      // Pressed again and released over it (under the capture the release is a client one): the
      // button acts, and the capture is given back.
      ASSERT_TRUE(IsWindow(W));
      SendMessageA(W, WM_NCLBUTTONDOWN, B.HitCode, Screen(P));
      SendMessageA(W, WM_LBUTTONUP, 0, Client(W, P));
      uitest::Pump();
      EXPECT_TRUE(Acted(W, B.HitCode));
      EXPECT_FALSE(acDialogButtonPressed);
      EXPECT_NE(GetCapture(), W);
      if (IsWindow(W)) DestroyWindow(W);
      uitest::Pump();
    }
  }
  EXPECT_EQ(Faults.Count(), 0);
}

TEST_F(DlgCaption, ReleasesAwayFromThePressedButtonEndThePressWithoutActing) {
  memguard::TFaultCount Faults;
  HWND W = Open(BoxedDialog(L"Away"), 120, 100);
  TacDialogWnd* D = Adapter(W);
  ASSERT_NE(D, nullptr);
  const POINT Close = Centre(W, D->ButtonClose);
  const POINT Min = Centre(W, D->ButtonMin);
  RECT WR;
  GetWindowRect(W, &WR);
  // Released in the client area, over another caption button, and outside the dialog.
  const POINT Aways[] = {{(WR.left + WR.right) / 2, (WR.top + WR.bottom) / 2}, Min, {WR.right + 40, WR.bottom + 30}};
  for (const POINT& Away : Aways) {
    SendMessageA(W, WM_NCLBUTTONDOWN, HTCLOSE, Screen(Close));
    ASSERT_EQ(GetCapture(), W);
    SendMessageA(W, WM_LBUTTONUP, 0, Client(W, Away));
    uitest::Pump();
    EXPECT_TRUE(IsWindow(W));
    EXPECT_FALSE(IsIconic(W));
    EXPECT_FALSE(acDialogButtonPressed);
    EXPECT_NE(GetCapture(), W);
    EXPECT_NE(D->ButtonClose.State, 2);
    SendMessageA(W, WM_NCLBUTTONUP, HTCLOSE, Screen(Close));
    EXPECT_TRUE(IsWindow(W));
  }
  EXPECT_EQ(Faults.Count(), 0);
}

TEST_F(DlgCaption, ARealPressReleasedOutsideTheDialogIsForgotten) {
  memguard::TFaultCount Faults;
  HWND W = Open(dlgtest::StandardDialog(DS_MODALFRAME, L"Real press"), 120, 100);
  TacDialogWnd* D = Adapter(W);
  ASSERT_NE(D, nullptr);
  ASSERT_TRUE(realinput::BringToFront(W));
  const POINT Close = Centre(W, D->ButtonClose);
  RECT WR;
  GetWindowRect(W, &WR);
  const POINT Away{WR.right + 60, WR.bottom + 40};
  ASSERT_TRUE(realinput::MovePointerSeen(Close));
  realinput::SendButtons({realinput::ButtonAt(Close, MOUSEEVENTF_LEFTDOWN)});
  ASSERT_TRUE(uitest::WaitFor([&] { return D->ButtonClose.State == 2; }));
  realinput::SendButtons({realinput::ButtonAt(Away, 0), realinput::ButtonAt(Away, MOUSEEVENTF_LEFTUP)});
  EXPECT_TRUE(uitest::WaitFor([&] { return D->ButtonClose.State != 2 && GetCapture() != W; })) << "the release was handled";
  EXPECT_TRUE(IsWindow(W));
  EXPECT_FALSE(acDialogButtonPressed);
  EXPECT_NE(D->ButtonClose.State, 2);
  EXPECT_NE(GetCapture(), W);
  SendMessageA(W, WM_NCLBUTTONUP, HTCLOSE, Screen(Close));
  uitest::Pump();
  ASSERT_TRUE(IsWindow(W));

  // A fresh press released over the button closes. (Past the double-click time, so that the
  // press is not taken for the second click of a double click.)
  uitest::PumpFor(static_cast<int>(GetDoubleClickTime()) + 100);
  ASSERT_TRUE(realinput::MovePointerSeen(Close));
  realinput::SendButtons({realinput::ButtonAt(Close, MOUSEEVENTF_LEFTDOWN)});
  ASSERT_TRUE(uitest::WaitFor([&] { return D->ButtonClose.State == 2; }));
  realinput::SendButtons({realinput::ButtonAt(Close, MOUSEEVENTF_LEFTUP)});
  EXPECT_TRUE(uitest::WaitFor([&] { return !IsWindow(W); }));
  EXPECT_FALSE(acDialogButtonPressed);
  EXPECT_EQ(Faults.Count(), 0);
}

// The pressed flag is one for all dialogs: a press in one dialog must not make a release in
// another act, and a pressed dialog (or its skin) going away in any order leaves no press behind.
TEST_F(DlgCaption, APressBelongsToItsDialogAndGoesWithIt) {
  memguard::TFaultCount Faults;
  for (int Way = 0; Way < 4; ++Way) {
    SCOPED_TRACE(Way == 0   ? "the other dialog released over its button"
                 : Way == 1 ? "the pressed dialog destroyed first"
                 : Way == 2 ? "the other dialog destroyed first"
                            : "the skin freed");
    // One dialog is skinned at a time while it shows: A hidden while B opens, then shown again.
    HWND A = Open(dlgtest::StandardDialog(DS_MODALFRAME, L"Pressed"), 80, 80);
    ShowWindow(A, SW_HIDE);
    HWND B = Open(dlgtest::StandardDialog(DS_MODALFRAME, L"Other"), 480, 80);
    ShowWindow(A, SW_SHOWNA);
    uitest::Settle(A);
    TacDialogWnd* DA = Adapter(A);
    TacDialogWnd* DB = Adapter(B);
    ASSERT_NE(DA, nullptr);
    ASSERT_NE(DB, nullptr);
    const POINT CloseA = Centre(A, DA->ButtonClose);
    const POINT CloseB = Centre(B, DB->ButtonClose);
    // The pointer rests over A's close button, as it does while a user holds it there: a move
    // the system makes up after the capture changes then keeps A's button hot and pressed.
    ASSERT_TRUE(realinput::MovePointerSettled(CloseA));
    // B's close button hot (the pointer went over it and left without a leave message).
    ASSERT_EQ(SendMessageA(B, WM_NCHITTEST, 0, Screen(CloseB)), HTCLOSE);
    ASSERT_EQ(DB->HotCode, dhtClose);
    SendMessageA(A, WM_NCLBUTTONDOWN, HTCLOSE, Screen(CloseA));
    ASSERT_EQ(DA->ButtonClose.State, 2);
    switch (Way) {
      case 0:
        SendMessageA(B, WM_NCLBUTTONUP, HTCLOSE, Screen(CloseB));
        SendMessageA(B, WM_LBUTTONUP, 0, Client(B, CloseB));
        uitest::Pump();
        EXPECT_TRUE(IsWindow(B)) << "a press in one dialog closed another";
        // A's press is still A's: released over its button it closes A.
        SendMessageA(A, WM_LBUTTONUP, 0, Client(A, CloseA));
        uitest::Pump();
        EXPECT_FALSE(IsWindow(A));
        break;
      case 1:
        DestroyWindow(A);
        uitest::Pump();
        break;
      case 2:
        DestroyWindow(B);
        uitest::Pump();
        // (The activation moving may have ended A's press: pressed again.)
        SendMessageA(A, WM_NCLBUTTONDOWN, HTCLOSE, Screen(CloseA));
        EXPECT_TRUE(acDialogButtonPressed);
        DestroyWindow(A);
        uitest::Pump();
        break;
      default:
        Skin.reset();
        uitest::Pump();
        break;
    }
    EXPECT_FALSE(acDialogButtonPressed);
    EXPECT_NE(GetCapture(), A);
    if (IsWindow(B) && Way != 3) {
      ASSERT_EQ(SendMessageA(B, WM_NCHITTEST, 0, Screen(CloseB)), HTCLOSE);
      SendMessageA(B, WM_NCLBUTTONUP, HTCLOSE, Screen(CloseB));
      uitest::Pump();
      EXPECT_TRUE(IsWindow(B)) << "a press of a dialog gone closed another";
    }
    for (HWND W : {A, B})
      if (IsWindow(W)) DestroyWindow(W);
    uitest::Pump();
    if (Way == 3) Skin = std::make_unique<dlgtest::THookedSkin>();
  }
  EXPECT_EQ(Faults.Count(), 0);
}
