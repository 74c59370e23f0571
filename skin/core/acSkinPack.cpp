#include "skin/core/acSkinPack.h"

#include <zlib.h>

#include <climits>
#include <cstring>

#include "framework/Strings.h"

namespace {

// The smallest entry: name length, size and the shortest zlib stream (2-byte header, a 2-byte
// empty final block, 4-byte checksum).
constexpr std::size_t MinEntrySize = 4 + 4 + 8;
// Deflate cannot expand data by more than this factor.
constexpr std::uint64_t MaxInflateRatio = 1032;

[[noreturn]] void Damaged(const AnsiString& Detail) {
  throw EacSkinPackError("Packed skin file is damaged: " + Detail);
}

std::uint32_t ReadU32(const Byte* P, std::size_t Size, std::size_t& Pos, const char* What) {
  if (Size - Pos < 4) Damaged(Format("the data ends before %s", What));
  const std::uint32_t V = static_cast<std::uint32_t>(P[Pos]) | static_cast<std::uint32_t>(P[Pos + 1]) << 8 |
                          static_cast<std::uint32_t>(P[Pos + 2]) << 16 | static_cast<std::uint32_t>(P[Pos + 3]) << 24;
  Pos += 4;
  return V;
}

// One inflating stream, reset for each entry.
class TInflater {
 public:
  TInflater() {
    std::memset(&Z, 0, sizeof(Z));
    if (inflateInit(&Z) != Z_OK) throw EacSkinPackError("Cannot start decompression");
  }
  ~TInflater() { inflateEnd(&Z); }
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;

  // Inflates the zlib stream at In (at most InSize bytes) into exactly Out.size() bytes; returns
  // the number of input bytes the stream took.
  std::size_t Inflate(const Byte* In, std::size_t InSize, std::vector<Byte>& Out, const AnsiString& Name) {
    if (inflateReset(&Z) != Z_OK) throw EacSkinPackError("Cannot start decompression");
    const auto Given = static_cast<uInt>(InSize > UINT_MAX ? UINT_MAX : InSize);
    Z.next_in = const_cast<Bytef*>(In);
    Z.avail_in = Given;
    // The output goes into Out; once Out is full, a one-byte probe catches any further output.
    Byte Probe = 0;
    bool Probing = Out.empty();
    Z.next_out = Probing ? &Probe : Out.data();
    Z.avail_out = Probing ? 1 : static_cast<uInt>(Out.size());
    for (;;) {
      const int Ret = inflate(&Z, Z_NO_FLUSH);
      if (Probing && Z.avail_out == 0)
        Damaged(Format("file \"%s\" inflates to more than its size of %u bytes", Name,
                       static_cast<unsigned>(Out.size())));
      if (Ret == Z_STREAM_END) break;
      if (Ret == Z_OK || Ret == Z_BUF_ERROR) {
        if (!Probing && Z.avail_out == 0) {
          Probing = true;
          Z.next_out = &Probe;
          Z.avail_out = 1;
          continue;
        }
        if (Ret == Z_OK) continue;  // progress was made
        if (Z.avail_in == 0) Damaged(Format("the data ends inside file \"%s\"", Name));
      }
      Damaged(Format("file \"%s\" is not a valid compressed stream (%s)", Name,
                     Z.msg != nullptr ? Z.msg : "inflate failed"));
    }
    if (Z.total_out != Out.size())
      Damaged(Format("file \"%s\" inflates to %u bytes instead of %u", Name, static_cast<unsigned>(Z.total_out),
                     static_cast<unsigned>(Out.size())));
    return Given - Z.avail_in;
  }

 private:
  z_stream Z;
};

}  // namespace

bool IsOptionsFileName(std::string_view Name) { return SameText(AnsiString(Name), SOptionsFileName); }

bool IsBitmapFileName(std::string_view Name) { return UpperCase(ExtractFileExt(AnsiString(Name))) == ".BMP"; }

std::vector<TacPackEntry> UnpackSkinPack(const void* Data, std::size_t Size, std::size_t* End) {
  const Byte* P = static_cast<const Byte*>(Data);
  if (P == nullptr || Size < 4 || std::memcmp(P, "ASzf", 4) != 0) throw EacSkinPackError(SNotPackedSkin);
  std::size_t Pos = 4;
  const std::uint32_t N = ReadU32(P, Size, Pos, "the number of files");
  if (N > (Size - Pos) / MinEntrySize)
    Damaged(Format("it names %u files but holds only %u bytes", N, static_cast<unsigned>(Size)));
  if (N > static_cast<std::uint32_t>(MaxPackFiles))
    throw EacSkinPackError(Format("Packed skin file holds %u files, more than %d files", N, MaxPackFiles));

  std::vector<TacPackEntry> Entries;
  Entries.reserve(N);
  TInflater Inflater;
  std::uint64_t Total = 0;
  for (std::uint32_t I = 0; I < N; ++I) {
    const std::uint32_t L = ReadU32(P, Size, Pos, "a name length");
    if (L > Size - Pos) Damaged(Format("the name of file %u is longer than the data left", I + 1));
    TacPackEntry E;
    E.Name.assign(reinterpret_cast<const char*>(P + Pos), L);
    Pos += L;
    const std::uint32_t S = ReadU32(P, Size, Pos, "a file size");
    if (S > MaxPackEntrySize)
      Damaged(Format("file \"%s\" is too large (%u bytes)", E.Name, S));
    if (S > (Size - Pos) * MaxInflateRatio)
      Damaged(Format("file \"%s\" claims %u bytes, more than the data left can hold", E.Name, S));
    // The sizes declared so far are checked before this file is inflated.
    Total += S;
    if (Total > MaxPackTotalSize)
      throw EacSkinPackError(Format("Packed skin file is too large: its files inflate to more than %u bytes in all "
                                    "(at file \"%s\")",
                                    static_cast<unsigned>(MaxPackTotalSize), E.Name));
    E.Data.resize(S);
    Pos += Inflater.Inflate(P + Pos, Size - Pos, E.Data, E.Name);
    Entries.push_back(std::move(E));
  }
  if (End != nullptr) *End = Pos;
  return Entries;
}

