// The engine's general utilities: numbers, rectangles, words, paths, INI text and published
// properties by name.
#include <gtest/gtest.h>

#include <climits>

#include "framework/Lists.h"
#include "framework/TypInfo.h"
#include "skin/core/sVclUtils.h"

TEST(VclUtilsNumbers, ClampByteAndRanges) {
  EXPECT_EQ(ClampByte(-1), 0);
  EXPECT_EQ(ClampByte(INT_MIN), 0);
  EXPECT_EQ(ClampByte(128), 128);
  EXPECT_EQ(ClampByte(256), 255);
  EXPECT_TRUE(IsBetween(5, 5, 5));
  EXPECT_FALSE(IsBetween(4, 5, 6));
  EXPECT_EQ(MaxOf(-3, 2), 2);
  EXPECT_EQ(MinOf(-3, 2), -3);
  EXPECT_EQ(IfThenStr(false, "a", "b"), "b");
  EXPECT_EQ(IfThenInt(true, 1, 2), 1);
}

TEST(VclUtilsRects, IntersectionNeedsOverlapNotTouch) {
  const TRect A = MakeRect(0, 0, 10, 10);
  EXPECT_FALSE(RectsIntersect(A, MakeRect(10, 0, 20, 10)));  // shares the right edge
  EXPECT_FALSE(RectsIntersect(A, MakeRect(0, 10, 10, 20)));  // shares the bottom edge
  EXPECT_TRUE(RectsIntersect(A, MakeRect(9, 9, 20, 20)));
  EXPECT_TRUE(RectsIntersect(A, MakeRect(2, 2, 3, 3)));  // inside
  EXPECT_FALSE(RectsIntersect(A, MakeRect(5, 5, 5, 8)));  // an empty second rectangle
}

TEST(VclUtilsRects, ContainmentAllowsTheEdgePixel) {
  const TRect Outer = MakeRect(0, 0, 10, 10);
  EXPECT_TRUE(RectContainsRect(Outer, Outer));
  EXPECT_TRUE(RectContainsRect(Outer, MakeRect(2, 2, 10, 10)));
  EXPECT_FALSE(RectContainsRect(Outer, MakeRect(2, 2, 11, 10)));
  EXPECT_FALSE(RectContainsRect(Outer, MakeRect(-1, 2, 5, 5)));
  EXPECT_TRUE(RectContainsRect(MakeRect(0, 0, INT_MAX, INT_MAX), MakeRect(1, 1, INT_MAX, INT_MAX)));
}

TEST(VclUtilsRects, WidthAndHeightOptionallyNonNegative) {
  const TRect R = MakeRect(10, 20, 4, 25);
  EXPECT_EQ(RectWidth(R), -6);
  EXPECT_EQ(RectWidth(R, true), 0);
  EXPECT_EQ(RectHeight(R, true), 5);
}

TEST(VclUtilsWords, PositionsAndWordsBySemicolon) {
  const TCharSet Semi(";");
  EXPECT_EQ(WordPosition(2, "a;bb;c", Semi), 3);
  EXPECT_EQ(ExtractWord(2, "a;bb;c", Semi), "bb");
  EXPECT_EQ(ExtractWord(4, "a;bb;c", Semi), "");
  EXPECT_EQ(WordPosition(1, ";;a;", Semi), 3);  // leading delimiters are no word
  EXPECT_EQ(WordCount(";;a;;b;", Semi), 2);
  EXPECT_EQ(WordCount("", Semi), 0);
  EXPECT_EQ(WordPosition(0, "a", Semi), 0);
  EXPECT_EQ(WordPosition(-1, "a", Semi), 0);
  EXPECT_EQ(ExtractWord(3, "x y,z", TCharSet(" ,")), "z");
  EXPECT_TRUE(ByteInSet('\xFF', TCharSet("\xFF")));
  EXPECT_FALSE(ByteInSet('a', TCharSet("A")));
}

TEST(VclUtilsWords, DeleteAndReplace) {
  EXPECT_EQ(DeleteChars(" a b ", ' '), "ab");
  EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");  // inserted text is not rescanned
  EXPECT_EQ(ReplaceAll("abcabc", "bc", ""), "aa");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("ABC", "b", "x"), "ABC");  // case-sensitive
}

TEST(VclUtilsPaths, TrailingSeparator) {
  EXPECT_EQ(IncludeTrailingSeparator(""), "");
  EXPECT_EQ(IncludeTrailingSeparator("C"), "C:\\");
  EXPECT_EQ(IncludeTrailingSeparator("C:/skins/"), "C:/skins\\");
  EXPECT_EQ(IncludeTrailingSeparator("C:\\skins\\"), "C:\\skins\\");
  EXPECT_EQ(IncludeTrailingSeparator("skins"), "skins\\");
  EXPECT_EQ(IncludeTrailingSeparator("/"), "\\");
}

