// Lifetimes of the scroll-bar tracking of adapted controls: the skin is switched off while a real
// press holds a scroll arrow down or the pointer rests on a bar, so that every kind of scrolling
// adapter (edit, list box, list view, tree view, grid, simple combo box list) is freed in the
// middle of its tracking. Its timers must stop and the mouse capture must go back.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

#include "framework/Scopes.h"
#include "framework/Streams.h"
#include "skin/controls/acScrollBars.h"
#include "skin/core/sConst.h"
#include "skin/core/sStoredSkins.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/adapt2_support.h"
#include "skin_forms/lifetime_support.h"
#include "support/Boxes.h"
#include "support/FreedMemoryGuard.h"
#include "support/RealInput.h"
#include "support/SourceTree.h"
#include "support/Watchdog.h"

namespace {

// Sixty lines "line 0" ... "line 59" added to a list by Msg.
void AddLines(HWND W, UINT Msg) {
  for (int I = 0; I < 60; ++I) {
    const std::wstring T = L"line " + std::to_wstring(I);
    SendMessageW(W, Msg, 0, reinterpret_cast<LPARAM>(T.c_str()));
  }
}

// One control of a scrolling kind, made on a form; Fill fills it until its vertical bar shows and
// answers the window whose bar is pressed (the list of a simple combo box, else the control).
struct TScrollingKind {
  const char* Name;
  std::function<TWinControl*(TForm*)> Make;
  std::function<HWND(TWinControl*)> Fill;
};

std::vector<TScrollingKind> Kinds() {
  return {
      {"memo", [](TForm* F) { return new lifetime::TLtMemo(F); },
       [](TWinControl* C) {
         std::wstring T;
         for (int I = 0; I < 60; ++I) T += L"line " + std::to_wstring(I) + L"\r\n";
         SetWindowTextW(C->Handle(), T.c_str());
         return C->Handle();
       }},
      {"list box", [](TForm* F) { return new lifetime::TLtListBox(F); },
       [](TWinControl* C) {
         AddLines(C->Handle(), LB_ADDSTRING);
         return C->Handle();
       }},
      {"list view", [](TForm* F) {
         auto* L = new TListView(F);
         L->SetViewStyle(vsReport);
         L->Columns()->Add()->SetCaption(L"Name");
         for (int I = 0; I < 60; ++I) L->AddItem(L"row " + std::to_wstring(I));
         return L;
       },
       [](TWinControl* C) { return C->Handle(); }},
      {"tree view", [](TForm* F) {
         auto* T = new TTreeView(F);
         for (int I = 0; I < 60; ++I) T->AddChild(nullptr, L"node " + std::to_wstring(I));
         return T;
       },
       [](TWinControl* C) { return C->Handle(); }},
      {"grid", [](TForm* F) { return new lifetime::TLtGrid(F); },
       [](TWinControl* C) {
         SCROLLINFO SI{sizeof(SCROLLINFO), SIF_ALL, 0, 100, 10, 0, 0};
         SetScrollInfo(C->Handle(), SB_VERT, &SI, TRUE);
         return C->Handle();
       }},
      {"simple combo box", [](TForm* F) { return new lifetime::TLtSimpleCombo(F); },
       [](TWinControl* C) {
         AddLines(C->Handle(), CB_ADDSTRING);
         return FindWindowExW(C->Handle(), nullptr, L"ComboLBox", nullptr);
       }},
  };
}

class LifetimeTracking : public ::testing::Test {
 protected:
  void SetUp() override {
    sSkinProviderInstall();
    InitCommonControls();
    M = adapt2::LoadProgramSkin();
    ASSERT_TRUE(M->SkinActive());
    adapt2::SetList(*M, 0, "TLtMemo\r\nTLtListBox");
    adapt2::SetList(*M, 4, "TLtSimpleCombo");
    adapt2::SetList(*M, 5, "TLtGrid");
    adapt2::SetList(*M, 7, "TListView");
    adapt2::SetList(*M, 9, "TTreeView");
  }
  void TearDown() override {
    M.reset();
    uitest::Pump();
  }
  std::unique_ptr<TsSkinManager> M;
};

// The window's skinned vertical bar, shown, on its form brought to the front: its adapter, or null
// when the bar never showed.
TacScrollWnd* ShownVertBar(TForm* Form, HWND W, TRect& Bar) {
  uitest::Settle(Form->Handle());
  auto* A = dynamic_cast<TacScrollWnd*>(GetWndAdapter(W));
  if (A == nullptr || !uitest::WaitFor([&] { return A->VertBar != nullptr && A->VertBar->Visible; }) ||
      !realinput::BringToFront(Form->Handle()))
    return nullptr;
  GetVertBarRect(A, W, Bar);
  return A;
}

bool TimerRuns(HWND W, UINT_PTR Id) { return KillTimer(W, Id) != FALSE; }

}  // namespace

