// Glow windows: the layered, click-through window shown around a control, its place and size
// (whole and cut controls), following a control by hiding and showing, the global list of glows,
// and windows that must not outlive their glow or their manager.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "periphery_support.h"
#include "skin/core/acGlow.h"
#include "skin/core/sSkinManager.h"
#include "support/UiTest.h"

namespace {

constexpr int Ring = 10;  // the glow image's margins

// BUTTON has a glow image of its own (a 30 x 30 PNG: a 10-pixel blue ring with alpha 200 around an
// opaque yellow centre, which a glow never paints); EDIT has none.
std::vector<pertest::TFile> GlowSkin() {
  TBitmap Master(40, 40, pf24bit);
  Master.Canvas()->Brush()->SetColor(clWhite);
  Master.Canvas()->FillRect(Rect(0, 0, 40, 40));
  const std::string Png = pertest::RgbaPng(30, 30, [](int X, int Y) {
    const bool Centre = X >= Ring && X < 30 - Ring && Y >= Ring && Y < 30 - Ring;
    return Centre ? std::array<int, 4>{255, 255, 0, 255} : std::array<int, 4>{0, 0, 255, 200};
  });
  return {{"Options.dat",
           "[GLOBALINFO]\r\nMASTERBITMAP=MASTER.BMP\r\nVERSION=7.00\r\n"
           "[BUTTON]\r\nGLOW0=!GLOW.PNG!1!0!3!0010!0010!0010!0010\r\n"
           "[EDIT]\r\nCOLOR=255\r\n"},
          {"MASTER.BMP", pertest::BitmapBytes(Master)},
          {"GLOW.PNG", Png}};
}

TRect ScreenRect(HWND W) {
  RECT R;
  GetWindowRect(W, &R);
  return Rect(R.left, R.top, R.right, R.bottom);
}

bool Bluish(COLORREF C) { return GetBValue(C) > GetRValue(C) + 100 && GetBValue(C) > GetGValue(C) + 100; }

class PeripheryGlow : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearGlows();
    uitest::Pump();
    Manager = std::make_unique<TsSkinManager>(nullptr);
    pertest::LoadSkin(*Manager, GlowSkin());
    ASSERT_TRUE(Manager->SkinActive());
    Form = new TForm(nullptr);
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(200, 150, 400, 300);
    Form->SetColor(clWhite);
    Panel = new TPanel(Form);
    Panel->SetParent(Form);
    Panel->SetBounds(100, 80, 160, 60);
    Panel->SetColor(clLime);
    Panel->SetBevelOuter(bvNone);
    uitest::ShowSettled(Form);
    WindowsBefore = uitest::CountThreadWindows();
  }
  void TearDown() override {
    ClearGlows();
    uitest::PumpFor(50);
    delete Form;
    Manager.reset();
    uitest::Pump();
  }

  int Show(const TRect& Clip, int Margin = 3, const char* Section = "BUTTON", TsSkinManager* M = nullptr) {
    return ShowGlow(ScreenRect(Panel->Handle()), Clip, Section, "GLOW", Margin, 255, Panel->Handle(),
                    M != nullptr ? M : Manager.get());
  }
  TRect Whole() const { return Rect(0, 0, Panel->Width(), Panel->Height()); }

  std::unique_ptr<TsSkinManager> Manager;
  TForm* Form = nullptr;
  TPanel* Panel = nullptr;
  int WindowsBefore = 0;
};

