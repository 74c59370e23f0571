// Section painting: colour, texture and gradient shares, transparency over a background picture
// or colour, hot values, colour override, bad indexes, and the wrappers (corner images and border
// masks, device contexts, painting by name).
#include <gtest/gtest.h>

#include <windows.h>

#include "framework/ExtCtrls.h"
#include "painter_support.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sGradient.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sVclUtils.h"

using namespace painttest;

namespace {

constexpr TColor Grey = 0x808080;
constexpr TColor Key = 0xFF00FF;

// The blend of the transparency: (work * (255 - a) + background * a + 127) shr 8.
int Mix(int Work, int Bg, int A) { return (Work * (255 - A) + Bg * A + 127) >> 8; }
BGRA MixOf(TColor Work, TColor Bg, int A, int Alpha = -1) {
  const BGRA W = Of(Work), B = Of(Bg);
  return {Mix(W[0], B[0], A), Mix(W[1], B[1], A), Mix(W[2], B[2], A), Alpha};
}

// Every pixel of R is Want, every other pixel Outside.
void ExpectArea(TBitmap& B, TRect R, BGRA Want, BGRA Outside) {
  for (int y = 0; y < B.Height(); ++y)
    for (int x = 0; x < B.Width(); ++x)
      ASSERT_EQ(At(B, x, y), R.Contains(Point(x, y)) ? Want : Outside) << x << "," << y;
}

// A gradient of one stop from C1 to C2, over the rows (Mode 0) or the columns (Mode 1).
void SetGradient(TsGeneralData& G, TColor C1, TColor C2, bool Hot = false, int Mode = 0) {
  const AnsiString Text = std::to_string(C1) + ";" + std::to_string(C2) + ";100;" + std::to_string(Mode) + ";0";
  (Hot ? G.HotGradient : G.Gradient) = MakeGradient(Text);
}

TCacheInfo ColorInfo(TColor C) {
  TCacheInfo CI;
  CI.FillColor = C;
  return CI;
}

const TCacheInfo NoBackground = ColorInfo(0xFF00FF);

}  // namespace

TEST(PainterSection, FullTransparencyShowsTheBackground) {
  TMemorySkin S;
  S.AddSection("GLASS", clRed).Transparency = 100;
  auto Bg = Numbered(40, 40);
  auto T = Filled(20, 20, Grey);
  const TRect R = Rect(2, 3, 10, 9);
  PaintSectionToBitmap(0, "GLASS", MakeCacheInfo(Bg.get(), 3, 4), 0, R, Point(5, 6), T.get(), S.M.get(), -1, -1);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(At(*T, x, y), R.Contains(Point(x, y)) ? From(3 + 5 + x - 2, 4 + 6 + y - 3) : Of(Grey)) << x << "," << y;

  // The background is the target itself: untouched.
  auto Self = Filled(8, 8, Grey);
  PaintSectionToBitmap(0, "GLASS", MakeCacheInfo(Self.get(), 0, 0), 0, Rect(0, 0, 8, 8), Point(0, 0), Self.get(),
                       S.M.get(), -1, -1);
  ExpectArea(*Self, Rect(0, 0, 8, 8), Of(Grey), Of(Grey));
  // Only a colour known: filled with it; nothing known at all: the section's own colour.
  auto ByColor = Filled(6, 6, Grey);
  PaintSectionToBitmap(0, "GLASS", ColorInfo(clBlue), 0, Rect(1, 1, 5, 5), Point(0, 0), ByColor.get(), S.M.get(), -1,
                       -1);
  ExpectArea(*ByColor, Rect(1, 1, 5, 5), Of(clBlue), Of(Grey));
  auto Blind = Filled(6, 6, Grey);
  PaintSectionToBitmap(0, "GLASS", NoBackground, 0, Rect(1, 1, 5, 5), Point(0, 0), Blind.get(), S.M.get(), -1, -1);
  ExpectArea(*Blind, Rect(1, 1, 5, 5), Of(clRed), Of(Grey));
}

