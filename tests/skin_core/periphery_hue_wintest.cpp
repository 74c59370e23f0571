// Recolouring a loaded skin through the manager's HueOffset and Saturation: the master bitmap, the
// images with bitmaps of their own, the kept title-bar icons, and the section and skin colours.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "periphery_support.h"
#include "skin/core/acHueSaturation.h"
#include "skin/core/sSkinManager.h"

namespace {

using Px = std::array<int, 4>;  // blue, green, red, alpha (-1 for 24-bit)

const Px Red{0, 0, 255, -1};
const Px Green{0, 255, 0, -1};
const Px Grey{128, 128, 128, -1};
const Px Magenta{255, 0, 255, -1};
const Px Orange{0, 100, 200, -1};  // RGB(200, 100, 0)

// The master bitmap, 70 x 20: red squares at x 0, 10, 20, 30 (the first three are the close,
// maximise and restore icons), grey at 40, magenta at 50, orange at 60; the lower row blue.
std::string MasterBmp() {
  TBitmap B(70, 20, pf24bit);
  TCanvas* C = B.Canvas();
  C->Brush()->SetColor(clBlue);
  C->FillRect(Rect(0, 0, 70, 20));
  C->Brush()->SetColor(clRed);
  C->FillRect(Rect(0, 0, 40, 10));
  C->Brush()->SetColor(RGB(128, 128, 128));
  C->FillRect(Rect(40, 0, 50, 10));
  C->Brush()->SetColor(RGB(255, 0, 255));
  C->FillRect(Rect(50, 0, 60, 10));
  C->Brush()->SetColor(RGB(200, 100, 0));
  C->FillRect(Rect(60, 0, 70, 10));
  return pertest::BitmapBytes(B);
}

std::string SolidBmp(TColor Color) {
  TBitmap B(12, 12, pf24bit);
  B.Canvas()->Brush()->SetColor(Color);
  B.Canvas()->FillRect(Rect(0, 0, 12, 12));
  B.Canvas()->SetPixels(0, 0, RGB(90, 90, 90));
  return pertest::BitmapBytes(B);
}

// Red at alpha 200 with one grey pixel at (0, 0).
std::string RedPng() {
  return pertest::RgbaPng(12, 12, [](int X, int Y) {
    return X == 0 && Y == 0 ? std::array<int, 4>{90, 90, 90, 150} : std::array<int, 4>{255, 0, 0, 200};
  });
}

std::vector<pertest::TFile> Skin(int KeepHue) {
  const std::string Options =
      "[GLOBALINFO]\r\nMASTERBITMAP=MASTER.BMP\r\nVERSION=7.00\r\n"
      "BIKEEPHUE=" + std::to_string(KeepHue) + "\r\n"
      "SHADOW1COLOR=255\r\nBORDERCOLOR=65280\r\n"
      "BICONCLOSE=@0000@0000@0010@0010@1@0\r\n"
      "BICONMAX=@0010@0000@0020@0010@1@0\r\n"
      "SICONNORM=@0020@0000@0030@0010@1@0\r\n"
      "BICONHELP=!HELP.BMP!1!0!2\r\n"
      "BICONCLOSEGLOW=1\r\nBICONCLOSEGLOW0=!GLOWC.PNG!1!0!3\r\n"
      "[BUTTON]\r\nCOLOR=255\r\nHOTCOLOR=16711680\r\nFONTCOLOR=255\r\nTCTOP=65280\r\n"
      "GRADIENTDATA=255;16711680;100;0;0\r\nHOTGRADIENTDATA=13132800;65280;100;0;0\r\n"
      "GLYPH=!GLYPH.PNG!1!0!2\r\nFACE=!FACE.BMP!1!0!0\r\n";
  return {{"Options.dat", Options},    {"MASTER.BMP", MasterBmp()}, {"HELP.BMP", SolidBmp(clRed)},
          {"FACE.BMP", SolidBmp(clRed)}, {"GLOWC.PNG", RedPng()},     {"GLYPH.PNG", RedPng()}};
}

class PeripheryHueSkin : public ::testing::Test {
 protected:
  void Load(int KeepHue, int Hue, int Saturation) {
    M = std::make_unique<TsSkinManager>(nullptr);
    M->SetHueOffset(Hue);
    M->SetSaturation(Saturation);
    pertest::LoadSkin(*M, Skin(KeepHue));
    ASSERT_TRUE(M->SkinActive());
  }
  Px Master(int X, int Y) { return pertest::At(*M->MasterBitmap(), X, Y); }
  TBitmap& Own(const char* Section, const char* Name) {
    const int I = M->GetOwnMaskIndex(Section, Name);
    EXPECT_GE(I, 0) << Name;
    return *M->Masks()[static_cast<std::size_t>(I)].Bmp;
  }
  const TsGeneralData& Button() { return M->GeneralData()[static_cast<std::size_t>(M->GetSectionIndex("BUTTON"))]; }

