// The scrollable-control adapters: window adapters of windows that have a client area of their
// own with scroll bars (edits, memos, list boxes, list views, tree views, grids, combo boxes and
// their drop-down lists, the MDI client and popup-menu windows). All of them descend from
// TacScrollWnd (acScrollBars.h), which paints the non-client scroll bars from the skin.
//
//  - TacBaseWnd: refreshes the border and the bars after the messages that change them.
//  - TacEditWnd: edits, memos, list boxes and the base of the others. Saves and restores the
//    control's own colours, applies the section's colours, paints the non-client frame from the
//    skin data's cache bitmap and keeps the border's hot look in step with focus and mouse.
//  - TacListViewWnd: list views; paints the column header ("SysHeader32") from the skin and
//    scrolls by whole items while the thumb is dragged.
//  - TacTreeViewWnd: tree views; fills the tree background itself in the section's hot colour.
//  - TacGridWnd, TacGridEhWnd: grids of other libraries; colours set through published
//    properties found by name.
//  - TacVirtualTreeViewWnd: virtual trees of other libraries; colours set through published
//    properties found by name. Their header keeps the tree's own look: drawing it from the skin
//    through the tree's header-draw events is not built (the framework has no virtual tree, and
//    no lookup by name reaches an event; docs/architecture.md, "Not built").
//  - TacComboBoxWnd, TacWWComboBoxWnd: combo boxes; a 3-pixel frame and the drop button from
//    "COMBOBTN"; the drop-down list gets a TacComboListWnd.
//  - TacComboListWnd: the list window of a combo box.
//  - TacMDIWnd: the MDI client of a skinned MDI main form (background from the form's cache).
//  - TacMnuWnd: a popup-menu window ("#32768"); draws its 3-pixel frame.
//
// Adapters are made with TacMainWnd::Create<T>(...) (acWndAdapter.h).
//
// Form and menu skinning sit above this library; what the MDI and menu adapters need of them
// reaches them through the two link tables at the end (acMDIProviderLink, acMenuWndLink), which
// form and menu skinning fill. While an entry is empty the adapter does without it.
// Win32.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "skin/controls/acScrollBars.h"
#include "skin/controls/acWndAdapter.h"

class TCustomForm;
class TWinControl;
class TacComboListWnd;

// ---- TacBaseWnd ---------------------------------------------------------------------------------

class TacBaseWnd : public TacScrollWnd {
  T_CLASS(TacBaseWnd, TacScrollWnd)

 public:
  using TacScrollWnd::TacScrollWnd;
  void WndProc(TMessage& Message) override;
};

// ---- TacEditWnd ---------------------------------------------------------------------------------

class TacEditWnd : public TacBaseWnd {
  T_CLASS(TacEditWnd, TacBaseWnd)

 public:
  // An empty SkinSection means "EDIT".
  TacEditWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  ~TacEditWnd() override;

  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;
  void WndProc(TMessage& Message) override;

  // Background colour for a plain window (no framework control): the section's Color, or
  // clWindow in DlgMode or without a valid section. Set by SetSkinParams.
  TColor WindowColor = clWindow;
  // The control's own "FocusColor" property (when it has one).
  TColor OldFocusColor = 0;
  // Frame colour for a plain window (0 after SetSkinParams).
  TColor FrameColor = 0;

 protected:
  // Copies the frame strips (FrameWidth wide) of the cache bitmap into DC at (0, 0).
  void BltCacheFrame(HDC DC, int FrameWidth);
  // SaveDC, origin moved by InsetLeft, clip to the client part left of / above the bars.
  void ClipToClientPart(HDC DC);
  // Before the frame is painted: the geometry read afresh and the cache repainted when stale;
  // false (nothing painted) while painting is held back.
  bool UpdateFrameCache();
  // Before printing: the geometry read afresh, painting no longer held back and the cache marked
  // stale, with the skin's parameters applied once.
  void BeginPrint();
};

// ---- list view, tree view, grids ----------------------------------------------------------------

class TacListViewWnd : public TacEditWnd {
  T_CLASS(TacListViewWnd, TacEditWnd)

 public:
  TacListViewWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  ~TacListViewWnd() override;

  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;
  void WndProc(TMessage& Message) override;

  // The view style: 0 icon, 1 report, 2 small icon, 3 list.
  int ViewStyle() const;
  // The header window procedure (the subclassed "SysHeader32" child).
  void HeaderWndProc(TMessage& Message);
  // Paints the whole header into DC (0: the header's own DC between BeginPaint and EndPaint).
  void PaintHeader(HDC DC);

  // The subclassed header child, 0 when none; its previous window procedure.
  HWND HeaderWnd = nullptr;
  WNDPROC OldHeaderProc = nullptr;
  // Header item under the pressed left button / under the mouse; -1 none.
  int PressedSection = -1;
  int HotSection = -1;

