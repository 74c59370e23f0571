// Menus of skinned forms: the skin submenu of the skinned system menu over repeated drops, the
// menu-line items that the system paints beside an extended border window, the Help caption
// button of forms without a maximize button, and which menus and controls a provider takes up
// when components come to its form.
#include "framework/StdCtrls.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/core/acPixels.h"
#include "skin/forms/acBorderForm.h"
#include "skin_forms/adapt2_support.h"
#include "skin_forms/extform_support.h"
#include "skin_forms/extskin_support.h"
#include "skin_forms/provc_support.h"
#include "support/FreedMemoryGuard.h"

using namespace provbtest;
using namespace provctest;

namespace {

int CountNamed(TMenuItem* Parent, const char* Name) {
  int N = 0;
  for (int I = 0; I < Parent->Count(); ++I) N += Parent->Items(I)->Name() == Name ? 1 : 0;
  return N;
}

// The form shown with a menu line of two items, File and View.
TMainMenu* ShowWithMenuLine(TSkinnedForm& F) {
  auto* Menu = new TMainMenu(F.Form);
  AddTopItem(Menu, F.Form, L"File");
  AddTopItem(Menu, F.Form, L"View");
  F.Form->SetMenu(Menu);
  F.ShowNow();
  uitest::PumpFor(100);
  return Menu;
}

}  // namespace

namespace {
void CALLBACK FaultingTimer(HWND, UINT, UINT_PTR Id, DWORD) {
  KillTimer(nullptr, Id);
  volatile int* P = nullptr;
  *P = 1;
}
}  // namespace

TEST(provc_Menus, FaultCounterSeesAFaultThatTheSystemSwallows) {
  // The counter the other tests rely on: the system catches this fault and goes on. The fault is
  // made on purpose, so the freed-memory guard that watches every test is told to expect it.
  memguard::TExpectFaults Expected;
  memguard::TFaultCount Faults;
  SetTimer(nullptr, 0, 1, FaultingTimer);
  EXPECT_TRUE(uitest::WaitFor([&] { return Faults.Count() > 0; }, 1000));
  EXPECT_EQ(Faults.Count(), 1);
}

TEST(provc_Menus, TheSkinSubmenuIsRebuiltOnEveryDropWithOneLineAfterIt) {
  memguard::TFaultCount Faults;
  TSkinnedForm F;
  ASSERT_TRUE(F.Manager->SkinnedPopups());
  F.Provider->SetMakeSkinMenu(true);
  const RECT W = F.WindowRect();
  int FirstCount = -1, FirstComponents = -1;
  for (int Drop = 0; Drop < 3; ++Drop) {
    EXPECT_NO_THROW(WithMenuClosedAfter(120, [&] { F.Provider->DropSysMenu(W.left + 10, W.top + 30); }))
        << "drop " << Drop;
    TsSystemMenu* S = F.Provider->SysMenu;
    ASSERT_NE(S, nullptr);
    TMenuItem* Items = S->Items();
    ASSERT_GE(Items->Count(), 3);
    EXPECT_EQ(CountNamed(Items, "SkinSelectItem"), 1) << "drop " << Drop;
    EXPECT_EQ(Items->Items(0)->Name(), "SkinSelectItem");
    EXPECT_GT(Items->Items(0)->Count(), 0) << "one sub-item per skin";
    EXPECT_EQ(Items->Items(1)->Caption(), L"-");
    EXPECT_NE(Items->Items(2)->Caption(), L"-") << "drop " << Drop << ": one line only";
    if (Drop == 0) {
      FirstCount = Items->Count();
      FirstComponents = S->ComponentCount();
    } else {
      EXPECT_EQ(Items->Count(), FirstCount) << "drop " << Drop;
      EXPECT_EQ(S->ComponentCount(), FirstComponents) << "the replaced items are freed";
    }
  }
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_Menus, AMenuLineItemThatTheSystemPaintsMatchesTheBorderWindowsImage) {
  memguard::TFaultCount Faults;
  TSkinnedForm F(false);
  F.Manager->SetExtendedBorders(true);
  TMainMenu* Menu = ShowWithMenuLine(F);
  ASSERT_NE(F.Provider->BorderForm, nullptr);
  TBitmap* Cache = F.Provider->SkinData()->CacheBmp();
  ASSERT_NE(Cache, nullptr);
  // The system paints the second item into the form's window (window coordinates).
  HMENU H = Menu->Handle();
  MENUITEMINFOW MI{};
  MI.cbSize = sizeof(MI);
  MI.fMask = MIIM_ID | MIIM_DATA;
  ASSERT_TRUE(GetMenuItemInfoW(H, 1, TRUE, &MI));
  RECT SR{};
  ASSERT_TRUE(GetMenuItemRect(F.Handle(), H, 1, &SR));
  const RECT WR = F.WindowRect();
  const TRect R{SR.left - WR.left, SR.top - WR.top, SR.right - WR.left, SR.bottom - WR.top};
  ASSERT_GT(R.Width(), 4);
  uitest::TMemoryDC Mem(WR.right - WR.left, WR.bottom - WR.top, RGB(255, 0, 0));
  DRAWITEMSTRUCT D{};
  D.CtlType = ODT_MENU;
  D.itemID = MI.wID;
  D.itemData = MI.dwItemData;
  D.itemAction = ODA_DRAWENTIRE;
  D.itemState = ODS_NOACCEL;
  D.hwndItem = reinterpret_cast<HWND>(H);
  D.hDC = Mem.DC();
  D.rcItem = RECT{R.Left, R.Top, R.Right, R.Bottom};
  SendMessageW(F.Handle(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&D));
  // The same place of the form image (the border window's picture) shows the same pixels.
  const TRect E = F.Provider->ExtBorderMargins();
  const int DX = E.Left + DiffBorder(F.Provider->BorderForm);
  const int DY = E.Top + DiffTitle(F.Provider->BorderForm);
  int Differ = 0, Red = 0;
  for (int Y = R.Top; Y < R.Bottom; ++Y)
    for (int X = R.Left; X < R.Right; ++X) {
      const COLORREF P = Mem.Pixel(X, Y);
      if (P == RGB(255, 0, 0)) ++Red;
      if (!NearColor(P, Pixel32(Cache, X + DX, Y + DY), 2)) ++Differ;
    }
  EXPECT_EQ(Red, 0) << "the whole item is painted";
  EXPECT_EQ(Differ, 0) << "the item's background comes from its own place in the menu line";
  EXPECT_EQ(Faults.Count(), 0);
}

