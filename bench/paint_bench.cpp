// Section and border painting against a straightforward device-context peer on the same bitmaps:
// a nine-slice border, a plain colour fill, and a half-transparent section (fill, background copy
// and AlphaBlend). Prints the time of each (best of several runs, engine and peers taking turns)
// and the ratio engine / peer; below 1 the engine is faster. Each peer's pixels are checked
// against the engine's before timing; a difference ends the run with exit code 1.
//
// The border's corners have key-coloured pixels that keep the target. Two peers draw them: the
// system's TransparentBlt, and the classic mask blit with a monochrome mask and a key-blackened
// copy of the image made once beforehand (per corner: AND with the mask, OR with the copy). The
// sides are BitBlt tiles in both.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "BenchWinTiming.h"
#include "skin/core/acPixels.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

namespace {

constexpr int W = 300, H = 100;  // a typical control
constexpr int Runs = 9;

void Report(const char* Name, const std::vector<double>& T, std::size_t Peer = 1, const char* PeerName = "peer") {
  bench::Report(Name, T[0], T[Peer], PeerName);
}

// Random bytes: a picture under the painting, so that pixels kept from the target show.
void FillNoise(TBitmap* B, std::uint32_t Seed) {
  const TacPixels P = BitmapPixels(B);
  for (int y = 0; y < P.Height; ++y) {
    Byte* p = P.Row(y);
    for (int i = 0; i < P.Width * P.BytesPerPixel(); ++i) {
      Seed = Seed * 1664525u + 1013904223u;
      p[i] = static_cast<Byte>(Seed >> 24);
    }
  }
}

// A border image of 3 frames of 30 x 40 with a rounded (key-coloured) outer corner pixel set.
std::unique_ptr<TBitmap> BorderImage() {
  std::unique_ptr<TBitmap> B(CreateBmp24(90, 40));
  const TacPixels P = BitmapPixels(B.get());
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 90; ++x) {
      Byte* p = P.Pixel(x, y);
      const int fx = x % 30;
      const bool Key = (fx + y < 3) || (29 - fx + y < 3) || (fx + 39 - y < 3) || (29 - fx + 39 - y < 3);
      p[0] = Key ? 255 : static_cast<Byte>(x * 2);
      p[1] = Key ? 0 : static_cast<Byte>(y * 5);
      p[2] = Key ? 255 : static_cast<Byte>(100 + fx);
    }
  return B;
}

// The sides of the border by the device: BitBlt tiles.
void PeerSides(HDC DC, HDC SrcDC, int fx, int M) {
  const int fw = 30, fh = 40, cw = fw - 2 * M, ch = fh - 2 * M;
  for (int x = M; x < W - M; x += cw) {
    const int w = std::min(cw, W - M - x);
    BitBlt(DC, x, 0, w, M, SrcDC, fx + M, 0, SRCCOPY);
    BitBlt(DC, x, H - M, w, M, SrcDC, fx + M, fh - M, SRCCOPY);
  }
  for (int y = M; y < H - M; y += ch) {
    const int h = std::min(ch, H - M - y);
    BitBlt(DC, 0, y, M, h, SrcDC, fx, M, SRCCOPY);
    BitBlt(DC, W - M, y, M, h, SrcDC, fx + fw - M, M, SRCCOPY);
  }
}

// The four corners of frame fx, each drawn by Corner(X, Y, SX, SY) (M x M pixels).
template <class TCorner>
void PeerCorners(int fx, int M, TCorner&& Corner) {
  const int fw = 30, fh = 40;
  Corner(0, 0, fx, 0);
  Corner(W - M, 0, fx + fw - M, 0);
  Corner(0, H - M, fx, fh - M);
  Corner(W - M, H - M, fx + fw - M, fh - M);
}

// The border by the device, corners keyed by TransparentBlt.
void PeerBorderTransparentBlt(HDC DC, HDC SrcDC, int fx, int M) {
  PeerCorners(fx, M, [&](int X, int Y, int SX, int SY) {
    TransparentBlt(DC, X, Y, M, M, SrcDC, SX, SY, M, M, 0xFF00FF);
  });
  PeerSides(DC, SrcDC, fx, M);
}

