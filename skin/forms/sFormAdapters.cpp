// The control adapter list of a skinned form. Win32.
#include "skin/forms/sFormAdapters.h"

#include <algorithm>
#include <vector>

#include "framework/StdCtrls.h"
#include "skin/controls/acBarAdapters.h"
#include "skin/controls/acMoreAdapters.h"
#include "skin/controls/acScrollAdapters.h"
#include "skin/controls/acSpeedButton.h"
#include "skin/controls/sFrameAdapter.h"
#include "skin/controls/acStdAdapters.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/controls/sLabel.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/sSkinProvider.h"

namespace {

// Control-kind code of an item's skin data (default section "EDIT").
constexpr int ItemKindCode = 227;
// Tag of the skin's own windows and controls, never adapted.
constexpr int SkinOwnTag = -98;
// Tag of a label that keeps its own colours.
constexpr int KeepColoursTag = 98;

// The unit's busy flag (see AddAllItems).
bool Busy = false;

bool AlreadySkinned(TControl* Ctrl) { return (AskControl(Ctrl, AC_ISSKINNED) & 0xFF) != 0; }

// An item's skin data takes Control as its owner control and owner object (the adapter hooks the
// control's WindowProc through it): when it has another owner it is replaced by new skin data that
// keeps its section.
void BindSkinData(TsCommonData*& SkinData, TControl* Control) {
  if (SkinData->OwnerControl() == Control) return;
  auto* D = new TsCommonData(Control, ItemKindCode, true);
  if (!SkinData->SkinSection().empty()) D->SetSkinSection(SkinData->SkinSection());
  delete SkinData;
  SkinData = D;
}

// The item of Ctrl in one of the adapter's item lists, nullptr when none.
template <class TItem>
TItem* FindItem(const std::vector<TItem*>& List, TControl* Ctrl) {
  for (TItem* I : List)
    if (I != nullptr && I->Ctrl == Ctrl) return I;
  return nullptr;
}

// Appends a new, not yet hooked item of Ctrl to List.
template <class TItem, class TCtrl>
TItem* AppendItem(std::vector<TItem*>& List, TacCtrlAdapter* Adapter, TCtrl* Ctrl) {
  TItem* Item = new TItem;
  Item->Adapter = Adapter;
  Item->Ctrl = Ctrl;
  List.push_back(Item);
  return Item;
}

// Hooks the control of a new item, the last of List. The item leaves the list and is freed when
// hooking throws (the exception goes on) or when Hooked says the control got no adapter.
template <class TItem, class TCtrl, class THooked>
void HookNewItem(std::vector<TItem*>& List, TItem* Item, TCtrl* Ctrl, THooked Hooked) {
  try {
    Item->DoHook(Ctrl);
  } catch (...) {
    List.pop_back();
    delete Item;
    throw;
  }
  if (!Hooked(Item)) {
    List.erase(std::find(List.begin(), List.end(), Item));
    delete Item;
  }
}

// The adapter of each kind of control, made for a windowed control. A kind without an entry gets
// no adapter.
TacMainWnd* MakeAdapter(int Kind, TWinControl* Ctrl, TsCommonData* SkinData, TsSkinManager* M,
                        const AnsiString& Section) {
  HWND H = Ctrl->Handle();
  switch (Kind) {
    case tpEdit:
      return TacMainWnd::Create<TacEditWnd>(H, SkinData, M, Section, true);
    case tpButton:
      return TacMainWnd::Create<TacBtnWnd>(H, SkinData, M, Section, true);
    case tpBitBtn:
      return TacMainWnd::Create<TacBitBtnWnd>(H, SkinData, M, Section, true);
    case tpCheckBox:
      return TacMainWnd::Create<TacCheckBoxWnd>(H, SkinData, M, Section, true);
    case tpComboBox:
      return TacMainWnd::Create<TacComboBoxWnd>(H, SkinData, M, Section, true);
    case tpGrid:
      return TacMainWnd::Create<TacGridWnd>(H, SkinData, M, Section, true);
    case tpGroupBox:
      return TacMainWnd::Create<TacGroupBoxWnd>(H, SkinData, M, Section, true);
    case tpListView:
      return TacMainWnd::Create<TacListViewWnd>(H, SkinData, M, Section, true);
    case tpPanel:
      return TacMainWnd::Create<TacPanelWnd>(H, SkinData, M, Section, true);
    case tpTreeView:
      return TacMainWnd::Create<TacTreeViewWnd>(H, SkinData, M, Section, true);
    case tpwwEdit:
      return TacWWComboBoxWnd::CreateFor(Ctrl, SkinData, M, Section, true);
    case tpGridEh:
      return TacMainWnd::Create<TacGridEhWnd>(H, SkinData, M, Section, true);
    case tpVirtualTree:
      return TacMainWnd::Create<TacVirtualTreeViewWnd>(H, SkinData, M, Section, true);
    case tpPageControl:
      return TacMainWnd::Create<TacPageControlWnd>(H, SkinData, M, Section, true);
    case tpTabControl:
      return TacMainWnd::Create<TacTabControlWnd>(H, SkinData, M, Section, true);
    case tpToolBar:
      // A framework tool bar is drawn through its custom-draw events; a listed class of another
      // kind is a plain tool-bar window and is read through its messages.
      if (dynamic_cast<TToolBar*>(Ctrl) != nullptr)
        return TacMainWnd::Create<TacToolBarVCLWnd>(H, SkinData, M, Section, true);
      return TacMainWnd::Create<TacToolBarWnd>(H, SkinData, M, Section, true);
    case tpStatusBar:
      return TacMainWnd::Create<TacStatusBarWnd>(H, SkinData, M, Section, true);
    // tpSpeedButton: graphic controls only (TacGraphItem).
    default:
      return nullptr;
  }
}

}  // namespace

