// TsSkinManager: the skin manager component placed on the main form. It owns the engine-wide skin
// settings: the skin to load (SkinName, SkinDirectory, the skins stored in the form's description
// in InternalSkins), the menu support settings, the ThirdParty class-name lists and the switches.
// So far it keeps these settings only: it loads no skin, installs no hook and broadcasts nothing,
// and its Active skin is never switched on. The first manager created is the process's default
// manager. Win32.
#pragma once

#include <array>
#include <functional>
#include <memory>

#include "framework/Components.h"
#include "framework/Graphics.h"
#include "framework/Lists.h"
#include "skin/core/sStoredSkins.h"

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
  // copied into the class-name lists.
  void Loaded() override;

  // --- published settings
  // The skin to use: a stored skin of InternalSkins, a folder or a packed file of that name in
  // SkinDirectory.
  const AnsiString& SkinName() const { return FSkinName; }
  void SetSkinName(const AnsiString& Value) { FSkinName = Value; }
  const AnsiString& SkinDirectory() const { return FSkinDirectory; }
  void SetSkinDirectory(const AnsiString& Value) { FSkinDirectory = Value; }
  // The loaded skin's version as text; "N/A" while no skin is active. Writing changes nothing.
  AnsiString SkinInfo() const;
  void SetSkinInfo(const AnsiString&) {}
  // The engine's version text, "6.48"; writing changes nothing.
  static AnsiString Version() { return "6.48"; }
  void SetVersion(const AnsiString&) {}
  TsStoredSkins* InternalSkins() const { return FInternalSkins.get(); }
  void SetInternalSkins(TsStoredSkins* Value) { FInternalSkins->Assign(Value); }
  TacMenuSupport* MenuSupport() const { return FMenuSupport.get(); }
  ThirdPartyList* ThirdParty() const { return FThirdParty.get(); }
  TStringList* CommonSections() const { return FCommonSections.get(); }
  void SetCommonSections(TStringList* Value) { FCommonSections->Assign(Value); }
  // Whether skinning is wanted. The skin itself is active only once one has been loaded
  // (SkinActive), which does not happen yet.
  bool Active() const { return FActive; }
  void SetActive(bool Value) { FActive = Value; }
  bool SkinActive() const { return false; }
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

  TNotifyEvent OnAfterChange;
  TNotifyEvent OnBeforeChange;

  // --- the class-name lists of the ThirdParty kinds (filled from the texts by UpdateThirdNames)
  TStringList* ThirdLists(int Kind) const;
  // Copies the ThirdParty texts into the lists.
  void UpdateThirdNames();
  // Copies the lists back into the ThirdParty texts.
  void UpdateThirdTexts();

 private:
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
};
