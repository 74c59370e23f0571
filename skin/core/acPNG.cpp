// The PNG reader: chunks, inflating, interlacing and the pixel targets. Portable. See acPNG.h.
#include "skin/core/acPNG.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "skin/core/acInflate.h"
#include "skin/core/acPixels.h"

namespace {

const Byte PNGSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
const char* const PNGName = "PNG";

// Deflate cannot expand one input byte into more than about 1032 output bytes; image data that
// could not fill the image even at that ratio is refused before anything is allocated.
constexpr std::uint64_t MaxInflateRatio = 1040;

[[noreturn]] void RaiseInvalidFormat() {
  throw EInvalidGraphic(Format("Cannot load image. Invalid or unexpected %s image format.", PNGName));
}
[[noreturn]] void RaiseCRCError() {
  throw EInvalidGraphic(Format("Cannot load image. CRC error found in %s file.", PNGName));
}
[[noreturn]] void RaiseUnsupportedCompression() {
  throw EInvalidGraphic(
      Format("Cannot load image. %s not supported for %s files.", "The compression scheme is", PNGName));
}
[[noreturn]] void RaiseInvalidPalette() {
  throw EInvalidGraphic(Format("Cannot load image. Palette in %s file is invalid.", PNGName));
}
[[noreturn]] void RaiseInvalidColorFormat() {
  throw EInvalidGraphic(Format("Invalid color format in %s file.", PNGName));
}
[[noreturn]] void RaiseCriticalChunk() {
  throw EInvalidGraphic("Cannot load PNG image. Unexpected but critical chunk detected.");
}
[[noreturn]] void RaiseCompressionError() {
  throw EInvalidGraphic(Format("Cannot load image. Compression error found in %s file.", PNGName));
}
[[noreturn]] void RaiseExtraData() {
  throw EInvalidGraphic(Format("Cannot load image. Extra compressed data found in %s file.", PNGName));
}
[[noreturn]] void RaiseIncompleteData() {
  throw EInvalidGraphic(Format("Cannot load image. Image data in %s file is incomplete.", PNGName));
}
[[noreturn]] void RaiseNoImageData() {
  throw EInvalidGraphic(Format("Cannot load image. No image data found in %s file.", PNGName));
}
[[noreturn]] void RaiseInvalidChunkLength() {
  throw EInvalidGraphic(Format("Cannot load image. Invalid chunk length in %s file.", PNGName));
}
[[noreturn]] void RaiseTooLarge(std::uint32_t W, std::uint32_t H) {
  throw EInvalidGraphic(Format("Cannot load image. The %s image is too large (%u x %u pixels).", PNGName,
                               static_cast<unsigned>(W), static_cast<unsigned>(H)));
}
[[noreturn]] void RaiseStreamReadError() { throw EReadError("Stream read error"); }

std::uint32_t ReadBE32(const Byte* P) {
  return (std::uint32_t{P[0]} << 24) | (std::uint32_t{P[1]} << 16) | (std::uint32_t{P[2]} << 8) | P[3];
}
std::uint16_t ReadBE16(const Byte* P) { return static_cast<std::uint16_t>((P[0] << 8) | P[1]); }

constexpr std::int32_t RGBColor(int R, int G, int B) { return R | (G << 8) | (B << 16); }

// The leading bytes of a gAMA, bKGD or tRNS body that the reader reads for an image of ColorType:
// a longer body is read by them, a shorter one skipped like a chunk of no meaning.
std::uint32_t AncillaryLength(const char* Type, int ColorType) {
  const bool Grey = ColorType == 0 || ColorType == 4, Rgb = ColorType == 2 || ColorType == 6;
  if (std::strcmp(Type, "gAMA") == 0) return 4;
  if (std::strcmp(Type, "bKGD") == 0) return Grey ? 2 : Rgb ? 6 : 1;
  return ColorType == 0 ? 2 : ColorType == 2 ? 6 : 0;  // tRNS; no effect on the other types
}

// ---- Adam7 --------------------------------------------------------------------------------------

const int Adam7RowStart[7] = {0, 0, 4, 0, 2, 0, 1};
const int Adam7ColumnStart[7] = {0, 4, 0, 2, 0, 1, 0};
const int Adam7RowStep[7] = {8, 8, 8, 4, 4, 2, 2};
const int Adam7ColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};
const Byte Adam7Mask[7] = {0x80, 0x08, 0x88, 0x22, 0xAA, 0x55, 0xFF};

