// The PNG row filters and the CRC-32 of PNG chunks. Portable. See acPNGFilters.h.
#include "skin/core/acPNGFilters.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

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

}  // namespace

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

std::uint32_t UpdateCRC32(std::uint32_t CRC, const void* Buffer, std::size_t Count) {
  if (Buffer == nullptr) return 0;
  // zlib's own routine (several bytes a round from tables built once): the same function, at a
  // fraction of the cost of a table loop here.
  const Byte* p = static_cast<const Byte*>(Buffer);
  return static_cast<std::uint32_t>(crc32_z(CRC, p, Count));
}
