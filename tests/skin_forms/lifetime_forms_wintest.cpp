// Lifetimes of skinned forms and their adapted controls: a form holding one control of every kind
// the adapter list takes is let go in every order a program can (form, provider, manager, skin),
// and no message reaches a freed adapter. The freed-memory guard fails a test on any access
// violation, including those the system swallows inside window procedures.
#include <gtest/gtest.h>

#include <windows.h>

#include "skin/controls/acWndAdapter.h"
#include "skin/controls/sFrameAdapter.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sFormList.h"
#include "skin/core/sMessages.h"
#include "skin/forms/acDials.h"
#include "skin/forms/sFormAdapters.h"
#include "framework/Menus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/adapt2_support.h"
#include "skin_forms/lifetime_support.h"
#include "support/FreedMemoryGuard.h"

namespace {

bool Skinned(TWinControl* C) { return C->HandleAllocated() && AskControl(C, AC_ISSKINNED) == 1; }

// The manager whose skin a timer removes inside a menu loop, which it then ends.
TsSkinManager* LoopManager = nullptr;
void CALLBACK RemoveSkinInLoop(HWND, UINT, UINT_PTR Id, DWORD) {
  KillTimer(nullptr, Id);
  LoopManager->SetActive(false);
  EndMenu();
}

// The form a timer frees inside a modal loop. The loop then ends with Escape, posted to the thread:
// the window it would have gone to is gone.
TForm* LoopForm = nullptr;
void CALLBACK FreeLoopForm(HWND, UINT, UINT_PTR Id, DWORD) {
  KillTimer(nullptr, Id);
  delete LoopForm;
  LoopForm = nullptr;
  PostThreadMessageW(GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0);
}

class LifetimeForms : public ::testing::Test {
 protected:
  void SetUp() override {
    sSkinProviderInstall();
    M = adapt2::LoadProgramSkin();
    ASSERT_TRUE(M->SkinActive());
    lifetime::FillThirdParty(*M);
    PopupListWindow();  // made once for the first pop-up menu, kept for good
    Windows = uitest::CountThreadWindows();
  }
  void TearDown() override {
    M.reset();
    uitest::Pump();
    EXPECT_EQ(uitest::CountThreadWindows(), Windows);
  }

  // A shown form with every kind of control, and a provider made before or after the controls.
  TForm* MakeForm(bool ProviderFirst, TsSkinProvider*& Prov, std::vector<TWinControl*>& Controls) {
    auto* Form = new TForm(nullptr);
    Form->SetBounds(40, 40, 500, 320);
    Prov = ProviderFirst ? new TsSkinProvider(Form) : nullptr;
    Controls = lifetime::FillWithEveryKind(Form);
    if (Prov == nullptr) Prov = new TsSkinProvider(Form);
    uitest::ShowSettled(Form);
    return Form;
  }

  // Every control of the form is adapted (the label is painted by the form, not adapted).
  void ExpectAllAdapted(TsSkinProvider* Prov, const std::vector<TWinControl*>& Controls) {
    ASSERT_NE(Prov->Adapter, nullptr);
    for (TWinControl* C : Controls) EXPECT_TRUE(Skinned(C)) << C->ClassName();
    EXPECT_EQ(Prov->Adapter->GraphItems.size(), 1u);
  }

  std::unique_ptr<TsSkinManager> M;
  int Windows = 0;
};

}  // namespace

TEST_F(LifetimeForms, AFormFreedWithItsProviderLeavesNoControlPointingIntoAFreedAdapter) {
  for (bool ProviderFirst : {false, true}) {
    SCOPED_TRACE(ProviderFirst ? "provider made before the controls" : "provider made after the controls");
    for (int Round = 0; Round < 2; ++Round) {
      const int Pages = PageAdapters().Count();
      TsSkinProvider* Prov = nullptr;
      std::vector<TWinControl*> Controls;
      TForm* Form = MakeForm(ProviderFirst, Prov, Controls);
      ExpectAllAdapted(Prov, Controls);
      EXPECT_GT(PageAdapters().Count(), Pages);
      delete Form;
      uitest::Pump();
      EXPECT_EQ(PageAdapters().Count(), Pages) << "the page adapters go with their pages";
    }
  }
}

