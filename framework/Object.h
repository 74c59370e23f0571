// The root of the class tree: a virtual destructor and class-name queries.
// Portable.
#pragma once

#include <string_view>

// Declares a class's name and ancestry for the class-name queries. Put it first in the
// public part of every class that derives from TObject:
//   class TButton : public TButtonControl { T_CLASS(TButton, TButtonControl) ... };
// TClassParent names the parent class, so that the ancestry can also be walked at compile time
// (the published-property registry of TypInfo.h does).
#define T_CLASS(Class, Parent)                                                              \
 public:                                                                                    \
  using TClassParent [[maybe_unused]] = Parent;                                             \
  static constexpr const char* StaticClassName() { return #Class; }                        \
  const char* ClassName() const override { return #Class; }                                \
  bool InheritsFromName(std::string_view N) const override {                               \
    return TObject::SameClassName(N, #Class) || Parent::InheritsFromName(N);                \
  }

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  // The root has no parent class.
  using TClassParent = void;
  static constexpr const char* StaticClassName() { return "TObject"; }
  virtual const char* ClassName() const { return "TObject"; }
  // True when this class or one of its ancestors has the name N (letter case ignored).
  virtual bool InheritsFromName(std::string_view N) const { return SameClassName(N, "TObject"); }
  // True when the class's own name is N (letter case ignored).
  bool ClassNameIs(std::string_view N) const { return SameClassName(N, ClassName()); }

  static bool SameClassName(std::string_view A, std::string_view B);
};
