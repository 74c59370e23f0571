// Test support of the lifetime tests: a form that holds one control of every kind the form's
// control adapter list adapts (the framework's controls where it has them, otherwise small
// framework controls over the system's window classes or painting themselves, each with a class
// name of its own), and the manager's class-name lists filled so that every one of them is
// adapted. Win32.
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
#include "framework/TypInfo.h"
#include "skin/core/sSkinManager.h"

namespace lifetime {

// A framework control over a system window class.
#define LIFETIME_SYSTEM_CONTROL(Name, WinClass, ExtraStyle)         \
  class Name : public TWinControl {                                 \
    T_CLASS(Name, TWinControl)                                      \
                                                                    \
   public:                                                          \
    using TWinControl::TWinControl;                                 \
                                                                    \
   protected:                                                       \
    void CreateParams(TCreateParams& Params) override {             \
      TWinControl::CreateParams(Params);                            \
      CreateSubClass(Params, WinClass);                             \
      Params.Style |= (ExtraStyle);                                 \
    }                                                               \
  };

LIFETIME_SYSTEM_CONTROL(TLtComboBox, L"COMBOBOX", CBS_DROPDOWN | WS_VSCROLL)
LIFETIME_SYSTEM_CONTROL(TLtSimpleCombo, L"COMBOBOX", CBS_SIMPLE | WS_VSCROLL)
LIFETIME_SYSTEM_CONTROL(TLtGroupBox, L"BUTTON", BS_GROUPBOX)
LIFETIME_SYSTEM_CONTROL(TLtWWEdit, L"COMBOBOX", CBS_DROPDOWN | WS_VSCROLL)
LIFETIME_SYSTEM_CONTROL(TLtMemo, L"EDIT", ES_MULTILINE | WS_VSCROLL)
LIFETIME_SYSTEM_CONTROL(TLtListBox, L"LISTBOX", LBS_NOINTEGRALHEIGHT | WS_VSCROLL)
#undef LIFETIME_SYSTEM_CONTROL

// A self-painting control with both scroll bars, standing in for the grid kinds.
#define LIFETIME_SCROLLING_CONTROL(Name)                            \
  class Name : public TCustomControl {                              \
    T_CLASS(Name, TCustomControl)                                   \
                                                                    \
   public:                                                          \
    using TCustomControl::TCustomControl;                           \
                                                                    \
   protected:                                                       \
    void CreateParams(TCreateParams& Params) override {             \
      TCustomControl::CreateParams(Params);                         \
      Params.Style |= WS_HSCROLL | WS_VSCROLL;                      \
    }                                                               \
    void Paint() override {                                         \
      Canvas()->Brush()->SetColor(clWhite);                         \
      Canvas()->FillRect(Rect(0, 0, Width(), Height()));            \
    }                                                               \
  };

LIFETIME_SCROLLING_CONTROL(TLtGrid)
LIFETIME_SCROLLING_CONTROL(TLtGridEh)
LIFETIME_SCROLLING_CONTROL(TLtVirtualTree)
#undef LIFETIME_SCROLLING_CONTROL

// The class names of each adapter kind, in the order of the manager's lists.
inline const std::vector<AnsiString>& KindClassNames() {
  static const std::vector<AnsiString> Names = {
      "TEdit",        "TButton",        "TBitBtn",     "TCheckBox",      "TLtComboBox\r\nTLtSimpleCombo",
      "TLtGrid",      "TLtGroupBox",    "TListView",   "TPanel",         "TTreeView",
      "TLtWWEdit",    "TLtGridEh",      "TLtVirtualTree", "TPageControl", "TTabControl",
      "TToolBar",     "TStatusBar",     "TSpeedButton"};
  return Names;
}

// Fills every class-name list of the manager with the kinds above.
inline void FillThirdParty(TsSkinManager& M) {
  const auto& Names = KindClassNames();
  for (int K = 0; K < ThirdPartyKindCount && K < static_cast<int>(Names.size()); ++K)
    M.ThirdParty()->SetTexts(K, Names[static_cast<std::size_t>(K)]);
  M.UpdateThirdNames();
}

// Makes a T owned by Owner on Parent at (X, Y) in a W x H box.
template <class T>
T* Put(TComponent* Owner, TWinControl* Parent, int X, int Y, int W = 90, int H = 24) {
  auto* C = new T(Owner);
  C->SetParent(Parent);
  C->SetBounds(X, Y, W, H);
  return C;
}

// The windowed controls of one of every adapted kind, a frame with an edit on it, a label and a
// speed button, laid out on Form (which owns them) in a compact grid of cells 60 x 40 pixels (the
// whole fits a client area of 300 x 200). Returns the windowed ones.
inline std::vector<TWinControl*> FillWithEveryKind(TCustomForm* Form) {
  std::vector<TWinControl*> W;
  int Cell = 0;
  // The next cell; drop-down lists get room below for their list.
  auto Next = [&](int Height = 36) {
    const int X = 2 + (Cell % 5) * 60, Y = 2 + (Cell / 5) * 40;
    ++Cell;
    return TRect(X, Y, X + 56, Y + Height);
  };
  auto Add = [&](TWinControl* C, int Height = 36) {
    const TRect R = Next(Height);
    C->SetParent(Form);
    C->SetBounds(R.Left, R.Top, R.Width(), R.Height());
    W.push_back(C);
    return C;
  };
  Add(new TEdit(Form), 22);
  static_cast<TButton*>(Add(new TButton(Form), 24))->SetCaption(L"Button");
  static_cast<TButton*>(Add(new TBitBtn(Form), 24))->SetCaption(L"Bit");
  static_cast<TCheckBox*>(Add(new TCheckBox(Form), 20))->SetCaption(L"Check");
  Add(new TLtComboBox(Form), 90);
  Add(new TLtSimpleCombo(Form));
  Add(new TLtGrid(Form));
  Add(new TLtGroupBox(Form));
  Add(new TListView(Form));
  Add(new TPanel(Form));
  Add(new TTreeView(Form));
  Add(new TLtWWEdit(Form), 90);
  Add(new TLtGridEh(Form));
  Add(new TLtVirtualTree(Form));
  auto* Pages = static_cast<TPageControl*>(Add(new TPageControl(Form)));
  for (const wchar_t* Caption : {L"One", L"Two"}) {
    auto* Sheet = new TTabSheet(Form);
    Sheet->SetPageControl(Pages);
    Sheet->SetCaption(Caption);
  }
  auto* Tabs = static_cast<TTabControl*>(Add(new TTabControl(Form)));
  Tabs->Tabs()->Add("A");
  Tabs->Tabs()->Add("B");
  auto* Bar = static_cast<TToolBar*>(Add(new TToolBar(Form), 26));
  for (int I = 0; I < 2; ++I) {
    auto* Button = new TToolButton(Form);
    Button->SetParent(Bar);
  }
  auto* Status = static_cast<TStatusBar*>(Add(new TStatusBar(Form), 22));
  Status->Panels()->Add()->SetText(L"Status");
  auto* Frame = static_cast<TScrollingWinControl*>(Add(new TScrollingWinControl(Form)));
  W.push_back(Put<TEdit>(Form, Frame, 2, 2, 40, 20));
  const TRect LR = Next();
  auto* L = new TLabel(Form);
  L->SetParent(Form);
  L->SetBounds(LR.Left, LR.Top, LR.Width(), 16);
  L->SetCaption(L"Label");
  auto* S = new TSpeedButton(Form);
  S->SetParent(Form);
  S->SetBounds(LR.Left, LR.Top + 18, 40, 18);
  return W;
}

}  // namespace lifetime
