// Lifetimes of window adapters: a window is never adapted twice (a plain window adapted twice
// would route its messages to itself without end), and an adapter that lets go of a window puts
// back only its own procedure.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "skin/controls/acMoreAdapters.h"
#include "skin/controls/acScrollAdapters.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin_forms/dlg_support.h"

namespace {

class LifetimeAdapters : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCommonControls();
    Skin = std::make_unique<dlgtest::THookedSkin>();
    ASSERT_TRUE(Skin->Manager->SkinActive());
  }
  void TearDown() override {
    for (HWND W : Windows)
      if (IsWindow(W)) DestroyWindow(W);
    uitest::Pump();
    Skin.reset();
  }
  HWND Open(const dlgtest::TTemplate& T, DLGPROC Proc = dlgtest::TestDlgProc) {
    HWND W = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), T.Get(), nullptr, Proc, 0);
    Windows.push_back(W);
    SetForegroundWindow(W);
    uitest::Settle(W);
    return W;
  }
  std::unique_ptr<dlgtest::THookedSkin> Skin;
  std::vector<HWND> Windows;
};

// Fills the simple combo box (id 201) and gives the narrow tab control (id 202) more tabs than it
// shows, so that it makes its arrows (an up-down child), before the dialog is first shown.
INT_PTR CALLBACK FilledDlgProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_INITDIALOG) {
    for (const wchar_t* S : {L"one", L"two", L"three"})
      SendDlgItemMessageW(Wnd, 201, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(S));
    for (int I = 0; I < 12; ++I) {
      wchar_t Text[16];
      wsprintfW(Text, L"Page %d", I);
      TCITEMW Item{};
      Item.mask = TCIF_TEXT;
      Item.pszText = Text;
      SendDlgItemMessageW(Wnd, 202, TCM_INSERTITEMW, I, reinterpret_cast<LPARAM>(&Item));
    }
    return TRUE;
  }
  return dlgtest::TestDlgProc(Wnd, Msg, WParam, LParam);
}

}  // namespace

