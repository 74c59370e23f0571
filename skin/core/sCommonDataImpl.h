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

inline bool HasState(const TPersistent* Obj, TComponentStateItem Item) {
  const auto* C = dynamic_cast<const TComponent*>(Obj);
  return C != nullptr && C->ComponentState().Contains(Item);
}
inline bool Destroying(const TPersistent* Obj) { return HasState(Obj, csDestroying); }
inline bool Designing(const TPersistent* Obj) { return HasState(Obj, csDesigning); }
inline bool Loading(const TPersistent* Obj) { return HasState(Obj, csLoading); }

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
