// The gallery's pictures: waiting until windows have painted, reading an area of the screen and
// writing it as a 24-bit BMP file. Win32.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace gallery {

// Handles messages for about Ms milliseconds, so that windows shown or changed have painted.
void Settle(int Ms = 400);

// The screen rectangle of a window; with Margin, grown by that many pixels on each side.
RECT WindowArea(HWND Window, int Margin = 0);
// The smallest rectangle holding both.
RECT Union(const RECT& A, const RECT& B);

// An area of the screen as the user sees it.
struct TScreenPicture {
  int Width = 0;
  int Height = 0;
  std::vector<DWORD> Pixels;  // 0x00RRGGBB, top row first
};
TScreenPicture CaptureScreen(const RECT& Area);

// Writes a picture as a 24-bit BMP file; False when the file cannot be written.
bool SaveBmp(const TScreenPicture& Picture, const std::wstring& FileName);

}  // namespace gallery
