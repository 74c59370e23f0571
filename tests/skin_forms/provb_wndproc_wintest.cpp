// The skinned form's window procedure and caption input on a real form with the program's skin:
// the skin command in skinned and unskinned mode, skin removal and a new skin, the skinned
// caption painted, the skinned hit test, and real clicks on the caption buttons travelling as
// WM_SYSCOMMAND.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "skin/core/sConst.h"
#include "skin/core/sBackground.h"
#include "skin_forms/provb_support.h"
#include "support/FreedMemoryGuard.h"

using provbtest::TSkinnedForm;

namespace {

LRESULT Cmd(HWND W, Word Command, LPARAM L = 0) { return SendMessageW(W, SM_ALPHACMD, MakeAlphaCmd(Command), L); }

}  // namespace

TEST(provb_WndProc, SkinCommandsAnsweredWhileSkinned) {
  TSkinnedForm F;
  HWND H = F.Handle();
  ASSERT_TRUE(F.Provider->SkinData()->IsSkinned(true));
  EXPECT_EQ(Cmd(H, AC_ISSKINNED), 1);
  EXPECT_EQ(Cmd(H, AC_GETPROVIDER), reinterpret_cast<LRESULT>(F.Provider));
  EXPECT_EQ(Cmd(H, AC_GETAPPLICATION), reinterpret_cast<LRESULT>(Application));
  const LRESULT Off = Cmd(H, AC_GETCLIENTOFFSET);
  EXPECT_EQ(LOWORD(Off), F.Provider->OffsetX());
  EXPECT_EQ(HIWORD(Off), F.Provider->OffsetY());
  EXPECT_GT(F.Provider->OffsetY(), F.Provider->OffsetX());  // the caption lies above the client
  EXPECT_EQ(static_cast<TColor>(Cmd(H, AC_GETCOLOR)), F.Provider->FormColor());
  EXPECT_EQ(Cmd(H, AC_PLAINSTATE), F.Provider->SkinData()->StateBits);
  // Unknown commands are swallowed while skinned.
  EXPECT_EQ(Cmd(H, 200), 0);
}

TEST(provb_WndProc, UpdatingCommandAndCommandsOfAnotherManager) {
  TSkinnedForm F;
  HWND H = F.Handle();
  TsCommonData* SD = F.Provider->SkinData();
  SendMessageW(H, SM_ALPHACMD, MakeAlphaCmd(AC_SETUPDATING, 1), 0);
  EXPECT_TRUE(SD->Updating);
  EXPECT_EQ(Cmd(H, AC_ISBUSY), SD->IsSkinPaintMode() ? 1 : 0);
  SendMessageW(H, SM_ALPHACMD, MakeAlphaCmd(AC_SETUPDATING, 0), 0);
  EXPECT_FALSE(SD->Updating);
  EXPECT_TRUE(SD->BackgroundStale) << "leaving the updating state asks for a new form image";
  EXPECT_EQ(Cmd(H, AC_ISBUSY), 0);
  // A removal or a new skin sent by another manager leaves the form skinned by its own.
  TsSkinManager Other(nullptr);
  Cmd(H, AC_SKINREMOVED, reinterpret_cast<LPARAM>(&Other));
  Cmd(H, AC_NEWSKIN, reinterpret_cast<LPARAM>(&Other));
  uitest::Settle(H);
  EXPECT_TRUE(SD->IsSkinned(true));
  EXPECT_EQ(GetWindowLongW(H, GWL_STYLE) & WS_SYSMENU, 0);
  EXPECT_EQ(Cmd(H, AC_ISSKINNED), 1);
}

TEST(provb_WndProc, BackgroundQueryGivesTheFormImageAtTheClientOffset) {
  TSkinnedForm F;
  TacBGInfo Info;
  Cmd(F.Handle(), AC_GETBACKGROUND, reinterpret_cast<LPARAM>(&Info));
  ASSERT_NE(Info.BgType, btUnknown);
  if (Info.BgType == btCache) {
    EXPECT_EQ(Info.Bmp, F.Provider->SkinData()->CacheBmp());
    EXPECT_EQ(Info.Offset.X, F.Provider->OffsetX());
    EXPECT_EQ(Info.Offset.Y, F.Provider->OffsetY());
  } else {
    EXPECT_EQ(Info.Color, F.Provider->SkinData()->GetBackgroundColor(F.Provider->FormActive, F.Handle()));
  }
  // Bad input: no record is no crash.
  EXPECT_EQ(Cmd(F.Handle(), AC_GETBACKGROUND, 0), 0);
}

