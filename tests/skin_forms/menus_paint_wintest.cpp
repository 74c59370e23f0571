// Measuring and painting of menu items and popup frames from the program's skin, through the
// painter into memory bitmaps.
#include <cmath>

#include "skin_forms/menus_support.h"

using namespace menustest;

namespace {

// Section colours of the program's skin.
const COLORREF MainMenuColor = ColorOf(2696742);
const COLORREF IcoLineColor = ColorOf(3157036);
const COLORREF ItemHotColor = ColorOf(7819050);

constexpr int FrameW = 160;
constexpr int FrameH = 130;
constexpr int ItemW = FrameW - 6;

struct MenusPaint : ::testing::Test {
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  TsSkinableMenus* P = Painter(M.get());
  TPopupMenu Menu{nullptr};
  TMenuItem* Add(const wchar_t* Caption) {
    auto* I = new TMenuItem(&Menu);
    I->SetCaption(WideString(Caption));
    Menu.Items()->Add(I);
    return I;
  }
  void SetUp() override {
    ClearMenuCache();
    ASSERT_NE(P, nullptr);
  }
  void TearDown() override {
    DropPopupRequests();
    ClearMenuCache();
  }
  // The frame record of the menu, painted without a window.
  TacMenuInfo Frame() {
    TacMenuInfo Info;
    P->GetMenuInfo(Menu.Items()->Items(0), FrameW, FrameH, nullptr, Info);
    return Info;
  }
  // Paints an item at the top of a bitmap as the menu would show it (first row).
  std::unique_ptr<TBitmap> PaintItem(TMenuItem* I, int H, TOwnerDrawState State, int Top = 0) {
    Frame();
    auto B = FilledBitmap(ItemW, Top + H, RGB(255, 0, 255));
    P->PaintMenuItem(I, B->Canvas(), Rect(0, Top, ItemW, Top + H), State);
    return B;
  }
  int Measure(TMenuItem* I, int* Height = nullptr) {
    std::unique_ptr<TBitmap> B(CreateBmp24(4, 4));
    int W = 0, H = 0;
    P->MeasureMenuItem(I, B->Canvas(), W, H);
    if (Height != nullptr) *Height = H;
    return W;
  }
  // Bright (text) pixels in a rectangle.
  static int Bright(TBitmap* B, const TRect& R) {
    int N = 0;
    for (int Y = R.Top; Y < R.Bottom; ++Y)
      for (int X = R.Left; X < R.Right; ++X)
        if (Brightness(PixelOf(B, X, Y)) > 3 * 170) ++N;
    return N;
  }
};

}  // namespace

TEST_F(MenusPaint, FrameHasTheMenuSectionTheGlyphBandAndTheBorder) {
  Add(L"Open");
  TacMenuInfo Info = Frame();
  ASSERT_NE(Info.Bmp, nullptr);
  EXPECT_EQ(Info.Bmp->Width(), FrameW);
  EXPECT_EQ(Info.Bmp->Height(), FrameH);
  EXPECT_EQ(Info.Wnd, nullptr);
  EXPECT_FALSE(Info.ExtraLine && M->MenuSupport()->UseExtraLine());
  const int SBW = P->SkinBorderWidth();
  EXPECT_EQ(SBW, 3);
  EXPECT_EQ(GlyphColumnWidth, 2 + 16 + 6);
  EXPECT_EQ(PixelOf(Info.Bmp, 100, 60), MainMenuColor);
  EXPECT_EQ(PixelOf(Info.Bmp, SBW + 5, 60), IcoLineColor);
  EXPECT_EQ(PixelOf(Info.Bmp, SBW + GlyphColumnWidth + 2, 60), MainMenuColor);
  EXPECT_NE(PixelOf(Info.Bmp, 0, 60), MainMenuColor) << "border mask at the edge";
  // One record per menu: the next lookup finds it.
  TacMenuInfo Again;
  P->GetMenuInfo(Menu.Items()->Items(0), 0, 0, nullptr, Again);
  EXPECT_EQ(Again.Bmp, Info.Bmp);
  EXPECT_EQ(MenuInfoCache.size(), 1u);
  ClearMenuCache();
  EXPECT_TRUE(MenuInfoCache.empty());
}

