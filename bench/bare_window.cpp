// The start-up benchmark's peer: the plainest Win32 program with a window of the program's size,
// made the same way (one class, one overlapped window shown at once, a message loop, a painted
// client area). It closes when asked.
#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND W, UINT Msg, WPARAM WP, LPARAM LP) {
  switch (Msg) {
    case WM_PAINT: {
      PAINTSTRUCT Ps;
      HDC Dc = BeginPaint(W, &Ps);
      FillRect(Dc, &Ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      EndPaint(W, &Ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(W, Msg, WP, LP);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE Instance, HINSTANCE, LPSTR, int Show) {
  WNDCLASSA C{};
  C.lpfnWndProc = WindowProc;
  C.hInstance = Instance;
  C.hCursor = LoadCursor(nullptr, IDC_ARROW);
  C.lpszClassName = "BareWindow";
  RegisterClassA(&C);
  RECT R{0, 0, 788, 441};
  AdjustWindowRect(&R, WS_OVERLAPPEDWINDOW, FALSE);
  HWND W = CreateWindowA("BareWindow", "Bare window", WS_OVERLAPPEDWINDOW, 190, 145, R.right - R.left,
                         R.bottom - R.top, nullptr, nullptr, Instance, nullptr);
  ShowWindow(W, Show);
  UpdateWindow(W);
  MSG M;
  while (GetMessageA(&M, nullptr, 0, 0) > 0) {
    TranslateMessage(&M);
    DispatchMessageA(&M);
  }
  return 0;
}
