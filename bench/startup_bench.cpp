// Start-up: from process start to the first shown, painted and idle main window, for the program
// (with the examples folder and with a list of 10,000 channels) against a bare Win32 window made
// the same way (bare_window.exe: one class, one window, a message loop). The cases take turns run
// by run; the best and the median of each are printed with their ratios against the bare window.
//
//   startup_bench.exe [--runs N] [--exe PROGRAM]...
// Each --exe adds a program of one's own to the turns, started in the examples folder and in the
// folder of 10,000 channels, to try what a change to the program's start would gain.
// The program is "ready" when it has a visible top-level window, no visible window of it or of its
// children has anything left to paint, and its thread answers a sent message. Every run closes the
// program with WM_CLOSE and checks that it ends with exit code 0.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchWinTiming.h"
#include "tools/ProcessWindows.h"

namespace {

std::vector<HWND> ShownWindows(DWORD Pid) { return processwindows::Of(Pid, true); }

BOOL CALLBACK FindDirtyChild(HWND W, LPARAM LP) {
  if (IsWindowVisible(W) && GetUpdateRect(W, nullptr, FALSE)) {
    *reinterpret_cast<bool*>(LP) = true;
    return FALSE;
  }
  return TRUE;
}

// True when the process shows a window and has painted everything it shows.
bool Ready(const PROCESS_INFORMATION& Pi) {
  const std::vector<HWND> Shown = ShownWindows(Pi.dwProcessId);
  if (Shown.empty()) return false;
  for (HWND W : Shown) {
    DWORD_PTR Result;
    if (!SendMessageTimeoutA(W, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &Result)) return false;
    if (GetUpdateRect(W, nullptr, FALSE)) return false;
    bool Dirty = false;
    EnumChildWindows(W, FindDirtyChild, reinterpret_cast<LPARAM>(&Dirty));
    if (Dirty) return false;
  }
  return true;
}

// Starts Exe in Dir, returns the seconds until it is ready (a negative value on failure), closes it.
double StartUntilReady(const std::string& Exe, const std::string& Dir) {
  std::string Cmd = "\"" + Exe + "\"";
  STARTUPINFOA Si{};
  Si.cb = sizeof Si;
  PROCESS_INFORMATION Pi{};
  const double T0 = bench::Seconds();
  if (!CreateProcessA(nullptr, Cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, Dir.c_str(), &Si, &Pi)) {
    std::printf("FAILED: cannot start %s (error %lu)\n", Exe.c_str(), GetLastError());
    return -1;
  }
  double Time = -1;
  while (bench::Seconds() - T0 < 30) {
    if (Ready(Pi)) {
      Time = bench::Seconds() - T0;
      break;
    }
    if (WaitForSingleObject(Pi.hProcess, 1) == WAIT_OBJECT_0) break;
  }
  for (HWND W : ShownWindows(Pi.dwProcessId)) PostMessageA(W, WM_CLOSE, 0, 0);
  DWORD Code = 1;
  if (WaitForSingleObject(Pi.hProcess, 10000) != WAIT_OBJECT_0) {
    TerminateProcess(Pi.hProcess, 1);
    std::printf("FAILED: %s did not close when asked\n", Exe.c_str());
    Time = -1;
  } else if (GetExitCodeProcess(Pi.hProcess, &Code) && Code != 0) {
    std::printf("FAILED: %s ended with exit code %lu\n", Exe.c_str(), Code);
    Time = -1;
  }
  CloseHandle(Pi.hThread);
  CloseHandle(Pi.hProcess);
  return Time;
}

std::string TempFolder(const char* Name) {
  char Base[MAX_PATH];
  GetTempPathA(MAX_PATH, Base);
  std::string Dir = std::string(Base) + Name;
  CreateDirectoryA(Dir.c_str(), nullptr);
  return Dir;
}

void WriteFile(const std::string& Path, const std::string& Text) {
  FILE* F = std::fopen(Path.c_str(), "wb");
  if (!F) {
    std::printf("FAILED: cannot write %s\n", Path.c_str());
    std::exit(1);
  }
  std::fwrite(Text.data(), 1, Text.size(), F);
  std::fclose(F);
}

// A folder with the examples' server line and 10,000 channels.
std::string LargeListFolder() {
  const std::string Dir = TempFolder("tv-startup-10000");
  WriteFile(Dir + "\\server.txt", "192.0.2.10\r\n");
  std::string List;
  char Line[64];
  for (int i = 0; i < 10000; ++i) {
    std::snprintf(Line, sizeof Line, "Channel %05d|%d,hd\r\n", i + 1, 1000 + i);
    List += Line;
  }
  WriteFile(Dir + "\\list.txt", List);
  return Dir;
}

// A path of the build (a host path) as a Windows path of the drive Z:, the host's root.
std::string WinPath(std::string Path) {
  if (!Path.empty() && Path[0] == '/') Path = "Z:" + Path;
  std::replace(Path.begin(), Path.end(), '/', '\\');
  return Path;
}

struct TCase {
  std::string Name;
  std::string Exe, Dir;
  std::vector<double> Times;
};

}  // namespace

int main(int argc, char** argv) {
  int Runs = 15;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--runs") Runs = std::max(1, std::atoi(argv[i + 1]));
  const std::string Large = LargeListFolder();
  std::vector<TCase> Cases{{"bare window", WinPath(TV_BARE_EXE), TempFolder("tv-startup-bare"), {}},
                           {"program, examples folder", WinPath(TV_PROGRAM_EXE), WinPath(TV_EXAMPLES_DIR), {}},
                           {"program, 10,000 channels", WinPath(TV_PROGRAM_EXE), Large, {}}};
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--exe") {
      const std::string Exe = argv[i + 1], Name = Exe.substr(Exe.find_last_of("\\/") + 1);
      Cases.push_back(TCase{Name + ", examples", Exe, WinPath(TV_EXAMPLES_DIR), {}});
      Cases.push_back(TCase{Name + ", 10,000 channels", Exe, Large, {}});
    }
  for (TCase& C : Cases) StartUntilReady(C.Exe, C.Dir);  // warm-up: files in the cache, Wine's services up
  for (int r = 0; r < Runs; ++r)
    for (TCase& C : Cases) {
      const double T = StartUntilReady(C.Exe, C.Dir);
      if (T < 0) return 1;
      C.Times.push_back(T);
    }
  std::printf("start to the first painted, idle window; %d runs each, taking turns\n", Runs);
  double BareBest = 0, BareMedian = 0;
  for (TCase& C : Cases) {
    std::sort(C.Times.begin(), C.Times.end());
    const double Best = C.Times.front(), Median = C.Times[C.Times.size() / 2];
    if (&C == &Cases.front()) BareBest = Best, BareMedian = Median;
    std::printf("%-28s best %7.1f ms  median %7.1f ms   ratio best %.2f  median %.2f\n", C.Name.c_str(), Best * 1e3,
                Median * 1e3, Best / BareBest, Median / BareMedian);
  }
  return 0;
}
