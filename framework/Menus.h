// Menus of the framework: menu items, the menu bar of a form (TMainMenu) and pop-up menus
// (TPopupMenu). Win32.
//
// A menu is a tree of TMenuItem objects under the menu's Items; each item that has sub-items
// owns the system menu (HMENU) that shows them, made when it is first needed (Handle) and
// brought up to date whenever an item changes. Item texts are wide. Every item has a command
// number of its own (Command), by which WM_COMMAND finds it.
//
// Owner drawing. An item is drawn by the program (MF_OWNERDRAW) when its menu is OwnerDraw or
// has Images, when it has a Bitmap, or when it has one of the drawing events. The system then
// asks for the item's size (WM_MEASUREITEM: MeasureItem, OnMeasureItem) and has it painted
// (WM_DRAWITEM: AdvancedDrawItem, OnAdvancedDrawItem, else DrawItem, OnDrawItem, else the
// framework's own item picture). Events assigned after the menu was built take effect when it
// is built again: before a pop-up menu shows, when a submenu opens, or on MenuChanged.
//
// Where the messages go. The menu bar belongs to the form whose Menu it is: the form's window
// gets the HMENU; WM_COMMAND and WM_INITMENUPOPUP reach the menu through the form, and the main
// menu watches the form's messages (through the form's WindowProc chain) for the owner-draw
// messages, the menu hints (WM_MENUSELECT) and the accelerators of owner-drawn items
// (WM_MENUCHAR). A pop-up menu is shown by TrackPopupMenu on behalf of a hidden window of the
// framework, the popup list window (PopupListWindow), which hands the same messages to the pop-up
// menus. A control's PopupMenu is shown on WM_CONTEXTMENU when its AutoPopup is set.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "framework/ImgList.h"

T_EXCEPTION(EMenuError, Exception)

class TMenu;
class TMainMenu;
class TPopupMenu;

// ---------------------------------------------------------------------------------------------
// Shortcuts and accelerator text

// A key with its modifiers: the virtual key in the low byte, plus scShift, scCtrl and scAlt.
using TShortCut = Word;
inline constexpr TShortCut scNone = 0;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;

// The shortcut of a key and shift state (0 for a key above 255).
TShortCut ShortCut(Word Key, TShiftState Shift);
void ShortCutToKey(TShortCut ShortCut, Word& Key, TShiftState& Shift);
// "Ctrl+S", "Shift+F10", "Alt+Del" ...; empty for 0 or an unknown key.
WideString ShortCutToText(TShortCut ShortCut);
// The reverse of ShortCutToText (letter case ignored); 0 for a text that names no shortcut.
TShortCut TextToShortCut(const WideString& Text);
// The caption without its accelerator marks ("&File" -> "File", "&&" -> "&").
WideString StripHotkey(const WideString& Text);

// ---------------------------------------------------------------------------------------------
// Menu items

enum TMenuBreak { mbNone, mbBreak, mbBarBreak };
// What TMenu::FindItem looks for.
enum TFindItemKind { fkCommand, fkHandle, fkShortCut };

// What the system says about an owner-drawn item being painted.
enum TOwnerDrawStateItem {
  odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odHotLight, odInactive, odNoAccel,
  odNoFocusRect, odReserved1, odReserved2, odComboBoxEdit
};
using TOwnerDrawState = TSet<TOwnerDrawStateItem>;
// The state flags of a DRAWITEMSTRUCT (ODS_xxx) as a TOwnerDrawState.
TOwnerDrawState OwnerDrawStateOf(UINT ItemState);

using TMenuMeasureItemEvent = std::function<void(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height)>;
using TMenuDrawItemEvent = std::function<void(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, bool Selected)>;
using TAdvancedMenuDrawItemEvent =
    std::function<void(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State)>;

class TMenuItem : public TComponent {
  T_CLASS(TMenuItem, TComponent)
  friend class TMenu;

 public:
  explicit TMenuItem(TComponent* AOwner);
  // Leaves its parent item and frees its sub-items.
  ~TMenuItem() override;

