// The grid on a real window: presses and their event order, the arrow keys, the wheel, the
// vertical scroll bar, and what is painted (selection colour, text, grid lines).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/GridTestHelpers.h"

using namespace gridtest;

namespace {

std::vector<std::wstring> Channels(int N) {
  std::vector<std::wstring> L;
  for (int I = 0; I < N; ++I) L.push_back(L"Channel " + std::to_wstring(I) + L"|" + std::to_wstring(100 + I) + L",x");
  return L;
}

// Records the grid's events in order.
struct EventLog {
  std::vector<std::string> Items;
  void Attach(TNxGrid* G) {
    G->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState, int, int) {
      Items.push_back(B == mbRight ? "down:right" : B == mbLeft ? "down:left" : "down:middle");
    };
    G->OnBeforeSelect = [this](TObject*, int C, int R, bool&) {
      Items.push_back("before:" + std::to_string(C) + "," + std::to_string(R));
    };
    G->OnDeselectCell = [this](TObject*, int C, int R) {
      Items.push_back("deselect:" + std::to_string(C) + "," + std::to_string(R));
    };
    G->OnSelectCell = [this](TObject*, int C, int R) {
      Items.push_back("select:" + std::to_string(C) + "," + std::to_string(R));
    };
  }
  std::string Joined() const {
    std::string S;
    for (const auto& I : Items) S += (S.empty() ? "" : " ") + I;
    return S;
  }
};

}  // namespace

TEST(GridMouse, RealLeftClickFiresMouseDownBeforeSelectingTheRow) {
  TChannelListForm F;
  F.AddLines(Channels(5));
  EventLog Log;
  Log.Attach(F.Grid);
  const TPoint P = F.RowPoint(2);
  SettledClick(F.GridWindow(), P.X, P.Y);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 2; }));
  EXPECT_EQ(Log.Joined(), "down:left before:0,2 select:0,2");
  EXPECT_TRUE(F.Grid->IsFocused());

  Log.Items.clear();
  const TPoint Q = F.RowPoint(4);
  SettledClick(F.GridWindow(), Q.X, Q.Y);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 4; }));
  EXPECT_EQ(Log.Joined(), "down:left before:0,4 deselect:0,2 select:0,4");
}

TEST(GridMouse, RightPressSelectsLikeTheLeftAfterMouseDown) {
  TChannelListForm F;
  F.AddLines(Channels(5));
  EventLog Log;
  Log.Attach(F.Grid);
  // The application sets a flag in OnMouseDown and reads it in OnSelectCell of the same press.
  bool RightSeen = false;
  bool FlagWhenSelected = false;
  auto Down = F.Grid->OnMouseDown;
  F.Grid->OnMouseDown = [&](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    Down(S, B, Sh, X, Y);
    if (B == mbRight) RightSeen = true;
  };
  auto Sel = F.Grid->OnSelectCell;
  F.Grid->OnSelectCell = [&](TObject* S, int C, int R) {
    Sel(S, C, R);
    FlagWhenSelected = RightSeen;
  };
  const TPoint P = F.RowPoint(3);
  SettledClick(F.GridWindow(), P.X, P.Y, true);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 3; }));
  EXPECT_EQ(Log.Joined(), "down:right before:0,3 select:0,3");
  EXPECT_TRUE(FlagWhenSelected);
}

TEST(GridMouse, PostedPressesSelectTheRowUnderThePointAndRepeatOnTheSameCell) {
  TChannelListForm F;
  F.AddLines(Channels(6));
  EventLog Log;
  Log.Attach(F.Grid);
  const TPoint P = F.RowPoint(1);
  PostClick(F.GridWindow(), P.X, P.Y);
  EXPECT_EQ(F.Grid->SelectedRow(), 1);
  // The boundary pixels of a row belong to it.
  const TRect R = F.Grid->GetCellRect(0, 4);
  PostClick(F.GridWindow(), 5, R.Top);
  EXPECT_EQ(F.Grid->SelectedRow(), 4);
  PostClick(F.GridWindow(), 5, R.Bottom - 1);
  EXPECT_EQ(F.Grid->SelectedRow(), 4);
  EXPECT_EQ(Log.Joined(),
            "down:left before:0,1 select:0,1 down:left before:0,4 deselect:0,1 select:0,4 "
            "down:left before:0,4 select:0,4");
}

