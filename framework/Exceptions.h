// Exceptions of the runtime. Every failure is raised as an exception carrying a message;
// the application's top-level handler shows the message. Portable.
#pragma once

#include <cstdio>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>

#include "framework/Types.h"

namespace detail {
// A byte string as a %s argument: the string itself, or, when it holds NUL bytes (which would end
// the text there), a copy in which each NUL byte is written as \x00.
struct TFormatText {
  explicit TFormatText(const AnsiString& S);
  const char* c_str() const { return FShown.empty() ? FText->c_str() : FShown.c_str(); }

 private:
  const AnsiString* FText;
  AnsiString FShown;
};
template <class T>
decltype(auto) FormatKeep(const T& v) {
  if constexpr (std::is_same_v<T, AnsiString>) return TFormatText(v);
  else return (v);
}
template <class T>
decltype(auto) FormatArg(const T& v) {
  if constexpr (std::is_same_v<T, TFormatText>) return v.c_str();
  else return v;
}
template <class... Args>
AnsiString FormatKept(const char* Fmt, const Args&... A);
AnsiString FormatV(const char* Fmt, ...);
template <class... Args>
AnsiString FormatKept(const char* Fmt, const Args&... A) {
  return FormatV(Fmt, FormatArg(A)...);
}
}  // namespace detail

// printf-style formatting into a byte string; AnsiString arguments may be passed directly (NUL
// bytes in them are shown as \x00).
template <class... Args>
AnsiString Format(const char* Fmt, const Args&... A) {
  return detail::FormatKept(Fmt, detail::FormatKeep(A)...);
}

class Exception : public std::exception {
 public:
  explicit Exception(AnsiString Msg) : Message(std::move(Msg)) {}
  template <class... Args>
  static Exception CreateFmt(const char* Fmt, const Args&... A) { return Exception(Format(Fmt, A...)); }

  const char* what() const noexcept override { return Message.c_str(); }
  virtual const char* ClassName() const { return "Exception"; }

  AnsiString Message;
  int HelpContext = 0;
};

#define T_EXCEPTION(Name, Parent)                                   \
  class Name : public Parent {                                      \
   public:                                                          \
    using Parent::Parent;                                           \
    const char* ClassName() const override { return #Name; }        \
  };

// Raised and caught silently: the top-level handler shows nothing for it.
T_EXCEPTION(EAbort, Exception)
T_EXCEPTION(EConvertError, Exception)
T_EXCEPTION(EListError, Exception)
T_EXCEPTION(EStringListError, Exception)
T_EXCEPTION(EStreamError, Exception)
T_EXCEPTION(EReadError, EStreamError)
T_EXCEPTION(EWriteError, EStreamError)
T_EXCEPTION(EFOpenError, EStreamError)
T_EXCEPTION(EFCreateError, EStreamError)
T_EXCEPTION(EResNotFound, Exception)
T_EXCEPTION(EInvalidGraphic, Exception)
T_EXCEPTION(EInvalidGraphicOperation, Exception)
T_EXCEPTION(EInvalidOperation, Exception)
T_EXCEPTION(EInvalidPointer, Exception)
T_EXCEPTION(EIntfCastError, Exception)
T_EXCEPTION(EOutOfResources, Exception)
T_EXCEPTION(EComponentError, Exception)
T_EXCEPTION(ERangeError, Exception)
T_EXCEPTION(EOSError, Exception)
// The program ran out of memory (the top-level handler turns std::bad_alloc into it).
T_EXCEPTION(EOutOfMemory, Exception)
inline constexpr const char* SOutOfMemory = "Out of memory";

// Input/output failure of a file operation; ErrorCode is the system error code.
class EInOutError : public Exception {
 public:
  EInOutError(AnsiString Msg, int Code) : Exception(std::move(Msg)), ErrorCode(Code) {}
  const char* ClassName() const override { return "EInOutError"; }
  int ErrorCode;
};

// The runtime's message for an input/output error code: "File not found" (2),
// "File access denied" (5), ..., otherwise "I/O error %d".
AnsiString InOutErrorMessage(int Code);
[[noreturn]] void RaiseInOutError(int Code);
