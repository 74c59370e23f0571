#include "framework/Menus.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>

#include "framework/Scopes.h"
#include "framework/StdCtrls.h"
#include "framework/Strings.h"

namespace {

// --- command numbers: unique among all items of the program, kept clear of the dialog ids
// (IDOK ...) and of the system commands.
constexpr unsigned FirstCommand = 100;
constexpr unsigned LastCommand = 0xEFFF;

std::vector<bool>& UsedCommands() {
  static auto* Used = new std::vector<bool>(LastCommand + 1, false);
  return *Used;
}
unsigned NextCommand = FirstCommand;

Word AllocateCommand() {
  auto& Used = UsedCommands();
  for (unsigned N = FirstCommand; N <= LastCommand; ++N) {
    const unsigned C = NextCommand;
    NextCommand = C >= LastCommand ? FirstCommand : C + 1;
    if (!Used[C]) {
      Used[C] = true;
      return static_cast<Word>(C);
    }
  }
  throw EMenuError("Too many menu items");
}

void ReleaseCommand(Word C) {
  if (C >= FirstCommand && C <= LastCommand) UsedCommands()[C] = false;
}

// --- the popup list

struct TPopupList {
  HWND Window = nullptr;
  std::vector<TPopupMenu*> Menus;
};

TPopupList& PopupList() {
  static auto* List = new TPopupList;
  return *List;
}

LRESULT CALLBACK PopupListWindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  try {
    // A handler may free pop-up menus: the loops stop at the first menu that takes the message.
    const std::vector<TPopupMenu*> Menus(PopupList().Menus);
    switch (Msg) {
      case WM_COMMAND:
        for (TPopupMenu* M : Menus)
          if (M->DispatchCommand(LOWORD(WParam))) return 0;
        break;
      case WM_INITMENUPOPUP:
        for (TPopupMenu* M : Menus)
          if (M->DispatchPopup(reinterpret_cast<HMENU>(WParam))) return 0;
        break;
      case WM_MEASUREITEM: {
        auto* D = reinterpret_cast<MEASUREITEMSTRUCT*>(LParam);
        if (D == nullptr || D->CtlType != ODT_MENU) break;
        for (TPopupMenu* M : Menus)
          if (M->MeasureMenuItem(*D)) return TRUE;
        break;
      }
      case WM_DRAWITEM: {
        auto* D = reinterpret_cast<DRAWITEMSTRUCT*>(LParam);
        if (D == nullptr || D->CtlType != ODT_MENU) break;
        for (TPopupMenu* M : Menus)
          if (M->DrawMenuItem(*D)) return TRUE;
        break;
      }
      case WM_MENUSELECT:
        for (TPopupMenu* M : Menus)
          if (M->MenuSelect(WParam, LParam)) return 0;
        if (HIWORD(WParam) == 0xFFFF && LParam == 0 && Application != nullptr) Application->SetHint(WideString());
        return 0;
      case WM_MENUCHAR:
        for (TPopupMenu* M : Menus)
          if (LRESULT R = M->MenuChar(WParam, LParam); R != 0) return R;
        break;
      default:
        break;
    }
  } catch (...) {
    if (Application != nullptr) Application->HandleException(nullptr);
    return 0;
  }
  return DefWindowProcW(Window, Msg, WParam, LParam);
}

// --- the connection to controls and forms

void PopupAt(TPopupMenu* Menu, TControl* Control, int X, int Y) {
  if (Menu == nullptr || !Menu->AutoPopup()) return;
  Menu->SetPopupComponent(Control);
  Menu->Popup(X, Y);
}

HMENU MainMenuHandle(TMainMenu* Menu) { return Menu != nullptr ? Menu->AttachToForm() : nullptr; }
bool MainMenuCommand(TMainMenu* Menu, WORD Command) { return Menu != nullptr && Menu->DispatchCommand(Command); }
bool MainMenuPopup(TMainMenu* Menu, HMENU Submenu) { return Menu != nullptr && Menu->DispatchPopup(Submenu); }

void MergeMainMenu(TMainMenu* Bar, TMainMenu* Menu, bool On) {
  if (Bar == nullptr || Bar == Menu) return;
  if (On)
    Bar->Merge(Menu);
  else
    Bar->Unmerge(Menu);
}

void ConnectHooks() {
  MenuHooks.PopupAt = PopupAt;
  FormMenuHooks.Handle = MainMenuHandle;
  FormMenuHooks.DispatchCommand = MainMenuCommand;
  FormMenuHooks.DispatchPopup = MainMenuPopup;
  FormMenuHooks.MergeMenu = MergeMainMenu;
}

[[maybe_unused]] const bool HooksConnected = (ConnectHooks(), true);

// --- text helpers

WideString UpperText(WideString S) {
  if (!S.empty()) CharUpperBuffW(S.data(), static_cast<DWORD>(S.size()));
  return S;
}

struct TKeyName {
  Word Key;
  const wchar_t* Name;
};

constexpr TKeyName KeyNames[] = {
    {VK_BACK, L"BkSp"},  {VK_TAB, L"Tab"},   {VK_RETURN, L"Enter"}, {VK_ESCAPE, L"Esc"},  {VK_SPACE, L"Space"},
    {VK_PRIOR, L"PgUp"}, {VK_NEXT, L"PgDn"}, {VK_END, L"End"},      {VK_HOME, L"Home"},   {VK_LEFT, L"Left"},
    {VK_UP, L"Up"},      {VK_RIGHT, L"Right"}, {VK_DOWN, L"Down"},  {VK_INSERT, L"Ins"},  {VK_DELETE, L"Del"},
};