// The mask blit's two images of the border image, made once: a monochrome mask (1 on key
// pixels) and a copy with the key pixels black.
class TMaskImages {
 public:
  TMaskImages(TBitmap* Src, int Width, int Height) : FBlack(CreateBmp24(Width, Height)) {
    HDC SrcDC = Src->Canvas()->Handle();
    FMaskDC = CreateCompatibleDC(SrcDC);
    FMask = CreateBitmap(Width, Height, 1, 1, nullptr);
    FOldMask = SelectObject(FMaskDC, FMask);
    // Colour to monochrome: pixels of the source's background colour become 1.
    const COLORREF OldBk = SetBkColor(SrcDC, 0xFF00FF);
    BitBlt(FMaskDC, 0, 0, Width, Height, SrcDC, 0, 0, SRCCOPY);
    SetBkColor(SrcDC, OldBk);
    HDC BlackDC = FBlack->Canvas()->Handle();
    BitBlt(BlackDC, 0, 0, Width, Height, SrcDC, 0, 0, SRCCOPY);
    // Monochrome to colour: 1 becomes the background colour (white), 0 the text colour (black);
    // target AND NOT mask blackens the key pixels.
    SetBkColor(BlackDC, 0xFFFFFF);
    SetTextColor(BlackDC, 0);
    BitBlt(BlackDC, 0, 0, Width, Height, FMaskDC, 0, 0, 0x00220326 /* DSna */);
    GdiFlush();
  }
  ~TMaskImages() {
    SelectObject(FMaskDC, FOldMask);
    DeleteObject(FMask);
    DeleteDC(FMaskDC);
  }
  TMaskImages(const TMaskImages&) = delete;
  TMaskImages& operator=(const TMaskImages&) = delete;

  HDC MaskDC() const { return FMaskDC; }
  HDC BlackDC() const { return FBlack->Canvas()->Handle(); }

 private:
  std::unique_ptr<TBitmap> FBlack;
  HDC FMaskDC = nullptr;
  HBITMAP FMask = nullptr;
  HGDIOBJ FOldMask = nullptr;
};

// The border by the device, corners by the mask blit: the target AND the mask keeps the target
// on key pixels and blackens the rest, then OR with the blackened copy puts the image there.
void PeerBorderMaskBlit(HDC DC, const TMaskImages& Masks, HDC SrcDC, int fx, int M) {
  SetBkColor(DC, 0xFFFFFF);
  SetTextColor(DC, 0);
  PeerCorners(fx, M, [&](int X, int Y, int SX, int SY) {
    BitBlt(DC, X, Y, M, M, Masks.MaskDC(), SX, SY, SRCAND);
    BitBlt(DC, X, Y, M, M, Masks.BlackDC(), SX, SY, SRCPAINT);
  });
  PeerSides(DC, SrcDC, fx, M);
}

}  // namespace

