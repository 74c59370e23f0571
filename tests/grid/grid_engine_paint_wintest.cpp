// The grid engine's painting, read back as pixels: grid lines in every style, the colours of the
// selection in its states, sorted columns, unfilled cells, the indicator column, the chrome
// (header, input line, footer), the caption of an empty grid and the slides style.
#include <gtest/gtest.h>

#include "grid/NxSharedCommon.h"
#include "support/EngineTestHelpers.h"
#include "support/FreedMemoryGuard.h"

using namespace enginetest;

namespace {

const COLORREF Red = RGB(255, 0, 0);
const COLORREF Black = RGB(0, 0, 0);

COLORREF Rgb(TColor C) { return ColorToRGB(C); }

// A grid of two columns and three rows without header, grid lines in red.
struct TLinesForm : TEngineForm {
  TLinesForm() : TEngineForm(2, {goGrid}) {
    Grid->SetGridLinesColor(clRed);
    Fill(3);
  }
  TCapture Capture() {
    Grid->InvalidateGrid();
    Settle(Window());
    return TCapture(Window());
  }
};

}  // namespace

TEST(EnginePaint, GridLinesInEveryStyle) {
  TLinesForm F;
  TNxGrid* G = F.Grid;
  struct Case {
    TGridLinesStyle Style;
    bool Horizontal, Vertical, BelowLastRow;
  };
  const Case Cases[] = {
      {lsNormal, true, true, true},           {lsActiveRows, true, true, false},
      {lsActiveHorzOnly, true, false, false}, {lsHorizontalOnly, true, false, true},
      {lsVerticalOnly, false, true, true},    {lsFramed, true, true, true},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(static_cast<int>(C.Style));
    G->SetGridLinesStyle(C.Style);
    TCapture P = F.Capture();
    const TRect R0 = G->GetCellRect(0, 0);
    const TRect R2 = G->GetCellRect(0, 2);
    // The line under the first row and the line at the first column's right edge.
    EXPECT_EQ(P.Pixel(R0.Left + 30, R0.Bottom) == Red, C.Horizontal);
    EXPECT_EQ(P.Pixel(R0.Right - 1, R0.Top + 5) == Red, C.Vertical);
    // Below the last row the lines go on to the bottom unless only active rows show them.
    const TRect Below = Rect(0, R2.Bottom + 2, G->GetBodyRect().Right, G->ClientHeight());
    EXPECT_EQ(P.Count(Below, Red) > 0, C.BelowLastRow);
    if (C.Vertical && C.BelowLastRow) {
      EXPECT_EQ(P.Pixel(R0.Right - 1, R2.Bottom + 20), Red);
    }
    if (C.Style == lsFramed) {
      // The frame: the last row's bottom line and the last column's right line are black.
      EXPECT_EQ(P.Pixel(R2.Left + 30, R2.Bottom), Black);
      const TRect Last = G->GetCellRect(1, 1);
      EXPECT_EQ(P.Pixel(Last.Right - 1, Last.Top + 5), Black);
      EXPECT_EQ(P.Pixel(R0.Left + 30, R0.Bottom), Red);
    }
  }
  // 3D lines: a highlight line above each row and down each cell's left edge.
  G->SetGridLinesStyle(lsNormal);
  G->SetAppearanceOptions({ao3DGridLines});
  TCapture P = F.Capture();
  const TRect R1 = G->GetCellRect(1, 1);
  EXPECT_EQ(P.Pixel(R1.Left + 30, R1.Top - 1), Rgb(clBtnHighlight));
  EXPECT_EQ(P.Pixel(R1.Left, R1.Top + 5), Rgb(clBtnHighlight));
  // Without goGrid no line at all.
  G->SetOptions({});
  TCapture N = F.Capture();
  EXPECT_EQ(N.Count(Rect(0, 0, N.Width(), N.Height()), Red), 0);
}

