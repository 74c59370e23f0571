// Small scope helpers shared by every layer. Portable.
#pragma once

#include <exception>
#include <utility>

// Sets a flag for the length of a scope and gives it its earlier value back when the scope ends
// (also when it ends by an exception).
class TFlagScope {
 public:
  explicit TFlagScope(bool& Flag, bool Value = true) : FFlag(Flag), FOld(Flag) { FFlag = Value; }
  ~TFlagScope() { FFlag = FOld; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& FFlag;
  bool FOld;
};

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
