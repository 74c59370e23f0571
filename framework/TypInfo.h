// Published properties: a class's properties reachable by name at run time.
//
// Each class that publishes properties registers a table of them once (the T_PUBLISH block in the
// class's own source file). A look-up by object walks the object's class ancestry, so a class
// sees the properties of its ancestors, and a property published again by a descendant replaces
// the ancestor's. Names of properties, enumeration values and set elements are compared without
// regard to ASCII letter case. Portable.
//
//   T_PUBLISH(TsButton) {
//     P.Ordinal("Tag", &TsButton::Tag, &TsButton::SetTag);
//     P.Boolean("Enabled", &TsButton::Enabled, &TsButton::SetEnabled);
//     P.Set("Anchors", &TsButton::Anchors, &TsButton::SetAnchors, {"akLeft", "akTop", "akRight", "akBottom"});
//     P.Object("Font", &TsButton::Font);            // no setter: read-only
//     P.String("Caption", &TsButton::Caption, &TsButton::SetCaption);
//   }
//
// A getter or setter is a member function pointer or any callable taking the object (and the
// value). Ordinal-like values (integers, Booleans, enumerations, TSet) travel as 32-bit integers;
// a set is the integer of its bits 0..31.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/Object.h"
#include "framework/Types.h"

// A property that does not exist, has another kind, or cannot be written.
T_EXCEPTION(EPropertyError, Exception)
// A value text (an enumeration value or set element name) that the property does not know.
T_EXCEPTION(EPropertyConvertError, Exception)

enum TPropKind {
  pkOrdinal,      // an integer
  pkEnumeration,  // an enumeration (Booleans too: "False", "True")
  pkSet,          // a set of up to 32 elements
  pkObject,       // an object reference
  pkString,       // text
  pkFloat,        // a floating-point number (held as double)
};

// One published property. The accessors take the object whose class published the property (or
// a descendant); they are empty when the property is read-only or of another kind.
struct TPropInfo {
  AnsiString Name;
  TPropKind Kind = pkOrdinal;
  // The class that published it.
  const char* PublishedBy = "";
  // Enumerations: the value names from 0 on. Sets: the names of the elements of bits 0, 1, ...
  std::vector<AnsiString> ElementNames;

  std::function<int(TObject*)> GetOrd;
  std::function<void(TObject*, int)> SetOrd;
  std::function<TObject*(TObject*)> GetObject;
  std::function<void(TObject*, TObject*)> SetObject;
  std::function<AnsiString(TObject*)> GetStr;
  std::function<void(TObject*, const AnsiString&)> SetStr;
  std::function<double(TObject*)> GetFloat;
  std::function<void(TObject*, double)> SetFloat;

  bool IsOrdinalKind() const { return Kind == pkOrdinal || Kind == pkEnumeration || Kind == pkSet; }
  bool Writable() const { return SetOrd || SetObject || SetStr || SetFloat; }
};

// ---- Look-up ----------------------------------------------------------------------------------

// The property Name of the object's class or one of its ancestors; nullptr when there is none
// (or Obj is nullptr).
const TPropInfo* GetPropInfo(const TObject* Obj, std::string_view Name);
// The same for a registered class given by name (its registered ancestors included).
const TPropInfo* GetPropInfo(std::string_view ClassName, std::string_view Name);
bool IsPublishedProp(const TObject* Obj, std::string_view Name);
// Every published property of the object's class: the most distant ancestor's first, each name once.
std::vector<const TPropInfo*> GetPropList(const TObject* Obj);

// ---- Values -----------------------------------------------------------------------------------
// These raise EPropertyError "Property %s does not exist" for a missing property, "Property %s is
// not of the right kind" for another kind, and "Property %s is read-only" when writing one
// without a setter.

// Ordinal, enumeration or set properties (a set as the integer of its bits).
int GetOrdProp(TObject* Obj, std::string_view Name);
void SetOrdProp(TObject* Obj, std::string_view Name, int Value);
// Enumeration properties by value name. An unknown name raises EPropertyConvertError.
AnsiString GetEnumProp(TObject* Obj, std::string_view Name);
void SetEnumProp(TObject* Obj, std::string_view Name, std::string_view Value);
// Set properties as text: element names separated by commas, without brackets ("akLeft,akTop").
// SetSetProp takes the same text, optionally in brackets, with blanks around the names and empty
// items ignored; an unknown name raises EPropertyConvertError.
AnsiString GetSetProp(TObject* Obj, std::string_view Name, bool Brackets = false);
void SetSetProp(TObject* Obj, std::string_view Name, std::string_view Value);
TObject* GetObjectProp(TObject* Obj, std::string_view Name);
void SetObjectProp(TObject* Obj, std::string_view Name, TObject* Value);
AnsiString GetStrProp(TObject* Obj, std::string_view Name);
void SetStrProp(TObject* Obj, std::string_view Name, const AnsiString& Value);
double GetFloatProp(TObject* Obj, std::string_view Name);
void SetFloatProp(TObject* Obj, std::string_view Name, double Value);

