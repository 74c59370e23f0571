// Reading a skin's options text: key values with PARENTCLASS inheritance, the skin-wide values, the
// section records and the common sections, the notations of picture values and the skin directory.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/Convert.h"
#include "skin/core/sSkinOptions.h"
#include "skin_loading_support.h"
#include "support/MessageOf.h"

#include "support/JpegEncode.h"

using exctest::MessageOf;

std::string skinloadtest::EncodeJpeg(int Width, int Height, const std::vector<Byte>& RGB, int Quality) {
  jpegtest::TEncodeOptions O;
  O.Quality = Quality;
  const std::vector<Byte> Data = jpegtest::EncodeJpeg(Width, Height, 3, RGB.data(), O);
  return std::string(Data.begin(), Data.end());
}

std::string skinloadtest::SolidJpeg(int Width, int Height, Byte R, Byte G, Byte B) {
  std::vector<Byte> Pixels(static_cast<std::size_t>(Width) * Height * 3);
  for (std::size_t I = 0; I < Pixels.size(); I += 3) {
    Pixels[I] = R;
    Pixels[I + 1] = G;
    Pixels[I + 2] = B;
  }
  return EncodeJpeg(Width, Height, Pixels);
}

namespace {

TsMaskData Fixed(const AnsiString& Value) {
  TsMaskData M;
  ParseFixedImageValue("EDIT", "BORDERSMASK", Value, M);
  return M;
}

std::string FixedError(const AnsiString& Value) {
  return MessageOf<EConvertError>([&] { Fixed(Value); });
}

}  // namespace

// ---- Inheritance -----------------------------------------------------------------------------------

TEST(SkinOptionsInheritance, MissingKeysComeFromTheParentChainWhereverItIs) {
  // The parent comes after its child; the grandparent before both.
  const TacSkinOptions O(
      "[BASE]\nGLOW=7\nNAME=base\n"
      "[BUTTON]\nPARENTCLASS=EDIT\nFONTCOLOR=5\nTEXT=?\nNUMBER=-1\nWORD=abc\n"
      "[EDIT]\nPARENTCLASS=BASE\nCOLOR=255\nTEXT=edit\nNUMBER=12\nWORD=0x1F\n");
  EXPECT_EQ(O.ReadSkinInteger("BUTTON", "COLOR", 0xFFFFFF), 255);
  EXPECT_EQ(O.ReadSkinInteger("BUTTON", "FONTCOLOR", 0), 5);
  EXPECT_EQ(O.ReadSkinInteger("BUTTON", "GLOW", 0), 7);  // two levels up
  EXPECT_EQ(O.ReadSkinString("BUTTON", "NAME", "none"), "base");
  // "?" and -1 count as missing, and so does a value that is not an integer for integer reads.
  EXPECT_EQ(O.ReadSkinString("BUTTON", "TEXT", "none"), "edit");
  EXPECT_EQ(O.ReadSkinInteger("BUTTON", "NUMBER", 0), 12);
  EXPECT_EQ(O.ReadSkinInteger("BUTTON", "WORD", 0), 31);
  EXPECT_EQ(O.ReadSkinString("BUTTON", "WORD", "none"), "abc");
  // Nothing anywhere: the caller's default.
  EXPECT_EQ(O.ReadSkinInteger("BUTTON", "MISSING", 42), 42);
  EXPECT_EQ(O.ReadSkinString("BUTTON", "MISSING", "d"), "d");
  // The text of PARENTCLASS itself is a plain key of the section.
  EXPECT_EQ(O.ReadSkinString("BUTTON", "PARENTCLASS", ""), "EDIT");
}

TEST(SkinOptionsInheritance, ReadingIgnoresLetterCase) {
  const TacSkinOptions O("[edit]\ncolor=255\n[Button]\nParentClass=Edit\n");
  EXPECT_EQ(O.ReadSkinInteger("EDIT", "COLOR", 0), 255);
  EXPECT_EQ(O.ReadSkinInteger("BUTTON", "COLOR", 0), 255);
  ASSERT_EQ(O.SectionNames().size(), 2u);
  EXPECT_EQ(O.SectionNames()[1], "Button");  // listed as written
}