WideString KeyName(Word Key) {
  for (const TKeyName& K : KeyNames)
    if (K.Key == Key) return K.Name;
  if ((Key >= '0' && Key <= '9') || (Key >= 'A' && Key <= 'Z')) return WideString(1, static_cast<wchar_t>(Key));
  if (Key >= VK_F1 && Key <= VK_F24) return L"F" + std::to_wstring(Key - VK_F1 + 1);
  if (Key >= VK_NUMPAD0 && Key <= VK_NUMPAD9) return L"Num " + std::to_wstring(Key - VK_NUMPAD0);
  const UINT Char = MapVirtualKeyW(Key, MAPVK_VK_TO_CHAR) & 0x7FFF;
  if (Char > L' ') return UpperText(WideString(1, static_cast<wchar_t>(Char)));
  return WideString();
}

// A tick or a dot in the glyph cell of an item.
void DrawCheckMark(TCanvas* C, const TRect& Cell, TColor Color, bool Radio) {
  const int CX = Cell.Left + Cell.Width() / 2, CY = Cell.Top + Cell.Height() / 2;
  if (Radio) {
    C->Pen()->SetColor(Color);
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color);
    C->Ellipse(CX - 3, CY - 3, CX + 4, CY + 4);
    return;
  }
  C->Pen()->SetColor(Color);
  C->Pen()->SetStyle(psSolid);
  C->Pen()->SetWidth(1);
  for (int I = 0; I < 3; ++I) {
    C->MoveTo(CX - 3, CY - 1 + I);
    C->LineTo(CX - 1, CY + 1 + I);
    C->LineTo(CX + 4, CY - 4 + I);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Shortcuts

TShortCut ShortCut(Word Key, TShiftState Shift) {
  if (Key > 0xFF) return scNone;
  TShortCut R = Key;
  if (Shift.Contains(ssShift)) R |= scShift;
  if (Shift.Contains(ssCtrl)) R |= scCtrl;
  if (Shift.Contains(ssAlt)) R |= scAlt;
  return R;
}

void ShortCutToKey(TShortCut ShortCut, Word& Key, TShiftState& Shift) {
  Key = ShortCut & 0xFF;
  Shift = TShiftState();
  if (ShortCut & scShift) Shift.Include(ssShift);
  if (ShortCut & scCtrl) Shift.Include(ssCtrl);
  if (ShortCut & scAlt) Shift.Include(ssAlt);
}

WideString ShortCutToText(TShortCut ShortCut) {
  const WideString Name = KeyName(ShortCut & 0xFF);
  if (Name.empty()) return WideString();
  WideString R;
  if (ShortCut & scShift) R += L"Shift+";
  if (ShortCut & scCtrl) R += L"Ctrl+";
  if (ShortCut & scAlt) R += L"Alt+";
  return R + Name;
}

TShortCut TextToShortCut(const WideString& Text) {
  WideString Rest = UpperText(Text);
  TShortCut Mods = 0;
  for (bool Found = true; Found;) {
    Found = false;
    for (auto [Prefix, Bit] : {std::pair<const wchar_t*, TShortCut>{L"SHIFT+", scShift}, {L"CTRL+", scCtrl}, {L"ALT+", scAlt}}) {
      const WideString P(Prefix);
      if (Rest.size() > P.size() && Rest.compare(0, P.size(), P) == 0) {
        Mods |= Bit;
        Rest.erase(0, P.size());
        Found = true;
      }
    }
  }
  if (Rest.empty()) return scNone;
  for (Word Key = 1; Key <= 0xFF; ++Key) {
    const WideString Name = KeyName(Key);
    if (!Name.empty() && UpperText(Name) == Rest) return static_cast<TShortCut>(Key | Mods);
  }
  return scNone;
}

WideString StripHotkey(const WideString& Text) {
  WideString R;
  R.reserve(Text.size());
  for (std::size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] == L'&') {
      if (I + 1 < Text.size() && Text[I + 1] == L'&') {
        R += L'&';
        ++I;
      }
      continue;
    }
    R += Text[I];
  }
  return R;
}

TOwnerDrawState OwnerDrawStateOf(UINT S) {
  TOwnerDrawState R;
  if (S & ODS_SELECTED) R.Include(odSelected);
  if (S & ODS_GRAYED) R.Include(odGrayed);
  if (S & ODS_DISABLED) R.Include(odDisabled);
  if (S & ODS_CHECKED) R.Include(odChecked);
  if (S & ODS_FOCUS) R.Include(odFocused);
  if (S & ODS_DEFAULT) R.Include(odDefault);
  if (S & ODS_HOTLIGHT) R.Include(odHotLight);
  if (S & ODS_INACTIVE) R.Include(odInactive);
  if (S & ODS_NOACCEL) R.Include(odNoAccel);
  if (S & ODS_NOFOCUSRECT) R.Include(odNoFocusRect);
  if (S & ODS_COMBOBOXEDIT) R.Include(odComboBoxEdit);
  return R;
}

HWND PopupListWindow() {
  TPopupList& L = PopupList();
  if (L.Window != nullptr && IsWindow(L.Window)) return L.Window;
  static const wchar_t* const ClassName = L"TPopupList";
  if (!RegisterPlainWindowClass(ClassName, PopupListWindowProc))
    throw EOSError("Cannot register the window class TPopupList");
  L.Window = CreateWindowExW(WS_EX_TOOLWINDOW, ClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             ModuleInstance(), nullptr);
  if (L.Window == nullptr) throw EOSError(Format("Error creating window of class TPopupList (%u)", static_cast<unsigned>(GetLastError())));
  return L.Window;
}

namespace {

std::vector<HMENU>& PendingMenus() {
  static std::vector<HMENU> List;
  return List;
}

std::vector<HWND>& PendingWindows() {
  static std::vector<HWND> List;
  return List;
}

// The window that owns the menu loop running on this thread, nullptr when none runs.
HWND MenuLoopOwner(bool& Running) {
  GUITHREADINFO Info{};
  Info.cbSize = sizeof Info;
  Running = GetGUIThreadInfo(GetCurrentThreadId(), &Info) &&
            (Info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)) != 0;
  return Running ? Info.hwndMenuOwner : nullptr;
}

