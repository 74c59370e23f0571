// The grid's mouse handling with real input: header clicks that sort, column resizing and
// dragging, row resizing and moving, the indicator, double clicks, the event order of a press
// and the hit tests' edges.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grid/NxColumnDragBox.h"
#include "grid/NxDisplays.h"
#include "support/EngineTestHelpers.h"

using namespace enginetest;

namespace {

bool DoubleClick(HWND W, int X, int Y) {
  if (!realinput::BringToFront(W) || !PointerTo(W, X, Y)) return false;
  const POINT S = LastPointer;
  SendButtons({ButtonAt(S, MOUSEEVENTF_LEFTDOWN), ButtonAt(S, MOUSEEVENTF_LEFTUP), ButtonAt(S, MOUSEEVENTF_LEFTDOWN),
               ButtonAt(S, MOUSEEVENTF_LEFTUP)});
  return true;
}

// The screen cursor the system shows now for this thread.
HCURSOR ShownCursor() {
  Pump();
  return GetCursor();
}

std::vector<std::wstring> ColumnTexts(TNxGrid* G, int Col) {
  std::vector<std::wstring> T;
  for (int R = 0; R < G->RowCount(); ++R) T.push_back(G->Cells(Col, R));
  return T;
}

constexpr int HeaderY = 9;

// A press this far from the last one is never taken as the second press of a double click (the
// system's double-click box is a few pixels wide).
constexpr int ApartFromLastPress = 10;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Header clicks

TEST(GridHeaderMouse, ClickFiresHeaderClickThenSortsAndASecondClickFlips) {
  TEngineForm F(3);
  F.Fill(5);
  const wchar_t* Values[] = {L"d", L"b", L"e", L"a", L"c"};
  for (int R = 0; R < 5; ++R) F.Grid->SetCells(1, R, Values[R]);
  TEventLog Log;
  F.Grid->OnHeaderClick = [&](TObject*, int C) { Log.Add("header:" + std::to_string(C)); };
  F.Grid->OnSortColumn = [&](TObject*, int C, bool Asc) {
    Log.Add("sort:" + std::to_string(C) + (Asc ? ",asc" : ",desc"));
  };
  SettledClick(F.Window(), 120, HeaderY);
  ASSERT_TRUE(WaitFor([&] { return F.Columns[1]->Sorted(); }));
  EXPECT_EQ(Log.Joined(), "header:1 sort:1,asc");
  EXPECT_EQ(ColumnTexts(F.Grid, 1), (std::vector<std::wstring>{L"a", L"b", L"c", L"d", L"e"}));
  EXPECT_FALSE(F.Grid->GridState().Contains(gsHeaderPressed));
  EXPECT_EQ(F.Grid->PressedColumn(), nullptr);

  // Two presses at one spot within the double-click time are a double click, whose second press
  // only fires OnHeaderDblClick: the second click falls beside the first.
  Log.Clear();
  SettledClick(F.Window(), 120 + ApartFromLastPress, HeaderY);
  ASSERT_TRUE(WaitFor([&] { return F.Columns[1]->SortKind() == skDescending; }));
  EXPECT_EQ(Log.Joined(), "header:1 sort:1,desc");
  EXPECT_EQ(ColumnTexts(F.Grid, 1), (std::vector<std::wstring>{L"e", L"d", L"c", L"b", L"a"}));
  // A double click is one click that flips the sort once, then the double click event.
  F.Grid->OnHeaderDblClick = [&](TObject*, int C) { Log.Add("hdbl:" + std::to_string(C)); };
  Log.Clear();
  ASSERT_TRUE(DoubleClick(F.Window(), 120 + 2 * ApartFromLastPress, HeaderY));
  ASSERT_TRUE(WaitFor([&] { return Log.Items.size() == 3; }));
  Pump();
  EXPECT_EQ(Log.Joined(), "header:1 sort:1,asc hdbl:1");
  EXPECT_EQ(F.Columns[1]->SortKind(), skAscending);
  EXPECT_FALSE(F.Grid->GridState().Contains(gsHeaderPressed));
  // Another column takes the sort over.
  SettledClick(F.Window(), 40, HeaderY);
  ASSERT_TRUE(WaitFor([&] { return F.Columns[0]->Sorted(); }));
  EXPECT_FALSE(F.Columns[1]->Sorted());
}

// The program going inactive while a header is pressed forgets the press: the release that
// follows fires no header click and sorts nothing.
TEST(GridHeaderMouse, GoingInactiveForgetsAPressedHeader) {
  TEngineForm F(3);
  F.Fill(3);
  int Clicks = 0, Releases = 0;
  F.Grid->OnHeaderClick = [&](TObject*, int) { ++Clicks; };
  F.Grid->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++Releases; };
  ASSERT_TRUE(Press(F.Window(), 120, HeaderY));
  ASSERT_TRUE(WaitFor([&] { return F.Grid->PressedColumn() == F.Columns[1]; }));
  SendMessageW(Application->Handle(), WM_ACTIVATEAPP, FALSE, 0);
  Release();
  ASSERT_TRUE(WaitFor([&] { return Releases == 1; }));
  EXPECT_EQ(Clicks, 0);
  EXPECT_FALSE(F.Columns[1]->Sorted());
}

