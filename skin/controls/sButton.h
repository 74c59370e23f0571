// TsButton: the framework's push button made owner-drawn and painted from the skin (section
// "BUTTON" by default, control-kind code 93). It keeps its picture in the skin data's cache
// bitmap, cuts its window region to the opaque pixels of the section's border mask, fades between
// its normal, hot and pressed looks (sFade.h), draws its caption in the section's font colours
// with an optional dotted focus frame, and derives its disabled look from the enabled picture.
// Without an active skin it is a standard push button. OnClick fires on a click as for TButton.
// Win32.
#pragma once

#include <functional>
#include <memory>

#include "framework/StdCtrls.h"
#include "skin/controls/sFade.h"
#include "skin/core/acPixels.h"
#include "skin/core/sCommonData.h"

class TsButton : public TButton {
  T_CLASS(TsButton, TButton)

 public:
  static constexpr int KindCode = 93;

  explicit TsButton(TComponent* AOwner);
  ~TsButton() override;

  // The skin binding; SkinData()->SetSkinSection chooses the section.
  TsCommonData* SkinData() const { return FSkinData.get(); }

  // Shown pressed while True. A change rebuilds the region and repaints (unless loading).
  bool Down() const { return FDown; }
  void SetDown(bool Value);
  // The focus frame is the caption rectangle grown by this much (default 1).
  int FocusMargin() const { return FFocusMargin; }
  void SetFocusMargin(int Value) { FFocusMargin = Value; }
  // How the disabled look is made (default dkBlended).
  TsDisabledKind DisabledKind() const { return FDisabledKind; }
  void SetDisabledKind(TsDisabledKind Value);
  // Which state changes fade (default aeGlobalDef: the manager's settings decide).
  TacAnimatEvents AnimatEvents() const { return FAnimatEvents; }
  void SetAnimatEvents(TacAnimatEvents Value) { FAnimatEvents = Value; }
  // The dotted focus frame is drawn (when the section's SHOWFOCUS allows it too). Default True.
  bool ShowFocus() const { return FShowFocus; }
  void SetShowFocus(bool Value);

  // The running fade, nullptr when none.
  TsFadeTimer* FadeTimer() const { return FFadeTimer; }
  // The paint state now: 0 normal, 1 hot or default, 2 pressed.
  int CurrentState();
  // The rectangle of the caption in the cache picture (moved by one pixel when pressed).
  void CaptionRect(TRect& Rect);
  // Repaints the cache bitmap in the current state (section, border, caption, disabled look).
  void PrepareCache();

  void Loaded() override;

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void SetButtonStyle(bool ADefault) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void WndProc(TMessage& Message) override;
  void WMKeyUp(TMessage& Message) override;
  void CNMeasureItem(TMessage& Message) override;

  virtual void DrawCaption(TRect& Rect, UINT Flags);
  virtual void PaintCaption();

 private:
  int TextAreaWidth();
  TSize CaptionSize();
  // Paints the button from the cache into DC (0: the window's DC).
  void PaintButtonCache(HDC DC);
  // The messages of a skinned, ready button; false: go on with the general path.
  bool SkinnedMessage(TMessage& Message);
  // HandleCommonMessage, the inherited handling and what follows it.
  void GeneralPath(TMessage& Message);
  // Runs Handler with the window's drawing switched off; the drawing comes back however Handler
  // ends, and the window is painted again: switching the drawing off dropped what was waiting to
  // be painted (the skin may even have gone meanwhile, and the button with it become a plain one).
  // Handler may reach a handler of the program's that frees the button (with its parent or form):
  // answers whether the button is still there, and a freed one is touched no more.
  bool WithoutRedraw(const std::function<void()>& Handler);
  // Calls a handler of the pointer coming or going (when set); answers whether the button
  // outlived it.
  bool HearPointer(const TNotifyEvent& Handler);
  void DeletePendingRegion();
  // The button's skin data is skinned by an active skin.
  bool SkinActive() const;

  std::unique_ptr<TsCommonData> FSkinData;
  bool FMousePressed = false;
  bool FDown = false;
  bool FRegionChanged = true;
  int FFocusMargin = 1;
  TsDisabledKind FDisabledKind{dkBlended};
  TsFadeTimer* FFadeTimer = nullptr;
  // A paint came while a fade ran (a change of look the fade does not end in): repaint at its end.
  bool FPaintAfterFade = false;
  TacAnimatEvents FAnimatEvents{aeGlobalDef};
  TRect FOldBounds;
  bool FShowFocus = true;
  bool FDefaultStyled = false;
  // The region built by the last cache repaint and not yet given to the window; the value 1
  // means that no region has been applied yet.
  HRGN FRegion = reinterpret_cast<HRGN>(1);
};