 protected:
  // The header is subclassed once the list view is taken over (never by a refused adapter).
  void HookWindow(bool Repaint) override;

 private:
  void SubclassHeader(HWND Header);
  void ReleaseHeader();
  void PaintHeaderSection(int Index, const TRect& R, HDC DC);
  LRESULT CallOldHeaderProc(UINT Msg, WPARAM WParam, LPARAM LParam);
  // The header's picture, kept while what it is made from stays the same: the header's size, its
  // items (place, text, format, image and the pixels it shows), the hot and pressed items, the
  // font, colour, images and enabled state of the list view, and the skin.
  TacPictureKey HeaderKeyOf(const RECT& Client);
  // The list view window's own colours (its background, text background and text), saved beside
  // the framework control's colour (OldColor), which the framework keeps apart from them.
  COLORREF OldListBk = 0, OldListTextBk = 0, OldListText = 0;
  std::unique_ptr<TBitmap> HeaderPicture;
  // Where the key takes the picture of each column's image.
  std::unique_ptr<TBitmap> ImageWork;
  TacKeptPicture HeaderKept;
};

class TacTreeViewWnd : public TacEditWnd {
  T_CLASS(TacTreeViewWnd, TacEditWnd)

 public:
  using TacEditWnd::TacEditWnd;
  ~TacTreeViewWnd() override;

  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;
  void WndProc(TMessage& Message) override;

  // Set by the owner of a tree that draws itself: WM_ERASEBKGND then goes to the tree.
  bool OwnerDrawsBackground = false;
  // The tree window's own background and text colours (TVM_GETBKCOLOR / TVM_GETTEXTCOLOR; -1:
  // the system's), put back by RestoreStdParams.
  COLORREF OldTreeBkColor = 0xFFFFFFFF;
  COLORREF OldTreeTextColor = 0xFFFFFFFF;
};

class TacGridWnd : public TacEditWnd {
  T_CLASS(TacGridWnd, TacEditWnd)

 public:
  using TacEditWnd::TacEditWnd;
  ~TacGridWnd() override;

  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;
  void WndProc(TMessage& Message) override;

  TColor OldFixedColor = 0;
  TColor OldFooterColor = 0;
  TColor OldFooterCellColor = 0;
  TColor OldTitleFontColor = 0;
  TColor OldTitleColor = 0;
  TColor OldIndicatorIconColor = 0;
  TColor OldSelectionColor = 0;
  TColor OldSelectionTextColor = 0;
  TColor OldGridLineColor = 0;
  TColor OldGridFixedLineColor = 0;
  TColor OldFixedGradientFrom = 0;
  TColor OldFixedGradientTo = 0;
};

class TacGridEhWnd : public TacGridWnd {
  T_CLASS(TacGridEhWnd, TacGridWnd)

 public:
  using TacGridWnd::TacGridWnd;
};

class TacVirtualTreeViewWnd : public TacEditWnd {
  T_CLASS(TacVirtualTreeViewWnd, TacEditWnd)

 public:
  using TacEditWnd::TacEditWnd;
  ~TacVirtualTreeViewWnd() override;

  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;
  void WndProc(TMessage& Message) override;

  TColor OldCompressedTextColor = 0;
  TColor OldFileTextColor = 0;
  TColor OldFolderTextColor = 0;
  bool OldHeaderOwnerDraw = false;
};

// ---- combo boxes --------------------------------------------------------------------------------

class TacComboBoxWnd : public TacEditWnd {
  T_CLASS(TacComboBoxWnd, TacEditWnd)

 public:
  TacComboBoxWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  ~TacComboBoxWnd() override;

  void WndProc(TMessage& Message) override;
  // The drop button in window coordinates (empty width for a combo without button).
  virtual void GetButtonRect(TRect& R);
  // Paints the drop button into DC (0: the window DC).
  void PaintButton(HDC DC);
  // The button's state: 2 dropped down, 1 hot, 0 normal.
  int ButtonState();

  // The combo's list window (from the first WM_CTLCOLORLISTBOX), 0 before.
  HWND ListWnd = nullptr;
  // The list's adapter (owned).
  TacComboListWnd* ListAdapter = nullptr;

 protected:
  // The drop button exists (CBS_DROPDOWN / CBS_DROPDOWNLIST style bit).
  virtual bool HasButton();
  // The edit adapter's, a dropped list kept dropped (WndProc).
  void RestoreStdParams() override;

 private:
  // The second skin data made at construction (not used for painting).
  TsCommonData* FSecondSkinData = nullptr;
  // The brush the list is given (made once per colour, freed with the adapter).
  HBRUSH FListBrush = nullptr;
  COLORREF FListBrushColor = 0;
  void PaintSimpleComboCache();
  void PaintTextIntoCache();
  void CtlColorListBox(TMessage& Message);
};

