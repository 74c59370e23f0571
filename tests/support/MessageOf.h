// The message of the exception that a piece of test code raises. Portable.
#pragma once

#include <string>
#include <utility>

namespace exctest {

// Runs Fn and returns the Message of the exception of type E it raises, or NoException when it
// raises none (exceptions of other types pass through).
template <class E, class F>
std::string MessageOf(F&& Fn, const std::string& NoException = "<no exception>") {
  try {
    std::forward<F>(Fn)();
  } catch (const E& X) {
    return X.Message;
  }
  return NoException;
}

}  // namespace exctest
