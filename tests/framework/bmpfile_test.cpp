// The portable readers of BMP and icon files: the pixels they hand to a target, and damaged files
// (every cut of a file and every damaged header field ends in the reader's error, never in memory
// it does not own; the native build runs these under the address sanitizer).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/BmpFile.h"
#include "framework/Exceptions.h"
#include "framework/Streams.h"

namespace {

using Bytes = std::vector<Byte>;

void Put16(Bytes& B, std::size_t At, unsigned V) {
  B[At] = static_cast<Byte>(V);
  B[At + 1] = static_cast<Byte>(V >> 8);
}
void Put32(Bytes& B, std::size_t At, std::uint32_t V) {
  for (int I = 0; I < 4; ++I) B[At + I] = static_cast<Byte>(V >> (8 * I));
}

// A BMP file: info header, colour table, pixel data.
Bytes BmpFile(std::int32_t W, std::int32_t H, int Bits, std::uint32_t Compression, const Bytes& Table,
              const Bytes& Pixels) {
  Bytes B(14 + 40);
  B[0] = 'B';
  B[1] = 'M';
  Put32(B, 10, static_cast<std::uint32_t>(14 + 40 + Table.size()));
  Put32(B, 14, 40);
  Put32(B, 18, static_cast<std::uint32_t>(W));
  Put32(B, 22, static_cast<std::uint32_t>(H));
  Put16(B, 26, 1);
  Put16(B, 28, static_cast<unsigned>(Bits));
  Put32(B, 30, Compression);
  Put32(B, 34, static_cast<std::uint32_t>(Pixels.size()));
  if (Bits <= 8) Put32(B, 46, static_cast<std::uint32_t>(Table.size() / 4));
  B.insert(B.end(), Table.begin(), Table.end());
  B.insert(B.end(), Pixels.begin(), Pixels.end());
  Put32(B, 2, static_cast<std::uint32_t>(B.size()));
  return B;
}

// A target in plain memory.
class TMemoryTarget : public TBmpTarget {
 public:
  Byte* Create(int Width, int Height, TBmpFormat F, const std::vector<TBmpColor>& C) override {
    W = Width;
    H = Height;
    Format = F;
    Colors = C;
    Stride = BmpStride(Width, BmpFormatBits(F));
    Pixels.assign(static_cast<std::size_t>(Stride * Height), 0);
    ++Created;
    return Pixels.data();
  }
  // Row Y counted from the top.
  const Byte* Row(int Y) const { return Pixels.data() + static_cast<std::size_t>(H - 1 - Y) * Stride; }

  int W = 0, H = 0, Created = 0;
  TBmpFormat Format = TBmpFormat::Bits1;
  std::int64_t Stride = 0;
  std::vector<TBmpColor> Colors;
  Bytes Pixels;
};

std::string ReadError(const Bytes& File, TMemoryTarget* Out = nullptr) {
  TMemoryTarget T;
  TReadOnlyMemoryStream S(File.data(), static_cast<std::int64_t>(File.size()));
  try {
    ReadBmpFile(S, Out ? *Out : T);
  } catch (const EInvalidGraphic& E) {
    return E.Message;
  }
  return "";
}

}  // namespace

TEST(BmpFileReader, PixelsOfEachLayoutReachTheTarget) {
  // 24 bits, bottom-up, rows padded to 4 bytes.
  Bytes P24(2 * 8, 0);
  for (int I = 0; I < 6; ++I) P24[I] = static_cast<Byte>(10 + I);  // bottom row
  for (int I = 0; I < 6; ++I) P24[8 + I] = static_cast<Byte>(20 + I);
  TMemoryTarget T;
  ASSERT_EQ(ReadError(BmpFile(2, 2, 24, 0, {}, P24), &T), "");
  EXPECT_EQ(T.Format, TBmpFormat::Bits24);
  EXPECT_EQ(T.Row(0)[0], 20);  // top row
  EXPECT_EQ(T.Row(1)[5], 15);

  // 8 bits run-length, with a colour table of two entries (the table is widened to 256).
  const Bytes Table{1, 2, 3, 0, 4, 5, 6, 0};
  const Bytes Rle{3, 1, 0, 0, 2, 1, 0, 1};  // bottom row: three of index 1; next row: two; end
  TMemoryTarget R;
  ASSERT_EQ(ReadError(BmpFile(4, 2, 8, 1, Table, Rle), &R), "");
  EXPECT_EQ(R.Format, TBmpFormat::Bits8);
  ASSERT_EQ(R.Colors.size(), 256u);
  EXPECT_EQ(R.Colors[1].R, 6);
  EXPECT_EQ(R.Row(1)[2], 1);
  EXPECT_EQ(R.Row(1)[3], 0);
  EXPECT_EQ(R.Row(0)[1], 1);

  // 16 bits with 5-6-5 bit fields, top-down.
  Bytes Masks(12);
  Put32(Masks, 0, 0xF800);
  Put32(Masks, 4, 0x07E0);
  Put32(Masks, 8, 0x001F);
  Bytes F = BmpFile(1, -2, 16, 3, Masks, {0x1F, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x00, 0x00});
  TMemoryTarget B;
  ASSERT_EQ(ReadError(F, &B), "");
  EXPECT_EQ(B.Format, TBmpFormat::Rgb565);
  EXPECT_EQ(B.Row(0)[0], 0x1F);  // top row first in a top-down file
  EXPECT_EQ(B.Row(1)[1], 0xF8);
}

