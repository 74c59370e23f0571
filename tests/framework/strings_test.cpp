// Text routines: code page conversion, trimming, letter case, comparison, 1-based positions,
// replacing and file names.
#include <gtest/gtest.h>

#include <cstdio>

#include "framework/Exceptions.h"
#include "framework/Strings.h"

#ifdef _WIN32
#include <windows.h>
#endif

TEST(Strings, TrimRemovesControlCharactersAndSpacesOnly) {
  EXPECT_EQ(Trim(AnsiString(" \t\r\n ab c \x01")), "ab c");
  EXPECT_EQ(TrimLeft(AnsiString("  ab  ")), "ab  ");
  EXPECT_EQ(TrimRight(AnsiString("  ab  ")), "  ab");
  EXPECT_EQ(Trim(AnsiString("   ")), "");
  EXPECT_EQ(Trim(AnsiString("")), "");
  // Bytes above 0x7F are letters of the code page, not blanks.
  EXPECT_EQ(Trim(AnsiString("\xE0\xA0 ")), "\xE0\xA0");
  EXPECT_EQ(Trim(AnsiString(1, '\0') + "x"), "x");
  EXPECT_EQ(Trim(WideString(L"\t x y \n")), L"x y");
  EXPECT_EQ(TrimLeft(WideString(L" \x0430 ")), L"\x0430 ");
  EXPECT_EQ(TrimRight(WideString(L" \x0430 ")), L" \x0430");
}

TEST(Strings, LetterCase) {
  EXPECT_EQ(UpperCase("abc-XYZ 09\xE0"), "ABC-XYZ 09\xE0");
  EXPECT_EQ(LowerCase("ABC-xyz\xC0"), "abc-xyz\xC0");
  EXPECT_EQ(AnsiUpperCase("hello"), "HELLO");
  EXPECT_EQ(AnsiLowerCase("HeLLo"), "hello");
  EXPECT_EQ(WideUpperCase(L"grid a1"), L"GRID A1");
  EXPECT_EQ(WideLowerCase(L"GRID A1"), L"grid a1");
#ifdef _WIN32
  // Locale-aware case maps the Cyrillic letters of the wide text.
  EXPECT_EQ(WideUpperCase(L"\x0430\x0431"), L"\x0410\x0411");
#endif
}

TEST(Strings, Comparisons) {
  EXPECT_EQ(CompareStr("abc", "abc"), 0);
  EXPECT_LT(CompareStr("ABC", "abc"), 0);
  EXPECT_LT(CompareStr("ab", "abc"), 0);
  EXPECT_GT(CompareStr("abd", "abc"), 0);
  // Bytes compare unsigned: 0xE0 sorts after 'z'.
  EXPECT_GT(CompareStr("\xE0", "z"), 0);
  EXPECT_EQ(CompareText("HeLLo", "hello"), 0);
  EXPECT_LT(CompareText("apple", "Banana"), 0);
  EXPECT_GT(CompareText("abc", "AB"), 0);
  EXPECT_TRUE(SameText("Cell", "cELL"));
  EXPECT_FALSE(SameText("Cell", "Cells"));
  EXPECT_FALSE(SameText("a\xE0", "A\xC0"));  // only ASCII letters fold
  EXPECT_EQ(AnsiCompareText("Alpha", "ALPHA"), 0);
  EXPECT_LT(AnsiCompareText("alpha", "Beta"), 0);
  EXPECT_GT(AnsiCompareText("gamma", "Beta"), 0);
  EXPECT_TRUE(AnsiSameText("x", "X"));
  EXPECT_NE(AnsiCompareStr("a", "A"), 0);
  EXPECT_EQ(WideCompareText(L"Row", L"rOW"), 0);
  EXPECT_LT(WideCompareText(L"a", L"B"), 0);
  EXPECT_NE(WideCompareStr(L"a", L"A"), 0);
  EXPECT_EQ(WideCompareStr(L"same", L"same"), 0);
  EXPECT_LT(WideCompareStr(L"ab", L"abc"), 0);
  EXPECT_TRUE(WideSameText(L"Ab", L"aB"));
}