void DestroyMenuNow(HMENU Handle) {
  while (GetMenuItemCount(Handle) > 0)
    if (!RemoveMenu(Handle, 0, MF_BYPOSITION)) break;
  DestroyMenu(Handle);
}

}  // namespace

bool MenuLoopRunning() {
  bool Running = false;
  MenuLoopOwner(Running);
  return Running;
}

void ReleaseMenuHandle(HMENU Handle) {
  if (Handle == nullptr) return;
  if (MenuLoopRunning()) {
    PendingMenus().push_back(Handle);
    EndMenu();
    return;
  }
  DestroyMenuNow(Handle);
}

bool OwnsMenuLoop(HWND Window) {
  bool Running = false;
  return Window != nullptr && MenuLoopOwner(Running) == Window;
}

void ReleaseWindowAfterMenuLoop(HWND Window) {
  while (HWND Child = GetWindow(Window, GW_CHILD))
    if (!DestroyWindow(Child)) break;
  SetWindowLongPtrW(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
  ::SetMenu(Window, nullptr);
  SetWindowPos(Window, nullptr, 0, 0, 0, 0,
               SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  PendingWindows().push_back(Window);
  EndMenu();
}

void ReleasePendingMenus() {
  if ((PendingMenus().empty() && PendingWindows().empty()) || MenuLoopRunning()) return;
  std::vector<HWND> Windows;
  Windows.swap(PendingWindows());
  for (HWND Window : Windows) DestroyWindow(Window);
  std::vector<HMENU> List;
  List.swap(PendingMenus());
  for (HMENU Handle : List) DestroyMenuNow(Handle);
}

// ---------------------------------------------------------------------------------------------
// TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) { FCommand = AllocateCommand(); }

TMenuItem::~TMenuItem() {
  if (FParent != nullptr) {
    // Out of the parent first; a failure to build the parent's menu again cannot stop that.
    try {
      FParent->Detach(this);
    } catch (...) {
    }
  }
  while (!FItems.empty()) {
    TMenuItem* C = FItems.back();
    FItems.pop_back();
    C->FParent = nullptr;
    delete C;
  }
  if (FHandle != nullptr) {
    ReleaseMenuHandle(FHandle);
    FHandle = nullptr;
  }
  ReleaseCommand(FCommand);
}

void TMenuItem::SetCaption(const WideString& Value) {
  if (FCaption == Value) return;
  FCaption = Value;
  MenuChanged(true);
}

void TMenuItem::SetCaption(const AnsiString& Value) { SetCaption(AnsiToWide(Value)); }

void TMenuItem::SetHint(const AnsiString& Value) { FHint = AnsiToWide(Value); }

void TMenuItem::SetChecked(bool Value) {
  if (FChecked == Value) return;
  FChecked = Value;
  if (Value && FRadioItem && FParent != nullptr)
    for (TMenuItem* S : FParent->FItems)
      if (S != this && S->FRadioItem && S->FGroupIndex == FGroupIndex) S->FChecked = false;
  MenuChanged(true);
}

void TMenuItem::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  MenuChanged(true);
}

void TMenuItem::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  MenuChanged(true);
}

void TMenuItem::SetDefault(bool Value) {
  if (FDefault == Value) return;
  FDefault = Value;
  MenuChanged(true);
}

void TMenuItem::SetRadioItem(bool Value) {
  if (FRadioItem == Value) return;
  FRadioItem = Value;
  MenuChanged(true);
}

void TMenuItem::SetGroupIndex(Byte Value) {
  if (FGroupIndex == Value) return;
  FGroupIndex = Value;
  MenuChanged(true);
}

void TMenuItem::SetImageIndex(int Value) {
  if (FImageIndex == Value) return;
  FImageIndex = Value;
  MenuChanged(true);
}

void TMenuItem::SetShortCut(TShortCut Value) {
  if (FShortCut == Value) return;
  FShortCut = Value;
  MenuChanged(true);
}

void TMenuItem::SetBreak(TMenuBreak Value) {
  if (FBreak == Value) return;
  FBreak = Value;
  MenuChanged(true);
}

TBitmap* TMenuItem::Bitmap() {
  if (!FBitmap) {
    FBitmap = std::make_unique<TBitmap>();
    FBitmap->OnChange = [this](TObject*) { MenuChanged(true); };
  }
  return FBitmap.get();
}

void TMenuItem::SetBitmap(TBitmap* Value) {
  Bitmap()->Assign(Value);
  MenuChanged(true);
}

void TMenuItem::SetSubMenuImages(TCustomImageList* Value) {
  if (FSubMenuImages == Value) return;
  if (FSubMenuImages != nullptr) RemoveFreeNotification(FSubMenuImages);
  FSubMenuImages = Value;
  if (Value != nullptr) FreeNotification(Value);
  MenuChanged(true);
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FSubMenuImages) FSubMenuImages = nullptr;
}

TMenuItem* TMenuItem::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EMenuError("Menu index out of range");
  return FItems[static_cast<std::size_t>(Index)];
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
  auto It = std::find(FItems.begin(), FItems.end(), Item);
  return It == FItems.end() ? -1 : static_cast<int>(It - FItems.begin());
}

TMenuItem* TMenuItem::Find(const WideString& ACaption) const {
  const WideString Wanted = UpperText(StripHotkey(ACaption));
  for (TMenuItem* C : FItems)
    if (UpperText(StripHotkey(C->FCaption)) == Wanted) return C;
  return nullptr;
}

