// Fuzz target: arbitrary bytes through the JPEG decoder, with limits small enough that a header
// promising a huge image is refused quickly. Every input must either decode to the size its
// header declares or raise EInvalidGraphic; crashes, hangs, sanitizer reports and other
// exceptions are findings.
#include <cstddef>
#include <cstdint>

#include "framework/Jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  TJPEGLimits Limits;
  Limits.MaxSide = 4096;
  Limits.MaxPixels = std::int64_t{1} << 20;
  Limits.MaxScans = 64;
  Limits.MaxWorkMemory = std::int64_t{64} << 20;
  try {
    std::size_t Used = 0;
    const TJPEGPixels P = DecodeJPEG(Data, Size, Limits, &Used);
    if (P.RGB.size() != static_cast<std::size_t>(P.Width) * P.Height * 3 || Used > Size) __builtin_trap();
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
