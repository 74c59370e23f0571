// The pixel loops of the skin engine (portable half of acPixels).
#include "skin/core/acPixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// The engine's transparent colour: magenta.
constexpr std::uint32_t KeyMagenta = 0xFF00FF;
constexpr TColor NoTint = 0x1FFFFFFF;

using i64 = long long;

Byte RedOf(TColor C) { return static_cast<Byte>(C & 0xFF); }
Byte GreenOf(TColor C) { return static_cast<Byte>((C >> 8) & 0xFF); }
Byte BlueOf(TColor C) { return static_cast<Byte>((C >> 16) & 0xFF); }

// A key whose high byte is 0xFF names no key.
bool HasKey(TColor Key) { return ((static_cast<std::uint32_t>(Key) >> 24) & 0xFF) != 0xFF; }

// The key test of a source pixel: blue, green and red for 24-bit pixels, the whole little-endian
// value for 32-bit pixels.
struct TKeyTest {
  bool Active;
  Byte B, G, R;
  std::uint32_t Value;
  explicit TKeyTest(TColor Key)
      : Active(HasKey(Key)), B(BlueOf(Key)), G(GreenOf(Key)), R(RedOf(Key)), Value(static_cast<std::uint32_t>(Key)) {}
  bool Is24(const Byte* p) const { return Active && p[0] == B && p[1] == G && p[2] == R; }
  bool Is32(const Byte* p) const {
    if (!Active) return false;
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v == Value;
  }
  bool Is(const Byte* p, int Bpp) const { return Bpp == 4 ? Is32(p) : Is24(p); }
};

bool IsMagentaValue(const Byte* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v == KeyMagenta;
}

// A run of Count rows or columns from source position S to destination position D, clipped so
// that both lie inside their images. A negative origin moves both positions by the same amount.
struct TSpan {
  int S = 0, D = 0, Count = 0;
};
bool ClipSpan(i64 S, i64 D, i64 Count, i64 SrcSize, i64 DstSize, TSpan& Out) {
  if (S < 0) { D -= S; Count += S; S = 0; }
  if (D < 0) { S -= D; Count += D; D = 0; }
  Count = std::min({Count, SrcSize - S, DstSize - D});
  if (Count <= 0) return false;
  Out = TSpan{static_cast<int>(S), static_cast<int>(D), static_cast<int>(Count)};
  return true;
}

// The low byte of a rounded value.
Byte LowByte(double V) { return static_cast<Byte>(RoundEven(V) & 0xFF); }

void CheckFactor(double K, const char* Routine) {
  if (!(K >= -1e6 && K <= 1e6)) throw ERangeError(Format("%s: blend factor out of range", Routine));
}

// A rectangle clipped to an image.
TRect ClipToImage(TRect R, const TacPixels& P) {
  R.Left = std::max(R.Left, 0);
  R.Top = std::max(R.Top, 0);
  R.Right = std::min(R.Right, P.Width);
  R.Bottom = std::min(R.Bottom, P.Height);
  return R;
}

// Writes the background pixel under destination pixel (DX, DY) into d. Answers 0 when it was
// written or the pixel is to be left, 1 when the rest of the row lies outside the background.
int TakeFromBackground(const TacBackground& C, i64 DX, i64 DY, Byte* d, int DstBpp) {
  const TacPixels& Bg = C.Bmp;
  if (Bg.Empty() || (Bg.Bits != 24 && Bg.Bits != 32)) return 0;
  const i64 cx = C.X + DX, cy = C.Y + DY;
  if (cy >= Bg.Height || cx < 0) return 0;  // below or left of the picture: this pixel is left
  if (cx >= Bg.Width || cy < 0) return 1;   // right of it or above it: the rest of the row
  const Byte* s = Bg.Pixel(static_cast<int>(cx), static_cast<int>(cy));
  d[0] = s[0];
  d[1] = s[1];
  d[2] = s[2];
  if (DstBpp == 4) d[3] = 255;
  return 0;
}

// Reads the background pixel under destination pixel (DX, DY); false when there is none.
bool BackgroundPixel(const TacBackground& C, i64 DX, i64 DY, const Byte*& Out) {
  const TacPixels& Bg = C.Bmp;
  if (Bg.Empty() || (Bg.Bits != 24 && Bg.Bits != 32)) return false;
  const i64 cx = C.X + DX, cy = C.Y + DY;
  if (cx < 0 || cy < 0 || cx >= Bg.Width || cy >= Bg.Height) return false;
  Out = Bg.Pixel(static_cast<int>(cx), static_cast<int>(cy));
  return true;
}

// The rows and columns shared by two rectangles of two images (the smaller of the two sizes,
// clipped to both images): the clip of the mask-blend kernels.
bool ClipRects(const TRect& DstRect, const TRect& SrcRect, const TacPixels& Dst, i64 SrcWidth, i64 SrcHeight,
               TSpan& Cols, TSpan& Rows) {
  const i64 w = std::min(i64{SrcRect.Right} - SrcRect.Left, i64{DstRect.Right} - DstRect.Left);
  const i64 h = std::min(i64{SrcRect.Bottom} - SrcRect.Top, i64{DstRect.Bottom} - DstRect.Top);
  TacPixelClip C;
  if (!ClipPixelCopy(SrcRect.Left, SrcRect.Top, DstRect.Left, DstRect.Top, w, h, SrcWidth, SrcHeight, Dst.Width,
                     Dst.Height, C))
    return false;
  Cols = TSpan{C.SX, C.DX, C.W};
  Rows = TSpan{C.SY, C.DY, C.H};
  return true;
}

