// The edit adapter on real EDIT, multi-line EDIT and LISTBOX windows and on a framework TEdit,
// with the program's own skin: frame and colours from the skin, skinned scroll bars that scroll
// the control, colours put back on detach and on skin removal.
#include <functional>
#include <string>
#include <utility>

#include "framework/StdCtrls.h"
#include "sadapt_support.h"
#include "skin/core/sConst.h"
#include "skin/core/sFormList.h"
#include "support/RealInput.h"

using namespace sadapt;

namespace {

class SadaptEdit : public SkinnedFixture {};

std::wstring Lines(int N) {
  std::wstring T;
  for (int I = 0; I < N; ++I) T += L"line " + std::to_wstring(I) + L"\r\n";
  return T;
}

COLORREF CachePixel(TacMainWnd* A, int X, int Y) {
  return GetPixel(A->SkinData->CacheBmp()->Canvas()->Handle(), X, Y) & 0xFFFFFF;
}

}  // namespace

TEST_F(SadaptEdit, PlainEditFrameIsCopiedFromTheSkinnedCache) {
  HWND E = Child(L"EDIT", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 20, 20, 180, 26, L"text");
  uitest::Settle(E);
  const COLORREF EdgeBefore = WindowCapture(E).Pixel(0, 13);

  auto* A = TacMainWnd::Create<TacEditWnd>(E, nullptr, Manager.get(), "");
  RedrawWindow(E, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Settle(E);
  Save(E, "sadapt_edit_plain");

  EXPECT_EQ(GetWndAdapter(E), A);
  EXPECT_EQ(A->SkinData->SkinSection(), "EDIT");
  EXPECT_EQ(A->InsetLeft, 2);
  // A plain window gets the section's colour to paint with, and a black frame colour.
  EXPECT_TRUE(A->ParamsChanged);
  EXPECT_EQ(A->WindowColor, static_cast<TColor>(Section("EDIT").Color));
  EXPECT_EQ(A->FrameColor, 0);

  const auto Shot = WindowCapture(E);
  ASSERT_NE(A->SkinData->CacheBmp(), nullptr);
  // Both frame strips show the cache, which was painted from the section (its border mask), not
  // the system's sunken edge.
  for (int Y : {2, 13, 23}) {
    EXPECT_EQ(Shot.Pixel(0, Y), CachePixel(A, 0, Y)) << Y;
    EXPECT_EQ(Shot.Pixel(1, Y), CachePixel(A, 1, Y)) << Y;
    EXPECT_EQ(Shot.Pixel(179, Y), CachePixel(A, 179, Y)) << Y;
  }
  EXPECT_NE(Shot.Pixel(0, 13), EdgeBefore);
  // The client is still the edit's own.
  EXPECT_EQ(Shot.Pixel(170, 13), RGB(255, 255, 255));

  delete A;
}

TEST_F(SadaptEdit, DetachPutsTheWindowBackAsItWas) {
  HWND E = Child(L"EDIT", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 20, 20, 180, 26);
  const LONG_PTR Proc = GetWindowLongPtrW(E, GWLP_WNDPROC);
  auto* A = TacMainWnd::Create<TacEditWnd>(E, nullptr, Manager.get(), "EDIT");
  EXPECT_NE(GetWindowLongPtrW(E, GWLP_WNDPROC), Proc);
  // Skinned: the probe is answered; the section index is reported.
  EXPECT_EQ(SendMessageW(E, SM_ALPHACMD, MakeAlphaCmd(AC_ISSKINNED), 0), 1);
  EXPECT_EQ(SendMessageW(E, SM_ALPHACMD, MakeAlphaCmd(AC_GETSECTION), 0), Manager->GetSectionIndex("EDIT") + 1);
  delete A;
  uitest::Settle(E);
  EXPECT_EQ(GetWindowLongPtrW(E, GWLP_WNDPROC), Proc);
  EXPECT_EQ(GetWndAdapter(E), nullptr);
  EXPECT_EQ(SendMessageW(E, SM_ALPHACMD, MakeAlphaCmd(AC_ISSKINNED), 0), 0);
  // The system edge is back.
  const auto Shot = WindowCapture(E);
  EXPECT_EQ(Shot.Pixel(0, 13), GetSysColor(COLOR_BTNSHADOW) & 0xFFFFFF);
}

TEST_F(SadaptEdit, UnskinnedAdapterPassesEverythingOn) {
  HWND E = Child(L"EDIT", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 20, 20, 180, 26);
  auto* A = TacMainWnd::Create<TacEditWnd>(E, nullptr, Manager.get(), "NO SUCH SECTION");
  ASSERT_FALSE(A->SkinData->IsSkinned(false));
  EXPECT_EQ(SendMessageW(E, SM_ALPHACMD, MakeAlphaCmd(AC_ISSKINNED), 0), 0);
  RedrawWindow(E, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Settle(E);
  EXPECT_FALSE(A->ParamsChanged);
  EXPECT_EQ(WindowCapture(E).Pixel(0, 13), GetSysColor(COLOR_BTNSHADOW) & 0xFFFFFF);
  delete A;
}

TEST_F(SadaptEdit, MemoScrollBarsAreSkinnedAndScrollTheText) {
  HWND E = Child(L"EDIT", ES_MULTILINE | WS_VSCROLL | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE, 20, 60, 200, 150);
  SetWindowTextW(E, Lines(60).c_str());
  auto* A = TacMainWnd::Create<TacEditWnd>(E, nullptr, Manager.get(), "EDIT");
  uitest::Settle(E);
  ASSERT_TRUE(A->VertBar->Visible);
  Save(E, "sadapt_edit_memo");

  // The bar column (inside the 2-pixel frame, right edge) shows the skin's track and thumb.
  const int BarW = GetSystemMetrics(SM_CXVSCROLL);
  const int X = 200 - 2 - BarW / 2;
  const COLORREF Track = Rgb(Section("SCROLLBAR2V").Color);
  const auto Before = WindowCapture(E);
  int TrackPixels = 0;
  for (int Y = 2; Y < 148; ++Y)
    if (Near(Before.Pixel(X, Y), Track, 2)) ++TrackPixels;
  EXPECT_GT(TrackPixels, 20);
  EXPECT_EQ(SendMessageW(E, EM_GETFIRSTVISIBLELINE, 0, 0), 0);

  // A real click on the track below the thumb pages down.
  RECT WR{};
  GetWindowRect(E, &WR);
  ASSERT_TRUE(realinput::BringToFront(E));
  const POINT P{WR.left + X, WR.top + 120};
  ASSERT_TRUE(realinput::MovePointerSettled(P));
  realinput::SendButtons({realinput::ButtonAt(P, MOUSEEVENTF_LEFTDOWN), realinput::ButtonAt(P, MOUSEEVENTF_LEFTUP)});
  ASSERT_TRUE(uitest::WaitFor([&] { return SendMessageW(E, EM_GETFIRSTVISIBLELINE, 0, 0) > 0; }));
  uitest::Settle(E);
  // The bar followed: the engine re-read the position and repainted the thumb lower.
  EXPECT_GT(A->VertBar->ScrollInfo.nPos, 0);
  const auto After = WindowCapture(E);
  int Changed = 0;
  for (int Y = 2; Y < 148; ++Y)
    if (After.Pixel(X, Y) != Before.Pixel(X, Y)) ++Changed;
  EXPECT_GT(Changed, 5);
  delete A;
}

TEST_F(SadaptEdit, PrintDrawsTheSkinnedFrameAndTheClient) {
  HWND E = Child(L"EDIT", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 20, 20, 180, 26, L"printed");
  auto* A = TacMainWnd::Create<TacEditWnd>(E, nullptr, Manager.get(), "EDIT");
  uitest::Settle(E);
  uitest::TMemoryDC M(180, 26, RGB(1, 2, 3));
  SendMessageW(E, WM_PRINT, reinterpret_cast<WPARAM>(M.DC()), PRF_NONCLIENT | PRF_CLIENT);
  const uitest::TCapture Printed(M.DC(), TRect{0, 0, 180, 26});
  const auto Shown = WindowCapture(E);
  for (int Y : {0, 1, 13, 24, 25}) EXPECT_EQ(Printed.Pixel(0, Y), Shown.Pixel(0, Y)) << Y;
  // The client part was printed too (the edit's white background, moved inside the frame).
  EXPECT_EQ(Printed.Pixel(170, 13), RGB(255, 255, 255));
  delete A;
}

// A framework edit: its Color and font colour become the skin's while skinned and come back.
TEST_F(SadaptEdit, FrameworkEditColoursAreSavedAppliedAndPutBack) {
  auto* Ed = new TEdit(Form);
  Ed->SetParent(Form);
  Ed->SetBounds(20, 240, 180, 24);
  Ed->SetColor(clWindow);
  Ed->Font()->SetColor(clWindowText);
  uitest::Settle(Form->Handle());
  auto Data = std::make_unique<TsCommonData>(Ed);
  Data->SetSkinManager(Manager.get());
  Data->SetSkinSection("EDIT");
  auto* A = TacMainWnd::Create<TacEditWnd>(Ed->Handle(), Data.get(), Manager.get(), "EDIT");
  RedrawWindow(Ed->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_UPDATENOW);
  uitest::Settle(Ed->Handle());
  Save(Ed->Handle(), "sadapt_edit_framework");

  EXPECT_EQ(A->OldColor, clWindow);
  EXPECT_EQ(A->OldFontColor, clWindowText);
  EXPECT_EQ(Ed->Color(), Data->GetBackgroundColor(Data->GetHotState(), Ed->Handle()));
  EXPECT_EQ(Ed->Font()->Color(), static_cast<TColor>(Section("EDIT").HotFontColor[0]));
  // The edit paints its client in the skin's colour.
  EXPECT_TRUE(Near(uitest::WindowPixel(Ed->Handle(), 150, 10), Rgb(Ed->Color()))) << std::hex
      << uitest::WindowPixel(Ed->Handle(), 150, 10);

  // The skin is removed: the adapter puts the control's own colours back.
  SendMessageW(Ed->Handle(), SM_ALPHACMD, MakeAlphaCmd(AC_SKINREMOVED), reinterpret_cast<LPARAM>(Manager.get()));
  EXPECT_EQ(Ed->Color(), clWindow);
  EXPECT_EQ(Ed->Font()->Color(), clWindowText);

  // A refresh applies the skin again; detaching puts the colours back once more.
  SendMessageW(Ed->Handle(), SM_ALPHACMD, MakeAlphaCmd(AC_REFRESHSKIN), reinterpret_cast<LPARAM>(Manager.get()));
  EXPECT_NE(Ed->Color(), clWindow);
  delete A;
  EXPECT_EQ(Ed->Color(), clWindow);
  EXPECT_EQ(Ed->Font()->Color(), clWindowText);
  uitest::Settle(Ed->Handle());
  EXPECT_EQ(uitest::WindowPixel(Ed->Handle(), 150, 10), GetSysColor(COLOR_WINDOW) & 0xFFFFFF);
}

// The border mask of EDIT has two states: focus repaints the frame in the hot state.
TEST_F(SadaptEdit, FocusRepaintsTheFrameOfAFocusableControl) {
  auto* Ed = new TEdit(Form);
  Ed->SetParent(Form);
  Ed->SetBounds(220, 240, 180, 24);
  uitest::Settle(Form->Handle());
  auto Data = std::make_unique<TsCommonData>(Ed);
  Data->SetSkinManager(Manager.get());
  Data->SetSkinSection("EDIT");
  auto* A = TacMainWnd::Create<TacEditWnd>(Ed->Handle(), Data.get(), Manager.get(), "EDIT");
  ASSERT_TRUE(BorderMaskHasStates(Data.get()));
  uitest::Settle(Ed->Handle());
  const auto Normal = WindowCapture(Ed->Handle());
  ASSERT_TRUE(realinput::BringToFront(Ed->Handle()));
  SetFocus(Ed->Handle());
  uitest::Settle(Ed->Handle());
  EXPECT_TRUE(Data->FocusedFlag);
  const auto Focused = WindowCapture(Ed->Handle());
  Save(Ed->Handle(), "sadapt_edit_focused");
  int Changed = 0;
  for (int X = 0; X < 180; ++X)
    if (Normal.Pixel(X, 0) != Focused.Pixel(X, 0)) ++Changed;
  EXPECT_GT(Changed, 0);
  HWND Other = Child(L"EDIT", 0, WS_EX_CLIENTEDGE, 20, 300, 100, 24);
  SetFocus(Other);
  uitest::Settle(Ed->Handle());
  EXPECT_FALSE(Data->FocusedFlag);
  delete A;
}

// Lifecycle: the window may go first; no adapter is made for a window that does not exist.
TEST_F(SadaptEdit, WindowMayGoBeforeItsAdapterAndMissingWindowsAreRefused) {
  HWND E = Child(L"EDIT", ES_MULTILINE | WS_VSCROLL, WS_EX_CLIENTEDGE, 20, 20, 180, 80);
  auto* A = TacMainWnd::Create<TacEditWnd>(E, nullptr, Manager.get(), "EDIT");
  uitest::Settle(E);
  DestroyWindow(E);
  uitest::Pump();
  EXPECT_FALSE(IsWindow(E));
  delete A;

  // No window (or one that is gone): a clear error, nothing attached.
  EXPECT_THROW(TacMainWnd::Create<TacEditWnd>(nullptr, nullptr, Manager.get(), ""), EInvalidOperation);
  EXPECT_THROW(TacMainWnd::Create<TacComboBoxWnd>(E, nullptr, Manager.get(), ""), EInvalidOperation);
}

// While forms are being updated (a skin change or an animation) the edit does not paint.
TEST_F(SadaptEdit, NothingIsPaintedWhileFormsAreUpdating) {
  HWND E = Child(L"EDIT", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 20, 20, 180, 26, L"text");
  auto* A = TacMainWnd::Create<TacEditWnd>(E, nullptr, Manager.get(), "EDIT");
  uitest::Settle(E);
  HDC DC = GetDC(E);
  RECT All{0, 0, 176, 22};
  FillRect(DC, &All, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(E, DC);
  acFormsUpdating = true;
  InvalidateRect(E, nullptr, TRUE);
  UpdateWindow(E);
  // Validated without painting: the black is still there and nothing is left to paint.
  EXPECT_FALSE(GetUpdateRect(E, nullptr, FALSE));
  EXPECT_EQ(uitest::WindowPixel(E, 170, 10), RGB(0, 0, 0));
  // An erase during the update answers "erased" without erasing.
  HDC Mem = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SendMessageW(E, WM_ERASEBKGND, reinterpret_cast<WPARAM>(Mem), 0), 1);
  DeleteDC(Mem);
  acFormsUpdating = false;
  InvalidateRect(E, nullptr, TRUE);
  uitest::Settle(E);
  EXPECT_EQ(uitest::WindowPixel(E, 170, 10), RGB(255, 255, 255));
  delete A;
}

// The bars of a memo and a list box: a repaint of the whole window paints each shown bar once,
// mouse moves while a window holds the capture (a drag anywhere) repaint a bar only when its
// scroll data changed, and a bar follows its control scrolled by a message.
TEST_F(SadaptEdit, BarsArePaintedOnceARepaintAndNotForMouseMovesThatChangeNothing) {
  HWND Memo = Child(L"EDIT", ES_MULTILINE | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL, WS_EX_CLIENTEDGE, 20, 60, 200, 150);
  SetWindowTextW(Memo, (Lines(60) + std::wstring(120, L'x')).c_str());
  HWND List = Child(L"LISTBOX", WS_VSCROLL | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE, 240, 20, 160, 120);
  for (int I = 0; I < 40; ++I) SendMessageW(List, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"item"));
  for (HWND W : {Memo, List}) {
    const bool IsMemo = W == Memo;
    SCOPED_TRACE(IsMemo ? "memo" : "list box");
    auto* A = TacMainWnd::Create<TacEditWnd>(W, nullptr, Manager.get(), "EDIT");
    uitest::Settle(W);
    ASSERT_TRUE(A->VertBar->Visible);
    ASSERT_EQ(A->HorzBar->Visible, IsMemo);
    const unsigned HorzShown = IsMemo ? 1 : 0;
    // The paints of the vertical and the horizontal bar that Do makes.
    auto Paints = [A](const std::function<void()>& Do) {
      A->HorzBar->Paints = A->VertBar->Paints = 0;
      Do();
      return std::pair(A->VertBar->Paints, A->HorzBar->Paints);
    };
    auto RepaintAll = [W] {
      RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
      uitest::Pump();
    };
    for (int Round = 0; Round < 2; ++Round) EXPECT_EQ(Paints(RepaintAll), std::pair(1u, HorzShown)) << "round " << Round;
    // A repaint of the client alone, and a page scrolled by a key, leave the bars as a repaint of
    // the whole window shows them.
    for (const bool PageDown : {false, true}) {
      if (PageDown)
        SendMessageW(W, WM_KEYDOWN, VK_NEXT, 0);
      else
        InvalidateRect(W, nullptr, TRUE);
      UpdateWindow(W);
      uitest::Pump();
      const uitest::TCapture Shown = WindowCapture(W);
      RepaintAll();
      const TRect All{0, 0, Shown.Width(), Shown.Height()};
      EXPECT_TRUE(uitest::TCapture::SamePixels(Shown, All, WindowCapture(W), All)) << (PageDown ? "page down" : "client");
    }
    // Another window holds the capture, as in a drag; the pointer's moves reach the window.
    HWND Other = Child(L"STATIC", 0, 0, 420, 300, 20, 20);
    SetCapture(Other);
    const auto Moves = [W] {
      for (int I = 0; I < 10; ++I) SendMessageW(W, WM_MOUSEMOVE, 0, MAKELPARAM(10 + I, 10));
    };
    EXPECT_EQ(Paints(Moves), std::pair(0u, 0u));
    // The window scrolled without its bars: the next move shows it, each shown bar painted once
    // (a window that sets the data of one bar has the system draw the other too).
    SCROLLINFO SI{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 7, 0};
    SetScrollInfo(W, SB_VERT, &SI, FALSE);
    EXPECT_EQ(Paints([W] { SendMessageW(W, WM_MOUSEMOVE, 0, MAKELPARAM(30, 10)); }), std::pair(1u, HorzShown));
    EXPECT_EQ(A->VertBar->ScrollInfo.nPos, 7);
    ReleaseCapture();
    DestroyWindow(Other);
    // The memo scrolled to a thumb position, the list box given a top index.
    SendMessageW(W, IsMemo ? WM_VSCROLL : LB_SETTOPINDEX, IsMemo ? MAKEWPARAM(SB_THUMBPOSITION, 12) : 12, 0);
    EXPECT_EQ(A->VertBar->ScrollInfo.nPos, 12);
    uitest::Settle(W);
    Save(W, IsMemo ? "sadapt_edit_memo_scrolled" : "sadapt_edit_listbox");
    // A program's scroll of the memo's lines, by a count or by a page, moves the bar with them.
    if (IsMemo) {
      SendMessageW(W, EM_LINESCROLL, 0, 5);
      EXPECT_EQ(A->VertBar->ScrollInfo.nPos, 17);
      SendMessageW(W, EM_SCROLL, SB_LINEUP, 0);
      EXPECT_EQ(A->VertBar->ScrollInfo.nPos, GetScrollPos(W, SB_VERT));
      EXPECT_EQ(A->VertBar->ScrollInfo.nPos, 16);
    }
    delete A;
  }
}
