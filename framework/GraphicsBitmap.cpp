// The graphics unit's bitmap: device-independent images (sections in every pixel format, with
// conversion between formats) and the TBitmap class over them, with its BMP files and resources.
#include "framework/Graphics.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "framework/BmpFile.h"
#include "framework/Scopes.h"
#include "framework/Convert.h"
#include "framework/Streams.h"
#include "framework/Strings.h"

namespace {

[[noreturn]] void OutOfResources() { throw EOutOfResources("Out of system resources"); }

}  // namespace

// Device-independent images

namespace detail {

// A section with its geometry; deletes the section unless it was handed on.
struct DibImage {
  HBITMAP Handle = nullptr;
  Byte* Bits = nullptr;  // storage row 0 is the bottom row
  int Width = 0;
  int Height = 0;
  int Stride = 0;
  TPixelFormat Format = pfDevice;
  std::vector<RGBQUAD> Colors;

  DibImage() = default;
  DibImage(const DibImage&) = delete;
  DibImage& operator=(const DibImage&) = delete;
  ~DibImage() {
    if (Handle) DeleteObject(Handle);
  }
  Byte* Row(int StorageRow) const { return Bits + static_cast<std::ptrdiff_t>(StorageRow) * Stride; }
};

}  // namespace detail

using detail::DibImage;

namespace {

int BitsOf(TPixelFormat F) {
  switch (F) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

bool IsPaletteFormat(TPixelFormat F) { return F == pf1bit || F == pf4bit || F == pf8bit; }

int StrideOf(std::int64_t Width, int Bits) { return static_cast<int>((Width * Bits + 31) / 32 * 4); }

RGBQUAD Quad(int R, int G, int B) {
  RGBQUAD q;
  q.rgbBlue = static_cast<BYTE>(B);
  q.rgbGreen = static_cast<BYTE>(G);
  q.rgbRed = static_cast<BYTE>(R);
  q.rgbReserved = 0;
  return q;
}

bool SameColors(const std::vector<RGBQUAD>& A, const std::vector<RGBQUAD>& B) {
  return A.size() == B.size() && (A.empty() || std::memcmp(A.data(), B.data(), A.size() * sizeof(RGBQUAD)) == 0);
}

// The fixed palettes of the palette formats. 8 bits: a 6x6x6 cube (index r*36 + g*6 + b, levels
// 0, 51, ... 255) followed by 40 greys 3, 9, ... 249 (without 51 and 153, which the cube has).
const std::vector<RGBQUAD>& DefaultColors(TPixelFormat F) {
  static const std::vector<RGBQUAD> mono{Quad(0, 0, 0), Quad(255, 255, 255)};
  static const std::vector<RGBQUAD> vga{
      Quad(0, 0, 0),       Quad(128, 0, 0),   Quad(0, 128, 0),   Quad(128, 128, 0),
      Quad(0, 0, 128),     Quad(128, 0, 128), Quad(0, 128, 128), Quad(192, 192, 192),
      Quad(128, 128, 128), Quad(255, 0, 0),   Quad(0, 255, 0),   Quad(255, 255, 0),
      Quad(0, 0, 255),     Quad(255, 0, 255), Quad(0, 255, 255), Quad(255, 255, 255)};
  static const std::vector<RGBQUAD> cube = [] {
    std::vector<RGBQUAD> v;
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) v.push_back(Quad(r * 51, g * 51, b * 51));
    for (int k = 3; k < 255; k += 6)
      if (k % 51 != 0) v.push_back(Quad(k, k, k));
    return v;
  }();
  static const std::vector<RGBQUAD> none;
  switch (F) {
    case pf1bit: return mono;
    case pf4bit: return vga;
    case pf8bit: return cube;
    default: return none;
  }
}

// Pixels travel between formats as 0xAARRGGBB (the byte order B, G, R, A of a 32-bit pixel).
inline std::uint32_t FromQuad(const RGBQUAD& Q) {
  return static_cast<std::uint32_t>(Q.rgbBlue) | (static_cast<std::uint32_t>(Q.rgbGreen) << 8) |
         (static_cast<std::uint32_t>(Q.rgbRed) << 16);
}

inline int Dist2(const RGBQUAD& Q, int R, int G, int B) {
  int dr = Q.rgbRed - R, dg = Q.rgbGreen - G, db = Q.rgbBlue - B;
  return dr * dr + dg * dg + db * db;
}

// The nearest entry of a colour table (squared distance, first entry on ties).
class NearestIndex {
 public:
  explicit NearestIndex(const std::vector<RGBQUAD>& Colors)
      : C(Colors), Standard8(SameColors(Colors, DefaultColors(pf8bit))) {}

  Byte operator()(std::uint32_t V) {
    int r = (V >> 16) & 0xFF, g = (V >> 8) & 0xFF, b = V & 0xFF;
    if (C.empty()) return 0;
    if (Standard8) return Standard(r, g, b);
    if (C.size() <= 16) return Search(r, g, b);
    std::uint32_t key = V & 0xFFFFFF;
    auto it = Cache.find(key);
    if (it != Cache.end()) return it->second;
    Byte i = Search(r, g, b);
    Cache.emplace(key, i);
    return i;
  }

