// The PNG bitmap graphic on the target: loading into device-independent bitmaps, the picture
// registry, alpha drawing onto canvases and a real window (own size, scaled, reflected), icons made
// from PNG images, and clearing transparent white.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "skin_core/png_test_support.h"

using namespace pngtest;

namespace {

void LoadPng(TPNGGraphic& G, const Bytes& Data) {
  TReadOnlyMemoryStream S(Data.data(), static_cast<std::int64_t>(Data.size()));
  G.LoadFromStream(S);
}

// The colour the bitmap shows at (X, Y) as GDI reads it, with the alpha byte of 32-bit pixels.
RGBA Shown(TPNGGraphic& G, int X, int Y) {
  const COLORREF c = static_cast<COLORREF>(G.Canvas()->Pixels(X, Y));
  RGBA r{GetRValue(c), GetGValue(c), GetBValue(c), 255};
  if (G.PixelFormat() == pf32bit) r.A = static_cast<const Byte*>(G.ScanLine(Y))[4 * X + 3];
  return r;
}

std::string FirstMismatchShown(const Image& im, TPNGGraphic& G) {
  if (G.Width() != im.Width || G.Height() != im.Height) return "size differs";
  for (int y = 0; y < im.Height; ++y)
    for (int x = 0; x < im.Width; ++x) {
      const RGBA e = ExpectedColor(im, x, y), g = Shown(G, x, y);
      if (!(e == g))
        return "pixel " + std::to_string(x) + "," + std::to_string(y) + " expected " + std::to_string(e.R) + "," +
               std::to_string(e.G) + "," + std::to_string(e.B) + "," + std::to_string(e.A) + " got " +
               std::to_string(g.R) + "," + std::to_string(g.G) + "," + std::to_string(g.B) + "," + std::to_string(g.A);
    }
  return "";
}

// An RGBA image with the given pixels (R, G, B, A per pixel, rows top first).
Image RgbaImage(int W, int H, const std::vector<std::uint16_t>& Samples) {
  Image im = RandomImage(W, H, 6, 8, 1);
  im.Samples = Samples;
  return im;
}

// A 24-bit bitmap filled with one colour.
std::unique_ptr<TBitmap> Background(int W, int H, TColor Color) {
  auto B = std::make_unique<TBitmap>(W, H, pf24bit);
  B->Canvas()->Brush()->SetColor(Color);
  B->Canvas()->FillRect(Rect(0, 0, W, H));
  return B;
}

RGBA At24(TBitmap& B, int X, int Y) {
  const Byte* p = static_cast<const Byte*>(B.ScanLine(Y)) + 3 * X;
  return RGBA{p[2], p[1], p[0], 255};
}

int Blend(int S, int D, int A) { return ((S - D) * A + D * 256) >> 8; }

std::string TempFile(const char* Name) {
  char Dir[MAX_PATH];
  GetTempPathA(MAX_PATH, Dir);
  return std::string(Dir) + Name;
}

}  // namespace

TEST(PNGGraphic, LoadsEveryKindIntoTheBitmapItShows) {
  TPNGGraphic G;  // one graphic loaded again and again: each load starts afresh
  std::uint32_t Seed = 3;
  for (const Kind& k : AllKinds())
    for (bool Interlaced : {false, true}) {
      Image im = RandomImage(13, 6, k.ColorType, k.Depth, Seed++);
      im.Interlaced = Interlaced;
      if (Seed % 3 == 0) im.Gamma = 45455;
      SCOPED_TRACE(testing::Message() << "type " << k.ColorType << " depth " << k.Depth << " interlaced " << Interlaced);
      LoadPng(G, Encode(im));
      EXPECT_EQ(FirstMismatchShown(im, G), "");
      EXPECT_FALSE(G.Transparent());
      EXPECT_EQ(G.ImageProperties().Width, 13);
      const TPixelFormat Want = k.ColorType == 2 ? pf24bit
                                : k.ColorType == 6 ? pf32bit
                                : k.Depth == 1 ? pf1bit
                                : (k.Depth == 2 || k.Depth == 4) ? pf4bit
                                                                 : pf8bit;
      EXPECT_EQ(G.PixelFormat(), Want);
    }
}

