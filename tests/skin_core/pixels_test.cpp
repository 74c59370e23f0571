// The pixel loops of the skin engine on images in plain memory.
#include <gtest/gtest.h>

#include <cmath>

#include "pixels_test_support.h"
#include "skin/core/acPixels.h"

using namespace pixtest;

namespace {
const TacBackground NoBackground;
constexpr TColor NoKey = static_cast<TColor>(0xFF000000u);
constexpr TColor Magenta = 0xFF00FF;
}  // namespace

// ---------------------------------------------------------------------------------------------
// Views and accessors

TEST(PixelView, RejectsDescriptionsThatDoNotMakeAnImage) {
  Byte Buf[64] = {};
  EXPECT_THROW(TacPixels(Buf, 16, 2, 2, 16), EInvalidGraphic);
  EXPECT_THROW(TacPixels(Buf, 16, -1, 2, 24), EInvalidGraphic);
  EXPECT_THROW(TacPixels(nullptr, 16, 2, 2, 24), EInvalidGraphic);
  EXPECT_THROW(TacPixels(Buf, 5, 2, 2, 24), EInvalidGraphic);   // rows 5 bytes apart, 6 wide
  EXPECT_THROW(TacPixels(Buf, -5, 2, 2, 24), EInvalidGraphic);
  EXPECT_NO_THROW(TacPixels(Buf, 6, 2, 2, 24));
  EXPECT_NO_THROW(TacPixels(nullptr, 0, 0, 0, 32));
}

TEST(PixelAccess, ColorsAndPixelBytes) {
  const std::uint32_t v = ColorToBGRA(0x00123456);
  const Byte* b = reinterpret_cast<const Byte*>(&v);
  EXPECT_EQ(b[0], 0x12);
  EXPECT_EQ(b[1], 0x34);
  EXPECT_EQ(b[2], 0x56);
  EXPECT_EQ(b[3], 0xFF);

  Image im(3, 2, 24, false);  // top-down rows
  im.Set(2, 1, 1, 2, 3);
  TacFast24 F;
  ASSERT_TRUE(F.Attach(im.View()));
  EXPECT_EQ(F.GetPixel(2, 1), 0x00010203);  // red 3, green 2, blue 1
  F.SetPixel(0, 1, 0x00AABBCC);
  EXPECT_EQ(im.Get(0, 1), Px24(0xAA, 0xBB, 0xCC));

  Image im32(2, 2, 32);
  TacFast32 F32;
  ASSERT_TRUE(F32.Attach(im32.View()));
  F32.SetPixel(1, 0, static_cast<TColor>(0x80102030u));
  EXPECT_EQ(im32.Get(1, 0), Px32(0x10, 0x20, 0x30, 0x80));
  EXPECT_EQ(static_cast<std::uint32_t>(F32.GetPixel(1, 0)), 0x80102030u);
}

TEST(PixelAccess, AttachNeedsTwoByTwoPixelsOfItsDepth) {
  Image Row1(5, 1, 24), Col1(1, 5, 24), Ok24(2, 2, 24), Ok32(2, 2, 32);
  TacFast24 F;
  ASSERT_TRUE(F.Attach(Ok24.View()));
  EXPECT_FALSE(F.Attach(Row1.View()));
  EXPECT_EQ(F.Width(), 0);
  EXPECT_FALSE(F.Attach(Col1.View()));
  EXPECT_FALSE(F.Attach(Ok32.View()));
  TacFast32 F32;
  EXPECT_FALSE(F32.Attach(Ok24.View()));
  TacFastSum24 S;
  EXPECT_FALSE(S.Attach(Ok24.View(), Row1.View()));
  EXPECT_TRUE(S.Attach(Ok24.View(), Ok24.View()));
}

TEST(PixelAccess, PixelsOutsideTheImageRaiseRangeErrors) {
  Image im(3, 2, 32);
  TacFast32 F;
  EXPECT_THROW(F.GetPixel(0, 0), ERangeError);  // not bound
  ASSERT_TRUE(F.Attach(im.View()));
  EXPECT_THROW(F.GetPixel(3, 0), ERangeError);
  EXPECT_THROW(F.SetPixel(0, -1, 0), ERangeError);
  TacFast24 F24;
  EXPECT_THROW(F24.SetPixel(0, 0, 0), ERangeError);
  EXPECT_TRUE(im.PaddingIntact());
}

TEST(PixelAccess, FillRectIsClippedToTheImage) {
  // Regression: the fill took its rectangle as given and wrote outside the image.
  Image im(4, 3, 32);
  TacFast32 F;
  ASSERT_TRUE(F.Attach(im.View()));
  F.FillRect(Rect(-5, 1, 100, 100), 0x11223344u);
  EXPECT_EQ(im.Get(0, 0), Px32(0, 0, 0, 0));
  EXPECT_EQ(im.Get(0, 1), Px32(0x44, 0x33, 0x22, 0x11));
  EXPECT_EQ(im.Get(3, 2), Px32(0x44, 0x33, 0x22, 0x11));
  F.FillRect(Rect(3, 0, 1, 2), 0);  // negative width: nothing
  EXPECT_EQ(im.Get(2, 1), Px32(0x44, 0x33, 0x22, 0x11));
  EXPECT_TRUE(im.PaddingIntact());

  FillRect32(im.View(), Rect(0, 0, 1, 1), 0x00123456);
  EXPECT_EQ(im.Get(0, 0), Px32(0x12, 0x34, 0x56, 255));
  Image Tiny(1, 3, 32);
  FillRect32(Tiny.View(), Rect(0, 0, 1, 3), 0x00123456);  // under 2 x 2: nothing
  EXPECT_EQ(Tiny.Get(0, 1), Px32(0, 0, 0, 0));
}

TEST(PixelAccess, AccessorsOfTheCallerSurviveTheRoutinesItCalls) {
  // Regression: routines re-bound shared accessors, so a painter holding one while it called a
  // routine read another image afterwards.
  Image Mine(3, 3, 24), Bg(4, 4, 24), Src(2, 4, 24), Dst(2, 2, 24);
  Mine.Set(1, 1, 1, 2, 3);
  Bg.SetAll(50, 60, 70);
  Src.SetAll(0xFF, 0, 0xFF);  // all key pixels: they take the background
  TacFast24 Outer;
  ASSERT_TRUE(Outer.Attach(Mine.View()));
  TacBackground B;
  B.Bmp = Bg.View();
  B.Ready = true;
  CopyByMaskHalf(Rect(0, 0, 2, 2), Rect(0, 0, 2, 2), Dst.View(), Src.View(), B, true, 4);
  BlendBitmapRect(Dst.View(), Bg.View(), 255, Rect(0, 0, 2, 2), Point(0, 0));
  EXPECT_EQ(Dst.Get(0, 0), Px24(50, 60, 70));
  EXPECT_EQ(Outer.GetPixel(1, 1), 0x00010203);
}