TEST(GridHeaderMouse, ColumnsWithoutClickOrSortOptionsStayAsTheyAre) {
  TEngineForm F(3);
  F.Fill(3);
  int Clicks = 0;
  F.Grid->OnHeaderClick = [&](TObject*, int) { ++Clicks; };
  F.Columns[0]->SetOptions({coCanClick});   // clicks, does not sort
  F.Columns[1]->SetOptions({coCanSort});    // cannot be pressed at all
  SettledClick(F.Window(), 40, HeaderY);
  ASSERT_TRUE(WaitFor([&] { return Clicks == 1; }));
  EXPECT_FALSE(F.Columns[0]->Sorted());
  SettledClick(F.Window(), 120, HeaderY);
  Pump();
  EXPECT_EQ(Clicks, 1);
  EXPECT_FALSE(F.Columns[1]->Sorted());
}

TEST(GridHeaderMouse, AHeaderClickHandlerMayDeleteItsColumn) {
  TEngineForm F(3);
  F.Fill(3);
  F.Grid->OnHeaderClick = [&](TObject*, int C) { F.Grid->Columns()->Delete(C); };
  SettledClick(F.Window(), 120, HeaderY);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->Columns()->Count() == 2; }));
  EXPECT_EQ(F.Grid->PressedColumn(), nullptr);
  EXPECT_EQ(F.Grid->ClickColumn(), nullptr);
  Settle(F.Window());
}

// ---------------------------------------------------------------------------------------------
// Column resizing

TEST(GridColumnSizing, TheGripReachesThreeLeftAndTwoRightOfTheEdge) {
  TEngineForm F(3);
  const int R = F.Columns[0]->Left() + F.Columns[0]->Width();
  EXPECT_EQ(F.Grid->GetSizingColumn(R - 3), F.Columns[0]);
  EXPECT_EQ(F.Grid->GetSizingColumn(R + 2), F.Columns[0]);
  EXPECT_NE(F.Grid->GetSizingColumn(R - 4), F.Columns[0]);
  EXPECT_NE(F.Grid->GetSizingColumn(R + 3), F.Columns[0]);
  F.Columns[0]->SetOptions(F.Columns[0]->Options() + coFixedSize);
  EXPECT_EQ(F.Grid->GetSizingColumn(R), nullptr);
}

