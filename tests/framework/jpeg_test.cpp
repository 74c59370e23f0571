// JPEG decoding: images made here with libjpeg's compressor (grey, colour, CMYK, subsampled,
// progressive, restart markers, arithmetic coding, many sizes) decode close to the pixels they
// were made from, top row first and with the channels in place; truncated, damaged, garbage and
// oversized data raise EInvalidGraphic with a message, within the decoder's limits.
#include "framework/Jpeg.h"  // first: on the target it brings the platform headers

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "framework/support/JpegSamples.h"
#include "support/JpegEncode.h"


// =============================================================================================
// The samples (shared with the Win32 tests)

namespace jpegtest {

std::vector<Byte> Pattern(int W, int H, int Components) {
  std::vector<Byte> P(static_cast<std::size_t>(W) * H * Components);
  const int DX = std::max(1, W - 1), DY = std::max(1, H - 1), DD = std::max(1, W + H - 2);
  Byte* Out = P.data();
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X) {
      const int R = 255 * X / DX, G = 255 * Y / DY, B = 255 - 255 * (X + Y) / DD;
      if (Components == 1) {
        *Out++ = static_cast<Byte>((R + G + B) / 3);
      } else if (Components == 3) {
        *Out++ = static_cast<Byte>(R);
        *Out++ = static_cast<Byte>(G);
        *Out++ = static_cast<Byte>(B);
      } else {
        *Out++ = static_cast<Byte>(R / 2);
        *Out++ = static_cast<Byte>(G / 2);
        *Out++ = static_cast<Byte>(B / 2);
        *Out++ = static_cast<Byte>(R / 4);
      }
    }
  return P;
}

std::vector<Byte> Encode(const TSample& S) {
  std::vector<Byte> Pixels = S.Pixels.empty() ? Pattern(S.Width, S.Height, S.Components) : S.Pixels;
  if (S.Components == 4 && S.AdobeInverted)
    for (Byte& V : Pixels) V = static_cast<Byte>(255 - V);
  TEncodeOptions O;
  O.Quality = S.Quality;
  O.Progressive = S.Progressive;
  O.Subsampled = S.Subsampled;
  O.RestartRows = S.RestartRows;
  O.Arithmetic = S.Arithmetic;
  O.AdobeMarker = S.AdobeInverted;
  return EncodeJpeg(S.Width, S.Height, S.Components, Pixels.data(), O);
}

std::vector<TMarker> Markers(const std::vector<Byte>& D) {
  std::vector<TMarker> Out;
  std::size_t P = 0;
  while (P + 1 < D.size() && D[P] == 0xFF) {
    const Byte Code = D[P + 1];
    Out.push_back({P, Code});
    if (Code == 0xD8 || Code == 0xD9) {
      P += 2;
      continue;
    }
    if (P + 3 >= D.size()) break;
    P += 2 + (std::size_t{D[P + 2]} << 8 | D[P + 3]);
    if (Code != 0xDA) continue;
    // Scan data: up to the next marker that is neither a stuffed zero nor a restart marker.
    while (P + 1 < D.size() && !(D[P] == 0xFF && D[P + 1] != 0 && (D[P + 1] < 0xD0 || D[P + 1] > 0xD7))) ++P;
  }
  return Out;
}

std::size_t FindMarker(const std::vector<Byte>& D, Byte Code, int N) {
  for (const TMarker& M : Markers(D))
    if (M.Code == Code && --N == 0) return M.Offset;
  return npos;
}

}  // namespace jpegtest

