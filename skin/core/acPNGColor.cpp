// The colour manager of the PNG reader: row conversion between pixel descriptions, gamma and
// palettes. Portable; the palette handles are made in acPNGGraphic. See acPNGColor.h.
#include "skin/core/acPNGColor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

[[noreturn]] void RaiseNoConverter() {
  throw EColorConversionError("Color conversion failed. Could not find a proper method.");
}

struct TIdentityTable {
  Byte T[256];
  TIdentityTable() {
    for (int i = 0; i < 256; ++i) T[i] = static_cast<Byte>(i);
  }
};
const Byte* IdentityTable() {
  static const TIdentityTable Table;
  return Table.T;
}

inline Byte RotateMaskBit(Byte Bit) { return static_cast<Byte>((Bit >> 1) | (Bit << 7)); }

// The checks of the colour manager's sample settings (source and target alike).
void CheckBitsPerSample(Byte Value) {
  if (!ValidBitsPerSample(Value))
    throw EColorConversionError("Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
}
void CheckSamplesPerPixel(Byte Value) {
  if (Value < 1 || Value > 4)
    throw EColorConversionError("Sample count per pixel does not correspond to the given color scheme.");
}

}  // namespace

bool ValidBitsPerSample(int Value) {
  return Value == 1 || Value == 2 || Value == 4 || Value == 8 || Value == 16;
}

int PixelFormatBits(TacPixelFormat Format) {
  switch (Format) {
    case TacPixelFormat::Bits1: return 1;
    case TacPixelFormat::Bits4: return 4;
    case TacPixelFormat::Bits8: return 8;
    case TacPixelFormat::Bits15: return 16;
    case TacPixelFormat::Bits16: return 16;
    case TacPixelFormat::Bits24: return 24;
    case TacPixelFormat::Bits32: return 32;
    default: return 0;
  }
}

// =================================================================================================
// TColorManager

TColorManager::TColorManager() { Reset(); }

void TColorManager::Reset() {
  FSourceBPS = 8;
  FTargetBPS = 8;
  FSourceSPP = 3;
  FTargetSPP = 3;
  FSourceScheme = cmsRGB;
  FTargetScheme = cmsBGR;
  FSourceOptions = TConversionFlags{};
  FTargetOptions = TConversionFlags{};
  FConverter = nullptr;
  SetGamma(1.0f, 2.2f);
  FChanged = true;
}

void TColorManager::SetSourceBitsPerSample(Byte Value) {
  CheckBitsPerSample(Value);
  if (Value != FSourceBPS) {
    FSourceBPS = Value;
    Changed();
  }
}

void TColorManager::SetTargetBitsPerSample(Byte Value) {
  CheckBitsPerSample(Value);
  if (Value != FTargetBPS) {
    FTargetBPS = Value;
    Changed();
  }
}

void TColorManager::SetSourceSamplesPerPixel(Byte Value) {
  CheckSamplesPerPixel(Value);
  if (Value != FSourceSPP) {
    FSourceSPP = Value;
    Changed();
  }
}

void TColorManager::SetTargetSamplesPerPixel(Byte Value) {
  CheckSamplesPerPixel(Value);
  if (Value != FTargetSPP) {
    FTargetSPP = Value;
    Changed();
  }
}

void TColorManager::SetSourceColorScheme(TColorScheme Value) {
  if (Value != FSourceScheme) {
    FSourceScheme = Value;
    Changed();
  }
}

void TColorManager::SetTargetColorScheme(TColorScheme Value) {
  if (Value != FTargetScheme) {
    FTargetScheme = Value;
    Changed();
  }
}

TacPixelFormat TColorManager::PixelFormatFor(int Index) const {
  const int Samples = Index == 0 ? FSourceSPP : FTargetSPP;
  const int Bits = Index == 0 ? FSourceBPS : FTargetBPS;
  switch (Samples) {
    case 1:
      if (Bits == 1) return TacPixelFormat::Bits1;
      if (Bits >= 2 && Bits <= 4) return TacPixelFormat::Bits4;
      if (Bits >= 8 && Bits <= 16) return TacPixelFormat::Bits8;
      return TacPixelFormat::Custom;
    case 3:
      return Bits <= 5 ? TacPixelFormat::Bits15 : TacPixelFormat::Bits24;
    case 4:
      return Bits >= 8 ? TacPixelFormat::Bits32 : TacPixelFormat::Custom;
    default:
      return TacPixelFormat::Custom;
  }
}

