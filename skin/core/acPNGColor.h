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

// Whether a PNG sample may have Value bits: 1, 2, 4, 8 or 16.
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
// is chosen once per change of description and kept until a description changes again:
//
// - grey and indexed values of 1 to 16 bits between each other (bit-packed, scaled between the
//   ranges; indexed values of 16 bits into 16 bits, into fewer and from fewer bits);
// - grey and grey with alpha of 8 or 16 bits into one 8- or 16-bit sample (alpha dropped);
// - RGB and BGR, with or without alpha, into RGB and BGR, with or without alpha, 8 or 16 bits a
//   sample on either side, interleaved or one plane per sample, through the gamma table when the
//   target asks for it;
// - CMYK, CIE L*a*b*, YCbCr and PhotoYCC of 8 or 16 bits into RGB or BGR.
//
// Any other combination (among them depths other than 8 and 16 for the byte-oriented routines)
// finds no routine, and ConvertRow raises "Color conversion failed. Could not find a proper
// method.". 16-bit samples are read most significant byte first when the source flags cfByteSwap,
// else low byte first, and written low byte first.
class TColorManager : public TObject {
  T_CLASS(TColorManager, TObject)

 public:
  TColorManager();

  // Back to the state after construction: 8-bit RGB source, 8-bit BGR target, no flags, gamma
  // (1.0, 2.2).
  void Reset();

  // Bits per sample: 1 to 16 (the routines take 1, 2, 4, 8 and 16; the low-depth routine any of
  // them); anything else raises EColorConversionError.
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
  // How many gamma and scale tables the managers of this thread have computed (tables are kept
  // and reused, never built per row).
  static std::uint64_t TablesBuilt();

  // Converts Count target pixels from the source row(s) into the target row. Bit 7 - k of Mask
  // selects pixel k of every group of eight; only selected pixels are written, and only they take
  // the next source pixel. Source holds one row pointer for interleaved samples, or one pointer a
  // sample plane for the colour routines.
  void ConvertRow(std::span<const void* const> Source, void* Target, int Count, Byte Mask);

  // A palette from colour data: Format 0 or 1 takes ColorCount 8-bit triples from Data[0], 2 or 3
  // three 8-bit planes from Data[0..2], 4 or 5 16-bit triples from Data[0] (reduced to 8 bits);
  // red, green, blue in that order, or blue, green, red when Reversed; through the gamma table
  // when the target asks for it; at most 256 colours; spread or gathered to the target's index
  // range the way the low-depth routine scales indexes. Other formats raise EColorConversionError.
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
  using TRowConverter = void (TColorManager::*)(std::span<const void* const> Source, Byte* Target, int Count,
                                                Byte Mask);

  void Changed() { FChanged = true; }
  void SelectConverter();
  void BuildYCbCrTables(bool PhotoYCC);
  Byte GammaLookup(Byte Value) const;

  void RowLowDepth(std::span<const void* const> Source, Byte* Target, int Count, Byte Mask);
  void RowIndexed16To16(std::span<const void* const> Source, Byte* Target, int Count, Byte Mask);
  void RowIndexed16ToLow(std::span<const void* const> Source, Byte* Target, int Count, Byte Mask);
  void RowIndexedLowTo16(std::span<const void* const> Source, Byte* Target, int Count, Byte Mask);
  void RowGrey8And16(std::span<const void* const> Source, Byte* Target, int Count, Byte Mask);
  void RowRGBToBGR8(std::span<const void* const> Source, Byte* Target, int Count, Byte Mask);
  void RowRGBFamily(std::span<const void* const> Source, Byte* Target, int Count, Byte Mask);
  void RowCMYK(std::span<const void* const> Source, Byte* Target, int Count, Byte Mask);
  void RowCIELab(std::span<const void* const> Source, Byte* Target, int Count, Byte Mask);
  void RowYCbCr(std::span<const void* const> Source, Byte* Target, int Count, Byte Mask);

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
  // The luminance weights of red, green and blue, and the tables of the YCbCr and PhotoYCC schemes
  // made from them.
  float FLumaRed = 0.299f;
  float FLumaGreen = 0.587f;
  float FLumaBlue = 0.114f;
  int FCrToRed[256] = {};
  int FCbToBlue[256] = {};
  int FCrToGreen[256] = {};
  int FCbToGreen[256] = {};
  // The low-depth routine's scale of every source value of up to 8 bits to the target's range.
  std::uint16_t FLowScale[256] = {};
};
