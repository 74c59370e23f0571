// The skin data object of a skinned control: its section, indexes, states and cache bitmap.
#include "skin/core/sCommonData.h"

#include <algorithm>
#include <cwctype>
#include <initializer_list>
#include <string>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "framework/Strings.h"
#include "framework/TypInfo.h"
#include "skin/core/acGlow.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonDataImpl.h"
#include "skin/core/sConst.h"
#include "skin/core/sFormList.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

using namespace CommonDataImpl;

namespace {

// ---- the control-kind sets of the shared handlers

struct TKindSet {
  std::uint64_t Bits[4] = {0, 0, 0, 0};
  TKindSet(std::initializer_list<std::pair<int, int>> Ranges) {
    for (const auto& [Lo, Hi] : Ranges)
      for (int K = Lo; K <= Hi; ++K) Bits[K >> 6] |= std::uint64_t{1} << (K & 63);
  }
  bool Contains(int K) const { return K >= 0 && K <= 255 && ((Bits[K >> 6] >> (K & 63)) & 1) != 0; }
};

const TKindSet& NoHoverKinds() {
  static const TKindSet S{{19, 19}, {51, 74}, {110, 110}, {141, 161}};
  return S;
}
const TKindSet& NoGlowKinds() {
  static const TKindSet S{{51, 52}, {54, 54}, {56, 60}, {68, 68}, {73, 74}, {110, 110},
                          {141, 141}, {143, 143}, {151, 151}, {161, 161}, {226, 226}};
  return S;
}
const TKindSet& RepaintOnHoverKinds() {
  static const TKindSet S{{2, 18}, {41, 41}, {76, 84}, {96, 97}, {131, 140}};
  return S;
}

// ---- default sections

struct TKindSection {
  std::initializer_list<int> Kinds;
  const char* Section;
};

const TKindSection KindSections[] = {
    {{2, 3, 4, 5, 6, 7, 8, 10, 41, 76, 78, 83, 84, 96, 97, 131, 140, 227}, "EDIT"},
    {{11, 12, 13, 14, 15, 16, 17, 18, 81, 82}, "COMBOBOX"},
    {{19}, "BAR"},
    {{20}, "BARTITLE"},
    {{32, 152}, "CHECKBOX"},
    {{33}, "RADIOBUTTON"},
    {{51, 59, 68, 73}, "PANEL"},
    {{52, 58}, "PANEL_LOW"},
    {{53, 54, 60}, "TOOLBAR"},
    {{56}, "DRAGBAR"},
    {{57}, "TABSHEET"},
    {{74, 226}, "GROUPBOX"},
    {{75}, "SPLITTER"},
    {{92, 95}, "SPEEDBUTTON"},
    {{93, 94}, "BUTTON"},
    {{98}, "TOOLBUTTON"},
    {{141, 143}, "PAGECONTROL"},
    {{151}, "STATUSBAR"},
    {{161}, "GAUGE"},
    {{165}, "TRACKBAR"},
};


}  // namespace

bool KindHasNoHover(int Kind) { return NoHoverKinds().Contains(Kind); }
bool KindHasNoGlow(int Kind) { return NoGlowKinds().Contains(Kind); }
bool KindRepaintsOnHover(int Kind) { return RepaintOnHoverKinds().Contains(Kind); }

// ================================================================================================
// TsCommonData

TsCommonData::TsCommonData(TPersistent* AOwner, int KindCode, bool CreateCacheBmp)
    : FOwnerControl(dynamic_cast<TControl*>(AOwner)),
      FOwnerObject(AOwner),
      FOwnerComponent(dynamic_cast<TComponent*>(AOwner)),
      FKindCode(KindCode) {
  if (CreateCacheBmp) {
    FCacheBmp = std::make_unique<TBitmap>();
    FCacheBmp->SetPixelFormat(pf24bit);
  }
  acRegisterManagerRef(&FManager);
}

TsCommonData::~TsCommonData() {
  SectionIndex = -1;
  PatternIndex = -1;
  HotPatternIndex = -1;
  if (GlowId >= 0) HideGlow(GlowId);
  GlowId = -1;
  FCacheBmp.reset();
  FOwnerControl = nullptr;
  FOwnerObject = nullptr;
  FOwnerComponent = nullptr;
  FManager = nullptr;
  acUnregisterManagerRef(&FManager);
}

