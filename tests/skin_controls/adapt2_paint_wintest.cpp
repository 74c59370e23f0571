// Panels, status bars, tab controls and page controls painted from the program's skin: pixels of
// real windows.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "framework/ExtCtrls.h"
#include "skin/controls/acBarAdapters.h"
#include "skin/controls/acMoreAdapters.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin_controls/kept_picture_support.h"
#include "skin_forms/adapt2_support.h"
#include "support/RealInput.h"

using namespace adapt2;

namespace {

void InitBars() {
  INITCOMMONCONTROLSEX I{sizeof(I), ICC_BAR_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&I);
}

HWND Child(HWND Parent, const wchar_t* Class, DWORD Style, int X, int Y, int W, int H, const wchar_t* Text = L"") {
  return CreateWindowExW(0, Class, Text, WS_CHILD | WS_VISIBLE | Style, X, Y, W, H, Parent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

// A window class that paints nothing of its own (its WM_PAINT only validates), like a page.
const wchar_t* PageClass() {
  static const wchar_t* Name = [] {
    WNDCLASSW C{};
    C.lpfnWndProc = DefWindowProcW;
    C.hInstance = GetModuleHandleW(nullptr);
    C.lpszClassName = L"Adapt2Page";
    RegisterClassW(&C);
    return L"Adapt2Page";
  }();
  return Name;
}

// Appends Count tabs with the same caption.
void InsertTabs(HWND T, int Count, const wchar_t* Caption) {
  for (int I = 0; I < Count; ++I) {
    TCITEMW It{};
    It.mask = TCIF_TEXT;
    It.pszText = const_cast<wchar_t*>(Caption);
    SendMessageW(T, TCM_INSERTITEMW, I, reinterpret_cast<LPARAM>(&It));
  }
}

// What the window shows: it prints itself into a memory DC (WM_PRINT, client area).
uitest::TCapture Printed(HWND W) {
  RECT R{};
  GetClientRect(W, &R);
  uitest::TMemoryDC Mem(R.right, R.bottom, RGB(255, 0, 255));
  SendMessageW(W, WM_PRINT, reinterpret_cast<WPARAM>(Mem.DC()), PRF_CLIENT | PRF_ERASEBKGND);
  return uitest::TCapture(Mem.DC(), TRect(0, 0, R.right, R.bottom));
}

// What the screen shows of the window's client area after a full repaint.
uitest::TCapture Shown(HWND W, const char* Name) {
  RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  uitest::Pump();
  uitest::TCapture C(W);
  C.MaybeSave(Name);
  return C;
}

class Adapt2Paint : public ::testing::Test {
 protected:
  void SetUp() override {
    InitBars();
    ASSERT_TRUE(M->SkinData()->Active);
  }
  void TearDown() override { delete HostAdapter; }
  // A shown form with a panel of section PANEL_LOW, and a tab control on the panel in the GUI
  // font.
  HWND TabsOnSkinnedPanel() {
    auto* Host = new TPanel(F.Form);
    Host->SetParent(F.Form);
    Host->SetBounds(0, 0, 400, 260);
    F.Show();
    HostData = std::make_unique<TsCommonData>(Host, 0, true);
    HostAdapter = TacMainWnd::Create<TacPanelWnd>(Host->Handle(), HostData.get(), M.get(), "PANEL_LOW");
    HWND T = Child(Host->Handle(), WC_TABCONTROLW, WS_CLIPSIBLINGS, 20, 20, 300, 180);
    SendMessageW(T, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
    return T;
  }
  std::unique_ptr<TsSkinManager> M = LoadProgramSkin();
  TTestForm F;
  std::unique_ptr<TsCommonData> HostData;
  TacPanelWnd* HostAdapter = nullptr;
};

}  // namespace

TEST(Adapt2PanelSection, BevelsPickTheSection) {
  TPanel P(nullptr);
  P.SetBevelOuter(bvNone);
  P.SetBorderStyle(bsNone);
  EXPECT_EQ(TacPanelWnd::SectionByBevels(&P), "CHECKBOX");
  P.SetBorderStyle(bsSingle);
  EXPECT_EQ(TacPanelWnd::SectionByBevels(&P), "PANEL_LOW");
  P.SetBevelOuter(bvRaised);
  EXPECT_EQ(TacPanelWnd::SectionByBevels(&P), "PANEL");
  P.SetBevelInner(bvLowered);
  EXPECT_EQ(TacPanelWnd::SectionByBevels(&P), "GROUPBOX");
  P.SetBevelOuter(bvLowered);
  EXPECT_EQ(TacPanelWnd::SectionByBevels(&P), "PANEL_LOW");
  P.SetBevelInner(bvRaised);
  EXPECT_EQ(TacPanelWnd::SectionByBevels(&P), "GROUPBOX");
  EXPECT_EQ(TacPanelWnd::SectionByBevels(nullptr), "CHECKBOX");
}

TEST_F(Adapt2Paint, PanelIsPaintedFromItsSectionWithItsCaptionAndGivenBack) {
  auto* P = new TPanel(F.Form);
  P->SetParent(F.Form);
  P->SetBounds(20, 20, 200, 100);
  P->SetBevelOuter(bvLowered);
  P->SetCaption(L"Panel");
  F.Show();
  TsCommonData D(P, 0, true);
  auto* A = TacMainWnd::Create<TacPanelWnd>(P->Handle(), &D, M.get(), "");
  EXPECT_EQ(D.SkinSection(), "PANEL_LOW");
  const uitest::TCapture C = Shown(P->Handle(), "adapt2_panel");
  EXPECT_TRUE(Near(C.Pixel(10, 10), PanelLowColor)) << std::hex << C.Pixel(10, 10);
  EXPECT_TRUE(Near(C.Pixel(150, 80), PanelLowColor));
  // The caption in the section's font colour (light on dark) near the centre.
  int Light = 0;
  for (int Y = 40; Y < 60; ++Y)
    for (int X = 70; X < 130; ++X)
      if (GetRValue(C.Pixel(X, Y)) > 150) ++Light;
  EXPECT_GT(Light, 10);
  // WM_PRINT gives the same picture.
  const uitest::TCapture Pr = Printed(P->Handle());
  EXPECT_TRUE(Near(Pr.Pixel(10, 10), PanelLowColor));
  delete A;
  EXPECT_EQ(GetWndAdapter(P->Handle()), nullptr);
  // Given back: the panel paints itself in its own colour again.
  const uitest::TCapture After = Shown(P->Handle(), "adapt2_panel_after");
  EXPECT_FALSE(Near(After.Pixel(10, 10), PanelLowColor));
}

TEST_F(Adapt2Paint, PanelWithoutAcceptsControlsIsLeftToTheBase) {
  auto* P = new TPanel(F.Form);
  P->SetParent(F.Form);
  P->SetBounds(20, 20, 120, 60);
  P->SetControlStyle(P->ControlStyle() - csAcceptsControls);
  F.Show();
  const uitest::TCapture Before = Shown(P->Handle(), "adapt2_panel_plain_before");
  TsCommonData D(P, 0, true);
  auto* A = TacMainWnd::Create<TacPanelWnd>(P->Handle(), &D, M.get(), "");
  const uitest::TCapture After = Shown(P->Handle(), "adapt2_panel_plain");
  EXPECT_EQ(After.Pixel(10, 10), Before.Pixel(10, 10));
  EXPECT_FALSE(Near(After.Pixel(10, 10), PanelColor));
  delete A;
}

TEST_F(Adapt2Paint, StatusBarPartsTextsAndDividers) {
  F.Show();
  HWND SB = Child(F.Form->Handle(), STATUSCLASSNAMEW, 0, 0, 0, 0, 0);
  int Parts[3] = {120, 240, -1};
  SendMessageW(SB, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(Parts));
  SendMessageW(SB, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L"First part"));
  SendMessageW(SB, SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(L"Third"));
  SendMessageW(F.Form->Handle(), WM_SIZE, 0, 0);
  auto* A = TacMainWnd::Create<TacStatusBarWnd>(SB, nullptr, M.get(), "");
  EXPECT_EQ(A->SkinData->SkinSection(), "STATUSBAR");
  EXPECT_EQ(A->PanelText(0), L"First part");
  EXPECT_EQ(A->PanelText(1), L"");
  const uitest::TCapture C = Shown(SB, "adapt2_statusbar");
  const int H = C.Height();
  ASSERT_GT(H, 8);
  // The bar's colour in an empty part, texts lighter than it in the first and the last part.
  EXPECT_TRUE(Near(C.Pixel(180, H / 2), StatusBarColor)) << std::hex << C.Pixel(180, H / 2);
  auto LightIn = [&](int X0, int X1) {
    int N = 0;
    for (int Y = 0; Y < H; ++Y)
      for (int X = X0; X < X1; ++X)
        if (GetGValue(C.Pixel(X, Y)) > 100) ++N;
    return N;
  };
  EXPECT_GT(LightIn(2, 110), 10);
  EXPECT_EQ(LightIn(130, 230), 0);
  EXPECT_GT(LightIn(245, 330), 5);
  // A divider (the DIVIDER section's colour differs from the bar's) at the end of the first
  // and second parts, none after the last.
  auto DividerAt = [&](int X0, int X1) {
    for (int X = X0; X < X1; ++X)
      if (!Near(C.Pixel(X, H / 2), StatusBarColor, 1) && GetGValue(C.Pixel(X, H / 2)) < 100) return true;
    return false;
  };
  EXPECT_TRUE(DividerAt(112, 121));
  EXPECT_TRUE(DividerAt(232, 241));
  EXPECT_FALSE(DividerAt(C.Width() - 30, C.Width()));
  // A simple bar shows its window text across.
  SendMessageW(SB, SB_SIMPLE, TRUE, 0);
  SendMessageW(SB, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(L"Simple text"));
  EXPECT_EQ(A->PanelText(-1), L"Simple text");
  delete A;
  DestroyWindow(SB);
}

TEST_F(Adapt2Paint, TabControlBodyTabsAndStrip) {
  // The tab control stands on a skinned panel: the strip beside the tabs shows the panel.
  HWND T = TabsOnSkinnedPanel();
  const wchar_t* Names[3] = {L"One", L"Two", L"Three"};
  for (int I = 0; I < 3; ++I) {
    TCITEMW It{};
    It.mask = TCIF_TEXT;
    It.pszText = const_cast<wchar_t*>(Names[I]);
    SendMessageW(T, TCM_INSERTITEMW, I, reinterpret_cast<LPARAM>(&It));
  }
  SendMessageW(T, TCM_SETCURSEL, 1, 0);
  auto* A = TacMainWnd::Create<TacTabControlWnd>(T, nullptr, M.get(), "");
  EXPECT_EQ(A->TabPosition(), 0);
  EXPECT_EQ(A->BodySection(), "PAGECONTROL");
  const uitest::TCapture C = Shown(T, "adapt2_tabs");
  RECT R0{}, R1{};
  SendMessageW(T, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&R0));
  SendMessageW(T, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&R1));
  // The body in the PAGECONTROL colour.
  EXPECT_TRUE(Near(C.Pixel(150, 120), PanelColor)) << std::hex << C.Pixel(150, 120);
  // The inactive first tab in the TABTOP colour (away from its caption).
  EXPECT_TRUE(Near(C.Pixel(R0.left + 4, (R0.top + R0.bottom) / 2), TabColor, 6))
      << std::hex << C.Pixel(R0.left + 4, (R0.top + R0.bottom) / 2);
  // The strip right of the tabs shows the form's background, not the body's.
  const COLORREF Strip = C.Pixel(280, (R1.top + R1.bottom) / 2);
  EXPECT_TRUE(Near(Strip, PanelLowColor, 2)) << std::hex << Strip;
  // Captions drawn lighter than the tab colour.
  int Light = 0;
  for (int Y = R1.top; Y < R1.bottom; ++Y)
    for (int X = R1.left; X < R1.right; ++X)
      if (GetRValue(C.Pixel(X, Y)) > 150) ++Light;
  EXPECT_GT(Light, 5);
  // Out-of-range tabs have no rectangle.
  EXPECT_TRUE(A->SkinTabRect(7, false).IsEmpty());
  EXPECT_TRUE(A->SkinTabRect(-1, false).IsEmpty());
  delete A;
  DestroyWindow(T);
}

