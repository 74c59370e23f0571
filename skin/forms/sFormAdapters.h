// TacCtrlAdapter: the control adapter list of a skinned form.
//
// A skinned form's own skin-aware controls paint themselves; ordinary framework controls on the
// same form are skinned by attaching a window adapter to each of them. Which controls, and with
// which adapter class, is decided by class name: the skin manager keeps 18 class-name lists (its
// ThirdParty settings, one list per kind of control), and a control whose exact class name stands
// in list i gets the adapter of kind i (TacThirdPartyKind order):
//   tpEdit TacEditWnd, tpButton TacBtnWnd, tpBitBtn TacBitBtnWnd, tpCheckBox TacCheckBoxWnd,
//   tpComboBox TacComboBoxWnd, tpGrid TacGridWnd, tpGroupBox TacGroupBoxWnd, tpListView
//   TacListViewWnd, tpPanel TacPanelWnd, tpTreeView TacTreeViewWnd, tpwwEdit TacWWComboBoxWnd
//   (made from the control), tpGridEh TacGridEhWnd, tpVirtualTree TacVirtualTreeViewWnd,
//   tpPageControl TacPageControlWnd, tpTabControl TacTabControlWnd, tpToolBar TacToolBarVCLWnd (a
//   framework TToolBar; another listed class gets TacToolBarWnd, the common tool bar window's
//   adapter), tpStatusBar TacStatusBarWnd; tpSpeedButton: none for windowed
//   controls; graphic controls of a listed class get a TacGraphItem holding a
//   TacSpeedButtonHandler (section "SPEEDBUTTON", "SPEEDBUTTON_SMALL" for a control whose
//   published Boolean "SmallStyle" is set).
// Adapters of controls that go away with the form are freed without the rest of their detach,
// but they leave the controls' WindowProc chains first (RemoveAllItems).
// A frame (the framework's scrolling container, acIsFrame) gets a TsFrameAdapter of its own instead
// of an item. Nothing is adapted unless the provider's skin manager has srThirdParty in SkinningRules.
//
// The list is made and driven by the form's TsSkinProvider (CreateCtrlAdapter, then AddAllItems
// (nullptr)); it owns one TacAdapterItem per adapted windowed control (holding the control's
// TsCommonData and its window adapter).
// Win32.
#pragma once

#include <windows.h>

#include <vector>

#include "framework/Controls.h"
#include "framework/Messages.h"
#include "framework/Object.h"
#include "framework/Persistent.h"
#include "framework/Types.h"

class TsCommonData;
class TsSkinManager;
class TsSkinProvider;
class TacMainWnd;
class TacCtrlAdapter;
class TacSpeedButtonHandler;

// One adapted windowed control.
class TacAdapterItem : public TPersistent {
  T_CLASS(TacAdapterItem, TPersistent)

 public:
  // Makes the item's skin data (the item as owner, with a cache bitmap, control-kind code 227).
  TacAdapterItem();
  // Frees the adapter (when set), then the skin data.
  ~TacAdapterItem() override;
  // Attaches the adapter of the first class-name list that holds Ctrl's class name; nothing for
  // a control with Tag -98, without handle or parent, already skinned, of no list or of the
  // speed-button list.
  virtual void DoHook(TWinControl* Control);

  TWinControl* Ctrl = nullptr;
  TsCommonData* SkinData = nullptr;  // owned
  TacCtrlAdapter* Adapter = nullptr;
  TacMainWnd* ScrollWnd = nullptr;   // owned; nullptr when the control got none
};

// One adapted graphic speed button.
class TacGraphItem : public TPersistent {
  T_CLASS(TacGraphItem, TPersistent)

 public:
  TacGraphItem();
  // Frees the handler (when set), then the skin data.
  ~TacGraphItem() override;
  // Makes the handler (nothing for a control with Tag -98).
  virtual void DoHook(TGraphicControl* Control);

  TGraphicControl* Ctrl = nullptr;
  TsCommonData* SkinData = nullptr;  // owned
  TacCtrlAdapter* Adapter = nullptr;
  TacSpeedButtonHandler* Handler = nullptr;  // owned; nullptr when none
};

class TacCtrlAdapter : public TPersistent {
  T_CLASS(TacCtrlAdapter, TPersistent)

 public:
  explicit TacCtrlAdapter(TsSkinProvider* AProvider);
  // CleanItems, RemoveAllItems.
  ~TacCtrlAdapter() override;

  // Collects and adapts the controls below Ctrl (nullptr: the provider's form), the form's
  // components and controls, recursively into containers with a window.
  void AddAllItems(TWinControl* Ctrl = nullptr);
  // Whether Ctrl is a candidate (Tag not -98, windowed with a handle and not skinned yet, listed
  // by class name; a label with the provider's consent).
  virtual bool IsControlSupported(TControl* Ctrl);
  // The item at Index, nullptr outside 0..Count()-1.
  virtual TacAdapterItem* GetItem(int Index);
  int Count() const { return static_cast<int>(Items.size()); }
  // Adds (or refreshes) the item of Ctrl with DefaultSection / with SkinSection. A control whose
  // window was recreated gets a new adapter in its existing item.
  void AddNewItem(TWinControl* Ctrl);
  virtual void AddNewItem(TWinControl* Ctrl, const AnsiString& SkinSection);
  // Adds (or refreshes) the item of a graphic speed button.
  virtual void AddNewGraphItem(TGraphicControl* Ctrl);
  // The graphic item of Ctrl, nullptr when none.
  TacGraphItem* GraphItemOf(TControl* Ctrl) const;
  // Frees the item at Index, moving the last item into its place (order not kept).
  virtual void Remove(int Index);
  // Sends the message to the window of every item whose adapter is attached and whose control
  // has a parent, in index order.
  virtual void WndProc(TMessage& Message);
  // Drops items without adapter or with a detached adapter, then graphic items without handler
  // or with a detached one (order kept).
  void CleanItems();
  // Frees every item of both arrays, last first.
  void RemoveAllItems();
  // The item of Ctrl, nullptr when none.
  TacAdapterItem* ItemOf(TControl* Ctrl) const;

  AnsiString DefaultSection;            // section of AddNewItem (Ctrl); empty
  std::vector<TacAdapterItem*> Items;   // owned, in the order of adding
  std::vector<TacGraphItem*> GraphItems;  // owned, in the order of adding
  TsSkinProvider* Provider = nullptr;

 private:
  // Asks the provider's OnSkinItem; true when the control may be added (Section updated).
  bool AskProvider(TControl* Ctrl, AnsiString& Section);
  TsSkinManager* Manager() const;
};

// The adapter list's class lookup: the kind (TacThirdPartyKind) of the first list of Manager that
// holds ClassName, -1 when none.
int ThirdPartyKindOf(TsSkinManager* Manager, const AnsiString& ClassName);
// True while AddAllItems is at work on its first level (the unit's busy flag).
bool acAddingAllItems();
