// Gradient text and the band painters on images in plain memory.
#include <gtest/gtest.h>

#include "pixels_test_support.h"
#include "skin/core/sGradient.h"

using namespace pixtest;

namespace {

TsGradArray Parse(const AnsiString& Text) {
  TsGradArray Stops;
  ParseGradientData(Text, Stops);
  return Stops;
}

TsGradStop Stop(TColor C1, TColor C2, int Percent, int Mode = 0) {
  return TsGradStop{C1, C2, static_cast<Byte>(Percent), Mode};
}

// The red channel of the first pixel of every row.
std::vector<int> RedRows(Image& im, int Column = 0) {
  std::vector<int> v;
  for (int y = 0; y < im.Height(); ++y) v.push_back(im.Get(Column, y)[2]);
  return v;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Parsing

TEST(GradientText, GroupsOfFiveNumbersMakeStops) {
  EXPECT_EQ(Parse("255;16711680;100;0;0"), (TsGradArray{Stop(255, 0xFF0000, 100, 0)}));
  EXPECT_TRUE(Parse("255;16711680;100;0").empty());  // four numbers: no stop
  EXPECT_EQ(Parse(";;255;;16711680;100;0;0;"), (TsGradArray{Stop(255, 0xFF0000, 100, 0)}));
  EXPECT_EQ(Parse("1;2;3;4;5;6;7;8;9;10;11;12").size(), 2u);  // surplus numbers ignored
  EXPECT_TRUE(Parse("").empty());
  EXPECT_TRUE(Parse(" ").empty());
  EXPECT_EQ(Parse(" 1; 2; 3; 4;5"), (TsGradArray{Stop(1, 2, 3, 4)}));  // leading blanks are allowed
}

TEST(GradientText, ValuesAreLimited) {
  EXPECT_EQ(Parse("1;2;150;0;0")[0].Percent, 100);
  EXPECT_EQ(Parse("1;2;-3;0;0")[0].Percent, 0);
  EXPECT_EQ(Parse("-5;-6;10;0;0")[0].Color1, 0);
  EXPECT_EQ(Parse("-5;-6;10;0;0")[0].Color2, 0);
  EXPECT_EQ(Parse("1;2;3;-1;0")[0].Mode, -1);
  EXPECT_EQ(Parse("2147483647;0;0;0;0")[0].Color1, 2147483647);
}

TEST(GradientText, MalformedNumbersRaiseTheConversionError) {
  try {
    Parse("255;red;100;0;0");
    FAIL() << "no exception";
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message, "'red' is not a valid integer value");
  }
  EXPECT_THROW(Parse("1;2;3;4 ;5"), EConvertError);
  EXPECT_THROW(Parse("1;2;3;99999999999;5"), EConvertError);
  EXPECT_NO_THROW(Parse("1;2;3;4;skipped"));  // the fifth number is never read
  // Parsing into a filled array starts afresh, also when it fails.
  TsGradArray Stops{Stop(1, 1, 1), Stop(2, 2, 2)};
  EXPECT_THROW(ParseGradientData("1;2;3;0;0;x;1;1;1;1", Stops), EConvertError);
  EXPECT_TRUE(Stops.empty());
}

// ---------------------------------------------------------------------------------------------
// Mode 0: bands from top to bottom

TEST(GradientRows, OneStopRunsFromTopToBottom) {
  Image im(3, 256, 24);
  PaintGradient(im.View(), Rect(0, 0, 3, 256), {Stop(0x0000FF, 0xFF0000, 100)}, 0, 0);  // red to blue
  for (int y = 0; y < 256; ++y) ASSERT_EQ(im.Get(2, y), Px24(y, 0, 255 - y)) << y;
}

TEST(GradientRows, BandsShareTheirBorderRow) {
  Image im(2, 11, 32);
  PaintGradient(im.View(), Rect(0, 0, 2, 11), {Stop(0, 100, 50), Stop(200, 250, 50)}, 0, 0);
  EXPECT_EQ(RedRows(im), (std::vector<int>{0, 20, 40, 60, 80, 200, 210, 220, 230, 240, 250}));
  EXPECT_EQ(im.Get(1, 4), Px32(0, 0, 80, 255));
}

TEST(GradientRows, TheLastStopAlwaysReachesTheBottom) {
  Image im(1, 21, 24);
  PaintGradient(im.View(), Rect(0, 0, 1, 21), {Stop(0, 60, 30), Stop(100, 240, 20)}, 0, 0);
  const std::vector<int> R = RedRows(im);
  EXPECT_EQ(R[5], 50);
  EXPECT_EQ(R[6], 100);
  EXPECT_EQ(R[13], 170);
  EXPECT_EQ(R[20], 240);
}

TEST(GradientRows, NothingToPaint) {
  Image im(4, 4, 24, true, 7);
  const std::vector<Byte> Before = im.Pixels();
  PaintGradient(im.View(), Rect(0, 1, 4, 2), {Stop(0, 0xFFFFFF, 100)}, 0, 0);  // one row high
  PaintGradient(im.View(), Rect(0, 0, 4, 4), {Stop(0, 0xFFFFFF, 100, -1)}, 0, 0);
  PaintGradient(im.View(), Rect(0, 0, 4, 4), {Stop(0, 0xFFFFFF, 100, 3)}, 0, 0);
  PaintGradient(im.View(), Rect(0, 0, 4, 4), {}, 0, 0);
  PaintGradient(im.View(), Rect(3, 0, 1, 4), {Stop(0, 0xFFFFFF, 100)}, 0, 0);
  EXPECT_EQ(im.Pixels(), Before);
  Image Gray(4, 4, 8, true, 7);
  PaintGradient(Gray.View(), Rect(0, 0, 4, 4), {Stop(0, 0xFFFFFF, 100)}, 0, 0);
  EXPECT_EQ(Gray.Get(1, 1)[0], 7);
}

TEST(GradientRows, TheRectIsClippedToTheImage) {
  Image im(2, 5, 24);
  PaintGradient(im.View(), Rect(-10, -10, 50, 50), {Stop(0, 0xFFFFFF, 100)}, 0, 0);
  // Clipped to rows 0..4: four steps of 63.75.
  EXPECT_EQ(RedRows(im), (std::vector<int>{0, 64, 128, 191, 255}));
  EXPECT_TRUE(im.PaddingIntact());
}

TEST(GradientRows, APositiveOffsetStartsTheBandsLower) {
  Image im(1, 10, 24, true, 9);
  PaintGradient(im.View(), Rect(0, 0, 1, 10), {Stop(0, 60, 100)}, 123, 3);
  EXPECT_EQ(RedRows(im), (std::vector<int>{9, 9, 9, 0, 10, 20, 30, 40, 50, 60}));
}

TEST(GradientRows, ANegativeOffsetNeverPaintsAboveTheRect) {
  // Regression: the offset moved band rows above the rectangle (and above the image).
  Image im(2, 8, 24, true, 9);
  PaintGradient(im.View(), Rect(0, 2, 2, 8), {Stop(0, 80, 100)}, 0, -4);
  // The band runs from row -2 to row 7 (nine steps of 80 / 9); rows 0 and 1 stay.
  const std::vector<int> R = RedRows(im);
  EXPECT_EQ(R[0], 9);
  EXPECT_EQ(R[1], 9);
  EXPECT_EQ(R[2], 36);  // 4 x 8.89 = 35.6
  EXPECT_EQ(R[7], 80);
  EXPECT_TRUE(im.PaddingIntact());
  EXPECT_THROW(PaintGradient(im.View(), Rect(0, 0, 2, 8), {Stop(0, 80, 100)}, 0, -(1 << 25)), ERangeError);
}

TEST(GradientRows, ChannelsStayInsideTheirByte) {
  // Regression: colours above 0xFFFFFF made running values outside 0..255 that wrapped around.
  Image im(1, 256, 24);
  PaintGradient(im.View(), Rect(0, 0, 1, 256), {Stop(0x01000000, 0x7FFFFFFF, 100)}, 0, 0);
  for (int y = 0; y < 256; ++y) ASSERT_EQ(im.Get(0, y), Px24(y, y, y)) << y;
}

// ---------------------------------------------------------------------------------------------
// Mode 1: bands from left to right

TEST(GradientColumns, OneStopRunsFromLeftToRightInEveryRow) {
  Image im(256, 3, 32);
  PaintGradient(im.View(), Rect(0, 0, 256, 3), {Stop(0, 0xFFFFFF, 100, 1)}, 0, 99);  // the offset is not used
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 256; x += 15) ASSERT_EQ(im.Get(x, y), Px32(x, x, x, 255)) << x << "," << y;
  EXPECT_EQ(im.Get(255, 2), Px32(255, 255, 255, 255));
}

