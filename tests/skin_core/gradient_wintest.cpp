// Gradients on framework bitmaps: the band modes by format and the four-triangle fill through the
// system's GradientFill.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>

#include "skin/core/sGradient.h"
#include "skin_core/bitmap_test_support.h"

using namespace bmptest;

namespace {

TsGradArray Stops(const AnsiString& Text) {
  TsGradArray S;
  ParseGradientData(Text, S);
  return S;
}

void Snapshot(TBitmap& B) {
  if (const char* Dir = std::getenv("TV_TEST_SNAPSHOTS")) {
    const ::testing::TestInfo* T = ::testing::UnitTest::GetInstance()->current_test_info();
    B.SaveToFile(AnsiString(Dir) + "\\" + T->test_suite_name() + "." + T->name() + ".bmp");
  }
}

}  // namespace

TEST(GradientBitmaps, BandModesPaint24And32BitBitmaps) {
  for (TPixelFormat F : {pf24bit, pf32bit}) {
    auto B = Filled(256, 256, F, clBlack);
    PaintGradient(B.get(), Rect(0, 0, 256, 256), Stops("255;16711680;100;0;0"), 0, 0);  // red to blue, downwards
    EXPECT_EQ(At(*B, 7, 0)[2], 255) << F;
    EXPECT_EQ(At(*B, 7, 100)[0], 100) << F;
    EXPECT_EQ(At(*B, 7, 100)[2], 155) << F;
    if (F == pf32bit) {
      EXPECT_EQ(At(*B, 7, 100)[3], 255);
    }
    PaintGradient(B.get(), Rect(0, 0, 256, 128), Stops("0;65280;100;1;0"), 0, 0);  // black to green, rightwards
    EXPECT_EQ(At(*B, 200, 50)[1], 200) << F;
    EXPECT_EQ(At(*B, 200, 50)[0], 0) << F;
    EXPECT_EQ(At(*B, 200, 128)[0], 128) << F;  // below the rect: the first gradient
  }
}

TEST(GradientBitmaps, BandModesLeaveOtherFormats) {
  for (TPixelFormat F : {pf8bit, pfDevice}) {
    auto B = Filled(8, 8, F, clWhite);
    PaintGradient(B.get(), Rect(0, 0, 8, 8), Stops("0;0;100;0;0"), 0, 0);
    PaintGradient(B.get(), Rect(0, 0, 8, 8), Stops("0;0;100;1;0"), 0, 0);
    EXPECT_EQ(B->Canvas()->Pixels(4, 4), RGB(255, 255, 255)) << F;
  }
}

TEST(GradientBitmaps, OneStopOfModeTwoIsAFlatFill) {
  ASSERT_TRUE(GradientFillAvailable());
  auto B = Filled(40, 30, pf24bit, clWhite);
  PaintGradient(B.get(), Rect(5, 5, 35, 25), Stops("3100463;0;100;2;0"), 0, 0);  // 0x2F4F2F
  for (int y = 5; y < 25; y += 3)
    for (int x = 5; x < 35; x += 3) ASSERT_EQ(B->Canvas()->Pixels(x, y), 0x2F4F2F) << x << "," << y;
  EXPECT_EQ(B->Canvas()->Pixels(4, 10), RGB(255, 255, 255));
  EXPECT_EQ(B->Canvas()->Pixels(20, 25), RGB(255, 255, 255));
}

TEST(GradientBitmaps, ModeTwoShadesFromTheCornersToTheCentre) {
  ASSERT_TRUE(GradientFillAvailable());
  auto B = Filled(101, 101, pf32bit, clBlack);
  // Top-left red, centre white, top-right green, bottom-right blue, bottom-left black.
  PaintGradient(B.get(), Rect(0, 0, 101, 101),
                Stops("255;0;0;2;0;16777215;0;0;0;0;65280;0;0;0;0;16711680;0;0;0;0;0;0;0;0;0"), 0, 0);
  Snapshot(*B);
  auto Near = [&](int X, int Y, int R, int G, int Bl) {
    const COLORREF c = static_cast<COLORREF>(B->Canvas()->Pixels(X, Y));
    EXPECT_NEAR(GetRValue(c), R, 12) << X << "," << Y;
    EXPECT_NEAR(GetGValue(c), G, 12) << X << "," << Y;
    EXPECT_NEAR(GetBValue(c), Bl, 12) << X << "," << Y;
  };
  // The vertices stand on the rect's corners (right and bottom ones just outside its pixels).
  Near(0, 0, 255, 0, 0);
  Near(50, 50, 255, 255, 255);
  Near(100, 0, 0, 255, 0);
  Near(100, 100, 0, 0, 255);
  Near(0, 100, 0, 0, 0);
  Near(50, 0, 128, 128, 0);  // on the top edge: half red, half green
}

TEST(GradientBitmaps, ModeTwoNeedsTheSystemFunction) {
  ASSERT_TRUE(GradientFillAvailable());
  // Start-up and shut-down nest: only the outermost shut-down lets the library go.
  GradientUnitStartup();
  GradientUnitShutdown();
  EXPECT_TRUE(GradientFillAvailable());
  GradientUnitShutdown();
  EXPECT_FALSE(GradientFillAvailable());
  auto B = Filled(10, 10, pf24bit, clWhite);
  PaintGradient(B.get(), Rect(0, 0, 10, 10), Stops("255;0;100;2;0"), 0, 0);
  EXPECT_EQ(B->Canvas()->Pixels(5, 5), RGB(255, 255, 255));
  PaintGradient(B.get(), Rect(0, 0, 10, 10), Stops("255;255;100;0;0"), 0, 0);  // the band modes go on
  EXPECT_EQ(B->Canvas()->Pixels(5, 5), RGB(255, 0, 0));
  GradientUnitStartup();
  EXPECT_TRUE(GradientFillAvailable());
  PaintGradient(B.get(), Rect(0, 0, 10, 10), Stops("65280;0;100;2;0"), 0, 0);
  EXPECT_EQ(B->Canvas()->Pixels(5, 5), RGB(0, 255, 0));
}