TEST(PainterSection, BackgroundPictureClippedAtItsEdges) {
  TMemorySkin S;
  S.AddSection("GLASS", clRed).Transparency = 100;
  auto Bg = Numbered(10, 10);
  auto T = Filled(12, 12, Grey);
  // The background is read from (7, 8): only 3 x 2 pixels of it exist.
  PaintSectionToBitmap(0, "GLASS", MakeCacheInfo(Bg.get(), 7, 8), 0, Rect(0, 0, 12, 12), Point(0, 0), T.get(),
                       S.M.get(), -1, -1);
  EXPECT_EQ(At(*T, 0, 0), From(7, 8));
  EXPECT_EQ(At(*T, 2, 1), From(9, 9));
  EXPECT_EQ(At(*T, 3, 0), Of(Grey));
  EXPECT_EQ(At(*T, 0, 2), Of(Grey));
}

TEST(PainterSection, HalfTransparentColourOverPictureAndColour) {
  TMemorySkin S;
  const TColor C = RGB(200, 100, 0);
  S.AddSection("HALF", C).Transparency = 50;
  // Over a picture: a = 50 * 255 div 100 = 127.
  auto Bg = Filled(30, 30, RGB(10, 250, 128));
  auto T = Filled(16, 16, Grey);
  PaintSectionToBitmap(0, "HALF", MakeCacheInfo(Bg.get(), 1, 1), 0, Rect(4, 4, 12, 10), Point(2, 2), T.get(),
                       S.M.get(), -1, -1);
  ExpectArea(*T, Rect(4, 4, 12, 10), MixOf(C, RGB(10, 250, 128), 127), Of(Grey));
  // Over a colour only: the work bitmap takes the background colour too.
  const TColor F = RGB(0, 128, 255);
  auto T2 = Filled(8, 8, Grey);
  PaintSectionToBitmap(0, "HALF", ColorInfo(F), 0, Rect(0, 0, 8, 8), Point(0, 0), T2.get(), S.M.get(), -1, -1);
  ExpectArea(*T2, Rect(0, 0, 8, 8), MixOf(F, F, 127), Of(Grey));
  // A texture under the transparency goes through a work bitmap: the same blend.
  TsGeneralData& G = S.M->GeneralData()[0];
  G.ImagePercent = 100;
  S.AddMask("HALF", "PATTERN", Filled(3, 3, clBlue)).ImgType = itisaTexture;
  auto TT = Filled(16, 16, Grey);
  PaintSectionToBitmap(0, "HALF", MakeCacheInfo(Bg.get(), 1, 1), 0, Rect(4, 4, 12, 10), Point(2, 2), TT.get(),
                       S.M.get(), -1, -1);
  ExpectArea(*TT, Rect(4, 4, 12, 10), MixOf(clBlue, RGB(10, 250, 128), 127), Of(Grey));
  G.ImagePercent = 0;
  // A 32-bit target: same blend, alpha written as 255.
  auto T3 = Filled(8, 8, Grey, pf32bit);
  auto Bg32 = Filled(8, 8, RGB(10, 250, 128), pf32bit);
  FillRect32(Bg32.get(), Rect(0, 0, 8, 8), RGB(10, 250, 128));  // alpha 255, as the painters write it
  PaintSectionToBitmap(0, "HALF", MakeCacheInfo(Bg32.get(), 0, 0), 0,
                       Rect(0, 0, 8, 8), Point(0, 0), T3.get(), S.M.get(), -1, -1);
  // The alpha bytes are blended too: 255 over 255 gives 254.
  EXPECT_EQ(At(*T3, 3, 3), MixOf(C, RGB(10, 250, 128), 127, Mix(255, 255, 127)));
}

TEST(PainterSection, CustomColourIsAPlainFill) {
  TMemorySkin S;
  TsGeneralData& G = S.AddSection("RICH", clRed);
  G.Transparency = 40;
  G.GradientPercent = 50;
  SetGradient(G, clLime, clBlue);
  auto T = Filled(10, 10, Grey);
  auto Bg = Filled(10, 10, clWhite);
  PaintSectionToBitmap(0, "RICH", MakeCacheInfo(Bg.get(), 0, 0), 0, Rect(1, 2, 9, 8),
                       Point(0, 0), T.get(), S.M.get(), -1, -1, clYellow);
  ExpectArea(*T, Rect(1, 2, 9, 8), Of(clYellow), Of(Grey));
}

