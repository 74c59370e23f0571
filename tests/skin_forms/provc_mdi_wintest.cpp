// A skinned MDI main form with skinned children: the maximised child's three buttons and icon in
// the main form's menu line (painted, hit, clicked with and without extended borders), the cover
// over those buttons during a menu loop, the menu-line items beside the child's system-menu slot,
// and the children that must not paint while another one is maximised.
#include "skin/core/sMaskData.h"
#include "skin/forms/acBorderForm.h"
#include "skin/forms/sSkinProviderWndProc.h"
#include "skin_forms/extskin_support.h"
#include "skin_forms/provc_support.h"

using namespace provctest;

namespace {

POINT ScreenCentreIn(HWND W, const TRect& R) {
  RECT WR;
  GetWindowRect(W, &WR);
  return POINT{WR.left + (R.Left + R.Right) / 2, WR.top + (R.Top + R.Bottom) / 2};
}

LRESULT HitAt(HWND W, POINT P) {
  return SendMessageW(W, WM_NCHITTEST, 0, MAKELPARAM(static_cast<short>(P.x), static_cast<short>(P.y)));
}

// The menu line of the main form: its rectangle in window coordinates.
TRect MenuLineRect(TMDIHost& H) {
  TsSkinProvider* P = H.Provider;
  const int Top = WindowFrameWidth(H.Main->Handle(), nullptr, true) + P->CaptionHeight(true);
  return TRect{0, Top, H.Main->Width(), Top + P->MenuLineCount() * P->MenuHeight()};
}

}  // namespace