// A tab control keeps its picture from paint to paint: after each change it shows what a new
// adapter, which has no picture yet, paints.
TEST_F(Adapt2Paint, ATabControlShowsEachChangeAsANewAdapterPaintsIt) {
  HWND T = TabsOnSkinnedPanel();
  InsertTabs(T, 3, L"Tab");
  HFONT Large = CreateFontW(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  // The second tab shows the first image of a list; the list's image changes in place below.
  HIMAGELIST Images = ImageList_Create(16, 16, ILC_COLOR24, 1, 1);
  const std::unique_ptr<TBitmap> Red = uitest::SolidGlyph(16, 16, clRed), Green = uitest::SolidGlyph(16, 16, clLime),
                                Blue = uitest::SolidGlyph(16, 16, clBlue);
  ImageList_Add(Images, Red->Handle(), nullptr);
  SendMessageW(T, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(Images));
  TCITEMW WithImage{};
  WithImage.mask = TCIF_IMAGE;
  WithImage.iImage = 0;
  SendMessageW(T, TCM_SETITEMW, 1, reinterpret_cast<LPARAM>(&WithImage));
  auto SetText = [T](int I, const wchar_t* Text) {
    TCITEMW It{};
    It.mask = TCIF_TEXT;
    It.pszText = const_cast<wchar_t*>(Text);
    SendMessageW(T, TCM_SETITEMW, I, reinterpret_cast<LPARAM>(&It));
  };
  auto Click = [T](int I) {
    RECT R{};
    SendMessageW(T, TCM_GETITEMRECT, I, reinterpret_cast<LPARAM>(&R));
    const LPARAM P = MAKELPARAM((R.left + R.right) / 2, (R.top + R.bottom) / 2);
    SendMessageW(T, WM_LBUTTONDOWN, MK_LBUTTON, P);
    SendMessageW(T, WM_LBUTTONUP, 0, P);
  };
  const std::vector<kept::TChange> Cases = {
      {"nothing", [] {}},
      {"the image of a list changed in place", [&] { ImageList_Replace(Images, 0, Blue->Handle(), nullptr); }},
      {"the image of a list replaced", [&] {
         ImageList_Replace(Images, 0, Green->Handle(), nullptr);
         SendMessageW(T, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(Images));
       }},
      {"another tab selected", [T] { SendMessageW(T, TCM_SETCURSEL, 2, 0); }},
      {"a tab selected by a click", [&] { Click(0); }},
      {"a caption renamed", [&] { SetText(1, L"A longer caption"); }},
      {"a tab added", [T] { InsertTabs(T, 1, L"New"); }},
      {"a tab removed", [T] { SendMessageW(T, TCM_DELETEITEM, 0, 0); }},
      {"the control made smaller", [T] { SetWindowPos(T, nullptr, 0, 0, 240, 140, SWP_NOMOVE | SWP_NOZORDER); }},
      {"the control moved", [T] { SetWindowPos(T, nullptr, 60, 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }},
      {"another font", [T, Large] { SendMessageW(T, WM_SETFONT, reinterpret_cast<WPARAM>(Large), TRUE); }},
      {"a gradient under it", [this] { HostData->SetSkinSection("TOOLBAR"); }},
      {"the gradient under it stretched", [this] {
         TControl* Host = HostData->OwnerControl();
         Host->SetBounds(0, 0, 400, 220);
         RedrawWindow(static_cast<TWinControl*>(Host)->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
       }},
      {"the skin's colours turned", [this] { M->SetHueOffset(90); }},
  };
  auto* A = TacMainWnd::Create<TacTabControlWnd>(T, nullptr, M.get(), "");
  kept::ExpectEachChangeShownAsByANewAdapter(
      Cases, [&] { return Shown(T, "adapt2_tabs_kept"); },
      [&] {
        delete A;
        A = TacMainWnd::Create<TacTabControlWnd>(T, nullptr, M.get(), "");
      });
  delete A;
  DestroyWindow(T);
  DeleteObject(Large);
  ImageList_Destroy(Images);
}

// Where each tab is painted against its item rectangle, by tab position: an inactive top tab 1
// pixel narrower and 4 pixels taller downwards, the active top tab 2 pixels larger on the left, top
// and right and 2 pixels lower at the bottom; the other positions alike towards their own sides.
TEST_F(Adapt2Paint, TabsArePaintedAroundTheirItemRectanglesByPosition) {
  F.Show();
  // Offsets of the left, top, right and bottom edges from the item rectangle's.
  const struct {
    const char* Name;
    DWORD Style;
    int Active[4];
    int Inactive[4];
  } Cases[] = {{"top", 0, {-2, -2, 2, 2}, {0, 0, -1, 4}},
               {"bottom", TCS_BOTTOM, {-2, -3, 2, 1}, {0, -2, -1, 0}},
               {"left", TCS_VERTICAL | TCS_MULTILINE, {-1, -2, 3, 1}, {0, -1, 3, 0}},
               {"right", TCS_VERTICAL | TCS_RIGHT | TCS_MULTILINE, {-3, -2, 1, 2}, {-2, -1, -1, 0}}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    HWND T = Child(F.Form->Handle(), WC_TABCONTROLW, C.Style, 20, 20, 300, 180);
    InsertTabs(T, 3, L"Tab");
    SendMessageW(T, TCM_SETCURSEL, 1, 0);
    auto* A = TacMainWnd::Create<TacTabControlWnd>(T, nullptr, M.get(), "");
    for (int I : {0, 1}) {
      RECT R{};
      SendMessageW(T, TCM_GETITEMRECT, I, reinterpret_cast<LPARAM>(&R));
      const int* D = I == 1 ? C.Active : C.Inactive;
      EXPECT_EQ(A->SkinTabRect(I, I == 1), TRect(R.left + D[0], R.top + D[1], R.right + D[2], R.bottom + D[3])) << I;
    }
    delete A;
    DestroyWindow(T);
  }
}

TEST_F(Adapt2Paint, TabControlSectionFollowsThePositionAndEmptyControlIsOneSection) {
  F.Show();
  HWND T = Child(F.Form->Handle(), WC_TABCONTROLW, TCS_BOTTOM, 20, 20, 200, 120);
  auto* A = TacMainWnd::Create<TacTabControlWnd>(T, nullptr, M.get(), "");
  EXPECT_EQ(A->BodySection(), "CHECKBOX");  // no tabs
  const uitest::TCapture Empty = Shown(T, "adapt2_tabs_empty");
  EXPECT_TRUE(Near(Empty.Pixel(100, 5), PanelColor)) << std::hex << Empty.Pixel(100, 5);
  TCITEMW It{};
  It.mask = TCIF_TEXT;
  It.pszText = const_cast<wchar_t*>(L"Tab");
  SendMessageW(T, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&It));
  SendMessageW(T, TCM_SETCURSEL, 0, 0);
  EXPECT_EQ(A->TabPosition(), 1);
  EXPECT_EQ(A->BodySection(), "PAGECONTROLBOTTOM");
  A->SkinData->SetSkinSection("GROUPBOX");
  EXPECT_EQ(A->BodySection(), "GROUPBOX");  // a custom section is used for every position
  delete A;
  DestroyWindow(T);
}

TEST_F(Adapt2Paint, PageControlAdaptsItsPagesWhichShowTheBody) {
  F.Show();
  HWND T = Child(F.Form->Handle(), WC_TABCONTROLW, WS_CLIPCHILDREN, 20, 20, 300, 180);
  TCITEMW It{};
  It.mask = TCIF_TEXT;
  It.pszText = const_cast<wchar_t*>(L"Page");
  SendMessageW(T, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&It));
  SendMessageW(T, TCM_SETCURSEL, 0, 0);
  RECT PR{0, 0, 300, 180};
  SendMessageW(T, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&PR));
  HWND Page1 = Child(T, PageClass(), 0, PR.left, PR.top, PR.right - PR.left, PR.bottom - PR.top);
  const int Before = PageAdapters().Count();
  auto* A = TacMainWnd::Create<TacPageControlWnd>(T, nullptr, M.get(), "");
  ASSERT_EQ(PageAdapters().Count(), Before + 1);
  EXPECT_NE(dynamic_cast<TacPageWnd*>(GetWndAdapter(Page1)), nullptr);
  // A second page made later is adapted when the control hears of it.
  HWND Page2 = Child(T, PageClass(), 0, PR.left, PR.top, 40, 40);
  EXPECT_NE(dynamic_cast<TacPageWnd*>(GetWndAdapter(Page2)), nullptr);
  EXPECT_EQ(PageAdapters().Count(), Before + 2);
  ShowWindow(Page2, SW_HIDE);
  // The page shows the body's picture under it.
  Shown(T, "adapt2_pagecontrol");
  const uitest::TCapture P = Shown(Page1, "adapt2_page");
  EXPECT_TRUE(Near(P.Pixel(P.Width() / 2, P.Height() / 2), PanelColor)) << std::hex << P.Pixel(P.Width() / 2, P.Height() / 2);
  // A page's adapter goes with its page, the control's adapter or not.
  DestroyWindow(Page2);
  EXPECT_EQ(PageAdapters().Count(), Before + 1);
  delete A;
  DestroyWindow(T);
  uitest::Pump();
  EXPECT_EQ(PageAdapters().Count(), Before);
}