TEST(GridColumnSizing, DraggingTheBorderResizesOnReleaseOnly) {
  TEngineForm F(3);
  F.Fill(4);
  std::vector<int> Resized;
  F.Grid->OnColumnResize = [&](TObject*, int C) { Resized.push_back(C); };
  const int R = F.Columns[0]->Left() + F.Columns[0]->Width();
  // The cursor changes over the border.
  ASSERT_TRUE(realinput::BringToFront(F.Window()));
  ASSERT_TRUE(PointerTo(F.Window(), 30, HeaderY));
  ASSERT_TRUE(PointerTo(F.Window(), R - 1, HeaderY));
  ASSERT_TRUE(WaitFor([&] { return F.Grid->Cursor() == crHorzSplit; }));
  EXPECT_EQ(F.Grid->GripColumn(), F.Columns[0]);
  EXPECT_EQ(ShownCursor(), Screen->Cursors(crHorzSplit));
  ASSERT_TRUE(PointerTo(F.Window(), 40, HeaderY));
  ASSERT_TRUE(WaitFor([&] { return F.Grid->Cursor() == crDefault; }));

  // The right edge follows the pointer, wherever in the grip the press fell.
  ASSERT_TRUE(Press(F.Window(), R - 1, HeaderY));
  EXPECT_TRUE(F.Grid->GridState().Contains(gsColumnSizing));
  ASSERT_TRUE(PointerTo(F.Window(), R + 30, HeaderY));
  EXPECT_EQ(F.Grid->SizingDelta(), 30);
  EXPECT_EQ(F.Columns[0]->Width(), 80);  // nothing changes while the line moves
  Release();
  ASSERT_TRUE(WaitFor([&] { return F.Columns[0]->Width() == 110; }));
  EXPECT_EQ(Resized, std::vector<int>{0});
  EXPECT_FALSE(F.Grid->GridState().Contains(gsColumnSizing));
  EXPECT_EQ(F.Grid->SizingColumn(), nullptr);
  EXPECT_EQ(F.Columns[1]->Left(), 110);
  EXPECT_FALSE(F.Columns[0]->Sorted());  // a resize is no click
}

TEST(GridColumnSizing, TheWidthNeverGoesBelowMinWidthAndAPlainClickKeepsIt) {
  TEngineForm F(3);
  F.Columns[1]->SetMinWidth(30);
  const int R = F.Columns[1]->Left() + F.Columns[1]->Width();
  ASSERT_TRUE(Drag(F.Window(), Point(R + 2, HeaderY), {Point(R - 100, HeaderY)}));
  ASSERT_TRUE(WaitFor([&] { return F.Columns[1]->Width() == 30; }));
  // A press on the grip without a move leaves the width alone, wherever in the grip it fell.
  const int R2 = F.Columns[1]->Left() + F.Columns[1]->Width();
  SettledClick(F.Window(), R2 - 3, HeaderY);
  Pump();
  EXPECT_EQ(F.Columns[1]->Width(), 30);
}

TEST(GridColumnSizing, TheResizeLinesAreInvertedAndTakenOffAgain) {
  TEngineForm F(2);
  F.Fill(3);
  Settle(F.Window());
  const TCapture Before(F.Window());
  const int R = F.Columns[0]->Left() + F.Columns[0]->Width();
  ASSERT_TRUE(Press(F.Window(), R, HeaderY));
  ASSERT_TRUE(PointerTo(F.Window(), R + 20, HeaderY));
  const TCapture During(F.Window());
  // The moving line: a whole column of inverted pixels at the new edge.
  const int X = R + 20 - 1;
  for (int Y = 20; Y < 150; Y += 13) EXPECT_NE(During.Pixel(X, Y), Before.Pixel(X, Y)) << Y;
  Release();
  ASSERT_TRUE(WaitFor([&] { return F.Columns[0]->Width() == 100; }));
  Settle(F.Window());
  const TCapture After(F.Window());
  // The body shows no line left over: the body pixel rows right of the text are the window colour.
  EXPECT_EQ(After.Pixel(X, 150), Before.Pixel(X, 150));
  EXPECT_EQ(After.Pixel(R - 1, 150), Before.Pixel(R - 1, 150));
}

TEST(GridColumnSizing, DoubleClickOnTheGripBestFitsTheColumn) {
  TEngineForm F(3);
  F.Fill(4);
  const int R = F.Columns[0]->Left() + F.Columns[0]->Width();
  ASSERT_TRUE(DoubleClick(F.Window(), R, HeaderY));
  ASSERT_TRUE(WaitFor([&] { return F.Columns[0]->Width() != 80; }));
  const int Fitted = F.Columns[0]->Width();
  EXPECT_LT(Fitted, 80);
  F.Grid->BestFitColumn(F.Columns[0]);
  EXPECT_EQ(F.Columns[0]->Width(), Fitted);
}