TEST(GridMouse, PressBelowTheLastRowSelectsNothing) {
  TChannelListForm F;
  F.AddLines(Channels(2));
  EventLog Log;
  Log.Attach(F.Grid);
  PostClick(F.GridWindow(), 20, F.Grid->ClientHeight() - 5);
  EXPECT_EQ(F.Grid->SelectedRow(), -1);
  EXPECT_EQ(Log.Joined(), "down:left");
}

TEST(GridMouse, MiddlePressNeverSelects) {
  TChannelListForm F;
  F.AddLines(Channels(3));
  EventLog Log;
  Log.Attach(F.Grid);
  const TPoint P = F.RowPoint(1);
  PostMessageW(F.GridWindow(), WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(P.X, P.Y));
  PostMessageW(F.GridWindow(), WM_MBUTTONUP, 0, MAKELPARAM(P.X, P.Y));
  Pump();
  EXPECT_EQ(F.Grid->SelectedRow(), -1);
  EXPECT_EQ(Log.Joined(), "down:middle");
  EXPECT_FALSE(F.Grid->Rolling());
}

TEST(GridMouse, VetoedSelectionChangesNothing) {
  TChannelListForm F;
  F.AddLines(Channels(4));
  F.Grid->SelectRow(1);
  EventLog Log;
  Log.Attach(F.Grid);
  F.Grid->OnBeforeSelect = [&](TObject*, int, int R, bool& Accept) {
    Log.Items.push_back("before:" + std::to_string(R));
    Accept = false;
  };
  const TPoint P = F.RowPoint(3);
  PostClick(F.GridWindow(), P.X, P.Y);
  EXPECT_EQ(F.Grid->SelectedRow(), 1);
  EXPECT_EQ(Log.Joined(), "down:left before:3");
}

TEST(GridKeys, ArrowKeysMoveTheSelection) {
  TChannelListForm F;
  F.AddLines(Channels(4));
  const TPoint P = F.RowPoint(1);
  SettledClick(F.GridWindow(), P.X, P.Y);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 1 && F.Grid->IsFocused(); }));
  EventLog Log;
  Log.Attach(F.Grid);
  realinput::Key(VK_DOWN);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 2; }));
  realinput::Key(VK_DOWN);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 3; }));
  realinput::Key(VK_DOWN);  // the last row: nothing
  realinput::Key(VK_UP);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 2; }));
  EXPECT_EQ(Log.Joined(), "before:0,2 deselect:0,1 select:0,2 before:0,3 deselect:0,2 select:0,3 "
                          "before:0,2 deselect:0,3 select:0,2");
}

TEST(GridKeys, DownKeepsTheSelectedRowInView) {
  TChannelListForm F;
  F.AddLines(Channels(40));
  const TPoint P = F.RowPoint(0);
  SettledClick(F.GridWindow(), P.X, P.Y);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->IsFocused(); }));
  for (int I = 0; I < 25; ++I) realinput::Key(VK_DOWN);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 25; }));
  EXPECT_GT(F.Grid->FirstVisibleRow(), 0);
  EXPECT_LE(F.Grid->SelectedRow(), F.Grid->GetLastFullyVisibleRow());
  EXPECT_EQ(F.Grid->VertScrollBar()->Position(), F.Grid->FirstVisibleRow());
  realinput::Key(VK_HOME);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 0; }));
  EXPECT_EQ(F.Grid->FirstVisibleRow(), 0);
}

TEST(GridScrolling, VerticalBarShowsOnlyWhenRowsExceedTheHeight) {
  TChannelListForm F;
  auto HasBar = [&] { return (GetWindowLongW(F.GridWindow(), GWL_STYLE) & WS_VSCROLL) != 0; };
  F.AddLines(Channels(3));
  EXPECT_FALSE(HasBar());
  F.AddLines(Channels(30));
  EXPECT_TRUE(HasBar());
  SCROLLINFO SI{sizeof(SI), SIF_ALL};
  GetScrollInfo(F.GridWindow(), SB_VERT, &SI);
  EXPECT_EQ(SI.nMax, 33);
  EXPECT_EQ(static_cast<int>(SI.nPage), F.Grid->GetRowsPerPage() + 1);
  F.Grid->ClearRows();
  Settle(F.GridWindow());
  EXPECT_FALSE(HasBar());
}

