// The scroll control on a real window: the bar model and the window's own bars, the scroll
// messages with their limits and events, the content scrolling, the wheel switch, roll scrolling
// with the middle button (posted and real input, timer ticks driven directly or counted), the roll
// cursors of the program's resources and the focus routines.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "framework/StdCtrls.h"
#include "support/GridTestHelpers.h"

using namespace gridtest;

namespace {

// A pop-up sign standing in for the grid's roll sign: grey, 32 x 32 once shown.
class TProbeSign : public TCustomControl {
  T_CLASS(TProbeSign, TCustomControl)

 public:
  using TCustomControl::TCustomControl;

 protected:
  void CreateParams(TCreateParams& Params) override {
    TCustomControl::CreateParams(Params);
    Params.Style = (Params.Style & ~static_cast<DWORD>(WS_CHILD | WS_GROUP | WS_TABSTOP)) | WS_POPUP;
    Params.ExStyle |= WS_EX_TOOLWINDOW;
  }
  void Paint() override {
    Canvas()->Brush()->SetColor(clGrayText);
    Canvas()->FillRect(ClientRect());
  }
};

// Content colours: a header strip that never scrolls, and one band of RowHeight pixels per
// position of the vertical bar, coloured by the band's row.
const COLORREF HeaderColor = RGB(0, 0, 128);
const COLORREF BandColors[4] = {RGB(255, 0, 0), RGB(0, 160, 0), RGB(0, 0, 255), RGB(255, 255, 0)};

// The scroll control with its protected parts reachable: counted roll ticks, an optional roll
// sign, content that paints bands by the vertical position, and the pixel distances of a scroll.
class TProbeScrollControl : public TNxScrollControl {
  T_CLASS(TProbeScrollControl, TNxScrollControl)

 public:
  using TNxScrollControl::TNxScrollControl;
  using TNxScrollControl::FocusNextControl;
  using TNxScrollControl::FocusPreviousControl;
  using TNxScrollControl::FocusSelf;

  static constexpr int RowHeight = 10;
  static constexpr int HeaderHeight = 20;
  int Ticks = 0;
  bool WithSign = false;
  int DistanceCalls = 0;
  std::vector<TRect> PaintRects;

  // One tick of the roll timer, as the timer would run it.
  void Tick() { RollTimer()->OnTimer()(RollTimer()); }

 protected:
  void RollStep(TObject* Sender) override {
    ++Ticks;
    TNxScrollControl::RollStep(Sender);
  }
  TWinControl* CreateRollShadow() override { return WithSign ? new TProbeSign(this) : nullptr; }
  int GetVertScrollDistance(int OldPos, int NewPos) override {
    ++DistanceCalls;
    return (OldPos - NewPos) * RowHeight;
  }
  int GetHorzScrollDistance(int OldPos, int NewPos) override { return OldPos - NewPos; }
  void BeforeScroll() override {
    FHorzScrollRect = ClientRect();
    FVertScrollRect = Rect(0, HeaderHeight, ClientWidth(), ClientHeight());
  }
  void Paint() override {
    HDC DC = Canvas()->Handle();
    RECT Box;
    GetClipBox(DC, &Box);
    PaintRects.push_back(TRect{Box.left, Box.top, Box.right, Box.bottom});
    const int W = ClientWidth();
    for (int Y = HeaderHeight, Row = VertScrollBar()->Position(); Y < ClientHeight(); Y += RowHeight, ++Row)
      Fill(DC, Rect(0, Y, W, Y + RowHeight), BandColors[Row % 4]);
    Fill(DC, Rect(0, 0, W, HeaderHeight), HeaderColor);
  }

