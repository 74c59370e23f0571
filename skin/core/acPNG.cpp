// PNG reader, colour conversion and PNG image output. See acPNG.h.
#include "skin/core/acPNG.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "skin/core/acPixels.h"
#ifdef _WIN32
#include "skin/core/sVclUtils.h"
#endif

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

const Byte PNGSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
const char* const PNGName = "PNG";

// Deflate cannot expand one input byte into more than about 1032 output bytes; image data that
// could not fill the image even at that ratio is refused before anything is allocated.
constexpr std::uint64_t MaxInflateRatio = 1040;

[[noreturn]] void RaiseInvalidFormat() {
  throw EInvalidGraphic(Format("Cannot load image. Invalid or unexpected %s image format.", PNGName));
}
[[noreturn]] void RaiseCRCError() {
  throw EInvalidGraphic(Format("Cannot load image. CRC error found in %s file.", PNGName));
}
[[noreturn]] void RaiseUnsupportedCompression() {
  throw EInvalidGraphic(
      Format("Cannot load image. %s not supported for %s files.", "The compression scheme is", PNGName));
}
[[noreturn]] void RaiseInvalidPalette() {
  throw EInvalidGraphic(Format("Cannot load image. Palette in %s file is invalid.", PNGName));
}
[[noreturn]] void RaiseInvalidColorFormat() {
  throw EInvalidGraphic(Format("Invalid color format in %s file.", PNGName));
}
[[noreturn]] void RaiseCriticalChunk() {
  throw EInvalidGraphic("Cannot load PNG image. Unexpected but critical chunk detected.");
}
[[noreturn]] void RaiseCompressionError() {
  throw EInvalidGraphic(Format("Cannot load image. Compression error found in %s file.", PNGName));
}
[[noreturn]] void RaiseExtraData() {
  throw EInvalidGraphic(Format("Cannot load image. Extra compressed data found in %s file.", PNGName));
}
[[noreturn]] void RaiseIncompleteData() {
  throw EInvalidGraphic(Format("Cannot load image. Image data in %s file is incomplete.", PNGName));
}
[[noreturn]] void RaiseNoImageData() {
  throw EInvalidGraphic(Format("Cannot load image. No image data found in %s file.", PNGName));
}
[[noreturn]] void RaiseInvalidChunkLength() {
  throw EInvalidGraphic(Format("Cannot load image. Invalid chunk length in %s file.", PNGName));
}
[[noreturn]] void RaiseTooLarge(std::uint32_t W, std::uint32_t H) {
  throw EInvalidGraphic(Format("Cannot load image. The %s image is too large (%u x %u pixels).", PNGName,
                               static_cast<unsigned>(W), static_cast<unsigned>(H)));
}
[[noreturn]] void RaiseStreamReadError() { throw EReadError("Stream read error"); }

[[noreturn]] void RaiseNoConverter() {
  throw EColorConversionError("Color conversion failed. Could not find a proper method.");
}

std::uint32_t ReadBE32(const Byte* P) {
  return (std::uint32_t{P[0]} << 24) | (std::uint32_t{P[1]} << 16) | (std::uint32_t{P[2]} << 8) | P[3];
}
std::uint16_t ReadBE16(const Byte* P) { return static_cast<std::uint16_t>((P[0] << 8) | P[1]); }

constexpr std::int32_t RGBColor(int R, int G, int B) { return R | (G << 8) | (B << 16); }

// ---- CRC-32 -------------------------------------------------------------------------------------

struct TCRCTables {
  std::uint32_t T[8][256];
  TCRCTables() {
    // The generator polynomial from its terms, bit-reflected.
    static const int Terms[] = {0, 1, 2, 4, 5, 7, 8, 10, 11, 12, 16, 22, 23, 26};
    std::uint32_t Poly = 0;
    for (int t : Terms) Poly |= std::uint32_t{1} << (31 - t);
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? Poly ^ (c >> 1) : c >> 1;
      T[0][n] = c;
    }
    for (int k = 1; k < 8; ++k)
      for (int n = 0; n < 256; ++n) T[k][n] = (T[k - 1][n] >> 8) ^ T[0][T[k - 1][n] & 0xFF];
  }
};

const TCRCTables& CRCTables() {
  static const TCRCTables Tables;  // built on first use
  return Tables;
}

// ---- Row filters --------------------------------------------------------------------------------

inline Byte Paeth(int a, int b, int c) {
  int p = a + b - c;
  int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<Byte>(a);
  if (pb <= pc) return static_cast<Byte>(b);
  return static_cast<Byte>(c);
}

// Rebuilds Line (Length bytes, the row without its filter byte) in place; Prev is the rebuilt row
// above (all zero above the first row of the image or of a pass).
template <int Bpp>
void UnfilterRowT(int Filter, Byte* Line, const Byte* Prev, std::size_t Length, int DynBpp) {
  const std::size_t bpp = Bpp > 0 ? static_cast<std::size_t>(Bpp) : static_cast<std::size_t>(DynBpp);
  const std::size_t lead = std::min(bpp, Length);
  switch (Filter) {
    case 0:
      break;
    case 1:
      for (std::size_t i = bpp; i < Length; ++i) Line[i] = static_cast<Byte>(Line[i] + Line[i - bpp]);
      break;
    case 2:
      for (std::size_t i = 0; i < Length; ++i) Line[i] = static_cast<Byte>(Line[i] + Prev[i]);
      break;
    case 3:
      for (std::size_t i = 0; i < lead; ++i) Line[i] = static_cast<Byte>(Line[i] + (Prev[i] >> 1));
      for (std::size_t i = bpp; i < Length; ++i)
        Line[i] = static_cast<Byte>(Line[i] + ((Line[i - bpp] + Prev[i]) >> 1));
      break;
    case 4:
      // Paeth(0, above, 0) is the byte above.
      for (std::size_t i = 0; i < lead; ++i) Line[i] = static_cast<Byte>(Line[i] + Prev[i]);
      for (std::size_t i = bpp; i < Length; ++i)
        Line[i] = static_cast<Byte>(Line[i] + Paeth(Line[i - bpp], Prev[i], Prev[i - bpp]));
      break;
    default:
      // Filter types 5 and up are not defined: the row keeps its bytes as stored.
      break;
  }
}

