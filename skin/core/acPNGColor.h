// The colour manager of the PNG reader: pixel descriptions and the conversion of rows between them.
// Portable, but for the palette handles of the target.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/Object.h"
#include "framework/Types.h"

#ifdef _WIN32
#include <windows.h>
#endif

// Failures of the colour manager (unsupported descriptions or conversions).
T_EXCEPTION(EColorConversionError, EInvalidGraphic)

// Whether a sample may have Value bits: 1, 2, 4, 8 or 16.
bool ValidBitsPerSample(int Value);

// ---------------------------------------------------------------------------------------------
// Pixel descriptions and colour conversion.

// How the samples of a pixel are to be understood.
enum TColorScheme : Byte {
  cmsNone = 0,      // no conversion
  cmsIndexed = 1,   // a palette index
  cmsGrey = 2,
  cmsGreyAlpha = 3,
  cmsRGB = 4,
  cmsRGBA = 5,
  cmsBGR = 6,
  cmsBGRA = 7,
  cmsCMY = 8,       // nothing converts from it
  cmsCMYK = 9,
  cmsCIELab = 10,
  cmsYCbCr = 11,
  cmsPhotoYCC = 12,
};

// Flags of a pixel description.
enum TConversionFlag {
  cfHasAlpha,         // recomputed from the scheme whenever a converter is chosen
  cfApplyGamma,       // target side: colour samples pass through the gamma table
  cfByteSwap,         // source side: 16-bit samples are stored most significant byte first
  cfLabByteRange,     // source side, L*a*b* only: L is stored as 0..255
  cfLabChromaOffset,  // source side, L*a*b* only: a* and b* are unsigned with an offset of 128
};
using TConversionFlags = TSet<TConversionFlag>;

// The bitmap pixel format a description needs; mapped onto the bitmap class's formats on the target.
enum class TacPixelFormat : Byte { Device, Bits1, Bits4, Bits8, Bits15, Bits16, Bits24, Bits32, Custom };

// Bits per pixel of a format (0 for Device and Custom).
int PixelFormatBits(TacPixelFormat Format);

struct TPaletteColor {
  Byte R = 0;
  Byte G = 0;
  Byte B = 0;
  friend bool operator==(const TPaletteColor&, const TPaletteColor&) = default;
};
using TPaletteColors = std::vector<TPaletteColor>;

// Converts rows of pixels from a source description to a target description. The converter routine
// is chosen once per change of description and kept until a description changes again.
//
// Routines present: the low-depth routine (grey and indexed, 1, 2, 4 and 8 bits), the grey 8/16
// routine (grey and grey with alpha, 8 and 16 bits) and RGB or RGB with alpha (8 or 16 bits,
// interleaved) into BGR or BGR with alpha at 8 bits. Every other combination (RGB or BGR targets
// of other orders or depths, planar sources, indexed 16-bit data, CMYK, L*a*b*, YCbCr, PhotoYCC)
// finds no routine, and ConvertRow raises "Color conversion failed. Could not find a proper method.".
class TColorManager : public TObject {
  T_CLASS(TColorManager, TObject)

 public:
  TColorManager();

  // Back to the state after construction: 8-bit RGB source, 8-bit BGR target, no flags, gamma
  // (1.0, 2.2).
  void Reset();

  // Bits per sample: 1, 2, 4, 8 or 16; anything else raises EColorConversionError.
  Byte SourceBitsPerSample() const { return FSourceBPS; }
  void SetSourceBitsPerSample(Byte Value);
  Byte TargetBitsPerSample() const { return FTargetBPS; }
  void SetTargetBitsPerSample(Byte Value);
  // Samples per pixel: 1 to 4; anything else raises EColorConversionError.
  Byte SourceSamplesPerPixel() const { return FSourceSPP; }
  void SetSourceSamplesPerPixel(Byte Value);
  Byte TargetSamplesPerPixel() const { return FTargetSPP; }
  void SetTargetSamplesPerPixel(Byte Value);
  TColorScheme SourceColorScheme() const { return FSourceScheme; }
  void SetSourceColorScheme(TColorScheme Value);
  TColorScheme TargetColorScheme() const { return FTargetScheme; }
  void SetTargetColorScheme(TColorScheme Value);
  // The flags are set directly by the owner; the has-alpha flag follows the scheme.
  TConversionFlags SourceOptions() const { return FSourceOptions; }
  void SetSourceOptions(TConversionFlags Value) { FSourceOptions = Value; }
  TConversionFlags TargetOptions() const { return FTargetOptions; }
  void SetTargetOptions(TConversionFlags Value) { FTargetOptions = Value; }

  // The bitmap pixel format of the source (Index 0) or the target (1) description.
  TacPixelFormat PixelFormatFor(int Index) const;

  // Builds the gamma table for the exponent 1 / (MainGamma x DisplayGamma); a value of 0 or less
  // stands for 1.0 and 2.2 respectively.
  void SetGamma(float MainGamma, float DisplayGamma = 2.2f);
  float MainGamma() const { return FMainGamma; }
  float DisplayGamma() const { return FDisplayGamma; }
  const Byte* GammaTable() const { return FGammaTable; }

  // Converts Count target pixels from the source row(s) into the target row. Bit 7 - k of Mask
  // selects pixel k of every group of eight; only selected pixels are written, and only they take
  // the next source pixel. Source holds one row pointer for interleaved samples.
  void ConvertRow(std::span<const void* const> Source, void* Target, int Count, Byte Mask);

  // A palette from colour data: Format 0 or 1 takes ColorCount 8-bit triples (red, green, blue, or
  // blue, green, red when Reversed) from Data[0]; at most 256 colours; spread or gathered to the
  // target's index range the way the low-depth routine scales indexes. Other formats raise
  // EColorConversionError.
  TPaletteColors PaletteFromData(std::span<const void* const> Data, int Format, int ColorCount,
                                 bool Reversed);
  // Evenly spaced greys for the target description, black first unless WhiteFirst.
  TPaletteColors GrayPalette(bool WhiteFirst);

#ifdef _WIN32
  // The same palettes as logical palette handles owned by the caller.
  HPALETTE CreatePaletteFromData(std::span<const void* const> Data, int Format, int ColorCount,
                                 bool Reversed);
  HPALETTE CreateGrayPalette(bool WhiteFirst);
#endif

 private:
  using TRowConverter = void (TColorManager::*)(const Byte* Source, Byte* Target, int Count, Byte Mask);

  void Changed() { FChanged = true; }
  void SelectConverter();
  Byte GammaLookup(Byte Value) const;

  void RowLowDepth(const Byte* Source, Byte* Target, int Count, Byte Mask);
  void RowGrey8And16(const Byte* Source, Byte* Target, int Count, Byte Mask);
  void RowRGBToBGR8(const Byte* Source, Byte* Target, int Count, Byte Mask);

  bool FChanged = true;
  Byte FSourceBPS = 8;
  Byte FTargetBPS = 8;
  Byte FSourceSPP = 3;
  Byte FTargetSPP = 3;
  float FMainGamma = 1.0f;
  float FDisplayGamma = 2.2f;
  Byte FGammaTable[256] = {};
  TColorScheme FSourceScheme = cmsRGB;
  TColorScheme FTargetScheme = cmsBGR;
  TRowConverter FConverter = nullptr;
  TConversionFlags FSourceOptions;
  TConversionFlags FTargetOptions;
};
