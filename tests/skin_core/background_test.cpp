// The portable half of the background and painting services: colour shifts and mixing, the
// key-coloured corner runs, the corner and key fills, the masked tile copy, the periodic texture
// copy, the tiling plans of the fill modes, the shadow's grey levels and the text cutting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pixels_test_support.h"
#include "skin/core/sBackground.h"
#include "skin/core/sConst.h"
#include "skin/core/sPaintUtils.h"

using pixtest::BGRA;
using pixtest::Image;

namespace {

constexpr TColor RGBc(int R, int G, int B) { return R | (G << 8) | (B << 16); }

void SetKey(Image& I, int X, int Y) { I.Set(X, Y, 255, 0, 255, 0); }

// A picture whose pixel (x, y) is unique: blue = 10 + x, green = 20 + y, red = 7.
Image Numbered(int W, int H, int Bits) {
  Image I(W, H, Bits);
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X) I.Set(X, Y, 10 + X, 20 + Y, 7, 100 + X);
  return I;
}

BGRA NumberedAt(int X, int Y, int A = 255) { return {10 + X, 20 + Y, 7, A}; }

TsMaskData MaskOf(TRect R, int ImageCount, int MaskType, int W) {
  TsMaskData M;
  M.R = R;
  M.ImageCount = static_cast<std::int16_t>(ImageCount);
  M.MaskType = static_cast<std::int16_t>(MaskType);
  M.WL = M.WT = M.WR = M.WB = static_cast<std::int16_t>(W);
  return M;
}

}  // namespace

// ---- Colour shifts and mixing ---------------------------------------------------------------------

TEST(BackgroundColors, SaturationMovesTowardsAndAwayFromGrey) {
  EXPECT_EQ(ChangeColorSaturation(RGBc(200, 100, 0), 100), RGBc(100, 100, 100));
  // Away from grey, limited to a byte.
  EXPECT_EQ(ChangeColorSaturation(RGBc(200, 100, 0), -50), RGBc(250, 100, 0));
  EXPECT_EQ(ChangeColorSaturation(RGBc(250, 100, 0), -100), RGBc(255, 83, 0));
  // Ties go to the even neighbour: 3 - 0.5 = 2.5 -> 2.
  EXPECT_EQ(ChangeColorSaturation(RGBc(3, 0, 0), 25), RGBc(2, 0, 0));
  // Amount 0 returns the value itself, even a system colour.
  EXPECT_EQ(ChangeColorSaturation(static_cast<TColor>(0x8000000F), 0), static_cast<TColor>(0x8000000F));
}

TEST(BackgroundColors, HueShiftTurnsPrimariesAndKeepsGreys) {
  const TColor Red = RGBc(255, 0, 0), Green = RGBc(0, 255, 0), Blue = RGBc(0, 0, 255);
  EXPECT_EQ(ShiftColorHsv(120, Red), Green);
  EXPECT_EQ(ShiftColorHsv(240, Red), Blue);
  EXPECT_EQ(ShiftColorHsv(0, Red), Red);
  for (int Shift : {1, 90, 200, -77})
    for (TColor Grey : {RGBc(0, 0, 0), RGBc(128, 128, 128), RGBc(255, 255, 255)})
      EXPECT_EQ(ShiftColorHsv(Shift, Grey), Grey) << Shift;
  // The top byte is dropped.
  EXPECT_EQ(ShiftColorHsv(0, static_cast<TColor>(0x120000FF)), Red);
  // (255, 128, 0) has hue 30.1, which rounds to 30: t = 127.5 rounds to the even 128.
  EXPECT_EQ(ShiftColorHsv(0, RGBc(255, 128, 0)), RGBc(255, 128, 0));
  EXPECT_EQ(ShiftColorHsv(60, RGBc(255, 0, 0)), RGBc(255, 255, 0));
}

