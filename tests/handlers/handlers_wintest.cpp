// A handler that the user's input reaches, on a control of every kind, changes what holds the
// control: it frees the control, the panel it sits on or its form, releases the form, shows a
// modal box or moves the focus. The input is real (a click and a double click of each button, a
// click of each that moves the focus, Tab, a key, the wheel, a click on a tab), and the handlers
// are every one the road fires, those the system's own code calls included (the context popup,
// the focus's enter and exit, a change). With the skin and without it, each case under the trap
// for reads of freed memory: whatever runs after the handler touches nothing freed, the windows of
// what was freed are gone, no window keeps the mouse once the buttons are up, and then switching
// the skin off and freeing the form end nothing either.
//
// The table is every road with every handler of every kind, each time the road runs it, with every
// change: first each road runs once with every handler only counting its runs, and the handlers
// that ran must be those a user expects of that road on that kind (Fired); then each run of each
// handler takes every change. The changes run in a share a fixed seed picks, and all of them with
// TV_HANDLERS_ALL=1 (TV_HANDLERS_SEED=N picks another share); each run of a handler takes one
// change in every run of the table.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "framework/Menus.h"
#include "framework/Strings.h"
#include "grid/support/EngineTestHelpers.h"
#include "handlers/handlers_support.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/adapt2_support.h"
#include "support/FreedMemoryGuard.h"
#include "support/TableShare.h"
#include "support/Watchdog.h"

using namespace handlers;

