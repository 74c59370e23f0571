// Test support of the handler table: a form with one control of a kind on a panel, two edits
// beside the panel (the one that holds the focus before the user's input, and one a handler
// moves the focus to), the skin's manager with every kind adapted, and the user's input on each
// road, real through the system's input queue. Win32.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "framework/Buttons.h"
#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/ListViews.h"
#include "framework/StdCtrls.h"
#include "framework/ToolBars.h"
#include "skin/controls/sSplitter.h"
#include "skin_forms/lifetime_support.h"
#include "support/Boxes.h"
#include "support/RealInput.h"
#include "support/UiTest.h"
#include "support/Watchdog.h"

namespace handlers {

enum TKind {
  kEdit, kMemo, kButton, kCheckBox, kBitBtn, kPanel, kTabControl, kPageControl, kListView, kTreeView, kStatusBar,
  kToolBar, kToolButton, kListBox, kComboBox, kSimpleCombo, kSpeedButton, kForm, kLabel, kSplitter, kSkinSplitter,
  kScrollBox, kTabSheet, KindCount
};
inline const char* KindName(TKind K) {
  static const char* const Names[] = {"edit", "memo", "button", "check box", "bit button", "panel", "tab control",
                                      "page control", "list view", "tree view", "status bar", "tool bar",
                                      "tool button", "list box", "combo box", "simple combo box", "speed button",
                                      "form", "label", "splitter", "skin's splitter", "scroll box", "tab sheet"};
  return Names[K];
}

// The roads of the user's input: a click of each button, a double click of each, a click of each
// that moves the focus to the control, Tab, a key, the wheel, a click on a tab.
enum TRoad {
  rLeft, rRight, rMiddle, rDouble, rRightDouble, rMiddleDouble, rFocusLeft, rFocusRight, rFocusMiddle, rTab, rKeys,
  rWheel, rTabClick, RoadCount
};
struct TRoadWay {
  const char* Name;
  int Presses;               // of Button; 0 for the keys and the wheel
  TMouseButton Button;
  bool FromElsewhere;        // the focus is on another control when it starts
  bool AtTab;                // on the second tab of a tab or page control
  WORD Key;                  // the key pressed and released
};
inline const TRoadWay& WayOf(TRoad R) {
  static const TRoadWay Ways[RoadCount] = {
      {"a left click", 1, mbLeft, false, false, 0},
      {"a right click", 1, mbRight, false, false, 0},
      {"a middle click", 1, mbMiddle, false, false, 0},
      {"a double click", 2, mbLeft, false, false, 0},
      {"a right double click", 2, mbRight, false, false, 0},
      {"a middle double click", 2, mbMiddle, false, false, 0},
      {"a left click that moves the focus", 1, mbLeft, true, false, 0},
      {"a right click that moves the focus", 1, mbRight, true, false, 0},
      {"a middle click that moves the focus", 1, mbMiddle, true, false, 0},
      {"Tab", 0, mbLeft, true, false, VK_TAB},
      {"a key", 0, mbLeft, false, false, 'A'},
      {"the wheel", 0, mbLeft, false, false, 0},
      {"a click on a tab", 1, mbLeft, false, true, 0},
  };
  return Ways[R];
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
      case kLabel: {
        auto* L = lifetime::Put<TLabel>(Form, Panel, 10, 10, 80, 20);
        L->SetAutoSize(false);
        L->SetCaption(L"Label");
        Control = L;
        break;
      }
      case kSplitter:
      case kSkinSplitter: {
        // Between a neighbour it sizes and the rest of the panel.
        auto* Neighbour = lifetime::Put<TPanel>(Form, Panel, 0, 0, 80, 100);
        Neighbour->SetAlign(alLeft);
        auto* Sp = Kind == kSplitter ? new TSplitter(Form) : new TsSplitter(Form);
        Sp->SetParent(Panel);
        Sp->SetBounds(80, 0, 6, 100);
        Sp->SetAlign(alLeft);
        Control = Sp;
        break;
      }
      case kScrollBox: Control = lifetime::Put<TScrollingWinControl>(Form, Panel, 10, 10, 150, 80); break;
      case kTabSheet: {
        auto* P = lifetime::Put<TPageControl>(Form, Panel, 10, 10, 200, 120);
        auto* Sheet = new TTabSheet(Form);
        Sheet->SetPageControl(P);
        Sheet->SetCaption(L"One");
        Control = Sheet;
        break;
      }
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
// press starts still finds the release. With Taken, it waits until the road's last event was
// taken from the queue and handled (a case whose handler may free the window under the pointer
// waits for its handler instead).
inline bool RunRoad(TRoad Road, const TScene& S, bool Taken) {
  const TRoadWay& W = WayOf(Road);
  if (W.Key != 0) {
    if (Taken) return realinput::KeySeen(W.Key);
    realinput::Key(W.Key);
    return true;
  }
  const POINT P = W.AtTab ? S.TabAt : S.At;
  if (!realinput::MovePointerSeen(P)) return false;
  static const DWORD Down[] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_MIDDLEDOWN};
  static const DWORD Up[] = {MOUSEEVENTF_LEFTUP, MOUSEEVENTF_RIGHTUP, MOUSEEVENTF_MIDDLEUP};
  std::vector<DWORD> Flags;
  for (int I = 0; I < W.Presses; ++I) Flags.insert(Flags.end(), {Down[W.Button], Up[W.Button]});
  if (W.Presses == 0) Flags.push_back(MOUSEEVENTF_WHEEL);
  if (Taken) return realinput::ButtonsSeen(P, Flags, -WHEEL_DELTA);
  realinput::SendButtons(realinput::ButtonsAt(P, Flags, -WHEEL_DELTA));
  return true;
}

}  // namespace handlers
