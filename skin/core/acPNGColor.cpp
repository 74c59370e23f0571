// The colour manager of the PNG reader: row conversion between pixel descriptions, gamma and
// palettes. Portable; the palette handles are made in acPNGGraphic. See acPNGColor.h.
#include "skin/core/acPNGColor.h"

#include <algorithm>
#include <array>
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

// Calls Fn(i, k) for every target pixel i below Count that Mask selects (bit 7 - (i mod 8)), k
// counting the selected pixels: the source pixel that target pixel i takes.
template <class F>
inline void ForEachSelected(int Count, Byte Mask, F&& Fn) {
  if (Mask == 0xFF) {
    for (int i = 0; i < Count; ++i) Fn(i, static_cast<std::size_t>(i));
    return;
  }
  int Offsets[8];
  int n = 0;
  for (int b = 0; b < 8; ++b)
    if (Mask & (0x80 >> b)) Offsets[n++] = b;
  std::size_t k = 0;
  for (int Group = 0; Group < Count; Group += 8)
    for (int j = 0; j < n; ++j) {
      const int i = Group + Offsets[j];
      if (i >= Count) return;
      Fn(i, k++);
    }
}

// Bit-packed values of 1 to 16 bits, most significant bits first; Pos counts bits.
unsigned GetBits(const Byte* P, std::size_t Pos, int Bits) {
  const Byte* p = P + (Pos >> 3);
  const int Off = static_cast<int>(Pos & 7), Need = (Off + Bits + 7) >> 3;
  std::uint32_t w = 0;
  for (int j = 0; j < Need; ++j) w = (w << 8) | p[j];
  return (w >> (Need * 8 - Off - Bits)) & ((1u << Bits) - 1);
}
void PutBits(Byte* P, std::size_t Pos, int Bits, unsigned V) {
  Byte* p = P + (Pos >> 3);
  const int Off = static_cast<int>(Pos & 7), Need = (Off + Bits + 7) >> 3;
  std::uint32_t w = 0;
  for (int j = 0; j < Need; ++j) w = (w << 8) | p[j];
  const int Shift = Need * 8 - Off - Bits;
  const std::uint32_t Field = ((1u << Bits) - 1) << Shift;
  w = (w & ~Field) | ((V << Shift) & Field);
  for (int j = Need - 1; j >= 0; --j, w >>= 8) p[j] = static_cast<Byte>(w);
}

// 16-bit samples: stored most significant byte first when Swap, else in host (low first) order.
inline unsigned Read16(const Byte* P, bool Swap) {
  return Swap ? (unsigned{P[0]} << 8) | P[1] : (unsigned{P[1]} << 8) | P[0];
}
inline void Write16(Byte* P, unsigned V, bool Swap) {
  P[Swap ? 1 : 0] = static_cast<Byte>(V);
  P[Swap ? 0 : 1] = static_cast<Byte>(V >> 8);
}
// value x 255 div 65535, and the way back, value x 65535 div 255.
inline unsigned Reduce16(unsigned V) { return V / 257; }
inline unsigned Widen8(unsigned V) { return V * 257; }

thread_local std::uint64_t TableCount = 0;

inline Byte ClampByte(int V) { return static_cast<Byte>(V < 0 ? 0 : (V > 255 ? 255 : V)); }
inline Byte ClampByte(double V) { return static_cast<Byte>(std::clamp(std::nearbyint(V), 0.0, 255.0)); }

// The samples of source pixel k: interleaved in one row (Step samples a pixel) or one plane per
// sample (each advancing by one sample a pixel). Bytes is 1 or 2 per sample.
struct TSourceSamples {
  const Byte* Planes[4] = {};
  bool Planar = false;
  int Bytes = 1;
  int Step = 3;
  bool Swap = false;

  // The raw value (8 or 16 bits) of sample c of pixel k.
  unsigned Raw(std::size_t k, int c) const {
    const Byte* p = Planar ? Planes[c] + k * Bytes : Planes[0] + (k * Step + c) * Bytes;
    return Bytes == 1 ? p[0] : Read16(p, Swap);
  }
  // The same reduced to 8 bits.
  Byte Sample8(std::size_t k, int c) const {
    const unsigned v = Raw(k, c);
    return static_cast<Byte>(Bytes == 1 ? v : Reduce16(v));
  }
};

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

