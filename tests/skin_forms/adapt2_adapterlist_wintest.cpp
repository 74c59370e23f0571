// The form control adapter list: which controls get which adapter, keeping in step with controls
// added, recreated and destroyed, and letting go of everything on skin removal.
#include <gtest/gtest.h>

#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "skin/controls/acMoreAdapters.h"
#include "skin/controls/acScrollAdapters.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/controls/sFrameAdapter.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin/forms/sFormAdapters.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/adapt2_support.h"

using namespace adapt2;

namespace {

// A framework edit of its own class (not listed unless its own name is).
class TMyEdit : public TEdit {
  T_CLASS(TMyEdit, TEdit)

 public:
  using TEdit::TEdit;
};

template <class T>
T* AddControl(TWinControl* Parent, int X, int Y, int W = 100, int H = 24) {
  auto* C = new T(Parent);
  C->SetParent(Parent);
  C->SetBounds(X, Y, W, H);
  return C;
}

bool Answers7(TControl* C) { return (AskControl(C, AC_ISSKINNED) & 0xFF) != 0; }

class Adapt2AdapterList : public ::testing::Test {
 protected:
  std::unique_ptr<TsSkinManager> M = LoadProgramSkin();
  TTestForm F;
};

}  // namespace

TEST_F(Adapt2AdapterList, NothingIsAdaptedWithoutTheThirdPartyRule) {
  ASSERT_TRUE(M->SkinData()->Active);
  SetList(*M, tpEdit, "TEdit");
  auto* E = AddControl<TEdit>(F.Form, 10, 10);
  F.Show();
  M->SetSkinningRules(TacSkinningRules{srStdForms, srStdDialogs});
  TacCtrlAdapter L(nullptr);
  L.AddAllItems(F.Form);
  EXPECT_EQ(L.Count(), 0);
  EXPECT_FALSE(Answers7(E));
  M->SetSkinningRules(TacSkinningRules{srStdForms, srStdDialogs, srThirdParty});
  L.AddAllItems(F.Form);
  EXPECT_EQ(L.Count(), 1);
  EXPECT_TRUE(Answers7(E));
}

TEST_F(Adapt2AdapterList, ClassNamesPickTheAdapterExactlyAndTheLowerListWins) {
  SetList(*M, tpEdit, "TEdit\r\nTPanel");
  SetList(*M, tpPanel, "TPanel");
  SetList(*M, tpStatusBar, "TCheckBox");  // a kind whose adapter the control does not fit is still chosen by name
  auto* E = AddControl<TEdit>(F.Form, 10, 10);
  auto* Mine = AddControl<TMyEdit>(F.Form, 10, 40);
  auto* P = AddControl<TPanel>(F.Form, 10, 80, 150, 60);
  auto* Skipped = AddControl<TEdit>(F.Form, 10, 150);
  Skipped->SetTag(-98);
  F.Show();
  TacCtrlAdapter L(nullptr);
  L.AddAllItems(nullptr);  // no provider and no control: nothing
  EXPECT_EQ(L.Count(), 0);
  L.AddAllItems(F.Form);
  ASSERT_NE(L.ItemOf(E), nullptr);
  EXPECT_NE(dynamic_cast<TacEditWnd*>(L.ItemOf(E)->ScrollWnd), nullptr);
  // The panel stands in list 0 before list 8: it gets the edit adapter.
  ASSERT_NE(L.ItemOf(P), nullptr);
  EXPECT_STREQ(L.ItemOf(P)->ScrollWnd->ClassName(), "TacEditWnd");
  EXPECT_EQ(L.ItemOf(Mine), nullptr);
  EXPECT_FALSE(Answers7(Mine));
  EXPECT_EQ(L.ItemOf(Skipped), nullptr);
  EXPECT_EQ(L.Count(), 2);
  // Adapting again adds nothing: adapted controls answer "skinned".
  L.AddAllItems(F.Form);
  EXPECT_EQ(L.Count(), 2);
  EXPECT_EQ(ThirdPartyKindOf(M.get(), "TMyEdit"), -1);
  EXPECT_EQ(ThirdPartyKindOf(M.get(), "tedit"), -1);  // names compare case-sensitively
  EXPECT_EQ(ThirdPartyKindOf(nullptr, "TEdit"), -1);
}

