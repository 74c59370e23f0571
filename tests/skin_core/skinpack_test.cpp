// The packed-skin reader: well-formed packs, and every way a pack can lie about its contents.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "skin/core/acSkinPack.h"
#include "skinpack_builder.h"

using namespace skinpack_builder;

namespace {

std::vector<TacPackEntry> Unpack(const std::string& Pack, std::size_t* End = nullptr) {
  return UnpackSkinPack(Pack.data(), Pack.size(), End);
}

// The message of the EacSkinPackError that F raises ("" when it raises none).
template <class F>
std::string PackError(F&& Fn) {
  try {
    Fn();
  } catch (const EacSkinPackError& E) {
    return E.Message;
  }
  return "";
}

std::string StreamText(TStream& S) {
  std::string R(static_cast<std::size_t>(S.Size()), '\0');
  S.SetPosition(0);
  if (!R.empty()) S.ReadBuffer(R.data(), static_cast<std::int64_t>(R.size()));
  return R;
}

const std::string OptionsText = "[GLOBALINFO]\r\nMASTERBITMAP=MASTER.BMP\r\nVERSION=7.00\r\n";

std::string ThreeFilePack() {
  return BuildPack({{"Options.dat", OptionsText},
                    {"ButtonHuge.bmp", PictureLikeBytes(5637, 1)},
                    {"Master.bmp", PictureLikeBytes(3971, 2)}});
}

// A memory stream holding the bytes.
std::unique_ptr<TMemoryStream> StreamOf(const std::string& Bytes) {
  auto S = std::make_unique<TMemoryStream>();
  S->WriteBuffer(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
  return S;
}

}  // namespace

// ---- Well-formed packs ----------------------------------------------------------------------------

TEST(SkinPackReader, ReadsEveryFileInOrderAndEndsAfterTheLastStream) {
  const std::string Pack = ThreeFilePack();
  std::size_t End = 0;
  auto E = Unpack(Pack, &End);
  ASSERT_EQ(E.size(), 3u);
  EXPECT_EQ(E[0].Name, "Options.dat");
  EXPECT_EQ(std::string(E[0].Data.begin(), E[0].Data.end()), OptionsText);
  EXPECT_EQ(E[1].Name, "ButtonHuge.bmp");
  EXPECT_EQ(std::string(E[1].Data.begin(), E[1].Data.end()), PictureLikeBytes(5637, 1));
  EXPECT_EQ(E[2].Name, "Master.bmp");
  EXPECT_EQ(E[2].Data.size(), 3971u);
  EXPECT_EQ(End, Pack.size());
}

TEST(SkinPackReader, ConvertorSplitsOptionsFromPictures) {
  const std::string Pack = ThreeFilePack();
  auto Source = StreamOf(Pack);
  TacSkinConvertor C;
  C.SetPackedData(Source.release(), true);
  C.ExtractPackedData();
  EXPECT_EQ(C.ImageCount, 2);
  ASSERT_EQ(C.Files.size(), 2u);
  EXPECT_EQ(C.Files[0].FileName, "ButtonHuge.bmp");
  EXPECT_TRUE(C.Files[0].IsBitmap);
  EXPECT_EQ(C.Files[1].FileName, "Master.bmp");
  ASSERT_TRUE(C.Options);
  EXPECT_EQ(StreamText(*C.Options), OptionsText);
  EXPECT_EQ(C.PackedData()->Position(), static_cast<std::int64_t>(Pack.size()));
  EXPECT_EQ(C.FindFile("MASTER.BMP"), &C.Files[1]);
  EXPECT_EQ(C.FindFile("Master.bmp"), nullptr);  // the look-up takes an upper-cased name
}

TEST(SkinPackReader, OptionsNameIgnoresCaseAndBitmapTestReadsTheExtension) {
  auto S = StreamOf(BuildPack({{"oPTIONS.DAT", "[A]"}, {"a.BmP", "x"}, {"b.png", "y"}, {"c.bmp.png", "z"}, {"BMP", "w"}}));
  TacSkinConvertor C;
  C.SetPackedData(S.get(), false);
  C.ExtractPackedData();
  ASSERT_TRUE(C.Options);
  EXPECT_EQ(StreamText(*C.Options), "[A]");
  ASSERT_EQ(C.ImageCount, 4);
  EXPECT_TRUE(C.Files[0].IsBitmap);
  EXPECT_FALSE(C.Files[1].IsBitmap);
  EXPECT_FALSE(C.Files[2].IsBitmap);
  EXPECT_FALSE(C.Files[3].IsBitmap);
}

TEST(SkinPackReader, EmptyFilesAndEmptyNamesAreRead) {
  const std::string Pack = BuildPack({{"Options.dat", ""}, {"", ""}, {"after.bmp", "abc"}});
  auto E = Unpack(Pack);
  ASSERT_EQ(E.size(), 3u);
  EXPECT_TRUE(E[0].Data.empty());
  EXPECT_EQ(E[1].Name, "");
  EXPECT_EQ(std::string(E[2].Data.begin(), E[2].Data.end()), "abc");
}

TEST(SkinPackReader, BytesAfterTheLastFileAreLeftAlone) {
  const std::string Pack = BuildPack({{"Options.dat", "[A]"}});
  std::size_t End = 0;
  EXPECT_EQ(Unpack(Pack + "trailing", &End).size(), 1u);
  EXPECT_EQ(End, Pack.size());
}

// ---- Counts: the image count is the number of pictures ----------------------------------------------

TEST(SkinPackCounts, ASecondOptionsEntryReplacesTheFirstAndIsNoPicture) {
  auto S = StreamOf(BuildPack({{"Options.dat", "first"}, {"a.bmp", "1"}, {"OPTIONS.DAT", "second"}, {"b.bmp", "2"}}));
  TacSkinConvertor C;
  C.SetPackedData(S.release(), true);
  C.ExtractPackedData();
  EXPECT_EQ(StreamText(*C.Options), "second");
  EXPECT_EQ(C.ImageCount, 2);
  EXPECT_EQ(C.Files.size(), 2u);
}

TEST(SkinPackCounts, APackWithoutOptionsFailsAndKeepsNothing) {
  auto S = StreamOf(BuildPack({{"a.bmp", "1"}, {"b.bmp", "2"}}));
  TacSkinConvertor C;
  C.SetPackedData(S.release(), true);
  EXPECT_EQ(PackError([&] { C.ExtractPackedData(); }), "Packed skin file holds no Options.dat");
  EXPECT_EQ(C.ImageCount, 0);
  EXPECT_TRUE(C.Files.empty());
  EXPECT_FALSE(C.Options);
  EXPECT_EQ(C.PackedData(), nullptr);
}

TEST(SkinPackCounts, AnEmptyPackFailsForWantOfOptions) {
  TPackWriter W;
  W.Magic().U32(0);
  auto S = StreamOf(W.Data());
  TacSkinConvertor C;
  C.SetPackedData(S.release(), true);
  EXPECT_NE(PackError([&] { C.ExtractPackedData(); }), "");
  EXPECT_EQ(C.ImageCount, 0);
}

// ---- Wrong magic and the lent source ------------------------------------------------------------------

TEST(SkinPackSource, WrongMagicRaisesTheMessageAndNeverFreesALentStream) {
  std::string Pack = ThreeFilePack();
  Pack[3] = 'F';
  TMemoryStream Lent;  // owned by the test: the reader must not free it
  Lent.WriteBuffer(Pack.data(), static_cast<std::int64_t>(Pack.size()));
  TacSkinConvertor C;
  C.SetPackedData(&Lent, false);
  EXPECT_EQ(PackError([&] { C.ExtractPackedData(); }), "Loaded data is not packed skin file");
  EXPECT_EQ(C.PackedData(), nullptr);
  EXPECT_EQ(Lent.Size(), static_cast<std::int64_t>(Pack.size()));
  Lent.WriteByte(1);  // still a live stream
}

TEST(SkinPackSource, ALentStreamSurvivesExtractionAndClear) {
  const std::string Pack = ThreeFilePack();
  TMemoryStream Lent;
  Lent.WriteBuffer(Pack.data(), static_cast<std::int64_t>(Pack.size()));
  {
    TacSkinConvertor C;
    C.SetPackedData(&Lent, false);
    C.ExtractPackedData();
    EXPECT_EQ(C.ImageCount, 2);
    C.Clear();
    EXPECT_EQ(C.PackedData(), nullptr);
    C.SetPackedData(&Lent, false);
  }  // destroyed while still holding the lent stream
  EXPECT_EQ(StreamText(Lent), Pack);
}

TEST(SkinPackSource, TooShortOrMissingDataIsNotAPack) {
  EXPECT_EQ(PackError([] { UnpackSkinPack(nullptr, 0); }), SNotPackedSkin);
  EXPECT_EQ(PackError([] { UnpackSkinPack("ASz", 3); }), SNotPackedSkin);
  TacSkinConvertor C;
  EXPECT_EQ(PackError([&] { C.ExtractPackedData(); }), SNotPackedSkin);
}

// ---- Hostile fields -------------------------------------------------------------------------------------

TEST(SkinPackLimits, AFileCountBeyondTheDataIsRefusedBeforeAnyAllocation) {
  TPackWriter W;
  W.Magic().U32(0xFFFFFFFFu).File("Options.dat", "x");
  EXPECT_NE(PackError([&] { Unpack(W.Data()); }).find("names 4294967295 files"), std::string::npos);
  TPackWriter Two;
  Two.Magic().U32(2).File("Options.dat", "x");
  EXPECT_NE(PackError([&] { Unpack(Two.Data()); }), "");
}

TEST(SkinPackLimits, ANameLongerThanTheDataIsRefused) {
  TPackWriter W;
  W.Magic().U32(1).U32(0xFFFFFFF0u).Bytes("Options.dat").U32(1).Bytes(Deflate("x"));
  EXPECT_NE(PackError([&] { Unpack(W.Data()); }).find("name of file 1"), std::string::npos);
}

TEST(SkinPackLimits, ASizeBeyondWhatTheDataCanHoldIsRefused) {
  TPackWriter Huge;
  Huge.Magic().U32(1).RawFile("Options.dat", 0xFFFFFFFFu, Deflate("x"));
  EXPECT_NE(PackError([&] { Unpack(Huge.Data()); }).find("too large"), std::string::npos);
  // Under the per-file limit but more than a few compressed bytes can ever inflate to.
  TPackWriter Claim;
  Claim.Magic().U32(1).RawFile("Options.dat", 100000000u, Deflate("x"));
  EXPECT_NE(PackError([&] { Unpack(Claim.Data()); }).find("more than the data left can hold"), std::string::npos);
}

TEST(SkinPackLimits, TheTotalSizeIsCheckedAgainstTheCapBeforeEachFileIsInflated) {
  // One file declaring more than the total cap: refused before its (corrupt) stream is read.
  const std::string Junk(200000, 'j');
  TPackWriter One;
  One.Magic().U32(1).RawFile("Big.bmp", MaxPackTotalSize + 1, Junk);
  std::string M = PackError([&] { Unpack(One.Data()); });
  EXPECT_NE(M.find(Format("more than %u bytes in all", static_cast<unsigned>(MaxPackTotalSize))), std::string::npos)
      << M;
  EXPECT_NE(M.find("\"Big.bmp\""), std::string::npos) << M;

  // Files that fit one by one but not together: the file that goes beyond is refused before
  // inflating, even where its stream is damaged.
  const std::uint32_t Part = MaxPackTotalSize / 2 + 1;
  const std::string Zeros(Part, '\0');
  TPackWriter Two;
  Two.Magic().U32(3).File("Options.dat", "[A]").File("One.bmp", Zeros).RawFile("Two.bmp", Part, Junk);
  M = PackError([&] { Unpack(Two.Data()); });
  EXPECT_NE(M.find("\"Two.bmp\""), std::string::npos) << M;
  EXPECT_NE(M.find("in all"), std::string::npos) << M;

  // Exactly at the cap is fine.
  const std::string Rest(MaxPackTotalSize - Part - 3, '\0');
  auto E = Unpack(BuildPack({{"Options.dat", "[A]"}, {"One.bmp", Zeros}, {"Two.bmp", Rest}}));
  ASSERT_EQ(E.size(), 3u);
  EXPECT_EQ(E[2].Data.size(), Rest.size());
}

TEST(SkinPackLimits, MoreFilesThanTheCapAreRefusedBeforeAnyIsRead) {
  TPackWriter W;
  W.Magic().U32(MaxPackFiles + 1);
  for (int I = 0; I <= MaxPackFiles; ++I) W.File("f" + std::to_string(I) + ".bmp", "");
  const std::string M = PackError([&] { Unpack(W.Data()); });
  EXPECT_NE(M.find(Format("more than %d files", MaxPackFiles)), std::string::npos) << M;
  TPackWriter Fits;
  Fits.Magic().U32(MaxPackFiles);
  for (int I = 0; I < MaxPackFiles; ++I) Fits.File("f" + std::to_string(I) + ".bmp", "");
  EXPECT_EQ(Unpack(Fits.Data()).size(), static_cast<std::size_t>(MaxPackFiles));
}

TEST(SkinPackLimits, HighlyCompressibleFilesWithinTheRatioAreRead) {
  const std::string Zeros(4 << 20, '\0');
  auto E = Unpack(BuildPack({{"Options.dat", "[A]"}, {"zeros.bmp", Zeros}}));
  ASSERT_EQ(E.size(), 2u);
  EXPECT_EQ(E[1].Data.size(), Zeros.size());
}

// ---- Streams that do not match their size ----------------------------------------------------------------

TEST(SkinPackStreams, AStreamInflatingToMoreThanItsSizeIsRefused) {
  TPackWriter W;
  W.Magic().U32(2).RawFile("Options.dat", 5, Deflate("0123456789")).File("a.bmp", "next");
  EXPECT_NE(PackError([&] { Unpack(W.Data()); }).find("inflates to more than its size of 5"), std::string::npos);
}

TEST(SkinPackStreams, AStreamInflatingToLessThanItsSizeIsRefused) {
  TPackWriter W;
  W.Magic().U32(2).RawFile("Options.dat", 20, Deflate("0123456789")).File("a.bmp", "next");
  EXPECT_NE(PackError([&] { Unpack(W.Data()); }).find("inflates to 10 bytes instead of 20"), std::string::npos);
}

TEST(SkinPackStreams, SizeZeroWithDataInTheStreamIsRefused) {
  TPackWriter W;
  W.Magic().U32(1).RawFile("Options.dat", 0, Deflate("abc"));
  EXPECT_NE(PackError([&] { Unpack(W.Data()); }).find("more than its size of 0"), std::string::npos);
}

TEST(SkinPackStreams, TheNextEntryStartsWhereTheStreamEnded) {
  // A stored (uncompressed) stream and a best-compressed one back to back: the reader must find the
  // second entry's header right after the first stream's checksum, whatever the streams' lengths.
  TPackWriter W;
  W.Magic().U32(3)
      .RawFile("Options.dat", 7, Deflate("options", 0))
      .RawFile("a.bmp", 1000, Deflate(std::string(1000, 'a'), 9))
      .File("b.bmp", "tail");
  auto E = Unpack(W.Data());
  ASSERT_EQ(E.size(), 3u);
  EXPECT_EQ(E[2].Name, "b.bmp");
  EXPECT_EQ(std::string(E[2].Data.begin(), E[2].Data.end()), "tail");
}

TEST(SkinPackStreams, CorruptStreamsAreRefused) {
  std::string Stream = Deflate(PictureLikeBytes(2000, 3));
  // A flipped bit in the compressed data and one in the checksum.
  for (std::size_t At : {Stream.size() / 2, Stream.size() - 1}) {
    std::string Bad = Stream;
    Bad[At] = static_cast<char>(Bad[At] ^ 0x10);
    TPackWriter W;
    W.Magic().U32(1).RawFile("Options.dat", 2000, Bad);
    EXPECT_NE(PackError([&] { Unpack(W.Data()); }), "") << "flipped byte " << At;
  }
  // A raw deflate stream without the zlib header.
  TPackWriter Raw;
  Raw.Magic().U32(1).RawFile("Options.dat", 3, Deflate("abc").substr(2));
  EXPECT_NE(PackError([&] { Unpack(Raw.Data()); }).find("not a valid compressed stream"), std::string::npos);
}

TEST(SkinPackStreams, TruncationAtEveryByteRaisesAndKeepsNothing) {
  const std::string Pack = BuildPack({{"Options.dat", OptionsText}, {"a.bmp", PictureLikeBytes(300, 4)}});
  for (std::size_t N = 0; N < Pack.size(); ++N) {
    const std::string Cut = Pack.substr(0, N);
    EXPECT_NE(PackError([&] { Unpack(Cut); }), "") << "cut at " << N;
    auto S = StreamOf(Cut);
    TacSkinConvertor C;
    C.SetPackedData(S.release(), true);
    EXPECT_THROW(C.ExtractPackedData(), EacSkinPackError) << "cut at " << N;
    EXPECT_TRUE(C.Files.empty());
    EXPECT_FALSE(C.Options);
  }
}

// ---- Files --------------------------------------------------------------------------------------------------

namespace {
struct TTempFile {
  std::string Path;
  explicit TTempFile(const std::string& Name)
      : Path((std::filesystem::temp_directory_path() / Name).string()) {}
  ~TTempFile() { std::remove(Path.c_str()); }
  void Write(const std::string& Bytes) const { StreamOf(Bytes)->SaveToFile(Path); }
};
}  // namespace

TEST(SkinPackFile, AMissingFileLeavesThePackAlone) {
  TacSkinConvertor* Pack = nullptr;
  LoadSkinPackFile(TTempFile("no-such-pack.asz").Path, Pack, true);
  EXPECT_EQ(Pack, nullptr);
}

TEST(SkinPackFile, LoadsAFileAndFreesOrKeepsTheSource) {
  TTempFile F("rec-skinpack-test.asz");
  F.Write(ThreeFilePack());
  std::unique_ptr<TacSkinConvertor> Pack;
  LoadSkinPackFile(F.Path, Pack, true);
  ASSERT_TRUE(Pack);
  EXPECT_EQ(Pack->ImageCount, 2);
  EXPECT_EQ(Pack->PackedData(), nullptr);

  // Reused: the earlier files are gone, the source is kept (owned) and stands at the end.
  F.Write(BuildPack({{"Options.dat", "[B]"}}));
  LoadSkinPackFile(F.Path, Pack, false);
  EXPECT_EQ(Pack->ImageCount, 0);
  EXPECT_EQ(StreamText(*Pack->Options), "[B]");
  ASSERT_NE(Pack->PackedData(), nullptr);
  EXPECT_TRUE(Pack->OwnsPackedData());
}

TEST(SkinPackFile, AFileLargerThanTheCapIsRefusedBeforeItIsRead) {
  TTempFile F("rec-skinpack-huge.asz");
  {
    // A pack's beginning, then a gap up to one byte beyond the cap (sparse where the file system
    // allows).
    auto S = StreamOf(ThreeFilePack());
    S->SaveToFile(F.Path);
    TFileStream Grow(F.Path, fmOpenReadWrite);
    Grow.SetSize(MaxPackFileSize + 1);
  }
  std::unique_ptr<TacSkinConvertor> Pack;
  const std::string M = PackError([&] { LoadSkinPackFile(F.Path, Pack, true); });
  EXPECT_NE(M.find("too large"), std::string::npos) << M;
  EXPECT_NE(M.find(F.Path), std::string::npos) << M;
  ASSERT_TRUE(Pack);
  EXPECT_EQ(Pack->PackedData(), nullptr);
  EXPECT_FALSE(Pack->Options);
}

TEST(SkinPackFile, ADamagedFileRaisesAndClearsThePack) {
  TTempFile F("rec-skinpack-bad.asz");
  F.Write("not a pack at all");
  std::unique_ptr<TacSkinConvertor> Pack;
  EXPECT_EQ(PackError([&] { LoadSkinPackFile(F.Path, Pack, true); }), SNotPackedSkin);
  ASSERT_TRUE(Pack);
  EXPECT_EQ(Pack->PackedData(), nullptr);
  EXPECT_FALSE(Pack->Options);
}
