// The hook of form skinning: providers made at activation (forms and system dialogs), the provider
// list and its freeing, the adapters of dialog children, and the skinned frame of a real message
// box.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "skin/controls/acScrollAdapters.h"
#include "skin/controls/acScrollBars.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin_forms/dlg_support.h"
#include "support/FreedMemoryGuard.h"
#include "support/RealInput.h"

using dlgtest::ProviderCount;

namespace {

class DlgHook : public ::testing::Test {
 protected:
  void SetUp() override {
    Skin = std::make_unique<dlgtest::THookedSkin>();
    ASSERT_TRUE(Skin->Manager->SkinActive());
    ASSERT_TRUE(Skin->Manager->HookInstalled());
    ASSERT_NE(ProviderList(), nullptr);
  }
  void TearDown() override {
    for (HWND W : Windows)
      if (IsWindow(W)) DestroyWindow(W);
    uitest::Pump();
    Skin.reset();
    DialogPosX = DialogPosY = -1;
  }
  HWND Open(const dlgtest::TTemplate& T) {
    HWND W = dlgtest::CreateModeless(T);
    Windows.push_back(W);
    SetForegroundWindow(W);
    uitest::Settle(W);
    return W;
  }
  std::unique_ptr<dlgtest::THookedSkin> Skin;
  std::vector<HWND> Windows;
};

// The manager whose skin a timer removes inside a menu loop, which it then ends.
TsSkinManager* LoopManager = nullptr;
void CALLBACK RemoveSkinInLoop(HWND, UINT, UINT_PTR Id, DWORD) {
  KillTimer(nullptr, Id);
  LoopManager->SetActive(false);
  EndMenu();
}

const char* AdapterClass(HWND W) {
  TacMainWnd* A = GetWndAdapter(W);
  return A != nullptr ? A->ClassName() : "";
}

}  // namespace

// ---- the choice of child adapters -------------------------------------------------------------

TEST(DlgChildKind, WindowClassAndStyleDecideTheAdapter) {
  struct TCase {
    const char* Class;
    LONG Style;
    bool Visible;
    TacDialogChildAdapter Adapter;
    const char* Section;
  };
  const TCase Cases[] = {
      {"Static", SS_ICON, true, dckIcon, "CHECKBOX"},
      {"Static", SS_BITMAP, true, dckIcon, "CHECKBOX"},
      {"Static", SS_BLACKFRAME, true, dckIcon, "CHECKBOX"},
      {"Static", SS_OWNERDRAW, true, dckNone, ""},
      {"Static", SS_GRAYRECT, true, dckNone, ""},
      {"Static", SS_WHITERECT, true, dckNone, ""},
      {"Static", SS_LEFT, true, dckStatic, "CHECKBOX"},
      {"#32770", 0, true, dckTransPanel, "CHECKBOX"},
      {"TPanel", 0, true, dckDlgPanel, "PANEL"},
      {"Button", BS_GROUPBOX, true, dckGroupBox, "GROUPBOX"},
      {"Button", BS_PUSHBUTTON, true, dckButton, "BUTTON"},
      {"Button", BS_DEFPUSHBUTTON, true, dckButton, "BUTTON"},
      {"Button", BS_USERBUTTON, true, dckButton, "BUTTON"},
      {"BUTTON", BS_AUTOCHECKBOX, true, dckCheckBox, "CHECKBOX"},
      {"Button", BS_AUTORADIOBUTTON, true, dckCheckBox, "CHECKBOX"},
      {"Button", BS_OWNERDRAW, true, dckCheckBox, "CHECKBOX"},
      {"ComboBox", CBS_DROPDOWN, true, dckComboBox, "COMBOBOX"},
      {"ComboLBox", 0, true, dckEdit, "COMBOBOX"},
      {"ComboBoxEx32", 0, true, dckComboBox, "COMBOBOX"},
      {"ScrollBar", SBS_SIZEGRIP, true, dckSizer, "CHECKBOX"},
      {"SysTabControl32", 0, true, dckTabControl, "PAGECONTROL"},
      {"SysTabControl32", 0x2000, true, dckNone, ""},
      {"SysListView32", 0, true, dckListView, "EDIT"},
      {"msctls_updown32", 0, true, dckSpin, "SPEEDBUTTON_SMALL"},
      {"ListBox", 0, true, dckEdit, "EDIT"},
      {"SysLink", 0, true, dckLink, "CHECKBOX"},
      {"ToolbarWindow32", 0x200, true, dckToolBar, "BAR"},
      {"ToolbarWindow32", 0, true, dckToolBar, "CHECKBOX"},
      {"Edit", 0, true, dckEdit, "EDIT"},
      {"Edit", 0, false, dckNone, ""},
      {"SysTreeView32", 0, true, dckTreeView, "EDIT"},
      {"x_SHBrowseForFolder_y", 0, true, dckTransPanel, "CHECKBOX"},
      {"SomethingElse", 0, true, dckNone, ""},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(std::string(C.Class) + " style " + std::to_string(C.Style));
    const TacDialogChildKind K = DialogChildKind(C.Class, C.Style, C.Visible);
    EXPECT_EQ(K.Adapter, C.Adapter);
    EXPECT_STREQ(K.Section, C.Section);
  }
}