 private:
  Byte Search(int R, int G, int B) const {
    int best = 0, bestD = Dist2(C[0], R, G, B);
    for (int i = 1; i < static_cast<int>(C.size()) && bestD > 0; ++i) {
      int d = Dist2(C[i], R, G, B);
      if (d < bestD) best = i, bestD = d;
    }
    return static_cast<Byte>(best);
  }
  // The cube's nearest entry per channel, against the nearest grey of the whole palette.
  Byte Standard(int R, int G, int B) const {
    static const std::vector<std::pair<int, int>> greys = [] {
      std::vector<std::pair<int, int>> v;  // (level, index), sorted by level
      const auto& c = DefaultColors(pf8bit);
      for (int i = 0; i < static_cast<int>(c.size()); ++i)
        if (c[i].rgbRed == c[i].rgbGreen && c[i].rgbGreen == c[i].rgbBlue) v.emplace_back(c[i].rgbRed, i);
      std::sort(v.begin(), v.end());
      return v;
    }();
    int ri = (R + 25) / 51, gi = (G + 25) / 51, bi = (B + 25) / 51;
    int best = ri * 36 + gi * 6 + bi;
    int bestD = Dist2(C[best], R, G, B);
    if (bestD == 0) return static_cast<Byte>(best);
    int mean = (R + G + B) / 3;
    auto it = std::lower_bound(greys.begin(), greys.end(), std::make_pair(mean, -1));
    for (auto j = (it == greys.begin() ? it : it - 1); j != greys.end() && j <= it + 1; ++j) {
      int d = Dist2(C[j->second], R, G, B);
      if (d < bestD) best = j->second, bestD = d;
    }
    return static_cast<Byte>(best);
  }