namespace {

using namespace jpegtest;

// ---------------------------------------------------------------------------------------------
// Helpers

TJPEGPixels Decode(const std::vector<Byte>& Data, const TJPEGLimits& Limits = {}) {
  return DecodeJPEG(Data.data(), Data.size(), Limits);
}

// The message of the EInvalidGraphic that decoding raises ("" and a test failure when it
// succeeds or raises something else).
std::string DecodeError(const std::vector<Byte>& Data, const TJPEGLimits& Limits = {}) {
  try {
    Decode(Data, Limits);
  } catch (const EInvalidGraphic& E) {
    return E.Message.empty() ? std::string("(empty message)") : E.Message;
  } catch (const std::exception& E) {
    ADD_FAILURE() << "unexpected exception: " << E.what();
    return "";
  }
  ADD_FAILURE() << "decoding succeeded";
  return "";
}

// The colour a sample pixel should show, as R, G, B.
std::vector<Byte> ExpectedRGB(const TSample& S) {
  const std::vector<Byte> In = S.Pixels.empty() ? Pattern(S.Width, S.Height, S.Components) : S.Pixels;
  std::vector<Byte> Out;
  Out.reserve(static_cast<std::size_t>(S.Width) * S.Height * 3);
  for (std::size_t I = 0; I < In.size(); I += S.Components) {
    if (S.Components == 1) {
      Out.insert(Out.end(), {In[I], In[I], In[I]});
    } else if (S.Components == 3) {
      Out.insert(Out.end(), {In[I], In[I + 1], In[I + 2]});
    } else {
      const int K = 255 - In[I + 3];
      for (int Ch = 0; Ch < 3; ++Ch) Out.push_back(static_cast<Byte>((255 - In[I + Ch]) * K / 255));
    }
  }
  return Out;
}

struct TError {
  double Mean = 0;
  int Max = 0;
};

TError Compare(const std::vector<Byte>& A, const std::vector<Byte>& B) {
  TError E;
  if (A.size() != B.size() || A.empty()) return {1e9, 1 << 30};
  long long Sum = 0;
  for (std::size_t I = 0; I < A.size(); ++I) {
    const int D = std::abs(int{A[I]} - int{B[I]});
    Sum += D;
    E.Max = std::max(E.Max, D);
  }
  E.Mean = static_cast<double>(Sum) / static_cast<double>(A.size());
  return E;
}

std::string Describe(const TSample& S) {
  char Buf[160];
  std::snprintf(Buf, sizeof Buf, "%dx%d, %d components%s%s%s%s", S.Width, S.Height, S.Components,
                S.Progressive ? ", progressive" : "", S.Subsampled ? ", subsampled" : "",
                S.RestartRows ? ", restarts" : "", S.Arithmetic ? ", arithmetic" : "");
  return Buf;
}

// Decodes a sample and checks its size, flags and pixels against what it was made from.
void ExpectDecodesClose(const TSample& S, double MaxMean = 3.0, int MaxError = 40) {
  SCOPED_TRACE(Describe(S));
  const std::vector<Byte> Data = Encode(S);
  std::size_t Used = 0;
  const TJPEGPixels P = DecodeJPEG(Data.data(), Data.size(), {}, &Used);
  EXPECT_EQ(P.Width, S.Width);
  EXPECT_EQ(P.Height, S.Height);
  EXPECT_EQ(P.Grayscale, S.Components == 1);
  EXPECT_EQ(P.Progressive, S.Progressive);
  EXPECT_EQ(Used, Data.size());
  ASSERT_EQ(P.RGB.size(), static_cast<std::size_t>(S.Width) * S.Height * 3);
  const TError E = Compare(P.RGB, ExpectedRGB(S));
  EXPECT_LE(E.Mean, MaxMean);
  EXPECT_LE(E.Max, MaxError);
}

std::vector<Byte> Cut(const std::vector<Byte>& D, std::size_t N) { return std::vector<Byte>(D.begin(), D.begin() + N); }

void Put16(std::vector<Byte>& D, std::size_t At, unsigned V) {
  D[At] = static_cast<Byte>(V >> 8);
  D[At + 1] = static_cast<Byte>(V);
}

// The sample with the size in its frame header replaced.
std::vector<Byte> WithSize(std::vector<Byte> D, unsigned W, unsigned H) {
  std::size_t Sof = FindMarker(D, 0xC0);
  if (Sof == npos) Sof = FindMarker(D, 0xC2);
  EXPECT_NE(Sof, npos);
  if (Sof == npos) return D;
  Put16(D, Sof + 5, H);
  Put16(D, Sof + 7, W);
  return D;
}

bool Contains(const std::string& S, const char* Part) { return S.find(Part) != std::string::npos; }

// =============================================================================================
// Decoding

TEST(JpegDecode, ColourImagesOfManySizesAndCodings) {
  const int Sizes[][2] = {{1, 1}, {7, 3}, {8, 8}, {9, 17}, {16, 16}, {33, 20}, {64, 48}, {301, 7}, {5, 130}};
  for (const auto& Size : Sizes)
    for (int Mode = 0; Mode < 4; ++Mode) {
      TSample S;
      S.Width = Size[0];
      S.Height = Size[1];
      S.Subsampled = (Mode & 1) != 0;
      S.Progressive = (Mode & 2) != 0;
      // Halved colour resolution blurs the steep colour ramps of the smallest images (a ramp
      // crosses the whole range in a few pixels there).
      if (S.Subsampled)
        ExpectDecodesClose(S, std::min(S.Width, S.Height) < 8 ? 32.0 : 8.0, 128);
      else
        ExpectDecodesClose(S);
    }
}

TEST(JpegDecode, GreyImagesGiveEqualChannels) {
  const int Sizes[][2] = {{1, 1}, {3, 11}, {8, 8}, {40, 33}, {257, 5}};
  for (const auto& Size : Sizes)
    for (bool Progressive : {false, true}) {
      TSample S;
      S.Width = Size[0];
      S.Height = Size[1];
      S.Components = 1;
      S.Progressive = Progressive;
      ExpectDecodesClose(S);
      const TJPEGPixels P = Decode(Encode(S));
      for (std::size_t I = 0; I < P.RGB.size(); I += 3) {
        ASSERT_EQ(P.RGB[I], P.RGB[I + 1]) << I / 3;
        ASSERT_EQ(P.RGB[I], P.RGB[I + 2]) << I / 3;
      }
    }
}

TEST(JpegDecode, RestartMarkersArithmeticCodingAndLowQuality) {
  TSample S;
  S.Width = 70;
  S.Height = 45;
  S.RestartRows = 1;
  ExpectDecodesClose(S);
  S.Subsampled = true;
  ExpectDecodesClose(S);
#ifdef C_ARITH_CODING_SUPPORTED
  S.RestartRows = 0;
  S.Arithmetic = true;
  ExpectDecodesClose(S);
  S.Progressive = true;
  ExpectDecodesClose(S);
#endif
  // Coarse quantisation still decodes in place, only less exactly.
  TSample Low;
  Low.Width = Low.Height = 48;
  Low.Quality = 20;
  ExpectDecodesClose(Low, 8.0, 90);
}

TEST(JpegDecode, FourComponentImagesBecomeRgbWithEitherSampleConvention) {
  // Solid stripes 16 pixels wide: no ink, cyan, magenta + yellow (red), full key (black), half key.
  std::vector<Byte> Ink;
  const Byte Stripes[5][4] = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 255, 255, 0}, {0, 0, 0, 255}, {0, 0, 0, 128}};
  for (int Y = 0; Y < 16; ++Y)
    for (const auto& Stripe : Stripes)
      for (int X = 0; X < 16; ++X) Ink.insert(Ink.end(), Stripe, Stripe + 4);
  for (bool Adobe : {true, false}) {
    SCOPED_TRACE(Adobe ? "Adobe marker, inverted samples" : "no Adobe marker");
    TSample S;
    S.Width = 80;
    S.Height = 16;
    S.Components = 4;
    S.AdobeInverted = Adobe;
    S.Pixels = Ink;
    const TJPEGPixels P = Decode(Encode(S));
    EXPECT_FALSE(P.Grayscale);
    auto At = [&](int X) { return std::vector<int>{P.Row(8)[X * 3], P.Row(8)[X * 3 + 1], P.Row(8)[X * 3 + 2]}; };
    auto Near = [](std::vector<int> A, std::vector<int> B) {
      for (int I = 0; I < 3; ++I)
        if (std::abs(A[I] - B[I]) > 6) return false;
      return true;
    };
    EXPECT_TRUE(Near(At(8), {255, 255, 255}));
    EXPECT_TRUE(Near(At(24), {0, 255, 255}));
    EXPECT_TRUE(Near(At(40), {255, 0, 0}));
    EXPECT_TRUE(Near(At(56), {0, 0, 0}));
    EXPECT_TRUE(Near(At(72), {127, 127, 127}));
    // The smooth pattern as well.
    TSample Smooth;
    Smooth.Width = 30;
    Smooth.Height = 20;
    Smooth.Components = 4;
    Smooth.AdobeInverted = Adobe;
    ExpectDecodesClose(Smooth);
  }
}

