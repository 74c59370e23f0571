// Test support of the glow, image-list and recolouring tests: skins generated in memory and loaded
// into a manager as a stored skin, PNG and ICO files built from pixels, and pixel reads. Win32.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/Graphics.h"
#include "framework/Streams.h"
#include "png_test_support.h"
#include "skin/core/sSkinManager.h"
#include "skinpack_builder.h"

namespace pertest {

struct TFile {
  std::string Name;
  std::string Data;
};

// Loads the files (an "Options.dat" among them) into the manager as its only stored skin.
inline void LoadSkin(TsSkinManager& M, const std::vector<TFile>& Files, const AnsiString& Name = "PeripheryTest") {
  std::vector<skinpack_builder::TPackFile> P;
  for (const TFile& F : Files) P.push_back({F.Name, F.Data});
  const std::string Pack = skinpack_builder::BuildPack(P);
  M.InternalSkins()->Clear();
  TsStoredSkin* S = M.InternalSkins()->Add();
  S->SetName(Name);
  S->Data()->WriteBuffer(Pack.data(), static_cast<std::int64_t>(Pack.size()));
  M.SetSkinDirectory("c:\\no such skins folder");
  M.SetSkinName(Name);
}

inline std::string BitmapBytes(TBitmap& B) {
  TMemoryStream S;
  B.SaveToStream(S);
  return std::string(static_cast<const char*>(S.Memory()), static_cast<std::size_t>(S.Size()));
}

// An RGBA picture: Pixel(X, Y) gives {R, G, B, A}.
template <class F>
std::string RgbaPng(int W, int H, F Pixel) {
  pngtest::Image Im;
  Im.Width = W;
  Im.Height = H;
  Im.ColorType = 6;
  Im.Depth = 8;
  Im.Samples.resize(static_cast<std::size_t>(W * H * 4));
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X) {
      const std::array<int, 4> P = Pixel(X, Y);
      for (int I = 0; I < 4; ++I) Im.At(X, Y, I) = static_cast<std::uint16_t>(P[static_cast<std::size_t>(I)]);
    }
  const pngtest::Bytes B = pngtest::Encode(Im);
  return std::string(B.begin(), B.end());
}

// An .ico file of one 32-bit image with alpha (Pixel(X, Y) gives {R, G, B, A}) and an all-opaque
// AND mask.
template <class F>
std::string RgbaIco(int W, int H, F Pixel) {
  std::string Out;
  auto U16 = [&](unsigned V) { Out += static_cast<char>(V & 0xFF), Out += static_cast<char>((V >> 8) & 0xFF); };
  auto U32 = [&](unsigned V) { U16(V & 0xFFFF), U16(V >> 16); };
  const unsigned MaskStride = static_cast<unsigned>(((W + 31) / 32) * 4);
  const unsigned ImageSize = 40 + static_cast<unsigned>(W * H * 4) + MaskStride * static_cast<unsigned>(H);
  U16(0), U16(1), U16(1);  // ICONDIR
  Out += static_cast<char>(W), Out += static_cast<char>(H), Out += '\0', Out += '\0';
  U16(1), U16(32), U32(ImageSize), U32(6 + 16);
  U32(40), U32(static_cast<unsigned>(W)), U32(static_cast<unsigned>(2 * H)), U16(1), U16(32), U32(0), U32(0);
  U32(0), U32(0), U32(0), U32(0);
  for (int Y = H - 1; Y >= 0; --Y)
    for (int X = 0; X < W; ++X) {
      const std::array<int, 4> P = Pixel(X, Y);
      Out += static_cast<char>(P[2]), Out += static_cast<char>(P[1]), Out += static_cast<char>(P[0]),
          Out += static_cast<char>(P[3]);
    }
  Out.append(MaskStride * static_cast<unsigned>(H), '\0');
  return Out;
}

// Blue, green, red and alpha of a bitmap pixel (alpha -1 below 32 bits).
inline std::array<int, 4> At(TBitmap& B, int X, int Y) {
  const int Bpp = B.PixelFormat() == pf32bit ? 4 : 3;
  const Byte* P = static_cast<const Byte*>(B.ScanLine(Y)) + Bpp * X;
  return {P[0], P[1], P[2], Bpp == 4 ? P[3] : -1};
}

// The colour the screen shows at a point (0x00BBGGRR).
inline COLORREF ScreenPixel(int X, int Y) {
  HDC DC = GetDC(nullptr);
  const COLORREF C = GetPixel(DC, X, Y);
  ReleaseDC(nullptr, DC);
  return C;
}

}  // namespace pertest