TEST(SkinOptionsInheritance, ChainsEndAtSelfMissingParentsAndCycles) {
  const TacSkinOptions O(
      "[SELF]\nPARENTCLASS=SELF\n"
      "[SELFCASE]\nPARENTCLASS=selfcase\n"
      "[ORPHAN]\nPARENTCLASS=NOWHERE\n"
      "[A]\nPARENTCLASS=B\n"
      "[B]\nPARENTCLASS=A\nONLYB=3\n"
      "[EMPTY]\nPARENTCLASS=\n");
  EXPECT_EQ(O.ReadSkinInteger("SELF", "COLOR", 9), 9);
  EXPECT_EQ(O.ReadSkinInteger("SELFCASE", "COLOR", 9), 9);
  EXPECT_EQ(O.ReadSkinInteger("ORPHAN", "COLOR", 9), 9);
  EXPECT_EQ(O.ReadSkinInteger("EMPTY", "COLOR", 9), 9);
  EXPECT_EQ(O.ReadSkinInteger("A", "COLOR", 9), 9);
  EXPECT_EQ(O.ReadSkinInteger("B", "COLOR", 9), 9);
  EXPECT_EQ(O.ReadSkinInteger("A", "ONLYB", 9), 3);
  EXPECT_EQ(O.ReadSkinInteger("B", "ONLYB", 9), 3);
  EXPECT_EQ(O.ReadSkinInteger("NOSECTION", "COLOR", 9), 9);
}

TEST(SkinOptionsInheritance, ChainsReachAsFarAsTheDepthCap) {
  // 3000 sections, each naming the next; only the last one has the key. A section takes it from
  // up to MaxSkinParentDepth levels above; a chain deeper than that is cut, every section within
  // the cap of the holder still gets it, and reading stays linear.
  std::string Text;
  const int N = 3000;
  for (int I = 0; I < N; ++I)
    Text.append("[S").append(std::to_string(I)).append("]\nPARENTCLASS=S").append(std::to_string(I + 1)).append("\n");
  Text.append("[S").append(std::to_string(N)).append("]\nCOLOR=77\n");
  const TacSkinOptions O(Text);
  for (int Up = 0; Up <= MaxSkinParentDepth; ++Up) {
    const std::string Name = std::string("S").append(std::to_string(N - Up));
    EXPECT_EQ(O.ReadSkinInteger(Name, "COLOR", 0), 77) << Name;
  }
  EXPECT_EQ(O.ReadSkinInteger("S" + std::to_string(N - MaxSkinParentDepth - 1), "COLOR", 0), 0);
  EXPECT_EQ(O.ReadSkinInteger("S0", "COLOR", 0), 0);
  for (int I = 0; I <= N; ++I) O.ReadSkinInteger("S" + std::to_string(I), "GLOW", 0);
}

TEST(SkinOptionsLimits, TextsBeyondTheCapsAreRefusedNamingTheCap) {
  auto Error = [](const std::string& Text) {
    return MessageOf<EacSkinLoadError>([&] { TacSkinOptions O(Text); });
  };
  std::string Sections;
  for (int I = 0; I <= MaxSkinSections; ++I) Sections.append("[S").append(std::to_string(I)).append("]\n");
  EXPECT_NE(Error(Sections).find(Format("more than %d sections", MaxSkinSections)), std::string::npos);

  std::string Keys = "[GLOBALINFO]\n[Wide]\n";
  for (int I = 0; I <= MaxSkinSectionKeys; ++I) Keys.append("K").append(std::to_string(I)).append("=1\n");
  const std::string M = Error(Keys);
  EXPECT_NE(M.find(Format("Section [Wide] of the skin's options text has more than %d keys", MaxSkinSectionKeys)),
            std::string::npos)
      << M;

  std::string All;
  for (int S = 0; S * MaxSkinSectionKeys <= MaxSkinKeys; ++S) {
    All.append("[S").append(std::to_string(S)).append("]\n");
    for (int I = 0; I < MaxSkinSectionKeys; ++I) All.append("K").append(std::to_string(I)).append("=\n");
  }
  EXPECT_NE(Error(All).find(Format("more than %d keys in all", MaxSkinKeys)), std::string::npos);

  // Exactly at the caps is fine.
  Sections.resize(Sections.rfind("[S"));
  EXPECT_EQ(TacSkinOptions(Sections).SectionNames().size(), static_cast<std::size_t>(MaxSkinSections));
}

TEST(SkinOptionsInheritance, OversizedTextIsRefused) {
  const std::string Big(static_cast<std::size_t>(MaxSkinOptionsSize) + 1, ';');
  EXPECT_NE(MessageOf<EacSkinLoadError>([&] { TacSkinOptions O(Big); }).find("too large"), std::string::npos);
}

// ---- Skin-wide values ------------------------------------------------------------------------------

