// The theme library of the grid, loaded at run time. Win32.
#include "grid/NxThemeSupport.h"

namespace {

TThemeFunctions& Current() {
  static TThemeFunctions Functions;
  return Functions;
}

template <class F>
void LookUp(HMODULE Library, const char* Name, F& Function) {
  Function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(Library, Name)));
}

RECT ToRECT(const TRect& R) { return RECT{R.Left, R.Top, R.Right, R.Bottom}; }

// The library is loaded when the grid's code starts.
[[maybe_unused]] const bool Loaded = (LoadThemeLibrary(), true);

}  // namespace

void LoadThemeLibrary() {
  TThemeFunctions& F = Current();
  if (F.Library != nullptr) return;
  F.Library = LoadLibraryW(L"uxtheme.dll");
  if (F.Library == nullptr) return;
  LookUp(F.Library, "OpenThemeData", F.OpenThemeData);
  LookUp(F.Library, "CloseThemeData", F.CloseThemeData);
  LookUp(F.Library, "DrawThemeBackground", F.DrawThemeBackground);
  LookUp(F.Library, "DrawThemeEdge", F.DrawThemeEdge);
  LookUp(F.Library, "GetThemeSysSize", F.GetThemeSysSize);
  LookUp(F.Library, "IsThemeActive", F.IsThemeActive);
  LookUp(F.Library, "IsAppThemed", F.IsAppThemed);
}

const TThemeFunctions& ThemeFunctions() { return Current(); }

TThemeFunctions ReplaceThemeFunctions(const TThemeFunctions& Functions) {
  const TThemeFunctions Old = Current();
  Current() = Functions;
  return Old;
}

bool IsThemed() {
  const TThemeFunctions& F = Current();
  if (F.Library == nullptr || F.IsAppThemed == nullptr || F.IsThemeActive == nullptr) return false;
  return F.IsAppThemed() != 0 && F.IsThemeActive() != 0;
}

void DrawThemedPart(HWND Window, HDC DC, const TRect& Rect, int State, int Part, const wchar_t* ClassName) {
  HTHEME Theme = NxOpenThemeData(Window, ClassName);
  if (Theme == nullptr) return;
  NxDrawThemeBackground(Theme, DC, Part, State, Rect, &Rect);
  NxCloseThemeData(Theme);
}

HTHEME NxOpenThemeData(HWND Window, const wchar_t* ClassName) {
  const TThemeFunctions& F = Current();
  if (F.Library == nullptr || F.OpenThemeData == nullptr || ClassName == nullptr) return nullptr;
  return F.OpenThemeData(Window, ClassName);
}

void NxCloseThemeData(HTHEME Theme) {
  const TThemeFunctions& F = Current();
  if (Theme != nullptr && F.CloseThemeData != nullptr) F.CloseThemeData(Theme);
}

void NxDrawThemeBackground(HTHEME Theme, HDC DC, int Part, int State, const TRect& Rect, const TRect* Clip) {
  const TThemeFunctions& F = Current();
  if (Theme == nullptr || F.DrawThemeBackground == nullptr) return;
  const RECT R = ToRECT(Rect);
  if (Clip != nullptr) {
    const RECT C = ToRECT(*Clip);
    F.DrawThemeBackground(Theme, DC, Part, State, &R, &C);
  } else {
    F.DrawThemeBackground(Theme, DC, Part, State, &R, nullptr);
  }
}

void NxDrawThemeEdge(HTHEME Theme, HDC DC, int Part, int State, const TRect& Rect, UINT Edge, UINT Flags) {
  const TThemeFunctions& F = Current();
  if (Theme == nullptr || F.DrawThemeEdge == nullptr) return;
  RECT R = ToRECT(Rect);
  F.DrawThemeEdge(Theme, DC, Part, State, &R, Edge, Flags, nullptr);
}

int NxGetThemeSysSize(HTHEME Theme, int SizeId) {
  const TThemeFunctions& F = Current();
  if (F.GetThemeSysSize == nullptr) return 0;
  return F.GetThemeSysSize(Theme, SizeId);
}
