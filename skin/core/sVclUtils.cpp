#include "skin/core/sVclUtils.h"

#include "framework/Lists.h"
#include "framework/TypInfo.h"
#include "skin/core/sConst.h"

const char* const MsgBoxCaptions[4] = {"Warning", "Error", "Information", "Confirm"};
int MsgBoxPosX = -1;
int MsgBoxPosY = -1;

AnsiString MsgBoxCaption(int Kind) { return IsBetween(Kind, 0, 3) ? MsgBoxCaptions[Kind] : ""; }

// ---- Numbers and rectangles ---------------------------------------------------------------------

bool RectsIntersect(const TRect& R1, const TRect& R2) {
  return R2.Bottom > R1.Top && R2.Right > R1.Left && R2.Left < R1.Right && R2.Top < R1.Bottom &&
         !R2.IsEmpty();
}

bool RectContainsRect(const TRect& Outer, const TRect& Inner) {
  // Both corners within Left..Right and Top..Bottom inclusive; 64 bits so that an edge at the
  // largest integer does not overflow when enlarged.
  auto In = [&](long long X, long long Y) {
    return X >= Outer.Left && X < static_cast<long long>(Outer.Right) + 1 && Y >= Outer.Top &&
           Y < static_cast<long long>(Outer.Bottom) + 1;
  };
  return In(Inner.Left, Inner.Top) && In(Inner.Right, Inner.Bottom);
}

int RectWidth(const TRect& R, bool NoNegative) {
  const int W = static_cast<int>(static_cast<unsigned>(R.Right) - static_cast<unsigned>(R.Left));
  return NoNegative && W < 0 ? 0 : W;
}

int RectHeight(const TRect& R, bool NoNegative) {
  const int H = static_cast<int>(static_cast<unsigned>(R.Bottom) - static_cast<unsigned>(R.Top));
  return NoNegative && H < 0 ? 0 : H;
}

// ---- Words --------------------------------------------------------------------------------------

int WordPosition(int N, const AnsiString& S, const TCharSet& Delims) {
  if (N < 1) return 0;
  const std::size_t Len = S.size();
  std::size_t I = 0;
  int Count = 0;
  while (I < Len) {
    while (I < Len && Delims.Contains(S[I])) ++I;
    if (I >= Len) break;
    if (++Count == N) return static_cast<int>(I) + 1;
    while (I < Len && !Delims.Contains(S[I])) ++I;
  }
  return 0;
}

AnsiString ExtractWord(int N, const AnsiString& S, const TCharSet& Delims) {
  const int P = WordPosition(N, S, Delims);
  if (P == 0) return AnsiString();
  std::size_t E = static_cast<std::size_t>(P) - 1;
  while (E < S.size() && !Delims.Contains(S[E])) ++E;
  return S.substr(static_cast<std::size_t>(P) - 1, E - (static_cast<std::size_t>(P) - 1));
}

int WordCount(const AnsiString& S, const TCharSet& Delims) {
  int Count = 0;
  bool InWord = false;
  for (char C : S) {
    const bool D = Delims.Contains(C);
    if (!D && !InWord) ++Count;
    InWord = !D;
  }
  return Count;
}

AnsiString DeleteChars(const AnsiString& S, char Ch) {
  AnsiString R;
  R.reserve(S.size());
  for (char C : S)
    if (C != Ch) R += C;
  return R;
}

AnsiString ReplaceAll(const AnsiString& S, const AnsiString& Old, const AnsiString& New) {
  if (Old.empty()) return S;
  AnsiString R;
  std::size_t From = 0;
  while (true) {
    const std::size_t P = S.find(Old, From);
    if (P == AnsiString::npos) break;
    R.append(S, From, P - From);
    R += New;
    From = P + Old.size();
  }
  R.append(S, From, AnsiString::npos);
  return R;
}

// ---- Paths --------------------------------------------------------------------------------------

AnsiString IncludeTrailingSeparator(const AnsiString& Path) {
  if (Path.empty()) return Path;
  const char Last = Path.back();
  if (Last == '\\') return Path;
  if (Last == '/') return Path.substr(0, Path.size() - 1) + '\\';
  if (Path.size() == 1) return Path + ":\\";
  return Path + '\\';
}

// ---- INI text -----------------------------------------------------------------------------------

void ParseIniSections(const TStrings& Lines, TIniText& Sections) { Sections.Parse(Lines.Text()); }

void ParseIniSections(std::string_view Text, TIniText& Sections) { Sections.Parse(Text); }

AnsiString ReadIniValue(const TIniText& Sections, std::string_view Section, std::string_view Key,
                        const AnsiString& Default) {
  const AnsiString* V = Sections.FindValue(Section, Key);
  return V != nullptr ? *V : Default;
}

int ReadIniInt(const TIniText& Sections, std::string_view Section, std::string_view Key, int Default) {
  const AnsiString* V = Sections.FindValue(Section, Key);
  int Value = 0;
  return V != nullptr && TryIniStrToInt(*V, Value) ? Value : Default;
}

// ---- Published properties -----------------------------------------------------------------------

bool HasProperty(const TObject* Obj, std::string_view Name) { return GetPropInfo(Obj, Name) != nullptr; }

TObject* GetObjectPropByName(TObject* Obj, std::string_view Name) {
  const TPropInfo* P = GetPropInfo(Obj, Name);
  return P != nullptr && P->Kind == pkObject ? P->GetObject(Obj) : nullptr;
}

int GetOrdPropByName(TObject* Obj, std::string_view Name) {
  const TPropInfo* P = GetPropInfo(Obj, Name);
  return P != nullptr && P->IsOrdinalKind() ? P->GetOrd(Obj) : -1;
}

void SetOrdPropByName(TObject* Obj, std::string_view Name, int Value) {
  const TPropInfo* P = GetPropInfo(Obj, Name);
  if (P != nullptr && P->IsOrdinalKind() && P->SetOrd) P->SetOrd(Obj, Value);
}

bool SetPropContains(TObject* Obj, std::string_view PropName, std::string_view ElementName) {
  const TPropInfo* P = GetPropInfo(Obj, PropName);
  if (P == nullptr || P->Kind != pkSet) return false;
  const auto Bits = static_cast<std::uint32_t>(P->GetOrd(Obj));
  for (std::size_t I = 0; I < P->ElementNames.size() && I < 32; ++I)
    if (P->ElementNames[I] == ElementName) return (Bits >> I) & 1;
  return false;
}

void ChangeSetProp(TObject* Obj, std::string_view PropName, std::string_view ElementName, bool Include) {
  const TPropInfo* P = GetPropInfo(Obj, PropName);
  if (P == nullptr || P->Kind != pkSet || !P->SetOrd) return;
  AnsiString Text = SetToString(*P, P->GetOrd(Obj));
  const AnsiString Name(ElementName);
  if (Include) {
    P->SetOrd(Obj, StringToSet(*P, Name + "," + Text));
    return;
  }
  for (const AnsiString& Pattern : {"," + Name, Name + ",", Name}) {
    const std::size_t At = Text.find(Pattern);
    if (At != AnsiString::npos) {
      Text.erase(At, Pattern.size());
      P->SetOrd(Obj, StringToSet(*P, Text));
      return;
    }
  }
}
