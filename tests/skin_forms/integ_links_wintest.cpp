// How form skinning reaches the control adapters and back: the provider's control adapter list,
// its MDI support and the MDI client's questions to it, the adapters of every kind of dialog
// child, and the menu painter's part in the popup-window adapters.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "skin/controls/acScrollAdapters.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/core/acPixels.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin/forms/acDials.h"
#include "skin/forms/sFormAdapters.h"
#include "skin/forms/sMDIForm.h"
#include "skin/forms/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin_forms/adapt2_support.h"
#include "skin_forms/dlg_support.h"

namespace {

bool Answers7(HWND W) { return W != nullptr && WindowAnswersCommand(W, AC_ISSKINNED); }

const char* AdapterClass(HWND W) {
  TacMainWnd* A = W != nullptr ? GetWndAdapter(W) : nullptr;
  return A != nullptr ? A->ClassName() : "";
}

TEdit* AddEdit(TWinControl* Parent, int Y) {
  auto* E = new TEdit(Parent);
  E->SetParent(Parent);
  E->SetBounds(10, Y, 120, 24);
  return E;
}

class IntegProvider : public ::testing::Test {
 protected:
  void SetUp() override {
    sSkinProviderInstall();
    M = adapt2::LoadProgramSkin();
    ASSERT_TRUE(M->SkinActive());
    adapt2::SetList(*M, tpEdit, "TEdit");
  }
  std::unique_ptr<TsSkinManager> M;
};

}  // namespace

// ---- the control adapter list -----------------------------------------------------------------

TEST_F(IntegProvider, ListedControlsAreAdaptedAndPaintedAndGoBackWithTheSkin) {
  adapt2::TTestForm F;
  TEdit* E = AddEdit(F.Form, 10);
  E->SetText(WideString(L""));
  auto* Other = new TButton(F.Form);  // not listed: left alone
  Other->SetParent(F.Form);
  Other->SetBounds(10, 60, 80, 24);
  auto* Prov = new TsSkinProvider(F.Form);
  F.Show();
  ASSERT_NE(Prov->Adapter, nullptr);
  EXPECT_EQ(Prov->Adapter->Provider, Prov);
  ASSERT_NE(Prov->Adapter->ItemOf(E), nullptr);
  EXPECT_EQ(Prov->Adapter->ItemOf(Other), nullptr);
  EXPECT_STREQ(AdapterClass(E->Handle()), "TacEditWnd");
  EXPECT_TRUE(Answers7(E->Handle()));

  // The edit's client shows the skin's dark field, not the system's white one.
  RedrawWindow(E->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Pump();
  uitest::SaveScreenshot(F.Form->Handle(), "integ_form_adapters");
  uitest::TCapture Shot(E->Handle());
  const COLORREF Field = Shot.Pixel(Shot.Width() - 4, Shot.Height() / 2);
  EXPECT_TRUE(dlgtest::IsSkinDark(Field)) << std::hex << Field;

  // A control added later joins the list.
  TEdit* Late = AddEdit(F.Form, 100);
  Late->HandleNeeded();
  uitest::Pump();
  EXPECT_TRUE(Answers7(Late->Handle()));

  // The skin goes: the adapters are told, freed, and the list with them.
  M->SetActive(false);
  uitest::Pump();
  EXPECT_EQ(Prov->Adapter, nullptr);
  EXPECT_EQ(GetWndAdapter(E->Handle()), nullptr);
  EXPECT_EQ(GetWndAdapter(Late->Handle()), nullptr);
  EXPECT_FALSE(Answers7(E->Handle()));

  // It comes back: a new list adapts the same controls again.
  M->SetActive(true);
  uitest::Pump();
  ASSERT_NE(Prov->Adapter, nullptr);
  EXPECT_TRUE(Answers7(E->Handle()));
  EXPECT_TRUE(Answers7(Late->Handle()));
}

TEST_F(IntegProvider, FreeingTheProviderGivesTheControlsBackAndFreeingTheFormIsQuiet) {
  {
    adapt2::TTestForm F;
    TEdit* E = AddEdit(F.Form, 10);
    auto* Prov = new TsSkinProvider(F.Form);
    F.Show();
    ASSERT_TRUE(Answers7(E->Handle()));
    delete Prov;
    uitest::Pump();
    EXPECT_EQ(GetWndAdapter(E->Handle()), nullptr);
    // The edit's own procedure chain works as before.
    SendMessageW(E->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"still here"));
    EXPECT_EQ(E->Text(), WideString(L"still here"));
  }
  // The provider made first (its controls go before it) and made last (it goes first).
  for (bool ProviderFirst : {true, false}) {
    SCOPED_TRACE(ProviderFirst ? "provider first" : "provider last");
    adapt2::TTestForm F;
    TsSkinProvider* Prov = ProviderFirst ? new TsSkinProvider(F.Form) : nullptr;
    TEdit* E = AddEdit(F.Form, 10);
    AddEdit(F.Form, 40);
    if (Prov == nullptr) Prov = new TsSkinProvider(F.Form);
    F.Show();
    ASSERT_NE(Prov->Adapter, nullptr);
    EXPECT_EQ(Prov->Adapter->Count(), 2);
    EXPECT_TRUE(Answers7(E->Handle()));
  }
}

