// acDials: skinning of windows that nobody equipped with a skin component, driven by the thread's
// WH_CBT hook of the default skin manager.
//
//  - A framework form activated without a skin provider gets one (a TsSkinProvider made for it,
//    owned by the form), unless its Tag is -98, its class is excluded, or the manager's
//    SkinningRules do not ask for it.
//  - A system dialog (window class "#32770": message boxes, common dialogs) gets the dialog window
//    adapter TacDialogWnd, which paints its frame and caption from the skin, and one window adapter
//    per child window chosen by the child's window class (AdaptChildWindows).
//  - A popup menu window ("#32768") gets a menu window adapter when the manager skins popups.
//
// Every window taken over is recorded by a TacProvider in the hook's provider list
// (acHookProviderList of the skin core, which owns the providers and is created and freed by the
// manager with the hook). Entries are set to nullptr, never deleted, when a provider goes; every
// walker skips nullptr entries. A dialog's provider is freed at the first HCBT_DESTROYWND after
// its dialog has been destroyed.
//
// acDialsInstall() fills acFormSkinningLink's hook entries (and acProviderLink.HookedWindows);
// the program calls it once at start-up, before the default manager installs its hook.
// Win32.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "framework/Components.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "framework/Lists.h"
#include "framework/Menus.h"
#include "framework/Messages.h"
#include "skin/controls/acScrollBars.h"
#include "skin/core/sPaintUtils.h"
#include "skin/forms/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"

class TacBorderForm;
class TacDialogWnd;
class TacMnuWnd;
class TacSystemMenu;
class TsSkinManager;
struct TacBGInfo;

// ---- the hook and the provider list -------------------------------------------------------------

// Fills acFormSkinningLink.CBTHookProc and ClearMnuWnds, and acProviderLink.HookedWindows.
// Idempotent.
void acDialsInstall();

// The hook procedure: calls the next hook first and returns its answer; then HCBT_CREATEWND skins
// popup-menu windows, HCBT_DESTROYWND frees the providers of destroyed dialogs and HCBT_ACTIVATE
// runs SkinActivatedWindow.
LRESULT CALLBACK CBTHookProc(int Code, WPARAM WParam, LPARAM LParam);

// Takes over an activated window: a framework form gets a skin provider, a system dialog a dialog
// adapter. True when a provider was made. Nothing for a window that is skinned already (answers
// AC_ISSKINNED with 1), without a default manager, for a dialog held already, or for a form whose
// Tag is -98.
bool SkinActivatedWindow(HWND Wnd);

// Requested screen position of the next system dialog (-1, -1: none).
extern int DialogPosX;
extern int DialogPosY;

// The record of one window taken over by the hook: a framework form (SkinProvider set) or a
// system dialog (DialogHandle, DialogAdapter and Adapters set).
class TacProvider : public TComponent {
  T_CLASS(TacProvider, TComponent)

 public:
  // AOwner is not used as owner: providers belong to the provider list.
  explicit TacProvider(TComponent* AOwner = nullptr);
  // A form provider empties its own entry of the list; a dialog provider frees its child adapters
  // and its dialog adapter (its caller empties the entry).
  ~TacProvider() override;

  // Makes the form's skin provider (owned by the form). Always True.
  bool InitVCLForm(TCustomForm* Form);
  // Takes over a system dialog (adapter, position, children, first skin). Always True.
  bool InitDialog(HWND Wnd);
  bool IsFormProvider() const { return SkinProvider != nullptr; }

  // The dialog's extended style holds WS_EX_CONTROLPARENT.
  bool ControlParent = false;
  HWND DialogHandle = nullptr;
  TsSkinProvider* SkinProvider = nullptr;  // not owned (the form owns it)
  TacDialogWnd* DialogAdapter = nullptr;   // owned
  TList* Adapters = nullptr;               // owned, with its TacMainWnd items
};