// The text of a set value (element names of the set bits, comma-separated) and back.
AnsiString SetToString(const TPropInfo& Info, int Value, bool Brackets = false);
int StringToSet(const TPropInfo& Info, std::string_view Value);
// The name of an enumeration value ("" outside the names) and back (-1 when unknown).
AnsiString GetEnumName(const TPropInfo& Info, int Value);
int GetEnumValue(const TPropInfo& Info, std::string_view Name);

// ---- Registration -----------------------------------------------------------------------------

namespace detail {
// Registers Info for the class whose ancestry (own name first, then each parent up to TObject)
// is Ancestry. A property of the same name registered earlier for that class is replaced.
void RegisterPublishedProperty(const std::vector<const char*>& Ancestry, TPropInfo Info);

template <class T>
void AddClassAncestry(std::vector<const char*>& Out) {
  const char* N = T::StaticClassName();
  // A class without its own T_CLASS repeats its parent's name: list it once.
  if (Out.empty() || !TObject::SameClassName(Out.back(), N)) Out.push_back(N);
  if constexpr (!std::is_same_v<T, TObject>) AddClassAncestry<typename T::TClassParent>(Out);
}

template <class V>
struct IsTSet : std::false_type {};
template <class E>
struct IsTSet<TSet<E>> : std::true_type {};

template <class V>
int ToOrd(const V& Value) {
  if constexpr (IsTSet<V>::value) return static_cast<int>(static_cast<std::uint32_t>(Value.ToBits()));
  else if constexpr (std::is_same_v<V, bool>) return Value ? 1 : 0;
  else return static_cast<int>(Value);
}

template <class V>
V FromOrd(int Value) {
  if constexpr (IsTSet<V>::value) return V::FromBits(static_cast<std::uint32_t>(Value));
  else if constexpr (std::is_same_v<V, bool>) return Value != 0;
  else return static_cast<V>(Value);
}

// The object as T; EPropertyError when it is of another class (a class name shared by two classes).
template <class T>
T* AsClass(TObject* Obj, const char* PropName) {
  T* P = dynamic_cast<T*>(Obj);
  if (P == nullptr) throw EPropertyError(Format("Property %s does not belong to a %s", PropName, Obj ? Obj->ClassName() : "nil"));
  return P;
}
}  // namespace detail

// Adds the published properties of class T (see the example at the top).
template <class T>
class TPublisher {
 public:
  TPublisher() { detail::AddClassAncestry<T>(FAncestry); }

  // An integer property.
  template <class G, class S = std::nullptr_t>
  TPublisher& Ordinal(const char* Name, G Get, S Set = nullptr) {
    return AddOrdinal(Name, pkOrdinal, {}, std::move(Get), std::move(Set));
  }
  // An enumeration property with its value names from 0 on.
  template <class G, class S = std::nullptr_t>
  TPublisher& Enumeration(const char* Name, G Get, S Set, std::initializer_list<const char*> Names) {
    return AddOrdinal(Name, pkEnumeration, Names, std::move(Get), std::move(Set));
  }
  template <class G, class S = std::nullptr_t>
  TPublisher& Boolean(const char* Name, G Get, S Set = nullptr) {
    return AddOrdinal(Name, pkEnumeration, {"False", "True"}, std::move(Get), std::move(Set));
  }
  // A set property with the names of its elements of bits 0, 1, ... (at most 32).
  template <class G, class S = std::nullptr_t>
  TPublisher& Set(const char* Name, G Get, S Set, std::initializer_list<const char*> Names) {
    return AddOrdinal(Name, pkSet, Names, std::move(Get), std::move(Set));
  }
  // An object property. The setter receives the value cast to its parameter's class; a value of
  // another class raises EPropertyError.
  template <class G, class S = std::nullptr_t>
  TPublisher& Object(const char* Name, G Get, S Set = nullptr) {
    using R = std::invoke_result_t<G&, T*>;
    static_assert(std::is_pointer_v<std::decay_t<R>>, "an object property's getter returns a pointer");
    using Cls = std::remove_cv_t<std::remove_pointer_t<std::decay_t<R>>>;
    TPropInfo I = Start(Name, pkObject);
    I.GetObject = [Get, N = AnsiString(Name)](TObject* Obj) -> TObject* {
      return const_cast<Cls*>(std::invoke(Get, detail::AsClass<T>(Obj, N.c_str())));
    };
    if constexpr (!std::is_null_pointer_v<S>) {
      I.SetObject = [Set, N = AnsiString(Name)](TObject* Obj, TObject* Value) {
        Cls* V = nullptr;
        if (Value != nullptr) {
          V = dynamic_cast<Cls*>(Value);
          if (V == nullptr)
            throw EPropertyError(Format("Invalid value of property %s: a %s", N, Value->ClassName()));
        }
        std::invoke(Set, detail::AsClass<T>(Obj, N.c_str()), V);
      };
    }
    return Add(std::move(I));
  }
  // A text property (AnsiString or WideString, the latter converted through the ANSI code page).
  template <class G, class S = std::nullptr_t>
  TPublisher& String(const char* Name, G Get, S Set = nullptr) {
    using V = std::decay_t<std::invoke_result_t<G&, T*>>;
    TPropInfo I = Start(Name, pkString);
    I.GetStr = [Get, N = AnsiString(Name)](TObject* Obj) -> AnsiString {
      if constexpr (std::is_same_v<V, WideString>) return WideToAnsiText(std::invoke(Get, detail::AsClass<T>(Obj, N.c_str())));
      else return AnsiString(std::invoke(Get, detail::AsClass<T>(Obj, N.c_str())));
    };
    if constexpr (!std::is_null_pointer_v<S>) {
      I.SetStr = [Set, N = AnsiString(Name)](TObject* Obj, const AnsiString& Value) {
        if constexpr (std::is_same_v<V, WideString>) std::invoke(Set, detail::AsClass<T>(Obj, N.c_str()), AnsiToWideText(Value));
        else std::invoke(Set, detail::AsClass<T>(Obj, N.c_str()), Value);
      };
    }
    return Add(std::move(I));
  }
  // A floating-point property (float or double).
  template <class G, class S = std::nullptr_t>
  TPublisher& Float(const char* Name, G Get, S Set = nullptr) {
    using V = std::decay_t<std::invoke_result_t<G&, T*>>;
    static_assert(std::is_floating_point_v<V>, "a float property's getter returns a floating-point value");
    TPropInfo I = Start(Name, pkFloat);
    I.GetFloat = [Get, N = AnsiString(Name)](TObject* Obj) -> double {
      return static_cast<double>(std::invoke(Get, detail::AsClass<T>(Obj, N.c_str())));
    };
    if constexpr (!std::is_null_pointer_v<S>) {
      I.SetFloat = [Set, N = AnsiString(Name)](TObject* Obj, double Value) {
        std::invoke(Set, detail::AsClass<T>(Obj, N.c_str()), static_cast<V>(Value));
      };
    }
    return Add(std::move(I));
  }

