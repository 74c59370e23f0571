// The PNG reader, the colour manager and the clearing of transparent white, on generated images:
// every colour type and depth, interlaced or not, with gamma and transparency, files from our own
// writer and (natively) from an independent encoder and decoder, the reader's edge cases, and a
// battery of corrupt, truncated and hostile inputs that must each raise the reader's exception.
#include <gtest/gtest.h>

#include <csetjmp>
#include <memory>

#include "skin_core/pixels_test_support.h"
#include "skin_core/png_test_support.h"

#if !defined(_WIN32) && __has_include(<png.h>)
#include <png.h>
#define PNG_TEST_HAVE_REFERENCE 1
#endif

using namespace pngtest;

namespace {

// Runs Fn and returns the message of the reader exception it raises ("" when it raises none).
// Anything that is not an Exception fails the test.
template <class F>
std::string LoadError(F&& Fn) {
  try {
    Fn();
  } catch (const EInvalidGraphic& e) {
    EXPECT_FALSE(e.Message.empty());
    return e.Message;
  } catch (const EReadError& e) {
    return e.Message;
  } catch (const Exception& e) {
    ADD_FAILURE() << "unexpected exception class " << e.ClassName() << ": " << e.Message;
    return e.Message;
  }
  return "";
}

std::string DecodeError(const Bytes& Data) { return LoadError([&] { Decode(Data); }); }

// Position of the first chunk of the given type in a PNG file.
std::size_t FindChunk(const Bytes& Png, const char* Type) {
  for (std::size_t i = 8; i + 8 <= Png.size();) {
    if (std::memcmp(&Png[i + 4], Type, 4) == 0) return i;
    const std::uint32_t Len = (Png[i] << 24) | (Png[i + 1] << 16) | (Png[i + 2] << 8) | Png[i + 3];
    i += 12 + Len;
  }
  return std::string::npos;
}

// A file assembled from IHDR and the given chunks: signature, IHDR, Chunks..., and no IEND of its own.
Bytes Assemble(const Bytes& IHDR, std::initializer_list<Bytes> Chunks) {
  Bytes Out = Signature();
  Append(Out, Chunk("IHDR", IHDR));
  for (const Bytes& c : Chunks) Append(Out, c);
  return Out;
}

Bytes IDATOf(const Image& im) { return Chunk("IDAT", Deflate(FilteredData(im))); }
Bytes IEND() { return Chunk("IEND", {}); }

const char* const InvalidFormat = "Cannot load image. Invalid or unexpected PNG image format.";
const char* const CRCError = "Cannot load image. CRC error found in PNG file.";
const char* const CriticalChunk = "Cannot load PNG image. Unexpected but critical chunk detected.";
const char* const Incomplete = "Cannot load image. Image data in PNG file is incomplete.";

}  // namespace

// ---- Decoding against the samples ---------------------------------------------------------------

TEST(PNGDecode, EveryColourTypeDepthAndInterlaceShowsItsSamples) {
  const int Sizes[][2] = {{1, 1}, {5, 3}, {13, 9}, {33, 17}};
  std::uint32_t Seed = 1;
  for (const Kind& k : AllKinds())
    for (bool Interlaced : {false, true})
      for (const auto& s : Sizes) {
        Image im = RandomImage(s[0], s[1], k.ColorType, k.Depth, Seed++);
        im.Interlaced = Interlaced;
        WriteOptions O;
        O.IDATSplit = Seed % 3 == 0 ? 7 : 0;  // image data spread over many chunks
        O.EmptyIDATFirst = Seed % 2 == 0;
        O.FilterShift = static_cast<int>(Seed % 5);
        SCOPED_TRACE(testing::Message() << "type " << k.ColorType << " depth " << k.Depth << " interlaced "
                                        << Interlaced << " size " << s[0] << "x" << s[1]);
        const TPNGPixelBuffer Buf = Decode(Encode(im, O));
        EXPECT_EQ(FirstMismatch(im, Buf), "");
        EXPECT_EQ(Buf.Layout.TransparentColor, 0x1FFFFFFF);
      }
}

TEST(PNGDecode, PixelFormatsFollowTheColourType) {
  struct {
    int Type, Depth;
    TacPixelFormat Format;
    std::size_t PaletteSize;
  } const Cases[] = {
      {0, 1, TacPixelFormat::Bits1, 2},   {0, 2, TacPixelFormat::Bits4, 16},  {0, 4, TacPixelFormat::Bits4, 16},
      {0, 8, TacPixelFormat::Bits8, 256}, {0, 16, TacPixelFormat::Bits8, 256}, {2, 8, TacPixelFormat::Bits24, 0},
      {2, 16, TacPixelFormat::Bits24, 0}, {3, 1, TacPixelFormat::Bits1, 2},   {3, 2, TacPixelFormat::Bits4, 16},
      {3, 4, TacPixelFormat::Bits4, 16},  {3, 8, TacPixelFormat::Bits8, 256}, {4, 8, TacPixelFormat::Bits8, 256},
      {4, 16, TacPixelFormat::Bits8, 256}, {6, 8, TacPixelFormat::Bits32, 0}, {6, 16, TacPixelFormat::Bits32, 0},
  };
  for (const auto& c : Cases) {
    const TPNGPixelBuffer Buf = Decode(Encode(RandomImage(3, 2, c.Type, c.Depth, 7)));
    EXPECT_EQ(Buf.Layout.PixelFormat, c.Format) << c.Type << "/" << c.Depth;
    EXPECT_EQ(Buf.Layout.Palette.size(), c.PaletteSize) << c.Type << "/" << c.Depth;
  }
}

TEST(PNGDecode, GammaCorrectsColoursAndPalettesButNotAlpha) {
  for (const Kind& k : AllKinds())
    for (std::uint32_t Gamma : {45455u, 100000u, 220000u}) {
      Image im = RandomImage(9, 5, k.ColorType, k.Depth, Gamma + k.Depth);
      im.Gamma = Gamma;
      im.Interlaced = k.Depth == 8;
      SCOPED_TRACE(testing::Message() << "type " << k.ColorType << " depth " << k.Depth << " gamma " << Gamma);
      TPNGReader R;
      const TPNGPixelBuffer Buf = Decode(Encode(im), &R);
      EXPECT_EQ(FirstMismatch(im, Buf), "");
      EXPECT_TRUE(R.ImageProperties().Options.Contains(pioGammaApplied));
      EXPECT_FLOAT_EQ(R.ImageProperties().FileGamma, static_cast<float>(Gamma / 100000.0));
    }
  // A file gamma of 1.0 brightens: mid grey 128 shows as round(255 x (128 / 255) ^ (1 / 2.2)).
  Image Grey = RandomImage(1, 1, 0, 8, 1);
  Grey.Samples = {128};
  Grey.Gamma = 100000;
  const TPNGPixelBuffer Buf = Decode(Encode(Grey));
  EXPECT_EQ(PixelColor(Buf, 0, 0).R, 186);
}

