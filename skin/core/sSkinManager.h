// TsSkinManager: the skin manager component placed on the main form. It owns the engine-wide skin
// settings (the skin to load: SkinName, SkinDirectory, the skins stored in the form's description
// in InternalSkins; the menu support settings, the ThirdParty class-name lists and the switches)
// and the loaded skin: the master bitmap, the mask, pattern and section record arrays and the
// skin-wide values (TsSkinData), with the name lookups over them. The first manager created is the
// process's default manager. Win32.
//
// Loading. Setting SkinName (while Active) loads the skin of that name: the packed file
// <skin directory>\<SkinName>.asz when it exists, else the folder <skin directory>\<SkinName>\ with
// its Options.dat, else the stored skin of that name in InternalSkins (the first stored skin, under
// its own name, when none has that name; with no stored skins, or when the chosen stored skin holds
// nothing at all, the manager switches Active off).
// The skin directory is SkinDirectory made absolute from the program's folder (FullSkinDirectory).
// A load either completes or leaves no skin at all: on any error the arrays are emptied, Active is
// switched off and the exception (with its message naming the section, key or file at fault)
// reaches the caller of the setter.
//
// A skin change runs in one order: OnBeforeChange, the load, AC_NEWSKIN (or AC_SKINREMOVED when
// the load switched Active off) to every form and control, AC_BEFOREREFRESH, the redraw lock of the
// registered forms, AC_REFRESHSKIN, the lock released with a repaint, OnAfterChange. Each command
// carries the manager in LParam. Reloads for HueOffset, Saturation and ExtendedBorders send only
// the refresh (AC_BEFOREREFRESH, AC_REFRESHSKIN) and fire no events.
//
// Hooks. The default manager hooks the application window (MainWindowHook) for its whole life as
// the default, and the thread (WH_CBT) from its first skin sent until the skin is removed; what
// the thread hook does with new windows is form skinning's (acFormSkinningLink).
//
// Guarantees of a loaded skin: every mask entry without a bitmap of its own has its rectangle
// inside the master bitmap (entries whose rectangle is not are left out, like pictures whose file
// is missing); every entry with a bitmap of its own has a non-empty one.
#pragma once

#include <array>
#include <functional>
#include <memory>

#include "framework/Components.h"
#include "framework/Graphics.h"
#include "framework/Lists.h"
#include "framework/Menus.h"
#include "framework/Messages.h"
#include "skin/core/acPNG.h"
#include "skin/core/acSkinPack.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sSkinOptions.h"
#include "skin/core/sStoredSkins.h"
#include "skin/core/sStyleSimply.h"

#include <windows.h>

class TsSkinManager;

// The menu support settings of a manager.
class TacMenuSupport : public TPersistent {
  T_CLASS(TacMenuSupport, TPersistent)

 public:
  TacMenuSupport();
  ~TacMenuSupport() override;

  // The skin section that paints the icon line of menus ("ICOLINE" after loading when empty).
  const AnsiString& IcoLineSkin() const { return FIcoLineSkin; }
  void SetIcoLineSkin(const AnsiString& Value) { FIcoLineSkin = Value; }
  bool UseExtraLine() const { return FUseExtraLine; }
  void SetUseExtraLine(bool Value) { FUseExtraLine = Value; }
  int ExtraLineWidth() const { return FExtraLineWidth; }
  void SetExtraLineWidth(int Value) { FExtraLineWidth = Value; }
  TFont* ExtraLineFont() const { return FExtraLineFont.get(); }
  void SetExtraLineFont(TFont* Value) { FExtraLineFont->Assign(Value); }

 private:
  AnsiString FIcoLineSkin;
  bool FUseExtraLine = false;
  int FExtraLineWidth = 32;
  std::unique_ptr<TFont> FExtraLineFont;
};

// The kinds of the ThirdParty lists, in their index order.
enum TacThirdPartyKind {
  tpEdit, tpButton, tpBitBtn, tpCheckBox, tpComboBox, tpGrid, tpGroupBox, tpListView, tpPanel, tpTreeView,
  tpwwEdit, tpGridEh, tpVirtualTree, tpPageControl, tpTabControl, tpToolBar, tpStatusBar, tpSpeedButton
};
inline constexpr int ThirdPartyKindCount = 18;

// The ThirdParty settings: for each kind of control, the class names (one per line) of the
// controls of that kind that get a window adapter.
class ThirdPartyList : public TPersistent {
  T_CLASS(ThirdPartyList, TPersistent)

 public:
  ThirdPartyList();

  // The text of a kind; EListError "List index out of bounds (%d)" outside 0..17.
  const AnsiString& Texts(int Index) const;
  void SetTexts(int Index, const AnsiString& Value);
  // The kind's name ("Edit", "Button" ...).
  static const char* KindName(int Index);
  // The kind's default text: "TButton" for tpButton, a single blank for every other kind.
  static AnsiString DefaultText(int Index);

