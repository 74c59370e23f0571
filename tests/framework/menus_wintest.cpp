// Menus on real windows: the menu bar a form shows, commands and submenus reaching the right
// item, owner-drawn items measured and painted through their events, pop-up menus shown with
// TrackPopupMenu (closed by posted messages), shortcut texts, and handle lifetimes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "framework/Menus.h"
#include "support/UiTest.h"

namespace {

// A menu bar "&File" (Open, -, Exit), "&View" (Toolbar, Status, More > Deep), "&Help".
struct TMenuForm {
  std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
  TMainMenu* Menu;
  TMenuItem *File, *Open, *Line, *Exit, *View, *Toolbar, *Status, *More, *Deep, *Help;
  std::vector<std::string> Clicks;

  TMenuItem* Item(TMenuItem* Parent, const WideString& Caption) {
    auto* I = new TMenuItem(Form.get());
    I->SetCaption(Caption);
    std::string Name(Caption.begin(), Caption.end());
    I->OnClick = [this, Name](TObject*) { Clicks.push_back(Name); };
    Parent->Add(I);
    return I;
  }

  TMenuForm() {
    Form->SetBounds(80, 80, 400, 300);
    Menu = new TMainMenu(Form.get());
    File = Item(Menu->Items(), L"&File");
    Open = Item(File, L"&Open");
    Open->SetShortCut(ShortCut('O', {ssCtrl}));
    Line = Item(File, L"-");
    Exit = Item(File, L"E&xit");
    View = Item(Menu->Items(), L"&View");
    Toolbar = Item(View, L"Toolbar");
    Status = Item(View, L"Status");
    More = Item(View, L"More");
    Deep = Item(More, L"Deep");
    Help = Item(Menu->Items(), L"&Help");
    Form->SetMenu(Menu);
  }
};

WideString MenuText(HMENU Menu, UINT Position) {
  wchar_t Buffer[128] = {};
  GetMenuStringW(Menu, Position, Buffer, 128, MF_BYPOSITION);
  return Buffer;
}

MENUITEMINFOW Info(HMENU Menu, UINT Position) {
  MENUITEMINFOW MI{};
  MI.cbSize = sizeof(MI);
  MI.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA | MIIM_SUBMENU;
  GetMenuItemInfoW(Menu, Position, TRUE, &MI);
  return MI;
}

}  // namespace

TEST(MainMenu, TheFormShowsTheMenuBarBuiltFromTheItems) {
  TMenuForm T;
  HWND W = T.Form->Handle();
  HMENU Bar = GetMenu(W);
  ASSERT_NE(Bar, nullptr);
  EXPECT_EQ(Bar, T.Menu->Handle());
  EXPECT_EQ(T.Menu->WindowHandle(), W);
  EXPECT_EQ(T.Menu->WindowForm(), T.Form.get());
  EXPECT_EQ(GetMenuItemCount(Bar), 3);
  EXPECT_EQ(MenuText(Bar, 1), L"&View");
  // Submenus are the handles of the items that hold sub-items.
  EXPECT_EQ(GetSubMenu(Bar, 0), T.File->Handle());
  EXPECT_EQ(GetSubMenu(T.View->Handle(), 2), T.More->Handle());
  EXPECT_EQ(T.Menu->FindItem(reinterpret_cast<UINT_PTR>(T.More->Handle()), fkHandle), T.More);
  EXPECT_EQ(GetMenuItemCount(T.File->Handle()), 3);
  EXPECT_EQ(MenuText(T.File->Handle(), 0), L"&Open\tCtrl+O");
  EXPECT_NE(Info(T.File->Handle(), 1).fType & MFT_SEPARATOR, 0u);
  EXPECT_EQ(Info(T.File->Handle(), 2).wID, T.Exit->Command());
  EXPECT_NE(T.Open->Command(), T.Exit->Command());

  // Item properties reach the system menu at once.
  T.Toolbar->SetChecked(true);
  T.Status->SetEnabled(false);
  T.Exit->SetDefault(true);
  EXPECT_NE(Info(T.View->Handle(), 0).fState & MFS_CHECKED, 0u);
  EXPECT_NE(Info(T.View->Handle(), 1).fState & MFS_GRAYED, 0u);
  EXPECT_NE(Info(T.File->Handle(), 2).fState & MFS_DEFAULT, 0u);
  T.Line->SetVisible(false);
  EXPECT_EQ(GetMenuItemCount(T.File->Handle()), 2);
  EXPECT_EQ(MenuText(T.File->Handle(), 1), L"E&xit");
  T.Open->SetCaption(WideString(L"&Open file"));
  EXPECT_EQ(MenuText(T.File->Handle(), 0), L"&Open file\tCtrl+O");
  // Radio items of one group check one another out.
  T.Toolbar->SetRadioItem(true);
  T.Status->SetRadioItem(true);
  T.Status->SetChecked(true);
  EXPECT_FALSE(T.Toolbar->Checked());
  EXPECT_NE(Info(T.View->Handle(), 0).fType & MFT_RADIOCHECK, 0u);
  // Moving and adding items.
  T.Help->SetMenuIndex(0);
  EXPECT_EQ(MenuText(GetMenu(W), 0), L"&Help");
  TMenuItem* About = T.Item(T.Help, L"About");
  EXPECT_EQ(GetSubMenu(GetMenu(W), 0), T.Help->Handle());
  EXPECT_EQ(GetMenuItemCount(T.Help->Handle()), 1);
  EXPECT_EQ(About->Parent(), T.Help);
  EXPECT_EQ(About->GetParentMenu(), T.Menu);
}