TEST(PNGDecode, TransparentColourIsTheColourTheImageShows) {
  // Grey at every depth and RGB at both depths: the tRNS sample, as the decoded bitmap shows it.
  for (const Kind& k : AllKinds()) {
    if (k.ColorType != 0 && k.ColorType != 2) continue;
    for (std::uint32_t Gamma : {0u, 45455u, 100000u}) {
      Image im = RandomImage(4, 4, k.ColorType, k.Depth, 99);
      im.Gamma = Gamma;
      for (int c = 0; c < im.Channels(); ++c) im.Trns.push_back(im.At(1, 1, c));
      const TPNGPixelBuffer Buf = Decode(Encode(im));
      const RGBA e = ExpectedColor(im, 1, 1);
      EXPECT_EQ(Buf.Layout.TransparentColor, e.R | (e.G << 8) | (e.B << 16))
          << "type " << k.ColorType << " depth " << k.Depth << " gamma " << Gamma;
    }
  }
  // tRNS of images with an alpha channel or a palette changes nothing.
  Image Rgba = RandomImage(3, 3, 6, 8, 5);
  const Bytes WithTrns =
      Assemble(IHDRData(3, 3, 8, 6, 0), {Chunk("tRNS", Bytes{0, 1, 0, 2, 0, 3}), IDATOf(Rgba), IEND()});
  const TPNGPixelBuffer Buf = Decode(WithTrns);
  EXPECT_EQ(Buf.Layout.TransparentColor, 0x1FFFFFFF);
  EXPECT_EQ(FirstMismatch(Rgba, Buf), "");
}

// ---- The reader's own edge cases ----------------------------------------------------------------

TEST(PNGDecode, TwoBitIndexedBecomesFourBitWithASpreadPalette) {
  Image im = RandomImage(4, 1, 3, 2, 3);
  im.Samples = {0, 1, 2, 3};
  const TPNGPixelBuffer Buf = Decode(Encode(im));
  ASSERT_EQ(Buf.Layout.PixelFormat, TacPixelFormat::Bits4);
  EXPECT_EQ(Buf.Row(0)[0], 0x05);  // indexes 0 and 5
  EXPECT_EQ(Buf.Row(0)[1], 0xAF);  // indexes 10 and 15
  ASSERT_EQ(Buf.Layout.Palette.size(), 16u);
  for (int i = 0; i < 16; ++i) {
    const int k = std::min(i / 5, 3);
    EXPECT_EQ(Buf.Layout.Palette[i], (TPaletteColor{im.Palette[3 * k], im.Palette[3 * k + 1], im.Palette[3 * k + 2]}))
        << i;
  }
}

TEST(PNGDecode, SixteenBitGreyReducesByTruncation) {
  Image im = RandomImage(4, 1, 0, 16, 3);
  im.Samples = {65535, 65534, 257, 256};
  const TPNGPixelBuffer Buf = Decode(Encode(im));
  ASSERT_EQ(Buf.Layout.PixelFormat, TacPixelFormat::Bits8);
  EXPECT_EQ(Buf.Row(0)[0], 255);
  EXPECT_EQ(Buf.Row(0)[1], 254);
  EXPECT_EQ(Buf.Row(0)[2], 1);
  EXPECT_EQ(Buf.Row(0)[3], 0);
  EXPECT_EQ(Buf.Layout.Palette[200], (TPaletteColor{200, 200, 200}));
}

TEST(PNGDecode, PaletteRules) {
  // Gamma before PLTE corrects the palette; gamma after it does not.
  Image im = RandomImage(6, 2, 3, 8, 4);
  im.Gamma = 100000;
  WriteOptions After;
  After.GammaBeforePalette = false;
  const TPNGPixelBuffer Before = Decode(Encode(im));
  EXPECT_EQ(FirstMismatch(im, Before), "");
  const TPNGPixelBuffer Late = Decode(Encode(im, After));
  im.Gamma = 0;
  EXPECT_EQ(FirstMismatch(im, Late), "");

  // An indexed image without PLTE keeps the target's own palette and its indexes.
  Image NoPal = RandomImage(5, 1, 3, 8, 4);
  NoPal.Samples = {0, 7, 200, 255, 9};
  NoPal.Palette.clear();
  const TPNGPixelBuffer Raw = Decode(Encode(NoPal));
  EXPECT_TRUE(Raw.Layout.Palette.empty());
  EXPECT_EQ(Raw.Row(0)[2], 200);

  // A second PLTE replaces the first.
  Image Two = RandomImage(3, 1, 3, 8, 6);
  Bytes Pal2(Two.Palette.size(), 0x11);
  Bytes Png = Assemble(IHDRData(3, 1, 8, 3, 0), {Chunk("PLTE", Two.Palette), Chunk("PLTE", Pal2), IDATOf(Two), IEND()});
  EXPECT_EQ(Decode(Png).Layout.Palette.at(5), (TPaletteColor{0x11, 0x11, 0x11}));

  // PLTE in an RGB image is checked but changes nothing; a bad one is still refused.
  Image Rgb = RandomImage(3, 2, 2, 8, 8);
  Png = Assemble(IHDRData(3, 2, 8, 2, 0), {Chunk("PLTE", Bytes(9, 1)), IDATOf(Rgb), IEND()});
  EXPECT_EQ(FirstMismatch(Rgb, Decode(Png)), "");
  Png[FindChunk(Png, "PLTE") + 8 + 9] ^= 1;
  EXPECT_EQ(DecodeError(Png), CRCError);
  Png = Assemble(IHDRData(3, 2, 8, 2, 0), {Chunk("PLTE", Bytes(10, 1)), IDATOf(Rgb), IEND()});
  EXPECT_EQ(DecodeError(Png), "Cannot load image. Palette in PNG file is invalid.");
}

TEST(PNGDecode, ChunkFramingRules) {
  Image im = RandomImage(7, 5, 6, 8, 10);
  // Chunk types match ignoring letter case.
  Bytes Png = Assemble(IHDRData(7, 5, 8, 6, 0), {Chunk("idat", Deflate(FilteredData(im))), IEND()});
  EXPECT_EQ(FirstMismatch(im, Decode(Png)), "");
  // Image data past the last row is read and dropped; ancillary chunks after the data are skipped.
  Bytes Z = Deflate(FilteredData(im));
  Png = Assemble(IHDRData(7, 5, 8, 6, 0), {Chunk("IDAT", Z), Chunk("IDAT", Bytes{1, 2, 3}),
                                           Chunk("tEXt", Bytes{'a', 0, 'b'}), IEND()});
  EXPECT_EQ(FirstMismatch(im, Decode(Png)), "");
  // The stream stands after IEND when the load returns.
  Png.push_back(0x42);
  TReadOnlyMemoryStream S(Png.data(), static_cast<std::int64_t>(Png.size()));
  TPNGPixelBuffer Buf;
  TPNGReader().Load(S, Buf);
  EXPECT_EQ(S.Position(), static_cast<std::int64_t>(Png.size()) - 1);
}

