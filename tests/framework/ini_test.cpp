// INI text: the parsing rules, look-ups, number reads, editing, files and hostile input.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "framework/IniFiles.h"
#include "framework/Lists.h"

namespace fs = std::filesystem;

namespace {

const char* const SkinText =
    "stray=before any section\r\n"
    "; a comment\r\n"
    "[GlobalInfo]\r\n"
    "  MasterBitmap = MASTER.BMP  \r\n"
    "VERSION=7.00\r\n"
    "\r\n"
    "   ;indented comment=not a key\r\n"
    "[ Edit ]\r\n"
    "BordersMask=^0025^0099^0032\r\n"
    "COLOR=16777215\r\n"
    "Glow\r\n"
    "Formula=a=b\r\n"
    "Hex=0x1F\r\n"
    "[Button]\r\n"
    "ParentClass=EDIT\r\n";

AnsiString Joined(const TStrings& L) {
  AnsiString S;
  for (int I = 0; I < L.Count(); ++I) {
    if (I) S += '|';
    S += L.Strings(I);
  }
  return S;
}

}  // namespace

TEST(IniText, SectionsAndKeysKeepFileOrderAndLetterCase) {
  TIniText T(SkinText);
  const auto& S = T.Sections();
  ASSERT_EQ(S.size(), 3u);
  EXPECT_EQ(S[0].Name, "GlobalInfo");
  EXPECT_EQ(S[1].Name, "Edit");  // trimmed inside the brackets
  EXPECT_EQ(S[2].Name, "Button");
  ASSERT_EQ(S[0].Entries.size(), 2u);  // comments, blank lines and stray keys dropped
  EXPECT_EQ(S[0].Entries[0].Name, "MasterBitmap");
  EXPECT_EQ(S[0].Entries[0].Value, "MASTER.BMP");
  ASSERT_EQ(S[1].Entries.size(), 5u);
  EXPECT_EQ(S[1].Entries[2].Name, "Glow");  // no '=': a key with an empty value
  EXPECT_EQ(S[1].Entries[2].Value, "");
  EXPECT_EQ(S[1].Entries[3].Name, "Formula");  // split at the first '='
  EXPECT_EQ(S[1].Entries[3].Value, "a=b");
}

TEST(IniText, LookUpsIgnoreLetterCase) {
  TIniText T(SkinText);
  EXPECT_EQ(T.IndexOfSection("globalinfo"), 0);
  EXPECT_EQ(T.IndexOfSection("EDIT"), 1);
  EXPECT_EQ(T.IndexOfSection("missing"), -1);
  ASSERT_NE(T.FindValue("GLOBALINFO", "masterbitmap"), nullptr);
  EXPECT_EQ(*T.FindValue("GLOBALINFO", "masterbitmap"), "MASTER.BMP");
  EXPECT_EQ(T.FindValue("GLOBALINFO", "stray"), nullptr);
  EXPECT_EQ(T.FindValue("nosection", "COLOR"), nullptr);
  EXPECT_EQ(T.IndexOfKey(1, "hex"), 4);
  EXPECT_EQ(T.IndexOfKey(7, "hex"), -1);
  EXPECT_EQ(T.IndexOfKey(-1, "hex"), -1);
  // Only ASCII letters fold: bytes above 127 must match exactly.
  TIniText U("[S]\n\xC0\xE0=1\n");
  EXPECT_NE(U.FindValue("s", "\xC0\xE0"), nullptr);
  EXPECT_EQ(U.FindValue("s", "\xE0\xE0"), nullptr);
}

TEST(IniText, RepeatedSectionContinuesTheFirstAndTheFirstKeyWins) {
  TIniText T("[A]\nk=1\n[b]\nx=1\n[a]\nK=2\nm=3\n");
  ASSERT_EQ(T.Sections().size(), 2u);
  EXPECT_EQ(T.Sections()[0].Name, "A");
  ASSERT_EQ(T.Sections()[0].Entries.size(), 3u);  // k, K, m in file order
  EXPECT_EQ(*T.FindValue("a", "k"), "1");
  EXPECT_EQ(*T.FindValue("A", "M"), "3");
}

TEST(IniText, AnyLineEndWorksAndTheLastLineNeedsNone) {
  for (const char* Text : {"[s]\ra=1\rb=2", "[s]\na=1\nb=2\n", "[s]\r\na=1\r\nb=2", "[s]\r\n\ra=1\n\r\nb=2\r"}) {
    TIniText T(Text);
    ASSERT_EQ(T.Sections().size(), 1u) << Text;
    ASSERT_EQ(T.Sections()[0].Entries.size(), 2u) << Text;
    EXPECT_EQ(*T.FindValue("S", "B"), "2") << Text;
  }
  EXPECT_TRUE(TIniText("").Sections().empty());
  EXPECT_TRUE(TIniText("[").Sections().empty());
  EXPECT_EQ(TIniText("[]\nk=v").Sections().at(0).Name, "");
}