TEST(GridScrolling, WheelScrollsOneRowPerNotch) {
  TChannelListForm F;
  F.AddLines(Channels(40));
  const TPoint P = F.RowPoint(0);
  SettledClick(F.GridWindow(), P.X, P.Y);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->IsFocused(); }));
  POINT S{P.X, P.Y};
  ClientToScreen(F.GridWindow(), &S);
  SendMessageW(F.GridWindow(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA * 3)), MAKELPARAM(S.x, S.y));
  Pump();
  EXPECT_EQ(F.Grid->FirstVisibleRow(), 3);
  EXPECT_EQ(F.Grid->VertScrollBar()->Position(), 3);
  SendMessageW(F.GridWindow(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(S.x, S.y));
  Pump();
  EXPECT_EQ(F.Grid->FirstVisibleRow(), 2);
  EXPECT_EQ(F.Grid->SelectedRow(), 0);  // the wheel scrolls, it does not select
  // Scrolled rows are hit where they are painted now.
  const TPoint Q = F.RowPoint(5);
  PostClick(F.GridWindow(), Q.X, Q.Y);
  EXPECT_EQ(F.Grid->SelectedRow(), 5);
  // Scrolling never goes past the last page.
  for (int I = 0; I < 10; ++I)
    SendMessageW(F.GridWindow(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA * 10)),
                 MAKELPARAM(S.x, S.y));
  Pump();
  EXPECT_EQ(F.Grid->FirstVisibleRow(), 40 - F.Grid->GetRowsPerPage());
  EXPECT_EQ(F.Grid->GetLastFullyVisibleRow(), 39);
}