namespace {

// A panel of the form skinned with PANEL_LOW, as the parent of plain child windows.
struct TSkinnedHost {
  TPanel* Panel;
  std::unique_ptr<TsCommonData> Data;
  TacMainWnd* Adapter;
  TSkinnedHost(TForm* Form, TsSkinManager* M) {
    Panel = new TPanel(Form);
    Panel->SetParent(Form);
    Panel->SetBounds(0, 0, 400, 280);
    Panel->HandleNeeded();
    Data = std::make_unique<TsCommonData>(Panel, 0, true);
    Adapter = TacMainWnd::Create<TacPanelWnd>(Panel->Handle(), Data.get(), M, "PANEL_LOW");
  }
  ~TSkinnedHost() { delete Adapter; }
  HWND Handle() const { return Panel->Handle(); }
};

bool Dark(COLORREF C, int Lo, int Hi) {
  for (int V : {GetRValue(C), GetGValue(C), GetBValue(C)})
    if (V < Lo || V > Hi) return false;
  return true;
}

// Puts the real pointer on a client point of W and waits until a window has taken the move there
// and the pointer stays there: a late report of an earlier place cannot take it back before a
// paint reads where it is.
bool CursorTo(HWND W, int X, int Y) {
  POINT P{X, Y};
  ClientToScreen(W, &P);
  return realinput::MovePointerSeen(P) && realinput::MovePointerSettled(P);
}

}  // namespace

