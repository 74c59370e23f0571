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
// its own name, when none has that name; with no stored skins the manager switches Active off).
// The skin directory is SkinDirectory made absolute from the program's folder (FullSkinDirectory).
// A load either completes or leaves no skin at all: on any error the arrays are emptied, Active is
// switched off and the exception (with its message naming the section, key or file at fault)
// reaches the caller of the setter.
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
#include "skin/core/acSkinPack.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sSkinOptions.h"
#include "skin/core/sStoredSkins.h"
#include "skin/core/sStyleSimply.h"

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

enum TacSkinningRule { srStdForms, srStdDialogs, srThirdParty };
using TacSkinningRules = TSet<TacSkinningRule>;

// Engine-wide: True while a skin change (SkinName, Active, CommonSections) loads a skin, and while
// a skin is being removed. Control and form skinning skip work while they are set.
extern bool acSkinChanging;
extern bool acSkinRemoving;

// The most pictures with a bitmap of their own a skin may hold, and the most pixels of all its
// pictures together (the master bitmap, own bitmaps, tiles and textures).
inline constexpr int MaxSkinPictures = 4096;
inline constexpr std::int64_t MaxSkinPicturePixels = std::int64_t{1} << 26;
// Textures smaller than this many pixels become tiles (mask entries with a bitmap).
inline constexpr std::int64_t TileTextureMaxPixels = 90000;

class TsSkinManager : public TComponent {
  T_CLASS(TsSkinManager, TComponent)

 public:
  static constexpr const char* DefaultSkinDirectory = "c:\\Skins";

  explicit TsSkinManager(TComponent* AOwner);
  ~TsSkinManager() override;

  // The first manager created while no default manager exists; nullptr when there is none.
  static TsSkinManager* DefaultManager();
  bool IsDefault() const { return DefaultManager() == this; }

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
  // The folder of the skins; relative paths are taken from the program's folder. Setting it does
  // not reload the skin.
  const AnsiString& SkinDirectory() const { return FSkinDirectory; }
  void SetSkinDirectory(const AnsiString& Value) { FSkinDirectory = Value; }
  // The loaded skin's version as text ("7" for 7.0, '.' as decimal separator); "N/A" while no
  // skin is active. Writing changes nothing.
  AnsiString SkinInfo() const;
  void SetSkinInfo(const AnsiString&) {}
  // The engine's version text, "6.48"; writing changes nothing.
  static AnsiString Version() { return "6.48"; }
  void SetVersion(const AnsiString&) {}
  TsStoredSkins* InternalSkins() const { return FInternalSkins.get(); }
  void SetInternalSkins(TsStoredSkins* Value) { FInternalSkins->Assign(Value); }
  TacMenuSupport* MenuSupport() const { return FMenuSupport.get(); }
  ThirdPartyList* ThirdParty() const { return FThirdParty.get(); }
  // Sections (INI text) added to every skin: their sections become section records where the skin
  // has none of that name, their pictures mask entries and textures patterns. Setting it removes
  // every blank from the lines that are not comments and reloads an active skin.
  TStringList* CommonSections() const { return FCommonSections.get(); }
  void SetCommonSections(TStringList* Value);
  // Whether skinning is wanted. False removes the skin; True loads SkinName again.
  bool Active() const { return FActive; }
  void SetActive(bool Value);
  // A skin is loaded and shown.
  bool SkinActive() const { return FSkinData->Active; }
  bool ExtendedBorders() const { return FExtendedBorders; }
  void SetExtendedBorders(bool Value) { FExtendedBorders = Value; }
  bool SkinnedPopups() const { return FSkinnedPopups; }
  void SetSkinnedPopups(bool Value) { FSkinnedPopups = Value; }
  bool AllowGlowing() const { return FAllowGlowing; }
  void SetAllowGlowing(bool Value) { FAllowGlowing = Value; }
  int HueOffset() const { return FHueOffset; }
  void SetHueOffset(int Value) { FHueOffset = Value; }
  int Saturation() const { return FSaturation; }
  void SetSaturation(int Value) { FSaturation = Value; }
  TacSkinningRules SkinningRules() const { return FSkinningRules; }
  void SetSkinningRules(TacSkinningRules Value) { FSkinningRules = Value; }

  // --- loading
  // SkinDirectory made absolute from the program's folder, with a trailing separator.
  AnsiString GetFullSkinDirectory() const;
  // The packed file of SkinName: <full skin directory><SkinName>.asz ("" without a SkinName).
  AnsiString PackedSkinFileName() const;
  // Loads SkinName from its folder or from InternalSkins; nothing unless Active. Switches Active
  // off, loading nothing, when there is neither such a folder nor any stored skin.
  void LoadSkin();
  // Loads the packed file of SkinName; nothing unless Active. EacSkinLoadError when the file
  // cannot be read, EacSkinPackError for a damaged pack.
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
  // no entry; a chain that comes back on itself ends with -1.
  int GetMaskIndex(int SkinIndex, const AnsiString& SectionName, const AnsiString& PropertyName) const;
  // The section's own mask entry of the key (no parent search); -1 for an empty section name.
  int GetOwnMaskIndex(const AnsiString& SectionName, const AnsiString& PropertyName) const;
  // As GetMaskIndex, but only entries of type itisaTexture count.
  int GetTextureIndex(int SkinIndex, const AnsiString& SectionName, const AnsiString& PropertyName) const;
  // As GetMaskIndex, over the patterns.
  int GetPatternIndex(int SkinIndex, const AnsiString& SectionName, const AnsiString& PropertyName) const;

