#include "skin/core/sStyleSimply.h"

void TsSkinData::ResetValues() {
  Version = 0;
  Author.clear();
  Description.clear();
  Shadow1Color = 0;
  Shadow1Offset = 0;
  Shadow1Blur = -1;
  Shadow1Transparency = 0;
  BorderWidth = 4;
  TitleHeight = 30;
  MaxHeight = 30;
  FormOffset = 8;
  CenterOffset = 0;
  BorderMode = 0;
  BorderColor = NoBorderColor;
  BISpace = BIVAlign = BIRight = BILeft = BIKeepHue = 0;
  BICloseGlow = BICloseGlowMargin = 0;
  BIMaxGlow = BIMaxGlowMargin = 0;
  BIMinGlow = BIMinGlowMargin = 0;
}
