// Fuzz target: the packed-skin reader, on its own and through the convertor with a lent source.
// Any input must either unpack or raise EacSkinPackError; the lent source must stay untouched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "skin/core/acSkinPack.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  std::size_t End = 0;
  std::size_t Total = 0;
  bool Unpacked = false;
  try {
    auto Entries = UnpackSkinPack(Data, Size, &End);
    if (End > Size) std::abort();
    for (const TacPackEntry& E : Entries) Total += E.Data.size();
    Unpacked = true;
  } catch (const EacSkinPackError&) {
  }

  TReadOnlyMemoryStream Lent(Data, static_cast<std::int64_t>(Size));
  TacSkinConvertor C;
  C.SetPackedData(&Lent, false);
  try {
    C.ExtractPackedData();
    // The convertor accepts exactly the packs that unpack and hold an options text.
    if (!Unpacked || !C.Options) std::abort();
    if (C.ImageCount != static_cast<int>(C.Files.size())) std::abort();
    std::size_t Sum = static_cast<std::size_t>(C.Options->Size());
    for (const TacImageItem& F : C.Files) Sum += static_cast<std::size_t>(F.Data->Size());
    if (Sum > Total) std::abort();
    if (C.PackedData()->Position() != static_cast<std::int64_t>(End)) std::abort();
  } catch (const EacSkinPackError&) {
    if (!C.Files.empty() || C.Options || C.PackedData() != nullptr) std::abort();
  }
  C.Clear();
  if (Lent.Size() != static_cast<std::int64_t>(Size)) std::abort();
  return 0;
}
