#include "framework/TextFile.h"

#include <algorithm>
#include <cerrno>

#include "framework/Exceptions.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr char CtrlZ = 26;

#ifndef _WIN32
// errno values as the runtime's input/output codes.
int InOutCode(int Errno) {
  switch (Errno) {
    case ENOENT: return 2;
    case EACCES: return 5;
    default: return Errno;
  }
}
#endif

}  // namespace

TTextFileReader::TTextFileReader(std::size_t BufferSize) : FBuffer(std::max<std::size_t>(BufferSize, 1)) {}

TTextFileReader::~TTextFileReader() {
  if (!FOpen) return;
  FOpen = false;
  try {
    TTextFileReader::DoClose();
  } catch (...) {
    // A destructor cannot report the failure; Close reports it.
  }
}

void TTextFileReader::CheckOpen() const {
  if (!FOpen) RaiseInOutError(103);
}

void TTextFileReader::Open(const AnsiString& FileName) {
  if (FOpen) Close();
  DoOpen(FileName);
  FOpen = true;
  FPos = 0;
  FLen = 0;
  FEnd = false;
}

void TTextFileReader::Close() {
  CheckOpen();
  // The reader counts as closed even when the system reports a failure.
  FOpen = false;
  FPos = 0;
  FLen = 0;
  FEnd = false;
  DoClose();
}

bool TTextFileReader::Fill() {
  if (FEnd) return false;
  if (FPos < FLen) return true;
  FPos = 0;
  FLen = 0;
  std::size_t N = DoRead(FBuffer.data(), FBuffer.size());
  FLen = std::min(N, FBuffer.size());
  if (FLen == 0) {
    FEnd = true;
    return false;
  }
  return true;
}

bool TTextFileReader::Eof() {
  CheckOpen();
  if (!Fill()) return true;
  if (FBuffer[FPos] == CtrlZ) {
    FEnd = true;
    return true;
  }
  return false;
}

AnsiString TTextFileReader::ReadLine() {
  CheckOpen();
  AnsiString Line;
  while (Fill()) {
    const char* B = FBuffer.data();
    std::size_t I = FPos;
    while (I < FLen && B[I] != '\n' && B[I] != '\r' && B[I] != CtrlZ) ++I;
    Line.append(B + FPos, I - FPos);
    FPos = I;
    if (I == FLen) continue;
    char C = B[I];
    if (C == CtrlZ) {
      FEnd = true;
      break;
    }
    ++FPos;
    if (C == '\n') break;
    // A CR is never part of the text: before an LF it belongs to the line end, anywhere else it
    // is dropped and the line goes on. Either way it is skipped.
  }
  return Line;
}

#ifdef _WIN32

void TTextFileReader::DoOpen(const AnsiString& FileName) {
  HANDLE H = CreateFileA(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (H == INVALID_HANDLE_VALUE) RaiseInOutError(static_cast<int>(GetLastError()));
  FHandle = reinterpret_cast<intptr_t>(H);
}

std::size_t TTextFileReader::DoRead(char* Buffer, std::size_t Count) {
  DWORD Got = 0;
  DWORD Want = static_cast<DWORD>(std::min<std::size_t>(Count, 0x40000000));
  if (!ReadFile(reinterpret_cast<HANDLE>(FHandle), Buffer, Want, &Got, nullptr)) {
    DWORD Code = GetLastError();
    if (Code == ERROR_HANDLE_EOF || Code == ERROR_BROKEN_PIPE) return 0;
    RaiseInOutError(static_cast<int>(Code));
  }
  return Got;
}

void TTextFileReader::DoClose() {
  if (FHandle == -1) return;
  HANDLE H = reinterpret_cast<HANDLE>(FHandle);
  FHandle = -1;
  if (!CloseHandle(H)) RaiseInOutError(static_cast<int>(GetLastError()));
}

#else  // POSIX

void TTextFileReader::DoOpen(const AnsiString& FileName) {
  int Fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0) RaiseInOutError(InOutCode(errno));
  // A directory opens on POSIX systems but holds no text.
  struct stat St;
  if (::fstat(Fd, &St) == 0 && S_ISDIR(St.st_mode)) {
    ::close(Fd);
    RaiseInOutError(InOutCode(EISDIR));
  }
  FHandle = Fd;
}

std::size_t TTextFileReader::DoRead(char* Buffer, std::size_t Count) {
  for (;;) {
    ssize_t Got = ::read(static_cast<int>(FHandle), Buffer, std::min<std::size_t>(Count, 0x40000000));
    if (Got >= 0) return static_cast<std::size_t>(Got);
    if (errno != EINTR) RaiseInOutError(InOutCode(errno));
  }
}

void TTextFileReader::DoClose() {
  if (FHandle == -1) return;
  int Fd = static_cast<int>(FHandle);
  FHandle = -1;
  if (::close(Fd) != 0) RaiseInOutError(InOutCode(errno));
}

#endif