TEST(PainterSection, TextureGradientAndColourShares) {
  const TColor Tex = RGB(10, 20, 30), Grad = RGB(200, 150, 100), C = RGB(200, 100, 0);
  {
    // Texture 40, gradient 60: the gradient is blended over the texture with b = 102.
    TMemorySkin S;
    TsGeneralData& G = S.AddSection("MIX", C);
    G.ImagePercent = 40;
    G.GradientPercent = 60;
    SetGradient(G, Grad, Grad);
    S.AddMask("MIX", "PATTERN", Filled(4, 4, Tex)).ImgType = itisaTexture;
    auto T = Filled(12, 12, Grey);
    PaintSectionToBitmap(0, "MIX", NoBackground, 0, Rect(1, 1, 11, 11), Point(0, 0), T.get(), S.M.get(), -1, -1);
    ExpectArea(*T, Rect(1, 1, 11, 11), MixOf(Grad, Tex, 102), Of(Grey));
  }
  {
    // Texture 30 only: the colour is mixed in at 70 %.
    TMemorySkin S;
    S.AddSection("MIX", C).ImagePercent = 30;
    S.AddMask("MIX", "PATTERN", Filled(4, 4, Tex)).ImgType = itisaTexture;
    auto T = Filled(12, 12, Grey);
    PaintSectionToBitmap(0, "MIX", NoBackground, 0, Rect(0, 0, 12, 12), Point(0, 0), T.get(), S.M.get(), -1, -1);
    // round(10 * 0.3 + 200 * 0.7) = 143, round(20 * 0.3 + 100 * 0.7) = 76, round(30 * 0.3) = 9
    ExpectArea(*T, Rect(0, 0, 12, 12), Of(RGB(143, 76, 9)), Of(Grey));
  }
  {
    // A texture index given by the caller that is out of range: the colour instead.
    TMemorySkin S;
    S.AddSection("MIX", C).ImagePercent = 30;
    auto T = Filled(6, 6, Grey);
    PaintSectionToBitmap(0, "MIX", NoBackground, 0, Rect(0, 0, 6, 6), Point(0, 0), T.get(), S.M.get(), 99, 99);
    ExpectArea(*T, Rect(0, 0, 6, 6), Of(C), Of(Grey));
  }
  {
    // A large texture (pattern) covering the whole rectangle.
    TMemorySkin S;
    S.AddSection("PAT", C).ImagePercent = 100;
    S.AddPattern("PAT", "PATTERN", Filled(5, 5, Tex));
    auto T = Filled(12, 12, Grey);
    PaintSectionToBitmap(0, "PAT", NoBackground, 0, Rect(2, 2, 12, 12), Point(0, 0), T.get(), S.M.get(), -1, -1);
    ExpectArea(*T, Rect(2, 2, 12, 12), Of(Tex), Of(Grey));
  }
  {
    // A gradient share without gradient stops paints the colour.
    TMemorySkin S;
    S.AddSection("FLAT", C).GradientPercent = 100;
    auto T = Filled(6, 6, Grey);
    PaintSectionToBitmap(0, "FLAT", NoBackground, 0, Rect(0, 0, 6, 6), Point(0, 0), T.get(), S.M.get(), -1, -1);
    ExpectArea(*T, Rect(0, 0, 6, 6), Of(C), Of(Grey));
  }
}

TEST(PainterSection, HotStateTakesTheHotValues) {
  TMemorySkin S;
  TsGeneralData& G = S.AddSection("BTN", clRed, clBlue);
  G.HotGradientPercent = 100;
  SetGradient(G, clLime, clLime, true);
  S.AddMask("BTN", "HOTPATTERN", Filled(3, 3, clYellow)).ImgType = itisaTexture;
  auto T = Filled(6, 6, Grey);
  PaintSectionToBitmap(0, "BTN", NoBackground, 0, Rect(0, 0, 6, 6), Point(0, 0), T.get(), S.M.get(), -1, -1);
  EXPECT_EQ(At(*T, 2, 2), Of(clRed));
  PaintSectionToBitmap(0, "BTN", NoBackground, 2, Rect(0, 0, 6, 6), Point(0, 0), T.get(), S.M.get(), -1, -1);
  EXPECT_EQ(At(*T, 2, 2), Of(clLime));
  G.HotGradientPercent = 0;
  G.HotImagePercent = 100;
  PaintSectionToBitmap(0, "BTN", NoBackground, 1, Rect(0, 0, 6, 6), Point(0, 0), T.get(), S.M.get(), -1, -1);
  EXPECT_EQ(At(*T, 2, 2), Of(clYellow));
}

