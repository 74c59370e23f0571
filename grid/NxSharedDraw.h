// The plain drawing routines of the grid: the colour blends and the text call as plain routines,
// next to the bitmap, rotated text, gradient, clipping and pixel-access routines that
// NxSharedCommon declares (reachable through this header too). They behave exactly as their
// twins in NxSharedCommon; BlendColor names this unit in its assertion message.
#pragma once

#include "grid/NxSharedCommon.h"

// Per channel (C1 * Alpha + C2 * (255 - Alpha)) shr 8; Alpha outside 0..255 raises
// EAssertionFailed "Assertion failure (NxSharedDraw, line <n>)".
TColor BlendColor(TColor Color1, TColor Color2, int Alpha);
// Per channel round(C2 * Ratio + C1 * (1 - Ratio)), ties to even (TGraphicsProvider::MixColors).
TColor MixColors(TColor Color1, TColor Color2, double Ratio);

#ifdef _WIN32
// Single-line, vertically centred text with an end ellipsis (TGraphicsProvider::DrawTextRect).
void DrawTextRect(TCanvas* Canvas, const TRect& Rect, bool RightToLeft, const WideString& Text, TAlignment Alignment);
#endif
