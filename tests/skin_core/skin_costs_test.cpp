// What reading a skin's options text costs and keeps: one copy of an inherited value, gradients
// parsed once and shared, the caps of gradient texts and stops, parent chains cut at their depth
// cap and at cycles; and the text as an editor may save it (a byte-order mark), and skin-wide
// values held to the ranges real skins use.
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

TEST(SkinOptionsCosts, ParentChainsAreResolvedOnceCutAtCyclesAndTheDepthCap) {
  // Each section names the next; S3 names S1 again (a cycle), and S5 starts a chain deeper than
  // the cap.
  const std::vector<int> Named{1, 2, 3, 1, -1, 6};
  std::vector<int> Deep(static_cast<std::size_t>(MaxSkinParentDepth) + 10);
  for (std::size_t I = 0; I < Deep.size(); ++I) Deep[I] = I + 1 < Deep.size() ? static_cast<int>(I + 1) : -1;
  int Asked = 0;
  const std::vector<int> P = ResolveSkinParents(Named.size(), [&](std::size_t I) {
    ++Asked;
    return I < Named.size() ? Named[I] : -1;
  });
  EXPECT_EQ(Asked, 6);  // each name resolved once
  EXPECT_EQ(P, (std::vector<int>{1, 2, 3, -1, -1, -1}));  // the link closing the cycle is cut; 6 is no section
  const std::vector<int> D = ResolveSkinParents(Deep.size(), [&](std::size_t I) { return Deep[I]; });
  // No chain is longer than the cap.
  for (std::size_t I = 0; I < D.size(); ++I) {
    int Levels = 0;
    for (int C = D[I]; C >= 0; C = D[static_cast<std::size_t>(C)]) ++Levels;
    EXPECT_LE(Levels, MaxSkinParentDepth) << I;
  }
  EXPECT_EQ(D[Deep.size() - 2], static_cast<int>(Deep.size() - 1));  // the top of the chain keeps its links
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
