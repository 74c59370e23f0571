// Message and error boxes as the user meets them: real boxes fit the work area and their OK
// button takes a real click whatever the text; one error box at a time, with the failures of
// the meantime neither lost nor piled up; a timer that failed waits for its box; running out of
// memory is named as such.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
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

// ---------------------------------------------------------------------------------------------
// One error box at a time

namespace {

// Closes each box of this thread once it has been up for about 300 ms (a user reading it).
struct TBoxCloser {
  static inline std::vector<std::pair<HWND, DWORD>> Seen;
  UINT_PTR Id;
  TBoxCloser() {
    Seen.clear();
    Id = SetTimer(nullptr, 0, 30, Tick);
  }
  ~TBoxCloser() { KillTimer(nullptr, Id); }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    for (HWND B : ThreadBoxes()) {
      auto It = std::find_if(Seen.begin(), Seen.end(), [B](const auto& S) { return S.first == B; });
      if (It == Seen.end())
        Seen.emplace_back(B, GetTickCount());
      else if (GetTickCount() - It->second > 300)
        PostMessageW(B, WM_COMMAND, IDOK, 0);
    }
  }
};

// The application's boxes shown by a routine that counts how many are open at once; Show
// shows them (by default, real boxes).
struct TBoxCounter {
  int Open = 0, MostOpen = 0;
  std::vector<WideString> Texts;
  TMessageBoxProc Saved = Application->MessageBoxProc;
  std::function<void()> WhileOpen;
  TBoxCounter() {
    Application->MessageBoxProc = [this](HWND Owner, const WideString& Text, const WideString& Caption, UINT Flags) {
      Texts.push_back(Text);
      MostOpen = std::max(MostOpen, ++Open);
      int Result = IDOK;
      if (WhileOpen)
        WhileOpen();
      else
        Result = Saved(Owner, Text, Caption, Flags);
      --Open;
      return Result;
    };
  }
  ~TBoxCounter() { Application->MessageBoxProc = Saved; }
};

// Handles messages for about Ms milliseconds of the clock (boxes opened meanwhile included).
void PumpForClock(DWORD Ms) {
  const DWORD Start = GetTickCount();
  while (GetTickCount() - Start < Ms) {
    uitest::Pump();
    Sleep(5);
  }
}

void Fail(const char* Text) {
  try {
    throw EInvalidOperation(Text);
  } catch (...) {
    Application->HandleException(nullptr);
  }
}

}  // namespace

TEST(ErrorBoxes, AFailingTimerShowsOneBoxAtATimeAndIsNotFiredWhileItsBoxIsUp) {
  // A framework timer, and a timer of a form's window, whose handlers fail on every tick
  // (20 ms) for about a second; each box is closed by the user after about 300 ms.
  for (bool FormTimer : {false, true}) {
    SCOPED_TRACE(FormTimer ? "timer of a form's window" : "TTimer");
    TBoxCounter Boxes;
    TBoxCloser Closer;
    int Ticks = 0, TicksWhileOpen = 0;
    const DWORD End = GetTickCount() + 1000;
    bool Running = true;
    auto OnTick = [&] {
      if (GetTickCount() > End) {
        Running = false;
        return;
      }
      ++Ticks;
      if (Boxes.Open > 0) ++TicksWhileOpen;
      throw EInvalidOperation("The tick failed");
    };
    TTimer Timer(nullptr);
    auto Form = std::make_unique<TForm>(nullptr);
    if (FormTimer) {
      Timer.SetEnabled(false);
      TWndMethod Inherited = Form->WindowProc();
      Form->SetWindowProc([&, Inherited](TMessage& M) {
        if (M.Msg == WM_TIMER && M.WParam == 7) {
          if (!Running) KillTimer(Form->Handle(), 7);
          OnTick();
          return;
        }
        Inherited(M);
      });
      SetTimer(Form->Handle(), 7, 20, nullptr);
    } else {
      Timer.SetInterval(20);
      Timer.SetOnTimer([&](TObject*) {
        OnTick();
        if (!Running) Timer.SetEnabled(false);
      });
    }
    while (Running || Boxes.Open > 0) PumpForClock(50);
    EXPECT_EQ(Boxes.MostOpen, 1);
    EXPECT_EQ(TicksWhileOpen, 0);
    // Closing the box lets the timer run (and fail) again.
    EXPECT_GE(Ticks, 2);
    EXPECT_EQ(static_cast<int>(Boxes.Texts.size()), Ticks);
    EXPECT_TRUE(ThreadBoxes().empty());
  }
}

TEST(ErrorBoxes, FailuresWhileABoxIsUpAreShownOnceEachAfterIt) {
  TBoxCounter Boxes;
  bool First = true;
  Boxes.WhileOpen = [&] {
    if (!First) return;
    First = false;
    Fail("Second");
    Fail("First");   // the text of the box shown: the user sees it
    Fail("Second");  // already waiting
    Fail("Third");
  };
  Fail("First");
  EXPECT_EQ(Boxes.MostOpen, 1);
  EXPECT_EQ(Boxes.Texts, (std::vector<WideString>{L"First.", L"Second.", L"Third."}));
  // A flood of different failures: a few boxes, and the last one tells how many more there were.
  Boxes.Texts.clear();
  First = true;
  Boxes.WhileOpen = [&] {
    if (!First) return;
    First = false;
    for (int I = 0; I < 100; ++I) Fail(("Failure " + std::to_string(I)).c_str());
  };
  Fail("Start");
  EXPECT_EQ(Boxes.MostOpen, 1);
  ASSERT_GE(Boxes.Texts.size(), 3u);
  EXPECT_LE(Boxes.Texts.size(), 12u);
  EXPECT_EQ(Boxes.Texts[1], L"Failure 0.");
  const std::size_t Shown = Boxes.Texts.size() - 2;  // besides the first box and the last
  EXPECT_EQ(Boxes.Texts.back(), std::to_wstring(100 - Shown) + L" more errors occurred while the error box was shown.");
  // Afterwards every failure has its box again.
  Boxes.Texts.clear();
  Boxes.WhileOpen = [] {};
  Fail("First");
  Fail("First");
  EXPECT_EQ(Boxes.Texts.size(), 2u);
}

TEST(ErrorBoxes, RunningOutOfMemoryShowsTheOutOfMemoryMessage) {
  TBoxCounter Boxes;
  Boxes.WhileOpen = [] {};
  // A handler of a window asks for more memory than the process can have.
  auto Form = std::make_unique<TForm>(nullptr);
  TWndMethod Inherited = Form->WindowProc();
  Form->SetWindowProc([Inherited](TMessage& M) {
    if (M.Msg == WM_APP) {
      std::vector<char> Huge(0x7FFFFFF0u);
      M.Result = Huge[1];
      return;
    }
    Inherited(M);
  });
  SendMessageW(Form->Handle(), WM_APP, 0, 0);
  EXPECT_EQ(Boxes.Texts, std::vector<WideString>{L"Out of memory."});
  // An OnException handler hears it as the framework's out-of-memory exception.
  std::string Seen;
  Application->OnException = [&](TObject*, Exception& E) { Seen = E.ClassName() + (": " + E.Message); };
  SendMessageW(Form->Handle(), WM_APP, 0, 0);
  Application->OnException = nullptr;
  EXPECT_EQ(Seen, "EOutOfMemory: Out of memory");
}