TEST(EnginePaint, SelectionColoursAndTheFocusFrame) {
  TEngineForm F(3, {goHeader});
  F.Fill(4);
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(F.FocusByClick(1, 2));
  Settle(F.Window());
  const TRect Cell = G->GetCellRect(1, 2);
  TCapture P(F.Window());
  P.MaybeSave("engine_selected_cell");
  EXPECT_EQ(P.Pixel(Cell.Right - 6, Cell.Top + 8), Rgb(clHighlight));
  EXPECT_GT(P.Count(Cell, Rgb(clHighlightText)), 5);
  // The dotted focus frame: its corner pixels differ from the highlight, alternately.
  int FramePixels = 0;
  for (int X = Cell.Left; X < Cell.Right; ++X)
    if (P.Pixel(X, Cell.Top) != Rgb(clHighlight)) ++FramePixels;
  EXPECT_GT(FramePixels, Cell.Width() / 3);
  EXPECT_LT(FramePixels, Cell.Width());
  // Its neighbours keep the column colour.
  EXPECT_EQ(P.Pixel(G->GetCellRect(0, 2).Right - 6, Cell.Top + 8), Rgb(clWindow));
  EXPECT_EQ(P.Pixel(Cell.Right - 6, G->GetCellRect(1, 1).Top + 8), Rgb(clWindow));
  // aoHideFocus leaves the frame out; aoBoldTextSelection writes the selected text in bold.
  const TRect Inside = Rect(Cell.Left + 1, Cell.Top + 1, Cell.Right - 1, Cell.Bottom - 1);
  const int PlainText = P.Count(Inside, Rgb(clHighlightText));
  G->SetAppearanceOptions(G->AppearanceOptions() + aoHideFocus + aoBoldTextSelection);
  G->InvalidateGrid();
  Settle(F.Window());
  TCapture H(F.Window());
  EXPECT_EQ(H.CountOther(Rect(Cell.Left, Cell.Top, Cell.Right, Cell.Top + 1), Rgb(clHighlight)), 0);
  EXPECT_GT(H.Count(Inside, Rgb(clHighlightText)), PlainText);

  // The alpha-blended selection: a quarter of the highlight over the cell colour, framed solid.
  G->SetAppearanceOptions({aoHideSelection, aoAlphaBlendedSelection});
  G->InvalidateGrid();
  Settle(F.Window());
  TCapture B(F.Window());
  const COLORREF Blend = Rgb(TGraphicsProvider::MixColors(clWindow, clHighlight, 0.25));
  EXPECT_EQ(B.Pixel(Cell.Right - 6, Cell.Top + 8), Blend);
  EXPECT_EQ(B.Pixel(Cell.Left + 3, Cell.Top), Rgb(clHighlight));

  // Full rows with the selected cell indicated: the row is highlighted but for that cell.
  G->SetAppearanceOptions({aoHideSelection, aoIndicateSelectedCell});
  G->SetOptions({goHeader, goSelectFullRow});
  G->SelectCell(1, 2);
  Settle(F.Window());
  TCapture R(F.Window());
  R.MaybeSave("engine_selected_row");
  EXPECT_EQ(R.Pixel(G->GetCellRect(0, 2).Right - 6, Cell.Top + 8), Rgb(clHighlight));
  EXPECT_EQ(R.Pixel(G->GetCellRect(2, 2).Right - 6, Cell.Top + 8), Rgb(clHighlight));
  EXPECT_EQ(R.Pixel(Cell.Right - 6, Cell.Top + 8), Rgb(clWindow));
  EXPECT_EQ(R.Pixel(Cell.Right - 6, G->GetCellRect(1, 1).Top + 8), Rgb(clWindow));
}

