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

// The provider of a skinned MDI main form runs its MDI support: the client window has one adapter,
// kept through another update, replaced by a new connection, none while the provider has no skin,
// and none once the skin is removed.
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
  TsMDIForm* Mdi = Prov->MDIForm;
  ASSERT_NE(Mdi, nullptr);
  EXPECT_EQ(Mdi->Form, F.Form);
  TacMDIWnd* First = Mdi->MDIWnd;
  ASSERT_NE(First, nullptr);
  Mdi->Update();  // a second Update keeps the one adapter
  ASSERT_EQ(Mdi->MDIWnd, First);
  EXPECT_EQ(GetWndAdapter(Client), First);
  EXPECT_EQ(First->SkinData->SkinSection(), "CHECKBOX");
  EXPECT_EQ(First->MDIForm, F.Form);
  EXPECT_EQ(First->FormSkinData, Prov->SkinData());
  EXPECT_EQ(First->Provider, Prov);
  EXPECT_EQ(SendMessageW(Client, SM_ALPHACMD, MAKEWPARAM(0, AC_ISSKINNED), 0), 1);
  // Connecting again replaces the adapter; a provider without skin gets none.
  Mdi->Connect();
  ASSERT_NE(Mdi->MDIWnd, nullptr);
  EXPECT_EQ(GetWndAdapter(Client), Mdi->MDIWnd);
  Prov->SkinData()->SectionIndex = -1;
  Mdi->Connect();
  EXPECT_EQ(Mdi->MDIWnd, nullptr);
  EXPECT_EQ(GetWndAdapter(Client), nullptr);
  Prov->SkinData()->UpdateIndexes();
  Mdi->Update();
  ASSERT_NE(Mdi->MDIWnd, nullptr);
  EXPECT_EQ(GetWndAdapter(Client), Mdi->MDIWnd);
  // The skin goes, and the client's adapter with it.
  M->SetActive(false);
  uitest::Pump();
  EXPECT_EQ(Prov->MDIForm, nullptr);
  EXPECT_EQ(GetWndAdapter(Client), nullptr);
  EXPECT_NE(SendMessageW(Client, SM_ALPHACMD, MAKEWPARAM(0, AC_ISSKINNED), 0), 1);
  delete Prov;
  uitest::Pump();
}
