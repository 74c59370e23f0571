// Helpers of the window tests of every folder: message pumping with a bounded wait, letting a
// window paint, counting windows and GDI objects, a memory bitmap to paint into, and the pixels a
// window shows (read at a point or captured, and written out as BMP files for a person to look
// at). Real mouse and key input is in RealInput.h.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Forms.h"

namespace uitest {

// Handles the messages waiting in the queue, as the application's loop does.
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

// Lets the window paint everything that is invalid now.
inline void Settle(HWND W) {
  Pump();
  UpdateWindow(W);
  Pump();
}

// Shows a form, asks for it to become the foreground window and lets it paint.
inline void ShowSettled(TCustomForm* Form) {
  Form->Show();
  SetForegroundWindow(Form->Handle());
  Settle(Form->Handle());
}

// ---------------------------------------------------------------------------------------------
// Counting what the process holds

namespace detail {
inline BOOL CALLBACK CountChild(HWND, LPARAM P) {
  ++*reinterpret_cast<int*>(P);
  return TRUE;
}

inline BOOL CALLBACK CountTop(HWND W, LPARAM P) {
  ++*reinterpret_cast<int*>(P);
  EnumChildWindows(W, CountChild, P);
  return TRUE;
}
}  // namespace detail

// The windows of this thread: top-level ones and all their descendants.
inline int CountThreadWindows() {
  int N = 0;
  EnumThreadWindows(GetCurrentThreadId(), detail::CountTop, reinterpret_cast<LPARAM>(&N));
  return N;
}

// Visits the live GDI objects of the process in its GDI handle table as Wine keeps it (24-byte
// entries, the generation at offset 12, the type byte at offset 14); false when there is none.
inline bool ForEachGdiHandle(const std::function<void(HGDIOBJ)>& Visit) {
  const char* Peb;
  asm("movl %%fs:0x30, %0" : "=r"(Peb));  // the process environment block
  auto* Table = *reinterpret_cast<const unsigned char* const*>(Peb + 0x94);
  if (Table == nullptr) return false;
  for (unsigned I = 0; I < 0x10000; ++I) {
    const unsigned char* E = Table + I * 24;
    if (E[14] == 0) continue;
    const unsigned Generation = *reinterpret_cast<const unsigned short*>(E + 12);
    Visit(reinterpret_cast<HGDIOBJ>(static_cast<UINT_PTR>(Generation << 16 | I)));
  }
  return true;
}

// Live GDI objects of the process: GetGuiResources where the system counts them, otherwise the
// entries of the process's GDI handle table.
inline int GdiObjectCount() {
  DWORD N = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (N != 0) return static_cast<int>(N);
  int Count = 0;
  return ForEachGdiHandle([&](HGDIOBJ) { ++Count; }) ? Count : -1;
}

// Live USER objects of the process: GetGuiResources where the system counts them; otherwise the
// windows and menus of the process, found by probing the user handle table (Wine takes a handle
// whose generation part is 0 for an entry of any generation; two handle values share an entry).
// Visits the menus and the windows of the process found by probing the user handle table.
inline void ForEachUserHandle(const std::function<void(HMENU)>& Menu, const std::function<void(HWND)>& Window) {
  const DWORD Me = GetCurrentProcessId();
  for (UINT_PTR H = 0x20; H < 0x20 + 2 * 0x4000; H += 2) {
    if (IsMenu(reinterpret_cast<HMENU>(H))) {
      Menu(reinterpret_cast<HMENU>(H));
    } else if (IsWindow(reinterpret_cast<HWND>(H))) {
      DWORD Owner = 0;
      GetWindowThreadProcessId(reinterpret_cast<HWND>(H), &Owner);
      if (Owner == Me) Window(reinterpret_cast<HWND>(H));
    }
  }
}

inline int UserObjectCount() {
  DWORD N = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  if (N != 0) return static_cast<int>(N);
  int Count = 0;
  ForEachUserHandle([&](HMENU) { ++Count; }, [&](HWND) { ++Count; });
  return Count;
}

// ---------------------------------------------------------------------------------------------
// Files

// Writes Bytes to a file (created or replaced); false when it cannot be written.
inline bool WriteFileBytes(const std::string& Name, const std::string& Bytes) {
  HANDLE F = CreateFileA(Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (F == INVALID_HANDLE_VALUE) return false;
  DWORD Written = 0;
  const BOOL Ok = WriteFile(F, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr);
  CloseHandle(F);
  return Ok && Written == Bytes.size();
}

// A 24-bit BMP file of Width x Height pixels given top-down as 0x00RRGGBB values.
inline std::string BmpFileBytes(const DWORD* Pixels, int Width, int Height) {
  const int Stride = (Width * 3 + 3) & ~3;
  std::string Data(static_cast<std::size_t>(Stride) * static_cast<std::size_t>(Height), '\0');
  for (int Y = 0; Y < Height; ++Y)
    for (int X = 0; X < Width; ++X) {
      const DWORD V = Pixels[static_cast<std::size_t>(Y * Width + X)];
      char* P = &Data[static_cast<std::size_t>(Y * Stride + X * 3)];
      P[0] = static_cast<char>(V & 0xFF);
      P[1] = static_cast<char>((V >> 8) & 0xFF);
      P[2] = static_cast<char>((V >> 16) & 0xFF);
    }
  BITMAPINFOHEADER IH{};
  IH.biSize = sizeof(IH);
  IH.biWidth = Width;
  IH.biHeight = -Height;
  IH.biPlanes = 1;
  IH.biBitCount = 24;
  BITMAPFILEHEADER FH{};
  FH.bfType = 0x4D42;
  FH.bfOffBits = sizeof(FH) + sizeof(IH);
  FH.bfSize = FH.bfOffBits + static_cast<DWORD>(Data.size());
  return std::string(reinterpret_cast<const char*>(&FH), sizeof(FH)) +
         std::string(reinterpret_cast<const char*>(&IH), sizeof(IH)) + Data;
}

// The folder that TV_SCREENSHOT_DIR names, "" when it names none.
inline std::string ScreenshotFolder() {
  char Dir[MAX_PATH];
  const DWORD N = GetEnvironmentVariableA("TV_SCREENSHOT_DIR", Dir, MAX_PATH);
  return N == 0 || N >= MAX_PATH ? std::string() : std::string(Dir, N);
}

// ---------------------------------------------------------------------------------------------
// Pixels

// The colour of a 0x00RRGGBB pixel value as a COLORREF (0x00BBGGRR).
inline COLORREF PixelColor(DWORD V) { return RGB((V >> 16) & 0xFF, (V >> 8) & 0xFF, V & 0xFF); }

// A 32-bit top-down bitmap selected into a memory DC, filled with one colour.
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
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // The pixels, top-down, as 0x00RRGGBB values (after the drawing so far has finished).
  const DWORD* Bits() const {
    GdiFlush();
    return FBits;
  }
  COLORREF Pixel(int X, int Y) const { return PixelColor(Bits()[Y * FWidth + X]); }

 private:
  int FWidth, FHeight;
  HDC FDC;
  HBITMAP FBitmap;
  HGDIOBJ FOld;
  DWORD* FBits = nullptr;
};

// A copy of the pixels that a device context shows in a rectangle.
class TCapture {
 public:
  // The client area of a window, as painted now.
  explicit TCapture(HWND W) : TCapture(W, ClientArea(W)) {}
  // A rectangle of a window's client area.
  TCapture(HWND W, const TRect& Area) {
    HDC Src = GetDC(W);
    Grab(Src, Area);
    ReleaseDC(W, Src);
  }
  TCapture(HDC Src, const TRect& Area) { Grab(Src, Area); }
  // Only the part Readable of Area (inside it) read from Src, the rest white.
  TCapture(HDC Src, const TRect& Area, const TRect& Readable) { Grab(Src, Area, Readable); }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  COLORREF Pixel(int X, int Y) const {
    return PixelColor(FPixels[static_cast<std::size_t>(Y * FWidth + X)]);
  }
  // Pixels of the rectangle (clipped to the capture) that are Color.
  int Count(const TRect& R, COLORREF Color) const {
    return CountWhere(R, [Color](COLORREF P) { return P == Color; });
  }
  // Pixels of the rectangle (clipped to the capture) that are not Background.
  int CountOther(const TRect& R, COLORREF Background) const {
    return CountWhere(R, [Background](COLORREF P) { return P != Background; });
  }
  // The smallest rectangle holding every pixel other than Background (empty when none).
  TRect Extent(COLORREF Background) const {
    TRect R{FWidth, FHeight, 0, 0};
    for (int Y = 0; Y < FHeight; ++Y)
      for (int X = 0; X < FWidth; ++X)
        if (Pixel(X, Y) != Background) {
          R.Left = std::min(R.Left, X);
          R.Top = std::min(R.Top, Y);
          R.Right = std::max(R.Right, X + 1);
          R.Bottom = std::max(R.Bottom, Y + 1);
        }
    return R.IsEmpty() ? TRect{} : R;
  }
  // True when the pixels in A's rectangle RA equal those of B's rectangle RB (same sizes).
  static bool SamePixels(const TCapture& A, const TRect& RA, const TCapture& B, const TRect& RB) {
    if (RA.Width() != RB.Width() || RA.Height() != RB.Height()) return false;
    for (int Y = 0; Y < RA.Height(); ++Y)
      for (int X = 0; X < RA.Width(); ++X)
        if (A.Pixel(RA.Left + X, RA.Top + Y) != B.Pixel(RB.Left + X, RB.Top + Y)) return false;
    return true;
  }
  // Writes the pixels as a 24-bit BMP file.
  bool SaveBmp(const std::string& FileName) const {
    return WriteFileBytes(FileName, BmpFileBytes(FPixels.data(), FWidth, FHeight));
  }
  // Writes Name.bmp into the folder TV_SCREENSHOT_DIR names (when it names one).
  void MaybeSave(const char* Name) const {
    const std::string Dir = ScreenshotFolder();
    if (!Dir.empty()) SaveBmp(Dir + "\\" + Name + ".bmp");
  }

