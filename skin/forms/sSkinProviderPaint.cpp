// TsSkinProvider: the form image (title bar, frame, menu line, grip, caption text and icon) and
// its copies to the screen.
#include <algorithm>
#include <functional>

#include "framework/Menus.h"
#include "skin/core/acAnimation.h"
#include "skin/core/acPixels.h"
#include "skin/core/sBackground.h"
#include "skin/core/sConst.h"
#include "skin/core/sFormList.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/acBorderForm.h"
#include "skin/forms/acExtBorderPaint.h"
#include "skin/forms/sSkinProvider.h"

namespace {

AnsiString SectionNameOf(TsSkinManager* M, int Index) {
  return M != nullptr && M->IsValidSectionIndex(Index) ? M->GeneralData()[static_cast<std::size_t>(Index)].SectionName
                                                       : AnsiString();
}

// The menu items drawn in the menu line: visible, with both owner-draw events.
bool DrawnInMenuLine(TMenuItem* Item) {
  return Item->Visible() && Item->OnMeasureItem && Item->OnAdvancedDrawItem;
}

// Calls Each(Item, R) for each item of Menu drawn in the menu line of window H, in the order of the
// menu bar, with the item's screen rectangle; an item the window gives no rectangle for is passed
// over. The bar's entries are matched to the items by the item each entry carries: the entries the
// system adds of its own (the system menu of a maximised MDI child and its buttons) are skipped,
// and the items of the active MDI child's menu merged into the bar are drawn wherever the bar
// shows them (also while the child is not maximised: its items stand in the bar then too).
template <class TEach>
void ForEachMenuLineItem(HWND H, TMainMenu* Menu, TEach Each) {
  HMENU Bar = Menu->Handle();
  const int N = GetMenuItemCount(Bar);
  for (int P = 0; P < N; ++P) {
    MENUITEMINFOW MI{};
    MI.cbSize = sizeof(MI);
    MI.fMask = MIIM_DATA;
    if (!GetMenuItemInfoW(Bar, static_cast<UINT>(P), TRUE, &MI) || MI.dwItemData == 0) continue;
    // The bar's own items, and those of the menu merged into it (an MDI child's).
    TMenuItem* Item = nullptr;
    for (TMainMenu* Owner : {Menu, Menu->Merged()})
      for (int I = 0; Owner != nullptr && I < Owner->Items()->Count() && Item == nullptr; ++I)
        if (reinterpret_cast<ULONG_PTR>(Owner->Items()->Items(I)) == MI.dwItemData) Item = Owner->Items()->Items(I);
    if (Item == nullptr || !DrawnInMenuLine(Item)) continue;
    RECT R{};
    if (!GetMenuItemRect(H, Bar, static_cast<UINT>(P), &R)) continue;
    Each(Item, R);
  }
}

// The maximised active child of an MDI main form (nullptr when none).
TCustomForm* MaximizedChildOf(TCustomForm* Form) {
  if (Form == nullptr || Form->FormStyle() != fsMDIForm || !Form->HandleAllocated()) return nullptr;
  TCustomForm* C = Form->ActiveMDIChild();
  return C != nullptr && C->WindowState() == wsMaximized ? C : nullptr;
}

void CopyRect(HDC Dst, int X, int Y, int W, int H, HDC Src, int SX, int SY) {
  if (W > 0 && H > 0) BitBlt(Dst, X, Y, W, H, Src, SX, SY, SRCCOPY);
}

// The window's region (window coordinates), nullptr when it has none; the caller deletes it.
HRGN WindowRegionOf(HWND H) {
  HRGN R = CreateRectRgn(0, 0, 0, 0);
  if (GetWindowRgn(H, R) != ERROR) return R;
  DeleteObject(R);
  return nullptr;
}

// Repaints the part of the client area of H that its region shows now and Before (its region
// before, nullptr: none) did not; the windows on it are left alone. The part is painted at once
// with PaintBackground (the background an erase paints) and left invalid for the form's own paint:
// an erase asked for that part would erase the whole update region of the form, which after a
// size change is the whole client area that the size change erased already. Without a region, or
// while the form is not shown, the part is erased and painted in the usual order.
void RepaintUncovered(HWND H, HRGN Before, const std::function<void(HDC)>& PaintBackground) {
  HRGN Now = WindowRegionOf(H);
  if (Before == nullptr || Now == nullptr || !IsWindowVisible(H)) {
    RedrawWindow(H, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN);
  } else if (CombineRgn(Now, Now, Before, RGN_DIFF) != NULLREGION) {
    RECT WR{};
    GetWindowRect(H, &WR);
    POINT Origin{0, 0};
    ClientToScreen(H, &Origin);
    OffsetRgn(Now, WR.left - Origin.x, WR.top - Origin.y);
    RedrawWindow(H, nullptr, Now, RDW_INVALIDATE | RDW_NOCHILDREN);
    HDC DC = GetDC(H);
    ExtSelectClipRgn(DC, Now, RGN_AND);
    PaintBackground(DC);
    ReleaseDC(H, DC);
  }
  if (Now != nullptr) DeleteObject(Now);
}

}  // namespace

// ---- PaintAll ----------------------------------------------------------------------------------