namespace {

enum THandler {
  hMouseDown, hMouseUp, hClick, hDblClick, hContextPopup, hEnter, hExit, hKeyDown, hKeyPress, hKeyUp, hChange,
  hChanging, hWheel, HandlerCount
};
const char* const HandlerNames[] = {"OnMouseDown", "OnMouseUp", "OnClick", "OnDblClick", "OnContextPopup",
                                    "OnEnter", "the previous control's OnExit", "OnKeyDown", "OnKeyPress",
                                    "OnKeyUp", "OnChange", "OnChanging", "OnMouseWheel"};

enum TChange { cFreeControl, cFreePanel, cFreeForm, cReleaseForm, cModalBox, cMoveFocus, ChangeCount };
const char* const ChangeNames[] = {"frees the control", "frees its panel", "frees its form", "releases its form",
                                   "shows a modal box", "moves the focus"};

// What a kind of control does with the user's input.
enum TTrait : unsigned {
  tPress = 1u << 0,        // its own window (its parent's, without one) takes the buttons' presses
  tClick = 1u << 1,        // a left click is its OnClick
  tRightUp = 1u << 2,      // the right button's release reaches it
  tRightLoop = 1u << 3,    // the system's code takes it in a loop of its own, but not a double click's
  tPopup = 1u << 4,        // a right click brings its context popup
  tDblClick = 1u << 5,     // a double click is its OnDblClick
  tFocusClick = 1u << 6,   // a left click gives it the focus
  tRightFocus = 1u << 7,   // so does a right click
  tTabStop = 1u << 8,      // Tab gives it the focus
  tKeys = 1u << 9,         // it hears the keys while it has the focus
  tTyping = 1u << 10,      // a key typed into it is a change
  tWheel = 1u << 11,       // the wheel reaches it while it (or, for a form, its control) has the focus
  tWheelKeys = 1u << 12,   // and turns into the arrow keys
  tTabs = 1u << 13,        // it has tabs
  tTabNear = 1u << 14,     // Tab gives the focus to the control that holds it
};
constexpr unsigned Buttons = tPress | tClick | tRightUp | tPopup | tFocusClick | tTabStop | tKeys | tWheel;
constexpr unsigned Bars = tPress | tClick | tRightUp | tPopup | tDblClick | tKeys | tWheel;
constexpr unsigned Lists = tPress | tClick | tPopup | tDblClick | tFocusClick | tTabStop | tKeys | tWheel;
constexpr unsigned Traits[KindCount] = {
    /* edit: its own menu takes the focus */ Buttons | tDblClick | tRightFocus | tTyping,
    /* memo */ Buttons | tDblClick | tRightFocus,
    /* button */ Buttons,
    /* check box */ Buttons,
    /* bit button */ Buttons,
    /* panel */ Bars,
    /* tab control */ (Buttons & ~tClick) | tTabs,
    /* page control */ (Buttons & ~tClick) | tTabs,
    /* list view */ Lists | tRightLoop | tRightFocus,
    /* tree view */ Lists | tRightLoop | tRightFocus,
    /* status bar */ Bars,
    /* tool bar */ Bars,
    /* tool button: the bar's system code takes its presses and reports the click */ tClick | tPopup,
    /* list box */ Lists | tRightUp,
    /* combo box: its edit takes the keys */ tPress | tClick | tRightUp | tPopup | tFocusClick | tTabStop | tWheel |
        tWheelKeys,
    /* simple combo box: its edit and list take the pointer and the keys */ tTabStop,
    /* speed button */ tPress | tClick | tRightUp | tPopup,
    /* form */ Bars & ~tKeys,
    /* label */ tPress | tClick | tRightUp | tPopup | tDblClick,
    /* splitter */ tPress | tClick | tRightUp | tPopup | tDblClick,
    /* skin's splitter */ tPress | tClick | tRightUp | tPopup | tDblClick,
    /* scroll box */ Bars,
    /* tab sheet: its page control takes Tab */ Bars | tTabNear,
};

bool IsTabs(TKind K) { return K == kTabControl || K == kPageControl; }

bool IsWindowed(TKind K) {
  return K != kSpeedButton && K != kToolButton && K != kLabel && K != kSplitter && K != kSkinSplitter;
}

// The handlers a kind has: those of the keyboard and the focus on windowed controls, OnChange on
// the edit and the tab kinds, OnChanging on the tab kinds; the previous control's OnExit always.
bool Has(TKind K, THandler H) {
  const bool Windowed = IsWindowed(K);
  switch (H) {
    case hEnter:
    case hKeyDown:
    case hKeyPress:
    case hKeyUp: return Windowed;
    case hChange: return K == kEdit || IsTabs(K);
    case hChanging: return IsTabs(K);
    default: return true;
  }
}

// The roads a kind has: a click on a tab on the tab kinds alone.
bool Has(TKind K, TRoad R) { return R != rTabClick || IsTabs(K); }

// The handlers a road fires on a kind, as a user would expect them.
unsigned Fired(TKind K, TRoad R) {
  const TRoadWay& W = WayOf(R);
  const unsigned T = Traits[K];
  auto Is = [T](unsigned Trait) { return (T & Trait) != 0; };
  unsigned Out = 0;
  auto Fires = [&Out](THandler H, bool When) {
    if (When) Out |= 1u << H;
  };
  if (W.Presses > 0) {
    const bool Left = W.Button == mbLeft, Right = W.Button == mbRight, Double = W.Presses == 2;
    Fires(hMouseDown, Is(tPress));
    Fires(hMouseUp, Right ? Is(tRightUp) || (Double && Is(tRightLoop)) : Is(tPress));
    Fires(hClick, Left && Is(tClick));
    Fires(hDblClick, Left && Double && Is(tDblClick));
    Fires(hContextPopup, Right && Is(tPopup));
    const bool Focuses = W.FromElsewhere && (Left ? Is(tFocusClick) : Right && Is(tRightFocus));
    Fires(hEnter, Focuses);
    Fires(hExit, Focuses);
    Fires(hChanging, W.AtTab && Is(tTabs));
    Fires(hChange, W.AtTab && Is(tTabs));
  } else if (W.Key == VK_TAB) {
    Fires(hEnter, Is(tTabStop));
    Fires(hExit, Is(tTabStop) || Is(tTabNear));
    Fires(hKeyUp, Is(tTabStop) && Is(tKeys));  // the Tab's release comes to the control
  } else if (W.Key != 0) {
    Fires(hKeyDown, Is(tKeys));
    Fires(hKeyPress, Is(tKeys));
    Fires(hKeyUp, Is(tKeys));
    Fires(hChange, Is(tTyping));
  } else {
    Fires(hWheel, Is(tWheel));
    Fires(hKeyDown, Is(tWheelKeys));
  }
  return Out;
}

// How many times each handler ran on a road.
using TRuns = std::array<int, HandlerCount>;

std::string Names(unsigned Handlers) {
  std::string Out;
  for (int H = 0; H < HandlerCount; ++H)
    if ((Handlers & (1u << H)) != 0) Out += std::string(Out.empty() ? "" : ", ") + HandlerNames[H];
  return Out.empty() ? "none" : Out;
}

// The handlers that ran at all.
unsigned Present(const TRuns& Runs) {
  unsigned Out = 0;
  for (int H = 0; H < HandlerCount; ++H)
    if (Runs[H] > 0) Out |= 1u << H;
  return Out;
}

// Gives the control the handler H, which runs Act the At-th time it runs (every time with 0).
void Install(TScene& S, THandler H, int At, const std::function<void()>& Act) {
  TControl* C = S.Control;
  auto Once = [Act, At, Runs = 0]() mutable {
    if (++Runs == At || At == 0) Act();
  };
  auto Notify = [Once](TObject*) mutable { Once(); };
  auto Key = [Once](TObject*, Word&, TShiftState) mutable { Once(); };
  switch (H) {
    case hMouseDown: C->OnMouseDown = [Once](TObject*, TMouseButton, TShiftState, int, int) mutable { Once(); }; break;
    case hMouseUp: C->OnMouseUp = [Once](TObject*, TMouseButton, TShiftState, int, int) mutable { Once(); }; break;
    case hClick: C->OnClick = Notify; break;
    case hDblClick: C->OnDblClick = Notify; break;
    case hContextPopup: C->OnContextPopup = [Once](TObject*, TPoint, bool&) mutable { Once(); }; break;
    case hEnter: S.Windowed->OnEnter = Notify; break;
    case hExit: S.Before->OnExit = Notify; break;
    case hKeyDown: S.Windowed->OnKeyDown = Key; break;
    case hKeyPress: S.Windowed->OnKeyPress = [Once](TObject*, wchar_t&) mutable { Once(); }; break;
    case hKeyUp: S.Windowed->OnKeyUp = Key; break;
    case hChange:
      if (auto* E = dynamic_cast<TEdit*>(C))
        E->OnChange = Notify;
      else
        static_cast<TCustomTabControl*>(C)->OnChange = Notify;
      break;
    case hChanging: static_cast<TCustomTabControl*>(C)->OnChanging = [Once](TObject*, bool&) mutable { Once(); }; break;
    case hWheel: C->OnMouseWheel = [Once](TObject*, TShiftState, int, TPoint, bool&) mutable { Once(); }; break;
    case HandlerCount: break;
  }
}

// The window that holds the keyboard focus is W or a child of it.
bool FocusIn(HWND W) {
  const HWND F = GetFocus();
  return F != nullptr && (F == W || IsChild(W, F));
}

class HandlerTable : public ::testing::Test {
 protected:
  void SetUp() override {
    sSkinProviderInstall();
    M = adapt2::LoadProgramSkin();
    lifetime::FillThirdParty(*M);
    M->SetActive(false);
  }
  void TearDown() override { M.reset(); }

