// Pixel and corner routines given rectangles, origins and sizes near the ends of the integer range:
// whatever part maps into the images is painted exactly where it belongs, nothing else is touched,
// and no sum overflows (the native build runs these under the undefined-behaviour sanitizer).
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "pixels_test_support.h"
#include "skin/core/sBackground.h"
#include "skin/core/sImagePaint.h"

using pixtest::BGRA;
using pixtest::Image;

namespace {

constexpr int Min = INT_MIN;
constexpr int Max = INT_MAX;

void SetKey(Image& I, int X, int Y) { I.Set(X, Y, 255, 0, 255, 0); }

// A picture whose pixel (x, y) is unique: blue = 10 + x, green = 20 + y, red = 7.
Image Numbered(int W, int H, int Bits) {
  Image I(W, H, Bits);
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X) I.Set(X, Y, 10 + X, 20 + Y, 7, 100 + X);
  return I;
}

bool Untouched(Image& I, int Fill) {
  for (int Y = 0; Y < I.Height(); ++Y)
    for (int X = 0; X < I.Width(); ++X) {
      const BGRA P = I.Get(X, Y);
      if (P[0] != Fill || P[1] != Fill || P[2] != Fill) return false;
    }
  return I.PaddingIntact();
}

int Blend(int D, int S, int M) { return ((D - S) * M + S * 256) >> 8; }

}  // namespace

TEST(PixelExtremes, FillTransparentFromBGMapsFarOriginsExactly) {
  // R starts at the smallest integer and so does the background point: target (x, y) takes
  // background (x, y).
  Image Dst(4, 3, 32, true, 60);
  SetKey(Dst, 1, 1);
  SetKey(Dst, 3, 2);
  Image Bg = Numbered(4, 3, 32);
  FillTransparentFromBG(Dst.View(), Bg.View(), TRect{Min, Min, 4, 3}, TPoint{Min, Min}, nullptr, TPoint{});
  EXPECT_EQ(Dst.Get(1, 1), (BGRA{11, 21, 7, 101}));
  EXPECT_EQ(Dst.Get(3, 2), (BGRA{13, 22, 7, 103}));
  EXPECT_EQ(Dst.Get(0, 0), (BGRA{60, 60, 60, 60}));
  EXPECT_TRUE(Dst.PaddingIntact());

  // The key read from another picture at a far origin.
  Image Keys(4, 3, 24, true, 0);
  SetKey(Keys, 2, 0);
  const TacPixels KeyView = Keys.View();
  Image D2(4, 3, 32, true, 60);
  FillTransparentFromBG(D2.View(), Bg.View(), TRect{Min, Min, 4, 3}, TPoint{Min, Min}, &KeyView, TPoint{Min, Min});
  EXPECT_EQ(D2.Get(2, 0), (BGRA{12, 20, 7, 102}));
  EXPECT_EQ(D2.Get(1, 1), (BGRA{60, 60, 60, 60}));

  // Rectangles and points whose sums leave the integer range touch nothing.
  for (const TRect& R : {TRect{Min, Min, Max, Max}, TRect{Max - 1, Max - 1, Max, Max}, TRect{Max, 0, Min, 3}}) {
    Image D(4, 3, 32, true, 60);
    SetKey(D, 0, 0);
    FillTransparentFromBG(D.View(), Bg.View(), R, TPoint{Max, Max}, nullptr, TPoint{});
    FillTransparentFromBG(D.View(), Bg.View(), R, TPoint{Min, Max}, &KeyView, TPoint{Max, Min});
    EXPECT_EQ(D.Get(0, 0), (BGRA{255, 0, 255, 0}));
    EXPECT_TRUE(D.PaddingIntact());
  }
}

TEST(PixelExtremes, CopyMaskedWithCacheClipsFarRectanglesIn64Bits) {
  // A 3 x 2 picture with its mask 2 rows below: mask 0 everywhere (the picture is copied).
  Image Src = Numbered(3, 4, 24);
  for (int X = 0; X < 3; ++X)
    for (int Y = 2; Y < 4; ++Y) Src.Set(X, Y, 0, 0, 0);
  TacBackground Bg;
  Bg.FillColor = 0x010203;
  // Both rectangles start at the smallest integer: the shared part is (0, 0)-(3, 1).
  Image Dst(4, 2, 24, true, 200);
  CopyMaskedWithCache(TRect{Min, 0, 3, 1}, TRect{Min, 0, 3, 1}, Dst.View(), Src.View(), Bg, 2);
  EXPECT_EQ(Dst.Get(0, 0), (BGRA{10, 20, 7, -1}));
  EXPECT_EQ(Dst.Get(2, 0), (BGRA{12, 20, 7, -1}));
  EXPECT_EQ(Dst.Get(3, 0), (BGRA{200, 200, 200, -1}));
  EXPECT_EQ(Dst.Get(0, 1), (BGRA{200, 200, 200, -1}));
  EXPECT_TRUE(Dst.PaddingIntact());
  // Sizes that do not fit an integer, and origins that move the other rectangle out of range.
  for (const auto& P : std::vector<std::pair<TRect, TRect>>{{TRect{Min, Min, Max, Max}, TRect{0, 0, Max, Max}},
                                                            {TRect{Min, 0, 2, 1}, TRect{0, 0, Max, 1}},
                                                            {TRect{0, 0, Max, Max}, TRect{Min, Min, Max, Max}},
                                                            {TRect{Max, Max, Min, Min}, TRect{0, 0, 3, 2}}}) {
    Image D(4, 2, 24, true, 200);
    CopyMaskedWithCache(P.first, P.second, D.View(), Src.View(), Bg, Max);
    CopyMaskedWithCache(P.first, P.second, D.View(), Src.View(), Bg, Min);
    EXPECT_TRUE(Untouched(D, 200));
  }
}

