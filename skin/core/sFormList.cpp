// The list of skinned forms and the redraw around a skin change. Win32.
#include "skin/core/sFormList.h"

#include <shellapi.h>

#include <memory>

#include "framework/Components.h"
#include "skin/core/acAnimation.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

bool acFormsUpdating = false;
TacProviderLink acProviderLink;

namespace {

// The list and its watcher live as long as the process: forms may come and go while the
// program's statics are being torn down. At shut-down the list is emptied and its memory released.
std::vector<TCustomForm*>& FormSlots() {
  static auto* Slots = new std::vector<TCustomForm*>();
  return *Slots;
}

// Hears of the destruction of registered forms and empties their slots, so that no walk ever
// meets a form that is gone.
class TFormListWatcher : public TComponent {
  T_CLASS(TFormListWatcher, TComponent)

 public:
  TFormListWatcher() : TComponent(nullptr) {}
  void Notification(TComponent* AComponent, TOperation Operation) override {
    if (Operation == opRemove)
      for (TCustomForm*& Slot : FormSlots())
        if (Slot == AComponent) Slot = nullptr;
    TComponent::Notification(AComponent, Operation);
  }
};

TFormListWatcher& Watcher() {
  static auto* Instance = new TFormListWatcher();
  return *Instance;
}

struct TFormListShutdown {
  ~TFormListShutdown() {
    for (TCustomForm* Form : FormSlots())
      if (Form != nullptr) Watcher().RemoveFreeNotification(Form);
    std::vector<TCustomForm*>().swap(FormSlots());
  }
};
TFormListShutdown FormListShutdown;

// The application's icons, asked of the shell when first drawn (the shell's first answer builds
// its image lists, which costs more than the rest of the start) and freed when the unit ends.
struct TAppIcons {
  bool Loaded = false;
  HICON Small = nullptr;
  HICON Large = nullptr;
  void Load() {
    Loaded = true;
    char Name[MAX_PATH] = {};
    const DWORD Length = GetModuleFileNameA(nullptr, Name, MAX_PATH);
    if (Length == 0 || Length >= MAX_PATH) return;
    Small = GetFileIcon(Name, SHGFI_SMALLICON);
    Large = GetFileIcon(Name, SHGFI_LARGEICON);
  }
  ~TAppIcons() {
    if (Small != nullptr) DestroyIcon(Small);
    if (Large != nullptr) DestroyIcon(Large);
    Small = Large = nullptr;
  }
};
TAppIcons AppIcons;

bool ApplicationMinimized() {
  return Application != nullptr && IsIconic(Application->Handle()) != FALSE;
}

bool FormMinimized(TCustomForm* Form) {
  return Form->WindowState() == wsMinimized || (Form->HandleAllocated() && IsIconic(Form->Handle()));
}

// A registered form that the redraw lock and restore concern: a visible top-level form with a
// window, not an MDI child, not being destroyed.
bool EligibleForm(TCustomForm* Form) {
  return Form != nullptr && !Form->IsDestroying() && Form->FormStyle() != fsMDIChild && Form->Parent() == nullptr &&
         Form->Visible() && Form->HandleAllocated();
}

TsSkinManager* ProviderManager(TObject* Provider) {
  return acProviderLink.Manager ? acProviderLink.Manager(Provider) : nullptr;
}
void SetProviderInUpdate(TObject* Provider, bool Value) {
  if (acProviderLink.SetInUpdate) acProviderLink.SetInUpdate(Provider, Value);
}
bool ProviderDrawsNonClient(TObject* Provider) {
  return acProviderLink.DrawNonClientArea && acProviderLink.DrawNonClientArea(Provider);
}

// The skin-changing animation of a manager: whether it runs and its time.
bool SkinChangingAnimated(TsSkinManager* Manager, int& Time) {
  Time = 0;
  if (Manager == nullptr || Manager->AnimEffects() == nullptr) return false;
  TacSkinChanging* Anim = Manager->AnimEffects()->SkinChanging();
  if (Anim == nullptr || !Anim->Active()) return false;
  Time = Anim->Time();
  return true;
}

// The message to a form, its control tree and its MDI client window.
void SendToForm(TCustomForm* Form, TMessage& Message, bool SendToWindow) {
  if (SendToWindow && Form->HandleAllocated())
    SendMessageW(Form->Handle(), Message.Msg, Message.WParam, Message.LParam);
  BroadcastSkinCommand(Form, Message);
  if (Form->FormStyle() == fsMDIForm && Form->ClientHandle() != nullptr)
    SendMessageW(Form->ClientHandle(), Message.Msg, Message.WParam, Message.LParam);
}

}  // namespace

HICON acAppIcon(bool Large) {
  if (!AppIcons.Loaded) AppIcons.Load();
  return Large ? AppIcons.Large : AppIcons.Small;
}

HWND ProviderBorderWindow(TObject* Provider) {
  return Provider != nullptr && acProviderLink.BorderWindow ? acProviderLink.BorderWindow(Provider) : nullptr;
}

TObject* FormSkinProvider(TCustomForm* Form) {
  if (Form == nullptr || !Form->HandleAllocated()) return nullptr;
  return reinterpret_cast<TObject*>(SendSkinCommand(Form->Handle(), AC_GETPROVIDER, 0));
}

// ---- The registered forms ----------------------------------------------------------------------

void RegisterSkinnedForm(TCustomForm* Form) {
  if (Form == nullptr) return;
  FormSlots().push_back(Form);
  Watcher().FreeNotification(Form);
}

