// The window adapter base: taking a window over and giving it back, the "ACSBSC" property, the
// skinned-already probe and the shared answers of the skin command message.
#include <gtest/gtest.h>

#include "framework/Exceptions.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/core/sCommonData.h"
#include "skin_controls/adapt_support.h"

namespace {

class AdaptAdapter : public ::testing::Test {
 protected:
  void SetUp() override {
    InitAdapterUnit();
    Manager = ownctl::LoadProgramSkin();
    ASSERT_TRUE(Manager->SkinActive());
    Wnd = Host.Child(adapt::RecordingClass(), L"start", 0, 10, 10, 120, 60);
    adapt::Log().clear();
  }
  void TearDown() override { DoneAdapterUnit(); }
  std::unique_ptr<TsSkinManager> Manager;
  adapt::THost Host;
  HWND Wnd = nullptr;
};

TEST_F(AdaptAdapter, PlainWindowIsTakenOverAndGivenBack) {
  const LONG_PTR Before = GetWindowLongPtrW(Wnd, GWLP_WNDPROC);
  EXPECT_EQ(adapt::AlphaCmd(Wnd, AC_ISSKINNED), 0);

  TacMainWnd* A = TacMainWnd::Create<TacMainWnd>(Wnd, nullptr, Manager.get(), "panel");
  EXPECT_NE(GetWindowLongPtrW(Wnd, GWLP_WNDPROC), Before);
  EXPECT_EQ(GetWndAdapter(Wnd), A);
  EXPECT_EQ(GetPropA(Wnd, "ACSBSC"), reinterpret_cast<HANDLE>(A));
  EXPECT_TRUE(A->OwnSkinData);
  EXPECT_EQ(A->SkinData->SkinSection(), "PANEL");
  EXPECT_EQ(A->WndText, L"start");
  EXPECT_EQ(adapt::AlphaCmd(Wnd, AC_ISSKINNED), 1);

  // WM_SETTEXT reaches the window once and refreshes the text; WM_UPDATEUISTATE never does.
  adapt::Log().clear();
  SetWindowTextW(Wnd, L"changed");
  EXPECT_EQ(adapt::CountOf(WM_SETTEXT), 1);
  EXPECT_EQ(A->WndText, L"changed");
  SendMessageW(Wnd, WM_UPDATEUISTATE, 0, 0);
  EXPECT_EQ(adapt::CountOf(WM_UPDATEUISTATE), 0);
  // WM_PRINT is answered by the window's own WM_PAINT with the same DC.
  EXPECT_EQ(SendMessageW(Wnd, WM_PRINT, 0x1234, PRF_CLIENT), 0x5A5A);

  TacMainWnd* Var = A;
  UnhookAdapterWndProc(Wnd, true, false, Var);
  EXPECT_EQ(Var, nullptr);
  EXPECT_EQ(GetWindowLongPtrW(Wnd, GWLP_WNDPROC), Before);
  EXPECT_EQ(GetPropA(Wnd, "ACSBSC"), nullptr);
  EXPECT_EQ(GetWndAdapter(Wnd), nullptr);
  EXPECT_EQ(adapt::AlphaCmd(Wnd, AC_ISSKINNED), 0);
}

TEST_F(AdaptAdapter, DetachHappensOnceAndFreeingAfterItLeavesTheWindowAlone) {
  const LONG_PTR Before = GetWindowLongPtrW(Wnd, GWLP_WNDPROC);
  TacMainWnd* A = TacMainWnd::Create<TacMainWnd>(Wnd, nullptr, Manager.get(), "PANEL");
  TacMainWnd* Var = A;
  UnhookAdapterWndProc(Wnd, false, false, Var);
  EXPECT_TRUE(A->Destroyed);
  EXPECT_EQ(GetWindowLongPtrW(Wnd, GWLP_WNDPROC), Before);

  // Another party subclasses the window now; neither a second detach nor freeing touch it.
  TacMainWnd* B = TacMainWnd::Create<TacMainWnd>(Wnd, nullptr, Manager.get(), "PANEL");
  const LONG_PTR Second = GetWindowLongPtrW(Wnd, GWLP_WNDPROC);
  UnhookAdapterWndProc(Wnd, false, false, Var);
  delete A;
  EXPECT_EQ(GetWindowLongPtrW(Wnd, GWLP_WNDPROC), Second);
  EXPECT_EQ(GetWndAdapter(Wnd), B);
  delete B;  // gives the window back
  EXPECT_EQ(GetWindowLongPtrW(Wnd, GWLP_WNDPROC), Before);
  EXPECT_EQ(GetWndAdapter(Wnd), nullptr);
}

TEST_F(AdaptAdapter, DestroyingTheWindowDetachesTheAdapter) {
  TacMainWnd* A = TacMainWnd::Create<TacMainWnd>(Wnd, nullptr, Manager.get(), "PANEL");
  DestroyWindow(Wnd);
  EXPECT_TRUE(A->Destroyed);
  EXPECT_GE(adapt::CountOf(WM_DESTROY), 1);  // the window's own procedure still saw it
  delete A;
}

TEST_F(AdaptAdapter, GivenSkinDataIsKeptAndItsSectionWins) {
  TsCommonData Data(nullptr, 0, true);
  Data.SetSkinManager(Manager.get());
  Data.SetSkinSection("EDIT");
  TacMainWnd* A = TacMainWnd::Create<TacMainWnd>(Wnd, &Data, nullptr, "PANEL");
  EXPECT_FALSE(A->OwnSkinData);
  EXPECT_EQ(A->SkinData, &Data);
  EXPECT_EQ(A->SkinManager, Manager.get());
  EXPECT_EQ(Data.SkinSection(), "EDIT");
  delete A;
  // The data outlives the adapter.
  EXPECT_EQ(Data.SkinSection(), "EDIT");
  EXPECT_GE(Data.SectionIndex, 0);
}

TEST_F(AdaptAdapter, SkinCommandsOfAnotherManagerOrAnInactiveOneArePassedOn) {
  TacMainWnd* A = TacMainWnd::Create<TacMainWnd>(Wnd, nullptr, Manager.get(), "PANEL");
  adapt::Log().clear();
  for (Word Cmd : {AC_NEWSKIN, AC_SKINREMOVED, AC_REFRESHSKIN}) adapt::AlphaCmd(Wnd, Cmd, 0x1234);
  EXPECT_EQ(adapt::CountOf(SM_ALPHACMD), 3);
  // Commands from its own manager: refresh is answered here, new skin and removal go on.
  adapt::Log().clear();
  adapt::AlphaCmd(Wnd, AC_REFRESHSKIN, reinterpret_cast<LPARAM>(Manager.get()));
  EXPECT_EQ(adapt::CountOf(SM_ALPHACMD), 0);
  EXPECT_EQ(adapt::AlphaCmd(Wnd, AC_GETAPPLICATION), reinterpret_cast<LRESULT>(Application));
  // Without an active manager even the probe reaches the window (which does not know it).
  Manager->SetActive(false);
  adapt::Log().clear();
  EXPECT_EQ(adapt::AlphaCmd(Wnd, AC_ISSKINNED), 0);
  EXPECT_EQ(adapt::CountOf(SM_ALPHACMD), 1);
  delete A;
}

TEST_F(AdaptAdapter, FrameworkControlIsHookedThroughItsWindowProcChain) {
  TForm* Form = new TForm(nullptr);
  Form->SetBounds(100, 100, 300, 200);
  TButton* Button = new TButton(Form);
  Button->SetParent(Form);
  Button->SetBounds(10, 10, 100, 30);
  Form->Show();
  uitest::Settle(Form->Handle());
  HWND BH = Button->Handle();
  const LONG_PTR Proc = GetWindowLongPtrW(BH, GWLP_WNDPROC);
  int Seen = 0;
  TWndMethod Saved = Button->WindowProc();
  Button->SetWindowProc([&](TMessage& M) {
    if (M.Msg == SM_ALPHACMD) ++Seen;
    Saved(M);
  });

  TsCommonData Data(Button, 0, true);
  Data.SetSkinManager(Manager.get());
  TacMainWnd* A = TacMainWnd::Create<TacMainWnd>(BH, &Data, nullptr, "BUTTON");
  Seen = 0;
  EXPECT_EQ(GetWindowLongPtrW(BH, GWLP_WNDPROC), Proc);  // the window itself is not subclassed
  EXPECT_TRUE(Button->ControlStyle().Contains(csOpaque));
  EXPECT_EQ(Button->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_ISSKINNED)), 1);
  EXPECT_EQ(Seen, 0);  // answered in front of the control's chain
  EXPECT_EQ(SendMessageW(BH, SM_ALPHACMD, MakeAlphaCmd(AC_ISSKINNED), 0), 1);

  delete A;
  EXPECT_EQ(GetPropA(BH, "ACSBSC"), nullptr);
  Button->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_ISSKINNED));
  EXPECT_EQ(Seen, 1);  // the saved chain is back on top
  Button->SetWindowProc(Saved);
  delete Form;
  uitest::Pump();
}

