// TsSkinProvider: the form skin provider.
//
// A non-visual component dropped on a form (or made for it by the dialog hook) that skins the
// whole window: it replaces the form's WindowProc, holds the form's skin data (section "FORM"),
// paints the title bar, frame, caption buttons and menu line into one form image (the skin data's
// cache bitmap) and copies that image's strips to the screen. The form keeps its ordinary Windows
// frame: the provider never answers WM_NCCALCSIZE; it paints over the non-client area and trims
// the window with a region cut from the transparent corners of the skin's frame image.
//
// Coordinates in the form image: the form proper starts at (ExtBorderMargins().Left,
// ExtBorderMargins().Top); the client area starts at (OffsetX(), OffsetY()).
//
// Caption buttons are addressed by the hit codes of the window procedure: 8 Minimize, 9 Maximize,
// 20 Close, 21 Help, 101..103 the small buttons of a maximised MDI child (close, restore,
// minimize), 1000 + i user button i.
//
// sSkinProviderInstall() fills acProviderLink (sFormList.h) with the provider's answers; the
// program calls it once at start-up, before any provider is made.
// Win32.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "framework/Components.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "framework/Lists.h"
#include "framework/Messages.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sPaintUtils.h"
#include "skin/forms/sSkinMenus.h"

class TsSkinManager;
class TsSkinProvider;
// Objects of other units that the provider holds by pointer (their units define them).
class TacBorderForm;    // the extended-border window
class TacCtrlAdapter;   // the form's control adapter list
class TsMDIForm;        // MDI main-form support
class TacScrollWnd;     // the form window's own skinned scroll-bar adapter
class TacSBAnimation;   // fade animation of a caption button

enum TsGripMode { gmNone, gmRightBottom };
enum TsResizeMode { rmStandard, rmBorder };

// The border window's hit test asks the provider's OnExtHitTest first (Result set = answered).
using TacNCHitTest = std::function<void(TMessage& Msg)>;
// Asked by the control adapter for each child control.
using TAddItemEvent = std::function<void(TComponent* Item, bool& CanBeAdded, AnsiString& SkinSection)>;

// One caption button.
struct TsCaptionButton {
  int State = -1;            // -1 absent, 0 normal, 1 hot, 2 pressed; also the state frame drawn
  int ImageIndex = -1;       // the button's mask in the manager, -1 none
  TRect Rect{};              // position in the form image
  bool HaveAlignment = false;  // from the big set: follows "BIVALIGN" 1 (top-aligned)
  int GlowID = -1;           // glow slot, -1 none
  TacSBAnimation* Timer = nullptr;  // running fade animation (owned by the animation code)
  int HitCode = 0;           // 8, 9, 20 for Min, Max, Close; 1000 + i for user button i
};

// ---- Title objects -----------------------------------------------------------------------------

// An own caption icon: Glyph (owned, assigned by copy), Width and Height (0 = from the caption
// height).
class TsTitleIcon : public TPersistent {
  T_CLASS(TsTitleIcon, TPersistent)

 public:
  TsTitleIcon();
  ~TsTitleIcon() override;
  TBitmap* Glyph() const { return FGlyph.get(); }
  void SetGlyph(TBitmap* Value);
  int Height() const { return FHeight; }
  void SetHeight(int Value) { FHeight = Value; }
  int Width() const { return FWidth; }
  void SetWidth(int Value) { FWidth = Value; }

 private:
  std::unique_ptr<TBitmap> FGlyph;
  int FHeight = 0;
  int FWidth = 0;
};

// Extra caption text with its own font (Color clNone = the title section's colours), drawn after
// the caption. A change repaints the provider's non-client area unless it is loading.
class TacAddedTitle : public TPersistent {
  T_CLASS(TacAddedTitle, TPersistent)

 public:
  explicit TacAddedTitle(TsSkinProvider* Owner);
  ~TacAddedTitle() override;
  const WideString& Text() const { return FText; }
  void SetText(const WideString& Value);
  TFont* Font() const { return FFont.get(); }
  void SetFont(TFont* Value);