TEST(PNGDecode, ProgressIsReportedPerRowAndOnlyInTheLastPassWhenInterlaced) {
  for (bool Interlaced : {false, true}) {
    Image im = RandomImage(6, 9, 2, 8, 12);
    im.Interlaced = Interlaced;
    TPNGReader R;
    std::vector<std::string> Msgs;
    int Running = 0, LastTop = -1;
    R.OnProgress = [&](TPNGProgressStage Stage, Byte, bool, const TRect& Rc, const AnsiString& Msg) {
      if (Stage == TPNGProgressStage::Running) {
        ++Running;
        LastTop = Rc.Top;
      } else {
        Msgs.push_back(Msg);
      }
    };
    EXPECT_EQ(FirstMismatch(im, Decode(Encode(im), &R)), "");
    EXPECT_EQ(Running, Interlaced ? 4 : 9);
    EXPECT_EQ(LastTop, Running - 1);
    EXPECT_EQ(Msgs.front(), "Preparing...");
    EXPECT_NE(std::find(Msgs.begin(), Msgs.end(), "Transfering..."), Msgs.end());
  }
}

// ---- Faults that must stay fixed ----------------------------------------------------------------

TEST(PNGFaults, HeaderIsCheckedForLengthSignAndSize) {
  Image im = RandomImage(2, 2, 2, 8, 1);
  Bytes Long = IHDRData(2, 2, 8, 2, 0);
  Long.push_back(0);
  EXPECT_EQ(DecodeError(Assemble(Long, {IDATOf(im), IEND()})), InvalidFormat);
  Bytes Short = IHDRData(2, 2, 8, 2, 0);
  Short.pop_back();
  EXPECT_EQ(DecodeError(Assemble(Short, {IDATOf(im), IEND()})), InvalidFormat);
  // Zero and high-bit dimensions are invalid, not negative.
  for (auto wh : {std::pair<std::uint32_t, std::uint32_t>{0, 2}, {2, 0}, {0x80000002u, 2}, {2, 0xFFFFFFFFu}})
    EXPECT_EQ(DecodeError(Assemble(IHDRData(wh.first, wh.second, 8, 2, 0), {IDATOf(im), IEND()})), InvalidFormat);
  // Over the caps: a side over 32767, or more than 2^26 pixels in all.
  EXPECT_NE(DecodeError(Assemble(IHDRData(32768, 1, 8, 2, 0), {IDATOf(im), IEND()})).find("too large"),
            std::string::npos);
  EXPECT_NE(DecodeError(Assemble(IHDRData(32767, 32767, 8, 6, 0), {IDATOf(im), IEND()})).find("too large"),
            std::string::npos);
  // Within the caps but with image data that cannot fill the image: refused before allocating it.
  EXPECT_EQ(DecodeError(Assemble(IHDRData(8192, 8192, 16, 6, 0), {IDATOf(im), IEND()})), Incomplete);
}

TEST(PNGFaults, WidestRowsAreSizedIn64Bits) {
  Image im = RandomImage(32767, 2, 6, 16, 2);
  std::fill(im.Samples.begin(), im.Samples.end(), 0x1234);
  im.Samples[5] = 0xFFFF;
  const TPNGPixelBuffer Buf = Decode(Encode(im));
  EXPECT_EQ(FirstMismatch(im, Buf), "");
}

TEST(PNGFaults, ChunkLengthsAreBounded) {
  Image im = RandomImage(2, 2, 2, 8, 1);
  Bytes Png = Encode(im);
  // A length that would wrap when 4 is added, and one past the end of the stream.
  for (std::uint32_t Len : {0xFFFFFFFCu, 0x80000000u, 0x7FFFFFF0u}) {
    Bytes Bad = Png;
    const std::size_t At = FindChunk(Bad, "IDAT");
    Bad[At] = static_cast<Byte>(Len >> 24);
    Bad[At + 1] = static_cast<Byte>(Len >> 16);
    Bad[At + 2] = static_cast<Byte>(Len >> 8);
    Bad[At + 3] = static_cast<Byte>(Len);
    const std::string Err = DecodeError(Bad);
    EXPECT_TRUE(Err == "Stream read error" || Err == "Cannot load image. Invalid chunk length in PNG file.") << Err;
  }
  // IEND whose CRC is cut off is a truncated file, not a complete one.
  Png.pop_back();
  EXPECT_EQ(DecodeError(Png), "Stream read error");
}

TEST(PNGFaults, AncillaryChunksLongerThanTheirKindNeedsAreReadShorterOnesSkipped) {
  // gAMA, bKGD and tRNS bodies longer than their kind needs read as their leading bytes; a body too
  // short for its kind is skipped, and the image loads as without that chunk.
  struct Case {
    int ColorType;
    const char* Type;
    Bytes Body;  // as long as the kind needs
  };
  const Case Cases[] = {{2, "gAMA", {0, 0, 0xB1, 0x8F}},       {0, "bKGD", {0, 0x40}},
                        {2, "bKGD", {0, 1, 0, 2, 0, 3}},      {3, "bKGD", {1}},
                        {0, "tRNS", {0, 0x21}},                {2, "tRNS", {0, 0x21, 0, 0x22, 0, 0x23}}};
  for (const Case& c : Cases) {
    SCOPED_TRACE(testing::Message() << c.Type << " of colour type " << c.ColorType);
    const Image im = RandomImage(3, 2, c.ColorType, 8, 4);
    const Bytes Head = IHDRData(3, 2, 8, c.ColorType, 0);
    const Bytes Pal = Chunk("PLTE", im.Palette.empty() ? Bytes(3, 9) : im.Palette);
    struct Loaded {
      TPNGPixelBuffer Buf;
      float Gamma;
    };
    auto Load = [&](const Bytes* Body) {
      Bytes Png = Assemble(Head, {Pal});
      if (Body != nullptr) Append(Png, Chunk(c.Type, *Body));
      Append(Png, IDATOf(im));
      Append(Png, IEND());
      TPNGReader R;
      TPNGPixelBuffer Buf = Decode(Png, &R);
      return Loaded{std::move(Buf), R.ImageProperties().FileGamma};
    };
    auto ExpectSame = [](const Loaded& A, const Loaded& B) {
      EXPECT_EQ(A.Buf.Pixels, B.Buf.Pixels);
      EXPECT_EQ(A.Buf.Layout.Palette, B.Buf.Layout.Palette);
      EXPECT_EQ(A.Buf.Layout.BackgroundColor, B.Buf.Layout.BackgroundColor);
      EXPECT_EQ(A.Buf.Layout.TransparentColor, B.Buf.Layout.TransparentColor);
      EXPECT_EQ(A.Gamma, B.Gamma);
    };
    Bytes Longer = c.Body;
    Longer.insert(Longer.end(), {0x7F, 0x01, 0x02});
    const Bytes Shorter(c.Body.begin(), c.Body.end() - 1);
    const Loaded Exact = Load(&c.Body), Without = Load(nullptr);
    ExpectSame(Load(&Longer), Exact);
    ExpectSame(Load(&Shorter), Without);
    EXPECT_TRUE(Exact.Buf.Pixels != Without.Buf.Pixels || Exact.Gamma != Without.Gamma ||
                Exact.Buf.Layout.BackgroundColor != Without.Buf.Layout.BackgroundColor ||
                Exact.Buf.Layout.TransparentColor != Without.Buf.Layout.TransparentColor);  // the chunk counts
  }
}