TEST(provb_WndProc, SkinRemovalGivesTheFormBackToTheSystemAndANewSkinTakesItAgain) {
  TSkinnedForm F;
  HWND H = F.Handle();
  ASSERT_EQ(GetWindowLongW(H, GWL_STYLE) & WS_SYSMENU, 0) << "the skinned caption replaces the system menu";

  F.Manager->SetActive(false);
  uitest::Settle(H);
  EXPECT_FALSE(F.Provider->SkinData()->IsSkinned(true));
  EXPECT_NE(GetWindowLongW(H, GWL_STYLE) & WS_SYSMENU, 0);
  HRGN R = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(H, R), ERROR) << "no window region without a skin";
  DeleteObject(R);
  EXPECT_EQ(F.Form->Color(), clBtnFace);
  // Unskinned: still answers who it is, and the caption goes to the system.
  EXPECT_EQ(Cmd(H, AC_ISSKINNED), 1);
  EXPECT_EQ(Cmd(H, AC_GETPROVIDER), reinterpret_cast<LRESULT>(F.Provider));
  const RECT W = F.WindowRect();
  EXPECT_EQ(F.HitAt(POINT{(W.left + W.right) / 2, W.top + GetSystemMetrics(SM_CYFRAME) + 4}), HTCAPTION);

  F.Manager->SetActive(true);
  uitest::Settle(H);
  EXPECT_TRUE(F.Provider->SkinData()->IsSkinned(true));
  EXPECT_EQ(GetWindowLongW(H, GWL_STYLE) & WS_SYSMENU, 0);
  EXPECT_EQ(F.Form->Color(), F.Manager->GetGlobalColor());
}