bool TsCommonData::OwnerIsProvider() const {
  return FOwnerObject != nullptr && FOwnerObject->InheritsFromName("TsSkinProvider");
}

TsSkinManager* TsCommonData::GetSkinManager() const {
  return FManager != nullptr ? FManager : TsSkinManager::DefaultManager();
}

void TsCommonData::SetSkinManager(TsSkinManager* Value) {
  if (Value == FManager) return;
  FManager = Value == TsSkinManager::DefaultManager() ? nullptr : Value;
  // Setting none and setting the default manager mean the same: follow the default manager. Both
  // bind the data to it, so that the owner keeps its skin either way.
  if (FOwnerControl != nullptr && Loading(FOwnerControl)) return;
  // The manager in effect now (none set: the default one) decides the indexes and the command.
  TsSkinManager* M = GetSkinManager();
  const bool HasSections = M != nullptr && !M->GeneralData().empty();
  if (HasSections) UpdateIndexes();
  else SectionIndex = -1;
  if (OwnerIsProvider()) return;  // the provider's command hook takes nothing
  if (FOwnerControl != nullptr && FOwnerControl->Parent() != nullptr && !Destroying(FOwnerControl)) {
    const bool Valid = HasSections && M->IsValidSectionIndex(SectionIndex);
    SendSkinCommandToControl(FOwnerControl, Valid ? AC_REFRESHSKIN : AC_SKINREMOVED, reinterpret_cast<LPARAM>(M));
  }
}

void TsCommonData::SetSkinSection(const AnsiString& Value) {
  const AnsiString NewValue = Value.empty() ? AnsiString("UNKNOWN") : UpperCase(Value);
  if (NewValue == FSkinSection) return;
  FSkinSection = NewValue;
  TsSkinManager* M = GetSkinManager();
  if (M == nullptr || M->GeneralData().empty()) SectionIndex = -1;
  else UpdateIndexes();
  if (FOwnerControl == nullptr || Loading(FOwnerControl) || FOwnerControl->ControlState().Contains(csReadingState) ||
      Destroying(FOwnerControl) || FOwnerControl->Parent() == nullptr) {
    if (OwnerIsProvider()) {
      BackgroundStale = true;
      if (acProviderLink.FreeNonClientCache) acProviderLink.FreeNonClientCache(FOwnerObject);
    }
    return;
  }
  const bool Valid = M != nullptr && !M->GeneralData().empty() && M->IsValidSectionIndex(SectionIndex);
  SendSkinCommandToControl(FOwnerControl, Valid ? AC_REFRESHSKIN : AC_SKINREMOVED, reinterpret_cast<LPARAM>(M));
}

void TsCommonData::ApplySectionColors() {
  const TsGeneralData* S = Section();
  if (S == nullptr || FOwnerControl == nullptr) return;
  if (!FCustomColor && FOwnerControl->Color() != S->Color) FOwnerControl->SetColor(S->Color);
  if (!FCustomFont && FOwnerControl->Font()->Color() != S->FontColor[0]) FOwnerControl->Font()->SetColor(S->FontColor[0]);
}

void TsCommonData::SetCustomColor(bool Value) {
  if (Value == FCustomColor) return;
  FCustomColor = Value;
  if (IsSkinned() && IsEditLike(FOwnerControl) && !Loading(FOwnerControl)) ApplySectionColors();
  Invalidate();
}

void TsCommonData::SetCustomFont(bool Value) {
  if (Value == FCustomFont) return;
  FCustomFont = Value;
  Invalidate();
}

const TsGeneralData* TsCommonData::Section() const {
  TsSkinManager* M = GetSkinManager();
  if (M == nullptr || !M->IsValidSectionIndex(SectionIndex)) return nullptr;
  return &M->GeneralData()[static_cast<std::size_t>(SectionIndex)];
}

void TsCommonData::UpdateFillMode() {
  FillMode = 0;
  const TsGeneralData* S = Section();
  if (S == nullptr) return;
  if (S->ImagePercent != 0) FillMode += fmTexture;
  if (S->GradientPercent != 0 && !S->GradientArray().empty()) {
    switch (S->GradientArray()[0].Mode) {
      case 0: FillMode += 2; break;
      case 1: FillMode += 1; break;
      case 2: FillMode += 3; break;
      default: break;
    }
  }
}