TEST_F(AdaptAdapter, BadInputGivesAClearError) {
  EXPECT_THROW(TacMainWnd::Create<TacMainWnd>(nullptr, nullptr, Manager.get(), "PANEL"), EInvalidOperation);
  HWND Gone = Host.Child(adapt::RecordingClass(), L"", 0, 0, 0, 10, 10);
  DestroyWindow(Gone);
  EXPECT_THROW(TacMainWnd::Create<TacMainWnd>(Gone, nullptr, Manager.get(), "PANEL"), EInvalidOperation);
  // Routines given nothing do nothing.
  TacMainWnd* None = nullptr;
  UnhookAdapterWndProc(Wnd, true, true, None);
  LPARAM LP = 0;
  EXPECT_EQ(CallOldWndProc(nullptr, Wnd, WM_NULL, 0, LP), 0);
  EXPECT_EQ(GetWndAdapter(nullptr), nullptr);
  PrepareWindowCache(nullptr, Wnd, false);
  FillBorderCorners(nullptr, 0, nullptr);
  EXPECT_FALSE(BorderMaskHasStates(nullptr));
}

TEST_F(AdaptAdapter, GeometryAndSmallServices) {
  TacMainWnd* A = TacMainWnd::Create<TacMainWnd>(Wnd, nullptr, Manager.get(), "PANEL");
  GetWndRects(A);
  EXPECT_EQ(A->ParentWnd, Host.Wnd);
  EXPECT_EQ(A->WndPos.X, 10);
  EXPECT_EQ(A->WndPos.Y, 10);
  EXPECT_EQ(A->WndSize.cx, 120);
  EXPECT_EQ(A->WndSize.cy, 60);
  EXPECT_EQ(A->WndRect.Right - A->WndRect.Left, 120);
  // The cache is painted from the section over the parent's background.
  A->SkinData->BackgroundStale = true;
  PrepareWindowCache(A->SkinData, Wnd, false);
  EXPECT_FALSE(A->SkinData->BackgroundStale);
  ASSERT_NE(A->SkinData->CacheBmp(), nullptr);
  EXPECT_EQ(A->SkinData->CacheBmp()->Width(), 120);
  EXPECT_TRUE(ownctl::Near(GetPixel(A->SkinData->CacheBmp()->Canvas()->Handle(), 60, 30), ownctl::Colour(3222829)));
  EXPECT_EQ(FindWinControlByHandle(Wnd, nullptr), nullptr);
  EXPECT_FALSE(BorderMaskHasStates(A->SkinData));  // PANEL has no border image
  delete A;
}

}  // namespace
