// The status bar, tab control and page control on real windows: what their windows hold, real
// clicks on tabs, the frame of BorderWidth, and the controls freed in every order.
#include <gtest/gtest.h>

#include <memory>

#include "framework/ComCtrls.h"
#include "framework/Forms.h"
#include "support/FreedMemoryGuard.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace {

std::unique_ptr<TForm> ShownForm(int W = 420, int H = 300) {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(60, 60, W, H);
  F->SetColor(clWhite);
  uitest::ShowSettled(F.get());
  return F;
}

WideString PartText(HWND W, int Part) {
  wchar_t Buf[256] = {};
  SendMessageW(W, SB_GETTEXTW, static_cast<WPARAM>(Part), reinterpret_cast<LPARAM>(Buf));
  return Buf;
}

WideString TabText(HWND W, int Index) {
  wchar_t Buf[128] = {};
  TCITEMW Item{};
  Item.mask = TCIF_TEXT;
  Item.pszText = Buf;
  Item.cchTextMax = 127;
  SendMessageW(W, TCM_GETITEMW, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&Item));
  return Buf;
}

TTabSheet* AddSheet(TPageControl* P, const wchar_t* Caption) {
  auto* S = new TTabSheet(P->Owner());
  S->SetCaption(WideString(Caption));
  S->SetPageControl(P);
  return S;
}

}  // namespace

TEST(StatusBar, PanelsReachTheWindowAndSurviveRecreation) {
  auto F = ShownForm();
  auto* SB = new TStatusBar(F.get());
  SB->SetParent(F.get());
  TStatusPanel* P0 = SB->Panels()->Add();
  P0->SetText(L"left");
  P0->SetWidth(80);
  TStatusPanel* P1 = SB->Panels()->Add();
  P1->SetText(L"middle");
  P1->SetAlignment(taCenter);
  uitest::Settle(F->Handle());
  HWND W = SB->Handle();
  EXPECT_EQ(SendMessageW(W, SB_GETPARTS, 0, 0), 2);
  int Rights[2] = {};
  SendMessageW(W, SB_GETPARTS, 2, reinterpret_cast<LPARAM>(Rights));
  EXPECT_EQ(Rights[0], 80);
  EXPECT_EQ(Rights[1], -1) << "the last panel reaches the end of the bar";
  EXPECT_EQ(PartText(W, 0), L"left");
  EXPECT_EQ(PartText(W, 1), L"\tmiddle") << "centred text after one tab";
  // Aligned to the bottom of the form, across its width.
  EXPECT_EQ(SB->Top() + SB->Height(), F->ClientHeight());
  EXPECT_EQ(SB->Width(), F->ClientWidth());

  SB->SetBorderWidth(3);  // a frame change remakes nothing, a style change would
  SB->Perform(CM_RECREATEWND, 0, 0);
  W = SB->Handle();
  EXPECT_EQ(SendMessageW(W, SB_GETPARTS, 0, 0), 2);
  EXPECT_EQ(PartText(W, 0), L"left");

  SB->SetSimplePanel(true);
  SB->SetSimpleText(L"all of it");
  EXPECT_NE(SendMessageW(W, SB_ISSIMPLE, 0, 0), 0);
  // The system answers the simple text for part 0 while the bar is simple.
  EXPECT_EQ(PartText(W, 0), L"all of it");
}

TEST(StatusBar, BorderWidthFramesTheClientAreaInTheBarsColour) {
  auto F = ShownForm();
  auto* SB = new TStatusBar(F.get());
  SB->SetParent(F.get());
  SB->SetAlign(alNone);
  SB->SetBounds(10, 10, 200, 30);
  SB->SetColor(clRed);
  SB->SetBorderWidth(4);
  uitest::Settle(F->Handle());
  RECT C{};
  GetClientRect(SB->Handle(), &C);
  EXPECT_EQ(C.right, 200 - 8);
  EXPECT_EQ(C.bottom, 30 - 8);
  HDC DC = GetWindowDC(SB->Handle());
  EXPECT_EQ(GetPixel(DC, 1, 15), RGB(255, 0, 0)) << "the frame is painted in the bar's colour";
  EXPECT_EQ(GetPixel(DC, 100, 1), RGB(255, 0, 0));
  ReleaseDC(SB->Handle(), DC);
}

