// Skinned scroll bars: geometry, painting from the program's skin, hit testing and real-mouse
// tracking of a plain window with standard scroll bars.
#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "framework/Scopes.h"
#include "framework/StdCtrls.h"
#include "skin/controls/acScrollBars.h"
#include "skin/core/sCommonData.h"
#include "skin_controls/adapt_support.h"

namespace {

// The scroll codes of a press on an arrow: Code and the end, or none where Code is -1.
std::vector<int> ArrowPressCodes(int Code) {
  return Code == -1 ? std::vector<int>{} : std::vector<int>{Code, SB_ENDSCROLL};
}

// Colours of the program's skin.
constexpr COLORREF TrackColor = ownctl::Colour(2565156);   // SCROLLBAR1V/2V
constexpr COLORREF SliderColor = ownctl::Colour(6445658);  // SCROLLSLIDERV

class AdaptScroll : public ::testing::Test {
 protected:
  void SetUp() override {
    InitAdapterUnit();
    Manager = ownctl::LoadProgramSkin();
    ASSERT_TRUE(Manager->SkinActive());
  }
  void TearDown() override {
    delete Adapter;
    DoneAdapterUnit();
  }
  // A recording child with both scroll bars: range 0..100, page 10.
  HWND MakeScrolled(DWORD ExStyle = 0, DWORD Style = WS_VSCROLL | WS_HSCROLL | WS_BORDER) {
    HWND W = Host.Child(adapt::RecordingClass(), L"", Style, 20, 20, 220, 180, ExStyle);
    SCROLLINFO SI{sizeof(SCROLLINFO), SIF_ALL, 0, 100, 10, 0, 0};
    if (Style & WS_VSCROLL) SetScrollInfo(W, SB_VERT, &SI, FALSE);
    if (Style & WS_HSCROLL) SetScrollInfo(W, SB_HORZ, &SI, FALSE);
    return W;
  }
  void Adapt(HWND W) {
    Adapter = TacMainWnd::Create<TacScrollWnd>(W, nullptr, Manager.get(), "EDIT");
    uitest::Settle(W);
    RedrawWindow(W, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    uitest::Pump();
    adapt::Log().clear();
  }
  // An adapted window with both bars, its host in front for real input; S: its vertical bar on the
  // screen.
  HWND AdaptedInFront(TRect& S) {
    HWND W = MakeScrolled();
    Adapt(W);
    EXPECT_TRUE(realinput::BringToFront(Host.Wnd));
    GetVertBarRect(Adapter, W, S);
    return W;
  }
  // An adapted window with both bars, the thumb of Bar midway so that either of its arrows scrolls.
  HWND AdaptedMidway(int Bar) {
    HWND W = MakeScrolled();
    SCROLLINFO SI{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 50, 0};
    SetScrollInfo(W, Bar, &SI, FALSE);
    Adapt(W);
    return W;
  }
  void LetGoAndDestroy(HWND W) {
    delete Adapter;
    Adapter = nullptr;
    DestroyWindow(W);
  }
  // The vertical bar's rectangle in window coordinates.
  TRect VertInWindow(HWND W) {
    TRect R;
    GetVertBarRect(Adapter, W, R);
    RECT WR;
    GetWindowRect(W, &WR);
    return TRect(R.Left - WR.left, R.Top - WR.top, R.Right - WR.left, R.Bottom - WR.top);
  }
  POINT ScreenOfVert(HWND W, int Along) {
    TRect R;
    GetVertBarRect(Adapter, W, R);
    return POINT{(R.Left + R.Right) / 2, R.Top + Along};
  }
  std::unique_ptr<TsSkinManager> Manager;
  adapt::THost Host;
  TacScrollWnd* Adapter = nullptr;
};

TEST_F(AdaptScroll, BarsTakeTheirSpaceFromTheClientArea) {
  HWND W = MakeScrolled();
  RECT Before;
  GetClientRect(W, &Before);
  Adapt(W);
  const int VT = GetSystemMetrics(SM_CXVSCROLL), HT = GetSystemMetrics(SM_CYHSCROLL);
  RECT C;
  GetClientRect(W, &C);
  EXPECT_EQ(C.right, 220 - 2 - VT);
  EXPECT_EQ(C.bottom, 180 - 2 - HT);
  EXPECT_EQ(Adapter->InsetLeft, 1);
  EXPECT_EQ(Adapter->InsetBottom, 1);
  EXPECT_TRUE(Adapter->VertBar->Visible);
  EXPECT_TRUE(Adapter->HorzBar->Visible);
  const TRect V = VertInWindow(W);
  EXPECT_EQ(V.Right, 219);
  EXPECT_EQ(V.Right - V.Left, VT);
  EXPECT_EQ(V.Top, 1);
  EXPECT_EQ(V.Bottom, 179 - HT);
  EXPECT_EQ(GetWndScrollBar(W, SB_VERT), Adapter->VertBar);
  EXPECT_EQ(GetWndScrollBar(W, 7), nullptr);
  EXPECT_EQ(SetMinThumbSize(W, SB_BOTH, 14), 1);
  EXPECT_EQ(Adapter->HorzBar->MinThumbSize, 14);
  EXPECT_EQ(SetMinThumbSize(Host.Wnd, SB_BOTH, 14), 0);
}

TEST_F(AdaptScroll, LeftScrollBarAndWindowsWithoutBars) {
  HWND W = MakeScrolled(WS_EX_LEFTSCROLLBAR);
  Adapt(W);
  const int VT = GetSystemMetrics(SM_CXVSCROLL);
  RECT C;
  GetClientRect(W, &C);
  POINT O{0, 0};
  ClientToScreen(W, &O);
  RECT WR;
  GetWindowRect(W, &WR);
  EXPECT_EQ(O.x - WR.left, 1 + VT);  // the client starts after the bar
  const TRect V = VertInWindow(W);
  EXPECT_EQ(V.Left, 1);
  TRect H;
  GetHorzBarRect(Adapter, W, H);
  EXPECT_EQ(H.Left - WR.left, 1 + VT);
  delete Adapter;
  Adapter = nullptr;

  HWND Plain = MakeScrolled(0, WS_BORDER);
  RECT PlainBefore;
  GetClientRect(Plain, &PlainBefore);
  Adapt(Plain);
  RECT PlainAfter;
  GetClientRect(Plain, &PlainAfter);
  EXPECT_EQ(PlainAfter.right, PlainBefore.right);
  EXPECT_EQ(PlainAfter.bottom, PlainBefore.bottom);
  EXPECT_FALSE(Adapter->VertBar->Visible);
}

TEST_F(AdaptScroll, ThumbAndPartsFollowTheScrollData) {
  HWND W = MakeScrolled();
  Adapt(W);
  TacScrollBar* Bar = Adapter->VertBar;
  const int B = GetBarSize(Bar, false, false);
  const TRect R(0, 0, 17, 200);
  int Size = 0, Pos = 0;
  CalcThumb(Bar, R, Size, Pos);
  EXPECT_EQ(Size, MulDiv(10, 200 - 2 * B, 101));
  EXPECT_EQ(Pos, B);
  Bar->ScrollInfo.nPos = 91;  // the last position puts the thumb against the lower arrow
  CalcThumb(Bar, R, Size, Pos);
  EXPECT_EQ(Pos + Size, 200 - B);
  Bar->ScrollInfo.nPage = 0;  // no page: the thumb is as long as an arrow
  CalcThumb(Bar, R, Size, Pos);
  EXPECT_EQ(Size, B);
  Bar->ScrollInfo.nPage = 1;
  Bar->ScrollInfo.nMax = 10000;  // a tiny page keeps the minimum thumb
  CalcThumb(Bar, R, Size, Pos);
  EXPECT_EQ(Size, 10);

  Bar->ScrollInfo = SCROLLINFO{sizeof(SCROLLINFO), SIF_ALL, 0, 100, 10, 0, 0};
  EXPECT_EQ(GetPartAt(Bar, W, R, 2, 5), SB_LINEUP);
  EXPECT_EQ(GetPartAt(Bar, W, R, 198, 5), SB_LINEDOWN);
  EXPECT_EQ(GetPartAt(Bar, W, R, B + 2, 5), SB_THUMBTRACK);
  EXPECT_EQ(GetPartAt(Bar, W, R, 150, 5), SB_PAGEDOWN);
  EXPECT_EQ(GetPartAt(Bar, W, R, 150, 30), -1);  // beside the bar
  // A bar shorter than two arrows: two half arrows and nothing else.
  const TRect Short(0, 0, 17, 20);
  EXPECT_EQ(GetPartAt(Bar, W, Short, 3, 5), SB_LINEUP);
  EXPECT_EQ(GetPartAt(Bar, W, Short, 15, 5), SB_LINEDOWN);
}

TEST_F(AdaptScroll, BarsArePaintedFromTheSkin) {
  HWND W = MakeScrolled();
  Adapt(W);
  SendMessageW(W, WM_NCPAINT, 1, 0);
  const uitest::TCapture C = adapt::WindowCapture(W);
  C.MaybeSave("adapt_scrollbars");
  const TRect V = VertInWindow(W);
  const int B = GetBarSize(Adapter->VertBar, false, true);
  // The page area below the thumb shows the track colour, the thumb the slider colour.
  EXPECT_GT(adapt::CountNear(C, TRect(V.Left + 2, V.Bottom - B - 40, V.Right - 2, V.Bottom - B - 5), TrackColor), 50);
  int ThumbSize = 0, ThumbPos = 0;
  CalcThumb(Adapter->VertBar, V, ThumbSize, ThumbPos);
  EXPECT_GT(adapt::CountNear(C, TRect(V.Left + 4, ThumbPos + 4, V.Right - 4, ThumbPos + ThumbSize - 4), SliderColor, 8),
            10);
  // Nothing of the system's grey scroll bar is left.
  EXPECT_EQ(adapt::CountNear(C, V, GetSysColor(COLOR_SCROLLBAR), 0), 0);
  EXPECT_EQ(adapt::CountNear(C, V, GetSysColor(COLOR_BTNFACE), 0), 0);

  // A disabled bar is drawn faded: no pure slider colour and hit testing gives 0.
  EnableScrollBar(W, SB_VERT, ESB_DISABLE_BOTH);
  SendMessageW(W, WM_NCPAINT, 1, 0);
  const uitest::TCapture D = adapt::WindowCapture(W);
  D.MaybeSave("adapt_scrollbars_disabled");
  EXPECT_EQ(adapt::CountNear(D, V, SliderColor, 0), 0);
  TRect S;
  GetVertBarRect(Adapter, W, S);
  EXPECT_EQ(SendMessageW(W, WM_NCHITTEST, 0, MAKELPARAM((S.Left + S.Right) / 2, S.Top + 60)), 0);
}

TEST_F(AdaptScroll, HitTestAndSwallowedClicks) {
  HWND W = MakeScrolled();
  Adapt(W);
  TRect S;
  GetVertBarRect(Adapter, W, S);
  EXPECT_EQ(SendMessageW(W, WM_NCHITTEST, 0, MAKELPARAM((S.Left + S.Right) / 2, S.Top + 60)), HTVSCROLL);
  GetHorzBarRect(Adapter, W, S);
  EXPECT_EQ(SendMessageW(W, WM_NCHITTEST, 0, MAKELPARAM(S.Left + 60, (S.Top + S.Bottom) / 2)), HTHSCROLL);
  // The corner of a child window inside another child is no size grip.
  EXPECT_NE(SendMessageW(W, WM_NCHITTEST, 0, MAKELPARAM(S.Right + 2, S.Top + 2)), HTBOTTOMRIGHT);
  // Right and middle clicks on the bars never reach the window.
  adapt::Log().clear();
  for (UINT M : {WM_NCRBUTTONDOWN, WM_NCRBUTTONUP, WM_NCMBUTTONDOWN, WM_NCMBUTTONUP})
    SendMessageW(W, M, HTVSCROLL, MAKELPARAM(S.Left + 5, S.Top + 5));
  EXPECT_EQ(adapt::CountOf(WM_NCRBUTTONDOWN) + adapt::CountOf(WM_NCRBUTTONUP) + adapt::CountOf(WM_NCMBUTTONDOWN) +
                adapt::CountOf(WM_NCMBUTTONUP),
            0);
  SendMessageW(W, WM_NCRBUTTONDOWN, HTCLIENT, 0);
  EXPECT_EQ(adapt::CountOf(WM_NCRBUTTONDOWN), 1);
}

TEST_F(AdaptScroll, ArrowClickScrollsAndTheRepeatEndsOnRelease) {
  TRect S;
  HWND W = AdaptedInFront(S);
  const POINT Down{(S.Left + S.Right) / 2, S.Bottom - 4};
  ASSERT_TRUE(realinput::MovePointerSettled(Down));
  ownctl::SendMouse(Down, MOUSEEVENTF_LEFTDOWN);
  ASSERT_TRUE(uitest::WaitFor([] { return adapt::ScrollCodes(WM_VSCROLL).size() >= 1; }));
  EXPECT_EQ(adapt::ScrollCodes(WM_VSCROLL)[0], SB_LINEDOWN);
  EXPECT_EQ(GetCapture(), W);
  // Held down, the arrow repeats.
  ASSERT_TRUE(uitest::WaitFor([] { return adapt::ScrollCodes(WM_VSCROLL).size() >= 3; }));
  ownctl::SendMouse(Down, MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(uitest::WaitFor([] {
    const auto C = adapt::ScrollCodes(WM_VSCROLL);
    return !C.empty() && C.back() == SB_ENDSCROLL;
  }));
  for (int C : adapt::ScrollCodes(WM_VSCROLL)) EXPECT_TRUE(C == SB_LINEDOWN || C == SB_ENDSCROLL);
  // The scroll position followed, the repeat timers are gone and the capture is released.
  EXPECT_GE(GetScrollPos(W, SB_VERT), 3);
  EXPECT_FALSE(KillTimer(W, acTimerFirstRepeat));
  EXPECT_FALSE(KillTimer(W, acTimerRepeat));
  EXPECT_NE(GetCapture(), W);
  EXPECT_EQ(acScrollTracking().TrackPart, -1);
  const std::size_t After = adapt::ScrollCodes(WM_VSCROLL).size();
  uitest::PumpFor(200);
  EXPECT_EQ(adapt::ScrollCodes(WM_VSCROLL).size(), After);
}

TEST_F(AdaptScroll, RepeatPausesOffTheArrowAndResumesOnIt) {
  TRect S;
  AdaptedInFront(S);
  const POINT Down{(S.Left + S.Right) / 2, S.Bottom - 4};
  ASSERT_TRUE(realinput::MovePointerSettled(Down));
  ownctl::SendMouse(Down, MOUSEEVENTF_LEFTDOWN);
  ASSERT_TRUE(uitest::WaitFor([] { return adapt::ScrollCodes(WM_VSCROLL).size() >= 2; }));
  // Off the arrow (button still down): nothing is pressed and no more lines come.
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{S.Left - 60, S.Bottom - 4}));
  ASSERT_TRUE(uitest::WaitFor([] { return acScrollTracking().PressedPart == -1; }));
  uitest::PumpFor(100);
  const std::size_t Paused = adapt::ScrollCodes(WM_VSCROLL).size();
  uitest::PumpFor(250);
  EXPECT_EQ(adapt::ScrollCodes(WM_VSCROLL).size(), Paused);
  // Back on the arrow, the repeat resumes.
  ASSERT_TRUE(realinput::MovePointerSettled(Down));
  EXPECT_TRUE(uitest::WaitFor([Paused] { return adapt::ScrollCodes(WM_VSCROLL).size() > Paused + 1; }));
  ownctl::SendMouse(Down, MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(uitest::WaitFor([] { return acScrollTracking().TrackPart == -1; }));
  EXPECT_EQ(adapt::ScrollCodes(WM_VSCROLL).back(), SB_ENDSCROLL);
}

TEST_F(AdaptScroll, HoverTrackingFollowsThePointer) {
  TRect S;
  HWND W = AdaptedInFront(S);
  const TRect V = VertInWindow(W);
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{S.Left - 80, S.Top + 40}));
  uitest::PumpFor(60);
  const uitest::TCapture Before = adapt::WindowCapture(W);
  // Over the lower arrow: this bar is hot, the arrow is the hot part and is drawn hot.
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{(S.Left + S.Right) / 2, S.Bottom - 4}));
  ASSERT_TRUE(uitest::WaitFor([] { return acScrollTracking().HoverPart == SB_LINEDOWN; }));
  EXPECT_EQ(acScrollTracking().HoverBar, SB_VERT);
  uitest::PumpFor(60);
  const uitest::TCapture Hot = adapt::WindowCapture(W);
  const int B = GetBarSize(Adapter->VertBar, false, true);
  const TRect Arrow(V.Left, V.Bottom - B, V.Right, V.Bottom);
  EXPECT_FALSE(uitest::TCapture::SamePixels(Before, Arrow, Hot, Arrow));
  // Away from the bar: the hover ends and its timer with it.
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{S.Left - 80, S.Top + 40}));
  ASSERT_TRUE(uitest::WaitFor([] { return acScrollTracking().HoverBar == -1; }));
  EXPECT_FALSE(KillTimer(W, acTimerHover));
  const uitest::TCapture After = adapt::WindowCapture(W);
  EXPECT_TRUE(uitest::TCapture::SamePixels(Before, Arrow, After, Arrow));
}

