// JPEG images.
//
// The portable half decodes a JPEG data stream held in memory (baseline, extended, progressive
// and arithmetic-coded; grey, YCbCr, RGB, CMYK and YCCK) into rows of 8-bit R, G, B pixels.
// The Win32 half is the picture class TJPEGImage, registered with TPicture for the "jpg" and
// "jpeg" file extensions: it keeps the compressed bytes and draws through a 24-bit bitmap
// decoded once when the image is loaded.
//
// Every JPEG of a skin is a file a user can drop in, so decoding treats its input as hostile and
// either delivers every pixel of the image or raises EInvalidGraphic with a message that says
// what was wrong. In particular:
// - the data must run up to its end-of-image marker: a stream that ends early is an error, never
//   an image filled up with grey;
// - damaged compressed data that the decoder notices (a segment that ends before its blocks, a
//   code that is not in the code table, a broken progression of scans) is an error; harmless
//   oddities (stray bytes between markers, unknown version numbers) are accepted silently;
// - the size the header declares is checked against TJPEGLimits before any pixel memory is
//   reserved, and so is the working memory of images that are stored in several scans; the
//   number of scans is limited as well, so that a small file cannot keep the decoder busy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/Types.h"

#ifdef _WIN32
#include "framework/Graphics.h"
#endif

// ---------------------------------------------------------------------------------------------
// Limits of the decoder.

// The widest side accepted, in pixels.
inline constexpr int JPEGMaxSide = 32767;
// The most pixels (width x height) accepted: 64 Mi pixels.
inline constexpr std::int64_t JPEGMaxPixels = std::int64_t{1} << 26;
// The most scans a data stream may hold (progressive images use about ten).
inline constexpr int JPEGMaxScans = 256;
// The largest data stream TJPEGImage reads from a stream, in bytes.
inline constexpr std::int64_t JPEGMaxDataSize = std::int64_t{1} << 28;
// The most working memory the decoder may reserve for an image stored in several scans (it keeps
// the coefficients of the whole image), in bytes.
inline constexpr std::int64_t JPEGMaxWorkMemory = std::int64_t{1} << 30;

struct TJPEGLimits {
  int MaxSide = JPEGMaxSide;
  std::int64_t MaxPixels = JPEGMaxPixels;
  int MaxScans = JPEGMaxScans;
  std::int64_t MaxWorkMemory = JPEGMaxWorkMemory;
};

// ---------------------------------------------------------------------------------------------
// Decoding

namespace detail {
struct JpegState;  // the library's decoder and its managers
}

// Reads the rows of one JPEG data stream, top row first. The data is not copied: it must stay
// alive and unchanged while the decoder is used.
//
//   TJPEGDecoder D(Data, Size);        // reads the header, checks the limits, starts decoding
//   for (int Y = 0; Y < D.Height(); ++Y) D.ReadRow(Row);   // Width() * 3 bytes each
//   std::size_t Used = D.Finish();     // reads up to the end-of-image marker
//
// Every failure raises EInvalidGraphic; after a failure the decoder can only be destroyed.
class TJPEGDecoder {
 public:
  TJPEGDecoder(const Byte* Data, std::size_t Size, const TJPEGLimits& Limits = {});
  ~TJPEGDecoder();
  TJPEGDecoder(const TJPEGDecoder&) = delete;
  TJPEGDecoder& operator=(const TJPEGDecoder&) = delete;

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // The number of colour components stored: 1 (grey), 3 (YCbCr or RGB) or 4 (CMYK or YCCK).
  int Components() const { return FComponents; }
  bool Grayscale() const { return FComponents == 1; }
  // Stored in several scans that refine the whole image (progressive coding).
  bool Progressive() const { return FProgressive; }
  // The number of rows read so far.
  int RowsRead() const { return FRowsRead; }

  // Decodes the next row into Row: Width() pixels of three bytes R, G, B. Grey images give
  // R = G = B. Reading past the last row raises EInvalidGraphicOperation.
  void ReadRow(Byte* Row);
  // Reads the rest of the data stream up to its end-of-image marker and returns the number of
  // bytes the stream occupies (up to and including that marker). Every row must have been read
  // (EInvalidGraphicOperation otherwise).
  std::size_t Finish();