TEST_F(PeripheryGlow, ShowsALayeredToolWindowAroundTheControl) {
  ASSERT_NE(acUpdateLayeredWindow, nullptr);
  const TRect R = ScreenRect(Panel->Handle());
  ASSERT_EQ(Show(Whole()), 0);
  TacGlowEffect* G = GlowAt(0);
  ASSERT_NE(G, nullptr);
  ASSERT_NE(G->Form(), nullptr);
  EXPECT_EQ(G->GlowBitmap(), nullptr);  // handed to the window
  const HWND W = G->Form()->Handle();
  EXPECT_TRUE(IsWindowVisible(W));
  const LONG Ex = GetWindowLongW(W, GWL_EXSTYLE);
  EXPECT_TRUE(Ex & WS_EX_LAYERED);
  EXPECT_TRUE(Ex & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(GetWindowLongW(W, GWL_STYLE) & WS_CAPTION);
  // Margin 3: the picture reaches Ring - 3 pixels past the control on every side.
  const TRect Expected = Rect(R.Left - Ring + 3, R.Top - Ring + 3, R.Right + Ring - 3, R.Bottom + Ring - 3);
  EXPECT_EQ(ScreenRect(W), Expected);
  EXPECT_NE(GetForegroundWindow(), W);  // shown without activation
  EXPECT_EQ(uitest::CountThreadWindows(), WindowsBefore + 1);

  uitest::PumpFor(100);
  {
    HDC Screen = GetDC(nullptr);
    uitest::TCapture(Screen, ScreenRect(Form->Handle())).MaybeSave("periphery_glow");
    ReleaseDC(nullptr, Screen);
  }
  // The ring shows blue over the form; the control shows through the centre.
  const COLORREF Ring1 = pertest::ScreenPixel(R.Left - 4, R.Top + 30);
  EXPECT_TRUE(Bluish(Ring1)) << std::hex << Ring1;
  EXPECT_EQ(pertest::ScreenPixel(R.Left + 80, R.Top + 30), RGB(0, 255, 0));
  EXPECT_EQ(pertest::ScreenPixel(R.Left - Ring - 2, R.Top + 30), RGB(255, 255, 255));  // outside the glow

  // Clicks go through the glow to the windows below.
  const POINT OverForm{R.Left - 4, R.Top + 20};
  EXPECT_EQ(SendMessageW(W, WM_NCHITTEST, 0, MAKELPARAM(OverForm.x, OverForm.y)), HTTRANSPARENT);
  EXPECT_EQ(WindowFromPoint(OverForm), Form->Handle());
  EXPECT_EQ(WindowFromPoint(POINT{R.Left + 2, R.Top + 20}), Panel->Handle());
}

// A glow shown while the skin's colours are turned or made paler shows no more of the old colours.
TEST_F(PeripheryGlow, AShownGlowKeepsNoneOfTheOldColoursWhenTheSkinIsRecoloured) {
  const TRect R = ScreenRect(Panel->Handle());
  for (const auto& [Name, Change] : std::vector<std::pair<const char*, std::function<void()>>>{
           {"hue", [this] { Manager->SetHueOffset(120); }}, {"saturation", [this] { Manager->SetSaturation(-100); }}}) {
    SCOPED_TRACE(Name);
    Manager->SetHueOffset(0);
    Manager->SetSaturation(0);
    ASSERT_GE(Show(Whole()), 0);
    ASSERT_TRUE(uitest::WaitFor([&] { return Bluish(pertest::ScreenPixel(R.Left - 4, R.Top + 30)); }));
    Change();
    uitest::WaitFor([&] { return !Bluish(pertest::ScreenPixel(R.Left - 4, R.Top + 30)); });
    EXPECT_FALSE(Bluish(pertest::ScreenPixel(R.Left - 4, R.Top + 30)));
  }
}

TEST_F(PeripheryGlow, FollowsAControlByHidingAndShowingAgain) {
  ASSERT_EQ(Show(Whole(), 0), 0);
  const HWND Old = GlowAt(0)->Form()->Handle();
  HideGlow(0);
  EXPECT_EQ(GlowAt(0), nullptr);
  EXPECT_EQ(GlowListLength(), 1);  // the slot stays, empty
  EXPECT_FALSE(IsWindowVisible(Old));  // gone from the screen at once
  Panel->SetLeft(Panel->Left() + 40);
  Panel->SetTop(Panel->Top() + 15);
  const TRect R = ScreenRect(Panel->Handle());
  ASSERT_EQ(Show(Whole(), 0), 1);
  const HWND New = GlowAt(1)->Form()->Handle();
  EXPECT_EQ(ScreenRect(New), Rect(R.Left - Ring, R.Top - Ring, R.Right + Ring, R.Bottom + Ring));
  EXPECT_TRUE(uitest::WaitFor([&] { return !IsWindow(Old); }));  // freed once the messages ran
  EXPECT_EQ(uitest::CountThreadWindows(), WindowsBefore + 1);
  uitest::PumpFor(50);
  EXPECT_TRUE(Bluish(pertest::ScreenPixel(R.Left - 5, R.Top + 30)));
}

TEST_F(PeripheryGlow, ClearGlowsFreesEveryWindowAndEmptiesTheList) {
  HideGlow(-1);  // nothing to hide
  HideGlow(0);
  ASSERT_EQ(Show(Whole()), 0);
  ASSERT_EQ(Show(Whole(), 1), 1);
  ASSERT_EQ(Show(Whole(), 2), 2);
  HideGlow(1);
  HideGlow(1);  // already hidden
  HideGlow(3);
  EXPECT_EQ(GlowListLength(), 3);
  std::vector<HWND> Windows{GlowAt(0)->Form()->Handle(), GlowAt(2)->Form()->Handle()};
  EXPECT_EQ(uitest::CountThreadWindows(), WindowsBefore + 3);  // one waits for its release
  ClearGlows();
  EXPECT_EQ(GlowListLength(), 0);
  for (HWND W : Windows) EXPECT_FALSE(IsWindowVisible(W));
  EXPECT_TRUE(uitest::WaitFor([&] { return uitest::CountThreadWindows() == WindowsBefore; }));
  for (HWND W : Windows) EXPECT_FALSE(IsWindow(W));
  EXPECT_EQ(Show(Whole()), 0);  // the list starts again
}

TEST_F(PeripheryGlow, NoGlowWithoutAnImageLayeredWindowsOrRoomForIt) {
  EXPECT_EQ(Show(Whole(), 3, "EDIT"), -1);
  EXPECT_EQ(Show(Whole(), 3, "NOSUCHSECTION"), -1);
  EXPECT_EQ(ShowGlow(ScreenRect(Panel->Handle()), Whole(), "BUTTON", "HALO", 3, 255, Panel->Handle(), Manager.get()),
            -1);
  const TacUpdateLayeredWindow Saved = acUpdateLayeredWindow;
  acUpdateLayeredWindow = nullptr;  // as on a system without layered windows
  const int WithoutLayered = Show(Whole());
  acUpdateLayeredWindow = Saved;
  EXPECT_EQ(WithoutLayered, -1);
  EXPECT_EQ(GlowListLength(), 0);
  // A margin larger than the image's margins and half the control leaves no picture: the glow is
  // listed but shows no window.
  ASSERT_EQ(Show(Whole(), 100), 0);
  EXPECT_TRUE(GlowAt(0)->Form() == nullptr || !GlowAt(0)->Form()->HandleAllocated());
  EXPECT_EQ(uitest::CountThreadWindows(), WindowsBefore);
  HideGlow(0);
}

TEST_F(PeripheryGlow, ACutControlGetsTheGlowOfItsVisiblePart) {
  // The control's visible part starts 10 pixels from its left edge: the window starts there, and
  // its picture is the full glow's part from WL + 10 - margin.
  const TRect R = ScreenRect(Panel->Handle());
  const int Margin = 3;
  ASSERT_EQ(Show(Rect(10, 0, R.Width(), R.Height()), Margin), 0);
  const HWND W = GlowAt(0)->Form()->Handle();
  const int Full = R.Width() + 2 * Ring - 2 * Margin;
  const int Cut = Ring + 10 - Margin;
  EXPECT_EQ(ScreenRect(W),
            Rect(R.Left + 10, R.Top - Ring + Margin, R.Left + 10 + Full - Cut, R.Bottom + Ring - Margin));
  uitest::PumpFor(100);
  // The left column of the window shows the picture's empty centre (not its ring), the right side
  // still has its ring.
  EXPECT_EQ(pertest::ScreenPixel(R.Left + 10, R.Top + 30), RGB(0, 255, 0));
  EXPECT_EQ(pertest::ScreenPixel(R.Left + 5, R.Top + 30), RGB(0, 255, 0));
  EXPECT_TRUE(Bluish(pertest::ScreenPixel(R.Right + 2, R.Top + 30)));

  // Cut at the top and bottom: the glow covers just the visible rows.
  ClearGlows();
  ASSERT_EQ(Show(Rect(0, 20, R.Width(), 40), Margin), 0);
  const HWND W2 = GlowAt(0)->Form()->Handle();
  const int FullH = R.Height() + 2 * Ring - 2 * Margin;
  const int T = Ring + 20 - Margin;
  const int B = FullH - T - 20;
  EXPECT_EQ(ScreenRect(W2),
            Rect(R.Left - Ring + Margin, R.Top + 20, R.Right + Ring - Margin, R.Top + 20 + FullH - T - B));
}

TEST_F(PeripheryGlow, AGlowOfATopmostControlStaysOnTop) {
  SetWindowPos(Form->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ASSERT_TRUE(GetWindowLongW(Form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  ASSERT_EQ(ShowGlow(ScreenRect(Form->Handle()), Rect(0, 0, Form->Width(), Form->Height()), "BUTTON", "GLOW", 0,
                     255, Form->Handle(), Manager.get()),
            0);
  TForm* G = GlowAt(0)->Form();
  EXPECT_EQ(G->FormStyle(), fsStayOnTop);
  EXPECT_TRUE(GetWindowLongW(G->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(GetWindowLongW(G->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED);
}

TEST_F(PeripheryGlow, AManagerThatGoesTakesItsGlowWindowsAtOnce) {
  auto Other = std::make_unique<TsSkinManager>(nullptr);
  pertest::LoadSkin(*Other, GlowSkin(), "OtherSkin");
  // A glow of the list, and one held outside it.
  ASSERT_EQ(Show(Whole(), 3, "BUTTON", Other.get()), 0);
  const HWND Listed = GlowAt(0)->Form()->Handle();
  auto Held = std::make_unique<TacGlowEffect>(Other.get());
  Held->MaskIndex = Other->GetOwnMaskIndex("BUTTON", "GLOW0");
  Held->BuildWindow(ScreenRect(Panel->Handle()), Whole(), Panel->Handle());
  ASSERT_NE(Held->Form(), nullptr);
  const HWND HeldWindow = Held->Form()->Handle();
  EXPECT_TRUE(IsWindowVisible(HeldWindow));

  Other.reset();
  // Both windows are gone at once, without waiting for messages.
  EXPECT_FALSE(IsWindow(Listed));
  EXPECT_FALSE(IsWindow(HeldWindow));
  EXPECT_EQ(Held->SkinManager(), nullptr);
  EXPECT_EQ(Held->Form(), nullptr);
  Held.reset();
  ClearGlows();
  EXPECT_TRUE(uitest::WaitFor([&] { return uitest::CountThreadWindows() == WindowsBefore; }));
  EXPECT_EQ(Show(Whole()), 0);  // the default manager still shows glows
}

TEST_F(PeripheryGlow, ThePictureIsTheGlowImageStateZeroOverTransparentBlack) {
  TacGlowEffect E(Manager.get());
  EXPECT_EQ(E.SkinManager(), Manager.get());
  E.Repaint(60, 40);  // no image yet: all transparent black
  ASSERT_NE(E.GlowBitmap(), nullptr);
  EXPECT_EQ(E.GlowBitmap()->PixelFormat(), pf32bit);
  EXPECT_EQ(pertest::At(*E.GlowBitmap(), 2, 2), (std::array<int, 4>{0, 0, 0, 0}));
  E.MaskIndex = Manager->GetOwnMaskIndex("BUTTON", "GLOW0");
  ASSERT_GE(E.MaskIndex, 0);
  E.Repaint(60, 40);
  ASSERT_EQ(E.GlowBitmap()->Width(), 60);
  ASSERT_EQ(E.GlowBitmap()->Height(), 40);
  EXPECT_EQ(pertest::At(*E.GlowBitmap(), 2, 2), (std::array<int, 4>{255, 0, 0, 200}));     // corner
  EXPECT_EQ(pertest::At(*E.GlowBitmap(), 30, 3), (std::array<int, 4>{255, 0, 0, 200}));    // top side
  EXPECT_EQ(pertest::At(*E.GlowBitmap(), 57, 36), (std::array<int, 4>{255, 0, 0, 200}));   // corner
  EXPECT_EQ(pertest::At(*E.GlowBitmap(), 30, 20), (std::array<int, 4>{0, 0, 0, 0}));      // centre
  EXPECT_EQ(E.Form(), nullptr);
}

}  // namespace
