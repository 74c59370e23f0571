#include "skin/core/sSkinLookup.h"

namespace {

std::uint64_t Pair(int Name, int Key) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(Name)) << 32) | static_cast<std::uint32_t>(Key);
}

int Number(std::unordered_map<AnsiString, int>& Map, const AnsiString& Text) {
  if (Text.empty()) return -1;
  return Map.try_emplace(Text, static_cast<int>(Map.size())).first->second;
}

int Find(const std::unordered_map<AnsiString, int>& Map, const AnsiString& Text) {
  const auto It = Map.find(Text);
  return It == Map.end() ? -1 : It->second;
}

}  // namespace

TacSkinLookup::TacSkinLookup(const TsGeneralDataArray& Sections, const TsMaskArray& Masks,
                             const TsPatternArray& Patterns)
    : FSections(&Sections) {
  // The entries of a section share its name: each shared string is read once.
  std::unordered_map<const AnsiString*, int> Shared;
  auto NameOf = [&](const TsSharedName& Name) {
    const AnsiString* Text = &Name.Text();
    const auto [It, New] = Shared.try_emplace(Text, -1);
    if (New) It->second = Number(FNames, *Text);
    return It->second;
  };
  for (std::size_t I = 0; I < Masks.size(); ++I) {
    const TsMaskData& M = Masks[I];
    const int Name = NameOf(M.SectionName), Key = Number(FKeys, M.PropertyName);
    if (Name < 0 || Key < 0) continue;
    FEntries[lkMask].try_emplace(Pair(Name, Key), static_cast<int>(I));
    if (M.ImgType == itisaTexture) FEntries[lkTexture].try_emplace(Pair(Name, Key), static_cast<int>(I));
  }
  for (std::size_t I = 0; I < Patterns.size(); ++I) {
    const int Name = NameOf(Patterns[I].SectionName), Key = Number(FKeys, Patterns[I].PropertyName);
    if (Name >= 0 && Key >= 0) FEntries[lkPattern].try_emplace(Pair(Name, Key), static_cast<int>(I));
  }
  FRecordName.resize(Sections.size());
  for (std::size_t I = 0; I < Sections.size(); ++I) FRecordName[I] = Number(FNames, Sections[I].SectionName);
  FFirstRecord.assign(FNames.size(), -1);
  for (std::size_t I = Sections.size(); I-- > 0;)
    if (FRecordName[I] >= 0) FFirstRecord[static_cast<std::size_t>(FRecordName[I])] = static_cast<int>(I);
  FParents = ResolveSkinParents(Sections.size(), [&](std::size_t I) {
    const TsGeneralData& D = Sections[I];
    if (D.ParentClass.empty() || D.ParentClass == D.SectionName) return -1;
    return Section(D.ParentClass);
  });
}

std::size_t TacSkinLookup::TPairHash::operator()(std::uint64_t Pair) const {
  Pair ^= Pair >> 33;
  Pair *= 0xFF51AFD7ED558CCDull;
  Pair ^= Pair >> 33;
  return static_cast<std::size_t>(Pair ^ (Pair >> 32));
}

int TacSkinLookup::NameId(const AnsiString& Name) const { return ::Find(FNames, Name); }

int TacSkinLookup::KeyId(const AnsiString& Key) const { return ::Find(FKeys, Key); }

int TacSkinLookup::Find(TKind Kind, int Name, int Key) const {
  if (Name < 0 || Key < 0) return -1;
  const auto& Map = FEntries[Kind];
  const auto It = Map.find(Pair(Name, Key));
  return It == Map.end() ? -1 : It->second;
}

int TacSkinLookup::Section(const AnsiString& Name) const {
  const int Id = NameId(Name);
  return Id < 0 ? -1 : FFirstRecord[static_cast<std::size_t>(Id)];
}

int TacSkinLookup::OwnMask(const AnsiString& SectionName, const AnsiString& Key) const {
  return Find(lkMask, NameId(SectionName), KeyId(Key));
}

int TacSkinLookup::Inherited(TKind Kind, int SkinIndex, const AnsiString& SectionName, const AnsiString& Key,
                             std::uint64_t& Steps) const {
  if (SkinIndex < 0 || SectionName.empty()) return -1;
  ++Steps;
  const bool Record = static_cast<std::size_t>(SkinIndex) < FRecordName.size();
  const AnsiString* Own = Record ? &(*FSections)[static_cast<std::size_t>(SkinIndex)].SectionName : nullptr;
  const int Name = Own != nullptr && (Own == &SectionName || *Own == SectionName)
                       ? FRecordName[static_cast<std::size_t>(SkinIndex)]
                       : NameId(SectionName);
  const int K = KeyId(Key);
  int Found = Find(Kind, Name, K);
  if (Found >= 0 || K < 0 || !Record) return Found;
  const TsSkinParentChain Chain(FParents, SkinIndex);
  for (const int* S = Chain.begin() + 1; S != Chain.end(); ++S) {
    const int Parent = FRecordName[static_cast<std::size_t>(*S)];
    // The walk leaves the named section: a first parent of that name is no parent.
    if (S == Chain.begin() + 1 && Parent == Name) return -1;
    ++Steps;
    if ((Found = Find(Kind, Parent, K)) >= 0) return Found;
  }
  return -1;
}

std::vector<int> TacSkinLookup::SectionMasks(const AnsiString& Key) const {
  const std::size_t N = FRecordName.size();
  std::vector<int> Result(N, -1);
  const int K = KeyId(Key);
  if (K < 0) return Result;
  // Each record's own entry once; then each record takes the first along its chain.
  std::vector<int> Own(N);
  for (std::size_t I = 0; I < N; ++I) Own[I] = Find(lkMask, FRecordName[I], K);
  for (std::size_t I = 0; I < N; ++I) {
    if (FRecordName[I] < 0) continue;  // a record without a name has no entries
    for (int S : TsSkinParentChain(FParents, static_cast<int>(I)))
      if (Own[static_cast<std::size_t>(S)] >= 0) {
        Result[I] = Own[static_cast<std::size_t>(S)];
        break;
      }
  }
  return Result;
}