TEST(GridScrolling, ScrollBarMessagesMoveTheFirstVisibleRow) {
  TChannelListForm F;
  F.AddLines(Channels(40));
  const int Page = F.Grid->GetRowsPerPage();
  SendMessageW(F.GridWindow(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(F.Grid->FirstVisibleRow(), 1);
  SendMessageW(F.GridWindow(), WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(F.Grid->FirstVisibleRow(), 1 + Page + 1);
  SendMessageW(F.GridWindow(), WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(F.Grid->FirstVisibleRow(), 40 - Page);
  SendMessageW(F.GridWindow(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(F.Grid->FirstVisibleRow(), 40 - Page);
  SendMessageW(F.GridWindow(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(F.Grid->FirstVisibleRow(), 0);
  SendMessageW(F.GridWindow(), WM_VSCROLL, SB_LINEUP, 0);
  EXPECT_EQ(F.Grid->FirstVisibleRow(), 0);
}

// ---- painting -------------------------------------------------------------------------------

TEST(GridPainting, SelectedRowShowsTheHighlightAndRowsShowTheirText) {
  TChannelListForm F;
  F.AddLines({L"First channel", L"Second channel", L"Third channel"});
  const TPoint P = F.RowPoint(1);
  SettledClick(F.GridWindow(), P.X, P.Y);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 1 && F.Grid->IsFocused(); }));
  Settle(F.GridWindow());
  TCapture C(F.GridWindow());
  C.MaybeSave("grid_selected");

  const COLORREF Highlight = ColorToRGB(clHighlight);
  const COLORREF HighlightText = ColorToRGB(clHighlightText);
  const COLORREF Window = ColorToRGB(clWindow);
  const TRect Sel = F.Grid->GetCellRect(0, 1);
  const TRect Row0 = F.Grid->GetCellRect(0, 0);
  // Right part of the selected cell, away from the text and the focus frame: the highlight.
  EXPECT_EQ(C.Pixel(Sel.Right - 4, (Sel.Top + Sel.Bottom) / 2), Highlight);
  EXPECT_GT(C.Count(Sel, Highlight), Sel.Width() * Sel.Height() / 2);
  // The selected text is painted in the highlighted text colour; unselected rows keep the
  // window colour with text in another colour.
  EXPECT_GT(C.Count(Sel, HighlightText), 10);
  EXPECT_EQ(C.Pixel(Row0.Right - 4, (Row0.Top + Row0.Bottom) / 2), Window);
  EXPECT_GT(C.CountOther(Row0, Window), 10);
  EXPECT_EQ(C.Count(Row0, Highlight), 0);
  // Below the last row the body is the grid's colour.
  const TRect Below = Rect(0, F.Grid->GetCellRect(0, 2).Bottom + 2, C.Width(), C.Height());
  EXPECT_EQ(C.CountOther(Below, Window), 0);
}

TEST(GridPainting, WithoutFocusTheSelectionIsHidden) {
  TChannelListForm F;
  F.AddLines({L"One", L"Two"});
  F.Grid->SelectRow(0);
  auto* Other = new TCustomControl(F.Form);
  Other->SetBounds(0, 0, 50, 50);
  Other->SetTabStop(true);
  Other->SetParent(F.Form);
  Other->SetFocus();
  Settle(F.GridWindow());
  ASSERT_FALSE(F.Grid->IsFocused());
  TCapture C(F.GridWindow());
  EXPECT_EQ(C.Count(F.Grid->GetCellRect(0, 0), ColorToRGB(clHighlight)), 0);
  // Without aoHideSelection the inactive selection colour shows.
  F.Grid->SetInactiveSelectionColor(clYellow);
  F.Grid->SetAppearanceOptions({});
  Settle(F.GridWindow());
  TCapture D(F.GridWindow());
  const TRect R = F.Grid->GetCellRect(0, 0);
  EXPECT_EQ(D.Pixel(R.Right - 4, (R.Top + R.Bottom) / 2), ColorToRGB(clYellow));
}

TEST(GridPainting, ActiveRowsGridLinesStopAtTheLastRow) {
  TChannelListForm F;
  F.Grid->SetOptions({goGrid});
  F.Grid->SetGridLinesColor(clRed);
  F.AddLines({L"a", L"b", L"c"});
  Settle(F.GridWindow());
  TCapture C(F.GridWindow());
  C.MaybeSave("grid_lines");
  const COLORREF Red = RGB(255, 0, 0);
  const TRect R0 = F.Grid->GetCellRect(0, 0);
  // The horizontal line under row 0 and the vertical line at the column's right edge are red.
  EXPECT_EQ(C.Pixel(R0.Left + 20, R0.Bottom), Red);
  EXPECT_EQ(C.Pixel(R0.Right - 1, R0.Top + 3), Red);
  const TRect R2 = F.Grid->GetCellRect(0, 2);
  EXPECT_EQ(C.Pixel(R2.Left + 20, R2.Bottom), Red);
  // Below the last row no line is drawn.
  EXPECT_EQ(C.Count(Rect(0, R2.Bottom + 2, C.Width(), C.Height()), Red), 0);
  // lsNormal continues the lines to the bottom.
  F.Grid->SetGridLinesStyle(lsNormal);
  Settle(F.GridWindow());
  TCapture D(F.GridWindow());
  EXPECT_GT(D.Count(Rect(0, R2.Bottom + 2, D.Width(), D.Height()), Red), 10);
}

TEST(GridPainting, EmptyGridShowsItsCaption) {
  TChannelListForm F;
  F.Grid->SetCaption(WideString(L"Nothing here"));
  Settle(F.GridWindow());
  TCapture C(F.GridWindow());
  EXPECT_GT(C.CountOther(Rect(0, 0, C.Width(), 20), ColorToRGB(clWindow)), 10);
  F.AddLines({L"x"});
  TCapture D(F.GridWindow());
  // With a row the caption is gone: only the row's short text is painted at the top.
  EXPECT_LT(D.CountOther(Rect(30, 0, D.Width(), 20), ColorToRGB(clWindow)), 5);
}

TEST(GridLayout, TheAutoSizedColumnFillsTheBody) {
  TChannelListForm F;
  EXPECT_EQ(F.Column->Width(), F.Grid->ClientWidth());
  F.AddLines(Channels(40));  // the vertical bar narrows the client
  EXPECT_EQ(F.Column->Width(), F.Grid->ClientWidth());
  EXPECT_EQ(F.Grid->GetBodyRect().Top, 0);  // no header
  EXPECT_EQ(F.Grid->GetCellRect(0, 1).Top, F.Grid->RowSize());
}

TEST(GridMouse, ClickAndDoubleClickOnACell) {
  TChannelListForm F;
  F.AddLines(Channels(4));
  std::vector<std::string> Log;
  F.Grid->OnCellClick = [&](TObject*, int C, int R) { Log.push_back("click " + std::to_string(R)); };
  F.Grid->OnCellDblClick = [&](TObject*, int C, int R) { Log.push_back("dbl " + std::to_string(R)); };
  const TPoint P = F.RowPoint(1);
  const TPoint Q = F.RowPoint(3);
  PostClick(F.GridWindow(), P.X, P.Y);
  // Released over another cell: no click.
  PostMessageW(F.GridWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(P.X, P.Y));
  PostMessageW(F.GridWindow(), WM_LBUTTONUP, 0, MAKELPARAM(Q.X, Q.Y));
  Pump();
  PostMessageW(F.GridWindow(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(Q.X, Q.Y));
  PostMessageW(F.GridWindow(), WM_LBUTTONUP, 0, MAKELPARAM(Q.X, Q.Y));
  Pump();
  // The release that ends a double click is a click on the pressed cell as well.
  EXPECT_EQ(Log, (std::vector<std::string>{"click 1", "dbl 3", "click 3"}));
}
