// Hostile and damaged skins through the skin manager: the caps of options texts, packs and
// pictures, values clamped at load, running out of memory while loading. Each refused skin leaves
// the manager without a skin and with a clear error of the engine.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "framework/Jpeg.h"
#include "framework/Streams.h"
#include "framework/Strings.h"
#include "manager_test_support.h"
#include "png_test_support.h"
#include "skin/core/acPNG.h"
#include "skin/core/acSkinPack.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sSkinOptions.h"
#include "skin_loading_support.h"
#include "skinpack_builder.h"
#include "support/MessageOf.h"
#include "support/UiTest.h"

using exctest::MessageOf;
using mgrtest::TTempDir;

namespace {

std::unique_ptr<TsSkinManager> NewManager(const AnsiString& Dir) {
  auto M = std::make_unique<TsSkinManager>(nullptr);
  M->SetSkinDirectory(Dir);
  return M;
}

void ExpectNoSkin(TsSkinManager& M) {
  EXPECT_FALSE(M.Active());
  EXPECT_FALSE(M.SkinActive());
  EXPECT_TRUE(M.Masks().empty());
  EXPECT_TRUE(M.GeneralData().empty());
  EXPECT_EQ(M.MasterBitmap(), nullptr);
}

bool Has(const std::string& S, const std::string& Part) { return S.find(Part) != std::string::npos; }

}  // namespace

// ---- Section values ---------------------------------------------------------------------------------

TEST(SkinLoadingLimits, StoredSkinSectionValuesAreClamped) {
  TTempDir T;
  auto M = NewManager(T.Path);
  // A stored skin of the older form: collections, no pack.
  TsStoredSkin* S = M->InternalSkins()->Add();
  S->SetName("Old");
  S->MasterBitmap()->SetSize(20, 20);
  auto* G = static_cast<TsSkinGeneral*>(S->GeneralData()->Add());
  G->SetSectionName("EDIT");
  G->SetTransparency(2000000000);
  G->SetHotTransparency(-4);
  G->SetGradientPercent(400);
  G->SetImagePercent(-1);
  G->SetGlowMargin(-2000000000);
  G->SetFadingIterations(1 << 30);
  S->SetShadow1Offset(40000);
  S->SetShadow1Transparency(-7);
  M->SetSkinName("Old");
  ASSERT_TRUE(M->SkinActive());
  ASSERT_EQ(M->GeneralData().size(), 1u);
  const TsGeneralData& D = M->GeneralData()[0];
  EXPECT_EQ(D.Transparency, 100);
  EXPECT_EQ(D.HotTransparency, 0);
  EXPECT_EQ(D.GradientPercent, 100);
  EXPECT_EQ(D.ImagePercent, 0);
  EXPECT_EQ(D.GlowMargin, 0);
  EXPECT_EQ(D.FadingIterations, MaxSkinFadingIterations);
  EXPECT_EQ(M->SkinData()->Shadow1Offset, 255);
  EXPECT_EQ(M->SkinData()->Shadow1Transparency, 0);
}

// ---- Packs ------------------------------------------------------------------------------------------------

namespace {

std::string Bytes(const pngtest::Bytes& B) { return std::string(B.begin(), B.end()); }

const char* const PlainOptions = "[GLOBALINFO]\r\nMASTERBITMAP=MASTER.BMP\r\n[EDIT]\r\nCOLOR=255\r\n";

}  // namespace

TEST(SkinLoadingLimits, APackOfHugeFilesIsRefusedBeforeItsFilesAreInflated) {
  // Twelve files that claim 120 MB each, as a hostile pack of 1.5 MB would: the first one beyond
  // the total is refused, before anything of it is inflated.
  TTempDir T;
  skinpack_builder::TPackWriter W;
  W.Magic().U32(13).File("Options.dat", PlainOptions);
  const std::string Junk(120000, 'z');
  for (int I = 0; I < 12; ++I) W.RawFile("Huge" + std::to_string(I) + ".bmp", 120u << 20, Junk);
  T.Write("Huge.asz", W.Data());
  auto M = NewManager(T.Path);
  const std::string Msg = MessageOf<EacSkinPackError>([&] { M->SetSkinName("Huge"); });
  EXPECT_TRUE(Has(Msg, "in all") && Has(Msg, "\"Huge0.bmp\"")) << Msg;
  ExpectNoSkin(*M);
}

