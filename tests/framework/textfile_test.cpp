// Text file reader: the line rules at every buffer size, failures and their codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/TextFile.h"

namespace fs = std::filesystem;

namespace {

class TextFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device Rd;
    Dir = fs::temp_directory_path() / ("tv_text_" + std::to_string(Rd()) + "_" + std::to_string(Rd()));
    fs::create_directories(Dir);
  }
  void TearDown() override {
    std::error_code Ec;
    fs::remove_all(Dir, Ec);
  }
  AnsiString Write(const std::string& Bytes, const char* Name = "list.txt") {
    AnsiString Path = (Dir / Name).string();
    std::ofstream F(Path, std::ios::binary);
    F.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
    return Path;
  }
  // Every line of the file, read the way the channel list reads it.
  static std::vector<AnsiString> ReadAll(const AnsiString& Path, std::size_t BufferSize) {
    TTextFileReader R(BufferSize);
    R.Open(Path);
    std::vector<AnsiString> Lines;
    while (!R.Eof()) Lines.push_back(R.ReadLine());
    R.Close();
    return Lines;
  }
  // The lines of Bytes, checked to be the same at buffer sizes that put every byte pair on a
  // buffer boundary somewhere.
  std::vector<AnsiString> Lines(const std::string& Bytes) {
    AnsiString Path = Write(Bytes);
    std::vector<AnsiString> First = ReadAll(Path, TTextFileReader::DefaultBufferSize);
    for (std::size_t Size : {1, 2, 3, 5, 7})
      EXPECT_EQ(ReadAll(Path, Size), First) << "buffer size " << Size;
    return First;
  }
  fs::path Dir;
};

using L = std::vector<AnsiString>;

int ErrorCodeOf(const std::function<void()>& Fn, AnsiString* Message = nullptr) {
  try {
    Fn();
  } catch (const EInOutError& E) {
    if (Message) *Message = E.Message;
    return E.ErrorCode;
  }
  return 0;
}

// Delivers the file normally for the first few blocks, then fails like a broken device.
class TFailingReader : public TTextFileReader {
 public:
  TFailingReader(std::size_t BufferSize, int GoodBlocks) : TTextFileReader(BufferSize), FGood(GoodBlocks) {}

 protected:
  std::size_t DoRead(char* Buffer, std::size_t Count) override {
    if (FGood-- <= 0) RaiseInOutError(23);
    return TTextFileReader::DoRead(Buffer, Count);
  }

 private:
  int FGood;
};

}  // namespace

TEST_F(TextFiles, LineEndsCrLfAndLf) {
  EXPECT_EQ(Lines("A\r\n\r\nB\r\n"), (L{"A", "", "B"}));
  EXPECT_EQ(Lines("A\n\nB\n"), (L{"A", "", "B"}));
  EXPECT_EQ(Lines("A\r\nB\nC\r\n"), (L{"A", "B", "C"}));
  EXPECT_EQ(Lines("\r\n"), (L{""}));
  EXPECT_EQ(Lines("\n\n"), (L{"", ""}));
}

TEST_F(TextFiles, LastLineWithoutEndIsALineAndATrailingEndAddsNone) {
  EXPECT_EQ(Lines("A\r\nB"), (L{"A", "B"}));
  EXPECT_EQ(Lines("only"), (L{"only"}));
  EXPECT_EQ(Lines("A\r\nB\r\n"), (L{"A", "B"}));
}

TEST_F(TextFiles, LoneCrIsDroppedAndTheLineGoesOn) {
  EXPECT_EQ(Lines("ab\rcd\r\nef"), (L{"abcd", "ef"}));
  EXPECT_EQ(Lines("\r\rx\r\r\n"), (L{"x"}));
  EXPECT_EQ(Lines("a\r"), (L{"a"}));
  EXPECT_EQ(Lines("a\r\rb\n"), (L{"ab"}));
}

TEST_F(TextFiles, Byte26EndsTheFile) {
  EXPECT_EQ(Lines("A\r\nB\r\n\x1a" "C\r\nD\r\n"), (L{"A", "B"}));
  EXPECT_EQ(Lines("A\r\nB\x1a" "C\r\n"), (L{"A", "B"}));  // inside a line
  EXPECT_EQ(Lines("A\r\x1a\nC"), (L{"A"}));               // after a lone CR
  EXPECT_EQ(Lines("\x1a" "A\r\n"), L{});
}

