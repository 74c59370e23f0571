#include "skin/core/sStoredSkins.h"

#include <algorithm>

#include "framework/Convert.h"
#include "framework/Strings.h"
#include "framework/TypInfo.h"
#include "skin/core/sConst.h"
#include "skin/core/sVclUtils.h"

// ---- TsSkinImage ----------------------------------------------------------------------------------

TsSkinImage::TsSkinImage(TCollection* Collection) : TCollectionItem(Collection), FImage(std::make_unique<TBitmap>()) {}

TsSkinImage::~TsSkinImage() = default;

void TsSkinImage::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TsSkinImage*>(Source);
  if (S == nullptr) return TCollectionItem::Assign(Source);
  FImage->Assign(S->FImage.get());
  FName = S->FName;
  FSectionName = S->FSectionName;
  FPropertyName = S->FPropertyName;
  FLeft = S->FLeft;
  FTop = S->FTop;
  FRight = S->FRight;
  FBottom = S->FBottom;
  FImageCount = S->FImageCount;
  FMaskType = S->FMaskType;
  FBorderWidth = S->FBorderWidth;
  FStretchMode = S->FStretchMode;
  FWL = S->FWL;
  FWR = S->FWR;
  FWT = S->FWT;
  FWB = S->FWB;
  FImgType = S->FImgType;
}

TsSkinImages::TsSkinImages(TsStoredSkin* AOwner) : TCollection(ItemClassOf<TsSkinImage>()), FOwner(AOwner) {}
TPersistent* TsSkinImages::GetOwner() { return FOwner; }

// ---- TsSkinPattern --------------------------------------------------------------------------------

TsSkinPattern::TsSkinPattern(TCollection* Collection)
    : TCollectionItem(Collection), FImage(std::make_unique<TPicture>()) {}

TsSkinPattern::~TsSkinPattern() = default;

void TsSkinPattern::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TsSkinPattern*>(Source);
  if (S == nullptr) return TCollectionItem::Assign(Source);
  FImage->Assign(S->FImage.get());
  FSectionName = S->FSectionName;
  FPropertyName = S->FPropertyName;
  FName = S->FName;
}

TsSkinPatterns::TsSkinPatterns(TsStoredSkin* AOwner) : TCollection(ItemClassOf<TsSkinPattern>()), FOwner(AOwner) {}
TPersistent* TsSkinPatterns::GetOwner() { return FOwner; }

// ---- TsSkinGeneral --------------------------------------------------------------------------------

void TsSkinGeneral::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TsSkinGeneral*>(Source);
  if (S == nullptr) return TCollectionItem::Assign(Source);
  FSectionName = S->FSectionName;
  FParentClass = S->FParentClass;
  FName = S->FName;
  FGradientData = S->FGradientData;
  FHotGradientData = S->FHotGradientData;
  FFontColor = S->FFontColor;
  FHotFontColor = S->FHotFontColor;
  FColor = S->FColor;
  FHotColor = S->FHotColor;
  FTransparency = S->FTransparency;
  FHotTransparency = S->FHotTransparency;
  FGradientPercent = S->FGradientPercent;
  FHotGradientPercent = S->FHotGradientPercent;
  FImagePercent = S->FImagePercent;
  FHotImagePercent = S->FHotImagePercent;
  FFadingIterations = S->FFadingIterations;
  FGlowCount = S->FGlowCount;
  FGlowMargin = S->FGlowMargin;
  FReservedBoolean = S->FReservedBoolean;
  FShowFocus = S->FShowFocus;
  FFadingEnabled = S->FFadingEnabled;
  FGiveOwnFont = S->FGiveOwnFont;
}

TsSkinGenerals::TsSkinGenerals(TsStoredSkin* AOwner) : TCollection(ItemClassOf<TsSkinGeneral>()), FOwner(AOwner) {}
TPersistent* TsSkinGenerals::GetOwner() { return FOwner; }

// ---- TsStoredSkin ---------------------------------------------------------------------------------

