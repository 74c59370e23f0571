// Adapters over the framework's own controls and the plain tool bar: the glyph of a framework
// glyph button, a speed button's 32-bit glyph, list-view header images, a tree that draws
// itself, the page's strip on the tab side, and the plain tool bar's image list and hot
// tracking. Pixels of real windows, update regions and message results.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>

#include "framework/Buttons.h"
#include "framework/ComCtrls.h"
#include "framework/ListViews.h"
#include "framework/TypInfo.h"
#include "skin/controls/acBarAdapters.h"
#include "skin/controls/acMoreAdapters.h"
#include "skin/controls/acScrollAdapters.h"
#include "skin/controls/acSpeedButton.h"
#include "skin/controls/acStdAdapters.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sSkinManager.h"
#include "skin_controls/kept_picture_support.h"
#include "skin_controls/ownctl_support.h"
#include "skin_forms/adapt2_support.h"
#include "support/UiTest.h"

using namespace adapt2;

namespace {

class Adapt3 : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCommonControlClasses(ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES);
    ASSERT_TRUE(M->SkinData()->Active);
    F.Form->SetColor(clWhite);
  }
  std::unique_ptr<TsSkinManager> M = LoadProgramSkin();
  TTestForm F;
};

using uitest::SolidGlyph;

uitest::TCapture Shown(HWND W, const char* Name) {
  RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  uitest::Pump();
  uitest::TCapture C(W);
  C.MaybeSave(Name);
  return C;
}

// A window class that paints nothing of its own, as a page of a page control.
const wchar_t* PageClass() {
  static const wchar_t* Name = [] {
    WNDCLASSW C{};
    C.lpfnWndProc = DefWindowProcW;
    C.hInstance = GetModuleHandleW(nullptr);
    C.lpszClassName = L"Adapt3Page";
    RegisterClassW(&C);
    return L"Adapt3Page";
  }();
  return Name;
}

// Half of pure blue over some background: blue well above red and green, yet not pure.
bool HalfBlue(COLORREF C) {
  return GetBValue(C) > GetRValue(C) + 60 && GetBValue(C) > GetGValue(C) + 60 && GetBValue(C) < 235;
}

}  // namespace

// ---- the framework glyph button -----------------------------------------------------------------

TEST_F(Adapt3, GlyphButtonLaysItsGlyphOutAndBlendsA32BitGlyph) {
  auto* B = new TBitBtn(F.Form);
  B->SetParent(F.Form);
  B->SetBounds(20, 20, 120, 60);
  B->SetCaption(L"Go");
  B->SetLayout(blGlyphLeft);
  B->SetMargin(4);
  auto Keyed = SolidGlyph(16, 16, clLime, pf24bit);
  Keyed->Canvas()->Brush()->SetColor(clRed);
  Keyed->Canvas()->FillRect(Rect(4, 4, 12, 12));
  B->SetGlyph(Keyed.get());
  F.Show();
  TsCommonData D(B, 0, true);
  auto* A = TacMainWnd::Create<TacBitBtnWnd>(B->Handle(), &D, M.get(), "");
  EXPECT_EQ(A->GlyphSize(), (TSize{16, 16}));
  const uitest::TCapture C = Shown(B->Handle(), "adapt3_bitbtn");
  // The glyph 4 pixels from the left edge, centred down: its red middle, its key colour left out.
  const int GX = 4, GY = (60 - 16 + 1) / 2;
  EXPECT_EQ(C.Pixel(GX + 8, GY + 8), RGB(255, 0, 0)) << std::hex << C.Pixel(GX + 8, GY + 8);
  EXPECT_NE(C.Pixel(GX + 1, GY + 1), RGB(0, 255, 0));
  // The caption right of the glyph (light text pixels).
  auto Light = [&](int X0, int X1) {
    int N = 0;
    for (int Y = 10; Y < 50; ++Y)
      for (int X = X0; X < X1; ++X) N += GetGValue(C.Pixel(X, Y)) > 180 && GetRValue(C.Pixel(X, Y)) > 180 ? 1 : 0;
    return N;
  };
  EXPECT_GT(Light(GX + 16 + 4, GX + 16 + 4 + 20), 5);
  EXPECT_EQ(Light(60, 116), 0);
  // A 32-bit glyph of one frame keeps its alpha.
  auto Alpha = SolidGlyph(16, 16, clBlue, pf32bit, 128);
  B->SetGlyph(Alpha.get());
  const uitest::TCapture C2 = Shown(B->Handle(), "adapt3_bitbtn_alpha");
  EXPECT_TRUE(HalfBlue(C2.Pixel(GX + 8, GY + 8))) << std::hex << C2.Pixel(GX + 8, GY + 8);
  delete A;
}