TEST_F(Adapt2AdapterList, ControlsInsideContainersAreReachedAndEachOnlyOnce) {
  SetList(*M, tpEdit, "TEdit");
  SetList(*M, tpPanel, "TPanel");
  auto* P = AddControl<TPanel>(F.Form, 10, 10, 200, 120);
  auto* Inner = AddControl<TPanel>(P, 10, 10, 150, 80);
  auto* E = new TEdit(F.Form);  // owned by the form, parented deep inside
  E->SetParent(Inner);
  E->SetBounds(5, 5, 80, 22);
  F.Show();
  TacCtrlAdapter L(nullptr);
  L.AddAllItems(F.Form);
  EXPECT_EQ(L.Count(), 3);
  ASSERT_NE(L.ItemOf(Inner), nullptr);
  EXPECT_NE(dynamic_cast<TacPanelWnd*>(L.ItemOf(Inner)->ScrollWnd), nullptr);
  EXPECT_NE(L.ItemOf(E), nullptr);
  EXPECT_EQ(GetWndAdapter(E->Handle()), L.ItemOf(E)->ScrollWnd);
}

TEST_F(Adapt2AdapterList, KeepsInStepWithControlsAddedRecreatedAndDestroyed) {
  SetList(*M, tpEdit, "TEdit");
  auto* A = AddControl<TEdit>(F.Form, 10, 10);
  F.Show();
  TacCtrlAdapter L(nullptr);
  L.AddAllItems(F.Form);
  ASSERT_EQ(L.Count(), 1);

  // Added later: the next AddNewItem adapts it.
  auto* B = AddControl<TEdit>(F.Form, 10, 40);
  B->HandleNeeded();
  L.AddNewItem(B);
  EXPECT_EQ(L.Count(), 2);
  EXPECT_TRUE(Answers7(B));

  // A recreated window leaves a detached adapter behind; AddNewItem replaces it in the same item.
  TacMainWnd* Old = L.ItemOf(B)->ScrollWnd;
  B->RecreateWnd();
  B->HandleNeeded();
  uitest::Pump();
  ASSERT_TRUE(Old->Destroyed);
  EXPECT_FALSE(Answers7(B));
  L.AddNewItem(B);
  EXPECT_EQ(L.Count(), 2);
  ASSERT_NE(L.ItemOf(B)->ScrollWnd, nullptr);
  EXPECT_FALSE(L.ItemOf(B)->ScrollWnd->Destroyed);
  EXPECT_TRUE(Answers7(B));
  EXPECT_EQ(GetWndAdapter(B->Handle()), L.ItemOf(B)->ScrollWnd);

  // Two destroyed controls side by side: one CleanItems drops both, the order of the rest kept.
  auto* C = AddControl<TEdit>(F.Form, 10, 70);
  C->HandleNeeded();
  L.AddNewItem(C);
  ASSERT_EQ(L.Count(), 3);
  delete A;
  delete B;
  uitest::Pump();
  L.CleanItems();
  ASSERT_EQ(L.Count(), 1);
  EXPECT_EQ(L.GetItem(0)->Ctrl, C);
  EXPECT_EQ(L.GetItem(1), nullptr);
  EXPECT_EQ(L.GetItem(-1), nullptr);
  L.Remove(5);  // out of range: nothing
  EXPECT_EQ(L.Count(), 1);
  L.Remove(0);
  EXPECT_EQ(L.Count(), 0);
  EXPECT_FALSE(Answers7(C));
}

