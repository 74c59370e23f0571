// Skin image painting on bitmaps: nine-slice borders (tiling, stretching, frames, key pixels,
// masks, filling), the per-pixel nine-slice with its window region, whole-frame glyphs, the
// opaque device nine-slice and multi-frame button glyphs.
#include <gtest/gtest.h>

#include <windows.h>

#include "framework/ExtCtrls.h"
#include "painter_support.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sVclUtils.h"

using namespace painttest;

namespace {

constexpr TColor Grey = 0x808080;
constexpr TColor Key = 0xFF00FF;

// The source column (or row) of target offset U in a part laid out by nine-slice tiling: the
// first Lo and last Hi pixels are the corners, the middle tiles the source middle of length Mid.
int SliceSource(int U, int Size, int Lo, int Hi, int Mid) {
  if (U < Lo) return U;
  if (U >= Size - Hi) return Lo + Mid + (U - (Size - Hi));
  return Lo + (U - Lo) % Mid;
}

// A record of 3 frames of 8 x 6 pixels (a 24 x 6 numbered bitmap) with margins 2, 2, 3, 1.
struct TBorder {
  TMemorySkin Skin;
  TsMaskData* M;
  explicit TBorder(int DrawMode = 0, int ImageCount = 3) {
    M = &Skin.AddMask("EDIT", "BORDERSMASK", Numbered(24, 6), ImageCount, 0, DrawMode, 2, 2, 3, 1);
  }
};

}  // namespace

TEST(PainterSkinRect, TilesSidesFromTheFrameOfTheState) {
  for (bool Filling : {false, true}) {
    TBorder B(dmOwnCentre);
    auto T = Filled(20, 16, Grey);
    const TRect R = Rect(1, 2, 18, 15);  // 17 x 13
    DrawSkinRect(T.get(), R, Filling, TCacheInfo{}, *B.M, 1, false);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 20; ++x) {
        if (!R.Contains(Point(x, y))) {
          ASSERT_EQ(At(*T, x, y), Of(Grey)) << x << "," << y;
          continue;
        }
        const int u = x - R.Left, v = y - R.Top;
        const bool Centre = u >= 2 && u < 17 - 3 && v >= 2 && v < 13 - 1;
        if (Centre && !Filling) {
          ASSERT_EQ(At(*T, x, y), Of(Grey)) << x << "," << y;
          continue;
        }
        // Frame 1 starts at column 8; its middle is 3 x 3.
        const BGRA Want = From(8 + SliceSource(u, 17, 2, 3, 3), SliceSource(v, 13, 2, 1, 3));
        ASSERT_EQ(At(*T, x, y), Want) << x << "," << y << " filling " << Filling;
      }
  }
}

TEST(PainterSkinRect, StatesFramesAndTheHotOnlyMode) {
  {
    TBorder B;
    auto T = Filled(12, 12, Grey);
    DrawSkinRect(T.get(), Rect(0, 0, 12, 12), false, TCacheInfo{}, *B.M, 5, false);
    EXPECT_EQ(At(*T, 0, 0), From(16, 0));  // state 5 of 3 frames: frame 2
  }
  {
    TBorder B(dmHotOnly);
    auto T = Filled(12, 12, Grey);
    DrawSkinRect(T.get(), Rect(0, 0, 12, 12), false, TCacheInfo{}, *B.M, 0, false);
    EXPECT_EQ(At(*T, 0, 0), Of(Grey));  // hot-only border in state 0: nothing
    DrawSkinRect(T.get(), Rect(0, 0, 12, 12), false, TCacheInfo{}, *B.M, 1, false);
    EXPECT_EQ(At(*T, 0, 0), From(8, 0));
  }
  {
    // DrawMode 0 never paints the centre, even with filling.
    TBorder B(0);
    auto T = Filled(12, 12, Grey);
    DrawSkinRect(T.get(), Rect(0, 0, 12, 12), true, TCacheInfo{}, *B.M, 0, false);
    EXPECT_EQ(At(*T, 5, 5), Of(Grey));
    EXPECT_EQ(At(*T, 0, 5), From(0, 2 + 3 % 3));
  }
}

