#include "framework/Streams.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/Lists.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const char* const SReadError = "Stream read error";
const char* const SWriteError = "Stream write error";
const char* const SInvalidPosition = "Invalid stream position";
const char* const SInvalidSize = "Invalid stream size";
const char* const SMemoryStreamError = "Out of memory while expanding memory stream";
const char* const SReadOnlyStream = "Cannot write to a read-only stream";

// Memory blocks grow in steps of this many bytes.
constexpr int64_t MemoryDelta = 0x2000;
// CopyFrom moves at most this many bytes at a time.
constexpr int64_t MaxCopyBuffer = 0xF000;

// The system's text for an error code, without a trailing line end or period.
AnsiString SysErrorMessage(int Code) {
  AnsiString S;
#ifdef _WIN32
  char Buf[512];
  DWORD Len = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(Code), 0, Buf, sizeof(Buf), nullptr);
  S.assign(Buf, Len);
#else
  S = std::strerror(Code);
#endif
  while (!S.empty() && (static_cast<unsigned char>(S.back()) <= ' ' || S.back() == '.')) S.pop_back();
  if (S.empty()) S = Format("System error %d", Code);
  return S;
}

}  // namespace

// ---- TStream -----------------------------------------------------------------------------------

int64_t TStream::Size() {
  int64_t Pos = Seek(0, soCurrent);
  int64_t End = Seek(0, soEnd);
  Seek(Pos, soBeginning);
  return End;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError(SReadError);
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError(SWriteError);
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
  if (Count <= 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  int64_t Result = Count;
  std::vector<char> Buf(static_cast<std::size_t>(std::min(Count, MaxCopyBuffer)));
  while (Count > 0) {
    int64_t N = std::min(Count, MaxCopyBuffer);
    Source.ReadBuffer(Buf.data(), N);
    WriteBuffer(Buf.data(), N);
    Count -= N;
  }
  return Result;
}

uint8_t TStream::ReadByte() {
  uint8_t B;
  ReadBuffer(&B, 1);
  return B;
}

uint16_t TStream::ReadUInt16() {
  uint8_t B[2];
  ReadBuffer(B, 2);
  return static_cast<uint16_t>(B[0] | (B[1] << 8));
}

uint32_t TStream::ReadUInt32() {
  uint8_t B[4];
  ReadBuffer(B, 4);
  return uint32_t{B[0]} | (uint32_t{B[1]} << 8) | (uint32_t{B[2]} << 16) | (uint32_t{B[3]} << 24);
}

uint64_t TStream::ReadUInt64() {
  uint64_t Lo = ReadUInt32();
  uint64_t Hi = ReadUInt32();
  return Lo | (Hi << 32);
}

namespace {

// Count as the length of a byte string; EReadError for a count no string can hold (on a 32-bit
// system a 64-bit count would otherwise be cut to a small length before the bytes are read).
std::size_t StringLength(int64_t Count) {
  if (Count < 0 || static_cast<uint64_t>(Count) > static_cast<uint64_t>(AnsiString().max_size()))
    throw EReadError(SReadError);
  return static_cast<std::size_t>(Count);
}

}  // namespace

AnsiString TStream::ReadAnsiString(int64_t Count) {
  if (Count <= 0) return AnsiString();
  // Do not trust Count for the allocation: a corrupt length must not exhaust memory.
  int64_t Avail = Size() - Position();
  if (Count > Avail) throw EReadError(SReadError);
  AnsiString S(StringLength(Count), '\0');
  ReadBuffer(S.data(), Count);
  return S;
}

void TStream::WriteByte(uint8_t Value) { WriteBuffer(&Value, 1); }

void TStream::WriteUInt16(uint16_t Value) {
  uint8_t B[2] = {static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8)};
  WriteBuffer(B, 2);
}

void TStream::WriteUInt32(uint32_t Value) {
  uint8_t B[4] = {static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8),
                  static_cast<uint8_t>(Value >> 16), static_cast<uint8_t>(Value >> 24)};
  WriteBuffer(B, 4);
}

void TStream::WriteUInt64(uint64_t Value) {
  WriteUInt32(static_cast<uint32_t>(Value));
  WriteUInt32(static_cast<uint32_t>(Value >> 32));
}

void TStream::WriteAnsiString(const AnsiString& S) {
  WriteBuffer(S.data(), static_cast<int64_t>(S.size()));
}

int64_t TStream::NewSeekPosition(int64_t Offset, TSeekOrigin Origin, int64_t Current, int64_t Size) {
  int64_t Base;
  switch (Origin) {
    case soBeginning: Base = 0; break;
    case soCurrent: Base = Current; break;
    case soEnd: Base = Size; break;
    default: throw EStreamError(SInvalidPosition);
  }
  int64_t Result;
  if (__builtin_add_overflow(Base, Offset, &Result) || Result < 0) throw EStreamError(SInvalidPosition);
  return Result;
}