namespace {

// Each channel of C lies between those of A and B (2 either side).
bool Between(COLORREF C, COLORREF A, COLORREF B) {
  auto In = [](int V, int P, int Q) { return V >= std::min(P, Q) - 2 && V <= std::max(P, Q) + 2; };
  return In(GetRValue(C), GetRValue(A), GetRValue(B)) && In(GetGValue(C), GetGValue(A), GetGValue(B)) &&
         In(GetBValue(C), GetBValue(A), GetBValue(B));
}

HMENU GOpened = nullptr;
int GTicks = 0;
// Ends the menu loop once a menu opened (or after about three seconds without one).
void CALLBACK EndMenuWhenOpened(HWND, UINT, UINT_PTR, DWORD) {
  if (GOpened != nullptr || ++GTicks > 150) EndMenu();
}

// Clicks at a screen point of the form and answers the menu that the click opened, nullptr when
// none did.
HMENU MenuOpenedByClick(TForm* Form, POINT P) {
  GOpened = nullptr;
  GTicks = 0;
  TWndMethod Top = Form->WindowProc();
  Form->SetWindowProc([Top](TMessage& M) {
    if (M.Msg == WM_INITMENUPOPUP && HIWORD(M.LParam) == 0 && GOpened == nullptr)
      GOpened = reinterpret_cast<HMENU>(M.WParam);
    Top(M);
  });
  const UINT_PTR T = SetTimer(nullptr, 0, 20, EndMenuWhenOpened);
  EXPECT_TRUE(realinput::ClickSeen(Form->Handle(), P));
  KillTimer(nullptr, T);
  EndMenu();
  uitest::Pump();
  Form->SetWindowProc(Top);
  return GOpened;
}

}  // namespace