// The pointer going straight from one window's bar to another's: the second bar is the hot one
// and stays so while the pointer rests on it; the first goes back to its normal look.
TEST_F(AdaptScroll, MovingFromOneWindowsBarToAnothersKeepsTheSecondHot) {
  HWND W = MakeScrolled();
  Adapt(W);
  HWND W2 = Host.Child(adapt::RecordingClass(), L"", WS_VSCROLL | WS_BORDER, 260, 20, 140, 180);
  SCROLLINFO SI{sizeof(SCROLLINFO), SIF_ALL, 0, 100, 10, 0, 0};
  SetScrollInfo(W2, SB_VERT, &SI, FALSE);
  auto* Second = TacMainWnd::Create<TacScrollWnd>(W2, nullptr, Manager.get(), "EDIT");
  uitest::Settle(W2);
  ASSERT_TRUE(realinput::BringToFront(Host.Wnd));
  TRect S, S2;
  GetVertBarRect(Adapter, W, S);
  GetVertBarRect(Second, W2, S2);
  const TRect V = VertInWindow(W);
  const int B = GetBarSize(Adapter->VertBar, false, true);
  const TRect Arrow(V.Left, V.Bottom - B, V.Right, V.Bottom);
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{S.Left - 80, S.Top + 40}));
  uitest::PumpFor(60);
  const uitest::TCapture Normal = adapt::WindowCapture(W);
  const uitest::TCapture Normal2 = adapt::WindowCapture(W2);
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{(S.Left + S.Right) / 2, S.Bottom - 4}));
  ASSERT_TRUE(uitest::WaitFor([&] { return acScrollTracking().HoverWnd == W && acScrollTracking().HoverPart == SB_LINEDOWN; }));
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{(S2.Left + S2.Right) / 2, S2.Bottom - 4}));
  ASSERT_TRUE(uitest::WaitFor([&] { return acScrollTracking().HoverWnd == W2; }));
  uitest::PumpFor(200);  // both windows' hover timers have had their turns
  const TacScrollTracking& T = acScrollTracking();
  EXPECT_EQ(T.HoverWnd, W2);
  EXPECT_EQ(T.HoverBar, SB_VERT);
  EXPECT_EQ(T.HoverPart, SB_LINEDOWN);
  EXPECT_NE(T.HoverTimer, 0u);
  EXPECT_FALSE(KillTimer(W, acTimerHover));
  EXPECT_TRUE(uitest::TCapture::SamePixels(Normal, Arrow, adapt::WindowCapture(W), Arrow));
  RECT WR2;
  GetWindowRect(W2, &WR2);
  const TRect Arrow2(S2.Left - WR2.left, S2.Bottom - WR2.top - B, S2.Right - WR2.left, S2.Bottom - WR2.top);
  EXPECT_FALSE(uitest::TCapture::SamePixels(Normal2, Arrow2, adapt::WindowCapture(W2), Arrow2));
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{S.Left - 80, S.Top + 40}));
  ASSERT_TRUE(uitest::WaitFor([] { return acScrollTracking().HoverBar == -1; }));
  delete Second;
  DestroyWindow(W2);
}