// ---- TCustomMemoryStream -----------------------------------------------------------------------

int64_t TCustomMemoryStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || FPosition >= FSize) return 0;
  if (!Buffer) throw EReadError(SReadError);
  int64_t N = std::min(Count, FSize - FPosition);
  std::memmove(Buffer, static_cast<char*>(FMemory) + FPosition, static_cast<std::size_t>(N));
  FPosition += N;
  return N;
}

int64_t TCustomMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  FPosition = NewSeekPosition(Offset, Origin, FPosition, FSize);
  return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream& Stream) const {
  if (FSize == 0) return;
  if (&Stream == this) {
    // Writing a stream into itself: the source bytes may move while the stream grows.
    std::vector<char> Copy(static_cast<const char*>(FMemory), static_cast<const char*>(FMemory) + FSize);
    Stream.WriteBuffer(Copy.data(), FSize);
  } else {
    Stream.WriteBuffer(FMemory, FSize);
  }
}

void TCustomMemoryStream::SaveToFile(const AnsiString& FileName) const {
  TFileStream F(FileName, fmCreate);
  SaveToStream(F);
}

void TCustomMemoryStream::SetPointer(void* Ptr, int64_t Size) {
  FMemory = Ptr;
  FSize = Size;
}

// ---- TMemoryStream -----------------------------------------------------------------------------

TMemoryStream::~TMemoryStream() { std::free(FMemory); }

int64_t TMemoryStream::MaxSize() {
  if constexpr (sizeof(void*) <= 4) {
    return PTRDIFF_MAX;
  } else {
    // No machine this runs on holds a terabyte-sized block; larger requests are refused outright
    // instead of being handed to the allocator.
    return int64_t{1} << 40;
  }
}

void TMemoryStream::Reserve(int64_t NewCapacity) {
  if (NewCapacity <= FCapacity) return;
  if (NewCapacity > MaxSize()) throw EStreamOutOfMemory(SMemoryStreamError);
  int64_t Rounded = std::min((NewCapacity + MemoryDelta - 1) & ~(MemoryDelta - 1), MaxSize());
  void* P = std::realloc(FMemory, static_cast<std::size_t>(Rounded));
  if (!P) throw EStreamOutOfMemory(SMemoryStreamError);
  FMemory = P;
  FCapacity = Rounded;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  if (!Buffer) throw EWriteError(SWriteError);
  int64_t End;
  if (__builtin_add_overflow(FPosition, Count, &End) || End > MaxSize()) throw EStreamOutOfMemory(SMemoryStreamError);
  if (End > FCapacity) {
    // The source may lie inside this stream's own block, which moves when it grows.
    uintptr_t Src = reinterpret_cast<uintptr_t>(Buffer);
    uintptr_t Mem = reinterpret_cast<uintptr_t>(FMemory);
    bool Inside = Mem != 0 && Src >= Mem && Src - Mem < static_cast<uint64_t>(FCapacity);
    uintptr_t SrcOffset = Inside ? Src - Mem : 0;
    // Grow by half again so that many small writes stay linear; fall back to the exact need.
    int64_t Wanted = std::max(End, std::min(FCapacity + FCapacity / 2, MaxSize()));
    try {
      Reserve(Wanted);
    } catch (const EStreamError&) {
      if (Wanted == End) throw;
      Reserve(End);
    }
    if (Inside) Buffer = static_cast<const char*>(FMemory) + SrcOffset;
  }
  char* Mem = static_cast<char*>(FMemory);
  if (FPosition > FSize) std::memset(Mem + FSize, 0, static_cast<std::size_t>(FPosition - FSize));
  std::memmove(Mem + FPosition, Buffer, static_cast<std::size_t>(Count));
  FPosition = End;
  if (End > FSize) FSize = End;
  return Count;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) throw EStreamError(SInvalidSize);
  if (NewSize > FSize) {
    Reserve(NewSize);
    std::memset(static_cast<char*>(FMemory) + FSize, 0, static_cast<std::size_t>(NewSize - FSize));
  }
  FSize = NewSize;
  if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
  std::free(FMemory);
  FMemory = nullptr;
  FSize = 0;
  FCapacity = 0;
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& Stream) {
  if (&Stream == this) {
    FPosition = 0;
    return;
  }
  Stream.SetPosition(0);
  int64_t Count = Stream.Size();
  SetSize(Count);
  FPosition = 0;
  if (Count != 0) Stream.ReadBuffer(FMemory, Count);
}

