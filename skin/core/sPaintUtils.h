// Small drawing services of the skin engine used by every painter: solid fills of rectangles and
// frames, copies of frame strips, clipping away child graphic controls, text measuring and
// output, the caption text of skinned controls in the colours of their skin section (with the
// one-pixel contour passes and the disabled colour), colour mixing, 3-D frames, a dotted focus
// frame, a soft rounded shadow, and the texture painters that fill a rectangle with a skin
// texture in one of the fill modes.
//
// Texture fill modes (PaintTexture; the DrawMode of a texture image):
//   0 tile the whole rectangle            1 stretch over the whole rectangle
//   2 tile one band along the top         3 tile one band down the left side
//   4 stretch one band along the top      5 stretch one band down the left side
//   6 tile one band along the bottom      7 (and unknown values) tile one band down the right side
//   10 whole tiles only, the bottom remainder left
// A band painter returns the part of the rectangle it left for the caller to fill; a painter that
// covered everything returns (-1, -1, -1, -1). Nothing is ever painted outside the rectangle.
//
// The pure computations (colour mixing, text cutting, the tiling plans, the shadow's grey levels)
// are portable (sPaintUtils.cpp); the drawing is Win32 (sPaintUtilsWin.cpp).
#pragma once

#include <functional>
#include <vector>

#include "framework/Types.h"
#include "skin/core/acPixels.h"
#include "skin/core/sMaskData.h"

// ---------------------------------------------------------------------------------------------
// Portable

// Per channel round(c1 * K + c2 * (1 - K)) (nearest, ties to even), each result kept as its low
// byte; the high byte of C1 is kept. No system-colour conversion.
TColor MixColorsLinear(TColor C1, TColor C2, double K);
// The colour unchanged.
constexpr TColor MakeColorRec(TColor C) { return C; }

// The text cut to Width with an ellipsis: "" when Width < 1; the text itself when it fits;
// otherwise its longest prefix that fits with "..." appended, plus "..."; "" when no non-empty
// prefix fits. Measure gives the width of a text. A surrogate pair is never split.
WideString CutTextToWidth(const WideString& Text, int Width, const std::function<int(const WideString&)>& Measure);
AnsiString CutTextToWidth(const AnsiString& Text, int Width, const std::function<int(const AnsiString&)>& Measure);

// The "no rectangle left" answer of the texture painters.
inline constexpr TRect acNoRect{-1, -1, -1, -1};

// How a texture fill mode covers a rectangle with a texture W x H: the texture is laid
// periodically from Anchor over Area (Stretch false), or stretched once over Area (Stretch true).
// Area lies inside the rectangle; Rest is the rectangle handed back to the caller. An empty
// texture or rectangle gives an empty Area and Rest = the rectangle.
struct TacTexturePlan {
  TRect Area;
  TPoint Anchor;
  bool Stretch = false;
  TRect Rest;
};
TacTexturePlan TexturePlan(const TRect& R, int W, int H, int Mode);
// The whole tiles and remainders of a masked texture W x H in mode 0 or 10: Tiles is the area
// covered by tiles laid from (R.Left, R.Top); in mode 10 the strips Bottom (R.Left, tiles' bottom,
// R.Right, R.Bottom) and Right (tiles' right, R.Top, R.Right, R.Bottom) come from the background
// (empty strips when there is nothing left).
struct TacMaskedPlan {
  TRect Tiles;
  TRect BottomStrip;
  TRect RightStrip;
};
TacMaskedPlan MaskedTexturePlan(const TRect& R, int W, int H, int Mode);

// The common part of two rectangles; all zero when they do not overlap.
TRect RectIntersection(const TRect& A, const TRect& B);

// Copies SrcRect of Src periodically into Area of Dst, the tile grid anchored at Anchor (the
// pixel at Anchor gets SrcRect's top-left pixel). 24- or 32-bit images (32-bit targets of a
// 24-bit source get alpha 255); Area is clipped to Dst, SrcRect to Src. Other depths do nothing.
void TilePixels(const TacPixels& Dst, TRect Area, TPoint Anchor, const TacPixels& Src, TRect SrcRect);