TEST(BackgroundColors, HueShiftsBetweenCyanAndBlueKeepBlueFullAndLowerGreen) {
  // Hues 180 to 240: blue full, no red, green falling from full at 180 to none at 240 (255 x
  // (240 - hue) / 60, rounded). Red turned by the hue lands there, and a colour there turns back.
  const struct {
    int Hue;
    TColor Colour;
  } Rows[] = {{180, RGBc(0, 255, 255)}, {200, RGBc(0, 170, 255)}, {225, RGBc(0, 64, 255)}, {239, RGBc(0, 4, 255)}};
  for (const auto& R : Rows) {
    EXPECT_EQ(ShiftColorHsv(R.Hue, RGBc(255, 0, 0)), R.Colour) << R.Hue;
    EXPECT_EQ(ShiftColorHsv(0, R.Colour), R.Colour) << R.Hue;
    EXPECT_EQ(ShiftColorHsv(360 - R.Hue, R.Colour), RGBc(255, 0, 0)) << R.Hue;
  }
}

TEST(BackgroundColors, HueShiftBackwardsGoesRoundTheCircle) {
  const TColor Red = RGBc(255, 0, 0);
  EXPECT_EQ(ShiftColorHsv(-120, Red), RGBc(0, 0, 255));
  EXPECT_EQ(ShiftColorHsv(-30, Red), RGBc(255, 0, 128));
  EXPECT_EQ(ShiftColorHsv(-720 - 120, Red), RGBc(0, 0, 255));
  // Extreme shifts neither overflow nor leave the colour space.
  const TColor C = ShiftColorHsv(2147483647, RGBc(10, 200, 30));
  EXPECT_EQ(C & ~0xFFFFFF, 0);
}

TEST(BackgroundColors, MixColorsLinearRoundsPerChannelAndKeepsTheHighByte) {
  EXPECT_EQ(MixColorsLinear(0x000000, 0xFFFFFF, 0.4), 0x999999);
  EXPECT_EQ(MixColorsLinear(RGBc(1, 3, 5), RGBc(0, 0, 0), 0.5), RGBc(0, 2, 2));  // 0.5, 1.5, 2.5
  EXPECT_EQ(MixColorsLinear(static_cast<TColor>(0x12000000), 0x00FFFFFF, 0.0), static_cast<TColor>(0x12FFFFFF));
  // Results beyond a byte keep their low byte.
  EXPECT_EQ(MixColorsLinear(RGBc(200, 0, 0), 0, 2.0), RGBc(400 & 255, 0, 0));
  EXPECT_EQ(MakeColorRec(0x123456), 0x123456);
}

// ---- Key-coloured corner runs ----------------------------------------------------------------------

TEST(BackgroundCorners, KeyRunsOfTheTopCornersBecomeOnePixelRectangles) {
  // Three frames of 10 x 10, margins 3.
  Image Src(30, 10, 24, true, 200);
  for (int X = 0; X < 3; ++X) SetKey(Src, X, 0);  // top-left, row 0: one run
  SetKey(Src, 0, 2);
  SetKey(Src, 2, 2);  // row 2: two runs
  SetKey(Src, 7, 0);  // right corner (frame columns 7..9)
  SetKey(Src, 8, 1);
  SetKey(Src, 9, 1);
  SetKey(Src, 12, 0);  // frame 1: never read
  const TsMaskData M = MaskOf(TRect{0, 0, 30, 10}, 3, 0, 3);
  std::vector<TRect> Rects;
  AddMaskCornerRects(Rects, 50, M, Src.View(), 100, false);
  const std::vector<TRect> Want = {{0, 100, 3, 101}, {0, 102, 1, 103}, {2, 102, 3, 103},
                                   {47, 100, 48, 101}, {48, 101, 50, 102}};
  EXPECT_EQ(Rects, Want);
}

TEST(BackgroundCorners, BottomRowsAndFramesWithAMaskHalf) {
  // One frame 10 x 16 with a mask half: the picture is 8 rows high, its bottom rows 5..7.
  Image Src(10, 16, 24, false, 50);
  SetKey(Src, 0, 7);
  SetKey(Src, 0, 15);  // a mask row: never read
  TsMaskData M = MaskOf(TRect{0, 0, 10, 16}, 1, 1, 3);
  std::vector<TRect> Rects;
  AddMaskCornerRects(Rects, 10, M, Src.View(), 40, true);
  EXPECT_EQ(Rects, (std::vector<TRect>{{0, 42, 1, 43}}));

  // A picture not high enough for the rows gives nothing; so do bad geometries.
  Image Short(10, 6, 24, false, 50);
  Rects.clear();
  M.MaskType = 0;
  AddMaskCornerRects(Rects, 10, M, Short.View(), 0, true);
  M.MaskType = -1;
  AddMaskCornerRects(Rects, 10, M, Src.View(), 0, true);
  M.MaskType = 0;
  M.ImageCount = 0;  // taken as one frame
  M.R = TRect{-5, 0, 5, 16};
  AddMaskCornerRects(Rects, 10, M, Src.View(), 0, false);
  EXPECT_TRUE(Rects.empty());
}

