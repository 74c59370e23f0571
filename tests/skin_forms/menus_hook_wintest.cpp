// Hooking of menus by the skin manager's menu painter: menus of a form switch to owner draw with
// the skin's handlers when a skin is loaded and back when it is removed; handlers are set only
// where unassigned and cleared only while they are still the painter's own.
#include "skin_forms/menus_support.h"

using namespace menustest;

namespace {

bool OwnDraw(TMenuItem* I) { return I->OnAdvancedDrawItem.target<TsMenuItemHandler>() != nullptr; }
bool OwnMeasure(TMenuItem* I) { return I->OnMeasureItem.target<TsMenuMeasureHandler>() != nullptr; }
bool TopLineDraw(TMenuItem* I) {
  const auto* H = I->OnAdvancedDrawItem.target<TsMenuItemHandler>();
  return H != nullptr && H->TopLine;
}

TMenuItem* AddItem(TMenuItem* Parent, TComponent* Owner, const wchar_t* Caption) {
  auto* I = new TMenuItem(Owner);
  I->SetCaption(WideString(Caption));
  Parent->Add(I);
  return I;
}

// A form owned by the application with a menu bar (File > Open, Close) and a pop-up menu
// (Plain, User-drawn, Sub > Inner).
struct TMenuForm {
  TForm* Form = TCustomForm::Create<TForm>(Application);
  TMainMenu* Main = new TMainMenu(Form);
  TPopupMenu* Popup = new TPopupMenu(Form);
  TMenuItem* File = AddItem(Main->Items(), Form, L"&File");
  TMenuItem* Open = AddItem(File, Form, L"Open");
  TMenuItem* Plain = AddItem(Popup->Items(), Form, L"Plain");
  TMenuItem* User = AddItem(Popup->Items(), Form, L"User-drawn");
  TMenuItem* Sub = AddItem(Popup->Items(), Form, L"Sub");
  TMenuItem* Inner = AddItem(Sub, Form, L"Inner");
  int UserDraws = 0;
  TMenuForm() {
    User->OnAdvancedDrawItem = [this](TObject*, TCanvas*, const TRect&, TOwnerDrawState) { ++UserDraws; };
  }
  ~TMenuForm() { delete Form; }
};

}  // namespace

TEST(MenusHook, SkinLoadHooksMenusOfFormsAndRemovalUnhooksThem) {
  TMenuForm F;
  EXPECT_FALSE(F.Popup->OwnerDraw());
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  ASSERT_TRUE(M->SkinActive());
  ASSERT_NE(Painter(M.get()), nullptr);
  EXPECT_TRUE(Painter(M.get())->Active());

  // Pop-up menu: owner draw, no animation, the skin's handlers where there were none.
  EXPECT_TRUE(F.Popup->OwnerDraw());
  EXPECT_TRUE(F.Popup->MenuAnimation().Contains(maNone));
  EXPECT_TRUE(OwnDraw(F.Plain) && OwnMeasure(F.Plain));
  EXPECT_TRUE(OwnDraw(F.Inner) && OwnMeasure(F.Inner));
  EXPECT_FALSE(OwnDraw(F.User)) << "a user's draw handler stays";
  EXPECT_TRUE(OwnMeasure(F.User)) << "the empty measure handler gets the skin's";
  // Menu bar: top-line handlers on the top-level item, popup handlers below it.
  EXPECT_TRUE(F.Main->OwnerDraw());
  EXPECT_TRUE(TopLineDraw(F.File));
  EXPECT_TRUE(OwnDraw(F.Open) && !TopLineDraw(F.Open));

  // The user's handler still runs when the item is drawn.
  std::unique_ptr<TBitmap> B(CreateBmp24(50, 20));
  F.User->OnAdvancedDrawItem(F.User, B->Canvas(), Rect(0, 0, 50, 20), TOwnerDrawState{});
  EXPECT_EQ(F.UserDraws, 1);

  // Skin removed: everything of the painter's goes, the user's handler stays.
  M->SetActive(false);
  EXPECT_FALSE(Painter(M.get())->Active());
  EXPECT_FALSE(F.Popup->OwnerDraw());
  EXPECT_FALSE(F.Popup->MenuAnimation().Contains(maNone));
  EXPECT_FALSE(F.Plain->OnAdvancedDrawItem || F.Plain->OnMeasureItem);
  EXPECT_FALSE(F.Inner->OnAdvancedDrawItem || F.Inner->OnMeasureItem);
  EXPECT_TRUE(static_cast<bool>(F.User->OnAdvancedDrawItem));
  EXPECT_FALSE(F.User->OnMeasureItem);
  EXPECT_FALSE(F.Main->OwnerDraw());
  EXPECT_FALSE(F.File->OnAdvancedDrawItem || F.File->OnMeasureItem);
  EXPECT_FALSE(F.Open->OnAdvancedDrawItem);
  DropPopupRequests();
}