// Switching the skin off frees the adapters of the form's controls; one freed while its arrow is
// held down or while the pointer rests on its bar leaves no timer running on the window and no
// mouse capture behind, whatever kind of scrolling adapter it is.
TEST_F(LifetimeTracking, TheSkinGoingDuringAPressOrHoverStopsTheTrackingOfEveryScrollingKind) {
  for (const TScrollingKind& K : Kinds()) {
    for (bool Press : {true, false}) {
      SCOPED_TRACE(std::string(K.Name) + (Press ? ", arrow held down" : ", pointer on the bar"));
      if (!M->Active()) M->SetActive(true);
      ASSERT_TRUE(M->SkinActive());
      adapt2::TTestForm F;
      new TsSkinProvider(F.Form);
      TWinControl* C = K.Make(F.Form);
      C->SetParent(F.Form);
      C->SetBounds(20, 20, 200, 160);
      F.Show();
      HWND W = K.Fill(C);
      ASSERT_NE(W, nullptr);
      TRect S;
      TacScrollWnd* A = ShownVertBar(F.Form, W, S);
      ASSERT_NE(A, nullptr);
      const POINT Arrow{(S.Left + S.Right) / 2, S.Bottom - 4};
      ASSERT_TRUE(realinput::MovePointerSettled(POINT{S.Left - 60, S.Top + 20}));
      ASSERT_TRUE(realinput::MovePointerSeen(Arrow));
      if (Press) {
        realinput::SendButtons({realinput::ButtonAt(Arrow, MOUSEEVENTF_LEFTDOWN)});
        ASSERT_TRUE(uitest::WaitFor([&] { return acScrollTracking().TrackPart != -1 && GetCapture() == W; }));
        uitest::PumpFor(350);  // past the first delay: the repeat runs
      } else {
        ASSERT_TRUE(uitest::WaitFor([&] { return acScrollTracking().HoverTimer != 0; }));
        ASSERT_EQ(acScrollTracking().HoverWnd, W);
      }
      M->SetActive(false);
      uitest::Pump();
      EXPECT_EQ(GetWndAdapter(W), nullptr);
      EXPECT_NE(GetCapture(), W);
      EXPECT_FALSE(TimerRuns(W, acTimerHover));
      EXPECT_FALSE(TimerRuns(W, acTimerFirstRepeat));
      EXPECT_FALSE(TimerRuns(W, acTimerRepeat));
      EXPECT_EQ(acScrollTracking().HoverWnd, nullptr);
      EXPECT_EQ(acScrollTracking().TrackPart, -1);
      if (Press) realinput::SendButtons({realinput::ButtonAt(Arrow, MOUSEEVENTF_LEFTUP)});
      uitest::Pump();
    }
  }
}