TEST_F(AdaptScroll, ThumbDragSendsTrackThenPositionAndEnd) {
  TRect S;
  HWND W = AdaptedInFront(S);
  int Size = 0, Pos = 0;
  CalcThumb(Adapter->VertBar, S, Size, Pos);
  const POINT Grab{(S.Left + S.Right) / 2, Pos + Size / 2};
  ASSERT_TRUE(realinput::MovePointerSettled(Grab));
  ownctl::SendMouse(Grab, MOUSEEVENTF_LEFTDOWN);
  ASSERT_TRUE(uitest::WaitFor([this] { return Adapter->ThumbTracking; }));
  Adapter->HorzBar->Paints = Adapter->VertBar->Paints = 0;
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{Grab.x, Grab.y + 40}));
  ASSERT_TRUE(uitest::WaitFor([] { return !adapt::ScrollCodes(WM_VSCROLL).empty(); }));
  // Far below the bar the thumb stops at the lower arrow: the last position.
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{Grab.x, S.Bottom + 200}));
  ASSERT_TRUE(uitest::WaitFor([] { return acScrollTracking().LastTrackPos == 91; }));
  // Each step draws the dragged bar itself; nothing paints the bars again after it.
  EXPECT_EQ(Adapter->VertBar->Paints, 0u);
  EXPECT_EQ(Adapter->HorzBar->Paints, 0u);
  ownctl::SendMouse(POINT{Grab.x, S.Bottom + 200}, MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(uitest::WaitFor([] {
    const auto C = adapt::ScrollCodes(WM_VSCROLL);
    return !C.empty() && C.back() == SB_ENDSCROLL;
  }));
  const auto& L = adapt::Log();
  std::vector<adapt::TRecord> V;
  for (const auto& R : L)
    if (R.Msg == WM_VSCROLL) V.push_back(R);
  ASSERT_GE(V.size(), 3u);
  for (std::size_t I = 0; I + 2 < V.size(); ++I) EXPECT_EQ(LOWORD(V[I].WParam), SB_THUMBTRACK);
  // No position is sent twice in a row.
  for (std::size_t I = 1; I + 2 < V.size(); ++I) EXPECT_NE(HIWORD(V[I].WParam), HIWORD(V[I - 1].WParam));
  EXPECT_EQ(LOWORD(V[V.size() - 2].WParam), SB_THUMBPOSITION);
  EXPECT_EQ(HIWORD(V[V.size() - 2].WParam), 91);
  EXPECT_EQ(LOWORD(V.back().WParam), SB_ENDSCROLL);
  EXPECT_EQ(HIWORD(V.back().WParam), 91);
  EXPECT_FALSE(Adapter->ThumbTracking);
  EXPECT_EQ(GetScrollPos(W, SB_VERT), 91);
}