TEST(DlgChildKind, EditsAndCombosClearPaintSuppressEvenWhenInvisible) {
  bool Clears = false;
  DialogChildKind("Edit", 0, false, &Clears);
  EXPECT_TRUE(Clears);
  DialogChildKind("COMBOLBOX", 0, true, &Clears);
  EXPECT_TRUE(Clears);
  DialogChildKind("Button", 0, true, &Clears);
  EXPECT_FALSE(Clears);
}

TEST_F(DlgHook, UnusableWindowsAreRefusedQuietly) {
  const int Before = ProviderCount();
  EXPECT_FALSE(SkinActivatedWindow(nullptr));
  EXPECT_FALSE(SkinActivatedWindow(reinterpret_cast<HWND>(0x7FFF0)));
  EXPECT_EQ(FindDialogProvider(nullptr), nullptr);
  EXPECT_FALSE(AdaptDialogChild(nullptr, nullptr));
  EXPECT_TRUE(AdaptChildWindows(nullptr, nullptr));
  EXPECT_EQ(GetWndClassName(nullptr), "");
  // A plain top-level window of another class is not a dialog.
  HWND W = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  Windows.push_back(W);
  EXPECT_FALSE(SkinActivatedWindow(W));
  EXPECT_EQ(ProviderCount(), Before);
}

// ---- system dialogs ---------------------------------------------------------------------------

TEST_F(DlgHook, ActivatedDialogGetsAdapterAndItsChildrenAdaptersByClass) {
  HWND W = Open(dlgtest::StandardDialog());
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  TacProvider* P = FindDialogProvider(W);
  ASSERT_NE(P->DialogAdapter, nullptr);
  EXPECT_EQ(P->DialogAdapter->Provider, P);
  EXPECT_FALSE(P->IsFormProvider());
  EXPECT_EQ(GetWndAdapter(W), P->DialogAdapter);
  EXPECT_TRUE(WindowAnswersCommand(W, AC_ISSKINNED));
  // The system draws no caption buttons any more; the adapter remembers the style.
  EXPECT_EQ(GetWindowLongA(W, GWL_STYLE) & WS_SYSMENU, 0);
  EXPECT_NE(P->DialogAdapter->SavedStyle & WS_SYSMENU, 0);
  EXPECT_EQ(P->DialogAdapter->FrameKind, dfkModalFrame);
  // Edits and combo boxes clear the empty-paint mode.
  EXPECT_FALSE(P->DialogAdapter->PaintSuppress);

  EXPECT_STREQ(AdapterClass(GetDlgItem(W, 101)), "TacEditWnd");
  EXPECT_STREQ(AdapterClass(GetDlgItem(W, 102)), "TacEditWnd");
  EXPECT_STREQ(AdapterClass(GetDlgItem(W, 103)), "TacComboBoxWnd");
  EXPECT_STREQ(AdapterClass(GetDlgItem(W, IDOK)), "TacBtnWnd");
  EXPECT_STREQ(AdapterClass(GetDlgItem(W, 104)), "TacCheckBoxWnd");
  EXPECT_STREQ(AdapterClass(GetDlgItem(W, 105)), "TacGroupBoxWnd");
  EXPECT_STREQ(AdapterClass(GetDlgItem(W, 106)), "TacStaticWnd");
  ASSERT_NE(P->Adapters, nullptr);
  for (int I = 0; I < P->Adapters->Count(); ++I) {
    auto* A = static_cast<TacMainWnd*>(P->Adapters->Items(I));
    // The system's look inside the skin's frame, but for the controls painted wholly from the
    // skin.
    const bool Whole = A->ClassNameIs("TacEditWnd") || A->ClassNameIs("TacComboBoxWnd") ||
                       A->ClassNameIs("TacGroupBoxWnd");
    EXPECT_EQ(A->DlgMode, !Whole) << A->ClassName();
    EXPECT_EQ(A->SkinData->GetSkinManager(), Skin->Manager.get());
  }

  // Activating again changes nothing; walking the children again adapts nothing new.
  const int Count = ProviderCount();
  const int Adapted = P->Adapters->Count();
  EXPECT_FALSE(SkinActivatedWindow(W));
  SendSkinCommand(W, AC_READAPTCHILDREN, 0);
  EXPECT_EQ(ProviderCount(), Count);
  EXPECT_EQ(P->Adapters->Count(), Adapted);
}

