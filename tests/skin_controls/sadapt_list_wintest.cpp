// The list view and tree view adapters on real SysListView32 (report style, with its header) and
// SysTreeView32 windows with the program's own skin.
#include <string>

#include "sadapt_support.h"
#include "framework/ListViews.h"
#include "framework/TypInfo.h"
#include "skin/core/sConst.h"
#include "skin/core/sPaintUtils.h"

using namespace sadapt;

namespace {

class SadaptList : public SkinnedFixture {
 protected:
  HWND MakeReportList(int Items) {
    HWND L = Child(WC_LISTVIEWW, LVS_REPORT | WS_VSCROLL | WS_HSCROLL, WS_EX_CLIENTEDGE, 20, 20, 300, 200);
    const wchar_t* Names[] = {L"Name", L"Size", L"Kind"};
    for (int C = 0; C < 3; ++C) {
      LVCOLUMNW Col{};
      Col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
      Col.fmt = C == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT;
      Col.cx = 80;
      Col.pszText = const_cast<wchar_t*>(Names[C]);
      SendMessageW(L, LVM_INSERTCOLUMNW, C, reinterpret_cast<LPARAM>(&Col));
    }
    for (int I = 0; I < Items; ++I) {
      std::wstring T = L"row " + std::to_wstring(I);
      LVITEMW It{};
      It.mask = LVIF_TEXT;
      It.iItem = I;
      It.pszText = T.data();
      SendMessageW(L, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&It));
    }
    return L;
  }
  HWND HeaderOf(HWND L) { return reinterpret_cast<HWND>(SendMessageW(L, LVM_GETHEADER, 0, 0)); }
};

}  // namespace

TEST_F(SadaptList, ReportListGetsSectionColoursAndASkinnedHeader) {
  HWND L = MakeReportList(40);
  const LRESULT OwnBk = SendMessageW(L, LVM_GETBKCOLOR, 0, 0);
  const LRESULT OwnText = SendMessageW(L, LVM_GETTEXTCOLOR, 0, 0);
  const LONG_PTR HeaderProc = GetWindowLongPtrW(HeaderOf(L), GWLP_WNDPROC);

  auto* A = TacMainWnd::Create<TacListViewWnd>(L, nullptr, Manager.get(), "EDIT");
  EXPECT_EQ(A->HeaderWnd, HeaderOf(L));
  EXPECT_EQ(A->ViewStyle(), 1);
  RedrawWindow(L, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  uitest::Settle(L);
  Save(L, "sadapt_list_report");

  const TsGeneralData& Edit = Section("EDIT");
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(L, LVM_GETBKCOLOR, 0, 0)), Rgb(Edit.Color));
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(L, LVM_GETTEXTCOLOR, 0, 0)), Rgb(Edit.FontColor[0]));
  // The list's empty client area shows the section's colour.
  RECT C{};
  GetClientRect(L, &C);
  EXPECT_EQ(uitest::WindowPixel(L, C.right - 5, C.bottom - 5), Rgb(Edit.Color));

  // The header: the area right of the last column is painted from COLHEADER (a gradient between
  // its two colours), not in the system's button face.
  HWND H = HeaderOf(L);
  RECT HR{};
  GetClientRect(H, &HR);
  const uitest::TCapture Head(H);
  const COLORREF Mid = Head.Pixel(HR.right - 10, HR.bottom / 2);
  EXPECT_NE(Mid, GetSysColor(COLOR_BTNFACE) & 0xFFFFFF);
  EXPECT_TRUE(Near(Mid, Rgb(4340796), 40) || Near(Mid, Rgb(3683123), 40)) << std::hex << Mid;
  // The column texts are written in the section's font colour: light pixels in the first item.
  const COLORREF TextColor = Rgb(Section("COLHEADER").FontColor[0]);
  int Light = 0;
  for (int Y = 0; Y < HR.bottom; ++Y)
    for (int X = 0; X < 80; ++X)
      if (Near(Head.Pixel(X, Y), TextColor, 60)) ++Light;
  EXPECT_GT(Light, 5);

  delete A;
  uitest::Settle(L);
  EXPECT_EQ(SendMessageW(L, LVM_GETBKCOLOR, 0, 0), OwnBk);
  EXPECT_EQ(SendMessageW(L, LVM_GETTEXTCOLOR, 0, 0), OwnText);
  EXPECT_EQ(GetWindowLongPtrW(HeaderOf(L), GWLP_WNDPROC), HeaderProc);
}