TEST(MenusHook, HandlersReplacedByTheProgramSurviveUnhooking) {
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  TsSkinableMenus* P = Painter(M.get());
  TPopupMenu Menu(nullptr);
  auto* A = new TMenuItem(&Menu);
  A->SetCaption(WideString(L"A"));
  Menu.Items()->Add(A);
  P->HookPopupMenu(&Menu, true);
  ASSERT_TRUE(OwnDraw(A));
  // The program takes the item over after hooking.
  int Mine = 0;
  A->OnMeasureItem = [&](TObject*, TCanvas*, int&, int&) { ++Mine; };
  P->HookPopupMenu(&Menu, false);
  EXPECT_FALSE(A->OnAdvancedDrawItem);
  ASSERT_TRUE(static_cast<bool>(A->OnMeasureItem));
  int W = 0, H = 0;
  A->OnMeasureItem(A, nullptr, W, H);
  EXPECT_EQ(Mine, 1);

  // Another manager's painter does not count as this one's.
  sSkinMenusInstall();
  TsSkinManager Other(nullptr);
  TsSkinableMenus* Q = Painter(&Other);
  ASSERT_NE(Q, nullptr);
  Q->HookPopupMenu(&Menu, true);
  P->HookPopupMenu(&Menu, false);
  EXPECT_TRUE(OwnDraw(A)) << "the other painter's handler stays";
  Q->HookPopupMenu(&Menu, false);
  EXPECT_FALSE(A->OnAdvancedDrawItem);
}

TEST(MenusHook, WithoutSkinnedPopupsTheMenuBarStaysAndPopupsAreNotOwnerDrawn) {
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  TsSkinableMenus* P = Painter(M.get());
  M->SetSkinnedPopups(false);
  TMainMenu Bar(nullptr);
  auto* Top = new TMenuItem(&Bar);
  Top->SetCaption(WideString(L"Top"));
  Bar.Items()->Add(Top);
  P->HookMainMenu(&Bar, true);
  EXPECT_FALSE(Bar.OwnerDraw());
  EXPECT_FALSE(Top->OnAdvancedDrawItem || Top->OnMeasureItem);

  TPopupMenu Menu(nullptr);
  auto* A = new TMenuItem(&Menu);
  Menu.Items()->Add(A);
  P->HookComponentMenus(&Menu, true);
  EXPECT_FALSE(Menu.OwnerDraw());
  EXPECT_FALSE(A->OnAdvancedDrawItem);
}