namespace {

// The list box's own handling of its messages (below the skin's adapter) calls this after it
// handled one; a row of the table below sets it.
std::function<void(UINT, WPARAM)> OnOwnMessage;

WNDPROC ListProc = nullptr;
LRESULT CALLBACK HandlingListProc(HWND W, UINT Msg, WPARAM WParam, LPARAM LParam) {
  const LRESULT R = CallWindowProcW(ListProc, W, Msg, WParam, LParam);
  if (OnOwnMessage) OnOwnMessage(Msg, WParam);
  return R;
}

// A message box a handler shows over the form in the middle of a press of a bar, until the user
// presses its OK button (Released: having let go of the pressed button first) or, with the button
// still held, Enter (thread timer steps: the box's own loop runs them).
struct TBoxWhilePressed {
  static inline bool LetGo = true;
  static inline POINT Held{};
  static inline int Ticks = 0;
  static void Send(std::vector<INPUT> In) { SendInput(static_cast<UINT>(In.size()), In.data(), sizeof(INPUT)); }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR Id, DWORD) {
    const std::vector<HWND> Boxes = boxtest::ThreadBoxes();
    if (Boxes.empty()) return;
    if (++Ticks == 1 && LetGo) Send({realinput::ButtonAt(Held, MOUSEEVENTF_LEFTUP)});
    if (Ticks < 4) return;
    KillTimer(nullptr, Id);
    if (LetGo) {
      RECT Ok{};
      GetWindowRect(GetDlgItem(Boxes.front(), IDOK), &Ok);
      const POINT P{(Ok.left + Ok.right) / 2, (Ok.top + Ok.bottom) / 2};
      Send({realinput::ButtonAt(P, 0), realinput::ButtonAt(P, MOUSEEVENTF_LEFTDOWN),
            realinput::ButtonAt(P, MOUSEEVENTF_LEFTUP)});
      return;
    }
    INPUT Keys[2]{};
    Keys[0].type = Keys[1].type = INPUT_KEYBOARD;
    Keys[0].ki.wVk = Keys[1].ki.wVk = VK_RETURN;
    Keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, Keys, sizeof(INPUT));
  }
  static void Show(HWND Form, POINT AtHeld, bool Released) {
    LetGo = Released;
    Held = AtHeld;
    Ticks = 0;
    SetTimer(nullptr, 0, 100, Tick);
    MessageBoxW(Form, L"Scrolled", L"Scroll handler", MB_OK);
  }
};

// A handler that throws away the mouse input waiting, the user's release of the button held at
// Held among it (no window hears of the release).
void DropMouseInput(POINT Held) {
  INPUT Up = realinput::ButtonAt(Held, MOUSEEVENTF_LEFTUP);
  SendInput(1, &Up, sizeof(INPUT));
  MSG M;
  const DWORD Start = GetTickCount();
  while (!PeekMessageW(&M, nullptr, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE) && GetTickCount() - Start < 3000)
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_MOUSEBUTTON);
  while (PeekMessageW(&M, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
}

}  // namespace