bool acAddingAllItems() { return Busy; }

int ThirdPartyKindOf(TsSkinManager* Manager, const AnsiString& ClassName) {
  if (Manager == nullptr) return -1;
  for (int K = 0; K < ThirdPartyKindCount; ++K) {
    TStringList* L = Manager->ThirdLists(K);
    if (L == nullptr) continue;
    for (int I = 0; I < L->Count(); ++I)
      if (L->Strings(I) == ClassName) return K;
  }
  return -1;
}

// ---- TacAdapterItem -----------------------------------------------------------------------------

TacAdapterItem::TacAdapterItem() { SkinData = new TsCommonData(this, ItemKindCode, true); }

TacAdapterItem::~TacAdapterItem() {
  delete ScrollWnd;
  ScrollWnd = nullptr;
  delete SkinData;
  SkinData = nullptr;
}

void TacAdapterItem::DoHook(TWinControl* Control) {
  if (Control == nullptr || Control->Tag() == SkinOwnTag || !Control->HandleAllocated() ||
      Control->Parent() == nullptr || AlreadySkinned(Control))
    return;
  Ctrl = Control;
  BindSkinData(SkinData, Control);
  TsSkinManager* M = SkinData->GetSkinManager();
  if (M == nullptr) return;
  const int Kind = ThirdPartyKindOf(M, Control->ClassName());
  if (Kind < 0 || Kind == tpSpeedButton) return;
  ScrollWnd = MakeAdapter(Kind, Control, SkinData, M, SkinData->SkinSection());
}

// ---- TacGraphItem -------------------------------------------------------------------------------

TacGraphItem::TacGraphItem() { SkinData = new TsCommonData(this, ItemKindCode, true); }

TacGraphItem::~TacGraphItem() {
  delete Handler;
  Handler = nullptr;
  delete SkinData;
  SkinData = nullptr;
}

void TacGraphItem::DoHook(TGraphicControl* Control) {
  if (Control == nullptr || Control->Tag() == SkinOwnTag) return;
  Ctrl = Control;
  BindSkinData(SkinData, Control);
  Handler = new TacSpeedButtonHandler(Control, SkinData, SkinData->GetSkinManager(), SkinData->SkinSection(), true);
}

// ---- TacCtrlAdapter -----------------------------------------------------------------------------

TacCtrlAdapter::TacCtrlAdapter(TsSkinProvider* AProvider) : Provider(AProvider) {}

TacCtrlAdapter::~TacCtrlAdapter() {
  CleanItems();
  RemoveAllItems();
}

TsSkinManager* TacCtrlAdapter::Manager() const {
  if (Provider != nullptr && Provider->SkinData() != nullptr) return Provider->SkinData()->GetSkinManager();
  return TsSkinManager::DefaultManager();
}

bool TacCtrlAdapter::AskProvider(TControl* Ctrl, AnsiString& Section) {
  bool CanBeAdded = true;
  if (Provider != nullptr && Provider->OnSkinItem) Provider->OnSkinItem(Ctrl, CanBeAdded, Section);
  return CanBeAdded;
}

