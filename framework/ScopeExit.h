#pragma once

// TScopeExit: a clean-up that runs when a scope is left, by a return or by an exception.
//
//   Canvas->SetHandle(DC);
//   TScopeExit Release([&] { Canvas->SetHandle(nullptr); });
//   Paint();
//
// Dismiss() keeps it from running (an undo needed only when the work fails, dismissed once the
// work is done). A clean-up that throws while an exception already leaves the scope is swallowed,
// so that the first failure is the one the caller sees; on a normal exit its exception goes on to
// the caller as any other.

#include <exception>
#include <utility>

template <class F>
class TScopeExit {
 public:
  explicit TScopeExit(F Fn) : FFn(std::move(Fn)), FUncaught(std::uncaught_exceptions()) {}
  ~TScopeExit() noexcept(false) {
    if (!FArmed) return;
    if (std::uncaught_exceptions() > FUncaught) {
      try {
        FFn();
      } catch (...) {
      }
      return;
    }
    FFn();
  }
  void Dismiss() { FArmed = false; }

  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

 private:
  F FFn;
  int FUncaught;
  bool FArmed = true;
};
