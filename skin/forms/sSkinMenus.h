// Skinned menus: the menu painter of a skin manager (TsSkinableMenus), which switches menus to
// owner draw and gives their items the skin's measure and draw handlers; the popup-menu frame
// (one frame bitmap per open menu, kept in a cache) and the subclassing of popup-menu windows;
// and the skinned system menu of forms (TsCustomSysMenu, TsSystemMenu). Win32.
//
// Hooking rules. Popup items get (PaintMenuItem, MeasureMenuItem), the top-level items of a menu
// bar (MenuItemAdvancedDraw, MenuItemMeasure). Popup handlers are set only where an item has no
// handler yet, each of the two events checked on its own; unhooking clears a handler only while
// it is still this painter's own. A handler is the painter's own when it is the functor the
// painter installed (TsMenuItemHandler) for this painter; descendants that override
// PaintMenuItem or MenuItemAdvancedDraw are reached through the same functor.
//
// Frame cache. A popup menu is painted in two layers: the frame (section "MAINMENU" with its
// border mask, the glyph column band and the optional extra line) painted once per open menu into
// a bitmap of the popup window's size and cached under the menu's first item, and the items,
// painted over that frame. The destruction of any subclassed popup window empties the cache.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "framework/Menus.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/core/sSkinManager.h"

class TsSkinableMenus;
class TsWaitingMenu;

// The kind of a menu item, passed to OnDrawItem.
enum TsMenuItemType { smCaption, smDivider, smNormal, smTopLine };

using TsMenuManagerDrawItemEvent = std::function<void(TObject* Sender, TCanvas* ACanvas, const TRect& ARect,
                                                      TOwnerDrawState State, TsMenuItemType ItemType)>;

// One record of the frame cache.
struct TacMenuInfo {
  TMenuItem* FirstItem = nullptr;  // first item of the menu (the key)
  TBitmap* Bmp = nullptr;          // the frame image, owned by the cache
  HWND Wnd = nullptr;              // the popup window, 0 when painted without one
  bool ExtraLine = false;          // the menu shows the extra line
};

// The functors the painter installs as item handlers; their identity (type and Painter) tells
// unhooking whether a handler is still the painter's own.
struct TsMenuItemHandler {
  TsSkinableMenus* Painter = nullptr;
  bool TopLine = false;
  void operator()(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State) const;
};
struct TsMenuMeasureHandler {
  TsSkinableMenus* Painter = nullptr;
  bool TopLine = false;
  void operator()(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height) const;
};

class TsSkinableMenus : public TacManagerMenus, public TPersistent {
  T_CLASS(TsSkinableMenus, TPersistent)

 public:
  explicit TsSkinableMenus(TsSkinManager* AOwner);
  ~TsSkinableMenus() override;