TEST(PNGGraphic, TransparencyPropertiesAndProgress) {
  Image im = RandomImage(5, 4, 2, 8, 9);
  im.Trns = {im.At(0, 0, 0), im.At(0, 0, 1), im.At(0, 0, 2)};
  TPNGGraphic G;
  int Running = 0;
  G.OnProgress = [&](TObject* Sender, TProgressStage Stage, Byte, bool, const TRect&, const AnsiString&) {
    EXPECT_EQ(Sender, &G);
    if (Stage == psRunning) ++Running;
  };
  LoadPng(G, Encode(im));
  EXPECT_EQ(Running, 4);
  EXPECT_TRUE(G.Transparent());
  EXPECT_EQ(G.TransparentColor(), im.Trns[0] | (im.Trns[1] << 8) | (im.Trns[2] << 16));

  // Assign: a PNG graphic takes the image properties too; a plain bitmap takes the pixels only.
  TPNGGraphic Copy;
  Copy.Assign(&G);
  EXPECT_EQ(Copy.ImageProperties().ColorScheme, cmsRGB);
  EXPECT_EQ(Copy.ImageProperties().Height, 4);
  EXPECT_EQ(FirstMismatchShown(im, Copy), "");
  TBitmap Plain;
  Plain.Assign(&G);
  EXPECT_EQ(Plain.Width(), 5);
  EXPECT_EQ(Plain.PixelFormat(), pf24bit);

  // The next load forgets the transparency; a failed load raises and leaves the graphic usable.
  Image Rgba = RandomImage(3, 3, 6, 8, 2);
  LoadPng(G, Encode(Rgba));
  EXPECT_FALSE(G.Transparent());
  Bytes Bad = Encode(Rgba);
  Bad[20] ^= 1;
  EXPECT_THROW(LoadPng(G, Bad), EInvalidGraphic);
  LoadPng(G, Encode(Rgba));
  EXPECT_EQ(FirstMismatchShown(Rgba, G), "");
}

TEST(PNGGraphic, IsThePictureClassesPngFormat) {
  EXPECT_EQ(TPicture::GraphicClassNameFor("png"), "TPNGGraphic");
  EXPECT_EQ(TPicture::FileFormatDescription("PNG"), "Portable network graphics (skin engine)");
  const Image im = RandomImage(7, 3, 3, 4, 11);
  const std::string Path = TempFile("tv_png_picture_test.png");
  const Bytes Png = Encode(im);
  TMemoryStream M;
  M.WriteBuffer(Png.data(), static_cast<std::int64_t>(Png.size()));
  M.SaveToFile(Path);
  TPicture P;
  P.LoadFromFile(Path);
  DeleteFileA(Path.c_str());
  auto* G = dynamic_cast<TPNGGraphic*>(P.Graphic());
  ASSERT_NE(G, nullptr);
  EXPECT_EQ(FirstMismatchShown(im, *G), "");
}

TEST(PNGGraphic, RepeatedLoadsLeakNoGdiObjects) {
  // Two PLTE chunks (the second replaces the first), successful loads and failing ones.
  Image im = RandomImage(9, 9, 3, 8, 4);
  Bytes Pal2(im.Palette.size(), 0x22);
  Bytes Two = Signature();
  Append(Two, Chunk("IHDR", IHDRData(9, 9, 8, 3, 0)));
  Append(Two, Chunk("PLTE", im.Palette));
  Append(Two, Chunk("PLTE", Pal2));
  Append(Two, Chunk("IDAT", Deflate(FilteredData(im))));
  Append(Two, Chunk("IEND", {}));
  // The same with a bad checksum on the image data: it fails after the bitmap got its palette.
  Bytes Broken = Two;
  const auto IDAT = std::search(Broken.begin(), Broken.end(), std::begin("IDAT"), std::begin("IDAT") + 4);
  IDAT[6] ^= 1;
  // This system reports no per-process GDI object count, but it hands out freed handle slots before
  // new ones: the highest slot that a burst of new objects gets only grows when objects leak.
  auto HighestSlot = [] {
    HBRUSH Probe[64];
    unsigned Highest = 0;
    for (HBRUSH& b : Probe) {
      b = CreateSolidBrush(0);
      Highest = std::max<unsigned>(Highest, LOWORD(reinterpret_cast<std::uintptr_t>(b)));
    }
    for (HBRUSH b : Probe) DeleteObject(b);
    return Highest;
  };
  {
    TPNGGraphic Warm;
    LoadPng(Warm, Two);
    Shown(Warm, 0, 0);
  }
  const unsigned Before = HighestSlot();
  for (int i = 0; i < 2000; ++i) {
    TPNGGraphic G;
    LoadPng(G, Two);
    ASSERT_NE(G.Palette(), nullptr);
    ASSERT_EQ(Shown(G, 0, 0).R, 0x22) << i;
    ASSERT_THROW(LoadPng(G, Broken), EInvalidGraphic) << i;
  }
  EXPECT_LT(HighestSlot(), Before + 500);
}