// The grey levels of the rings of PaintRoundShadow for a W x H rectangle: Blur and Radius after
// limiting to min(W div 2, H div 2); Levels[i] for ring i = 0..Blur (ring 0 is 255), and Core the
// level of the centre.
struct TacShadowRings {
  int Blur = 0;
  int Radius = 0;
  std::vector<int> Levels;
  int Core = 0;
};
TacShadowRings ShadowRings(int W, int H, int Percent, int Blur, int Radius);

// A frame paint that comes before the report of a window's new size (the system paints the frame
// of a window whose size changes before it reports the size): its owner leaves it for the report,
// once per size, and a size it is not told of by its next frame paint is painted as it is.
class TacFramePaintWait {
 public:
  // True when the frame paint of a window of size Now, told of size Told, waits for the report.
  bool Wait(TSize Now, TSize Told) {
    if (!(Now == Told) && !(Now == FWaiting)) {
      FWaiting = Now;
      return true;
    }
    Clear();
    return false;
  }
  void Clear() { FWaiting = TSize{-1, -1}; }
  // A frame paint waits: the report (or the next paint) makes it.
  bool Pending() const { return FWaiting.cx >= 0; }

 private:
  TSize FWaiting{-1, -1};
};

// ---------------------------------------------------------------------------------------------
// Drawing (Win32)

#ifdef _WIN32
#include <windows.h>

class TCanvas;
class TGraphic;
class TBitmap;
class TWinControl;
class TsCommonData;
class TsSkinManager;

// Fills R with the colour (system colours resolved); the DC's state is kept.
void FillRectSolid(HDC DC, const TRect& R, TColor Color);
// Fills the four strips of a frame inside R: the top strip (L, T, R, T + Top) across, the left
// (L, T + Top, L + Left, B), the bottom (L + Left, B - Bottom, R, B), the right (R - Right,
// T + Top, R, B - Bottom). Strips of width 0 or below draw nothing.
void FillFrameSolid(HDC DC, const TRect& R, int Left, int Top, int Right, int Bottom, TColor Color);
// Copies the frame strips of thickness T of a W x H area at (SX, SY) of SrcDC to the same strips
// of the area at (X, Y) of DstDC: left (T x H), top (W - T x T), right (T x H - T) and bottom
// (W - T x T); T is limited to the area, and nothing outside the W x H area is written.
void BltFrame(HDC DstDC, int X, int Y, int W, int H, HDC SrcDC, int SX, int SY, int T);
// Excludes from the DC's clip region every visible child graphic control of Control (other than
// a splitter of the skin engine), moved by (OffsetX, OffsetY).
void ExcludeGraphicControls(HDC DC, TWinControl* Control, int OffsetX, int OffsetY);

// An icon drawn into an image, remembered with the pixels it went over: the same icon at the same
// size over the same pixels is copied from that memory instead of drawn again (the system takes
// milliseconds for an icon with alpha, and a form's title is built anew at every size).
class TacIconStamp {
 public:
  // Draws Icon at (X, Y) of Bmp in W x H, as DrawIconEx with DI_NORMAL does.
  void Draw(TBitmap* Bmp, int X, int Y, HICON Icon, int W, int H);
  // How often the system drew the icon (a drawing served from the memory is not counted).
  int SystemDraws() const { return FSystemDraws; }

 private:
  HICON FIcon = nullptr;
  int FWidth = 0, FHeight = 0, FBits = 0;
  std::vector<Byte> FUnder, FDrawn;
  int FSystemDraws = 0;
};

// CutTextToWidth measured with the canvas's font.
void CutTextToWidth(TCanvas* Canvas, const WideString& Text, int Width, WideString& Result);
void CutTextToWidth(TCanvas* Canvas, const AnsiString& Text, int Width, AnsiString& Result);
// DrawText of the whole text into R with the DT_ flags.
void DrawTextStr(HDC DC, const WideString& Text, TRect& R, UINT Flags);
void DrawTextStr(HDC DC, const AnsiString& Text, TRect& R, UINT Flags);
// The canvas's text extent / width.
int GetTextWidth(TCanvas* Canvas, const WideString& Text);
int GetTextWidth(TCanvas* Canvas, const AnsiString& Text);
void GetTextExtent(TCanvas* Canvas, const WideString& Text, TSize& Size);
void GetTextExtent(TCanvas* Canvas, const AnsiString& Text, TSize& Size);
// The canvas's TextRect.
void DrawTextRect(TCanvas* Canvas, const TRect& R, int X, int Y, const WideString& Text);
void DrawTextRect(TCanvas* Canvas, const TRect& R, int X, int Y, const AnsiString& Text);