// ---- MDI support -------------------------------------------------------------------------------

TEST_F(IntegProvider, AnMDIMainFormGetsItsClientAdapterAndAnswersItsQuestions) {
  adapt2::TTestForm F;
  F.Form->SetFormStyle(fsMDIForm);
  F.Show();
  auto* Prov = new TsSkinProvider(F.Form);
  uitest::Pump();
  HWND Client = F.Form->ClientHandle();
  ASSERT_NE(Client, nullptr);
  ASSERT_NE(Prov->MDIForm, nullptr);
  EXPECT_EQ(SkinnedMDIMainProvider, Prov);
  ASSERT_NE(Prov->MDIForm->MDIWnd, nullptr);
  EXPECT_EQ(GetWndAdapter(Client), Prov->MDIForm->MDIWnd);
  EXPECT_EQ(Prov->MDIForm->MDIWnd->Provider, Prov);

  // The client area is painted from the form's image: the skin's dark area, not the system's
  // application-workspace colour.
  RedrawWindow(Client, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Pump();
  uitest::SaveScreenshot(F.Form->Handle(), "integ_mdi_form");
  uitest::TCapture Shot(Client);
  const COLORREF Area = Shot.Pixel(Shot.Width() / 2, Shot.Height() / 2);
  EXPECT_TRUE(dlgtest::IsSkinDark(Area)) << std::hex << Area;
  EXPECT_NE(Area, GetSysColor(COLOR_APPWORKSPACE) & 0xFFFFFF);

  // The links the client adapter calls.
  ASSERT_TRUE(acMDIProviderLink.FormColor && acMDIProviderLink.PaintAll && acMDIProviderLink.Suspended &&
              acMDIProviderLink.ExtBorderOffset && acMDIProviderLink.RedrawNonClient &&
              acMDIProviderLink.ChildrenArranged && acMDIProviderLink.MDIMenuSet);
  EXPECT_EQ(acMDIProviderLink.FormColor(Prov), Prov->FormColor());
  EXPECT_FALSE(acMDIProviderLink.FormColor(nullptr) == clNone);
  TPoint Offset{7, 7};
  EXPECT_EQ(acMDIProviderLink.ExtBorderOffset(Prov, Offset), Prov->BorderForm != nullptr);
  EXPECT_FALSE(acMDIProviderLink.ExtBorderOffset(nullptr, Offset));
  EXPECT_FALSE(acMDIProviderLink.Suspended(Prov));
  Prov->SkinData()->BackgroundStale = true;
  acMDIProviderLink.PaintAll(Prov);
  EXPECT_NE(Prov->SkinData()->CacheBmp(), nullptr);

  // Tiling through the client window resets the menu line; a new MDI menu marks the title.
  Prov->MenuLineRows = 5;
  SendMessageW(Client, WM_MDITILE, MDITILE_VERTICAL, 0);
  EXPECT_EQ(Prov->MenuLineRows, -1);
  Prov->MenuLineRows = 5;
  Prov->TitleDirty = false;
  SendMessageW(Client, WM_MDISETMENU, 0, 0);
  EXPECT_TRUE(Prov->TitleDirty);
  EXPECT_EQ(Prov->MenuLineRows, -1);

  // Without the skin the client is the system's again; with it back, the adapter returns.
  M->SetActive(false);
  uitest::Pump();
  EXPECT_EQ(Prov->MDIForm, nullptr);
  EXPECT_EQ(GetWndAdapter(Client), nullptr);
  M->SetActive(true);
  uitest::Pump();
  ASSERT_NE(Prov->MDIForm, nullptr);
  EXPECT_NE(GetWndAdapter(Client), nullptr);

  delete Prov;
  uitest::Pump();
  EXPECT_EQ(SkinnedMDIMainProvider, nullptr);
  EXPECT_EQ(GetWndAdapter(Client), nullptr);
}

TEST_F(IntegProvider, AnMDIFormMadeBeforeItShowsConnectsItsClientOnShowing) {
  adapt2::TTestForm F;
  F.Form->SetFormStyle(fsMDIForm);
  auto* Prov = new TsSkinProvider(F.Form);  // as forms make it: before their window shows
  F.Show();
  HWND Client = F.Form->ClientHandle();
  ASSERT_NE(Client, nullptr);
  ASSERT_NE(Prov->MDIForm, nullptr);
  ASSERT_NE(Prov->MDIForm->MDIWnd, nullptr);
  EXPECT_EQ(GetWndAdapter(Client), Prov->MDIForm->MDIWnd);
  // The client answers background questions in its own coordinates (a fill, or the form's
  // image already moved to the client), so its bars need no offset of form skinning.
  TacBGInfo Info;
  QueryWindowBackground(Info, Client, false);
  if (Info.BgType == btCache) {
    EXPECT_EQ(Info.Offset.X, Prov->OffsetX());
    EXPECT_EQ(Info.Offset.Y, Prov->OffsetY());
  }
  EXPECT_EQ(acScrollBackgroundOffset, nullptr);
  delete Prov;
  uitest::Pump();
  EXPECT_EQ(GetWndAdapter(Client), nullptr);
}

// ---- dialog children ---------------------------------------------------------------------------

TEST(IntegDialogChildren, EveryKindOfChildGetsItsAdapterClass) {
  HMODULE Comctl = LoadLibraryA("comctl32.dll");
  ASSERT_NE(Comctl, nullptr);
  using TInit = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto Init = reinterpret_cast<TInit>(reinterpret_cast<void*>(GetProcAddress(Comctl, "InitCommonControlsEx")));
  ASSERT_NE(Init, nullptr);
  const INITCOMMONCONTROLSEX Icc{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_LINK_CLASS};
  Init(&Icc);
  dlgtest::THookedSkin Skin;
  ASSERT_TRUE(Skin.Manager->SkinActive());
  dlgtest::TTemplate T(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME, 220, 130, L"Children");
  T.Add({0x82, L"", SS_ICON, 10, 10, 20, 20, 201, L""});
  T.Add({0, L"msctls_updown32", 0, 40, 10, 12, 14, 202, L""});
  T.Add({0, L"SysLink", 0, 60, 10, 80, 10, 203, L"<a>link</a>"});
  T.Add({0, L"ScrollBar", SBS_SIZEGRIP, 200, 110, 10, 10, 204, L""});
  T.Add({0, L"ToolbarWindow32", CCS_NORESIZE | CCS_NOPARENTALIGN, 10, 40, 150, 20, 205, L""});
  T.Add({0, L"SysTabControl32", 0, 10, 70, 150, 40, 206, L""});
  HWND W = dlgtest::CreateModeless(T);
  ASSERT_NE(W, nullptr);
  SetForegroundWindow(W);
  uitest::Settle(W);
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  SendSkinCommand(W, AC_READAPTCHILDREN, 0);
  struct TCase {
    int Id;
    const char* Class;
  };
  for (const TCase& C : {TCase{201, "TacIconWnd"}, TCase{202, "TacSpinWnd"}, TCase{203, "TacLinkWnd"},
                         TCase{204, "TacSizerWnd"}, TCase{205, "TacToolBarWnd"}, TCase{206, "TacTabControlWnd"}}) {
    SCOPED_TRACE(C.Class);
    HWND Child = GetDlgItem(W, C.Id);
    if (Child == nullptr) {
      ADD_FAILURE() << "no child " << C.Id;
      continue;
    }
    EXPECT_STREQ(AdapterClass(Child), C.Class);
    EXPECT_TRUE(Answers7(Child));
  }
  DestroyWindow(W);
  uitest::Pump();
}

TEST(IntegDialogChildren, DialogPanelsAndTransparentPanelsGetTheirAdapters) {
  dlgtest::THookedSkin Skin;
  TacProvider* P = nullptr;
  dlgtest::TTemplate T(WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME, 200, 100, L"Panels");
  HWND W = dlgtest::CreateModeless(T);
  ASSERT_NE(W, nullptr);
  SetForegroundWindow(W);
  uitest::Settle(W);
  ASSERT_TRUE(uitest::WaitFor([&] { return (P = FindDialogProvider(W)) != nullptr; }));
  // A nested dialog page (#32770) is a transparent panel.
  HWND Page = CreateWindowExW(0, L"#32770", L"", WS_CHILD | WS_VISIBLE, 5, 5, 100, 60, W, nullptr, nullptr, nullptr);
  ASSERT_NE(Page, nullptr);
  EXPECT_TRUE(AdaptDialogChild(P, Page));
  EXPECT_STREQ(AdapterClass(Page), "TacTransPanelWnd");
  DestroyWindow(W);
  uitest::Pump();
}

// ---- menus -------------------------------------------------------------------------------------

TEST(IntegMenus, ThePainterMarksTheSkinnedPopupAndClearsItsCacheForTheAdapters) {
  acMenuWndLink.ClearMenuCache = nullptr;
  sSkinMenusInstall();  // before the manager: it makes its painter at construction
  auto M = std::make_unique<TsSkinManager>(nullptr);
  ASSERT_TRUE(static_cast<bool>(acMenuWndLink.ClearMenuCache));
  M->SetSkinDirectory(adapt2::ProgramSkinFolder());
  M->SetSkinName("DefaultBlack");
  ASSERT_TRUE(M->SkinActive());
  TsSkinableMenus* P = SkinableMenusOf(M.get());
  ASSERT_NE(P, nullptr);
  TPopupMenu Menu(nullptr);
  auto* I = new TMenuItem(&Menu);
  I->SetCaption(WideString(L"Item"));
  Menu.Items()->Add(I);
  std::unique_ptr<TBitmap> B(CreateBmp24(120, 24));
  acSkinnedMenuShown = false;
  P->PaintMenuItem(I, B->Canvas(), Rect(0, 0, 120, 22), TOwnerDrawState{});
  EXPECT_TRUE(acSkinnedMenuShown);
  // The adapters' call empties the painter's cache without harm.
  acMenuWndLink.ClearMenuCache();
  acSkinnedMenuShown = false;
  // The painter asked the manager to frame the popup's window: drop that request, the menu goes.
  MSG Msg;
  while (PeekMessageW(&Msg, nullptr, 0xBCB3, 0xBCB4, PM_REMOVE)) {
  }
}
