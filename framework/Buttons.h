// Buttons with a glyph. Win32.
//
//  - TBitBtn: a push button (an owner-drawn "BUTTON") that shows a glyph beside its caption.
//  - TSpeedButton: a graphic control that acts as a button: pressed while the left button is
//    held on it, clicked when released over it; with a GroupIndex it stays down, and pressing
//    one button of a group (same parent and GroupIndex) lets the others up. Flat buttons show
//    their frame only under the mouse or while down.
//
// The glyph of both is a bitmap of NumGlyphs frames side by side: up, disabled, pressed and down.
// A 32-bit glyph is blended by its alpha channel (straight, not premultiplied alpha); any other
// glyph has a transparent colour, the colour of its lower-left pixel. Layout puts the glyph left
// of, right of, above or below the caption; Margin is the distance of the glyph (or, without a
// glyph, the caption) from the edge Layout names, -1 centring glyph and caption together; Spacing
// is the gap between glyph and caption (none when either is missing).
//
// Glyph, NumGlyphs, Layout, Margin, Spacing and Down (and the speed button's GroupIndex,
// AllowAllUp and Flat) are published.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/StdCtrls.h"

// Glyph and caption rectangles inside a Width x Height button by the rules above: GlyphSize is
// one frame's size ((0, 0) for none), TextSize the caption's ((0, 0) for none). Cross axes are
// centred; Pressed moves both one pixel right and down.
void ButtonGlyphLayout(int Width, int Height, TSize GlyphSize, TSize TextSize, TButtonLayout Layout, int Margin,
                       int Spacing, bool Pressed, TRect& GlyphRect, TRect& TextRect);
// Draws frame Index (0 .. NumGlyphs - 1) of Glyph with its top-left corner at (X, Y) of DC.
void DrawButtonGlyph(HDC DC, int X, int Y, TBitmap* Glyph, int NumGlyphs, int Index);

// The glyph of a glyph button and its placement, over the control class Base; a change repaints
// the button.
template <class Base>
class TGlyphButton : public Base {
 public:
  explicit TGlyphButton(TComponent* AOwner) : Base(AOwner), FGlyph(std::make_unique<TBitmap>()) {
    FGlyph->OnChange = [this](TObject*) { this->Invalidate(); };
  }
  ~TGlyphButton() override { FGlyph->OnChange = nullptr; }

  // The glyph (owned; SetGlyph copies the bitmap given).
  TBitmap* Glyph() const { return FGlyph.get(); }
  void SetGlyph(TBitmap* Value) { FGlyph->Assign(Value); }
  // 1 .. 4.
  int NumGlyphs() const { return FNumGlyphs; }
  void SetNumGlyphs(int Value) { Change(FNumGlyphs, Value < 1 ? 1 : (Value > 4 ? 4 : Value)); }
  TButtonLayout Layout() const { return FLayout; }
  void SetLayout(TButtonLayout Value) { Change(FLayout, Value); }
  // -1: centred.
  int Margin() const { return FMargin; }
  void SetMargin(int Value) {
    if (Value >= -1) Change(FMargin, Value);
  }
  int Spacing() const { return FSpacing; }
  void SetSpacing(int Value) { Change(FSpacing, Value); }

 protected:
  template <class V>
  void Change(V& Field, V Value) {
    if (Field == Value) return;
    Field = Value;
    this->Invalidate();
  }
  std::unique_ptr<TBitmap> FGlyph;
  int FNumGlyphs = 1;
  TButtonLayout FLayout = blGlyphLeft;
  int FMargin = -1;
  int FSpacing = 4;
};

class TBitBtn : public TGlyphButton<TButton> {
  T_CLASS(TBitBtn, TButton)

 public:
  explicit TBitBtn(TComponent* AOwner);

 protected:
  void DrawButtonFace(TCanvas* ACanvas, const TRect& ARect, bool Pushed, bool Focused) override;
};

enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

class TSpeedButton : public TGlyphButton<TGraphicControl> {
  T_CLASS(TSpeedButton, TGraphicControl)

 public:
  explicit TSpeedButton(TComponent* AOwner);

  // Buttons of one group (same parent and GroupIndex above 0) are down one at a time.
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int Value);
  // A down button of the group may be clicked up, leaving none down.
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool Value);
  // Only a button with a GroupIndex stays down.
  bool Down() const { return FDown; }
  void SetDown(bool Value);
  bool Flat() const { return FFlat; }
  void SetFlat(bool Value);
  // Up; Down while pressed by the mouse; Exclusive while it stays down; Disabled.
  TButtonState State() const { return FState; }
  // The mouse is over the button.
  bool MouseInControl() const { return FMouseInControl; }

  void Click() override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void CMEnabledChanged(TMessage& Message) override;
  void CMMouseEnter(TMessage& Message) override;
  void CMMouseLeave(TMessage& Message) override;
  void CMTextChanged(TMessage& Message) override;

 private:
  void UpdateExclusive();
  void SetState(TButtonState Value);
  int FGroupIndex = 0;
  bool FAllowAllUp = false;
  bool FDown = false;
  bool FFlat = false;
  bool FDragging = false;
  bool FMouseInControl = false;
  TButtonState FState = bsUp;
};