// Text in the colours of a skin section (Manager nullptr: the default manager): nothing without
// a default manager, for a section index the manager does not know, or for a null text.
// Disabled: one pass in MixColorsLinear(FontColor, Color, 0.4). Enabled: the contour passes
// (left, top, right, bottom contour colour, each at R moved one pixel that way; a colour of -1
// skips its pass), then the main pass in the font colour at R; Hot takes the hot colours. The
// brush style becomes clear and the canvas font colour is left at the last pass's colour.
void DrawSectionText(TCanvas* Canvas, const wchar_t* Text, bool Enabled, TRect& R, UINT Flags, int SkinIndex,
                     bool Hot, TsSkinManager* Manager = nullptr);
void WriteSectionText(TCanvas* Canvas, const wchar_t* Text, bool Enabled, TRect& R, UINT Flags, int SkinIndex,
                      bool Hot, TsSkinManager* Manager = nullptr);

// The caption of a skinned control: the canvas takes the owner control's font (and the underline
// style when Hot on a "WEBBUTTON" section); the text is clipped to R. Colours come from the skin
// data's section (or, for transparent check boxes, radio buttons, group boxes and graphic controls
// with ParentFont, from the parent's font section); CustomFont keeps the control's font colour
// and draws no contour. The main pass adds DT_NOCLIP. Disabled text is mixed with the skin's
// global colour.
void DrawCaptionText(TCanvas* Canvas, const wchar_t* Text, bool Enabled, TRect& R, UINT Flags,
                     TsCommonData* SkinData, bool Hot);
void WriteCaptionText(TCanvas* Canvas, const wchar_t* Text, bool Enabled, TRect& R, UINT Flags,
                      TsCommonData* SkinData, bool Hot, int Unused);

// Rings of a raised or sunken frame: Width rings inward from R, the top and left lines in
// TopLeft, the bottom and right ones in BottomRight (system colours resolved in both, so that a
// frame in button-shadow and highlight colours shows them). On return R is the inner rectangle
// and Width 0.
void Draw3DFrame(HDC DC, TRect& R, TColor TopLeft, int& Width, TColor BottomRight);
// A dotted frame: black dots every third pixel along the edges of R, each with a white dot one
// pixel up and left.
void DrawDottedFocusRect(TCanvas* Canvas, const TRect& R);
// A soft rounded shadow in Colour over R of a 24-bit bitmap: Blur rings of rounded rectangles
// from the edge inward, the centre taking the colour at Percent % transparency. Rectangles
// outside the bitmap are clipped.
void PaintRoundShadow(TBitmap* Bmp, const TRect& R, int Percent, TColor Color, int Blur, int Radius);

// Tiles a bitmap or a JPEG picture over R from R's top-left corner; other or empty graphics draw
// nothing.
void TileGraphic(TCanvas* Canvas, const TRect& R, TGraphic* Graphic);
// Paints a texture over R of the target in a fill mode: a non-empty Graphic is tiled over all of
// R; otherwise the texture is Mask.R of its manager's master bitmap (nothing without a manager or
// with an empty Mask.R). On return R holds the part left unpainted, or acNoRect.
void PaintTexture(TBitmap* Target, TRect& R, TGraphic* Graphic, int FillMode, const TsMaskData& Mask);
// Tiles the first frame of a masked texture image (frame Width(Mask.R) div ImageCount wide,
// Height(Mask.R) div 2 high, the mask below) over R, key pixels taken from the background cache.
// Mode 0 tiles all of R; mode 10 whole tiles only and copies the remainders from the cache (or
// fills them with its FillColor); other modes paint nothing and leave R. On return R is acNoRect
// after painting.
void PaintMaskedTexture(TBitmap* Target, TRect& R, const TCacheInfo& CI, int FillMode, const TsMaskData& Mask);

#endif
