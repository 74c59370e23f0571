// What the sources of the forms unit share (Forms.cpp, FormsApplication.cpp, FormsHints.cpp).
// Not for other units. Win32.
#pragma once

#include <windows.h>

namespace formsimpl {

// The timer of the application window that shows and hides hints.
constexpr UINT_PTR HintTimerId = 1;

}  // namespace formsimpl