// ---- Drawing ------------------------------------------------------------------------------------

TEST(PNGGraphicDraw, OpaqueImagesDrawAsPlainBitmaps) {
  Image im = RandomImage(6, 4, 2, 8, 21);
  TPNGGraphic G;
  LoadPng(G, Encode(im));
  auto Bg = Background(10, 10, clBlue);
  Bg->Canvas()->Draw(2, 3, &G);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(At24(*Bg, x + 2, y + 3), ExpectedColor(im, x, y)) << x << "," << y;
  EXPECT_EQ(At24(*Bg, 1, 3), (RGBA{0, 0, 255, 255}));
}

TEST(PNGGraphicDraw, AlphaImagesBlendOntoTheCanvasAtTheirOwnSize) {
  // Transparent, half and opaque pixels over a grey background.
  const Image im = RgbaImage(3, 1, {255, 0, 0, 0, 0, 255, 0, 128, 10, 20, 30, 255});
  TPNGGraphic G;
  LoadPng(G, Encode(im));
  auto Bg = Background(5, 3, RGB(100, 100, 100));
  Bg->Canvas()->Draw(1, 1, &G);
  EXPECT_EQ(At24(*Bg, 1, 1), (RGBA{100, 100, 100, 255}));
  EXPECT_EQ(At24(*Bg, 2, 1), (RGBA{Blend(0, 100, 128), Blend(255, 100, 128), Blend(0, 100, 128), 255}));
  EXPECT_EQ(At24(*Bg, 3, 1), (RGBA{Blend(10, 100, 255), Blend(20, 100, 255), Blend(30, 100, 255), 255}));
  EXPECT_EQ(At24(*Bg, 4, 1), (RGBA{100, 100, 100, 255}));
  EXPECT_EQ(At24(*Bg, 1, 0), (RGBA{100, 100, 100, 255}));
}

TEST(PNGGraphicDraw, ScaledDrawingLeavesNoHaloFromTransparentPixels) {
  // Opaque red beside fully transparent white, stretched three times over green.
  std::vector<std::uint16_t> S;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const bool Red = x < 2;
      for (int v : {Red ? 255 : 255, Red ? 0 : 255, Red ? 0 : 255, Red ? 255 : 0}) S.push_back(static_cast<std::uint16_t>(v));
    }
  TPNGGraphic G;
  LoadPng(G, Encode(RgbaImage(4, 4, S)));
  auto Bg = Background(12, 12, RGB(0, 128, 0));
  Bg->Canvas()->StretchDraw(Rect(0, 0, 12, 12), &G);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) EXPECT_EQ(At24(*Bg, x, y).B, 0) << "white bled in at " << x << "," << y;
  EXPECT_GT(At24(*Bg, 0, 6).R, 250);
  EXPECT_EQ(At24(*Bg, 11, 6), (RGBA{0, 128, 0, 255}));
}

TEST(PNGGraphicDraw, ReflectionPaintsAFadingMirrorBelowTheImage) {
  std::vector<std::uint16_t> S;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 2; ++x)
      for (int v : {y * 30, y * 30, y * 30, 255}) S.push_back(static_cast<std::uint16_t>(v));
  TPNGGraphic G;
  LoadPng(G, Encode(RgbaImage(2, 8, S)));
  G.Reflected = true;
  auto Bg = Background(2, 16, clBlack);
  Bg->Canvas()->Draw(0, 0, &G);
  EXPECT_EQ(At24(*Bg, 0, 7).R, Blend(210, 0, 255));
  EXPECT_EQ(At24(*Bg, 0, 8).R, 0);
  EXPECT_EQ(At24(*Bg, 0, 9).R, Blend(180, 0, 85));
  EXPECT_GT(At24(*Bg, 0, 10).R, At24(*Bg, 0, 11).R);
  EXPECT_EQ(At24(*Bg, 0, 12).R, 0);  // the work area is 8 + 4 rows tall
  // Scaled drawing paints no reflection.
  auto Bg2 = Background(4, 32, clBlack);
  Bg2->Canvas()->StretchDraw(Rect(0, 0, 4, 16), &G);
  EXPECT_EQ(At24(*Bg2, 0, 18).R, 0);
  EXPECT_EQ(At24(*Bg2, 0, 20).R, 0);
}