TEST(provb_WndProc, CaptionIsPaintedByTheSkinAfterShowingActivatingAndSizing) {
  TSkinnedForm F;
  HWND H = F.Handle();
  auto CaptionIsSkinned = [&] {
    uitest::Settle(H);
    const RECT W = F.WindowRect();
    // The dark skin's title against the system's light or blue caption.
    const POINT P{(W.left + W.right) / 2, W.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
    HDC DC = GetDC(nullptr);
    const COLORREF C = GetPixel(DC, P.x, P.y);
    ReleaseDC(nullptr, DC);
    const int R = GetRValue(C), G = GetGValue(C), B = GetBValue(C);
    // A dark grey: the system's blue or light grey caption is neither.
    return R + G + B < 3 * 110 && std::abs(R - G) <= 16 && std::abs(B - R) <= 24;
  };
  EXPECT_TRUE(CaptionIsSkinned());
  uitest::SaveScreenshot(H, "provb_caption");

  // Another window takes the activation and gives it back.
  TForm* Other = TCustomForm::Create<TForm>(nullptr);
  Other->SetBounds(700, 500, 200, 120);
  uitest::ShowSettled(Other);
  EXPECT_TRUE(CaptionIsSkinned());
  EXPECT_FALSE(F.Provider->FormActive);
  delete Other;
  realinput::BringToFront(H);
  EXPECT_TRUE(CaptionIsSkinned());
  EXPECT_TRUE(F.Provider->FormActive);

  // A new size rebuilds the form image at the new size.
  F.Form->SetBounds(180, 140, 500, 340);
  uitest::Settle(H);
  EXPECT_TRUE(CaptionIsSkinned());
  ASSERT_NE(F.Provider->SkinData()->CacheBmp(), nullptr);
  EXPECT_EQ(F.Provider->SkinData()->CacheBmp()->Width(), 500);
  EXPECT_EQ(F.Provider->SkinData()->CacheBmp()->Height(), 340);

  // A new caption text shows in the skinned title (no system caption drawn over it).
  F.Form->SetCaption(L"Another caption");
  EXPECT_TRUE(CaptionIsSkinned());
}

TEST(provb_WndProc, PrintDrawsTheWholeSkinnedFormAndPrintClientIsSwallowed) {
  TSkinnedForm F;
  const RECT W = F.WindowRect();
  uitest::TMemoryDC DC(W.right - W.left, W.bottom - W.top, RGB(255, 0, 0));
  SendMessageW(F.Handle(), WM_PRINT, reinterpret_cast<WPARAM>(DC.DC()), PRF_NONCLIENT | PRF_CLIENT);
  // Title and client are drawn: no pixel of the red fill is left in the middle of either.
  EXPECT_NE(DC.Pixel((W.right - W.left) / 2, 10), RGB(255, 0, 0));
  EXPECT_NE(DC.Pixel((W.right - W.left) / 2, (W.bottom - W.top) / 2), RGB(255, 0, 0));
  uitest::TMemoryDC C2(50, 50, RGB(255, 0, 0));
  SendMessageW(F.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(C2.DC()), PRF_CLIENT);
  EXPECT_EQ(C2.Pixel(25, 25), RGB(255, 0, 0));
}

TEST(provb_Input, HitTestOfTheSkinnedFrame) {
  TSkinnedForm F;
  const RECT W = F.WindowRect();
  const int Frame = GetSystemMetrics(SM_CXSIZEFRAME);
  ASSERT_GE(F.Provider->ButtonClose.State, 0);
  EXPECT_EQ(F.HitAt(F.ScreenCentre(F.Provider->ButtonClose)), HTCLOSE);
  EXPECT_EQ(F.HitAt(F.ScreenCentre(F.Provider->ButtonMax)), HTMAXBUTTON);
  EXPECT_EQ(F.HitAt(F.ScreenCentre(F.Provider->ButtonMin)), HTMINBUTTON);
  EXPECT_EQ(F.Provider->CurrentHT, HTMINBUTTON) << "the button under the mouse is hot";
  EXPECT_EQ(F.HitAt(POINT{(W.left + W.right) / 2, W.top + Frame + 3}), HTCAPTION);
  EXPECT_EQ(F.Provider->CurrentHT, 0) << "the caption makes no button hot";
  EXPECT_EQ(F.HitAt(POINT{W.left + 1, (W.top + W.bottom) / 2}), HTLEFT);
  EXPECT_EQ(F.HitAt(POINT{W.right - 2, (W.top + W.bottom) / 2}), HTRIGHT);
  EXPECT_EQ(F.HitAt(POINT{(W.left + W.right) / 2, W.top}), HTTOP);
  EXPECT_EQ(F.HitAt(POINT{W.right - 1, W.bottom - 1}), HTBOTTOMRIGHT);
  EXPECT_EQ(F.HitAt(POINT{W.left, W.bottom - 1}), HTBOTTOMLEFT);
  EXPECT_EQ(F.HitAt(POINT{(W.left + W.right) / 2, (W.top + W.bottom) / 2}), HTCLIENT);
  // The title icon opens the system menu.
  const TRect I = F.Provider->TitleIconRect();
  ASSERT_GT(I.Width(), 0);
  EXPECT_EQ(F.HitAt(POINT{W.left + I.Left + 1, W.top + I.Top + 1}), HTSYSMENU);
}

TEST(provb_Input, DisabledMaximizeButtonAnswersCaption) {
  TSkinnedForm F;
  F.Form->SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
  uitest::Settle(F.Handle());
  if (F.Provider->VisibleMax() && !F.Provider->EnabledMax() && F.Provider->ButtonMax.State >= 0) {
    EXPECT_EQ(F.HitAt(F.ScreenCentre(F.Provider->ButtonMax)), HTCAPTION);
  } else {
    EXPECT_NE(F.HitAt(F.ScreenCentre(F.Provider->ButtonMax)), HTMAXBUTTON);
  }
}

TEST(provb_Input, RealClickOnCloseClosesTheFormThroughSysCommandClose) {
  TSkinnedForm F;
  const POINT P = F.ScreenCentre(F.Provider->ButtonClose);
  ASSERT_TRUE(realinput::ClickSeen(F.Handle(), P));
  EXPECT_TRUE(uitest::WaitFor([&] { return !F.Form->Visible(); }));
  EXPECT_TRUE(F.SawSysCommand(SC_CLOSE));
  EXPECT_EQ(F.Provider->CurrentHT <= 0, true);
}

TEST(provb_Input, ReleaseAwayFromThePressedButtonDoesNothing) {
  TSkinnedForm F;
  ASSERT_TRUE(realinput::BringToFront(F.Handle()));
  const POINT Close = F.ScreenCentre(F.Provider->ButtonClose);
  ASSERT_TRUE(provbtest::PointerTo(Close));
  ASSERT_TRUE(provbtest::LeftButton(Close, true));
  EXPECT_EQ(F.Provider->ButtonClose.State, 2);
  const RECT W = F.WindowRect();
  const POINT Away{(W.left + W.right) / 2, (W.top + W.bottom) / 2};
  ASSERT_TRUE(provbtest::PointerTo(Away));
  ASSERT_TRUE(provbtest::LeftButton(Away, false));
  EXPECT_TRUE(F.Form->Visible());
  EXPECT_FALSE(F.SawSysCommand(SC_CLOSE));
}

TEST(provb_Input, MaximizeRestoreAndMinimizeButtons) {
  TSkinnedForm F;
  HWND H = F.Handle();
  ASSERT_TRUE(realinput::ClickSeen(H, F.ScreenCentre(F.Provider->ButtonMax)));
  ASSERT_TRUE(uitest::WaitFor([&] { return IsZoomed(H) != FALSE; }));
  EXPECT_TRUE(F.SawSysCommand(SC_MAXIMIZE));
  uitest::Settle(H);
  // The same button now restores.
  ASSERT_TRUE(realinput::ClickSeen(H, F.ScreenCentre(F.Provider->ButtonMax)));
  ASSERT_TRUE(uitest::WaitFor([&] { return IsZoomed(H) == FALSE; }));
  EXPECT_TRUE(F.SawSysCommand(SC_RESTORE));
  uitest::Settle(H);
  ASSERT_TRUE(realinput::ClickSeen(H, F.ScreenCentre(F.Provider->ButtonMin)));
  ASSERT_TRUE(uitest::WaitFor([&] { return IsIconic(H) != FALSE; }));
  EXPECT_TRUE(F.SawSysCommand(SC_MINIMIZE));
  SendMessageW(H, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(uitest::WaitFor([&] { return IsIconic(H) == FALSE; }));
}

TEST(provb_Input, DoubleClickOnTheCaptionMaximizesAndRestores) {
  TSkinnedForm F;
  HWND H = F.Handle();
  SendMessageW(H, WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
  EXPECT_TRUE(uitest::WaitFor([&] { return IsZoomed(H) != FALSE; }));
  SendMessageW(H, WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
  EXPECT_TRUE(uitest::WaitFor([&] { return IsZoomed(H) == FALSE; }));
}

TEST(provb_Input, DoubleClickOnTheIconCloses) {
  TSkinnedForm F;
  SendMessageW(F.Handle(), WM_NCLBUTTONDBLCLK, HTSYSMENU, 0);
  EXPECT_TRUE(uitest::WaitFor([&] { return !F.Form->Visible(); }));
}

TEST(provb_Input, UserCaptionButtonGetsPressAndRelease) {
  TSkinnedForm F;
  TsTitleButton* B = F.Provider->TitleButtons()->Add();
  int Downs = 0, Ups = 0;
  B->OnMouseDown = [&](TObject* Sender, TMouseButton Button, TShiftState, int, int) {
    EXPECT_EQ(Sender, B);
    EXPECT_EQ(Button, mbLeft);
    ++Downs;
  };
  B->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++Ups; };
  F.Provider->RefreshNonClient();
  uitest::Settle(F.Handle());
  ASSERT_GT(B->BtnData.Rect.Width(), 0);
  const POINT P = F.ScreenCentre(B->BtnData);
  EXPECT_EQ(F.HitAt(P), HTUSERBUTTON + 0);
  ASSERT_TRUE(realinput::ClickSeen(F.Handle(), P));
  EXPECT_TRUE(uitest::WaitFor([&] { return Ups == 1; }));
  EXPECT_EQ(Downs, 1);
  EXPECT_TRUE(F.Form->Visible());
  // A disabled user button answers as the caption.
  B->SetEnabled(false);
  EXPECT_EQ(F.HitAt(P), HTCAPTION);
}

// A handler of a caption button of the program's own (its press or its release) that frees the
// skin provider or the whole form: what runs after it touches nothing freed (the trap makes any
// touch fault), and a form that stays keeps its skin's caption no more but stays on the screen.
TEST(provb_Input, AUserCaptionButtonsHandlerMayFreeTheProviderOrTheForm) {
  for (const bool OnRelease : {false, true})
    for (const bool FreeForm : {false, true}) {
      SCOPED_TRACE(std::string(OnRelease ? "the release " : "the press ") +
                   (FreeForm ? "frees the form" : "frees the provider"));
      const memguard::TTrapFreedReads Trap;
      TSkinnedForm F;
      TsTitleButton* B = F.Provider->TitleButtons()->Add();
      F.Provider->RefreshNonClient();
      uitest::Settle(F.Handle());
      ASSERT_GT(B->BtnData.Rect.Width(), 0);
      const POINT P = F.ScreenCentre(B->BtnData);
      const HWND H = F.Handle();
      memguard::TFreeOnce Free([&] {
        TComponent* Gone = FreeForm ? static_cast<TComponent*>(F.Form) : F.Provider;
        if (FreeForm) F.Form = nullptr;
        F.Provider = nullptr;
        delete Gone;
      });
      auto FreeIt = [Once = Free.Handler()](TObject*, TMouseButton, TShiftState, int, int) { Once(); };
      (OnRelease ? B->OnMouseUp : B->OnMouseDown) = FreeIt;
      ASSERT_TRUE(realinput::ClickSeen(H, P));
      ASSERT_TRUE(uitest::WaitFor([&] { return Free.Done(); }));
      uitest::PumpFor(50);
      EXPECT_EQ(IsWindow(H) != FALSE, !FreeForm);
      if (!FreeForm) {
        EXPECT_TRUE(IsWindowVisible(H));
      }
    }
}

namespace {
bool GMenuSeen = false;
POINT GMenuAt{};
BOOL CALLBACK FindMenuWindow(HWND W, LPARAM) {
  wchar_t Cls[16] = {};
  GetClassNameW(W, Cls, 16);
  if (IsWindowVisible(W) && std::wstring(Cls) == L"#32768") {
    RECT R;
    GetWindowRect(W, &R);
    GMenuSeen = true;
    GMenuAt = POINT{R.left, R.top};
    return FALSE;
  }
  return TRUE;
}
void CALLBACK CloseMenuTimer(HWND, UINT, UINT_PTR Id, DWORD) {
  EnumWindows(FindMenuWindow, 0);
  KillTimer(nullptr, Id);
  EndMenu();
}
}  // namespace

TEST(provb_Input, RightClickOnTheCaptionOpensTheSystemMenuAtTheMousePoint) {
  TSkinnedForm F;
  const RECT W = F.WindowRect();
  const POINT P{(W.left + W.right) / 2, W.top + GetSystemMetrics(SM_CYFRAME) + 6};
  GMenuSeen = false;
  const UINT_PTR T = SetTimer(nullptr, 0, 150, CloseMenuTimer);
  SendMessageW(F.Handle(), WM_NCRBUTTONUP, HTCAPTION, MAKELPARAM(P.x, P.y));
  KillTimer(nullptr, T);
  uitest::Pump();
  ASSERT_TRUE(GMenuSeen) << "a menu window was shown";
  EXPECT_NEAR(GMenuAt.x, P.x, 4);
  EXPECT_NEAR(GMenuAt.y, P.y, 4);
  EXPECT_TRUE(F.Form->Visible());
}

TEST(provb_Input, AltSpaceOpensTheSystemMenuBelowTheIcon) {
  TSkinnedForm F;
  const RECT W = F.WindowRect();
  const TRect I = F.Provider->TitleIconRect();
  GMenuSeen = false;
  const UINT_PTR T = SetTimer(nullptr, 0, 150, CloseMenuTimer);
  SendMessageW(F.Handle(), WM_SYSCOMMAND, SC_KEYMENU, ' ');
  KillTimer(nullptr, T);
  uitest::Pump();
  ASSERT_TRUE(GMenuSeen);
  EXPECT_NEAR(GMenuAt.x, W.left + I.Left, 4);
  EXPECT_NEAR(GMenuAt.y, W.top + I.Bottom, 4);
}

TEST(provb_Input, ClickOnTheIconOpensTheSystemMenuUnderIt) {
  TSkinnedForm F;
  const RECT W = F.WindowRect();
  const int B = FormBorderWidth(F.Handle(), nullptr, false);
  GMenuSeen = false;
  const UINT_PTR T = SetTimer(nullptr, 0, 150, CloseMenuTimer);
  SendMessageW(F.Handle(), WM_NCLBUTTONDOWN, HTSYSMENU, MAKELPARAM(W.left + 8, W.top + 8));
  KillTimer(nullptr, T);
  uitest::Pump();
  ASSERT_TRUE(GMenuSeen);
  EXPECT_NEAR(GMenuAt.x, W.left + B, 4);
  EXPECT_NEAR(GMenuAt.y, W.top + 2 * B + F.Provider->TitleIconHeight(), 4);
  EXPECT_TRUE(F.Form->Visible());
}