TEST(BackgroundCorners, FillTransparentFromBGReplacesKeyPixelsByTheWholeBackgroundPixel) {
  Image Dst(6, 4, 32, true, 90);
  SetKey(Dst, 1, 1);
  SetKey(Dst, 4, 2);
  SetKey(Dst, 0, 0);  // outside R
  Dst.Set(2, 1, 255, 0, 255, 77);  // key colour with another alpha: still a key pixel
  Image Bg = Numbered(20, 20, 32);
  FillTransparentFromBG(Dst.View(), Bg.View(), TRect{1, 1, 5, 3}, TPoint{10, 5}, nullptr, TPoint{});
  EXPECT_EQ(Dst.Get(1, 1), NumberedAt(10, 5, 110));
  EXPECT_EQ(Dst.Get(2, 1), NumberedAt(11, 5, 111));
  EXPECT_EQ(Dst.Get(4, 2), NumberedAt(13, 6, 113));
  EXPECT_EQ(Dst.Get(0, 0), (BGRA{255, 0, 255, 0}));
  EXPECT_EQ(Dst.Get(3, 1), (BGRA{90, 90, 90, 90}));
  EXPECT_TRUE(Dst.PaddingIntact());
}

TEST(BackgroundCorners, FillTransparentFromBGReadsTheKeyFromAnotherPictureAndClips) {
  // The key test reads the bottom-right corner of a 30-pixel image with three frames and WR 4:
  // columns 6..9.
  Image Key(30, 10, 24, true, 0);
  for (int X = 0; X < 30; ++X) SetKey(Key, X, 9);
  Key.Set(7, 9, 1, 2, 3);
  Image Dst(4, 1, 32, true, 90);
  Image Bg = Numbered(4, 1, 32);
  const TacPixels KeyView = Key.View();
  FillTransparentFromBG(Dst.View(), Bg.View(), TRect{0, 0, 4, 1}, TPoint{0, 0}, &KeyView, TPoint{6, 9});
  EXPECT_EQ(Dst.Get(0, 0), NumberedAt(0, 0, 100));
  EXPECT_EQ(Dst.Get(1, 0), (BGRA{90, 90, 90, 90}));
  EXPECT_EQ(Dst.Get(3, 0), NumberedAt(3, 0, 103));

  // Huge and negative rectangles, points outside the pictures: only what lies inside is read.
  Image D2(5, 5, 32, true, 0);
  for (int Y = 0; Y < 5; ++Y)
    for (int X = 0; X < 5; ++X) SetKey(D2, X, Y);
  FillTransparentFromBG(D2.View(), Bg.View(), TRect{-1000000, -1000000, 1000000, 1000000}, TPoint{-1000000, -1000000},
                        nullptr, TPoint{});
  EXPECT_EQ(D2.Get(2, 0), NumberedAt(2, 0, 102));
  EXPECT_EQ(D2.Get(0, 1), (BGRA{255, 0, 255, 0}));  // Bg has one row only
  FillTransparentFromBG(D2.View(), Bg.View(), TRect{5, 5, 0, 0}, TPoint{}, nullptr, TPoint{});
  // A 24-bit target is not handled.
  Image D24(4, 1, 24, true, 0);
  SetKey(D24, 0, 0);
  FillTransparentFromBG(D24.View(), Bg.View(), TRect{0, 0, 4, 1}, TPoint{}, nullptr, TPoint{});
  EXPECT_EQ(D24.Get(0, 0), (BGRA{255, 0, 255, -1}));
  EXPECT_TRUE(D2.PaddingIntact());
}

