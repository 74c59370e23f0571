// Glyph and caption placement inside a button's client rectangle.
#include <gtest/gtest.h>

#include "framework/Exceptions.h"
#include "skin/core/acGlyphLayout.h"

namespace {

struct Result {
  TPoint Glyph;
  TRect Text;
};

// Client (10, 20) - (110, 60): 100 x 40; glyph 16 x 16; caption 30 x 12.
Result Layout(TButtonLayout L, TAlignment A, int Margin, int Spacing, int BiDi = 0, TPoint Text = {30, 12},
              TRect Client = Rect(10, 20, 110, 60), TPoint Glyph = {16, 16}) {
  Result R;
  CalcGlyphLayout(Client, Glyph, Text, L, A, Margin, Spacing, BiDi, R.Glyph, R.Text);
  return R;
}

}  // namespace

TEST(GlyphLayout, GlyphLeftOfTheCaption) {
  // Automatic margin with left alignment: 2 pixels from the edge. Cross axis centred.
  Result R = Layout(blGlyphLeft, taLeftJustify, -1, 4);
  EXPECT_EQ(R.Glyph, Point(12, 32));
  EXPECT_EQ(R.Text, Rect(32, 34, 62, 46));
  R = Layout(blGlyphLeft, taRightJustify, -1, 4);
  EXPECT_EQ(R.Text.Left, 10 + 68);
  EXPECT_EQ(R.Glyph.X, 10 + 48);
  R = Layout(blGlyphLeft, taCenter, -1, 4);
  EXPECT_EQ(R.Glyph.X, 10 + 25);
  EXPECT_EQ(R.Text.Left, 10 + 45);
}

TEST(GlyphLayout, GlyphRightOfTheCaption) {
  Result R = Layout(blGlyphRight, taLeftJustify, -1, 4);
  EXPECT_EQ(R.Glyph.X, 10 + 36);
  EXPECT_EQ(R.Text.Left, 10 + 2);
  R = Layout(blGlyphRight, taRightJustify, -1, 4);
  EXPECT_EQ(R.Glyph.X, 10 + 82);
  EXPECT_EQ(R.Text.Left, 10 + 48);
  R = Layout(blGlyphRight, taCenter, -1, 4);
  EXPECT_EQ(R.Text.Left, 10 + 25);
  EXPECT_EQ(R.Glyph.X, 10 + 59);
}

TEST(GlyphLayout, RightToLeftReadingSwapsLeftAndRight) {
  for (TAlignment A : {taLeftJustify, taRightJustify, taCenter}) {
    const Result Rtl = Layout(blGlyphLeft, A, -1, 4, GlyphLayoutRightToLeft);
    const Result Right = Layout(blGlyphRight, A, -1, 4);
    EXPECT_EQ(Rtl.Glyph, Right.Glyph) << A;
    EXPECT_EQ(Rtl.Text, Right.Text) << A;
  }
  const Result Other = Layout(blGlyphLeft, taLeftJustify, -1, 4, 1);  // another bit: no swap
  EXPECT_EQ(Other.Glyph.X, 10 + 2);
}

TEST(GlyphLayout, TopAndBottomLayoutsIgnoreTheMargin) {
  const Result Top0 = Layout(blGlyphTop, taLeftJustify, 0, 4);
  const Result Top10 = Layout(blGlyphTop, taLeftJustify, 10, 4);
  EXPECT_EQ(Top0.Glyph, Top10.Glyph);
  EXPECT_EQ(Top0.Text, Top10.Text);
  EXPECT_EQ(Top0.Glyph, Point(10 + 42, 20 + 4));
  EXPECT_EQ(Top0.Text, Rect(10 + 35, 20 + 24, 10 + 65, 20 + 36));
  const Result Bottom = Layout(blGlyphBottom, taCenter, 3, 4);
  EXPECT_EQ(Bottom.Glyph, Point(10 + 42, 20 + 20));
  EXPECT_EQ(Bottom.Text.Top, 20 + 4);
}

TEST(GlyphLayout, AutomaticMarginAndSpacing) {
  // No caption: no spacing, and a centred layout centres the glyph.
  Result R = Layout(blGlyphLeft, taCenter, -1, 4, 0, {0, 0});
  EXPECT_EQ(R.Glyph.X, 10 + 42);
  EXPECT_EQ(R.Text, Rect(10 + 58, 20 + 20, 10 + 58, 20 + 20));
  // Both automatic: a third of the free room each.
  R = Layout(blGlyphLeft, taLeftJustify, -1, -1);
  EXPECT_EQ(R.Glyph.X, 10 + 18);
  EXPECT_EQ(R.Text.Left, 10 + 18 + 16 + 18);
  // A given margin with an automatic spacing: the rest of the room halved.
  R = Layout(blGlyphLeft, taLeftJustify, 5, -1);
  EXPECT_EQ(R.Glyph.X, 10 + 5);
  EXPECT_EQ(R.Text.Left, 10 + 5 + 16 + 24);
  R = Layout(blGlyphTop, taCenter, -1, -1);  // (40 - 28) div 3 = 4 above, between and below
  EXPECT_EQ(R.Glyph.Y, 20 + (40 - 16 - 4 - 12) / 2);
  EXPECT_EQ(R.Text.Top - (R.Glyph.Y + 16), 4);
}

TEST(GlyphLayout, AnOddSparePixelOfTheCrossAxisLiesBeforeTheGlyphAndTheCaption) {
  // 41 - 16 = 25 rows to spare above and below the glyph: 13 above; 41 - 12 = 29: 15 above the caption.
  const Result R = Layout(blGlyphLeft, taLeftJustify, -1, 4, 0, {30, 12}, Rect(10, 20, 110, 61));
  EXPECT_EQ(R.Glyph.Y, 20 + 13);
  EXPECT_EQ(R.Text.Top, 20 + 15);
}

TEST(GlyphLayout, HalvingsRoundTowardZero) {
  // A glyph larger than a 9 x 9 client: (9 - 16) div 2 = -3, not -4.
  const Result R = Layout(blGlyphLeft, taCenter, -1, 0, 0, {0, 0}, Rect(0, 0, 9, 9));
  EXPECT_EQ(R.Glyph, Point(-3, -3));
}

TEST(GlyphLayout, RefusesValuesThatCannotBeLaidOut) {
  TPoint P;
  TRect T;
  EXPECT_THROW(CalcGlyphLayout(Rect(0, 0, 2000000000, 10), {1, 1}, {1, 1}, blGlyphLeft, taCenter, -1, 0, 0, P, T),
               ERangeError);
  EXPECT_THROW(CalcGlyphLayout(Rect(0, 0, 10, 10), {1, 1}, {1, 1}, static_cast<TButtonLayout>(9), taCenter, -1, 0, 0, P, T),
               ERangeError);
  EXPECT_THROW(CalcGlyphLayout(Rect(0, 0, 10, 10), {1, 1}, {1, 1}, blGlyphTop, static_cast<TAlignment>(-1), -1, 0, 0, P, T),
               ERangeError);
}