TEST(JpegDecode, TheDataStreamEndsAtItsEndMarker) {
  TSample S;
  S.Width = 20;
  S.Height = 10;
  std::vector<Byte> Data = Encode(S);
  const std::size_t Length = Data.size();
  const TJPEGPixels Alone = Decode(Data);
  // Whatever follows the end-of-image marker is not read.
  for (const char* Tail : {"x", "\xFF\xD8\xFF", "trailing bytes of another file"}) {
    std::vector<Byte> More = Data;
    More.insert(More.end(), Tail, Tail + std::strlen(Tail));
    std::size_t Used = 0;
    const TJPEGPixels P = DecodeJPEG(More.data(), More.size(), {}, &Used);
    EXPECT_EQ(Used, Length);
    EXPECT_EQ(P.RGB, Alone.RGB);
  }
}

TEST(JpegDecode, TheRowDecoderGivesTheSameRowsAndGuardsItsOrder) {
  TSample S;
  S.Width = 37;
  S.Height = 21;
  S.Progressive = true;
  const std::vector<Byte> Data = Encode(S);
  const TJPEGPixels Whole = Decode(Data);

  TJPEGDecoder D(Data.data(), Data.size());
  EXPECT_EQ(D.Width(), 37);
  EXPECT_EQ(D.Height(), 21);
  EXPECT_EQ(D.Components(), 3);
  EXPECT_TRUE(D.Progressive());
  std::vector<Byte> Row(37 * 3);
  for (int Y = 0; Y < 20; ++Y) {
    D.ReadRow(Row.data());
    ASSERT_TRUE(std::equal(Row.begin(), Row.end(), Whole.Row(Y))) << "row " << Y;
  }
  EXPECT_THROW(D.Finish(), EInvalidGraphicOperation);  // a row is still unread
  D.ReadRow(Row.data());
  EXPECT_EQ(D.RowsRead(), 21);
  EXPECT_THROW(D.ReadRow(Row.data()), EInvalidGraphicOperation);
  EXPECT_EQ(D.Finish(), Data.size());
  EXPECT_EQ(D.Finish(), Data.size());
}