TEST(PainterSection, BadIndexesAndTargetsPaintNothing) {
  TMemorySkin S;
  S.AddSection("A", clRed);
  auto T = Filled(6, 6, Grey);
  for (int Index : {-1, 1, 1000, -100})
    PaintSectionToBitmap(Index, "A", NoBackground, 0, Rect(0, 0, 6, 6), Point(0, 0), T.get(), S.M.get(), -1, -1);
  PaintSectionToBitmap(0, "A", NoBackground, 0, Rect(4, 4, 2, 2), Point(0, 0), T.get(), S.M.get(), -1, -1);
  PaintSectionToBitmap(0, "A", NoBackground, 0, Rect(0, 0, 6, 6), Point(0, 0), nullptr, S.M.get(), -1, -1);
  PaintSectionWithCorners(0, "A", NoBackground, true, 0, Rect(-1, 0, 6, 6), Point(0, 0), T.get(), S.M.get());
  PaintSectionWithCorners(0, "A", NoBackground, true, 0, Rect(0, 0, 7, 6), Point(0, 0), T.get(), S.M.get());
  PaintSectionWithCorners(5, "A", NoBackground, true, 0, Rect(0, 0, 6, 6), Point(0, 0), T.get(), S.M.get());
  TCacheInfo CI = NoBackground;
  PaintSectionWithMask(0, 0, -1, -1, CI, true, 0, Rect(0, 0, 6, 7), Point(0, 0), T.get(), S.M.get());
  PaintSectionToDC(3, "A", NoBackground, true, 0, Rect(0, 0, 6, 6), Point(0, 0), T->Canvas()->Handle(), S.M.get());
  ExpectArea(*T, Rect(0, 0, 6, 6), Of(Grey), Of(Grey));
  // Far outside the bitmap: clipped, no harm.
  PaintSectionToBitmap(0, "A", NoBackground, 0, Rect(-100, -100, 300, 3), Point(0, 0), T.get(), S.M.get(), -1, -1);
  EXPECT_EQ(At(*T, 5, 2), Of(clRed));
  EXPECT_EQ(At(*T, 5, 3), Of(Grey));
}

TEST(PainterSection, CornersAndBorderMask) {
  TMemorySkin S;
  TsGeneralData& G = S.AddSection("BOX", Grey, Grey);
  // Border: one 6 x 6 frame per state (2 states), margins 2, the frames blue and red.
  auto Border = Filled(12, 6, clBlue);
  for (int y = 0; y < 6; ++y)
    for (int x = 6; x < 12; ++x) PutColor(*Border, x, y, clRed);
  PutColor(*Border, 0, 0, 0xFF00FF);
  S.AddMask("BOX", "BORDERSMASK", std::move(Border), 2, 0, dmHotOnly, 2, 2, 2, 2);
  G.BorderIndex = S.LastMask();
  // A 3 x 2 corner image at the top right, one frame.
  S.AddMask("BOX", "IMGTOPRIGHT", Filled(3, 2, clLime), 1);
  G.ImgTopRight = S.LastMask();
  auto T = Filled(20, 12, clWhite);
  PaintSectionWithCorners(0, "BOX", NoBackground, false, 0, Rect(1, 1, 19, 11), Point(0, 0), T.get(), S.M.get());
  EXPECT_EQ(At(*T, 1, 1), Of(Grey));      // hot-only border: not in state 0
  EXPECT_EQ(At(*T, 16, 1), Of(clLime));   // corner image at (R.Right - 3, R.Top)
  EXPECT_EQ(At(*T, 18, 2), Of(clLime));
  EXPECT_EQ(At(*T, 15, 1), Of(Grey));
  EXPECT_EQ(At(*T, 0, 0), Of(clWhite));
  PaintSectionWithCorners(0, "BOX", NoBackground, false, 1, Rect(1, 1, 19, 11), Point(0, 0), T.get(), S.M.get());
  EXPECT_EQ(At(*T, 1, 1), Of(clRed));     // state 1: frame 1 of the border, over the corner image
  EXPECT_EQ(At(*T, 17, 1), Of(clRed));
  EXPECT_EQ(At(*T, 10, 6), Of(Grey));     // centre: not filled
}

