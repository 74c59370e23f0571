// TsSkinProvider: caption buttons laid out from the right edge of the title bar, their states and
// single-button repaints, the title icon's place, the form origin and the system menu drop-down.
#include <algorithm>

#include "framework/Menus.h"
#include "skin/core/acGlow.h"
#include "skin/core/acPixels.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/acBorderForm.h"
#include "skin/forms/sCaptionAnimation.h"
#include "skin/forms/sSkinProvider.h"

namespace {

// "BICONNORM" of GLOBALINFO, else of the form section.
int NormImage(TsSkinManager* M, const TsCommonData* SD) {
  const int GI = M->GetSectionIndex("GLOBALINFO");
  int I = M->GetMaskIndex(GI, "GLOBALINFO", "BICONNORM");
  if (I < 0) I = M->GetMaskIndex(SD->SectionIndex, SD->SkinSection(), "BICONNORM");
  return I;
}

// A user button's glyph centred in its rectangle: 32-bit glyphs blend, others use the colour of
// their bottom-left pixel as the transparent one.
void DrawUserGlyph(TBitmap* Dst, TsTitleButton* B, const TRect& R, bool Pressed) {
  TBitmap* G = B->Glyph();
  if (G == nullptr || G->Empty()) return;
  int X = R.Left + (R.Width() - G->Width()) / 2;
  int Y = R.Top + (R.Height() - G->Height()) / 2;
  if (Pressed) {
    ++X;
    ++Y;
  }
  if (G->PixelFormat() == pf32bit) {
    BlendByMask(TRect{X, Y, X + G->Width(), Y + G->Height()}, TRect{0, 0, G->Width(), G->Height()}, Dst, G,
                DefaultCacheInfo(), false);
  } else {
    const COLORREF Key = GetPixel(G->Canvas()->Handle(), 0, G->Height() - 1);
    CopyWithKeyColor(Dst, G, X, Y, static_cast<TColor>(Key));
  }
}

}  // namespace

// ---- layout and painting -----------------------------------------------------------------------

void TsSkinProvider::PaintCaptionButtons() {
  TsSkinManager* M = SkinManager();
  TBitmap* Cache = FSkinData->CacheBmp();
  if (!HasBorder() || M == nullptr || Cache == nullptr || Form == nullptr) return;
  HWND H = Form->Handle();
  const TRect E = ExtBorderMargins();
  int X = Cache->Width() - M->SkinData()->BIRight - E.Right - FormBorderWidth(H, BorderForm, true);
  const int Space = UsesBigButtons() ? M->SkinData()->BISpace : 0;
  RestoreButtonsBackground();
  int Counter = 0;
  auto Place = [&](TsCaptionButton& B, int Image, TsTitleButton* TB, bool Enabled) {
    if (B.State < 0) B.State = 0;
    B.Rect.Right = X;
    PaintCaptionButton(B, Counter, Image, TB, Enabled);
    X = B.Rect.Left - Space;
  };
  auto Absent = [](TsCaptionButton& B) {
    B.State = -1;
    B.Rect = TRect{};
  };
  const bool Iconic = IsIconic(H) != FALSE;
  const bool Zoomed = IsZoomed(H) != FALSE;
  if (SysMenu != nullptr && VisibleClose()) {
    Place(ButtonClose, ButtonClose.ImageIndex, nullptr, true);
    if (VisibleMax()) {
      if (Zoomed)
        Place(ButtonMax, NormImage(M, FSkinData.get()), nullptr, EnabledRestore());
      else
        Place(ButtonMax, ButtonMax.ImageIndex, nullptr, EnabledMax());
    } else {
      Absent(ButtonMax);
    }
    if (VisibleMin()) {
      if (!Iconic)
        Place(ButtonMin, ButtonMin.ImageIndex, nullptr, EnabledMin());
      else
        Place(ButtonMin, NormImage(M, FSkinData.get()), nullptr, EnabledRestore());
    } else {
      Absent(ButtonMin);
    }
    if (Form->BorderIcons().Contains(biHelp))
      Place(ButtonHelp, ButtonHelp.ImageIndex, nullptr, true);
    else
      Absent(ButtonHelp);
  } else {
    for (TsCaptionButton* B : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp}) Absent(*B);
  }
  PaintMDIChildButtons();
  if (FTitleButtons->Count() > 0) {
    X -= 8;
    for (int I = 0; I < FTitleButtons->Count(); ++I) {
      TsTitleButton* TB = FTitleButtons->Items(I);
      TB->BtnData.HitCode = 1000 + I;
      if (!TB->Visible()) {
        Absent(TB->BtnData);
        continue;
      }
      const int Image = TB->UseSkinData() && M->IsValidMaskIndex(TitleButtonImageIndex) ? TitleButtonImageIndex : -1;
      TB->BtnData.ImageIndex = Image;
      Place(TB->BtnData, Image, TB, TB->Enabled());
    }
  }
}

