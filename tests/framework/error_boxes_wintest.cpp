// Message and error boxes as the user meets them: real boxes fit the work area and their OK
// button takes a real click whatever the text; one error box at a time, with the failures of
// the meantime neither lost nor piled up; a timer that failed waits for its box; running out of
// memory is named as such.
#include <gtest/gtest.h>

#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "framework/Dialogs.h"
#include "framework/Exceptions.h"
#include "framework/Forms.h"
#include "framework/Timers.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace {

BOOL CALLBACK CollectBox(HWND W, LPARAM P) {
  wchar_t Name[16] = {};
  GetClassNameW(W, Name, 16);
  if (wcscmp(Name, L"#32770") == 0 && IsWindowVisible(W)) reinterpret_cast<std::vector<HWND>*>(P)->push_back(W);
  return TRUE;
}

// The visible dialog windows (boxes) of this thread.
std::vector<HWND> ThreadBoxes() {
  std::vector<HWND> Found;
  EnumThreadWindows(GetCurrentThreadId(), CollectBox, reinterpret_cast<LPARAM>(&Found));
  return Found;
}

// The longest text of a window's children (a box's message).
BOOL CALLBACK LongestChildText(HWND C, LPARAM P) {
  auto* Text = reinterpret_cast<WideString*>(P);
  const int N = GetWindowTextLengthW(C);
  if (N <= static_cast<int>(Text->size())) return TRUE;
  Text->assign(static_cast<std::size_t>(N) + 1, L'\0');
  Text->resize(static_cast<std::size_t>(GetWindowTextW(C, Text->data(), N + 1)));
  return TRUE;
}

TRect WindowRectOf(HWND W) {
  RECT R{};
  GetWindowRect(W, &R);
  return TRect{R.left, R.top, R.right, R.bottom};
}

bool Inside(const TRect& Outer, const TRect& Inner) {
  return Inner.Left >= Outer.Left && Inner.Top >= Outer.Top && Inner.Right <= Outer.Right &&
         Inner.Bottom <= Outer.Bottom;
}

// Watches the boxes from a thread timer, which the boxes' own loops run: it notes what the
// first box looks like and presses its OK button with a real click at the button's middle. When
// the box is still there seconds later, the backstop closes it by a command instead.
struct TBoxPresser {
  static inline TRect Box, Ok, WorkArea;
  static inline WideString Text;
  static inline bool Clicked = false, Backstop = false;
  static inline int Ticks = 0, Shots = 0;
  UINT_PTR Id;
  TBoxPresser() {
    Box = Ok = WorkArea = TRect{};
    Text.clear();
    Clicked = Backstop = false;
    Ticks = 0;
    Id = SetTimer(nullptr, 0, 100, Tick);
  }
  ~TBoxPresser() { KillTimer(nullptr, Id); }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    const std::vector<HWND> Boxes = ThreadBoxes();
    if (Boxes.empty()) return;
    HWND B = Boxes.front();
    if (++Ticks > 40) {
      Backstop = true;
      PostMessageW(B, WM_COMMAND, IDOK, 0);
      return;
    }
    if (Clicked) return;
    HWND Button = GetDlgItem(B, IDOK);
    if (Button == nullptr) return;
    Box = WindowRectOf(B);
    Ok = WindowRectOf(Button);
    MONITORINFO MI{};
    MI.cbSize = sizeof MI;
    GetMonitorInfoW(MonitorFromWindow(B, MONITOR_DEFAULTTONEAREST), &MI);
    WorkArea = TRect{MI.rcWork.left, MI.rcWork.top, MI.rcWork.right, MI.rcWork.bottom};
    EnumChildWindows(B, LongestChildText, reinterpret_cast<LPARAM>(&Text));
    Clicked = true;
    UpdateWindow(B);
    uitest::SaveScreenshot(B, ("message_box_fit_" + std::to_string(++Shots)).c_str());
    SetForegroundWindow(B);
    const POINT P{(Ok.Left + Ok.Right) / 2, (Ok.Top + Ok.Bottom) / 2};
    INPUT In[3] = {realinput::ButtonAt(P, 0), realinput::ButtonAt(P, MOUSEEVENTF_LEFTDOWN),
                   realinput::ButtonAt(P, MOUSEEVENTF_LEFTUP)};
    SendInput(3, In, sizeof(INPUT));
  }
};

}  // namespace

TEST(MessageBoxes, EveryBoxFitsTheWorkAreaAndItsOkButtonTakesARealClick) {
  WideString Lines, Words;
  for (int I = 0; I < 400; ++I) Lines += L"Line " + std::to_wstring(I) + L"\n";
  for (int I = 0; I < 3000; ++I) Words += L"word" + std::to_wstring(I) + L" ";
  const struct {
    const char* Name;
    WideString Text;
  } Cases[] = {{"one word of two million characters", WideString(2000000, L'7')},
               {"400 lines", Lines},
               {"3000 words", Words},
               {"a quoted word of 200 digits", L"'" + WideString(200, L'7') + L"...' is not a valid integer value."}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TBoxPresser Presser;
    EXPECT_EQ(Application->MessageBox(C.Text, L"Fit", MB_OK | MB_ICONSTOP), IDOK);
    EXPECT_TRUE(TBoxPresser::Clicked);
    EXPECT_FALSE(TBoxPresser::Backstop) << "the real click did not reach the OK button";
    EXPECT_TRUE(Inside(TBoxPresser::WorkArea, TBoxPresser::Box))
        << TBoxPresser::Box.Left << "," << TBoxPresser::Box.Top << " - " << TBoxPresser::Box.Right << ","
        << TBoxPresser::Box.Bottom;
    EXPECT_TRUE(Inside(TBoxPresser::Box, TBoxPresser::Ok));
    // What does not fit is cut, and the cut is marked.
    if (C.Text.size() > 1000) {
      EXPECT_LT(TBoxPresser::Text.size(), 5000u);
      EXPECT_EQ(TBoxPresser::Text.substr(TBoxPresser::Text.size() - 3), L"...");
    }
  }
  EXPECT_TRUE(ThreadBoxes().empty());
}