// Bytes of one filtered row (filter byte included) for Columns pixels.
std::uint64_t RowBytes(std::uint64_t Columns, int BitDepth, int Samples) {
  return (Columns * static_cast<std::uint64_t>(BitDepth) + 7) / 8 * static_cast<std::uint64_t>(Samples) + 1;
}

}  // namespace

// =================================================================================================
// TLZ77Decoder

TLZ77Decoder::TLZ77Decoder(int FlushMode, bool AutoReset) : FFlushMode(FlushMode), FAutoReset(AutoReset) {
  std::memset(&FStream, 0, sizeof(FStream));
}

TLZ77Decoder::~TLZ77Decoder() {
  if (FStarted) inflateEnd(&FStream);
}

void TLZ77Decoder::StartInflate() {
  if (inflateInit(&FStream) < 0) throw EGraphicCompression("LZ77 decompression error.");
  FStarted = true;
  FLastResult = Z_OK;
}

void TLZ77Decoder::InflateChunk(const Byte*& Source, Byte*& Dest, std::uint32_t PackedSize,
                                std::uint32_t UnpackedSize) {
  FStream.next_in = const_cast<Byte*>(Source);
  FStream.avail_in = PackedSize;
  if (FAutoReset) FLastResult = inflateReset(&FStream);
  if (FLastResult != Z_OK) return;
  FStream.next_out = Dest;
  FStream.avail_out = UnpackedSize;
  FLastResult = inflate(&FStream, FFlushMode);
  Source = FStream.next_in;
  Dest = FStream.next_out;
}

void TLZ77Decoder::SkipStreamChecksum() {
  if (FStarted) inflateValidate(&FStream, 0);
}

void TLZ77Decoder::EndInflate() {
  if (!FStarted) return;
  FStarted = false;
  if (inflateEnd(&FStream) < 0) throw EGraphicCompression("LZ77 decompression error.");
}

// =================================================================================================
// Pixel targets

namespace {
std::size_t StrideFor(const TPNGLayout& Layout) {
  const std::uint64_t Bits = static_cast<std::uint64_t>(Layout.Width) * PixelFormatBits(Layout.PixelFormat);
  return static_cast<std::size_t>((Bits + 31) / 32 * 4);
}
}  // namespace

void TPNGPixelBuffer::Begin(const TPNGLayout& ALayout) {
  Layout = ALayout;
  Stride = StrideFor(Layout);
  Pixels.assign(Stride * static_cast<std::size_t>(Layout.Height), 0);
}

void TPNGRowSink::Begin(const TPNGLayout& ALayout) {
  Layout = ALayout;
  RowBuffer.assign(StrideFor(Layout), 0);
  ++Began;
}

// =================================================================================================
// TPNGReader

void TPNGReader::Progress(TPNGProgressStage Stage, Byte Percent, bool Redraw, const AnsiString& Msg) {
  if (OnProgress) OnProgress(Stage, Percent, Redraw, FProgressRect, Msg);
}

void TPNGReader::CheckRoomFor(std::uint64_t Count) {
  const std::int64_t Pos = FStream->Position();
  if (Pos > FStreamEnd || static_cast<std::uint64_t>(FStreamEnd - Pos) < Count) RaiseStreamReadError();
}

void TPNGReader::ReadChunkHead() {
  Byte Head[8];
  FStream->ReadBuffer(Head, 8);
  FHeader.Length = ReadBE32(Head);
  std::memcpy(FHeader.Type, Head + 4, 4);
  if (FHeader.Length > PNGMaxChunkLength) RaiseInvalidChunkLength();
  FCRC = UpdateCRC32(0, FHeader.Type, 4);
}

void TPNGReader::ReadChunkBody() { ReadChunkBody(nullptr); }

