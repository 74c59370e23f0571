#include "skin/core/sSkinManager.h"

#include "framework/TypInfo.h"

namespace {

TsSkinManager* TheDefaultManager = nullptr;

const char* const ThirdKindNames[ThirdPartyKindCount] = {
    "Edit",    "Button",   "BitBtn",   "CheckBox",    "ComboBox",    "Grid",       "GroupBox",
    "ListView", "Panel",   "TreeView", "wwEdit",      "GridEh",      "VirtualTree", "PageControl",
    "TabControl", "ToolBar", "StatusBar", "SpeedButton"};

void CheckThirdIndex(int Index) {
  if (Index < 0 || Index >= ThirdPartyKindCount) throw EListError(Format("List index out of bounds (%d)", Index));
}

}  // namespace

// ---- TacMenuSupport -----------------------------------------------------------------------------

TacMenuSupport::TacMenuSupport() : FExtraLineFont(std::make_unique<TFont>()) {}

TacMenuSupport::~TacMenuSupport() = default;

// ---- ThirdPartyList -----------------------------------------------------------------------------

ThirdPartyList::ThirdPartyList() {
  for (AnsiString& T : FTexts) T = AnsiString(" ");
  FTexts[tpButton] = AnsiString("TButton");
}

const AnsiString& ThirdPartyList::Texts(int Index) const {
  CheckThirdIndex(Index);
  return FTexts[static_cast<std::size_t>(Index)];
}

void ThirdPartyList::SetTexts(int Index, const AnsiString& Value) {
  CheckThirdIndex(Index);
  FTexts[static_cast<std::size_t>(Index)] = Value;
}

const char* ThirdPartyList::KindName(int Index) {
  CheckThirdIndex(Index);
  return ThirdKindNames[Index];
}

// ---- TsSkinManager ------------------------------------------------------------------------------

TsSkinManager::TsSkinManager(TComponent* AOwner)
    : TComponent(AOwner),
      FInternalSkins(std::make_unique<TsStoredSkins>(this)),
      FMenuSupport(std::make_unique<TacMenuSupport>()),
      FThirdParty(std::make_unique<ThirdPartyList>()),
      FCommonSections(std::make_unique<TStringList>()) {
  for (auto& L : FThirdLists) L = std::make_unique<TStringList>();
  if (TheDefaultManager == nullptr) TheDefaultManager = this;
  UpdateThirdNames();
  if (FSkinDirectory.empty()) FSkinDirectory = DefaultSkinDirectory;
}

TsSkinManager::~TsSkinManager() {
  if (TheDefaultManager == this) TheDefaultManager = nullptr;
}

TsSkinManager* TsSkinManager::DefaultManager() { return TheDefaultManager; }

void TsSkinManager::Loaded() {
  TComponent::Loaded();
  if (FSkinDirectory.empty()) FSkinDirectory = DefaultSkinDirectory;
  if (FMenuSupport->IcoLineSkin().empty()) FMenuSupport->SetIcoLineSkin("ICOLINE");
  UpdateThirdNames();
}

// No skin is loaded yet, so there is no version to tell.
AnsiString TsSkinManager::SkinInfo() const { return "N/A"; }

TStringList* TsSkinManager::ThirdLists(int Kind) const {
  CheckThirdIndex(Kind);
  return FThirdLists[static_cast<std::size_t>(Kind)].get();
}

void TsSkinManager::UpdateThirdNames() {
  for (int I = 0; I < ThirdPartyKindCount; ++I) FThirdLists[static_cast<std::size_t>(I)]->SetText(FThirdParty->Texts(I));
}

void TsSkinManager::UpdateThirdTexts() {
  for (int I = 0; I < ThirdPartyKindCount; ++I) FThirdParty->SetTexts(I, FThirdLists[static_cast<std::size_t>(I)]->Text());
}

// ---- Published properties -----------------------------------------------------------------------

T_PUBLISH(TacMenuSupport) {
  P.String("IcoLineSkin", &TacMenuSupport::IcoLineSkin, &TacMenuSupport::SetIcoLineSkin);
  P.Boolean("UseExtraLine", &TacMenuSupport::UseExtraLine, &TacMenuSupport::SetUseExtraLine);
  P.Ordinal("ExtraLineWidth", &TacMenuSupport::ExtraLineWidth, &TacMenuSupport::SetExtraLineWidth);
  P.Object("ExtraLineFont", &TacMenuSupport::ExtraLineFont, &TacMenuSupport::SetExtraLineFont);
}

