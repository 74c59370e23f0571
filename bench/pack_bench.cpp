// Unpacking a packed skin against plain zlib inflation of the same streams.
//
// A pack of 200 files (an options text and picture-like data, about 4 MB inflated) is built in
// memory. The reader (UnpackSkinPack, and the convertor that also copies each file into a memory
// stream), which inflates each file in one call into its announced size, is timed against zlib's
// own uncompress() of every stream into a buffer of the known size, the plain way to inflate them.
// The three take turns in every round, so that a change of machine load strikes them alike; each
// figure is the best of the rounds, and the ratio reader / zlib is the reader's whole cost
// (parsing, checks, allocation and its inflating) against zlib's inflating alone.
//
// With an argument ("zlib", "reader" or "convertor") only that side runs, many times, for a
// profiler: perf record -g build/bench/bench/pack_bench reader
#include <zlib.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "skin/core/acSkinPack.h"
#include "tests/skin_core/skinpack_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

// Each timed call starts from a heap that has handed its free memory back to the system, so
// that every side pays for touching fresh pages alike (as a program loading a skin does), and not
// whichever one happens to reuse the pages an earlier call left behind.
template <class F>
double Seconds(F&& Fn) {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
  const auto T0 = Clock::now();
  Fn();
  return std::chrono::duration<double>(Clock::now() - T0).count();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace skinpack_builder;
  constexpr int Files = 200;
  constexpr int Runs = 31;
  const char* Only = argc > 1 ? argv[1] : nullptr;

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
  TReadOnlyMemoryStream Source(Pack.data(), static_cast<std::int64_t>(Pack.size()));

  std::size_t Sink = 0;
  // Like the reader, the plain inflation keeps every file it inflated until the end of the run.
  auto Zlib = [&] {
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
  };
  auto Reader = [&] {
    auto E = UnpackSkinPack(Pack.data(), Pack.size());
    Sink += E.size();
  };
  auto Convertor = [&] {
    TacSkinConvertor C;
    C.SetPackedData(&Source, false);
    C.ExtractPackedData();
    Sink += static_cast<std::size_t>(C.ImageCount);
  };

  if (Only != nullptr) {
    for (int I = 0; I < 300; ++I) {
      if (std::strcmp(Only, "zlib") == 0) Zlib();
      else if (std::strcmp(Only, "reader") == 0) Reader();
      else if (std::strcmp(Only, "convertor") == 0) Convertor();
      else return 2;
    }
    return Sink == 0 ? 1 : 0;
  }

  double TZlib = 1e30, TReader = 1e30, TConvertor = 1e30;
  for (int I = 0; I < Runs; ++I) {
    TZlib = std::min(TZlib, Seconds(Zlib));
    TReader = std::min(TReader, Seconds(Reader));
    TConvertor = std::min(TConvertor, Seconds(Convertor));
  }

  std::printf("pack: %d files, %.2f MB packed, %.2f MB inflated (best of %d alternating runs)\n", Files,
              Pack.size() / 1e6, Inflated / 1e6, Runs);
  std::printf("zlib uncompress of every stream: %8.3f ms\n", TZlib * 1e3);
  std::printf("UnpackSkinPack:                  %8.3f ms  ratio %.2f\n", TReader * 1e3, TReader / TZlib);
  std::printf("TacSkinConvertor extraction:     %8.3f ms  ratio %.2f\n", TConvertor * 1e3, TConvertor / TZlib);
  return Sink == 0 ? 1 : 0;
}