// =============================================================================================
// Bad input

TEST(JpegBadInput, EveryTruncationIsAnError) {
  TSample Colour;
  Colour.Width = 24;
  Colour.Height = 20;
  TSample Grey = Colour;
  Grey.Components = 1;
  TSample Progressive = Colour;
  Progressive.Progressive = true;
  Progressive.Subsampled = true;
  TSample Restarts = Colour;
  Restarts.RestartRows = 1;
  for (const TSample& S : {Colour, Grey, Progressive, Restarts}) {
    SCOPED_TRACE(Describe(S));
    const std::vector<Byte> Data = Encode(S);
    for (std::size_t N = 0; N < Data.size(); ++N) {
      // An exact copy, so that reading past the end is seen by the sanitizers.
      const std::vector<Byte> Part = Cut(Data, N);
      try {
        Decode(Part);
        ADD_FAILURE() << "the first " << N << " of " << Data.size() << " bytes decoded";
      } catch (const EInvalidGraphic& E) {
        ASSERT_FALSE(E.Message.empty()) << N;
      }
    }
  }
  // The usual message of data that stops early.
  TSample S;
  const std::vector<Byte> Data = Encode(S);
  EXPECT_TRUE(Contains(DecodeError(Cut(Data, Data.size() - 5)), "Premature end of"));
}

