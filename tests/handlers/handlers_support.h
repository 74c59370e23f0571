// Test support of the handler table: a form with one control of a kind on a panel, two edits
// beside the panel (the one that holds the focus before the user's input, and one a handler
// moves the focus to), the skin's manager with every kind adapted, and the user's input on each
// road, real through the system's input queue. Win32.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/Buttons.h"
#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/ListViews.h"
#include "framework/StdCtrls.h"
#include "framework/ToolBars.h"
#include "skin_forms/lifetime_support.h"
#include "support/Boxes.h"
#include "support/RealInput.h"
#include "support/UiTest.h"
#include "support/Watchdog.h"

namespace handlers {

enum TKind {
  kEdit, kMemo, kButton, kCheckBox, kBitBtn, kPanel, kTabControl, kPageControl, kListView, kTreeView, kStatusBar,
  kToolBar, kToolButton, kListBox, kComboBox, kSimpleCombo, kSpeedButton, kForm, KindCount
};
inline const char* KindName(TKind K) {
  static const char* const Names[] = {"edit", "memo", "button", "check box", "bit button", "panel", "tab control",
                                      "page control", "list view", "tree view", "status bar", "tool bar",
                                      "tool button", "list box", "combo box", "simple combo box", "speed button",
                                      "form"};
  return Names[K];
}

// The roads of the user's input.
enum TRoad { rLeft, rRight, rMiddle, rDouble, rFocusClick, rTab, rKeys, rWheel, rTabClick };
inline const char* RoadName(TRoad R) {
  static const char* const Names[] = {"a left click", "a right click", "a middle click", "a double click",
                                      "a click that moves the focus", "Tab", "a key", "the wheel", "a click on a tab"};
  return Names[R];
}

// A form shown with the control of one kind on a panel. The focus is on the control (on Before for
// the roads that move it there).
struct TScene {
  TForm* Form = nullptr;
  TPanel* Panel = nullptr;
  TEdit* Before = nullptr;     // holds the focus before a road that moves it to the control
  TEdit* Elsewhere = nullptr;  // where a handler moves the focus
  TControl* Control = nullptr;
  TWinControl* Windowed = nullptr;  // the control when it has a window of its own
  POINT At{};                       // where the pointer roads press, on the screen
  POINT TabAt{};                    // the second tab of a tab or page control

  explicit TScene(TKind Kind) {
    Form = new TForm(nullptr);
    Form->SetBounds(60, 60, 420, 300);
    Panel = lifetime::Put<TPanel>(Form, Form, 10, 10, 300, 180);
    Before = lifetime::Put<TEdit>(Form, Form, 10, 220, 100, 22);
    Elsewhere = lifetime::Put<TEdit>(Form, Form, 150, 220, 100, 22);
    Elsewhere->SetTabStop(false);  // Tab goes from Before to the control
    switch (Kind) {
      case kEdit: Control = lifetime::Put<TEdit>(Form, Panel, 10, 10, 150, 22); break;
      case kMemo: Control = lifetime::Put<lifetime::TLtMemo>(Form, Panel, 10, 10, 150, 80); break;
      case kButton: Control = lifetime::Put<TButton>(Form, Panel, 10, 10, 100, 30); break;
      case kCheckBox: Control = lifetime::Put<TCheckBox>(Form, Panel, 10, 10, 100, 24); break;
      case kBitBtn: Control = lifetime::Put<TBitBtn>(Form, Panel, 10, 10, 100, 30); break;
      case kPanel: Control = lifetime::Put<TPanel>(Form, Panel, 10, 10, 150, 80); break;
      case kTabControl: {
        auto* T = lifetime::Put<TTabControl>(Form, Panel, 10, 10, 200, 120);
        T->Tabs()->Add("One");
        T->Tabs()->Add("Two");
        Control = T;
        break;
      }
      case kPageControl: {
        auto* P = lifetime::Put<TPageControl>(Form, Panel, 10, 10, 200, 120);
        for (const wchar_t* Caption : {L"One", L"Two"}) {
          auto* Sheet = new TTabSheet(Form);
          Sheet->SetPageControl(P);
          Sheet->SetCaption(Caption);
        }
        Control = P;
        break;
      }
      case kListView: Control = lifetime::Put<TListView>(Form, Panel, 10, 10, 200, 120); break;
      case kTreeView: {
        auto* T = lifetime::Put<TTreeView>(Form, Panel, 10, 10, 200, 120);
        T->AddChild(nullptr, L"Node");
        Control = T;
        break;
      }
      case kStatusBar: {
        auto* S = lifetime::Put<TStatusBar>(Form, Panel, 10, 10, 200, 24);
        S->SetAlign(alNone);
        S->Panels()->Add()->SetText(L"Status");
        Control = S;
        break;
      }
      case kToolBar:
      case kToolButton: {
        auto* Bar = lifetime::Put<TToolBar>(Form, Panel, 10, 10, 200, 30);
        Bar->SetAlign(alNone);
        auto* B = new TToolButton(Form);
        B->SetParent(Bar);
        Control = Kind == kToolBar ? static_cast<TControl*>(Bar) : B;
        break;
      }
      case kListBox: Control = lifetime::Put<lifetime::TLtListBox>(Form, Panel, 10, 10, 150, 80); break;
      case kComboBox: Control = lifetime::Put<lifetime::TLtComboBox>(Form, Panel, 10, 10, 150, 90); break;
      case kSimpleCombo: Control = lifetime::Put<lifetime::TLtSimpleCombo>(Form, Panel, 10, 10, 150, 90); break;
      case kSpeedButton: Control = lifetime::Put<TSpeedButton>(Form, Panel, 10, 10, 40, 30); break;
      case kForm:
      case KindCount: Control = Form; break;
    }
    Windowed = dynamic_cast<TWinControl*>(Control);
    // The stand-ins over the system's classes take the focus by Tab as the framework's own do.
    if (Kind == kMemo || Kind == kListBox || Kind == kComboBox || Kind == kSimpleCombo) Windowed->SetTabStop(true);
  }

