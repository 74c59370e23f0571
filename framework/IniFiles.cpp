#include "framework/IniFiles.h"

#include <charconv>
#include <cstdint>
#include <system_error>

#include "framework/Lists.h"
#include "framework/Scopes.h"
#include "framework/Streams.h"
#include "framework/Strings.h"

namespace {

unsigned char UpperAscii(unsigned char C) { return C >= 'a' && C <= 'z' ? static_cast<unsigned char>(C - 32) : C; }

std::string_view TrimView(std::string_view S) {
  std::size_t B = 0, E = S.size();
  while (B < E && static_cast<unsigned char>(S[B]) <= ' ') ++B;
  while (E > B && static_cast<unsigned char>(S[E - 1]) <= ' ') --E;
  return S.substr(B, E - B);
}

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

}  // namespace

// ---- Numbers -----------------------------------------------------------------------------------

bool TryIniStrToInt(std::string_view S, int& Value) {
  bool Neg = false;
  if (!S.empty() && (S[0] == '+' || S[0] == '-')) {
    Neg = S[0] == '-';
    S.remove_prefix(1);
  }
  bool Hex = false;
  if (!S.empty() && S[0] == '$') {
    Hex = true;
    S.remove_prefix(1);
  } else if (S.size() > 2 && S[0] == '0' && (S[1] == 'x' || S[1] == 'X')) {
    Hex = true;
    S.remove_prefix(2);
  }
  if (S.empty()) return false;
  uint64_t Mag = 0;
  for (char C : S) {
    int D = Hex ? HexDigit(C) : (C >= '0' && C <= '9' ? C - '0' : -1);
    if (D < 0) return false;
    Mag = Mag * (Hex ? 16 : 10) + static_cast<unsigned>(D);
    if (Mag > 0xFFFFFFFFu) return false;
  }
  if (Hex) {
    uint32_t Bits = static_cast<uint32_t>(Mag);
    if (Neg) Bits = 0u - Bits;
    Value = static_cast<int32_t>(Bits);
    return true;
  }
  if (Neg ? Mag > 0x80000000u : Mag > 0x7FFFFFFFu) return false;
  Value = Neg ? static_cast<int>(-static_cast<int64_t>(Mag)) : static_cast<int>(Mag);
  return true;
}

bool TryIniStrToFloat(std::string_view S, double& Value, char DecimalSeparator) {
  // Validate the shape first (no "inf", "nan", hexadecimal or blanks), then convert a copy that
  // uses '.' so that the conversion does not depend on any locale.
  std::string Buf;
  Buf.reserve(S.size());
  std::size_t I = 0;
  if (I < S.size() && (S[I] == '+' || S[I] == '-')) {
    if (S[I] == '-') Buf += '-';
    ++I;
  }
  std::size_t Digits = 0;
  while (I < S.size() && S[I] >= '0' && S[I] <= '9') Buf += S[I++], ++Digits;
  if (I < S.size() && S[I] == DecimalSeparator) {
    Buf += '.';
    ++I;
    while (I < S.size() && S[I] >= '0' && S[I] <= '9') Buf += S[I++], ++Digits;
  }
  if (Digits == 0) return false;
  if (I < S.size() && (S[I] == 'e' || S[I] == 'E')) {
    Buf += 'e';
    ++I;
    if (I < S.size() && (S[I] == '+' || S[I] == '-')) Buf += S[I++];
    std::size_t ExpDigits = 0;
    while (I < S.size() && S[I] >= '0' && S[I] <= '9') Buf += S[I++], ++ExpDigits;
    if (ExpDigits == 0) return false;
  }
  if (I != S.size()) return false;
  double D = 0;
  auto R = std::from_chars(Buf.data(), Buf.data() + Buf.size(), D);
  if (R.ec != std::errc() || R.ptr != Buf.data() + Buf.size()) return false;
  Value = D;
  return true;
}

// ---- TIniText ----------------------------------------------------------------------------------

std::size_t TIniText::NoCaseHash::operator()(std::string_view S) const noexcept {
  // FNV-1a over the upper-cased bytes.
  uint64_t H = 1469598103934665603ull;
  for (char C : S) {
    H ^= UpperAscii(static_cast<unsigned char>(C));
    H *= 1099511628211ull;
  }
  return static_cast<std::size_t>(H ^ (H >> 32));
}

bool TIniText::NoCaseEqual::operator()(std::string_view A, std::string_view B) const noexcept {
  if (A.size() != B.size()) return false;
  for (std::size_t I = 0; I < A.size(); ++I)
    if (UpperAscii(static_cast<unsigned char>(A[I])) != UpperAscii(static_cast<unsigned char>(B[I]))) return false;
  return true;
}

void TIniText::Clear() {
  FEntryCount = 0;
  FSections.clear();
  FSectionIndex.clear();
  FKeyIndex.clear();
}