void TMemoryStream::LoadFromFile(const AnsiString& FileName) {
  TFileStream F(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(F);
}

// ---- TReadOnlyMemoryStream ---------------------------------------------------------------------

TReadOnlyMemoryStream::TReadOnlyMemoryStream(const void* Data, int64_t Size) {
  if (Size < 0 || (!Data && Size > 0)) throw EStreamError(SInvalidSize);
  SetPointer(const_cast<void*>(Data), Size);
}

int64_t TReadOnlyMemoryStream::Write(const void*, int64_t) { throw EStreamError(SReadOnlyStream); }

void TReadOnlyMemoryStream::SetSize(int64_t) { throw EStreamError(SReadOnlyStream); }

// ---- TFileStream -------------------------------------------------------------------------------

namespace {

// Largest single read or write request to the system.
constexpr int64_t MaxIoChunk = 0x40000000;

// Moves up to Count bytes in requests of at most MaxIoChunk bytes. Request(Done, Length) moves
// up to Length bytes at offset Done of the caller's buffer and answers how many it moved; a
// request that moves nothing or fails (a negative answer) ends the transfer. Answers the bytes
// moved.
template <class TRequest>
int64_t TransferInChunks(int64_t Count, TRequest Request) {
  int64_t Done = 0;
  while (Done < Count) {
    const int64_t Moved = Request(Done, std::min(Count - Done, MaxIoChunk));
    if (Moved <= 0) break;
    Done += Moved;
  }
  return Done;
}

// The error of a file that could not be created (EFCreateError) or opened (EFOpenError), with the
// system's message for Code.
[[noreturn]] void FileOpenError(const AnsiString& FileName, bool Create, int Code) {
  if (Create) throw EFCreateError(Format("Cannot create file \"%s\". %s", FileName, SysErrorMessage(Code)));
  throw EFOpenError(Format("Cannot open file \"%s\". %s", FileName, SysErrorMessage(Code)));
}

}  // namespace

#ifdef _WIN32

namespace {
HANDLE H(intptr_t Handle) { return reinterpret_cast<HANDLE>(Handle); }
}  // namespace

TFileStream::TFileStream(const AnsiString& FileName, Word Mode) : FFileName(FileName) {
  static const DWORD ShareModes[5] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE};
  bool Create = (Mode & fmCreate) == fmCreate;
  unsigned ShareIndex = (Mode & 0xF0) >> 4;
  DWORD Share = ShareIndex < 5 ? ShareModes[ShareIndex] : 0;
  DWORD Access;
  if (Create) {
    Access = GENERIC_READ | GENERIC_WRITE;
  } else {
    switch (Mode & 3) {
      case fmOpenRead: Access = GENERIC_READ; break;
      case fmOpenWrite: Access = GENERIC_WRITE; break;
      case fmOpenReadWrite: Access = GENERIC_READ | GENERIC_WRITE; break;
      default: FileOpenError(FileName, false, ERROR_INVALID_PARAMETER);
    }
  }
  HANDLE Hd = CreateFileA(FileName.c_str(), Access, Share, nullptr, Create ? CREATE_ALWAYS : OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Hd == INVALID_HANDLE_VALUE) FileOpenError(FileName, Create, static_cast<int>(GetLastError()));
  FHandle = reinterpret_cast<intptr_t>(Hd);
}

TFileStream::~TFileStream() { CloseHandle(H(FHandle)); }

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  if (!Buffer) throw EReadError(SReadError);
  return TransferInChunks(Count, [&](int64_t Done, int64_t Length) -> int64_t {
    DWORD Got = 0;
    if (!ReadFile(H(FHandle), static_cast<char*>(Buffer) + Done, static_cast<DWORD>(Length), &Got, nullptr)) return -1;
    return Got;
  });
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  if (!Buffer) throw EWriteError(SWriteError);
  return TransferInChunks(Count, [&](int64_t Done, int64_t Length) -> int64_t {
    DWORD Put = 0;
    if (!WriteFile(H(FHandle), static_cast<const char*>(Buffer) + Done, static_cast<DWORD>(Length), &Put, nullptr))
      return -1;
    return Put;
  });
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  LARGE_INTEGER Zero{}, Cur{};
  if (!SetFilePointerEx(H(FHandle), Zero, &Cur, FILE_CURRENT)) throw EStreamError(SInvalidPosition);
  int64_t End = 0;
  if (Origin == soEnd) End = Size();
  LARGE_INTEGER Target{}, NewPos{};
  Target.QuadPart = NewSeekPosition(Offset, Origin, Cur.QuadPart, End);
  if (!SetFilePointerEx(H(FHandle), Target, &NewPos, FILE_BEGIN)) throw EStreamError(SInvalidPosition);
  return NewPos.QuadPart;
}