bool TacCtrlAdapter::IsControlSupported(TControl* Ctrl) {
  if (Ctrl == nullptr || Ctrl->Tag() == SkinOwnTag) return false;
  if (auto* W = dynamic_cast<TWinControl*>(Ctrl)) {
    if (!W->HandleAllocated() || AlreadySkinned(W)) return false;
    if (acIsFrame(W)) {
      AnsiString Section;
      return AskProvider(Ctrl, Section);
    }
    return ThirdPartyKindOf(Manager(), Ctrl->ClassName()) >= 0;
  }
  if (dynamic_cast<TCustomLabel*>(Ctrl) != nullptr) {
    AnsiString Section;
    return AskProvider(Ctrl, Section);
  }
  // A graphic control of a listed class is a speed button; other graphic controls never.
  if (dynamic_cast<TGraphicControl*>(Ctrl) != nullptr && ThirdPartyKindOf(Manager(), Ctrl->ClassName()) >= 0) {
    AnsiString Section;
    return AskProvider(Ctrl, Section);
  }
  return false;
}

TacAdapterItem* TacCtrlAdapter::GetItem(int Index) {
  if (Index < 0 || Index >= Count()) return nullptr;
  return Items[static_cast<std::size_t>(Index)];
}

TacAdapterItem* TacCtrlAdapter::ItemOf(TControl* Ctrl) const { return FindItem(Items, Ctrl); }

void TacCtrlAdapter::AddNewItem(TWinControl* Ctrl) { AddNewItem(Ctrl, DefaultSection); }

void TacCtrlAdapter::AddNewItem(TWinControl* Ctrl, const AnsiString& SkinSection) {
  if (Ctrl == nullptr || Ctrl->Tag() == SkinOwnTag || Ctrl->Parent() == nullptr || AlreadySkinned(Ctrl)) return;
  AnsiString Section = SkinSection;
  if (!AskProvider(Ctrl, Section)) return;
  if (acIsFrame(Ctrl)) {
    // A frame gets its own frame adapter (owned by the frame), no item.
    auto* FA = new TsFrameAdapter(Ctrl);
    FA->SkinData()->SetSkinSection("GROUPBOX");
    return;
  }
  TacAdapterItem* Item = ItemOf(Ctrl);
  const bool IsNew = Item == nullptr;
  if (IsNew) Item = AppendItem<TacAdapterItem>(Items, this, Ctrl);
  // An empty section leaves the choice to the adapter (its default section).
  if (!Section.empty()) Item->SkinData->SetSkinSection(Section);
  if (IsNew) {
    HookNewItem(Items, Item, Ctrl, [](TacAdapterItem* I) { return I->ScrollWnd != nullptr; });
  } else if (Item->ScrollWnd != nullptr && Item->ScrollWnd->Destroyed) {
    // The control's window was recreated: its old adapter lost the window.
    delete Item->ScrollWnd;
    Item->ScrollWnd = nullptr;
    Item->DoHook(Ctrl);
  }
}

TacGraphItem* TacCtrlAdapter::GraphItemOf(TControl* Ctrl) const { return FindItem(GraphItems, Ctrl); }

void TacCtrlAdapter::AddNewGraphItem(TGraphicControl* Ctrl) {
  if (Ctrl == nullptr || Ctrl->Tag() == SkinOwnTag || Ctrl->Parent() == nullptr ||
      SendSkinCommandToControl(Ctrl, AC_ISSKINNED) == 1)
    return;
  AnsiString Section = "SPEEDBUTTON";
  if (!AskProvider(Ctrl, Section)) return;
  const bool Small = HasProperty(Ctrl, "SmallStyle") && GetOrdPropByName(Ctrl, "SmallStyle") != 0;
  TacGraphItem* Item = GraphItemOf(Ctrl);
  const bool IsNew = Item == nullptr;
  if (IsNew) Item = AppendItem<TacGraphItem>(GraphItems, this, Ctrl);
  Item->SkinData->SetSkinSection(Small ? "SPEEDBUTTON_SMALL" : "SPEEDBUTTON");
  if (IsNew) {
    HookNewItem(GraphItems, Item, Ctrl, [](TacGraphItem* I) { return I->Handler != nullptr; });
  } else if (Item->Handler != nullptr && Item->Handler->Detached) {
    delete Item->Handler;
    Item->Handler = nullptr;
    Item->DoHook(Ctrl);
  }
}

void TacCtrlAdapter::Remove(int Index) {
  if (Index < 0 || Index >= Count()) return;
  const std::size_t I = static_cast<std::size_t>(Index);
  TacAdapterItem* Item = Items[I];
  Items[I] = Items.back();
  Items.pop_back();
  delete Item;
}

