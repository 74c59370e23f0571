// Helpers of the grid's window tests: a shown form with a grid set up like the channel list,
// message pumping with a bounded wait, real mouse and key input, and a capture of the painted
// pixels of a window.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "grid/NxColumnClasses.h"
#include "grid/NxGrid.h"
#include "support/RealInput.h"

namespace gridtest {

inline void Pump() { Application->ProcessMessages(); }

// Handles messages until Condition holds or about MaxMs milliseconds passed.
inline bool WaitFor(const std::function<bool()>& Condition, int MaxMs = 3000) {
  for (int I = 0; I < MaxMs / 10; ++I) {
    Pump();
    if (Condition()) return true;
    Sleep(10);
  }
  Pump();
  return Condition();
}

// Lets the window paint everything that is invalid now.
inline void Settle(HWND W) {
  Pump();
  UpdateWindow(W);
  Pump();
}

// The painted client pixels of a window, copied from its device context.
class TCapture {
 public:
  explicit TCapture(HWND W) {
    RECT R;
    GetClientRect(W, &R);
    FWidth = R.right;
    FHeight = R.bottom;
    FPixels.assign(static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight), 0);
    HDC Src = GetDC(W);
    HDC Mem = CreateCompatibleDC(Src);
    BITMAPINFO BI{};
    BI.bmiHeader.biSize = sizeof(BI.bmiHeader);
    BI.bmiHeader.biWidth = FWidth;
    BI.bmiHeader.biHeight = -FHeight;
    BI.bmiHeader.biPlanes = 1;
    BI.bmiHeader.biBitCount = 32;
    void* Bits = nullptr;
    HBITMAP B = CreateDIBSection(Mem, &BI, DIB_RGB_COLORS, &Bits, nullptr, 0);
    HGDIOBJ Old = SelectObject(Mem, B);
    BitBlt(Mem, 0, 0, FWidth, FHeight, Src, 0, 0, SRCCOPY);
    GdiFlush();
    if (Bits != nullptr) std::copy_n(static_cast<const DWORD*>(Bits), FPixels.size(), FPixels.begin());
    SelectObject(Mem, Old);
    DeleteObject(B);
    DeleteDC(Mem);
    ReleaseDC(W, Src);
  }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // The pixel as a COLORREF (0x00BBGGRR).
  COLORREF Pixel(int X, int Y) const {
    const DWORD V = FPixels[static_cast<std::size_t>(Y * FWidth + X)];
    return RGB((V >> 16) & 0xFF, (V >> 8) & 0xFF, V & 0xFF);
  }
  // Pixels of the rectangle (clipped to the capture) that are not Background.
  int CountOther(const TRect& R, COLORREF Background) const {
    int N = 0;
    for (int Y = std::max(R.Top, 0); Y < std::min(R.Bottom, FHeight); ++Y)
      for (int X = std::max(R.Left, 0); X < std::min(R.Right, FWidth); ++X)
        if (Pixel(X, Y) != Background) ++N;
    return N;
  }
  int Count(const TRect& R, COLORREF Color) const {
    int N = 0;
    for (int Y = std::max(R.Top, 0); Y < std::min(R.Bottom, FHeight); ++Y)
      for (int X = std::max(R.Left, 0); X < std::min(R.Right, FWidth); ++X)
        if (Pixel(X, Y) == Color) ++N;
    return N;
  }
  // Writes a 24-bit BMP (for looking at what was painted).
  bool SaveBmp(const std::string& FileName) const {
    const int Stride = (FWidth * 3 + 3) & ~3;
    std::string Data(static_cast<std::size_t>(Stride) * static_cast<std::size_t>(FHeight), '\0');
    for (int Y = 0; Y < FHeight; ++Y)
      for (int X = 0; X < FWidth; ++X) {
        const DWORD V = FPixels[static_cast<std::size_t>(Y * FWidth + X)];
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
    HANDLE F = CreateFileA(FileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (F == INVALID_HANDLE_VALUE) return false;
    DWORD W;
    WriteFile(F, &FH, sizeof(FH), &W, nullptr);
    WriteFile(F, &IH, sizeof(IH), &W, nullptr);
    WriteFile(F, Data.data(), static_cast<DWORD>(Data.size()), &W, nullptr);
    CloseHandle(F);
    return true;
  }

 private:
  int FWidth = 0;
  int FHeight = 0;
  std::vector<DWORD> FPixels;
};

// Saves a capture when GRID_CAPTURE_DIR names a folder (for looking at the painting).
inline void MaybeSave(const TCapture& C, const char* Name) {
  char Dir[MAX_PATH];
  const DWORD N = GetEnvironmentVariableA("GRID_CAPTURE_DIR", Dir, MAX_PATH);
  if (N == 0 || N >= MAX_PATH) return;
  C.SaveBmp(std::string(Dir) + "\\" + Name);
}

// A real mouse click through the system's input queue at a client point of W.
inline void ClickAt(HWND W, int X, int Y, bool Right = false) { realinput::Click(W, X, Y, Right); }

// A click posted to the window as its press and release messages.
inline void PostClick(HWND W, int X, int Y, bool Right = false) {
  const LPARAM Pos = MAKELPARAM(X, Y);
  PostMessageW(W, Right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, Right ? MK_RBUTTON : MK_LBUTTON, Pos);
  PostMessageW(W, Right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, Pos);
  Pump();
}

// A key press through the system's input queue (to the focused window).
inline void PressKey(WORD Vk) { realinput::Key(Vk); }

// A form with a grid set up as the channel list is: one auto-sized text column, no header,
// grid lines in white (active rows only), white inactive selection.
struct TChannelListForm {
  TForm* Form;
  TNxGrid* Grid;
  TNxTextColumn* Column;

  TChannelListForm() {
    Form = new TForm(nullptr);
    Form->SetBounds(120, 80, 360, 260);
    Grid = new TNxGrid(Form);
    Grid->SetAlign(alRight);
    Grid->SetWidth(140);
    Grid->SetGridLinesColor(clWhite);
    Grid->SetGridLinesStyle(lsActiveRows);
    Grid->SetInactiveSelectionColor(clWhite);
    Grid->SetOptions({});
    Grid->SetSlidesOptions({soHideSelection});
    Grid->SetTabStop(true);
    Grid->SetParent(Form);
    Column = Grid->Columns()->AddColumn<TNxTextColumn>(Form);
    Column->SetWidth(138);
    Column->SetDefaultWidth(138);
    Column->SetPosition(0);
    Column->SetSortType(stAlphabetic);
    Column->SetOptions({coAutoSize, coCanClick, coCanInput, coCanSort, coPublicUsing, coShowTextFitHint});
    Form->Show();
    realinput::BringToFront(Form->Handle());
    Settle(Form->Handle());
  }
  ~TChannelListForm() {
    delete Form;
    Pump();
  }
  TChannelListForm(const TChannelListForm&) = delete;
  TChannelListForm& operator=(const TChannelListForm&) = delete;

  HWND GridWindow() const { return Grid->Handle(); }
  void AddLines(const std::vector<std::wstring>& Lines) {
    for (const std::wstring& L : Lines) {
      const int R = Grid->AddRow(1);
      Grid->SetCells(0, R, L);
    }
    Settle(Grid->Handle());
  }
  // A point in the middle of a row's cell, in grid client coordinates.
  TPoint RowPoint(int Row) {
    const TRect R = Grid->GetCellRect(0, Row);
    return Point((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
  }
};

}  // namespace gridtest