// A system dialog's list box that the program fills and empties shows after each change the
// skinned bar that a repaint of the whole list box shows, never the system's own.
TEST_F(DlgHook, ADialogListBoxFilledByTheProgramKeepsItsSkinnedBar) {
  dlgtest::TTemplate T(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME, 200, 120, L"List");
  T.Add({0x83, L"", WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 10, 10, 110, 80, 102, L""});
  HWND W = Open(T);
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  HWND L = GetDlgItem(W, 102);
  auto* A = dynamic_cast<TacScrollWnd*>(GetWndAdapter(L));
  ASSERT_NE(A, nullptr);
  const auto Add = [L](int N) {
    for (int I = 0; I < N; ++I)
      SendMessageA(L, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(("channel " + std::to_string(I)).c_str()));
  };
  const struct {
    const char* What;
    std::function<void()> Do;
  } Rows[] = {
      {"40 items added", [&] { Add(40); }},
      {"20 deleted", [&] {
         for (int I = 0; I < 20; ++I) SendMessageA(L, LB_DELETESTRING, 0, 0);
       }},
      {"the last one selected", [&] { SendMessageA(L, LB_SETCARETINDEX, 19, FALSE); }},
  };
  for (const auto& Row : Rows) {
    SCOPED_TRACE(Row.What);
    Row.Do();
    uitest::Settle(W);
    ASSERT_TRUE(A->VertBar->Visible);
    const uitest::TCapture Shown = dlgtest::CaptureWindow(L);
    RedrawWindow(L, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    uitest::Settle(W);
    const uitest::TCapture Repainted = dlgtest::CaptureWindow(L);
    TRect Bar;
    GetVertBarRect(A, L, Bar);
    RECT R{};
    GetWindowRect(L, &R);
    Bar.Offset(-R.left, -R.top);
    EXPECT_TRUE(uitest::TCapture::SamePixels(Shown, Bar, Repainted, Bar));
    for (int Sys : {COLOR_SCROLLBAR, COLOR_BTNFACE}) EXPECT_EQ(Repainted.Count(Bar, GetSysColor(Sys)), 0);
  }
}

TEST_F(DlgHook, DialogFrameAndCaptionArePaintedFromTheSkin) {
  HWND W = Open(dlgtest::StandardDialog(DS_MODALFRAME, L"Caption"));
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  TacDialogWnd* D = FindDialogProvider(W)->DialogAdapter;
  RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  uitest::Settle(W);
  uitest::SaveScreenshot(W, "dlg_dialog");
  const uitest::TCapture C = dlgtest::CaptureWindow(W);
  const int CapH = D->CaptionHeight();
  const int F = D->FrameWidth();
  ASSERT_GT(CapH, 0);
  // The title strip between the caption text and the buttons shows the dark FORMTITLE gradient.
  const TRect& Close = D->ButtonClose.Rect;
  ASSERT_GT(Close.Width(), 0);
  const int TitleY = F + CapH / 2;
  const COLORREF Title = C.Pixel(Close.Left - 20, TitleY);
  EXPECT_TRUE(dlgtest::IsSkinDark(Title)) << std::hex << Title;
  // The close button's image differs from the title behind it.
  EXPECT_GT(C.CountOther(Close, Title), Close.Width() * Close.Height() / 8);
  // No other caption buttons for a dialog without minimize and maximize boxes.
  EXPECT_EQ(D->ButtonMin.Rect.Width(), 0);
  EXPECT_EQ(D->ButtonMax.Rect.Width(), 0);
  // The caption text is written in the title's font colours: light pixels right of the icon.
  const int TextLeft = F + GetSystemMetrics(SM_CXSMICON) + 4;
  int Light = 0;
  for (int X = TextLeft; X < TextLeft + 60; ++X)
    for (int Y = F; Y < F + CapH; ++Y)
      if (GetRValue(C.Pixel(X, Y)) > 140) ++Light;
  EXPECT_GT(Light, 10);
  // The left border and the client area are the skin's, not the system's grey.
  const COLORREF Border = C.Pixel(1, C.Height() / 2);
  EXPECT_NE(Border, GetSysColor(COLOR_BTNFACE));
  RECT CR;
  GetClientRect(W, &CR);
  const COLORREF Client = uitest::WindowPixel(W, CR.right - 10, CR.bottom - 10);
  EXPECT_TRUE(ownctl::Near(Client, static_cast<COLORREF>(Skin->Manager->GetGlobalColor()))) << std::hex << Client;
  // The transparent corners of the border image are cut out of the window region.
  EXPECT_FALSE(D->RegionRects.empty());
}

TEST_F(DlgHook, DialogRegionCutsTheFramesRoundedCornersWhereTheyAre) {
  // The skin's frame has round corners at the top and at the bottom: the key-coloured corner
  // pixels are cut out of the window at the window's corners, and nothing is cut along the sides.
  HWND W = Open(dlgtest::StandardDialog(DS_MODALFRAME, L"Corners"));
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Settle(W);
  RECT R;
  GetWindowRect(W, &R);
  const int Wd = R.right - R.left, Ht = R.bottom - R.top;
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(W, Rgn), ERROR);
  for (POINT P : {POINT{0, 0}, POINT{Wd - 1, 0}, POINT{0, Ht - 1}, POINT{Wd - 1, Ht - 1}})
    EXPECT_FALSE(PtInRegion(Rgn, P.x, P.y)) << P.x << "," << P.y << " is a cut corner";
  int SideHoles = 0;
  for (int Y = 8; Y < Ht - 8; ++Y) SideHoles += !PtInRegion(Rgn, 0, Y) + !PtInRegion(Rgn, Wd - 1, Y);
  EXPECT_EQ(SideHoles, 0);
  DeleteObject(Rgn);
}

