// Text conversions of the runtime: integers, floating point numbers, Booleans, dates and times,
// GUIDs, and the format settings that govern them. Failures raise EConvertError with the
// runtime's message texts. Portable: the system locale, the clock and GUID creation sit behind
// _WIN32 with fixed or plain fallbacks natively.
#pragma once

#include <array>
#include <cstdint>
#include <type_traits>

#include "framework/Types.h"

#ifdef _WIN32
#include <guiddef.h>
#endif

// ---- Format settings -------------------------------------------------------------------------

// Separators, date/time pictures and names used by the conversions. Date/time pictures use the
// runtime's letters (d m y h n s z, t c, am/pm, ampm; see FormatDateTime). The member initialisers
// are the pinned values (see PinnedFormatSettings).
struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  char DateSeparator = '.';
  char TimeSeparator = ':';
  AnsiString ShortDateFormat = "dd.mm.yyyy";
  AnsiString LongDateFormat = "d mmmm yyyy";
  AnsiString ShortTimeFormat = "hh:nn";
  AnsiString LongTimeFormat = "hh:nn:ss";
  AnsiString TimeAMString = "AM";
  AnsiString TimePMString = "PM";
  // A two-digit year is placed within this many years before the current year (0: current century).
  int TwoDigitYearCenturyWindow = 50;
  std::array<AnsiString, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<AnsiString, 12> LongMonthNames{"January", "February", "March",     "April",   "May",      "June",
                                            "July",    "August",   "September", "October", "November", "December"};
  // Sunday first.
  std::array<AnsiString, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<AnsiString, 7> LongDayNames{"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
};

// The process-wide settings, read from the system at start-up (fixed pinned values natively).
extern TFormatSettings FormatSettings;
// Settings read from the user's locale on the target (GetLocaleInfoA); the pinned values natively.
TFormatSettings SystemFormatSettings();
// Fixed settings independent of the machine: '.' decimal, ',' thousands, "dd.mm.yyyy", "hh:nn:ss".
TFormatSettings PinnedFormatSettings();

// ---- Integers --------------------------------------------------------------------------------

AnsiString IntToStr(int Value);            // decimal text
AnsiString IntToStr(std::int64_t Value);   // decimal text
AnsiString UIntToStr(std::uint64_t Value); // decimal text of an unsigned value
// Decimal text of any other integer type (long, unsigned, short ...).
template <class T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
AnsiString IntToStr(T Value) {
  if constexpr (std::is_signed_v<T>) return IntToStr(static_cast<std::int64_t>(Value));
  else return UIntToStr(static_cast<std::uint64_t>(Value));
}
// Upper-case hexadecimal of the value's 32 bits, at least Digits digits (IntToHex(-1, 2) = "FFFFFFFF").
AnsiString IntToHex(int Value, int Digits);
// Upper-case hexadecimal of the value's 64 bits, at least Digits digits.
AnsiString IntToHex(std::int64_t Value, int Digits);
// Hexadecimal of any other integer type, by its own width (up to 32 or 64 bits).
template <class T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
AnsiString IntToHex(T Value, int Digits) {
  if constexpr (sizeof(T) <= 4)
    return IntToHex(static_cast<int>(static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<T>>(Value))), Digits);
  else return IntToHex(static_cast<std::int64_t>(Value), Digits);
}

// Text to a 32-bit integer: leading spaces skipped, optional '+'/'-', then "$", "x"/"X" or
// "0x"/"0X" for hexadecimal (up to 32 bits; $FFFFFFFF is -1) or decimal digits (in range); nothing
// may follow. Raises EConvertError "'S' is not a valid integer value".
int StrToInt(const AnsiString& S);
int StrToIntDef(const AnsiString& S, int Default);     // StrToInt, or Default when that fails
bool TryStrToInt(const AnsiString& S, int& Value);     // StrToInt without raising; Value set on success
std::int64_t StrToInt64(const AnsiString& S);          // as StrToInt, 64 bits
std::int64_t StrToInt64Def(const AnsiString& S, std::int64_t Default);
bool TryStrToInt64(const AnsiString& S, std::int64_t& Value);