// A framework list view gets its own colour back when its adapter goes, whatever colour it had, and
// its window its own list colours.
TEST_F(SadaptList, AFrameworkListViewGetsItsOwnColoursBackWithItsAdapter) {
  for (const TColor Own : {clWindow, clInfoBk, static_cast<TColor>(0x00336699)}) {
    SCOPED_TRACE(static_cast<int>(Own));
    auto* L = new TListView(Form);
    L->SetParent(Form);
    L->SetBounds(20, 240, 200, 120);
    L->SetColor(Own);
    uitest::Settle(Form->Handle());
    const LRESULT OwnBk = SendMessageW(L->Handle(), LVM_GETBKCOLOR, 0, 0);
    const LRESULT OwnTextBk = SendMessageW(L->Handle(), LVM_GETTEXTBKCOLOR, 0, 0);
    const LRESULT OwnText = SendMessageW(L->Handle(), LVM_GETTEXTCOLOR, 0, 0);
    auto Data = std::make_unique<TsCommonData>(L);
    Data->SetSkinManager(Manager.get());
    Data->SetSkinSection("EDIT");
    delete TacMainWnd::Create<TacListViewWnd>(L->Handle(), Data.get(), Manager.get(), "EDIT");
    EXPECT_EQ(L->Color(), Own);
    EXPECT_EQ(SendMessageW(L->Handle(), LVM_GETBKCOLOR, 0, 0), OwnBk);
    EXPECT_EQ(SendMessageW(L->Handle(), LVM_GETTEXTBKCOLOR, 0, 0), OwnTextBk);
    EXPECT_EQ(SendMessageW(L->Handle(), LVM_GETTEXTCOLOR, 0, 0), OwnText);
    delete L;
  }
}

// A window carries one adapter: a second list-view adapter, over the plain window or over a
// framework list view, is refused and leaves the header with the first one, which keeps painting
// it; the header's own procedure comes back only when the first adapter goes.
TEST_F(SadaptList, ASecondAdapterIsRefusedAndLeavesTheHeaderToTheFirst) {
  auto* View = new TListView(Form);
  View->SetParent(Form);
  View->SetBounds(20, 240, 300, 120);
  View->SetViewStyle(vsReport);
  for (const wchar_t* Caption : {L"Name", L"Size"}) View->Columns()->Add()->SetCaption(Caption);
  uitest::Settle(Form->Handle());
  TsCommonData ViewData(View, 0, true);
  ViewData.SetSkinManager(Manager.get());
  ViewData.SetSkinSection("EDIT");
  HWND Plain = MakeReportList(5);
  for (HWND L : {Plain, View->Handle()}) {
    SCOPED_TRACE(L == Plain ? "plain window" : "framework list view");
    HWND H = HeaderOf(L);
    const LONG_PTR HeaderProc = GetWindowLongPtrW(H, GWLP_WNDPROC);
    TsCommonData* Data = L == Plain ? nullptr : &ViewData;
    auto* First = TacMainWnd::Create<TacListViewWnd>(L, Data, Manager.get(), "EDIT");
    // Twice more: as a plain window and through the framework control's skin data.
    for (TsCommonData* SecondData : {static_cast<TsCommonData*>(nullptr), &ViewData}) {
      SCOPED_TRACE(SecondData == nullptr ? "second over the window" : "second over the control");
      auto* Second = TacMainWnd::Create<TacListViewWnd>(L, SecondData, Manager.get(), "EDIT");
      EXPECT_TRUE(Second->Destroyed);
      EXPECT_EQ(Second->HeaderWnd, nullptr);
      EXPECT_EQ(GetWndAdapter(L), First);
      ASSERT_EQ(GetPropW(H, L"ACSBSCHDR"), static_cast<HANDLE>(First));
      delete Second;
      // The header still works and is still painted by the first adapter.
      EXPECT_EQ(SendMessageW(H, HDM_GETITEMCOUNT, 0, 0), L == Plain ? 3 : 2);
      EXPECT_EQ(GetPropW(H, L"ACSBSCHDR"), static_cast<HANDLE>(First));
      EXPECT_EQ(GetWndAdapter(L), First);
      EXPECT_EQ(SendMessageW(L, SM_ALPHACMD, MakeAlphaCmd(AC_ISSKINNED), 0), 1);
    }
    delete First;
    EXPECT_EQ(GetWindowLongPtrW(H, GWLP_WNDPROC), HeaderProc);
    EXPECT_EQ(GetWndAdapter(L), nullptr);
  }
}

