// The size a picture file declares, read from its header before decoding: BMP, PNG and JPEG
// headers, and what is not one of them or is cut short.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Streams.h"
#include "png_test_support.h"
#include "framework/Jpeg.h"
#include "skin/core/acPNG.h"
#include "skin/core/acPictureSize.h"
#include "support/JpegEncode.h"

namespace {

struct TDeclared {
  bool Known = false;
  int W = 0, H = 0;
  std::int64_t PositionAfter = -1;
};

// Reads the size from the bytes after a lead-in of Lead bytes (the stream stands at the picture).
TDeclared SizeOf(const std::vector<Byte>& Data, std::size_t Lead = 0) {
  std::vector<Byte> All(Lead, 0xAA);
  All.insert(All.end(), Data.begin(), Data.end());
  TReadOnlyMemoryStream S(All.data(), static_cast<std::int64_t>(All.size()));
  S.SetPosition(static_cast<std::int64_t>(Lead));
  TDeclared R;
  R.Known = PictureSizeOf(S, R.W, R.H);
  R.PositionAfter = S.Position() - static_cast<std::int64_t>(Lead);
  return R;
}

std::vector<Byte> BmpHeader(std::uint32_t HeaderSize, std::int32_t W, std::int32_t H) {
  std::vector<Byte> B(14 + HeaderSize, 0);
  B[0] = 'B';
  B[1] = 'M';
  auto Put = [&](std::size_t At, std::uint32_t V, int N) {
    for (int I = 0; I < N; ++I) B[At + I] = static_cast<Byte>(V >> (8 * I));
  };
  Put(14, HeaderSize, 4);
  if (HeaderSize == 12) {
    Put(18, static_cast<std::uint32_t>(W), 2);
    Put(20, static_cast<std::uint32_t>(H), 2);
  } else {
    Put(18, static_cast<std::uint32_t>(W), 4);
    Put(22, static_cast<std::uint32_t>(H), 4);
  }
  return B;
}

}  // namespace

TEST(PictureSize, HeadersOfEachFormatDeclareTheirSize) {
  TDeclared R = SizeOf(BmpHeader(40, 300, 200), 5);
  EXPECT_TRUE(R.Known);
  EXPECT_EQ(R.W, 300);
  EXPECT_EQ(R.H, 200);
  EXPECT_EQ(R.PositionAfter, 0);  // put back where it was
  R = SizeOf(BmpHeader(124, 7, -9));  // top-down
  EXPECT_TRUE(R.Known && R.W == 7 && R.H == 9);
  R = SizeOf(BmpHeader(12, 65535, 2));  // core header: 16-bit sizes
  EXPECT_TRUE(R.Known && R.W == 65535 && R.H == 2);

  pngtest::Bytes Png = pngtest::Signature();
  pngtest::Append(Png, pngtest::Chunk("IHDR", pngtest::IHDRData(40000, 3, 8, 6, 0)));
  R = SizeOf(Png, 3);
  EXPECT_TRUE(R.Known && R.W == 40000 && R.H == 3);
  EXPECT_EQ(R.PositionAfter, 0);

  // A real JPEG, with a large application segment before the frame header.
  std::vector<Byte> Pixels(static_cast<std::size_t>(33) * 17 * 3, 100);
  std::vector<Byte> Jpeg = jpegtest::EncodeJpeg(33, 17, 3, Pixels.data(), {});
  std::vector<Byte> App{0xFF, 0xE1, 0x40, 0x02};
  App.resize(2 + 0x4002, 0x11);
  Jpeg.insert(Jpeg.begin() + 2, App.begin(), App.end());
  R = SizeOf(Jpeg, 1);
  EXPECT_TRUE(R.Known && R.W == 33 && R.H == 17);
  EXPECT_EQ(R.PositionAfter, 0);
}

