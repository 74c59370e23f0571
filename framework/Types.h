// Basic value types shared by every layer: byte and wide strings, points and rectangles,
// small enumeration sets. Portable: builds for the target and natively.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>

// A byte string in the system's ANSI code page.
using AnsiString = std::string;
// Wide text (UTF-16 on the target).
using WideString = std::wstring;

using Byte = std::uint8_t;
using Word = std::uint16_t;
using Cardinal = std::uint32_t;
// Days since 30 December 1899; the fraction is the time of day.
using TDateTime = double;

struct TPoint {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// Right and bottom edges are excluded. Laid out like the platform's RECT.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(TPoint P) const { return P.X >= Left && P.X < Right && P.Y >= Top && P.Y < Bottom; }
  void Offset(int DX, int DY) { Left += DX; Right += DX; Top += DY; Bottom += DY; }
  // Grown by DX on the left and right and DY on the top and bottom (shrunk for negative values).
  TRect Inflated(int DX, int DY) const { return TRect{Left - DX, Top - DY, Right + DX, Bottom + DY}; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

// Horizontal and vertical alignment of text, reading order, and how text that does not fit is
// cut: shared by the standard controls, the grid and the skin engine.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TVerticalAlignment { taAlignTop, taAlignBottom, taVerticalCenter };
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
// Where a button's glyph stands relative to its caption.
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

inline TRect Rect(int Left, int Top, int Right, int Bottom) { return TRect{Left, Top, Right, Bottom}; }
inline TRect Bounds(int Left, int Top, int Width, int Height) { return TRect{Left, Top, Left + Width, Top + Height}; }
inline TPoint Point(int X, int Y) { return TPoint{X, Y}; }

// A set of up to 64 elements of an enumeration whose values start at 0.
template <class E>
class TSet {
  static_assert(std::is_enum_v<E>, "TSet holds enumeration values");

 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> Items) {
    for (E e : Items) Bits |= Bit(e);
  }
  static constexpr TSet FromBits(std::uint64_t B) { TSet s; s.Bits = B; return s; }

  constexpr bool Contains(E e) const { return (Bits & Bit(e)) != 0; }
  constexpr bool Empty() const { return Bits == 0; }
  constexpr TSet& Include(E e) { Bits |= Bit(e); return *this; }
  constexpr TSet& Exclude(E e) { Bits &= ~Bit(e); return *this; }
  constexpr std::uint64_t ToBits() const { return Bits; }

  friend constexpr TSet operator+(TSet a, TSet b) { return FromBits(a.Bits | b.Bits); }
  friend constexpr TSet operator-(TSet a, TSet b) { return FromBits(a.Bits & ~b.Bits); }
  friend constexpr TSet operator*(TSet a, TSet b) { return FromBits(a.Bits & b.Bits); }
  friend constexpr TSet operator+(TSet a, E e) { return a.Include(e); }
  friend constexpr TSet operator-(TSet a, E e) { return a.Exclude(e); }
  friend constexpr bool operator==(TSet a, TSet b) = default;
  // a <= b: every element of a is in b.
  friend constexpr bool operator<=(TSet a, TSet b) { return (a.Bits & ~b.Bits) == 0; }

 private:
  static constexpr std::uint64_t Bit(E e) { return std::uint64_t{1} << static_cast<unsigned>(e); }
  std::uint64_t Bits = 0;
};
