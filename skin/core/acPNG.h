// PNG images of the skin engine.
//
// The portable half reads a PNG stream (signature, chunk framing with CRC-32, zlib inflate of the
// image data, the five row filters, Adam7 interlacing) and converts each decoded row through a
// colour manager straight into the rows of a pixel target: a plain memory image natively, the
// scan lines of a device-independent bitmap on the target. The clearing of fully transparent white
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
// is allocated.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/Object.h"
#include "framework/Streams.h"
#include "framework/Types.h"

#ifdef _WIN32
#include "framework/Graphics.h"
#endif

struct TacPixels;

// Failures of the colour manager (unsupported descriptions or conversions).
T_EXCEPTION(EColorConversionError, EInvalidGraphic)
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
// Pixel descriptions and colour conversion.

// How the samples of a pixel are to be understood.
enum TColorScheme : Byte {
  cmsNone = 0,      // no conversion
  cmsIndexed = 1,   // a palette index
  cmsGrey = 2,
  cmsGreyAlpha = 3,
  cmsRGB = 4,
  cmsRGBA = 5,
  cmsBGR = 6,
  cmsBGRA = 7,
  cmsCMY = 8,       // nothing converts from it
  cmsCMYK = 9,
  cmsCIELab = 10,
  cmsYCbCr = 11,
  cmsPhotoYCC = 12,
};

// Flags of a pixel description.
enum TConversionFlag {
  cfHasAlpha,         // recomputed from the scheme whenever a converter is chosen
  cfApplyGamma,       // target side: colour samples pass through the gamma table
  cfByteSwap,         // source side: 16-bit samples are stored most significant byte first
  cfLabByteRange,     // source side, L*a*b* only: L is stored as 0..255
  cfLabChromaOffset,  // source side, L*a*b* only: a* and b* are unsigned with an offset of 128
};
using TConversionFlags = TSet<TConversionFlag>;

// The bitmap pixel format a description needs; mapped onto the bitmap class's formats on the target.
enum class TacPixelFormat : Byte { Device, Bits1, Bits4, Bits8, Bits15, Bits16, Bits24, Bits32, Custom };

// Bits per pixel of a format (0 for Device and Custom).
int PixelFormatBits(TacPixelFormat Format);

struct TPaletteColor {
  Byte R = 0;
  Byte G = 0;
  Byte B = 0;
  friend bool operator==(const TPaletteColor&, const TPaletteColor&) = default;
};
using TPaletteColors = std::vector<TPaletteColor>;

// Converts rows of pixels from a source description to a target description. The converter routine
// is chosen once per change of description and kept until a description changes again.
//
// Routines present: the low-depth routine (grey and indexed, 1, 2, 4 and 8 bits), the grey 8/16
// routine (grey and grey with alpha, 8 and 16 bits) and RGB or RGB with alpha (8 or 16 bits,
// interleaved) into BGR or BGR with alpha at 8 bits. Every other combination (RGB or BGR targets
// of other orders or depths, planar sources, indexed 16-bit data, CMYK, L*a*b*, YCbCr, PhotoYCC)
// finds no routine, and ConvertRow raises "Color conversion failed. Could not find a proper method.".
class TColorManager : public TObject {
  T_CLASS(TColorManager, TObject)

 public:
  TColorManager();

  // Back to the state after construction: 8-bit RGB source, 8-bit BGR target, no flags, gamma
  // (1.0, 2.2).
  void Reset();

  // Bits per sample: 1, 2, 4, 8 or 16; anything else raises EColorConversionError.
  Byte SourceBitsPerSample() const { return FSourceBPS; }
  void SetSourceBitsPerSample(Byte Value);
  Byte TargetBitsPerSample() const { return FTargetBPS; }
  void SetTargetBitsPerSample(Byte Value);
  // Samples per pixel: 1 to 4; anything else raises EColorConversionError.
  Byte SourceSamplesPerPixel() const { return FSourceSPP; }
  void SetSourceSamplesPerPixel(Byte Value);
  Byte TargetSamplesPerPixel() const { return FTargetSPP; }
  void SetTargetSamplesPerPixel(Byte Value);
  TColorScheme SourceColorScheme() const { return FSourceScheme; }
  void SetSourceColorScheme(TColorScheme Value);
  TColorScheme TargetColorScheme() const { return FTargetScheme; }
  void SetTargetColorScheme(TColorScheme Value);
  // The flags are set directly by the owner; the has-alpha flag follows the scheme.
  TConversionFlags SourceOptions() const { return FSourceOptions; }
  void SetSourceOptions(TConversionFlags Value) { FSourceOptions = Value; }
  TConversionFlags TargetOptions() const { return FTargetOptions; }
  void SetTargetOptions(TConversionFlags Value) { FTargetOptions = Value; }

  // The bitmap pixel format of the source (Index 0) or the target (1) description.
  TacPixelFormat PixelFormatFor(int Index) const;

  // Builds the gamma table for the exponent 1 / (MainGamma x DisplayGamma); a value of 0 or less
  // stands for 1.0 and 2.2 respectively.
  void SetGamma(float MainGamma, float DisplayGamma = 2.2f);
  float MainGamma() const { return FMainGamma; }
  float DisplayGamma() const { return FDisplayGamma; }
  const Byte* GammaTable() const { return FGammaTable; }

  // Converts Count target pixels from the source row(s) into the target row. Bit 7 - k of Mask
  // selects pixel k of every group of eight; only selected pixels are written, and only they take
  // the next source pixel. Source holds one row pointer for interleaved samples.
  void ConvertRow(std::span<const void* const> Source, void* Target, int Count, Byte Mask);