// The columns and rows of an inclusive source rectangle copied to (X, Y).
bool ClipInclusive(const TRect& SrcRect, int X, int Y, const TacPixels& Dst, const TacPixels& Src, TSpan& Cols,
                   TSpan& Rows) {
  return ClipSpan(SrcRect.Left, X, i64{SrcRect.Right} - SrcRect.Left + 1, Src.Width, Dst.Width, Cols) &&
         ClipSpan(SrcRect.Top, Y, i64{SrcRect.Bottom} - SrcRect.Top + 1, Src.Height, Dst.Height, Rows);
}

// The two images lie (partly) in the same memory.
bool SharesMemory(const TacPixels& A, const TacPixels& B) {
  if (A.Empty() || B.Empty()) return false;
  auto Range = [](const TacPixels& P, std::uintptr_t& Lo, std::uintptr_t& Hi) {
    const std::uintptr_t First = reinterpret_cast<std::uintptr_t>(P.Row(0));
    const std::uintptr_t Last = reinterpret_cast<std::uintptr_t>(P.Row(P.Height - 1));
    Lo = std::min(First, Last);
    Hi = std::max(First, Last) + static_cast<std::uintptr_t>(P.Width) * P.BytesPerPixel();
  };
  std::uintptr_t ALo, AHi, BLo, BHi;
  Range(A, ALo, AHi);
  Range(B, BLo, BHi);
  return ALo < BHi && BLo < AHi;
}

void WriteColor(Byte* d, TColor C, int Bpp) {
  d[0] = BlueOf(C);
  d[1] = GreenOf(C);
  d[2] = RedOf(C);
  if (Bpp == 4) d[3] = 255;
}

}  // namespace

bool ClipPixelCopy(long long SX, long long SY, long long DX, long long DY, long long W, long long H,
                   long long SrcWidth, long long SrcHeight, long long DstWidth, long long DstHeight,
                   TacPixelClip& Out) {
  TSpan Cols, Rows;
  if (!ClipSpan(SX, DX, W, SrcWidth, DstWidth, Cols) || !ClipSpan(SY, DY, H, SrcHeight, DstHeight, Rows)) return false;
  Out = TacPixelClip{Cols.S, Rows.S, Cols.D, Rows.D, Cols.Count, Rows.Count};
  return true;
}

void CopyPixelArea(const TacPixels& Dst, int DX, int DY, const TacPixels& Src, int SX, int SY, int W, int H) {
  if (!(Dst.Is24() || Dst.Is32()) || !(Src.Is24() || Src.Is32())) return;
  TacPixelClip C;
  if (!ClipPixelCopy(SX, SY, DX, DY, W, H, Src.Width, Src.Height, Dst.Width, Dst.Height, C)) return;
  const int DB = Dst.BytesPerPixel(), SB = Src.BytesPerPixel();
  for (int Y = 0; Y < C.H; ++Y) {
    Byte* D = Dst.Pixel(C.DX, C.DY + Y);
    const Byte* S = Src.Pixel(C.SX, C.SY + Y);
    if (DB == SB) {
      std::memmove(D, S, static_cast<std::size_t>(C.W) * static_cast<std::size_t>(DB));
      continue;
    }
    for (int X = 0; X < C.W; ++X, D += DB, S += SB) {
      D[0] = S[0];
      D[1] = S[1];
      D[2] = S[2];
      if (DB == 4) D[3] = 255;
    }
  }
}

// =================================================================================================
// Views

TacPixels::TacPixels(void* AScan0, std::ptrdiff_t ADelta, int AWidth, int AHeight, int ABits)
    : Scan0(static_cast<Byte*>(AScan0)), Delta(ADelta), Width(AWidth), Height(AHeight), Bits(ABits) {
  if (ABits != 8 && ABits != 24 && ABits != 32)
    throw EInvalidGraphic(Format("Pixel view: unsupported depth of %d bits", ABits));
  if (AWidth < 0 || AHeight < 0) throw EInvalidGraphic(Format("Pixel view: invalid size %d x %d", AWidth, AHeight));
  if (AWidth > 0 && AHeight > 0) {
    if (!AScan0) throw EInvalidGraphic("Pixel view: no pixel memory");
    const i64 RowBytes = i64{AWidth} * (ABits / 8);
    const i64 Dist = ADelta < 0 ? -i64{ADelta} : i64{ADelta};
    if (AHeight > 1 && Dist < RowBytes) throw EInvalidGraphic("Pixel view: rows overlap");
  }
}

// =================================================================================================
// Pixel access classes

bool TacFastPixels::Attach(const TacPixels& Pixels) {
  FBitmap = nullptr;
  if (Pixels.Bits != FBits || Pixels.Width < 2 || Pixels.Height < 2) {
    FWidth = 0;
    FHeight = 0;
    FScan0 = nullptr;
    FDelta = 0;
    return false;
  }
  FScan0 = Pixels.Scan0;
  FDelta = Pixels.Delta;
  FWidth = Pixels.Width;
  FHeight = Pixels.Height;
  return true;
}

Byte* TacFastPixels::At(int X, int Y) const {
  if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight)
    throw ERangeError(Format("Pixel (%d, %d) is outside the image", X, Y));
  return FScan0 + Y * FDelta + X * (FBits / 8);
}