TEST(provc_MDI, AChildsProviderMadeBeforeItsWindowSkinsTheChild) {
  // A provider placed on the child form is made with the form, before the child's window.
  memguard::TFaultCount Faults;
  TMDIHost H;
  REQUIRE_MDI_HOST(H);
  TMDIChildForm* C = H.AddChild(L"Child");
  EXPECT_TRUE(C->FormState().Contains(fsCreatedMDIChild));
  TsSkinProvider* P = TMDIHost::ProviderOf(C);
  ASSERT_NE(P, nullptr);
  EXPECT_NE(P->SysMenu, nullptr) << "the skin was applied to the child";
  ASSERT_NE(P->SkinData()->CacheBmp(), nullptr) << "the child's frame was painted from the skin";
  EXPECT_FALSE(P->SkinData()->CacheBmp()->Empty());
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_MDI, TheMaximisedChildsButtonsArePaintedAndHitInTheMenuLine) {
  memguard::TFaultCount Faults;
  TMDIHost H;
  REQUIRE_MDI_HOST(H);
  TMDIChildForm* C = H.AddChild(L"Child one");
  EXPECT_FALSE(H.Provider->ChildButtonsInMenuLine());
  H.Maximize(C);
  ASSERT_EQ(C->WindowState(), wsMaximized);
  ASSERT_TRUE(H.Provider->ChildButtonsInMenuLine());
  uitest::SaveScreenshot(H.Main->Handle(), "mdi_maximised_child");
  const TsCaptionButton& Cl = H.Provider->MDIButtonClose;
  const TsCaptionButton& No = H.Provider->MDIButtonNorm;
  const TsCaptionButton& Mi = H.Provider->MDIButtonMin;
  const TRect Line = MenuLineRect(H);
  for (const TsCaptionButton* B : {&Cl, &No, &Mi}) {
    ASSERT_FALSE(B->Rect.IsEmpty());
    EXPECT_GE(B->Rect.Top, Line.Top);
    EXPECT_LE(B->Rect.Bottom, Line.Bottom);
    EXPECT_EQ(B->Rect.Width(), H.Provider->MDIButtonWidth());
  }
  // Minimize, restore, close from left to right at the right end of the line.
  EXPECT_LT(Mi.Rect.Right, No.Rect.Left + 1);
  EXPECT_LT(No.Rect.Right, Cl.Rect.Left + 1);
  EXPECT_GT(Cl.Rect.Right, H.Main->Width() - 16);
  // They show the skin's small button images: not the plain menu line.
  const RECT WR = H.WindowRect();
  auto Shot = ScreenShot(WR);
  const COLORREF LineColour = Shot->Pixel(Line.Left + Line.Width() / 2, Line.Top + Line.Height() / 2);
  for (const TsCaptionButton* B : {&Cl, &No, &Mi}) EXPECT_GT(Shot->CountOther(B->Rect, LineColour), 4);
  // Each answers its own hit code.
  EXPECT_EQ(HitAt(H.Main->Handle(), ScreenCentreIn(H.Main->Handle(), Cl.Rect)), HTCHILDCLOSE);
  EXPECT_EQ(HitAt(H.Main->Handle(), ScreenCentreIn(H.Main->Handle(), No.Rect)), HTCHILDRESTORE);
  EXPECT_EQ(HitAt(H.Main->Handle(), ScreenCentreIn(H.Main->Handle(), Mi.Rect)), HTCHILDMIN);
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_MDI, AChildMaximisedByItsWindowStateShowsItsButtonsToo) {
  // The child's provider comes after the child's window (and so after the child was activated);
  // the child is maximised by its window state, not by a system command.
  memguard::TFaultCount Faults;
  TMDIHost H;
  REQUIRE_MDI_HOST(H);
  auto* C = TCustomForm::Create<TMDIChildForm>(nullptr);
  C->SetCaption(WideString(L"Late provider"));
  C->Handle();
  auto* P = new TsSkinProvider(C);
  P->SkinData()->SetSkinManager(H.Manager.get());
  C->Show();
  uitest::PumpFor(100);
  C->SetWindowState(wsMaximized);
  uitest::PumpFor(100);
  uitest::Settle(H.Main->Handle());
  ASSERT_TRUE(IsZoomed(C->Handle()));
  EXPECT_EQ(MaximizedChildProvider, P);
  EXPECT_TRUE(H.Provider->ChildButtonsInMenuLine());
  const TRect Cl = H.Provider->MDIButtonClose.Rect;
  ASSERT_FALSE(Cl.IsEmpty());
  auto Shot = ScreenShot(H.WindowRect());
  const TRect Line = MenuLineRect(H);
  EXPECT_GT(Shot->CountOther(Cl, Shot->Pixel(Line.Left + Line.Width() / 2, Line.Top + 2)), 4);
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_MDI, TheMenuLineButtonsRestoreMinimiseAndCloseTheChild) {
  // Without extended borders, with them and no shadow margins, and with wide margins of either
  // border mode: a click where a button shows does what the button says.
  struct TCase {
    const char* Name;
    std::function<std::unique_ptr<TsSkinManager>()> Skin;
  };
  auto Program = [](bool Extended) {
    return [Extended] {
      auto M = ownctl::LoadProgramSkin();
      M->SetAllowGlowing(false);
      M->SetExtendedBorders(Extended);
      return M;
    };
  };
  const TCase Cases[] = {{"system frame", Program(false)},
                         {"extended borders, no margins", Program(true)},
                         {"extended borders, mode 0", [] { return extskin::LoadExtSkin(0); }},
                         {"extended borders, mode 1", [] { return extskin::LoadExtSkin(1); }}};
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    memguard::TFaultCount Faults;
    TMDIHost H(Case.Skin);
    REQUIRE_MDI_HOST(H);
    TMDIChildForm* C = H.AddChild(L"Child", [](TMDIChildForm* F) {
      F->OnClose = [](TObject*, TCloseAction& A) { A = caFree; };
    });
    HWND CH = C->Handle();
    // Where a button of the form image shows on the screen: the border window shows the image at
    // its origin, a form without one is its own image.
    auto OnScreen = [&](const TsCaptionButton& B) {
      TacBorderForm* BF = H.Provider->BorderForm;
      RECT WR;
      GetWindowRect(BF != nullptr ? BF->AForm->Handle() : H.Main->Handle(), &WR);
      const TRect R = B.Rect;
      const RECT S{WR.left + R.Left, WR.top + R.Top, WR.left + R.Right, WR.top + R.Bottom};
      auto Shot = ScreenShot(S);
      HDC Image = H.Provider->SkinData()->CacheBmp()->Canvas()->Handle();
      int Differ = 0;
      for (int Y = 0; Y < R.Height(); ++Y)
        for (int X = 0; X < R.Width(); ++X)
          Differ += NearColor(Shot->Pixel(X, Y), GetPixel(Image, R.Left + X, R.Top + Y), 2) ? 0 : 1;
      EXPECT_LE(Differ, R.Width() * R.Height() / 10) << "the button shows there";
      return S;
    };
    // Its top and bottom rows answer the button's code; a click on it.
    auto Click = [&](const TsCaptionButton& B, LRESULT Code) {
      H.Maximize(C);
      ASSERT_TRUE(H.Provider->ChildButtonsInMenuLine());
      const RECT S = OnScreen(B);
      const LONG X = (S.left + S.right) / 2;
      EXPECT_EQ(HitAt(H.Main->Handle(), POINT{X, S.top}), Code) << "top row";
      EXPECT_EQ(HitAt(H.Main->Handle(), POINT{X, S.bottom - 1}), Code) << "bottom row";
      ASSERT_TRUE(realinput::ClickSeen(H.Main->Handle(), POINT{X, (S.top + S.bottom) / 2}));
    };
    Click(H.Provider->MDIButtonNorm, HTCHILDRESTORE);
    EXPECT_TRUE(uitest::WaitFor([&] { return !IsZoomed(CH); })) << "restored";
    EXPECT_FALSE(H.Provider->ChildButtonsInMenuLine());
    Click(H.Provider->MDIButtonMin, HTCHILDMIN);
    EXPECT_TRUE(uitest::WaitFor([&] { return IsIconic(CH) != FALSE; })) << "minimised";
    SendMessageW(CH, WM_SYSCOMMAND, SC_RESTORE, 0);
    Click(H.Provider->MDIButtonClose, HTCHILDCLOSE);
    EXPECT_TRUE(uitest::WaitFor([&] { return !IsWindow(CH); })) << "closed";
    EXPECT_EQ(Faults.Count(), 0);
  }
}