TEST_F(DlgHook, DialogFrameFollowsTheActiveStateLikeItsTitle) {
  // The frame's outline below the title has the colour of the title's outline beside it, in the
  // active look and in the inactive one.
  HWND W = Open(dlgtest::StandardDialog(DS_MODALFRAME, L"Outline"));
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  TacDialogWnd* D = FindDialogProvider(W)->DialogAdapter;
  for (const bool On : {true, false}) {
    SendMessageA(W, WM_NCACTIVATE, On ? TRUE : FALSE, 0);
    uitest::Settle(W);
    ASSERT_EQ(D->Active, On);
    const uitest::TCapture C = dlgtest::CaptureWindow(W);
    const COLORREF Title = C.Pixel(0, D->FrameWidth() + D->CaptionHeight() / 2);
    const COLORREF Side = C.Pixel(0, C.Height() * 3 / 4);
    EXPECT_EQ(Side, Title) << (On ? "active " : "inactive ") << std::hex << Side << " " << Title;
  }
}

TEST_F(DlgHook, CaptionHitTestAndCloseButtonClick) {
  HWND W = Open(dlgtest::StandardDialog());
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  TacDialogWnd* D = FindDialogProvider(W)->DialogAdapter;
  RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Settle(W);
  RECT WR;
  GetWindowRect(W, &WR);
  const TRect Close = D->ButtonClose.Rect;
  const POINT InClose{WR.left + (Close.Left + Close.Right) / 2, WR.top + (Close.Top + Close.Bottom) / 2};
  EXPECT_EQ(SendMessageA(W, WM_NCHITTEST, 0, MAKELPARAM(InClose.x, InClose.y)), HTCLOSE);
  EXPECT_EQ(D->HotCode, dhtClose);
  EXPECT_EQ(D->ButtonClose.State, 1);
  const POINT InIcon{WR.left + D->FrameWidth() + 4, InClose.y};
  EXPECT_EQ(SendMessageA(W, WM_NCHITTEST, 0, MAKELPARAM(InIcon.x, InIcon.y)), HTSYSMENU);
  EXPECT_EQ(D->HotCode, 0);
  const POINT InTitle{(WR.left + WR.right) / 2, InClose.y};
  EXPECT_EQ(SendMessageA(W, WM_NCHITTEST, 0, MAKELPARAM(InTitle.x, InTitle.y)), HTCAPTION);

  // Pressing and releasing the close button closes the dialog.
  SendMessageA(W, WM_NCLBUTTONDOWN, HTCLOSE, MAKELPARAM(InClose.x, InClose.y));
  EXPECT_EQ(D->ButtonClose.State, 2);
  EXPECT_TRUE(acDialogButtonPressed);
  SendMessageA(W, WM_NCLBUTTONUP, HTCLOSE, MAKELPARAM(InClose.x, InClose.y));
  EXPECT_FALSE(IsWindow(W));
  EXPECT_FALSE(acDialogButtonPressed);
}

TEST_F(DlgHook, RealClickOnTheCloseButtonClosesTheDialog) {
  HWND W = Open(dlgtest::StandardDialog(DS_MODALFRAME, L"Click me"));
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  TacDialogWnd* D = FindDialogProvider(W)->DialogAdapter;
  ASSERT_TRUE(realinput::BringToFront(W));
  RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Settle(W);
  RECT WR;
  GetWindowRect(W, &WR);
  const TRect Close = D->ButtonClose.Rect;
  ASSERT_GT(Close.Width(), 0);
  const POINT S{WR.left + (Close.Left + Close.Right) / 2, WR.top + (Close.Top + Close.Bottom) / 2};
  ASSERT_TRUE(realinput::MovePointerSeen(S));
  EXPECT_TRUE(uitest::WaitFor([&] { return D->HotCode == dhtClose; }));
  realinput::SendButtons({realinput::ButtonAt(S, MOUSEEVENTF_LEFTDOWN)});
  EXPECT_TRUE(uitest::WaitFor([&] { return D->ButtonClose.State == 2; }));
  EXPECT_TRUE(IsWindow(W));
  realinput::SendButtons({realinput::ButtonAt(S, MOUSEEVENTF_LEFTUP)});
  EXPECT_TRUE(uitest::WaitFor([&] { return !IsWindow(W); }));
}

TEST_F(DlgHook, InactiveDialogTakesTheInactiveTitleColours) {
  HWND W = Open(dlgtest::StandardDialog(DS_MODALFRAME, L"Active"));
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  TacDialogWnd* D = FindDialogProvider(W)->DialogAdapter;
  SendMessageA(W, WM_NCACTIVATE, TRUE, 0);
  uitest::Settle(W);
  EXPECT_TRUE(D->Active);
  const int Y = D->FrameWidth() + D->CaptionHeight() / 2;
  const int X = D->ButtonClose.Rect.Left - 20;
  const COLORREF ActiveTitle = dlgtest::CaptureWindow(W).Pixel(X, Y);
  SendMessageA(W, WM_NCACTIVATE, FALSE, 0);
  uitest::Settle(W);
  EXPECT_FALSE(D->Active);
  const COLORREF InactiveTitle = dlgtest::CaptureWindow(W).Pixel(X, Y);
  EXPECT_TRUE(dlgtest::IsSkinDark(InactiveTitle)) << std::hex << InactiveTitle;
  // The active title is the lighter one of the skin's two title gradients.
  EXPECT_GT(GetRValue(ActiveTitle) + GetGValue(ActiveTitle), GetRValue(InactiveTitle) + GetGValue(InactiveTitle));
}