TEST(IniText, EditingKeepsTheIndexesRight) {
  TIniText T("[one]\na=1\n[two]\nb=2\n[three]\nc=3\nc=4\nd=5\n");
  EXPECT_TRUE(T.EraseSection("ONE"));
  EXPECT_FALSE(T.EraseSection("one"));
  ASSERT_EQ(T.Sections().size(), 2u);
  EXPECT_EQ(*T.FindValue("three", "c"), "3");  // later sections still found after the shift
  EXPECT_TRUE(T.DeleteKey("three", "C"));      // every entry with the key goes
  EXPECT_EQ(T.FindValue("three", "c"), nullptr);
  EXPECT_EQ(*T.FindValue("three", "d"), "5");
  EXPECT_FALSE(T.DeleteKey("three", "zz"));

  T.SetValue("TWO", "B", "22");  // existing key: value changes in place
  T.SetValue("two", "new", "x");
  T.SetValue("Four", "k", "v");  // new section at the end
  EXPECT_EQ(T.GetText(), "[two]\r\nb=22\r\nnew=x\r\n\r\n[three]\r\nd=5\r\n\r\n[Four]\r\nk=v\r\n\r\n");
  T.Clear();
  EXPECT_TRUE(T.Sections().empty());
  EXPECT_EQ(T.FindValue("two", "b"), nullptr);
}

TEST(IniNumbers, IntegersAreDecimalOrHexadecimal) {
  int V = 0;
  struct Case { const char* Text; bool Ok; int Value; };
  for (const Case& C : {Case{"0x1F", true, 31}, {"0X1f", true, 31}, {"$FF", true, 255}, {"012", true, 12},
                        {"-5", true, -5}, {"+7", true, 7}, {"2147483647", true, 2147483647},
                        {"-2147483648", true, INT32_MIN}, {"$FFFFFFFF", true, -1}, {"0x00FF00FF", true, 0xFF00FF},
                        {"0x", false, 0}, {"$", false, 0}, {"", false, 0}, {"-", false, 0}, {"12abc", false, 0},
                        {"0x1G", false, 0}, {"2147483648", false, 0}, {"$100000000", false, 0},
                        {" 1", false, 0}, {"1.5", false, 0}, {"TRUE", false, 0}}) {
    V = 12345;
    EXPECT_EQ(TryIniStrToInt(C.Text, V), C.Ok) << C.Text;
    if (C.Ok) EXPECT_EQ(V, C.Value) << C.Text;
    else EXPECT_EQ(V, 12345) << C.Text;
  }
}

TEST(IniNumbers, FloatsUseTheGivenDecimalSeparator) {
  double D = 0;
  EXPECT_TRUE(TryIniStrToFloat("7.00", D));
  EXPECT_DOUBLE_EQ(D, 7.0);
  EXPECT_TRUE(TryIniStrToFloat("-2.5E3", D));
  EXPECT_DOUBLE_EQ(D, -2500.0);
  EXPECT_TRUE(TryIniStrToFloat(".5", D));
  EXPECT_DOUBLE_EQ(D, 0.5);
  EXPECT_TRUE(TryIniStrToFloat("3,25", D, ','));
  EXPECT_DOUBLE_EQ(D, 3.25);
  for (const char* Bad : {"3,25", "", ".", "1e", "inf", "nan", "0x10", "1.2.3", " 1", "1e999"})
    EXPECT_FALSE(TryIniStrToFloat(Bad, D)) << Bad;
}

