// PNG images of the skin engine.
//
// The portable half reads a PNG stream (signature, chunk framing with CRC-32, inflating of the
// image data, the five row filters, Adam7 interlacing) and converts each decoded row through a
// colour manager straight into the rows of a pixel target: a plain memory image natively, the
// scan lines of a device-independent bitmap on the target. The image data (the IDAT chunks,
// gathered into one piece) is inflated in one call into the image's filtered rows, whose size the
// header gives (acInflate); a stream that this call refuses (damaged, cut short, longer than the
// image, followed by more data) is read again, chunk by chunk, by zlib's streaming inflate, which
// keeps the rules below. The clearing of fully transparent white
// pixels works on plain pixel views as well. The Win32 half holds the bitmap graphic TPNGGraphic
// (registered with the picture class as the "png" file format), its alpha drawing (through the
// shared blends of acPixels), the conversion of an image into an icon and the clearing of bitmaps.
//
// Every PNG of a skin is a file a user can drop in, so the reader treats its input as hostile:
// images are limited to PNGMaxSide pixels per side and PNGMaxPixels pixels in all, chunk lengths
// to what the stream still holds, all sizes are computed in 64 bits, and every malformed, truncated
// or oversized input raises an exception (EInvalidGraphic and its descendants; a stream that ends
// inside a chunk raises the stream's EReadError) rather than loading part of an image. Two
// leniencies are kept on purpose, since stored skins may rely on them: a row whose filter type is 5
// or more keeps its bytes as stored, and when the IDAT chunks end before the last row (the
// compressed stream not ended) the remaining rows are converted from zero-filled row buffers. Data
// that could not fill the image even at deflate's highest ratio is still refused before anything
// is allocated. The compressed stream's own Adler-32 decides nothing (a stream whose checksum is
// wrong still loads, through the streaming inflate): the CRC-32 of every IDAT chunk already covers
// each byte of it. Memory follows the input: the gathered data is at most the file's IDAT bytes,
// the filtered rows what the header announces within the pixel limit.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/Object.h"
#include "framework/Streams.h"
#include "framework/Types.h"
#include "skin/core/acPNGColor.h"
#include "skin/core/acPNGFilters.h"

struct TacPixels;

// Failures of starting or ending the inflater: "LZ77 decompression error.".
T_EXCEPTION(EGraphicCompression, EInvalidGraphic)

// ---------------------------------------------------------------------------------------------
// Limits of the reader.

// The largest width and height accepted.
inline constexpr int PNGMaxSide = 32767;
// The largest number of pixels (width x height) accepted: 64 Mi pixels.
inline constexpr std::int64_t PNGMaxPixels = std::int64_t{1} << 26;
// The largest chunk length a PNG stream may declare.
inline constexpr std::uint32_t PNGMaxChunkLength = 0x7FFFFFFF;

// ---------------------------------------------------------------------------------------------
// Inflating the image data.

// A thin owner of one zlib inflate stream.
class TLZ77Decoder : public TObject {
  T_CLASS(TLZ77Decoder, TObject)

 public:
  // FlushMode is handed to every inflate call; AutoReset resets the stream before each chunk.
  TLZ77Decoder(int FlushMode, bool AutoReset);
  ~TLZ77Decoder() override;

  // Starts inflating; raises EGraphicCompression "LZ77 decompression error." on failure.
  void StartInflate();
  // Inflates from Source (PackedSize bytes) into Dest (room for UnpackedSize bytes) as far as one
  // call gets, and advances both pointers past what was used. Does nothing once a call has
  // returned something other than Z_OK; LastResult tells the result.
  void InflateChunk(const Byte*& Source, Byte*& Dest, std::uint32_t PackedSize, std::uint32_t UnpackedSize);
  // Leaves the Adler-32 at the end of the stream unchecked (its four bytes are still read).
  void SkipStreamChecksum();
  // Ends inflating; raises EGraphicCompression on failure.
  void EndInflate();

  std::uint32_t InputLeft() const { return FStream.avail_in; }
  std::uint32_t OutputLeft() const { return FStream.avail_out; }
  int LastResult() const { return FLastResult; }