T_PUBLISH(ThirdPartyList) {
  P.String("ThirdEdits", &ThirdPartyList::ThirdEdits, &ThirdPartyList::SetThirdEdits);
  P.String("ThirdButtons", &ThirdPartyList::ThirdButtons, &ThirdPartyList::SetThirdButtons);
  P.String("ThirdBitBtns", &ThirdPartyList::ThirdBitBtns, &ThirdPartyList::SetThirdBitBtns);
  P.String("ThirdCheckBoxes", &ThirdPartyList::ThirdCheckBoxes, &ThirdPartyList::SetThirdCheckBoxes);
  P.String("ThirdComboBoxes", &ThirdPartyList::ThirdComboBoxes, &ThirdPartyList::SetThirdComboBoxes);
  P.String("ThirdGrids", &ThirdPartyList::ThirdGrids, &ThirdPartyList::SetThirdGrids);
  P.String("ThirdGroupBoxes", &ThirdPartyList::ThirdGroupBoxes, &ThirdPartyList::SetThirdGroupBoxes);
  P.String("ThirdListViews", &ThirdPartyList::ThirdListViews, &ThirdPartyList::SetThirdListViews);
  P.String("ThirdPanels", &ThirdPartyList::ThirdPanels, &ThirdPartyList::SetThirdPanels);
  P.String("ThirdTreeViews", &ThirdPartyList::ThirdTreeViews, &ThirdPartyList::SetThirdTreeViews);
  P.String("ThirdWWEdits", &ThirdPartyList::ThirdWWEdits, &ThirdPartyList::SetThirdWWEdits);
  P.String("ThirdGridEh", &ThirdPartyList::ThirdGridEh, &ThirdPartyList::SetThirdGridEh);
  P.String("ThirdVirtualTrees", &ThirdPartyList::ThirdVirtualTrees, &ThirdPartyList::SetThirdVirtualTrees);
  P.String("ThirdPageControl", &ThirdPartyList::ThirdPageControl, &ThirdPartyList::SetThirdPageControl);
  P.String("ThirdTabControl", &ThirdPartyList::ThirdTabControl, &ThirdPartyList::SetThirdTabControl);
  P.String("ThirdToolBar", &ThirdPartyList::ThirdToolBar, &ThirdPartyList::SetThirdToolBar);
  P.String("ThirdStatusBar", &ThirdPartyList::ThirdStatusBar, &ThirdPartyList::SetThirdStatusBar);
  P.String("ThirdSpeedButton", &ThirdPartyList::ThirdSpeedButton, &ThirdPartyList::SetThirdSpeedButton);
}

T_PUBLISH(TsSkinManager) {
  P.Boolean("ExtendedBorders", &TsSkinManager::ExtendedBorders, &TsSkinManager::SetExtendedBorders);
  P.Boolean("SkinnedPopups", &TsSkinManager::SkinnedPopups, &TsSkinManager::SetSkinnedPopups);
  P.Boolean("AllowGlowing", &TsSkinManager::AllowGlowing, &TsSkinManager::SetAllowGlowing);
  P.Boolean("IsDefault", &TsSkinManager::IsDefault);
  P.Boolean("Active", &TsSkinManager::Active, &TsSkinManager::SetActive);
  P.Object("CommonSections", &TsSkinManager::CommonSections, &TsSkinManager::SetCommonSections);
  P.Ordinal("Saturation", &TsSkinManager::Saturation, &TsSkinManager::SetSaturation);
  P.Ordinal("HueOffset", &TsSkinManager::HueOffset, &TsSkinManager::SetHueOffset);
  P.Object("InternalSkins", &TsSkinManager::InternalSkins, &TsSkinManager::SetInternalSkins);
  P.Object("MenuSupport", &TsSkinManager::MenuSupport);
  P.String("SkinDirectory", &TsSkinManager::SkinDirectory, &TsSkinManager::SetSkinDirectory);
  P.String("SkinName", &TsSkinManager::SkinName, &TsSkinManager::SetSkinName);
  P.String("SkinInfo", &TsSkinManager::SkinInfo, &TsSkinManager::SetSkinInfo);
  P.Set("SkinningRules", &TsSkinManager::SkinningRules, &TsSkinManager::SetSkinningRules,
        {"srStdForms", "srStdDialogs", "srThirdParty"});
  P.Object("ThirdParty", &TsSkinManager::ThirdParty);
  P.String("Version", [](TsSkinManager*) { return TsSkinManager::Version(); }, &TsSkinManager::SetVersion);
}