  // The kinds by name, as published.
  const AnsiString& ThirdEdits() const { return Texts(tpEdit); }
  void SetThirdEdits(const AnsiString& V) { SetTexts(tpEdit, V); }
  const AnsiString& ThirdButtons() const { return Texts(tpButton); }
  void SetThirdButtons(const AnsiString& V) { SetTexts(tpButton, V); }
  const AnsiString& ThirdBitBtns() const { return Texts(tpBitBtn); }
  void SetThirdBitBtns(const AnsiString& V) { SetTexts(tpBitBtn, V); }
  const AnsiString& ThirdCheckBoxes() const { return Texts(tpCheckBox); }
  void SetThirdCheckBoxes(const AnsiString& V) { SetTexts(tpCheckBox, V); }
  const AnsiString& ThirdComboBoxes() const { return Texts(tpComboBox); }
  void SetThirdComboBoxes(const AnsiString& V) { SetTexts(tpComboBox, V); }
  const AnsiString& ThirdGrids() const { return Texts(tpGrid); }
  void SetThirdGrids(const AnsiString& V) { SetTexts(tpGrid, V); }
  const AnsiString& ThirdGroupBoxes() const { return Texts(tpGroupBox); }
  void SetThirdGroupBoxes(const AnsiString& V) { SetTexts(tpGroupBox, V); }
  const AnsiString& ThirdListViews() const { return Texts(tpListView); }
  void SetThirdListViews(const AnsiString& V) { SetTexts(tpListView, V); }
  const AnsiString& ThirdPanels() const { return Texts(tpPanel); }
  void SetThirdPanels(const AnsiString& V) { SetTexts(tpPanel, V); }
  const AnsiString& ThirdTreeViews() const { return Texts(tpTreeView); }
  void SetThirdTreeViews(const AnsiString& V) { SetTexts(tpTreeView, V); }
  const AnsiString& ThirdWWEdits() const { return Texts(tpwwEdit); }
  void SetThirdWWEdits(const AnsiString& V) { SetTexts(tpwwEdit, V); }
  const AnsiString& ThirdGridEh() const { return Texts(tpGridEh); }
  void SetThirdGridEh(const AnsiString& V) { SetTexts(tpGridEh, V); }
  const AnsiString& ThirdVirtualTrees() const { return Texts(tpVirtualTree); }
  void SetThirdVirtualTrees(const AnsiString& V) { SetTexts(tpVirtualTree, V); }
  const AnsiString& ThirdPageControl() const { return Texts(tpPageControl); }
  void SetThirdPageControl(const AnsiString& V) { SetTexts(tpPageControl, V); }
  const AnsiString& ThirdTabControl() const { return Texts(tpTabControl); }
  void SetThirdTabControl(const AnsiString& V) { SetTexts(tpTabControl, V); }
  const AnsiString& ThirdToolBar() const { return Texts(tpToolBar); }
  void SetThirdToolBar(const AnsiString& V) { SetTexts(tpToolBar, V); }
  const AnsiString& ThirdStatusBar() const { return Texts(tpStatusBar); }
  void SetThirdStatusBar(const AnsiString& V) { SetTexts(tpStatusBar, V); }
  const AnsiString& ThirdSpeedButton() const { return Texts(tpSpeedButton); }
  void SetThirdSpeedButton(const AnsiString& V) { SetTexts(tpSpeedButton, V); }

 private:
  std::array<AnsiString, ThirdPartyKindCount> FTexts;
};

// ---- Animation settings --------------------------------------------------------------------------

enum TacBtnEvent { beMouseEnter, beMouseLeave, beMouseDown, beMouseUp };
using TacBtnEvents = TSet<TacBtnEvent>;

// The events on which skinned buttons animate.
class TacBtnEffects : public TPersistent {
  T_CLASS(TacBtnEffects, TPersistent)

 public:
  explicit TacBtnEffects(TsSkinManager* Manager) : FManager(Manager) {}
  TsSkinManager* Manager() const { return FManager; }
  TacBtnEvents Events() const { return FEvents; }
  void SetEvents(TacBtnEvents Value) { FEvents = Value; }

 private:
  TsSkinManager* FManager;
  TacBtnEvents FEvents{beMouseEnter, beMouseLeave, beMouseDown, beMouseUp};
};

// One animated transition: whether it runs and its time in milliseconds (0: the engine's pace).
class TacFormAnimation : public TPersistent {
  T_CLASS(TacFormAnimation, TPersistent)

 public:
  explicit TacFormAnimation(Word DefaultTime = 0) : FTime(DefaultTime) {}
  bool Active() const { return FActive; }
  void SetActive(bool Value) { FActive = Value; }
  Word Time() const { return FTime; }
  void SetTime(Word Value) { FTime = Value; }

 private:
  bool FActive = true;
  Word FTime;
};
class TacDialogShow : public TacFormAnimation {
  T_CLASS(TacDialogShow, TacFormAnimation)
 public:
  TacDialogShow() : TacFormAnimation(0) {}
};
class TacFormShow : public TacFormAnimation {
  T_CLASS(TacFormShow, TacFormAnimation)
 public:
  TacFormShow() : TacFormAnimation(0) {}
};
class TacPageChange : public TacFormAnimation {
  T_CLASS(TacPageChange, TacFormAnimation)
 public:
  TacPageChange() : TacFormAnimation(0) {}
};
// The repaint of the forms after a skin change (time 100 by default).
class TacSkinChanging : public TacFormAnimation {
  T_CLASS(TacSkinChanging, TacFormAnimation)
 public:
  TacSkinChanging() : TacFormAnimation(100) {}
};

