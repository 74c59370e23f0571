// Text conversions: integers, floats, rounding, Booleans, dates and times, GUIDs, format settings.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <limits>
#include <set>

#include "framework/Convert.h"
#include "framework/Exceptions.h"

namespace {

// The message of the EConvertError that F raises; fails the test when F raises nothing.
template <class F>
AnsiString ConvertErrorOf(F&& Fn) {
  try {
    Fn();
  } catch (const EConvertError& e) {
    return e.Message;
  }
  ADD_FAILURE() << "no EConvertError raised";
  return AnsiString();
}

const TFormatSettings kPinned = PinnedFormatSettings();

TFormatSettings CommaDecimal() {
  TFormatSettings fs = PinnedFormatSettings();
  fs.DecimalSeparator = ',';
  return fs;
}

}  // namespace

// ---- Integers --------------------------------------------------------------------------------

TEST(ConvertInteger, DecimalForms) {
  EXPECT_EQ(StrToInt("0"), 0);
  EXPECT_EQ(StrToInt("123"), 123);
  EXPECT_EQ(StrToInt("007"), 7);
  EXPECT_EQ(StrToInt("-0"), 0);
  EXPECT_EQ(StrToInt("+5"), 5);
  EXPECT_EQ(StrToInt("-17"), -17);
  EXPECT_EQ(StrToInt("   42"), 42);
  EXPECT_EQ(StrToInt(" -9"), -9);
  EXPECT_EQ(StrToInt("0000000000000000000001"), 1);
}

TEST(ConvertInteger, HexadecimalForms) {
  EXPECT_EQ(StrToInt("$1F"), 31);
  EXPECT_EQ(StrToInt("$1f"), 31);
  EXPECT_EQ(StrToInt("x1F"), 31);
  EXPECT_EQ(StrToInt("X1f"), 31);
  EXPECT_EQ(StrToInt("0x1F"), 31);
  EXPECT_EQ(StrToInt("0XaB"), 171);
  EXPECT_EQ(StrToInt("-$10"), -16);
  EXPECT_EQ(StrToInt("+0x10"), 16);
  EXPECT_EQ(StrToInt(" $0"), 0);
  EXPECT_EQ(StrToInt("$7FFFFFFF"), INT_MAX);
  EXPECT_EQ(StrToInt("$80000000"), INT_MIN);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt("0xffffffff"), -1);
  EXPECT_EQ(StrToInt("-$FFFFFFFF"), 1);
  // Leading zeros do not count against the 32 bits.
  EXPECT_EQ(StrToInt("$000000001"), 1);
}

TEST(ConvertInteger, RangeLimits) {
  EXPECT_EQ(StrToInt("2147483647"), INT_MAX);
  EXPECT_EQ(StrToInt("-2147483648"), INT_MIN);
  int v = 5;
  EXPECT_FALSE(TryStrToInt("2147483648", v));
  EXPECT_FALSE(TryStrToInt("-2147483649", v));
  EXPECT_FALSE(TryStrToInt("99999999999999999999", v));
  EXPECT_FALSE(TryStrToInt("$100000000", v));
  EXPECT_FALSE(TryStrToInt("0x123456789", v));
  EXPECT_EQ(v, 5);  // untouched by failures
}

TEST(ConvertInteger, MalformedTextFails) {
  for (const char* s : {"", " ", "+", "-", "$", "x", "0x", "-$", "12 ", "1 2", "12a", "a12", "--1", "+-1", "$-1",
                        "1.0", "1e3", "0x1G", "$ 1", "- 1", "1,000", "0b1"}) {
    int v = 0;
    EXPECT_FALSE(TryStrToInt(s, v)) << "'" << s << "'";
  }
  int v;
  EXPECT_FALSE(TryStrToInt(AnsiString("1\0", 2), v));
  // Only spaces may lead a number: a tab, a line end, NUL or another control byte is text (the
  // same for the grid's integer and floating point cells).
  double d;
  for (const AnsiString& s : {AnsiString("\t9"), AnsiString("\r\n9"), AnsiString("\0" "9", 2), AnsiString("\x01" "9")}) {
    EXPECT_FALSE(TryStrToInt(s, v)) << "'" << s << "'";
    EXPECT_FALSE(TryStrToFloat(s, d, kPinned)) << "'" << s << "'";
  }
}

TEST(ConvertInteger, ErrorTextsAndDefaults) {
  EXPECT_EQ(ConvertErrorOf([] { StrToInt("abc"); }), "'abc' is not a valid integer value");
  EXPECT_EQ(ConvertErrorOf([] { StrToInt(""); }), "'' is not a valid integer value");
  EXPECT_EQ(ConvertErrorOf([] { StrToInt("12 "); }), "'12 ' is not a valid integer value");
  EXPECT_EQ(ConvertErrorOf([] { StrToInt64("b|3"); }), "'b|3' is not a valid integer value");
  EXPECT_EQ(StrToIntDef("x", 7), 7);
  EXPECT_EQ(StrToIntDef("$10", 7), 16);
  EXPECT_EQ(StrToInt64Def("", -1), -1);
}

