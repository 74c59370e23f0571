// The portable half of sBackground: colour shifts and the corner pixel loops.
#include "skin/core/sBackground.h"
#include "skin/core/sConst.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#ifdef _WIN32
#include "framework/Graphics.h"
#endif

namespace {

using i64 = long long;

int ClampChannel(double V) {
  if (!(V > 0)) return 0;  // also NaN
  if (V >= 255) return 255;
  return static_cast<int>(RoundEven(V));
}

TColor RGBOf(TColor C) {
#ifdef _WIN32
  return static_cast<TColor>(ColorToRGB(C) & 0xFFFFFF);
#else
  return C & 0xFFFFFF;
#endif
}

TColor MakeRGB(int R, int G, int B) { return R | (G << 8) | (B << 16); }


bool Inside(const TacPixels& P, i64 X, i64 Y) { return X >= 0 && Y >= 0 && X < P.Width && Y < P.Height; }

bool Is24or32(const TacPixels& P) { return P.Is24() || P.Is32(); }

// Writes blue, green and red (and alpha 255 in 32-bit pixels).
void PutRGB(const TacPixels& P, Byte* Px, int R, int G, int B) {
  Px[0] = static_cast<Byte>(B);
  Px[1] = static_cast<Byte>(G);
  Px[2] = static_cast<Byte>(R);
  if (P.Bits == 32) Px[3] = 255;
}

void PutColor(const TacPixels& P, Byte* Px, TColor C) { PutRGB(P, Px, C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF); }


}  // namespace

// ---------------------------------------------------------------------------------------------
// Colour shifts

TColor ChangeColorSaturation(TColor Color, int Amount) {
  if (Amount == 0) return Color;
  const TColor C = RGBOf(Color);
  const int R = C & 0xFF, G = (C >> 8) & 0xFF, B = (C >> 16) & 0xFF;
  const double M = (R + G + B) / 3.0;
  auto Shift = [&](int V) { return ClampChannel(V + Amount * (M - V) / 100.0); };
  return MakeRGB(Shift(R), Shift(G), Shift(B));
}

TColor ShiftColorHsv(int Shift, TColor Color) {
  const TColor C = RGBOf(Color);
  const int R = C & 0xFF, G = (C >> 8) & 0xFF, B = (C >> 16) & 0xFF;
  const int V = std::max({R, G, B});
  const int Delta = V - std::min({R, G, B});
  const double S = V == 0 ? 0.0 : static_cast<double>(Delta) / V;
  if (S == 0) return C;

  const double K = 60.0 / Delta;
  double H;
  if (R == V)
    H = (G - B) * K;
  else if (G == V)
    H = 120 + (B - R) * K;
  else
    H = 240 + (R - G) * K;
  if (H < 0) H += 360;

  // A negative remainder is taken round the circle once more, so that turning backwards works
  // like turning forwards (a hue below 0 has no sector of its own).
  long long Turned = std::llrint(H + static_cast<double>(Shift)) % 360;  // Shift may be any int
  if (Turned < 0) Turned += 360;
  const double Hh = static_cast<double>(Turned) / 60.0;
  const long long Sector = static_cast<long long>(Hh);  // integer part (towards zero)
  const double F = Hh - static_cast<double>(Sector);
  const int P = ClampChannel((1 - S) * V);
  const int Q = ClampChannel((1 - S * F) * V);
  const int T = ClampChannel((1 - (1 - F) * S) * V);
  switch (Sector) {
    case 0: return MakeRGB(V, T, P);
    case 1: return MakeRGB(Q, V, P);
    case 2: return MakeRGB(P, V, T);
    case 3: return MakeRGB(P, Q, V);
    case 4: return MakeRGB(T, P, V);
    default: return MakeRGB(V, P, Q);
  }
}

// ---------------------------------------------------------------------------------------------
// Corner pixel loops
//
// Rectangles, origins and sizes may lie anywhere in the integer range: every sum is taken in 64
// bits, and only positions inside their images are turned back into integers.

