// Geometry, colour and drawing routines that the grid engine, the style displays, the column
// painters and the in-place editor share.
//
// The routines are grouped as class-level operations of three field-less classes:
// TCalcProvider (geometry), TGraphicsProvider (colour and canvas drawing) and TMaskProvider
// (per-pixel work), plus a few plain routines (bitmap, rotated text and gradient drawing, pixel
// access). Geometry, colour arithmetic and the pixel loops are portable; everything that draws on
// a canvas is Win32 and declared only for the target.
//
// Colours are 0x00BBGGRR values. A negative colour names a system colour (its low byte is the
// system colour index) and is turned into RGB before any arithmetic. Blend weights are bytes
// 0..255 (255 = all of the first colour); blends by a weight shift by 8, that is, divide by 256.
#pragma once

#include <cstdint>

#include "framework/Exceptions.h"
#include "framework/Types.h"

#ifdef _WIN32
#include "framework/Graphics.h"
#endif

// 0x00BBGGRR, as the framework's graphics declare it.
using TColor = std::int32_t;

// A broken internal assumption of a routine (a blend weight outside 0..255). The message reads
// "Assertion failure (<unit>, line <n>)".
T_EXCEPTION(EAssertionFailed, Exception)

// True when text is drawn and measured with the wide-character platform calls: set at start-up
// to whether the system is of the NT family. The byte-string calls (text converted to the system
// code page) are used otherwise.
extern bool UseWideText;

// The RGB value (0x00BBGGRR) of a colour: a system colour through the system's colour table,
// any other value with its top byte cleared.
TColor NxColorToRGB(TColor Color);

namespace detail {
// The weighted blend behind every BlendColor; Unit and Line name the caller in the assertion
// message of a weight outside 0..255.
TColor NxBlend(TColor Color1, TColor Color2, int Alpha, const char* Unit, int Line);
}  // namespace detail

// Geometry.
class TCalcProvider {
 public:
  TCalcProvider() = delete;

  // False when A lies wholly left of, right of, above or below B; touching edges (and a shared
  // right/left or bottom/top coordinate) count as intersecting.
  static bool RectsIntersect(const TRect& A, const TRect& B);
  // The top-left corner of a Width x Height box placed in Rect. HorzAlign: 0 left (Rect.Left +
  // Margin), 1 right (Rect.Right - Margin - Width), 2 centred on the rectangle's centre.
  // VertAlign: 0 top, 1 bottom, 2 centred, likewise. Centres use integer division rounding
  // toward zero. Another alignment value raises ERangeError.
  static void PlaceInRect(int Width, int Height, TPoint& Point, int VertAlign, int HorzAlign, const TRect& Rect,
                          int Margin);
  // Result := (Left + DLeft, Top + DTop, Right + DRight, Bottom + DBottom).
  static void ResizeRect(const TRect& Rect, int DLeft, TRect& Result, int DBottom, int DRight, int DTop);
  // True when P lies more than Distance away from Center along either axis; the grid's drag
  // threshold is 3.
  static bool PointOutside(TPoint P, TPoint Center, int Distance);
};

// Colour and canvas drawing.
class TGraphicsProvider {
 public:
  TGraphicsProvider() = delete;

  // Per channel (C1 * Alpha + C2 * (255 - Alpha)) shr 8. Alpha outside 0..255 raises
  // EAssertionFailed.
  static TColor BlendColor(TColor Color1, TColor Color2, int Alpha);
  // Per channel round(C2 * Ratio + C1 * (1 - Ratio)), ties to even: Ratio 0 gives Color1, 1 gives
  // Color2. Ratio is limited to 0..1; a ratio that is not a number raises ERangeError.
  static TColor MixColors(TColor Color1, TColor Color2, double Ratio);
  // Each channel less Amount, kept within 0..255 (a negative amount lightens): the "darker by n"
  // of sorted columns.
  static TColor DarkenColor(TColor Color, int Amount);

#ifdef _WIN32
  // Makes Rect the canvas's clip region (SetClipRect below).
  static void SetClipRect(TCanvas* Canvas, const TRect& Rect);
  // A raised button: the rectangle inflated by -1 filled with clBtnFace, a one-pixel 3D frame on
  // the full rectangle with clBtnHighlight at the top and left and, at the bottom and right,
  // clWindowFrame when Dark, clBtnShadow otherwise.
  static void DrawButton(TCanvas* Canvas, const TRect& Rect, bool Dark);
  // The focus frame of a selected cell. Solid (the alpha-blended selection's frame): a one-pixel
  // frame in clHighlight. Otherwise the dotted focus rectangle drawn with background black and
  // text colour white (drawing it twice removes it); the DC's colours are restored afterwards.
  static void DrawSelectionFrame(TCanvas* Canvas, const TRect& Rect, bool Solid);
  // Single-line text vertically centred in Rect with an end ellipsis, no prefix processing and
  // external leading; right-aligned for taRightJustify, centred for taCenter, right-to-left
  // reading when RightToLeft. Drawn with a clear brush (the canvas's brush style is solid
  // afterwards), in the canvas's font; wide or byte-string call by UseWideText.
  static void DrawTextRect(TCanvas* Canvas, const TRect& Rect, bool RightToLeft, const WideString& Text,
                           TAlignment Alignment);
#endif
};