 private:
  static TRect ClientArea(HWND W) {
    RECT R;
    GetClientRect(W, &R);
    return TRect{0, 0, R.right, R.bottom};
  }
  void Grab(HDC Src, const TRect& Area) { Grab(Src, Area, Area); }
  void Grab(HDC Src, const TRect& Area, const TRect& Readable) {
    FWidth = Area.Width();
    FHeight = Area.Height();
    TMemoryDC M(FWidth, FHeight);
    if (!Readable.IsEmpty())
      BitBlt(M.DC(), Readable.Left - Area.Left, Readable.Top - Area.Top, Readable.Width(), Readable.Height(), Src,
             Readable.Left, Readable.Top, SRCCOPY);
    const std::size_t Count = static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight);
    const DWORD* Bits = M.Bits();
    if (Bits != nullptr) FPixels.assign(Bits, Bits + Count);
    else FPixels.assign(Count, 0);
  }
  template <class TTest>
  int CountWhere(const TRect& R, TTest Test) const {
    int N = 0;
    for (int Y = std::max(R.Top, 0); Y < std::min(R.Bottom, FHeight); ++Y)
      for (int X = std::max(R.Left, 0); X < std::min(R.Right, FWidth); ++X)
        if (Test(Pixel(X, Y))) ++N;
    return N;
  }