TEST_F(MenusPaint, NormalItemIsMeasuredFromTextAndGlyphColumn) {
  TMenuItem* I = Add(L"Open file");
  I->SetShortCut(ShortCut('O', TShiftState{ssCtrl}));
  std::unique_ptr<TBitmap> B(CreateBmp24(4, 4));
  B->Canvas()->SetFont(Screen->MenuFont());
  const int TH = B->Canvas()->TextHeight(L"W");
  RECT TR{0, 0, 1, 0};
  const WideString Text = L"Open fileCtrl+O";
  DrawTextW(B->Canvas()->Handle(), Text.c_str(), -1, &TR, DT_CALCRECT | DT_EXPANDTABS | DT_SINGLELINE | DT_NOCLIP);
  int H = 0;
  EXPECT_EQ(Measure(I, &H), TR.right + 44);
  EXPECT_EQ(H, std::max(16, static_cast<int>(std::lround(TH * 1.25))) + 4);
  EXPECT_TRUE(MenusMeasured);
  EXPECT_EQ(CurrentItemType, smNormal);

  // Bold for the default item.
  TMenuItem* D = Add(L"Open file");
  D->SetShortCut(I->ShortCut());
  D->SetDefault(true);
  EXPECT_GT(Measure(D), Measure(I));
  // Dividers are two pixels high.
  TMenuItem* L = Add(L"-");
  Measure(L, &H);
  EXPECT_EQ(H, 2);
  EXPECT_EQ(CurrentItemType, smDivider);
}

TEST_F(MenusPaint, ItemPaintsOverTheFrameWithHotSectionAndTextColours) {
  TMenuItem* I = Add(L"Open");
  I->SetShortCut(ShortCut('O', TShiftState{ssCtrl}));
  std::unique_ptr<TBitmap> Normal = PaintItem(I, 20, TOwnerDrawState{});
  // The transparent item section shows the frame under it.
  EXPECT_EQ(PixelOf(Normal.get(), 100, 2), MainMenuColor);
  EXPECT_EQ(PixelOf(Normal.get(), 10, 2), IcoLineColor);
  EXPECT_GT(Bright(Normal.get(), Rect(26, 0, 70, 20)), 5) << "caption";
  EXPECT_GT(Bright(Normal.get(), Rect(ItemW - 60, 0, ItemW - 8, 20)), 5) << "shortcut at the right";
  EXPECT_EQ(Bright(Normal.get(), Rect(ItemW - 8, 0, ItemW, 20)), 0);

  std::unique_ptr<TBitmap> Hot = PaintItem(I, 20, TOwnerDrawState{odSelected});
  EXPECT_EQ(PixelOf(Hot.get(), 100, 10), ItemHotColor);
  EXPECT_EQ(CountColor(Hot.get(), Rect(0, 0, ItemW, 20), RGB(255, 0, 255)), 0);
  uitest::TCapture(Hot->Canvas()->Handle(), Rect(0, 0, ItemW, 20)).MaybeSave("menus_item_hot");
}

TEST_F(MenusPaint, DisabledItemKeepsFortyPercentOverTheFrame) {
  TMenuItem* I = Add(L"Gone");
  I->SetEnabled(false);
  P->OnDrawItem = [](TObject*, TCanvas* C, const TRect& R, TOwnerDrawState, TsMenuItemType Kind) {
    EXPECT_EQ(Kind, smNormal);
    C->Brush()->SetColor(static_cast<TColor>(0xFFFFFF));
    C->Brush()->SetStyle(bsSolid);
    C->FillRect(R);
  };
  std::unique_ptr<TBitmap> B = PaintItem(I, 20, TOwnerDrawState{});
  P->OnDrawItem = nullptr;
  const COLORREF F = MainMenuColor;
  auto Mix = [](int C) { return static_cast<int>(std::lround(C + (255 - C) * 0.4)); };
  const COLORREF Got = PixelOf(B.get(), 100, 10);
  EXPECT_NEAR(GetRValue(Got), Mix(GetRValue(F)), 1);
  EXPECT_NEAR(GetGValue(Got), Mix(GetGValue(F)), 1);
  EXPECT_NEAR(GetBValue(Got), Mix(GetBValue(F)), 1);
}

