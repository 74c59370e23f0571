#include "monkey/support/Monkey.h"

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/Exceptions.h"
#include "framework/Menus.h"
#include "skin/core/sSkinManager.h"
#include "support/FreedMemoryGuard.h"
#include "support/GdiHandleGuard.h"
#include "support/RealInput.h"
#include "support/Watchdog.h"

namespace monkey {

namespace {

constexpr UINT_PTR StepTimer = 1;
constexpr UINT WM_OPENBOX = WM_APP + 1;
constexpr UINT WM_OPENPOPUP = WM_APP + 2;
constexpr UINT WM_OPENSYSMENU = WM_APP + 3;
constexpr UINT WM_DROPDOWN = WM_APP + 4;
constexpr std::size_t KeptSteps = 40;
// Steps a menu or a box may stay open before the run closes it.
constexpr int ModalPatience = 80;
// Boxes the run opens inside each other at most.
constexpr int MaxBoxDepth = 2;

TMonkey* Current = nullptr;

int EnvInt(const char* Name, int Default) {
  char B[32];
  const DWORD N = GetEnvironmentVariableA(Name, B, sizeof B);
  if (N == 0 || N >= sizeof B) return Default;
  return static_cast<int>(std::strtoul(B, nullptr, 10));
}

std::string ClassOf(HWND W) {
  char C[64] = {};
  GetClassNameA(W, C, sizeof C);
  return C;
}

bool IsOwnShown(HWND W) {
  DWORD Pid = 0;
  GetWindowThreadProcessId(W, &Pid);
  return Pid == GetCurrentProcessId() && IsWindowVisible(W);
}

// The windows the pointer aims at. Minimised windows are left out: on this platform's virtual
// desktop they are the system's own title bars, whose dragging runs a loop that no timer of the
// program reaches and that only Escape ends.
BOOL CALLBACK AddShownTop(HWND W, LPARAM LP) {
  RECT R;
  if (IsOwnShown(W) && !IsIconic(W) && GetWindowRect(W, &R) && R.right - R.left > 2 && R.bottom - R.top > 2 &&
      ClassOf(W) != "tooltips_class32")
    reinterpret_cast<std::vector<HWND>*>(LP)->push_back(W);
  return TRUE;
}

std::vector<HWND> ShownTopWindows() {
  std::vector<HWND> L;
  EnumWindows(AddShownTop, reinterpret_cast<LPARAM>(&L));
  return L;
}

BOOL CALLBACK AddShownChild(HWND W, LPARAM LP) {
  if (IsWindowVisible(W)) reinterpret_cast<std::vector<HWND>*>(LP)->push_back(W);
  return TRUE;
}

// A menu or a box of the process is open.
bool ModalOpen(bool& Menu, bool& Box) {
  Menu = Box = false;
  for (HWND W : ShownTopWindows()) {
    const std::string C = ClassOf(W);
    if (C == "#32768") Menu = true;
    if (C == "#32770") Box = true;
  }
  return Menu || Box;
}

int Rand(std::mt19937& R, int Lo, int Hi) { return std::uniform_int_distribution<int>(Lo, Hi)(R); }

template <class T>
const T& Pick(std::mt19937& R, const std::vector<T>& From) {
  return From[static_cast<std::size_t>(Rand(R, 0, static_cast<int>(From.size()) - 1))];
}

std::string Pt(POINT P) {
  std::string S(1, '(');
  S += std::to_string(P.x);
  S += ',';
  S += std::to_string(P.y);
  S += ')';
  return S;
}

INPUT KeyInput(WORD Vk, bool Up) {
  INPUT I{};
  I.type = INPUT_KEYBOARD;
  I.ki.wVk = Vk;
  I.ki.dwFlags = Up ? KEYEVENTF_KEYUP : 0;
  return I;
}

void SendAll(std::vector<INPUT> In) { SendInput(static_cast<UINT>(In.size()), In.data(), sizeof(INPUT)); }

}  // namespace

// Input that a hand gives over time: the moves and the release of a drag come after the press,
// from a thread of their own, while the program's thread may be inside a loop of the system's
// that no timer reaches (moving, sizing, a pressed caption button).
class THand {
 public:
  THand() {
    InitializeCriticalSection(&FLock);
    FWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    FThread = CreateThread(nullptr, 0, Main, this, 0, nullptr);
  }
  ~THand() {
    FStop = true;
    SetEvent(FWake);
    WaitForSingleObject(FThread, INFINITE);
    CloseHandle(FThread);
    CloseHandle(FWake);
    DeleteCriticalSection(&FLock);
  }
  THand(const THand&) = delete;
  THand& operator=(const THand&) = delete;