// ---------------------------------------------------------------------------------------------
// Constant-weight blends

TEST(FastSum, BlendsEveryByteByTheWeight) {
  Image S(2, 2, 24), D(2, 2, 24);
  S.SetAll(200, 0, 255);
  D.SetAll(100, 255, 0);
  TacFastSum24 Sum;
  ASSERT_TRUE(Sum.Attach(S.View(), D.View()));
  Sum.Alpha = 128;
  Sum.DstRect = Rect(0, 0, 2, 2);
  Sum.SrcRect = Rect(0, 0, 2, 2);
  Sum.Blend();
  EXPECT_EQ(D.Get(1, 1), Px24(149, SumByte(0, 255, 128), SumByte(255, 0, 128)));
}

TEST(FastSum, SourceRowsAlignOnTheBottomEdgesAndColumnsOnTheLeftEdges) {
  Image S(4, 4, 24), D(4, 4, 24);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) S.Set(x, y, x * 10 + y, 0, 0);
  TacFastSum24 Sum;
  ASSERT_TRUE(Sum.Attach(S.View(), D.View()));
  Sum.Alpha = 0;
  Sum.DstRect = Rect(0, 0, 2, 2);
  Sum.SrcRect = Rect(1, 0, 99, 3);  // only Left and Bottom count: rows 1..2, columns 1..2
  Sum.Blend();
  EXPECT_EQ(D.Get(0, 0)[0], SumByte(11, 0, 0));
  EXPECT_EQ(D.Get(1, 1)[0], SumByte(22, 0, 0));
  EXPECT_EQ(D.Get(2, 2)[0], 0);
}

TEST(FastSum, BlendIsClippedToBothImages) {
  // Regression: the blend trusted its rectangles and ran past both images.
  Image S(3, 2, 32), D(4, 5, 32);
  S.SetAll(255, 255, 255, 255);
  TacFastSum32 Sum;
  ASSERT_TRUE(Sum.Attach(S.View(), D.View()));
  Sum.Alpha = 0;
  Sum.DstRect = Rect(-2, -2, 50, 50);
  Sum.SrcRect = Rect(-2, -2, 50, 50);
  Sum.Blend();
  EXPECT_EQ(D.Get(2, 1), Px32(254, 254, 254, 254));
  EXPECT_EQ(D.Get(3, 1), Px32(0, 0, 0, 0));
  EXPECT_EQ(D.Get(0, 2), Px32(0, 0, 0, 0));
  EXPECT_TRUE(S.PaddingIntact());
  EXPECT_TRUE(D.PaddingIntact());
}

TEST(FastSum, AnAreaBlendedOntoAnOverlappingAreaOfTheSameImageReadsTheOriginal) {
  // One pixel to the right in the same rows, then one pixel down in the same columns.
  for (const TPoint Shift : {Point(1, 0), Point(0, 1)}) {
    Image im(5, 4, 24);
    for (int x = 0; x < 5; ++x)
      for (int y = 0; y < 4; ++y) im.Set(x, y, 40 * x + 10 * y, 0, 0);
    TacFastSum24 Sum;
    ASSERT_TRUE(Sum.Attach(im.View(), im.View()));
    Sum.Alpha = 0;
    Sum.DstRect = Rect(Shift.X, Shift.Y, 5, 4);
    Sum.SrcRect = Rect(0, 0, 5 - Shift.X, 4 - Shift.Y);
    Sum.Blend();
    for (int x = Shift.X; x < 5; ++x)
      for (int y = Shift.Y; y < 4; ++y)
        EXPECT_EQ(im.Get(x, y)[0], SumByte(40 * (x - Shift.X) + 10 * (y - Shift.Y), 0, 0)) << x << "," << y;
  }
}

TEST(BlendBitmaps, FactorEdgeValues) {
  Image S(2, 2, 24), D(2, 2, 24);
  S.Set(0, 0, 255, 0, 7);
  D.Set(0, 0, 10, 20, 30);
  BlendBitmapsByFactor(D.View(), S.View(), 0);
  EXPECT_EQ(D.Get(0, 0), Px24(254, 0, 7));  // s - 1 for 255, s for 0
  S.Set(0, 0, 100, 200, 0);
  D.Set(0, 0, 10, 20, 30);
  BlendBitmapsByFactor(D.View(), S.View(), 255);  // the target kept at 255/256 strength
  EXPECT_EQ(D.Get(0, 0), Px24((255 * 10 + 127) >> 8, (255 * 20 + 127) >> 8, (255 * 30 + 127) >> 8));

  Image Other(3, 2, 24);
  Other.SetAll(1, 2, 3);
  BlendBitmapsByFactor(Other.View(), S.View(), 0);  // sizes differ: nothing
  EXPECT_EQ(Other.Get(0, 0), Px24(1, 2, 3));
}

TEST(BlendBitmaps, RectIsPlacedAndClippedOnBothImages) {
  Image S(4, 4, 24), D(4, 4, 24);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) S.Set(x, y, 10 * x + y, 0, 0);
  // A negative destination point drops the source pixels that would land outside.
  BlendBitmapRect(D.View(), S.View(), 0, Rect(0, 0, 4, 4), Point(-1, -1));
  EXPECT_EQ(D.Get(0, 0)[0], SumByte(11, 0, 0));
  EXPECT_EQ(D.Get(2, 2)[0], SumByte(33, 0, 0));
  EXPECT_EQ(D.Get(3, 3)[0], 0);

  // A source rect below the top of the source blends the rows from that top.
  Image D2(4, 4, 24);
  BlendBitmapRect(D2.View(), S.View(), 0, Rect(1, 2, 3, 4), Point(0, 0));
  EXPECT_EQ(D2.Get(0, 0)[0], SumByte(12, 0, 0));
  EXPECT_EQ(D2.Get(1, 1)[0], SumByte(23, 0, 0));
  EXPECT_EQ(D2.Get(0, 2)[0], 0);

  // A source rect reaching past the source and a point near the far edge.
  Image D3(4, 4, 24);
  BlendBitmapRect(D3.View(), S.View(), 0, Rect(-1, 2, 10, 10), Point(2, 1));
  EXPECT_EQ(D3.Get(3, 1)[0], SumByte(2, 0, 0));  // source (0, 2) at (2 + 1, 1)
  EXPECT_EQ(D3.Get(3, 2)[0], SumByte(3, 0, 0));
  EXPECT_EQ(D3.Get(2, 1)[0], 0);
  EXPECT_TRUE(D3.PaddingIntact());

  Image D32(4, 4, 32);
  BlendBitmapRect(D32.View(), S.View(), 0, Rect(0, 0, 4, 4), Point(0, 0));  // mixed formats: nothing
  EXPECT_EQ(D32.Get(1, 1), Px32(0, 0, 0, 0));
}

// ---------------------------------------------------------------------------------------------
// Colour mixes