// The manager's animation settings.
class TacAnimEffects : public TPersistent {
  T_CLASS(TacAnimEffects, TPersistent)

 public:
  explicit TacAnimEffects(TsSkinManager* Manager);
  ~TacAnimEffects() override;
  TsSkinManager* Manager() const { return FManager; }
  TacBtnEffects* Buttons() const { return FButtons.get(); }
  TacDialogShow* DialogShow() const { return FDialogShow.get(); }
  TacFormShow* FormShow() const { return FFormShow.get(); }
  TacPageChange* PageChange() const { return FPageChange.get(); }
  TacSkinChanging* SkinChanging() const { return FSkinChanging.get(); }

 private:
  TsSkinManager* FManager;
  std::unique_ptr<TacBtnEffects> FButtons;
  std::unique_ptr<TacDialogShow> FDialogShow;
  std::unique_ptr<TacFormShow> FFormShow;
  std::unique_ptr<TacPageChange> FPageChange;
  std::unique_ptr<TacSkinChanging> FSkinChanging;
};

// ---- What form, dialog and menu skinning gives the manager -------------------------------------
//
// The manager installs the thread's WH_CBT hook and owns a menu painter, but what the hook does
// with new windows (providers for forms, adapters for dialogs and popup menus) and how menus are
// painted belong to form and menu skinning. That subsystem fills acFormSkinningLink when it is
// linked in; until then every entry is empty and the manager's side does nothing more than keep
// the hook's lifecycle (a hook that only calls the next one) and answer with empty results.

// The menu painter of a manager (made once per manager through acFormSkinningLink.CreateMenus).
// The base class is the painter of a program without menu skinning: it does nothing.
class TacManagerMenus {
 public:
  virtual ~TacManagerMenus() = default;
  // Forgets the cached menu section index (run before every new-skin broadcast).
  virtual void ResetSectionIndex() {}
  // Makes the menus' active state follow the manager's skin, hooking or unhooking popup menus.
  virtual void UpdateActive() {}
  // The frame bitmap painted for a popup menu: looked up by the menu's item list when Menu is
  // given, otherwise by its window. Never paints; nullptr when nothing was painted for it.
  virtual TBitmap* FrameBitmapOf(TPopupMenu* Menu, HWND Wnd) { return nullptr; }
  // Skins a popup-menu window once with the given frame bitmap.
  virtual void SkinPopupMenuWindow(HWND Wnd, TBitmap* Frame) {}
  // Switches a pop-up menu to the skin's item painting (Value) or back.
  virtual void HookPopupMenu(TPopupMenu* Menu, bool Value) {}
};

struct TacFormSkinningLink {
  // The WH_CBT procedure of form skinning. It calls the next hook itself (CallNextHookEx with
  // acCBTHookHandle). Empty: the manager installs a procedure that only calls the next hook.
  HOOKPROC CBTHookProc = nullptr;
  // Empties the list of popup-menu adapters made by the hook.
  std::function<void()> ClearMnuWnds;
  // A manager's menu painter; empty: the do-nothing TacManagerMenus.
  std::function<std::unique_ptr<TacManagerMenus>(TsSkinManager* Manager)> CreateMenus;
  // True when the desktop window manager composes the desktop (Windows 6 and later); empty: False.
  std::function<bool()> IsDwmCompositionEnabled;
};
extern TacFormSkinningLink acFormSkinningLink;

// Shared with form skinning: the handle of the thread's WH_CBT hook (nullptr: none), and the list
// of the providers the hook made (nullptr until the hook is first installed; it owns its objects,
// which UninstallHook frees with it).
extern HHOOK acCBTHookHandle;
extern TObjectList* acHookProviderList;

enum TacSkinningRule { srStdForms, srStdDialogs, srThirdParty };
using TacSkinningRules = TSet<TacSkinningRule>;

// Engine-wide: True while a skin change (SkinName, Active, CommonSections) loads a skin, and while
// a skin is being removed. Control and form skinning skip work while they are set.
extern bool acSkinChanging;
extern bool acSkinRemoving;

// The engine's built-in shadows of extended borders, the active one ("acSHDA") and the inactive
// one ("acSHDI"): PNG resources of the program file decoded when the unit starts (nullptr when the
// program carries none). Tests may replace them; the unit frees them at shut-down.
extern TPNGGraphic* acShadowActive;
extern TPNGGraphic* acShadowInactive;