TColor TacFast24::GetPixel(int X, int Y) const {
  const Byte* p = At(X, Y);
  return static_cast<TColor>(p[2] | (p[1] << 8) | (p[0] << 16));
}

void TacFast24::SetPixel(int X, int Y, TColor C) {
  Byte* p = At(X, Y);
  p[0] = BlueOf(C);
  p[1] = GreenOf(C);
  p[2] = RedOf(C);
}

TColor TacFast32::GetPixel(int X, int Y) const {
  const Byte* p = At(X, Y);
  return static_cast<TColor>(std::uint32_t{p[2]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[0]} << 16 |
                             std::uint32_t{p[3]} << 24);
}

void TacFast32::SetPixel(int X, int Y, TColor C) {
  Byte* p = At(X, Y);
  p[0] = BlueOf(C);
  p[1] = GreenOf(C);
  p[2] = RedOf(C);
  p[3] = static_cast<Byte>(static_cast<std::uint32_t>(C) >> 24);
}

void TacFast32::FillRect(TRect R, std::uint32_t Pixel) {
  if (Width() <= 0) return;
  R.Left = std::max(R.Left, 0);
  R.Top = std::max(R.Top, 0);
  R.Right = std::min(R.Right, Width());
  R.Bottom = std::min(R.Bottom, Height());
  if (R.Right <= R.Left || R.Bottom <= R.Top) return;
  for (int y = R.Top; y < R.Bottom; ++y) {
    Byte* p = Scan0() + y * Delta() + R.Left * 4;
    for (int x = R.Left; x < R.Right; ++x, p += 4) std::memcpy(p, &Pixel, 4);
  }
}

bool TacFastSumBase::DoAttach(const TacPixels& Src, const TacPixels& Dst) {
  FSrcBitmap = FDstBitmap = nullptr;
  if (Src.Bits != FBits || Dst.Bits != FBits || Src.Width < 2 || Src.Height < 2 || Dst.Width < 2 || Dst.Height < 2) {
    FSrc = FDst = TacPixels();
    FMinWidth = FMinHeight = 0;
    return false;
  }
  FSrc = Src;
  FDst = Dst;
  FMinWidth = std::min(Src.Width, Dst.Width);
  FMinHeight = std::min(Src.Height, Dst.Height);
  return true;
}

void TacFastSumBase::Blend() {
  if (FSrc.Empty() || FDst.Empty()) return;
  // Source column = x + DX, source row = y + DY.
  const i64 DX = i64{SrcRect.Left} - DstRect.Left;
  const i64 DY = i64{SrcRect.Bottom} - DstRect.Bottom;
  const i64 X0 = std::max<i64>({DstRect.Left, 0, -DX});
  const i64 X1 = std::min<i64>({DstRect.Right, FDst.Width, FSrc.Width - DX});
  const i64 Y0 = std::max<i64>({DstRect.Top, 0, -DY});
  const i64 Y1 = std::min<i64>({DstRect.Bottom, FDst.Height, FSrc.Height - DY});
  if (X1 <= X0 || Y1 <= Y0) return;
  const int Bpp = FBits / 8;
  const int N = static_cast<int>(X1 - X0) * Bpp;
  const unsigned A = Alpha, InvA = 255 - Alpha;
  // Every byte's source lies the same distance from it in memory. When the two areas share an
  // image, the bytes are visited in the order of a memory move: upwards in memory when the source
  // lies above its target (so each source byte is read before it is written), downwards
  // otherwise; rows are visited in the memory order too, whichever way up the image is stored.
  const auto Address = [](const void* P) { return reinterpret_cast<std::uintptr_t>(P); };
  bool Upwards = true;
  if (SharesMemory(FSrc, FDst)) {
    const Byte* d0 = FDst.Row(static_cast<int>(Y0)) + X0 * Bpp;
    const Byte* s0 = FSrc.Row(static_cast<int>(Y0 + DY)) + (X0 + DX) * Bpp;
    Upwards = Address(s0) >= Address(d0);
  }
  const bool RowsUpwards =
      Y1 - Y0 < 2 || Address(FDst.Row(static_cast<int>(Y0 + 1))) > Address(FDst.Row(static_cast<int>(Y0)));
  const bool Descend = Upwards != RowsUpwards;
  for (i64 k = 0; k < Y1 - Y0; ++k) {
    const i64 y = Descend ? Y1 - 1 - k : Y0 + k;
    Byte* d = FDst.Row(static_cast<int>(y)) + X0 * Bpp;
    const Byte* s = FSrc.Row(static_cast<int>(y + DY)) + (X0 + DX) * Bpp;
    if (Upwards) {
      for (int i = 0; i < N; ++i) d[i] = static_cast<Byte>((s[i] * InvA + d[i] * A + 127) >> 8);
    } else {
      for (int i = N - 1; i >= 0; --i) d[i] = static_cast<Byte>((s[i] * InvA + d[i] * A + 127) >> 8);
    }
  }
}

// =================================================================================================
// Colour routines

std::uint32_t ColorToBGRA(TColor C) {
  return std::uint32_t{BlueOf(C)} | std::uint32_t{GreenOf(C)} << 8 | std::uint32_t{RedOf(C)} << 16 | 0xFF000000u;
}

