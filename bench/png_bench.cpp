// The skin engine's PNG reader (its image data inflated in one call by libdeflate) against the
// host's reference PNG library (zlib's streaming inflate): a 1024x768 RGB image, a 512x512 RGBA image, an Adam7-interlaced one, palette images plain and
// interlaced, an interlaced grey image, a thousand 16x16 RGBA icons without and with a gamma of
// 0.45455 (what most encoders write), and a thousand interlaced 32x32 grey and palette icons.
// Each figure is the ratio of the best times of 15 runs taken in turns (ours / the reference);
// below 1 means ours is faster. Both sides produce the same pixels: blue, green, red
// (and alpha) bytes for colour images, palette indexes for the palette image.
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "framework/Streams.h"
#include "skin/core/acPNG.h"

namespace {

using Bytes = std::vector<Byte>;

struct Io {
  const Bytes* In = nullptr;
  std::size_t Pos = 0;
  Bytes Out;
};

void ReadFn(png_structp P, png_bytep Data, png_size_t N) {
  auto* io = static_cast<Io*>(png_get_io_ptr(P));
  if (io->Pos + N > io->In->size()) png_error(P, "end of data");
  std::memcpy(Data, io->In->data() + io->Pos, N);
  io->Pos += N;
}
void WriteFn(png_structp P, png_bytep Data, png_size_t N) {
  auto* io = static_cast<Io*>(png_get_io_ptr(P));
  io->Out.insert(io->Out.end(), Data, Data + N);
}
void FlushFn(png_structp) {}

// Photograph-like content: smooth gradients, soft shapes and a little noise, so that the encoder's
// filter choice and the compression ratio resemble those of real skin images.
Bytes MakePixels(int W, int H, int Channels, std::uint32_t Seed) {
  std::mt19937 rng(Seed);
  Bytes P(static_cast<std::size_t>(W) * H * Channels);
  const double cx = W * 0.6, cy = H * 0.4;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const double d = std::hypot(x - cx, y - cy) / (W * 0.5);
      for (int c = 0; c < Channels; ++c) {
        double v;
        if (c == 3)
          v = d < 0.6 ? 255 : std::max(0.0, 255 - (d - 0.6) * 900);
        else
          v = 128 + 100 * std::sin(x * (0.011 + 0.004 * c) + y * 0.007) * std::cos(d * 3 + c) + (rng() % 9);
        P[(static_cast<std::size_t>(y) * W + x) * Channels + c] = static_cast<Byte>(std::clamp(v, 0.0, 255.0));
      }
    }
  return P;
}

// Gamma 0 writes no gAMA chunk.
Bytes Encode(int W, int H, int ColorType, const Bytes& Pixels, bool Interlaced, double Gamma = 0) {
  Io io;
  png_structp P = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop Info = png_create_info_struct(P);
  if (setjmp(png_jmpbuf(P))) std::abort();
  png_set_write_fn(P, &io, WriteFn, FlushFn);
  png_set_IHDR(P, Info, W, H, 8, ColorType, Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> Pal(256);
  if (ColorType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < 256; ++i) Pal[i] = png_color{Byte(i), Byte(255 - i), Byte(i * 7)};
    png_set_PLTE(P, Info, Pal.data(), 256);
  }
  if (Gamma > 0) png_set_gAMA(P, Info, Gamma);
  png_write_info(P, Info);
  if (Interlaced) png_set_interlace_handling(P);
  const int Channels = ColorType == PNG_COLOR_TYPE_RGB ? 3 : ColorType == PNG_COLOR_TYPE_RGBA ? 4 : 1;
  std::vector<png_bytep> Rows(H);
  for (int y = 0; y < H; ++y) Rows[y] = const_cast<Byte*>(Pixels.data()) + static_cast<std::size_t>(y) * W * Channels;
  png_write_image(P, Rows.data());
  png_write_end(P, Info);
  png_destroy_write_struct(&P, &Info);
  return io.Out;
}

// The reference: rows padded like ours, colours as blue, green, red (and alpha).
void DecodeReference(const Bytes& Data, std::vector<Byte>& Pixels) {
  Io io;
  io.In = &Data;
  png_structp P = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop Info = png_create_info_struct(P);
  if (setjmp(png_jmpbuf(P))) std::abort();
  png_set_read_fn(P, &io, ReadFn);
  png_read_info(P, Info);
  const int W = static_cast<int>(png_get_image_width(P, Info)), H = static_cast<int>(png_get_image_height(P, Info));
  png_set_bgr(P);
  // A file gamma is corrected for a display of 2.2, as our decoder does.
  double FileGamma = 0;
  if (png_get_gAMA(P, Info, &FileGamma)) png_set_gamma(P, 2.2, FileGamma);
  png_set_interlace_handling(P);
  png_read_update_info(P, Info);
  const std::size_t RowBytes = png_get_rowbytes(P, Info);
  const std::size_t Stride = (RowBytes + 3) & ~std::size_t{3};
  Pixels.assign(Stride * H, 0);
  std::vector<png_bytep> Rows(H);
  for (int y = 0; y < H; ++y) Rows[y] = Pixels.data() + y * Stride;
  png_read_image(P, Rows.data());
  png_read_end(P, nullptr);
  png_destroy_read_struct(&P, &Info, nullptr);
  (void)W;
}

