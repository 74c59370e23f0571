// Painting of skin images: nine-slice borders, whole-frame glyphs and corner images, the border
// frame of a control, and multi-frame button glyphs.
//
// A skin image (TsMaskData) is a rectangle R of a bitmap (the record's own bitmap, or the skin
// manager's master bitmap when it has none) holding ImageCount state frames side by side. A frame
// is fw = width of R div ImageCount wide and fh = height of R div (MaskType + 1) high; with
// MaskType 1 a mask picture of the same size lies fh rows below the frame and gives each pixel's
// opacity (mask blend per channel: d := ClampByte(((d - s) * m + s * 256) shr 8); m = 0 shows the
// image, m = 255 keeps the target). Pixels of the key colour 0xFF00FF are transparent.
//
// The frame drawn for a state is the state itself, limited to the last frame. DrawMode bits: 1
// stretches sides and centre (clear: tiles them), 2 draws only in states other than 0, 4 means the
// centre belongs to the image (drawn only when the caller asks for filling).
//
// The pixel loops (margin shrinking, tiling, the masked and keyed copies) work on TacPixels views
// and build without Win32; the routines on bitmaps, regions and device contexts are Win32.
#pragma once

#include <cstdint>
#include <functional>

#include "framework/Types.h"
#include "skin/core/acPixels.h"
#include "skin/core/sMaskData.h"

// The key colour of skin images.
inline constexpr TColor acImageKeyColor = 0xFF00FF;

// DrawMode bits of an image record.
inline constexpr int dmStretch = 1;
inline constexpr int dmHotOnly = 2;
inline constexpr int dmOwnCentre = 4;

// ---------------------------------------------------------------------------------------------
// Portable pixel loops

// Nine-slice margins (left, top, right, bottom).
struct TacMargins {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  friend bool operator==(const TacMargins&, const TacMargins&) = default;
};

// Shrinks margins for a target of Width x Height: when Width < L + R both lose (L + R - Width) div
// 2 and R loses one more when Width is odd, neither going below 0 nor beyond Width; the same for
// T, B and Height. Symmetric margins thus meet in the middle of a narrow target, and unequal ones
// never reach outside it.
TacMargins ShrinkMargins(TacMargins M, int Width, int Height);

// The frame index of a state for an image of Count frames: State when below Count, else Count - 1
// (0 for a negative state or a Count below 1).
int FrameIndex(int State, int Count);

// Fills DstRect of Dst with copies of the SrcRect part of Src laid from DstRect's top-left corner
// (rows of tiles; the last tile of a row or column is cut). Opaque: 24-bit onto 24-bit, 32-bit onto
// 32-bit, 24-bit onto 32-bit (alpha 255) and 32-bit onto 24-bit (alpha dropped). DstRect is clipped
// to Dst; SrcRect must lie inside Src (else nothing is painted). Exclusive rectangles.
void TilePixels(const TacPixels& Dst, TRect DstRect, const TacPixels& Src, TRect SrcRect);

// Receives the runs of key pixels found by MaskCopyPixels: Len key pixels from (X, Y) of the
// target; EndOfRow tells that the run reached the end of the copied row (else a visible pixel ended
// it).
using TacKeyRunSink = std::function<void(int X, int Y, int Len, bool EndOfRow)>;

// The per-pixel copy of DrawNineSlice from a 24-bit source to a 24-bit target; both rectangles
// inclusive, the target one given by its top-left (DstRect) and limited by its own size, the
// source one's size, and the target image. MaskRows is the distance of the mask picture below the
// source rows when MaskType is 1 (rows whose mask row would lie beyond the source image are not
// painted). With UseKey, key pixels are left and reported to Runs (when set). Sources of 32 bits
// are read by their blue, green and red bytes; 32-bit targets get alpha 255 on written pixels.
// Nothing when a coordinate is negative or the target is under 2 x 2.
void MaskCopyPixels(const TacPixels& Dst, TRect DstRect, const TacPixels& Src, TRect SrcRect, int MaskType,
                    int MaskRows, bool UseKey, const TacKeyRunSink& Runs);

// The corner copy of DrawSkinRect: the inclusive source rectangle goes to (X, Y), clipped to both
// images (24- or 32-bit each). Key pixels (0xFF00FF; in a 32-bit source with alpha 0, the whole
// value) take the pixel of Bg's picture at their target position plus (Bg.X, Bg.Y) when Bg is
// Ready with a 24- or 32-bit picture that is not the target and holds that position; otherwise
// they are left. The other pixels are copied: whole from a 32-bit source into a 32-bit target
// (alpha kept), else with alpha 255 in 32-bit targets.
void CopyKeyedPixels(const TacPixels& Dst, int X, int Y, const TacPixels& Src, TRect SrcRect, const TacBackground& Bg);

// The per-pixel glyph copy (target 24- or 32-bit; source 24-bit): the inclusive source rectangle
// goes to (X, Y), clipped to both images. Source pixels equal to Key are skipped. MaskType 0: the
// other pixels are copied. MaskType 1 or more: the mask blend with the mask pixel MaskRows below;
// with Faint each mask value is first raised by 100 (capped at 255). 32-bit targets get alpha 255
// on written pixels.
void CopyMaskedGlyphPixels(const TacPixels& Dst, int X, int Y, const TacPixels& Src, TRect SrcRect, int MaskType,
                           int MaskRows, bool Faint, TColor Key);