void PaintAll(TsSkinProvider* SP) {
  if (SP == nullptr || SP->Form == nullptr || !SP->Form->HandleAllocated()) return;
  TCustomForm* Form = SP->Form;
  if (Form->ControlState().Contains(csCreating)) return;
  TsCommonData* SD = SP->SkinData();
  TsSkinManager* M = SD->GetSkinManager();
  if (M == nullptr) return;
  HWND H = Form->Handle();
  TacBorderForm* BF = SP->BorderForm;
  const TRect E = SP->ExtBorderMargins();
  const bool Iconic = IsIconic(H) != FALSE;
  const int DB = DiffBorder(BF), DT = DiffTitle(BF);
  const int MH = SP->MenuHeight();
  const int W = (Iconic ? WindowWidth(H) : Form->Width() + 2 * DB) + E.Left + E.Right;
  const int FormH = Iconic ? WindowHeight(H) : Form->Height();
  const int Hgt = FormH + (BF != nullptr ? DB + DT + E.Top + E.Bottom + (MH != 0 ? 1 : 0) : 0);
  const int F = FormBorderWidth(H, BF, true);
  const int S = WindowFrameWidth(H, BF, false);
  const int CH = SP->CaptionHeight(true);
  const int TitleBottom = S + CH + E.Top;
  TRect FormRect{E.Left, E.Top, W - E.Right, Hgt - E.Bottom};
  if (Iconic) FormRect.Bottom = TitleBottom + 1 - E.Bottom;
  const bool Mode1 = BF != nullptr && M->SkinData()->BorderMode == 1;

  if (SD->CacheBmp() == nullptr) {
    SD->PrepareCacheBmp();
    SD->CacheBmp()->SetPixelFormat(BF != nullptr ? pf32bit : pf24bit);
    SD->UpdatePlainState(false);
    if (!Form->IsLoading()) {
      TMessage Msg{SM_ALPHACMD, MAKEWPARAM(0, AC_PLAINSTATE), 1, 0};
      BroadcastSkinCommand(Form, Msg);
    }
  }
  TBitmap* Cache = SD->CacheBmp();
  // While a maximised child is being shown the main form's menu line is not settled yet.
  if (TCustomForm* Child = MaximizedChildOf(Form); Child != nullptr && SP->TitleDirty &&
                                                   Child->FormState().Contains(fsShowing))
    return;

  if (SD->BackgroundStale) {
    bool Done = false;
    // Fast path: only the title changes over a saved title band.
    if (!SP->TitleDirty && IsStaticBorderMask(SD->BorderMaskIndex, M) && SP->TitleBand != nullptr &&
        SP->TitleBand->Width() == W && Cache->Width() == W && Cache->Height() == FormH && CH > 0 && BF == nullptr) {
      if (SP->DrawNonClientArea()) {
        BitBlt(Cache->Canvas()->Handle(), 0, 0, SP->TitleBand->Width(), SP->TitleBand->Height(),
               SP->TitleBand->Canvas()->Handle(), 0, 0, SRCCOPY);
        SP->PaintTitle(TRect{0, 0, W, SP->TitleBand->Height()});
      }
      Done = true;
    }
    if (!Done) {
      SP->RgnChanged = true;
      const bool Section = M->IsValidSectionIndex(SD->SectionIndex);
      const bool Plain = (SD->StateBits & ssPlainBackground) != 0;
      const TsMaskData* FrameMask = TsSkinManager::ValidMask(M, SD->BorderMaskIndex);
      // An image that the painting below covers whole is made at its new size without its old
      // pixels: a border window's (its margins take the skin's picture), and a plain form's with
      // its frame. It keeps its memory from size to size while the form is sized.
      if (Cache->Width() != W || Cache->Height() != Hgt) {
        if (Section && ((BF != nullptr && Cache->PixelFormat() == pf32bit) || (Plain && !Mode1 && FrameMask != nullptr)))
          Cache->SetSizeWithRoom(W, Hgt);
        else
          Cache->SetSize(W, Hgt);
      }
      const TCacheInfo NoBg = DefaultCacheInfo();
      if (Section) {
        if ((SD->StateBits & 1) == 0) {
          if (SP->HasBorder() && !Mode1)
            PaintControlSkin(SD, NoBg, true, SP->FormActive ? 1 : 0, FormRect, TPoint{0, 0}, Cache, false);
          else
            PaintSectionToBitmap(SD->SectionIndex, SD->SkinSection(), NoBg, SP->FormActive ? 1 : 0, FormRect,
                                 TPoint{0, 0}, Cache, M, -1, -1, acNoCustomColor);
        } else {
          const TRect Band = BF == nullptr
                                 ? TRect{0, 0, W, CH + SP->LeftFrameWidth(true) + SP->MenuLineCount() * MH + 1}
                                 : FormRect;
          FillRectSolid(Cache->Canvas()->Handle(), Band, SP->FormColor());
          if (!Mode1 && FrameMask != nullptr) {
            // The frame: the border mask over the whole form rectangle, its centre left alone.
            FillRectSolid(Cache->Canvas()->Handle(),
                          TRect{FormRect.Left, Band.Bottom, FormRect.Right, FormRect.Bottom}, SP->FormColor());
            DrawSkinRect(Cache, FormRect, false, NoBg, *FrameMask, SP->FormActive ? 1 : 0, false);
          }
        }
      }
      // Size grip.
      if (SP->GripVisible() && SD->IsSkinPaintMode()) SP->PaintGrip(Cache->Canvas()->Handle());
      const TCacheInfo CI = MakeCacheInfo(Cache, 0, 0);
      // Title bar (in border mode 1 it goes over the skin's outer frame, below).
      auto PaintTitleBar = [&](const TCacheInfo& Under) {
        if (CH <= 0 || !SP->DrawNonClientArea()) return;
        const int TS = SP->TitleSkinIndex();
        if (M->IsValidSectionIndex(TS))
          PaintSectionWithCorners(TS, SectionNameOf(M, TS), Under, true, SP->FormActive ? 1 : 0,
                                  TRect{FormRect.Left, FormRect.Top, FormRect.Right, Iconic ? FormRect.Bottom : TitleBottom},
                                  TPoint{0, 0}, Cache, M);
        SP->PaintTitleIcon();
        const int TB = M->GetMaskIndex(SD->SectionIndex, SD->SkinSection(), "TITLEBAR");
        if (SP->SysButtonCount() > 0)
          if (const TsMaskData* Mask = TsSkinManager::ValidMask(M, TB))
            DrawSkinRect(Cache, TRect{W - SP->TitleButtonsBandWidth(TB), 0, W, CH + S}, true, CI, *Mask,
                         SP->FormActive ? 1 : 0, true);
      };
      if (!Mode1) PaintTitleBar(CI);
      // Menu line.
      if (Form->Menu() != nullptr && SP->MenuPresent() && MH > 0) {
        const int MR = SP->MenuLineCount();
        const int LS = M->GetSectionIndex(SP->MenuLineSkin().empty() ? AnsiString("MENULINE") : SP->MenuLineSkin());
        const int LineSkin = M->IsValidSectionIndex(LS) ? LS : M->GetSectionIndex("MENULINE");
        // Inside the frame, so that the frame runs on beside the line.
        const TRect Line{E.Left + F, TitleBottom, W - E.Right - F, TitleBottom + MR * MH};
        if (M->IsValidSectionIndex(LineSkin))
          PaintSectionWithCorners(LineSkin, SectionNameOf(M, LineSkin), CI, true, SP->FormActive ? 1 : 0, Line,
                                  TPoint{0, 0}, Cache, M);
        if (!SP->MenuLineBmp) SP->MenuLineBmp.reset(CreateBmp24(0, 0));
        // The kept background reaches over the system's menu bar, a row higher than the line: the
        // system places the items one row low, so their last row lies on the row below the line
        // (what the bar shows there beside them). Without a border window the line starts one
        // pixel higher and reaches the client area.
        SP->MenuLineBmp->SetSize(std::max(W - E.Left - E.Right, 0), MR * MH + 1);
        const int LineY = SP->OffsetY() - MR * MH - (BF == nullptr ? 1 : 0);
        CopyRect(SP->MenuLineBmp->Canvas()->Handle(), 0, 0, SP->MenuLineBmp->Width(), SP->MenuLineBmp->Height(),
                 Cache->Canvas()->Handle(), SP->OffsetX(), LineY);
        // The icon of a maximised child, where the system keeps the child's system menu.
        if (auto* Menus = dynamic_cast<TsSkinableMenus*>(M->Menus()); Menus != nullptr && SP == SkinnedMDIMainProvider &&
                                                                       Menus->MDIChildIconVisible()) {
          TCustomForm* Child = Form->ActiveMDIChild();
          HICON Icon = Child->Icon()->Handle();
          if (Icon == nullptr) Icon = acAppIcon(false);
          if (Icon == nullptr) Icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
          const int S = std::max(MH - 2, 1);
          SP->MenuLineIconStamp.Draw(Cache, E.Left + F + 1, TitleBottom + 1, Icon, S, S);
        }
        ForEachMenuLineItem(H, Form->Menu(), [&](TMenuItem* Item, const RECT& R) {
          RECT WR{};
          GetWindowRect(H, &WR);
          TRect IR{R.left, R.top, R.right, R.bottom};
          IR.Offset(DB - WR.left + E.Left, DT - WR.top + E.Top + (SP->MaxCaptionFlag ? 4 : 0));
          TOwnerDrawState State{odNoAccel, odReserved1};
          Item->OnAdvancedDrawItem(Item, Cache->Canvas(), IR, State);
        });
      }
      if (BF != nullptr && !Mode1) SP->PaintCaptionText(FormRect, F, TitleBottom);
      // Extended border: the form opaque, then the skin's picture around it.
      if (BF != nullptr && Cache->PixelFormat() == pf32bit) {
        SetImageAlpha(Cache, FormRect, 255);
        if (Mode1) {
          // The whole outer frame is the skin's picture; the title goes over it, and what the
          // title leaves alone keeps the picture's alpha.
          const int LFW = SP->LeftFrameWidth(true);
          LayExtBorderPicture(Cache, M, SP->FormActive, LFW + E.Left, LFW + E.Right);
          // The title's cut corners show what lay there before: the picture.
          std::unique_ptr<TBitmap> Before = CopyTopStrip(Cache, TitleBottom);
          PaintTitleBar(Before != nullptr ? MakeCacheInfo(Before.get(), 0, 0) : CI);
          SP->PaintCaptionText(FormRect, F, TitleBottom);
          OpaqueWhereChanged(Cache, Before.get());
        } else {
          const int TS = SP->TitleSkinIndex();
          ComposeShadow(Cache, FormRect, E, M, SP->FormActive, SD->BorderMaskIndex,
                        M->IsValidSectionIndex(TS) ? M->GetMaskIndex(TS, SectionNameOf(M, TS), "BORDERSMASK") : -1);
        }
      }
      if (IsStaticBorderMask(SD->BorderMaskIndex, M) && (SP->TitleBand == nullptr || SP->TitleBand->Width() != W))
        SP->SaveTitleBand();
      if (BF == nullptr && !Mode1) SP->PaintCaptionText(FormRect, F, TitleBottom);
      if (CH > 0 && SP->DrawNonClientArea()) {
        // With a maximised MDI child's buttons in the menu line the saved strip reaches down
        // over the line, so that those buttons can be repainted one by one too.
        SP->SaveButtonsBackground(SP->ChildButtonsInMenuLine());
        SP->PaintCaptionButtons();
      }
      SP->TitleDirty = false;
      SD->BackgroundStale = false;
      // The form's own OnPaint draws into the image's client part.
      if (Form->OnPaint && SD->IsSkinPaintMode() && (SD->StateBits & 1) == 0) {
        TCanvas* FC = Form->Canvas();
        HDC Saved = FC->HandleAllocated() ? FC->Handle() : nullptr;
        HDC DC = Cache->Canvas()->HandleForSavedState();
        const int State = SaveDC(DC);
        SetWindowOrgEx(DC, -SP->OffsetX(), -SP->OffsetY(), nullptr);
        FC->SetHandle(DC);
        FC->Lock();
        try {
          Form->OnPaint(Form);
        } catch (...) {
          FC->Unlock();
          RestoreDC(DC, State);
          FC->SetHandle(Saved);
          throw;
        }
        FC->Unlock();
        RestoreDC(DC, State);
        FC->SetHandle(Saved);
      }
    }
    SP->FirstPaintDone = true;
    SD->BackgroundStale = false;
  }
  SD->SetUpdating(false);
}