TEST(SkinOptionsGlobalInfo, DefaultsOfAnEmptySection) {
  TsSkinData D;
  D.Version = 3;
  D.Author = "old";
  ReadSkinGlobalInfo(TacSkinOptions("[GLOBALINFO]\n"), D);
  EXPECT_EQ(D.Version, 0);
  EXPECT_EQ(D.Author, "");
  EXPECT_EQ(D.BorderWidth, 4);
  EXPECT_EQ(D.TitleHeight, 30);
  EXPECT_EQ(D.MaxHeight, 30);
  EXPECT_EQ(D.FormOffset, 8);
  EXPECT_EQ(D.Shadow1Blur, -1);
  EXPECT_EQ(D.Shadow1Offset, 0);
  EXPECT_EQ(D.BorderColor, 0xFF00FF);  // none, as a skin data not yet read holds
  EXPECT_EQ(TsSkinData().BorderColor, 0xFF00FF);
  EXPECT_EQ(D.BICloseGlow, 0);
}

TEST(SkinOptionsGlobalInfo, ValuesRangesAndTheDecimalPoint) {
  const char Saved = FormatSettings.DecimalSeparator;
  FormatSettings.DecimalSeparator = ',';
  TsSkinData D;
  ReadSkinGlobalInfo(TacSkinOptions("[globalinfo]\nversion=7.00\nAUTHOR=Me\nDESCRIPTION=A skin #1\n"
                                    "TITLEHEIGHT=24\nMAXHEIGHT=0\nBORDERWIDTH=65541\nSHADOW1BLUR=3\n"
                                    "SHADOW1COLOR=0x00FF00\nBICONMINGLOWMARGIN=-2\nBIKEEPHUE=1\n"),
                     D);
  FormatSettings.DecimalSeparator = Saved;
  EXPECT_DOUBLE_EQ(D.Version, 7.0);
  EXPECT_EQ(D.Author, "Me");
  EXPECT_EQ(D.Description, "A skin #1");
  EXPECT_EQ(D.TitleHeight, 24);
  EXPECT_EQ(D.MaxHeight, 24);  // 0 means the title height
  EXPECT_EQ(D.BorderWidth, 255);  // 65541 held to its range
  EXPECT_EQ(D.Shadow1Blur, 3);
  EXPECT_EQ(D.Shadow1Color, 0x00FF00);
  EXPECT_EQ(D.BIMinGlowMargin, 0);  // no margin below 0
  EXPECT_EQ(D.BIKeepHue, 1);

  ReadSkinGlobalInfo(TacSkinOptions("[GLOBALINFO]\nTITLEHEIGHT=24\nMAXHEIGHT=28\nVERSION=7,5\n"), D);
  EXPECT_EQ(D.MaxHeight, 28);
  EXPECT_EQ(D.Version, 0);  // a comma is not the decimal separator of the text
}

TEST(SkinOptionsGlobalInfo, TextIntegersMustBeIntegers) {
  TsSkinData D;
  const std::string M = MessageOf<EConvertError>(
      [&] { ReadSkinGlobalInfo(TacSkinOptions("[GLOBALINFO]\nSHADOW1BLUR=soft\n"), D); });
  EXPECT_NE(M.find("SHADOW1BLUR"), std::string::npos) << M;
  EXPECT_NE(M.find("'soft' is not a valid integer value"), std::string::npos) << M;
  EXPECT_THROW(ReadSkinGlobalInfo(TacSkinOptions("[GLOBALINFO]\nBICONCLOSEGLOW=\n"), D), EConvertError);
  // Plain integer keys fall back to their defaults instead.
  ReadSkinGlobalInfo(TacSkinOptions("[GLOBALINFO]\nBORDERWIDTH=wide\n"), D);
  EXPECT_EQ(D.BorderWidth, 4);
}

// ---- Section records --------------------------------------------------------------------------------

TEST(SkinOptionsSections, AnEmptySectionGetsTheDefaults) {
  const TsGeneralData R = ReadSkinSection(TacSkinOptions("[PANEL]\n"), "PANEL", {});
  EXPECT_EQ(R.SectionName, "PANEL");
  EXPECT_EQ(R.ParentClass, "");
  EXPECT_EQ(R.Color, 0xFFFFFF);
  EXPECT_EQ(R.HotColor, 0xFFFFFF);
  EXPECT_EQ(R.FontColor[0], 0);
  EXPECT_EQ(R.FontColor[4], -1);
  EXPECT_EQ(R.HotFontColor[1], -1);
  EXPECT_EQ(R.FadingIterations, 5);
  EXPECT_EQ(R.GradientData(), " ");
  EXPECT_TRUE(R.GradientArray().empty());
  EXPECT_EQ(R.HotGradientData(), "");
  EXPECT_FALSE(R.ShowFocus);
  EXPECT_EQ(R.BorderIndex, -1);
  EXPECT_EQ(R.ImgBottomRight, -1);
}