void TIniText::Parse(std::string_view Text) { Parse(Text, TIniLimits{}); }

TIniParseResult TIniText::Parse(std::string_view Text, const TIniLimits& Limits) {
  Clear();
  TIniParseResult Result;
  int Current = -1;
  const std::size_t N = Text.size();
  std::size_t I = 0;
  while (I < N) {
    std::size_t J = I;
    while (J < N && Text[J] != '\n' && Text[J] != '\r') ++J;
    std::string_view Line = TrimView(Text.substr(I, J - I));
    if (J < N && Text[J] == '\r' && J + 1 < N && Text[J + 1] == '\n') ++J;
    I = J + 1;

    if (Line.empty() || Line[0] == ';') continue;
    if (Line.size() >= 2 && Line.front() == '[' && Line.back() == ']') {
      const std::string_view Name = TrimView(Line.substr(1, Line.size() - 2));
      if (Limits.MaxSections != 0 && FSections.size() >= Limits.MaxSections && IndexOfSection(Name) < 0) {
        Result.Limit = TIniParseResult::Sections;
        break;
      }
      Current = AddSection(Name);
      continue;
    }
    if (Current < 0) continue;
    if (Limits.MaxEntries != 0 && FEntryCount >= Limits.MaxEntries) {
      Result.Limit = TIniParseResult::Entries;
      break;
    }
    if (Limits.MaxSectionEntries != 0 &&
        FSections[static_cast<std::size_t>(Current)].Entries.size() >= Limits.MaxSectionEntries) {
      Result.Limit = TIniParseResult::SectionEntries;
      Result.Section = Current;
      break;
    }
    std::size_t Eq = Line.find('=');
    if (Eq == std::string_view::npos)
      AddEntry(Current, Line, std::string_view());
    else
      AddEntry(Current, TrimView(Line.substr(0, Eq)), TrimView(Line.substr(Eq + 1)));
  }
  return Result;
}

int TIniText::AddSection(std::string_view Name) {
  auto It = FSectionIndex.find(Name);
  if (It != FSectionIndex.end()) return It->second;
  int Index = static_cast<int>(FSections.size());
  FSections.push_back(TIniSection{AnsiString(Name), {}});
  FKeyIndex.emplace_back();
  FSectionIndex.emplace(AnsiString(Name), Index);
  return Index;
}

void TIniText::AddEntry(int SectionIndex, std::string_view Key, std::string_view Value) {
  auto& Entries = FSections[static_cast<std::size_t>(SectionIndex)].Entries;
  int Index = static_cast<int>(Entries.size());
  Entries.push_back(TIniEntry{AnsiString(Key), AnsiString(Value)});
  ++FEntryCount;
  auto& KeyIndex = FKeyIndex[static_cast<std::size_t>(SectionIndex)];
  if (KeyIndex.find(Key) == KeyIndex.end()) KeyIndex.emplace(AnsiString(Key), Index);
}

void TIniText::RebuildKeyIndex(int SectionIndex) {
  auto& KeyIndex = FKeyIndex[static_cast<std::size_t>(SectionIndex)];
  KeyIndex.clear();
  const auto& Entries = FSections[static_cast<std::size_t>(SectionIndex)].Entries;
  for (std::size_t I = 0; I < Entries.size(); ++I) KeyIndex.emplace(Entries[I].Name, static_cast<int>(I));
}

int TIniText::IndexOfSection(std::string_view Name) const {
  auto It = FSectionIndex.find(Name);
  return It == FSectionIndex.end() ? -1 : It->second;
}

int TIniText::IndexOfKey(int SectionIndex, std::string_view Key) const {
  if (SectionIndex < 0 || static_cast<std::size_t>(SectionIndex) >= FKeyIndex.size()) return -1;
  const auto& KeyIndex = FKeyIndex[static_cast<std::size_t>(SectionIndex)];
  auto It = KeyIndex.find(Key);
  return It == KeyIndex.end() ? -1 : It->second;
}

const TIniSection* TIniText::FindSection(std::string_view Name) const {
  int I = IndexOfSection(Name);
  return I < 0 ? nullptr : &FSections[static_cast<std::size_t>(I)];
}

const AnsiString* TIniText::FindValue(std::string_view Section, std::string_view Key) const {
  int S = IndexOfSection(Section);
  int K = IndexOfKey(S, Key);
  if (K < 0) return nullptr;
  return &FSections[static_cast<std::size_t>(S)].Entries[static_cast<std::size_t>(K)].Value;
}

void TIniText::SetValue(std::string_view Section, std::string_view Key, std::string_view Value) {
  int S = AddSection(Section);
  int K = IndexOfKey(S, Key);
  if (K >= 0)
    FSections[static_cast<std::size_t>(S)].Entries[static_cast<std::size_t>(K)].Value.assign(Value);
  else
    AddEntry(S, Key, Value);
}