TEST(BmpFileReader, DamagedFilesRaiseTheReadersError) {
  Bytes P24(2 * 8, 7);
  const Bytes Good = BmpFile(2, 2, 24, 0, {}, P24);
  // Every cut.
  for (std::size_t N = 0; N < Good.size(); ++N) {
    const std::string M = ReadError(Bytes(Good.begin(), Good.begin() + static_cast<std::ptrdiff_t>(N)));
    EXPECT_EQ(M.rfind("Bitmap image is not valid: ", 0), 0u) << N << ": " << M;
  }
  // Headers that lie: sizes, planes, depths, compressions, offsets; found before Create.
  struct TLie {
    std::size_t At;
    std::uint32_t Value;
    int Width;
  };
  for (const TLie& L : {TLie{18, 0, 4}, {18, 0x80000000u, 4}, {22, 0, 4}, {18, 40000, 4}, {26, 2, 2}, {28, 7, 2},
                        {30, 9, 4}, {30, 1, 4}, {10, 5, 4}, {10, 0xFFFFFFF0u, 4}, {14, 41, 4}}) {
    Bytes Bad = Good;
    if (L.Width == 4)
      Put32(Bad, L.At, L.Value);
    else
      Put16(Bad, L.At, L.Value);
    TMemoryTarget T;
    const std::string M = ReadError(Bad, &T);
    EXPECT_EQ(M.rfind("Bitmap image is not valid: ", 0), 0u) << L.At << ": " << M;
    EXPECT_EQ(T.Created, 0) << L.At;
  }
}

TEST(IconFileReader, FirstImageAndDamagedDirectories) {
  // One 2 x 2 image of 32 bits without its mask (added as opaque).
  Bytes Image(40 + 2 * 2 * 4, 0);
  Put32(Image, 0, 40);
  Put32(Image, 4, 2);
  Put32(Image, 8, 4);
  Put16(Image, 12, 1);
  Put16(Image, 14, 32);
  Bytes Ico(6 + 16, 0);
  Put16(Ico, 2, 1);
  Put16(Ico, 4, 1);
  Put32(Ico, 6 + 8, static_cast<std::uint32_t>(Image.size()));
  Put32(Ico, 6 + 12, 22);
  Ico.insert(Ico.end(), Image.begin(), Image.end());
  TReadOnlyMemoryStream S(Ico.data(), static_cast<std::int64_t>(Ico.size()));
  const TIconFileImage I = ReadIconFile(S);
  EXPECT_EQ(I.Width, 2);
  EXPECT_EQ(I.Height, 2);
  EXPECT_EQ(I.End, static_cast<std::int64_t>(Ico.size()));
  EXPECT_EQ(I.Data.size(), Image.size() + 2 * 4);  // the mask rows, 4 bytes each

  for (std::size_t N = 0; N < Ico.size(); ++N) {
    TReadOnlyMemoryStream Cut(Ico.data(), static_cast<std::int64_t>(N));
    EXPECT_THROW(ReadIconFile(Cut), EInvalidGraphic) << N;
  }
  for (std::size_t At : {std::size_t{2}, std::size_t{4}, std::size_t{14}, std::size_t{18}, std::size_t{22 + 4},
                         std::size_t{22 + 8}, std::size_t{22 + 14}}) {
    Bytes Bad = Ico;
    Put32(Bad, At, 0xFFFFFFF0u);
    TReadOnlyMemoryStream B(Bad.data(), static_cast<std::int64_t>(Bad.size()));
    EXPECT_THROW(ReadIconFile(B), EInvalidGraphic) << At;
  }
}