TEST(Strings, PosIsOneBasedAndZeroWhenAbsent) {
  EXPECT_EQ(Pos("|", "News|12,x"), 5);
  EXPECT_EQ(Pos("News", "News|12,x"), 1);
  EXPECT_EQ(Pos(",", "abc"), 0);
  EXPECT_EQ(Pos("", "abc"), 0);
  EXPECT_EQ(Pos("abc", "ab"), 0);
  EXPECT_EQ(Pos("x", ""), 0);
  EXPECT_EQ(Pos(WideString(L"\x0431"), WideString(L"\x0430\x0431")), 2);
  EXPECT_EQ(Pos(WideString(), WideString(L"a")), 0);
  EXPECT_EQ(PosEx("a", "banana", 3), 4);
  EXPECT_EQ(PosEx("a", "banana", 7), 0);
  EXPECT_EQ(PosEx("a", "banana", 0), 0);
  EXPECT_EQ(PosEx(WideString(L"n"), WideString(L"banana"), 4), 5);
}

TEST(Strings, CopyClampsLikeTheClassicRuntime) {
  const AnsiString s = "abcdef";
  EXPECT_EQ(Copy(s, 2, 3), "bcd");
  EXPECT_EQ(Copy(s, 0, 2), "ab");
  EXPECT_EQ(Copy(s, -5, 2), "ab");
  EXPECT_EQ(Copy(s, 5, 100), "ef");
  EXPECT_EQ(Copy(s, 6, 1), "f");
  EXPECT_EQ(Copy(s, 7, 1), "");
  EXPECT_EQ(Copy(s, 1, 0), "");
  EXPECT_EQ(Copy(s, 1, -1), "");
  EXPECT_EQ(Copy(s, 1, 0x7FFFFFFF), s);
  EXPECT_EQ(Copy(AnsiString(), 1, 1), "");
  EXPECT_EQ(Copy(WideString(L"\x0430\x0431\x0432"), 2, 5), L"\x0431\x0432");
  EXPECT_EQ(Copy(WideString(L"ab"), 3, 1), L"");
}

TEST(Strings, LastDelimiter) {
  EXPECT_EQ(LastDelimiter("\\/", "a\\b/c"), 4);
  EXPECT_EQ(LastDelimiter(".", "abc"), 0);
  EXPECT_EQ(LastDelimiter("", "abc"), 0);
}

TEST(Strings, StringReplace) {
  EXPECT_EQ(StringReplace("a-b-c", "-", "+", false, false), "a+b-c");
  EXPECT_EQ(StringReplace("a-b-c", "-", "+", true, false), "a+b+c");
  EXPECT_EQ(StringReplace("Ab ab AB", "ab", "x", true, false), "Ab x AB");
  EXPECT_EQ(StringReplace("Ab ab AB", "ab", "x", true, true), "x x x");
  EXPECT_EQ(StringReplace("Ab ab AB", "ab", "x", false, true), "x ab AB");
  // The replacement is not searched again.
  EXPECT_EQ(StringReplace("aaa", "a", "aa", true, false), "aaaaaa");
  EXPECT_EQ(StringReplace("abc", "", "x", true, false), "abc");
  EXPECT_EQ(StringReplace("abc", "abc", "", true, false), "");
  EXPECT_EQ(StringReplace("abc", "zz", "y", true, true), "abc");
  EXPECT_EQ(StringReplace(WideString(L"Row row"), WideString(L"ROW"), WideString(L"Line"), true, true),
            L"Line Line");
}

TEST(Strings, FileNameParts) {
  EXPECT_EQ(ExtractFilePath("C:\\dir\\sub\\file.txt"), "C:\\dir\\sub\\");
  EXPECT_EQ(ExtractFileName("C:\\dir\\sub\\file.txt"), "file.txt");
  EXPECT_EQ(ExtractFilePath("dir/file"), "dir/");
  EXPECT_EQ(ExtractFileName("dir/file"), "file");
  EXPECT_EQ(ExtractFilePath("C:file.txt"), "C:");
  EXPECT_EQ(ExtractFileName("C:file.txt"), "file.txt");
  EXPECT_EQ(ExtractFilePath("file.txt"), "");
  EXPECT_EQ(ExtractFileName("dir\\"), "");

  EXPECT_EQ(ExtractFileExt("C:\\dir\\file.tar.gz"), ".gz");
  EXPECT_EQ(ExtractFileExt("C:\\dir.d\\file"), "");
  EXPECT_EQ(ExtractFileExt("file."), ".");
  EXPECT_EQ(ExtractFileExt(""), "");

  EXPECT_EQ(ChangeFileExt("C:\\dir\\skin.ini", ".bak"), "C:\\dir\\skin.bak");
  EXPECT_EQ(ChangeFileExt("C:\\dir.d\\skin", ".ini"), "C:\\dir.d\\skin.ini");
  EXPECT_EQ(ChangeFileExt("a.b.c", ""), "a.b");

  EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\dir"), AnsiString("C:\\dir") + PathDelim);
  EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\dir\\"), "C:\\dir\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter("dir/"), "dir/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), AnsiString(1, PathDelim));
  EXPECT_EQ(ExcludeTrailingPathDelimiter("C:\\dir\\"), "C:\\dir");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("dir/"), "dir");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("dir"), "dir");
  EXPECT_EQ(ExcludeTrailingPathDelimiter(""), "");
}