  // A palette from colour data: Format 0 or 1 takes ColorCount 8-bit triples (red, green, blue, or
  // blue, green, red when Reversed) from Data[0]; at most 256 colours; spread or gathered to the
  // target's index range the way the low-depth routine scales indexes. Other formats raise
  // EColorConversionError.
  TPaletteColors PaletteFromData(std::span<const void* const> Data, int Format, int ColorCount,
                                 bool Reversed);
  // Evenly spaced greys for the target description, black first unless WhiteFirst.
  TPaletteColors GrayPalette(bool WhiteFirst);

#ifdef _WIN32
  // The same palettes as logical palette handles owned by the caller.
  HPALETTE CreatePaletteFromData(std::span<const void* const> Data, int Format, int ColorCount,
                                 bool Reversed);
  HPALETTE CreateGrayPalette(bool WhiteFirst);
#endif

 private:
  using TRowConverter = void (TColorManager::*)(const Byte* Source, Byte* Target, int Count, Byte Mask);

  void Changed() { FChanged = true; }
  void SelectConverter();
  Byte GammaLookup(Byte Value) const;

  void RowLowDepth(const Byte* Source, Byte* Target, int Count, Byte Mask);
  void RowGrey8And16(const Byte* Source, Byte* Target, int Count, Byte Mask);
  void RowRGBToBGR8(const Byte* Source, Byte* Target, int Count, Byte Mask);

  bool FChanged = true;
  Byte FSourceBPS = 8;
  Byte FTargetBPS = 8;
  Byte FSourceSPP = 3;
  Byte FTargetSPP = 3;
  float FMainGamma = 1.0f;
  float FDisplayGamma = 2.2f;
  Byte FGammaTable[256] = {};
  TColorScheme FSourceScheme = cmsRGB;
  TColorScheme FTargetScheme = cmsBGR;
  TRowConverter FConverter = nullptr;
  TConversionFlags FSourceOptions;
  TConversionFlags FTargetOptions;
};

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

// The CRC-32 of PNG chunks (the same function as zlib's crc32). Start with 0; a null Buffer gives 0.
std::uint32_t UpdateCRC32(std::uint32_t CRC, const void* Buffer, std::size_t Count);

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
  void CheckRoomFor(std::uint64_t Count);
  void PrepareColorFormat(int ColorType, int BitDepth);
  void BeginImage(TPNGPixelTarget& Target);
  void DecodePixelRows(TPNGPixelTarget& Target);
  void InflateRow(Byte* Buffer, std::uint32_t Count);
  // False when the IDAT chunks have ended while the compressed stream has not.
  bool InflateMore();
  void ApplyTransparency();
  void Progress(TPNGProgressStage Stage, Byte Percent, bool Redraw, const AnsiString& Msg);

  TColorManager FColorManager;
  TPNGImageProperties FProps;
  TStream* FStream = nullptr;
  std::int64_t FBasePosition = 0;
  std::int64_t FStreamEnd = 0;
  TRect FProgressRect;
  TLZ77Decoder* FDecoder = nullptr;
  const Byte* FInput = nullptr;  // current input position inside the chunk buffer
  std::uint32_t FIDATSize = 0;
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
  // Inflated image data not yet taken as rows: FStaged[FStagedStart, FStagedEnd).
  std::vector<Byte> FStaged;
  std::size_t FStagedStart = 0;
  std::size_t FStagedEnd = 0;
  std::uint64_t FImageBytesLeft = 0;  // inflated bytes the image still needs
  bool FDataEnded = false;            // the IDAT chunks ended before the last row
  TPNGLayout FLayout;
};

// ---------------------------------------------------------------------------------------------
// Clearing transparent white (portable).

// Sets every pixel of a 32-bit image whose blue, green and red are 255 and whose alpha is 0 to all
// zero. Images of other depths, and images narrower or lower than 2 pixels, stay as they are.
void ClearTransparentWhite(const TacPixels& Pixels32);

// ---------------------------------------------------------------------------------------------
// The bitmap graphic (Win32).

#ifdef _WIN32

// A bitmap that loads PNG streams. Saving writes the base bitmap format.
class TPNGGraphic : public TBitmap {
  T_CLASS(TPNGGraphic, TBitmap)

 public:
  TPNGGraphic();
  ~TPNGGraphic() override;

  void LoadFromStream(TStream& Stream) override;
  // A TPNGGraphic source also gives its image properties; the pixels come through the bitmap.
  void Assign(TPersistent* Source) override;

  const TPNGImageProperties& ImageProperties() const { return FProps; }
  TColorManager& ColorManager() { return FReader.ColorManager(); }
  // The colour of a bKGD chunk (white when none), as the reader reported it.
  TColor BackgroundColor() const { return FBackgroundColor; }

  // Drawing with a mirrored, fading copy below the image.
  bool Reflected = false;

 protected:
  // 32-bit images are blended onto what the canvas shows; others draw as a plain bitmap.
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 private:
  class TBitmapTarget;
  TPNGReader FReader;
  TPNGImageProperties FProps;
  TColor FBackgroundColor = 0xFFFFFF;
};

// A new icon from a PNG graphic (owned by the caller; 0 when the system refuses). Images that are
// not 32-bit, and all images when ForceMask is set, are made 32-bit and become transparent where
// they show the colour of their top-left pixel; 32-bit images keep their alpha and get an
// all-opaque mask.
HICON MakeIconFromPNG(TPNGGraphic* Image, bool ForceMask);

// ClearTransparentWhite on the pixels of a pf32bit bitmap; bitmaps of other formats (and none)
// stay as they are.
void ClearTransparentWhite(TBitmap* Bitmap);

#endif
