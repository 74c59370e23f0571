// Test skins with extended borders, made from the program's own skin: its options text and master
// bitmap, plus an "EXBORDER" picture of our own drawing (a PNG with alpha) and the border mode.
//
// Mode 0: the picture is a soft black shadow around the form; "FORMOFFSET" 3 lets it reach three
// pixels under the frame, so the frame's rounded corners show it.
// Mode 1: the picture is the whole outer frame with its shadow: an 8-pixel shadow, a 4-pixel frame
// with rounded corners and the caption band (the title is painted over it), as one image.
// Win32.
#pragma once

#include <windows.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "skin/core/sSkinManager.h"
#include "skin_core/manager_test_support.h"
#include "skin_core/png_test_support.h"
#include "support/SourceTree.h"

namespace extskin {

// The margins of the two pictures.
struct TPictureMargins {
  int WL, WT, WR, WB;
};
inline constexpr TPictureMargins Mode0Margins{14, 12, 14, 16};
inline constexpr int Mode0Offset = 3;
inline constexpr TPictureMargins Mode1Margins{12, 34, 12, 12};
inline constexpr int Mode1Offset = 8;
// The colours the mode-1 picture is drawn in (RGB).
inline constexpr COLORREF Mode1Outline = RGB(0x3D, 0x8E, 0xE0);
inline constexpr COLORREF Mode1OutlineInactive = RGB(0x55, 0x55, 0x5C);
inline constexpr COLORREF Mode1Band = RGB(0x60, 0x20, 0x20);
inline constexpr COLORREF Mode1Frame = RGB(0x2D, 0x2D, 0x31);

inline std::string ReadFile(const std::string& Path) {
  std::ifstream F(Path, std::ios::binary);
  std::ostringstream S;
  S << F.rdbuf();
  return S.str();
}

// Distance from (X, Y) (pixel centre) to the rounded rectangle [L, T, R, B) with corner radius Rad;
// 0 inside.
inline double DistanceOutside(double X, double Y, double L, double T, double R, double B, double Rad) {
  const double CX = std::clamp(X, L + Rad, R - Rad), CY = std::clamp(Y, T + Rad, B - Rad);
  const double DX = X - CX, DY = Y - CY;
  return std::max(0.0, std::sqrt(DX * DX + DY * DY) - Rad);
}

// Two frames side by side (inactive, active), each W x H; Pixel(Frame, X, Y) gives RGBA.
template <class TPixel>
std::string PictureFile(int W, int H, TPixel Pixel) {
  pngtest::Image Im;
  Im.Width = 2 * W;
  Im.Height = H;
  Im.ColorType = 6;
  Im.Depth = 8;
  Im.Samples.resize(static_cast<std::size_t>(2 * W * H * 4));
  for (int N = 0; N < 2; ++N)
    for (int Y = 0; Y < H; ++Y)
      for (int X = 0; X < W; ++X) {
        const pngtest::RGBA P = Pixel(N, X, Y);
        Im.At(N * W + X, Y, 0) = static_cast<std::uint16_t>(P.R);
        Im.At(N * W + X, Y, 1) = static_cast<std::uint16_t>(P.G);
        Im.At(N * W + X, Y, 2) = static_cast<std::uint16_t>(P.B);
        Im.At(N * W + X, Y, 3) = static_cast<std::uint16_t>(P.A);
      }
  const pngtest::Bytes B = pngtest::Encode(Im);
  return std::string(B.begin(), B.end());
}

// The shadow picture of mode 0: black, darkest next to the form (whose edge lies Margin - Offset
// into the picture), fading out over the shadow margin.
inline std::string Mode0Picture() {
  const TPictureMargins M = Mode0Margins;
  const int W = 40, H = 40;
  return PictureFile(W, H, [M](int Frame, int X, int Y) {
    const double D = DistanceOutside(X + 0.5, Y + 0.5, M.WL - Mode0Offset, M.WT - Mode0Offset,
                                     W - (M.WR - Mode0Offset), H - (M.WB - Mode0Offset), 2);
    const double Reach = 11.0, Peak = Frame == 1 ? 120.0 : 80.0;
    const double F = D >= Reach ? 0.0 : (1.0 - D / Reach);
    return pngtest::RGBA{0, 0, 0, static_cast<int>(std::lround(Peak * F * F))};
  });
}

// The frame picture of mode 1: the shadow outside a rounded rectangle inset by the offset, then a
// one-pixel outline, the caption band at the top and the frame colour.
inline std::string Mode1Picture() {
  const TPictureMargins M = Mode1Margins;
  const int O = Mode1Offset, W = 48, H = 72;
  return PictureFile(W, H, [M, O](int Frame, int X, int Y) {
    const double D = DistanceOutside(X + 0.5, Y + 0.5, O, O, W - O, H - O, 7);
    if (D > 0) {
      const double F = D >= O ? 0.0 : (1.0 - D / O);
      return pngtest::RGBA{0, 0, 0, static_cast<int>(std::lround(100.0 * F * F))};
    }
    const double Inner = DistanceOutside(X + 0.5, Y + 0.5, O + 1, O + 1, W - O - 1, H - O - 1, 6);
    COLORREF C = Mode1Frame;
    if (Inner > 0) C = Frame == 1 ? Mode1Outline : Mode1OutlineInactive;
    else if (Y < M.WT) C = Mode1Band;
    return pngtest::RGBA{GetRValue(C), GetGValue(C), GetBValue(C), 255};
  });
}

// The program's options text with the border mode, the offset and the EXBORDER picture.
inline std::string Options(int Mode, int TitleHeight = 26) {
  std::string T = ReadFile(tvtest::SourcePath("app/res/skin/Options.dat"));
  auto Set = [&T](const std::string& Key, const std::string& Value) {
    const std::size_t P = T.find("\r\n" + Key + "=");
    if (P == std::string::npos) return;
    const std::size_t E = T.find("\r\n", P + 2);
    T.replace(P + 2, E - P - 2, Key + "=" + Value);
  };
  const TPictureMargins M = Mode == 1 ? Mode1Margins : Mode0Margins;
  Set("BORDERMODE", std::to_string(Mode));
  Set("TITLEHEIGHT", std::to_string(TitleHeight));
  Set("FORMOFFSET", std::to_string(Mode == 1 ? Mode1Offset : Mode0Offset));
  const std::string Picture = "EXBORDER=!EXBORDER.PNG!2!0!0!" + std::to_string(M.WL) + "!" + std::to_string(M.WT) +
                              "!" + std::to_string(M.WR) + "!" + std::to_string(M.WB);
  const std::size_t G = T.find("[GLOBALINFO]\r\n");
  if (G != std::string::npos) T.insert(G + 14, Picture + "\r\n");
  return T;
}

// A manager (the default one when it is the first) with the test skin of the mode (and the title
// height), extended borders on.
inline std::unique_ptr<TsSkinManager> LoadExtSkin(int Mode, int TitleHeight = 26) {
  auto M = std::make_unique<TsSkinManager>(nullptr);
  M->SetSkinDirectory("c:\\no such skins dir");
  M->SetExtendedBorders(true);
  M->SetAllowGlowing(false);
  const AnsiString Name = Mode == 1 ? "ExtFrame" : "ExtShadow";
  mgrtest::AddStoredSkin(*M, Name, Options(Mode, TitleHeight),
                         {{"MASTER.BMP", ReadFile(tvtest::SourcePath("app/res/skin/Master.bmp"))},
                          {"EXBORDER.PNG", Mode == 1 ? Mode1Picture() : Mode0Picture()}});
  M->SetSkinName(Name);
  M->AnimEffects()->FormShow()->SetActive(false);
  M->AnimEffects()->DialogShow()->SetActive(false);
  return M;
}

}  // namespace extskin