// Per-pixel work.
class TMaskProvider {
 public:
  TMaskProvider() = delete;

  // The same blend as TGraphicsProvider::BlendColor.
  static TColor BlendColor(TColor Color1, TColor Color2, int Alpha);
};

// ---------------------------------------------------------------------------------------------
// Pixel access on rows of 32 bits per pixel (bytes blue, green, red, alpha). Each call moves the
// pointer on by one pixel (4 bytes).

// Reads blue, green and red and skips the fourth byte.
inline void ReadPixel(const Byte*& P, Byte& B, Byte& G, Byte& R) {
  B = P[0];
  G = P[1];
  R = P[2];
  P += 4;
}
// Reads blue, green, red and alpha.
inline void ReadAlphaPixel(const Byte*& P, Byte& B, Byte& G, Byte& R, Byte& A) {
  B = P[0];
  G = P[1];
  R = P[2];
  A = P[3];
  P += 4;
}
// Writes blue, green and red and leaves the fourth byte as it is.
inline void WritePixel(Byte*& P, Byte B, Byte G, Byte R) {
  P[0] = B;
  P[1] = G;
  P[2] = R;
  P += 4;
}

// One row of the alpha drawing of a 32-bit bitmap: for Count pixels, the source pixel (B, G, R,
// A) over the destination pixel (B, G, R) with BlendColor(source, destination, A), written into
// Result as blue, green, red (Result's alpha bytes are left alone). Result may be Source.
void BlendAlphaRow(const Byte* Source, const Byte* Destination, Byte* Result, int Count);

#ifdef _WIN32
// ---------------------------------------------------------------------------------------------
// Plain drawing routines

// Creates a rectangle region, selects it as the canvas's clip region and deletes the region.
void SetClipRect(TCanvas* Canvas, const TRect& Rect);
// Text in Rect through the canvas's TextRect with Flags, in the canvas's font and with a clear
// brush (the canvas's brush style is solid afterwards); wide or byte-string call by UseWideText.
void DrawFormattedText(TCanvas* Canvas, const TRect& Rect, const WideString& Text, TTextFormat Flags);
// Draws the bitmap with its top-left corner at (X, Y): a pf32bit bitmap with per-pixel alpha
// (each source pixel blended over what the canvas shows by its alpha byte), any other format
// with Canvas->Draw (so a transparent bitmap keys out its transparent colour). Nothing for a
// null or empty bitmap.
void DrawBitmap(TCanvas* Canvas, int X, int Y, TBitmap* Bitmap);
// Text rotated by 90 degrees (reading upwards) in Rect: a copy of the canvas's font with
// escapement 900 and TrueType-only output precision, single line, placed at the bottom, drawn
// with a clear brush. With MultiLine and a text holding line breaks, each line is drawn on its
// own, the rectangle's left edge moving right by the font's height after each line. The canvas's
// own font is selected again afterwards.
void DrawVerticalText(TCanvas* Canvas, const TRect& Rect, const WideString& Text, bool MultiLine);
// A vertical gradient: one horizontal line per pixel row y of Rect (right end not drawn) in
// MixColors(Color1, Color2, (y - Top) / (Bottom - Top)); nothing for a rectangle without height.
void DrawGradient(TCanvas* Canvas, const TRect& Rect, TColor Color1, TColor Color2);
#endif
