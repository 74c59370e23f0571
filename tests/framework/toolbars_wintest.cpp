// The tool bar on real windows: its items follow its buttons, real clicks press push, check and
// drop-down buttons, the custom-draw events draw what the program paints, and bar and buttons
// are freed in every order, also while a drop-down menu is open.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "framework/Forms.h"
#include "framework/ImgList.h"
#include "framework/Menus.h"
#include "framework/ToolBars.h"
#include "support/FreedMemoryGuard.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace {

std::unique_ptr<TForm> ShownForm() {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(60, 60, 420, 260);
  F->SetColor(clWhite);
  uitest::ShowSettled(F.get());
  return F;
}

TToolButton* AddButton(TToolBar* Bar, TToolButtonStyle Style, const wchar_t* Caption = L"") {
  auto* B = new TToolButton(Bar->Owner());
  B->SetCaption(WideString(Caption));
  B->SetStyle(Style);
  B->SetParent(Bar);
  return B;
}

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }

POINT Centre(const TControl* C) { return POINT{C->Left() + C->Width() / 2, C->Top() + C->Height() / 2}; }

}  // namespace

TEST(ToolBar, ItemsFollowTheButtons) {
  auto F = ShownForm();
  auto* Bar = new TToolBar(F.get());
  Bar->SetParent(F.get());
  Bar->SetShowCaptions(true);
  TToolButton* A = AddButton(Bar, tbsButton, L"One");
  TToolButton* Sep = AddButton(Bar, tbsSeparator);
  TToolButton* C = AddButton(Bar, tbsCheck, L"Three");
  uitest::Settle(F->Handle());
  HWND W = Bar->Handle();
  ASSERT_EQ(SendMessageW(W, TB_BUTTONCOUNT, 0, 0), 3);
  EXPECT_EQ(Bar->ButtonCount(), 3);
  EXPECT_EQ(C->Index(), 2);
  for (int I = 0; I < 3; ++I) {
    RECT R{};
    SendMessageW(W, TB_GETITEMRECT, I, reinterpret_cast<LPARAM>(&R));
    EXPECT_EQ(Bar->Buttons(I)->BoundsRect(), (TRect{R.left, R.top, R.right, R.bottom})) << I;
  }
  EXPECT_EQ(Sep->Width(), 8);
  TBBUTTON B{};
  SendMessageW(W, TB_GETBUTTON, 1, reinterpret_cast<LPARAM>(&B));
  EXPECT_NE(B.fsStyle & BTNS_SEP, 0);
  SendMessageW(W, TB_GETBUTTON, 2, reinterpret_cast<LPARAM>(&B));
  EXPECT_EQ(reinterpret_cast<TToolButton*>(B.dwData), C);
  EXPECT_NE(B.fsStyle & BTNS_CHECK, 0);

  A->SetEnabled(false);
  C->SetDown(true);
  C->SetMarked(true);
  SendMessageW(W, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&B));
  EXPECT_EQ(B.fsState & TBSTATE_ENABLED, 0);
  SendMessageW(W, TB_GETBUTTON, 2, reinterpret_cast<LPARAM>(&B));
  EXPECT_NE(B.fsState & TBSTATE_CHECKED, 0);
  EXPECT_NE(B.fsState & TBSTATE_MARKED, 0);

  // A recreated window gets the same items.
  Bar->SetFlat(true);
  W = Bar->Handle();
  EXPECT_NE(GetWindowLongW(W, GWL_STYLE) & TBSTYLE_FLAT, 0);
  EXPECT_EQ(SendMessageW(W, TB_BUTTONCOUNT, 0, 0), 3);
  SendMessageW(W, TB_GETBUTTON, 2, reinterpret_cast<LPARAM>(&B));
  EXPECT_NE(B.fsState & TBSTATE_CHECKED, 0);
  wchar_t Text[32] = {};
  SendMessageW(W, TB_GETBUTTONTEXTW, B.idCommand, reinterpret_cast<LPARAM>(Text));
  EXPECT_STREQ(Text, L"Three");
}

TEST(ToolBar, RealClicksPressPushAndCheckButtons) {
  auto F = ShownForm();
  auto* Bar = new TToolBar(F.get());
  Bar->SetParent(F.get());
  TToolButton* Push = AddButton(Bar, tbsButton);
  TToolButton* Check = AddButton(Bar, tbsCheck);
  int PushClicks = 0, CheckClicks = 0;
  Push->OnClick = [&](TObject*) { ++PushClicks; };
  Check->OnClick = [&](TObject*) { ++CheckClicks; };
  uitest::Settle(F->Handle());
  ASSERT_TRUE(realinput::BringToFront(F->Handle()));
  POINT P = Centre(Push);
  ASSERT_TRUE(realinput::Click(Bar->Handle(), P.x, P.y));
  ASSERT_TRUE(uitest::WaitFor([&] { return PushClicks == 1; }));
  P = Centre(Check);
  ASSERT_TRUE(realinput::Click(Bar->Handle(), P.x, P.y));
  ASSERT_TRUE(uitest::WaitFor([&] { return CheckClicks == 1; }));
  EXPECT_TRUE(Check->Down());
  ASSERT_TRUE(realinput::Click(Bar->Handle(), P.x, P.y));
  ASSERT_TRUE(uitest::WaitFor([&] { return CheckClicks == 2; }));
  EXPECT_FALSE(Check->Down());
  EXPECT_EQ(PushClicks, 1);
}