TEST_F(LifetimeForms, FreeingTheProviderFirstGivesEveryControlBack) {
  TsSkinProvider* Prov = nullptr;
  std::vector<TWinControl*> Controls;
  TForm* Form = MakeForm(false, Prov, Controls);
  ExpectAllAdapted(Prov, Controls);
  delete Prov;
  uitest::Pump();
  for (TWinControl* C : Controls) {
    if (acIsFrame(C)) continue;  // a frame's adapter is the frame's own
    EXPECT_FALSE(Skinned(C)) << C->ClassName();
    EXPECT_EQ(GetWndAdapter(C->Handle()), nullptr) << C->ClassName();
  }
  // The controls' own chains work as before.
  SendMessageW(Controls[0]->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"still here"));
  EXPECT_EQ(Controls[0]->Text(), WideString(L"still here"));
  RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  uitest::Pump();
  delete Form;
}

TEST_F(LifetimeForms, TheManagerOrTheSkinGoingFirstLeavesTheFormToBeFreedQuietly) {
  for (int Order = 0; Order < 3; ++Order) {
    SCOPED_TRACE(Order);
    if (M == nullptr) {
      M = adapt2::LoadProgramSkin();
      lifetime::FillThirdParty(*M);
    }
    TsSkinProvider* Prov = nullptr;
    std::vector<TWinControl*> Controls;
    TForm* Form = MakeForm(Order == 1, Prov, Controls);
    ExpectAllAdapted(Prov, Controls);
    if (Order == 2) {
      M->SetActive(false);  // the skin goes, the manager stays
      uitest::Pump();
      for (TWinControl* C : Controls)
        if (!acIsFrame(C)) {
          EXPECT_EQ(GetWndAdapter(C->Handle()), nullptr) << C->ClassName();
        }
    } else {
      M.reset();  // the manager goes
      uitest::Pump();
    }
    RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    uitest::Pump();
    delete Form;
    uitest::Pump();
  }
}

TEST_F(LifetimeForms, AControlFreedAloneLeavesItsItemForTheListToDrop) {
  TsSkinProvider* Prov = nullptr;
  std::vector<TWinControl*> Controls;
  TForm* Form = MakeForm(false, Prov, Controls);
  ExpectAllAdapted(Prov, Controls);
  const int Before = Prov->Adapter->Count();
  // Each control goes on its own, the frame's edit first (the frame would take it along).
  for (auto It = Controls.rbegin(); It != Controls.rend(); ++It) delete *It;
  uitest::Pump();
  Prov->Adapter->CleanItems();
  EXPECT_LT(Prov->Adapter->Count(), Before);
  EXPECT_EQ(Prov->Adapter->Count(), 0);
  delete Form;
}