// ---- Floating point --------------------------------------------------------------------------

// General format, 15 significant digits, trailing zeros dropped: fixed notation when the decimal
// exponent e (Value = d.ddd x 10^e) satisfies -5 < e < 15, otherwise "d.dddE[-]x" (1E20, 1.5E-5).
// Zero (also -0) gives "0"; NaN and infinities give "NAN", "INF", "-INF".
AnsiString FloatToStr(double Value);
AnsiString FloatToStr(double Value, const TFormatSettings& FS);
// Text to a number: spaces around it allowed, optional sign, digits with at most
// one DecimalSeparator (at least one digit), optional exponent "E[+|-]digits". Out of range fails.
// Raises EConvertError "'S' is not a valid floating point value".
double StrToFloat(const AnsiString& S);
double StrToFloat(const AnsiString& S, const TFormatSettings& FS);
bool TryStrToFloat(const AnsiString& S, double& Value);  // StrToFloat without raising
bool TryStrToFloat(const AnsiString& S, double& Value, const TFormatSettings& FS);
double StrToFloatDef(const AnsiString& S, double Default);  // StrToFloat, or Default when that fails
double StrToFloatDef(const AnsiString& S, double Default, const TFormatSettings& FS);

// Nearest integer, ties to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2). NaN, infinities and values outside
// the 64-bit range raise ERangeError "Invalid floating point operation".
std::int64_t Round(double Value);
// The integer part (toward zero); the same failures as Round.
std::int64_t Trunc(double Value);

// ---- Booleans --------------------------------------------------------------------------------

// "True"/"False" when UseBoolStrs, else "-1"/"0".
AnsiString BoolToStr(bool B, bool UseBoolStrs = false);
// A number (non-zero is True) or the words True and False in any letter case. Raises
// EConvertError "'S' is not a valid boolean value".
bool StrToBool(const AnsiString& S);
bool TryStrToBool(const AnsiString& S, bool& Value);   // StrToBool without raising
bool StrToBoolDef(const AnsiString& S, bool Default);  // StrToBool, or Default when that fails

// ---- Dates and times (TDateTime: days since 1899-12-30; the fraction, by magnitude, is the time) --

bool IsLeapYear(Word Year);
// The day number of a date in 1..9999; raises EConvertError "Invalid argument to date encode".
TDateTime EncodeDate(Word Year, Word Month, Word Day);
// The fraction of a day; Hour < 24, Min < 60, Sec < 60, MSec < 1000, else EConvertError
// "Invalid argument to time encode".
TDateTime EncodeTime(Word Hour, Word Min, Word Sec, Word MSec);
bool TryEncodeDate(Word Year, Word Month, Word Day, TDateTime& Date);           // without raising
bool TryEncodeTime(Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Time);  // without raising
// Date and time of day (time to the nearest millisecond; 23:59:59.9995 carries into the next day).
// A value that is NaN, infinite or outside years 1..9999 raises EConvertError
// "'%s' is not a valid date and time" with FloatToStr of the value.
void DecodeDate(TDateTime DT, Word& Year, Word& Month, Word& Day);
void DecodeTime(TDateTime DT, Word& Hour, Word& Min, Word& Sec, Word& MSec);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime DT);
TDateTime Date();  // today, at midnight (local time)
TDateTime Time();  // the current time of day (local time)
TDateTime Now();   // the current date and time (local time)

