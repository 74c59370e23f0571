// Streams: memory stream bounds and growth, read-only views, file streams and their errors,
// string lists through streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/Lists.h"
#include "framework/Streams.h"
#include "support/MessageOf.h"

namespace fs = std::filesystem;

namespace {

// A fresh directory per test, removed afterwards.
class StreamFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device Rd;
    Dir = fs::temp_directory_path() / ("tv_streams_" + std::to_string(Rd()) + "_" + std::to_string(Rd()));
    fs::create_directories(Dir);
  }
  void TearDown() override {
    std::error_code Ec;
    fs::remove_all(Dir, Ec);
  }
  AnsiString PathOf(const char* Name) const { return (Dir / Name).string(); }
  std::string ReadFileBytes(const AnsiString& Name) const {
    std::ifstream F(Name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(F), {});
  }
  fs::path Dir;
};

AnsiString Contents(TCustomMemoryStream& S) {
  return AnsiString(static_cast<const char*>(S.Memory()), static_cast<std::size_t>(S.Size()));
}

using exctest::MessageOf;

}  // namespace

TEST(MemoryStream, ReadsBackWhatWasWrittenAndStopsAtTheEnd) {
  TMemoryStream S;
  EXPECT_EQ(S.Write("hello", 5), 5);
  EXPECT_EQ(S.Position(), 5);
  EXPECT_EQ(S.Size(), 5);

  S.SetPosition(1);
  char Buf[16] = {};
  EXPECT_EQ(S.Read(Buf, 10), 4);  // short count at the end
  EXPECT_EQ(std::string(Buf, 4), "ello");
  EXPECT_EQ(S.Position(), 5);
  EXPECT_EQ(S.Read(Buf, 10), 0);

  S.Seek(100, soBeginning);  // past the end is allowed
  EXPECT_EQ(S.Position(), 100);
  EXPECT_EQ(S.Read(Buf, 10), 0);
  EXPECT_EQ(S.Size(), 5);  // seeking alone does not grow

  S.SetPosition(0);
  EXPECT_EQ(S.Read(Buf, 0), 0);
  EXPECT_EQ(S.Read(Buf, -3), 0);
  EXPECT_EQ(S.Position(), 0);
}

TEST(MemoryStream, ReadBufferAndWriteBufferInsistOnEveryByte) {
  TMemoryStream S;
  S.WriteBuffer("abc", 3);
  S.SetPosition(0);
  char Buf[8];
  EXPECT_EQ(MessageOf<EReadError>([&] { S.ReadBuffer(Buf, 4); }), "Stream read error");
  S.SetPosition(0);
  EXPECT_NO_THROW(S.ReadBuffer(Buf, 3));
  EXPECT_NO_THROW(S.ReadBuffer(Buf, 0));
  EXPECT_THROW(S.ReadBuffer(Buf, -1), EReadError);

  TReadOnlyMemoryStream R("xyz", 3);
  EXPECT_THROW(R.WriteBuffer("a", 1), EStreamError);
}

TEST(MemoryStream, NegativeAndOverflowingPositionsAreRefused) {
  TMemoryStream S;
  S.WriteBuffer("abcdef", 6);
  S.SetPosition(2);
  EXPECT_EQ(MessageOf<EStreamError>([&] { S.Seek(-3, soCurrent); }), "Invalid stream position");
  EXPECT_THROW(S.Seek(-7, soEnd), EStreamError);
  EXPECT_THROW(S.SetPosition(-1), EStreamError);
  EXPECT_EQ(S.Position(), 2);  // unchanged by refused seeks
  EXPECT_EQ(S.Seek(-6, soEnd), 0);
  EXPECT_EQ(S.Seek(INT64_MAX, soBeginning), INT64_MAX);
  EXPECT_THROW(S.Seek(1, soCurrent), EStreamError);
  EXPECT_THROW(S.Seek(0, static_cast<TSeekOrigin>(7)), EStreamError);
}

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros) {
  TMemoryStream S;
  S.WriteBuffer("ab", 2);
  S.Seek(5, soCurrent);
  S.WriteBuffer("Z", 1);
  EXPECT_EQ(S.Size(), 8);
  EXPECT_EQ(Contents(S), std::string("ab\0\0\0\0\0Z", 8));

  // Zeros even where an earlier, larger content left bytes in the block.
  TMemoryStream T;
  T.WriteAnsiString(std::string(100, 'x'));
  T.SetSize(10);
  T.Seek(20, soBeginning);
  T.WriteBuffer("y", 1);
  EXPECT_EQ(Contents(T), std::string(10, 'x') + std::string(10, '\0') + "y");
}