void TColorManager::SetGamma(float MainGamma, float DisplayGamma) {
  if (!(MainGamma > 0)) MainGamma = 1.0f;
  if (!(DisplayGamma > 0)) DisplayGamma = 2.2f;
  FMainGamma = MainGamma;
  FDisplayGamma = DisplayGamma;
  const int SourceMax = FSourceBPS < 8 ? (1 << FSourceBPS) - 1 : 255;
  const int TargetMax = FTargetBPS < 8 ? (1 << FTargetBPS) - 1 : 255;
  // Every reader builds the table for (1.0, 2.2) at least once per image: the last table built on
  // this thread is kept.
  struct TCache {
    float Main = 0, Display = 0;
    int SourceMax = 0, TargetMax = 0;
    Byte Table[256];
  };
  thread_local TCache Cache;
  if (Cache.Main == MainGamma && Cache.Display == DisplayGamma && Cache.SourceMax == SourceMax &&
      Cache.TargetMax == TargetMax) {
    std::memcpy(FGammaTable, Cache.Table, 256);
    return;
  }
  const double Exponent = 1.0 / (static_cast<double>(MainGamma) * static_cast<double>(DisplayGamma));
  // Entries above the source maximum repeat the last one, so a lookup never reads a stale value.
  for (int i = 0; i < 256; ++i) {
    const double x = static_cast<double>(std::min(i, SourceMax)) / SourceMax;
    const double v = std::nearbyint(std::pow(x, Exponent) * TargetMax);
    FGammaTable[i] = static_cast<Byte>(std::clamp(v, 0.0, 255.0));
  }
  Cache.Main = MainGamma;
  Cache.Display = DisplayGamma;
  Cache.SourceMax = SourceMax;
  Cache.TargetMax = TargetMax;
  std::memcpy(Cache.Table, FGammaTable, 256);
}

Byte TColorManager::GammaLookup(Byte Value) const {
  return FTargetOptions.Contains(cfApplyGamma) ? FGammaTable[Value] : Value;
}

void TColorManager::SelectConverter() {
  FConverter = nullptr;
  const bool SourceIndexed = FSourceScheme >= cmsIndexed && FSourceScheme <= cmsGreyAlpha;
  const bool TargetIndexed = FTargetScheme == cmsIndexed || FTargetScheme == cmsGrey;
  if (SourceIndexed != TargetIndexed)
    throw EColorConversionError("Conversion between indexed and non-indexed pixel formats is not supported.");

  auto HasAlpha = [](TColorScheme S) { return S == cmsGreyAlpha || S == cmsRGBA || S == cmsBGRA; };
  if (HasAlpha(FSourceScheme)) FSourceOptions.Include(cfHasAlpha); else FSourceOptions.Exclude(cfHasAlpha);
  if (HasAlpha(FTargetScheme)) FTargetOptions.Include(cfHasAlpha); else FTargetOptions.Exclude(cfHasAlpha);

  const bool Source8Or16 = FSourceBPS == 8 || FSourceBPS == 16;
  const bool Target8Or16 = FTargetBPS == 8 || FTargetBPS == 16;
  switch (FSourceScheme) {
    case cmsIndexed:
      if (FSourceBPS != 16 && FTargetBPS != 16) FConverter = &TColorManager::RowLowDepth;
      break;
    case cmsGrey:
      if (FSourceBPS != 16 && FTargetBPS != 16)
        FConverter = &TColorManager::RowLowDepth;
      else if (FSourceBPS >= 8 && FTargetBPS >= 8)
        FConverter = &TColorManager::RowGrey8And16;
      break;
    case cmsGreyAlpha:
      if (Source8Or16 && Target8Or16) FConverter = &TColorManager::RowGrey8And16;
      break;
    case cmsRGB:
    case cmsRGBA:
      if ((FTargetScheme == cmsBGR || FTargetScheme == cmsBGRA) && Source8Or16 && FTargetBPS == 8)
        FConverter = &TColorManager::RowRGBToBGR8;
      break;
    default:
      break;
  }
  FChanged = false;
}

