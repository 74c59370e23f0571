// The keyboard way into the main menu of a skinned MDI form: Alt with a letter and F10, pressed
// for real while a skinned child (or a control on it) has the focus, open the main form's menu.
#include <gtest/gtest.h>

#include "framework/StdCtrls.h"
#include "skin_forms/provc_support.h"

using namespace provctest;

namespace {

// The window that a menu loop was entered for (WM_ENTERMENULOOP sent to it), whether a
// drop-down menu was open when the loop was ended, and whether it was ended.
HWND GMenuLoopOwner = nullptr;
bool GDropDownShown = false;
bool GMenuEnded = false;

// Ticks until the keys have started a menu loop (on a busy machine they may come late), then looks
// at it from inside and ends it: the keys that the loop was started with come before a tick.
void CALLBACK LookAndEndMenu(HWND, UINT, UINT_PTR Id, DWORD) {
  if (GMenuLoopOwner == nullptr) return;
  KillTimer(nullptr, Id);
  HWND Popup = FindWindowW(L"#32768", nullptr);
  GDropDownShown = Popup != nullptr && IsWindowVisible(Popup);
  EndMenu();
  GMenuEnded = true;
}

LRESULT CALLBACK WatchMenuLoop(int Code, WPARAM W, LPARAM L) {
  const auto* M = reinterpret_cast<const CWPSTRUCT*>(L);
  if (Code == HC_ACTION && M->message == WM_ENTERMENULOOP) GMenuLoopOwner = M->hwnd;
  return CallNextHookEx(nullptr, Code, W, L);
}

void SendKeys(std::initializer_list<std::pair<WORD, bool>> Keys) {
  std::vector<INPUT> In;
  for (const auto& K : Keys) {
    INPUT I{};
    I.type = INPUT_KEYBOARD;
    I.ki.wVk = K.first;
    I.ki.dwFlags = K.second ? 0 : KEYEVENTF_KEYUP;
    In.push_back(I);
  }
  SendInput(static_cast<UINT>(In.size()), In.data(), sizeof(INPUT));
}

// Presses the keys for real and answers the window whose menu loop they started (a timer looks
// at the loop and ends it).
HWND MenuLoopOf(std::initializer_list<std::pair<WORD, bool>> Keys) {
  GMenuLoopOwner = nullptr;
  GDropDownShown = GMenuEnded = false;
  HHOOK Hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchMenuLoop, nullptr, GetCurrentThreadId());
  const UINT_PTR T = SetTimer(nullptr, 0, 100, LookAndEndMenu);
  SendKeys(Keys);
  uitest::WaitFor([] { return GMenuEnded; }, 10000);
  KillTimer(nullptr, T);
  UnhookWindowsHookEx(Hook);
  EndMenu();
  uitest::Pump();
  return GMenuLoopOwner;
}

}  // namespace

TEST(mdikeys_Child, AltLetterAndF10FromAFocusedChildOpenTheMainMenu) {
  memguard::TFaultCount Faults;
  TMDIHost H;
  REQUIRE_MDI_HOST(H);
  TEdit* Edit = nullptr;
  TMDIChildForm* WithEdit = H.AddChild(L"With an edit", [&](TMDIChildForm* C) {
    Edit = new TEdit(C);
    Edit->SetParent(C);
    Edit->SetBounds(10, 10, 120, 22);
  });
  TMDIChildForm* Bare = H.AddChild(L"Bare");
  H.Main->MainMenu->Items()->Items(0)->SetCaption(WideString(L"&File"));
  HWND Main = H.Main->Handle();
  for (TMDIChildForm* C : {Bare, WithEdit}) {
    SCOPED_TRACE(C == Bare ? "the child itself focused" : "an edit on the child focused");
    ASSERT_TRUE(realinput::BringToFront(Main));
    C->BringToFront();
    uitest::PumpFor(50);
    HWND Focus = C == Bare ? C->Handle() : Edit->Handle();
    SetFocus(Focus);
    uitest::PumpFor(50);
    ASSERT_EQ(GetFocus(), Focus);
    EXPECT_EQ(MenuLoopOf({{VK_MENU, true}, {'F', true}, {'F', false}, {VK_MENU, false}}), Main) << "Alt+F";
    EXPECT_TRUE(GDropDownShown) << "Alt+F drops the File menu down";
    SetFocus(Focus);
    uitest::PumpFor(50);
    EXPECT_EQ(MenuLoopOf({{VK_F10, true}, {VK_F10, false}}), Main) << "F10";
  }
  // A maximised child too.
  H.Maximize(Bare);
  SetFocus(Bare->Handle());
  uitest::PumpFor(50);
  EXPECT_EQ(MenuLoopOf({{VK_MENU, true}, {'F', true}, {'F', false}, {VK_MENU, false}}), Main) << "Alt+F, maximised";
  EXPECT_TRUE(GDropDownShown);
  EXPECT_EQ(Faults.Count(), 0);
}
