#include "skin/core/acPictureSize.h"

#include <algorithm>
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
  // Head holds the signature, the IHDR length and type; Rest the width and height. The decoder
  // takes chunk types in either letter case.
  for (int I = 0; I < 4; ++I)
    if ((Head[12 + I] & 0xDF) != "IHDR"[I]) return false;
  return Positive(Be32(Rest), Be32(Rest + 4), Width, Height);
}

bool IsStartOfFrame(Byte Marker) {
  return Marker >= 0xC0 && Marker <= 0xCF && Marker != 0xC4 && Marker != 0xC8 && Marker != 0xCC;
}

// Reads a stream forwards through a buffer, so that walking a long run of bytes costs little.
class TByteReader {
 public:
  explicit TByteReader(TStream& S) : FStream(S) {}
  // The next byte; false at the end of the stream.
  bool Next(Byte& B) {
    if (FAt == FEnd && !Refill()) return false;
    B = FBuffer[FAt++];
    return true;
  }
  // Skips Count bytes; false when the stream ends first.
  bool Skip(std::int64_t Count) {
    const std::int64_t Buffered = static_cast<std::int64_t>(FEnd - FAt);
    if (Count <= Buffered) {
      FAt += static_cast<std::size_t>(Count);
      return true;
    }
    const std::int64_t Target = FStream.Position() + (Count - Buffered);
    FAt = FEnd = 0;
    if (Target > FStream.Size()) return false;
    FStream.SetPosition(Target);
    return true;
  }

 private:
  bool Refill() {
    FAt = 0;
    FEnd = static_cast<std::size_t>(std::max<std::int64_t>(FStream.Read(FBuffer, sizeof FBuffer), 0));
    return FEnd > 0;
  }
  TStream& FStream;
  Byte FBuffer[4096];
  std::size_t FAt = 0;
  std::size_t FEnd = 0;
};

bool JpegSize(TStream& S, const Byte* Head, int& Width, int& Height) {
  // Head holds the start-of-image marker and the first 14 bytes after it. The markers are found as
  // the decoder finds them: bytes other than 0xFF before a marker are stray and skipped, any
  // number of fill bytes (0xFF) may precede the marker code, and 0xFF 0x00 is no marker. The walk
  // ends with the stream: every step moves on by at least one byte.
  (void)Head;
  S.SetPosition(S.Position() - 14);
  TByteReader R(S);
  for (;;) {
    Byte B = 0;
    do {
      if (!R.Next(B)) return false;
    } while (B != 0xFF);
    do {
      if (!R.Next(B)) return false;
    } while (B == 0xFF);
    const Byte Marker = B;
    if (Marker == 0x00) continue;                                         // a stuffed zero: data
    if (Marker == 0x01 || (Marker >= 0xD0 && Marker <= 0xD8)) continue;  // no segment
    if (Marker == 0xD9 || Marker == 0xDA) return false;  // image end or scan before any frame
    Byte L[2];
    if (!R.Next(L[0]) || !R.Next(L[1])) return false;
    const std::uint32_t Length = Be16(L);
    if (Length < 2) return false;
    if (IsStartOfFrame(Marker)) {
      Byte F[5];
      if (Length < 7) return false;
      for (Byte& C : F)
        if (!R.Next(C)) return false;
      return Positive(Be16(F + 3), Be16(F + 1), Width, Height);
    }
    if (!R.Skip(Length - 2)) return false;
  }
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
