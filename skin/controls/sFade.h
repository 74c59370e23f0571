// The fade of a skinned control between two looks. When a control's state changes (the mouse
// enters or leaves, the control is pressed or released) the old picture is not replaced at once:
// a TsFadeTimer snapshots what is on the screen and, on every tick, blends the control's newly
// painted cache bitmap over that snapshot a little more, until the new picture shows alone.
//
// The control keeps one field (TsFadeTimer* or nullptr) and hands it to the routines by
// reference; they make the timer on demand (owned by the control) and free it when the fade ends.
// The control answers the skin commands of the fade:
//  - AC_PREPARECACHE: repaint the cache bitmap in the current state (the target picture);
//  - AC_ANIMFRAME (LParam = the frame bitmap): 0 lets the timer copy the frame to the window;
//  - AC_BEFOREREFRESH sent by the timer when the last step has passed: stop the fade (StopFade).
// Win32.
#pragma once

#include <memory>

#include "framework/Graphics.h"
#include "framework/Timers.h"
#include "framework/Types.h"

class TsCommonData;
class TsSkinManager;

// The events of a control on which it may animate.
enum TacAnimatEvent { aeMouseEnter, aeMouseLeave, aeMouseDown, aeMouseUp, aeGlobalDef };
using TacAnimatEvents = TSet<TacAnimatEvent>;

// The fade's command sent to the control when the last step has been shown (the control answers
// it with StopFade).
inline constexpr Word AC_FADEENDED = 16;

class TsFadeTimer : public TTimer {
  T_CLASS(TsFadeTimer, TTimer)

 public:
  // Stopped (direction 0, disabled), with an empty start image.
  explicit TsFadeTimer(TComponent* AOwner);
  ~TsFadeTimer() override;

  // 0 stopped, 1 running. A negative current step becomes 1; the timer runs while not 0.
  Byte Direction() const { return FDirection; }
  void SetDirection(Byte Value);

  // The animated control's skin binding (not owned); its owner control gets the frames.
  TsCommonData* SkinData() const { return FSkinData; }
  void SetSkinData(TsCommonData* Value) { FSkinData = Value; }
  // Steps of this fade and the next one to show (from 1).
  int Iterations() const { return FIterations; }
  void SetIterations(int Value) { FIterations = Value; }
  int CurrentStep() const { return FCurrentStep; }
  void SetCurrentStep(int Value) { FCurrentStep = Value; }
  // The picture shown when the fade started, owned.
  TBitmap* StartImage() const { return FStartImage.get(); }
  // The last frame the fade put on the screen (empty before the first), owned: a fade restarted
  // while it runs starts from it.
  TBitmap* LastFrame() const { return FLastFrame.get(); }

  // The tick: when the steps are used up, AC_FADEENDED to the control (which ends the fade);
  // otherwise one frame (FadeStep).
  void Timer() override;

 private:
  // False when the fade has to end now (the control then got AC_FADEENDED) or cannot go on.
  bool CheckFinished();

  Byte FDirection = 0;
  TsCommonData* FSkinData = nullptr;
  int FIterations = 0;
  int FCurrentStep = 1;
  std::unique_ptr<TBitmap> FStartImage;
  std::unique_ptr<TBitmap> FLastFrame;
};

// Whether Event animates for a control with Events, Manager (nullptr: the default manager)
// deciding for the controls that follow the global settings (aeGlobalDef). The mapping of the
// global setting: enter, leave, down and up to the manager's button events of the same name,
// aeGlobalDef to its mouse-up event. False without a manager when the manager has to decide.
bool AnimEventAllowed(TacAnimatEvent Event, TacAnimatEvents Events, TsSkinManager* Manager);

// The control's look has changed: fades to it when AllowAnimation, no skin is being changed, the
// section fades and the control has a cache picture that is up to date; otherwise repaints at
// once (stopping a running fade). The control's glow follows in both cases. Nothing for a skin
// data that is not skinned. Fast (press and release) halves the number of steps.
void ChangeSkinState(TsFadeTimer*& FadeTimer, TsCommonData* SkinData, bool Fast, Byte Direction,
                     bool AllowAnimation);
// Starts (or restarts from step 1) a fade from what is on the screen to the look the control
// paints now: the control's cache picture, or, when a fade is running already, the last frame it
// showed. Nothing when the section does not fade.
void StartFade(TsFadeTimer*& FadeTimer, TsCommonData* SkinData, bool Fast, Byte Direction);
// Stops and frees a timer (nothing for nullptr or a timer being destroyed); the field becomes
// nullptr.
void StopFade(TsFadeTimer*& FadeTimer);
// Shows one frame of the fade on the control's window.
void FadeStep(TsFadeTimer* Timer);
