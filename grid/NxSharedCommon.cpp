// The portable half of the shared grid routines: colour arithmetic, geometry and the pixel loop
// of alpha drawing. The canvas drawing is in NxSharedCommonWin.cpp.
#include "grid/NxSharedCommon.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

bool DetectWideText() {
#ifdef _WIN32
  OSVERSIONINFOA Info{};
  Info.dwOSVersionInfoSize = sizeof(Info);
  return GetVersionExA(&Info) && Info.dwPlatformId == VER_PLATFORM_WIN32_NT;
#else
  return true;
#endif
}

#ifndef _WIN32
// The system colours of the standard scheme, by index (0x00BBGGRR): what the host build answers
// in place of the system's colour table.
constexpr std::uint32_t StandardSystemColors[] = {
    0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
    0x000000, 0x000000, 0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xFF9933, 0xFFFFFF, 0xF0F0F0,
    0xA0A0A0, 0x6D6D6D, 0x000000, 0x544E43, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
    0xE1FFFF, 0x000000, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xFF9933, 0xF0F0F0};
#endif

std::uint32_t SystemColorValue(int Index) {
#ifdef _WIN32
  return GetSysColor(Index);
#else
  constexpr int Count = static_cast<int>(sizeof(StandardSystemColors) / sizeof(StandardSystemColors[0]));
  return Index >= 0 && Index < Count ? StandardSystemColors[Index] : 0;
#endif
}

std::uint32_t Rgb(TColor Color) { return static_cast<std::uint32_t>(NxColorToRGB(Color)); }

}  // namespace

// The blend of both units; Unit names the unit in the assertion message.
TColor detail::NxBlend(TColor Color1, TColor Color2, int Alpha, const char* Unit, int Line) {
  if (Alpha < 0 || Alpha > 255) throw EAssertionFailed(Format("Assertion failure (%s, line %d)", Unit, Line));
  const std::uint32_t C1 = Rgb(Color1);
  const std::uint32_t C2 = Rgb(Color2);
  const std::uint32_t A = static_cast<std::uint32_t>(Alpha);
  const std::uint32_t RB = (((C1 & 0xFF00FFu) * A + (C2 & 0xFF00FFu) * (255 - A)) >> 8) & 0xFF00FFu;
  const std::uint32_t G = (((C1 & 0xFF00u) * A + (C2 & 0xFF00u) * (255 - A)) >> 8) & 0xFF00u;
  return static_cast<TColor>(RB | G);
}

bool UseWideText = DetectWideText();

TColor NxColorToRGB(TColor Color) {
  if (Color < 0) return static_cast<TColor>(SystemColorValue(Color & 0xFF) & 0xFFFFFFu);
  return Color & 0xFFFFFF;
}

TColor TGraphicsProvider::MixColors(TColor Color1, TColor Color2, double Ratio) {
  if (std::isnan(Ratio)) throw ERangeError("MixColors: the ratio is not a number");
  Ratio = std::clamp(Ratio, 0.0, 1.0);
  const std::uint32_t C1 = Rgb(Color1);
  const std::uint32_t C2 = Rgb(Color2);
  std::uint32_t Result = 0;
  for (int Shift = 0; Shift <= 16; Shift += 8) {
    const double V1 = static_cast<double>((C1 >> Shift) & 0xFF);
    const double V2 = static_cast<double>((C2 >> Shift) & 0xFF);
    // lrint rounds to nearest with ties to even (the default rounding mode).
    const long V = std::lrint(V2 * Ratio + V1 * (1.0 - Ratio));
    Result |= static_cast<std::uint32_t>(std::clamp(V, 0L, 255L)) << Shift;
  }
  return static_cast<TColor>(Result);
}

// ---------------------------------------------------------------------------------------------
// TCalcProvider

bool TCalcProvider::RectsIntersect(const TRect& A, const TRect& B) {
  return !(A.Right < B.Left || A.Left > B.Right || A.Bottom < B.Top || A.Top > B.Bottom);
}

void TCalcProvider::PlaceInRect(int Width, int Height, TPoint& Point, int VertAlign, int HorzAlign,
                                const TRect& Rect, int Margin) {
  if (HorzAlign < 0 || HorzAlign > 2 || VertAlign < 0 || VertAlign > 2)
    throw ERangeError(Format("PlaceInRect: alignment (%d, %d) is not 0, 1 or 2", HorzAlign, VertAlign));
  // The centre point of the rectangle, as integer division rounding toward zero gives it.
  const int CX = (Rect.Left + Rect.Right) / 2;
  const int CY = (Rect.Top + Rect.Bottom) / 2;
  switch (HorzAlign) {
    case 0: Point.X = Rect.Left + Margin; break;
    case 1: Point.X = Rect.Right - (Margin + Width); break;
    default: Point.X = CX - Width / 2; break;
  }
  switch (VertAlign) {
    case 0: Point.Y = Rect.Top + Margin; break;
    case 1: Point.Y = Rect.Bottom - (Margin + Height); break;
    default: Point.Y = CY - Height / 2; break;
  }
}

void TCalcProvider::ResizeRect(const TRect& Rect, int DLeft, TRect& Result, int DBottom, int DRight, int DTop) {
  Result = TRect{Rect.Left + DLeft, Rect.Top + DTop, Rect.Right + DRight, Rect.Bottom + DBottom};
}

bool TCalcProvider::PointOutside(TPoint P, TPoint Center, int Distance) {
  return P.X < Center.X - Distance || P.X > Center.X + Distance || P.Y < Center.Y - Distance ||
         P.Y > Center.Y + Distance;
}

// ---------------------------------------------------------------------------------------------
// TGraphicsProvider and TMaskProvider: colour arithmetic

TColor TGraphicsProvider::BlendColor(TColor Color1, TColor Color2, int Alpha) {
  return detail::NxBlend(Color1, Color2, Alpha, "NxSharedCommon", __LINE__);
}

TColor TGraphicsProvider::DarkenColor(TColor Color, int Amount) {
  const std::uint32_t C = Rgb(Color);
  std::uint32_t Result = 0;
  for (int Shift = 0; Shift <= 16; Shift += 8) {
    const int V = std::clamp(static_cast<int>((C >> Shift) & 0xFF) - Amount, 0, 255);
    Result |= static_cast<std::uint32_t>(V) << Shift;
  }
  return static_cast<TColor>(Result);
}

TColor TMaskProvider::BlendColor(TColor Color1, TColor Color2, int Alpha) {
  return detail::NxBlend(Color1, Color2, Alpha, "NxSharedCommon", __LINE__);
}

// ---------------------------------------------------------------------------------------------
// Pixel loop

void BlendAlphaRow(const Byte* Source, const Byte* Destination, Byte* Result, int Count) {
  for (int I = 0; I < Count; ++I) {
    Byte SB, SG, SR, SA, DB, DG, DR;
    ReadAlphaPixel(Source, SB, SG, SR, SA);
    ReadPixel(Destination, DB, DG, DR);
    const TColor S = SR | (SG << 8) | (SB << 16);
    const TColor D = DR | (DG << 8) | (DB << 16);
    const TColor C = detail::NxBlend(S, D, SA, "NxSharedCommon", __LINE__);
    WritePixel(Result, static_cast<Byte>(C >> 16), static_cast<Byte>(C >> 8), static_cast<Byte>(C));
  }
}