TEST(PNGDecode, TablesAreBuiltPerImageNeverPerRow) {
  // An interlaced 2-bit grey image (its values scaled to 4 bits) with the gamma most encoders
  // write: a tall image needs no more tables than a short one, and a second image of the same
  // gamma needs no new gamma table.
  auto TablesFor = [](int Height) {
    Image im = RandomImage(16, Height, 0, 2, static_cast<std::uint32_t>(Height));
    im.Gamma = 45455;
    im.Interlaced = true;
    const Bytes Data = Encode(im);
    const std::uint64_t Before = TColorManager::TablesBuilt();
    EXPECT_EQ(FirstMismatch(im, Decode(Data)), "");
    return TColorManager::TablesBuilt() - Before;
  };
  TablesFor(2);
  const std::uint64_t Short = TablesFor(4), Tall = TablesFor(400);
  EXPECT_EQ(Tall, Short);
  EXPECT_LE(Short, 1u);  // the scale of this image's values; its gamma tables are kept from before
}

TEST(PNGFaults, GammaDoesNotCarryOverToTheNextLoad) {
  Image Bright = RandomImage(4, 4, 2, 8, 3);
  Bright.Gamma = 100000;
  Image Plain = RandomImage(4, 4, 2, 8, 4);
  Image Pal = RandomImage(4, 4, 3, 8, 5);
  TPNGReader R;
  EXPECT_EQ(FirstMismatch(Bright, Decode(Encode(Bright), &R)), "");
  EXPECT_EQ(FirstMismatch(Plain, Decode(Encode(Plain), &R)), "");
  EXPECT_FALSE(R.ImageProperties().Options.Contains(pioGammaApplied));
  EXPECT_EQ(FirstMismatch(Bright, Decode(Encode(Bright), &R)), "");
  EXPECT_EQ(FirstMismatch(Pal, Decode(Encode(Pal), &R)), "");
  // A 1-bit grey image between them leaves no small table behind for an RGB image with gAMA.
  EXPECT_EQ(FirstMismatch(RandomImage(9, 2, 0, 1, 6), Decode(Encode(RandomImage(9, 2, 0, 1, 6)), &R)), "");
  EXPECT_EQ(FirstMismatch(Bright, Decode(Encode(Bright), &R)), "");
}

// A zlib stream of Raw that is flushed but not finished: it inflates to exactly Raw and then asks
// for more input.
Bytes DeflateUnfinished(const Bytes& Raw) {
  z_stream Z{};
  deflateInit(&Z, 6);
  Bytes Out(compressBound(static_cast<uLong>(Raw.size())) + 64);
  Z.next_in = const_cast<Byte*>(Raw.data());
  Z.avail_in = static_cast<uInt>(Raw.size());
  Z.next_out = Out.data();
  Z.avail_out = static_cast<uInt>(Out.size());
  deflate(&Z, Z_SYNC_FLUSH);
  Out.resize(Out.size() - Z.avail_out);
  deflateEnd(&Z);
  return Out;
}

TEST(PNGFaults, MissingImageDataAndStreamsThatEndInsideARow) {
  Image im = RandomImage(6, 6, 2, 8, 1);
  const Bytes Head = IHDRData(6, 6, 8, 2, 0);
  const Bytes Filtered = FilteredData(im);
  // No IDAT at all.
  EXPECT_EQ(DecodeError(Assemble(Head, {IEND()})), "Cannot load image. No image data found in PNG file.");
  // A complete deflate stream of fewer rows.
  EXPECT_EQ(DecodeError(Assemble(Head, {Chunk("IDAT", Deflate(Bytes(Filtered.begin(), Filtered.begin() + 40))), IEND()})),
            "Cannot load image. Extra compressed data found in PNG file.");
  // A whole stream with more bytes behind it in its chunk.
  Bytes Followed = Deflate(Filtered);
  Append(Followed, Bytes{1, 2, 3});
  EXPECT_EQ(DecodeError(Assemble(Head, {Chunk("IDAT", Followed), IEND()})),
            "Cannot load image. Extra compressed data found in PNG file.");
  // Image data that could not fill the image even at deflate's highest ratio is refused before
  // anything is allocated.
  EXPECT_EQ(DecodeError(Assemble(IHDRData(8192, 8192, 16, 6, 0), {IDATOf(im), IEND()})), Incomplete);
}

TEST(PNGLenient, RowsAfterTheLastImageDataAreZero) {
  // Rows stored without filters: the IDAT chunks end 7 bytes into row 2 (its filter byte and two
  // pixels) while the compressed stream goes on. The rows read are kept, the rest of row 2 and the
  // rows after it are converted from zero-filled buffers.
  Image im = RandomImage(6, 6, 2, 8, 3);
  Bytes Raw;
  for (int y = 0; y < 6; ++y) {
    Raw.push_back(0);
    Append(Raw, PackRow(im, y, 0, 1));
  }
  const std::size_t RowBytes = 1 + 6 * 3;
  for (std::size_t Split : {std::size_t{0}, std::size_t{5}}) {
    WriteOptions O;
    O.IDATSplit = Split;
    const Bytes Cut(Raw.begin(), Raw.begin() + static_cast<std::ptrdiff_t>(2 * RowBytes + 7));
    Bytes Png = Signature();
    Append(Png, Chunk("IHDR", IHDRData(6, 6, 8, 2, 0)));
    Append(Png, IDATChunks(DeflateUnfinished(Cut), O));
    Append(Png, Chunk("tEXt", {'a', 0, 'b'}));
    Append(Png, IEND());
    TPNGPixelBuffer Buf;
    ASSERT_EQ(LoadError([&] { Buf = Decode(Png); }), "") << Split;
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 6; ++x) {
        const bool Read = y < 2 || (y == 2 && x < 2);
        const RGBA Want = Read ? ExpectedColor(im, x, y) : RGBA{0, 0, 0, 255};
        EXPECT_TRUE(PixelColor(Buf, x, y) == Want) << x << "," << y;
      }
  }
  // Interlaced: the passes after the data are zero as well, deterministically.
  Image il = RandomImage(9, 9, 0, 8, 4);
  il.Interlaced = true;
  const Bytes F = FilteredData(il);
  const Bytes Png = Assemble(IHDRData(9, 9, 8, 0, 1),
                             {Chunk("IDAT", DeflateUnfinished(Bytes(F.begin(), F.begin() + 11))), IEND()});
  const TPNGPixelBuffer A = Decode(Png), B = Decode(Png);
  EXPECT_EQ(A.Pixels, B.Pixels);
  EXPECT_TRUE(PixelColor(A, 3, 7) == (RGBA{0, 0, 0, 255}));  // a pixel of the last pass
}

