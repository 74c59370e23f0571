// Repainting after a change shows the change, on a real window: a slide repaints its inside when
// its selection changes the fill, a repaint of only a frame leaves other repaints already asked
// for in place, and the framed grid's black right line sits on the last column shown whether or
// not that column can take the selection.
#include <gtest/gtest.h>

#include "support/EngineTestHelpers.h"

using namespace enginetest;

namespace {

constexpr TColor SlideFill = 0x00E0F0C0;
constexpr TColor SlideSelected = 0x0000D0FF;

// A grid in slides style: full-row selection, a plain slide colour, a distinct selection fill.
struct TSlidesForm : TEngineForm {
  explicit TSlidesForm(TSlideOptions Slides) : TEngineForm(2, {goSelectFullRow, goMultiSelect}, 300, 260) {
    Grid->SetGridStyle(gsSlides);
    Grid->SetColor(SlideFill);
    Grid->SetSlideSelectionColor(SlideSelected);
    Grid->SetSlidesOptions(Slides);
    // The cells do not paint selected: only the slide's fill shows the flag.
    Grid->SetAppearanceOptions({});
    Fill(3);
    Grid->SetFocus();
    WaitFor([&] { return Grid->IsFocused(); });
    Settle(Window());
  }
  // A point inside the slide of a row, right of every field.
  TPoint Inside(int Row) {
    const TRect S = Grid->GetSlideRect(Row);
    return Point(S.Right - 20, (S.Top + S.Bottom) / 2);
  }
  COLORREF PixelAt(TPoint P) { return uitest::WindowPixel(Window(), P.X, P.Y); }
};

}  // namespace

TEST(GridRepaint, ASlideShowsItsSelectionFillOnceTheFlagChanges) {
  TSlidesForm F({});
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(G->IsFocused());
  const TPoint P = F.Inside(1);
  ASSERT_EQ(F.PixelAt(P), static_cast<COLORREF>(SlideFill));
  G->SetSelected(1, true);
  Settle(F.Window());
  EXPECT_EQ(F.PixelAt(P), static_cast<COLORREF>(SlideSelected));
  G->SetSelected(1, false);
  Settle(F.Window());
  EXPECT_EQ(F.PixelAt(P), static_cast<COLORREF>(SlideFill));
  TCapture(F.Window()).MaybeSave("slides_selection");
}

TEST(GridRepaint, RepaintingAFrameLeavesOtherRepaintsInPlace) {
  TSlidesForm F({soFrame, soHideSelection});
  TNxGrid* G = F.Grid;
  // A cell of slide 1 asks to be repainted; then the slide's frame does.
  ForgetRepaint(F.Window());
  G->RefreshCell(0, 1);
  const TRect Cell = G->GetCellRect(0, 1);
  const TPoint Mid = Point((Cell.Left + Cell.Right) / 2, (Cell.Top + Cell.Bottom) / 2);
  ASSERT_TRUE(MarkedForRepaint(F.Window(), Mid.X, Mid.Y));
  G->RefreshSlide(1, true);
  EXPECT_TRUE(MarkedForRepaint(F.Window(), Mid.X, Mid.Y));
  const TRect S = G->GetSlideRect(1);
  EXPECT_TRUE(MarkedForRepaint(F.Window(), S.Left + 1, S.Top + 1));
  EXPECT_FALSE(MarkedForRepaint(F.Window(), S.Right - 20, (S.Top + S.Bottom) / 2));
  // The same in report style for a row's frame.
  G->SetGridStyle(gsReport);
  G->SetOptions(G->Options() + goHeader);
  Settle(F.Window());
  ForgetRepaint(F.Window());
  G->RefreshCell(1, 2);
  const TRect C2 = G->GetCellRect(1, 2);
  G->RefreshRow(2, true);
  EXPECT_TRUE(MarkedForRepaint(F.Window(), (C2.Left + C2.Right) / 2, (C2.Top + C2.Bottom) / 2));
  const TRect C0 = G->GetCellRect(0, 2);
  EXPECT_FALSE(MarkedForRepaint(F.Window(), (C0.Left + C0.Right) / 2, (C0.Top + C0.Bottom) / 2));
  EXPECT_TRUE(MarkedForRepaint(F.Window(), C0.Left, C0.Top));
}

TEST(GridRepaint, TheFramedRightLineSitsOnTheLastColumnShown) {
  TEngineForm F(3, {goHeader, goGrid});
  F.Fill(3);
  TNxGrid* G = F.Grid;
  G->SetGridLinesStyle(lsFramed);
  G->SetGridLinesColor(clSilver);
  // The last column cannot take the selection; it is still the last column shown.
  F.Columns[2]->SetEnabled(false);
  G->Invalidate();
  Settle(F.Window());
  const TRect Last = G->GetCellRect(2, 1);
  const TRect Middle = G->GetCellRect(1, 1);
  const int Y = (Last.Top + Last.Bottom) / 2;
  TCapture Shot(F.Window());
  Shot.MaybeSave("framed_last_column");
  EXPECT_EQ(Shot.Pixel(Last.Right - 1, Y), static_cast<COLORREF>(clBlack));
  EXPECT_EQ(Shot.Pixel(Middle.Right - 1, Y), static_cast<COLORREF>(ColorToRGB(clSilver)));
}
