// The pixel loops of skin image painting: margin shrinking, frame indexes, tiling, the per-pixel
// nine-slice copy with its key runs, and the glyph copy.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "pixels_test_support.h"
#include "skin/core/sImagePaint.h"

using pixtest::BGRA;
using pixtest::Image;

namespace {

// A 24-bit source whose pixel (x, y) is (x, y, 7): every copied pixel tells where it came from.
Image Numbered(int W, int H, int Bits = 24) {
  Image I(W, H, Bits);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) I.Set(x, y, x, y, 7);
  return I;
}

BGRA From(int X, int Y, int Alpha = -1) { return {X, Y, 7, Alpha}; }

}  // namespace

TEST(PainterMargins, ShrinkMeetsInTheMiddleOfNarrowTargets) {
  // Wide enough: unchanged.
  EXPECT_EQ(ShrinkMargins({10, 3, 10, 4}, 20, 7), (TacMargins{10, 3, 10, 4}));
  // 10 + 10 on 15: both lose 2, the right one more for the odd width.
  EXPECT_EQ(ShrinkMargins({10, 0, 10, 0}, 15, 10), (TacMargins{8, 0, 7, 0}));
  EXPECT_EQ(ShrinkMargins({10, 0, 10, 0}, 4, 10), (TacMargins{2, 0, 2, 0}));
  EXPECT_EQ(ShrinkMargins({10, 0, 10, 0}, 3, 10), (TacMargins{2, 0, 1, 0}));
  // Heights follow the same rule; the bottom margin takes the odd pixel.
  EXPECT_EQ(ShrinkMargins({0, 6, 0, 6}, 10, 5), (TacMargins{0, 3, 0, 2}));
  // Margins never go negative nor beyond the target: 0 + 5 on 1 keeps 0 and 1; 0 + 10 on 4, 0 and 4.
  EXPECT_EQ(ShrinkMargins({0, 0, 5, 0}, 1, 10), (TacMargins{0, 0, 1, 0}));
  EXPECT_EQ(ShrinkMargins({0, 10, 10, 0}, 4, 5), (TacMargins{0, 5, 4, 0}));
}

TEST(PainterMargins, FrameIndexIsClampedToTheLastFrame) {
  EXPECT_EQ(FrameIndex(0, 3), 0);
  EXPECT_EQ(FrameIndex(2, 3), 2);
  EXPECT_EQ(FrameIndex(5, 3), 2);
  EXPECT_EQ(FrameIndex(-1, 3), 0);
  EXPECT_EQ(FrameIndex(4, 0), 0);
}

TEST(PainterTile, TilesFromTheTopLeftAndCutsTheLastTiles) {
  Image Src = Numbered(10, 10);
  Image Dst(12, 9, 24, false, 200);
  // A 3 x 2 tile taken at (4, 5), laid over (1, 1)-(8, 6).
  TilePixels(Dst.View(), Rect(1, 1, 8, 6), Src.View(), Rect(4, 5, 7, 7));
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool Inside = x >= 1 && x < 8 && y >= 1 && y < 6;
      const BGRA Want = Inside ? From(4 + (x - 1) % 3, 5 + (y - 1) % 2) : BGRA{200, 200, 200, -1};
      ASSERT_EQ(Dst.Get(x, y), Want) << x << "," << y;
    }
  EXPECT_TRUE(Dst.PaddingIntact());
}

TEST(PainterTile, ClipsAtTheTargetEdgesKeepingThePhase) {
  Image Src = Numbered(4, 4);
  Image Dst(5, 5, 32, true, 0);
  // Starts 2 pixels outside on the left and top: the visible tiles keep their phase.
  TilePixels(Dst.View(), Rect(-2, -2, 9, 9), Src.View(), Rect(0, 0, 3, 3));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) ASSERT_EQ(Dst.Get(x, y), From((x + 2) % 3, (y + 2) % 3, 255)) << x << "," << y;
  EXPECT_TRUE(Dst.PaddingIntact());
}

TEST(PainterTile, SourceOutsideItsImagePaintsNothing) {
  Image Src = Numbered(4, 4);
  Image Dst(5, 5, 24, true, 9);
  TilePixels(Dst.View(), Rect(0, 0, 5, 5), Src.View(), Rect(2, 2, 6, 3));
  TilePixels(Dst.View(), Rect(0, 0, 5, 5), Src.View(), Rect(-1, 0, 2, 2));
  TilePixels(Dst.View(), Rect(0, 0, 5, 5), Src.View(), Rect(1, 1, 1, 3));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) ASSERT_EQ(Dst.Get(x, y), (BGRA{9, 9, 9, -1}));
}