namespace {

// The checks of the colour manager's sample settings (source and target alike).
void CheckBitsPerSample(Byte Value) {
  if (Value < 1 || Value > 16)
    throw EColorConversionError("Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
}
void CheckSamplesPerPixel(Byte Value) {
  if (Value < 1 || Value > 4)
    throw EColorConversionError("Sample count per pixel does not correspond to the given color scheme.");
}

bool HasAlphaScheme(TColorScheme S) { return S == cmsGreyAlpha || S == cmsRGBA || S == cmsBGRA; }
bool RGBOrder(TColorScheme S) { return S == cmsRGB || S == cmsRGBA; }
bool BGROrder(TColorScheme S) { return S == cmsBGR || S == cmsBGRA; }

}  // namespace

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
  // Tables are built once: every reader starts from the table of (1.0, 2.2), and most images
  // then ask for the one of their file gamma (0.45455 from most encoders); the last few tables
  // built on this thread are kept.
  struct TEntry {
    float Main = 0, Display = 0;
    int SourceMax = 0, TargetMax = 0;
    Byte Table[256];
  };
  constexpr int Entries = 4;
  thread_local TEntry Cache[Entries];
  thread_local int Next = 0;
  for (const TEntry& E : Cache)
    if (E.Main == MainGamma && E.Display == DisplayGamma && E.SourceMax == SourceMax && E.TargetMax == TargetMax) {
      std::memcpy(FGammaTable, E.Table, 256);
      return;
    }
  ++TableCount;
  const double Exponent = 1.0 / (static_cast<double>(MainGamma) * static_cast<double>(DisplayGamma));
  // Entries above the source maximum repeat the last one, so a lookup never reads a stale value.
  for (int i = 0; i < 256; ++i) {
    const double x = static_cast<double>(std::min(i, SourceMax)) / SourceMax;
    const double v = std::nearbyint(std::pow(x, Exponent) * TargetMax);
    FGammaTable[i] = static_cast<Byte>(std::clamp(v, 0.0, 255.0));
  }
  TEntry& E = Cache[Next];
  Next = (Next + 1) % Entries;
  E.Main = MainGamma;
  E.Display = DisplayGamma;
  E.SourceMax = SourceMax;
  E.TargetMax = TargetMax;
  std::memcpy(E.Table, FGammaTable, 256);
}

std::uint64_t TColorManager::TablesBuilt() { return TableCount; }

Byte TColorManager::GammaLookup(Byte Value) const {
  return FTargetOptions.Contains(cfApplyGamma) ? FGammaTable[Value] : Value;
}

