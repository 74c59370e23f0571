// The random user of the monkey test: a seeded generator of steps, each a piece of real input
// through the system's queue (SendInput) or an action of the program's own (a skin change, a form
// sized, minimised, freed or made), run from a timer so that it goes on inside every modal loop
// (menus, message boxes, moving and sizing). A watchdog ends a run whose message loop stops for
// good with a clear failure. Win32.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "support/FreedMemoryGuard.h"
#include "support/Watchdog.h"

class TsSkinManager;

namespace monkey {

class THand;

// The run's choices: TV_MONKEY_SEED, TV_MONKEY_STEPS, TV_MONKEY_LIMIT (seconds for the whole run)
// from the environment, the fixed short run otherwise.
struct TSettings {
  unsigned Seed = 20240519;
  int Steps = 700;
  int IntervalMs = 20;
  int LimitSeconds = 420;
};
TSettings ReadSettings();

// What the run found.
struct TOutcome {
  int StepsDone = 0;
  int FirstFaultStep = -1;  // the step after which the freed-memory guard first counted a fault
  std::string FaultText;    // the guard's description of it and the steps before it
  std::vector<std::string> Exceptions;  // exceptions that left a handler, with their step
};

// The program's side of a run: the windows the steps aim at and the actions they take.
struct TTargets {
  TsSkinManager* Manager = nullptr;
  // The program's main form: sized, minimised and restored, never freed.
  TForm* MainForm = nullptr;
  // Makes one more skinned form of every control kind and shows it.
  std::function<TForm*(std::mt19937& Rng)> MakeForm;
  int MaxForms = 3;
};

class TMonkey {
 public:
  TMonkey(const TSettings& Settings, const TTargets& Targets);
  ~TMonkey();
  TMonkey(const TMonkey&) = delete;
  TMonkey& operator=(const TMonkey&) = delete;

  // Runs Steps steps in the application's message loop, then closes every menu and box that is
  // still open and returns once no modal loop is left. A run may follow another.
  TOutcome Run(int Steps);

  // The forms the run made that are alive (a form leaves the list when it is freed, also by the
  // framework after a close that frees it).
  std::vector<TForm*>& Forms() { return FForms; }
  void Adopt(TForm* Form);

  // Every step's window procedure (public for the driver window's procedure).
  LRESULT DriverMessage(HWND W, UINT Msg, WPARAM WP, LPARAM LP);
  // The seed, the step and the last steps, as a failure names them (any thread).
  std::string Describe();

 private:
  void Step();
  void CloseModals();
  void Note(const std::string& Text);
  void CheckFaults();

  // Input.
  POINT PickPoint(std::string& Where);
  void Mouse(int Kind, std::string& Text);
  void Key(std::string& Text);
  // Actions of the program.
  void SkinAction(std::string& Text);
  void FormAction(std::string& Text);
  void ModalAction(std::string& Text);
  TForm* AnyForm(bool WithMain);

  TSettings FSettings;
  TTargets FTargets;
  std::mt19937 FRng;
  std::vector<TForm*> FForms;
  HWND FDriver = nullptr;
  int FStep = 0;
  bool FBusy = false;
  bool FFinishing = false;
  bool FGhostSeen = false;
  bool FGhostBefore = false;
  bool FProclessSeen = false;
  int FFinishTicks = 0;
  int FBoxDepth = 0;
  int FModalTicks = 0;
  DWORD FStart = 0;
  TOutcome FOutcome;
  memguard::TCounts FSeen;
  std::vector<std::string> FRecent;  // the last steps, oldest first
  CRITICAL_SECTION FLog;             // FRecent and FStep as the watchdog reads them
  watchdog::TWatchdog* FWatchdog = nullptr;
  PVOID FStackHandler = nullptr;
  LPTOP_LEVEL_EXCEPTION_FILTER FOldFilter = nullptr;
  std::unique_ptr<THand> FHand;
};

}  // namespace monkey