 private:
  void Changed();
  TsSkinProvider* FOwner = nullptr;
  WideString FText;
  std::unique_ptr<TFont> FFont;
};

// A user caption button.
class TsTitleButton : public TCollectionItem {
  T_CLASS(TsTitleButton, TCollectionItem)

 public:
  explicit TsTitleButton(TCollection* Collection);
  ~TsTitleButton() override;
  void Assign(TPersistent* Source) override;
  AnsiString DisplayName() const override { return FName; }

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  TBitmap* Glyph() const { return FGlyph.get(); }
  void SetGlyph(TBitmap* Value);
  const WideString& Hint() const { return FHint; }
  void SetHint(const WideString& Value) { FHint = Value; }
  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& Value) { FName = Value; }
  bool UseSkinData() const { return FUseSkinData; }
  void SetUseSkinData(bool Value) { FUseSkinData = Value; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;

  void DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  void DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  // Shows the hint near the cursor (nothing for an empty hint) / frees the hint window.
  void ShowHint();
  void HideHint();
  HWND HintWindow() const;

  TsCaptionButton BtnData;  // the button's record

 private:
  TsSkinProvider* Provider() const;
  bool FEnabled = true;
  std::unique_ptr<TBitmap> FGlyph;
  WideString FHint;
  AnsiString FName;
  bool FUseSkinData = true;
  bool FVisible = true;
  HWND FHintWnd = nullptr;
};

class TsTitleButtons : public TCollection {
  T_CLASS(TsTitleButtons, TCollection)

 public:
  explicit TsTitleButtons(TsSkinProvider* Owner);
  ~TsTitleButtons() override;
  TPersistent* GetOwner() override;
  TsTitleButton* Items(int Index) const { return static_cast<TsTitleButton*>(TCollection::Items(Index)); }
  TsTitleButton* Add() { return static_cast<TsTitleButton*>(TCollection::Add()); }
  TsSkinProvider* Provider() const { return FOwner; }
  void ClearOwner() { FOwner = nullptr; }

 private:
  TsSkinProvider* FOwner = nullptr;
};

// ---- Metrics (free routines; BorderForm may be nullptr) ----------------------------------------

// "BORDERWIDTH" / "TITLEHEIGHT" of the loaded skin read through the border window; 0 for nullptr.
int SkinFrameWidth(TacBorderForm* BorderForm);
int SkinTitleHeight(TacBorderForm* BorderForm);
// With UseSkin the skinned frame when non-zero, else the system frame of the window's style.
int FormBorderWidth(HWND Handle, TacBorderForm* BorderForm, bool UseSkin);
// 0 with a border window, else the system frame.
int WindowFrameWidth(HWND Handle, TacBorderForm* BorderForm, bool UseSkin);
// How far the skinned title and frame exceed the Windows ones (0 for nullptr).
int DiffTitle(TacBorderForm* BorderForm);
int DiffBorder(TacBorderForm* BorderForm);
int WindowWidth(HWND Handle);
int WindowHeight(HWND Handle);
int ClientWidth(HWND Handle);
int ClientHeight(HWND Handle);
// 1 for caption heights up to 8, 8 up to 16, else 16.
int TitleIconSize(int CaptionHeight);
// True when MaskIndex < 0 or the mask has one state image (looks the same active and inactive).
bool IsStaticBorderMask(int MaskIndex, TsSkinManager* Manager);

// ---- Desktop composition -----------------------------------------------------------------------
void LoadDwmLibrary();
HRESULT DwmSetWindowAttributeSafe(HWND Handle, DWORD Attribute, const void* Data, DWORD Size);
bool IsDwmCompositionEnabled();
void SetDwmTransitions(HWND Handle, bool Disable);

// Rebuilds the provider's form image when its background-changed flag is set.
void PaintAll(TsSkinProvider* Provider);