TEST(PageControl, ClickingATabShowsItsPageAndHidesTheOthers) {
  auto F = ShownForm();
  auto* PC = new TPageControl(F.get());
  PC->SetParent(F.get());
  PC->SetBounds(10, 10, 300, 200);
  TTabSheet* A = AddSheet(PC, L"First");
  TTabSheet* B = AddSheet(PC, L"Second");
  int Changes = 0;
  PC->OnChange = [&](TObject*) { ++Changes; };
  uitest::Settle(F->Handle());
  HWND W = PC->Handle();
  ASSERT_EQ(SendMessageW(W, TCM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(TabText(W, 1), L"Second");
  EXPECT_EQ(PC->ActivePage(), A) << "the first page becomes active";
  EXPECT_TRUE(IsWindowVisible(A->Handle()));
  EXPECT_FALSE(B->HandleAllocated() && IsWindowVisible(B->Handle()));
  const TRect D = PC->DisplayRect();
  EXPECT_EQ(A->BoundsRect(), D) << "the active page fills the display area";

  RECT TabR{};
  SendMessageW(W, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&TabR));
  ASSERT_TRUE(realinput::BringToFront(F->Handle()));
  ASSERT_TRUE(realinput::Click(W, (TabR.left + TabR.right) / 2, (TabR.top + TabR.bottom) / 2));
  ASSERT_TRUE(uitest::WaitFor([&] { return PC->ActivePage() == B; }));
  EXPECT_EQ(Changes, 1);
  EXPECT_TRUE(IsWindowVisible(B->Handle()));
  EXPECT_FALSE(IsWindowVisible(A->Handle()));
  EXPECT_EQ(B->BoundsRect(), PC->DisplayRect());

  // A caption change and a hidden tab reach the window.
  A->SetCaption(WideString(L"Renamed"));
  EXPECT_EQ(TabText(W, 0), L"Renamed");
  A->SetTabVisible(false);
  EXPECT_EQ(SendMessageW(W, TCM_GETITEMCOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageW(W, TCM_GETCURSEL, 0, 0), 0) << "the active page keeps its (moved) tab";
  EXPECT_EQ(PC->PageOfTab(0), B);
}

TEST(PageControl, OnChangingCanRefuseTheClick) {
  auto F = ShownForm();
  auto* PC = new TPageControl(F.get());
  PC->SetParent(F.get());
  PC->SetBounds(10, 10, 300, 200);
  TTabSheet* A = AddSheet(PC, L"First");
  AddSheet(PC, L"Second");
  PC->OnChanging = [](TObject*, bool& Allow) { Allow = false; };
  uitest::Settle(F->Handle());
  RECT TabR{};
  SendMessageW(PC->Handle(), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&TabR));
  ASSERT_TRUE(realinput::BringToFront(F->Handle()));
  ASSERT_TRUE(realinput::Click(PC->Handle(), (TabR.left + TabR.right) / 2, (TabR.top + TabR.bottom) / 2));
  uitest::PumpFor(50);
  EXPECT_EQ(PC->ActivePage(), A);
  EXPECT_EQ(SendMessageW(PC->Handle(), TCM_GETCURSEL, 0, 0), 0);
}

TEST(PageControl, PagesAndControlFreedInEveryOrder) {
  memguard::TFaultCount AV;
  {
    // The active page freed: the next page takes its place.
    auto F = ShownForm();
    auto* PC = new TPageControl(F.get());
    PC->SetParent(F.get());
    TTabSheet* A = AddSheet(PC, L"A");
    TTabSheet* B = AddSheet(PC, L"B");
    TTabSheet* C = AddSheet(PC, L"C");
    PC->SetActivePage(B);
    uitest::Settle(F->Handle());
    delete B;
    EXPECT_EQ(PC->PageCount(), 2);
    EXPECT_EQ(PC->ActivePage(), C);
    EXPECT_EQ(SendMessageW(PC->Handle(), TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageW(PC->Handle(), TCM_GETCURSEL, 0, 0), 1);
    delete C;
    EXPECT_EQ(PC->ActivePage(), A);
    delete A;
    EXPECT_EQ(PC->ActivePage(), nullptr);
    EXPECT_EQ(SendMessageW(PC->Handle(), TCM_GETITEMCOUNT, 0, 0), 0);
  }
  {
    // The control freed first: its pages go with it, though the form owns them.
    auto F = ShownForm();
    auto* PC = new TPageControl(F.get());
    PC->SetParent(F.get());
    AddSheet(PC, L"A");
    AddSheet(PC, L"B");
    uitest::Settle(F->Handle());
    delete PC;
    EXPECT_EQ(F->ComponentCount(), 0);
  }
  {
    // A page moved to another control, then the form freed with everything.
    auto F = ShownForm();
    auto* P1 = new TPageControl(F.get());
    P1->SetParent(F.get());
    auto* P2 = new TPageControl(F.get());
    P2->SetParent(F.get());
    TTabSheet* A = AddSheet(P1, L"A");
    A->SetPageControl(P2);
    EXPECT_EQ(P1->PageCount(), 0);
    EXPECT_EQ(P2->ActivePage(), A);
    uitest::Settle(F->Handle());
  }
  {
    // Pages taken off their control (no parent) and freed later.
    auto F = ShownForm();
    auto* PC = new TPageControl(F.get());
    PC->SetParent(F.get());
    TTabSheet* A = AddSheet(PC, L"A");
    A->SetPageControl(nullptr);
    EXPECT_EQ(PC->PageCount(), 0);
    delete PC;
    delete A;
  }
  EXPECT_EQ(AV.Count(), 0);
}

TEST(TabControl, TabsFollowTheStringList) {
  auto F = ShownForm();
  auto* TC = new TTabControl(F.get());
  TC->SetParent(F.get());
  TC->Tabs()->Add("One");
  TC->Tabs()->Add("Two");
  uitest::Settle(F->Handle());
  EXPECT_EQ(SendMessageW(TC->Handle(), TCM_GETITEMCOUNT, 0, 0), 2);
  TC->SetTabIndex(1);
  TC->SetTabPosition(tpBottom);  // remade window keeps tabs and selection
  EXPECT_NE(GetWindowLongW(TC->Handle(), GWL_STYLE) & TCS_BOTTOM, 0);
  EXPECT_EQ(TabText(TC->Handle(), 1), L"Two");
  EXPECT_EQ(TC->TabIndex(), 1);
  TC->Tabs()->Delete(1);
  EXPECT_EQ(SendMessageW(TC->Handle(), TCM_GETITEMCOUNT, 0, 0), 1);
  EXPECT_EQ(TC->TabIndex(), 0);
}