void FillRect32(const TacPixels& Bmp, TRect R, TColor C) {
  TacFast32 Fast;
  if (Fast.Attach(Bmp)) Fast.FillRect(R, ColorToBGRA(C));
}

void BlendColorRect(const TacPixels& Bmp, TRect R, int Percent, TColor C) {
  if (!Bmp.Is24() && !Bmp.Is32()) return;
  R = ClipToImage(R, Bmp);
  if (R.IsEmpty()) return;
  const double k = std::clamp(Percent, 0, 100) / 100.0;
  // One table per channel (blue, green, red): the mix of every byte value with the colour.
  Byte Table[3][256];
  const Byte Channel[3] = {BlueOf(C), GreenOf(C), RedOf(C)};
  for (int c = 0; c < 3; ++c)
    for (int v = 0; v < 256; ++v) Table[c][v] = LowByte(v * k + Channel[c] * (1 - k));
  const int Bpp = Bmp.BytesPerPixel();
  for (int y = R.Top; y < R.Bottom; ++y) {
    Byte* p = Bmp.Pixel(R.Left, y);
    for (int x = R.Left; x < R.Right; ++x, p += Bpp) {
      p[0] = Table[0][p[0]];
      p[1] = Table[1][p[1]];
      p[2] = Table[2][p[2]];
    }
  }
}

void CopyBitmapChannel(const TacPixels& Bmp32, const TacPixels& Bmp8, int Channel, bool ToBmp8) {
  if (Channel < 0 || Channel > 3) throw ERangeError(Format("CopyBitmapChannel: channel %d is not 0 to 3", Channel));
  if (!Bmp32.Is32() || Bmp8.Bits != 8 || Bmp8.Empty()) return;
  const int W = std::min(Bmp32.Width, Bmp8.Width), H = std::min(Bmp32.Height, Bmp8.Height);
  for (int y = 0; y < H; ++y) {
    Byte* p32 = Bmp32.Row(y) + Channel;
    Byte* p8 = Bmp8.Row(y);
    if (ToBmp8)
      for (int x = 0; x < W; ++x) p8[x] = p32[x * 4];
    else
      for (int x = 0; x < W; ++x) p32[x * 4] = p8[x];
  }
}

void ApplyDisabledKind(const TacPixels& Glyph, TsDisabledKind Kind, const TacBackground& Cache, TPoint Offset,
                       TColor ControlColor) {
  if (Kind.Contains(dkGrayed)) GrayscaleBitmap(Glyph);
  if (!Kind.Contains(dkBlended) || Glyph.Empty()) return;
  if (Cache.Ready) {
    const i64 L = i64{Cache.X} + Offset.X, T = i64{Cache.Y} + Offset.Y;
    const i64 R = L + Glyph.Width - 1, B = T + Glyph.Height - 1;
    if (L < INT32_MIN || T < INT32_MIN || R > INT32_MAX || B > INT32_MAX) return;  // nowhere in any picture
    CopyBlendedWithKey(Glyph, 0, 0, Cache.Bmp, Rect(int(L), int(T), int(R), int(B)), 0.4, static_cast<TColor>(0xFFFFFFFFu));
  } else {
    const TColor Mix = Cache.FillColor == static_cast<TColor>(KeyMagenta) ? ControlColor : Cache.FillColor;
    BlendColorRect(Glyph, Rect(0, 0, Glyph.Width, Glyph.Height), 50, Mix);
  }
}

// =================================================================================================
// Blends and copies

void GrayscaleBitmap(const TacPixels& Bmp) {
  if (!Bmp.Is24()) return;
  for (int y = 0; y < Bmp.Height; ++y) {
    Byte* p = Bmp.Row(y);
    for (int x = 0; x < Bmp.Width; ++x, p += 3) p[0] = p[1] = p[2] = static_cast<Byte>((p[0] + p[1] + p[2]) / 3);
  }
}

void FadeBitmapToColor(const TacPixels& Bmp, TColor C, TColor Key, double K) {
  CheckFactor(K, "FadeBitmapToColor");
  if (!Bmp.Is24() && !Bmp.Is32()) return;
  const Byte Channel[3] = {BlueOf(C), GreenOf(C), RedOf(C)};
  Byte Table[3][256];
  for (int c = 0; c < 3; ++c)
    for (int v = 0; v < 256; ++v) Table[c][v] = LowByte((v - Channel[c]) * K + Channel[c]);
  const TKeyTest KeyTest(Key);
  const int Bpp = Bmp.BytesPerPixel();
  for (int y = 0; y < Bmp.Height; ++y) {
    Byte* p = Bmp.Row(y);
    for (int x = 0; x < Bmp.Width; ++x, p += Bpp) {
      if (KeyTest.Is(p, Bpp)) continue;
      p[0] = Table[0][p[0]];
      p[1] = Table[1][p[1]];
      p[2] = Table[2][p[2]];
    }
  }
}