// A press, drag or hover of a skinned bar goes on after a message it sent to its window only
// while the window's adapter and its press are still there: the scroll messages, the capture's
// release, and the skin's questions for the cache and the background before the bar is painted.
// The same holds for the window's frame computed or painted again, and for the capture a press
// holds when the skin goes or the program lets go of the adapter in its middle. The list box's own
// handling of one of those messages frees the list box, switches the skin off, loads another skin
// or has the program let go of the adapter it keeps, on each road that sends one, whether the
// form's adapter list made the adapter (it goes with the list box or the skin) or the program
// keeps it (it outlives the window and the skin). The process goes on, nothing freed is touched
// (the trap makes any touch fault, also up the way of the message that sent the one the handler
// acts on), no press is left behind, and the list box keeps its scroll bar and its room.
TEST_F(LifetimeTracking, AScrollHandlerThatFreesTheControlOrChangesTheSkinEndsNoProcess) {
  // The program's skin stored in the manager under a name of its own: a skin to change to.
  TsStoredSkin* Stored = M->InternalSkins()->Add();
  Stored->SetName("Stored");
  TFileStream Pack(tvtest::SourcePath("app/res/skin/DefaultBlack.asz"), fmOpenRead | fmShareDenyWrite);
  Stored->ReadData(Pack);
  enum TPressAt { paArrow, paTrack, paThumb };
  // The handler counts the messages from the pointer's move onto the bar, from the press, from
  // the release (the button goes up before it acts), or from the window's frame computed and
  // painted again (the pointer away from the window).
  enum TFrom { fHover, fPress, fRelease, fFrame };
  // The adapters a road runs with: the form's list's and the program's, or one of them.
  enum TWho { wBoth, wForm, wKept };
  // What the program does itself once the press holds the mouse: nothing, switch the skin off,
  // or let go of the adapter it keeps. The window may then hear of the capture's return or not.
  enum TFirst { nothingFirst, skinOffFirst, letGoFirst };
  // A handler may also take the mouse and the release of the press away: it shows a message box,
  // while which the user lets go of the button (the release and the mouse go), or which the user
  // closes by a key with the button still down (the mouse goes); or it throws away the mouse input
  // waiting, the user's release among it (the release goes).
  enum THandler { hFreesTheControl, hSkinOff, hNewSkin, hLetsGoOfTheAdapter, hBoxLetGo, hBoxKeptDown, hDropsInput };
  const char* const HandlerNames[] = {"frees the control", "switches the skin off", "loads a new skin",
                                      "lets go of the adapter the program keeps",
                                      "shows a box, while which the user lets go of the button",
                                      "shows a box, which the user closes by a key with the button still down",
                                      "throws away the mouse input, the user's release among it"};
  constexpr unsigned Boxes = 1u << hBoxLetGo | 1u << hBoxKeptDown | 1u << hDropsInput;
  constexpr unsigned Usual = 1u << hFreesTheControl | 1u << hSkinOff | 1u << hNewSkin;
  struct TRoad {
    const char* Name;
    TPressAt At;
    TFrom From;
    UINT Msg;                   // the message the handler acts on
    int Code;                   // its scroll code or skin command (-1: it has none)
    int Nth = 1;                // at its Nth one
    TWho Who = wBoth;           // the form's adapter of a list box answers some messages itself
    TFirst First = nothingFirst;
    unsigned Handlers = Usual;  // THandler bits
    bool ProgramSteps = false;  // the program drags the pressed thumb itself (ThumbTrackVert)
  };
  const TRoad Roads[] = {
      {"arrow press", paArrow, fPress, WM_VSCROLL, SB_LINEDOWN, 1, wBoth, nothingFirst, Usual | Boxes},
      {"release", paArrow, fRelease, WM_VSCROLL, SB_ENDSCROLL},
      {"thumb step", paThumb, fPress, WM_VSCROLL, SB_THUMBTRACK, 1, wBoth, nothingFirst, Usual | Boxes},
      {"thumb step the program makes", paThumb, fPress, WM_VSCROLL, SB_THUMBTRACK, 1, wBoth, nothingFirst, Usual, true},
      {"repeat timer", paArrow, fPress, WM_VSCROLL, SB_LINEDOWN, 2, wBoth, nothingFirst, Usual | Boxes},
      {"page click", paTrack, fPress, WM_VSCROLL, SB_PAGEDOWN},
      {"capture back at an arrow's release", paArrow, fRelease, WM_CAPTURECHANGED, -1},
      {"capture back at a thumb's release", paThumb, fRelease, WM_CAPTURECHANGED, -1},
      {"cache before the press's repaint", paArrow, fPress, SM_ALPHACMD, AC_PREPARECACHE, 1, wKept},
      {"cache before the hover's repaint", paArrow, fHover, SM_ALPHACMD, AC_PREPARECACHE, 1, wKept},
      {"background of the pressed arrow", paArrow, fPress, SM_ALPHACMD, AC_GETBACKGROUND},
      {"background of the check after a press", paArrow, fPress, SM_ALPHACMD, AC_GETBACKGROUND, 2},
      {"background at the release", paArrow, fRelease, SM_ALPHACMD, AC_GETBACKGROUND},
      {"background of the hover", paArrow, fHover, SM_ALPHACMD, AC_GETBACKGROUND},
      {"background of a frame paint", paArrow, fFrame, SM_ALPHACMD, AC_GETBACKGROUND, 1, wForm},
      {"frame computed again", paArrow, fFrame, WM_NCCALCSIZE, -1, 1, wForm},
      {"frame painted again", paArrow, fFrame, WM_NCPAINT, -1, 1, wKept, nothingFirst, 1u << hLetsGoOfTheAdapter},
      {"capture back as the skin goes during a press", paArrow, fPress, WM_CAPTURECHANGED, -1, 1, wBoth,
       skinOffFirst, 1u << hFreesTheControl | 1u << hLetsGoOfTheAdapter},
      {"capture back as the program lets go of its adapter during a press", paArrow, fPress, WM_CAPTURECHANGED, -1,
       1, wKept, letGoFirst, 1u << hLetsGoOfTheAdapter},
  };
  TScopeExit NoHandler([] { OnOwnMessage = nullptr; });
  for (const bool Kept : {false, true}) {
    for (const auto& Road : Roads) {
      if (Road.Who != wBoth && Kept != (Road.Who == wKept)) continue;
      for (const THandler Handler :
           {hFreesTheControl, hSkinOff, hNewSkin, hLetsGoOfTheAdapter, hBoxLetGo, hBoxKeptDown, hDropsInput}) {
        // Only a program that keeps the adapter lets go of it.
        if ((Road.Handlers & 1u << Handler) == 0 || (Handler == hLetsGoOfTheAdapter && !Kept)) continue;
        SCOPED_TRACE(std::string(Road.Name) + ", the handler " + HandlerNames[Handler] +
                     (Kept ? ", the adapter kept by the program" : ", the adapter of the form's list"));
        if (!M->Active()) M->SetActive(true);
        ASSERT_TRUE(M->SkinActive());
        const unsigned Freed = memguard::FreedSequence();
        const memguard::TCounts Before = memguard::Counts();
        {
          const memguard::TTrapFreedReads Trap;
          // A case takes a second or two. One stalled for 20 s gets the mouse released and Escape
          // pressed, as a person would end a loop waiting for the press's end; it fails after 60 s.
          const watchdog::TWatchdog Watch("a scroll handler case", 120, 20, true, [&Road, Handler, HandlerNames] {
            return std::string(Road.Name) + ", the handler " + HandlerNames[Handler];
          });
          adapt2::TTestForm F;
          TWinControl* C = nullptr;
          HWND W = nullptr;
          TacScrollWnd* Own = nullptr;
          if (Kept) {
            F.Show();
            W = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT,
                                20, 20, 200, 160, F.Form->Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
            ListProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(W, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HandlingListProc)));
            Own = TacMainWnd::Create<TacScrollWnd>(W, nullptr, M.get(), "EDIT");
          } else {
            new TsSkinProvider(F.Form);
            C = lifetime::Put<lifetime::TLtListBox>(F.Form, F.Form, 20, 20, 200, 160);
            const TWndMethod Below = C->WindowProc();
            C->SetWindowProc([Below](TMessage& Msg) {
              Below(Msg);
              if (OnOwnMessage) OnOwnMessage(Msg.Msg, Msg.WParam);
            });
            F.Show();
            W = C->Handle();
          }
          // A program that keeps its window's adapter shows the window without the skin itself,
          // once the skin went or it let go of the adapter (freed, then forgotten).
          auto ShowUnskinned = [&] {
            if (W != nullptr) RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
          };
          auto SkinOff = [&] {
            M->SetActive(false);
            if (Kept) ShowUnskinned();
          };
          auto LetGo = [&] {
            delete Own;
            Own = nullptr;
            ShowUnskinned();
          };
          int Seen = 0;
          bool Armed = false, Acted = false;
          POINT Held{};  // the point the press holds
          OnOwnMessage = [&, Handler = Handler](UINT Msg, WPARAM WParam) {
            const int Code = Msg == WM_VSCROLL ? LOWORD(WParam) : Msg == SM_ALPHACMD ? AlphaCmdCode(WParam) : -1;
            if (!Armed || Acted || Msg != Road.Msg || Code != Road.Code || ++Seen != Road.Nth) return;
            Acted = true;
            if (Handler == hFreesTheControl) {
              if (C != nullptr) delete C;
              else DestroyWindow(W);
              C = nullptr;
              W = nullptr;
            } else if (Handler == hSkinOff) {
              SkinOff();
            } else if (Handler == hNewSkin) {
              M->SetSkinName(M->SkinName() == "Stored" ? "DefaultBlack" : "Stored");
            } else if (Handler == hBoxLetGo || Handler == hBoxKeptDown) {
              TBoxWhilePressed::Show(F.Form->Handle(), Held, Handler == hBoxLetGo);
            } else if (Handler == hDropsInput) {
              DropMouseInput(Held);
            } else {
              LetGo();
            }
          };
          AddLines(W, LB_ADDSTRING);
          TRect S;
          TacScrollWnd* A = ShownVertBar(F.Form, W, S);
          ASSERT_NE(A, nullptr);
          int ThumbSize = 0, ThumbPos = 0;
          CalcThumb(A->VertBar, S, ThumbSize, ThumbPos);
          const int X = (S.Left + S.Right) / 2;
          const POINT Press{X, Road.At == paArrow   ? S.Bottom - 4
                               : Road.At == paThumb ? ThumbPos + ThumbSize / 2
                                                    : (ThumbPos + ThumbSize + S.Bottom) / 2};
          Held = Road.At == paThumb ? POINT{X, Press.y + 30} : Press;
          ASSERT_TRUE(realinput::MovePointerSettled(POINT{S.Left - 60, S.Top + 20}));
          const bool Pressed = Road.From == fPress || Road.From == fRelease;
          if (Road.From == fFrame) {
            Armed = true;
            SetWindowPos(W, nullptr, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
            if (W != nullptr) RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
          } else {
            // The pointer's move onto the bar is the whole of a hover road: it presses nothing.
            Armed = !Pressed;
            ASSERT_TRUE(realinput::MovePointerSeen(Press));
          }
          if (Pressed) {
            // The hover has painted the part under the pointer hot before the press.
            ASSERT_TRUE(uitest::WaitFor([] { return acScrollTracking().LastHoverPart != -1; }));
            Armed = Road.From == fPress && Road.First == nothingFirst;
            realinput::SendButtons({realinput::ButtonAt(Press, MOUSEEVENTF_LEFTDOWN)});
          }
          // The program's step ends quietly whatever the handler does.
          if (Road.ProgramSteps) {
            ASSERT_TRUE(uitest::WaitFor([&] { return A->ThumbTracking; }));
            EXPECT_NO_THROW(ThumbTrackVert(A->VertBar, W, X, Press.y + 30));
          } else if (Road.At == paThumb) {
            realinput::MovePointerSettled(POINT{X, Press.y + 30});
          }
          if (Road.From == fRelease || Road.First != nothingFirst) {
            ASSERT_TRUE(uitest::WaitFor([&] { return acScrollTracking().TrackPart != -1 && GetCapture() == W; }));
            Armed = true;
          }
          if (Road.From == fRelease) realinput::SendButtons({realinput::ButtonAt(Press, MOUSEEVENTF_LEFTUP)});
          if (Road.First == skinOffFirst) SkinOff();
          if (Road.First == letGoFirst) LetGo();
          if (Road.First == nothingFirst) {
            EXPECT_TRUE(uitest::WaitFor([&] { return Acted; }));
          }
          // A press the skin's going ended keeps no timer of its own.
          if (W != nullptr && Handler != hNewSkin) {
            for (UINT_PTR Id : {acTimerFirstRepeat, acTimerRepeat}) EXPECT_FALSE(TimerRuns(W, Id)) << Id;
          }
          uitest::PumpFor(150);
          // The user lets go (unless the handler saw it already).
          if (Road.From == fPress && Handler != hBoxLetGo && Handler != hDropsInput)
            realinput::SendButtons({realinput::ButtonAt(Held, MOUSEEVENTF_LEFTUP)});
          uitest::PumpFor(150);
          // No press is left behind: nothing holds the mouse, the window scrolls no more, and its
          // bar shows what a repaint of its frame shows. The list box keeps its scroll bar.
          EXPECT_EQ(acScrollTracking().TrackPart, -1);
          EXPECT_EQ(GetCapture(), nullptr);
          if (W != nullptr) {
            EXPECT_NE(GetWindowLongPtrW(W, GWL_STYLE) & WS_VSCROLL, 0);
            // Its client area leaves the bar its room: computing the frame again keeps it.
            RECT Client{}, Again{};
            GetClientRect(W, &Client);
            SetWindowPos(W, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
            GetClientRect(W, &Again);
            EXPECT_EQ(Client.right, Again.right);
            const LRESULT Top = SendMessageW(W, LB_GETTOPINDEX, 0, 0);
            uitest::PumpFor(150);
            EXPECT_EQ(SendMessageW(W, LB_GETTOPINDEX, 0, 0), Top);
            RECT WR{};
            GetWindowRect(W, &WR);
            TRect Bar = S;
            Bar.Offset(-WR.left, -WR.top);
            const uitest::TCapture Shown = uitest::WindowOnScreen(W);
            RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
            uitest::Settle(W);
            EXPECT_TRUE(uitest::TCapture::SamePixels(Shown, Bar, uitest::WindowOnScreen(W), Bar));
          }
          OnOwnMessage = nullptr;
          delete Own;
        }
        memguard::CheckFreedSince(Freed);
        const memguard::TCounts After = memguard::Counts();
        EXPECT_TRUE(After.HeapFaults == Before.HeapFaults && After.HardwareFaults == Before.HardwareFaults)
            << memguard::DescribeSince(Before);
      }
    }
  }
  if (!M->Active()) M->SetActive(true);
}