TEST(PainterMaskCopy, KeyRunsAreReportedAndLeft) {
  Image Src = Numbered(8, 3);
  // Row 0: key at columns 0-1 (ended by a visible pixel) and 5-7 (end of row). Row 2: column 3.
  for (int x : {0, 1, 5, 6, 7}) Src.Set(x, 0, 255, 0, 255);
  Src.Set(3, 2, 255, 0, 255);
  Image Dst(12, 6, 24, true, 50);
  std::vector<std::tuple<int, int, int, bool>> Runs;
  MaskCopyPixels(Dst.View(), Rect(2, 1, 9, 3), Src.View(), Rect(0, 0, 7, 2), 0, 0, true,
                 [&](int X, int Y, int Len, bool End) { Runs.emplace_back(X, Y, Len, End); });
  EXPECT_EQ(Runs, (std::vector<std::tuple<int, int, int, bool>>{{2, 1, 2, false}, {7, 1, 3, true}, {5, 3, 1, false}}));
  EXPECT_EQ(Dst.Get(2, 1), (BGRA{50, 50, 50, -1}));  // key: left
  EXPECT_EQ(Dst.Get(4, 1), From(2, 0));
  EXPECT_EQ(Dst.Get(5, 3), (BGRA{50, 50, 50, -1}));
  EXPECT_EQ(Dst.Get(9, 3), From(7, 2));

  // Without key handling every pixel is copied, key colour included.
  Image Plain(12, 6, 24, true, 50);
  MaskCopyPixels(Plain.View(), Rect(2, 1, 9, 3), Src.View(), Rect(0, 0, 7, 2), 0, 0, false, nullptr);
  EXPECT_EQ(Plain.Get(2, 1), (BGRA{255, 0, 255, -1}));
}

TEST(PainterMaskCopy, MaskedImagesBlendWithTheMaskBelow) {
  // Image rows 0-1, mask rows 2-3: mask 0 shows the image, 255 keeps the target, 128 mixes.
  Image Src(3, 4, 24);
  for (int x = 0; x < 3; ++x) {
    Src.Set(x, 0, 200, 100, 0);
    Src.Set(x, 1, 255, 0, 255);  // a key pixel row
  }
  Src.Set(0, 2, 0, 0, 0);
  Src.Set(1, 2, 255, 255, 255);
  Src.Set(2, 2, 128, 128, 128);
  for (int x = 0; x < 3; ++x) Src.Set(x, 3, 0, 0, 0);
  Image Dst(4, 4, 24, true, 40);
  MaskCopyPixels(Dst.View(), Rect(0, 0, 2, 1), Src.View(), Rect(0, 0, 2, 1), 1, 2, true, nullptr);
  EXPECT_EQ(Dst.Get(0, 0), (BGRA{200, 100, 0, -1}));
  // ((40 - s) * 255 + s * 256) >> 8
  EXPECT_EQ(Dst.Get(1, 0), (BGRA{(((40 - 200) * 255 + 200 * 256) >> 8), (((40 - 100) * 255 + 100 * 256) >> 8), 39, -1}));
  EXPECT_EQ(Dst.Get(2, 0), (BGRA{(((40 - 200) * 128 + 200 * 256) >> 8), (((40 - 100) * 128 + 100 * 256) >> 8),
                                 ((40 * 128) >> 8), -1}));
  EXPECT_EQ(Dst.Get(0, 1), (BGRA{40, 40, 40, -1}));  // key with key handling: left
  // Rows whose mask would lie beyond the source are not painted.
  Image Dst2(4, 4, 24, true, 40);
  MaskCopyPixels(Dst2.View(), Rect(0, 0, 2, 3), Src.View(), Rect(0, 0, 2, 3), 1, 2, false, nullptr);
  EXPECT_EQ(Dst2.Get(0, 1), (BGRA{255, 0, 255, -1}));  // row 1 (mask row 3) drawn, key not handled
  EXPECT_EQ(Dst2.Get(0, 2), (BGRA{40, 40, 40, -1}));   // row 2 would need mask row 4
}

TEST(PainterMaskCopy, DegenerateInputPaintsNothing) {
  Image Src = Numbered(4, 4);
  Image Dst(4, 4, 24, true, 1);
  MaskCopyPixels(Dst.View(), Rect(-1, 0, 2, 2), Src.View(), Rect(0, 0, 2, 2), 0, 0, false, nullptr);
  MaskCopyPixels(Dst.View(), Rect(0, 0, 2, 2), Src.View(), Rect(0, -3, 2, 2), 0, 0, false, nullptr);
  Image Tiny(1, 4, 24, true, 1);
  MaskCopyPixels(Tiny.View(), Rect(0, 0, 0, 2), Src.View(), Rect(0, 0, 0, 2), 0, 0, false, nullptr);
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(Tiny.Get(0, y), (BGRA{1, 1, 1, -1}));
    for (int x = 0; x < 4; ++x) ASSERT_EQ(Dst.Get(x, y), (BGRA{1, 1, 1, -1}));
  }
  // Far beyond the target: clipped, no write outside.
  MaskCopyPixels(Dst.View(), Rect(3, 3, 100, 100), Src.View(), Rect(0, 0, 100, 100), 0, 0, false, nullptr);
  EXPECT_EQ(Dst.Get(3, 3), From(0, 0));
  EXPECT_TRUE(Dst.PaddingIntact());
}

