// BMP and icon files: what they hold, read without the system's help. Portable.
#include "framework/BmpFile.h"

#include <algorithm>
#include <cstring>

#include "framework/Exceptions.h"

namespace {

// Compression codes of BMP files.
constexpr std::uint32_t BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitFields = 3;

[[noreturn]] void BadBitmap(const char* Why) { throw EInvalidGraphic(Format("Bitmap image is not valid: %s", Why)); }
[[noreturn]] void BadIcon(const char* Why) { throw EInvalidGraphic(Format("Icon image is not valid: %s", Why)); }

inline std::uint16_t Le16(const Byte* P) { return static_cast<std::uint16_t>(P[0] | (P[1] << 8)); }
inline std::uint32_t Le32(const Byte* P) {
  return P[0] | (P[1] << 8) | (P[2] << 16) | (static_cast<std::uint32_t>(P[3]) << 24);
}

// The pixel memory of the image being read: row 0 is the bottom row.
struct TRows {
  Byte* Bits = nullptr;
  int Width = 0;
  int Height = 0;
  std::int64_t Stride = 0;
  Byte* Row(int StorageRow) const { return Bits + static_cast<std::ptrdiff_t>(StorageRow) * Stride; }
};

// One colour channel of a bit-field pixel.
struct BitField {
  std::uint32_t Mask = 0;
  int Shift = 0;
  int Bits = 0;
  // False for a mask whose bits are not contiguous.
  bool Set(std::uint32_t M) {
    Mask = M;
    Shift = Bits = 0;
    if (!M) return true;
    while (!((M >> Shift) & 1)) ++Shift;
    std::uint64_t v = M >> Shift;
    while (v & 1) ++Bits, v >>= 1;
    return v == 0;
  }
  Byte Get(std::uint32_t V) const {
    if (!Bits) return 0;
    std::uint32_t x = (V & Mask) >> Shift;
    if (Bits >= 8) return static_cast<Byte>(x >> (Bits - 8));
    std::uint32_t max = (1u << Bits) - 1;
    return static_cast<Byte>((x * 255 + max / 2) / max);
  }
};

void DecodeRle(const Byte* In, std::size_t N, TRows& Img, bool Rle4) {
  std::int64_t x = 0, y = 0;
  const int w = Img.Width, h = Img.Height;
  auto put = [&](Byte index) {
    if (x < w && y < h) {
      Byte* row = Img.Row(static_cast<int>(y));  // run-length data starts at the bottom row
      if (Rle4) {
        Byte& b = row[x >> 1];
        b = (x & 1) ? static_cast<Byte>((b & 0xF0) | (index & 0x0F)) : static_cast<Byte>((b & 0x0F) | (index << 4));
      } else {
        row[x] = index;
      }
    }
    ++x;
  };
  std::size_t p = 0;
  while (p + 1 < N && y < h) {
    Byte count = In[p], value = In[p + 1];
    p += 2;
    if (count) {
      for (int i = 0; i < count; ++i) put(Rle4 ? static_cast<Byte>((i & 1) ? value & 0x0F : value >> 4) : value);
    } else if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      if (p + 1 >= N) BadBitmap("the run-length data is truncated");
      x += In[p];
      y += In[p + 1];
      p += 2;
    } else {
      std::size_t bytes = Rle4 ? (value + 1u) / 2 : value;
      if (p + bytes > N) BadBitmap("the run-length data is truncated");
      for (int i = 0; i < value; ++i)
        put(Rle4 ? static_cast<Byte>((i & 1) ? In[p + i / 2] & 0x0F : In[p + i / 2] >> 4) : In[p + i]);
      p += (bytes + 1) & ~static_cast<std::size_t>(1);
    }
  }
}