TEST(ConvertErrors, ALongTextIsQuotedWithItsFirst200CharactersAndAnEllipsis) {
  const AnsiString Long = "x" + AnsiString(3000000, '7');
  const AnsiString Kept = Long.substr(0, 200);
  // The message expected: Text quoted, then Rest.
  auto Quoted = [](const AnsiString& Text, const char* Rest) { return AnsiString("'").append(Text).append(Rest); };
  // The message, or its length only when it is far too long to print.
  auto Shown = [](const AnsiString& M) { return M.size() < 400 ? M : std::to_string(M.size()).append(" bytes"); };
  EXPECT_EQ(Shown(ConvertErrorOf([&] { StrToInt(Long); })), Quoted(Kept, "...' is not a valid integer value"));
  EXPECT_EQ(Shown(ConvertErrorOf([&] { StrToFloat(Long, PinnedFormatSettings()); })),
            Quoted(Kept, "...' is not a valid floating point value"));
  EXPECT_EQ(Shown(ConvertErrorOf([&] { StrToBool(Long); })), Quoted(Kept, "...' is not a valid boolean value"));
  EXPECT_EQ(Shown(ConvertErrorOf([&] { StringToGUID(Long); })), Quoted(Kept, "...' is not a valid GUID value"));
  // 200 characters are still quoted whole.
  EXPECT_EQ(ConvertErrorOf([&] { StrToInt(Kept); }), Quoted(Kept, "' is not a valid integer value"));
}

TEST(ConvertInteger, SixtyFourBits) {
  EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(StrToInt64("$FFFFFFFF"), 4294967295LL);
  EXPECT_EQ(StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(StrToInt64("-0x10"), -16);
  std::int64_t v = 3;
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", v));
  EXPECT_FALSE(TryStrToInt64("-9223372036854775809", v));
  EXPECT_FALSE(TryStrToInt64("$10000000000000000", v));
  EXPECT_EQ(v, 3);
}

TEST(ConvertInteger, ToText) {
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-42), "-42");
  EXPECT_EQ(IntToStr(INT_MIN), "-2147483648");
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(IntToStr(4294967295u), "4294967295");
  EXPECT_EQ(IntToStr(static_cast<long>(-5)), "-5");
  EXPECT_EQ(IntToStr(static_cast<short>(-3)), "-3");
  EXPECT_EQ(UIntToStr(UINT64_MAX), "18446744073709551615");

  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(0xABCDEF, 2), "ABCDEF");
  EXPECT_EQ(IntToHex(0, 0), "0");
  EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
  EXPECT_EQ(IntToHex(static_cast<std::int64_t>(-1), 1), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(IntToHex(0xFFFFFFFFu, 1), "FFFFFFFF");
  EXPECT_EQ(IntToHex(static_cast<unsigned short>(0xBEEF), 8), "0000BEEF");
  // The id written back as decimal: '007' gives '7', '$1F' gives '31'.
  EXPECT_EQ(IntToStr(StrToInt("007")), "7");
  EXPECT_EQ(IntToStr(StrToInt("$1F")), "31");
}

// ---- Floating point --------------------------------------------------------------------------

TEST(ConvertFloat, GeneralFormat) {
  EXPECT_EQ(FloatToStr(2.5, kPinned), "2.5");
  EXPECT_EQ(FloatToStr(0.1, kPinned), "0.1");
  EXPECT_EQ(FloatToStr(0.1 + 0.2, kPinned), "0.3");
  EXPECT_EQ(FloatToStr(100, kPinned), "100");
  EXPECT_EQ(FloatToStr(-1.25, kPinned), "-1.25");
  EXPECT_EQ(FloatToStr(-0.0, kPinned), "0");
  EXPECT_EQ(FloatToStr(0.0, kPinned), "0");
  EXPECT_EQ(FloatToStr(1.0 / 3, kPinned), "0.333333333333333");
  EXPECT_EQ(FloatToStr(2.0 / 3, kPinned), "0.666666666666667");
  EXPECT_EQ(FloatToStr(-2.0 / 3, kPinned), "-0.666666666666667");
  EXPECT_EQ(FloatToStr(123456.789, kPinned), "123456.789");
}