void TMenuItem::CheckInsert(int Index, TMenuItem* Item) const {
  if (Item == nullptr || Item->FParent != nullptr || Item->FMenu != nullptr) throw EMenuError("Menu inserted twice");
  if (Index < 0 || Index > Count()) throw EMenuError("Menu index out of range");
  for (const TMenuItem* P = this; P != nullptr; P = P->FParent)
    if (P == Item) throw EMenuError("A menu item cannot contain itself");
}

void TMenuItem::Add(TMenuItem* Item) { Insert(Count(), Item); }

void TMenuItem::Insert(int Index, TMenuItem* Item) {
  CheckInsert(Index, Item);
  FItems.insert(FItems.begin() + Index, Item);
  Item->FParent = this;
  MenuChanged(true);
}

void TMenuItem::Detach(TMenuItem* Item) {
  auto It = std::find(FItems.begin(), FItems.end(), Item);
  if (It == FItems.end()) return;
  FItems.erase(It);
  Item->FParent = nullptr;
  if (!IsDestroying()) MenuChanged(true);
}

void TMenuItem::Delete(int Index) { Detach(Items(Index)); }

void TMenuItem::Remove(TMenuItem* Item) {
  if (IndexOf(Item) < 0) throw EMenuError("Sub-menu is not in menu");
  Detach(Item);
}

void TMenuItem::Clear() {
  while (!FItems.empty()) delete FItems.back();
}

int TMenuItem::MenuIndex() const { return FParent != nullptr ? FParent->IndexOf(this) : -1; }

void TMenuItem::SetMenuIndex(int Value) {
  if (FParent == nullptr) return;
  auto& L = FParent->FItems;
  Value = std::clamp(Value, 0, static_cast<int>(L.size()) - 1);
  const int Old = MenuIndex();
  if (Old == Value) return;
  L.erase(L.begin() + Old);
  L.insert(L.begin() + Value, this);
  FParent->MenuChanged(true);
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* I = this;
  while (I->FParent != nullptr) I = I->FParent;
  return I->FMenu;
}

bool TMenuItem::IsTopLevel() const {
  return FParent != nullptr && FParent->FParent == nullptr && FParent->FMenu != nullptr && FParent->FMenu->IsMenuBar();
}

TCustomImageList* TMenuItem::ItemImages() const {
  if (FParent != nullptr && FParent->FSubMenuImages != nullptr) return FParent->FSubMenuImages;
  TMenu* M = GetParentMenu();
  return M != nullptr ? M->Images() : nullptr;
}

bool TMenuItem::IsOwnerDraw() const {
  TMenu* M = GetParentMenu();
  if (M != nullptr && (M->OwnerDraw() || M->Images() != nullptr)) return true;
  if (FParent != nullptr && FParent->FSubMenuImages != nullptr) return true;
  if (FBitmap && !FBitmap->Empty()) return true;
  return static_cast<bool>(OnDrawItem) || static_cast<bool>(OnAdvancedDrawItem);
}

HMENU TMenuItem::Handle() {
  // A system menu destroyed behind the item's back (with a window it was given to) is made again.
  if (FHandle != nullptr && !IsMenu(FHandle)) FHandle = nullptr;
  if (FHandle == nullptr) {
    const bool Bar = FParent == nullptr && FMenu != nullptr && FMenu->IsMenuBar();
    FHandle = Bar ? CreateMenu() : CreatePopupMenu();
    if (FHandle == nullptr) throw EOutOfResources("Out of system resources");
    try {
      PopulateHandle();
    } catch (...) {
      DestroyMenu(FHandle);
      FHandle = nullptr;
      throw;
    }
  }
  return FHandle;
}

void TMenuItem::InsertEntry(TMenuItem* C, UINT Position) {
  MENUITEMINFOW MI{};
  MI.cbSize = sizeof(MI);
  MI.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA | MIIM_SUBMENU;
  const bool OwnerDrawn = C->IsOwnerDraw();
  if (C->IsLine()) MI.fType |= MFT_SEPARATOR;
  if (OwnerDrawn) MI.fType |= MFT_OWNERDRAW;
  if (C->FRadioItem) MI.fType |= MFT_RADIOCHECK;
  if (C->FBreak == mbBreak) MI.fType |= MFT_MENUBREAK;
  if (C->FBreak == mbBarBreak) MI.fType |= MFT_MENUBARBREAK;
  MI.fState = (C->FChecked ? MFS_CHECKED : 0u) | (C->FEnabled ? MFS_ENABLED : MFS_GRAYED) | (C->FDefault ? MFS_DEFAULT : 0u);
  MI.wID = C->FCommand;
  MI.hSubMenu = C->Count() > 0 ? C->Handle() : nullptr;
  MI.dwItemData = reinterpret_cast<ULONG_PTR>(C);
  WideString Text;
  if (!OwnerDrawn && !C->IsLine()) {
    Text = C->FCaption;
    if (C->FShortCut != 0) {
      const WideString S = ShortCutToText(C->FShortCut);
      if (!S.empty()) Text += L"\t" + S;
    }
    MI.fMask |= MIIM_STRING;
    MI.dwTypeData = Text.data();
    MI.cch = static_cast<UINT>(Text.size());
  }
  if (!InsertMenuItemW(FHandle, Position, TRUE, &MI))
    throw EMenuError(Format("Cannot insert the menu item (%u)", static_cast<unsigned>(GetLastError())));
}

void TMenuItem::PopulateHandle() {
  while (GetMenuItemCount(FHandle) > 0)
    if (!RemoveMenu(FHandle, 0, MF_BYPOSITION)) break;
  UINT Position = 0;
  // A menu bar with a merged menu shows the items of both.
  if (auto* Bar = dynamic_cast<TMainMenu*>(FMenu); Bar != nullptr && FParent == nullptr && Bar->Merged() != nullptr) {
    for (TMenuItem* C : Bar->BarItems()) InsertEntry(C, Position++);
    return;
  }
  for (TMenuItem* C : FItems)
    if (C->FVisible) InsertEntry(C, Position++);
}