TEST_F(Adapt2Paint, UpDownHalvesSplitAndFollowTheMouse) {
  F.Show();
  TSkinnedHost Host(F.Form, M.get());
  HWND U = Child(Host.Handle(), UPDOWN_CLASSW, UDS_HORZ, 40, 40, 41, 20);
  auto* A = TacMainWnd::Create<TacSpinWnd>(U, nullptr, M.get(), "SPEEDBUTTON_SMALL");
  GetWndRects(A);
  EXPECT_FALSE(A->Vertical());
  EXPECT_EQ(A->FirstRect(), TRect(0, 0, 21, 20));
  EXPECT_EQ(A->SecondRect(), TRect(20, 0, 41, 20));
  ASSERT_TRUE(CursorTo(Host.Handle(), 300, 250));
  const uitest::TCapture Normal = Shown(U, "adapt2_updown");
  // Both halves in the BUTTON gradient (dark greys), not the system face.
  EXPECT_TRUE(Dark(Normal.Pixel(3, 10), 0x30, 0x4C)) << std::hex << Normal.Pixel(3, 10);
  EXPECT_TRUE(Dark(Normal.Pixel(37, 10), 0x30, 0x4C)) << std::hex << Normal.Pixel(37, 10);
  // The arrows: lighter pixels in the middle of each half.
  auto Lighter = [&](int X0, int X1) {
    int N = 0;
    for (int Y = 2; Y < 18; ++Y)
      for (int X = X0; X < X1; ++X)
        if (GetGValue(Normal.Pixel(X, Y)) > 0x70) ++N;
    return N;
  };
  EXPECT_GT(Lighter(3, 18), 0);
  EXPECT_GT(Lighter(23, 38), 0);
  ASSERT_TRUE(CursorTo(U, 33, 10));
  const uitest::TCapture Hot = Shown(U, "adapt2_updown_hot");
  EXPECT_EQ(A->Btn1State, 0);
  EXPECT_EQ(A->Btn2State, 1);
  EXPECT_NE(Hot.Pixel(37, 10), Normal.Pixel(37, 10));
  EXPECT_EQ(Hot.Pixel(3, 10), Normal.Pixel(3, 10));
  EXPECT_TRUE(CursorTo(Host.Handle(), 300, 250));
  delete A;
  DestroyWindow(U);
}