void TacCtrlAdapter::WndProc(TMessage& Message) {
  // A message may free an item's control; walk over a copy and check each item is still ours.
  const std::vector<TacAdapterItem*> Snapshot = Items;
  for (TacAdapterItem* Item : Snapshot) {
    if (std::find(Items.begin(), Items.end(), Item) == Items.end()) continue;
    if (Item == nullptr || Item->ScrollWnd == nullptr || Item->ScrollWnd->Destroyed || Item->Ctrl == nullptr ||
        Item->Ctrl->Parent() == nullptr || !Item->Ctrl->HandleAllocated())
      continue;
    SendMessageA(Item->Ctrl->Handle(), Message.Msg, Message.WParam, Message.LParam);
  }
}

void TacCtrlAdapter::CleanItems() {
  for (std::size_t I = 0; I < Items.size();) {
    TacAdapterItem* Item = Items[I];
    if (Item == nullptr || Item->ScrollWnd == nullptr || Item->ScrollWnd->Destroyed) {
      Items.erase(Items.begin() + static_cast<std::ptrdiff_t>(I));
      delete Item;
    } else {
      ++I;
    }
  }
  for (std::size_t I = 0; I < GraphItems.size();) {
    TacGraphItem* Item = GraphItems[I];
    if (Item == nullptr || Item->Handler == nullptr || Item->Handler->Detached) {
      GraphItems.erase(GraphItems.begin() + static_cast<std::ptrdiff_t>(I));
      delete Item;
    } else {
      ++I;
    }
  }
}

void TacCtrlAdapter::RemoveAllItems() {
  // Adapters of controls that are going away with their form leave the controls' look alone;
  // every adapter hands its window procedure back (the controls may still get messages before
  // their turn comes).
  const bool Was = acRemovingAllAdapters;
  try {
    while (!Items.empty()) {
      TacAdapterItem* Item = Items.back();
      Items.pop_back();
      const bool GoingToo = Item != nullptr && Item->ScrollWnd != nullptr && !Item->ScrollWnd->Destroyed &&
                            Item->Ctrl != nullptr && Item->Ctrl->IsDestroying();
      if (GoingToo) {
        // Until it is freed, such a control still runs messages through its WindowProc chain (its
        // children leave it, it asks its own window): the adapter's handler and its window
        // property go now, the rest of the detach is skipped.
        Item->ScrollWnd->PutBackProcedure();
        if (Item->ScrollWnd->CtrlHandle != nullptr) RemovePropA(Item->ScrollWnd->CtrlHandle, acAdapterPropName);
      }
      acRemovingAllAdapters = Was || GoingToo;
      delete Item;
    }
    acRemovingAllAdapters = Was;
    while (!GraphItems.empty()) {
      TacGraphItem* Item = GraphItems.back();
      GraphItems.pop_back();
      delete Item;
    }
  } catch (...) {
    acRemovingAllAdapters = Was;
    throw;
  }
  acRemovingAllAdapters = Was;
}

void TacCtrlAdapter::AddAllItems(TWinControl* Ctrl) {
  TsSkinManager* M = Manager();
  if (Busy || M == nullptr || !M->SkinningRules().Contains(srThirdParty)) return;
  Busy = true;
  struct Reset {
    ~Reset() { Busy = false; }
  } ResetBusy;
  if (Ctrl == nullptr && Provider != nullptr) Ctrl = Provider->Form;
  if (Ctrl == nullptr) return;
  CleanItems();
  auto Visit = [&](TComponent* C) {
    auto* Ctl = dynamic_cast<TControl*>(C);
    if (Ctl == nullptr) return;
    if (IsControlSupported(Ctl)) {
      if (auto* W = dynamic_cast<TWinControl*>(Ctl)) {
        AddNewItem(W, "");
      } else if (dynamic_cast<TCustomLabel*>(Ctl) == nullptr) {
        if (auto* G = dynamic_cast<TGraphicControl*>(Ctl)) AddNewGraphItem(G);
      } else if (auto* L = dynamic_cast<TCustomLabel*>(Ctl)) {
        const bool OwnLabel = dynamic_cast<TsCustomLabel*>(Ctl) != nullptr;
        if (!OwnLabel && L->Tag() != KeepColoursTag) {
          L->SetTransparent(true);
          const TColor FC = M->GetGlobalFontColor();
          if (FC != static_cast<TColor>(0xFF00FF)) L->Font()->SetColor(FC);
        }
      }
    }
    if (auto* W = dynamic_cast<TWinControl*>(Ctl); W != nullptr && W->HandleAllocated() && W->Parent() != nullptr) {
      Busy = false;
      AddAllItems(W);
    }
  };
  for (int I = 0; I < Ctrl->ComponentCount(); ++I) Visit(Ctrl->Components(I));
  for (int I = 0; I < Ctrl->ControlCount(); ++I) Visit(Ctrl->Controls(I));
}