TEST(PainterSection, WithMaskRestoresTheCacheInfo) {
  TMemorySkin S;
  S.AddSection("BAR", clNavy);
  auto Border = Filled(4, 4, clRed);
  PutColor(*Border, 0, 0, 0xFF00FF);
  S.AddMask("BAR", "BORDERSMASK", std::move(Border), 1, 0, 0, 1, 1, 1, 1);
  auto Bg = Numbered(30, 30);
  TCacheInfo CI = MakeCacheInfo(Bg.get(), 2, 3);
  auto T = Filled(10, 10, Grey);
  PaintSectionWithMask(0, 0, -1, -1, CI, true, 0, Rect(2, 2, 8, 8), Point(4, 5), T.get(), S.M.get());
  EXPECT_EQ(CI.X, 2);
  EXPECT_EQ(CI.Y, 3);
  EXPECT_EQ(At(*T, 5, 5), Of(clNavy));
  EXPECT_EQ(At(*T, 7, 2), Of(clRed));
  // The key pixel of the corner takes the background under it: (2 + 4 + 2, 3 + 5 + 2).
  EXPECT_EQ(At(*T, 2, 2), From(8, 10));
}

TEST(PainterSection, OverCacheWeighsTheTextureByItsOwnRule) {
  const TColor Tex = RGB(10, 20, 30), Grad = RGB(200, 150, 100);
  TMemorySkin S;
  TsGeneralData& G = S.AddSection("OC", clRed);
  G.ImagePercent = 50;
  G.GradientPercent = 50;
  SetGradient(G, Grad, Grad);
  S.AddMask("OC", "PATTERN", Filled(4, 4, Tex)).ImgType = itisaTexture;
  auto T = Filled(8, 8, Grey);
  // The texture weight is 50 * 256 div 100 = 128 here, 50 * 255 div 100 = 127 in PaintSectionToBitmap.
  PaintSectionOverCache(0, 0, -1, NoBackground, 0, Rect(0, 0, 8, 8), Point(0, 0), T.get(), S.M.get());
  ExpectArea(*T, Rect(0, 0, 8, 8), MixOf(Grad, Tex, 128), Of(Grey));
  PaintSectionToBitmap(0, "OC", NoBackground, 0, Rect(0, 0, 8, 8), Point(0, 0), T.get(), S.M.get(), 0, -1);
  ExpectArea(*T, Rect(0, 0, 8, 8), MixOf(Grad, Tex, 127), Of(Grey));
  // Over a ready picture with transparency: blended over the picture copied in first.
  G.Transparency = 50;
  G.ImagePercent = 0;
  G.GradientPercent = 0;
  auto Bg = Filled(8, 8, clWhite);
  PaintSectionOverCache(0, -1, -1, MakeCacheInfo(Bg.get(), 0, 0), 0, Rect(0, 0, 8, 8), Point(0, 0), T.get(),
                        S.M.get());
  ExpectArea(*T, Rect(0, 0, 8, 8), MixOf(clRed, clWhite, 127), Of(Grey));
}