  // Sends In, each event DelayMs after the one before.
  void Later(std::vector<INPUT> In, DWORD DelayMs) {
    EnterCriticalSection(&FLock);
    DWORD Due = GetTickCount();
    for (const INPUT& I : In) FJobs.push_back({Due += DelayMs, I});
    LeaveCriticalSection(&FLock);
    SetEvent(FWake);
  }
  bool Busy() {
    EnterCriticalSection(&FLock);
    const bool B = !FJobs.empty();
    LeaveCriticalSection(&FLock);
    return B;
  }

 private:
  struct TJob {
    DWORD Due;
    INPUT In;
  };
  static DWORD WINAPI Main(LPVOID Param) {
    auto* Self = static_cast<THand*>(Param);
    while (!Self->FStop) {
      WaitForSingleObject(Self->FWake, 10);
      for (;;) {
        EnterCriticalSection(&Self->FLock);
        const bool Due = !Self->FJobs.empty() && static_cast<LONG>(GetTickCount() - Self->FJobs.front().Due) >= 0;
        INPUT In{};
        if (Due) In = Self->FJobs.front().In;
        LeaveCriticalSection(&Self->FLock);
        if (!Due) break;
        SendInput(1, &In, sizeof(INPUT));
        EnterCriticalSection(&Self->FLock);
        Self->FJobs.erase(Self->FJobs.begin());
        LeaveCriticalSection(&Self->FLock);
      }
    }
    return 0;
  }
  CRITICAL_SECTION FLock;
  HANDLE FWake = nullptr;
  HANDLE FThread = nullptr;
  volatile bool FStop = false;
  std::vector<TJob> FJobs;
};

namespace {

// Windows of the thread without a window procedure (a call to address 0 names none of the
// program's code), by class and the class of their parent.
BOOL CALLBACK NoteProcless(HWND W, LPARAM Text) {
  if (GetWindowLongPtrW(W, GWLP_WNDPROC) == 0) {
    char C[64] = "", P[64] = "";
    GetClassNameA(W, C, sizeof C);
    GetClassNameA(GetParent(W), P, sizeof P);
    *reinterpret_cast<std::string*>(Text) += std::string(" ") + C + " (in " + P + ")" + gdiguard::ProcedureChangesOf(W);
  }
  return TRUE;
}
BOOL CALLBACK NoteProclessTree(HWND W, LPARAM Text) {
  NoteProcless(W, Text);
  EnumChildWindows(W, NoteProcless, Text);
  return TRUE;
}

// The window a call to address 0 went to (the system calls a window procedure with the window
// first): its class, its thread, and the control of the program that holds it.
std::string DescribeCallTarget(DWORD Esp) {
  const HWND W = *reinterpret_cast<const HWND*>(static_cast<std::uintptr_t>(Esp) + 4);
  const UINT Msg = *reinterpret_cast<const UINT*>(static_cast<std::uintptr_t>(Esp) + 8);
  char C[64] = "", P[64] = "", Text[512];
  GetClassNameA(W, C, sizeof C);
  GetClassNameA(GetParent(W), P, sizeof P);
  const bool Ours = GetWindowThreadProcessId(W, nullptr) == GetCurrentThreadId();
  std::string Control = "none";
  if (TWinControl* Ctl = Ours ? FindControl(W) : nullptr) {
    Control = std::string(Ctl->ClassName()) + " '" + std::string(Ctl->Name()) + "'";
    if (Ctl->Parent() != nullptr) Control += std::string(" in ") + Ctl->Parent()->ClassName();
    if (Ctl->IsDestroying()) Control += " (being destroyed)";
  }
  std::snprintf(Text, sizeof Text,
                "monkey: the call went to window %p (message 0x%x): %s, class %s in %s, procedure now %p, "
                "this thread's: %s, control: %s\n",
                static_cast<void*>(W), Msg, IsWindow(W) ? "a window" : "no window", C, P,
                reinterpret_cast<void*>(GetWindowLongPtrW(W, GWLP_WNDPROC)), Ours ? "yes" : "no", Control.c_str());
  return Text + std::string("  set by the program:") + gdiguard::ProcedureChangesOf(W) + "\n";
}

LONG StackNoted = 0;
char StackText[2048];

// The first access violation since the last look: the code on its stack and, for a call to
// address 0 (swallowed by the system and repeated, it shows only as a hang), the window it went to.
LONG CALLBACK NoteStack(EXCEPTION_POINTERS* E) {
  if (E->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && InterlockedExchange(&StackNoted, 1) == 0) {
    watchdog::ScanStack(E->ContextRecord->Eip, E->ContextRecord->Esp, StackText, sizeof StackText);
    if (E->ContextRecord->Eip == 0) {
      const std::size_t Used = std::strlen(StackText);
      std::snprintf(StackText + Used, sizeof StackText - Used, "\n%s",
                    DescribeCallTarget(E->ContextRecord->Esp).c_str());
    }
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

// A crash that nothing catches ends the process with a failure: the run says first where it was.
// (Left to the system's debugger, a crash inside a window procedure can end the process with
// exit code 0 under Wine, and the run would pass.)
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* E) {
  char Stack[1024] = "";
  watchdog::ScanStack(E->ContextRecord->Eip, E->ContextRecord->Esp, Stack, sizeof Stack);
  std::printf("monkey: FAILED: exception 0x%lx nothing caught; %s%s\n",
              static_cast<unsigned long>(E->ExceptionRecord->ExceptionCode),
              Current != nullptr ? Current->Describe().c_str() : "", Stack);
  // A bare address lies outside the program's modules: in the host's own libraries, where the
  // system's drawing and window code runs.
  std::printf("monkey: the fault's code: %s\n",
              memguard::DescribeCode(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(E->ContextRecord->Eip)))
                  .c_str());
  // What the guards recorded before (a stale GDI handle's call can corrupt the system's data long
  // before its code crashes on it).
  const std::string Recorded = memguard::DescribeSince(memguard::TCounts{});
  std::printf("monkey: recorded by the guards before the crash:%s\n%s", Recorded.empty() ? " nothing" : "",
              Recorded.c_str());
  if (E->ContextRecord->Eip == 0) {
    std::printf("%s", DescribeCallTarget(E->ContextRecord->Esp).c_str());
    std::string Procless;
    EnumThreadWindows(GetCurrentThreadId(), NoteProclessTree, reinterpret_cast<LPARAM>(&Procless));
    std::printf("monkey: windows without a procedure:%s\n", Procless.empty() ? " none" : Procless.c_str());
  }
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 6);
  return EXCEPTION_CONTINUE_SEARCH;
}

LRESULT CALLBACK DriverProc(HWND W, UINT Msg, WPARAM WP, LPARAM LP) {
  if (Current != nullptr) return Current->DriverMessage(W, Msg, WP, LP);
  return DefWindowProcW(W, Msg, WP, LP);
}

// Notes a form's destruction to the run that made it (a component the form owns and frees).
class TFormWatch : public TComponent {
  T_CLASS(TFormWatch, TComponent)