void TsCommonData::UpdateIndexes() {
  BackgroundStale = true;
  TsSkinManager* M = GetSkinManager();
  SectionIndex = M != nullptr ? M->GetSectionIndex(FSkinSection) : -1;
  UpdateFillMode();
  StateBits = 0;
  if (M != nullptr && M->IsValidSectionIndex(SectionIndex)) {
    BorderMaskIndex = M->GeneralData()[static_cast<std::size_t>(SectionIndex)].BorderIndex;
    PatternIndex = M->GetTextureIndex(SectionIndex, FSkinSection, "PATTERN");
    HotPatternIndex = M->GetTextureIndex(SectionIndex, FSkinSection, "HOTPATTERN");
    UpdatePlainState(false);
  } else {
    // No section: nothing of the previous section's images may stay in use.
    BorderMaskIndex = -1;
    PatternIndex = -1;
    HotPatternIndex = -1;
  }
}

bool TsCommonData::NeedsCache() const {
  TsSkinManager* M = GetSkinManager();
  const TsGeneralData* S = Section();
  if (S == nullptr) return false;
  if (M->IsValidMaskIndex(BorderMaskIndex)) {
    if (M->GetMaskLeftMargin(BorderMaskIndex) + M->GetMaskRightMargin(BorderMaskIndex) > 30 ||
        M->GetMaskTopMargin(BorderMaskIndex) + M->GetMaskBottomMargin(BorderMaskIndex) > 30)
      return true;
  }
  if (S->Transparency == 100) {
    if (FOwnerControl == nullptr || FOwnerControl->Parent() == nullptr) return true;
    return (AskControl(FOwnerControl->Parent(), AC_PLAINSTATE) & ssPlainBackground) == 0;
  }
  if (S->Transparency != 0) return true;
  return S->ImagePercent != 0 || S->GradientPercent != 0;
}

void TsCommonData::UpdatePlainState(bool Notify) {
  StateBits &= static_cast<Word>(~ssPlainBackground);
  if (FOwnerControl != nullptr) {
    if (dynamic_cast<TPanel*>(FOwnerControl) != nullptr || dynamic_cast<TScrollingWinControl*>(FOwnerControl) != nullptr) {
      if (!NeedsCache()) StateBits |= ssPlainBackground;
    }
    if (Notify) {
      if (auto* W = AsWindowed(FOwnerControl)) {
        for (int I = 0; I < W->ControlCount(); ++I) SendSkinCommandToControl(W->Controls(I), AC_PLAINSTATE, 1);
      }
    }
  } else if (OwnerIsProvider()) {
    if (!NeedsCache()) StateBits |= ssPlainBackground;
  }
}

void TsCommonData::Loaded() {
  if (FSkinSection.empty()) SetSkinSection(DefaultSection(FKindCode, FOwnerObject));
  else UpdateIndexes();
  if (!IsSkinned() || FOwnerControl == nullptr || FOwnerControl->Parent() == nullptr || Loading(FOwnerControl)) return;
  if (AsWindowed(FOwnerControl) != nullptr) NotifyParentFormLoaded(FOwnerControl);
  if (IsEditLike(FOwnerControl) || FKindCode == 97) ApplySectionColors();
}

AnsiString TsCommonData::DefaultSection(int KindCode, const TPersistent* Owner) {
  for (const TKindSection& E : KindSections)
    for (int K : E.Kinds)
      if (K == KindCode) return E.Section;
  return Owner != nullptr ? UpperCase(Owner->ClassName()) : AnsiString("UNKNOWN");
}

bool TsCommonData::IsSkinned(bool CheckActive) const {
  TsSkinManager* M = GetSkinManager();
  if (M == nullptr || SectionIndex < 0) return false;
  if (Destroying(FOwnerComponent) || Destroying(M)) return false;
  if (CheckActive && !M->SkinData()->Active) return false;
  return M->IsValidSectionIndex(SectionIndex);
}

bool TsCommonData::HasTransparency() const {
  const TsGeneralData* S = Section();
  return S != nullptr && S->Transparency >= 1;
}

void TsCommonData::Invalidate() {
  if (FOwnerControl == nullptr || Destroying(FOwnerControl) || Loading(FOwnerControl)) return;
  BackgroundStale = true;
  if (ControlIsReady(FOwnerControl)) FOwnerControl->Invalidate();
}

void TsCommonData::BeginUpdate() {
  Updating = true;
  if (FOwnerControl != nullptr) {
    FOwnerControl->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_BEGINUPDATE), 0);
  } else if (TCustomForm* F = ProviderForm(FOwnerObject); F != nullptr && F->HandleAllocated()) {
    SendSkinCommand(F->Handle(), AC_BEGINUPDATE, 0);
  }
}