void TPNGReader::ReadChunkBody(std::vector<Byte>* AppendTo) {
  CheckRoomFor(std::uint64_t{FHeader.Length} + 4);
  if (FStreamMemory != nullptr) {
    // A memory stream's bytes are read where they are.
    FBody = FStreamMemory + FStream->Position();
    FStream->Seek(FHeader.Length, soCurrent);
  } else {
    std::vector<Byte>& Buffer = AppendTo != nullptr ? *AppendTo : FChunk;
    const std::size_t At = AppendTo != nullptr ? Buffer.size() : 0;
    Buffer.resize(At + FHeader.Length);
    if (FHeader.Length > 0) FStream->ReadBuffer(Buffer.data() + At, FHeader.Length);
    FBody = Buffer.data() + At;
  }
  Byte Tail[4];
  FStream->ReadBuffer(Tail, 4);
  if (FHeader.Length > 0) FCRC = UpdateCRC32(FCRC, FBody, FHeader.Length);
  if (FCRC != ReadBE32(Tail)) RaiseCRCError();
}

void TPNGReader::SkipChunk() {
  CheckRoomFor(std::uint64_t{FHeader.Length} + 4);
  FStream->Seek(static_cast<std::int64_t>(FHeader.Length) + 4, soCurrent);
}

bool TPNGReader::ChunkIs(const char* Type) const {
  std::uint32_t a, b;
  std::memcpy(&a, FHeader.Type, 4);
  std::memcpy(&b, Type, 4);
  return (a & 0xDFDFDFDFu) == (b & 0xDFDFDFDFu);
}

bool TPNGReader::ScanProperties() {
  FProps = TPNGImageProperties{};
  FProps.FileGamma = 1.0f;
  Byte Signature[8];
  if (FStream->Read(Signature, 8) != 8 || std::memcmp(Signature, PNGSignature, 8) != 0) return false;

  ReadChunkHead();
  if (!ChunkIs("IHDR") || FHeader.Length != 13) return false;
  FProps.Options.Include(pioHeaderRead);
  ReadChunkBody();
  const std::uint32_t Width = ReadBE32(FBody), Height = ReadBE32(FBody + 4);
  if (Width == 0 || Height == 0 || Width > 0x7FFFFFFFu || Height > 0x7FFFFFFFu) return false;
  if (Width > static_cast<std::uint32_t>(PNGMaxSide) || Height > static_cast<std::uint32_t>(PNGMaxSide) ||
      std::uint64_t{Width} * Height > static_cast<std::uint64_t>(FMaxPixels))
    RaiseTooLarge(Width, Height);

  const int Depth = FBody[8], ColorType = FBody[9];
  FProps.Width = static_cast<int>(Width);
  FProps.Height = static_cast<int>(Height);
  switch (ColorType) {
    case 0: FProps.ColorScheme = cmsGrey; break;
    case 2: FProps.ColorScheme = cmsRGB; break;
    case 3: FProps.ColorScheme = cmsIndexed; break;
    case 4: FProps.ColorScheme = cmsGreyAlpha; break;
    case 6: FProps.ColorScheme = cmsRGBA; break;
    default: FProps.ColorScheme = cmsNone; break;
  }
  FProps.BitsPerSample = static_cast<Byte>(Depth);
  FProps.SamplesPerPixel = ColorType == 2 ? 3 : ColorType == 6 ? 4 : 1;
  FProps.BitsPerPixel = static_cast<Byte>(FProps.SamplesPerPixel * Depth);
  FProps.Compression = FBody[10] == 0 ? 2 : 0;
  FProps.FilterMode = FBody[11];
  FProps.Interlaced = FBody[12] != 0;
  FProps.HasAlpha = FProps.ColorScheme == cmsGreyAlpha || FProps.ColorScheme == cmsRGBA ||
                    FProps.ColorScheme == cmsBGRA;

  // Walk the chunk framing up to IEND: the first gAMA gives the file gamma, the IDAT lengths bound
  // what the image data can hold.
  bool GammaSeen = false;
  for (;;) {
    ReadChunkHead();
    if (!GammaSeen && ChunkIs("gAMA") && FHeader.Length >= AncillaryLength("gAMA", ColorType)) {
      ReadChunkBody();
      FProps.FileGamma = static_cast<float>(ReadBE32(FBody) / 100000.0);
      GammaSeen = true;
      continue;
    }
    if (ChunkIs("IDAT")) FIDATTotal += FHeader.Length;
    SkipChunk();
    if (ChunkIs("IEND")) break;
  }
  return true;
}

