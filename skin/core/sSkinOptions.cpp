#include "skin/core/sSkinOptions.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

#include "framework/Convert.h"
#include "framework/Strings.h"
#include "skin/core/sGradient.h"
#include "skin/core/sVclUtils.h"

namespace {

// ---- Errors -----------------------------------------------------------------------------------------

// The value as an error message shows it: long values are cut.
AnsiString Shown(const AnsiString& Value) {
  constexpr std::size_t Max = 80;
  return Value.size() <= Max ? Value : Value.substr(0, Max) + "...";
}

[[noreturn]] void BadValue(const AnsiString& Section, const AnsiString& Key, const AnsiString& Value,
                           const AnsiString& Why) {
  throw EConvertError(Format("Key %s of skin section [%s] holds \"%s\": %s", Shown(Key), Shown(Section),
                             Shown(Value), Why));
}

// ---- Numbers of picture values -------------------------------------------------------------------------

// A run of decimal digits no larger than Max; false for anything else (an empty text included).
bool ParseDigits(std::string_view S, long long Max, long long& Value) {
  if (S.empty()) return false;
  long long V = 0;
  for (char C : S) {
    if (C < '0' || C > '9') return false;
    V = V * 10 + (C - '0');
    if (V > Max) return false;
  }
  Value = V;
  return true;
}

// The parts of one picture value, for error messages.
struct TValueRef {
  const AnsiString& Section;
  const AnsiString& Key;
  const AnsiString& Value;
};

int Number(const TValueRef& V, std::string_view Text, long long Max, const char* Field) {
  long long N = 0;
  if (!ParseDigits(Text, Max, N)) {
    if (Text.empty()) BadValue(V.Section, V.Key, V.Value, Format("the %s is missing", Field));
    BadValue(V.Section, V.Key, V.Value,
             Format("the %s \"%s\" is not a decimal number from 0 to %d", Field, Shown(AnsiString(Text)),
                    static_cast<int>(Max)));
  }
  return static_cast<int>(N);
}

// The field at 1-based position Pos of Len characters.
int Fixed(const TValueRef& V, int Pos, int Len, const char* Field) {
  return Number(V, std::string_view(V.Value).substr(static_cast<std::size_t>(Pos) - 1, static_cast<std::size_t>(Len)),
                Len == 1 ? 9 : (Len == 2 ? 99 : 9999), Field);
}

constexpr long long MaxInt16 = 32767;
constexpr long long MaxCoordinate = 0x7FFFFFFF;

void CheckRect(const TValueRef& V, const TRect& R) {
  if (R.Right < R.Left || R.Bottom < R.Top)
    BadValue(V.Section, V.Key, V.Value,
             Format("the rectangle (%d, %d, %d, %d) is inverted", R.Left, R.Top, R.Right, R.Bottom));
}

void NeedLength(const TValueRef& V, std::size_t Length) {
  if (V.Value.size() < Length)
    BadValue(V.Section, V.Key, V.Value,
             Format("the value needs %u characters but has %u", static_cast<unsigned>(Length),
                    static_cast<unsigned>(V.Value.size())));
}

// ---- Keys of the section records ---------------------------------------------------------------------------

using TIntField = std::int32_t& (*)(TsGeneralData&);
using TBoolField = bool& (*)(TsGeneralData&);
using TGradientField = TsGradientRef& (*)(TsGeneralData&);

struct TIntKey {
  const char* Key;
  std::int32_t Default;
  TIntField Field;
};
struct TBoolKey {
  const char* Key;
  TBoolField Field;
};
struct TTextKey {
  const char* Key;
  const char* Default;
  TGradientField Gradient;
};

#define S_INT(Key, Default, Expr) \
  TIntKey { Key, Default, [](TsGeneralData& R) -> std::int32_t& { return Expr; } }

// COLOR comes first: it is the one colour converted to RGB when read from the options text.
const TIntKey IntKeys[] = {
    S_INT("COLOR", 0xFFFFFF, R.Color),
    S_INT("GLOW", 0, R.GlowCount),
    S_INT("GLOWMARGIN", 0, R.GlowMargin),
    S_INT("FONTCOLOR", 0, R.FontColor[0]),
    S_INT("TCLEFT", -1, R.FontColor[1]),
    S_INT("TCTOP", -1, R.FontColor[2]),
    S_INT("TCRIGHT", -1, R.FontColor[3]),
    S_INT("TCBOTTOM", -1, R.FontColor[4]),
    S_INT("HOTFONTCOLOR", 0, R.HotFontColor[0]),
    S_INT("HOTTCLEFT", -1, R.HotFontColor[1]),
    S_INT("HOTTCTOP", -1, R.HotFontColor[2]),
    S_INT("HOTTCRIGHT", -1, R.HotFontColor[3]),
    S_INT("HOTTCBOTTOM", -1, R.HotFontColor[4]),
    S_INT("TRANSPARENCY", 0, R.Transparency),
    S_INT("GRADIENTPERCENT", 0, R.GradientPercent),
    S_INT("IMAGEPERCENT", 0, R.ImagePercent),
    S_INT("FADINGITERATIONS", 5, R.FadingIterations),
    S_INT("HOTCOLOR", 0xFFFFFF, R.HotColor),
    S_INT("HOTTRANSPARENCY", 0, R.HotTransparency),
    S_INT("HOTGRADIENTPERCENT", 0, R.HotGradientPercent),
    S_INT("HOTIMAGEPERCENT", 0, R.HotImagePercent),
};
#undef S_INT

const TBoolKey BoolKeys[] = {
    {"RESERVEDBOOLEAN", [](TsGeneralData& R) -> bool& { return R.ReservedBoolean; }},
    {"GIVEOWNFONT", [](TsGeneralData& R) -> bool& { return R.GiveOwnFont; }},
    {"SHOWFOCUS", [](TsGeneralData& R) -> bool& { return R.ShowFocus; }},
    {"FADINGENABLED", [](TsGeneralData& R) -> bool& { return R.FadingEnabled; }},
};

const TTextKey TextKeys[] = {
    {"GRADIENTDATA", " ", [](TsGeneralData& R) -> TsGradientRef& { return R.Gradient; }},
    {"HOTGRADIENTDATA", "", [](TsGeneralData& R) -> TsGradientRef& { return R.HotGradient; }},
};

// The skin-wide keys of GLOBALINFO.
const char* const GlobalKeys[] = {
    "VERSION",      "AUTHOR",        "DESCRIPTION",         "BORDERWIDTH",    "TITLEHEIGHT",
    "MAXHEIGHT",    "FORMOFFSET",    "CENTEROFFSET",        "BORDERMODE",     "SHADOW1COLOR",
    "SHADOW1OFFSET", "SHADOW1BLUR",  "SHADOW1TRANSPARENCY", "BISPACE",        "BIVALIGN",
    "BIRIGHT",      "BILEFT",        "BORDERCOLOR",         "BIKEEPHUE",      "BICONCLOSEGLOW",
    "BICONCLOSEGLOWMARGIN", "BICONMAXGLOW", "BICONMAXGLOWMARGIN", "BICONMINGLOW", "BICONMINGLOWMARGIN"};

bool IsTrue(const AnsiString& Text) { return UpperCase(Text) == "TRUE"; }

}  // namespace