TEST_F(Adapt3, GlyphButtonCaptionStandsBesideTheGlyph) {
  auto* B = new TBitBtn(F.Form);
  B->SetParent(F.Form);
  B->SetBounds(20, 20, 160, 40);
  B->SetCaption(L"Caption");
  auto G = SolidGlyph(20, 20, clRed, pf24bit);
  // The key is its lower-left pixel: another colour than the rest.
  G->Canvas()->Brush()->SetColor(clLime);
  G->Canvas()->FillRect(Rect(0, 18, 2, 20));
  B->SetGlyph(G.get());
  B->SetMargin(6);
  F.Show();
  TsCommonData D(B, 0, true);
  auto* A = TacMainWnd::Create<TacBitBtnWnd>(B->Handle(), &D, M.get(), "");
  const uitest::TCapture C = Shown(B->Handle(), "adapt3_bitbtn_left");
  // Width - 2 x Margin, less glyph and spacing.
  EXPECT_EQ(A->TextAreaWidth(), 160 - 2 * 6 - (20 + 4));
  TRect R;
  A->CaptionRect(R);
  EXPECT_EQ(R.Left, 6 + 20 + 4);
  EXPECT_EQ(C.Pixel(6 + 10, 10 + 10), RGB(255, 0, 0)) << std::hex << C.Pixel(16, 20);
  delete A;
}

// ---- the speed button's glyph -------------------------------------------------------------------

TEST_F(Adapt3, SpeedButtonSingle32BitGlyphKeepsItsAlpha) {
  auto* B = new TSpeedButton(F.Form);
  B->SetParent(F.Form);
  B->SetBounds(20, 20, 60, 40);
  auto Alpha = SolidGlyph(16, 16, clBlue, pf32bit, 128);
  B->SetGlyph(Alpha.get());
  F.Show();
  TsCommonData D(B, 0, true);
  D.SetSkinSection("SPEEDBUTTON");
  D.UpdateIndexes();
  auto* H = new TacSpeedButtonHandler(B, &D, M.get(), "SPEEDBUTTON");
  B->Repaint();
  uitest::Pump();
  const uitest::TCapture C(F.Form->Handle(), TRect{20, 20, 80, 60});
  C.MaybeSave("adapt3_speedbutton_alpha");
  const int GX = (60 - 16) / 2, GY = (40 - 16) / 2;
  EXPECT_TRUE(HalfBlue(C.Pixel(GX + 8, GY + 8))) << std::hex << C.Pixel(GX + 8, GY + 8);
  delete H;
}