TEST(EnginePaint, SortedColumnsAndCellColouring) {
  TEngineForm F(2, {goHeader});
  F.Fill(3);
  TNxGrid* G = F.Grid;
  F.Columns[0]->SetColor(clYellow);
  F.Columns[1]->SetColor(clYellow);
  TColor Coloured = clYellow;
  G->OnCellColoring = [&](TObject*, int, int, TColor& CellColor, TColor&, TCellState) { CellColor = Coloured; };
  F.Columns[1]->SetSorted(true);
  G->SetSortedStyle(soWhite);
  G->SelectCell(0, 0);
  Settle(F.Window());
  TCapture P(F.Window());
  const int Y = G->GetCellRect(1, 1).Top + 8;
  EXPECT_EQ(P.Pixel(G->GetCellRect(0, 1).Right - 6, Y), Rgb(clYellow));
  EXPECT_EQ(P.Pixel(G->GetCellRect(1, 1).Right - 6, Y), Rgb(clWhite));  // regardless of the event
  G->SetSortedStyle(soDarker);
  Coloured = static_cast<TColor>(RGB(200, 100, 50));
  Settle(F.Window());
  TCapture D(F.Window());
  EXPECT_EQ(D.Pixel(G->GetCellRect(1, 1).Right - 6, Y), RGB(190, 90, 40));
  EXPECT_EQ(D.Pixel(G->GetCellRect(0, 1).Right - 6, Y), RGB(200, 100, 50));
  // aoIndicateSortedColumn darkens the sorted column's own colour before colouring.
  G->OnCellColoring = nullptr;
  G->SetSortedStyle(soDefault);
  G->SetAppearanceOptions({aoHideSelection, aoIndicateSortedColumn});
  EXPECT_EQ(G->GetCellColor(1, 1), TGraphicsProvider::DarkenColor(clYellow, 10));
  Settle(F.Window());
  TCapture S(F.Window());
  EXPECT_EQ(S.Pixel(G->GetCellRect(1, 1).Right - 6, Y), Rgb(TGraphicsProvider::DarkenColor(clYellow, 10)));
  // Empty cells below the rows: the grid colour, darkened in the sorted column too.
  const int Below = G->GetCellRect(1, 2).Bottom + 20;
  EXPECT_EQ(S.Pixel(G->GetCellRect(1, 1).Right - 6, Below), Rgb(TGraphicsProvider::DarkenColor(clWindow, 10)));
  EXPECT_EQ(S.Pixel(G->GetCellRect(0, 1).Right - 6, Below), Rgb(clWindow));
}

// An increment column shows the numbers its cells hold (1, 2, 3 ...), painted as a text column
// holding them is.
TEST(EnginePaint, AnIncrementColumnPaintsItsCellsNumbers) {
  TEngineForm F(2, {});
  F.Fill(3);
  TNxGrid* G = F.Grid;
  F.Columns[0]->SetColumnKind(ckIncrement);
  for (int R = 0; R < 3; ++R) G->SetCells(1, R, G->Cells(0, R));
  ASSERT_EQ(G->Cells(1, 0), L"1");
  G->InvalidateGrid();
  Settle(F.Window());
  const TCapture P(F.Window());
  for (int R = 0; R < 3; ++R) EXPECT_TRUE(TCapture::SamePixels(P, G->GetCellRect(0, R), P, G->GetCellRect(1, R))) << R;
}

// With aoHintMarks a cell that has a hint shows the red sign in its top right corner; a cell
// without one, and any cell without the option, shows none.
TEST(EnginePaint, HintMarksSignTheCellsThatHaveAHint) {
  TEngineForm F(2, {goHeader});
  F.Fill(2);
  TNxGrid* G = F.Grid;
  G->OnCellHint = [](TObject*, int C, int R, WideString& Value) {
    if (C == 1 && R == 0) Value = L"a hint";
  };
  for (const bool Marks : {true, false}) {
    SCOPED_TRACE(Marks ? "with marks" : "without marks");
    TAppearanceOptions Options{aoHideSelection};
    if (Marks) Options.Include(aoHintMarks);
    G->SetAppearanceOptions(Options);
    G->InvalidateGrid();
    Settle(F.Window());
    TCapture P(F.Window());
    // The top right corner of a cell.
    auto Corner = [&](int C, int R) {
      const TRect Cell = G->GetCellRect(C, R);
      return Rect(Cell.Right - 12, Cell.Top, Cell.Right, Cell.Top + 8);
    };
    EXPECT_EQ(P.Count(Corner(1, 0), Red) > 0, Marks);
    EXPECT_EQ(P.Count(Corner(0, 0), Red), 0);
    EXPECT_EQ(P.Count(Corner(1, 1), Red), 0);
  }
}

