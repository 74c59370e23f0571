// Text routines of the runtime: code page conversion, trimming, letter case, comparison,
// searching and copying with 1-based positions, replacing, and file-name handling.
// Portable: the few platform calls (ANSI code page, locale-aware case and comparison, file
// attributes) sit behind _WIN32 with plain fallbacks natively.
#pragma once

#include "framework/Types.h"

// The path delimiter that IncludeTrailingPathDelimiter appends: '\' on the target, '/' natively.
#ifdef _WIN32
inline constexpr char PathDelim = '\\';
#else
inline constexpr char PathDelim = '/';
#endif

// ---- Code page conversion --------------------------------------------------------------------

// Byte text in the system ANSI code page to wide text (natively: each byte is its Latin-1 character).
WideString AnsiToWide(const AnsiString& S);
// Wide text to the system ANSI code page; unmappable characters become the code page's default
// character (natively: characters above U+00FF become '?').
AnsiString WideToAnsi(const WideString& S);

// ---- Trimming (characters <= ' ' are removed) --------------------------------------------------

AnsiString Trim(const AnsiString& S);       // removes them at both ends
AnsiString TrimLeft(const AnsiString& S);   // removes them at the start
AnsiString TrimRight(const AnsiString& S);  // removes them at the end
WideString Trim(const WideString& S);       // removes them at both ends
WideString TrimLeft(const WideString& S);   // removes them at the start
WideString TrimRight(const WideString& S);  // removes them at the end

// ---- Letter case ------------------------------------------------------------------------------

AnsiString UpperCase(const AnsiString& S);      // 'a'..'z' to upper case; other bytes unchanged
AnsiString LowerCase(const AnsiString& S);      // 'A'..'Z' to lower case; other bytes unchanged
AnsiString AnsiUpperCase(const AnsiString& S);  // upper case by the system locale (ASCII natively)
AnsiString AnsiLowerCase(const AnsiString& S);  // lower case by the system locale (ASCII natively)
WideString WideUpperCase(const WideString& S);  // upper case by the system (ASCII natively)
WideString WideLowerCase(const WideString& S);  // lower case by the system (ASCII natively)

// ---- Comparison (results < 0, 0, > 0) ----------------------------------------------------------

int CompareStr(const AnsiString& S1, const AnsiString& S2);       // byte-wise, case-sensitive
int CompareText(const AnsiString& S1, const AnsiString& S2);      // byte-wise, ASCII letters folded
bool SameText(const AnsiString& S1, const AnsiString& S2);        // CompareText(S1, S2) == 0
int AnsiCompareStr(const AnsiString& S1, const AnsiString& S2);   // by the system locale, case-sensitive
int AnsiCompareText(const AnsiString& S1, const AnsiString& S2);  // by the system locale, case ignored
bool AnsiSameText(const AnsiString& S1, const AnsiString& S2);    // AnsiCompareText(S1, S2) == 0
int WideCompareStr(const WideString& S1, const WideString& S2);   // by the system, case-sensitive
int WideCompareText(const WideString& S1, const WideString& S2);  // by the system, case ignored
bool WideSameText(const WideString& S1, const WideString& S2);    // WideCompareText(S1, S2) == 0

// ---- Positions and parts (1-based) -------------------------------------------------------------

// Position of the first occurrence of Sub in S; 0 when absent or when Sub is empty.
int Pos(const AnsiString& Sub, const AnsiString& S);
int Pos(const WideString& Sub, const WideString& S);
// Like Pos, searching from position Offset on; 0 when Offset < 1 or past the end.
int PosEx(const AnsiString& Sub, const AnsiString& S, int Offset);
int PosEx(const WideString& Sub, const WideString& S, int Offset);
// Count characters from position Index; Index < 1 counts as 1, a Count past the end is cut,
// Count <= 0 or Index past the end gives empty text.
AnsiString Copy(const AnsiString& S, int Index, int Count);
WideString Copy(const WideString& S, int Index, int Count);
// Position of the last character of S that is one of Delimiters; 0 when there is none.
int LastDelimiter(const AnsiString& Delimiters, const AnsiString& S);

// Replaces the first (or, with ReplaceAll, every) occurrence of OldPattern; IgnoreCase compares
// by AnsiUpperCase (WideUpperCase). An empty OldPattern leaves S unchanged.
AnsiString StringReplace(const AnsiString& S, const AnsiString& OldPattern, const AnsiString& NewPattern,
                         bool ReplaceAll, bool IgnoreCase);
WideString StringReplace(const WideString& S, const WideString& OldPattern, const WideString& NewPattern,
                         bool ReplaceAll, bool IgnoreCase);

// ---- Shortening for display -------------------------------------------------------------------

// How many characters of a text a message quotes (the conversion errors' '%s').
inline constexpr std::size_t MaxQuotedTextLength = 200;
// S itself when it has at most MaxLength characters; otherwise its first MaxLength characters
// followed by "...". The cut never splits a character: a double-byte character of the ANSI code
// page or a surrogate pair is left out whole.
AnsiString ShortenText(const AnsiString& S, std::size_t MaxLength);
WideString ShortenText(const WideString& S, std::size_t MaxLength);

// ---- File names (delimiters '\' and '/', drive ':') --------------------------------------------

AnsiString ExtractFilePath(const AnsiString& FileName);  // up to and including the last delimiter
AnsiString ExtractFileName(const AnsiString& FileName);  // after the last delimiter
AnsiString ExtractFileExt(const AnsiString& FileName);   // from the last '.' of the name on ("" if none)
AnsiString ChangeFileExt(const AnsiString& FileName, const AnsiString& Extension);  // replaces or appends
AnsiString IncludeTrailingPathDelimiter(const AnsiString& S);  // appends PathDelim unless present
AnsiString ExcludeTrailingPathDelimiter(const AnsiString& S);  // removes one trailing '\' or '/'
bool FileExists(const AnsiString& FileName);        // an existing file that is not a directory
bool DirectoryExists(const AnsiString& Directory);  // an existing directory
AnsiString GetCurrentDir();                         // the process's current directory