  int FWidth = 0;
  int FHeight = 0;
  std::vector<DWORD> FPixels;
};

// The screen's rectangle (screen coordinates).
inline RECT ScreenBounds() {
  const int X = GetSystemMetrics(SM_XVIRTUALSCREEN), Y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return RECT{X, Y, X + GetSystemMetrics(SM_CXVIRTUALSCREEN), Y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// The pixels the screen shows in a rectangle (screen coordinates), white where the rectangle goes
// beyond the screen (a maximised window's frame): the screen's pixels are read only where it has them.
inline TCapture ScreenArea(const RECT& R) {
  const RECT Whole = ScreenBounds();
  RECT On{};
  IntersectRect(&On, &R, &Whole);
  HDC Screen = GetDC(nullptr);
  TCapture C(Screen, TRect{R.left, R.top, R.right, R.bottom}, TRect{On.left, On.top, On.right, On.bottom});
  ReleaseDC(nullptr, Screen);
  return C;
}

// The pixels the screen shows over a window, its frame included.
inline TCapture WindowOnScreen(HWND W) {
  RECT R;
  GetWindowRect(W, &R);
  return ScreenArea(R);
}

// The pixels a window has painted, its frame and its children included, read from the window's own
// surface: what the screen shows over it when nothing covers it.
inline TCapture WindowPainted(HWND W) {
  RECT R;
  GetWindowRect(W, &R);
  HDC DC = GetWindowDC(W);
  TCapture C(DC, TRect{0, 0, R.right - R.left, R.bottom - R.top});
  ReleaseDC(W, DC);
  return C;
}

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

// Saves what the screen shows of a window, frame included, as Name.bmp into the folder
// TV_SCREENSHOT_DIR names (when it names one).
inline void SaveScreenshot(HWND Window, const char* Name) {
  if (ScreenshotFolder().empty()) return;
  RECT R;
  GetWindowRect(Window, &R);
  HDC Screen = GetDC(nullptr);
  const TCapture C(Screen, TRect{R.left, R.top, R.right, R.bottom});
  ReleaseDC(nullptr, Screen);
  C.MaybeSave(Name);
}

// An icon of Size x Size pixels of one colour, every pixel opaque (the caller destroys it).
inline HICON SolidIcon(int Size, COLORREF C) {
  HDC Screen = GetDC(nullptr);
  HBITMAP Colour = CreateCompatibleBitmap(Screen, Size, Size);
  HBITMAP Mask = CreateBitmap(Size, Size, 1, 1, nullptr);
  HDC DC = CreateCompatibleDC(Screen);
  HGDIOBJ Old = SelectObject(DC, Colour);
  const RECT R{0, 0, Size, Size};
  HBRUSH B = CreateSolidBrush(C);
  FillRect(DC, &R, B);
  DeleteObject(B);
  SelectObject(DC, Mask);
  PatBlt(DC, 0, 0, Size, Size, BLACKNESS);
  SelectObject(DC, Old);
  DeleteDC(DC);
  ReleaseDC(nullptr, Screen);
  ICONINFO II{TRUE, 0, 0, Mask, Colour};
  HICON I = CreateIconIndirect(&II);
  DeleteObject(Colour);
  DeleteObject(Mask);
  return I;
}

// A W x H bitmap of one colour, for glyphs; a 32-bit one gets alpha A everywhere.
inline std::unique_ptr<TBitmap> SolidGlyph(int W, int H, TColor Color, TPixelFormat Format = pf24bit,
                                           int A = 255) {
  auto G = std::make_unique<TBitmap>(W, H, Format);
  G->Canvas()->Brush()->SetColor(Color);
  G->Canvas()->FillRect(Rect(0, 0, W, H));
  if (Format == pf32bit) {
    GdiFlush();
    for (int Y = 0; Y < H; ++Y) {
      auto* P = static_cast<Byte*>(G->ScanLine(Y));
      for (int X = 0; X < W; ++X) P[X * 4 + 3] = static_cast<Byte>(A);
    }
  }
  return G;
}

}  // namespace uitest
