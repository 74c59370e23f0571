// Test support of the painter tests (Win32): skin image records with bitmaps of their own, a skin
// manager whose records are filled in memory, and pixel reads of framework bitmaps.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "bitmap_test_support.h"
#include "framework/Graphics.h"
#include "framework/Streams.h"
#include "skinpack_builder.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sSkinManager.h"

namespace painttest {

using BGRA = std::array<int, 4>;

// Blue, green, red (and alpha for 32-bit bitmaps, else -1).
inline BGRA At(TBitmap& B, int X, int Y) { return bmptest::At(B, X, Y); }
inline BGRA Of(TColor C, int Alpha = -1) { return {(C >> 16) & 0xFF, (C >> 8) & 0xFF, C & 0xFF, Alpha}; }

inline void Put(TBitmap& B, int X, int Y, int Blue, int Green, int Red) {
  const int Bpp = B.PixelFormat() == pf32bit ? 4 : 3;
  Byte* p = static_cast<Byte*>(B.ScanLine(Y)) + Bpp * X;
  p[0] = static_cast<Byte>(Blue);
  p[1] = static_cast<Byte>(Green);
  p[2] = static_cast<Byte>(Red);
  if (Bpp == 4) p[3] = 255;
}
inline void PutColor(TBitmap& B, int X, int Y, TColor C) { Put(B, X, Y, (C >> 16) & 0xFF, (C >> 8) & 0xFF, C & 0xFF); }

inline std::unique_ptr<TBitmap> Filled(int W, int H, TColor C, TPixelFormat F = pf24bit) {
  return bmptest::Filled(W, H, F, C);
}

// A 24-bit bitmap whose pixel (x, y) is blue x, green y, red 7: a copied pixel tells where it
// came from.
inline std::unique_ptr<TBitmap> Numbered(int W, int H) {
  auto B = std::make_unique<TBitmap>(W, H, pf24bit);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) Put(*B, x, y, x, y, 7);
  return B;
}
inline BGRA From(int X, int Y) { return {X, Y, 7, -1}; }

// An image record over a bitmap of its own (R = the whole bitmap).
inline void SetOwnBitmap(TsMaskData& M, std::unique_ptr<TBitmap> B) {
  M.R = Rect(0, 0, B->Width(), B->Height());
  M.Bmp = TsOwnedBitmap(B.release());
}

// A manager with an empty skin whose arrays the tests fill.
struct TMemorySkin {
  std::unique_ptr<TsSkinManager> M = std::make_unique<TsSkinManager>(nullptr);

  TsMaskData& AddMask(const AnsiString& Section, const AnsiString& Property, std::unique_ptr<TBitmap> B,
                      int ImageCount = 1, int MaskType = 0, int DrawMode = 0, int WL = 0, int WT = 0, int WR = 0,
                      int WB = 0) {
    TsMaskData D;
    D.SectionName = Section;
    D.PropertyName = Property;
    D.ImageCount = static_cast<std::int16_t>(ImageCount);
    D.MaskType = static_cast<std::int16_t>(MaskType);
    D.DrawMode = static_cast<std::int16_t>(DrawMode);
    D.WL = static_cast<std::int16_t>(WL);
    D.WT = static_cast<std::int16_t>(WT);
    D.WR = static_cast<std::int16_t>(WR);
    D.WB = static_cast<std::int16_t>(WB);
    D.Manager = M.get();
    if (B) SetOwnBitmap(D, std::move(B));
    M->Masks().push_back(std::move(D));
    return M->Masks().back();
  }
  int LastMask() const { return static_cast<int>(M->Masks().size()) - 1; }

  TsGeneralData& AddSection(const AnsiString& Name, TColor Color, TColor HotColor = 0xFFFFFF) {
    TsGeneralData G;
    G.SectionName = Name;
    G.Color = Color;
    G.HotColor = HotColor;
    M->GeneralData().push_back(std::move(G));
    return M->GeneralData().back();
  }
  int LastSection() const { return static_cast<int>(M->GeneralData().size()) - 1; }

  void AddPattern(const AnsiString& Section, const AnsiString& Property, std::unique_ptr<TBitmap> B) {
    TsPatternData P;
    P.SectionName = Section;
    P.PropertyName = Property;
    P.Img = TsOwnedGraphic(B.release());
    M->Patterns().push_back(std::move(P));
  }
};

// Loads a stored skin of an options text and a master bitmap ("MASTER.BMP") into a manager.
inline void LoadStoredSkin(TsSkinManager& M, const std::string& Options, TBitmap& Master) {
  TMemoryStream Bmp;
  Master.SaveToStream(Bmp);
  const std::string Pack = skinpack_builder::BuildPack(
      {{"Options.dat", Options},
       {"Master.bmp", std::string(static_cast<const char*>(Bmp.Memory()), static_cast<std::size_t>(Bmp.Size()))}});
  TsStoredSkin* S = M.InternalSkins()->Add();
  S->SetName("PainterSkin");
  S->Data()->WriteBuffer(Pack.data(), static_cast<std::int64_t>(Pack.size()));
  M.SetSkinName("PainterSkin");
}

}  // namespace painttest