  const std::vector<RGBQUAD>& C;
  bool Standard8;
  std::unordered_map<std::uint32_t, Byte> Cache;
};

inline std::uint32_t ReadPixel(const Byte* Row, int X, TPixelFormat F, const std::vector<RGBQUAD>& Colors) {
  auto fromIndex = [&](unsigned i) -> std::uint32_t { return i < Colors.size() ? FromQuad(Colors[i]) : 0u; };
  switch (F) {
    case pf1bit: return fromIndex((Row[X >> 3] >> (7 - (X & 7))) & 1);
    case pf4bit: return fromIndex((X & 1) ? (Row[X >> 1] & 0x0F) : (Row[X >> 1] >> 4));
    case pf8bit: return fromIndex(Row[X]);
    case pf15bit: {
      unsigned v = Row[2 * X] | (Row[2 * X + 1] << 8);
      unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
      return ((b << 3) | (b >> 2)) | (((g << 3) | (g >> 2)) << 8) | (((r << 3) | (r >> 2)) << 16);
    }
    case pf16bit: {
      unsigned v = Row[2 * X] | (Row[2 * X + 1] << 8);
      unsigned r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
      return ((b << 3) | (b >> 2)) | (((g << 2) | (g >> 4)) << 8) | (((r << 3) | (r >> 2)) << 16);
    }
    case pf24bit: return Row[3 * X] | (Row[3 * X + 1] << 8) | (static_cast<std::uint32_t>(Row[3 * X + 2]) << 16);
    default: {
      std::uint32_t v;
      std::memcpy(&v, Row + 4 * X, 4);
      return v;
    }
  }
}

inline void WritePixel(Byte* Row, int X, TPixelFormat F, std::uint32_t V, NearestIndex& Map) {
  switch (F) {
    case pf1bit: {
      Byte bit = static_cast<Byte>(0x80 >> (X & 7));
      if (Map(V)) Row[X >> 3] |= bit;
      else Row[X >> 3] &= static_cast<Byte>(~bit);
      break;
    }
    case pf4bit: {
      Byte i = Map(V) & 0x0F;
      Byte& b = Row[X >> 1];
      b = (X & 1) ? static_cast<Byte>((b & 0xF0) | i) : static_cast<Byte>((b & 0x0F) | (i << 4));
      break;
    }
    case pf8bit: Row[X] = Map(V); break;
    case pf15bit: {
      unsigned v = (((V >> 19) & 31) << 10) | (((V >> 11) & 31) << 5) | ((V >> 3) & 31);
      Row[2 * X] = static_cast<Byte>(v);
      Row[2 * X + 1] = static_cast<Byte>(v >> 8);
      break;
    }
    case pf16bit: {
      unsigned v = (((V >> 19) & 31) << 11) | (((V >> 10) & 63) << 5) | ((V >> 3) & 31);
      Row[2 * X] = static_cast<Byte>(v);
      Row[2 * X + 1] = static_cast<Byte>(v >> 8);
      break;
    }
    case pf24bit:
      Row[3 * X] = static_cast<Byte>(V);
      Row[3 * X + 1] = static_cast<Byte>(V >> 8);
      Row[3 * X + 2] = static_cast<Byte>(V >> 16);
      break;
    default: std::memcpy(Row + 4 * X, &V, 4); break;
  }
}

void CheckSize(std::int64_t W, std::int64_t H) {
  if (W < 0 || H < 0 || W > TBitmap::MaxSide || H > TBitmap::MaxSide || W * H > TBitmap::MaxPixels)
    throw EInvalidGraphic(Format("Invalid bitmap size (%lld x %lld)", static_cast<long long>(W),
                                 static_cast<long long>(H)));
}

// A section header with room for a colour table or the 16-bit channel masks.
struct TDibInfo {
  BITMAPINFOHEADER H;
  RGBQUAD C[256];
};

// The header of a bottom-up W x H section of format F; the 16-bit format carries its 5-6-5 masks.
void FillDibInfo(TDibInfo& bi, int W, int H, TPixelFormat F) {
  bi.H.biSize = sizeof(BITMAPINFOHEADER);
  bi.H.biWidth = W;
  bi.H.biHeight = H;
  bi.H.biPlanes = 1;
  bi.H.biBitCount = static_cast<WORD>(BitsOf(F));
  bi.H.biCompression = BI_RGB;
  if (F == pf16bit) {
    bi.H.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(bi.C, masks, sizeof(masks));
  }
}

// Makes a section of the given size and format; White fills it with white (the nearest entry
// for palette formats), otherwise it starts zeroed.
void CreateImage(DibImage& Img, int W, int H, TPixelFormat F, const std::vector<RGBQUAD>& Colors, bool White) {
  CheckSize(W, H);
  Img.Width = W;
  Img.Height = H;
  Img.Format = F;
  Img.Colors = Colors;
  if (W == 0 || H == 0) return;
  TDibInfo bi{};
  FillDibInfo(bi, W, H, F);
  if (IsPaletteFormat(F)) {
    bi.H.biClrUsed = static_cast<DWORD>(Colors.size());
    std::copy(Colors.begin(), Colors.end(), bi.C);
  }
  void* bits = nullptr;
  HBITMAP h = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!h || !bits) {
    if (h) DeleteObject(h);
    OutOfResources();
  }
  Img.Handle = h;
  Img.Bits = static_cast<Byte*>(bits);
  Img.Stride = StrideOf(W, BitsOf(F));
  if (!White) return;
  const std::size_t total = static_cast<std::size_t>(Img.Stride) * H;
  switch (F) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
      NearestIndex map(Img.Colors);
      Byte i = map(0xFFFFFF);
      Byte fill = F == pf1bit ? (i ? 0xFF : 0x00) : F == pf4bit ? static_cast<Byte>(i * 0x11) : i;
      std::memset(Img.Bits, fill, total);
      break;
    }
    case pf15bit:
      for (int y = 0; y < H; ++y) {
        Byte* row = Img.Row(y);
        for (int x = 0; x < W; ++x) row[2 * x] = 0xFF, row[2 * x + 1] = 0x7F;
      }
      break;
    case pf16bit:
    case pf24bit: std::memset(Img.Bits, 0xFF, total); break;
    default:
      for (int y = 0; y < H; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(Img.Row(y));
        std::fill(row, row + W, 0x00FFFFFFu);
      }
      break;
  }
}

// Copies the pixels of Src into Dst (same size), converting the format.
void ConvertImage(const DibImage& Src, DibImage& Dst) {
  const int w = Src.Width;
  NearestIndex map(Dst.Colors);
  for (int y = 0; y < Src.Height; ++y) {
    const Byte* s = Src.Row(y);
    Byte* d = Dst.Row(y);
    if (Src.Format == pf24bit && BitsOf(Dst.Format) == 32) {
      for (int x = 0; x < w; ++x) d[4 * x] = s[3 * x], d[4 * x + 1] = s[3 * x + 1], d[4 * x + 2] = s[3 * x + 2], d[4 * x + 3] = 0;
    } else if (BitsOf(Src.Format) == 32 && Dst.Format == pf24bit) {
      for (int x = 0; x < w; ++x) d[3 * x] = s[4 * x], d[3 * x + 1] = s[4 * x + 1], d[3 * x + 2] = s[4 * x + 2];
    } else {
      for (int x = 0; x < w; ++x) WritePixel(d, x, Dst.Format, ReadPixel(s, x, Src.Format, Src.Colors), map);
    }
  }
}

TPixelFormat FormatOfBits(int Bits, bool Is565) {
  switch (Bits) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16: return Is565 ? pf16bit : pf15bit;
    case 24: return pf24bit;
    case 32: return pf32bit;
    default: return pfCustom;
  }
}