TEST(ColorMix, BlendColorRectKeepsPercentOfThePixel) {
  Image im(3, 2, 24);
  im.SetAll(1, 3, 200);
  BlendColorRect(im.View(), Rect(0, 0, 1, 2), 0, 0x00102030);
  EXPECT_EQ(im.Get(0, 0), Px24(0x10, 0x20, 0x30));
  BlendColorRect(im.View(), Rect(1, 0, 2, 2), 100, 0x00102030);
  EXPECT_EQ(im.Get(1, 0), Px24(1, 3, 200));
  // 50 %: ties go to the even value (0.5 -> 0, 1.5 -> 2).
  BlendColorRect(im.View(), Rect(2, 0, 3, 2), 50, 0);
  EXPECT_EQ(im.Get(2, 1), Px24(0, 2, 100));
}

TEST(ColorMix, BlendColorRectClampsPercentAndClipsTheRect) {
  // Regression: a percent above 100 wrapped in a byte (300 became 44) and darkened the pixels.
  Image im(2, 2, 32);
  im.SetAll(100, 100, 100, 7);
  BlendColorRect(im.View(), Rect(-10, -10, 10, 10), 300, 0);
  EXPECT_EQ(im.Get(1, 1), Px32(100, 100, 100, 7));
  BlendColorRect(im.View(), Rect(-10, 1, 10, 10), -20, 0x000000FF);
  EXPECT_EQ(im.Get(0, 1), Px32(0, 0, 255, 7));  // alpha left
  EXPECT_EQ(im.Get(0, 0), Px32(100, 100, 100, 7));
  EXPECT_TRUE(im.PaddingIntact());
}

TEST(ColorMix, GrayscaleAndFade) {
  Image im(2, 2, 24);
  im.Set(0, 0, 10, 20, 31);
  GrayscaleBitmap(im.View());
  EXPECT_EQ(im.Get(0, 0), Px24(20, 20, 20));

  Image f(3, 2, 24);
  f.Set(0, 0, 100, 1, 3);
  f.Set(1, 0, 0xFF, 0, 0xFF);  // the key
  FadeBitmapToColor(f.View(), 0, Magenta, 0.5);
  EXPECT_EQ(f.Get(0, 0), Px24(50, 0, 2));
  EXPECT_EQ(f.Get(1, 0), Px24(0xFF, 0, 0xFF));
  FadeBitmapToColor(f.View(), 0x00FFFFFF, NoKey, 0.0);  // no key: every pixel takes the colour
  EXPECT_EQ(f.Get(1, 0), Px24(255, 255, 255));
  EXPECT_THROW(FadeBitmapToColor(f.View(), 0, NoKey, std::nan("")), ERangeError);
  EXPECT_THROW(FadeBitmapToColor(f.View(), 0, NoKey, 1e9), ERangeError);
}

TEST(ColorMix, FadeCompares32BitPixelsWhole) {
  Image im(2, 2, 32);
  im.Set(0, 0, 0xFF, 0, 0xFF, 0);    // magenta with alpha 0: the key
  im.Set(1, 0, 0xFF, 0, 0xFF, 255);  // opaque magenta: an ordinary pixel
  FadeBitmapToColor(im.View(), 0, Magenta, 0.5);
  EXPECT_EQ(im.Get(0, 0), Px32(0xFF, 0, 0xFF, 0));
  EXPECT_EQ(im.Get(1, 0), Px32(128, 0, 128, 255));  // 127.5 rounds to 128
}

TEST(ColorMix, BlendColorByMask) {
  Image im(2, 2, 24), m(2, 2, 24);
  im.SetAll(200, 10, 0);
  m.Set(0, 0, 255, 255, 255);
  m.Set(1, 0, 0, 0, 0);
  m.Set(0, 1, 128, 0, 255);
  const TColor c = 0x00306090;  // blue 0x30, green 0x60, red 0x90
  BlendColorByMask(im.View(), m.View(), c);
  EXPECT_EQ(im.Get(0, 0), Px24(((200 - 0x30) * 255 + 0x30 * 256) >> 8, ((10 - 0x60) * 255 + 0x60 * 256) >> 8,
                               ((0 - 0x90) * 255 + 0x90 * 256) >> 8));
  EXPECT_EQ(im.Get(1, 0), Px24(0x30, 0x60, 0x90));
  EXPECT_EQ(im.Get(0, 1), Px24(((200 - 0x30) * 128 + 0x30 * 256) >> 8, 0x60, ((0 - 0x90) * 255 + 0x90 * 256) >> 8));

  Image Small(1, 2, 24);
  Image Same(2, 2, 24);
  Same.SetAll(1, 2, 3);
  BlendColorByMask(Same.View(), Small.View(), c);  // sizes differ: unchanged
  EXPECT_EQ(Same.Get(0, 0), Px24(1, 2, 3));
}

TEST(ColorMix, CopyBitmapChannelBothWays) {
  Image b32(3, 2, 32), b8(3, 2, 8);
  b32.Set(2, 1, 1, 2, 3, 4);
  CopyBitmapChannel(b32.View(), b8.View(), 3, true);
  EXPECT_EQ(b8.Get(2, 1)[0], 4);
  b8.SetGray(0, 0, 99);
  CopyBitmapChannel(b32.View(), b8.View(), 1, false);
  EXPECT_EQ(b32.Get(0, 0), Px32(0, 99, 0, 0));
  EXPECT_EQ(b32.Get(2, 1), Px32(1, 4, 3, 4));
  EXPECT_THROW(CopyBitmapChannel(b32.View(), b8.View(), 4, true), ERangeError);
}

TEST(ColorMix, CopyBitmapChannelStaysInsideASmallerImage) {
  // Regression: rows and columns were counted by the 32-bit image alone.
  Image b32(6, 5, 32), b8(2, 3, 8);
  b32.SetAll(0, 0, 0, 77);
  CopyBitmapChannel(b32.View(), b8.View(), 3, true);
  EXPECT_EQ(b8.Get(1, 2)[0], 77);
  CopyBitmapChannel(b32.View(), b8.View(), 0, false);
  EXPECT_EQ(b32.Get(1, 2)[0], 77);
  EXPECT_EQ(b32.Get(2, 2)[0], 0);
  EXPECT_TRUE(b8.PaddingIntact());
}

// ---------------------------------------------------------------------------------------------
// Copies with a key colour