TEST_F(AdaptScroll, ScrollMessagesAreFramedAndAnsweredWindowsGetTheFullPosition) {
  HWND W = MakeScrolled();
  adapt::Log().clear();
  SendScrollMessage(W, WM_VSCROLL, SB_THUMBTRACK, 70000);
  std::vector<adapt::TRecord> Seen;
  for (const auto& R : adapt::Log())
    if (R.Msg == WM_VSCROLL || R.Msg == SM_ALPHACMD) Seen.push_back(R);
  ASSERT_EQ(Seen.size(), 3u);
  EXPECT_EQ(AlphaCmdCode(Seen[0].WParam), AC_BEFORESCROLL);
  EXPECT_EQ(Seen[0].LParam, MAKELONG(SB_THUMBTRACK, WM_VSCROLL));
  EXPECT_EQ(HIWORD(Seen[1].WParam), 65535);  // clamped for a window that does not answer
  EXPECT_EQ(Seen[1].LParam, 0);
  EXPECT_EQ(AlphaCmdCode(Seen[2].WParam), AC_AFTERSCROLL);
}

TEST_F(AdaptScroll, GivingBackRestoresTheSystemBars) {
  HWND W = MakeScrolled();
  RECT Before;
  GetClientRect(W, &Before);
  const LONG_PTR Proc = GetWindowLongPtrW(W, GWLP_WNDPROC);
  Adapt(W);
  TacMainWnd* A = Adapter;
  Adapter = nullptr;
  UnhookScrollAdapter(W, true, true, A);
  EXPECT_EQ(A, nullptr);
  EXPECT_EQ(GetWindowLongPtrW(W, GWLP_WNDPROC), Proc);
  EXPECT_EQ(GetPropA(W, "ACSBSC"), nullptr);
  RECT After;
  GetClientRect(W, &After);
  EXPECT_EQ(After.right, Before.right);
  EXPECT_EQ(After.bottom, Before.bottom);
  EXPECT_NE(GetWindowLongPtrW(W, GWL_STYLE) & WS_VSCROLL, 0);
}

