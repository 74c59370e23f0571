// TsCustomLabel and TsLabel: the framework's label made to follow the skin. While the default
// skin manager shows a skin, the text takes the font colour of the section of the nearest skinned
// parent (or the skin's global font colour); an optional SkinSection paints that section under
// the text and gives its font colour; a disabled label draws its text once in a mix of its font
// colour (40 %) and its parent's colour. Removing the skin gives the text the system's window
// text colour back. TsLabel's UseSkinColor (True by default) switches the colour following off.
// Without an active skin both paint exactly as TLabel. The label is transparent. Win32.
#pragma once

#include "framework/Graphics.h"
#include "framework/StdCtrls.h"

// Set while a label changes its own font during painting (the change repaints nothing).
extern bool acLabelFontLock;

class TsCustomLabel : public TCustomLabel {
  T_CLASS(TsCustomLabel, TCustomLabel)

 public:
  explicit TsCustomLabel(TComponent* AOwner);

  // The section painted under the text (empty: none). Stored as given; a change repaints.
  const AnsiString& SkinSection() const { return FSkinSection; }
  void SetSkinSection(const AnsiString& Value);

  // The font to paint with: Font, its colour changed to the skin's when a skin is shown.
  virtual TFont* GetCurrentFont();

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

 protected:
  void Paint() override;
  void DoDrawText(TRect& Rect, UINT Flags) override;
  void WndProc(TMessage& Message) override;

 private:
  AnsiString FSkinSection;
};

class TsLabel : public TsCustomLabel {
  T_CLASS(TsLabel, TsCustomLabel)

 public:
  explicit TsLabel(TComponent* AOwner);

  // The text colour follows the skin (True by default); False keeps the label's own Font colour.
  bool UseSkinColor() const { return FUseSkinColor; }
  void SetUseSkinColor(bool Value) { FUseSkinColor = Value; }

  TFont* GetCurrentFont() override;

 protected:
  void WndProc(TMessage& Message) override;

 private:
  bool FUseSkinColor = true;
};