TEST(PainterSection, ByNameAndToDC) {
  TMemorySkin S;
  S.AddSection("FIRST", clRed);
  S.AddSection("GLASS", clLime).Transparency = 100;
  auto T = Filled(5, 5, Grey);
  EXPECT_EQ(PaintSectionByName(T.get(), "MISSING", "ALSOMISSING", 0, S.M.get(), Point(0, 0), clBlue, nullptr), -1);
  ExpectArea(*T, Rect(0, 0, 5, 5), Of(Grey), Of(Grey));
  EXPECT_EQ(PaintSectionByName(T.get(), "MISSING", "FIRST", 0, S.M.get(), Point(0, 0), clBlue, nullptr), 0);
  ExpectArea(*T, Rect(0, 0, 5, 5), Of(clRed), Of(Grey));
  // A transparent section over what the DC shows at DCPoint.
  auto Src = Numbered(20, 20);
  auto T2 = Filled(5, 5, Grey);
  EXPECT_EQ(PaintSectionByName(T2.get(), "GLASS", "FIRST", 0, S.M.get(), Point(3, 4), clBlue,
                               Src->Canvas()->Handle()),
            1);
  EXPECT_EQ(At(*T2, 0, 0), From(3, 4));
  EXPECT_EQ(At(*T2, 4, 4), From(7, 8));
  // Without a DC the colour stands for the background.
  auto T3 = Filled(5, 5, Grey);
  PaintSectionByName(T3.get(), "GLASS", "", 0, S.M.get(), Point(0, 0), clBlue, nullptr);
  ExpectArea(*T3, Rect(0, 0, 5, 5), Of(clBlue), Of(Grey));

  // Through a device context: only R of the DC changes.
  auto Canvas = Filled(12, 10, Grey);
  PaintSectionToDC(0, "FIRST", NoBackground, true, 0, Rect(2, 3, 9, 7), Point(0, 0), Canvas->Canvas()->Handle(),
                   S.M.get());
  ExpectArea(*Canvas, Rect(2, 3, 9, 7), Of(clRed), Of(Grey));
}

TEST(PainterSection, ControlSkinFromTheSkinData) {
  TMemorySkin S;
  TsGeneralData& G = S.AddSection("PNL", clLime, clAqua);
  // A hot-only border: two frames, blue and red.
  auto Border = Filled(8, 4, clBlue);
  for (int y = 0; y < 4; ++y)
    for (int x = 4; x < 8; ++x) PutColor(*Border, x, y, clRed);
  S.AddMask("PNL", "BORDERSMASK", std::move(Border), 2, 0, dmHotOnly, 1, 1, 1, 1);
  G.BorderIndex = S.LastMask();
  auto Panel = std::make_unique<TPanel>(nullptr);
  Panel->SetBounds(0, 0, 10, 8);
  Panel->SetColor(clYellow);
  TsCommonData Data(Panel.get(), 0, true);
  Data.SetSkinManager(S.M.get());
  Data.SetSkinSection("PNL");
  ASSERT_EQ(Data.SectionIndex, 0);

  auto T = Filled(10, 8, Grey);
  PaintControlSkin(&Data, NoBackground, false, 0, Rect(0, 0, 10, 8), Point(0, 0), T.get());
  EXPECT_EQ(At(*T, 0, 0), Of(clLime));  // state 0: no hot-only border
  EXPECT_EQ(At(*T, 5, 4), Of(clLime));
  PaintControlSkin(&Data, NoBackground, false, 1, Rect(0, 0, 10, 8), Point(0, 0), T.get());
  EXPECT_EQ(At(*T, 0, 0), Of(clRed));   // state 1: frame 1 of the border
  EXPECT_EQ(At(*T, 5, 4), Of(clAqua));  // over the hot colour

  // CustomColor: the owner control's colour instead of the section.
  Data.SetCustomColor(true);
  PaintControlSection(&Data, NoBackground, 0, Rect(0, 0, 10, 8), Point(0, 0), T.get());
  EXPECT_EQ(At(*T, 5, 4), Of(clYellow));
  // Skin data without a section: nothing.
  TsCommonData None(Panel.get(), 0, true);
  auto T2 = Filled(4, 4, Grey);
  PaintControlSkin(&None, NoBackground, true, 0, Rect(0, 0, 4, 4), Point(0, 0), T2.get());
  PaintControlSkin(nullptr, NoBackground, true, 0, Rect(0, 0, 4, 4), Point(0, 0), T2.get());
  EXPECT_EQ(At(*T2, 1, 1), Of(Grey));
}

namespace {

// Blue, green and red of a pixel (alpha left out).
BGRA Rgb3(TBitmap& B, int X, int Y) {
  BGRA P = At(B, X, Y);
  P[3] = -1;
  return P;
}

// A masked texture of its own: a 4 x 4 tile of Tile over a black mask (the tile shows whole).
TsMaskData& AddMaskedTexture(TMemorySkin& S, const AnsiString& Section, TColor Tile, int DrawMode) {
  auto B = Filled(4, 8, clBlack);
  B->Canvas()->Brush()->SetColor(Tile);
  B->Canvas()->FillRect(Rect(0, 0, 4, 4));
  return S.AddMask(Section, "PATTERN", std::move(B), 1, 1, DrawMode);
}

}  // namespace

