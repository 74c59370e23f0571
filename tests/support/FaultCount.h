// Counts the hardware faults (access violations and the like) raised in the process while an
// object of TFaultCount lives. Wine hands a fault inside a window procedure to the procedure's
// caller, which swallows it and goes on, so a test that sends messages passes over a crash unless
// it counts them: a vectored handler sees every fault before any frame handles it. Win32.
#pragma once

#include <windows.h>

namespace faultcount {

namespace detail {
inline volatile LONG Faults = 0;

inline bool IsFault(DWORD Code) {
  switch (Code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_STACK_OVERFLOW:
      return true;
    default:
      return false;
  }
}

inline LONG CALLBACK Handler(EXCEPTION_POINTERS* Info) {
  if (Info != nullptr && Info->ExceptionRecord != nullptr && IsFault(Info->ExceptionRecord->ExceptionCode))
    InterlockedIncrement(&Faults);
  return EXCEPTION_CONTINUE_SEARCH;
}
}  // namespace detail

class TFaultCount {
 public:
  TFaultCount() : FStart(detail::Faults), FHandle(AddVectoredExceptionHandler(1, detail::Handler)) {}
  ~TFaultCount() {
    if (FHandle != nullptr) RemoveVectoredExceptionHandler(FHandle);
  }
  TFaultCount(const TFaultCount&) = delete;
  TFaultCount& operator=(const TFaultCount&) = delete;
  // Faults seen since this object was made.
  int Count() const { return static_cast<int>(detail::Faults - FStart); }

 private:
  LONG FStart;
  PVOID FHandle;
};

}  // namespace faultcount
