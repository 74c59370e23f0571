#include "skin/core/sSkinOptions.h"

#include <algorithm>
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
using TTextField = AnsiString& (*)(TsGeneralData&);
using TArrayField = TsGradArray& (*)(TsGeneralData&);

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
  TTextField Text;
  TArrayField Stops;
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
    {"GRADIENTDATA", " ", [](TsGeneralData& R) -> AnsiString& { return R.GradientData; },
     [](TsGeneralData& R) -> TsGradArray& { return R.GradientArray; }},
    {"HOTGRADIENTDATA", "", [](TsGeneralData& R) -> AnsiString& { return R.HotGradientData; },
     [](TsGeneralData& R) -> TsGradArray& { return R.HotGradientArray; }},
};

// The skin-wide keys of GLOBALINFO.
const char* const GlobalKeys[] = {
    "VERSION",      "AUTHOR",        "DESCRIPTION",         "BORDERWIDTH",    "TITLEHEIGHT",
    "MAXHEIGHT",    "FORMOFFSET",    "CENTEROFFSET",        "BORDERMODE",     "SHADOW1COLOR",
    "SHADOW1OFFSET", "SHADOW1BLUR",  "SHADOW1TRANSPARENCY", "BISPACE",        "BIVALIGN",
    "BIRIGHT",      "BILEFT",        "BORDERCOLOR",         "BIKEEPHUE",      "BICONCLOSEGLOW",
    "BICONCLOSEGLOWMARGIN", "BICONMAXGLOW", "BICONMAXGLOWMARGIN", "BICONMINGLOW", "BICONMINGLOWMARGIN"};

bool IsTrue(const AnsiString& Text) { return UpperCase(Text) == "TRUE"; }

// Parses a gradient text into Stops, naming the section and key when a number is bad.
void ParseGradient(const AnsiString& Section, const char* Key, const AnsiString& Text, TsGradArray& Stops) {
  try {
    ParseGradientData(Text, Stops);
  } catch (EConvertError& E) {
    E.Message = Format("Key %s of skin section [%s]: %s", Key, Shown(Section), E.Message);
    throw;
  }
}

void ParseGradientUnlessBlank(const AnsiString& Section, const char* Key, const AnsiString& Text,
                              TsGradArray& Stops) {
  if (Text != " ")
    ParseGradient(Section, Key, Text, Stops);
  else
    Stops.clear();
}

}  // namespace

// ---- TacSkinOptions -----------------------------------------------------------------------------------

TacSkinOptions::TacSkinOptions(std::string_view Text) {
  if (static_cast<std::int64_t>(Text.size()) > MaxSkinOptionsSize)
    throw EacSkinLoadError(Format("The skin's options text is too large (%u bytes; at most %u are read)",
                                  static_cast<unsigned>(Text.size()), static_cast<unsigned>(MaxSkinOptionsSize)));
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
}

std::vector<AnsiString> TacSkinOptions::SectionNames() const {
  std::vector<AnsiString> Names;
  Names.reserve(FIni.Data().Sections().size());
  for (const TIniSection& S : FIni.Data().Sections()) Names.push_back(S.Name);
  return Names;
}

bool TacSkinOptions::ReadOwn(const AnsiString& Section, const AnsiString& Key, bool Integer, TResolved& Out) const {
  if (Integer) {
    const int V = FIni.ReadInteger(Section, Key, -1);
    if (V == -1) return false;
    Out.Found = true;
    Out.Number = V;
    return true;
  }
  const AnsiString* V = FIni.Data().FindValue(Section, Key);
  if (V == nullptr || *V == "?") return false;
  Out.Found = true;
  Out.Text = *V;
  return true;
}