TEST(PainterSkinRect, DegenerateInputPaintsNothing) {
  TBorder B;
  auto T = Filled(6, 6, Grey);
  DrawSkinRect(T.get(), Rect(0, 0, 1, 6), true, TCacheInfo{}, *B.M, 0, false);   // 1 pixel wide
  DrawSkinRect(T.get(), Rect(0, 0, 6, 1), true, TCacheInfo{}, *B.M, 0, false);   // 1 pixel high
  DrawSkinRect(nullptr, Rect(0, 0, 6, 6), true, TCacheInfo{}, *B.M, 0, false);   // no target
  B.M->ImageCount = 0;
  DrawSkinRect(T.get(), Rect(0, 0, 6, 6), true, TCacheInfo{}, *B.M, 0, false);   // no frames
  B.M->ImageCount = 3;
  B.M->Manager = nullptr;
  DrawSkinRect(T.get(), Rect(0, 0, 6, 6), true, TCacheInfo{}, *B.M, 0, false);   // no manager
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(At(*T, x, y), Of(Grey));
  // Far outside the target: clipped without harm.
  B.M->Manager = B.Skin.M.get();
  DrawSkinRect(T.get(), Rect(-50, -40, 200, 300), true, TCacheInfo{}, *B.M, 0, false);
  DrawSkinRect(T.get(), Rect(4, 4, 40, 40), true, TCacheInfo{}, *B.M, 0, false);
  EXPECT_EQ(At(*T, 4, 4), From(0, 0));
}

TEST(PainterSkinRect, HugeRectanglesCostOnlyTheirVisiblePart) {
  TMemorySkin Skin;
  // A masked image with 1-pixel sides: its pieces are copied tile by tile.
  auto Img = Filled(3, 6, clRed);
  for (int y = 3; y < 6; ++y)
    for (int x = 0; x < 3; ++x) PutColor(*Img, x, y, 0x000000);
  TsMaskData& M = Skin.AddMask("X", "BORDERSMASK", std::move(Img), 1, 1, dmOwnCentre, 1, 1, 1, 1);
  auto T = Filled(8, 8, Grey);
  DrawSkinRect(T.get(), Rect(-1000000, -1000000, 1000000, 1000000), true, TCacheInfo{}, M, 0, false);
  EXPECT_EQ(At(*T, 4, 4), Of(clRed));
  DrawSkinRect(T.get(), Rect(-2000000000, -2000000000, 2000000000, 2000000000), true, TCacheInfo{}, M, 0, false);
  DrawNineSlice(T.get(), nullptr, true, M, 0);
  EXPECT_EQ(At(*T, 0, 0), Of(clRed));
  const Byte Tile[4] = {0, 0, 0, 0};
  BltNineSlice(T.get(), M.Bmp.get(), Rect(-1000000, -1000000, 1000000, 1000000), Rect(0, 0, 3, 3), Rect(1, 1, 1, 1),
               Rect(1, 1, 1, 1), Tile, 0, true);
  EXPECT_EQ(At(*T, 7, 7), Of(clRed));
}

TEST(PainterSkinRect, NarrowTargetsShrinkTheCorners) {
  TMemorySkin Skin;
  // One frame 20 x 4, margins 10 left and right: on 15 pixels the corners become 8 and 7.
  TsMaskData& M = Skin.AddMask("X", "BORDERSMASK", Numbered(20, 4), 1, 0, 0, 10, 0, 10, 0);
  auto T = Filled(15, 4, Grey);
  DrawSkinRect(T.get(), Rect(0, 0, 15, 4), false, TCacheInfo{}, M, 0, false);
  for (int x = 0; x < 15; ++x) ASSERT_EQ(At(*T, x, 1), From(x < 8 ? x : 20 - 15 + x, 1)) << x;
}

