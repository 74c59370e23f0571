// Timing and checks for the Win32 benchmarks: the engine and its peers take turns, GDI work is
// flushed, each figure is the best time of one call, and a report line gives the ratio against
// the peer measured in the same run. Before anything is timed, a benchmark checks that the engine
// and the peer give the same pixels; a difference fails the run (exit code 1).
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "skin/core/acPixels.h"

namespace bench {

inline double Seconds() {
  static const LARGE_INTEGER Freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER Now;
  QueryPerformanceCounter(&Now);
  return static_cast<double>(Now.QuadPart) / static_cast<double>(Freq.QuadPart);
}

// The best time of one call of each piece of work over Runs rounds. In every round each piece runs
// Reps calls in turn, so that a change of machine load strikes all of them alike; one warm-up call
// of each comes first.
inline std::vector<double> BestInTurns(int Runs, int Reps, const std::vector<std::function<void()>>& Works) {
  for (const auto& Work : Works) Work();
  GdiFlush();
  std::vector<double> BestTime(Works.size(), 1e30);
  for (int r = 0; r < Runs; ++r)
    for (std::size_t w = 0; w < Works.size(); ++w) {
      const double t0 = Seconds();
      for (int i = 0; i < Reps; ++i) Works[w]();
      GdiFlush();
      BestTime[w] = std::min(BestTime[w], (Seconds() - t0) / Reps);
    }
  return BestTime;
}

// The best time of one call of a single piece of work, for a figure that has no peer; anything
// compared with a peer goes through BestInTurns.
inline double Best(int Runs, int Reps, const std::function<void()>& Work) { return BestInTurns(Runs, Reps, {Work})[0]; }

inline void Report(const char* Name, double Engine, double Peer, const char* PeerName = "peer") {
  std::printf("%-50s engine %8.1f us   %-6s %8.1f us   ratio %.2f\n", Name, Engine * 1e6, PeerName, Peer * 1e6,
              Engine / Peer);
}

// The largest difference of one colour channel (blue, green, red; alpha is not compared) between
// two images of the same size and format.
inline int MaxChannelDifference(TBitmap* A, TBitmap* B) {
  const TacPixels PA = BitmapPixels(A), PB = BitmapPixels(B);
  if (PA.Width != PB.Width || PA.Height != PB.Height || PA.Bits != PB.Bits) return 256;
  const int Bpp = PA.BytesPerPixel();
  int Max = 0;
  for (int y = 0; y < PA.Height; ++y) {
    const Byte* a = PA.Row(y);
    const Byte* b = PB.Row(y);
    for (int x = 0; x < PA.Width; ++x)
      for (int c = 0; c < 3; ++c) Max = std::max(Max, std::abs(a[x * Bpp + c] - b[x * Bpp + c]));
  }
  return Max;
}

// Ends the run when the engine's image differs from the peer's by more than Tolerance in any
// colour channel: a timing of unequal work means nothing.
inline void CheckSamePixels(const char* Name, TBitmap* Engine, TBitmap* Peer, int Tolerance) {
  GdiFlush();
  const int Diff = MaxChannelDifference(Engine, Peer);
  std::printf("%-50s pixels: largest difference %d (allowed %d)\n", Name, Diff, Tolerance);
  if (Diff > Tolerance) {
    std::printf("FAILED: %s: the engine's pixels are not the peer's\n", Name);
    std::fflush(stdout);
    std::exit(1);
  }
}

}  // namespace bench
