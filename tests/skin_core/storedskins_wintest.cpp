// Skins stored in a form: the collections, the Data property, copying, published properties and
// loading the older form of a stored skin into the skin records.
#include <gtest/gtest.h>

#include "framework/Components.h"
#include "framework/TypInfo.h"
#include "skin/core/acSkinPack.h"
#include "skin/core/sConst.h"
#include "skin/core/sStoredSkins.h"
#include "skinpack_builder.h"

namespace {

void FillBitmap(TBitmap& B, int W, int H, TColor C) {
  B.SetPixelFormat(pf32bit);
  B.SetSize(W, H);
  B.Canvas()->Brush()->SetColor(C);
  B.Canvas()->FillRect(Rect(0, 0, W, H));
}

std::string Bytes(TMemoryStream& S) {
  return std::string(static_cast<const char*>(S.Memory()), static_cast<std::size_t>(S.Size()));
}

}  // namespace

TEST(StoredSkins, DefaultsOwnerAndLookupByExactName) {
  TComponent Owner(nullptr);
  TsStoredSkins Skins(&Owner);
  EXPECT_EQ(Skins.GetOwner(), &Owner);
  TsStoredSkin* A = Skins.Add();
  A->SetName("Office Black (internal)");
  TsStoredSkin* B = Skins.Add();
  B->SetName("Blue");
  EXPECT_EQ(Skins.IndexOf("Blue"), 1);
  EXPECT_EQ(Skins.IndexOf("blue"), -1);
  EXPECT_EQ(Skins.IndexOf(""), -1);
  EXPECT_EQ(A->Shadow1Blur(), -1);
  EXPECT_EQ(A->BorderColor(), 0xFF00FF);
  EXPECT_EQ(A->Version(), 0);
  EXPECT_EQ(A->Data()->Size(), 0);
  EXPECT_TRUE(A->MasterBitmap()->Empty());
  EXPECT_EQ(A->Images()->GetOwner(), A);
  EXPECT_EQ(A->DisplayName(), "Office Black (internal)");

  TsStoredSkins Other(&Owner);
  Other.Add();
  Skins.Assign(&Other);  // does nothing
  EXPECT_EQ(Skins.Count(), 2);
}

TEST(StoredSkins, DataIsReadAndWrittenWhole) {
  TsStoredSkins Skins(nullptr);
  TsStoredSkin* S = Skins.Add();
  const std::string Pack = skinpack_builder::BuildPack({{"Options.dat", "[GLOBALINFO]"}});
  TMemoryStream In;
  In.WriteBuffer("xx", 2);
  In.WriteBuffer(Pack.data(), static_cast<std::int64_t>(Pack.size()));
  In.SetPosition(2);
  S->ReadData(In);
  EXPECT_EQ(Bytes(*S->Data()), Pack);
  TMemoryStream Out;
  S->WriteData(Out);
  EXPECT_EQ(Bytes(Out), Pack);

  // Lent to a reader and taken back: the item keeps its stream.
  {
    TacSkinConvertor C;
    C.SetPackedData(S->Data(), false);
    C.ExtractPackedData();
    EXPECT_EQ(C.ImageCount, 0);
    C.FreePackedData();
  }
  EXPECT_EQ(Bytes(*S->Data()), Pack);
}

TEST(StoredSkins, AssignCopiesEverythingAndRefusesOtherClasses) {
  TsStoredSkins Skins(nullptr);
  TsStoredSkin* A = Skins.Add();
  A->SetName("A");
  A->SetAuthor("me");
  A->SetShadow1Offset(3);
  A->SetVersion(7.5);
  A->Data()->WriteBuffer("pack", 4);
  FillBitmap(*A->MasterBitmap(), 4, 2, 0x0000FF);
  TsSkinImage* I = static_cast<TsSkinImage*>(A->Images()->Add());
  I->SetSectionName("edit");
  I->SetRight(12);
  TsSkinGeneral* G = static_cast<TsSkinGeneral*>(A->GeneralData()->Add());
  G->SetColor(0x123456);
  TsStoredSkin* B = Skins.Add();
  B->Assign(A);
  EXPECT_EQ(B->Name(), "A");
  EXPECT_EQ(B->Author(), "me");
  EXPECT_EQ(B->Shadow1Offset(), 3);
  EXPECT_EQ(B->Version(), 7.5);
  EXPECT_EQ(Bytes(*B->Data()), "pack");
  EXPECT_EQ(B->MasterBitmap()->Width(), 4);
  ASSERT_EQ(B->Images()->Count(), 1);
  EXPECT_EQ(B->Images()->Items(0)->SectionName(), "edit");
  EXPECT_EQ(B->Images()->Items(0)->Right(), 12);
  ASSERT_EQ(B->GeneralData()->Count(), 1);
  EXPECT_EQ(B->GeneralData()->Items(0)->Color(), 0x123456);
  TsSkinImage* NotASkin = static_cast<TsSkinImage*>(A->Images()->Items(0));
  EXPECT_THROW(B->Assign(NotASkin), EConvertError);
}