TsStoredSkin::TsStoredSkin(TCollection* Collection)
    : TCollectionItem(Collection),
      FGeneralData(std::make_unique<TsSkinGenerals>(this)),
      FImages(std::make_unique<TsSkinImages>(this)),
      FPatterns(std::make_unique<TsSkinPatterns>(this)),
      FMasterBitmap(std::make_unique<TBitmap>()),
      FData(std::make_unique<TMemoryStream>()) {}

TsStoredSkin::~TsStoredSkin() = default;

void TsStoredSkin::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TsStoredSkin*>(Source);
  if (S == nullptr) return TCollectionItem::Assign(Source);
  if (S == this) return;
  FData->Clear();
  S->FData->SaveToStream(*FData);
  FData->SetPosition(0);
  FName = S->FName;
  FGeneralData->Assign(S->FGeneralData.get());
  FImages->Assign(S->FImages.get());
  FPatterns->Assign(S->FPatterns.get());
  FMasterBitmap->Assign(S->FMasterBitmap.get());
  FVersion = S->FVersion;
  FShadow1Color = S->FShadow1Color;
  FShadow1Offset = S->FShadow1Offset;
  FShadow1Blur = S->FShadow1Blur;
  FShadow1Transparency = S->FShadow1Transparency;
  FBorderColor = S->FBorderColor;
  FAuthor = S->FAuthor;
  FDescription = S->FDescription;
}

void TsStoredSkin::ReadData(TStream& Stream) {
  FData->Clear();
  FData->CopyFrom(Stream, Stream.Size() - Stream.Position());
  FData->SetPosition(0);
}

void TsStoredSkin::WriteData(TStream& Stream) const { FData->SaveToStream(Stream); }

// ---- TsStoredSkins --------------------------------------------------------------------------------

TsStoredSkins::TsStoredSkins(TPersistent* AOwner) : TOwnedCollection(AOwner, ItemClassOf<TsStoredSkin>()) {}

int TsStoredSkins::IndexOf(const AnsiString& Name) const {
  for (int I = 0; I < Count(); ++I)
    if (Items(I)->Name() == Name) return I;
  return -1;
}

// ---- Published properties -------------------------------------------------------------------------

T_PUBLISH(TsStoredSkin) {
  P.String("Name", &TsStoredSkin::Name, &TsStoredSkin::SetName);
  P.Object("GeneralData", &TsStoredSkin::GeneralData, &TsStoredSkin::SetGeneralData);
  P.Object("Images", &TsStoredSkin::Images, &TsStoredSkin::SetImages);
  P.Object("Patterns", &TsStoredSkin::Patterns, &TsStoredSkin::SetPatterns);
  P.Object("MasterBitmap", &TsStoredSkin::MasterBitmap, &TsStoredSkin::SetMasterBitmap);
  P.Ordinal("Shadow1Color", &TsStoredSkin::Shadow1Color, &TsStoredSkin::SetShadow1Color);
  P.Ordinal("Shadow1Offset", &TsStoredSkin::Shadow1Offset, &TsStoredSkin::SetShadow1Offset);
  P.Ordinal("Shadow1Blur", &TsStoredSkin::Shadow1Blur, &TsStoredSkin::SetShadow1Blur);
  P.Ordinal("Shadow1Transparency", &TsStoredSkin::Shadow1Transparency, &TsStoredSkin::SetShadow1Transparency);
  P.Ordinal("BorderColor", &TsStoredSkin::BorderColor, &TsStoredSkin::SetBorderColor);
  P.Float("Version", &TsStoredSkin::Version, &TsStoredSkin::SetVersion);
  P.String("Author", &TsStoredSkin::Author, &TsStoredSkin::SetAuthor);
  P.String("Description", &TsStoredSkin::Description, &TsStoredSkin::SetDescription);
}

