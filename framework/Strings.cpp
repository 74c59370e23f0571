#include "framework/Strings.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <cerrno>
#include <unistd.h>

#include <vector>
#endif

namespace {

#ifdef _WIN32
// Lengths handed to the system's string calls, which take int.
int IntLen(std::size_t N) { return N > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(N); }
#endif

bool IsBlank(char C) { return static_cast<unsigned char>(C) <= ' '; }
bool IsBlank(wchar_t C) { return static_cast<std::uint32_t>(C) <= 0x20u; }

template <class S>
S TrimLeftT(const S& Str) {
  std::size_t i = 0;
  while (i < Str.size() && IsBlank(Str[i])) ++i;
  return Str.substr(i);
}

template <class S>
S TrimRightT(const S& Str) {
  std::size_t n = Str.size();
  while (n > 0 && IsBlank(Str[n - 1])) --n;
  return Str.substr(0, n);
}

template <class C>
C AsciiUpper(C c) { return (c >= 'a' && c <= 'z') ? static_cast<C>(c - 32) : c; }
template <class C>
C AsciiLower(C c) { return (c >= 'A' && c <= 'Z') ? static_cast<C>(c + 32) : c; }

// Unsigned code of a character, so that bytes above 0x7F sort after ASCII.
unsigned Code(char C) { return static_cast<unsigned char>(C); }
[[maybe_unused]] unsigned Code(wchar_t C) { return static_cast<unsigned>(C); }

template <class S, bool Fold>
int CompareT(const S& A, const S& B) {
  std::size_t n = std::min(A.size(), B.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned a = Code(Fold ? AsciiUpper(A[i]) : A[i]);
    unsigned b = Code(Fold ? AsciiUpper(B[i]) : B[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  if (A.size() == B.size()) return 0;
  return A.size() < B.size() ? -1 : 1;
}

template <class S>
int PosT(const S& Sub, const S& Str, int Offset) {
  if (Sub.empty() || Offset < 1 || static_cast<std::size_t>(Offset) > Str.size()) return 0;
  std::size_t p = Str.find(Sub, static_cast<std::size_t>(Offset) - 1);
  return p == S::npos ? 0 : static_cast<int>(p) + 1;
}

template <class S>
S CopyT(const S& Str, int Index, int Count) {
  if (Index < 1) Index = 1;
  if (Count <= 0 || static_cast<std::size_t>(Index) > Str.size()) return S();
  return Str.substr(static_cast<std::size_t>(Index) - 1, static_cast<std::size_t>(Count));
}

template <class S, class Upper>
S ReplaceT(const S& Str, const S& Old, const S& New, bool ReplaceAll, bool IgnoreCase, Upper Up) {
  if (Old.empty()) return Str;
  // Letter case folding keeps the length, so positions in the folded text are positions in Str.
  const S hay = IgnoreCase ? Up(Str) : S();
  const S needle = IgnoreCase ? Up(Old) : S();
  const S& h = IgnoreCase ? hay : Str;
  const S& n = IgnoreCase ? needle : Old;
  S out;
  std::size_t from = 0;
  while (true) {
    std::size_t p = h.find(n, from);
    if (p == S::npos) break;
    out.append(Str, from, p - from);
    out += New;
    from = p + Old.size();
    if (!ReplaceAll) break;
  }
  out.append(Str, from, S::npos);
  return out;
}

}  // namespace

// ---- Code page conversion --------------------------------------------------------------------

WideString AnsiToWide(const AnsiString& S) {
  if (S.empty()) return WideString();
#ifdef _WIN32
  int n = MultiByteToWideChar(CP_ACP, 0, S.data(), IntLen(S.size()), nullptr, 0);
  if (n <= 0) return WideString();
  WideString out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, S.data(), IntLen(S.size()), out.data(), n);
  return out;
#else
  WideString out(S.size(), L'\0');
  for (std::size_t i = 0; i < S.size(); ++i) out[i] = static_cast<wchar_t>(static_cast<unsigned char>(S[i]));
  return out;
#endif
}

AnsiString WideToAnsi(const WideString& S) {
  if (S.empty()) return AnsiString();
#ifdef _WIN32
  int n = WideCharToMultiByte(CP_ACP, 0, S.data(), IntLen(S.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return AnsiString();
  AnsiString out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, S.data(), IntLen(S.size()), out.data(), n, nullptr, nullptr);
  return out;
#else
  AnsiString out(S.size(), '\0');
  for (std::size_t i = 0; i < S.size(); ++i) {
    unsigned c = static_cast<unsigned>(S[i]);
    out[i] = c <= 0xFF ? static_cast<char>(c) : '?';
  }
  return out;
#endif
}

// ---- Trimming --------------------------------------------------------------------------------

AnsiString Trim(const AnsiString& S) { return TrimLeftT(TrimRightT(S)); }
AnsiString TrimLeft(const AnsiString& S) { return TrimLeftT(S); }
AnsiString TrimRight(const AnsiString& S) { return TrimRightT(S); }
WideString Trim(const WideString& S) { return TrimLeftT(TrimRightT(S)); }
WideString TrimLeft(const WideString& S) { return TrimLeftT(S); }
WideString TrimRight(const WideString& S) { return TrimRightT(S); }

// ---- Letter case -----------------------------------------------------------------------------

AnsiString UpperCase(const AnsiString& S) {
  AnsiString r = S;
  for (char& c : r) c = AsciiUpper(c);
  return r;
}

AnsiString LowerCase(const AnsiString& S) {
  AnsiString r = S;
  for (char& c : r) c = AsciiLower(c);
  return r;
}

AnsiString AnsiUpperCase(const AnsiString& S) {
#ifdef _WIN32
  AnsiString r = S;
  if (!r.empty()) CharUpperBuffA(r.data(), static_cast<DWORD>(r.size()));
  return r;
#else
  return UpperCase(S);
#endif
}

AnsiString AnsiLowerCase(const AnsiString& S) {
#ifdef _WIN32
  AnsiString r = S;
  if (!r.empty()) CharLowerBuffA(r.data(), static_cast<DWORD>(r.size()));
  return r;
#else
  return LowerCase(S);
#endif
}

WideString WideUpperCase(const WideString& S) {
  WideString r = S;
#ifdef _WIN32
  if (!r.empty()) CharUpperBuffW(r.data(), static_cast<DWORD>(r.size()));
#else
  for (wchar_t& c : r) c = AsciiUpper(c);
#endif
  return r;
}

WideString WideLowerCase(const WideString& S) {
  WideString r = S;
#ifdef _WIN32
  if (!r.empty()) CharLowerBuffW(r.data(), static_cast<DWORD>(r.size()));
#else
  for (wchar_t& c : r) c = AsciiLower(c);
#endif
  return r;
}

// ---- Comparison ------------------------------------------------------------------------------

int CompareStr(const AnsiString& S1, const AnsiString& S2) { return CompareT<AnsiString, false>(S1, S2); }
int CompareText(const AnsiString& S1, const AnsiString& S2) { return CompareT<AnsiString, true>(S1, S2); }
bool SameText(const AnsiString& S1, const AnsiString& S2) {
  return S1.size() == S2.size() && CompareText(S1, S2) == 0;
}

int AnsiCompareStr(const AnsiString& S1, const AnsiString& S2) {
#ifdef _WIN32
  return CompareStringA(LOCALE_USER_DEFAULT, 0, S1.data(), IntLen(S1.size()), S2.data(), IntLen(S2.size())) - 2;
#else
  return CompareStr(S1, S2);
#endif
}

int AnsiCompareText(const AnsiString& S1, const AnsiString& S2) {
#ifdef _WIN32
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, S1.data(), IntLen(S1.size()), S2.data(),
                        IntLen(S2.size())) - 2;
#else
  return CompareText(S1, S2);
#endif
}

bool AnsiSameText(const AnsiString& S1, const AnsiString& S2) { return AnsiCompareText(S1, S2) == 0; }

int WideCompareStr(const WideString& S1, const WideString& S2) {
#ifdef _WIN32
  return CompareStringW(LOCALE_USER_DEFAULT, 0, S1.data(), IntLen(S1.size()), S2.data(), IntLen(S2.size())) - 2;
#else
  return CompareT<WideString, false>(S1, S2);
#endif
}

int WideCompareText(const WideString& S1, const WideString& S2) {
#ifdef _WIN32
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, S1.data(), IntLen(S1.size()), S2.data(),
                        IntLen(S2.size())) - 2;
#else
  return CompareT<WideString, true>(S1, S2);
#endif
}

bool WideSameText(const WideString& S1, const WideString& S2) { return WideCompareText(S1, S2) == 0; }

// ---- Positions and parts ---------------------------------------------------------------------

int Pos(const AnsiString& Sub, const AnsiString& S) { return PosT(Sub, S, 1); }
int Pos(const WideString& Sub, const WideString& S) { return PosT(Sub, S, 1); }
int PosEx(const AnsiString& Sub, const AnsiString& S, int Offset) { return PosT(Sub, S, Offset); }
int PosEx(const WideString& Sub, const WideString& S, int Offset) { return PosT(Sub, S, Offset); }
AnsiString Copy(const AnsiString& S, int Index, int Count) { return CopyT(S, Index, Count); }
WideString Copy(const WideString& S, int Index, int Count) { return CopyT(S, Index, Count); }

int LastDelimiter(const AnsiString& Delimiters, const AnsiString& S) {
  if (Delimiters.empty()) return 0;
  std::size_t p = S.find_last_of(Delimiters);
  return p == AnsiString::npos ? 0 : static_cast<int>(p) + 1;
}

AnsiString StringReplace(const AnsiString& S, const AnsiString& OldPattern, const AnsiString& NewPattern,
                         bool ReplaceAll, bool IgnoreCase) {
  return ReplaceT(S, OldPattern, NewPattern, ReplaceAll, IgnoreCase,
                  [](const AnsiString& X) { return AnsiUpperCase(X); });
}

WideString StringReplace(const WideString& S, const WideString& OldPattern, const WideString& NewPattern,
                         bool ReplaceAll, bool IgnoreCase) {
  return ReplaceT(S, OldPattern, NewPattern, ReplaceAll, IgnoreCase,
                  [](const WideString& X) { return WideUpperCase(X); });
}

// ---- Shortening for display -------------------------------------------------------------------

AnsiString ShortenText(const AnsiString& S, std::size_t MaxLength) {
  if (S.size() <= MaxLength) return S;
  std::size_t Cut = MaxLength;
#ifdef _WIN32
  // Lead bytes are known only walking from the start.
  Cut = 0;
  for (std::size_t I = 0; I < MaxLength;) {
    const std::size_t Next = I + (IsDBCSLeadByte(static_cast<BYTE>(S[I])) ? 2 : 1);
    if (Next > MaxLength) break;
    I = Cut = Next;
  }
#endif
  return S.substr(0, Cut) + "...";
}

WideString ShortenText(const WideString& S, std::size_t MaxLength) {
  if (S.size() <= MaxLength) return S;
  std::size_t Cut = MaxLength;
  if (Cut > 0 && S[Cut - 1] >= 0xD800 && S[Cut - 1] <= 0xDBFF) --Cut;
  return S.substr(0, Cut) + L"...";
}

// ---- File names ------------------------------------------------------------------------------

namespace {
const AnsiString kPathDelimiters = "\\/:";
bool IsPathDelimiterChar(char C) { return C == '\\' || C == '/'; }
}  // namespace

AnsiString ExtractFilePath(const AnsiString& FileName) {
  return FileName.substr(0, static_cast<std::size_t>(LastDelimiter(kPathDelimiters, FileName)));
}

AnsiString ExtractFileName(const AnsiString& FileName) {
  return FileName.substr(static_cast<std::size_t>(LastDelimiter(kPathDelimiters, FileName)));
}

AnsiString ExtractFileExt(const AnsiString& FileName) {
  int i = LastDelimiter("." + kPathDelimiters, FileName);
  if (i == 0 || FileName[static_cast<std::size_t>(i) - 1] != '.') return AnsiString();
  return FileName.substr(static_cast<std::size_t>(i) - 1);
}

AnsiString ChangeFileExt(const AnsiString& FileName, const AnsiString& Extension) {
  int i = LastDelimiter("." + kPathDelimiters, FileName);
  if (i == 0 || FileName[static_cast<std::size_t>(i) - 1] != '.') return FileName + Extension;
  return FileName.substr(0, static_cast<std::size_t>(i) - 1) + Extension;
}

AnsiString IncludeTrailingPathDelimiter(const AnsiString& S) {
  if (!S.empty() && IsPathDelimiterChar(S.back())) return S;
  return S + PathDelim;
}

AnsiString ExcludeTrailingPathDelimiter(const AnsiString& S) {
  if (!S.empty() && IsPathDelimiterChar(S.back())) return S.substr(0, S.size() - 1);
  return S;
}

bool FileExists(const AnsiString& FileName) {
  if (FileName.empty()) return false;
#ifdef _WIN32
  DWORD a = GetFileAttributesA(FileName.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
#else
  struct stat st;
  return stat(FileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
#endif
}

bool DirectoryExists(const AnsiString& Directory) {
  if (Directory.empty()) return false;
#ifdef _WIN32
  DWORD a = GetFileAttributesA(Directory.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
  struct stat st;
  return stat(Directory.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

AnsiString GetCurrentDir() {
#ifdef _WIN32
  DWORD n = GetCurrentDirectoryA(0, nullptr);
  if (n == 0) return AnsiString();
  AnsiString out(n, '\0');
  DWORD got = GetCurrentDirectoryA(n, out.data());
  out.resize(got < n ? got : 0);
  return out;
#else
  std::vector<char> buf(256);
  while (getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE || buf.size() > (1u << 20)) return AnsiString();
    buf.resize(buf.size() * 2);
  }
  return AnsiString(buf.data());
#endif
}
