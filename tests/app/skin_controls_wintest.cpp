// The engine's controls as the program uses them before skins are painted: their skin data, the
// splitter sizing its neighbour, the button's clicks, the label, and the skin manager's settings.
#include <gtest/gtest.h>

#include "framework/Exceptions.h"
#include "framework/TypInfo.h"
#include "skin/controls/sButton.h"
#include "skin/controls/sLabel.h"
#include "skin/controls/sSplitter.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sSkinManager.h"
#include "support/AppTestHelpers.h"

using namespace apptest;

namespace {

struct TShownForm {
  TForm* Form;
  TShownForm() {
    Form = new TForm(nullptr);
    Form->SetBounds(100, 100, 400, 300);
  }
  ~TShownForm() {
    delete Form;
    Pump();
  }
  TShownForm(const TShownForm&) = delete;
  TShownForm& operator=(const TShownForm&) = delete;
  void Show() { uitest::ShowSettled(Form); }
};

}  // namespace

TEST(SkinData, SectionNamesAreStoredUpperCased) {
  TsCommonData D(nullptr);
  D.SetSkinSection("edit");
  EXPECT_EQ(D.SkinSection(), "EDIT");
  D.SetSkinSection("");
  EXPECT_EQ(D.SkinSection(), "UNKNOWN");
  D.SetSkinSection("Button_Big");
  EXPECT_EQ(D.SkinSection(), "BUTTON_BIG");
}

TEST(SkinData, LoadedFillsTheDefaultSectionOfTheKindOnly) {
  TsCommonData Splitter(nullptr, 75);
  Splitter.Loaded();
  EXPECT_EQ(Splitter.SkinSection(), "SPLITTER");
  TsCommonData Given(nullptr, 75);
  Given.SetSkinSection("mysection");
  Given.Loaded();
  EXPECT_EQ(Given.SkinSection(), "MYSECTION");
  // A kind without a section: the owner's class name.
  TPanel Owner(nullptr);
  TsCommonData Other(&Owner, 4000);
  Other.Loaded();
  EXPECT_EQ(Other.SkinSection(), "TPANEL");
  EXPECT_EQ(Other.OwnerControl(), &Owner);
  EXPECT_EQ(Other.OwnerObject(), &Owner);
}

TEST(SkinnedControls, CarryTheirSkinDataAndDefaultSections) {
  TShownForm F;
  auto* S = new TsSplitter(F.Form);
  auto* B = new TsButton(F.Form);
  EXPECT_EQ(S->Width(), 6);
  EXPECT_EQ(S->SkinData()->SkinSection(), "SPLITTER");
  EXPECT_EQ(S->SkinData()->OwnerControl(), S);
  EXPECT_EQ(B->SkinData()->SkinSection(), "BUTTON");
  EXPECT_EQ(B->SkinData()->OwnerControl(), B);
  // Published, so that the skin engine finds them by name.
  EXPECT_EQ(GetObjectProp(S, "SkinData"), S->SkinData());
  EXPECT_EQ(GetObjectProp(B, "SkinData"), B->SkinData());
  SetStrProp(B->SkinData(), "SkinSection", "speedbutton");
  EXPECT_EQ(B->SkinData()->SkinSection(), "SPEEDBUTTON");
  EXPECT_TRUE(S->InheritsFromName("TSplitter"));
  EXPECT_TRUE(B->InheritsFromName("TButton"));
}