// Reads one BMP file from the stream's position into the target; the stream ends after the pixel
// data.
void ReadBmp(TStream& S, TBmpTarget& Target) {
  const std::int64_t start = S.Position();
  const std::int64_t avail = S.Size() - start;
  if (avail < 18) BadBitmap("the file header is truncated");
  Byte fh[14];
  S.ReadBuffer(fh, 14);
  if (fh[0] != 'B' || fh[1] != 'M') BadBitmap("the signature is not \"BM\"");
  const std::uint32_t offBits = Le32(fh + 10);
  Byte ih[124] = {};
  S.ReadBuffer(ih, 4);
  const std::uint32_t hs = Le32(ih);
  if (hs != 12 && hs != 40 && hs != 52 && hs != 56 && hs != 108 && hs != 124) BadBitmap("unknown header size");
  if (avail < 14 + static_cast<std::int64_t>(hs)) BadBitmap("the information header is truncated");
  S.ReadBuffer(ih + 4, hs - 4);

  std::int64_t w, h;
  int planes, bits;
  std::uint32_t compression = BiRgb, sizeImage = 0, clrUsed = 0;
  if (hs == 12) {
    w = Le16(ih + 4);
    h = Le16(ih + 6);
    planes = Le16(ih + 8);
    bits = Le16(ih + 10);
  } else {
    w = static_cast<std::int32_t>(Le32(ih + 4));
    h = static_cast<std::int32_t>(Le32(ih + 8));
    planes = Le16(ih + 12);
    bits = Le16(ih + 14);
    compression = Le32(ih + 16);
    sizeImage = Le32(ih + 20);
    clrUsed = Le32(ih + 32);
  }
  const bool topDown = h < 0;
  if (topDown) h = -h;
  if (planes != 1) BadBitmap("the plane count is not 1");
  if (w <= 0 || h == 0) BadBitmap("the width or height is zero or negative");
  if (w > BmpMaxSide || h > BmpMaxSide || w * h > BmpMaxPixels) BadBitmap("the image is too large");
  switch (compression) {
    case BiRgb:
      if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        BadBitmap("unsupported bit count");
      if (hs == 12 && (bits == 16 || bits == 32)) BadBitmap("unsupported bit count");
      break;
    case BiRle8:
      if (bits != 8 || topDown) BadBitmap("run-length data needs 8 bits, bottom-up");
      break;
    case BiRle4:
      if (bits != 4 || topDown) BadBitmap("run-length data needs 4 bits, bottom-up");
      break;
    case BiBitFields:
      if (bits != 16 && bits != 32) BadBitmap("bit fields need 16 or 32 bits");
      break;
    default: BadBitmap("unsupported compression");
  }

  std::int64_t pos = 14 + hs;
  std::uint32_t masks[4] = {0, 0, 0, 0};
  if (compression == BiBitFields) {
    if (hs >= 52) {
      for (int i = 0; i < 3; ++i) masks[i] = Le32(ih + 40 + 4 * i);
      if (hs >= 56) masks[3] = Le32(ih + 52);
    } else {
      if (avail < pos + 12) BadBitmap("the colour masks are truncated");
      Byte m[12];
      S.ReadBuffer(m, 12);
      for (int i = 0; i < 3; ++i) masks[i] = Le32(m + 4 * i);
      pos += 12;
    }
  }

  // The colour table of palette formats.
  std::vector<TBmpColor> colors;
  std::int64_t optionalTable = 0;  // unused colour entries of deeper formats (for the default offset)
  if (bits <= 8) {
    const std::int64_t maxColors = std::int64_t{1} << bits;
    std::int64_t n;
    if (hs == 12) {
      n = maxColors;
      if (offBits != 0 && offBits >= pos) n = std::min<std::int64_t>(n, (offBits - pos) / 3);
    } else {
      if (clrUsed > maxColors) BadBitmap("the colour table has more entries than the bit count allows");
      n = clrUsed ? clrUsed : maxColors;
    }
    const int entry = hs == 12 ? 3 : 4;
    if (avail < pos + n * entry) BadBitmap("the colour table is truncated");
    std::vector<Byte> table(static_cast<std::size_t>(n * entry));
    if (n) S.ReadBuffer(table.data(), n * entry);
    colors.assign(static_cast<std::size_t>(maxColors), TBmpColor{0, 0, 0, 0});
    for (std::int64_t i = 0; i < n; ++i) {
      const Byte* e = table.data() + i * entry;
      colors[i] = TBmpColor{e[0], e[1], e[2], 0};
    }
    pos += n * entry;
  } else if (hs != 12) {
    optionalTable = static_cast<std::int64_t>(clrUsed) * 4;
  }

  std::int64_t pixelPos;
  if (offBits == 0) {
    pixelPos = pos + optionalTable;
  } else {
    if (offBits < pos) BadBitmap("the pixel data offset lies inside the headers");
    pixelPos = offBits;
  }
  if (pixelPos > avail) BadBitmap("the pixel data offset lies beyond the data");

  const bool rle = compression == BiRle8 || compression == BiRle4;
  const std::int64_t fileStride = (w * bits + 31) / 32 * 4;
  std::int64_t dataBytes;
  if (rle) {
    dataBytes = sizeImage ? sizeImage : avail - pixelPos;
    if (dataBytes > avail - pixelPos) BadBitmap("the pixel data is truncated");
  } else {
    dataBytes = fileStride * h;
    if (avail - pixelPos < dataBytes) BadBitmap("the pixel data is truncated");
  }

  // The bitmap's format: the file's own where a section can hold it, otherwise converted.
  TBmpFormat fmt;
  bool direct = true;
  BitField fr, fg, fb, fa;
  if (bits <= 8) {
    fmt = bits == 1 ? TBmpFormat::Bits1 : (bits == 4 ? TBmpFormat::Bits4 : TBmpFormat::Bits8);
  } else if (bits == 24) {
    fmt = TBmpFormat::Bits24;
  } else if (compression == BiRgb) {
    fmt = bits == 16 ? TBmpFormat::Rgb555 : TBmpFormat::Bits32;
  } else {
    if (!fr.Set(masks[0]) || !fg.Set(masks[1]) || !fb.Set(masks[2]) || !fa.Set(masks[3]) || !masks[0] ||
        !masks[1] || !masks[2])
      BadBitmap("invalid colour masks");
    if (((masks[0] & masks[1]) | (masks[0] & masks[2]) | (masks[1] & masks[2]) |
         ((masks[0] | masks[1] | masks[2]) & masks[3])) != 0)
      BadBitmap("invalid colour masks");
    if (bits == 16 && ((masks[0] | masks[1] | masks[2] | masks[3]) >> 16)) BadBitmap("invalid colour masks");
    if (bits == 16 && masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F && !masks[3]) {
      fmt = TBmpFormat::Rgb555;
    } else if (bits == 16 && masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F && !masks[3]) {
      fmt = TBmpFormat::Rgb565;
    } else if (bits == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF &&
               (masks[3] == 0 || masks[3] == 0xFF000000u)) {
      fmt = TBmpFormat::Bits32;
    } else {
      fmt = (bits == 32 || masks[3]) ? TBmpFormat::Bits32 : TBmpFormat::Bits24;
      direct = false;
    }
  }

  TRows Img;
  Img.Width = static_cast<int>(w);
  Img.Height = static_cast<int>(h);
  Img.Stride = BmpStride(w, BmpFormatBits(fmt));
  Img.Bits = Target.Create(Img.Width, Img.Height, fmt, colors);
  S.Seek(start + pixelPos, soBeginning);
  if (rle) {
    std::vector<Byte> data(static_cast<std::size_t>(dataBytes));
    if (dataBytes) S.ReadBuffer(data.data(), dataBytes);
    DecodeRle(data.data(), data.size(), Img, compression == BiRle4);
  } else if (direct && !topDown && fileStride == Img.Stride) {
    S.ReadBuffer(Img.Bits, dataBytes);
  } else {
    std::vector<Byte> row(static_cast<std::size_t>(fileStride));
    for (std::int64_t i = 0; i < h; ++i) {
      S.ReadBuffer(row.data(), fileStride);
      Byte* d = Img.Row(static_cast<int>(topDown ? h - 1 - i : i));
      if (direct) {
        std::memcpy(d, row.data(), static_cast<std::size_t>(std::min<std::int64_t>(fileStride, Img.Stride)));
        continue;
      }
      for (std::int64_t x = 0; x < w; ++x) {
        std::uint32_t v = bits == 16 ? Le16(row.data() + 2 * x) : Le32(row.data() + 4 * x);
        Byte* p = d + x * (fmt == TBmpFormat::Bits32 ? 4 : 3);
        p[0] = fb.Get(v);
        p[1] = fg.Get(v);
        p[2] = fr.Get(v);
        if (fmt == TBmpFormat::Bits32) p[3] = fa.Get(v);
      }
    }
  }
}