void TPNGReader::PrepareColorFormat(int ColorType, int BitDepth) {
  TColorManager& CM = FColorManager;
  auto Set = [&CM](TColorScheme SS, int SSamples, int SBits, TColorScheme TS, int TSamples, int TBits) {
    CM.SetSourceColorScheme(SS);
    CM.SetSourceSamplesPerPixel(static_cast<Byte>(SSamples));
    CM.SetSourceBitsPerSample(static_cast<Byte>(SBits));
    CM.SetTargetColorScheme(TS);
    CM.SetTargetSamplesPerPixel(static_cast<Byte>(TSamples));
    CM.SetTargetBitsPerSample(static_cast<Byte>(TBits));
  };
  FLayout.Palette.clear();
  switch (ColorType) {
    case 0:
      if (!ValidBitsPerSample(BitDepth)) RaiseInvalidColorFormat();
      Set(cmsGrey, 1, BitDepth, cmsGrey, 1, BitDepth == 2 ? 4 : BitDepth == 16 ? 8 : BitDepth);
      FLayout.Palette = CM.GrayPalette(false);
      FBytesPerPixel = (BitDepth + 7) / 8;
      break;
    case 2:
      if (BitDepth != 8 && BitDepth != 16) RaiseInvalidColorFormat();
      Set(cmsRGB, 3, BitDepth, cmsBGR, 3, 8);
      FBytesPerPixel = BitDepth * 3 / 8;
      break;
    case 3:
      if (BitDepth != 1 && BitDepth != 2 && BitDepth != 4 && BitDepth != 8) RaiseInvalidColorFormat();
      Set(cmsIndexed, 1, BitDepth, cmsIndexed, 1, BitDepth == 2 ? 4 : BitDepth);
      FBytesPerPixel = 1;
      break;
    case 4:
      if (BitDepth != 8 && BitDepth != 16) RaiseInvalidColorFormat();
      Set(cmsGreyAlpha, 1, BitDepth, cmsIndexed, 1, 8);
      FLayout.Palette = CM.GrayPalette(false);
      FBytesPerPixel = BitDepth * 2 / 8;
      break;
    case 6:
      if (BitDepth != 8 && BitDepth != 16) RaiseInvalidColorFormat();
      Set(cmsRGBA, 4, BitDepth, cmsBGRA, 4, 8);
      FBytesPerPixel = BitDepth * 4 / 8;
      break;
    default:
      RaiseInvalidColorFormat();
  }
  FLayout.PixelFormat = CM.PixelFormatFor(1);
  FFormatPrepared = true;
}

void TPNGReader::ApplyTransparency() {
  FLayout.TransparentColor = 0x1FFFFFFF;
  if (!FHasTransparent) return;
  if (FColorType == 0) {
    // The colour the bitmap shows for the grey sample: its palette entry at the converted index.
    const unsigned Max = FBitDepth >= 8 ? 0xFFFFu : (1u << FBitDepth) - 1;
    unsigned v = FTransparent[0] & Max;
    unsigned Index;
    if (FBitDepth == 16)
      Index = v / 257;
    else if (FBitDepth == 8)
      Index = v & 0xFF;
    else {
      const unsigned TargetMax = (1u << FColorManager.TargetBitsPerSample()) - 1;
      Index = v * TargetMax / Max;
    }
    if (Index < FLayout.Palette.size()) {
      const TPaletteColor& c = FLayout.Palette[Index];
      FLayout.TransparentColor = RGBColor(c.R, c.G, c.B);
    }
  } else if (FColorType == 2) {
    Byte c[3];
    for (int i = 0; i < 3; ++i) {
      const unsigned v = FBitDepth == 16 ? FTransparent[i] / 257u : FTransparent[i] & 0xFFu;
      c[i] = FColorManager.TargetOptions().Contains(cfApplyGamma) ? FColorManager.GammaTable()[v]
                                                                  : static_cast<Byte>(v);
    }
    FLayout.TransparentColor = RGBColor(c[0], c[1], c[2]);
  }
}

void TPNGReader::BeginImage(TPNGPixelTarget& Target) {
  FLayout.Width = FProps.Width;
  FLayout.Height = FProps.Height;
  if (FColorType == 3) FLayout.Palette = FHasPalette ? FPalette : TPaletteColors{};
  FLayout.BackgroundColor = FBackgroundColor;
  ApplyTransparency();
  Target.Begin(FLayout);
}

