// What lies under a skinned control, and the colour shifts of the painting core.
//
// A skinned control that is transparent, or whose skin images have key-coloured or masked pixels,
// asks its parent for the background with SM_ALPHACMD command AC_GETBACKGROUND and a
// background-info record (TacBGInfo). The parent answers with its plain colour or with its cache
// bitmap and the asker's place in it; a parent that is not skinned gives no answer, and the asker
// then has it paint itself into a device context, or falls back to a colour. The answer becomes a
// TCacheInfo for the painters (BGInfoToCacheInfo).
//
// The key-coloured (0xFF00FF) corners of border images are cut out of window regions
// (AddMaskCornerRects) and, in a control's cache bitmap, replaced by the background
// (FillCornersFromParent, FillTransparentFromBG). CopyMaskedWithCache is the per-pixel worker of
// the masked texture painter (sPaintUtils).
//
// The pixel loops and colour routines are portable (sBackground.cpp); the queries and the bitmap
// entry points are Win32 (sBackgroundWin.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "framework/Types.h"
#include "skin/core/acPixels.h"
#include "skin/core/sMaskData.h"

// ---------------------------------------------------------------------------------------------
// Colour shifts (portable)

// Moves a colour towards its grey (Amount > 0; 100 gives the grey (R + G + B) / 3) or away from
// it (Amount < 0): each channel c := c + Amount * (m - c) / 100, rounded to nearest (ties to even)
// and limited to 0..255. Amount 0 returns the colour unchanged; otherwise a system colour is
// turned into RGB first (on Win32) and the result is an RGB value.
TColor ChangeColorSaturation(TColor Color, int Amount);

// Turns the hue of a colour by Shift degrees (any integer; the sum is taken mod 360), keeping
// its saturation and value. The colour goes through ColorToRGB (on Win32) and loses its top
// byte; greys come back unchanged.
TColor ShiftColorHsv(int Shift, TColor Color);

// ---------------------------------------------------------------------------------------------
// Corner pixel loops (portable)

// Corner selection of FillCornersFromParent: a set of bits.
inline constexpr int acCornerTopLeft = 1;
inline constexpr int acCornerBottomLeft = 2;
inline constexpr int acCornerTopRight = 4;
inline constexpr int acCornerBottomRight = 8;
inline constexpr int acCornersAll = 15;

// Corner part codes of FillTransparentFromBG (other values count as top-left).
inline constexpr int acPartTopLeft = 13;
inline constexpr int acPartTopRight = 14;
inline constexpr int acPartBottomLeft = 16;
inline constexpr int acPartBottomRight = 17;

// Appends to Rects the key-coloured runs of the corners of frame 0 of a border image whose
// picture is Src (the image's own bitmap, or the master bitmap holding Mask.R). Rows: the WT top
// rows of the frame, or with Bottom its WB bottom rows (the frame being Height(R) div
// (MaskType + 1) high); nothing when Src is not high enough for them. Left corner: columns
// 0..WL-1 of the frame at target x = column; right corner: the frame's last WR columns, placed so
// that the frame's right edge meets Width. Each run of adjacent key pixels in a row of a corner
// becomes a rectangle one pixel high (x, row + YOffset, x + run, row + YOffset + 1), row counted
// from the first corner row; left-corner rows come first. Columns outside Src are not read.
void AddMaskCornerRects(std::vector<TRect>& Rects, int Width, const TsMaskData& Mask, const TacPixels& Src,
                        int YOffset, bool Bottom);

// Replaces key pixels inside R of a 32-bit image (Dst) by the 32-bit pixels of Bg at BgPoint +
// (x, y). The key test reads KeySrc (24- or 32-bit) at KeyOrigin + (x, y), or Dst itself when
// KeySrc is nullptr; a pixel is a key pixel when its blue, green and red bytes are those of
// 0xFF00FF (alpha not looked at). Negative sizes of R count as 0; pixels whose Dst, Bg or key
// source position lies outside its image are skipped.
void FillTransparentFromBG(const TacPixels& Dst, const TacPixels& Bg, TRect R, TPoint BgPoint,
                           const TacPixels* KeySrc, TPoint KeyOrigin);

// The per-pixel worker of the masked texture painter: copies SrcRect of a 24-bit skin picture
// into DstRect of a 24- or 32-bit target (the smaller size of the two, clipped to both images; a
// negative origin moves both rectangles). The mask of a source pixel lies MaskOffset rows below
// it (a row beyond the source is not read: the mask counts as 0 there). Key pixels (0xFF00FF)
// take the background: with Cache.Ready and Cache.FillColor 0xFF00FF, the pixel of Cache.Bmp at
// the target position plus (Cache.X, Cache.Y) when it lies inside (24- or 32-bit pictures; other
// depths leave the pixel); with any other FillColor that colour; without Ready, FillColor unless
// it is 0xFF00FF (then the pixel stays). Other pixels get the mask blend
// d := ((d - s) * m + s * 256) shr 8 per channel. Written 32-bit pixels get alpha 255.
void CopyMaskedWithCache(TRect DstRect, TRect SrcRect, const TacPixels& Dst, const TacPixels& Src,
                         const TacBackground& Cache, int MaskOffset);

// The geometry of one frame of a border image, as the corner fill reads it.
struct TacCornerFrame {
  TacPixels Src;       // the picture holding the frame (24- or 32-bit)
  int X = 0, Y = 0;    // the frame's top-left corner in Src
  int Width = 0;       // frame width
  int Height = 0;      // frame height (the mask, when MaskType is not 0, lies Height rows below)
  int MaskType = 0;
  int WL = 0, WT = 0, WR = 0, WB = 0;
};

