// TacSBAnimation: the fade of a skinned caption button. Win32.
//
// When the manager allows glowing, or the form has an extended-border window, a caption button
// does not switch its picture at once: the new state fades in (or the old one out) in a small
// layered, click-through window laid over the button. The animation is a timer (12 ms) owned by
// the form's skin provider (or, for a skinned dialog, by the application) and bound to one
// caption-button record, whose Timer field points back at it while it lives.
//
// Life of an animation: made by StartCaptionButtonFade for the first state change of a button;
// fade-in (hot: 10 steps, pressed: 1 step) ends with the window at full opacity over the button
// (Steps becomes -1); fade-out (normal: 10 steps) ends with AnimState -1, the timer stopped and no
// window. The object stays with its button and is reused by the next change. A fade-in that ends
// after the mouse has left the button stops and sends WM_MOUSELEAVE to the owner window, which
// returns the button to normal.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "framework/Timers.h"

class TsCommonData;
class TsSkinProvider;
struct TsCaptionButton;

// What an animation needs of the window that owns its button, for owners other than a skin
// provider (the skinned dialogs). Every member may be empty.
struct TacFadeOwner {
  // The form or dialog window.
  HWND Wnd = nullptr;
  // Its skin data (manager and images; the cache bitmap is the owner's image, which holds the
  // button background at the button's rectangle).
  TsCommonData* SkinData = nullptr;
  // The owner's extended-border window (0: none), asked at each use.
  std::function<HWND()> BorderWindow;
};

class TacSBAnimation : public TTimer {
  T_CLASS(TacSBAnimation, TTimer)

 public:
  // Step 0, AnimState 0, FadeIn False, OnTimer = OnTimerProc. The timer is left enabled as a
  // TTimer is; StartCaptionButtonFade disables it at once.
  explicit TacSBAnimation(TComponent* AOwner);
  // Stops, frees the window and the image and clears the button record's Timer.
  ~TacSBAnimation() override;

  // Switches to a new target state (0 normal, 1 hot, 2 pressed) and direction; nothing when
  // NewState is the state shown already.
  void ChangeState(int NewState, bool AFadeIn);
  // Shows the image in the layered window with a constant alpha (building both when missing).
  void SetAlpha(int Alpha);
  // Builds Image: the glow picture, or the button over its background (32 bits).
  void MakeImage();
  // Creates the layered click-through window.
  void MakeForm();
  // The screen rectangle of the image.
  void ImageRect(TRect& R);
  // The glow margin of the button ("BICON...GLOWMARGIN"); 0 when it shows no glow.
  int GlowMargin();
  // Stops and sends WM_MOUSELEAVE to the owner window when the cursor has left the button.
  void CheckMouseLeave();
  // One timer tick.
  void OnTimerProc(TObject* Sender);
  // Step size: 255 div Steps, never below 0 (and 0 for Steps 0).
  int StepSize() const;

  // The owner's data: the provider (nullptr for a dialog) or the dialog's owner record.
  TsSkinProvider* Provider = nullptr;
  TacFadeOwner Owner;
  TsCommonData* SkinData = nullptr;
  HWND WndHandle = nullptr;
  // The animated button.
  TsCaptionButton* Button = nullptr;
  int Step = 0;
  // The state being shown (0, 1, 2; -1 after a finished fade-out).
  int AnimState = 0;
  bool FadeIn = false;
  // 10 for hot/normal changes, 1 for pressed; -1 after a completed fade-in.
  int Steps = 0;
  // The layered window and its 32-bit picture (nullptr when none).
  TForm* GlowForm = nullptr;
  std::unique_ptr<TBitmap> Image;
  // The last alpha shown (for tests and the end state); -1 before the first.
  int LastAlpha = -1;

 private:
  HWND BorderWindow() const;
  void FreeWindowAndImage();
};

// Starts or retargets the fade of a caption button of a provider's form (NewState 1 with 10
// steps fading in for hot, 2 with 1 step for pressed, 0 with 10 steps fading out for normal).
void StartCaptionButtonFade(TsCaptionButton* Button, int NewState, int Steps, TsSkinProvider* Provider, bool FadeIn);
// The same for a button of another owner (a skinned dialog); the animation belongs to the
// application. Nothing when Owner has no window.
void StartCaptionButtonFade(TsCaptionButton* Button, int NewState, int Steps, const TacFadeOwner& Owner, bool FadeIn);