TEST(PainterSkinRect, AsymmetricMarginsStayInsideANarrowTarget) {
  // Margins 0 and 10 (one frame 14 x 4; with a black mask below it for mask type 1) on a target
  // 4 pixels wide: the right corner fills the target and nothing is painted beside it.
  for (int MaskType : {0, 1}) {
    TMemorySkin Skin;
    auto Image = Numbered(14, 4 * (MaskType + 1));
    Image->Canvas()->Brush()->SetColor(clBlack);
    Image->Canvas()->FillRect(Rect(0, 4, 14, 8));
    TsMaskData& M = Skin.AddMask("X", "BORDERSMASK", std::move(Image), 1, MaskType, 0, 0, 0, 10, 0);
    auto T = Filled(12, 4, Grey);
    const TRect R = Rect(5, 0, 9, 4);
    DrawSkinRect(T.get(), R, false, TCacheInfo{}, M, 0, false);
    for (int x = 0; x < 12; ++x)
      ASSERT_EQ(At(*T, x, 1), R.Contains(Point(x, 1)) ? From(14 - 4 + x - R.Left, 1) : Of(Grey))
          << x << " mask type " << MaskType;
  }
}

TEST(PainterSkinRect, CornerKeyPixelsKeepTheTargetOrTakeTheBackground) {
  TBorder B;
  PutColor(*B.M->Bmp, 0, 0, Key);   // frame 0, top-left corner
  PutColor(*B.M->Bmp, 2, 2, Key);   // frame 0, in the centre
  auto Bg = Numbered(40, 40);
  {
    auto T = Filled(12, 12, Grey);
    DrawSkinRect(T.get(), Rect(0, 0, 12, 12), false, MakeCacheInfo(Bg.get(), 5, 6), *B.M, 0, false);
    EXPECT_EQ(At(*T, 0, 0), Of(Grey));  // KeyFromCache off: kept
  }
  {
    auto T = Filled(12, 12, Grey);
    DrawSkinRect(T.get(), Rect(0, 0, 12, 12), false, MakeCacheInfo(Bg.get(), 5, 6), *B.M, 0, true);
    EXPECT_EQ(At(*T, 0, 0), From(5, 6));  // from the background under it
    EXPECT_EQ(At(*T, 2, 2), Of(Grey));    // centre: not painted without filling
  }
  {
    // A cache info that is not Ready: kept.
    auto T = Filled(12, 12, Grey);
    TCacheInfo CI;
    CI.FillColor = 0x00FF00;
    DrawSkinRect(T.get(), Rect(0, 0, 12, 12), false, CI, *B.M, 0, true);
    EXPECT_EQ(At(*T, 0, 0), Of(Grey));
  }
}

TEST(PainterSkinRect, MaskedImagesBlendThroughTheirMask) {
  TMemorySkin Skin;
  // Two frames of 4 x 4 over a 8 x 8 bitmap: picture rows 0-3, mask rows 4-7.
  auto Img = Filled(8, 8, RGB(200, 0, 0));
  for (int y = 4; y < 8; ++y)
    for (int x = 0; x < 8; ++x) PutColor(*Img, x, y, x < 4 ? 0x000000 : 0xFFFFFF);
  PutColor(*Img, 4, 0, Key);  // key pixel in the top-left corner of frame 1
  for (int y = 4; y < 8; ++y) PutColor(*Img, 1, y, 0x808080);  // column 1 of frame 0 half opaque
  TsMaskData& M = Skin.AddMask("X", "BORDERSMASK", std::move(Img), 2, 1, dmOwnCentre, 1, 1, 1, 1);
  auto T = Filled(6, 6, RGB(0, 0, 100));
  DrawSkinRect(T.get(), Rect(0, 0, 6, 6), true, TCacheInfo{}, M, 0, false);
  EXPECT_EQ(At(*T, 0, 0), Of(RGB(200, 0, 0)));   // mask 0: the image
  const int r = ((0 - 200) * 128 + 200 * 256) >> 8, b = (100 * 128) >> 8;
  EXPECT_EQ(At(*T, 1, 0), (BGRA{b, 0, r, -1}));  // mask 128 in the top side, tiled
  EXPECT_EQ(At(*T, 3, 0), (BGRA{b, 0, r, -1}));
  EXPECT_EQ(At(*T, 3, 3), (BGRA{b, 0, r, -1}));  // centre (filling, DrawMode 4)
  // Frame 1 has a white mask: the target stays (almost: 255/256), the key pixel stays exactly.
  auto T2 = Filled(6, 6, RGB(0, 0, 100));
  DrawSkinRect(T2.get(), Rect(0, 0, 6, 6), true, TCacheInfo{}, M, 1, false);
  EXPECT_EQ(At(*T2, 0, 0), Of(RGB(0, 0, 100)));
  EXPECT_EQ(At(*T2, 2, 2), (BGRA{99, 0, 0, -1}));
  // Masked corners take a Ready background under their key pixels; a known colour only with
  // KeyFromCache.
  auto Bg = Numbered(20, 20);
  auto T3 = Filled(6, 6, RGB(0, 0, 100));
  DrawSkinRect(T3.get(), Rect(0, 0, 6, 6), true, MakeCacheInfo(Bg.get(), 3, 2), M, 1, false);
  EXPECT_EQ(At(*T3, 0, 0), From(3, 2));
  TCacheInfo Green;
  Green.FillColor = clLime;
  auto T4 = Filled(6, 6, RGB(0, 0, 100));
  DrawSkinRect(T4.get(), Rect(0, 0, 6, 6), true, Green, M, 1, false);
  EXPECT_EQ(At(*T4, 0, 0), Of(RGB(0, 0, 100)));
  DrawSkinRect(T4.get(), Rect(0, 0, 6, 6), true, Green, M, 1, true);
  EXPECT_EQ(At(*T4, 0, 0), Of(clLime));
}