  // --- published settings
  int Margin() const { return FMargin; }
  void SetMargin(int Value) { FMargin = Value; }
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value) { FAlignment = Value; }
  int BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int Value) { FBevelWidth = Value; }
  // Width of the popup frame strips copied by the item painter.
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int Value) { FBorderWidth = Value; }
  TFont* CaptionFont() const { return FCaptionFont.get(); }
  void SetCaptionFont(TFont* Value) { FCaptionFont->Assign(Value); }
  // The frame border width of the skin: the own BORDERSMASK of "MAINMENU" (its BorderWidth, 3
  // when that is 0 or less), 0 without one; computed while the stored value is negative.
  int SkinBorderWidth();
  void SetSkinBorderWidth(int Value) { FSkinBorderWidth = Value; }
  int Spacing() const { return FSpacing; }
  void SetSpacing(int Value) { FSpacing = Value; }
  TsMenuManagerDrawItemEvent OnDrawItem;

  // --- state
  bool Active() const { return FActive; }
  TsSkinManager* SkinManager() const { return FSkinManager; }
  // Region cut-outs of the last frame painted.
  std::vector<TRect> CornerRects;
  // Re-entry guard of SkinPopupMenuWindow.
  bool FrameBusy = false;

  // --- the manager's side (TacManagerMenus)
  void ResetSectionIndex() override { FSkinBorderWidth = -1; }
  // SetActive(the skin data's active flag) when it differs from Active.
  void UpdateActive() override;
  TBitmap* FrameBitmapOf(TPopupMenu* Menu, HWND Wnd) override;
  void SkinPopupMenuWindow(HWND Wnd, TBitmap* Bmp) override;

  // Active := Value; unless the manager is designing, every component owned by Application is
  // hooked (or unhooked).
  void SetActive(bool Value);
  void HookComponentMenus(TComponent* C, bool Value);
  void HookPopupMenu(TPopupMenu* Menu, bool Value) override;
  void HookMainMenu(TMainMenu* Menu, bool Value);
  void HookItemTree(TMenuItem* Item, bool Value);
  // Measuring: the item is measured because its menu is being shown (see SetMenuOwnerDraw).
  void HookItem(TMenuItem* Item, bool Value, bool Measuring = false);
  // Switches a menu's owner drawing; while a menu loop runs, the switch waits for its end (a
  // timer looks for it) and is made then, unless the menu is freed meanwhile. InMenu: a menu is
  // being shown although the system may not count its loop as running yet (a click on a menu
  // line opens the first submenu before the loop takes the mouse), so the switch waits too.
  void SetMenuOwnerDraw(TMenu* Menu, bool Value, bool InMenu = false);
  // Makes the waiting switches (the menu loop has ended).
  void ApplyWaitingMenus();

  // --- item painting
  virtual void PaintMenuItem(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State);
  virtual void MenuItemAdvancedDraw(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State);
  void MeasureMenuItem(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height);
  void MenuItemMeasure(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height);
  int MenuItemHeight(TCanvas* ACanvas, TMenuItem* Item);
  int MenuHeight(TCanvas* ACanvas, TMenuItem* Item);
  int MenuWidth(TCanvas* ACanvas, TMenuItem* Item);
  TPoint GetGlyphSize(TMenuItem* Item, bool BitmapOnly) const;
  void PaintDivider(TCanvas* ACanvas, const TRect& R, const TacMenuInfo& Info, TBitmap* FrameBmp, TMenuItem* Item);
  void PaintCaptionItem(TCanvas* ACanvas, const TRect& R, const TacMenuInfo& Info, TBitmap* FrameBmp,
                        TMenuItem* Item);
  static bool ItemAfterBreak(TMenuItem* Item);
  static bool IsCaptionItem(TMenuItem* Item);
  static bool IsTopLineItem(TMenuItem* Item);
  static bool IsFirstVisibleItem(TMenuItem* Item);
  static bool IsLastVisibleItem(TMenuItem* Item);
  // The SkinnedMDIMainProvider's form is an MDI main form with a maximised active child that has
  // a system menu and an icon: the menu line shows that icon.
  bool MDIChildIconVisible() const;

  // --- the frame
  // Info := the cache record of Item's menu (painting it when missing and Width <> 0), or, with
  // Item nullptr and Wnd, the record of that window; FirstItem and Bmp stay nullptr when none.
  void GetMenuInfo(TMenuItem* Item, int Width, int Height, HWND Wnd, TacMenuInfo& Info);
  void PaintMenuFrame(TMenuItem* FirstItem, int Width, int Height, HWND Wnd);

 private:
  // Assigns the menu font (and the owning form's charset) to the canvas.
  void SetMenuFont(TCanvas* ACanvas, TMenuItem* Item) const;
  // Adds the font SetMenuFont gives Item to a picture's key.
  void AddMenuFont(TacPictureKey& Key, TMenuItem* Item) const;
  int ExtraLineWidthOf(const TacMenuInfo& Info) const;
  // The extra-line query for a menu's first item; the answer is the line's visibility.
  bool QueryExtraLine(TMenuItem* FirstItem);

  TsSkinManager* FSkinManager = nullptr;
  int FMargin = 2;
  TAlignment FAlignment = taLeftJustify;
  int FBevelWidth = 0;
  int FBorderWidth = 3;
  std::unique_ptr<TFont> FCaptionFont;
  int FSkinBorderWidth = 0;
  int FSpacing = 6;
  bool FActive = false;
  std::vector<std::unique_ptr<TsWaitingMenu>> FWaiting;
  // The menu line's caption widths and item pictures, each with what it was made from: the system
  // measures the line at every change of a form's frame, and the form paints the line at every new
  // size, mostly with the same items over the same background. A few of each are kept, the newest
  // last; a picture is its 24-bit rows, top row first.
  struct TLineWidth {
    TacPictureKey Key;
    int Width;
  };
  struct TLinePicture {
    TacPictureKey Key;
    std::vector<unsigned char> Rows;
  };
  std::vector<TLineWidth> FLineWidths;
  std::vector<TLinePicture> FLinePictures;
};

// How the top-line painter reaches the menu-line background that a form's skin provider keeps:
// the provider fills MenuLineBackground, which answers the bitmap of the menu line of the form
// showing Item's menu bar and, in Origin, the point of that bitmap under R's top-left corner
// (nullptr: no skinned menu line; the item is then left unpainted).
struct TacMenuLineLink {
  std::function<TBitmap*(TMenuItem* Item, TCanvas* ACanvas, const TRect& R, TPoint& Origin)> MenuLineBackground;
};
extern TacMenuLineLink acMenuLineLink;

// Fills the manager's menu-painter factory (acFormSkinningLink.CreateMenus) with TsSkinableMenus.
// Managers made afterwards get the skinned painter.
void sSkinMenusInstall();

// The painter of a manager as TsSkinableMenus; nullptr for a manager without one.
TsSkinableMenus* SkinableMenusOf(TsSkinManager* Manager);

// --- the frame cache and popup windows
extern std::vector<TacMenuInfo> MenuInfoCache;
// Frees every record's bitmap and empties the cache.
void ClearMenuCache();
// The replacement window procedure of subclassed popup windows.
LRESULT CALLBACK PopupMenuWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