// ---- caption text, icon, grip ------------------------------------------------------------------

void TsSkinProvider::PaintCaptionText(const TRect& FormRect, int F, int TitleBottom) {
  const int CH = CaptionHeight(true);
  TsSkinManager* M = SkinManager();
  TBitmap* Cache = FSkinData->CacheBmp();
  if (CH <= 0 || !FDrawNonClientArea || M == nullptr || Cache == nullptr || Form == nullptr) return;
  HWND H = Form->Handle();
  const TRect E = ExtBorderMargins();
  TRect R;
  R.Left = F + (SysIconVisible() ? TitleIconRect().Width() : 0) + 4 + M->SkinData()->BILeft + E.Left +
           (CaptionSkinIndex >= 0 ? 2 : 0);
  R.Right = FormRect.Right - CaptionButtonsWidth() - 6 - E.Right;
  R.Bottom = TitleBottom;
  R.Top = IsZoomed(H) ? FormBorderWidth(H, BorderForm, false) / 2 + E.Top + 1 : E.Top + 2;
  if (BorderForm != nullptr && M->SkinData()->BorderMode == 1) {
    R.Offset(0, M->SkinData()->CenterOffset);
    if (Form->WindowState() == wsMaximized && M->SkinData()->TitleHeight != M->SkinData()->MaxHeight)
      R.Offset(0, (M->SkinData()->TitleHeight - M->SkinData()->MaxHeight) / 2 - 2);
  }
  const WideString Text = Form->Caption();
  if (Text.empty() || R.Right <= R.Left) return;
  TCanvas* C = Cache->Canvas();
  if (HFONT Font = CreateCaptionFont()) C->Font()->SetHandle(Font);
  SelectObject(C->Handle(), C->Font()->Handle());  // measured in the font it is drawn in
  SIZE Ext{};
  GetTextExtentPoint32W(C->Handle(), Text.c_str(), static_cast<int>(Text.size()), &Ext);
  const int Spare = R.Height() - Ext.cy;
  R.Top += Spare / 2;
  R.Bottom = R.Top + Ext.cy;
  UINT Flags = FCaptionAlignment == taRightJustify ? DT_RIGHT : (FCaptionAlignment == taCenter ? DT_CENTER : DT_LEFT);
  Flags |= DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER;
  const int TS = TitleSkinIndex();
  if (CaptionSkinIndex < 0 || !M->IsValidSectionIndex(CaptionSkinIndex)) {
    TRect TR = R;
    WriteSectionText(C, Text.c_str(), Form->Enabled(), TR, Flags, TS, FormActive, M);
    R.Left += std::min<int>(Ext.cx, R.Width());
  } else {
    TRect TR = R;
    DrawTextW(C->Handle(), Text.c_str(), -1, reinterpret_cast<RECT*>(&TR), DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    const int TW = std::min(TR.Width(), R.Width());
    TRect Plate{R.Left, R.Top, R.Left + TW, R.Bottom};
    if (FCaptionAlignment == taRightJustify) Plate.Offset(R.Right - Plate.Right, 0);
    else if (FCaptionAlignment == taCenter) Plate.Offset((R.Width() - TW) / 2, 0);
    Plate.Left -= 4;
    Plate.Right += 4;
    Plate.Top -= 2;
    Plate.Bottom += 2;
    PaintSectionWithCorners(CaptionSkinIndex, "CAPTION", MakeCacheInfo(Cache, 0, 0), true, FormActive ? 1 : 0, Plate,
                            TPoint{0, 0}, Cache, M);
    TRect TextR{Plate.Left + 4, R.Top, Plate.Right - 4, R.Bottom};
    WriteSectionText(C, Text.c_str(), Form->Enabled(), TextR, (Flags & ~(DT_RIGHT | DT_CENTER)) | DT_LEFT,
                     CaptionSkinIndex, FormActive, M);
    R.Left = Plate.Right;
  }
  // The added title after the caption.
  const WideString& Added = FAddedTitle->Text();
  if (Added.empty()) return;
  R.Left += 4;
  if (R.Left + 8 >= R.Right) return;
  C->Font()->Assign(FAddedTitle->Font());
  TColor FC = FAddedTitle->Font()->Color();
  if (M->IsValidSectionIndex(TS)) {
    const TsGeneralData& Sec = M->GeneralData()[static_cast<std::size_t>(TS)];
    if (FC == clNone || FC == clWindowText)
      FC = static_cast<TColor>(FormActive ? Sec.HotFontColor[0] : Sec.FontColor[0]);
    else if (!FormActive)
      FC = MixColorsLinear(ColorToRGB(FC), static_cast<TColor>(Sec.FontColor[0]), 0.5);
  }
  SetBkMode(C->Handle(), TRANSPARENT);
  C->Font()->SetColor(FC);
  SelectObject(C->Handle(), C->Font()->Handle());
  SetTextColor(C->Handle(), ColorToRGB(FC));
  TRect AR = R;
  DrawTextW(C->Handle(), Added.c_str(), -1, reinterpret_cast<RECT*>(&AR), (Flags & ~(DT_RIGHT | DT_CENTER)) | DT_LEFT);
}

void TsSkinProvider::PaintTitleIcon() {
  TBitmap* Cache = FSkinData->CacheBmp();
  if (Cache == nullptr || !SysIconVisible()) return;
  const TRect IR = TitleIconRect();
  const int L = IR.Left, T = IR.Top;
  TBitmap* Glyph = FTitleIcon->Glyph();
  if (Glyph != nullptr && !Glyph->Empty()) {
    const int Size = TitleIconSize(TitleBandHeight() - 2);
    const int W = FTitleIcon->Width() != 0 ? FTitleIcon->Width() : Size;
    const int H = FTitleIcon->Height() != 0 ? FTitleIcon->Height() : Size;
    if (Glyph->PixelFormat() == pf32bit) {
      BlendByMask(TRect{L, T, L + Glyph->Width(), T + Glyph->Height()}, TRect{0, 0, Glyph->Width(), Glyph->Height()},
                  Cache, Glyph, DefaultCacheInfo(), false);
    } else {
      Glyph->SetTransparentColor(clKeyColor);
      Glyph->SetTransparent(true);
      Cache->Canvas()->StretchDraw(TRect{L, T, L + W, T + H}, Glyph);
    }
    return;
  }
  const int IW = TitleIconWidth(), IH = TitleIconHeight();
  if (Form->Icon() != nullptr && Form->Icon()->Handle() != nullptr) {
    TitleIconStamp.Draw(Cache, L, T, Form->Icon()->Handle(), IW, IH);
    return;
  }
  if (Application != nullptr && Application->Handle() != nullptr) {
    auto Small = reinterpret_cast<HICON>(SendMessageW(Application->Handle(), WM_GETICON, ICON_SMALL2, 0));
    if (Small != nullptr) {
      TitleIconStamp.Draw(Cache, L, T, Small, IW, IH);
      return;
    }
  }
  const int CH = CaptionHeight(true);
  const int W = FTitleIcon->Width() != 0 ? FTitleIcon->Width() : CH - T;
  const int H = FTitleIcon->Height() != 0 ? FTitleIcon->Height() : CH - T;
  if (H > 16 && acAppIcon(true) != nullptr)
    TitleIconStamp.Draw(Cache, L, T, acAppIcon(true), W, H);
  else if (acAppIcon(false) != nullptr)
    TitleIconStamp.Draw(Cache, L, T, acAppIcon(false), W, H);
  else
    TitleIconStamp.Draw(Cache, L, T, LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)), IW, IH);
}

