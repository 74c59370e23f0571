// System dialogs skinned with extended borders: the border window placed by the skinned frame and
// title around the dialog, the dialog's image with its alpha and shadow (or, in border mode 1,
// the skin's outer frame with the title over it), the dialog's own region inside the border
// window, presses that reach the caption buttons, and a message box closed by a real click on its
// close button.
#include "skin/forms/acBorderForm.h"
#include "skin/forms/acDials.h"
#include "skin_forms/dlg_support.h"
#include "skin_forms/extform_support.h"
#include "skin_forms/provc_support.h"
#include "skin_core/senders_test_support.h"

using namespace provctest;
using extform::TExtDialog;
using extform::TExtHookedSkin;

namespace {

int Brightness(COLORREF C) { return GetRValue(C) + GetGValue(C) + GetBValue(C); }

// A dialog whose own handling of one kind of message (ActOn) removes the skin of Manager, or
// destroys the dialog when Manager is null, once.
UINT ActOn = 0;
TsSkinManager* RemovingManager = nullptr;
INT_PTR CALLBACK ActingDlgProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == ActOn) {
    ActOn = 0;
    if (RemovingManager != nullptr)
      RemovingManager->SetActive(false);
    else
      DestroyWindow(Wnd);
  }
  return dlgtest::TestDlgProc(Wnd, Msg, WParam, LParam);
}