TEST(JpegBadInput, AScanCutShortBeforeAnEndMarkerIsAnError) {
  for (bool Progressive : {false, true}) {
    TSample S;
    S.Width = S.Height = 48;
    S.Progressive = Progressive;
    const std::vector<Byte> Data = Encode(S);
    const std::size_t Sos = FindMarker(Data, 0xDA);
    ASSERT_NE(Sos, npos);
    // Half of the first scan's data, then the end-of-image marker.
    const std::size_t ScanStart = Sos + 2 + (std::size_t{Data[Sos + 2]} << 8 | Data[Sos + 3]);
    const std::size_t Next = Progressive ? FindMarker(Data, 0xDA, 2) : FindMarker(Data, 0xD9);
    ASSERT_NE(Next, npos);
    std::vector<Byte> Short = Cut(Data, (ScanStart + Next) / 2);
    if (Short.back() == 0xFF) Short.pop_back();
    Short.insert(Short.end(), {0xFF, 0xD9});
    EXPECT_TRUE(Contains(DecodeError(Short), "premature end of data segment")) << Progressive;
  }
}

TEST(JpegBadInput, AProgressiveImageWithoutAllItsScansIsAnError) {
  TSample S;
  S.Width = S.Height = 32;
  S.Progressive = true;
  const std::vector<Byte> Data = Encode(S);
  // Keep the first scans whole and drop the rest.
  for (int Kept : {1, 3, 6}) {
    const std::size_t Next = FindMarker(Data, 0xDA, Kept + 1);
    ASSERT_NE(Next, npos);
    std::vector<Byte> Partial = Cut(Data, Next);
    Partial.insert(Partial.end(), {0xFF, 0xD9});
    EXPECT_TRUE(Contains(DecodeError(Partial), "scans")) << Kept;
  }
}

TEST(JpegBadInput, GarbageIsRejectedWithAMessage) {
  const std::string Cases[] = {
      std::string(),
      std::string("\xFF", 1),
      std::string("\xFF\xD8", 2),
      std::string("\xFF\xD8\xFF\xD9", 4),
      std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16),
      std::string("BM this is not a JPEG image at all"),
      std::string("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\x10\x00\x10\x03\x01\x11\x00\x02\x11\x01\x03\x11\x01\xFF\xD9", 23),
  };
  for (const std::string& C : Cases) {
    SCOPED_TRACE(testing::PrintToString(C));
    EXPECT_FALSE(DecodeError(std::vector<Byte>(C.begin(), C.end())).empty());
  }
  EXPECT_TRUE(Contains(DecodeError({'B', 'M', 0, 0}), "Not a JPEG file"));

  // A start-of-image marker followed by random bytes.
  std::mt19937 Random(12345);
  for (int I = 0; I < 200; ++I) {
    std::vector<Byte> D{0xFF, 0xD8};
    const int N = 1 + static_cast<int>(Random() % 300);
    for (int K = 0; K < N; ++K) D.push_back(static_cast<Byte>(Random()));
    EXPECT_FALSE(DecodeError(D).empty()) << I;
  }
}

TEST(JpegBadInput, DamagedDataEitherDecodesWholeOrRaises) {
  TSample Baseline;
  Baseline.Width = 40;
  Baseline.Height = 24;
  TSample Progressive = Baseline;
  Progressive.Progressive = true;
  Progressive.Subsampled = true;
  TJPEGLimits Small;
  Small.MaxPixels = 1 << 20;  // damaged sizes stay cheap
  std::mt19937 Random(777);
  for (const TSample& S : {Baseline, Progressive}) {
    SCOPED_TRACE(Describe(S));
    const std::vector<Byte> Data = Encode(S);
    int Raised = 0, Decoded = 0;
    for (int I = 0; I < 400; ++I) {
      std::vector<Byte> D = Data;
      const int Flips = 1 + static_cast<int>(Random() % 4);
      for (int K = 0; K < Flips; ++K) D[2 + Random() % (D.size() - 2)] ^= static_cast<Byte>(1 + Random() % 255);
      try {
        const TJPEGPixels P = Decode(D, Small);
        ASSERT_EQ(P.RGB.size(), static_cast<std::size_t>(P.Width) * P.Height * 3);
        ASSERT_GT(P.Width, 0);
        ASSERT_GT(P.Height, 0);
        ++Decoded;
      } catch (const EInvalidGraphic& E) {
        ASSERT_FALSE(E.Message.empty());
        ++Raised;
      }
    }
    // Both outcomes happen: damage inside the coefficients can still decode.
    EXPECT_GT(Raised, 0);
    EXPECT_GT(Decoded, 0);
  }
}