void TMenuItem::RebuildHandle() {
  if (FHandle != nullptr && !IsMenu(FHandle)) FHandle = nullptr;
  if (FHandle != nullptr) PopulateHandle();
}

void TMenuItem::RebuildTree() {
  for (TMenuItem* C : FItems) C->RebuildTree();
  RebuildHandle();
}

void TMenuItem::MenuChanged(bool Rebuild) {
  if (IsDestroying()) return;
  if (Rebuild) {
    RebuildHandle();
    if (FParent != nullptr) FParent->RebuildHandle();
  }
  if (TMenu* M = GetParentMenu()) M->MenuChanged(M, this, Rebuild);
}

TMenuItem* TMenuItem::FindItem(UINT_PTR Value, TFindItemKind Kind) {
  switch (Kind) {
    case fkCommand:
      if (FCommand == Value) return this;
      break;
    case fkHandle:
      if (FHandle != nullptr && reinterpret_cast<UINT_PTR>(FHandle) == Value) return this;
      break;
    case fkShortCut:
      if (FShortCut != 0 && FShortCut == Value) return this;
      break;
  }
  for (TMenuItem* C : FItems)
    if (TMenuItem* Found = C->FindItem(Value, Kind)) return Found;
  return nullptr;
}

TMenuItem* TMenuItem::FindPointer(const void* P) {
  if (P == this) return this;
  for (TMenuItem* C : FItems)
    if (TMenuItem* Found = C->FindPointer(P)) return Found;
  return nullptr;
}

void TMenuItem::Click() {
  if (OnClick) OnClick(this);
}

void TMenuItem::MeasureItem(TCanvas* ACanvas, int& Width, int& Height) {
  if (OnMeasureItem) OnMeasureItem(this, ACanvas, Width, Height);
}

void TMenuItem::DrawItem(TCanvas* ACanvas, const TRect& ARect, bool Selected) {
  if (OnDrawItem) {
    OnDrawItem(this, ACanvas, ARect, Selected);
    return;
  }
  DrawItemDefault(ACanvas, ARect, Selected ? TOwnerDrawState{odSelected} : TOwnerDrawState{}, IsTopLevel());
}

void TMenuItem::AdvancedDrawItem(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State, bool TopLevel) {
  if (OnAdvancedDrawItem) {
    OnAdvancedDrawItem(this, ACanvas, ARect, State);
  } else if (OnDrawItem) {
    DrawItem(ACanvas, ARect, State.Contains(odSelected));
  } else {
    DrawItemDefault(ACanvas, ARect, State, TopLevel);
  }
}

void TMenuItem::MeasureItemDefault(TCanvas* C, int& Width, int& Height) {
  const bool Top = IsTopLevel();
  if (IsLine()) {
    Width = 0;
    Height = Top ? C->TextHeight(L"W") : 8;
    return;
  }
  if (FDefault) C->Font()->SetStyle(C->Font()->Style() + fsBold);
  const TSize T = C->TextExtent(StripHotkey(FCaption));
  const int LineHeight = C->TextHeight(L"W");
  int GW = 16, GH = 16;
  bool HasGlyph = false;
  if (TCustomImageList* Images = ItemImages(); Images != nullptr && FImageIndex >= 0) {
    GW = Images->Width();
    GH = Images->Height();
    HasGlyph = true;
  } else if (FBitmap && !FBitmap->Empty()) {
    GW = FBitmap->Width();
    GH = FBitmap->Height();
    HasGlyph = true;
  }
  if (Top) {
    Width = T.cx + 12 + (HasGlyph ? GW + 4 : 0);
    Height = std::max(LineHeight + 4, HasGlyph ? GH + 4 : 0);
    return;
  }
  Width = GW + 8 + T.cx + 8;
  if (FShortCut != 0) Width += 24 + C->TextWidth(ShortCutToText(FShortCut));
  Height = std::max(LineHeight + 6, GH + 4);
}

void TMenuItem::DrawItemDefault(TCanvas* C, const TRect& R, TOwnerDrawState State, bool TopLevel) {
  const bool Selected = State.Contains(odSelected) || (TopLevel && State.Contains(odHotLight));
  const bool Disabled = !FEnabled || State.Contains(odDisabled) || State.Contains(odGrayed);
  C->Brush()->SetStyle(bsSolid);
  C->Brush()->SetColor(Selected ? clHighlight : TopLevel ? clMenuBar : clMenu);
  C->FillRect(R);
  if (IsLine()) {
    RECT L{R.Left + 2, R.Top + R.Height() / 2 - 1, R.Right - 2, R.Top + R.Height() / 2 + 1};
    DrawEdge(C->Handle(), &L, EDGE_ETCHED, BF_TOP);
    return;
  }
  const TColor Fore = Disabled ? clGrayText : Selected ? clHighlightText : clMenuText;
  TCustomImageList* Images = ItemImages();
  const bool HasImage = Images != nullptr && FImageIndex >= 0 && FImageIndex < Images->Count();
  const bool HasBitmap = FBitmap && !FBitmap->Empty();
  const int GW = HasImage ? Images->Width() : HasBitmap ? FBitmap->Width() : 16;
  const int GH = HasImage ? Images->Height() : HasBitmap ? FBitmap->Height() : 16;
  int X = R.Left + 6;
  if (!TopLevel || HasImage || HasBitmap) {
    const TRect Cell = Bounds(TopLevel ? R.Left + 4 : R.Left + 2, R.Top + (R.Height() - GH) / 2, GW, GH);
    if (HasImage)
      Images->Draw(C, Cell.Left, Cell.Top, FImageIndex, !Disabled);
    else if (HasBitmap)
      C->Draw(Cell.Left, Cell.Top, FBitmap.get());
    else if (FChecked)
      DrawCheckMark(C, Cell, Fore, FRadioItem);
    X = Cell.Right + (TopLevel ? 4 : 6);
  }
  C->Font()->SetColor(Fore);
  if (FDefault) C->Font()->SetStyle(C->Font()->Style() + fsBold);
  C->Brush()->SetStyle(bsClear);
  TTextFormat Format{tfSingleLine, tfVerticalCenter, tfExpandTabs};
  if (State.Contains(odNoAccel)) Format.Include(tfHidePrefix);
  TRect T = Rect(X, R.Top, R.Right - 4, R.Bottom);
  WideString Text = FCaption;
  C->TextRect(T, Text, Format);
  if (!TopLevel && FShortCut != 0) {
    WideString S = ShortCutToText(FShortCut);
    TRect SR = Rect(X, R.Top, R.Right - 8, R.Bottom);
    C->TextRect(SR, S, TTextFormat{tfSingleLine, tfVerticalCenter, tfRight});
  }
}

