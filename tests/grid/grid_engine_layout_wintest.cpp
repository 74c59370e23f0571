// The grid engine's settings, layout and invalidation: defaults and setters, the rectangles of
// header, input line, body, footer and indicator, row tops and cell rectangles, grid-line widths,
// the scroll bars, and exactly which part of the window each refresh marks for repainting.
#include <gtest/gtest.h>

#include "support/EngineTestHelpers.h"

using namespace enginetest;

TEST(EngineSettings, DefaultsAndIgnoredValues) {
  TForm* Form = new TForm(nullptr);
  TNxGrid* G = new TNxGrid(Form);
  EXPECT_EQ(G->Width(), 250);
  EXPECT_EQ(G->Height(), 150);
  EXPECT_TRUE(G->TabStop());
  EXPECT_EQ(G->AppearanceOptions(), (TAppearanceOptions{aoHideSelection, aoHighlightSlideCells}));
  EXPECT_EQ(G->Options(), TGridOptions{goHeader});
  EXPECT_EQ(G->SlidesOptions(), (TSlideOptions{soFrame, soHideSelection}));
  EXPECT_EQ(G->HeaderSize(), 18);
  EXPECT_EQ(G->FooterSize(), 18);
  EXPECT_EQ(G->InputSize(), 16);
  EXPECT_EQ(G->SlideSize(), 80);
  EXPECT_EQ(G->RowSize(), 16);
  EXPECT_EQ(G->GridLinesColor(), clBtnFace);
  EXPECT_EQ(G->SelectionColor(), clHighlight);
  EXPECT_EQ(G->SelectionMoveDirection(), mdDown);
  EXPECT_EQ(G->InputEnterMode(), imEditing);
  EXPECT_TRUE(G->TabLeaveControl());
  EXPECT_TRUE(G->HideScrollBar());
  EXPECT_EQ(G->SelectedColumn(), 0);
  EXPECT_EQ(G->SelectedRow(), -1);
  EXPECT_EQ(G->EditCol(), -1);
  EXPECT_EQ(G->EditRow(), -1);
  EXPECT_EQ(G->InputColumn(), -1);
  EXPECT_EQ(G->AnchorRow(), -1);
  EXPECT_TRUE(G->GridState().Empty());
  EXPECT_EQ(G->InplaceEditor(), nullptr);

  // Sizes that cannot be laid out are ignored.
  G->SetRowSize(0);
  G->SetSlideSize(-3);
  G->SetHeaderSize(-1);
  G->SetFooterSize(-1);
  G->SetInputSize(-1);
  EXPECT_EQ(G->RowSize(), 16);
  EXPECT_EQ(G->SlideSize(), 80);
  EXPECT_EQ(G->HeaderSize(), 18);
  EXPECT_EQ(G->FooterSize(), 18);
  EXPECT_EQ(G->InputSize(), 16);
  G->SetHeaderSize(0);
  EXPECT_EQ(G->HeaderSize(), 0);
  delete Form;
}

TEST(EngineSettings, BorderStyleGivesTheStaticEdgeAndRecreatesTheWindow) {
  TEngineForm F(2);
  EXPECT_EQ(GetWindowLongW(F.Window(), GWL_EXSTYLE) & WS_EX_STATICEDGE, 0);
  F.Grid->SetBorderStyle(bsSingle);
  EXPECT_NE(GetWindowLongW(F.Grid->Handle(), GWL_EXSTYLE) & WS_EX_STATICEDGE, 0);
  // The window class redraws nothing by itself on resizing.
  EXPECT_EQ(GetClassLongW(F.Grid->Handle(), GCL_STYLE) & (CS_HREDRAW | CS_VREDRAW), 0u);
}