TEST(PainterSkinRect, StretchFillsSidesAndCentreWithTheirColour) {
  TMemorySkin Skin;
  // One 9 x 9 frame: corners red, sides blue, centre green; margins 3.
  auto Img = Filled(9, 9, clLime);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x) {
      const bool Edge = x < 3 || x >= 6, EdgeY = y < 3 || y >= 6;
      if (Edge && EdgeY) PutColor(*Img, x, y, clRed);
      else if (Edge || EdgeY) PutColor(*Img, x, y, clBlue);
    }
  TsMaskData& M = Skin.AddMask("X", "BORDERSMASK", std::move(Img), 1, 0, dmStretch | dmOwnCentre, 3, 3, 3, 3);
  auto T = Filled(40, 30, Grey);
  DrawSkinRect(T.get(), Rect(0, 0, 40, 30), true, TCacheInfo{}, M, 0, false);
  EXPECT_EQ(At(*T, 1, 1), Of(clRed));
  EXPECT_EQ(At(*T, 38, 28), Of(clRed));
  EXPECT_EQ(At(*T, 20, 1), Of(clBlue));
  EXPECT_EQ(At(*T, 1, 15), Of(clBlue));
  EXPECT_EQ(At(*T, 38, 15), Of(clBlue));
  EXPECT_EQ(At(*T, 20, 28), Of(clBlue));
  EXPECT_EQ(At(*T, 20, 15), Of(clLime));
}

TEST(PainterNineSlice, CornerKeysLeaveTheRegionSideKeysArePainted) {
  TMemorySkin Skin;
  auto Img = Filled(9, 9, clLime);
  PutColor(*Img, 0, 0, Key);
  PutColor(*Img, 1, 0, Key);
  PutColor(*Img, 8, 8, Key);
  PutColor(*Img, 4, 0, Key);  // top side
  TsMaskData& M = Skin.AddMask("X", "BORDERSMASK", std::move(Img), 1, 0, dmOwnCentre, 3, 3, 3, 3);
  auto T = Filled(20, 12, Grey);
  HRGN Rgn = CreateRectRgn(0, 0, 20, 12);
  DrawNineSlice(T.get(), Rgn, true, M, 0);
  EXPECT_FALSE(PtInRegion(Rgn, 0, 0));
  EXPECT_FALSE(PtInRegion(Rgn, 1, 0));
  EXPECT_TRUE(PtInRegion(Rgn, 2, 0));
  EXPECT_FALSE(PtInRegion(Rgn, 19, 11));
  EXPECT_TRUE(PtInRegion(Rgn, 18, 11));
  EXPECT_TRUE(PtInRegion(Rgn, 4, 0));
  EXPECT_EQ(At(*T, 0, 0), Of(Grey));    // corner key: left
  EXPECT_EQ(At(*T, 2, 0), Of(clLime));
  EXPECT_EQ(At(*T, 4, 0), Of(Key));     // side key: copied
  EXPECT_EQ(At(*T, 7, 0), Of(Key));     // tiled every 3 pixels
  EXPECT_EQ(At(*T, 10, 6), Of(clLime));  // centre
  DeleteObject(Rgn);
  // Without a region the same picture.
  auto T2 = Filled(20, 12, Grey);
  DrawNineSlice(T2.get(), nullptr, true, M, 0);
  EXPECT_EQ(At(*T2, 4, 0), Of(Key));
  EXPECT_EQ(At(*T2, 0, 0), Of(Grey));
}