TEST(VclUtilsIni, SectionsValuesAndIntegers) {
  TStringList Lines;
  Lines.SetText("A=before any section\r\n; comment\r\n[GLOBALINFO]\r\nhex=0x1F\r\nbare=0x\r\n"
                "lead=012\r\ndollar=$10\r\nword=abc\r\n\r\n[Edit]\r\nColor = 16777215\r\n");
  TIniText Ini;
  ParseIniSections(Lines, Ini);
  ASSERT_EQ(Ini.Sections().size(), 2u);
  EXPECT_EQ(ReadIniInt(Ini, "GLOBALINFO", "HEX", 0), 31);
  EXPECT_EQ(ReadIniInt(Ini, "GLOBALINFO", "bare", -7), -7);
  EXPECT_EQ(ReadIniInt(Ini, "GLOBALINFO", "lead", 0), 12);
  EXPECT_EQ(ReadIniInt(Ini, "GLOBALINFO", "dollar", 0), 16);
  EXPECT_EQ(ReadIniInt(Ini, "GLOBALINFO", "word", 5), 5);
  EXPECT_EQ(ReadIniInt(Ini, "GLOBALINFO", "missing", 9), 9);
  EXPECT_EQ(ReadIniInt(Ini, "NOSECTION", "hex", 9), 9);
  EXPECT_EQ(ReadIniValue(Ini, "edit", "COLOR", "?"), "16777215");
  EXPECT_EQ(ReadIniValue(Ini, "edit", "A", "?"), "?");  // lines before the first section are dropped
  // Parsing again replaces the earlier sections.
  ParseIniSections("[Other]\nk=v", Ini);
  EXPECT_EQ(ReadIniValue(Ini, "GLOBALINFO", "hex", "gone"), "gone");
  EXPECT_EQ(ReadIniValue(Ini, "OTHER", "k", ""), "v");
}

// ---- Published properties by name -------------------------------------------------------------------

namespace {

enum TUtilOption { uoFirst, uoSecond, uoThird };

class TUtilTarget : public TObject {
  T_CLASS(TUtilTarget, TObject)
 public:
  int Level() const { return FLevel; }
  void SetLevel(int V) { FLevel = V; }
  TSet<TUtilOption> Options() const { return FOptions; }
  void SetOptions(TSet<TUtilOption> V) {
    FOptions = V;
    ++SetCount;
  }
  TObject* Partner() const { return FPartner; }
  int Fixed() const { return 42; }
  int FLevel = 3;
  TSet<TUtilOption> FOptions{uoSecond};
  TObject* FPartner = nullptr;
  int SetCount = 0;
};

void PublishUtilTarget() {
  static bool Done = false;
  if (Done) return;
  Done = true;
  TPublisher<TUtilTarget> P;
  P.Ordinal("Level", &TUtilTarget::Level, &TUtilTarget::SetLevel);
  P.Ordinal("Fixed", &TUtilTarget::Fixed);
  P.Set("Options", &TUtilTarget::Options, &TUtilTarget::SetOptions, {"uoFirst", "uoSecond", "uoThird"});
  P.Object("Partner", &TUtilTarget::Partner);
}

}  // namespace

TEST(VclUtilsProps, OrdinalsByName) {
  PublishUtilTarget();
  TUtilTarget T;
  EXPECT_TRUE(HasProperty(&T, "level"));
  EXPECT_FALSE(HasProperty(&T, "Nothing"));
  EXPECT_FALSE(HasProperty(nullptr, "Level"));
  EXPECT_EQ(GetOrdPropByName(&T, "Level"), 3);
  EXPECT_EQ(GetOrdPropByName(&T, "Nothing"), -1);
  EXPECT_EQ(GetOrdPropByName(&T, "Partner"), -1);  // not an ordinal
  SetOrdPropByName(&T, "Level", 8);
  EXPECT_EQ(T.Level(), 8);
  SetOrdPropByName(&T, "Nothing", 8);  // ignored
  SetOrdPropByName(&T, "Fixed", 8);    // read-only: ignored
  EXPECT_EQ(GetOrdPropByName(&T, "Options"), 2);
}

TEST(VclUtilsProps, ObjectsByName) {
  PublishUtilTarget();
  TUtilTarget T, Other;
  EXPECT_EQ(GetObjectPropByName(&T, "Partner"), nullptr);
  T.FPartner = &Other;
  EXPECT_EQ(GetObjectPropByName(&T, "Partner"), &Other);
  EXPECT_EQ(GetObjectPropByName(&T, "Level"), nullptr);
  EXPECT_EQ(GetObjectPropByName(&T, "Nothing"), nullptr);
}

TEST(VclUtilsProps, SetMembershipUsesTheExactElementName) {
  PublishUtilTarget();
  TUtilTarget T;
  EXPECT_TRUE(SetPropContains(&T, "Options", "uoSecond"));
  EXPECT_FALSE(SetPropContains(&T, "Options", "uosecond"));
  EXPECT_FALSE(SetPropContains(&T, "Options", "uoFirst"));
  EXPECT_FALSE(SetPropContains(&T, "Level", "uoSecond"));
  EXPECT_FALSE(SetPropContains(&T, "Nothing", "uoSecond"));
}

TEST(VclUtilsProps, ChangeSetPropEditsTheText) {
  PublishUtilTarget();
  TUtilTarget T;
  T.FOptions = {};
  ChangeSetProp(&T, "Options", "uoThird", true);  // "uoThird," from an empty text
  EXPECT_EQ(T.Options(), TSet<TUtilOption>{uoThird});
  ChangeSetProp(&T, "Options", "uoFirst", true);
  EXPECT_EQ(T.Options(), (TSet<TUtilOption>{uoFirst, uoThird}));
  ChangeSetProp(&T, "Options", "uoThird", false);  // removes ",uoThird"
  EXPECT_EQ(T.Options(), TSet<TUtilOption>{uoFirst});
  ChangeSetProp(&T, "Options", "uoFirst", false);  // removes the name alone
  EXPECT_TRUE(T.Options().Empty());
  const int Writes = T.SetCount;
  ChangeSetProp(&T, "Options", "uoSecond", false);  // not there: nothing is written
  EXPECT_EQ(T.SetCount, Writes);
  ChangeSetProp(&T, "Nothing", "uoSecond", true);
  EXPECT_EQ(T.SetCount, Writes);
}