TEST(PNGLenient, StreamsThatAreCutShortDamagedInTheirChecksumOrRunPastTheImageLoadAsTheyAlwaysDid) {
  // Streams the one-call inflate refuses, read by the streaming inflate: a 40x30 RGB image whose
  // image data comes in IDAT chunks of 700 bytes. Rows the data does not reach are zero.
  Image im = RandomImage(40, 30, 2, 8, 21);
  const Bytes Filtered = FilteredData(im);
  const std::size_t RowSize = 1 + 40 * 3;
  Bytes BadChecksum = Deflate(Filtered);
  BadChecksum.back() ^= 0x5A;
  Bytes Longer = Filtered;
  Longer.insert(Longer.end(), 1000, 7);
  struct Case {
    const char* Name;
    Bytes Z;
    int RowsThatArrived;
  };
  const Case Cases[] = {
      {"cut short after 17 rows", DeflateUnfinished(Bytes(Filtered.begin(), Filtered.begin() + 17 * RowSize)), 17},
      {"wrong checksum after the data", BadChecksum, 30},
      {"data past the last row", Deflate(Longer), 30},
  };
  for (const Case& c : Cases) {
    WriteOptions O;
    O.IDATSplit = 700;
    const Bytes Png = Assemble(IHDRData(40, 30, 8, 2, 0), {IDATChunks(c.Z, O), IEND()});
    TPNGPixelBuffer Buf;
    const std::string Error = LoadError([&] { Buf = Decode(Png); });
    EXPECT_EQ(Error, "") << c.Name;
    if (!Error.empty()) continue;
    int Wrong = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x)
        Wrong += !(PixelColor(Buf, x, y) == (y < c.RowsThatArrived ? ExpectedColor(im, x, y) : RGBA{0, 0, 0, 255}));
    EXPECT_EQ(Wrong, 0) << c.Name;
  }
}

TEST(PNGLenient, RowFilterTypesFromFiveUpLeaveTheRowAsStored) {
  // Rows 0, 1 and 2 use the filters None, Sub and Up. Row 1 given filter type 5, 6 or 255 keeps its
  // stored bytes; row 2 (Up) then adds those bytes.
  Image im = RandomImage(3, 3, 0, 8, 1);
  Bytes Filtered = FilteredData(im);
  ASSERT_EQ(Filtered[4], 1);
  for (int Type : {5, 6, 255}) {
    Bytes D = Filtered;
    D[4] = static_cast<Byte>(Type);
    TPNGPixelBuffer Buf;
    ASSERT_EQ(LoadError([&] { Buf = Decode(Assemble(IHDRData(3, 3, 8, 0, 0), {Chunk("IDAT", Deflate(D)), IEND()})); }),
              "")
        << Type;
    for (int x = 0; x < 3; ++x) {
      EXPECT_TRUE(PixelColor(Buf, x, 0) == ExpectedColor(im, x, 0)) << Type;
      const int Row1 = D[5 + x];
      EXPECT_EQ(PixelColor(Buf, x, 1).R, Row1) << Type << " " << x;
      EXPECT_EQ(PixelColor(Buf, x, 2).R, (D[9 + x] + Row1) & 0xFF) << Type << " " << x;
    }
  }
}

// ---- Corrupt input battery ----------------------------------------------------------------------

TEST(PNGCorrupt, EveryTruncationRaises) {
  for (int Type : {3, 6}) {
    Image im = RandomImage(5, 4, Type, 8, 77);
    im.Interlaced = true;
    im.Gamma = 45455;
    WriteOptions O;
    O.IDATSplit = 9;
    const Bytes Png = Encode(im, O);
    for (std::size_t n = 0; n < Png.size(); ++n)
      EXPECT_NE(DecodeError(Bytes(Png.begin(), Png.begin() + static_cast<std::ptrdiff_t>(n))), "") << "cut at " << n;
  }
}

TEST(PNGCorrupt, BadChecksumsRaiseTheCRCError) {
  Image im = RandomImage(4, 3, 3, 4, 5);
  im.Gamma = 50000;
  im.Trns = {};
  const Bytes Png = Encode(im);
  for (const char* Type : {"IHDR", "gAMA", "PLTE", "IDAT"}) {
    Bytes Bad = Png;
    const std::size_t At = FindChunk(Bad, Type);
    const std::uint32_t Len = (Bad[At] << 24) | (Bad[At + 1] << 16) | (Bad[At + 2] << 8) | Bad[At + 3];
    Bad[At + 8 + Len + 3] ^= 0x40;
    EXPECT_EQ(DecodeError(Bad), CRCError) << Type;
  }
}

TEST(PNGCorrupt, MalformedHeadersAndStructure) {
  Image im = RandomImage(4, 4, 2, 8, 1);
  const Bytes Data = IDATOf(im);
  // Signature, first chunk, garbage.
  Bytes NotPng = Encode(im);
  NotPng[1] = 'Q';
  EXPECT_EQ(DecodeError(NotPng), InvalidFormat);
  Bytes NoHeader = Signature();
  Append(NoHeader, Data);
  Append(NoHeader, IEND());
  EXPECT_EQ(DecodeError(NoHeader), InvalidFormat);
  EXPECT_EQ(DecodeError(Bytes{1, 2, 3}), InvalidFormat);
  EXPECT_EQ(DecodeError(Bytes{}), InvalidFormat);
  // Colour types and depths outside the table, compression methods other than deflate.
  for (auto td : {std::pair<int, int>{1, 8}, {5, 8}, {7, 8}, {2, 4}, {3, 16}, {0, 3}, {6, 1}, {4, 2}})
    EXPECT_EQ(DecodeError(Assemble(IHDRData(4, 4, td.second, td.first, 0), {Data, IEND()})),
              "Invalid color format in PNG file.")
        << td.first << "/" << td.second;
  EXPECT_EQ(DecodeError(Assemble(IHDRData(4, 4, 8, 2, 0, 1), {Data, IEND()})),
            "Cannot load image. The compression scheme is not supported for PNG files.");
  // Unknown critical chunks, critical chunks after the data, a second run of image data.
  EXPECT_EQ(DecodeError(Assemble(IHDRData(4, 4, 8, 2, 0), {Chunk("ABCD", {}), Data, IEND()})), CriticalChunk);
  EXPECT_EQ(DecodeError(Assemble(IHDRData(4, 4, 8, 2, 0), {Data, Chunk("PLTE", Bytes(3, 0)), IEND()})), CriticalChunk);
  EXPECT_EQ(DecodeError(Assemble(IHDRData(4, 4, 8, 2, 0), {Data, Chunk("tEXt", {}), Data, IEND()})), CriticalChunk);
  EXPECT_EQ(DecodeError(Assemble(IHDRData(4, 4, 8, 2, 0), {Data, Chunk("IHDR", IHDRData(4, 4, 8, 2, 0)), IEND()})),
            CriticalChunk);
  // IEND missing.
  EXPECT_EQ(DecodeError(Assemble(IHDRData(4, 4, 8, 2, 0), {Data})), "Stream read error");
  // Corrupt deflate data.
  Bytes Z = Deflate(FilteredData(im));
  Z[0] = 0x78;
  Z[1] = 0x00;  // header check fails
  EXPECT_EQ(DecodeError(Assemble(IHDRData(4, 4, 8, 2, 0), {Chunk("IDAT", Z), IEND()})),
            "Cannot load image. Compression error found in PNG file.");
}