class TacWWComboBoxWnd : public TacComboBoxWnd {
  T_CLASS(TacWWComboBoxWnd, TacComboBoxWnd)

 public:
  using TacComboBoxWnd::TacComboBoxWnd;
  // Makes the adapter for a framework control: the drop button is drawn for any class but
  // "TComboBox", and for a "TComboBox" only with the drop-down styles. nullptr for no control.
  static TacWWComboBoxWnd* CreateFor(TWinControl* Control, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                                     const AnsiString& SkinSection, bool Repaint = true);
  void GetButtonRect(TRect& R) override;

  bool HasDropButton = true;

 protected:
  bool HasButton() override { return HasDropButton; }
};

class TacComboListWnd : public TacEditWnd {
  T_CLASS(TacComboListWnd, TacEditWnd)

 public:
  TacComboListWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  ~TacComboListWnd() override;

  void WndProc(TMessage& Message) override;

  // The list tracks the mouse (between the list's start-track and end-track messages).
  bool Tracking = false;
  // The list belongs to a CBS_SIMPLE combo box.
  bool SimpleList = false;
  // The combo box window whose list this is (0 when unknown).
  HWND ComboWnd = nullptr;

 private:
  void PrepareListCache();
  void FillBelowSimpleList();
};

// ---- MDI client ---------------------------------------------------------------------------------

class TacMDIWnd : public TacBaseWnd {
  T_CLASS(TacMDIWnd, TacBaseWnd)

 public:
  using TacBaseWnd::TacBaseWnd;
  ~TacMDIWnd() override;

  void WndProc(TMessage& Message) override;

  // The MDI main form (its ClientHandle is the adapted window), the skin data of the form's skin
  // provider and the provider; none owned, set by whoever makes the adapter.
  TCustomForm* MDIForm = nullptr;
  TsCommonData* FormSkinData = nullptr;
  TObject* Provider = nullptr;

  // The client window's rectangle in the coordinates of the form's cache bitmap.
  TRect AreaInFormCache();
  // The MDI background into DC (Print: no client-edge offset).
  void PaintMDIBackground(HDC DC, bool Print);
  // The client edge into the client window's window DC.
  void PaintClientEdge(HDC DC);

 private:
  bool FormSkinned() const;
  bool HasMaximizedChild() const;
  bool SkinPaintsArea() const;
  void PaintSplitterBackgrounds();
};

// ---- popup-menu window --------------------------------------------------------------------------

class TacMnuWnd : public TacScrollWnd {
  T_CLASS(TacMnuWnd, TacScrollWnd)

 public:
  using TacScrollWnd::TacScrollWnd;

  void WndProc(TMessage& Message) override;
  // Paints the section over the cache bitmap when the background changed.
  void PrepareCache();

  // Set by SM_ALPHACMD AC_POPUPSHOWN while the window is visible; cleared after each painted
  // WM_ERASEBKGND and on destruction.
  bool Shown = false;
};

// Set by the menu item painter while a skinned popup menu is shown; while it is False the menu
// adapters leave the window to the scroll-bar adapter's procedure.
extern bool acSkinnedMenuShown;

// ---- links to form and menu skinning ------------------------------------------------------------

// What the MDI adapter needs of the form's skin provider (Provider is passed as given to the
// adapter).
struct TacMDIProviderLink {
  // The form's colour (TsSkinProvider.FormColor).
  std::function<TColor(TObject* Provider)> FormColor;
  // Rebuilds the form's non-client image (PaintAll).
  std::function<void(TObject* Provider)> PaintAll;
  // True while the provider suspends painting around a form-state transition.
  std::function<bool(TObject* Provider)> Suspended;
  // True when the provider has an extended-border window; Offset then receives (left margin +
  // DiffBorder, top margin + DiffTitle).
  std::function<bool(TObject* Provider, TPoint& Offset)> ExtBorderOffset;
  // TsSkinProvider.RedrawNonClient.
  std::function<void(TObject* Provider)> RedrawNonClient;
  // After tiling or cascading: the menu-line row count reset, TsMDIForm.UpdateFormNC and the
  // system menu's items updated.
  std::function<void(TObject* Provider)> ChildrenArranged;
  // After WM_MDISETMENU: the skinned MDI main provider's background, title and menu line marked
  // dirty.
  std::function<void()> MDIMenuSet;
};
extern TacMDIProviderLink acMDIProviderLink;

// What the popup-menu adapter needs of the dialog hook's list of menu adapters and of menu
// skinning.
struct TacMenuWndLink {
  // Clears every entry of the hook's menu-adapter list that is Adapter.
  std::function<void(TacMnuWnd* Adapter)> ForgetAdapter;
  // The adapters still in the hook's list.
  std::function<std::vector<TacMnuWnd*>()> Adapters;
  // Empties the menu painter's cache.
  std::function<void()> ClearMenuCache;
};
extern TacMenuWndLink acMenuWndLink;