void AddMaskCornerRects(std::vector<TRect>& Rects, int Width, const TsMaskData& Mask, const TacPixels& Src,
                        int YOffset, bool Bottom) {
  if (!Is24or32(Src) || Mask.MaskType < 0) return;
  const i64 ImageCount = Mask.ImageCount < 1 ? 1 : Mask.ImageCount;
  const i64 FW = (i64{Mask.R.Right} - Mask.R.Left) / ImageCount;
  const i64 FH = (i64{Mask.R.Bottom} - Mask.R.Top) / (Mask.MaskType + 1);
  const i64 Count = Bottom ? Mask.WB : Mask.WT;
  const i64 FirstRow = Bottom ? i64{Mask.R.Top} + FH - Mask.WB : i64{Mask.R.Top};
  if (Count <= 0 || FW <= 0 || FirstRow < 0 || FirstRow + Count > Src.Height) return;

  // A run of key pixels becomes a rectangle when its place is an integer rectangle at all.
  auto Add = [&](i64 L, i64 T, i64 R) {
    if (L < INT_MIN || R > INT_MAX || T < INT_MIN || T + 1 > INT_MAX) return;
    Rects.push_back(TRect{static_cast<int>(L), static_cast<int>(T), static_cast<int>(R), static_cast<int>(T + 1)});
  };
  // One corner: frame columns [C0, C1) placed at target x = column + XShift.
  auto Corner = [&](i64 C0, i64 C1, i64 XShift) {
    C0 = std::max<i64>(C0, 0);
    C1 = std::min(C1, FW);
    for (i64 Row = 0; Row < Count; ++Row) {
      const int SY = static_cast<int>(FirstRow + Row);
      i64 RunStart = -1;
      for (i64 C = C0; C <= C1; ++C) {
        const i64 SX = Mask.R.Left + C;
        const bool Key = C < C1 && SX >= 0 && SX < Src.Width && IsKeyPixel(Src.Pixel(static_cast<int>(SX), SY));
        if (Key) {
          if (RunStart < 0) RunStart = C;
        } else if (RunStart >= 0) {
          Add(RunStart + XShift, Row + YOffset, C + XShift);
          RunStart = -1;
        }
      }
    }
  };
  Corner(0, Mask.WL, 0);
  Corner(FW - Mask.WR, FW, i64{Width} - FW);
}

void FillTransparentFromBG(const TacPixels& Dst, const TacPixels& Bg, TRect R, TPoint BgPoint,
                           const TacPixels* KeySrc, TPoint KeyOrigin) {
  if (!Dst.Is32() || !Bg.Is32()) return;
  if (KeySrc != nullptr && !Is24or32(*KeySrc)) return;
  const i64 W = std::max<i64>(i64{R.Right} - R.Left, 0);
  const i64 H = std::max<i64>(i64{R.Bottom} - R.Top, 0);
  // Only the rows and columns where all three positions lie inside their images.
  auto Range = [](i64 Size, i64 From0, i64 Lim0, i64 From1, i64 Lim1, i64 From2, i64 Lim2, i64& A, i64& B) {
    A = std::max({i64{0}, -From0, -From1, -From2});
    B = std::min({Size, Lim0 - From0, Lim1 - From1, Lim2 - From2});
  };
  const TacPixels& K = KeySrc != nullptr ? *KeySrc : Dst;
  const TPoint KO = KeySrc != nullptr ? KeyOrigin : TPoint{R.Left, R.Top};
  i64 X0, X1, Y0, Y1;
  Range(W, R.Left, Dst.Width, BgPoint.X, Bg.Width, KO.X, K.Width, X0, X1);
  Range(H, R.Top, Dst.Height, BgPoint.Y, Bg.Height, KO.Y, K.Height, Y0, Y1);
  for (i64 Y = Y0; Y < Y1; ++Y)
    for (i64 X = X0; X < X1; ++X) {
      if (!IsKeyPixel(K.Pixel(static_cast<int>(KO.X + X), static_cast<int>(KO.Y + Y)))) continue;
      const Byte* S = Bg.Pixel(static_cast<int>(BgPoint.X + X), static_cast<int>(BgPoint.Y + Y));
      Byte* D = Dst.Pixel(static_cast<int>(R.Left + X), static_cast<int>(R.Top + Y));
      std::copy(S, S + 4, D);
    }
}

void CopyMaskedWithCache(TRect DstRect, TRect SrcRect, const TacPixels& Dst, const TacPixels& Src,
                         const TacBackground& Cache, int MaskOffset) {
  if (!Is24or32(Dst) || !Is24or32(Src)) return;
  const i64 W = std::min(i64{DstRect.Right} - DstRect.Left, i64{SrcRect.Right} - SrcRect.Left);
  const i64 H = std::min(i64{DstRect.Bottom} - DstRect.Top, i64{SrcRect.Bottom} - SrcRect.Top);
  TacPixelClip C;
  if (!ClipPixelCopy(SrcRect.Left, SrcRect.Top, DstRect.Left, DstRect.Top, W, H, Src.Width, Src.Height, Dst.Width,
                     Dst.Height, C))
    return;

  const bool FromPicture = Cache.Ready && Cache.FillColor == clKeyColor;
  const bool PictureOk = Is24or32(Cache.Bmp);
  const TColor Fill = Cache.FillColor & 0xFFFFFF;
  const bool FillKeys = Cache.FillColor != clKeyColor;

  for (int Y = 0; Y < C.H; ++Y) {
    const int SY = C.SY + Y;
    const i64 MY = i64{SY} + MaskOffset;
    const bool HasMask = MY >= 0 && MY < Src.Height;
    const int DY = C.DY + Y;
    for (int X = 0; X < C.W; ++X) {
      const Byte* S = Src.Pixel(C.SX + X, SY);
      Byte* D = Dst.Pixel(C.DX + X, DY);
      if (IsKeyPixel(S)) {
        if (FromPicture) {
          if (!PictureOk) continue;
          const i64 CX = i64{C.DX} + X + Cache.X, CY = i64{DY} + Cache.Y;
          if (!Inside(Cache.Bmp, CX, CY)) continue;
          const Byte* P = Cache.Bmp.Pixel(static_cast<int>(CX), static_cast<int>(CY));
          PutRGB(Dst, D, P[2], P[1], P[0]);
        } else if (FillKeys) {
          PutColor(Dst, D, Fill);
        }
        continue;
      }
      const Byte* M = HasMask ? Src.Pixel(C.SX + X, static_cast<int>(MY)) : nullptr;
      for (int I = 0; I < 3; ++I) D[I] = MaskBlendChannel(D[I], S[I], M != nullptr ? M[I] : 0);
      if (Dst.Bits == 32) D[3] = 255;
    }
  }
}