// The dialog hook adapts a simple combo box's list and a tab control's arrows as children of the
// dialog; the combo box's and the tab control's adapters then find them skinned and take them as
// they are.
TEST_F(LifetimeAdapters, ChildrenTheDialogHookAdaptedAreNotAdaptedAgain) {
  dlgtest::TTemplate T(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME, 220, 130, L"Twice");
  T.Add({0x85, L"", CBS_SIMPLE | WS_VSCROLL, 10, 10, 90, 70, 201, L""});
  T.Add({0, WC_TABCONTROLW, 0, 110, 10, 80, 60, 202, L""});
  HWND W = Open(T, FilledDlgProc);
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  HWND Combo = GetDlgItem(W, 201);
  HWND Tabs = GetDlgItem(W, 202);
  HWND List = FindWindowExW(Combo, nullptr, L"ComboLBox", nullptr);
  HWND Arrows = FindWindowExW(Tabs, nullptr, UPDOWN_CLASSW, nullptr);
  ASSERT_NE(List, nullptr);
  ASSERT_NE(Arrows, nullptr);
  TacMainWnd* ListAdapter = GetWndAdapter(List);
  TacMainWnd* ArrowsAdapter = GetWndAdapter(Arrows);
  ASSERT_NE(ListAdapter, nullptr);
  ASSERT_NE(ArrowsAdapter, nullptr);
  auto* ComboAdapter = dynamic_cast<TacComboBoxWnd*>(GetWndAdapter(Combo));
  auto* TabAdapter = dynamic_cast<TacTabControlWnd*>(GetWndAdapter(Tabs));
  ASSERT_NE(ComboAdapter, nullptr);
  ASSERT_NE(TabAdapter, nullptr);

  // Everything paints: the combo box colours its list, the tab control looks for its arrows.
  RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  uitest::Pump();
  SendMessageW(List, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  SendMessageW(Arrows, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(GetWndAdapter(List), ListAdapter);
  EXPECT_EQ(GetWndAdapter(Arrows), ArrowsAdapter);
  EXPECT_EQ(ComboAdapter->ListAdapter, nullptr);
  EXPECT_EQ(TabAdapter->UpDown, nullptr);
  EXPECT_EQ(SendMessageW(Combo, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(Tabs, TCM_GETITEMCOUNT, 0, 0), 12);
  DestroyWindow(W);
  uitest::Pump();
}

// A plain window adapted a second time keeps its first adapter: the second stays detached and
// the window's messages reach the first once each.
TEST_F(LifetimeAdapters, APlainWindowAdaptedTwiceKeepsItsFirstAdapter) {
  HWND Parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 50, 50, 200, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  Windows.push_back(Parent);
  HWND Edit = CreateWindowExW(0, L"EDIT", L"text", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 120, 24, Parent,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  const LONG_PTR Original = GetWindowLongPtrW(Edit, GWLP_WNDPROC);
  auto* First = TacMainWnd::Create<TacEditWnd>(Edit, nullptr, Skin->Manager.get(), "EDIT");
  auto* Second = TacMainWnd::Create<TacEditWnd>(Edit, nullptr, Skin->Manager.get(), "EDIT");
  auto* Scroll = TacMainWnd::Create<TacScrollWnd>(Edit, nullptr, Skin->Manager.get(), "EDIT");
  EXPECT_TRUE(Second->Destroyed);
  EXPECT_TRUE(Scroll->Destroyed);
  EXPECT_EQ(GetWndAdapter(Edit), First);
  SendMessageW(Edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"once"));
  RedrawWindow(Edit, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Pump();
  EXPECT_EQ(SendSkinCommand(Edit, AC_ISSKINNED, 0), 1);
  delete Second;
  delete Scroll;
  EXPECT_EQ(GetWndAdapter(Edit), First);
  EXPECT_EQ(SendSkinCommand(Edit, AC_ISSKINNED, 0), 1);
  delete First;
  EXPECT_EQ(GetWindowLongPtrW(Edit, GWLP_WNDPROC), Original);
  EXPECT_EQ(GetWndAdapter(Edit), nullptr);
  wchar_t Text[16] = {};
  GetWindowTextW(Edit, Text, 16);
  EXPECT_STREQ(Text, L"once");
}

namespace {

// A later subclasser of a window: counts what it sees and passes everything on.
WNDPROC LaterPrevious = nullptr;
int LaterSeen = 0;
LRESULT CALLBACK LaterProc(HWND W, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_APP + 7) ++LaterSeen;
  return CallWindowProcW(LaterPrevious, W, Msg, WParam, LParam);
}

}  // namespace

// An adapter that lets go of a plain window another party subclassed after it keeps that party in
// the chain, and the window's own procedure keeps working when that party lets go too, and when a
// new adapter comes.
TEST_F(LifetimeAdapters, LettingGoUnderALaterSubclasserKeepsItInTheChain) {
  HWND Parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 50, 50, 300, 200, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  Windows.push_back(Parent);
  HWND Edit = CreateWindowExW(0, L"EDIT", L"text", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 120, 24, Parent,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  HWND List = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 10, 50, 200, 100, Parent,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  LVCOLUMNW Col{};
  Col.mask = LVCF_TEXT | LVCF_WIDTH;
  Col.cx = 80;
  Col.pszText = const_cast<wchar_t*>(L"Name");
  SendMessageW(List, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&Col));
  HWND Header = reinterpret_cast<HWND>(SendMessageW(List, LVM_GETHEADER, 0, 0));
  ASSERT_NE(Header, nullptr);
  const LONG_PTR EditOriginal = GetWindowLongPtrW(Edit, GWLP_WNDPROC);
  SendMessageW(Edit, EM_LIMITTEXT, 77, 0);
  // The edit's own procedure answers this; the default procedure would answer 0.
  auto Limit = [&] { return SendMessageW(Edit, EM_GETLIMITTEXT, 0, 0); };

  for (HWND W : {Edit, Header}) {
    SCOPED_TRACE(W == Edit ? "adapted edit" : "list view's header");
    TacMainWnd* A = W == Edit ? static_cast<TacMainWnd*>(TacMainWnd::Create<TacEditWnd>(Edit, nullptr, Skin->Manager.get(), "EDIT"))
                              : static_cast<TacMainWnd*>(TacMainWnd::Create<TacListViewWnd>(List, nullptr, Skin->Manager.get(), "EDIT"));
    // Another party subclasses the window after the adapter.
    LaterPrevious = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(W, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterProc)));
    LaterSeen = 0;
    delete A;
    SendMessageW(W, WM_APP + 7, 0, 0);
    EXPECT_EQ(LaterSeen, 1) << "the later subclasser was cut out";
    EXPECT_EQ(GetWindowLongPtrW(W, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&LaterProc));
    EXPECT_EQ(Limit(), 77);
    RedrawWindow(Parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    uitest::Pump();
    if (W == Edit) {
      // A new adapter takes the old one's place in the chain, under the later subclasser.
      A = TacMainWnd::Create<TacEditWnd>(Edit, nullptr, Skin->Manager.get(), "EDIT");
      EXPECT_EQ(SendSkinCommand(Edit, AC_ISSKINNED, 0), 1);
      SendMessageW(W, WM_APP + 7, 0, 0);
      EXPECT_EQ(LaterSeen, 2);
      EXPECT_EQ(Limit(), 77);
      delete A;
      EXPECT_NE(SendSkinCommand(Edit, AC_ISSKINNED, 0), 1);
    }
    // The later subclasser lets go too, putting back what it found.
    SetWindowLongPtrW(W, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LaterPrevious));
    EXPECT_EQ(Limit(), 77);
    SendMessageW(W, WM_APP + 7, 0, 0);
    EXPECT_EQ(LaterSeen, W == Edit ? 2 : 1);
  }
  // A later adapter of the edit restores the window's own procedure when it lets go on top.
  auto* A = TacMainWnd::Create<TacEditWnd>(Edit, nullptr, Skin->Manager.get(), "EDIT");
  delete A;
  EXPECT_EQ(GetWindowLongPtrW(Edit, GWLP_WNDPROC), EditOriginal);
  EXPECT_EQ(Limit(), 77);
  DestroyWindow(Parent);
  uitest::Pump();
}