TEST(StoredSkins, PropertiesArePublished) {
  TsStoredSkins Skins(nullptr);
  TsStoredSkin* S = Skins.Add();
  SetStrProp(S, "Name", "Published");
  EXPECT_EQ(S->Name(), "Published");
  SetOrdProp(S, "Shadow1Blur", 5);
  EXPECT_EQ(S->Shadow1Blur(), 5);
  EXPECT_EQ(GetObjectProp(S, "Images"), S->Images());
  TsSkinImage* I = static_cast<TsSkinImage*>(S->Images()->Add());
  SetEnumProp(I, "ImgType", "itisaGlyph");
  EXPECT_EQ(I->ImgType(), itisaGlyph);
  TsSkinGeneral* G = static_cast<TsSkinGeneral*>(S->GeneralData()->Add());
  SetEnumProp(G, "ShowFocus", "True");
  EXPECT_TRUE(G->ShowFocus());
  // Every property of a stored skin, in order.
  std::vector<std::string> Names;
  for (const TPropInfo* P : GetPropList(S)) Names.push_back(P->Name);
  EXPECT_EQ(Names, (std::vector<std::string>{"Name", "GeneralData", "Images", "Patterns", "MasterBitmap",
                                             "Shadow1Color", "Shadow1Offset", "Shadow1Blur", "Shadow1Transparency",
                                             "BorderColor", "Version", "Author", "Description"}));
  SetFloatProp(S, "Version", 7.25);
  EXPECT_EQ(S->Version(), 7.25);
  EXPECT_EQ(GetFloatProp(S, "version"), 7.25);
}

TEST(StoredSkinLoading, FontColorsNeedExactlyFiveNumbers) {
  // Exactly five numbers give the text colour and the four contour colours in order; anything
  // else gives text colour 0 and no contours.
  const std::vector<int> None = {0, -1, -1, -1, -1};
  const struct {
    const char* Text;
    std::vector<int> Colors;
  } Rows[] = {{"1 2 3 4 5", {1, 2, 3, 4, 5}}, {"1 2 3 4", None}, {"1 2 3 4 5 6", None},
              {"1 2 3 4 x", None},            {"", None}};
  for (const auto& R : Rows) {
    std::int32_t C[5];
    SplitStoredFontColors(R.Text, C);
    EXPECT_EQ((std::vector<int>(C, C + 5)), R.Colors) << R.Text;
  }
}

TEST(StoredSkinLoading, GeneralDataAndSkinWideValues) {
  TsStoredSkins Skins(nullptr);
  TsStoredSkin* S = Skins.Add();
  S->SetVersion(6.5);
  S->SetAuthor("A");
  S->SetShadow1Blur(70000);  // held to 16 bits (the load then clamps it to its range)
  S->SetBorderColor(0x010203);
  TsSkinGeneral* G = static_cast<TsSkinGeneral*>(S->GeneralData()->Add());
  G->SetSectionName("EDIT");
  G->SetColor(0xABCDEF);
  G->SetFontColor("10 20 30 40 50");
  G->SetHotFontColor("1 2");
  G->SetGradientData("255;16711680;100;0;0");
  G->SetFadingIterations(0);
  TsSkinData D;
  D.TitleHeight = 24;
  TsGeneralDataArray Data(3);
  LoadStoredGeneralData(*S, D, Data, [](const AnsiString& Text, const AnsiString&, const char*) { return MakeGradient(Text); });
  EXPECT_EQ(D.Version, 6.5);
  EXPECT_EQ(D.Author, "A");
  EXPECT_EQ(D.Shadow1Blur, 32767);
  EXPECT_EQ(D.BorderColor, 0x010203);
  EXPECT_EQ(D.TitleHeight, 24);  // not a stored value: kept
  ASSERT_EQ(Data.size(), 1u);
  EXPECT_EQ(Data[0].SectionName, "EDIT");
  EXPECT_EQ(Data[0].Color, 0xABCDEF);
  EXPECT_EQ(Data[0].FontColor[4], 50);
  EXPECT_EQ(Data[0].HotFontColor[1], -1);
  EXPECT_EQ(Data[0].FadingIterations, 0);
  ASSERT_EQ(Data[0].GradientArray().size(), 1u);
  EXPECT_EQ(Data[0].GradientArray()[0].Color2, 16711680);
  EXPECT_EQ(Data[0].BorderIndex, -1);
}