void TColorManager::SelectConverter() {
  FConverter = nullptr;
  const bool SourceIndexed = FSourceScheme >= cmsIndexed && FSourceScheme <= cmsGreyAlpha;
  const bool TargetIndexed = FTargetScheme == cmsIndexed || FTargetScheme == cmsGrey;
  if (SourceIndexed != TargetIndexed)
    throw EColorConversionError("Conversion between indexed and non-indexed pixel formats is not supported.");

  if (HasAlphaScheme(FSourceScheme)) FSourceOptions.Include(cfHasAlpha); else FSourceOptions.Exclude(cfHasAlpha);
  if (HasAlphaScheme(FTargetScheme)) FTargetOptions.Include(cfHasAlpha); else FTargetOptions.Exclude(cfHasAlpha);

  // The byte-oriented routines read and write samples of 8 or 16 bits only; other depths (which
  // the setters accept) find no routine there.
  const bool Source8Or16 = FSourceBPS == 8 || FSourceBPS == 16;
  const bool Target8Or16 = FTargetBPS == 8 || FTargetBPS == 16;
  const bool TargetColour = RGBOrder(FTargetScheme) || BGROrder(FTargetScheme);
  switch (FSourceScheme) {
    case cmsIndexed:
      if (FSourceBPS == 16 && FTargetBPS == 16) FConverter = &TColorManager::RowIndexed16To16;
      else if (FSourceBPS == 16) FConverter = &TColorManager::RowIndexed16ToLow;
      else if (FTargetBPS == 16) FConverter = &TColorManager::RowIndexedLowTo16;
      else FConverter = &TColorManager::RowLowDepth;
      break;
    case cmsGrey:
      if (FSourceBPS != 16 && FTargetBPS != 16)
        FConverter = &TColorManager::RowLowDepth;
      else if (Source8Or16 && Target8Or16)
        FConverter = &TColorManager::RowGrey8And16;
      break;
    case cmsGreyAlpha:
      if (Source8Or16 && Target8Or16) FConverter = &TColorManager::RowGrey8And16;
      break;
    case cmsRGB:
    case cmsRGBA:
    case cmsBGR:
    case cmsBGRA:
      if (TargetColour && Source8Or16 && Target8Or16)
        FConverter = BGROrder(FTargetScheme) && RGBOrder(FSourceScheme) && FTargetBPS == 8
                         ? &TColorManager::RowRGBToBGR8
                         : &TColorManager::RowRGBFamily;
      break;
    case cmsCMYK:
      if (TargetColour && Source8Or16 && Target8Or16) FConverter = &TColorManager::RowCMYK;
      break;
    case cmsCIELab:
      if (TargetColour && Source8Or16 && Target8Or16) FConverter = &TColorManager::RowCIELab;
      break;
    case cmsYCbCr:
    case cmsPhotoYCC:
      BuildYCbCrTables(FSourceScheme == cmsPhotoYCC);
      if (TargetColour && Source8Or16 && Target8Or16) FConverter = &TColorManager::RowYCbCr;
      break;
    default:
      break;
  }
  if (FConverter == &TColorManager::RowLowDepth && FSourceBPS <= 8) {
    ++TableCount;
    const unsigned SourceMax = (1u << FSourceBPS) - 1, TargetMax = (1u << FTargetBPS) - 1;
    for (unsigned v = 0; v < 256; ++v)
      FLowScale[v] = static_cast<std::uint16_t>(std::min(v, SourceMax) * TargetMax / SourceMax);
  }
  FChanged = false;
}

void TColorManager::BuildYCbCrTables(bool PhotoYCC) {
  const double CrToRedFactor = 2 - 2 * FLumaRed, CbToBlueFactor = 2 - 2 * FLumaBlue;
  const double CrToGreenFactor = FLumaRed * CrToRedFactor / FLumaGreen;
  const double CbToGreenFactor = FLumaBlue * CbToBlueFactor / FLumaGreen;
  const int CrOffset = PhotoYCC ? 137 : 128, CbOffset = PhotoYCC ? 156 : 128;
  for (int i = 0; i < 256; ++i) {
    FCrToRed[i] = static_cast<int>(std::nearbyint((i - CrOffset) * CrToRedFactor));
    FCbToBlue[i] = static_cast<int>(std::nearbyint((i - CbOffset) * CbToBlueFactor));
    FCrToGreen[i] = -static_cast<int>(std::nearbyint((i - CrOffset) * CrToGreenFactor));
    FCbToGreen[i] = -static_cast<int>(std::nearbyint((i - CbOffset) * CbToGreenFactor));
  }
}

void TColorManager::ConvertRow(std::span<const void* const> Source, void* Target, int Count, Byte Mask) {
  if (FChanged) SelectConverter();
  if (FConverter == nullptr || Source.empty() || Source[0] == nullptr || Target == nullptr) RaiseNoConverter();
  if (Count <= 0) return;
  (this->*FConverter)(Source, static_cast<Byte*>(Target), Count, Mask);
}

// ---- Grey and indexed values ----------------------------------------------------------------------

