#include "skin/controls/sLabel.h"

#include "framework/TypInfo.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"

bool acLabelFontLock = false;

namespace {

// The default manager when it shows a skin; nullptr otherwise.
TsSkinManager* ActiveSkinManager() {
  TsSkinManager* M = TsSkinManager::DefaultManager();
  if (M == nullptr || M->IsDestroying() || !M->SkinActive()) return nullptr;
  return M;
}

// The default manager when it is Active (a skin wanted).
TsSkinManager* WantedSkinManager() {
  TsSkinManager* M = TsSkinManager::DefaultManager();
  return M != nullptr && M->Active() ? M : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TsCustomLabel

TsCustomLabel::TsCustomLabel(TComponent* AOwner) : TCustomLabel(AOwner) { SetTransparent(true); }

void TsCustomLabel::SetSkinSection(const AnsiString& Value) {
  if (FSkinSection == Value) return;
  FSkinSection = Value;
  Repaint();
}

TFont* TsCustomLabel::GetCurrentFont() {
  if (TsSkinManager* M = ActiveSkinManager()) {
    const int Index = ParentFontSectionIndex(this, -1, M);
    const TColor C = Index >= 0 && M->IsValidSectionIndex(Index)
                         ? M->GeneralData()[static_cast<std::size_t>(Index)].FontColor[0]
                         : M->GetGlobalFontColor();
    if (C != clKeyColor && C != Font()->Color()) Font()->SetColor(C);
  }
  return Font();
}

void TsCustomLabel::Paint() {
  if (IsDestroying()) {
    TCustomLabel::Paint();
    return;
  }
  if (!acLabelFontLock) {
    acLabelFontLock = true;
    try {
      TFont* F = GetCurrentFont();
      if (F != Font()) Font()->Assign(F);
      if (!FSkinSection.empty()) {
        if (TsSkinManager* M = WantedSkinManager()) {
          const int Index = M->GetSectionIndex(FSkinSection);
          if (Index >= 0) {
            const TColor C = M->GeneralData()[static_cast<std::size_t>(Index)].FontColor[0];
            if (C != Font()->Color()) Font()->SetColor(C);
          }
        }
      }
    } catch (...) {
      acLabelFontLock = false;
      throw;
    }
    acLabelFontLock = false;
  }
  if (!FSkinSection.empty()) {
    if (TsSkinManager* M = WantedSkinManager()) {
      const int Index = M->GetSectionIndex(FSkinSection);
      // A section found at index 0 paints no background.
      if (Index > 0 && Width() > 0 && Height() > 0) {
        TacBGInfo Info;
        QueryParentBackground(Info, Parent(), false);
        PaintSectionToDC(Index, FSkinSection, BGInfoToCacheInfo(Info), true, 0, Rect(0, 0, Width(), Height()),
                         TPoint(Left(), Top()), Canvas()->Handle(), M);
      }
    }
  }
  TCustomLabel::Paint();
}

void TsCustomLabel::DoDrawText(TRect& Rect, UINT Flags) {
  if (Enabled() || ActiveSkinManager() == nullptr) {
    TCustomLabel::DoDrawText(Rect, Flags);
    return;
  }
  // Disabled under a skin: one pass in a mix of the font colour and the parent's colour.
  WideString Text = GetLabelText();
  if ((Flags & DT_CALCRECT) != 0 && (Text.empty() || (ShowAccelChar() && Text == L"&"))) Text += L' ';
  if (!ShowAccelChar()) Flags |= DT_NOPREFIX;
  TCanvas* C = Canvas();
  C->SetFont(Font());
  C->Font()->SetColor(MixColorsLinear(static_cast<TColor>(ColorToRGB(Font()->Color())), GetControlColor(Parent()), 0.4));
  C->Brush()->SetStyle(bsClear);
  RECT R{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
  SetBkMode(C->Handle(), TRANSPARENT);
  SetTextColor(C->Handle(), ColorToRGB(C->Font()->Color()));
  DrawTextW(C->Handle(), Text.c_str(), static_cast<int>(Text.size()), &R, Flags);
  Rect = TRect{R.left, R.top, R.right, R.bottom};
}

void TsCustomLabel::WndProc(TMessage& M) {
  switch (M.Msg) {
    case CM_FONTCHANGED:
      if (IsDestroying()) break;
      // The label's own colour changes while painting repaint nothing.
      if (acLabelFontLock) return;
      if (AutoSize()) AdjustBounds();
      Invalidate();
      return;
    case CM_MOUSEENTER:
      if (OnMouseEnter) {
        const TLifeWatch Life(this);  // the handler may free the label (with its parent or form)
        OnMouseEnter(this);
        if (Life.Freed()) return;
      }
      break;
    case CM_MOUSELEAVE:
      TCustomLabel::WndProc(M);
      if (OnMouseLeave) OnMouseLeave(this);
      return;
    case SM_ALPHACMD:
      switch (AlphaCmdCode(M.WParam)) {
        case AC_SKINREMOVED:
          TCustomLabel::WndProc(M);
          if (!IsDestroying() && reinterpret_cast<TsSkinManager*>(M.LParam) == TsSkinManager::DefaultManager() &&
              Font()->Color() != clWindowText)
            Font()->SetColor(clWindowText);
          return;
        case AC_REFRESHSKIN:
          TCustomLabel::WndProc(M);
          if (!IsDestroying() && IsDesigning()) Invalidate();
          return;
        default: break;
      }
      break;
    default: break;
  }
  TCustomLabel::WndProc(M);
}

// ---------------------------------------------------------------------------------------------
// TsLabel

TsLabel::TsLabel(TComponent* AOwner) : TsCustomLabel(AOwner) { FUseSkinColor = true; }

TFont* TsLabel::GetCurrentFont() {
  if (!IsDestroying() && FUseSkinColor) return TsCustomLabel::GetCurrentFont();
  return Font();
}

void TsLabel::WndProc(TMessage& M) {
  if (M.Msg == SM_ALPHACMD && AlphaCmdCode(M.WParam) == AC_SKINREMOVED) {
    if (!IsDestroying() && reinterpret_cast<TsSkinManager*>(M.LParam) == TsSkinManager::DefaultManager() &&
        FUseSkinColor && Font()->Color() != clWindowText)
      Font()->SetColor(clWindowText);
    return;
  }
  TsCustomLabel::WndProc(M);
}

T_PUBLISH(TsCustomLabel) { P.String("SkinSection", &TsCustomLabel::SkinSection, &TsCustomLabel::SetSkinSection); }

T_PUBLISH(TsLabel) { P.Boolean("UseSkinColor", &TsLabel::UseSkinColor, &TsLabel::SetUseSkinColor); }
