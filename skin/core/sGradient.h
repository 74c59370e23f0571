// Gradients of skin sections.
//
// A section's gradient is a text of decimal integers separated by ";" (the GRADIENTDATA value of
// the skin's options). Numbers come in groups of five per stop: Color1; Color2; Percent; Mode; a
// fifth that is skipped. The parsed stops fill a rectangle of a work bitmap in one of three modes
// chosen by the first stop's Mode: 0 bands from top to bottom, 1 bands from left to right, 2 a
// fill of four triangles through the system's GradientFill. The parser and the band modes are
// portable; mode 2 and the bitmap entry point are Win32.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/Types.h"
#include "skin/core/acPixels.h"

// One stop of a gradient: it runs from Color1 to Color2 over Percent (0..100) of the painted
// extent. Only the first stop's Mode is used.
struct TsGradStop {
  TColor Color1 = 0;
  TColor Color2 = 0;
  Byte Percent = 0;
  std::int32_t Mode = 0;
  friend bool operator==(const TsGradStop&, const TsGradStop&) = default;
};
using TsGradArray = std::vector<TsGradStop>;

// A section's gradient as a loaded skin holds it: the text and the stops parsed from it. Sections
// that take the same text (children inheriting it, or any section of a skin whose texts repeat)
// share one gradient, which nothing changes once it is made.
struct TsGradient {
  AnsiString Text;
  TsGradArray Stops;
};
using TsGradientRef = std::shared_ptr<const TsGradient>;
// A new gradient of Text: parsed unless Text is exactly one blank (the mark of "no gradient").
// EConvertError as ParseGradientData.
TsGradientRef MakeGradient(AnsiString Text);
// The shared gradients without stops of the texts " " and "" (the defaults of a section's
// gradient and hot gradient).
const TsGradientRef& BlankGradient();
const TsGradientRef& EmptyGradient();

// Parses a gradient text into Stops (emptied first). Runs of separators count as one; leading and
// trailing separators are ignored; numbers beyond the last whole group of five are ignored.
// Colours below 0 become 0 and Percent is limited to 0..100; Mode is kept as written. A number
// that is not an integer raises EConvertError ("'%s' is not a valid integer value").
void ParseGradientData(const AnsiString& Text, TsGradArray& Stops);

// Paints the stops into R of a 24- or 32-bit image (32-bit pixels get alpha 255). R is clipped
// to the image; Offset moves the bands of mode 0 down (or up), and rows it moves out of R are not
// painted. Unused is ignored. Modes 0 and 1 only: mode 2 needs a device context (see the Win32
// overload) and other modes paint nothing. ERangeError for an Offset beyond +-2^24.
void PaintGradient(const TacPixels& Bmp, TRect R, const TsGradArray& Stops, int Unused, int Offset);

// The four-triangle fill of mode 2 for a (clipped) rectangle: vertex 0 at the top-left corner,
// 1 in the centre, 2 top-right, 3 bottom-right, 4 bottom-left, each in the Color1 of the stop of
// its index (or of the vertex before it when there are fewer stops).
struct TsGradVertex {
  int X = 0;
  int Y = 0;
  TColor Color = 0;
};
void GradientVertices(const TRect& R, const TsGradArray& Stops, TsGradVertex (&Vertices)[5]);
// The triangles of the fill by vertex index.
inline constexpr int GradientTriangles[4][3] = {{0, 1, 2}, {1, 2, 3}, {0, 1, 4}, {4, 1, 3}};

#ifdef _WIN32

// Paints the stops into R of a bitmap: modes 0 and 1 on pf24bit and pf32bit bitmaps (other
// formats are left), mode 2 through GradientFill on the bitmap's canvas (nothing when the system
// lacks it). EInvalidGraphicOperation without a bitmap.
void PaintGradient(TBitmap* Bmp, TRect R, const TsGradArray& Stops, int Unused, int Offset);

// The unit's start-up loads "msimg32.dll" and looks up GradientFill; shut-down frees it. Calls
// nest: only the outermost pair acts. The unit starts itself when the program starts.
void GradientUnitStartup();
void GradientUnitShutdown();
// GradientFill was found and mode 2 paints.
bool GradientFillAvailable();

#endif