TEST(provc_Menus, TheMenuLineShowsRightBelowTheTitleBarAndItsItemsOpen) {
  // The screen over the last rows of the title bar and the menu line shows the form image as one
  // picture, the line right below the title, whether the form itself, its border window (either
  // border mode) or a maximised form shows it; a click on an item opens that item's menu.
  struct TCase {
    const char* Name;
    int Mode;
    bool Extended, Maximised;
  };
  const TCase Cases[] = {{"system frame", 0, false, false}, {"system frame, maximised", 0, false, true},
                         {"mode 0", 0, true, false},        {"mode 0, maximised", 0, true, true},
                         {"mode 1", 1, true, false},        {"mode 1, maximised", 1, true, true}};
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    memguard::TFaultCount Faults;
    TMenuItem* Items[2] = {};
    extform::TExtForm F(C.Mode, [&](TForm* Form, TsSkinProvider* P) {
      P->SkinData()->SkinManager()->SetExtendedBorders(C.Extended);
      auto* Menu = new TMainMenu(Form);
      Items[0] = AddTopItem(Menu, Form, L"File");
      Items[1] = AddTopItem(Menu, Form, L"View");
      Form->SetMenu(Menu);
    });
    HWND H = F.Form->Handle();
    if (C.Maximised) {
      SendMessageW(H, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
      ASSERT_TRUE(uitest::WaitFor([&] { return IsZoomed(H) != FALSE; }));
    }
    ASSERT_EQ(F.Provider->BorderForm != nullptr, C.Extended);
    // The image shows at the border window's origin, or at the form's without one.
    const TRect E = F.Provider->ExtBorderMargins();
    const int TitleBottom =
        E.Top + WindowFrameWidth(H, F.Provider->BorderForm, false) + F.Provider->CaptionHeight(true);
    // The system's menu bar is a row higher than the line the skin paints: the row below the line
    // shows there too.
    const int BarHeight = F.Provider->MenuHeight() + 1;
    const TRect Band{E.Left + FormBorderWidth(H, F.Provider->BorderForm, true) + 2, TitleBottom - 4,
                     E.Left + F.Form->Width() / 2, TitleBottom + BarHeight};
    auto Shot = [&] {
      RECT O;
      GetWindowRect(C.Extended ? F.BorderWnd() : H, &O);
      return ScreenShot(RECT{O.left + Band.Left, O.top + Band.Top, O.left + Band.Right, O.top + Band.Bottom});
    };
    auto Differ = [&] {
      auto S = Shot();
      HDC Image = F.Image()->Canvas()->Handle();
      int N = 0;
      for (int Y = 0; Y < Band.Height(); ++Y)
        for (int X = 0; X < Band.Width(); ++X)
          N += NearColor(S->Pixel(X, Y), GetPixel(Image, Band.Left + X, Band.Top + Y), 2) ? 0 : 1;
      return N;
    };
    EXPECT_TRUE(uitest::WaitFor([&] { return Differ() == 0; })) << Differ() << " pixels differ";
    // Every row of the bar, under the items and beside them, is the skin's line colour (the form's
    // colour too in this skin), or the items' text over it.
    {
      const auto Section = [&](const char* Name) -> const TsGeneralData& {
        return F.Manager->GeneralData()[static_cast<std::size_t>(F.Manager->GetSectionIndex(Name))];
      };
      const COLORREF Back = static_cast<COLORREF>(Section("MENULINE").Color) & 0xFFFFFF;
      const COLORREF Text = static_cast<COLORREF>(Section("MENULINE").FontColor[0]) & 0xFFFFFF;
      ASSERT_EQ(static_cast<COLORREF>(Section("FORM").Color) & 0xFFFFFF, Back);
      auto S = Shot();
      int Foreign = 0;
      for (int Y = Band.Height() - BarHeight; Y < Band.Height(); ++Y)
        for (int X = 0; X < Band.Width(); ++X) Foreign += Between(S->Pixel(X, Y), Back, Text) ? 0 : 1;
      EXPECT_EQ(Foreign, 0) << "pixels of the menu bar are neither the line nor its text";
    }
    for (TMenuItem* Item : Items) {
      RECT R;
      ASSERT_TRUE(GetMenuItemRect(H, GetMenu(H), static_cast<UINT>(Item == Items[0] ? 0 : 1), &R));
      EXPECT_EQ(MenuOpenedByClick(F.Form, POINT{(R.left + R.right) / 2, (R.top + R.bottom) / 2}), Item->Handle())
          << "the click opens " << Item->Caption().c_str();
    }
    EXPECT_EQ(Faults.Count(), 0);
  }
}

// A menu line whose every row has a colour of its own (a gradient from top to bottom, in a skin of
// the tests' own): under an item, beside its caption, the line shows the same rows as beside the
// items, with the system frame and with a border window.
TEST(provc_Menus, UnderAnItemTheMenuLineShowsTheRowsItShowsBesideIt) {
  for (const bool Extended : {false, true}) {
    SCOPED_TRACE(Extended ? "border window" : "system frame");
    memguard::TFaultCount Faults;
    TSkinnedForm F(false);
    std::string Options = extskin::ReadFile(tvtest::SourcePath("app/res/skin/Options.dat"));
    const std::string Line = "[MENULINE]\r\n";
    ASSERT_NE(Options.find(Line), std::string::npos);
    // From RGB(30, 30, 160) at the top to RGB(220, 200, 40) at the bottom, the form active or not.
    Options.insert(Options.find(Line) + Line.size(),
                   "GRADIENTPERCENT=100\r\nGRADIENTDATA=10493470;2672860;100;0;0\r\n"
                   "HOTGRADIENTPERCENT=100\r\nHOTGRADIENTDATA=10493470;2672860;100;0;0\r\n");
    mgrtest::AddStoredSkin(*F.Manager, "TexturedLine", Options,
                           {{"MASTER.BMP", extskin::ReadFile(tvtest::SourcePath("app/res/skin/Master.bmp"))}});
    F.Manager->SetSkinName("TexturedLine");
    F.Manager->SetExtendedBorders(Extended);
    TMainMenu* Menu = ShowWithMenuLine(F);
    ASSERT_EQ(F.Provider->BorderForm != nullptr, Extended);
    RECT Item{}, Last{};
    ASSERT_TRUE(GetMenuItemRect(F.Handle(), Menu->Handle(), 0, &Item));
    ASSERT_TRUE(GetMenuItemRect(F.Handle(), Menu->Handle(), 1, &Last));
    const int Beside = Last.right + 20;
    const std::unique_ptr<uitest::TCapture> S = ScreenShot(RECT{Item.left, Item.top, Beside + 1, Item.bottom});
    const int H = Item.bottom - Item.top;
    int Shades = 0, Differ = 0;
    for (int Y = 0; Y < H; ++Y) {
      Shades += Y > 0 && S->Pixel(Beside - Item.left, Y) != S->Pixel(Beside - Item.left, Y - 1) ? 1 : 0;
      Differ += NearColor(S->Pixel(1, Y), S->Pixel(Beside - Item.left, Y), 2) ? 0 : 1;
    }
    EXPECT_GT(Shades, H / 2) << "the rows of the line differ";
    EXPECT_EQ(Differ, 0) << "rows under the item that differ from the line beside it";
    EXPECT_EQ(Faults.Count(), 0);
  }
}

