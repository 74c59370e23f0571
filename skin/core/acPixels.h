// Pixel access, colour routines, blends and copies of the skin engine.
//
// Every skinned surface is composed in off-screen bitmaps of 24 bits (bytes blue, green, red) or
// 32 bits (blue, green, red, alpha; straight alpha) per pixel. The loops of this unit work on a
// plain view of such pixels (TacPixels: the top row, the distance between rows in bytes, which is
// negative for bottom-up images, the size and the depth), so they build and run without Win32.
// The Win32 half gives the same routines over the framework's TBitmap and the cache-info record;
// those wrappers only turn their arguments into views.
//
// Rules shared by all routines:
// - Colours are 0x00BBGGRR values (red in the low byte); pixels store blue first.
// - Rectangles exclude their right and bottom edges, except the source rectangles that a routine
//   documents as inclusive.
// - Every rectangle is clipped against both images: rows and columns whose source or destination
//   falls outside its image are skipped, and the rest land exactly where they would without
//   clipping. A negative origin of either rectangle moves both origins by the same amount.
// - A key colour whose high byte is 0xFF means that no pixel is a key pixel.
// - Images of a depth a routine does not handle, and sizes a routine requires to match but that
//   do not, leave the images untouched.
// - Blends by a byte weight use integer arithmetic with a shift by 8; blends by a floating factor
//   round to nearest (ties to even) and keep the low byte.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "framework/Exceptions.h"
#include "framework/Object.h"
#include "framework/Types.h"

#ifdef _WIN32
#include "framework/Graphics.h"
#endif

// 0x00BBGGRR, as the framework's graphics declare it.
using TColor = std::int32_t;

class TBitmap;
class TControl;
struct TsMaskData;

// ---------------------------------------------------------------------------------------------
// Views

// The pixels of one image. Rows are Delta bytes apart (negative for images stored bottom-up);
// Bits is 8, 24 or 32 for an image and 0 for the empty view.
struct TacPixels {
  Byte* Scan0 = nullptr;
  std::ptrdiff_t Delta = 0;
  int Width = 0;
  int Height = 0;
  int Bits = 0;

  TacPixels() = default;
  // Checks the description: EInvalidGraphic for a depth other than 8, 24 or 32 bits, a negative
  // size, no memory for a non-empty image, or rows closer together than one row of pixels.
  TacPixels(void* AScan0, std::ptrdiff_t ADelta, int AWidth, int AHeight, int ABits);

  bool Empty() const { return Width <= 0 || Height <= 0; }
  int BytesPerPixel() const { return Bits / 8; }
  Byte* Row(int Y) const { return Scan0 + Y * Delta; }
  Byte* Pixel(int X, int Y) const { return Row(Y) + X * (Bits / 8); }
  bool Is24() const { return Bits == 24 && !Empty(); }
  bool Is32() const { return Bits == 32 && !Empty(); }
  // Both views show the same memory.
  bool SameImage(const TacPixels& Other) const { return Scan0 != nullptr && Scan0 == Other.Scan0; }
};

// The key colour of skin pictures, magenta: a pixel (blue, green, red first) that shows it is not
// drawn. The alpha byte of 32-bit pixels is not looked at.
inline bool IsKeyPixel(const Byte* P) { return P[0] == 0xFF && P[1] == 0 && P[2] == 0xFF; }

// The mask blend of one channel: target D, image S, mask M; ((D - S) x M + S x 256) shr 8,
// limited to a byte.
inline Byte MaskBlendChannel(int D, int S, int M) {
  const int V = ((D - S) * M + S * 256) >> 8;
  return static_cast<Byte>(V < 0 ? 0 : (V > 255 ? 255 : V));
}

// Round to nearest, ties to even (the default rounding mode). lrint rather than nearbyint: the
// latter saves and restores the floating-point state on every call, which costs more than a whole
// table of blends. Callers keep |V| far below 2^31.
inline long RoundEven(double V) { return std::lrint(V); }

// Copies the W x H pixels at (SX, SY) of Src to (DX, DY) of Dst, clipped to both images. 24 and
// 32 bits in any pairing: a 32-bit target of a 24-bit source gets alpha 255, a 24-bit target of a
// 32-bit source drops the alpha. Other depths leave Dst untouched.
void CopyPixelArea(const TacPixels& Dst, int DX, int DY, const TacPixels& Src, int SX, int SY, int W, int H);

// What lies under a control while it is painted, as the pixel loops see it: a picture with the
// control's origin at (X, Y) when Ready, otherwise at most a colour (0xFF00FF: not known).
struct TacBackground {
  TacPixels Bmp;
  int X = 0;
  int Y = 0;
  TColor FillColor = 0xFF00FF;
  bool Ready = false;
};