void TsSkinProvider::PaintGrip(HDC DC) {
  TsSkinManager* M = SkinManager();
  TBitmap* Cache = FSkinData->CacheBmp();
  if (M == nullptr || Cache == nullptr) return;
  const int GI = M->GetSectionIndex("GLOBALINFO");
  const TsMaskData* Mask = TsSkinManager::ValidMask(M, M->GetMaskIndex(GI, "GLOBALINFO", "GRIPIMAGE"));
  if (Mask == nullptr) return;
  const int GW = MaskFrameWidth(*Mask), GH = MaskFrameHeight(*Mask);
  const TPoint P = GripRect();
  std::unique_ptr<TBitmap> Work(CreateBmp24(GW, GH));
  // The client background, then whatever of the frame reaches into the corner.
  FillRectSolid(Work->Canvas()->Handle(), TRect{0, 0, GW, GH}, FormColor());
  const int ClientRight = OffsetX() + (Form != nullptr ? ClientWidth(Form->Handle()) : 0);
  const int ClientBottom = OffsetY() + (Form != nullptr ? ClientHeight(Form->Handle()) : 0);
  for (int Y = 0; Y < GH; ++Y)
    for (int X = 0; X < GW; ++X)
      if (P.X + X >= ClientRight || P.Y + Y >= ClientBottom)
        SetPixel(Work->Canvas()->Handle(), X, Y, GetPixel(Cache->Canvas()->Handle(), P.X + X, P.Y + Y));
  DrawSkinGlyph(Work.get(), TPoint{0, 0}, 0, 1, *Mask, MakeCacheInfo(Work.get(), 0, 0));
  BitBlt(DC, P.X, P.Y, GW, GH, Work->Canvas()->Handle(), 0, 0, SRCCOPY);
}