void TMenuItem::MeasureItemData(MEASUREITEMSTRUCT& Data) {
  TScratchDC DC;
  if (DC.Handle() == nullptr) throw EOutOfResources("Out of system resources");
  TCanvas C;
  C.SetHandle(DC.Handle());
  TScopeExit CleanUp([&] { C.SetHandle(nullptr); });
  if (Screen != nullptr) C.SetFont(Screen->MenuFont());
  int W = 0, H = 0;
  MeasureItemDefault(&C, W, H);
  MeasureItem(&C, W, H);
  Data.itemWidth = static_cast<UINT>(std::max(W, 0));
  Data.itemHeight = static_cast<UINT>(std::max(H, 0));
}

void TMenuItem::DrawItemData(const DRAWITEMSTRUCT& Data) {
  if (Data.hDC == nullptr) return;
  const int Saved = SaveDC(Data.hDC);
  TCanvas C;
  C.SetHandle(Data.hDC);
  TScopeExit CleanUp([&] {
    C.SetHandle(nullptr);
    RestoreDC(Data.hDC, Saved);
  });
  if (Screen != nullptr) C.SetFont(Screen->MenuFont());
  const TRect R = Rect(Data.rcItem.left, Data.rcItem.top, Data.rcItem.right, Data.rcItem.bottom);
  AdvancedDrawItem(&C, R, OwnerDrawStateOf(Data.itemState), IsTopLevel());
}

// ---------------------------------------------------------------------------------------------
// TMenu

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(std::make_unique<TMenuItem>(nullptr)) {
  ConnectHooks();
  FItems->FMenu = this;
  FImageChangeLink = std::make_unique<TChangeLink>();
  FImageChangeLink->OnChange = [this](TObject*) {
    FItems->RebuildTree();
    MenuChanged(this, nullptr, true);
  };
}

TMenu::~TMenu() {
  // The items go without telling the menu, which is going too.
  FItems->FMenu = nullptr;
  FItems->Destroying();
  FItems.reset();
  if (FImages != nullptr) FImages->UnRegisterChanges(FImageChangeLink.get());
}

void TMenu::SetOwnerDraw(bool Value) {
  if (FOwnerDraw == Value) return;
  FOwnerDraw = Value;
  FItems->RebuildTree();
  MenuChanged(this, nullptr, true);
}

void TMenu::SetImages(TCustomImageList* Value) {
  if (FImages == Value) return;
  if (FImages != nullptr) {
    FImages->UnRegisterChanges(FImageChangeLink.get());
    RemoveFreeNotification(FImages);
  }
  FImages = Value;
  if (Value != nullptr) {
    Value->RegisterChanges(FImageChangeLink.get());
    FreeNotification(Value);
  }
  FItems->RebuildTree();
  MenuChanged(this, nullptr, true);
}

void TMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImages) {
    FImages = nullptr;
    if (!IsDestroying()) FItems->RebuildTree();
  }
}

HWND TMenu::WindowHandle() { return FWindowHandle; }

TMenuItem* TMenu::FindItem(UINT_PTR Value, TFindItemKind Kind) {
  if (TMenuItem* Found = FItems->FindItem(Value, Kind)) return Found;
  TMenu* M = MergedMenu();
  if (M == nullptr) return nullptr;
  TMenuItem* Found = M->FItems->FindItem(Value, Kind);
  return Found == M->FItems.get() ? nullptr : Found;
}

TMenuItem* TMenu::ItemOfData(ULONG_PTR Data, UINT Id) {
  TMenuItem* Item = nullptr;
  if (Data != 0) Item = FItems->FindPointer(reinterpret_cast<const void*>(Data));
  if (Item == nullptr && Data != 0 && MergedMenu() != nullptr)
    Item = MergedMenu()->FItems->FindPointer(reinterpret_cast<const void*>(Data));
  if (Item == nullptr && Id != 0) Item = FindItem(Id, fkCommand);
  if (Item == FItems.get() || (MergedMenu() != nullptr && Item == MergedMenu()->FItems.get())) return nullptr;
  return Item;
}

bool TMenu::DispatchCommand(Word ACommand) {
  TMenuItem* Item = FindItem(ACommand, fkCommand);
  if (Item == nullptr || Item == FItems.get()) return false;
  Item->Click();
  return true;
}

bool TMenu::DispatchPopup(HMENU AHandle) {
  if (AHandle == nullptr) return false;
  TMenuItem* Item = FindItem(reinterpret_cast<UINT_PTR>(AHandle), fkHandle);
  if (Item == nullptr) return false;
  Item->Click();
  // What the click changed (and drawing events assigned since) shows in the opening menu.
  Item->RebuildHandle();
  return true;
}