void CopyBlendedWithKey(const TacPixels& Dst, int X, int Y, const TacPixels& Src, TRect SrcRect, double K, TColor Key) {
  CheckFactor(K, "CopyBlendedWithKey");
  const bool Handled = (Dst.Is32() && Src.Is24()) || (Dst.Is24() && (Src.Is24() || Src.Is32()));
  if (!Handled) return;
  TSpan Cols, Rows;
  if (!ClipInclusive(SrcRect, X, Y, Dst, Src, Cols, Rows)) return;
  const int DB = Dst.BytesPerPixel(), SB = Src.BytesPerPixel();
  const TKeyTest KeyTest(Key);
  for (int r = 0; r < Rows.Count; ++r) {
    const Byte* s = Src.Pixel(Cols.S, Rows.S + r);
    Byte* d = Dst.Pixel(Cols.D, Rows.D + r);
    for (int c = 0; c < Cols.Count; ++c, s += SB, d += DB) {
      if (KeyTest.Is(s, SB)) continue;
      for (int k = 0; k < 3; ++k) d[k] = LowByte(s[k] - (s[k] - d[k]) * K);
    }
  }
}

void BlendColorByMask(const TacPixels& Bmp, const TacPixels& Mask, TColor C) {
  if (!Bmp.Is24() || !Mask.Is24() || Bmp.Width != Mask.Width || Bmp.Height != Mask.Height) return;
  const int Channel[3] = {BlueOf(C), GreenOf(C), RedOf(C)};
  for (int y = 0; y < Bmp.Height; ++y) {
    Byte* p = Bmp.Row(y);
    const Byte* m = Mask.Row(y);
    for (int i = 0; i < Bmp.Width * 3; ++i) {
      const int c = Channel[i % 3];
      p[i] = static_cast<Byte>(((p[i] - c) * m[i] + c * 256) >> 8);
    }
  }
}

namespace {
// Blends SrcRect of the source into DstRect of the destination with weight A through a blender
// of type TSum (nothing unless it takes both images).
template <class TSum>
void BlendWith(const TacPixels& Dst, const TacPixels& Src, Byte A, const TRect& DstRect, const TRect& SrcRect) {
  TSum Sum;
  if (!Sum.Attach(Src, Dst)) return;
  Sum.Alpha = A;
  Sum.DstRect = DstRect;
  Sum.SrcRect = SrcRect;
  Sum.Blend();
}
}  // namespace

void BlendBitmapsByFactor(const TacPixels& Dst, const TacPixels& Src, Byte A) {
  if (!Dst.Is24() || !Src.Is24() || Dst.Width != Src.Width || Dst.Height != Src.Height) return;
  const TRect All = Rect(0, 0, Dst.Width, Dst.Height);
  BlendWith<TacFastSum24>(Dst, Src, A, All, All);
}

void BlendBitmapRect(const TacPixels& Dst, const TacPixels& Src, Byte A, TRect SrcRect, TPoint DstPoint) {
  TSpan Cols, Rows;
  if (!ClipSpan(SrcRect.Left, DstPoint.X, i64{SrcRect.Right} - SrcRect.Left, Src.Width, Dst.Width, Cols) ||
      !ClipSpan(SrcRect.Top, DstPoint.Y, i64{SrcRect.Bottom} - SrcRect.Top, Src.Height, Dst.Height, Rows))
    return;
  const TRect D = Bounds(Cols.D, Rows.D, Cols.Count, Rows.Count);
  const TRect S = Bounds(Cols.S, Rows.S, Cols.Count, Rows.Count);
  if (Dst.Is32() && Src.Is32()) BlendWith<TacFastSum32>(Dst, Src, A, D, S);
  else if (Dst.Is24() && Src.Is24()) BlendWith<TacFastSum24>(Dst, Src, A, D, S);
}

void BlendByMask(TRect DstRect, TRect SrcRect, const TacPixels& Dst, const TacPixels& Src, const TacBackground& Cache,
                 bool FillKey) {
  const bool Masked = Src.Is24() && Dst.Is24();
  const bool Alpha = Src.Is32() && (Dst.Is24() || Dst.Is32());
  if (!Masked && !Alpha) return;
  // A 24-bit source holds its mask in the lower half: only rows whose mask row exists are drawn.
  const int Half = Src.Height / 2;
  TSpan Cols, Rows;
  if (!ClipRects(DstRect, SrcRect, Dst, Src.Width, Masked ? Src.Height - Half : Src.Height, Cols, Rows)) return;
  const int DB = Dst.BytesPerPixel(), SB = Src.BytesPerPixel();
  for (int r = 0; r < Rows.Count; ++r) {
    const int sy = Rows.S + r, dy = Rows.D + r;
    const Byte* s = Src.Pixel(Cols.S, sy);
    const Byte* m = Masked ? Src.Pixel(Cols.S, sy + Half) : nullptr;
    Byte* d = Dst.Pixel(Cols.D, dy);
    for (int c = 0; c < Cols.Count; ++c, s += SB, d += DB) {
      const Byte* mc = Masked ? m + 3 * c : nullptr;
      if (Cache.Ready && IsKeyPixel(s)) {
        if (FillKey && TakeFromBackground(Cache, Cols.D + c, dy, d, DB)) break;
        continue;
      }
      if (Masked) {
        for (int k = 0; k < 3; ++k) d[k] = static_cast<Byte>(((d[k] - s[k]) * mc[k] + s[k] * 256) >> 8);
      } else {
        const int a = s[3];
        for (int k = 0; k < 3; ++k) d[k] = static_cast<Byte>(((s[k] - d[k]) * a + d[k] * 256) >> 8);
        if (DB == 4) d[3] = 255;
      }
    }
  }
}

