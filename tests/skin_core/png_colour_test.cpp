// The colour manager's converters beyond what the PNG reader uses: other depths of grey and
// indexed values, 16-bit indexes, the orders of colour samples, planar rows, 16-bit targets, and
// CMYK, CIE L*a*b*, YCbCr and PhotoYCC, each against pixels worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "skin/core/acPNGColor.h"

namespace {

using Bytes = std::vector<Byte>;

struct TDescription {
  TColorScheme Scheme;
  int Samples;
  int Bits;
};

// A colour manager of the given source and target descriptions.
struct TManager : TColorManager {
  TManager(TDescription Source, TDescription Target, TConversionFlags SourceFlags = {}) {
    SetSourceColorScheme(Source.Scheme);
    SetSourceSamplesPerPixel(static_cast<Byte>(Source.Samples));
    SetSourceBitsPerSample(static_cast<Byte>(Source.Bits));
    SetTargetColorScheme(Target.Scheme);
    SetTargetSamplesPerPixel(static_cast<Byte>(Target.Samples));
    SetTargetBitsPerSample(static_cast<Byte>(Target.Bits));
    SetSourceOptions(SourceFlags);
  }
};

// Converts Count pixels of one interleaved row into a target row of TargetBytes bytes that holds
// Fill before the conversion.
Bytes Convert(TColorManager& CM, const Bytes& Source, int Count, std::size_t TargetBytes, Byte Mask = 0xFF,
              Byte Fill = 0xEE) {
  Bytes Target(TargetBytes, Fill);
  const void* Rows[1] = {Source.data()};
  CM.ConvertRow(Rows, Target.data(), Count, Mask);
  return Target;
}

}  // namespace

TEST(ColorConverters, GreyAndIndexedValuesOfAnyDepth) {
  // Three-bit grey 0..7 into eight bits: v x 255 div 7.
  TManager Three({cmsGrey, 1, 3}, {cmsGrey, 1, 8});
  // 000 001 010 011 100 101 110 111 packed: 0x05 0x39 0x77.
  EXPECT_EQ(Convert(Three, {0x05, 0x39, 0x77}, 8, 8), (Bytes{0, 36, 72, 109, 145, 182, 218, 255}));
  // Three bits into three bits through a mask: pixels 0 and 4 of each eight, the others kept.
  TManager Same({cmsIndexed, 1, 3}, {cmsIndexed, 1, 3});
  EXPECT_EQ(Convert(Same, {0xF8}, 8, 3, 0x88, 0), (Bytes{0xE0, 0x0C, 0x00}));  // 7 and 6 at pixels 0 and 4
  // Twelve-bit grey into four bits: v x 15 div 4095.
  TManager Twelve({cmsGrey, 1, 12}, {cmsGrey, 1, 4});
  EXPECT_EQ(Convert(Twelve, {0xFF, 0xF8, 0x00}, 2, 1), (Bytes{0xF7}));  // 4095 and 2048: 15 and 7
  // Sixteen-bit indexes: copied or swapped; scaled to four bits; four bits scaled to sixteen.
  TManager Copy16({cmsIndexed, 1, 16}, {cmsIndexed, 1, 16}, TConversionFlags{cfByteSwap});
  EXPECT_EQ(Convert(Copy16, {0x12, 0x34, 0xAB, 0xCD}, 2, 4), (Bytes{0x34, 0x12, 0xCD, 0xAB}));
  TManager Plain16({cmsIndexed, 1, 16}, {cmsIndexed, 1, 16});
  EXPECT_EQ(Convert(Plain16, {0x12, 0x34, 0xAB, 0xCD}, 2, 4), (Bytes{0x12, 0x34, 0xAB, 0xCD}));
  TManager Down({cmsIndexed, 1, 16}, {cmsIndexed, 1, 4}, TConversionFlags{cfByteSwap});
  EXPECT_EQ(Convert(Down, {0xFF, 0xFF, 0x80, 0x00}, 2, 1), (Bytes{0xF7}));  // 65535 and 32768: 15 and 7
  TManager Up({cmsIndexed, 1, 4}, {cmsIndexed, 1, 16});
  EXPECT_EQ(Convert(Up, {0xF1}, 2, 4), (Bytes{0xFF, 0xFF, 0x11, 0x11}));  // 15 and 1: 65535 and 4369
}

