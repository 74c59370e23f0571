// TsSkinProvider: frame and caption metrics, the window region, desktop composition and the
// title-bar queries shared by the painters and the window procedure.
#include <algorithm>

#include "skin/core/sBackground.h"
#include "skin/core/sConst.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/acBorderForm.h"
#include "skin/forms/sSkinProvider.h"

namespace {

TsSkinManager* BorderManager(TacBorderForm* BorderForm) {
  return BorderForm != nullptr && BorderForm->SkinData != nullptr ? BorderForm->SkinData->GetSkinManager() : nullptr;
}

HWND FormHandle(const TCustomForm* Form) {
  return Form != nullptr && Form->HandleAllocated() ? const_cast<TCustomForm*>(Form)->Handle() : nullptr;
}

LONG StyleOf(HWND H) { return H != nullptr ? GetWindowLongW(H, GWL_STYLE) : 0; }

}  // namespace

// ---- free metrics ------------------------------------------------------------------------------

int SkinFrameWidth(TacBorderForm* BorderForm) {
  TsSkinManager* M = BorderManager(BorderForm);
  return M != nullptr ? M->SkinData()->BorderWidth : 0;
}

int SkinTitleHeight(TacBorderForm* BorderForm) {
  TsSkinManager* M = BorderManager(BorderForm);
  return M != nullptr ? M->SkinData()->TitleHeight : 0;
}

int FormBorderWidth(HWND Handle, TacBorderForm* BorderForm, bool UseSkin) {
  if (UseSkin) {
    const int W = SkinFrameWidth(BorderForm);
    if (W != 0) return W;
  }
  const LONG Style = StyleOf(Handle);
  if ((Style & WS_THICKFRAME) != 0) return GetSystemMetrics(SM_CXSIZEFRAME);
  if ((Style & WS_BORDER) != 0) return GetSystemMetrics(SM_CXFIXEDFRAME);
  return 0;
}

int WindowFrameWidth(HWND Handle, TacBorderForm* BorderForm, bool UseSkin) {
  return BorderForm != nullptr ? 0 : FormBorderWidth(Handle, nullptr, UseSkin);
}

int DiffTitle(TacBorderForm* BorderForm) {
  if (BorderForm == nullptr || !BorderForm->Owner.CaptionHeight) return 0;
  return BorderForm->Owner.CaptionHeight(true) - BorderForm->Owner.CaptionHeight(false) -
         FormBorderWidth(BorderForm->OwnerHandle(), BorderForm, false);
}

int DiffBorder(TacBorderForm* BorderForm) {
  if (BorderForm == nullptr) return 0;
  HWND H = BorderForm->OwnerHandle();
  return FormBorderWidth(H, BorderForm, true) - FormBorderWidth(H, BorderForm, false);
}

int WindowWidth(HWND Handle) {
  RECT R{};
  GetWindowRect(Handle, &R);
  return R.right - R.left;
}

int WindowHeight(HWND Handle) {
  RECT R{};
  GetWindowRect(Handle, &R);
  return R.bottom - R.top;
}

int ClientWidth(HWND Handle) {
  RECT R{};
  GetClientRect(Handle, &R);
  return R.right - R.left;
}

int ClientHeight(HWND Handle) {
  RECT R{};
  GetClientRect(Handle, &R);
  return R.bottom - R.top;
}

int TitleIconSize(int CaptionHeight) {
  if (CaptionHeight >= -100 && CaptionHeight <= 8) return 1;
  if (CaptionHeight >= 9 && CaptionHeight <= 16) return 8;
  return 16;
}

bool IsStaticBorderMask(int MaskIndex, TsSkinManager* Manager) {
  if (MaskIndex < 0) return true;
  const TsMaskData* Mask = TsSkinManager::ValidMask(Manager, MaskIndex);
  return Mask == nullptr || Mask->ImageCount == 1;
}

// ---- desktop composition -----------------------------------------------------------------------

