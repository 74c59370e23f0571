// TsCommonData: the skin data that every skinned control, window adapter and form provider owns,
// published as its SkinData. It binds the owner to a skin manager (none: the default manager) and a
// skin section, caches the indexes painting needs (section, border mask, textures), owns the
// owner's 24-bit cache bitmap and keeps the small state that decides how and when the owner
// repaints: stale background, updating, focus, mouse over, plain background.
//
// The unit also holds the shared handling that works on this object:
//  - HandleSkinCommand answers the skin command message SM_ALPHACMD (sConst.h) for a skin data;
//  - HandleCommonMessage reacts to the ordinary window and framework messages that change the skin
//    state (focus, mouse over, size, position, visibility, enabling, context menu) and passes
//    SM_ALPHACMD on to HandleSkinCommand. A control calls it with every message it receives; when
//    it returns True the control stops, otherwise it goes on with its own processing;
//  - the background and colour answers (GetBackgroundInfo, GetBackgroundColor), the copies of the
//    cache bitmap that leave child controls or child windows alone, and the glow around the owner.
// Win32.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/Messages.h"
#include "framework/Persistent.h"
#include "skin/core/acPixels.h"
#include "skin/core/sMaskData.h"

class TsSkinManager;

// The record of a background query (SM_ALPHACMD AC_GETBACKGROUND); defined with the background
// queries in sBackground.h.
struct TacBGInfo;

// Control-kind codes that the skin core itself knows (the rest belong to the skinned controls).
inline constexpr int ckSplitter = 75;
inline constexpr int ckButton = 93;
inline constexpr int ckFormProvider = 224;
inline constexpr int ckFrameAdapter = 226;
inline constexpr int ckGraphicControl = 227;

// StateBits: bit 0 set = the owner's background is plain (it needs no cache bitmap).
inline constexpr Word ssPlainBackground = 1;
// FillMode: 4 added = the section has a texture share; low bits = gradient kind (1, 2 or 3).
inline constexpr Byte fmTexture = 4;

class TsCommonData : public TPersistent {
  T_CLASS(TsCommonData, TPersistent)

 public:
  // Owner: the object the data belongs to (a control, an adapter, a form provider). KindCode: the
  // owner's control-kind code (0 when it has none), which picks the default section in Loaded.
  // CreateCacheBmp: make the (24-bit, 0 x 0) cache bitmap now; otherwise InitCacheBmp makes it.
  explicit TsCommonData(TPersistent* AOwner, int KindCode = 0, bool CreateCacheBmp = false);
  // Frees the cache bitmap and hides a shown glow.
  ~TsCommonData() override;

  // ---- published properties
  // The section name, always stored upper-cased; setting an empty name stores "UNKNOWN". A change
  // re-reads the indexes and tells the owner control (AC_REFRESHSKIN when the section is valid,
  // AC_SKINREMOVED otherwise; LParam = the manager) unless it is not ready for it (no parent,
  // loading, reading, being destroyed).
  const AnsiString& SkinSection() const { return FSkinSection; }
  void SetSkinSection(const AnsiString& Value);
  // The owner keeps its own colour / font colour instead of the section's.
  bool CustomColor() const { return FCustomColor; }
  void SetCustomColor(bool Value);
  bool CustomFont() const { return FCustomFont; }
  void SetCustomFont(bool Value);
  // The bound manager: the one set, else the default manager, else nullptr. Setting the default
  // manager stores none (the data then follows whichever manager is default); the property is
  // stored only when a manager is set (SkinManagerStored).
  TsSkinManager* GetSkinManager() const;
  TsSkinManager* SkinManager() const { return GetSkinManager(); }
  void SetSkinManager(TsSkinManager* Value);
  bool SkinManagerStored() const { return FManager != nullptr; }
  // The manager field itself (nullptr: follow the default manager).
  TsSkinManager* ManagerField() const { return FManager; }
  // Forgets the manager without anything else (it is going away).
  void ClearManagerField() { FManager = nullptr; }

  // ---- owner
  // The owner, always; the owner when it is a control, otherwise nullptr.
  TPersistent* OwnerObject() const { return FOwnerObject; }
  TControl* OwnerControl() const { return FOwnerControl; }
  int KindCode() const { return FKindCode; }
  void SetKindCode(int Value) { FKindCode = Value; }