TEST(Adapt2ToolBarCaption, SplitsBeforeTheSecondToLastWord) {
  WideString A, B;
  TacToolBarWnd::SplitCaption(L"Save", A, B);
  EXPECT_EQ(A, L"");
  EXPECT_EQ(B, L"Save");
  TacToolBarWnd::SplitCaption(L"Save all", A, B);
  EXPECT_EQ(A, L"");
  EXPECT_EQ(B, L"Save all");
  TacToolBarWnd::SplitCaption(L"Save as new file", A, B);
  EXPECT_EQ(A, L"Save as");
  EXPECT_EQ(B, L"new file");
  TacToolBarWnd::SplitCaption(L"", A, B);
  EXPECT_EQ(A, L"");
  EXPECT_EQ(B, L"");
}

TEST_F(Adapt2Paint, ToolBarButtonsFromTheSkinWithHotAndDisabledLooks) {
  F.Show();
  TSkinnedHost Host(F.Form, M.get());
  HWND T = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN |
                           CCS_NODIVIDER | TBSTYLE_FLAT, 10, 10, 360, 48, Host.Handle(), nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  SendMessageW(T, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(T, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
  TBBUTTON B[4]{};
  const wchar_t* Texts[4] = {L"Open", L"", L"Save as new file", L"Off"};
  for (int I = 0; I < 4; ++I) {
    B[I].iBitmap = I_IMAGENONE;
    B[I].idCommand = 100 + I;
    B[I].fsState = I == 3 ? 0 : TBSTATE_ENABLED;
    B[I].fsStyle = I == 1 ? BTNS_SEP : BTNS_BUTTON;
    B[I].iString = reinterpret_cast<INT_PTR>(Texts[I]);
  }
  SendMessageW(T, TB_ADDBUTTONSW, 4, reinterpret_cast<LPARAM>(B));
  SendMessageW(T, TB_SETBUTTONSIZE, 0, MAKELPARAM(90, 40));
  SendMessageW(T, TB_AUTOSIZE, 0, 0);
  auto* A = TacMainWnd::Create<TacToolBarWnd>(T, nullptr, M.get(), "");
  EXPECT_EQ(A->SkinData->SkinSection(), "CHECKBOX");
  ASSERT_TRUE(CursorTo(Host.Handle(), 390, 270));
  RECT R0{}, R3{};
  SendMessageW(T, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&R0));
  SendMessageW(T, TB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&R3));
  const uitest::TCapture Normal = Shown(T, "adapt2_toolbar");
  // A normal button lets the bar's background through (TOOLBUTTON is transparent), and the bar
  // shows its parent's PANEL_LOW.
  const int MidY = (R0.top + R0.bottom) / 2;
  EXPECT_TRUE(Near(Normal.Pixel(R0.left + 6, R0.bottom - 6), PanelLowColor, 4))
      << std::hex << Normal.Pixel(R0.left + 6, R0.bottom - 6);
  EXPECT_TRUE(Near(Normal.Pixel(Normal.Width() - 3, MidY), PanelLowColor, 2));
  // Captions: light text in the first button, fainter text in the disabled one.
  auto MaxGreen = [](const uitest::TCapture& C, const RECT& R) {
    int G = 0;
    for (int Y = R.top; Y < R.bottom; ++Y)
      for (int X = R.left; X < R.right; ++X) G = std::max(G, static_cast<int>(GetGValue(C.Pixel(X, Y))));
    return G;
  };
  EXPECT_GT(MaxGreen(Normal, R0), 180);
  EXPECT_LT(MaxGreen(Normal, R3), MaxGreen(Normal, R0) - 40);
  // Hot: the button under the mouse takes TOOLBUTTON's hot colour.
  ASSERT_TRUE(CursorTo(T, R0.left + 6, R0.bottom - 6));
  SendMessageW(T, WM_MOUSEMOVE, 0, MAKELPARAM(R0.left + 6, R0.bottom - 6));
  const uitest::TCapture Hot = Shown(T, "adapt2_toolbar_hot");
  EXPECT_EQ(A->ButtonState(0), 1);
  EXPECT_TRUE(Near(Hot.Pixel(R0.left + 6, R0.bottom - 6), 4867140, 6)) << std::hex << Hot.Pixel(R0.left + 6, R0.bottom - 6);
  EXPECT_TRUE(CursorTo(Host.Handle(), 390, 270));
  delete A;
  DestroyWindow(T);
}