 public:
  TFormWatch(TForm* Form, std::vector<TForm*>* List) : TComponent(Form), FForm(Form), FList(List) {}
  ~TFormWatch() override { FList->erase(std::remove(FList->begin(), FList->end(), FForm), FList->end()); }

 private:
  TForm* FForm;
  std::vector<TForm*>* FList;
};

}  // namespace

TSettings ReadSettings() {
  TSettings S;
  S.Seed = static_cast<unsigned>(EnvInt("TV_MONKEY_SEED", static_cast<int>(S.Seed)));
  S.Steps = EnvInt("TV_MONKEY_STEPS", S.Steps);
  S.LimitSeconds = EnvInt("TV_MONKEY_LIMIT", S.LimitSeconds);
  S.IntervalMs = EnvInt("TV_MONKEY_INTERVAL", S.IntervalMs);
  return S;
}

// ---- the run ------------------------------------------------------------------------------------

TMonkey::TMonkey(const TSettings& Settings, const TTargets& Targets)
    : FSettings(Settings), FTargets(Targets), FRng(Settings.Seed) {
  InitializeCriticalSection(&FLog);
  Current = this;
  FHand = std::make_unique<THand>();
  FStackHandler = AddVectoredExceptionHandler(1, NoteStack);
  FOldFilter = SetUnhandledExceptionFilter(ReportCrash);
  WNDCLASSW C{};
  C.lpfnWndProc = DriverProc;
  C.hInstance = GetModuleHandleW(nullptr);
  C.lpszClassName = L"TvMonkeyDriver";
  RegisterClassW(&C);
  FDriver = CreateWindowExW(0, C.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, C.hInstance, nullptr);
  Application->OnException = [this](TObject*, Exception& E) {
    // The first one comes with the steps that led to it.
    FOutcome.Exceptions.push_back("step " + std::to_string(FStep) + ": " + E.Message +
                                  (FOutcome.Exceptions.empty() ? "\n" + Describe() : std::string()));
  };
}

TMonkey::~TMonkey() {
  FHand.reset();
  Application->OnException = nullptr;
  if (FDriver != nullptr) DestroyWindow(FDriver);
  Current = nullptr;
  RemoveVectoredExceptionHandler(FStackHandler);
  SetUnhandledExceptionFilter(FOldFilter);
  DeleteCriticalSection(&FLog);
}