// Copies any bitmap handle (section or device bitmap) into Img. Device bitmaps become pfDevice
// (or pf1bit when monochrome).
void CopyHandleImage(HBITMAP Source, DibImage& Img) {
  DIBSECTION ds{};
  int got = GetObjectA(Source, sizeof(ds), &ds);
  if (got == 0) throw EInvalidGraphic("Invalid bitmap handle");
  TPixelFormat f;
  if (got == sizeof(DIBSECTION) && ds.dsBm.bmBits) {
    bool is565 = ds.dsBmih.biCompression == BI_BITFIELDS && ds.dsBitfields[1] == 0x07E0;
    f = FormatOfBits(ds.dsBmih.biBitCount, is565);
    if (f == pfCustom) f = pf32bit;
  } else {
    f = ds.dsBm.bmBitsPixel == 1 ? pf1bit : pfDevice;
  }
  int w = ds.dsBm.bmWidth, h = std::abs(ds.dsBm.bmHeight);
  TDibInfo bi{};
  FillDibInfo(bi, w, h, f);
  HDC dc = GetDC(nullptr);
  TScopeExit Release([&] { ReleaseDC(nullptr, dc); });
  std::vector<RGBQUAD> colors;
  if (IsPaletteFormat(f)) {
    // The first call fills in the colour table only.
    GetDIBits(dc, Source, 0, h, nullptr, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    bi.H.biCompression = BI_RGB;
    int n = 1 << BitsOf(f);
    colors.assign(bi.C, bi.C + n);
    bi.H.biClrUsed = 0;
  }
  CreateImage(Img, w, h, f, IsPaletteFormat(f) ? colors : std::vector<RGBQUAD>{}, false);
  bi.H.biSize = sizeof(BITMAPINFOHEADER);
  bi.H.biBitCount = static_cast<WORD>(BitsOf(f));
  if (h > 0) GetDIBits(dc, Source, 0, h, Img.Bits, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
}

}  // namespace

// =============================================================================================
// TBitmap

// ---------------------------------------------------------------------------------------------
// Memory DCs

namespace {
// The memory DCs kept for the thread that first asks for one (the program's painting thread), made
// all at that first need so that it holds the same number whether or not they are taken, and the
// ones not taken. Each has its first saved state the one it was made in. They last as long as the
// program (the system frees them with it), so that no bitmap outlives them; other threads make and
// delete their own. A bitmap's canvas holds its DC for the bitmap's life: canvases leave the last
// ones to painters that give theirs back at once (a size step takes one a dozen times over).
constexpr std::size_t KeptMemoryDCs = 6, KeptForQuickUse = 2;
struct TKeptMemoryDCs {
  DWORD Thread;
  std::vector<HDC> Kept, Free;
};

HDC NewMemoryDC() {
  HDC DC = CreateCompatibleDC(nullptr);
  if (DC != nullptr && SaveDC(DC) != 1) {
    DeleteDC(DC);
    return nullptr;
  }
  return DC;
}

TKeptMemoryDCs* KeptForThisThread() {
  static TKeptMemoryDCs* const Kept = [] {
    auto* K = new TKeptMemoryDCs{GetCurrentThreadId(), {}, {}};
    for (std::size_t I = 0; I < KeptMemoryDCs; ++I) {
      HDC DC = NewMemoryDC();
      if (DC == nullptr) break;
      K->Kept.push_back(DC);
      K->Free.push_back(DC);
    }
    return K;
  }();
  return Kept->Thread == GetCurrentThreadId() ? Kept : nullptr;
}

// A kept DC when one is free (for a DC held long, only while more than the quick ones are free),
// otherwise a new one.
HDC TakeMemoryDC(bool HeldLong) {
  TKeptMemoryDCs* M = KeptForThisThread();
  if (M == nullptr || M->Free.size() <= (HeldLong ? KeptForQuickUse : 0)) return NewMemoryDC();
  HDC DC = M->Free.back();
  M->Free.pop_back();
  return DC;
}
}  // namespace

HDC TakeMemoryDC() { return TakeMemoryDC(false); }

void GiveBackMemoryDC(HDC DC) {
  if (DC == nullptr) return;
  TKeptMemoryDCs* M = KeptForThisThread();
  const auto Own = M != nullptr ? std::find(M->Kept.begin(), M->Kept.end(), DC) : std::vector<HDC>::iterator{};
  if (M == nullptr || Own == M->Kept.end()) {
    DeleteDC(DC);
    return;
  }
  // Back to the state saved when it was made, which is saved again for the next return; one that
  // cannot go back is replaced.
  if (RestoreDC(DC, 1) && SaveDC(DC) == 1) {
    M->Free.push_back(DC);
    return;
  }
  DeleteDC(DC);
  *Own = NewMemoryDC();
  if (*Own != nullptr) M->Free.push_back(*Own); else M->Kept.erase(Own);
}

// The bitmap's own canvas: one memory DC for the life of the bitmap, with the current section
// selected into it.
class TBitmapCanvas : public TCanvas {
  T_CLASS(TBitmapCanvas, TCanvas)

 public:
  explicit TBitmapCanvas(TBitmap* Bitmap) : FBitmap(Bitmap) {}
  ~TBitmapCanvas() override {
    if (FHandle) {
      HDC dc = FHandle;
      SetHandle(nullptr);
      SelectObject(dc, FStockBitmap);
      GiveBackMemoryDC(dc);
    }
  }
  // The DC while the section is selected into it, otherwise 0.
  HDC SelectedDC() const { return FState.Contains(csHandleValid) ? FHandle : nullptr; }
  // Puts the bitmap's new section (or none) into the DC; the clipping region of the old one goes.
  void SelectBitmap(HBITMAP H) {
    if (!FHandle) return;
    SelectObject(FHandle, H && FState.Contains(csHandleValid) ? static_cast<HGDIOBJ>(H) : FStockBitmap);
    SelectClipRgn(FHandle, nullptr);
  }
  // Takes the section out of the DC until the canvas is used again.
  void Deselect() {
    if (!FHandle || !FState.Contains(csHandleValid)) return;
    GdiFlush();
    SelectObject(FHandle, FStockBitmap);
    FState.Exclude(csHandleValid);
  }

 protected:
  void CreateHandle() override {
    if (FHandle) {  // the DC stays; the section comes back into it
      if (FBitmap->FHandle) SelectObject(FHandle, FBitmap->FHandle);
      FState.Include(csHandleValid);
      return;
    }
    HDC dc = TakeMemoryDC(true);
    if (!dc) OutOfResources();
    FStockBitmap = GetCurrentObject(dc, OBJ_BITMAP);
    if (FBitmap->FHandle) SelectObject(dc, FBitmap->FHandle);
    SetHandle(dc);
  }
  void Changed() override {
    TCanvas::Changed();
    FBitmap->Changed(FBitmap);
  }

 private:
  TBitmap* FBitmap;
  HGDIOBJ FStockBitmap = nullptr;
};

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int AWidth, int AHeight, TPixelFormat Format) {
  SetPixelFormat(Format);
  SetSize(AWidth, AHeight);
}