void TsSkinProvider::PaintCaptionButton(TsCaptionButton& Button, int& Counter, int ImageIndex,
                                        TsTitleButton* TitleButton, bool Enabled) {
  TsSkinManager* M = SkinManager();
  TBitmap* Cache = FSkinData->CacheBmp();
  if (M == nullptr || Cache == nullptr) return;
  HWND H = Form->Handle();
  TsCaptionButton Probe;
  Probe.ImageIndex = ImageIndex;
  const int BW = TitleButton != nullptr ? TitleButtonWidth(TitleButton) : CaptionButtonWidth(&Probe);
  const int BH = CaptionButtonImageSize(M, ImageIndex).cy;
  Button.Rect.Left = Button.Rect.Right - BW;
  const TRect E = ExtBorderMargins();
  const TsSkinData& SD = *M->SkinData();
  const int SysFrame = FormBorderWidth(H, nullptr, false);
  const bool Maximized = Form->WindowState() == wsMaximized;
  int Top;
  if (Button.HaveAlignment && SD.BIVAlign == 1) {
    Top = E.Top;
    if (Maximized) {
      Top += SysFrame - 1;
      if (BorderForm != nullptr) {
        if (SD.TitleHeight != SD.MaxHeight) Top += SD.TitleHeight - SD.MaxHeight;
        if (SD.BorderMode == 1) Top += SD.CenterOffset;
      }
    }
  } else {
    Top = (WindowFrameWidth(H, BorderForm, true) + CaptionHeight(true) - BH) / 2 + E.Top;
    if (BorderForm != nullptr && SD.BorderMode == 1) Top += SD.CenterOffset;
    if (IsZoomed(H) && BorderForm != nullptr) {
      Top -= 2;
      if (SD.TitleHeight != SD.MaxHeight) Top += (SD.TitleHeight - SD.MaxHeight - SD.CenterOffset) / 2 - 2;
    }
    if (Maximized && BorderForm != nullptr) Top += SysFrame / 2;
    if (UsesBigButtons() && BH < 16) Top += 2;
  }
  Button.Rect.Top = Top;
  Button.Rect.Bottom = Top + BH;
  if (const TsMaskData* Mask = TsSkinManager::ValidMask(M, ImageIndex)) {
    const int State = Button.Timer != nullptr ? 0 : std::max(Button.State, 0);
    const int Mode = (!FormActive || !Enabled) && (State == 0 || Button.Timer != nullptr) ? 2 : 1;
    DrawSkinGlyph(Cache, TPoint{Button.Rect.Left, Button.Rect.Top}, State, Mode, *Mask, MakeCacheInfo(Cache, 0, 0));
  }
  if (TitleButton != nullptr) DrawUserGlyph(Cache, TitleButton, Button.Rect, false);
  ++Counter;
}

// ---- the buttons of a maximised MDI child -------------------------------------------------------

namespace {

// The image of the MDI restore button: "SICONNORM", else "BICONNORM" of the form section, else
// the record's own.
int MDINormImage(TsSkinManager* M, const TsCommonData* SD, int Own) {
  int I = M->GetMaskIndex(M->GetSectionIndex("GLOBALINFO"), "GLOBALINFO", "SICONNORM");
  if (I < 0) I = M->GetMaskIndex(SD->SectionIndex, SD->SkinSection(), "BICONNORM");
  return I >= 0 ? I : Own;
}

}  // namespace

bool TsSkinProvider::MDIChildCommandEnabled(int HitCode) const {
  TsSkinProvider* C = MaximizedChildProvider;
  if (C == nullptr || C->SysMenu == nullptr) return HitCode == 101;
  if (HitCode == 103) return C->SysMenu->EnabledMin();
  if (HitCode == 102) return C->SysMenu->EnabledRestore();
  return true;
}

int TsSkinProvider::MDIChildButtonImage(int HitCode) const {
  TsSkinManager* M = SkinManager();
  if (M == nullptr) return -1;
  switch (HitCode) {
    case 101: return MDIButtonClose.ImageIndex;
    case 102: return MDINormImage(M, FSkinData.get(), MDIButtonNorm.ImageIndex);
    case 103: return MDIButtonMin.ImageIndex;
    default: return -1;
  }
}