TEST_F(MenusPaint, CheckedItemShowsTheSkinCheckGlyph) {
  TMenuItem* I = Add(L"Option");
  std::unique_ptr<TBitmap> Off = PaintItem(I, 20, TOwnerDrawState{});
  std::unique_ptr<TBitmap> On = PaintItem(I, 20, TOwnerDrawState{odChecked});
  int Diff = 0, DiffRight = 0;
  for (int Y = 0; Y < 20; ++Y)
    for (int X = 0; X < ItemW; ++X)
      if (PixelOf(Off.get(), X, Y) != PixelOf(On.get(), X, Y)) (X < 2 + 40 ? Diff : DiffRight)++;
  EXPECT_GT(Diff, 10) << "glyph in the glyph column";
  EXPECT_EQ(DiffRight, 0);
}

TEST_F(MenusPaint, DividerLineStartsAtTheCaptionColumn) {
  Add(L"Open");
  TMenuItem* L = Add(L"-");
  TacMenuInfo Info = Frame();
  auto B = FilledBitmap(ItemW, 22, RGB(255, 0, 255));
  P->PaintMenuItem(L, B->Canvas(), Rect(0, 20, ItemW, 22), TOwnerDrawState{});
  for (int X = 0; X < GlyphColumnWidth; ++X)
    EXPECT_EQ(PixelOf(B.get(), X, 20), PixelOf(Info.Bmp, X + 3, 23)) << X;
  int Line = 0;
  for (int X = GlyphColumnWidth + 2; X < ItemW - 2; ++X)
    if (PixelOf(B.get(), X, 20) != PixelOf(Info.Bmp, X + 3, 23)) ++Line;
  EXPECT_GT(Line, (ItemW - GlyphColumnWidth) / 2);
}

TEST_F(MenusPaint, TitleItemShowsItsWordCentredOnTheToolbarSection) {
  TMenuItem* T = Add(L"--Channels--");
  EXPECT_TRUE(TsSkinableMenus::IsCaptionItem(T));
  EXPECT_FALSE(TsSkinableMenus::IsCaptionItem(Add(L"-")));
  std::unique_ptr<TBitmap> B = PaintItem(T, 22, TOwnerDrawState{});
  EXPECT_EQ(CurrentItemType, smCaption);
  EXPECT_NE(PixelOf(B.get(), 5, 11), MainMenuColor);
  int Left = ItemW, Right = 0;
  for (int Y = 0; Y < 22; ++Y)
    for (int X = 0; X < ItemW; ++X)
      if (Brightness(PixelOf(B.get(), X, Y)) > 3 * 170) {
        Left = std::min(Left, X);
        Right = std::max(Right, X + 1);
      }
  ASSERT_LT(Left, Right);
  EXPECT_NEAR((Left + Right) / 2, ItemW / 2, 3);
  EXPECT_LT(Right - Left, 80) << "only the word, no dashes";
}