TEST(provc_Menus, TheHelpButtonOfADialogWithoutMaximizeIsClickable) {
  memguard::TFaultCount Faults;
  TSkinnedForm F(false, bsDialog);
  F.Form->SetBorderIcons(TBorderIcons{biSystemMenu, biHelp});
  // The context-help command is recorded and kept from the system (which would wait for a click).
  int Helps = 0;
  TWndMethod Top = F.Form->WindowProc();
  F.Form->SetWindowProc([&Helps, Top](TMessage& M) {
    if (M.Msg == WM_SYSCOMMAND && (M.WParam & 0xFFF0) == SC_CONTEXTHELP) {
      ++Helps;
      return;
    }
    Top(M);
  });
  F.ShowNow();
  ASSERT_EQ(F.Provider->BorderForm, nullptr);
  const TsCaptionButton& Help = F.Provider->ButtonHelp;
  ASSERT_GE(Help.State, 0) << "the Help button is shown";
  ASSERT_FALSE(F.Provider->VisibleMax());
  const POINT P = F.ScreenCentre(Help);
  EXPECT_EQ(F.HitAt(P), HTHELP);
  ASSERT_TRUE(realinput::ClickSeen(F.Handle(), P));
  EXPECT_TRUE(uitest::WaitFor([&] { return Helps == 1; }, 10000));
  EXPECT_EQ(Helps, 1);
  F.Form->SetWindowProc(Top);
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_Menus, MenuItemsOwnedByTheFormAreSkinnedWhereverTheyHang) {
  memguard::TFaultCount Faults;
  TSkinnedForm F;
  // A popup menu that the form does not own, whose item the form owns.
  auto Popup = std::make_unique<TPopupMenu>(nullptr);
  auto* Item = new TMenuItem(F.Form);
  Item->SetCaption(WideString(L"Tools"));
  auto* Sub = new TMenuItem(F.Form);
  Sub->SetCaption(WideString(L"Options"));
  Item->Add(Sub);
  Popup->Items()->Add(Item);
  ASSERT_FALSE(static_cast<bool>(Sub->OnAdvancedDrawItem));
  F.Provider->SkinFormMenus(true);
  EXPECT_TRUE(static_cast<bool>(Sub->OnAdvancedDrawItem));
  EXPECT_TRUE(static_cast<bool>(Sub->OnMeasureItem));
  F.Provider->SkinFormMenus(false);
  EXPECT_FALSE(static_cast<bool>(Sub->OnAdvancedDrawItem)) << "taken back again";
  Popup->Items()->Remove(Item);
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_Menus, AWindowedControlGivenToTheFormIsAdapted) {
  memguard::TFaultCount Faults;
  auto M = adapt2::LoadProgramSkin();
  sSkinProviderInstall();
  adapt2::TTestForm T;
  auto* Prov = new TsSkinProvider(T.Form);
  (void)Prov;
  T.Show();
  // An edit on the form, owned by nobody, made while the manager adapts no edits.
  auto* Edit = new TEdit(nullptr);
  Edit->SetParent(T.Form);
  Edit->SetBounds(20, 20, 120, 24);
  Edit->HandleNeeded();
  uitest::Pump();
  ASSERT_EQ(GetWndAdapter(Edit->Handle()), nullptr);
  adapt2::SetList(*M, tpEdit, "TEdit");
  // Now the form takes the edit over as its component.
  T.Form->InsertComponent(Edit);
  EXPECT_NE(GetWndAdapter(Edit->Handle()), nullptr);
  EXPECT_EQ(Faults.Count(), 0);
}