// The common section and mask indexes of the loaded skin, rebuilt after every load and when the
// skin is switched off; -1 where the skin lacks the item.
struct TacSkinPartIndexes {
  int Section = -1;
  int BordersMask = -1;
  int Pattern = -1;
  int HotPattern = -1;
  int GlyphMask = -1;
};
struct TacCommonSkinIndexes {
  int GlobalInfo = -1;
  // Masks of GLOBALINFO.
  int ExBorder = -1;
  int BoxChecked = -1, BoxUnchecked = -1, BoxGrayed = -1;
  int RadioChecked = -1, RadioUnchecked = -1, RadioGrayed = -1;
  int SmallChecked = -1, SmallUnchecked = -1, SmallGrayed = -1;
  // COMBOBTN: its own BORDERSMASK, its PATTERN and HOTPATTERN textures; GlyphMask is the own
  // GLYPHMASK of COMBOBOX.
  TacSkinPartIndexes ComboBtn;
  // TABTOP, TABBOTTOM, TABLEFT, TABRIGHT: Section and BordersMask.
  TacSkinPartIndexes TabTop, TabBottom, TabLeft, TabRight;
  // Scroll-bar buttons and sliders (GlyphMask only when the section exists) and the scroll-bar
  // tracks (no GlyphMask).
  TacSkinPartIndexes ScrollBtnTop, ScrollBtnBottom, ScrollBtnLeft, ScrollBtnRight;
  TacSkinPartIndexes ScrollSliderV, ScrollSliderH;
  TacSkinPartIndexes ScrollBar1H, ScrollBar1V, ScrollBar2H, ScrollBar2V;
};

// The most pictures with a bitmap of their own a skin may hold, and the most pixels of all its
// pictures together (the master bitmap, own bitmaps, tiles and textures).
// The pixels are counted from each picture's header before it is decoded, so a picture beyond
// the budget costs no memory.
inline constexpr int MaxSkinPictures = 4096;
// The most picture files the keys of a skin may name, found or not (each is a look-up in the
// folder or the pack).
inline constexpr int MaxSkinFileLookups = 10000;
inline constexpr std::int64_t MaxSkinPicturePixels = std::int64_t{1} << 24;
// Textures smaller than this many pixels become tiles (mask entries with a bitmap).
inline constexpr std::int64_t TileTextureMaxPixels = 90000;

// Pointers to a manager held by objects that do not own it (skin data bound to a manager,
// adapters, speed-button handlers): each registers the address of its pointer for its lifetime,
// and a manager that goes away sets every registered pointer to it to nullptr, whether or not its
// last broadcast reached the holder.
void acRegisterManagerRef(TsSkinManager** Ref);
void acUnregisterManagerRef(TsSkinManager** Ref);

class TsSkinManager : public TComponent {
  T_CLASS(TsSkinManager, TComponent)

 public:
  static constexpr const char* DefaultSkinDirectory = "c:\\Skins";

  explicit TsSkinManager(TComponent* AOwner);
  ~TsSkinManager() override;

  // The first manager created while no default manager exists; nullptr when there is none.
  static TsSkinManager* DefaultManager();
  // True when this manager is the default one. Setting True (or setting anything while the process
  // has no default manager) makes it the default and sends it skin to all windows (removes it when
  // not Active); setting False never gives up the default.
  bool IsDefault() const { return DefaultManager() == this; }
  void SetIsDefault(bool Value);

  // Completes the settings after the stored description was applied: an empty SkinDirectory
  // becomes "c:\Skins", an empty menu icon-line section "ICOLINE", and the ThirdParty texts are
  // copied into the class-name lists. With Active and a SkinName, the skin loaded while the
  // description was applied goes to all windows (SendNewSkin without repaint).
  void Loaded() override;

