// Menus whose owners go, or whose skin goes, while the system shows them: a form freed by a message
// that arrives while its popup menu paints, and the skin removed while a popup with an open
// submenu is tracked. Nothing freed is touched, and the program's thread goes on.
#include "skin_forms/menus_support.h"

#include <algorithm>
#include <functional>
#include "skin/forms/sSkinProvider.h"
#include "support/FreedMemoryGuard.h"
#include "support/Watchdog.h"

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

BOOL CALLBACK CountMenuWindow(HWND W, LPARAM P) {
  wchar_t C[16] = {};
  GetClassNameW(W, C, 16);
  if (lstrcmpW(C, L"#32768") == 0 && IsWindowVisible(W)) ++*reinterpret_cast<int*>(P);
  return TRUE;
}

// The menu windows on the screen.
int ShownMenuWindows() {
  int N = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountMenuWindow, reinterpret_cast<LPARAM>(&N));
  return N;
}

HWND TopMenuWindow() { return FindWindowW(L"#32768", nullptr); }

void PostKey(HWND W, WPARAM Vk) {
  PostMessageW(W, WM_KEYDOWN, Vk, 0);
  PostMessageW(W, WM_KEYUP, Vk, 0xC0000001);
}

// Opens the submenu of the popup's second item from the keyboard, then runs AtSubmenu once while
// both menus show; ends the menu a few ticks later.
struct TSubmenuScript {
  std::function<void()> AtSubmenu;
  int Ticks = 0;
  int MenusSeen = 0;
  int After = 0;
  bool Done = false;
};
TSubmenuScript Script;

void CALLBACK RunScript(HWND, UINT, UINT_PTR, DWORD) {
  ++Script.Ticks;
  const int Shown = ShownMenuWindows();
  Script.MenusSeen = std::max(Script.MenusSeen, Shown);
  if (Script.Ticks > 60 || (Script.Done && ++Script.After > 12)) {
    EndMenu();
    return;
  }
  if (Script.Done) {
    // The user goes on in the menus.
    static const WPARAM Keys[] = {VK_DOWN, VK_UP, VK_LEFT, VK_RIGHT, VK_DOWN};
    if (HWND W = TopMenuWindow()) PostKey(W, Keys[Script.After % 5]);
    return;
  }
  if (Shown >= 2) {
    Script.Done = true;
    Script.AtSubmenu();
  } else if (Shown == 1 && Script.Ticks == 3) {
    PostKey(TopMenuWindow(), VK_DOWN);
    PostKey(TopMenuWindow(), VK_DOWN);
    PostKey(TopMenuWindow(), VK_RIGHT);
  }
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

// The skin goes (and, in the second round, comes back) while a popup is tracked with its submenu
// open and the user goes on in the menus: the thread goes on (the menus being tracked are not
// rebuilt under the system's tracking), and once the loop has ended the menu is drawn as the skin
// then stands.
TEST(MenusLifetime, RemovingTheSkinWhileASubmenuIsOpenKeepsTheThreadGoing) {
  for (const bool BackOn : {false, true}) {
    SCOPED_TRACE(BackOn ? "off and on" : "off");
    std::unique_ptr<TsSkinManager> M = LoadedManager();
    ClearMenuCache();
    TForm* Form = TCustomForm::Create<TForm>(nullptr);
    Form->SetBounds(200, 200, 300, 200);
    new TsSkinProvider(Form);
    TPopupMenu* Menu = AddPopup(Form, Painter(M.get()));
    uitest::ShowSettled(Form);
    ASSERT_TRUE(Menu->OwnerDraw());
    Script = TSubmenuScript{};
    Script.AtSubmenu = [&] {
      M->SetActive(false);
      if (BackOn) M->SetActive(true);
    };
    memguard::TFaultCount Faults;
    {
      watchdog::TWatchdog Watch("the submenu test", 20, 0, false);
      const UINT_PTR Timer = SetTimer(nullptr, 0, 50, RunScript);
      Menu->Popup(260, 260);
      KillTimer(nullptr, Timer);
    }
    EXPECT_GE(Script.MenusSeen, 2) << "the submenu opened";
    EXPECT_TRUE(Script.Done);
    EXPECT_TRUE(uitest::WaitFor([&] { return Menu->OwnerDraw() == BackOn; }));
    EXPECT_EQ(Faults.Count(), 0);
    delete Form;
    DropPopupRequests();
  }
}