TEST(MemIniFile, ReadsTypedValuesWithDefaults) {
  TMemIniFile Ini;
  Ini.SetText(SkinText + AnsiString("[Flags]\nOn=1\nOff=0\nNeg=-3\nWord=TRUE\nBad=0x\n"));
  EXPECT_EQ(Ini.ReadString("edit", "bordersmask", "?"), "^0025^0099^0032");
  EXPECT_EQ(Ini.ReadString("edit", "nokey", "?"), "?");
  EXPECT_EQ(Ini.ReadInteger("EDIT", "Color", -1), 16777215);
  EXPECT_EQ(Ini.ReadInteger("EDIT", "hex", -1), 31);
  EXPECT_EQ(Ini.ReadInteger("flags", "bad", -1), -1);  // "0x" alone is no number
  EXPECT_EQ(Ini.ReadInteger("EDIT", "BordersMask", 4), 4);
  EXPECT_EQ(Ini.ReadInteger("nosuch", "Color", 9), 9);
  EXPECT_TRUE(Ini.ReadBool("flags", "on", false));
  EXPECT_FALSE(Ini.ReadBool("flags", "off", true));
  EXPECT_TRUE(Ini.ReadBool("flags", "neg", false));
  EXPECT_TRUE(Ini.ReadBool("flags", "word", true));  // not an integer: the default
  EXPECT_FALSE(Ini.ReadBool("flags", "word", false));
  EXPECT_DOUBLE_EQ(Ini.ReadFloat("globalinfo", "version", 0), 7.0);
  EXPECT_DOUBLE_EQ(Ini.ReadFloat("globalinfo", "masterbitmap", 1.5), 1.5);
  EXPECT_TRUE(Ini.SectionExists("BUTTON"));
  EXPECT_FALSE(Ini.SectionExists("stray"));
  EXPECT_TRUE(Ini.ValueExists("edit", "GLOW"));
  EXPECT_FALSE(Ini.ValueExists("edit", "parentclass"));
}

TEST(MemIniFile, ListsSectionsKeysAndValuesInFileOrder) {
  TMemIniFile Ini;
  Ini.SetText(SkinText);
  TStringList L;
  L.Add("replaced");
  Ini.ReadSections(L);
  EXPECT_EQ(Joined(L), "GlobalInfo|Edit|Button");
  Ini.ReadSection("edit", L);
  EXPECT_EQ(Joined(L), "BordersMask|COLOR|Glow|Formula|Hex");
  Ini.ReadSectionValues("GLOBALINFO", L);
  EXPECT_EQ(Joined(L), "MasterBitmap=MASTER.BMP|VERSION=7.00");
  Ini.ReadSection("none", L);
  EXPECT_EQ(L.Count(), 0);
}

TEST(MemIniFile, WritesEraseAndRoundTripThroughStrings) {
  TMemIniFile Ini;
  Ini.WriteString("Main", "Name", "value");
  Ini.WriteInteger("main", "Count", -4);
  Ini.WriteBool("Other", "On", true);
  EXPECT_EQ(Ini.ReadInteger("MAIN", "count", 0), -4);
  EXPECT_TRUE(Ini.ReadBool("other", "on", false));

  TStringList L;
  Ini.GetStrings(L);
  EXPECT_EQ(Joined(L), "[Main]|Name=value|Count=-4||[Other]|On=1|");
  TMemIniFile Copy;
  Copy.SetStrings(L);
  EXPECT_EQ(Copy.GetText(), Ini.GetText());

  Ini.DeleteKey("main", "name");
  EXPECT_FALSE(Ini.ValueExists("main", "name"));
  Ini.EraseSection("MAIN");
  EXPECT_FALSE(Ini.SectionExists("main"));
  EXPECT_TRUE(Ini.SectionExists("other"));
  Ini.Clear();
  EXPECT_EQ(Ini.GetText(), "");
}

TEST(MemIniFile, FileNameMissingGivesEmptyExistingIsReadAndUpdated) {
  std::random_device Rd;
  fs::path Dir = fs::temp_directory_path() / ("tv_ini_" + std::to_string(Rd()) + std::to_string(Rd()));
  fs::create_directories(Dir);
  AnsiString Name = (Dir / "opt.ini").string();
  {
    TMemIniFile Missing(Name);
    EXPECT_TRUE(Missing.Data().Sections().empty());
    EXPECT_EQ(Missing.FileName(), Name);
    Missing.WriteString("S", "k", "v");
    Missing.UpdateFile();
  }
  TMemIniFile Again(Name);
  EXPECT_EQ(Again.ReadString("s", "K", ""), "v");
  {
    std::ofstream F(Name, std::ios::binary);
    F << "[GLOBALINFO]\rVERSION=7.00";  // CR-only line ends, no final line end
  }
  TMemIniFile Third(Name);
  EXPECT_DOUBLE_EQ(Third.ReadFloat("globalinfo", "version", 0), 7.0);
  std::error_code Ec;
  fs::remove_all(Dir, Ec);
}

