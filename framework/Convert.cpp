#include "framework/Convert.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <system_error>

#include "framework/Exceptions.h"
#include "framework/Strings.h"

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>
#else
#include <sys/time.h>
#include <time.h>
#endif

namespace {

// The blank that may stand around a number: the space only. A tab, a line end, NUL or another
// control byte before the digits makes the text no number.
bool IsBlank(char C) { return C == ' '; }
bool IsDigit(char C) { return C >= '0' && C <= '9'; }
char UpCase(char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 32) : C; }

int HexValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

// The text is quoted shortened: a message stays readable (and a box showing it small) however
// long the text that failed is.
[[noreturn]] void ConvertError(const char* Fmt, const AnsiString& S) {
  throw EConvertError(Format(Fmt, ShortenText(S, MaxQuotedTextLength)));
}

// The value that a TryStrTo routine (Try) finds in S; EConvertError with the message Fmt (S
// filled in) when it finds none.
template <class T, class TTry>
T ConvertOrRaise(const AnsiString& S, const char* Fmt, TTry Try) {
  T Value{};
  if (!Try(S, Value)) ConvertError(Fmt, S);
  return Value;
}

// The value that a TryStrTo routine (Try) finds in S, or Default when it finds none.
template <class T, class TTry>
T ConvertOrDefault(const AnsiString& S, T Default, TTry Try) {
  T Value{};
  return Try(S, Value) ? Value : Default;
}

// A TryStrTo routine that takes format settings, bound to FS.
template <class T>
auto WithSettings(bool (*Try)(const AnsiString&, T&, const TFormatSettings&), const TFormatSettings& FS) {
  return [Try, &FS](const AnsiString& S, T& Value) { return Try(S, Value, FS); };
}

const char* const kInvalidInteger = "'%s' is not a valid integer value";
const char* const kInvalidFloat = "'%s' is not a valid floating point value";
const char* const kInvalidBoolean = "'%s' is not a valid boolean value";
const char* const kInvalidDate = "'%s' is not a valid date";
const char* const kInvalidTime = "'%s' is not a valid time";
const char* const kInvalidDateTime = "'%s' is not a valid date and time";
const char* const kInvalidGUID = "'%s' is not a valid GUID value";

}  // namespace

// ---- Format settings -------------------------------------------------------------------------

TFormatSettings PinnedFormatSettings() { return TFormatSettings{}; }

#ifdef _WIN32
namespace {

AnsiString LocaleStr(LCTYPE Type, const AnsiString& Default) {
  char buf[256];
  int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, Type, buf, sizeof buf);
  if (n <= 1) return Default;
  return AnsiString(buf, static_cast<std::size_t>(n - 1));
}

char LocaleChar(LCTYPE Type, char Default) {
  AnsiString s = LocaleStr(Type, AnsiString());
  return s.empty() ? Default : s[0];
}

// Counts the run of the character at P.
std::size_t RunLength(const AnsiString& S, std::size_t P) {
  std::size_t n = 1;
  while (P + n < S.size() && S[P + n] == S[P]) ++n;
  return n;
}

// Copies a quoted literal of a system picture starting at P (a "'"), advancing P past it.
void CopyQuoted(const AnsiString& S, std::size_t& P, AnsiString& Out) {
  std::size_t end = S.find('\'', P + 1);
  if (end == AnsiString::npos) end = S.size();
  Out.append(S, P, end - P);
  Out += '\'';
  P = end + 1;
}

// A system picture rewritten run by run: quoted literals are copied as they are, and each run of
// one character goes to Run(character, run length, Out).
template <class F>
AnsiString ConvertPicture(const AnsiString& S, F&& Run) {
  AnsiString out;
  std::size_t p = 0;
  while (p < S.size()) {
    char c = S[p];
    if (c == '\'') { CopyQuoted(S, p, out); continue; }
    std::size_t n = RunLength(S, p);
    Run(c, n, out);
    p += n;
  }
  return out;
}

// A system date picture ("dd.MM.yyyy", "d MMMM yyyy 'г.'") in the runtime's letters.
AnsiString ConvertDatePicture(const AnsiString& S) {
  return ConvertPicture(S, [](char c, std::size_t n, AnsiString& out) {
    if (c == 'd' || c == 'M' || c == 'y') out.append(n, c == 'M' ? 'm' : c);
    else if (c == 'g') { /* era: not shown */ }
    else out.append(n, c);
  });
}

// A system time picture ("H:mm:ss", "h:mm:ss tt") in the runtime's letters ("h:nn:ss ampm").
AnsiString ConvertTimePicture(const AnsiString& S) {
  return ConvertPicture(S, [](char c, std::size_t n, AnsiString& out) {
    std::size_t n2 = n > 2 ? 2 : n;
    if (c == 'h' || c == 'H') out.append(n2, 'h');
    else if (c == 'm') out.append(n2, 'n');
    else if (c == 's') out.append(n2, 's');
    else if (c == 't') out += "ampm";
    else out.append(n, c);
  });
}

