// Fuzz target: the INI text parser and the skin engine's readers over it. Every section and key
// the parser lists must be found again by name, and the integer reader must agree with the INI
// integer rule on the value it reads.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "framework/IniFiles.h"
#include "skin/core/sVclUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string_view Text(reinterpret_cast<const char*>(Data), Size);
  TIniText Ini;
  ParseIniSections(Text, Ini);
  for (const TIniSection& S : Ini.Sections()) {
    if (Ini.FindSection(S.Name) == nullptr) std::abort();
    for (const TIniEntry& E : S.Entries) {
      const AnsiString* First = Ini.FindValue(S.Name, E.Name);
      if (First == nullptr) std::abort();
      if (ReadIniValue(Ini, S.Name, E.Name, "\x01missing") != *First) std::abort();
      int Expected = 0;
      const int Got = ReadIniInt(Ini, S.Name, E.Name, 12345);
      if (TryIniStrToInt(*First, Expected) ? Got != Expected : Got != 12345) std::abort();
    }
  }
  // Writing the text out and reading it again keeps the sections in order.
  TIniText Again(Ini.GetText());
  if (Again.Sections().size() > Ini.Sections().size()) std::abort();
  // Look-ups of names that are not there.
  if (ReadIniInt(Ini, Text.substr(0, Size / 2), Text.substr(Size / 2), -3) != -3 &&
      Ini.FindValue(Text.substr(0, Size / 2), Text.substr(Size / 2)) == nullptr)
    std::abort();
  return 0;
}