#if defined(__SSE2__)
// Sub, Average and Paeth for 3- and 4-byte pixels, one pixel per step in the low lanes of SSE2
// registers. Up, and other pixel sizes, use the byte loops.
// Pixels move between memory and registers whole (4 bytes) or byte by byte (3 bytes), never
// through a partly written stack slot.
template <int Bpp>
inline __m128i LoadPixel(const Byte* P) {
  std::uint32_t v;
  if constexpr (Bpp == 4)
    std::memcpy(&v, P, 4);
  else
    v = std::uint32_t{P[0]} | (std::uint32_t{P[1]} << 8) | (std::uint32_t{P[2]} << 16);
  return _mm_cvtsi32_si128(static_cast<int>(v));
}
template <int Bpp>
inline void StorePixel(Byte* P, __m128i V) {
  const auto v = static_cast<std::uint32_t>(_mm_cvtsi128_si32(V));
  if constexpr (Bpp == 4) {
    std::memcpy(P, &v, 4);
  } else {
    P[0] = static_cast<Byte>(v);
    P[1] = static_cast<Byte>(v >> 8);
    P[2] = static_cast<Byte>(v >> 16);
  }
}

template <int Bpp>
bool UnfilterRowSSE2(int Filter, Byte* Line, const Byte* Prev, std::size_t Length) {
  if (Filter != 1 && Filter != 3 && Filter != 4) return false;
  const std::size_t Pixels = Length / Bpp;
  const __m128i Zero = _mm_setzero_si128();
  __m128i a = Zero;
  switch (Filter) {
    case 1:
      for (std::size_t i = 0; i < Pixels; ++i, Line += Bpp) {
        a = _mm_add_epi8(a, LoadPixel<Bpp>(Line));
        StorePixel<Bpp>(Line, a);
      }
      break;
    case 3: {
      const __m128i One = _mm_set1_epi8(1);
      for (std::size_t i = 0; i < Pixels; ++i, Line += Bpp, Prev += Bpp) {
        const __m128i b = LoadPixel<Bpp>(Prev);
        // floor((a + b) / 2): the rounded-up average less the dropped low bit.
        const __m128i Avg = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), One));
        a = _mm_add_epi8(Avg, LoadPixel<Bpp>(Line));
        StorePixel<Bpp>(Line, a);
      }
      break;
    }
    case 4: {
      __m128i c = Zero;  // a and c as 16-bit lanes
      for (std::size_t i = 0; i < Pixels; ++i, Line += Bpp, Prev += Bpp) {
        const __m128i b = _mm_unpacklo_epi8(LoadPixel<Bpp>(Prev), Zero);
        const __m128i x = _mm_unpacklo_epi8(LoadPixel<Bpp>(Line), Zero);
        // p = a + b - c: |p - a| = |b - c|, |p - b| = |a - c|, |p - c| = |a + b - 2c|.
        const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
        const __m128i pa = _mm_max_epi16(bc, _mm_sub_epi16(Zero, bc));
        const __m128i pb = _mm_max_epi16(ac, _mm_sub_epi16(Zero, ac));
        const __m128i abc = _mm_add_epi16(bc, ac);
        const __m128i pc = _mm_max_epi16(abc, _mm_sub_epi16(Zero, abc));
        const __m128i Least = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
        const __m128i TakeA = _mm_cmpeq_epi16(pa, Least), TakeB = _mm_cmpeq_epi16(pb, Least);
        __m128i Pred = _mm_or_si128(_mm_and_si128(TakeB, b), _mm_andnot_si128(TakeB, c));
        Pred = _mm_or_si128(_mm_and_si128(TakeA, a), _mm_andnot_si128(TakeA, Pred));
        const __m128i Out = _mm_and_si128(_mm_add_epi16(Pred, x), _mm_set1_epi16(0xFF));
        StorePixel<Bpp>(Line, _mm_packus_epi16(Out, Out));
        a = Out;
        c = b;
      }
      break;
    }
  }
  return true;
}
#endif

void UnfilterRow(int Filter, Byte* Line, const Byte* Prev, std::size_t Length, int Bpp) {
#if defined(__SSE2__)
  if (Bpp == 4 && UnfilterRowSSE2<4>(Filter, Line, Prev, Length)) return;
  if (Bpp == 3 && UnfilterRowSSE2<3>(Filter, Line, Prev, Length)) return;
#endif
  switch (Bpp) {
    case 1: UnfilterRowT<1>(Filter, Line, Prev, Length, Bpp); break;
    case 2: UnfilterRowT<2>(Filter, Line, Prev, Length, Bpp); break;
    case 3: UnfilterRowT<3>(Filter, Line, Prev, Length, Bpp); break;
    case 4: UnfilterRowT<4>(Filter, Line, Prev, Length, Bpp); break;
    case 6: UnfilterRowT<6>(Filter, Line, Prev, Length, Bpp); break;
    case 8: UnfilterRowT<8>(Filter, Line, Prev, Length, Bpp); break;
    default: UnfilterRowT<0>(Filter, Line, Prev, Length, Bpp); break;
  }
}

// ---- Adam7 --------------------------------------------------------------------------------------

const int Adam7RowStart[7] = {0, 0, 4, 0, 2, 0, 1};
const int Adam7ColumnStart[7] = {0, 4, 0, 2, 0, 1, 0};
const int Adam7RowStep[7] = {8, 8, 8, 4, 4, 2, 2};
const int Adam7ColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};
const Byte Adam7Mask[7] = {0x80, 0x08, 0x88, 0x22, 0xAA, 0x55, 0xFF};