// The provider list (acHookProviderList; nullptr while no hook was installed).
TObjectList* ProviderList();
// Creates the dialog's adapter (default manager active), or frees it (otherwise).
void InitDialogAdapter(HWND Wnd, TacDialogWnd*& Adapter);
// The form whose window is Wnd (Screen's forms from the last, MDI children included).
TCustomForm* FindVCLForm(HWND Wnd);
// The first listed provider of the dialog Wnd, or nullptr.
TacProvider* FindDialogProvider(HWND Wnd);
// Listed providers with a dialog adapter whose window is visible.
int VisibleDialogCount();
// Some descendant window's lower-cased class name equals ClassName.
bool HasChildOfClass(HWND Wnd, const AnsiString& ClassName);
// The window's class name (at most 127 characters).
AnsiString GetWndClassName(HWND Wnd);
// Sends the message to each direct child window of Wnd, in z-order.
void SendToChildren(HWND Wnd, TMessage& Message);
// Frees every listed provider whose dialog adapter has detached from its window.
void FreeDetachedProviders();
// The popup-menu window adapters made by the hook (not owned; each menu adapter clears its entry
// when its window goes) and ClearMnuWnds, which forgets them all without freeing.
std::vector<TacMnuWnd*>& MnuWnds();
void ClearMnuWnds();

// ---- dialog children ---------------------------------------------------------------------------

// The adapter a dialog child gets, by its window class and style.
enum TacDialogChildAdapter {
  dckNone, dckIcon, dckStatic, dckTransPanel, dckDlgPanel, dckGroupBox, dckButton, dckCheckBox, dckComboBox,
  dckEdit, dckSizer, dckTabControl, dckListView, dckSpin, dckLink, dckToolBar, dckTreeView
};
struct TacDialogChildKind {
  TacDialogChildAdapter Adapter = dckNone;
  const char* Section = "";
};
// The choice for a window class (any letter case), window style and visibility. ClearsPaintSuppress
// (optional) receives whether such a child clears the dialog adapter's paint-suppress flag (edits
// and combo boxes, visible or not).
TacDialogChildKind DialogChildKind(const AnsiString& ClassName, LONG Style, bool Visible,
                                   bool* ClearsPaintSuppress = nullptr);

// Adapts one child window of a dialog by its window class and style (skips skinned windows). True
// for every non-zero Wnd.
bool AdaptDialogChild(TacProvider* Provider, HWND Wnd);
// Adapts the whole window tree below Parent, descendants before their parents.
bool AdaptChildWindows(TacProvider* Provider, HWND Parent);

// ---- the dialog window adapter -----------------------------------------------------------------

// Frame kinds (see TacDialogWnd::InitParams).
inline constexpr Byte dfkModalFrame = 0;
inline constexpr Byte dfkDefault = 1;
inline constexpr Byte dfkPopup = 2;
inline constexpr Byte dfkSizeable = 3;

// Hit codes of the dialog's caption buttons.
inline constexpr int dhtMinimize = HTMINBUTTON;  // 8
inline constexpr int dhtMaximize = HTMAXBUTTON;  // 9
inline constexpr int dhtClose = HTCLOSE;         // 20
inline constexpr int dhtHelp = HTHELP;           // 21

// The adapter of a system dialog: skinned title bar, borders, caption buttons, window region and
// system menu; client background and background answers for the children.
class TacDialogWnd : public TacScrollWnd {
  T_CLASS(TacDialogWnd, TacScrollWnd)

 public:
  TacDialogWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  ~TacDialogWnd() override;

  void WndProc(TMessage& Message) override;
  // Gives the window back its WS_SYSMENU style and its full region when the adapter lets go of a
  // living window.
  void RestoreStdParams() override;

  // Reads the styles, computes the frame kind, takes the icon, looks the caption-button images up,
  // makes the caption font and removes WS_SYSMENU from the window.
  void InitParams();
  // Looks the caption-button images up in "GLOBALINFO".
  void LoadButtonImages();
  // Makes or frees the extended-border window.
  void UpdateBorderForm(bool On);