// Date/time to text by a picture. Letters are case-insensitive: d dd (day), ddd dddd (day names),
// ddddd (ShortDateFormat), dddddd (LongDateFormat), m mm (month), mmm mmmm (month names),
// yy yyyy (year), h hh (hour), n nn (minute; also m mm right after h), s ss, z zzz (ms),
// t (ShortTimeFormat), tt (LongTimeFormat), c (DateTimeToStr), am/pm a/p (12-hour clock, the
// letters as written), ampm (TimeAMString/TimePMString), '/' and ':' (the separators);
// text in '...' or "..." and any other character are copied.
AnsiString FormatDateTime(const AnsiString& Format, TDateTime DT);
AnsiString FormatDateTime(const AnsiString& Format, TDateTime DT, const TFormatSettings& FS);
// ShortDateFormat, then " " and LongTimeFormat unless the time is exactly midnight (h:m:s all 0).
AnsiString DateTimeToStr(TDateTime DT);
AnsiString DateTimeToStr(TDateTime DT, const TFormatSettings& FS);
AnsiString DateToStr(TDateTime DT);  // ShortDateFormat
AnsiString DateToStr(TDateTime DT, const TFormatSettings& FS);
AnsiString TimeToStr(TDateTime DT);  // LongTimeFormat
AnsiString TimeToStr(TDateTime DT, const TFormatSettings& FS);

// Text to a date: two or three numbers joined by DateSeparator in the order of ShortDateFormat
// (two numbers: day and month, or month and day, of the current year); a year of one or two
// digits is placed by TwoDigitYearCenturyWindow. Raises EConvertError "'S' is not a valid date".
TDateTime StrToDate(const AnsiString& S);
TDateTime StrToDate(const AnsiString& S, const TFormatSettings& FS);
bool TryStrToDate(const AnsiString& S, TDateTime& Value);
bool TryStrToDate(const AnsiString& S, TDateTime& Value, const TFormatSettings& FS);
// Text to a time: "h[:m[:s[.zzz]]]" with TimeSeparator and DecimalSeparator, with AM/PM (or the
// TimeAMString/TimePMString) before or after. Raises EConvertError "'S' is not a valid time".
TDateTime StrToTime(const AnsiString& S);
TDateTime StrToTime(const AnsiString& S, const TFormatSettings& FS);
bool TryStrToTime(const AnsiString& S, TDateTime& Value);
bool TryStrToTime(const AnsiString& S, TDateTime& Value, const TFormatSettings& FS);
// A date, a date followed by a time, or a time alone. Raises EConvertError
// "'S' is not a valid date and time".
TDateTime StrToDateTime(const AnsiString& S);
TDateTime StrToDateTime(const AnsiString& S, const TFormatSettings& FS);
bool TryStrToDateTime(const AnsiString& S, TDateTime& Value);
bool TryStrToDateTime(const AnsiString& S, TDateTime& Value, const TFormatSettings& FS);

// ---- GUIDs -----------------------------------------------------------------------------------

// A 128-bit identifier laid out like the platform's GUID.
struct TGUID {
  std::uint32_t D1 = 0;
  std::uint16_t D2 = 0;
  std::uint16_t D3 = 0;
  std::uint8_t D4[8] = {};
  friend bool operator==(const TGUID&, const TGUID&) = default;
};
static_assert(sizeof(TGUID) == 16 && std::is_trivially_copyable_v<TGUID>,
              "TGUID must be laid out like the platform GUID");

#ifdef _WIN32
static_assert(sizeof(GUID) == sizeof(TGUID), "TGUID must be laid out like GUID");
// Conversions between TGUID and the platform GUID (the same bytes).
GUID ToGUID(const TGUID& G);
TGUID FromGUID(const GUID& G);
#endif

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": 38 characters, upper-case hexadecimal.
AnsiString GUIDToString(const TGUID& G);
// Exactly the form of GUIDToString, digits of either case. Raises EConvertError
// "'S' is not a valid GUID value".
TGUID StringToGUID(const AnsiString& S);
bool TryStringToGUID(const AnsiString& S, TGUID& G);  // StringToGUID without raising
// A new unique GUID (CoCreateGuid on the target; a random version-4 GUID natively).
TGUID CreateGUID();