void UnregisterSkinnedForm(TCustomForm* Form) {
  if (Form == nullptr || FormSlots().empty()) return;
  const std::size_t N = FormSlots().size();
  for (std::size_t I = 0; I < N; ++I) {
    if (FormSlots()[I] == Form) {
      FormSlots()[I] = FormSlots()[N - 1];
      FormSlots()[N - 1] = nullptr;
    }
  }
  // The moves above can bring the form back into a slot already passed ([A, B, A]): such a slot
  // is emptied too, so that an unregistered form is never reached again.
  for (TCustomForm*& Slot : FormSlots())
    if (Slot == Form) Slot = nullptr;
  if (FormSlots().back() == nullptr) FormSlots().pop_back();
  Watcher().RemoveFreeNotification(Form);
}

const std::vector<TCustomForm*>& RegisteredSkinnedForms() { return FormSlots(); }

// ---- The skin change ---------------------------------------------------------------------------

void BeginSkinChange(TsSkinManager* Manager) {
  if (ApplicationMinimized()) return;
  int Time = 0;
  if (Manager != nullptr && Manager->IsDefault() && SkinChangingAnimated(Manager, Time)) acFormsUpdating = true;
  for (std::size_t I = 0; I < FormSlots().size(); ++I) {
    TCustomForm* Form = FormSlots()[I];
    if (!EligibleForm(Form) || FormMinimized(Form)) continue;
    TObject* Provider = FormSkinProvider(Form);
    if (Provider == nullptr || ProviderManager(Provider) != Manager) continue;
    SetProviderInUpdate(Provider, true);
    SendMessageW(Form->Handle(), WM_SETREDRAW, 0, 0);
  }
}

void EndSkinChange(TsSkinManager* Manager, bool Repaint) {
  if (ApplicationMinimized()) return;
  if (Manager != nullptr && Manager->IsDefault()) acFormsUpdating = false;
  int AnimTime = 0;
  const bool Animated = SkinChangingAnimated(Manager, AnimTime);
  for (std::size_t I = 0; I < FormSlots().size(); ++I) {
    TCustomForm* Form = FormSlots()[I];
    if (!EligibleForm(Form)) continue;
    TObject* Provider = FormSkinProvider(Form);
    if (Provider == nullptr || ProviderManager(Provider) != Manager) continue;
    HWND Wnd = Form->Handle();
    if (FormMinimized(Form)) {
      // Not locked: the title bar a minimised form shows is painted in the new skin now, and the
      // rest once it is restored.
      if (Repaint)
        RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
      continue;
    }
    if (!Repaint) {
      SendMessageW(Wnd, WM_SETREDRAW, 1, 0);
      // The lock is over: the provider must not go on believing it is updating.
      SetProviderInUpdate(Provider, false);
      continue;
    }
    const bool NonClient = ProviderDrawsNonClient(Provider);
    if (Form->WindowState() == wsMaximized) MaximiseFormAgain(Wnd);
    if (Animated) AnimateFormShow(Form, NonClient ? AnimTime : 0);
    HWND Border = ProviderBorderWindow(Provider);
    SendMessageW(Wnd, WM_SETREDRAW, 1, 0);
    SetProviderInUpdate(Provider, false);
    if (NonClient) {
      if (!WindowsVersionAtLeast6()) SetWindowRgn(Wnd, nullptr, FALSE);
      if (acProviderLink.FillRgnRects) acProviderLink.FillRgnRects(Provider);
      if (acProviderLink.UpdateFormRgn) acProviderLink.UpdateFormRgn(Provider, true);
      RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      if (Border != nullptr && acProviderLink.UpdateBorderWindow) acProviderLink.UpdateBorderWindow(Provider, true, 255);
    } else {
      RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
  }
}

void MaximiseFormAgain(HWND Wnd) {
  const LONG Visible = GetWindowLongW(Wnd, GWL_STYLE) & WS_VISIBLE;
  SetWindowLongW(Wnd, GWL_STYLE, GetWindowLongW(Wnd, GWL_STYLE) & ~WS_VISIBLE);
  const HWND Active = GetActiveWindow();
  ShowWindow(Wnd, SW_MAXIMIZE);
  SetWindowLongW(Wnd, GWL_STYLE, (GetWindowLongW(Wnd, GWL_STYLE) & ~WS_VISIBLE) | Visible);
  if (Active != nullptr) SetActiveWindow(Active);
}

void BroadcastToSkinnedForms(TMessage& Message) {
  if (Application != nullptr) {
    for (int I = Application->ComponentCount() - 1; I >= 0; --I) {
      // A receiver may free components: the walk ends when the index falls out of the list.
      if (I >= Application->ComponentCount()) break;
      auto* Form = dynamic_cast<TForm*>(Application->Components(I));
      if (Form == nullptr || Form->FormStyle() == fsMDIChild) continue;
      const TComponentState State = Form->ComponentState();
      if (State.Contains(csDestroying) || State.Contains(csLoading)) continue;
      // A skinned form is reached through the registered list.
      if (Form->HandleAllocated() && WindowAnswersCommand(Form->Handle(), AC_ISSKINNED)) continue;
      SendToForm(Form, Message, true);
    }
  }
  SendToRegisteredForms(Message);
}

void SendToRegisteredForms(TMessage& Message) {
  for (std::size_t I = 0; I < FormSlots().size(); ++I) {
    TCustomForm* Form = FormSlots()[I];
    if (Form == nullptr || Form->IsDestroying()) continue;
    SendToForm(Form, Message, true);
  }
  if (acProviderLink.HookedWindows) {
    for (HWND Wnd : acProviderLink.HookedWindows())
      if (Wnd != nullptr && IsWindow(Wnd) && IsWindowVisible(Wnd))
        SendMessageW(Wnd, Message.Msg, Message.WParam, Message.LParam);
  }
}