TEST(SkinnedControls, SplitterSizesTheControlOnItsAlignedSide) {
  TShownForm F;
  auto* Right = new TPanel(F.Form);
  Right->SetParent(F.Form);
  Right->SetBounds(300, 0, 100, 100);
  Right->SetAlign(alRight);
  auto* S = new TsSplitter(F.Form);
  S->SetParent(F.Form);
  S->SetBounds(290, 0, 6, 100);
  S->SetAlign(alRight);
  S->SetResizeStyle(rsUpdate);
  F.Show();
  ASSERT_EQ(S->FindControl(), Right);
  const int Before = Right->Width();
  const int X = S->Left() + 2, Y = 40;
  HWND W = F.Form->Handle();
  PostMessageW(W, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X, Y));
  PostMessageW(W, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(X - 40, Y));
  PostMessageW(W, WM_LBUTTONUP, 0, MAKELPARAM(X - 40, Y));
  Pump();
  EXPECT_EQ(Right->Width(), Before + 40);
  EXPECT_EQ(S->Left() + S->Width(), Right->Left());
}

TEST(SkinnedControls, ButtonFiresOnClickOnARealClick) {
  TShownForm F;
  auto* B = new TsButton(F.Form);
  B->SetParent(F.Form);
  B->SetBounds(40, 40, 120, 30);
  B->SetCaption(L"Перейти");
  int Clicks = 0;
  B->OnClick = [&](TObject* Sender) {
    EXPECT_EQ(Sender, B);
    ++Clicks;
  };
  F.Show();
  realinput::Click(B->Handle(), 60, 15);
  ASSERT_TRUE(WaitFor([&] { return Clicks == 1; }));
  EXPECT_EQ(B->Caption(), L"Перейти");
}

TEST(SkinnedControls, LabelIsTransparentAndFollowsTheSkinColourByDefault) {
  TShownForm F;
  auto* L = new TsLabel(F.Form);
  L->SetParent(F.Form);
  EXPECT_TRUE(L->Transparent());
  EXPECT_TRUE(L->UseSkinColor());
  EXPECT_EQ(L->SkinSection(), "");
  L->SetSkinSection("Panel");
  EXPECT_EQ(L->SkinSection(), "Panel");
  EXPECT_EQ(GetStrProp(L, "SkinSection"), "Panel");
  EXPECT_EQ(GetEnumProp(L, "UseSkinColor"), "True");
  EXPECT_TRUE(L->InheritsFromName("TCustomLabel"));
}

TEST(SkinManager, CompletesItsSettingsWhenLoadedAndLoadsNoSkin) {
  TsSkinManager M(nullptr);
  EXPECT_EQ(M.SkinInfo(), "N/A");
  EXPECT_FALSE(M.SkinActive());
  EXPECT_EQ(M.ThirdLists(tpButton)->Text(), "TButton\r\n");
  EXPECT_THROW(M.ThirdParty()->Texts(18), EListError);
  EXPECT_THROW(M.ThirdLists(-1), EListError);

  M.SetSkinDirectory("");
  M.ThirdParty()->SetThirdGrids("TNxGrid\r\nTOtherGrid");
  M.Loading();
  M.Loaded();
  EXPECT_EQ(M.SkinDirectory(), "c:\\Skins");
  EXPECT_EQ(M.MenuSupport()->IcoLineSkin(), "ICOLINE");
  ASSERT_EQ(M.ThirdLists(tpGrid)->Count(), 2);
  EXPECT_EQ(M.ThirdLists(tpGrid)->Strings(1), "TOtherGrid");
  // The lists go back as texts with a line end after each name.
  M.ThirdLists(tpPanel)->SetText("TPanel");
  M.UpdateThirdTexts();
  EXPECT_EQ(GetStrProp(M.ThirdParty(), "ThirdPanels"), "TPanel\r\n");
}

TEST(SkinManager, TheFirstManagerIsTheDefaultOne) {
  ASSERT_EQ(TsSkinManager::DefaultManager(), nullptr);
  auto* First = new TsSkinManager(nullptr);
  auto* Second = new TsSkinManager(nullptr);
  EXPECT_EQ(TsSkinManager::DefaultManager(), First);
  EXPECT_TRUE(First->IsDefault());
  EXPECT_FALSE(Second->IsDefault());
  delete First;
  EXPECT_EQ(TsSkinManager::DefaultManager(), nullptr);
  EXPECT_FALSE(Second->IsDefault());
  delete Second;
}