// ---- TacSkinOptions -----------------------------------------------------------------------------------

TacSkinOptions::TacSkinOptions(std::string_view Text) {
  if (static_cast<std::int64_t>(Text.size()) > MaxSkinOptionsSize)
    throw EacSkinLoadError(Format("The skin's options text is too large (%u bytes; at most %u are read)",
                                  static_cast<unsigned>(Text.size()), static_cast<unsigned>(MaxSkinOptionsSize)));
  // Editors may save the text as UTF-8 with a byte-order mark; it would hide the first section.
  if (Text.starts_with("\xEF\xBB\xBF")) Text.remove_prefix(3);
  TIniText Parsed;
  const TIniParseResult R = Parsed.Parse(Text, TIniLimits{MaxSkinSections, MaxSkinSectionKeys, MaxSkinKeys});
  switch (R.Limit) {
    case TIniParseResult::None:
      break;
    case TIniParseResult::Sections:
      throw EacSkinLoadError(Format("The skin's options text has more than %d sections", MaxSkinSections));
    case TIniParseResult::SectionEntries:
      throw EacSkinLoadError(Format("Section [%s] of the skin's options text has more than %d keys",
                                    Shown(Parsed.Sections()[static_cast<std::size_t>(R.Section)].Name),
                                    MaxSkinSectionKeys));
    case TIniParseResult::Entries:
      throw EacSkinLoadError(Format("The skin's options text has more than %d keys in all", MaxSkinKeys));
  }
  FIni.SetData(std::move(Parsed));
  const TIniText& Data = FIni.Data();
  FParents = ResolveSkinParents(Data.Sections().size(), [&Data](std::size_t I) {
    const TIniSection& S = Data.Sections()[I];
    const int K = Data.IndexOfKey(static_cast<int>(I), SParentClassKey);
    if (K < 0) return -1;
    const AnsiString& Parent = S.Entries[static_cast<std::size_t>(K)].Value;
    if (Parent.empty() || Parent == "?" || Parent == S.Name) return -1;
    return Data.IndexOfSection(Parent);
  });
}

