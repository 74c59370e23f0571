// The skinned system menu of forms.
#include "skin/forms/sSkinMenus.h"

#include "framework/Strings.h"

bool GetSysItemText(HMENU Menu, UINT Id, UINT Flags, WideString& Caption, WideString& ShortCutText) {
  Caption.clear();
  ShortCutText.clear();
  if (Menu == nullptr) return false;
  wchar_t Buffer[256] = {};
  const int N = GetMenuStringW(Menu, Id, Buffer, 255, Flags);
  if (N <= 0) return false;
  const WideString Text(Buffer, static_cast<std::size_t>(N));
  const std::size_t Tab = Text.find(L'\t');
  Caption = Text.substr(0, Tab);
  if (Tab != WideString::npos) ShortCutText = Text.substr(Tab + 1);
  return true;
}

TsSystemMenu::TsSystemMenu(TComponent* AOwner, TCustomForm* AForm) : TsCustomSysMenu(AOwner), FForm(AForm) {
  SetName("SysMenu");
  if (FForm != nullptr) FForm->FreeNotification(this);
  MakeSkinItems();
}

void TsSystemMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TsCustomSysMenu::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FForm) FForm = nullptr;
}

void TsSystemMenu::SendCommand(WPARAM Command) {
  if (FForm != nullptr && FForm->HandleAllocated()) SendMessageW(FForm->Handle(), WM_SYSCOMMAND, Command, 0);
}

TMenuItem* TsSystemMenu::MakeItem(const wchar_t* Name, int Command, const wchar_t* Fallback) {
  auto* It = new TMenuItem(this);
  It->SetName(WideToAnsi(Name));
  It->SetTag(Command);
  WideString Caption, Short;
  HMENU Sys = FForm != nullptr && FForm->HandleAllocated() ? GetSystemMenu(FForm->Handle(), FALSE) : nullptr;
  if (!GetSysItemText(Sys, static_cast<UINT>(Command), MF_BYCOMMAND, Caption, Short)) Caption = Fallback;
  It->SetCaption(Caption);
  Items()->Add(It);
  return It;
}

void TsSystemMenu::MakeSkinItems() {
  Items()->Clear();
  ItemRestore = ItemMove = ItemSize = ItemMinimize = ItemMaximize = ItemClose = nullptr;
  ExtraCount = 0;
  if (FForm == nullptr) return;
  HMENU Sys = GetSystemMenu(FForm->Handle(), FALSE);
  if (Sys == nullptr) return;
  auto Line = [this] {
    auto* L = new TMenuItem(this);
    L->SetCaption(WideString(L"-"));
    Items()->Add(L);
  };
  ItemRestore = MakeItem(L"acIR", SC_RESTORE, L"Restore");
  ItemRestore->OnClick = [this](TObject*) {
    SendCommand(SC_RESTORE);
    UpdateItems(false);
  };
  ItemMove = MakeItem(L"acIM", SC_MOVE, L"Move");
  ItemMove->OnClick = [this](TObject*) { SendCommand(SC_MOVE); };
  ItemSize = MakeItem(L"acIS", SC_SIZE, L"Size");
  ItemSize->OnClick = [this](TObject*) { SendCommand(SC_SIZE); };
  ItemMinimize = MakeItem(L"acIN", SC_MINIMIZE, L"Minimize");
  ItemMinimize->OnClick = [this](TObject*) {
    if (Application != nullptr && FForm != nullptr && Application->MainForm() == FForm) {
      Application->Minimize();
      UpdateItems(false);
    } else {
      SendCommand(SC_MINIMIZE);
    }
  };
  ItemMaximize = MakeItem(L"acIX", SC_MAXIMIZE, L"Maximize");
  ItemMaximize->OnClick = [this](TObject*) {
    SendCommand(SC_MAXIMIZE);
    UpdateItems(false);
  };
  Line();
  const int Count = GetMenuItemCount(Sys);
  for (int I = 0; I < Count; ++I) {
    const UINT Id = GetMenuItemID(Sys, I);
    if (Id == static_cast<UINT>(-1) || Id >= SC_SIZE) continue;
    WideString Caption, Short;
    if (!GetSysItemText(Sys, static_cast<UINT>(I), MF_BYPOSITION, Caption, Short)) continue;
    auto* It = new TMenuItem(this);
    It->SetCaption(Caption);
    It->SetTag(static_cast<int>(Id));
    if (!Short.empty()) It->SetShortCut(TextToShortCut(Short));
    It->OnClick = [this, Id](TObject*) {
      if (FForm != nullptr && FForm->HandleAllocated()) PostMessageW(FForm->Handle(), WM_SYSCOMMAND, Id, 0);
    };
    Items()->Add(It);
    ++ExtraCount;
  }
  if (ExtraCount > 0) Line();
  ItemClose = MakeItem(L"acIC", SC_CLOSE, L"Close");
  WideString Caption, Short;
  if (GetSysItemText(Sys, SC_CLOSE, MF_BYCOMMAND, Caption, Short) && !Short.empty())
    ItemClose->SetShortCut(TextToShortCut(Short));
  ItemClose->OnClick = [this](TObject*) { SendCommand(SC_CLOSE); };
}

