#include "framework/TypInfo.h"

#include <memory>
#include <unordered_map>

#include "framework/Strings.h"

namespace {

AnsiString UpperKey(std::string_view S) {
  AnsiString R(S);
  for (char& C : R)
    if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 32);
  return R;
}

bool SameName(std::string_view A, std::string_view B) { return TObject::SameClassName(A, B); }

// The properties one class registered itself.
struct TClassTable {
  AnsiString Name;
  std::vector<AnsiString> Ancestry;  // own name first, then the parents up to TObject
  std::vector<std::unique_ptr<TPropInfo>> Props;
};

// What a class sees: its own and its ancestors' properties, nearest class winning.
struct TResolved {
  std::unordered_map<AnsiString, const TPropInfo*> ByName;  // upper-case names
  std::vector<const TPropInfo*> List;                       // most distant ancestor first
};

struct TRegistry {
  std::unordered_map<AnsiString, std::unique_ptr<TClassTable>> Classes;  // by upper-case name
  // Resolved tables by the address of a class's ClassName() text and by upper-case class name.
  std::unordered_map<const char*, std::shared_ptr<const TResolved>> ByClassText;
  std::unordered_map<AnsiString, std::shared_ptr<const TResolved>> ByClassName;

  void Invalidate() {
    ByClassText.clear();
    ByClassName.clear();
  }

  const TClassTable* Find(std::string_view Name) const {
    auto It = Classes.find(UpperKey(Name));
    return It == Classes.end() ? nullptr : It->second.get();
  }

  // The merged table of a registered class.
  std::shared_ptr<const TResolved> ResolveRegistered(const TClassTable& T) {
    auto Key = UpperKey(T.Name);
    auto It = ByClassName.find(Key);
    if (It != ByClassName.end()) return It->second;
    auto R = std::make_shared<TResolved>();
    // From the most distant ancestor down, so that a nearer class replaces a property.
    for (auto A = T.Ancestry.rbegin(); A != T.Ancestry.rend(); ++A) {
      const TClassTable* C = Find(*A);
      if (C == nullptr) continue;
      for (const auto& P : C->Props) {
        auto [Pos, Inserted] = R->ByName.emplace(UpperKey(P->Name), P.get());
        if (!Inserted) {
          for (auto& L : R->List)
            if (L == Pos->second) L = P.get();
          Pos->second = P.get();
        } else {
          R->List.push_back(P.get());
        }
      }
    }
    ByClassName.emplace(std::move(Key), R);
    return R;
  }

  std::shared_ptr<const TResolved> Resolve(const TObject& Obj) {
    const char* Text = Obj.ClassName();
    auto It = ByClassText.find(Text);
    if (It != ByClassText.end()) return It->second;
    std::shared_ptr<const TResolved> R;
    if (const TClassTable* Own = Find(Text)) {
      R = ResolveRegistered(*Own);
    } else {
      // A class that published nothing itself: its nearest registered ancestor is the one with
      // the longest ancestry among those it inherits from.
      const TClassTable* Best = nullptr;
      for (const auto& [Key, C] : Classes)
        if (Obj.InheritsFromName(C->Name) && (Best == nullptr || C->Ancestry.size() > Best->Ancestry.size()))
          Best = C.get();
      R = Best != nullptr ? ResolveRegistered(*Best) : std::make_shared<TResolved>();
    }
    ByClassText.emplace(Text, R);
    return R;
  }
};

TRegistry& Registry() {
  static TRegistry R;
  return R;
}

const TPropInfo* Lookup(const TResolved& R, std::string_view Name) {
  auto It = R.ByName.find(UpperKey(Name));
  return It == R.ByName.end() ? nullptr : It->second;
}

const TPropInfo& Need(TObject* Obj, std::string_view Name) {
  const TPropInfo* P = GetPropInfo(Obj, Name);
  if (P == nullptr) throw EPropertyError(Format("Property %s does not exist", AnsiString(Name)));
  return *P;
}