void TsSkinProvider::DrawMDIChildButton(TsCaptionButton& B, int HitCode) {
  TsSkinManager* M = SkinManager();
  TBitmap* Cache = FSkinData->CacheBmp();
  const int Image = MDIChildButtonImage(HitCode);
  if (M == nullptr || Cache == nullptr || !M->IsValidMaskIndex(Image)) return;
  const bool Enabled = MDIChildCommandEnabled(HitCode);
  // A minimize button that the child cannot use is not drawn at all.
  if (HitCode == 103 && !Enabled) return;
  const int State = std::max(B.State, 0);
  const int Mode = !FormActive || !Enabled ? 2 : 1;
  DrawSkinGlyph(Cache, TPoint{B.Rect.Left, B.Rect.Top}, Enabled ? State : 0, Mode,
                M->Masks()[static_cast<std::size_t>(Image)], MakeCacheInfo(Cache, 0, 0));
}

void TsSkinProvider::PaintMDIChildButtons() {
  TsCaptionButton* Buttons[3] = {&MDIButtonMin, &MDIButtonNorm, &MDIButtonClose};
  TBitmap* Cache = FSkinData->CacheBmp();
  if (Cache == nullptr || Form == nullptr || !ChildButtonsInMenuLine() || !MenuPresent()) {
    for (TsCaptionButton* B : Buttons) {
      B->State = -1;
      B->Rect = TRect{};
    }
    return;
  }
  HWND H = Form->Handle();
  const TRect E = ExtBorderMargins();
  const int F = FormBorderWidth(H, BorderForm, true);
  const int W = MDIButtonWidth(), BH = MDIButtonHeight();
  const int Y = WindowFrameWidth(H, BorderForm, true) + CaptionHeight(true) + E.Top + (MenuHeight() - BH) / 2;
  // From the right: minimize (3), restore (2), close (1), one pixel apart.
  const int Codes[3] = {103, 102, 101};
  for (int K = 3; K >= 1; --K) {
    TsCaptionButton& B = *Buttons[3 - K];
    if (B.State < 0) B.State = 0;
    B.HitCode = Codes[3 - K];
    const int X = Cache->Width() - F - E.Right - K * (W + 1);
    B.Rect = TRect{X, Y, X + W, Y + BH};
    DrawMDIChildButton(B, Codes[3 - K]);
  }
}

// ---- one button --------------------------------------------------------------------------------

TsCaptionButton* TsSkinProvider::ButtonByCode(int HitCode) {
  switch (HitCode) {
    case HTMINBUTTON: return &ButtonMin;
    case HTMAXBUTTON: return &ButtonMax;
    case HTCLOSE: return &ButtonClose;
    case HTHELP: return &ButtonHelp;
    case 101: return &MDIButtonClose;
    case 102: return &MDIButtonNorm;
    case 103: return &MDIButtonMin;
    default: break;
  }
  if (HitCode >= 1000 && HitCode < 1000 + FTitleButtons->Count()) return &FTitleButtons->Items(HitCode - 1000)->BtnData;
  return nullptr;
}