// ---------------------------------------------------------------------------------------------
// Column dragging

TEST(GridColumnDrag, ThreePixelsKeepThePressTheFourthStartsTheDrag) {
  TEngineForm F(3);
  F.Fill(3);
  int Clicks = 0;
  F.Grid->OnHeaderClick = [&](TObject*, int) { ++Clicks; };
  ASSERT_TRUE(Press(F.Window(), 40, HeaderY));
  EXPECT_EQ(F.Grid->PressedColumn(), F.Columns[0]);
  EXPECT_TRUE(F.Grid->GridState().Contains(gsHeaderPressed));
  ASSERT_TRUE(PointerTo(F.Window(), 43, HeaderY + 3));
  EXPECT_FALSE(F.Grid->GridState().Contains(gsColumnDragging));
  ASSERT_TRUE(PointerTo(F.Window(), 44, HeaderY));
  EXPECT_TRUE(F.Grid->GridState().Contains(gsColumnDragging));
  // Into the right half of the last column.
  ASSERT_TRUE(DragBoxTo(F.Grid, 225, HeaderY));
  Release();
  ASSERT_TRUE(WaitFor([&] { return F.Columns[0]->Position() == 2; }));
  EXPECT_EQ(F.Columns[1]->Position(), 0);
  EXPECT_EQ(F.Columns[2]->Position(), 1);
  EXPECT_FALSE(F.Grid->GridState().Contains(gsColumnDragging));
  EXPECT_FALSE(F.Grid->GridState().Contains(gsHeaderPressed));
  // A drag that ends in a drop is no click and sorts nothing.
  Pump();
  EXPECT_EQ(Clicks, 0);
  EXPECT_FALSE(F.Columns[0]->Sorted());
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST(GridColumnDrag, DropPositionsFollowTheTargetsHalves) {
  TEngineForm F(4);
  // Column 0 dragged: the left half of column 2 puts it before 2, the right half after it.
  EXPECT_EQ(F.Grid->GetColumnDropPos(F.Columns[0], 165), 1);
  EXPECT_EQ(F.Grid->GetColumnDropPos(F.Columns[0], 230), 2);
  // Column 3 dragged to the left: the left half of column 0 puts it first, the right half second.
  EXPECT_EQ(F.Grid->GetColumnDropPos(F.Columns[3], 10), 0);
  EXPECT_EQ(F.Grid->GetColumnDropPos(F.Columns[3], 70), 1);
  // Over itself, or past the last column: no move.
  EXPECT_EQ(F.Grid->GetColumnDropPos(F.Columns[1], 120), 1);
  EXPECT_EQ(F.Grid->GetColumnDropPos(F.Columns[1], 1000), 1);
}

TEST(GridColumnDrag, DroppingOutsideTheHeaderHidesOnlyWithCanHideColumn) {
  TEngineForm F(3);
  F.Fill(3);
  int Clicks = 0;
  F.Grid->OnHeaderClick = [&](TObject*, int) { ++Clicks; };
  ASSERT_TRUE(Press(F.Window(), 120, HeaderY));
  ASSERT_TRUE(PointerTo(F.Window(), 126, HeaderY));
  ASSERT_TRUE(F.Grid->GridState().Contains(gsColumnDragging));
  ASSERT_TRUE(DragBoxTo(F.Grid, 120, 120));
  Release();
  Pump();
  EXPECT_TRUE(F.Columns[1]->Visible());
  EXPECT_EQ(F.Columns[1]->Position(), 1);
  EXPECT_EQ(Clicks, 0);  // it was a drag, dropped outside: no click
  EXPECT_FALSE(F.Grid->GridState().Contains(gsColumnDragging));

  // The second drag starts beside the first press, or its press would be a double click.
  F.Grid->SetOptions(F.Grid->Options() + goCanHideColumn);
  const int X = 120 + ApartFromLastPress;
  ASSERT_TRUE(Press(F.Window(), X, HeaderY));
  ASSERT_TRUE(PointerTo(F.Window(), X + 6, HeaderY));
  ASSERT_TRUE(F.Grid->GridState().Contains(gsColumnDragging));
  ASSERT_TRUE(DragBoxTo(F.Grid, X, 120));
  Release();
  ASSERT_TRUE(WaitFor([&] { return !F.Columns[1]->Visible(); }));
  EXPECT_FALSE(F.Grid->GridState().Contains(gsColumnDragging));
}

TEST(GridColumnDrag, LockedFixedColumnsRefuseTheDropAndShowTheNoDragCursor) {
  TEngineForm F(3, {goHeader, goLockFixedCols});
  F.Fill(3);
  F.Grid->SetFixedCols(1);
  Settle(F.Window());
  ASSERT_TRUE(Press(F.Window(), 200, HeaderY));
  ASSERT_TRUE(PointerTo(F.Window(), 190, HeaderY));
  ASSERT_TRUE(F.Grid->GridState().Contains(gsColumnDragging));
  ASSERT_TRUE(DragBoxTo(F.Grid, 10, HeaderY));
  EXPECT_EQ(Screen->Cursor(), crColumnNoDrag);
  EXPECT_EQ(ShownCursor(), Screen->Cursors(crColumnNoDrag));
  // Back over a scrolling column the drop is allowed again.
  ASSERT_TRUE(DragBoxTo(F.Grid, 95, HeaderY));
  EXPECT_EQ(Screen->Cursor(), crDefault);
  ASSERT_TRUE(DragBoxTo(F.Grid, 10, HeaderY));
  Release();
  Pump();
  EXPECT_EQ(F.Columns[0]->Position(), 0);
  EXPECT_EQ(F.Columns[2]->Position(), 2);
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

// ---------------------------------------------------------------------------------------------
// Rows: resizing, moving, the indicator

TEST(GridRowMouse, TheIndicatorGripResizesTheRowNotAboveEightPixels) {
  TEngineForm F(2, {goHeader, goIndicator, goRowResizing});
  F.Fill(5);
  const TRect Cell = F.Grid->GetCellRect(0, 1);
  const int Old = F.Grid->RowHeight(1);
  ASSERT_EQ(F.Grid->GetSizingRow(5, Cell.Bottom - 1), 1);
  ASSERT_EQ(F.Grid->GetSizingRow(5, Cell.Bottom - 3), -1);
  // Over the grip the cursor shows the row split; beside a row the indicator arrow.
  ASSERT_TRUE(realinput::BringToFront(F.Window()));
  ASSERT_TRUE(PointerTo(F.Window(), 5, Cell.Bottom - 1));
  ASSERT_TRUE(WaitFor([&] { return F.Grid->Cursor() == crVertSplit; }));
  EXPECT_EQ(ShownCursor(), Screen->Cursors(crVertSplit));
  ASSERT_TRUE(PointerTo(F.Window(), 5, (Cell.Top + Cell.Bottom) / 2));
  ASSERT_TRUE(WaitFor([&] { return F.Grid->Cursor() == crIndicatorSelect; }));

  ASSERT_TRUE(Drag(F.Window(), Point(5, Cell.Bottom - 1), {Point(5, Cell.Bottom + 11)}));
  ASSERT_TRUE(WaitFor([&] { return F.Grid->RowHeight(1) == Old + 12; }));
  EXPECT_EQ(F.Grid->SizingRow(), -1);

  const TRect Cell2 = F.Grid->GetCellRect(0, 1);
  ASSERT_TRUE(Drag(F.Window(), Point(5, Cell2.Bottom), {Point(5, Cell2.Top - 20)}));
  ASSERT_TRUE(WaitFor([&] { return F.Grid->RowHeight(1) == 8; }));
}

TEST(GridRowMouse, IndicatorClickSelectsTheRowBesideIt) {
  TEngineForm F(2, {goHeader, goIndicator});
  F.Fill(5);
  TEventLog Log;
  Log.AttachSelection(F.Grid);
  const TRect Cell = F.Grid->GetCellRect(1, 3);
  SettledClick(F.Window(), 5, (Cell.Top + Cell.Bottom) / 2);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 3; }));
  EXPECT_EQ(Log.Joined(), "before:0,3 select:0,3");
}

