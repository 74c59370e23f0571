// TPersistent: the base of objects that can copy their state from one another (Assign) and
// that know the object owning them (GetOwner). Lists, collections and components build on it.
// Portable.
#pragma once

#include "framework/Exceptions.h"
#include "framework/Object.h"

class TPersistent : public TObject {
  T_CLASS(TPersistent, TObject)

 public:
  // Copies Source's state into this object. The base asks Source to copy itself into this
  // object (AssignTo); when neither side knows the other, EConvertError
  // "Cannot assign a <source class> to a <this class>" is raised ("nil" for a null Source).
  virtual void Assign(TPersistent* Source) {
    if (Source != nullptr)
      Source->AssignTo(this);
    else
      AssignError(nullptr);
  }

  // The object that owns this one (a collection for its items, a component for its
  // collections), or nullptr.
  virtual TPersistent* GetOwner() { return nullptr; }

 protected:
  // Copies this object's state into Dest. The base cannot: it raises the assign error.
  virtual void AssignTo(TPersistent* Dest) { Dest->AssignError(this); }

  [[noreturn]] void AssignError(TPersistent* Source) {
    throw EConvertError(Format("Cannot assign a %s to a %s",
                               Source != nullptr ? Source->ClassName() : "nil", ClassName()));
  }
};
