// The plain twins of the shared colour routines (portable) and of the text call (Win32).
#include "grid/NxSharedDraw.h"

TColor BlendColor(TColor Color1, TColor Color2, int Alpha) {
  return detail::NxBlend(Color1, Color2, Alpha, "NxSharedDraw", __LINE__);
}

TColor MixColors(TColor Color1, TColor Color2, double Ratio) {
  return TGraphicsProvider::MixColors(Color1, Color2, Ratio);
}

#ifdef _WIN32
void DrawTextRect(TCanvas* Canvas, const TRect& Rect, bool RightToLeft, const WideString& Text, TAlignment Alignment) {
  TGraphicsProvider::DrawTextRect(Canvas, Rect, RightToLeft, Text, Alignment);
}
#endif
