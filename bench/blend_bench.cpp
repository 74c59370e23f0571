// The engine's blends and gradient bands against the system's AlphaBlend and GradientFill on the
// same bitmaps. Prints the time of each (best of several runs, the two taking turns) and the ratio
// engine / system; below 1 the engine is faster.
//
// Both sides produce the same pixels, and the benchmark checks it before timing (a difference
// beyond rounding ends the run with exit code 1). The engine blends straight alpha (a pixel's
// colour is its full colour, alpha says how much of it covers the target) while the system's
// per-pixel AlphaBlend takes premultiplied pixels (the colour already scaled by alpha): so the
// engine is given the straight image and the system the same image premultiplied, which is how
// each would be fed in a program, and the conversion is not timed.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "BenchWinTiming.h"
#include "skin/core/acPixels.h"
#include "skin/core/sGradient.h"

namespace {

constexpr int W = 512, H = 512;
constexpr int Runs = 9;

// Rounding differs: the engine weighs by 256ths, the system by 255ths.
constexpr int BlendTolerance = 2;
// The engine's bands run from the first colour on the first row (column) to the second colour on
// the last; the system's reach the second colour one step past the last.
constexpr int GradientTolerance = 2;

void Report(const char* Name, const std::vector<double>& T) { bench::Report(Name, T[0], T[1], "system"); }

std::unique_ptr<TBitmap> NewBitmap(TPixelFormat Format) {
  return std::unique_ptr<TBitmap>(Format == pf32bit ? CreateBmp32(W, H) : CreateBmp24(W, H));
}

// Noise in every byte; a 32-bit image's alpha is noise too (straight alpha).
std::unique_ptr<TBitmap> Noise(TPixelFormat Format, std::uint32_t Seed) {
  auto B = NewBitmap(Format);
  const TacPixels P = BitmapPixels(B.get());
  for (int y = 0; y < H; ++y) {
    Byte* p = P.Row(y);
    for (int i = 0; i < W * P.BytesPerPixel(); ++i) {
      Seed = Seed * 1664525u + 1013904223u;
      p[i] = static_cast<Byte>(Seed >> 24);
    }
  }
  return B;
}

std::unique_ptr<TBitmap> Copy(TBitmap* Src) {
  auto B = NewBitmap(Src->PixelFormat());
  const TacPixels S = BitmapPixels(Src), D = BitmapPixels(B.get());
  for (int y = 0; y < H; ++y) std::memcpy(D.Row(y), S.Row(y), static_cast<std::size_t>(W) * S.BytesPerPixel());
  return B;
}

// The same image with each colour scaled by its alpha, as the system's per-pixel blend wants it.
std::unique_ptr<TBitmap> Premultiplied(TBitmap* Straight) {
  auto B = Copy(Straight);
  const TacPixels P = BitmapPixels(B.get());
  for (int y = 0; y < H; ++y) {
    Byte* p = P.Row(y);
    for (int x = 0; x < W; ++x, p += 4)
      for (int k = 0; k < 3; ++k) p[k] = static_cast<Byte>((p[k] * p[3] + 127) / 255);
  }
  return B;
}

void SystemBlend(TBitmap* Dst, TBitmap* Src, Byte Constant, bool PerPixel) {
  BLENDFUNCTION Bf{AC_SRC_OVER, 0, Constant, static_cast<BYTE>(PerPixel ? AC_SRC_ALPHA : 0)};
  AlphaBlend(Dst->Canvas()->Handle(), 0, 0, W, H, Src->Canvas()->Handle(), 0, 0, W, H, Bf);
}

// The gradient of both sides: red to a light blue (RGB 64, 64, 255).
constexpr TColor From = 0x0000FF, To = 0xFF4040;

void SystemGradient(TBitmap* Dst, ULONG Mode) {
  TRIVERTEX V[2] = {{0, 0, 0xFF00, 0, 0, 0xFF00}, {W, H, 0x4000, 0x4000, 0xFF00, 0xFF00}};
  GRADIENT_RECT R{0, 1};
  if (!GradientFill(Dst->Canvas()->Handle(), V, 2, &R, 1, Mode)) std::printf("GradientFill failed\n");
}

}  // namespace

