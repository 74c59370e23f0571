// Small scope helpers shared by every layer. Portable.
#pragma once

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