TEST(PixelExtremes, FillCornersFromBackgroundWithFarFramesAndOwnerSizes) {
  // An 8 x 6 frame with key pixels in its outer corner pixels, margins 2.
  Image Src(8, 6, 24, true, 40);
  for (auto [X, Y] : {std::pair{0, 0}, {0, 5}, {7, 5}, {7, 0}}) SetKey(Src, X, Y);
  TacCornerFrame F;
  F.Src = Src.View();
  F.Width = 8;
  F.Height = 6;
  F.WL = F.WT = F.WR = F.WB = 2;
  TacBackground Bg;
  Bg.FillColor = 0x030201;  // red 1, green 2, blue 3

  // An owner whose size is the smallest integer covers nothing of its cache; one whose size is the
  // largest covers all of it (the corners are laid at the cache's own edges).
  Image Cache(10, 8, 24, true, 128);
  FillCornersFromBackground(Cache.View(), Min, Min, F, Bg, acCornersAll);
  EXPECT_TRUE(Untouched(Cache, 128));
  FillCornersFromBackground(Cache.View(), Max, Max, F, Bg, acCornersAll);
  for (auto [X, Y] : {std::pair{0, 0}, {0, 7}, {9, 7}, {9, 0}}) EXPECT_EQ(Cache.Get(X, Y), (BGRA{3, 2, 1, -1}));
  EXPECT_EQ(Cache.Get(1, 0), (BGRA{128, 128, 128, -1}));
  EXPECT_TRUE(Cache.PaddingIntact());

  // Frames placed at the ends of the range, with margins as large as an integer.
  for (int FrameX : {Max, Min, Max - 3}) {
    TacCornerFrame G = F;
    G.X = FrameX;
    G.Y = FrameX;
    Image C(10, 8, 24, true, 128);
    FillCornersFromBackground(C.View(), 10, 8, G, Bg, acCornersAll);
    EXPECT_TRUE(Untouched(C, 128)) << FrameX;
  }
  TacCornerFrame H = F;
  H.WL = H.WT = H.WR = H.WB = Max;
  H.Width = H.Height = Max;
  Image C(10, 8, 24, true, 128);
  FillCornersFromBackground(C.View(), Max, Max, H, Bg, acCornersAll);
  EXPECT_EQ(C.Get(0, 0), (BGRA{3, 2, 1, -1}));  // the frame's key pixel at (0, 0)
  EXPECT_TRUE(C.PaddingIntact());
}

TEST(PixelExtremes, AddMaskCornerRectsWithFarRectanglesAndWidths) {
  Image Src(8, 6, 24, true, 40);
  SetKey(Src, 0, 0);
  SetKey(Src, 7, 0);
  auto MaskOf = [](TRect R) {
    TsMaskData M;
    M.R = R;
    M.ImageCount = 1;
    M.WL = M.WT = M.WR = M.WB = 2;
    return M;
  };
  const TsMaskData M = MaskOf(TRect{0, 0, 8, 6});
  // A target width at the end of the range: the right corner's runs cannot be placed and are
  // left out, the left corner's are kept.
  for (int Width : {Min, Max}) {
    std::vector<TRect> Rects;
    AddMaskCornerRects(Rects, Width, M, Src.View(), 0, false);
    ASSERT_EQ(Rects.size(), Width == Max ? 2u : 1u) << Width;
    EXPECT_EQ(Rects[0], (TRect{0, 0, 1, 1}));
    if (Width == Max) {
      EXPECT_EQ(Rects[1], (TRect{Max - 1, 0, Max, 1}));
    }
  }
  // Rectangles whose width does not fit an integer, and far offsets.
  for (const TRect& R : {TRect{Min, 0, Max, 6}, TRect{Max - 1, 0, Max, 6}, TRect{Min, Max - 1, Min + 8, Max}}) {
    const TsMaskData N = MaskOf(R);
    std::vector<TRect> Rects;
    AddMaskCornerRects(Rects, 10, N, Src.View(), Max, false);
    AddMaskCornerRects(Rects, 10, N, Src.View(), Min, true);
    EXPECT_TRUE(Rects.empty());
  }
  std::vector<TRect> Rects;
  AddMaskCornerRects(Rects, 10, M, Src.View(), Max, false);
  EXPECT_TRUE(Rects.empty());  // rows beyond the range
}

