// Test support for the skin engine's routines on framework bitmaps (Win32): bitmaps filled with
// one colour and the bytes of a pixel as the scan lines hold them.
#pragma once

#include <array>
#include <memory>

#include "framework/Graphics.h"

namespace bmptest {

// A new bitmap of the given size and pixel format, filled with one colour.
inline std::unique_ptr<TBitmap> Filled(int W, int H, TPixelFormat Format, TColor Color) {
  auto B = std::make_unique<TBitmap>(W, H, Format);
  B->Canvas()->Brush()->SetColor(Color);
  B->Canvas()->FillRect(Rect(0, 0, W, H));
  return B;
}

// Blue, green, red and alpha of a pixel as the scan lines hold it (alpha -1 below 32 bits).
inline std::array<int, 4> At(TBitmap& B, int X, int Y) {
  const int Bpp = B.PixelFormat() == pf32bit ? 4 : 3;
  const Byte* p = static_cast<const Byte*>(B.ScanLine(Y)) + Bpp * X;
  return {p[0], p[1], p[2], Bpp == 4 ? p[3] : -1};
}

}  // namespace bmptest
