// The GDI handle guard that every Wine test executable carries: each misuse of a DC or GDI object
// handle that lets a stale handle name someone else's DC or object is recorded once, and sound use
// records nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "support/FreedMemoryGuard.h"
#include "support/GdiHandleGuard.h"

namespace {

unsigned FaultsOf(const std::function<void()>& Misuse) {
  memguard::TExpectFaults Expect;
  Misuse();
  return Expect.Taken().HeapFaults;
}

TEST(GdiHandleGuard, SoundUseRecordsNothing) {
  ASSERT_TRUE(gdiguard::Installed());
  HWND W = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 10, 10, 60, 40, nullptr, nullptr, nullptr, nullptr);
  const unsigned Faults = FaultsOf([&] {
    HDC Screen = GetDC(W);
    HDC DC = CreateCompatibleDC(Screen);
    HBITMAP Bmp = CreateCompatibleBitmap(Screen, 8, 8);
    HFONT Font = CreateFontW(12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"Tahoma");
    HGDIOBJ OldBmp = SelectObject(DC, Bmp);
    HGDIOBJ OldFont = SelectObject(DC, Font);
    const int Level = SaveDC(DC);
    SelectObject(DC, GetStockObject(DEFAULT_GUI_FONT));
    RestoreDC(DC, Level);
    BitBlt(Screen, 0, 0, 8, 8, DC, 0, 0, SRCCOPY);
    SelectObject(DC, OldFont);
    SelectObject(DC, OldBmp);
    DeleteObject(Font);
    DeleteObject(Bmp);
    DeleteDC(DC);
    ReleaseDC(W, Screen);
    HDC Again = GetDC(W);  // the same cached DC may come back: released once per get
    ReleaseDC(W, Again);
    DeleteObject(GetStockObject(BLACK_PEN));
  });
  DestroyWindow(W);
  EXPECT_EQ(Faults, 0u);
}

TEST(GdiHandleGuard, RecordsHandlesFreedTwiceOrNeverMade) {
  EXPECT_EQ(FaultsOf([] {
              HPEN Pen = CreatePen(PS_SOLID, 1, 0);
              DeleteObject(Pen);
              DeleteObject(Pen);
            }),
            1u);
  EXPECT_EQ(FaultsOf([] {
              HDC DC = CreateCompatibleDC(nullptr);
              DeleteDC(DC);
              DeleteDC(DC);
            }),
            1u);
  EXPECT_EQ(FaultsOf([] { DeleteObject(reinterpret_cast<HGDIOBJ>(0x0BAD0F0C)); }), 1u);
  HWND W = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(FaultsOf([&] {
              HDC DC = GetDC(W);
              ReleaseDC(W, DC);
              ReleaseDC(W, DC);
            }),
            1u);
  EXPECT_EQ(FaultsOf([&] {
              HDC DC = GetDC(W);
              EXPECT_FALSE(DeleteDC(DC));  // refused: the system's cache still holds it
              ReleaseDC(W, DC);
            }),
            1u);
  DestroyWindow(W);
}

TEST(GdiHandleGuard, RecordsADeletedDCUsedAgain) {
  EXPECT_EQ(FaultsOf([] {
              HDC DC = CreateCompatibleDC(nullptr);
              DeleteDC(DC);
              SelectObject(DC, GetStockObject(BLACK_BRUSH));
            }),
            1u);
}

TEST(GdiHandleGuard, RecordsAnObjectDeletedWhileSelectedOrPutBackByRestoreDC) {
  HDC DC = CreateCompatibleDC(nullptr);
  EXPECT_EQ(FaultsOf([&] {
              HBRUSH Brush = CreateSolidBrush(RGB(1, 2, 3));
              HGDIOBJ Old = SelectObject(DC, Brush);
              DeleteObject(Brush);  // still selected
              SelectObject(DC, Old);
            }),
            1u);
  EXPECT_EQ(FaultsOf([&] {
              HFONT Font = CreateFontW(12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"Tahoma");
              HGDIOBJ Old = SelectObject(DC, Font);
              const int Level = SaveDC(DC);  // the saved state holds Font
              SelectObject(DC, Old);
              DeleteObject(Font);
              RestoreDC(DC, Level);  // puts the deleted font back
              SelectObject(DC, Old);
            }),
            1u);
  DeleteDC(DC);
}

TEST(GdiHandleGuard, RecordsWritesPastADibSectionsBits) {
  BITMAPINFO Info{};
  Info.bmiHeader.biSize = sizeof Info.bmiHeader;
  Info.bmiHeader.biWidth = 10;
  Info.bmiHeader.biHeight = 10;
  Info.bmiHeader.biPlanes = 1;
  Info.bmiHeader.biBitCount = 32;
  const auto Overrun = [&](int Past) {
    return FaultsOf([&] {
      void* Bits = nullptr;
      HBITMAP Bmp = CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
      ASSERT_NE(Bits, nullptr);
      static_cast<unsigned char*>(Bits)[10 * 10 * 4 - 1 + Past] ^= 0x5A;
      DeleteObject(Bmp);
    });
  };
  EXPECT_EQ(Overrun(0), 0u);  // the last byte of the bits
  EXPECT_EQ(Overrun(1), 1u);  // the first byte after them
}

}  // namespace
