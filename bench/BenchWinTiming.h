// Timing for the Win32 benchmarks: the best time of one call over several runs, GDI work
// flushed, and one report line with the ratio against the peer measured in the same run.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>

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

// The best time of one call over Runs runs of Reps calls each (after one warm-up call).
inline double Best(int Runs, int Reps, const std::function<void()>& Work) {
  Work();
  double BestTime = 1e30;
  for (int r = 0; r < Runs; ++r) {
    const double t0 = Seconds();
    for (int i = 0; i < Reps; ++i) Work();
    GdiFlush();
    BestTime = std::min(BestTime, (Seconds() - t0) / Reps);
  }
  return BestTime;
}

inline void Report(const char* Name, double Engine, double Peer, const char* PeerName = "peer") {
  std::printf("%-46s engine %8.1f us   %s %8.1f us   ratio %.2f\n", Name, Engine * 1e6, PeerName, Peer * 1e6,
              Engine / Peer);
}

}  // namespace bench