std::vector<AnsiString> TacSkinOptions::SectionNames() const {
  std::vector<AnsiString> Names;
  Names.reserve(FIni.Data().Sections().size());
  for (const TIniSection& S : FIni.Data().Sections()) Names.push_back(S.Name);
  return Names;
}

const AnsiString* TacSkinOptions::OwnValue(int Section, const AnsiString& Key, bool Integer) const {
  const TIniText& Data = FIni.Data();
  const int K = Data.IndexOfKey(Section, Key);
  if (K < 0) return nullptr;
  const AnsiString& V = Data.Sections()[static_cast<std::size_t>(Section)].Entries[static_cast<std::size_t>(K)].Value;
  if (Integer) {
    int N = 0;
    return TryIniStrToInt(V, N) && N != -1 ? &V : nullptr;
  }
  return V == "?" ? nullptr : &V;
}

int TacSkinOptions::HolderOf(int Section, const AnsiString& Key, bool Integer) const {
  // A chain holds at most MaxSkinParentDepth + 1 sections: a walk takes a few steps.
  for (int S : TsSkinParentChain(FParents, Section))
    if (OwnValue(S, Key, Integer) != nullptr) return S;
  return -1;
}

const AnsiString* TacSkinOptions::FindSkinString(const AnsiString& Section, const AnsiString& Key) const {
  const int Holder = HolderOf(FIni.Data().IndexOfSection(Section), Key, false);
  return Holder < 0 ? nullptr : OwnValue(Holder, Key, false);
}

AnsiString TacSkinOptions::ReadSkinString(const AnsiString& Section, const AnsiString& Key,
                                          const AnsiString& Default) const {
  const AnsiString* V = FindSkinString(Section, Key);
  return V != nullptr ? *V : Default;
}

int TacSkinOptions::ReadSkinInteger(const AnsiString& Section, const AnsiString& Key, int Default) const {
  const int Holder = HolderOf(FIni.Data().IndexOfSection(Section), Key, true);
  int N = Default;
  if (Holder >= 0) TryIniStrToInt(*OwnValue(Holder, Key, true), N);
  return N;
}

// ---- Gradients ---------------------------------------------------------------------------------------

TsGradientRef TacSkinGradients::OfValue(const AnsiString* Value, const AnsiString& Section, const char* Key) {
  if (auto It = FByValue.find(Value); It != FByValue.end()) return It->second;
  // A value that is no gradient fails alike for every section that takes it, without being read
  // again.
  if (auto It = FBadValues.find(Value); It != FBadValues.end()) throw EConvertError(It->second);
  try {
    TsGradientRef G = Of(*Value, Section, Key);
    FByValue.emplace(Value, G);
    return G;
  } catch (const EConvertError& E) {
    FBadValues.emplace(Value, E.Message);
    throw;
  }
}

TsGradientRef TacSkinGradients::Of(const AnsiString& Text, const AnsiString& Section, const char* Key) {
  if (Text == " ") return BlankGradient();
  if (Text.empty()) return EmptyGradient();
  if (auto It = FByText.find(Text); It != FByText.end()) return It->second;
  if (Text.size() > MaxSkinGradientTextSize)
    throw EacSkinLoadError(Format("Key %s of skin section [%s] holds a gradient of %u bytes; at most %u are read", Key,
                                  Shown(Section), static_cast<unsigned>(Text.size()),
                                  static_cast<unsigned>(MaxSkinGradientTextSize)));
  TsGradientRef G;
  try {
    G = MakeGradient(Text);
  } catch (EConvertError& E) {
    E.Message = Format("Key %s of skin section [%s]: %s", Key, Shown(Section), E.Message);
    throw;
  }
  FStops += static_cast<std::int64_t>(G->Stops.size());
  if (FStops > MaxSkinGradientStops)
    throw EacSkinLoadError(Format("The skin's gradients have more than %d stops in all (at key %s of section [%s])",
                                  static_cast<int>(MaxSkinGradientStops), Key, Shown(Section)));
  FByText.emplace(std::string_view(G->Text), G);
  return G;
}

// ---- Skin-wide values and section records -------------------------------------------------------