void TColorManager::ConvertRow(std::span<const void* const> Source, void* Target, int Count, Byte Mask) {
  if (FChanged) SelectConverter();
  if (FConverter == nullptr || Source.size() != 1 || Source[0] == nullptr) RaiseNoConverter();
  if (Count <= 0) return;
  (this->*FConverter)(static_cast<const Byte*>(Source[0]), static_cast<Byte*>(Target), Count, Mask);
}

// Grey and indexed values of 1 to 8 bits, bit-packed most significant bits first, scaled from the
// source range to the target range.
void TColorManager::RowLowDepth(const Byte* S, Byte* T, int Count, Byte Mask) {
  const int sb = FSourceBPS, tb = FTargetBPS;
  if (sb == tb && Mask == 0xFF) {
    std::memcpy(T, S, (static_cast<std::size_t>(sb) * Count + 7) / 8);
    return;
  }
  const unsigned SourceMax = (1u << sb) - 1, TargetMax = (1u << tb) - 1;
  Byte Scale[256];
  for (unsigned v = 0; v <= SourceMax; ++v) Scale[v] = static_cast<Byte>(v * TargetMax / SourceMax);
  std::size_t SourceBit = 0;
  Byte Bit = 0x80;
  for (int i = 0; i < Count; ++i) {
    if (Mask & Bit) {
      const unsigned v = (S[SourceBit >> 3] >> (8 - sb - (SourceBit & 7))) & SourceMax;
      SourceBit += sb;
      const std::size_t TargetBit = static_cast<std::size_t>(i) * tb;
      const unsigned Shift = 8 - tb - (TargetBit & 7);
      Byte& b = T[TargetBit >> 3];
      b = static_cast<Byte>((b & ~(TargetMax << Shift)) | (static_cast<unsigned>(Scale[v]) << Shift));
    }
    Bit = RotateMaskBit(Bit);
  }
}

// Grey (and grey with alpha, whose alpha is skipped) of 8 or 16 bits into one 8- or 16-bit sample.
void TColorManager::RowGrey8And16(const Byte* S, Byte* T, int Count, Byte Mask) {
  const int SourceBytes = FSourceBPS / 8;
  const std::size_t Step = static_cast<std::size_t>(SourceBytes) * (FSourceOptions.Contains(cfHasAlpha) ? 2 : 1);
  const bool Swap = FSourceOptions.Contains(cfByteSwap);
  const bool Target16 = FTargetBPS == 16;
  if (SourceBytes == 1 && !Target16 && Step == 1 && Mask == 0xFF) {
    std::memcpy(T, S, static_cast<std::size_t>(Count));
    return;
  }
  Byte Bit = 0x80;
  for (int i = 0; i < Count; ++i) {
    if (Mask & Bit) {
      unsigned v;
      if (SourceBytes == 1)
        v = S[0];
      else
        v = Swap ? (S[0] << 8) | S[1] : (S[1] << 8) | S[0];
      if (Target16) {
        const unsigned w = SourceBytes == 1 ? v * 257 : v;
        T[2 * i] = static_cast<Byte>(w & 0xFF);
        T[2 * i + 1] = static_cast<Byte>(w >> 8);
      } else {
        T[i] = static_cast<Byte>(SourceBytes == 1 ? v : v / 257);
      }
      S += Step;
    }
    Bit = RotateMaskBit(Bit);
  }
}

