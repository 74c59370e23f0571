// The skinned system menu: items built from the window's system menu, shown and enabled by the
// form's border style, icons and state; commands the program added; the skin list.
#include "skin_forms/menus_support.h"

using namespace menustest;

namespace {

struct TSysForm {
  TForm* Form = TCustomForm::Create<TForm>(nullptr);
  std::unique_ptr<TsSystemMenu> Menu;
  explicit TSysForm(TFormBorderStyle BS = bsSizeable, TBorderIcons BI = {biSystemMenu, biMinimize, biMaximize}) {
    Form->SetBorderStyle(BS);
    Form->SetBorderIcons(BI);
    Form->SetBounds(100, 100, 300, 200);
    Form->HandleNeeded();
    Menu = std::make_unique<TsSystemMenu>(Form, Form);
    Menu->UpdateItems(false);
  }
  ~TSysForm() {
    Menu.reset();
    delete Form;
  }
  static bool Shown(TMenuItem* I) { return I != nullptr && I->Visible(); }
};

}  // namespace

TEST(MenusSysMenu, SizeableFormShowsEveryStandardItemInOrder) {
  TSysForm F;
  TsSystemMenu& S = *F.Menu;
  EXPECT_EQ(S.Name(), "SysMenu");
  ASSERT_NE(S.ItemClose, nullptr);
  EXPECT_EQ(S.Items()->Items(0), S.ItemRestore);
  EXPECT_EQ(S.Items()->Items(4), S.ItemMaximize);
  EXPECT_TRUE(S.Items()->Items(5)->IsLine());
  EXPECT_EQ(S.Items()->Items(S.Items()->Count() - 1), S.ItemClose);
  EXPECT_EQ(S.ItemClose->Tag(), SC_CLOSE);
  EXPECT_EQ(S.ItemRestore->Name(), "acIR");
  EXPECT_FALSE(S.ItemClose->Caption().empty());
  EXPECT_TRUE(S.VisibleClose() && S.VisibleMax() && S.VisibleMin());
  EXPECT_TRUE(S.ItemMaximize->Enabled());
  EXPECT_FALSE(S.ItemRestore->Enabled()) << "a normal window cannot be restored";
  EXPECT_TRUE(S.ItemMove->Enabled() && S.ItemSize->Enabled());
}

TEST(MenusSysMenu, DialogFormShowsOnlyMoveAndClose) {
  TSysForm F(bsDialog);
  TsSystemMenu& S = *F.Menu;
  EXPECT_FALSE(TSysForm::Shown(S.ItemRestore));
  EXPECT_FALSE(TSysForm::Shown(S.ItemSize));
  EXPECT_FALSE(TSysForm::Shown(S.ItemMinimize));
  EXPECT_FALSE(TSysForm::Shown(S.ItemMaximize));
  EXPECT_TRUE(TSysForm::Shown(S.ItemMove));
  EXPECT_TRUE(TSysForm::Shown(S.ItemClose));
}

TEST(MenusSysMenu, WithoutSystemMenuNoCaptionButtonIsVisible) {
  TSysForm F(bsSizeable, TBorderIcons{biMinimize, biMaximize});
  TsSystemMenu& S = *F.Menu;
  EXPECT_FALSE(S.VisibleClose());
  EXPECT_FALSE(S.VisibleMax());
  EXPECT_FALSE(S.VisibleMin());
  EXPECT_FALSE(S.VisibleRestore());
  // The provider's flag decides when it gives one.
  S.SysMenuStyleChanged = [] { return true; };
  EXPECT_TRUE(S.VisibleClose());
  EXPECT_TRUE(S.VisibleMax());
}

TEST(MenusSysMenu, SingleBorderWithoutMaximizeHidesIt) {
  TSysForm F(bsSingle, TBorderIcons{biSystemMenu, biMinimize});
  EXPECT_FALSE(F.Menu->VisibleMax());
  EXPECT_TRUE(F.Menu->VisibleMin());
  EXPECT_FALSE(F.Menu->EnabledSize());
}

TEST(MenusSysMenu, MaximisedFormEnablesRestoreAndDisablesMoveAndMaximize) {
  TSysForm F;
  F.Form->SetWindowState(wsMaximized);
  F.Menu->UpdateItems(false);
  EXPECT_FALSE(F.Menu->ItemMove->Enabled());
  EXPECT_TRUE(F.Menu->ItemRestore->Enabled());
  EXPECT_FALSE(F.Menu->ItemMaximize->Enabled());
}

TEST(MenusSysMenu, CommandAddedByTheProgramIsListedAndReachesTheForm) {
  TSysForm F;
  HMENU Sys = GetSystemMenu(F.Form->Handle(), FALSE);
  ASSERT_NE(Sys, nullptr);
  AppendMenuW(Sys, MF_STRING, 0x120, L"About\tCtrl+B");
  F.Menu->UpdateItems(true);
  TsSystemMenu& S = *F.Menu;
  EXPECT_EQ(S.ExtraCount, 1);
  const int Close = S.Items()->IndexOf(S.ItemClose);
  TMenuItem* Added = S.Items()->Items(Close - 2);
  EXPECT_EQ(Added->Caption(), L"About");
  EXPECT_EQ(Added->Tag(), 0x120);
  EXPECT_EQ(Added->ShortCut(), ShortCut('B', TShiftState{ssCtrl}));
  EXPECT_TRUE(S.Items()->Items(Close - 1)->IsLine());
  EXPECT_TRUE(S.Items()->Items(Close - 3)->IsLine());
  // Clicking it posts the command to the form.
  WPARAM Got = 0;
  TWndMethod Old = F.Form->WindowProc();
  F.Form->SetWindowProc([&](TMessage& M) {
    if (M.Msg == WM_SYSCOMMAND && M.WParam == 0x120) {
      Got = M.WParam;
      return;
    }
    Old(M);
  });
  Added->Click();
  uitest::WaitFor([&] { return Got != 0; }, 2000);
  F.Form->SetWindowProc(Old);
  EXPECT_EQ(Got, 0x120u);
}

TEST(MenusSysMenu, SkinListHasOneRadioItemPerSkinInColumnsOfTwenty) {
  sSkinMenusInstall();
  TsSkinManager M(nullptr);
  M.SetSkinDirectory("c:\\no skins here");
  for (int I = 0; I < 41; ++I) {
    char Name[16];
    std::snprintf(Name, sizeof Name, "Skin%02d", I);
    M.InternalSkins()->Add()->SetName(Name);
  }
  TSysForm F;
  F.Menu->SkinManager = &M;
  F.Menu->AddSkinsItem();
  TMenuItem* Root = F.Menu->Items()->Items(0);
  EXPECT_EQ(Root->Name(), "SkinSelectItem");
  EXPECT_TRUE(F.Menu->Items()->Items(1)->IsLine());
  ASSERT_EQ(Root->Count(), 41);
  for (int I = 0; I < 41; ++I) {
    EXPECT_TRUE(Root->Items(I)->RadioItem());
    EXPECT_EQ(Root->Items(I)->Break() != mbNone, I == 20 || I == 40) << I;
  }
  EXPECT_EQ(Root->Items(3)->Name(), "SkinSelectItem3");
}