TEST(GradientColumns, BandEdgesRoundHalfToEven) {
  // Width 50: a 5 % band ends at round(2.5) = 2, not 3.
  Image im(50, 2, 24);
  PaintGradient(im.View(), Rect(0, 0, 50, 2), {Stop(0, 100, 5, 1), Stop(200, 200, 10)}, 0, 0);
  EXPECT_EQ(im.Get(0, 1)[2], 0);
  EXPECT_EQ(im.Get(1, 1)[2], 50);
  EXPECT_EQ(im.Get(2, 1)[2], 200);
  EXPECT_EQ(im.Get(49, 1)[2], 200);  // the last stop runs to the right edge
}

TEST(GradientColumns, ARectInsideTheImageLeavesTheRest) {
  Image im(10, 4, 24, true, 1);
  PaintGradient(im.View(), Rect(2, 1, 8, 3), {Stop(0x0000FF, 0x0000FF, 100, 1)}, 0, 0);
  EXPECT_EQ(im.Get(1, 1), Px24(1, 1, 1));
  EXPECT_EQ(im.Get(2, 1), Px24(0, 0, 255));
  EXPECT_EQ(im.Get(7, 2), Px24(0, 0, 255));
  EXPECT_EQ(im.Get(8, 2), Px24(1, 1, 1));
  EXPECT_EQ(im.Get(2, 3), Px24(1, 1, 1));
}

// ---------------------------------------------------------------------------------------------
// Mode 2 geometry

TEST(GradientTriangles, VerticesTakeTheStopsInTurn) {
  TsGradVertex V[5];
  GradientVertices(Rect(2, 4, 12, 24), {Stop(0x11, 0, 0, 2), Stop(0x22, 0, 0), Stop(0x33, 0, 0)}, V);
  EXPECT_EQ(V[0].X, 2);
  EXPECT_EQ(V[0].Y, 4);
  EXPECT_EQ(V[1].X, 7);
  EXPECT_EQ(V[1].Y, 14);
  EXPECT_EQ(V[3].X, 12);
  EXPECT_EQ(V[3].Y, 24);
  EXPECT_EQ(V[4].X, 2);
  EXPECT_EQ(V[4].Y, 24);
  const TColor Expected[5] = {0x11, 0x22, 0x33, 0x33, 0x33};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(V[i].Color, Expected[i]) << i;

  GradientVertices(Rect(0, 0, 4, 4), {Stop(0x44, 0x55, 100, 2)}, V);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(V[i].Color, 0x44) << i;  // a flat fill
}