TEST(KeyCopies, CopyBlendedWithKeyWeighsTheDestination) {
  Image S(3, 2, 24), D(4, 3, 24);
  S.SetAll(200, 100, 0);
  S.Set(1, 0, 0xFF, 0, 0xFF);
  D.SetAll(50, 50, 50);
  CopyBlendedWithKey(D.View(), 1, 1, S.View(), Rect(0, 0, 2, 0), 0.4, Magenta);  // inclusive: 3 x 1
  EXPECT_EQ(D.Get(1, 1), Px24(140, 80, 20));  // round(s - (s - d) * 0.4)
  EXPECT_EQ(D.Get(2, 1), Px24(50, 50, 50));   // key skipped
  EXPECT_EQ(D.Get(3, 1), Px24(140, 80, 20));
  EXPECT_EQ(D.Get(1, 2), Px24(50, 50, 50));

  CopyBlendedWithKey(D.View(), 0, 0, S.View(), Rect(0, 0, 2, 1), 0.0, NoKey);  // every pixel copied
  EXPECT_EQ(D.Get(1, 0), Px24(0xFF, 0, 0xFF));
  CopyBlendedWithKey(D.View(), 0, 0, S.View(), Rect(0, 0, 2, 1), 1.0, NoKey);  // destination kept
  EXPECT_EQ(D.Get(0, 0), Px24(200, 100, 0));
}

TEST(KeyCopies, CopyBlendedWithKeyFormats) {
  Image S32(2, 2, 32), D24(2, 2, 24);
  S32.Set(0, 0, 0xFF, 0, 0xFF, 0);    // whole value 0x00FF00FF: the key
  S32.Set(1, 0, 0xFF, 0, 0xFF, 255);  // not the key
  CopyBlendedWithKey(D24.View(), 0, 0, S32.View(), Rect(0, 0, 1, 0), 0.0, Magenta);
  EXPECT_EQ(D24.Get(0, 0), Px24(0, 0, 0));
  EXPECT_EQ(D24.Get(1, 0), Px24(0xFF, 0, 0xFF));

  Image S24(2, 2, 24), D32(2, 2, 32);
  S24.SetAll(9, 8, 7);
  D32.SetAll(0, 0, 0, 33);
  CopyBlendedWithKey(D32.View(), 0, 0, S24.View(), Rect(0, 0, 1, 1), 0.0, NoKey);
  EXPECT_EQ(D32.Get(1, 1), Px32(9, 8, 7, 33));  // alpha left

  Image S32b(2, 2, 32), D32b(2, 2, 32);
  S32b.SetAll(9, 9, 9, 9);
  CopyBlendedWithKey(D32b.View(), 0, 0, S32b.View(), Rect(0, 0, 1, 1), 0.0, NoKey);  // not handled
  EXPECT_EQ(D32b.Get(0, 0), Px32(0, 0, 0, 0));
}

TEST(KeyCopies, CopyWithKeyColorAtANegativeOrigin) {
  Image S(3, 3, 24), D(3, 3, 32);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) S.Set(x, y, x, y, 1);
  S.Set(2, 2, 0xFF, 0, 0xFF);
  CopyWithKeyColor(D.View(), S.View(), -1, -1, Magenta);
  EXPECT_EQ(D.Get(0, 0), Px32(1, 1, 1, 255));
  EXPECT_EQ(D.Get(1, 0), Px32(2, 1, 1, 255));
  EXPECT_EQ(D.Get(1, 1), Px32(0, 0, 0, 0));  // the key
  EXPECT_EQ(D.Get(2, 2), Px32(0, 0, 0, 0));  // nothing lands there
  EXPECT_TRUE(D.PaddingIntact());
}

TEST(KeyCopies, CopyRectWithKeyIsInclusive) {
  Image S(4, 4, 24), D(4, 4, 24);
  S.SetAll(5, 5, 5);
  S.Set(2, 2, 0xFF, 0, 0xFF);
  CopyRectWithKey(D.View(), S.View(), 0, 0, Rect(1, 1, 2, 2), Magenta);
  EXPECT_EQ(D.Get(0, 0), Px24(5, 5, 5));
  EXPECT_EQ(D.Get(1, 0), Px24(5, 5, 5));
  EXPECT_EQ(D.Get(1, 1), Px24(0, 0, 0));  // the key
  EXPECT_EQ(D.Get(2, 0), Px24(0, 0, 0));
  CopyRectWithKey(D.View(), S.View(), 2, 2, Rect(-3, -3, 100, 100), Magenta);  // clipped at both ends
  EXPECT_EQ(D.Get(3, 3), Px24(0, 0, 0));  // source (-2, -2) does not exist
  EXPECT_TRUE(D.PaddingIntact());
}

TEST(KeyCopies, CopyWithKeyAndCacheTakesTheBackgroundForKeyPixels) {
  Image S(2, 2, 24), D(3, 3, 24), Bg(5, 5, 24);
  S.Set(0, 0, 1, 2, 3);
  S.Set(1, 0, 0xFF, 0, 0xFF);
  S.Set(0, 1, 0xFF, 0, 0xFF);
  S.Set(1, 1, 4, 5, 6);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) Bg.Set(x, y, x, y, 100);
  TacBackground B;
  B.Bmp = Bg.View();
  B.X = 2;
  B.Y = 3;
  B.Ready = true;
  CopyWithKeyAndCache(D.View(), S.View(), 1, 0, Rect(0, 0, 1, 1), Magenta, B, true);
  EXPECT_EQ(D.Get(1, 0), Px24(1, 2, 3));
  EXPECT_EQ(D.Get(2, 0), Px24(4, 3, 100));  // background at (2 + 2, 3 + 0)
  EXPECT_EQ(D.Get(1, 1), Px24(3, 4, 100));
  EXPECT_EQ(D.Get(2, 1), Px24(4, 5, 6));

  // The background lies outside the picture: key pixels are left.
  Image D2(3, 3, 24);
  B.X = 10;
  CopyWithKeyAndCache(D2.View(), S.View(), 0, 0, Rect(0, 0, 1, 1), Magenta, B, true);
  EXPECT_EQ(D2.Get(1, 0), Px24(0, 0, 0));

  // The background is the destination: key pixels are left.
  Image D3(3, 3, 24);
  D3.SetAll(7, 7, 7);
  TacBackground Self;
  Self.Bmp = D3.View();
  Self.Ready = true;
  CopyWithKeyAndCache(D3.View(), S.View(), 0, 0, Rect(0, 0, 1, 1), Magenta, Self, true);
  EXPECT_EQ(D3.Get(1, 0), Px24(7, 7, 7));
  EXPECT_EQ(D3.Get(0, 0), Px24(1, 2, 3));
}