  // --- published settings
  // The skin to use: a packed file or a folder of that name in the skin directory, or a stored
  // skin of InternalSkins. Setting it while Active loads the skin (see the unit's comment), in this
  // order: OnBeforeChange, load, the new skin to all windows (or the skin removed when the load
  // switched Active off), OnAfterChange. A failed load switches Active off, removes the skin and
  // raises its error (OnAfterChange is then not fired).
  const AnsiString& SkinName() const { return FSkinName; }
  void SetSkinName(const AnsiString& Value);
  // The folder of the skins; relative paths are taken from the program's folder. Setting it puts
  // the full folder into the skin data's SkinPath and does not reload the skin.
  const AnsiString& SkinDirectory() const { return FSkinDirectory; }
  void SetSkinDirectory(const AnsiString& Value);
  // The loaded skin's version as text ("7" for 7.0, '.' as decimal separator); "N/A" while no
  // skin is active. Writing changes nothing.
  AnsiString SkinInfo() const;
  void SetSkinInfo(const AnsiString&) {}
  // Counts the loads and unloads of the skin's parts (a new skin, a colour shift): a picture made
  // from the skin is out of date once this changes.
  std::uint64_t LoadCount() const { return FLoadCount; }
  // The engine's version text, "6.48"; writing changes nothing.
  static AnsiString Version() { return "6.48"; }
  void SetVersion(const AnsiString&) {}
  TsStoredSkins* InternalSkins() const { return FInternalSkins.get(); }
  void SetInternalSkins(TsStoredSkins* Value) { FInternalSkins->Assign(Value); }
  TacMenuSupport* MenuSupport() const { return FMenuSupport.get(); }
  ThirdPartyList* ThirdParty() const { return FThirdParty.get(); }
  // Sections (INI text) added to every skin: their sections become section records where the skin
  // has none of that name, their pictures mask entries and textures patterns. Setting it removes
  // every blank from the lines that are not comments and reloads a loaded skin (also one that a
  // stored description has read but not shown yet).
  TStringList* CommonSections() const { return FCommonSections.get(); }
  void SetCommonSections(TStringList* Value);
  // Whether skinning is wanted. False removes the skin; True loads SkinName again.
  bool Active() const { return FActive; }
  void SetActive(bool Value);
  // A skin is loaded and shown.
  bool SkinActive() const { return FSkinData->Active; }
  // Forms with extended borders: the stored flag while the system has layered windows. A change
  // reloads an active skin (with its shadows) and repaints the forms.
  bool ExtendedBorders() const;
  void SetExtendedBorders(bool Value);
  bool StoredExtendedBorders() const { return FExtendedBorders; }
  // Skinned popup menus; also switches the main-window hook's work on and off.
  bool SkinnedPopups() const { return FSkinnedPopups; }
  void SetSkinnedPopups(bool Value);
  // Glows of controls: the stored flag while the system has layered windows.
  bool AllowGlowing() const;
  void SetAllowGlowing(bool Value) { FAllowGlowing = Value; }
  bool StoredAllowGlowing() const { return FAllowGlowing; }
  // Recolouring of the skin's pictures and colours. A change reloads an active skin (no
  // OnBeforeChange / OnAfterChange) and repaints the forms; inactive, the value waits for the next
  // load.
  int HueOffset() const { return FHueOffset; }
  void SetHueOffset(int Value);
  int Saturation() const { return FSaturation; }
  void SetSaturation(int Value);
  TacSkinningRules SkinningRules() const { return FSkinningRules; }
  void SetSkinningRules(TacSkinningRules Value) { FSkinningRules = Value; }
  TacAnimEffects* AnimEffects() const { return FAnimEffects.get(); }

  // --- loading
  // SkinDirectory made absolute from the program's folder, with a trailing separator.
  AnsiString GetFullSkinDirectory() const;
  // The packed file of SkinName: <full skin directory><SkinName>.asz ("" without a SkinName).
  AnsiString PackedSkinFileName() const;
  // Loads SkinName from its folder or from InternalSkins; nothing unless Active. Switches Active
  // off, loading nothing, when there is neither such a folder nor any stored skin. Running out of
  // memory raises EacSkinLoadError naming the file being read.
  void LoadSkin();
  // Loads the packed file of SkinName; nothing unless Active. EacSkinLoadError when the file
  // cannot be read or memory runs out, EacSkinPackError for a damaged pack.
  void LoadPackedSkin();
  // The steps of a load (run by LoadSkin and LoadPackedSkin while their options text is open):
  // the mask entries and the master bitmap; the patterns and tiles; the skin-wide values and the
  // section records (then the mask indexes of each section).
  void LoadAllMasks();
  void LoadAllPatterns();
  void LoadAllGeneralData();
  // Key values of the options text of the load in progress, with PARENTCLASS inheritance
  // (TacSkinOptions); Default when no load is in progress.
  AnsiString ReadSkinString(const AnsiString& Section, const AnsiString& Key, const AnsiString& Default) const;
  int ReadSkinInteger(const AnsiString& Section, const AnsiString& Key, int Default) const;
  // Sends the loaded skin to all windows and marks it active (nothing while loading or reading the
  // stored description); returns True.
  bool SendNewSkin(bool Repaint);
  // Removes the skin from all windows and empties the loaded skin.
  void RemoveSkin();
  // AC_BEFOREREFRESH to every form, then AC_REFRESHSKIN to every form and control inside the redraw
  // lock, then the windows skinned by the hook are redrawn. The redraw that ends the lock and that
  // of the hooked windows run with acSkinChanging lowered: the skin is whole again.
  void RepaintForms();
  // Fills List (sorted) with the names of the available skins: the stored skins, and in the skin
  // directory the folders holding Options.dat (Filter 0 or 2) and the ".asz" files (Filter 1 or
  // 2, the name before the first "."). Returns the first name found ("" for none).
  AnsiString GetSkinNames(TStrings* List, int Filter = 2);

  // --- colours of the loaded skin, as RGB
  // GLOBALINFO's Color (clBtnFace without GLOBALINFO).
  TColor GetGlobalColor() const;
  // GLOBALINFO's first font colour (clKeyColor without GLOBALINFO).
  TColor GetGlobalFontColor() const;
  // GLOBALINFO's HotColor (clWindow without GLOBALINFO).
  TColor GetGlobalHotColor() const;
  // EDIT's first hot font colour (clKeyColor without EDIT).
  TColor GetEditHotFontColor() const;
  // MENUITEM's HotColor unless unset (-1, clKeyColor, white); else clHighlight.
  TColor GetHighlightColor() const;
  // MENUITEM's first hot font colour unless unset (-1, clKeyColor, white, black) or its HotColor
  // is unset; else clHighlightText.
  TColor GetHighlightFontColor() const;