  // "-" makes the item a separator line.
  const WideString& Caption() const { return FCaption; }
  void SetCaption(const WideString& Value);
  void SetCaption(const AnsiString& Value);
  bool Checked() const { return FChecked; }
  // Checking a RadioItem unchecks the radio items of the same GroupIndex beside it.
  void SetChecked(bool Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  // An invisible item is left out of the system menu.
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  // Shown in bold; the item a double click on the menu's owner chooses.
  bool Default() const { return FDefault; }
  void SetDefault(bool Value);
  // Checked with a dot instead of a tick.
  bool RadioItem() const { return FRadioItem; }
  void SetRadioItem(bool Value);
  Byte GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(Byte Value);
  // The image of the menu's Images (the parent's SubMenuImages when set); -1: none.
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value);
  // Shown right of the caption ("Ctrl+S").
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut Value);
  // Told to the application (Application->Hint) while the item is selected.
  const WideString& Hint() const { return FHint; }
  void SetHint(const WideString& Value) { FHint = Value; }
  void SetHint(const AnsiString& Value);
  // The item starts a new column (mbBarBreak: with a line between the columns).
  TMenuBreak Break() const { return FBreak; }
  void SetBreak(TMenuBreak Value);
  // A picture of the item (made empty on first use); assigning copies the bitmap.
  TBitmap* Bitmap();
  void SetBitmap(TBitmap* Value);
  // The images of the sub-items (instead of the menu's Images).
  TCustomImageList* SubMenuImages() const { return FSubMenuImages; }
  void SetSubMenuImages(TCustomImageList* Value);

  // --- the tree
  int Count() const { return static_cast<int>(FItems.size()); }
  // EMenuError "Menu index out of range" for a bad index.
  TMenuItem* Items(int Index) const;
  int IndexOf(const TMenuItem* Item) const;
  // The sub-item whose caption equals ACaption, accelerator marks and letter case ignored.
  TMenuItem* Find(const WideString& ACaption) const;
  // Adds or inserts a sub-item. EMenuError "Menu inserted twice" when Item already has a parent
  // (or is nullptr), "Menu index out of range" for a bad index, "A menu item cannot contain
  // itself" when Item is this item or one of its parents.
  void Add(TMenuItem* Item);
  void Insert(int Index, TMenuItem* Item);
  // Takes the sub-item out of the menu without freeing it.
  void Delete(int Index);
  void Remove(TMenuItem* Item);
  // Frees every sub-item.
  void Clear();
  TMenuItem* Parent() const { return FParent; }
  // The position among the parent's items (-1 without a parent); setting it moves the item.
  int MenuIndex() const;
  void SetMenuIndex(int Value);
  // The menu the item belongs to (through its parents), or nullptr.
  TMenu* GetParentMenu() const;
  bool IsLine() const { return FCaption == L"-"; }

  // The system menu holding the sub-items (made, and filled, on first use).
  HMENU Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  // The item's command number (WM_COMMAND).
  Word Command() const { return FCommand; }

  // Fires OnClick. Called when the item is chosen, and for an item with sub-items when its
  // submenu opens.
  virtual void Click();
  // The item changed: the menu holding it is built again (and a menu bar redrawn), and the
  // menu hears of it (TMenu::OnChange).
  virtual void MenuChanged(bool Rebuild);

  TNotifyEvent OnClick;
  TMenuMeasureItemEvent OnMeasureItem;
  TMenuDrawItemEvent OnDrawItem;
  TAdvancedMenuDrawItemEvent OnAdvancedDrawItem;

 protected:
  // Owner drawing. MeasureItem gets the framework's size of the item in Width and Height and
  // fires OnMeasureItem. AdvancedDrawItem fires OnAdvancedDrawItem, or else DrawItem, which
  // fires OnDrawItem, or else draws the framework's item picture (DrawItemDefault). TopLevel:
  // the item is on a menu bar.
  virtual void MeasureItem(TCanvas* ACanvas, int& Width, int& Height);
  virtual void DrawItem(TCanvas* ACanvas, const TRect& ARect, bool Selected);
  virtual void AdvancedDrawItem(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State, bool TopLevel);
  void DrawItemDefault(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State, bool TopLevel);
  void MeasureItemDefault(TCanvas* ACanvas, int& Width, int& Height);
  // The item is drawn by the program (see the notes at the top).
  bool IsOwnerDraw() const;
  // The item stands on a menu bar.
  bool IsTopLevel() const;
  // The images the item draws from (the parent's SubMenuImages, else the menu's Images).
  TCustomImageList* ItemImages() const;

  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void CheckInsert(int Index, TMenuItem* Item) const;
  void Detach(TMenuItem* Item);
  void Changed();
  void StructureChanged();
  void PopulateHandle();
  void RebuildHandle();
  void RebuildTree();
  void InsertEntry(TMenuItem* Item, UINT Position);
  TMenuItem* FindItem(UINT_PTR Value, TFindItemKind Kind);
  TMenuItem* FindPointer(const void* P);
  void MeasureItemData(MEASUREITEMSTRUCT& Data);
  void DrawItemData(const DRAWITEMSTRUCT& Data);

  WideString FCaption;
  bool FChecked = false;
  bool FEnabled = true;
  bool FVisible = true;
  bool FDefault = false;
  bool FRadioItem = false;
  Byte FGroupIndex = 0;
  int FImageIndex = -1;
  TShortCut FShortCut = 0;
  WideString FHint;
  TMenuBreak FBreak = mbNone;
  std::unique_ptr<TBitmap> FBitmap;
  TCustomImageList* FSubMenuImages = nullptr;
  std::vector<TMenuItem*> FItems;
  TMenuItem* FParent = nullptr;
  TMenu* FMenu = nullptr;  // set on the root item of a menu
  HMENU FHandle = nullptr;
  Word FCommand = 0;
};

