// Fuzz target: the portable part of loading a skin. An input that starts with the pack magic is
// unpacked and its options file used; any other input is the options text itself. The text is read
// within the loader's caps, the skin-wide values (held to their ranges) and every section record
// are read as the manager reads them, sharing one set of gradients (their integers must come out
// clamped, no parent chain may be longer than the depth cap), the common-sections merge runs over
// it, and every picture key goes through its notation: fixed and older rectangle forms parsed, file
// names looked up in the pack and the found files' headers read for their size. The entries are
// kept as the manager keeps them (the entries of a section sharing its name) and looked up by name
// and along the parent chains as painting looks them up. Every input must
// load or raise the loader's errors (EacSkinLoadError, EConvertError, EacSkinPackError); crashes,
// sanitizer reports, other exceptions, and inputs slower or larger in memory than the fuzzer's
// limits are findings.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/Streams.h"
#include "framework/Strings.h"
#include "skin/core/acPictureSize.h"
#include "skin/core/acSkinPack.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sSkinLookup.h"
#include "skin/core/sSkinOptions.h"

namespace {

void CheckClamped(const TsGeneralData& D) {
  for (int V : {D.Transparency, D.HotTransparency, D.GradientPercent, D.ImagePercent, D.HotGradientPercent,
                D.HotImagePercent})
    if (V < 0 || V > 100) __builtin_trap();
  if (D.GlowMargin < 0 || D.GlowMargin > MaxSkinGlowMargin) __builtin_trap();
  if (D.FadingIterations < 0 || D.FadingIterations > MaxSkinFadingIterations) __builtin_trap();
}

const TacPackEntry* FindFile(const std::vector<TacPackEntry>& Files, const AnsiString& UpperName) {
  for (const TacPackEntry& F : Files)
    if (UpperCase(F.Name) == UpperName) return &F;
  return nullptr;
}

// The declared size of a file of the pack, when it is a picture whose header states one.
bool SizeOfFile(const std::vector<TacPackEntry>& Files, const AnsiString& Name, int& W, int& H) {
  const TacPackEntry* F = FindFile(Files, UpperCase(Name));
  if (F == nullptr) return false;
  TReadOnlyMemoryStream S(F->Data.data(), static_cast<std::int64_t>(F->Data.size()));
  if (!PictureSizeOf(S, W, H)) return false;
  if (W < 1 || H < 1 || S.Position() != 0) __builtin_trap();
  return true;
}

// The entries of one picture key, appended as the manager appends them.
void PictureKey(const std::vector<TacPackEntry>& Files, TsSectionNames& Section, const AnsiString& Key,
                const AnsiString& Value, TsMaskArray& Masks, TsPatternArray& Patterns) {
  constexpr int MasterW = 200, MasterH = 150;
  TsMaskData M;
  const AnsiString& Name = Section.Text();
  switch (ImageNotationOf(Value)) {
    case TacImageNotation::None:
      break;
    case TacImageNotation::Border:
    case TacImageNotation::Glyph:
    case TacImageNotation::Texture:
      ParseFixedImageValue(Name, Key, Value, M);
      if (M.R.Right < M.R.Left || M.R.Bottom < M.R.Top) __builtin_trap();
      M.SectionName = Section.AsWritten();
      M.PropertyName = Key;
      if (RectFitsImage(M.R, MasterW, MasterH)) Masks.push_back(std::move(M));
      break;
    case TacImageNotation::RectForm:
      ParseRectImageValue(Name, Key, Value, M);
      if (M.R.Right < M.R.Left || M.R.Bottom < M.R.Top || M.ImageCount < 1) __builtin_trap();
      M.SectionName = Section.UpperCased();
      M.PropertyName = UpperCase(Key);
      if (RectFitsImage(M.R, MasterW, MasterH)) Masks.push_back(std::move(M));
      break;
    case TacImageNotation::File: {
      const TacFileImageName N = FileImageNameOf(Value);
      int W = 0, H = 0;
      if ((N.IsBitmap || N.IsPng) && SizeOfFile(Files, N.FileName, W, H)) {
        ParseFileImageNumbers(Name, Key, Value, W, H, M);
        if (M.R.Right != W || M.R.Bottom != H || M.ImgType > itisaPngGlyph) __builtin_trap();
        M.SectionName = Section.AsWritten();
        M.PropertyName = Key;
        Masks.push_back(std::move(M));
      }
      break;
    }
    case TacImageNotation::PlainFile: {
      int W = 0, H = 0;
      if (SizeOfFile(Files, UpperCase(Value), W, H)) {
        M.SectionName = Section.UpperCased();
        M.PropertyName = UpperCase(Key);
        Masks.push_back(std::move(M));
      }
      break;
    }
  }
  // Texture files are found by their extension.
  const AnsiString Upper = UpperCase(Value);
  if (Upper.find(".JPG") != AnsiString::npos || Upper.find(".JPEG") != AnsiString::npos) {
    int W = 0, H = 0;
    if (SizeOfFile(Files, Upper, W, H)) {
      TsPatternData& P = Patterns.emplace_back();
      P.SectionName = Section.UpperCased();
      P.PropertyName = UpperCase(Key);
    }
  }
}

// The lookups of painting over the entries: every record's border entry, and for some records the
// inheriting lookups, each within the depth cap and agreeing with the border entries.
void Lookups(const TsGeneralDataArray& Records, const TsMaskArray& Masks, const TsPatternArray& Patterns) {
  const TacSkinLookup L(Records, Masks, Patterns);
  const std::vector<int> Borders = L.SectionMasks("BORDERSMASK");
  if (Borders.size() != Records.size()) __builtin_trap();
  for (std::size_t I = 0; I < Records.size() && I < 256; ++I) {
    const TsGeneralData& D = Records[I];
    if (D.SectionName.empty()) continue;
    std::uint64_t Steps = 0;
    if (L.Inherited(TacSkinLookup::lkMask, static_cast<int>(I), D.SectionName, "BORDERSMASK", Steps) != Borders[I])
      __builtin_trap();
    L.Inherited(TacSkinLookup::lkTexture, static_cast<int>(I), D.SectionName, "PATTERN", Steps);
    L.Inherited(TacSkinLookup::lkPattern, static_cast<int>(I), D.SectionName, "HOTPATTERN", Steps);
    if (Steps > 3u * (MaxSkinParentDepth + 1)) __builtin_trap();
    const int S = L.Section(D.SectionName);
    if (S < 0 || static_cast<std::size_t>(S) > I || Records[static_cast<std::size_t>(S)].SectionName != D.SectionName)
      __builtin_trap();
  }
}

bool SameRecord(const TsGeneralData& A, const TsGeneralData& B) {
  return A.SectionName == B.SectionName && A.ParentClass == B.ParentClass && A.Color == B.Color &&
         std::equal(std::begin(A.FontColor), std::end(A.FontColor), std::begin(B.FontColor)) &&
         std::equal(std::begin(A.HotFontColor), std::end(A.HotFontColor), std::begin(B.HotFontColor)) &&
         A.GiveOwnFont == B.GiveOwnFont && A.GlowCount == B.GlowCount && A.GlowMargin == B.GlowMargin &&
         A.ReservedBoolean == B.ReservedBoolean && A.Transparency == B.Transparency &&
         A.GradientPercent == B.GradientPercent && A.Gradient == B.Gradient && A.ImagePercent == B.ImagePercent &&
         A.ShowFocus == B.ShowFocus && A.FadingEnabled == B.FadingEnabled && A.FadingIterations == B.FadingIterations &&
         A.HotColor == B.HotColor && A.HotTransparency == B.HotTransparency &&
         A.HotGradientPercent == B.HotGradientPercent && A.HotGradient == B.HotGradient &&
         A.HotImagePercent == B.HotImagePercent;
}

void CheckChains(const std::vector<int>& Parents) {
  for (std::size_t I = 0; I < Parents.size(); ++I) {
    const TsSkinParentChain Chain(Parents, static_cast<int>(I));
    if (Chain.size() < 1 || Chain.size() > MaxSkinParentDepth + 1u || *Chain.begin() != static_cast<int>(I))
      __builtin_trap();
    for (const int* S = Chain.begin(); S != Chain.end(); ++S)
      if (std::find(Chain.begin(), S, *S) != S) __builtin_trap();  // no section twice
  }
}

void Load(std::string_view Text, const std::vector<TacPackEntry>& Files) {
  const TacSkinOptions O(Text);
  const std::vector<AnsiString> Sections = O.SectionNames();
  if (Sections.size() > static_cast<std::size_t>(MaxSkinSections)) __builtin_trap();
  CheckChains(O.Parents());
  TsSkinData Skin;
  try {
    ReadSkinGlobalInfo(O, Skin);
    // The values read are already within their ranges: clamping again changes none.
    TsSkinData Clamped;
    ReadSkinGlobalInfo(O, Clamped);
    ClampSkinWideValues(Clamped);
    for (std::int16_t TsSkinData::*F : {&TsSkinData::BorderWidth, &TsSkinData::TitleHeight, &TsSkinData::MaxHeight,
                                        &TsSkinData::FormOffset, &TsSkinData::CenterOffset, &TsSkinData::BISpace,
                                        &TsSkinData::BIRight, &TsSkinData::BILeft, &TsSkinData::Shadow1Blur,
                                        &TsSkinData::BICloseGlowMargin})
      if (Clamped.*F != Skin.*F) __builtin_trap();
  } catch (const EConvertError&) {
  }
  TsGeneralDataArray Records;
  TacSkinGradients Gradients;
  try {
    Records = ReadSkinSections(O, nullptr, Gradients);
    if (Records.size() != Sections.size()) __builtin_trap();
    for (const TsGeneralData& D : Records) CheckClamped(D);
    // A record read on its own, along its chain, is the one read with all the others.
    for (std::size_t I = 0; I < Records.size() && I < 64; ++I)
      if (!SameRecord(ReadSkinSection(O, Sections[I], nullptr, &Gradients), Records[I])) __builtin_trap();
  } catch (const EConvertError&) {
  }
  if (Gradients.Stops() > MaxSkinGradientStops) __builtin_trap();
  // Every key of every section, the first value of each, as the loader walks them.
  TsMaskArray Masks;
  TsPatternArray Patterns;
  for (const TIniSection& S : O.Ini().Data().Sections()) {
    if (S.Entries.size() > static_cast<std::size_t>(MaxSkinSectionKeys)) __builtin_trap();
    TsSectionNames Names(S.Name);
    std::unordered_set<AnsiString> Seen;
    for (const TIniEntry& E : S.Entries) {
      if (!Seen.insert(UpperCase(E.Name)).second || IsSkinValueKey(S.Name, E.Name)) continue;
      try {
        PictureKey(Files, Names, E.Name, E.Value, Masks, Patterns);
      } catch (const EConvertError&) {
      }
    }
  }
  Lookups(Records, Masks, Patterns);
  // The same text as the manager's common sections, merged into the records.
  try {
    TsGeneralDataArray Merged = Records;
    MergeCommonSections(O.Ini(), Merged, &Gradients);
    for (const TsGeneralData& D : Merged) CheckClamped(D);
  } catch (const EConvertError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  std::vector<TacPackEntry> Files;
  std::string_view Text(reinterpret_cast<const char*>(Data), Size);
  if (Size >= 4 && std::memcmp(Data, "ASzf", 4) == 0) {
    try {
      Files = UnpackSkinPack(Data, Size);
    } catch (const EacSkinPackError&) {
      return 0;
    }
    const TacPackEntry* Options = nullptr;
    for (const TacPackEntry& F : Files)
      if (IsOptionsFileName(F.Name)) Options = &F;  // a later options file replaces an earlier one
    if (Options == nullptr) return 0;
    Text = std::string_view(reinterpret_cast<const char*>(Options->Data.data()), Options->Data.size());
  }
  try {
    Load(Text, Files);
  } catch (const EacSkinLoadError&) {
  }
  return 0;
}