T_PUBLISH(TsSkinImage) {
  P.String("SectionName", &TsSkinImage::SectionName, &TsSkinImage::SetSectionName);
  P.String("PropertyName", &TsSkinImage::PropertyName, &TsSkinImage::SetPropertyName);
  P.String("Name", &TsSkinImage::Name, &TsSkinImage::SetName);
  P.Object("Image", &TsSkinImage::Image, &TsSkinImage::SetImage);
  P.Ordinal("Left", &TsSkinImage::Left, &TsSkinImage::SetLeft);
  P.Ordinal("Top", &TsSkinImage::Top, &TsSkinImage::SetTop);
  P.Ordinal("Right", &TsSkinImage::Right, &TsSkinImage::SetRight);
  P.Ordinal("Bottom", &TsSkinImage::Bottom, &TsSkinImage::SetBottom);
  P.Ordinal("ImageCount", &TsSkinImage::ImageCount, &TsSkinImage::SetImageCount);
  P.Ordinal("MaskType", &TsSkinImage::MaskType, &TsSkinImage::SetMaskType);
  P.Ordinal("BorderWidth", &TsSkinImage::BorderWidth, &TsSkinImage::SetBorderWidth);
  P.Ordinal("StretchMode", &TsSkinImage::StretchMode, &TsSkinImage::SetStretchMode);
  P.Ordinal("WL", &TsSkinImage::WL, &TsSkinImage::SetWL);
  P.Ordinal("WR", &TsSkinImage::WR, &TsSkinImage::SetWR);
  P.Ordinal("WT", &TsSkinImage::WT, &TsSkinImage::SetWT);
  P.Ordinal("WB", &TsSkinImage::WB, &TsSkinImage::SetWB);
  P.Enumeration("ImgType", &TsSkinImage::ImgType, &TsSkinImage::SetImgType,
                {"itisaBorder", "itisaTexture", "itisaGlyph", "itisaGlow", "itisaPngGlyph"});
}

T_PUBLISH(TsSkinPattern) {
  P.String("SectionName", &TsSkinPattern::SectionName, &TsSkinPattern::SetSectionName);
  P.String("PropertyName", &TsSkinPattern::PropertyName, &TsSkinPattern::SetPropertyName);
  P.String("Name", &TsSkinPattern::Name, &TsSkinPattern::SetName);
  P.Object("Image", &TsSkinPattern::Image, &TsSkinPattern::SetImage);
}

T_PUBLISH(TsSkinGeneral) {
  P.String("SectionName", &TsSkinGeneral::SectionName, &TsSkinGeneral::SetSectionName);
  P.String("ParentClass", &TsSkinGeneral::ParentClass, &TsSkinGeneral::SetParentClass);
  P.String("Name", &TsSkinGeneral::Name, &TsSkinGeneral::SetName);
  P.String("GradientData", &TsSkinGeneral::GradientData, &TsSkinGeneral::SetGradientData);
  P.String("HotGradientData", &TsSkinGeneral::HotGradientData, &TsSkinGeneral::SetHotGradientData);
  P.String("FontColor", &TsSkinGeneral::FontColor, &TsSkinGeneral::SetFontColor);
  P.String("HotFontColor", &TsSkinGeneral::HotFontColor, &TsSkinGeneral::SetHotFontColor);
  P.Ordinal("Color", &TsSkinGeneral::Color, &TsSkinGeneral::SetColor);
  P.Ordinal("HotColor", &TsSkinGeneral::HotColor, &TsSkinGeneral::SetHotColor);
  P.Ordinal("Transparency", &TsSkinGeneral::Transparency, &TsSkinGeneral::SetTransparency);
  P.Ordinal("HotTransparency", &TsSkinGeneral::HotTransparency, &TsSkinGeneral::SetHotTransparency);
  P.Ordinal("GradientPercent", &TsSkinGeneral::GradientPercent, &TsSkinGeneral::SetGradientPercent);
  P.Ordinal("HotGradientPercent", &TsSkinGeneral::HotGradientPercent, &TsSkinGeneral::SetHotGradientPercent);
  P.Ordinal("ImagePercent", &TsSkinGeneral::ImagePercent, &TsSkinGeneral::SetImagePercent);
  P.Ordinal("HotImagePercent", &TsSkinGeneral::HotImagePercent, &TsSkinGeneral::SetHotImagePercent);
  P.Ordinal("FadingIterations", &TsSkinGeneral::FadingIterations, &TsSkinGeneral::SetFadingIterations);
  P.Ordinal("GlowCount", &TsSkinGeneral::GlowCount, &TsSkinGeneral::SetGlowCount);
  P.Ordinal("GlowMargin", &TsSkinGeneral::GlowMargin, &TsSkinGeneral::SetGlowMargin);
  P.Boolean("ReservedBoolean", &TsSkinGeneral::ReservedBoolean, &TsSkinGeneral::SetReservedBoolean);
  P.Boolean("ShowFocus", &TsSkinGeneral::ShowFocus, &TsSkinGeneral::SetShowFocus);
  P.Boolean("FadingEnabled", &TsSkinGeneral::FadingEnabled, &TsSkinGeneral::SetFadingEnabled);
  P.Boolean("GiveOwnFont", &TsSkinGeneral::GiveOwnFont, &TsSkinGeneral::SetGiveOwnFont);
}