// RGB or RGB with alpha, 8 or 16 bits, into blue, green, red (and alpha) bytes.
void TColorManager::RowRGBToBGR8(const Byte* S, Byte* T, int Count, Byte Mask) {
  const bool SourceAlpha = FSourceOptions.Contains(cfHasAlpha);
  const bool TargetAlpha = FTargetOptions.Contains(cfHasAlpha);
  const bool CopyAlpha = SourceAlpha && TargetAlpha;
  const Byte* G = FTargetOptions.Contains(cfApplyGamma) ? FGammaTable : IdentityTable();
  const std::size_t TStep = TargetAlpha ? 4 : 3;

  if (FSourceBPS == 8) {
    const std::size_t SStep = SourceAlpha ? 4 : 3;
    if (Mask == 0xFF && G == IdentityTable()) {
      if (SourceAlpha && TargetAlpha) {
        for (int i = 0; i < Count; ++i, S += 4, T += 4) {
          std::uint32_t p;
          std::memcpy(&p, S, 4);
          // Bytes R G B A become B G R A.
          p = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
          std::memcpy(T, &p, 4);
        }
      } else {
        for (int i = 0; i < Count; ++i, S += SStep, T += TStep) {
          const Byte r = S[0], g = S[1], b = S[2];
          T[0] = b;
          T[1] = g;
          T[2] = r;
        }
      }
      return;
    }
    Byte Bit = 0x80;
    for (int i = 0; i < Count; ++i, T += TStep) {
      if (Mask & Bit) {
        T[0] = G[S[2]];
        T[1] = G[S[1]];
        T[2] = G[S[0]];
        if (CopyAlpha) T[3] = S[3];
        S += SStep;
      }
      Bit = RotateMaskBit(Bit);
    }
    return;
  }

  // 16 bits per sample: swapped when stored most significant byte first, reduced, looked up.
  const std::size_t SStep = SourceAlpha ? 8 : 6;
  const bool Swap = FSourceOptions.Contains(cfByteSwap);
  auto Sample = [Swap](const Byte* P) -> unsigned {
    const unsigned v = Swap ? (P[0] << 8) | P[1] : (P[1] << 8) | P[0];
    return v / 257;  // = v x 255 div 65535
  };
  Byte Bit = 0x80;
  for (int i = 0; i < Count; ++i, T += TStep) {
    if (Mask & Bit) {
      T[0] = G[Sample(S + 4)];
      T[1] = G[Sample(S + 2)];
      T[2] = G[Sample(S)];
      if (CopyAlpha) T[3] = static_cast<Byte>(Sample(S + 6));
      S += SStep;
    }
    Bit = RotateMaskBit(Bit);
  }
}

TPaletteColors TColorManager::PaletteFromData(std::span<const void* const> Data, int Format, int ColorCount,
                                              bool Reversed) {
  if ((Format != 0 && Format != 1) || Data.empty() || (ColorCount > 0 && Data[0] == nullptr))
    throw EColorConversionError(::Format("Palette format %d is not supported.", Format));
  const int n = std::clamp(ColorCount, 0, 256);
  const Byte* p = static_cast<const Byte*>(Data[0]);
  TPaletteColors Colors(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i, p += 3) {
    const Byte a = GammaLookup(p[0]), b = GammaLookup(p[1]), c = GammaLookup(p[2]);
    Colors[i] = Reversed ? TPaletteColor{c, b, a} : TPaletteColor{a, b, c};
  }
  // Spread or gather the colours over the target's index range, as the low-depth routine scales
  // the indexes.
  if (FTargetBPS <= 8) {
    const std::uint64_t SourceMax = (std::uint64_t{1} << FSourceBPS) - 1;
    const std::uint64_t TargetMax = (std::uint64_t{1} << FTargetBPS) - 1;
    if (SourceMax != TargetMax) {
      TPaletteColors Spread(static_cast<std::size_t>(TargetMax + 1));
      for (std::uint64_t i = 0; i <= TargetMax; ++i) {
        const std::uint64_t k = i * SourceMax / TargetMax;
        if (k < Colors.size()) Spread[i] = Colors[k];
      }
      return Spread;
    }
  }
  return Colors;
}

TPaletteColors TColorManager::GrayPalette(bool WhiteFirst) {
  const int Bits = std::min(FTargetBPS * FTargetSPP, 8);
  const int Entries = 1 << Bits;
  const int Step = 255 / (Entries - 1);
  TPaletteColors Colors(static_cast<std::size_t>(Entries));
  for (int i = 0; i < Entries; ++i) {
    const Byte g = GammaLookup(static_cast<Byte>(i * Step));
    Colors[WhiteFirst ? Entries - 1 - i : i] = TPaletteColor{g, g, g};
  }
  return Colors;
}