TEST_F(SadaptList, ThumbTrackInReportStyleScrollsByWholeItems) {
  HWND L = MakeReportList(60);
  auto* A = TacMainWnd::Create<TacListViewWnd>(L, nullptr, Manager.get(), "EDIT");
  uitest::Settle(L);
  // The engine asks first whether the window takes the full position in LParam.
  EXPECT_EQ(SendMessageW(L, SM_ALPHACMD, MakeAlphaCmd(AC_BEFORESCROLL), 0), 1);
  acScrollTracking().LastTrackPos = 0;
  SendScrollMessage(L, WM_VSCROLL, SB_THUMBTRACK, 7);
  uitest::Settle(L);
  EXPECT_EQ(SendMessageW(L, LVM_GETTOPINDEX, 0, 0), 7);
  // No change of position: nothing scrolls.
  acScrollTracking().LastTrackPos = 7;
  SendScrollMessage(L, WM_VSCROLL, SB_THUMBTRACK, 7);
  EXPECT_EQ(SendMessageW(L, LVM_GETTOPINDEX, 0, 0), 7);
  acScrollTracking().LastTrackPos = -1;
  delete A;
}

TEST_F(SadaptList, PressingAHeaderItemDrawsItPressedButNotOnADivider) {
  HWND L = MakeReportList(5);
  auto* A = TacMainWnd::Create<TacListViewWnd>(L, nullptr, Manager.get(), "EDIT");
  uitest::Settle(L);
  HWND H = HeaderOf(L);
  RECT HR{};
  GetClientRect(H, &HR);
  const uitest::TCapture Before(H);

  SendMessageW(H, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, HR.bottom / 2));
  EXPECT_EQ(A->PressedSection, 1);
  uitest::Settle(H);
  const uitest::TCapture Pressed(H);
  Save(H, "sadapt_list_header_pressed");
  int Changed = 0;
  for (int X = 82; X < 158; ++X)
    if (Pressed.Pixel(X, HR.bottom / 2) != Before.Pixel(X, HR.bottom / 2)) ++Changed;
  EXPECT_GT(Changed, 10);
  SendMessageW(H, WM_LBUTTONUP, 0, MAKELPARAM(120, HR.bottom / 2));
  EXPECT_EQ(A->PressedSection, -1);
  ReleaseCapture();

  SendMessageW(H, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(80, HR.bottom / 2));
  EXPECT_EQ(A->PressedSection, -1);
  SendMessageW(H, WM_LBUTTONUP, 0, MAKELPARAM(80, HR.bottom / 2));
  ReleaseCapture();
  delete A;
}

