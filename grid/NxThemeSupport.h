// Theme support of the grid: optional visual-styles drawing and the colour scheme table of the
// Office-like header styles.
//
// The grid does not link the theme library: "uxtheme.dll" is loaded at start-up and its
// functions are reached through pointers, so the grid runs as well where the library or visual
// styles are missing; then IsThemed answers False and nothing themed is drawn. The colour scheme
// table is portable; the theme library part is Win32.
#pragma once

#include <cstdint>

#include "framework/Exceptions.h"
#include "framework/Types.h"

#ifdef _WIN32
#include <windows.h>
#include <uxtheme.h>  // the types only; the functions are looked up at run time
#endif

// 0x00BBGGRR, as the framework's graphics declare it.
using TColor = std::int32_t;

// ---------------------------------------------------------------------------------------------
// Colour scheme table: rows are the schemes 1..6 (row 0 is all zero), each of 24 colours.

inline constexpr int SchemeCount = 6;
inline constexpr int SchemeColorCount = 24;

// The scheme that SchemeColor uses for scheme 0: 2 at start-up (nothing in the program changes it).
extern Byte CurrentScheme;

// Entry Index (0..23) of scheme Scheme (1..6), or of CurrentScheme when Scheme is 0. An index or
// scheme outside the table raises ERangeError.
TColor SchemeColor(int Index, int Scheme = 0);

#ifdef _WIN32
// ---------------------------------------------------------------------------------------------
// Theme library

// The state of the theme library: its module (0 when it is not loaded) and the seven functions
// the grid uses (nullptr when missing).
struct TThemeFunctions {
  HMODULE Library = nullptr;
  HTHEME(WINAPI* OpenThemeData)(HWND Window, LPCWSTR ClassList) = nullptr;
  HRESULT(WINAPI* CloseThemeData)(HTHEME Theme) = nullptr;
  HRESULT(WINAPI* DrawThemeBackground)(HTHEME Theme, HDC DC, int Part, int State, const RECT* Rect,
                                       const RECT* Clip) = nullptr;
  HRESULT(WINAPI* DrawThemeEdge)(HTHEME Theme, HDC DC, int Part, int State, const RECT* Rect, UINT Edge, UINT Flags,
                                 RECT* Content) = nullptr;
  int(WINAPI* GetThemeSysSize)(HTHEME Theme, int SizeId) = nullptr;
  BOOL(WINAPI* IsThemeActive)() = nullptr;
  BOOL(WINAPI* IsAppThemed)() = nullptr;
};

// Loads "uxtheme.dll" and looks up the seven functions, unless a library is already held. Runs at
// start-up; the library stays loaded for the life of the process.
void LoadThemeLibrary();
// The current state of the theme library.
const TThemeFunctions& ThemeFunctions();
// Puts another state in place of the current one and returns the previous one: tests give the
// grid a table of their own functions and put the real one back afterwards.
TThemeFunctions ReplaceThemeFunctions(const TThemeFunctions& Functions);

// True when the library is loaded, both queries exist and IsAppThemed and then IsThemeActive
// answer non-zero (IsThemeActive is not asked when IsAppThemed answers zero).
bool IsThemed();

// Draws part Part in state State of the theme class ClassName (for example L"header", L"edit",
// L"listview") for the window into Rect of the DC, the rectangle also being the clip rectangle:
// the theme data is opened, the background drawn and the data closed. Nothing when the library,
// a function or the theme data is missing.
void DrawThemedPart(HWND Window, HDC DC, const TRect& Rect, int State, int Part, const wchar_t* ClassName);

// Safe calls for code that keeps a theme handle (the grid's header theme): each does nothing
// (and answers 0) when the library or the function is missing or the handle is 0.
HTHEME NxOpenThemeData(HWND Window, const wchar_t* ClassName);
void NxCloseThemeData(HTHEME Theme);
// Draws Part in State into Rect; Clip limits the drawing (nullptr: Rect itself is not a limit).
void NxDrawThemeBackground(HTHEME Theme, HDC DC, int Part, int State, const TRect& Rect, const TRect* Clip = nullptr);
void NxDrawThemeEdge(HTHEME Theme, HDC DC, int Part, int State, const TRect& Rect, UINT Edge, UINT Flags);
int NxGetThemeSysSize(HTHEME Theme, int SizeId);
#endif