TEST(KeyCopies, CopyWithKeyAndCacheWithoutABackgroundPicture) {
  Image S24(2, 1, 24), D24(2, 1, 24), D32(2, 1, 32);
  S24.Set(0, 0, 1, 2, 3);
  S24.Set(1, 0, 0xFF, 0, 0xFF);
  TacBackground Fill;
  Fill.FillColor = 0x00302010;  // red 0x10, green 0x20, blue 0x30
  CopyWithKeyAndCache(D24.View(), S24.View(), 0, 0, Rect(0, 0, 1, 0), Magenta, Fill, false);
  EXPECT_EQ(D24.Get(1, 0), Px24(0x30, 0x20, 0x10));
  CopyWithKeyAndCache(D32.View(), S24.View(), 0, 0, Rect(0, 0, 1, 0), Magenta, Fill, false);
  EXPECT_EQ(D32.Get(0, 0), Px32(1, 2, 3, 255));
  EXPECT_EQ(D32.Get(1, 0), Px32(0x30, 0x20, 0x10, 255));

  // A 32-bit source is copied whole; key pixels get the fill colour, opaque.
  Image S32(2, 1, 32), E32(2, 1, 32);
  S32.Set(0, 0, 1, 2, 3, 4);
  S32.Set(1, 0, 0xFF, 0, 0xFF, 0);
  CopyWithKeyAndCache(E32.View(), S32.View(), 0, 0, Rect(0, 0, 1, 0), Magenta, Fill, false);
  EXPECT_EQ(E32.Get(0, 0), Px32(1, 2, 3, 4));
  EXPECT_EQ(E32.Get(1, 0), Px32(0x30, 0x20, 0x10, 255));

  // With a Ready background but no picture of it, key pixels are left.
  Image F32(2, 1, 32);
  TacBackground ReadyNoPicture;
  ReadyNoPicture.Ready = true;
  CopyWithKeyAndCache(F32.View(), S32.View(), 0, 0, Rect(0, 0, 1, 0), Magenta, ReadyNoPicture, true);
  EXPECT_EQ(F32.Get(1, 0), Px32(0, 0, 0, 0));
  EXPECT_EQ(F32.Get(0, 0), Px32(1, 2, 3, 4));
}

TEST(KeyCopies, CopyWithKeyAndCacheFillsKeyPixelsOfA32BitSourceWithTheColourNotItsRawValue) {
  // Regression: the fill colour (0x00BBGGRR) was written as a raw pixel value, which swapped red
  // and blue and left alpha 0, while a 24-bit source got the right colour.
  Image S32(3, 2, 32), S24(3, 2, 24), D32(3, 2, 32), E32(3, 2, 32);
  for (int y = 0; y < 2; ++y) {
    S32.Set(0, y, 7, 8, 9, 10);
    S32.Set(1, y, 0xFF, 0, 0xFF, 0);  // the key as a whole pixel value
    S32.Set(2, y, 0xFF, 0, 0xFF, 0);
    S24.Set(0, y, 7, 8, 9);
    S24.Set(1, y, 0xFF, 0, 0xFF);
    S24.Set(2, y, 0xFF, 0, 0xFF);
  }
  TacBackground Fill;
  Fill.FillColor = 0x00C08040;  // red 0x40, green 0x80, blue 0xC0
  CopyWithKeyAndCache(D32.View(), S32.View(), 0, 0, Rect(0, 0, 2, 1), Magenta, Fill, false);
  CopyWithKeyAndCache(E32.View(), S24.View(), 0, 0, Rect(0, 0, 2, 1), Magenta, Fill, false);
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(D32.Get(0, y), Px32(7, 8, 9, 10)) << y;
    for (int x = 1; x < 3; ++x) {
      EXPECT_EQ(D32.Get(x, y), Px32(0xC0, 0x80, 0x40, 255)) << x << "," << y;
      EXPECT_EQ(D32.Get(x, y), E32.Get(x, y)) << "both source depths fill alike at " << x << "," << y;
    }
  }
  EXPECT_TRUE(D32.PaddingIntact());

  // With a Ready background (but no FillKey) key pixels are left, whatever the fill colour.
  Image F32(3, 2, 32);
  F32.SetAll(1, 2, 3, 4);
  Fill.Ready = true;
  CopyWithKeyAndCache(F32.View(), S32.View(), 0, 0, Rect(0, 0, 2, 1), Magenta, Fill, false);
  EXPECT_EQ(F32.Get(1, 0), Px32(1, 2, 3, 4));
  EXPECT_EQ(F32.Get(0, 0), Px32(7, 8, 9, 10));
}

// ---------------------------------------------------------------------------------------------
// Mask and alpha blends

TEST(MaskBlends, BlendByMaskWithAMaskInTheLowerHalf) {
  Image S(2, 4, 24), D(2, 2, 24);
  S.Set(0, 0, 200, 100, 0);
  S.Set(0, 2, 255, 0, 128);  // mask of (0, 0)
  S.Set(1, 0, 0xFF, 0, 0xFF);
  S.Set(1, 2, 0, 0, 0);
  D.SetAll(10, 20, 30);
  BlendByMask(Rect(0, 0, 2, 2), Rect(0, 0, 2, 4), D.View(), S.View(), NoBackground, false);
  auto M = [](int d, int s, int m) { return ((d - s) * m + s * 256) >> 8; };
  EXPECT_EQ(D.Get(0, 0), Px24(M(10, 200, 255), M(20, 100, 0), M(30, 0, 128)));
  EXPECT_EQ(D.Get(1, 0), Px24(0xFF, 0, 0xFF));  // no Ready background: the key blends too
  EXPECT_TRUE(S.PaddingIntact());
}

TEST(MaskBlends, BlendByMaskNeverReadsMaskRowsBelowTheImage) {
  // Regression: a source rect over the whole image read its mask rows past the image's end.
  Image S(3, 5, 24), D(3, 5, 24);
  S.SetAll(0, 0, 0);
  D.SetAll(100, 100, 100);
  BlendByMask(Rect(0, 0, 3, 5), Rect(0, 0, 3, 5), D.View(), S.View(), NoBackground, false);
  EXPECT_EQ(D.Get(0, 2), Px24(0, 0, 0));        // mask row 4 (black): the source
  EXPECT_EQ(D.Get(0, 3), Px24(100, 100, 100));  // no mask row: left
}

TEST(MaskBlends, BlendByMaskWithAlpha) {
  Image S(2, 2, 32), D(2, 2, 32), Bg(4, 4, 24);
  S.Set(0, 0, 200, 100, 0, 128);
  S.Set(1, 0, 0xFF, 0, 0xFF, 255);  // magenta: with a Ready background it takes the background
  S.Set(0, 1, 0xFF, 0, 0xFF, 255);
  D.SetAll(10, 20, 30, 0);
  Bg.SetAll(1, 2, 3);
  TacBackground B;
  B.Bmp = Bg.View();
  B.Ready = true;
  B.X = 3;  // destination (1, 0) lies over (4, 0), right of the picture; (0, 1) over (3, 1)
  BlendByMask(Rect(0, 0, 2, 2), Rect(0, 0, 2, 2), D.View(), S.View(), B, true);
  EXPECT_EQ(D.Get(0, 0), Px32(AlphaMix(200, 10, 128), AlphaMix(100, 20, 128), AlphaMix(0, 30, 128), 255));
  EXPECT_EQ(D.Get(1, 0), Px32(10, 20, 30, 0));  // right of the picture: left
  EXPECT_EQ(D.Get(0, 1), Px32(1, 2, 3, 255));   // taken from the background
  EXPECT_EQ(D.Get(1, 1), Px32(AlphaMix(0, 10, 0), 20, 30, 255));

  Image D2(2, 2, 24);
  D2.SetAll(9, 9, 9);
  BlendByMask(Rect(0, 0, 2, 2), Rect(0, 0, 2, 2), D2.View(), S.View(), B, false);  // without FillKey: left
  EXPECT_EQ(D2.Get(0, 1), Px24(9, 9, 9));
}