namespace {

// The skin-wide geometry values and the ranges real skins keep them in.
struct TGlobalRange {
  std::int16_t TsSkinData::*Field;
  int Min;
  int Max;
};
constexpr int MaxGeometry = 255;
const TGlobalRange GlobalRanges[] = {
    {&TsSkinData::BorderWidth, 0, MaxGeometry},          {&TsSkinData::TitleHeight, 0, MaxGeometry},
    {&TsSkinData::MaxHeight, 0, MaxGeometry},            {&TsSkinData::FormOffset, -MaxGeometry, MaxGeometry},
    {&TsSkinData::CenterOffset, -MaxGeometry, MaxGeometry}, {&TsSkinData::BISpace, -MaxGeometry, MaxGeometry},
    {&TsSkinData::BIRight, -MaxGeometry, MaxGeometry},   {&TsSkinData::BILeft, -MaxGeometry, MaxGeometry},
    {&TsSkinData::Shadow1Offset, -MaxGeometry, MaxGeometry}, {&TsSkinData::Shadow1Blur, -1, MaxGeometry},
    {&TsSkinData::Shadow1Transparency, 0, 100},          {&TsSkinData::BICloseGlow, 0, MaxGeometry},
    {&TsSkinData::BICloseGlowMargin, 0, MaxGeometry},    {&TsSkinData::BIMaxGlow, 0, MaxGeometry},
    {&TsSkinData::BIMaxGlowMargin, 0, MaxGeometry},      {&TsSkinData::BIMinGlow, 0, MaxGeometry},
    {&TsSkinData::BIMinGlowMargin, 0, MaxGeometry},
};

// The range of a field (the whole 16 bits for one that is not listed).
TGlobalRange RangeOf(std::int16_t TsSkinData::*Field) {
  for (const TGlobalRange& R : GlobalRanges)
    if (R.Field == Field) return R;
  return TGlobalRange{Field, -32768, 32767};
}

}  // namespace

void ReadSkinGlobalInfo(const TacSkinOptions& Options, TsSkinData& Data) {
  const TMemIniFile& Ini = Options.Ini();
  const AnsiString G = SGlobalInfoSection;
  // A value is clamped to its range before it is stored in its 16-bit field.
  auto Store = [&](std::int16_t TsSkinData::*Field, int V) {
    const TGlobalRange R = RangeOf(Field);
    Data.*Field = static_cast<std::int16_t>(std::clamp(V, R.Min, R.Max));
  };
  auto Int = [&](std::int16_t TsSkinData::*Field, const char* Key, int Default) {
    Store(Field, Ini.ReadInteger(G, Key, Default));
  };
  // Keys read as text and converted: a value that is no integer ends the load.
  auto Converted = [&](std::int16_t TsSkinData::*Field, const char* Key, const char* Default) {
    const AnsiString Text = Ini.ReadString(G, Key, Default);
    int V = 0;
    if (!TryStrToInt(Text, V))
      throw EConvertError(
          Format("Key %s of skin section [%s]: '%s' is not a valid integer value", Key, G, Shown(Text)));
    Store(Field, V);
  };
  auto Int16 = [&](const char* Key, int Default) { return static_cast<std::int16_t>(Ini.ReadInteger(G, Key, Default)); };
  Data.Version = Ini.ReadFloat(G, "VERSION", 0, '.');
  Data.Author = Ini.ReadString(G, "AUTHOR", "");
  Data.Description = Ini.ReadString(G, "DESCRIPTION", "");
  Int(&TsSkinData::BorderWidth, "BORDERWIDTH", 4);
  Int(&TsSkinData::TitleHeight, "TITLEHEIGHT", 30);
  Int(&TsSkinData::MaxHeight, "MAXHEIGHT", 0);
  if (Data.MaxHeight == 0) Data.MaxHeight = Data.TitleHeight;
  Int(&TsSkinData::FormOffset, "FORMOFFSET", 8);
  Int(&TsSkinData::CenterOffset, "CENTEROFFSET", 0);
  Data.BorderMode = Int16("BORDERMODE", 0);
  Data.Shadow1Color = Ini.ReadInteger(G, "SHADOW1COLOR", 0);
  Converted(&TsSkinData::Shadow1Offset, "SHADOW1OFFSET", "0");
  Converted(&TsSkinData::Shadow1Blur, "SHADOW1BLUR", "-1");
  Converted(&TsSkinData::Shadow1Transparency, "SHADOW1TRANSPARENCY", "0");
  Int(&TsSkinData::BISpace, "BISPACE", 0);
  Data.BIVAlign = Int16("BIVALIGN", 0);
  Int(&TsSkinData::BIRight, "BIRIGHT", 0);
  Int(&TsSkinData::BILeft, "BILEFT", 0);
  Data.BorderColor = Ini.ReadInteger(G, "BORDERCOLOR", TsSkinData::NoBorderColor);
  Data.BIKeepHue = Int16("BIKEEPHUE", 0);
  Converted(&TsSkinData::BICloseGlow, "BICONCLOSEGLOW", "0");
  Converted(&TsSkinData::BICloseGlowMargin, "BICONCLOSEGLOWMARGIN", "0");
  Converted(&TsSkinData::BIMaxGlow, "BICONMAXGLOW", "0");
  Converted(&TsSkinData::BIMaxGlowMargin, "BICONMAXGLOWMARGIN", "0");
  Converted(&TsSkinData::BIMinGlow, "BICONMINGLOW", "0");
  Converted(&TsSkinData::BIMinGlowMargin, "BICONMINGLOWMARGIN", "0");
}