TEST(provc_MDI, TheMaximisedChildsIconShowsAtTheStartOfTheMenuLine) {
  memguard::TFaultCount Faults;
  TMDIHost H;
  REQUIRE_MDI_HOST(H);
  TsSkinableMenus* Menus = SkinableMenusOf(H.Manager.get());
  ASSERT_NE(Menus, nullptr);
  TMDIChildForm* C = H.AddChild(L"Red", [](TMDIChildForm* F) { F->Icon()->SetHandle(uitest::SolidIcon(GetSystemMetrics(SM_CXSMICON), RGB(255, 0, 0))); });
  EXPECT_FALSE(Menus->MDIChildIconVisible()) << "not maximised";
  H.Maximize(C);
  EXPECT_TRUE(Menus->MDIChildIconVisible());
  const TRect Line = MenuLineRect(H);
  const int F = FormBorderWidth(H.Main->Handle(), nullptr, true);
  const int MH = H.Provider->MenuHeight();
  const TRect IconR{F + 1, Line.Top + 1, F + MH - 1, Line.Top + MH - 1};
  auto Shot = ScreenShot(H.WindowRect());
  EXPECT_GT(Shot->Count(IconR, RGB(255, 0, 0)), IconR.Width() * IconR.Height() / 2);
  // A child without a system menu shows no icon.
  C->SetBorderIcons(TBorderIcons{biMinimize, biMaximize});
  EXPECT_FALSE(Menus->MDIChildIconVisible());
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_MDI, TheMenuLineItemsSitBesideTheChildsSystemMenuSlot) {
  memguard::TFaultCount Faults;
  TMDIHost H;
  REQUIRE_MDI_HOST(H);
  TMDIChildForm* C = H.AddChild(L"Child");
  H.Maximize(C);
  // Where the system shows the two items of the main menu, the form image has their text.
  TBitmap* Cache = H.Provider->SkinData()->CacheBmp();
  ASSERT_NE(Cache, nullptr);
  const RECT WR = H.WindowRect();
  auto Shot = ScreenShot(WR);
  const TRect Line = MenuLineRect(H);
  const COLORREF LineColour = Shot->Pixel(Line.Left + Line.Width() / 2, Line.Top + Line.Height() / 2);
  HMENU M = GetMenu(H.Main->Handle());
  ASSERT_NE(M, nullptr);
  int Found = 0;
  for (int Pos = 0; Pos < GetMenuItemCount(M); ++Pos) {
    HMENU Sub = GetSubMenu(M, Pos);
    for (int I = 0; I < H.Main->MainMenu->Items()->Count(); ++I) {
      TMenuItem* It = H.Main->MainMenu->Items()->Items(I);
      if (Sub == nullptr || It->Handle() != Sub) continue;
      ++Found;
      RECT R{};
      ASSERT_TRUE(GetMenuItemRect(H.Main->Handle(), M, static_cast<UINT>(Pos), &R));
      const TRect IR{R.left - WR.left, R.top - WR.top, R.right - WR.left, R.bottom - WR.top};
      EXPECT_GT(Shot->CountOther(IR, LineColour), 8) << "item " << I << " shows its caption";
    }
  }
  EXPECT_EQ(Found, 2);
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_MDI, TheMergedItemsOfTheActiveChildArePaintedInTheMenuLine) {
  memguard::TFaultCount Faults;
  TMDIHost H;
  REQUIRE_MDI_HOST(H);
  TMenuItem* Edit = nullptr;
  TMenuItem* Tools = nullptr;
  TMDIChildForm* C = H.AddChild(L"With a menu", [&](TMDIChildForm* F) {
    auto* Menu = new TMainMenu(F);
    Edit = AddTopItem(Menu, F, L"Edit");
    Edit->SetGroupIndex(1);
    Tools = AddTopItem(Menu, F, L"Tools");
    Tools->SetGroupIndex(9);
    F->SetMenu(Menu);
  });
  ASSERT_EQ(H.Main->MainMenu->Merged(), C->Menu());
  for (int Pass = 0; Pass < 2; ++Pass) {
    SCOPED_TRACE(Pass == 0 ? "normal child" : "maximised child");
    if (Pass == 1) H.Maximize(C);
    H.Provider->RefreshNonClient();
    uitest::Settle(H.Main->Handle());
    if (Pass == 1) uitest::SaveScreenshot(H.Main->Handle(), "mdi_merged_menu");
    const RECT WR = H.WindowRect();
    auto Shot = ScreenShot(WR);
    const TRect Line = MenuLineRect(H);
    HMENU M = GetMenu(H.Main->Handle());
    int Found = 0;
    for (int Pos = 0; Pos < GetMenuItemCount(M); ++Pos) {
      MENUITEMINFOW MI{};
      MI.cbSize = sizeof(MI);
      MI.fMask = MIIM_DATA;
      GetMenuItemInfoW(M, static_cast<UINT>(Pos), TRUE, &MI);
      if (MI.dwItemData != reinterpret_cast<ULONG_PTR>(Edit) && MI.dwItemData != reinterpret_cast<ULONG_PTR>(Tools))
        continue;
      ++Found;
      RECT R{};
      ASSERT_TRUE(GetMenuItemRect(H.Main->Handle(), M, static_cast<UINT>(Pos), &R));
      const TRect IR{R.left - WR.left, R.top - WR.top, R.right - WR.left, R.bottom - WR.top};
      const COLORREF LineColour = Shot->Pixel(IR.Left + 1, IR.Top + 1);
      EXPECT_GE(IR.Top, Line.Top);
      EXPECT_GT(Shot->CountOther(IR, LineColour), 8) << "position " << Pos << " shows its caption";
    }
    EXPECT_EQ(Found, 2);
  }
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_MDI, TheMenuLoopCoverShowsTheChildsButtons) {
  memguard::TFaultCount Faults;
  TMDIHost H;
  REQUIRE_MDI_HOST(H);
  TMDIChildForm* C = H.AddChild(L"Child");
  H.Maximize(C);
  SendMessageW(H.Main->Handle(), WM_ENTERMENULOOP, 0, 0);
  ASSERT_NE(MenuLoopCover, nullptr);
  HWND Cover = MenuLoopCover->Handle();
  uitest::Settle(Cover);
  ASSERT_TRUE(IsWindowVisible(Cover));
  RECT CR;
  GetWindowRect(Cover, &CR);
  auto Shot = ScreenShot(CR);
  // The cover shows the right end of the menu line from the form image: the child's buttons.
  TBitmap* Cache = H.Provider->SkinData()->CacheBmp();
  ASSERT_NE(Cache, nullptr);
  const RECT WR = H.WindowRect();
  int Same = 0, All = 0;
  for (int Y = 0; Y < Shot->Height(); ++Y)
    for (int X = 0; X < Shot->Width(); ++X) {
      const int IX = CR.left - WR.left + X, IY = CR.top - WR.top + Y;
      if (IX < 0 || IY < 0 || IX >= Cache->Width() || IY >= Cache->Height()) continue;
      ++All;
      if (NearColor(Shot->Pixel(X, Y), GetPixel(Cache->Canvas()->Handle(), IX, IY), 2)) ++Same;
    }
  EXPECT_GT(All, 0);
  EXPECT_GT(Same, All * 9 / 10) << "the cover repeats what lies under it";
  SendMessageW(H.Main->Handle(), WM_EXITMENULOOP, 0, 0);
  EXPECT_EQ(MenuLoopCover, nullptr);
  EXPECT_EQ(Faults.Count(), 0);
}

