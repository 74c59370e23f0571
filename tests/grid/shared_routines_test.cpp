// The portable shared grid routines: colour blends and mixes (with their rounding and the
// assertion on a bad weight), geometry, the pixel loop of alpha drawing and the colour scheme
// table of the Office-like header styles.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "grid/NxSharedCommon.h"
#include "grid/NxSharedDraw.h"
#include "grid/NxThemeSupport.h"
#include "support/MessageOf.h"

namespace {

constexpr TColor White = 0xFFFFFF;
constexpr TColor Black = 0x000000;
// System colours as the framework names them: 0x80000000 | index.
constexpr TColor SysBtnFace = static_cast<TColor>(0x80000000u | 15);
constexpr TColor SysBtnShadow = static_cast<TColor>(0x80000000u | 16);

constexpr TColor Rgb(int R, int G, int B) { return R | (G << 8) | (B << 16); }

template <class E, class F>
std::string MessageOf(F&& Fn) {
  return exctest::MessageOf<E>(std::forward<F>(Fn), "<no exception>");
}

}  // namespace

// ---- blends by a byte weight ---------------------------------------------------------------

TEST(SharedBlend, DividesBy256SoFullWeightLosesOneStep) {
  EXPECT_EQ(TGraphicsProvider::BlendColor(White, Black, 255), 0xFEFEFE);
  EXPECT_EQ(TGraphicsProvider::BlendColor(White, Black, 0), Black);
  // Weight 0 is all of the second colour, still divided by 256.
  EXPECT_EQ(TGraphicsProvider::BlendColor(Black, White, 0), 0xFEFEFE);
  EXPECT_EQ(TGraphicsProvider::BlendColor(Rgb(200, 100, 50), Rgb(0, 0, 0), 128),
            Rgb(200 * 128 / 256, 100 * 128 / 256, 50 * 128 / 256));
}

TEST(SharedBlend, ChannelsDoNotSpillIntoEachOther) {
  // Red against blue and green against nothing: each channel keeps to its own byte.
  const TColor C = TGraphicsProvider::BlendColor(Rgb(255, 0, 0), Rgb(0, 0, 255), 128);
  EXPECT_EQ(C, Rgb(255 * 128 / 256, 0, 255 * 127 / 256));
  const TColor G = TGraphicsProvider::BlendColor(Rgb(0, 255, 0), Rgb(255, 0, 255), 200);
  EXPECT_EQ(G, Rgb(255 * 55 / 256, 255 * 200 / 256, 255 * 55 / 256));
  // The top byte of a plain colour takes no part.
  EXPECT_EQ(TGraphicsProvider::BlendColor(0x1F00FF00, 0x1F0000FF, 255), TGraphicsProvider::BlendColor(0x00FF00, 0xFF, 255));
}

TEST(SharedBlend, SystemColoursAreResolvedFirst) {
  const TColor Shadow = NxColorToRGB(SysBtnShadow);
  const TColor Face = NxColorToRGB(SysBtnFace);
  EXPECT_GE(Shadow, 0);
  EXPECT_LE(Shadow, 0xFFFFFF);
  for (int W : {50, 100, 150})
    EXPECT_EQ(TGraphicsProvider::BlendColor(SysBtnShadow, SysBtnFace, W), TGraphicsProvider::BlendColor(Shadow, Face, W))
        << W;
  EXPECT_EQ(NxColorToRGB(0x12345678), 0x345678);
}

TEST(SharedBlend, AllThreeBlendsAgree) {
  for (int W : {0, 1, 64, 127, 128, 254, 255}) {
    const TColor A = Rgb(13, 200, 97), B = Rgb(250, 3, 180);
    const TColor Expected = TGraphicsProvider::BlendColor(A, B, W);
    EXPECT_EQ(TMaskProvider::BlendColor(A, B, W), Expected);
    EXPECT_EQ(BlendColor(A, B, W), Expected);
  }
}

