// Section and border painting against a straightforward device-context peer on the same bitmaps:
// a nine-slice border (corners with key pixels by TransparentBlt, sides and centre by BitBlt
// tiles), a plain colour fill, and a half-transparent section (fill, background copy and
// AlphaBlend). Prints the time of each (best of several runs) and the ratio engine / peer; below
// 1 the engine is faster.
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

double Best(int Reps, const std::function<void()>& Work) { return bench::Best(Runs, Reps, Work); }

void Report(const char* Name, double Engine, double Peer) { bench::Report(Name, Engine, Peer, "peer"); }

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

// The peer of the border: the same pieces by the device (corners keyed, sides tiled).
void PeerBorder(HDC DC, HDC SrcDC, int fx, int M) {
  const int fw = 30, fh = 40, cw = fw - 2 * M, ch = fh - 2 * M;
  auto Corner = [&](int X, int Y, int SX, int SY) { TransparentBlt(DC, X, Y, M, M, SrcDC, SX, SY, M, M, 0xFF00FF); };
  Corner(0, 0, fx, 0);
  Corner(W - M, 0, fx + fw - M, 0);
  Corner(0, H - M, fx, fh - M);
  Corner(W - M, H - M, fx + fw - M, fh - M);
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

}  // namespace

int main() {
  std::printf("Section and border painting on %d x %d bitmaps, best of %d runs\n", W, H, Runs);
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
  HDC DC = Target->Canvas()->Handle();
  HDC SrcDC = Border.Bmp->Canvas()->Handle();
  {
    const double Engine = Best(200, [&] {
      DrawSkinRect(Target.get(), Rect(0, 0, W, H), false, TCacheInfo{}, Border, 1, false);
    });
    const double Peer = Best(200, [&] { PeerBorder(DC, SrcDC, 30, 6); });
    Report("Border, tiled sides, keyed corners", Engine, Peer);
    // Both give the same pixels.
    std::unique_ptr<TBitmap> A(CreateBmp24(W, H)), B(CreateBmp24(W, H));
    DrawSkinRect(A.get(), Rect(0, 0, W, H), false, TCacheInfo{}, Border, 1, false);
    PeerBorder(B->Canvas()->Handle(), SrcDC, 30, 6);
    GdiFlush();
    const TacPixels PA = BitmapPixels(A.get()), PB = BitmapPixels(B.get());
    for (int y = 0; y < H; ++y)
      if (std::memcmp(PA.Row(y), PB.Row(y), static_cast<std::size_t>(W) * 3) != 0) {
        std::printf("  border pixels differ in row %d\n", y);
        break;
      }
  }
  {
    TCacheInfo None;
    None.FillColor = 0xFF00FF;
    const double Engine = Best(200, [&] {
      PaintSectionToBitmap(0, "FLAT", None, 0, Rect(0, 0, W, H), Point(0, 0), Target.get(), &M, -1, -1);
    });
    HBRUSH Brush = CreateSolidBrush(0x3080C0);
    const RECT All{0, 0, W, H};
    const double Peer = Best(200, [&] { FillRect(DC, &All, Brush); });
    DeleteObject(Brush);
    Report("Opaque colour section", Engine, Peer);
  }
  {
    const TCacheInfo CI = MakeCacheInfo(Bg.get(), 0, 0);
    const double Engine = Best(200, [&] {
      PaintSectionToBitmap(1, "HALF", CI, 0, Rect(0, 0, W, H), Point(0, 0), Target.get(), &M, -1, -1);
    });
    std::unique_ptr<TBitmap> Work(CreateBmp24(W, H));
    HDC WorkDC = Work->Canvas()->Handle(), BgDC = Bg->Canvas()->Handle();
    HBRUSH Brush = CreateSolidBrush(0x3080C0);
    const RECT All{0, 0, W, H};
    const double Peer = Best(200, [&] {
      FillRect(WorkDC, &All, Brush);
      BitBlt(DC, 0, 0, W, H, BgDC, 0, 0, SRCCOPY);
      BLENDFUNCTION Bf{AC_SRC_OVER, 0, 128, 0};
      AlphaBlend(DC, 0, 0, W, H, WorkDC, 0, 0, W, H, Bf);
    });
    DeleteObject(Brush);
    Report("Half-transparent section over a picture", Engine, Peer);
  }
  return 0;
}