TEST(PainterGlyphCopy, KeySkippedMaskFaintAndClipping) {
  Image Src(2, 2, 24);
  Src.Set(0, 0, 100, 100, 100);
  Src.Set(1, 0, 255, 0, 255);
  Src.Set(0, 1, 128, 128, 128);  // mask of (0, 0)
  Src.Set(1, 1, 0, 0, 0);
  Image Dst(3, 3, 32, true, 20);
  CopyMaskedGlyphPixels(Dst.View(), 1, 1, Src.View(), Rect(0, 0, 1, 0), 1, 1, false, 0xFF00FF);
  const int m = (((20 - 100) * 128 + 100 * 256) >> 8);
  EXPECT_EQ(Dst.Get(1, 1), (BGRA{m, m, m, 255}));
  EXPECT_EQ(Dst.Get(2, 1), (BGRA{20, 20, 20, 20}));  // key: skipped
  // Faint: the mask value is raised by 100 first.
  Image Faint(3, 3, 24, true, 20);
  CopyMaskedGlyphPixels(Faint.View(), 0, 0, Src.View(), Rect(0, 0, 1, 0), 1, 1, true, 0xFF00FF);
  const int f = (((20 - 100) * 228 + 100 * 256) >> 8);
  EXPECT_EQ(Faint.Get(0, 0), (BGRA{f, f, f, -1}));
  // Plain copy at a negative position: only the part inside.
  Image Big = Numbered(4, 4);
  Image Out(3, 3, 24, true, 0);
  CopyMaskedGlyphPixels(Out.View(), -2, -1, Big.View(), Rect(0, 0, 3, 3), 0, 0, false, 0xFF00FF);
  EXPECT_EQ(Out.Get(0, 0), From(2, 1));
  EXPECT_EQ(Out.Get(1, 2), From(3, 3));
  EXPECT_EQ(Out.Get(2, 0), (BGRA{0, 0, 0, -1}));
  EXPECT_TRUE(Out.PaddingIntact());
}

TEST(PainterKeyedCopy, KeysTakeTheBackgroundAcrossDepths) {
  // A 32-bit source with a key pixel at (1, 0) onto a 24-bit target.
  Image Src(2, 2, 32);
  Src.SetAll(10, 20, 30, 77);
  Src.Set(1, 0, 255, 0, 255, 0);
  Image Bg = Numbered(8, 8, 32);
  TacBackground B;
  B.Bmp = Bg.View();
  B.X = 3;
  B.Y = 4;
  B.Ready = true;
  Image Dst(4, 4, 24, true, 99);
  CopyKeyedPixels(Dst.View(), 1, 1, Src.View(), Rect(0, 0, 1, 1), B);
  EXPECT_EQ(Dst.Get(1, 1), (BGRA{10, 20, 30, -1}));
  EXPECT_EQ(Dst.Get(2, 1), From(2 + 3, 1 + 4));
  // Into a 32-bit target the source pixel is copied whole (alpha kept); a background position
  // outside the picture leaves the pixel.
  Image Dst32(4, 4, 32, true, 99);
  B.X = 6;
  CopyKeyedPixels(Dst32.View(), 1, 1, Src.View(), Rect(0, 0, 1, 1), B);
  EXPECT_EQ(Dst32.Get(1, 1), (BGRA{10, 20, 30, 77}));
  // A magenta pixel that is not transparent is no key in a 32-bit source.
  Src.Set(1, 1, 255, 0, 255, 255);
  CopyKeyedPixels(Dst32.View(), 1, 1, Src.View(), Rect(0, 0, 1, 1), B);
  EXPECT_EQ(Dst32.Get(2, 2), (BGRA{255, 0, 255, 255}));
  EXPECT_EQ(Dst32.Get(2, 1), (BGRA{99, 99, 99, 99}));
  // Without a ready picture, or with the target as its own background, keys are left.
  TacBackground NotReady;
  NotReady.FillColor = 0x00FF00;
  Image Dst2(4, 4, 24, true, 99);
  CopyKeyedPixels(Dst2.View(), 0, 0, Src.View(), Rect(0, 0, 1, 1), NotReady);
  EXPECT_EQ(Dst2.Get(1, 0), (BGRA{99, 99, 99, -1}));
  TacBackground Self;
  Self.Bmp = Dst2.View();
  Self.X = 1;
  Self.Ready = true;
  CopyKeyedPixels(Dst2.View(), 0, 0, Src.View(), Rect(0, 0, 1, 1), Self);
  EXPECT_EQ(Dst2.Get(1, 0), (BGRA{99, 99, 99, -1}));
  EXPECT_TRUE(Dst.PaddingIntact());
  EXPECT_TRUE(Dst32.PaddingIntact());
}