TEST(SharedBlend, AWeightOutsideAByteIsAnAssertionFailureNamingTheUnit) {
  const std::string Common = MessageOf<EAssertionFailed>([] { TGraphicsProvider::BlendColor(White, Black, 256); });
  EXPECT_EQ(Common.rfind("Assertion failure (NxSharedCommon, line ", 0), 0u) << Common;
  EXPECT_EQ(MessageOf<EAssertionFailed>([] { TMaskProvider::BlendColor(White, Black, -1); }).rfind(
                "Assertion failure (NxSharedCommon, line ", 0),
            0u);
  const std::string Draw = MessageOf<EAssertionFailed>([] { BlendColor(White, Black, -1); });
  EXPECT_EQ(Draw.rfind("Assertion failure (NxSharedDraw, line ", 0), 0u) << Draw;
  EXPECT_EQ(Draw.back(), ')');
}

// ---- mixes by a ratio ------------------------------------------------------------------------

TEST(SharedMix, EndsAreTheColoursThemselves) {
  const TColor A = Rgb(10, 20, 30), B = Rgb(250, 240, 230);
  EXPECT_EQ(TGraphicsProvider::MixColors(A, B, 0.0), A);
  EXPECT_EQ(TGraphicsProvider::MixColors(A, B, 1.0), B);
  EXPECT_EQ(MixColors(A, B, 0.25), TGraphicsProvider::MixColors(A, B, 0.25));
  // Ratio is the share of the second colour.
  EXPECT_EQ(TGraphicsProvider::MixColors(Black, Rgb(200, 100, 40), 0.25), Rgb(50, 25, 10));
}

TEST(SharedMix, HalvesRoundToEven) {
  // Red 1 and 2 give 1.5 -> 2; green 2 and 3 give 2.5 -> 2; blue 0 and 5 give 2.5 -> 2.
  EXPECT_EQ(TGraphicsProvider::MixColors(Rgb(1, 2, 0), Rgb(2, 3, 5), 0.5), Rgb(2, 2, 2));
  EXPECT_EQ(TGraphicsProvider::MixColors(Rgb(4, 6, 0), Rgb(5, 7, 7), 0.5), Rgb(4, 6, 4));
}

TEST(SharedMix, ResolvesSystemColoursAndRejectsNaN) {
  EXPECT_EQ(TGraphicsProvider::MixColors(SysBtnFace, Black, 0.0), NxColorToRGB(SysBtnFace));
  EXPECT_EQ(MessageOf<ERangeError>([] { TGraphicsProvider::MixColors(White, Black, std::nan("")); }),
            "MixColors: the ratio is not a number");
  // A ratio past either end stays at that end rather than wrapping channels.
  EXPECT_EQ(TGraphicsProvider::MixColors(Rgb(100, 100, 100), White, 3.0), White);
  EXPECT_EQ(TGraphicsProvider::MixColors(Rgb(100, 100, 100), White, -2.0), Rgb(100, 100, 100));
}

TEST(SharedDarken, SubtractsPerChannelWithinAByte) {
  EXPECT_EQ(TGraphicsProvider::DarkenColor(Rgb(100, 5, 255), 10), Rgb(90, 0, 245));
  EXPECT_EQ(TGraphicsProvider::DarkenColor(Rgb(250, 0, 1), -10), Rgb(255, 10, 11));
  EXPECT_EQ(TGraphicsProvider::DarkenColor(SysBtnFace, 0), NxColorToRGB(SysBtnFace));
}

// ---- geometry --------------------------------------------------------------------------------

TEST(SharedGeometry, RectsIntersectCountsTouchingEdges) {
  const TRect A{0, 0, 10, 10};
  EXPECT_TRUE(TCalcProvider::RectsIntersect(A, TRect{10, 0, 20, 10}));  // shares x = 10
  EXPECT_TRUE(TCalcProvider::RectsIntersect(A, TRect{0, 10, 10, 20}));  // shares y = 10
  EXPECT_TRUE(TCalcProvider::RectsIntersect(A, TRect{2, 2, 3, 3}));
  EXPECT_FALSE(TCalcProvider::RectsIntersect(A, TRect{11, 0, 20, 10}));
  EXPECT_FALSE(TCalcProvider::RectsIntersect(A, TRect{0, 11, 10, 20}));
  EXPECT_FALSE(TCalcProvider::RectsIntersect(A, TRect{-20, 0, -1, 10}));
  EXPECT_FALSE(TCalcProvider::RectsIntersect(A, TRect{0, -20, 10, -1}));
}