TEST(IniRobustness, NulBytesAndBinaryGarbageAreJustData) {
  const char Raw[] = "[S]\nk\0ey=va\0lue\n\0\n[T]\nx=1";
  std::string WithNul(Raw, sizeof(Raw) - 1);
  TIniText T(WithNul);
  ASSERT_EQ(T.Sections().size(), 2u);
  ASSERT_NE(T.FindValue("s", std::string("k\0ey", 4)), nullptr);
  EXPECT_EQ(*T.FindValue("s", std::string("k\0ey", 4)), std::string("va\0lue", 6));
  EXPECT_EQ(*T.FindValue("t", "x"), "1");

  std::mt19937 Rng(12345);
  std::string Garbage(1 << 20, '\0');
  const char Alphabet[] = "[]=;\r\n \t\0ab";
  for (auto& C : Garbage)
    C = (Rng() & 1) ? static_cast<char>(Rng()) : Alphabet[Rng() % (sizeof(Alphabet) - 1)];
  TIniText G(Garbage);
  std::size_t Entries = 0;
  for (const auto& S : G.Sections()) {
    EXPECT_EQ(G.IndexOfSection(S.Name) >= 0, true);
    Entries += S.Entries.size();
  }
  EXPECT_GT(Entries, 0u);
  TIniText Again(G.GetText());  // what it writes it reads back
  EXPECT_EQ(Again.Sections().size(), G.Sections().size());
}

TEST(IniRobustness, HugeLinesAndManyKeysParse) {
  std::string Long(10 << 20, 'v');
  TIniText T("[big]\nkey=" + Long + "\nafter=1");
  ASSERT_NE(T.FindValue("BIG", "KEY"), nullptr);
  EXPECT_EQ(T.FindValue("BIG", "KEY")->size(), Long.size());
  EXPECT_EQ(*T.FindValue("big", "after"), "1");
  TIniText K("[s]\n" + Long);  // a 10 MB key without '='
  EXPECT_EQ(K.Sections()[0].Entries.at(0).Name.size(), Long.size());

  std::string Many = "[Many]\n";
  for (int I = 0; I < 100000; ++I) Many += "Key" + std::to_string(I) + "=" + std::to_string(I) + "\n";
  for (int I = 0; I < 20000; ++I) Many += "[Sec" + std::to_string(I) + "]\nA=" + std::to_string(I) + "\n";
  TIniText M(Many);
  EXPECT_EQ(M.Sections().size(), 20001u);
  EXPECT_EQ(*M.FindValue("many", "key99999"), "99999");
  EXPECT_EQ(*M.FindValue("SEC19999", "a"), "19999");
  EXPECT_EQ(M.IndexOfKey(0, "KEY50000"), 50000);
}

TEST(IniRobustness, LimitsStopTheParseAtTheLineBeyondThem) {
  // Sections: a repeated name is no new section; the third new one stops the parse.
  TIniText S;
  TIniParseResult R = S.Parse("[a]\nk=1\n[b]\n[A]\nj=2\n[c]\nlost=1\n", TIniLimits{2, 0, 0});
  EXPECT_EQ(R.Limit, TIniParseResult::Sections);
  ASSERT_EQ(S.Sections().size(), 2u);
  EXPECT_EQ(S.Sections()[0].Entries.size(), 2u);
  EXPECT_EQ(S.FindValue("c", "lost"), nullptr);

  // Entries of one section, duplicates counted, also across a repeated header.
  TIniText E;
  R = E.Parse("[a]\nk=1\n[b]\nx=1\n[a]\nk=2\nm=3\n", TIniLimits{0, 2, 0});
  EXPECT_EQ(R.Limit, TIniParseResult::SectionEntries);
  EXPECT_EQ(R.Section, 0);
  EXPECT_EQ(E.Sections()[0].Entries.size(), 2u);
  EXPECT_EQ(E.FindValue("a", "m"), nullptr);

  // Entries in all.
  TIniText T;
  R = T.Parse("[a]\n1\n2\n[b]\n3\n4\n", TIniLimits{0, 0, 3});
  EXPECT_EQ(R.Limit, TIniParseResult::Entries);
  EXPECT_EQ(T.Sections().size(), 2u);
  EXPECT_EQ(T.Sections()[1].Entries.size(), 1u);

  // Within the limits nothing is lost, and the limits of one parse do not carry over.
  R = T.Parse("[a]\n1\n2\n[b]\n3\n", TIniLimits{2, 2, 3});
  EXPECT_EQ(R.Limit, TIniParseResult::None);
  EXPECT_EQ(T.Sections()[1].Entries.size(), 1u);
  T.Parse("[a]\n1\n2\n[b]\n3\n4\n[c]\n5\n");
  EXPECT_EQ(T.Sections().size(), 3u);
}
