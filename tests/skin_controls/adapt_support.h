// Test support of the window adapters: a plain Win32 window class that records what reaches its
// own procedure, a top-level host window for child windows, and the program's own skin. Win32.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "skin/core/sConst.h"
#include "skin/core/sSkinManager.h"
#include "skin_controls/ownctl_support.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace adapt {

// What a recording window's own procedure saw.
struct TRecord {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
};
inline std::vector<TRecord>& Log() {
  static std::vector<TRecord> L;
  return L;
}
inline int CountOf(UINT Msg) {
  int N = 0;
  for (const TRecord& R : Log()) N += R.Msg == Msg ? 1 : 0;
  return N;
}
// The WM_VSCROLL / WM_HSCROLL codes recorded, in order.
inline std::vector<int> ScrollCodes(UINT Msg) {
  std::vector<int> Codes;
  for (const TRecord& R : Log())
    if (R.Msg == Msg) Codes.push_back(LOWORD(R.WParam));
  return Codes;
}

// The recording procedure: logs every message, answers WM_PAINT with the DC it was given (as a
// marker), scrolls its own scroll data on the scroll messages, else the default procedure.
inline LRESULT CALLBACK RecordingProc(HWND W, UINT Msg, WPARAM WParam, LPARAM LParam) {
  Log().push_back({Msg, WParam, LParam});
  switch (Msg) {
    case WM_PAINT:
      if (WParam != 0) return 0x5A5A;
      break;
    case WM_VSCROLL:
    case WM_HSCROLL: {
      const int Bar = Msg == WM_VSCROLL ? SB_VERT : SB_HORZ;
      SCROLLINFO SI{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
      GetScrollInfo(W, Bar, &SI);
      int Pos = SI.nPos;
      switch (LOWORD(WParam)) {
        case SB_LINEDOWN: ++Pos; break;
        case SB_LINEUP: --Pos; break;
        case SB_PAGEDOWN: Pos += static_cast<int>(SI.nPage); break;
        case SB_PAGEUP: Pos -= static_cast<int>(SI.nPage); break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: Pos = HIWORD(WParam); break;
        default: return 0;
      }
      SetScrollPos(W, Bar, Pos, FALSE);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(W, Msg, WParam, LParam);
}

inline const wchar_t* RecordingClass() {
  static bool Done = false;
  if (!Done) {
    WNDCLASSEXW C{};
    C.cbSize = sizeof(C);
    C.lpfnWndProc = RecordingProc;
    C.hInstance = GetModuleHandleW(nullptr);
    C.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    C.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    C.lpszClassName = L"AdaptRecording";
    RegisterClassExW(&C);
    Done = true;
  }
  return L"AdaptRecording";
}

// A top-level host window (plain, white) on the screen, destroyed at the end.
struct THost {
  HWND Wnd;
  THost(int W = 420, int H = 320) {
    Wnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE | WS_BORDER, 60, 60, W, H, nullptr, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
    uitest::Settle(Wnd);
  }
  ~THost() {
    DestroyWindow(Wnd);
    uitest::Pump();
  }
  THost(const THost&) = delete;
  THost& operator=(const THost&) = delete;
  // A child window of a class.
  HWND Child(const wchar_t* Class, const wchar_t* Text, DWORD Style, int X, int Y, int W, int H, DWORD ExStyle = 0) {
    HWND C = CreateWindowExW(ExStyle, Class, Text, WS_CHILD | WS_VISIBLE | Style, X, Y, W, H, Wnd, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(C, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
    return C;
  }
};

// A small window of this thread in the screen's bottom-right corner, above every other, where the
// pointer rests away from the windows a test looks at.
struct TPointerRest {
  HWND Wnd;
  TPointerRest() {
    static const wchar_t* Class = [] {
      WNDCLASSEXW C{};
      C.cbSize = sizeof(C);
      C.lpfnWndProc = DefWindowProcW;
      C.hInstance = GetModuleHandleW(nullptr);
      C.lpszClassName = L"AdaptPointerRest";
      RegisterClassExW(&C);
      return L"AdaptPointerRest";
    }();
    Wnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, Class, L"", WS_POPUP | WS_VISIBLE,
                          GetSystemMetrics(SM_CXSCREEN) - 60, GetSystemMetrics(SM_CYSCREEN) - 40, 50, 30, nullptr,
                          nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  ~TPointerRest() { DestroyWindow(Wnd); }
  TPointerRest(const TPointerRest&) = delete;
  TPointerRest& operator=(const TPointerRest&) = delete;
  // Puts the pointer on the window, waits until the window has taken the move there (every
  // pointer event of an earlier place has been handled by then) and until the pointer stays there
  // (under Wine on a busy X server a late report of an earlier place may take it back, and it is
  // moved again): no pointer event reaches another window of the test until the pointer moves.
  bool Take() {
    const POINT S = ownctl::ScreenPoint(Wnd, 25, 15);
    return realinput::MovePointerSeen(S) && realinput::MovePointerSettled(S);
  }
};

inline LRESULT AlphaCmd(HWND W, Word Command, LPARAM LParam = 0) {
  return SendMessageW(W, SM_ALPHACMD, MakeAlphaCmd(Command), LParam);
}

// Pixels of the window's whole area (non-client included), read from its window DC.
inline uitest::TCapture WindowCapture(HWND W) { return uitest::WindowPainted(W); }

// Counts pixels of R near Colour.
inline int CountNear(const uitest::TCapture& C, const TRect& R, COLORREF Colour, int Tol = 3) {
  int N = 0;
  for (int Y = std::max(0, R.Top); Y < std::min(C.Height(), R.Bottom); ++Y)
    for (int X = std::max(0, R.Left); X < std::min(C.Width(), R.Right); ++X) N += ownctl::Near(C.Pixel(X, Y), Colour, Tol);
  return N;
}

}  // namespace adapt