// Fills acProviderLink with the provider's answers (idempotent).
void sSkinProviderInstall();

// ---- The provider ------------------------------------------------------------------------------
class TsSkinProvider : public TComponent {
  T_CLASS(TsSkinProvider, TComponent)

 public:
  // Creates the provider for the form that owns it (AOwner or its owner form), swaps the form's
  // WindowProc and, when a manager is active, applies the skin at once.
  explicit TsSkinProvider(TComponent* AOwner);
  ~TsSkinProvider() override;
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  virtual void CreateCtrlAdapter();

  // ---- published properties
  TacAddedTitle* AddedTitle() const { return FAddedTitle.get(); }
  bool AllowExtBorders() const { return FAllowExtBorders; }
  void SetAllowExtBorders(bool Value);
  TAlignment CaptionAlignment() const { return FCaptionAlignment; }
  void SetCaptionAlignment(TAlignment Value);
  bool DrawNonClientArea() const { return FDrawNonClientArea; }
  void SetDrawNonClientArea(bool Value);
  TsCommonData* SkinData() const { return FSkinData.get(); }
  TsGripMode GripMode() const { return FGripMode; }
  void SetGripMode(TsGripMode Value) { FGripMode = Value; }
  bool MakeSkinMenu() const { return FMakeSkinMenu; }
  void SetMakeSkinMenu(bool Value) { FMakeSkinMenu = Value; }
  const AnsiString& MenuLineSkin() const { return FMenuLineSkin; }
  void SetMenuLineSkin(const AnsiString& Value);
  TsResizeMode ResizeMode() const { return FResizeMode; }
  void SetResizeMode(TsResizeMode Value) { FResizeMode = Value; }
  bool ScreenSnap() const { return FScreenSnap; }
  void SetScreenSnap(bool Value) { FScreenSnap = Value; }
  int SnapBuffer() const { return FSnapBuffer; }
  void SetSnapBuffer(int Value) { FSnapBuffer = Value; }
  bool ShowAppIcon() const { return FShowAppIcon; }
  void SetShowAppIcon(bool Value);
  TsTitleButtons* TitleButtons() const { return FTitleButtons.get(); }
  void SetTitleButtons(TsTitleButtons* Value);
  TsTitleIcon* TitleIcon() const { return FTitleIcon.get(); }
  const AnsiString& TitleSkin() const { return FTitleSkin; }
  void SetTitleSkin(const AnsiString& Value);
  bool UseGlobalColor() const { return FUseGlobalColor; }
  void SetUseGlobalColor(bool Value);
  TacNCHitTest OnExtHitTest;
  TAddItemEvent OnSkinItem;

  // ---- component
  void PrepareForm();
  void SetSysMenuStyle(bool Skinned);
  void UpdateBorderForm(bool On);
  void SkinFormMenus(bool Skinned);
  void SetMDISupport(bool On);
  bool RebuildMainMenu();
  void RemoveAdapters();
  // Puts back on a form that stays what the skin did to it (its menus, system menu style, window
  // region, border window, label and form colours) and has it painted again whole by its own code
  // and its controls'.
  void GiveFormBack();
  void BroadcastToAdapter(TMessage& Message);
  void RefreshNonClient();
  void ClearButtonAnimations();
  int TitleSkinIndex();
  void EmptyCommand(TMessage& Message) {}
  TsSkinManager* SkinManager() const;

  // The system caption buttons' visibility and enabled state: the skinned system menu's answers
  // (before it exists: from the form's border icons).
  bool VisibleClose() const;
  bool VisibleMax() const;
  bool VisibleMin() const;
  bool EnabledMax() const;
  bool EnabledMin() const;
  bool EnabledRestore() const;