// ---- title painter and saved strips ------------------------------------------------------------

void TsSkinProvider::PaintTitle(const TRect& R) {
  TsSkinManager* M = SkinManager();
  TBitmap* Cache = FSkinData->CacheBmp();
  if (M == nullptr || Cache == nullptr || Form == nullptr) return;
  const TCacheInfo CI = MakeCacheInfo(Cache, 0, 0);
  const int TS = TitleSkinIndex();
  if (M->IsValidSectionIndex(TS))
    PaintSectionWithCorners(TS, SectionNameOf(M, TS), CI, true, FormActive ? 1 : 0, TRect{0, 0, R.Right, R.Bottom},
                            TPoint{0, 0}, Cache, M);
  PaintTitleIcon();
  const int TB = M->GetMaskIndex(FSkinData->SectionIndex, FSkinData->SkinSection(), "TITLEBAR");
  if (SysButtonCount() > 0)
    if (const TsMaskData* Mask = TsSkinManager::ValidMask(M, TB))
      DrawSkinRect(Cache, TRect{R.Right - TitleButtonsBandWidth(TB), 0, R.Right, R.Bottom}, true, CI, *Mask,
                   FormActive ? 1 : 0, true);
  SaveButtonsBackground(ChildButtonsInMenuLine());
  PaintCaptionButtons();
  HWND H = Form->Handle();
  const TRect E = ExtBorderMargins();
  const TRect FormRect{E.Left, E.Top, Cache->Width() - E.Right, Cache->Height() - E.Bottom};
  PaintCaptionText(FormRect, FormBorderWidth(H, BorderForm, true), TitleBottomInImage());
}

namespace {
// The saved strip behind the caption buttons sits at the right edge of the image.
int ButtonsBgX(const TsSkinProvider* SP, int Width) { return SP->FullWidth() - Width; }
}  // namespace

void TsSkinProvider::SaveButtonsBackground(bool Full) {
  TBitmap* Cache = FSkinData->CacheBmp();
  if (Cache == nullptr || Form == nullptr) return;
  if (!TitleButtonsBg) TitleButtonsBg = std::make_unique<TBitmap>();
  HWND H = Form->Handle();
  const TRect E = ExtBorderMargins();
  const int W = std::min(FormBorderWidth(H, BorderForm, true) + CaptionButtonsWidth() + 10 + E.Right, FullWidth());
  const int Band = WindowFrameWidth(H, BorderForm, true) + CaptionHeight(true) + E.Top;
  const int HFull = Band + FormBorderWidth(H, nullptr, false) + MenuHeight();
  TitleButtonsBg->SetPixelFormat(Cache->PixelFormat());
  TitleButtonsBg->SetSize(W, HFull);
  TitleButtonsBgRows = Full ? HFull : Band;
  CopyRect(TitleButtonsBg->Canvas()->Handle(), 0, 0, W, TitleButtonsBgRows, Cache->Canvas()->Handle(),
           ButtonsBgX(this, W), 0);
}

