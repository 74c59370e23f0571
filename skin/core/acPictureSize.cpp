#include "skin/core/acPictureSize.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Reads exactly Count bytes; false at the end of the stream.
bool ReadExactly(TStream& S, Byte* Buffer, std::int64_t Count) { return S.Read(Buffer, Count) == Count; }

std::uint32_t Le16(const Byte* P) { return P[0] | (P[1] << 8); }
std::uint32_t Le32(const Byte* P) { return P[0] | (P[1] << 8) | (P[2] << 16) | (std::uint32_t{P[3]} << 24); }
std::uint32_t Be16(const Byte* P) { return (P[0] << 8) | P[1]; }
std::uint32_t Be32(const Byte* P) { return (std::uint32_t{P[0]} << 24) | (P[1] << 16) | (P[2] << 8) | P[3]; }

bool Positive(std::int64_t W, std::int64_t H, int& Width, int& Height) {
  if (W < 1 || H < 1 || W > 0x7FFFFFFF || H > 0x7FFFFFFF) return false;
  Width = static_cast<int>(W);
  Height = static_cast<int>(H);
  return true;
}

bool BmpSize(TStream& S, const Byte* Head, int& Width, int& Height) {
  Byte Info[12];
  std::memcpy(Info, Head + 14, 2);
  if (!ReadExactly(S, Info + 2, 10)) return false;
  const std::uint32_t HeaderSize = Le32(Info);
  if (HeaderSize == 12) return Positive(Le16(Info + 4), Le16(Info + 6), Width, Height);
  if (HeaderSize < 40) return false;
  const std::int64_t W = static_cast<std::int32_t>(Le32(Info + 4));
  const std::int64_t H = static_cast<std::int32_t>(Le32(Info + 8));
  return Positive(W, std::llabs(H), Width, Height);
}

bool PngSize(TStream& S, const Byte* Head, int& Width, int& Height) {
  static const Byte Signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (std::memcmp(Head, Signature, 8) != 0) return false;
  Byte Rest[8];
  if (!ReadExactly(S, Rest, 8)) return false;
  // Head holds the signature, the IHDR length and type; Rest the width and height.
  if (std::memcmp(Head + 12, "IHDR", 4) != 0) return false;
  return Positive(Be32(Rest), Be32(Rest + 4), Width, Height);
}

bool IsStartOfFrame(Byte Marker) {
  return Marker >= 0xC0 && Marker <= 0xCF && Marker != 0xC4 && Marker != 0xC8 && Marker != 0xCC;
}

bool JpegSize(TStream& S, const Byte* Head, int& Width, int& Height) {
  // Head holds the start-of-image marker and the first 14 bytes after it.
  std::int64_t Pos = S.Position() - 16 + 2;
  // A bounded walk: each step reads one marker and skips its segment.
  for (int Step = 0; Step < 4096; ++Step) {
    S.SetPosition(Pos);
    Byte M[2];
    if (!ReadExactly(S, M, 2)) return false;
    if (M[0] != 0xFF) return false;
    ++Pos;
    if (M[1] == 0xFF) continue;  // fill byte
    ++Pos;
    const Byte Marker = M[1];
    if (Marker == 0x01 || (Marker >= 0xD0 && Marker <= 0xD8)) continue;  // no segment
    if (Marker == 0xD9 || Marker == 0xDA) return false;  // image end or scan before any frame
    Byte L[2];
    if (!ReadExactly(S, L, 2)) return false;
    const std::uint32_t Length = Be16(L);
    if (Length < 2) return false;
    if (IsStartOfFrame(Marker)) {
      Byte F[5];
      if (Length < 7 || !ReadExactly(S, F, 5)) return false;
      return Positive(Be16(F + 3), Be16(F + 1), Width, Height);
    }
    Pos += Length;
  }
  (void)Head;
  return false;
}

}  // namespace

bool PictureSizeOf(TStream& Stream, int& Width, int& Height) {
  const std::int64_t Start = Stream.Position();
  Byte Head[16];
  bool Known = false;
  if (ReadExactly(Stream, Head, 16)) {
    if (Head[0] == 'B' && Head[1] == 'M')
      Known = BmpSize(Stream, Head, Width, Height);
    else if (Head[0] == 0x89)
      Known = PngSize(Stream, Head, Width, Height);
    else if (Head[0] == 0xFF && Head[1] == 0xD8)
      Known = JpegSize(Stream, Head, Width, Height);
  }
  Stream.SetPosition(Start);
  return Known;
}
