// Test support for the PNG reader: random images of every PNG colour type and depth, a small PNG
// writer (zlib deflate, CRC, the five row filters chosen per row, Adam7) and the colours a decoded
// image must show, computed straight from the samples.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "skin/core/acPNG.h"

namespace pngtest {

using Bytes = std::vector<Byte>;

// An image as a PNG file describes it: raw samples, row-major, Channels() per pixel.
struct Image {
  int Width = 1;
  int Height = 1;
  int ColorType = 2;
  int Depth = 8;
  bool Interlaced = false;
  std::vector<std::uint16_t> Samples;
  Bytes Palette;                     // PLTE body
  std::vector<std::uint16_t> Trns;   // grey: 1 value, RGB: 3 values
  Bytes PaletteAlpha;                // indexed: the tRNS body, one alpha for each palette entry
  std::uint32_t Gamma = 0;           // gAMA value (gamma x 100000), 0 for none

  int Channels() const {
    switch (ColorType) {
      case 2: return 3;
      case 4: return 2;
      case 6: return 4;
      default: return 1;
    }
  }
  std::uint16_t At(int X, int Y, int C) const { return Samples[(static_cast<std::size_t>(Y) * Width + X) * Channels() + C]; }
  std::uint16_t& At(int X, int Y, int C) { return Samples[(static_cast<std::size_t>(Y) * Width + X) * Channels() + C]; }
};

inline Image RandomImage(int W, int H, int ColorType, int Depth, std::uint32_t Seed) {
  Image im;
  im.Width = W;
  im.Height = H;
  im.ColorType = ColorType;
  im.Depth = Depth;
  std::mt19937 rng(Seed);
  const std::uint32_t Max = (Depth == 16) ? 0xFFFF : (1u << Depth) - 1;
  im.Samples.resize(static_cast<std::size_t>(W) * H * im.Channels());
  for (std::size_t i = 0; i < im.Samples.size(); ++i) {
    // Smooth ramps mixed with noise, so every filter has something to predict.
    const std::uint32_t v = (rng() % 4 == 0) ? rng() : static_cast<std::uint32_t>(i * 37);
    im.Samples[i] = static_cast<std::uint16_t>(v & Max);
  }
  if (ColorType == 3) {
    const int Entries = 1 << Depth;
    for (int i = 0; i < Entries * 3; ++i) im.Palette.push_back(static_cast<Byte>(rng()));
  }
  return im;
}

inline void PutBE32(Bytes& Out, std::uint32_t V) {
  Out.push_back(static_cast<Byte>(V >> 24));
  Out.push_back(static_cast<Byte>(V >> 16));
  Out.push_back(static_cast<Byte>(V >> 8));
  Out.push_back(static_cast<Byte>(V));
}

inline Bytes Chunk(const std::string& Type, const Bytes& Data) {
  Bytes Out;
  Out.reserve(12 + Data.size());
  PutBE32(Out, static_cast<std::uint32_t>(Data.size()));
  Out.insert(Out.end(), Type.begin(), Type.end());
  Out.insert(Out.end(), Data.begin(), Data.end());
  std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Byte*>(Type.data()), 4));
  if (!Data.empty()) crc = static_cast<std::uint32_t>(crc32(crc, Data.data(), static_cast<uInt>(Data.size())));
  PutBE32(Out, crc);
  return Out;
}

inline Bytes Signature() { return Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}; }

inline Bytes IHDRData(std::uint32_t W, std::uint32_t H, int Depth, int ColorType, int Interlace,
                      int Compression = 0, int Filter = 0) {
  Bytes d;
  PutBE32(d, W);
  PutBE32(d, H);
  d.push_back(static_cast<Byte>(Depth));
  d.push_back(static_cast<Byte>(ColorType));
  d.push_back(static_cast<Byte>(Compression));
  d.push_back(static_cast<Byte>(Filter));
  d.push_back(static_cast<Byte>(Interlace));
  return d;
}

// Packs one row of pixels (columns X0, X0 + Step, ...) of row Y into PNG sample bytes.
inline Bytes PackRow(const Image& im, int Y, int X0, int Step) {
  Bytes Row;
  const int ch = im.Channels();
  if (im.Depth < 8) {
    int Bit = 0;
    Byte Acc = 0;
    for (int x = X0; x < im.Width; x += Step) {
      Acc = static_cast<Byte>(Acc | (im.At(x, Y, 0) << (8 - im.Depth - Bit)));
      Bit += im.Depth;
      if (Bit == 8) {
        Row.push_back(Acc);
        Acc = 0;
        Bit = 0;
      }
    }
    if (Bit) Row.push_back(Acc);
  } else {
    for (int x = X0; x < im.Width; x += Step)
      for (int c = 0; c < ch; ++c) {
        const std::uint16_t v = im.At(x, Y, c);
        if (im.Depth == 16) Row.push_back(static_cast<Byte>(v >> 8));
        Row.push_back(static_cast<Byte>(v));
      }
  }
  return Row;
}

inline int FilterBpp(const Image& im) { return std::max(1, im.Channels() * im.Depth / 8); }

