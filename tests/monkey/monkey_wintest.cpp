// A random user at the program's windows. The program's main window and skinned forms holding a
// control of every kind (with a main menu, a popup menu and the system menu) take real clicks,
// double and right clicks, drags, wheel turns and keys anywhere on their windows, frames,
// captions and caption buttons, and on the menus, message boxes and drop-down lists that open;
// from the same timer come skin changes, size and state changes, and forms freed and made anew.
// After the run no access violation or heap fault was counted, no exception left a handler, and
// the thread's windows and the process's GDI and USER objects are back where they were.
//
// Without settings the run is a short one of a fixed seed; scripts/monkey.sh runs it long
// (TV_MONKEY_SEED, TV_MONKEY_STEPS, TV_MONKEY_LIMIT). A failure names the seed, the step and the
// steps before it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "GalleryControls.h"
#include "app/support/AppTestHelpers.h"
#include "monkey/support/Census.h"
#include "monkey/support/Monkey.h"
#include "skin/forms/sSkinProvider.h"
#include "framework/Streams.h"
#include "framework/Timers.h"
#include "grid/NxClasses.h"
#include "support/SourceTree.h"

namespace {

// A form of every control kind at a random place and size, with a popup menu; two of three get a
// provider of their own, the others one from the thread hook when they first become active.
// Closing it hides it or frees it.
TForm* MakeForm(std::mt19937& R) {
  TForm* F = gallery::CreateControlsForm(nullptr);
  F->SetCaption(WideString(L"Monkey form"));
  F->SetPopupMenu(gallery::CreatePopupMenu(F));
  F->SetBounds(static_cast<int>(R() % 500), static_cast<int>(R() % 200), 420 + static_cast<int>(R() % 440),
               320 + static_cast<int>(R() % 330));
  if (R() % 3 != 0) new TsSkinProvider(F);
  F->OnClose = [N = 0](TObject*, TCloseAction& Action) mutable { Action = N++ % 2 == 0 ? caHide : caFree; };
  F->Show();
  return F;
}

struct TCounts {
  int Windows, Gdi, User;
};

// Runs a box or a menu that a timer closes again.
std::function<void()> CloseModal;
void CALLBACK CloseModalTick(HWND, UINT, UINT_PTR Id, DWORD) {
  KillTimer(nullptr, Id);
  if (CloseModal) CloseModal();
}
BOOL CALLBACK CancelBox(HWND W, LPARAM) {
  wchar_t C[16] = {};
  GetClassNameW(W, C, 16);
  if (IsWindowVisible(W) && lstrcmpW(C, L"#32770") == 0) PostMessageW(W, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}
void RunClosed(const std::function<void()>& Modal) {
  CloseModal = [] {
    EnumThreadWindows(GetCurrentThreadId(), CancelBox, 0);
    EndMenu();
  };
  SetTimer(nullptr, 0, 300, CloseModalTick);
  Modal();
  uitest::PumpFor(100);
}

// A real press and release at a screen point, twice for a double click; the input is handled.
void ClickAt(POINT P, bool Double = false) {
  std::vector<INPUT> In{realinput::ButtonAt(P, 0), realinput::ButtonAt(P, MOUSEEVENTF_LEFTDOWN),
                        realinput::ButtonAt(P, MOUSEEVENTF_LEFTUP)};
  if (Double) {
    In.push_back(realinput::ButtonAt(P, MOUSEEVENTF_LEFTDOWN));
    In.push_back(realinput::ButtonAt(P, MOUSEEVENTF_LEFTUP));
  }
  realinput::SendButtons(In);
  uitest::PumpFor(150);
}

// A live control makes its font, brush and pen handles when it first paints with them and drops
// them when they change, so whether it holds them at a count depends on what was painted last:
// every control of the forms that stay is made to hold them before each count.
void MakeHeldHandles(TCanvas* C) {
  if (C == nullptr) return;
  C->Font()->Handle();
  C->Brush()->Handle();
  C->Pen()->Handle();
}
void MakeHeldHandles(TControl* C) {
  C->Font()->Handle();
  if (auto* G = dynamic_cast<TGraphicControl*>(C)) MakeHeldHandles(G->Canvas());
  auto* W = dynamic_cast<TWinControl*>(C);
  if (W == nullptr) return;
  W->Brush()->Handle();
  if (auto* CC = dynamic_cast<TCustomControl*>(C)) MakeHeldHandles(CC->Canvas());
  if (auto* F = dynamic_cast<TCustomForm*>(C)) MakeHeldHandles(F->Canvas());
  for (int I = 0; I < W->ControlCount(); ++I) MakeHeldHandles(W->Controls(I));
}

// The same walk before each count: a form of every kind, skinned and not, with and without
// extended borders, in every state, pressed on its frame and caption, with its drop-down list and
// menus, the program's system menu and a box of every kind. What the process keeps of its last box or menu
// is then the same at both counts, and what the process and the system make once is made.
void Tour(TsSkinManager* M, std::mt19937& R) {
  // The system loads its shared cursors when one is first shown (a sizing edge, a hand over a
  // link) and keeps them: they are loaded here, before the counts.
  // (IDC_ARROW ... IDC_UPARROW, IDC_SIZENWSE ... IDC_SIZEALL, IDC_NO ... IDC_HELP.)
  for (const int Id : {32512, 32513, 32514, 32515, 32516, 32642, 32643, 32644, 32645, 32646, 32648, 32649, 32650, 32651})
    LoadCursorW(nullptr, MAKEINTRESOURCEW(Id));
  // So are its shared window icons (IDI_APPLICATION, IDI_WINLOGO), in the sizes it draws them.
  for (const int Id : {32512, 32517})
    for (const int Size : {16, 32, 48})
      LoadImageW(nullptr, MAKEINTRESOURCEW(Id), IMAGE_ICON, Size, Size, LR_SHARED);
  // The framework's timer window is made with the first running timer and stays.
  {
    TTimer Timer(nullptr);
    Timer.SetOnTimer([](TObject*) {});
    Timer.SetEnabled(true);
  }
  for (const bool Skin : {false, true})
    for (const bool Ext : {true, false}) {
      M->SetActive(Skin);
      M->SetExtendedBorders(Ext);
      TForm* F = MakeForm(R);
      F->SetBounds(300, 150, 500, 400);
      for (const TWindowState S : {wsMaximized, wsMinimized, wsNormal}) {
        F->SetWindowState(S);
        uitest::PumpFor(100);
      }
      realinput::BringToFront(F->Handle());
      ClickAt(POINT{301, 350});
      ClickAt(POINT{550, 548});
      ClickAt(POINT{550, 160}, true);
      ClickAt(POINT{550, 160}, true);
      if (HWND Combo = FindWindowExW(F->Handle(), nullptr, L"TGalleryComboBox", nullptr)) {
        SendMessageW(Combo, CB_SHOWDROPDOWN, TRUE, 0);
        uitest::PumpFor(150);
        SendMessageW(Combo, CB_SHOWDROPDOWN, FALSE, 0);
      }
      RunClosed([F] { F->PopupMenu()->Popup(F->Left() + 100, F->Top() + 100); });
      RunClosed([F] { SendMessageW(F->Handle(), WM_SYSCOMMAND, SC_KEYMENU, ' '); });
      delete F;
    }
  RunClosed([] { SendMessageW(Form1->Handle(), WM_SYSCOMMAND, SC_KEYMENU, ' '); });
  // The pointer rests on the channel list: its hint shows.
  realinput::BringToFront(Form1->Handle());
  const TPoint Grid = Form1->NxGrid1->ClientToScreen(Point(20, 10));
  realinput::MovePointer(POINT{Grid.X, Grid.Y});
  uitest::PumpFor(1200);
  realinput::MovePointer(POINT{GetSystemMetrics(SM_CXSCREEN) - 1, 0});
  Application->CancelHint();
  // A hint's window lives while the hint shows. Whether the list's text-fit hint showed (the row
  // under the pointer may fit its column after a run) and has gone by the count is a matter of
  // timing: its window goes here, as it does when the hint hides.
  ReleaseHintWindow(Form1->NxGrid1->HintWindow());
  const UINT Kinds[] = {MB_OK | MB_ICONINFORMATION, MB_OKCANCEL | MB_ICONWARNING, MB_YESNOCANCEL | MB_ICONQUESTION,
                        MB_RETRYCANCEL | MB_ICONERROR};
  for (const UINT K : Kinds) RunClosed([K] { MessageBoxW(Form1->Handle(), L"Tour", L"Monkey", K); });
  uitest::PumpFor(300);
  for (int I = 0; I < Screen->FormCount(); ++I) MakeHeldHandles(Screen->Forms(I));
}

TCounts Take() { return {uitest::CountThreadWindows(), uitest::GdiObjectCount(), uitest::UserObjectCount()}; }

void Report(const char* Phase, const monkey::TSettings& S, const monkey::TOutcome& O) {
  std::printf("monkey: %s: %d steps of seed %u\n", Phase, O.StepsDone, S.Seed);
  std::fflush(stdout);
  if (O.FirstFaultStep >= 0)
    ADD_FAILURE() << Phase << ": the freed-memory guard counted a fault at step " << O.FirstFaultStep << " (seed "
                  << S.Seed << "):\n"
                  << O.FaultText;
  for (const std::string& E : O.Exceptions) ADD_FAILURE() << Phase << " (seed " << S.Seed << "): " << E;
}

}  // namespace

TEST(Monkey, ARandomUserAtEveryWindowLeavesNothingBehind) {
  const monkey::TSettings S = monkey::ReadSettings();
  std::printf("monkey: seed %u, %d steps\n", S.Seed, S.Steps);
  std::fflush(stdout);
  InitCommonControls();
  apptest::TProgramState State;
  apptest::TTempFolder Folder;
  Folder.Write("server.txt", "192.0.2.7\r\n");
  {
    TFileStream List(tvtest::SourcePath("examples/list.txt"), fmOpenRead | fmShareDenyWrite);
    std::string Bytes(static_cast<std::size_t>(List.Size()), '\0');
    List.ReadBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
    Folder.Write("list.txt", Bytes);
  }
  CreateProgramForms();
  ASSERT_NE(Form1, nullptr);
  // The main window stays for the whole run: closing it asks nothing and does nothing.
  Form1->OnClose = [](TObject*, TCloseAction& Action) { Action = caNone; };
  TsSkinManager* M = Form1->sSkinManager1;
  ASSERT_TRUE(M->SkinActive());
  gallery::ListControlClasses(M);
  apptest::ShowMainForm();
  const TRect MainBounds = Form1->BoundsRect();

  monkey::TTargets Targets;
  Targets.Manager = M;
  Targets.MainForm = Form1;
  Targets.MakeForm = MakeForm;
  monkey::TMonkey Monkey(S, Targets);
  auto Restore = [&] {
    for (TForm* F : std::vector<TForm*>(Monkey.Forms())) delete F;
    M->SetActive(true);
    M->SetHueOffset(0);
    M->SetSaturation(0);
    M->SetExtendedBorders(false);
    Form1->SetWindowState(wsNormal);
    Form1->SetBoundsRect(MainBounds);
    Form1->Show();
    uitest::PumpFor(500);
  };

  // A first short run makes what the process keeps for good (window classes, caches, the
  // windows of menus and hints); the counts are taken after it.
  std::mt19937 Starter(S.Seed);
  Tour(M, Starter);
  Monkey.Adopt(MakeForm(Starter));
  Report("warm-up", S, Monkey.Run(std::min(S.Steps, 200)));
  Restore();
  Tour(M, Starter);
  const TCounts Before = Take();
  const monkey::TCensus Held;

  Monkey.Adopt(MakeForm(Starter));
  Monkey.Adopt(MakeForm(Starter));
  const monkey::TOutcome O = Monkey.Run(S.Steps);
  Report("run", S, O);
  EXPECT_EQ(O.StepsDone, S.Steps);
  Restore();
  Tour(M, Starter);
  const TCounts After = Take();
  const std::string Changes = Held.ChangesTo(monkey::TCensus());
  EXPECT_EQ(After.Windows, Before.Windows) << "seed " << S.Seed << "\n" << Changes;
  // Objects that stay (the program's forms, the manager, their caches) make some font, brush and
  // bitmap handles only when they first paint with them and drop them when they change, so the
  // GDI count may end a handle or two off after a long run; a leak of any action the run repeats
  // ends far off.
  EXPECT_LE(std::abs(After.Gdi - Before.Gdi), 2) << "seed " << S.Seed << ": " << Before.Gdi << " -> " << After.Gdi
                                                << "\n" << Changes;
  EXPECT_EQ(After.User, Before.User) << "seed " << S.Seed << "\n" << Changes;
}

namespace {
HWND LoopTarget = nullptr;
WPARAM LoopCommand = 0;
bool LoopEnded = false;
void CALLBACK ReleaseInLoop(HWND, UINT, UINT_PTR Id, DWORD) {
  KillTimer(nullptr, Id);
  ReleaseCapture();
}
void CALLBACK StartLoop(HWND, UINT, UINT_PTR Id, DWORD) {
  KillTimer(nullptr, Id);
  SendMessageW(LoopTarget, WM_SYSCOMMAND, LoopCommand, LoopCommand == SC_KEYMENU ? ' ' : 0);
  LoopEnded = true;
}
DWORD ForegroundProcess() {
  DWORD Pid = 0;
  GetWindowThreadProcessId(GetForegroundWindow(), &Pid);
  return Pid;
}
}  // namespace

// The system's move, size and system-menu loops started from WM_SYSCOMMAND while another
// program's window is in front wait for keys that go to that program: the run's watchdog still
// ends them (as a person would, bringing the window to the front and pressing Escape) instead of
// failing the run as a hang. A control whose press ends inside the loop releases the capture, and
// with it the thread's mark of being in a move or size loop: the loop is ended all the same.
TEST(RunWatchdog, EndsTheSystemsLoopsWhileAnotherProgramIsInFront) {
  std::unique_ptr<TForm> F(TCustomForm::Create<TForm>(nullptr));
  F->SetBounds(200, 200, 300, 200);
  uitest::ShowSettled(F.get());
  LoopTarget = F->Handle();
  const TRect Before = F->BoundsRect();
  for (const bool CaptureLost : {false, true}) {
    for (const WPARAM Command : {SC_MOVE, SC_SIZE, SC_KEYMENU}) {
      SCOPED_TRACE(std::to_string(Command) + (CaptureLost ? ", the capture released in the loop" : ""));
      // A click beside every window of the process puts the desktop in front.
      const POINT Beside{GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2};
      realinput::SendButtons({realinput::ButtonAt(Beside, 0), realinput::ButtonAt(Beside, MOUSEEVENTF_LEFTDOWN),
                              realinput::ButtonAt(Beside, MOUSEEVENTF_LEFTUP)});
      uitest::WaitFor([] { return ForegroundProcess() != GetCurrentProcessId(); });
      if (ForegroundProcess() == GetCurrentProcessId()) GTEST_SKIP() << "no other program's window came to the front";
      LoopCommand = Command;
      LoopEnded = false;
      {
        // Failing, the watchdog ends the process (exit code 5).
        watchdog::TWatchdog Dog("the system-loop test", 60, 1, true);
        SetTimer(nullptr, 0, 50, StartLoop);
        if (CaptureLost) SetTimer(nullptr, 0, 300, ReleaseInLoop);
        uitest::WaitFor([] { return LoopEnded; });
      }
      EXPECT_TRUE(LoopEnded);
      EXPECT_EQ(F->BoundsRect(), Before) << "Escape leaves the form where it was";
    }
  }
}