void TsSystemMenu::UpdateItems(bool Rebuild) {
  if (Rebuild) MakeSkinItems();
  if (FForm == nullptr) return;
  if (ItemRestore != nullptr) {
    ItemRestore->SetVisible(VisibleRestore());
    ItemRestore->SetEnabled(EnabledRestore());
  }
  if (ItemMove != nullptr) {
    ItemMove->SetVisible(true);
    ItemMove->SetEnabled(EnabledMove());
  }
  if (ItemSize != nullptr) {
    ItemSize->SetVisible(VisibleSize());
    ItemSize->SetEnabled(EnabledSize());
  }
  if (ItemMinimize != nullptr) {
    ItemMinimize->SetVisible(VisibleMin());
    ItemMinimize->SetEnabled(EnabledMin());
  }
  if (ItemMaximize != nullptr) {
    ItemMaximize->SetVisible(VisibleMax());
    ItemMaximize->SetEnabled(EnabledMax());
  }
  if (ItemClose != nullptr) {
    ItemClose->SetVisible(VisibleClose());
    ItemClose->SetEnabled(true);
  }
}

void TsSystemMenu::AddSkinsItem() {
  TsSkinManager* M = SkinManager != nullptr ? SkinManager : TsSkinManager::DefaultManager();
  if (M == nullptr) return;
  TStringList Names;
  M->GetSkinNames(&Names, 2);
  if (Names.Count() == 0) return;
  auto* Root = new TMenuItem(this);
  Root->SetName("SkinSelectItem");
  Root->SetCaption(WideString(L"Available skins"));
  Items()->Insert(0, Root);
  auto* Line = new TMenuItem(this);
  Line->SetCaption(WideString(L"-"));
  Items()->Insert(1, Line);
  for (int I = 0; I < Names.Count(); ++I) {
    auto* It = new TMenuItem(this);
    It->SetCaption(Names.Strings(I));
    It->SetName("SkinSelectItem" + std::to_string(I));
    It->SetRadioItem(true);
    It->SetChecked(Names.Strings(I) == M->SkinName());
    if (I > 0 && I % 20 == 0) It->SetBreak(mbBreak);
    It->OnClick = [M](TObject* Sender) {
      auto* Clicked = static_cast<TMenuItem*>(Sender);
      AnsiString Name = WideToAnsi(StripHotkey(Clicked->Caption()));
      Name.erase(std::remove(Name.begin(), Name.end(), '&'), Name.end());
      const std::size_t P = Name.find("(internal)");
      if (P != AnsiString::npos) Name.erase(P + 10);
      M->SetSkinName(Name);
    };
    Root->Add(It);
  }
}

// ---- the rules ---------------------------------------------------------------------------------------

bool TsSystemMenu::IsIconicForm() const { return FForm != nullptr && FForm->HandleAllocated() && IsIconic(FForm->Handle()); }

bool TsSystemMenu::IsMDIChild() const { return FForm != nullptr && FForm->FormStyle() == fsMDIChild; }

bool TsSystemMenu::VisibleClose() {
  if (SysMenuStyleChanged) return SysMenuStyleChanged();
  if (FForm == nullptr) return false;
  if (FForm->HandleAllocated()) return (GetWindowLongW(FForm->Handle(), GWL_STYLE) & WS_SYSMENU) != 0;
  return FForm->BorderIcons().Contains(biSystemMenu) && FForm->BorderStyle() != bsNone;
}

namespace {
bool NoCaptionButtons(TFormBorderStyle BS) {
  return BS == bsDialog || BS == bsNone || BS == bsToolWindow || BS == bsSizeToolWin;
}
}  // namespace

bool TsSystemMenu::VisibleMax() {
  if (!VisibleClose()) return false;
  if (IsIconicForm() || IsMDIChild()) return true;
  const TFormBorderStyle BS = FForm->BorderStyle();
  if (NoCaptionButtons(BS)) return false;
  if (BS == bsSingle && !FForm->BorderIcons().Contains(biMaximize)) return false;
  return FForm->BorderIcons().Contains(biMaximize);
}

bool TsSystemMenu::VisibleMin() {
  if (!VisibleClose()) return false;
  if (IsIconicForm() || IsMDIChild()) return true;
  const TFormBorderStyle BS = FForm->BorderStyle();
  if (NoCaptionButtons(BS)) return false;
  if (BS == bsSingle && !FForm->BorderIcons().Contains(biMinimize)) return false;
  return FForm->BorderIcons().Contains(biMinimize);
}

bool TsSystemMenu::VisibleRestore() {
  if (!VisibleClose()) return false;
  if (IsMDIChild()) return true;
  return !NoCaptionButtons(FForm->BorderStyle());
}

bool TsSystemMenu::VisibleSize() {
  if (FForm == nullptr) return false;
  if (IsMDIChild()) return true;
  const TFormBorderStyle BS = FForm->BorderStyle();
  return !(BS == bsDialog || BS == bsNone || BS == bsToolWindow);
}

bool TsSystemMenu::EnabledMax() {
  if (FForm == nullptr || !FForm->BorderIcons().Contains(biMaximize)) return false;
  const TFormBorderStyle BS = FForm->BorderStyle();
  return IsMDIChild() || (FForm->WindowState() != wsMaximized && (BS == bsSingle || BS == bsSizeable));
}

bool TsSystemMenu::EnabledMin() {
  return FForm != nullptr && FForm->BorderIcons().Contains(biMinimize) && FForm->WindowState() != wsMinimized;
}

bool TsSystemMenu::EnabledRestore() {
  if (FForm == nullptr) return false;
  return FForm->WindowState() == wsMinimized ||
         (FForm->BorderIcons().Contains(biMaximize) && FForm->WindowState() != wsNormal);
}

bool TsSystemMenu::EnabledMove() { return FForm != nullptr && FForm->WindowState() != wsMaximized; }

bool TsSystemMenu::EnabledSize() { return FForm != nullptr && FForm->BorderStyle() != bsSingle && !IsIconicForm(); }