  // Every road of every kind of Kinds with every handler that fires on it, each time it fires,
  // and every change (those of the run's share), with the skin and without it.
  void RunTable(std::initializer_list<TKind> Kinds) {
    static const tableshare::TShare Share("TV_HANDLERS", 7, 4);
    for (const bool Skinned : {false, true})
      for (const TKind Kind : Kinds)
        for (int R = 0; R < RoadCount; ++R) {
          const auto Road = static_cast<TRoad>(R);
          if (!Has(Kind, Road)) continue;
          const TRuns Ran = RunCase(Skinned, Kind, Road, HandlerCount, 0, cFreeControl);
          if (HasFatalFailure()) return;
          EXPECT_EQ(Names(Present(Ran)), Names(Fired(Kind, Road)))
              << "the handlers that " << WayOf(Road).Name << " on the " << KindName(Kind) << " fires"
              << (Skinned ? ", skinned" : ", unskinned");
          for (int H = 0; H < HandlerCount; ++H)
            for (int At = 1; At <= std::max(Ran[H], ((Fired(Kind, Road) >> H) & 1u) != 0 ? 1 : 0); ++At) {
              // One change of each in every run, each change in turn; the others in the share.
              const int First = (Kind + R + H + At) % ChangeCount;
              for (int C = 0; C < ChangeCount; ++C) {
                const auto Change = static_cast<TChange>(C);
                if (Change == cFreePanel && Kind == kForm) continue;  // the form sits on no panel
                if (C != First && !Share.Holds({Skinned, static_cast<unsigned>(Kind), static_cast<unsigned>(R),
                                                static_cast<unsigned>(H), static_cast<unsigned>(At),
                                                static_cast<unsigned>(C)}))
                  continue;
                RunCase(Skinned, Kind, Road, static_cast<THandler>(H), At, Change);
                if (HasFatalFailure()) return;
              }
            }
        }
  }