TEST_F(AdaptScroll, RefreshScrollAdapterFollowsTheSkinState) {
  TForm* Form = new TForm(nullptr);
  Form->SetBounds(100, 100, 300, 200);
  TButton* Control = new TButton(Form);
  Control->SetParent(Form);
  Control->SetBounds(10, 10, 120, 60);
  Form->Show();
  uitest::Settle(Form->Handle());
  TsCommonData Data(Control, 0, true);
  Data.SetSkinManager(Manager.get());
  Data.SetSkinSection("EDIT");
  TacScrollWnd* A = nullptr;
  RefreshScrollAdapter(&Data, A);
  ASSERT_NE(A, nullptr);
  EXPECT_EQ(GetWndAdapter(Control->Handle()), A);
  EXPECT_EQ(A->SkinData, &Data);
  TacScrollWnd* Same = A;
  RefreshScrollAdapter(&Data, A);
  EXPECT_EQ(A, Same);  // an attached adapter stays
  Data.SetSkinSection("NO SUCH SECTION");
  RefreshScrollAdapter(&Data, A);
  EXPECT_EQ(A, nullptr);
  EXPECT_EQ(GetWndAdapter(Control->Handle()), nullptr);
  RefreshScrollAdapter(nullptr, A);
  EXPECT_EQ(A, nullptr);
  delete Form;
  uitest::Pump();
}

}  // namespace