// A speed button keeps its picture from paint to paint: after each change it shows what a new
// handler, which has no picture yet, paints.
TEST_F(Adapt3, ASpeedButtonShowsEachChangeAsANewHandlerPaintsIt) {
  auto* B = new TSpeedButton(F.Form);
  B->SetParent(F.Form);
  B->SetBounds(20, 20, 80, 40);
  B->SetCaption(L"Speed");
  B->SetGlyph(SolidGlyph(16, 16, clRed).get());
  F.Show();
  // A new handler gets skin data of its own: the old one's cache is no picture of the new one.
  auto NewData = [B] {
    auto D = std::make_unique<TsCommonData>(B, 0, true);
    D->SetSkinSection("SPEEDBUTTON");
    D->UpdateIndexes();
    return D;
  };
  std::unique_ptr<TsCommonData> D = NewData();
  const std::vector<kept::TChange> Cases = {
      {"nothing", [] {}},
      {"a new caption", [B] { B->SetCaption(L"Other"); }},
      {"another glyph of the same size", [B] { B->SetGlyph(SolidGlyph(16, 16, clLime).get()); }},
      {"down in a group", [B] {
         B->SetGroupIndex(1);
         B->SetDown(true);
       }},
      {"under the pointer", [&D] { D->MouseOver = true; }},
      {"the glyph below the caption", [B] { B->SetLayout(blGlyphTop); }},
      {"disabled", [B] { B->SetEnabled(false); }},
      {"made smaller", [B] { B->SetBounds(20, 20, 70, 36); }},
      {"another font", [B] { B->Font()->SetSize(12); }},
      {"the skin's colours turned", [this] { M->SetHueOffset(90); }},
  };
  auto* H = new TacSpeedButtonHandler(B, D.get(), M.get(), "SPEEDBUTTON");
  kept::ExpectEachChangeShownAsByANewAdapter(
      Cases,
      [&] {
        B->Repaint();
        uitest::Pump();
        return uitest::TCapture(F.Form->Handle(), TRect{10, 10, 110, 70});
      },
      [&] {
        const bool Over = D->MouseOver;
        delete H;
        D = NewData();
        D->MouseOver = Over;
        H = new TacSpeedButtonHandler(B, D.get(), M.get(), "SPEEDBUTTON");
      });
  delete H;
}

