// The skin data's answers about backgrounds and colours, the copies of its cache, and its glow.
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
  CopyCacheExceptWindows(Window, ChildWindows(Window), SkinData, Src, DY, DX, FillCorners, DC, R);
}

void CopyCacheExceptWindows(HWND Window, const std::vector<HWND>& Children, TsCommonData* SkinData, TPoint Src,
                            int DY, int DX, bool FillCorners, HDC DC, const TRect& R) {
  if (SkinData == nullptr || SkinData->CacheBmp() == nullptr || DC == nullptr) return;
  if (FillCorners) FillCornersFromParent(SkinData, SkinData->GetHotState() ? 1 : 0);
  const int Saved = SaveDC(DC);
  IntersectClipRect(DC, R.Left, R.Top, R.Right, R.Bottom);
  if (Window != nullptr) {
    RECT Own{};
    GetWindowRect(Window, &Own);
    TsSkinManager* DM = TsSkinManager::DefaultManager();
    for (HWND C : Children) {
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

}  // namespace

void CommonDataImpl::HideOwnGlow(TsCommonData* SkinData) {
  if (SkinData->GlowId >= 0) HideGlow(SkinData->GlowId);
  SkinData->GlowId = -1;
}

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