TEST(GridRowMouse, DraggingARowMovesItWhenRowMovingIsOn) {
  TEngineForm F(2, {goHeader, goRowMoving});
  F.Fill(8);
  TEventLog Log;
  F.Grid->OnRowMove = [&](TObject*, int From, int To, bool&) {
    Log.Add("move:" + std::to_string(From) + ">" + std::to_string(To));
  };
  F.Grid->OnAfterRowMove = [&](TObject*, int From, int To) {
    Log.Add("moved:" + std::to_string(From) + ">" + std::to_string(To));
  };
  F.Grid->OnCellClick = [&](TObject*, int C, int R) { Log.Add(TEventLog::Cell("click", C, R)); };
  const TPoint From = F.CellPoint(0, 1);
  const TRect Target = F.Grid->GetCellRect(0, 4);
  ASSERT_TRUE(Press(F.Window(), From.X, From.Y));
  ASSERT_TRUE(PointerTo(F.Window(), From.X, From.Y + 3));
  EXPECT_FALSE(F.Grid->GridState().Contains(gsRowMoving));
  ASSERT_TRUE(PointerTo(F.Window(), From.X, Target.Bottom - 3));  // lower half of row 4
  EXPECT_TRUE(F.Grid->GridState().Contains(gsRowMoving));
  EXPECT_EQ(F.Grid->DropRow(), 5);
  // The red insertion sign runs along the top of row 5.
  const TCapture Sign(F.Window());
  const int SignY = F.Grid->GetCellRect(0, 5).Top - 1;
  EXPECT_EQ(Sign.Pixel(50, SignY), RGB(255, 0, 0));
  EXPECT_EQ(Sign.Pixel(3, SignY), RGB(255, 0, 0));
  Release();
  ASSERT_TRUE(WaitFor([&] { return F.Grid->Cells(0, 4) == L"r1c0"; }));
  EXPECT_EQ(Log.Joined(), "move:1>4 moved:1>4");
  EXPECT_EQ(F.Grid->Cells(0, 1), L"r2c0");
  EXPECT_EQ(F.Grid->SelectedRow(), 4);
  EXPECT_FALSE(F.Grid->GridState().Contains(gsRowMoving));
  Settle(F.Window());
  const TCapture After(F.Window());
  EXPECT_EQ(After.Count(TRect{0, 0, 160, 150}, RGB(255, 0, 0)), 0);
}