// Fills the chosen corners (acCorner... bits) of a control's 24- or 32-bit cache picture
// (Width x Height of the owner, limited to the picture) from the background. For each corner, in
// the order top-left, bottom-left, bottom-right, top-right, the corner area of the frame (WL or
// WR wide, WT or WB high; the right corners start WR before the frame's right edge, the bottom
// ones WB before its bottom) is laid over the same corner of the cache. Cache pixels whose image
// pixel is the key colour get the background: the pixel of Bg.Bmp at the same place plus
// (Bg.X, Bg.Y) when Bg.Ready and it lies inside, else Bg.FillColor unless that is 0xFF00FF. With
// MaskType not 0 the other pixels get the image blended through the mask over that background
// (over the cache pixel when no background is known). Pixels outside the cache or the frame's
// picture are skipped.
void FillCornersFromBackground(const TacPixels& Cache, int Width, int Height, const TacCornerFrame& Frame,
                               const TacBackground& Bg, int Corners);

// ---------------------------------------------------------------------------------------------
// Background queries (Win32)

#ifdef _WIN32
#include <windows.h>

class TBitmap;
class TControl;
class TsCommonData;
class TsSkinManager;

// BgType values of TacBGInfo.
inline constexpr Byte btUnknown = 0;  // no answer
inline constexpr Byte btFill = 1;     // Color
inline constexpr Byte btCache = 2;    // Bmp and Offset

// The record of a background query, handed by address in the LParam of SM_ALPHACMD command
// AC_GETBACKGROUND between controls of the process; it belongs to the asker.
struct TacBGInfo {
  // The answering control's picture (its cache bitmap) when BgType is btCache.
  TBitmap* Bmp = nullptr;
  // The background colour when BgType is btFill.
  TColor Color = 0;
  // Where the answering parent's origin lies in Bmp; the asker adds its own Left and Top.
  TPoint Offset;
  // The area of interest in the asker's coordinates.
  TRect R;
  Byte BgType = btUnknown;
  // The asker wants the background painted into DrawDC.
  bool PleaseDraw = false;
  HDC DrawDC = nullptr;
};

// Ask a window / a control (as a rule the parent of the control being painted) for its
// background. The record's PleaseDraw on entry is remembered and the argument goes to the
// answerer. True when the answerer filled the record. Otherwise, when PleaseDraw was set on
// entry and DrawDC is given, the answerer paints itself into DrawDC (WM_ERASEBKGND, then
// WM_PAINT with the DC as WParam), its origin moved to -Offset and clipped to R; False. Else the
// record gets a colour (BgType btFill), result False: for a window the default manager's global
// colour (clBtnFace without a manager); for a control its answer to AC_GETCOLOR, or its Color in
// RGB when it answers 0 (and with PleaseDraw and a Bmp in the record, R of DrawDC is filled with
// it). A null window or control gets the colour fallback only.
bool QueryWindowBackground(TacBGInfo& Info, HWND Wnd, bool PleaseDraw);
bool QueryParentBackground(TacBGInfo& Info, TControl* Control, bool PleaseDraw);

// The painters' form of an answer: a picture answer gives MakeCacheInfo(Bmp, Offset.X, Offset.Y);
// anything else no bitmap, X = Y = 0, FillColor the colour in RGB, not Ready.
void BGInfoToCacheInfo(const TacBGInfo& Info, TCacheInfo& CI);
TCacheInfo BGInfoToCacheInfo(const TacBGInfo& Info);

// AddMaskCornerRects over the image's own bitmap, else the manager's master bitmap (nothing
// without either).
void AddMaskCornerRects(std::vector<TRect>& Rects, int Width, const TsMaskData& Mask, int YOffset, bool Bottom);

// Fills the chosen corners of the control's cache bitmap from what lies under the control: the
// parent's answer (no drawing) with its offset moved by the owner's Left and Top, or the colour
// of the answer. The frame of the border image is State (limited to its last frame); an image
// with its own bitmap and ImageCount 0 counts as three frames with a mask half. Nothing unless
// the skin data has a manager, a valid border image, an owner control at least 2 x 2 and a cache
// bitmap.
void FillCornersFromParent(TsCommonData* SkinData, int State, int Corners = acCornersAll);

// Replaces key pixels inside R of the 32-bit bitmap Dst by the pixels of the 32-bit bitmap Bg at
// BgPoint + (x, y). MaskIndex -1: the key test reads Dst itself. MaskIndex >= 0: it reads the
// corner of frame 0 of that image of Manager named by Part (acPart...). Nothing when either
// bitmap is not 32-bit.
void FillTransparentFromBG(TBitmap* Dst, TBitmap* Bg, TRect R, TPoint BgPoint, int MaskIndex,
                           TsSkinManager* Manager, int Part);

// CopyMaskedWithCache from the image's own bitmap, else its manager's master bitmap (the mask
// Height(Mask.R) div 2 rows below), into a 24- or 32-bit bitmap; nothing without either.
void CopyMaskedWithCache(TRect DstRect, TRect SrcRect, TBitmap* Dst, const TCacheInfo& CI, const TsMaskData& Mask);

// The system's UpdateLayeredWindow was found when the program started (the pointer,
// acUpdateLayeredWindow, belongs to the glow unit, acGlow.h).
bool LayeredWindowsAvailable();

#endif
