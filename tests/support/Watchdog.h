// A watch over a test's thread for hangs: a thread of its own that ends the process with a clear
// failure (exit code 5) when the watched thread makes no progress for too long or the whole span
// takes too long, printing what the test says about itself and the code addresses found on the
// hung thread's stack. A hang then fails at once instead of holding the test run until its
// timeout. Win32.
#pragma once

#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>

namespace watchdog {

// The code addresses of the executable found on a stack from Esp up, the first at Eip, as offsets
// into the executable (a scan, not an unwinding: some are stale; tools such as addr2line or nm
// name them).
inline void ScanStack(DWORD Eip, DWORD Esp, char* Out, std::size_t Size) {
  const auto Base = reinterpret_cast<DWORD>(GetModuleHandleW(nullptr));
  const auto* Nt =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(Base + reinterpret_cast<const IMAGE_DOS_HEADER*>(Base)->e_lfanew);
  const DWORD CodeStart = Base + Nt->OptionalHeader.BaseOfCode, CodeEnd = CodeStart + Nt->OptionalHeader.SizeOfCode;
  int N = std::snprintf(Out, Size, "  code on the stack: +0x%lx", static_cast<unsigned long>(Eip - Base));
  const auto* Sp = reinterpret_cast<const DWORD*>(Esp);
  MEMORY_BASIC_INFORMATION Mi{};
  if (VirtualQuery(Sp, &Mi, sizeof Mi) == 0) return;
  const auto* End = reinterpret_cast<const DWORD*>(static_cast<const char*>(Mi.BaseAddress) + Mi.RegionSize);
  for (int Found = 0; Sp < End && Found < 40 && N < static_cast<int>(Size) - 16; ++Sp)
    if (*Sp > CodeStart && *Sp < CodeEnd) {
      N += std::snprintf(Out + N, Size - static_cast<std::size_t>(N), " +0x%lx", static_cast<unsigned long>(*Sp - Base));
      ++Found;
    }
}

// Ends the menu loop of a thread of this process and gives its move or size loop Escape in its own
// queue: keys reach only the foreground window's thread, so while another program's window is in
// front these loops wait for keys that never come. A loop whose capture was released (a control's
// press ended inside it) no longer shows as one; the move and size loops take Escape from any
// message of their thread, so the thread gets it whenever another thread is in front.
inline void EndSystemLoops(DWORD ThreadId) {
  GUITHREADINFO G{};
  G.cbSize = sizeof G;
  if (!GetGUIThreadInfo(ThreadId, &G)) return;
  if ((G.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)) != 0) EndMenu();
  auto Post = [ThreadId](HWND W, UINT Msg, LPARAM LP) {
    if (W != nullptr) PostMessageW(W, Msg, VK_ESCAPE, LP);
    else PostThreadMessageW(ThreadId, Msg, VK_ESCAPE, LP);
  };
  HWND W = (G.flags & GUI_INMOVESIZE) != 0 ? G.hwndMoveSize : nullptr;
  if (W != nullptr || GetWindowThreadProcessId(GetForegroundWindow(), nullptr) != ThreadId) {
    Post(W, WM_KEYDOWN, 1);
    Post(W, WM_KEYUP, static_cast<LPARAM>(0xC0000001));
  }
}

// Watches the thread that makes it while it lives. StallSeconds 0: only the whole span counts.
// With Nudge, a stall of StallSeconds first gets Escape pressed and the mouse buttons released
// every few seconds (a modal loop that no timer of the test reaches and that waits for input, such
// as the system's tracking of a pressed caption button, ends as a person would end it); the
// failure comes after three times StallSeconds. The thread's own menu, move and size loops are
// also ended (EndSystemLoops), as a person would end them after bringing the window to the front.
class TWatchdog {
 public:
  TWatchdog(const char* Name, int LimitSeconds, int StallSeconds, bool Nudge,
            std::function<std::string()> Describe = nullptr)
      : FName(Name), FLimit(LimitSeconds), FStall(StallSeconds), FEscape(Nudge), FDescribe(std::move(Describe)) {
    FStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &FWatched, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    FWatchedId = GetCurrentThreadId();
    FThread = CreateThread(nullptr, 0, Main, this, 0, nullptr);
  }
  ~TWatchdog() {
    SetEvent(FStop);
    WaitForSingleObject(FThread, INFINITE);
    CloseHandle(FThread);
    CloseHandle(FStop);
    CloseHandle(FWatched);
  }
  TWatchdog(const TWatchdog&) = delete;
  TWatchdog& operator=(const TWatchdog&) = delete;

  void Progress() { InterlockedIncrement(&FProgress); }

 private:
  static DWORD WINAPI Main(LPVOID Param) {
    auto* Self = static_cast<TWatchdog*>(Param);
    const DWORD Start = GetTickCount();
    LONG Seen = Self->FProgress;
    DWORD SeenAt = Start;
    while (WaitForSingleObject(Self->FStop, 500) == WAIT_TIMEOUT) {
      const DWORD Now = GetTickCount();
      if (Self->FProgress != Seen) {
        Seen = Self->FProgress;
        SeenAt = Now;
      }
      const DWORD Still = (Now - SeenAt) / 1000;
      const DWORD Stall = static_cast<DWORD>(Self->FStall);
      const char* Why = nullptr;
      if (Now - Start > static_cast<DWORD>(Self->FLimit) * 1000) Why = "took longer than its time limit";
      else if (Stall > 0 && Still >= (Self->FEscape ? 3 * Stall : Stall)) Why = "hangs: its thread made no progress";
      if (Why != nullptr) Self->Fail(Why, Still);
      if (Self->FEscape && Stall > 0 && Still >= Stall && (Now - SeenAt - Stall * 1000) % 5000 < 500) {
        std::printf("%s: no progress for %lu s: Escape pressed and the mouse buttons released\n", Self->FName,
                    static_cast<unsigned long>(Still));
        std::fflush(stdout);
        INPUT In[4]{};
        In[0].type = In[1].type = INPUT_KEYBOARD;
        In[0].ki.wVk = In[1].ki.wVk = VK_ESCAPE;
        In[1].ki.dwFlags = KEYEVENTF_KEYUP;
        In[2].type = In[3].type = INPUT_MOUSE;
        In[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        In[3].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
        SendInput(4, In, sizeof(INPUT));
        EndSystemLoops(Self->FWatchedId);
      }
    }
    return 0;
  }

  void Fail(const char* Why, DWORD Still) {
    char Stack[1024] = "";
    CONTEXT C{};
    C.ContextFlags = CONTEXT_CONTROL;
    if (SuspendThread(FWatched) != static_cast<DWORD>(-1) && GetThreadContext(FWatched, &C))
      ScanStack(C.Eip, C.Esp, Stack, sizeof Stack);
    const std::string Said = FDescribe ? FDescribe() : std::string();
    std::printf("%s: FAILED: %s (%lu s without progress)\n%s%s\n", FName, Why, static_cast<unsigned long>(Still),
                Said.c_str(), Stack);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 5);
  }

  const char* FName;
  int FLimit, FStall;
  bool FEscape;
  std::function<std::string()> FDescribe;
  volatile LONG FProgress = 0;
  HANDLE FStop = nullptr;
  HANDLE FThread = nullptr;
  HANDLE FWatched = nullptr;
  DWORD FWatchedId = 0;
};

}  // namespace watchdog