namespace {

HMODULE DwmLibrary = nullptr;
bool DwmLoadTried = false;
using TDwmSetWindowAttribute = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
using TDwmIsCompositionEnabled = HRESULT(WINAPI*)(BOOL*);
TDwmSetWindowAttribute DwmSetAttr = nullptr;
TDwmIsCompositionEnabled DwmIsEnabled = nullptr;
bool DwmSetAttrLooked = false;
bool DwmIsEnabledLooked = false;

struct TDwmUnload {
  ~TDwmUnload() {
    if (DwmLibrary != nullptr) FreeLibrary(DwmLibrary);
    DwmLibrary = nullptr;
  }
} DwmUnload;

bool WindowsAtLeast6() {
  OSVERSIONINFOW V{};
  V.dwOSVersionInfoSize = sizeof(V);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&V)) return false;
#pragma GCC diagnostic pop
  return V.dwMajorVersion >= 6;
}

}  // namespace

void LoadDwmLibrary() {
  if (DwmLibrary != nullptr || DwmLoadTried) return;
  DwmLoadTried = true;
  DwmLibrary = LoadLibraryA("DWMAPI.DLL");
}

HRESULT DwmSetWindowAttributeSafe(HWND Handle, DWORD Attribute, const void* Data, DWORD Size) {
  LoadDwmLibrary();
  if (DwmLibrary == nullptr) return static_cast<HRESULT>(0x80004001);
  if (!DwmSetAttrLooked) {
    DwmSetAttrLooked = true;
    DwmSetAttr = reinterpret_cast<TDwmSetWindowAttribute>(
        reinterpret_cast<void*>(GetProcAddress(DwmLibrary, "DwmSetWindowAttribute")));
  }
  if (DwmSetAttr == nullptr) return static_cast<HRESULT>(0x80004001);
  return DwmSetAttr(Handle, Attribute, Data, Size);
}

bool IsDwmCompositionEnabled() {
  if (!WindowsAtLeast6()) return false;
  LoadDwmLibrary();
  if (DwmLibrary == nullptr) return false;
  if (!DwmIsEnabledLooked) {
    DwmIsEnabledLooked = true;
    DwmIsEnabled = reinterpret_cast<TDwmIsCompositionEnabled>(
        reinterpret_cast<void*>(GetProcAddress(DwmLibrary, "DwmIsCompositionEnabled")));
  }
  if (DwmIsEnabled == nullptr) return false;
  BOOL On = FALSE;
  return DwmIsEnabled(&On) == S_OK && On != FALSE;
}

void SetDwmTransitions(HWND Handle, bool Disable) {
  if (!IsDwmCompositionEnabled()) return;
  const DWORD Value = Disable ? 1 : 0;
  DwmSetWindowAttributeSafe(Handle, 3, &Value, sizeof(Value));
}

// ---- provider metrics --------------------------------------------------------------------------

bool TsSkinProvider::HasBorder() const {
  return Form != nullptr && (Form->BorderStyle() != bsNone || Form->FormStyle() == fsMDIChild);
}

int TsSkinProvider::CaptionHeight(bool UseSkin) const {
  HWND H = FormHandle(Form);
  if (Form == nullptr) return 0;
  const bool Iconic = H != nullptr && IsIconic(H);
  if ((!HasBorder() || (StyleOf(H) & WS_CAPTION) != WS_CAPTION) && !Iconic) return 0;
  int Result = UseSkin ? SkinTitleHeight(BorderForm) : 0;
  const TFormBorderStyle BS = Form->BorderStyle();
  const int C = KeptSystemMetric(BS == bsToolWindow || BS == bsSizeToolWin ? SM_CYSMCAPTION : SM_CYCAPTION);
  if (MaxCaptionFlag)
    Result = std::max(Result, C + 4);
  else if (Result == 0)
    Result = C;
  return Result;
}