  // One case on a scene of its own: Handler does Change the At-th time the road runs it; with
  // HandlerCount every handler of the kind only counts its runs. Answers the handlers' runs.
  TRuns RunCase(bool Skinned, TKind Kind, TRoad Road, THandler Handler, int At, TChange Change) {
    const bool Probe = Handler == HandlerCount;
    const std::string Name = std::string(WayOf(Road).Name) + " on the " + KindName(Kind) + ", " +
                             (Probe ? std::string("every handler counting its runs")
                                    : std::string("its ") + HandlerNames[Handler] + (At > 1 ? " (run " + std::to_string(At) + ")" : "") + " " + ChangeNames[Change]) +
                             (Skinned ? ", skinned" : ", unskinned");
    SCOPED_TRACE(Name);
    // TV_HANDLERS_TRACE names each case before it runs, for a case that ends the process.
    static const bool Trace = tableshare::EnvInt("TV_HANDLERS_TRACE", 0) != 0;
    if (Trace) {
      std::printf("%s\n", Name.c_str());
      std::fflush(stdout);
    }
    TRuns Ran{};
    if (Skinned && !M->Active()) M->SetActive(true);
    memguard::TFaultCount AV;
    const memguard::TCounts Guarded = memguard::Counts();
    const memguard::TTrapFreedReads Trap;
    // A case takes a moment. One stalled for 10 s gets Escape pressed and the buttons released, as
    // a person would end a loop that waits for them; it fails after 30 s.
    const watchdog::TWatchdog Watch("a handler case", 60, 10, true, [&Name] { return Name; });
    TScene S(Kind);
    if (Skinned) new TsSkinProvider(S.Form);
    const TFreeWatch FormLife(S.Form), ControlLife(S.Control), PanelLife(S.Panel);
    [&] { ASSERT_TRUE(S.Show(Kind)); }();
    if (HasFatalFailure()) return Ran;
    // The focus before the road: where the road moves it from, or on the control.
    TWinControl* Focus = WayOf(Road).FromElsewhere || S.Windowed == nullptr || Kind == kForm ? S.Before : S.Windowed;
    Focus->SetFocus();
    [&] { ASSERT_TRUE(realinput::WaitUntil([&] { return FocusIn(Focus->Handle()); })); }();
    if (HasFatalFailure()) return Ran;
    const HWND FormWindow = S.Form->Handle(), PanelWindow = S.Panel->Handle();
    const HWND ControlWindow = S.Windowed != nullptr ? S.Windowed->Handle() : nullptr;
    memguard::TFreeOnce Done([&] {
      switch (Change) {
        case cFreeControl: delete S.Control; break;
        case cFreePanel: delete S.Panel; break;
        case cFreeForm: delete S.Form; break;
        case cReleaseForm: S.Form->Release(); break;
        case cModalBox: Application->MessageBox(L"A box", L"Box", MB_OK); break;
        case cMoveFocus: S.Elsewhere->SetFocus(); break;
        case ChangeCount: break;
      }
    });
    for (int H = 0; H < HandlerCount; ++H) {
      if (!Has(Kind, static_cast<THandler>(H))) continue;
      if (Probe)
        Install(S, static_cast<THandler>(H), 0, [&Ran, H] { ++Ran[H]; });
      else if (H == Handler)
        Install(S, Handler, At, Done.Handler());
    }
    {
      const TLoopCloser Closer;
      EXPECT_TRUE(RunRoad(Road, S, Probe)) << "the road's input was not taken";
      if (!Probe) {
        EXPECT_TRUE(realinput::WaitUntil([&] { return Done.Done(); })) << "the handler did not run";
        Ran[Handler] = Done.Done() ? At : 0;
      }
      // The box closed, the released form gone, and what the input queued handled.
      EXPECT_TRUE(realinput::WaitUntil([&] {
        return boxtest::ThreadBoxes().empty() && (Change != cReleaseForm || Probe || FormLife.Freed());
      }));
      realinput::Pump();
    }
    if (Kind == kComboBox) {
      // The system's combo box drops its list at a press and keeps the mouse for it until a
      // release, also one that a box took before (or when the focus leaves in the press): a
      // person's next click ends that.
      if (!ControlLife.Freed()) SendMessageW(ControlWindow, CB_SHOWDROPDOWN, FALSE, 0);
      ReleaseCapture();
    }
    EXPECT_EQ(GetCapture(), nullptr) << [] {
      wchar_t Class[64] = L"";
      GetClassNameW(GetCapture(), Class, 64);
      return WideToAnsi(Class);
    }();
    const HWND Gone = Probe                  ? nullptr
                      : Change == cFreeControl ? ControlWindow
                      : Change == cFreePanel   ? PanelWindow
                      : Change == cFreeForm || Change == cReleaseForm ? FormWindow
                                                                       : nullptr;
    if (Gone != nullptr) {
      EXPECT_FALSE(IsWindow(Gone));
    }
    if (Skinned) M->SetActive(false);
    if (!FormLife.Freed()) delete S.Form;
    realinput::Pump();
    EXPECT_FALSE(IsWindow(FormWindow));
    EXPECT_EQ(AV.Count(), 0);
    EXPECT_EQ(memguard::Counts().HeapFaults, Guarded.HeapFaults) << memguard::DescribeSince(Guarded);
    return Ran;
  }

