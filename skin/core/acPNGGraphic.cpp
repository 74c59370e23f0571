// The PNG bitmap graphic and what needs the system: palette handles, icons, clearing bitmaps.
// Win32 only. See acPNGGraphic.h.
#include "skin/core/acPNGGraphic.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "skin/core/acPixels.h"
#include "skin/core/sVclUtils.h"

// =================================================================================================
// Win32: palettes as handles, the bitmap graphic, icons

namespace {

HPALETTE MakePaletteHandle(const TPaletteColors& Colors) {
  if (Colors.empty()) return nullptr;
  struct {
    WORD Version;
    WORD Count;
    PALETTEENTRY Entries[256];
  } Pal{};
  Pal.Version = 0x300;
  Pal.Count = static_cast<WORD>(std::min<std::size_t>(Colors.size(), 256));
  for (WORD i = 0; i < Pal.Count; ++i) Pal.Entries[i] = PALETTEENTRY{Colors[i].R, Colors[i].G, Colors[i].B, 0};
  return CreatePalette(reinterpret_cast<LOGPALETTE*>(&Pal));
}

TPixelFormat ToPixelFormat(TacPixelFormat Format) {
  switch (Format) {
    case TacPixelFormat::Bits1: return pf1bit;
    case TacPixelFormat::Bits4: return pf4bit;
    case TacPixelFormat::Bits8: return pf8bit;
    case TacPixelFormat::Bits15: return pf15bit;
    case TacPixelFormat::Bits16: return pf16bit;
    case TacPixelFormat::Bits24: return pf24bit;
    case TacPixelFormat::Bits32: return pf32bit;
    case TacPixelFormat::Device: return pfDevice;
    default: return pfCustom;
  }
}

TProgressStage ToProgressStage(TPNGProgressStage Stage) {
  switch (Stage) {
    case TPNGProgressStage::Starting: return psStarting;
    case TPNGProgressStage::Running: return psRunning;
    default: return psEnding;
  }
}

struct TPNGUnit {
  TPNGUnit() { TPicture::RegisterFileFormat<TPNGGraphic>("png", "Portable network graphics (skin engine)"); }
  ~TPNGUnit() { TPicture::UnregisterGraphicClass<TPNGGraphic>(); }
};
const TPNGUnit PNGUnit;

}  // namespace

HPALETTE TColorManager::CreatePaletteFromData(std::span<const void* const> Data, int Format, int ColorCount,
                                              bool Reversed) {
  return MakePaletteHandle(PaletteFromData(Data, Format, ColorCount, Reversed));
}

HPALETTE TColorManager::CreateGrayPalette(bool WhiteFirst) { return MakePaletteHandle(GrayPalette(WhiteFirst)); }

// Points the reader at the bitmap's scan lines.
class TPNGGraphic::TBitmapTarget : public TPNGPixelTarget {
 public:
  explicit TBitmapTarget(TPNGGraphic& Graphic) : G(Graphic) {}

  void Begin(const TPNGLayout& L) override {
    const TPixelFormat Format = ToPixelFormat(L.PixelFormat);
    G.SetPixelFormat(Format);
    G.SetSize(L.Width, L.Height);
    if (!L.Palette.empty()) {
      const std::size_t Entries = std::size_t{1} << PixelFormatBits(L.PixelFormat);
      G.SetPalette(MakePaletteHandle(TPaletteColors(L.Palette.begin(),
                                                    L.Palette.begin() + std::min(Entries, L.Palette.size()))));
    }
    G.FBackgroundColor = L.BackgroundColor;
    // Row 0 at the top, whatever the pixel format.
    Scan0 = nullptr;
    Delta = 0;
    if (!G.Empty()) {
      Scan0 = static_cast<Byte*>(G.ScanLine(0));
      if (L.Height > 1) Delta = static_cast<Byte*>(G.ScanLine(1)) - Scan0;
    }
    // The background: a palette index or grey level for palette formats, a colour otherwise.
    const int Bits = PixelFormatBits(L.PixelFormat);
    const std::size_t RowBytes = (static_cast<std::size_t>(L.Width) * Bits + 7) / 8;
    for (int y = 0; y < L.Height; ++y) {
      Byte* p = Row(y);
      if (Bits >= 24) {
        for (int x = 0; x < L.Width; ++x, p += Bits / 8) {
          p[0] = static_cast<Byte>(L.BackgroundColor >> 16);
          p[1] = static_cast<Byte>(L.BackgroundColor >> 8);
          p[2] = static_cast<Byte>(L.BackgroundColor);
          if (Bits == 32) p[3] = 0;
        }
      } else {
        Byte Fill = static_cast<Byte>(L.BackgroundColor);
        if (Bits == 1) Fill = (Fill & 1) ? 0xFF : 0;
        if (Bits == 4) Fill = static_cast<Byte>(((Fill & 15) << 4) | (Fill & 15));
        std::memset(p, Fill, RowBytes);
      }
    }
    if (L.TransparentColor != clNone) {
      G.SetTransparentColor(L.TransparentColor);
      G.SetTransparent(true);
    }
  }

  Byte* Row(int Y) override { return Scan0 + Y * Delta; }

