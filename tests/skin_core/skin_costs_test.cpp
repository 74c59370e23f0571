// What reading a skin's options text costs and keeps: one copy of an inherited value, gradients
// parsed once and shared, the caps of gradient texts and stops, parent chains that end at the
// first section met twice and at their depth cap; and the text as an editor may save it (a
// byte-order mark), and skin-wide values held to the ranges real skins use.
#include <gtest/gtest.h>

#include <string>

#include "framework/Convert.h"
#include "skin/core/sSkinOptions.h"
#include "support/MessageOf.h"

using exctest::MessageOf;

namespace {

// A gradient text of Stops stops.
std::string GradientText(int Stops) {
  std::string T;
  for (int I = 0; I < Stops; ++I) T += std::to_string(I) + ";" + std::to_string(I * 3) + ";10;0;0;";
  return T;
}

}  // namespace

TEST(SkinOptionsText, AByteOrderMarkBeforeTheFirstSectionIsSkipped) {
  const TacSkinOptions O("\xEF\xBB\xBF[GLOBALINFO]\r\nTITLEHEIGHT=20\r\n[EDIT]\r\nCOLOR=5\r\n");
  ASSERT_EQ(O.SectionNames(), (std::vector<AnsiString>{"GLOBALINFO", "EDIT"}));
  TsSkinData D;
  ReadSkinGlobalInfo(O, D);
  EXPECT_EQ(D.TitleHeight, 20);
  // Only at the very start: elsewhere the bytes are data.
  const TacSkinOptions Later("[A]\r\n\xEF\xBB\xBFK=1\r\n");
  EXPECT_EQ(Later.ReadSkinInteger("A", "\xEF\xBB\xBFK", 0), 1);
}

TEST(SkinOptionsCosts, AnInheritedGradientIsParsedOnceAndShared) {
  const std::string Text = "[P]\nGRADIENTDATA=" + GradientText(300) + "\nHOTGRADIENTDATA=1;2;100;1;0\n" +
                           "[C1]\nPARENTCLASS=P\n[C2]\nPARENTCLASS=C1\n[OWN]\nPARENTCLASS=P\nGRADIENTDATA=5;6;100;0;0\n";
  const TacSkinOptions O(Text);
  // The inherited text is the parent's own value, not a copy of it.
  EXPECT_EQ(O.FindSkinString("C2", "GRADIENTDATA"), O.FindSkinString("P", "GRADIENTDATA"));
  TacSkinGradients Gradients;
  const TsGeneralData P = ReadSkinSection(O, "P", nullptr, &Gradients);
  const TsGeneralData C1 = ReadSkinSection(O, "C1", nullptr, &Gradients);
  const TsGeneralData C2 = ReadSkinSection(O, "C2", nullptr, &Gradients);
  const TsGeneralData Own = ReadSkinSection(O, "OWN", nullptr, &Gradients);
  ASSERT_EQ(P.GradientArray().size(), 300u);
  EXPECT_EQ(C1.Gradient, P.Gradient);
  EXPECT_EQ(C2.Gradient, P.Gradient);
  EXPECT_EQ(C2.HotGradient, P.HotGradient);
  ASSERT_EQ(Own.GradientArray().size(), 1u);
  EXPECT_EQ(Own.GradientArray()[0].Color1, 5);
  EXPECT_EQ(Own.HotGradient, P.HotGradient);
  EXPECT_EQ(Gradients.Stops(), 302);  // each text parsed once
}

TEST(SkinOptionsCosts, GradientTextsAndStopsAreCapped) {
  // A text longer than the cap is refused, naming its section and key.
  std::string Long = GradientText(1);
  while (Long.size() <= MaxSkinGradientTextSize) Long += ";";
  std::string M = MessageOf<EacSkinLoadError>(
      [&] { ReadSkinSection(TacSkinOptions("[TAB]\nGRADIENTDATA=" + Long + "\n"), "TAB", nullptr); });
  EXPECT_NE(M.find("GRADIENTDATA of skin section [TAB]"), std::string::npos) << M;
  // So is a load whose distinct gradients hold more stops than the cap; each text counts once.
  const int PerText = static_cast<int>(MaxSkinGradientTextSize / 40);
  std::string Text;
  const int Texts = static_cast<int>(MaxSkinGradientStops / PerText) + 1;
  for (int I = 0; I < Texts; ++I)
    Text += "[S" + std::to_string(I) + "]\nGRADIENTDATA=" + std::to_string(I) + ";" + GradientText(PerText) + "\n" +
            "[C" + std::to_string(I) + "]\nPARENTCLASS=S" + std::to_string(I) + "\n";
  const TacSkinOptions O(Text);
  TacSkinGradients Gradients;
  M = MessageOf<EacSkinLoadError>([&] {
    for (const AnsiString& S : O.SectionNames()) ReadSkinSection(O, S, nullptr, &Gradients);
  });
  EXPECT_NE(M.find(Format("more than %d stops", static_cast<int>(MaxSkinGradientStops))), std::string::npos) << M;
  EXPECT_LE(Gradients.Stops(), MaxSkinGradientStops + PerText);
}