// Checks one icon image (a BITMAPINFOHEADER with colour and mask, or a PNG stream) and returns it
// ready for CreateIconFromResourceEx (a missing mask is added as all opaque).
std::vector<Byte> CheckIconImage(std::vector<Byte> Data, int& W, int& H) {
  static const Byte png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (Data.size() >= 8 && std::memcmp(Data.data(), png, 8) == 0) return Data;
  if (Data.size() < 40) BadIcon("the image header is truncated");
  const Byte* p = Data.data();
  const std::uint32_t hs = Le32(p);
  const std::int32_t w = static_cast<std::int32_t>(Le32(p + 4));
  const std::int32_t h2 = static_cast<std::int32_t>(Le32(p + 8));
  const int planes = Le16(p + 12), bits = Le16(p + 14);
  const std::uint32_t compression = Le32(p + 16), clrUsed = Le32(p + 32);
  if (hs < 40 || hs > Data.size()) BadIcon("unknown image header size");
  if (w <= 0 || h2 <= 0 || w > 1024 || h2 > 2048) BadIcon("bad image size");
  if (planes != 1 || compression != BiRgb) BadIcon("unsupported image format");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) BadIcon("unsupported bit count");
  const int h = h2 / 2 > 0 ? h2 / 2 : h2;
  std::uint32_t colors = 0;
  if (bits <= 8) {
    if (clrUsed > (1u << bits)) BadIcon("the colour table has more entries than the bit count allows");
    colors = clrUsed ? clrUsed : (1u << bits);
  }
  const std::size_t xorBytes = static_cast<std::size_t>(BmpStride(w, bits)) * h;
  const std::size_t andBytes = static_cast<std::size_t>(BmpStride(w, 1)) * h;
  const std::size_t need = hs + colors * 4 + xorBytes;
  if (Data.size() < need) BadIcon("the image data is truncated");
  if (Data.size() < need + andBytes) Data.resize(need + andBytes, 0);
  W = w;
  H = h;
  return Data;
}


}  // namespace