void FillCornersFromBackground(const TacPixels& Cache, int Width, int Height, const TacCornerFrame& Frame,
                               const TacBackground& Bg, int Corners) {
  if (!Is24or32(Cache) || !Is24or32(Frame.Src)) return;
  const i64 CacheW = std::min(Width, Cache.Width);
  const i64 CacheH = std::min(Height, Cache.Height);
  const bool BgPicture = Bg.Ready && Is24or32(Bg.Bmp);
  const bool BgColor = !Bg.Ready && Bg.FillColor != clKeyColor;

  // One corner: frame area (FX, FY) of size CW x CH laid over the cache at (CX, CY); only the
  // pixels inside the cache, the frame and the frame's picture are visited.
  auto Corner = [&](i64 FX, i64 FY, i64 CX, i64 CY, i64 CW, i64 CH) {
    const i64 X0 = std::max({i64{0}, -CX, -FX, -(Frame.X + FX)});
    const i64 X1 = std::min({CW, CacheW - CX, Frame.Width - FX, i64{Frame.Src.Width} - Frame.X - FX});
    const i64 Y0 = std::max({i64{0}, -CY, -FY, -(Frame.Y + FY)});
    const i64 Y1 = std::min({CH, CacheH - CY, Frame.Height - FY, i64{Frame.Src.Height} - Frame.Y - FY});
    for (i64 Y = Y0; Y < Y1; ++Y) {
      const int TY = static_cast<int>(CY + Y), SY = static_cast<int>(Frame.Y + FY + Y);
      const i64 MY = i64{SY} + Frame.Height;
      for (i64 X = X0; X < X1; ++X) {
        const int TX = static_cast<int>(CX + X), SX = static_cast<int>(Frame.X + FX + X);
        Byte* D = Cache.Pixel(TX, TY);
        // The background under this pixel (blue, green, red), when known.
        int Under[3] = {0, 0, 0};
        bool Known = false;
        if (BgPicture) {
          const i64 BX = i64{TX} + Bg.X, BY = i64{TY} + Bg.Y;
          if (Inside(Bg.Bmp, BX, BY)) {
            const Byte* P = Bg.Bmp.Pixel(static_cast<int>(BX), static_cast<int>(BY));
            Under[0] = P[0], Under[1] = P[1], Under[2] = P[2];
            Known = true;
          }
        } else if (BgColor) {
          Under[0] = (Bg.FillColor >> 16) & 0xFF, Under[1] = (Bg.FillColor >> 8) & 0xFF, Under[2] = Bg.FillColor & 0xFF;
          Known = true;
        }
        const Byte* S = Frame.Src.Pixel(SX, SY);
        if (IsKeyPixel(S)) {
          if (Known) PutRGB(Cache, D, Under[2], Under[1], Under[0]);
          continue;
        }
        if (Frame.MaskType == 0 || MY >= Frame.Src.Height) continue;
        const Byte* M = Frame.Src.Pixel(SX, static_cast<int>(MY));
        if (!Known) Under[0] = D[0], Under[1] = D[1], Under[2] = D[2];
        PutRGB(Cache, D, MaskBlendChannel(Under[2], S[2], M[2]), MaskBlendChannel(Under[1], S[1], M[1]),
               MaskBlendChannel(Under[0], S[0], M[0]));
      }
    }
  };
  const i64 FW = Frame.Width, FH = Frame.Height;
  const i64 WL = Frame.WL, WT = Frame.WT, WR = Frame.WR, WB = Frame.WB;
  if (Corners & acCornerTopLeft) Corner(0, 0, 0, 0, WL, WT);
  if (Corners & acCornerBottomLeft) Corner(0, FH - WB, 0, CacheH - WB, WL, WB);
  if (Corners & acCornerBottomRight) Corner(FW - WR, FH - WB, CacheW - WR, CacheH - WB, WR, WB);
  if (Corners & acCornerTopRight) Corner(FW - WR, 0, CacheW - WR, 0, WR, WT);
}
