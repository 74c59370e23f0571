// How skinned system dialogs look: a message box carries the program's icon in its caption and a
// close button as clear as a form's.
#include <gtest/gtest.h>

#include <windows.h>

#include "skin_forms/dlg_support.h"
#include "skin_forms/provb_support.h"
#include "support/FreedMemoryGuard.h"

namespace {

int BrightIn(const uitest::TCapture& C, const TRect& R) {
  int N = 0;
  for (int Y = R.Top; Y < R.Bottom; ++Y)
    for (int X = R.Left; X < R.Right; ++X) {
      const COLORREF P = C.Pixel(X, Y);
      if (GetRValue(P) + GetGValue(P) + GetBValue(P) > 3 * 170) ++N;
    }
  return N;
}

// What a timer saw of the message box.
struct TBoxLook {
  int Ticks = 0;
  bool Seen = false;
  int IconPixels = 0;  // pixels of the program's icon colour in the caption's left end
  int CloseBright = 0;  // bright pixels of the close button
};
TBoxLook GLook;
constexpr COLORREF ProgramIconColour = RGB(220, 30, 40);

void CALLBACK LookAtBox(HWND, UINT, UINT_PTR Id, DWORD) {
  HWND Box = dlgtest::VisibleDialog();
  if (++GLook.Ticks > 100) KillTimer(nullptr, Id);
  if (Box == nullptr || GLook.Seen || GLook.Ticks < 6) return;
  TacProvider* P = FindDialogProvider(Box);
  TacDialogWnd* D = P != nullptr ? P->DialogAdapter : nullptr;
  if (D == nullptr) return;
  GLook.Seen = true;
  RedrawWindow(Box, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  uitest::SaveScreenshot(Box, "dlg_messagebox_caption");
  const uitest::TCapture C = dlgtest::CaptureWindow(Box);
  const int Band = D->FrameWidth() + D->CaptionHeight();
  GLook.IconPixels = C.Count(TRect{0, 0, 40, Band}, ProgramIconColour);
  GLook.CloseBright = BrightIn(C, D->ButtonClose.Rect);
  PostMessageA(Box, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace

TEST(dlg_Looks, AMessageBoxShowsTheProgramsIconAndAClearCloseButton) {
  memguard::TFaultCount Faults;
  // The close button of a skinned form, for comparison.
  int FormCloseBright = 0;
  {
    provbtest::TSkinnedForm F;
    const uitest::TCapture C = dlgtest::CaptureWindow(F.Handle());
    FormCloseBright = BrightIn(C, F.Provider->ButtonClose.Rect);
  }
  ASSERT_GT(FormCloseBright, 0);
  // The program's icon: the small icon of its application window.
  HWND App = Application->Handle();
  const LONG_PTR OldSmall = GetClassLongPtrW(App, GCLP_HICONSM);
  HICON Icon = uitest::SolidIcon(GetSystemMetrics(SM_CXSMICON), ProgramIconColour);
  SetClassLongPtrW(App, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(Icon));
  {
    dlgtest::THookedSkin Skin;
    GLook = TBoxLook{};
    const UINT_PTR T = SetTimer(nullptr, 0, 50, LookAtBox);
    MessageBoxW(nullptr, L"The channel list has changed.", L"Channel list", MB_YESNOCANCEL | MB_ICONQUESTION);
    KillTimer(nullptr, T);
    uitest::Pump();
  }
  SetClassLongPtrW(App, GCLP_HICONSM, OldSmall);
  DestroyIcon(Icon);
  ASSERT_TRUE(GLook.Seen);
  const int IconSize = GetSystemMetrics(SM_CXSMICON);
  EXPECT_GT(GLook.IconPixels, IconSize * IconSize / 2) << "the program's icon in the caption";
  EXPECT_GE(GLook.CloseBright, FormCloseBright) << "a close glyph as clear as a form's";
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(dlg_Looks, EditsListBoxesComboBoxesAndGroupBoxesOfADialogAreSkinned) {
  memguard::TFaultCount Faults;
  dlgtest::THookedSkin Skin;
  HWND W = dlgtest::CreateModeless(dlgtest::StandardDialog(DS_MODALFRAME, L"Controls"));
  SetWindowPos(W, nullptr, 200, 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SetForegroundWindow(W);
  uitest::Settle(W);
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  // The edit loses the focus to the OK button, so that no selection shows in it.
  SetFocus(GetDlgItem(W, IDOK));
  SendDlgItemMessageW(W, 102, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"First News"));
  SendDlgItemMessageW(W, 103, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Sports"));
  SendDlgItemMessageW(W, 103, CB_SETCURSEL, 0, 0);
  RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  uitest::Settle(W);
  uitest::SaveScreenshot(W, "dlg_controls");
  // What each control shows on the screen: its inside in the skin's dark colours, its text light,
  // nothing of the system's white or black-on-white.
  HDC Screen = GetDC(nullptr);
  for (int Id : {101, 102, 103, 105}) {
    SCOPED_TRACE(Id);
    HWND C = GetDlgItem(W, Id);
    RECT R;
    GetWindowRect(C, &R);
    const uitest::TCapture Shot(Screen, TRect{R.left, R.top, R.right, R.bottom});
    const TRect Inside{3, 3, Shot.Width() - 3, Shot.Height() - 3};
    int Dark = 0, Light = 0, Black = 0;
    for (int Y = Inside.Top; Y < Inside.Bottom; ++Y)
      for (int X = Inside.Left; X < Inside.Right; ++X) {
        const COLORREF P = Shot.Pixel(X, Y);
        const int B = GetRValue(P) + GetGValue(P) + GetBValue(P);
        Dark += dlgtest::IsSkinDark(P);
        Light += B > 3 * 170;
        Black += B < 3 * 20;
      }
    EXPECT_GT(Dark, Inside.Width() * Inside.Height() * 7 / 10) << "the skin's dark colours, not the system's white";
    EXPECT_GT(Light, 8) << "light text";
    EXPECT_EQ(Black, 0) << "no black text";
  }
  ReleaseDC(nullptr, Screen);
  DestroyWindow(W);
  uitest::Pump();
  EXPECT_EQ(Faults.Count(), 0);
}

namespace {
// A dialog procedure that keeps the report of a new position or size from the system: the dialog
// gets no WM_SIZE.
INT_PTR CALLBACK KeepsPositionReports(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_WINDOWPOSCHANGED) return TRUE;
  return dlgtest::TestDlgProc(Wnd, Msg, WParam, LParam);
}
}  // namespace

TEST(dlg_Looks, ADialogThatKeepsItsSizeReportsShowsItsFrameAndCornersForItsNewSize) {
  dlgtest::THookedSkin Skin;
  const dlgtest::TTemplate T = dlgtest::StandardDialog(WS_THICKFRAME, L"Keeps its reports");
  HWND D = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), T.Get(), nullptr, KeepsPositionReports, 0);
  ASSERT_NE(D, nullptr);
  uitest::Settle(D);
  RECT R;
  GetWindowRect(D, &R);
  SetWindowPos(D, nullptr, 0, 0, R.right - R.left + 40, R.bottom - R.top + 30, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  uitest::Settle(D);
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  RECT Stepped{};
  if (GetWindowRgn(D, Rgn) != ERROR) GetRgnBox(Rgn, &Stepped);
  DeleteObject(Rgn);
  const uitest::TCapture Before = dlgtest::CaptureWindow(D);
  RedrawWindow(D, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  uitest::Settle(D);
  const uitest::TCapture After = dlgtest::CaptureWindow(D);
  // The region spans the window at its new size, and a repaint changes nothing of its frame (the
  // client area may show a caret).
  EXPECT_EQ(Stepped.right - Stepped.left, R.right - R.left + 40);
  EXPECT_EQ(Stepped.bottom - Stepped.top, R.bottom - R.top + 30);
  RECT W, C;
  GetWindowRect(D, &W);
  GetClientRect(D, &C);
  MapWindowPoints(D, nullptr, reinterpret_cast<POINT*>(&C), 2);
  OffsetRect(&C, -W.left, -W.top);
  const int WW = After.Width(), WH = After.Height();
  ASSERT_EQ(Before.Width(), WW);
  ASSERT_EQ(Before.Height(), WH);
  for (const TRect& Strip : {TRect{0, 0, WW, C.top}, TRect{0, C.bottom, WW, WH}, TRect{0, C.top, C.left, C.bottom},
                             TRect{C.right, C.top, WW, C.bottom}})
    EXPECT_TRUE(uitest::TCapture::SamePixels(Before, Strip, After, Strip));
  DestroyWindow(D);
  uitest::Pump();
}