// The part of a copy of W x H pixels from (SX, SY) of a source of SrcWidth x SrcHeight to (DX, DY)
// of a destination of DstWidth x DstHeight that lies inside both images. A negative origin of
// either moves both origins by the same amount. Everything is computed in 64 bits, so rectangles
// and sizes anywhere in the integer range clip exactly. False when nothing is left.
struct TacPixelClip {
  int SX = 0, SY = 0, DX = 0, DY = 0, W = 0, H = 0;
};
bool ClipPixelCopy(long long SX, long long SY, long long DX, long long DY, long long W, long long H,
                   long long SrcWidth, long long SrcHeight, long long DstWidth, long long DstHeight,
                   TacPixelClip& Out);

// ---------------------------------------------------------------------------------------------
// Pixel access classes

// The common part of the single-pixel accessors: the bound image of the accessor's depth (its
// first row, row distance and size) and the checked address of a pixel. Not a class of its own:
// the accessors built on it name TObject as their parent class.
class TacFastPixels : public TObject {
 public:
  // Binds the accessor. False (and Width 0) unless the image has the accessor's depth and is at
  // least 2 x 2.
  bool Attach(const TacPixels& Pixels);
#ifdef _WIN32
  // Binds a bitmap of the accessor's depth (False for other formats and for bitmaps under 2 x 2
  // pixels).
  bool Attach(TBitmap* Bmp);
#endif

  TBitmap* Bitmap() const { return FBitmap; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  std::ptrdiff_t Delta() const { return FDelta; }
  Byte* Scan0() const { return FScan0; }

 protected:
  explicit TacFastPixels(int Bits) : FBits(Bits) {}
  // The first byte of a pixel. ERangeError outside the image.
  Byte* At(int X, int Y) const;

 private:
  int FBits;
  TBitmap* FBitmap = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  std::ptrdiff_t FDelta = 0;
  Byte* FScan0 = nullptr;
};

// Reads and writes single pixels of a 24-bit image (pf24bit bitmaps) through its first row and
// row distance.
class TacFast24 : public TacFastPixels {
  T_CLASS(TacFast24, TObject)

 public:
  TacFast24() : TacFastPixels(24) {}
  // The colour of a pixel: R | G shl 8 | B shl 16. ERangeError outside the image.
  TColor GetPixel(int X, int Y) const;
  // Writes blue, green and red of a colour. ERangeError outside the image.
  void SetPixel(int X, int Y, TColor C);
};

// Reads and writes single pixels of a 32-bit image (pf32bit bitmaps) and fills rectangles of it.
class TacFast32 : public TacFastPixels {
  T_CLASS(TacFast32, TObject)

 public:
  TacFast32() : TacFastPixels(32) {}
  // R | G shl 8 | B shl 16 | A shl 24. ERangeError outside the image.
  TColor GetPixel(int X, int Y) const;
  // Writes blue, green and red of C and its top byte as alpha. ERangeError outside the image.
  void SetPixel(int X, int Y, TColor C);
  // Writes a 32-bit pixel value (blue in the low byte) into every pixel of R, clipped to the
  // image; nothing while unbound.
  void FillRect(TRect R, std::uint32_t Pixel);
};

// Blends an area of one image onto another with a constant weight. Fill Alpha, DstRect and
// SrcRect, then call Blend: every byte of DstRect becomes
//   (src * (255 - Alpha) + dst * Alpha + 127) shr 8,
// the source byte taken at the same column offset by SrcRect.Left - DstRect.Left and the same row
// offset by SrcRect.Bottom - DstRect.Bottom. Alpha 0 thus copies the source (at 255/256 strength)
// and 255 keeps the target. The area is clipped to both images. Source and destination may be
// overlapping areas of one image: each source byte is read before it is blended over.
class TacFastSumBase : public TObject {
  T_CLASS(TacFastSumBase, TObject)

 public:
  Byte Alpha = 0;
  TRect DstRect;
  TRect SrcRect;

  void Blend();

  TBitmap* Src() const { return FSrcBitmap; }
  TBitmap* Dst() const { return FDstBitmap; }
  int MinWidth() const { return FMinWidth; }
  int MinHeight() const { return FMinHeight; }

 protected:
  explicit TacFastSumBase(int Bits) : FBits(Bits) {}
  bool DoAttach(const TacPixels& Src, const TacPixels& Dst);
#ifdef _WIN32
  bool DoAttach(TBitmap* Src, TBitmap* Dst);
#endif