// ---------------------------------------------------------------------------------------------
// The painters (Win32)

#ifdef _WIN32
#include <windows.h>

class TBitmap;
class TsCommonData;

// The switch that makes multi-frame button glyphs show frame 0 where they would show their hot
// or pressed frame (DrawTransparentGlyph). Engine-wide, off by default.
extern bool acGlyphFrameSwitch;

// The bitmap that holds an image's pixels: its own bitmap, else its manager's master bitmap;
// nullptr when neither exists.
TBitmap* MaskSourceBitmap(const TsMaskData& Mask);

// Paints frame State of Mask over R of Bmp by nine-slice rules (corners as they are, sides and,
// with Filling and DrawMode bit 4, the centre tiled or stretched). Key pixels of the corners keep
// the target, or take the background of CI when KeyFromCache and CI.Ready. Nothing in State 0 when
// DrawMode has bit 2, for R under 2 x 2, without a manager or without frames.
void DrawSkinRect(TBitmap* Bmp, TRect R, bool Filling, const TCacheInfo& CI, const TsMaskData& Mask, int State,
                  bool KeyFromCache);

// Nine-slice of frame State over all of Bmp (24-bit) with per-pixel copies; the key pixels of the
// four corners are cut out of Region (when not 0). A record without frames counts as one frame
// covering its own bitmap.
void DrawNineSlice(TBitmap* Bmp, HRGN Region, bool Filling, const TsMaskData& Mask, int State);

// The per-pixel copy of DrawNineSlice: SrcRect of the image's bitmap to DstRect of a 24-bit Bmp,
// both inclusive; the mask picture of a MaskType 1 image lies half the height of its R below.
// With UseKey, key pixels are left and, when Region is not 0, cut out of it (always removed,
// also where two corners overlap on a narrow target).
void MaskCopy24(TBitmap* Bmp, TRect DstRect, TRect SrcRect, const TsMaskData& Mask, HRGN Region, bool UseKey);

// Opaque nine-slice copy between device contexts of bitmaps. Margins and Limits hold left, top,
// right, bottom in a rectangle's fields; SideModes (left, top, right, bottom) and CentreMode: 0
// tile, 1 stretch, other values draw nothing.
void BltNineSlice(TBitmap* Dst, TBitmap* Src, TRect DstRect, TRect SrcRect, TRect Margins, TRect Limits,
                  const Byte (&SideModes)[4], Byte CentreMode, bool FillCentre);

// Draws frame State of Mask whole with its top-left corner at P (a negative P skips the part of
// the frame outside the target). Images with their own bitmap and masked images go through
// CopyMaskedGlyph. Plain images of the master bitmap: Mode 1 copies them with key pixels taken
// from CI's background (its picture when Ready, else its FillColor; left as they are when CI knows
// nothing, FillColor 0xFF00FF); other modes blend the glyph half over the target, keys skipped.
void DrawSkinGlyph(TBitmap* Bmp, TPoint P, int State, int Mode, const TsMaskData& Mask, const TCacheInfo& CI);

// The glyph copy of DrawSkinGlyph: the inclusive SrcRect of Src to (X, Y) of Dst (24- or 32-bit),
// key pixels skipped, masked with the mask picture MaskFrameHeight(Mask) rows below when the
// record's MaskType is 1 or more (fainter with a Mode other than 1).
void CopyMaskedGlyph(TBitmap* Dst, int X, int Y, TBitmap* Src, TRect SrcRect, const TsMaskData& Mask, int Mode,
                     TColor Key);

// Paints a control's border mask into its cache bitmap over R, copies the frame to DC and returns
// in Inner the rectangle inside the frame (R inset by the mask's margins, or by BorderWidth when
// that is not 0; R itself without either). A masked border (MaskType 1) first gets the background
// under its margin strips: the parent's picture, or its colour. BorderWidth adds a plain frame of
// the control's background colour inside the mask's margins; without a border mask that frame is
// filled straight in DC. The strips copied to DC are BorderWidth wide, or the mask's margins when
// BorderWidth is 0.
void PaintControlFrame(HDC DC, TRect R, int BorderWidth, TsCommonData* SkinData, int State, TRect& Inner);

// Draws one frame of a button glyph (NumGlyphs frames side by side) into Dst with its top-left at
// R's top-left, the glyph's lower-left pixel being the transparent colour. Flag set: the enabled
// look (State 0 with Blend above 0 blends at Blend percent); Flag clear: the disabled look of
// DisabledKind. State 1 and 2 pick the hot and pressed frames (Extra moves the pressed frame).
void DrawTransparentGlyph(TBitmap* Glyph, TBitmap* Dst, TRect R, int NumGlyphs, bool Flag,
                          TsDisabledKind DisabledKind, int State, int Blend, Byte Extra);

#endif