  // ---- painting
  // Rebuilds the non-client cache when the background changed (section "DIALOG", caption, buttons).
  void PaintAll();
  // The caption over the title strip; key-coloured corners of the title show Under's pixels
  // (nullptr: the cache's own).
  void PaintCaption(TBitmap* Under = nullptr);
  // Where the caption's text goes in a non-client image ImageWidth pixels wide: between the icon
  // and the caption buttons (empty without a caption).
  TRect CaptionTextRect(int ImageWidth) const;
  // The skinned title holds an icon and wider buttons than the system's: a dialog whose caption
  // does not fit there is made wider for it, up to half the width of its work area (a longer
  // caption is still cut). Its contents and the dialog itself stay centred where they were; with
  // KeepLeft (a dialog at a place asked for) its left edge stays and it widens to the right, no
  // further than its work area.
  void WidenForCaption(bool KeepLeft = false);
  void PaintButtons();
  // Copies the frame strips of the cache to the window (and sets the region when dirty).
  void PaintNC();
  void BuildRegionRects();
  void SetRegion(bool Repaint);
  // Copies the client part of the cache into DC (the window DC for 0).
  void PaintClientBg(HDC DC);
  // Repaints one caption button in its current state.
  void RepaintButton(int HitCode);

  // ---- caption buttons
  void SetHot(int HitCode, bool Repaint);
  void SetPressed(int HitCode);
  TsCaptionButton* ButtonByCode(int HitCode);
  // The skinned hit test of a screen point; Default: the answer outside the button band.
  LRESULT HitTest(int X, int Y, LRESULT Default);
  void ShowSystemMenu(int X, int Y);
  // The system menu below the title bar, at the icon (a press on the icon, Alt+Space).
  void DropSystemMenuBelowIcon();
  // Frees the caption buttons' fade animations.
  void FreeAnimations();

  // ---- metrics and predicates
  // The caption height: with a border window the skin's title height (UseSkin), else the
  // system's.
  int CaptionHeight(bool UseSkin = true) const;
  // The caption icon's rectangle in the non-client image.
  TRect IconRect() const;
  // The hit code of the caption button painted at P (image coordinates): HTCLOSE, HTMAXBUTTON,
  // HTMINBUTTON, HTHELP, HTCAPTION for a disabled one; 0 for none. AnyHeight: P.Y is not
  // tested (the hit test's band decides it). The dialog's hit test and its border window's both
  // answer from it.
  int ButtonCodeAt(TPoint P, bool AnyHeight) const;
  // A screen point in image coordinates (the border window's when there is one).
  TPoint ImagePoint(POINT Screen) const;
  // The frame width of the window (the system frame; the skinned one with a border form).
  int FrameWidth() const;
  // Where the client area starts inside the cache.
  TPoint ClientOffset() const;
  bool CloseEnabled() const;
  bool MaxEnabled() const;
  bool RestoreEnabled() const;
  bool MinEnabled() const;
  bool HasMaxBox() const { return (SavedStyle & WS_MAXIMIZEBOX) != 0; }
  bool HasMinBox() const { return (SavedStyle & WS_MINIMIZEBOX) != 0; }
  bool HasSysMenu() const { return (SavedStyle & WS_SYSMENU) != 0; }
  bool HasHelp() const { return (SavedExStyle & WS_EX_CONTEXTHELP) != 0; }
  bool Iconic() const { return IsIconic(CtrlHandle) != FALSE; }
  bool Zoomed() const { return IsZoomed(CtrlHandle) != FALSE; }
  TRect ExtMargins() const;

  // ---- fields
  int HotCode = 0;  // 0 none, 8, 9, 20, 21
  bool Active = true;
  bool PaintSuppress = false;
  int CaptionIndex = -1;
  bool ChildrenAdapted = false;
  TacBorderForm* BorderForm = nullptr;  // owned
  TsCaptionButton ButtonMin, ButtonMax, ButtonClose, ButtonHelp;
  std::unique_ptr<TBitmap> IconBmp;
  HICON Icon = nullptr;
  std::unique_ptr<TFont> CaptionFont;
  LONG SavedStyle = 0;
  LONG SavedExStyle = 0;
  bool RegionDirty = true;
  // The window size the dialog was last told of (its position messages), and a frame paint left
  // for a size not yet told.
  TSize ToldSize{0, 0};
  TacFramePaintWait FrameWait;
  TRect DlgRect{};
  int DlgWidth = 0;
  int DlgHeight = 0;
  Byte FrameKind = dfkDefault;
  std::unique_ptr<TBitmap> TitleCopy;
  TacSystemMenu* SystemMenu = nullptr;  // owned
  TacProvider* Provider = nullptr;
  std::vector<TRect> RegionRects;
  // Calls of WndProc under way; a provider is not freed while its adapter is inside WndProc.
  int WndProcDepth = 0;