TEST_F(MenusPaint, ExtraLineWidensItemsAndPaintsTheBand) {
  TMenuItem* First = Add(L"Open");
  TMenuItem* Second = Add(L"Close");
  const int Plain = Measure(First);
  ClearMenuCache();
  M->MenuSupport()->SetUseExtraLine(true);
  int Calls = 0;
  M->OnGetMenuExtraLineData = [&](TObject*, TMenuItem* F, AnsiString& Section, AnsiString& Caption, TBitmap*,
                                  bool& Visible) {
    ++Calls;
    EXPECT_EQ(F, First);
    EXPECT_EQ(Section, "EXTRALINE");
    Caption = "T&&V";
    Visible = true;
  };
  EXPECT_EQ(Measure(First), Plain + 32);
  EXPECT_EQ(Calls, 1);
  EXPECT_EQ(ExtraLineCaption, "TV");
  TacMenuInfo Info = Frame();
  ASSERT_TRUE(Info.ExtraLine);
  const COLORREF Band = PixelOf(Info.Bmp, 3 + 16, 10);
  EXPECT_NE(Band, MainMenuColor);
  EXPECT_NE(Band, IcoLineColor);
  EXPECT_EQ(PixelOf(Info.Bmp, 3 + 32 + 5, 60), IcoLineColor) << "glyph band moved right of the line";
  // A column after a break is not shifted.
  const int Shifted = Measure(Second);
  Second->SetBreak(mbBreak);
  EXPECT_TRUE(TsSkinableMenus::ItemAfterBreak(Second));
  EXPECT_FALSE(TsSkinableMenus::ItemAfterBreak(First));
  EXPECT_EQ(Measure(Second), Shifted - 32);
  M->OnGetMenuExtraLineData = nullptr;
}

TEST_F(MenusPaint, SkinListMenuNeverGetsTheExtraLine) {
  M->MenuSupport()->SetUseExtraLine(true);
  bool Called = false;
  M->OnGetMenuExtraLineData = [&](TObject*, TMenuItem*, AnsiString&, AnsiString&, TBitmap*, bool&) { Called = true; };
  TMenuItem* I = Add(L"Available skins");
  I->SetName("SkinSelectItem");
  TacMenuInfo Info = Frame();
  EXPECT_FALSE(Info.ExtraLine);
  EXPECT_FALSE(Called);
  M->OnGetMenuExtraLineData = nullptr;
}

TEST_F(MenusPaint, DefaultExtraLineCaptionAsksForTheEvent) {
  M->MenuSupport()->SetUseExtraLine(true);
  Add(L"Open");
  TacMenuInfo Info = Frame();
  EXPECT_TRUE(Info.ExtraLine);
  EXPECT_EQ(ExtraLineCaption, "Use OnGetExtraLineData event");
  // The rotated caption shows in the band.
  int Text = 0;
  for (int Y = 3; Y < FrameH - 3; ++Y)
    for (int X = 3; X < 35; ++X)
      if (Brightness(PixelOf(Info.Bmp, X, Y)) > 3 * 200) ++Text;
  EXPECT_GT(Text, 20);
  uitest::TCapture(Info.Bmp->Canvas()->Handle(), Rect(0, 0, FrameW, FrameH)).MaybeSave("menus_extraline_frame");
}