TEST(ConvertFloat, FixedOrScientificByExponent) {
  EXPECT_EQ(FloatToStr(1e14, kPinned), "100000000000000");
  EXPECT_EQ(FloatToStr(999999999999999.0, kPinned), "999999999999999");
  EXPECT_EQ(FloatToStr(1e15, kPinned), "1E15");
  EXPECT_EQ(FloatToStr(1e20, kPinned), "1E20");
  EXPECT_EQ(FloatToStr(-1e20, kPinned), "-1E20");
  EXPECT_EQ(FloatToStr(123456789012345678.0, kPinned), "1.23456789012346E17");
  // Rounding to 15 digits can move the value to the next power of ten.
  EXPECT_EQ(FloatToStr(9999999999999999.0, kPinned), "1E16");
  EXPECT_EQ(FloatToStr(0.0001, kPinned), "0.0001");
  EXPECT_EQ(FloatToStr(0.00012345, kPinned), "0.00012345");
  EXPECT_EQ(FloatToStr(0.00001, kPinned), "1E-5");
  EXPECT_EQ(FloatToStr(1.5e-5, kPinned), "1.5E-5");
  EXPECT_EQ(FloatToStr(1e-300, kPinned), "1E-300");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::max(), kPinned), "1.79769313486232E308");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN(), kPinned), "NAN");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::infinity(), kPinned), "INF");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity(), kPinned), "-INF");
}

TEST(ConvertFloat, DecimalSeparatorFromSettings) {
  const TFormatSettings fs = CommaDecimal();
  EXPECT_EQ(FloatToStr(2.5, fs), "2,5");
  EXPECT_EQ(FloatToStr(1.5e-5, fs), "1,5E-5");
  EXPECT_DOUBLE_EQ(StrToFloat("2,5", fs), 2.5);
  double v = 9;
  EXPECT_FALSE(TryStrToFloat("2.5", v, fs));
  EXPECT_FALSE(TryStrToFloat("2,5", v, kPinned));
  EXPECT_EQ(v, 9);
}

TEST(ConvertFloat, Parsing) {
  EXPECT_EQ(StrToFloat(" 2.5 ", kPinned), 2.5);
  EXPECT_EQ(StrToFloat("-1e3", kPinned), -1000);
  EXPECT_EQ(StrToFloat("+1E+2", kPinned), 100);
  EXPECT_EQ(StrToFloat("1.5e-5", kPinned), 1.5e-5);
  EXPECT_EQ(StrToFloat(".5", kPinned), 0.5);
  EXPECT_EQ(StrToFloat("5.", kPinned), 5);
  EXPECT_EQ(StrToFloat("007", kPinned), 7);
  EXPECT_EQ(StrToFloat("0.000", kPinned), 0);
  EXPECT_EQ(StrToFloat("1e-400", kPinned), 0);  // underflow reads as zero
  EXPECT_EQ(StrToFloat("123456789012345678901234567890", kPinned), 123456789012345678901234567890.0);
  EXPECT_EQ(StrToFloat("1.7976931348623157e308", kPinned), std::numeric_limits<double>::max());
  for (const char* s : {"", " ", ".", "-", "+.", "e5", "1e", "1e+", "1.2.3", "1 2", "0x10", "$10", "NAN", "INF",
                        "1e400", "-1e400", "1,5", "1e5.5", "--1", "2.5x"}) {
    double v = 0;
    EXPECT_FALSE(TryStrToFloat(s, v, kPinned)) << "'" << s << "'";
  }
  EXPECT_EQ(ConvertErrorOf([] { StrToFloat("abc", kPinned); }), "'abc' is not a valid floating point value");
  EXPECT_EQ(ConvertErrorOf([] { StrToFloat("", kPinned); }), "'' is not a valid floating point value");
  EXPECT_EQ(StrToFloatDef("x", 1.5, kPinned), 1.5);
}

TEST(ConvertFloat, TextRoundTrips) {
  for (double v : {0.1, 2.5, -3.14159265358979, 123.456, 1e-10, 9.87654321e100, 1e15, 1.5e-5, 0.0001, 42.0,
                   -7.25e-200, 100000000000000.0}) {
    EXPECT_EQ(StrToFloat(FloatToStr(v, kPinned), kPinned), v) << v;
    EXPECT_EQ(StrToFloat(FloatToStr(v, CommaDecimal()), CommaDecimal()), v) << v;
  }
}

TEST(ConvertFloat, RoundTiesToEven) {
  EXPECT_EQ(Round(2.5), 2);
  EXPECT_EQ(Round(3.5), 4);
  EXPECT_EQ(Round(-2.5), -2);
  EXPECT_EQ(Round(-3.5), -4);
  EXPECT_EQ(Round(0.5), 0);
  EXPECT_EQ(Round(1.5), 2);
  EXPECT_EQ(Round(-0.5), 0);
  EXPECT_EQ(Round(2.4999999), 2);
  EXPECT_EQ(Round(2.5000001), 3);
  EXPECT_EQ(Round(-0.6), -1);
  EXPECT_EQ(Round(-0.4), 0);
  EXPECT_EQ(Round(1e15 + 0.5), 1000000000000000LL);
  EXPECT_EQ(Round(4503599627370497.0), 4503599627370497LL);
  EXPECT_EQ(Round(9.0e18), 9000000000000000000LL);
  EXPECT_THROW(Round(1e19), ERangeError);
  EXPECT_THROW(Round(std::numeric_limits<double>::quiet_NaN()), ERangeError);
  EXPECT_THROW(Round(-std::numeric_limits<double>::infinity()), ERangeError);
}