[[noreturn]] void WrongKind(const TPropInfo& P) {
  throw EPropertyError(Format("Property %s is not of the right kind", P.Name));
}
[[noreturn]] void ReadOnly(const TPropInfo& P) { throw EPropertyError(Format("Property %s is read-only", P.Name)); }

std::string_view TrimView(std::string_view S) {
  while (!S.empty() && static_cast<unsigned char>(S.front()) <= ' ') S.remove_prefix(1);
  while (!S.empty() && static_cast<unsigned char>(S.back()) <= ' ') S.remove_suffix(1);
  return S;
}

}  // namespace

namespace detail {

void RegisterPublishedProperty(const std::vector<const char*>& Ancestry, TPropInfo Info) {
  if (Ancestry.empty()) return;
  TRegistry& R = Registry();
  auto& Slot = R.Classes[UpperKey(Ancestry.front())];
  if (!Slot) {
    Slot = std::make_unique<TClassTable>();
    Slot->Name = Ancestry.front();
    for (const char* A : Ancestry) Slot->Ancestry.emplace_back(A);
  }
  auto Key = UpperKey(Info.Name);
  auto Own = std::make_unique<TPropInfo>(std::move(Info));
  bool Replaced = false;
  for (auto& P : Slot->Props)
    if (UpperKey(P->Name) == Key) {
      P = std::move(Own);
      Replaced = true;
      break;
    }
  if (!Replaced) Slot->Props.push_back(std::move(Own));
  R.Invalidate();
}

AnsiString PublishedWideToAnsi(const WideString& S) { return WideToAnsi(S); }
WideString PublishedAnsiToWide(const AnsiString& S) { return AnsiToWide(S); }

}  // namespace detail

const TPropInfo* GetPropInfo(const TObject* Obj, std::string_view Name) {
  if (Obj == nullptr) return nullptr;
  return Lookup(*Registry().Resolve(*Obj), Name);
}

const TPropInfo* GetPropInfo(std::string_view ClassName, std::string_view Name) {
  TRegistry& R = Registry();
  const TClassTable* T = R.Find(ClassName);
  return T == nullptr ? nullptr : Lookup(*R.ResolveRegistered(*T), Name);
}

bool IsPublishedProp(const TObject* Obj, std::string_view Name) { return GetPropInfo(Obj, Name) != nullptr; }

std::vector<const TPropInfo*> GetPropList(const TObject* Obj) {
  if (Obj == nullptr) return {};
  return Registry().Resolve(*Obj)->List;
}

int GetOrdProp(TObject* Obj, std::string_view Name) {
  const TPropInfo& P = Need(Obj, Name);
  if (!P.IsOrdinalKind()) WrongKind(P);
  return P.GetOrd(Obj);
}

void SetOrdProp(TObject* Obj, std::string_view Name, int Value) {
  const TPropInfo& P = Need(Obj, Name);
  if (!P.IsOrdinalKind()) WrongKind(P);
  if (!P.SetOrd) ReadOnly(P);
  P.SetOrd(Obj, Value);
}

AnsiString GetEnumName(const TPropInfo& Info, int Value) {
  if (Value < 0 || static_cast<std::size_t>(Value) >= Info.ElementNames.size()) return AnsiString();
  return Info.ElementNames[static_cast<std::size_t>(Value)];
}

int GetEnumValue(const TPropInfo& Info, std::string_view Name) {
  Name = TrimView(Name);
  for (std::size_t I = 0; I < Info.ElementNames.size(); ++I)
    if (SameName(Info.ElementNames[I], Name)) return static_cast<int>(I);
  return -1;
}

AnsiString GetEnumProp(TObject* Obj, std::string_view Name) {
  const TPropInfo& P = Need(Obj, Name);
  if (P.Kind != pkEnumeration) WrongKind(P);
  return GetEnumName(P, P.GetOrd(Obj));
}

