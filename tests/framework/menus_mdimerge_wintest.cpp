// The MDI main form's menu bar shows the menu of its active child merged beside its own: by
// GroupIndex (a child's item replaces the bar's items of its group, others are placed by their
// group), commands of merged items reach them through the main form, and the bar gets its own
// items back when the child goes or another child without a menu is activated.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Forms.h"
#include "framework/Menus.h"
#include "support/UiTest.h"

namespace {

TMenuItem* AddItem(TMenuItem* Parent, TComponent* Owner, const wchar_t* Caption, Byte Group) {
  auto* I = new TMenuItem(Owner);
  I->SetCaption(WideString(Caption));
  I->SetGroupIndex(Group);
  Parent->Add(I);
  return I;
}

class TMergeMain : public TForm {
  T_CLASS(TMergeMain, TForm)

 public:
  using TForm::TForm;
  TMainMenu* Bar = nullptr;
  TMenuItem *File = nullptr, *Window = nullptr;

 protected:
  void InitializeComponents() override {
    SetFormStyle(fsMDIForm);
    SetBounds(100, 80, 500, 360);
    Bar = new TMainMenu(this);
    File = AddItem(Bar->Items(), this, L"&File", 0);
    AddItem(File, this, L"&Open", 0);
    Window = AddItem(Bar->Items(), this, L"&Window", 9);
    AddItem(Window, this, L"&Tile", 0);
    SetMenu(Bar);
  }
};

class TMergeChild : public TForm {
  T_CLASS(TMergeChild, TForm)

 public:
  using TForm::TForm;

 protected:
  void InitializeComponents() override {
    SetFormStyle(fsMDIChild);
    SetBounds(10, 10, 220, 150);
  }
};

// The captions of the menu bar's entries, in order.
std::vector<std::wstring> BarCaptions(HWND Form) {
  std::vector<std::wstring> R;
  HMENU M = GetMenu(Form);
  for (int I = 0; M != nullptr && I < GetMenuItemCount(M); ++I) {
    wchar_t Text[64] = {};
    GetMenuStringW(M, static_cast<UINT>(I), Text, 63, MF_BYPOSITION);
    R.push_back(Text);
  }
  return R;
}

}  // namespace

TEST(MDIMenuMerge, TheActiveChildsMenuShowsInTheMainFormsBar) {
  ASSERT_EQ(Application->MainForm(), nullptr) << "the test makes its own main form";
  TMergeMain* Main = nullptr;
  Application->CreateForm(Main);
  ASSERT_EQ(Application->MainForm(), Main);
  uitest::ShowSettled(Main);
  EXPECT_EQ(BarCaptions(Main->Handle()), (std::vector<std::wstring>{L"&File", L"&Window"}));

  // A child with a menu: "Edit" of group 1 goes between File and Window, "Tools" of group 9
  // takes Window's place.
  auto* Child = TCustomForm::Create<TMergeChild>(nullptr);
  auto* ChildMenu = new TMainMenu(Child);
  TMenuItem* Edit = AddItem(ChildMenu->Items(), Child, L"&Edit", 1);
  TMenuItem* Cut = AddItem(Edit, Child, L"Cu&t", 0);
  AddItem(ChildMenu->Items(), Child, L"T&ools", 9);
  int Cuts = 0;
  Cut->OnClick = [&Cuts](TObject*) { ++Cuts; };
  Child->SetMenu(ChildMenu);
  Child->Show();
  uitest::Pump();
  ASSERT_EQ(Main->ActiveMDIChild(), Child);
  EXPECT_EQ(Main->Bar->Merged(), ChildMenu);
  EXPECT_EQ(BarCaptions(Main->Handle()), (std::vector<std::wstring>{L"&File", L"&Edit", L"T&ools"}));
  // The merged item's command reaches it through the main form.
  SendMessageW(Main->Handle(), WM_COMMAND, MAKEWPARAM(Cut->Command(), 0), 0);
  EXPECT_EQ(Cuts, 1);
  EXPECT_EQ(Main->Bar->FindItem(Cut->Command(), fkCommand), Cut);

  // Another child without a menu becomes active: the bar has its own items again.
  auto* Plain = TCustomForm::Create<TMergeChild>(nullptr);
  Plain->Show();
  uitest::Pump();
  ASSERT_EQ(Main->ActiveMDIChild(), Plain);
  EXPECT_EQ(Main->Bar->Merged(), nullptr);
  EXPECT_EQ(BarCaptions(Main->Handle()), (std::vector<std::wstring>{L"&File", L"&Window"}));
  // Back to the child with the menu, then the child goes.
  SendMessageW(Main->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(Child->Handle()), 0);
  uitest::Pump();
  EXPECT_EQ(Main->Bar->Merged(), ChildMenu);
  delete Child;
  uitest::Pump();
  EXPECT_EQ(Main->Bar->Merged(), nullptr);
  EXPECT_EQ(BarCaptions(Main->Handle()), (std::vector<std::wstring>{L"&File", L"&Window"}));
  delete Plain;
  delete Main;
  uitest::Pump();
  EXPECT_EQ(Application->MainForm(), nullptr);
}
