// Lifetimes around the skin manager: skin data that is bound to a manager forgets it when the
// manager goes, whether or not the manager's last broadcast reached the data's owner.
#include <gtest/gtest.h>

#include <windows.h>

#include "framework/ExtCtrls.h"
#include "manager_test_support.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sSkinManager.h"

using namespace mgrtest;

namespace {

const char* const Skin = "[GLOBALINFO]\r\nVERSION=7.00\r\nCOLOR=255\r\n[EDIT]\r\nCOLOR=16711680\r\n";

std::unique_ptr<TsSkinManager> ManagerWithSkin() {
  auto M = std::make_unique<TsSkinManager>(nullptr);
  M->SetSkinDirectory(AppDirectory() + "no skins here");
  AddStoredSkin(*M, "A", Skin);
  M->SetSkinName("A");
  return M;
}

}  // namespace

TEST(LifetimeManager, SkinDataForgetsAFreedManagerThatWasInactiveOrDidNotReachIt) {
  auto Default = ManagerWithSkin();
  ASSERT_EQ(TsSkinManager::DefaultManager(), Default.get());
  ASSERT_TRUE(Default->SkinActive());
  auto* Form = new TForm(nullptr);
  Form->SetBounds(0, 0, 200, 120);
  Form->HandleNeeded();
  for (int Way = 0; Way < 3; ++Way) {
    SCOPED_TRACE(Way == 0 ? "active manager, data without owner"
                 : Way == 1 ? "inactive manager, data of a control"
                            : "inactive manager, data without owner");
    auto M = ManagerWithSkin();
    ASSERT_TRUE(M->SkinActive());
    // Data that no broadcast reaches, and data of a control on a form.
    TsCommonData Loose(nullptr, 0, true);
    auto* Panel = new TPanel(Form);
    Panel->SetParent(Form);
    TsCommonData Owned(Panel, 0, true);
    TsCommonData& D = Way == 1 ? Owned : Loose;
    D.SetSkinSection("EDIT");
    D.SetSkinManager(M.get());
    ASSERT_EQ(D.GetSkinManager(), M.get());
    ASSERT_TRUE(D.IsSkinned());
    if (Way > 0) M->SetActive(false);
    M.reset();
    EXPECT_EQ(D.ManagerField(), nullptr);
    EXPECT_EQ(D.GetSkinManager(), Default.get());
    D.UpdateIndexes();
    EXPECT_TRUE(D.IsSkinned());
    delete Panel;
  }
  delete Form;
}