TEST(PainterNineSlice, RecordsWithoutFramesAreOneFrame) {
  TMemorySkin Skin;
  TsMaskData& M = Skin.AddMask("X", "BORDERSMASK", Numbered(6, 6), 0, 0, 0, 2, 2, 2, 2);
  auto T = Filled(10, 10, Grey);
  DrawNineSlice(T.get(), nullptr, false, M, 3);
  EXPECT_EQ(At(*T, 0, 0), From(0, 0));
  EXPECT_EQ(At(*T, 9, 9), From(5, 5));
  EXPECT_EQ(At(*T, 4, 0), From(2 + 2 % 2, 0));
  EXPECT_EQ(At(*T, 5, 5), Of(Grey));
  // Too small a target: nothing.
  auto Tiny = Filled(1, 5, Grey);
  DrawNineSlice(Tiny.get(), nullptr, true, M, 0);
  EXPECT_EQ(At(*Tiny, 0, 0), Of(Grey));
}

TEST(PainterGlyph, WholeFramesAtAPointClippedOnTheLeft) {
  TMemorySkin Skin;
  TsMaskData& M = Skin.AddMask("X", "GLYPHMASK", Numbered(15, 4), 3, 0, 0);
  PutColor(*M.Bmp, 6, 1, Key);
  auto T = Filled(8, 6, Grey);
  DrawSkinGlyph(T.get(), Point(-3, 0), 1, 1, M, TCacheInfo{});
  EXPECT_EQ(At(*T, 0, 0), From(5 + 3, 0));  // column 0 receives frame column 3
  EXPECT_EQ(At(*T, 1, 3), From(9, 3));
  EXPECT_EQ(At(*T, 2, 0), Of(Grey));
  auto T2 = Filled(8, 6, Grey);
  DrawSkinGlyph(T2.get(), Point(2, 1), 9, 1, M, TCacheInfo{});  // frame 2
  EXPECT_EQ(At(*T2, 2, 1), From(10, 0));
  EXPECT_EQ(At(*T2, 6, 4), From(14, 3));
  EXPECT_EQ(At(*T2, 7, 1), Of(Grey));
  auto T3 = Filled(8, 6, Grey);
  DrawSkinGlyph(T3.get(), Point(1, 1), 1, 1, M, TCacheInfo{});
  EXPECT_EQ(At(*T3, 2, 2), Of(Grey));  // key pixel skipped
  EXPECT_EQ(At(*T3, 1, 1), From(5, 0));
  // Beyond the target or with an own bitmap smaller than the record: nothing.
  DrawSkinGlyph(T3.get(), Point(100, 100), 0, 1, M, TCacheInfo{});
  M.R.Right = 30;
  auto T4 = Filled(8, 6, Grey);
  DrawSkinGlyph(T4.get(), Point(0, 0), 0, 1, M, TCacheInfo{});
  EXPECT_EQ(At(*T4, 0, 0), Of(Grey));
}

TEST(PainterBltNineSlice, LimitsAndModes) {
  auto Src = Numbered(9, 9);
  auto T = Filled(15, 12, Grey);
  const Byte Sides[4] = {0, 0, 2, 0};  // right side draws nothing
  // Margins 3; limits left 1, top 3, right 3, bottom 3.
  BltNineSlice(T.get(), Src.get(), Rect(0, 0, 15, 12), Rect(0, 0, 9, 9), Rect(3, 3, 3, 3), Rect(1, 3, 3, 3), Sides,
               0, true);
  EXPECT_EQ(At(*T, 0, 0), From(0, 0));
  EXPECT_EQ(At(*T, 2, 2), From(2, 2));
  EXPECT_EQ(At(*T, 0, 5), From(0, 3 + 2 % 3));  // left side, 1 pixel thick
  EXPECT_EQ(At(*T, 1, 5), Of(Grey));            // beyond the limit: left as it was
  EXPECT_EQ(At(*T, 13, 5), Of(Grey));           // right side: mode 2
  EXPECT_EQ(At(*T, 7, 0), From(3 + 4 % 3, 0));   // top side tiled
  EXPECT_EQ(At(*T, 14, 11), From(8, 8));
}

