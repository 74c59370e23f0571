// Skinned forms whose adapted controls sit inside adapted containers, destroyed in the orders a
// program can choose: the whole form at once (its owner frees the components one by one, the
// skin provider among them), the provider first, a container first; and a frame with its frame
// adapter. No control may keep a window
// procedure of a freed adapter. Access violations inside window procedures are swallowed by the
// platform, so they are counted.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin/controls/sFrameAdapter.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/adapt2_support.h"

using namespace adapt2;

namespace {

LONG Violations = 0;

LONG CALLBACK CountViolation(EXCEPTION_POINTERS* E) {
  if (E->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION) InterlockedIncrement(&Violations);
  return EXCEPTION_CONTINUE_SEARCH;
}

// Counts the access violations of its lifetime.
struct TViolationCount {
  PVOID Handler = AddVectoredExceptionHandler(1, CountViolation);
  LONG Start = Violations;
  ~TViolationCount() { RemoveVectoredExceptionHandler(Handler); }
  LONG Count() const { return Violations - Start; }
};

// A form with a panel holding a check box, both listed for adapters; the provider is created
// before or after the controls.
struct TScene {
  TForm* Form = new TForm(nullptr);
  TPanel* Panel = nullptr;
  TCheckBox* Check = nullptr;
  TsSkinProvider* Provider = nullptr;

  explicit TScene(bool ProviderFirst) {
    Form->SetBounds(60, 60, 420, 320);
    Form->Handle();
    if (ProviderFirst) Provider = new TsSkinProvider(Form);
    Panel = new TPanel(Form);
    Panel->SetParent(Form);
    Panel->SetBounds(10, 10, 200, 120);
    Check = new TCheckBox(Form);
    Check->SetParent(Panel);
    Check->SetBounds(10, 10, 120, 18);
    Check->SetCaption(WideString(L"Inside"));
    if (!ProviderFirst) Provider = new TsSkinProvider(Form);
    uitest::ShowSettled(Form);
  }
};

void ExpectCleanEnd(const std::function<void(TScene&)>& Destroy, bool ProviderFirst) {
  TViolationCount Count;
  {
    TScene S(ProviderFirst);
    ASSERT_EQ(AskControl(S.Panel, AC_ISSKINNED) & 0xFF, 1) << "the panel is adapted";
    Destroy(S);
    uitest::Pump();
  }
  EXPECT_EQ(Count.Count(), 0);
}

class LifetimeContainers : public ::testing::Test {
 protected:
  void SetUp() override {
    M = LoadProgramSkin();
    SetList(*M, tpPanel, "TPanel");
    SetList(*M, tpCheckBox, "TCheckBox");
  }
  std::unique_ptr<TsSkinManager> M;
};

}  // namespace

TEST_F(LifetimeContainers, TheWholeFormGoesInEveryOrderOfItsComponents) {
  for (bool ProviderFirst : {false, true}) {
    SCOPED_TRACE(ProviderFirst ? "provider created first" : "provider created last");
    ExpectCleanEnd([](TScene& S) { delete S.Form; }, ProviderFirst);
  }
}

TEST_F(LifetimeContainers, TheProviderOrAContainerGoesFirst) {
  ExpectCleanEnd(
      [](TScene& S) {
        delete S.Provider;
        uitest::Pump();
        delete S.Form;
      },
      false);
  ExpectCleanEnd(
      [](TScene& S) {
        delete S.Panel;  // takes the check box with it
        uitest::Pump();
        delete S.Form;
      },
      false);
  ExpectCleanEnd(
      [](TScene& S) {
        delete S.Check;
        uitest::Pump();
        delete S.Form;
      },
      true);
}

namespace {

// A frame: a scrolling container, which a form's adapter list gives a frame adapter.
class TTestFrame : public TScrollingWinControl {
  T_CLASS(TTestFrame, TScrollingWinControl)

 public:
  using TScrollingWinControl::TScrollingWinControl;
};

}  // namespace

TEST_F(LifetimeContainers, AFrameGoesWithItsFrameAdapter) {
  SetList(*M, tpEdit, "TEdit");
  for (int Order = 0; Order < 2; ++Order) {
    SCOPED_TRACE(Order == 0 ? "the whole form" : "the frame first");
    TViolationCount Count;
    auto* F = new TForm(nullptr);
    F->SetBounds(60, 60, 420, 320);
    auto* Frame = new TTestFrame(F);
    Frame->SetParent(F);
    Frame->SetBounds(10, 10, 250, 120);
    auto* E = new TEdit(F);
    E->SetParent(Frame);
    E->SetBounds(10, 10, 120, 22);
    F->Handle();
    new TsSkinProvider(F);
    uitest::ShowSettled(F);
    bool HasAdapter = false;
    for (int I = 0; I < Frame->ComponentCount(); ++I)
      HasAdapter = HasAdapter || dynamic_cast<TsFrameAdapter*>(Frame->Components(I)) != nullptr;
    EXPECT_TRUE(HasAdapter) << "the frame has its frame adapter";
    if (Order == 1) {
      delete Frame;
      uitest::Pump();
    }
    delete F;
    uitest::Pump();
    EXPECT_EQ(Count.Count(), 0);
  }
}
