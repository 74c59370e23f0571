// Adapters outlive the manager they were made with: a manager that goes away is forgotten by every
// adapter and its skin data, so the windows carry on painting with the default manager, and nothing
// reads the freed manager.
#include <gtest/gtest.h>

#include "skin/controls/acScrollAdapters.h"
#include "skin/controls/acScrollBars.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin_controls/adapt_support.h"

TEST(LifetimeAdapterManager, AdaptersForgetAFreedManagerAndCarryOnWithTheDefaultOne) {
  InitAdapterUnit();
  auto Default = ownctl::LoadProgramSkin();
  ASSERT_TRUE(Default->SkinActive());
  adapt::THost Host;
  for (bool Inactive : {false, true}) {
    SCOPED_TRACE(Inactive ? "switched off first" : "freed while active");
    auto M = ownctl::LoadProgramSkin();
    ASSERT_TRUE(M->SkinActive());
    HWND Edit = Host.Child(L"EDIT", L"text\r\nmore", WS_BORDER | WS_VSCROLL | ES_MULTILINE, 10, 10, 160, 80);
    HWND List = Host.Child(L"LISTBOX", L"", WS_BORDER | WS_VSCROLL, 10, 100, 160, 80);
    for (int I = 0; I < 30; ++I) SendMessageW(List, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"item"));
    auto* EA = TacMainWnd::Create<TacEditWnd>(Edit, nullptr, M.get(), "EDIT");
    auto* LA = TacMainWnd::Create<TacScrollWnd>(List, nullptr, M.get(), "EDIT");
    EXPECT_EQ(EA->SkinManager, M.get());
    EXPECT_EQ(LA->SkinData->GetSkinManager(), M.get());
    if (Inactive) M->SetActive(false);
    M.reset();
    for (TacMainWnd* A : {static_cast<TacMainWnd*>(EA), static_cast<TacMainWnd*>(LA)}) {
      EXPECT_EQ(A->SkinManager, nullptr) << A->ClassName();
      EXPECT_EQ(A->SkinData->ManagerField(), nullptr) << A->ClassName();
      EXPECT_EQ(A->SkinData->GetSkinManager(), Default.get()) << A->ClassName();
    }
    // The windows go on being painted, scrolled and asked.
    for (HWND W : {Edit, List}) {
      RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
      SendMessageW(W, WM_VSCROLL, SB_LINEDOWN, 0);
      SendSkinCommand(W, AC_GETCOLOR, 0);
      SendMessageW(W, WM_NCHITTEST, 0, MAKELPARAM(20, 20));
    }
    uitest::Pump();
    delete EA;
    delete LA;
    DestroyWindow(Edit);
    DestroyWindow(List);
  }
  DoneAdapterUnit();
}