TEST(EngineLayout, RectanglesOfEveryPart) {
  TEngineForm F(3, {goHeader, goInput, goFooter, goIndicator, goGrid});
  TNxGrid* G = F.Grid;
  ASSERT_EQ(G->ClientWidth(), 300);
  ASSERT_EQ(G->ClientHeight(), 200);
  EXPECT_EQ(G->GetIndicatorRect(), Rect(0, 0, 12, 200));
  EXPECT_EQ(G->GetHeaderRect(), Rect(12, 0, 252, 18));
  // Input line: InputSize + 6 + the horizontal grid line.
  EXPECT_EQ(G->GetInputRect(), Rect(12, 18, 252, 41));
  EXPECT_EQ(G->GetInputCellRect(F.Columns[1]), Rect(92, 18, 172, 34));
  // Footer: FooterSize + 4 + the grid line, at the bottom.
  EXPECT_EQ(G->GetFooterRect(), Rect(12, 177, 252, 200));
  EXPECT_EQ(G->GetBodyRect(), Rect(12, 41, 252, 177));
  F.Fill(3);
  EXPECT_EQ(G->GetRowTop(0), 41);
  EXPECT_EQ(G->GetRowTop(1), 41 + 16 + 1);
  EXPECT_EQ(G->GetCellRect(1, 1), Rect(92, 58, 172, 74));
  EXPECT_EQ(G->GetRowRect(1), Rect(0, 58, 252, 75));
  // Rows past the last one have the default height.
  EXPECT_EQ(G->GetRowTop(5), 41 + 5 * 17);

  // Without the indicator everything starts at the left edge; the switch is announced first.
  int Notices = 0;
  bool IndicatorWhenNoticed = false;
  G->OnIndicatorChange = [&](TObject*) {
    ++Notices;
    IndicatorWhenNoticed = G->Options().Contains(goIndicator);
  };
  G->SetOptions({goHeader, goInput, goFooter, goGrid});
  EXPECT_EQ(Notices, 1);
  EXPECT_TRUE(IndicatorWhenNoticed);
  EXPECT_EQ(G->GetHeaderRect().Left, 0);
  EXPECT_EQ(G->GetBodyRect().Left, 0);
  EXPECT_EQ(G->GetFooterRect().Left, 0);
  EXPECT_EQ(G->GetCellRect(0, 0).Left, 0);
  G->SetOptions({goHeader, goGrid});
  EXPECT_EQ(Notices, 1);  // only the indicator switch is announced
  EXPECT_EQ(G->GetBodyRect(), Rect(0, 18, 240, 200));
}

TEST(EngineLayout, GridLineWidthsFollowStyleAndOptions) {
  TEngineForm F(2, {goGrid});
  TNxGrid* G = F.Grid;
  struct Case {
    TGridLinesStyle Style;
    bool ThreeD;
    int Left, Top, Right, Bottom;
  };
  const Case Cases[] = {
      {lsNormal, false, 0, 0, 1, 1},         {lsNormal, true, 1, 1, 1, 1},
      {lsHorizontalOnly, false, 0, 0, 0, 1}, {lsHorizontalOnly, true, 0, 1, 0, 1},
      {lsActiveHorzOnly, true, 0, 1, 0, 1},  {lsVerticalOnly, false, 0, 0, 1, 0},
      {lsVerticalOnly, true, 1, 0, 1, 0},    {lsFramed, false, 0, 0, 1, 1},
      {lsActiveRows, true, 1, 1, 1, 1},
  };
  for (const Case& C : Cases) {
    G->SetGridLinesStyle(C.Style);
    G->SetAppearanceOptions(C.ThreeD ? TAppearanceOptions{ao3DGridLines} : TAppearanceOptions{});
    SCOPED_TRACE(static_cast<int>(C.Style) * 2 + (C.ThreeD ? 1 : 0));
    EXPECT_EQ(G->LeftLine(), C.Left);
    EXPECT_EQ(G->TopLine(), C.Top);
    EXPECT_EQ(G->RightLine(), C.Right);
    EXPECT_EQ(G->BottomLine(), C.Bottom);
    EXPECT_EQ(G->RowGap(), C.Top + C.Bottom);
  }
  // Without goGrid there are no lines at all.
  G->SetOptions({});
  EXPECT_EQ(G->LeftLine() + G->TopLine() + G->RightLine() + G->BottomLine(), 0);
  // The top highlight line lowers the first row.
  G->SetOptions({goGrid});
  G->SetGridLinesStyle(lsNormal);
  G->SetAppearanceOptions({ao3DGridLines});
  F.Fill(2);
  EXPECT_EQ(G->GetRowTop(0), 1);
  EXPECT_EQ(G->GetRowTop(1), 1 + 16 + 2);
}