void SetEnumProp(TObject* Obj, std::string_view Name, std::string_view Value) {
  const TPropInfo& P = Need(Obj, Name);
  if (P.Kind != pkEnumeration) WrongKind(P);
  if (!P.SetOrd) ReadOnly(P);
  int V = GetEnumValue(P, Value);
  if (V < 0) throw EPropertyConvertError(Format("Invalid property element: %s", AnsiString(Value)));
  P.SetOrd(Obj, V);
}

AnsiString SetToString(const TPropInfo& Info, int Value, bool Brackets) {
  AnsiString R;
  const auto Bits = static_cast<std::uint32_t>(Value);
  for (std::size_t I = 0; I < Info.ElementNames.size() && I < 32; ++I)
    if (Bits & (std::uint32_t{1} << I)) {
      if (!R.empty()) R += ',';
      R += Info.ElementNames[I];
    }
  return Brackets ? "[" + R + "]" : R;
}

int StringToSet(const TPropInfo& Info, std::string_view Value) {
  Value = TrimView(Value);
  if (!Value.empty() && Value.front() == '[') {
    if (Value.back() != ']') throw EPropertyConvertError(Format("Invalid set text: %s", AnsiString(Value)));
    Value = Value.substr(1, Value.size() - 2);
  }
  std::uint32_t Bits = 0;
  while (true) {
    std::size_t Comma = Value.find(',');
    std::string_view Item = TrimView(Value.substr(0, Comma));
    if (!Item.empty()) {
      int E = GetEnumValue(Info, Item);
      if (E < 0 || E >= 32) throw EPropertyConvertError(Format("Invalid property element: %s", AnsiString(Item)));
      Bits |= std::uint32_t{1} << E;
    }
    if (Comma == std::string_view::npos) break;
    Value.remove_prefix(Comma + 1);
  }
  return static_cast<int>(Bits);
}

AnsiString GetSetProp(TObject* Obj, std::string_view Name, bool Brackets) {
  const TPropInfo& P = Need(Obj, Name);
  if (P.Kind != pkSet) WrongKind(P);
  return SetToString(P, P.GetOrd(Obj), Brackets);
}

void SetSetProp(TObject* Obj, std::string_view Name, std::string_view Value) {
  const TPropInfo& P = Need(Obj, Name);
  if (P.Kind != pkSet) WrongKind(P);
  if (!P.SetOrd) ReadOnly(P);
  P.SetOrd(Obj, StringToSet(P, Value));
}

TObject* GetObjectProp(TObject* Obj, std::string_view Name) {
  const TPropInfo& P = Need(Obj, Name);
  if (P.Kind != pkObject) WrongKind(P);
  return P.GetObject(Obj);
}

void SetObjectProp(TObject* Obj, std::string_view Name, TObject* Value) {
  const TPropInfo& P = Need(Obj, Name);
  if (P.Kind != pkObject) WrongKind(P);
  if (!P.SetObject) ReadOnly(P);
  P.SetObject(Obj, Value);
}

AnsiString GetStrProp(TObject* Obj, std::string_view Name) {
  const TPropInfo& P = Need(Obj, Name);
  if (P.Kind != pkString) WrongKind(P);
  return P.GetStr(Obj);
}

void SetStrProp(TObject* Obj, std::string_view Name, const AnsiString& Value) {
  const TPropInfo& P = Need(Obj, Name);
  if (P.Kind != pkString) WrongKind(P);
  if (!P.SetStr) ReadOnly(P);
  P.SetStr(Obj, Value);
}

double GetFloatProp(TObject* Obj, std::string_view Name) {
  const TPropInfo& P = Need(Obj, Name);
  if (P.Kind != pkFloat) WrongKind(P);
  return P.GetFloat(Obj);
}

void SetFloatProp(TObject* Obj, std::string_view Name, double Value) {
  const TPropInfo& P = Need(Obj, Name);
  if (P.Kind != pkFloat) WrongKind(P);
  if (!P.SetFloat) ReadOnly(P);
  P.SetFloat(Obj, Value);
}