TEST(MemoryStream, SetSizeZeroFillsGrowthAndClampsThePosition) {
  TMemoryStream S;
  S.WriteAnsiString("abcdef");
  S.SetSize(3);
  EXPECT_EQ(S.Position(), 3);
  EXPECT_EQ(Contents(S), "abc");
  S.SetPosition(1);
  S.SetSize(5);
  EXPECT_EQ(S.Position(), 1);
  EXPECT_EQ(Contents(S), std::string("abc\0\0", 5));
  EXPECT_THROW(S.SetSize(-1), EStreamError);
  EXPECT_EQ(S.Size(), 5);
  S.Clear();
  EXPECT_EQ(S.Size(), 0);
  EXPECT_EQ(S.Position(), 0);
  EXPECT_EQ(S.Memory(), nullptr);
}

TEST(MemoryStream, ImpossibleGrowthIsRefusedAndLeavesTheStreamIntact) {
  TMemoryStream S;
  S.WriteAnsiString("keep");
  const char* Msg = "Out of memory while expanding memory stream";
  EXPECT_EQ(MessageOf<EStreamError>([&] { S.SetSize(INT64_MAX); }), Msg);
  EXPECT_EQ(MessageOf<EStreamError>([&] { S.SetSize(TMemoryStream::MaxSize() + 1); }), Msg);
  S.Seek(INT64_MAX - 1, soBeginning);
  EXPECT_EQ(MessageOf<EStreamError>([&] { S.Write("ab", 2); }), Msg);  // end would overflow
  S.Seek(TMemoryStream::MaxSize(), soBeginning);
  EXPECT_EQ(MessageOf<EStreamError>([&] { S.Write("a", 1); }), Msg);
  EXPECT_EQ(Contents(S), "keep");
}

TEST(MemoryStream, WritingItsOwnBytesWhileGrowingIsSafe) {
  TMemoryStream S;
  S.WriteAnsiString(std::string(5000, 'q'));
  for (int I = 0; I < 6; ++I) S.WriteBuffer(S.Memory(), S.Size());  // doubles, moving the block
  EXPECT_EQ(S.Size(), 5000 * 64);
  EXPECT_EQ(Contents(S), std::string(5000 * 64, 'q'));
  S.SaveToStream(S);  // a stream saved into itself
  EXPECT_EQ(S.Size(), 5000 * 128);
}

TEST(MemoryStream, ManySmallWritesKeepEveryByte) {
  TMemoryStream S;
  for (int I = 0; I < 100000; ++I) S.WriteByte(static_cast<uint8_t>(I));
  ASSERT_EQ(S.Size(), 100000);
  EXPECT_GE(S.Capacity(), S.Size());
  const auto* P = static_cast<const uint8_t*>(S.Memory());
  for (int I = 0; I < 100000; I += 997) ASSERT_EQ(P[I], static_cast<uint8_t>(I));
}

TEST(MemoryStream, TypedValuesAreLittleEndian) {
  TMemoryStream S;
  S.WriteUInt32(0x11223344);
  S.WriteInt16(-2);
  S.WriteByte(0xAB);
  S.WriteInt64(-1234567890123LL);
  EXPECT_EQ(Contents(S).substr(0, 7), std::string("\x44\x33\x22\x11\xFE\xFF\xAB", 7));
  S.SetPosition(0);
  EXPECT_EQ(S.ReadInt32(), 0x11223344);
  EXPECT_EQ(S.ReadInt16(), -2);
  EXPECT_EQ(S.ReadByte(), 0xAB);
  EXPECT_EQ(S.ReadInt64(), -1234567890123LL);
  EXPECT_THROW(S.ReadUInt16(), EReadError);
}

TEST(MemoryStream, ReadAnsiStringRefusesALengthBeyondTheData) {
  TMemoryStream S;
  S.WriteAnsiString("abcdef");
  S.SetPosition(2);
  EXPECT_EQ(S.ReadAnsiString(3), "cde");
  // A corrupt length is refused before anything is allocated.
  EXPECT_THROW(S.ReadAnsiString(INT64_MAX), EReadError);
  EXPECT_EQ(S.ReadAnsiString(0), "");
  EXPECT_EQ(S.ReadAnsiString(1), "f");
}