TacSkinOptions::TResolved TacSkinOptions::Resolve(const AnsiString& Section, const AnsiString& Key,
                                                  bool Integer) const {
  // A section's own value is answered from the text; nothing is kept for it, so that reading
  // every key of every section costs no memory beyond the text.
  TResolved Result;
  if (ReadOwn(Section, Key, Integer, Result)) return Result;
  auto ParentOf = [&](const AnsiString& S, AnsiString& Parent) {
    Parent = FIni.ReadString(S, SParentClassKey, "?");
    return !(Parent.empty() || Parent == "?" || Parent == S);
  };
  AnsiString Current;
  if (!ParentOf(Section, Current)) return Result;

  // Inherited: walk the chain until a section has the value, a section's inherited answer is
  // known already, the chain ends, or it comes back to a section seen on this walk (a cycle: the
  // value is missing). Every section of the walk that has no value of its own then has the same
  // answer; those answers are kept, so that long chains are walked once.
  const AnsiString UpperKey = UpperCase(Key);
  auto CacheKey = [&](const AnsiString& UpperSection) {
    return AnsiString(Integer ? "I" : "S") + UpperSection + '\x01' + UpperKey;
  };
  std::vector<AnsiString> Walked{CacheKey(UpperCase(Section))};
  std::unordered_set<AnsiString> Seen{UpperCase(Section)};
  if (auto It = FResolved.find(Walked.front()); It != FResolved.end()) return It->second;
  for (;;) {
    const AnsiString Upper = UpperCase(Current);
    if (!Seen.insert(Upper).second) break;
    if (ReadOwn(Current, Key, Integer, Result)) break;
    AnsiString K = CacheKey(Upper);
    if (auto It = FResolved.find(K); It != FResolved.end()) {
      Result = It->second;
      break;
    }
    Walked.push_back(std::move(K));
    AnsiString Parent;
    if (!ParentOf(Current, Parent)) break;
    Current = std::move(Parent);
  }
  for (const AnsiString& K : Walked) FResolved[K] = Result;
  return Result;
}

AnsiString TacSkinOptions::ReadSkinString(const AnsiString& Section, const AnsiString& Key,
                                          const AnsiString& Default) const {
  const TResolved R = Resolve(Section, Key, false);
  return R.Found ? R.Text : Default;
}

int TacSkinOptions::ReadSkinInteger(const AnsiString& Section, const AnsiString& Key, int Default) const {
  const TResolved R = Resolve(Section, Key, true);
  return R.Found ? R.Number : Default;
}

// ---- Skin-wide values and section records -------------------------------------------------------

void ReadSkinGlobalInfo(const TacSkinOptions& Options, TsSkinData& Data) {
  const TMemIniFile& Ini = Options.Ini();
  const AnsiString G = SGlobalInfoSection;
  auto Int16 = [&](const char* Key, int Default) { return static_cast<std::int16_t>(Ini.ReadInteger(G, Key, Default)); };
  // Keys read as text and converted: a value that is no integer ends the load.
  auto Converted = [&](const char* Key, const char* Default) {
    const AnsiString Text = Ini.ReadString(G, Key, Default);
    int V = 0;
    if (!TryStrToInt(Text, V))
      throw EConvertError(
          Format("Key %s of skin section [%s]: '%s' is not a valid integer value", Key, G, Shown(Text)));
    return static_cast<std::int16_t>(V);
  };
  Data.Version = Ini.ReadFloat(G, "VERSION", 0, '.');
  Data.Author = Ini.ReadString(G, "AUTHOR", "");
  Data.Description = Ini.ReadString(G, "DESCRIPTION", "");
  Data.BorderWidth = Int16("BORDERWIDTH", 4);
  Data.TitleHeight = Int16("TITLEHEIGHT", 30);
  const int MaxHeight = Ini.ReadInteger(G, "MAXHEIGHT", 0);
  Data.MaxHeight = MaxHeight == 0 ? Data.TitleHeight : static_cast<std::int16_t>(MaxHeight);
  Data.FormOffset = Int16("FORMOFFSET", 8);
  Data.CenterOffset = Int16("CENTEROFFSET", 0);
  Data.BorderMode = Int16("BORDERMODE", 0);
  Data.Shadow1Color = Ini.ReadInteger(G, "SHADOW1COLOR", 0);
  Data.Shadow1Offset = Converted("SHADOW1OFFSET", "0");
  Data.Shadow1Blur = Converted("SHADOW1BLUR", "-1");
  Data.Shadow1Transparency = Converted("SHADOW1TRANSPARENCY", "0");
  Data.BISpace = Int16("BISPACE", 0);
  Data.BIVAlign = Int16("BIVALIGN", 0);
  Data.BIRight = Int16("BIRIGHT", 0);
  Data.BILeft = Int16("BILEFT", 0);
  Data.BorderColor = Ini.ReadInteger(G, "BORDERCOLOR", 0);
  Data.BIKeepHue = Int16("BIKEEPHUE", 0);
  Data.BICloseGlow = Converted("BICONCLOSEGLOW", "0");
  Data.BICloseGlowMargin = Converted("BICONCLOSEGLOWMARGIN", "0");
  Data.BIMaxGlow = Converted("BICONMAXGLOW", "0");
  Data.BIMaxGlowMargin = Converted("BICONMAXGLOWMARGIN", "0");
  Data.BIMinGlow = Converted("BICONMINGLOW", "0");
  Data.BIMinGlowMargin = Converted("BICONMINGLOWMARGIN", "0");
}

