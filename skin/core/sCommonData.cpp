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
#include "skin/core/sConst.h"
#include "skin/core/sFormList.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

namespace {

// ---- small questions about components

bool HasState(const TPersistent* Obj, TComponentStateItem Item) {
  const auto* C = dynamic_cast<const TComponent*>(Obj);
  return C != nullptr && C->ComponentState().Contains(Item);
}
bool Destroying(const TPersistent* Obj) { return HasState(Obj, csDestroying); }
bool Designing(const TPersistent* Obj) { return HasState(Obj, csDesigning); }
bool Loading(const TPersistent* Obj) { return HasState(Obj, csLoading); }

bool IsEditLike(const TControl* Control) { return dynamic_cast<const TCustomEdit*>(Control) != nullptr; }

TWinControl* AsWindowed(TControl* Control) { return dynamic_cast<TWinControl*>(Control); }

// The form of a skin provider (the component that owns it); nullptr for anything else.
TCustomForm* ProviderForm(TPersistent* Obj) {
  auto* C = dynamic_cast<TComponent*>(Obj);
  if (C == nullptr || !C->InheritsFromName("TsSkinProvider")) return nullptr;
  return GetOwnerForm(C);
}

// A command with an argument in the low word of WParam, delivered to one control as the senders
// deliver: a direct dispatch to a control without a window, SendMessage to a windowed control
// with a handle that is not being destroyed, nothing otherwise.
LRESULT DeliverCommand(TControl* Control, Word Command, Word Arg, LPARAM LParam) {
  if (Control == nullptr) return 0;
  auto* W = AsWindowed(Control);
  if (W == nullptr) return Control->Perform(SM_ALPHACMD, MakeAlphaCmd(Command, Arg), LParam);
  if (Destroying(W) || !W->HandleAllocated()) return 0;
  return SendMessageW(W->Handle(), SM_ALPHACMD, MakeAlphaCmd(Command, Arg), LParam);
}

// ---- the manager's services

// The default manager's global colour, clBtnFace (as RGB) without a default manager.
TColor DefaultGlobalColor() {
  TsSkinManager* DM = TsSkinManager::DefaultManager();
  return DM != nullptr ? DM->GetGlobalColor() : static_cast<TColor>(ColorToRGB(clBtnFace));
}

// Hands a popup menu to the manager's menu painter (hooked when Active), when the painter offers
// it; the painter of a program without menu skinning leaves menus as the system draws them.
template <class TMenus>
void HookPopupMenuOf(TMenus* Menus, TPopupMenu* Menu, bool Active) {
  if constexpr (requires { Menus->HookPopupMenu(Menu, Active); }) {
    if (Menus != nullptr) Menus->HookPopupMenu(Menu, Active);
  } else {
    (void)Menus;
    (void)Menu;
    (void)Active;
  }
}

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

// Kinds that show their glow themselves (the speed button and button kinds).
bool KindGlowsItself(int Kind) { return Kind == 92 || Kind == 93 || Kind == 94; }

// The engine-wide scratch byte of AC_PARENTMOVED: the last parent-dependence answer.
Byte LastParentDependent = 0;

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

// The three channels of a colour mixed by the transparency percent: the parent's share grows
// with T (T x (P - S) + S x 100) div 100 per channel, limited to a byte.
TColor MixByTransparency(TColor P, TColor S, int T) {
  TColor Result = 0;
  for (int Shift = 0; Shift <= 16; Shift += 8) {
    const int Pc = (P >> Shift) & 0xFF;
    const int Sc = (S >> Shift) & 0xFF;
    Result |= ClampByte((T * (Pc - Sc) + Sc * 100) / 100) << Shift;
  }
  return Result;
}

}  // namespace

bool KindHasNoHover(int Kind) { return NoHoverKinds().Contains(Kind); }
bool KindHasNoGlow(int Kind) { return NoGlowKinds().Contains(Kind); }
bool KindRepaintsOnHover(int Kind) { return RepaintOnHoverKinds().Contains(Kind); }

// ================================================================================================
// TsCommonData