  std::unique_ptr<TsSkinManager> M;
};

}  // namespace

TEST_F(HandlerTable, Edits) { RunTable({kEdit, kMemo, kListBox, kComboBox, kSimpleCombo}); }
TEST_F(HandlerTable, Buttons) { RunTable({kButton, kCheckBox, kBitBtn, kSpeedButton}); }
TEST_F(HandlerTable, Lists) { RunTable({kListView, kTreeView}); }
TEST_F(HandlerTable, Tabs) { RunTable({kTabControl, kPageControl}); }
TEST_F(HandlerTable, Bars) { RunTable({kPanel, kStatusBar, kToolBar, kToolButton, kForm}); }
TEST_F(HandlerTable, Plain) { RunTable({kLabel, kSplitter, kSkinSplitter, kScrollBox, kTabSheet}); }

// The focus leaves an edit for a list view or a tree view that the user clicks, and the edit's
// OnExit shows a box, which takes the release of the click: afterwards the view does not hold
// the mouse, and the user's next click reaches where it goes (here another edit, which takes the
// focus).
TEST_F(HandlerTable, TheClickAfterABoxThatAnExitShowedIsNotLost) {
  for (const TKind Kind : {kListView, kTreeView}) {
    SCOPED_TRACE(KindName(Kind));
    TScene S(Kind);
    ASSERT_TRUE(S.Show(Kind));
    S.Before->SetFocus();
    ASSERT_TRUE(realinput::WaitUntil([&] { return FocusIn(S.Before->Handle()); }));
    int Boxes = 0;
    S.Before->OnExit = [&](TObject*) {
      ++Boxes;
      Application->MessageBox(L"A box", L"Box", MB_OK);
    };
    {
      const TLoopCloser Closer;
      ASSERT_TRUE(RunRoad(rFocusLeft, S, false));
      EXPECT_TRUE(realinput::WaitUntil([&] { return Boxes == 1 && boxtest::ThreadBoxes().empty(); }));
    }
    EXPECT_EQ(GetCapture(), nullptr);
    const TPoint E = S.Elsewhere->ClientToScreen(Point(10, 10));
    ASSERT_TRUE(realinput::ClickSeen(S.Form->Handle(), POINT{E.X, E.Y}));
    EXPECT_TRUE(realinput::WaitUntil([&] { return FocusIn(S.Elsewhere->Handle()); }));
    delete S.Form;
    realinput::Pump();
  }
}