TEST(MenusHook, HookItemGivesTopLineOrPopupHandlers) {
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  TsSkinableMenus* P = Painter(M.get());
  TMainMenu Bar(nullptr);
  auto* Top = new TMenuItem(&Bar);
  Bar.Items()->Add(Top);
  auto* Child = new TMenuItem(&Bar);
  Top->Add(Child);
  // A top-line item gets the top-line pair even over a handler of the program.
  Top->OnAdvancedDrawItem = [](TObject*, TCanvas*, const TRect&, TOwnerDrawState) {};
  P->HookItem(Top, true);
  EXPECT_TRUE(TopLineDraw(Top));
  EXPECT_TRUE(Bar.OwnerDraw());
  P->HookItem(Child, true);
  EXPECT_TRUE(OwnDraw(Child) && !TopLineDraw(Child));
  P->HookItemTree(Bar.Items(), false);
  EXPECT_FALSE(Child->OnAdvancedDrawItem);
  EXPECT_TRUE(TopLineDraw(Top)) << "the popup pair's clearing leaves top-line handlers";
  P->HookMainMenu(&Bar, false);
  EXPECT_FALSE(Top->OnAdvancedDrawItem);
  EXPECT_FALSE(Bar.OwnerDraw());
}

TEST(MenusHook, BadInputIsIgnoredOrRaisesAClearError) {
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  TsSkinableMenus* P = Painter(M.get());
  std::unique_ptr<TBitmap> B(CreateBmp24(20, 20));
  TObject NotAnItem;
  int W = 7, H = 9;
  P->MeasureMenuItem(&NotAnItem, B->Canvas(), W, H);
  P->MenuItemMeasure(nullptr, B->Canvas(), W, H);
  EXPECT_EQ(W, 7);
  EXPECT_EQ(H, 9);
  P->PaintMenuItem(&NotAnItem, B->Canvas(), Rect(0, 0, 20, 20), TOwnerDrawState{});
  P->MenuItemAdvancedDraw(nullptr, B->Canvas(), Rect(0, 0, 20, 20), TOwnerDrawState{});
  P->HookPopupMenu(nullptr, true);
  P->HookMainMenu(nullptr, true);
  P->HookItemTree(nullptr, true);
  P->HookItem(nullptr, true);
  P->HookComponentMenus(nullptr, true);
  TacMenuInfo Info;
  P->GetMenuInfo(nullptr, 10, 10, nullptr, Info);
  EXPECT_EQ(Info.Bmp, nullptr);
  EXPECT_EQ(P->FrameBitmapOf(nullptr, nullptr), nullptr);
  // A frame too large for a bitmap is refused with the graphics error.
  TPopupMenu Menu(nullptr);
  auto* I = new TMenuItem(&Menu);
  Menu.Items()->Add(I);
  EXPECT_THROW(P->GetMenuInfo(I, 100000, 100000, nullptr, Info), Exception);
  EXPECT_TRUE(MenuInfoCache.empty());
  // A system menu without a form is empty and shows nothing.
  TsSystemMenu S(nullptr, nullptr);
  EXPECT_EQ(S.Items()->Count(), 0);
  EXPECT_FALSE(S.VisibleClose() || S.VisibleMax() || S.EnabledMax() || S.EnabledRestore());
  S.UpdateItems(true);
  ClearMenuCache();
}

TEST(MenusHook, HandlerOfAPainterThatIsGoneDoesNothing) {
  TPopupMenu Menu(nullptr);
  auto* A = new TMenuItem(&Menu);
  A->SetCaption(WideString(L"Kept"));
  Menu.Items()->Add(A);
  {
    std::unique_ptr<TsSkinManager> M = LoadedManager();
    Painter(M.get())->HookPopupMenu(&Menu, true);
  }  // the manager goes; the menu, owned by nobody, was not unhooked
  ASSERT_TRUE(OwnDraw(A));
  auto B = FilledBitmap(40, 20, RGB(1, 2, 3));
  A->OnAdvancedDrawItem(A, B->Canvas(), Rect(0, 0, 40, 20), TOwnerDrawState{});
  int W = 5, H = 6;
  A->OnMeasureItem(A, B->Canvas(), W, H);
  EXPECT_EQ(W, 5);
  EXPECT_EQ(CountColor(B.get(), Rect(0, 0, 40, 20), RGB(1, 2, 3)), 40 * 20);
  ClearMenuCache();
}