void TMonkey::Adopt(TForm* Form) {
  FForms.push_back(Form);
  new TFormWatch(Form, &FForms);
}

std::string TMonkey::Describe() {
  EnterCriticalSection(&FLog);
  std::string S = "seed " + std::to_string(FSettings.Seed) + ", step " + std::to_string(FStep) + " of " +
                  std::to_string(FSettings.Steps) + "; the last steps:\n";
  for (const std::string& R : FRecent) S += "  " + R + "\n";
  LeaveCriticalSection(&FLog);
  return S;
}

void TMonkey::Note(const std::string& Text) {
  EnterCriticalSection(&FLog);
  std::string Line(1, '#');
  Line += std::to_string(FStep);
  Line += ' ';
  Line += Text;
  FRecent.push_back(std::move(Line));
  if (FRecent.size() > KeptSteps) FRecent.erase(FRecent.begin());
  LeaveCriticalSection(&FLog);
}

void TMonkey::CheckFaults() {
  const memguard::TCounts C = memguard::Counts();
  if (C.HeapFaults == FSeen.HeapFaults && C.HardwareFaults == FSeen.HardwareFaults) return;
  if (FOutcome.FirstFaultStep < 0) {
    FOutcome.FirstFaultStep = FStep;
    FOutcome.FaultText = memguard::DescribeSince(FSeen) + (StackNoted != 0 ? std::string(StackText) + "\n" : "") +
                         Describe();
  }
  FSeen = C;
  StackNoted = 0;
}

TOutcome TMonkey::Run(int Steps) {
  FSettings.Steps = Steps;
  FStep = 0;
  FFinishing = false;
  FFinishTicks = 0;
  FModalTicks = 0;
  FOutcome = TOutcome{};
  FSeen = memguard::Counts();
  StackNoted = 0;
  FStart = GetTickCount();
  // A hang may be a fault repeated without end (the system swallows each one and calls again):
  // the faults counted since the last step come with it.
  watchdog::TWatchdog Dog("monkey", FSettings.LimitSeconds + 60, 10, true, [this] {
    const memguard::TCounts C = memguard::Counts();
    const bool Faults = C.HeapFaults != FSeen.HeapFaults || C.HardwareFaults != FSeen.HardwareFaults;
    return (Faults ? memguard::DescribeSince(FSeen) + (StackNoted != 0 ? std::string(StackText) + "\n" : "") : "") +
           Describe();
  });
  FWatchdog = &Dog;
  SetTimer(FDriver, StepTimer, static_cast<UINT>(FSettings.IntervalMs), nullptr);
  while (!FFinishing) {
    try {
      Application->HandleMessage();
    } catch (...) {
      Application->HandleException(Application);
    }
    if (Application->Terminated()) {
      FOutcome.Exceptions.push_back("the application was told to quit; " + Describe());
      break;
    }
  }
  KillTimer(FDriver, StepTimer);
  FWatchdog = nullptr;
  CheckFaults();
  FOutcome.StepsDone = FStep;
  return FOutcome;
}

LRESULT TMonkey::DriverMessage(HWND W, UINT Msg, WPARAM WP, LPARAM LP) {
  try {
    switch (Msg) {
      case WM_TIMER:
        if (WP == StepTimer) Step();
        return 0;
      case WM_OPENBOX: {
        // Not inside a menu's loop either: a box there leaves the system's menu window on the
        // screen after both loops end, skinned or not.
        if (FBoxDepth >= MaxBoxDepth || MenuLoopRunning()) return 0;
        HWND Owner = reinterpret_cast<HWND>(LP);
        if (Owner != nullptr && !IsWindow(Owner)) Owner = nullptr;
        static const UINT Kinds[] = {MB_OK | MB_ICONINFORMATION, MB_OKCANCEL | MB_ICONWARNING,
                                     MB_YESNOCANCEL | MB_ICONQUESTION, MB_RETRYCANCEL | MB_ICONERROR};
        ++FBoxDepth;
        MessageBoxW(Owner, L"A box of the random user.\nIt closes with any of its buttons.", L"Monkey",
                    Kinds[WP % 4]);
        --FBoxDepth;
        return 0;
      }
      // A menu or a drop-down list opens only while no menu is tracked: a person cannot open one
      // inside a menu's loop, and the system keeps one menu loop per thread.
      case WM_OPENSYSMENU:
        // A user opens the system menu of a shown window only: one of a hidden form, maximized
        // from there, showed the form behind the framework's back (its Visible stayed false, and
        // the next press on its caption could not focus it).
        if (HWND F = reinterpret_cast<HWND>(LP); !MenuLoopRunning() && IsWindow(F) && IsWindowVisible(F))
          SendMessageW(F, WM_SYSCOMMAND, SC_KEYMENU, ' ');
        return 0;
      case WM_DROPDOWN:
        if (HWND C = reinterpret_cast<HWND>(LP); !MenuLoopRunning() && IsWindow(C)) SendMessageW(C, CB_SHOWDROPDOWN, TRUE, 0);
        return 0;
      case WM_OPENPOPUP:
        if (TForm* F = AnyForm(false); !MenuLoopRunning() && F != nullptr && F->PopupMenu() != nullptr) {
          POINT P;
          GetCursorPos(&P);
          F->PopupMenu()->Popup(P.x, P.y);
        }
        return 0;
      default:
        break;
    }
  } catch (...) {
    Application->HandleException(Application);
  }
  return DefWindowProcW(W, Msg, WP, LP);
}

