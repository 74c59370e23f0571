// Fuzz target: the BMP file reader into a memory image. Every input must either be read or raise
// the reader's EInvalidGraphic; the target is made at most once, with a stride that fits the
// format, and only after the headers are checked. Images beyond 4 Mi pixels are refused by the
// target (as a skin's pixel budget would), so that one input stays cheap. Crashes, hangs,
// sanitizer reports and other exceptions are findings.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/BmpFile.h"
#include "framework/Exceptions.h"
#include "framework/Streams.h"

namespace {

class TTarget : public TBmpTarget {
 public:
  Byte* Create(int Width, int Height, TBmpFormat Format, const std::vector<TBmpColor>& Colors) override {
    if (++Created != 1 || Width < 1 || Height < 1) __builtin_trap();
    const int Bits = BmpFormatBits(Format);
    if (Bits <= 8 ? Colors.size() != (std::size_t{1} << Bits) : !Colors.empty()) __builtin_trap();
    if (static_cast<std::int64_t>(Width) * Height > (std::int64_t{1} << 22)) throw EInvalidGraphic("too large here");
    // Exactly the memory the reader may use, so that any byte beyond it is caught.
    Pixels.assign(static_cast<std::size_t>(BmpStride(Width, Bits) * Height), 0);
    return Pixels.data();
  }
  int Created = 0;
  std::vector<Byte> Pixels;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  TReadOnlyMemoryStream S(Data, static_cast<std::int64_t>(Size));
  TTarget T;
  try {
    ReadBmpFile(S, T);
    if (T.Created != 1 || S.Position() > static_cast<std::int64_t>(Size)) __builtin_trap();
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