  // --- the common indexes, extended-border shadows and version notices
  const TacCommonSkinIndexes& CommonSkinIndexes() const { return FCommon; }
  // Rebuilds the common indexes from the loaded skin (all -1 without one).
  void UpdateCommonSkinIndexes();
  // The shadows around forms with extended borders and the margins they add (left, top, right,
  // bottom). Margins are 0 unless a skin is shown with ExtendedBorders; the images stay nullptr
  // until first prepared.
  const TRect& ShadowMargin() const { return FShadowMargin; }
  // Image 0 is the skin's second EXBORDER frame (the first when it has one frame), image 1 its
  // first; without EXBORDER both are the built-in active shadow.
  TPNGGraphic* ShadowImage(int Index) const { return Index == 0 || Index == 1 ? FShadows[Index].get() : nullptr; }
  void InitShadows();
  // Notes the warning about a skin whose version the engine does not fully support (run while
  // loading); the change that loaded the skin shows it once the skin is whole, shown and sent out,
  // as its box runs a message loop (ShowVersionNotice).
  void CheckSkinVersion();
  void ShowVersionNotice();

  // --- hooks
  // The application-window hook of the default manager (installed while it is the default).
  // True = handled.
  bool MainWindowHook(TMessage& Message);
  // The thread's WH_CBT hook of the default manager: installed with the first skin sent, removed
  // with the skin.
  void InstallHook();
  void UninstallHook();
  bool HookInstalled() const { return FHookInstalled; }
  // The control window under the mouse (0: none). A change sends AC_MOUSELEAVE to the previous
  // window and AC_MOUSEENTER to the new one, LParam = the manager.
  void SetHoverWindow(HWND Wnd);
  HWND HoverWindow() const { return FHoverWindow; }
  // The menu painter (never nullptr).
  TacManagerMenus* Menus() const { return FMenus.get(); }

  // --- the loaded skin
  TsSkinData* SkinData() const { return FSkinData.get(); }
  // The master bitmap (24 bits per pixel, transparent colour clKeyColor); nullptr without a skin.
  TBitmap* MasterBitmap() const { return FMasterBitmap.get(); }
  // The record arrays, in load order. Painting may change entries in place (an entry's ImageCount,
  // its bitmap's pixels); names, lengths and order belong to the loader.
  TsMaskArray& Masks() { return FMasks; }
  const TsMaskArray& Masks() const { return FMasks; }
  TsPatternArray& Patterns() { return FPatterns; }
  const TsPatternArray& Patterns() const { return FPatterns; }
  TsGeneralDataArray& GeneralData() { return FGeneralData; }
  const TsGeneralDataArray& GeneralData() const { return FGeneralData; }
  // The loaded skin's files came from a pack (a packed file or a stored skin's Data).
  bool SkinIsPacked() const { return FSkinIsPacked; }

  // --- geometry of mask entries (the index is not checked: test it with IsValidMaskIndex)
  TSize GetMaskFrameSize(int Index) const { return MaskFrameSize(FMasks[static_cast<std::size_t>(Index)]); }
  int GetMaskLeftMargin(int Index) { return MaskLeftMargin(FMasks[static_cast<std::size_t>(Index)]); }
  int GetMaskTopMargin(int Index) const { return MaskTopMargin(FMasks[static_cast<std::size_t>(Index)]); }
  int GetMaskRightMargin(int Index) const { return MaskRightMargin(FMasks[static_cast<std::size_t>(Index)]); }
  int GetMaskBottomMargin(int Index) const { return MaskBottomMargin(FMasks[static_cast<std::size_t>(Index)]); }
  bool IsValidMaskIndex(int Index) const { return Index >= 0 && static_cast<std::size_t>(Index) < FMasks.size(); }
  // The mask entry at Index; nullptr for an index out of range or a missing manager.
  static const TsMaskData* ValidMask(const TsSkinManager* Manager, int Index) {
    return Manager != nullptr && Manager->IsValidMaskIndex(Index) ? &Manager->FMasks[static_cast<std::size_t>(Index)]
                                                                  : nullptr;
  }
  bool IsValidSectionIndex(int Index) const {
    return Index >= 0 && static_cast<std::size_t>(Index) < FGeneralData.size();
  }