// Grey and indexed values of 1 to 16 bits (bit-packed, most significant bits first), scaled from
// the source range to the target range.
void TColorManager::RowLowDepth(std::span<const void* const> Source, Byte* T, int Count, Byte Mask) {
  const auto* S = static_cast<const Byte*>(Source[0]);
  const int sb = FSourceBPS, tb = FTargetBPS;
  if (sb == tb && Mask == 0xFF) {
    std::memcpy(T, S, (static_cast<std::size_t>(sb) * Count + 7) / 8);
    return;
  }
  if (sb == 8 && tb == 8) {
    ForEachSelected(Count, Mask, [&](int i, std::size_t k) { T[i] = S[k]; });
    return;
  }
  if (sb <= 8 && tb == 8) {
    ForEachSelected(Count, Mask,
                    [&](int i, std::size_t k) { T[i] = static_cast<Byte>(FLowScale[GetBits(S, k * sb, sb)]); });
    return;
  }
  const unsigned SourceMax = (1u << sb) - 1, TargetMax = (1u << tb) - 1;
  ForEachSelected(Count, Mask, [&](int i, std::size_t k) {
    const unsigned v = GetBits(S, k * sb, sb);
    PutBits(T, static_cast<std::size_t>(i) * tb, tb, sb <= 8 ? FLowScale[v] : v * TargetMax / SourceMax);
  });
}

// Indexed values of 16 bits into 16 bits: copied, or swapped when stored most significant byte
// first.
void TColorManager::RowIndexed16To16(std::span<const void* const> Source, Byte* T, int Count, Byte Mask) {
  const auto* S = static_cast<const Byte*>(Source[0]);
  const bool Swap = FSourceOptions.Contains(cfByteSwap);
  ForEachSelected(Count, Mask, [&](int i, std::size_t k) { Write16(T + 2 * i, Read16(S + 2 * k, Swap), false); });
}

// Indexed values of 16 bits into 1 to 15 bits, scaled to the target's range and bit-packed.
void TColorManager::RowIndexed16ToLow(std::span<const void* const> Source, Byte* T, int Count, Byte Mask) {
  const auto* S = static_cast<const Byte*>(Source[0]);
  const bool Swap = FSourceOptions.Contains(cfByteSwap);
  const int tb = FTargetBPS;
  const unsigned TargetMax = (1u << tb) - 1;
  ForEachSelected(Count, Mask, [&](int i, std::size_t k) {
    PutBits(T, static_cast<std::size_t>(i) * tb, tb, Read16(S + 2 * k, Swap) * TargetMax / 65535);
  });
}

// Indexed values of 1 to 15 bits into 16 bits, scaled to the full range.
void TColorManager::RowIndexedLowTo16(std::span<const void* const> Source, Byte* T, int Count, Byte Mask) {
  const auto* S = static_cast<const Byte*>(Source[0]);
  const int sb = FSourceBPS;
  const unsigned SourceMax = (1u << sb) - 1;
  ForEachSelected(Count, Mask, [&](int i, std::size_t k) {
    Write16(T + 2 * i, GetBits(S, k * sb, sb) * 65535u / SourceMax, false);
  });
}

// Grey (and grey with alpha, whose alpha is skipped) of 8 or 16 bits into one 8- or 16-bit sample.
void TColorManager::RowGrey8And16(std::span<const void* const> Source, Byte* T, int Count, Byte Mask) {
  const auto* S = static_cast<const Byte*>(Source[0]);
  const int SourceBytes = FSourceBPS / 8;
  const std::size_t Step = static_cast<std::size_t>(SourceBytes) * (FSourceOptions.Contains(cfHasAlpha) ? 2 : 1);
  const bool Swap = FSourceOptions.Contains(cfByteSwap);
  const bool Target16 = FTargetBPS == 16;
  if (SourceBytes == 1 && !Target16 && Step == 1 && Mask == 0xFF) {
    std::memcpy(T, S, static_cast<std::size_t>(Count));
    return;
  }
  ForEachSelected(Count, Mask, [&](int i, std::size_t k) {
    const Byte* p = S + k * Step;
    const unsigned v = SourceBytes == 1 ? p[0] : Read16(p, Swap);
    if (Target16) Write16(T + 2 * i, SourceBytes == 1 ? Widen8(v) : v, false);
    else T[i] = static_cast<Byte>(SourceBytes == 1 ? v : Reduce16(v));
  });
}

