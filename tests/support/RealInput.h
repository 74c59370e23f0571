// Real user input for window tests: the pointer and the keys go through the system's input queue
// (SendInput), as a person's would. Under Wine on Xvfb the pointer position and the foreground
// window follow a request only after a round trip to the X server, so every step here waits until
// the system reports the new state before the next one starts.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <vector>

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

// A mouse button event (MOUSEEVENTF_LEFTDOWN ...; 0 for a plain move) that carries its screen
// point: the button goes down or up there, whatever position the system stored last for the
// pointer (under Wine on a busy machine a late report of an earlier position may still come).
inline INPUT ButtonAt(POINT S, DWORD Flags) {
  INPUT In{};
  In.type = INPUT_MOUSE;
  In.mi.dx = MulDiv(S.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
  In.mi.dy = MulDiv(S.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
  In.mi.dwFlags = Flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  return In;
}

// Sends button events, each at its point, and handles the messages they make.
inline void SendButtons(std::vector<INPUT> In) {
  SendInput(static_cast<UINT>(In.size()), In.data(), sizeof(INPUT));
  Pump();
}

// Moves the pointer to a screen point and waits until it stays there while the moves still
// queued are handled. Under Wine on X a late report of an earlier position (a busy machine, a
// window moving under the pointer) can take the pointer back; the move is then made again.
inline bool MovePointerSettled(POINT S) {
  for (int Try = 0; Try < 5; ++Try) {
    if (!MovePointer(S)) return false;
    bool Stays = true;
    for (int I = 0; I < 5 && Stays; ++I) {
      Sleep(10);
      Pump();
      POINT C;
      GetCursorPos(&C);
      Stays = C.x == S.x && C.y == S.y;
    }
    if (Stays) {
      // The pointer's place as the system queues input may still be the earlier one: one more
      // move to the point puts it right there too (nothing happens when it already is).
      SendButtons({ButtonAt(S, 0)});
      return true;
    }
  }
  return false;
}

// Watches what this thread takes from its queue while it lives, through a thread hook of the kind
// HookKind: each event taken (the hook's HC_ACTION) goes to TWatch::Take of every watch living.
template <class TWatch, int HookKind>
class THookWatch {
 public:
  THookWatch() : Outer(Current()) {
    Current() = this;
    Hook = SetWindowsHookExW(HookKind, Proc, nullptr, GetCurrentThreadId());
  }
  ~THookWatch() {
    if (Hook != nullptr) UnhookWindowsHookEx(Hook);
    Current() = Outer;
  }
  THookWatch(const THookWatch&) = delete;
  THookWatch& operator=(const THookWatch&) = delete;

  bool Watching() const { return Hook != nullptr; }

 private:
  static THookWatch*& Current() {
    static THookWatch* W = nullptr;
    return W;
  }
  static LRESULT CALLBACK Proc(int Code, WPARAM WParam, LPARAM LParam) {
    if (Code == HC_ACTION)
      for (THookWatch* W = Current(); W != nullptr; W = W->Outer) static_cast<TWatch*>(W)->Take(WParam, LParam);
    return CallNextHookEx(nullptr, Code, WParam, LParam);
  }
  THookWatch* Outer;
  HHOOK Hook = nullptr;
};

// The mouse messages this thread takes: a window has seen a pointer event when a message of it
// was taken for that window.
class TMouseWatch : public THookWatch<TMouseWatch, WH_MOUSE> {
 public:
  // A message of one of the kinds (client or non-client message numbers) was taken at S.
  bool Saw(POINT S, std::initializer_list<UINT> Kinds) const {
    for (const TSeen& E : Seen)
      for (UINT K : Kinds)
        if (E.Msg == K && E.At.x == S.x && E.At.y == S.y) return true;
    return false;
  }
  void Take(WPARAM Msg, LPARAM L) {
    Seen.push_back(TSeen{static_cast<UINT>(Msg), reinterpret_cast<const MOUSEHOOKSTRUCT*>(L)->pt});
  }

 private:
  struct TSeen {
    UINT Msg;
    POINT At;
  };
  std::vector<TSeen> Seen;
};

// The key releases this thread takes.
class TKeyWatch : public THookWatch<TKeyWatch, WH_KEYBOARD> {
 public:
  bool SawRelease(WORD Vk) const {
    for (const WORD K : Released)
      if (K == Vk) return true;
    return false;
  }
  void Take(WPARAM Vk, LPARAM L) {
    if ((static_cast<DWORD>(L) & 0x80000000u) != 0) Released.push_back(static_cast<WORD>(Vk));
  }

 private:
  std::vector<WORD> Released;
};

// Moves the pointer to a screen point and waits until a window of this thread has taken the move
// there from its queue, so that its hit test, hot state and hover follow the point before a press
// (under Wine on a busy X server the system may report the pointer there well before the window
// under it hears of it, and a late report of an earlier place may come between). The pointer
// goes one pixel aside first: a move is made even when it is there already.
inline bool MovePointerSeen(POINT S) {
  TMouseWatch Watch;
  if (!Watch.Watching()) return MovePointerSettled(S);
  const POINT Aside{S.x > 0 ? S.x - 1 : S.x + 1, S.y};
  for (int Try = 0; Try < 3; ++Try) {
    SendButtons({ButtonAt(Aside, 0), ButtonAt(S, 0)});
    if (WaitUntil([&] { return Watch.Saw(S, {WM_MOUSEMOVE, WM_NCMOUSEMOVE}); })) return true;
  }
  return false;
}

// Button events at a screen point, one for each of Flags (MOUSEEVENTF_WHEEL turns the wheel there
// by WheelDelta).
inline std::vector<INPUT> ButtonsAt(POINT S, const std::vector<DWORD>& Flags, int WheelDelta = 0) {
  std::vector<INPUT> In;
  for (const DWORD F : Flags) {
    In.push_back(ButtonAt(S, F));
    if (F == MOUSEEVENTF_WHEEL) In.back().mi.mouseData = static_cast<DWORD>(WheelDelta);
  }
  return In;
}

// Sends them, queued together, and waits until a window of this thread has taken the last of them
// from its queue and handled it, wherever the handling of the ones before led (a menu or a box of
// their own, a focus that moved).
inline bool ButtonsSeen(POINT S, const std::vector<DWORD>& Flags, int WheelDelta = 0) {
  const DWORD Last = Flags.back();
  const UINT Client = Last == MOUSEEVENTF_LEFTUP    ? WM_LBUTTONUP
                      : Last == MOUSEEVENTF_RIGHTUP ? WM_RBUTTONUP
                      : Last == MOUSEEVENTF_MIDDLEUP ? WM_MBUTTONUP
                                                     : WM_MOUSEWHEEL;
  const UINT NonClient = Client == WM_MOUSEWHEEL ? WM_MOUSEWHEEL : Client - WM_LBUTTONUP + WM_NCLBUTTONUP;
  TMouseWatch Watch;
  SendButtons(ButtonsAt(S, Flags, WheelDelta));
  return !Watch.Watching() || WaitUntil([&] { return Watch.Saw(S, {Client, NonClient}); });
}

// A real left click at a screen point, no window brought to the front first: the pointer seen at
// the point (MovePointerSeen), then the press and the release there, reaching whatever the screen
// shows there, as a person's would. Both carry the point and are queued together, so a modal loop
// that the press starts still finds the release.
inline bool ClickSeen(POINT S) {
  if (!MovePointerSeen(S)) return false;
  SendButtons({ButtonAt(S, MOUSEEVENTF_LEFTDOWN), ButtonAt(S, MOUSEEVENTF_LEFTUP)});
  return true;
}

// The same with the window of Front brought to the front first.
inline bool ClickSeen(HWND Front, POINT S) { return BringToFront(Front) && ClickSeen(S); }

// A left press or release at a screen point, waited for until a window of this thread has taken
// it (not for a press that starts a modal loop: the wait would run inside it).
inline bool LeftButtonSeen(POINT S, bool Down) {
  TMouseWatch Watch;
  SendButtons({ButtonAt(S, Down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP)});
  if (!Watch.Watching()) return true;
  return WaitUntil([&] {
    return Down ? Watch.Saw(S, {WM_LBUTTONDOWN, WM_NCLBUTTONDOWN, WM_LBUTTONDBLCLK, WM_NCLBUTTONDBLCLK})
                : Watch.Saw(S, {WM_LBUTTONUP, WM_NCLBUTTONUP});
  });
}

// The same for a client point of W.
inline bool PointerSettledTo(HWND W, int X, int Y) {
  POINT P{X, Y};
  ClientToScreen(W, &P);
  return MovePointerSettled(P);
}

// A real click at a client point of W once the pointer has settled there (see
// MovePointerSettled): W's window comes to the front, then the press and the release there.
inline bool SettledClick(HWND W, int X, int Y, bool Right = false) {
  if (!BringToFront(W) || !PointerSettledTo(W, X, Y)) return false;
  POINT S{X, Y};
  ClientToScreen(W, &S);
  SendButtons({ButtonAt(S, Right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN),
               ButtonAt(S, Right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP)});
  return true;
}

// Presses and releases a mouse button at a point of W's client area: brings W's window to the
// front, moves the pointer there, then sends the press and the release.
inline bool Click(HWND W, int X, int Y, bool Right = false) { return SettledClick(W, X, Y, Right); }

// Presses and releases a key (to the window with the keyboard focus).
inline void Key(WORD Vk) {
  INPUT In[2]{};
  In[0].type = In[1].type = INPUT_KEYBOARD;
  In[0].ki.wVk = In[1].ki.wVk = Vk;
  In[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, In, sizeof(INPUT));
  Pump();
}

// The same, and waits until a window of this thread has taken the release.
inline bool KeySeen(WORD Vk) {
  TKeyWatch Watch;
  Key(Vk);
  return !Watch.Watching() || WaitUntil([&] { return Watch.SawRelease(Vk); });
}

// Presses and releases a key while a modifier key is held (Alt+Space: VK_MENU, VK_SPACE), then
// handles what the keys started (a menu's loop runs inside).
inline void KeyWith(WORD Modifier, WORD Vk) {
  INPUT In[4]{};
  for (INPUT& I : In) I.type = INPUT_KEYBOARD;
  In[0].ki.wVk = In[3].ki.wVk = Modifier;
  In[1].ki.wVk = In[2].ki.wVk = Vk;
  In[2].ki.dwFlags = In[3].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(4, In, sizeof(INPUT));
  Pump();
}

}  // namespace realinput