// ---- The masked tile copy --------------------------------------------------------------------------

namespace {

// A frame of 3 x 4 with its mask below: column 0 key-coloured, the rest (50, 60, 70) over a
// black mask (opaque), but pixel (2, 1) whose mask is white and pixel (1, 2) whose mask is 128.
Image MaskedTile() {
  Image S(3, 8, 24, true, 0);
  for (int Y = 0; Y < 4; ++Y) {
    SetKey(S, 0, Y);
    for (int X = 1; X < 3; ++X) S.Set(X, Y, 50, 60, 70);
  }
  S.Set(2, 5, 255, 255, 255);
  S.Set(1, 6, 128, 128, 128);
  return S;
}

int Blend(int D, int S, int M) { return ((D - S) * M + S * 256) >> 8; }

}  // namespace

TEST(BackgroundMaskedCopy, BlendsThroughTheMaskAndTakesKeysFromThePicture) {
  Image Src = MaskedTile();
  Image Dst(8, 6, 24, true, 200);
  Image Cache = Numbered(20, 20, 24);
  TacBackground Bg;
  Bg.Bmp = Cache.View();
  Bg.X = 5;
  Bg.Y = 7;
  Bg.Ready = true;
  CopyMaskedWithCache(TRect{2, 1, 5, 5}, TRect{0, 0, 3, 4}, Dst.View(), Src.View(), Bg, 4);
  EXPECT_EQ(Dst.Get(3, 1), (BGRA{50, 60, 70, -1}));  // opaque
  EXPECT_EQ(Dst.Get(4, 2), (BGRA{Blend(200, 50, 255), Blend(200, 60, 255), Blend(200, 70, 255), -1}));
  EXPECT_EQ(Dst.Get(3, 3), (BGRA{Blend(200, 50, 128), Blend(200, 60, 128), Blend(200, 70, 128), -1}));
  // Key column: the picture at the target position plus (5, 7).
  EXPECT_EQ(Dst.Get(2, 1), (BGRA{10 + 7, 20 + 8, 7, -1}));
  EXPECT_EQ(Dst.Get(2, 4), (BGRA{10 + 7, 20 + 11, 7, -1}));
  EXPECT_EQ(Dst.Get(1, 1), (BGRA{200, 200, 200, -1}));
  EXPECT_EQ(Dst.Get(5, 1), (BGRA{200, 200, 200, -1}));
  EXPECT_TRUE(Dst.PaddingIntact());
}

TEST(BackgroundMaskedCopy, KeyPixelsByTheFillColour) {
  Image Src = MaskedTile();
  auto KeyPixelAfter = [&](bool Ready, TColor Fill) {
    Image Dst(3, 4, 32, true, 200);
    TacBackground Bg;
    Bg.Ready = Ready;
    Bg.FillColor = Fill;
    CopyMaskedWithCache(TRect{0, 0, 3, 4}, TRect{0, 0, 3, 4}, Dst.View(), Src.View(), Bg, 4);
    EXPECT_EQ(Dst.Get(1, 0), (BGRA{50, 60, 70, 255}));  // written 32-bit pixels are opaque
    return Dst.Get(0, 0);
  };
  EXPECT_EQ(KeyPixelAfter(true, RGBc(1, 2, 3)), (BGRA{3, 2, 1, 255}));
  EXPECT_EQ(KeyPixelAfter(false, RGBc(1, 2, 3)), (BGRA{3, 2, 1, 255}));
  EXPECT_EQ(KeyPixelAfter(false, clKeyColor), (BGRA{200, 200, 200, 200}));
  // Ready, but no usable picture: the pixel stays.
  EXPECT_EQ(KeyPixelAfter(true, clKeyColor), (BGRA{200, 200, 200, 200}));
}

