// The inverted frame of the border resize mode ends however the move or size ends: the capture
// taken by another window, a cancel of the mode, or the provider or form going away. The frame is
// erased from the screen, the desktop's device context given back and no state left behind.
#include <gtest/gtest.h>

#include "skin_forms/provb_support.h"

using provbtest::TSkinnedForm;

namespace {

COLORREF ScreenPixel(POINT P) {
  HDC DC = GetDC(nullptr);
  const COLORREF C = GetPixel(DC, P.x, P.y) & 0xFFFFFF;
  ReleaseDC(nullptr, DC);
  return C;
}

void ExpectNoFrameLeft() {
  EXPECT_FALSE(acBorderFrame.Active);
  EXPECT_FALSE(acBorderFrame.Pending);
  EXPECT_EQ(acBorderFrame.DesktopDC, nullptr);
  EXPECT_EQ(acBorderFrame.Owner, nullptr);
  EXPECT_EQ(acBorderFrame.SizingCode, 0);
}

}  // namespace

TEST(LifetimeBorderFrame, EndsWhenTheCaptureGoesTheModeIsCancelledOrTheProviderOrFormGoes) {
  for (int Way = 0; Way < 5; ++Way) {
    SCOPED_TRACE(Way == 0   ? "capture taken by another window"
                 : Way == 1 ? "capture released"
                 : Way == 2 ? "mode cancelled"
                 : Way == 3 ? "provider freed"
                            : "form freed");
    auto F = std::make_unique<TSkinnedForm>();
    F->Provider->SetResizeMode(rmBorder);
    HWND H = F->Handle();
    const RECT Before = F->WindowRect();
    HWND Other = Way == 0 ? CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr)
                          : nullptr;
    // A point on the frame's top edge, as the screen shows it without the frame.
    const POINT OnFrame{Before.left + 30, Before.top};
    uitest::Settle(H);
    const COLORREF Plain = ScreenPixel(OnFrame);
    const int Gdi = uitest::GdiObjectCount();
    SendMessageW(H, WM_SYSCOMMAND, Way % 2 == 0 ? SC_MOVE : SC_SIZE, 0);
    ASSERT_TRUE(acBorderFrame.Active);
    ASSERT_EQ(GetCapture(), H);
    EXPECT_EQ(ScreenPixel(OnFrame), ~Plain & 0xFFFFFF) << "the frame inverts the screen";
    switch (Way) {
      case 0:
        SetCapture(Other);
        break;
      case 1:
        ReleaseCapture();
        break;
      case 2:
        SendMessageW(H, WM_CANCELMODE, 0, 0);
        break;
      case 3:
        delete F->Provider;
        F->Provider = nullptr;
        break;
      default:
        delete F->Form;
        F->Form = nullptr;
        break;
    }
    uitest::Pump();
    ExpectNoFrameLeft();
    if (Way < 3) {
      EXPECT_NE(GetCapture(), H);
      EXPECT_EQ(ScreenPixel(OnFrame), Plain) << "the frame is erased";
      // Cancelled, not finished: the form stays where it was.
      const RECT After = F->WindowRect();
      EXPECT_TRUE(EqualRect(&Before, &After));
      // A later release does nothing more.
      SendMessageW(H, WM_LBUTTONUP, 0, 0);
      const RECT Later = F->WindowRect();
      EXPECT_TRUE(EqualRect(&Before, &Later));
    }
    // The desktop's device context is given back (where nothing else frees or makes objects).
    if (Way == 1 || Way == 2) {
      EXPECT_EQ(uitest::GdiObjectCount(), Gdi);
    }
    if (Other != nullptr) {
      ReleaseCapture();
      DestroyWindow(Other);
    }
    F.reset();
  }
}

// A caption button pressed and released away from the form is no longer pressed: a later release
// over it does nothing. Pressed, moved off and back and released over it, it still acts.
TEST(LifetimeCaptionButton, APressReleasedAwayFromTheFormIsForgotten) {
  TSkinnedForm F;
  HWND H = F.Handle();
  int Closes = 0;
  F.Form->OnClose = [&](TObject*, TCloseAction& Action) {
    ++Closes;
    Action = caNone;
  };
  const POINT Close = F.ScreenCentre(F.Provider->ButtonClose);
  const RECT WR = F.WindowRect();
  const POINT Away{WR.right + 60, WR.bottom + 40};
  ASSERT_EQ(F.HitAt(Close), HTCLOSE);
  ASSERT_TRUE(realinput::BringToFront(H));
  ASSERT_TRUE(provbtest::PointerTo(Close));
  const auto Pressed = [&] { return F.Provider->ButtonClose.State == 2; };
  ownctl::SendMouse(Close, MOUSEEVENTF_LEFTDOWN);
  EXPECT_TRUE(uitest::WaitFor(Pressed));
  provbtest::PointerTo(Away);
  ownctl::SendMouse(Away, MOUSEEVENTF_LEFTUP);
  EXPECT_TRUE(uitest::WaitFor([&] { return !Pressed() && GetCapture() != H; }));
  EXPECT_EQ(Closes, 0);
  // A release over the button that belongs to no press of it.
  SendMessageW(H, WM_NCLBUTTONUP, HTCLOSE, MAKELPARAM(Close.x, Close.y));
  uitest::Pump();
  EXPECT_EQ(Closes, 0);

  // Off and back again while held: the release over the button closes. (Past the double-click
  // time, so that the press is not taken for the second click of a double click.)
  uitest::PumpFor(static_cast<int>(GetDoubleClickTime()) + 100);
  ASSERT_TRUE(provbtest::PointerTo(Close));
  uitest::PumpFor(30);
  ownctl::SendMouse(Close, MOUSEEVENTF_LEFTDOWN);
  EXPECT_TRUE(uitest::WaitFor(Pressed));
  ASSERT_TRUE(provbtest::PointerTo(Away));
  ASSERT_TRUE(provbtest::PointerTo(Close));
  ownctl::SendMouse(Close, MOUSEEVENTF_LEFTUP);
  EXPECT_TRUE(uitest::WaitFor([&] { return Closes == 1; }));
  EXPECT_NE(GetCapture(), H);
}