TEST(PainterSection, ExtraTexturePassAlsoOverACustomColour) {
  // A masked texture in fill mode 10: whole tiles of it lie over the section, the remainders show
  // the background colour.
  TMemorySkin S;
  S.AddSection("TILED", clRed);
  AddMaskedTexture(S, "TILED", clBlue, 10);
  auto T = Filled(12, 12, Grey);
  PaintSectionToBitmap(0, "TILED", ColorInfo(clYellow), 0, Rect(0, 0, 12, 12), Point(0, 0), T.get(), S.M.get(), 0,
                       -1, clLime);
  EXPECT_EQ(At(*T, 1, 1), Of(clBlue));
  EXPECT_EQ(At(*T, 7, 7), Of(clBlue));
  EXPECT_EQ(At(*T, 10, 10), Of(clYellow));
  // The hot state has no extra pass: the plain colour.
  PaintSectionToBitmap(0, "TILED", ColorInfo(clYellow), 1, Rect(0, 0, 12, 12), Point(0, 0), T.get(), S.M.get(), 0,
                       -1, clLime);
  ExpectArea(*T, Rect(0, 0, 12, 12), Of(clLime), Of(Grey));
}

TEST(PainterSection, TransparencyOverStripsNarrowerThanTwoPixels) {
  const TColor Grad = RGB(200, 150, 100), Bg = RGB(10, 250, 128), Tex = RGB(10, 20, 30);
  // A gradient under 50 % transparency goes through a work bitmap of the strip's size: a row
  // gradient over a strip one pixel wide, a column gradient over one a pixel high.
  TMemorySkin S;
  TsGeneralData& G = S.AddSection("GLASS", clRed);
  G.Transparency = 50;
  G.GradientPercent = 100;
  auto Back = Filled(20, 20, Bg);
  for (int Mode : {0, 1}) {
    SetGradient(G, Grad, Grad, false, Mode);
    const TRect R = Mode == 0 ? Rect(3, 2, 4, 12) : Rect(2, 5, 12, 6);
    auto T = Filled(16, 16, Grey);
    PaintSectionToBitmap(0, "GLASS", MakeCacheInfo(Back.get(), 0, 0), 0, R, Point(0, 0), T.get(), S.M.get(), -1, -1);
    ExpectArea(*T, R, MixOf(Grad, Bg, 127), Of(Grey));
  }
  // The same over a 32-bit target.
  SetGradient(G, Grad, Grad);
  auto Back32 = Filled(20, 20, Bg, pf32bit);
  FillRect32(Back32.get(), Rect(0, 0, 20, 20), Bg);
  auto T32 = Filled(16, 16, Grey, pf32bit);
  PaintSectionToBitmap(0, "GLASS", MakeCacheInfo(Back32.get(), 0, 0), 0, Rect(3, 2, 4, 12), Point(0, 0), T32.get(),
                       S.M.get(), -1, -1);
  EXPECT_EQ(Rgb3(*T32, 3, 5), MixOf(Grad, Bg, 127));
  EXPECT_EQ(Rgb3(*T32, 4, 5), Of(Grey));
  // A texture under the transparency over a single pixel.
  G.GradientPercent = 0;
  G.ImagePercent = 100;
  S.AddMask("GLASS", "PATTERN", Filled(3, 3, Tex)).ImgType = itisaTexture;
  auto T1 = Filled(16, 16, Grey);
  PaintSectionToBitmap(0, "GLASS", MakeCacheInfo(Back.get(), 0, 0), 0, Rect(6, 6, 7, 7), Point(0, 0), T1.get(),
                       S.M.get(), -1, -1);
  ExpectArea(*T1, Rect(6, 6, 7, 7), MixOf(Tex, Bg, 127), Of(Grey));
  // A gradient over a texture in a strip one pixel high: blended over the texture.
  TMemorySkin S2;
  TsGeneralData& G2 = S2.AddSection("MIX", clRed);
  G2.ImagePercent = 40;
  G2.GradientPercent = 60;
  SetGradient(G2, Grad, Grad, false, 1);
  S2.AddMask("MIX", "PATTERN", Filled(4, 4, Tex)).ImgType = itisaTexture;
  auto T2 = Filled(12, 12, Grey);
  PaintSectionToBitmap(0, "MIX", NoBackground, 0, Rect(1, 4, 11, 5), Point(0, 0), T2.get(), S2.M.get(), -1, -1);
  ExpectArea(*T2, Rect(1, 4, 11, 5), MixOf(Grad, Tex, 102), Of(Grey));
}