TEST(BackgroundMaskedCopy, ClipsNegativeOriginsAndBothPictures) {
  Image Src = MaskedTile();
  Image Dst(2, 2, 24, true, 200);
  TacBackground Bg;
  Bg.FillColor = RGBc(9, 9, 9);
  // Column -1 of the target is cut off: target column 0 takes source column 1.
  CopyMaskedWithCache(TRect{-1, -2, 2, 2}, TRect{0, 0, 3, 4}, Dst.View(), Src.View(), Bg, 4);
  // Row -2 and column -1 are cut off: target (0, 0) takes source (1, 2), whose mask is 128.
  EXPECT_EQ(Dst.Get(0, 0), (BGRA{Blend(200, 50, 128), Blend(200, 60, 128), Blend(200, 70, 128), -1}));
  EXPECT_EQ(Dst.Get(1, 0), (BGRA{50, 60, 70, -1}));
  EXPECT_TRUE(Dst.PaddingIntact());
  // A negative source origin moves the target too; huge rectangles stay inside.
  Image D2(4, 4, 24, true, 200);
  CopyMaskedWithCache(TRect{0, 0, 1000000, 1000000}, TRect{-2, 0, 1000000, 1000000}, D2.View(), Src.View(), Bg, 4);
  EXPECT_EQ(D2.Get(2, 0), (BGRA{9, 9, 9, -1}));  // source column 0 (key) lands at target column 2
  EXPECT_EQ(D2.Get(3, 0), (BGRA{50, 60, 70, -1}));
  EXPECT_EQ(D2.Get(0, 0), (BGRA{200, 200, 200, -1}));
  // A mask beyond the source counts as 0 (the picture is copied).
  Image D3(3, 1, 24, true, 200);
  CopyMaskedWithCache(TRect{0, 0, 3, 1}, TRect{0, 3, 3, 4}, D3.View(), Src.View(), Bg, 100);
  EXPECT_EQ(D3.Get(2, 0), (BGRA{50, 60, 70, -1}));
  EXPECT_TRUE(D2.PaddingIntact());
}

// ---- Corner fill of a cache picture ------------------------------------------------------------------

namespace {

// A frame of 8 x 6 at (0, 0) with key pixels in each corner's outermost pixel; margins 2.
TacCornerFrame KeyCornerFrame(Image& Src, int MaskType = 0) {
  SetKey(Src, 0, 0);
  SetKey(Src, 0, 5);
  SetKey(Src, 7, 5);
  SetKey(Src, 7, 0);
  TacCornerFrame F;
  F.Src = Src.View();
  F.Width = 8;
  F.Height = 6;
  F.MaskType = MaskType;
  F.WL = F.WT = F.WR = F.WB = 2;
  return F;
}

}  // namespace

TEST(BackgroundCornerFill, KeyPixelsTakeTheParentsPictureUnderThem) {
  Image Src(8, 6, 24, true, 40);
  const TacCornerFrame F = KeyCornerFrame(Src);
  Image Cache(10, 8, 24, true, 128);
  Image Parent = Numbered(20, 20, 24);
  TacBackground Bg;
  Bg.Bmp = Parent.View();
  Bg.X = 3;
  Bg.Y = 4;
  Bg.Ready = true;
  FillCornersFromBackground(Cache.View(), 10, 8, F, Bg, acCornersAll);
  EXPECT_EQ(Cache.Get(0, 0), (BGRA{10 + 3, 20 + 4, 7, -1}));
  EXPECT_EQ(Cache.Get(0, 7), (BGRA{10 + 3, 20 + 11, 7, -1}));
  EXPECT_EQ(Cache.Get(9, 7), (BGRA{10 + 12, 20 + 11, 7, -1}));
  EXPECT_EQ(Cache.Get(9, 0), (BGRA{10 + 12, 20 + 4, 7, -1}));
  // Pixels that are not key pixels, and pixels outside the corners, stay.
  EXPECT_EQ(Cache.Get(1, 0), (BGRA{128, 128, 128, -1}));
  EXPECT_EQ(Cache.Get(5, 4), (BGRA{128, 128, 128, -1}));
  EXPECT_TRUE(Cache.PaddingIntact());
}