TEST_F(Adapt2AdapterList, RemoveMovesTheLastItemIntoThePlace) {
  SetList(*M, tpEdit, "TEdit");
  TEdit* E[3];
  for (int I = 0; I < 3; ++I) E[I] = AddControl<TEdit>(F.Form, 10, 10 + 30 * I);
  F.Show();
  TacCtrlAdapter L(nullptr);
  for (TEdit* X : E) L.AddNewItem(X);
  ASSERT_EQ(L.Count(), 3);
  L.Remove(0);
  ASSERT_EQ(L.Count(), 2);
  EXPECT_EQ(L.GetItem(0)->Ctrl, E[2]);
  EXPECT_EQ(L.GetItem(1)->Ctrl, E[1]);
  EXPECT_FALSE(Answers7(E[0]));
}

TEST_F(Adapt2AdapterList, SkinRemovalReachesTheControlsAndFreeingTheListGivesThemBack) {
  SetList(*M, tpEdit, "TEdit");
  auto* E = AddControl<TEdit>(F.Form, 10, 10);
  int OwnCalls = 0;
  E->SetWindowProc([E, &OwnCalls, Prev = E->WindowProc()](TMessage& Msg) {
    if (Msg.Msg == SM_ALPHACMD && AlphaCmdCode(Msg.WParam) == AC_SKINREMOVED) ++OwnCalls;
    Prev(Msg);
  });
  F.Show();
  auto* L = new TacCtrlAdapter(nullptr);
  L->AddAllItems(F.Form);
  ASSERT_EQ(L->Count(), 1);
  TMessage Msg{SM_ALPHACMD, MAKEWPARAM(0, AC_SKINREMOVED), reinterpret_cast<LPARAM>(M.get()), 0};
  L->WndProc(Msg);
  EXPECT_EQ(OwnCalls, 1);  // through the adapter to the control's own procedure
  delete L;
  EXPECT_FALSE(Answers7(E));
  EXPECT_EQ(GetWndAdapter(E->Handle()), nullptr);
  // The control's procedure chain works as before.
  SendMessageW(E->Handle(), SM_ALPHACMD, MAKEWPARAM(0, AC_SKINREMOVED), reinterpret_cast<LPARAM>(M.get()));
  EXPECT_EQ(OwnCalls, 2);
}

TEST_F(Adapt2AdapterList, LabelsTakeTheSkinsFontColourUnlessTagged98) {
  auto* L1 = new TLabel(F.Form);
  L1->SetParent(F.Form);
  L1->SetCaption(L"one");
  auto* L2 = new TLabel(F.Form);
  L2->SetParent(F.Form);
  L2->SetCaption(L"two");
  L2->SetTag(98);
  L2->Font()->SetColor(clRed);
  L1->SetTransparent(false);
  L2->SetTransparent(false);
  F.Show();
  TacCtrlAdapter L(nullptr);
  L.AddAllItems(F.Form);
  EXPECT_TRUE(L1->Transparent());
  EXPECT_EQ(ColorToRGB(L1->Font()->Color()), static_cast<TColor>(M->GetGlobalFontColor()));
  EXPECT_FALSE(L2->Transparent());
  EXPECT_EQ(L2->Font()->Color(), clRed);
  EXPECT_EQ(L.Count(), 0);  // labels hold no items
}

TEST_F(Adapt2AdapterList, TheProvidersEventVetoesAndNamesTheSection) {
  SetList(*M, tpPanel, "TPanel");
  F.Show();
  auto* Prov = new TsSkinProvider(F.Form);
  uitest::Pump();
  TPanel* Vetoed = nullptr;
  TPanel* Named = nullptr;
  Prov->OnSkinItem = [&](TComponent* Item, bool& CanBeAdded, AnsiString& Section) {
    if (Item != nullptr && Item == Vetoed) CanBeAdded = false;
    if (Item != nullptr && Item == Named) Section = "PANEL_LOW";
  };
  // Known to the event before they join the form: the provider's own list asks at once.
  Vetoed = new TPanel(F.Form);
  Named = new TPanel(F.Form);
  for (TPanel* P : {Vetoed, Named}) {
    P->SetParent(F.Form);
    P->SetBounds(10, P == Vetoed ? 10 : 70, 100, 50);
  }
  Vetoed->HandleNeeded();
  Named->HandleNeeded();
  uitest::Pump();
  TacCtrlAdapter L(Prov);
  L.AddNewItem(Vetoed);
  L.AddNewItem(Named);
  // The provider may run a list of its own: the item is in one of the two.
  TacAdapterItem* Item = L.ItemOf(Named);
  if (Item == nullptr && Prov->Adapter != nullptr) Item = Prov->Adapter->ItemOf(Named);
  EXPECT_FALSE(Answers7(Vetoed));
  ASSERT_NE(Item, nullptr);
  EXPECT_EQ(Item->SkinData->SkinSection(), "PANEL_LOW");
  ASSERT_NE(Item->ScrollWnd, nullptr);
  EXPECT_EQ(Item->ScrollWnd->SkinData, Item->SkinData);
  Prov->OnSkinItem = nullptr;
  L.RemoveAllItems();
  delete Prov;
}