TEST_F(Adapt3, SpeedButtonHeldDownByTheMouseIsDrawnPressed) {
  auto* B = new TSpeedButton(F.Form);
  B->SetParent(F.Form);
  B->SetBounds(20, 20, 60, 40);
  F.Show();
  TsCommonData D(B, 0, true);
  D.SetSkinSection("SPEEDBUTTON");
  D.UpdateIndexes();
  auto* H = new TacSpeedButtonHandler(B, &D, M.get(), "SPEEDBUTTON");
  EXPECT_EQ(H->ButtonState(), 0);
  // Pressed (not yet released): the button's own state is down.
  B->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  ASSERT_EQ(B->State(), bsDown);
  EXPECT_EQ(H->ButtonState(), 2);
  B->Perform(WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(B->State(), bsUp);
  // Down in a group: exclusive, drawn pressed too.
  B->SetGroupIndex(1);
  B->SetDown(true);
  EXPECT_EQ(H->ButtonState(), 2);
  delete H;
}

// ---- list view header images, a tree that draws itself ----------------------------------------

namespace {

// A report view of two columns, the first 140 wide with the first (red) image of a small image
// list.
TListView* ReportViewWithImage(TForm* Form, TImageList*& Images) {
  Images = new TImageList(Form);
  Images->Add(uitest::SolidGlyph(16, 16, clRed).get(), nullptr);
  auto* LV = new TListView(Form);
  LV->SetParent(Form);
  LV->SetBounds(10, 10, 320, 200);
  LV->SetViewStyle(vsReport);
  LV->SetSmallImages(Images);
  TListColumn* C0 = LV->Columns()->Add();
  C0->SetCaption(L"Name");
  C0->SetWidth(140);
  C0->SetImageIndex(0);
  LV->Columns()->Add()->SetCaption(L"Plain");
  LV->AddItem(L"item");
  return LV;
}

}  // namespace

TEST_F(Adapt3, ListViewHeaderShowsTheColumnsImage) {
  TImageList* Images = nullptr;
  TListView* LV = ReportViewWithImage(F.Form, Images);
  F.Show();
  TsCommonData D(LV, 0, true);
  auto* A = TacMainWnd::Create<TacListViewWnd>(LV->Handle(), &D, M.get(), "");
  ASSERT_NE(A->HeaderWnd, nullptr);
  const uitest::TCapture H = Shown(A->HeaderWnd, "adapt3_header_image");
  // The red image at the left of the first column's text, none in the second column.
  EXPECT_GT(H.Count(TRect{0, 0, 40, H.Height()}, RGB(255, 0, 0)), 100);
  EXPECT_EQ(H.Count(TRect{140, 0, H.Width(), H.Height()}, RGB(255, 0, 0)), 0);
  delete A;
}

// The header keeps its picture from paint to paint: after each change it shows what a new
// adapter, which has no picture yet, paints.
TEST_F(Adapt3, AListViewHeaderShowsEachChangeAsANewAdapterPaintsIt) {
  TImageList* Images = nullptr;
  TListView* LV = ReportViewWithImage(F.Form, Images);
  TListColumn* C0 = LV->Columns()->Items(0);
  const std::unique_ptr<TBitmap> Green = uitest::SolidGlyph(16, 16, clLime), Blue = uitest::SolidGlyph(16, 16, clBlue);
  F.Show();
  TsCommonData D(LV, 0, true);
  auto Sort = [LV](int Flag) {
    HWND H = reinterpret_cast<HWND>(SendMessageW(LV->Handle(), LVM_GETHEADER, 0, 0));
    HDITEMW Item{};
    Item.mask = HDI_FORMAT;
    SendMessageW(H, HDM_GETITEMW, 1, reinterpret_cast<LPARAM>(&Item));
    Item.fmt = (Item.fmt & ~(HDF_SORTUP | HDF_SORTDOWN)) | Flag;
    SendMessageW(H, HDM_SETITEMW, 1, reinterpret_cast<LPARAM>(&Item));
  };
  TacListViewWnd* A = nullptr;
  const std::vector<kept::TChange> Cases = {
      {"nothing", [] {}},
      {"a caption renamed", [C0] { C0->SetCaption(L"Renamed"); }},
      {"a column made wider", [C0] { C0->SetWidth(180); }},
      {"sorted up", [&] { Sort(HDF_SORTUP); }},
      {"the image of the list changed in place", [&] { ImageList_Replace(Images->Handle(), 0, Blue->Handle(), nullptr); }},
      {"the image of the list replaced", [&] {
         Images->Delete(0);
         Images->Add(Green.get(), nullptr);
       }},
      {"the pointer over the second item", [&] { A->HotSection = 1; }},
      {"the first item pressed", [&] { A->PressedSection = 0; }},
      {"another font", [LV] { LV->Font()->SetSize(14); }},
      {"the list view disabled", [LV] { LV->SetEnabled(false); }},
      {"the list view made narrower", [LV] { LV->SetWidth(250); }},
  };
  A = TacMainWnd::Create<TacListViewWnd>(LV->Handle(), &D, M.get(), "");
  kept::ExpectEachChangeShownAsByANewAdapter(
      Cases, [&] { return Shown(A->HeaderWnd, "adapt3_header_kept"); },
      [&] {
        const int Hot = A->HotSection, Pressed = A->PressedSection;
        delete A;
        A = TacMainWnd::Create<TacListViewWnd>(LV->Handle(), &D, M.get(), "");
        A->HotSection = Hot;
        A->PressedSection = Pressed;
      });
  delete A;
}

TEST_F(Adapt3, TreeThatDrawsItselfGetsItsOwnErase) {
  auto* TV = new TTreeView(F.Form);
  TV->SetParent(F.Form);
  TV->SetBounds(10, 10, 200, 200);
  TV->AddChild(nullptr, L"Node");
  F.Show();
  TsCommonData D(TV, 0, true);
  auto* A = TacMainWnd::Create<TacTreeViewWnd>(TV->Handle(), &D, M.get(), "");
  const TsGeneralData& S = M->GeneralData()[static_cast<std::size_t>(M->GetSectionIndex("EDIT"))];
  auto Erased = [&] {
    uitest::TMemoryDC Mem(50, 50, RGB(255, 0, 255));
    SendMessageW(TV->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(Mem.DC()), 0);
    return GetPixel(Mem.DC(), 10, 10);
  };
  // The adapter fills the background in the section's hot colour.
  EXPECT_EQ(Erased(), ColorToRGB(S.HotColor) & 0xFFFFFF);
  // A tree whose program draws it: the erase goes to the tree, which (opaque under its adapter)
  // leaves the background to its own drawing.
  TV->OnCustomDraw = [](TCustomTreeView*, const TRect&, bool&) {};
  EXPECT_EQ(Erased(), RGB(255, 0, 255));
  TV->OnCustomDraw = nullptr;
  EXPECT_EQ(Erased(), ColorToRGB(S.HotColor) & 0xFFFFFF);
  delete A;
}

// ---- the page's strip on the tab side -----------------------------------------------------------

TEST_F(Adapt3, PageShowsTheBodysEdgeInItsStripOnTheTabSide) {
  F.Show();
  HWND T = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 20, 20, 300, 180,
                           F.Form->Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  TCITEMW It{};
  It.mask = TCIF_TEXT;
  It.pszText = const_cast<wchar_t*>(L"Page");
  SendMessageW(T, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&It));
  SendMessageW(T, TCM_SETCURSEL, 0, 0);
  auto* A = TacMainWnd::Create<TacPageControlWnd>(T, nullptr, M.get(), "");
  const TRect Body = A->BodyRect();
  // A page whose top rows lie over the body's top edge.
  HWND Page = CreateWindowExW(0, PageClass(), L"", WS_CHILD | WS_VISIBLE, Body.Left + 10, Body.Top, 100, 60, T, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  SendMessageW(T, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, 0), reinterpret_cast<LPARAM>(Page));
  ASSERT_NE(dynamic_cast<TacPageWnd*>(GetWndAdapter(Page)), nullptr);
  Shown(T, "adapt3_pagestrip_control");
  const uitest::TCapture P = Shown(Page, "adapt3_pagestrip");
  TBitmap* Cache = A->SkinData->CacheBmp();
  ASSERT_NE(Cache, nullptr);
  const COLORREF Edge = GetPixel(Cache->Canvas()->Handle(), Body.Left + 40, Body.Top);
  const COLORREF Fill = P.Pixel(30, 30);
  ASSERT_NE(Edge, Fill) << "the body's edge differs from its inside";
  for (int Y = 0; Y < 3; ++Y)
    EXPECT_EQ(P.Pixel(30, Y), GetPixel(Cache->Canvas()->Handle(), Body.Left + 40, Body.Top + Y)) << Y;
  EXPECT_EQ(P.Pixel(30, 3), Fill);
  delete A;
  DestroyWindow(T);
}

