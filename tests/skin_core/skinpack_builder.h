// Builds packed skins for tests, benchmarks and fuzz seeds: the magic, the file count, and per
// file the name length, the name, the unpacked size and a zlib stream. Every field can be written
// wrong on purpose.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace skinpack_builder {

// A zlib stream (RFC 1950) of Data.
inline std::string Deflate(std::string_view Data, int Level = Z_DEFAULT_COMPRESSION) {
  uLongf Len = compressBound(static_cast<uLong>(Data.size()));
  std::string Out(Len, '\0');
  if (compress2(reinterpret_cast<Bytef*>(Out.data()), &Len, reinterpret_cast<const Bytef*>(Data.data()),
                static_cast<uLong>(Data.size()), Level) != Z_OK)
    throw std::runtime_error("compress2 failed");
  Out.resize(Len);
  return Out;
}

class TPackWriter {
 public:
  TPackWriter& Magic(std::string_view M = "ASzf") { return Bytes(M); }
  TPackWriter& U32(std::uint32_t V) {
    for (int I = 0; I < 4; ++I) FOut += static_cast<char>((V >> (8 * I)) & 0xFF);
    return *this;
  }
  TPackWriter& Bytes(std::string_view B) {
    FOut.append(B);
    return *this;
  }
  // One well-formed file.
  TPackWriter& File(std::string_view Name, std::string_view Data) {
    return RawFile(Name, static_cast<std::uint32_t>(Data.size()), Deflate(Data));
  }
  // A file whose size field and stream are given as they are.
  TPackWriter& RawFile(std::string_view Name, std::uint32_t Size, std::string_view Stream) {
    U32(static_cast<std::uint32_t>(Name.size()));
    Bytes(Name);
    U32(Size);
    return Bytes(Stream);
  }
  const std::string& Data() const { return FOut; }

 private:
  std::string FOut;
};

struct TPackFile {
  std::string Name;
  std::string Data;
};

// A well-formed pack of the files.
inline std::string BuildPack(const std::vector<TPackFile>& Files) {
  TPackWriter W;
  W.Magic().U32(static_cast<std::uint32_t>(Files.size()));
  for (const TPackFile& F : Files) W.File(F.Name, F.Data);
  return W.Data();
}

// Deterministic bytes that compress like picture data: runs and gradients with some noise.
inline std::string PictureLikeBytes(std::size_t Size, std::uint32_t Seed) {
  std::string S(Size, '\0');
  std::uint32_t X = Seed * 2654435761u + 1;
  for (std::size_t I = 0; I < Size; ++I) {
    X = X * 1664525u + 1013904223u;
    const unsigned Base = static_cast<unsigned>((I / 3) % 251);
    S[I] = static_cast<char>((X >> 28) == 0 ? (X >> 16) : Base);
  }
  return S;
}

}  // namespace skinpack_builder
