// Menus whose owners go, or whose skin goes, while the system shows them: a form freed by a message
// that arrives while its popup menu paints, and the skin removed while a popup with an open
// submenu is tracked. Nothing freed is touched, and the program's thread goes on.
#include "skin_forms/menus_support.h"
#include "support/FreedMemoryGuard.h"

using namespace menustest;

namespace {

void CALLBACK EndTracking(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }

// A form with a popup menu of a few items, one of them with a submenu, hooked for skinned drawing.
TPopupMenu* AddPopup(TForm* Form, TsSkinableMenus* P) {
  auto* Menu = new TPopupMenu(Form);
  for (const wchar_t* C : {L"Open", L"Sort by", L"-", L"Close"}) {
    auto* I = new TMenuItem(Form);
    I->SetCaption(WideString(C));
    Menu->Items()->Add(I);
  }
  for (const wchar_t* C : {L"Name", L"Group"}) {
    auto* I = new TMenuItem(Form);
    I->SetCaption(WideString(C));
    Menu->Items()->Items(1)->Add(I);
  }
  P->HookPopupMenu(Menu, true);
  Form->SetPopupMenu(Menu);
  return Menu;
}

}  // namespace

TEST(MenusLifetime, AFormFreedByAMessageHandledWhileItsPopupPaintsIsNotTouchedAgain) {
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  ClearMenuCache();
  TForm* Form = TCustomForm::Create<TForm>(nullptr);
  Form->SetBounds(200, 200, 300, 200);
  TPopupMenu* Menu = AddPopup(Form, Painter(M.get()));
  uitest::ShowSettled(Form);
  const int Forms = Screen->FormCount();
  // The form asks to be freed just before its menu opens: the request waits in the queue while
  // the system shows the menu and paints its items.
  memguard::TFaultCount Faults;
  const UINT_PTR Timer = SetTimer(nullptr, 0, 500, EndTracking);
  Form->Release();
  Menu->Popup(260, 260);
  KillTimer(nullptr, Timer);
  uitest::PumpFor(100);
  EXPECT_EQ(Screen->FormCount(), Forms - 1) << "the form was freed";
  EXPECT_EQ(Faults.Count(), 0);
  DropPopupRequests();
}