TEST(SharedGeometry, PlaceInRectByEachAlignment) {
  const TRect R{10, 20, 110, 70};  // centre (60, 45)
  TPoint P;
  TCalcProvider::PlaceInRect(16, 8, P, 0, 0, R, 3);
  EXPECT_EQ(P, Point(13, 23));
  TCalcProvider::PlaceInRect(16, 8, P, 1, 1, R, 3);
  EXPECT_EQ(P, Point(110 - 19, 70 - 11));
  TCalcProvider::PlaceInRect(17, 9, P, 2, 2, R, 3);  // the margin plays no part when centred
  EXPECT_EQ(P, Point(60 - 8, 45 - 4));
  TCalcProvider::PlaceInRect(16, 8, P, 2, 0, R, 0);
  EXPECT_EQ(P, Point(10, 41));
}

TEST(SharedGeometry, PlaceInRectCentresRoundTowardZero) {
  TPoint P;
  // Centre of (-5, -5, 0, 0) is (-5 + 0) / 2 = -2 (toward zero), then minus 3 div 2 = 1.
  TCalcProvider::PlaceInRect(3, 3, P, 2, 2, TRect{-5, -5, 0, 0}, 0);
  EXPECT_EQ(P, Point(-3, -3));
}

TEST(SharedGeometry, PlaceInRectRejectsUnknownAlignments) {
  TPoint P{7, 7};
  EXPECT_EQ(MessageOf<ERangeError>([&] { TCalcProvider::PlaceInRect(1, 1, P, 0, 3, TRect{0, 0, 5, 5}, 0); }),
            "PlaceInRect: alignment (3, 0) is not 0, 1 or 2");
  EXPECT_EQ(MessageOf<ERangeError>([&] { TCalcProvider::PlaceInRect(1, 1, P, -1, 0, TRect{0, 0, 5, 5}, 0); }),
            "PlaceInRect: alignment (0, -1) is not 0, 1 or 2");
  EXPECT_EQ(P, Point(7, 7));
}

TEST(SharedGeometry, ResizeRectTakesItsDeltasInItsOwnOrder) {
  TRect Out;
  TCalcProvider::ResizeRect(TRect{10, 20, 30, 40}, 1, Out, 4, 3, 2);  // DLeft, DBottom, DRight, DTop
  EXPECT_EQ(Out, (TRect{11, 22, 33, 44}));
  TRect Same{10, 20, 30, 40};
  TCalcProvider::ResizeRect(Same, -1, Same, 1, 1, -1);  // the result may be the source
  EXPECT_EQ(Same, (TRect{9, 19, 31, 41}));
}

TEST(SharedGeometry, PointOutsideTheDragThreshold) {
  const TPoint C{100, 50};
  EXPECT_FALSE(TCalcProvider::PointOutside(Point(103, 53), C, 3));
  EXPECT_FALSE(TCalcProvider::PointOutside(Point(97, 47), C, 3));
  EXPECT_TRUE(TCalcProvider::PointOutside(Point(104, 50), C, 3));
  EXPECT_TRUE(TCalcProvider::PointOutside(Point(100, 46), C, 3));
}

// ---- pixels ----------------------------------------------------------------------------------