TEST(SkinOptionsSections, IntegersAreClampedToTheRangesTheyMean) {
  // Percentages and transparencies to 0..100, the glow margin to 0..255, fading steps to 0..100;
  // values inside the ranges stay. Common sections are clamped the same way.
  const std::string Text =
      "[HUGE]\nTRANSPARENCY=2147483647\nHOTTRANSPARENCY=101\nGRADIENTPERCENT=1000\nIMAGEPERCENT=0x7FFFFFFF\n"
      "HOTGRADIENTPERCENT=300\nHOTIMAGEPERCENT=250\nGLOWMARGIN=2000000000\nFADINGITERATIONS=99999999\n"
      "[LOW]\nTRANSPARENCY=-2147483648\nHOTTRANSPARENCY=-5\nGRADIENTPERCENT=-7\nIMAGEPERCENT=-100\n"
      "HOTGRADIENTPERCENT=-3\nHOTIMAGEPERCENT=-9\nGLOWMARGIN=-40\nFADINGITERATIONS=-8\n"
      "[FINE]\nTRANSPARENCY=30\nHOTTRANSPARENCY=100\nGRADIENTPERCENT=55\nIMAGEPERCENT=0\nGLOWMARGIN=12\n"
      "FADINGITERATIONS=20\n";
  const TacSkinOptions O(Text);
  TsGeneralDataArray Common;
  MergeCommonSections(O.Ini(), Common);
  ASSERT_EQ(Common.size(), 3u);
  for (const TsGeneralData& R : {ReadSkinSection(O, "HUGE", {}), Common[0]}) {
    EXPECT_EQ(R.Transparency, 100);
    EXPECT_EQ(R.HotTransparency, 100);
    EXPECT_EQ(R.GradientPercent, 100);
    EXPECT_EQ(R.ImagePercent, 100);
    EXPECT_EQ(R.HotGradientPercent, 100);
    EXPECT_EQ(R.HotImagePercent, 100);
    EXPECT_EQ(R.GlowMargin, MaxSkinGlowMargin);
    EXPECT_EQ(R.FadingIterations, MaxSkinFadingIterations);
  }
  // -1 is the mark of a missing key: LOW's -1 values would be inherited, the others are clamped.
  for (const TsGeneralData& R : {ReadSkinSection(O, "LOW", {}), Common[1]}) {
    EXPECT_EQ(R.Transparency, 0);
    EXPECT_EQ(R.HotTransparency, 0);
    EXPECT_EQ(R.GradientPercent, 0);
    EXPECT_EQ(R.ImagePercent, 0);
    EXPECT_EQ(R.HotGradientPercent, 0);
    EXPECT_EQ(R.HotImagePercent, 0);
    EXPECT_EQ(R.GlowMargin, 0);
    EXPECT_EQ(R.FadingIterations, 0);
  }
  for (const TsGeneralData& R : {ReadSkinSection(O, "FINE", {}), Common[2]}) {
    EXPECT_EQ(R.Transparency, 30);
    EXPECT_EQ(R.HotTransparency, 100);
    EXPECT_EQ(R.GradientPercent, 55);
    EXPECT_EQ(R.GlowMargin, 12);
    EXPECT_EQ(R.FadingIterations, 20);
  }
}