TsCommonData::TsCommonData(TPersistent* AOwner, int KindCode, bool CreateCacheBmp)
    : FOwnerControl(dynamic_cast<TControl*>(AOwner)), FOwnerObject(AOwner), FKindCode(KindCode) {
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
  if (S->GradientPercent != 0 && !S->GradientArray.empty()) {
    switch (S->GradientArray[0].Mode) {
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
  if (Destroying(FOwnerObject) || Destroying(M)) return false;
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

// ---- background and colour answers

TColor OwnerColor(const TsCommonData* SkinData) {
  if (SkinData == nullptr) return clBtnFace;
  if (SkinData->OwnerControl() != nullptr) return SkinData->OwnerControl()->Color();
  if (TCustomForm* F = ProviderForm(SkinData->OwnerObject())) return F->Color();
  return clBtnFace;
}

TColor TsCommonData::GetBackgroundColor(bool Hot, HWND Window) {
  if (!IsSkinned()) return static_cast<TColor>(ColorToRGB(OwnerColor(this)));
  const TsGeneralData& S = *Section();
  const int T = Hot ? S.HotTransparency : S.Transparency;
  const TColor C = Hot ? S.HotColor : S.Color;
  if (T < 1) return FCustomColor ? static_cast<TColor>(ColorToRGB(OwnerColor(this))) : C;
  if (T == 100) {
    if (FOwnerControl != nullptr) return GetControlColor(FOwnerControl->Parent());
    if (Window != nullptr) return GetWindowColor(GetParent(Window));
    return static_cast<TColor>(ColorToRGB(clBtnFace));
  }
  if (FOwnerControl == nullptr) return clKeyColor;
  return MixColorsLinear(GetControlColor(FOwnerControl->Parent()), C, T / 100.0);
}

void TsCommonData::GetBackgroundInfo(TacBGInfo& Info, bool Hot, HWND Window) {
  if (!IsSkinned() || FCustomColor) {
    Info.BgType = btFill;
    Info.Color = OwnerColor(this);
    return;
  }
  TsSkinManager* M = GetSkinManager();
  const TsGeneralData& S = *Section();
  const int T = Hot ? S.HotTransparency : S.Transparency;
  const int G = Hot ? S.HotGradientPercent : S.GradientPercent;
  const int I = Hot ? S.HotImagePercent : S.ImagePercent;
  const bool HaveCache = FCacheBmp != nullptr && !FCacheBmp->Empty();

  auto OwnImage = [&] {
    Info.BgType = btCache;
    if (!Info.PleaseDraw) {
      Info.Bmp = FCacheBmp.get();
      Info.Offset = TPoint{0, 0};
    } else if (Info.DrawDC != nullptr) {
      BitBlt(Info.DrawDC, Info.R.Left, Info.R.Top, Info.R.Width(), Info.R.Height(), FCacheBmp->Canvas()->Handle(),
             Info.Offset.X, Info.Offset.Y, SRCCOPY);
    }
  };

  if (T == 0 && G < 1 && I < 1) {
    Info.BgType = btFill;
    Info.Bmp = FCacheBmp.get();
    Info.Color = GetBackgroundColor(Hot, Window);
    if (Info.PleaseDraw && Info.DrawDC != nullptr) FillRectSolid(Info.DrawDC, Info.R, Info.Color);
    return;
  }
  if (T < 100) {
    if (HaveCache) {
      OwnImage();
    } else {
      Info.BgType = btFill;
      Info.Color = clKeyColor;
    }
    return;
  }
  // Fully transparent: a wide border of its own makes the picture the answer, otherwise the
  // question goes on to what lies under the owner.
  bool WideBorder = false;
  if (M->IsValidMaskIndex(BorderMaskIndex)) {
    WideBorder = M->GetMaskLeftMargin(BorderMaskIndex) + M->GetMaskRightMargin(BorderMaskIndex) >= 25 ||
                 M->GetMaskTopMargin(BorderMaskIndex) + M->GetMaskBottomMargin(BorderMaskIndex) >= 25;
  }
  if (WideBorder) {
    if (HaveCache) {
      OwnImage();
    } else {
      Info.BgType = btFill;
      if (FOwnerControl != nullptr && FOwnerControl->Parent() != nullptr) Info.Color = GetControlColor(FOwnerControl->Parent());
      else Info.Color = DefaultGlobalColor();
    }
    return;
  }
  if (FOwnerControl != nullptr && FOwnerControl->Parent() != nullptr) {
    const TPoint Pos{FOwnerControl->Left(), FOwnerControl->Top()};
    if (Info.PleaseDraw) {
      // The parent copies its picture from Offset: the asker's place in the parent is its place in
      // the owner moved by the owner's position. The asker's record is given back as it came.
      const TPoint Saved = Info.Offset;
      Info.Offset = TPoint{Saved.X + Pos.X, Saved.Y + Pos.Y};
      QueryParentBackground(Info, FOwnerControl->Parent(), true);
      Info.Offset = Saved;
    } else {
      QueryParentBackground(Info, FOwnerControl->Parent(), false);
      if (Info.BgType == btCache) Info.Offset = TPoint{Info.Offset.X + Pos.X, Info.Offset.Y + Pos.Y};
    }
  } else if (Window != nullptr) {
    const HWND Parent = GetParent(Window);
    QueryWindowBackground(Info, Parent, false);
    if (Info.BgType == btCache) {
      RECT WR{};
      GetWindowRect(Window, &WR);
      POINT P{WR.left, WR.top};
      if (Parent != nullptr) ScreenToClient(Parent, &P);
      Info.Offset = TPoint{Info.Offset.X + P.x, Info.Offset.Y + P.y};
    }
  } else {
    Info.BgType = btFill;
    Info.Color = DefaultGlobalColor();
  }
}

void TsCommonData::GetParentCacheInfo(TCacheInfo& CacheInfo) {
  if (IsSkinned() && FOwnerControl != nullptr && FOwnerControl->Parent() != nullptr) {
    TacBGInfo Info;
    QueryParentBackground(Info, FOwnerControl->Parent(), false);
    BGInfoToCacheInfo(Info, CacheInfo);
    return;
  }
  CacheInfo.Bmp = nullptr;
  CacheInfo.X = 0;
  CacheInfo.Y = 0;
  CacheInfo.FillColor = GetBackgroundColor(false);
  CacheInfo.Ready = false;
}

void GetParentCacheOfWindow(HWND Window, TCacheInfo& CacheInfo) {
  CacheInfo.Ready = false;
  const HWND Parent = Window != nullptr ? GetParent(Window) : nullptr;
  if (Parent == nullptr) {
    CacheInfo = DefaultCacheInfo();
    return;
  }
  TacBGInfo Info;
  QueryWindowBackground(Info, Parent, false);
  BGInfoToCacheInfo(Info, CacheInfo);
}

int ParentFontSectionIndex(TControl* Control, int Default, TsSkinManager* Manager) {
  if (Control == nullptr || Manager == nullptr) return Default;
  for (TWinControl* P = Control->Parent(); P != nullptr; P = P->Parent()) {
    const int Index = static_cast<int>(AskControl(P, AC_GETSECTION)) - 1;
    if (Index < 0 || !Manager->IsValidSectionIndex(Index)) return Default;
    const TsGeneralData& S = Manager->GeneralData()[static_cast<std::size_t>(Index)];
    if (S.Transparency > 50) continue;
    return S.GiveOwnFont ? Index : Default;
  }
  return Default;
}

// ---- cache copies

void CopyCacheExceptControls(TWinControl* Control, TsCommonData* SkinData, TPoint Src, int DY, int DX,
                             bool FillCorners, HDC DC, const TRect& R) {
  if (SkinData == nullptr || SkinData->CacheBmp() == nullptr || DC == nullptr) return;
  if (FillCorners) FillCornersFromParent(SkinData, SkinData->GetHotState() ? 1 : 0);
  const int Saved = SaveDC(DC);
  IntersectClipRect(DC, R.Left, R.Top, R.Right, R.Bottom);
  if (Control != nullptr) {
    for (int I = 0; I < Control->ControlCount(); ++I) {
      TControl* C = Control->Controls(I);
      if (!C->Visible() || C->InheritsFromName("TsSplitter")) continue;
      TRect CR = C->BoundsRect();
      CR = TRect{CR.Left + DX, CR.Top + DY, CR.Right + DX, CR.Bottom + DY};
      if (!RectsIntersect(R, CR)) continue;
      if (AsWindowed(C) == nullptr || Designing(C) || C->ControlStyle().Contains(csOpaque))
        ExcludeClipRect(DC, CR.Left, CR.Top, CR.Right, CR.Bottom);
    }
  }
  BitBlt(DC, R.Left, R.Top, R.Width(), R.Height(), SkinData->CacheBmp()->Canvas()->Handle(), Src.X, Src.Y, SRCCOPY);
  RestoreDC(DC, Saved);
}

namespace {

bool IsGroupBoxWindow(HWND Wnd) {
  const LONG Style = GetWindowLongW(Wnd, GWL_STYLE);
  if ((Style & 0xF) != BS_GROUPBOX) return false;
  if ((GetWindowLongW(Wnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0) return false;
  wchar_t Name[64] = {};
  GetClassNameW(Wnd, Name, 64);
  std::wstring N(Name);
  std::transform(N.begin(), N.end(), N.begin(), [](wchar_t Ch) { return static_cast<wchar_t>(std::towlower(Ch)); });
  return N.find(L"button") != std::wstring::npos || N.find(L"groupbox") != std::wstring::npos;
}

}  // namespace

void CopyCacheExceptWindows(HWND Window, TsCommonData* SkinData, TPoint Src, int DY, int DX, bool FillCorners,
                            HDC DC, const TRect& R) {
  if (SkinData == nullptr || SkinData->CacheBmp() == nullptr || DC == nullptr) return;
  if (FillCorners) FillCornersFromParent(SkinData, SkinData->GetHotState() ? 1 : 0);
  const int Saved = SaveDC(DC);
  IntersectClipRect(DC, R.Left, R.Top, R.Right, R.Bottom);
  if (Window != nullptr) {
    RECT Own{};
    GetWindowRect(Window, &Own);
    TsSkinManager* DM = TsSkinManager::DefaultManager();
    for (HWND C = GetTopWindow(Window); C != nullptr; C = GetWindow(C, GW_HWNDNEXT)) {
      if (!IsWindowVisible(C)) continue;
      RECT WR{};
      GetWindowRect(C, &WR);
      const TRect CR{WR.left - Own.left + DX, WR.top - Own.top + DY, WR.right - Own.left + DX, WR.bottom - Own.top + DY};
      if (IsGroupBoxWindow(C)) {
        if (DM == nullptr) continue;
        const int Top = static_cast<int>(SendSkinCommand(C, AC_GETCAPTIONHEIGHT, 0));
        const int Mask = DM->GetMaskIndex(DM->GetSectionIndex("GROUPBOX"), "GROUPBOX", "BORDERSMASK");
        int L = 0, Rt = 0, B = 0;
        if (DM->IsValidMaskIndex(Mask)) {
          L = DM->GetMaskLeftMargin(Mask);
          Rt = DM->GetMaskRightMargin(Mask);
          B = DM->GetMaskBottomMargin(Mask);
        }
        ExcludeClipRect(DC, CR.Left, CR.Top, CR.Right, CR.Top + Top);
        ExcludeClipRect(DC, CR.Left, CR.Top, CR.Left + L, CR.Bottom);
        ExcludeClipRect(DC, CR.Right - Rt, CR.Top, CR.Right, CR.Bottom);
        ExcludeClipRect(DC, CR.Left, CR.Bottom - B, CR.Right, CR.Bottom);
      } else {
        ExcludeClipRect(DC, CR.Left, CR.Top, CR.Right, CR.Bottom);
      }
    }
  }
  BitBlt(DC, R.Left, R.Top, R.Width(), R.Height(), SkinData->CacheBmp()->Canvas()->Handle(), Src.X, Src.Y, SRCCOPY);
  RestoreDC(DC, Saved);
}

// ---- glow

namespace {

// The window a glow of a control is kept above: the control's form window (the form's parent
// window for a parented form, the main form's window for an MDI child when there is one).
HWND GlowParentWindow(TControl* Control) {
  TCustomForm* F = GetParentForm(Control);
  if (F == nullptr) return nullptr;
  if (F->FormStyle() == fsMDIChild && Application != nullptr && Application->MainForm() != nullptr &&
      Application->MainForm()->HandleAllocated())
    return Application->MainForm()->Handle();
  if (F->Parent() != nullptr && F->Parent()->HandleAllocated()) return F->Parent()->Handle();
  if (F->ParentWindow() != nullptr) return F->ParentWindow();
  return F->HandleAllocated() ? F->Handle() : nullptr;
}

void HideOwnGlow(TsCommonData* SkinData) {
  if (SkinData->GlowId >= 0) HideGlow(SkinData->GlowId);
  SkinData->GlowId = -1;
}

}  // namespace

void UpdateGlow(TsCommonData* SkinData, bool HideIfShown, HWND Window) {
  if (SkinData == nullptr) return;
  TsSkinManager* M = SkinData->GetSkinManager();
  const TsGeneralData* S = SkinData->Section();
  if (M == nullptr || !M->AllowGlowing() || S == nullptr || S->GlowCount < 1) return;
  TControl* C = SkinData->OwnerControl();
  if (C != nullptr) {
    const bool Show = SkinData->MouseOver && !C->ControlState().Contains(csLButtonDown) &&
                      (!HideIfShown || SkinData->GlowId < 0);
    if (!Show) {
      HideOwnGlow(SkinData);
      return;
    }
    // The visible part of the owner in its own coordinates, and its rectangle on the screen.
    TRect R, Clip;
    if (auto* W = AsWindowed(C)) {
      if (!W->HandleAllocated()) return;
      RECT WR{};
      GetWindowRect(W->Handle(), &WR);
      R = TRect{WR.left, WR.top, WR.right, WR.bottom};
      HDC DC = GetWindowDC(W->Handle());
      RECT CB{};
      GetClipBox(DC, &CB);
      ReleaseDC(W->Handle(), DC);
      Clip = TRect{CB.left, CB.top, CB.right, CB.bottom};
    } else {
      TWinControl* P = C->Parent();
      if (P == nullptr || !P->HandleAllocated()) return;
      const TPoint O = P->ClientToScreen(TPoint{C->Left(), C->Top()});
      R = TRect{O.X, O.Y, O.X + C->Width(), O.Y + C->Height()};
      HDC DC = GetDC(P->Handle());
      RECT CB{};
      GetClipBox(DC, &CB);
      ReleaseDC(P->Handle(), DC);
      Clip = TRect{std::max<int>(CB.left - C->Left(), 0), std::max<int>(CB.top - C->Top(), 0),
                   std::min<int>(CB.right - C->Left(), C->Width()), std::min<int>(CB.bottom - C->Top(), C->Height())};
    }
    // A glow shown before is replaced, never left on the screen without an owner.
    HideOwnGlow(SkinData);
    if (Clip.Width() <= 0 || Clip.Height() <= 0) return;
    SkinData->GlowId = ShowGlow(R, Clip, SkinData->SkinSection(), "GLOW", S->GlowMargin, 255, GlowParentWindow(C), M);
    return;
  }
  if (Window != nullptr) {
    if (HideIfShown && SkinData->GlowId >= 0) {
      HideOwnGlow(SkinData);
      return;
    }
    RECT WR{};
    GetWindowRect(Window, &WR);
    HDC DC = GetWindowDC(Window);
    RECT CB{};
    GetClipBox(DC, &CB);
    ReleaseDC(Window, DC);
    HideOwnGlow(SkinData);
    const TRect Clip{CB.left, CB.top, CB.right, CB.bottom};
    if (Clip.Width() <= 0 || Clip.Height() <= 0) return;
    SkinData->GlowId = ShowGlow(TRect{WR.left, WR.top, WR.right, WR.bottom}, Clip, SkinData->SkinSection(), "GLOW",
                                S->GlowMargin, 255, GetAncestor(Window, GA_ROOT), M);
  }
}

// ================================================================================================
// Shared handlers

bool HandleSkinCommand(TMessage& Message, TsCommonData* SkinData) {
  if (SkinData == nullptr || Message.Msg != SM_ALPHACMD) return false;
  const Word Code = AlphaCmdCode(Message.WParam);
  const Word Arg = AlphaCmdArg(Message.WParam);
  if (Code > AC_LASTHANDLED) return false;
  TsSkinManager* M = SkinData->GetSkinManager();
  const bool FromOwnManager = M != nullptr && reinterpret_cast<TsSkinManager*>(Message.LParam) == M;
  TControl* Owner = SkinData->OwnerControl();

  switch (Code) {
    case AC_NEWSKIN:
      if (FromOwnManager) {
        SkinData->UpdateIndexes();
        SkinData->UpdatePlainState(false);
      }
      return false;

    case AC_SKINREMOVED:
      if (FromOwnManager) {
        if (Destroying(M) && SkinData->ManagerField() == M) SkinData->ClearManagerField();
        SkinData->BorderMaskIndex = -1;
        SkinData->SectionIndex = -1;
        SkinData->PatternIndex = -1;
        SkinData->HotPatternIndex = -1;
        SkinData->Updating = true;
        if (SkinData->CacheBmp() != nullptr) SkinData->CacheBmp()->SetSize(0, 0);
        if (IsEditLike(Owner)) {
          if (!SkinData->CustomColor()) Owner->SetColor(clWindow);
          if (!SkinData->CustomFont()) Owner->Font()->SetColor(clWindowText);
          auto* W = AsWindowed(Owner);
          if (W->HandleAllocated()) RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
        } else if (auto* W = AsWindowed(Owner)) {
          for (int I = 0; I < W->ControlCount(); ++I)
            if (auto* L = dynamic_cast<TLabel*>(W->Controls(I))) L->Font()->SetColor(clWindowText);
        }
      }
      return false;

    case AC_REFRESHSKIN:
      if (FromOwnManager) {
        SkinData->BackgroundStale = true;
        SkinData->Updating = false;
        if (SkinData->IsSkinned() && IsEditLike(Owner)) {
          const TsGeneralData* S = SkinData->Section();
          if (!SkinData->CustomColor()) Owner->SetColor(S->Color);
          if (!SkinData->CustomFont()) Owner->Font()->SetColor(S->FontColor[0]);
          auto* W = AsWindowed(Owner);
          if (W->HandleAllocated()) RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
        }
        SkinData->UpdatePlainState(false);
      }
      return false;

    case AC_ISSKINNED:
      Message.Result = 1;
      return true;

    case AC_SETUPDATING:
      SkinData->Updating = Arg == 1;
      return false;

    case AC_SETPARENTDEPENDENT:
      SkinData->ForceParentDependent = Arg == 1;
      return false;

    case AC_ISBUSY:
      Message.Result = SkinData->BackgroundStale || SkinData->Updating ? 1 : 0;
      return true;

    case AC_WASOUTOFVIEW:
      Message.Result = SkinData->OutOfView ? 1 : 0;
      return true;

    case AC_BGMAYHAVECHANGED:
      if (SkinData->HasTransparency() && Arg == 1) SkinData->BackgroundStale = true;
      return false;

    case AC_INVALIDATESECTION:
      if (UpperCase(SkinData->SkinSection()) == CurrentSkinSection) SkinData->Invalidate();
      return false;

    case AC_BGCHANGED:
      SkinData->BackgroundStale = true;
      return false;

    case AC_ISPARENTDEPENDENT: {
      const TsGeneralData* S = SkinData->Section();
      if (S == nullptr) return false;
      LRESULT Answer;
      if (S->Transparency == 100 && Owner != nullptr && Owner->Parent() != nullptr) {
        Answer = Owner->Parent()->HandleAllocated() ? (AskControl(Owner->Parent(), AC_ISPARENTDEPENDENT) != 0 ? 1 : 0) : 0;
      } else if (S->GradientPercent + S->ImagePercent >= 1) {
        Answer = 1;
      } else {
        Answer = SkinData->ParentDependent() ? 1 : 0;
      }
      Message.LParam = Answer;
      Message.Result = Answer;
      return true;
    }

    case AC_PARENTMOVED: {
      const bool D = SkinData->ParentDependent();
      LastParentDependent = D ? 1 : 0;
      SkinData->BackgroundStale = SkinData->BackgroundStale || D;
      if (auto* W = AsWindowed(Owner)) {
        if (Arg == 1 && W->HandleAllocated())
          RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_NOINTERNALPAINT | RDW_NOERASE | RDW_ALLCHILDREN);
        if (D) {
          for (int I = 0; I < W->ControlCount(); ++I) {
            TControl* C = W->Controls(I);
            if (!Destroying(C)) DeliverCommand(C, AC_PARENTMOVED, 0, 0);
          }
        }
      }
      return false;
    }

    case AC_GETCOLOR: {
      if (Owner == nullptr) return false;
      if (!SkinData->IsSkinned()) {
        Message.Result = static_cast<LRESULT>(ColorToRGB(Owner->Color()));
        return true;
      }
      const TsGeneralData* S = SkinData->Section();
      const int T = S->Transparency;
      TWinControl* P = Owner->Parent();
      // The parent's colour: its answer, where 0 from a parent that is not skinned means no answer.
      auto ParentAnswer = [&]() -> TColor {
        const auto A = static_cast<TColor>(SendSkinCommandToControl(P, AC_GETCOLOR, 0));
        if (A == 0 && !IsSkinnedAnswer(AskControl(P, AC_ISSKINNED))) return static_cast<TColor>(ColorToRGB(P->Color()));
        return A;
      };
      if (T == 0) {
        Message.Result = S->Color;
      } else if (T == 100) {
        if (P == nullptr) {
          Message.Result = static_cast<LRESULT>(ColorToRGB(Owner->Color()));
        } else {
          const TColor A = ParentAnswer();
          Message.Result = A == clKeyColor ? P->Color() : A;
        }
      } else {
        const TColor Pc = P != nullptr ? ParentAnswer() : static_cast<TColor>(ColorToRGB(Owner->Color()));
        Message.Result = MixByTransparency(Pc, S->Color, T);
      }
      return true;
    }

    case AC_NOTPAINTED:
      SkinData->OutOfView = true;
      return false;

    case AC_GETSECTION:
      Message.Result = SkinData->SectionIndex + 1;
      return true;

    case AC_GETBACKGROUND:
      if (Message.LParam != 0) SkinData->GetBackgroundInfo(*reinterpret_cast<TacBGInfo*>(Message.LParam), false, nullptr);
      return false;

    case AC_PLAINSTATE:
      if (Message.LParam == 1) SkinData->UpdatePlainState(true);
      else Message.Result = SkinData->StateBits;
      return true;

    case AC_GETAPPLICATION:
      Message.Result = reinterpret_cast<LRESULT>(Application);
      return false;

    default:
      return false;
  }
}

namespace {

// Visual styles are in use for the application (the library answers so); false without it.
bool AppThemed() {
  static const auto Proc = [] {
    HMODULE Lib = GetModuleHandleW(L"uxtheme.dll");
    if (Lib == nullptr) Lib = LoadLibraryW(L"uxtheme.dll");
    return Lib != nullptr ? reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(Lib, "IsAppThemed")))
                          : nullptr;
  }();
  return Proc != nullptr && Proc() != FALSE;
}

}  // namespace

bool HandleCommonMessage(TMessage& Message, TsCommonData* SkinData) {
  if (SkinData == nullptr) return false;
  TControl* Owner = SkinData->OwnerControl();
  TWinControl* W = AsWindowed(Owner);
  const int Kind = SkinData->KindCode();

  switch (Message.Msg) {
    case SM_ALPHACMD:
      return HandleSkinCommand(Message, SkinData);

    case WM_UPDATEUISTATE:
      if (SkinData->IsSkinned()) return true;
      if (W != nullptr && W->HandleAllocated() && acSetWindowTheme != nullptr && AppThemed())
        acSetWindowTheme(W->Handle(), nullptr, nullptr);
      return false;

    case WM_MOVE:
      if (SkinData->ParentDependent()) {
        SkinData->BackgroundStale = true;
        if (Owner != nullptr) Owner->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_PARENTMOVED, 1), 0);
      }
      HideOwnGlow(SkinData);
      return false;

    case WM_SIZE:
      if (SkinData->IsSkinned()) {
        SkinData->BackgroundStale = true;
        if (W != nullptr && SkinData->Section()->GradientPercent > 0) {
          for (int I = 0; I < W->ControlCount(); ++I) {
            TControl* C = W->Controls(I);
            if (Destroying(C) || C->Anchors().Contains(akRight) || C->Anchors().Contains(akBottom)) continue;
            DeliverCommand(C, AC_PARENTMOVED, 1, 0);
          }
        }
      }
      HideOwnGlow(SkinData);
      return false;

    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      const bool Set = Message.Msg == WM_SETFOCUS;
      if (W != nullptr && W->CanFocus() && W->TabStop()) {
        SkinData->BackgroundStale = true;
        SkinData->FocusedFlag = Set;
        if (KindRepaintsOnHover(Kind) && (Set || W->Visible()) && W->HandleAllocated())
          RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
      }
      return false;
    }

    case WM_CONTEXTMENU:
      if (Owner != nullptr && Owner->PopupMenu() != nullptr) {
        if (TsSkinManager* M = SkinData->GetSkinManager())
          HookPopupMenuOf(M->Menus(), Owner->PopupMenu(), M->Active());
      }
      return false;

    case WM_PARENTNOTIFY:
      if (W != nullptr && LOWORD(Message.WParam) == WM_CREATE) NotifyParentFormLoaded(W);
      return false;

    case CM_VISIBLECHANGED:
      if (SkinData->CacheBmp() != nullptr) {
        if (Message.WParam != 0) {
          SkinData->Updating = false;
          SkinData->BackgroundStale = true;
        } else {
          SkinData->CacheBmp()->SetSize(0, 0);
        }
      }
      return false;

    case CM_MOUSEENTER: {
      if (Owner == nullptr || Designing(Owner)) return false;
      if (!KindHasNoHover(Kind)) SkinData->MouseOver = true;
      TsSkinManager* DM = TsSkinManager::DefaultManager();
      if (W == nullptr || DM == nullptr) return false;
      DM->SetHoverWindow(W->HandleAllocated() ? W->Handle() : nullptr);
      if (!KindHasNoGlow(Kind) && !KindGlowsItself(Kind)) UpdateGlow(SkinData, false);
      if (KindRepaintsOnHover(Kind)) {
        SkinData->BackgroundStale = true;
        if (W->HandleAllocated()) RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_FRAME);
      }
      return false;
    }

    case CM_MOUSELEAVE:
      if (Owner == nullptr || Designing(Owner)) return false;
      if (!KindHasNoHover(Kind)) SkinData->MouseOver = false;
      if (!KindHasNoGlow(Kind) && !KindGlowsItself(Kind)) {
        // Every glow goes; the own id must not point at a slot a later glow may take.
        ClearGlows();
        SkinData->GlowId = -1;
      }
      if (Owner->Visible() && KindRepaintsOnHover(Kind)) {
        SkinData->BackgroundStale = true;
        if (W != nullptr && W->HandleAllocated())
          RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_FRAME);
      }
      return false;

    case CM_ENABLEDCHANGED:
    case WM_FONTCHANGE:
      SkinData->MouseOver = false;
      SkinData->FocusedFlag = false;
      if (Owner != nullptr && !Owner->Enabled()) HideOwnGlow(SkinData);
      return false;

    default:
      return false;
  }
}

T_PUBLISH(TsCommonData) {
  P.Boolean("CustomColor", &TsCommonData::CustomColor, &TsCommonData::SetCustomColor);
  P.Boolean("CustomFont", &TsCommonData::CustomFont, &TsCommonData::SetCustomFont);
  P.Object("SkinManager", &TsCommonData::GetSkinManager, &TsCommonData::SetSkinManager);
  P.String("SkinSection", &TsCommonData::SkinSection, &TsCommonData::SetSkinSection);
}