TsGeneralData ReadSkinSection(const TacSkinOptions& Options, const AnsiString& Section, const TacColorToRGB& ToRGB) {
  TsGeneralData R;
  R.SectionName = Section;
  R.ParentClass = Options.Ini().ReadString(Section, SParentClassKey, "");
  for (const TIntKey& K : IntKeys) K.Field(R) = Options.ReadSkinInteger(Section, K.Key, K.Default);
  if (ToRGB) R.Color = ToRGB(R.Color);
  for (const TBoolKey& K : BoolKeys) K.Field(R) = IsTrue(Options.ReadSkinString(Section, K.Key, "FALSE"));
  for (const TTextKey& K : TextKeys) {
    K.Text(R) = Options.ReadSkinString(Section, K.Key, K.Default);
    ParseGradientUnlessBlank(Section, K.Key, K.Text(R), K.Stops(R));
  }
  R.BorderIndex = R.ImgTopLeft = R.ImgTopRight = R.ImgBottomLeft = R.ImgBottomRight = -1;
  ClampSectionValues(R);
  return R;
}

void ClampSectionValues(TsGeneralData& Data) {
  for (std::int32_t* Percent : {&Data.Transparency, &Data.HotTransparency, &Data.GradientPercent, &Data.ImagePercent,
                                &Data.HotGradientPercent, &Data.HotImagePercent})
    *Percent = std::clamp(*Percent, 0, 100);
  Data.GlowMargin = std::clamp(Data.GlowMargin, 0, MaxSkinGlowMargin);
  Data.FadingIterations = std::clamp(Data.FadingIterations, 0, MaxSkinFadingIterations);
}

void MergeCommonSections(const TMemIniFile& Common, TsGeneralDataArray& Data) {
  for (const TIniSection& S : Common.Data().Sections()) {
    const AnsiString& Name = S.Name;
    if (std::any_of(Data.begin(), Data.end(), [&](const TsGeneralData& D) { return D.SectionName == Name; }))
      continue;
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
      for (TsGeneralData& D : Data)
        if (UpperCase(D.SectionName) == R.ParentClass) {
          Source = &D;
          break;
        }
    for (const TIntKey& K : IntKeys) {
      const int V = Common.ReadInteger(Name, K.Key, -1);
      K.Field(R) = V != -1 ? V : K.Field(*Source);
    }
    for (const TBoolKey& K : BoolKeys) {
      const AnsiString V = Common.ReadString(Name, K.Key, "?");
      K.Field(R) = V != "?" ? IsTrue(V) : K.Field(*Source);
    }
    for (const TTextKey& K : TextKeys) {
      const AnsiString V = Common.ReadString(Name, K.Key, "?");
      K.Text(R) = V != "?" ? V : K.Text(*Source);
      ParseGradientUnlessBlank(Name, K.Key, K.Text(R), K.Stops(R));
    }
    R.BorderIndex = R.ImgTopLeft = R.ImgTopRight = R.ImgBottomLeft = R.ImgBottomRight = -1;
    ClampSectionValues(R);
    Data.push_back(std::move(R));
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