TEST(AlphaBlend, CompositesByAlphaReducedByPercent) {
  Image S(2, 2, 32), D(2, 2, 24);
  S.Set(0, 0, 200, 100, 0, 200);
  S.Set(1, 0, 0xFF, 0, 0xFF, 0);
  D.SetAll(10, 20, 30);
  BlendAlphaBitmap(Rect(0, 0, 2, 2), Rect(0, 0, 2, 2), D.View(), S.View(), NoBackground, false, 0x1FFFFFFF, 0, false);
  EXPECT_EQ(D.Get(0, 0), Px24(AlphaMix(200, 10, 200), AlphaMix(100, 20, 200), AlphaMix(0, 30, 200)));
  EXPECT_EQ(D.Get(1, 0), Px24(10, 20, 30));  // alpha 0

  Image D2(2, 2, 24);
  D2.SetAll(10, 20, 30);
  BlendAlphaBitmap(Rect(0, 0, 2, 2), Rect(0, 0, 2, 2), D2.View(), S.View(), NoBackground, false, 0x1FFFFFFF, 25, false);
  const int a = 200 * 75 / 100;
  EXPECT_EQ(D2.Get(0, 0), Px24(AlphaMix(200, 10, a), AlphaMix(100, 20, a), AlphaMix(0, 30, a)));
}

TEST(AlphaBlend, PercentAboveOneHundredMeansFullyTransparent) {
  // Regression: the percent was not limited, so 150 made a negative alpha and changed colours.
  Image S(2, 2, 32), D(2, 2, 24);
  S.SetAll(255, 255, 255, 255);
  D.SetAll(10, 20, 30);
  BlendAlphaBitmap(Rect(0, 0, 2, 2), Rect(0, 0, 2, 2), D.View(), S.View(), NoBackground, false, 0x1FFFFFFF, 150, true);
  EXPECT_EQ(D.Get(1, 1), Px24(10, 20, 30));
}

TEST(AlphaBlend, TintDrawsGreysScaledByTheTintAndLeavesTheSourceAlone) {
  // Regression: the tint was written into the caller's source image.
  Image S(2, 2, 32), D(2, 2, 24);
  S.Set(0, 0, 30, 60, 90, 255);     // grey 60
  S.Set(1, 0, 0xFF, 0, 0xFF, 0);    // the transparent colour: not tinted (and alpha 0)
  const std::vector<Byte> Before = S.Pixels();
  const TColor Tint = 0x00FF8000;   // red 0, green 0x80, blue 0xFF
  BlendAlphaBitmap(Rect(0, 0, 2, 2), Rect(0, 0, 2, 2), D.View(), S.View(), NoBackground, false, Tint, 0, false);
  EXPECT_EQ(D.Get(0, 0), Px24(AlphaMix(60, 0, 255), AlphaMix(static_cast<int>(std::nearbyint(60 * 128 / 255.0)), 0, 255),
                              AlphaMix(0, 0, 255)));
  EXPECT_EQ(S.Pixels(), Before);
}

TEST(AlphaBlend, ReflectionFadesBelowTheImage) {
  const int W = 2, H = 8;
  Image S(W, H, 32), D(W, H + H / 2, 24);
  for (int y = 0; y < H; ++y) S.Set(0, y, 10 * y, 0, 0, 240);
  S.Set(1, H - 2, 0xFF, 0, 0xFF, 0);  // the key colour with alpha 0: not reflected
  D.SetAll(100, 100, 100);
  BlendAlphaBitmap(Rect(0, 0, W, H), Rect(0, 0, W, H), D.View(), S.View(), NoBackground, false, 0x1FFFFFFF, 0, true);
  // n = min(H div 2 - 1, D height - H - 1) = 3 rows; step 255 div 4 = 63.
  EXPECT_EQ(D.Get(0, H)[0], 100);  // the row right under the image is not painted
  int Fade = 255;
  for (int i = 1; i <= 3; ++i) {
    const int a = (240 / 3) * Fade / 255;
    EXPECT_EQ(D.Get(0, H + i)[0], AlphaMix(10 * (H - i - 1), 100, a)) << i;
    Fade -= 63;
  }
  EXPECT_EQ(D.Get(1, H + 1), Px24(100, 100, 100));
  EXPECT_TRUE(D.PaddingIntact());
}

TEST(AlphaBlend, OpaquePixelsLandAt255Of256AndTheMirrorFillsAWorkAreaHalfAsTallAgain) {
  // The shape of an image drawn with its reflection: an 8-row opaque image over a work area of
  // 8 + 4 rows. Rows 9..11 get the fading mirror, row 8 stays.
  const int W = 2, H = 8;
  Image S(W, H, 32), D(W, H + H / 2, 24);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) S.Set(x, y, y * 30, y * 30, y * 30, 255);
  BlendAlphaBitmap(Rect(0, 0, W, H), Rect(0, 0, W, H), D.View(), S.View(), NoBackground, false, 0x1FFFFFFF, 0, true);
  EXPECT_EQ(D.Get(0, 7)[0], 209);  // (210 * 255) shr 8
  EXPECT_EQ(D.Get(0, 8)[0], 0);
  EXPECT_EQ(D.Get(0, 9)[0], 59);   // source row 6 (180) at alpha 255 div 3: (180 * 85) shr 8
  EXPECT_LT(D.Get(0, 11)[0], D.Get(0, 10)[0]);
  EXPECT_GT(D.Get(0, 11)[0], 0);
  EXPECT_TRUE(D.PaddingIntact());
}

TEST(AlphaBlend, OneRowSourcesDrawWithoutAReflection) {
  // Regression: the reflection step divided by half the source height, zero for one row.
  Image S(3, 1, 32), D(3, 4, 24);
  S.SetAll(50, 50, 50, 255);
  BlendAlphaBitmap(Rect(0, 0, 3, 1), Rect(0, 0, 3, 1), D.View(), S.View(), NoBackground, false, 0x1FFFFFFF, 0, true);
  EXPECT_EQ(D.Get(2, 0), Px24(AlphaMix(50, 0, 255), AlphaMix(50, 0, 255), AlphaMix(50, 0, 255)));
  EXPECT_EQ(D.Get(2, 1), Px24(0, 0, 0));
  Image S2(3, 2, 32);
  BlendAlphaBitmap(Rect(0, 0, 3, 2), Rect(0, 0, 3, 2), D.View(), S2.View(), NoBackground, false, 0x1FFFFFFF, 0, true);
}

