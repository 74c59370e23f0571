#include "framework/Components.h"

#include <algorithm>
#include <exception>

#include "framework/Scopes.h"
#include "framework/Strings.h"

namespace {

bool IsIdentStart(char C) {
  return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_';
}

bool IsIdentChar(char C) {
  return IsIdentStart(C) || (C >= '0' && C <= '9');
}

bool IsValidIdent(const AnsiString& S) {
  if (S.empty() || !IsIdentStart(S[0])) return false;
  return std::all_of(S.begin() + 1, S.end(), IsIdentChar);
}

// Removes the last occurrence of C (the usual case is the last element).
void EraseLast(std::vector<TComponent*>& V, TComponent* C) {
  for (std::size_t I = V.size(); I-- > 0;) {
    if (V[I] == C) {
      V.erase(V.begin() + static_cast<std::ptrdiff_t>(I));
      return;
    }
  }
}

}  // namespace

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner == nullptr) return;
  try {
    AOwner->InsertComponent(this);
  } catch (...) {
    // The component will not exist: nothing may keep pointing at it.
    if (FOwner != nullptr) FOwner->Remove(this);
    for (TComponent* C : FFreeNotifies) C->RemoveNotification(this);
    throw;
  }
}

TComponent::~TComponent() {
  Destroying();
  // Exceptions cannot leave a destructor: those raised by notifications are dropped, and the
  // component still leaves every list that refers to it.
  while (!FFreeNotifies.empty()) {
    TComponent* C = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    C->RemoveNotification(this);
    try {
      C->Notification(this, opRemove);
    } catch (...) {
    }
  }
  try {
    DestroyComponents();
  } catch (...) {
  }
  if (FOwner != nullptr) {
    try {
      FOwner->RemoveComponent(this);
    } catch (...) {
    }
  }
}

TComponent* TComponent::Components(int Index) const {
  if (static_cast<unsigned>(Index) >= FComponents.size())
    throw EListError(Format("List index out of bounds (%d)", Index));
  return FComponents[static_cast<unsigned>(Index)];
}

int TComponent::ComponentIndex() const {
  if (FOwner == nullptr) return -1;
  const auto& L = FOwner->FComponents;
  const auto It = std::find(L.begin(), L.end(), this);
  return It == L.end() ? -1 : static_cast<int>(It - L.begin());
}

void TComponent::SetComponentIndex(int Value) {
  const int I = ComponentIndex();
  if (I < 0) return;
  auto& L = FOwner->FComponents;
  const int Count = static_cast<int>(L.size());
  Value = std::clamp(Value, 0, Count - 1);
  if (Value == I) return;
  auto B = L.begin();
  if (I < Value)
    std::rotate(B + I, B + I + 1, B + Value + 1);
  else
    std::rotate(B + Value, B + I, B + I + 1);
}

TComponent* TComponent::FindComponent(const AnsiString& AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* C : FComponents)
    if (SameText(C->FName, AName)) return C;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent->FOwner == this) return;
  for (TComponent* O = this; O != nullptr; O = O->FOwner)
    if (O == AComponent)
      throw EComponentError(Format("Component %s cannot own itself or one of its owners",
                                   AComponent->FName.empty() ? AComponent->ClassName() : AComponent->FName.c_str()));
  ValidateRename(AComponent, AnsiString(), AComponent->FName);
  if (AComponent->FOwner != nullptr) AComponent->FOwner->RemoveComponent(AComponent);
  Insert(AComponent);
  if (FComponentState.Contains(csDesigning)) AComponent->SetDesigning(true);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent->FOwner != this) return;
  ValidateRename(AComponent, AComponent->FName, AnsiString());
  TScopeExit CleanUp([&] { Remove(AComponent); });
  Notification(AComponent, opRemove);
}

void TComponent::DestroyComponents() {
  std::exception_ptr First;
  while (!FComponents.empty()) {
    TComponent* Instance = FComponents.back();
    if (Instance->FComponentState.Contains(csFreeNotification) ||
        (FComponentState.Contains(csDesigning) && FComponentState.Contains(csInline))) {
      try {
        RemoveComponent(Instance);
      } catch (...) {
        if (!First) First = std::current_exception();
      }
    } else {
      Remove(Instance);
    }
    delete Instance;
  }
  if (First) std::rethrow_exception(First);
}

void TComponent::Insert(TComponent* AComponent) {
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
}

void TComponent::Remove(TComponent* AComponent) {
  EraseLast(FComponents, AComponent);
  AComponent->FOwner = nullptr;
}

void TComponent::SetName(const AnsiString& NewName) {
  if (FName == NewName) return;
  if (!NewName.empty() && !IsValidIdent(NewName))
    throw EComponentError(Format("'%s' is not a valid component name", NewName));
  if (FOwner != nullptr)
    FOwner->ValidateRename(this, FName, NewName);
  else
    ValidateRename(nullptr, FName, NewName);
  ChangeName(NewName);
}

void TComponent::ValidateRename(TComponent* AComponent, const AnsiString& CurName, const AnsiString& NewName) {
  if (AComponent != nullptr && !SameText(CurName, NewName) && FindComponent(NewName) != nullptr)
    throw EComponentError(Format("A component named %s already exists", NewName));
}

void TComponent::Destroying() {
  if (FComponentState.Contains(csDestroying)) return;
  FComponentState.Include(csDestroying);
  for (std::size_t I = 0; I < FComponents.size(); ++I) FComponents[I]->Destroying();
}

void TComponent::Loading() {
  FComponentState.Include(csLoading);
}

void TComponent::Loaded() {
  FComponentState.Exclude(csLoading);
}

void TComponent::BeginLoading() {
  Loading();
  for (std::size_t I = 0; I < FComponents.size(); ++I) FComponents[I]->BeginLoading();
}

void TComponent::EndLoading() {
  Loaded();
  for (std::size_t I = 0; I < FComponents.size(); ++I) FComponents[I]->EndLoading();
}

void TComponent::SetReading(bool Value) {
  if (Value)
    FComponentState.Include(csReading);
  else
    FComponentState.Exclude(csReading);
}

void TComponent::Updating() {
  FComponentState.Include(csUpdating);
}

void TComponent::Updated() {
  FComponentState.Exclude(csUpdating);
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
  if (Value)
    FComponentState.Include(csDesigning);
  else
    FComponentState.Exclude(csDesigning);
  if (SetChildren)
    for (std::size_t I = 0; I < FComponents.size(); ++I) FComponents[I]->SetDesigning(Value, true);
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent == this) return;
  if (FOwner == nullptr || AComponent->FOwner != FOwner) {
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end()) {
      FFreeNotifies.push_back(AComponent);
      AComponent->FreeNotification(this);
    }
  }
  FComponentState.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr) return;
  RemoveNotification(AComponent);
  AComponent->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* AComponent) {
  const auto It = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
  if (It != FFreeNotifies.end()) FFreeNotifies.erase(It);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent != nullptr) RemoveFreeNotification(AComponent);
  // Handlers may add or remove components while the notice travels.
  int I = static_cast<int>(FComponents.size()) - 1;
  while (I >= 0) {
    FComponents[static_cast<unsigned>(I)]->Notification(AComponent, Operation);
    --I;
    if (I >= static_cast<int>(FComponents.size())) I = static_cast<int>(FComponents.size()) - 1;
  }
}