  // ---- metrics, region, composition
  bool HasBorder() const;
  int CaptionHeight(bool UseSkin = true) const;
  int LeftFrameWidth(bool UseSkin = true) const;
  int BottomFrameWidth(bool UseSkin = true) const;
  int OffsetX() const;
  int OffsetY() const;
  TRect ExtBorderMargins() const;
  int TitleIconWidth() const;
  int TitleIconHeight() const;
  bool UsesBigButtons() const;
  bool GripVisible() const;
  TColor FormColor() const;
  void FillRgnRects();
  HRGN CreateFormRgn(int DX = 0, int DY = 0);
  void UpdateFormRgn(bool Repaint);
  // The window's size or state (normal, zoomed, iconic) is not the one its region was made for.
  bool RegionOutdated() const;
  void BeginFormUpdate(bool WithMDIMain = false);
  void EndFormUpdate(bool WithMDIMain = false);
  void UpdateScrollAdapter();

  // ---- title-bar queries and small painters
  // The caption buttons' image sizes (see CaptionButtonImageSize).
  int CaptionButtonWidth(const TsCaptionButton* Button) const;
  int CaptionButtonHeight() const;
  int MDIButtonWidth() const;
  int MDIButtonHeight() const;
  int TitleButtonWidth(const TsTitleButton* Item) const;
  void InitTitleButtons();
  int SysButtonCount() const;
  int CaptionButtonsWidth() const;
  int TitleButtonsBandWidth(int MaskIndex) const;
  int FullWidth() const;
  int TitleBandHeight() const;
  int MenuHeight() const;
  bool SysIconVisible() const;
  bool ChildButtonsInMenuLine() const;
  bool CacheSizeChanged() const;
  TPoint GripRect() const;
  // The hit code of the caption button painted at P (form-image coordinates): HTCLOSE,
  // HTMAXBUTTON, HTMINBUTTON, HTHELP, HTUSERBUTTON + i, HTCAPTION for a disabled button; 0 for
  // none. The form's hit test and its border window's both answer from it.
  int CaptionButtonAt(TPoint P) const;
  void PaintTitle(const TRect& R);
  void SaveButtonsBackground(bool Full);
  void RestoreButtonsBackground();
  void SaveTitleBand();
  void RedrawMenuLineItem(TMenuItem* Item, const TRect& R, TOwnerDrawState State);
  void PaintFormBackground(HDC DC);
  void MenuFormPaint(TObject* Sender);
  // Where the window's top-left corner lies in the form image (the margins and the larger skinned
  // frame and title of a border window; (0, 0) without one).
  TPoint WindowOriginInImage() const;
  // The bottom of the title band in the form image.
  int TitleBottomInImage() const;
  // The screen rectangle of the cover over a maximised MDI child's menu-line buttons.
  TRect MenuLoopCoverRect() const;

  // ---- non-client painting
  void RedrawNonClient();
  void PaintNonClient(HDC DC);
  void PaintClientBg(HDC DC, bool NotifyChildren);
  void WMNCPaint(TMessage& Message);
  void WMPaint(TMessage& Message);
  int MenuLineCount();
  bool MenuPresent() const;
  void PaintTitleIcon();
  void PaintGrip(HDC DC);
  void PaintCaptionText(const TRect& FormRect, int F, int TitleBottom);
  void ShowMenuForm(bool WholeForm);
  void FreeMenuForm();
  // UpdateFormRgn's work: what it found. A window that already has the form's region keeps it,
  // since setting it again repaints the whole window and its children for nothing.
  enum class TRgnApplied { None, Same, Changed };
  TRgnApplied ApplyFormRgn(bool Repaint);

