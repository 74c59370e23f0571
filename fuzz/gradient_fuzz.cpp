// Fuzz target: gradient text through the parser, then the parsed stops painted into small images.
// The first six bytes choose the image depth, the rectangle and the offset; the rest is the text.
// Every input must either parse or raise the conversion error; painting must stay inside the
// image and leave pixels outside the rectangle alone. Crashes, hangs, sanitizer reports and other
// exceptions are findings.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/Exceptions.h"
#include "skin/core/sGradient.h"

namespace {

constexpr int W = 23, H = 17;

void Paint(const TsGradArray& Stops, int Bits, TRect R, int Offset) {
  const int Bpp = Bits / 8;
  const std::ptrdiff_t Stride = W * Bpp + 3;
  std::vector<Byte> Buf(static_cast<std::size_t>(Stride) * H, 0x5A);
  // Bottom-up, as bitmaps are.
  TacPixels View(Buf.data() + (H - 1) * Stride, -Stride, W, H, Bits);
  PaintGradient(View, R, Stops, 0, Offset);
  // Nothing outside the rectangle (clipped to the image) may change, nor any padding byte.
  for (int y = 0; y < H; ++y)
    for (std::ptrdiff_t i = 0; i < Stride; ++i) {
      const int x = static_cast<int>(i / Bpp);
      const bool Inside = i < W * Bpp && x >= R.Left && x < R.Right && y >= R.Top && y < R.Bottom;
      if (!Inside && View.Row(y)[i] != 0x5A) __builtin_trap();
    }
  TsGradVertex V[5];
  GradientVertices(R, Stops, V);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size < 6) return 0;
  const int Bits = (Data[0] & 1) ? 32 : 24;
  const TRect R = Rect(static_cast<std::int8_t>(Data[1]) / 4, static_cast<std::int8_t>(Data[2]) / 4,
                       static_cast<std::int8_t>(Data[3]) / 2, static_cast<std::int8_t>(Data[4]) / 2);
  const int Offset = static_cast<std::int8_t>(Data[5]);
  TsGradArray Stops;
  try {
    ParseGradientData(AnsiString(reinterpret_cast<const char*>(Data + 6), Size - 6), Stops);
  } catch (const EConvertError&) {
    if (!Stops.empty()) __builtin_trap();  // a failed parse leaves no stops
    return 0;
  }
  Paint(Stops, Bits, R, Offset);
  return 0;
}
