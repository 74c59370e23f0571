// BMP and icon files: reading what they hold, without the system's help. Portable; the bitmap and
// icon classes of the graphics unit turn the result into device-independent bitmaps and icon
// handles.
//
// Every picture a user can drop in is hostile input: sizes are checked before any pixel memory is
// asked for (BmpMaxSide, BmpMaxPixels), all sizes are computed in 64 bits, and malformed,
// truncated or oversized data raises EInvalidGraphic with a message that says what was wrong.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/Streams.h"
#include "framework/Types.h"

// The widest side and the most pixels of a bitmap.
inline constexpr int BmpMaxSide = 32768;
inline constexpr std::int64_t BmpMaxPixels = std::int64_t{1} << 28;

// The pixel layouts a BMP file is read into: those of device-independent bitmaps (16-bit pixels as
// 5-5-5 or 5-6-5 bits of red, green and blue).
enum class TBmpFormat { Bits1, Bits4, Bits8, Rgb555, Rgb565, Bits24, Bits32 };
int BmpFormatBits(TBmpFormat Format);
// The bytes of one row: rows are padded to 4 bytes.
std::int64_t BmpStride(std::int64_t Width, int Bits);

// A colour table entry, laid out as the system's (blue, green, red, reserved).
struct TBmpColor {
  Byte B = 0, G = 0, R = 0, Reserved = 0;
};

// Where the pixels of a BMP file go.
class TBmpTarget {
 public:
  virtual ~TBmpTarget() = default;
  // Makes the image once the headers are read and checked, and returns its pixel memory: Height
  // rows of BmpStride(Width, bits) bytes, the bottom row first, every byte zero. Colors is the
  // colour table of the palette formats (1 << bits entries; empty for the others).
  virtual Byte* Create(int Width, int Height, TBmpFormat Format, const std::vector<TBmpColor>& Colors) = 0;
};

// Reads one BMP file from the stream's position into Target: the file header, then a core (12-byte),
// info (40), V2/V3 (52/56), V4 (108) or V5 (124) header; 1, 4, 8, 16, 24 and 32 bits; BI_RGB,
// BI_BITFIELDS (formats the target cannot hold directly are converted to 24 or 32 bits), BI_RLE8
// and BI_RLE4; bottom-up and top-down. The stream then stands after the pixel data. Malformed,
// truncated or oversized data raises EInvalidGraphic "Bitmap image is not valid: ..."; faults of
// the headers are found before Target.Create.
void ReadBmpFile(TStream& Stream, TBmpTarget& Target);

// The first image of an icon or cursor file.
struct TIconFileImage {
  // A device-independent image (an info header, the colour image and the mask, a missing mask
  // added as all opaque) or a PNG stream, ready for the system's icon creation.
  std::vector<Byte> Data;
  // The image's size; 0 x 0 for a PNG stream (the system tells).
  int Width = 0;
  int Height = 0;
  // The end of the file's last image, counted from where the file starts.
  std::int64_t End = 0;
};

// Reads the directory of an icon file from the stream's position and its first image (the stream
// is left inside the file). Malformed or truncated data raises EInvalidGraphic "Icon image is not
// valid: ...".
TIconFileImage ReadIconFile(TStream& Stream);

// Writing. The headers below are laid out as the readers above expect them; pixel rows follow them
// bottom row first, each padded to 4 bytes.

// The file header, info header, bit masks (Rgb565 only) and colour table of a BMP file holding a
// Width x Height image of Format (Colors: the palette formats' table; ignored for the others).
std::vector<Byte> BmpFileHeader(int Width, int Height, TBmpFormat Format, const std::vector<TBmpColor>& Colors);

// A BMP file made of a bitmap resource: the resource is the file without its file header.
std::vector<Byte> BmpFileOfResource(const void* Resource, std::size_t Size);

// The info header, doubled in height for the mask, and (1 bit only) the black-and-white table of
// an icon's image of 1 or 32 bits; the colour rows and then the 1-bit mask rows follow it.
std::vector<Byte> IconImageHeader(int Width, int Height, int Bits);

// The bits per pixel an icon's image (as IconImageHeader makes it) names; 32 when it is too short.
int IconImageBits(const std::vector<Byte>& Image);

// Writes an icon file of one image: the directory entry says Width x Height (256 and more as 0)
// and Bits.
void WriteIconFile(TStream& Stream, const std::vector<Byte>& Image, int Width, int Height, int Bits);