TEST(PainterSection, OverCachePaintsThe32BitTarget) {
  const TColor C = RGB(200, 100, 0), Bg = RGB(10, 250, 128), Tex = RGB(10, 20, 30), Grad = RGB(200, 150, 100);
  TMemorySkin S;
  TsGeneralData& G = S.AddSection("HALF", C);
  G.Transparency = 50;
  auto Back = Filled(8, 8, Bg, pf32bit);
  FillRect32(Back.get(), Rect(0, 0, 8, 8), Bg);
  auto T = Filled(8, 8, Grey, pf32bit);
  PaintSectionOverCache(0, -1, -1, MakeCacheInfo(Back.get(), 0, 0), 0, Rect(1, 1, 7, 7), Point(0, 0), T.get(),
                        S.M.get());
  EXPECT_EQ(At(*T, 3, 3), MixOf(C, Bg, 127, Mix(255, 255, 127)));
  EXPECT_EQ(Rgb3(*T, 0, 0), Of(Grey));
  // The transparent section over a strip one pixel wide.
  auto T1 = Filled(8, 8, Grey, pf32bit);
  PaintSectionOverCache(0, -1, -1, MakeCacheInfo(Back.get(), 0, 0), 0, Rect(2, 1, 3, 7), Point(0, 0), T1.get(),
                        S.M.get());
  EXPECT_EQ(Rgb3(*T1, 2, 4), MixOf(C, Bg, 127));
  // A gradient over a texture, without transparency: the gradient is blended over the texture.
  G.Transparency = 0;
  G.ImagePercent = 50;
  G.GradientPercent = 50;
  SetGradient(G, Grad, Grad);
  S.AddMask("HALF", "PATTERN", Filled(4, 4, Tex)).ImgType = itisaTexture;
  auto T2 = Filled(8, 8, Grey, pf32bit);
  PaintSectionOverCache(0, 0, -1, NoBackground, 0, Rect(0, 0, 8, 8), Point(0, 0), T2.get(), S.M.get());
  EXPECT_EQ(Rgb3(*T2, 4, 4), MixOf(Grad, Tex, 128));
}

TEST(PainterSection, MaskedTextureKeysShowTheBackgroundUnderThemAtAnyTransparency) {
  // A masked texture all of key colour: every pixel of the section shows what lies under it,
  // whether the section is painted straight into the target or through a work bitmap, also when
  // the rectangle is not at the target's origin.
  TMemorySkin S;
  TsGeneralData& G = S.AddSection("GLASS", clRed);
  G.ImagePercent = 100;
  auto Tile = Filled(4, 8, clBlack);
  Tile->Canvas()->Brush()->SetColor(Key);
  Tile->Canvas()->FillRect(Rect(0, 0, 4, 4));
  S.AddMask("GLASS", "PATTERN", std::move(Tile), 1, 1, 0);
  auto Bg = Numbered(40, 40);
  const TCacheInfo CI = MakeCacheInfo(Bg.get(), 3, 2);  // the target's origin lies at (3, 2) of Bg
  const TRect R = Rect(6, 4, 14, 12);
  for (int T : {0, 50}) {
    G.Transparency = T;
    for (bool OverCache : {false, true}) {
      auto Target = Filled(20, 16, Grey);
      if (OverCache)
        PaintSectionOverCache(0, 0, -1, CI, 0, R, Point(R.Left, R.Top), Target.get(), S.M.get());
      else
        PaintSectionToBitmap(0, "GLASS", CI, 0, R, Point(R.Left, R.Top), Target.get(), S.M.get(), -1, -1);
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 20; ++x)
          ASSERT_EQ(At(*Target, x, y), R.Contains(Point(x, y)) ? From(3 + x, 2 + y) : Of(Grey))
              << x << "," << y << " transparency " << T << (OverCache ? " over cache" : "");
    }
  }
}
