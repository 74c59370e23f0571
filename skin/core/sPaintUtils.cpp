// The portable half of sPaintUtils: colour mixing, text cutting, the tiling plans of the texture
// painters, the periodic pixel copy and the grey levels of the rounded shadow.
#include "skin/core/sPaintUtils.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The low byte of round(V) (nearest, ties to even); 0 for values too large to round.
int LowByteOfRound(double V) {
  if (!std::isfinite(V) || std::fabs(V) >= 9.0e15) return 0;
  return static_cast<int>(std::llrint(V) & 0xFF);
}

bool IsLowSurrogate(wchar_t C) { return C >= 0xDC00 && C <= 0xDFFF; }
bool IsHighSurrogate(wchar_t C) { return C >= 0xD800 && C <= 0xDBFF; }

// The length of S without its last character (a surrogate pair counts as one).
std::size_t DropLast(const WideString& S, std::size_t Len) {
  if (Len >= 2 && IsLowSurrogate(S[Len - 1]) && IsHighSurrogate(S[Len - 2])) return Len - 2;
  return Len - 1;
}
std::size_t DropLast(const AnsiString&, std::size_t Len) { return Len - 1; }
// Len itself when it does not split a surrogate pair, else one less.
std::size_t WholeChars(const WideString& S, std::size_t Len) {
  if (Len > 0 && Len < S.size() && IsHighSurrogate(S[Len - 1]) && IsLowSurrogate(S[Len])) return Len - 1;
  return Len;
}
std::size_t WholeChars(const AnsiString&, std::size_t Len) { return Len; }

template <class Str>
Str CutText(const Str& Text, int Width, const std::function<int(const Str&)>& Measure, const Str& Dots) {
  if (Width < 1 || Text.empty()) return Str();
  if (Measure(Text) <= Width) return Text;
  auto Fits = [&](std::size_t Len) { return Measure(Text.substr(0, Len) + Dots) <= Width; };
  // Widths grow with the length of a prefix: find the longest prefix that fits by halving, then
  // step back while the measured text still does not fit (text whose widths do not grow
  // strictly ends where the character-by-character search would).
  std::size_t Lo = 0, Hi = Text.size();
  while (Hi - Lo > 1) {
    const std::size_t Mid = Lo + (Hi - Lo) / 2;
    if (Fits(Mid))
      Lo = Mid;
    else
      Hi = Mid;
  }
  std::size_t Len = WholeChars(Text, Lo);
  while (Len > 0 && !Fits(Len)) Len = DropLast(Text, Len);
  if (Len == 0) return Str();
  return Text.substr(0, Len) + Dots;
}

// The number of k >= 0 with From + k * Step < Limit (Step > 0).
int StepsBelow(int From, int Limit, int Step) {
  const long long Span = static_cast<long long>(Limit) - From;
  if (Span <= 0) return 0;
  return static_cast<int>((Span + Step - 1) / Step);
}

int PosMod(long long A, int B) {
  const long long M = A % B;
  return static_cast<int>(M < 0 ? M + B : M);
}

}  // namespace

TColor MixColorsLinear(TColor C1, TColor C2, double K) {
  int Out = static_cast<int>(static_cast<std::uint32_t>(C1) & 0xFF000000u);
  for (int Shift = 0; Shift < 24; Shift += 8) {
    const int A = (C1 >> Shift) & 0xFF, B = (C2 >> Shift) & 0xFF;
    Out |= LowByteOfRound(A * K + B * (1 - K)) << Shift;
  }
  return Out;
}

WideString CutTextToWidth(const WideString& Text, int Width, const std::function<int(const WideString&)>& Measure) {
  return CutText<WideString>(Text, Width, Measure, L"...");
}

AnsiString CutTextToWidth(const AnsiString& Text, int Width, const std::function<int(const AnsiString&)>& Measure) {
  return CutText<AnsiString>(Text, Width, Measure, "...");
}

TacTexturePlan TexturePlan(const TRect& R, int W, int H, int Mode) {
  TacTexturePlan P;
  P.Rest = R;
  if (W <= 0 || H <= 0 || R.IsEmpty()) return P;
  const int L = R.Left, T = R.Top, Rt = R.Right, B = R.Bottom;
  P.Anchor = TPoint{L, T};
  P.Rest = acNoRect;
  switch (Mode) {
    case 1:
      P.Stretch = true;
      P.Area = R;
      break;
    case 4:  // a band H high along the top, the texture stretched over it
      P.Stretch = true;
      P.Area = TRect{L, T, Rt, T + H};
      P.Rest = TRect{L, T + H, Rt, B};
      break;
    case 5:  // a band W wide down the left side
      P.Stretch = true;
      P.Area = TRect{L, T, L + W, B};
      P.Rest = TRect{L + W, T, Rt, B};
      break;
    case 10:  // whole rows of tiles only; the right-hand remainder of each row is painted
      P.Area = TRect{L, T, Rt, T + StepsBelow(T, B - H, H) * H};
      if (P.Area.IsEmpty()) P.Area = TRect{0, 0, 0, 0};
      break;
    case 0:
      P.Area = R;
      break;
    case 2:
      P.Area = RectIntersection(TRect{L, T, Rt, T + H}, R);
      P.Rest = TRect{L, T + H, Rt, B};
      break;
    case 3:
      P.Area = RectIntersection(TRect{L, T, L + W, B}, R);
      P.Rest = TRect{L + W, T, Rt, B};
      break;
    case 6:
      P.Anchor = TPoint{L, B - H};
      P.Area = RectIntersection(TRect{L, B - H, Rt, B}, R);
      P.Rest = TRect{L, T, Rt, B - H};
      break;
    default:  // 7 and unknown values: a band down the right side
      P.Anchor = TPoint{Rt - W, T};
      P.Area = RectIntersection(TRect{Rt - W, T, Rt, B}, R);
      P.Rest = TRect{L, T, Rt - W, B};
      break;
  }
  return P;
}