// --- what the system draws over a popup window's items (sSkinMenusWindow)
// The height of the scroll bands of a popup-menu window; 0 when its menu fits on the screen.
int MenuScrollBandHeight(HWND Wnd);
// Paints the scroll bands of a scrolling menu into its window's frame image: the menu's
// background inside the frame's border (BorderWidth) with the scroll-bar buttons' arrows.
void PaintMenuScrollBands(TBitmap* Frame, HWND Wnd, TsSkinManager* M, int BorderWidth);
// Draws the arrow of an item that opens a submenu at the right end of its picture.
void DrawSubmenuArrow(TBitmap* Work, TsSkinManager* M, bool Hot);
// Keeps the right end of an item's picture (Work, drawn at R of DC on the popup window Wnd), to
// put it back over the arrow the system draws there after the item.
void KeepSubmenuArrow(HWND Wnd, HDC DC, const TRect& R, TBitmap* Work);
// An item was painted on the popup window: the window's own pictures go back after the system's
// drawing that follows it.
void MenuItemPainted(HWND Wnd);
// Puts the kept arrows and the scroll bands back on the window.
void RestoreMenuWindowPaint(HWND Wnd);
// The popup window procedure's part: WM_PAINT passed on to Old and the window's own pictures put
// back after it, the request to put them back, and the window's end. True when it answered the
// message (Result holds the answer).
bool HandleMenuWindowPaint(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, WNDPROC Old, LRESULT& Result);

// --- unit state shared by the item and frame painters
extern TsMenuItemType CurrentItemType;
// Margin + glyph width + Spacing of the last menu frame painted.
extern int GlyphColumnWidth;
extern int LastGlyphWidth;
// Set by every MeasureMenuItem (read and cleared by the popup-menu window adapter).
extern bool MenusMeasured;
extern AnsiString ExtraLineSection;
extern AnsiString ExtraLineCaption;

// ---------------------------------------------------------------------------------------------
// The skinned system menu

// The popup menu a skinned form shows as its system menu; the six rules decide which items and
// caption buttons exist and are enabled.
class TsCustomSysMenu : public TPopupMenu {
  T_CLASS(TsCustomSysMenu, TPopupMenu)

 public:
  using TPopupMenu::TPopupMenu;
  virtual bool VisibleClose() = 0;
  virtual bool VisibleMax() = 0;
  virtual bool VisibleMin() = 0;
  virtual bool EnabledMax() = 0;
  virtual bool EnabledMin() = 0;
  virtual bool EnabledRestore() = 0;

  // The standard items of the menu (nullptr until made).
  TMenuItem* ItemRestore = nullptr;
  TMenuItem* ItemMove = nullptr;
  TMenuItem* ItemSize = nullptr;
  TMenuItem* ItemMinimize = nullptr;
  TMenuItem* ItemMaximize = nullptr;
  TMenuItem* ItemClose = nullptr;
};

// The system menu of a form's skin provider, rebuilt from the window's Win32 system menu
// (commands below SC_SIZE that the application added there are kept) and named "SysMenu".
class TsSystemMenu : public TsCustomSysMenu {
  T_CLASS(TsSystemMenu, TsCustomSysMenu)

 public:
  // AOwner: the provider (owner of the menu); AForm: its form.
  TsSystemMenu(TComponent* AOwner, TCustomForm* AForm);

  // The provider's SysMenuStyleChanged flag (the form had WS_SYSMENU, which the provider took
  // over). Unset: the form's window still has WS_SYSMENU (or, without a window, biSystemMenu).
  std::function<bool()> SysMenuStyleChanged;
  // The manager whose skins AddSkinsItem lists (nullptr: the default manager).
  TsSkinManager* SkinManager = nullptr;

  int ExtraCount = 0;
  TCustomForm* Form() const { return FForm; }

  void MakeSkinItems();
  void UpdateItems(bool Rebuild = false);
  // Inserts the skin-selection submenu ("SkinSelectItem") at the top.
  void AddSkinsItem();

  bool VisibleClose() override;
  bool VisibleMax() override;
  bool VisibleMin() override;
  bool EnabledMax() override;
  bool EnabledMin() override;
  bool EnabledRestore() override;
  bool VisibleRestore();
  bool VisibleSize();
  bool EnabledMove();
  bool EnabledSize();

  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  bool IsIconicForm() const;
  bool IsMDIChild() const;
  TMenuItem* MakeItem(const wchar_t* Name, int Command, const wchar_t* Fallback);
  void SendCommand(WPARAM Command);
  TCustomForm* FForm = nullptr;
};

// Text of an entry of a window's Win32 system menu: the caption up to the first tab and the
// shortcut text after it; False when the menu has no such entry.
bool GetSysItemText(HMENU Menu, UINT Id, UINT Flags, WideString& Caption, WideString& ShortCutText);