void DecodeOurs(const Bytes& Data, TPNGPixelBuffer& Image) {
  TReadOnlyMemoryStream S(Data.data(), static_cast<std::int64_t>(Data.size()));
  TPNGReader Reader;
  Reader.Load(S, Image);
}

double Seconds(const std::function<void()>& Fn) {
  const auto t0 = std::chrono::steady_clock::now();
  Fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A case name given on the command line runs only the cases whose names contain it.
const char* Only = nullptr;

void Report(const char* Name, const std::vector<Bytes>& Files, int Repeat) {
  if (Only && !std::strstr(Name, Only)) return;
  // Same pixels first.
  TPNGPixelBuffer Ours;
  std::vector<Byte> Ref;
  DecodeOurs(Files[0], Ours);
  DecodeReference(Files[0], Ref);
  if (Ours.Pixels != Ref) {
    // A timing of unequal work means nothing: the run fails.
    std::printf("FAILED: %s: our pixels differ from the reference's\n", Name);
    std::exit(1);
  }
  // The two decoders take turns, so that a change of machine load strikes both alike.
  const int Runs = 15;
  double TOurs = 1e9, TRef = 1e9;
  for (int r = 0; r < Runs; ++r) {
    TOurs = std::min(TOurs, Seconds([&] {
      for (int k = 0; k < Repeat; ++k)
        for (const Bytes& f : Files) DecodeOurs(f, Ours);
    }));
    TRef = std::min(TRef, Seconds([&] {
      for (int k = 0; k < Repeat; ++k)
        for (const Bytes& f : Files) DecodeReference(f, Ref);
    }));
  }
  std::printf("%-36s ours/reference %.2f   (ours %.2f ms, reference %.2f ms)\n", Name, TOurs / TRef,
              TOurs * 1000 / Repeat, TRef * 1000 / Repeat);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) Only = argv[1];
  std::printf("PNG decoding, best of 15 alternating runs, ratio of times (ours / reference library)\n");
  Report("RGB 1024x768", {Encode(1024, 768, PNG_COLOR_TYPE_RGB, MakePixels(1024, 768, 3, 1), false)}, 3);
  Report("RGBA 512x512", {Encode(512, 512, PNG_COLOR_TYPE_RGBA, MakePixels(512, 512, 4, 2), false)}, 5);
  Report("RGBA 512x512 Adam7", {Encode(512, 512, PNG_COLOR_TYPE_RGBA, MakePixels(512, 512, 4, 3), true)}, 5);
  Report("palette 1024x768", {Encode(1024, 768, PNG_COLOR_TYPE_PALETTE, MakePixels(1024, 768, 1, 4), false)}, 3);
  Report("palette 1024x768 Adam7", {Encode(1024, 768, PNG_COLOR_TYPE_PALETTE, MakePixels(1024, 768, 1, 5), true)}, 3);
  Report("grey 1024x768 Adam7", {Encode(1024, 768, PNG_COLOR_TYPE_GRAY, MakePixels(1024, 768, 1, 6), true)}, 3);
  std::vector<Bytes> Icons, GammaIcons, GreyIcons, PaletteIcons;
  for (int i = 0; i < 1000; ++i) {
    Icons.push_back(Encode(16, 16, PNG_COLOR_TYPE_RGBA, MakePixels(16, 16, 4, 100 + i), false));
    GammaIcons.push_back(Encode(16, 16, PNG_COLOR_TYPE_RGBA, MakePixels(16, 16, 4, 2100 + i), false, 0.45455));
    GreyIcons.push_back(Encode(32, 32, PNG_COLOR_TYPE_GRAY, MakePixels(32, 32, 1, 4100 + i), true));
    PaletteIcons.push_back(Encode(32, 32, PNG_COLOR_TYPE_PALETTE, MakePixels(32, 32, 1, 6100 + i), true));
  }
  Report("1000 icons 16x16 RGBA", Icons, 1);
  Report("1000 icons 16x16 RGBA gamma 0.45455", GammaIcons, 1);
  Report("1000 icons 32x32 grey Adam7", GreyIcons, 1);
  Report("1000 icons 32x32 palette Adam7", PaletteIcons, 1);
  return 0;
}
