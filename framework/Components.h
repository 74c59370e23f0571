// TComponent: ownership, names, state and free notification. Portable.
//
// Ownership. A component is created on the heap with its owner, `new TSomething(Owner)`, and
// the owner deletes it when the owner is destroyed (last created first). A component may also
// be deleted directly at any time; it then leaves its owner's list. Components must never live
// on the stack or inside another object while they have an owner.
//
// Notification. Notification(AComponent, Operation) reaches:
//  - the owner (and, through the owner's base Notification, every component it owns) when a
//    component is inserted (opInsert) or removed (opRemove) from the owner's list;
//  - every component linked by FreeNotification when the component is destroyed (opRemove).
// An override must call TComponent::Notification so that the notice travels on and free
// notification links to the departing component are dropped.
//
// Destruction runs: Destroying() (csDestroying on the component and all it owns), opRemove to
// every free-notification partner (the links are dropped both ways), the owned components are
// deleted, last first, and finally the component leaves its owner, which receives opRemove.
// Owned components that asked for free notification (csFreeNotification) are removed through
// RemoveComponent, so their siblings hear opRemove for them; others leave silently.
// As in any C++ destructor, by the time ~TComponent runs the derived parts of the component are
// gone: a derived class whose own Notification must see its owned components leave calls
// DestroyComponents() in its own destructor.
#pragma once

#include <vector>

#include "framework/Exceptions.h"
#include "framework/Persistent.h"
#include "framework/Types.h"

enum TComponentStateItem {
  csLoading,           // a stored description is being applied; cleared by Loaded
  csReading,           // the component's own properties are being read
  csWriting,
  csDestroying,        // set by Destroying
  csDesigning,
  csAncestor,
  csUpdating,          // between Updating and Updated
  csFixups,
  csFreeNotification,  // another component asked to hear of its destruction
  csInline,
  csDesignInstance,
};
using TComponentState = TSet<TComponentStateItem>;

enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
  T_CLASS(TComponent, TPersistent)

 public:
  // Inserts the component into AOwner's list (AOwner may be nullptr). The owner hears opInsert
  // before the derived constructors of the new component have run.
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  TComponent* Owner() const { return FOwner; }
  TPersistent* GetOwner() override { return FOwner; }

  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  // The owned components in creation order; EListError "List index out of bounds (%d)".
  TComponent* Components(int Index) const;
  // Position in the owner's list, -1 without an owner.
  int ComponentIndex() const;
  // Moves the component within its owner's list (the value is clamped to the list).
  void SetComponentIndex(int Value);
  // The owned component with this name (letter case ignored), or nullptr; nullptr for "".
  TComponent* FindComponent(const AnsiString& AName) const;

  // Takes AComponent into this component's list (removing it from its former owner first).
  // EComponentError when its name is already used here, or when AComponent is this component or
  // one of its owners.
  void InsertComponent(TComponent* AComponent);
  // Takes AComponent out of this component's list (nothing happens when it is not there).
  void RemoveComponent(TComponent* AComponent);
  // Deletes every owned component, last created first.
  void DestroyComponents();

  const AnsiString& Name() const { return FName; }
  // An identifier (a letter or '_', then letters, digits and '_') or empty. EComponentError
  // "'%s' is not a valid component name" or, when another component of the same owner has the
  // name (letter case ignored), "A component named %s already exists".
  virtual void SetName(const AnsiString& NewName);

  int Tag() const { return FTag; }
  void SetTag(int Value) { FTag = Value; }

  TComponentState ComponentState() const { return FComponentState; }
  // The component is going away (csDestroying), is being designed (csDesigning), or is applying a
  // stored description (csLoading).
  bool IsDestroying() const { return FComponentState.Contains(csDestroying); }
  bool IsDesigning() const { return FComponentState.Contains(csDesigning); }
  bool IsLoading() const { return FComponentState.Contains(csLoading); }

  // Sets csDestroying on this component and everything it owns.
  void Destroying();
  // Applying a stored description: Loading sets csLoading, Loaded clears it. BeginLoading calls
  // Loading on this component and every component it owns, at every depth; EndLoading calls
  // Loaded the same way in creation order (this component first).
  virtual void Loading();
  virtual void Loaded();
  void BeginLoading();
  void EndLoading();
  // csReading on this component only.
  void SetReading(bool Value);
  // csUpdating on this component.
  virtual void Updating();
  virtual void Updated();
  // csDesigning on this component and, with SetChildren, on everything it owns.
  void SetDesigning(bool Value, bool SetChildren = true);

  // Links this component and AComponent so that each hears Notification(other, opRemove) when
  // the other is destroyed. Components of the same owner already hear of each other through
  // the owner and are not linked; csFreeNotification is set on this component in any case.
  void FreeNotification(TComponent* AComponent);
  // Drops the link made by FreeNotification (both ways).
  void RemoveFreeNotification(TComponent* AComponent);

  // See the notes at the top. The base drops free-notification links to a departing component
  // and passes the notice on to every owned component (last first).
  virtual void Notification(TComponent* AComponent, TOperation Operation);

 protected:
  // Called on the owner before a component is renamed or inserted; raises the duplicate-name
  // error.
  virtual void ValidateRename(TComponent* AComponent, const AnsiString& CurName, const AnsiString& NewName);
  // Stores the new name (already validated).
  virtual void ChangeName(const AnsiString& NewName) { FName = NewName; }

 private:
  void Insert(TComponent* AComponent);
  void Remove(TComponent* AComponent);
  void RemoveNotification(TComponent* AComponent);

  TComponent* FOwner = nullptr;
  AnsiString FName;
  int FTag = 0;
  TComponentState FComponentState;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
};

// Hears whether a component is freed while it watches: code that calls a handler or runs a
// message loop, either of which may free the component, asks Freed() before it goes on.
class TFreeWatch : public TComponent {
  T_CLASS(TFreeWatch, TComponent)

 public:
  explicit TFreeWatch(TComponent* Watched) : TComponent(nullptr), FWatched(Watched) { Watched->FreeNotification(this); }
  ~TFreeWatch() override {
    if (FWatched != nullptr) FWatched->RemoveFreeNotification(this);
  }
  bool Freed() const { return FWatched == nullptr; }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FWatched) FWatched = nullptr;
  }

 private:
  TComponent* FWatched;
};