bool TMenu::MeasureMenuItem(MEASUREITEMSTRUCT& Data) {
  TMenuItem* Item = ItemOfData(Data.itemData, Data.itemID);
  if (Item == nullptr) return false;
  Item->MeasureItemData(Data);
  return true;
}

bool TMenu::DrawMenuItem(const DRAWITEMSTRUCT& Data) {
  TMenuItem* Item = ItemOfData(Data.itemData, Data.itemID);
  if (Item == nullptr) return false;
  Item->DrawItemData(Data);
  return true;
}

bool TMenu::MenuSelect(WPARAM WParam, LPARAM LParam) {
  const UINT Flags = HIWORD(WParam);
  if (Flags == 0xFFFF && LParam == 0) return false;  // the menu closed
  TMenuItem* Item = nullptr;
  if ((Flags & MF_POPUP) != 0) {
    HMENU Sub = GetSubMenu(reinterpret_cast<HMENU>(LParam), LOWORD(WParam));
    if (Sub != nullptr) Item = FindItem(reinterpret_cast<UINT_PTR>(Sub), fkHandle);
  } else {
    Item = FindItem(LOWORD(WParam), fkCommand);
  }
  if (Item == nullptr || Item == FItems.get()) return false;
  if (Application != nullptr) Application->SetHint(GetLongHint(Item->Hint()));
  return true;
}

LRESULT TMenu::MenuChar(WPARAM WParam, LPARAM LParam) {
  TMenuItem* Parent = FindItem(static_cast<UINT_PTR>(LParam), fkHandle);
  if (Parent == nullptr || LParam == 0) return 0;
  const auto Key = static_cast<wchar_t>(LOWORD(WParam));
  int Position = 0;
  for (TMenuItem* C : Parent->FItems) {
    if (!C->Visible()) continue;
    if (C->Enabled() && !C->IsLine() && IsAccel(Key, C->Caption())) return MAKELRESULT(Position, MNC_EXECUTE);
    ++Position;
  }
  return 0;
}

void TMenu::RebuildItems() { FItems->RebuildTree(); }

void TMenu::MenuChanged(TObject* Sender, TMenuItem* Source, bool Rebuild) {
  if (OnChange) OnChange(Sender, Source, Rebuild);
}

// ---------------------------------------------------------------------------------------------
// TMainMenu

// The main menu's handler in its form's WindowProc chain. The handler stays in the chain as a
// plain pass-through when the menu goes away while the form cannot be told (it is going too).
struct TMainMenu::TFormLink {
  TMainMenu* Menu = nullptr;
  TWndMethod Saved;
};

TMainMenu::TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}

TMainMenu::~TMainMenu() {
  if (FMergedInto != nullptr) FMergedInto->Unmerge(this);
  if (FMerged != nullptr) {
    FMerged->FMergedInto = nullptr;
    RemoveFreeNotification(FMerged);
    FMerged = nullptr;
  }
  Unhook();
}

std::vector<TMenuItem*> TMainMenu::BarItems() const {
  std::vector<TMenuItem*> Bar;
  std::vector<TMenuItem*> Other;
  if (FMerged != nullptr)
    for (int I = 0; I < FMerged->Items()->Count(); ++I)
      if (TMenuItem* C = FMerged->Items()->Items(I); C->Visible()) Other.push_back(C);
  auto Replaced = [&Other](const TMenuItem* C) {
    return std::any_of(Other.begin(), Other.end(), [C](const TMenuItem* O) { return O->GroupIndex() == C->GroupIndex(); });
  };
  for (int I = 0; I < Items()->Count(); ++I)
    if (TMenuItem* C = Items()->Items(I); C->Visible() && !Replaced(C)) Bar.push_back(C);
  for (TMenuItem* O : Other) {
    auto At = Bar.begin();
    for (auto It = Bar.begin(); It != Bar.end(); ++It)
      if ((*It)->GroupIndex() <= O->GroupIndex()) At = It + 1;
    Bar.insert(At, O);
  }
  return Bar;
}

void TMainMenu::BarChanged() {
  // The bar's entries are made again and the bar redrawn.
  Items()->MenuChanged(true);
}

void TMainMenu::Merge(TMainMenu* Menu) {
  if (Menu == this || Menu == FMerged) return;
  if (FMerged != nullptr) {
    FMerged->FMergedInto = nullptr;
    RemoveFreeNotification(FMerged);
  }
  FMerged = Menu;
  if (Menu != nullptr) {
    if (Menu->FMergedInto != nullptr && Menu->FMergedInto != this) Menu->FMergedInto->Unmerge(Menu);
    Menu->FMergedInto = this;
    FreeNotification(Menu);
  }
  BarChanged();
}

void TMainMenu::Unmerge(TMainMenu* Menu) {
  if (Menu == nullptr || Menu != FMerged) return;
  FMerged->FMergedInto = nullptr;
  RemoveFreeNotification(FMerged);
  FMerged = nullptr;
  if (!IsDestroying()) BarChanged();
}

HWND TMainMenu::WindowHandle() {
  if (FForm != nullptr && FForm->HandleAllocated()) return FForm->Handle();
  return TMenu::WindowHandle();
}

HMENU TMainMenu::AttachToForm() {
  TCustomForm* Form = nullptr;
  if (FForm != nullptr && FForm->Menu() == this && FForm->HandleAllocated()) Form = FForm;
  if (Form == nullptr && Screen != nullptr) {
    for (int I = 0; I < Screen->FormCount(); ++I) {
      TCustomForm* F = Screen->Forms(I);
      if (F->Menu() == this && F->HandleAllocated()) {
        Form = F;
        break;
      }
    }
  }
  if (Form != FForm) {
    Unhook();
    if (Form != nullptr) Hook(Form);
  }
  return Handle();
}