TEST(ConvertFloat, Trunc) {
  EXPECT_EQ(Trunc(2.7), 2);
  EXPECT_EQ(Trunc(-2.7), -2);
  EXPECT_EQ(Trunc(-0.9), 0);
  EXPECT_EQ(Trunc(-9.2e18), -9200000000000000000LL);
  EXPECT_THROW(Trunc(9.3e18), ERangeError);
  EXPECT_THROW(Trunc(std::numeric_limits<double>::quiet_NaN()), ERangeError);
}

// ---- Booleans --------------------------------------------------------------------------------

TEST(ConvertBoolean, ToText) {
  EXPECT_EQ(BoolToStr(true), "-1");
  EXPECT_EQ(BoolToStr(false), "0");
  EXPECT_EQ(BoolToStr(true, true), "True");
  EXPECT_EQ(BoolToStr(false, true), "False");
}

TEST(ConvertBoolean, WordsAndNumbers) {
  for (const char* s : {"True", "TRUE", "true", "tRuE", "1", "-1", " 7 ", "1e3"}) EXPECT_TRUE(StrToBool(s)) << s;
  // Numbers are read with the global settings' decimal separator.
  EXPECT_TRUE(StrToBool(FloatToStr(0.5)));
  for (const char* s : {"False", "FALSE", "false", "0", "-0", "0e5", " 0 "}) EXPECT_FALSE(StrToBool(s)) << s;
  for (const char* s : {"", "yes", "no", "T", "F", " True", "True ", "Truee", "1a"}) {
    bool b = true;
    EXPECT_FALSE(TryStrToBool(s, b)) << "'" << s << "'";
    EXPECT_TRUE(b);
  }
  EXPECT_EQ(ConvertErrorOf([] { StrToBool("yes"); }), "'yes' is not a valid boolean value");
  EXPECT_EQ(ConvertErrorOf([] { StrToBool(""); }), "'' is not a valid boolean value");
  EXPECT_TRUE(StrToBoolDef("maybe", true));
  EXPECT_FALSE(StrToBoolDef("false", true));
}

// ---- Dates and times -------------------------------------------------------------------------

TEST(ConvertDate, EncodeKnownDays) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1899, 12, 31), 1);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
  EXPECT_EQ(EncodeDate(1900, 3, 1), 61);  // 1900 is not a leap year
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
  EXPECT_EQ(EncodeDate(2024, 3, 5), 45356);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465);
  EXPECT_EQ(EncodeDate(2024, 2, 29) - EncodeDate(2024, 2, 28), 1);
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2100));
  EXPECT_TRUE(IsLeapYear(2024));
}

TEST(ConvertDate, EncodeRejectsInvalidDates) {
  TDateTime d = 123;
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, d));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, d));
  EXPECT_FALSE(TryEncodeDate(2000, 13, 1, d));
  EXPECT_FALSE(TryEncodeDate(2000, 0, 1, d));
  EXPECT_FALSE(TryEncodeDate(2000, 4, 31, d));
  EXPECT_FALSE(TryEncodeDate(2000, 4, 0, d));
  EXPECT_EQ(d, 123);
  EXPECT_EQ(ConvertErrorOf([] { EncodeDate(2023, 2, 29); }), "Invalid argument to date encode");
  EXPECT_EQ(ConvertErrorOf([] { EncodeTime(24, 0, 0, 0); }), "Invalid argument to time encode");
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, d));
  EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, d));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, d));
}

TEST(ConvertDate, DecodeRoundTripsEveryPartOfTheRange) {
  Word y, m, d;
  for (int day = -693593; day <= 2958465; day += 97) {
    DecodeDate(day, y, m, d);
    ASSERT_EQ(EncodeDate(y, m, d), day) << y << "-" << m << "-" << d;
  }
  // Month and year ends around leap days.
  for (int year : {1600, 1700, 1899, 1900, 2000, 2023, 2024, 2100, 9999}) {
    for (int day = static_cast<int>(EncodeDate(static_cast<Word>(year), 1, 1)) - 1;
         day <= static_cast<int>(EncodeDate(static_cast<Word>(year), 12, 31)); ++day) {
      DecodeDate(day, y, m, d);
      ASSERT_EQ(EncodeDate(y, m, d), day);
    }
  }
  DecodeDate(EncodeDate(2024, 2, 29), y, m, d);
  EXPECT_EQ((std::array<int, 3>{y, m, d}), (std::array<int, 3>{2024, 2, 29}));
  DecodeDate(2958465.5, y, m, d);
  EXPECT_EQ((std::array<int, 3>{y, m, d}), (std::array<int, 3>{9999, 12, 31}));
}

