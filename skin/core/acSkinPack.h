// Packed skins: one file (or a stored skin's Data) holding a skin's options text and picture
// files, each compressed as a zlib stream. Portable.
//
// Layout (integers unsigned 32-bit little-endian; names single-byte characters, no terminator):
//   "ASzf", N (number of files), then N entries of
//   L (name length), the name, S (size after inflating), one zlib stream that inflates to S bytes.
// There is no length of the compressed data: the next entry starts right after the stream's end.
// The entry named "Options.dat" (letter case ignored) is the options text; the others are pictures.
//
// Reading is strict: a count, name length or size that the data left cannot hold, a stream that is
// corrupt, ends early or inflates to more or fewer than S bytes, and a pack without an options text
// raise EacSkinPackError (the reader keeps nothing of such a pack). Memory use is bounded by what the
// data can really inflate to, by MaxPackEntrySize per file and MaxPackTotalSize in all; a pack of
// more than MaxPackFiles files and a pack file larger than MaxPackFileSize are refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/Persistent.h"
#include "framework/Streams.h"
#include "framework/Types.h"

T_EXCEPTION(EacSkinPackError, Exception)

// The message of data that does not start with the magic.
inline constexpr const char* SNotPackedSkin = "Loaded data is not packed skin file";
inline constexpr const char* SOptionsFileName = "Options.dat";
// The largest file a pack may hold after inflating.
inline constexpr std::uint32_t MaxPackEntrySize = 128u << 20;
// Caps of a pack, far above real skins (tens of files, a few megabytes): the sum of the sizes its
// files declare (checked before each file is inflated), the number of files, and the size of a
// pack file (checked before the file is read).
inline constexpr std::uint32_t MaxPackTotalSize = 64u << 20;
inline constexpr int MaxPackFiles = 1024;
inline constexpr std::int64_t MaxPackFileSize = std::int64_t{64} << 20;

// One file of a pack, inflated.
struct TacPackEntry {
  AnsiString Name;
  std::vector<Byte> Data;
};

// The files of the pack in Data, in pack order. End (when given) receives the offset of the first
// byte after the last stream. Raises EacSkinPackError (SNotPackedSkin for a wrong magic).
std::vector<TacPackEntry> UnpackSkinPack(const void* Data, std::size_t Size, std::size_t* End = nullptr);
// The name is "Options.dat" without regard to letter case.
bool IsOptionsFileName(std::string_view Name);
// The upper-cased extension of the name is ".BMP".
bool IsBitmapFileName(std::string_view Name);

// A picture file of a pack.
struct TacImageItem {
  AnsiString FileName;  // as stored in the pack
  bool IsBitmap = false;
  std::unique_ptr<TMemoryStream> Data;  // the inflated file
};
using TacImageItems = std::vector<TacImageItem>;

// The reader of a pack.
class TacSkinConvertor : public TPersistent {
  T_CLASS(TacSkinConvertor, TPersistent)

 public:
  TacSkinConvertor() = default;
  ~TacSkinConvertor() override;

  // The number of picture files (the length of Files).
  int ImageCount = 0;
  // The picture files in pack order.
  TacImageItems Files;
  // The inflated options text (nullptr before a successful extraction).
  std::unique_ptr<TMemoryStream> Options;

  // The pack being read (nullptr when none).
  TCustomMemoryStream* PackedData() const { return FPackedData; }
  bool OwnsPackedData() const { return FOwnsPackedData; }
  // Makes Stream the source, freeing an earlier owned source. A stream that is only lent (Owned
  // false, for example a stored skin's Data) is never freed by the reader.
  void SetPackedData(TCustomMemoryStream* Stream, bool Owned);
  // Reads the whole file into a new, owned source.
  void LoadPackedFile(const AnsiString& FileName);
  // Frees an owned source, forgets a lent one.
  void FreePackedData();

  // Reads the source from its start into ImageCount, Files and Options; the source then stands
  // after the last stream. On any error the reader is cleared (a lent source is only forgotten)
  // and EacSkinPackError is raised.
  void ExtractPackedData();
  // Frees the files (last first), the options text and the source (see FreePackedData).
  void Clear();

  // The first picture file whose upper-cased name equals UpperName, or nullptr.
  TacImageItem* FindFile(std::string_view UpperName);

 private:
  TCustomMemoryStream* FPackedData = nullptr;
  bool FOwnsPackedData = false;
};

// When the file exists: clears Pack (or creates it when nullptr), reads the file into its source
// (EacSkinPackError, before reading, for a file larger than MaxPackFileSize),
// extracts it, and with FreeSource frees the source again. Nothing happens when the file does not
// exist. Errors propagate (the pack is then cleared).
void LoadSkinPackFile(const AnsiString& FileName, TacSkinConvertor*& Pack, bool FreeSource);
void LoadSkinPackFile(const AnsiString& FileName, std::unique_ptr<TacSkinConvertor>& Pack, bool FreeSource);