TEST(SkinOptionsSections, KeysInheritanceSwitchesAndColours) {
  const TacSkinOptions O(
      "[EDIT]\nCOLOR=0x80000005\nHOTCOLOR=0x80000005\nSHOWFOCUS=true\nFADINGENABLED=yes\nGLOW=2\n"
      "GRADIENTDATA=255;65280;50;0;0;65280;255;50;0;0\n"
      "[BUTTON]\nPARENTCLASS=EDIT\nTCLEFT=12\nHOTFONTCOLOR=99\nGIVEOWNFONT=TRUE\nFADINGITERATIONS=0\n"
      "[LABEL]\nCOLOR=-1\nHOTGRADIENTDATA=1;2;100;1;0\n");
  int Converted = 0;
  const TacColorToRGB ToRGB = [&](std::int32_t C) {
    ++Converted;
    return C < 0 ? 0x123456 : C;
  };
  const TsGeneralData Edit = ReadSkinSection(O, "EDIT", ToRGB);
  EXPECT_EQ(Edit.Color, 0x123456);                       // system colour converted
  EXPECT_EQ(Edit.HotColor, static_cast<int>(0x80000005));  // HOTCOLOR is not
  EXPECT_TRUE(Edit.ShowFocus);                           // "true" in any case
  EXPECT_FALSE(Edit.FadingEnabled);                      // anything but TRUE is False
  ASSERT_EQ(Edit.GradientArray().size(), 2u);
  EXPECT_EQ(Edit.GradientArray()[1].Color1, 65280);

  const TsGeneralData Button = ReadSkinSection(O, "BUTTON", ToRGB);
  EXPECT_EQ(Button.ParentClass, "EDIT");
  EXPECT_EQ(Button.Color, 0x123456);  // inherited, then converted
  EXPECT_EQ(Button.GlowCount, 2);
  EXPECT_TRUE(Button.ShowFocus);
  EXPECT_TRUE(Button.GiveOwnFont);
  EXPECT_EQ(Button.FontColor[1], 12);
  EXPECT_EQ(Button.HotFontColor[0], 99);
  EXPECT_EQ(Button.FadingIterations, 0);
  EXPECT_EQ(Button.GradientArray().size(), 2u);

  // COLOR -1 without a parent: the default.
  const TsGeneralData Label = ReadSkinSection(O, "LABEL", {});
  EXPECT_EQ(Label.Color, 0xFFFFFF);
  ASSERT_EQ(Label.HotGradientArray().size(), 1u);
  EXPECT_EQ(Label.HotGradientArray()[0].Mode, 1);
  EXPECT_EQ(Converted, 2);
}

TEST(SkinOptionsSections, ABadGradientNamesItsSectionAndKey) {
  const std::string M = MessageOf<EConvertError>(
      [] { ReadSkinSection(TacSkinOptions("[TAB]\nHOTGRADIENTDATA=1;2;x;0;0\n"), "TAB", {}); });
  EXPECT_NE(M.find("HOTGRADIENTDATA"), std::string::npos) << M;
  EXPECT_NE(M.find("[TAB]"), std::string::npos) << M;
}

TEST(SkinOptionsCommonSections, NewSectionsAreAddedAndInheritExistingOnesAreKept) {
  TsGeneralDataArray Data(1);
  Data[0].SectionName = "EDIT";
  Data[0].Color = 0x0000FF;
  Data[0].GlowCount = 4;
  Data[0].ShowFocus = true;
  Data[0].Gradient = MakeGradient("1;2;100;0;0");
  TMemIniFile Common;
  Common.SetText(
      "[EDIT]\nCOLOR=1\n"
      "[MYEDIT]\nPARENTCLASS=edit\nHOTCOLOR=7\nGLOW=-1\nSHOWFOCUS=?\n"
      "[ALONE]\nCOLOR=0x80000005\nSHOWFOCUS=true\nFADINGITERATIONS=x\n");
  MergeCommonSections(Common, Data);
  ASSERT_EQ(Data.size(), 3u);
  EXPECT_EQ(Data[0].Color, 0x0000FF);  // the skin's own section is left alone

  const TsGeneralData& Mine = Data[1];
  EXPECT_EQ(Mine.SectionName, "MYEDIT");
  EXPECT_EQ(Mine.ParentClass, "EDIT");
  EXPECT_EQ(Mine.Color, 0x0000FF);
  EXPECT_EQ(Mine.HotColor, 7);
  EXPECT_EQ(Mine.GlowCount, 4);
  EXPECT_TRUE(Mine.ShowFocus);
  EXPECT_EQ(Mine.GradientData(), "1;2;100;0;0");
  EXPECT_EQ(Mine.GradientArray().size(), 1u);
  EXPECT_EQ(Mine.BorderIndex, -1);

  const TsGeneralData& Alone = Data[2];
  EXPECT_EQ(Alone.ParentClass, "");
  EXPECT_EQ(Alone.Color, static_cast<int>(0x80000005));  // stored as written
  EXPECT_TRUE(Alone.ShowFocus);
  EXPECT_EQ(Alone.FadingIterations, 5);
  EXPECT_EQ(Alone.GradientData(), " ");
  EXPECT_EQ(Alone.FontColor[2], -1);
}