void ClampSkinWideValues(TsSkinData& Data) {
  for (const TGlobalRange& R : GlobalRanges)
    Data.*R.Field = static_cast<std::int16_t>(std::clamp<int>(Data.*R.Field, R.Min, R.Max));
}

namespace {

// The values of the record keys a section (by index) has of its own, in the order of IntKeys,
// BoolKeys and TextKeys: for the integers, those other than -1; for the texts, those other than "?".
constexpr std::size_t RecordKeyCount = std::size(IntKeys) + std::size(BoolKeys) + std::size(TextKeys);
using TOwnValues = std::array<const AnsiString*, RecordKeyCount>;

TOwnValues OwnValuesOf(const TacSkinOptions& Options, int Section) {
  TOwnValues V{};
  std::size_t K = 0;
  for (const TIntKey& Key : IntKeys) V[K++] = Options.OwnValue(Section, Key.Key, true);
  for (const TBoolKey& Key : BoolKeys) V[K++] = Options.OwnValue(Section, Key.Key, false);
  for (const TTextKey& Key : TextKeys) V[K++] = Options.OwnValue(Section, Key.Key, false);
  return V;
}

// The values of a chain of sections: each key from the first section of the chain that holds it
// (OwnOf(S) gives the values of section S), the defaults of a new record for the others.
template <class OwnFn>
TsGeneralData ChainValues(const TacSkinOptions& Options, const TsSkinParentChain& Chain, OwnFn&& OwnOf,
                          TacSkinGradients& Gradients) {
  TsGeneralData R;
  int Holder = -1;
  auto Find = [&](std::size_t K) -> const AnsiString* {
    for (int S : Chain)
      if (const AnsiString* V = OwnOf(S)[K]) {
        Holder = S;
        return V;
      }
    return nullptr;
  };
  std::size_t K = 0;
  for (const TIntKey& Key : IntKeys)
    if (const AnsiString* V = Find(K++)) TryIniStrToInt(*V, Key.Field(R));
  for (const TBoolKey& Key : BoolKeys)
    if (const AnsiString* V = Find(K++)) Key.Field(R) = IsTrue(*V);
  for (const TTextKey& Key : TextKeys)
    if (const AnsiString* V = Find(K++))
      Key.Gradient(R) =
          Gradients.OfValue(V, Options.Ini().Data().Sections()[static_cast<std::size_t>(Holder)].Name, Key.Key);
  return R;
}

// The record of an inherited chain of values made final: the name, the plain PARENTCLASS, COLOR
// through ToRGB, the integers clamped, no mask indexes.
void FinishRecord(const TacSkinOptions& Options, int Section, const TacColorToRGB& ToRGB, TsGeneralData& R) {
  const TIniSection& S = Options.Ini().Data().Sections()[static_cast<std::size_t>(Section)];
  R.SectionName = S.Name;
  R.ParentClass = Options.Ini().ReadString(S.Name, SParentClassKey, "");
  if (ToRGB) R.Color = ToRGB(R.Color);
  R.BorderIndex = R.ImgTopLeft = R.ImgTopRight = R.ImgBottomLeft = R.ImgBottomRight = -1;
  ClampSectionValues(R);
}

}  // namespace

TsGeneralData ReadSkinSection(const TacSkinOptions& Options, const AnsiString& Section, const TacColorToRGB& ToRGB,
                              TacSkinGradients* Gradients) {
  TacSkinGradients Own;
  if (Gradients == nullptr) Gradients = &Own;
  TsGeneralData R;
  const int Index = Options.Ini().Data().IndexOfSection(Section);
  if (Index < 0) {
    R.SectionName = Section;
    R.BorderIndex = R.ImgTopLeft = R.ImgTopRight = R.ImgBottomLeft = R.ImgBottomRight = -1;
    return R;
  }
  const TsSkinParentChain Chain(Options.Parents(), Index);
  std::vector<std::pair<int, TOwnValues>> Values;
  for (int S : Chain) Values.emplace_back(S, OwnValuesOf(Options, S));
  R = ChainValues(Options, Chain, [&Values](int S) -> const TOwnValues& {
    return std::find_if(Values.begin(), Values.end(), [S](const auto& V) { return V.first == S; })->second;
  }, *Gradients);
  FinishRecord(Options, Index, ToRGB, R);
  return R;
}