void TPNGReader::Load(TStream& Stream, TPNGPixelTarget& Target) {
  FStream = &Stream;
  auto* Memory = dynamic_cast<TCustomMemoryStream*>(&Stream);
  FStreamMemory = Memory != nullptr ? static_cast<const Byte*>(Memory->Memory()) : nullptr;
  FBody = nullptr;
  FColorManager.Reset();
  FBasePosition = Stream.Position();
  FStreamEnd = Stream.Size();
  FIDATTotal = 0;
  FData = nullptr;
  FDataSize = 0;
  FChunk.clear();
  FHeader = TChunkHeader{};
  FFormatPrepared = false;
  FImageDone = false;
  FPalette.clear();
  FHasPalette = false;
  FHasTransparent = false;
  FLayout = TPNGLayout{};
  FBytesPerPixel = 1;

  auto Finish = [&] {
    FChunk.clear();
    FChunk.shrink_to_fit();
    std::vector<Byte>().swap(FGathered);
    FData = nullptr;
    FDataSize = 0;
    Progress(TPNGProgressStage::Ending, 0, false, "");
  };

  try {
    if (!ScanProperties()) RaiseInvalidFormat();
    Stream.SetPosition(FBasePosition + 8);
    FProgressRect = Rect(0, 0, FProps.Width, 1);
    Progress(TPNGProgressStage::Starting, 0, false, "Preparing...");
    FBackgroundColor = 0xFFFFFF;

    ReadChunkHead();
    ReadChunkBody();
    std::memcpy(FIHDR, FBody, 13);
    FBitDepth = FIHDR[8];
    FColorType = FIHDR[9];
    FColorManager.SetSourceOptions(TConversionFlags{cfByteSwap});
    if (FProps.Compression != 2) RaiseUnsupportedCompression();

    ReadChunkHead();
    for (;;) {
      bool Handled = true;
      if (ChunkIs("IDAT")) {
        // Image data comes in one run of IDAT chunks.
        if (FImageDone) RaiseCriticalChunk();
        Progress(TPNGProgressStage::Ending, 0, false, "");
        DecodePixelRows(Target);
        FImageDone = true;
        Handled = false;  // the chunk after the run is not interpreted
      } else if (ChunkIs("PLTE")) {
        if (FHeader.Length % 3 != 0) RaiseInvalidPalette();
        ReadChunkBody();
        if (FColorType == 3 && !FImageDone) {
          PrepareColorFormat(FColorType, FBitDepth);
          const void* Data[1] = {FBody};
          FPalette = FColorManager.PaletteFromData(Data, 0, static_cast<int>(FHeader.Length / 3), false);
          FHasPalette = true;
        }
      } else if (ChunkIs("gAMA") && FHeader.Length >= AncillaryLength("gAMA", FColorType)) {
        ReadChunkBody();
        const float Gamma = static_cast<float>(ReadBE32(FBody) / 100000.0);
        FColorManager.SetGamma(Gamma, 2.2f);
        FColorManager.SetTargetOptions(FColorManager.TargetOptions() + cfApplyGamma);
        FProps.Options.Include(pioGammaApplied);
      } else if (ChunkIs("bKGD") && FHeader.Length >= AncillaryLength("bKGD", FColorType)) {
        ReadChunkBody();
        auto Reduce = [this](const Byte* P) -> int {
          const unsigned v = ReadBE16(P);
          if (FBitDepth == 16) return static_cast<int>(v * 255u / 65535u);
          if (FBitDepth == 2) return static_cast<int>(v * 15u / 3u) & 0xFF;
          return static_cast<int>(v & 0xFF);
        };
        if (FColorType == 0 || FColorType == 4)
          FBackgroundColor = Reduce(FBody);
        else if (FColorType == 2 || FColorType == 6)
          FBackgroundColor = RGBColor(Reduce(FBody), Reduce(FBody + 2), Reduce(FBody + 4));
        else
          FBackgroundColor = FBody[0];
      } else if (ChunkIs("tRNS") && FHeader.Length >= AncillaryLength("tRNS", FColorType)) {
        ReadChunkBody();
        if (FColorType == 0 || FColorType == 2) {
          for (std::uint32_t i = 0; i < AncillaryLength("tRNS", FColorType) / 2; ++i)
            FTransparent[i] = ReadBE16(FBody + 2 * i);
          FHasTransparent = true;
        }
      } else {
        Handled = false;
      }
      if (!Handled) {
        SkipChunk();
        if (ChunkIs("IEND")) break;
        if ((FHeader.Type[0] & 0x20) == 0) RaiseCriticalChunk();
      }
      ReadChunkHead();
    }
    if (!FImageDone) RaiseNoImageData();
  } catch (...) {
    Finish();
    throw;
  }
  Finish();
}