TEST_F(SadaptList, TreeBackgroundAndTextTakeTheSectionColours) {
  HWND T = Child(WC_TREEVIEWW, TVS_HASLINES | TVS_HASBUTTONS, WS_EX_CLIENTEDGE, 340, 20, 180, 200);
  TVINSERTSTRUCTW Ins{};
  Ins.hParent = TVI_ROOT;
  Ins.hInsertAfter = TVI_LAST;
  Ins.item.mask = TVIF_TEXT;
  Ins.item.pszText = const_cast<wchar_t*>(L"Channels");
  auto Root = reinterpret_cast<HTREEITEM>(SendMessageW(T, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&Ins)));
  Ins.hParent = Root;
  Ins.item.pszText = const_cast<wchar_t*>(L"One");
  SendMessageW(T, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&Ins));
  const LRESULT OwnBk = SendMessageW(T, TVM_GETBKCOLOR, 0, 0);
  const LRESULT OwnText = SendMessageW(T, TVM_GETTEXTCOLOR, 0, 0);

  auto* A = TacMainWnd::Create<TacTreeViewWnd>(T, nullptr, Manager.get(), "EDIT");
  RedrawWindow(T, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Settle(T);
  Save(T, "sadapt_list_tree");
  const TsGeneralData& Edit = Section("EDIT");
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(T, TVM_GETBKCOLOR, 0, 0)), Rgb(Edit.HotColor));
  EXPECT_EQ(uitest::WindowPixel(T, 150, 150), Rgb(Edit.HotColor));
  // The item's text is written in the section's hot font colour.
  const COLORREF Text = Rgb(Edit.HotFontColor[0]);
  ASSERT_NE(Text, static_cast<COLORREF>(OwnText));
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(T, TVM_GETTEXTCOLOR, 0, 0)), Text);
  RECT Item{};
  *reinterpret_cast<HTREEITEM*>(&Item) = Root;
  ASSERT_TRUE(SendMessageW(T, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&Item)));
  const uitest::TCapture Client(T);
  int Written = 0;
  for (int Y = Item.top; Y < Item.bottom; ++Y)
    for (int X = Item.left; X < Item.right; ++X) Written += Near(Client.Pixel(X, Y), Text, 8) ? 1 : 0;
  EXPECT_GT(Written, 5);
  // The frame is the skinned one.
  EXPECT_EQ(WindowCapture(T).Pixel(0, 100), GetPixel(A->SkinData->CacheBmp()->Canvas()->Handle(), 0, 100) & 0xFFFFFF);

  delete A;
  uitest::Settle(T);
  EXPECT_EQ(SendMessageW(T, TVM_GETBKCOLOR, 0, 0), OwnBk);
  EXPECT_EQ(SendMessageW(T, TVM_GETTEXTCOLOR, 0, 0), OwnText);
  EXPECT_EQ(uitest::WindowPixel(T, 150, 150), GetSysColor(COLOR_WINDOW) & 0xFFFFFF);
}

// ---- grids of other libraries: colours through published properties -----------------------------

namespace {

class TSadaptLook : public TPersistent {
  T_CLASS(TSadaptLook, TPersistent)
 public:
  TColor From = clNone;
  TColor To = clSilver;
  TColor GetFrom() const { return From; }
  void SetFrom(TColor V) { From = V; }
  TColor GetTo() const { return To; }
  void SetTo(TColor V) { To = V; }
};

class TSadaptGrid : public TCustomControl {
  T_CLASS(TSadaptGrid, TCustomControl)
 public:
  using TCustomControl::TCustomControl;
  TColor Fixed = clBtnFace, Footer = clRed, Title = clBlue, Indicator = clGreen, Line = clSilver,
         FixedLine = clBlack, Sel = clHighlight, SelText = clHighlightText;
  TSadaptLook Look;
#define SADAPT_PROP(Name, Field) \
  TColor Get##Name() const { return Field; } \
  void Set##Name(TColor V) { Field = V; }
  SADAPT_PROP(Fixed, Fixed)
  SADAPT_PROP(Footer, Footer)
  SADAPT_PROP(Title, Title)
  SADAPT_PROP(Indicator, Indicator)
  SADAPT_PROP(Line, Line)
  SADAPT_PROP(FixedLine, FixedLine)
  SADAPT_PROP(Sel, Sel)
  SADAPT_PROP(SelText, SelText)
#undef SADAPT_PROP
  TSadaptLook* ControlLook() { return &Look; }
};

T_PUBLISH(TSadaptLook) {
  P.Ordinal("FixedGradientFrom", &TSadaptLook::GetFrom, &TSadaptLook::SetFrom);
  P.Ordinal("FixedGradientTo", &TSadaptLook::GetTo, &TSadaptLook::SetTo);
}

T_PUBLISH(TSadaptGrid) {
  P.Ordinal("FixedColor", &TSadaptGrid::GetFixed, &TSadaptGrid::SetFixed);
  P.Ordinal("FooterColor", &TSadaptGrid::GetFooter, &TSadaptGrid::SetFooter);
  P.Ordinal("TitleColor", &TSadaptGrid::GetTitle, &TSadaptGrid::SetTitle);
  P.Ordinal("IndicatorIconColor", &TSadaptGrid::GetIndicator, &TSadaptGrid::SetIndicator);
  P.Ordinal("GridLineColor", &TSadaptGrid::GetLine, &TSadaptGrid::SetLine);
  P.Ordinal("GridFixedLineColor", &TSadaptGrid::GetFixedLine, &TSadaptGrid::SetFixedLine);
  P.Ordinal("SelectionColor", &TSadaptGrid::GetSel, &TSadaptGrid::SetSel);
  P.Ordinal("SelectionTextColor", &TSadaptGrid::GetSelText, &TSadaptGrid::SetSelText);
  P.Object("ControlLook", [](TSadaptGrid* G) -> TObject* { return G->ControlLook(); });
}

}  // namespace