 private:
  z_stream FStream;
  int FFlushMode;
  bool FAutoReset;
  bool FStarted = false;
  int FLastResult = Z_OK;
};

// ---------------------------------------------------------------------------------------------
// The PNG reader.

enum TPNGImageOption { pioHeaderRead, pioGammaApplied };

// What the header (and a gAMA chunk) say about an image.
struct TPNGImageProperties {
  TSet<TPNGImageOption> Options;
  int Width = 0;
  int Height = 0;
  TColorScheme ColorScheme = cmsNone;
  Byte BitsPerSample = 0;
  Byte SamplesPerPixel = 0;  // 3 for RGB, 4 for RGB with alpha, else 1
  Byte BitsPerPixel = 0;     // SamplesPerPixel x BitsPerSample
  Byte Compression = 0;      // 2 for deflate, 0 for anything else
  float FileGamma = 1.0f;
  bool Interlaced = false;
  bool HasAlpha = false;
  Byte FilterMode = 0;
};

// What the reader tells its target before the first row.
struct TPNGLayout {
  int Width = 0;
  int Height = 0;
  TacPixelFormat PixelFormat = TacPixelFormat::Bits24;
  // The colours of an indexed or grey image; empty for an indexed image without PLTE (the target
  // keeps its default palette) and for RGB images.
  TPaletteColors Palette;
  // The colour the target is filled with before the rows arrive: RGB(r, g, b) for RGB images, a
  // plain grey level or palette index otherwise.
  std::int32_t BackgroundColor = 0xFFFFFF;
  // RGB(r, g, b) of the colour a tRNS chunk makes transparent, as the image shows it; 0x1FFFFFFF
  // when none.
  std::int32_t TransparentColor = 0x1FFFFFFF;
};

// Where the reader writes pixels. Rows are those of a device-independent bitmap of the layout's
// pixel format: bit-packed most significant bits first, 24-bit pixels blue, green, red, 32-bit
// pixels blue, green, red and straight alpha.
class TPNGPixelTarget {
 public:
  virtual ~TPNGPixelTarget() = default;
  // Called once per image, before the first row: size the target and take the palette. Every
  // pixel of a successfully loaded image is then written through Row.
  virtual void Begin(const TPNGLayout& Layout) = 0;
  // The writable pixels of row Y (0 is the top row).
  virtual Byte* Row(int Y) = 0;
};

// A plain image in memory, rows padded to 4 bytes like a device-independent bitmap, all zero
// before the rows arrive.
class TPNGPixelBuffer : public TPNGPixelTarget {
 public:
  void Begin(const TPNGLayout& Layout) override;
  Byte* Row(int Y) override { return Pixels.data() + static_cast<std::size_t>(Y) * Stride; }
  const Byte* Row(int Y) const { return Pixels.data() + static_cast<std::size_t>(Y) * Stride; }

  TPNGLayout Layout;
  std::size_t Stride = 0;
  std::vector<Byte> Pixels;
};

// A target that keeps only one row: decoding into it checks a stream without holding its image.
class TPNGRowSink : public TPNGPixelTarget {
 public:
  void Begin(const TPNGLayout& Layout) override;
  Byte* Row(int Y) override { return RowBuffer.data(); }

  TPNGLayout Layout;
  std::vector<Byte> RowBuffer;
  int Began = 0;
};

enum class TPNGProgressStage { Starting, Running, Ending };
using TPNGProgressEvent = std::function<void(TPNGProgressStage Stage, Byte PercentDone, bool RedrawNow,
                                             const TRect& R, const AnsiString& Msg)>;

// Reads PNG streams. One reader can load any number of images, one after another; each load starts
// from a fresh colour manager state.
class TPNGReader : public TObject {
  T_CLASS(TPNGReader, TObject)

 public:
  TPNGReader() = default;

  // Reads one PNG image from Stream's position into Target. On return the stream stands after the
  // IEND chunk. Raises EInvalidGraphic (or a descendant) for malformed data and EReadError when the
  // stream ends inside the image.
  void Load(TStream& Stream, TPNGPixelTarget& Target);

