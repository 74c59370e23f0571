// The fade of a skinned button between its looks, stepped tick by tick (the timer itself is
// stopped, so nothing depends on time): the frames blend the old picture into the new one by the
// step's factor, the fade ends with the control's command and frees its timer, press and release
// fade in half the steps, a change during a fade starts again from what the screen shows, and the
// events and the section decide whether anything fades at all.
#include <gtest/gtest.h>

#include "framework/StdCtrls.h"
#include "ownctl_support.h"
#include "skin/controls/sButton.h"
#include "skin/controls/sFade.h"
#include "skin/core/sConst.h"

using namespace ownctl;

namespace {

struct TFadeForm : TTestForm {
  TsButton* Btn;
  // An edit ahead of the button in tab order takes the focus, so that the button starts in its
  // normal look.
  explicit TFadeForm(const char* Section = "BUTTON") {
    auto* Edit = new TEdit(Form);
    Edit->SetParent(Form);
    Edit->SetBounds(40, 100, 100, 22);
    Btn = new TsButton(Form);
    Btn->SetParent(Form);
    Btn->SetBounds(40, 40, 120, 30);
    Btn->SetCaption(L"Fade");
    Btn->SkinData()->SetSkinSection(Section);
  }
  HWND W() const { return Btn->Handle(); }
  void ShowCalm() {
    Show();
    ASSERT_TRUE(PointerAway());
    uitest::WaitFor([this] { return Btn->FadeTimer() == nullptr; });
    uitest::Settle(W());
  }
  // The left border strip of the button on the screen (the state frame's colour).
  COLORREF Strip() const { return uitest::WindowPixel(Btn->Handle(), 0, 15); }
  // The real timer is stopped: the test runs the ticks.
  TsFadeTimer* Halted() {
    TsFadeTimer* T = Btn->FadeTimer();
    if (T != nullptr) T->SetEnabled(false);
    return T;
  }
};

// What a frame shows at step Step of Steps between Old and New, per channel: New * (255 - a) +
// Old * a, rounded by 127 and divided by 256, with a = 255 - Step * 256 / Steps (limited to
// 0..255).
COLORREF Blend(COLORREF Old, COLORREF New, int Step, int Steps) {
  int A = 255 - (Step * 256) / Steps;
  A = A < 0 ? 0 : (A > 255 ? 255 : A);
  if (A == 0) return New;  // the last step is the new picture itself
  auto Ch = [A](int O, int N) { return (N * (255 - A) + O * A + 127) >> 8; };
  return RGB(Ch(R(Old), R(New)), Ch(G(Old), G(New)), Ch(B(Old), B(New)));
}

COLORREF StartPixel(TsFadeTimer* T) { return ColorToRGB(T->StartImage()->Canvas()->Pixels(0, 15)); }

}  // namespace

TEST(OwnctlFade, BlendsStepByStepAndEndsInTheNewLook) {
  auto M = LoadStatesSkin(4);
  TFadeForm F;
  F.ShowCalm();
  const COLORREF Old = ColorToRGB(StateColors[0]), New = ColorToRGB(StateColors[1]);
  ASSERT_EQ(F.Strip(), Old);
  F.Btn->Perform(CM_MOUSEENTER, 0, 0);
  TsFadeTimer* T = F.Halted();
  ASSERT_NE(T, nullptr);
  EXPECT_EQ(T->Owner(), F.Btn);
  EXPECT_EQ(T->Iterations(), 4);
  EXPECT_EQ(T->CurrentStep(), 1);
  EXPECT_EQ(T->Direction(), 1);
  EXPECT_EQ(T->Interval(), 10u);
  EXPECT_EQ(StartPixel(T), Old);                                                    // the old picture
  EXPECT_EQ(ColorToRGB(F.Btn->SkinData()->CacheBmp()->Canvas()->Pixels(0, 15)), New);  // the target
  for (int Step = 1; Step <= 4; ++Step) {
    T->Timer();
    EXPECT_EQ(F.Strip(), Blend(Old, New, Step, 4)) << Step;
    EXPECT_EQ(T->CurrentStep(), Step + 1);
  }
  EXPECT_EQ(F.Strip(), New);
  // The next tick ends the fade: the control frees the timer.
  T->Timer();
  EXPECT_EQ(F.Btn->FadeTimer(), nullptr);
  uitest::Settle(F.W());
  EXPECT_EQ(F.Strip(), New);
  F.Btn->Perform(CM_MOUSELEAVE, 0, 0);
}