void TMonkey::CloseModals() {
  ++FFinishTicks;
  EndMenu();
  for (HWND W : ShownTopWindows())
    if (ClassOf(W) == "#32770") PostMessageW(W, WM_COMMAND, FFinishTicks % 2 == 0 ? IDCANCEL : IDOK, 0);
  if (GetCapture() != nullptr) ReleaseCapture();
  if (FFinishTicks % 4 == 0) {
    SendAll({KeyInput(VK_ESCAPE, false), KeyInput(VK_ESCAPE, true)});
    watchdog::EndSystemLoops(GetCurrentThreadId());
  }
}

void TMonkey::Step() {
  if (FBusy) return;
  FBusy = true;
  struct TReset {
    bool& B;
    ~TReset() { B = false; }
  } Reset{FBusy};
  CheckFaults();
  if (!FFinishing) {
    const bool OutOfTime = GetTickCount() - FStart > static_cast<DWORD>(FSettings.LimitSeconds) * 1000;
    if (OutOfTime)
      FOutcome.Exceptions.push_back("the run took longer than " + std::to_string(FSettings.LimitSeconds) +
                                    " s: " + std::to_string(FStep) + " of " + std::to_string(FSettings.Steps) +
                                    " steps");
    if (FStep >= FSettings.Steps || FOutcome.FirstFaultStep >= 0 || OutOfTime) FFinishing = true;
  }
  if (FFinishing) {
    CloseModals();
    return;
  }
  // The hand finishes what it does before the next step.
  if (FHand->Busy()) return;
  EnterCriticalSection(&FLog);
  ++FStep;
  LeaveCriticalSection(&FLog);
  if (FWatchdog != nullptr) FWatchdog->Progress();
  if (FStep % 1000 == 0) {
    std::printf("monkey: step %d (%lu s)\n", FStep, (GetTickCount() - FStart) / 1000);
    std::fflush(stdout);
  }
  // A menu or a box that stays open too long is closed, as a person would close it.
  bool Menu = false, Box = false;
  if (ModalOpen(Menu, Box) && ++FModalTicks > ModalPatience) {
    FModalTicks = 0;
    Note(std::string("the run closes the open ") + (Menu ? "menu" : "box"));
    CloseModals();
    return;
  }
  if (!Menu && !Box) FModalTicks = 0;
  // A menu window on the screen while no menu loop runs, at two steps in a row, was left behind.
  const bool Ghost = Menu && !MenuLoopRunning();
  if (Ghost && FGhostBefore && !FGhostSeen) {
    FGhostSeen = true;
    FOutcome.Exceptions.push_back("a menu window stays on the screen with no menu loop running; " + Describe());
  }
  FGhostBefore = Ghost;
  // A window without a window procedure takes every message as a call to address 0: the step
  // that left one behind is the one just done.
  if (!FProclessSeen) {
    std::string Procless;
    EnumThreadWindows(GetCurrentThreadId(), NoteProclessTree, reinterpret_cast<LPARAM>(&Procless));
    if (!Procless.empty()) {
      FProclessSeen = true;
      FOutcome.Exceptions.push_back("windows without a window procedure:" + Procless + "; " + Describe());
    }
  }
  std::string Text;
  const int A = Rand(FRng, 0, 99);
  if (A < 8) Mouse(0, Text);          // move
  else if (A < 30) Mouse(1, Text);    // click
  else if (A < 36) Mouse(2, Text);    // double click
  else if (A < 43) Mouse(3, Text);    // right click
  else if (A < 50) Mouse(4, Text);    // drag
  else if (A < 55) Mouse(5, Text);    // wheel
  else if (A < 80) Key(Text);
  else if (A < 86) SkinAction(Text);
  else if (A < 94) FormAction(Text);
  else ModalAction(Text);
  if (!FTargets.Manager->Active()) Text += " (skin off)";
  if (FTargets.Manager->ExtendedBorders()) Text += " (ext)";
  Note(Text);
}