TEST(BackgroundCornerFill, ChosenCornersOnlyAndTheAnswersColour) {
  Image Src(8, 6, 24, true, 40);
  const TacCornerFrame F = KeyCornerFrame(Src);
  Image Cache(10, 8, 24, true, 128);
  TacBackground Bg;
  Bg.FillColor = RGBc(255, 0, 0);
  FillCornersFromBackground(Cache.View(), 10, 8, F, Bg, acCornerTopLeft | acCornerBottomRight);
  EXPECT_EQ(Cache.Get(0, 0), (BGRA{0, 0, 255, -1}));
  EXPECT_EQ(Cache.Get(9, 7), (BGRA{0, 0, 255, -1}));
  EXPECT_EQ(Cache.Get(0, 7), (BGRA{128, 128, 128, -1}));
  EXPECT_EQ(Cache.Get(9, 0), (BGRA{128, 128, 128, -1}));
  // Nothing known of the background: key pixels stay.
  Image C2(10, 8, 24, true, 128);
  FillCornersFromBackground(C2.View(), 10, 8, F, TacBackground{}, acCornersAll);
  EXPECT_EQ(C2.Get(0, 0), (BGRA{128, 128, 128, -1}));
}

TEST(BackgroundCornerFill, MaskedFramesBlendTheirCornersOverTheBackground) {
  // One frame 8 x 6 with its mask rows 6..11: pixel (1, 0) half transparent.
  Image Src(8, 12, 24, true, 0);
  for (int Y = 0; Y < 6; ++Y)
    for (int X = 0; X < 8; ++X) Src.Set(X, Y, 40, 50, 60);
  const TacCornerFrame F = KeyCornerFrame(Src, 1);
  Src.Set(1, 6, 128, 128, 128);
  Image Cache(10, 8, 32, true, 128);
  TacBackground Bg;
  Bg.FillColor = RGBc(200, 100, 0);  // blue 0, green 100, red 200
  FillCornersFromBackground(Cache.View(), 10, 8, F, Bg, acCornersAll);
  EXPECT_EQ(Cache.Get(0, 0), (BGRA{0, 100, 200, 255}));
  EXPECT_EQ(Cache.Get(1, 0), (BGRA{Blend(0, 40, 128), Blend(100, 50, 128), Blend(200, 60, 128), 255}));
  EXPECT_EQ(Cache.Get(1, 1), (BGRA{40, 50, 60, 255}));  // opaque corner pixel: the image
  EXPECT_EQ(Cache.Get(3, 0), (BGRA{128, 128, 128, 128}));  // beyond the corner
}

TEST(BackgroundCornerFill, SmallCachesAndHugeMarginsStayInside) {
  Image Src(8, 6, 24, true, 40);
  TacCornerFrame F = KeyCornerFrame(Src);
  F.WL = F.WT = F.WR = F.WB = 30000;
  Image Cache(3, 2, 24, true, 128);
  TacBackground Bg;
  Bg.FillColor = RGBc(1, 2, 3);
  // The owner is larger than its cache picture.
  FillCornersFromBackground(Cache.View(), 50, 50, F, Bg, acCornersAll);
  EXPECT_EQ(Cache.Get(0, 0), (BGRA{3, 2, 1, -1}));
  EXPECT_TRUE(Cache.PaddingIntact());
  Image Empty(0, 0, 24);
  FillCornersFromBackground(Empty.View(), 5, 5, F, Bg, acCornersAll);
}

// ---- Texture plans and the periodic copy -------------------------------------------------------------