// An adapter let go of (detached, or freed) while an arrow is held down or a bar is hot stops its
// timers and gives the mouse capture back: nothing scrolls the window afterwards. So does one kept
// while the skin goes (the window hears of it as a form's children do): the press or hover ends
// then, and the window does not scroll by itself once the skin is back.
TEST_F(AdaptScroll, LettingGoOrLosingTheSkinDuringAPressOrHoverStopsTimersAndCapture) {
  enum TWay { Detached, Freed, SkinRemoved };
  const struct {
    const char* Name;
    TWay Way;
    bool Press;
  } Cases[] = {{"detached while pressed", Detached, true},
               {"freed while pressed", Freed, true},
               {"detached while hot", Detached, false},
               {"skin removed while pressed", SkinRemoved, true},
               {"skin removed while hot", SkinRemoved, false}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TRect S;
    HWND W = AdaptedInFront(S);
    const POINT Down{(S.Left + S.Right) / 2, S.Bottom - 4};
    ASSERT_TRUE(realinput::MovePointerSettled(POINT{Down.x - 60, Down.y}));
    ASSERT_TRUE(realinput::MovePointerSettled(Down));
    if (C.Press) {
      ownctl::SendMouse(Down, MOUSEEVENTF_LEFTDOWN);
      ASSERT_TRUE(uitest::WaitFor([] { return adapt::ScrollCodes(WM_VSCROLL).size() >= 2; }));
      ASSERT_EQ(GetCapture(), W);
    } else {
      ASSERT_TRUE(uitest::WaitFor([&] { return acScrollTracking().HoverTimer != 0; }));
    }
    if (C.Way == Freed) {
      delete Adapter;
      Adapter = nullptr;
    } else if (C.Way == Detached) {
      TacMainWnd* A = Adapter;
      UnhookScrollAdapter(W, false, false, A);
      EXPECT_TRUE(Adapter->Destroyed);
    } else {
      Manager->SetActive(false);
      adapt::AlphaCmd(W, AC_SKINREMOVED, reinterpret_cast<LPARAM>(Manager.get()));
    }
    EXPECT_NE(GetCapture(), W);
    EXPECT_FALSE(KillTimer(W, acTimerHover));
    EXPECT_FALSE(KillTimer(W, acTimerFirstRepeat));
    EXPECT_FALSE(KillTimer(W, acTimerRepeat));
    EXPECT_EQ(acScrollTracking().TrackPart, -1);
    EXPECT_EQ(acScrollTracking().HoverWnd, nullptr);
    if (C.Press) ownctl::SendMouse(Down, MOUSEEVENTF_LEFTUP);
    if (C.Way == SkinRemoved) Manager->SetActive(true);
    const std::size_t Sent = adapt::ScrollCodes(WM_VSCROLL).size();
    uitest::PumpFor(150);
    EXPECT_EQ(adapt::ScrollCodes(WM_VSCROLL).size(), Sent);
    delete Adapter;
    Adapter = nullptr;
    uitest::Pump();
    DestroyWindow(W);
  }
}

