// Small questions about components shared by the sources of the skin data unit (sCommonData,
// sCommonDataPaint, sCommonDataCommands). Not for use outside them.
#pragma once

#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"

namespace CommonDataImpl {

// ---- small questions about components

// Components are asked directly; any other object is first looked at as a component (a run-time
// type check, which the questions asked while painting avoid).
inline bool HasState(const TComponent* C, TComponentStateItem Item) {
  return C != nullptr && C->ComponentState().Contains(Item);
}
inline bool HasState(const TPersistent* Obj, TComponentStateItem Item) {
  return HasState(dynamic_cast<const TComponent*>(Obj), Item);
}
template <class T>
bool Destroying(const T* Obj) { return HasState(Obj, csDestroying); }
template <class T>
bool Designing(const T* Obj) { return HasState(Obj, csDesigning); }
template <class T>
bool Loading(const T* Obj) { return HasState(Obj, csLoading); }

inline bool IsEditLike(const TControl* Control) { return dynamic_cast<const TCustomEdit*>(Control) != nullptr; }

inline TWinControl* AsWindowed(TControl* Control) { return dynamic_cast<TWinControl*>(Control); }

// The form of a skin provider (the component that owns it); nullptr for anything else.
inline TCustomForm* ProviderForm(TPersistent* Obj) {
  auto* C = dynamic_cast<TComponent*>(Obj);
  if (C == nullptr || !C->InheritsFromName("TsSkinProvider")) return nullptr;
  return GetOwnerForm(C);
}


// ---- the manager's services

// The default manager's global colour, clBtnFace (as RGB) without a default manager.
inline TColor DefaultGlobalColor() {
  TsSkinManager* DM = TsSkinManager::DefaultManager();
  return DM != nullptr ? DM->GetGlobalColor() : static_cast<TColor>(ColorToRGB(clBtnFace));
}


// Hides the glow the skin data shows, if any.
void HideOwnGlow(TsCommonData* SkinData);

}  // namespace CommonDataImpl