TsGeneralDataArray ReadSkinSections(const TacSkinOptions& Options, const TacColorToRGB& ToRGB,
                                    TacSkinGradients& Gradients) {
  // Each section's own values are looked up once; each record then takes every key from the first
  // section of its chain that holds it.
  const std::size_t N = Options.Parents().size();
  std::vector<TOwnValues> Own(N);
  for (std::size_t I = 0; I < N; ++I) Own[I] = OwnValuesOf(Options, static_cast<int>(I));
  const auto OwnOf = [&Own](int S) -> const TOwnValues& { return Own[static_cast<std::size_t>(S)]; };
  TsGeneralDataArray Records;
  Records.reserve(N);
  for (std::size_t I = 0; I < N; ++I) {
    TsGeneralData R = ChainValues(Options, TsSkinParentChain(Options.Parents(), static_cast<int>(I)), OwnOf, Gradients);
    FinishRecord(Options, static_cast<int>(I), ToRGB, R);
    Records.push_back(std::move(R));
  }
  return Records;
}

void ClampSectionValues(TsGeneralData& Data) {
  for (std::int32_t* Percent : {&Data.Transparency, &Data.HotTransparency, &Data.GradientPercent, &Data.ImagePercent,
                                &Data.HotGradientPercent, &Data.HotImagePercent})
    *Percent = std::clamp(*Percent, 0, 100);
  Data.GlowMargin = std::clamp(Data.GlowMargin, 0, MaxSkinGlowMargin);
  Data.FadingIterations = std::clamp(Data.FadingIterations, 0, MaxSkinFadingIterations);
}

void MergeCommonSections(const TMemIniFile& Common, TsGeneralDataArray& Data, TacSkinGradients* Gradients) {
  TacSkinGradients Own;
  if (Gradients == nullptr) Gradients = &Own;
  // The records by name as written, and the first record of each upper-cased name.
  std::unordered_set<AnsiString> Names;
  std::unordered_map<AnsiString, std::size_t> FirstUpper;
  auto Known = [&](std::size_t I) {
    Names.insert(Data[I].SectionName);
    FirstUpper.emplace(UpperCase(Data[I].SectionName), I);
  };
  for (std::size_t I = 0; I < Data.size(); ++I) Known(I);
  for (const TIniSection& S : Common.Data().Sections()) {
    const AnsiString& Name = S.Name;
    if (Names.count(Name) != 0) continue;
    TsGeneralData R;
    R.SectionName = Name;
    R.ParentClass = UpperCase(Common.ReadString(Name, SParentClassKey, "-1"));
    // "-1" is the reader's mark of a missing key, not a section name.
    if (R.ParentClass == "-1") R.ParentClass.clear();
    // A missing key takes the parent record's value, or the default a new record holds. The
    // parent is read before the record is appended (which may move the array).
    TsGeneralData Defaults;
    TsGeneralData* Source = &Defaults;
    if (!R.ParentClass.empty())
      if (auto It = FirstUpper.find(R.ParentClass); It != FirstUpper.end()) Source = &Data[It->second];
    for (const TIntKey& K : IntKeys) {
      const int V = Common.ReadInteger(Name, K.Key, -1);
      K.Field(R) = V != -1 ? V : K.Field(*Source);
    }
    for (const TBoolKey& K : BoolKeys) {
      const AnsiString V = Common.ReadString(Name, K.Key, "?");
      K.Field(R) = V != "?" ? IsTrue(V) : K.Field(*Source);
    }
    for (const TTextKey& K : TextKeys) {
      const AnsiString* V = Common.Data().FindValue(Name, K.Key);
      K.Gradient(R) = V != nullptr && *V != "?" ? Gradients->Of(*V, Name, K.Key) : K.Gradient(*Source);
    }
    R.BorderIndex = R.ImgTopLeft = R.ImgTopRight = R.ImgBottomLeft = R.ImgBottomRight = -1;
    ClampSectionValues(R);
    Data.push_back(std::move(R));
    Known(Data.size() - 1);
  }
}

bool IsSkinValueKey(const AnsiString& Section, const AnsiString& Key) {
  if (SameText(Key, SParentClassKey)) return true;
  for (const TIntKey& K : IntKeys)
    if (SameText(Key, K.Key)) return true;
  for (const TBoolKey& K : BoolKeys)
    if (SameText(Key, K.Key)) return true;
  for (const TTextKey& K : TextKeys)
    if (SameText(Key, K.Key)) return true;
  if (!SameText(Section, SGlobalInfoSection)) return false;
  if (SameText(Key, SMasterBitmapKey)) return true;
  for (const char* K : GlobalKeys)
    if (SameText(Key, K)) return true;
  return false;
}