void TPNGReader::DecodePixelRows(TPNGPixelTarget& Target) {
  Progress(TPNGProgressStage::Starting, 0, false, "Transfering...");
  if (!FFormatPrepared) PrepareColorFormat(FColorType, FBitDepth);
  const int Samples = FBitDepth == 16 ? FBytesPerPixel / 2 : FBytesPerPixel;
  const int Width = FProps.Width, Height = FProps.Height;
  const bool Adam7 = FIHDR[12] == 1;

  // The filtered size of the whole image; data that cannot inflate to it is refused up front.
  std::uint64_t Needed = 0;
  if (Adam7) {
    for (int Pass = 0; Pass < 7; ++Pass) {
      if (Width <= Adam7ColumnStart[Pass] || Height <= Adam7RowStart[Pass]) continue;
      const std::uint64_t Columns =
          static_cast<std::uint64_t>(Width - Adam7ColumnStart[Pass] + Adam7ColumnStep[Pass] - 1) / Adam7ColumnStep[Pass];
      const std::uint64_t Rows =
          static_cast<std::uint64_t>(Height - Adam7RowStart[Pass] + Adam7RowStep[Pass] - 1) / Adam7RowStep[Pass];
      Needed += Rows * RowBytes(Columns, FBitDepth, Samples);
    }
  } else {
    Needed = static_cast<std::uint64_t>(Height) * RowBytes(static_cast<std::uint64_t>(Width), FBitDepth, Samples);
  }
  if (Needed > FIDATTotal * MaxInflateRatio + 1024) RaiseIncompleteData();

  BeginImage(Target);

  // The filtered rows of the whole image in one piece, inflated from the gathered image data; the
  // rows (or the part of a row) that the data does not reach stay zero. Each row is unfiltered in
  // place against the row above it, already unfiltered.
  GatherImageData();
  const auto Size = static_cast<std::size_t>(Needed);
  std::unique_ptr<Byte[]> Filtered(new Byte[Size]);
  const std::size_t Got = InflateImageData(Filtered.get(), Size);
  std::memset(Filtered.get() + Got, 0, Size - Got);
  std::vector<Byte>().swap(FGathered);
  FData = nullptr;
  FDataSize = 0;

  const std::uint64_t FullRowSize = RowBytes(static_cast<std::uint64_t>(Width), FBitDepth, Samples);
  // The row above the first row of the image, and of every pass.
  const std::vector<Byte> Zero(static_cast<std::size_t>(FullRowSize), 0);
  Byte* Next = Filtered.get();
  auto DecodeRow = [&](std::size_t RowSize, int Y, Byte Mask, const Byte* Above) {
    Byte* Row = Next;
    Next += RowSize;
    UnfilterRow(Row[0], Row + 1, Above + 1, RowSize - 1, FBytesPerPixel);
    const void* Source[1] = {Row + 1};
    FColorManager.ConvertRow(Source, Target.Row(Y), Width, Mask);
    return Row;
  };

  if (Adam7) {
    for (int Pass = 0; Pass < 7; ++Pass) {
      if (Width <= Adam7ColumnStart[Pass]) continue;
      const std::uint64_t Columns =
          static_cast<std::uint64_t>(Width + Adam7ColumnStep[Pass] - 1 - Adam7ColumnStart[Pass]) / Adam7ColumnStep[Pass];
      const auto RowSize = static_cast<std::size_t>(RowBytes(Columns, FBitDepth, Samples));
      const Byte* Above = Zero.data();
      for (int y = Adam7RowStart[Pass]; y < Height; y += Adam7RowStep[Pass]) {
        Above = DecodeRow(RowSize, y, Adam7Mask[Pass], Above);
        if (Pass == 6) {
          const int Percent = std::min<std::int64_t>(100, (static_cast<std::int64_t>(y + 2) * 100 + Height / 2) / Height);
          Progress(TPNGProgressStage::Running, static_cast<Byte>(Percent), true, "");
          FProgressRect.Offset(0, 1);
        }
      }
    }
  } else {
    const Byte* Above = Zero.data();
    for (int y = 0; y < Height; ++y) {
      Above = DecodeRow(static_cast<std::size_t>(FullRowSize), y, 0xFF, Above);
      Progress(TPNGProgressStage::Running, static_cast<Byte>(static_cast<std::int64_t>(y) * 100 / Height), true, "");
      FProgressRect.Offset(0, 1);
    }
  }
}