TBitmap::~TBitmap() {
  FCanvas.reset();
  if (FHandle) DeleteObject(FHandle);
  if (FPalette) DeleteObject(FPalette);
}

void TBitmap::DropPalette() {
  if (FPalette) DeleteObject(FPalette);
  FPalette = nullptr;
}

void TBitmap::TakeImage(DibImage& Img) {
  if (FCanvas) static_cast<TBitmapCanvas*>(FCanvas.get())->SelectBitmap(Img.Handle);
  HBITMAP old = FHandle;
  FHandle = Img.Handle;
  Img.Handle = nullptr;
  FBits = FSectionBits = FHandle ? Img.Bits : nullptr;
  FWidth = FSectionWidth = FHandle ? Img.Width : 0;
  FHeight = FSectionHeight = FHandle ? Img.Height : 0;
  FStride = FHandle ? Img.Stride : 0;
  FPixelFormat = Img.Format;
  if (!SameColors(FColors, Img.Colors)) {
    FColors = std::move(Img.Colors);
    DropPalette();
  }
  if (old) DeleteObject(old);
}

void TBitmap::FreeImage() {
  DibImage empty;
  empty.Format = FPixelFormat;
  empty.Colors = FColors;
  TakeImage(empty);
}

void TBitmap::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (Source == nullptr) {
    FreeImage();
    Changed(this);
    return;
  }
  auto* b = dynamic_cast<TBitmap*>(Source);
  if (!b) {
    TGraphic::Assign(Source);
    return;
  }
  DibImage img;
  CreateImage(img, b->FWidth, b->FHeight, b->FPixelFormat, b->FColors, false);
  if (img.Handle) {
    GdiFlush();
    for (int y = 0; y < b->FHeight; ++y)
      std::memcpy(img.Row(y), b->FBits + static_cast<std::ptrdiff_t>(y) * b->FStride, static_cast<std::size_t>(img.Stride));
  }
  TakeImage(img);
  FTransparent = b->FTransparent;
  FTransparentColor = b->FTransparentColor;
  FTransparentMode = b->FTransparentMode;
  Changed(this);
}

void TBitmap::SetSize(int AWidth, int AHeight) { Resize(AWidth, AHeight, true); }

void TBitmap::SetSizeDiscarding(int AWidth, int AHeight) { Resize(AWidth, AHeight, false); }

void TBitmap::SetSizeWithRoom(int AWidth, int AHeight) {
  CheckSize(AWidth, AHeight);
  if (AWidth == FWidth && AHeight == FHeight) return;
  if (IsPaletteFormat(FPixelFormat) || AWidth == 0 || AHeight == 0) {
    Resize(AWidth, AHeight, false);
    return;
  }
  const auto Area = [](int W, int H) { return static_cast<std::int64_t>(W) * H; };
  if (FHandle == nullptr || AWidth > FSectionWidth || AHeight > FSectionHeight ||
      Area(FSectionWidth, FSectionHeight) > 2 * Area(AWidth, AHeight)) {
    // Room to grow, within the limits of a size.
    const int W = std::min({AWidth + AWidth / 8, 32768, (1 << 28) / AHeight});
    const int H = std::min({AHeight + AHeight / 8, 32768, (1 << 28) / W});
    DibImage img;
    CreateImage(img, W, H, FPixelFormat, FColors, false);
    TakeImage(img);
  } else if (FCanvas) {
    static_cast<TBitmapCanvas*>(FCanvas.get())->SelectBitmap(FHandle);  // its clipping region goes
  }
  FWidth = AWidth;
  FHeight = AHeight;
  FBits = FSectionBits + static_cast<std::ptrdiff_t>(FSectionHeight - AHeight) * FStride;
  Changed(this);
}