// ---- Colour samples -------------------------------------------------------------------------------

namespace {

// The source of a colour routine: one interleaved row, or one plane per sample (at least Samples).
TSourceSamples ColourSource(std::span<const void* const> Source, int Samples, int Bits, bool Swap) {
  TSourceSamples S;
  S.Bytes = Bits == 16 ? 2 : 1;
  S.Step = Samples;
  S.Swap = Swap;
  S.Planar = Source.size() > 1;
  if (S.Planar && Source.size() < static_cast<std::size_t>(Samples)) RaiseNoConverter();
  for (int c = 0; c < (S.Planar ? Samples : 1); ++c) {
    if (Source[c] == nullptr) RaiseNoConverter();
    S.Planes[c] = static_cast<const Byte*>(Source[c]);
  }
  return S;
}

// Writes red, green and blue of 8 bits into a target pixel of RGB or BGR order, with or without
// an alpha sample (left as it is), at 8 or 16 bits a sample (widened, low byte first).
struct TColourTarget {
  Byte* Row;
  int Step;  // samples a pixel
  bool Target16;
  bool BGR;
  void Put(int i, Byte R, Byte G, Byte B) const {
    const Byte C[3] = {BGR ? B : R, G, BGR ? R : B};
    if (Target16) {
      Byte* p = Row + static_cast<std::size_t>(i) * Step * 2;
      for (int c = 0; c < 3; ++c) Write16(p + 2 * c, Widen8(C[c]), false);
    } else {
      Byte* p = Row + static_cast<std::size_t>(i) * Step;
      p[0] = C[0];
      p[1] = C[1];
      p[2] = C[2];
    }
  }
};

}  // namespace

// RGB or RGB with alpha, 8 or 16 bits, into blue, green, red (and alpha) bytes: the PNG reader's
// routine, with its own loops for whole rows.
void TColorManager::RowRGBToBGR8(std::span<const void* const> Source, Byte* T, int Count, Byte Mask) {
  if (Source.size() > 1) {
    RowRGBFamily(Source, T, Count, Mask);
    return;
  }
  const auto* S = static_cast<const Byte*>(Source[0]);
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
    ForEachSelected(Count, Mask, [&](int i, std::size_t k) {
      const Byte* s = S + k * SStep;
      Byte* t = T + i * TStep;
      t[0] = G[s[2]];
      t[1] = G[s[1]];
      t[2] = G[s[0]];
      if (CopyAlpha) t[3] = s[3];
    });
    return;
  }

  // 16 bits per sample: swapped when stored most significant byte first, reduced, looked up.
  const std::size_t SStep = SourceAlpha ? 8 : 6;
  const bool Swap = FSourceOptions.Contains(cfByteSwap);
  ForEachSelected(Count, Mask, [&](int i, std::size_t k) {
    const Byte* s = S + k * SStep;
    Byte* t = T + i * TStep;
    t[0] = G[Reduce16(Read16(s + 4, Swap))];
    t[1] = G[Reduce16(Read16(s + 2, Swap))];
    t[2] = G[Reduce16(Read16(s, Swap))];
    if (CopyAlpha) t[3] = static_cast<Byte>(Reduce16(Read16(s + 6, Swap)));
  });
}