// The short time picture made from the long one: the seconds and the separator before them dropped.
AnsiString DropSeconds(const AnsiString& Long) {
  std::size_t p = Long.find('s');
  if (p == AnsiString::npos) return Long;
  std::size_t end = p;
  while (end < Long.size() && Long[end] == 's') ++end;
  if (p > 0 && Long[p - 1] != 'n' && Long[p - 1] != 'h') --p;
  return Long.substr(0, p) + Long.substr(end);
}

}  // namespace

TFormatSettings SystemFormatSettings() {
  TFormatSettings fs;
  fs.DecimalSeparator = LocaleChar(LOCALE_SDECIMAL, fs.DecimalSeparator);
  fs.ThousandSeparator = LocaleChar(LOCALE_STHOUSAND, fs.ThousandSeparator);
  fs.DateSeparator = LocaleChar(LOCALE_SDATE, fs.DateSeparator);
  fs.TimeSeparator = LocaleChar(LOCALE_STIME, fs.TimeSeparator);
  fs.ShortDateFormat = ConvertDatePicture(LocaleStr(LOCALE_SSHORTDATE, "dd.MM.yyyy"));
  fs.LongDateFormat = ConvertDatePicture(LocaleStr(LOCALE_SLONGDATE, "d MMMM yyyy"));
  fs.LongTimeFormat = ConvertTimePicture(LocaleStr(LOCALE_STIMEFORMAT, "HH:mm:ss"));
  AnsiString shortTime = LocaleStr(LOCALE_SSHORTTIME, AnsiString());
  fs.ShortTimeFormat = shortTime.empty() ? DropSeconds(fs.LongTimeFormat) : ConvertTimePicture(shortTime);
  fs.TimeAMString = LocaleStr(LOCALE_S1159, "AM");
  fs.TimePMString = LocaleStr(LOCALE_S2359, "PM");
  for (int i = 0; i < 12; ++i) {
    fs.ShortMonthNames[i] = LocaleStr(LOCALE_SABBREVMONTHNAME1 + i, fs.ShortMonthNames[i]);
    fs.LongMonthNames[i] = LocaleStr(LOCALE_SMONTHNAME1 + i, fs.LongMonthNames[i]);
  }
  // The system's day names start on Monday; the runtime's on Sunday.
  for (int i = 0; i < 7; ++i) {
    int sys = (i + 6) % 7;
    fs.ShortDayNames[i] = LocaleStr(LOCALE_SABBREVDAYNAME1 + sys, fs.ShortDayNames[i]);
    fs.LongDayNames[i] = LocaleStr(LOCALE_SDAYNAME1 + sys, fs.LongDayNames[i]);
  }
  return fs;
}
#else
TFormatSettings SystemFormatSettings() { return PinnedFormatSettings(); }
#endif

TFormatSettings FormatSettings = SystemFormatSettings();

// ---- Integers --------------------------------------------------------------------------------

AnsiString IntToStr(int Value) { return IntToStr(static_cast<std::int64_t>(Value)); }

AnsiString IntToStr(std::int64_t Value) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, Value);
  return AnsiString(buf, r.ptr);
}

AnsiString UIntToStr(std::uint64_t Value) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, Value);
  return AnsiString(buf, r.ptr);
}

