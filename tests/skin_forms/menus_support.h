// Shared pieces of the menu and border-window tests: a manager holding the program's own skin,
// item painting into bitmaps and pixel reading.
#pragma once

#include "support/SourceTree.h"

#include <windows.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "framework/Menus.h"
#include "skin/core/acPixels.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/sSkinMenus.h"
#include "support/UiTest.h"

namespace menustest {

// The folder of the program's skin pack (app/res/skin) as a path Wine opens.
inline std::string SkinFolder() { return tvtest::ProgramSkinFolder(); }

// A manager with the skinned menu painter and the program's dark skin loaded.
inline std::unique_ptr<TsSkinManager> LoadedManager(bool ExtendedBorders = false) {
  sSkinMenusInstall();
  auto M = std::make_unique<TsSkinManager>(nullptr);
  M->SetSkinDirectory(SkinFolder());
  M->SetExtendedBorders(ExtendedBorders);
  // What the stored description's loading gives a manager.
  M->MenuSupport()->SetIcoLineSkin("ICOLINE");
  M->SetSkinName("DefaultBlack");
  return M;
}

inline TsSkinableMenus* Painter(TsSkinManager* M) { return SkinableMenusOf(M); }

// RGB of a TColor value as a COLORREF (both 0x00BBGGRR).
inline COLORREF ColorOf(int SkinColor) { return static_cast<COLORREF>(SkinColor) & 0xFFFFFF; }

// A pixel of a 24-bit bitmap.
inline COLORREF PixelOf(TBitmap* B, int X, int Y) {
  const auto* P = static_cast<const Byte*>(B->ScanLine(Y)) + 3 * X;
  return RGB(P[2], P[1], P[0]);
}

inline int Brightness(COLORREF C) { return GetRValue(C) + GetGValue(C) + GetBValue(C); }

// Counts the pixels of a rectangle of a 24-bit bitmap that are Color.
inline int CountColor(TBitmap* B, const TRect& R, COLORREF Color) {
  int N = 0;
  for (int Y = R.Top; Y < R.Bottom; ++Y)
    for (int X = R.Left; X < R.Right; ++X)
      if (PixelOf(B, X, Y) == Color) ++N;
  return N;
}

// A 24-bit bitmap of the given size filled with one colour.
inline std::unique_ptr<TBitmap> FilledBitmap(int W, int H, COLORREF Fill) {
  std::unique_ptr<TBitmap> B(CreateBmp24(W, H));
  HBRUSH Br = CreateSolidBrush(Fill);
  RECT R{0, 0, W, H};
  FillRect(B->Canvas()->Handle(), &R, Br);
  DeleteObject(Br);
  return B;
}

// Drops the posted "skin this popup window" requests that painting into memory bitmaps leaves
// for the application window, so that no request outlives the menu it names.
inline void DropPopupRequests() {
  MSG Msg;
  while (PeekMessageW(&Msg, nullptr, 0xBCB3, 0xBCB4, PM_REMOVE)) {
  }
}

}  // namespace menustest