// The cover lives no longer than the provider that made it: freed with it, its paint reads nothing
// freed.
TEST(provc_MDI, TheMenuLoopCoverGoesWithItsProvider) {
  memguard::TFaultCount Faults;
  TMDIHost H;
  REQUIRE_MDI_HOST(H);
  H.Maximize(H.AddChild(L"Child"));
  SendMessageW(H.Main->Handle(), WM_ENTERMENULOOP, 0, 0);
  ASSERT_NE(MenuLoopCover, nullptr);
  const HWND Cover = MenuLoopCover->Handle();
  delete H.Provider;
  H.Provider = nullptr;
  if (IsWindow(Cover)) RedrawWindow(Cover, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(MenuLoopCover, nullptr);
  EXPECT_FALSE(IsWindow(Cover));
  SendMessageW(H.Main->Handle(), WM_EXITMENULOOP, 0, 0);
  EXPECT_EQ(Faults.Count(), 0);
}

// The skin removed during a menu loop takes the cover off the screen, and the loop's end leaves no
// lock on the window region behind: with the skin back, a main form sized anew gets a region of
// its new size.
TEST(provc_MDI, TheSkinRemovedDuringAMenuLoopLeavesNeitherCoverNorRegionLock) {
  memguard::TFaultCount Faults;
  TMDIHost H;
  REQUIRE_MDI_HOST(H);
  H.Maximize(H.AddChild(L"Child"));
  const HWND Main = H.Main->Handle();
  SendMessageW(Main, WM_ENTERMENULOOP, 0, 0);
  ASSERT_NE(MenuLoopCover, nullptr);
  const HWND Cover = MenuLoopCover->Handle();
  H.Manager->SetActive(false);
  uitest::PumpFor(50);
  EXPECT_FALSE(IsWindow(Cover) && IsWindowVisible(Cover)) << "the cover left the screen";
  SendMessageW(Main, WM_EXITMENULOOP, 0, 0);
  H.Manager->SetActive(true);
  uitest::PumpFor(50);
  H.Main->SetBounds(H.Main->Left(), H.Main->Top(), H.Main->Width() + 60, H.Main->Height() + 40);
  uitest::Settle(Main);
  HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(Main, Rgn), ERROR) << "the skinned form has a region";
  RECT Box;
  GetRgnBox(Rgn, &Box);
  DeleteObject(Rgn);
  RECT WR;
  GetWindowRect(Main, &WR);
  EXPECT_EQ(Box.right - Box.left, WR.right - WR.left);
  EXPECT_EQ(Box.bottom - Box.top, WR.bottom - WR.top);
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_MDI, TheProvidersMenuFormPaintsNothingOfItsOwn) {
  memguard::TFaultCount Faults;
  provbtest::TSkinnedForm F;
  F.Provider->ShowMenuForm(false);
  ASSERT_NE(F.Provider->MenuForm, nullptr);
  HWND W = F.Provider->MenuForm->Handle();
  HDC DC = GetDC(W);
  HBRUSH B = CreateSolidBrush(RGB(0, 255, 0));
  RECT R{0, 0, 80, 10};
  FillRect(DC, &R, B);
  DeleteObject(B);
  F.Provider->MenuFormPaint(F.Provider->MenuForm);
  GdiFlush();
  for (int X = 0; X < 80; X += 7) EXPECT_EQ(GetPixel(DC, X, 4) & 0xFFFFFF, RGB(0, 255, 0)) << X;
  ReleaseDC(W, DC);
  F.Provider->FreeMenuForm();
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_MDI, AChildBehindTheMaximisedOneDoesNotPaintItsFrame) {
  memguard::TFaultCount Faults;
  TMDIHost H;
  REQUIRE_MDI_HOST(H);
  TMDIChildForm* Back = H.AddChild(L"Back");
  TMDIChildForm* Front = H.AddChild(L"Front");
  TsSkinProvider* BP = TMDIHost::ProviderOf(Back);
  ASSERT_NE(BP, nullptr);
  // Side by side, the child behind paints its frame.
  BP->SkinData()->BackgroundStale = true;
  SendMessageW(Back->Handle(), WM_NCPAINT, 1, 0);
  EXPECT_FALSE(BP->SkinData()->BackgroundStale);
  // Behind a maximised one, it does not.
  H.Maximize(Front);
  ASSERT_EQ(H.Main->ActiveMDIChild(), Front);
  BP->SkinData()->BackgroundStale = true;
  SendMessageW(Back->Handle(), WM_NCPAINT, 1, 0);
  EXPECT_TRUE(BP->SkinData()->BackgroundStale) << "nothing was painted";
  EXPECT_EQ(Faults.Count(), 0);
}