 private:
  [[noreturn]] void Fail();
  std::unique_ptr<detail::JpegState> FState;
  std::vector<Byte> FInkRow;  // one row of four-component samples, for CMYK and YCCK images
  int FWidth = 0;
  int FHeight = 0;
  int FComponents = 0;
  bool FProgressive = false;
  bool FInverted = false;  // four-component samples are stored inverted (0 = full ink)
  int FRowsRead = 0;
  std::size_t FBytesUsed = 0;
  bool FFinished = false;
  bool FFailed = false;
};

// A decoded image: Height rows of Width pixels, three bytes R, G, B each, top row first, with no
// padding between rows.
struct TJPEGPixels {
  int Width = 0;
  int Height = 0;
  bool Grayscale = false;
  bool Progressive = false;
  std::vector<Byte> RGB;

  const Byte* Row(int Y) const { return RGB.data() + static_cast<std::size_t>(Y) * Width * 3; }
};

// Decodes a whole JPEG data stream. BytesUsed, when given, receives the length of the data
// stream (the bytes after its end-of-image marker are not looked at). Row memory grows with the
// rows actually decoded, so a header that promises a large image costs nothing until its data
// is there.
TJPEGPixels DecodeJPEG(const Byte* Data, std::size_t Size, const TJPEGLimits& Limits = {},
                       std::size_t* BytesUsed = nullptr);

#ifdef _WIN32

// ---------------------------------------------------------------------------------------------
// The picture class

// A JPEG image: the compressed bytes it was loaded from and the image they decode to, held as a
// 24-bit bitmap for drawing. Loading decodes the whole image at once (so that bad data is
// reported by LoadFromStream, never later while painting); drawing only copies pixels.
// JPEG images are opaque: Transparent does not change how they draw.
class TJPEGImage : public TGraphic {
  T_CLASS(TJPEGImage, TGraphic)

 public:
  TJPEGImage();
  ~TJPEGImage() override;

  // Another TJPEGImage: its compressed bytes and its decoded image are copied (no decoding);
  // nullptr empties the image. Other sources raise the assign error.
  void Assign(TPersistent* Source) override;

  bool Empty() const override { return !FBitmap; }
  int Width() const override { return FBitmap ? FBitmap->Width() : 0; }
  int Height() const override { return FBitmap ? FBitmap->Height() : 0; }
  // The size of a JPEG image comes from its data: EInvalidGraphicOperation "Cannot change the
  // size of a JPEG image".
  void SetWidth(int Value) override;
  void SetHeight(int Value) override;

  // Stored with one colour component / in progressive scans (false while empty).
  bool Grayscale() const { return FGrayscale; }
  bool ProgressiveEncoding() const { return FProgressive; }
  // The compressed bytes: the data stream from its start-of-image to its end-of-image marker.
  const std::vector<Byte>& Data() const { return FData; }
  // The decoded image (pf24bit), owned by the JPEG image; nullptr while empty. Drawing on it
  // changes what the JPEG image draws but not what it saves.
  TBitmap* Bitmap() const { return FBitmap.get(); }

  // Reads one JPEG data stream from the stream's position; afterwards the stream stands just
  // after its end-of-image marker. A stream with no bytes left loads an empty image. Bad data
  // raises EInvalidGraphic and leaves the image as it was.
  void LoadFromStream(TStream& Stream) override;
  // The limits LoadFromStream decodes within (the decoder's defaults until set); an image beyond
  // them is refused from its header, before its pixels are allocated. A caller with a budget of
  // its own (a skin load) sets what is left of it.
  const TJPEGLimits& Limits() const { return FLimits; }
  void SetLimits(const TJPEGLimits& Value) { FLimits = Value; }
  // Writes the compressed bytes as they were loaded (nothing for an empty image).
  void SaveToStream(TStream& Stream) override;

 protected:
  // A TBitmap destination receives a copy of the decoded image (empty for an empty image).
  void AssignTo(TPersistent* Dest) override;
  // Copies the decoded image into Rect of the canvas, stretched to it, with the canvas's
  // CopyMode.
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 private:
  std::vector<Byte> FData;
  std::unique_ptr<TBitmap> FBitmap;
  bool FGrayscale = false;
  bool FProgressive = false;
  TJPEGLimits FLimits;
};

#endif  // _WIN32