 private:
  // DoWndProc hands each message to its handler (the ones below and HandlePress, HandleRelease).
  void DoWndProc(TMessage& Message);
  // Passes the message to the window's previous procedure; the message's LParam stays as it is.
  LRESULT CallOld(const TMessage& Message);
  void WMDestroy(TMessage& Message);
  // The skin command message, with its handlers.
  void SkinCommand(TMessage& Message, TsSkinManager* M);
  void ACNewSkin(TMessage& Message, TsSkinManager* M);
  void ACRefreshSkin(TsSkinManager* M);
  void ACGetBackground(TacBGInfo* Info);
  void WMNCHitTest(TMessage& Message);
  void WMDrawItem(TMessage& Message);
  // WM_WINDOWPOSCHANGED and WM_SIZE.
  void WMBoundsChanged(TMessage& Message);
  void WMNCPaint(TMessage& Message);
  void WMNCActivate(TMessage& Message);
  void WMShowWindow(TMessage& Message);
  void WMSetFocus(TMessage& Message);
  void WMEnable(TMessage& Message);
  void WMSetText(TMessage& Message);
  void WMPaint(TMessage& Message);
  void WMEraseBkgnd(TMessage& Message);
  void WMNCLButtonDblClk(TMessage& Message);
  void WMNCRButtonUp(TMessage& Message);
  void WMCtlColorDlg(TMessage& Message, TsSkinManager* M);
  // WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX and WM_CTLCOLORSTATIC of a child that the skin paints
  // wholly (an edit or list box adapter outside DlgMode): the colours of its section. False for
  // any other child (the message goes on).
  bool CtlColorChild(TMessage& Message);
  // Message 0x52E: the dialog's own handling, then its children are adapted again and the window
  // redrawn.
  void ReadaptChildrenAfter(TMessage& Message);
  void HandlePress(TMessage& Message);
  void HandleRelease(TMessage& Message);
  // A caption-button press holds the capture until its release; the press belongs to the dialog
  // that holds it. OwnsPress: this dialog's press is under way. DropPress forgets it (the capture
  // went, the mode was cancelled, the window goes): the button returns to normal (repainted when
  // Repaint) and the capture is given back when still held.
  bool OwnsPress() const;
  void DropPress(bool Repaint);
  void PassOn(TMessage& Message);
  void AfterPassOn(TMessage& Message);
  void UpdateBorderWindow(bool Repaint);
  void RefreshGeometry();
  void PaintButton(TsCaptionButton& Button, int ImageIndex, bool Enabled);
  int ButtonImage(const TsCaptionButton& Button) const;
  HBRUSH FBrush = nullptr;
  TColor FBrushColor = clNone;
  // The brushes answered to the children's colour queries, one per colour (freed with the adapter).
  std::vector<std::pair<COLORREF, HBRUSH>> FChildBrushes;
};

// True while a caption button of a dialog is pressed (shared by all dialog adapters).
extern bool acDialogButtonPressed;

// ---- the dialog's system menu ------------------------------------------------------------------

class TacSystemMenu : public TsCustomSysMenu {
  T_CLASS(TacSystemMenu, TsCustomSysMenu)

 public:
  explicit TacSystemMenu(TComponent* AOwner);

  // Sets each item's visibility and enabled state from the dialog.
  void UpdateItems();

  bool VisibleClose() override;
  bool VisibleMax() override { return false; }
  bool VisibleMin() override { return false; }
  bool EnabledMax() override { return false; }
  bool EnabledMin() override { return false; }
  bool EnabledRestore() override { return false; }

  TacDialogWnd* Dialog = nullptr;

 private:
  void ItemClick(TObject* Sender);
  TMenuItem* MakeItem(const char* Name, const wchar_t* Caption);
};