TEST(BackgroundTexturePlan, ModesCoverTheirPartsAndHandBackTheRest) {
  const TRect R{10, 20, 50, 60};
  struct Case {
    int Mode;
    TRect Area;
    TPoint Anchor;
    TRect Rest;
    bool Stretch = false;
  };
  const Case Cases[] = {
      {1, R, {10, 20}, acNoRect, true},
      {4, {10, 20, 50, 23}, {10, 20}, {10, 23, 50, 60}, true},  // a band as high as the texture
      {5, {10, 20, 14, 60}, {10, 20}, {14, 20, 50, 60}, true},
      {0, R, {10, 20}, acNoRect},
      {2, {10, 20, 50, 23}, {10, 20}, {10, 23, 50, 60}},
      {3, {10, 20, 14, 60}, {10, 20}, {14, 20, 50, 60}},
      {6, {10, 57, 50, 60}, {10, 57}, {10, 20, 50, 57}},
      {7, {46, 20, 50, 60}, {46, 20}, {10, 20, 46, 60}},
      {8, {46, 20, 50, 60}, {46, 20}, {10, 20, 46, 60}},  // unknown modes work like 7
      // Whole rows of tiles while a row starts above Bottom - 3: rows at 20 .. 56.
      {10, {10, 20, 50, 59}, {10, 20}, acNoRect},
  };
  for (const Case& C : Cases) {
    const TacTexturePlan P = TexturePlan(R, 4, 3, C.Mode);
    EXPECT_EQ(P.Stretch, C.Stretch) << C.Mode;
    EXPECT_EQ(P.Area, C.Area) << C.Mode;
    EXPECT_EQ(P.Anchor, C.Anchor) << C.Mode;
    EXPECT_EQ(P.Rest, C.Rest) << C.Mode;
  }
  // Mode 10 leaves a whole last row when the height is an exact multiple.
  EXPECT_EQ(TexturePlan(TRect{0, 0, 9, 9}, 3, 3, 10).Area, (TRect{0, 0, 9, 6}));
  EXPECT_TRUE(TexturePlan(TRect{0, 0, 9, 3}, 3, 3, 10).Area.Right == 0);
  // Bands never reach outside a rectangle smaller than the texture.
  EXPECT_EQ(TexturePlan(TRect{0, 0, 10, 2}, 4, 3, 6).Area, (TRect{0, 0, 10, 2}));
  EXPECT_EQ(TexturePlan(TRect{0, 0, 2, 10}, 4, 3, 7).Area, (TRect{0, 0, 2, 10}));
  // An empty texture or rectangle paints nothing and hands the rectangle back.
  for (int Mode : {0, 1, 4, 10}) {
    EXPECT_EQ(TexturePlan(R, 0, 3, Mode).Rest, R);
    EXPECT_EQ(TexturePlan(TRect{5, 5, 5, 9}, 4, 3, Mode).Rest, (TRect{5, 5, 5, 9}));
  }
}

TEST(BackgroundTexturePlan, MaskedTilesAndTheirRemainders) {
  TacMaskedPlan P = MaskedTexturePlan(TRect{0, 0, 10, 10}, 3, 4, 10);
  EXPECT_EQ(P.Tiles, (TRect{0, 0, 9, 8}));
  EXPECT_EQ(P.BottomStrip, (TRect{0, 8, 10, 10}));
  EXPECT_EQ(P.RightStrip, (TRect{9, 0, 10, 10}));
  P = MaskedTexturePlan(TRect{0, 0, 10, 10}, 3, 4, 0);
  EXPECT_EQ(P.Tiles, (TRect{0, 0, 10, 10}));
  EXPECT_EQ(P.BottomStrip, TRect{});
  // Narrower than a tile: everything comes from the background.
  P = MaskedTexturePlan(TRect{0, 0, 2, 10}, 3, 4, 10);
  EXPECT_EQ(P.Tiles, TRect{});
  EXPECT_EQ(P.BottomStrip, (TRect{0, 0, 2, 10}));
  EXPECT_EQ(P.RightStrip, (TRect{0, 0, 2, 10}));
  P = MaskedTexturePlan(TRect{0, 0, 10, 10}, 3, 4, 5);
  EXPECT_EQ(P.Tiles, TRect{});
  EXPECT_EQ(P.RightStrip, TRect{});
}