TEST(ConvertDate, TimeEncodeDecode) {
  EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_EQ(EncodeTime(6, 0, 0, 0), 0.25);
  Word h, n, s, z;
  for (int ms = 0; ms < 86400000; ms += 86399) {
    TDateTime t = EncodeTime(static_cast<Word>(ms / 3600000), static_cast<Word>(ms / 60000 % 60),
                             static_cast<Word>(ms / 1000 % 60), static_cast<Word>(ms % 1000));
    DecodeTime(45356 + t, h, n, s, z);
    ASSERT_EQ(((h * 60 + n) * 60 + s) * 1000 + z, ms);
  }
  DecodeTime(EncodeTime(23, 59, 59, 999), h, n, s, z);
  EXPECT_EQ((std::array<int, 4>{h, n, s, z}), (std::array<int, 4>{23, 59, 59, 999}));
}

TEST(ConvertDate, NegativeAndFractionalDays) {
  Word y, m, d, h, n, s, z;
  // The integer part is the date; the magnitude of the fraction is the time of day.
  DecodeDate(-1.25, y, m, d);
  DecodeTime(-1.25, h, n, s, z);
  EXPECT_EQ((std::array<int, 5>{y, m, d, h, n}), (std::array<int, 5>{1899, 12, 29, 6, 0}));
  DecodeDate(-0.5, y, m, d);
  DecodeTime(-0.5, h, n, s, z);
  EXPECT_EQ((std::array<int, 4>{y, m, d, h}), (std::array<int, 4>{1899, 12, 30, 12}));
  // Less than half a millisecond before midnight carries into the next day.
  DecodeDate(10.9999999999, y, m, d);
  DecodeTime(10.9999999999, h, n, s, z);
  EXPECT_EQ((std::array<int, 6>{y, m, d, h, n, s}), (std::array<int, 6>{1900, 1, 10, 0, 0, 0}));
  EXPECT_EQ(DateTimeToStr(-1.25, kPinned), "29.12.1899 06:00:00");
}

TEST(ConvertDate, DecodeOutsideTheRangeRaises) {
  Word y, m, d;
  EXPECT_EQ(ConvertErrorOf([&] { DecodeDate(1e10, y, m, d); }), "'10000000000' is not a valid date and time");
  EXPECT_EQ(ConvertErrorOf([&] { DecodeDate(-693594.0, y, m, d); }), "'-693594' is not a valid date and time");
  EXPECT_EQ(ConvertErrorOf([&] { DecodeDate(2958466.0, y, m, d); }), "'2958466' is not a valid date and time");
  EXPECT_THROW(DateTimeToStr(std::numeric_limits<double>::quiet_NaN(), kPinned), EConvertError);
  EXPECT_THROW(DayOfWeek(std::numeric_limits<double>::infinity()), EConvertError);
}

TEST(ConvertDate, DayOfWeek) {
  EXPECT_EQ(DayOfWeek(0), 7);                       // 1899-12-30 was a Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 1)), 2);  // Monday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 3) + 0.75), 1);
}

TEST(ConvertDate, DateTimeTextOmitsMidnight) {
  const TDateTime d = EncodeDate(2024, 3, 5);
  EXPECT_EQ(DateTimeToStr(d, kPinned), "05.03.2024");
  EXPECT_EQ(DateTimeToStr(d + EncodeTime(7, 8, 9, 0), kPinned), "05.03.2024 07:08:09");
  EXPECT_EQ(DateTimeToStr(d + EncodeTime(0, 0, 1, 0), kPinned), "05.03.2024 00:00:01");
  // Milliseconds alone do not count as a time.
  EXPECT_EQ(DateTimeToStr(d + EncodeTime(0, 0, 0, 500), kPinned), "05.03.2024");
  EXPECT_EQ(DateTimeToStr(0.5, kPinned), "30.12.1899 12:00:00");
  EXPECT_EQ(DateTimeToStr(0, kPinned), "30.12.1899");
  EXPECT_EQ(DateToStr(d + 0.5, kPinned), "05.03.2024");
  EXPECT_EQ(TimeToStr(d + 0.5, kPinned), "12:00:00");
  EXPECT_EQ(TimeToStr(d, kPinned), "00:00:00");
}