  // --- lookups by name: exact (letter case counts), first match in load order, -1 for none
  // The section record named SectionName.
  int GetSectionIndex(const AnsiString& SectionName) const;
  // The same for a manager that may be missing (-1 then).
  static int GetSectionIndex(const TsSkinManager* Manager, const AnsiString& SectionName);
  // The mask entry of the section and key; when the section has none, the entry of its parent
  // section (ParentClass of the record at SkinIndex), and so on up the chain. -1 for a negative
  // SkinIndex, an empty section name, or a SkinIndex beyond the records when the section itself has
  // no entry; a chain ends before the first section met twice and after MaxSkinParentDepth levels
  // (TsSkinParentChain), and is walked by section index, not by name.
  int GetMaskIndex(int SkinIndex, const AnsiString& SectionName, const AnsiString& PropertyName) const;
  // The section's own mask entry of the key (no parent search); -1 for an empty section name.
  int GetOwnMaskIndex(const AnsiString& SectionName, const AnsiString& PropertyName) const;
  // As GetMaskIndex, but only entries of type itisaTexture count.
  int GetTextureIndex(int SkinIndex, const AnsiString& SectionName, const AnsiString& PropertyName) const;
  // As GetMaskIndex, over the patterns.
  int GetPatternIndex(int SkinIndex, const AnsiString& SectionName, const AnsiString& PropertyName) const;
  // The section records the three inheriting lookups have asked for an entry since the manager was
  // made. A parent chain ends within MaxSkinParentDepth levels, so a lookup asks at most
  // MaxSkinParentDepth + 1 records, however long the skin's chains.
  std::uint64_t LookupSteps() const { return FLookupSteps; }

  TNotifyEvent OnAfterChange;
  TNotifyEvent OnBeforeChange;
  // Asked by menu painting for the extra line of a menu (its caption, font ...).
  std::function<void(TObject* Sender, TMenuItem* FirstItem, AnsiString& SkinSection, AnsiString& Caption,
                     TBitmap* Glyph, bool& LineVisible)>
      OnGetMenuExtraLineData;

  // --- the class-name lists of the ThirdParty kinds (filled from the texts by UpdateThirdNames)
  TStringList* ThirdLists(int Kind) const;
  // Copies the ThirdParty texts into the lists; a kind whose text is empty, or every kind with
  // Reset, first gets its default text back ("TButton" for buttons, " " for the others).
  void UpdateThirdNames(bool Reset = false);
  // Copies the lists back into the ThirdParty texts.
  void UpdateThirdTexts();

 private:
  // The name lookups over the record arrays (TacSkinLookup), rebuilt when the arrays change.
  struct TLookupTables;
  // The steps of a load from its options text or stored skin, emptying everything on failure.
  void LoadSkinParts();
  // Frees the options text, the pack and the stored skin of the load that just ended.
  void EndLoad();
  // The life of one load: acSkinChanging is set and the remains of a load are freed on entry and
  // on exit.
  class TLoadScope;
  // Empties the loaded skin: masks, master bitmap, patterns and section records.
  void UnloadSkin();
  void UnloadMasks();
  void UnloadPatterns();
  // The bodies of LoadSkin and LoadPackedSkin.
  void LoadSkinNow();
  void LoadPackedSkinNow();
  // A new options text from bytes, or from the pack's options file.
  void OpenOptions(std::string_view Text);
  void OpenPackOptions();
  // Where a picture file of the load is looked for: the pack (names compared without regard to
  // letter case), the skin's folder (SkinPath in front of names without ':'; names that reach
  // another machine or a device are refused), or, for the program's common sections, SkinPath in
  // front of names without ':'.
  enum class TPictureSource { Pack, SkinFolder, Common };
  // The source of the skin's own picture keys.
  TPictureSource SkinSource() const { return FSkinIsPacked ? TPictureSource::Pack : TPictureSource::SkinFolder; }
  // The picture's file; nullptr when there is no such file.
  std::unique_ptr<TStream> OpenSkinFile(const AnsiString& Name, TPictureSource Source) const;
  // The picture's file as the out-of-memory error names it.
  AnsiString PictureSource(const AnsiString& Name, TPictureSource Source) const;
  // Decodes a picture into a new bitmap (counted, as one of the pictures with a bitmap of their own
  // when OwnPicture), adding Section, Key and the file name to any error.
  std::unique_ptr<TBitmap> LoadBitmapFile(const AnsiString& Name, bool Png, TPictureSource Source, const AnsiString& Section,
                                          const AnsiString& Key, bool OwnPicture = true);
  std::unique_ptr<TGraphic> LoadJpegFile(const AnsiString& Name, TPictureSource Source, const AnsiString& Section,
                                         const AnsiString& Key);
  // The part the two share: opens the file and decodes it with DecodeStream, within the budget
  // (checked from the file's header first unless the decoder is handed the rest of the budget,
  // DecoderHoldsBudget); errors other than the load's own gain the section, key and file name.
  template <class T, class Decode>
  std::unique_ptr<T> LoadPictureFile(const AnsiString& Name, TPictureSource Source, const AnsiString& Section,
                                     const AnsiString& Key, bool DecoderHoldsBudget, Decode&& DecodeStream);
  // Counts a picture against MaxSkinPictures / MaxSkinPicturePixels.
  void CountPicture(int Width, int Height, bool OwnBitmap, const AnsiString& Name);
  // Counts a look-up of a picture file against MaxSkinFileLookups.
  void CountFileLookup(const AnsiString& Name);
  // Refuses a picture whose header declares more pixels than the budget has left (before it is
  // decoded).
  void CheckPictureBudget(TStream& Picture, const AnsiString& Name);
  // Runs one load: running out of memory (of the heap, of a memory stream's growth or of the
  // system's bitmap resources) while it reads becomes EacSkinLoadError naming FLoadFile.
  template <class F>
  void GuardLoadMemory(F&& Body);
  void LoadMasterBitmap(const AnsiString& Name);
  // Appends the entry of one picture key of the options text (or does nothing for other values).
  void AddMaskFromValue(TsSectionNames& Section, const AnsiString& Key, const AnsiString& Value);
  // Appends an entry that is a rectangle of the master bitmap when the rectangle lies inside it.
  void AddMasterMask(TsMaskData&& Mask);
  void AddCommonMasks();
  void AddCommonPatterns();
  // Appends a picture of a key as a pattern (counted against the budget).
  void AddPattern(std::unique_ptr<TGraphic> Img, TsSectionNames& Section, const AnsiString& Key,
                  const AnsiString& Name);
  // The mask indexes of each section record (BORDERSMASK and the four corner images).
  void UpdateSectionMaskIndexes();
  const TLookupTables& Lookup() const;