TEST_F(MenusPaint, SystemMenuItemsShowWindowGlyphs) {
  Menu.SetName("SysMenu");
  TMenuItem* Close = Add(L"Close");
  Close->SetTag(SC_CLOSE);
  TMenuItem* Other = Add(L"Close");
  std::unique_ptr<TBitmap> WithGlyph = PaintItem(Close, 20, TOwnerDrawState{});
  std::unique_ptr<TBitmap> Without = PaintItem(Other, 20, TOwnerDrawState{});
  const TRect Cell = Rect(4, 0, 24, 20);
  EXPECT_GT(Bright(WithGlyph.get(), Cell), 3);
  EXPECT_EQ(Bright(Without.get(), Cell), 0);
  // Each glyph has its shape, whatever fonts the system has: Close a cross (lit in its middle,
  // dark half-way along its sides), Minimize a bar at the bottom, Maximize a box with a thick top.
  auto Ink = [this, &Cell](int Tag) {
    TMenuItem* I = Add(L"Item");
    I->SetTag(Tag);
    std::unique_ptr<TBitmap> B = PaintItem(I, 20, TOwnerDrawState{});
    uitest::TCapture C(B->Canvas()->Handle(), Rect(0, 0, B->Width(), B->Height()));
    C.MaybeSave(("menus_sysmenu_glyph_" + std::to_string(Tag)).c_str());
    std::vector<std::vector<bool>> Lit(20, std::vector<bool>(20));
    for (int Y = 0; Y < 20; ++Y)
      for (int X = 0; X < 20; ++X) Lit[Y][X] = Brightness(PixelOf(B.get(), Cell.Left + X, Y)) > 3 * 170;
    return Lit;
  };
  auto Extent = [](const std::vector<std::vector<bool>>& Lit) {
    TRect E{20, 20, 0, 0};
    for (int Y = 0; Y < 20; ++Y)
      for (int X = 0; X < 20; ++X)
        if (Lit[Y][X]) E = TRect{std::min(E.Left, X), std::min(E.Top, Y), std::max(E.Right, X + 1), std::max(E.Bottom, Y + 1)};
    return E;
  };
  const auto X = Ink(SC_CLOSE);
  const TRect EX = Extent(X);
  ASSERT_GE(EX.Width(), 6);
  ASSERT_GE(EX.Height(), 6);
  const int CX = (EX.Left + EX.Right) / 2, CY = (EX.Top + EX.Bottom) / 2;
  EXPECT_TRUE(X[CY][CX] || X[CY - 1][CX - 1]) << "the cross is lit in its middle";
  EXPECT_FALSE(X[EX.Top][CX] && X[CY][EX.Left]) << "not a box";
  const auto Min = Ink(SC_MINIMIZE);
  const TRect EN = Extent(Min);
  EXPECT_LE(EN.Height(), 3) << "a bar";
  EXPECT_GE(EN.Width(), 6);
  const auto Max = Ink(SC_MAXIMIZE);
  const TRect EM = Extent(Max);
  EXPECT_TRUE(Max[EM.Top][(EM.Left + EM.Right) / 2] && Max[EM.Top + 1][(EM.Left + EM.Right) / 2]) << "a thick top";
  EXPECT_FALSE(Max[(EM.Top + EM.Bottom) / 2][(EM.Left + EM.Right) / 2]) << "an empty middle";
}

// ---- top-line items -------------------------------------------------------------------------------

TEST(MenusTopLine, ItemsPaintOverTheMenuLineTheProviderKeeps) {
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  TsSkinableMenus* P = Painter(M.get());
  TMainMenu Bar(nullptr);
  auto* File = new TMenuItem(&Bar);
  File->SetCaption(WideString(L"&File"));
  Bar.Items()->Add(File);
  EXPECT_TRUE(TsSkinableMenus::IsTopLineItem(File));

  // Measured from the caption without its accelerator mark.
  std::unique_ptr<TBitmap> C(CreateBmp24(4, 4));
  C->Canvas()->SetFont(Screen->MenuFont());
  int W = 0, H = 0;
  P->MenuItemMeasure(File, C->Canvas(), W, H);
  EXPECT_EQ(H, GetSystemMetrics(SM_CYMENU) - 1);
  EXPECT_EQ(W, C->Canvas()->TextWidth(L"File"));

  // Without a menu line nothing is painted.
  auto Out = FilledBitmap(60, 20, RGB(255, 0, 255));
  P->MenuItemAdvancedDraw(File, Out->Canvas(), Rect(0, 0, 60, 20), TOwnerDrawState{});
  EXPECT_EQ(CountColor(Out.get(), Rect(0, 0, 60, 20), RGB(255, 0, 255)), 60 * 20);

  // The provider's menu line: a green band; the item sits at (10, 4) of it.
  auto Line = FilledBitmap(200, 30, RGB(0, 128, 0));
  acMenuLineLink.MenuLineBackground = [&](TMenuItem* Item, TCanvas*, const TRect&, TPoint& Origin) -> TBitmap* {
    EXPECT_EQ(Item, File);
    Origin = TPoint{10, 4};
    return Line.get();
  };
  P->MenuItemAdvancedDraw(File, Out->Canvas(), Rect(0, 0, 60, 20), TOwnerDrawState{});
  EXPECT_EQ(PixelOf(Out.get(), 1, 1), RGB(0, 128, 0)) << "the transparent item section shows the line";
  int Text = 0;
  for (int Y = 0; Y < 20; ++Y)
    for (int X = 0; X < 60; ++X)
      if (Brightness(PixelOf(Out.get(), X, Y)) > 3 * 170) ++Text;
  EXPECT_GT(Text, 5);
  P->MenuItemAdvancedDraw(File, Out->Canvas(), Rect(0, 0, 60, 20), TOwnerDrawState{odSelected});
  EXPECT_EQ(PixelOf(Out.get(), 5, 10), ItemHotColor);
  // A disabled item keeps 40 % of its painting over the line.
  File->SetEnabled(false);
  P->OnDrawItem = [](TObject*, TCanvas* Cv, const TRect& R, TOwnerDrawState, TsMenuItemType Kind) {
    EXPECT_EQ(Kind, smTopLine);
    Cv->Brush()->SetColor(static_cast<TColor>(0xFFFFFF));
    Cv->Brush()->SetStyle(bsSolid);
    Cv->FillRect(R);
  };
  P->MenuItemAdvancedDraw(File, Out->Canvas(), Rect(0, 0, 60, 20), TOwnerDrawState{});
  P->OnDrawItem = nullptr;
  const COLORREF Got = PixelOf(Out.get(), 30, 10);
  EXPECT_NEAR(GetRValue(Got), 255 * 102 / 255, 2);
  EXPECT_NEAR(GetGValue(Got), (128 * 153 + 255 * 102) / 255, 2);
  acMenuLineLink.MenuLineBackground = nullptr;
}