TEST_F(Adapt2Paint, CheckedToolBarButtonIsDrawnPressed) {
  // A checked button of a plain tool bar (a system dialog's view buttons, say) keeps showing that
  // it is checked: it takes the pressed look, away from the mouse as well.
  F.Show();
  TSkinnedHost Host(F.Form, M.get());
  HWND T = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN |
                           CCS_NODIVIDER | TBSTYLE_FLAT, 10, 10, 360, 48, Host.Handle(), nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  SendMessageW(T, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  TBBUTTON B[2]{};
  const wchar_t* Texts[2] = {L"List", L"Details"};
  for (int I = 0; I < 2; ++I) {
    B[I].iBitmap = I_IMAGENONE;
    B[I].idCommand = 100 + I;
    B[I].fsState = TBSTATE_ENABLED | (I == 1 ? TBSTATE_CHECKED : 0);
    B[I].fsStyle = BTNS_CHECKGROUP;
    B[I].iString = reinterpret_cast<INT_PTR>(Texts[I]);
  }
  SendMessageW(T, TB_ADDBUTTONSW, 2, reinterpret_cast<LPARAM>(B));
  SendMessageW(T, TB_SETBUTTONSIZE, 0, MAKELPARAM(90, 40));
  SendMessageW(T, TB_AUTOSIZE, 0, 0);
  auto* A = TacMainWnd::Create<TacToolBarWnd>(T, nullptr, M.get(), "");
  ASSERT_TRUE(CursorTo(Host.Handle(), 390, 270));
  RECT R0{}, R1{};
  SendMessageW(T, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&R0));
  SendMessageW(T, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&R1));
  const uitest::TCapture C = Shown(T, "adapt2_toolbar_checked");
  EXPECT_EQ(A->ButtonState(0), 0);
  EXPECT_EQ(A->ButtonState(1), 2);
  // The checked button in TOOLBUTTON's pressed colour, the other one showing the bar through.
  EXPECT_TRUE(Near(C.Pixel(R1.left + 6, R1.bottom - 6), 4867140, 6)) << std::hex << C.Pixel(R1.left + 6, R1.bottom - 6);
  EXPECT_TRUE(Near(C.Pixel(R0.left + 6, R0.bottom - 6), PanelLowColor, 4)) << std::hex << C.Pixel(R0.left + 6, R0.bottom - 6);
  delete A;
  DestroyWindow(T);
}