void TMainMenu::Hook(TCustomForm* Form) {
  auto Link = std::make_shared<TFormLink>();
  Link->Menu = this;
  Link->Saved = Form->WindowProc();
  Form->SetWindowProc([Link](TMessage& M) {
    if (Link->Menu != nullptr)
      Link->Menu->FormWindowProc(M, Link->Saved);
    else
      Link->Saved(M);
  });
  FLink = Link;
  FForm = Form;
  Form->FreeNotification(this);
}

void TMainMenu::Unhook() {
  if (FForm != nullptr) {
    TCustomForm* Form = FForm;
    if (Form->HandleAllocated() && Items()->HandleAllocated() && ::GetMenu(Form->Handle()) == Items()->Handle())
      ::SetMenu(Form->Handle(), nullptr);
    if (FLink) Form->SetWindowProc(FLink->Saved);
    Form->RemoveFreeNotification(this);
    FForm = nullptr;
  }
  if (FLink) {
    FLink->Menu = nullptr;
    FLink.reset();
  }
}

void TMainMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TMenu::Notification(AComponent, Operation);
  // The form is going: its WindowProc chain goes with it.
  if (Operation == opRemove && AComponent == FForm) FForm = nullptr;
  if (Operation == opRemove && AComponent == FMerged) {
    FMerged = nullptr;
    if (!IsDestroying()) BarChanged();
  }
}

void TMainMenu::MenuChanged(TObject* Sender, TMenuItem* Source, bool Rebuild) {
  TMenu::MenuChanged(Sender, Source, Rebuild);
  // A merged menu's change shows in the bar it is merged into.
  if (FMergedInto != nullptr && Rebuild) FMergedInto->BarChanged();
  if (FForm != nullptr && FForm->HandleAllocated() && Items()->HandleAllocated() &&
      ::GetMenu(FForm->Handle()) == Items()->Handle())
    DrawMenuBar(FForm->Handle());
}

void TMainMenu::FormWindowProc(TMessage& M, const TWndMethod& Saved) {
  TCustomForm* Form = FForm;
  if (Form == nullptr || Form->Menu() != this) {
    Saved(M);
    return;
  }
  switch (M.Msg) {
    case WM_DESTROY:
      // The system destroys a window's menu with the window: the menu bar is taken back first.
      if (Form->HandleAllocated() && Items()->HandleAllocated() && ::GetMenu(Form->Handle()) == Items()->Handle())
        ::SetMenu(Form->Handle(), nullptr);
      Saved(M);
      return;
    case WM_MEASUREITEM: {
      Saved(M);
      auto* D = reinterpret_cast<MEASUREITEMSTRUCT*>(M.LParam);
      if (D != nullptr && D->CtlType == ODT_MENU && MeasureMenuItem(*D)) M.Result = TRUE;
      return;
    }
    case WM_DRAWITEM: {
      Saved(M);
      auto* D = reinterpret_cast<DRAWITEMSTRUCT*>(M.LParam);
      if (D != nullptr && D->CtlType == ODT_MENU && DrawMenuItem(*D)) M.Result = TRUE;
      return;
    }
    case WM_MENUSELECT:
      Saved(M);
      if (!MenuSelect(M.WParam, M.LParam) && HIWORD(M.WParam) == 0xFFFF && M.LParam == 0 && Application != nullptr)
        Application->SetHint(WideString());
      return;
    case WM_MENUCHAR:
      if (LRESULT R = MenuChar(M.WParam, M.LParam); R != 0) {
        M.Result = R;
        return;
      }
      Saved(M);
      return;
    default:
      Saved(M);
      return;
  }
}

// ---------------------------------------------------------------------------------------------
// TPopupMenu

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) { PopupList().Menus.push_back(this); }

TPopupMenu::~TPopupMenu() {
  auto& L = PopupList().Menus;
  L.erase(std::remove(L.begin(), L.end(), this), L.end());
}

bool IsLivePopupMenu(const TPopupMenu* Menu) {
  const auto& L = PopupList().Menus;
  return Menu != nullptr && std::find(L.begin(), L.end(), Menu) != L.end();
}

void TPopupMenu::SetPopupComponent(TComponent* Value) {
  if (FPopupComponent == Value) return;
  if (FPopupComponent != nullptr) RemoveFreeNotification(FPopupComponent);
  FPopupComponent = Value;
  if (Value != nullptr) FreeNotification(Value);
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TMenu::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FPopupComponent) FPopupComponent = nullptr;
}

void TPopupMenu::DoPopup(TObject* Sender) {
  if (OnPopup) OnPopup(Sender);
}

void TPopupMenu::Popup(int X, int Y) {
  FPopupPoint = Point(X, Y);
  DoPopup(this);
  RebuildItems();
  UINT Flags = FTrackButton == tbLeftButton ? TPM_LEFTBUTTON : TPM_RIGHTBUTTON;
  switch (FAlignment) {
    case paRight: Flags |= TPM_RIGHTALIGN; break;
    case paCenter: Flags |= TPM_CENTERALIGN; break;
    default: Flags |= TPM_LEFTALIGN; break;
  }
  if (FMenuAnimation.Contains(maLeftToRight)) Flags |= TPM_HORPOSANIMATION;
  if (FMenuAnimation.Contains(maRightToLeft)) Flags |= TPM_HORNEGANIMATION;
  if (FMenuAnimation.Contains(maTopToBottom)) Flags |= TPM_VERPOSANIMATION;
  if (FMenuAnimation.Contains(maBottomToTop)) Flags |= TPM_VERNEGANIMATION;
  if (FMenuAnimation.Contains(maNone)) Flags |= TPM_NOANIMATION;
  TrackPopupMenu(Items()->Handle(), Flags, X, Y, 0, PopupListWindow(), nullptr);
  // The menu may have been freed while it was open.
  ReleasePendingMenus();
}