// A skin change that an exception leaves half way (here a control's handler of the refresh)
// gives the forms their drawing back: no form stays frozen, no provider believes it is updating.
TEST_F(LifetimeForms, AnExceptionInASkinChangeLeavesNoFormFrozen) {
  auto* Form = new TForm(nullptr);
  Form->SetBounds(40, 40, 300, 200);
  // A windowless control: its handlers run by direct calls, not inside a window procedure.
  auto* Panel = new TGraphicControl(Form);
  Panel->SetParent(Form);
  Panel->SetBounds(10, 10, 100, 60);
  auto* Prov = new TsSkinProvider(Form);
  uitest::ShowSettled(Form);
  ASSERT_TRUE(IsWindowVisible(Form->Handle()));
  Word Throwing = 0;
  const TWndMethod Saved = Panel->WindowProc();
  Panel->SetWindowProc([&, Saved](TMessage& Msg) {
    if (Msg.Msg == SM_ALPHACMD && AlphaCmdCode(Msg.WParam) == Throwing) throw Exception("handler failed");
    Saved(Msg);
  });
  // Raised inside a window procedure, the exception goes to the application; raised through a
  // direct call, it leaves the skin change.
  int Reported = 0;
  Application->OnException = [&](TObject*, Exception&) { ++Reported; };
  for (Word Command : {AC_NEWSKIN, AC_BEFOREREFRESH, AC_REFRESHSKIN}) {
    SCOPED_TRACE(Command);
    Throwing = Command;
    int Left = 0;
    try {
      M->SetHueOffset(M->HueOffset() + 10);
    } catch (Exception&) {
      ++Left;
    }
    Throwing = 0;
    if (Command == AC_REFRESHSKIN) {
      EXPECT_EQ(Left, 1);
    }
    EXPECT_TRUE(IsWindowVisible(Form->Handle())) << "the form's drawing is still locked";
    EXPECT_FALSE(acFormsUpdating);
    EXPECT_FALSE(Prov->SkinData()->Updating);
    EXPECT_FALSE(acSkinChanging);
    // The next change runs in full.
    M->SetHueOffset(0);
    EXPECT_TRUE(IsWindowVisible(Form->Handle()));
    EXPECT_FALSE(Prov->SkinData()->Updating);
  }
  Application->OnException = nullptr;
  Panel->SetWindowProc(Saved);
  delete Form;
}

// A system command that the provider passes on may run a modal loop (moving, sizing, a menu), and
// a timer inside it may free the form with its provider: nothing of the provider is read when the
// loop returns.
TEST_F(LifetimeForms, AFormFreedInsideAMoveLoopLeavesItsFreedProviderUntouched) {
  auto* Form = new TForm(nullptr);
  Form->SetBounds(60, 60, 320, 200);
  new TsSkinProvider(Form);
  uitest::ShowSettled(Form);
  const HWND H = Form->Handle();
  LoopForm = Form;
  memguard::TFaultCount Faults;
  SetTimer(nullptr, 0, 200, FreeLoopForm);
  SendMessageW(H, WM_SYSCOMMAND, SC_MOVE, 0);
  uitest::PumpFor(200);
  EXPECT_EQ(LoopForm, nullptr) << "the timer ran inside the loop";
  EXPECT_FALSE(IsWindow(H));
  EXPECT_EQ(Faults.Count(), 0);
}

// A control's own message may run a modal loop (its context menu, or the form's), and a timer
// inside it may remove the skin, which frees the control's adapter: nothing of the freed adapter
// is read when the loop returns. For every kind of adapted control.
TEST_F(LifetimeForms, TheSkinRemovedInsideAControlsContextMenuLeavesItsFreedAdapterUntouched) {
  TsSkinProvider* Prov = nullptr;
  std::vector<TWinControl*> Controls;
  TForm* Form = MakeForm(true, Prov, Controls);
  auto* Popup = new TPopupMenu(Form);
  auto* Item = new TMenuItem(Form);
  Item->SetCaption(WideString(L"Open"));
  Popup->Items()->Add(Item);
  Form->SetPopupMenu(Popup);
  LoopManager = M.get();
  memguard::TFaultCount Faults;
  for (TWinControl* C : Controls) {
    SCOPED_TRACE(C->ClassName());
    M->SetActive(true);
    uitest::Settle(Form->Handle());
    if (!C->HandleAllocated() || !IsWindowVisible(C->Handle())) continue;
    RECT R;
    GetWindowRect(C->Handle(), &R);
    SetTimer(nullptr, 0, 100, RemoveSkinInLoop);
    SendMessageW(C->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(C->Handle()), MAKELPARAM(R.left + 4, R.top + 4));
    uitest::PumpFor(100);
    EXPECT_EQ(Faults.Count(), 0);
  }
  M->SetActive(true);
  delete Form;
}