TEST(StoredSkinLoading, MasksFromTheMasterBitmapOrTheirOwnImage) {
  TsStoredSkins Skins(nullptr);
  TsStoredSkin* S = Skins.Add();
  FillBitmap(*S->MasterBitmap(), 200, 100, 0x00FF00);
  // No Name: the rectangle in the master bitmap, even with a bitmap assigned.
  TsSkinImage* R = static_cast<TsSkinImage*>(S->Images()->Add());
  R->SetSectionName("edit");
  R->SetPropertyName("bordersmask");
  R->SetLeft(0);
  R->SetTop(0);
  R->SetRight(90);
  R->SetBottom(40);
  R->SetImageCount(0);  // becomes 3 with MaskType 1
  R->SetMaskType(0);
  FillBitmap(*R->Image(), 10, 10, 0);
  // With Name: its own 24-bit copy.
  TsSkinImage* Own = static_cast<TsSkinImage*>(S->Images()->Add());
  Own->SetName("own");
  Own->SetImageCount(3);
  Own->SetMaskType(1);
  Own->SetBorderWidth(2);
  Own->SetStretchMode(4);
  FillBitmap(*Own->Image(), 90, 40, 0x0000FF);

  TBitmap Master;
  TsMaskArray Masks;
  LoadStoredMasks(*S, nullptr, Master, Masks);
  EXPECT_EQ(Master.Width(), 200);
  EXPECT_EQ(Master.PixelFormat(), pf24bit);
  EXPECT_TRUE(Master.Transparent());
  EXPECT_EQ(Master.TransparentColor(), clKeyColor);
  ASSERT_EQ(Masks.size(), 2u);
  EXPECT_FALSE(Masks[0].Bmp);
  EXPECT_EQ(Masks[0].R, Rect(0, 0, 90, 40));
  EXPECT_EQ(Masks[0].SectionName, "EDIT");
  EXPECT_EQ(Masks[0].PropertyName, "BORDERSMASK");
  EXPECT_EQ(Masks[0].ImageCount, 3);
  EXPECT_EQ(Masks[0].MaskType, 1);
  EXPECT_EQ((std::vector<int>{Masks[0].WL, Masks[0].WT, Masks[0].WR, Masks[0].WB}), (std::vector<int>{10, 6, 10, 6}));
  ASSERT_TRUE(Masks[1].Bmp);
  EXPECT_EQ(Masks[1].Bmp->PixelFormat(), pf24bit);
  EXPECT_EQ(Masks[1].R, Rect(0, 0, 90, 40));
  EXPECT_EQ(Masks[1].DrawMode, 4);
  EXPECT_EQ(Masks[1].WL, 2);
  // An entry with its own bitmap: a third of its width by half its height.
  Masks[1].ImageCount = 5;
  Masks[1].MaskType = 0;
  EXPECT_EQ(MaskFrameSize(Masks[1]), (TSize{30, 20}));
  ClearMasks(Masks);
  EXPECT_TRUE(Masks.empty());
}

TEST(StoredSkinLoading, PatternsShareTheFirstPictureOfTheirName) {
  TsStoredSkins Skins(nullptr);
  TsStoredSkin* S = Skins.Add();
  TsSkinPattern* A = static_cast<TsSkinPattern*>(S->Patterns()->Add());
  A->SetName("wood");
  A->SetSectionName("form");
  A->SetPropertyName("pattern");
  TBitmap Pic;
  FillBitmap(Pic, 8, 6, 0x336699);
  A->Image()->SetGraphic(&Pic);
  TsSkinPattern* B = static_cast<TsSkinPattern*>(S->Patterns()->Add());
  B->SetName("wood");
  B->SetPropertyName("hotpattern");
  TsPatternArray Patterns;
  LoadStoredPatterns(*S, Patterns);
  ASSERT_EQ(Patterns.size(), 2u);
  EXPECT_EQ(Patterns[0].SectionName, "FORM");
  EXPECT_EQ(Patterns[1].PropertyName, "HOTPATTERN");
  ASSERT_TRUE(Patterns[0].Img);
  ASSERT_TRUE(Patterns[1].Img);
  EXPECT_NE(Patterns[0].Img.get(), Patterns[1].Img.get());
  EXPECT_EQ(Patterns[1].Img->Width(), 8);
  EXPECT_EQ(Patterns[1].Img->Height(), 6);
}
