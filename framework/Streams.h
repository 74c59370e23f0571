// Byte streams: the abstract stream, memory streams (growable and read-only views over borrowed
// bytes), file streams, and loading/saving string lists through streams and files.
// Portable: file access uses CreateFileA and friends on the target, POSIX calls natively.
#pragma once

#include <cstdint>

#include "framework/Exceptions.h"
#include "framework/Object.h"
#include "framework/Types.h"

class TStrings;

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// File open modes for TFileStream: one access mode, optionally combined with one share mode.
// fmCreate creates the file (or empties an existing one) and opens it for reading and writing.
inline constexpr Word fmCreate = 0xFF00;
inline constexpr Word fmOpenRead = 0x0000;
inline constexpr Word fmOpenWrite = 0x0001;
inline constexpr Word fmOpenReadWrite = 0x0002;
inline constexpr Word fmShareCompat = 0x0000;
inline constexpr Word fmShareExclusive = 0x0010;
inline constexpr Word fmShareDenyWrite = 0x0020;
inline constexpr Word fmShareDenyRead = 0x0030;
inline constexpr Word fmShareDenyNone = 0x0040;

// A sequence of bytes with a current position. Read and Write move up to Count bytes and return how
// many moved; ReadBuffer and WriteBuffer insist on all of them.
class TStream : public TObject {
  T_CLASS(TStream, TObject)

  // Reads up to Count bytes at the position into Buffer and advances; returns the number read
  // (0 at or past the end; 0 for Count <= 0).
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  // Writes Count bytes at the position and advances; returns the number written.
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  // Moves the position and returns the new one. A resulting position below 0 is refused with
  // EStreamError "Invalid stream position" and leaves the position unchanged.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t Value) { Seek(Value, soBeginning); }
  // The number of bytes in the stream. The base finds it by seeking to the end and back.
  virtual int64_t Size();
  // Changes the number of bytes; the base does nothing (streams that cannot change size).
  virtual void SetSize(int64_t NewSize);

  // Read/Write that raise EReadError "Stream read error" / EWriteError "Stream write error" when
  // fewer than Count bytes move.
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies Count bytes from Source's position into this stream; Count <= 0 copies the whole of Source
  // from its start. Returns the number copied; raises EReadError when Source runs short.
  int64_t CopyFrom(TStream& Source, int64_t Count);

  // Little-endian typed reads and writes (through ReadBuffer / WriteBuffer).
  uint8_t ReadByte();
  uint16_t ReadUInt16();
  int16_t ReadInt16() { return static_cast<int16_t>(ReadUInt16()); }
  uint32_t ReadUInt32();
  int32_t ReadInt32() { return static_cast<int32_t>(ReadUInt32()); }
  uint64_t ReadUInt64();
  int64_t ReadInt64() { return static_cast<int64_t>(ReadUInt64()); }
  // Count bytes as a byte string; raises EReadError when fewer remain.
  AnsiString ReadAnsiString(int64_t Count);
  void WriteByte(uint8_t Value);
  void WriteUInt16(uint16_t Value);
  void WriteInt16(int16_t Value) { WriteUInt16(static_cast<uint16_t>(Value)); }
  void WriteUInt32(uint32_t Value);
  void WriteInt32(int32_t Value) { WriteUInt32(static_cast<uint32_t>(Value)); }
  void WriteUInt64(uint64_t Value);
  void WriteInt64(int64_t Value) { WriteUInt64(static_cast<uint64_t>(Value)); }
  // The bytes of S, without a length or terminator.
  void WriteAnsiString(const AnsiString& S);

 protected:
  // The new position for Seek, from the current position and size; raises EStreamError when it would
  // be negative or overflow.
  static int64_t NewSeekPosition(int64_t Offset, TSeekOrigin Origin, int64_t Current, int64_t Size);
};

// A stream over one block of memory. Seeking past the end is allowed; reading there gives 0 bytes.
class TCustomMemoryStream : public TStream {
  T_CLASS(TCustomMemoryStream, TStream)

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return FSize; }

  // The first byte of the block (nullptr while empty).
  void* Memory() const { return FMemory; }
  // Writes every byte of the block to Stream / to a new file (created or emptied).
  void SaveToStream(TStream& Stream) const;
  void SaveToFile(const AnsiString& FileName) const;

 protected:
  void SetPointer(void* Ptr, int64_t Size);
  void* FMemory = nullptr;
  int64_t FSize = 0;
  int64_t FPosition = 0;
};

// Growth of a memory stream that memory cannot hold.
T_EXCEPTION(EStreamOutOfMemory, EStreamError)

// A growable stream in memory that owns its block. Bytes between the old end and a write made past
// it, and bytes added by SetSize, are zero. Growth that memory cannot hold raises
// EStreamOutOfMemory (an EStreamError) "Out of memory while expanding memory stream" and leaves the
// stream as it was.
class TMemoryStream : public TCustomMemoryStream {
  T_CLASS(TMemoryStream, TCustomMemoryStream)

  TMemoryStream() = default;
  ~TMemoryStream() override;

  int64_t Write(const void* Buffer, int64_t Count) override;
  // Keeps the first NewSize bytes (or adds zero bytes); the position is kept unless it lies past
  // the new end, in which case it moves to the end. A negative size is refused (EStreamError).
  void SetSize(int64_t NewSize) override;
  // Frees the block: size and position become 0.
  void Clear();
  // Replaces the contents with the whole of Stream (read from its start); the position becomes 0.
  void LoadFromStream(TStream& Stream);
  void LoadFromFile(const AnsiString& FileName);

  int64_t Capacity() const { return FCapacity; }

  // The largest block a memory stream asks for.
  static int64_t MaxSize();

 private:
  // Makes room for at least NewCapacity bytes (rounded up); raises EStreamError when impossible.
  void Reserve(int64_t NewCapacity);
  int64_t FCapacity = 0;
};

// A read-only stream over bytes it does not own (the owner keeps them alive while the stream is
// used). Write and SetSize raise EStreamError "Cannot write to a read-only stream".
class TReadOnlyMemoryStream : public TCustomMemoryStream {
  T_CLASS(TReadOnlyMemoryStream, TCustomMemoryStream)

  TReadOnlyMemoryStream(const void* Data, int64_t Size);
  int64_t Write(const void* Buffer, int64_t Count) override;
  void SetSize(int64_t NewSize) override;

 protected:
  TReadOnlyMemoryStream() = default;
};

// A stream over a file. Opening failures raise EFOpenError "Cannot open file \"%s\". %s" or, for
// fmCreate, EFCreateError "Cannot create file \"%s\". %s", the second part being the system's text
// for the error. Share modes apply on the target; natively they are accepted and ignored.
class TFileStream : public TStream {
  T_CLASS(TFileStream, TStream)

  TFileStream(const AnsiString& FileName, Word Mode);
  ~TFileStream() override;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override;
  // Truncates or extends the file at NewSize; raises EWriteError when the system refuses.
  void SetSize(int64_t NewSize) override;

  const AnsiString& FileName() const { return FFileName; }

 private:
  AnsiString FFileName;
  intptr_t FHandle;  // HANDLE on the target, file descriptor natively
};

// String lists through streams and files. Loading reads from the stream's position to its end and
// replaces the list's contents through SetText; saving writes Text() at the stream's position.
void LoadStringsFromStream(TStrings& Strings, TStream& Stream);
void SaveStringsToStream(const TStrings& Strings, TStream& Stream);
void LoadStringsFromFile(TStrings& Strings, const AnsiString& FileName);
void SaveStringsToFile(const TStrings& Strings, const AnsiString& FileName);
