// The engine's blends and gradient bands against the system's AlphaBlend and GradientFill on the
// same bitmaps. Prints the time of each (best of several runs) and the ratio engine / system;
// below 1 the engine is faster.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>

#include "BenchWinTiming.h"
#include "skin/core/acPixels.h"
#include "skin/core/sGradient.h"

namespace {

constexpr int W = 512, H = 512;
constexpr int Runs = 9;

double Best(int Reps, const std::function<void()>& Work) { return bench::Best(Runs, Reps, Work); }

void Report(const char* Name, double Engine, double Peer) { bench::Report(Name, Engine, Peer, "system"); }

std::unique_ptr<TBitmap> Noise(TPixelFormat Format, bool Alpha) {
  std::unique_ptr<TBitmap> B(Format == pf32bit ? CreateBmp32(W, H) : CreateBmp24(W, H));
  const TacPixels P = BitmapPixels(B.get());
  std::uint32_t Seed = 12345;
  for (int y = 0; y < H; ++y) {
    Byte* p = P.Row(y);
    for (int i = 0; i < W * P.BytesPerPixel(); ++i) {
      Seed = Seed * 1664525u + 1013904223u;
      p[i] = static_cast<Byte>(Seed >> 24);
    }
    if (Alpha)  // premultiplied, so that the system's per-pixel blend sees valid pixels too
      for (int x = 0; x < W; ++x) {
        Byte* q = p + 4 * x;
        for (int k = 0; k < 3; ++k) q[k] = static_cast<Byte>(q[k] * q[3] / 255);
      }
  }
  return B;
}

void SystemBlend(TBitmap* Dst, TBitmap* Src, Byte Constant, bool PerPixel) {
  BLENDFUNCTION Bf{AC_SRC_OVER, 0, Constant, static_cast<BYTE>(PerPixel ? AC_SRC_ALPHA : 0)};
  AlphaBlend(Dst->Canvas()->Handle(), 0, 0, W, H, Src->Canvas()->Handle(), 0, 0, W, H, Bf);
}

void SystemGradient(TBitmap* Dst, ULONG Mode) {
  TRIVERTEX V[2] = {{0, 0, 0xFF00, 0x8000, 0, 0}, {W, H, 0, 0x4000, 0xFF00, 0}};
  GRADIENT_RECT R{0, 1};
  if (!GradientFill(Dst->Canvas()->Handle(), V, 2, &R, 1, Mode)) std::printf("GradientFill failed\n");
}

}  // namespace

int main() {
  std::printf("Blends and gradients on %d x %d bitmaps, best of %d runs\n", W, H, Runs);
  for (TPixelFormat F : {pf24bit, pf32bit}) {
    auto Dst = Noise(F, false), Src = Noise(F, false);
    const double Engine = Best(20, [&] { BlendBitmapRect(Dst.get(), Src.get(), 128, Rect(0, 0, W, H), Point(0, 0)); });
    // The engine's weight 128 keeps 128/256 of the target; the system's constant alpha is the
    // source's share.
    const double System = Best(20, [&] { SystemBlend(Dst.get(), Src.get(), 127, false); });
    Report(F == pf24bit ? "BlendBitmapRect 24-bit, constant weight" : "BlendBitmapRect 32-bit, constant weight",
           Engine, System);
  }
  {
    auto Dst = Noise(pf24bit, false), Src = Noise(pf32bit, true);
    const TCacheInfo None{};
    const double Engine = Best(20, [&] {
      BlendAlphaBitmap(Rect(0, 0, W, H), Rect(0, 0, W, H), Dst.get(), Src.get(), None, false, clNone, 0, false);
    });
    const double System = Best(20, [&] { SystemBlend(Dst.get(), Src.get(), 255, true); });
    Report("BlendAlphaBitmap 32-bit onto 24-bit, per pixel", Engine, System);
  }
  for (TPixelFormat F : {pf24bit, pf32bit}) {
    auto Dst = Noise(F, false);
    TsGradArray Rows, Columns;
    ParseGradientData("255;16728128;100;0;0", Rows);
    ParseGradientData("255;16728128;100;1;0", Columns);
    const double E0 = Best(20, [&] { PaintGradient(Dst.get(), Rect(0, 0, W, H), Rows, 0, 0); });
    const double S0 = Best(20, [&] { SystemGradient(Dst.get(), GRADIENT_FILL_RECT_V); });
    const double E1 = Best(20, [&] { PaintGradient(Dst.get(), Rect(0, 0, W, H), Columns, 0, 0); });
    const double S1 = Best(20, [&] { SystemGradient(Dst.get(), GRADIENT_FILL_RECT_H); });
    Report(F == pf24bit ? "Gradient mode 0 (rows), 24-bit" : "Gradient mode 0 (rows), 32-bit", E0, S0);
    Report(F == pf24bit ? "Gradient mode 1 (columns), 24-bit" : "Gradient mode 1 (columns), 32-bit", E1, S1);
  }
  return 0;
}