TEST(MainMenu, CommandsAndOpeningSubmenusReachTheRightItem) {
  TMenuForm T;
  HWND W = T.Form->Handle();
  SendMessageW(W, WM_COMMAND, T.Exit->Command(), 0);
  SendMessageW(W, WM_COMMAND, T.Deep->Command(), 0);
  ASSERT_EQ(T.Clicks.size(), 2u);
  EXPECT_EQ(T.Clicks[0], "E&xit");
  EXPECT_EQ(T.Clicks[1], "Deep");
  // A command no item has goes on as it was.
  SendMessageW(W, WM_COMMAND, 0xEFFE, 0);
  EXPECT_EQ(T.Clicks.size(), 2u);
  // Opening a submenu clicks its item, which may change the submenu before it shows.
  T.View->OnClick = [&](TObject*) { T.Toolbar->SetVisible(false); };
  SendMessageW(W, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(T.View->Handle()), 1);
  EXPECT_EQ(GetMenuItemCount(T.View->Handle()), 2);
  // The hint of the selected item goes to the application.
  T.Exit->SetHint(WideString(L"Short|Leave the program"));
  SendMessageW(W, WM_MENUSELECT, MAKEWPARAM(T.Exit->Command(), MF_MOUSESELECT), reinterpret_cast<LPARAM>(T.File->Handle()));
  EXPECT_EQ(Application->Hint(), L"Leave the program");
  SendMessageW(W, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_EQ(Application->Hint(), L"");
}

TEST(MainMenu, OwnerDrawnItemsAreMeasuredAndPaintedThroughTheirEvents) {
  TMenuForm T;
  HWND W = T.Form->Handle();
  EXPECT_EQ(Info(T.File->Handle(), 0).fType & MFT_OWNERDRAW, 0u);
  T.Menu->SetOwnerDraw(true);
  EXPECT_NE(Info(T.File->Handle(), 0).fType & MFT_OWNERDRAW, 0u);
  EXPECT_NE(Info(GetMenu(W), 0).fType & MFT_OWNERDRAW, 0u);

  TObject* Measured = nullptr;
  T.Exit->OnMeasureItem = [&](TObject* Sender, TCanvas* C, int& Width, int& Height) {
    Measured = Sender;
    EXPECT_NE(C, nullptr);
    EXPECT_GT(Width, 0);  // the framework's size comes first
    Width = 123;
    Height = 21;
  };
  // The system's request, with the item data of the real entry.
  MEASUREITEMSTRUCT MS{};
  MS.CtlType = ODT_MENU;
  MS.itemData = Info(T.File->Handle(), 2).dwItemData;  // found by the item data alone
  EXPECT_EQ(SendMessageW(W, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&MS)), TRUE);
  EXPECT_EQ(Measured, T.Exit);
  EXPECT_EQ(MS.itemWidth, 123u);
  EXPECT_EQ(MS.itemHeight, 21u);

  // Painting: the advanced event gets the state, the plain one whether the item is selected.
  TOwnerDrawState Seen;
  TRect SeenRect;
  T.Open->OnAdvancedDrawItem = [&](TObject* Sender, TCanvas* C, const TRect& R, TOwnerDrawState State) {
    EXPECT_EQ(Sender, T.Open);
    Seen = State;
    SeenRect = R;
    C->Brush()->SetColor(clLime);
    C->FillRect(R);
  };
  uitest::TMemoryDC M(100, 40);
  DRAWITEMSTRUCT DS{};
  DS.CtlType = ODT_MENU;
  DS.itemID = T.Open->Command();  // found by the command number without item data
  DS.itemState = ODS_SELECTED | ODS_NOACCEL;
  DS.hDC = M.DC();
  DS.rcItem = RECT{10, 5, 90, 25};
  EXPECT_EQ(SendMessageW(W, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&DS)), TRUE);
  EXPECT_EQ(Seen, (TOwnerDrawState{odSelected, odNoAccel}));
  EXPECT_EQ(SeenRect, Rect(10, 5, 90, 25));
  EXPECT_EQ(M.Pixel(50, 15), RGB(0, 255, 0));
  EXPECT_EQ(M.Pixel(5, 15), RGB(255, 255, 255));

  bool Selected = false;
  T.Exit->OnDrawItem = [&](TObject*, TCanvas*, const TRect&, bool S) { Selected = S; };
  DS.itemID = T.Exit->Command();
  SendMessageW(W, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&DS));
  EXPECT_TRUE(Selected);

  // Without events the framework paints the item: the highlight for a selected one, the
  // caption in the highlight text colour.
  uitest::TMemoryDC D(120, 30);
  DS.itemID = T.Toolbar->Command();
  DS.hDC = D.DC();
  DS.rcItem = RECT{0, 0, 120, 30};
  SendMessageW(W, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&DS));
  EXPECT_EQ(D.Pixel(2, 2), ColorToRGB(clHighlight));
  int TextPixels = 0;
  for (int Y = 0; Y < 30; ++Y)
    for (int X = 0; X < 120; ++X)
      if (D.Pixel(X, Y) == ColorToRGB(clHighlightText)) ++TextPixels;
  EXPECT_GT(TextPixels, 10);

  // An item of another window's menu is not this menu's business.
  MEASUREITEMSTRUCT Foreign{};
  Foreign.CtlType = ODT_MENU;
  Foreign.itemID = 0xEFFE;
  EXPECT_EQ(SendMessageW(W, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&Foreign)), FALSE);

  // A drawing event alone makes an item owner-drawn (when the menu is built again).
  T.Menu->SetOwnerDraw(false);
  EXPECT_EQ(Info(T.View->Handle(), 1).fType & MFT_OWNERDRAW, 0u);
  T.Status->OnAdvancedDrawItem = [](TObject*, TCanvas*, const TRect&, TOwnerDrawState) {};
  T.Status->MenuChanged(true);
  EXPECT_NE(Info(T.View->Handle(), 1).fType & MFT_OWNERDRAW, 0u);
  // The accelerator of an owner-drawn item.
  EXPECT_EQ(SendMessageW(W, WM_MENUCHAR, MAKEWPARAM('x', MF_POPUP), reinterpret_cast<LPARAM>(T.File->Handle())),
            MAKELRESULT(2, MNC_EXECUTE));
}

