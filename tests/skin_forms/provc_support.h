// Test support of the skinned forms' menus, wheel and frames, MDI forms and extended borders:
// a skinned form with a main menu, menus closed from a timer, the application's main form made an
// MDI form for a test's length, and the screen as a layered window shows it. Win32.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "framework/Menus.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/provb_support.h"
#include "support/FaultCount.h"
#include "support/UiTest.h"

namespace provctest {

// Ends the menu loop that a test opens, from a timer of the loop's own thread.
inline void CALLBACK EndMenuTimer(HWND, UINT, UINT_PTR Id, DWORD) {
  KillTimer(nullptr, Id);
  EndMenu();
}

// Runs Open (which enters a menu loop) and ends the loop after about Ms milliseconds.
inline void WithMenuClosedAfter(int Ms, const std::function<void()>& Open) {
  const UINT_PTR T = SetTimer(nullptr, 0, static_cast<UINT>(Ms), EndMenuTimer);
  Open();
  KillTimer(nullptr, T);
  uitest::Pump();
}

// Adds a top-level item with one sub-item to a main menu.
inline TMenuItem* AddTopItem(TMainMenu* Menu, TComponent* Owner, const wchar_t* Caption) {
  auto* Top = new TMenuItem(Owner);
  Top->SetCaption(WideString(Caption));
  auto* Sub = new TMenuItem(Owner);
  Sub->SetCaption(WideString(L"Item"));
  Top->Add(Sub);
  Menu->Items()->Add(Top);
  return Top;
}

// A real left click at a screen point: the window comes to the front, the pointer settles there,
// and the press and the release are queued together (a modal loop that the press may start
// still finds the release).
inline bool ScreenClick(HWND Front, POINT S) {
  if (!realinput::BringToFront(Front) || !realinput::MovePointerSettled(S)) return false;
  realinput::SendButtons(
      {realinput::ButtonAt(S, MOUSEEVENTF_LEFTDOWN), realinput::ButtonAt(S, MOUSEEVENTF_LEFTUP)});
  return true;
}

// The screen pixels of a rectangle (screen coordinates).
inline std::unique_ptr<uitest::TCapture> ScreenShot(const RECT& R) {
  HDC DC = GetDC(nullptr);
  auto C = std::make_unique<uitest::TCapture>(DC, TRect{R.left, R.top, R.right, R.bottom});
  ReleaseDC(nullptr, DC);
  return C;
}

// The colour of a pixel of a 32-bit bitmap and its alpha byte.
inline COLORREF Pixel32(TBitmap* B, int X, int Y) {
  const auto* P = static_cast<const Byte*>(B->ScanLine(Y)) + 4 * X;
  return RGB(P[2], P[1], P[0]);
}
inline int Alpha32(TBitmap* B, int X, int Y) { return static_cast<const Byte*>(B->ScanLine(Y))[4 * X + 3]; }

inline bool NearColor(COLORREF A, COLORREF B, int Tol = 3) {
  return std::abs(GetRValue(A) - GetRValue(B)) <= Tol && std::abs(GetGValue(A) - GetGValue(B)) <= Tol &&
         std::abs(GetBValue(A) - GetBValue(B)) <= Tol;
}

}  // namespace provctest