 private:
  static void Fill(HDC DC, const TRect& R, COLORREF Color) {
    HBRUSH B = CreateSolidBrush(Color);
    RECT Q{R.Left, R.Top, R.Right, R.Bottom};
    FillRect(DC, &Q, B);
    DeleteObject(B);
  }
};

// Moves the real pointer to a screen point and waits until a control's reports of it (Last, in
// the control's coordinates) have come to rest at Target. Under Wine on Xvfb a late report of the
// pointer's previous place sometimes follows the new one within a few milliseconds; the report is
// then watched for a few rounds, and the pointer is moved away and back when a late one came.
bool SettlePointer(TPoint Screen, const TPoint& Last, TPoint Target) {
  for (int Try = 0; Try < 5; ++Try) {
    if (Try > 0 && !realinput::MovePointer(POINT{Screen.X + 1, Screen.Y})) return false;
    if (!realinput::MovePointer(POINT{Screen.X, Screen.Y})) return false;
    if (!WaitFor([&] { return Last == Target; }, 1000)) continue;
    bool Steady = true;
    for (int I = 0; I < 5 && Steady; ++I) {
      Sleep(10);
      Pump();
      Steady = Last == Target;
    }
    if (Steady) return true;
  }
  return false;
}

// Moves the real pointer to a screen point and waits until the system's pointer position has come
// to rest there (see SettlePointer for the late reports).
bool SettleCursor(POINT Screen) {
  const auto There = [&] {
    POINT P;
    GetCursorPos(&P);
    return P.x == Screen.x && P.y == Screen.y;
  };
  for (int Try = 0; Try < 5; ++Try) {
    if (Try > 0 && !realinput::MovePointer(POINT{Screen.x + 1, Screen.y})) return false;
    if (!realinput::MovePointer(Screen)) return false;
    bool Steady = true;
    for (int I = 0; I < 5 && Steady; ++I) {
      Sleep(10);
      Pump();
      Steady = There();
    }
    if (Steady) return true;
  }
  return false;
}

bool ArrowsDisabled(HWND W) {
  SCROLLBARINFO SI{};
  SI.cbSize = sizeof(SI);
  GetScrollBarInfo(W, OBJID_VSCROLL, &SI);
  return (SI.rgstate[1] & STATE_SYSTEM_UNAVAILABLE) != 0 && (SI.rgstate[5] & STATE_SYSTEM_UNAVAILABLE) != 0;
}

void SendWheel(int Delta) {
  INPUT In{};
  In.type = INPUT_MOUSE;
  In.mi.dwFlags = MOUSEEVENTF_WHEEL;
  In.mi.mouseData = static_cast<DWORD>(Delta);
  SendInput(1, &In, sizeof(INPUT));
}

// Mouse input events that each carry their screen point (a button flag or 0 for a plain move),
// sent in one go.
struct TMouseStep {
  DWORD Button;
  int X, Y;
};
void SendButtonsAt(std::initializer_list<TMouseStep> Steps) {
  std::vector<INPUT> In;
  for (const TMouseStep& S : Steps) {
    INPUT I{};
    I.type = INPUT_MOUSE;
    I.mi.dx = MulDiv(S.X, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
    I.mi.dy = MulDiv(S.Y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    I.mi.dwFlags = S.Button | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    In.push_back(I);
  }
  SendInput(static_cast<UINT>(In.size()), In.data(), sizeof(INPUT));
}


struct ScrollFixture : ::testing::Test {
  TForm* Form = nullptr;
  TProbeScrollControl* Control = nullptr;
  std::vector<int> Positions;
  std::vector<int> HorzPositions;
  TPoint LastMove{-9999, -9999};

  void SetUp() override {
    Form = new TForm(nullptr);
    Form->SetBounds(100, 100, 300, 240);
    Control = new TProbeScrollControl(Form);
    Control->SetBounds(10, 10, 200, 150);
    Control->SetParent(Form);
    Control->OnVerticalScroll = [this](TObject*, int P) { Positions.push_back(P); };
    Control->OnHorizontalScroll = [this](TObject*, int P) { HorzPositions.push_back(P); };
    Control->OnMouseMove = [this](TObject*, TShiftState, int X, int Y) { LastMove = Point(X, Y); };
    Form->Show();
    realinput::BringToFront(Form->Handle());
    Settle(Form->Handle());
  }
  void TearDown() override {
    if (GetCapture() != nullptr) ReleaseCapture();
    delete Form;
    Pump();
  }
  void Scroll(int Code) { SendMessageW(Control->Handle(), WM_VSCROLL, static_cast<WPARAM>(Code), 0); }
  TNxScrollBar* Bar() { return Control->VertScrollBar(); }
  void Range(int Max, int Page) {
    Bar()->SetMax(Max);
    Bar()->SetPageSize(Page);
  }
  TPoint ScreenPoint(int X, int Y) { return Control->ClientToScreen(Point(X, Y)); }
  // Puts the real pointer on a point of the control (client coordinates) and waits until the
  // control's last report of it is that point (it sees the pointer over it or while it holds the
  // mouse).
  void PointerAt(int X, int Y) { ASSERT_TRUE(SettlePointer(ScreenPoint(X, Y), LastMove, Point(X, Y))); }
  // A middle press posted at (X, Y) with the real pointer there first, so that the pointer and
  // the anchor agree.
  void MiddlePress(int X, int Y) {
    PointerAt(X, Y);
    PostMessageW(Control->Handle(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(X, Y));
    Pump();
  }
  // A move posted to (X, Y) with the real pointer there first: a move the system reports late
  // (when a window shows or hides under the pointer) then names the same point.
  void PostMove(int X, int Y) {
    PointerAt(X, Y);
    PostMessageW(Control->Handle(), WM_MOUSEMOVE, MK_MBUTTON, MAKELPARAM(X, Y));
    Pump();
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// The bar model and the window's bars

TEST_F(ScrollFixture, ScrollRequestsStayInsideTheRange) {
  Bar()->SetMax(100);
  Bar()->SetPageSize(10);
  Scroll(SB_BOTTOM);
  EXPECT_EQ(Bar()->Position(), 91);
  Scroll(SB_LINEDOWN);
  EXPECT_EQ(Bar()->Position(), 91);
  Scroll(SB_TOP);
  EXPECT_EQ(Bar()->Position(), 0);
  Scroll(SB_LINEUP);
  EXPECT_EQ(Bar()->Position(), 0);
  Bar()->SetLargeChange(10);
  Scroll(SB_PAGEDOWN);
  EXPECT_EQ(Bar()->Position(), 10);
  EXPECT_EQ(Bar()->ScrollCode(), 2);
  Scroll(SB_ENDSCROLL);  // changes nothing
  EXPECT_EQ(Bar()->Position(), 10);
  EXPECT_TRUE(Bar()->Visible());
  // The window's own bar shows the same.
  SCROLLINFO SI{sizeof(SI), SIF_ALL};
  GetScrollInfo(Control->Handle(), SB_VERT, &SI);
  EXPECT_EQ(SI.nPos, 10);
  EXPECT_EQ(SI.nMax, 100);
  EXPECT_EQ(SI.nPage, 10u);
}

TEST_F(ScrollFixture, RequestsRecordTheirClassAndStep) {
  Range(100, 10);
  Bar()->SetSmallChange(3);
  Bar()->SetLargeChange(20);
  Scroll(SB_LINEDOWN);
  EXPECT_EQ(Bar()->Position(), 3);
  EXPECT_EQ(Bar()->ScrollCode(), 1);
  Scroll(SB_PAGEDOWN);
  EXPECT_EQ(Bar()->Position(), 23);
  EXPECT_EQ(Bar()->ScrollCode(), 2);
  Scroll(SB_PAGEUP);
  Scroll(SB_LINEUP);
  EXPECT_EQ(Bar()->Position(), 0);
  Scroll(SB_BOTTOM);
  EXPECT_EQ(Bar()->ScrollCode(), 4);
  Scroll(SB_PAGEDOWN);  // beyond the end: the last full page
  EXPECT_EQ(Bar()->Position(), 91);
  // The horizontal bar answers WM_HSCROLL and fires its own event.
  TNxScrollBar* H = Control->HorzScrollBar();
  H->SetMax(400);
  H->SetPageSize(100);
  H->SetSmallChange(5);
  Positions.clear();
  SendMessageW(Control->Handle(), WM_HSCROLL, SB_LINEDOWN, 0);
  SendMessageW(Control->Handle(), WM_HSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(H->Position(), 301);
  EXPECT_EQ(HorzPositions, (std::vector<int>{5, 301}));
  EXPECT_TRUE(Positions.empty());
}

TEST_F(ScrollFixture, EachScrollMessageFiresOneEvent) {
  Bar()->SetMax(50);
  Bar()->SetPageSize(5);
  Positions.clear();
  Scroll(SB_LINEDOWN);
  Scroll(SB_LINEDOWN);
  Scroll(SB_LINEUP);
  EXPECT_EQ(Positions, (std::vector<int>{1, 2, 1}));
  // A request that cannot move still reports the position once.
  Scroll(SB_TOP);
  Positions.clear();
  Scroll(SB_LINEUP);
  EXPECT_EQ(Positions, (std::vector<int>{0}));
}

TEST_F(ScrollFixture, StepOperationsTakeTheMessageRoad) {
  Range(30, 10);
  Bar()->SetLargeChange(10);
  Positions.clear();
  Bar()->LineUp();  // at 0: nothing is sent
  EXPECT_TRUE(Positions.empty());
  Bar()->LineDown();
  Bar()->PageDown();
  Bar()->PageDown();  // limited to the last page
  Bar()->PageUp();
  Bar()->LineUp();
  EXPECT_EQ(Positions, (std::vector<int>{1, 11, 21, 11, 10}));
  EXPECT_EQ(Bar()->ScrollCode(), 1);
  // Without a range nothing is sent at all.
  Bar()->SetMax(0);
  Positions.clear();
  Bar()->LineDown();
  Bar()->PageDown();
  Bar()->PageUp();
  EXPECT_TRUE(Positions.empty());
}

TEST_F(ScrollFixture, NegativeMaxHidesTheBar) {
  Bar()->SetMax(30);
  Bar()->SetPageSize(5);
  EXPECT_TRUE(Bar()->Visible());
  Bar()->SetMax(-5);
  EXPECT_EQ(Bar()->Max(), 0);
  EXPECT_FALSE(Bar()->Visible());
  EXPECT_EQ(GetWindowLongW(Control->Handle(), GWL_STYLE) & WS_VSCROLL, 0);
  Bar()->SetAutoHide(false);  // shown, disabled, with nothing to scroll
  EXPECT_TRUE(Bar()->Visible());
  Bar()->SetPageSize(0);
  EXPECT_EQ(Bar()->PageSize(), 1);
}

TEST_F(ScrollFixture, WithoutAutoHideTheBarStaysShownDisabled) {
  Bar()->SetAutoHide(false);
  Bar()->SetPageSize(10);
  Bar()->SetMax(0);
  Settle(Form->Handle());
  EXPECT_TRUE(Bar()->Visible());
  EXPECT_NE(GetWindowLongW(Control->Handle(), GWL_STYLE) & WS_VSCROLL, 0);
  EXPECT_TRUE(ArrowsDisabled(Control->Handle()));
  // Back to hiding: nothing to scroll, so the bar goes.
  Bar()->SetAutoHide(true);
  EXPECT_FALSE(Bar()->Visible());
  EXPECT_EQ(GetWindowLongW(Control->Handle(), GWL_STYLE) & WS_VSCROLL, 0);
  // A range the page covers keeps the bar hidden too.
  Bar()->SetMax(5);
  Bar()->SetAutoHide(true);
  EXPECT_FALSE(Bar()->Visible());
}

TEST_F(ScrollFixture, PositionsAreLimitedToTheRange) {
  Bar()->SetMax(20);
  Bar()->SetPageSize(2);
  Bar()->SetPosition(25);
  EXPECT_EQ(Bar()->Position(), 20);
  Bar()->SetPosition(-3);
  EXPECT_EQ(Bar()->Position(), 0);
  Bar()->SetPosition(15);
  Bar()->SetMax(10);  // pulled back with the range
  EXPECT_EQ(Bar()->Position(), 10);
  EXPECT_FALSE(Bar()->AtStart());
  EXPECT_TRUE(Bar()->AtEnd());
  Bar()->First();
  EXPECT_TRUE(Bar()->AtStart());
  Bar()->Last();
  EXPECT_EQ(Bar()->Position(), 9);
  Bar()->MoveBy(-4);
  EXPECT_EQ(Bar()->Position(), 5);
}

TEST_F(ScrollFixture, TheWindowBarFollowsTheEnabledState) {
  Range(40, 10);
  Settle(Form->Handle());
  EXPECT_FALSE(ArrowsDisabled(Control->Handle()));
  Control->SetEnabled(false);
  EXPECT_TRUE(ArrowsDisabled(Control->Handle()));
  Control->SetEnabled(true);
  EXPECT_FALSE(ArrowsDisabled(Control->Handle()));
  Bar()->SetEnabled(false);
  EXPECT_TRUE(ArrowsDisabled(Control->Handle()));
  // A position change keeps the bar disabled.
  Bar()->SetPosition(4);
  EXPECT_TRUE(ArrowsDisabled(Control->Handle()));
  Bar()->SetEnabled(true);
  EXPECT_FALSE(ArrowsDisabled(Control->Handle()));
}

TEST_F(ScrollFixture, UpdatingBarsMoveWithoutScrollingTheContent) {
  Range(50, 5);
  Control->DistanceCalls = 0;
  Bar()->BeginUpdate();
  Bar()->SetPosition(7);
  Bar()->EndUpdate();
  EXPECT_EQ(Bar()->Position(), 7);
  EXPECT_EQ(Control->DistanceCalls, 0);
  Bar()->SetPosition(8);
  EXPECT_EQ(Control->DistanceCalls, 1);
  Bar()->EndUpdate();  // unbalanced: stays at 0
  EXPECT_EQ(Bar()->UpdateCount(), 0);
}

// ---------------------------------------------------------------------------------------------
// Scrolling the content

TEST_F(ScrollFixture, ContentScrollsInsideItsRectangleAndRepaintsOnlyTheUncoveredStrip) {
  Range(100, 10);
  Control->Invalidate();
  Settle(Control->Handle());
  const int H = Control->ClientHeight();
  const int W = Control->ClientWidth();
  Control->PaintRects.clear();
  Scroll(SB_LINEDOWN);
  Settle(Control->Handle());
  // Only the strip the move uncovered at the bottom was painted again.
  ASSERT_EQ(Control->PaintRects.size(), 1u);
  EXPECT_EQ(Control->PaintRects[0], Rect(0, H - TProbeScrollControl::RowHeight, W, H));
  const TCapture C(Control->Handle());
  C.MaybeSave("scroll_content_line_down");
  // The header stayed; the bands moved up by one row.
  EXPECT_EQ(C.Count(Rect(0, 0, W, TProbeScrollControl::HeaderHeight), HeaderColor), W * TProbeScrollControl::HeaderHeight);
  for (int Y = TProbeScrollControl::HeaderHeight, Row = 1; Y + 10 <= H; Y += 10, ++Row)
    EXPECT_EQ(C.Pixel(W / 2, Y + 5), BandColors[Row % 4]) << "band at " << Y;
  // A page down by the thumb request and back to the top: the picture is the content at that
  // position every time.
  Scroll(SB_BOTTOM);
  Settle(Control->Handle());
  const TCapture B(Control->Handle());
  EXPECT_EQ(B.Pixel(W / 2, TProbeScrollControl::HeaderHeight + 5), BandColors[91 % 4]);
  EXPECT_EQ(B.Pixel(W / 2, 5), HeaderColor);
}

TEST_F(ScrollFixture, DraggingTheThumbTracksIt) {
  Range(100, 10);
  Settle(Form->Handle());
  SCROLLBARINFO SI{};
  SI.cbSize = sizeof(SI);
  ASSERT_TRUE(GetScrollBarInfo(Control->Handle(), OBJID_VSCROLL, &SI));
  const int X = (SI.rcScrollBar.left + SI.rcScrollBar.right) / 2;
  const int Y = SI.rcScrollBar.top + (SI.xyThumbTop + SI.xyThumbBottom) / 2;
  ASSERT_TRUE(SettleCursor(POINT{X, Y}));
  Positions.clear();
  // Press, drag and release go into the input queue together, each at its own place: the press
  // starts the system's tracking loop, which takes the rest from the queue.
  SendButtonsAt({{MOUSEEVENTF_LEFTDOWN, X, Y}, {0, X, Y + 20}, {0, X, Y + 40}, {MOUSEEVENTF_LEFTUP, X, Y + 40}});
  ASSERT_TRUE(WaitFor([&] { return Bar()->Position() > 0 && GetAsyncKeyState(VK_LBUTTON) >= 0 && GetCapture() == nullptr; }));
  Pump();
  EXPECT_EQ(Bar()->ScrollCode(), 3);
  EXPECT_GT(Bar()->Position(), 10);
  EXPECT_LE(Bar()->Position(), 91);
  EXPECT_EQ(GetScrollPos(Control->Handle(), SB_VERT), Bar()->Position());
  ASSERT_FALSE(Positions.empty());
  EXPECT_EQ(Positions.back(), Bar()->Position());
}

TEST_F(ScrollFixture, ClickingTheArrowScrollsOneLine) {
  Range(100, 10);
  Settle(Form->Handle());
  SCROLLBARINFO SI{};
  SI.cbSize = sizeof(SI);
  ASSERT_TRUE(GetScrollBarInfo(Control->Handle(), OBJID_VSCROLL, &SI));
  const int X = (SI.rcScrollBar.left + SI.rcScrollBar.right) / 2;
  const int Y = SI.rcScrollBar.bottom - SI.dxyLineButton / 2;  // the down arrow
  ASSERT_TRUE(SettleCursor(POINT{X, Y}));
  Positions.clear();
  SendButtonsAt({{MOUSEEVENTF_LEFTDOWN, X, Y}, {MOUSEEVENTF_LEFTUP, X, Y}});
  ASSERT_TRUE(WaitFor([&] { return !Positions.empty() && GetAsyncKeyState(VK_LBUTTON) >= 0; }));
  Pump();
  EXPECT_EQ(Bar()->Position(), 1);
  EXPECT_EQ(Bar()->ScrollCode(), 1);
  EXPECT_EQ(Positions, (std::vector<int>{1}));
}

// ---------------------------------------------------------------------------------------------
// The wheel switch

struct WheelLog {
  int ControlWheel = 0, ControlDown = 0, ControlUp = 0, FormWheel = 0;
  void Attach(TControl* C, TForm* F) {
    C->OnMouseWheel = [this](TObject*, TShiftState, int, TPoint, bool&) { ++ControlWheel; };
    C->OnMouseWheelDown = [this](TObject*, TShiftState, TPoint, bool&) { ++ControlDown; };
    C->OnMouseWheelUp = [this](TObject*, TShiftState, TPoint, bool&) { ++ControlUp; };
    F->OnMouseWheel = [this](TObject*, TShiftState, int, TPoint, bool&) { ++FormWheel; };
  }
};

TEST_F(ScrollFixture, EnabledWheelIsTakenWithoutTheDefaultHandling) {
  Control->SetFocus();
  ASSERT_TRUE(WaitFor([&] { return GetFocus() == Control->Handle(); }));
  WheelLog Log;
  Log.Attach(Control, Form);
  SendWheel(-WHEEL_DELTA);
  ASSERT_TRUE(WaitFor([&] { return Log.ControlWheel == 1; }));
  SendWheel(WHEEL_DELTA);
  ASSERT_TRUE(WaitFor([&] { return Log.ControlWheel == 2; }));
  EXPECT_EQ(Log.ControlDown, 0);
  EXPECT_EQ(Log.ControlUp, 0);
  EXPECT_EQ(Log.FormWheel, 0);  // handled: the parent never hears of it
}

TEST_F(ScrollFixture, DisabledWheelRunsTheDefaultHandling) {
  Control->SetMouseWheelEnabled(false);
  Control->SetFocus();
  ASSERT_TRUE(WaitFor([&] { return GetFocus() == Control->Handle(); }));
  WheelLog Log;
  Log.Attach(Control, Form);
  SendWheel(-WHEEL_DELTA);
  ASSERT_TRUE(WaitFor([&] { return Log.ControlWheel == 1; }));
  SendWheel(WHEEL_DELTA);
  ASSERT_TRUE(WaitFor([&] { return Log.ControlWheel == 2; }));
  EXPECT_EQ(Log.ControlDown, 1);
  EXPECT_EQ(Log.ControlUp, 1);
  EXPECT_EQ(Log.FormWheel, 2);  // unhandled: passed on to the parent
}

TEST(GridWheel, TheSwitchDecidesWhetherTheGridScrolls) {
  TChannelListForm F;
  std::vector<std::wstring> Lines;
  for (int I = 0; I < 40; ++I) Lines.push_back(L"Channel " + std::to_wstring(I));
  F.AddLines(Lines);
  F.Grid->SetFocus();
  ASSERT_TRUE(WaitFor([&] { return GetFocus() == F.GridWindow(); }));
  int Wheels = 0;
  F.Grid->OnMouseWheel = [&](TObject*, TShiftState, int, TPoint, bool&) { ++Wheels; };
  SendWheel(-WHEEL_DELTA);
  ASSERT_TRUE(WaitFor([&] { return Wheels == 1; }));
  EXPECT_EQ(F.Grid->VertScrollBar()->Position(), 1);
  EXPECT_EQ(F.Grid->FirstVisibleRow(), 1);
  F.Grid->SetMouseWheelEnabled(false);
  SendWheel(-WHEEL_DELTA);
  ASSERT_TRUE(WaitFor([&] { return Wheels == 2; }));
  EXPECT_EQ(F.Grid->VertScrollBar()->Position(), 1);
}

// ---------------------------------------------------------------------------------------------
// Roll scrolling

TEST_F(ScrollFixture, MiddlePressRollsAndAnyReleaseStops) {
  const int Y = 40;
  PostMessageW(Control->Handle(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(20, Y));
  Pump();
  EXPECT_TRUE(Control->Rolling());
  PostMessageW(Control->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(20, Y));
  Pump();
  EXPECT_FALSE(Control->Rolling());
  Control->SetRollEnabled(false);
  PostMessageW(Control->Handle(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(20, Y));
  Pump();
  EXPECT_FALSE(Control->Rolling());
}

TEST_F(ScrollFixture, MiddlePressStartsTheRollAfterOnMouseDown) {
  Control->WithSign = true;
  bool RollingInHandler = true;
  int Downs = 0;
  Control->OnMouseDown = [&](TObject*, TMouseButton B, TShiftState, int, int) {
    ++Downs;
    EXPECT_EQ(B, mbMiddle);
    RollingInHandler = Control->Rolling();
  };
  // The press is handled at once (not posted), so that the timer is seen before its first tick,
  // which already sets the interval from the pointer's distance.
  PointerAt(30, 50);
  SendMessageW(Control->Handle(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(30, 50));
  EXPECT_TRUE(Control->RollTimer()->Enabled());
  EXPECT_EQ(Control->RollTimer()->Interval(), 1u);
  Pump();
  EXPECT_EQ(Downs, 1);
  EXPECT_FALSE(RollingInHandler);
  EXPECT_TRUE(Control->Rolling());
  EXPECT_FALSE(Control->RollingUp());
  EXPECT_FALSE(Control->RollingDown());
  EXPECT_EQ(Control->RollAnchor(), Point(30, 50));
  EXPECT_TRUE(Control->RollTimer()->Enabled());
  EXPECT_EQ(GetCapture(), Control->Handle());
  // The sign stands at the anchor, hidden again once the roll ends.
  TWinControl* Sign = Control->RollShadow();
  ASSERT_NE(Sign, nullptr);
  EXPECT_EQ(Sign->Parent(), Control);
  EXPECT_EQ(Sign->Cursor(), crRoll);
  ASSERT_TRUE(Sign->HandleAllocated());
  EXPECT_TRUE(IsWindowVisible(Sign->Handle()));
  RECT R;
  GetWindowRect(Sign->Handle(), &R);
  const TPoint A = ScreenPoint(30, 50);
  EXPECT_EQ(R.left, A.X - 7);
  EXPECT_EQ(R.top, A.Y - 11);
  EXPECT_EQ(R.right - R.left, 32);
  EXPECT_EQ(R.bottom - R.top, 32);
  uitest::SaveScreenshot(Form->Handle(), "roll_sign_shown");
  PostMessageW(Control->Handle(), WM_MBUTTONUP, 0, MAKELPARAM(30, 50));
  Pump();
  EXPECT_FALSE(Control->Rolling());
  EXPECT_FALSE(IsWindowVisible(Sign->Handle()));
  EXPECT_FALSE(Control->RollTimer()->Enabled());
  EXPECT_NE(GetCapture(), Control->Handle());
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(ScrollFixture, PointerDistanceFromTheAnchorChoosesDirectionAndCursor) {
  Control->WithSign = true;
  Range(100, 10);
  MiddlePress(30, 60);
  struct Case {
    int DY;
    bool Up, Down;
    TCursor Cursor;
  };
  const Case Cases[] = {{-5, false, false, crRoll}, {-6, true, false, crRollUp}, {5, false, false, crRoll},
                        {6, false, true, crRollDown}, {0, false, false, crRoll}, {-40, true, false, crRollUp}};
  for (const Case& K : Cases) {
    PostMove(30, 60 + K.DY);
    EXPECT_EQ(Control->RollingUp(), K.Up) << K.DY;
    EXPECT_EQ(Control->RollingDown(), K.Down) << K.DY;
    EXPECT_EQ(Screen->Cursor(), K.Cursor) << K.DY;
    EXPECT_EQ(Control->RollShadow()->Cursor(), K.Cursor) << K.DY;
  }
  PostMessageW(Control->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(30, 20));
  Pump();
  EXPECT_FALSE(Control->Rolling());
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(ScrollFixture, EachTickScrollsOneLineFasterTheFartherThePointer) {
  Range(20000, 10);
  MiddlePress(30, 20);
  // The ticks are the test's own: the timer is held, so that none comes while the pointer moves.
  Control->RollTimer()->SetEnabled(false);
  // 50 pixels below the anchor: a line per tick, the next one in 50 ms.
  PointerAt(30, 70);
  ASSERT_TRUE(Control->RollingDown());
  int P = Bar()->Position();
  Control->Tick();
  EXPECT_EQ(Bar()->Position(), P + 1);
  EXPECT_EQ(Control->RollTimer()->Interval(), 50u);
  // 120 pixels below: every millisecond (the interval never drops below 1).
  PointerAt(30, 140);
  P = Bar()->Position();
  Control->Tick();
  EXPECT_EQ(Bar()->Position(), P + 1);
  EXPECT_EQ(Control->RollTimer()->Interval(), 1u);
  // Back up, 30 above the anchor: lines go up, every 70 ms.
  PointerAt(30, -10);
  ASSERT_TRUE(Control->RollingUp());
  P = Bar()->Position();
  ASSERT_GT(P, 0);
  Control->Tick();
  EXPECT_EQ(Bar()->Position(), P - 1);
  EXPECT_EQ(Control->RollTimer()->Interval(), 70u);
  PostMessageW(Control->Handle(), WM_MBUTTONUP, 0, MAKELPARAM(30, -10));
  Pump();
  EXPECT_FALSE(Control->Rolling());
}

TEST_F(ScrollFixture, PointerNearTheAnchorDoesNotScroll) {
  Range(100, 10);
  MiddlePress(30, 50);
  PointerAt(30, 47);  // 3 pixels above
  const int Before = Control->Ticks;
  ASSERT_TRUE(WaitFor([&] { return Control->Ticks >= Before + 5; }));
  EXPECT_EQ(Bar()->Position(), 0);
  EXPECT_EQ(Control->RollTimer()->Interval(), 97u);
  EXPECT_TRUE(Control->Rolling());
}

TEST_F(ScrollFixture, TheTimerRollsUntilTheEndOfTheRange) {
  Range(12, 10);  // three positions: 0, 1, 2
  MiddlePress(30, 20);
  PointerAt(30, 130);  // far below: fast ticks
  ASSERT_TRUE(WaitFor([&] { return Bar()->Position() == 3 && Control->Ticks >= 10; }));
  EXPECT_EQ(Bar()->Position(), 3);  // the last full page, never beyond
  EXPECT_TRUE(Bar()->AtEnd());
  PostMessageW(Control->Handle(), WM_MBUTTONUP, 0, MAKELPARAM(30, 130));
  Pump();
  EXPECT_FALSE(Control->RollTimer()->Enabled());
  EXPECT_FALSE(Control->RollTimer()->Running());
}

TEST_F(ScrollFixture, RealMiddleButtonRolls) {
  Range(100, 10);
  PointerAt(40, 30);
  const TPoint A = ScreenPoint(40, 30);
  SendButtonsAt({{MOUSEEVENTF_MIDDLEDOWN, A.X, A.Y}});
  ASSERT_TRUE(WaitFor([&] { return Control->Rolling(); }));
  EXPECT_EQ(Control->RollAnchor(), Point(40, 30));
  PointerAt(40, 100);
  ASSERT_TRUE(Control->RollingDown());
  EXPECT_EQ(Screen->Cursor(), crRollDown);
  ASSERT_TRUE(WaitFor([&] { return Bar()->Position() >= 3; }));
  const TPoint B = ScreenPoint(40, 100);
  SendButtonsAt({{MOUSEEVENTF_MIDDLEUP, B.X, B.Y}});
  ASSERT_TRUE(WaitFor([&] { return !Control->Rolling(); }));
  EXPECT_FALSE(Control->RollTimer()->Enabled());
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(ScrollFixture, LosingTheCaptureEndsTheRoll) {
  Control->WithSign = true;
  Range(100, 10);
  MiddlePress(30, 20);
  PostMove(30, 80);
  ASSERT_EQ(Screen->Cursor(), crRollDown);
  // Another window takes the mouse: no release will reach the control.
  TForm* Other = new TForm(nullptr);
  Other->SetBounds(500, 100, 100, 100);
  Other->Show();
  Pump();
  SetCapture(Other->Handle());
  Pump();
  EXPECT_FALSE(Control->Rolling());
  EXPECT_FALSE(Control->RollTimer()->Enabled());
  EXPECT_FALSE(IsWindowVisible(Control->RollShadow()->Handle()));
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_EQ(GetCapture(), Other->Handle());  // the other window keeps what it took
  ReleaseCapture();
  delete Other;
  Pump();
}

TEST_F(ScrollFixture, DisablingTheControlEndsTheRoll) {
  Range(100, 10);
  MiddlePress(30, 20);
  PostMove(30, 80);
  Control->SetEnabled(false);
  Pump();
  EXPECT_FALSE(Control->Rolling());
  EXPECT_FALSE(Control->RollTimer()->Enabled());
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(ScrollFixture, DestroyingTheControlWhileRollingRestoresTheCursor) {
  Control->WithSign = true;
  Range(100, 10);
  MiddlePress(30, 20);
  PostMove(30, 80);
  ASSERT_EQ(Screen->Cursor(), crRollDown);
  delete Control;
  Control = nullptr;
  Pump();
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST(GridRoll, MiddleButtonRollsTheGridRows) {
  TChannelListForm F;
  std::vector<std::wstring> Lines;
  for (int I = 0; I < 40; ++I) Lines.push_back(L"Channel " + std::to_wstring(I));
  F.AddLines(Lines);
  TPoint LastMove;
  F.Grid->OnMouseMove = [&](TObject*, TShiftState, int X, int Y) { LastMove = Point(X, Y); };
  const TPoint P = F.RowPoint(2);
  ASSERT_TRUE(SettlePointer(F.Grid->ClientToScreen(P), LastMove, P));
  PostMessageW(F.GridWindow(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(P.X, P.Y));
  Pump();
  ASSERT_TRUE(F.Grid->Rolling());
  const TPoint Below = Point(P.X, P.Y + 60);
  ASSERT_TRUE(SettlePointer(F.Grid->ClientToScreen(Below), LastMove, Below));
  EXPECT_TRUE(F.Grid->RollingDown());
  ASSERT_TRUE(WaitFor([&] { return F.Grid->VertScrollBar()->Position() >= 3; }));
  PostMessageW(F.GridWindow(), WM_MBUTTONUP, 0, MAKELPARAM(Below.X, Below.Y));
  Pump();
  EXPECT_FALSE(F.Grid->Rolling());
  EXPECT_EQ(F.Grid->FirstVisibleRow(), F.Grid->VertScrollBar()->Position());
  EXPECT_EQ(F.Grid->SelectedRow(), -1);  // rolling never selects
}

// ---------------------------------------------------------------------------------------------
// The roll cursors

TEST(RollCursors, AreRegisteredFromTheProgramResources) {
  TNxScrollControl* C = new TNxScrollControl(nullptr);  // registers them
  delete C;
  const wchar_t* Names[] = {L"ROLL", L"ROLLUP", L"ROLLDOWN"};
  const TCursor Ids[] = {crRoll, crRollUp, crRollDown};
  EXPECT_EQ(crRoll, 4003);
  EXPECT_EQ(crRollUp, 4004);
  EXPECT_EQ(crRollDown, 4005);
  for (int I = 0; I < 3; ++I) {
    HCURSOR H = LoadCursorW(GetModuleHandleW(nullptr), Names[I]);
    ASSERT_NE(H, nullptr) << I;
    EXPECT_EQ(Screen->Cursors(Ids[I]), H) << I;
    EXPECT_NE(Screen->Cursors(Ids[I]), Screen->Cursors(crDefault)) << I;
    ICONINFO Info{};
    ASSERT_TRUE(GetIconInfo(H, &Info));
    EXPECT_FALSE(Info.fIcon);
    EXPECT_EQ(Info.xHotspot, 16u);
    EXPECT_EQ(Info.yHotspot, 16u);
    if (Info.hbmMask) DeleteObject(Info.hbmMask);
    if (Info.hbmColor) DeleteObject(Info.hbmColor);
  }
}

TEST(RollCursors, ShowTheirArrowHeads) {
  struct Shape {
    const wchar_t* Name;
    bool Up, Down;
  };
  const Shape Shapes[] = {{L"ROLL", true, true}, {L"ROLLUP", true, false}, {L"ROLLDOWN", false, true}};
  for (const Shape& S : Shapes) {
    HCURSOR H = LoadCursorW(GetModuleHandleW(nullptr), S.Name);
    ASSERT_NE(H, nullptr);
    // On white: black shapes, clear elsewhere.
    uitest::TMemoryDC Light(32, 32, RGB(255, 255, 255));
    ASSERT_TRUE(DrawIconEx(Light.DC(), 0, 0, H, 32, 32, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(Light.Pixel(16, 16), RGB(0, 0, 0));  // the dot
    EXPECT_EQ(Light.Pixel(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(Light.Pixel(31, 16), RGB(255, 255, 255));
    EXPECT_EQ(Light.Pixel(16, 7) == RGB(0, 0, 0), S.Up);    // up arrow head
    EXPECT_EQ(Light.Pixel(16, 25) == RGB(0, 0, 0), S.Down);  // down arrow head
    // On black: the white outline shows around each shape.
    uitest::TMemoryDC Dark(32, 32, RGB(0, 0, 0));
    ASSERT_TRUE(DrawIconEx(Dark.DC(), 0, 0, H, 32, 32, 0, nullptr, DI_NORMAL));
    const TCapture C(Dark.DC(), Rect(0, 0, 32, 32));
    C.MaybeSave((std::string("cursor_") + (S.Up && S.Down ? "roll" : S.Up ? "rollup" : "rolldown")).c_str());
    EXPECT_EQ(Dark.Pixel(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(Dark.Pixel(16, 13), RGB(255, 255, 255));  // just above the dot
    EXPECT_EQ(Dark.Pixel(16, 2) == RGB(255, 255, 255), S.Up);     // above the up tip
    EXPECT_EQ(Dark.Pixel(16, 30) == RGB(255, 255, 255), S.Down);  // below the down tip
  }
}

// ---------------------------------------------------------------------------------------------
// Focus routines

TEST_F(ScrollFixture, FocusRoutinesMoveAlongTheTabOrder) {
  TEdit* Before = new TEdit(Form);
  Before->SetParent(Form);
  Before->SetBounds(220, 10, 60, 20);
  TEdit* After = new TEdit(Form);
  After->SetParent(Form);
  After->SetBounds(220, 40, 60, 20);
  Control->SetTabStop(true);
  Control->SetTabOrder(1);
  Before->SetTabOrder(0);
  After->SetTabOrder(2);
  Settle(Form->Handle());
  Control->FocusSelf();
  ASSERT_TRUE(WaitFor([&] { return Control->Focused(); }));
  Control->FocusNextControl(Form);
  EXPECT_TRUE(WaitFor([&] { return After->Focused(); }));
  Control->FocusSelf();
  ASSERT_TRUE(WaitFor([&] { return Control->Focused(); }));
  // Backwards with the Shift key held, as after a Shift+Tab.
  INPUT In{};
  In.type = INPUT_KEYBOARD;
  In.ki.wVk = VK_SHIFT;
  SendInput(1, &In, sizeof(INPUT));
  ASSERT_TRUE(WaitFor([] { return GetKeyState(VK_SHIFT) < 0; }));
  Control->FocusPreviousControl(Form);
  const bool Moved = WaitFor([&] { return Before->Focused(); });
  In.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &In, sizeof(INPUT));
  WaitFor([] { return GetKeyState(VK_SHIFT) >= 0; });
  EXPECT_TRUE(Moved);
  // A control that cannot take the focus leaves it where it is.
  Control->SetEnabled(false);
  Control->FocusSelf();
  Pump();
  EXPECT_FALSE(Control->Focused());
}