  // Shows the form in front; false when it does not come to the front.
  bool Show(TKind Kind) {
    uitest::ShowSettled(Form);
    if (!realinput::BringToFront(Form->Handle())) return false;
    uitest::Settle(Form->Handle());
    At = PointOf(Kind);
    return true;
  }

 private:
  POINT Screen(TControl* C, int X, int Y) const {
    const TPoint P = C->ClientToScreen(Point(X, Y));
    return POINT{P.X, P.Y};
  }
  // Inside the control, where its own window (or its parent's, for a control without a window)
  // takes the press: a tab control's first tab, a tool bar's empty end, a combo box's arrow.
  POINT PointOf(TKind Kind) {
    switch (Kind) {
      case kTabControl:
      case kPageControl: {
        RECT R{};
        SendMessageW(Windowed->Handle(), TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&R));
        RECT R2{};
        SendMessageW(Windowed->Handle(), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&R2));
        TabAt = Screen(Control, (R2.left + R2.right) / 2, (R2.top + R2.bottom) / 2);
        return Screen(Control, (R.left + R.right) / 2, (R.top + R.bottom) / 2);
      }
      case kToolBar: return Screen(Control, Control->Width() - 20, Control->Height() / 2);
      case kComboBox: return Screen(Control, Control->Width() - 8, 10);
      case kSimpleCombo: return Screen(Control, Control->Width() / 2, Control->Height() - 2);
      case kForm: return Screen(Control, 360, 100);
      default: return Screen(Control, Control->Width() / 2, Control->Height() / 2);
    }
  }
};

// While it lives, a menu loop of this thread (an edit's own context menu, a popup menu) ends
// soon after it starts, and a box that shows is closed with its OK button's command, as a person
// would close them.
class TLoopCloser {
 public:
  TLoopCloser() { FTimer = SetTimer(nullptr, 0, 50, Tick); }
  ~TLoopCloser() { KillTimer(nullptr, FTimer); }
  TLoopCloser(const TLoopCloser&) = delete;
  TLoopCloser& operator=(const TLoopCloser&) = delete;

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    watchdog::EndSystemLoops(GetCurrentThreadId());
    for (HWND Box : boxtest::ThreadBoxes()) PostMessageW(Box, WM_COMMAND, IDOK, 0);
  }
  UINT_PTR FTimer;
};

// The user's input on a road at the scene's control (the form in front, the pointer seen there
// first). The presses and releases of one road are queued together, so that a modal loop that a
// press starts still finds the release.
inline bool RunRoad(TRoad Road, const TScene& S) {
  using realinput::ButtonAt;
  switch (Road) {
    case rTab: realinput::Key(VK_TAB); return true;
    case rKeys: realinput::Key('A'); return true;
    default: break;
  }
  const POINT P = Road == rTabClick ? S.TabAt : S.At;
  if (!realinput::MovePointerSeen(P)) return false;
  switch (Road) {
    case rRight: realinput::SendButtons({ButtonAt(P, MOUSEEVENTF_RIGHTDOWN), ButtonAt(P, MOUSEEVENTF_RIGHTUP)}); break;
    case rMiddle: realinput::SendButtons({ButtonAt(P, MOUSEEVENTF_MIDDLEDOWN), ButtonAt(P, MOUSEEVENTF_MIDDLEUP)}); break;
    case rDouble:
      realinput::SendButtons({ButtonAt(P, MOUSEEVENTF_LEFTDOWN), ButtonAt(P, MOUSEEVENTF_LEFTUP),
                              ButtonAt(P, MOUSEEVENTF_LEFTDOWN), ButtonAt(P, MOUSEEVENTF_LEFTUP)});
      break;
    case rWheel: {
      INPUT In = ButtonAt(P, MOUSEEVENTF_WHEEL);
      In.mi.mouseData = static_cast<DWORD>(-WHEEL_DELTA);
      realinput::SendButtons({In});
      break;
    }
    default: realinput::SendButtons({ButtonAt(P, MOUSEEVENTF_LEFTDOWN), ButtonAt(P, MOUSEEVENTF_LEFTUP)}); break;
  }
  return true;
}

}  // namespace handlers
