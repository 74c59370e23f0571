// JPEG data streams made for the tests with libjpeg's compressor (defined in jpeg_test.cpp, which
// every framework test executable holds), and the test pattern they encode. This header stays
// free of libjpeg's headers so that Win32 test sources can use it.
#pragma once

#include <cstddef>
#include <vector>

#include "framework/Types.h"

namespace jpegtest {

struct TSample {
  int Width = 16;
  int Height = 16;
  // 1: grey; 3: R, G, B; 4: C, M, Y, K ink (0 = none, 255 = full).
  int Components = 3;
  int Quality = 95;
  bool Progressive = false;
  bool Subsampled = false;   // colour: chroma at half resolution both ways
  int RestartRows = 0;       // a restart marker every so many MCU rows
  bool Arithmetic = false;
  bool AdobeInverted = true;  // four components: Adobe marker and inverted samples
  // Components bytes per pixel, top row first; empty: Pattern(Width, Height, Components).
  std::vector<Byte> Pixels;
};

// A smooth pattern that tells rows, columns and channels apart: for colour R rises to the right,
// G downwards and B falls along the diagonal; grey is their mean; ink is a gentle mix.
std::vector<Byte> Pattern(int Width, int Height, int Components);

// The data stream of a sample.
std::vector<Byte> Encode(const TSample& Sample);

// The markers of a data stream in order (restart markers inside scan data are not listed): the
// offset of each marker's 0xFF byte and its code (0xD8 SOI, 0xC0 SOF0, 0xC2 SOF2, 0xDA SOS,
// 0xD9 EOI ...). Stops at bytes that are not a marker where one should be.
struct TMarker {
  std::size_t Offset;
  Byte Code;
};
std::vector<TMarker> Markers(const std::vector<Byte>& Data);
// The offset of the N-th marker (from 1) with the code; npos when there is none.
inline constexpr std::size_t npos = static_cast<std::size_t>(-1);
std::size_t FindMarker(const std::vector<Byte>& Data, Byte Code, int N = 1);

}  // namespace jpegtest
