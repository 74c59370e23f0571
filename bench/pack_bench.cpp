// Unpacking a packed skin against plain zlib inflation of the same streams.
//
// A pack of 200 files (an options text and picture-like data, about 4 MB inflated) is built in
// memory. The reader (UnpackSkinPack, and the convertor that also copies each file into a memory
// stream) is timed against zlib's own uncompress() of every stream into a buffer of the known
// size. Each figure is the best of several runs; the ratio reader / zlib shows the reader's own
// cost (parsing, checks, allocation) on top of the inflation it cannot avoid.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "skin/core/acSkinPack.h"
#include "tests/skin_core/skinpack_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

template <class F>
double BestSeconds(int Runs, F&& Fn) {
  double Best = 1e30;
  for (int I = 0; I < Runs; ++I) {
    const auto T0 = Clock::now();
    Fn();
    Best = std::min(Best, std::chrono::duration<double>(Clock::now() - T0).count());
  }
  return Best;
}

}  // namespace

int main() {
  using namespace skinpack_builder;
  constexpr int Files = 200;
  constexpr int Runs = 15;

  std::vector<TPackFile> Content;
  Content.push_back({"Options.dat", std::string(18000, 'k')});
  for (int I = 1; I < Files; ++I)
    Content.push_back({"Picture" + std::to_string(I) + ".bmp", PictureLikeBytes(12000 + (I * 997) % 16000, I)});

  // The pack, and where each stream lies in it for the plain inflation.
  TPackWriter W;
  W.Magic().U32(Files);
  struct TStreamRef {
    std::size_t Offset, Length, Size;
  };
  std::vector<TStreamRef> Streams;
  std::size_t Inflated = 0;
  for (const TPackFile& F : Content) {
    const std::string Z = Deflate(F.Data);
    W.U32(static_cast<std::uint32_t>(F.Name.size())).Bytes(F.Name).U32(static_cast<std::uint32_t>(F.Data.size()));
    Streams.push_back({W.Data().size(), Z.size(), F.Data.size()});
    W.Bytes(Z);
    Inflated += F.Data.size();
  }
  const std::string& Pack = W.Data();

  std::size_t Sink = 0;
  // Like the reader, the plain inflation keeps every file it inflated until the end of the run.
  const double Zlib = BestSeconds(Runs, [&] {
    std::vector<std::vector<Byte>> Kept;
    Kept.reserve(Streams.size());
    for (const TStreamRef& S : Streams) {
      std::vector<Byte>& Out = Kept.emplace_back(S.Size);
      uLongf Len = static_cast<uLongf>(S.Size);
      if (uncompress(Out.data(), &Len, reinterpret_cast<const Bytef*>(Pack.data() + S.Offset),
                     static_cast<uLong>(S.Length)) != Z_OK)
        std::abort();
      Sink += Len;
    }
  });
  const double Reader = BestSeconds(Runs, [&] {
    auto E = UnpackSkinPack(Pack.data(), Pack.size());
    Sink += E.size();
  });
  TReadOnlyMemoryStream Source(Pack.data(), static_cast<std::int64_t>(Pack.size()));
  const double Convertor = BestSeconds(Runs, [&] {
    TacSkinConvertor C;
    C.SetPackedData(&Source, false);
    C.ExtractPackedData();
    Sink += static_cast<std::size_t>(C.ImageCount);
  });

  std::printf("pack: %d files, %.2f MB packed, %.2f MB inflated (best of %d runs)\n", Files, Pack.size() / 1e6,
              Inflated / 1e6, Runs);
  std::printf("zlib uncompress of every stream: %8.3f ms\n", Zlib * 1e3);
  std::printf("UnpackSkinPack:                  %8.3f ms  ratio %.2f\n", Reader * 1e3, Reader / Zlib);
  std::printf("TacSkinConvertor extraction:     %8.3f ms  ratio %.2f\n", Convertor * 1e3, Convertor / Zlib);
  return Sink == 0 ? 1 : 0;
}