TEST(ConvertDate, FormatDateTimePictures) {
  const TDateTime dt = EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9, 45);
  const TDateTime pm = EncodeDate(2024, 3, 5) + EncodeTime(13, 4, 0, 0);
  const TDateTime midnight = EncodeDate(2024, 3, 5) + EncodeTime(0, 30, 0, 0);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", dt, kPinned), "2024-03-05 07:08:09.045");
  EXPECT_EQ(FormatDateTime("d/m/yy h:n:s z", dt, kPinned), "5.3.24 7:8:9 45");
  EXPECT_EQ(FormatDateTime("YYYY MM DD", dt, kPinned), "2024 03 05");
  EXPECT_EQ(FormatDateTime("hh:mm", dt, kPinned), "07:08");  // m right after h is the minute
  EXPECT_EQ(FormatDateTime("mm hh", dt, kPinned), "03 07");
  EXPECT_EQ(FormatDateTime("mmm mmmm ddd dddd", dt, kPinned), "Mar March Tue Tuesday");
  EXPECT_EQ(FormatDateTime("h am/pm", pm, kPinned), "1 pm");
  EXPECT_EQ(FormatDateTime("h AM/PM", dt, kPinned), "7 AM");
  EXPECT_EQ(FormatDateTime("hh:nn a/p", midnight, kPinned), "12:30 a");
  EXPECT_EQ(FormatDateTime("h A/P", pm, kPinned), "1 P");
  EXPECT_EQ(FormatDateTime("hh ampm", pm, kPinned), "01 PM");
  EXPECT_EQ(FormatDateTime("hh", pm, kPinned), "13");  // no marker: 24-hour clock
  EXPECT_EQ(FormatDateTime("'at' hh \"h\"", dt, kPinned), "at 07 h");
  EXPECT_EQ(FormatDateTime("[x] 'open", dt, kPinned), "[x] open");
  EXPECT_EQ(FormatDateTime("ddddd|dddddd", dt, kPinned), "05.03.2024|5 March 2024");
  EXPECT_EQ(FormatDateTime("t|tt", dt, kPinned), "07:08|07:08:09");
  EXPECT_EQ(FormatDateTime("c", dt, kPinned), "05.03.2024 07:08:09");
  EXPECT_EQ(FormatDateTime("yyyy", EncodeDate(1, 1, 1), kPinned), "0001");
  EXPECT_EQ(FormatDateTime("", dt, kPinned), "");

  TFormatSettings fs = PinnedFormatSettings();
  fs.DateSeparator = '/';
  fs.TimeSeparator = '-';
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", dt, fs), "05/03/2024 07-08");
  // A picture that names itself stops nesting instead of recursing for ever.
  fs.ShortDateFormat = "ddddd";
  EXPECT_EQ(FormatDateTime("ddddd", dt, fs), "");
}

TEST(ConvertDate, ParseDates) {
  const TDateTime d = EncodeDate(2024, 3, 5);
  EXPECT_EQ(StrToDate("05.03.2024", kPinned), d);
  EXPECT_EQ(StrToDate("5.3.2024", kPinned), d);
  EXPECT_EQ(StrToDate(" 5 . 3 . 2024 ", kPinned), d);
  EXPECT_EQ(StrToDate("5.3.2024.", kPinned), d);
  EXPECT_EQ(StrToDate("01.01.0001", kPinned), -693593);
  Word y, m, dd;
  DecodeDate(Date(), y, m, dd);
  EXPECT_EQ(StrToDate("5.3", kPinned), EncodeDate(y, 3, 5));

  TFormatSettings mdy = PinnedFormatSettings();
  mdy.ShortDateFormat = "m/d/yyyy";
  mdy.DateSeparator = '/';
  EXPECT_EQ(StrToDate("3/5/2024", mdy), d);
  TFormatSettings ymd = PinnedFormatSettings();
  ymd.ShortDateFormat = "yyyy-mm-dd";
  ymd.DateSeparator = '-';
  EXPECT_EQ(StrToDate("2024-03-05", ymd), d);

  for (const char* s : {"", "abc", "5", "5.", "31.2.2024", "5-3-2024", "5.3.2024x", "5.3.10000", "0.3.2024",
                        "5.13.2024", "5..2024", "5.3.2024 10:00"}) {
    TDateTime v = 0;
    EXPECT_FALSE(TryStrToDate(s, v, kPinned)) << "'" << s << "'";
  }
  EXPECT_EQ(ConvertErrorOf([] { StrToDate("abc", kPinned); }), "'abc' is not a valid date");
}

TEST(ConvertDate, TwoDigitYearsFollowTheCenturyWindow) {
  Word cy, cm, cd;
  DecodeDate(Date(), cy, cm, cd);
  Word y, m, d;
  DecodeDate(StrToDate("5.3.24", kPinned), y, m, d);
  const int base = cy - kPinned.TwoDigitYearCenturyWindow;
  EXPECT_EQ(y % 100, 24);
  EXPECT_GE(y, base);
  EXPECT_LT(y, base + 100);

  TFormatSettings fs = PinnedFormatSettings();
  fs.TwoDigitYearCenturyWindow = 0;
  DecodeDate(StrToDate("5.3.99", fs), y, m, d);
  EXPECT_EQ(y, cy / 100 * 100 + 99);
  // Three digits are taken as written.
  DecodeDate(StrToDate("5.3.024", kPinned), y, m, d);
  EXPECT_EQ(y, 24);
}

