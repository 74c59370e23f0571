// The framework's common controls on a skinned form: each listed kind gets its adapter from the
// form's control adapter list, the form shows no system-coloured control, the skin can go and
// come back, and the form with everything on it is freed without a fault.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "framework/Buttons.h"
#include "framework/ExtCtrls.h"
#include "framework/ComCtrls.h"
#include "framework/ImgList.h"
#include "framework/ListViews.h"
#include "framework/ToolBars.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin/forms/sFormAdapters.h"
#include "skin/forms/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/adapt2_support.h"
#include "support/FreedMemoryGuard.h"
#include "support/RealInput.h"
#include "support/UiTest.h"

namespace {

const char* AdapterClass(TWinControl* C) {
  TacMainWnd* A = C != nullptr && C->HandleAllocated() ? GetWndAdapter(C->Handle()) : nullptr;
  return A != nullptr ? A->ClassName() : "";
}

std::unique_ptr<TBitmap> Glyph(TColor Color, TPixelFormat Format) {
  auto G = std::make_unique<TBitmap>(16, 16, Format);
  G->Canvas()->Brush()->SetColor(clFuchsia);
  G->Canvas()->FillRect(Rect(0, 0, 16, 16));
  G->Canvas()->Brush()->SetColor(Color);
  G->Canvas()->Ellipse(Rect(1, 1, 15, 15));
  if (Format == pf32bit) {
    // Opaque where drawn, transparent where the key colour is.
    GdiFlush();
    for (int Y = 0; Y < 16; ++Y) {
      auto* P = static_cast<Byte*>(G->ScanLine(Y));
      for (int X = 0; X < 16; ++X, P += 4) P[3] = (P[0] == 255 && P[1] == 0 && P[2] == 255) ? 0 : 255;
    }
  }
  return G;
}

// Every kind of framework common control, listed for the adapters, on one form.
struct TControlsForm {
  std::unique_ptr<TsSkinManager> M;
  TForm* Form = nullptr;
  TToolBar* Bar = nullptr;
  TStatusBar* Status = nullptr;
  TPageControl* Pages = nullptr;
  TTabSheet* Sheet1 = nullptr;
  TTabSheet* Sheet2 = nullptr;
  TTabControl* Tabs = nullptr;
  TBitBtn* Bit = nullptr;
  TSpeedButton* Speed = nullptr;
  TListView* List = nullptr;
  TTreeView* Tree = nullptr;
  TsSkinProvider* Prov = nullptr;

