// MDI support of a skinned MDI main form: the MDI client window's adapter follows the skin.
#include <gtest/gtest.h>

#include "skin/controls/acScrollAdapters.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/forms/sMDIForm.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/adapt2_support.h"

using namespace adapt2;

TEST(Adapt2MDIForm, AttachesOneClientAdapterAndLetsGoWithTheSkin) {
  auto M = LoadProgramSkin();
  TTestForm F;
  F.Form->SetFormStyle(fsMDIForm);
  F.Show();
  auto* Prov = new TsSkinProvider(F.Form);
  uitest::Pump();
  ASSERT_TRUE(Prov->SkinData()->IsSkinned(false));
  HWND Client = F.Form->ClientHandle();
  ASSERT_NE(Client, nullptr);
  // The provider may run MDI support of its own: the client then has its adapter already.
  const bool ProviderOwn = GetWndAdapter(Client) != nullptr;
  if (ProviderOwn) {
    delete Prov;
    uitest::Pump();
    GTEST_SKIP() << "the provider attaches its own MDI support";
  }
  {
    TsMDIForm Mdi(Prov);
    EXPECT_EQ(Mdi.Form, F.Form);
    EXPECT_EQ(Mdi.MDIWnd, nullptr);
    Mdi.Update();
    ASSERT_NE(Mdi.MDIWnd, nullptr);
    TacMDIWnd* First = Mdi.MDIWnd;
    Mdi.Update();  // a second Update keeps the one adapter
    EXPECT_EQ(Mdi.MDIWnd, First);
    EXPECT_EQ(GetWndAdapter(Client), First);
    EXPECT_EQ(First->SkinData->SkinSection(), "CHECKBOX");
    EXPECT_EQ(First->MDIForm, F.Form);
    EXPECT_EQ(First->FormSkinData, Prov->SkinData());
    EXPECT_EQ(First->Provider, Prov);
    EXPECT_EQ(SendMessageW(Client, SM_ALPHACMD, MAKEWPARAM(0, AC_ISSKINNED), 0), 1);
    // Connecting again replaces the adapter; a provider without skin gets none.
    Mdi.Connect();
    ASSERT_NE(Mdi.MDIWnd, nullptr);
    EXPECT_EQ(GetWndAdapter(Client), Mdi.MDIWnd);
    Prov->SkinData()->SectionIndex = -1;
    Mdi.Connect();
    EXPECT_EQ(Mdi.MDIWnd, nullptr);
    EXPECT_EQ(GetWndAdapter(Client), nullptr);
    Prov->SkinData()->UpdateIndexes();
    Mdi.Update();
    EXPECT_NE(Mdi.MDIWnd, nullptr);
  }
  // Destroyed with the support object.
  EXPECT_EQ(GetWndAdapter(Client), nullptr);
  delete Prov;
  uitest::Pump();
}