TEST(ConvertDate, ParseTimes) {
  EXPECT_EQ(StrToTime("10:20:30", kPinned), EncodeTime(10, 20, 30, 0));
  EXPECT_EQ(StrToTime("10:20", kPinned), EncodeTime(10, 20, 0, 0));
  EXPECT_EQ(StrToTime("10", kPinned), EncodeTime(10, 0, 0, 0));
  EXPECT_EQ(StrToTime("10:20:30.456", kPinned), EncodeTime(10, 20, 30, 456));
  EXPECT_EQ(StrToTime(" 1:05 PM ", kPinned), EncodeTime(13, 5, 0, 0));
  EXPECT_EQ(StrToTime("1:05pm", kPinned), EncodeTime(13, 5, 0, 0));
  EXPECT_EQ(StrToTime("12:00 AM", kPinned), 0);
  EXPECT_EQ(StrToTime("12 PM", kPinned), 0.5);
  EXPECT_EQ(StrToTime("PM 3:00", kPinned), EncodeTime(15, 0, 0, 0));
  EXPECT_EQ(StrToTime("23:59:59.999", kPinned), EncodeTime(23, 59, 59, 999));

  TFormatSettings fs = PinnedFormatSettings();
  fs.TimeAMString = "am";
  fs.TimePMString = "nachm";
  EXPECT_EQ(StrToTime("3:00 nachm", fs), EncodeTime(15, 0, 0, 0));

  for (const char* s : {"", "x", "13:00 PM", "0:00 AM", "24:00", "10:60", "10:00:60", "10:", "10:20x", "10:20:30.",
                        "10:20:30.1000", ":10", "10 20"}) {
    TDateTime v = 0;
    EXPECT_FALSE(TryStrToTime(s, v, kPinned)) << "'" << s << "'";
  }
  EXPECT_EQ(ConvertErrorOf([] { StrToTime("x", kPinned); }), "'x' is not a valid time");
}

TEST(ConvertDate, ParseDateAndTime) {
  const TDateTime d = EncodeDate(2024, 3, 5);
  EXPECT_EQ(StrToDateTime("05.03.2024 07:08:09", kPinned), d + EncodeTime(7, 8, 9, 0));
  EXPECT_EQ(StrToDateTime("05.03.2024", kPinned), d);
  EXPECT_EQ(StrToDateTime("07:08", kPinned), EncodeTime(7, 8, 0, 0));
  EXPECT_EQ(StrToDateTime("5.3.2024 1:00 PM", kPinned), d + EncodeTime(13, 0, 0, 0));
  // Before 1899-12-30 the time of day counts away from zero.
  EXPECT_EQ(StrToDateTime("29.12.1899 06:00", kPinned), -1.25);
  for (const char* s : {"", "not a date", "05.03.2024 25:00", "05.03.2024 07:08 x", "05.03.2024x"}) {
    TDateTime v = 0;
    EXPECT_FALSE(TryStrToDateTime(s, v, kPinned)) << "'" << s << "'";
  }
  EXPECT_EQ(ConvertErrorOf([] { StrToDateTime("not a date", kPinned); }), "'not a date' is not a valid date and time");
}

TEST(ConvertDate, TextRoundTrips) {
  // A date and a time of day as one value: before 1899-12-30 the time counts away from zero.
  auto at = [](TDateTime D, TDateTime T) { return D < 0 ? D - T : D + T; };
  for (TDateTime dt : {EncodeDate(2024, 3, 5), at(EncodeDate(2024, 3, 5), EncodeTime(23, 59, 59, 0)),
                       at(EncodeDate(1, 1, 1), EncodeTime(0, 0, 1, 0)), EncodeDate(9999, 12, 31) + 0.5,
                       at(EncodeDate(1850, 6, 1), EncodeTime(18, 0, 0, 0)), at(EncodeDate(1899, 12, 29), 0.25)}) {
    EXPECT_EQ(StrToDateTime(DateTimeToStr(dt, kPinned), kPinned), dt) << DateTimeToStr(dt, kPinned);
  }
}

TEST(ConvertDate, ClockIsConsistent) {
  const TDateTime before = Now();
  const TDateTime today = Date();
  const TDateTime time = Time();
  EXPECT_EQ(today, std::floor(today));
  EXPECT_GE(time, 0);
  EXPECT_LT(time, 1);
  EXPECT_GE(today, std::floor(before));
  EXPECT_GT(today, EncodeDate(2020, 1, 1));
}