TEST(PNGCorrupt, RandomDamageNeverCrashesOrLoadsGarbageSilently) {
  std::mt19937 rng(2024);
  for (const Kind& k : AllKinds()) {
    Image im = RandomImage(6, 5, k.ColorType, k.Depth, k.ColorType * 31 + k.Depth);
    im.Interlaced = (k.Depth % 2) == 0;
    const Bytes Png = Encode(im);
    for (int n = 0; n < 150; ++n) {
      Bytes Bad = Png;
      const int Hits = 1 + static_cast<int>(rng() % 4);
      for (int h = 0; h < Hits; ++h) Bad[8 + rng() % (Bad.size() - 8)] ^= static_cast<Byte>(1 + rng() % 255);
      try {
        TReadOnlyMemoryStream S(Bad.data(), static_cast<std::int64_t>(Bad.size()));
        TPNGRowSink Sink;
        TPNGReader().Load(S, Sink);
        EXPECT_EQ(Sink.Began, 1);
      } catch (const Exception& e) {
        EXPECT_FALSE(e.Message.empty());
      }
    }
  }
  // Pure garbage after a valid signature.
  for (int n = 0; n < 200; ++n) {
    Bytes Junk = Signature();
    for (int i = 0; i < 64; ++i) Junk.push_back(static_cast<Byte>(rng()));
    EXPECT_NE(DecodeError(Junk), "");
  }
}

// ---- The colour manager -------------------------------------------------------------------------

