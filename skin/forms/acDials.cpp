// acDials: the thread hook's side of form and dialog skinning (providers, the provider list, the
// adapters of dialog children). The dialog window adapter is in acDialsWnd.cpp.
#include "skin/forms/acDials.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "framework/Forms.h"
#include "skin/controls/acBarAdapters.h"
#include "skin/controls/acMoreAdapters.h"
#include "skin/controls/acScrollAdapters.h"
#include "skin/controls/acStdAdapters.h"
#include "skin/core/sConst.h"
#include "skin/core/sFormList.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"

int DialogPosX = -1;
int DialogPosY = -1;

namespace {

std::vector<TacMnuWnd*> GMnuWnds;

TsSkinManager* DefManager() { return TsSkinManager::DefaultManager(); }

AnsiString LowerCase(AnsiString S) {
  for (char& C : S) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
  return S;
}

// Frees the providers the hook still holds when the program ends (the manager normally frees
// them with its hook).
struct TacDialsFinalizer {
  ~TacDialsFinalizer() {
    try {
      ClearMnuWnds();
      if (acHookProviderList != nullptr) {
        while (acHookProviderList->Count() > 0) acHookProviderList->Delete(0);
        delete acHookProviderList;
        acHookProviderList = nullptr;
      }
    } catch (...) {
    }
  }
} DialsFinalizer;

}  // namespace

// ---- install ------------------------------------------------------------------------------------

void acDialsInstall() {
  acMenuWndLink.ForgetAdapter = [](TacMnuWnd* Adapter) {
    for (TacMnuWnd*& A : GMnuWnds)
      if (A == Adapter) A = nullptr;
  };
  acMenuWndLink.Adapters = [] {
    std::vector<TacMnuWnd*> Result;
    for (TacMnuWnd* A : GMnuWnds)
      if (A != nullptr) Result.push_back(A);
    return Result;
  };
  acFormSkinningLink.CBTHookProc = CBTHookProc;
  acFormSkinningLink.ClearMnuWnds = ClearMnuWnds;
  acProviderLink.HookedWindows = [] {
    std::vector<HWND> Result;
    if (TObjectList* L = ProviderList()) {
      for (int I = 0; I < L->Count(); ++I) {
        auto* P = static_cast<TacProvider*>(L->Items(I));
        if (P != nullptr && P->DialogAdapter != nullptr && P->DialogHandle != nullptr) Result.push_back(P->DialogHandle);
      }
    }
    return Result;
  };
}

TObjectList* ProviderList() { return acHookProviderList; }

std::vector<TacMnuWnd*>& MnuWnds() { return GMnuWnds; }

void ClearMnuWnds() { GMnuWnds.clear(); }

// ---- the hook -----------------------------------------------------------------------------------

LRESULT CALLBACK CBTHookProc(int Code, WPARAM WParam, LPARAM LParam) {
  const LRESULT Result = CallNextHookEx(acCBTHookHandle, Code, WParam, LParam);
  try {
    switch (Code) {
      case HCBT_CREATEWND: {
        HWND Wnd = reinterpret_cast<HWND>(WParam);
        if (Wnd == nullptr) break;
        if (GetWndClassName(Wnd) == "#32768" && !IsDwmCompositionEnabled()) {
          TsSkinManager* M = DefManager();
          if (M != nullptr && M->SkinnedPopups() && !WindowAnswersCommand(Wnd, AC_ISSKINNED))
            GMnuWnds.push_back(TacMainWnd::Create<TacMnuWnd>(Wnd, nullptr, M, "MAINMENU", false));
        }
        break;
      }
      case HCBT_DESTROYWND:
        FreeDetachedProviders();
        break;
      case HCBT_ACTIVATE:
        SkinActivatedWindow(reinterpret_cast<HWND>(WParam));
        break;
      default:
        break;
    }
  } catch (...) {
    // A hook procedure never lets an exception out; the window stays as the system draws it.
  }
  return Result;
}