  // ---- state (read and written by the painting code of controls, adapters and providers)
  // Id of the shown glow window (acGlow), -1 = none.
  int GlowId = -1;
  // The owner is being updated: do not paint (the raw flag; GetUpdating is the full question).
  bool Updating = false;
  // Index of the section's BORDERSMASK mask, -1 = none.
  int BorderMaskIndex = -1;
  // Index of the section in the manager's section array, -1 = none.
  int SectionIndex = -1;
  // Indexes of the section's PATTERN and HOTPATTERN textures, -1 = none.
  int PatternIndex = -1;
  int HotPatternIndex = -1;
  // Set by AC_SETPARENTDEPENDENT: the owner always counts as depending on its parent.
  bool ForceParentDependent = false;
  // The cached background is stale: the cache bitmap must be painted again. Painting code clears
  // it when it has refilled the cache.
  bool BackgroundStale = true;
  // The owner was skipped by the graphic-control painter (AC_NOTPAINTED).
  bool OutOfView = true;
  // The owner has the focus (WM_SETFOCUS / WM_KILLFOCUS) / the mouse is over it
  // (CM_MOUSEENTER / CM_MOUSELEAVE).
  bool FocusedFlag = false;
  bool MouseOver = false;
  // Bit 0 (ssPlainBackground): plain background, no cache needed.
  Word StateBits = 0;
  // fmTexture added: the section has a texture share; low bits 1, 2 or 3: gradient kind.
  Byte FillMode = 0;

  // ---- cache bitmap
  // The owner's cache bitmap (24 bits per pixel), owned; nullptr until made.
  TBitmap* CacheBmp() const { return FCacheBmp.get(); }
  // Make the cache bitmap when missing (24-bit); PrepareCacheBmp also forces 24 bits on an
  // existing one. Both make a device-dependent bitmap device-independent and size it to the owner
  // control (each only when different).
  void InitCacheBmp();
  void PrepareCacheBmp();

  // ---- section binding
  // Called by the owner once its stored settings are applied: an empty section becomes the default
  // section of the owner's kind (DefaultSection), otherwise the indexes are read again; a skinned
  // owner on a parent tells its form (AC_CONTROLLOADED), and an edit (or kind 97) takes the
  // section's colour and font colour unless CustomColor / CustomFont.
  void Loaded();
  // Re-reads SectionIndex, BorderMaskIndex, PatternIndex, HotPatternIndex and FillMode from the
  // manager; BackgroundStale := True; StateBits recomputed.
  void UpdateIndexes();
  // Recomputes bit 0 of StateBits (plain background) for panel-like owners and form providers;
  // with Notify a windowed owner tells its children (AC_PLAINSTATE, LParam 1).
  void UpdatePlainState(bool Notify);
  // The default section of a control kind; for kinds without a section of their own, the class
  // name of the owner (upper-cased).
  static AnsiString DefaultSection(int KindCode, const TPersistent* Owner);

  // ---- questions
  // A manager exists, SectionIndex is a valid section of it, neither the owner nor the manager is
  // being destroyed, and (with CheckActive) the manager's skin is active.
  bool IsSkinned(bool CheckActive = true) const;
  // The section record; nullptr without a manager or a valid SectionIndex.
  const TsGeneralData* Section() const;
  // SectionIndex is valid and the section's Transparency >= 1.
  bool HasTransparency() const;
  // Painting must be held back: the Updating flag, or (while skin painting is needed) a parent
  // that is busy (AC_ISBUSY) or missing. False without a manager.
  bool GetUpdating() const;
  void SetUpdating(bool Value) { Updating = Value; }
  // Skin painting is needed: while forms are updating, when the background is not plain, or in
  // the hot state.
  bool IsSkinPaintMode() const;
  // The owner is enabled and focused, or the mouse is over it (for kinds with a hover state).
  bool GetHotState() const;
  // The largest margin of the border mask; 0 without one or when its DrawMode has bit value 2.
  int GetMaxBorderWidth() const;
  // The owner's picture depends on what lies under it (see the unit's source for the rules).
  bool ParentDependent() const;

  // ---- actions
  // BackgroundStale := True and the owner control invalidated when it is ready to paint.
  void Invalidate();
  // Updating := True / False and AC_BEGINUPDATE / AC_ENDUPDATE to the owner control (or, for a
  // form provider, to its form's window).
  void BeginUpdate();
  void EndUpdate();