// ---- Picture values ------------------------------------------------------------------------------

TacImageNotation ImageNotationOf(const AnsiString& Value) {
  if (Value.empty()) return TacImageNotation::None;
  switch (Value[0]) {
    case '^': return TacImageNotation::Border;
    case '@': return TacImageNotation::Glyph;
    case '~': return TacImageNotation::Texture;
    case '!': return TacImageNotation::File;
    default: break;
  }
  if (Value.find('#') != AnsiString::npos) return Value == "#" ? TacImageNotation::None : TacImageNotation::RectForm;
  if (UpperCase(Value).find(".BMP") != AnsiString::npos) return TacImageNotation::PlainFile;
  return TacImageNotation::None;
}

void ParseFixedImageValue(const AnsiString& Section, const AnsiString& Key, const AnsiString& Value, TsMaskData& Mask) {
  const TValueRef V{Section, Key, Value};
  const char Kind = Value.empty() ? '\0' : Value[0];
  if (Kind != '^' && Kind != '@' && Kind != '~')
    BadValue(Section, Key, Value, "the value is not a border (^), glyph (@) or tile (~) notation");
  NeedLength(V, Kind == '^' ? 48 : (Kind == '@' ? 24 : 23));
  TRect R;
  R.Left = Fixed(V, 2, 4, "left edge");
  R.Top = Fixed(V, 7, 4, "top edge");
  R.Right = Fixed(V, 12, 4, "right edge");
  R.Bottom = Fixed(V, 17, 4, "bottom edge");
  CheckRect(V, R);
  Mask.R = R;
  switch (Kind) {
    case '^':
      Mask.ImgType = itisaBorder;
      Mask.WL = static_cast<std::int16_t>(Fixed(V, 22, 4, "left margin"));
      Mask.WT = static_cast<std::int16_t>(Fixed(V, 27, 4, "top margin"));
      Mask.WR = static_cast<std::int16_t>(Fixed(V, 32, 4, "right margin"));
      Mask.WB = static_cast<std::int16_t>(Fixed(V, 37, 4, "bottom margin"));
      Mask.ImageCount = static_cast<std::int16_t>(Fixed(V, 42, 1, "image count"));
      Mask.MaskType = static_cast<std::int16_t>(Fixed(V, 44, 1, "mask type"));
      Mask.DrawMode = static_cast<std::int16_t>(Fixed(V, 46, 1, "draw mode"));
      Mask.BorderWidth = static_cast<std::int16_t>(Fixed(V, 48, 1, "border width"));
      SetDefaultMargins(Mask);
      break;
    case '@':
      Mask.ImgType = itisaGlyph;
      Mask.ImageCount = static_cast<std::int16_t>(Fixed(V, 22, 1, "image count"));
      Mask.MaskType = static_cast<std::int16_t>(Fixed(V, 24, 1, "mask type"));
      break;
    default:
      Mask.ImgType = itisaTexture;
      Mask.ImageCount = 1;
      Mask.DrawMode = static_cast<std::int16_t>(Fixed(V, 22, 2, "draw mode"));
      Mask.MaskType = static_cast<std::int16_t>(Value.size() > 24 ? Fixed(V, 25, 1, "mask type") : 0);
      break;
  }
}

void ParseRectImageValue(const AnsiString& Section, const AnsiString& Key, const AnsiString& Value, TsMaskData& Mask) {
  const TValueRef V{Section, Key, Value};
  const TCharSet Words(" ()");
  const TCharSet Numbers(" ,");
  const AnsiString RectText = ExtractWord(2, Value, Words);
  const AnsiString NumberText = ExtractWord(3, Value, Words);
  TRect R;
  R.Left = Number(V, ExtractWord(1, RectText, Numbers), MaxCoordinate, "left edge");
  R.Top = Number(V, ExtractWord(2, RectText, Numbers), MaxCoordinate, "top edge");
  R.Right = Number(V, ExtractWord(3, RectText, Numbers), MaxCoordinate, "right edge");
  R.Bottom = Number(V, ExtractWord(4, RectText, Numbers), MaxCoordinate, "bottom edge");
  CheckRect(V, R);
  Mask.R = R;
  Mask.ImgType = itisaBorder;
  Mask.ImageCount = static_cast<std::int16_t>(std::max(1, Number(V, ExtractWord(1, NumberText, Numbers), MaxInt16, "image count")));
  Mask.MaskType = static_cast<std::int16_t>(Number(V, ExtractWord(2, NumberText, Numbers), MaxInt16, "mask type"));
  const AnsiString Border = ExtractWord(3, NumberText, Numbers);
  Mask.BorderWidth = static_cast<std::int16_t>(Border.empty() ? 0 : Number(V, Border, MaxInt16, "border width"));
  const AnsiString Draw = ExtractWord(4, NumberText, Numbers);
  Mask.DrawMode = static_cast<std::int16_t>(Draw.empty() ? 1 : Number(V, Draw, MaxInt16, "draw mode"));
  SetDefaultMargins(Mask);
}