void TsSkinProvider::RestoreButtonsBackground() {
  TBitmap* Cache = FSkinData->CacheBmp();
  if (Cache == nullptr || !TitleButtonsBg || TitleButtonsBg->Empty()) return;
  // Only the rows that were saved go back.
  CopyRect(Cache->Canvas()->Handle(), ButtonsBgX(this, TitleButtonsBg->Width()), 0, TitleButtonsBg->Width(),
           std::min(TitleButtonsBgRows, TitleButtonsBg->Height()), TitleButtonsBg->Canvas()->Handle(), 0, 0);
}

void TsSkinProvider::SaveTitleBand() {
  TBitmap* Cache = FSkinData->CacheBmp();
  if (Cache == nullptr || Form == nullptr) return;
  HWND H = Form->Handle();
  const int BandH = WindowFrameWidth(H, BorderForm, true) + CaptionHeight(true) + ExtBorderMargins().Top;
  TitleBand.reset(CreateBmp32(Cache->Width(), BandH));
  CopyRect(TitleBand->Canvas()->Handle(), 0, 0, Cache->Width(), BandH, Cache->Canvas()->Handle(), 0, 0);
}

void TsSkinProvider::RedrawMenuLineItem(TMenuItem* Item, const TRect& R, TOwnerDrawState State) {
  if (!MenuPresent() || Form == nullptr || Form->Menu() == nullptr || Item == nullptr) return;
  TBitmap* Cache = FSkinData->CacheBmp();
  if (Cache == nullptr || !Item->OnAdvancedDrawItem) return;
  Item->OnAdvancedDrawItem(Item, Cache->Canvas(), R, State);
  HDC DC = GetWindowDC(Form->Handle());
  CopyRect(DC, R.Left, R.Top, R.Width(), R.Height(), Cache->Canvas()->Handle(), R.Left, R.Top);
  ReleaseDC(Form->Handle(), DC);
}

void TsSkinProvider::PaintFormBackground(HDC DC) {
  if (Form == nullptr || !Form->HandleAllocated()) return;
  // Without a DC the client area's own DC is used (the client background is painted at its
  // origin).
  const bool OwnDC = DC == nullptr;
  if (OwnDC) DC = GetDC(Form->Handle());
  FSkinData->Updating = false;
  if (!AnimatedShow && !Form->IsDestroying()) {
    const int State = SaveDC(DC);
    ExcludeGraphicControls(DC, Form, 0, 0);
    PaintClientBg(DC, false);  // with the grip
    RestoreDC(DC, State);
    PaintGraphicControls(DC, Form, TPoint{0, 0});
  }
  if (OwnDC) ReleaseDC(Form->Handle(), DC);
}

TPoint TsSkinProvider::WindowOriginInImage() const {
  // A border window's image holds the form at its margins, with the larger skinned frame and
  // title around the system's; without one the image is the window.
  if (BorderForm == nullptr) return TPoint{0, 0};
  const TRect E = ExtBorderMargins();
  return TPoint{E.Left + DiffBorder(BorderForm), E.Top + DiffTitle(BorderForm) + (MaxCaptionFlag ? 4 : 0)};
}

TRect TsSkinProvider::MenuLoopCoverRect() const {
  // The right end of the menu line, inside the frame: where a maximised child's buttons are.
  if (Form == nullptr || !Form->HandleAllocated()) return TRect{};
  HWND H = const_cast<TCustomForm*>(Form)->Handle();
  RECT WR;
  GetWindowRect(H, &WR);
  const TPoint O = WindowOriginInImage();
  const int Top = WindowFrameWidth(H, BorderForm, true) + CaptionHeight(true) + ExtBorderMargins().Top - O.Y;
  const int Right = (WR.right - WR.left) - FormBorderWidth(H, nullptr, false);
  return TRect{WR.left + Right - 60, WR.top + Top, WR.left + Right, WR.top + Top + KeptSystemMetric(SM_CYMENU) + 3};
}

void TsSkinProvider::MenuFormPaint(TObject* Sender) {
  // The provider's own menu form only hides the system's caption painting: it paints nothing. The
  // menu-loop cover repeats the part of the form image that lies under it.
  auto* Cover = dynamic_cast<TCustomForm*>(Sender);
  if (Cover == nullptr || Cover == MenuForm || !Cover->HandleAllocated() || Form == nullptr ||
      !Form->HandleAllocated())
    return;
  TBitmap* Cache = FSkinData->CacheBmp();
  if (Cache == nullptr) return;
  RECT CR, WR;
  GetWindowRect(Cover->Handle(), &CR);
  GetWindowRect(Form->Handle(), &WR);
  const TPoint O = WindowOriginInImage();
  HDC DC = GetDC(Cover->Handle());
  CopyRect(DC, 0, 0, 60, KeptSystemMetric(SM_CYMENU) + 3, Cache->Canvas()->Handle(), CR.left - WR.left + O.X,
           CR.top - WR.top + O.Y);
  ReleaseDC(Cover->Handle(), DC);
}

// ---- copies to the screen ----------------------------------------------------------------------

int TsSkinProvider::MenuLineCount() {
  if (MenuLineRows != -1) return MenuLineRows;
  if (Form == nullptr || Form->Menu() == nullptr || !Form->HandleAllocated()) return 1;
  HWND H = Form->Handle();
  const int F = FormBorderWidth(H, BorderForm, true);
  int Rows = 1, X = F;
  ForEachMenuLineItem(H, Form->Menu(), [&](TMenuItem*, const RECT& R) {
    const int W = R.right - R.left;
    if (Form->Width() - 2 * F < X + W) {
      ++Rows;
      X = F;
    }
    X += W;
  });
  MenuLineRows = Rows;
  return Rows;
}