int BmpFormatBits(TBmpFormat Format) {
  switch (Format) {
    case TBmpFormat::Bits1: return 1;
    case TBmpFormat::Bits4: return 4;
    case TBmpFormat::Bits8: return 8;
    case TBmpFormat::Rgb555:
    case TBmpFormat::Rgb565: return 16;
    case TBmpFormat::Bits24: return 24;
    default: return 32;
  }
}

std::int64_t BmpStride(std::int64_t Width, int Bits) { return (Width * Bits + 31) / 32 * 4; }

void ReadBmpFile(TStream& Stream, TBmpTarget& Target) {
  try {
    ReadBmp(Stream, Target);
  } catch (const EReadError&) {
    BadBitmap("the data is truncated");
  }
}

TIconFileImage ReadIconFile(TStream& Stream) {
  TIconFileImage Result;
  std::vector<Byte>& image = Result.Data;
  std::int64_t& end = Result.End;
  const std::int64_t start = Stream.Position();
  try {
    const std::int64_t avail = Stream.Size() - start;
    if (avail < 6) BadIcon("the header is truncated");
    Byte dir[6];
    Stream.ReadBuffer(dir, 6);
    const int type = Le16(dir + 2), count = Le16(dir + 4);
    if (Le16(dir) != 0 || (type != 1 && type != 2)) BadIcon("the signature is wrong");
    if (count == 0) BadIcon("no images");
    if (avail < 6 + 16 * static_cast<std::int64_t>(count)) BadIcon("the directory is truncated");
    std::vector<Byte> entries(16 * static_cast<std::size_t>(count));
    Stream.ReadBuffer(entries.data(), static_cast<std::int64_t>(entries.size()));
    const std::int64_t dirEnd = 6 + 16 * static_cast<std::int64_t>(count);
    end = dirEnd;
    for (int i = 0; i < count; ++i) {
      const std::int64_t size = Le32(entries.data() + 16 * i + 8), off = Le32(entries.data() + 16 * i + 12);
      if (off >= dirEnd && off + size <= avail) end = std::max(end, off + size);
    }
    const std::int64_t size = Le32(entries.data() + 8), off = Le32(entries.data() + 12);
    if (size <= 0) BadIcon("the first image is empty");
    if (off < dirEnd) BadIcon("the image offset lies inside the directory");
    if (off + size > avail) BadIcon("the image data is truncated");
    image.resize(static_cast<std::size_t>(size));
    Stream.Seek(start + off, soBeginning);
    Stream.ReadBuffer(image.data(), size);
  } catch (const EReadError&) {
    BadIcon("the data is truncated");
  }
  image = CheckIconImage(std::move(image), Result.Width, Result.Height);
  return Result;
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

inline void Put16(Byte* P, unsigned V) { P[0] = static_cast<Byte>(V), P[1] = static_cast<Byte>(V >> 8); }
inline void Put32(Byte* P, std::uint32_t V) {
  for (int i = 0; i < 4; ++i) P[i] = static_cast<Byte>(V >> (8 * i));
}

bool IsPaletteBmpFormat(TBmpFormat Format) {
  return Format == TBmpFormat::Bits1 || Format == TBmpFormat::Bits4 || Format == TBmpFormat::Bits8;
}

}  // namespace

