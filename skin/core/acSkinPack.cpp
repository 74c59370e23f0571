#include "skin/core/acSkinPack.h"

#include <zlib.h>

#include <climits>
#include <cstring>

#include "framework/Strings.h"
#include "skin/core/acInflate.h"

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

// Inflates the entries of one pack: each in one call over the rest of the pack into its
// announced size; a stream that call refuses is read again by zlib's streaming inflate, which
// names what is wrong with it.
class TInflater {
 public:
  TInflater() { std::memset(&Z, 0, sizeof(Z)); }
  ~TInflater() {
    if (ZStarted) inflateEnd(&Z);
  }
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;

  // Inflates the zlib stream at In (at most InSize bytes) into exactly OutSize bytes at Out; returns
  // the number of input bytes the stream took.
  std::size_t Inflate(const Byte* In, std::size_t InSize, Byte* Out, std::size_t OutSize, const AnsiString& Name) {
    std::size_t Used = 0;
    if (Whole.Inflate(In, InSize, Out, OutSize, Used)) return Used;
    return InflateStreaming(In, InSize, Out, OutSize, Name);
  }

 private:
  std::size_t InflateStreaming(const Byte* In, std::size_t InSize, Byte* Out, std::size_t OutSize,
                               const AnsiString& Name) {
    if (!ZStarted) {
      if (inflateInit(&Z) != Z_OK) throw EacSkinPackError("Cannot start decompression");
      ZStarted = true;
    } else if (inflateReset(&Z) != Z_OK) {
      throw EacSkinPackError("Cannot start decompression");
    }
    const auto Given = static_cast<uInt>(InSize > UINT_MAX ? UINT_MAX : InSize);
    Z.next_in = const_cast<Bytef*>(In);
    Z.avail_in = Given;
    // The output goes into Out; once Out is full, a one-byte probe catches any further output.
    Byte Probe = 0;
    bool Probing = OutSize == 0;
    Z.next_out = Probing ? &Probe : Out;
    Z.avail_out = Probing ? 1 : static_cast<uInt>(OutSize);
    for (;;) {
      const int Ret = inflate(&Z, Z_NO_FLUSH);
      if (Probing && Z.avail_out == 0)
        Damaged(Format("file \"%s\" inflates to more than its size of %u bytes", Name,
                       static_cast<unsigned>(OutSize)));
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
    if (Z.total_out != OutSize)
      Damaged(Format("file \"%s\" inflates to %u bytes instead of %u", Name, static_cast<unsigned>(Z.total_out),
                     static_cast<unsigned>(OutSize)));
    return Given - Z.avail_in;
  }

  TacWholeInflater Whole;
  z_stream Z;
  bool ZStarted = false;
};

}  // namespace

bool IsOptionsFileName(std::string_view Name) { return SameText(AnsiString(Name), SOptionsFileName); }

bool IsBitmapFileName(std::string_view Name) { return UpperCase(ExtractFileExt(AnsiString(Name))) == ".BMP"; }

namespace {

// Reads the pack in Data and returns the offset after its last stream. For each file, in pack
// order, Place(Name, S) makes room for the S bytes it inflates to and returns where they go, so
// that each reader inflates straight into the storage it keeps.
template <class TPlace>
std::size_t ReadSkinPack(const void* Data, std::size_t Size, TPlace&& Place) {
  const Byte* P = static_cast<const Byte*>(Data);
  if (P == nullptr || Size < 4 || std::memcmp(P, "ASzf", 4) != 0) throw EacSkinPackError(SNotPackedSkin);
  std::size_t Pos = 4;
  const std::uint32_t N = ReadU32(P, Size, Pos, "the number of files");
  if (N > (Size - Pos) / MinEntrySize)
    Damaged(Format("it names %u files but holds only %u bytes", N, static_cast<unsigned>(Size)));
  if (N > static_cast<std::uint32_t>(MaxPackFiles))
    throw EacSkinPackError(Format("Packed skin file holds %u files, more than %d files", N, MaxPackFiles));

  TInflater Inflater;
  std::uint64_t Total = 0;
  for (std::uint32_t I = 0; I < N; ++I) {
    const std::uint32_t L = ReadU32(P, Size, Pos, "a name length");
    if (L > Size - Pos) Damaged(Format("the name of file %u is longer than the data left", I + 1));
    const AnsiString Name(reinterpret_cast<const char*>(P + Pos), L);
    Pos += L;
    const std::uint32_t S = ReadU32(P, Size, Pos, "a file size");
    if (S > MaxPackEntrySize)
      Damaged(Format("file \"%s\" is too large (%u bytes)", Name, S));
    if (S > (Size - Pos) * MaxInflateRatio)
      Damaged(Format("file \"%s\" claims %u bytes, more than the data left can hold", Name, S));
    // The sizes declared so far are checked before this file is inflated.
    Total += S;
    if (Total > MaxPackTotalSize)
      throw EacSkinPackError(Format("Packed skin file is too large: its files inflate to more than %u bytes in all "
                                    "(at file \"%s\")",
                                    static_cast<unsigned>(MaxPackTotalSize), Name));
    Byte* Out = Place(Name, S);
    Pos += Inflater.Inflate(P + Pos, Size - Pos, Out, S, Name);
  }
  return Pos;
}

}  // namespace

std::vector<TacPackEntry> UnpackSkinPack(const void* Data, std::size_t Size, std::size_t* End) {
  std::vector<TacPackEntry> Entries;
  const std::size_t Stop = ReadSkinPack(Data, Size, [&](const AnsiString& Name, std::uint32_t S) {
    TacPackEntry& E = Entries.emplace_back();
    E.Name = Name;
    E.Data.resize(S);
    return E.Data.data();
  });
  if (End != nullptr) *End = Stop;
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
    TacImageItems NewFiles;
    std::unique_ptr<TMemoryStream> NewOptions;
    // Each file inflates straight into the memory stream that keeps it.
    const std::size_t End = ReadSkinPack(Mem, Size, [&](const AnsiString& Name, std::uint32_t S) {
      auto Stream = std::make_unique<TMemoryStream>();
      Stream->SetSize(S);
      TMemoryStream* Kept = Stream.get();
      if (IsOptionsFileName(Name)) {
        // A later options entry replaces an earlier one.
        NewOptions = std::move(Stream);
      } else {
        TacImageItem Item;
        Item.IsBitmap = IsBitmapFileName(Name);
        Item.FileName = Name;
        Item.Data = std::move(Stream);
        NewFiles.push_back(std::move(Item));
      }
      return static_cast<Byte*>(Kept->Memory());
    });
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
  // Compared in place: a skin may look up thousands of names among a pack's files.
  auto Same = [&](const AnsiString& Name) {
    if (Name.size() != UpperName.size()) return false;
    for (std::size_t I = 0; I < Name.size(); ++I) {
      const char C = Name[I];
      if ((C >= 'a' && C <= 'z' ? static_cast<char>(C - 32) : C) != UpperName[I]) return false;
    }
    return true;
  };
  for (TacImageItem& F : Files)
    if (Same(F.FileName)) return &F;
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