TEST(PainterTransparentGlyph, FramesKeysAndDisabledLooks) {
  // Four 3 x 2 frames; frame f is filled with colour (f * 50 + 10); the lower-left pixel of each
  // frame is its transparent colour.
  auto G = std::make_unique<TBitmap>(12, 2, pf24bit);
  for (int x = 0; x < 12; ++x)
    for (int y = 0; y < 2; ++y) Put(*G, x, y, (x / 3) * 50 + 10, 0, 0);
  for (int f = 0; f < 4; ++f) Put(*G, f * 3, 1, 0, 0, 200 + f);
  Put(*G, 0, 0, 0, 0, 203);  // a visible pixel of frame 0
  auto Run = [&](bool Flag, int State, int Extra) {
    auto T = Filled(5, 4, Grey);
    DrawTransparentGlyph(G.get(), T.get(), Rect(1, 1, 4, 3), 4, Flag, TsDisabledKind{}, State, 0,
                         static_cast<Byte>(Extra));
    return T;
  };
  auto T0 = Run(true, 0, 0);
  EXPECT_EQ(At(*T0, 2, 1), (BGRA{10, 0, 0, -1}));
  EXPECT_EQ(At(*T0, 1, 2), Of(Grey));  // the frame's own key
  auto T1 = Run(true, 1, 0);
  EXPECT_EQ(At(*T1, 2, 1), (BGRA{60, 0, 0, -1}));
  auto T2 = Run(true, 2, 0);
  EXPECT_EQ(At(*T2, 2, 1), (BGRA{110, 0, 0, -1}));
  auto T3 = Run(true, 2, 5);  // pressed frame beyond the glyphs: frame 1
  EXPECT_EQ(At(*T3, 2, 1), (BGRA{60, 0, 0, -1}));
  acGlyphFrameSwitch = true;
  auto T4 = Run(true, 1, 0);
  acGlyphFrameSwitch = false;
  EXPECT_EQ(At(*T4, 2, 1), (BGRA{10, 0, 0, -1}));
  // Disabled: frame 0 with the lower-left pixel of the whole glyph as transparent colour.
  auto T5 = Run(false, 1, 0);
  EXPECT_EQ(At(*T5, 1, 1), (BGRA{0, 0, 203, -1}));
  EXPECT_EQ(At(*T5, 1, 2), Of(Grey));

  // One frame, greyed: the key drops out after greying too.
  auto One = std::make_unique<TBitmap>(2, 2, pf24bit);
  Put(*One, 0, 0, 30, 60, 90);
  Put(*One, 1, 0, 30, 60, 90);
  Put(*One, 0, 1, 255, 0, 255);
  Put(*One, 1, 1, 30, 60, 90);
  auto TG = Filled(3, 3, Grey);
  DrawTransparentGlyph(One.get(), TG.get(), Rect(0, 0, 2, 2), 1, false, TsDisabledKind{dkGrayed}, 0, 0, 0);
  EXPECT_EQ(At(*TG, 0, 0), (BGRA{60, 60, 60, -1}));
  EXPECT_EQ(At(*TG, 0, 1), Of(Grey));
  // Enabled with a blend in state 0: half over the target.
  auto TB = Filled(3, 3, 0x000000);
  DrawTransparentGlyph(One.get(), TB.get(), Rect(0, 0, 2, 2), 1, true, TsDisabledKind{}, 0, 50, 0);
  EXPECT_EQ(At(*TB, 0, 0), (BGRA{15, 30, 45, -1}));
  EXPECT_EQ(At(*TB, 0, 1), (BGRA{0, 0, 0, -1}));
}