TEST(SkinOptionsKeys, ValueKeysAreNeverPictures) {
  EXPECT_TRUE(IsSkinValueKey("EDIT", "color"));
  EXPECT_TRUE(IsSkinValueKey("EDIT", "PARENTCLASS"));
  EXPECT_TRUE(IsSkinValueKey("EDIT", "HOTGRADIENTDATA"));
  EXPECT_TRUE(IsSkinValueKey("GlobalInfo", "Description"));
  EXPECT_TRUE(IsSkinValueKey("GLOBALINFO", "MASTERBITMAP"));
  EXPECT_FALSE(IsSkinValueKey("EDIT", "MASTERBITMAP"));
  EXPECT_FALSE(IsSkinValueKey("EDIT", "DESCRIPTION"));
  EXPECT_FALSE(IsSkinValueKey("EDIT", "BORDERSMASK"));
  EXPECT_FALSE(IsSkinValueKey("GLOBALINFO", "BOXCHECKED"));
}

// ---- Picture values -----------------------------------------------------------------------------------

TEST(SkinPictureValues, NotationByFirstCharacter) {
  EXPECT_EQ(ImageNotationOf(""), TacImageNotation::None);
  EXPECT_EQ(ImageNotationOf("16777215"), TacImageNotation::None);
  EXPECT_EQ(ImageNotationOf("^x"), TacImageNotation::Border);
  EXPECT_EQ(ImageNotationOf("@x"), TacImageNotation::Glyph);
  EXPECT_EQ(ImageNotationOf("~x"), TacImageNotation::Texture);
  EXPECT_EQ(ImageNotationOf("!x.png"), TacImageNotation::File);
  EXPECT_EQ(ImageNotationOf("#"), TacImageNotation::None);
  EXPECT_EQ(ImageNotationOf("X #(1,2,3,4)"), TacImageNotation::RectForm);
  EXPECT_EQ(ImageNotationOf("btn.bmp"), TacImageNotation::PlainFile);
  EXPECT_EQ(ImageNotationOf("btn.jpg"), TacImageNotation::None);
}

TEST(SkinPictureValues, BorderGlyphAndTileNotations) {
  TsMaskData B = Fixed("^0010^0109^0014^0111^0000^0000^0002^0000^1^0^1^1");
  EXPECT_EQ(B.ImgType, itisaBorder);
  EXPECT_EQ(B.R, (TRect{10, 109, 14, 111}));
  EXPECT_EQ(B.WR, 2);  // margins given: kept
  EXPECT_EQ(B.WL, 0);
  EXPECT_EQ(B.ImageCount, 1);
  EXPECT_EQ(B.MaskType, 0);
  EXPECT_EQ(B.DrawMode, 1);
  EXPECT_EQ(B.BorderWidth, 1);

  // All four margins 0: BorderWidth, or a third of one state image each way.
  B = Fixed("^0000^0000^0090^0040^0000^0000^0000^0000^3^1^0^3");
  EXPECT_EQ((std::array<int, 4>{B.WL, B.WT, B.WR, B.WB}), (std::array<int, 4>{3, 3, 3, 3}));
  B = Fixed("^0000^0000^0090^0040^0000^0000^0000^0000^3^1^0^0");
  EXPECT_EQ((std::array<int, 4>{B.WL, B.WT, B.WR, B.WB}), (std::array<int, 4>{10, 6, 10, 6}));
  // An image count of 0 leaves no state image to take a third of.
  B = Fixed("^0000^0000^0090^0040^0000^0000^0000^0000^0^1^0^0");
  EXPECT_EQ(B.WL + B.WT + B.WR + B.WB, 0);

  const TsMaskData G = Fixed("@0124@0000@0163@0013@3@0");
  EXPECT_EQ(G.ImgType, itisaGlyph);
  EXPECT_EQ(G.R, (TRect{124, 0, 163, 13}));
  EXPECT_EQ(G.ImageCount, 3);
  EXPECT_EQ(G.WL, 0);  // glyphs get no default margins

  TsMaskData T = Fixed("~0001~0002~0003~0004~12");
  EXPECT_EQ(T.ImgType, itisaTexture);
  EXPECT_EQ(T.DrawMode, 12);
  EXPECT_EQ(T.MaskType, 0);
  EXPECT_EQ(T.ImageCount, 1);
  T = Fixed("~0001~0002~0003~0004~12~1");
  EXPECT_EQ(T.MaskType, 1);
  T = Fixed("~0001~0002~0003~0004~12~");  // 24 characters: no mask type yet
  EXPECT_EQ(T.MaskType, 0);
}

