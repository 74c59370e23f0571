// TsCustomLabel and TsLabel: the framework's label made ready to follow the skin. A label has no
// skin data object of its own: SkinSection names an optional section to paint under the text,
// and TsLabel's UseSkinColor lets the skin choose the text colour. The label is transparent.
// Until the skin engine paints, both paint exactly as TLabel. Win32.
#pragma once

#include "framework/StdCtrls.h"

class TsCustomLabel : public TCustomLabel {
  T_CLASS(TsCustomLabel, TCustomLabel)

 public:
  explicit TsCustomLabel(TComponent* AOwner);

  // The section painted under the text (empty: none). Stored as given; a change repaints.
  const AnsiString& SkinSection() const { return FSkinSection; }
  void SetSkinSection(const AnsiString& Value);

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

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

 private:
  bool FUseSkinColor = true;
};
