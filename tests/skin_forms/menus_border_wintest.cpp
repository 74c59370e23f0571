// The extended border window: made around a form whose skin has extended borders with a shadow,
// shown as a layered window with the owner's image, placed by the margins, answering hit tests,
// passing clicks in the shadow to the window below, and destroyed with its object.
#include "framework/Strings.h"
#include "skin/forms/acBorderForm.h"
#include "skin_forms/menus_support.h"

using namespace menustest;

namespace {

// The built-in shadows that give the margins (11, 7, 11, 11) when a skin has no EXBORDER image.
void ProvideShadows() {
  for (TPNGGraphic** S : {&acShadowActive, &acShadowInactive}) {
    if (*S != nullptr) continue;
    *S = new TPNGGraphic();
    (*S)->SetPixelFormat(pf32bit);
    (*S)->SetSize(30, 30);
  }
}

struct MenusBorder : ::testing::Test {
  std::unique_ptr<TsSkinManager> M;
  TForm* Owner = nullptr;
  std::unique_ptr<TsCommonData> Data;
  std::unique_ptr<TsSystemMenu> SysMenu;
  std::unique_ptr<TacBorderForm> B;
  TRect Mg;

  void SetUp() override {
    ProvideShadows();
    M = LoadedManager(true);
    Mg = M->ShadowMargin();
    Owner = TCustomForm::Create<TForm>(nullptr);
    Owner->SetBounds(300, 250, 320, 220);
    uitest::ShowSettled(Owner);
    SysMenu = std::make_unique<TsSystemMenu>(Owner, Owner);
    // The owner's non-client image: red, as large as the window plus the margins.
    Data = std::make_unique<TsCommonData>(nullptr, 0, true);
    Data->BackgroundStale = false;
    RECT R{};
    GetWindowRect(Owner->Handle(), &R);
    TBitmap* C = Data->CacheBmp();
    C->SetSize(R.right - R.left + Mg.Left + Mg.Right, R.bottom - R.top + Mg.Top + Mg.Bottom);
    HBRUSH Red = CreateSolidBrush(RGB(255, 0, 0));
    RECT All{0, 0, C->Width(), C->Height()};
    FillRect(C->Canvas()->Handle(), &All, Red);
    DeleteObject(Red);
    TacBorderOwner Link;
    Link.Form = Owner;
    Link.CaptionHeight = [](bool) { return GetSystemMetrics(SM_CYCAPTION); };
    Link.SkinTitleHeight = [] { return GetSystemMetrics(SM_CYCAPTION); };
    Link.SystemMenu = [this]() -> TsCustomSysMenu* { return SysMenu.get(); };
    Link.IconRect = [this] { return Rect(Mg.Left + 4, Mg.Top + 4, Mg.Left + 20, Mg.Top + 20); };
    B = std::make_unique<TacBorderForm>(Owner, Link);
    B->SkinData = Data.get();
    // As a skin provider does: the border window is updated whenever the owner's place changes.
    OwnerProc = Owner->WindowProc();
    Owner->SetWindowProc([this](TMessage& Msg) {
      OwnerProc(Msg);
      if (Msg.Msg == WM_WINDOWPOSCHANGED && B && IsWindowVisible(B->AForm->Handle())) B->UpdateBorderWindow(false, 255);
    });
  }
  TWndMethod OwnerProc;
  void TearDown() override {
    Owner->SetWindowProc(OwnerProc);
    B.reset();
    SysMenu.reset();
    delete Owner;
    Data.reset();
    M.reset();
  }
  HWND BW() { return B->AForm->Handle(); }
  RECT BRect() {
    RECT R{};
    GetWindowRect(BW(), &R);
    return R;
  }
  // A form under the owner whose left clicks run OnClick (Old keeps its procedure), with the
  // border window shown over it.
  TForm* FormBelow(std::function<void()> OnClick, TWndMethod& Old) {
    TForm* Below = TCustomForm::Create<TForm>(nullptr);
    Below->SetBounds(200, 150, 600, 500);
    Old = Below->WindowProc();
    Below->SetWindowProc([OnClick, &Old](TMessage& Msg) {
      if (Msg.Msg == WM_LBUTTONDOWN) OnClick();
      Old(Msg);
    });
    uitest::ShowSettled(Below);
    uitest::ShowSettled(Owner);
    B->UpdateBorderWindow(true, 255);
    uitest::PumpFor(50);
    return Below;
  }
  // A message at a point of the border window, in screen coordinates.
  TMessage At(UINT Msg, int X, int Y) {
    const RECT R = BRect();
    TMessage Mm;
    Mm.Msg = Msg;
    Mm.LParam = MAKELPARAM(R.left + X, R.top + Y);
    return Mm;
  }
};

}  // namespace