// RGB or BGR (with or without alpha) into RGB or BGR (with or without alpha), 8 or 16 bits a
// sample on either side, interleaved or planar. Colour samples pass the gamma table when the
// target asks for it (16-bit ones reduced first); alpha is copied when both sides have it and
// never looked up. An 8-bit source into a 16-bit target is widened, the words written most
// significant byte first when the source flags say its samples are stored so; a 16-bit source
// into a 16-bit target keeps its values (but for the gamma) in host order.
void TColorManager::RowRGBFamily(std::span<const void* const> Source, Byte* T, int Count, Byte Mask) {
  const bool SourceAlpha = FSourceOptions.Contains(cfHasAlpha);
  const bool TargetAlpha = FTargetOptions.Contains(cfHasAlpha);
  const bool CopyAlpha = SourceAlpha && TargetAlpha;
  const bool Swap = FSourceOptions.Contains(cfByteSwap);
  const bool Gamma = FTargetOptions.Contains(cfApplyGamma);
  const TSourceSamples S = ColourSource(Source, SourceAlpha ? 4 : 3, FSourceBPS, Swap);
  const bool Source16 = FSourceBPS == 16, Target16 = FTargetBPS == 16;
  // Where red, green and blue lie among the three colour samples of each side.
  const int SourceAt[3] = {BGROrder(FSourceScheme) ? 2 : 0, 1, BGROrder(FSourceScheme) ? 0 : 2};
  const int TargetAt[3] = {BGROrder(FTargetScheme) ? 2 : 0, 1, BGROrder(FTargetScheme) ? 0 : 2};
  const int TStep = TargetAlpha ? 4 : 3;
  // One colour sample at the target's depth.
  auto Convert = [&](unsigned Raw) -> unsigned {
    if (!Target16) return Gamma ? FGammaTable[Source16 ? Reduce16(Raw) : Raw] : (Source16 ? Reduce16(Raw) : Raw);
    if (!Source16) return Widen8(Gamma ? FGammaTable[Raw] : Raw);
    return Gamma ? Widen8(FGammaTable[Reduce16(Raw)]) : Raw;
  };
  const bool SwapWritten = Target16 && !Source16 && Swap;
  ForEachSelected(Count, Mask, [&](int i, std::size_t k) {
    for (int c = 0; c < 3; ++c) {
      const unsigned v = Convert(S.Raw(k, SourceAt[c]));
      if (Target16) Write16(T + (static_cast<std::size_t>(i) * TStep + TargetAt[c]) * 2, v, SwapWritten);
      else T[static_cast<std::size_t>(i) * TStep + TargetAt[c]] = static_cast<Byte>(v);
    }
    if (CopyAlpha) {
      const unsigned a = S.Raw(k, 3);
      if (Target16) Write16(T + (static_cast<std::size_t>(i) * 4 + 3) * 2, Source16 ? a : Widen8(a), SwapWritten);
      else T[static_cast<std::size_t>(i) * 4 + 3] = static_cast<Byte>(Source16 ? Reduce16(a) : a);
    }
  });
}

// Cyan, magenta, yellow and black (8 or 16 bits) into red, green and blue: each colour is
// 255 - (c - c x K div 255 + K), clamped.
void TColorManager::RowCMYK(std::span<const void* const> Source, Byte* T, int Count, Byte Mask) {
  const TSourceSamples S = ColourSource(Source, 4, FSourceBPS, FSourceOptions.Contains(cfByteSwap));
  const TColourTarget Out{T, FTargetOptions.Contains(cfHasAlpha) ? 4 : 3, FTargetBPS == 16, BGROrder(FTargetScheme)};
  ForEachSelected(Count, Mask, [&](int i, std::size_t k) {
    const int K = S.Sample8(k, 3);
    auto One = [&](int c) { return ClampByte(255 - (c - c * K / 255 + K)); };
    Out.Put(i, One(S.Sample8(k, 0)), One(S.Sample8(k, 1)), One(S.Sample8(k, 2)));
  });
}