bool SkinActivatedWindow(HWND Wnd) {
  if (Wnd == nullptr || !IsWindow(Wnd)) return false;
  if (WindowAnswersCommand(Wnd, AC_ISSKINNED)) return false;
  TsSkinManager* M = DefManager();
  if (M == nullptr) return false;
  if (FindDialogProvider(Wnd) != nullptr) return false;
  TCustomForm* Form = FindVCLForm(Wnd);
  if (Form != nullptr && Form->Tag() == -98) return false;
  if (ProviderList() == nullptr) return false;

  const AnsiString ClassName = GetWndClassName(Wnd);
  const TacSkinningRules Rules = M->SkinningRules();
  if (Form != nullptr) {
    if (ClassName == "TApplication" || ClassName == "TQRStandardPreview" || ClassName == "TfcPopup") return false;
    if (ClassName == "TMessageForm") {
      if (!Rules.Contains(srStdDialogs)) return false;
    } else if (!Rules.Contains(srStdForms)) {
      return false;
    }
    auto* P = new TacProvider(nullptr);
    ProviderList()->Add(P);
    P->InitVCLForm(Form);
    if (Form->FormStyle() == fsMDIForm) {
      for (int I = 0; I < Form->MDIChildCount(); ++I) {
        TCustomForm* Child = Form->MDIChildren(I);
        if (Child == nullptr || (Child->HandleAllocated() && WindowAnswersCommand(Child->Handle(), AC_ISSKINNED)))
          continue;
        auto* CP = new TacProvider(nullptr);
        ProviderList()->Add(CP);
        CP->InitVCLForm(Child);
      }
    }
    return true;
  }
  if (ClassName != "#32770" || !Rules.Contains(srStdDialogs)) return false;
  if (VisibleDialogCount() > 0 && !HasChildOfClass(Wnd, "toolbarwindow32")) return false;
  auto* P = new TacProvider(nullptr);
  ProviderList()->Add(P);
  P->InitDialog(Wnd);
  return true;
}

// ---- TacProvider --------------------------------------------------------------------------------

TacProvider::TacProvider(TComponent* /*AOwner*/) : TComponent(nullptr) {}

TacProvider::~TacProvider() {
  if (SkinProvider != nullptr) {
    // A form provider only forgets its entry; the form owns the skin provider.
    if (TObjectList* L = ProviderList()) {
      const int I = L->IndexOf(this);
      if (I >= 0) {
        const bool Owns = L->OwnsObjects();
        L->SetOwnsObjects(false);
        L->SetItems(I, nullptr);
        L->SetOwnsObjects(Owns);
      }
    }
    return;
  }
  if (Adapters != nullptr) {
    for (int I = 0; I < Adapters->Count(); ++I) delete static_cast<TacMainWnd*>(Adapters->Items(I));
    delete Adapters;
    Adapters = nullptr;
  }
  delete DialogAdapter;
  DialogAdapter = nullptr;
}