TEST_F(DlgHook, ExtendedBordersGiveTheDialogABorderWindowThatGoesWithIt) {
  Skin->Manager->SetExtendedBorders(true);
  if (!Skin->Manager->ExtendedBorders()) GTEST_SKIP() << "no layered windows";
  HWND W = Open(dlgtest::StandardDialog(DS_MODALFRAME, L"Bordered"));
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  TacDialogWnd* D = FindDialogProvider(W)->DialogAdapter;
  ASSERT_NE(D->BorderForm, nullptr);
  RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Settle(W);
  ASSERT_NE(D->SkinData->CacheBmp(), nullptr);
  EXPECT_EQ(D->SkinData->CacheBmp()->PixelFormat(), pf32bit);
  D->UpdateBorderForm(false);
  EXPECT_EQ(D->BorderForm, nullptr);
  EXPECT_EQ(D->SkinData->CacheBmp()->PixelFormat(), pf24bit);
  DestroyWindow(W);
  uitest::Pump();
}

TEST_F(DlgHook, ReleasingAwayFromThePressedButtonDoesNothing) {
  HWND W = Open(dlgtest::StandardDialog());
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  SendMessageA(W, WM_NCLBUTTONDOWN, HTCLOSE, 0);
  SendMessageA(W, WM_NCLBUTTONUP, HTCAPTION, 0);
  EXPECT_TRUE(IsWindow(W));
  EXPECT_FALSE(acDialogButtonPressed);
}

TEST_F(DlgHook, ProviderOfADestroyedDialogGoesAtTheNextDestruction) {
  HWND W = Open(dlgtest::StandardDialog());
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  TacProvider* P = FindDialogProvider(W);
  const int Index = ProviderList()->IndexOf(P);
  ASSERT_GE(Index, 0);
  DestroyWindow(W);
  // Any later window destruction in the thread frees the provider of the gone dialog.
  HWND Other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(Other);
  EXPECT_EQ(ProviderList()->Items(Index), nullptr);
  EXPECT_EQ(FindDialogProvider(W), nullptr);
  // The entry stays (set to nullptr) and walkers skip it.
  EXPECT_GT(ProviderList()->Count(), Index);
  EXPECT_EQ(VisibleDialogCount(), 0);
}

TEST_F(DlgHook, ManagerRemovingItsHookFreesEveryProvider) {
  HWND W = Open(dlgtest::StandardDialog());
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  Skin->Manager->UninstallHook();
  EXPECT_EQ(ProviderList(), nullptr);
  // The dialog's adapter went with its provider: the dialog is its own again.
  EXPECT_EQ(GetWndAdapter(W), nullptr);
  EXPECT_EQ(GetWndAdapter(GetDlgItem(W, IDOK)), nullptr);
  EXPECT_FALSE(WindowAnswersCommand(W, AC_ISSKINNED));
  EXPECT_TRUE(IsWindow(W));
  EXPECT_NE(GetWindowLongA(W, GWL_STYLE) & WS_SYSMENU, 0);
}

TEST_F(DlgHook, SecondDialogWhileOneIsShownStaysUnskinned) {
  HWND First = Open(dlgtest::StandardDialog());
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(First) != nullptr; }));
  EXPECT_EQ(VisibleDialogCount(), 1);
  HWND Second = Open(dlgtest::StandardDialog(DS_MODALFRAME, L"Second"));
  uitest::PumpFor(50);
  EXPECT_EQ(FindDialogProvider(Second), nullptr);
  EXPECT_EQ(GetWndAdapter(Second), nullptr);
}

TEST_F(DlgHook, SecondDialogHoldingAToolBarIsSkinnedAllTheSame) {
  HMODULE Comctl = LoadLibraryA("comctl32.dll");
  ASSERT_NE(Comctl, nullptr);
  using TInit = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto Init = reinterpret_cast<TInit>(reinterpret_cast<void*>(GetProcAddress(Comctl, "InitCommonControlsEx")));
  ASSERT_NE(Init, nullptr);
  const INITCOMMONCONTROLSEX Icc{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  Init(&Icc);
  HWND First = Open(dlgtest::StandardDialog());
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(First) != nullptr; }));
  dlgtest::TTemplate T(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME, 160, 80, L"With tool bar");
  dlgtest::TItem Bar;
  Bar.ClassName = L"ToolbarWindow32";
  Bar.CX = 150;
  Bar.CY = 20;
  Bar.Id = 200;
  T.Add(Bar);
  HWND Second = Open(T);
  EXPECT_TRUE(HasChildOfClass(Second, "toolbarwindow32"));
  EXPECT_FALSE(HasChildOfClass(First, "toolbarwindow32"));
  EXPECT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(Second) != nullptr; }));
  EXPECT_EQ(VisibleDialogCount(), 2);
}

TEST_F(DlgHook, DialogsAreLeftAloneWithoutTheDialogsRule) {
  Skin->Manager->SetSkinningRules(TacSkinningRules{srStdForms, srThirdParty});
  HWND W = Open(dlgtest::StandardDialog());
  uitest::PumpFor(50);
  EXPECT_EQ(FindDialogProvider(W), nullptr);
  EXPECT_NE(GetWindowLongA(W, GWL_STYLE) & WS_SYSMENU, 0);
}

