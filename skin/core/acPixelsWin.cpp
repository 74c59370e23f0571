// The bitmap routines of acPixels (Win32): views of framework bitmaps and the wrappers that pass
// them to the pixel loops.
#include "skin/core/acPixels.h"

#include <memory>

#include "framework/Controls.h"
#include "skin/core/sMaskData.h"

namespace {

TBitmap* Need(TBitmap* Bmp, const char* Routine) {
  if (!Bmp) throw EInvalidGraphicOperation(Format("%s: no bitmap given", Routine));
  return Bmp;
}

TacPixels Pixels(TBitmap* Bmp, const char* Routine) { return BitmapPixels(Need(Bmp, Routine)); }

// Colour arguments may name system colours; the loops need RGB.
TColor Rgb(TColor C) { return static_cast<TColor>(ColorToRGB(C)); }

TColor DefaultControlColor(TControl* Control) {
  return Control ? Rgb(Control->Color()) : static_cast<TColor>(0xFF00FF);
}

}  // namespace

TColor (*DisabledLookControlColor)(TControl* Control) = DefaultControlColor;

BITMAPINFO TopDownDibInfo(int Width, int Height, int Bits) {
  BITMAPINFO Info{};
  Info.bmiHeader.biSize = sizeof(Info.bmiHeader);
  Info.bmiHeader.biWidth = Width;
  Info.bmiHeader.biHeight = -Height;
  Info.bmiHeader.biPlanes = 1;
  Info.bmiHeader.biBitCount = static_cast<WORD>(Bits);
  Info.bmiHeader.biCompression = BI_RGB;
  return Info;
}

TacPixels BitmapPixels(TBitmap* Bmp) {
  if (!Bmp || Bmp->Empty()) return TacPixels();
  int Bits;
  switch (Bmp->PixelFormat()) {
    case pf8bit: Bits = 8; break;
    case pf24bit: Bits = 24; break;
    case pf32bit: Bits = 32; break;
    default: return TacPixels();
  }
  const int W = Bmp->Width(), H = Bmp->Height();
  Byte* Row0 = static_cast<Byte*>(Bmp->ScanLine(0));
  // Rows of a section are padded to 4 bytes and stored bottom-up.
  const std::ptrdiff_t Delta = H >= 2 ? static_cast<Byte*>(Bmp->ScanLine(1)) - Row0
                                      : -static_cast<std::ptrdiff_t>(((W * Bits + 31) / 32) * 4);
  return TacPixels(Row0, Delta, W, H, Bits);
}

TacBackground CacheBackground(const TCacheInfo& CI) {
  TacBackground B;
  B.Bmp = BitmapPixels(CI.Bmp);
  B.X = CI.X;
  B.Y = CI.Y;
  B.FillColor = Rgb(CI.FillColor);
  B.Ready = CI.Ready;
  return B;
}

// ---------------------------------------------------------------------------------------------
// Accessors on bitmaps

bool TacFastPixels::Attach(TBitmap* Bmp) {
  const bool Ok = Attach(BitmapPixels(Bmp));
  FBitmap = Ok ? Bmp : nullptr;
  return Ok;
}

bool TacFastSumBase::DoAttach(TBitmap* Src, TBitmap* Dst) {
  const bool Ok = DoAttach(BitmapPixels(Src), BitmapPixels(Dst));
  if (Ok) {
    FSrcBitmap = Src;
    FDstBitmap = Dst;
  }
  return Ok;
}

// ---------------------------------------------------------------------------------------------
// Work bitmaps

namespace {
TBitmap* CreateBmp(int Width, int Height, TPixelFormat Format) {
  auto Bmp = std::make_unique<TBitmap>();
  Bmp->SetPixelFormat(Format);
  Bmp->SetSize(Width, Height);
  return Bmp.release();
}
}  // namespace

TBitmap* CreateBmp24(int Width, int Height) { return CreateBmp(Width, Height, pf24bit); }
TBitmap* CreateBmp32(int Width, int Height) { return CreateBmp(Width, Height, pf32bit); }

TBitmap* CreateBmpLike(TBitmap* Bmp) {
  Need(Bmp, "CreateBmpLike");
  return CreateBmp(Bmp->Width(), Bmp->Height(), Bmp->PixelFormat());
}

// ---------------------------------------------------------------------------------------------
// The routines on bitmaps

void FillRect32(TBitmap* Bmp, TRect R, TColor C) { FillRect32(Pixels(Bmp, "FillRect32"), R, Rgb(C)); }

void BlendColorRect(TBitmap* Bmp, TRect R, int Percent, TColor C) {
  BlendColorRect(Pixels(Bmp, "BlendColorRect"), R, Percent, Rgb(C));
}

void CopyBitmapChannel(TBitmap* Bmp32, TBitmap* Bmp8, int Channel, bool ToBmp8) {
  CopyBitmapChannel(Pixels(Bmp32, "CopyBitmapChannel"), Pixels(Bmp8, "CopyBitmapChannel"), Channel, ToBmp8);
}