// ---------------------------------------------------------------------------------------------
// Menus

using TMenuChangeEvent = std::function<void(TObject* Sender, TMenuItem* Source, bool Rebuild)>;

class TMenu : public TComponent {
  T_CLASS(TMenu, TComponent)
  friend class TMenuItem;

 public:
  explicit TMenu(TComponent* AOwner);
  ~TMenu() override;

  // The root item; the menu's items are its sub-items.
  TMenuItem* Items() const { return FItems.get(); }
  // The system menu of the root item (a menu bar for TMainMenu, a pop-up menu otherwise).
  virtual HMENU Handle() { return FItems->Handle(); }
  bool HandleAllocated() const { return FItems->HandleAllocated(); }
  // Every item is drawn by the program (see the notes at the top). Changing it rebuilds.
  bool OwnerDraw() const { return FOwnerDraw; }
  void SetOwnerDraw(bool Value);
  // The images of the items (ImageIndex); the menu is drawn by the program while it has them.
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  // The window the menu belongs to: the form of a menu bar; for a pop-up menu whatever the
  // program sets (the framework shows pop-up menus for the popup list window).
  virtual HWND WindowHandle();
  void SetWindowHandle(HWND Value) { FWindowHandle = Value; }

  // The item with a command number (fkCommand), system menu handle (fkHandle, the root's
  // included) or shortcut (fkShortCut), or nullptr.
  TMenuItem* FindItem(UINT_PTR Value, TFindItemKind Kind);
  // A WM_COMMAND of the menu: the item's Click. True when the command is one of the menu's.
  bool DispatchCommand(Word ACommand);
  // A submenu of the menu opens (WM_INITMENUPOPUP): the item's Click, then its entries are
  // built again. True when the handle is one of the menu's.
  bool DispatchPopup(HMENU AHandle);
  // The owner-draw messages for an item of the menu; true when the item is one of the menu's
  // (found by the item data, else by the command number).
  bool MeasureMenuItem(MEASUREITEMSTRUCT& Data);
  bool DrawMenuItem(const DRAWITEMSTRUCT& Data);
  // WM_MENUSELECT: the hint of the selected item goes to Application->Hint. True when the item
  // is one of the menu's.
  bool MenuSelect(WPARAM WParam, LPARAM LParam);
  // WM_MENUCHAR for a submenu of the menu: the item whose accelerator is the character
  // (MAKELRESULT(position, MNC_EXECUTE)), or 0.
  LRESULT MenuChar(WPARAM WParam, LPARAM LParam);

  void Notification(TComponent* AComponent, TOperation Operation) override;

  TMenuChangeEvent OnChange;

 protected:
  // True for a menu bar (its root handle is made with CreateMenu).
  virtual bool IsMenuBar() const { return false; }
  // An item changed (Source; nullptr for the whole menu). Fires OnChange.
  virtual void MenuChanged(TObject* Sender, TMenuItem* Source, bool Rebuild);
  // Another menu whose items this menu shows beside its own (a menu bar's merged menu), whose
  // items the lookups find too; nullptr for none.
  virtual TMenu* MergedMenu() const { return nullptr; }
  // Builds every system menu of the items that exists again.
  void RebuildItems();

 private:
  TMenuItem* ItemOfData(ULONG_PTR Data, UINT Id);
  std::unique_ptr<TMenuItem> FItems;
  bool FOwnerDraw = false;
  TCustomImageList* FImages = nullptr;
  std::unique_ptr<TChangeLink> FImageChangeLink;
  HWND FWindowHandle = nullptr;
};

// The menu bar of a form: assign it to the form's Menu.
class TMainMenu : public TMenu {
  T_CLASS(TMainMenu, TMenu)

 public:
  explicit TMainMenu(TComponent* AOwner);
  ~TMainMenu() override;

  // The form's window while a form shows the menu.
  HWND WindowHandle() override;
  // The form whose Menu this is and whose window shows it (nullptr when none).
  TCustomForm* WindowForm() const { return FForm; }
  // The form asks for the menu bar: the menu starts watching the form's messages.
  HMENU AttachToForm();