TEST(MainMenu, TheSystemAsksTheEventsToMeasureAndPaintTheMenuBar) {
  TMenuForm T;
  T.Menu->SetOwnerDraw(true);
  int Measures = 0, Draws = 0;
  T.File->OnMeasureItem = [&](TObject* Sender, TCanvas*, int& Width, int& Height) {
    EXPECT_EQ(Sender, T.File);
    ++Measures;
    Width = 70;
  };
  T.File->OnAdvancedDrawItem = [&](TObject* Sender, TCanvas* C, const TRect& R, TOwnerDrawState) {
    EXPECT_EQ(Sender, T.File);
    ++Draws;
    C->Brush()->SetColor(clLime);
    C->FillRect(R);
  };
  T.Form->Show();
  T.File->MenuChanged(true);
  uitest::Pump();
  RedrawWindow(T.Form->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  uitest::Pump();
  EXPECT_GT(Measures, 0);
  EXPECT_GT(Draws, 0);
  RECT R;
  ASSERT_TRUE(GetMenuItemRect(T.Form->Handle(), GetMenu(T.Form->Handle()), 0, &R));
  EXPECT_GE(R.right - R.left, 70);  // the measured width (and the system's spacing)
  EXPECT_LT(R.right - R.left, 90);
  HDC DC = GetDC(nullptr);
  const COLORREF C = GetPixel(DC, (R.left + R.right) / 2, (R.top + R.bottom) / 2);
  ReleaseDC(nullptr, DC);
  EXPECT_EQ(C, RGB(0, 255, 0));
  // The other top items are painted by the framework: the caption on the menu bar colour.
  ASSERT_TRUE(GetMenuItemRect(T.Form->Handle(), GetMenu(T.Form->Handle()), 1, &R));
  DC = GetDC(nullptr);
  EXPECT_EQ(GetPixel(DC, R.left + 1, R.top + 1), ColorToRGB(clMenuBar));
  ReleaseDC(nullptr, DC);
  uitest::SaveScreenshot(T.Form->Handle(), "menu_bar_owner_draw");
}

TEST(MainMenu, TheMenuBarLivesThroughNewWindowsAndGoesWithTheMenu) {
  TMenuForm T;
  T.Form->Show();
  uitest::Pump();
  HMENU Bar = T.Menu->Handle();
  HMENU Sub = T.File->Handle();
  T.Form->RecreateWnd();
  EXPECT_TRUE(IsMenu(Bar));
  EXPECT_TRUE(IsMenu(Sub));
  EXPECT_EQ(GetMenu(T.Form->Handle()), Bar);
  SendMessageW(T.Form->Handle(), WM_COMMAND, T.Open->Command(), 0);
  EXPECT_EQ(T.Clicks.size(), 1u);
  // Another menu bar for the form; the first one no longer answers for it.
  auto* Second = new TMainMenu(T.Form.get());
  auto* Only = new TMenuItem(T.Form.get());
  Only->SetCaption(WideString(L"Only"));
  Second->Items()->Add(Only);
  T.Form->SetMenu(Second);
  EXPECT_EQ(GetMenu(T.Form->Handle()), Second->Handle());
  EXPECT_EQ(GetMenuItemCount(GetMenu(T.Form->Handle())), 1);
  SendMessageW(T.Form->Handle(), WM_COMMAND, T.Open->Command(), 0);
  EXPECT_EQ(T.Clicks.size(), 1u);
  // Freeing the menu takes the bar off the window and destroys its handles.
  HMENU SecondBar = Second->Handle();
  delete Second;
  EXPECT_EQ(T.Form->Menu(), nullptr);
  EXPECT_EQ(GetMenu(T.Form->Handle()), nullptr);
  EXPECT_FALSE(IsMenu(SecondBar));
  T.Form->SetMenu(T.Menu);
  EXPECT_EQ(GetMenu(T.Form->Handle()), Bar);
  // A menu owned elsewhere outlives the form; its handles stay whole.
  auto* Loose = new TMainMenu(nullptr);
  auto* L = new TMenuItem(nullptr);
  L->SetCaption(WideString(L"Loose"));
  Loose->Items()->Add(L);
  T.Form->SetMenu(Loose);
  HMENU LooseBar = Loose->Handle();
  T.Form.reset();
  EXPECT_TRUE(IsMenu(LooseBar));
  EXPECT_EQ(Loose->WindowForm(), nullptr);
  delete Loose;  // frees its items too
  EXPECT_FALSE(IsMenu(LooseBar));
}

TEST(MenuItems, TreeOperationsAndBadInput) {
  auto Menu = std::make_unique<TPopupMenu>(nullptr);
  TMenuItem* Root = Menu->Items();
  auto* A = new TMenuItem(nullptr);
  auto* B = new TMenuItem(nullptr);
  auto* C = new TMenuItem(nullptr);
  A->SetCaption(WideString(L"&Alpha"));
  B->SetCaption(WideString(L"Beta"));
  C->SetCaption(WideString(L"Gamma"));
  Root->Add(A);
  Root->Insert(0, B);
  EXPECT_EQ(Root->Items(0), B);
  EXPECT_EQ(A->MenuIndex(), 1);
  EXPECT_EQ(Root->Find(L"alpha"), A);
  EXPECT_EQ(Root->Find(L"Delta"), nullptr);
  EXPECT_THROW(Root->Add(A), EMenuError);           // inserted twice
  EXPECT_THROW(Root->Insert(5, C), EMenuError);     // index out of range
  EXPECT_THROW(Root->Add(nullptr), EMenuError);
  EXPECT_THROW(Root->Items(2), EMenuError);
  A->Add(C);
  EXPECT_THROW(C->Add(A), EMenuError);              // a parent under its own child
  EXPECT_THROW(Root->Add(Menu->Items()), EMenuError);
  HMENU H = Root->Handle();
  EXPECT_EQ(GetMenuItemCount(H), 2);
  // Delete takes an item out without freeing it; the system menu follows.
  Root->Delete(0);
  EXPECT_EQ(B->Parent(), nullptr);
  EXPECT_EQ(GetMenuItemCount(H), 1);
  EXPECT_EQ(GetSubMenu(H, 0), A->Handle());
  delete B;
  // Freeing an item takes it out of its parent.
  HMENU Sub = A->Handle();
  delete C;
  EXPECT_EQ(A->Count(), 0);
  EXPECT_EQ(GetSubMenu(H, 0), nullptr);  // no sub-items: a plain entry again
  Root->Clear();
  EXPECT_EQ(Root->Count(), 0);
  EXPECT_EQ(GetMenuItemCount(H), 0);
  EXPECT_FALSE(IsMenu(Sub));
}

TEST(ShortCuts, TextAndKeysRoundTrip) {
  EXPECT_EQ(ShortCutToText(ShortCut('S', {ssCtrl})), L"Ctrl+S");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_F10, {ssShift})), L"Shift+F10");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_DELETE, {ssAlt, ssCtrl})), L"Ctrl+Alt+Del");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_F4, {ssAlt})), L"Alt+F4");
  EXPECT_EQ(ShortCutToText(0), L"");
  const TShortCut Samples[] = {ShortCut('A', {}), ShortCut('9', {ssShift}), ShortCut(VK_RETURN, {ssCtrl}),
                               ShortCut(VK_NEXT, {}), ShortCut(VK_F12, {ssShift, ssCtrl, ssAlt}),
                               ShortCut(VK_ESCAPE, {})};
  for (TShortCut S : Samples) EXPECT_EQ(TextToShortCut(ShortCutToText(S)), S) << static_cast<int>(S);
  EXPECT_EQ(TextToShortCut(L"ctrl+shift+x"), ShortCut('X', {ssCtrl, ssShift}));
  EXPECT_EQ(TextToShortCut(L"Ctrl+"), 0);
  EXPECT_EQ(TextToShortCut(L"Hyper+Q"), 0);
  EXPECT_EQ(ShortCut(0x1FF, {ssCtrl}), 0);
  Word Key;
  TShiftState Shift;
  ShortCutToKey(ShortCut('Q', {ssAlt}), Key, Shift);
  EXPECT_EQ(Key, 'Q');
  EXPECT_EQ(Shift, TShiftState{ssAlt});
  EXPECT_EQ(StripHotkey(L"&Save && Exit"), L"Save & Exit");
}