void BlendAlphaBitmap(TRect DstRect, TRect SrcRect, const TacPixels& Dst, const TacPixels& Src,
                      const TacBackground& Cache, bool FillKey, TColor Tint, int Percent, bool Reflected) {
  if (!Src.Is32() || !Dst.Is24()) return;
  TSpan Cols, Rows;
  if (!ClipRects(DstRect, SrcRect, Dst, Src.Width, Src.Height, Cols, Rows)) return;
  Percent = std::clamp(Percent, 0, 100);

  // The pixels drawn: the source area itself, or a tinted copy of it (the caller's image is
  // never changed).
  std::vector<Byte> Tinted;
  TacPixels Area(Src.Pixel(Cols.S, Rows.S), Src.Delta, Cols.Count, Rows.Count, 32);
  if (Tint != NoTint) {
    Byte Table[3][256];
    const Byte Channel[3] = {BlueOf(Tint), GreenOf(Tint), RedOf(Tint)};
    for (int c = 0; c < 3; ++c)
      for (int g = 0; g < 256; ++g) Table[c][g] = static_cast<Byte>(std::min(255L, RoundEven(g * Channel[c] / 255.0)));
    const std::ptrdiff_t RowBytes = std::ptrdiff_t{Cols.Count} * 4;
    Tinted.resize(static_cast<std::size_t>(RowBytes) * Rows.Count);
    for (int r = 0; r < Rows.Count; ++r) {
      const Byte* s = Area.Row(r);
      Byte* t = Tinted.data() + r * RowBytes;
      std::memcpy(t, s, static_cast<std::size_t>(RowBytes));
      for (int c = 0; c < Cols.Count; ++c, t += 4) {
        if (IsMagentaValue(t)) continue;
        const int g = (t[0] + t[1] + t[2]) / 3;
        t[0] = Table[0][g];
        t[1] = Table[1][g];
        t[2] = Table[2][g];
      }
    }
    Area = TacPixels(Tinted.data(), RowBytes, Cols.Count, Rows.Count, 32);
  }

  auto Mix = [](Byte* d, const Byte* s, int a) {
    for (int k = 0; k < 3; ++k) d[k] = static_cast<Byte>(((s[k] - d[k]) * a + d[k] * 256) >> 8);
  };
  for (int r = 0; r < Rows.Count; ++r) {
    const int dy = Rows.D + r;
    const Byte* s = Area.Row(r);
    Byte* d = Dst.Pixel(Cols.D, dy);
    for (int c = 0; c < Cols.Count; ++c, s += 4, d += 3) {
      if (Cache.Ready && IsMagentaValue(s)) {
        if (FillKey && TakeFromBackground(Cache, Cols.D + c, dy, d, 3)) break;
        continue;
      }
      const int a = Percent != 0 ? s[3] * (100 - Percent) / 100 : s[3];
      Mix(d, s, a);
    }
  }

  if (!Reflected) return;
  // A mirrored copy below the drawn area: destination row Bottom + i shows source row
  // Bottom - i - 1, its alpha a third of the pixel's, fading by a step per row.
  const int Half = Src.Height / 2;
  const int DstBottom = Rows.D + Rows.Count;
  const int n = std::min(Half - 1, Dst.Height - DstBottom - 1);
  if (n < 1) return;
  const int Step = 255 / Half;
  Byte Fade = 255;
  for (int i = 1; i <= n; ++i) {
    const int SourceRow = Rows.Count - i - 1;  // within the drawn area
    if (SourceRow < 0) break;
    const Byte* s = Area.Row(SourceRow);
    Byte* d = Dst.Pixel(Cols.D, DstBottom + i);
    for (int c = 0; c < Cols.Count; ++c, s += 4, d += 3) {
      if (IsMagentaValue(s)) continue;
      const int Third = Percent != 0 ? s[3] * (100 - Percent) / 300 : s[3] / 3;
      Mix(d, s, std::max(0, Third * Fade / 255));
    }
    Fade = static_cast<Byte>(Fade - Step);
  }
}

namespace {

// The number of elements of a work buffer, refused when it cannot be held.
template <class T>
std::size_t WorkCount(std::uint64_t Count, const char* Routine) {
  if (Count > std::vector<T>().max_size())
    throw EInvalidGraphic(Format("%s: the image is too large for the work buffer", Routine));
  return static_cast<std::size_t>(Count);
}

// The source pixels that the destination pixels cover along one axis, each with its share of the
// destination pixel: destination pixel d takes taps First[d] .. First[d + 1] - 1.
struct TAreaTaps {
  std::vector<std::size_t> First;
  std::vector<int> Index;
  std::vector<double> Weight;
};

TAreaTaps AreaTaps(int Source, int Dest) {
  TAreaTaps T;
  T.First.reserve(WorkCount<std::size_t>(std::uint64_t(Dest) + 1, "ScaleAlphaPixels"));
  const double Scale = static_cast<double>(Source) / Dest;
  for (int d = 0; d < Dest; ++d) {
    T.First.push_back(T.Index.size());
    const double a = d * Scale, b = (d + 1) * Scale;
    const int First = std::clamp(static_cast<int>(std::floor(a)), 0, Source - 1);
    const int Last = std::clamp(static_cast<int>(std::ceil(b)) - 1, First, Source - 1);
    for (int s = First; s <= Last; ++s) {
      const double w = std::min(b, s + 1.0) - std::max(a, static_cast<double>(s));
      if (w > 0) {
        T.Index.push_back(s);
        T.Weight.push_back(w / (b - a));
      }
    }
  }
  T.First.push_back(T.Index.size());
  return T;
}

}  // namespace