// ---- Loading the older form -----------------------------------------------------------------------

void SplitStoredFontColors(const AnsiString& Text, std::int32_t (&Colors)[5]) {
  static constexpr std::int32_t None[5] = {0, -1, -1, -1, -1};
  const TCharSet Blank(" ");
  std::int32_t Parsed[5];
  bool Ok = WordCount(Text, Blank) == 5;
  for (int I = 0; Ok && I < 5; ++I) Ok = TryStrToInt(ExtractWord(I + 1, Text, Blank), Parsed[I]);
  for (int I = 0; I < 5; ++I) Colors[I] = Ok ? Parsed[I] : None[I];
}

void LoadStoredGeneralData(const TsStoredSkin& Skin, TsSkinData& SkinData, TsGeneralDataArray& Data,
                           const TacStoredGradientMaker& MakeGradientOf) {
  auto Gradient = [&](const AnsiString& Text, const AnsiString& Section, const char* Key) {
    if (MakeGradientOf) return MakeGradientOf(Text, Section, Key);
    return TsGradientRef(std::make_shared<TsGradient>(TsGradient{Text, {}}));
  };
  SkinData.Version = Skin.Version();
  SkinData.Author = Skin.Author();
  SkinData.Description = Skin.Description();
  SkinData.Shadow1Color = Skin.Shadow1Color();
  // Held to 16 bits without wrapping, so that the ranges of skin-wide values apply afterwards.
  auto Int16 = [](int V) { return static_cast<std::int16_t>(std::clamp(V, -32768, 32767)); };
  SkinData.Shadow1Offset = Int16(Skin.Shadow1Offset());
  SkinData.Shadow1Blur = Int16(Skin.Shadow1Blur());
  SkinData.Shadow1Transparency = Int16(Skin.Shadow1Transparency());
  SkinData.BorderColor = Skin.BorderColor();
  ClearGeneralData(Data);
  const TsSkinGenerals& G = *Skin.GeneralData();
  Data.reserve(static_cast<std::size_t>(G.Count()));
  for (int I = 0; I < G.Count(); ++I) {
    const TsSkinGeneral& S = *G.Items(I);
    TsGeneralData& R = Data.emplace_back();
    R.SectionName = S.SectionName();
    R.ParentClass = S.ParentClass();
    R.Color = S.Color();
    R.ReservedBoolean = S.ReservedBoolean();
    R.GiveOwnFont = S.GiveOwnFont();
    R.GlowCount = S.GlowCount();
    R.GlowMargin = S.GlowMargin();
    R.Transparency = S.Transparency();
    R.GradientPercent = S.GradientPercent();
    R.ImagePercent = S.ImagePercent();
    R.Gradient = Gradient(S.GradientData(), R.SectionName, "GRADIENTDATA");
    R.ShowFocus = S.ShowFocus();
    R.FadingEnabled = S.FadingEnabled();
    R.FadingIterations = S.FadingIterations();
    R.HotColor = S.HotColor();
    R.HotTransparency = S.HotTransparency();
    R.HotGradientPercent = S.HotGradientPercent();
    R.HotGradient = Gradient(S.HotGradientData(), R.SectionName, "HOTGRADIENTDATA");
    R.HotImagePercent = S.HotImagePercent();
    SplitStoredFontColors(S.FontColor(), R.FontColor);
    SplitStoredFontColors(S.HotFontColor(), R.HotFontColor);
  }
}