void TsSkinProvider::RepaintButton(int HitCode) {
  TsCaptionButton* B = ButtonByCode(HitCode);
  TsSkinManager* M = SkinManager();
  if (B == nullptr || M == nullptr || Form == nullptr || !Form->HandleAllocated()) return;
  const bool MDI = HitCode >= 101 && HitCode <= 103;
  if (!MDI && (M->AllowGlowing() || BorderForm != nullptr)) {
    if (B->State == -1) return;
    if (B->State == 1)
      StartCaptionButtonFade(B, 1, 10, this, true);
    else if (B->State == 2)
      StartCaptionButtonFade(B, 2, 1, this, true);
    else
      StartCaptionButtonFade(B, 0, 10, this, false);
    return;
  }
  TBitmap* Cache = FSkinData->CacheBmp();
  if (B->State < 0 || Cache == nullptr || B->Rect.IsEmpty()) return;
  HWND H = Form->Handle();
  const bool Iconic = IsIconic(H) != FALSE;
  // The background behind the button from the saved strip.
  if (TitleButtonsBg && !TitleButtonsBg->Empty()) {
    const int X0 = FullWidth() - TitleButtonsBg->Width();
    BitBlt(Cache->Canvas()->Handle(), B->Rect.Left, B->Rect.Top, B->Rect.Width(), B->Rect.Height(),
           TitleButtonsBg->Canvas()->Handle(), B->Rect.Left - X0, B->Rect.Top, SRCCOPY);
  }
  int Image = B->ImageIndex;
  bool Enabled = true;
  TsTitleButton* TB = HitCode >= 1000 ? FTitleButtons->Items(HitCode - 1000) : nullptr;
  if (MDI) {
    // A child's button in the menu line: its own images and enabled states.
    DrawMDIChildButton(*B, HitCode);
    Image = -1;
  } else if (HitCode == HTMAXBUTTON) {
    if (Iconic) {
      Image = ButtonMax.ImageIndex;
      Enabled = EnabledMax();
    } else if (IsZoomed(H)) {
      Image = NormImage(M, FSkinData.get());
      Enabled = EnabledRestore();
    } else {
      Enabled = EnabledMax();
    }
  } else if (HitCode == HTMINBUTTON) {
    if (Iconic) {
      Image = NormImage(M, FSkinData.get());
      Enabled = EnabledRestore();
    } else {
      Enabled = EnabledMin();
    }
  } else if (TB != nullptr) {
    Enabled = TB->Enabled();
    if (!TB->UseSkinData()) Image = -1;
  }
  if (const TsMaskData* Mask = TsSkinManager::ValidMask(M, Image)) {
    const int State = B->Timer != nullptr ? 0 : B->State;
    const int Mode = (!FormActive || !Enabled) && (State == 0 || B->Timer != nullptr) ? 2 : 1;
    DrawSkinGlyph(Cache, TPoint{B->Rect.Left, B->Rect.Top}, State, Mode, *Mask, MakeCacheInfo(Cache, 0, 0));
  }
  if (TB != nullptr) DrawUserGlyph(Cache, TB, B->Rect, B->State == 2);
  const TRect E = ExtBorderMargins();
  int DX = B->Rect.Left - E.Left, DY = B->Rect.Top - E.Top;
  if (BorderForm != nullptr) {
    DX -= DiffBorder(BorderForm);
    DY -= DiffTitle(BorderForm);
  }
  HDC DC = GetWindowDC(H);
  BitBlt(DC, DX, DY, B->Rect.Width(), B->Rect.Height(), Cache->Canvas()->Handle(), B->Rect.Left, B->Rect.Top, SRCCOPY);
  ReleaseDC(H, DC);
  // Without the animated path glowing is off: only a glow left from before is removed.
  if (B->State != 1 && B->GlowID >= 0) {
    HideGlow(B->GlowID);
    B->GlowID = -1;
  }
}

void TsSkinProvider::SetHotButton(int HitCode, bool Repaint) {
  if (!FDrawNonClientArea) return;
  if (HitCode == CurrentHT) return;
  if (CurrentHT == -1 && HitCode == 0) return;
  if (CurrentHT > 0) {
    if (TsCaptionButton* Old = ButtonByCode(CurrentHT)) {
      if (Old->State > 0) Old->State = 0;
      if (CurrentHT >= 1000) FTitleButtons->Items(CurrentHT - 1000)->HideHint();
      if (Repaint) RepaintButton(CurrentHT);
    }
  }
  CurrentHT = HitCode;
  if (TsCaptionButton* New = ButtonByCode(HitCode); New != nullptr && New->State >= 0) {
    New->State = 1;
    if (HitCode >= 1000) FTitleButtons->Items(HitCode - 1000)->ShowHint();
    if (Repaint) RepaintButton(HitCode);
  }
}

void TsSkinProvider::SetPressedButton(int HitCode) {
  if (!FDrawNonClientArea) return;
  TsCaptionButton* New = ButtonByCode(HitCode);
  if (New == nullptr || New->State < 0) return;
  HWND H = Form != nullptr && Form->HandleAllocated() ? Form->Handle() : nullptr;
  if (HitCode == HTMAXBUTTON && !(H != nullptr && IsZoomed(H) ? EnabledRestore() : EnabledMax())) return;
  if (HitCode == HTMINBUTTON && !EnabledMin()) return;
  if (HitCode >= 1000 && !FTitleButtons->Items(HitCode - 1000)->Enabled()) return;
  if (CurrentHT > 0 && CurrentHT != HitCode) {
    if (TsCaptionButton* Old = ButtonByCode(CurrentHT)) {
      if (Old->State > 0) Old->State = 0;
      if (CurrentHT >= 1000) FTitleButtons->Items(CurrentHT - 1000)->HideHint();
      RepaintButton(CurrentHT);
    }
  }
  CurrentHT = HitCode;
  New->State = 2;
  if (HitCode >= 1000) FTitleButtons->Items(HitCode - 1000)->HideHint();
  RepaintButton(HitCode);
}

// ---- places --------------------------------------------------------------------------------------