void TBitmap::DropRoom() {
  if (FWidth == FSectionWidth && FHeight == FSectionHeight) return;
  DibImage img;
  CreateImage(img, FWidth, FHeight, FPixelFormat, FColors, false);
  GdiFlush();
  for (int y = 0; y < FHeight; ++y)
    std::memcpy(img.Row(y), FBits + static_cast<std::ptrdiff_t>(y) * FStride, static_cast<std::size_t>(img.Stride));
  TakeImage(img);
}

void TBitmap::Resize(int AWidth, int AHeight, bool Keep) {
  CheckSize(AWidth, AHeight);
  if (AWidth == FWidth && AHeight == FHeight) return;
  const std::vector<RGBQUAD>& colors = IsPaletteFormat(FPixelFormat) && FColors.empty() ? DefaultColors(FPixelFormat) : FColors;
  DibImage img;
  CreateImage(img, AWidth, AHeight, FPixelFormat, colors, Keep);
  if (Keep && img.Handle && FHandle) {
    GdiFlush();
    const int w = std::min(AWidth, FWidth), h = std::min(AHeight, FHeight);
    const int bits = BitsOf(FPixelFormat);
    NearestIndex map(img.Colors);
    for (int y = 0; y < h; ++y) {  // y counts from the top
      const Byte* s = FBits + static_cast<std::ptrdiff_t>(FHeight - 1 - y) * FStride;
      Byte* d = img.Row(AHeight - 1 - y);
      if (bits >= 8) {
        std::memcpy(d, s, static_cast<std::size_t>(w) * bits / 8);
      } else {
        for (int x = 0; x < w; ++x) WritePixel(d, x, FPixelFormat, ReadPixel(s, x, FPixelFormat, FColors), map);
      }
    }
  }
  TakeImage(img);
  Changed(this);
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == FPixelFormat) return;
  if (Value < pfDevice || Value >= pfCustom) throw EInvalidGraphic("Invalid pixel format");
  if ((Value == pfDevice && FPixelFormat == pf32bit) || (Value == pf32bit && FPixelFormat == pfDevice)) {
    FPixelFormat = Value;
    Changed(this);
    return;
  }
  const std::vector<RGBQUAD>& colors = DefaultColors(Value);
  DibImage img;
  CreateImage(img, FWidth, FHeight, Value, colors, false);
  if (img.Handle) {
    GdiFlush();
    DibImage src;  // a view of the current pixels (owns nothing)
    src.Bits = FBits;
    src.Width = FWidth;
    src.Height = FHeight;
    src.Stride = FStride;
    src.Format = FPixelFormat;
    src.Colors = FColors;
    ConvertImage(src, img);
  }
  TakeImage(img);
  Changed(this);
}

void TBitmap::SetHandleType(TBitmapHandleType Value) {
  if (Value == HandleType()) return;
  SetPixelFormat(Value == bmDIB ? pf32bit : pfDevice);
}

void TBitmap::SetMonochrome(bool Value) {
  if (Value == Monochrome()) return;
  SetPixelFormat(Value ? pf1bit : pfDevice);
}

void* TBitmap::ScanLine(int Row) {
  if (Row < 0 || Row >= FHeight) throw ERangeError("Scan line index out of range");
  GdiFlush();
  return FBits + static_cast<std::ptrdiff_t>(FHeight - 1 - Row) * FStride;
}

HBITMAP TBitmap::Handle() const {
  if (FCanvas) static_cast<TBitmapCanvas*>(FCanvas.get())->Deselect();
  return FHandle;
}

TCanvas* TBitmap::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TBitmapCanvas>(this);
  return FCanvas.get();
}