// A painter keeps the widths and pictures of menu-line items; after each change it shows what a new
// painter, which keeps nothing yet, shows.
TEST(MenusTopLine, KeptWidthsAndPicturesShowEachChange) {
  std::unique_ptr<TsSkinManager> M = LoadedManager();
  TMainMenu Bar(nullptr);
  auto* File = new TMenuItem(&Bar);
  File->SetCaption(WideString(L"&File"));
  Bar.Items()->Add(File);
  auto Line = FilledBitmap(200, 30, RGB(0, 128, 0));
  acMenuLineLink.MenuLineBackground = [&](TMenuItem*, TCanvas*, const TRect&, TPoint& Origin) -> TBitmap* {
    Origin = TPoint{10, 4};
    return Line.get();
  };
  const int FontHeight = Screen->MenuFont()->Height();
  TScopeExit Restore([&] {
    acMenuLineLink.MenuLineBackground = nullptr;
    Screen->MenuFont()->SetHeight(FontHeight);
  });
  TOwnerDrawState State{};
  // The item's width and its picture as a painter shows them.
  auto Show = [&](TsSkinableMenus& P) {
    std::unique_ptr<TBitmap> C(CreateBmp24(4, 4));
    int W = 0, H = 0;
    P.MenuItemMeasure(File, C->Canvas(), W, H);
    auto Out = FilledBitmap(60, 20, RGB(255, 0, 255));
    P.MenuItemAdvancedDraw(File, Out->Canvas(), Rect(0, 0, 60, 20), State);
    std::vector<COLORREF> Pixels{static_cast<COLORREF>(W)};
    for (int Y = 0; Y < 20; ++Y)
      for (int X = 0; X < 60; ++X) Pixels.push_back(PixelOf(Out.get(), X, Y));
    return Pixels;
  };
  const std::vector<std::pair<const char*, std::function<void()>>> Changes = {
      {"caption", [&] { File->SetCaption(WideString(L"&Fil")); }},
      {"disabled", [&] { File->SetEnabled(false); }},
      {"selected", [&] { State = TOwnerDrawState{odSelected}; }},
      {"default item", [&] { State = TOwnerDrawState{odDefault}; }},
      {"line under it", [&] { Line = FilledBitmap(200, 30, RGB(0, 0, 160)); }},
      {"menu font", [&] { Screen->MenuFont()->SetHeight(FontHeight - 5); }},
  };
  TsSkinableMenus Kept(M.get());
  Show(Kept);
  for (const auto& [Name, Make] : Changes) {
    SCOPED_TRACE(Name);
    Make();
    const std::vector<COLORREF> Shown = Show(Kept);
    TsSkinableMenus Fresh(M.get());
    EXPECT_EQ(Shown, Show(Fresh));
  }
}