// A right click on a tree view brings its OnContextPopup and then its popup menu, as on other
// controls (the system's tree view reports the click as a notice of its own).
TEST_F(HandlerTable, ARightClickOnATreeViewBringsItsPopupMenu) {
  TScene S(kTreeView);
  auto* Menu = new TPopupMenu(S.Form);
  auto* Item = new TMenuItem(S.Form);
  Item->SetCaption(WideString(L"Item"));
  Menu->Items()->Add(Item);
  int Popups = 0, Asked = 0;
  Menu->OnPopup = [&](TObject*) { ++Popups; };
  S.Control->SetPopupMenu(Menu);
  S.Control->OnContextPopup = [&](TObject*, TPoint, bool&) { ++Asked; };
  ASSERT_TRUE(S.Show(kTreeView));
  {
    const TLoopCloser Closer;
    ASSERT_TRUE(RunRoad(rRight, S, false));
    EXPECT_TRUE(realinput::WaitUntil([&] { return Popups == 1; }));
  }
  EXPECT_EQ(Asked, 1);
  delete S.Form;
  realinput::Pump();
}

namespace {
// What a program's timer does while a menu loop runs; it ends the loop after.
std::function<void()> InMenuLoop;
void CALLBACK ActInMenuLoop(HWND, UINT, UINT_PTR Id, DWORD) {
  GUITHREADINFO G{};
  G.cbSize = sizeof G;
  if (!GetGUIThreadInfo(GetCurrentThreadId(), &G) || (G.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE)) == 0) return;
  KillTimer(nullptr, Id);
  const std::function<void()> Act = std::move(InMenuLoop);
  Act();
  EndMenu();
}
}  // namespace

// The same road through the grid: the user's right click on a cell's editor opens the editor's own
// context menu, and a program's timer, while it is open, deletes the edited column, clears the
// columns, frees the grid or releases the form. Nothing freed is touched once the menu closes.
TEST_F(HandlerTable, TheGridsEditorFreedUnderItsOwnContextMenu) {
  const char* const Changes[] = {"deletes the edited column", "clears the columns", "frees the grid",
                                 "releases the form"};
  for (int Change = 0; Change < 4; ++Change) {
    SCOPED_TRACE(Changes[Change]);
    memguard::TFaultCount AV;
    const memguard::TCounts Guarded = memguard::Counts();
    const memguard::TTrapFreedReads Trap;
    enginetest::TEditingForm F;
    const TFreeWatch FormLife(F.Form);
    ASSERT_TRUE(F.ClickToEdit(1, 1));
    bool Acted = false;
    InMenuLoop = [&] {
      Acted = true;
      switch (Change) {
        case 0: F.Grid->Columns()->Delete(1); break;
        case 1: F.Grid->Columns()->Clear(); break;
        case 2: delete F.Grid; break;
        default: F.Form->Release(); break;
      }
    };
    SetTimer(nullptr, 0, 20, ActInMenuLoop);
    const TPoint P = F.Editor()->ClientToScreen(Point(5, 5));
    ASSERT_TRUE(realinput::MovePointerSeen(POINT{P.X, P.Y}));
    realinput::SendButtons({realinput::ButtonAt(POINT{P.X, P.Y}, MOUSEEVENTF_RIGHTDOWN),
                            realinput::ButtonAt(POINT{P.X, P.Y}, MOUSEEVENTF_RIGHTUP)});
    EXPECT_TRUE(realinput::WaitUntil([&] { return Acted && (Change != 3 || FormLife.Freed()); }));
    realinput::Pump();
    if (FormLife.Freed()) F.Form = nullptr;
    EXPECT_EQ(AV.Count(), 0);
  }
}