TEST_F(Adapt2AdapterList, EachKindGetsItsAdapterClass) {
  class TMyButton : public TButton {
    T_CLASS(TMyButton, TButton)

   public:
    using TButton::TButton;
  };
  M->UpdateThirdNames(true);  // the defaults: only "TButton" is listed
  SetList(*M, tpCheckBox, "TCheckBox");
  SetList(*M, tpPanel, "TPanel");
  auto* B = AddControl<TButton>(F.Form, 10, 10);
  auto* Mine = AddControl<TMyButton>(F.Form, 10, 40);
  auto* C = AddControl<TCheckBox>(F.Form, 10, 70);
  auto* P = AddControl<TPanel>(F.Form, 150, 10, 120, 80);
  F.Show();
  TacCtrlAdapter L(nullptr);
  L.AddAllItems(F.Form);
  ASSERT_NE(L.ItemOf(B), nullptr);
  EXPECT_STREQ(L.ItemOf(B)->ScrollWnd->ClassName(), "TacBtnWnd");
  EXPECT_EQ(L.ItemOf(Mine), nullptr);
  ASSERT_NE(L.ItemOf(C), nullptr);
  EXPECT_STREQ(L.ItemOf(C)->ScrollWnd->ClassName(), "TacCheckBoxWnd");
  ASSERT_NE(L.ItemOf(P), nullptr);
  EXPECT_STREQ(L.ItemOf(P)->ScrollWnd->ClassName(), "TacPanelWnd");
  // The panel's section follows its bevels (raised: "PANEL"); the form shows it.
  EXPECT_EQ(L.ItemOf(P)->SkinData->SkinSection(), "PANEL");
  RedrawWindow(F.Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  uitest::Pump();
  const uitest::TCapture Shot(F.Form->Handle());
  Shot.MaybeSave("adapt2_form_items");
  EXPECT_TRUE(Near(Shot.Pixel(150 + 60, 10 + 60), PanelColor)) << std::hex << Shot.Pixel(210, 70);
}

TEST_F(Adapt2AdapterList, FramesGetAFrameAdapterOfTheirOwn) {
  auto* Fr = new TScrollingWinControl(F.Form);
  Fr->SetParent(F.Form);
  Fr->SetBounds(10, 10, 200, 120);
  auto* E = new TEdit(F.Form);
  E->SetParent(Fr);
  E->SetBounds(5, 5, 80, 22);
  SetList(*M, tpEdit, "TEdit");
  F.Show();
  TacCtrlAdapter L(nullptr);
  L.AddAllItems(F.Form);
  EXPECT_TRUE(Answers7(Fr));
  ASSERT_EQ(Fr->ComponentCount(), 1);
  auto* FA = dynamic_cast<TsFrameAdapter*>(Fr->Components(0));
  ASSERT_NE(FA, nullptr);
  EXPECT_EQ(FA->SkinData()->SkinSection(), "GROUPBOX");
  EXPECT_EQ(L.ItemOf(Fr), nullptr);  // no item for the frame
  EXPECT_NE(L.ItemOf(E), nullptr);   // its children are adapted as usual
  L.AddAllItems(F.Form);
  EXPECT_EQ(Fr->ComponentCount(), 1);  // adapted once
}