// What the writers make reads back as it was: every layout of BMP file (table, bit masks, rows
// padded to 4 bytes), a resource turned into a file, and icon files of 1 and 32 bits.
TEST(BmpFileWriter, FilesReadBackAsWritten) {
  struct Case {
    TBmpFormat Format;
    int Colors;
  };
  for (const Case C : {Case{TBmpFormat::Bits1, 2}, Case{TBmpFormat::Bits4, 16}, Case{TBmpFormat::Bits8, 256},
                       Case{TBmpFormat::Rgb555, 0}, Case{TBmpFormat::Rgb565, 0}, Case{TBmpFormat::Bits24, 0},
                       Case{TBmpFormat::Bits32, 0}}) {
    const int W = 5, H = 3;
    std::vector<TBmpColor> Table(static_cast<std::size_t>(C.Colors));
    for (std::size_t I = 0; I < Table.size(); ++I)
      Table[I] = TBmpColor{static_cast<Byte>(I), static_cast<Byte>(255 - I), static_cast<Byte>(I * 7), 0};
    Bytes File = BmpFileHeader(W, H, C.Format, Table);
    const std::size_t Head = File.size();
    const std::int64_t Stride = BmpStride(W, BmpFormatBits(C.Format));
    for (std::int64_t I = 0; I < Stride * H; ++I) File.push_back(static_cast<Byte>(I * 37 + 11));
    // Padding bytes are not pixels: the reader need not keep them, so they are zero here.
    const int Used = (W * BmpFormatBits(C.Format) + 7) / 8;
    for (int Y = 0; Y < H; ++Y)
      for (std::int64_t X = Used; X < Stride; ++X) File[Head + static_cast<std::size_t>(Y * Stride + X)] = 0;
    if (C.Format == TBmpFormat::Bits32)
      for (std::size_t I = Head + 3; I < File.size(); I += 4) File[I] = 255;  // opaque: kept as stored

    TMemoryTarget T;
    ASSERT_EQ(ReadError(File, &T), "") << static_cast<int>(C.Format);
    EXPECT_EQ(T.W, W);
    EXPECT_EQ(T.H, H);
    EXPECT_EQ(T.Format, C.Format);
    ASSERT_EQ(T.Colors.size(), Table.size());
    for (std::size_t I = 0; I < Table.size(); ++I) {
      EXPECT_EQ(T.Colors[I].B, Table[I].B);
      EXPECT_EQ(T.Colors[I].G, Table[I].G);
      EXPECT_EQ(T.Colors[I].R, Table[I].R);
    }
    EXPECT_EQ(T.Pixels, Bytes(File.begin() + static_cast<std::ptrdiff_t>(Head), File.end()))
        << static_cast<int>(C.Format);

    // The same file less its file header, as a resource holds it.
    const Bytes Res(File.begin() + 14, File.end());
    const Bytes Again = BmpFileOfResource(Res.data(), Res.size());
    EXPECT_EQ(Bytes(Again.begin() + 14, Again.end()), Res);
    TMemoryTarget T2;
    EXPECT_EQ(ReadError(Again, &T2), "");
    EXPECT_EQ(T2.Pixels, T.Pixels);
  }

  for (const int Bits : {1, 32}) {
    const int W = 3, H = 2;
    Bytes Image = IconImageHeader(W, H, Bits);
    EXPECT_EQ(IconImageBits(Image), Bits);
    const std::int64_t Rows = (BmpStride(W, Bits) + BmpStride(W, 1)) * H;
    for (std::int64_t I = 0; I < Rows; ++I) Image.push_back(static_cast<Byte>(I));
    TMemoryStream S;
    WriteIconFile(S, Image, W, H, Bits);
    S.SetPosition(0);
    const TIconFileImage I = ReadIconFile(S);
    EXPECT_EQ(I.Width, W) << Bits;
    EXPECT_EQ(I.Height, H) << Bits;
    EXPECT_EQ(I.End, S.Size()) << Bits;
    EXPECT_EQ(I.Data, Image) << Bits;
  }
  EXPECT_EQ(IconImageBits(Bytes(15, 0)), 32);
}
