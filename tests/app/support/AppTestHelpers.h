// Helpers of the channel viewer's tests: a temporary working folder with the program's text
// files, the program's forms created as the program creates them, captured message boxes,
// message pumping with a bounded wait, real mouse input and pixel captures.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Program.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "framework/Forms.h"
#include "framework/Strings.h"

namespace apptest {

inline void Pump() { Application->ProcessMessages(); }

// Handles messages until Condition holds or about MaxMs milliseconds passed.
inline bool WaitFor(const std::function<bool()>& Condition, int MaxMs = 5000) {
  for (int I = 0; I < MaxMs / 10; ++I) {
    Pump();
    if (Condition()) return true;
    Sleep(10);
  }
  Pump();
  return Condition();
}

// Writes Bytes to a file (created or replaced).
inline void WriteFileBytes(const std::string& Name, const std::string& Bytes) {
  HANDLE F = CreateFileA(Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (F == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + Name);
  DWORD Written = 0;
  WriteFile(F, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr);
  CloseHandle(F);
}

// A fresh folder under the temporary folder that is the current directory while the object
// lives; it is emptied and removed afterwards.
class TTempFolder {
 public:
  TTempFolder() {
    char Base[MAX_PATH], Name[MAX_PATH];
    GetTempPathA(MAX_PATH, Base);
    GetTempFileNameA(Base, "tv", 0, Name);
    DeleteFileA(Name);
    CreateDirectoryA(Name, nullptr);
    FPath = Name;
    char Old[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, Old);
    FOld = Old;
    SetCurrentDirectoryA(FPath.c_str());
  }
  ~TTempFolder() {
    SetCurrentDirectoryA(FOld.c_str());
    WIN32_FIND_DATAA D;
    HANDLE H = FindFirstFileA((FPath + "\\*").c_str(), &D);
    if (H != INVALID_HANDLE_VALUE) {
      do {
        if (!(D.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((FPath + "\\" + D.cFileName).c_str());
      } while (FindNextFileA(H, &D));
      FindClose(H);
    }
    RemoveDirectoryA(FPath.c_str());
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::string& Path() const { return FPath; }
  void Write(const std::string& Name, const std::string& Bytes) const { WriteFileBytes(FPath + "\\" + Name, Bytes); }

 private:
  std::string FPath;
  std::string FOld;
};

// Every message and error box of the application, recorded instead of shown (OK pressed).
class TBoxRecorder {
 public:
  TBoxRecorder() : FSaved(Application->MessageBoxProc) {
    Application->MessageBoxProc = [this](HWND, const WideString& Text, const WideString&, UINT Flags) {
      Texts.push_back(Text);
      FlagsSeen.push_back(Flags);
      return IDOK;
    };
  }
  ~TBoxRecorder() { Application->MessageBoxProc = FSaved; }
  TBoxRecorder(const TBoxRecorder&) = delete;
  TBoxRecorder& operator=(const TBoxRecorder&) = delete;

  std::vector<WideString> Texts;
  std::vector<UINT> FlagsSeen;

 private:
  TMessageBoxProc FSaved;
};

// The program's state between tests: no forms, no flags, the pointer far right of X 100 and no
// shell calls, and an application that is not terminated.
class TProgramState {
 public:
  TProgramState() {
    ResetGlobals();
    FSavedCursor = CursorPosProc;
    CursorPosProc = [] { return Point(500, 300); };
    FSavedShell = ShellExecuteProc;
    ShellExecuteProc = nullptr;
  }
  ~TProgramState() {
    DestroyForms();
    CursorPosProc = FSavedCursor;
    ShellExecuteProc = FSavedShell;
    Application->OnIdle = nullptr;
    Application->OnMessage = nullptr;
    Pump();
    ClearTerminated();
  }
  TProgramState(const TProgramState&) = delete;
  TProgramState& operator=(const TProgramState&) = delete;

  static void DestroyForms() {
    delete Form2;
    Form2 = nullptr;
    delete Form1;
    Form1 = nullptr;
    Pump();
  }
  static void ResetGlobals() {
    GridRightClicked = false;
    ServerLine.clear();
  }
  // An application whose message loop ended (Terminate) runs again: with no main form, Run
  // only clears the flag.
  static void ClearTerminated() {
    if (Application->Terminated() && Application->MainForm() == nullptr) Application->Run();
  }

 private:
  TCursorPosProc FSavedCursor;
  TShellExecuteProc FSavedShell;
};

// The usual files: a server line and the given channel lines (CR LF line ends).
inline std::string ListText(const std::vector<std::string>& Lines) {
  std::string S;
  for (const std::string& L : Lines) S += L + "\r\n";
  return S;
}

// The player page of an id, built here from the page's pieces (not by the program's routine).
inline std::string ExpectedPage(const std::string& IdText) {
  std::string P;
  P += "<html> <head> </head> <body bgcolor=\"#000000\">";
  P += std::string(4, ' ');
  P += "<object type=\"application/x-shockwave-flash\" width=\"600\" height=\"400\">";
  P += std::string(3, ' ');
  P += "<param name=\"movie\" value=\"http://";
  P += "player.tavisko.invalid";
  P += "/flashplay/VUDIPlayer.swf\">";
  P += std::string(3, ' ');
  P += "</param><param name=\"allowFullScreen\" value=\"true\">";
  P += std::string(3, ' ');
  P += "</param><param name=\"allowScriptAccess\" value=\"always\">";
  P += std::string(3, ' ');
  P += "</param><param name=\"flashvars\" value=\"src=http://";
  P += "198.51.100.20";
  P += ":5021/live/";
  P += IdText;
  P += "|c03&usep2p=0\"";
  P += "  </object> ";
  P += "</body> ";
  P += "</html> ";
  return P;
}

// The page the browser's document holds now ("" when it has none).
inline std::string LoadedPage(TWebBrowser* B) {
  return B->DocumentObject() != nullptr ? B->DocumentObject()->Html() : std::string();
}

// A mouse input at an absolute screen position (the position travels with the input, so a
// pointer that the display moves later cannot make it land elsewhere).
inline INPUT MouseInputAt(int X, int Y, DWORD Flags) {
  const int W = GetSystemMetrics(SM_CXSCREEN), H = GetSystemMetrics(SM_CYSCREEN);
  INPUT In{};
  In.type = INPUT_MOUSE;
  In.mi.dx = static_cast<LONG>((static_cast<long long>(X) * 65536 + W - 1) / W);
  In.mi.dy = static_cast<LONG>((static_cast<long long>(Y) * 65536 + H - 1) / H);
  In.mi.dwFlags = Flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  return In;
}

// A real mouse click through the system's input queue at a client point of W: the pointer moves
// there first, then the button goes down and up.
inline void ClickAt(HWND W, int X, int Y, bool Right = false) {
  POINT P{X, Y};
  ClientToScreen(W, &P);
  INPUT Move = MouseInputAt(P.x, P.y, 0);
  SendInput(1, &Move, sizeof(INPUT));
  WaitFor([&] {
    POINT C{};
    GetCursorPos(&C);
    return C.x == P.x && C.y == P.y;
  }, 2000);
  INPUT In[2] = {MouseInputAt(P.x, P.y, Right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN),
                 MouseInputAt(P.x, P.y, Right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP)};
  SendInput(2, In, sizeof(INPUT));
  Pump();
}

// The middle of a row's cell in grid client coordinates.
inline TPoint RowPoint(TNxGrid* Grid, int Row) {
  const TRect R = Grid->GetCellRect(0, Row);
  return Point((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
}

// Shows the main form as the program's message loop does and lets it paint.
inline void ShowMainForm() {
  Form1->Show();
  SetForegroundWindow(Form1->Handle());
  Pump();
  UpdateWindow(Form1->Handle());
  Pump();
}

// The painted client pixels of a window (0x00RRGGBB per pixel, rows top-down).
class TCapture {
 public:
  explicit TCapture(HWND W) {
    RECT R;
    GetClientRect(W, &R);
    FWidth = R.right;
    FHeight = R.bottom;
    HDC Src = GetDC(W);
    Grab(Src, FWidth, FHeight);
    ReleaseDC(W, Src);
  }
  // What a device context shows in (0, 0, Width, Height).
  TCapture(HDC Src, int Width, int Height) : FWidth(Width), FHeight(Height) { Grab(Src, Width, Height); }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  DWORD Pixel(int X, int Y) const { return FPixels[static_cast<std::size_t>(Y * FWidth + X)] & 0xFFFFFF; }
  // The smallest rectangle holding every pixel other than Background (empty when none).
  TRect Extent(DWORD Background) const {
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
  // Writes a 24-bit BMP into TV_SCREENSHOT_DIR (when that variable names a folder).
  void MaybeSave(const char* Name) const {
    char Dir[MAX_PATH];
    const DWORD N = GetEnvironmentVariableA("TV_SCREENSHOT_DIR", Dir, MAX_PATH);
    if (N == 0 || N >= MAX_PATH) return;
    const int Stride = (FWidth * 3 + 3) & ~3;
    std::string Data(static_cast<std::size_t>(Stride) * static_cast<std::size_t>(FHeight), '\0');
    for (int Y = 0; Y < FHeight; ++Y)
      for (int X = 0; X < FWidth; ++X) {
        const DWORD V = Pixel(X, Y);
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
    WriteFileBytes(std::string(Dir) + "\\" + Name + ".bmp",
                   std::string(reinterpret_cast<const char*>(&FH), sizeof(FH)) +
                       std::string(reinterpret_cast<const char*>(&IH), sizeof(IH)) + Data);
  }

 private:
  void Grab(HDC Src, int W, int H) {
    FPixels.assign(static_cast<std::size_t>(W) * static_cast<std::size_t>(H), 0);
    HDC Mem = CreateCompatibleDC(Src);
    BITMAPINFO BI{};
    BI.bmiHeader.biSize = sizeof(BI.bmiHeader);
    BI.bmiHeader.biWidth = W;
    BI.bmiHeader.biHeight = -H;
    BI.bmiHeader.biPlanes = 1;
    BI.bmiHeader.biBitCount = 32;
    void* Bits = nullptr;
    HBITMAP B = CreateDIBSection(Mem, &BI, DIB_RGB_COLORS, &Bits, nullptr, 0);
    HGDIOBJ Old = SelectObject(Mem, B);
    BitBlt(Mem, 0, 0, W, H, Src, 0, 0, SRCCOPY);
    GdiFlush();
    if (Bits != nullptr) std::copy_n(static_cast<const DWORD*>(Bits), FPixels.size(), FPixels.begin());
    SelectObject(Mem, Old);
    DeleteObject(B);
    DeleteDC(Mem);
  }

  int FWidth = 0;
  int FHeight = 0;
  std::vector<DWORD> FPixels;
};

// Text drawn white on black in Font into a fresh bitmap of the given size, as a capture.
inline TCapture RenderText(const WideString& Text, TFont* Font, int Width, int Height) {
  HDC Screen = GetDC(nullptr);
  HDC Mem = CreateCompatibleDC(Screen);
  HBITMAP B = CreateCompatibleBitmap(Screen, Width, Height);
  HGDIOBJ OldB = SelectObject(Mem, B);
  RECT R{0, 0, Width, Height};
  FillRect(Mem, &R, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  HGDIOBJ OldF = SelectObject(Mem, Font->Handle());
  SetTextColor(Mem, RGB(255, 255, 255));
  SetBkMode(Mem, TRANSPARENT);
  DrawTextW(Mem, Text.c_str(), static_cast<int>(Text.size()), &R, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  TCapture C(Mem, Width, Height);
  SelectObject(Mem, OldF);
  SelectObject(Mem, OldB);
  DeleteObject(B);
  DeleteDC(Mem);
  ReleaseDC(nullptr, Screen);
  return C;
}

}  // namespace apptest
