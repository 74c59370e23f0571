// The loaded-skin records: mask geometry, load-time margins, defaults of the records and the
// command-message helpers.
#include <gtest/gtest.h>

#include <climits>

#include "skin/core/sConst.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sStyleSimply.h"

namespace {
TsMaskData Mask(TRect R, int ImageCount, int MaskType, int BorderWidth = 0) {
  TsMaskData M;
  M.R = R;
  M.ImageCount = static_cast<std::int16_t>(ImageCount);
  M.MaskType = static_cast<std::int16_t>(MaskType);
  M.BorderWidth = static_cast<std::int16_t>(BorderWidth);
  return M;
}
}  // namespace

TEST(MaskGeometry, FrameSizeOfMasterBitmapEntries) {
  TsMaskData M = Mask(Rect(10, 20, 100, 60), 3, 1);
  EXPECT_EQ(MaskFrameWidth(M), 30);
  EXPECT_EQ(MaskFrameHeight(M), 20);
  EXPECT_EQ(MaskFrameSize(M), (TSize{30, 20}));
  // Truncation toward zero.
  EXPECT_EQ(MaskFrameWidth(Mask(Rect(0, 0, 10, 0), 3, 0)), 3);
  EXPECT_EQ(MaskFrameWidth(Mask(Rect(0, 0, -10, 0), 3, 0)), -3);
}

TEST(MaskGeometry, ZeroImageCountAndMaskTypeMinusOne) {
  TsMaskData M = Mask(Rect(0, 0, 90, 40), 0, -1);
  EXPECT_EQ(MaskFrameWidth(M), 0);
  EXPECT_EQ(MaskFrameHeight(M), 0);
  // Asking the left margin turns the count into 1: the margin is the whole width.
  EXPECT_EQ(MaskLeftMargin(M), 90);
  EXPECT_EQ(M.ImageCount, 1);
  EXPECT_EQ(MaskRightMargin(M), 90);
  EXPECT_EQ(MaskTopMargin(M), 0);
}

TEST(MaskGeometry, StoredMarginsWinOverBorderWidthWhichWinsOverFrames) {
  TsMaskData M = Mask(Rect(0, 0, 90, 40), 3, 1, 2);
  EXPECT_EQ(MaskLeftMargin(M), 2);
  M.WL = 5;
  EXPECT_EQ(MaskLeftMargin(M), 5);
  M.BorderWidth = 0;
  EXPECT_EQ(MaskRightMargin(M), 30);
  EXPECT_EQ(MaskTopMargin(M), 20);
  EXPECT_EQ(MaskBottomMargin(M), 20);
  M.WB = -4;  // not above 0: falls back
  EXPECT_EQ(MaskBottomMargin(M), 20);
}

TEST(MaskGeometry, ExtremeRectanglesDoNotOverflow) {
  TsMaskData M = Mask(Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX), 1, 0);
  EXPECT_EQ(MaskFrameWidth(M), static_cast<int>(static_cast<long long>(INT_MAX) - INT_MIN));
  M.ImageCount = -1;
  M.MaskType = -2;  // divides by -1
  MaskFrameWidth(M);
  MaskFrameHeight(M);
  SetDefaultMargins(M);
}

TEST(MaskLoadMargins, BorderWidthOrThirdsOfAStateImage) {
  TsMaskData B = Mask(Rect(0, 0, 90, 40), 3, 1, 3);
  SetDefaultMargins(B);
  EXPECT_EQ((std::vector<int>{B.WL, B.WT, B.WR, B.WB}), (std::vector<int>{3, 3, 3, 3}));
  TsMaskData T = Mask(Rect(0, 0, 90, 40), 3, 1, 0);
  SetDefaultMargins(T);
  EXPECT_EQ((std::vector<int>{T.WL, T.WT, T.WR, T.WB}), (std::vector<int>{10, 6, 10, 6}));
}