// CIE L*a*b* (8 or 16 bits, 16-bit samples reduced to 8 first) into red, green and blue, through
// CIE XYZ under the D65 white point and the linear sRGB matrix, x 255, clamped. L is taken as
// 0..100, or 0..255 divided by 2.55 with cfLabByteRange; a* and b* as signed bytes, or unsigned
// with an offset of 128 with cfLabChromaOffset. A signed 16-bit a* or b* is the signed byte scaled
// by 256, so it is reduced to its high byte (the unsigned reduction would take -32768 .. -32641 for
// the largest positive value).
void TColorManager::RowCIELab(std::span<const void* const> Source, Byte* T, int Count, Byte Mask) {
  const TSourceSamples S = ColourSource(Source, 3, FSourceBPS, FSourceOptions.Contains(cfByteSwap));
  const TColourTarget Out{T, FTargetOptions.Contains(cfHasAlpha) ? 4 : 3, FTargetBPS == 16, BGROrder(FTargetScheme)};
  const bool ByteRange = FSourceOptions.Contains(cfLabByteRange);
  const bool Offset = FSourceOptions.Contains(cfLabChromaOffset);
  constexpr double WhiteX = 0.950456, WhiteZ = 1.088754;
  // a* or b*, sample c of pixel k.
  auto Chroma = [&](std::size_t k, int c) -> double {
    if (Offset) return S.Sample8(k, c) - 128.0;
    const unsigned v = S.Raw(k, c);
    return static_cast<signed char>(S.Bytes == 1 ? v : v >> 8);
  };
  ForEachSelected(Count, Mask, [&](int i, std::size_t k) {
    const Byte l = S.Sample8(k, 0);
    const double L = ByteRange ? l / 2.55 : l;
    const double A = Chroma(k, 1), B = Chroma(k, 2);
    const double fy = (L + 16) / 116, fx = fy + A / 500, fz = fy - B / 200;
    auto Component = [](double f) {
      const double f3 = f * f * f;
      return f3 > 0.008856 ? f3 : (116 * f - 16) / 903.3;
    };
    const double Y = L > 7.9996 ? fy * fy * fy : L / 903.3;
    const double X = WhiteX * Component(fx), Z = WhiteZ * Component(fz);
    Out.Put(i, ClampByte((3.240479 * X - 1.537150 * Y - 0.498535 * Z) * 255),
            ClampByte((-0.969256 * X + 1.875992 * Y + 0.041556 * Z) * 255),
            ClampByte((0.055648 * X - 0.204043 * Y + 1.057311 * Z) * 255));
  });
}

// Y, Cb and Cr (8 or 16 bits) into red, green and blue through the tables of the scheme.
void TColorManager::RowYCbCr(std::span<const void* const> Source, Byte* T, int Count, Byte Mask) {
  const TSourceSamples S = ColourSource(Source, 3, FSourceBPS, FSourceOptions.Contains(cfByteSwap));
  const TColourTarget Out{T, FTargetOptions.Contains(cfHasAlpha) ? 4 : 3, FTargetBPS == 16, BGROrder(FTargetScheme)};
  ForEachSelected(Count, Mask, [&](int i, std::size_t k) {
    const int Y = S.Sample8(k, 0), Cb = S.Sample8(k, 1), Cr = S.Sample8(k, 2);
    Out.Put(i, ClampByte(Y + FCrToRed[Cr]), ClampByte(Y + FCbToGreen[Cb] + FCrToGreen[Cr]),
            ClampByte(Y + FCbToBlue[Cb]));
  });
}

// ---- Palettes -------------------------------------------------------------------------------------

TPaletteColors TColorManager::PaletteFromData(std::span<const void* const> Data, int Format, int ColorCount,
                                              bool Reversed) {
  const bool Planes = Format == 2 || Format == 3;
  const bool Wide = Format == 4 || Format == 5;
  const std::size_t Pointers = Planes ? 3 : 1;
  const int n = std::clamp(ColorCount, 0, 256);
  bool Missing = Data.size() < Pointers;
  for (std::size_t i = 0; !Missing && n > 0 && i < Pointers; ++i) Missing = Data[i] == nullptr;
  if (Format < 0 || Format > 5 || Missing)
    throw EColorConversionError(::Format("Palette format %d is not supported.", Format));
  const bool Swap = FSourceOptions.Contains(cfByteSwap);
  // Sample c (0, 1, 2 as stored) of colour i.
  auto Sample = [&](int i, int c) -> Byte {
    if (Planes) return GammaLookup(static_cast<const Byte*>(Data[c])[i]);
    if (Wide) {
      const Byte* p = static_cast<const Byte*>(Data[0]) + 6 * i + 2 * c;
      return GammaLookup(static_cast<Byte>(Reduce16(Read16(p, Swap))));
    }
    return GammaLookup(static_cast<const Byte*>(Data[0])[3 * i + c]);
  };
  TPaletteColors Colors(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const Byte a = Sample(i, 0), b = Sample(i, 1), c = Sample(i, 2);
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
