// Real user input for window tests: the pointer and the keys go through the system's input queue
// (SendInput), as a person's would. Under Wine on Xvfb the pointer position and the foreground
// window follow a request only after a round trip to the X server, so every step here waits until
// the system reports the new state before the next one starts.
#pragma once

#include <windows.h>

#include <functional>

#include "framework/Forms.h"

namespace realinput {

// Handles what is waiting in this thread's queue as the application's loop does (keys reach
// the controls' key handling, Tab moves the focus, hints follow the pointer).
inline void Pump() {
  if (Application != nullptr) {
    Application->ProcessMessages();
    return;
  }
  MSG M;
  while (PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&M);
    DispatchMessageW(&M);
  }
}

// Pumps messages until Condition holds or MaxMs pass; answers Condition's last value.
inline bool WaitUntil(const std::function<bool()>& Condition, DWORD MaxMs = 3000) {
  const DWORD Start = GetTickCount();
  for (;;) {
    Pump();
    if (Condition()) return true;
    if (GetTickCount() - Start > MaxMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// Makes the top-level window of W the foreground window and waits until it is.
inline bool BringToFront(HWND W) {
  HWND Top = GetAncestor(W, GA_ROOT);
  SetForegroundWindow(Top);
  return WaitUntil([Top] { return GetForegroundWindow() == Top; });
}

// Moves the pointer to a point of the screen and waits until the system reports it there.
inline bool MovePointer(POINT Screen) {
  INPUT In{};
  In.type = INPUT_MOUSE;
  In.mi.dx = MulDiv(Screen.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
  In.mi.dy = MulDiv(Screen.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
  In.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &In, sizeof(INPUT));
  bool There = WaitUntil([Screen] {
    POINT P;
    GetCursorPos(&P);
    return P.x == Screen.x && P.y == Screen.y;
  });
  if (!There) {  // fall back on placing the pointer directly
    SetCursorPos(Screen.x, Screen.y);
    There = WaitUntil([Screen] {
      POINT P;
      GetCursorPos(&P);
      return P.x == Screen.x && P.y == Screen.y;
    });
  }
  Pump();
  return There;
}

// Presses and releases a mouse button at a point of W's client area: brings W's window to the
// front, moves the pointer there, then sends the press and the release.
inline bool Click(HWND W, int X, int Y, bool Right = false) {
  if (!BringToFront(W)) return false;
  POINT P{X, Y};
  ClientToScreen(W, &P);
  if (!MovePointer(P)) return false;
  INPUT In[2]{};
  In[0].type = In[1].type = INPUT_MOUSE;
  In[0].mi.dwFlags = Right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  In[1].mi.dwFlags = Right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  SendInput(2, In, sizeof(INPUT));
  Pump();
  return true;
}

// Presses and releases a key (to the window with the keyboard focus).
inline void Key(WORD Vk) {
  INPUT In[2]{};
  In[0].type = In[1].type = INPUT_KEYBOARD;
  In[0].ki.wVk = In[1].ki.wVk = Vk;
  In[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, In, sizeof(INPUT));
  Pump();
}

}  // namespace realinput