// A dialog opened at a requested position keeps it: one whose title does not fit is widened to
// the right, as far as the work area lets it (where that is not enough its title is cut), its
// controls staying in the middle.
TEST_F(DlgHook, RequestedPositionMovesTheNextDialog) {
  const std::wstring Long =
      L"A dialog whose title is a great deal longer than the dialog is wide, so long that it is widened as far "
      L"as it may be";
  const TRect Work = WorkAreaNear(TRect{0, 0, 1, 1});
  struct TOpened {
    RECT R;
    std::vector<int> Off;  // twice each control's centre less the client area's width
  };
  auto OpenAt = [&](int X, int Y, const std::wstring& Title) {
    DialogPosX = X;
    DialogPosY = Y;
    HWND W = Open(dlgtest::StandardDialog(DS_MODALFRAME, Title));
    EXPECT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
    TOpened O;
    GetWindowRect(W, &O.R);
    RECT C;
    GetClientRect(W, &C);
    for (HWND Child = GetWindow(W, GW_CHILD); Child != nullptr; Child = GetWindow(Child, GW_HWNDNEXT)) {
      RECT CR;
      GetWindowRect(Child, &CR);
      MapWindowPoints(nullptr, W, reinterpret_cast<POINT*>(&CR), 2);
      O.Off.push_back(CR.left + CR.right - C.right);
    }
    DestroyWindow(W);  // the next dialog is skinned once this one is gone
    uitest::Pump();
    return O;
  };
  const TOpened Short = OpenAt(37, 41, L"Skinned dialog");
  EXPECT_EQ(Short.R.left, 37);
  EXPECT_EQ(Short.R.top, 41);
  const int Width = Short.R.right - Short.R.left;
  struct TCase {
    const char* Name;
    int X, Y;
  };
  const TCase Cases[] = {{"room to the right", 37, 41},
                         {"near the work area's right edge", Work.Right - Width - 20, 60}};
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    const TOpened O = OpenAt(C.X, C.Y, Long);
    const RECT& R = O.R;
    EXPECT_EQ(R.left, C.X) << "the requested left edge stays";
    EXPECT_EQ(R.top, C.Y);
    EXPECT_GT(R.right - R.left, Width) << "widened for the title";
    EXPECT_LE(R.right, Work.Right) << "inside the work area";
    ASSERT_EQ(O.Off.size(), Short.Off.size());
    for (std::size_t I = 0; I < O.Off.size(); ++I)
      EXPECT_LE(std::abs(O.Off[I] - Short.Off[I]), 1) << "control " << I << " off the middle";
  }
}

TEST_F(DlgHook, DialogWithoutCaptionGetsNoTitleAndNoButtons) {
  dlgtest::TTemplate T(WS_POPUP | WS_BORDER | WS_VISIBLE | DS_MODALFRAME, 120, 60, L"");
  T.Add({0x80, L"", BS_PUSHBUTTON, 10, 10, 50, 14, IDOK, L"OK"});
  HWND W = Open(T);
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  TacDialogWnd* D = FindDialogProvider(W)->DialogAdapter;
  EXPECT_EQ(D->FrameKind, dfkPopup);
  EXPECT_EQ(D->CaptionHeight(), 0);
  EXPECT_EQ(D->ButtonClose.Rect.Width(), 0);
  // A caption-less popup keeps its full window region.
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(W, Rgn), ERROR);
  DeleteObject(Rgn);
}

