// TsMDIForm: the MDI support of a skinned MDI main form.
//
// The client window of an MDI main form (TCustomForm::ClientHandle) hosts the child forms and is
// not painted through the form. The form's TsSkinProvider owns one TsMDIForm, which attaches a
// TacMDIWnd adapter (section "CHECKBOX") to that client window while the form's skin is in place
// and links the adapter back to the form, the provider and the provider's skin data.
// Win32.
#pragma once

#include "framework/Object.h"
#include "framework/Persistent.h"

class TCustomForm;
class TsSkinProvider;
class TacMDIWnd;

class TsMDIForm : public TPersistent {
  T_CLASS(TsMDIForm, TPersistent)

 public:
  // Stores the provider and its form; the form's window is created so that its client window
  // exists.
  explicit TsMDIForm(TsSkinProvider* AProvider);
  // Disconnect.
  ~TsMDIForm() override;

  // Connects unless the provider is being designed or an adapter is attached already.
  void Update();
  // Disconnect, then, when the provider's skin data is skinned, attaches a new TacMDIWnd to the
  // form's client window.
  void Connect();
  // Frees the adapter (and its own skin data); nothing when none.
  void Disconnect();
  // The provider's non-client refresh (form background, title, menu line).
  void UpdateFormNC();

  TCustomForm* Form = nullptr;
  TacMDIWnd* MDIWnd = nullptr;  // owned
  TsSkinProvider* Provider = nullptr;
};
