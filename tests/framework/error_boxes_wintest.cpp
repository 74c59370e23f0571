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
#include "support/Boxes.h"

using boxtest::TBoxPresser;
using boxtest::ThreadBoxes;

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
  int Shot = 0;
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TBoxPresser Presser("message_box_fit_" + std::to_string(++Shot));
    EXPECT_EQ(Application->MessageBox(C.Text, L"Fit", MB_OK | MB_ICONSTOP), IDOK);
    EXPECT_TRUE(TBoxPresser::Clicked);
    EXPECT_FALSE(TBoxPresser::Backstop) << "the real click did not reach the OK button";
    EXPECT_TRUE(TBoxPresser::Fitted()) << TBoxPresser::Where();
    // What does not fit is cut, and the cut is marked.
    if (C.Text.size() > 1000) {
      ASSERT_GE(TBoxPresser::Text.size(), 3u);
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
  // A framework timer, and a timer of a form's window, whose handlers fail on each of their first
  // three ticks (20 ms apart); each box is closed by the user after about 300 ms.
  for (bool FormTimer : {false, true}) {
    SCOPED_TRACE(FormTimer ? "timer of a form's window" : "TTimer");
    TBoxCounter Boxes;
    TBoxCloser Closer;
    int Ticks = 0, TicksWhileOpen = 0;
    bool Running = true;
    auto OnTick = [&] {
      if (Ticks == 3) {
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
    for (const DWORD Start = GetTickCount(); (Running || Boxes.Open > 0) && GetTickCount() - Start < 30000;)
      PumpForClock(50);
    EXPECT_EQ(Boxes.MostOpen, 1);
    EXPECT_EQ(TicksWhileOpen, 0);
    // Closing each box lets the timer run (and fail) again.
    EXPECT_FALSE(Running) << Ticks << " ticks";
    EXPECT_EQ(Ticks, 3);
    EXPECT_EQ(Boxes.Texts.size(), 3u);
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

TEST(ErrorBoxes, APaintHandlerThatKeepsFailingShowsOneBoxAtATime) {
  // A shown form repainted every 20 ms for about a second (as an animation would), whose paint
  // fails every time; the box over it is closed by the user after about 300 ms.
  TBoxCounter Boxes;
  TBoxCloser Closer;
  int Paints = 0;
  auto Form = std::make_unique<TForm>(nullptr);
  Form->SetBounds(100, 100, 300, 200);
  Form->OnPaint = [&](TObject*) {
    ++Paints;
    throw EInvalidOperation("The paint failed");
  };
  const DWORD Start = GetTickCount();
  Form->Show();
  TTimer Animation(nullptr);
  Animation.SetInterval(20);
  Animation.SetOnTimer([&](TObject*) { InvalidateRect(Form->Handle(), nullptr, FALSE); });
  PumpForClock(1000);
  Animation.SetEnabled(false);
  Form->OnPaint = nullptr;
  while (Boxes.Open > 0) PumpForClock(50);
  const DWORD Elapsed = GetTickCount() - Start;
  EXPECT_GE(Paints, 2);
  EXPECT_EQ(Boxes.MostOpen, 1);
  // A box at a time, each up until the user closes it (300 ms here), however long a busy machine
  // makes the second: no more boxes than fit one after the other, and not one per failed paint.
  EXPECT_GE(Boxes.Texts.size(), 1u);
  EXPECT_LE(Boxes.Texts.size(), Elapsed / 300 + 1) << Elapsed << " ms";
  EXPECT_LT(Boxes.Texts.size() * 2, static_cast<std::size_t>(Paints)) << Paints << " paints";
  for (const WideString& T : Boxes.Texts) EXPECT_EQ(T, L"The paint failed.");
  EXPECT_TRUE(ThreadBoxes().empty());
}
