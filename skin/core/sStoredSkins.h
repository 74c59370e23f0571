// Skins stored inside a form: the skin manager's InternalSkins collection. Each item holds a
// skin either as a pack in its binary Data (the usual form) or, in the older form, as three nested
// collections of pictures, textures and section values plus a few skin-wide values. Win32.
#pragma once

#include <functional>
#include <memory>

#include "framework/Graphics.h"
#include "framework/Lists.h"
#include "framework/Streams.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sStyleSimply.h"

class TsStoredSkin;

// A simple published property: a getter, a setter and the field F<Name>.
#define S_STORED_PROP(Type, Name, Default)              \
 public:                                                \
  Type Name() const { return F##Name; }                 \
  void Set##Name(Type Value) { F##Name = Value; }       \
                                                        \
 private:                                               \
  Type F##Name = Default;
#define S_STORED_STR(Name)                                           \
 public:                                                             \
  const AnsiString& Name() const { return F##Name; }                 \
  void Set##Name(const AnsiString& Value) { F##Name = Value; }       \
                                                                     \
 private:                                                            \
  AnsiString F##Name;

// ---- Pictures of the older form -------------------------------------------------------------------

class TsSkinImage : public TCollectionItem {
  T_CLASS(TsSkinImage, TCollectionItem)

 public:
  explicit TsSkinImage(TCollection* Collection);
  ~TsSkinImage() override;
  // Copies every property from another picture item.
  void Assign(TPersistent* Source) override;

  // The picture's own bitmap (used when Name is not empty); the setter copies into it.
  TBitmap* Image() const { return FImage.get(); }
  void SetImage(TBitmap* Value) { FImage->Assign(Value); }
  // Stored only when different.
  void SetName(const AnsiString& Value) {
    if (Value != FName) FName = Value;
  }
  const AnsiString& Name() const { return FName; }

 private:
  std::unique_ptr<TBitmap> FImage;
  AnsiString FName;
  S_STORED_STR(SectionName)
  S_STORED_STR(PropertyName)
  S_STORED_PROP(int, Left, 0)
  S_STORED_PROP(int, Top, 0)
  S_STORED_PROP(int, Right, 0)
  S_STORED_PROP(int, Bottom, 0)
  S_STORED_PROP(int, ImageCount, 0)
  S_STORED_PROP(int, MaskType, 0)
  S_STORED_PROP(int, BorderWidth, 0)
  S_STORED_PROP(int, StretchMode, 0)
  S_STORED_PROP(int, WL, 0)
  S_STORED_PROP(int, WR, 0)
  S_STORED_PROP(int, WT, 0)
  S_STORED_PROP(int, WB, 0)
  S_STORED_PROP(TacImgType, ImgType, itisaBorder)
};

class TsSkinImages : public TCollection {
  T_CLASS(TsSkinImages, TCollection)

 public:
  explicit TsSkinImages(TsStoredSkin* AOwner);
  TsSkinImage* Items(int Index) const { return static_cast<TsSkinImage*>(TCollection::Items(Index)); }
  TPersistent* GetOwner() override;

 private:
  TsStoredSkin* FOwner;
};

// ---- Textures of the older form -------------------------------------------------------------------

class TsSkinPattern : public TCollectionItem {
  T_CLASS(TsSkinPattern, TCollectionItem)

 public:
  explicit TsSkinPattern(TCollection* Collection);
  ~TsSkinPattern() override;
  void Assign(TPersistent* Source) override;

  // The texture picture (a JPEG picture where that class is registered); the setter copies into it.
  TPicture* Image() const { return FImage.get(); }
  void SetImage(TPicture* Value) { FImage->Assign(Value); }

 private:
  std::unique_ptr<TPicture> FImage;
  S_STORED_STR(SectionName)
  S_STORED_STR(PropertyName)
  S_STORED_STR(Name)
};

class TsSkinPatterns : public TCollection {
  T_CLASS(TsSkinPatterns, TCollection)

 public:
  explicit TsSkinPatterns(TsStoredSkin* AOwner);
  TsSkinPattern* Items(int Index) const { return static_cast<TsSkinPattern*>(TCollection::Items(Index)); }
  TPersistent* GetOwner() override;

 private:
  TsStoredSkin* FOwner;
};

// ---- Section values of the older form ----------------------------------------------------------------

class TsSkinGeneral : public TCollectionItem {
  T_CLASS(TsSkinGeneral, TCollectionItem)

 public:
  explicit TsSkinGeneral(TCollection* Collection) : TCollectionItem(Collection) {}
  void Assign(TPersistent* Source) override;

 private:
  S_STORED_STR(SectionName)
  S_STORED_STR(ParentClass)
  S_STORED_STR(Name)
  S_STORED_STR(GradientData)
  S_STORED_STR(HotGradientData)
  // Five numbers separated by blanks: the text colour, then the left, top, right and bottom
  // contour colours.
  S_STORED_STR(FontColor)
  S_STORED_STR(HotFontColor)
  S_STORED_PROP(TColor, Color, 0)
  S_STORED_PROP(TColor, HotColor, 0)
  S_STORED_PROP(int, Transparency, 0)
  S_STORED_PROP(int, HotTransparency, 0)
  S_STORED_PROP(int, GradientPercent, 0)
  S_STORED_PROP(int, HotGradientPercent, 0)
  S_STORED_PROP(int, ImagePercent, 0)
  S_STORED_PROP(int, HotImagePercent, 0)
  S_STORED_PROP(int, FadingIterations, 0)
  S_STORED_PROP(int, GlowCount, 0)
  S_STORED_PROP(int, GlowMargin, 0)
  S_STORED_PROP(bool, ReservedBoolean, false)
  S_STORED_PROP(bool, ShowFocus, false)
  S_STORED_PROP(bool, FadingEnabled, false)
  S_STORED_PROP(bool, GiveOwnFont, false)
};

class TsSkinGenerals : public TCollection {
  T_CLASS(TsSkinGenerals, TCollection)

 public:
  explicit TsSkinGenerals(TsStoredSkin* AOwner);
  TsSkinGeneral* Items(int Index) const { return static_cast<TsSkinGeneral*>(TCollection::Items(Index)); }
  TPersistent* GetOwner() override;

 private:
  TsStoredSkin* FOwner;
};

// ---- Stored skins -----------------------------------------------------------------------------------

class TsStoredSkin : public TCollectionItem {
  T_CLASS(TsStoredSkin, TCollectionItem)

 public:
  explicit TsStoredSkin(TCollection* Collection);
  ~TsStoredSkin() override;
  // Copies Data, Name, the three collections, MasterBitmap, Version, the shadow values,
  // BorderColor, Author and Description from another stored skin; other sources raise the
  // framework's cannot-assign error.
  void Assign(TPersistent* Source) override;
  AnsiString DisplayName() const override { return FName.empty() ? TCollectionItem::DisplayName() : FName; }

  const AnsiString& Name() const { return FName; }
  // Stored only when different.
  void SetName(const AnsiString& Value) {
    if (Value != FName) FName = Value;
  }
  TsSkinGenerals* GeneralData() const { return FGeneralData.get(); }
  void SetGeneralData(TsSkinGenerals* Value) { FGeneralData->Assign(Value); }
  TsSkinImages* Images() const { return FImages.get(); }
  void SetImages(TsSkinImages* Value) { FImages->Assign(Value); }
  TsSkinPatterns* Patterns() const { return FPatterns.get(); }
  void SetPatterns(TsSkinPatterns* Value) { FPatterns->Assign(Value); }
  TBitmap* MasterBitmap() const { return FMasterBitmap.get(); }
  void SetMasterBitmap(TBitmap* Value) { FMasterBitmap->Assign(Value); }

  // The pack of the skin (empty for the older form).
  TMemoryStream* Data() const { return FData.get(); }
  // The binary property "Data" of the stored form description: reading replaces the Data with the
  // rest of Stream; writing saves the whole Data.
  void ReadData(TStream& Stream);
  void WriteData(TStream& Stream) const;

 private:
  AnsiString FName;
  std::unique_ptr<TsSkinGenerals> FGeneralData;
  std::unique_ptr<TsSkinImages> FImages;
  std::unique_ptr<TsSkinPatterns> FPatterns;
  std::unique_ptr<TBitmap> FMasterBitmap;
  std::unique_ptr<TMemoryStream> FData;
  S_STORED_PROP(TColor, Shadow1Color, 0)
  S_STORED_PROP(int, Shadow1Offset, 0)
  S_STORED_PROP(int, Shadow1Blur, -1)
  S_STORED_PROP(int, Shadow1Transparency, 0)
  S_STORED_PROP(TColor, BorderColor, 0xFF00FF)
  S_STORED_PROP(double, Version, 0)
  S_STORED_STR(Author)
  S_STORED_STR(Description)
};

// The skin manager's InternalSkins.
class TsStoredSkins : public TOwnedCollection {
  T_CLASS(TsStoredSkins, TOwnedCollection)

 public:
  explicit TsStoredSkins(TPersistent* AOwner);
  TsStoredSkin* Items(int Index) const { return static_cast<TsStoredSkin*>(TCollection::Items(Index)); }
  TsStoredSkin* Add() { return static_cast<TsStoredSkin*>(TCollection::Add()); }
  // The first item whose Name equals Name exactly; -1 when none.
  int IndexOf(const AnsiString& Name) const;
  // Does nothing: stored skins are not copied between managers.
  void Assign(TPersistent* Source) override {}
};

#undef S_STORED_PROP
#undef S_STORED_STR

// ---- Loading the older form ---------------------------------------------------------------------------

// The five numbers of a FontColor text: exactly five blank-separated integers fill Colors; anything
// else gives 0 and four times -1.
void SplitStoredFontColors(const AnsiString& Text, std::int32_t (&Colors)[5]);
// Makes the gradient of a record's gradient text (Key of section Section).
using TacStoredGradientMaker =
    std::function<TsGradientRef(const AnsiString& Text, const AnsiString& Section, const char* Key)>;
// The skin-wide values and the section records of a stored skin without Data: SkinData takes the
// item's Version, Author, Description, shadow values and BorderColor (the rest keeps its values);
// Data is emptied and gets one record per TsSkinGeneral. MakeGradientOf, when given, makes a
// record's gradients from its gradient texts; otherwise they hold the texts and no stops.
void LoadStoredGeneralData(const TsStoredSkin& Skin, TsSkinData& SkinData, TsGeneralDataArray& Data,
                           const TacStoredGradientMaker& MakeGradientOf = {});
// The master bitmap (a 24-bit copy of the item's, transparent with the key colour) and one mask
// entry per TsSkinImage, appended to Masks: an image with a Name gets a 24-bit copy of its own
// bitmap and R = (0, 0, width, height), any other the rectangle in the master bitmap; an
// ImageCount of 0 becomes 3 with MaskType 1; then the default margins.
void LoadStoredMasks(const TsStoredSkin& Skin, TsSkinManager* Manager, TBitmap& Master, TsMaskArray& Masks);
// One pattern per TsSkinPattern, appended to Patterns, with a copy of its picture, or, when that is
// empty, of the first other pattern item of the same Name whose picture is not; names upper-cased.
void LoadStoredPatterns(const TsStoredSkin& Skin, TsPatternArray& Patterns);