TacMaskedPlan MaskedTexturePlan(const TRect& R, int W, int H, int Mode) {
  TacMaskedPlan P;
  if (W <= 0 || H <= 0 || R.IsEmpty() || (Mode != 0 && Mode != 10)) return P;
  if (Mode == 0) {
    P.Tiles = R;
    return P;
  }
  const int Cols = StepsBelow(R.Left, R.Right - W, W);
  const int Rows = StepsBelow(R.Top, R.Bottom - H, H);
  const int XEnd = R.Left + Cols * W;
  const int YEnd = Cols > 0 ? R.Top + Rows * H : R.Top;
  if (Cols > 0 && Rows > 0) P.Tiles = TRect{R.Left, R.Top, XEnd, YEnd};
  if (YEnd < R.Bottom) P.BottomStrip = TRect{R.Left, YEnd, R.Right, R.Bottom};
  if (XEnd < R.Right) P.RightStrip = TRect{XEnd, R.Top, R.Right, R.Bottom};
  return P;
}

TRect RectIntersection(const TRect& A, const TRect& B) {
  const TRect R{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
                std::min(A.Bottom, B.Bottom)};
  return R.IsEmpty() ? TRect{0, 0, 0, 0} : R;
}

void TilePixels(const TacPixels& Dst, TRect Area, TPoint Anchor, const TacPixels& Src, TRect SrcRect) {
  const bool DstOk = Dst.Is24() || Dst.Is32(), SrcOk = Src.Is24() || Src.Is32();
  if (!DstOk || !SrcOk) return;
  SrcRect = RectIntersection(SrcRect, TRect{0, 0, Src.Width, Src.Height});
  Area = RectIntersection(Area, TRect{0, 0, Dst.Width, Dst.Height});
  if (SrcRect.IsEmpty() || Area.IsEmpty()) return;
  const int W = SrcRect.Right - SrcRect.Left, H = SrcRect.Bottom - SrcRect.Top;
  const int DB = Dst.BytesPerPixel(), SB = Src.BytesPerPixel();
  for (int Y = Area.Top; Y < Area.Bottom; ++Y) {
    const int SY = SrcRect.Top + PosMod(static_cast<long long>(Y) - Anchor.Y, H);
    const Byte* SRow = Src.Row(SY) + SrcRect.Left * SB;
    Byte* D = Dst.Pixel(Area.Left, Y);
    int SX = PosMod(static_cast<long long>(Area.Left) - Anchor.X, W);
    int X = Area.Left;
    while (X < Area.Right) {
      const int N = std::min(W - SX, Area.Right - X);
      const Byte* S = SRow + SX * SB;
      if (DB == SB) {
        std::memmove(D, S, static_cast<std::size_t>(N) * DB);
      } else {
        for (int I = 0; I < N; ++I) {
          D[I * DB] = S[I * SB];
          D[I * DB + 1] = S[I * SB + 1];
          D[I * DB + 2] = S[I * SB + 2];
          if (DB == 4) D[I * DB + 3] = 255;
        }
      }
      D += N * DB;
      X += N;
      SX = 0;
    }
  }
}

TacShadowRings ShadowRings(int W, int H, int Percent, int Blur, int Radius) {
  TacShadowRings S;
  const int Half = std::max(0, std::min(W / 2, H / 2));
  S.Blur = std::max(0, std::min(Half, Blur));
  S.Radius = std::max(0, std::min(Half, Radius));
  const int P = std::clamp(Percent, 0, 100) * 255 / 100;
  const double K = static_cast<double>(255 - P) / (S.Blur + 1);
  S.Levels.resize(static_cast<std::size_t>(S.Blur) + 1);
  S.Levels[0] = 255;
  for (int I = 1; I <= S.Blur; ++I)
    S.Levels[static_cast<std::size_t>(I)] = std::min(255, P + static_cast<int>(std::llrint((S.Blur - I + 1) * K)));
  S.Core = P;
  return S;
}