// ---- GUIDs -----------------------------------------------------------------------------------

TEST(ConvertGUID, TextForm) {
  const TGUID g{0x7FD52380, 0x4E07, 0x101B, {0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}};
  const AnsiString s = GUIDToString(g);
  EXPECT_EQ(s, "{7FD52380-4E07-101B-AE2D-08002B2EC713}");
  EXPECT_EQ(s.size(), 38u);
  EXPECT_EQ(StringToGUID(s), g);
  EXPECT_EQ(StringToGUID("{7fd52380-4e07-101b-ae2d-08002b2ec713}"), g);
  EXPECT_EQ(GUIDToString(TGUID{}), "{00000000-0000-0000-0000-000000000000}");
}

TEST(ConvertGUID, MalformedTextFails) {
  for (const char* s : {"", "7FD52380-4E07-101B-AE2D-08002B2EC713", "{7FD52380-4E07-101B-AE2D-08002B2EC713",
                        "{7FD52380-4E07-101B-AE2D-08002B2EC7133}", "{7FD52380-4E07-101B-AE2D-08002B2EC71}",
                        "{7FD52380-4E07-101B-AE2D08002B2EC7131}", "{7FD5238G-4E07-101B-AE2D-08002B2EC713}",
                        "{7FD52380-4E07-101B-AE2D-08002B2EC71G}", " {7FD52380-4E07-101B-AE2D-08002B2EC713}",
                        "(7FD52380-4E07-101B-AE2D-08002B2EC713)", "{7FD52380 4E07-101B-AE2D-08002B2EC713}",
                        "{+FD52380-4E07-101B-AE2D-08002B2EC713}"}) {
    TGUID g;
    EXPECT_FALSE(TryStringToGUID(s, g)) << s;
  }
  EXPECT_EQ(ConvertErrorOf([] { StringToGUID("{bad}"); }), "'{bad}' is not a valid GUID value");
}

TEST(ConvertGUID, CreatedGUIDsAreDistinctAndRoundTrip) {
  std::set<AnsiString> seen;
  for (int i = 0; i < 50; ++i) {
    const TGUID g = CreateGUID();
    const AnsiString s = GUIDToString(g);
    EXPECT_EQ(StringToGUID(s), g);
    EXPECT_TRUE(seen.insert(s).second) << s;
    EXPECT_EQ(g.D3 >> 12, 4) << s;  // random (version 4) GUIDs
  }
}

#ifdef _WIN32
TEST(ConvertGUID, PlatformGUIDHasTheSameLayout) {
  const GUID iid = {0x7FD52380, 0x4E07, 0x101B, {0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}};
  const TGUID g = FromGUID(iid);
  EXPECT_EQ(GUIDToString(g), "{7FD52380-4E07-101B-AE2D-08002B2EC713}");
  EXPECT_TRUE(IsEqualGUID(ToGUID(g), iid));
}
#endif

// ---- Format settings -------------------------------------------------------------------------

TEST(ConvertSettings, SystemSettingsUseTheRuntimeLetters) {
  const TFormatSettings fs = SystemFormatSettings();
  EXPECT_NE(fs.DecimalSeparator, '\0');
  EXPECT_NE(fs.DateSeparator, '\0');
  // Minutes are 'n' and no system letters ('M', 'H', 't') remain outside quotes.
  for (const AnsiString* pic : {&fs.ShortDateFormat, &fs.LongDateFormat, &fs.ShortTimeFormat, &fs.LongTimeFormat}) {
    bool quoted = false;
    for (char c : *pic) {
      if (c == '\'' || c == '"') quoted = !quoted;
      if (!quoted) {
        EXPECT_NE(c, 'M') << *pic;
        EXPECT_NE(c, 'H') << *pic;
      }
    }
  }
  AnsiString lt = fs.LongTimeFormat;
  for (std::size_t p; (p = lt.find("ampm")) != AnsiString::npos;) lt.erase(p, 4);
  EXPECT_EQ(lt.find('m'), AnsiString::npos) << fs.LongTimeFormat;
  // Text written with the system's settings reads back with them.
  const TDateTime dt = EncodeDate(2024, 3, 5) + EncodeTime(13, 4, 5, 0);
  EXPECT_EQ(StrToDateTime(DateTimeToStr(dt, fs), fs), dt) << DateTimeToStr(dt, fs);
  EXPECT_EQ(StrToFloat(FloatToStr(-12.75, fs), fs), -12.75);
  // The global settings are the system's.
  EXPECT_EQ(FormatSettings.ShortDateFormat, fs.ShortDateFormat);
  EXPECT_EQ(FloatToStr(2.5), FloatToStr(2.5, FormatSettings));
}
