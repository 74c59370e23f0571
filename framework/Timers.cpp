#include "framework/Timers.h"

#include <map>

#include "framework/Forms.h"

namespace {

// The running timers by id (never freed: timers may go away while the program ends), and the
// hidden window that receives the WM_TIMER messages of every timer.
std::map<UINT_PTR, TTimer*>& TimerMap() {
  static auto* Map = new std::map<UINT_PTR, TTimer*>;
  return *Map;
}
UINT_PTR NextTimerId = 0;
HWND TimerWindow = nullptr;

}  // namespace

LRESULT CALLBACK TimerWindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg != WM_TIMER) return DefWindowProcW(Window, Msg, WParam, LParam);
  auto It = TimerMap().find(WParam);
  if (It == TimerMap().end()) return 0;
  TTimer* T = It->second;
  // A timer whose handler failed waits until its error box is closed.
  if (Application != nullptr && Application->TimerHeld(Window, WParam)) return 0;
  try {
    T->Timer();
  } catch (...) {
    if (Application != nullptr) {
      try {
        Application->HandleTimerException(T, Window, WParam);
      } catch (...) {
      }
    }
  }
  return 0;
}

namespace {

HWND GetTimerWindow() {
  if (TimerWindow != nullptr) return TimerWindow;
  const wchar_t* ClassName = L"TTimerWindow";
  if (!RegisterPlainWindowClass(ClassName, TimerWindowProc))
    throw EOutOfResources("Cannot register the timer window class");
  TimerWindow = CreateMessageWindow(ClassName);
  if (TimerWindow == nullptr) throw EOutOfResources("Not enough timers available");
  return TimerWindow;
}

}  // namespace

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {}

TTimer::~TTimer() {
  if (FTimerId != 0) {
    KillTimer(TimerWindow, FTimerId);
    TimerMap().erase(FTimerId);
    FTimerId = 0;
  }
}

void TTimer::UpdateTimer() {
  if (FTimerId != 0) {
    KillTimer(TimerWindow, FTimerId);
    TimerMap().erase(FTimerId);
    FTimerId = 0;
  }
  if (!FEnabled || FInterval == 0 || !FOnTimer) return;
  HWND W = GetTimerWindow();
  do {
    NextTimerId = NextTimerId % 0x7FFF0000u + 1;
  } while (TimerMap().count(NextTimerId) != 0);
  if (SetTimer(W, NextTimerId, FInterval, nullptr) == 0) throw EOutOfResources("Not enough timers available");
  FTimerId = NextTimerId;
  TimerMap()[FTimerId] = this;
}

void TTimer::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  UpdateTimer();
}

void TTimer::SetInterval(int Value) {
  if (Value < 0) throw EInvalidOperation("Timer interval must not be negative");
  if (FInterval == static_cast<unsigned>(Value)) return;
  FInterval = static_cast<unsigned>(Value);
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent Value) {
  FOnTimer = std::move(Value);
  UpdateTimer();
}

void TTimer::Timer() {
  if (FEnabled && FOnTimer) FOnTimer(this);
}