bool TIniText::EraseSection(std::string_view Name) {
  int S = IndexOfSection(Name);
  if (S < 0) return false;
  FEntryCount -= FSections[static_cast<std::size_t>(S)].Entries.size();
  FSections.erase(FSections.begin() + S);
  FKeyIndex.erase(FKeyIndex.begin() + S);
  FSectionIndex.clear();
  for (std::size_t I = 0; I < FSections.size(); ++I) FSectionIndex.emplace(FSections[I].Name, static_cast<int>(I));
  return true;
}

bool TIniText::DeleteKey(std::string_view Section, std::string_view Key) {
  int S = IndexOfSection(Section);
  if (IndexOfKey(S, Key) < 0) return false;
  auto& Entries = FSections[static_cast<std::size_t>(S)].Entries;
  NoCaseEqual Eq;
  FEntryCount -= std::erase_if(Entries, [&](const TIniEntry& E) { return Eq(E.Name, Key); });
  RebuildKeyIndex(S);
  return true;
}

AnsiString TIniText::GetText() const {
  AnsiString T;
  for (const auto& S : FSections) {
    T += '[';
    T += S.Name;
    T += "]\r\n";
    for (const auto& E : S.Entries) {
      T += E.Name;
      T += '=';
      T += E.Value;
      T += "\r\n";
    }
    T += "\r\n";
  }
  return T;
}

// ---- TMemIniFile -------------------------------------------------------------------------------

TMemIniFile::TMemIniFile(const AnsiString& FileName) : FFileName(FileName) {
  if (!FileExists(FileName)) return;
  TFileStream F(FileName, fmOpenRead | fmShareDenyWrite);
  AnsiString Text = F.ReadAnsiString(F.Size());
  FData.Parse(Text);
}

void TMemIniFile::SetStrings(const TStrings& Strings) { FData.Parse(Strings.Text()); }

void TMemIniFile::GetStrings(TStrings& Strings) const {
  Strings.BeginUpdate();
  TScopeExit CleanUp([&] { Strings.EndUpdate(); });
  Strings.Clear();
  for (const auto& S : FData.Sections()) {
    Strings.Add("[" + S.Name + "]");
    for (const auto& E : S.Entries) Strings.Add(E.Name + "=" + E.Value);
    Strings.Add(AnsiString());
  }
}

AnsiString TMemIniFile::ReadString(const AnsiString& Section, const AnsiString& Key, const AnsiString& Default) const {
  const AnsiString* V = FData.FindValue(Section, Key);
  return V ? *V : Default;
}

int TMemIniFile::ReadInteger(const AnsiString& Section, const AnsiString& Key, int Default) const {
  const AnsiString* V = FData.FindValue(Section, Key);
  int Result;
  return V && TryIniStrToInt(*V, Result) ? Result : Default;
}

bool TMemIniFile::ReadBool(const AnsiString& Section, const AnsiString& Key, bool Default) const {
  return ReadInteger(Section, Key, Default ? 1 : 0) != 0;
}

double TMemIniFile::ReadFloat(const AnsiString& Section, const AnsiString& Key, double Default,
                              char DecimalSeparator) const {
  const AnsiString* V = FData.FindValue(Section, Key);
  double Result;
  return V && TryIniStrToFloat(*V, Result, DecimalSeparator) ? Result : Default;
}

void TMemIniFile::ReadSections(TStrings& Strings) const {
  Strings.Clear();
  for (const auto& S : FData.Sections()) Strings.Add(S.Name);
}

void TMemIniFile::ReadSection(const AnsiString& Section, TStrings& Keys) const {
  Keys.Clear();
  if (const TIniSection* S = FData.FindSection(Section))
    for (const auto& E : S->Entries) Keys.Add(E.Name);
}

void TMemIniFile::ReadSectionValues(const AnsiString& Section, TStrings& Strings) const {
  Strings.Clear();
  if (const TIniSection* S = FData.FindSection(Section))
    for (const auto& E : S->Entries) Strings.Add(E.Name + "=" + E.Value);
}

void TMemIniFile::WriteString(const AnsiString& Section, const AnsiString& Key, const AnsiString& Value) {
  FData.SetValue(Section, Key, Value);
}

void TMemIniFile::WriteInteger(const AnsiString& Section, const AnsiString& Key, int Value) {
  FData.SetValue(Section, Key, std::to_string(Value));
}

void TMemIniFile::WriteBool(const AnsiString& Section, const AnsiString& Key, bool Value) {
  FData.SetValue(Section, Key, Value ? "1" : "0");
}

void TMemIniFile::UpdateFile() const {
  TFileStream F(FFileName, fmCreate);
  F.WriteAnsiString(FData.GetText());
}
