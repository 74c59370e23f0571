// TTimer: a component that fires OnTimer every Interval milliseconds on the GUI thread. Win32.
#pragma once

#include <windows.h>

#include "framework/Components.h"
#include "framework/Lists.h"

// The timer runs while it is Enabled, its Interval is above 0 and it has an OnTimer handler;
// the ticks arrive as WM_TIMER messages of a hidden window shared by all timers, so they fire
// only while the program handles messages. An exception that leaves OnTimer goes to the
// application's HandleException.
class TTimer : public TComponent {
  T_CLASS(TTimer, TComponent)

 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  // Milliseconds between ticks (default 1000); 0 stops the timer. Negative values raise
  // EInvalidOperation "Timer interval must not be negative".
  unsigned Interval() const { return FInterval; }
  void SetInterval(int Value);
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent Value);
  // The system timer is running.
  bool Running() const { return FTimerId != 0; }

 protected:
  // Fires OnTimer.
  virtual void Timer();

 private:
  friend LRESULT CALLBACK TimerWindowProc(HWND, UINT, WPARAM, LPARAM);
  void UpdateTimer();

  bool FEnabled = true;
  unsigned FInterval = 1000;
  TNotifyEvent FOnTimer;
  UINT_PTR FTimerId = 0;
};