// The framework's forms have no inner border width: Form.BorderWidth counts as 0.
int TsSkinProvider::LeftFrameWidth(bool UseSkin) const { return FormBorderWidth(FormHandle(Form), BorderForm, UseSkin); }

int TsSkinProvider::TitleBottomInImage() const {
  return ExtBorderMargins().Top + WindowFrameWidth(FormHandle(Form), BorderForm, false) + CaptionHeight(true);
}

int TsSkinProvider::BottomFrameWidth(bool UseSkin) const {
  return WindowFrameWidth(FormHandle(Form), BorderForm, UseSkin);
}

TRect TsSkinProvider::ExtBorderMargins() const {
  if (BorderForm == nullptr) return TRect{};
  TsSkinManager* M = SkinManager();
  return M != nullptr ? M->ShadowMargin() : TRect{};
}

int TsSkinProvider::OffsetX() const {
  if (BorderForm != nullptr) return LeftFrameWidth(true) + ExtBorderMargins().Left;
  HWND H = FormHandle(Form);
  if (H == nullptr) return 0;
  // The form's own skinned scroll bars are not adapted in this build: no bar width to subtract.
  return (WindowWidth(H) - ClientWidth(H)) / 2;
}

int TsSkinProvider::OffsetY() const {
  HWND H = FormHandle(Form);
  if (BorderForm != nullptr) {
    const int Rows = const_cast<TsSkinProvider*>(this)->MenuLineCount();
    return CaptionHeight(true) + (MenuHeight() > 0 ? Rows * MenuHeight() : 0) + ExtBorderMargins().Top;
  }
  if (H == nullptr) return 0;
  return WindowHeight(H) - ClientHeight(H) - ((StyleOf(H) & WS_BORDER) != 0 ? LeftFrameWidth(true) : 0);
}

int TsSkinProvider::TitleIconWidth() const {
  if (!SysIconVisible()) return 0;
  if (FTitleIcon->Width() != 0) return FTitleIcon->Width();
  return TitleIconSize(CaptionHeight(true));
}

int TsSkinProvider::TitleIconHeight() const {
  if (!SysIconVisible()) return 0;
  if (FTitleIcon->Height() != 0) return FTitleIcon->Height();
  return TitleIconSize(CaptionHeight(true));
}

bool TsSkinProvider::UsesBigButtons() const {
  return Form != nullptr && (Form->BorderStyle() == bsSingle || Form->BorderStyle() == bsSizeable);
}

bool TsSkinProvider::GripVisible() const {
  return FGripMode == gmRightBottom && Form != nullptr && Form->WindowState() != wsMaximized &&
         (StyleOf(FormHandle(Form)) & WS_THICKFRAME) != 0;
}

TColor TsSkinProvider::FormColor() const {
  TsSkinManager* M = SkinManager();
  if (M != nullptr && FSkinData->IsSkinned(false) && !FSkinData->CustomColor()) {
    const TsGeneralData& S = M->GeneralData()[static_cast<std::size_t>(FSkinData->SectionIndex)];
    return static_cast<TColor>(FormActive ? S.HotColor : S.Color);
  }
  return Form != nullptr ? ColorToRGB(Form->Color()) : ColorToRGB(clBtnFace);
}

// ---- region ------------------------------------------------------------------------------------

void TsSkinProvider::FillRgnRects() {
  RgnRects.clear();
  TsSkinManager* M = SkinManager();
  if (M == nullptr || Form == nullptr) return;
  const int Width = FullWidth();
  if (const TsMaskData* Mask = TsSkinManager::ValidMask(M, FSkinData->BorderMaskIndex)) {
    AddMaskCornerRects(RgnRects, Width, *Mask, 0, false);
    AddMaskCornerRects(RgnRects, Width, *Mask, Form->Height() - M->GetMaskBottomMargin(FSkinData->BorderMaskIndex),
                       true);
  }
  const int TS = TitleSkinIndex();
  if (M->IsValidSectionIndex(TS)) {
    const int TM = M->GetMaskIndex(TS, M->GeneralData()[static_cast<std::size_t>(TS)].SectionName, "BORDERSMASK");
    if (const TsMaskData* Mask = TsSkinManager::ValidMask(M, TM)) AddMaskCornerRects(RgnRects, Width, *Mask, 0, false);
  }
}