TEST(PopupMenu, TrackPopupMenuClosedByAPostedCancelModeOrKeys) {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(100, 100, 300, 200);
  F->Show();
  SetForegroundWindow(F->Handle());
  uitest::Pump();
  auto* P = new TPopupMenu(F.get());
  std::vector<std::string> Clicks;
  int Popups = 0;
  P->OnPopup = [&](TObject*) { ++Popups; };
  for (const wchar_t* Caption : {L"One", L"Two"}) {
    auto* I = new TMenuItem(F.get());
    I->SetCaption(WideString(Caption));
    I->OnClick = [&Clicks, Caption](TObject*) { Clicks.push_back(std::string(Caption, Caption + 3)); };
    P->Items()->Add(I);
  }
  HWND List = PopupListWindow();
  ASSERT_NE(List, nullptr);

  PostMessageW(List, WM_CANCELMODE, 0, 0);
  P->Popup(150, 150);
  uitest::Pump();
  EXPECT_EQ(Popups, 1);
  EXPECT_TRUE(Clicks.empty());
  EXPECT_EQ(P->PopupPoint(), Point(150, 150));

  // Down, down, Enter: the second item; its OnClick follows with the next messages.
  PostMessageW(List, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(List, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(List, WM_KEYDOWN, VK_RETURN, 0);
  P->Popup(150, 150);
  uitest::Pump();
  ASSERT_EQ(Clicks.size(), 1u);
  EXPECT_EQ(Clicks[0], "Two");
  PostMessageW(List, WM_KEYDOWN, VK_ESCAPE, 0);
  P->Popup(150, 150);
  uitest::Pump();
  EXPECT_EQ(Clicks.size(), 1u);
  EXPECT_EQ(Popups, 3);

  // Owner-drawn: the system measures and paints the items through their events.
  P->SetOwnerDraw(true);
  TMenuItem* First = P->Items()->Items(0);
  int Measures = 0, Draws = 0;
  bool SawSelected = false;
  First->OnMeasureItem = [&](TObject* Sender, TCanvas*, int&, int&) {
    EXPECT_EQ(Sender, First);
    ++Measures;
  };
  First->OnAdvancedDrawItem = [&](TObject* Sender, TCanvas* C, const TRect& R, TOwnerDrawState State) {
    EXPECT_EQ(Sender, First);
    ++Draws;
    SawSelected = SawSelected || State.Contains(odSelected);
    C->FillRect(R);
  };
  PostMessageW(List, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(List, WM_KEYDOWN, VK_ESCAPE, 0);
  P->Popup(150, 150);
  uitest::Pump();
  EXPECT_GT(Measures, 0);
  EXPECT_GT(Draws, 0);
  EXPECT_TRUE(SawSelected);
  EXPECT_EQ(Clicks.size(), 1u);
}

namespace {

// A form freed from a timer once a menu of its shows; the menu handles it had are looked at then.
struct TFreedWhileOpen {
  TForm* Form = nullptr;
  std::vector<HMENU> Menus;
  int Ticks = 0;
  bool Freed = false;
  bool AliveInLoop = false;
  bool TimedOut = false;
} FreedWhileOpen;

void CALLBACK FreeTheFormOfTheOpenMenu(HWND, UINT, UINT_PTR, DWORD) {
  TFreedWhileOpen& S = FreedWhileOpen;
  if (++S.Ticks > 60) {
    S.TimedOut = true;
    EndMenu();
  }
  if (S.Freed || FindWindowW(L"#32768", nullptr) == nullptr) return;
  S.Freed = true;
  delete S.Form;
  S.AliveInLoop = std::all_of(S.Menus.begin(), S.Menus.end(), [](HMENU M) { return IsMenu(M) != FALSE; });
}

// Runs Open (which returns when the menu loop has ended) with the timer above.
const TFreedWhileOpen& FreeDuringTheLoop(TForm* F, std::vector<HMENU> Menus, const std::function<void()>& Open) {
  FreedWhileOpen = TFreedWhileOpen{F, std::move(Menus)};
  const UINT_PTR Timer = SetTimer(nullptr, 0, 30, FreeTheFormOfTheOpenMenu);
  Open();
  KillTimer(nullptr, Timer);
  Application->ProcessMessages();
  return FreedWhileOpen;
}

class TMDIMainForm : public TForm {
  T_CLASS(TMDIMainForm, TForm)

 public:
  using TForm::TForm;

 protected:
  void InitializeComponents() override {
    SetFormStyle(fsMDIForm);
    SetBounds(100, 80, 500, 360);
  }
};

TForm* ShownFrontForm() {
  auto* F = new TForm(nullptr);
  F->SetBounds(100, 100, 300, 200);
  F->Show();
  SetForegroundWindow(F->Handle());
  uitest::Pump();
  return F;
}

}  // namespace

// A form freed from a timer while its pop-up menu is open (the tracker keeps working on the menu
// until its loop ends): the menu closes by itself, and its handles live until the loop is over.
TEST(PopupMenu, AFormFreedWhileItsMenuIsOpenClosesTheMenuAndFreesItAfterTheLoop) {
  TForm* F = ShownFrontForm();
  auto* P = new TPopupMenu(F);
  auto* Sub = new TMenuItem(F);
  Sub->SetCaption(L"More");
  P->Items()->Add(Sub);
  auto* Leaf = new TMenuItem(F);
  Leaf->SetCaption(L"Leaf");
  Sub->Add(Leaf);
  const TFreedWhileOpen& S =
      FreeDuringTheLoop(F, {P->Items()->Handle(), Sub->Handle()}, [P] { P->Popup(150, 150); });
  ASSERT_TRUE(S.Freed);
  EXPECT_FALSE(S.TimedOut) << "the menu of the freed form closed by itself";
  EXPECT_TRUE(S.AliveInLoop) << "the handles outlived the form while the loop ran";
  for (HMENU M : S.Menus) EXPECT_FALSE(IsMenu(M));
}

// The same for a form whose system menu is open: the system destroys a window's system menu
// with the window, so the window outlives its form until the loop is over.
TEST(PopupMenu, AFormFreedWhileItsSystemMenuIsOpenKeepsItsWindowUntilTheLoopEnds) {
  TForm* F = ShownFrontForm();
  const HWND Window = F->Handle();
  const HMENU Menu = GetSystemMenu(Window, FALSE);
  ASSERT_NE(Menu, nullptr);
  const TFreedWhileOpen& S =
      FreeDuringTheLoop(F, {Menu}, [Window] { SendMessageW(Window, WM_SYSCOMMAND, SC_KEYMENU, ' '); });
  ASSERT_TRUE(S.Freed);
  EXPECT_FALSE(S.TimedOut) << "the menu of the freed form closed by itself";
  EXPECT_TRUE(S.AliveInLoop) << "the system menu outlived the form while the loop ran";
  EXPECT_FALSE(IsWindow(Window));
  EXPECT_FALSE(IsMenu(Menu));
}

// The same for an MDI child, which its MDI client destroys: the menu closes by itself, and the
// child's window and system menu are gone once the loop is over.
TEST(PopupMenu, AnMDIChildFreedWhileItsSystemMenuIsOpenClosesTheMenuAndLeavesNothing) {
  ASSERT_EQ(Application->MainForm(), nullptr) << "the test makes its own main form";
  TMDIMainForm* Main = nullptr;
  Application->CreateForm(Main);
  uitest::ShowSettled(Main);
  auto* Child = new TForm(nullptr);
  Child->SetFormStyle(fsMDIChild);
  Child->Show();
  uitest::Pump();
  const HWND Window = Child->Handle();
  const HMENU Menu = GetSystemMenu(Window, FALSE);
  ASSERT_NE(Menu, nullptr);
  RECT R;
  GetWindowRect(Window, &R);
  const TFreedWhileOpen& S = FreeDuringTheLoop(Child, {Menu}, [Window, R] {
    SendMessageW(Window, WM_SYSCOMMAND, SC_MOUSEMENU | HTSYSMENU, MAKELPARAM(R.left + 8, R.top + 8));
  });
  EXPECT_TRUE(S.Freed);
  EXPECT_FALSE(S.TimedOut) << "the menu of the freed child closed by itself";
  EXPECT_FALSE(IsWindow(Window));
  EXPECT_FALSE(IsMenu(Menu));
  delete Main;
  uitest::Pump();
}

TEST(PopupMenu, AControlShowsItsPopupMenuOnContextMenu) {
  auto F = std::make_unique<TForm>(nullptr);
  F->SetBounds(100, 100, 300, 200);
  F->Show();
  uitest::Pump();
  auto* P = new TPopupMenu(F.get());
  auto* I = new TMenuItem(F.get());
  I->SetCaption(WideString(L"Item"));
  P->Items()->Add(I);
  int Popups = 0;
  P->OnPopup = [&](TObject*) { ++Popups; };
  F->SetPopupMenu(P);
  HWND List = PopupListWindow();
  PostMessageW(List, WM_CANCELMODE, 0, 0);
  SendMessageW(F->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(F->Handle()), MAKELPARAM(160, 170));
  EXPECT_EQ(Popups, 1);
  EXPECT_EQ(P->PopupComponent(), F.get());
  EXPECT_EQ(P->PopupPoint(), Point(160, 170));
  P->SetAutoPopup(false);
  SendMessageW(F->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(F->Handle()), MAKELPARAM(160, 170));
  EXPECT_EQ(Popups, 1);
  uitest::Pump();
  MSG Stray;
  while (PeekMessageW(&Stray, List, WM_CANCELMODE, WM_CANCELMODE, PM_REMOVE)) {
  }
  // The owner-draw messages of pop-up items reach them through the popup list window.
  P->SetOwnerDraw(true);
  int Measures = 0;
  I->OnMeasureItem = [&](TObject* Sender, TCanvas*, int& W, int& H) {
    EXPECT_EQ(Sender, I);
    ++Measures;
  };
  MEASUREITEMSTRUCT MS{};
  MS.CtlType = ODT_MENU;
  MS.itemID = I->Command();
  EXPECT_EQ(SendMessageW(List, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&MS)), TRUE);
  EXPECT_EQ(Measures, 1);
  SendMessageW(List, WM_COMMAND, I->Command(), 0);
  // The popup component going away is forgotten.
  delete P;
  SendMessageW(List, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&MS));
  EXPECT_EQ(Measures, 1);
}

TEST(Menus, CreateDestroyLoopsLeaveNoWindowsMenusOrGdiObjects) {
  std::vector<HMENU> Handles;
  auto Cycle = [&] {
    TMenuForm T;
    T.Menu->SetOwnerDraw(true);
    T.Form->Show();
    uitest::Pump();
    auto* P = new TPopupMenu(T.Form.get());
    auto* I = new TMenuItem(T.Form.get());
    I->SetCaption(WideString(L"Popup"));
    P->Items()->Add(I);
    auto* Sub = new TMenuItem(T.Form.get());
    Sub->SetCaption(WideString(L"Sub"));
    I->Add(Sub);
    PostMessageW(PopupListWindow(), WM_CANCELMODE, 0, 0);
    P->Popup(120, 120);
    Handles.push_back(T.Menu->Handle());
    Handles.push_back(T.More->Handle());
    Handles.push_back(P->Handle());
    Handles.push_back(I->Handle());
    uitest::TMemoryDC M(50, 20);
    DRAWITEMSTRUCT DS{};
    DS.CtlType = ODT_MENU;
    DS.itemID = T.Exit->Command();
    DS.hDC = M.DC();
    DS.rcItem = RECT{0, 0, 50, 20};
    SendMessageW(T.Form->Handle(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&DS));
    uitest::Pump();
  };
  Cycle();
  const int Windows = uitest::CountThreadWindows();
  const int Gdi = uitest::GdiObjectCount();
  for (int I = 0; I < 10; ++I) Cycle();
  EXPECT_EQ(uitest::CountThreadWindows(), Windows);
  EXPECT_EQ(uitest::GdiObjectCount(), Gdi);
  for (HMENU H : Handles) EXPECT_FALSE(IsMenu(H));
}
