// Developer tool: starts a program, waits until its windows are shown and painted, saves a
// picture of them as a 24-bit BMP and closes the program.
//   shot.exe OUT.bmp PROGRAM [ARGUMENTS...]
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Found {
  DWORD Pid;
  RECT Bounds;
  bool Any;
  std::vector<HWND> Windows;
};

BOOL CALLBACK CollectWindow(HWND W, LPARAM LP) {
  auto* f = reinterpret_cast<Found*>(LP);
  DWORD pid = 0;
  GetWindowThreadProcessId(W, &pid);
  if (pid != f->Pid) return TRUE;
  f->Windows.push_back(W);
  if (!IsWindowVisible(W)) return TRUE;
  RECT r;
  GetWindowRect(W, &r);
  if (r.right - r.left <= 1 || r.bottom - r.top <= 1) return TRUE;
  if (!f->Any) f->Bounds = r;
  else UnionRect(&f->Bounds, &f->Bounds, &r);
  f->Any = true;
  return TRUE;
}

Found FindWindows(DWORD Pid) {
  Found f{Pid, {}, false, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&f));
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
  for (int i = 0; i < 300; ++i) {  // up to 15 s for a visible window
    f = FindWindows(pi.dwProcessId);
    if (f.Any) break;
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  int rc = 0;
  if (!f.Any) {
    std::fprintf(stderr, "shot: the program showed no window\n");
    rc = 1;
  } else {
    // Let the windows finish painting (timers, posted messages), then picture them.
    Sleep(1500);
    WaitForInputIdle(pi.hProcess, 5000);
    f = FindWindows(pi.dwProcessId);
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
  for (HWND w : f.Windows) PostMessageA(w, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 3000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 0);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return rc;
}