void ScaleAlphaPixels(const TacPixels& Src, const TacPixels& Dst) {
  if (!Src.Is32() || !Dst.Is32()) return;
  // The destination rows are written while later ones are still being read from the source: a
  // source in the destination's memory is read from a copy.
  std::vector<Byte> Copy;
  TacPixels From = Src;
  if (SharesMemory(Src, Dst)) {
    const std::ptrdiff_t RowBytes = std::ptrdiff_t{Src.Width} * 4;
    Copy.resize(WorkCount<Byte>(std::uint64_t(RowBytes) * std::uint64_t(Src.Height), "ScaleAlphaPixels"));
    for (int y = 0; y < Src.Height; ++y)
      std::memcpy(Copy.data() + static_cast<std::size_t>(y) * RowBytes, Src.Row(y), static_cast<std::size_t>(RowBytes));
    From = TacPixels(Copy.data(), RowBytes, Src.Width, Src.Height, 32);
  }
  const TAreaTaps XT = AreaTaps(From.Width, Dst.Width);
  const TAreaTaps YT = AreaTaps(From.Height, Dst.Height);
  // Premultiplied blue, green, red and alpha of one destination row.
  std::vector<double> Acc(WorkCount<double>(std::uint64_t(Dst.Width) * 4, "ScaleAlphaPixels"));
  for (int y = 0; y < Dst.Height; ++y) {
    std::fill(Acc.begin(), Acc.end(), 0.0);
    for (std::size_t ty = YT.First[y]; ty < YT.First[y + 1]; ++ty) {
      const Byte* Row = From.Row(YT.Index[ty]);
      const double wy = YT.Weight[ty];
      double* A = Acc.data();
      for (int x = 0; x < Dst.Width; ++x, A += 4) {
        double b = 0, g = 0, r = 0, a = 0;
        for (std::size_t tx = XT.First[x]; tx < XT.First[x + 1]; ++tx) {
          const Byte* p = Row + std::ptrdiff_t{XT.Index[tx]} * 4;
          const double w = p[3] * XT.Weight[tx];
          b += p[0] * w;
          g += p[1] * w;
          r += p[2] * w;
          a += w;
        }
        A[0] += b * wy;
        A[1] += g * wy;
        A[2] += r * wy;
        A[3] += a * wy;
      }
    }
    // Back to straight alpha.
    Byte* Out = Dst.Row(y);
    const double* A = Acc.data();
    for (int x = 0; x < Dst.Width; ++x, Out += 4, A += 4) {
      const long Alpha = RoundEven(A[3]);
      if (Alpha <= 0) {
        Out[0] = Out[1] = Out[2] = Out[3] = 0;
        continue;
      }
      for (int k = 0; k < 3; ++k) Out[k] = static_cast<Byte>(std::clamp(RoundEven(A[k] / A[3]), 0L, 255L));
      Out[3] = static_cast<Byte>(std::min(Alpha, 255L));
    }
  }
}

void CopyByMaskHalf(TRect DstRect, TRect SrcRect, const TacPixels& Dst, const TacPixels& Src,
                    const TacBackground& Cache, bool FillKey, int MaskImageHeight) {
  if ((!Src.Is24() && !Src.Is32()) || (!Dst.Is24() && !Dst.Is32())) return;
  TSpan Cols, Rows;
  if (!ClipRects(DstRect, SrcRect, Dst, Src.Width, Src.Height, Cols, Rows)) return;
  const int MaskTop =
      static_cast<int>(std::max<i64>(0, std::min<i64>(i64{Rows.S} + std::max(MaskImageHeight, 0) / 2, Src.Height - Rows.Count)));
  const int DB = Dst.BytesPerPixel(), SB = Src.BytesPerPixel();
  const bool CacheHasPicture = Cache.Ready && !Cache.Bmp.Empty() && (Cache.Bmp.Bits == 24 || Cache.Bmp.Bits == 32);
  for (int r = 0; r < Rows.Count; ++r) {
    const int dy = Rows.D + r;
    const Byte* s = Src.Pixel(Cols.S, Rows.S + r);
    const Byte* m = Src.Pixel(Cols.S, MaskTop + r);
    Byte* d = Dst.Pixel(Cols.D, dy);
    for (int c = 0; c < Cols.Count; ++c, s += SB, m += SB, d += DB) {
      if (IsKeyPixel(s)) {
        if (Cache.Ready) {
          const Byte* b;
          if (CacheHasPicture && BackgroundPixel(Cache, Cols.D + c, dy, b)) {
            d[0] = b[0];
            d[1] = b[1];
            d[2] = b[2];
            if (DB == 4) d[3] = 255;
          }
        } else if (FillKey) {
          WriteColor(d, Cache.FillColor, DB);
        }
        continue;
      }
      for (int k = 0; k < 3; ++k) d[k] = static_cast<Byte>(((d[k] - s[k]) * m[k] + s[k] * 256) >> 8);
      if (DB == 4) d[3] = 255;
    }
  }
}