TEST(ColorManager, SettersRefuseDepthsAndSampleCountsOutsideTheirRanges) {
  TColorManager CM;
  for (int Bad : {0, 17, 255}) {
    EXPECT_THROW(CM.SetSourceBitsPerSample(static_cast<Byte>(Bad)), EColorConversionError) << Bad;
    EXPECT_THROW(CM.SetTargetBitsPerSample(static_cast<Byte>(Bad)), EColorConversionError) << Bad;
  }
  EXPECT_EQ(CM.SourceBitsPerSample(), 8);
  for (int Good = 1; Good <= 16; ++Good) {
    EXPECT_NO_THROW(CM.SetSourceBitsPerSample(static_cast<Byte>(Good)));
    EXPECT_EQ(CM.SourceBitsPerSample(), Good);
  }
  EXPECT_THROW(CM.SetSourceSamplesPerPixel(0), EColorConversionError);
  EXPECT_THROW(CM.SetTargetSamplesPerPixel(5), EColorConversionError);
  try {
    CM.SetTargetBitsPerSample(17);
    ADD_FAILURE();
  } catch (const EColorConversionError& e) {
    EXPECT_EQ(e.Message, "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
  }
}

TEST(ColorManager, IndexedAndNonIndexedDoNotMix) {
  Byte In[8] = {}, Out[8] = {};
  const void* Src[1] = {In};
  TColorManager CM;
  CM.SetTargetColorScheme(cmsGreyAlpha);
  for (TColorScheme S : {cmsIndexed, cmsGrey, cmsGreyAlpha}) {
    CM.SetSourceColorScheme(S);
    EXPECT_THROW(
        {
          try {
            CM.ConvertRow(Src, Out, 1, 0xFF);
          } catch (const EColorConversionError& e) {
            EXPECT_EQ(e.Message, "Conversion between indexed and non-indexed pixel formats is not supported.");
            throw;
          }
        },
        EColorConversionError);
  }
  CM.SetSourceColorScheme(cmsRGB);
  EXPECT_THROW(CM.ConvertRow(Src, Out, 1, 0xFF), EColorConversionError);
  // Grey with alpha into an indexed target is accepted.
  CM.SetTargetColorScheme(cmsIndexed);
  CM.SetSourceColorScheme(cmsGreyAlpha);
  CM.SetSourceSamplesPerPixel(1);
  CM.SetTargetSamplesPerPixel(1);
  In[0] = 77;
  In[1] = 3;
  In[2] = 88;
  CM.ConvertRow(Src, Out, 2, 0xFF);
  EXPECT_EQ(Out[0], 77);
  EXPECT_EQ(Out[1], 88);
  // Nothing converts from the CMY scheme.
  TColorManager Other;
  Other.SetSourceColorScheme(cmsCMY);
  Other.SetTargetColorScheme(cmsRGB);
  try {
    Other.ConvertRow(Src, Out, 1, 0xFF);
    ADD_FAILURE();
  } catch (const EColorConversionError& e) {
    EXPECT_EQ(e.Message, "Color conversion failed. Could not find a proper method.");
  }
}

TEST(ColorManager, LowDepthScalingAndMasks) {
  TColorManager CM;
  CM.SetSourceColorScheme(cmsIndexed);
  CM.SetTargetColorScheme(cmsIndexed);
  CM.SetSourceSamplesPerPixel(1);
  CM.SetTargetSamplesPerPixel(1);
  CM.SetSourceBitsPerSample(2);
  CM.SetTargetBitsPerSample(4);
  const Byte Two[1] = {0x1B};  // 0, 1, 2, 3
  const void* Src[1] = {Two};
  Byte Out[2] = {};
  CM.ConvertRow(Src, Out, 4, 0xFF);
  EXPECT_EQ(Out[0], 0x05);
  EXPECT_EQ(Out[1], 0xAF);
  const Byte Colours[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const void* Pal[1] = {Colours};
  const TPaletteColors P = CM.PaletteFromData(Pal, 0, 4, false);
  ASSERT_EQ(P.size(), 16u);
  EXPECT_EQ(P[4], (TPaletteColor{1, 2, 3}));
  EXPECT_EQ(P[5], (TPaletteColor{4, 5, 6}));
  EXPECT_EQ(P[14], (TPaletteColor{7, 8, 9}));
  EXPECT_EQ(P[15], (TPaletteColor{10, 11, 12}));
  EXPECT_EQ(CM.PaletteFromData(Pal, 1, 1, true).at(0), (TPaletteColor{3, 2, 1}));

  // Mask 0x88 writes pixels 0 and 4 of every eight and takes two source pixels per eight.
  CM.SetSourceBitsPerSample(8);
  CM.SetTargetBitsPerSample(8);
  const Byte Eight[4] = {10, 20, 30, 40};
  const void* Src8[1] = {Eight};
  Byte Row[16];
  std::memset(Row, 0xEE, sizeof Row);
  CM.ConvertRow(Src8, Row, 16, 0x88);
  const Byte Want[16] = {10, 0xEE, 0xEE, 0xEE, 20, 0xEE, 0xEE, 0xEE, 30, 0xEE, 0xEE, 0xEE, 40, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(std::memcmp(Row, Want, 16), 0);
}

TEST(ColorManager, SixteenBitSamplesAndAlpha) {
  TColorManager CM;
  CM.SetSourceColorScheme(cmsGrey);
  CM.SetTargetColorScheme(cmsGrey);
  CM.SetSourceSamplesPerPixel(1);
  CM.SetTargetSamplesPerPixel(1);
  CM.SetSourceBitsPerSample(16);
  CM.SetSourceOptions(TConversionFlags{cfByteSwap});
  const Byte Big[2] = {0x80, 0x00};
  const void* Src[1] = {Big};
  Byte Out[2] = {};
  CM.ConvertRow(Src, Out, 1, 0xFF);
  EXPECT_EQ(Out[0], 127);

  // RGB into BGR with alpha leaves the fourth byte alone; RGBA into BGRA keeps alpha (16-bit reduced).
  TColorManager Rgb;
  Rgb.SetTargetColorScheme(cmsBGRA);
  const Byte Px[6] = {1, 2, 3, 4, 5, 6};
  const void* S3[1] = {Px};
  Byte T4[8];
  std::memset(T4, 0x77, sizeof T4);
  Rgb.ConvertRow(S3, T4, 2, 0xFF);
  const Byte Want[8] = {3, 2, 1, 0x77, 6, 5, 4, 0x77};
  EXPECT_EQ(std::memcmp(T4, Want, 8), 0);
  Rgb.SetSourceColorScheme(cmsRGBA);
  Rgb.SetSourceBitsPerSample(16);
  Rgb.SetSourceOptions(TConversionFlags{cfByteSwap});
  const Byte Px16[8] = {0xFF, 0xFF, 0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFE};
  const void* S16[1] = {Px16};
  Rgb.ConvertRow(S16, T4, 1, 0xFF);
  EXPECT_EQ(T4[0], 0);
  EXPECT_EQ(T4[1], 127);
  EXPECT_EQ(T4[2], 255);
  EXPECT_EQ(T4[3], 254);
}

TEST(ColorManager, GammaTableAndPixelFormats) {
  TColorManager CM;
  CM.SetGamma(1.0f / 2.2f, 2.2f);
  for (int i = 0; i < 256; ++i) EXPECT_NEAR(CM.GammaTable()[i], i, 1) << i;
  CM.SetGamma(0, -1);  // stand for 1.0 and 2.2
  EXPECT_FLOAT_EQ(CM.MainGamma(), 1.0f);
  EXPECT_FLOAT_EQ(CM.DisplayGamma(), 2.2f);
  EXPECT_EQ(CM.GammaTable()[0], 0);
  EXPECT_EQ(CM.GammaTable()[64], 136);
  EXPECT_EQ(CM.GammaTable()[255], 255);

  struct {
    int Samples, Bits;
    TacPixelFormat Format;
  } const Cases[] = {{1, 1, TacPixelFormat::Bits1},  {1, 2, TacPixelFormat::Bits4},  {1, 4, TacPixelFormat::Bits4},
                     {1, 8, TacPixelFormat::Bits8},  {1, 16, TacPixelFormat::Bits8}, {3, 4, TacPixelFormat::Bits15},
                     {3, 8, TacPixelFormat::Bits24}, {4, 8, TacPixelFormat::Bits32}, {4, 4, TacPixelFormat::Custom},
                     {2, 8, TacPixelFormat::Custom}};
  for (const auto& c : Cases) {
    CM.SetTargetSamplesPerPixel(static_cast<Byte>(c.Samples));
    CM.SetTargetBitsPerSample(static_cast<Byte>(c.Bits));
    EXPECT_EQ(CM.PixelFormatFor(1), c.Format) << c.Samples << "x" << c.Bits;
  }
  CM.SetTargetSamplesPerPixel(1);
  CM.SetTargetBitsPerSample(2);
  const TPaletteColors Greys = CM.GrayPalette(true);
  ASSERT_EQ(Greys.size(), 4u);
  EXPECT_EQ(Greys[0], (TPaletteColor{255, 255, 255}));
  EXPECT_EQ(Greys[1], (TPaletteColor{170, 170, 170}));
}

TEST(PNGChecksum, MatchesTheDeflateLibrarysCRC) {
  std::mt19937 rng(5);
  Bytes Data(1000);
  for (Byte& b : Data) b = static_cast<Byte>(rng());
  for (std::size_t n : {0u, 1u, 7u, 8u, 9u, 63u, 1000u}) {
    EXPECT_EQ(UpdateCRC32(0, Data.data(), n), crc32(0, Data.data(), static_cast<uInt>(n))) << n;
    // Running: in two parts.
    EXPECT_EQ(UpdateCRC32(UpdateCRC32(0, Data.data(), n / 3), Data.data() + n / 3, n - n / 3),
              crc32(0, Data.data(), static_cast<uInt>(n)));
  }
  EXPECT_EQ(UpdateCRC32(123, nullptr, 5), 0u);
}

// ---- Clearing transparent white ----------------------------------------------------------------

TEST(TransparentWhite, OnlyWhiteWithZeroAlphaBecomesZero) {
  pixtest::Image P(3, 2, 32);
  for (int y = 0; y < 2; ++y) {
    P.Set(0, y, 255, 255, 255, 0);
    P.Set(1, y, 255, 255, 255, 1);
    P.Set(2, y, 254, 255, 255, 0);
  }
  ClearTransparentWhite(P.View());
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(P.Get(0, y), pixtest::Px32(0, 0, 0, 0)) << y;
    EXPECT_EQ(P.Get(1, y), pixtest::Px32(255, 255, 255, 1)) << y;
    EXPECT_EQ(P.Get(2, y), pixtest::Px32(254, 255, 255, 0)) << y;
  }
  EXPECT_TRUE(P.PaddingIntact());
}

TEST(TransparentWhite, ImagesOfOnePixelRowOrColumnAndOtherDepthsStayAsTheyAre) {
  for (auto wh : {std::pair<int, int>{1, 3}, {3, 1}, {1, 1}}) {
    pixtest::Image P(wh.first, wh.second, 32);
    P.SetAll(255, 255, 255, 0);
    const std::vector<Byte> Before = P.Pixels();
    ClearTransparentWhite(P.View());
    EXPECT_EQ(P.Pixels(), Before) << wh.first << " x " << wh.second;
  }
  pixtest::Image P24(2, 2, 24, true, 255);
  ClearTransparentWhite(P24.View());
  EXPECT_EQ(P24.Get(0, 0), pixtest::Px24(255, 255, 255));
  ClearTransparentWhite(TacPixels());
}

// ---- Against an independent encoder and decoder (native builds) --------------------------------

#ifdef PNG_TEST_HAVE_REFERENCE
namespace {
struct MemIO {
  const Bytes* In = nullptr;
  std::size_t Pos = 0;
  Bytes Out;
};
void ReadFn(png_structp P, png_bytep Data, png_size_t N) {
  auto* io = static_cast<MemIO*>(png_get_io_ptr(P));
  if (io->Pos + N > io->In->size()) png_error(P, "end of data");
  std::memcpy(Data, io->In->data() + io->Pos, N);
  io->Pos += N;
}
void WriteFn(png_structp P, png_bytep Data, png_size_t N) {
  auto* io = static_cast<MemIO*>(png_get_io_ptr(P));
  io->Out.insert(io->Out.end(), Data, Data + N);
}
void FlushFn(png_structp) {}

// Raw samples, palette, tRNS and gAMA as the reference decoder reads them, with no transforms.
Image ReferenceDecode(const Bytes& Data) {
  Image im;
  MemIO io;
  io.In = &Data;
  png_structp P = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop Info = png_create_info_struct(P);
  std::vector<Bytes> Rows;
  if (setjmp(png_jmpbuf(P))) {
    png_destroy_read_struct(&P, &Info, nullptr);
    ADD_FAILURE() << "reference decoder refused the file";
    return im;
  }
  png_set_read_fn(P, &io, ReadFn);
  png_read_info(P, Info);
  im.Width = static_cast<int>(png_get_image_width(P, Info));
  im.Height = static_cast<int>(png_get_image_height(P, Info));
  im.Depth = png_get_bit_depth(P, Info);
  im.ColorType = png_get_color_type(P, Info);
  im.Interlaced = png_get_interlace_type(P, Info) != PNG_INTERLACE_NONE;
  png_set_interlace_handling(P);
  png_read_update_info(P, Info);
  Rows.assign(static_cast<std::size_t>(im.Height), Bytes(png_get_rowbytes(P, Info)));
  std::vector<png_bytep> Ptrs;
  for (Bytes& r : Rows) Ptrs.push_back(r.data());
  png_read_image(P, Ptrs.data());
  png_colorp Pal;
  int NumPal;
  if (png_get_PLTE(P, Info, &Pal, &NumPal))
    for (int i = 0; i < NumPal; ++i) {
      im.Palette.push_back(Pal[i].red);
      im.Palette.push_back(Pal[i].green);
      im.Palette.push_back(Pal[i].blue);
    }
  png_fixed_point G;
  if (png_get_gAMA_fixed(P, Info, &G)) im.Gamma = static_cast<std::uint32_t>(G);
  png_bytep TA;
  int NT;
  png_color_16p TC;
  if (im.ColorType != 3 && png_get_tRNS(P, Info, &TA, &NT, &TC)) {
    if (im.ColorType == 0) im.Trns = {TC->gray};
    if (im.ColorType == 2) im.Trns = {TC->red, TC->green, TC->blue};
  }
  png_destroy_read_struct(&P, &Info, nullptr);
  im.Samples.resize(static_cast<std::size_t>(im.Width) * im.Height * im.Channels());
  for (int y = 0; y < im.Height; ++y)
    for (int x = 0; x < im.Width; ++x)
      for (int c = 0; c < im.Channels(); ++c) {
        const Bytes& r = Rows[y];
        std::uint16_t v;
        if (im.Depth < 8) {
          const int Bit = x * im.Depth;
          v = static_cast<std::uint16_t>((r[Bit / 8] >> (8 - im.Depth - Bit % 8)) & ((1 << im.Depth) - 1));
        } else if (im.Depth == 8) {
          v = r[static_cast<std::size_t>(x) * im.Channels() + c];
        } else {
          const std::size_t i = (static_cast<std::size_t>(x) * im.Channels() + c) * 2;
          v = static_cast<std::uint16_t>((r[i] << 8) | r[i + 1]);
        }
        im.At(x, y, c) = v;
      }
  return im;
}

Bytes ReferenceEncode(const Image& im) {
  MemIO io;
  png_structp P = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop Info = png_create_info_struct(P);
  if (setjmp(png_jmpbuf(P))) {
    png_destroy_write_struct(&P, &Info);
    ADD_FAILURE() << "reference encoder failed";
    return {};
  }
  png_set_write_fn(P, &io, WriteFn, FlushFn);
  png_set_IHDR(P, Info, static_cast<png_uint_32>(im.Width), static_cast<png_uint_32>(im.Height), im.Depth,
               im.ColorType, im.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(P, 0, PNG_ALL_FILTERS);
  std::vector<png_color> Pal;
  for (std::size_t i = 0; i + 2 < im.Palette.size(); i += 3)
    Pal.push_back(png_color{im.Palette[i], im.Palette[i + 1], im.Palette[i + 2]});
  if (!Pal.empty()) png_set_PLTE(P, Info, Pal.data(), static_cast<int>(Pal.size()));
  if (im.Gamma) png_set_gAMA_fixed(P, Info, static_cast<png_fixed_point>(im.Gamma));
  png_color_16 T{};
  if (im.Trns.size() == 1) T.gray = im.Trns[0];
  if (im.Trns.size() == 3) {
    T.red = im.Trns[0];
    T.green = im.Trns[1];
    T.blue = im.Trns[2];
  }
  if (!im.Trns.empty()) png_set_tRNS(P, Info, nullptr, 0, &T);
  png_write_info(P, Info);
  if (im.Interlaced) png_set_interlace_handling(P);
  std::vector<Bytes> Rows;
  for (int y = 0; y < im.Height; ++y) Rows.push_back(PackRow(im, y, 0, 1));
  std::vector<png_bytep> Ptrs;
  for (Bytes& r : Rows) Ptrs.push_back(r.data());
  png_write_image(P, Ptrs.data());
  png_write_end(P, Info);
  png_destroy_write_struct(&P, &Info);
  return io.Out;
}
}  // namespace

TEST(PNGReference, OurFilesDecodeToTheSameSamplesWithTheReferenceDecoder) {
  std::uint32_t Seed = 500;
  for (const Kind& k : AllKinds())
    for (bool Interlaced : {false, true}) {
      Image im = RandomImage(11, 7, k.ColorType, k.Depth, Seed++);
      im.Interlaced = Interlaced;
      const Image Ref = ReferenceDecode(Encode(im));
      EXPECT_EQ(Ref.Samples, im.Samples) << "type " << k.ColorType << " depth " << k.Depth;
    }
}

TEST(PNGReference, ReferenceFilesDecodeToTheReferenceDecodersPixels) {
  std::uint32_t Seed = 900;
  for (const Kind& k : AllKinds())
    for (bool Interlaced : {false, true})
      for (int Extra = 0; Extra < 3; ++Extra) {
        Image im = RandomImage(Extra == 2 ? 64 : 17, Extra == 2 ? 33 : 10, k.ColorType, k.Depth, Seed++);
        im.Interlaced = Interlaced;
        if (Extra >= 1) im.Gamma = 45455;
        if (Extra == 1 && (k.ColorType == 0 || k.ColorType == 2))
          for (int c = 0; c < im.Channels(); ++c) im.Trns.push_back(im.At(2, 3, c));
        SCOPED_TRACE(testing::Message() << "type " << k.ColorType << " depth " << k.Depth << " interlaced "
                                        << Interlaced << " variant " << Extra);
        const Bytes Png = ReferenceEncode(im);
        const Image Ref = ReferenceDecode(Png);
        const TPNGPixelBuffer Buf = Decode(Png);
        EXPECT_EQ(FirstMismatch(Ref, Buf), "");
        if (!Ref.Trns.empty()) {
          const RGBA e = ExpectedColor(Ref, 2, 3);
          EXPECT_EQ(Buf.Layout.TransparentColor, e.R | (e.G << 8) | (e.B << 16));
        }
      }
}
#endif