  TNotifyEvent OnAfterChange;
  TNotifyEvent OnBeforeChange;

  // --- the class-name lists of the ThirdParty kinds (filled from the texts by UpdateThirdNames)
  TStringList* ThirdLists(int Kind) const;
  // Copies the ThirdParty texts into the lists.
  void UpdateThirdNames();
  // Copies the lists back into the ThirdParty texts.
  void UpdateThirdTexts();

 private:
  // Name indexes of the record arrays (first entry of each name), rebuilt when the arrays change.
  struct TLookupTables;
  // The steps of a load from its options text or stored skin, emptying everything on failure.
  void LoadSkinParts();
  // Frees the options text, the pack and the stored skin of the load that just ended.
  void EndLoad();
  // Empties the loaded skin: masks, master bitmap, patterns and section records.
  void UnloadSkin();
  void UnloadMasks();
  void UnloadPatterns();
  // A new options text from bytes, or from the pack's options file.
  void OpenOptions(std::string_view Text);
  // Picture sources of the load: the pack (names compared without regard to letter case) when the
  // skin is packed, the folder (SkinPath in front of names without ':') otherwise. nullptr when
  // there is no such file.
  std::unique_ptr<TStream> OpenSkinFile(const AnsiString& Name, bool FromPack) const;
  // Decodes a picture into a new bitmap (counted, as one of the pictures with a bitmap of their own
  // when OwnPicture), adding Section, Key and the file name to any error.
  std::unique_ptr<TBitmap> LoadBitmapFile(const AnsiString& Name, bool Png, bool FromPack, const AnsiString& Section,
                                          const AnsiString& Key, bool OwnPicture = true);
  std::unique_ptr<TGraphic> LoadJpegFile(const AnsiString& Name, bool FromPack, const AnsiString& Section,
                                         const AnsiString& Key);
  // Counts a picture against MaxSkinPictures / MaxSkinPicturePixels.
  void CountPicture(int Width, int Height, bool OwnBitmap, const AnsiString& Name);
  void LoadMasterBitmap(const AnsiString& Name);
  // Appends the entry of one picture key of the options text (or does nothing for other values).
  void AddMaskFromValue(const AnsiString& Section, const AnsiString& Key, const AnsiString& Value);
  // Appends an entry that is a rectangle of the master bitmap when the rectangle lies inside it.
  void AddMasterMask(TsMaskData&& Mask);
  void AddCommonMasks();
  void AddCommonPatterns();
  // The mask indexes of each section record (BORDERSMASK and the four corner images).
  void UpdateSectionMaskIndexes();
  // Every section's GetMaskIndex for a key, each parent chain walked once.
  std::vector<int> SectionMaskIndexes(const AnsiString& PropertyName) const;
  const TLookupTables& Lookup() const;

  // ---- Work of the skin change that belongs to control, form and menu skinning. Each is called at
  // its place in the loading and skin-change sequence and does nothing yet.
  // The cache of common section and mask indexes and the extended-border shadows.
  void UpdateCommonSkinIndexes() {}
  // The notices about skins of a version the engine does not fully support.
  void CheckSkinVersion() {}
  // HueOffset and Saturation applied to the freshly loaded pictures and colours.
  void ApplyHueAndSaturation() {}
  // The new skin to all forms and controls (glows, redraw lock, AC_NEWSKIN, the CBT hook, repaint).
  void BroadcastNewSkin(bool Repaint) {}
  // The skin's removal to all forms and controls (glows, the CBT hook, AC_SKINREMOVED).
  void BroadcastSkinRemoved() {}

  AnsiString FSkinName;
  AnsiString FSkinDirectory;
  std::unique_ptr<TsStoredSkins> FInternalSkins;
  std::unique_ptr<TacMenuSupport> FMenuSupport;
  std::unique_ptr<ThirdPartyList> FThirdParty;
  std::unique_ptr<TStringList> FCommonSections;
  std::array<std::unique_ptr<TStringList>, ThirdPartyKindCount> FThirdLists;
  bool FActive = true;
  bool FExtendedBorders = false;
  bool FSkinnedPopups = true;
  bool FAllowGlowing = true;
  int FHueOffset = 0;
  int FSaturation = 0;
  TacSkinningRules FSkinningRules{srStdForms, srStdDialogs, srThirdParty};

  // The loaded skin.
  std::unique_ptr<TsSkinData> FSkinData;
  std::unique_ptr<TBitmap> FMasterBitmap;
  TsMaskArray FMasks;
  TsPatternArray FPatterns;
  TsGeneralDataArray FGeneralData;
  bool FSkinIsPacked = false;
  mutable std::unique_ptr<TLookupTables> FLookup;

  // The load in progress: its options text, its pack, the stored skin read without options text,
  // and the pictures counted so far.
  std::unique_ptr<TacSkinOptions> FOptions;
  std::unique_ptr<TacSkinConvertor> FPack;
  TsStoredSkin* FStoredSkin = nullptr;
  int FPictureCount = 0;
  std::int64_t FPicturePixels = 0;
};