TEST(AlphaBlend, KeyPixelsTakeTheBackgroundWhenAsked) {
  Image S(2, 2, 32), D(2, 2, 24), Bg(2, 2, 32);
  S.SetAll(0xFF, 0, 0xFF, 0);
  Bg.SetAll(5, 6, 7, 8);
  D.SetAll(1, 1, 1);
  TacBackground B;
  B.Bmp = Bg.View();
  B.Ready = true;
  B.X = -1;  // column 0 lies left of the picture: left
  BlendAlphaBitmap(Rect(0, 0, 2, 2), Rect(0, 0, 2, 2), D.View(), S.View(), B, true, 0x1FFFFFFF, 0, false);
  EXPECT_EQ(D.Get(0, 0), Px24(1, 1, 1));
  EXPECT_EQ(D.Get(1, 0), Px24(5, 6, 7));
}

// ---------------------------------------------------------------------------------------------
// Scaling of alpha images

TEST(AlphaScale, PremultipliedAveragingLendsTransparentPixelsNoColour) {
  // Opaque red beside fully transparent white, scaled up, down and to one column.
  Image S(2, 2, 32);
  for (int y = 0; y < 2; ++y) {
    S.Set(0, y, 0, 0, 255, 255);
    S.Set(1, y, 255, 255, 255, 0);
  }
  for (int W : {8, 3, 1}) {
    Image D(W, 2, 32, true, 0x55);
    ScaleAlphaPixels(S.View(), D.View());
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < W; ++x) {
        const BGRA p = D.Get(x, y);
        if (p[3] == 0) {
          EXPECT_EQ(p, Px32(0, 0, 0, 0)) << W << ": " << x << "," << y;
        } else {
          EXPECT_EQ(p[0], 0) << "no white mixed into the red, width " << W << ", x " << x;
          EXPECT_EQ(p[1], 0) << W << ": " << x;
          EXPECT_EQ(p[2], 255) << W << ": " << x;
        }
      }
    EXPECT_TRUE(D.PaddingIntact());
  }
  // Half red, half transparent averages to alpha 127.5, rounded to even: 128.
  Image One(1, 1, 32);
  ScaleAlphaPixels(S.View(), One.View());
  EXPECT_EQ(One.Get(0, 0), Px32(0, 0, 255, 128));
  // Scaled 4 times over: the columns wholly inside a source pixel keep it exactly.
  Image Big(8, 8, 32);
  ScaleAlphaPixels(S.View(), Big.View());
  EXPECT_EQ(Big.Get(0, 5), Px32(0, 0, 255, 255));
  EXPECT_EQ(Big.Get(3, 5), Px32(0, 0, 255, 255));
  EXPECT_EQ(Big.Get(4, 5), Px32(0, 0, 0, 0));
}

TEST(AlphaScale, AreasAverageByTheirShareOfEachSourcePixel) {
  // A 3 x 1 row scaled to 2 x 1: pixel 0 covers source 0 and half of source 1, pixel 1 the other
  // half of source 1 and source 2. Alpha averages, colour averages weighted by alpha.
  Image S(3, 1, 32), D(2, 1, 32);
  S.Set(0, 0, 90, 0, 0, 200);
  S.Set(1, 0, 30, 0, 0, 100);
  S.Set(2, 0, 60, 0, 0, 0);
  ScaleAlphaPixels(S.View(), D.View());
  const double a0 = (200 + 100 * 0.5) / 1.5, a1 = (100 * 0.5 + 0) / 1.5;
  const double b0 = (90 * 200 + 30 * 100 * 0.5) / 1.5 / a0, b1 = 30;
  EXPECT_EQ(D.Get(0, 0), Px32(static_cast<int>(std::nearbyint(b0)), 0, 0, static_cast<int>(std::nearbyint(a0))));
  EXPECT_EQ(D.Get(1, 0), Px32(static_cast<int>(b1), 0, 0, static_cast<int>(std::nearbyint(a1))));
  // The same size copies the image.
  Image Same(3, 1, 32, false);
  ScaleAlphaPixels(S.View(), Same.View());
  EXPECT_EQ(Same.Get(0, 0), Px32(90, 0, 0, 200));
  EXPECT_EQ(Same.Get(1, 0), Px32(30, 0, 0, 100));
  EXPECT_EQ(Same.Get(2, 0), Px32(0, 0, 0, 0));  // alpha 0: all zero
}

TEST(AlphaScale, ASourceInTheDestinationsMemoryIsReadBeforeItIsWritten) {
  // The source is the top two rows of the destination, scaled to twice its height: writing
  // destination row 1 covers source row 1, which rows 2 and 3 still need.
  Image D(2, 4, 32, false);
  for (int x = 0; x < 2; ++x) {
    D.Set(x, 0, 10, 0, 0, 255);
    D.Set(x, 1, 40, 0, 0, 255);
  }
  const TacPixels All = D.View();
  const TacPixels Top(All.Scan0, All.Delta, 2, 2, 32);
  ScaleAlphaPixels(Top, All);
  for (int x = 0; x < 2; ++x) {
    EXPECT_EQ(D.Get(x, 0), Px32(10, 0, 0, 255)) << x;
    EXPECT_EQ(D.Get(x, 1), Px32(10, 0, 0, 255)) << x;
    EXPECT_EQ(D.Get(x, 2), Px32(40, 0, 0, 255)) << x;
    EXPECT_EQ(D.Get(x, 3), Px32(40, 0, 0, 255)) << x;
  }
}

TEST(AlphaScale, OtherDepthsAndEmptyImagesAreLeft) {
  Image S24(2, 2, 24, true, 9), D32(2, 2, 32, true, 7), S32(2, 2, 32, true, 9), D24(2, 2, 24, true, 7);
  ScaleAlphaPixels(S24.View(), D32.View());
  ScaleAlphaPixels(S32.View(), D24.View());
  ScaleAlphaPixels(TacPixels(), D32.View());
  ScaleAlphaPixels(S32.View(), TacPixels());
  EXPECT_EQ(D32.Get(1, 1), Px32(7, 7, 7, 7));
  EXPECT_EQ(D24.Get(1, 1), Px24(7, 7, 7));
}