namespace {

TsOwnedBitmap Copy24(TBitmap* Source) {
  TsOwnedBitmap B(new TBitmap);
  B->Assign(Source);
  B->SetPixelFormat(pf24bit);
  return B;
}

// A new graphic of the same class as Source, holding a copy of it; nullptr when the class cannot be
// made (a class no picture format names).
TsOwnedGraphic CopyGraphic(TGraphic* Source) {
  if (Source == nullptr || Source->Empty()) return nullptr;
  TsOwnedGraphic G;
  if (dynamic_cast<TBitmap*>(Source) != nullptr) {
    G.reset(new TBitmap);
  } else {
    for (const char* Ext : {"jpg", "jpeg", "png", "ico", "bmp"})
      if (SameText(TPicture::GraphicClassNameFor(Ext), Source->ClassName())) {
        G.reset(TPicture::CreateGraphicFor(Ext));
        break;
      }
  }
  if (G) G->Assign(Source);
  return G;
}

}  // namespace

void LoadStoredMasks(const TsStoredSkin& Skin, TsSkinManager* Manager, TBitmap& Master, TsMaskArray& Masks) {
  Master.Assign(Skin.MasterBitmap());
  Master.SetPixelFormat(pf24bit);
  Master.SetTransparent(true);
  Master.SetTransparentColor(clKeyColor);
  const TsSkinImages& Images = *Skin.Images();
  for (int I = 0; I < Images.Count(); ++I) {
    const TsSkinImage& S = *Images.Items(I);
    TsMaskData& M = Masks.emplace_back();
    if (!S.Name().empty()) {
      M.Bmp = Copy24(S.Image());
      M.R = Rect(0, 0, M.Bmp->Width(), M.Bmp->Height());
    } else {
      M.R = Rect(S.Left(), S.Top(), S.Right(), S.Bottom());
    }
    M.SectionName = UpperCase(S.SectionName());
    M.PropertyName = UpperCase(S.PropertyName());
    M.ImageCount = static_cast<std::int16_t>(S.ImageCount());
    M.MaskType = static_cast<std::int16_t>(S.MaskType());
    M.BorderWidth = static_cast<std::int16_t>(S.BorderWidth());
    M.DrawMode = static_cast<std::int16_t>(S.StretchMode());
    M.ImgType = S.ImgType();
    M.WL = static_cast<std::int16_t>(S.WL());
    M.WT = static_cast<std::int16_t>(S.WT());
    M.WR = static_cast<std::int16_t>(S.WR());
    M.WB = static_cast<std::int16_t>(S.WB());
    if (M.ImageCount == 0) {
      M.ImageCount = 3;
      M.MaskType = 1;
    }
    SetDefaultMargins(M);
    M.Manager = Manager;
  }
}

void LoadStoredPatterns(const TsStoredSkin& Skin, TsPatternArray& Patterns) {
  const TsSkinPatterns& Items = *Skin.Patterns();
  for (int I = 0; I < Items.Count(); ++I) {
    const TsSkinPattern& S = *Items.Items(I);
    TGraphic* Source = S.Image()->Graphic();
    if (Source == nullptr || Source->Empty()) {
      Source = nullptr;
      for (int J = 0; J < Items.Count() && Source == nullptr; ++J) {
        TGraphic* Other = Items.Items(J)->Image()->Graphic();
        if (J != I && Items.Items(J)->Name() == S.Name() && Other != nullptr && !Other->Empty()) Source = Other;
      }
    }
    TsPatternData& P = Patterns.emplace_back();
    P.Img = CopyGraphic(Source);
    P.SectionName = UpperCase(S.SectionName());
    P.PropertyName = UpperCase(S.PropertyName());
  }
}