// ---- input --------------------------------------------------------------------------------------

POINT TMonkey::PickPoint(std::string& Where) {
  const int SW = GetSystemMetrics(SM_CXSCREEN), SH = GetSystemMetrics(SM_CYSCREEN);
  const std::vector<HWND> Tops = ShownTopWindows();
  POINT P{Rand(FRng, 0, SW - 1), Rand(FRng, 0, SH - 1)};
  if (Tops.empty() || Rand(FRng, 0, 99) < 4) {
    Where = "screen";
    return P;
  }
  // Open menus, boxes and drop-down lists draw the pointer most.
  std::vector<HWND> Weighted;
  for (HWND W : Tops) {
    const std::string C = ClassOf(W);
    const int N = C == "#32768" || C == "#32770" || C == "ComboLBox" ? 6 : 2;
    for (int I = 0; I < N; ++I) Weighted.push_back(W);
  }
  HWND W = Pick(FRng, Weighted);
  RECT R;
  GetWindowRect(W, &R);
  Where = ClassOf(W);
  const int Part = Rand(FRng, 0, 99);
  auto In = [&](int L, int T, int Ri, int B) {
    return POINT{Rand(FRng, L, std::max(L, Ri - 1)), Rand(FRng, T, std::max(T, B - 1))};
  };
  if (Part < 30) {
    P = In(R.left, R.top, R.right, R.bottom);
  } else if (Part < 55) {
    std::vector<HWND> Children;
    EnumChildWindows(W, AddShownChild, reinterpret_cast<LPARAM>(&Children));
    RECT CR = R;
    if (!Children.empty()) {
      HWND Ch = Pick(FRng, Children);
      GetWindowRect(Ch, &CR);
      Where += ">" + ClassOf(Ch);
    }
    P = In(CR.left, CR.top, CR.right, CR.bottom);
  } else if (Part < 70) {
    Where += " caption";
    P = In(R.left, R.top, R.right, R.top + 32);
  } else if (Part < 82) {
    Where += " caption buttons";
    P = In(R.right - 120, R.top + 2, R.right - 2, R.top + 30);
  } else if (Part < 92) {
    Where += " edge";
    switch (Rand(FRng, 0, 3)) {
      case 0: P = In(R.left - 3, R.top, R.left + 6, R.bottom); break;
      case 1: P = In(R.right - 6, R.top, R.right + 3, R.bottom); break;
      case 2: P = In(R.left, R.bottom - 6, R.right, R.bottom + 3); break;
      default: P = In(R.left, R.top - 3, R.right, R.top + 6); break;
    }
  } else {
    Where += " menu line";
    P = In(R.left, R.top + 24, R.right, R.top + 52);
  }
  P.x = std::clamp<LONG>(P.x, 0, SW - 1);
  P.y = std::clamp<LONG>(P.y, 0, SH - 1);
  // Not on a minimised window (see AddShownTop); they lie along the bottom of the screen.
  for (HWND Under = WindowFromPoint(P); Under != nullptr && IsIconic(GetAncestor(Under, GA_ROOT)) && P.y > 0;
       Under = WindowFromPoint(P))
    P.y = std::max<LONG>(0, P.y - 40);
  return P;
}

void TMonkey::Mouse(int Kind, std::string& Text) {
  using realinput::ButtonAt;
  std::string Where;
  const POINT P = PickPoint(Where);
  static const char* Names[] = {"move", "click", "double click", "right click", "drag", "wheel"};
  Text = std::string(Names[Kind]) + " " + Pt(P) + " on " + Where;
  switch (Kind) {
    case 0:
      SendAll({ButtonAt(P, 0)});
      break;
    case 1:
      SendAll({ButtonAt(P, 0), ButtonAt(P, MOUSEEVENTF_LEFTDOWN), ButtonAt(P, MOUSEEVENTF_LEFTUP)});
      break;
    case 2:
      SendAll({ButtonAt(P, 0), ButtonAt(P, MOUSEEVENTF_LEFTDOWN), ButtonAt(P, MOUSEEVENTF_LEFTUP),
               ButtonAt(P, MOUSEEVENTF_LEFTDOWN), ButtonAt(P, MOUSEEVENTF_LEFTUP)});
      break;
    case 3:
      SendAll({ButtonAt(P, 0), ButtonAt(P, MOUSEEVENTF_RIGHTDOWN), ButtonAt(P, MOUSEEVENTF_RIGHTUP)});
      break;
    case 4: {
      const POINT To{P.x + Rand(FRng, -160, 160), P.y + Rand(FRng, -120, 120)};
      Text += " to " + Pt(To);
      SendAll({ButtonAt(P, 0), ButtonAt(P, MOUSEEVENTF_LEFTDOWN)});
      std::vector<INPUT> Rest;
      for (int I = 1; I <= 3; ++I)
        Rest.push_back(ButtonAt(POINT{P.x + (To.x - P.x) * I / 3, P.y + (To.y - P.y) * I / 3}, 0));
      Rest.push_back(ButtonAt(To, MOUSEEVENTF_LEFTUP));
      FHand->Later(Rest, 20);
      break;
    }
    default: {
      INPUT Wheel = ButtonAt(P, MOUSEEVENTF_WHEEL);
      const int Turns = Rand(FRng, -3, 3);
      Wheel.mi.mouseData = static_cast<DWORD>(WHEEL_DELTA * (Turns == 0 ? 1 : Turns));
      Text += " " + std::to_string(Turns);
      SendAll({ButtonAt(P, 0), Wheel});
      break;
    }
  }
}