TEST_F(SadaptList, GridColoursComeFromTheSkinAndGoBack) {
  auto* G = new TSadaptGrid(Form);
  G->SetParent(Form);
  G->SetBounds(20, 240, 200, 120);
  uitest::Settle(Form->Handle());
  auto Data = std::make_unique<TsCommonData>(G);
  Data->SetSkinManager(Manager.get());
  Data->SetSkinSection("EDIT");
  auto* A = TacMainWnd::Create<TacGridWnd>(G->Handle(), Data.get(), Manager.get(), "EDIT");
  A->SetSkinParams();

  EXPECT_EQ(G->Fixed, Manager->GetGlobalColor());
  EXPECT_EQ(G->Look.From, MixColorsLinear(Manager->GetGlobalColor(), Manager->GetGlobalHotColor(), 0.5));
  EXPECT_EQ(G->Look.To, Manager->GetGlobalColor());
  EXPECT_EQ(G->Line, MixColorsLinear(Manager->GetGlobalHotColor(), Manager->GetEditHotFontColor(), 0.5));
  EXPECT_EQ(G->FixedLine, static_cast<TColor>(Manager->SkinData()->BorderColor));
  EXPECT_EQ(G->Sel, Manager->GetHighlightColor());
  EXPECT_EQ(G->SelText, Manager->GetHighlightFontColor());
  EXPECT_EQ(G->Footer, static_cast<TColor>(Section("GLOBALINFO").Color));
  EXPECT_EQ(G->Indicator, static_cast<TColor>(Section("EDIT").FontColor[0]));

  delete A;
  EXPECT_EQ(G->Fixed, static_cast<TColor>(ColorToRGB(clBtnFace)));
  EXPECT_EQ(G->Footer, static_cast<TColor>(ColorToRGB(clRed)));
  EXPECT_EQ(G->Line, static_cast<TColor>(ColorToRGB(clSilver)));
  // A gradient colour of clNone comes back as clBtnFace.
  EXPECT_EQ(G->Look.From, clBtnFace);
  EXPECT_EQ(G->Look.To, static_cast<TColor>(ColorToRGB(clSilver)));

  // A skin without a border colour leaves the grid its own fixed lines.
  Manager->SkinData()->BorderColor = TsSkinData::NoBorderColor;
  G->FixedLine = clMaroon;
  auto* B = TacMainWnd::Create<TacGridWnd>(G->Handle(), Data.get(), Manager.get(), "EDIT");
  B->SetSkinParams();
  EXPECT_EQ(G->FixedLine, clMaroon);
  delete B;
}