HRGN TsSkinProvider::CreateFormRgn(int DX, int DY) {
  const int H = Form != nullptr ? Form->Height() : 0;
  HRGN Rgn = CreateRectRgn(DX, DY, FullWidth() + DX, H + DY);
  for (const TRect& R : RgnRects) {
    HRGN Sub = CreateRectRgn(R.Left + DX, R.Top + DY, R.Right + DX, R.Bottom + DY);
    CombineRgn(Rgn, Rgn, Sub, RGN_DIFF);
    DeleteObject(Sub);
  }
  return Rgn;
}

void TsSkinProvider::UpdateFormRgn(bool Repaint) {
  // The same region again: the window is repainted as the region change would have done.
  if (ApplyFormRgn(Repaint) == TRgnApplied::Same && Repaint)
    RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

TsSkinProvider::TRgnApplied TsSkinProvider::ApplyFormRgn(bool Repaint) {
  if (!FDrawNonClientArea || RegionLock || Form == nullptr || !Form->HandleAllocated()) return TRgnApplied::None;
  HWND H = Form->Handle();
  if (!HasBorder() && !IsIconic(H)) return TRgnApplied::None;
  if (!FirstPaintDone && static_cast<WPARAM>(SendMessageA(H, WM_OWN_REGION_QUERY, OwnRegionQuestion, 0)) == OwnRegionQuestion)
    return TRgnApplied::None;
  // Forms of the framework cannot be docked: no form has a parent and dock drag kind.
  RgnUpdating = true;
  HRGN Rgn;
  if (BorderForm != nullptr && !IsIconic(H)) {
    const int F = FormBorderWidth(H, BorderForm, false);
    const int T = MaxCaptionFlag ? F + CaptionHeight(false) - 4 : CaptionHeight(false) + F;
    Rgn = CreateRectRgn(F, T, Form->Width() - F, Form->Height() - F);
  } else if (Form->WindowState() == wsMaximized && Form->FormStyle() != fsMDIChild) {
    // No size constraints exist in the framework: a maximised form always gets the plain region.
    const int F = FormBorderWidth(H, nullptr, false);
    Rgn = CreateRectRgn(F, F, Form->Width() - F, Form->Height() - F);
  } else {
    Rgn = CreateFormRgn(0, 0);
  }
  RgnChanged = true;
  RECT W{};
  GetWindowRect(H, &W);
  RgnWindowSize = TSize{W.right - W.left, W.bottom - W.top};
  RgnWindowState = IsIconic(H) ? 2 : (IsZoomed(H) ? 1 : 0);
  HRGN Current = CreateRectRgn(0, 0, 0, 0);
  const bool Same = GetWindowRgn(H, Current) != ERROR && EqualRgn(Current, Rgn);
  DeleteObject(Current);
  if (Same) {
    DeleteObject(Rgn);
  } else {
    SetWindowRgn(H, Rgn, Repaint ? TRUE : FALSE);
  }
  RgnUpdating = false;
  return Same ? TRgnApplied::Same : TRgnApplied::Changed;
}

bool TsSkinProvider::RegionOutdated() const {
  if (RgnWindowState < 0 || Form == nullptr || !Form->HandleAllocated()) return false;
  HWND H = Form->Handle();
  RECT W{};
  GetWindowRect(H, &W);
  const int State = IsIconic(H) ? 2 : (IsZoomed(H) ? 1 : 0);
  return State != RgnWindowState || W.right - W.left != RgnWindowSize.cx || W.bottom - W.top != RgnWindowSize.cy;
}

void TsSkinProvider::BeginFormUpdate(bool WithMDIMain) {
  FSkinData->BeginUpdate();
  if (Form != nullptr && Form->HandleAllocated()) SendMessageW(Form->Handle(), WM_SETREDRAW, 0, 0);
  if (WithMDIMain && Form != nullptr && Form->FormStyle() == fsMDIChild && SkinnedMDIMainProvider != nullptr &&
      SkinnedMDIMainProvider != this)
    SkinnedMDIMainProvider->BeginFormUpdate(false);
}

void TsSkinProvider::EndFormUpdate(bool WithMDIMain) {
  FSkinData->EndUpdate();
  if (Form != nullptr && Form->HandleAllocated()) SendMessageW(Form->Handle(), WM_SETREDRAW, 1, 0);
  if (WithMDIMain && Form != nullptr && Form->FormStyle() == fsMDIChild && SkinnedMDIMainProvider != nullptr &&
      SkinnedMDIMainProvider != this)
    SkinnedMDIMainProvider->EndFormUpdate(false);
}

void TsSkinProvider::UpdateScrollAdapter() {
  // The framework's forms do not scroll (no AutoScroll): a form window never needs its own
  // skinned scroll-bar adapter.
}

// ---- title-bar queries -------------------------------------------------------------------------

TSize CaptionButtonImageSize(const TsSkinManager* M, int Index) {
  const TsMaskData* Mask = TsSkinManager::ValidMask(M, Index);
  if (Mask == nullptr) return TSize{21, 21};
  if (Mask->Bmp) {
    const int Count = Mask->ImageCount > 0 ? Mask->ImageCount : 1;
    return TSize{Mask->Bmp->Width() / Count, Mask->Bmp->Height() / 2};
  }
  return TSize{MaskFrameWidth(*Mask), MaskFrameHeight(*Mask)};
}

int TsSkinProvider::CaptionButtonWidth(const TsCaptionButton* Button) const {
  return Button != nullptr ? CaptionButtonImageSize(SkinManager(), Button->ImageIndex).cx : 21;
}

int TsSkinProvider::CaptionButtonHeight() const { return CaptionButtonImageSize(SkinManager(), ButtonClose.ImageIndex).cy; }

int TsSkinProvider::MDIButtonWidth() const {
  const TsMaskData* Mask = TsSkinManager::ValidMask(SkinManager(), MDIButtonClose.ImageIndex);
  if (Mask == nullptr) return 16;
  if (Mask->Bmp) return Mask->Bmp->Width() / 3;
  return Mask->ImageCount > 0 ? (Mask->R.Right - Mask->R.Left) / Mask->ImageCount : 16;
}

int TsSkinProvider::MDIButtonHeight() const {
  const TsMaskData* Mask = TsSkinManager::ValidMask(SkinManager(), MDIButtonClose.ImageIndex);
  if (Mask == nullptr) return 16;
  if (Mask->Bmp) return Mask->Bmp->Height() / 2;
  return (Mask->R.Bottom - Mask->R.Top) / (Mask->MaskType + 1);
}

int TsSkinProvider::TitleButtonWidth(const TsTitleButton* Item) const {
  const int GlyphW = Item != nullptr && Item->Glyph() != nullptr && !Item->Glyph()->Empty() ? Item->Glyph()->Width() + 2 : 0;
  return std::max(GlyphW, CaptionButtonImageSize(SkinManager(), TitleButtonImageIndex).cx);
}

void TsSkinProvider::InitTitleButtons() {
  TsSkinManager* M = SkinManager();
  if (M == nullptr) return;
  const int GI = M->GetSectionIndex("GLOBALINFO");
  if (!M->IsValidSectionIndex(GI)) return;
  auto Img = [&](const char* Name) { return M->GetMaskIndex(GI, "GLOBALINFO", Name); };
  ButtonMin.HitCode = 8;
  ButtonMax.HitCode = 9;
  ButtonClose.HitCode = 20;
  const bool Big = UsesBigButtons();
  if (Big) {
    ButtonMin.ImageIndex = Img("BICONMIN");
    ButtonMax.ImageIndex = Img("BICONMAX");
    ButtonClose.ImageIndex = Img("BICONCLOSE");
    ButtonHelp.ImageIndex = Img("BICONHELP");
  } else {
    ButtonClose.ImageIndex = Img("SICONCLOSE");
    ButtonMin.ImageIndex = Img("SICONMIN");
    ButtonMax.ImageIndex = Img("SICONMAX");
    ButtonHelp.ImageIndex = Img("SICONHELP");
    if (ButtonHelp.ImageIndex < 0) ButtonHelp.ImageIndex = Img("BICONHELP");
  }
  for (TsCaptionButton* B : {&ButtonMin, &ButtonMax, &ButtonClose, &ButtonHelp}) B->HaveAlignment = Big;
  const bool MDIMain = Form != nullptr && Form->FormStyle() == fsMDIForm && !M->IsDesigning();
  if (M->IsValidMaskIndex(ButtonClose.ImageIndex)) {
    if (MDIMain) {
      MDIButtonMin.ImageIndex = Img("SICONMIN");
      MDIButtonNorm.ImageIndex = Img("SICONMAX");
      MDIButtonClose.ImageIndex = Img("SICONCLOSE");
      for (TsCaptionButton* B : {&MDIButtonMin, &MDIButtonNorm, &MDIButtonClose}) B->HaveAlignment = false;
      if (MDIButtonMin.ImageIndex < 0) {
        MDIButtonMin.ImageIndex = ButtonMin.ImageIndex;
        MDIButtonNorm.ImageIndex = ButtonMax.ImageIndex;
        MDIButtonClose.ImageIndex = ButtonClose.ImageIndex;
        for (TsCaptionButton* B : {&MDIButtonMin, &MDIButtonNorm, &MDIButtonClose}) B->HaveAlignment = true;
      }
    }
  } else {
    ButtonClose.ImageIndex = Img("BICONCLOSE");
    ButtonMin.ImageIndex = Img("BICONMIN");
    ButtonMax.ImageIndex = Img("BICONMAX");
    ButtonHelp.ImageIndex = Img("BICONHELP");
    for (TsCaptionButton* B : {&ButtonMin, &ButtonMax, &ButtonClose, &ButtonHelp}) B->HaveAlignment = true;
    if (MDIMain) {
      MDIButtonMin.ImageIndex = Img("BICONMIN");
      MDIButtonNorm.ImageIndex = Img("BICONMAX");
      MDIButtonClose.ImageIndex = Img("BICONCLOSE");
      for (TsCaptionButton* B : {&MDIButtonMin, &MDIButtonNorm, &MDIButtonClose}) B->HaveAlignment = true;
    }
  }
  TitleButtonImageIndex = Img("TITLEBUTTON");
}

int TsSkinProvider::SysButtonCount() const {
  if (SysMenu == nullptr || !VisibleClose()) return 0;
  return 1 + (VisibleMax() ? 1 : 0) + (VisibleMin() ? 1 : 0) +
         (Form != nullptr && Form->BorderIcons().Contains(biHelp) ? 1 : 0);
}

int TsSkinProvider::CaptionButtonsWidth() const {
  TsSkinManager* M = SkinManager();
  const int BIRight = M != nullptr ? M->SkinData()->BIRight : 0;
  const int Space = M != nullptr && UsesBigButtons() ? M->SkinData()->BISpace : 0;
  int W = BIRight;
  if (SysMenu != nullptr && VisibleClose()) {
    W += CaptionButtonWidth(&ButtonClose);
    if (VisibleMax()) W += CaptionButtonWidth(&ButtonMax) + Space;
    if (VisibleMin()) W += CaptionButtonWidth(&ButtonMin) + Space;
    if (Form != nullptr && Form->BorderIcons().Contains(biHelp)) W += CaptionButtonWidth(&ButtonHelp) + Space;
  }
  if (FTitleButtons->Count() > 0) W += 8;
  for (int I = 0; I < FTitleButtons->Count(); ++I) W += TitleButtonWidth(FTitleButtons->Items(I)) + Space;
  // The band lies inside the form's image, whatever the skin's spacing and margin make of it.
  return std::clamp(W, 0, FullWidth());
}

int TsSkinProvider::TitleButtonsBandWidth(int MaskIndex) const {
  const TsMaskData* Mask = TsSkinManager::ValidMask(SkinManager(), MaskIndex);
  int Third = 0;
  if (Mask != nullptr) {
    if (Mask->Bmp)
      Third = Mask->Bmp->Width() / 9;
    else if (Mask->ImageCount > 0)
      Third = (Mask->R.Right - Mask->R.Left) / (Mask->ImageCount * 3);
  }
  return std::clamp(2 * Third + CaptionButtonsWidth(), 0, FullWidth());
}

int TsSkinProvider::FullWidth() const {
  if (Form == nullptr) return 0;
  HWND H = FormHandle(Form);
  int W = H != nullptr && IsIconic(H) ? WindowWidth(H) : Form->Width() + 2 * DiffBorder(BorderForm);
  const TRect E = ExtBorderMargins();
  return W + E.Left + E.Right;
}

int TsSkinProvider::TitleBandHeight() const {
  HWND H = FormHandle(Form);
  if (H == nullptr) return 0;
  if (BorderForm != nullptr) return WindowFrameWidth(H, BorderForm, true) + CaptionHeight(true);
  // Everything above the client area: the bottom frame is always taken off.
  int R = std::max(WindowHeight(H) - ClientHeight(H) - BottomFrameWidth(true), 0);
  if (IsIconic(H)) R += WindowFrameWidth(H, BorderForm, true);
  return R;
}

int TsSkinProvider::MenuHeight() const {
  return Form != nullptr && Form->Menu() != nullptr ? KeptSystemMetric(SM_CYMENU) - 1 : 0;
}

bool TsSkinProvider::SysIconVisible() const {
  HWND H = FormHandle(Form);
  return H != nullptr && (Form->BorderStyle() == bsSingle || Form->BorderStyle() == bsSizeable) && FShowAppIcon &&
         GetSystemMenu(H, FALSE) != nullptr;
}

bool TsSkinProvider::ChildButtonsInMenuLine() const {
  if (MaximizedChildProvider == nullptr || Form == nullptr || Form->FormStyle() != fsMDIForm || Form->Menu() == nullptr)
    return false;
  TCustomForm* Child = const_cast<TCustomForm*>(Form)->ActiveMDIChild();
  return Child != nullptr && Child->WindowState() == wsMaximized && Child->BorderIcons().Contains(biSystemMenu);
}

bool TsSkinProvider::CacheSizeChanged() const {
  TBitmap* B = FSkinData->CacheBmp();
  return B == nullptr || B->Width() != FullWidth() || Form == nullptr || B->Height() != Form->Height();
}

TPoint TsSkinProvider::GripRect() const {
  TsSkinManager* M = SkinManager();
  int GW = 0, GH = 0;
  if (M != nullptr) {
    const int GI = M->GetSectionIndex("GLOBALINFO");
    if (const TsMaskData* Mask = TsSkinManager::ValidMask(M, M->GetMaskIndex(GI, "GLOBALINFO", "GRIPIMAGE"))) {
      GW = MaskFrameWidth(*Mask);
      GH = MaskFrameHeight(*Mask);
    }
  }
  // One pixel inside the bottom-right corner of the image's client part, which the client area
  // shows. (With a border window and a menu the image holds a row more above the client and
  // below it than the window does: the system's menu bar is a row higher than the line.)
  HWND H = FormHandle(Form);
  const int CW = H != nullptr ? ClientWidth(H) : 0, CH = H != nullptr ? ClientHeight(H) : 0;
  return TPoint{OffsetX() + CW - GW - 1, OffsetY() + CH - GH - 1};
}

