// Proves the harness: a real window under Wine paints, and its pixels can be read back.
#include <gtest/gtest.h>
#include <windows.h>

namespace {
LRESULT CALLBACK SmokeProc(HWND W, UINT Msg, WPARAM WP, LPARAM LP) {
  if (Msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(W, &ps);
    RECT r;
    GetClientRect(W, &r);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &r, red);
    DeleteObject(red);
    EndPaint(W, &ps);
    return 0;
  }
  return DefWindowProcW(W, Msg, WP, LP);
}
}  // namespace

TEST(Harness, RealWindowPaintsPixels) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = SmokeProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TvSmokeWindow";
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND w = CreateWindowExW(0, L"TvSmokeWindow", L"Smoke", WS_OVERLAPPEDWINDOW, 50, 50, 200, 150,
                           nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(w, nullptr);
  ShowWindow(w, SW_SHOW);
  UpdateWindow(w);
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);

  HDC dc = GetDC(w);
  COLORREF c = GetPixel(dc, 10, 10);
  ReleaseDC(w, dc);
  EXPECT_EQ(c, RGB(255, 0, 0));

  // The screen shows the same pixel.
  POINT p{10, 10};
  ClientToScreen(w, &p);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetPixel(screen, p.x, p.y), RGB(255, 0, 0));
  ReleaseDC(nullptr, screen);

  DestroyWindow(w);
  UnregisterClassW(L"TvSmokeWindow", wc.hInstance);
}