void TsCommonData::EndUpdate() {
  Updating = false;
  if (FOwnerControl != nullptr) {
    FOwnerControl->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_ENDUPDATE), 0);
  } else if (TCustomForm* F = ProviderForm(FOwnerObject); F != nullptr && F->HandleAllocated()) {
    SendSkinCommand(F->Handle(), AC_ENDUPDATE, 0);
  }
}

bool TsCommonData::GetUpdating() const {
  TsSkinManager* M = GetSkinManager();
  if (M == nullptr || Designing(M)) return false;
  if (!IsSkinPaintMode()) return Updating;
  if (FOwnerControl == nullptr || Destroying(FOwnerControl)) return Updating;
  if (Updating) return true;
  if (FOwnerControl->Parent() == nullptr) return true;
  return AskControl(FOwnerControl->Parent(), AC_ISBUSY) != 0;
}

bool TsCommonData::IsSkinPaintMode() const {
  if (acFormsUpdating) return true;
  if ((StateBits & ssPlainBackground) == 0) return true;
  return GetHotState();
}

bool TsCommonData::GetHotState() const {
  TControl* C = FOwnerControl;
  if (C == nullptr || Destroying(C) || !C->Enabled() || Designing(C)) return false;
  if (FocusedFlag) return true;
  if (auto* W = AsWindowed(C); W != nullptr && W->HandleAllocated() && W->Focused()) return true;
  if (MouseOver) return FKindCode > 255 || !KindHasNoHover(FKindCode);
  return false;
}

void TsCommonData::InitCacheBmp() {
  if (!FCacheBmp) {
    FCacheBmp = std::make_unique<TBitmap>();
    FCacheBmp->SetPixelFormat(pf24bit);
  }
  if (FCacheBmp->HandleType() == bmDDB) FCacheBmp->SetHandleType(bmDIB);
  if (FOwnerControl != nullptr &&
      (FCacheBmp->Width() != FOwnerControl->Width() || FCacheBmp->Height() != FOwnerControl->Height()))
    FCacheBmp->SetSize(FOwnerControl->Width(), FOwnerControl->Height());
}

void TsCommonData::PrepareCacheBmp() {
  if (FCacheBmp && FCacheBmp->PixelFormat() != pf24bit) FCacheBmp->SetPixelFormat(pf24bit);
  InitCacheBmp();
}

int TsCommonData::GetMaxBorderWidth() const {
  TsSkinManager* M = GetSkinManager();
  if (M == nullptr || !M->IsValidMaskIndex(BorderMaskIndex)) return 0;
  if ((M->Masks()[static_cast<std::size_t>(BorderMaskIndex)].DrawMode & 2) != 0) return 0;
  return std::max({M->GetMaskLeftMargin(BorderMaskIndex), M->GetMaskTopMargin(BorderMaskIndex),
                   M->GetMaskRightMargin(BorderMaskIndex), M->GetMaskBottomMargin(BorderMaskIndex)});
}

// True when forced, when not skinned, for an owner that is missing, being created or hidden; for a
// disabled owner or a transparent section the parent decides (its AC_ISPARENTDEPENDENT answer, when
// it has a window), otherwise False.
bool TsCommonData::ParentDependent() const {
  if (ForceParentDependent || !IsSkinned()) return true;
  TControl* C = FOwnerControl;
  if (C == nullptr || C->ControlState().Contains(csCreating) || !C->Visible()) return true;
  const TsGeneralData* S = Section();
  if (S == nullptr) return false;
  const bool D = !C->Enabled() || S->Transparency >= 1;
  if (D && C->Parent() != nullptr && C->Parent()->HandleAllocated())
    return AskControl(C->Parent(), AC_ISPARENTDEPENDENT) != 0;
  return D;
}


T_PUBLISH(TsCommonData) {
  P.Boolean("CustomColor", &TsCommonData::CustomColor, &TsCommonData::SetCustomColor);
  P.Boolean("CustomFont", &TsCommonData::CustomFont, &TsCommonData::SetCustomFont);
  P.Object("SkinManager", &TsCommonData::GetSkinManager, &TsCommonData::SetSkinManager);
  P.String("SkinSection", &TsCommonData::SkinSection, &TsCommonData::SetSkinSection);
}