TEST(JpegBadInput, SizesBeyondTheLimitsAreRefusedBeforeDecoding) {
  TSample S;
  S.Width = S.Height = 16;
  const std::vector<Byte> Data = Encode(S);
  EXPECT_TRUE(Contains(DecodeError(WithSize(Data, 40000, 16)), "too large"));
  EXPECT_TRUE(Contains(DecodeError(WithSize(Data, 16, 32768)), "too large"));
  EXPECT_TRUE(Contains(DecodeError(WithSize(Data, 10000, 10000)), "too large"));  // over 2^26 pixels
  // Within the limits, a header promising far more than the data holds fails on the data.
  const std::string Big = DecodeError(WithSize(Data, 32767, 2048));
  EXPECT_FALSE(Contains(Big, "too large")) << Big;
  // A zero size is not an image.
  EXPECT_FALSE(DecodeError(WithSize(Data, 0, 16)).empty());

  // The limits hold exactly at their values.
  TJPEGLimits L;
  L.MaxSide = 16;
  EXPECT_EQ(Decode(Data, L).Width, 16);
  TSample Wide = S;
  Wide.Width = 17;
  EXPECT_TRUE(Contains(DecodeError(Encode(Wide), L), "too large"));
  L = {};
  L.MaxPixels = 256;
  EXPECT_EQ(Decode(Data, L).Height, 16);
  L.MaxPixels = 255;
  EXPECT_TRUE(Contains(DecodeError(Data, L), "too large"));
}

TEST(JpegBadInput, ScanCountAndWorkingMemoryAreLimited) {
  TSample S;
  S.Width = S.Height = 64;
  S.Progressive = true;
  const std::vector<Byte> Data = Encode(S);
  const std::vector<TMarker> All = Markers(Data);
  const std::size_t Scans = static_cast<std::size_t>(
      std::count_if(All.begin(), All.end(), [](const TMarker& M) { return M.Code == 0xDA; }));
  ASSERT_GT(Scans, 3u);
  TJPEGLimits L;
  L.MaxScans = static_cast<int>(Scans);
  EXPECT_EQ(Decode(Data, L).Width, 64);
  L.MaxScans = static_cast<int>(Scans) - 1;
  EXPECT_TRUE(Contains(DecodeError(Data, L), "too many scans"));

  // A multi-scan image keeps 128 bytes per block of every component: 3 x 64 blocks here.
  L = {};
  L.MaxWorkMemory = 3 * 64 * 128;
  EXPECT_EQ(Decode(Data, L).Width, 64);
  L.MaxWorkMemory = 3 * 64 * 128 - 1;
  EXPECT_TRUE(Contains(DecodeError(Data, L), "too large"));
  // A single-scan image keeps only a few rows and is not affected.
  TSample Baseline = S;
  Baseline.Progressive = false;
  EXPECT_EQ(Decode(Encode(Baseline), L).Width, 64);
}

TEST(JpegBadInput, HarmlessOddities) {
  TSample S;
  S.Width = S.Height = 16;
  const std::vector<Byte> Data = Encode(S);
  const TJPEGPixels Clean = Decode(Data);
  // Stray bytes between two marker segments: the decoder's warning is not printed, the image
  // decodes as it is.
  std::vector<Byte> Stray = Data;
  const std::size_t Dqt = FindMarker(Stray, 0xDB);
  ASSERT_NE(Dqt, npos);
  Stray.insert(Stray.begin() + static_cast<std::ptrdiff_t>(Dqt), {0x00, 0x12, 0x34});
  testing::internal::CaptureStderr();
  const TJPEGPixels P = Decode(Stray);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(P.RGB, Clean.RGB);
  // Application segments of any kind are skipped.
  std::vector<Byte> App = Data;
  const Byte Segment[] = {0xFF, 0xE5, 0x00, 0x08, 'n', 'o', 't', 'e', 0xFF, 0xD9};
  App.insert(App.begin() + 2, Segment, Segment + sizeof Segment);
  EXPECT_EQ(Decode(App).RGB, Clean.RGB);
}

}  // namespace