std::vector<Byte> BmpFileHeader(int Width, int Height, TBmpFormat Format, const std::vector<TBmpColor>& Colors) {
  const int bits = BmpFormatBits(Format);
  const bool palette = IsPaletteBmpFormat(Format);
  const std::uint32_t colorBytes = palette ? static_cast<std::uint32_t>(Colors.size()) * 4 : 0;
  const std::uint32_t maskBytes = Format == TBmpFormat::Rgb565 ? 12 : 0;
  const std::uint32_t offBits = 14 + 40 + maskBytes + colorBytes;
  const std::uint32_t imageBytes = static_cast<std::uint32_t>(BmpStride(Width, bits) * Height);
  std::vector<Byte> head(offBits, 0);
  Byte* p = head.data();
  p[0] = 'B';
  p[1] = 'M';
  Put32(p + 2, offBits + imageBytes);
  Put32(p + 10, offBits);
  Byte* ih = p + 14;
  Put32(ih, 40);
  Put32(ih + 4, static_cast<std::uint32_t>(Width));
  Put32(ih + 8, static_cast<std::uint32_t>(Height));
  Put16(ih + 12, 1);
  Put16(ih + 14, static_cast<unsigned>(bits));
  Put32(ih + 16, maskBytes ? BiBitFields : BiRgb);
  Put32(ih + 20, imageBytes);
  Put32(ih + 32, colorBytes / 4);
  Byte* q = ih + 40;
  if (maskBytes) {
    Put32(q, 0xF800);
    Put32(q + 4, 0x07E0);
    Put32(q + 8, 0x001F);
    q += 12;
  }
  if (palette)
    for (const TBmpColor& c : Colors) {
      q[0] = c.B, q[1] = c.G, q[2] = c.R, q[3] = 0;
      q += 4;
    }
  return head;
}

std::vector<Byte> BmpFileOfResource(const void* Resource, std::size_t Size) {
  std::vector<Byte> file(14 + Size, 0);
  file[0] = 'B';
  file[1] = 'M';
  Put32(file.data() + 2, static_cast<std::uint32_t>(file.size()));
  if (Size) std::memcpy(file.data() + 14, Resource, Size);
  return file;
}

std::vector<Byte> IconImageHeader(int Width, int Height, int Bits) {
  const std::int64_t xorStride = BmpStride(Width, Bits), andStride = BmpStride(Width, 1);
  const std::uint32_t colors = Bits == 1 ? 2 : 0;
  std::vector<Byte> head(40 + colors * 4, 0);
  Byte* p = head.data();
  Put32(p, 40);
  Put32(p + 4, static_cast<std::uint32_t>(Width));
  Put32(p + 8, static_cast<std::uint32_t>(2 * Height));
  Put16(p + 12, 1);
  Put16(p + 14, static_cast<unsigned>(Bits));
  Put32(p + 20, static_cast<std::uint32_t>((xorStride + andStride) * Height));
  if (colors) Put32(p + 44, 0x00FFFFFF);  // black, white
  return head;
}

int IconImageBits(const std::vector<Byte>& Image) { return Image.size() >= 16 ? Le16(Image.data() + 14) : 32; }

void WriteIconFile(TStream& Stream, const std::vector<Byte>& Image, int Width, int Height, int Bits) {
  Byte head[22] = {};
  Put16(head + 2, 1);
  Put16(head + 4, 1);
  head[6] = static_cast<Byte>(Width >= 256 ? 0 : Width);
  head[7] = static_cast<Byte>(Height >= 256 ? 0 : Height);
  head[8] = static_cast<Byte>(Bits < 8 ? 1 << Bits : 0);
  Put16(head + 10, 1);
  Put16(head + 12, static_cast<unsigned>(Bits));
  Put32(head + 14, static_cast<std::uint32_t>(Image.size()));
  Put32(head + 18, 22);
  Stream.WriteBuffer(head, sizeof(head));
  Stream.WriteBuffer(Image.data(), static_cast<std::int64_t>(Image.size()));
}