bool TacProvider::InitVCLForm(TCustomForm* Form) {
  SkinProvider = new TsSkinProvider(Form);
  SkinProvider->Form = Form;
  if (IsDwmCompositionEnabled()) {
    if (SkinProvider->Adapter == nullptr) SkinProvider->Loaded();
    HWND H = Form->Handle();
    SetWindowLongA(H, GWL_STYLE, GetWindowLongA(H, GWL_STYLE) | WS_VISIBLE);
    RedrawWindow(H, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  }
  SkinProvider->SetMakeSkinMenu(false);
  return true;
}

bool TacProvider::InitDialog(HWND Wnd) {
  DialogHandle = Wnd;
  if (Adapters == nullptr) Adapters = new TList;
  TsSkinManager* M = DefManager();
  if (DialogAdapter != nullptr || M == nullptr || !M->Active()) return true;
  ControlParent = (GetWindowLongA(Wnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0;
  const AnsiString ClassName = GetWndClassName(Wnd);
  if (ClassName != "#32770" && ClassName != "TMessageForm") return true;
  InitDialogAdapter(Wnd, DialogAdapter);
  if (DialogAdapter == nullptr) return true;
  DialogAdapter->Provider = this;
  if (DialogPosX != -1 || DialogPosY != -1)
    SetWindowPos(Wnd, nullptr, DialogPosX, DialogPosY, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER);
  AdaptChildWindows(this, Wnd);
  DialogAdapter->InitParams();
  SendSkinCommand(Wnd, AC_NEWSKIN, reinterpret_cast<LPARAM>(M));
  DialogAdapter->WidenForCaption(DialogPosX != -1 || DialogPosY != -1);
  return true;
}

void InitDialogAdapter(HWND Wnd, TacDialogWnd*& Adapter) {
  TsSkinManager* M = DefManager();
  if (M != nullptr && M->Active()) {
    if (acUninitializeFlatSB != nullptr) acUninitializeFlatSB(Wnd);
    if (Adapter != nullptr && Adapter->Destroyed) {
      delete Adapter;
      Adapter = nullptr;
    }
    if (Adapter == nullptr) Adapter = TacMainWnd::Create<TacDialogWnd>(Wnd, nullptr, M, "DIALOG", false);
  } else {
    delete Adapter;
    Adapter = nullptr;
    if (acInitializeFlatSB != nullptr) acInitializeFlatSB(Wnd);
  }
}

// ---- queries ------------------------------------------------------------------------------------

TCustomForm* FindVCLForm(HWND Wnd) {
  if (Screen == nullptr || Wnd == nullptr) return nullptr;
  for (int I = Screen->FormCount() - 1; I >= 0; --I) {
    TCustomForm* F = Screen->Forms(I);
    if (F == nullptr) continue;
    if (F->HandleAllocated() && F->Handle() == Wnd) return F;
    if (F->FormStyle() == fsMDIForm) {
      for (int J = 0; J < F->MDIChildCount(); ++J) {
        TCustomForm* C = F->MDIChildren(J);
        if (C != nullptr && C->HandleAllocated() && C->Handle() == Wnd) return C;
      }
    }
  }
  return nullptr;
}

TacProvider* FindDialogProvider(HWND Wnd) {
  TObjectList* L = ProviderList();
  if (L == nullptr) return nullptr;
  for (int I = 0; I < L->Count(); ++I) {
    auto* P = static_cast<TacProvider*>(L->Items(I));
    if (P != nullptr && P->DialogHandle == Wnd) return P;
  }
  return nullptr;
}

int VisibleDialogCount() {
  TObjectList* L = ProviderList();
  if (L == nullptr) return 0;
  int N = 0;
  for (int I = 0; I < L->Count(); ++I) {
    auto* P = static_cast<TacProvider*>(L->Items(I));
    if (P != nullptr && P->DialogAdapter != nullptr && IsWindowVisible(P->DialogHandle)) ++N;
  }
  return N;
}

bool HasChildOfClass(HWND Wnd, const AnsiString& ClassName) {
  for (HWND C = GetTopWindow(Wnd); C != nullptr; C = GetWindow(C, GW_HWNDNEXT)) {
    if (LowerCase(GetWndClassName(C)) == ClassName) return true;
    if (HasChildOfClass(C, ClassName)) return true;
  }
  return false;
}

AnsiString GetWndClassName(HWND Wnd) {
  char Buf[128] = {};
  const int N = GetClassNameA(Wnd, Buf, sizeof(Buf));
  return AnsiString(Buf, N > 0 ? static_cast<std::size_t>(N) : 0);
}

void SendToChildren(HWND Wnd, TMessage& Message) {
  for (HWND C = GetTopWindow(Wnd); C != nullptr; C = GetWindow(C, GW_HWNDNEXT))
    SendMessageA(C, Message.Msg, Message.WParam, Message.LParam);
}

void FreeDetachedProviders() {
  TObjectList* L = ProviderList();
  if (L == nullptr) return;
  for (int I = 0; I < L->Count(); ++I) {
    auto* P = static_cast<TacProvider*>(L->Items(I));
    if (P != nullptr && P->DialogAdapter != nullptr && P->DialogAdapter->Destroyed &&
        P->DialogAdapter->WndProcDepth == 0)
      L->SetItems(I, nullptr);
  }
}

// ---- dialog children ----------------------------------------------------------------------------

TacDialogChildKind DialogChildKind(const AnsiString& ClassName, LONG Style, bool Visible, bool* ClearsPaintSuppress) {
  const AnsiString C = LowerCase(ClassName);
  bool Clears = false;
  TacDialogChildKind K{};
  if (C == "static") {
    if ((Style & 3) == 3 || (Style & 14) == 14)
      K = {dckIcon, "CHECKBOX"};
    else if ((Style & 13) == 13)
      K = {};
    else if ((Style & 31) == 5 || (Style & 31) == 6)
      K = {};
    else
      K = {dckStatic, "CHECKBOX"};
  } else if (C == "#32770") {
    K = {dckTransPanel, "CHECKBOX"};
  } else if (C == "tpanel" || C == "tsilentpaintpanel") {
    K = {dckDlgPanel, "PANEL"};
  } else if (C == "button") {
    const LONG T = Style & 15;
    if (T == 7)
      K = {dckGroupBox, "GROUPBOX"};
    else if (T == 0 || T == 1 || T == 8)
      K = {dckButton, "BUTTON"};
    else
      K = {dckCheckBox, "CHECKBOX"};
  } else if (C == "combobox" || C == "comboboxex32") {
    K = {dckComboBox, "COMBOBOX"};
    Clears = true;
  } else if (C == "combolbox") {
    K = {dckEdit, "COMBOBOX"};
    Clears = true;
  } else if (C == "scrollbar") {
    K = {dckSizer, "CHECKBOX"};
  } else if (C == "systabcontrol32") {
    if ((Style & 0x2000) == 0) K = {dckTabControl, "PAGECONTROL"};
  } else if (C == "syslistview32") {
    K = {dckListView, "EDIT"};
  } else if (C == "msctls_updown32") {
    K = {dckSpin, "SPEEDBUTTON_SMALL"};
  } else if (C == "listbox") {
    K = {dckEdit, "EDIT"};
  } else if (C == "link window" || C == "syslink") {
    K = {dckLink, "CHECKBOX"};
  } else if (C == "toolbarwindow32") {
    K = {dckToolBar, (Style & 0x200) == 0x200 ? "BAR" : "CHECKBOX"};
  } else if (C == "edit") {
    Clears = true;
    if (Visible) K = {dckEdit, "EDIT"};
  } else if (C == "systreeview32") {
    K = {dckTreeView, "EDIT"};
  } else if (C.find("shbrowseforfolder") != AnsiString::npos) {
    K = {dckTransPanel, "CHECKBOX"};
  }
  if (ClearsPaintSuppress != nullptr) *ClearsPaintSuppress = Clears;
  return K;
}

namespace {

// The adapter class of each kind of dialog child; dckNone gets none (the child keeps the system's
// look).
TacMainWndClass AdapterClassOf(TacDialogChildAdapter Kind) {
  switch (Kind) {
    case dckComboBox:
      return TacMainWnd::ClassRef<TacComboBoxWnd>();
    case dckEdit:
      return TacMainWnd::ClassRef<TacEditWnd>();
    case dckListView:
      return TacMainWnd::ClassRef<TacListViewWnd>();
    case dckTreeView:
      return TacMainWnd::ClassRef<TacTreeViewWnd>();
    case dckStatic:
      return TacMainWnd::ClassRef<TacStaticWnd>();
    case dckButton:
      return TacMainWnd::ClassRef<TacBtnWnd>();
    case dckCheckBox:
      return TacMainWnd::ClassRef<TacCheckBoxWnd>();
    case dckGroupBox:
      return TacMainWnd::ClassRef<TacGroupBoxWnd>();
    case dckTabControl:
      return TacMainWnd::ClassRef<TacTabControlWnd>();
    case dckIcon:
      return TacMainWnd::ClassRef<TacIconWnd>();
    case dckDlgPanel:
      return TacMainWnd::ClassRef<TacDlgPanelWnd>();
    case dckTransPanel:
      return TacMainWnd::ClassRef<TacTransPanelWnd>();
    case dckSizer:
      return TacMainWnd::ClassRef<TacSizerWnd>();
    case dckSpin:
      return TacMainWnd::ClassRef<TacSpinWnd>();
    case dckLink:
      return TacMainWnd::ClassRef<TacLinkWnd>();
    case dckToolBar:
      return TacMainWnd::ClassRef<TacToolBarWnd>();
    default:
      return nullptr;
  }
}

}  // namespace

bool AdaptDialogChild(TacProvider* Provider, HWND Wnd) {
  if (Wnd == nullptr) return false;
  if (WindowAnswersCommand(Wnd, AC_ISSKINNED)) return true;
  if (Provider == nullptr) return true;
  bool Clears = false;
  const TacDialogChildKind K =
      DialogChildKind(GetWndClassName(Wnd), GetWindowLongA(Wnd, GWL_STYLE), IsWindowVisible(Wnd) != FALSE, &Clears);
  // The adapters of a dialog's children keep the system's look inside a skinned frame (DlgMode),
  // but edits, list boxes, combo boxes and group boxes: in the system's white (and a group's
  // caption black on white) they would stand out of the dark dialog. Those are painted as the
  // skin paints a form's, their colours answered by the dialog adapter (WM_CTLCOLOREDIT ...).
  AdapterDlgMode = K.Adapter != dckEdit && K.Adapter != dckComboBox && K.Adapter != dckGroupBox;
  try {
    if (Clears && Provider->DialogAdapter != nullptr) Provider->DialogAdapter->PaintSuppress = false;
    if (TacMainWndClass Make = AdapterClassOf(K.Adapter)) {
      TsSkinManager* M = Provider->DialogAdapter != nullptr && Provider->DialogAdapter->SkinData != nullptr
                             ? Provider->DialogAdapter->SkinData->GetSkinManager()
                             : TsSkinManager::DefaultManager();
      TacMainWnd* A = Make(Wnd, nullptr, M, K.Section, true);
      if (A != nullptr) {
        if (Provider->Adapters == nullptr) Provider->Adapters = new TList;
        Provider->Adapters->Add(A);
        if (K.Adapter != dckDlgPanel) GetWndRects(A);
      }
    }
  } catch (...) {
    AdapterDlgMode = false;
    throw;
  }
  AdapterDlgMode = false;
  return true;
}

bool AdaptChildWindows(TacProvider* Provider, HWND Parent) {
  for (HWND C = GetTopWindow(Parent); C != nullptr; C = GetWindow(C, GW_HWNDNEXT)) {
    AdaptChildWindows(Provider, C);
    if ((GetWindowLongA(C, GWL_STYLE) & WS_CHILD) != 0) AdaptDialogChild(Provider, C);
  }
  return true;
}