TEST(PNGGraphicDraw, DrawsIntoARealWindow) {
  const int W = 96, H = 64;
  HWND Wnd = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 40, 40, W, H, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(Wnd, nullptr);
  UpdateWindow(Wnd);
  MSG Msg;
  while (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&Msg);
  // A disc of opaque orange fading out at its rim, drawn over a light blue window.
  const int D = 32;
  std::vector<std::uint16_t> S;
  for (int y = 0; y < D; ++y)
    for (int x = 0; x < D; ++x) {
      const double r = std::hypot(x - D / 2 + 0.5, y - D / 2 + 0.5);
      const int a = r < 12 ? 255 : r < 16 ? static_cast<int>((16 - r) * 64) : 0;
      for (int v : {255, 140, 0, a}) S.push_back(static_cast<std::uint16_t>(v));
    }
  TPNGGraphic G;
  LoadPng(G, Encode(RgbaImage(D, D, S)));
  HDC Dc = GetDC(Wnd);
  {
    TCanvas C;
    C.SetHandle(Dc);
    C.Brush()->SetColor(RGB(170, 200, 255));
    C.FillRect(Rect(0, 0, W, H));
    C.Draw(8, 16, &G);
    C.StretchDraw(Rect(48, 8, 48 + 2 * 22, 8 + 2 * 22), &G);
    C.SetHandle(nullptr);
  }
  GdiFlush();
  const COLORREF Centre = GetPixel(Dc, 8 + 16, 16 + 16);
  const COLORREF Outside = GetPixel(Dc, 2, 2);
  const COLORREF ScaledCentre = GetPixel(Dc, 48 + 22, 8 + 22);
  if (std::getenv("PNG_TEST_SNAPSHOT")) {
    TBitmap Shot(W, H, pf24bit);
    BitBlt(Shot.Canvas()->Handle(), 0, 0, W, H, Dc, 0, 0, SRCCOPY);
    Shot.SaveToFile(std::getenv("PNG_TEST_SNAPSHOT"));
  }
  ReleaseDC(Wnd, Dc);
  DestroyWindow(Wnd);
  EXPECT_EQ(GetRValue(Centre), Blend(255, 170, 255));
  EXPECT_EQ(GetGValue(Centre), Blend(140, 200, 255));
  EXPECT_EQ(Outside, RGB(170, 200, 255));
  EXPECT_GT(GetRValue(ScaledCentre), 250);
  EXPECT_LT(GetBValue(ScaledCentre), 5);
}

// ---- Icons and transparent white ----------------------------------------------------------------

namespace {
// The AND mask of an icon, one Boolean per pixel (true = transparent).
std::vector<bool> IconMask(HICON Icon, int W, int H) {
  ICONINFO Info{};
  GetIconInfo(Icon, &Info);
  std::vector<bool> Bits(static_cast<std::size_t>(W) * H);
  HDC Dc = CreateCompatibleDC(nullptr);
  struct {
    BITMAPINFOHEADER H;
    RGBQUAD C[2];
  } Bi{};
  Bi.H.biSize = sizeof(BITMAPINFOHEADER);
  Bi.H.biWidth = W;
  Bi.H.biHeight = -H;
  Bi.H.biPlanes = 1;
  Bi.H.biBitCount = 1;
  std::vector<Byte> Raw(static_cast<std::size_t>((W + 31) / 32 * 4) * H);
  GetDIBits(Dc, Info.hbmMask, 0, H, Raw.data(), reinterpret_cast<BITMAPINFO*>(&Bi), DIB_RGB_COLORS);
  DeleteDC(Dc);
  DeleteObject(Info.hbmMask);
  if (Info.hbmColor) DeleteObject(Info.hbmColor);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) Bits[y * W + x] = (Raw[y * ((W + 31) / 32 * 4) + x / 8] >> (7 - x % 8)) & 1;
  return Bits;
}
}  // namespace