TEST(PainterControlFrame, BorderMaskAndPlainFrames) {
  TMemorySkin S;
  TsGeneralData& G = S.AddSection("PNL", clLime, clLime);
  S.AddMask("PNL", "BORDERSMASK", Filled(6, 6, clRed), 1, 0, 0, 2, 2, 2, 2);
  G.BorderIndex = S.LastMask();
  auto Panel = std::make_unique<TPanel>(nullptr);
  Panel->SetBounds(0, 0, 20, 16);
  Panel->SetColor(clBlue);
  TsCommonData Data(Panel.get(), 0, true);
  Data.SetSkinManager(S.M.get());
  Data.SetSkinSection("PNL");
  ASSERT_EQ(Data.BorderMaskIndex, 0);
  const TColor Back = Data.GetBackgroundColor(false);

  // The mask's margins go to the DC; the inside is left for the caller.
  auto DC = Filled(20, 16, Grey);
  TRect Inner;
  PaintControlFrame(DC->Canvas()->Handle(), Rect(0, 0, 20, 16), 0, &Data, 0, Inner);
  EXPECT_EQ(Inner, Rect(2, 2, 18, 14));
  EXPECT_EQ(At(*DC, 0, 0), Of(clRed));
  EXPECT_EQ(At(*DC, 19, 15), Of(clRed));
  EXPECT_EQ(At(*DC, 1, 8), Of(clRed));
  EXPECT_EQ(At(*DC, 2, 8), Of(Grey));
  EXPECT_EQ(At(*Data.CacheBmp(), 0, 0), Of(clRed));

  // A border width beyond the margins: the band inside them takes the background colour.
  auto DC3 = Filled(20, 16, Grey);
  PaintControlFrame(DC3->Canvas()->Handle(), Rect(0, 0, 20, 16), 3, &Data, 0, Inner);
  EXPECT_EQ(Inner, Rect(3, 3, 17, 13));
  EXPECT_EQ(At(*DC3, 1, 8), Of(clRed));
  EXPECT_EQ(At(*DC3, 2, 8), Of(Back));
  EXPECT_EQ(At(*DC3, 17, 8), Of(Back));
  EXPECT_EQ(At(*DC3, 3, 8), Of(Grey));

  // Without a border mask: a plain frame of the background colour straight in the DC.
  auto Plain = std::make_unique<TPanel>(nullptr);
  Plain->SetBounds(0, 0, 10, 10);
  Plain->SetColor(clYellow);
  TsCommonData NoMask(Plain.get(), 0, true);
  auto DC2 = Filled(10, 10, Grey);
  PaintControlFrame(DC2->Canvas()->Handle(), Rect(0, 0, 10, 10), 2, &NoMask, 0, Inner);
  EXPECT_EQ(Inner, Rect(2, 2, 8, 8));
  EXPECT_EQ(At(*DC2, 1, 5), Of(clYellow));
  EXPECT_EQ(At(*DC2, 8, 9), Of(clYellow));
  EXPECT_EQ(At(*DC2, 2, 5), Of(Grey));
  PaintControlFrame(DC2->Canvas()->Handle(), Rect(0, 0, 10, 10), 0, &NoMask, 0, Inner);
  EXPECT_EQ(Inner, Rect(0, 0, 10, 10));
  PaintControlFrame(DC2->Canvas()->Handle(), Rect(0, 0, 10, 10), 2, nullptr, 0, Inner);
}