  // ---- caption buttons and title objects
  void PaintCaptionButtons();
  void PaintCaptionButton(TsCaptionButton& Button, int& Counter, int ImageIndex, TsTitleButton* TitleButton,
                          bool Enabled);
  void RepaintButton(int HitCode);
  // The three buttons of a maximised MDI child in the menu line (laid out and drawn, or marked
  // absent), one of them drawn, its image and whether the child allows its command (101 close,
  // 102 restore, 103 minimize).
  void PaintMDIChildButtons();
  void DrawMDIChildButton(TsCaptionButton& B, int HitCode);
  int MDIChildButtonImage(int HitCode) const;
  bool MDIChildCommandEnabled(int HitCode) const;
  void SetHotButton(int HitCode, bool Repaint = true);
  void SetPressedButton(int HitCode);
  TsCaptionButton* ButtonByCode(int HitCode);
  TRect TitleIconRect() const;
  TPoint FormOrigin() const;
  TPoint PointToForm(int X, int Y) const;
  void DropSysMenu(int X, int Y);

  // ---- fields
  TCustomForm* Form = nullptr;            // the form that owns the provider (not owned)
  std::vector<TRect> RgnRects;            // rectangles cut out of the window region
  bool RgnChanged = true;
  TacFramePaintWait FrameWait;            // a frame paint left for the report of a size change
  int CurrentHT = -1;                     // hit code of the hot or pressed caption button
  std::unique_ptr<TBitmap> TitleButtonsBg;  // title-bar background behind the caption buttons
  int TitleButtonsBgRows = 0;             // rows of TitleButtonsBg that hold the saved strip
  bool SysMenuStyleChanged = false;       // the provider removed WS_SYSMENU from the window
  int TitleButtonImageIndex = -1;         // "GLOBALINFO" "TITLEBUTTON"
  int RedrawLockCount = 0;
  bool FirstSkinPending = true;
  bool MenuRebuilt = false;
  bool RepaintMin = false, RepaintMax = false, RepaintClose = false;
  TsCaptionButton ButtonMin, ButtonMax, ButtonClose, ButtonHelp;
  TsCaptionButton MDIButtonMin, MDIButtonNorm, MDIButtonClose;
  TRect LastClientRect{};
  bool MaxCaptionFlag = false;
  int FTitleSkinIndex = -1;
  int CaptionSkinIndex = -1;
  bool RegionLock = false;
  bool SkinChanging = false;
  Byte ShowState = 0;
  bool AnimatedShow = false;
  TacScrollWnd* ScrollAdapter = nullptr;  // none: framework forms do not scroll themselves
  TacCtrlAdapter* Adapter = nullptr;      // owned: the control adapter list (CreateCtrlAdapter)
  bool RgnUpdating = false;
  // The window size and state (0 normal, 1 zoomed, 2 iconic) the region was made for; -1: none.
  TSize RgnWindowSize{-1, -1};
  int RgnWindowState = -1;
  bool TitleDirty = true;
  bool FirstPaintDone = false;
  bool FullRepaint = false;
  TWndMethod OldWndProc;                  // the form's WindowProc before the swap
  TsMDIForm* MDIForm = nullptr;           // owned: MDI main forms only (SetMDISupport)
  bool FormActive = true;
  std::unique_ptr<TBitmap> WorkBmp;       // 0 x 0 pf24bit scratch bitmap
  int MenuLineRows = -1;                  // -1 = to be counted
  TsSystemMenu* SysMenu = nullptr;        // the skinned system menu (a component owned by the provider)
  std::unique_ptr<TBitmap> TitleBand;     // 32-bit copy of the image's title band
  TacIconStamp TitleIconStamp;            // the title's icon as last drawn into the image
  TacIconStamp MenuLineIconStamp;         // a maximised MDI child's icon in the menu line, likewise
  std::unique_ptr<TBitmap> MenuLineBmp;   // copy of the painted menu-line background
  TForm* MenuForm = nullptr;              // auxiliary form over the menu line (owned)
  TWndMethod MenuFormOldProc;
  TacBorderForm* BorderForm = nullptr;    // the extended-border window

 private:
  void SetBackgroundChanged();
  void NCRepaint();
  void InstallWndProc();
  void RestoreWndProc();
  int GlobalInt(const char* Key, int Default) const;
  int MaskIndexOf(const char* Section, const char* Name) const;