TEST(PNGIcons, RgbImagesAreTransparentWhereTheyShowTheTopLeftColour) {
  Image im = RandomImage(5, 4, 2, 8, 31);
  for (int c = 0; c < 3; ++c) {
    im.At(3, 1, c) = im.At(0, 0, c);
    im.At(4, 3, c) = im.At(0, 0, c);
  }
  im.At(2, 2, 0) = im.At(0, 0, 0);  // same red only: opaque
  TPNGGraphic G;
  LoadPng(G, Encode(im));
  HICON Icon = MakeIconFromPNG(&G, false);
  ASSERT_NE(Icon, nullptr);
  EXPECT_EQ(G.PixelFormat(), pf32bit);
  const std::vector<bool> Mask = IconMask(Icon, 5, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      const bool Key = (x == 0 && y == 0) || (x == 3 && y == 1) || (x == 4 && y == 3);
      EXPECT_EQ(Mask[y * 5 + x], Key) << x << "," << y;
    }
  // Drawn over white, key pixels show white and the others their colour.
  auto Bg = Background(5, 4, clWhite);
  DrawIconEx(Bg->Canvas()->Handle(), 0, 0, Icon, 5, 4, 0, nullptr, DI_NORMAL);
  GdiFlush();
  EXPECT_EQ(At24(*Bg, 3, 1), (RGBA{255, 255, 255, 255}));
  EXPECT_EQ(At24(*Bg, 1, 0), ExpectedColor(im, 1, 0));
  DestroyIcon(Icon);
}

TEST(PNGIcons, AlphaImagesGetAnOpaqueMaskAndOnePixelImagesAreOpaque) {
  TPNGGraphic G;
  LoadPng(G, Encode(RgbaImage(2, 2, {0, 0, 0, 0, 9, 9, 9, 255, 0, 0, 0, 0, 1, 2, 3, 40})));
  HICON Icon = MakeIconFromPNG(&G, false);
  ASSERT_NE(Icon, nullptr);
  for (bool b : IconMask(Icon, 2, 2)) EXPECT_FALSE(b);
  DestroyIcon(Icon);
  // A one-pixel image (and a one-pixel-wide one) gets an all-opaque mask, not an unwritten one.
  for (auto wh : {std::pair<int, int>{1, 1}, {1, 5}}) {
    TPNGGraphic One;
    LoadPng(One, Encode(RandomImage(wh.first, wh.second, 2, 8, 5)));
    HICON I = MakeIconFromPNG(&One, false);
    ASSERT_NE(I, nullptr);
    for (bool b : IconMask(I, wh.first, wh.second)) EXPECT_FALSE(b);
    DestroyIcon(I);
  }
  // ForceMask keys a 32-bit image by its top-left pixel as well.
  HICON Forced = MakeIconFromPNG(&G, true);
  const std::vector<bool> M = IconMask(Forced, 2, 2);
  EXPECT_EQ(M, (std::vector<bool>{true, false, true, false}));
  DestroyIcon(Forced);
}

TEST(PNGIcons, ClearTransparentWhite) {
  TBitmap B(3, 2, pf32bit);
  const Byte Row[12] = {255, 255, 255, 0, 255, 255, 255, 1, 255, 254, 255, 0};
  for (int y = 0; y < 2; ++y) std::memcpy(B.ScanLine(y), Row, 12);
  ClearTransparentWhite(&B);
  const Byte Want[12] = {0, 0, 0, 0, 255, 255, 255, 1, 255, 254, 255, 0};
  for (int y = 0; y < 2; ++y) EXPECT_EQ(std::memcmp(B.ScanLine(y), Want, 12), 0) << y;
  // Other formats stay as they are.
  TBitmap C(2, 2, pf24bit);
  std::memset(C.ScanLine(0), 255, 6);
  ClearTransparentWhite(&C);
  EXPECT_EQ(static_cast<const Byte*>(C.ScanLine(0))[0], 255);
  // So do bitmaps one pixel wide (the pixel accessor refuses them), and no bitmap at all.
  TBitmap Narrow(1, 3, pf32bit);
  for (int y = 0; y < 3; ++y) std::memcpy(Narrow.ScanLine(y), Row, 4);
  ClearTransparentWhite(&Narrow);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(std::memcmp(Narrow.ScanLine(y), Row, 4), 0) << y;
  ClearTransparentWhite(static_cast<TBitmap*>(nullptr));
}