TEST(PainterGlyph, ImagesOfTheMasterBitmap) {
  // Master: a glyph of 3 frames of 10 x 10 at (0, 0), frame f coloured (f * 60 + 20, 100, 50), a
  // key pixel at (10, 0); a masked glyph of 2 frames at (0, 20)-(20, 40), picture rows 20-29 red,
  // mask rows 30-39: 128 in frame 0, 0 in frame 1.
  auto Master = Filled(60, 40, clWhite);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 30; ++x) Put(*Master, x, y, (x / 10) * 60 + 20, 100, 50);
  PutColor(*Master, 10, 0, Key);
  for (int y = 20; y < 30; ++y)
    for (int x = 0; x < 20; ++x) PutColor(*Master, x, y, clRed);
  for (int y = 30; y < 40; ++y)
    for (int x = 0; x < 20; ++x) PutColor(*Master, x, y, x < 10 ? 0x808080 : 0x000000);
  TMemorySkin S;
  LoadStoredSkin(*S.M,
                 "[GLOBALINFO]\r\nMASTERBITMAP=MASTER.BMP\r\nVERSION=7.00\r\n"
                 "[BTN]\r\nGLYPHMASK=@0000@0000@0030@0010@3@0\r\nCHECK=@0000@0020@0020@0040@2@1\r\n",
                 *Master);
  ASSERT_TRUE(S.M->SkinActive());
  const int Btn = S.M->GetSectionIndex("BTN");
  const int GI = S.M->GetMaskIndex(Btn, "BTN", "GLYPHMASK"), CI = S.M->GetMaskIndex(Btn, "BTN", "CHECK");
  ASSERT_TRUE(S.M->IsValidMaskIndex(GI));
  ASSERT_TRUE(S.M->IsValidMaskIndex(CI));
  const TsMaskData& Glyph = S.M->Masks()[static_cast<std::size_t>(GI)];
  const TsMaskData& Check = S.M->Masks()[static_cast<std::size_t>(CI)];

  // Mode 1: copied, the key pixel taken from the background under it.
  auto Bg = Numbered(40, 40);
  auto T = Filled(16, 16, Grey);
  DrawSkinGlyph(T.get(), Point(3, 2), 1, 1, Glyph, MakeCacheInfo(Bg.get(), 5, 6));
  EXPECT_EQ(At(*T, 3, 2), From(3 + 5, 2 + 6));
  EXPECT_EQ(At(*T, 4, 2), (BGRA{80, 100, 50, -1}));
  EXPECT_EQ(At(*T, 12, 11), (BGRA{80, 100, 50, -1}));
  EXPECT_EQ(At(*T, 13, 12), Of(Grey));
  // Mode 1 over an unknown background: the key pixel is left.
  auto TU = Filled(16, 16, Grey);
  TCacheInfo Unknown;
  Unknown.FillColor = Key;
  DrawSkinGlyph(TU.get(), Point(3, 2), 1, 1, Glyph, Unknown);
  EXPECT_EQ(At(*TU, 3, 2), Of(Grey));
  // Other modes: half over the target, key skipped.
  auto T2 = Filled(16, 16, 0x000000);
  DrawSkinGlyph(T2.get(), Point(0, 0), 1, 0, Glyph, MakeCacheInfo(Bg.get(), 0, 0));
  EXPECT_EQ(At(*T2, 1, 0), (BGRA{40, 50, 25, -1}));
  EXPECT_EQ(At(*T2, 0, 0), (BGRA{0, 0, 0, -1}));
  // A masked glyph: mode 1 through the mask, other modes fainter (mask + 100).
  auto T3 = Filled(12, 12, 0x000000);
  DrawSkinGlyph(T3.get(), Point(0, 0), 0, 1, Check, TCacheInfo{});
  EXPECT_EQ(At(*T3, 5, 5), (BGRA{0, 0, (255 * 128) >> 8, -1}));
  DrawSkinGlyph(T3.get(), Point(0, 0), 0, 2, Check, TCacheInfo{});
  const int Once = (255 * 128) >> 8;
  EXPECT_EQ(At(*T3, 5, 5), (BGRA{0, 0, ((Once - 255) * 228 + 255 * 256) >> 8, -1}));
  DrawSkinGlyph(T3.get(), Point(0, 0), 1, 1, Check, TCacheInfo{});
  EXPECT_EQ(At(*T3, 5, 5), Of(clRed));

  // A border from the master bitmap: same nine-slice as from an own bitmap.
  auto T4 = Filled(20, 20, Grey);
  TsMaskData Border;
  Border.R = Rect(0, 0, 30, 10);
  Border.ImageCount = 3;
  Border.WL = Border.WT = Border.WR = Border.WB = 2;
  Border.Manager = S.M.get();
  DrawSkinRect(T4.get(), Rect(0, 0, 20, 20), false, MakeCacheInfo(Bg.get(), 0, 0), Border, 1, true);
  EXPECT_EQ(At(*T4, 0, 0), From(0, 0));  // the key pixel of frame 1, from the background
  EXPECT_EQ(At(*T4, 19, 19), (BGRA{80, 100, 50, -1}));
  EXPECT_EQ(At(*T4, 10, 10), Of(Grey));
}