// ---- the plain tool bar ---------------------------------------------------------------------------

namespace {

struct TPlainBar {
  HWND Wnd;
  HIMAGELIST Images;
  TPlainBar(HWND Parent) {
    Wnd = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN |
                              CCS_NODIVIDER | TBSTYLE_FLAT, 10, 10, 360, 40, Parent, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
    SendMessageW(Wnd, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    Images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 2, 2);
    // A magenta image (the mask colour) with a red middle.
    TBitmap Pic(16, 16, pf24bit);
    Pic.Canvas()->Brush()->SetColor(clFuchsia);
    Pic.Canvas()->FillRect(Rect(0, 0, 16, 16));
    Pic.Canvas()->Brush()->SetColor(clRed);
    Pic.Canvas()->FillRect(Rect(4, 4, 12, 12));
    ImageList_AddMasked(Images, Pic.ReleaseHandle(), RGB(255, 0, 255));
    ImageList_SetBkColor(Images, RGB(1, 2, 3));
    SendMessageW(Wnd, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(Images));
    TBBUTTON B[4]{};
    for (int I = 0; I < 4; ++I) {
      B[I].iBitmap = 0;
      B[I].idCommand = 100 + I;
      B[I].fsState = TBSTATE_ENABLED;
      B[I].fsStyle = I == 1 ? BTNS_SEP : BTNS_BUTTON;
      B[I].iString = -1;
    }
    SendMessageW(Wnd, TB_ADDBUTTONSW, 4, reinterpret_cast<LPARAM>(B));
    SendMessageW(Wnd, TB_SETBUTTONSIZE, 0, MAKELPARAM(40, 32));
    SendMessageW(Wnd, TB_AUTOSIZE, 0, 0);
  }
  ~TPlainBar() {
    DestroyWindow(Wnd);
    ImageList_Destroy(Images);
  }
  RECT Item(int I) const {
    RECT R{};
    SendMessageW(Wnd, TB_GETITEMRECT, I, reinterpret_cast<LPARAM>(&R));
    return R;
  }
};

}  // namespace