TEST(SkinPictureValues, MalformedFixedValuesRaiseNamedErrors) {
  const std::string Short = FixedError("^0010^0109^0014^0111^0000^0000^0002^0000^1^0^1^");
  EXPECT_NE(Short.find("BORDERSMASK"), std::string::npos) << Short;
  EXPECT_NE(Short.find("[EDIT]"), std::string::npos) << Short;
  EXPECT_NE(Short.find("needs 48 characters but has 47"), std::string::npos) << Short;
  EXPECT_NE(FixedError("@0124@0000@0163@0013@3").find("needs 24"), std::string::npos);
  EXPECT_NE(FixedError("~0001~0002~0003~0004~1").find("needs 23"), std::string::npos);
  const std::string Digit = FixedError("@01x4@0000@0163@0013@3@0");
  EXPECT_NE(Digit.find("left edge \"01x4\""), std::string::npos) << Digit;
  EXPECT_NE(FixedError("@-124@0000@0163@0013@3@0").find("left edge"), std::string::npos);
  EXPECT_NE(FixedError("@0124@0000@0163@0013@ @0").find("image count"), std::string::npos);
  EXPECT_NE(FixedError("~0001~0002~0003~0004~12~x").find("mask type"), std::string::npos);
  const std::string Inverted = FixedError("@0200@0000@0100@0013@3@0");
  EXPECT_NE(Inverted.find("inverted"), std::string::npos) << Inverted;
  EXPECT_NE(FixedError("@0000@0050@0100@0010@3@0").find("inverted"), std::string::npos);
  // A value of another notation is refused too.
  EXPECT_THROW(Fixed("!A.BMP!1!0!0"), EConvertError);
  // A very long bad value is cut in the message.
  const std::string Long = FixedError("^" + std::string(5000, 'z'));
  EXPECT_LT(Long.size(), 400u);
}

TEST(SkinPictureValues, FileNotation) {
  EXPECT_TRUE(FileImageNameOf("!BUTTONHUGE.BMP!3!1!0").IsBitmap);
  const TacFileImageName Png = FileImageNameOf("!GLYPH.PNG!1!0!9");
  EXPECT_TRUE(Png.IsPng);
  EXPECT_EQ(Png.FileName, "GLYPH.PNG");
  const TacFileImageName Lower = FileImageNameOf("!glyph.png!1!0!4");
  EXPECT_FALSE(Lower.IsPng);  // the extension test respects letter case
  EXPECT_FALSE(Lower.IsBitmap);

  TsMaskData M;
  ParseFileImageNumbers("BUTTON", "BORDERSMASK", "!BUTTONHUGE.BMP!3!1!0!0047!0047!0047!0047!5", 300, 120, M);
  EXPECT_EQ(M.R, (TRect{0, 0, 300, 120}));
  EXPECT_EQ(M.ImageCount, 3);
  EXPECT_EQ(M.MaskType, 1);
  EXPECT_EQ(M.ImgType, itisaBorder);
  EXPECT_EQ(M.DrawMode, 4);
  EXPECT_EQ((std::array<int, 4>{M.WL, M.WT, M.WR, M.WB}), (std::array<int, 4>{47, 47, 47, 47}));

  TsMaskData Thirds;
  ParseFileImageNumbers("GLOBALINFO", "BICONCLOSE", "!GLYPH.PNG!3!1!9", 90, 40, Thirds);
  EXPECT_EQ(Thirds.ImgType, itisaPngGlyph);  // limited to 4
  EXPECT_EQ((std::array<int, 4>{Thirds.WL, Thirds.WT, Thirds.WR, Thirds.WB}), (std::array<int, 4>{10, 6, 10, 6}));

  TsMaskData NoStates;  // an image count of 0 divides nothing
  ParseFileImageNumbers("S", "K", "!A.BMP!0!0!0", 90, 40, NoStates);
  EXPECT_EQ(NoStates.WL, 0);

  const std::string Partial = MessageOf<EConvertError>(
      [] { TsMaskData X; ParseFileImageNumbers("S", "K", "!A.BMP!3!1!0!5", 9, 9, X); });
  EXPECT_NE(Partial.find("top margin is missing"), std::string::npos) << Partial;
  EXPECT_THROW([] { TsMaskData X; ParseFileImageNumbers("S", "K", "!A.BMP!3", 9, 9, X); }(), EConvertError);
  EXPECT_THROW([] { TsMaskData X; ParseFileImageNumbers("S", "K", "!A.BMP!3!1!0!99999!1!1!1", 9, 9, X); }(),
               EConvertError);
}

