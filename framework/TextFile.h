// Line reading of byte-oriented text files (no encoding detection, no signature handling).
// Portable: CreateFileA/ReadFile/CloseHandle on the target, POSIX calls natively.
//
// Line rules:
//  - a line ends at LF; a CR directly before the LF is not part of the line;
//  - a CR not followed by LF is dropped and the line continues;
//  - a byte 26 at the read position is the end of the file: nothing after it is read;
//  - a last line without a line end is still a line; a file ending with a line end has no extra
//    empty line after it; lines have no length limit.
//
// Failures raise EInOutError (RaiseInOutError) with the system's error code: 2 "File not found",
// 5 "File access denied", otherwise "I/O error %d" (natively ENOENT counts as 2, EACCES as 5 and
// other errno values as themselves). Reading or closing while no file is open raises code 103.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/Object.h"
#include "framework/Types.h"

class TTextFileReader : public TObject {
  T_CLASS(TTextFileReader, TObject)

  static constexpr std::size_t DefaultBufferSize = 0x10000;

  // BufferSize is the number of bytes asked of the system at a time (at least 1).
  explicit TTextFileReader(std::size_t BufferSize = DefaultBufferSize);
  // Closes the file when it is still open, ignoring close failures.
  ~TTextFileReader() override;

  // Opens the file for reading (a relative name against the current directory); a file already
  // open is closed first.
  void Open(const AnsiString& FileName);
  bool IsOpen() const { return FOpen; }
  // True at the end of the file or at a byte 26.
  bool Eof();
  // The next line without its line end; an empty string at the end of the file.
  AnsiString ReadLine();
  void Close();

 protected:
  // The system calls, replaceable by derived classes. DoOpen opens the file, DoRead fills Buffer
  // with up to Count bytes and returns how many (0 at the end), DoClose closes the file. Each
  // raises EInOutError on failure.
  virtual void DoOpen(const AnsiString& FileName);
  virtual std::size_t DoRead(char* Buffer, std::size_t Count);
  virtual void DoClose();

 private:
  void CheckOpen() const;
  // Refills the buffer when it is used up; false at the end of the data.
  bool Fill();

  std::vector<char> FBuffer;
  std::size_t FPos = 0;
  std::size_t FLen = 0;
  bool FOpen = false;
  bool FEnd = false;  // the data is used up, or a byte 26 was reached
  intptr_t FHandle = -1;
};