TEST(provc_MDI, TheMainFormWaitsWhileAMaximisedChildIsBeingShown) {
  memguard::TFaultCount Faults;
  int Checked = 0, Rebuilt = 0;  // outlive the children that count into them
  TMDIHost H;
  REQUIRE_MDI_HOST(H);
  TMDIChildForm* First = H.AddChild(L"First");
  H.Maximize(First);
  // A second child shown maximised: while it is being shown the main form keeps its image.
  H.AddChild(L"Second", [&](TMDIChildForm* F) {
    F->SetWindowState(wsMaximized);
    TWndMethod Old = F->WindowProc();
    F->SetWindowProc([&, Old, F](TMessage& M) {
      Old(M);
      if (M.Msg == WM_SIZE && F->FormState().Contains(fsShowing) && H.Main->ActiveMDIChild() == F &&
          F->WindowState() == wsMaximized) {
        ++Checked;
        H.Provider->TitleDirty = true;
        H.Provider->SkinData()->BackgroundStale = true;
        PaintAll(H.Provider);
        if (!H.Provider->SkinData()->BackgroundStale) ++Rebuilt;
      }
    });
  });
  EXPECT_GT(Checked, 0);
  EXPECT_EQ(Rebuilt, 0);
  EXPECT_EQ(Faults.Count(), 0);
}