// A moved row is dropped above the row under the pointer in that row's upper half, below it in
// its lower half.
TEST(GridRowMouse, TheDropPointSplitsTheRowInItsMiddle) {
  TEngineForm F(2, {goHeader, goRowMoving});
  F.Fill(8);
  const TRect R = F.Grid->GetCellRect(0, 4);
  const int Middle = (R.Top + R.Bottom) / 2;
  const struct {
    int Y, Drop;
  } Cases[] = {{R.Top + 1, 4}, {Middle - 1, 4}, {Middle + 1, 5}, {R.Bottom - 1, 5}};
  for (const auto& C : Cases) EXPECT_EQ(F.Grid->GetRowDropIndex(C.Y), C.Drop) << C.Y - R.Top;
}

TEST(GridRowMouse, ARefusedOrDisabledRowMoveLeavesTheRows) {
  TEngineForm F(2, {goHeader, goRowMoving});
  F.Fill(6);
  F.Grid->OnRowMove = [](TObject*, int, int, bool& Accept) { Accept = false; };
  const TPoint From = F.CellPoint(0, 1);
  const TPoint To = F.CellPoint(0, 4);
  ASSERT_TRUE(Drag(F.Window(), From, {Point(From.X, From.Y + 8), To}));
  Settle(F.Window());
  EXPECT_EQ(F.Grid->Cells(0, 1), L"r1c0");
  // The sign is gone although nothing moved.
  EXPECT_EQ(TCapture(F.Window()).Count(TRect{0, 0, 160, 150}, RGB(255, 0, 0)), 0);

  F.Grid->SetOptions({goHeader});
  F.Grid->OnRowMove = nullptr;
  ASSERT_TRUE(Drag(F.Window(), From, {Point(From.X, From.Y + 8), To}));
  Pump();
  EXPECT_EQ(F.Grid->Cells(0, 1), L"r1c0");
  EXPECT_FALSE(F.Grid->GridState().Contains(gsRowMoving));
}

