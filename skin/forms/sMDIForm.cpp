// MDI support of a skinned MDI main form. Win32.
#include "skin/forms/sMDIForm.h"

#include "framework/Forms.h"
#include "skin/controls/acScrollAdapters.h"
#include "skin/core/sCommonData.h"
#include "skin/forms/sSkinProvider.h"

TsMDIForm::TsMDIForm(TsSkinProvider* AProvider) : Provider(AProvider) {
  Form = Provider != nullptr ? Provider->Form : nullptr;
  if (Form != nullptr) Form->HandleNeeded();
}

TsMDIForm::~TsMDIForm() { Disconnect(); }

void TsMDIForm::Update() {
  if (Provider == nullptr || Provider->IsDesigning()) return;
  if (MDIWnd == nullptr) Connect();
}

void TsMDIForm::Connect() {
  Disconnect();
  if (Provider == nullptr || Form == nullptr || Provider->SkinData() == nullptr ||
      !Provider->SkinData()->IsSkinned(false))
    return;
  HWND Client = Form->ClientHandle();
  if (Client == nullptr) return;
  MDIWnd = TacMainWnd::Create<TacMDIWnd>(Client, nullptr, Provider->SkinData()->GetSkinManager(), "CHECKBOX", true);
  MDIWnd->MDIForm = Form;
  MDIWnd->FormSkinData = Provider->SkinData();
  MDIWnd->Provider = Provider;
}

void TsMDIForm::Disconnect() {
  if (MDIWnd == nullptr) return;
  // The adapter made its own skin data (none was given) and frees it with itself.
  delete MDIWnd;
  MDIWnd = nullptr;
}

void TsMDIForm::UpdateFormNC() {
  if (Provider != nullptr) Provider->RefreshNonClient();
}