void TMonkey::Key(std::string& Text) {
  // Keys go to the foreground window; when that is another program's (the desktop, after a click
  // beside every window), they are left out: the desktop's Alt+F4 ends the session.
  DWORD Pid = 0;
  GetWindowThreadProcessId(GetForegroundWindow(), &Pid);
  if (Pid != GetCurrentProcessId()) {
    Text = "no key: the foreground window is another program's";
    return;
  }
  struct TKey {
    const char* Name;
    WORD Modifier;
    WORD Vk;
  };
  static const std::vector<TKey> Keys = {
      {"Left", 0, VK_LEFT},        {"Right", 0, VK_RIGHT},         {"Up", 0, VK_UP},
      {"Down", 0, VK_DOWN},        {"Tab", 0, VK_TAB},             {"Shift+Tab", VK_SHIFT, VK_TAB},
      {"Enter", 0, VK_RETURN},     {"Escape", 0, VK_ESCAPE},       {"Alt", 0, VK_MENU},
      {"F10", 0, VK_F10},          {"Shift+F10", VK_SHIFT, VK_F10}, {"Alt+Space", VK_MENU, VK_SPACE},
      {"Space", 0, VK_SPACE},      {"F4", 0, VK_F4},               {"Alt+Down", VK_MENU, VK_DOWN},
      {"Home", 0, VK_HOME},        {"Page Down", 0, VK_NEXT},      {"Alt+F4", VK_MENU, VK_F4}};
  std::vector<INPUT> In;
  WORD Modifier = 0, Vk = 0;
  if (Rand(FRng, 0, 3) == 0) {
    // A letter, now and then with Alt (a menu's access key).
    Vk = static_cast<WORD>('A' + Rand(FRng, 0, 25));
    Modifier = Rand(FRng, 0, 2) == 0 ? VK_MENU : 0;
    Text = std::string(Modifier != 0 ? "Alt+" : "") + static_cast<char>(Vk);
  } else {
    const TKey& K = Pick(FRng, Keys);
    // Alt+F4 closes what has the focus: rarer than the other keys.
    if (K.Vk == VK_F4 && K.Modifier == VK_MENU && Rand(FRng, 0, 3) != 0) {
      Text = "Escape";
      Vk = VK_ESCAPE;
    } else {
      Text = K.Name;
      Modifier = K.Modifier;
      Vk = K.Vk;
    }
  }
  Text = "key " + Text + " to " + ClassOf(GetForegroundWindow());
  if (Modifier != 0) In.push_back(KeyInput(Modifier, false));
  In.push_back(KeyInput(Vk, false));
  In.push_back(KeyInput(Vk, true));
  if (Modifier != 0) In.push_back(KeyInput(Modifier, true));
  SendAll(In);
}

// ---- actions of the program -------------------------------------------------------------------

TForm* TMonkey::AnyForm(bool WithMain) {
  std::vector<TForm*> L = FForms;
  if (WithMain && FTargets.MainForm != nullptr) L.push_back(FTargets.MainForm);
  return L.empty() ? nullptr : Pick(FRng, L);
}