TEST_F(DlgHook, SystemMenuFollowsTheDialogStyleAndState) {
  HWND W = Open(dlgtest::StandardDialog(WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  TacDialogWnd* D = FindDialogProvider(W)->DialogAdapter;
  TacSystemMenu* M = D->SystemMenu;
  ASSERT_NE(M, nullptr);
  EXPECT_EQ(D->FrameKind, dfkSizeable);
  RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  uitest::Settle(W);
  uitest::SaveScreenshot(W, "dlg_sizeable");
  M->UpdateItems();
  EXPECT_TRUE(M->ItemMaximize->Visible());
  EXPECT_TRUE(M->ItemMaximize->Enabled());
  EXPECT_FALSE(M->ItemRestore->Enabled());
  EXPECT_TRUE(M->ItemMove->Enabled());
  EXPECT_TRUE(M->ItemClose->Visible());
  EXPECT_EQ(M->ItemClose->ShortCut(), static_cast<TShortCut>(scAlt | VK_F4));
  // Choosing Maximize updates the items at once.
  M->ItemMaximize->Click();
  uitest::Pump();
  EXPECT_TRUE(IsZoomed(W));
  EXPECT_FALSE(M->ItemMaximize->Enabled());
  EXPECT_TRUE(M->ItemRestore->Enabled());
  EXPECT_FALSE(M->ItemMove->Enabled());
  // Both boxes give two more caption buttons, left of Close.
  SendMessageA(W, WM_NCPAINT, 1, 0);
  EXPECT_GT(D->ButtonMax.Rect.Width(), 0);
  EXPECT_LT(D->ButtonMax.Rect.Right, D->ButtonClose.Rect.Left + 1);
  EXPECT_LT(D->ButtonMin.Rect.Right, D->ButtonMax.Rect.Left + 1);
}

TEST_F(DlgHook, ModalFrameDialogMenuShowsMoveAndCloseOnly) {
  HWND W = Open(dlgtest::StandardDialog());
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  TacSystemMenu* M = FindDialogProvider(W)->DialogAdapter->SystemMenu;
  M->UpdateItems();
  EXPECT_FALSE(M->ItemRestore->Visible());
  EXPECT_FALSE(M->ItemSize->Visible());
  EXPECT_FALSE(M->ItemMinimize->Visible());
  EXPECT_FALSE(M->ItemMaximize->Visible());
  EXPECT_TRUE(M->ItemMove->Visible());
  EXPECT_TRUE(M->ItemClose->Visible());
}

// ---- a real message box -----------------------------------------------------------------------

namespace {

struct TBoxProbe {
  HWND Box = nullptr;
  bool Provider = false;
  bool Adapter = false;
  int ChildAdapters = -1;
  int Children = 0;
  COLORREF Title = 0;
  int CloseOther = 0;
  bool Checked = false;
  int Ticks = 0;
};
TBoxProbe GProbe;

BOOL CALLBACK CountChildren(HWND, LPARAM P) {
  ++*reinterpret_cast<int*>(P);
  return TRUE;
}

void CALLBACK BoxTimer(HWND, UINT, UINT_PTR Id, DWORD) {
  ++GProbe.Ticks;
  HWND Box = dlgtest::VisibleDialog();
  if (Box != nullptr && !GProbe.Checked && GProbe.Ticks >= 3) {
    GProbe.Checked = true;
    GProbe.Box = Box;
    TacProvider* P = FindDialogProvider(Box);
    GProbe.Provider = P != nullptr;
    if (P != nullptr && P->DialogAdapter != nullptr) {
      GProbe.Adapter = true;
      GProbe.ChildAdapters = P->Adapters != nullptr ? P->Adapters->Count() : -1;
      TacDialogWnd* D = P->DialogAdapter;
      RedrawWindow(Box, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
      uitest::SaveScreenshot(Box, "dlg_messagebox");
      const uitest::TCapture C = dlgtest::CaptureWindow(Box);
      const TRect Close = D->ButtonClose.Rect;
      if (Close.Width() > 0) {
        GProbe.Title = C.Pixel(Close.Left - 10, D->FrameWidth() + D->CaptionHeight() / 2);
        GProbe.CloseOther = C.CountOther(Close, GProbe.Title);
      }
    }
    EnumChildWindows(Box, CountChildren, reinterpret_cast<LPARAM>(&GProbe.Children));
    PostMessageA(Box, WM_COMMAND, IDOK, 0);
  }
  if (GProbe.Ticks > 100 && Box != nullptr) PostMessageA(Box, WM_CLOSE, 0, 0);
  if (GProbe.Ticks > 200) KillTimer(nullptr, Id);
}

}  // namespace

TEST_F(DlgHook, MessageBoxGetsSkinnedFrameCaptionAndChildren) {
  GProbe = TBoxProbe{};
  const UINT_PTR Timer = SetTimer(nullptr, 0, 50, BoxTimer);
  const int Answer = MessageBoxW(nullptr, L"A message for the skinned box.", L"Box", MB_OK | MB_ICONINFORMATION);
  KillTimer(nullptr, Timer);
  EXPECT_EQ(Answer, IDOK);
  ASSERT_TRUE(GProbe.Checked);
  EXPECT_TRUE(GProbe.Provider);
  EXPECT_TRUE(GProbe.Adapter);
  EXPECT_TRUE(dlgtest::IsSkinDark(GProbe.Title)) << std::hex << GProbe.Title;
  EXPECT_GT(GProbe.CloseOther, 20);
  EXPECT_GT(GProbe.Children, 0);
  // The box's provider goes at the next destruction.
  HWND Other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(Other);
  EXPECT_EQ(FindDialogProvider(GProbe.Box), nullptr);
}

// ---- popup menus ------------------------------------------------------------------------------

namespace {

struct TMenuProbe {
  HWND MenuWnd = nullptr;
  bool Adapted = false;
  int Ticks = 0;
};
TMenuProbe GMenuProbe;

BOOL CALLBACK FindMenuWnd(HWND W, LPARAM P) {
  char Cls[32];
  GetClassNameA(W, Cls, sizeof(Cls));
  if (std::string(Cls) == "#32768" && IsWindowVisible(W)) {
    *reinterpret_cast<HWND*>(P) = W;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK MenuTimer(HWND, UINT, UINT_PTR, DWORD) {
  ++GMenuProbe.Ticks;
  HWND M = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindMenuWnd, reinterpret_cast<LPARAM>(&M));
  if (M != nullptr && GMenuProbe.MenuWnd == nullptr) {
    GMenuProbe.MenuWnd = M;
    for (TacMnuWnd* A : MnuWnds())
      if (A != nullptr && A->CtrlHandle == M && GetWndAdapter(M) == A) GMenuProbe.Adapted = true;
  }
  if (GMenuProbe.MenuWnd != nullptr || GMenuProbe.Ticks > 40) EndMenu();
}

}  // namespace

TEST_F(DlgHook, PopupMenuWindowsGetAMenuAdapterThatGoesWithThem) {
  HWND Owner = Open(dlgtest::StandardDialog());
  HMENU Menu = CreatePopupMenu();
  AppendMenuA(Menu, MF_STRING, 1, "First");
  AppendMenuA(Menu, MF_STRING, 2, "Second");
  GMenuProbe = TMenuProbe{};
  const UINT_PTR Timer = SetTimer(nullptr, 0, 50, MenuTimer);
  TrackPopupMenu(Menu, TPM_LEFTALIGN | TPM_TOPALIGN, 200, 200, 0, Owner, nullptr);
  KillTimer(nullptr, Timer);
  DestroyMenu(Menu);
  uitest::Pump();
  ASSERT_NE(GMenuProbe.MenuWnd, nullptr);
  EXPECT_TRUE(GMenuProbe.Adapted);
  // Popups are left to the system when the manager does not skin them.
  Skin->Manager->SetSkinnedPopups(false);
  const std::size_t Before = MnuWnds().size();
  HWND M = CreateWindowExA(0, "#32768", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(MnuWnds().size(), Before);
  EXPECT_EQ(GetWndAdapter(M), nullptr);
  DestroyWindow(M);
}

// ---- framework forms --------------------------------------------------------------------------

TEST_F(DlgHook, FormGetsAProviderAtItsFirstActivationOnly) {
  TForm* F = TCustomForm::Create<TForm>(nullptr);
  std::unique_ptr<TForm> Owner(F);
  F->SetBounds(100, 100, 300, 200);
  const int Before = ProviderCount();
  uitest::ShowSettled(F);
  ASSERT_TRUE(uitest::WaitFor([&] { return ProviderCount() == Before + 1; }));
  TObjectList* L = ProviderList();
  TacProvider* P = nullptr;
  for (int I = 0; I < L->Count(); ++I)
    if (auto* Q = static_cast<TacProvider*>(L->Items(I)); Q != nullptr && Q->SkinProvider != nullptr &&
                                                          Q->SkinProvider->Form == F)
      P = Q;
  ASSERT_NE(P, nullptr);
  EXPECT_TRUE(P->IsFormProvider());
  EXPECT_EQ(P->DialogHandle, nullptr);
  EXPECT_EQ(P->SkinProvider->Owner(), F);
  EXPECT_FALSE(P->SkinProvider->MakeSkinMenu());
  // Activating it again makes no second provider.
  SkinActivatedWindow(F->Handle());
  SendMessageA(F->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
  uitest::Pump();
  EXPECT_EQ(ProviderCount(), Before + 1);
}

TEST_F(DlgHook, FormsTaggedMinus98OrExcludedByRulesStayUnskinned) {
  const int Before = ProviderCount();
  TForm* F = TCustomForm::Create<TForm>(nullptr);
  std::unique_ptr<TForm> Owner(F);
  F->SetTag(-98);
  uitest::ShowSettled(F);
  uitest::PumpFor(30);
  EXPECT_EQ(ProviderCount(), Before);
  EXPECT_FALSE(SkinActivatedWindow(F->Handle()));

  Skin->Manager->SetSkinningRules(TacSkinningRules{srStdDialogs});
  TForm* G = TCustomForm::Create<TForm>(nullptr);
  std::unique_ptr<TForm> OwnerG(G);
  uitest::ShowSettled(G);
  uitest::PumpFor(30);
  EXPECT_EQ(ProviderCount(), Before);
  EXPECT_FALSE(WindowAnswersCommand(G->Handle(), AC_ISSKINNED));
}

TEST_F(DlgHook, FormProviderForgetsItsEntryWhenFreed) {
  TForm* F = TCustomForm::Create<TForm>(nullptr);
  std::unique_ptr<TForm> Owner(F);
  const int Before = ProviderCount();
  auto* P = new TacProvider(nullptr);
  ProviderList()->Add(P);
  P->InitVCLForm(F);
  const int Index = ProviderList()->IndexOf(P);
  EXPECT_EQ(ProviderCount(), Before + 1);
  delete P;
  EXPECT_EQ(ProviderList()->Items(Index), nullptr);
  EXPECT_EQ(ProviderCount(), Before);
}

// The dialog's system menu runs a menu loop inside the dialog adapter's handling of the click, and
// a timer there may remove the skin, which frees the adapter: nothing of the freed adapter is
// written when the loop returns (the freed-memory guard checks the adapter's poison).
TEST_F(DlgHook, TheSkinRemovedWhileTheDialogsSystemMenuIsOpenLeavesTheFreedAdapterUntouched) {
  HWND W = Open(dlgtest::StandardDialog());
  ASSERT_TRUE(uitest::WaitFor([&] { return FindDialogProvider(W) != nullptr; }));
  RECT WR;
  GetWindowRect(W, &WR);
  LoopManager = Skin->Manager.get();
  memguard::TFaultCount Faults;
  SetTimer(nullptr, 0, 150, RemoveSkinInLoop);
  SendMessageA(W, WM_NCRBUTTONUP, HTCAPTION, MAKELPARAM((WR.left + WR.right) / 2, WR.top + 8));
  uitest::PumpFor(100);
  EXPECT_FALSE(Skin->Manager->Active());
  EXPECT_TRUE(IsWindow(W));
  EXPECT_EQ(Faults.Count(), 0);
}