bool TsSkinProvider::MenuPresent() const {
  if (Form == nullptr || Form->BorderStyle() == bsDialog || Form->FormStyle() == fsMDIChild || Form->Menu() == nullptr)
    return false;
  auto AnyVisible = [](TMainMenu* Menu) {
    for (int I = 0; Menu != nullptr && I < Menu->Items()->Count(); ++I)
      if (Menu->Items()->Items(I)->Visible()) return true;
    return false;
  };
  if (AnyVisible(Form->Menu())) return true;
  if (Form->FormStyle() == fsMDIForm && Form->HandleAllocated())
    if (TCustomForm* Child = const_cast<TCustomForm*>(Form)->ActiveMDIChild()) return AnyVisible(Child->Menu());
  return false;
}

void TsSkinProvider::PaintNonClient(HDC DC) {
  if (Form == nullptr || !Form->HandleAllocated()) return;
  // The image is built again when it is out of date; outside the skin-paint mode also when the
  // title is (a change of the menu marks only that).
  if (FSkinData->BackgroundStale || (!FSkinData->IsSkinPaintMode() && TitleDirty)) {
    FullRepaint = true;
    FSkinData->BackgroundStale = true;
    PaintAll(this);
    FSkinData->BackgroundStale = false;
    FSkinData->SetUpdating(false);
  }
  TBitmap* Cache = FSkinData->CacheBmp();
  if (Cache == nullptr) return;
  HDC Src = Cache->Canvas()->Handle();
  const int FW = Form->Width(), FH = Form->Height();
  const int H = TitleBandHeight();
  const int L = LeftFrameWidth(true);
  const int B = BottomFrameWidth(true);
  const int F = FormBorderWidth(Form->Handle(), BorderForm, true);
  CopyRect(DC, 0, 0, FW, H, Src, 0, 0);
  CopyRect(DC, 0, H, L, Cache->Height() - H, Src, 0, H);
  CopyRect(DC, L, FH - B, FW - L, B, Src, L, FH - B);
  CopyRect(DC, Cache->Width() - F, H, F, Cache->Height() - H, Src, Cache->Width() - F, H);
}

void TsSkinProvider::PaintClientBg(HDC DC, bool NotifyChildren) {
  if (Form == nullptr || !Form->HandleAllocated()) return;
  RECT CR{};
  GetClientRect(Form->Handle(), &CR);
  if ((FSkinData->StateBits & 1) != 0) {
    FillRectSolid(DC, TRect{CR.left, CR.top, CR.right, CR.bottom}, FormColor());
    // A plain form has no grip in its image: it is drawn straight into the client area.
    if (GripVisible()) {
      const int State = SaveDC(DC);
      SetWindowOrgEx(DC, OffsetX(), OffsetY(), nullptr);
      PaintGrip(DC);
      RestoreDC(DC, State);
    }
  } else {
    if (!FSkinData->Updating) PaintAll(this);
    TBitmap* Cache = FSkinData->CacheBmp();
    if (Cache != nullptr && Form->FormStyle() != fsMDIForm)
      CopyRect(DC, 0, 0, CR.right, CR.bottom, Cache->Canvas()->Handle(), OffsetX(), OffsetY());
    if (NotifyChildren) RefreshChildControls(Form);
  }
  PaintGraphicControls(DC, Form, TPoint{0, 0});
  FullRepaint = false;
}

void TsSkinProvider::WMNCPaint(TMessage& Message) {
  if (!FDrawNonClientArea || Form == nullptr || !Form->HandleAllocated()) return;
  if (FResizeMode == rmBorder && IsDwmCompositionEnabled()) FResizeMode = rmStandard;
  HWND H = Form->Handle();
  // A child behind the maximised one of its MDI main form is not seen.
  if (Form->FormStyle() == fsMDIChild && SkinnedMDIMainProvider != nullptr && SkinnedMDIMainProvider != this)
    if (TCustomForm* Max = MaximizedChildOf(SkinnedMDIMainProvider->Form); Max != nullptr && Max != Form) return;
  const bool Iconic = IsIconic(H) != FALSE;
  const LONG Style = GetWindowLongW(H, GWL_STYLE);
  // The system paints the frame of a window whose size changes before it reports the new size
  // (WM_WINDOWPOSCHANGED): the form still has its old bounds, and an image made now would be made
  // for them and again at once. The report repaints the frame (WM_SIZE, or the next WM_PAINT).
  // A size the form does not take up by the next paint is painted as it is.
  RECT WR{};
  if (!Iconic && Message.Msg == WM_NCPAINT && GetWindowRect(H, &WR)) {
    if (FrameWait.Wait(TSize{WR.right - WR.left, WR.bottom - WR.top}, TSize{Form->Width(), Form->Height()})) return;
  } else {
    FrameWait.Clear();
  }
  if (RgnChanged && !RgnUpdating) {
    if (HasBorder() || (Style & WS_THICKFRAME) != 0 || Iconic) {
      FillRgnRects();
      RgnChanged = false;
      const bool Quiet = Form->FormState().Contains(fsShowing) && Form->Position() != poDefault &&
                         Form->WindowState() != wsMaximized;
      // A form of a plain background has children painted over a colour, not over its image: a
      // new region needs its frame (this paint) and the part of its own client area that it
      // uncovers painted again, not every window on it.
      const bool Plain = !Quiet && !FSkinData->IsSkinPaintMode();
      HRGN Before = Plain ? WindowRegionOf(H) : nullptr;
      const TRgnApplied Applied = ApplyFormRgn(!Quiet && !Plain);
      // Applying the region marks it changed; this paint has handled it.
      RgnChanged = false;
      if (Plain && Applied == TRgnApplied::Changed)
        RepaintUncovered(H, Before, [this](HDC DC) { PaintFormBackground(DC); });
      if (Before != nullptr) DeleteObject(Before);
      if (!Plain && !Quiet && Applied == TRgnApplied::Changed) return;  // the region change repaints
    }
  }
  FSkinData->SetUpdating(false);
  if (FSkinData->CacheBmp() == nullptr || FSkinData->CacheBmp()->Empty()) FSkinData->BackgroundStale = true;
  const bool Print = Message.Msg == WM_PRINT && Message.WParam != 0;
  HDC DC = Print ? reinterpret_cast<HDC>(Message.WParam) : GetWindowDC(H);
  const int State = SaveDC(DC);
  if (BorderForm != nullptr && !Iconic) {
    if (FSkinData->BackgroundStale) PaintAll(this);
    TBitmap* Cache = FSkinData->CacheBmp();
    if (Cache != nullptr && MenuPresent()) {
      const int SF = FormBorderWidth(H, nullptr, false);
      const int SC = CaptionHeight(false);
      const int MR = MenuLineCount();
      // The line goes where the system has its menu bar, right below the title that the border
      // window shows; the bar's last row, one more than the image's line has, takes the image's
      // row below the line.
      CopyRect(DC, SF, SC + SF - (MaxCaptionFlag ? 4 : 0), Form->Width() - 2 * SF, MR * MenuHeight() + 1,
               Cache->Canvas()->Handle(), OffsetX(), OffsetY() - MR * MenuHeight());
    }
  } else if (HasBorder() || (Style & WS_THICKFRAME) == 0 || Iconic) {
    PaintNonClient(DC);
  } else {
    // A borderless sizable form: four strips of the frame.
    if (FSkinData->BackgroundStale) PaintAll(this);
    TBitmap* Cache = FSkinData->CacheBmp();
    if (Cache != nullptr) {
      HDC Src = Cache->Canvas()->Handle();
      const int T = LeftFrameWidth(true) + 3;
      const int W = Form->Width(), Hh = Form->Height();
      CopyRect(DC, 0, 0, W, T, Src, 0, 0);
      CopyRect(DC, 0, T, T, Hh - T, Src, 0, T);
      CopyRect(DC, T, Hh - T, W - T, T, Src, T, Hh - T);
      CopyRect(DC, W - T, T, T, Hh - 2 * T, Src, W - T, T);
    }
  }
  RestoreDC(DC, State);
  if (!Print) ReleaseDC(H, DC);
  Message.Result = 0;
}

