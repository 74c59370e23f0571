// The recolouring passes of a skin over plain pixels and section records: which pixels and which
// colours a pass changes, and the numbers it derives from the manager's settings. The colour
// routines here are simple stand-ins (channel rotations) so that every changed value is visible.
#include <gtest/gtest.h>

#include <cstdint>

#include "pixels_test_support.h"
#include "skin/core/acHueSaturation.h"
#include "skin/core/sGradient.h"

namespace {

// Red -> green -> blue -> red: R | G << 8 | B << 16 becomes B | R << 8 | G << 16.
TColor Rotate(TColor C) {
  const int R = C & 0xFF, G = (C >> 8) & 0xFF, B = (C >> 16) & 0xFF;
  return B | (R << 8) | (G << 16);
}

TEST(PeripheryHuePixels, ChangesColouredPixelsAndLeavesKeyAndGrey) {
  for (const int Bits : {24, 32})
    for (const bool BottomUp : {true, false}) {
      pixtest::Image Im(5, 2, Bits, BottomUp);
      Im.Set(0, 0, 0, 0, 200, 77);        // red, alpha 77
      Im.Set(1, 0, 255, 0, 255, 10);      // the key colour
      Im.Set(2, 0, 90, 90, 90, 20);       // grey
      Im.Set(3, 0, 255, 0, 254, 30);      // almost the key: coloured
      Im.Set(4, 0, 0, 0, 0, 40);          // black is grey too
      Im.Set(0, 1, 10, 20, 30, 0);
      Im.Set(1, 1, 0, 0, 200, 0);  // red again after another colour
      RecolorPixels(Im.View(), Rotate, true);
      const int A = Bits == 32;
      EXPECT_EQ(Im.Get(0, 0), (pixtest::BGRA{0, 200, 0, A ? 77 : -1})) << Bits;
      EXPECT_EQ(Im.Get(1, 0), (pixtest::BGRA{255, 0, 255, A ? 10 : -1}));
      EXPECT_EQ(Im.Get(2, 0), (pixtest::BGRA{90, 90, 90, A ? 20 : -1}));
      EXPECT_EQ(Im.Get(3, 0), (pixtest::BGRA{0, 254, 255, A ? 30 : -1}));
      EXPECT_EQ(Im.Get(4, 0), (pixtest::BGRA{0, 0, 0, A ? 40 : -1}));
      EXPECT_EQ(Im.Get(0, 1), (pixtest::BGRA{20, 30, 10, A ? 0 : -1}));
      EXPECT_EQ(Im.Get(1, 1), (pixtest::BGRA{0, 200, 0, A ? 0 : -1}));
      EXPECT_TRUE(Im.PaddingIntact());
    }
  // Other depths are left.
  pixtest::Image Gray(4, 4, 8, true, 7);
  RecolorPixels(Gray.View(), Rotate, false);
  EXPECT_EQ(Gray.Get(1, 1)[0], 7);
}

TEST(PeripheryHuePixels, GreyPixelsChangeWhenAsked) {
  pixtest::Image Im(3, 1, 24);
  Im.Set(0, 0, 90, 90, 90);
  Im.Set(1, 0, 255, 0, 255);
  Im.Set(2, 0, 1, 2, 3);
  RecolorPixels(Im.View(), [](TColor C) { return C ^ 0x0F0F0F; }, false);
  EXPECT_EQ(Im.Get(0, 0), (pixtest::BGRA{90 ^ 15, 90 ^ 15, 90 ^ 15, -1}));
  EXPECT_EQ(Im.Get(1, 0), (pixtest::BGRA{255, 0, 255, -1}));  // the key never changes
  EXPECT_EQ(Im.Get(2, 0), (pixtest::BGRA{1 ^ 15, 2 ^ 15, 3 ^ 15, -1}));
}

TEST(PeripheryHuePixels, EachColourIsConvertedOnceHoweverThePixelsLieOut) {
  // A picture of few colours costs a conversion for each colour, not for each pixel, however its
  // colours lie, up to as many colours as are remembered; a colour beyond them costs a conversion
  // each time it is met, the others stay remembered. Pictures of more colours than are remembered
  // still get every pixel right.
  constexpr int Held = static_cast<int>(TacColorTable::MaxColors);
  constexpr int Big = Held + Held / 2 + 7;
  const struct {
    const char* Name;
    int Width, Height;
    int (*ColourOf)(int Pixel);  // the index of the colour of the pixel at that index
    int AtMost;                  // conversions, -1: not counted
  } Rows[] = {
      {"two colours in turn", 512, 256, [](int I) { return I % 2; }, 2},
      {"3,000 colours over and over", 600, 200, [](int I) { return I % 3000; }, 3000},
      // Colours 2k and 2k + 1 in turn, three times each: 40,000 colours, a few more conversions
      // where the table starts afresh.
      {"40,000 colours, each met three times", 600, 200, [](int I) { return I / 6 * 2 + I % 2; }, 40000 + 10},
      {"16,000 colours over and over", 1024, 512, [](int I) { return I % 16000; }, 16000},
      {"17,000 colours over and over", 1024, 512, [](int I) { return I % 17000; }, 17000},
      {"40,000 colours over and over", 1024, 512, [](int I) { return I % 40000; }, 40000},
      // Each colour met four times, the last one five.
      {"one colour more than are remembered, over and over", 1024, (Held + 1) * 4 / 1024 + 1,
       [](int I) { return I % (Held + 1); }, Held + 5},
      // The colours change part way: many met once, then a few over and over, which come to be
      // remembered: not a conversion for every pixel.
      {"more colours than are remembered met once, then 100 over and over", 2048, 2048,
       [](int I) { return I < Held + 1000 ? I : Held + 1000 + I % 100; }, 2048 * 2048 / 2},
      {"more colours than are remembered, each met twice", 1024, Big * 2 / 1024 + 1, [](int I) { return I % Big; }, -1}};
  for (const auto& R : Rows) {
    SCOPED_TRACE(R.Name);
    // Colour c, never grey nor the key: red c & 255, green 1 + (c >> 8) & 127, blue 200 + (c >> 15).
    auto Colour = [&](int I) {
      const int C = R.ColourOf(I);
      return pixtest::BGRA{200 + (C >> 15), 1 + ((C >> 8) & 127), C & 255, -1};
    };
    pixtest::Image Im(R.Width, R.Height, 24);
    for (int I = 0; I < R.Width * R.Height; ++I) {
      const pixtest::BGRA P = Colour(I);
      Im.Set(I % R.Width, I / R.Width, P[0], P[1], P[2]);
    }
    int Count = 0;
    RecolorPixels(Im.View(), [&](TColor C) { return ++Count, Rotate(C); }, true);
    if (R.AtMost >= 0) EXPECT_LE(Count, R.AtMost);
    for (int I = 0; I < R.Width * R.Height; I += 997) {
      const pixtest::BGRA P = Colour(I);
      const TColor Want = Rotate(P[2] | P[1] << 8 | P[0] << 16);
      ASSERT_EQ(Im.Get(I % R.Width, I / R.Width),
                (pixtest::BGRA{static_cast<int>(Want >> 16) & 255, static_cast<int>(Want >> 8) & 255,
                               static_cast<int>(Want) & 255, -1}))
          << I;
    }
  }
}

TEST(PeripheryHuePixels, AFullTableKeepsItsColoursThroughAPictureWhoseColoursRarelyRepeat) {
  // One table recolours a picture of 3,000 colours met over and over, then a picture of colours met
  // once each, as many as fill the table, make it judge and pass colours straight on, then the
  // first picture again: its colours are converted with the first picture only.
  int Count = 0;
  TacColorTable Table([&](TColor C) { return ++Count, Rotate(C); });
  auto Common = [](int I) { return static_cast<TColor>(0xF00000 + I % 3000); };
  for (int I = 0; I < 30000; ++I) Table(Common(I));
  EXPECT_EQ(Count, 3000);
  const int Once = static_cast<int>(2 * TacColorTable::MaxColors - 3000 + TacColorTable::PassLength);
  for (int I = 0; I < Once; ++I) Table(static_cast<TColor>(I));
  Count = 0;
  for (int I = 0; I < 30000; ++I) Table(Common(I));
  EXPECT_EQ(Count, 0);
}

TsGeneralData Section(const char* Name) {
  TsGeneralData S;
  S.SectionName = Name;
  S.Color = 0x000080;
  S.HotColor = 0x008000;
  S.FontColor[0] = 0x000001;
  S.FontColor[1] = -1;
  S.FontColor[2] = 0x000002;
  S.HotFontColor[0] = 0x000003;
  S.HotFontColor[4] = 0x000004;
  return S;
}

TEST(PeripheryHueColors, SectionAndSkinColoursChangeUnsetOnesStay) {
  TsGeneralDataArray Sections;
  Sections.push_back(Section("A"));
  Sections.push_back(Section("B"));
  TsSkinData Data;
  Data.Shadow1Color = 0x0000FF;
  Data.BorderColor = 0x00FF00;
  RecolorSkinColors(Sections, Data, Rotate);
  for (const TsGeneralData& S : Sections) {
    EXPECT_EQ(S.Color, 0x008000);
    EXPECT_EQ(S.HotColor, 0x800000);
    EXPECT_EQ(S.FontColor[0], 0x000100);
    EXPECT_EQ(S.FontColor[1], -1);
    EXPECT_EQ(S.FontColor[2], 0x000200);
    EXPECT_EQ(S.FontColor[3], -1);
    EXPECT_EQ(S.HotFontColor[0], 0x000300);
    EXPECT_EQ(S.HotFontColor[1], -1);
    EXPECT_EQ(S.HotFontColor[4], 0x000400);
  }
  EXPECT_EQ(Data.Shadow1Color, 0x00FF00);
  EXPECT_EQ(Data.BorderColor, 0xFF0000);
  TsSkinData NoBorder;  // a skin without a border colour keeps none
  RecolorSkinColors(Sections, NoBorder, Rotate);
  EXPECT_EQ(NoBorder.BorderColor, 0xFF00FF);
}

TEST(PeripheryHueColors, EveryGradientIsRecolouredOnceWhoeverSharesIt) {
  // Three sections share one gradient (children inheriting it), one has its own; the hot gradient
  // is shared too. Each stop turns once, not once per section.
  TsGeneralDataArray Sections(4);
  const TsGradientRef Shared = MakeGradient("255;65280;50;0;0;16711680;255;100;0;0");
  const TsGradientRef Hot = MakeGradient("255;255;100;1;0");
  for (int I = 0; I < 3; ++I) {
    Sections[static_cast<std::size_t>(I)].Gradient = Shared;
    Sections[static_cast<std::size_t>(I)].HotGradient = Hot;
  }
  Sections[3].Gradient = MakeGradient("65280;65280;100;0;0");
  TsSkinData Data;

  RecolorSkinColors(Sections, Data, Rotate);
  for (const TsGeneralData& S : {Sections[0], Sections[2]}) {
    EXPECT_EQ(S.Gradient, Sections[1].Gradient);
    EXPECT_EQ(S.GradientArray()[0].Color1, 0x00FF00);
    EXPECT_EQ(S.GradientArray()[0].Color2, 0xFF0000);
    EXPECT_EQ(S.GradientArray()[0].Percent, 50);
    EXPECT_EQ(S.GradientArray()[1].Color1, 0x0000FF);
    EXPECT_EQ(S.GradientArray()[1].Color2, 0x00FF00);
    EXPECT_EQ(S.HotGradientArray()[0].Color1, 0x00FF00);
    EXPECT_EQ(S.HotGradientArray()[0].Mode, 1);
  }
  EXPECT_EQ(Sections[3].GradientArray()[0].Color1, 0xFF0000);
  // The gradients the sections held before are left as they were.
  EXPECT_EQ(Shared->Stops[0].Color1, 255);
}

TEST(PeripheryHueNumbers, SaturationAmountKeepsTheSignOfTheDividend) {
  EXPECT_EQ(SaturationAmount(0), 0);
  EXPECT_EQ(SaturationAmount(30), -30);
  EXPECT_EQ(SaturationAmount(-30), 30);
  EXPECT_EQ(SaturationAmount(100), -100);
  EXPECT_EQ(SaturationAmount(101), 0);
  EXPECT_EQ(SaturationAmount(150), -49);
  EXPECT_EQ(SaturationAmount(-150), 49);
  EXPECT_EQ(SaturationAmount(INT32_MIN), static_cast<int>(-(static_cast<std::int64_t>(INT32_MIN) % 101)));
}

}  // namespace