TEST(PictureSize, AnythingElseIsUnknownAndLeavesThePosition) {
  const std::vector<std::vector<Byte>> Unknown{
      {},
      {'B', 'M', 1, 2},                                     // cut short
      BmpHeader(40, 0, 10),                                 // no width
      BmpHeader(40, -5, 10),                                // negative width
      BmpHeader(20, 5, 5),                                  // unknown header size
      {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'D', 'A', 'T', 0, 0, 0, 1, 0, 0, 0, 1},
      {0xFF, 0xD8, 0xFF, 0xDA, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // a scan before any frame
      {0xFF, 0xD8, 0xFF, 0xE0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // segment length below 2
      {0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0, 0, 0, 10, 1, 0, 0, 0, 0, 0, 0},  // height 0
      {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
  };
  for (std::size_t I = 0; I < Unknown.size(); ++I) {
    const TDeclared R = SizeOf(Unknown[I], 2);
    EXPECT_FALSE(R.Known) << I;
    EXPECT_EQ(R.PositionAfter, 0) << I;
  }
  // Every cut of a real header is unknown, never a wrong size.
  pngtest::Bytes Png = pngtest::Signature();
  pngtest::Append(Png, pngtest::Chunk("IHDR", pngtest::IHDRData(12, 34, 8, 2, 0)));
  for (std::size_t N = 0; N < 24; ++N)  // the width and height end at byte 24
    EXPECT_FALSE(SizeOf(std::vector<Byte>(Png.begin(), Png.begin() + static_cast<std::ptrdiff_t>(N))).Known) << N;
}

namespace {

// The size the decoder reads, or false when it refuses the data.
bool PngDecodes(const std::vector<Byte>& Data, int& W, int& H) {
  try {
    TReadOnlyMemoryStream S(Data.data(), static_cast<std::int64_t>(Data.size()));
    TPNGReader Reader;
    TPNGRowSink Sink;
    Reader.Load(S, Sink);
    W = Sink.Layout.Width;
    H = Sink.Layout.Height;
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool JpegDecodes(const std::vector<Byte>& Data, int& W, int& H) {
  try {
    TJPEGDecoder D(Data.data(), Data.size());
    W = D.Width();
    H = D.Height();
    return true;
  } catch (const Exception&) {
    return false;
  }
}

std::vector<Byte> Inserted(std::vector<Byte> Data, std::size_t At, const std::vector<Byte>& More) {
  Data.insert(Data.begin() + static_cast<std::ptrdiff_t>(At), More.begin(), More.end());
  return Data;
}

}  // namespace

TEST(PictureSize, EveryPictureADecoderTakesHasItsSizeRead) {
  // The pixel budget of a skin is counted from headers, so whatever a decoder accepts the header
  // reader must size alike: chunk types in either letter case, stray bytes between JPEG segments,
  // any number of fill bytes or segments before the frame header.
  std::vector<std::vector<Byte>> Pngs;
  {
    const pngtest::Image Im = pngtest::RandomImage(21, 13, 2, 8, 5);
    const pngtest::Bytes Plain = pngtest::Encode(Im);
    pngtest::Bytes Lower = pngtest::Signature();
    pngtest::Append(Lower, pngtest::Chunk("ihdr", pngtest::IHDRData(21, 13, 8, 2, 0)));
    // The rest of the plain file after its signature and IHDR chunk (8 + 25 bytes).
    Lower.insert(Lower.end(), Plain.begin() + 33, Plain.end());
    Pngs = {Plain, Lower};
  }
  for (std::size_t I = 0; I < Pngs.size(); ++I) {
    int W = 0, H = 0;
    ASSERT_TRUE(PngDecodes(Pngs[I], W, H)) << I;
    const TDeclared R = SizeOf(Pngs[I]);
    EXPECT_TRUE(R.Known && R.W == W && R.H == H) << I;
  }

  std::vector<Byte> Pixels(static_cast<std::size_t>(19) * 11 * 3, 77);
  const std::vector<Byte> Jpeg = jpegtest::EncodeJpeg(19, 11, 3, Pixels.data(), {});
  std::vector<Byte> Fill(5000, 0xFF);
  std::vector<Byte> Comments;
  for (int I = 0; I < 5000; ++I) Comments.insert(Comments.end(), {0xFF, 0xFE, 0x00, 0x02});
  const std::vector<std::vector<Byte>> Jpegs{
      Jpeg,
      Inserted(Jpeg, 2, {0x42}),              // a stray byte after the start of image
      Inserted(Jpeg, 2, {0x00, 0x13, 0x37}),  // stray bytes
      Inserted(Jpeg, 2, {0xFF, 0x00}),        // a stuffed zero where a marker belongs
      Inserted(Jpeg, 2, Fill),                // a long run of fill bytes
      Inserted(Jpeg, 2, Comments),            // 5,000 empty comment segments
  };
  for (std::size_t I = 0; I < Jpegs.size(); ++I) {
    int W = 0, H = 0;
    ASSERT_TRUE(JpegDecodes(Jpegs[I], W, H)) << I;
    const TDeclared R = SizeOf(Jpegs[I], 3);
    EXPECT_TRUE(R.Known && R.W == W && R.H == H) << I;
    EXPECT_EQ(R.PositionAfter, 0) << I;
  }
}