TEST(OwnctlFade, PressAndReleaseFadeInHalfTheSteps) {
  auto M = LoadStatesSkin(4);
  TFadeForm F;
  F.ShowCalm();
  F.Btn->Perform(CM_MOUSEENTER, 0, 0);
  TsFadeTimer* T = F.Halted();
  ASSERT_NE(T, nullptr);
  while (F.Btn->FadeTimer() != nullptr) T->Timer();
  SendMessageW(F.W(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 15));
  T = F.Halted();
  ASSERT_NE(T, nullptr);
  EXPECT_EQ(T->Iterations(), 2);
  EXPECT_EQ(StartPixel(T), ColorToRGB(StateColors[1]));
  T->Timer();
  T->Timer();
  EXPECT_EQ(F.Strip(), ColorToRGB(StateColors[2]));
  T->Timer();
  EXPECT_EQ(F.Btn->FadeTimer(), nullptr);
  SendMessageW(F.W(), WM_LBUTTONUP, 0, MAKELPARAM(60, 15));
  ASSERT_TRUE(uitest::WaitFor([&] { return F.Btn->FadeTimer() == nullptr; }));
  uitest::Settle(F.W());
  EXPECT_EQ(F.Strip(), ColorToRGB(StateColors[1]));
  F.Btn->Perform(CM_MOUSELEAVE, 0, 0);
}

TEST(OwnctlFade, ASingleStepFastFadeEndsAtOnceWithoutAFrame) {
  auto M = LoadStatesSkin(1);
  TFadeForm F;
  F.ShowCalm();
  SendMessageW(F.W(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 15));
  TsFadeTimer* T = F.Halted();
  ASSERT_NE(T, nullptr);
  EXPECT_EQ(T->Iterations(), 0);
  const COLORREF Before = F.Strip();
  T->Timer();
  EXPECT_EQ(F.Btn->FadeTimer(), nullptr);
  EXPECT_EQ(F.Strip(), Before);
  SendMessageW(F.W(), WM_LBUTTONUP, 0, MAKELPARAM(60, 15));
  uitest::WaitFor([&] { return F.Btn->FadeTimer() == nullptr; });
}

TEST(OwnctlFade, AChangeDuringAFadeStartsAgainFromWhatTheScreenShows) {
  auto M = LoadStatesSkin(4);
  TFadeForm F;
  F.ShowCalm();
  F.Btn->Perform(CM_MOUSEENTER, 0, 0);
  TsFadeTimer* T = F.Halted();
  ASSERT_NE(T, nullptr);
  T->Timer();
  T->Timer();
  const COLORREF Half = F.Strip();
  EXPECT_EQ(Half, Blend(ColorToRGB(StateColors[0]), ColorToRGB(StateColors[1]), 2, 4));
  F.Btn->Perform(CM_MOUSELEAVE, 0, 0);
  ASSERT_EQ(F.Halted(), T);  // the same timer, started again
  EXPECT_EQ(T->CurrentStep(), 1);
  EXPECT_EQ(StartPixel(T), Half);
  for (int Step = 1; Step <= 4; ++Step) T->Timer();
  EXPECT_EQ(F.Strip(), ColorToRGB(StateColors[0]));
  T->Timer();
  EXPECT_EQ(F.Btn->FadeTimer(), nullptr);
}

TEST(OwnctlFade, DisablingTheControlEndsTheFadeInTheDisabledLook) {
  auto M = LoadStatesSkin(4);
  TFadeForm F;
  F.ShowCalm();
  F.Btn->Perform(CM_MOUSEENTER, 0, 0);
  TsFadeTimer* T = F.Halted();
  ASSERT_NE(T, nullptr);
  F.Btn->SetEnabled(false);
  T = F.Btn->FadeTimer();
  if (T != nullptr) FadeStep(T);
  EXPECT_EQ(F.Btn->FadeTimer(), nullptr);  // the fade is over, its timer gone
  uitest::Settle(F.W());
  EXPECT_NE(F.Strip(), ColorToRGB(StateColors[1]));
}

