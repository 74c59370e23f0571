#include "skin/controls/sLabel.h"

#include "framework/TypInfo.h"

TsCustomLabel::TsCustomLabel(TComponent* AOwner) : TCustomLabel(AOwner) { SetTransparent(true); }

void TsCustomLabel::SetSkinSection(const AnsiString& Value) {
  if (FSkinSection == Value) return;
  FSkinSection = Value;
  Repaint();
}

TsLabel::TsLabel(TComponent* AOwner) : TsCustomLabel(AOwner) {}

T_PUBLISH(TsCustomLabel) { P.String("SkinSection", &TsCustomLabel::SkinSection, &TsCustomLabel::SetSkinSection); }

T_PUBLISH(TsLabel) { P.Boolean("UseSkinColor", &TsLabel::UseSkinColor, &TsLabel::SetUseSkinColor); }