inline Byte PaethPredictor(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return static_cast<Byte>((pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c));
}

// Appends Row filtered with Filter (0-4) to Out, with its filter byte.
inline void FilterRow(Bytes& Out, int Filter, const Bytes& Row, const Bytes& Prev, int Bpp) {
  Out.push_back(static_cast<Byte>(Filter));
  for (std::size_t i = 0; i < Row.size(); ++i) {
    const int a = i >= static_cast<std::size_t>(Bpp) ? Row[i - Bpp] : 0;
    const int b = Prev.empty() ? 0 : Prev[i];
    const int c = (i >= static_cast<std::size_t>(Bpp) && !Prev.empty()) ? Prev[i - Bpp] : 0;
    int pred = 0;
    switch (Filter) {
      case 1: pred = a; break;
      case 2: pred = b; break;
      case 3: pred = (a + b) / 2; break;
      case 4: pred = PaethPredictor(a, b, c); break;
      default: break;
    }
    Out.push_back(static_cast<Byte>(Row[i] - pred));
  }
}

// The filtered image data (before deflate). Row n of the file uses filter (n + FilterShift) mod 5.
inline Bytes FilteredData(const Image& im, int FilterShift = 0) {
  static const int RS[7] = {0, 0, 4, 0, 2, 0, 1}, CS[7] = {0, 4, 0, 2, 0, 1, 0};
  static const int RD[7] = {8, 8, 8, 4, 4, 2, 2}, CD[7] = {8, 8, 4, 4, 2, 2, 1};
  Bytes Out;
  int n = FilterShift;
  const int Passes = im.Interlaced ? 7 : 1;
  for (int p = 0; p < Passes; ++p) {
    const int r0 = im.Interlaced ? RS[p] : 0, c0 = im.Interlaced ? CS[p] : 0;
    const int rd = im.Interlaced ? RD[p] : 1, cd = im.Interlaced ? CD[p] : 1;
    if (im.Width <= c0) continue;
    Bytes Prev;
    for (int y = r0; y < im.Height; y += rd) {
      Bytes Row = PackRow(im, y, c0, cd);
      if (Prev.empty()) Prev.assign(Row.size(), 0);
      FilterRow(Out, n++ % 5, Row, Prev, FilterBpp(im));
      Prev = Row;
    }
  }
  return Out;
}

inline Bytes Deflate(const Bytes& Raw, int Level = 6) {
  uLongf Size = compressBound(static_cast<uLong>(Raw.size()));
  Bytes Out(Size);
  compress2(Out.data(), &Size, Raw.data(), static_cast<uLong>(Raw.size()), Level);
  Out.resize(Size);
  return Out;
}

struct WriteOptions {
  std::size_t IDATSplit = 0;     // bytes per IDAT chunk; 0 for one chunk
  bool EmptyIDATFirst = false;   // a zero-length IDAT before the data
  bool GammaBeforePalette = true;
  int FilterShift = 0;
};

inline Bytes IDATChunks(const Bytes& Z, const WriteOptions& O) {
  Bytes Out;
  if (O.EmptyIDATFirst) {
    Bytes c = Chunk("IDAT", {});
    Out.insert(Out.end(), c.begin(), c.end());
  }
  const std::size_t Split = O.IDATSplit ? O.IDATSplit : Z.size();
  for (std::size_t i = 0; i < Z.size(); i += Split) {
    Bytes c = Chunk("IDAT", Bytes(Z.begin() + i, Z.begin() + std::min(Z.size(), i + Split)));
    Out.insert(Out.end(), c.begin(), c.end());
  }
  return Out;
}

inline void Append(Bytes& Out, const Bytes& More) { Out.insert(Out.end(), More.begin(), More.end()); }

// A whole PNG file for the image.
inline Bytes Encode(const Image& im, const WriteOptions& O = {}) {
  Bytes Out = Signature();
  Append(Out, Chunk("IHDR", IHDRData(im.Width, im.Height, im.Depth, im.ColorType, im.Interlaced ? 1 : 0)));
  Bytes Gamma;
  if (im.Gamma) {
    PutBE32(Gamma, im.Gamma);
    if (O.GammaBeforePalette) Append(Out, Chunk("gAMA", Gamma));
  }
  if (!im.Palette.empty()) Append(Out, Chunk("PLTE", im.Palette));
  if (im.Gamma && !O.GammaBeforePalette) Append(Out, Chunk("gAMA", Gamma));
  if (!im.Trns.empty()) {
    Bytes t;
    for (std::uint16_t v : im.Trns) {
      t.push_back(static_cast<Byte>(v >> 8));
      t.push_back(static_cast<Byte>(v));
    }
    Append(Out, Chunk("tRNS", t));
  }
  if (!im.PaletteAlpha.empty()) Append(Out, Chunk("tRNS", im.PaletteAlpha));
  Append(Out, IDATChunks(Deflate(FilteredData(im, O.FilterShift)), O));
  Append(Out, Chunk("IEND", {}));
  return Out;
}

struct RGBA {
  int R = 0, G = 0, B = 0, A = 255;
  friend bool operator==(const RGBA&, const RGBA&) = default;
};