// The shown layered windows of the thread (a border window).
int ShownLayeredWindows() {
  int N = 0;
  for (HWND W : sndtest::ThreadTopWindows())
    N += IsWindowVisible(W) && (GetWindowLongW(W, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
  return N;
}

}  // namespace

TEST(dlg_ExtBorder, TheBorderWindowHoldsTheDialogWhereItsImageShowsIt) {
  memguard::TFaultCount Faults;
  TExtDialog D(0);
  ASSERT_NE(D.Adapter, nullptr);
  ASSERT_NE(D.Adapter->BorderForm, nullptr);
  ASSERT_TRUE(IsWindowVisible(D.BorderWnd()));
  TBitmap* Img = D.Adapter->SkinData->CacheBmp();
  ASSERT_NE(Img, nullptr);
  uitest::SaveScreenshot(D.BorderWnd(), "dlg_extborder_mode0");
  // The client area of the image lies right under the dialog's client area on the screen.
  const RECT BR = D.BorderRect();
  POINT C{0, 0};
  ClientToScreen(D.Wnd, &C);
  const TPoint Off = D.Adapter->ClientOffset();
  EXPECT_EQ(BR.left + Off.X, C.x);
  EXPECT_EQ(BR.top + Off.Y, C.y) << "not lower, not higher";
  EXPECT_EQ(BR.right - BR.left, Img->Width());
  // The image: the margins of the skin around the skinned frame and title.
  const TRect E = D.Adapter->ExtMargins();
  EXPECT_EQ(E, (TRect{11, 9, 11, 13}));
  RECT WR;
  GetWindowRect(D.Wnd, &WR);
  const int DB = DiffBorder(D.Adapter->BorderForm), DT = DiffTitle(D.Adapter->BorderForm);
  EXPECT_EQ(DT, D.Adapter->CaptionHeight() - GetSystemMetrics(SM_CYCAPTION) -
                    FormBorderWidth(D.Wnd, nullptr, false));
  EXPECT_EQ(Img->Width(), (WR.right - WR.left) + 2 * DB + E.Left + E.Right);
  EXPECT_EQ(Img->Height(), (WR.bottom - WR.top) + DB + DT + E.Top + E.Bottom);
  // The dialog's own window keeps only its client part: the rest is the border window's.
  RECT Box{};
  ASSERT_NE(GetWindowRgnBox(D.Wnd, &Box), ERROR);
  const int SF = FormBorderWidth(D.Wnd, nullptr, false);
  EXPECT_EQ(Box.left, SF);
  EXPECT_EQ(Box.top, SF + GetSystemMetrics(SM_CYCAPTION));
  EXPECT_EQ(Box.right, (WR.right - WR.left) - SF);
  EXPECT_EQ(Box.bottom, (WR.bottom - WR.top) - SF);
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(dlg_ExtBorder, TheImageIsOpaqueInsideWithTheShadowAroundAndUnderTheCorners) {
  memguard::TFaultCount Faults;
  TExtDialog D(0);
  ASSERT_NE(D.Adapter, nullptr);
  ASSERT_NE(D.Adapter->BorderForm, nullptr);
  TBitmap* Img = D.Adapter->SkinData->CacheBmp();
  ASSERT_NE(Img, nullptr);
  ASSERT_EQ(Img->PixelFormat(), pf32bit);
  const TRect E = D.Adapter->ExtMargins();
  const int W = Img->Width(), H = Img->Height();
  // Painting again without a change keeps the image as it is.
  D.Adapter->PaintAll();
  EXPECT_EQ(Alpha32(Img, W / 2, H / 2), 255);
  EXPECT_EQ(Alpha32(Img, W / 2, E.Top + 5), 255) << "the caption";
  const int Beside = Alpha32(Img, E.Left - 1, H / 2);
  EXPECT_GT(Beside, 20);
  EXPECT_LT(Beside, 255);
  EXPECT_EQ(Alpha32(Img, 0, 0), 0);
  const int Corner = Alpha32(Img, E.Left, E.Top);
  EXPECT_GT(Corner, 0);
  EXPECT_LT(Corner, 255);
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(dlg_ExtBorder, PressesOnTheBorderWindowReachTheCaptionButtons) {
  memguard::TFaultCount Faults;
  TExtDialog D(0);
  ASSERT_NE(D.Adapter, nullptr);
  TacBorderForm* B = D.Adapter->BorderForm;
  ASSERT_NE(B, nullptr);
  const TRect Close = D.Adapter->ButtonClose.Rect;
  ASSERT_FALSE(Close.IsEmpty());
  const RECT BR = D.BorderRect();
  // The close button and the icon, in screen coordinates.
  TMessage M{WM_NCHITTEST, 0, MAKELPARAM(BR.left + (Close.Left + Close.Right) / 2, BR.top + (Close.Top + Close.Bottom) / 2), 0};
  EXPECT_EQ(B->BorderHitTest(M), HTCLOSE);
  const int IconX = D.Adapter->ExtMargins().Left + D.Adapter->FrameWidth() + 4;
  const int IconY = D.Adapter->ExtMargins().Top + D.Adapter->CaptionHeight() / 2;
  TMessage I{WM_NCHITTEST, 0, MAKELPARAM(BR.left + IconX, BR.top + IconY), 0};
  EXPECT_EQ(B->BorderHitTest(I), HTSYSMENU);
  TMessage Cap{WM_NCHITTEST, 0, MAKELPARAM(BR.left + (BR.right - BR.left) / 2, BR.top + IconY), 0};
  EXPECT_EQ(B->BorderHitTest(Cap), HTCAPTION);
  // A press and a release there (as the border window passes them on) close the dialog.
  const LPARAM At = M.LParam;
  SendMessageW(D.Wnd, WM_NCLBUTTONDOWN, static_cast<WPARAM>(-1), At);
  EXPECT_EQ(D.Adapter->ButtonClose.State, 2);
  SendMessageW(D.Wnd, WM_NCLBUTTONUP, static_cast<WPARAM>(-1), At);
  EXPECT_TRUE(uitest::WaitFor([&] { return !IsWindow(D.Wnd); }, 1000));
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(dlg_ExtBorder, ModeOneDrawsTheSkinsOuterFrameWithTheTitleOverIt) {
  memguard::TFaultCount Faults;
  TExtDialog D(1);
  ASSERT_NE(D.Adapter, nullptr);
  ASSERT_NE(D.Adapter->BorderForm, nullptr);
  TBitmap* Img = D.Adapter->SkinData->CacheBmp();
  ASSERT_NE(Img, nullptr);
  uitest::SaveScreenshot(D.BorderWnd(), "dlg_extborder_mode1");
  const TRect E = D.Adapter->ExtMargins();
  ASSERT_EQ(E, (TRect{8, 8, 8, 8}));
  const int W = Img->Width(), H = Img->Height();
  const int CH = D.Adapter->CaptionHeight();
  EXPECT_TRUE(NearColor(Pixel32(Img, E.Left, H / 2), extskin::Mode1Outline, 8)) << std::hex << Pixel32(Img, E.Left, H / 2);
  const int Out = Alpha32(Img, E.Left - 2, H / 2);
  EXPECT_GT(Out, 0);
  EXPECT_LT(Out, 255);
  int BandColour = 0, Light = 0, NotOpaque = 0;
  for (int Y = E.Top + 2; Y < E.Top + CH - 2; ++Y)
    for (int X = E.Left + 30; X < W - E.Right - 60; ++X) {
      const COLORREF P = Pixel32(Img, X, Y);
      if (NearColor(P, extskin::Mode1Band, 6)) ++BandColour;
      if (Brightness(P) > 500) ++Light;
      if (Alpha32(Img, X, Y) != 255) ++NotOpaque;
    }
  EXPECT_EQ(BandColour, 0);
  EXPECT_GT(Light, 15) << "the caption text";
  EXPECT_EQ(NotOpaque, 0);
  EXPECT_LT(Alpha32(Img, E.Left, E.Top), 255) << "the rounded corner";
  EXPECT_EQ(Faults.Count(), 0);
}

// ---- a message box closed by a real click -------------------------------------------------------

namespace {

struct TBoxClick {
  HWND Box = nullptr;
  bool Clicked = false;
  bool HadBorder = false;
  int Ticks = 0;
};
TBoxClick GClick;

void CALLBACK ClickCloseTimer(HWND, UINT, UINT_PTR Id, DWORD) {
  ++GClick.Ticks;
  HWND Box = dlgtest::VisibleDialog();
  if (Box != nullptr && !GClick.Clicked && GClick.Ticks >= 4) {
    GClick.Clicked = true;
    GClick.Box = Box;
    TacProvider* P = FindDialogProvider(Box);
    TacDialogWnd* A = P != nullptr ? P->DialogAdapter : nullptr;
    if (A != nullptr && A->BorderForm != nullptr && A->BorderForm->AForm != nullptr) {
      GClick.HadBorder = true;
      A->BorderForm->UpdateBorderWindow(true, 255);
      HWND BW = A->BorderForm->AForm->Handle();
      RECT R;
      GetWindowRect(BW, &R);
      const TRect C = A->ButtonClose.Rect;
      const POINT S{R.left + (C.Left + C.Right) / 2, R.top + (C.Top + C.Bottom) / 2};
      realinput::MovePointerSettled(S);
      realinput::SendButtons(
          {realinput::ButtonAt(S, MOUSEEVENTF_LEFTDOWN), realinput::ButtonAt(S, MOUSEEVENTF_LEFTUP)});
    }
  }
  // Whatever happens, the box ends: with Retry (a failure of the test) after a while.
  if (GClick.Ticks > 60 && Box != nullptr) PostMessageA(Box, WM_COMMAND, IDRETRY, 0);
  if (GClick.Ticks > 120) KillTimer(nullptr, Id);
}

}  // namespace

TEST(dlg_ExtBorder, AClickOnTheCloseButtonOfAMessageBoxClosesIt) {
  memguard::TFaultCount Faults;
  TExtHookedSkin Skin(0);
  ASSERT_TRUE(Skin.Manager->HookInstalled());
  GClick = TBoxClick{};
  const UINT_PTR Timer = SetTimer(nullptr, 0, 50, ClickCloseTimer);
  const int Answer = MessageBoxW(nullptr, L"Close me with the close button.", L"Extended box",
                                 MB_RETRYCANCEL | MB_ICONINFORMATION);
  KillTimer(nullptr, Timer);
  EXPECT_TRUE(GClick.HadBorder) << "the box had its border window";
  EXPECT_TRUE(GClick.Clicked);
  EXPECT_EQ(Answer, IDCANCEL) << "closed by its close button";
  uitest::Pump();
  EXPECT_EQ(Faults.Count(), 0);
}

// A skinned dialog with extended borders brought back in front of another window that overlaps its
// title: its border window comes right behind it, in the window list and on the screen.
TEST(dlg_ExtBorder, BroughtBackInFrontOfAnotherWindowTheBorderWindowComesRightBehindIt) {
  enum TWay { wClick, wSetForeground, wSetWindowPosTop };
  for (TWay Way : {wClick, wSetForeground, wSetWindowPosTop}) {
    SCOPED_TRACE(Way == wClick ? "a click" : Way == wSetForeground ? "SetForegroundWindow" : "SetWindowPos");
    memguard::TTrapFreedReads Trap;
    memguard::TFaultCount Faults;
    TExtDialog D(0);
    ASSERT_NE(D.Adapter, nullptr);
    ASSERT_NE(D.Adapter->BorderForm, nullptr);
    const RECT BR = D.BorderRect();
    const int W = BR.right - BR.left, H = BR.bottom - BR.top;
    extform::TBackdrop Other(TRect{BR.left + W / 2, BR.top - 20, BR.right + 40, BR.top + H / 2}, RGB(0, 0, 255));
    ASSERT_TRUE(realinput::BringToFront(Other.Form->Handle()));
    RECT C{};
    GetClientRect(D.Wnd, &C);
    POINT Inside{4, C.bottom - 4};
    ClientToScreen(D.Wnd, &Inside);
    switch (Way) {
      case wClick: ASSERT_TRUE(realinput::ClickSeen(Inside)); break;
      case wSetForeground: SetForegroundWindow(D.Wnd); break;
      case wSetWindowPosTop: SetWindowPos(D.Wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); break;
    }
    uitest::PumpFor(200);
    EXPECT_EQ(GetAncestor(WindowFromPoint(Inside), GA_ROOT), D.Wnd);
    EXPECT_EQ(GetWindow(D.Wnd, GW_HWNDNEXT), D.BorderWnd());
    EXPECT_EQ(extform::BorderImageHidden(D.Wnd, D.BorderWnd(), D.Adapter->SkinData->CacheBmp()), 0);
    EXPECT_EQ(Faults.Count(), 0);
  }
}

// The adapter follows up some messages once the dialog has handled them (a move, a change of place,
// a system command); the dialog's own handling may remove the skin, which frees the adapter and its
// border window, or destroy the dialog, which lets go of them: nothing of the adapter is touched
// after (the trap makes any touch of a freed one fault), no border window shows around a dialog
// that goes on with the system's frame, and nothing is left behind once the dialog is gone.
TEST(dlg_ExtBorder, ADialogRemovingTheSkinOrDestroyedInAMessageTheAdapterFollowsUpLeavesNothingBehind) {
  struct TRow {
    const char* Name;
    UINT Msg;
    void (*Send)(HWND);
  };
  auto Move = [](HWND W) { SetWindowPos(W, nullptr, 300, 220, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE); };
  const TRow Rows[] = {
      {"a move", WM_MOVE, Move},
      {"a change of place", WM_WINDOWPOSCHANGING, Move},
      {"a maximise command", WM_SYSCOMMAND, [](HWND W) { SendMessageW(W, WM_SYSCOMMAND, SC_MAXIMIZE, 0); }},
      {"a restore command", WM_SYSCOMMAND, [](HWND W) { SendMessageW(W, WM_SYSCOMMAND, SC_RESTORE, 0); }}};
  const auto Make = [] {
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                      dlgtest::StandardDialog(DS_MODALFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX).Get(),
                                      nullptr, ActingDlgProc, 0);
  };
  // A first dialog makes what the process keeps for good (the application's window, the input
  // method's).
  { TExtDialog First(0); }
  const int Windows = uitest::CountThreadWindows();
  for (const bool Destroys : {false, true})
    for (const TRow& Row : Rows) {
      SCOPED_TRACE(std::string(Row.Name) + (Destroys ? ", the dialog destroyed" : ", the skin removed"));
      const memguard::TTrapFreedReads Trap;
      extform::OnEachDialogFrame(Make, [&](TExtDialog& D, bool) {
        RemovingManager = Destroys ? nullptr : D.Skin->Manager.get();
        ActOn = Row.Msg;
        Row.Send(D.Wnd);
        ActOn = 0;
        RemovingManager = nullptr;
        uitest::PumpFor(100);
        EXPECT_EQ(IsWindow(D.Wnd) != FALSE, !Destroys);
        if (!Destroys) {
          EXPECT_FALSE(D.Skin->Manager->Active());
          EXPECT_EQ(ShownLayeredWindows(), 0);
        }
      });
      EXPECT_EQ(uitest::CountThreadWindows(), Windows);
    }
}