  const TPNGImageProperties& ImageProperties() const { return FProps; }
  TColorManager& ColorManager() { return FColorManager; }

  // The most pixels (width x height) an image may have, at most PNGMaxPixels: a larger one is
  // refused from its header, before anything of it is allocated. A caller with a budget of its
  // own (a skin load) sets what is left of it.
  std::int64_t MaxPixels() const { return FMaxPixels; }
  void SetMaxPixels(std::int64_t Value) { FMaxPixels = std::clamp<std::int64_t>(Value, 0, PNGMaxPixels); }

  // Fired when a load starts and ends, when the image data starts, and after each finished row
  // (of the last pass for interlaced images).
  TPNGProgressEvent OnProgress;

 private:
  struct TChunkHeader {
    std::uint32_t Length = 0;
    char Type[4] = {};
  };

  bool ScanProperties();
  void ReadChunkHead();
  void ReadChunkBody();
  void SkipChunk();
  bool ChunkIs(const char* Type) const;
  // Reads the current chunk's data and checks its CRC: in place from a memory stream, otherwise
  // into the chunk buffer, or behind what AppendTo holds.
  void ReadChunkBody(std::vector<Byte>* AppendTo);
  void CheckRoomFor(std::uint64_t Count);
  void PrepareColorFormat(int ColorType, int BitDepth);
  void BeginImage(TPNGPixelTarget& Target);
  void DecodePixelRows(TPNGPixelTarget& Target);
  // Reads the run of IDAT chunks from the current one on into FData, FDataSize and FDataChunkEnds;
  // the header of the chunk after the run is then the current one.
  void GatherImageData();
  // Inflates the gathered data into Out (Needed bytes) and returns how many bytes it gave: Needed,
  // or fewer when the IDAT chunks end before the compressed stream does.
  std::size_t InflateImageData(Byte* Out, std::size_t Needed);
  std::size_t InflateStreaming(Byte* Out, std::size_t Needed);
  void ApplyTransparency();
  void Progress(TPNGProgressStage Stage, Byte Percent, bool Redraw, const AnsiString& Msg);

  TColorManager FColorManager;
  TPNGImageProperties FProps;
  std::int64_t FMaxPixels = PNGMaxPixels;
  TStream* FStream = nullptr;
  std::int64_t FBasePosition = 0;
  std::int64_t FStreamEnd = 0;
  TRect FProgressRect;
  std::vector<Byte> FChunk;            // chunk bodies of streams other than memory streams
  const Byte* FBody = nullptr;         // the body of the chunk last read
  const Byte* FStreamMemory = nullptr; // the bytes of a memory stream being read
  TChunkHeader FHeader;
  std::uint32_t FCRC = 0;
  Byte FIHDR[13] = {};
  int FColorType = 0;
  int FBitDepth = 0;
  int FBytesPerPixel = 1;
  bool FFormatPrepared = false;
  bool FImageDone = false;
  TPaletteColors FPalette;
  bool FHasPalette = false;
  std::int32_t FBackgroundColor = 0xFFFFFF;
  // The raw samples of a tRNS chunk of a grey or RGB image.
  bool FHasTransparent = false;
  std::uint16_t FTransparent[3] = {};
  std::uint64_t FIDATTotal = 0;
  // The compressed image data: the bodies of the IDAT run in one piece (read in place from a
  // memory stream when one chunk holds them all, otherwise gathered in FGathered), and where each
  // of its non-empty chunks ends.
  const Byte* FData = nullptr;
  std::size_t FDataSize = 0;
  std::vector<Byte> FGathered;
  std::vector<std::size_t> FDataChunkEnds;
  TPNGLayout FLayout;
};

// ---------------------------------------------------------------------------------------------
// Clearing transparent white (portable).

// Sets every pixel of a 32-bit image whose blue, green and red are 255 and whose alpha is 0 to all
// zero. Images of other depths, and images narrower or lower than 2 pixels, stay as they are.
void ClearTransparentWhite(const TacPixels& Pixels32);

#ifdef _WIN32
#include "skin/core/acPNGGraphic.h"
#endif