TEST(ToolBar, DropDownButtonOpensItsMenuAndTellsTheBarWhenItCloses) {
  auto F = ShownForm();
  auto* Bar = new TToolBar(F.get());
  Bar->SetParent(F.get());
  TToolButton* Drop = AddButton(Bar, tbsDropDown);
  auto* Menu = new TPopupMenu(F.get());
  auto* Item = new TMenuItem(Menu);
  Item->SetCaption(L"Entry");
  Menu->Items()->Add(Item);
  Drop->SetDropdownMenu(Menu);
  int Popups = 0, Closed = 0;
  Menu->OnPopup = [&](TObject*) {
    ++Popups;
    // Closes the menu from inside its loop.
    SetTimer(F->Handle(), 77, 50, CloseMenu);
  };
  TWndMethod Saved = Bar->WindowProc();
  Bar->SetWindowProc([&](TMessage& M) {
    if (M.Msg == CN_DROPDOWNCLOSED) ++Closed;
    Saved(M);
  });
  uitest::Settle(F->Handle());
  ASSERT_TRUE(realinput::BringToFront(F->Handle()));
  // The arrow part of the button.
  ASSERT_TRUE(realinput::Click(Bar->Handle(), Drop->Left() + Drop->Width() - 4, Drop->Top() + Drop->Height() / 2));
  ASSERT_TRUE(uitest::WaitFor([&] { return Closed == 1; }));
  KillTimer(F->Handle(), 77);
  EXPECT_EQ(Popups, 1);
  EXPECT_EQ(Menu->PopupComponent(), Drop);
  Bar->SetWindowProc(Saved);
  // The menu freed first: the button forgets it.
  delete Menu;
  EXPECT_EQ(Drop->DropdownMenu(), nullptr);
}

TEST(ToolBar, CustomDrawEventsPaintOnTheBarsCanvas) {
  auto F = ShownForm();
  auto* Bar = new TToolBar(F.get());
  Bar->SetParent(F.get());
  TToolButton* A = AddButton(Bar, tbsButton);
  AddButton(Bar, tbsButton);
  std::vector<TToolButton*> Drawn;
  int BarStages = 0;
  Bar->OnAdvancedCustomDraw = [&](TToolBar* Sender, const TRect& R, TCustomDrawStage Stage, bool& DefaultDraw) {
    if (Stage != cdPrePaint) return;
    ++BarStages;
    Sender->Canvas()->Brush()->SetColor(clBlue);
    Sender->Canvas()->FillRect(R);
  };
  Bar->OnAdvancedCustomDrawButton = [&](TToolBar* Sender, TToolButton* Button, TCustomDrawState, TCustomDrawStage Stage,
                                        TTBCustomDrawFlags&, bool& DefaultDraw) {
    if (Stage != cdPrePaint) return;
    Drawn.push_back(Button);
    if (Button == A) {
      DefaultDraw = false;
      Sender->Canvas()->Brush()->SetColor(clRed);
      Sender->Canvas()->FillRect(Button->BoundsRect());
    }
  };
  Bar->Invalidate();
  uitest::Settle(F->Handle());
  EXPECT_GE(BarStages, 1);
  ASSERT_EQ(Drawn.size(), 2u);
  EXPECT_EQ(Drawn[0], A);
  HDC DC = GetDC(Bar->Handle());
  EXPECT_EQ(GetPixel(DC, A->Left() + A->Width() / 2, A->Top() + A->Height() / 2), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(DC, Bar->ClientWidth() - 3, 3), RGB(0, 0, 255)) << "the bar's own handler painted the background";
  ReleaseDC(Bar->Handle(), DC);
}

TEST(ToolBar, FrameOfEdgesAndBorderWidth) {
  auto F = ShownForm();
  auto* Bar = new TToolBar(F.get());
  Bar->SetParent(F.get());
  Bar->SetEdgeBorders(TEdgeBorders{ebLeft, ebTop});
  Bar->SetBorderWidth(3);
  uitest::Settle(F->Handle());
  POINT O{0, 0};
  ClientToScreen(Bar->Handle(), &O);
  RECT W{};
  GetWindowRect(Bar->Handle(), &W);
  EXPECT_EQ(O.x - W.left, 2 + 3);
  EXPECT_EQ(O.y - W.top, 2 + 3);
  RECT C{};
  GetClientRect(Bar->Handle(), &C);
  EXPECT_EQ(C.right, Bar->Width() - 5 - 3);
}

