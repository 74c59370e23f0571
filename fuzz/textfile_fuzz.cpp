// Fuzz target: the line reader of text files, over the input instead of a file. The first byte
// chooses the reader's buffer size (1 to 64 bytes) and how many bytes each read hands over, so that
// line ends, CR LF pairs and the end-of-file byte fall on every buffer boundary. The lines must be
// those of the line rules, computed here independently; crashes, hangs and sanitizer reports are
// findings.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/TextFile.h"

namespace {

class TInputReader : public TTextFileReader {
 public:
  TInputReader(const std::uint8_t* Data, std::size_t Size, std::size_t Buffer, std::size_t Chunk)
      : TTextFileReader(Buffer), FData(Data), FSize(Size), FChunk(Chunk) {}

 protected:
  void DoOpen(const AnsiString&) override { FPos = 0; }
  std::size_t DoRead(char* Buffer, std::size_t Count) override {
    std::size_t N = std::min({Count, FChunk, FSize - FPos});
    for (std::size_t I = 0; I < N; ++I) Buffer[I] = static_cast<char>(FData[FPos + I]);
    FPos += N;
    return N;
  }
  void DoClose() override {}

 private:
  const std::uint8_t* FData;
  std::size_t FSize;
  std::size_t FChunk;
  std::size_t FPos = 0;
};

// The line rules: a line ends at LF, a CR directly before the LF is not part of it, any other CR
// is dropped, a byte 26 ends the text, a last line without an end is still a line.
std::vector<std::string> Expected(const std::uint8_t* Data, std::size_t Size) {
  std::vector<std::string> Lines;
  std::string Line;
  bool Open = false;
  for (std::size_t I = 0; I < Size; ++I) {
    const char C = static_cast<char>(Data[I]);
    if (C == 26) break;
    if (C == '\n') {
      Lines.push_back(Line);
      Line.clear();
      Open = false;
    } else if (C != '\r') {
      Line += C;
      Open = true;
    } else {
      Open = true;  // a lone CR still starts a line
    }
  }
  if (Open) Lines.push_back(Line);
  return Lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size == 0) return 0;
  const std::size_t Buffer = 1 + (Data[0] & 63);
  const std::size_t Chunk = 1 + (Data[0] >> 6) * 21;
  const std::vector<std::string> Want = Expected(Data + 1, Size - 1);
  TInputReader R(Data + 1, Size - 1, Buffer, Chunk);
  R.Open("input");
  std::vector<std::string> Got;
  while (!R.Eof()) {
    Got.push_back(R.ReadLine());
    if (Got.size() > Size) __builtin_trap();  // more lines than bytes: the reader is stuck
  }
  if (!R.ReadLine().empty()) __builtin_trap();
  R.Close();
  if (Got != Want) __builtin_trap();
  return 0;
}
