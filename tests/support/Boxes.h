// Helpers of the tests of real message boxes: the boxes this thread shows, and a watcher that
// presses a box's OK button with a real click from a thread timer (the box's own loop runs it),
// noting first where the box and its button are.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/RealInput.h"
#include "support/UiTest.h"

namespace boxtest {

namespace detail {
inline BOOL CALLBACK CollectBox(HWND W, LPARAM P) {
  wchar_t Name[16] = {};
  GetClassNameW(W, Name, 16);
  if (wcscmp(Name, L"#32770") == 0 && IsWindowVisible(W)) reinterpret_cast<std::vector<HWND>*>(P)->push_back(W);
  return TRUE;
}

// Keeps the longest text of a window's children (a box's message).
inline BOOL CALLBACK LongestChildText(HWND C, LPARAM P) {
  auto* Text = reinterpret_cast<WideString*>(P);
  const int N = GetWindowTextLengthW(C);
  if (N <= static_cast<int>(Text->size())) return TRUE;
  Text->assign(static_cast<std::size_t>(N) + 1, L'\0');
  Text->resize(static_cast<std::size_t>(GetWindowTextW(C, Text->data(), N + 1)));
  return TRUE;
}

inline TRect WindowRectOf(HWND W) {
  RECT R{};
  GetWindowRect(W, &R);
  return TRect{R.left, R.top, R.right, R.bottom};
}

inline bool Inside(const TRect& Outer, const TRect& Inner) {
  return Inner.Left >= Outer.Left && Inner.Top >= Outer.Top && Inner.Right <= Outer.Right &&
         Inner.Bottom <= Outer.Bottom;
}
}  // namespace detail

// The visible dialog windows (boxes) of this thread.
inline std::vector<HWND> ThreadBoxes() {
  std::vector<HWND> Found;
  EnumThreadWindows(GetCurrentThreadId(), detail::CollectBox, reinterpret_cast<LPARAM>(&Found));
  return Found;
}

// While it lives, the first box that shows is pictured (as Shot, when screenshots are asked
// for), its place, its OK button's and its message noted, and the button pressed by a real click
// at its middle. A box still there about four seconds later is closed by a command instead
// (Backstop): the click did not reach the button.
struct TBoxPresser {
  static inline TRect Box, Ok, WorkArea;
  static inline WideString Text;
  static inline bool Clicked = false, Backstop = false;
  static inline int Ticks = 0;
  static inline std::string Shot;
  UINT_PTR Id;
  explicit TBoxPresser(std::string ShotName) {
    Box = Ok = WorkArea = TRect{};
    Text.clear();
    Clicked = Backstop = false;
    Ticks = 0;
    Shot = std::move(ShotName);
    Id = SetTimer(nullptr, 0, 100, Tick);
  }
  ~TBoxPresser() { KillTimer(nullptr, Id); }
  TBoxPresser(const TBoxPresser&) = delete;
  TBoxPresser& operator=(const TBoxPresser&) = delete;

  // The box lay inside the work area of its monitor and its OK button inside the box.
  static bool Fitted() { return detail::Inside(WorkArea, Box) && detail::Inside(Box, Ok); }
  static std::string Where() {
    return std::to_string(Box.Left) + "," + std::to_string(Box.Top) + " - " + std::to_string(Box.Right) + "," +
           std::to_string(Box.Bottom);
  }

  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    const std::vector<HWND> Boxes = ThreadBoxes();
    if (Boxes.empty()) return;
    HWND B = Boxes.front();
    if (++Ticks > 40) {
      Backstop = true;
      PostMessageW(B, WM_COMMAND, IDOK, 0);
      return;
    }
    HWND Button = GetDlgItem(B, IDOK);
    if (Clicked || Button == nullptr) return;
    Box = detail::WindowRectOf(B);
    Ok = detail::WindowRectOf(Button);
    MONITORINFO MI{};
    MI.cbSize = sizeof MI;
    GetMonitorInfoW(MonitorFromWindow(B, MONITOR_DEFAULTTONEAREST), &MI);
    WorkArea = TRect{MI.rcWork.left, MI.rcWork.top, MI.rcWork.right, MI.rcWork.bottom};
    EnumChildWindows(B, detail::LongestChildText, reinterpret_cast<LPARAM>(&Text));
    Clicked = true;
    UpdateWindow(B);
    uitest::SaveScreenshot(B, Shot.c_str());
    SetForegroundWindow(B);
    const POINT P{(Ok.Left + Ok.Right) / 2, (Ok.Top + Ok.Bottom) / 2};
    INPUT In[3] = {realinput::ButtonAt(P, 0), realinput::ButtonAt(P, MOUSEEVENTF_LEFTDOWN),
                   realinput::ButtonAt(P, MOUSEEVENTF_LEFTUP)};
    SendInput(3, In, sizeof(INPUT));
  }
};

}  // namespace boxtest