void ApplyDisabledKind(TBitmap* Glyph, TsDisabledKind Kind, TControl* Control, const TCacheInfo& CI, TPoint Offset) {
  const TacPixels G = Pixels(Glyph, "ApplyDisabledKind");
  const TacBackground B = CacheBackground(CI);
  // The control's colour is asked only when the look needs it.
  const bool NeedsColor = Kind.Contains(dkBlended) && !B.Ready && B.FillColor == 0xFF00FF;
  ApplyDisabledKind(G, Kind, B, Offset, NeedsColor ? DisabledLookControlColor(Control) : 0xFF00FF);
}

void GrayscaleBitmap(TBitmap* Bmp) { GrayscaleBitmap(Pixels(Bmp, "GrayscaleBitmap")); }

void FadeBitmapToColor(TBitmap* Bmp, TColor C, TColor Key, double K) {
  FadeBitmapToColor(Pixels(Bmp, "FadeBitmapToColor"), Rgb(C), Key, K);
}

void CopyBlendedWithKey(TBitmap* Dst, int X, int Y, TBitmap* Src, TRect SrcRect, double K, TColor Key) {
  CopyBlendedWithKey(Pixels(Dst, "CopyBlendedWithKey"), X, Y, Pixels(Src, "CopyBlendedWithKey"), SrcRect, K, Key);
}

void BlendColorByMask(TBitmap* Bmp, TBitmap* Mask, TColor C) {
  BlendColorByMask(Pixels(Bmp, "BlendColorByMask"), Pixels(Mask, "BlendColorByMask"), Rgb(C));
}

void BlendBitmapsByFactor(TBitmap* Dst, TBitmap* Src, Byte A) {
  BlendBitmapsByFactor(Pixels(Dst, "BlendBitmapsByFactor"), Pixels(Src, "BlendBitmapsByFactor"), A);
}

void BlendBitmapRect(TBitmap* Dst, TBitmap* Src, Byte A, TRect SrcRect, TPoint DstPoint) {
  BlendBitmapRect(Pixels(Dst, "BlendBitmapRect"), Pixels(Src, "BlendBitmapRect"), A, SrcRect, DstPoint);
}

void BlendByMask(TRect DstRect, TRect SrcRect, TBitmap* Dst, TBitmap* Src, const TCacheInfo& CI, bool FillKey) {
  BlendByMask(DstRect, SrcRect, Pixels(Dst, "BlendByMask"), Pixels(Src, "BlendByMask"), CacheBackground(CI), FillKey);
}

void BlendAlphaBitmap(TRect DstRect, TRect SrcRect, TBitmap* Dst, TBitmap* Src, const TCacheInfo& CI, bool FillKey,
                      TColor Tint, int Percent, bool Reflected) {
  Need(Src, "BlendAlphaBitmap");
  std::unique_ptr<TBitmap> Copy;
  if (Src->PixelFormat() != pf32bit) {
    Copy = std::make_unique<TBitmap>();
    Copy->Assign(Src);
    Copy->SetPixelFormat(pf32bit);
    Src = Copy.get();
  }
  BlendAlphaBitmap(DstRect, SrcRect, Pixels(Dst, "BlendAlphaBitmap"), BitmapPixels(Src), CacheBackground(CI), FillKey,
                   Tint == clNone ? Tint : Rgb(Tint), Percent, Reflected);
}

void ScaleAlphaPixels(TBitmap* Src, TBitmap* Dst) {
  ScaleAlphaPixels(Pixels(Src, "ScaleAlphaPixels"), Pixels(Dst, "ScaleAlphaPixels"));
}

void CopyByMaskHalf(TRect DstRect, TRect SrcRect, TBitmap* Dst, TBitmap* Src, const TCacheInfo& CI, bool FillKey,
                    const TsMaskData& Mask) {
  CopyByMaskHalf(DstRect, SrcRect, Pixels(Dst, "CopyByMaskHalf"), Pixels(Src, "CopyByMaskHalf"), CacheBackground(CI),
                 FillKey, Mask.R.Height());
}

void CopyWithKeyColor(TBitmap* Dst, TBitmap* Src, int X, int Y, TColor Key) {
  CopyWithKeyColor(Pixels(Dst, "CopyWithKeyColor"), Pixels(Src, "CopyWithKeyColor"), X, Y, Key);
}

void CopyWithKeyAndCache(TBitmap* Dst, TBitmap* Src, int X, int Y, TRect SrcRect, TColor Key, const TCacheInfo& CI,
                         bool FillKey) {
  CopyWithKeyAndCache(Pixels(Dst, "CopyWithKeyAndCache"), Pixels(Src, "CopyWithKeyAndCache"), X, Y, SrcRect, Key,
                      CacheBackground(CI), FillKey);
}

void CopyRectWithKey(TBitmap* Dst, TBitmap* Src, int X, int Y, TRect SrcRect, TColor Key, int) {
  CopyRectWithKey(Pixels(Dst, "CopyRectWithKey"), Pixels(Src, "CopyRectWithKey"), X, Y, SrcRect, Key);
}

void SumBitmapsByMask(TBitmap* Dst, TBitmap* A, TBitmap* B, TBitmap* Mask, Word K) {
  TacPixels M;
  if (Mask) M = BitmapPixels(Mask);
  SumBitmapsByMask(Pixels(Dst, "SumBitmapsByMask"), Pixels(A, "SumBitmapsByMask"), Pixels(B, "SumBitmapsByMask"),
                   Mask ? &M : nullptr, K);
}
