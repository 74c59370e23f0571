// The name lookups over the records of a loaded skin: a section record by name, and a mask entry,
// texture or pattern by section and key, with the inheritance of entries along the sections'
// parents. Portable.
//
// Built once over the records of a load. Every distinct section name and every distinct key is
// numbered once; an entry is found by the numbers of its section's name and of its key, and each
// section record holds the number of its name and the record its PARENTCLASS names. A lookup hashes
// the names it is given once and walks a parent chain by numbers, so that it costs the same however
// long the names of the sections it passes are, and the tables hold each name once, however many
// entries take it.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "skin/core/sMaskData.h"

class TacSkinLookup {
 public:
  // What the inheriting lookups look for: any mask entry, a mask entry of type itisaTexture, a
  // pattern.
  enum TKind { lkMask, lkTexture, lkPattern };

  TacSkinLookup() = default;
  // The tables of the records; Sections must outlive them (its records' names are compared).
  TacSkinLookup(const TsGeneralDataArray& Sections, const TsMaskArray& Masks, const TsPatternArray& Patterns);

  // The first record named Name (exactly); -1 for none.
  int Section(const AnsiString& Name) const;
  // The first mask entry of the section and key (exactly, no parent search); -1 for none.
  int OwnMask(const AnsiString& SectionName, const AnsiString& Key) const;
  // The first entry of the kind for SectionName and Key, else for each section up the chain of
  // the record at SkinIndex (TsSkinParentChain), skipping a first parent that is the named section
  // itself. -1 for a negative SkinIndex or an empty name; a SkinIndex beyond the records finds the
  // named section's own entry only. Steps counts the sections asked. SectionName is the record's
  // own name as a rule, and then not hashed at all.
  int Inherited(TKind Kind, int SkinIndex, const AnsiString& SectionName, const AnsiString& Key,
                std::uint64_t& Steps) const;
  // Inherited(lkMask, I, name of record I, Key) for every record I.
  std::vector<int> SectionMasks(const AnsiString& Key) const;

 private:
  // The number of a name or key; -1 when no record or entry has it (an empty name has none).
  int NameId(const AnsiString& Name) const;
  int KeyId(const AnsiString& Key) const;
  int Find(TKind Kind, int Name, int Key) const;

  const TsGeneralDataArray* FSections = nullptr;  // the records the tables were built over
  std::unordered_map<AnsiString, int> FNames;
  std::unordered_map<AnsiString, int> FKeys;
  std::vector<int> FFirstRecord;  // by name number: the first record of that name, -1 for none
  std::vector<int> FRecordName;   // by record: the number of its name
  std::vector<int> FParents;      // by record: the record its ParentClass names, -1 for none
  // Both numbers of a pair count in its hash (a size_t may hold only the low half of the pair).
  struct TPairHash {
    std::size_t operator()(std::uint64_t Pair) const;
  };
  std::unordered_map<std::uint64_t, int, TPairHash> FEntries[3];  // by kind: (name, key) -> first entry
};