  std::unique_ptr<TacAddedTitle> FAddedTitle;
  bool FAllowExtBorders = true;
  TAlignment FCaptionAlignment = taLeftJustify;
  bool FDrawNonClientArea = true;
  std::unique_ptr<TsCommonData> FSkinData;
  TsGripMode FGripMode = gmNone;
  bool FMakeSkinMenu = false;
  AnsiString FMenuLineSkin;
  TsResizeMode FResizeMode = rmStandard;
  bool FScreenSnap = false;
  int FSnapBuffer = 10;
  bool FShowAppIcon = true;
  std::unique_ptr<TsTitleButtons> FTitleButtons;
  std::unique_ptr<TsTitleIcon> FTitleIcon;
  AnsiString FTitleSkin;
  bool FUseGlobalColor = true;
  bool FHooked = false;
  // False from the start of the destructor. Passing a message on, sending the form a message,
  // showing a menu or running a user's event may free the form and this provider with it (a modal
  // loop runs timers and posted messages): those calls hold a copy, and a provider freed meanwhile
  // ends its handling of the message at once (TFreed, caught by NewWndProc) without touching
  // anything of itself again.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
  struct TFreed {};
  template <class TCall>
  void Survive(TCall&& Call) {
    const std::shared_ptr<bool> Alive = FAlive;
    Call();
    if (!*Alive) throw TFreed{};
  }

 public:
  // ---- window procedure, input, moving, caption animation
  // NewWndProc is the form's WindowProc while the provider is alive; the constructor installs it
  // and the destructor hands OldWndProc back.
  void NewWndProc(TMessage& Message);
  // The skinned hit test of a WM_NCHITTEST record (screen point in LParam); makes a caption
  // button under the point hot.
  int HitTest(TMessage& Message);
  // Maximized size and position (WM_GETMINMAXINFO) and screen snapping (WM_WINDOWPOSCHANGING).
  void WMGetMinMaxInfo(TMessage& Message);
  void WMWindowPosChanging(TMessage& Message);
  // The inverted frame of ResizeMode rmBorder (screen points); nothing in rmStandard.
  void BeginFrame(int X, int Y);
  void DrawFrame(int X, int Y);
  void EndFrame(int X, int Y);
  // Ends a frame of this provider without moving or sizing the form (the capture went, the mode
  // was cancelled, the form or provider goes): the frame is erased and the desktop's DC given back.
  void CancelFrame();
  // A caption button press takes the capture until its release (HoldPress), so that a release
  // anywhere ends it; losing the capture otherwise forgets the press (PressLost).
  void HoldPress();
  void PressLost();
  // A press of the caption button Pressed that ends without acting: the button is drawn unpressed
  // (whatever hot state the hit tests on the way left) and no button is hot.
  void DropButtonPress(int Pressed);
  void FrameMouseMove(TPoint P);