void TPNGReader::GatherImageData() {
  FGathered.clear();
  FDataChunkEnds.clear();
  FDataSize = 0;
  // A memory stream's first non-empty chunk is used in place; a second one starts the gathering.
  const Byte* First = nullptr;
  while (ChunkIs("IDAT")) {
    if (FStreamMemory == nullptr) {
      if (FGathered.empty()) FGathered.reserve(static_cast<std::size_t>(FIDATTotal));
      ReadChunkBody(&FGathered);
    } else {
      ReadChunkBody();
      if (FHeader.Length > 0) {
        if (FDataSize == 0) {
          First = FBody;
        } else {
          if (FGathered.empty()) {
            FGathered.reserve(static_cast<std::size_t>(FIDATTotal));
            FGathered.assign(First, First + FDataSize);
          }
          FGathered.insert(FGathered.end(), FBody, FBody + FHeader.Length);
        }
      }
    }
    if (FHeader.Length > 0) {
      FDataSize += FHeader.Length;
      FDataChunkEnds.push_back(FDataSize);
    }
    ReadChunkHead();
  }
  FData = FGathered.empty() ? First : FGathered.data();
}

std::size_t TPNGReader::InflateImageData(Byte* Out, std::size_t Needed) {
  // A sound stream that gives exactly the image and ends with the data: one call.
  std::size_t Used = 0;
  if (FDataSize > 0 && TacWholeInflater().Inflate(FData, FDataSize, Out, Needed, Used) && Used == FDataSize)
    return Needed;
  return InflateStreaming(Out, Needed);
}

std::size_t TPNGReader::InflateStreaming(Byte* Out, std::size_t Needed) {
  TLZ77Decoder Decoder(Z_PARTIAL_FLUSH, false);
  Decoder.StartInflate();
  // Every byte of the image data lies under the CRC-32 of its IDAT chunk, which is checked; the
  // compressed stream's own Adler-32 over the inflated bytes would check them a second time.
  Decoder.SkipStreamChecksum();
  std::size_t Produced = 0;
  std::size_t ChunkStart = 0;
  for (const std::size_t ChunkEnd : FDataChunkEnds) {
    const Byte* Input = FData + ChunkStart;
    ChunkStart = ChunkEnd;
    while (Input < FData + ChunkEnd) {
      // Never more than the image still needs: data past the image stays uninflated.
      const auto Room = static_cast<std::uint32_t>(std::min<std::size_t>(Needed - Produced, UINT32_MAX));
      const auto Unread = static_cast<std::uint32_t>(FData + ChunkEnd - Input);
      const Byte* InBefore = Input;
      Byte* Dest = Out + Produced;
      Decoder.InflateChunk(Input, Dest, Unread, Room);
      const auto Made = static_cast<std::size_t>(Dest - (Out + Produced));
      Produced += Made;
      const int Result = Decoder.LastResult();
      if (Result == Z_STREAM_END) {
        // The stream ended before the image was complete, or with data left in its chunk.
        if (Produced < Needed || Decoder.InputLeft() > 0) RaiseExtraData();
        Decoder.EndInflate();
        return Produced;
      }
      if (Result != Z_OK) RaiseCompressionError();
      if (Made == 0 && Input == InBefore) RaiseCompressionError();
      if (Produced == Needed) {
        Decoder.EndInflate();
        return Produced;
      }
    }
  }
  // The IDAT chunks ended before the compressed stream did.
  Decoder.EndInflate();
  return Produced;
}

// =================================================================================================
// Clearing transparent white

void ClearTransparentWhite(const TacPixels& Pixels32) {
  TacFast32 Fast;
  if (!Fast.Attach(Pixels32)) return;
  // White with alpha 0 as the accessor reads it: R | G shl 8 | B shl 16 | A shl 24.
  constexpr TColor TransparentWhite = 0x00FFFFFF;
  for (int y = 0; y < Fast.Height(); ++y)
    for (int x = 0; x < Fast.Width(); ++x)
      if (Fast.GetPixel(x, y) == TransparentWhite) Fast.SetPixel(x, y, 0);
}