TEST(EnginePaint, UnfilledCellsAndTheBackgroundEvent) {
  TEngineForm F(1, {goHeader});
  F.Fill(2);
  TNxGrid* G = F.Grid;
  F.Columns[0]->SetColor(clYellow);
  Settle(F.Window());
  const TRect Cell = G->GetCellRect(0, 1);
  // aoDontFillCells: the new colour is not filled in; the old pixels stay.
  G->SetAppearanceOptions({aoHideSelection, aoDontFillCells});
  F.Columns[0]->SetColor(clLime);
  G->InvalidateGrid();
  Settle(F.Window());
  TCapture P(F.Window());
  EXPECT_EQ(P.Pixel(Cell.Right - 6, Cell.Top + 8), Rgb(clYellow));
  // A background handler may ask for the filling all the same.
  std::vector<TCellState> States;
  G->OnDrawCellBackground = [&](TObject*, int, int R, TRect, TCellState S, bool& DefaultDrawing) {
    if (R == 1) DefaultDrawing = true;
    States.push_back(S);
  };
  G->InvalidateGrid();
  Settle(F.Window());
  TCapture Q(F.Window());
  EXPECT_EQ(Q.Pixel(Cell.Right - 6, Cell.Top + 8), Rgb(clLime));
  EXPECT_EQ(Q.Pixel(Cell.Right - 6, G->GetCellRect(0, 0).Top + 8), Rgb(clYellow));
  // Cells below the rows are reported as empty.
  bool SawEmpty = false;
  for (TCellState S : States) SawEmpty = SawEmpty || S.Contains(csEmpty);
  EXPECT_TRUE(SawEmpty);
  // Custom drawing of the column's cells (doCustom) comes after the content.
  int Custom = 0;
  G->OnCustomDrawCell = [&](TObject*, int, int, TRect, TCellState) { ++Custom; };
  G->InvalidateGrid();
  Settle(F.Window());
  EXPECT_EQ(Custom, 0);
  F.Columns[0]->SetDrawingOptions(doCustom);
  G->InvalidateGrid();
  Settle(F.Window());
  EXPECT_EQ(Custom, 2);
}

TEST(EnginePaint, IndicatorColumn) {
  TEngineForm F(2, {goIndicator});
  F.Fill(4);
  TNxGrid* G = F.Grid;
  G->SelectCell(0, 2);
  Settle(F.Window());
  TCapture P(F.Window());
  P.MaybeSave("engine_indicator");
  auto IndicatorOf = [&](int Row) {
    const TRect C = G->GetCellRect(0, Row);
    return Rect(0, C.Top, 12, C.Bottom);
  };
  // The selected row's sign in the window text colour; the other rows show none.
  EXPECT_GT(P.Count(IndicatorOf(2), Rgb(clWindowText)), 10);
  EXPECT_EQ(P.Count(IndicatorOf(1), Rgb(clWindowText)), 0);
  EXPECT_EQ(P.Pixel(6, G->GetCellRect(0, 1).Top + 8), Rgb(clBtnFace));
  EXPECT_EQ(P.Pixel(0, G->GetCellRect(0, 1).Top + 8), Rgb(clBtnHighlight));
  // doCustomOnly: only what the handler draws.
  std::vector<std::string> Calls;
  G->OnCustomDrawIndicator = [&](TObject*, int Index, TRect R, bool Selected, bool Highlighted) {
    std::string S = std::to_string(Index);
    if (Selected) S += 's';
    if (Highlighted) S += 'h';
    Calls.push_back(S);
    G->Canvas()->Brush()->SetColor(clRed);
    G->Canvas()->FillRect(R);
  };
  G->SetIndicatorDrawingOptions(doCustomOnly);
  Settle(F.Window());
  TCapture C(F.Window());
  EXPECT_EQ(C.Count(Rect(0, 0, 12, C.Height()), Rgb(clWindowText)), 0);
  EXPECT_EQ(C.Pixel(6, G->GetCellRect(0, 2).Top + 8), Red);
  ASSERT_GE(Calls.size(), 4u);
  EXPECT_EQ(Calls[0], "0");
  EXPECT_EQ(Calls[2], "2sh");
  EXPECT_EQ(Calls[4], "4");  // the empty rows below the last one as well
}