 private:
  int FBits;
  TacPixels FSrc, FDst;
  TBitmap* FSrcBitmap = nullptr;
  TBitmap* FDstBitmap = nullptr;
  int FMinWidth = 0;
  int FMinHeight = 0;
};

// The blender of 24-bit images.
class TacFastSum24 : public TacFastSumBase {
  T_CLASS(TacFastSum24, TacFastSumBase)

 public:
  TacFastSum24() : TacFastSumBase(24) {}
  // Binds source and destination: False unless both are 24-bit and at least 2 x 2.
  bool Attach(const TacPixels& Src, const TacPixels& Dst) { return DoAttach(Src, Dst); }
#ifdef _WIN32
  bool Attach(TBitmap* Src, TBitmap* Dst) { return DoAttach(Src, Dst); }
#endif
};

// The blender of 32-bit images (all four bytes of a pixel are blended).
class TacFastSum32 : public TacFastSumBase {
  T_CLASS(TacFastSum32, TacFastSumBase)

 public:
  TacFastSum32() : TacFastSumBase(32) {}
  bool Attach(const TacPixels& Src, const TacPixels& Dst) { return DoAttach(Src, Dst); }
#ifdef _WIN32
  bool Attach(TBitmap* Src, TBitmap* Dst) { return DoAttach(Src, Dst); }
#endif
};

// ---------------------------------------------------------------------------------------------
// Colour routines

// The kinds of disabled look of a glyph.
enum TsDisabledKindItem { dkBlended, dkGrayed };
using TsDisabledKind = TSet<TsDisabledKindItem>;

// The 32-bit pixel value (blue in the low byte) of a colour, with alpha 255.
std::uint32_t ColorToBGRA(TColor C);

// Fills R of a 32-bit image (at least 2 x 2) with the colour and alpha 255, clipped.
void FillRect32(const TacPixels& Bmp, TRect R, TColor C);

// Mixes a colour into R (clipped) of a 24- or 32-bit image; alpha bytes are left. Percent is the
// share the pixels keep (limited to 0..100): channel := round(channel * k + colour * (1 - k)),
// k = Percent / 100. So 0 paints the colour and 100 leaves the pixels.
void BlendColorRect(const TacPixels& Bmp, TRect R, int Percent, TColor C);

// Copies byte Channel (0..3) of every pixel of a 32-bit image into an 8-bit image, or back when
// ToBmp8 is false, over the area the two share. ERangeError for another channel.
void CopyBitmapChannel(const TacPixels& Bmp32, const TacPixels& Bmp8, int Channel, bool ToBmp8);

// The disabled look of a glyph. dkGrayed: every pixel of a 24-bit glyph becomes its grey.
// dkBlended then: with a Ready background, the background picture under the glyph (at
// Cache.X + Offset.X, Cache.Y + Offset.Y) is blended in so that the glyph keeps 40 %; otherwise
// the glyph is mixed half and half with Cache.FillColor, or with ControlColor when that is
// 0xFF00FF.
void ApplyDisabledKind(const TacPixels& Glyph, TsDisabledKind Kind, const TacBackground& Cache,
                       TPoint Offset, TColor ControlColor);

// ---------------------------------------------------------------------------------------------
// Blends and copies

// Every pixel of a 24-bit image becomes grey: each channel := (B + G + R) div 3.
void GrayscaleBitmap(const TacPixels& Bmp);

// Moves every pixel that is not the key towards a colour: channel := round((ch - c) * K + c).
// In 32-bit images the key is compared with the whole pixel value and alpha is left.
// ERangeError unless -1e6 <= K <= 1e6.
void FadeBitmapToColor(const TacPixels& Bmp, TColor C, TColor Key, double K);

// Blends the inclusive source rectangle onto the destination at (X, Y): channel :=
// round(s - (s - d) * K), so K = 0 copies the source and K = 1 keeps the destination. Source
// pixels equal to the key are skipped (24-bit sources compare blue, green and red; 32-bit sources
// the whole pixel value). Handles 24-bit onto 24- or 32-bit (alpha left) and 32-bit onto 24-bit.
// ERangeError unless -1e6 <= K <= 1e6.
void CopyBlendedWithKey(const TacPixels& Dst, int X, int Y, const TacPixels& Src, TRect SrcRect,
                        double K, TColor Key);

// 24-bit image and mask of the same size: channel := ((ch - c) * m + c * 256) shr 8 with m the
// same channel of the mask; a white mask keeps the image, a black one paints the colour.
void BlendColorByMask(const TacPixels& Bmp, const TacPixels& Mask, TColor C);

// Two 24-bit images of the same size (at least 2 x 2): every destination byte :=
// (s * (255 - A) + d * A + 127) shr 8.
void BlendBitmapsByFactor(const TacPixels& Dst, const TacPixels& Src, Byte A);

// Blends SrcRect of the source onto the destination at DstPoint with weight A (as
// BlendBitmapsByFactor), clipped to both. Both images 24-bit or both 32-bit, at least 2 x 2.
void BlendBitmapRect(const TacPixels& Dst, const TacPixels& Src, Byte A, TRect SrcRect, TPoint DstPoint);

// Blends SrcRect of the source into DstRect of the destination (the smaller of the two sizes).
// A 24-bit source carries its mask in its lower half (the mask row of source row r is
// r + height div 2): channel := ((d - s) * m + s * 256) shr 8 into a 24-bit destination. A 32-bit
// source blends by its alpha a: channel := ((s - d) * a + d * 256) shr 8; a 32-bit destination
// gets alpha 255. With a Ready background, magenta source pixels (0xFF00FF) are not blended; with
// FillKey they take the background pixel under them instead.
void BlendByMask(TRect DstRect, TRect SrcRect, const TacPixels& Dst, const TacPixels& Src,
                 const TacBackground& Cache, bool FillKey);

// Composites a 32-bit image with alpha onto a 24-bit destination, as BlendByMask, where the
// alpha is reduced to a * (100 - Percent) div 100 when Percent (limited to 0..100) is not 0.
// A Tint other than clNone (0x1FFFFFFF) draws each pixel as its grey scaled by the tint's
// channels; the source is not changed. Reflected adds below the image a mirrored copy of its
// lower rows that starts at a third of the alpha and fades out.
void BlendAlphaBitmap(TRect DstRect, TRect SrcRect, const TacPixels& Dst, const TacPixels& Src,
                      const TacBackground& Cache, bool FillKey, TColor Tint, int Percent, bool Reflected);

// Scales a 32-bit straight-alpha image to the size of a 32-bit destination by area averaging:
// every destination pixel is the average of the source area it covers, weighted by how much of
// each source pixel lies inside, taken over premultiplied pixels (colour times alpha) and written
// back as straight alpha (rounded to nearest, ties to even). So fully transparent pixels lend no
// colour to their neighbours and the scaled image shows no halo; a pixel whose alpha averages to
// 0 becomes all zero. Source and destination may be the same memory. Other depths leave the
// destination as it is; EInvalidGraphic when the work area for the scaling cannot be sized.
void ScaleAlphaPixels(const TacPixels& Src, const TacPixels& Dst);

// The masked copy of a skin image whose mask lies below its picture: the mask rows start
// MaskImageHeight div 2 below the source rows (MaskImageHeight: the height of the whole image
// entry, picture and mask). Non-key pixels: channel := ((d - s) * m + s * 256) shr 8. Key pixels
// (magenta) take the background pixel with a Ready background; otherwise they are left, or set
// to Cache.FillColor with FillKey. 32-bit destinations get alpha 255 on written pixels.
void CopyByMaskHalf(TRect DstRect, TRect SrcRect, const TacPixels& Dst, const TacPixels& Src,
                    const TacBackground& Cache, bool FillKey, int MaskImageHeight);

// Copies a 24-bit image to (X, Y) leaving out pixels of the key colour; a 32-bit destination gets
// alpha 255 on copied pixels.
void CopyWithKeyColor(const TacPixels& Dst, const TacPixels& Src, int X, int Y, TColor Key);

// The copy of the 9-slice painter: the inclusive source rectangle goes to (X, Y). With FillKey
// and a Ready background picture, key pixels take the background pixel under them (and are left
// when the background is the destination itself). Otherwise a 32-bit source is copied whole into
// a 32-bit destination, key pixels left with a Ready background and set to FillColor with alpha
// 255 without; a 24-bit source is copied with key pixels left (Ready) or set to FillColor (alpha
// 255 in a 32-bit destination).
void CopyWithKeyAndCache(const TacPixels& Dst, const TacPixels& Src, int X, int Y, TRect SrcRect,
                         TColor Key, const TacBackground& Cache, bool FillKey);

// Copies the inclusive source rectangle of a 24-bit image into a 24-bit image at (X, Y), leaving
// out pixels of the key colour.
void CopyRectWithKey(const TacPixels& Dst, const TacPixels& Src, int X, int Y, TRect SrcRect, TColor Key);

// Mixes two 24-bit images of the same size into a 32-bit destination: channel :=
// ((a - b) * m + b * 256) shr 8, m the mask's channel, or K (limited to 0..256) without a mask;
// alpha is left. Covers the area all the images share.
void SumBitmapsByMask(const TacPixels& Dst, const TacPixels& A, const TacPixels& B,
                      const TacPixels* Mask, Word K);

// ---------------------------------------------------------------------------------------------
// The bitmap routines (Win32)

#ifdef _WIN32

// What lies under a control while it is painted: Bmp with the control's origin at (X, Y) when
// Ready, otherwise FillColor (0xFF00FF: not known).
struct TCacheInfo {
  TBitmap* Bmp = nullptr;
  int X = 0;
  int Y = 0;
  TColor FillColor = 0;
  bool Ready = false;
};

// The pixels of a pf8bit, pf24bit or pf32bit bitmap; the empty view for other formats, an empty
// bitmap or none.
TacPixels BitmapPixels(TBitmap* Bmp);
// The view of a cache-info record (system colours turned into RGB).
TacBackground CacheBackground(const TCacheInfo& CI);

// The header of a top-down device-independent bitmap of Width x Height at Bits per pixel.
BITMAPINFO TopDownDibInfo(int Width, int Height, int Bits);

// New work bitmaps, owned by the caller, device-independent and white.
TBitmap* CreateBmp24(int Width, int Height);
TBitmap* CreateBmp32(int Width, int Height);
// A new bitmap of another's size and pixel format.
TBitmap* CreateBmpLike(TBitmap* Bmp);

// The colour a control shows, used by the disabled look when nothing is known of the background.
// The engine may point this at its own control-colour query; by default it is the control's
// Color turned into RGB, and 0xFF00FF without a control.
extern TColor (*DisabledLookControlColor)(TControl* Control);

// The routines above on bitmaps. Colour arguments may be system colours. A bitmap that a routine
// needs and does not get raises EInvalidGraphicOperation; bitmaps of formats a routine does not
// handle are left as they are.
void FillRect32(TBitmap* Bmp, TRect R, TColor C);
void BlendColorRect(TBitmap* Bmp, TRect R, int Percent, TColor C);
void CopyBitmapChannel(TBitmap* Bmp32, TBitmap* Bmp8, int Channel, bool ToBmp8);
void ApplyDisabledKind(TBitmap* Glyph, TsDisabledKind Kind, TControl* Control, const TCacheInfo& CI, TPoint Offset);
void GrayscaleBitmap(TBitmap* Bmp);
void FadeBitmapToColor(TBitmap* Bmp, TColor C, TColor Key, double K);
void CopyBlendedWithKey(TBitmap* Dst, int X, int Y, TBitmap* Src, TRect SrcRect, double K, TColor Key);
void BlendColorByMask(TBitmap* Bmp, TBitmap* Mask, TColor C);
void BlendBitmapsByFactor(TBitmap* Dst, TBitmap* Src, Byte A);
void BlendBitmapRect(TBitmap* Dst, TBitmap* Src, Byte A, TRect SrcRect, TPoint DstPoint);
void BlendByMask(TRect DstRect, TRect SrcRect, TBitmap* Dst, TBitmap* Src, const TCacheInfo& CI, bool FillKey);
// A source that is not pf32bit is composited from a 32-bit copy; the caller's bitmap is not
// changed.
void BlendAlphaBitmap(TRect DstRect, TRect SrcRect, TBitmap* Dst, TBitmap* Src, const TCacheInfo& CI,
                      bool FillKey, TColor Tint, int Percent, bool Reflected);
// Both bitmaps pf32bit, else the destination is left.
void ScaleAlphaPixels(TBitmap* Src, TBitmap* Dst);
// The mask rows start half the height of the image entry's rectangle below the source rows.
void CopyByMaskHalf(TRect DstRect, TRect SrcRect, TBitmap* Dst, TBitmap* Src, const TCacheInfo& CI,
                    bool FillKey, const TsMaskData& Mask);
void CopyWithKeyColor(TBitmap* Dst, TBitmap* Src, int X, int Y, TColor Key);
void CopyWithKeyAndCache(TBitmap* Dst, TBitmap* Src, int X, int Y, TRect SrcRect, TColor Key,
                         const TCacheInfo& CI, bool FillKey);
void CopyRectWithKey(TBitmap* Dst, TBitmap* Src, int X, int Y, TRect SrcRect, TColor Key, int Unused = 0);
void SumBitmapsByMask(TBitmap* Dst, TBitmap* A, TBitmap* B, TBitmap* Mask, Word K);

#endif
