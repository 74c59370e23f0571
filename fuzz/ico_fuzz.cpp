// Fuzz target: the icon file reader. Every input must either give its first image or raise the
// reader's EInvalidGraphic; an image read lies inside the file, holds at least its header, colour
// rows and mask rows (or is a PNG stream), and the end of the file's images lies inside the input.
// Crashes, hangs, sanitizer reports and other exceptions are findings.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "framework/BmpFile.h"
#include "framework/Exceptions.h"
#include "framework/Streams.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  TReadOnlyMemoryStream S(Data, static_cast<std::int64_t>(Size));
  try {
    const TIconFileImage I = ReadIconFile(S);
    if (I.Data.empty() || I.End < 6 || I.End > static_cast<std::int64_t>(Size)) __builtin_trap();
    const bool Png = I.Data.size() >= 8 && std::memcmp(I.Data.data(), "\x89PNG", 4) == 0;
    if (Png ? (I.Width != 0 || I.Height != 0) : (I.Width < 1 || I.Height < 1 || I.Width > 1024 || I.Height > 2048))
      __builtin_trap();
    if (!Png) {
      const std::int64_t Rows = BmpStride(I.Width, 1) * I.Height;
      if (static_cast<std::int64_t>(I.Data.size()) < 40 + Rows) __builtin_trap();
    }
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