  std::unique_ptr<TsSkinManager> M;
};

TEST_F(PeripheryHueSkin, ZeroOffsetAndSaturationChangeNothing) {
  Load(1, 0, 0);
  const Px Expected[] = {Red, Red, Red, Red, Grey, Magenta, Orange};
  for (int I = 0; I < 7; ++I) EXPECT_EQ(Master(10 * I + 5, 5), Expected[I]) << I;
  EXPECT_EQ(Master(5, 15), (Px{255, 0, 0, -1}));
  EXPECT_EQ(pertest::At(Own("BUTTON", "GLYPH"), 5, 5), (Px{0, 0, 255, 200}));
  EXPECT_EQ(pertest::At(Own("BUTTON", "FACE"), 5, 5), Red);
  EXPECT_EQ(Button().Color, 0x0000FF);
  EXPECT_EQ(Button().FontColor[2], 0x00FF00);
  EXPECT_EQ(M->SkinData()->BorderColor, 0x00FF00);
}

TEST_F(PeripheryHueSkin, HueTurnsPicturesAndColoursAndKeepsAllTitleIcons) {
  Load(1, 120, 0);
  // Kept: close, maximise and restore icons of the master bitmap, the help icon's own bitmap and
  // the close icon's glow.
  EXPECT_EQ(Master(5, 5), Red);
  EXPECT_EQ(Master(15, 5), Red);
  EXPECT_EQ(Master(25, 5), Red);
  EXPECT_EQ(pertest::At(Own("GLOBALINFO", "BICONHELP"), 5, 5), Red);
  EXPECT_EQ(pertest::At(Own("GLOBALINFO", "BICONCLOSEGLOW0"), 5, 5), (Px{0, 0, 255, 200}));
  // Turned by 120 degrees: red to green, blue to red; grey and the key colour stay.
  EXPECT_EQ(Master(35, 5), Green);
  EXPECT_EQ(Master(5, 15), Red);
  EXPECT_EQ(Master(45, 5), Grey);
  EXPECT_EQ(Master(55, 5), Magenta);
  EXPECT_EQ(pertest::At(Own("BUTTON", "GLYPH"), 5, 5), (Px{0, 255, 0, 200}));  // alpha stays
  EXPECT_EQ(pertest::At(Own("BUTTON", "GLYPH"), 0, 0), (Px{90, 90, 90, 150}));
  EXPECT_EQ(pertest::At(Own("BUTTON", "FACE"), 5, 5), Green);
  EXPECT_EQ(pertest::At(Own("BUTTON", "FACE"), 0, 0), (Px{90, 90, 90, -1}));
  // The colours.
  EXPECT_EQ(Button().Color, 0x00FF00);
  EXPECT_EQ(Button().HotColor, 0x0000FF);
  EXPECT_EQ(Button().FontColor[0], 0x00FF00);
  EXPECT_EQ(Button().FontColor[1], -1);  // unset stays unset
  EXPECT_EQ(Button().FontColor[2], 0xFF0000);
  ASSERT_EQ(Button().GradientArray().size(), 1u);
  EXPECT_EQ(Button().GradientArray()[0].Color1, 0x00FF00);
  EXPECT_EQ(Button().GradientArray()[0].Color2, 0x0000FF);
  ASSERT_EQ(Button().HotGradientArray().size(), 1u);
  EXPECT_EQ(Button().HotGradientArray()[0].Color2, 0xFF0000);
  EXPECT_EQ(M->SkinData()->Shadow1Color, 0x00FF00);
  EXPECT_EQ(M->SkinData()->BorderColor, 0xFF0000);
}

TEST_F(PeripheryHueSkin, KeepHueTwoKeepsTheCloseIconsAndZeroNothing) {
  Load(2, 120, 0);
  EXPECT_EQ(Master(5, 5), Red);
  EXPECT_EQ(Master(15, 5), Green);
  EXPECT_EQ(Master(25, 5), Green);
  EXPECT_EQ(pertest::At(Own("GLOBALINFO", "BICONHELP"), 5, 5), Green);
  EXPECT_EQ(pertest::At(Own("GLOBALINFO", "BICONCLOSEGLOW0"), 5, 5), (Px{0, 0, 255, 200}));
  Load(0, 120, 0);
  EXPECT_EQ(Master(5, 5), Green);
  EXPECT_EQ(pertest::At(Own("GLOBALINFO", "BICONCLOSEGLOW0"), 5, 5), (Px{0, 255, 0, 200}));
}

TEST_F(PeripheryHueSkin, SaturationMovesColoursAwayFromGreyAndKeepsNoIcon) {
  // Saturation 30 is the amount -30: (200, 100, 0) becomes (230, 100, 0); grey stays grey.
  Load(1, 0, 30);
  EXPECT_EQ(Master(65, 5), (Px{0, 100, 230, -1}));
  EXPECT_EQ(Master(5, 5), Red);  // pure colours cannot get more saturated
  EXPECT_EQ(Master(45, 5), Grey);
  EXPECT_EQ(Master(55, 5), Magenta);

  // Saturation -100 is the amount 100: every colour becomes its grey, icons included.
  Load(1, 0, -100);
  EXPECT_EQ(Master(65, 5), (Px{100, 100, 100, -1}));
  EXPECT_EQ(Master(5, 5), (Px{85, 85, 85, -1}));
  EXPECT_EQ(pertest::At(Own("GLOBALINFO", "BICONHELP"), 5, 5), (Px{85, 85, 85, -1}));
  EXPECT_EQ(pertest::At(Own("BUTTON", "GLYPH"), 5, 5), (Px{85, 85, 85, 200}));
  EXPECT_EQ(Button().Color, 0x555555);
  EXPECT_EQ(Button().FontColor[1], -1);
  EXPECT_EQ(M->SkinData()->BorderColor, 0x555555);
}

TEST_F(PeripheryHueSkin, BothPassesRunHueFirstAndAChangeReloadsFromTheStoredSkin) {
  Load(0, 120, 30);
  // (200, 100, 0) turned by 120 degrees is (0, 200, 100), then saturated to (0, 230, 100).
  EXPECT_EQ(Master(65, 5), (Px{100, 230, 0, -1}));
  // Changing a setting reloads the skin and recolours it from the stored pictures.
  M->SetSaturation(0);
  EXPECT_EQ(Master(65, 5), (Px{100, 200, 0, -1}));
  M->SetHueOffset(0);
  EXPECT_EQ(Master(65, 5), Orange);
  EXPECT_EQ(Master(35, 5), Red);
  EXPECT_EQ(Button().Color, 0x0000FF);
}

// A skin whose pictures hold few colours in turn: the master bitmap, 256 x 64, blue and red, and
// a picture of its own of 2 bits a pixel with the colours red, blue, the key colour and grey.
std::vector<pertest::TFile> TwoColourSkin() {
  TBitmap Master(256, 64, pf24bit);
  for (int Y = 0; Y < 64; ++Y) {
    auto* P = static_cast<Byte*>(Master.ScanLine(Y));
    for (int X = 0; X < 256; ++X, P += 3) {
      P[0] = X % 2 ? 0 : 255;
      P[1] = 0;
      P[2] = X % 2 ? 255 : 0;
    }
  }
  pngtest::Image Indexed;
  Indexed.Width = 128;
  Indexed.Height = 64;
  Indexed.ColorType = 3;
  Indexed.Depth = 2;
  Indexed.Palette = {255, 0, 0, 0, 0, 255, 255, 0, 255, 128, 128, 128};
  for (int I = 0; I < 128 * 64; ++I) Indexed.Samples.push_back(static_cast<std::uint16_t>(I % 4));
  const pngtest::Bytes Png = pngtest::Encode(Indexed);
  return {{"Options.dat", "[GLOBALINFO]\r\nMASTERBITMAP=MASTER.BMP\r\n[BUTTON]\r\nCOLOR=255\r\n"
                          "GLYPH=!TWO.PNG!1!0!2\r\n"},
          {"MASTER.BMP", pertest::BitmapBytes(Master)},
          {"TWO.PNG", std::string(Png.begin(), Png.end())}};
}

TEST(PeripheryHueCosts, EachColourOfTheSkinIsConvertedOncePerPass) {
  // 24,576 pixels of a handful of colours: each pass converts each colour once, not each pixel;
  // the picture with a colour table comes out of the hue pass alone as out of both, 24-bit.
  const struct {
    const char* Name;
    int Saturation;
  } Rows[] = {{"the hue pass alone", 0}, {"both passes", 30}};
  for (const auto& Row : Rows) {
    SCOPED_TRACE(Row.Name);
    const std::uint64_t Before = TacColorTable::Conversions();
    TsSkinManager M(nullptr);
    M.SetHueOffset(120);
    M.SetSaturation(Row.Saturation);
    pertest::LoadSkin(M, TwoColourSkin());
    ASSERT_TRUE(M.SkinActive());
    EXPECT_LT(TacColorTable::Conversions() - Before, 64u);
    // Turned by 120 degrees (pure colours cannot get more saturated): blue to red, red to green.
    EXPECT_EQ(pertest::At(*M.MasterBitmap(), 100, 30), Red);
    EXPECT_EQ(pertest::At(*M.MasterBitmap(), 101, 30), Green);
    // The picture of its own: red to green, blue to red; the key colour and grey stay.
    TBitmap& Own = *M.Masks()[static_cast<std::size_t>(M.GetOwnMaskIndex("BUTTON", "GLYPH"))].Bmp;
    EXPECT_EQ(Own.PixelFormat(), pf24bit);
    const Px Want[4] = {Green, Red, Magenta, Grey};
    for (int X = 0; X < 8; ++X) EXPECT_EQ(pertest::At(Own, X, 40), Want[X % 4]) << X;
  }
}

// Recolouring turns no colour of a skin into the key colour, and leaves the key colour itself as it
// is: in the master bitmap, in pictures of their own of 24 and 32 bits and with a colour table,
// and in the section colours (where the key colour means no colour).
TEST(PeripheryHueKey, NoColourBecomesTheKeyColourAndTheKeyColourStays) {
  constexpr COLORREF Key = RGB(255, 0, 255);
  const struct {
    const char* Name;
    int Hue, Saturation;
    COLORREF Lands;  // the colour that the change turns into the key colour
  } Rows[] = {{"hue 90", 90, 0, RGB(0, 128, 255)},
              {"hue 180", 180, 0, RGB(0, 255, 0)},
              {"hue 270", 270, 0, RGB(255, 128, 0)},
              {"saturation 30", 0, 30, RGB(255, 40, 255)}};
  for (const auto& Row : Rows) {
    SCOPED_TRACE(Row.Name);
    // Each picture: the colour at x 0, the key colour at x 1.
    TBitmap Two(2, 1, pf24bit);
    Two.Canvas()->SetPixels(0, 0, Row.Lands);
    Two.Canvas()->SetPixels(1, 0, Key);
    pngtest::Image Indexed;
    Indexed.Width = 2;
    Indexed.Height = 1;
    Indexed.ColorType = 3;
    Indexed.Depth = 8;
    Indexed.Palette = {GetRValue(Row.Lands), GetGValue(Row.Lands), GetBValue(Row.Lands), 255, 0, 255};
    Indexed.Samples = {0, 1};
    const pngtest::Bytes Png = pngtest::Encode(Indexed);
    const std::string L = std::to_string(Row.Lands), K = std::to_string(Key);
    const std::string Options = "[GLOBALINFO]\r\nMASTERBITMAP=MASTER.BMP\r\n[BUTTON]\r\nCOLOR=" + L + "\r\nHOTCOLOR=" + K +
                                "\r\nFONTCOLOR=" + L + "\r\nTCTOP=" + K + "\r\nGRADIENTDATA=" + L + ";" + K +
                                ";100;0;0\r\nFACE=!FACE.BMP!1!0!0\r\nGLYPH=!GLYPH.PNG!1!0!2\r\nTABLE=!TABLE.PNG!1!0!2\r\n";
    const COLORREF Lands = Row.Lands;
    TsSkinManager M(nullptr);
    M.SetHueOffset(Row.Hue);
    M.SetSaturation(Row.Saturation);
    pertest::LoadSkin(M, {{"Options.dat", Options},
                          {"MASTER.BMP", pertest::BitmapBytes(Two)},
                          {"FACE.BMP", pertest::BitmapBytes(Two)},
                          {"GLYPH.PNG", pertest::RgbaPng(2, 1, [Lands](int X, int) {
                             return X == 0 ? std::array<int, 4>{GetRValue(Lands), GetGValue(Lands), GetBValue(Lands), 255}
                                           : std::array<int, 4>{255, 0, 255, 255};
                           })},
                          {"TABLE.PNG", std::string(Png.begin(), Png.end())}});
    ASSERT_TRUE(M.SkinActive());
    const int Button = M.GetSectionIndex("BUTTON");
    TBitmap* Pictures[] = {M.MasterBitmap(), M.Masks()[static_cast<std::size_t>(M.GetOwnMaskIndex("BUTTON", "FACE"))].Bmp.get(),
                           M.Masks()[static_cast<std::size_t>(M.GetOwnMaskIndex("BUTTON", "GLYPH"))].Bmp.get(),
                           M.Masks()[static_cast<std::size_t>(M.GetOwnMaskIndex("BUTTON", "TABLE"))].Bmp.get()};
    for (TBitmap* P : Pictures) {
      EXPECT_NE(GetPixel(P->Canvas()->Handle(), 0, 0), Key) << P->PixelFormat();
      EXPECT_EQ(GetPixel(P->Canvas()->Handle(), 1, 0), Key) << P->PixelFormat();
    }
    const TsGeneralData& S = M.GeneralData()[static_cast<std::size_t>(Button)];
    EXPECT_NE(S.Color, static_cast<std::int32_t>(Key));
    EXPECT_NE(S.FontColor[0], static_cast<std::int32_t>(Key));
    EXPECT_EQ(S.HotColor, static_cast<std::int32_t>(Key));
    EXPECT_EQ(S.FontColor[2], static_cast<std::int32_t>(Key));
    ASSERT_EQ(S.GradientArray().size(), 1u);
    EXPECT_NE(S.GradientArray()[0].Color1, static_cast<std::int32_t>(Key));
    EXPECT_EQ(S.GradientArray()[0].Color2, static_cast<std::int32_t>(Key));
  }
}

}  // namespace