// A stream that claims Size bytes without holding them: reads are counted and give zeros.
class TClaimingStream : public TStream {
 public:
  explicit TClaimingStream(int64_t Size) : FSize(Size) {}
  int64_t Read(void* Buffer, int64_t Count) override {
    ++Reads;
    const int64_t N = std::min<int64_t>(Count, 64);  // never more than a test buffer can take
    std::memset(Buffer, 0, static_cast<std::size_t>(std::max<int64_t>(N, 0)));
    FPos += N;
    return N;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
    const int64_t Base = Origin == soBeginning ? 0 : (Origin == soCurrent ? FPos : FSize);
    FPos = Base + Offset;
    return FPos;
  }
  int Reads = 0;

 private:
  int64_t FSize;
  int64_t FPos = 0;
};

TEST(StreamCounts, CountsThatDoNotFitInMemoryAreRefusedBeforeReading) {
  // Where sizes have 32 bits, a 64-bit count would be cut to a small size when narrowed: such
  // counts are refused before anything is allocated or read. (With 64-bit sizes every count fits.)
  if (sizeof(std::size_t) >= sizeof(int64_t)) GTEST_SKIP() << "every count fits a 64-bit size";
  for (int64_t Count : {(int64_t{1} << 32) + 16, int64_t{1} << 40, INT64_MAX}) {
    TClaimingStream S(Count);
    EXPECT_THROW(S.ReadAnsiString(Count), EReadError) << Count;
    EXPECT_EQ(S.Reads, 0) << Count;
    TClaimingStream L(Count);
    TStringList Lines;
    EXPECT_THROW(LoadStringsFromStream(Lines, L), EReadError) << Count;
    EXPECT_EQ(L.Reads, 0) << Count;
  }
}

TEST(MemoryStream, LoadAndSaveThroughOtherStreams) {
  TMemoryStream A;
  A.WriteAnsiString("0123456789");
  TMemoryStream B;
  B.WriteAnsiString("old contents that are longer");
  A.SetPosition(7);
  B.LoadFromStream(A);  // whole source, from its start
  EXPECT_EQ(Contents(B), "0123456789");
  EXPECT_EQ(B.Position(), 0);
  B.LoadFromStream(B);
  EXPECT_EQ(Contents(B), "0123456789");

  TMemoryStream C;
  C.WriteAnsiString(">");
  A.SaveToStream(C);
  EXPECT_EQ(Contents(C), ">0123456789");
}

TEST(MemoryStream, CopyFromWholeSourceOrCountedPart) {
  TMemoryStream Src;
  std::string Big(200000, '\0');
  for (std::size_t I = 0; I < Big.size(); ++I) Big[I] = static_cast<char>(I * 7);
  Src.WriteAnsiString(Big);

  TMemoryStream Dst;
  Src.SetPosition(123);
  EXPECT_EQ(Dst.CopyFrom(Src, 0), 200000);  // 0: the whole source from its start
  EXPECT_EQ(Contents(Dst), Big);

  TMemoryStream Part;
  Src.SetPosition(10);
  EXPECT_EQ(Part.CopyFrom(Src, 5), 5);
  EXPECT_EQ(Contents(Part), Big.substr(10, 5));
  EXPECT_EQ(Src.Position(), 15);

  Src.SetPosition(199990);
  EXPECT_THROW(Part.CopyFrom(Src, 20), EReadError);
}

TEST(ReadOnlyMemoryStream, ReadsBorrowedBytesAndRefusesChanges) {
  const char Data[] = "borrowed";
  TReadOnlyMemoryStream S(Data, 8);
  EXPECT_EQ(S.Memory(), Data);
  EXPECT_EQ(S.Size(), 8);
  S.Seek(-3, soEnd);
  EXPECT_EQ(S.ReadAnsiString(3), "wed");
  EXPECT_EQ(MessageOf<EStreamError>([&] { S.Write("x", 1); }), "Cannot write to a read-only stream");
  EXPECT_THROW(S.SetSize(2), EStreamError);
  EXPECT_EQ(std::string(Data), "borrowed");

  TReadOnlyMemoryStream Empty(nullptr, 0);
  char C;
  EXPECT_EQ(Empty.Read(&C, 1), 0);
  EXPECT_THROW(TReadOnlyMemoryStream(nullptr, 4), EStreamError);
  EXPECT_THROW(TReadOnlyMemoryStream(Data, -1), EStreamError);
}