TEST(MaskLoadMargins, EntriesWithMarginsAreLeftAlone) {
  TsMaskData M = Mask(Rect(0, 0, 90, 40), 3, 1, 3);
  M.WT = 7;
  SetDefaultMargins(M);
  EXPECT_EQ((std::vector<int>{M.WL, M.WT, M.WR, M.WB}), (std::vector<int>{0, 7, 0, 0}));
}

TEST(MaskLoadMargins, RecordsWithoutStateImagesGetNoMarginsInsteadOfADivisionByZero) {
  for (auto [Count, Type] : {std::pair{0, 0}, std::pair{3, -1}, std::pair{-3, 1}, std::pair{1, -5}}) {
    TsMaskData M = Mask(Rect(0, 0, 90, 40), Count, Type);
    M.WL = M.WT = M.WR = M.WB = 9;
    SetFrameThirdMargins(M);
    EXPECT_EQ((std::vector<int>{M.WL, M.WT, M.WR, M.WB}), (std::vector<int>{0, 0, 0, 0}))
        << "ImageCount " << Count << ", MaskType " << Type;
    TsMaskData D = Mask(Rect(0, 0, 90, 40), Count, Type);
    SetDefaultMargins(D);
    EXPECT_EQ(D.WL + D.WT + D.WR + D.WB, 0);
  }
}

TEST(SkinRecords, ArraysKeepOrderAndEmpty) {
  TsMaskArray Masks(3);
  Masks[2].PropertyName = "LAST";
  EXPECT_EQ(Masks[2].PropertyName, "LAST");
  ClearMasks(Masks);
  EXPECT_TRUE(Masks.empty());
  TsPatternArray Patterns(2);
  ClearPatterns(Patterns);
  EXPECT_TRUE(Patterns.empty());
}

TEST(SkinRecords, DefaultsOfSectionAndSkinWideValues) {
  const TsGeneralData G;
  EXPECT_EQ(G.Color, 0xFFFFFF);
  EXPECT_EQ(G.HotColor, 0xFFFFFF);
  EXPECT_EQ(G.GradientData(), " ");
  EXPECT_EQ(G.HotGradientData(), "");
  EXPECT_EQ(G.FadingIterations, 5);
  EXPECT_EQ(G.FontColor[0], 0);
  EXPECT_EQ(G.FontColor[4], -1);
  EXPECT_EQ(G.BorderIndex, -1);
  EXPECT_EQ(G.ImgBottomRight, -1);

  TsSkinData D;
  EXPECT_FALSE(D.Active);
  EXPECT_EQ(D.BorderWidth, 4);
  EXPECT_EQ(D.TitleHeight, 30);
  EXPECT_EQ(D.MaxHeight, D.TitleHeight);
  EXPECT_EQ(D.FormOffset, 8);
  EXPECT_EQ(D.Shadow1Blur, -1);
  D.BorderWidth = 9;
  D.Author = "x";
  D.SkinPath = "c:\\s\\";
  D.ResetValues();
  EXPECT_EQ(D.BorderWidth, 4);
  EXPECT_EQ(D.Author, "");
  EXPECT_EQ(D.SkinPath, "c:\\s\\");
  EXPECT_TRUE(D.ClassNameIs("TsSkinData"));
}

TEST(SkinCommand, ParametersAndAnswers) {
  const Cardinal W = MakeAlphaCmd(AC_SETUPDATING, 1);
  EXPECT_EQ(W, 0x00080001u);
  EXPECT_EQ(AlphaCmdCode(W), AC_SETUPDATING);
  EXPECT_EQ(AlphaCmdArg(W), 1);
  EXPECT_EQ(AlphaCmdCode(MakeAlphaCmd(AC_GETCLIENTOFFSET)), 61);
  EXPECT_TRUE(IsSkinnedAnswer(1));
  EXPECT_FALSE(IsSkinnedAnswer(0));
  EXPECT_FALSE(IsSkinnedAnswer(2));
  EXPECT_TRUE(CurrentSkinSection.empty());
}