TEST(EnginePaint, HeaderInputLineAndFooter) {
  TEngineForm F(2, {goHeader, goInput, goFooter, goIndicator, goGrid});
  F.Fill(2);
  TNxGrid* G = F.Grid;
  F.Columns[0]->Footer()->SetCaption(L"Total");
  F.Columns[1]->SetInputCaption(L"type here");
  std::vector<std::string> Drawn;
  G->OnCustomDrawHeader = [&](TObject*, int I, TRect R) {
    std::string S = "h";
    S += std::to_string(I) + ":" + std::to_string(R.Left) + "," + std::to_string(R.Bottom);
    Drawn.push_back(S);
  };
  G->OnCustomDrawFooter = [&](TObject*, int I, TRect) {
    std::string S = "f";
    S += std::to_string(I);
    Drawn.push_back(S);
  };
  G->InvalidateGrid();
  Settle(F.Window());
  TCapture P(F.Window());
  P.MaybeSave("engine_chrome");
  EXPECT_EQ(Drawn, (std::vector<std::string>{"h0:12,18", "f0", "h1:92,18", "f1"}));
  // Captions appear: header text in the header cell, the footer's caption, the input caption.
  const TRect H0 = G->GetHeaderCellRect(F.Columns[0]);
  EXPECT_GT(P.Count(H0, Rgb(clWindowText)), 5);
  EXPECT_GT(P.Count(G->GetFooterCellRect(F.Columns[0]), Rgb(clWindowText)), 5);
  const TRect In1 = G->GetInputCellRect(F.Columns[1]);
  EXPECT_GT(P.CountOther(In1, P.Pixel(In1.Left + 1, In1.Top + 1)), 5);
  // The indicator corners are raised buttons; the strip right of the columns is the grid colour.
  EXPECT_EQ(P.Pixel(0, 0), Rgb(clBtnHighlight));
  EXPECT_EQ(P.Pixel(11, 17), Rgb(clBtnShadow));
  EXPECT_EQ(P.Pixel(280, 5), Rgb(clWindow));
  EXPECT_EQ(P.Pixel(280, G->GetFooterRect().Top + 5), Rgb(clWindow));
}

TEST(EnginePaint, CaptionOfAnEmptyGridAndThePostDrawEvent) {
  TEngineForm F(1, {goHeader});
  TNxGrid* G = F.Grid;
  int PostDraws = 0;
  G->OnPostDraw = [&](TObject*) { ++PostDraws; };
  G->SetCaption(WideString(L"No channels"));
  Settle(F.Window());
  EXPECT_GT(PostDraws, 0);
  const TRect B = G->GetBodyRect();
  const TRect Line = Rect(0, B.Top, G->ClientWidth(), B.Top + 20);
  TCapture P(F.Window());
  P.MaybeSave("engine_caption");
  const int Dark = P.Count(Line, Rgb(clWindowText));
  EXPECT_GT(Dark, 10);
  // Centred across the client from the body's left edge.
  const TRect Ink = [&] {
    TRect R{1000, 0, 0, 0};
    for (int X = 0; X < P.Width(); ++X)
      for (int Y = Line.Top; Y < Line.Bottom; ++Y)
        if (P.Pixel(X, Y) == Rgb(clWindowText)) {
          R.Left = std::min(R.Left, X);
          R.Right = std::max(R.Right, X + 1);
        }
    return R;
  }();
  EXPECT_NEAR((Ink.Left + Ink.Right) / 2, G->ClientWidth() / 2, 3);
  // A disabled grid shows it in grey.
  G->SetEnabled(false);
  G->InvalidateGrid();
  Settle(F.Window());
  TCapture D(F.Window());
  EXPECT_EQ(D.Count(Line, Rgb(clWindowText)), 0);
  EXPECT_GT(D.Count(Line, Rgb(clGrayText)), 10);
}