// ---- TacSkinConvertor ---------------------------------------------------------------------------

TacSkinConvertor::~TacSkinConvertor() { Clear(); }

void TacSkinConvertor::SetPackedData(TCustomMemoryStream* Stream, bool Owned) {
  if (Stream != FPackedData) FreePackedData();
  FPackedData = Stream;
  FOwnsPackedData = Stream != nullptr && Owned;
}

void TacSkinConvertor::LoadPackedFile(const AnsiString& FileName) {
  TFileStream F(FileName, fmOpenRead | fmShareDenyWrite);
  const std::int64_t Size = F.Size();
  if (Size > MaxPackFileSize)
    throw EacSkinPackError(Format("Packed skin file \"%s\" is too large (%lld bytes; at most %lld are read)", FileName,
                                  static_cast<long long>(Size), static_cast<long long>(MaxPackFileSize)));
  auto S = std::make_unique<TMemoryStream>();
  S->LoadFromStream(F);
  SetPackedData(S.release(), true);
}

void TacSkinConvertor::FreePackedData() {
  if (FOwnsPackedData) delete FPackedData;
  FPackedData = nullptr;
  FOwnsPackedData = false;
}

void TacSkinConvertor::Clear() {
  while (!Files.empty()) Files.pop_back();
  ImageCount = 0;
  Options.reset();
  FreePackedData();
}

void TacSkinConvertor::ExtractPackedData() {
  try {
    const void* Mem = FPackedData != nullptr ? FPackedData->Memory() : nullptr;
    const auto Size = FPackedData != nullptr ? static_cast<std::size_t>(FPackedData->Size()) : 0;
    std::size_t End = 0;
    std::vector<TacPackEntry> Entries = UnpackSkinPack(Mem, Size, &End);

    TacImageItems NewFiles;
    std::unique_ptr<TMemoryStream> NewOptions;
    for (TacPackEntry& E : Entries) {
      auto S = std::make_unique<TMemoryStream>();
      if (!E.Data.empty()) S->WriteBuffer(E.Data.data(), static_cast<std::int64_t>(E.Data.size()));
      S->SetPosition(0);
      std::vector<Byte>().swap(E.Data);
      if (IsOptionsFileName(E.Name)) {
        // A later options entry replaces an earlier one.
        NewOptions = std::move(S);
      } else {
        TacImageItem Item;
        Item.IsBitmap = IsBitmapFileName(E.Name);
        Item.FileName = std::move(E.Name);
        Item.Data = std::move(S);
        NewFiles.push_back(std::move(Item));
      }
    }
    if (!NewOptions) throw EacSkinPackError("Packed skin file holds no Options.dat");

    while (!Files.empty()) Files.pop_back();
    Files = std::move(NewFiles);
    ImageCount = static_cast<int>(Files.size());
    Options = std::move(NewOptions);
    FPackedData->SetPosition(static_cast<std::int64_t>(End));
  } catch (...) {
    Clear();
    throw;
  }
}

TacImageItem* TacSkinConvertor::FindFile(std::string_view UpperName) {
  for (TacImageItem& F : Files)
    if (UpperCase(F.FileName) == UpperName) return &F;
  return nullptr;
}

// ---- Files --------------------------------------------------------------------------------------

void LoadSkinPackFile(const AnsiString& FileName, TacSkinConvertor*& Pack, bool FreeSource) {
  if (!FileExists(FileName)) return;
  if (Pack != nullptr)
    Pack->Clear();
  else
    Pack = new TacSkinConvertor;
  Pack->LoadPackedFile(FileName);
  Pack->ExtractPackedData();
  if (FreeSource) Pack->FreePackedData();
}

void LoadSkinPackFile(const AnsiString& FileName, std::unique_ptr<TacSkinConvertor>& Pack, bool FreeSource) {
  TacSkinConvertor* P = Pack.release();
  try {
    LoadSkinPackFile(FileName, P, FreeSource);
  } catch (...) {
    Pack.reset(P);
    throw;
  }
  Pack.reset(P);
}