TEST(MaskBlends, CopyByMaskHalfReadsTheMaskBelowThePicture) {
  // An image entry 2 x 4: picture rows 0..1, mask rows 2..3.
  Image S(2, 4, 24), D(2, 2, 32), Bg(2, 2, 24);
  S.Set(0, 0, 200, 100, 0);
  S.Set(1, 0, 0xFF, 0, 0xFF);
  S.Set(0, 1, 0xFF, 0, 0xFF);
  S.Set(1, 1, 40, 40, 40);
  S.Set(0, 2, 0, 255, 128);
  S.Set(1, 3, 255, 255, 255);
  D.SetAll(10, 20, 30, 0);
  auto M = [](int d, int s, int m) { return ((d - s) * m + s * 256) >> 8; };
  CopyByMaskHalf(Rect(0, 0, 2, 2), Rect(0, 0, 2, 2), D.View(), S.View(), NoBackground, false, 4);
  EXPECT_EQ(D.Get(0, 0), Px32(M(10, 200, 0), M(20, 100, 255), M(30, 0, 128), 255));
  EXPECT_EQ(D.Get(1, 0), Px32(10, 20, 30, 0));  // key, no FillKey: left
  EXPECT_EQ(D.Get(1, 1), Px32(M(10, 40, 255), M(20, 40, 255), M(30, 40, 255), 255));

  Image D2(2, 2, 24);
  TacBackground Fill;
  Fill.FillColor = 0x000000FF;
  CopyByMaskHalf(Rect(0, 0, 2, 2), Rect(0, 0, 2, 2), D2.View(), S.View(), Fill, true, 4);
  EXPECT_EQ(D2.Get(0, 1), Px24(0, 0, 255));

  Image D3(2, 2, 24);
  Bg.SetAll(3, 4, 5);
  TacBackground B;
  B.Bmp = Bg.View();
  B.Ready = true;
  CopyByMaskHalf(Rect(0, 0, 2, 2), Rect(0, 0, 2, 2), D3.View(), S.View(), B, false, 4);
  EXPECT_EQ(D3.Get(1, 0), Px24(3, 4, 5));
}

TEST(MaskBlends, SumBitmapsByMaskOrFactor) {
  Image A(2, 2, 24), B(2, 2, 24), D(2, 2, 32), M(2, 2, 24);
  A.SetAll(200, 0, 100);
  B.SetAll(0, 200, 100);
  D.SetAll(1, 1, 1, 77);
  M.Set(0, 0, 255, 0, 128);
  SumBitmapsByMask(D.View(), A.View(), B.View(), nullptr, 64);
  auto S = [](int a, int b, int m) { return ((a - b) * m + b * 256) >> 8; };
  EXPECT_EQ(D.Get(1, 1), Px32(S(200, 0, 64), S(0, 200, 64), 100, 77));
  const TacPixels MV = M.View();
  SumBitmapsByMask(D.View(), A.View(), B.View(), &MV, 64);
  EXPECT_EQ(D.Get(0, 0), Px32(S(200, 0, 255), S(0, 200, 0), 100, 77));
}

TEST(MaskBlends, SumBitmapsByMaskCoversOnlyWhatEveryImageHas) {
  // Regression: rows and columns came from the two sources alone and ran past a smaller target
  // or mask.
  Image A(4, 4, 24), B(4, 4, 24), D(2, 3, 32), M(3, 2, 24);
  A.SetAll(255, 255, 255);
  SumBitmapsByMask(D.View(), A.View(), B.View(), nullptr, 256);
  EXPECT_EQ(D.Get(1, 2), Px32(255, 255, 255, 0));
  const TacPixels MV = M.View();
  Image D2(4, 4, 32);
  SumBitmapsByMask(D2.View(), A.View(), B.View(), &MV, 0);
  EXPECT_TRUE(D.PaddingIntact());
  EXPECT_TRUE(D2.PaddingIntact());
  EXPECT_TRUE(M.PaddingIntact());

  Image Other(3, 4, 24);
  Image D3(4, 4, 32);
  SumBitmapsByMask(D3.View(), A.View(), Other.View(), nullptr, 256);  // a and b differ: nothing
  EXPECT_EQ(D3.Get(0, 0), Px32(0, 0, 0, 0));
}

// ---------------------------------------------------------------------------------------------
// Disabled look

TEST(DisabledLook, GrayedThenBlendedWithTheBackground) {
  Image G(2, 2, 24), Bg(6, 6, 24);
  G.SetAll(0, 30, 60);  // grey 30
  Bg.SetAll(200, 200, 200);
  Bg.Set(3, 4, 100, 100, 100);
  TacBackground B;
  B.Bmp = Bg.View();
  B.X = 1;
  B.Y = 2;
  B.Ready = true;
  ApplyDisabledKind(G.View(), TsDisabledKind{dkGrayed, dkBlended}, B, Point(2, 2), 0);
  // round(background - (background - glyph) * 0.4): the glyph keeps 40 %.
  // The glyph's pixel (0, 0) lies over the background's (1 + 2, 2 + 2).
  EXPECT_EQ(G.Get(0, 0), Px24(72, 72, 72));
  EXPECT_EQ(G.Get(1, 0), Px24(132, 132, 132));
  EXPECT_EQ(G.Get(1, 1), Px24(132, 132, 132));
}

TEST(DisabledLook, WithoutABackgroundTheGlyphIsMixedWithAColour) {
  Image G(2, 2, 24);
  G.SetAll(100, 0, 51);
  TacBackground Fill;
  Fill.FillColor = 0x00000000;
  ApplyDisabledKind(G.View(), TsDisabledKind{dkBlended}, Fill, Point(0, 0), 0x00FFFFFF);
  EXPECT_EQ(G.Get(0, 0), Px24(50, 0, 26));  // 25.5 rounds to the even 26

  Image G2(2, 2, 24);
  G2.SetAll(100, 100, 100);
  TacBackground Unknown;  // FillColor 0xFF00FF: the control's colour is used
  ApplyDisabledKind(G2.View(), TsDisabledKind{dkBlended}, Unknown, Point(0, 0), 0x00FFFFFF);
  EXPECT_EQ(G2.Get(1, 1), Px24(178, 178, 178));  // 177.5 rounds to the even 178
}

// The area copy between 24- and 32-bit images in every pairing: alpha made opaque or dropped,
// clipped to both images (a negative origin moves both), nothing for other depths.
TEST(AreaCopy, CopyPixelAreaBetweenDepthsClippedToBothImages) {
  for (const int SrcBits : {24, 32})
    for (const int DstBits : {24, 32}) {
      Image Src(3, 3, SrcBits);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) Src.Set(x, y, 10 * x, 10 * y, 7, 100);
      Image Dst(4, 4, DstBits, false, 9);
      CopyPixelArea(Dst.View(), 2, -1, Src.View(), 0, 0, 3, 3);
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
          const bool Copied = x >= 2 && y <= 1;  // (2, -1) to (4, 1): one row above, one column past
          const int A = DstBits == 24 ? -1 : (Copied ? (SrcBits == 32 ? 100 : 255) : 9);
          const BGRA Want = Copied ? BGRA{10 * (x - 2), 10 * (y + 1), 7, A} : BGRA{9, 9, 9, A};
          EXPECT_EQ(Dst.Get(x, y), Want) << SrcBits << "->" << DstBits << " at " << x << "," << y;
        }
      EXPECT_TRUE(Dst.PaddingIntact());
    }
  Image Gray(2, 2, 8, true, 1), Dst(2, 2, 24, true, 9);
  CopyPixelArea(Dst.View(), 0, 0, Gray.View(), 0, 0, 2, 2);
  EXPECT_EQ(Dst.Get(0, 0), (BGRA{9, 9, 9, -1}));
  EXPECT_EQ(Dst.Get(1, 1), (BGRA{9, 9, 9, -1}));
}