TEST(EngineLayout, HiddenRowsTakeNoSpaceAndAreSkippedByScrolling) {
  TEngineForm F(2, {});
  TNxGrid* G = F.Grid;
  F.Fill(40);
  G->SetRowVisible(2, false);
  G->SetRowVisible(3, false);
  EXPECT_EQ(G->GetRowTop(4), G->GetRowTop(2));
  EXPECT_EQ(G->GetRowTop(4), 2 * 16);
  EXPECT_EQ(G->CountShownRows(0, 10), 8);
  EXPECT_EQ(G->VertScrollBar()->Max(), 38);
  // One line down from the top lands on row 1, the next on row 4.
  SendMessageW(F.Window(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(G->FirstVisibleRow(), 1);
  SendMessageW(F.Window(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(G->FirstVisibleRow(), 4);
  EXPECT_EQ(G->GetRowTop(4), 0);
  SendMessageW(F.Window(), WM_VSCROLL, SB_LINEUP, 0);
  EXPECT_EQ(G->FirstVisibleRow(), 1);
}

// A line step moves the content by one row that can be seen: rows of no height (and hidden rows
// among them) pass with the row before them, down and back up.
TEST(EngineScrolling, LineStepsPassOverRowsOfNoHeight) {
  TEngineForm F(1, {});
  TNxGrid* G = F.Grid;
  F.Fill(40);
  for (int R : {1, 2, 4, 5, 8}) G->SetRowHeight(R, 0);
  G->SetRowVisible(3, false);
  G->SetRowVisible(9, false);
  Settle(F.Window());
  const int H = G->RowSize();
  const int W = G->ClientWidth(), Bottom = G->ClientHeight();
  TCapture Shown(F.Window());
  // Each step down shows the content moved up by one row; each step up, moved down by one row.
  for (const WPARAM Step : {SB_LINEDOWN, SB_LINEDOWN, SB_LINEDOWN, SB_LINEUP, SB_LINEUP, SB_LINEUP}) {
    SendMessageW(F.Window(), WM_VSCROLL, Step, 0);
    Settle(F.Window());
    TCapture Now(F.Window());
    const bool Down = Step == SB_LINEDOWN;
    EXPECT_TRUE(TCapture::SamePixels(Now, Rect(0, Down ? 0 : H, W, Down ? Bottom - H : Bottom), Shown,
                                     Rect(0, Down ? H : 0, W, Down ? Bottom : Bottom - H)))
        << (Down ? "down" : "up") << ", first row " << G->FirstVisibleRow();
    Shown = Now;
  }
  EXPECT_EQ(G->VertScrollBar()->Position(), 0);
}

TEST(EngineScrolling, VerticalRangeFollowsTheShownRows) {
  TEngineForm F(2, {goHeader});
  TNxGrid* G = F.Grid;
  F.Fill(1);
  EXPECT_EQ(G->VertScrollBar()->Max(), 0);  // one row: nothing to scroll
  F.Fill(30);
  const int Page = G->GetRowsPerPage();
  EXPECT_EQ(Page, (200 - 18) / 16);
  EXPECT_EQ(G->VertScrollBar()->Max(), 31);
  EXPECT_EQ(G->VertScrollBar()->PageSize(), Page + 1);
  // ScrollToRow brings a row far below fully into view, and one above to the top.
  G->ScrollToRow(25);
  EXPECT_EQ(G->GetLastFullyVisibleRow(), 25);
  EXPECT_LE(G->GetRowTop(25) + 16, G->GetBodyRect().Bottom);
  G->ScrollToRow(3);
  EXPECT_EQ(G->FirstVisibleRow(), 3);
  EXPECT_EQ(G->VertScrollBar()->Position(), 3);
  // Asked for while the grid is updating (its bar not yet counting the rows), the row shows when
  // the update ends.
  G->ClearRows();
  G->BeginUpdate();
  G->AddRow(40);
  G->ScrollToRow(30);
  G->EndUpdate();
  EXPECT_EQ(G->GetLastFullyVisibleRow(), 30);
  // The hidden-bar switch keeps the bar (disabled) while there is nothing to scroll.
  G->ClearRows();
  G->SetHideScrollBar(false);
  Settle(F.Window());
  EXPECT_NE(GetWindowLongW(F.Window(), GWL_STYLE) & WS_VSCROLL, 0);
}

// Inside an update lock a child row goes in between a row taller than the body and the view at
// the last page: the last page now starts at the child, and so does the view.
TEST(EngineScrolling, AChildRowAddedInsideAnUpdateJoinsTheLastPage) {
  TEngineForm F(2, {goHeader, goGrid}, 300, 200);
  F.Fill(20);
  TNxGrid* G = F.Grid;
  G->SetRowHeight(14, 250);
  G->VertScrollBar()->Last();
  ASSERT_EQ(G->FirstVisibleRow(), 15);
  G->BeginUpdate();
  G->AddChildRow(14);
  EXPECT_EQ(G->FirstVisibleRow(), 15);
  G->EndUpdate();
  EXPECT_EQ(G->FirstVisibleRow(), 15);
}

TEST(EngineScrolling, HorizontalBarAndColumnsIntoView) {
  TEngineForm F(3, {goHeader});
  TNxGrid* G = F.Grid;
  F.Fill(3);
  // Columns narrower than the client: no bar, the body ends with the columns.
  EXPECT_FALSE(G->HorzScrollBar()->Visible());
  EXPECT_EQ(G->GetBodyRect().Right, 240);
  EXPECT_EQ(G->GetHorzScrollMax(), 0);
  for (int I = 0; I < 3; ++I) F.Columns.push_back(G->Columns()->AddColumn<TNxTextColumn>(F.Form));
  for (int I = 3; I < 6; ++I) F.Columns[I]->SetWidth(80);
  Settle(F.Window());
  EXPECT_TRUE(G->HorzScrollBar()->Visible());
  const int CW = G->ClientWidth();
  EXPECT_EQ(G->GetHorzScrollMax(), 480 - CW);
  EXPECT_EQ(G->GetBodyRect().Right, CW);
  G->ScrollColumnIntoView(F.Columns[5]);
  EXPECT_EQ(G->HorzScrollBar()->Position(), 480 - CW);
  EXPECT_EQ(G->GetCellRect(5, 0).Right, CW);
  G->ScrollColumnIntoView(F.Columns[1]);
  EXPECT_EQ(G->GetCellRect(1, 0).Left, 0);
  // Fixed columns stay where they are while the others scroll under them.
  G->SetFixedCols(1);
  G->HorzScrollBar()->SetPosition(100);
  EXPECT_EQ(G->GetCellRect(0, 0).Left, 0);
  EXPECT_EQ(G->GetCellRect(1, 0).Left, 80 - 100);
  EXPECT_EQ(G->GetScrollClipRect().Left, 80);
  G->ScrollColumnIntoView(F.Columns[1]);
  EXPECT_EQ(G->GetCellRect(1, 0).Left, 80);  // not hidden under the fixed column
}

TEST(EngineInvalidation, RefreshesMarkTheSmallestRectangle) {
  TEngineForm F(3, {goHeader, goGrid});
  TNxGrid* G = F.Grid;
  F.Fill(5);
  const HWND W = F.Window();

  ForgetRepaint(W);
  G->RefreshCell(1, 2);
  TRect Cell = G->GetCellRect(1, 2);
  EXPECT_EQ(UpdateBox(W), Rect(Cell.Left, Cell.Top, Cell.Right + 1, Cell.Bottom + 1));

  ForgetRepaint(W);
  G->RefreshRow(3, true);
  const TRect Row = G->GetRowRect(3);
  EXPECT_EQ(UpdateBox(W), Row);
  EXPECT_TRUE(MarkedForRepaint(W, Row.Left, Row.Top));
  EXPECT_FALSE(MarkedForRepaint(W, 40, Row.Top + 5));  // the interior stays valid

  // Parts that are switched off are not refreshed; others are.
  ForgetRepaint(W);
  G->RefreshPart(gaFooter);
  G->RefreshPart(gaInput);
  G->RefreshPart(gaIndicator);
  EXPECT_TRUE(UpdateBox(W).IsEmpty());
  G->RefreshPart(gaHeader);
  EXPECT_EQ(UpdateBox(W), G->GetHeaderRect());

  // A column part covers the column's span of the area.
  ForgetRepaint(W);
  G->RefreshColumnPart(F.Columns[2], gaBody);
  EXPECT_EQ(UpdateBox(W), Rect(160, G->GetBodyRect().Top, 240, 200));
  ForgetRepaint(W);
  G->BeginUpdate();
  G->RefreshColumnPart(F.Columns[2], gaBody);
  EXPECT_TRUE(UpdateBox(W).IsEmpty());  // skipped while updating
  G->EndUpdate();
  EXPECT_EQ(G->UpdateCount(), 0);
  EXPECT_FALSE(UpdateBox(W).IsEmpty());

  // EndUpdate without BeginUpdate keeps the count at 0 and repaints the body.
  ForgetRepaint(W);
  G->EndUpdate();
  EXPECT_EQ(G->UpdateCount(), 0);
  EXPECT_TRUE(MarkedForRepaint(W, 50, G->GetBodyRect().Top + 5));

  // Rows out of view mark nothing.
  ForgetRepaint(W);
  G->RefreshRow(-1);
  G->RefreshRow(99);
  G->RefreshCell(7, 1);
  EXPECT_TRUE(UpdateBox(W).IsEmpty());
}

TEST(EngineInvalidation, SelectionRepaintsOnlyTheCellsAndRowsItTouches) {
  TEngineForm F(3, {goHeader, goIndicator});
  TNxGrid* G = F.Grid;
  F.Fill(6);
  const HWND W = F.Window();
  G->SelectCell(0, 1);
  ForgetRepaint(W);
  G->SelectCell(2, 4);
  // The old and the new cell and the two indicator cells; nothing of the rows between.
  EXPECT_TRUE(MarkedForRepaint(W, F.CellPoint(0, 1).X, F.CellPoint(0, 1).Y));
  EXPECT_TRUE(MarkedForRepaint(W, F.CellPoint(2, 4).X, F.CellPoint(2, 4).Y));
  EXPECT_TRUE(MarkedForRepaint(W, 5, F.CellPoint(0, 4).Y));
  EXPECT_TRUE(MarkedForRepaint(W, 5, F.CellPoint(0, 1).Y));
  EXPECT_FALSE(MarkedForRepaint(W, F.CellPoint(1, 1).X, F.CellPoint(1, 1).Y));
  EXPECT_FALSE(MarkedForRepaint(W, F.CellPoint(0, 2).X, F.CellPoint(0, 2).Y));
  EXPECT_FALSE(MarkedForRepaint(W, 5, F.CellPoint(0, 3).Y));

  // Whole rows with goSelectFullRow; BeginUpdate holds those repaints back.
  G->SetOptions({goHeader, goIndicator, goSelectFullRow});
  G->SelectCell(0, 1);
  ForgetRepaint(W);
  G->SelectCell(0, 3);
  EXPECT_TRUE(MarkedForRepaint(W, F.CellPoint(2, 1).X, F.CellPoint(2, 1).Y));
  EXPECT_TRUE(MarkedForRepaint(W, F.CellPoint(2, 3).X, F.CellPoint(2, 3).Y));
  EXPECT_FALSE(MarkedForRepaint(W, F.CellPoint(2, 2).X, F.CellPoint(2, 2).Y));
}

TEST(EngineScrolling, ResizingAColumnShowsTheSamePixelsAsAFullRepaint) {
  TEngineForm F(3, {goHeader, goGrid});
  TNxGrid* G = F.Grid;
  G->SetGridLinesColor(clRed);
  F.Fill(6);
  G->SelectCell(2, 2);
  int Resized = -1;
  G->OnColumnResize = [&](TObject*, int C) { Resized = C; };
  for (int Delta : {25, -40}) {
    ForgetRepaint(F.Window());
    F.Columns[0]->SetWidth(F.Columns[0]->Width() + Delta);
    EXPECT_EQ(Resized, 0);
    // The columns right of it were moved, not marked for repainting.
    EXPECT_FALSE(MarkedForRepaint(F.Window(), F.CellPoint(2, 4).X, F.CellPoint(2, 4).Y));
    EXPECT_TRUE(MarkedForRepaint(F.Window(), F.CellPoint(0, 4).X, F.CellPoint(0, 4).Y));
    Settle(F.Window());
    TCapture Scrolled(F.Window());
    G->InvalidateGrid();
    Settle(F.Window());
    TCapture Full(F.Window());
    const TRect All = Rect(0, 0, Full.Width(), Full.Height());
    EXPECT_TRUE(TCapture::SamePixels(Scrolled, All, Full, All)) << "delta " << Delta;
  }
}

// A body that holds all rows but one: a row taller than the body, then four short ones that fill
// the last page. There is one position to scroll to: the vertical bar shows, and the view goes a
// line down and back, to the bottom and to the top, the bar following.
TEST(EngineScrolling, ABodyThatHoldsAllRowsButOneShowsTheBarAndScrollsByALine) {
  TEngineForm F(4, {goHeader, goIndicator}, 220, 132, 50);
  TNxGrid* G = F.Grid;
  F.Fill(5);
  const int Heights[] = {150, 16, 16, 30, 16};
  for (int R = 0; R < 5; ++R) G->SetRowHeight(R, Heights[R]);
  Settle(F.Window());
  EXPECT_TRUE(G->VertScrollBar()->Visible());
  EXPECT_NE(GetWindowLongW(F.Window(), GWL_STYLE) & WS_VSCROLL, 0);
  for (const WPARAM Code : {SB_LINEDOWN, SB_LINEUP, SB_BOTTOM, SB_TOP}) {
    const int Want = Code == SB_LINEDOWN || Code == SB_BOTTOM ? 1 : 0;
    SendMessageW(F.Window(), WM_VSCROLL, Code, 0);
    EXPECT_EQ(G->FirstVisibleRow(), Want) << Code;
    EXPECT_EQ(G->VertScrollBar()->Position(), Want) << Code;
    Settle(F.Window());
  }
}