TEST_F(MenusBorder, MadeHiddenAndUnskinnedAsANonActivatingToolWindow) {
  ASSERT_EQ(Mg, (TRect{11, 7, 11, 11}));
  ASSERT_NE(B->AForm, nullptr);
  EXPECT_EQ(B->AForm->Tag(), -98);
  EXPECT_FALSE(IsWindowVisible(BW()));
  const LONG Ex = GetWindowLongW(BW(), GWL_EXSTYLE);
  EXPECT_NE(Ex & WS_EX_TOOLWINDOW, 0);
  EXPECT_NE(Ex & WS_EX_NOACTIVATE, 0);
  HWND W = BW();
  B.reset();
  EXPECT_FALSE(IsWindow(W)) << "destroyed with its object";
}

TEST_F(MenusBorder, ShowsTheOwnerImageAroundTheOwnerAndFollowsIt) {
  B->UpdateBorderWindow(true, 255);
  uitest::PumpFor(100);
  // The owner updates its border window again after it painted (a first show may leave the
  // window raised a moment later under Wine's window stacking).
  B->UpdateBorderWindow(false, 255);
  uitest::PumpFor(50);
  ASSERT_TRUE(IsWindowVisible(BW()));
  EXPECT_NE(GetWindowLongW(BW(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  RECT O{};
  GetWindowRect(Owner->Handle(), &O);
  const RECT R = BRect();
  const int F = ((O.right - O.left) - Owner->ClientWidth()) / 2;
  EXPECT_EQ(R.left, O.left - Mg.Left);
  EXPECT_EQ(R.top, O.top - (Mg.Top - F));
  EXPECT_EQ(R.right - R.left, Data->CacheBmp()->Width());
  // The image shows in the shadow margin.
  HDC S = GetDC(nullptr);
  const COLORREF Shadow = GetPixel(S, R.left + 3, R.top + R.bottom / 2 - R.top / 2);
  ReleaseDC(nullptr, S);
  EXPECT_EQ(Shadow, RGB(255, 0, 0));
  // Right behind its owner in the Z order.
  {
    HWND Next = GetWindow(Owner->Handle(), GW_HWNDNEXT);
    wchar_t Cls[64] = {};
    GetClassNameW(Next, Cls, 64);
    EXPECT_EQ(Next, BW()) << WideToAnsi(Cls) << " visible " << IsWindowVisible(Next) << " prev is border "
                          << (GetWindow(Owner->Handle(), GW_HWNDPREV) == BW());
  }
  uitest::SaveScreenshot(BW(), "menus_border_window");
  // The owner moves; its next update takes the border window along.
  Owner->SetBounds(340, 280, 320, 220);
  const RECT R2 = BRect();
  EXPECT_EQ(R2.left - R.left, 40);
  EXPECT_EQ(R2.top - R.top, 30);
  // Hidden with its owner.
  Owner->Hide();
  B->UpdateBorderWindow(false, 255);
  EXPECT_FALSE(IsWindowVisible(BW()));
}

TEST_F(MenusBorder, HitTestsAnswerForTheFrameAndLeaveTheShadow) {
  B->UpdateBorderWindow(true, 255);
  const RECT R = BRect();
  const int W = R.right - R.left, H = R.bottom - R.top;
  TMessage Shadow = At(WM_NCHITTEST, 2, H / 2);
  EXPECT_TRUE(B->PointInShadow(Shadow));
  TMessage Frame = At(WM_NCHITTEST, Mg.Left + 1, H / 2);
  EXPECT_FALSE(B->PointInShadow(Frame));
  EXPECT_EQ(SendMessageW(BW(), WM_NCHITTEST, 0, Frame.LParam), HTOBJECT);
  EXPECT_NE(SendMessageW(BW(), WM_NCHITTEST, 0, Shadow.LParam), HTOBJECT);
  // Sizing edges of a sizeable owner.
  TMessage TL = At(WM_NCHITTEST, Mg.Left + 1, Mg.Top + 1);
  EXPECT_EQ(B->BorderHitTest(TL), HTTOPLEFT);
  TMessage BR = At(WM_NCHITTEST, W - Mg.Right - 1, H - Mg.Bottom - 1);
  EXPECT_EQ(B->BorderHitTest(BR), HTBOTTOMRIGHT);
  TMessage Right = At(WM_NCHITTEST, W - Mg.Right - 1, H / 2);
  EXPECT_EQ(B->BorderHitTest(Right), HTRIGHT);
  // The caption band and the icon.
  TMessage Cap = At(WM_NCHITTEST, W / 2, Mg.Top + 10);
  EXPECT_EQ(B->BorderHitTest(Cap), HTCAPTION);
  TMessage Icon = At(WM_NCHITTEST, Mg.Left + 10, Mg.Top + 10);
  EXPECT_EQ(B->BorderHitTest(Icon), HTSYSMENU);
  // The border window never activates; the owner is the window brought forward.
  EXPECT_EQ(SendMessageW(BW(), WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(BW()), 0), MA_NOACTIVATE);
  // A disabled owner (a modal window above it) answers -1 everywhere.
  EnableWindow(Owner->Handle(), FALSE);
  EXPECT_EQ(B->BorderHitTest(Cap), -1);
  EXPECT_EQ(B->BorderHitTest(TL), -1);
  EnableWindow(Owner->Handle(), TRUE);
}

TEST_F(MenusBorder, ClickInTheShadowReachesTheWindowBelow) {
  int Clicks = 0;
  TWndMethod Old;
  TForm* Below = FormBelow([&] { ++Clicks; }, Old);
  const RECT R = BRect();
  const int H = R.bottom - R.top;
  SendMessageW(BW(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, H / 2));
  EXPECT_EQ(Clicks, 1);
  EXPECT_FALSE(B->MouseForwarding);
  // A click on the frame is not passed on.
  SendMessageW(BW(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(Mg.Left + 2, H / 2));
  EXPECT_EQ(Clicks, 1);
  Below->SetWindowProc(Old);
  delete Below;
}

// The window below may free the border window's owner when clicked (a click through the shadow
// that closes a dialog): nothing of the freed border object is touched afterwards (the guard
// counts a write to freed memory).
TEST_F(MenusBorder, AClickPassedOnThatFreesTheBorderObjectTouchesNothingFreed) {
  TWndMethod Old;
  TForm* Below = FormBelow([&] { B.reset(); }, Old);
  const RECT R = BRect();
  SendMessageW(BW(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, (R.bottom - R.top) / 2));
  EXPECT_EQ(B, nullptr) << "the click reached the window below";
  uitest::PumpFor(50);
  Below->SetWindowProc(Old);
  delete Below;
}

TEST_F(MenusBorder, DoubleClickOnTheCaptionTogglesMaximisedAndOnTheIconCloses) {
  B->UpdateBorderWindow(true, 255);
  const RECT R = BRect();
  const int W = R.right - R.left;
  TMessage Cap = At(WM_NCLBUTTONDBLCLK, W / 2, Mg.Top + 10);
  SendMessageW(BW(), WM_NCLBUTTONDBLCLK, HTCAPTION, Cap.LParam);
  uitest::PumpFor(50);
  EXPECT_TRUE(IsZoomed(Owner->Handle()));
  B->UpdateBorderWindow(true, 255);
  // Maximised: no shadow, and the region is inset.
  EXPECT_FALSE(B->PointInShadow(Cap));
  HRGN Rgn = B->CreateRegion();
  ASSERT_NE(Rgn, nullptr);
  RECT Box{};
  GetRgnBox(Rgn, &Box);
  DeleteObject(Rgn);
  EXPECT_EQ(Box.top, Mg.Top + 4);
  SendMessageW(Owner->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  uitest::PumpFor(50);
  B->UpdateBorderWindow(true, 255);
  ASSERT_FALSE(IsZoomed(Owner->Handle()));
  EXPECT_EQ(B->CreateRegion(), nullptr) << "a normal owner without AlphaBlend has no region";
  TMessage Icon = At(WM_NCLBUTTONDBLCLK, Mg.Left + 10, Mg.Top + 10);
  SendMessageW(BW(), WM_NCLBUTTONDBLCLK, HTCAPTION, Icon.LParam);
  uitest::PumpFor(50);
  EXPECT_FALSE(IsWindowVisible(Owner->Handle())) << "closed";
}

TEST_F(MenusBorder, AlphaBlendFormGetsAHoleOverItsClientArea) {
  Owner->SetAlphaBlend(true);
  Owner->SetAlphaBlendValue(200);
  B->UpdateBorderWindow(true, 255);
  HRGN Rgn = B->CreateRegion();
  ASSERT_NE(Rgn, nullptr);
  const RECT R = BRect();
  EXPECT_TRUE(PtInRegion(Rgn, 2, 2));
  EXPECT_FALSE(PtInRegion(Rgn, (R.right - R.left) / 2, (R.bottom - R.top) / 2)) << "hole over the client area";
  DeleteObject(Rgn);
}
