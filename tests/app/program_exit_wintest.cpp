// The program's own executable from start to exit: it is started in a folder with its two files,
// its main window is waited for and closed with WM_CLOSE, and the process must end with exit
// code 0. A damaged packed skin where the stored skin settings point (c:\Skins) must not stop it:
// an error box comes first, then the main window, and closing it still gives exit code 0.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/AppTestHelpers.h"

#ifndef TV_PROGRAM_EXE
#error "TV_PROGRAM_EXE is set by tests/CMakeLists.txt"
#endif

namespace {

// The program's executable as a Windows path (drive Z: is the host's root).
std::string ProgramExe() {
  std::string Path = TV_PROGRAM_EXE;
  if (!Path.empty() && Path[0] == '/') Path = "Z:" + Path;
  for (char& C : Path)
    if (C == '/') C = '\\';
  return Path;
}

struct TFind {
  DWORD Id;
  std::wstring Class;
  std::vector<HWND> Found;
};

std::wstring WindowText(HWND W) {
  wchar_t Text[512] = {};
  GetWindowTextW(W, Text, 512);
  return Text;
}

BOOL CALLBACK CollectProcessWindow(HWND W, LPARAM P) {
  auto* F = reinterpret_cast<TFind*>(P);
  DWORD Id = 0;
  GetWindowThreadProcessId(W, &Id);
  if (Id != F->Id || !IsWindowVisible(W)) return TRUE;
  wchar_t Name[64] = {};
  GetClassNameW(W, Name, 64);
  if (F->Class.empty() || F->Class == Name) F->Found.push_back(W);
  return TRUE;
}

BOOL CALLBACK CollectChildText(HWND C, LPARAM P) {
  *reinterpret_cast<std::wstring*>(P) += WindowText(C) + L"\n";
  return TRUE;
}

// The visible top-level windows of a process whose class name is Class (any when empty).
std::vector<HWND> ProcessWindows(DWORD ProcessId, const std::wstring& Class = L"") {
  TFind Find{ProcessId, Class, {}};
  EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&Find));
  return Find.Found;
}

// The texts of a window's children (the message of a box).
std::wstring ChildTexts(HWND W) {
  std::wstring All;
  EnumChildWindows(W, CollectChildText, reinterpret_cast<LPARAM>(&All));
  return All;
}

// Polls Condition (without handling this process's messages: the program is another process)
// until it holds or about MaxMs passed.
template <class F>
bool Poll(F Condition, int MaxMs = 20000) {
  for (int I = 0; I < MaxMs / 20; ++I) {
    if (Condition()) return true;
    Sleep(20);
  }
  return Condition();
}

// The program started in Folder.
class TProgramProcess {
 public:
  explicit TProgramProcess(const std::string& Folder) {
    // The main window's first show opens an "OK" box while the pointer is left of X 100.
    SetCursorPos(640, 400);
    STARTUPINFOA SI{};
    SI.cb = sizeof SI;
    std::string Command = "\"" + ProgramExe() + "\"";
    Started = CreateProcessA(nullptr, Command.data(), nullptr, nullptr, FALSE, 0, nullptr, Folder.c_str(), &SI, &PI) != 0;
  }
  ~TProgramProcess() {
    if (!Started) return;
    if (WaitForSingleObject(PI.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(PI.hProcess, 99);
    WaitForSingleObject(PI.hProcess, 10000);
    CloseHandle(PI.hProcess);
    CloseHandle(PI.hThread);
  }
  TProgramProcess(const TProgramProcess&) = delete;
  TProgramProcess& operator=(const TProgramProcess&) = delete;

  HWND MainWindow() const {
    for (HWND W : ProcessWindows(PI.dwProcessId))
      if (WindowText(W) == L"Tavisko TV 4.0") return W;
    return nullptr;
  }
  HWND Box() const {
    const std::vector<HWND> Boxes = ProcessWindows(PI.dwProcessId, L"#32770");
    return Boxes.empty() ? nullptr : Boxes.front();
  }
  // Waits for the process to end; its exit code, or STILL_ACTIVE when it did not end.
  DWORD ExitCode(int MaxMs = 20000) const {
    WaitForSingleObject(PI.hProcess, static_cast<DWORD>(MaxMs));
    DWORD Code = STILL_ACTIVE;
    GetExitCodeProcess(PI.hProcess, &Code);
    return Code;
  }

  bool Started = false;
  PROCESS_INFORMATION PI{};
};

// The program's two files in a fresh folder.
struct TProgramFolder {
  apptest::TTempFolder Folder;
  TProgramFolder() {
    Folder.Write("server.txt", "192.0.2.7\r\n");
    Folder.Write("list.txt", "First|101,hd\r\nSecond|102,hd\r\n");
  }
};


}  // namespace

TEST(ProgramExit, ClosingTheMainWindowEndsTheProgramWithExitCodeZero) {
  TProgramFolder F;
  TProgramProcess P(F.Folder.Path());
  ASSERT_TRUE(P.Started) << ProgramExe();
  HWND Main = nullptr;
  ASSERT_TRUE(Poll([&] { return (Main = P.MainWindow()) != nullptr; })) << "no main window";
  EXPECT_EQ(P.Box(), nullptr) << "unexpected box: " << WideToAnsi(ChildTexts(P.Box()));
  PostMessageW(Main, WM_CLOSE, 0, 0);
  EXPECT_EQ(P.ExitCode(), 0u);
}

TEST(ProgramExit, ADamagedSkinFileShowsAnErrorBoxAndTheProgramRunsAndEndsWithExitCodeZero) {
  // A half-downloaded packed skin where the stored settings point: the right magic, a file count,
  // and the stream cut off in the middle of the first entry.
  std::string Damaged("ASzf\x02\x00\x00\x00\x0B\x00\x00\x00Options.dat\x40\x00\x00\x00\x78\x9C", 30);
  apptest::TSkinsFile Skin("Office2007 Black (internal).asz", Damaged);
  ASSERT_TRUE(Skin.Written);
  TProgramFolder F;
  TProgramProcess P(F.Folder.Path());
  ASSERT_TRUE(P.Started);
  HWND Box = nullptr;
  ASSERT_TRUE(Poll([&] { return (Box = P.Box()) != nullptr || P.ExitCode(0) != STILL_ACTIVE; }));
  ASSERT_NE(Box, nullptr) << "the program ended without a box, exit code " << P.ExitCode(0);
  // The framework's standard error box, with the skin's error.
  const std::wstring Text = ChildTexts(Box);
  EXPECT_NE(Text.find(L"Packed skin file is damaged"), std::wstring::npos) << WideToAnsi(Text);
  EXPECT_EQ(WindowText(Box), L"Project1");
  EXPECT_EQ(P.MainWindow(), nullptr) << "the box comes before the main window";
  PostMessageW(Box, WM_COMMAND, IDOK, 0);
  HWND Main = nullptr;
  ASSERT_TRUE(Poll([&] { return (Main = P.MainWindow()) != nullptr; })) << "no main window after the box";
  EXPECT_EQ(P.Box(), nullptr);
  PostMessageW(Main, WM_CLOSE, 0, 0);
  EXPECT_EQ(P.ExitCode(), 0u);
}