  // ---- background and colour answers
  // Fills a background query for a child: a colour (BgType 1) or the cache bitmap (BgType 2).
  // Hot: use the section's hot values. Window stands in for a missing owner control.
  void GetBackgroundInfo(TacBGInfo& Info, bool Hot = false, HWND Window = nullptr);
  // The owner's background colour as RGB, mixed with the parent's by the section's transparency.
  TColor GetBackgroundColor(bool Hot = false, HWND Window = nullptr);
  // The background under the owner: the parent's answer as a cache-info record, or the own colour.
  void GetParentCacheInfo(TCacheInfo& CacheInfo);

 private:
  // The value of the plain-background test (true: a cache bitmap is needed).
  bool NeedsCache() const;
  void UpdateFillMode();
  // Applies the section's colours to an edit-like owner (unless CustomColor / CustomFont).
  void ApplySectionColors();
  // The owner is a skin provider (its class name).
  bool OwnerIsProvider() const;

  AnsiString FSkinSection;
  bool FCustomFont = false;
  bool FCustomColor = false;
  TsSkinManager* FManager = nullptr;
  TControl* FOwnerControl = nullptr;
  TPersistent* FOwnerObject = nullptr;
  TComponent* FOwnerComponent = nullptr;  // the owner when it is a component
  std::unique_ptr<TBitmap> FCacheBmp;
  int FKindCode = 0;
};

// ---- shared handlers --------------------------------------------------------------------------

// The shared answer of a skin data to SM_ALPHACMD. False (nothing done) for a nil SkinData, for
// another message and for command codes above AC_LASTHANDLED; otherwise True when the question
// was answered and the control must not pass the message on (see sConst.h).
bool HandleSkinCommand(TMessage& Message, TsCommonData* SkinData);
// The shared handling of the messages that change the skin state; SM_ALPHACMD goes to
// HandleSkinCommand. True: handled, the control stops. False for a nil SkinData.
bool HandleCommonMessage(TMessage& Message, TsCommonData* SkinData);

// The control-kind sets of the handlers (kinds above 255 are in none of them).
bool KindHasNoHover(int Kind);
bool KindHasNoGlow(int Kind);
bool KindRepaintsOnHover(int Kind);

// ---- colour, background and cache copies ------------------------------------------------------

// The owner control's Color; without one, the Color of a skin provider's form; else clBtnFace.
TColor OwnerColor(const TsCommonData* SkinData);
// The background under a window (its parent window's answer to a background query); without a
// parent window, the engine's default cache-info record.
void GetParentCacheOfWindow(HWND Window, TCacheInfo& CacheInfo);
// The section whose font colours Control uses: the first parent (asked with AC_GETSECTION) whose
// section gives its own font, passing over parents whose section is more than 50 % transparent;
// Default when the walk ends first.
int ParentFontSectionIndex(TControl* Control, int Default, TsSkinManager* Manager);

// Copies the area of SkinData's cache bitmap at Src (R's size) to R of DC, leaving out the child
// controls of Control that paint themselves (graphic controls, csOpaque ones; never a splitter)
// and that intersect R, each taken at its bounds shifted by (DX, DY). FillCorners first fills the
// cache's transparent corners from the parent. Nothing without a cache bitmap.
void CopyCacheExceptControls(TWinControl* Control, TsCommonData* SkinData, TPoint Src, int DY, int DX,
                             bool FillCorners, HDC DC, const TRect& R);
// The same over the visible child windows of Window (their window rectangles relative to Window's,
// shifted by (DX, DY)). A group box window is left out only along its frame (top strip as tall as
// its AC_GETCAPTIONHEIGHT answer, the other strips as the default manager's GROUPBOX border mask
// margins); without a default manager it is not left out at all.
void CopyCacheExceptWindows(HWND Window, TsCommonData* SkinData, TPoint Src, int DY, int DX, bool FillCorners,
                            HDC DC, const TRect& R);
// The same over the windows of Window's child chain given (ChildWindows).
void CopyCacheExceptWindows(HWND Window, const std::vector<HWND>& Children, TsCommonData* SkinData, TPoint Src,
                            int DY, int DX, bool FillCorners, HDC DC, const TRect& R);

// Shows, refreshes or hides the glow around SkinData's owner (or Window when it has no owner
// control): shown while the mouse is over it and glowing is allowed and the section glows;
// HideIfShown hides a glow that is already shown instead of showing it again.
void UpdateGlow(TsCommonData* SkinData, bool HideIfShown, HWND Window = nullptr);