namespace {
AnsiString HexText(std::uint64_t V, int Digits) {
  static const char kHex[] = "0123456789ABCDEF";
  AnsiString s;
  do {
    s.insert(s.begin(), kHex[V & 0xF]);
    V >>= 4;
  } while (V != 0);
  if (Digits > 32) Digits = 32;
  if (static_cast<int>(s.size()) < Digits) s.insert(0, static_cast<std::size_t>(Digits) - s.size(), '0');
  return s;
}

// Parses S into a signed integer of Bits (32 or 64) bits; see StrToInt for the rules.
bool ParseInteger(const AnsiString& S, unsigned Bits, std::int64_t& Out) {
  const std::size_t n = S.size();
  std::size_t i = 0;
  while (i < n && IsBlank(S[i])) ++i;
  bool neg = false;
  if (i < n && (S[i] == '+' || S[i] == '-')) {
    neg = S[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && (S[i] == '$' || S[i] == 'x' || S[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return false;
  const std::uint64_t mask = Bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << Bits) - 1;
  std::uint64_t acc = 0;
  if (hex) {
    for (; i < n; ++i) {
      int d = HexValue(S[i]);
      if (d < 0 || acc > (mask >> 4)) return false;
      acc = (acc << 4) | static_cast<unsigned>(d);
    }
    // The digits give the bit pattern; a sign negates it modulo 2^Bits.
    if (neg) acc = (0 - acc) & mask;
    std::uint64_t sign = std::uint64_t{1} << (Bits - 1);
    Out = (acc & sign) ? -static_cast<std::int64_t>(((~acc) & mask)) - 1 : static_cast<std::int64_t>(acc);
    return true;
  }
  const std::uint64_t limit = (std::uint64_t{1} << (Bits - 1)) - (neg ? 0 : 1);
  for (; i < n; ++i) {
    if (!IsDigit(S[i])) return false;
    unsigned d = static_cast<unsigned>(S[i] - '0');
    if (acc > (limit - d) / 10) return false;
    acc = acc * 10 + d;
  }
  if (neg) Out = acc == 0 ? 0 : -static_cast<std::int64_t>(acc - 1) - 1;
  else Out = static_cast<std::int64_t>(acc);
  return true;
}
}  // namespace

AnsiString IntToHex(int Value, int Digits) { return HexText(static_cast<std::uint32_t>(Value), Digits); }
AnsiString IntToHex(std::int64_t Value, int Digits) { return HexText(static_cast<std::uint64_t>(Value), Digits); }

bool TryStrToInt(const AnsiString& S, int& Value) {
  std::int64_t v;
  if (!ParseInteger(S, 32, v)) return false;
  Value = static_cast<int>(v);
  return true;
}

int StrToInt(const AnsiString& S) { return ConvertOrRaise<int>(S, kInvalidInteger, TryStrToInt); }

int StrToIntDef(const AnsiString& S, int Default) { return ConvertOrDefault(S, Default, TryStrToInt); }

bool TryStrToInt64(const AnsiString& S, std::int64_t& Value) { return ParseInteger(S, 64, Value); }

std::int64_t StrToInt64(const AnsiString& S) { return ConvertOrRaise<std::int64_t>(S, kInvalidInteger, TryStrToInt64); }

std::int64_t StrToInt64Def(const AnsiString& S, std::int64_t Default) {
  return ConvertOrDefault(S, Default, TryStrToInt64);
}

// ---- Floating point --------------------------------------------------------------------------

AnsiString FloatToStr(double Value) { return FloatToStr(Value, FormatSettings); }

AnsiString FloatToStr(double Value, const TFormatSettings& FS) {
  if (std::isnan(Value)) return "NAN";
  if (std::isinf(Value)) return Value < 0 ? "-INF" : "INF";
  if (Value == 0) return "0";
  constexpr int kPrecision = 15;
  // "-d.dddddddddddddde-xx": 15 significant digits, correctly rounded.
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::scientific, kPrecision - 1);
  const char* p = buf;
  const char* end = r.ptr;
  AnsiString out;
  if (*p == '-') {
    out += '-';
    ++p;
  }
  AnsiString digits;
  while (p < end && *p != 'e') {
    if (IsDigit(*p)) digits += *p;
    ++p;
  }
  int exponent = 0;
  if (p < end) std::from_chars(p[1] == '+' ? p + 2 : p + 1, end, exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int nd = static_cast<int>(digits.size());
  if (exponent > -5 && exponent < kPrecision) {
    if (exponent >= 0) {
      if (nd <= exponent + 1) {
        out += digits;
        out.append(static_cast<std::size_t>(exponent + 1 - nd), '0');
      } else {
        out.append(digits, 0, static_cast<std::size_t>(exponent + 1));
        out += FS.DecimalSeparator;
        out.append(digits, static_cast<std::size_t>(exponent + 1), AnsiString::npos);
      }
    } else {
      out += '0';
      out += FS.DecimalSeparator;
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += digits;
    }
  } else {
    out += digits[0];
    if (nd > 1) {
      out += FS.DecimalSeparator;
      out.append(digits, 1, AnsiString::npos);
    }
    out += 'E';
    out += IntToStr(exponent);
  }
  return out;
}

bool TryStrToFloat(const AnsiString& S, double& Value) { return TryStrToFloat(S, Value, FormatSettings); }

bool TryStrToFloat(const AnsiString& S, double& Value, const TFormatSettings& FS) {
  const std::size_t n = S.size();
  std::size_t i = 0;
  while (i < n && IsBlank(S[i])) ++i;
  std::size_t last = n;
  while (last > i && IsBlank(S[last - 1])) --last;
  bool neg = false;
  if (i < last && (S[i] == '+' || S[i] == '-')) {
    neg = S[i] == '-';
    ++i;
  }
  // The significant digits as one integer M and a decimal exponent X: the value is M x 10^X.
  AnsiString mantissa;
  long long exp10 = 0;
  bool anyDigit = false, point = false;
  for (; i < last; ++i) {
    char c = S[i];
    if (IsDigit(c)) {
      anyDigit = true;
      if (!(mantissa.empty() && c == '0')) mantissa += c;
      if (point) --exp10;
    } else if (c == FS.DecimalSeparator && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!anyDigit) return false;
  if (i < last && (S[i] == 'e' || S[i] == 'E')) {
    ++i;
    bool eneg = false;
    if (i < last && (S[i] == '+' || S[i] == '-')) {
      eneg = S[i] == '-';
      ++i;
    }
    if (i >= last) return false;
    long long e = 0;
    for (; i < last; ++i) {
      if (!IsDigit(S[i])) return false;
      if (e < 100000000) e = e * 10 + (S[i] - '0');
    }
    exp10 += eneg ? -e : e;
  }
  if (i != last) return false;
  double v = 0;
  if (!mantissa.empty()) {
    // Clamp absurd exponents; anything this far out overflows or underflows anyway.
    if (exp10 > 100000) exp10 = 100000;
    if (exp10 < -100000) exp10 = -100000;
    AnsiString text = mantissa + "e" + std::to_string(exp10);
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec == std::errc::result_out_of_range) {
      if (static_cast<long long>(mantissa.size()) + exp10 > 0) return false;  // overflow
      v = 0;                                                                 // underflow
    } else if (r.ec != std::errc() || std::isinf(v)) {
      return false;
    }
  }
  Value = neg ? -v : v;
  return true;
}

double StrToFloat(const AnsiString& S) { return StrToFloat(S, FormatSettings); }

double StrToFloat(const AnsiString& S, const TFormatSettings& FS) {
  return ConvertOrRaise<double>(S, kInvalidFloat, WithSettings(TryStrToFloat, FS));
}

double StrToFloatDef(const AnsiString& S, double Default) { return StrToFloatDef(S, Default, FormatSettings); }

double StrToFloatDef(const AnsiString& S, double Default, const TFormatSettings& FS) {
  return ConvertOrDefault(S, Default, WithSettings(TryStrToFloat, FS));
}

namespace {
// The 64-bit range check shared by Round and Trunc (2^63 itself is out of range).
std::int64_t CheckedInt64(double T) {
  if (!(T >= -9223372036854775808.0 && T < 9223372036854775808.0))
    throw ERangeError("Invalid floating point operation");
  return static_cast<std::int64_t>(T);
}
}  // namespace

std::int64_t Trunc(double Value) {
  if (!std::isfinite(Value)) throw ERangeError("Invalid floating point operation");
  return CheckedInt64(std::trunc(Value));
}

std::int64_t Round(double Value) {
  if (!std::isfinite(Value)) throw ERangeError("Invalid floating point operation");
  double t = std::trunc(Value);
  double frac = Value - t;  // exact for doubles
  double step = Value < 0 ? -1.0 : 1.0;
  double a = std::fabs(frac);
  if (a > 0.5 || (a == 0.5 && std::fmod(t, 2.0) != 0)) t += step;
  return CheckedInt64(t);
}

// ---- Booleans --------------------------------------------------------------------------------

AnsiString BoolToStr(bool B, bool UseBoolStrs) {
  if (UseBoolStrs) return B ? "True" : "False";
  return B ? "-1" : "0";
}

namespace {
bool SameAscii(const AnsiString& A, const char* B) {
  std::size_t n = std::strlen(B);
  if (A.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (UpCase(A[i]) != UpCase(B[i])) return false;
  return true;
}
}  // namespace

bool TryStrToBool(const AnsiString& S, bool& Value) {
  double d;
  if (TryStrToFloat(S, d)) {
    Value = d != 0;
    return true;
  }
  if (SameAscii(S, "True")) {
    Value = true;
    return true;
  }
  if (SameAscii(S, "False")) {
    Value = false;
    return true;
  }
  return false;
}

bool StrToBool(const AnsiString& S) { return ConvertOrRaise<bool>(S, kInvalidBoolean, TryStrToBool); }

bool StrToBoolDef(const AnsiString& S, bool Default) { return ConvertOrDefault(S, Default, TryStrToBool); }

// ---- Dates and times -------------------------------------------------------------------------

namespace {

constexpr int kDateDelta = 693594;          // days from 0001-01-01 (day 1) to 1899-12-30
constexpr int kMaxDayNumber = 3652059;      // 9999-12-31 counted from 0001-01-01 as day 1
constexpr std::int64_t kMSecsPerDay = 86400000;

int DaysInMonth(int Year, int Month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (Month == 2 && IsLeapYear(static_cast<Word>(Year))) ? 29 : kDays[Month - 1];
}

// Splits DT into the day number counted from 0001-01-01 (day 1) and the milliseconds of the day.
// The date is the integer part; the time is the magnitude of the fraction, rounded to the
// millisecond, a full day carrying into the next date.
void SplitDateTime(TDateTime DT, int& Day, int& MSec) {
  if (!std::isfinite(DT) || DT <= -kDateDelta - 1.0 || DT >= kMaxDayNumber - kDateDelta + 1.0)
    throw EConvertError(Format(kInvalidDateTime, FloatToStr(DT)));
  double t = std::trunc(DT);
  std::int64_t ms = std::llround(std::fabs(DT - t) * static_cast<double>(kMSecsPerDay));
  Day = static_cast<int>(t) + kDateDelta;
  if (ms >= kMSecsPerDay) {
    ms = 0;
    ++Day;
  }
  if (Day < 1 || Day > kMaxDayNumber) throw EConvertError(Format(kInvalidDateTime, FloatToStr(DT)));
  MSec = static_cast<int>(ms);
}

void DayToDate(int Day, int& Year, int& Month, int& DayOfMonth) {
  constexpr int D1 = 365, D4 = D1 * 4 + 1, D100 = D4 * 25 - 1, D400 = D100 * 4 + 1;
  int t = Day - 1;
  int y = 1;
  y += (t / D400) * 400;
  t %= D400;
  int i = t / D100;
  if (i == 4) i = 3;  // the last day of a 400-year cycle
  y += i * 100;
  t -= i * D100;
  y += (t / D4) * 4;
  t %= D4;
  i = t / D1;
  if (i == 4) i = 3;  // the last day of a 4-year cycle
  y += i;
  t -= i * D1;
  int m = 1;
  while (t >= DaysInMonth(y, m)) {
    t -= DaysInMonth(y, m);
    ++m;
  }
  Year = y;
  Month = m;
  DayOfMonth = t + 1;
}

}  // namespace

bool IsLeapYear(Word Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

bool TryEncodeDate(Word Year, Word Month, Word Day, TDateTime& Date) {
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > DaysInMonth(Year, Month))
    return false;
  int days = Day;
  for (int m = 1; m < Month; ++m) days += DaysInMonth(Year, m);
  int y = Year - 1;
  days += y * 365 + y / 4 - y / 100 + y / 400;
  Date = static_cast<double>(days - kDateDelta);
  return true;
}

TDateTime EncodeDate(Word Year, Word Month, Word Day) {
  TDateTime d;
  if (!TryEncodeDate(Year, Month, Day, d)) throw EConvertError("Invalid argument to date encode");
  return d;
}

bool TryEncodeTime(Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Time) {
  if (Hour >= 24 || Min >= 60 || Sec >= 60 || MSec >= 1000) return false;
  std::int64_t ms = ((Hour * 60 + Min) * 60 + Sec) * 1000 + MSec;
  Time = static_cast<double>(ms) / static_cast<double>(kMSecsPerDay);
  return true;
}

TDateTime EncodeTime(Word Hour, Word Min, Word Sec, Word MSec) {
  TDateTime t;
  if (!TryEncodeTime(Hour, Min, Sec, MSec, t)) throw EConvertError("Invalid argument to time encode");
  return t;
}

void DecodeDate(TDateTime DT, Word& Year, Word& Month, Word& Day) {
  int day, ms;
  SplitDateTime(DT, day, ms);
  int y, m, d;
  DayToDate(day, y, m, d);
  Year = static_cast<Word>(y);
  Month = static_cast<Word>(m);
  Day = static_cast<Word>(d);
}

void DecodeTime(TDateTime DT, Word& Hour, Word& Min, Word& Sec, Word& MSec) {
  int day, ms;
  SplitDateTime(DT, day, ms);
  Hour = static_cast<Word>(ms / 3600000);
  Min = static_cast<Word>(ms / 60000 % 60);
  Sec = static_cast<Word>(ms / 1000 % 60);
  MSec = static_cast<Word>(ms % 1000);
}

int DayOfWeek(TDateTime DT) {
  int day, ms;
  SplitDateTime(DT, day, ms);
  return day % 7 + 1;
}

namespace {
struct TLocalTime {
  int Year, Month, Day, Hour, Min, Sec, MSec;
};

TLocalTime LocalNow() {
#ifdef _WIN32
  SYSTEMTIME st;
  GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
#else
  timeval tv;
  gettimeofday(&tv, nullptr);
  time_t secs = tv.tv_sec;
  tm lt;
  localtime_r(&secs, &lt);
  return {lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour, lt.tm_min,
          lt.tm_sec > 59 ? 59 : lt.tm_sec, static_cast<int>(tv.tv_usec / 1000)};
#endif
}

TDateTime DatePart(const TLocalTime& T) {
  return EncodeDate(static_cast<Word>(T.Year), static_cast<Word>(T.Month), static_cast<Word>(T.Day));
}
TDateTime TimePart(const TLocalTime& T) {
  return EncodeTime(static_cast<Word>(T.Hour), static_cast<Word>(T.Min), static_cast<Word>(T.Sec),
                    static_cast<Word>(T.MSec));
}

int CurrentYear() { return LocalNow().Year; }
}  // namespace

TDateTime Date() { return DatePart(LocalNow()); }
TDateTime Time() { return TimePart(LocalNow()); }
TDateTime Now() {
  TLocalTime t = LocalNow();
  return DatePart(t) + TimePart(t);
}

// ---- Date/time formatting --------------------------------------------------------------------

namespace {

class TDateTimeFormatter {
 public:
  TDateTimeFormatter(TDateTime DT, const TFormatSettings& FS) : FS(FS) {
    SplitDateTime(DT, DayNumber, MSecOfDay);
    DayToDate(DayNumber, Year, Month, Day);
    Hour = MSecOfDay / 3600000;
    Min = MSecOfDay / 60000 % 60;
    Sec = MSecOfDay / 1000 % 60;
    MSec = MSecOfDay % 1000;
  }

  AnsiString Run(const AnsiString& Fmt) {
    Append(Fmt, 0);
    return Out;
  }

 private:
  void Number(int V, int MinDigits) {
    AnsiString s = IntToStr(V);
    if (static_cast<int>(s.size()) < MinDigits) Out.append(static_cast<std::size_t>(MinDigits) - s.size(), '0');
    Out += s;
  }

  // Short date, then the long time unless the time is midnight.
  void DateAndTime(int Level) {
    Append(FS.ShortDateFormat, Level + 1);
    if (Hour != 0 || Min != 0 || Sec != 0) {
      Out += ' ';
      Append(FS.LongTimeFormat, Level + 1);
    }
  }

  static bool StartsWithNoCase(const AnsiString& F, std::size_t P, const char* Word) {
    std::size_t n = std::strlen(Word);
    if (P + n > F.size()) return false;
    for (std::size_t i = 0; i < n; ++i)
      if (UpCase(F[P + i]) != UpCase(Word[i])) return false;
    return true;
  }

  // An hour is shown on the 12-hour clock when an am/pm marker follows before the next hour.
  static bool TwelveHourClock(const AnsiString& F, std::size_t P) {
    bool quoted = false;
    char quote = 0;
    for (; P < F.size(); ++P) {
      char c = F[P];
      if (quoted) {
        if (c == quote) quoted = false;
        continue;
      }
      if (c == '\'' || c == '"') {
        quoted = true;
        quote = c;
      } else if (c == 'a' || c == 'A') {
        return StartsWithNoCase(F, P, "am/pm") || StartsWithNoCase(F, P, "a/p") || StartsWithNoCase(F, P, "ampm");
      } else if (c == 'h' || c == 'H') {
        return false;
      }
    }
    return false;
  }

  void Append(const AnsiString& F, int Level) {
    // Pictures that name other pictures nest at most two levels deep.
    if (Level >= 3) return;
    char lastToken = 0;
    std::size_t p = 0;
    while (p < F.size()) {
      const char starter = F[p];
      char token = UpCase(starter);
      if (token >= 'A' && token <= 'Z') {
        if (token == 'M' && lastToken == 'H') token = 'N';
        lastToken = token;
      }
      std::size_t count = 1;
      auto takeRun = [&] {
        count = 1;
        while (p + count < F.size() && F[p + count] == starter) ++count;
        p += count;
      };
      switch (token) {
        case 'Y':
          takeRun();
          if (count <= 2) Number(Year % 100, 2);
          else Number(Year, 4);
          break;
        case 'M':
          takeRun();
          if (count <= 2) Number(Month, static_cast<int>(count));
          else if (count == 3) Out += FS.ShortMonthNames[static_cast<std::size_t>(Month - 1)];
          else Out += FS.LongMonthNames[static_cast<std::size_t>(Month - 1)];
          break;
        case 'D':
          takeRun();
          if (count <= 2) Number(Day, static_cast<int>(count));
          else if (count == 3) Out += FS.ShortDayNames[static_cast<std::size_t>(DayNumber % 7)];
          else if (count == 4) Out += FS.LongDayNames[static_cast<std::size_t>(DayNumber % 7)];
          else if (count == 5) Append(FS.ShortDateFormat, Level + 1);
          else Append(FS.LongDateFormat, Level + 1);
          break;
        case 'H': {
          takeRun();
          int h = Hour;
          if (TwelveHourClock(F, p)) {
            if (h == 0) h = 12;
            else if (h > 12) h -= 12;
          }
          Number(h, count > 2 ? 2 : static_cast<int>(count));
          break;
        }
        case 'N':
          takeRun();
          Number(Min, count > 2 ? 2 : static_cast<int>(count));
          break;
        case 'S':
          takeRun();
          Number(Sec, count > 2 ? 2 : static_cast<int>(count));
          break;
        case 'Z':
          takeRun();
          Number(MSec, count <= 2 ? 1 : 3);
          break;
        case 'T':
          takeRun();
          Append(count == 1 ? FS.ShortTimeFormat : FS.LongTimeFormat, Level + 1);
          break;
        case 'C':
          takeRun();
          DateAndTime(Level);
          break;
        case 'A':
          if (StartsWithNoCase(F, p, "am/pm")) {
            Out.append(F, Hour >= 12 ? p + 3 : p, 2);
            p += 5;
          } else if (StartsWithNoCase(F, p, "a/p")) {
            Out += F[Hour >= 12 ? p + 2 : p];
            p += 3;
          } else if (StartsWithNoCase(F, p, "ampm")) {
            Out += Hour >= 12 ? FS.TimePMString : FS.TimeAMString;
            p += 4;
          } else {
            Out += starter;
            ++p;
          }
          break;
        case '/':
          Out += FS.DateSeparator;
          ++p;
          break;
        case ':':
          Out += FS.TimeSeparator;
          ++p;
          break;
        case '\'':
        case '"': {
          std::size_t end = F.find(starter, p + 1);
          if (end == AnsiString::npos) end = F.size();
          Out.append(F, p + 1, end - p - 1);
          p = end + 1;
          break;
        }
        default:
          Out += starter;
          ++p;
          break;
      }
    }
  }

  const TFormatSettings& FS;
  AnsiString Out;
  int DayNumber = 0, MSecOfDay = 0;
  int Year = 0, Month = 0, Day = 0, Hour = 0, Min = 0, Sec = 0, MSec = 0;
};

}  // namespace

AnsiString FormatDateTime(const AnsiString& Format, TDateTime DT) { return FormatDateTime(Format, DT, FormatSettings); }
AnsiString FormatDateTime(const AnsiString& Format, TDateTime DT, const TFormatSettings& FS) {
  return TDateTimeFormatter(DT, FS).Run(Format);
}
AnsiString DateTimeToStr(TDateTime DT) { return DateTimeToStr(DT, FormatSettings); }
AnsiString DateTimeToStr(TDateTime DT, const TFormatSettings& FS) { return FormatDateTime("c", DT, FS); }
AnsiString DateToStr(TDateTime DT) { return DateToStr(DT, FormatSettings); }
AnsiString DateToStr(TDateTime DT, const TFormatSettings& FS) { return FormatDateTime("ddddd", DT, FS); }
AnsiString TimeToStr(TDateTime DT) { return TimeToStr(DT, FormatSettings); }
AnsiString TimeToStr(TDateTime DT, const TFormatSettings& FS) { return FormatDateTime("tt", DT, FS); }

// ---- Date/time parsing -----------------------------------------------------------------------

namespace {

class TDateTimeScanner {
 public:
  TDateTimeScanner(const AnsiString& S, const TFormatSettings& FS) : S(S), FS(FS) {}

  bool AtEnd() const { return P >= S.size(); }

  // A date: N1 sep N2 [sep N3] [sep], ordered by the short date picture.
  bool ScanDate(TDateTime& Out) {
    int n1, n2, n3, l1, l2, l3;
    if (!(Number(n1, l1) && Char(FS.DateSeparator) && Number(n2, l2))) return false;
    int y, m, d;
    const char order = DateOrder();
    if (Char(FS.DateSeparator)) {
      if (!Number(n3, l3)) return false;
      int yearLen;
      if (order == 'Y') { y = n1; yearLen = l1; m = n2; d = n3; }
      else if (order == 'D') { y = n3; yearLen = l3; m = n2; d = n1; }
      else { y = n3; yearLen = l3; m = n1; d = n2; }
      if (yearLen <= 2) {
        int base = CurrentYear() - FS.TwoDigitYearCenturyWindow;
        y += base / 100 * 100;
        if (FS.TwoDigitYearCenturyWindow > 0 && y < base) y += 100;
      }
    } else {
      y = CurrentYear();
      if (order == 'D') { d = n1; m = n2; }
      else { m = n1; d = n2; }
    }
    Char(FS.DateSeparator);  // an optional closing separator
    Blanks();
    if (y < 0 || y > 9999 || m < 0 || m > 12 || d < 0 || d > 31) return false;
    return TryEncodeDate(static_cast<Word>(y), static_cast<Word>(m), static_cast<Word>(d), Out);
  }

  // A time: [AM|PM] h [sep m [sep s [dec ms]]] [AM|PM].
  bool ScanTime(TDateTime& Out) {
    int base = Meridiem();
    if (base >= 0) Blanks();
    int h, mi = 0, s = 0, ms = 0, l;
    if (!Number(h, l)) return false;
    if (Char(FS.TimeSeparator)) {
      if (!Number(mi, l)) return false;
      if (Char(FS.TimeSeparator)) {
        if (!Number(s, l)) return false;
        if (Char(FS.DecimalSeparator) && !Number(ms, l)) return false;
      }
    }
    if (base < 0) base = Meridiem();
    if (base >= 0) {
      if (h == 0 || h > 12) return false;
      if (h == 12) h = 0;
      h += base;
    }
    Blanks();
    if (h > 23 || mi > 59 || s > 59 || ms > 999) return false;
    return TryEncodeTime(static_cast<Word>(h), static_cast<Word>(mi), static_cast<Word>(s), static_cast<Word>(ms),
                         Out);
  }

 private:
  void Blanks() {
    while (P < S.size() && S[P] == ' ') ++P;
  }

  // Up to four digits (a value below 10000); Len is the number of digits read.
  bool Number(int& V, int& Len) {
    Blanks();
    std::size_t start = P;
    V = 0;
    while (P < S.size() && IsDigit(S[P]) && V < 1000) V = V * 10 + (S[P++] - '0');
    Len = static_cast<int>(P - start);
    return Len > 0;
  }

  bool Char(char C) {
    Blanks();
    if (P < S.size() && S[P] == C) {
      ++P;
      return true;
    }
    return false;
  }

  bool Text(const AnsiString& W) {
    if (W.empty()) return false;
    Blanks();
    if (P + W.size() > S.size()) return false;
    for (std::size_t i = 0; i < W.size(); ++i)
      if (UpCase(S[P + i]) != UpCase(W[i])) return false;
    P += W.size();
    return true;
  }

  // 0 for a morning marker, 12 for an afternoon marker, -1 for none.
  int Meridiem() {
    if (Text(FS.TimeAMString) || Text("AM")) return 0;
    if (Text(FS.TimePMString) || Text("PM")) return 12;
    return -1;
  }

  // 'D', 'M' or 'Y': which of day, month and year the short date picture names first.
  char DateOrder() const {
    for (char c : FS.ShortDateFormat) {
      char u = UpCase(c);
      if (u == 'D' || u == 'M' || u == 'Y') return u;
    }
    return 'M';
  }

  const AnsiString& S;
  const TFormatSettings& FS;
  std::size_t P = 0;
};

// The date combined with the time of day; for days before 1899-12-30 the time counts away from zero.
TDateTime Combine(TDateTime D, TDateTime T) { return D < 0 ? D - T : D + T; }

}  // namespace

bool TryStrToDate(const AnsiString& S, TDateTime& Value) { return TryStrToDate(S, Value, FormatSettings); }
bool TryStrToDate(const AnsiString& S, TDateTime& Value, const TFormatSettings& FS) {
  TDateTimeScanner sc(S, FS);
  TDateTime d;
  if (!sc.ScanDate(d) || !sc.AtEnd()) return false;
  Value = d;
  return true;
}

bool TryStrToTime(const AnsiString& S, TDateTime& Value) { return TryStrToTime(S, Value, FormatSettings); }
bool TryStrToTime(const AnsiString& S, TDateTime& Value, const TFormatSettings& FS) {
  TDateTimeScanner sc(S, FS);
  TDateTime t;
  if (!sc.ScanTime(t) || !sc.AtEnd()) return false;
  Value = t;
  return true;
}

bool TryStrToDateTime(const AnsiString& S, TDateTime& Value) { return TryStrToDateTime(S, Value, FormatSettings); }
bool TryStrToDateTime(const AnsiString& S, TDateTime& Value, const TFormatSettings& FS) {
  TDateTimeScanner sc(S, FS);
  TDateTime d, t = 0;
  if (sc.ScanDate(d) && (sc.AtEnd() || (sc.ScanTime(t) && sc.AtEnd()))) {
    Value = Combine(d, t);
    return true;
  }
  return TryStrToTime(S, Value, FS);
}

TDateTime StrToDate(const AnsiString& S) { return StrToDate(S, FormatSettings); }
TDateTime StrToDate(const AnsiString& S, const TFormatSettings& FS) {
  return ConvertOrRaise<TDateTime>(S, kInvalidDate, WithSettings(TryStrToDate, FS));
}

TDateTime StrToTime(const AnsiString& S) { return StrToTime(S, FormatSettings); }
TDateTime StrToTime(const AnsiString& S, const TFormatSettings& FS) {
  return ConvertOrRaise<TDateTime>(S, kInvalidTime, WithSettings(TryStrToTime, FS));
}

TDateTime StrToDateTime(const AnsiString& S) { return StrToDateTime(S, FormatSettings); }
TDateTime StrToDateTime(const AnsiString& S, const TFormatSettings& FS) {
  return ConvertOrRaise<TDateTime>(S, kInvalidDateTime, WithSettings(TryStrToDateTime, FS));
}

// ---- GUIDs -----------------------------------------------------------------------------------

#ifdef _WIN32
GUID ToGUID(const TGUID& G) {
  GUID g;
  std::memcpy(static_cast<void*>(&g), &G, sizeof g);
  return g;
}

TGUID FromGUID(const GUID& G) {
  TGUID g;
  std::memcpy(static_cast<void*>(&g), &G, sizeof g);
  return g;
}
#endif

AnsiString GUIDToString(const TGUID& G) {
  static const char kHex[] = "0123456789ABCDEF";
  AnsiString s;
  s.reserve(38);
  auto put = [&](std::uint32_t V, int Digits) {
    for (int i = Digits - 1; i >= 0; --i) s += kHex[(V >> (4 * i)) & 0xF];
  };
  s += '{';
  put(G.D1, 8);
  s += '-';
  put(G.D2, 4);
  s += '-';
  put(G.D3, 4);
  s += '-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) s += '-';
    put(G.D4[i], 2);
  }
  s += '}';
  return s;
}

bool TryStringToGUID(const AnsiString& S, TGUID& G) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (S.size() != 38 || S[0] != '{' || S[37] != '}' || S[9] != '-' || S[14] != '-' || S[19] != '-' ||
      S[24] != '-')
    return false;
  std::size_t p = 1;
  auto hex = [&](int Digits, std::uint64_t& V) {
    V = 0;
    for (int i = 0; i < Digits; ++i, ++p) {
      int d = HexValue(S[p]);
      if (d < 0) return false;
      V = V << 4 | static_cast<unsigned>(d);
    }
    return true;
  };
  TGUID g;
  std::uint64_t v;
  if (!hex(8, v)) return false;
  g.D1 = static_cast<std::uint32_t>(v);
  ++p;
  if (!hex(4, v)) return false;
  g.D2 = static_cast<std::uint16_t>(v);
  ++p;
  if (!hex(4, v)) return false;
  g.D3 = static_cast<std::uint16_t>(v);
  ++p;
  for (int i = 0; i < 8; ++i) {
    if (i == 2) ++p;
    if (!hex(2, v)) return false;
    g.D4[i] = static_cast<std::uint8_t>(v);
  }
  G = g;
  return true;
}

TGUID StringToGUID(const AnsiString& S) { return ConvertOrRaise<TGUID>(S, kInvalidGUID, TryStringToGUID); }

TGUID CreateGUID() {
#ifdef _WIN32
  GUID g;
  HRESULT hr = CoCreateGuid(&g);
  if (FAILED(hr)) throw EOSError(Format("System Error.  Code: %d.", static_cast<int>(hr)));
  return FromGUID(g);
#else
  static thread_local std::mt19937_64 gen{[] {
    std::random_device rd;
    std::seed_seq seq{rd(), rd(), rd(), rd(), rd(), rd(), rd(), rd()};
    return std::mt19937_64(seq);
  }()};
  std::uint64_t a = gen(), b = gen();
  std::uint8_t bytes[16];
  std::memcpy(bytes, &a, 8);
  std::memcpy(bytes + 8, &b, 8);
  TGUID g;
  std::memcpy(static_cast<void*>(&g), bytes, sizeof g);
  g.D3 = static_cast<std::uint16_t>((g.D3 & 0x0FFF) | 0x4000);    // version 4 (random)
  g.D4[0] = static_cast<std::uint8_t>((g.D4[0] & 0x3F) | 0x80);  // the standard variant
  return g;
#endif
}