TEST_F(Adapt2Paint, SizeGripShowsTheSkinsGripOverTheParent) {
  F.Show();
  TSkinnedHost Host(F.Form, M.get());
  HWND G = Child(Host.Handle(), L"SCROLLBAR", SBS_SIZEGRIP, 300, 200, 30, 30);
  auto* A = TacMainWnd::Create<TacSizerWnd>(G, nullptr, M.get(), "CHECKBOX");
  const uitest::TCapture C = Shown(G, "adapt2_grip");
  // The top-left corner shows the panel; the grip image (12 x 24 frame) lies in the bottom right.
  EXPECT_TRUE(Near(C.Pixel(2, 2), PanelLowColor, 2)) << std::hex << C.Pixel(2, 2);
  int Other = 0;
  for (int Y = 18; Y < 30; ++Y)
    for (int X = 18; X < 30; ++X)
      if (!Near(C.Pixel(X, Y), PanelLowColor, 2)) ++Other;
  EXPECT_GT(Other, 0);
  EXPECT_EQ(SendMessageW(G, WM_NCHITTEST, 0, 0), HTBOTTOMRIGHT);
  delete A;
  DestroyWindow(G);
}

TEST_F(Adapt2Paint, TabControlGivesItsScrollerASpinAdapter) {
  F.Show();
  HWND T = Child(F.Form->Handle(), WC_TABCONTROLW, WS_CLIPCHILDREN, 20, 20, 150, 100);
  InsertTabs(T, 8, L"A long tab");
  SendMessageW(T, TCM_SETCURSEL, 0, 0);
  auto* A = TacMainWnd::Create<TacTabControlWnd>(T, nullptr, M.get(), "");
  Shown(T, "adapt2_tabs_scroller");
  HWND Up = FindWindowExW(T, nullptr, UPDOWN_CLASSW, nullptr);
  ASSERT_NE(Up, nullptr);
  ASSERT_NE(A->UpDown, nullptr);
  EXPECT_EQ(A->UpDown->CtrlHandle, Up);
  EXPECT_EQ(A->UpDown->SkinData->SkinSection(), "UPDOWNBTN");
  EXPECT_EQ(GetWndAdapter(Up), A->UpDown);
  delete A;
  EXPECT_EQ(GetWndAdapter(Up), nullptr);
  DestroyWindow(T);
}