// ---------------------------------------------------------------------------------------------
// Body clicks

// The pointer coming onto the grid fires OnMouseEnter, going off it OnMouseLeave. (Under Wine the
// first move in may be reported late, or as a leave and an enter again: the last event counts.)
TEST(GridBodyMouse, ThePointerEnteringAndLeavingFiresItsEvents) {
  TEngineForm F(2);
  F.Fill(3);
  int Enters = 0, Leaves = 0;
  bool Inside = false;
  F.Grid->OnMouseEnter = [&](TObject*) { ++Enters, Inside = true; };
  F.Grid->OnMouseLeave = [&](TObject*) { ++Leaves, Inside = false; };
  ASSERT_TRUE(PointerTo(F.Form->Handle(), 2, 2));
  // Moves over the grid until it knows the pointer is there.
  for (int Try = 0; Try < 5 && !Inside; ++Try) {
    ASSERT_TRUE(PointerTo(F.Window(), 60 + 10 * Try, 60));
    WaitFor([&] { return Inside; }, 2000);
  }
  ASSERT_TRUE(Inside);
  const int Before = Leaves;
  ASSERT_TRUE(PointerTo(F.Form->Handle(), 2, 2));
  ASSERT_TRUE(WaitFor([&] { return !Inside; }, 10000));
  EXPECT_GT(Leaves, Before);
}

TEST(GridBodyMouse, ACellClickNeedsTheReleaseOnThePressedCell) {
  TEngineForm F(3);
  F.Fill(5);
  TEventLog Log;
  F.Grid->OnCellClick = [&](TObject*, int C, int R) { Log.Add(TEventLog::Cell("click", C, R)); };
  const TPoint A = F.CellPoint(1, 1);
  SettledClick(F.Window(), A.X, A.Y);
  ASSERT_TRUE(WaitFor([&] { return !Log.Items.empty(); }));
  EXPECT_EQ(Log.Joined(), "click:1,1");
  Log.Clear();
  const TPoint B = F.CellPoint(1, 3);
  ASSERT_TRUE(Drag(F.Window(), A, {B}));
  Pump();
  EXPECT_EQ(Log.Joined(), "");
  // A release whose press went elsewhere: no click, even over the cell pressed last.
  PostMessageW(F.Window(), WM_LBUTTONUP, 0, MAKELPARAM(A.X, A.Y));
  Pump();
  EXPECT_EQ(Log.Joined(), "");
}

TEST(GridBodyMouse, DoubleClicksReachTheCellAndTheHeader) {
  TEngineForm F(3);
  F.Fill(5);
  TEventLog Log;
  F.Grid->OnCellDblClick = [&](TObject*, int C, int R) { Log.Add(TEventLog::Cell("dbl", C, R)); };
  F.Grid->OnHeaderDblClick = [&](TObject*, int C) { Log.Add("hdbl:" + std::to_string(C)); };
  const TPoint P = F.CellPoint(2, 3);
  ASSERT_TRUE(DoubleClick(F.Window(), P.X, P.Y));
  ASSERT_TRUE(WaitFor([&] { return Log.Items.size() == 1; }));
  ASSERT_TRUE(DoubleClick(F.Window(), 120, HeaderY));
  ASSERT_TRUE(WaitFor([&] { return Log.Items.size() == 2; }));
  EXPECT_EQ(Log.Joined(), "dbl:2,3 hdbl:1");
}