TEST_F(TextFiles, EmptyFileIsAtItsEndAtOnce) {
  TTextFileReader R;
  R.Open(Write(""));
  EXPECT_TRUE(R.Eof());
  EXPECT_EQ(R.ReadLine(), "");  // reading at the end gives an empty line
  EXPECT_TRUE(R.Eof());
  R.Close();
}

TEST_F(TextFiles, LinesOfAnyLengthAreWhole) {
  std::string Big(1 << 20, 'x');
  for (std::size_t I = 0; I < Big.size(); I += 4099) Big[I] = static_cast<char>('a' + I % 26);
  AnsiString Path = Write("first\r\n" + Big + "\r\nlast");
  for (std::size_t Size : {std::size_t{3}, std::size_t{4096}, TTextFileReader::DefaultBufferSize}) {
    L Got = ReadAll(Path, Size);
    ASSERT_EQ(Got.size(), 3u);
    EXPECT_EQ(Got[1], Big);
    EXPECT_EQ(Got[2], "last");
  }
}

TEST_F(TextFiles, BytesOtherThanLineEndsAreKept) {
  std::string All;
  for (int C = 0; C < 256; ++C)
    if (C != '\n' && C != '\r' && C != 26) All += static_cast<char>(C);
  EXPECT_EQ(Lines(All + "\n" + All), (L{All, All}));
}

TEST_F(TextFiles, RelativeNamesResolveAgainstTheCurrentDirectory) {
  Write("from cwd\n", "server.txt");
  fs::path Old = fs::current_path();
  fs::current_path(Dir);
  TTextFileReader R;
  EXPECT_NO_THROW(R.Open("server.txt"));
  fs::current_path(Old);
  ASSERT_TRUE(R.IsOpen());
  EXPECT_EQ(R.ReadLine(), "from cwd");
  EXPECT_TRUE(R.Eof());
}

TEST_F(TextFiles, MissingFileRaisesFileNotFound) {
  TTextFileReader R;
  AnsiString Msg;
  EXPECT_EQ(ErrorCodeOf([&] { R.Open((Dir / "missing.txt").string()); }, &Msg), 2);
  EXPECT_EQ(Msg, "File not found");
  EXPECT_FALSE(R.IsOpen());
  // A directory is not a readable text file either.
  EXPECT_NE(ErrorCodeOf([&] { R.Open(Dir.string()); }), 0);
  EXPECT_FALSE(R.IsOpen());
}

TEST_F(TextFiles, UseWithoutAnOpenFileRaisesFileNotOpen) {
  TTextFileReader R;
  AnsiString Msg;
  EXPECT_EQ(ErrorCodeOf([&] { R.Eof(); }, &Msg), 103);
  EXPECT_EQ(Msg, "File not open");
  EXPECT_EQ(ErrorCodeOf([&] { R.ReadLine(); }), 103);
  EXPECT_EQ(ErrorCodeOf([&] { R.Close(); }), 103);
  R.Open(Write("x\n"));
  R.Close();
  EXPECT_EQ(ErrorCodeOf([&] { R.ReadLine(); }), 103);
}

TEST_F(TextFiles, ReopeningStartsAfreshAndAnOpenFileIsClosedFirst) {
  AnsiString A = Write("a1\na2\n", "a.txt");
  AnsiString B = Write("b1\n", "b.txt");
  TTextFileReader R(2);
  R.Open(A);
  EXPECT_EQ(R.ReadLine(), "a1");
  R.Open(B);  // closes A first
  EXPECT_EQ(R.ReadLine(), "b1");
  EXPECT_TRUE(R.Eof());
  R.Close();
  R.Open(A);
  EXPECT_EQ(R.ReadLine(), "a1");
  EXPECT_EQ(R.ReadLine(), "a2");
  EXPECT_TRUE(R.Eof());
}

TEST_F(TextFiles, ReadErrorMidFileKeepsTheLinesAlreadyRead) {
  AnsiString Path = Write("one\r\ntwo\r\nthree\r\nfour\r\n");
  TFailingReader R(8, 1);  // the first 8 bytes arrive, then the device fails
  R.Open(Path);
  std::vector<AnsiString> Rows;
  AnsiString Msg;
  int Code = ErrorCodeOf([&] {
    while (!R.Eof()) Rows.push_back(R.ReadLine());
  }, &Msg);
  EXPECT_EQ(Code, 23);
  EXPECT_EQ(Msg, "I/O error 23");
  EXPECT_EQ(Rows, (L{"one"}));
  EXPECT_TRUE(R.IsOpen());
  R.Close();
}