// ---- Pictures ---------------------------------------------------------------------------------------------

TEST(SkinLoadingLimits, PicturesBeyondThePixelBudgetAreRefusedBeforeDecoding) {
  auto Refused = [](const std::string& Name, const std::string& Data) {
    TTempDir T;
    T.Folder("S");
    T.Write("S\\Options.dat", std::string(PlainOptions) + "BIG=!" + Name + "!1!0!0\r\nTEX=" + Name + "\r\n");
    T.Write("S\\Master.bmp", mgrtest::SolidBmp(10, 10, clRed));
    T.Write("S\\" + Name, Data);
    auto M = NewManager(T.Path);
    const std::string Msg = MessageOf<EacSkinLoadError>([&] { M->SetSkinName("S"); });
    ExpectNoSkin(*M);
    return Msg;
  };

  // A PNG of 4100 x 4100 grey pixels whose image data really inflates to every row: it would
  // decode, but together with the master bitmap it is beyond the budget.
  const pngtest::Bytes Rows(static_cast<std::size_t>(4100) * 4101, 0);
  pngtest::Bytes Png = pngtest::Signature();
  pngtest::Append(Png, pngtest::Chunk("IHDR", pngtest::IHDRData(4100, 4100, 8, 0, 0)));
  pngtest::Append(Png, pngtest::Chunk("IDAT", pngtest::Deflate(Rows, 9)));
  pngtest::Append(Png, pngtest::Chunk("IEND", {}));
  std::string Msg = Refused("BIG.PNG", Bytes(Png));
  EXPECT_TRUE(Has(Msg, "\"BIG.PNG\", 4100 x 4100")) << Msg;

  // A run-length BMP of a few bytes that declares 16384 x 16384 pixels.
  std::string Bmp(14 + 40 + 1024 + 2, '\0');
  auto Put32 = [&](std::size_t At, std::uint32_t V) {
    for (int I = 0; I < 4; ++I) Bmp[At + I] = static_cast<char>(V >> (8 * I));
  };
  Bmp[0] = 'B';
  Bmp[1] = 'M';
  Put32(2, static_cast<std::uint32_t>(Bmp.size()));
  Put32(10, 14 + 40 + 1024);
  Put32(14, 40);
  Put32(18, 16384);
  Put32(22, 16384);
  Bmp[26] = 1;                 // planes
  Bmp[28] = 8;                 // bits
  Put32(30, 1);                // BI_RLE8
  Bmp[Bmp.size() - 1] = 1;     // end of bitmap
  Msg = Refused("BOMB.BMP", Bmp);
  EXPECT_TRUE(Has(Msg, "\"BOMB.BMP\", 16384 x 16384")) << Msg;

  // A JPEG header that declares 5000 x 5000 pixels.
  const unsigned char Jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xC0, 0x00, 0x0B, 0x08,
                                0x13, 0x88, 0x13, 0x88, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xD9};
  const std::string JpegHeader(reinterpret_cast<const char*>(Jpeg), sizeof(Jpeg));
  Msg = Refused("BIG.JPG", JpegHeader);
  EXPECT_TRUE(Has(Msg, "\"BIG.JPG\", 5000 x 5000")) << Msg;
  // A JPEG that would decode: the decoder is handed what is left of the budget and refuses it from
  // its header, as the budget does.
  Msg = Refused("REAL.JPG", skinloadtest::SolidJpeg(4100, 4100, 1, 2, 3));
  EXPECT_TRUE(Has(Msg, "\"REAL.JPG\", 4100 x 4100")) << Msg;

  // What the decoders accept is counted alike: a PNG whose first chunk type is written in lower
  // case, JPEG headers with stray bytes or a long run of fill bytes before a segment.
  pngtest::Bytes Lower = pngtest::Signature();
  pngtest::Append(Lower, pngtest::Chunk("ihdr", pngtest::IHDRData(4100, 4100, 8, 0, 0)));
  Lower.insert(Lower.end(), Png.begin() + 33, Png.end());
  Msg = Refused("LOW.PNG", Bytes(Lower));
  EXPECT_TRUE(Has(Msg, "\"LOW.PNG\", 4100 x 4100")) << Msg;
  Msg = Refused("STRAY.JPG", JpegHeader.substr(0, 2) + "\x42\x00" + JpegHeader.substr(2));
  EXPECT_TRUE(Has(Msg, "\"STRAY.JPG\", 5000 x 5000")) << Msg;
  Msg = Refused("FILL.JPG", JpegHeader.substr(0, 8) + std::string(6000, '\xFF') + JpegHeader.substr(8));
  EXPECT_TRUE(Has(Msg, "\"FILL.JPG\", 5000 x 5000")) << Msg;
}

