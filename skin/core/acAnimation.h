// Control-tree snapshots and the animated form show. Win32.
//
// When a skin changes, or a form is shown with an animation, the engine paints a picture of the
// form with all its controls as they will look and fades it in over what is on the screen before
// the form draws itself. A form with an extended-border window fades through a temporary layered
// window; any other control through a plain output window (TOutputWindow) placed over it, into
// which the steps of the fade (screen capture mixed with the snapshot) are copied.
//
// Every fade step pauses 8 ms; the number of steps is (Time and $FFFF) shr 3, so a Time below 8
// shows the final picture at once, and at most one per level of the fade's target (255, or the
// form's AlphaBlendValue), so that every step changes the picture and a fade lasts about 2 s at
// most. While an animation runs acFormsUpdating (sFormList.h) is set,
// and while the snapshot is painted acAnimationDC holds its device context: skinned controls
// paint into it although their drawing is locked.
#pragma once

#include <windows.h>

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"

// The device context of the snapshot being painted (0 when none).
extern HDC acAnimationDC;

// The pause between two steps of a fade (Sleep by default); a test may replace it to look at
// each step as it is shown.
extern void (*acFadePause)(int Milliseconds);

// The auxiliary window of the plain path: text "acOutputWindow", invisible when created, Color
// $800080. Without a parent control and parent window it is a popup window owned by the
// application window, topmost when its owner is a windowed control whose window is topmost. It
// paints nothing itself (WM_ERASEBKGND answered 1, WM_NCPAINT 0): the animation draws into its DC.
class TOutputWindow : public TCustomControl {
  T_CLASS(TOutputWindow, TCustomControl)

 public:
  explicit TOutputWindow(TComponent* AOwner);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Dispatch(TMessage& Message) override;
};

// The output window of the animation in progress (nullptr when none).
TOutputWindow* acOutputWindow();

// Paints Control and its windowed descendants into Bmp, Control's origin at the current origin
// of Bmp's DC, (X, Y) being that origin in Bmp for the parent-background case. Provider is the
// form's skin provider or nullptr. An invisible Control paints as its parent's background. With a
// provider that has a border window, the client area gets alpha 255 in the 32-bit Bmp.
// EInvalidOperation for a null Bmp or Control.
void PaintControlTree(TBitmap* Bmp, TControl* Control, int X, TObject* Provider, int Y);

// Shows Control (normally a form whose drawing is locked) with a fade lasting about Time
// milliseconds; Time below 8 shows it at once. Ends with WM_SETREDRAW 1 to Control, Control
// redrawn, acFormsUpdating cleared and no temporary window left. Nothing for nullptr or a
// control without a window.
void AnimateFormShow(TWinControl* Control, int Time);

// Captures the screen under Control once and places the output window over it (nothing when the
// output window exists already).
void ShowOutputWindow(TWinControl* Control);