  // Merging, as the MDI main form's menu bar shows the menu of its active child: the bar shows
  // the merged menu's visible items beside its own. A merged item replaces the bar's own items
  // of its GroupIndex and stands after the last item of a GroupIndex not above its own. Merge
  // replaces a menu merged before; Unmerge takes Menu out when it is the one merged. The
  // merged menu's items are found by the lookups of this menu, so that their commands, submenus
  // and owner drawing reach them through the bar's form.
  void Merge(TMainMenu* Menu);
  void Unmerge(TMainMenu* Menu);
  TMainMenu* Merged() const { return FMerged; }
  // The menu bar this menu is merged into (nullptr when none).
  TMainMenu* MergedInto() const { return FMergedInto; }
  // The items the bar shows, in order: the visible items of this menu and of the merged one.
  std::vector<TMenuItem*> BarItems() const;

  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  bool IsMenuBar() const override { return true; }
  void MenuChanged(TObject* Sender, TMenuItem* Source, bool Rebuild) override;
  TMenu* MergedMenu() const override { return FMerged; }

 private:
  struct TFormLink;
  void Hook(TCustomForm* Form);
  void Unhook();
  void FormWindowProc(TMessage& Message, const TWndMethod& Saved);
  TCustomForm* FForm = nullptr;
  std::shared_ptr<TFormLink> FLink;
  TMainMenu* FMerged = nullptr;
  TMainMenu* FMergedInto = nullptr;
  void BarChanged();
};

enum TPopupAlignment { paLeft, paRight, paCenter };
enum TTrackButton { tbRightButton, tbLeftButton };
enum TMenuAnimations { maLeftToRight, maRightToLeft, maTopToBottom, maBottomToTop, maNone };
using TMenuAnimation = TSet<TMenuAnimations>;

class TPopupMenu : public TMenu {
  T_CLASS(TPopupMenu, TMenu)

 public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;

  // Shows the menu with its top-left corner (see Alignment) at the screen point and returns when
  // it closes; the chosen item's OnClick follows when the application next handles messages.
  // OnPopup fires first.
  virtual void Popup(int X, int Y);
  TPoint PopupPoint() const { return FPopupPoint; }
  // The menu shows when the control holding it gets WM_CONTEXTMENU.
  bool AutoPopup() const { return FAutoPopup; }
  void SetAutoPopup(bool Value) { FAutoPopup = Value; }
  // The control the menu was last shown for.
  TComponent* PopupComponent() const { return FPopupComponent; }
  void SetPopupComponent(TComponent* Value);
  // Which edge of the menu is placed at the point.
  TPopupAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TPopupAlignment Value) { FAlignment = Value; }
  // The mouse button that chooses items.
  TTrackButton TrackButton() const { return FTrackButton; }
  void SetTrackButton(TTrackButton Value) { FTrackButton = Value; }
  // How the menu unfolds (maNone: at once).
  TMenuAnimation MenuAnimation() const { return FMenuAnimation; }
  void SetMenuAnimation(TMenuAnimation Value) { FMenuAnimation = Value; }

  void Notification(TComponent* AComponent, TOperation Operation) override;

  TNotifyEvent OnPopup;

 protected:
  // Fires OnPopup.
  virtual void DoPopup(TObject* Sender);

 private:
  TPoint FPopupPoint;
  bool FAutoPopup = true;
  TComponent* FPopupComponent = nullptr;
  TPopupAlignment FAlignment = paLeft;
  TTrackButton FTrackButton = tbRightButton;
  TMenuAnimation FMenuAnimation;
};

// The hidden window that owns the pop-up menus while they show and hands their WM_COMMAND,
// WM_INITMENUPOPUP, WM_MEASUREITEM, WM_DRAWITEM, WM_MENUSELECT and WM_MENUCHAR to them.
HWND PopupListWindow();

// True while the system tracks a menu of this thread (a menu bar, a popup or a system menu).
bool MenuLoopRunning();
// Destroys a menu handle the program no longer needs (its entries first, so that no submenu goes
// with it). While a menu loop runs the system may be tracking that very menu, and destroyed under
// the tracker its freed entries would still be written to: the loop is then closed and the handle
// waits until ReleasePendingMenus finds the loop over.
void ReleaseMenuHandle(HMENU Handle);
// Whether Window owns the menu loop that runs now (its menu bar or its system menu is tracked).
bool OwnsMenuLoop(HWND Window);
// Destroys a window that owns the running menu loop: the system would destroy the tracked system
// menu with it. Its children go at once; the window itself, hidden, without its menu bar and with
// no procedure of the program's left on it, waits for the end of the loop, which is closed.
void ReleaseWindowAfterMenuLoop(HWND Window);
// Destroys the handles and windows kept back above, once no menu loop runs. The application calls
// it for every message it takes from the queue, and a pop-up menu once its loop has returned.
void ReleasePendingMenus();
// Whether Menu is a pop-up menu that still exists (for requests queued with a menu's address).
bool IsLivePopupMenu(const TPopupMenu* Menu);