 private:
  void PassOn(TMessage& Message);
  bool FormDestroying() const;
  bool FormShowing() const;
  bool IsMDIChild() const;
  bool IsMDIForm() const;
  bool AlphaCmdFirst(TMessage& Message);
  void UnskinnedProc(TMessage& Message);
  void SkinnedAlphaCmd(TMessage& Message);
  // On a new skin: the menu cache dropped, the form's, title's and caption's sections looked up
  // again.
  void TakeNewSkinIndexes(TsSkinManager* M);
  // SkinnedProc hands each message of the skinned form to its handler (below and in the list
  // that follows it).
  void SkinnedProc(TMessage& Message);
  void WMCreateSkinned(TMessage& Message);
  void WMNCCreateSkinned(TMessage& Message);
  void WMMoveSkinned(TMessage& Message);
  // WM_SIZING, CM_ACTIVATE: the form's own handling, then the border window follows the form.
  void PassOnThenPlaceBorder(TMessage& Message);
  void WMWindowPosChangedSkinned(TMessage& Message);
  void WMExitSizeMoveSkinned(TMessage& Message);
  void WMSetRedrawSkinned(TMessage& Message);
  void WMSysColorChangeSkinned(TMessage& Message);
  void WMSettingChangeSkinned(TMessage& Message);
  void WMSetIconSkinned(TMessage& Message);
  void WMChildActivateSkinned(TMessage& Message);
  void WMMDIActivateSkinned(TMessage& Message);
  void WMMeasureItemSkinned(TMessage& Message);
  void WMContextMenuSkinned(TMessage& Message);
  void WMInitMenuPopupSkinned(TMessage& Message);
  void WMEnterMenuLoopSkinned(TMessage& Message);
  void WMExitMenuLoopSkinned(TMessage& Message);
  // Frees the MDI menu-loop cover when this provider made it, and clears the region lock: on every
  // exit from the menu loop, on skin removal and when the provider goes.
  void EndMenuLoopCover();
  void WMSysMenuPopupSkinned(TMessage& Message);
  void CMMenuChangedSkinned(TMessage& Message);
  void WMNCRButtonDownSkinned(TMessage& Message);
  void WMMouseMoveSkinned(TMessage& Message);
  void WMMouseLeaveSkinned(TMessage& Message);
  void WMNCMouseLeaveSkinned(TMessage& Message);
  void CMMouseEnterSkinned(TMessage& Message);
  void CMMouseWheelSkinned(TMessage& Message);
  void WMNotifySkinned(TMessage& Message);
  void WMParentNotifySkinned(TMessage& Message);
  void CMControlListChangeSkinned(TMessage& Message);
  void CMVisibleChangedSkinned(TMessage& Message);
  void CMEnabledChangedSkinned(TMessage& Message);
  void CMColorChangedSkinned(TMessage& Message);
  void CMBorderChangedSkinned(TMessage& Message);
  void WMNCHitTest(TMessage& Message);
  void WMNCLButtonDown(TMessage& Message);
  void WMNCLButtonUp(TMessage& Message);
  void WMNCLButtonDblClk(TMessage& Message);
  void WMNCRButtonUp(TMessage& Message);
  void WMSysCommand(TMessage& Message);
  void MDIChildSysCommand(TMessage& Message);
  void WMSizeSkinned(TMessage& Message);
  void WMActivateSkinned(TMessage& Message);
  void WMNCActivateSkinned(TMessage& Message);
  void WMNCPaintSkinned(TMessage& Message);
  void WMPaintSkinned(TMessage& Message);
  void WMEraseBkgndSkinned(TMessage& Message);
  void WMPrintSkinned(TMessage& Message);
  void WMShowWindowSkinned(TMessage& Message);
  void CMShowingChangedSkinned(TMessage& Message);
  void WMSetTextSkinned(TMessage& Message);
  void RouteMouseWheel(TMessage& Message);
  // Every frame of the form other than Entered whose skin shows it hot gets CM_MOUSELEAVE.
  void LeaveHotFrames(TControl* Entered);
  // Drops the system menu below the title bar at the title icon (the screen point of the title
  // band's bottom, where the border window or the form shows it).
  void DropSysMenuBelowIcon();
  // The caption-button hit code of the last press, so that a release can tell a click (0: none).
  int FPressedHT = 0;
  // A caption button is hot and the non-client area is tracked for leaving (WM_NCMOUSELEAVE).
  bool FTrackingNC = false;
  // ---- end of window procedure, input, moving, caption animation
};

// The size of one state image of a caption button's mask entry: of an entry with its own bitmap,
// the bitmap's width divided by its image count (all of it without a count) and half its height;
// otherwise the entry's frame width and height. 21 x 21 without a manager or a valid entry.
TSize CaptionButtonImageSize(const TsSkinManager* M, int Index);

// The provider of the skinned MDI main form, and of the maximised MDI child (nullptr when none).
extern TsSkinProvider* SkinnedMDIMainProvider;
extern TsSkinProvider* MaximizedChildProvider;
