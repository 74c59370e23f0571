#include "framework/Exceptions.h"

#include <cstdarg>
#include <vector>

namespace detail {
TFormatText::TFormatText(const AnsiString& S) : FText(&S) {
  if (S.find('\0') == AnsiString::npos) return;
  FShown.reserve(S.size() + 8);
  for (char C : S) {
    if (C == '\0')
      FShown += "\\x00";
    else
      FShown += C;
  }
}

AnsiString FormatV(const char* Fmt, ...) {
  va_list ap;
  va_start(ap, Fmt);
  va_list ap2;
  va_copy(ap2, ap);
  int n = std::vsnprintf(nullptr, 0, Fmt, ap);
  va_end(ap);
  AnsiString out;
  if (n > 0) {
    std::vector<char> buf(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), Fmt, ap2);
    out.assign(buf.data(), static_cast<std::size_t>(n));
  }
  va_end(ap2);
  return out;
}
}  // namespace detail

AnsiString InOutErrorMessage(int Code) {
  switch (Code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 103: return "File not open";
    case 104: return "File not open for input";
    case 105: return "File not open for output";
    case 106: return "Invalid numeric input";
    default: return Format("I/O error %d", Code);
  }
}

void RaiseInOutError(int Code) { throw EInOutError(InOutErrorMessage(Code), Code); }
