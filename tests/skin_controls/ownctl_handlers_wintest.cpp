// Handlers of the engine's own controls that free the control, the panel it sits on or its whole
// form: the pointer entering or leaving a button, a label or a splitter, the focus coming to or
// leaving a button, a press or a release on a splitter, each with the skin shown and without it.
#include <gtest/gtest.h>

#include <string>

#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "ownctl_support.h"
#include "skin/controls/sButton.h"
#include "skin/controls/sLabel.h"
#include "skin/controls/sSplitter.h"
#include "support/FreedMemoryGuard.h"

using namespace ownctl;

// What runs after the handler touches nothing freed (the trap makes any touch fault), the hints
// that a press on the splitter put away are back, and what remains takes the pointer's next moves.
TEST(OwnctlHandlers, AHandlerMayFreeItsControlItsPanelOrItsForm) {
  enum TKind { Button, Label, Splitter };
  enum TRoad { Enter, Leave, FocusIn, FocusOut, Press, Release };
  const struct {
    TKind Kind;
    TRoad Road;
    const char* Name;
  } Rows[] = {
      {Button, Enter, "the pointer entering the button"},
      {Button, Leave, "the pointer leaving the button"},
      {Button, FocusIn, "the focus coming to the button"},
      {Button, FocusOut, "the focus leaving the button"},
      {Label, Enter, "the pointer entering the label"},
      {Label, Leave, "the pointer leaving the label for the next one"},
      {Splitter, Enter, "the pointer entering the splitter"},
      {Splitter, Leave, "the pointer leaving the splitter's panel"},
      {Splitter, Press, "a press on the splitter"},
      {Splitter, Release, "a release on the splitter"},
  };
  enum TVictim { Itself, Panel, Form };
  const char* Victims[] = {"the control", "its panel", "the form"};
  auto M = LoadProgramSkin();
  ASSERT_TRUE(PointerAway());
  Application->SetShowHint(true);
  for (const bool Skinned : {true, false}) {
    M->SetActive(Skinned);
    for (const auto& Row : Rows)
      for (const int Victim : {Itself, Panel, Form}) {
        SCOPED_TRACE(std::string(Row.Name) + (Skinned ? ", skinned, frees " : ", unskinned, frees ") + Victims[Victim]);
        memguard::TFaultCount AV;
        const memguard::TTrapFreedReads Trap;
        TTestForm F;
        auto* Edit = new TEdit(F.Form);
        Edit->SetParent(F.Form);
        Edit->SetBounds(10, 200, 100, 22);
        auto* P = new TPanel(F.Form);
        P->SetParent(F.Form);
        P->SetBounds(10, 10, 300, 150);
        auto* Next = new TLabel(F.Form);  // the label's neighbour, a label without handlers
        Next->SetParent(P);
        Next->SetBounds(200, 20, 60, 20);
        Next->SetCaption(L"Next");
        TControl* C = nullptr;
        TNotifyEvent* Enters = nullptr;
        TNotifyEvent* Leaves = nullptr;
        auto Put = [&](auto* X) {
          X->SetParent(P);
          Enters = &X->OnMouseEnter;
          Leaves = &X->OnMouseLeave;
          C = X;
          return X;
        };
        if (Row.Kind == Button) {
          Put(new TsButton(F.Form))->SetBounds(20, 20, 150, 30);
        } else if (Row.Kind == Label) {
          auto* L = Put(new TsLabel(F.Form));
          L->SetBounds(20, 20, 100, 20);
          L->SetCaption(L"Label");
        } else {
          Put(new TsSplitter(F.Form))->SetAlign(alLeft);
        }
        F.Show();
        auto* Windowed = dynamic_cast<TWinControl*>(C);
        const HWND W = Windowed != nullptr ? Windowed->Handle() : P->Handle();
        // Inside the control, in the window that takes the pointer's messages.
        const POINT At = Windowed != nullptr ? POINT{10, 10} : POINT{C->Left() + 2, C->Top() + 3};
        const HWND Kept = Victim == Itself ? P->Handle() : F.Form->Handle();
        const HWND Gone = Victim == Itself ? (Windowed != nullptr ? W : nullptr) : Victim == Panel ? P->Handle() : Kept;
        if (Row.Road >= FocusIn) {
          ::SetFocus(Edit->Handle());
          ASSERT_TRUE(uitest::WaitFor([&] { return GetFocus() == Edit->Handle(); }));
        }
        if (Row.Road == FocusOut) {
          ::SetFocus(W);
          ASSERT_TRUE(uitest::WaitFor([&] { return GetFocus() == W; }));
        }
        TControl* const Freed = Victim == Itself ? C : Victim == Panel ? static_cast<TControl*>(P) : F.Form;
        memguard::TFreeOnce Free([&] {
          if (Freed == F.Form) F.Form = nullptr;
          delete Freed;
        });
        auto FreeIt = Free.Handler();
        auto OnButton = [FreeIt](TObject*, TMouseButton, TShiftState, int, int) { FreeIt(); };
        switch (Row.Road) {
          case Enter: *Enters = [FreeIt](TObject*) { FreeIt(); }; break;
          case Leave: *Leaves = [FreeIt](TObject*) { FreeIt(); }; break;
          case FocusIn: Windowed->OnEnter = [FreeIt](TObject*) { FreeIt(); }; break;
          case FocusOut: Windowed->OnExit = [FreeIt](TObject*) { FreeIt(); }; break;
          case Press: C->OnMouseDown = OnButton; break;
          case Release: C->OnMouseUp = OnButton; break;
        }
        const LPARAM AtL = MAKELPARAM(At.x, At.y), AtNext = MAKELPARAM(Next->Left() + 2, Next->Top() + 3);
        switch (Row.Road) {
          case Enter:
          case Leave:
            PostMessageW(W, WM_MOUSEMOVE, 0, AtL);
            if (Row.Kind == Label) PostMessageW(W, WM_MOUSEMOVE, 0, AtNext);
            PostMessageW(W, WM_MOUSELEAVE, 0, 0);
            break;
          case FocusIn: ::SetFocus(W); break;
          case FocusOut: ::SetFocus(Edit->Handle()); break;
          case Press:
          case Release:
            PostMessageW(W, WM_LBUTTONDOWN, MK_LBUTTON, AtL);
            PostMessageW(W, WM_LBUTTONUP, 0, AtL);
            break;
        }
        ASSERT_TRUE(uitest::WaitFor([&] { return Free.Done(); }));
        uitest::PumpFor(50);
        if (Gone != nullptr) {
          EXPECT_FALSE(IsWindow(Gone));
        }
        EXPECT_TRUE(Application->ShowHint());
        // What remains forgot the control under the pointer: the pointer comes and goes again.
        if (Victim != Form) {
          PostMessageW(Kept, WM_MOUSEMOVE, 0, AtL);
          PostMessageW(Kept, WM_MOUSELEAVE, 0, 0);
          uitest::PumpFor(50);
        }
        EXPECT_EQ(AV.Count(), 0);
      }
  }
  Application->SetShowHint(true);
}