 private:
  TPNGGraphic& G;
  Byte* Scan0 = nullptr;
  std::ptrdiff_t Delta = 0;
};

TPNGGraphic::TPNGGraphic() {
  FReader.OnProgress = [this](TPNGProgressStage Stage, Byte Percent, bool Redraw, const TRect& R,
                              const AnsiString& Msg) { Progress(this, ToProgressStage(Stage), Percent, Redraw, R, Msg); };
}

TPNGGraphic::~TPNGGraphic() = default;

void TPNGGraphic::LoadFromStream(TStream& Stream) {
  // The previous image goes first: the bitmap is empty, of the device format, not transparent.
  TBitmap::Assign(nullptr);
  SetPixelFormat(pfDevice);
  SetTransparent(false);
  SetTransparentMode(tmAuto);
  FBackgroundColor = clWhite;
  TBitmapTarget Target(*this);
  try {
    FReader.Load(Stream, Target);
  } catch (...) {
    FProps = FReader.ImageProperties();
    throw;
  }
  FProps = FReader.ImageProperties();
  Changed(this);
}

void TPNGGraphic::Assign(TPersistent* Source) {
  if (auto* Png = dynamic_cast<TPNGGraphic*>(Source)) FProps = Png->FProps;
  TBitmap::Assign(Source);
}

void TPNGGraphic::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (PixelFormat() != pf32bit) {
    TBitmap::Draw(ACanvas, Rect);
    return;
  }
  const int W = Rect.Width(), H = Rect.Height();
  if (Empty() || W <= 0 || H <= 0) return;
  const int WorkHeight = Reflected ? H + H / 2 : H;
  // The canvas area under the image, blended in a 24-bit work bitmap and copied back once.
  const std::unique_ptr<TBitmap> Work(CreateBmp24(W, WorkHeight));
  HDC Target = ACanvas->Handle();
  BitBlt(Work->Canvas()->Handle(), 0, 0, W, WorkHeight, Target, Rect.Left, Rect.Top, SRCCOPY);
  const TRect Area = ::Rect(0, 0, W, H);
  if (W == Width() && H == Height()) {
    BlendAlphaBitmap(Area, Area, Work.get(), this, DefaultCacheInfo(), false, clNone, 0, Reflected);
  } else {
    // Colour and alpha are scaled together, premultiplied: scaling them apart would lend the
    // colour of transparent pixels to the edges of the image.
    const std::unique_ptr<TBitmap> Scaled(CreateBmp32(W, H));
    ScaleAlphaPixels(this, Scaled.get());
    BlendAlphaBitmap(Area, Area, Work.get(), Scaled.get(), DefaultCacheInfo(), false, clNone, 0, false);
  }
  GdiFlush();
  BitBlt(Target, Rect.Left, Rect.Top, W, WorkHeight, Work->Canvas()->Handle(), 0, 0, SRCCOPY);
}

HICON MakeIconFromPNG(TPNGGraphic* Image, bool ForceMask) {
  if (Image == nullptr || Image->Empty()) return nullptr;
  const int W = Image->Width(), H = Image->Height();
  // The AND mask, a monochrome bitmap with word-aligned rows: set bits are transparent. It starts
  // all opaque, and images with a side of 1 keep it so (a single pixel would key itself away).
  const int MaskStride = ((W + 15) / 16) * 2;
  std::vector<Byte> MaskBits(static_cast<std::size_t>(MaskStride) * H, 0);
  const bool KeyedMask = ForceMask || Image->PixelFormat() != pf32bit;
  if (KeyedMask) Image->SetPixelFormat(pf32bit);
  // Icons draw as (screen AND mask) XOR colour, so the icon's colour bitmap is a copy of the image
  // that is black under the set mask bits; the image itself keeps its pixels.
  // The accessors attach only to images of at least 2 x 2 pixels.
  std::unique_ptr<TBitmap> Colour;
  TacFast32 Source, Out;
  if (KeyedMask && Source.Attach(Image)) {
    const TColor Key = Source.GetPixel(0, 0);
    Colour = std::make_unique<TBitmap>();
    Colour->Assign(Image);
    if (Out.Attach(Colour.get())) {
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          if (Source.GetPixel(x, y) != Key) continue;
          MaskBits[static_cast<std::size_t>(y) * MaskStride + x / 8] |= static_cast<Byte>(0x80 >> (x % 8));
          Out.SetPixel(x, y, 0);
        }
    } else {
      Colour.reset();
    }
  }
  HBITMAP Mask = CreateBitmap(W, H, 1, 1, MaskBits.data());
  if (Mask == nullptr) return nullptr;
  GdiFlush();
  ICONINFO Info{};
  Info.fIcon = TRUE;
  Info.hbmColor = Colour ? Colour->Handle() : Image->Handle();
  Info.hbmMask = Mask;
  HICON Icon = CreateIconIndirect(&Info);
  DeleteObject(Mask);
  return Icon;
}

void ClearTransparentWhite(TBitmap* Bitmap) {
  if (Bitmap == nullptr || Bitmap->PixelFormat() != pf32bit) return;
  ClearTransparentWhite(BitmapPixels(Bitmap));
}
