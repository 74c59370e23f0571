// INI-style text: the one parser of option texts (sections of key=value lines) and the in-memory
// INI file built on it. Portable.
//
// Text rules:
//  - lines end at LF, CR LF or a lone CR; every line is trimmed (characters <= ' ' at both ends);
//  - empty lines and lines starting with ';' are ignored;
//  - "[name]" opens a section (name trimmed; "[]" is a section with an empty name);
//  - any other line is an entry of the section above: "key=value" split at the first '=' (both
//    parts trimmed), a line without '=' is a key with an empty value; lines before the first
//    section are dropped;
//  - a section name that appears again continues the earlier section (its entries are appended
//    there); the earlier name's letter case is kept;
//  - entries keep file order and duplicates; a look-up finds the first entry with the key;
//  - section and key look-ups ignore ASCII letter case; names keep the file's letter case;
//  - any byte is data (a NUL byte included); parsing is linear in the text's length.
#pragma once

#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "framework/Object.h"
#include "framework/Types.h"

class TStrings;

struct TIniEntry {
  AnsiString Name;
  AnsiString Value;
};

struct TIniSection {
  AnsiString Name;
  std::vector<TIniEntry> Entries;  // file order, duplicates kept
};

// Limits of one parse (0: none): the most sections, the most entries of one section (duplicates
// counted) and the most entries in all.
struct TIniLimits {
  std::size_t MaxSections = 0;
  std::size_t MaxSectionEntries = 0;
  std::size_t MaxEntries = 0;
};
// The limit a parse met, if any. The parse stops at the line that would go beyond it; the lines
// before it are kept. Section is the index of the section whose entries met MaxSectionEntries.
struct TIniParseResult {
  enum TLimit { None, Sections, SectionEntries, Entries };
  TLimit Limit = None;
  int Section = -1;
};

// The parsed text: sections in file order, with indexes for case-insensitive look-ups.
class TIniText {
 public:
  TIniText() = default;
  explicit TIniText(std::string_view Text) { Parse(Text); }

  // Replaces the contents with the sections of Text.
  void Parse(std::string_view Text);
  // The same within Limits.
  TIniParseResult Parse(std::string_view Text, const TIniLimits& Limits);
  void Clear();

  // Every section in file order; walk it directly.
  const std::vector<TIniSection>& Sections() const { return FSections; }

  // Index of the section in Sections(), -1 when absent.
  int IndexOfSection(std::string_view Name) const;
  // Index of the first entry with the key in the section's Entries, -1 when absent.
  int IndexOfKey(int SectionIndex, std::string_view Key) const;
  const TIniSection* FindSection(std::string_view Name) const;
  // The value of the first entry with the key, nullptr when the section or key is absent.
  const AnsiString* FindValue(std::string_view Section, std::string_view Key) const;

  // Sets the value of the first entry with the key, appending the entry (and the section) when absent.
  void SetValue(std::string_view Section, std::string_view Key, std::string_view Value);
  // Removes the section; false when it did not exist.
  bool EraseSection(std::string_view Name);
  // Removes every entry with the key from the section; false when there was none.
  bool DeleteKey(std::string_view Section, std::string_view Key);

  // The text: for each section "[name]", its "key=value" lines and an empty line, each ended by CR LF.
  AnsiString GetText() const;

 private:
  struct NoCaseHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view S) const noexcept;
  };
  struct NoCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view A, std::string_view B) const noexcept;
  };
  using TNameIndex = std::unordered_map<AnsiString, int, NoCaseHash, NoCaseEqual>;

  int AddSection(std::string_view Name);
  void AddEntry(int SectionIndex, std::string_view Key, std::string_view Value);
  void RebuildKeyIndex(int SectionIndex);

  std::vector<TIniSection> FSections;
  std::size_t FEntryCount = 0;
  TNameIndex FSectionIndex;
  std::vector<TNameIndex> FKeyIndex;  // one per section, parallel to FSections
};

// The INI integer rule: optional sign, then decimal digits (within 32 bits), or "$", "0x" or "0X"
// followed by hexadecimal digits (up to 32 bits, so "$FFFFFFFF" is -1). Nothing else may be in S.
bool TryIniStrToInt(std::string_view S, int& Value);
// A decimal number with DecimalSeparator before the fraction and an optional exponent
// ("-1.5", "7", "2.5E3"). Nothing else may be in S.
bool TryIniStrToFloat(std::string_view S, double& Value, char DecimalSeparator = '.');

// An INI file held in memory. Constructed from a file name it reads the file when it exists (a
// missing file gives an empty INI); writes change only the memory until UpdateFile.
class TMemIniFile : public TObject {
  T_CLASS(TMemIniFile, TObject)

  TMemIniFile() = default;
  explicit TMemIniFile(const AnsiString& FileName);

  const AnsiString& FileName() const { return FFileName; }
  // The parsed sections, in file order.
  const TIniText& Data() const { return FData; }

  void SetText(std::string_view Text) { FData.Parse(Text); }
  // Takes parsed sections over (for a text parsed within limits).
  void SetData(TIniText&& Data) { FData = std::move(Data); }
  AnsiString GetText() const { return FData.GetText(); }
  void SetStrings(const TStrings& Strings);
  // Replaces the contents of Strings with the lines of GetText.
  void GetStrings(TStrings& Strings) const;

  AnsiString ReadString(const AnsiString& Section, const AnsiString& Key, const AnsiString& Default) const;
  // TryIniStrToInt of the value; Default when absent or not an integer.
  int ReadInteger(const AnsiString& Section, const AnsiString& Key, int Default) const;
  // ReadInteger(Section, Key, Default ? 1 : 0) != 0: "1" and "-5" are True, "0" is False, words such
  // as "TRUE" are not integers and give Default.
  bool ReadBool(const AnsiString& Section, const AnsiString& Key, bool Default) const;
  // TryIniStrToFloat of the value with DecimalSeparator; Default when absent or not a number.
  double ReadFloat(const AnsiString& Section, const AnsiString& Key, double Default,
                   char DecimalSeparator = '.') const;

  bool SectionExists(const AnsiString& Section) const { return FData.IndexOfSection(Section) >= 0; }
  bool ValueExists(const AnsiString& Section, const AnsiString& Key) const {
    return FData.FindValue(Section, Key) != nullptr;
  }
  // Each replaces the contents of Strings: section names / key names of a section / "key=value"
  // lines of a section, in file order.
  void ReadSections(TStrings& Strings) const;
  void ReadSection(const AnsiString& Section, TStrings& Keys) const;
  void ReadSectionValues(const AnsiString& Section, TStrings& Strings) const;

  void WriteString(const AnsiString& Section, const AnsiString& Key, const AnsiString& Value);
  void WriteInteger(const AnsiString& Section, const AnsiString& Key, int Value);
  void WriteBool(const AnsiString& Section, const AnsiString& Key, bool Value);
  void EraseSection(const AnsiString& Section) { FData.EraseSection(Section); }
  void DeleteKey(const AnsiString& Section, const AnsiString& Key) { FData.DeleteKey(Section, Key); }
  void Clear() { FData.Clear(); }
  // Writes GetText to FileName (created or emptied).
  void UpdateFile() const;

 private:
  AnsiString FFileName;
  TIniText FData;
};
