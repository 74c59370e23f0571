// Fuzz target: arbitrary bytes through the PNG reader into a memory image. Each input runs twice:
// as it is, and with every chunk's CRC recomputed so that mutations reach past the checksums into
// the header, palette, inflate, filter, interlace and conversion code. Every input must either
// load or raise one of the reader's exceptions; crashes, hangs, sanitizer reports and other
// exceptions are findings. Images beyond 4 Mi pixels are refused by the reader's own limit (as a
// skin's pixel budget would), so that one input stays cheap.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/Streams.h"
#include "skin/core/acPNG.h"

namespace {

void LoadOnce(const std::uint8_t* Data, std::size_t Size) {
  TReadOnlyMemoryStream Stream(Data, static_cast<std::int64_t>(Size));
  TPNGReader Reader;
  Reader.SetMaxPixels(std::int64_t{1} << 22);
  TPNGPixelBuffer Image;
  try {
    Reader.Load(Stream, Image);
    // A successful load holds every row of the image it announced.
    if (Image.Pixels.size() != Image.Stride * static_cast<std::size_t>(Image.Layout.Height)) __builtin_trap();
  } catch (const EInvalidGraphic&) {
  } catch (const EReadError&) {
  }
}

// The same bytes with the CRC of every complete chunk after the signature made right.
std::vector<std::uint8_t> WithGoodChecksums(const std::uint8_t* Data, std::size_t Size) {
  std::vector<std::uint8_t> Out(Data, Data + Size);
  std::size_t i = 8;
  while (i + 12 <= Out.size()) {
    const std::uint32_t Len = (std::uint32_t{Out[i]} << 24) | (std::uint32_t{Out[i + 1]} << 16) |
                              (std::uint32_t{Out[i + 2]} << 8) | Out[i + 3];
    if (Len > Out.size() - i - 12) break;
    const std::uint32_t CRC = UpdateCRC32(0, &Out[i + 4], Len + 4);
    for (int k = 0; k < 4; ++k) Out[i + 8 + Len + k] = static_cast<std::uint8_t>(CRC >> (24 - 8 * k));
    i += 12 + Len;
  }
  return Out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  LoadOnce(Data, Size);
  const std::vector<std::uint8_t> Fixed = WithGoodChecksums(Data, Size);
  LoadOnce(Fixed.data(), Fixed.size());
  return 0;
}