  // HueOffset and Saturation applied to the freshly loaded pictures and colours.
  void ApplyHueAndSaturation();
  // Makes the pictures of their own that have fewer than 24 bits a pixel 24-bit, as the painters
  // read them; run after the recolouring passes, which recolour such pictures through their colour
  // tables.
  void WidenOwnPictures();
  // Loads SkinName again (packed file when it exists, else folder or stored skin) for a change of
  // a setting; a failed load removes the skin and raises its error.
  void ReloadSkin();
  // ReloadSkin for a skin that is shown: not marked active while it is read, active again after.
  void ReloadShownSkin();
  // Sets the hue offset or saturation field and shows the skin again with it.
  void SetColorShift(int& Field, int Value);
  // The manager or the form that owns it is being loaded from its stored description.
  bool LoadingWithItsForm() const;
  // ReloadSkin for a manager loaded with its form: a failed load does not stop the form. Its error
  // goes to the application's error box; a packed file that failed is followed by the skin's other
  // source (its folder, else the stored skin), and when that fails too the skin stays off.
  void ReloadSkinOrFallBack();
  // The common index cache and the shadows, the pass that ends every load.
  void UpdateIndexesAndShadows();
  // The process's default manager becomes Manager.
  static void MakeDefault(TsSkinManager* Manager);
  // The engine's start-up work (built-in shadows, the /acver notice), once per process.
  static void StartEngine();
  // The application-window hook (MainWindowHook) of the default manager.
  void HookMainWindow();
  void UnhookMainWindow();
  // A skin command (LParam = this manager) to every form and control.
  void BroadcastCommand(Word Command);
  bool IsLoadingOrReading() const {
    return ComponentState().Contains(csLoading) || ComponentState().Contains(csReading);
  }

  AnsiString FSkinName;
  AnsiString FSkinDirectory;
  std::unique_ptr<TsStoredSkins> FInternalSkins;
  std::unique_ptr<TacMenuSupport> FMenuSupport;
  std::unique_ptr<ThirdPartyList> FThirdParty;
  std::unique_ptr<TStringList> FCommonSections;
  std::array<std::unique_ptr<TStringList>, ThirdPartyKindCount> FThirdLists;
  bool FActive = true;
  bool FIsDefault = false;
  bool FExtendedBorders = false;
  bool FSkinnedPopups = true;
  bool FAllowGlowing = true;
  int FHueOffset = 0;
  int FSaturation = 0;
  TacSkinningRules FSkinningRules{srStdForms, srStdDialogs, srThirdParty};
  std::unique_ptr<TacAnimEffects> FAnimEffects;
  std::unique_ptr<TacManagerMenus> FMenus;
  TacCommonSkinIndexes FCommon;
  TRect FShadowMargin{0, 0, 0, 0};
  std::array<std::unique_ptr<TPNGGraphic>, 2> FShadows;
  bool FHookInstalled = false;
  int FMainWindowHookId = 0;
  HWND FHoverWindow = nullptr;

  // The loaded skin.
  std::unique_ptr<TsSkinData> FSkinData;
  std::unique_ptr<TBitmap> FMasterBitmap;
  TsMaskArray FMasks;
  TsPatternArray FPatterns;
  TsGeneralDataArray FGeneralData;
  bool FSkinIsPacked = false;
  // Counts the loads and unloads of the skin, so that a skin change can tell whether the skin it
  // sends out is still the one loaded.
  std::uint64_t FLoadCount = 0;
  mutable std::unique_ptr<TLookupTables> FLookup;
  mutable std::uint64_t FLookupSteps = 0;

  // The load in progress: its options text, its pack, the stored skin read without options text,
  // and the pictures counted so far.
  AnsiString FVersionNotice;  // the warning CheckSkinVersion noted, shown after the change
  std::unique_ptr<TacSkinOptions> FOptions;
  std::unique_ptr<TacSkinConvertor> FPack;
  TsStoredSkin* FStoredSkin = nullptr;
  int FPictureCount = 0;
  std::int64_t FPicturePixels = 0;
  int FFileLookups = 0;
  // What the load in progress is reading, for its out-of-memory error.
  AnsiString FLoadFile;
};