TRect TsSkinProvider::TitleIconRect() const {
  TsSkinManager* M = SkinManager();
  if (Form == nullptr || !Form->HandleAllocated() || M == nullptr) return TRect{};
  HWND H = const_cast<TCustomForm*>(Form)->Handle();
  const TRect E = ExtBorderMargins();
  const int F = FormBorderWidth(H, BorderForm, true);
  const TsSkinData& SD = *M->SkinData();
  TRect R;
  R.Left = F + SD.BILeft + E.Left;
  R.Right = R.Left + TitleIconWidth();
  const int SysFrame = FormBorderWidth(H, nullptr, false);
  R.Top = SysFrame / 2 + E.Top - 1;
  const int IH = TitleIconHeight();
  R.Top += (TitleBottomInImage() - R.Top - IH) / 2;
  if (BorderForm != nullptr) {
    R.Top += SD.CenterOffset;
    if (Form->WindowState() == wsMaximized && SD.TitleHeight != SD.MaxHeight)
      R.Top += (SD.TitleHeight - SD.MaxHeight) / 2 - 2;
  }
  R.Bottom = R.Top + IH;
  return R;
}

TPoint TsSkinProvider::FormOrigin() const {
  if (Form == nullptr || !Form->HandleAllocated()) return TPoint{};
  HWND H = const_cast<TCustomForm*>(Form)->Handle();
  if (Form->FormStyle() == fsMDIChild) {
    POINT P{0, 0};
    ClientToScreen(H, &P);
    const int F = FormBorderWidth(H, BorderForm, true);
    const int SysFrame = FormBorderWidth(H, nullptr, false);
    return TPoint{P.x - F, P.y - SysFrame - (IsIconic(H) ? 0 : CaptionHeight(true))};
  }
  RECT R{};
  GetWindowRect(H, &R);
  return TPoint{R.left, R.top};
}

TPoint TsSkinProvider::PointToForm(int X, int Y) const {
  const TPoint O = FormOrigin();
  return TPoint{X - O.X, Y - O.Y};
}

void TsSkinProvider::DropSysMenu(int X, int Y) {
  TsSkinManager* M = SkinManager();
  if (Form == nullptr || !Form->HandleAllocated()) return;
  HWND H = Form->Handle();
  if (M != nullptr && M->SkinnedPopups() && SysMenu != nullptr) {
    SysMenu->UpdateItems(false);
    if (FMakeSkinMenu) {
      // The skin submenu of the last drop goes, with the line that follows it, and is freed: a
      // detached item would keep its name among the menu's components and refuse the new one.
      TMenuItem* Items = SysMenu->Items();
      for (int I = Items->Count() - 1; I >= 0; --I) {
        if (Items->Items(I)->Name() != "SkinSelectItem") continue;
        if (I + 1 < Items->Count() && Items->Items(I + 1)->IsLine()) delete Items->Items(I + 1);
        delete Items->Items(I);
      }
      SysMenu->AddSkinsItem();
    }
    if (auto* Menus = dynamic_cast<TsSkinableMenus*>(M->Menus())) Menus->HookPopupMenu(SysMenu, true);
    SysMenu->Popup(X, Y);
    return;
  }
  HMENU Sys = GetSystemMenu(H, FALSE);
  if (Sys == nullptr) return;
  const LONG Style = GetWindowLongW(H, GWL_STYLE);
  SetWindowLongW(H, GWL_STYLE, Style & ~WS_VISIBLE);
  const bool Iconic = IsIconic(H) != FALSE, Zoomed = IsZoomed(H) != FALSE;
  auto Enable = [Sys](UINT Cmd, bool On) { EnableMenuItem(Sys, Cmd, MF_BYCOMMAND | (On ? MF_ENABLED : MF_GRAYED | MF_DISABLED)); };
  const bool CanMax = VisibleMax() && EnabledMax();
  const bool CanMin = VisibleMin() && EnabledMin();
  Enable(SC_RESTORE, (Iconic || Zoomed) && EnabledRestore());
  Enable(SC_MOVE, !Zoomed);
  Enable(SC_SIZE, !Zoomed && !Iconic && (Style & WS_THICKFRAME) != 0);
  Enable(SC_MINIMIZE, CanMin && !Iconic);
  Enable(SC_MAXIMIZE, CanMax && !Zoomed);
  Enable(SC_CLOSE, VisibleClose());
  SetWindowLongW(H, GWL_STYLE, Style);
  const int Cmd = TrackPopupMenu(Sys, TPM_RETURNCMD | TPM_RIGHTBUTTON, X, Y, 0, H, nullptr);
  if (Cmd != 0) PostMessageW(H, WM_SYSCOMMAND, static_cast<WPARAM>(Cmd), 0);
}