TEST(PixelExtremes, TilePixelsWithFarRectangles) {
  Image Src = Numbered(4, 4, 24);
  // A target rectangle from the smallest to the largest integer: the tiles keep their phase,
  // counted from the smallest integer (2^31 is a multiple of the tile size 2).
  Image Dst(3, 3, 24, true, 9);
  TilePixels(Dst.View(), TRect{Min, Min, Max, Max}, Src.View(), TRect{0, 0, 2, 2});
  EXPECT_EQ(Dst.Get(0, 0), (BGRA{10, 20, 7, -1}));
  EXPECT_EQ(Dst.Get(1, 2), (BGRA{11, 20, 7, -1}));
  EXPECT_EQ(Dst.Get(2, 1), (BGRA{10, 21, 7, -1}));
  EXPECT_TRUE(Dst.PaddingIntact());
  // Source rectangles whose size does not fit an integer paint nothing.
  for (const TRect& S : {TRect{Min, 0, Max, 2}, TRect{0, Min, 2, Max}, TRect{Max, Max, Min, Min}}) {
    Image D(3, 3, 24, true, 9);
    TilePixels(D.View(), TRect{0, 0, 3, 3}, Src.View(), S);
    EXPECT_TRUE(Untouched(D, 9));
  }
}

TEST(PixelExtremes, MaskBlendKernelsAgreeOnFarRectangles) {
  // One picture 3 x 2 with its mask below (rows 2-3), mask 128 everywhere; every kernel is given
  // rectangles that start at the smallest integer, so that only (0, 0)-(3, 2) of both is shared.
  Image Src = Numbered(3, 4, 24);
  for (int X = 0; X < 3; ++X)
    for (int Y = 2; Y < 4; ++Y) Src.Set(X, Y, 128, 128, 128);
  auto Expect = [&](Image& D, const char* Kernel) {
    for (int Y = 0; Y < 2; ++Y)
      for (int X = 0; X < 3; ++X)
        EXPECT_EQ(D.Get(X, Y), (BGRA{Blend(200, 10 + X, 128), Blend(200, 20 + Y, 128), Blend(200, 7, 128), -1}))
            << Kernel << " " << X << "," << Y;
    EXPECT_EQ(D.Get(3, 0), (BGRA{200, 200, 200, -1})) << Kernel;
    EXPECT_TRUE(D.PaddingIntact()) << Kernel;
  };
  TacBackground Bg;
  {
    Image D(4, 3, 24, true, 200);
    BlendByMask(TRect{Min, Min, 3, 2}, TRect{Min, Min, 3, 2}, D.View(), Src.View(), Bg, false);
    Expect(D, "BlendByMask");
  }
  {
    Image D(4, 3, 24, true, 200);
    CopyByMaskHalf(TRect{Min, Min, 3, 2}, TRect{Min, Min, 3, 2}, D.View(), Src.View(), Bg, false, 4);
    Expect(D, "CopyByMaskHalf");
  }
  {
    Image D(4, 3, 24, true, 200);
    CopyMaskedWithCache(TRect{Min, Min, 3, 2}, TRect{Min, Min, 3, 2}, D.View(), Src.View(), Bg, 2);
    Expect(D, "CopyMaskedWithCache");
  }
  {
    Image D(4, 3, 24, true, 200);
    CopyMaskedGlyphPixels(D.View(), Min, Min, Src.View(), TRect{Min, Min, 2, 1}, 1, 2, false, 0x1FFFFFFF);
    Expect(D, "CopyMaskedGlyphPixels");
  }
  {
    // The nine-slice copy takes no negative coordinates; far positive ends are cut at the images.
    Image D(4, 3, 24, true, 200);
    MaskCopyPixels(D.View(), TRect{0, 0, 2, 1}, Src.View(), TRect{0, 0, Max, Max}, 1, 2, false, nullptr);
    Expect(D, "MaskCopyPixels");
  }
  // Sizes beyond the range leave the target alone in every kernel.
  Image D(4, 3, 24, true, 200);
  BlendByMask(TRect{Max, Max, Min, Min}, TRect{0, 0, 3, 2}, D.View(), Src.View(), Bg, true);
  CopyByMaskHalf(TRect{0, 0, 3, 2}, TRect{Max, Max, Min, Min}, D.View(), Src.View(), Bg, true, Max);
  CopyMaskedWithCache(TRect{Min, Min, Max, Max}, TRect{Max, Max, Max, Max}, D.View(), Src.View(), Bg, Min);
  CopyMaskedGlyphPixels(D.View(), Max, Max, Src.View(), TRect{0, 0, Max, Max}, 1, Max, true, 0);
  MaskCopyPixels(D.View(), TRect{Max, Max, Max, Max}, Src.View(), TRect{0, 0, 2, 1}, 1, Max, true, nullptr);
  EXPECT_TRUE(Untouched(D, 200));
}
