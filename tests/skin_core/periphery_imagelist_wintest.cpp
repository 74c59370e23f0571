// The alpha image list: images built from PNG and ICO sources keep their alpha and blend when
// drawn; sources kept or dropped; bad sources raise clear errors; images added without alpha
// become opaque (except transparent pixels); copies between lists; the sources' binary stream.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>

#include "framework/Components.h"
#include "periphery_support.h"
#include "skin/core/acAlphaImageList.h"
#include "support/MessageOf.h"

using exctest::MessageOf;

namespace {

// 16 x 16: columns 0-7 opaque red, 8-11 blue at alpha 128, 12-15 fully transparent.
std::array<int, 4> PngPixel(int X, int) {
  if (X < 8) return {255, 0, 0, 255};
  if (X < 12) return {0, 0, 255, 128};
  return {0, 0, 0, 0};
}
// 16 x 16: the top 8 rows opaque green, the rest transparent.
std::array<int, 4> IcoPixel(int, int Y) {
  return Y < 8 ? std::array<int, 4>{0, 160, 0, 255} : std::array<int, 4>{0, 0, 0, 0};
}

const std::string& PngFile() {
  static const std::string F = pertest::RgbaPng(16, 16, PngPixel);
  return F;
}
const std::string& IcoFile() {
  static const std::string F = pertest::RgbaIco(16, 16, IcoPixel);
  return F;
}

void AddSource(TsAlphaImageList& L, TsImageFormat Format, const std::string& Bytes) {
  TsImgListItem* I = L.Items()->Add();
  I->SetImageFormat(Format);
  I->ImgData()->WriteBuffer(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
}

// A list as a stored form makes it: created while its owner loads, sources read, then Loaded.
struct TLoadedList {
  TComponent Owner{nullptr};
  TsAlphaImageList* List = nullptr;
  explicit TLoadedList(bool KeepSources = true, std::vector<std::pair<TsImageFormat, std::string>> Sources = {
                                                    {ifPNG, PngFile()}, {ifICO, IcoFile()}}) {
    Owner.BeginLoading();
    List = new TsAlphaImageList(&Owner);
    List->SetName("Glyphs");
    List->SetKeepSources(KeepSources);
    for (auto& S : Sources) AddSource(*List, S.first, S.second);
    EXPECT_EQ(List->Count(), 0);  // nothing is built while loading
    Owner.EndLoading();
  }
};

// Draws an image onto white and returns the 24-bit result.
std::unique_ptr<TBitmap> DrawOnWhite(TCustomImageList& L, int Index) {
  auto B = std::make_unique<TBitmap>(L.Width(), L.Height(), pf24bit);
  B->Canvas()->Brush()->SetColor(clWhite);
  B->Canvas()->FillRect(Rect(0, 0, L.Width(), L.Height()));
  L.Draw(B->Canvas(), 0, 0, Index);
  return B;
}

// Blue, green, red of a 24-bit pixel, each within Tol of the expected values.
void ExpectNear(TBitmap& B, int X, int Y, int Bl, int G, int R, int Tol = 3) {
  const std::array<int, 4> P = pertest::At(B, X, Y);
  EXPECT_LE(std::abs(P[0] - Bl), Tol) << "blue at " << X << "," << Y << " is " << P[0];
  EXPECT_LE(std::abs(P[1] - G), Tol) << "green at " << X << "," << Y << " is " << P[1];
  EXPECT_LE(std::abs(P[2] - R), Tol) << "red at " << X << "," << Y << " is " << P[2];
}

void ExpectPngImage(TCustomImageList& L, int Index) {
  auto B = DrawOnWhite(L, Index);
  ExpectNear(*B, 3, 5, 0, 0, 255);
  ExpectNear(*B, 9, 5, 255, 127, 127);  // half blue over white
  ExpectNear(*B, 14, 5, 255, 255, 255);
}

void ExpectIcoImage(TCustomImageList& L, int Index) {
  auto B = DrawOnWhite(L, Index);
  ExpectNear(*B, 5, 3, 0, 160, 0);
  ExpectNear(*B, 5, 12, 255, 255, 255);
}

TEST(PeripheryImageList, PngAndIcoSourcesKeepTheirAlpha) {
  TLoadedList Made;
  TsAlphaImageList& L = *Made.List;
  EXPECT_TRUE(L.Generated());
  ASSERT_EQ(L.Count(), 2);
  EXPECT_EQ(L.Items()->Count(), 2);  // kept by default
  ExpectPngImage(L, 0);
  ExpectIcoImage(L, 1);
  // Drawing ignores the drawing style and the enabled state.
  auto B = std::make_unique<TBitmap>(16, 16, pf24bit);
  B->Canvas()->Brush()->SetColor(clWhite);
  B->Canvas()->FillRect(Rect(0, 0, 16, 16));
  L.Draw(B->Canvas(), 0, 0, 0, dsSelected, itMask, false);
  ExpectNear(*B, 3, 5, 0, 0, 255);
  ExpectNear(*B, 9, 5, 255, 127, 127);
  // A bad index draws nothing.
  L.Draw(B->Canvas(), 0, 0, 7);
  ExpectNear(*B, 14, 5, 255, 255, 255);
}

TEST(PeripheryImageList, SourcesAreDroppedUnlessKept) {
  TLoadedList Made(false);
  TsAlphaImageList& L = *Made.List;
  EXPECT_TRUE(L.Generated());
  EXPECT_EQ(L.Items()->Count(), 0);
  ASSERT_EQ(L.Count(), 2);
  ExpectPngImage(L, 0);
  ExpectIcoImage(L, 1);

  TLoadedList Designed(false, {});
  Designed.List->SetDesigning(true);
  EXPECT_TRUE(Designed.List->KeepSources());  // always at design time
}

TEST(PeripheryImageList, ARunTimeListBuildsItsSourcesWhenAsked) {
  TsAlphaImageList L(nullptr);
  EXPECT_TRUE(L.HandleAllocated());  // made empty at once
  EXPECT_EQ(L.Count(), 0);
  EXPECT_FALSE(L.Generated());
  EXPECT_EQ(L.BkColor(), clNone);
  AddSource(L, ifPNG, PngFile());
  L.GenerateImages();
  EXPECT_TRUE(L.Generated());
  ASSERT_EQ(L.Count(), 1);
  ExpectPngImage(L, 0);
  // A source added later is built at the next change signal.
  AddSource(L, ifICO, IcoFile());
  L.SetBkColor(clNone);
  ASSERT_EQ(L.Count(), 2);
  ExpectIcoImage(L, 1);
  // Sources of other formats add nothing.
  AddSource(L, static_cast<TsImageFormat>(7), PngFile());
  L.GenerateImages();
  EXPECT_EQ(L.Count(), 2);
}

TEST(PeripheryImageList, BadSourcesRaiseClearErrors) {
  {
    TsAlphaImageList L(nullptr);
    L.SetName("Icons");
    AddSource(L, ifPNG, PngFile());
    AddSource(L, ifPNG, "this is not a picture");
    const std::string M = MessageOf<EInvalidGraphic>([&] { L.GenerateImages(); });
    EXPECT_EQ(M, "Image 1 of Icons: Cannot load image. Invalid or unexpected PNG image format.");
    EXPECT_EQ(L.Count(), 1);  // the image before it stays
    EXPECT_FALSE(L.Generated());
  }
  {
    TsAlphaImageList L(nullptr);
    AddSource(L, ifICO, "\0\0\1\0\1\0 garbage");
    EXPECT_NE(MessageOf<EInvalidGraphic>([&] { L.GenerateImages(); }), "<no exception>");
  }
  {
    // A cut file and an empty one.
    TsAlphaImageList L(nullptr);
    AddSource(L, ifPNG, PngFile().substr(0, PngFile().size() / 2));
    EXPECT_NE(MessageOf<Exception>([&] { L.GenerateImages(); }), "<no exception>");
    L.Items()->Clear();
    AddSource(L, ifICO, "");
    EXPECT_NE(MessageOf<Exception>([&] { L.GenerateImages(); }), "<no exception>");
  }
  // A stored list with a bad source fails its loading.
  TComponent Owner(nullptr);
  Owner.BeginLoading();
  auto* L = new TsAlphaImageList(&Owner);
  AddSource(*L, ifPNG, "\x89PNG\r\n\x1a\n");
  EXPECT_THROW(Owner.EndLoading(), Exception);
}

// The 32-bit colour pixels of an image (icon colour bitmap), top-down.
std::vector<DWORD> ImagePixels(TCustomImageList& L, int Index) {
  HICON Icon = ImageList_GetIcon(L.Handle(), Index, 0);
  ICONINFO Info{};
  GetIconInfo(Icon, &Info);
  std::vector<DWORD> Px(static_cast<std::size_t>(L.Width() * L.Height()));
  BITMAPINFO BI{};
  BI.bmiHeader.biSize = sizeof(BI.bmiHeader);
  BI.bmiHeader.biWidth = L.Width();
  BI.bmiHeader.biHeight = -L.Height();
  BI.bmiHeader.biPlanes = 1;
  BI.bmiHeader.biBitCount = 32;
  HDC DC = GetDC(nullptr);
  GetDIBits(DC, Info.hbmColor, 0, static_cast<UINT>(L.Height()), Px.data(), &BI, DIB_RGB_COLORS);
  ReleaseDC(nullptr, DC);
  DeleteObject(Info.hbmColor);
  DeleteObject(Info.hbmMask);
  DestroyIcon(Icon);
  return Px;
}

TEST(PeripheryImageList, ImagesAddedWithoutAlphaBecomeOpaqueExceptTransparentPixels) {
  TLoadedList Made(false, {{ifPNG, PngFile()}});
  TsAlphaImageList& L = *Made.List;
  // Left half yellow, right half magenta, no alpha.
  TBitmap B(16, 16, pf24bit);
  B.Canvas()->Brush()->SetColor(clYellow);
  B.Canvas()->FillRect(Rect(0, 0, 16, 16));
  B.Canvas()->Brush()->SetColor(clFuchsia);
  B.Canvas()->FillRect(Rect(8, 0, 16, 16));
  ASSERT_EQ(L.Add(&B, nullptr), 1);           // magenta kept as a colour
  ASSERT_EQ(L.AddMasked(&B, clFuchsia), 2);   // magenta masked out
  ASSERT_EQ(L.Count(), 3);
  for (int I : {1, 2}) {
    const std::vector<DWORD> Px = ImagePixels(L, I);
    EXPECT_EQ(Px[3 * 16 + 2] >> 24, 255u) << I;  // yellow: opaque
    EXPECT_EQ(Px[3 * 16 + 12] >> 24, 0u) << I;   // magenta: transparent
    auto D = DrawOnWhite(L, I);
    ExpectNear(*D, 2, 3, 0, 255, 255, 0);
    ExpectNear(*D, 12, 3, 255, 255, 255, 0);
  }
  ExpectPngImage(L, 0);  // an image with alpha is left as it was
}

TEST(PeripheryImageList, AssignCopiesSettingsSizeAndImages) {
  TComponent Owner(nullptr);
  Owner.BeginLoading();
  auto* A = new TsAlphaImageList(&Owner, 16, 16);
  AddSource(*A, ifPNG, PngFile());
  AddSource(*A, ifICO, IcoFile());
  A->SetDrawingStyle(dsTransparent);
  A->SetBlendColor(clRed);
  Owner.EndLoading();

  TsAlphaImageList B(nullptr, 32, 24);
  B.Assign(A);
  EXPECT_EQ(B.Width(), 16);
  EXPECT_EQ(B.Height(), 16);
  EXPECT_EQ(B.DrawingStyle(), dsTransparent);
  EXPECT_EQ(B.BlendColor(), clRed);
  EXPECT_EQ(B.BkColor(), clNone);
  EXPECT_EQ(B.Items()->Count(), 2);  // the sources came along
  ASSERT_EQ(B.Count(), 2);
  ExpectPngImage(B, 0);
  ExpectIcoImage(B, 1);

  // Without sources to copy, the images themselves are copied.
  TsAlphaImageList C(nullptr);
  C.SetKeepSources(false);
  A->AssignTo(&C);
  EXPECT_EQ(C.Items()->Count(), 0);
  ASSERT_EQ(C.Count(), 2);
  ExpectPngImage(C, 0);
  ExpectIcoImage(C, 1);
  TsAlphaImageList D(nullptr);
  D.Assign(&C);
  ASSERT_EQ(D.Count(), 2);
  ExpectPngImage(D, 0);

  EXPECT_EQ(ConvertImageListColor(CLR_DEFAULT), clDefault);
  EXPECT_EQ(ConvertImageListColor(RGB(1, 2, 3)), static_cast<TColor>(RGB(1, 2, 3)));
  D.Assign(nullptr);
  EXPECT_FALSE(D.HandleAllocated());
  EXPECT_EQ(D.Count(), 0);
}

TEST(PeripheryImageList, SourcesStreamTheirBytesWhole) {
  TsAlphaImageList L(nullptr);
  TsImgListItem* I = L.Items()->Add();
  TMemoryStream In;
  In.WriteBuffer("xxPNGDATA", 9);
  In.SetPosition(2);  // the property's bytes are the rest of the stream
  I->ReadData(In);
  I->SetImageFormat(ifICO);
  TsImgListItem* J = L.Items()->Add();
  J->Assign(I);
  EXPECT_EQ(J->ImageFormat(), ifICO);
  EXPECT_EQ(J->PixelFormat(), pf32bit);
  TMemoryStream Out;
  J->WriteData(Out);
  ASSERT_EQ(Out.Size(), 7);
  EXPECT_EQ(std::string(static_cast<const char*>(Out.Memory()), 7), "PNGDATA");
}

}  // namespace