TEST(SkinLoadingLimits, DecodersHoldToTheLimitTheyAreGiven) {
  // A skin load hands each decoder what is left of its pixel budget: an image beyond it is
  // refused from its header, and the bitmap is never sized.
  const pngtest::Image Im = pngtest::RandomImage(64, 64, 6, 8, 3);
  const pngtest::Bytes Png = pngtest::Encode(Im);
  TPNGGraphic P;
  P.SetMaxPixels(64 * 64 - 1);
  TReadOnlyMemoryStream S(Png.data(), static_cast<std::int64_t>(Png.size()));
  const std::string Msg = MessageOf<EInvalidGraphic>([&] { P.LoadFromStream(S); });
  EXPECT_TRUE(Has(Msg, "too large")) << Msg;
  EXPECT_TRUE(P.Empty());
  P.SetMaxPixels(64 * 64);
  S.SetPosition(0);
  P.LoadFromStream(S);
  EXPECT_EQ(P.Width(), 64);

  const std::string Jpeg = skinloadtest::SolidJpeg(64, 64, 10, 20, 30);
  TJPEGImage J;
  TJPEGLimits L;
  L.MaxPixels = 64 * 64 - 1;
  J.SetLimits(L);
  TReadOnlyMemoryStream JS(Jpeg.data(), static_cast<std::int64_t>(Jpeg.size()));
  EXPECT_THROW(J.LoadFromStream(JS), EInvalidGraphic);
  EXPECT_TRUE(J.Empty());
  L.MaxPixels = 64 * 64;
  J.SetLimits(L);
  J.LoadFromStream(JS);
  EXPECT_EQ(J.Width(), 64);
}

TEST(SkinLoadingLimits, ASectionNameIsHeldOnceHoweverManyPicturesItsSectionHolds) {
  // The entries of a section share its name (as written, and upper-cased for the notations that
  // take it so), and so do its textures: a long name costs its length once, not once a key.
  const std::string Name(100000, 'n');
  std::string Options = std::string(PlainOptions) + "[" + Name + "]\r\n";
  for (int K = 0; K < 50; ++K) Options += Format("K%d=^0000^0000^0010^0010^0000^0000^0000^0000^1^0^1^1\r\n", K);
  Options += "R1=#X (0,0,10,10) (1,0)\r\nR2=#X (0,0,5,5) (1,0)\r\nP1=TEX.JPG\r\nP2=TEX.JPG\r\n";
  Options += "[C]\r\nPARENTCLASS=" + Name + "\r\n";
  TTempDir T;
  T.Folder("S");
  T.Write("S\\Options.dat", Options);
  T.Write("S\\Master.bmp", mgrtest::SolidBmp(10, 10, clRed));
  T.Write("S\\TEX.JPG", skinloadtest::SolidJpeg(300, 300, 1, 2, 3));
  auto M = NewManager(T.Path);
  M->SetSkinName("S");
  ASSERT_TRUE(M->SkinActive());
  auto NameOf = [](const auto& Entry) { return &static_cast<const AnsiString&>(Entry.SectionName); };
  std::vector<const AnsiString*> Written, Upper;
  for (const TsMaskData& E : M->Masks()) (*NameOf(E) == Name ? Written : Upper).push_back(NameOf(E));
  ASSERT_EQ(Written.size(), 50u);
  ASSERT_EQ(Upper.size(), 2u);
  EXPECT_EQ(*Upper[0], UpperCase(Name));
  EXPECT_EQ(std::count(Written.begin(), Written.end(), Written[0]), 50);
  EXPECT_EQ(Upper[1], Upper[0]);
  ASSERT_EQ(M->Patterns().size(), 2u);
  EXPECT_EQ(NameOf(M->Patterns()[1]), NameOf(M->Patterns()[0]));
  // A section below it finds its pictures.
  EXPECT_EQ(M->GetMaskIndex(M->GetSectionIndex("C"), "C", "K7"), M->GetOwnMaskIndex(Name, "K7"));
  EXPECT_EQ(M->GetOwnMaskIndex(Name, "K7"), 7);
}