int main() {
  std::printf("Section and border painting on %d x %d bitmaps, best of %d runs taken in turns\n", W, H, Runs);
  TsSkinManager M(nullptr);
  {
    TsMaskData D;
    D.SectionName = "EDIT";
    D.PropertyName = "BORDERSMASK";
    auto Img = BorderImage();
    D.R = Rect(0, 0, 90, 40);
    D.Bmp = TsOwnedBitmap(Img.release());
    D.ImageCount = 3;
    D.WL = D.WT = D.WR = D.WB = 6;
    D.Manager = &M;
    M.Masks().push_back(std::move(D));
    TsGeneralData Flat;
    Flat.SectionName = "FLAT";
    Flat.Color = 0x3080C0;
    M.GeneralData().push_back(std::move(Flat));
    TsGeneralData Half;
    Half.SectionName = "HALF";
    Half.Color = 0x3080C0;
    Half.Transparency = 50;
    M.GeneralData().push_back(std::move(Half));
  }
  const TsMaskData& Border = M.Masks()[0];

  std::unique_ptr<TBitmap> Target(CreateBmp24(W, H)), Bg(CreateBmp24(W, H));
  FillNoise(Target.get(), 1);
  FillNoise(Bg.get(), 2);
  HDC SrcDC = Border.Bmp->Canvas()->Handle();
  // Images for the pixel checks: a copy of the same picture for each side.
  auto Picture = [](std::uint32_t Seed) {
    std::unique_ptr<TBitmap> B(CreateBmp24(W, H));
    FillNoise(B.get(), Seed);
    return B;
  };
  {
    const TMaskImages Masks(Border.Bmp.get(), 90, 40);
    auto Engine = [&](TBitmap* B) { DrawSkinRect(B, Rect(0, 0, W, H), false, TCacheInfo{}, Border, 1, false); };
    auto PeerT = [&](TBitmap* B) { PeerBorderTransparentBlt(B->Canvas()->Handle(), SrcDC, 30, 6); };
    auto PeerM = [&](TBitmap* B) { PeerBorderMaskBlit(B->Canvas()->Handle(), Masks, SrcDC, 30, 6); };
    {
      auto A = Picture(3), T = Picture(3), M = Picture(3);
      Engine(A.get());
      PeerT(T.get());
      PeerM(M.get());
      bench::CheckSamePixels("Border, TransparentBlt peer", A.get(), T.get(), 0);
      bench::CheckSamePixels("Border, mask-blit peer", A.get(), M.get(), 0);
    }
    const auto T = bench::BestInTurns(Runs, 200, {[&] { Engine(Target.get()); }, [&] { PeerT(Target.get()); },
                                                  [&] { PeerM(Target.get()); }});
    Report("Border against TransparentBlt corners", T, 1);
    Report("Border against mask-blit corners", T, 2);
  }
  {
    const char* Name = "Opaque colour section";
    TCacheInfo None;
    None.FillColor = 0xFF00FF;
    HBRUSH Brush = CreateSolidBrush(0x3080C0);
    const RECT All{0, 0, W, H};
    auto Engine = [&](TBitmap* B) {
      PaintSectionToBitmap(0, "FLAT", None, 0, Rect(0, 0, W, H), Point(0, 0), B, &M, -1, -1);
    };
    auto Peer = [&](TBitmap* B) { FillRect(B->Canvas()->Handle(), &All, Brush); };
    {
      auto A = Picture(4), B = Picture(4);
      Engine(A.get());
      Peer(B.get());
      bench::CheckSamePixels(Name, A.get(), B.get(), 0);
    }
    Report(Name, bench::BestInTurns(Runs, 200, {[&] { Engine(Target.get()); }, [&] { Peer(Target.get()); }}));
    DeleteObject(Brush);
  }
  {
    const char* Name = "Half-transparent section over a picture";
    const TCacheInfo CI = MakeCacheInfo(Bg.get(), 0, 0);
    std::unique_ptr<TBitmap> Work(CreateBmp24(W, H));
    HDC WorkDC = Work->Canvas()->Handle(), BgDC = Bg->Canvas()->Handle();
    HBRUSH Brush = CreateSolidBrush(0x3080C0);
    const RECT All{0, 0, W, H};
    auto Engine = [&](TBitmap* B) {
      PaintSectionToBitmap(1, "HALF", CI, 0, Rect(0, 0, W, H), Point(0, 0), B, &M, -1, -1);
    };
    auto Peer = [&](TBitmap* B) {
      HDC D = B->Canvas()->Handle();
      FillRect(WorkDC, &All, Brush);
      BitBlt(D, 0, 0, W, H, BgDC, 0, 0, SRCCOPY);
      BLENDFUNCTION Bf{AC_SRC_OVER, 0, 128, 0};
      AlphaBlend(D, 0, 0, W, H, WorkDC, 0, 0, W, H, Bf);
    };
    {
      // Rounding differs: the engine weighs by 256ths, the system by 255ths.
      auto A = Picture(5), B = Picture(6);
      Engine(A.get());
      Peer(B.get());
      bench::CheckSamePixels(Name, A.get(), B.get(), 2);
    }
    Report(Name, bench::BestInTurns(Runs, 200, {[&] { Engine(Target.get()); }, [&] { Peer(Target.get()); }}));
    DeleteObject(Brush);
  }
  return 0;
}
