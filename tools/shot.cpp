// Developer tool: starts a program, waits until its windows are shown and painted, saves a
// picture of them as a 24-bit BMP and closes the program.
//   shot.exe OUT.bmp PROGRAM [ARGUMENTS...]
// A box that the program shows before any other window (an error while it starts) is closed, and
// the tool waits on for the window that follows. Exits with 0 only when the program showed a
// window and no box at start, closed when asked and ended with exit code 0; otherwise it says
// what went wrong (with the texts of the boxes seen or left open) and exits 1.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/ProcessWindows.h"

namespace {

bool IsBox(HWND W) {
  char cls[64] = "";
  GetClassNameA(W, cls, sizeof cls);
  return std::string(cls) == "#32770";
}

struct Found {
  RECT Bounds;
  bool Any;         // a window shown with more than a pixel to show
  bool AnyButBox;   // such a window that is not a box
  std::vector<HWND> Windows;
};

// The program's windows, and the bounds of those shown with more than a pixel to show.
Found FindWindows(DWORD Pid) {
  Found f{{}, false, false, processwindows::Of(Pid, false)};
  for (HWND W : f.Windows) {
    RECT r;
    if (!IsWindowVisible(W) || !GetWindowRect(W, &r) || r.right - r.left <= 1 || r.bottom - r.top <= 1) continue;
    if (!f.Any) f.Bounds = r;
    else UnionRect(&f.Bounds, &f.Bounds, &r);
    f.Any = true;
    if (!IsBox(W)) f.AnyButBox = true;
  }
  return f;
}

bool SaveBmp(const char* Path, HDC Src, const RECT& R) {
  int w = R.right - R.left, h = R.bottom - R.top;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(Src, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp) return false;
  HDC mem = CreateCompatibleDC(Src);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, Src, R.left, R.top, SRCCOPY);
  GdiFlush();
  SelectObject(mem, old);
  DeleteDC(mem);
  int stride = (w * 3 + 3) & ~3;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
  fh.bfSize = fh.bfOffBits + stride * h;
  FILE* f = std::fopen(Path, "wb");
  bool ok = f && std::fwrite(&fh, sizeof(fh), 1, f) == 1 &&
            std::fwrite(&bi.bmiHeader, sizeof(bi.bmiHeader), 1, f) == 1 &&
            std::fwrite(bits, stride, h, f) == static_cast<size_t>(h);
  if (f) std::fclose(f);
  DeleteObject(bmp);
  return ok;
}

// A window's text in UTF-8, as the terminal that started the tool shows it.
std::string TextOf(HWND W) {
  wchar_t wide[512];
  int n = GetWindowTextW(W, wide, 512);
  char text[1536];
  n = WideCharToMultiByte(CP_UTF8, 0, wide, n, text, sizeof text, nullptr, nullptr);
  return std::string(text, n > 0 ? n : 0);
}

// The texts a box shows: its visible children's, icons left out (buttons too with NoButtons).
struct BoxTexts {
  bool NoButtons;
  std::vector<std::string> Lines;
};

BOOL CALLBACK CollectChildText(HWND W, LPARAM P) {
  auto* t = reinterpret_cast<BoxTexts*>(P);
  char cls[64] = "";
  GetClassNameA(W, cls, sizeof cls);
  bool icon = lstrcmpiA(cls, "Static") == 0 && (GetWindowLongA(W, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
  bool button = lstrcmpiA(cls, "Button") == 0;
  std::string text = TextOf(W);
  if (!icon && !(button && t->NoButtons) && IsWindowVisible(W) && !text.empty()) t->Lines.push_back(text);
  return TRUE;
}

std::vector<std::string> TextsOf(HWND Box, bool NoButtons) {
  BoxTexts t{NoButtons, {}};
  EnumChildWindows(Box, CollectChildText, reinterpret_cast<LPARAM>(&t));
  return t.Lines;
}

// The program's windows shown (only its dialog boxes with BoxesOnly), with their texts: an error
// box says why.
void PrintOpenWindows(DWORD Pid, bool BoxesOnly = false) {
  for (HWND w : FindWindows(Pid).Windows) {
    if (!IsWindowVisible(w)) continue;
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (BoxesOnly && !IsBox(w)) continue;
    std::fprintf(stderr, "  window \"%s\" (%s)\n", TextOf(w).c_str(), cls);
    for (const std::string& line : TextsOf(w, false)) std::fprintf(stderr, "    %s\n", line.c_str());
  }
}

// Asks every window of the program to close and waits up to TimeoutMs for the process to end. A
// box the program shows while closing is left open, to be reported.
bool CloseProgram(const PROCESS_INFORMATION& Pi, DWORD TimeoutMs) {
  for (HWND w : FindWindows(Pi.dwProcessId).Windows) PostMessageA(w, WM_CLOSE, 0, 0);
  return WaitForSingleObject(Pi.hProcess, TimeoutMs) == WAIT_OBJECT_0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: shot OUT.bmp PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  std::string cmd;
  for (int i = 2; i < argc; ++i) {
    if (i > 2) cmd += ' ';
    cmd += '"';
    cmd += argv[i];
    cmd += '"';
  }
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::fprintf(stderr, "shot: cannot start %s (error %lu)\n", argv[2], GetLastError());
    return 1;
  }
  WaitForInputIdle(pi.hProcess, 15000);
  Found f{};
  // Boxes shown before any other window: each is closed once (the program goes on starting) and
  // named at the end.
  std::vector<HWND> closed;
  std::vector<std::string> startBoxes;
  for (int i = 0; i < 300; ++i) {  // up to 15 s for a visible window other than a box
    f = FindWindows(pi.dwProcessId);
    if (f.AnyButBox) break;
    for (HWND w : f.Windows) {
      if (!IsWindowVisible(w) || !IsBox(w) || std::find(closed.begin(), closed.end(), w) != closed.end()) continue;
      closed.push_back(w);
      std::string text;
      for (const std::string& line : TextsOf(w, true)) text += (text.empty() ? "" : " ") + line;
      startBoxes.push_back(text);
      PostMessageA(w, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  int rc = 0;
  for (const std::string& text : startBoxes) {
    std::fprintf(stderr, "shot: an error box was shown at start: %s\n", text.c_str());
    rc = 1;
  }
  if (!f.AnyButBox) {
    std::fprintf(stderr, "shot: the program showed no window%s\n", startBoxes.empty() ? "" : " after its boxes");
    rc = 1;
  } else {
    // Let the windows finish painting (timers, posted messages), then picture them.
    Sleep(1500);
    WaitForInputIdle(pi.hProcess, 5000);
    f = FindWindows(pi.dwProcessId);
    PrintOpenWindows(pi.dwProcessId, true);  // a box in the picture, an error box most likely
    HDC screen = GetDC(nullptr);
    RECT all{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT r;
    IntersectRect(&r, &f.Bounds, &all);
    if (!SaveBmp(argv[1], screen, r)) {
      std::fprintf(stderr, "shot: cannot write %s\n", argv[1]);
      rc = 1;
    }
    ReleaseDC(nullptr, screen);
  }
  if (!CloseProgram(pi, 10000)) {
    std::fprintf(stderr, "shot: the program did not close within 10 s; still open:\n");
    PrintOpenWindows(pi.dwProcessId);
    TerminateProcess(pi.hProcess, 1);
    rc = 1;
  } else {
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    if (code != 0) {
      std::fprintf(stderr, "shot: the program ended with exit code %lu\n", code);
      rc = 1;
    }
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return rc;
}