void CopyWithKeyColor(const TacPixels& Dst, const TacPixels& Src, int X, int Y, TColor Key) {
  if (!Src.Is24() || (!Dst.Is24() && !Dst.Is32())) return;
  TSpan Cols, Rows;
  if (!ClipSpan(0, X, Src.Width, Src.Width, Dst.Width, Cols) || !ClipSpan(0, Y, Src.Height, Src.Height, Dst.Height, Rows))
    return;
  const int DB = Dst.BytesPerPixel();
  const TKeyTest KeyTest(Key);
  for (int r = 0; r < Rows.Count; ++r) {
    const Byte* s = Src.Pixel(Cols.S, Rows.S + r);
    Byte* d = Dst.Pixel(Cols.D, Rows.D + r);
    for (int c = 0; c < Cols.Count; ++c, s += 3, d += DB) {
      if (KeyTest.Is24(s)) continue;
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
      if (DB == 4) d[3] = 255;
    }
  }
}

void CopyWithKeyAndCache(const TacPixels& Dst, const TacPixels& Src, int X, int Y, TRect SrcRect, TColor Key,
                         const TacBackground& Cache, bool FillKey) {
  if ((!Src.Is24() && !Src.Is32()) || (!Dst.Is24() && !Dst.Is32())) return;
  TSpan Cols, Rows;
  if (!ClipInclusive(SrcRect, X, Y, Dst, Src, Cols, Rows)) return;
  const int DB = Dst.BytesPerPixel(), SB = Src.BytesPerPixel();
  const TKeyTest KeyTest(Key);
  auto Copy = [DB](Byte* d, const Byte* s) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    if (DB == 4) d[3] = 255;
  };

  const bool CachePath = FillKey && Cache.Ready && !Cache.Bmp.Empty() && (Cache.Bmp.Bits == 24 || Cache.Bmp.Bits == 32);
  if (CachePath) {
    // A 32-bit destination takes its background only from a 32-bit picture.
    if (DB == 4 && Cache.Bmp.Bits != 32) return;
    const bool CacheIsTarget = Cache.Bmp.SameImage(Dst);
    for (int r = 0; r < Rows.Count; ++r) {
      const int dy = Rows.D + r;
      const Byte* s = Src.Pixel(Cols.S, Rows.S + r);
      Byte* d = Dst.Pixel(Cols.D, dy);
      for (int c = 0; c < Cols.Count; ++c, s += SB, d += DB) {
        if (!KeyTest.Is(s, SB)) {
          Copy(d, s);
        } else if (!CacheIsTarget) {
          const Byte* b;
          if (BackgroundPixel(Cache, Cols.D + c, dy, b)) Copy(d, b);
        }
      }
    }
    return;
  }

  if (SB == 4) {
    if (DB != 4) return;
    for (int r = 0; r < Rows.Count; ++r) {
      const Byte* s = Src.Pixel(Cols.S, Rows.S + r);
      Byte* d = Dst.Pixel(Cols.D, Rows.D + r);
      for (int c = 0; c < Cols.Count; ++c, s += 4, d += 4) {
        if (!KeyTest.Is32(s)) std::memcpy(d, s, 4);
        else if (!Cache.Ready) WriteColor(d, Cache.FillColor, 4);
      }
    }
    return;
  }

  for (int r = 0; r < Rows.Count; ++r) {
    const Byte* s = Src.Pixel(Cols.S, Rows.S + r);
    Byte* d = Dst.Pixel(Cols.D, Rows.D + r);
    for (int c = 0; c < Cols.Count; ++c, s += 3, d += DB) {
      if (!KeyTest.Is24(s)) Copy(d, s);
      else if (!Cache.Ready) WriteColor(d, Cache.FillColor, DB);
    }
  }
}

void CopyRectWithKey(const TacPixels& Dst, const TacPixels& Src, int X, int Y, TRect SrcRect, TColor Key) {
  if (!Dst.Is24() || !Src.Is24()) return;
  TSpan Cols, Rows;
  if (!ClipInclusive(SrcRect, X, Y, Dst, Src, Cols, Rows)) return;
  const TKeyTest KeyTest(Key);
  for (int r = 0; r < Rows.Count; ++r) {
    const Byte* s = Src.Pixel(Cols.S, Rows.S + r);
    Byte* d = Dst.Pixel(Cols.D, Rows.D + r);
    for (int c = 0; c < Cols.Count; ++c, s += 3, d += 3) {
      if (KeyTest.Is24(s)) continue;
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
    }
  }
}

void SumBitmapsByMask(const TacPixels& Dst, const TacPixels& A, const TacPixels& B, const TacPixels* Mask, Word K) {
  if (!Dst.Is32() || !A.Is24() || !B.Is24() || A.Width != B.Width || A.Height != B.Height) return;
  if (Mask && !Mask->Is24()) return;
  int W = std::min(A.Width, Dst.Width), H = std::min(A.Height, Dst.Height);
  if (Mask) {
    W = std::min(W, Mask->Width);
    H = std::min(H, Mask->Height);
  }
  const int Factor = std::min<int>(K, 256);
  for (int y = 0; y < H; ++y) {
    const Byte* a = A.Row(y);
    const Byte* b = B.Row(y);
    const Byte* m = Mask ? Mask->Row(y) : nullptr;
    Byte* d = Dst.Row(y);
    for (int x = 0; x < W; ++x, a += 3, b += 3, d += 4) {
      for (int k = 0; k < 3; ++k) {
        const int w = m ? m[k] : Factor;
        d[k] = static_cast<Byte>(((a[k] - b[k]) * w + b[k] * 256) >> 8);
      }
      if (m) m += 3;
    }
  }
}