void TsSkinProvider::WMPaint(TMessage& Message) {
  if (Form == nullptr || !Form->HandleAllocated()) return;
  HWND H = Form->Handle();
  if (acFormsUpdating && Message.WParam == 0 && acAnimationDC != nullptr) return;
  PAINTSTRUCT PS{};
  const bool Began = Message.WParam == 0;
  HDC DC = Began ? BeginPaint(H, &PS) : reinterpret_cast<HDC>(Message.WParam);
  const int State = SaveDC(DC);
  FSkinData->Updating = false;
  if (!AnimatedShow && !Form->IsDestroying()) PaintClientBg(DC, true);
  RestoreDC(DC, State);
  if (Began) EndPaint(H, &PS);
  Message.Result = 0;
}

void TsSkinProvider::RedrawNonClient() {
  if (SkinChanging || Form == nullptr || !Form->Visible() || !FDrawNonClientArea || !Form->HandleAllocated()) return;
  if (Form->FormStyle() == fsMDIChild && Form->WindowState() == wsMaximized && SkinnedMDIMainProvider != nullptr &&
      SkinnedMDIMainProvider != this && SkinnedMDIMainProvider->Form != nullptr &&
      SkinnedMDIMainProvider->Form->HandleAllocated()) {
    TsSkinProvider* P = SkinnedMDIMainProvider;
    P->FSkinData->BackgroundStale = true;
    HDC DC = GetWindowDC(P->Form->Handle());
    P->PaintNonClient(DC);
    ReleaseDC(P->Form->Handle(), DC);
    return;
  }
  FSkinData->BackgroundStale = true;
  if (BorderForm != nullptr) {
    BorderForm->UpdateBorderWindow(true, 255);
    return;
  }
  HDC DC = GetWindowDC(Form->Handle());
  PaintNonClient(DC);
  ReleaseDC(Form->Handle(), DC);
}

// ---- the menu form -----------------------------------------------------------------------------

void TsSkinProvider::ShowMenuForm(bool WholeForm) {
  if (!FDrawNonClientArea || SkinChanging || RedrawLockCount >= 1 || Form == nullptr || !Form->HandleAllocated()) return;
  if (Form->FormStyle() == fsMDIChild && SkinnedMDIMainProvider != nullptr && SkinnedMDIMainProvider->RedrawLockCount > 0)
    return;
  if (MenuForm == nullptr) {
    MenuForm = new TForm(Application);
    MenuForm->SetBorderStyle(bsNone);
    MenuForm->SetTag(-98);
    MenuFormOldProc = MenuForm->WindowProc();
    MenuForm->SetWindowProc([this](TMessage& M) {
      if (M.Msg == WM_ERASEBKGND) {
        M.Result = 1;
        return;
      }
      if (M.Msg == WM_PAINT) {
        PAINTSTRUCT PS;
        BeginPaint(MenuForm->Handle(), &PS);
        EndPaint(MenuForm->Handle(), &PS);
        MenuFormPaint(MenuForm);
        M.Result = 0;
        return;
      }
      MenuFormOldProc(M);
    });
  }
  HWND H = Form->Handle();
  RECT WR{};
  GetWindowRect(H, &WR);
  int X = WR.left, Y = WR.top, W = WR.right - WR.left, Hh = WholeForm ? WR.bottom - WR.top : TitleBandHeight();
  if (BorderForm != nullptr) {
    const int SF = FormBorderWidth(H, nullptr, false);
    const int MR = MenuLineCount();
    X = WR.left + SF;
    Y = WR.top + OffsetY() - MR * MenuHeight() - ExtBorderMargins().Top - DiffTitle(BorderForm);
    W = W - 2 * SF;
    Hh = MR * MenuHeight() + (MR * MenuHeight() != 0 ? 1 : 0);
  }
  const bool Topmost = (GetWindowLongW(H, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  SetWindowPos(MenuForm->Handle(), Topmost ? HWND_TOPMOST : H, X, Y, W, Hh, 0x658);
}

void TsSkinProvider::FreeMenuForm() {
  if (MenuForm == nullptr) return;
  TForm* F = MenuForm;
  MenuForm = nullptr;
  F->SetWindowProc(MenuFormOldProc);
  delete F;
}