void TBitmap::SetHandle(HBITMAP Value) {
  if (Value == FHandle) return;
  if (!Value) {
    FreeImage();
    Changed(this);
    return;
  }
  DIBSECTION ds{};
  int got = GetObjectA(Value, sizeof(ds), &ds);
  if (got == 0) throw EInvalidGraphic("Invalid bitmap handle");
  bool is565 = ds.dsBmih.biCompression == BI_BITFIELDS && ds.dsBitfields[0] == 0xF800 &&
               ds.dsBitfields[1] == 0x07E0 && ds.dsBitfields[2] == 0x001F;
  bool is555 = ds.dsBmih.biCompression == BI_RGB ||
               (ds.dsBmih.biCompression == BI_BITFIELDS && ds.dsBitfields[0] == 0x7C00 &&
                ds.dsBitfields[1] == 0x03E0 && ds.dsBitfields[2] == 0x001F);
  bool is888 = ds.dsBmih.biCompression == BI_RGB ||
               (ds.dsBmih.biCompression == BI_BITFIELDS && ds.dsBitfields[0] == 0xFF0000 &&
                ds.dsBitfields[1] == 0xFF00 && ds.dsBitfields[2] == 0xFF);
  TPixelFormat f = FormatOfBits(ds.dsBmih.biBitCount, is565);
  bool keep = got == sizeof(DIBSECTION) && ds.dsBm.bmBits && ds.dsBmih.biHeight > 0 && f != pfCustom &&
              (f != pf15bit || is555) && (f != pf32bit || is888) &&
              (ds.dsBmih.biCompression == BI_RGB || ds.dsBmih.biCompression == BI_BITFIELDS);
  DibImage img;
  if (keep) {
    img.Handle = Value;
    img.Bits = static_cast<Byte*>(ds.dsBm.bmBits);
    img.Width = ds.dsBm.bmWidth;
    img.Height = ds.dsBm.bmHeight;
    img.Stride = StrideOf(img.Width, BitsOf(f));
    img.Format = f;
    if (IsPaletteFormat(f)) {
      img.Colors.assign(static_cast<std::size_t>(1) << BitsOf(f), Quad(0, 0, 0));
      HDC dc = CreateCompatibleDC(nullptr);
      HGDIOBJ old = SelectObject(dc, Value);
      GetDIBColorTable(dc, 0, static_cast<UINT>(img.Colors.size()), img.Colors.data());
      SelectObject(dc, old);
      DeleteDC(dc);
    }
  } else {
    CopyHandleImage(Value, img);
    DeleteObject(Value);
  }
  TakeImage(img);
  Changed(this);
}

HBITMAP TBitmap::ReleaseHandle() {
  if (!FHandle) return nullptr;
  DropRoom();
  GdiFlush();
  if (FCanvas) static_cast<TBitmapCanvas*>(FCanvas.get())->SelectBitmap(nullptr);
  HBITMAP h = FHandle;
  FHandle = nullptr;
  FBits = nullptr;
  FWidth = FHeight = FStride = FSectionWidth = FSectionHeight = 0;
  FSectionBits = nullptr;
  Changed(this);
  return h;
}

void TBitmap::AssignHandle(HBITMAP Value) {
  if (!Value) {
    FreeImage();
    Changed(this);
    return;
  }
  GdiFlush();
  DibImage img;
  CopyHandleImage(Value, img);
  TakeImage(img);
  Changed(this);
}

HPALETTE TBitmap::Palette() {
  if (!FPalette && IsPaletteFormat(FPixelFormat) && !FColors.empty()) {
    struct {
      WORD Version;
      WORD Count;
      PALETTEENTRY E[256];
    } lp{};
    lp.Version = 0x300;
    lp.Count = static_cast<WORD>(FColors.size());
    for (std::size_t i = 0; i < FColors.size(); ++i)
      lp.E[i] = PALETTEENTRY{FColors[i].rgbRed, FColors[i].rgbGreen, FColors[i].rgbBlue, 0};
    FPalette = CreatePalette(reinterpret_cast<LOGPALETTE*>(&lp));
  }
  return FPalette;
}

void TBitmap::ApplyColorTable() {
  if (!FHandle || FColors.empty()) return;
  HDC dc = FCanvas ? static_cast<TBitmapCanvas*>(FCanvas.get())->SelectedDC() : nullptr;
  if (dc) {
    SetDIBColorTable(dc, 0, static_cast<UINT>(FColors.size()), FColors.data());
    return;
  }
  dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, FHandle);
  SetDIBColorTable(dc, 0, static_cast<UINT>(FColors.size()), FColors.data());
  SelectObject(dc, old);
  DeleteDC(dc);
}

void TBitmap::SetPalette(HPALETTE Value) {
  if (Value == FPalette) return;
  DropPalette();
  FPalette = Value;
  if (Value && IsPaletteFormat(FPixelFormat)) {
    const int n = 1 << BitsOf(FPixelFormat);
    FColors.resize(n, Quad(0, 0, 0));
    PALETTEENTRY pe[256];
    UINT got = GetPaletteEntries(Value, 0, n, pe);
    for (UINT i = 0; i < got && i < static_cast<UINT>(n); ++i) FColors[i] = Quad(pe[i].peRed, pe[i].peGreen, pe[i].peBlue);
    GdiFlush();
    ApplyColorTable();
  }
  Changed(this);
}