// A button disabled after the last frame of a fade but before the fade's end (a click handler
// disabling the button it runs from does that) shows its disabled look once the fade ends, as a
// full repaint shows it.
TEST(OwnctlFade, DisablingTheControlAfterTheLastFrameStillShowsTheDisabledLook) {
  auto M = LoadStatesSkin(4);
  TFadeForm F;
  F.ShowCalm();
  F.Btn->Perform(CM_MOUSEENTER, 0, 0);
  TsFadeTimer* T = F.Btn->FadeTimer();
  ASSERT_NE(T, nullptr);
  T->SetInterval(3600000);  // running, but the test runs the ticks
  for (int Step = 1; Step <= 4; ++Step) T->Timer();
  ASSERT_EQ(F.Strip(), ColorToRGB(StateColors[1]));
  F.Btn->SetEnabled(false);
  uitest::Settle(F.W());
  T->Timer();
  ASSERT_EQ(F.Btn->FadeTimer(), nullptr);
  uitest::Settle(F.W());
  const COLORREF Shown = F.Strip();
  InvalidateRect(F.W(), nullptr, TRUE);
  uitest::Settle(F.W());
  EXPECT_EQ(Shown, F.Strip());
  EXPECT_NE(Shown, ColorToRGB(StateColors[1]));
}

TEST(OwnctlFade, NothingFadesForASectionWithoutFadingOrForEventsNotListed) {
  auto M = LoadStatesSkin(4);
  {
    TFadeForm F("NOFADE");
    F.ShowCalm();
    F.Btn->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_EQ(F.Btn->FadeTimer(), nullptr);
    uitest::Settle(F.W());
    EXPECT_EQ(F.Strip(), ColorToRGB(StateColors[1]));
    F.Btn->Perform(CM_MOUSELEAVE, 0, 0);
  }
  {
    TFadeForm F;
    F.Btn->SetAnimatEvents({aeMouseLeave});
    F.ShowCalm();
    F.Btn->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_EQ(F.Btn->FadeTimer(), nullptr);
    uitest::Settle(F.W());
    EXPECT_EQ(F.Strip(), ColorToRGB(StateColors[1]));
    F.Btn->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_NE(F.Halted(), nullptr);
  }
}

TEST(OwnctlFade, EventsAreAllowedByTheControlOrByTheManagersButtonSettings) {
  EXPECT_TRUE(AnimEventAllowed(aeMouseDown, {aeMouseDown}, nullptr));
  EXPECT_FALSE(AnimEventAllowed(aeMouseDown, {aeMouseUp}, nullptr));
  // aeGlobalDef without any manager: nothing decides, nothing fades.
  EXPECT_FALSE(AnimEventAllowed(aeMouseEnter, {aeGlobalDef}, nullptr));
  TsSkinManager M(nullptr);
  EXPECT_TRUE(AnimEventAllowed(aeMouseEnter, {aeGlobalDef}, nullptr));
  M.AnimEffects()->Buttons()->SetEvents({beMouseLeave, beMouseDown});
  EXPECT_FALSE(AnimEventAllowed(aeMouseEnter, {aeGlobalDef}, nullptr));
  EXPECT_TRUE(AnimEventAllowed(aeMouseLeave, {aeGlobalDef}, &M));
  EXPECT_TRUE(AnimEventAllowed(aeMouseDown, {aeGlobalDef}, &M));
  EXPECT_FALSE(AnimEventAllowed(aeMouseUp, {aeGlobalDef}, &M));
  M.AnimEffects()->Buttons()->SetEvents({beMouseUp});
  EXPECT_TRUE(AnimEventAllowed(aeGlobalDef, {aeGlobalDef}, &M));
}

TEST(OwnctlFade, StopFadeFreesTheTimerAndIgnoresNone) {
  TsFadeTimer* None = nullptr;
  StopFade(None);
  EXPECT_EQ(None, nullptr);
  TTestForm F;
  auto* T = new TsFadeTimer(F.Form);
  EXPECT_EQ(T->Direction(), 0);
  EXPECT_FALSE(T->Enabled());
  T->SetCurrentStep(-3);
  T->SetDirection(1);
  EXPECT_EQ(T->CurrentStep(), 1);
  EXPECT_TRUE(T->Enabled());
  EXPECT_TRUE(T->Running() || T->Interval() == 0);
  StopFade(T);
  EXPECT_EQ(T, nullptr);
  // Without skin data a tick does nothing.
  TsFadeTimer Lone(nullptr);
  Lone.Timer();
  FadeStep(&Lone);
  FadeStep(nullptr);
}