TEST_F(Adapt3, PlainToolBarLeavesItsImageListAlone) {
  F.Show();
  TPlainBar Bar(F.Form->Handle());
  auto* A = TacMainWnd::Create<TacToolBarWnd>(Bar.Wnd, nullptr, M.get(), "");
  ASSERT_TRUE(ownctl::PointerAway());
  const uitest::TCapture C = Shown(Bar.Wnd, "adapt3_plain_toolbar");
  EXPECT_EQ(ImageList_GetBkColor(Bar.Images), RGB(1, 2, 3)) << "the bar's image list is the program's";
  // The image is drawn transparently all the same: its masked corner shows the button, not the
  // list's background colour.
  const RECT R0 = Bar.Item(0);
  int Bk = 0, Red = 0;
  for (int Y = R0.top; Y < R0.bottom; ++Y)
    for (int X = R0.left; X < R0.right; ++X) {
      Bk += C.Pixel(X, Y) == RGB(1, 2, 3) ? 1 : 0;
      Red += C.Pixel(X, Y) == RGB(255, 0, 0) ? 1 : 0;
    }
  EXPECT_EQ(Bk, 0);
  EXPECT_EQ(Red, 64);
  delete A;
}

TEST_F(Adapt3, PlainToolBarInvalidatesOnlyTheButtonsThatChangeAndTakesTheHover) {
  F.Show();
  TPlainBar Bar(F.Form->Handle());
  auto* A = TacMainWnd::Create<TacToolBarWnd>(Bar.Wnd, nullptr, M.get(), "");
  Shown(Bar.Wnd, "adapt3_plain_toolbar_hover");
  const RECT R0 = Bar.Item(0), R2 = Bar.Item(2), R3 = Bar.Item(3);
  auto Updated = [&](const RECT& R) {
    HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(Bar.Wnd, Rgn, FALSE);
    RECT Box{};
    const int Kind = GetRgnBox(Rgn, &Box);
    const bool Exact = Kind != NULLREGION && EqualRect(&Box, &R);
    DeleteObject(Rgn);
    return Exact;
  };
  auto Move = [&](const RECT& R) {
    ValidateRect(Bar.Wnd, nullptr);
    SendMessageW(Bar.Wnd, WM_MOUSEMOVE, 0, MAKELPARAM((R.left + R.right) / 2, (R.top + R.bottom) / 2));
  };
  Move(R0);
  EXPECT_TRUE(Updated(R0)) << "only the button that became hot";
  EXPECT_EQ(M->HoverWindow(), Bar.Wnd);
  Move(R0);
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetUpdateRgn(Bar.Wnd, Rgn, FALSE), NULLREGION) << "no change, nothing to paint";
  DeleteObject(Rgn);
  Move(R3);
  RECT Both{};
  UnionRect(&Both, &R0, &R3);
  EXPECT_TRUE(Updated(Both));
  HRGN Check = CreateRectRgn(0, 0, 0, 0);
  GetUpdateRgn(Bar.Wnd, Check, FALSE);
  EXPECT_FALSE(PtInRegion(Check, (R2.left + R2.right) / 2, (R2.top + R2.bottom) / 2)) << "nothing between them";
  DeleteObject(Check);
  // The hover going to another window repaints the hot button.
  ValidateRect(Bar.Wnd, nullptr);
  M->SetHoverWindow(F.Form->Handle());
  EXPECT_TRUE(Updated(R3));
  delete A;
}
