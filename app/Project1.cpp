// Program entry. (A minimal window until the main form exists.)
#include <windows.h>

static LRESULT CALLBACK MainProc(HWND W, UINT Msg, WPARAM WP, LPARAM LP) {
  if (Msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(W, Msg, WP, LP);
}

int WINAPI WinMain(HINSTANCE Inst, HINSTANCE, LPSTR, int Show) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = Inst;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = L"TForm1";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, L"TForm1", L"Tavisko TV 4.0", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                           190, 145, 800, 480, nullptr, nullptr, Inst, nullptr);
  ShowWindow(w, Show);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return 0;
}