TEST(SharedPixels, AccessMovesOnePixelAtATime) {
  Byte Row[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const Byte* P = Row;
  Byte B, G, R, A;
  ReadPixel(P, B, G, R);
  EXPECT_EQ(P, Row + 4);
  EXPECT_EQ((std::vector<int>{B, G, R}), (std::vector<int>{1, 2, 3}));
  ReadAlphaPixel(P, B, G, R, A);
  EXPECT_EQ(P, Row + 8);
  EXPECT_EQ((std::vector<int>{B, G, R, A}), (std::vector<int>{5, 6, 7, 8}));
  Byte* W = Row;
  WritePixel(W, 9, 10, 11);
  EXPECT_EQ(W, Row + 4);
  EXPECT_EQ((std::vector<int>{Row[0], Row[1], Row[2], Row[3]}), (std::vector<int>{9, 10, 11, 4}));
}

TEST(SharedPixels, AlphaRowBlendsSourceOverDestinationAndKeepsAlpha) {
  // Source pixels (B, G, R, A): opaque white, clear white, half red, quarter green.
  std::vector<Byte> Src = {255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 255, 128, 0, 200, 0, 64};
  const std::vector<Byte> Dst = {0, 0, 0, 0, 40, 80, 120, 0, 255, 0, 0, 0, 100, 100, 100, 0};
  BlendAlphaRow(Src.data(), Dst.data(), Src.data(), 4);
  const std::vector<Byte> Expected = {
      254, 254, 254, 255,                                               // 255 * 255 >> 8
      40 * 255 / 256, 80 * 255 / 256, 120 * 255 / 256, 0,              // all destination
      255 * 127 / 256, 0, 255 * 128 / 256, 128,                         // half red over blue
      100 * 191 / 256, (200 * 64 + 100 * 191) / 256, 100 * 191 / 256, 64};
  EXPECT_EQ(Src, Expected);
}

// ---- colour scheme table ---------------------------------------------------------------------

TEST(SchemeColors, CurrentSchemeIsTheSecondAtStart) {
  EXPECT_EQ(CurrentScheme, 2);
  EXPECT_EQ(SchemeColor(11, 0), 0xFFD2AF);
  EXPECT_EQ(SchemeColor(11), 0xFFD2AF);
  EXPECT_EQ(SchemeColor(2, 5), 0xB5ACA5);
}

TEST(SchemeColors, TheEntriesTheHeaderStylesPaintWith) {
  // Indices 2, 6, 7, 10 and 11 per scheme: borders, gradient ends, separators, fills.
  const TColor Expected[7][5] = {{},
                                 {0x5C534C, 0xFFFFFF, 0xC9C2BD, 0xA49991, 0xC9C2BD},
                                 {0xCF9365, 0xFFFFFF, 0xFFD2AF, 0xFFC69A, 0xFFD2AF},
                                 {0x74706F, 0xFFFFFF, 0xE7DFDA, 0x8F6D6E, 0xE7DFDA},
                                 {0xBD9D84, 0xFBF5EF, 0xFAECE1, 0xBD9D84, 0xE7DFDA},
                                 {0xB5ACA5, 0xF9F7F5, 0xF6F2EF, 0xB5ACA5, 0xE7DFDA},
                                 {0x3B3B3B, 0xF9F7F5, 0xF6F2EF, 0xB5ACA5, 0xE7DFDA}};
  const int Index[5] = {2, 6, 7, 10, 11};
  for (int S = 1; S <= SchemeCount; ++S)
    for (int I = 0; I < 5; ++I) EXPECT_EQ(SchemeColor(Index[I], S), Expected[S][I]) << S << " " << Index[I];
}

TEST(SchemeColors, UnusedEntriesAreZero) {
  for (int S = 1; S <= SchemeCount; ++S)
    for (int I : {0, 15, 16, 17}) EXPECT_EQ(SchemeColor(I, S), 0) << S << " " << I;
  EXPECT_EQ(SchemeColor(5, 1), 0x3C8CFB);  // only the first scheme has index 5
  EXPECT_EQ(SchemeColor(5, 2), 0);
  EXPECT_EQ(SchemeColor(23, 6), 0x977778);
}

TEST(SchemeColors, SchemeZeroFollowsTheCurrentScheme) {
  const Byte Saved = CurrentScheme;
  CurrentScheme = 6;
  EXPECT_EQ(SchemeColor(2), 0x3B3B3B);
  CurrentScheme = 0;  // row 0 of the table
  EXPECT_EQ(SchemeColor(11), 0);
  CurrentScheme = 9;
  EXPECT_EQ(MessageOf<ERangeError>([] { SchemeColor(2); }), "Colour scheme out of range (9)");
  EXPECT_EQ(SchemeColor(2, 3), 0x74706F);  // an explicit scheme does not look at the current one
  CurrentScheme = Saved;
}

TEST(SchemeColors, OutOfTableArgumentsRaise) {
  EXPECT_EQ(MessageOf<ERangeError>([] { SchemeColor(24, 1); }), "Scheme colour index out of range (24)");
  EXPECT_EQ(MessageOf<ERangeError>([] { SchemeColor(-1, 1); }), "Scheme colour index out of range (-1)");
  EXPECT_EQ(MessageOf<ERangeError>([] { SchemeColor(0, 7); }), "Colour scheme out of range (7)");
  EXPECT_EQ(MessageOf<ERangeError>([] { SchemeColor(0, -1); }), "Colour scheme out of range (-1)");
}