  TControlsForm() {
    sSkinMenusInstall();
    sSkinProviderInstall();
    M = adapt2::LoadProgramSkin();
    adapt2::SetList(*M, tpButton, "TButton");
    adapt2::SetList(*M, tpBitBtn, "TBitBtn");
    adapt2::SetList(*M, tpListView, "TListView");
    adapt2::SetList(*M, tpTreeView, "TTreeView");
    adapt2::SetList(*M, tpPageControl, "TPageControl");
    adapt2::SetList(*M, tpTabControl, "TTabControl");
    adapt2::SetList(*M, tpToolBar, "TToolBar");
    adapt2::SetList(*M, tpStatusBar, "TStatusBar");
    adapt2::SetList(*M, tpSpeedButton, "TSpeedButton");
    Form = new TForm(nullptr);
    Form->SetBounds(40, 40, 640, 440);
    Form->SetCaption(L"Common controls");
    auto* Images = new TImageList(Form);
    for (TColor C : {clRed, clLime, clAqua}) Images->AddMasked(Glyph(C, pf24bit).get(), clFuchsia);

    Bar = new TToolBar(Form);
    Bar->SetParent(Form);
    Bar->SetImages(Images);
    Bar->SetShowCaptions(true);
    Bar->SetButtonWidth(56);
    Bar->SetButtonHeight(38);
    Bar->SetHeight(42);
    const wchar_t* Captions[] = {L"Open", L"Save", L"", L"Check", L"More"};
    const TToolButtonStyle Styles[] = {tbsButton, tbsButton, tbsSeparator, tbsCheck, tbsDropDown};
    for (int I = 0; I < 5; ++I) {
      auto* B = new TToolButton(Form);
      B->SetCaption(WideString(Captions[I]));
      B->SetStyle(Styles[I]);
      B->SetImageIndex(I == 2 ? -1 : I % 3);
      B->SetParent(Bar);
    }
    Bar->Buttons(3)->SetDown(true);

    Status = new TStatusBar(Form);
    Status->SetParent(Form);
    Status->SetHeight(22);
    Status->Panels()->Add()->SetText(L"Ready");
    Status->Panels()->Items(0)->SetWidth(160);
    TStatusPanel* P = Status->Panels()->Add();
    P->SetText(L"12 channels");
    P->SetWidth(160);
    P->SetAlignment(taCenter);
    Status->Panels()->Add()->SetText(L"");

    Pages = new TPageControl(Form);
    Pages->SetParent(Form);
    Pages->SetBounds(8, 50, 380, 250);
    Pages->SetImages(Images);
    Sheet1 = new TTabSheet(Form);
    Sheet1->SetCaption(WideString(L"Buttons"));
    Sheet1->SetImageIndex(0);
    Sheet1->SetPageControl(Pages);
    Sheet2 = new TTabSheet(Form);
    Sheet2->SetCaption(WideString(L"List"));
    Sheet2->SetPageControl(Pages);

    Bit = new TBitBtn(Form);
    Bit->SetParent(Sheet1);
    Bit->SetBounds(16, 16, 120, 34);
    Bit->SetCaption(L"Glyph");
    Bit->SetGlyph(Glyph(clLime, pf32bit).get());
    Speed = new TSpeedButton(Form);
    Speed->SetParent(Sheet1);
    Speed->SetBounds(150, 16, 110, 34);
    Speed->SetCaption(L"Speed");
    Speed->SetGlyph(Glyph(clAqua, pf24bit).get());
    auto* Plain = new TButton(Form);
    Plain->SetParent(Sheet1);
    Plain->SetBounds(16, 64, 120, 30);
    Plain->SetCaption(L"Button");

    List = new TListView(Form);
    List->SetParent(Sheet2);
    List->SetBounds(8, 8, 350, 180);
    List->SetViewStyle(vsReport);
    List->SetSmallImages(Images);
    TListColumn* C0 = List->Columns()->Add();
    C0->SetCaption(L"Channel");
    C0->SetWidth(150);
    C0->SetImageIndex(1);
    List->Columns()->Add()->SetCaption(L"Group");
    List->AddItem(L"First", {L"News"}, 0);
    List->AddItem(L"Second", {L"Sport"}, 1);

    Tree = new TTreeView(Form);
    Tree->SetParent(Form);
    Tree->SetBounds(400, 50, 220, 150);
    TTreeNode* Root = Tree->AddChild(nullptr, L"Groups");
    Tree->AddChild(Root, L"News");
    Tree->AddChild(Root, L"Sport");
    Root->SetExpanded(true);

    Tabs = new TTabControl(Form);
    Tabs->SetParent(Form);
    Tabs->SetBounds(400, 210, 220, 90);
    Tabs->Tabs()->Add("One");
    Tabs->Tabs()->Add("Two");

    Prov = new TsSkinProvider(Form);
    uitest::ShowSettled(Form);
  }
  ~TControlsForm() {
    delete Form;
    uitest::Pump();
  }
  TControlsForm(const TControlsForm&) = delete;
  TControlsForm& operator=(const TControlsForm&) = delete;
};

}  // namespace

