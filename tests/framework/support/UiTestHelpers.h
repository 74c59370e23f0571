// Helpers of the window tests: message pumping with a bounded wait, window counting, and a
// memory bitmap to paint into and read pixels from.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "framework/Forms.h"

namespace uitest {

inline void Pump() { Application->ProcessMessages(); }

// Handles messages until Condition holds or about MaxMs milliseconds passed; returns Condition.
inline bool WaitFor(const std::function<bool()>& Condition, int MaxMs = 3000) {
  for (int I = 0; I < MaxMs / 10; ++I) {
    Pump();
    if (Condition()) return true;
    Sleep(10);
  }
  Pump();
  return Condition();
}

// Handles messages for about Ms milliseconds.
inline void PumpFor(int Ms) {
  for (int I = 0; I < Ms / 10; ++I) {
    Pump();
    Sleep(10);
  }
  Pump();
}

inline BOOL CALLBACK CountChild(HWND, LPARAM P) {
  ++*reinterpret_cast<int*>(P);
  return TRUE;
}

inline BOOL CALLBACK CountTop(HWND W, LPARAM P) {
  ++*reinterpret_cast<int*>(P);
  EnumChildWindows(W, CountChild, P);
  return TRUE;
}

// The windows of this thread: top-level ones and all their descendants.
inline int CountThreadWindows() {
  int N = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountTop, reinterpret_cast<LPARAM>(&N));
  return N;
}

// A 32-bit top-down bitmap selected into a memory DC.
class TMemoryDC {
 public:
  TMemoryDC(int W, int H, COLORREF Fill = RGB(255, 255, 255)) : FWidth(W), FHeight(H) {
    BITMAPINFO BI{};
    BI.bmiHeader.biSize = sizeof(BI.bmiHeader);
    BI.bmiHeader.biWidth = W;
    BI.bmiHeader.biHeight = -H;
    BI.bmiHeader.biPlanes = 1;
    BI.bmiHeader.biBitCount = 32;
    FDC = CreateCompatibleDC(nullptr);
    FBitmap = CreateDIBSection(FDC, &BI, DIB_RGB_COLORS, reinterpret_cast<void**>(&FBits), nullptr, 0);
    FOld = SelectObject(FDC, FBitmap);
    HBRUSH B = CreateSolidBrush(Fill);
    RECT R{0, 0, W, H};
    FillRect(FDC, &R, B);
    DeleteObject(B);
  }
  ~TMemoryDC() {
    SelectObject(FDC, FOld);
    DeleteObject(FBitmap);
    DeleteDC(FDC);
  }
  TMemoryDC(const TMemoryDC&) = delete;
  TMemoryDC& operator=(const TMemoryDC&) = delete;

  HDC DC() const { return FDC; }
  // Writes the pixels as a 24-bit BMP file.
  bool SaveToFile(const char* FileName) const {
    GdiFlush();
    const int Stride = (FWidth * 3 + 3) & ~3;
    std::string Data(static_cast<std::size_t>(Stride) * static_cast<std::size_t>(FHeight), '\0');
    for (int Y = 0; Y < FHeight; ++Y)
      for (int X = 0; X < FWidth; ++X) {
        const DWORD V = FBits[Y * FWidth + X];
        char* P = &Data[static_cast<std::size_t>(Y * Stride + X * 3)];
        P[0] = static_cast<char>(V & 0xFF);
        P[1] = static_cast<char>((V >> 8) & 0xFF);
        P[2] = static_cast<char>((V >> 16) & 0xFF);
      }
    BITMAPINFOHEADER IH{};
    IH.biSize = sizeof(IH);
    IH.biWidth = FWidth;
    IH.biHeight = -FHeight;
    IH.biPlanes = 1;
    IH.biBitCount = 24;
    BITMAPFILEHEADER FH{};
    FH.bfType = 0x4D42;
    FH.bfOffBits = sizeof(FH) + sizeof(IH);
    FH.bfSize = FH.bfOffBits + static_cast<DWORD>(Data.size());
    HANDLE F = CreateFileA(FileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (F == INVALID_HANDLE_VALUE) return false;
    DWORD W;
    WriteFile(F, &FH, sizeof(FH), &W, nullptr);
    WriteFile(F, &IH, sizeof(IH), &W, nullptr);
    WriteFile(F, Data.data(), static_cast<DWORD>(Data.size()), &W, nullptr);
    CloseHandle(F);
    return true;
  }
  COLORREF Pixel(int X, int Y) const {
    GdiFlush();
    const DWORD V = FBits[Y * FWidth + X];
    return RGB((V >> 16) & 0xFF, (V >> 8) & 0xFF, V & 0xFF);
  }

 private:
  int FWidth, FHeight;
  HDC FDC;
  HBITMAP FBitmap;
  HGDIOBJ FOld;
  DWORD* FBits = nullptr;
};

// The colour on the screen at a point of a window's client area.
inline COLORREF ScreenPixel(HWND Window, int X, int Y) {
  POINT P{X, Y};
  ClientToScreen(Window, &P);
  HDC DC = GetDC(nullptr);
  COLORREF C = GetPixel(DC, P.x, P.y);
  ReleaseDC(nullptr, DC);
  return C;
}

// The colour at a point of a window's client area, read from the window's own surface.
inline COLORREF WindowPixel(HWND Window, int X, int Y) {
  HDC DC = GetDC(Window);
  COLORREF C = GetPixel(DC, X, Y);
  ReleaseDC(Window, DC);
  return C;
}

// Saves what the screen shows of a window into TV_SCREENSHOT_DIR\Name.bmp (when that variable
// is set), for a person to look at.
inline void SaveScreenshot(HWND Window, const char* Name) {
  char Dir[MAX_PATH];
  if (GetEnvironmentVariableA("TV_SCREENSHOT_DIR", Dir, MAX_PATH) == 0) return;
  RECT R;
  GetWindowRect(Window, &R);
  const int W = R.right - R.left, H = R.bottom - R.top;
  TMemoryDC M(W, H);
  HDC Screen = GetDC(nullptr);
  BitBlt(M.DC(), 0, 0, W, H, Screen, R.left, R.top, SRCCOPY);
  ReleaseDC(nullptr, Screen);
  std::string Path = std::string(Dir) + "\\" + Name + ".bmp";
  M.SaveToFile(Path.c_str());
}

}  // namespace uitest
