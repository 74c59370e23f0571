// Skinned forms whose adapted controls sit inside adapted containers, destroyed in the orders a
// program can choose: the whole form at once (its owner frees the components one by one, the
// skin provider among them), the provider first, a container first. No control may keep a window
// procedure of a freed adapter. Access violations inside window procedures are swallowed by the
// platform, so they are counted.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
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