TEST(Adapt3CommonControls, EachKindGetsItsAdapterAndTheFormShowsNoSystemColours) {
  memguard::TFaultCount AV;
  {
    TControlsForm T;
    EXPECT_STREQ(AdapterClass(T.Bar), "TacToolBarVCLWnd");
    EXPECT_STREQ(AdapterClass(T.Status), "TacStatusBarWnd");
    EXPECT_STREQ(AdapterClass(T.Pages), "TacPageControlWnd");
    EXPECT_STREQ(AdapterClass(T.Sheet1), "TacPageWnd");
    EXPECT_STREQ(AdapterClass(T.Tabs), "TacTabControlWnd");
    EXPECT_STREQ(AdapterClass(T.Bit), "TacBitBtnWnd");
    EXPECT_STREQ(AdapterClass(T.List), "") << "on the hidden page: no window yet";
    EXPECT_STREQ(AdapterClass(T.Tree), "TacTreeViewWnd");
    // The tree's text takes the skin's font colour through the control's font.
    const TsGeneralData& Edit = T.M->GeneralData()[static_cast<std::size_t>(T.M->GetSectionIndex("EDIT"))];
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(T.Tree->Handle(), TVM_GETTEXTCOLOR, 0, 0)),
              ColorToRGB(Edit.HotFontColor[0]) & 0xFFFFFF);
    EXPECT_TRUE((AskControl(T.Speed, AC_ISSKINNED) & 0xFF) != 0) << "the speed button has its handler";
    RedrawWindow(T.Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    uitest::Pump();
    uitest::SaveScreenshot(T.Form->Handle(), "adapt3_comctrls_form");
    const uitest::TCapture C(T.Form->Handle());
    const COLORREF Face = ColorToRGB(clBtnFace) & 0xFFFFFF;
    const COLORREF Window = ColorToRGB(clWindow) & 0xFFFFFF;
    EXPECT_LT(C.Count(TRect{0, 0, C.Width(), C.Height()}, Face), 20) << "no control left in the system's face colour";
    // The tree and the list in the skin's field colour, not the system's window colour.
    const TRect Tr = T.Tree->BoundsRect();
    EXPECT_NE(C.Pixel(Tr.Right - 10, Tr.Bottom - 10), Window);
    EXPECT_TRUE(adapt2::Near(C.Pixel(Tr.Right - 10, Tr.Bottom - 10), ColorToRGB(Edit.HotColor) & 0xFFFFFF, 4))
        << std::hex << C.Pixel(Tr.Right - 10, Tr.Bottom - 10);

    // The other page by a real click on its tab.
    RECT TabR{};
    SendMessageW(T.Pages->Handle(), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&TabR));
    ASSERT_TRUE(realinput::BringToFront(T.Form->Handle()));
    ASSERT_TRUE(realinput::Click(T.Pages->Handle(), (TabR.left + TabR.right) / 2, (TabR.top + TabR.bottom) / 2));
    ASSERT_TRUE(uitest::WaitFor([&] { return T.Pages->ActivePage() == T.Sheet2; }));
    uitest::PumpFor(50);
    EXPECT_STREQ(AdapterClass(T.Sheet2), "TacPageWnd");
    EXPECT_STREQ(AdapterClass(T.List), "TacListViewWnd") << "made when its page showed, and adapted then";
    uitest::SaveScreenshot(T.Form->Handle(), "adapt3_comctrls_form_list");
    const uitest::TCapture L(T.List->Handle());
    EXPECT_NE(L.Pixel(L.Width() - 10, L.Height() - 10), Window);

    // The skin goes and comes back.
    T.M->SetActive(false);
    uitest::Pump();
    EXPECT_STREQ(AdapterClass(T.Bar), "");
    EXPECT_FALSE(T.Bar->OnAdvancedCustomDraw) << "the bar's events are its own again";
    T.M->SetActive(true);
    uitest::Pump();
    EXPECT_STREQ(AdapterClass(T.Bar), "TacToolBarVCLWnd");
    // Controls freed while skinned, before their form.
    delete T.Bar->Buttons(1);
    delete T.Sheet1;
    delete T.Status;
    uitest::Pump();
  }
  EXPECT_EQ(AV.Count(), 0);
}

TEST(Adapt3CommonControls, ListViewBackgroundIsTheColourOfItsRows) {
  // The list view paints its own background in the list-view colours the adapter gives it: the
  // empty area below the rows is the rows' colour, not whatever lay under the window.
  memguard::TFaultCount AV;
  {
    TControlsForm T;
    T.Pages->SetActivePage(T.Sheet2);
    uitest::PumpFor(100);
    ASSERT_STREQ(AdapterClass(T.List), "TacListViewWnd");
    RedrawWindow(T.List->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    uitest::Pump();
    const uitest::TCapture L(T.List->Handle());
    L.MaybeSave("adapt3_listview_background");
    const TsGeneralData& Edit = T.M->GeneralData()[static_cast<std::size_t>(T.M->GetSectionIndex("EDIT"))];
    const COLORREF Rows = ColorToRGB(Edit.Color) & 0xFFFFFF;
    RECT Item{LVIR_LABEL, 0, 0, 0};
    ASSERT_TRUE(SendMessageW(T.List->Handle(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&Item)));
    // The end of the first row's label (past its short text) and the area below the last row.
    EXPECT_EQ(L.Pixel(Item.right - 4, (Item.top + Item.bottom) / 2), Rows);
    const int Below = L.Height() - 10;
    EXPECT_EQ(L.Count(TRect{0, Below, L.Width(), Below + 1}, Rows), L.Width())
        << std::hex << L.Pixel(10, Below);
  }
  EXPECT_EQ(AV.Count(), 0);
}

TEST(Adapt3CommonControls, SkinnedFormWithAdaptedContainersIsFreedWithoutFault) {
  // A listed container with a control in it: the form frees its provider (and with it the
  // adapters) before the container, whose child then leaves it through its WindowProc chain.
  memguard::TFaultCount AV;
  sSkinProviderInstall();
  auto M = adapt2::LoadProgramSkin();
  adapt2::SetList(*M, tpPanel, "TPanel");
  adapt2::SetList(*M, tpToolBar, "TToolBar");
  auto* Form = new TForm(nullptr);
  Form->SetBounds(40, 40, 400, 300);
  auto* P = new TPanel(Form);
  P->SetParent(Form);
  auto* E = new TEdit(Form);
  E->SetParent(P);
  auto* Bar = new TToolBar(Form);
  Bar->SetParent(Form);
  auto* B = new TToolButton(Form);
  B->SetParent(Bar);
  new TsSkinProvider(Form);
  uitest::ShowSettled(Form);
  ASSERT_STREQ(AdapterClass(P), "TacPanelWnd");
  delete Form;
  uitest::Pump();
  EXPECT_EQ(AV.Count(), 0);
}