// ---- lifetimes ----------------------------------------------------------------------------------

TEST(provc_MDI, AMaximisedChildWithAMergedMenuGoesInEveryOrder) {
  // 0: the child's provider first; 1: the main form's provider first; 2: the child's menu first;
  // 3: the main form (and with it every window) first.
  for (int Order = 0; Order < 4; ++Order) {
    SCOPED_TRACE(Order);
    memguard::TFaultCount Faults;
    {
      TMDIHost H;
      REQUIRE_MDI_HOST(H);
      TMainMenu* ChildMenu = nullptr;
      TMDIChildForm* C = H.AddChild(L"Child", [&](TMDIChildForm* F) {
        ChildMenu = new TMainMenu(F);
        AddTopItem(ChildMenu, F, L"Edit")->SetGroupIndex(1);
        F->SetMenu(ChildMenu);
      });
      H.AddChild(L"Other");
      SendMessageW(H.Main->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(C->Handle()), 0);
      H.Maximize(C);
      ASSERT_TRUE(H.Provider->ChildButtonsInMenuLine());
      switch (Order) {
        case 0:
          delete TMDIHost::ProviderOf(C);
          EXPECT_EQ(MaximizedChildProvider, nullptr);
          break;
        case 1:
          delete H.Provider;
          H.Provider = nullptr;
          EXPECT_EQ(SkinnedMDIMainProvider, nullptr);
          break;
        case 2:
          C->SetMenu(nullptr);
          delete ChildMenu;
          EXPECT_EQ(H.Main->MainMenu->Merged(), nullptr);
          break;
        default:
          delete H.Main;
          H.Main = nullptr;
          break;
      }
      uitest::PumpFor(50);
      if (H.Main != nullptr) {
        // What is left still paints and answers.
        RedrawWindow(H.Main->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
        uitest::Pump();
        SendMessageW(C->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
        uitest::PumpFor(30);
        SendMessageW(H.Main->Handle(), WM_NCHITTEST, 0, MAKELPARAM(H.WindowRect().right - 20, H.WindowRect().top + 40));
      }
    }
    uitest::Pump();
    EXPECT_EQ(Faults.Count(), 0);
    EXPECT_EQ(SkinnedMDIMainProvider, nullptr);
    EXPECT_EQ(MaximizedChildProvider, nullptr);
    EXPECT_EQ(Application->MainForm(), nullptr);
  }
}