TEST_F(StreamFiles, FileStreamWritesReadsSeeksAndResizes) {
  AnsiString Name = PathOf("data.bin");
  {
    TFileStream F(Name, fmCreate);
    F.WriteAnsiString("hello world");
    EXPECT_EQ(F.Size(), 11);
    EXPECT_EQ(F.Position(), 11);
    F.Seek(20, soBeginning);
    F.WriteBuffer("!", 1);  // a write past the end fills the gap with zeros
    EXPECT_EQ(F.Size(), 21);
    EXPECT_EQ(F.FileName(), Name);
  }
  EXPECT_EQ(ReadFileBytes(Name), std::string("hello world") + std::string(9, '\0') + "!");
  {
    TFileStream F(Name, fmOpenReadWrite | fmShareDenyWrite);
    EXPECT_EQ(F.Seek(-15, soEnd), 6);
    EXPECT_EQ(F.ReadAnsiString(5), "world");
    char Buf[64];
    F.SetPosition(18);
    EXPECT_EQ(F.Read(Buf, sizeof(Buf)), 3);  // short count at the end
    EXPECT_EQ(F.Read(Buf, sizeof(Buf)), 0);
    EXPECT_THROW(F.Seek(-1, soBeginning), EStreamError);
    EXPECT_EQ(F.Position(), 21);
    F.SetSize(5);
    EXPECT_EQ(F.Size(), 5);
    EXPECT_EQ(F.Position(), 5);
  }
  EXPECT_EQ(ReadFileBytes(Name), "hello");
}

TEST_F(StreamFiles, ReadOnlyFileStreamRefusesWrites) {
  AnsiString Name = PathOf("ro.bin");
  { TFileStream(Name, fmCreate).WriteAnsiString("abc"); }
  TFileStream F(Name, fmOpenRead | fmShareDenyNone);
  EXPECT_EQ(MessageOf<EWriteError>([&] { F.WriteBuffer("x", 1); }), "Stream write error");
  EXPECT_EQ(F.ReadAnsiString(3), "abc");
}

TEST_F(StreamFiles, OpenAndCreateFailuresNameTheFileAndTheSystemReason) {
  AnsiString Missing = PathOf("missing.bin");
  AnsiString Msg = MessageOf<EFOpenError>([&] { TFileStream F(Missing, fmOpenRead); });
  AnsiString Prefix = "Cannot open file \"" + Missing + "\". ";
  ASSERT_EQ(Msg.substr(0, Prefix.size()), Prefix);
  EXPECT_GT(Msg.size(), Prefix.size());  // the system's text follows
  EXPECT_NE(Msg.back(), '.');
  EXPECT_NE(Msg.back(), '\n');

  AnsiString BadDir = PathOf("no-such-dir/new.bin");
  Msg = MessageOf<EFCreateError>([&] { TFileStream F(BadDir, fmCreate); });
  Prefix = "Cannot create file \"" + BadDir + "\". ";
  ASSERT_EQ(Msg.substr(0, Prefix.size()), Prefix);
  EXPECT_GT(Msg.size(), Prefix.size());

  // A directory is no file to stream.
  EXPECT_THROW(TFileStream(Dir.string(), fmOpenRead), EFOpenError);
  // Both kinds are stream errors.
  EXPECT_THROW(TFileStream(Missing, fmOpenReadWrite), EStreamError);
}

TEST_F(StreamFiles, MemoryStreamFileRoundTrip) {
  AnsiString Name = PathOf("mem.bin");
  TMemoryStream A;
  A.WriteAnsiString(std::string("bytes\0with\r\nanything", 20));
  A.SaveToFile(Name);
  TMemoryStream B;
  B.WriteAnsiString("previous");
  B.LoadFromFile(Name);
  EXPECT_EQ(Contents(B), Contents(A));
  EXPECT_THROW(B.LoadFromFile(PathOf("missing.bin")), EFOpenError);
  EXPECT_EQ(Contents(B), Contents(A));  // unchanged by the failed load
}

TEST_F(StreamFiles, StringListsThroughStreamsAndFiles) {
  TMemoryStream S;
  S.WriteAnsiString("skip|one\r\ntwo\nthree");
  S.SetPosition(5);  // loading starts at the position
  TStringList L;
  L.Add("old");
  LoadStringsFromStream(L, S);
  ASSERT_EQ(L.Count(), 3);
  EXPECT_EQ(L.Strings(0), "one");
  EXPECT_EQ(L.Strings(2), "three");

  TMemoryStream Out;
  SaveStringsToStream(L, Out);
  EXPECT_EQ(Contents(Out), "one\r\ntwo\r\nthree\r\n");

  AnsiString Name = PathOf("list.txt");
  SaveStringsToFile(L, Name);
  TStringList M;
  LoadStringsFromFile(M, Name);
  EXPECT_EQ(M.Text(), L.Text());
  EXPECT_THROW(LoadStringsFromFile(M, PathOf("none.txt")), EFOpenError);
}