// The engine's timers as it asks for them (the test sends the timer messages itself; no timer is
// started): the hot bar is watched every 20 ms, a held arrow repeats first after 300 ms and then
// every 55 ms.
TEST_F(AdaptScroll, TimersAreAskedForWithTheirIntervals) {
  static std::vector<std::pair<UINT_PTR, UINT>> Asked;
  UINT_PTR (*const Saved)(HWND, UINT_PTR, UINT) = acScrollSetTimer;
  acScrollSetTimer = [](HWND, UINT_PTR Id, UINT Milliseconds) -> UINT_PTR {
    Asked.emplace_back(Id, Milliseconds);
    return Id;
  };
  TScopeExit Restore([Saved] { acScrollSetTimer = Saved; });
  HWND W = MakeScrolled();
  Adapt(W);
  TRect S;
  GetVertBarRect(Adapter, W, S);
  const LPARAM Arrow = MAKELPARAM((S.Left + S.Right) / 2, S.Bottom - 4);
  const struct {
    const char* What;
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    UINT_PTR Id;
    UINT Milliseconds;
  } Rows[] = {
      {"pointer over the bar", WM_NCMOUSEMOVE, HTVSCROLL, Arrow, acTimerHover, 20},
      {"arrow pressed", WM_NCLBUTTONDOWN, HTVSCROLL, Arrow, acTimerFirstRepeat, 300},
      {"first repeat due", WM_TIMER, acTimerFirstRepeat, 0, acTimerRepeat, 55},
  };
  for (const auto& Row : Rows) {
    SCOPED_TRACE(Row.What);
    Asked.clear();
    SendMessageW(W, Row.Msg, Row.WParam, Row.LParam);
    EXPECT_EQ(Asked, (std::vector<std::pair<UINT_PTR, UINT>>{{Row.Id, Row.Milliseconds}}));
  }
  SendMessageW(W, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(acScrollTracking().TrackPart, -1);
}

// Timer messages come often (the hover timer every 20 ms while the pointer rests on a bar, and the
// window's own timers): they repaint the bars only when scroll data changed.
TEST_F(AdaptScroll, TimerMessagesRepaintTheBarsOnlyWhenScrollDataChanged) {
  TRect S;
  HWND W = AdaptedInFront(S);
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{S.Left - 60, S.Top + 40}));
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{(S.Left + S.Right) / 2, S.Bottom - 4}));
  ASSERT_TRUE(uitest::WaitFor([] { return acScrollTracking().HoverPart == SB_LINEDOWN; }));
  constexpr UINT_PTR OwnTimer = 7;
  Adapter->HorzBar->Paints = Adapter->VertBar->Paints = 0;
  for (int I = 0; I < 10; ++I) {
    SendMessageW(W, WM_TIMER, acTimerHover, 0);
    SendMessageW(W, WM_TIMER, OwnTimer, 0);
  }
  EXPECT_EQ(Adapter->VertBar->Paints, 0u);
  EXPECT_EQ(Adapter->HorzBar->Paints, 0u);
  // The window scrolled without the bars: the next timer message shows it, each bar painted once.
  SCROLLINFO SI{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 40, 0};
  SetScrollInfo(W, SB_VERT, &SI, FALSE);
  SendMessageW(W, WM_TIMER, OwnTimer, 0);
  EXPECT_EQ(Adapter->VertBar->Paints, 1u);
  EXPECT_EQ(Adapter->HorzBar->Paints, 1u);
  ASSERT_TRUE(realinput::MovePointerSettled(POINT{S.Left - 60, S.Top + 40}));
  ASSERT_TRUE(uitest::WaitFor([] { return acScrollTracking().HoverBar == -1; }));
}

