// The portable half of sBackground: colour shifts and the corner pixel loops.
#include "skin/core/sBackground.h"
#include "skin/core/sConst.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#ifdef _WIN32
#include "framework/Graphics.h"
#endif

namespace {

// Round to nearest, ties to even (the current rounding mode is the default one).
long long RoundEven(double V) { return std::llrint(V); }

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

bool IsKeyPixel(const Byte* P) { return P[0] == 0xFF && P[1] == 0 && P[2] == 0xFF; }

bool Inside(const TacPixels& P, int X, int Y) { return X >= 0 && Y >= 0 && X < P.Width && Y < P.Height; }

bool Is24or32(const TacPixels& P) { return P.Is24() || P.Is32(); }

// Writes blue, green and red (and alpha 255 in 32-bit pixels).
void PutRGB(const TacPixels& P, Byte* Px, int R, int G, int B) {
  Px[0] = static_cast<Byte>(B);
  Px[1] = static_cast<Byte>(G);
  Px[2] = static_cast<Byte>(R);
  if (P.Bits == 32) Px[3] = 255;
}

void PutColor(const TacPixels& P, Byte* Px, TColor C) { PutRGB(P, Px, C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF); }

// The mask blend of one channel: image s, mask m, target d.
Byte MaskBlend(int D, int S, int M) {
  const int V = ((D - S) * M + S * 256) >> 8;
  return static_cast<Byte>(V < 0 ? 0 : (V > 255 ? 255 : V));
}

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
  long long Turned = RoundEven(H + static_cast<double>(Shift)) % 360;
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

void AddMaskCornerRects(std::vector<TRect>& Rects, int Width, const TsMaskData& Mask, const TacPixels& Src,
                        int YOffset, bool Bottom) {
  if (!Is24or32(Src) || Mask.MaskType < 0) return;
  const int ImageCount = Mask.ImageCount < 1 ? 1 : Mask.ImageCount;
  const int FW = (Mask.R.Right - Mask.R.Left) / ImageCount;
  const int FH = (Mask.R.Bottom - Mask.R.Top) / (Mask.MaskType + 1);
  const int Count = Bottom ? Mask.WB : Mask.WT;
  const int FirstRow = Bottom ? Mask.R.Top + FH - Mask.WB : Mask.R.Top;
  if (Count <= 0 || FW <= 0 || FirstRow < 0 || FirstRow + Count > Src.Height) return;

  // One corner: frame columns [C0, C1) placed at target x = column + XShift.
  auto Corner = [&](int C0, int C1, int XShift) {
    C0 = std::max(C0, 0);
    C1 = std::min(C1, FW);
    for (int Row = 0; Row < Count; ++Row) {
      const int SY = FirstRow + Row;
      int RunStart = -1;
      for (int C = C0; C <= C1; ++C) {
        const int SX = Mask.R.Left + C;
        const bool Key = C < C1 && SX >= 0 && SX < Src.Width && IsKeyPixel(Src.Pixel(SX, SY));
        if (Key) {
          if (RunStart < 0) RunStart = C;
        } else if (RunStart >= 0) {
          Rects.push_back(TRect{RunStart + XShift, Row + YOffset, C + XShift, Row + YOffset + 1});
          RunStart = -1;
        }
      }
    }
  };
  Corner(0, Mask.WL, 0);
  Corner(FW - Mask.WR, FW, Width - FW);
}

void FillTransparentFromBG(const TacPixels& Dst, const TacPixels& Bg, TRect R, TPoint BgPoint,
                           const TacPixels* KeySrc, TPoint KeyOrigin) {
  if (!Dst.Is32() || !Bg.Is32()) return;
  if (KeySrc != nullptr && !Is24or32(*KeySrc)) return;
  const int W = std::max(R.Right - R.Left, 0);
  const int H = std::max(R.Bottom - R.Top, 0);
  // Only the rows and columns where all three positions lie inside their images.
  auto Range = [](int Size, int From0, int Lim0, int From1, int Lim1, int From2, int Lim2, int& A, int& B) {
    A = std::max({0, -From0, -From1, -From2});
    B = std::min({Size, Lim0 - From0, Lim1 - From1, Lim2 - From2});
  };
  const TacPixels& K = KeySrc != nullptr ? *KeySrc : Dst;
  const TPoint KO = KeySrc != nullptr ? KeyOrigin : TPoint{R.Left, R.Top};
  int X0, X1, Y0, Y1;
  Range(W, R.Left, Dst.Width, BgPoint.X, Bg.Width, KO.X, K.Width, X0, X1);
  Range(H, R.Top, Dst.Height, BgPoint.Y, Bg.Height, KO.Y, K.Height, Y0, Y1);
  for (int Y = Y0; Y < Y1; ++Y)
    for (int X = X0; X < X1; ++X) {
      if (!IsKeyPixel(K.Pixel(KO.X + X, KO.Y + Y))) continue;
      const Byte* S = Bg.Pixel(BgPoint.X + X, BgPoint.Y + Y);
      Byte* D = Dst.Pixel(R.Left + X, R.Top + Y);
      std::copy(S, S + 4, D);
    }
}

void CopyMaskedWithCache(TRect DstRect, TRect SrcRect, const TacPixels& Dst, const TacPixels& Src,
                         const TacBackground& Cache, int MaskOffset) {
  if (!Is24or32(Dst) || !Is24or32(Src)) return;
  int W = std::min(DstRect.Right - DstRect.Left, SrcRect.Right - SrcRect.Left);
  int H = std::min(DstRect.Bottom - DstRect.Top, SrcRect.Bottom - SrcRect.Top);
  // Negative origins move both rectangles.
  auto Clip = [](int& D, int& S, int& N) {
    const int Shift = std::max(-D, -S);
    if (Shift > 0) {
      D += Shift;
      S += Shift;
      N -= Shift;
    }
  };
  Clip(DstRect.Left, SrcRect.Left, W);
  Clip(DstRect.Top, SrcRect.Top, H);
  W = std::min({W, Dst.Width - DstRect.Left, Src.Width - SrcRect.Left});
  H = std::min({H, Dst.Height - DstRect.Top, Src.Height - SrcRect.Top});
  if (W <= 0 || H <= 0) return;

  const bool FromPicture = Cache.Ready && Cache.FillColor == clKeyColor;
  const bool PictureOk = Is24or32(Cache.Bmp);
  const TColor Fill = Cache.FillColor & 0xFFFFFF;
  const bool FillKeys = Cache.FillColor != clKeyColor;

  for (int Y = 0; Y < H; ++Y) {
    const int SY = SrcRect.Top + Y;
    const int MY = SY + MaskOffset;
    const bool HasMask = MY >= 0 && MY < Src.Height;
    const int DY = DstRect.Top + Y;
    for (int X = 0; X < W; ++X) {
      const Byte* S = Src.Pixel(SrcRect.Left + X, SY);
      Byte* D = Dst.Pixel(DstRect.Left + X, DY);
      if (IsKeyPixel(S)) {
        if (FromPicture) {
          if (!PictureOk) continue;
          const int CX = DstRect.Left + X + Cache.X, CY = DY + Cache.Y;
          if (!Inside(Cache.Bmp, CX, CY)) continue;
          const Byte* C = Cache.Bmp.Pixel(CX, CY);
          PutRGB(Dst, D, C[2], C[1], C[0]);
        } else if (FillKeys) {
          PutColor(Dst, D, Fill);
        }
        continue;
      }
      const Byte* M = HasMask ? Src.Pixel(SrcRect.Left + X, MY) : nullptr;
      for (int I = 0; I < 3; ++I) D[I] = MaskBlend(D[I], S[I], M != nullptr ? M[I] : 0);
      if (Dst.Bits == 32) D[3] = 255;
    }
  }
}

void FillCornersFromBackground(const TacPixels& Cache, int Width, int Height, const TacCornerFrame& Frame,
                               const TacBackground& Bg, int Corners) {
  if (!Is24or32(Cache) || !Is24or32(Frame.Src)) return;
  Width = std::min(Width, Cache.Width);
  Height = std::min(Height, Cache.Height);
  const bool BgPicture = Bg.Ready && Is24or32(Bg.Bmp);
  const bool BgColor = !Bg.Ready && Bg.FillColor != clKeyColor;

  // One corner: frame area (FX, FY) of size CW x CH laid over the cache at (CX, CY); only the
  // pixels inside the cache, the frame and the frame's picture are visited.
  auto Corner = [&](int FX, int FY, int CX, int CY, int CW, int CH) {
    const int X0 = std::max({0, -CX, -FX, -(Frame.X + FX)});
    const int X1 = std::min({CW, Width - CX, Frame.Width - FX, Frame.Src.Width - Frame.X - FX});
    const int Y0 = std::max({0, -CY, -FY, -(Frame.Y + FY)});
    const int Y1 = std::min({CH, Height - CY, Frame.Height - FY, Frame.Src.Height - Frame.Y - FY});
    for (int Y = Y0; Y < Y1; ++Y) {
      const int TY = CY + Y, SY = Frame.Y + FY + Y;
      const int MY = SY + Frame.Height;
      for (int X = X0; X < X1; ++X) {
        const int TX = CX + X, SX = Frame.X + FX + X;
        Byte* D = Cache.Pixel(TX, TY);
        // The background under this pixel (blue, green, red), when known.
        int Under[3] = {0, 0, 0};
        bool Known = false;
        if (BgPicture) {
          const int BX = TX + Bg.X, BY = TY + Bg.Y;
          if (Inside(Bg.Bmp, BX, BY)) {
            const Byte* P = Bg.Bmp.Pixel(BX, BY);
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
        const Byte* M = Frame.Src.Pixel(SX, MY);
        if (!Known) Under[0] = D[0], Under[1] = D[1], Under[2] = D[2];
        PutRGB(Cache, D, MaskBlend(Under[2], S[2], M[2]), MaskBlend(Under[1], S[1], M[1]),
               MaskBlend(Under[0], S[0], M[0]));
      }
    }
  };
  const int FW = Frame.Width, FH = Frame.Height;
  if (Corners & acCornerTopLeft) Corner(0, 0, 0, 0, Frame.WL, Frame.WT);
  if (Corners & acCornerBottomLeft) Corner(0, FH - Frame.WB, 0, Height - Frame.WB, Frame.WL, Frame.WB);
  if (Corners & acCornerBottomRight)
    Corner(FW - Frame.WR, FH - Frame.WB, Width - Frame.WR, Height - Frame.WB, Frame.WR, Frame.WB);
  if (Corners & acCornerTopRight) Corner(FW - Frame.WR, 0, Width - Frame.WR, 0, Frame.WR, Frame.WT);
}