TEST(BackgroundTilePixels, LaysTheTextureFromItsAnchor) {
  Image Src = Numbered(5, 5, 24);
  Image Dst(10, 10, 32, true, 3);
  TilePixels(Dst.View(), TRect{2, 1, 9, 10}, TPoint{2, 1}, Src.View(), TRect{1, 1, 3, 4});
  EXPECT_EQ(Dst.Get(2, 1), NumberedAt(1, 1));
  EXPECT_EQ(Dst.Get(4, 1), NumberedAt(1, 1));
  EXPECT_EQ(Dst.Get(3, 2), NumberedAt(2, 2));
  EXPECT_EQ(Dst.Get(8, 9), NumberedAt(1, 3));
  EXPECT_EQ(Dst.Get(9, 9), (BGRA{3, 3, 3, 3}));
  EXPECT_EQ(Dst.Get(2, 0), (BGRA{3, 3, 3, 3}));
  // An anchor outside the area keeps the phase; areas beyond the picture are clipped.
  Image D2(4, 4, 24, true, 3);
  TilePixels(D2.View(), TRect{-100, -100, 100, 100}, TPoint{5, 5}, Src.View(), TRect{1, 1, 3, 4});
  EXPECT_EQ(D2.Get(0, 0), (BGRA{10 + 2, 20 + 2, 7, -1}));  // (-5 mod 2, -5 mod 3) = (1, 1)
  EXPECT_EQ(D2.Get(1, 3), (BGRA{10 + 1, 20 + 2, 7, -1}));
  EXPECT_TRUE(Dst.PaddingIntact());
  EXPECT_TRUE(D2.PaddingIntact());
  // A 32-bit source into a 32-bit target keeps its alpha; an empty source paints nothing.
  Image S32 = Numbered(2, 2, 32);
  Image D3(3, 1, 32, true, 3);
  TilePixels(D3.View(), TRect{0, 0, 3, 1}, TPoint{0, 0}, S32.View(), TRect{0, 0, 2, 2});
  EXPECT_EQ(D3.Get(2, 0), NumberedAt(0, 0, 100));
  TilePixels(D3.View(), TRect{0, 0, 3, 1}, TPoint{0, 0}, S32.View(), TRect{5, 5, 9, 9});
  EXPECT_EQ(D3.Get(2, 0), NumberedAt(0, 0, 100));
}

TEST(BackgroundShadow, RingLevelsAndLimits) {
  TacShadowRings S = ShadowRings(40, 20, 50, 2, 30);
  EXPECT_EQ(S.Blur, 2);
  EXPECT_EQ(S.Radius, 10);
  EXPECT_EQ(S.Core, 127);
  EXPECT_EQ(S.Levels, (std::vector<int>{255, 127 + 85, 127 + 43}));  // k = 128 / 3
  S = ShadowRings(2, 50, 0, 9, 9);  // 2 pixels wide: at most 1
  EXPECT_EQ(S.Blur, 1);
  EXPECT_EQ(S.Radius, 1);
  S = ShadowRings(10, 10, 250, -3, -3);
  EXPECT_EQ(S.Blur, 0);
  EXPECT_EQ(S.Levels, (std::vector<int>{255}));
  EXPECT_EQ(S.Core, 255);
}

// ---- Text cutting --------------------------------------------------------------------------------

TEST(BackgroundText, CutTextToWidthKeepsTheLongestPrefixThatFitsWithDots) {
  int Calls = 0;
  auto Ten = [&Calls](const WideString& S) {
    ++Calls;
    return static_cast<int>(S.size()) * 10;
  };
  EXPECT_EQ(CutTextToWidth(L"abcdefgh", 0, Ten), L"");
  EXPECT_EQ(Calls, 0);
  EXPECT_EQ(CutTextToWidth(L"abcdefgh", 80, Ten), L"abcdefgh");
  EXPECT_EQ(CutTextToWidth(L"abcdefgh", 79, Ten), L"abcd...");
  EXPECT_EQ(CutTextToWidth(L"abcdefgh", 55, Ten), L"ab...");
  EXPECT_EQ(CutTextToWidth(L"abcdefgh", 39, Ten), L"");  // "a..." is 40 wide
  EXPECT_EQ(CutTextToWidth(L"", 10, Ten), L"");
  // A surrogate pair is never split.
  const WideString Smile = L"a\xD83D\xDE00xyzw";
  EXPECT_EQ(CutTextToWidth(Smile, 50, Ten), L"a...");
  EXPECT_EQ(CutTextToWidth(Smile, 60, Ten), L"a\xD83D\xDE00...");
  // Byte strings too.
  auto Bytes = [](const AnsiString& S) { return static_cast<int>(S.size()) * 7; };
  EXPECT_EQ(CutTextToWidth(AnsiString("Channel list"), 60, Bytes), "Chann...");
  // Long text is not measured once per character.
  Calls = 0;
  EXPECT_EQ(CutTextToWidth(WideString(100000, L'x'), 100, Ten), L"xxxxxxx...");
  EXPECT_LT(Calls, 100);
}