TEST(Strings, FileSystemQueries) {
  const AnsiString dir = GetCurrentDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_TRUE(DirectoryExists(dir));
  EXPECT_FALSE(FileExists(dir));

  const AnsiString file = IncludeTrailingPathDelimiter(dir) + "strings_test_probe.tmp";
  std::remove(file.c_str());
  EXPECT_FALSE(FileExists(file));
  std::FILE* f = std::fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(DirectoryExists(file));
  std::remove(file.c_str());
  EXPECT_FALSE(FileExists(file));

  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(DirectoryExists(""));
  EXPECT_FALSE(DirectoryExists(IncludeTrailingPathDelimiter(dir) + "no such directory here"));
}

TEST(Strings, CodePageConversionOfAscii) {
  EXPECT_EQ(AnsiToWide("Channel 1|12,x"), L"Channel 1|12,x");
  EXPECT_EQ(WideToAnsi(L"Channel 1|12,x"), "Channel 1|12,x");
  EXPECT_EQ(AnsiToWide(""), L"");
  EXPECT_EQ(WideToAnsi(L""), "");
  // Embedded zero bytes are kept.
  const AnsiString z("a\0b", 3);
  EXPECT_EQ(AnsiToWide(z), WideString(L"a\0b", 3));
  EXPECT_EQ(WideToAnsi(AnsiToWide(z)), z);
}

TEST(Strings, CodePageRoundTripOfEveryByte) {
  AnsiString all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  const WideString w = AnsiToWide(all);
  EXPECT_EQ(w.size(), 256u);
  EXPECT_EQ(WideToAnsi(w), all);
#ifdef _WIN32
  // Under the project's code page 1251 the upper half is Cyrillic.
  if (GetACP() == 1251) {
    EXPECT_EQ(w[0xC0], L'\x0410');  // А
    EXPECT_EQ(w[0xFF], L'\x044F');  // я
  }
#else
  EXPECT_EQ(w[0xE9], L'\xE9');
  EXPECT_EQ(WideToAnsi(L"\x0410"), "?");
#endif
}

TEST(Strings, FormatShowsTheNulBytesOfTextArguments) {
  // A byte string holding NUL bytes appears whole: each NUL is written as \x00, nothing after it
  // is lost.
  const AnsiString Name("ab\0cd\0", 6);
  EXPECT_EQ(Format("file \"%s\" is damaged", Name), "file \"ab\\x00cd\\x00\" is damaged");
  EXPECT_EQ(Format("%s|%d|%s", AnsiString(1, '\0'), 7, AnsiString("x")), "\\x00|7|x");
  // Texts without NUL bytes are passed as they are.
  EXPECT_EQ(Format("[%s] %s", AnsiString("plain \\x00 text"), "raw"), "[plain \\x00 text] raw");
}

TEST(Strings, ShortenTextKeepsWholeCharactersAndMarksTheCut) {
  EXPECT_EQ(ShortenText(AnsiString("abcdef"), 6), "abcdef");
  EXPECT_EQ(ShortenText(AnsiString("abcdefg"), 6), "abcdef...");
  EXPECT_EQ(ShortenText(WideString(L"abcdefg"), 6), L"abcdef...");
  EXPECT_EQ(ShortenText(WideString(L"abc"), 0), L"...");
  // A character outside the basic plane is two code units: it is never split.
  EXPECT_EQ(ShortenText(WideString(L"abcde\xD83D\xDE00z"), 6), L"abcde...");
  EXPECT_EQ(ShortenText(WideString(L"abcd\xD83D\xDE00z"), 6), L"abcd\xD83D\xDE00...");
}
