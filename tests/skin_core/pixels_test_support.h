// Test support for the pixel loops: images in plain memory, stored top-down or bottom-up, with
// padding bytes after every row that must never be written.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "skin/core/acPixels.h"

namespace pixtest {

using BGRA = std::array<int, 4>;

class Image {
 public:
  // Pixels start as Fill in every byte; the padding holds a guard pattern.
  Image(int W, int H, int Bits, bool BottomUp = true, Byte Fill = 0)
      : W_(W), H_(H), Bpp_(Bits / 8), Stride_(((W * Bits + 31) / 32) * 4 + 4), BottomUp_(BottomUp),
        Data_(static_cast<std::size_t>(Stride_) * H, Guard) {
    for (int y = 0; y < H; ++y)
      for (int i = 0; i < W * Bpp_; ++i) Row(y)[i] = Fill;
  }

  TacPixels View() {
    if (H_ == 0) return TacPixels(Data_.data(), Stride_, W_, H_, Bpp_ * 8);
    return TacPixels(Row(0), BottomUp_ ? -Stride_ : Stride_, W_, H_, Bpp_ * 8);
  }
  int Width() const { return W_; }
  int Height() const { return H_; }

  Byte* Row(int Y) { return Data_.data() + static_cast<std::size_t>(BottomUp_ ? H_ - 1 - Y : Y) * Stride_; }
  Byte* At(int X, int Y) { return Row(Y) + X * Bpp_; }

  void Set(int X, int Y, int B, int G, int R, int A = 255) {
    Byte* p = At(X, Y);
    p[0] = static_cast<Byte>(B);
    p[1] = static_cast<Byte>(G);
    p[2] = static_cast<Byte>(R);
    if (Bpp_ == 4) p[3] = static_cast<Byte>(A);
  }
  void SetAll(int B, int G, int R, int A = 255) {
    for (int y = 0; y < H_; ++y)
      for (int x = 0; x < W_; ++x) Set(x, y, B, G, R, A);
  }
  void SetGray(int X, int Y, int V) { *At(X, Y) = static_cast<Byte>(V); }
  // Blue, green, red and alpha (alpha -1 for 24-bit pixels, the value for 8-bit ones in [0]).
  BGRA Get(int X, int Y) {
    const Byte* p = At(X, Y);
    if (Bpp_ == 1) return {p[0], -1, -1, -1};
    return {p[0], p[1], p[2], Bpp_ == 4 ? p[3] : -1};
  }
  // No byte outside the pixels was written.
  bool PaddingIntact() {
    for (int y = 0; y < H_; ++y)
      for (std::ptrdiff_t i = W_ * Bpp_; i < Stride_; ++i)
        if (Row(y)[i] != Guard) return false;
    return true;
  }
  std::vector<Byte> Pixels() {
    std::vector<Byte> v;
    for (int y = 0; y < H_; ++y) v.insert(v.end(), Row(y), Row(y) + W_ * Bpp_);
    return v;
  }

 private:
  static constexpr Byte Guard = 0xA5;
  int W_, H_, Bpp_;
  std::ptrdiff_t Stride_;
  bool BottomUp_;
  std::vector<Byte> Data_;
};

inline BGRA Px24(int B, int G, int R) { return {B, G, R, -1}; }
inline BGRA Px32(int B, int G, int R, int A) { return {B, G, R, A}; }

// The blends of a byte weight, as formulas independent of the code under test.
inline int SumByte(int S, int D, int A) { return (S * (255 - A) + D * A + 127) >> 8; }
inline int AlphaMix(int S, int D, int A) { return ((S - D) * A + D * 256) >> 8; }

}  // namespace pixtest