TEST(ColorConverters, ColourSamplesInEveryOrderDepthAndLayout) {
  const Bytes Rgb = {10, 20, 30, 40, 50, 60};
  TManager RgbToRgb({cmsRGB, 3, 8}, {cmsRGB, 3, 8});
  EXPECT_EQ(Convert(RgbToRgb, Rgb, 2, 6), Rgb);
  TManager BgrToRgb({cmsBGR, 3, 8}, {cmsRGB, 3, 8});
  EXPECT_EQ(Convert(BgrToRgb, Rgb, 2, 6), (Bytes{30, 20, 10, 60, 50, 40}));
  TManager BgrToBgra({cmsBGR, 3, 8}, {cmsBGRA, 4, 8});
  EXPECT_EQ(Convert(BgrToBgra, Rgb, 2, 8), (Bytes{10, 20, 30, 0xEE, 40, 50, 60, 0xEE}));
  // Alpha is copied when both sides have it; 16-bit sources reduced (most significant byte first).
  TManager Bgra16({cmsBGRA, 4, 16}, {cmsRGBA, 4, 8}, TConversionFlags{cfByteSwap});
  EXPECT_EQ(Convert(Bgra16, {0x80, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x7F, 0xFF}, 1, 4), (Bytes{0, 255, 127, 127}));
  // Eight bits widened into sixteen, written most significant byte first like the source's words.
  TManager Wide({cmsRGB, 3, 8}, {cmsBGR, 3, 16}, TConversionFlags{cfByteSwap});
  EXPECT_EQ(Convert(Wide, {1, 2, 255}, 1, 6), (Bytes{0xFF, 0xFF, 0x02, 0x02, 0x01, 0x01}));
  // Through the gamma table when the target asks for it (not the alpha).
  TManager Gamma({cmsRGBA, 4, 8}, {cmsRGBA, 4, 8});
  Gamma.SetGamma(1.0f, 2.2f);
  Gamma.SetTargetOptions(TConversionFlags{cfApplyGamma});
  const Bytes G = Convert(Gamma, {64, 0, 255, 64}, 1, 4);
  EXPECT_EQ(G, (Bytes{Gamma.GammaTable()[64], 0, 255, 64}));
  EXPECT_GT(G[0], 64);
  // One plane a sample, through a mask: pixels 0 and 4 of eight take the first two values.
  const Byte R[2] = {1, 2}, Gr[2] = {3, 4}, B[2] = {5, 6};
  const void* Planes[3] = {R, Gr, B};
  TManager Planar({cmsRGB, 3, 8}, {cmsBGR, 3, 8});
  Bytes T(24, 0);
  Planar.ConvertRow(Planes, T.data(), 8, 0x88);
  EXPECT_EQ(T, (Bytes{5, 3, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6, 4, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  // Fewer planes than samples: no way to convert.
  const void* Two[2] = {R, Gr};
  EXPECT_THROW(Planar.ConvertRow(Two, T.data(), 1, 0xFF), EColorConversionError);
}

TEST(ColorConverters, CMYKIntoRGB) {
  // Each colour is 255 - (c - c x K div 255 + K); the target's alpha sample stays as it was.
  TManager CM({cmsCMYK, 4, 8}, {cmsBGRA, 4, 8});
  EXPECT_EQ(Convert(CM, {0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 255, 100, 0, 255, 100}, 4, 16),
            (Bytes{255, 255, 255, 0xEE, 255, 255, 0, 0xEE, 0, 0, 0, 0xEE, 0, 155, 94, 0xEE}));
  // Sixteen-bit samples are reduced first; a mask writes only the selected pixels.
  TManager Wide({cmsCMYK, 4, 16}, {cmsRGB, 3, 8}, TConversionFlags{cfByteSwap});
  EXPECT_EQ(Convert(Wide, {0xFF, 0xFF, 0, 0, 0, 0, 0, 0}, 2, 6, 0x80), (Bytes{0, 255, 255, 0xEE, 0xEE, 0xEE}));
}

TEST(ColorConverters, CIELabIntoRGB) {
  // White and black; a neutral grey of L 50 is a linear luminance of 0.184 (no transfer curve).
  TManager CM({cmsCIELab, 3, 8}, {cmsRGB, 3, 8});
  EXPECT_EQ(Convert(CM, {100, 0, 0, 0, 0, 0, 50, 0, 0}, 3, 9), (Bytes{255, 255, 255, 0, 0, 0, 47, 47, 47}));
  // a* = +60 (a signed byte) turns a grey reddish, b* = -60 bluish.
  const Bytes Tint = Convert(CM, {60, 60, 0, 60, 0, static_cast<Byte>(-60)}, 2, 6);
  EXPECT_GT(Tint[0], Tint[1]);
  EXPECT_GT(Tint[5], Tint[3]);
  // L stored as 0..255 and a*, b* with an offset of 128: the same white and grey.
  TManager Bytes255({cmsCIELab, 3, 8}, {cmsBGR, 3, 8}, TConversionFlags{cfLabByteRange, cfLabChromaOffset});
  EXPECT_EQ(Convert(Bytes255, {255, 128, 128, 128, 128, 128}, 2, 6), (Bytes{255, 255, 255, 47, 47, 47}));
}

TEST(ColorConverters, SixteenBitSignedLabChromaMeansItsHighByte) {
  // A signed 16-bit a* or b* is the signed byte's value times 256: each 16-bit sample shows the
  // colour of the 8-bit sample of its high byte, from the most negative (green, blue) to the most
  // positive (red, yellow). L is 50 in both.
  const struct {
    int Wide;
    int Narrow;
  } Rows[] = {{-32768, -128}, {-32641, -128}, {-32513, -128}, {-32512, -127}, {-256, -1},
              {-1, -1},       {0, 0},         {255, 0},       {256, 1},       {32767, 127}};
  TManager Wide({cmsCIELab, 3, 16}, {cmsRGB, 3, 8}, TConversionFlags{cfByteSwap});
  TManager Narrow({cmsCIELab, 3, 8}, {cmsRGB, 3, 8});
  constexpr unsigned L16 = 50 * 257;
  for (const auto& R : Rows)
    for (int Channel : {1, 2}) {
      Bytes Source16 = {L16 >> 8, L16 & 0xFF, 0, 0, 0, 0};
      Source16[2 * Channel] = static_cast<Byte>((R.Wide >> 8) & 0xFF);
      Source16[2 * Channel + 1] = static_cast<Byte>(R.Wide & 0xFF);
      Bytes Source8 = {50, 0, 0};
      Source8[Channel] = static_cast<Byte>(R.Narrow);
      EXPECT_EQ(Convert(Wide, Source16, 1, 3), Convert(Narrow, Source8, 1, 3))
          << (Channel == 1 ? "a* " : "b* ") << R.Wide;
    }
  // The most negative a* is green, not red.
  const Bytes Green = Convert(Wide, {L16 >> 8, L16 & 0xFF, 0x80, 0x00, 0, 0}, 1, 3);
  EXPECT_GT(Green[1], Green[0]);
}

TEST(ColorConverters, YCbCrAndPhotoYCCIntoRGB) {
  // The JFIF equations: R = Y + 1.402 (Cr - 128), G = Y - 0.344 (Cb - 128) - 0.714 (Cr - 128),
  // B = Y + 1.772 (Cb - 128), clamped.
  TManager CM({cmsYCbCr, 3, 8}, {cmsRGB, 3, 8});
  EXPECT_EQ(Convert(CM, {128, 128, 128, 128, 128, 255, 100, 0, 128}, 3, 9),
            (Bytes{128, 128, 128, 255, 37, 128, 100, 144, 0}));
  // PhotoYCC centres Cb at 156 and Cr at 137: those are neutral.
  TManager Photo({cmsPhotoYCC, 3, 8}, {cmsBGR, 3, 8});
  EXPECT_EQ(Convert(Photo, {100, 156, 137}, 1, 3), (Bytes{100, 100, 100}));
}