TEST(Adapt2LinkText, TagsAreLeftOut) {
  EXPECT_EQ(TacLinkWnd::PlainText(L"Visit <A>our site</A> today"), L"Visit our site today");
  EXPECT_EQ(TacLinkWnd::PlainText(L"<a>x</a><A></A>"), L"x");
  EXPECT_EQ(TacLinkWnd::PlainText(L"plain"), L"plain");
}

TEST_F(Adapt2Paint, IconAndLinkStaticsOverTheSkinnedParent) {
  F.Show();
  TSkinnedHost Host(F.Form, M.get());
  HWND I = Child(Host.Handle(), L"STATIC", SS_ICON, 20, 20, 40, 40);
  SendMessageW(I, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, MAKEINTRESOURCEW(32512))), 0);
  SetWindowPos(I, nullptr, 20, 20, 40, 40, SWP_NOZORDER);
  auto* IA = TacMainWnd::Create<TacIconWnd>(I, nullptr, M.get(), "CHECKBOX");
  EXPECT_FALSE(IA->BitmapMode);
  const uitest::TCapture IC = Shown(I, "adapt2_icon");
  EXPECT_TRUE(Near(IC.Pixel(38, 38), PanelLowColor, 2)) << std::hex << IC.Pixel(38, 38);
  EXPECT_GT(IC.CountOther(TRect(0, 0, 32, 32), PanelLowColor), 50);

  INITCOMMONCONTROLSEX X{sizeof(X), ICC_LINK_CLASS};
  InitCommonControlsEx(&X);
  HWND L = Child(Host.Handle(), L"SysLink", 0, 20, 80, 200, 24, L"Go <A>there</A>");
  if (L == nullptr) GTEST_SKIP() << "no link window class";
  auto* LA = TacMainWnd::Create<TacLinkWnd>(L, nullptr, M.get(), "CHECKBOX");
  const uitest::TCapture LC = Shown(L, "adapt2_link");
  int Light = 0;
  for (int Y = 0; Y < LC.Height(); ++Y)
    for (int X2 = 0; X2 < LC.Width(); ++X2)
      if (GetGValue(LC.Pixel(X2, Y)) > 150) ++Light;
  EXPECT_GT(Light, 10);
  EXPECT_TRUE(Near(LC.Pixel(190, 20), PanelLowColor, 2)) << std::hex << LC.Pixel(190, 20);
  delete LA;
  delete IA;
  DestroyWindow(L);
  DestroyWindow(I);
}

TEST_F(Adapt2Paint, DialogPanelFramesTheWindowsOwnPainting) {
  F.Show();
  TSkinnedHost Host(F.Form, M.get());
  auto* P = new TPanel(F.Form);
  P->SetParent(Host.Panel);
  P->SetBounds(20, 20, 160, 100);
  P->SetBevelOuter(bvNone);
  P->SetColor(clWhite);
  P->HandleNeeded();
  auto* A = TacMainWnd::Create<TacDlgPanelWnd>(P->Handle(), nullptr, M.get(), "");
  EXPECT_EQ(A->Control, P);
  EXPECT_EQ(A->SkinData->SkinSection(), "CHECKBOX");
  EXPECT_EQ(ColorToRGB(P->Color()), M->GetGlobalColor());  // a panel takes the skin's global colour
  const uitest::TCapture C = Shown(P->Handle(), "adapt2_dlgpanel");
  // The 6-pixel band shows the transparent CHECKBOX section over the host (PANEL_LOW); inside, the
  // panel paints itself in its (global) colour.
  EXPECT_TRUE(Near(C.Pixel(2, 50), PanelLowColor, 2)) << std::hex << C.Pixel(2, 50);
  EXPECT_TRUE(Near(C.Pixel(80, 50), PanelColor, 2)) << std::hex << C.Pixel(80, 50);
  delete A;
}