int64_t TFileStream::Size() {
  LARGE_INTEGER S{};
  if (!GetFileSizeEx(H(FHandle), &S)) return TStream::Size();
  return S.QuadPart;
}

void TFileStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) throw EStreamError(SInvalidSize);
  int64_t Pos = Position();
  LARGE_INTEGER Target{};
  Target.QuadPart = NewSize;
  if (!SetFilePointerEx(H(FHandle), Target, nullptr, FILE_BEGIN) || !SetEndOfFile(H(FHandle))) {
    int Code = static_cast<int>(GetLastError());
    Seek(Pos, soBeginning);
    throw EWriteError(Format("%s. %s", SWriteError, SysErrorMessage(Code)));
  }
  Seek(std::min(Pos, NewSize), soBeginning);
}

#else  // POSIX

TFileStream::TFileStream(const AnsiString& FileName, Word Mode) : FFileName(FileName) {
  bool Create = (Mode & fmCreate) == fmCreate;
  int Flags;
  if (Create) {
    Flags = O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (Mode & 3) {
      case fmOpenRead: Flags = O_RDONLY; break;
      case fmOpenWrite: Flags = O_WRONLY; break;
      case fmOpenReadWrite: Flags = O_RDWR; break;
      default: FileOpenError(FileName, false, EINVAL);
    }
  }
  int Fd = ::open(FileName.c_str(), Flags | O_CLOEXEC, 0666);
  int Code = Fd < 0 ? errno : 0;
  if (Fd >= 0) {
    // A directory opens on POSIX systems but is no file to stream.
    struct stat St;
    if (::fstat(Fd, &St) == 0 && S_ISDIR(St.st_mode)) {
      ::close(Fd);
      Fd = -1;
      Code = EISDIR;
    }
  }
  if (Fd < 0) FileOpenError(FileName, Create, Code);
  FHandle = Fd;
}

TFileStream::~TFileStream() { ::close(static_cast<int>(FHandle)); }

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  if (!Buffer) throw EReadError(SReadError);
  return TransferInChunks(Count, [&](int64_t Done, int64_t Length) -> int64_t {
    ssize_t Got;
    do {
      Got = ::read(static_cast<int>(FHandle), static_cast<char*>(Buffer) + Done, static_cast<std::size_t>(Length));
    } while (Got < 0 && errno == EINTR);
    return Got;
  });
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  if (!Buffer) throw EWriteError(SWriteError);
  return TransferInChunks(Count, [&](int64_t Done, int64_t Length) -> int64_t {
    const char* From = static_cast<const char*>(Buffer) + Done;
    ssize_t Put;
    do {
      Put = ::write(static_cast<int>(FHandle), From, static_cast<std::size_t>(Length));
    } while (Put < 0 && errno == EINTR);
    return Put;
  });
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int Fd = static_cast<int>(FHandle);
  off_t Cur = ::lseek(Fd, 0, SEEK_CUR);
  if (Cur < 0) throw EStreamError(SInvalidPosition);
  int64_t End = Origin == soEnd ? Size() : 0;
  int64_t Target = NewSeekPosition(Offset, Origin, Cur, End);
  off_t NewPos = ::lseek(Fd, static_cast<off_t>(Target), SEEK_SET);
  if (NewPos < 0) throw EStreamError(SInvalidPosition);
  return NewPos;
}

int64_t TFileStream::Size() {
  struct stat St;
  if (::fstat(static_cast<int>(FHandle), &St) != 0) return TStream::Size();
  return St.st_size;
}

void TFileStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) throw EStreamError(SInvalidSize);
  int64_t Pos = Position();
  if (::ftruncate(static_cast<int>(FHandle), static_cast<off_t>(NewSize)) != 0)
    throw EWriteError(Format("%s. %s", SWriteError, SysErrorMessage(errno)));
  if (Pos > NewSize) Seek(NewSize, soBeginning);
}

#endif

// ---- String lists ------------------------------------------------------------------------------

void LoadStringsFromStream(TStrings& Strings, TStream& Stream) {
  int64_t Count = Stream.Size() - Stream.Position();
  AnsiString S;
  if (Count > 0) {
    S.resize(StringLength(Count));
    Stream.ReadBuffer(S.data(), Count);
  }
  Strings.SetText(S);
}

void SaveStringsToStream(const TStrings& Strings, TStream& Stream) {
  Stream.WriteAnsiString(Strings.Text());
}

void LoadStringsFromFile(TStrings& Strings, const AnsiString& FileName) {
  TFileStream F(FileName, fmOpenRead | fmShareDenyWrite);
  LoadStringsFromStream(Strings, F);
}

void SaveStringsToFile(const TStrings& Strings, const AnsiString& FileName) {
  TFileStream F(FileName, fmCreate);
  SaveStringsToStream(Strings, F);
}
