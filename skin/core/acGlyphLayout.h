// Placement of a glyph and a caption inside a button's client rectangle. Portable.
#pragma once

#include "framework/Types.h"

// TButtonLayout (where the glyph stands) is the framework's own (framework/Types.h).

// Bidirectional flag: right-to-left reading; blGlyphLeft and blGlyphRight swap.
inline constexpr int GlyphLayoutRightToLeft = 2;

// Computes the glyph position GlyphPos (in the coordinates of Client's parent) and the caption
// bounds TextBounds (a rectangle of TextSize) inside Client.
//  - Margin: the distance of glyph or caption from the edge the alignment names; -1 chooses it
//    (centred with taCenter, else 2 pixels; with an automatic spacing a third of the free room).
//  - Spacing: the gap between glyph and caption; negative chooses it. It is 0 when there is no
//    caption or no glyph (zero width).
//  - The cross axis is always centred; a top or bottom layout is centred on both axes.
//  - BiDiFlags with GlyphLayoutRightToLeft set swap left and right layouts.
// Halvings round toward zero. ERangeError for sizes or positions beyond +-2^26.
void CalcGlyphLayout(const TRect& Client, TPoint GlyphSize, TPoint TextSize, TButtonLayout Layout,
                     TAlignment Alignment, int Margin, int Spacing, int BiDiFlags, TPoint& GlyphPos,
                     TRect& TextBounds);