// Bytes of one filtered row (filter byte included) for Columns pixels.
std::uint64_t RowBytes(std::uint64_t Columns, int BitDepth, int Samples) {
  return (Columns * static_cast<std::uint64_t>(BitDepth) + 7) / 8 * static_cast<std::uint64_t>(Samples) + 1;
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

bool ValidBitsPerSample(int Value) {
  return Value == 1 || Value == 2 || Value == 4 || Value == 8 || Value == 16;
}

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

std::uint32_t UpdateCRC32(std::uint32_t CRC, const void* Buffer, std::size_t Count) {
  if (Buffer == nullptr) return 0;
  const auto& T = CRCTables().T;
  const Byte* p = static_cast<const Byte*>(Buffer);
  std::uint32_t c = ~CRC;
  while (Count >= 8) {
    std::uint32_t one = (std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
                         (std::uint32_t{p[3]} << 24)) ^ c;
    std::uint32_t two = std::uint32_t{p[4]} | (std::uint32_t{p[5]} << 8) | (std::uint32_t{p[6]} << 16) |
                        (std::uint32_t{p[7]} << 24);
    c = T[7][one & 0xFF] ^ T[6][(one >> 8) & 0xFF] ^ T[5][(one >> 16) & 0xFF] ^ T[4][one >> 24] ^
        T[3][two & 0xFF] ^ T[2][(two >> 8) & 0xFF] ^ T[1][(two >> 16) & 0xFF] ^ T[0][two >> 24];
    p += 8;
    Count -= 8;
  }
  while (Count-- > 0) c = T[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
  return ~c;
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

// =================================================================================================
// TLZ77Decoder

TLZ77Decoder::TLZ77Decoder(int FlushMode, bool AutoReset) : FFlushMode(FlushMode), FAutoReset(AutoReset) {
  std::memset(&FStream, 0, sizeof(FStream));
}

TLZ77Decoder::~TLZ77Decoder() {
  if (FStarted) inflateEnd(&FStream);
}

void TLZ77Decoder::StartInflate() {
  if (inflateInit(&FStream) < 0) throw EGraphicCompression("LZ77 decompression error.");
  FStarted = true;
  FLastResult = Z_OK;
}

void TLZ77Decoder::InflateChunk(const Byte*& Source, Byte*& Dest, std::uint32_t PackedSize,
                                std::uint32_t UnpackedSize) {
  FStream.next_in = const_cast<Byte*>(Source);
  FStream.avail_in = PackedSize;
  if (FAutoReset) FLastResult = inflateReset(&FStream);
  if (FLastResult != Z_OK) return;
  FStream.next_out = Dest;
  FStream.avail_out = UnpackedSize;
  FLastResult = inflate(&FStream, FFlushMode);
  Source = FStream.next_in;
  Dest = FStream.next_out;
}

void TLZ77Decoder::EndInflate() {
  if (!FStarted) return;
  FStarted = false;
  if (inflateEnd(&FStream) < 0) throw EGraphicCompression("LZ77 decompression error.");
}

// =================================================================================================
// Pixel targets

namespace {
std::size_t StrideFor(const TPNGLayout& Layout) {
  const std::uint64_t Bits = static_cast<std::uint64_t>(Layout.Width) * PixelFormatBits(Layout.PixelFormat);
  return static_cast<std::size_t>((Bits + 31) / 32 * 4);
}
}  // namespace

void TPNGPixelBuffer::Begin(const TPNGLayout& ALayout) {
  Layout = ALayout;
  Stride = StrideFor(Layout);
  Pixels.assign(Stride * static_cast<std::size_t>(Layout.Height), 0);
}

void TPNGRowSink::Begin(const TPNGLayout& ALayout) {
  Layout = ALayout;
  RowBuffer.assign(StrideFor(Layout), 0);
  ++Began;
}

// =================================================================================================
// TPNGReader

void TPNGReader::Progress(TPNGProgressStage Stage, Byte Percent, bool Redraw, const AnsiString& Msg) {
  if (OnProgress) OnProgress(Stage, Percent, Redraw, FProgressRect, Msg);
}

void TPNGReader::CheckRoomFor(std::uint64_t Count) {
  const std::int64_t Pos = FStream->Position();
  if (Pos > FStreamEnd || static_cast<std::uint64_t>(FStreamEnd - Pos) < Count) RaiseStreamReadError();
}

void TPNGReader::ReadChunkHead() {
  Byte Head[8];
  FStream->ReadBuffer(Head, 8);
  FHeader.Length = ReadBE32(Head);
  std::memcpy(FHeader.Type, Head + 4, 4);
  if (FHeader.Length > PNGMaxChunkLength) RaiseInvalidChunkLength();
  FCRC = UpdateCRC32(0, FHeader.Type, 4);
}

void TPNGReader::ReadChunkBody() {
  CheckRoomFor(std::uint64_t{FHeader.Length} + 4);
  if (FStreamMemory != nullptr) {
    // A memory stream's bytes are read where they are.
    FBody = FStreamMemory + FStream->Position();
    FStream->Seek(FHeader.Length, soCurrent);
  } else {
    FChunk.resize(FHeader.Length);
    if (FHeader.Length > 0) FStream->ReadBuffer(FChunk.data(), FHeader.Length);
    FBody = FChunk.data();
  }
  Byte Tail[4];
  FStream->ReadBuffer(Tail, 4);
  if (FHeader.Length > 0) FCRC = UpdateCRC32(FCRC, FBody, FHeader.Length);
  if (FCRC != ReadBE32(Tail)) RaiseCRCError();
}

void TPNGReader::SkipChunk() {
  CheckRoomFor(std::uint64_t{FHeader.Length} + 4);
  FStream->Seek(static_cast<std::int64_t>(FHeader.Length) + 4, soCurrent);
}

bool TPNGReader::ChunkIs(const char* Type) const {
  std::uint32_t a, b;
  std::memcpy(&a, FHeader.Type, 4);
  std::memcpy(&b, Type, 4);
  return (a & 0xDFDFDFDFu) == (b & 0xDFDFDFDFu);
}

bool TPNGReader::ScanProperties() {
  FProps = TPNGImageProperties{};
  FProps.FileGamma = 1.0f;
  Byte Signature[8];
  if (FStream->Read(Signature, 8) != 8 || std::memcmp(Signature, PNGSignature, 8) != 0) return false;

  ReadChunkHead();
  if (!ChunkIs("IHDR") || FHeader.Length != 13) return false;
  FProps.Options.Include(pioHeaderRead);
  ReadChunkBody();
  const std::uint32_t Width = ReadBE32(FBody), Height = ReadBE32(FBody + 4);
  if (Width == 0 || Height == 0 || Width > 0x7FFFFFFFu || Height > 0x7FFFFFFFu) return false;
  if (Width > static_cast<std::uint32_t>(PNGMaxSide) || Height > static_cast<std::uint32_t>(PNGMaxSide) ||
      std::uint64_t{Width} * Height > static_cast<std::uint64_t>(PNGMaxPixels))
    RaiseTooLarge(Width, Height);

  const int Depth = FBody[8], ColorType = FBody[9];
  FProps.Width = static_cast<int>(Width);
  FProps.Height = static_cast<int>(Height);
  switch (ColorType) {
    case 0: FProps.ColorScheme = cmsGrey; break;
    case 2: FProps.ColorScheme = cmsRGB; break;
    case 3: FProps.ColorScheme = cmsIndexed; break;
    case 4: FProps.ColorScheme = cmsGreyAlpha; break;
    case 6: FProps.ColorScheme = cmsRGBA; break;
    default: FProps.ColorScheme = cmsNone; break;
  }
  FProps.BitsPerSample = static_cast<Byte>(Depth);
  FProps.SamplesPerPixel = ColorType == 2 ? 3 : ColorType == 6 ? 4 : 1;
  FProps.BitsPerPixel = static_cast<Byte>(FProps.SamplesPerPixel * Depth);
  FProps.Compression = FBody[10] == 0 ? 2 : 0;
  FProps.FilterMode = FBody[11];
  FProps.Interlaced = FBody[12] != 0;
  FProps.HasAlpha = FProps.ColorScheme == cmsGreyAlpha || FProps.ColorScheme == cmsRGBA ||
                    FProps.ColorScheme == cmsBGRA;

  // Walk the chunk framing up to IEND: the first gAMA gives the file gamma, the IDAT lengths bound
  // what the image data can hold.
  bool GammaSeen = false;
  for (;;) {
    ReadChunkHead();
    if (!GammaSeen && ChunkIs("gAMA")) {
      if (FHeader.Length != 4) RaiseInvalidFormat();
      ReadChunkBody();
      FProps.FileGamma = static_cast<float>(ReadBE32(FBody) / 100000.0);
      GammaSeen = true;
      continue;
    }
    if (ChunkIs("IDAT")) FIDATTotal += FHeader.Length;
    SkipChunk();
    if (ChunkIs("IEND")) break;
  }
  return true;
}

void TPNGReader::PrepareColorFormat(int ColorType, int BitDepth) {
  TColorManager& CM = FColorManager;
  auto Set = [&CM](TColorScheme SS, int SSamples, int SBits, TColorScheme TS, int TSamples, int TBits) {
    CM.SetSourceColorScheme(SS);
    CM.SetSourceSamplesPerPixel(static_cast<Byte>(SSamples));
    CM.SetSourceBitsPerSample(static_cast<Byte>(SBits));
    CM.SetTargetColorScheme(TS);
    CM.SetTargetSamplesPerPixel(static_cast<Byte>(TSamples));
    CM.SetTargetBitsPerSample(static_cast<Byte>(TBits));
  };
  FLayout.Palette.clear();
  switch (ColorType) {
    case 0:
      if (!ValidBitsPerSample(BitDepth)) RaiseInvalidColorFormat();
      Set(cmsGrey, 1, BitDepth, cmsGrey, 1, BitDepth == 2 ? 4 : BitDepth == 16 ? 8 : BitDepth);
      FLayout.Palette = CM.GrayPalette(false);
      FBytesPerPixel = (BitDepth + 7) / 8;
      break;
    case 2:
      if (BitDepth != 8 && BitDepth != 16) RaiseInvalidColorFormat();
      Set(cmsRGB, 3, BitDepth, cmsBGR, 3, 8);
      FBytesPerPixel = BitDepth * 3 / 8;
      break;
    case 3:
      if (BitDepth != 1 && BitDepth != 2 && BitDepth != 4 && BitDepth != 8) RaiseInvalidColorFormat();
      Set(cmsIndexed, 1, BitDepth, cmsIndexed, 1, BitDepth == 2 ? 4 : BitDepth);
      FBytesPerPixel = 1;
      break;
    case 4:
      if (BitDepth != 8 && BitDepth != 16) RaiseInvalidColorFormat();
      Set(cmsGreyAlpha, 1, BitDepth, cmsIndexed, 1, 8);
      FLayout.Palette = CM.GrayPalette(false);
      FBytesPerPixel = BitDepth * 2 / 8;
      break;
    case 6:
      if (BitDepth != 8 && BitDepth != 16) RaiseInvalidColorFormat();
      Set(cmsRGBA, 4, BitDepth, cmsBGRA, 4, 8);
      FBytesPerPixel = BitDepth * 4 / 8;
      break;
    default:
      RaiseInvalidColorFormat();
  }
  FLayout.PixelFormat = CM.PixelFormatFor(1);
  FFormatPrepared = true;
}

void TPNGReader::ApplyTransparency() {
  FLayout.TransparentColor = 0x1FFFFFFF;
  if (!FHasTransparent) return;
  if (FColorType == 0) {
    // The colour the bitmap shows for the grey sample: its palette entry at the converted index.
    const unsigned Max = FBitDepth >= 8 ? 0xFFFFu : (1u << FBitDepth) - 1;
    unsigned v = FTransparent[0] & Max;
    unsigned Index;
    if (FBitDepth == 16)
      Index = v / 257;
    else if (FBitDepth == 8)
      Index = v & 0xFF;
    else {
      const unsigned TargetMax = (1u << FColorManager.TargetBitsPerSample()) - 1;
      Index = v * TargetMax / Max;
    }
    if (Index < FLayout.Palette.size()) {
      const TPaletteColor& c = FLayout.Palette[Index];
      FLayout.TransparentColor = RGBColor(c.R, c.G, c.B);
    }
  } else if (FColorType == 2) {
    Byte c[3];
    for (int i = 0; i < 3; ++i) {
      const unsigned v = FBitDepth == 16 ? FTransparent[i] / 257u : FTransparent[i] & 0xFFu;
      c[i] = FColorManager.TargetOptions().Contains(cfApplyGamma) ? FColorManager.GammaTable()[v]
                                                                  : static_cast<Byte>(v);
    }
    FLayout.TransparentColor = RGBColor(c[0], c[1], c[2]);
  }
}

void TPNGReader::BeginImage(TPNGPixelTarget& Target) {
  FLayout.Width = FProps.Width;
  FLayout.Height = FProps.Height;
  if (FColorType == 3) FLayout.Palette = FHasPalette ? FPalette : TPaletteColors{};
  FLayout.BackgroundColor = FBackgroundColor;
  ApplyTransparency();
  Target.Begin(FLayout);
}

void TPNGReader::Load(TStream& Stream, TPNGPixelTarget& Target) {
  FStream = &Stream;
  auto* Memory = dynamic_cast<TCustomMemoryStream*>(&Stream);
  FStreamMemory = Memory != nullptr ? static_cast<const Byte*>(Memory->Memory()) : nullptr;
  FBody = nullptr;
  FColorManager.Reset();
  FBasePosition = Stream.Position();
  FStreamEnd = Stream.Size();
  FDecoder = nullptr;
  FInput = nullptr;
  FIDATSize = 0;
  FIDATTotal = 0;
  FChunk.clear();
  FHeader = TChunkHeader{};
  FFormatPrepared = false;
  FImageDone = false;
  FPalette.clear();
  FHasPalette = false;
  FHasTransparent = false;
  FLayout = TPNGLayout{};
  FBytesPerPixel = 1;

  TLZ77Decoder* Decoder = nullptr;
  auto Finish = [&](bool Failing) {
    FDecoder = nullptr;
    if (Decoder != nullptr) {
      try {
        Decoder->EndInflate();
      } catch (...) {
        delete Decoder;
        Decoder = nullptr;
        if (!Failing) throw;
      }
      delete Decoder;
      Decoder = nullptr;
    }
    FChunk.clear();
    FChunk.shrink_to_fit();
    Progress(TPNGProgressStage::Ending, 0, false, "");
  };

  try {
    if (!ScanProperties()) RaiseInvalidFormat();
    Stream.SetPosition(FBasePosition + 8);
    FProgressRect = Rect(0, 0, FProps.Width, 1);
    Progress(TPNGProgressStage::Starting, 0, false, "Preparing...");
    FBackgroundColor = 0xFFFFFF;

    ReadChunkHead();
    ReadChunkBody();
    std::memcpy(FIHDR, FBody, 13);
    FBitDepth = FIHDR[8];
    FColorType = FIHDR[9];
    FColorManager.SetSourceOptions(TConversionFlags{cfByteSwap});
    if (FProps.Compression != 2) RaiseUnsupportedCompression();
    Decoder = new TLZ77Decoder(Z_PARTIAL_FLUSH, false);
    FDecoder = Decoder;
    Decoder->StartInflate();

    ReadChunkHead();
    for (;;) {
      bool Handled = true;
      if (ChunkIs("IDAT")) {
        // Image data comes in one run of IDAT chunks.
        if (FImageDone) RaiseCriticalChunk();
        Progress(TPNGProgressStage::Ending, 0, false, "");
        DecodePixelRows(Target);
        FImageDone = true;
        Handled = false;  // the chunk after the run is not interpreted
      } else if (ChunkIs("PLTE")) {
        if (FHeader.Length % 3 != 0) RaiseInvalidPalette();
        ReadChunkBody();
        if (FColorType == 3 && !FImageDone) {
          PrepareColorFormat(FColorType, FBitDepth);
          const void* Data[1] = {FBody};
          FPalette = FColorManager.PaletteFromData(Data, 0, static_cast<int>(FHeader.Length / 3), false);
          FHasPalette = true;
        }
      } else if (ChunkIs("gAMA")) {
        if (FHeader.Length != 4) RaiseInvalidFormat();
        ReadChunkBody();
        const float Gamma = static_cast<float>(ReadBE32(FBody) / 100000.0);
        FColorManager.SetGamma(Gamma, 2.2f);
        FColorManager.SetTargetOptions(FColorManager.TargetOptions() + cfApplyGamma);
        FProps.Options.Include(pioGammaApplied);
      } else if (ChunkIs("bKGD")) {
        const std::uint32_t Need = (FColorType == 0 || FColorType == 4) ? 2 : (FColorType == 2 || FColorType == 6) ? 6 : 1;
        if (FHeader.Length != Need) RaiseInvalidFormat();
        ReadChunkBody();
        auto Reduce = [this](const Byte* P) -> int {
          const unsigned v = ReadBE16(P);
          if (FBitDepth == 16) return static_cast<int>(v * 255u / 65535u);
          if (FBitDepth == 2) return static_cast<int>(v * 15u / 3u) & 0xFF;
          return static_cast<int>(v & 0xFF);
        };
        if (FColorType == 0 || FColorType == 4)
          FBackgroundColor = Reduce(FBody);
        else if (FColorType == 2 || FColorType == 6)
          FBackgroundColor = RGBColor(Reduce(FBody), Reduce(FBody + 2), Reduce(FBody + 4));
        else
          FBackgroundColor = FBody[0];
      } else if (ChunkIs("tRNS")) {
        if ((FColorType == 0 && FHeader.Length != 2) || (FColorType == 2 && FHeader.Length != 6))
          RaiseInvalidFormat();
        ReadChunkBody();
        if (FColorType == 0 || FColorType == 2) {
          for (std::uint32_t i = 0; i < FHeader.Length / 2; ++i) FTransparent[i] = ReadBE16(FBody + 2 * i);
          FHasTransparent = true;
        }
      } else {
        Handled = false;
      }
      if (!Handled) {
        SkipChunk();
        if (ChunkIs("IEND")) break;
        if ((FHeader.Type[0] & 0x20) == 0) RaiseCriticalChunk();
      }
      ReadChunkHead();
    }
    if (!FImageDone) RaiseNoImageData();
  } catch (...) {
    Finish(true);
    throw;
  }
  Finish(false);
}

void TPNGReader::DecodePixelRows(TPNGPixelTarget& Target) {
  Progress(TPNGProgressStage::Starting, 0, false, "Transfering...");
  if (!FFormatPrepared) PrepareColorFormat(FColorType, FBitDepth);
  const int Samples = FBitDepth == 16 ? FBytesPerPixel / 2 : FBytesPerPixel;
  const int Width = FProps.Width, Height = FProps.Height;
  const bool Adam7 = FIHDR[12] == 1;

  // The filtered size of the whole image; data that cannot inflate to it is refused up front.
  std::uint64_t Needed = 0;
  if (Adam7) {
    for (int Pass = 0; Pass < 7; ++Pass) {
      if (Width <= Adam7ColumnStart[Pass] || Height <= Adam7RowStart[Pass]) continue;
      const std::uint64_t Columns =
          static_cast<std::uint64_t>(Width - Adam7ColumnStart[Pass] + Adam7ColumnStep[Pass] - 1) / Adam7ColumnStep[Pass];
      const std::uint64_t Rows =
          static_cast<std::uint64_t>(Height - Adam7RowStart[Pass] + Adam7RowStep[Pass] - 1) / Adam7RowStep[Pass];
      Needed += Rows * RowBytes(Columns, FBitDepth, Samples);
    }
  } else {
    Needed = static_cast<std::uint64_t>(Height) * RowBytes(static_cast<std::uint64_t>(Width), FBitDepth, Samples);
  }
  if (Needed > FIDATTotal * MaxInflateRatio + 1024) RaiseIncompleteData();

  BeginImage(Target);

  // Image data is inflated into a staging buffer of up to 64 KiB (at least two rows), so that the
  // inflater works on long runs; rows are taken from it one by one.
  const std::uint64_t FullRowSize = RowBytes(static_cast<std::uint64_t>(Width), FBitDepth, Samples);
  FStaged.assign(static_cast<std::size_t>(
                     std::min<std::uint64_t>(Needed, std::max<std::uint64_t>(2 * FullRowSize, 65536))),
                 0);
  FStagedStart = FStagedEnd = 0;
  FImageBytesLeft = Needed;
  FDataEnded = false;
  struct TReleaseStaged {
    std::vector<Byte>& V;
    ~TReleaseStaged() { std::vector<Byte>().swap(V); }
  } ReleaseStaged{FStaged};

  std::vector<Byte> Current(static_cast<std::size_t>(FullRowSize), 0);
  std::vector<Byte> Previous(static_cast<std::size_t>(FullRowSize), 0);

  auto DecodeRow = [&](std::uint32_t RowSize, int Y, Byte Mask) {
    InflateRow(Current.data(), RowSize);
    UnfilterRow(Current[0], Current.data() + 1, Previous.data() + 1, RowSize - 1, FBytesPerPixel);
    const void* Source[1] = {Current.data() + 1};
    FColorManager.ConvertRow(Source, Target.Row(Y), Width, Mask);
    std::swap(Current, Previous);
  };

  if (Adam7) {
    for (int Pass = 0; Pass < 7; ++Pass) {
      if (Width <= Adam7ColumnStart[Pass]) continue;
      std::fill(Previous.begin(), Previous.end(), 0);
      const std::uint64_t Columns =
          static_cast<std::uint64_t>(Width + Adam7ColumnStep[Pass] - 1 - Adam7ColumnStart[Pass]) / Adam7ColumnStep[Pass];
      const auto RowSize = static_cast<std::uint32_t>(RowBytes(Columns, FBitDepth, Samples));
      for (int y = Adam7RowStart[Pass]; y < Height; y += Adam7RowStep[Pass]) {
        DecodeRow(RowSize, y, Adam7Mask[Pass]);
        if (Pass == 6) {
          const int Percent = std::min<std::int64_t>(100, (static_cast<std::int64_t>(y + 2) * 100 + Height / 2) / Height);
          Progress(TPNGProgressStage::Running, static_cast<Byte>(Percent), true, "");
          FProgressRect.Offset(0, 1);
        }
      }
    }
  } else {
    for (int y = 0; y < Height; ++y) {
      DecodeRow(static_cast<std::uint32_t>(FullRowSize), y, 0xFF);
      Progress(TPNGProgressStage::Running, static_cast<Byte>(static_cast<std::int64_t>(y) * 100 / Height), true, "");
      FProgressRect.Offset(0, 1);
    }
  }

  // Image data beyond the last row is read (and its CRC checked) but not used.
  while (ChunkIs("IDAT")) {
    ReadChunkBody();
    ReadChunkHead();
  }
}

void TPNGReader::InflateRow(Byte* Buffer, std::uint32_t Count) {
  while (FStagedEnd - FStagedStart < Count) {
    // Keep the unread bytes at the front, then inflate more behind them.
    if (FStagedStart > 0) {
      std::memmove(FStaged.data(), FStaged.data() + FStagedStart, FStagedEnd - FStagedStart);
      FStagedEnd -= FStagedStart;
      FStagedStart = 0;
    }
    if (FDataEnded || !InflateMore()) {
      // The image data ended before this row: what was inflated of it is kept, the rest of the
      // row is zero (and so are all later rows), so that the result does not depend on what the
      // row buffer held before.
      FDataEnded = true;
      const std::size_t Have = FStagedEnd - FStagedStart;
      std::memcpy(Buffer, FStaged.data() + FStagedStart, Have);
      std::memset(Buffer + Have, 0, Count - Have);
      FStagedStart = FStagedEnd = 0;
      return;
    }
  }
  std::memcpy(Buffer, FStaged.data() + FStagedStart, Count);
  FStagedStart += Count;
}

bool TPNGReader::InflateMore() {
  if (FDecoder->InputLeft() == 0) {
    FIDATSize = 0;
    while (FIDATSize == 0) {
      if (!ChunkIs("IDAT")) return false;
      ReadChunkBody();
      FInput = FBody;
      FIDATSize = FHeader.Length;
      ReadChunkHead();
    }
  }
  // Never more than the image still needs: data past the image stays uninflated.
  const auto Room = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(FStaged.size() - FStagedEnd, FImageBytesLeft));
  const Byte* InBefore = FInput;
  Byte* Out = FStaged.data() + FStagedEnd;
  const auto Unread = static_cast<std::uint32_t>(FBody + FIDATSize - FInput);
  FDecoder->InflateChunk(FInput, Out, Unread, Room);
  const auto Produced = static_cast<std::size_t>(Out - (FStaged.data() + FStagedEnd));
  FStagedEnd += Produced;
  FImageBytesLeft -= Produced;
  const int Result = FDecoder->LastResult();
  if (Result == Z_STREAM_END) {
    // The stream ended before the image was complete, or with data left in its chunk.
    if (FImageBytesLeft > 0 || FDecoder->InputLeft() > 0) RaiseExtraData();
    return true;
  }
  if (Result != Z_OK) RaiseCompressionError();
  if (Produced == 0 && FInput == InBefore) RaiseCompressionError();
  return true;
}

// =================================================================================================
// Clearing transparent white

void ClearTransparentWhite(const TacPixels& Pixels32) {
  TacFast32 Fast;
  if (!Fast.Attach(Pixels32)) return;
  // White with alpha 0 as the accessor reads it: R | G shl 8 | B shl 16 | A shl 24.
  constexpr TColor TransparentWhite = 0x00FFFFFF;
  for (int y = 0; y < Fast.Height(); ++y)
    for (int x = 0; x < Fast.Width(); ++x)
      if (Fast.GetPixel(x, y) == TransparentWhite) Fast.SetPixel(x, y, 0);
}

// =================================================================================================
// Win32: palettes as handles, the bitmap graphic, icons

#ifdef _WIN32

namespace {

HPALETTE MakePaletteHandle(const TPaletteColors& Colors) {
  if (Colors.empty()) return nullptr;
  struct {
    WORD Version;
    WORD Count;
    PALETTEENTRY Entries[256];
  } Pal{};
  Pal.Version = 0x300;
  Pal.Count = static_cast<WORD>(std::min<std::size_t>(Colors.size(), 256));
  for (WORD i = 0; i < Pal.Count; ++i) Pal.Entries[i] = PALETTEENTRY{Colors[i].R, Colors[i].G, Colors[i].B, 0};
  return CreatePalette(reinterpret_cast<LOGPALETTE*>(&Pal));
}

TPixelFormat ToPixelFormat(TacPixelFormat Format) {
  switch (Format) {
    case TacPixelFormat::Bits1: return pf1bit;
    case TacPixelFormat::Bits4: return pf4bit;
    case TacPixelFormat::Bits8: return pf8bit;
    case TacPixelFormat::Bits15: return pf15bit;
    case TacPixelFormat::Bits16: return pf16bit;
    case TacPixelFormat::Bits24: return pf24bit;
    case TacPixelFormat::Bits32: return pf32bit;
    case TacPixelFormat::Device: return pfDevice;
    default: return pfCustom;
  }
}

TProgressStage ToProgressStage(TPNGProgressStage Stage) {
  switch (Stage) {
    case TPNGProgressStage::Starting: return psStarting;
    case TPNGProgressStage::Running: return psRunning;
    default: return psEnding;
  }
}

struct TPNGUnit {
  TPNGUnit() { TPicture::RegisterFileFormat<TPNGGraphic>("png", "Portable network graphics (skin engine)"); }
  ~TPNGUnit() { TPicture::UnregisterGraphicClass<TPNGGraphic>(); }
};
const TPNGUnit PNGUnit;

}  // namespace

HPALETTE TColorManager::CreatePaletteFromData(std::span<const void* const> Data, int Format, int ColorCount,
                                              bool Reversed) {
  return MakePaletteHandle(PaletteFromData(Data, Format, ColorCount, Reversed));
}

HPALETTE TColorManager::CreateGrayPalette(bool WhiteFirst) { return MakePaletteHandle(GrayPalette(WhiteFirst)); }

// Points the reader at the bitmap's scan lines.
class TPNGGraphic::TBitmapTarget : public TPNGPixelTarget {
 public:
  explicit TBitmapTarget(TPNGGraphic& Graphic) : G(Graphic) {}

  void Begin(const TPNGLayout& L) override {
    const TPixelFormat Format = ToPixelFormat(L.PixelFormat);
    G.SetPixelFormat(Format);
    G.SetSize(L.Width, L.Height);
    if (!L.Palette.empty()) {
      const std::size_t Entries = std::size_t{1} << PixelFormatBits(L.PixelFormat);
      G.SetPalette(MakePaletteHandle(TPaletteColors(L.Palette.begin(),
                                                    L.Palette.begin() + std::min(Entries, L.Palette.size()))));
    }
    G.FBackgroundColor = L.BackgroundColor;
    // Row 0 at the top, whatever the pixel format.
    Scan0 = nullptr;
    Delta = 0;
    if (!G.Empty()) {
      Scan0 = static_cast<Byte*>(G.ScanLine(0));
      if (L.Height > 1) Delta = static_cast<Byte*>(G.ScanLine(1)) - Scan0;
    }
    // The background: a palette index or grey level for palette formats, a colour otherwise.
    const int Bits = PixelFormatBits(L.PixelFormat);
    const std::size_t RowBytes = (static_cast<std::size_t>(L.Width) * Bits + 7) / 8;
    for (int y = 0; y < L.Height; ++y) {
      Byte* p = Row(y);
      if (Bits >= 24) {
        for (int x = 0; x < L.Width; ++x, p += Bits / 8) {
          p[0] = static_cast<Byte>(L.BackgroundColor >> 16);
          p[1] = static_cast<Byte>(L.BackgroundColor >> 8);
          p[2] = static_cast<Byte>(L.BackgroundColor);
          if (Bits == 32) p[3] = 0;
        }
      } else {
        Byte Fill = static_cast<Byte>(L.BackgroundColor);
        if (Bits == 1) Fill = (Fill & 1) ? 0xFF : 0;
        if (Bits == 4) Fill = static_cast<Byte>(((Fill & 15) << 4) | (Fill & 15));
        std::memset(p, Fill, RowBytes);
      }
    }
    if (L.TransparentColor != clNone) {
      G.SetTransparentColor(L.TransparentColor);
      G.SetTransparent(true);
    }
  }

  Byte* Row(int Y) override { return Scan0 + Y * Delta; }

 private:
  TPNGGraphic& G;
  Byte* Scan0 = nullptr;
  std::ptrdiff_t Delta = 0;
};

TPNGGraphic::TPNGGraphic() {
  FReader.OnProgress = [this](TPNGProgressStage Stage, Byte Percent, bool Redraw, const TRect& R,
                              const AnsiString& Msg) { Progress(this, ToProgressStage(Stage), Percent, Redraw, R, Msg); };
}

TPNGGraphic::~TPNGGraphic() = default;

void TPNGGraphic::LoadFromStream(TStream& Stream) {
  // The previous image goes first: the bitmap is empty, of the device format, not transparent.
  TBitmap::Assign(nullptr);
  SetPixelFormat(pfDevice);
  SetTransparent(false);
  SetTransparentMode(tmAuto);
  FBackgroundColor = clWhite;
  TBitmapTarget Target(*this);
  try {
    FReader.Load(Stream, Target);
  } catch (...) {
    FProps = FReader.ImageProperties();
    throw;
  }
  FProps = FReader.ImageProperties();
  Changed(this);
}

void TPNGGraphic::Assign(TPersistent* Source) {
  if (auto* Png = dynamic_cast<TPNGGraphic*>(Source)) FProps = Png->FProps;
  TBitmap::Assign(Source);
}

void TPNGGraphic::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (PixelFormat() != pf32bit) {
    TBitmap::Draw(ACanvas, Rect);
    return;
  }
  const int W = Rect.Width(), H = Rect.Height();
  if (Empty() || W <= 0 || H <= 0) return;
  const int WorkHeight = Reflected ? H + H / 2 : H;
  // The canvas area under the image, blended in a 24-bit work bitmap and copied back once.
  const std::unique_ptr<TBitmap> Work(CreateBmp24(W, WorkHeight));
  HDC Target = ACanvas->Handle();
  BitBlt(Work->Canvas()->Handle(), 0, 0, W, WorkHeight, Target, Rect.Left, Rect.Top, SRCCOPY);
  const TRect Area = ::Rect(0, 0, W, H);
  if (W == Width() && H == Height()) {
    BlendAlphaBitmap(Area, Area, Work.get(), this, DefaultCacheInfo(), false, clNone, 0, Reflected);
  } else {
    // Colour and alpha are scaled together, premultiplied: scaling them apart would lend the
    // colour of transparent pixels to the edges of the image.
    const std::unique_ptr<TBitmap> Scaled(CreateBmp32(W, H));
    ScaleAlphaPixels(this, Scaled.get());
    BlendAlphaBitmap(Area, Area, Work.get(), Scaled.get(), DefaultCacheInfo(), false, clNone, 0, false);
  }
  GdiFlush();
  BitBlt(Target, Rect.Left, Rect.Top, W, WorkHeight, Work->Canvas()->Handle(), 0, 0, SRCCOPY);
}

HICON MakeIconFromPNG(TPNGGraphic* Image, bool ForceMask) {
  if (Image == nullptr || Image->Empty()) return nullptr;
  const int W = Image->Width(), H = Image->Height();
  // The AND mask, a monochrome bitmap with word-aligned rows: set bits are transparent. It starts
  // all opaque, and images with a side of 1 keep it so (a single pixel would key itself away).
  const int MaskStride = ((W + 15) / 16) * 2;
  std::vector<Byte> MaskBits(static_cast<std::size_t>(MaskStride) * H, 0);
  const bool KeyedMask = ForceMask || Image->PixelFormat() != pf32bit;
  if (KeyedMask) Image->SetPixelFormat(pf32bit);
  // Icons draw as (screen AND mask) XOR colour, so the icon's colour bitmap is a copy of the image
  // that is black under the set mask bits; the image itself keeps its pixels.
  // The accessors attach only to images of at least 2 x 2 pixels.
  std::unique_ptr<TBitmap> Colour;
  TacFast32 Source, Out;
  if (KeyedMask && Source.Attach(Image)) {
    const TColor Key = Source.GetPixel(0, 0);
    Colour = std::make_unique<TBitmap>();
    Colour->Assign(Image);
    if (Out.Attach(Colour.get())) {
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          if (Source.GetPixel(x, y) != Key) continue;
          MaskBits[static_cast<std::size_t>(y) * MaskStride + x / 8] |= static_cast<Byte>(0x80 >> (x % 8));
          Out.SetPixel(x, y, 0);
        }
    } else {
      Colour.reset();
    }
  }
  HBITMAP Mask = CreateBitmap(W, H, 1, 1, MaskBits.data());
  if (Mask == nullptr) return nullptr;
  GdiFlush();
  ICONINFO Info{};
  Info.fIcon = TRUE;
  Info.hbmColor = Colour ? Colour->Handle() : Image->Handle();
  Info.hbmMask = Mask;
  HICON Icon = CreateIconIndirect(&Info);
  DeleteObject(Mask);
  return Icon;
}

void ClearTransparentWhite(TBitmap* Bitmap) {
  if (Bitmap == nullptr || Bitmap->PixelFormat() != pf32bit) return;
  ClearTransparentWhite(BitmapPixels(Bitmap));
}

#endif