int main() {
  std::printf("Blends and gradients on %d x %d bitmaps, best of %d runs taken in turns\n", W, H, Runs);
  for (TPixelFormat F : {pf24bit, pf32bit}) {
    const char* Name = F == pf24bit ? "BlendBitmapRect 24-bit, constant weight" : "BlendBitmapRect 32-bit, constant weight";
    auto Dst = Noise(F, 1), Src = Noise(F, 2);
    // The engine's weight 128 keeps 128/256 of the target; the system's constant alpha 127 is the
    // source's share in 255ths.
    auto Engine = [&](TBitmap* D) { BlendBitmapRect(D, Src.get(), 128, Rect(0, 0, W, H), Point(0, 0)); };
    auto System = [&](TBitmap* D) { SystemBlend(D, Src.get(), 127, false); };
    {
      auto A = Copy(Dst.get()), B = Copy(Dst.get());
      Engine(A.get());
      System(B.get());
      bench::CheckSamePixels(Name, A.get(), B.get(), BlendTolerance);
    }
    Report(Name, bench::BestInTurns(Runs, 20, {[&] { Engine(Dst.get()); }, [&] { System(Dst.get()); }}));
  }
  {
    const char* Name = "BlendAlphaBitmap 32-bit onto 24-bit, per pixel";
    auto Dst = Noise(pf24bit, 3), Straight = Noise(pf32bit, 4);
    auto Premul = Premultiplied(Straight.get());
    const TCacheInfo None{};
    auto Engine = [&](TBitmap* D) {
      BlendAlphaBitmap(Rect(0, 0, W, H), Rect(0, 0, W, H), D, Straight.get(), None, false, clNone, 0, false);
    };
    auto System = [&](TBitmap* D) { SystemBlend(D, Premul.get(), 255, true); };
    {
      auto A = Copy(Dst.get()), B = Copy(Dst.get());
      Engine(A.get());
      System(B.get());
      bench::CheckSamePixels(Name, A.get(), B.get(), BlendTolerance);
    }
    Report(Name, bench::BestInTurns(Runs, 20, {[&] { Engine(Dst.get()); }, [&] { System(Dst.get()); }}));
  }
  for (TPixelFormat F : {pf24bit, pf32bit}) {
    const bool Is24 = F == pf24bit;
    TsGradArray Rows, Columns;
    ParseGradientData(Format("%d;%d;100;0;0", static_cast<int>(From), static_cast<int>(To)), Rows);
    ParseGradientData(Format("%d;%d;100;1;0", static_cast<int>(From), static_cast<int>(To)), Columns);
    struct TCase {
      const char* Name;
      const TsGradArray* Stops;
      ULONG Mode;
    };
    const TCase Cases[2] = {
        {Is24 ? "Gradient mode 0 (rows), 24-bit" : "Gradient mode 0 (rows), 32-bit", &Rows, GRADIENT_FILL_RECT_V},
        {Is24 ? "Gradient mode 1 (columns), 24-bit" : "Gradient mode 1 (columns), 32-bit", &Columns,
         GRADIENT_FILL_RECT_H}};
    for (const TCase& C : Cases) {
      auto Dst = NewBitmap(F);
      auto Engine = [&](TBitmap* D) { PaintGradient(D, Rect(0, 0, W, H), *C.Stops, 0, 0); };
      auto System = [&](TBitmap* D) { SystemGradient(D, C.Mode); };
      {
        auto A = NewBitmap(F), B = NewBitmap(F);
        Engine(A.get());
        System(B.get());
        bench::CheckSamePixels(C.Name, A.get(), B.get(), GradientTolerance);
      }
      Report(C.Name, bench::BestInTurns(Runs, 20, {[&] { Engine(Dst.get()); }, [&] { System(Dst.get()); }}));
    }
  }
  return 0;
}
