// Counts the access violations raised in the process while a counter lives. Wine runs window
// procedures inside a guard that swallows access violations, so a test that crashes inside a
// window procedure would pass unnoticed; a vectored handler sees every one first. Win32.
#pragma once

#include <windows.h>

namespace faults {

inline volatile LONG& Counter() {
  static volatile LONG N = 0;
  return N;
}

inline LONG CALLBACK CountAccessViolation(EXCEPTION_POINTERS* E) {
  if (E != nullptr && E->ExceptionRecord != nullptr && E->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION)
    InterlockedIncrement(&Counter());
  return EXCEPTION_CONTINUE_SEARCH;
}

// Counts from construction on; Count() is the number seen so far.
class TAccessViolations {
 public:
  TAccessViolations() : FStart(Counter()), FHandler(AddVectoredExceptionHandler(1, CountAccessViolation)) {}
  ~TAccessViolations() {
    if (FHandler != nullptr) RemoveVectoredExceptionHandler(FHandler);
  }
  TAccessViolations(const TAccessViolations&) = delete;
  TAccessViolations& operator=(const TAccessViolations&) = delete;
  long Count() const { return Counter() - FStart; }

 private:
  LONG FStart;
  void* FHandler;
};

}  // namespace faults