TEST(SkinPictureValues, OlderRectangleForm) {
  TsMaskData M;
  ParseRectImageValue("Edit", "BordersMask", "#BTN (0,0,90,40) (3,1)", M);
  EXPECT_EQ(M.R, (TRect{0, 0, 90, 40}));
  EXPECT_EQ(M.ImageCount, 3);
  EXPECT_EQ(M.MaskType, 1);
  EXPECT_EQ(M.BorderWidth, 0);
  EXPECT_EQ(M.DrawMode, 1);
  EXPECT_EQ(M.WL, 10);
  EXPECT_EQ(M.WT, 6);

  TsMaskData N;
  ParseRectImageValue("S", "K", "x#(5,6,15,26)(0,2,4,7)", N);
  EXPECT_EQ(N.R, (TRect{5, 6, 15, 26}));
  EXPECT_EQ(N.ImageCount, 1);  // at least 1
  EXPECT_EQ(N.MaskType, 2);
  EXPECT_EQ(N.BorderWidth, 4);
  EXPECT_EQ(N.DrawMode, 7);
  EXPECT_EQ(N.WL, 4);

  EXPECT_THROW([] { TsMaskData X; ParseRectImageValue("S", "K", "#BTN (0,0,90) (3,1)", X); }(), EConvertError);
  EXPECT_THROW([] { TsMaskData X; ParseRectImageValue("S", "K", "#BTN (0,0,90,40)", X); }(), EConvertError);
  EXPECT_THROW([] { TsMaskData X; ParseRectImageValue("S", "K", "#BTN (9,0,5,40) (1,0)", X); }(), EConvertError);
}

TEST(SkinPictureValues, RectanglesMustLieInTheirImage) {
  EXPECT_TRUE(RectFitsImage(TRect{0, 0, 10, 10}, 10, 10));
  EXPECT_TRUE(RectFitsImage(TRect{0, 0, 0, 0}, 0, 0));
  EXPECT_FALSE(RectFitsImage(TRect{0, 0, 11, 10}, 10, 10));
  EXPECT_FALSE(RectFitsImage(TRect{-1, 0, 5, 5}, 10, 10));
  EXPECT_FALSE(RectFitsImage(TRect{6, 0, 5, 5}, 10, 10));
}

// ---- Skin directory ------------------------------------------------------------------------------------

TEST(SkinDirectory, RelativePathsAreTakenFromTheProgramFolder) {
  const AnsiString App = "C:\\A\\B\\";
  EXPECT_EQ(FullSkinDirectory("..\\Skins", App), "C:\\A\\Skins\\");
  EXPECT_EQ(FullSkinDirectory("Skins", App), "C:\\A\\B\\Skins\\");
  EXPECT_EQ(FullSkinDirectory(".\\Skins", App), "C:\\A\\B\\Skins\\");
  EXPECT_EQ(FullSkinDirectory("./Skins/", App), "C:\\A\\B\\Skins\\");
  EXPECT_EQ(FullSkinDirectory("D:", App), "D:\\");
  EXPECT_EQ(FullSkinDirectory("c:\\Skins", App), "c:\\Skins\\");
  EXPECT_EQ(FullSkinDirectory("\\\\srv\\skins", App), "\\\\srv\\skins\\");
  EXPECT_EQ(FullSkinDirectory("", App), App);
  EXPECT_EQ(FullSkinDirectory("..", App), "C:\\A\\");
}

TEST(SkinDirectory, PictureNamesThatReachAnotherMachineOrADeviceAreTold) {
  for (const char* Local : {"A.BMP", "Sub\\A.BMP", "..\\A.BMP", "..\\..\\X\\A.BMP", "C:\\A.BMP", "C:A.BMP",
                            "A.BMP:stream", "\\A.BMP", "/A.BMP", "CONSOLE.BMP", "COM10.BMP", "NULL.BMP", "CON\\A.BMP",
                            "Sub/.hidden/A.BMP", ""})
    EXPECT_FALSE(IsRemoteOrDeviceName(Local)) << Local;
  for (const char* Remote : {"\\\\srv\\share\\A.BMP", "//srv/share/A.BMP", "\\/srv/A.BMP", "\\\\.\\NUL",
                             "\\\\?\\C:\\A.BMP", "\\??\\C:\\A.BMP", "NUL", "nul.bmp", "Sub\\CON.BMP", "C:\\X\\AUX",
                             "..\\PRN.JPG", "COM1.PNG", "com0", "LPT9.BMP", "COM\xB9.BMP", "CONIN$", "conout$.bmp",
                             "CON .BMP", "NUL:", "Sub/aux.bmp:stream", "C:NUL.BMP"})
    EXPECT_TRUE(IsRemoteOrDeviceName(Remote)) << Remote;
}