TEST(SkinLoadingLimits, JpegTilesHoldNoDrawingContext) {
  // Small JPEG textures become tiles of their own; each costs its bitmap, not a device context
  // kept from drawing it (the system's quota of GDI objects is a few thousand).
  TTempDir T;
  T.Folder("S");
  std::string Options = PlainOptions;
  const std::string Tile = skinloadtest::SolidJpeg(8, 8, 200, 100, 50);
  constexpr int Tiles = 200;
  for (int I = 0; I < Tiles; ++I) {
    Options += Format("[T%d]\r\nPATTERN=T%d.JPG\r\n", I, I);
    T.Write(Format("S\\T%d.JPG", I), Tile);
  }
  T.Write("S\\Options.dat", Options);
  T.Write("S\\Master.bmp", mgrtest::SolidBmp(10, 10, clRed));
  auto M = NewManager(T.Path);
  const int Before = uitest::GdiObjectCount();
  M->SetSkinName("S");
  ASSERT_TRUE(M->SkinActive());
  ASSERT_GE(M->GetTextureIndex(M->GetSectionIndex("T7"), "T7", "PATTERN"), 0);
  EXPECT_LT(uitest::GdiObjectCount() - Before, Tiles + Tiles / 4);
}

TEST(SkinLoadingLimits, FolderSkinsRefuseOnlyPicturesOfOtherMachinesAndDevices) {
  // A folder skin names its pictures inside its folder, or as written when the name holds ':'; a
  // picture that is not there, wherever it is named, gives no entry and the skin loads. A name that
  // reaches another machine or a device is an error naming its key.
  TTempDir T;
  T.Folder("S");
  T.Write("Outside.bmp", mgrtest::SolidBmp(4, 4, clBlue));
  T.Write("S\\Master.bmp", mgrtest::SolidBmp(10, 10, clRed));
  const std::string Full = T.Path + "Outside.BMP";
  T.Write("S\\Options.dat", std::string(PlainOptions) + "[B]\r\nUP=!..\\Outside.BMP!1!0!0\r\nFULL=!" + Full +
                                 "!1!0!0\r\nGONE=!..\\MISSING.BMP!1!0!0\r\nNOWHERE=C:\\NOWHERE\\MISSING.BMP\r\n"
                                 "TEX=..\\MISSING.JPG\r\n");
  auto M = NewManager(T.Path);
  M->SetSkinName("S");
  ASSERT_TRUE(M->SkinActive());
  EXPECT_GE(M->GetOwnMaskIndex("B", "UP"), 0);
  EXPECT_GE(M->GetOwnMaskIndex("B", "FULL"), 0);
  EXPECT_EQ(M->GetOwnMaskIndex("B", "GONE"), -1);
  EXPECT_EQ(M->GetOwnMaskIndex("B", "NOWHERE"), -1);

  const std::string Share = "\\\\localhost\\" + Full.substr(0, 1) + "$" + Full.substr(2);
  const std::pair<std::string, std::string> Refused[] = {
      {std::string(PlainOptions) + "[B]\r\nPIC=" + Share + "\r\n", "key PIC of section [B]"},
      {std::string(PlainOptions) + "[B]\r\nPIC=!\\\\.\\C:\\A.BMP!1!0!0\r\n", "key PIC of section [B]"},
      {std::string(PlainOptions) + "[B]\r\nPIC=!Sub\\NUL.BMP!1!0!0\r\n", "key PIC of section [B]"},
      {std::string(PlainOptions) + "[B]\r\nPATTERN=//localhost/c$/A.JPG\r\n", "key PATTERN of section [B]"},
      {"[GLOBALINFO]\r\nMASTERBITMAP=COM1\r\n", "key MASTERBITMAP of section [GLOBALINFO]"}};
  for (const auto& [Text, Key] : Refused) {
    T.Write("S\\Options.dat", Text);
    auto R = NewManager(T.Path);
    const std::string Msg = MessageOf<EacSkinLoadError>([&] { R->SetSkinName("S"); });
    ExpectNoSkin(*R);
    EXPECT_TRUE(Has(Msg, "another machine or a device") && Has(Msg, Key)) << Text << ": " << Msg;
  }
}