TColor TBitmap::TransparentColor() {
  if (FTransparentColor != clDefault) return FTransparentColor;
  if (Monochrome() || Empty()) return clWhite;
  GdiFlush();
  std::uint32_t v = ReadPixel(FBits, 0, FPixelFormat, FColors);  // storage row 0 is the bottom row
  return static_cast<TColor>(((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16));
}

void TBitmap::SetTransparentColor(TColor Value) {
  if (Value == FTransparentColor) return;
  FTransparentColor = Value;
  FTransparentMode = Value == clDefault ? tmAuto : tmFixed;
  Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode Value) {
  if (Value == FTransparentMode) return;
  if (Value == tmAuto) SetTransparentColor(clDefault);
  else SetTransparentColor(TransparentColor());
}

void TBitmap::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (Empty() || Rect.Width() == 0 || Rect.Height() == 0) return;
  HDC dst = ACanvas->Handle();
  HDC src = Canvas()->Handle();
  if (FTransparent) {
    if (Rect.Width() > 0 && Rect.Height() > 0)
      TransparentBlt(dst, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, FWidth, FHeight,
                     ColorToRGB(TransparentColor()));
    return;
  }
  int oldMode = SetStretchBltMode(dst, COLORONCOLOR);
  StretchBlt(dst, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), src, 0, 0, FWidth, FHeight, ACanvas->CopyMode());
  if (oldMode) SetStretchBltMode(dst, oldMode);
}

// ---------------------------------------------------------------------------------------------
// BMP files

namespace {

// The bitmap a BMP file is read into.
class TDibTarget : public TBmpTarget {
 public:
  explicit TDibTarget(DibImage& Img) : FImg(Img) {}
  Byte* Create(int Width, int Height, TBmpFormat Format, const std::vector<TBmpColor>& Colors) override {
    static_assert(sizeof(TBmpColor) == sizeof(RGBQUAD));
    std::vector<RGBQUAD> C(Colors.size());
    if (!Colors.empty()) std::memcpy(C.data(), Colors.data(), Colors.size() * sizeof(RGBQUAD));
    TPixelFormat F = pf32bit;
    switch (Format) {
      case TBmpFormat::Bits1: F = pf1bit; break;
      case TBmpFormat::Bits4: F = pf4bit; break;
      case TBmpFormat::Bits8: F = pf8bit; break;
      case TBmpFormat::Rgb555: F = pf15bit; break;
      case TBmpFormat::Rgb565: F = pf16bit; break;
      case TBmpFormat::Bits24: F = pf24bit; break;
      case TBmpFormat::Bits32: F = pf32bit; break;
    }
    CreateImage(FImg, Width, Height, F, C, false);
    return FImg.Bits;
  }

 private:
  DibImage& FImg;
};

}  // namespace

void TBitmap::LoadFromStream(TStream& Stream) {
  if (Stream.Size() - Stream.Position() <= 0) {
    FreeImage();
    Changed(this);
    return;
  }
  DibImage img;
  TDibTarget Target(img);
  ReadBmpFile(Stream, Target);
  TakeImage(img);
  Changed(this);
}

TBmpFormat BmpFormatOf(TPixelFormat F) {
  switch (F) {
    case pf1bit: return TBmpFormat::Bits1;
    case pf4bit: return TBmpFormat::Bits4;
    case pf8bit: return TBmpFormat::Bits8;
    case pf15bit: return TBmpFormat::Rgb555;
    case pf16bit: return TBmpFormat::Rgb565;
    case pf24bit: return TBmpFormat::Bits24;
    default: return TBmpFormat::Bits32;
  }
}

void TBitmap::SaveToStream(TStream& Stream) {
  if (Empty()) return;
  GdiFlush();
  std::vector<TBmpColor> colors(FColors.size());
  if (!FColors.empty()) std::memcpy(colors.data(), FColors.data(), FColors.size() * sizeof(RGBQUAD));
  const std::vector<Byte> head = BmpFileHeader(FWidth, FHeight, BmpFormatOf(FPixelFormat), colors);
  Stream.WriteBuffer(head.data(), head.size());
  const int Line = StrideOf(FWidth, BitsOf(FPixelFormat));
  for (int y = 0; y < FHeight; ++y) Stream.WriteBuffer(FBits + static_cast<std::ptrdiff_t>(y) * FStride, Line);
}

namespace {

void LoadBitmapResource(TBitmap& B, HINSTANCE Instance, LPCSTR Name, const AnsiString& Shown) {
  HRSRC res = FindResourceA(Instance, Name, reinterpret_cast<LPCSTR>(RT_BITMAP));
  HGLOBAL data = res ? LoadResource(Instance, res) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) throw EResNotFound(Format("Resource %s not found", Shown));
  const DWORD size = SizeofResource(Instance, res);
  const std::vector<Byte> file = BmpFileOfResource(bytes, size);
  TReadOnlyMemoryStream s(file.data(), static_cast<std::int64_t>(file.size()));
  B.LoadFromStream(s);
}

}  // namespace

void TBitmap::LoadFromResourceName(HINSTANCE Instance, const AnsiString& ResName) {
  LoadBitmapResource(*this, Instance, ResName.c_str(), ResName);
}

void TBitmap::LoadFromResourceID(HINSTANCE Instance, int ResID) {
  LoadBitmapResource(*this, Instance, MAKEINTRESOURCEA(ResID), Format("%d", ResID));
}

// =============================================================================================
