// The gallery's pictures. Win32.
#include "GalleryCapture.h"

#include <algorithm>
#include <cstdio>

namespace gallery {

void Settle(int Ms) {
  const DWORD Until = GetTickCount() + static_cast<DWORD>(Ms);
  MSG Msg;
  while (static_cast<int>(Until - GetTickCount()) > 0) {
    while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&Msg);
      DispatchMessageW(&Msg);
    }
    Sleep(10);
  }
}

RECT WindowArea(HWND Window, int Margin) {
  RECT R{};
  GetWindowRect(Window, &R);
  InflateRect(&R, Margin, Margin);
  return R;
}

RECT Union(const RECT& A, const RECT& B) {
  return RECT{std::min(A.left, B.left), std::min(A.top, B.top), std::max(A.right, B.right),
              std::max(A.bottom, B.bottom)};
}

TScreenPicture CaptureScreen(const RECT& Area) {
  TScreenPicture P;
  P.Width = std::max(0L, Area.right - Area.left);
  P.Height = std::max(0L, Area.bottom - Area.top);
  if (P.Width == 0 || P.Height == 0) return P;
  BITMAPINFO Info{};
  Info.bmiHeader.biSize = sizeof(Info.bmiHeader);
  Info.bmiHeader.biWidth = P.Width;
  Info.bmiHeader.biHeight = -P.Height;  // top row first
  Info.bmiHeader.biPlanes = 1;
  Info.bmiHeader.biBitCount = 32;
  HDC Screen = GetDC(nullptr);
  void* Bits = nullptr;
  HBITMAP Bmp = CreateDIBSection(Screen, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
  if (Bmp != nullptr) {
    HDC Mem = CreateCompatibleDC(Screen);
    HGDIOBJ Old = SelectObject(Mem, Bmp);
    BitBlt(Mem, 0, 0, P.Width, P.Height, Screen, Area.left, Area.top, SRCCOPY);
    GdiFlush();
    const DWORD* Src = static_cast<const DWORD*>(Bits);
    P.Pixels.assign(Src, Src + static_cast<std::size_t>(P.Width) * static_cast<std::size_t>(P.Height));
    for (DWORD& Px : P.Pixels) Px &= 0xFFFFFF;
    SelectObject(Mem, Old);
    DeleteDC(Mem);
    DeleteObject(Bmp);
  }
  ReleaseDC(nullptr, Screen);
  return P;
}

bool SaveBmp(const TScreenPicture& Picture, const std::wstring& FileName) {
  if (Picture.Width <= 0 || Picture.Height <= 0) return false;
  const int Stride = (Picture.Width * 3 + 3) & ~3;
  std::vector<unsigned char> Rows(static_cast<std::size_t>(Stride) * static_cast<std::size_t>(Picture.Height), 0);
  for (int Y = 0; Y < Picture.Height; ++Y) {
    // BMP rows run from the bottom up.
    unsigned char* Row = Rows.data() + static_cast<std::size_t>(Picture.Height - 1 - Y) * static_cast<std::size_t>(Stride);
    for (int X = 0; X < Picture.Width; ++X) {
      const DWORD Px = Picture.Pixels[static_cast<std::size_t>(Y) * static_cast<std::size_t>(Picture.Width) +
                                      static_cast<std::size_t>(X)];
      Row[3 * X] = static_cast<unsigned char>(Px & 0xFF);
      Row[3 * X + 1] = static_cast<unsigned char>((Px >> 8) & 0xFF);
      Row[3 * X + 2] = static_cast<unsigned char>((Px >> 16) & 0xFF);
    }
  }
  BITMAPFILEHEADER File{};
  BITMAPINFOHEADER Head{};
  Head.biSize = sizeof(Head);
  Head.biWidth = Picture.Width;
  Head.biHeight = Picture.Height;
  Head.biPlanes = 1;
  Head.biBitCount = 24;
  File.bfType = 0x4D42;
  File.bfOffBits = sizeof(File) + sizeof(Head);
  File.bfSize = static_cast<DWORD>(File.bfOffBits + Rows.size());
  FILE* F = _wfopen(FileName.c_str(), L"wb");
  if (F == nullptr) return false;
  const bool Ok = std::fwrite(&File, sizeof(File), 1, F) == 1 && std::fwrite(&Head, sizeof(Head), 1, F) == 1 &&
                  std::fwrite(Rows.data(), 1, Rows.size(), F) == Rows.size();
  return std::fclose(F) == 0 && Ok;
}

}  // namespace gallery