TEST(EnginePaint, SlidesStyle) {
  TEngineForm F(2, {goHeader, goSelectFullRow});
  F.Fill(3);
  TNxGrid* G = F.Grid;
  G->SetSlideSize(40);
  F.Columns[0]->SlideBounds()->SetLeft(8);
  F.Columns[0]->SlideBounds()->SetTop(4);
  F.Columns[1]->SlideBounds()->SetLeft(100);
  F.Columns[1]->SlideBounds()->SetTop(4);
  G->SetGridStyle(gsSlides);
  EXPECT_FALSE(G->HorzScrollBar()->Visible());
  EXPECT_EQ(G->GetSlideRect(1), Rect(0, 18 + 40, G->ClientWidth(), 18 + 80));
  EXPECT_EQ(G->GetCellRect(1, 1), Rect(100, 18 + 40 + 4, 180, 18 + 40 + 20));
  std::vector<std::string> Colouring;
  G->OnSlideColoring = [&](TObject*, int I, TColor&, TColor&, TSlideState S) {
    std::string T = std::to_string(I);
    if (S.Contains(stSelected)) T += 's';
    if (S.Contains(stFocused)) T += 'f';
    Colouring.push_back(T);
  };
  G->SetSlidesOptions({soFrame});
  G->SetSlideSelectionColor(clAqua);
  ASSERT_TRUE(F.FocusByClick(0, 1));
  Colouring.clear();
  G->InvalidateGrid();
  Settle(F.Window());
  TCapture P(F.Window());
  P.MaybeSave("engine_slides");
  const TRect S1 = G->GetSlideRect(1);
  // The selected slide in the slide selection colour with a double frame in the selection colour.
  EXPECT_EQ(P.Pixel(250, S1.Top + 30), Rgb(clAqua));
  EXPECT_EQ(P.Pixel(250, S1.Top), Rgb(clHighlight));
  EXPECT_EQ(P.Pixel(250, S1.Top + 1), Rgb(clHighlight));
  EXPECT_EQ(P.Pixel(250, S1.Top + 2), Rgb(clAqua));
  EXPECT_EQ(P.Pixel(250, G->GetSlideRect(0).Top + 30), Rgb(clWindow));
  ASSERT_GE(Colouring.size(), 3u);
  EXPECT_EQ(Colouring[0], "0");
  EXPECT_EQ(Colouring[1], "1sf");
  // Slides cells are not highlighted without aoHighlightSlideCells.
  EXPECT_TRUE(G->IsCellSelected(0, 1));
  G->SetAppearanceOptions({aoHideSelection});
  EXPECT_FALSE(G->IsCellSelected(0, 1));
  // soHideSelection keeps the slide in the grid colour.
  G->SetSlidesOptions({soHideSelection});
  Settle(F.Window());
  TCapture H(F.Window());
  EXPECT_EQ(H.Pixel(250, S1.Top + 30), Rgb(clWindow));
}

// Each header cell is painted in a saved DC state while the canvas changes its font between the
// grid's and the column's: giving the state back must not select a font freed meanwhile (the GDI
// handle guard counts it; the system's handle slot by then names another object).
TEST(EnginePaint, ChromeCellsPutBackNoFreedFont) {
  TEngineForm F(2, {goHeader, goInput, goFooter, goGrid});
  F.Fill(2);
  F.Columns[1]->Font()->SetStyle({fsBold});
  const unsigned Before = memguard::Counts().HeapFaults;
  for (int I = 0; I < 2; ++I) {
    F.Grid->InvalidateGrid();
    Settle(F.Window());
  }
  EXPECT_EQ(memguard::Counts().HeapFaults, Before);
}