TEST(SkinLoadingLimits, KeysNamingMorePictureFilesThanTheCapAreRefused) {
  // Every key names a picture file of its own that is not there: each is a look-up in the folder
  // (or the pack), so their number is capped like that of the pictures found.
  auto Options = [](int Keys) {
    std::string Text = PlainOptions;
    for (int K = 0; K < Keys; ++K) {
      if (K % 900 == 0) Text += Format("[N%d]\r\n", K);
      Text += Format("K%d=!N%d.BMP!1!0!0\r\n", K, K);
    }
    return Text;
  };
  TTempDir T;
  T.Folder("Folder");
  T.Write("Folder\\Options.dat", Options(MaxSkinFileLookups - 1));
  T.Write("Folder\\Master.bmp", mgrtest::SolidBmp(10, 10, clRed));
  auto M = NewManager(T.Path);
  M->SetSkinName("Folder");  // the master bitmap and the keys: exactly the cap
  EXPECT_TRUE(M->SkinActive());

  T.Write("Folder\\Options.dat", Options(MaxSkinFileLookups + 1));
  std::string Msg = MessageOf<EacSkinLoadError>([&] { M->SetSkinName("Folder"); });
  EXPECT_TRUE(Has(Msg, Format("more than %d picture files", MaxSkinFileLookups))) << Msg;
  ExpectNoSkin(*M);

  T.Write("Pack.asz", skinpack_builder::BuildPack({{"Options.dat", Options(MaxSkinFileLookups + 1)},
                                                   {"Master.bmp", mgrtest::SolidBmp(10, 10, clRed)}}));
  auto P = NewManager(T.Path);
  Msg = MessageOf<EacSkinLoadError>([&] { P->SetSkinName("Pack"); });
  EXPECT_TRUE(Has(Msg, Format("more than %d picture files", MaxSkinFileLookups))) << Msg;
  ExpectNoSkin(*P);
}

// ---- Running out of memory ----------------------------------------------------------------------------

namespace {

// Reserves the process's free address space, leaving about Left bytes free, until destroyed.
class TAddressSpaceHog {
 public:
  explicit TAddressSpaceHog(std::size_t Left) {
    for (std::size_t Chunk : {std::size_t{64} << 20, std::size_t{4} << 20, std::size_t{256} << 10})
      while (void* P = VirtualAlloc(nullptr, Chunk, MEM_RESERVE, PAGE_NOACCESS)) FBlocks.push_back({P, Chunk});
    // Give back the last blocks until Left bytes are free again.
    std::size_t Freed = 0;
    while (Freed < Left && !FBlocks.empty()) {
      Freed += FBlocks.back().second;
      VirtualFree(FBlocks.back().first, 0, MEM_RELEASE);
      FBlocks.pop_back();
    }
  }
  ~TAddressSpaceHog() {
    for (const auto& B : FBlocks) VirtualFree(B.first, 0, MEM_RELEASE);
  }
  TAddressSpaceHog(const TAddressSpaceHog&) = delete;
  TAddressSpaceHog& operator=(const TAddressSpaceHog&) = delete;

 private:
  std::vector<std::pair<void*, std::size_t>> FBlocks;
};

}  // namespace

TEST(SkinLoadingLimits, RunningOutOfMemoryIsTheEnginesErrorNamingTheFile) {
  // A pack within every cap whose one large file needs more memory than the process has left.
  TTempDir T;
  const std::string Zeros(48u << 20, '\0');
  T.Write("Big.asz", skinpack_builder::BuildPack({{"Options.dat", PlainOptions}, {"Master.bmp", Zeros}}));
  auto M = NewManager(T.Path);
  std::string Msg;
  {
    TAddressSpaceHog Hog(8u << 20);
    Msg = MessageOf<EacSkinLoadError>([&] { M->SetSkinName("Big"); });
  }
  EXPECT_TRUE(Has(Msg, "Not enough memory to load the skin") && Has(Msg, "Big.asz")) << Msg;
  ExpectNoSkin(*M);

  // With memory again, a good skin loads.
  T.Write("Good.asz", skinpack_builder::BuildPack({{"Options.dat", PlainOptions},
                                                   {"Master.bmp", mgrtest::SolidBmp(10, 10, clRed)}}));
  M->SetSkinName("Good");
  M->SetActive(true);
  EXPECT_TRUE(M->SkinActive());
  EXPECT_EQ(M->GeneralData().size(), 2u);
}