// An arrow the bar's flags disable takes no press; the other arrow still scrolls, and the bar with
// one arrow disabled stays enabled (its thumb drawn, the pointer finds it).
TEST_F(AdaptScroll, AnArrowOfItsOwnDisabledTakesNoPressTheOtherStillScrolls) {
  const struct {
    const char* Name;
    Word Disabled;
    int Codes[2];  // of a press on the upper and the lower arrow: a scroll code, -1 for none taken
  } Rows[] = {{"the lower arrow disabled, the upper enabled", acsfSecondArrowDisabled, {SB_LINEUP, -1}},
              {"the upper arrow disabled, the lower enabled", acsfFirstArrowDisabled, {-1, SB_LINEDOWN}}};
  for (const auto& Row : Rows) {
    SCOPED_TRACE(Row.Name);
    HWND W = AdaptedMidway(SB_VERT);
    Adapter->VertBar->ScrollFlags |= Row.Disabled;
    SendMessageW(W, WM_NCPAINT, 1, 0);
    const uitest::TCapture C = adapt::WindowCapture(W);
    EXPECT_GT(adapt::CountNear(C, VertInWindow(W), SliderColor, 8), 10);
    TRect S;
    GetVertBarRect(Adapter, W, S);
    const int X = (S.Left + S.Right) / 2;
    EXPECT_EQ(SendMessageW(W, WM_NCHITTEST, 0, MAKELPARAM(X, S.Top + 60)), HTVSCROLL);
    const int Ys[2] = {S.Top + 4, S.Bottom - 4};
    for (int I = 0; I < 2; ++I) {
      adapt::Log().clear();
      SendMessageW(W, WM_NCLBUTTONDOWN, HTVSCROLL, MAKELPARAM(X, Ys[I]));
      EXPECT_EQ(GetCapture() == W, Row.Codes[I] != -1) << I;
      SendMessageW(W, WM_LBUTTONUP, 0, 0);
      EXPECT_EQ(adapt::ScrollCodes(WM_VSCROLL), ArrowPressCodes(Row.Codes[I])) << I;
    }
    LetGoAndDestroy(W);
  }
}

// An arrow the window reports unavailable (the program disabled it alone with EnableScrollBar)
// takes no press of the user, as the system's own bar would take none, while the bar's other arrow
// still scrolls: both arrows of both bars, pressed with the mouse.
TEST_F(AdaptScroll, AnArrowTheProgramDisablesTakesNoPressTheOtherStillScrolls) {
  const struct {
    const char* Name;
    int Bar;
    UINT Disabled;  // for EnableScrollBar
    int Codes[2];   // of a press on the first (upper, left) and the second arrow: a scroll code, -1 none
  } Rows[] = {{"the lower arrow disabled", SB_VERT, ESB_DISABLE_DOWN, {SB_LINEUP, -1}},
              {"the upper arrow disabled", SB_VERT, ESB_DISABLE_UP, {-1, SB_LINEDOWN}},
              {"the right arrow disabled", SB_HORZ, ESB_DISABLE_RIGHT, {SB_LINELEFT, -1}},
              {"the left arrow disabled", SB_HORZ, ESB_DISABLE_LEFT, {-1, SB_LINERIGHT}}};
  for (const auto& Row : Rows) {
    SCOPED_TRACE(Row.Name);
    HWND W = AdaptedMidway(Row.Bar);
    ASSERT_TRUE(realinput::BringToFront(Host.Wnd));
    EnableScrollBar(W, Row.Bar, Row.Disabled);
    const UINT Msg = Row.Bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
    TRect S;
    GetBarRect(Adapter, Row.Bar, W, S);
    const POINT Mid{(S.Left + S.Right) / 2, (S.Top + S.Bottom) / 2};
    const POINT Arrows[2] = {Row.Bar == SB_VERT ? POINT{Mid.x, S.Top + 4} : POINT{S.Left + 4, Mid.y},
                             Row.Bar == SB_VERT ? POINT{Mid.x, S.Bottom - 4} : POINT{S.Right - 4, Mid.y}};
    for (int I = 0; I < 2; ++I) {
      ASSERT_TRUE(realinput::MovePointerSettled(Arrows[I]));
      adapt::Log().clear();
      const int Pos = GetScrollPos(W, Row.Bar);
      ownctl::SendMouse(Arrows[I], MOUSEEVENTF_LEFTDOWN);
      ownctl::SendMouse(Arrows[I], MOUSEEVENTF_LEFTUP);
      // The release reaches the window either way: in its frame, or in its client area while the
      // press holds the mouse.
      ASSERT_TRUE(uitest::WaitFor([] { return adapt::CountOf(WM_NCLBUTTONUP) + adapt::CountOf(WM_LBUTTONUP) > 0; }))
          << I;
      uitest::Pump();
      EXPECT_EQ(adapt::ScrollCodes(Msg), ArrowPressCodes(Row.Codes[I])) << I;
      EXPECT_EQ(GetScrollPos(W, Row.Bar) == Pos, Row.Codes[I] == -1) << I;
      EXPECT_NE(GetCapture(), W);
    }
    ASSERT_TRUE(realinput::MovePointerSettled(POINT{S.Left - 60, S.Top - 40}));
    LetGoAndDestroy(W);
  }
}
