// Where the skinned system menu of a form or a dialog drops: below the title bar, at the title icon,
// whether it is opened by Alt+Space or by a click on the icon, with and without extended borders.
#include <gtest/gtest.h>

#include "skin_forms/extform_support.h"
#include "support/FreedMemoryGuard.h"

namespace {

RECT GMenuRect{};

void CALLBACK TakeMenuRect(HWND, UINT, UINT_PTR Id, DWORD) {
  HWND W = FindWindowW(L"#32768", nullptr);
  if (W == nullptr || !IsWindowVisible(W)) return;
  KillTimer(nullptr, Id);
  GetWindowRect(W, &GMenuRect);
  EndMenu();
}

// Runs Open and answers the screen rectangle of the menu it shows (empty when none shows).
RECT MenuShownBy(const std::function<void()>& Open) {
  GMenuRect = RECT{};
  const UINT_PTR T = SetTimer(nullptr, 0, 50, TakeMenuRect);
  Open();
  uitest::WaitFor([] { return GMenuRect.bottom != 0; }, 10000);
  KillTimer(nullptr, T);
  EndMenu();
  uitest::PumpFor(50);
  return GMenuRect;
}

void PressAltSpace(HWND Front) {
  realinput::BringToFront(Front);
  realinput::KeyWith(VK_MENU, VK_SPACE);
  uitest::PumpFor(50);
}

void ExpectBelowTheTitleBarAtTheIcon(const RECT& Menu, int TitleBottom, int IconLeft) {
  ASSERT_NE(Menu.bottom, 0) << "the menu showed";
  EXPECT_GE(Menu.top, TitleBottom) << "not over the title bar";
  EXPECT_LE(Menu.top, TitleBottom + 2) << "right below it";
  EXPECT_NEAR(Menu.left, IconLeft, 4) << "at the icon";
}

}  // namespace

TEST(menus_SysDrop, TheSystemMenuDropsBelowTheTitleBarAtTheIcon) {
  extform::OnEachFrame([](extform::TExtForm& F, bool Extended) {
    HWND H = F.Form->Handle();
    // The title bar on the screen: the image's top band, where the border window or the form shows it.
    RECT Image;
    GetWindowRect(Extended ? F.BorderWnd() : H, &Image);
    const TRect E = F.Provider->ExtBorderMargins();
    const int TitleBottom = Image.top + E.Top + WindowFrameWidth(H, F.Provider->BorderForm, false) +
                            F.Provider->CaptionHeight(true);
    const TRect Icon = F.Provider->TitleIconRect();
    const POINT IconCentre{Image.left + (Icon.Left + Icon.Right) / 2, Image.top + (Icon.Top + Icon.Bottom) / 2};
    const RECT ByKeys = MenuShownBy([&] { PressAltSpace(H); });
    const RECT ByClick = MenuShownBy([&] { realinput::ClickSeen(H, IconCentre); });
    for (const RECT& R : {ByKeys, ByClick}) ExpectBelowTheTitleBarAtTheIcon(R, TitleBottom, Image.left + Icon.Left);
  });
}

TEST(menus_SysDrop, ADialogsSystemMenuDropsBelowTheTitleBarAtTheIcon) {
  extform::OnEachDialogFrame(nullptr, [](extform::TExtDialog& D, bool) {
    TacDialogWnd* A = D.Adapter;
    const TRect Icon = A->IconRect();
    const int TitleBottom =
        D.ImageToScreen(0, A->ExtMargins().Top + WindowFrameWidth(D.Wnd, A->BorderForm, true) + A->CaptionHeight()).y;
    const POINT IconCentre = D.ImageToScreen((Icon.Left + Icon.Right) / 2, (Icon.Top + Icon.Bottom) / 2);
    const RECT ByKeys = MenuShownBy([&] { PressAltSpace(D.Wnd); });
    const RECT ByClick = MenuShownBy([&] { realinput::ClickSeen(D.Wnd, IconCentre); });
    const int IconLeft = D.ImageToScreen(Icon.Left, 0).x;
    for (const RECT& R : {ByKeys, ByClick}) ExpectBelowTheTitleBarAtTheIcon(R, TitleBottom, IconLeft);
  });
}