namespace {

// What a timer inside the drop-down menu's loop frees (a program's timer can free any form).
std::function<void()> FreeInMenuLoop;
void CALLBACK FreeAndCloseMenu(HWND, UINT, UINT_PTR Id, DWORD) {
  KillTimer(nullptr, Id);
  if (FreeInMenuLoop) FreeInMenuLoop();
  FreeInMenuLoop = nullptr;
  EndMenu();
}

}  // namespace

TEST(ToolBar, FormOrBarFreedWhileTheDropDownMenuIsOpen) {
  for (const bool WholeForm : {true, false}) {
    SCOPED_TRACE(WholeForm ? "the form freed" : "the bar freed");
    memguard::TFaultCount AV;
    auto* F = ShownForm().release();
    auto* Bar = new TToolBar(F);
    Bar->SetParent(F);
    TToolButton* Drop = AddButton(Bar, tbsDropDown);
    auto* Menu = new TPopupMenu(F);
    auto* Item = new TMenuItem(Menu);
    Item->SetCaption(L"Entry");
    Menu->Items()->Add(Item);
    Drop->SetDropdownMenu(Menu);
    bool Freed = false;
    HWND BarWindow = Bar->Handle();
    bool GoneUnderItsClick = false;
    Menu->OnPopup = [&](TObject*) {
      FreeInMenuLoop = [&] {
        if (WholeForm)
          delete F;
        else
          delete Bar;
        // The system's tool bar is still handling the click that opened the menu: its window
        // must not be destroyed under it.
        GoneUnderItsClick = !IsWindow(BarWindow);
        Freed = true;
      };
      SetTimer(nullptr, 0, 50, FreeAndCloseMenu);
    };
    uitest::Settle(F->Handle());
    ASSERT_TRUE(realinput::BringToFront(F->Handle()));
    ASSERT_TRUE(realinput::Click(Bar->Handle(), Drop->Left() + Drop->Width() - 4, Drop->Top() + Drop->Height() / 2));
    ASSERT_TRUE(uitest::WaitFor([&] { return Freed; }));
    uitest::PumpFor(100);
    EXPECT_FALSE(GoneUnderItsClick);
    EXPECT_FALSE(IsWindow(BarWindow)) << "the window goes once the click has returned";
    EXPECT_EQ(AV.Count(), 0);
    if (!WholeForm) delete F;
  }
}

TEST(ToolBar, BarAndButtonsFreedInEveryOrder) {
  memguard::TFaultCount AV;
  {
    auto F = ShownForm();
    auto* Bar = new TToolBar(F.get());
    Bar->SetParent(F.get());
    TToolButton* A = AddButton(Bar, tbsButton);
    TToolButton* B = AddButton(Bar, tbsButton);
    uitest::Settle(F->Handle());
    delete A;
    EXPECT_EQ(SendMessageW(Bar->Handle(), TB_BUTTONCOUNT, 0, 0), 1);
    EXPECT_EQ(B->Index(), 0);
    EXPECT_EQ(B->Left(), 0) << "the remaining button moved to the first place";
  }
  {
    auto F = ShownForm();
    auto* Bar = new TToolBar(F.get());
    Bar->SetParent(F.get());
    AddButton(Bar, tbsButton);
    AddButton(Bar, tbsDropDown);
    uitest::Settle(F->Handle());
    delete Bar;  // the buttons (owned by the form) go with their bar
    EXPECT_EQ(F->ComponentCount(), 0);
  }
  {
    auto F = ShownForm();
    auto* Bar = new TToolBar(F.get());
    Bar->SetParent(F.get());
    TToolButton* A = AddButton(Bar, tbsButton);
    A->SetParent(nullptr);  // off the bar, freed later
    EXPECT_EQ(Bar->ButtonCount(), 0);
    delete Bar;
    delete A;
  }
  {
    auto F = ShownForm();
    auto* Images = new TImageList(F.get());
    auto* Bar = new TToolBar(F.get());
    Bar->SetParent(F.get());
    Bar->SetImages(Images);
    Bar->SetHotImages(Images);
    AddButton(Bar, tbsButton)->SetImageIndex(0);
    uitest::Settle(F->Handle());
    delete Images;  // the bar hears of it
    EXPECT_EQ(Bar->Images(), nullptr);
    EXPECT_EQ(Bar->HotImages(), nullptr);
    EXPECT_EQ(SendMessageW(Bar->Handle(), TB_GETIMAGELIST, 0, 0), 0);
  }
  EXPECT_EQ(AV.Count(), 0);
}