// The first press of a double click on the partly shown bottom row scrolls it into view: the
// second press, the double click and both clicks still name that row, and its editor opens.
TEST(GridBodyMouse, ADoubleClickOnThePartlyShownBottomRowNamesThatRow) {
  TEditingForm F(3, {goHeader, goGrid}, 30);
  TNxGrid* G = F.Grid;
  TEventLog Log;
  G->OnCellClick = [&](TObject*, int C, int R) { Log.Add(TEventLog::Cell("click", C, R)); };
  G->OnCellDblClick = [&](TObject*, int C, int R) { Log.Add(TEventLog::Cell("dbl", C, R)); };
  const int Row = G->GetLastFullyVisibleRow() + 1;
  const TRect Cell = G->GetCellRect(1, Row);
  ASSERT_LT(Cell.Top + 4, G->GetBodyRect().Bottom);
  ASSERT_TRUE(DoubleClick(F.Window(), (Cell.Left + Cell.Right) / 2, Cell.Top + 4));
  ASSERT_TRUE(WaitFor([&] { return Log.Items.size() == 3; }));
  const std::string Click = TEventLog::Cell("click", 1, Row);
  EXPECT_EQ(Log.Joined(), Click + " " + TEventLog::Cell("dbl", 1, Row) + " " + Click);
  EXPECT_EQ(G->SelectedRow(), Row);
  EXPECT_EQ(G->EditRow(), Row);
}

TEST(GridBodyMouse, APressRunsOnMouseDownThenCommitsTheEditorThenSelects) {
  TEngineForm F(3, {goHeader}, 300, 200, 80, true);
  F.Fill(5);
  // The click opens the cell's editor; typing goes on at the end of its text.
  ASSERT_TRUE(F.FocusByClick(0, 0));
  ASSERT_TRUE(WaitFor([&] { return F.Grid->GridState().Contains(gsEditing); }));
  TypeText("z");
  TEventLog Log;
  Log.AttachSelection(F.Grid);
  F.Grid->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) {
    Log.Add(std::string("down") + (F.Grid->GridState().Contains(gsEditing) ? "(editing)" : ""));
  };
  F.Grid->OnAfterEdit = [&](TObject*, int C, int R, const WideString&) { Log.Add(TEventLog::Cell("edited", C, R)); };
  const TPoint P = F.CellPoint(1, 2);
  SettledClick(F.Window(), P.X, P.Y);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 2; }));
  EXPECT_EQ(Log.Joined(), "down(editing) edited:0,0 before:1,2 deselect:0,0 select:1,2");
  EXPECT_EQ(F.Grid->Cells(0, 0), L"r0c0z");
}

TEST(GridBodyMouse, HitTestsAnswerNoneOutsideTheirAreas) {
  TEngineForm F(2, {goHeader, goIndicator, goFooter});
  F.Fill(3);
  EXPECT_EQ(F.Grid->GetAreaAtPos(Point(40, HeaderY)), gaHeader);
  EXPECT_EQ(F.Grid->GetAreaAtPos(Point(5, 40)), gaIndicator);
  EXPECT_EQ(F.Grid->GetAreaAtPos(Point(40, 40)), gaBody);
  EXPECT_EQ(F.Grid->GetAreaAtPos(Point(40, F.Grid->ClientHeight() - 5)), gaFooter);
  EXPECT_EQ(F.Grid->GetAreaAtPos(Point(F.Grid->ClientWidth() - 5, HeaderY)), gaNone);
  EXPECT_EQ(F.Grid->GetCellAtPos(Point(40, 150)), Point(0, -1));
  EXPECT_EQ(F.Grid->GetRowAtPos(5, 40), -1);
  EXPECT_EQ(F.Grid->GetRowDropIndex(HeaderY), -1);
  EXPECT_EQ(F.Grid->GetColumnDropPos(nullptr, 40), -1);
  EXPECT_EQ(F.Grid->GetSizingRow(40, 40), -1);
}
