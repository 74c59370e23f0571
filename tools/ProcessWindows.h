// The top-level windows of another process, for the tools and benchmarks that start a program
// and watch it.
#pragma once

#include <windows.h>

#include <vector>

namespace processwindows {

struct TSearch {
  DWORD Pid;
  bool ShownOnly;
  std::vector<HWND> Windows;
};

inline BOOL CALLBACK Collect(HWND W, LPARAM LP) {
  auto* S = reinterpret_cast<TSearch*>(LP);
  DWORD Pid = 0;
  GetWindowThreadProcessId(W, &Pid);
  if (Pid == S->Pid && (!S->ShownOnly || IsWindowVisible(W))) S->Windows.push_back(W);
  return TRUE;
}

// The process's top-level windows (only the visible ones with ShownOnly), in z-order.
inline std::vector<HWND> Of(DWORD Pid, bool ShownOnly) {
  TSearch S{Pid, ShownOnly, {}};
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&S));
  return S.Windows;
}

}  // namespace processwindows