TEST(SkinOptionsCosts, ParentChainsEndAtTheFirstSectionMetTwiceAndAtTheDepthCap) {
  // Every named link counts: in a cycle each section takes what the nearest section of the cycle
  // holds, whatever the order of the text, and a key is missing only when no section of the cycle
  // holds it.
  for (const char* Text : {"[A]\nPARENTCLASS=B\nCOLOR=5\n[B]\nPARENTCLASS=C\nGLOW=3\n[C]\nPARENTCLASS=A\nGLOW=2\n",
                           "[C]\nPARENTCLASS=A\nGLOW=2\n[B]\nPARENTCLASS=C\nGLOW=3\n[A]\nPARENTCLASS=B\nCOLOR=5\n"}) {
    const TacSkinOptions O(Text);
    TacSkinGradients Gradients;
    const TsGeneralDataArray Records = ReadSkinSections(O, nullptr, Gradients);
    for (const TsGeneralData& R : Records) {
      const int Glow = R.SectionName == "C" ? 2 : 3;  // A's nearest holder is B
      for (const TsGeneralData& D : {R, ReadSkinSection(O, R.SectionName, nullptr)}) {
        EXPECT_EQ(D.Color, 5) << R.SectionName;
        EXPECT_EQ(D.GlowCount, Glow) << R.SectionName;
        EXPECT_EQ(D.HotColor, 0xFFFFFF) << R.SectionName;
      }
      EXPECT_EQ(O.ReadSkinInteger(R.SectionName, "GLOW", 0), Glow) << R.SectionName;
    }
  }
  // A chain deeper than the cap: a section takes values from at most MaxSkinParentDepth levels
  // above it.
  const int N = MaxSkinParentDepth + 10;
  std::string Deep;
  for (int I = 0; I < N; ++I) Deep += "[S" + std::to_string(I) + "]\nPARENTCLASS=S" + std::to_string(I + 1) + "\n";
  Deep += "[S" + std::to_string(N) + "]\nGLOW=7\n";
  const TacSkinOptions D(Deep);
  TacSkinGradients Gradients;
  const TsGeneralDataArray Records = ReadSkinSections(D, nullptr, Gradients);
  for (int I = 0; I <= N; ++I) {
    const int Glow = N - I <= MaxSkinParentDepth ? 7 : 0;
    EXPECT_EQ(D.ReadSkinInteger("S" + std::to_string(I), "GLOW", 0), Glow) << I;
    EXPECT_EQ(Records[static_cast<std::size_t>(I)].GlowCount, Glow) << I;
  }
}

TEST(SkinOptionsGlobalInfo, GeometryIsClampedToWhatRealSkinsUse) {
  // Spacing and offsets of caption buttons, titles and shadows to -255..255; heights, widths,
  // glow sizes and margins to 0..255; the shadow's blur to -1..255 and its transparency to 0..100.
  TsSkinData D;
  ReadSkinGlobalInfo(TacSkinOptions("[GLOBALINFO]\nBISPACE=32767\nBIRIGHT=-32768\nBILEFT=70000\nTITLEHEIGHT=1000\n"
                                    "MAXHEIGHT=-4\nBORDERWIDTH=-3\nFORMOFFSET=999\nCENTEROFFSET=-999\n"
                                    "SHADOW1OFFSET=4000\nSHADOW1BLUR=-50\nSHADOW1TRANSPARENCY=300\n"
                                    "BICONCLOSEGLOW=65541\nBICONMAXGLOWMARGIN=-2\nBICONMINGLOW=12\n"),
                     D);
  EXPECT_EQ(D.BISpace, 255);
  EXPECT_EQ(D.BIRight, -255);
  EXPECT_EQ(D.BILeft, 255);
  EXPECT_EQ(D.TitleHeight, 255);
  EXPECT_EQ(D.MaxHeight, 255);  // below the range: 0, which means the title height
  EXPECT_EQ(D.BorderWidth, 0);
  EXPECT_EQ(D.FormOffset, 255);
  EXPECT_EQ(D.CenterOffset, -255);
  EXPECT_EQ(D.Shadow1Offset, 255);
  EXPECT_EQ(D.Shadow1Blur, -1);
  EXPECT_EQ(D.Shadow1Transparency, 100);
  EXPECT_EQ(D.BICloseGlow, 255);
  EXPECT_EQ(D.BIMaxGlowMargin, 0);
  EXPECT_EQ(D.BIMinGlow, 12);
}