TacFileImageName FileImageNameOf(const AnsiString& Value) {
  TacFileImageName N;
  N.FileName = ExtractWord(1, Value, TCharSet("!"));
  N.IsBitmap = N.FileName.find(".BMP") != AnsiString::npos;
  N.IsPng = !N.IsBitmap && N.FileName.find(".PNG") != AnsiString::npos;
  return N;
}

void ParseFileImageNumbers(const AnsiString& Section, const AnsiString& Key, const AnsiString& Value, int Width,
                           int Height, TsMaskData& Mask) {
  const TValueRef V{Section, Key, Value};
  const TCharSet Bang("!");
  auto Word = [&](int N, const char* Field) {
    return static_cast<std::int16_t>(Number(V, ExtractWord(N, Value, Bang), MaxInt16, Field));
  };
  Mask.ImageCount = Word(2, "image count");
  Mask.MaskType = Word(3, "mask type");
  Mask.ImgType = static_cast<TacImgType>(std::min<int>(Word(4, "image type"), itisaPngGlyph));
  Mask.DrawMode = 4;
  Mask.R = TRect{0, 0, Width, Height};
  if (WordCount(Value, Bang) > 4) {
    Mask.WL = Word(5, "left margin");
    Mask.WT = Word(6, "top margin");
    Mask.WR = Word(7, "right margin");
    Mask.WB = Word(8, "bottom margin");
  } else {
    SetFrameThirdMargins(Mask);
  }
}

bool RectFitsImage(const TRect& R, int Width, int Height) {
  return R.Left >= 0 && R.Top >= 0 && R.Left <= R.Right && R.Top <= R.Bottom && R.Right <= Width &&
         R.Bottom <= Height;
}

// ---- Paths -----------------------------------------------------------------------------------------

bool IsRemoteOrDeviceName(const AnsiString& Name) {
  const auto Separator = [](char C) { return C == '\\' || C == '/'; };
  // "\\server\share", "\\.\device", "\\?\path" and the system's own "\??\path".
  if (Name.size() >= 2 && Separator(Name[0]) && Separator(Name[1])) return true;
  if (Name.size() >= 4 && Separator(Name[0]) && Name[1] == '?' && Name[2] == '?' && Separator(Name[3])) return true;
  // A device name as the last part, whatever its extension or stream, in any folder: the part up
  // to its first '.' or ':', without trailing blanks.
  const std::size_t Start = Name.find_last_of("\\/") + 1;  // 0 when there is none
  std::string_view Base = std::string_view(Name).substr(Start);
  if (Start == 0 && Base.size() >= 2 && Base[1] == ':') Base.remove_prefix(2);  // "C:NUL"
  Base = Base.substr(0, Base.find_first_of(".:"));
  while (!Base.empty() && Base.back() == ' ') Base.remove_suffix(1);
  const AnsiString Upper = UpperCase(AnsiString(Base));
  for (const char* Device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (Upper == Device) return true;
  // COM0-COM9 and LPT0-LPT9, the superscript digits one to three included.
  return Upper.size() == 4 && (Upper.starts_with("COM") || Upper.starts_with("LPT")) &&
         ((Upper[3] >= '0' && Upper[3] <= '9') || Upper[3] == '\xB9' || Upper[3] == '\xB2' || Upper[3] == '\xB3');
}

AnsiString FullSkinDirectory(const AnsiString& SkinDirectory, const AnsiString& AppDir) {
  AnsiString S = SkinDirectory;
  if (S.starts_with("..")) {
    // One level above the program's folder.
    AnsiString Up = AppDir;
    if (!Up.empty()) Up.pop_back();
    while (!Up.empty() && Up.back() != '\\' && Up.back() != '/') Up.pop_back();
    S = Up + (S.size() > 3 ? S.substr(3) : AnsiString());
  } else if (S.starts_with(".\\") || S.starts_with("./")) {
    S = AppDir + S.substr(2);
  } else if (S.find(':') == AnsiString::npos && S.find("\\\\") == AnsiString::npos) {
    S = AppDir + S;
  }
  return IncludeTrailingSeparator(S);
}
