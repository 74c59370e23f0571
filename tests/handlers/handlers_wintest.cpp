// A handler that the user's input reaches, on a control of every kind, changes what holds the
// control: it frees the control, the panel it sits on or its form, releases the form, shows a
// modal box or moves the focus. The input is real (pointer presses and releases of each button, a
// double click, a click that moves the focus, Tab, a key, the wheel, a click on a tab), and the
// handlers are every one the road fires, those the system's own code calls included (the context
// popup, the focus's enter and exit, a change). With the skin and without it, each case under the
// trap for reads of freed memory: whatever runs after the handler touches nothing freed, the
// windows of what was freed are gone, no window keeps the mouse once the buttons are up, and
// then switching the skin off and freeing the form end nothing either.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/Menus.h"
#include "framework/Strings.h"
#include "grid/support/EngineTestHelpers.h"
#include "handlers/handlers_support.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/adapt2_support.h"
#include "support/FreedMemoryGuard.h"
#include "support/Watchdog.h"

using namespace handlers;

namespace {

enum THandler {
  hMouseDown, hMouseUp, hClick, hDblClick, hContextPopup, hEnter, hExit, hKeyDown, hKeyPress, hKeyUp, hChange,
  hChanging, hWheel
};
const char* const HandlerNames[] = {"OnMouseDown", "OnMouseUp", "OnClick", "OnDblClick", "OnContextPopup",
                                    "OnEnter", "the previous control's OnExit", "OnKeyDown", "OnKeyPress",
                                    "OnKeyUp", "OnChange", "OnChanging", "OnMouseWheel"};

enum TChange { cFreeControl, cFreePanel, cFreeForm, cReleaseForm, cModalBox, cMoveFocus };
const char* const ChangeNames[] = {"frees the control", "frees its panel", "frees its form", "releases its form",
                                   "shows a modal box", "moves the focus"};

// What a kind of control does with the user's input, as far as the rows need it.
enum TTrait : unsigned {
  tPress = 1u << 0,        // its own window (its parent's, without one) takes the buttons' presses
  tClick = 1u << 1,        // a left click is its OnClick
  tRightUp = 1u << 2,      // the right button's release reaches it (the system's lists keep it)
  tPopup = 1u << 3,        // a right click brings its context popup
  tDblClick = 1u << 4,     // a double click is its OnDblClick
  tDoublePress = 1u << 5,  // the second press of a double click reaches it
  tFocusClick = 1u << 6,   // a click gives it the focus
  tTabStop = 1u << 7,      // Tab gives it the focus
  tKeys = 1u << 8,         // it hears the keys while it has the focus
  tTyping = 1u << 9,       // a key typed into it is a change
  tWheel = 1u << 10,       // the wheel reaches it while it (or, for a form, its control) has the focus
  tTabs = 1u << 11,        // it has tabs
};
constexpr unsigned Buttons = tPress | tClick | tRightUp | tPopup | tDoublePress | tFocusClick | tTabStop | tKeys | tWheel;
constexpr unsigned Bars = tPress | tClick | tRightUp | tPopup | tDblClick | tDoublePress | tKeys | tWheel;
constexpr unsigned Lists = tPress | tClick | tPopup | tDblClick | tDoublePress | tFocusClick | tTabStop | tKeys | tWheel;
constexpr unsigned Traits[KindCount] = {
    /* edit */ Buttons | tDblClick | tTyping,
    /* memo */ Buttons | tDblClick,
    /* button */ Buttons,
    /* check box */ Buttons,
    /* bit button */ Buttons,
    /* panel */ Bars,
    /* tab control */ (Buttons & ~tClick) | tTabs,
    /* page control */ (Buttons & ~tClick) | tTabs,
    /* list view: the system's code takes the right button's release */ Lists,
    /* tree view: the same */ Lists,
    /* status bar */ Bars,
    /* tool bar */ Bars,
    /* tool button: the bar's system code takes its presses and reports the click */ tClick | tPopup,
    /* list box */ Lists | tRightUp,
    /* combo box: its edit takes the keys, its list a second press */ tPress | tClick | tRightUp | tPopup | tFocusClick |
        tTabStop | tWheel,
    /* simple combo box: its edit and list take the pointer and the keys */ tTabStop,
    /* speed button */ tPress | tClick | tRightUp | tPopup | tDoublePress,
    /* form */ Bars & ~tKeys,
};

struct TRow {
  TRoad Road;
  THandler Handler;
  TTrait Needs;
};
const TRow Rows[] = {
    {rLeft, hMouseDown, tPress},         {rLeft, hMouseUp, tPress},          {rLeft, hClick, tClick},
    {rRight, hMouseDown, tPress},        {rRight, hMouseUp, tRightUp},       {rRight, hContextPopup, tPopup},
    {rMiddle, hMouseDown, tPress},       {rMiddle, hMouseUp, tPress},        {rDouble, hDblClick, tDblClick},
    {rDouble, hMouseDown, tDoublePress}, {rFocusClick, hEnter, tFocusClick}, {rFocusClick, hExit, tFocusClick},
    {rTab, hEnter, tTabStop},            {rTab, hExit, tTabStop},            {rKeys, hKeyDown, tKeys},
    {rKeys, hKeyPress, tKeys},           {rKeys, hKeyUp, tKeys},             {rKeys, hChange, tTyping},
    {rWheel, hWheel, tWheel},            {rTabClick, hChanging, tTabs},      {rTabClick, hChange, tTabs},
};

// The button of a pointer road.
TMouseButton ButtonOf(TRoad Road) { return Road == rRight ? mbRight : Road == rMiddle ? mbMiddle : mbLeft; }

// Gives the control the handler of the row; Act does the change.
void Install(TScene& S, const TRow& Row, const std::function<void()>& Act) {
  TControl* C = S.Control;
  const TMouseButton Button = ButtonOf(Row.Road);
  const bool Second = Row.Road == rDouble;
  auto Notify = [Act](TObject*) { Act(); };
  auto Key = [Act](TObject*, Word&, TShiftState) { Act(); };
  switch (Row.Handler) {
    case hMouseDown:
      C->OnMouseDown = [Act, Button, Second](TObject*, TMouseButton B, TShiftState Shift, int, int) {
        if (B == Button && Shift.Contains(ssDouble) == Second) Act();
      };
      break;
    case hMouseUp:
      C->OnMouseUp = [Act, Button](TObject*, TMouseButton B, TShiftState, int, int) {
        if (B == Button) Act();
      };
      break;
    case hClick: C->OnClick = Notify; break;
    case hDblClick: C->OnDblClick = Notify; break;
    case hContextPopup: C->OnContextPopup = [Act](TObject*, TPoint, bool&) { Act(); }; break;
    case hEnter: S.Windowed->OnEnter = Notify; break;
    case hExit: S.Before->OnExit = Notify; break;
    case hKeyDown: S.Windowed->OnKeyDown = Key; break;
    case hKeyPress: S.Windowed->OnKeyPress = [Act](TObject*, wchar_t&) { Act(); }; break;
    case hKeyUp: S.Windowed->OnKeyUp = Key; break;
    case hChange:
      if (auto* E = dynamic_cast<TEdit*>(C))
        E->OnChange = Notify;
      else
        static_cast<TCustomTabControl*>(C)->OnChange = Notify;
      break;
    case hChanging: static_cast<TCustomTabControl*>(C)->OnChanging = [Act](TObject*, bool&) { Act(); }; break;
    case hWheel: C->OnMouseWheel = [Act](TObject*, TShiftState, int, TPoint, bool&) { Act(); }; break;
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

  // Every row of every kind of Kinds, with every change, with the skin and without it.
  void RunTable(std::initializer_list<TKind> Kinds) {
    for (const bool Skinned : {false, true})
      for (const TKind Kind : Kinds)
        for (const TRow& Row : Rows) {
          if ((Traits[Kind] & Row.Needs) == 0) continue;
          for (const TChange Change : {cFreeControl, cFreePanel, cFreeForm, cReleaseForm, cModalBox, cMoveFocus}) {
            if (Change == cFreePanel && Kind == kForm) continue;  // the form sits on no panel
            RunCase(Skinned, Kind, Row, Change);
            if (HasFatalFailure()) return;
          }
        }
  }

  void RunCase(bool Skinned, TKind Kind, const TRow& Row, TChange Change) {
    const std::string Name = std::string(RoadName(Row.Road)) + " on the " + KindName(Kind) + ", its " +
                             HandlerNames[Row.Handler] + " " + ChangeNames[Change] +
                             (Skinned ? ", skinned" : ", unskinned");
    SCOPED_TRACE(Name);
    if (Skinned && !M->Active()) M->SetActive(true);
    memguard::TFaultCount AV;
    const memguard::TTrapFreedReads Trap;
    // A case takes a moment. One stalled for 10 s gets Escape pressed and the buttons released, as
    // a person would end a loop that waits for them; it fails after 30 s.
    const watchdog::TWatchdog Watch("a handler case", 60, 10, true, [&Name] { return Name; });
    TScene S(Kind);
    if (Skinned) new TsSkinProvider(S.Form);
    const TFreeWatch FormLife(S.Form), ControlLife(S.Control), PanelLife(S.Panel);
    ASSERT_TRUE(S.Show(Kind));
    // The focus before the road: where the road moves it from, or on the control.
    const bool FromBefore = Row.Road == rFocusClick || Row.Road == rTab || S.Windowed == nullptr || Kind == kForm;
    TWinControl* Focus = FromBefore ? S.Before : S.Windowed;
    Focus->SetFocus();
    ASSERT_TRUE(realinput::WaitUntil([&] { return FocusIn(Focus->Handle()); }));
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
      }
    });
    Install(S, Row, Done.Handler());
    {
      const TLoopCloser Closer;
      ASSERT_TRUE(RunRoad(Row.Road, S));
      EXPECT_TRUE(realinput::WaitUntil([&] { return Done.Done(); })) << "the handler did not run";
      // The box closed, the released form gone, and what the input queued handled.
      EXPECT_TRUE(realinput::WaitUntil([&] {
        return boxtest::ThreadBoxes().empty() && (Change != cReleaseForm || FormLife.Freed());
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
    const HWND Gone = Change == cFreeControl ? ControlWindow
                      : Change == cFreePanel ? PanelWindow
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
  }

  std::unique_ptr<TsSkinManager> M;
};

}  // namespace

TEST_F(HandlerTable, Edits) { RunTable({kEdit, kMemo, kListBox, kComboBox, kSimpleCombo}); }
TEST_F(HandlerTable, Buttons) { RunTable({kButton, kCheckBox, kBitBtn, kSpeedButton}); }
TEST_F(HandlerTable, Lists) { RunTable({kListView, kTreeView}); }
TEST_F(HandlerTable, Tabs) { RunTable({kTabControl, kPageControl}); }
TEST_F(HandlerTable, Bars) { RunTable({kPanel, kStatusBar, kToolBar, kToolButton, kForm}); }

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
      ASSERT_TRUE(RunRoad(rFocusClick, S));
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
    ASSERT_TRUE(RunRoad(rRight, S));
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