 private:
  static AnsiString WideToAnsiText(const WideString& S);
  static WideString AnsiToWideText(const AnsiString& S);

  TPropInfo Start(const char* Name, TPropKind Kind) {
    TPropInfo I;
    I.Name = Name;
    I.Kind = Kind;
    I.PublishedBy = T::StaticClassName();
    return I;
  }
  TPublisher& Add(TPropInfo I) {
    detail::RegisterPublishedProperty(FAncestry, std::move(I));
    return *this;
  }
  template <class G, class S>
  TPublisher& AddOrdinal(const char* Name, TPropKind Kind, std::initializer_list<const char*> Names, G Get, S Set) {
    using V = std::decay_t<std::invoke_result_t<G&, T*>>;
    TPropInfo I = Start(Name, Kind);
    for (const char* N : Names) I.ElementNames.emplace_back(N);
    if (Kind == pkSet && I.ElementNames.size() > 32)
      throw EPropertyError(Format("Set property %s has more than 32 elements", Name));
    I.GetOrd = [Get, N = AnsiString(Name)](TObject* Obj) -> int {
      return detail::ToOrd<V>(std::invoke(Get, detail::AsClass<T>(Obj, N.c_str())));
    };
    if constexpr (!std::is_null_pointer_v<S>) {
      I.SetOrd = [Set, N = AnsiString(Name)](TObject* Obj, int Value) {
        std::invoke(Set, detail::AsClass<T>(Obj, N.c_str()), detail::FromOrd<V>(Value));
      };
    }
    return Add(std::move(I));
  }

  std::vector<const char*> FAncestry;
};

namespace detail {
AnsiString PublishedWideToAnsi(const WideString& S);
WideString PublishedAnsiToWide(const AnsiString& S);
}  // namespace detail

template <class T>
AnsiString TPublisher<T>::WideToAnsiText(const WideString& S) { return detail::PublishedWideToAnsi(S); }
template <class T>
WideString TPublisher<T>::AnsiToWideText(const AnsiString& S) { return detail::PublishedAnsiToWide(S); }

// Registers the published properties of Class when the program starts. The block that follows
// receives the publisher as P. Put it in the class's own source file, so that it is linked
// whenever the class is.
#define T_PUBLISH(Class)                                                   \
  static void TPublish_##Class(TPublisher<Class>& P);                      \
  [[maybe_unused]] static const bool TPublished_##Class = [] {             \
    TPublisher<Class> P;                                                   \
    TPublish_##Class(P);                                                   \
    return true;                                                           \
  }();                                                                     \
  static void TPublish_##Class([[maybe_unused]] TPublisher<Class>& P)
