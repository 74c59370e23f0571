// Menus whose owners go, or whose skin goes, while the system shows them: a form freed by a message
// that arrives while its popup menu paints, and the skin removed while a popup with an open
// submenu is tracked. Nothing freed is touched, and the program's thread goes on. A menu line
// clicked while its menus wait to be switched to owner drawing leaves no dead menu behind.
#include "skin_forms/menus_support.h"

#include <algorithm>
#include <functional>
#include "skin/forms/sSkinProvider.h"
#include "support/FreedMemoryGuard.h"
#include "support/RealInput.h"
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

// A new shown form (with a provider of its own when Provider) whose popup menu is AddPopup's.
TForm* ShownFormWithPopup(TsSkinManager* M, int Left, int Top, bool Provider, TPopupMenu*& Menu) {
  ClearMenuCache();
  TForm* Form = TCustomForm::Create<TForm>(nullptr);
  Form->SetBounds(Left, Top, 300, 200);
  if (Provider) new TsSkinProvider(Form);
  Menu = AddPopup(Form, Painter(M));
  uitest::ShowSettled(Form);
  return Form;
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
  TPopupMenu* Menu = nullptr;
  TForm* Form = ShownFormWithPopup(M.get(), 200, 200, false, Menu);
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
    TPopupMenu* Menu = nullptr;
    TForm* Form = ShownFormWithPopup(M.get(), 200, 200, true, Menu);
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

namespace {

// While a popup menu shows, a form with a main menu is made, and a real click lands on its first
// menu-line item; now and then the script ends whatever menu is open.
struct TBarScript {
  std::function<void()> MakeForm;
  HWND Bar = nullptr;
  int Ticks = 0;
  int Tracked = 0;  // ticks after the click with a menu shown and tracked
  int Ghosts = 0;   // ticks after the click with a menu shown and no menu loop
};
TBarScript Bar;

GUITHREADINFO GuiInfo() {
  GUITHREADINFO G{};
  G.cbSize = sizeof G;
  GetGUIThreadInfo(GetCurrentThreadId(), &G);
  return G;
}

void CALLBACK RunBarScript(HWND, UINT, UINT_PTR, DWORD) {
  ++Bar.Ticks;
  if (Bar.Ticks == 3) Bar.MakeForm();
  if (Bar.Ticks == 8 && Bar.Bar != nullptr) {
    RECT R{};
    GetWindowRect(Bar.Bar, &R);
    const POINT P{R.left + 40, R.top + GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME) + 10};
    INPUT In[3] = {realinput::ButtonAt(P, 0), realinput::ButtonAt(P, MOUSEEVENTF_LEFTDOWN),
                   realinput::ButtonAt(P, MOUSEEVENTF_LEFTUP)};
    SendInput(3, In, sizeof(INPUT));
  }
  if (Bar.Ticks > 8 && ShownMenuWindows() > 0) ++((GuiInfo().flags & GUI_INMENUMODE) != 0 ? Bar.Tracked : Bar.Ghosts);
  if (Bar.Ticks % 20 == 0) EndMenu();
}

}  // namespace

// The new form's menus are hooked while the popup's loop runs, so their switch to owner drawing
// waits for the loop's end; the click opens the menu line's first submenu before the system counts
// the new loop as running. A switch made then rebuilt the menu line under the system's tracking:
// the loop ended at once and left the submenu on the screen for good, a dead menu.
TEST(MenusLifetime, AClickOnAMenuLineWhileAPopupShowsLeavesNoMenuWithoutALoop) {
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  TPopupMenu* Menu = nullptr;
  TForm* Form = ShownFormWithPopup(M.get(), 500, 300, true, Menu);
  TForm* Other = nullptr;
  Bar = TBarScript{};
  Bar.MakeForm = [&] {
    Other = TCustomForm::Create<TForm>(nullptr);
    Other->SetBounds(100, 100, 360, 240);
    new TsSkinProvider(Other);
    auto* Main = new TMainMenu(Other);
    for (const wchar_t* C : {L"File", L"Edit"}) {
      auto* Top = new TMenuItem(Other);
      Top->SetCaption(WideString(C));
      for (const wchar_t* S : {L"One", L"Two"}) {
        auto* Sub = new TMenuItem(Other);
        Sub->SetCaption(WideString(S));
        Top->Add(Sub);
      }
      Main->Items()->Add(Top);
    }
    Other->SetMenu(Main);
    Other->Show();
    Bar.Bar = Other->Handle();
  };
  memguard::TFaultCount Faults;
  {
    watchdog::TWatchdog Watch("the menu-line test", 20, 0, false);
    const UINT_PTR Timer = SetTimer(nullptr, 0, 30, RunBarScript);
    Menu->Popup(560, 360);
    uitest::PumpFor(1500);
    KillTimer(nullptr, Timer);
  }
  EndMenu();
  uitest::PumpFor(200);
  EXPECT_GT(Bar.Tracked, 0) << "the menu line's submenu opened";
  EXPECT_EQ(Bar.Ghosts, 0);
  EXPECT_EQ(ShownMenuWindows(), 0);
  EXPECT_EQ(Faults.Count(), 0);
  delete Other;
  delete Form;
  DropPopupRequests();
}