inline std::vector<Byte> GammaTableFor(std::uint32_t GammaValue) {
  std::vector<Byte> T(256);
  const float g = static_cast<float>(GammaValue / 100000.0);
  const double e = 1.0 / (static_cast<double>(g > 0 ? g : 1.0f) * static_cast<double>(2.2f));
  for (int i = 0; i < 256; ++i) T[i] = static_cast<Byte>(std::nearbyint(std::pow(i / 255.0, e) * 255));
  return T;
}

// The colour the decoded bitmap must show at (X, Y): samples reduced to 8 bits (v x 255 div
// 65535 for 16-bit samples, v x 255 / max for grey below 8 bits), through the gamma table when
// the image has gAMA; alpha is kept only for RGB with alpha.
inline RGBA ExpectedColor(const Image& im, int X, int Y) {
  std::vector<Byte> G(256);
  for (int i = 0; i < 256; ++i) G[i] = static_cast<Byte>(i);
  if (im.Gamma) G = GammaTableFor(im.Gamma);
  auto To8 = [&](std::uint16_t v) -> int { return im.Depth == 16 ? v * 255 / 65535 : v; };
  RGBA c;
  switch (im.ColorType) {
    case 0: {
      const int v = im.Depth < 8 ? im.At(X, Y, 0) * 255 / ((1 << im.Depth) - 1) : To8(im.At(X, Y, 0));
      c.R = c.G = c.B = G[v];
      break;
    }
    case 2:
      c.R = G[To8(im.At(X, Y, 0))];
      c.G = G[To8(im.At(X, Y, 1))];
      c.B = G[To8(im.At(X, Y, 2))];
      break;
    case 3: {
      const int i = im.At(X, Y, 0);
      c.R = G[im.Palette[3 * i]];
      c.G = G[im.Palette[3 * i + 1]];
      c.B = G[im.Palette[3 * i + 2]];
      break;
    }
    case 4:
      c.R = c.G = c.B = G[To8(im.At(X, Y, 0))];
      break;
    case 6:
      c.R = G[To8(im.At(X, Y, 0))];
      c.G = G[To8(im.At(X, Y, 1))];
      c.B = G[To8(im.At(X, Y, 2))];
      c.A = To8(im.At(X, Y, 3));
      break;
  }
  return c;
}

// The colour of a decoded pixel: palette formats through the layout's palette.
inline RGBA PixelColor(const TPNGPixelBuffer& Buf, int X, int Y) {
  const Byte* Row = Buf.Row(Y);
  RGBA c;
  auto FromIndex = [&](unsigned i) {
    if (i < Buf.Layout.Palette.size()) {
      c.R = Buf.Layout.Palette[i].R;
      c.G = Buf.Layout.Palette[i].G;
      c.B = Buf.Layout.Palette[i].B;
    } else {
      c.R = c.G = c.B = -1;  // outside the palette
    }
  };
  switch (Buf.Layout.PixelFormat) {
    case TacPixelFormat::Bits1: FromIndex((Row[X / 8] >> (7 - X % 8)) & 1); break;
    case TacPixelFormat::Bits4: FromIndex((Row[X / 2] >> (X % 2 ? 0 : 4)) & 15); break;
    case TacPixelFormat::Bits8: FromIndex(Row[X]); break;
    case TacPixelFormat::Bits24: c = RGBA{Row[3 * X + 2], Row[3 * X + 1], Row[3 * X], 255}; break;
    case TacPixelFormat::Bits32: c = RGBA{Row[4 * X + 2], Row[4 * X + 1], Row[4 * X], Row[4 * X + 3]}; break;
    default: c.R = -2; break;
  }
  return c;
}

// Decodes Data with a fresh reader into a memory image.
inline TPNGPixelBuffer Decode(const Bytes& Data, TPNGReader* Reader = nullptr) {
  TPNGReader Own;
  TPNGReader& R = Reader ? *Reader : Own;
  TReadOnlyMemoryStream S(Data.data(), static_cast<std::int64_t>(Data.size()));
  TPNGPixelBuffer Buf;
  R.Load(S, Buf);
  return Buf;
}

// The first pixel whose decoded colour differs from the expected one, as text; empty when all match.
inline std::string FirstMismatch(const Image& im, const TPNGPixelBuffer& Buf) {
  if (Buf.Layout.Width != im.Width || Buf.Layout.Height != im.Height) return "size differs";
  for (int y = 0; y < im.Height; ++y)
    for (int x = 0; x < im.Width; ++x) {
      const RGBA e = ExpectedColor(im, x, y), g = PixelColor(Buf, x, y);
      if (!(e == g)) {
        char s[160];
        std::snprintf(s, sizeof s, "pixel (%d,%d): expected %d,%d,%d,%d got %d,%d,%d,%d", x, y, e.R, e.G, e.B, e.A,
                      g.R, g.G, g.B, g.A);
        return s;
      }
    }
  return "";
}

// Every legal (colour type, depth) pair.
struct Kind {
  int ColorType;
  int Depth;
};
inline std::vector<Kind> AllKinds() {
  return {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1}, {3, 2},
          {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
}

}  // namespace pngtest