void TMonkey::SkinAction(std::string& Text) {
  TsSkinManager* M = FTargets.Manager;
  switch (Rand(FRng, 0, 5)) {
    case 0: {
      const int Hue = Pick(FRng, std::vector<int>{0, 0, 40, 120, 200, 300});
      Text = "hue " + std::to_string(Hue);
      M->SetHueOffset(Hue);
      break;
    }
    case 1: {
      const int Sat = Pick(FRng, std::vector<int>{0, 0, -50, 30, -100});
      Text = "saturation " + std::to_string(Sat);
      M->SetSaturation(Sat);
      break;
    }
    case 2:
      Text = "skin off and on";
      M->SetActive(false);
      M->SetActive(true);
      break;
    case 3:
    case 4:
      // Off for a while now and then; on again more often than off.
      Text = M->Active() ? "skin off" : "skin on";
      if (M->Active() && Rand(FRng, 0, 2) != 0) {
        Text = "skin stays on";
        break;
      }
      M->SetActive(!M->Active());
      break;
    default:
      Text = M->ExtendedBorders() ? "extended borders off" : "extended borders on";
      M->SetExtendedBorders(!M->ExtendedBorders());
      break;
  }
}

void TMonkey::FormAction(std::string& Text) {
  const int SW = GetSystemMetrics(SM_CXSCREEN), SH = GetSystemMetrics(SM_CYSCREEN);
  switch (Rand(FRng, 0, 6)) {
    case 0:
    case 1: {
      TForm* F = AnyForm(true);
      if (F == nullptr) break;
      const int W = Rand(FRng, 0, 9) == 0 ? Rand(FRng, 20, 140) : Rand(FRng, 200, 900);
      const int H = Rand(FRng, 0, 9) == 0 ? Rand(FRng, 20, 120) : Rand(FRng, 150, 700);
      const int L = Rand(FRng, -40, SW - 200), T = Rand(FRng, -20, SH - 150);
      Text = "bounds of " + AnsiString(F->ClassName()) + " " + std::to_string(L) + "," + std::to_string(T) + " " +
             std::to_string(W) + "x" + std::to_string(H);
      F->SetBounds(L, T, W, H);
      break;
    }
    case 2: {
      TForm* F = AnyForm(true);
      if (F == nullptr) break;
      const TWindowState S = Pick(FRng, std::vector<TWindowState>{wsNormal, wsNormal, wsMinimized, wsMaximized});
      Text = "state of " + AnsiString(F->ClassName()) + " " + std::to_string(static_cast<int>(S));
      F->SetWindowState(S);
      break;
    }
    case 3: {
      if (FForms.empty()) break;
      TForm* F = Pick(FRng, FForms);
      const bool Again = Rand(FRng, 0, 1) == 0;
      Text = Again ? "form freed and another made" : "form freed";
      delete F;
      if (Again && static_cast<int>(FForms.size()) < FTargets.MaxForms) Adopt(FTargets.MakeForm(FRng));
      break;
    }
    case 4:
      if (static_cast<int>(FForms.size()) >= FTargets.MaxForms) break;
      Text = "form made";
      Adopt(FTargets.MakeForm(FRng));
      break;
    case 5: {
      Text = "hidden forms shown";
      for (TForm* F : std::vector<TForm*>(FForms))
        if (!F->Visible()) F->Show();
      if (FTargets.MainForm != nullptr && !FTargets.MainForm->Visible()) FTargets.MainForm->Show();
      break;
    }
    default: {
      if (FForms.empty()) break;
      TForm* F = Pick(FRng, FForms);
      Text = "form hidden";
      F->Hide();
      break;
    }
  }
}

void TMonkey::ModalAction(std::string& Text) {
  switch (Rand(FRng, 0, 3)) {
    case 0: {
      TForm* F = Rand(FRng, 0, 2) == 0 ? nullptr : AnyForm(true);
      Text = "message box";
      PostMessageW(FDriver, WM_OPENBOX, static_cast<WPARAM>(Rand(FRng, 0, 3)),
                   reinterpret_cast<LPARAM>(F != nullptr && F->HandleAllocated() ? F->Handle() : nullptr));
      break;
    }
    case 1:
      Text = "popup menu";
      PostMessageW(FDriver, WM_OPENPOPUP, 0, 0);
      break;
    case 2:
      if (TForm* F = AnyForm(true); F != nullptr && F->HandleAllocated()) {
        Text = "system menu of " + AnsiString(F->ClassName());
        PostMessageW(FDriver, WM_OPENSYSMENU, 0, reinterpret_cast<LPARAM>(F->Handle()));
      }
      break;
    default:
      if (TForm* F = AnyForm(false); F != nullptr && F->HandleAllocated()) {
        std::vector<HWND> Children;
        EnumChildWindows(F->Handle(), AddShownChild, reinterpret_cast<LPARAM>(&Children));
        for (HWND C : Children)
          if (ClassOf(C) == "ComboBox" || ClassOf(C) == "TGalleryComboBox") {
            Text = "drop-down list";
            PostMessageW(FDriver, WM_DROPDOWN, 0, reinterpret_cast<LPARAM>(C));
            break;
          }
      }
      break;
  }
}

}  // namespace monkey
