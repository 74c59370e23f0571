// The panel adapters: framework panels, the client windows of system dialogs and panels inside
// dialogs. Part of the adapters declared in acMoreAdapters.h. Win32.
#include "skin/controls/acMoreAdapters.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "framework/Scopes.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

// ==== TacPanelWnd ==================================================================================

namespace {

AnsiString PanelDefaultSection(TsCommonData* D, const AnsiString& Given) {
  if (!Given.empty()) return Given;
  if (D != nullptr && !D->SkinSection().empty() && D->SkinSection() != "UNKNOWN") return D->SkinSection();
  return TacPanelWnd::SectionByBevels(D != nullptr ? dynamic_cast<TWinControl*>(D->OwnerControl()) : nullptr);
}

}  // namespace

TacPanelWnd::TacPanelWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                         const AnsiString& SkinSection)
    : TacMainWnd(Handle, ASkinData, ASkinManager, PanelDefaultSection(ASkinData, SkinSection)) {}

AnsiString TacPanelWnd::SectionByBevels(TWinControl* Panel) {
  auto* P = dynamic_cast<TCustomPanel*>(Panel);
  if (P == nullptr) return "CHECKBOX";
  switch (P->BevelOuter()) {
    case bvLowered:
      return P->BevelInner() == bvRaised ? "GROUPBOX" : "PANEL_LOW";
    case bvRaised:
      return P->BevelInner() == bvLowered ? "GROUPBOX" : "PANEL";
    default:
      return P->BorderStyle() == bsSingle ? "PANEL_LOW" : "CHECKBOX";
  }
}

bool TacPanelWnd::Handles() const {
  TControl* C = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  return C != nullptr && C->ControlStyle().Contains(csAcceptsControls);
}

void TacPanelWnd::PrepareCache() {
  TCacheInfo CI;
  TBitmap* Bmp = BeginWindowCache(this, CI);
  const int W = Bmp->Width(), H = Bmp->Height();
  PaintControlSkin(SkinData, CI, true, 0, TRect(0, 0, W, H), TPoint(WndPos.X, WndPos.Y), Bmp);
  SkinData->BackgroundStale = false;
  // The caption, centred in the client part inside the border and the bevels.
  auto* P = dynamic_cast<TCustomPanel*>(SkinData->OwnerControl());
  const WideString Text = WndText;
  if (Text.empty()) return;
  const TSize CS = WindowClientSize(CtrlHandle);
  const int FW = (W - CS.cx) / 2;
  TRect R(FW, FW, FW + CS.cx, FW + CS.cy);
  if (P != nullptr) {
    int Inset = P->BorderWidth();
    if (P->BevelOuter() != bvNone) Inset += P->BevelWidth();
    if (P->BevelInner() != bvNone) Inset += P->BevelWidth();
    R = TRect(R.Left + Inset, R.Top + Inset, R.Right - Inset, R.Bottom - Inset);
    Bmp->Canvas()->SetFont(P->Font());
  } else {
    TakeWindowFont(Bmp->Canvas(), CtrlHandle);
  }
  Bmp->Canvas()->Brush()->SetStyle(bsClear);
  const int TH = Bmp->Canvas()->TextHeight(AnsiString("W"));
  const int Top = R.Top + (R.Height() - TH) / 2;
  TRect L(R.Left, Top, R.Right, Top + TH);
  DrawCaptionText(Bmp->Canvas(), Text.c_str(), P == nullptr || P->Enabled(), L, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                  SkinData, false);
}

void TacPanelWnd::PaintBackground(HDC GivenDC) {
  auto* Ctrl = dynamic_cast<TWinControl*>(SkinData->OwnerControl());
  if ((Ctrl != nullptr && Ctrl->IsDestroying()) || (Ctrl != nullptr && Ctrl->Parent() != nullptr &&
                           Ctrl->Parent()->ControlState().Contains(csCreating)))
    return;
  HDC DC = GivenDC != nullptr ? GivenDC : GetDC(CtrlHandle);
  const int Saved = SaveDC(DC);
  SkinData->Updating = SkinData->GetUpdating();
  if (!SkinData->Updating) {
    if (FOutOfParent || SkinData->BackgroundStale || SkinData->CacheBmp() == nullptr) PrepareCache();
    GetWndRects(this);
    // A part painted alone is clipped to that part: the clip says nothing of the parent's edges.
    if (FPartialPaint) {
      FPartPainted = true;
    } else if (SkinData->ParentDependent()) {
      RECT Clip{};
      GetClipBox(DC, &Clip);
      FOutOfParent = (Clip.right - Clip.left) != WndSize.cx || (Clip.bottom - Clip.top) != WndSize.cy;
    } else {
      FOutOfParent = false;
    }
    const TSize CS = WindowClientSize(CtrlHandle);
    const int FW = (WndSize.cx - CS.cx) / 2;
    CopyCacheExceptControls(Ctrl, SkinData, TPoint(FW, FW), 0, 0, false, DC, TRect(0, 0, CS.cx, CS.cy));
    if (Ctrl != nullptr) {
      PaintGraphicControls(DC, Ctrl, TPoint(0, 0));
      // The picture under the children changed only when the whole window was painted.
      if (!FPartialPaint) RefreshChildControls(Ctrl);
    }
  }
  RestoreDC(DC, Saved);
  if (GivenDC == nullptr) ReleaseDC(CtrlHandle, DC);
}

bool TacPanelWnd::PaintInvalidPart() {
  // The whole window is painted again (below) whenever its picture is to be made again, or while
  // painting is held back: the children then learn that the picture under them is new.
  if (SkinData->Updating || SkinData->BackgroundStale || FOutOfParent || SkinData->CacheBmp() == nullptr ||
      SkinData->CacheBmp()->Empty())
    return false;
  RECT Client{}, Update{};
  GetClientRect(CtrlHandle, &Client);
  if (!GetUpdateRect(CtrlHandle, &Update, FALSE) || EqualRect(&Client, &Update)) return false;
  // The picture has not changed: what lies outside the invalid part shows it already.
  FPartialPaint = true;
  FPartPainted = false;
  TScopeExit Done([this] { FPartialPaint = false; });
  PAINTSTRUCT PS{};
  BeginOwnPaint(CtrlHandle, &PS);
  TScopeExit EndPaintScope([&] { EndPaint(CtrlHandle, &PS); });
  // The erase that BeginPaint sends may have painted it already.
  if (!FPartPainted) PaintBackground(PS.hdc);
  return true;
}

void TacPanelWnd::PaintFrame(HDC GivenDC) {
  // The cache is brought up to date here: the frame may be painted before the client area.
  if (SkinData->BackgroundStale || SkinData->CacheBmp() == nullptr) PrepareCache();
  GetWndRects(this);
  const TSize CS = WindowClientSize(CtrlHandle);
  const int FW = (WndSize.cx - CS.cx) / 2;
  if (FW <= 0 || SkinData->CacheBmp() == nullptr) return;
  HDC DC = GivenDC != nullptr ? GivenDC : GetWindowDC(CtrlHandle);
  BltFrame(DC, 0, 0, WndSize.cx, WndSize.cy, SkinData->CacheBmp()->Canvas()->Handle(), 0, 0, FW);
  if (GivenDC == nullptr) ReleaseDC(CtrlHandle, DC);
}

void TacPanelWnd::WndProc(TMessage& Message) {
  if (SkinData == nullptr || !Handles()) {
    TacMainWnd::WndProc(Message);
    return;
  }
  TControl* Ctrl = SkinData->OwnerControl();
  if (Message.Msg == SM_ALPHACMD) {
    switch (AlphaCmdCode(Message.WParam)) {
      case AC_NEWSKIN:
      case AC_REFRESHSKIN:
        TacMainWnd::WndProc(Message);
        BroadcastToChildren(Ctrl, CtrlHandle, Message);
        return;
      case AC_SKINREMOVED:
        SkinData->SectionIndex = -1;
        Ctrl->SetControlStyle(Ctrl->ControlStyle() - csOpaque);
        TacMainWnd::WndProc(Message);
        return;
      case AC_REFRESHIFSKINNED:
        SkinData->Updating = false;
        RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
        return;
      case AC_ISSKINNED:
        Message.Result = 1;
        return;
      case AC_PREPARECACHE:
        return;
      case AC_GETAPPLICATION:
        Message.Result = reinterpret_cast<LRESULT>(Application);
        return;
      default:
        TacMainWnd::WndProc(Message);
        return;
    }
  }
  const bool On = SkinnedUnderActiveManager(SkinData);
  switch (Message.Msg) {
    case WM_NCPAINT:
      if (!On) break;
      PaintFrame(nullptr);
      Message.Result = 0;
      return;
    case WM_SETTEXT:
      if (!On || !IsWindowVisible(CtrlHandle)) break;
      if (!PassOnWithoutRedraw(this, [&] { TacMainWnd::WndProc(Message); })) return;
      SkinData->BackgroundStale = true;
      InvalidateRect(CtrlHandle, nullptr, TRUE);
      return;
    case WM_PAINT: {
      if (!On) break;
      if (Message.WParam != 0 || !PaintInvalidPart()) RepaintThroughErase(CtrlHandle);
      Message.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
      if (!On) break;
      if (!ErasedBeforeItsPaint(CtrlHandle, reinterpret_cast<HDC>(Message.WParam)))
        PaintBackground(reinterpret_cast<HDC>(Message.WParam));
      Message.Result = 1;
      return;
    case WM_UPDATEUISTATE:
      if (!On) break;
      Message.Result = 1;
      return;
    case WM_PARENTNOTIFY:
      if (!On || (LOWORD(Message.WParam) != WM_CREATE && LOWORD(Message.WParam) != WM_DESTROY)) break;
      TacMainWnd::WndProc(Message);
      if (LOWORD(Message.WParam) == WM_CREATE) NotifyParentFormLoaded(Ctrl);
      return;
    case WM_PRINT:
      if (!On) break;
      PaintBackground(reinterpret_cast<HDC>(Message.WParam));
      PaintFrame(reinterpret_cast<HDC>(Message.WParam));
      return;
    case WM_WINDOWPOSCHANGING:
      TacMainWnd::WndProc(Message);
      if (On) SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
      return;
    default:
      break;
  }
  TacMainWnd::WndProc(Message);
}

// ==== TacTransPanelWnd =============================================================================

void TacTransPanelWnd::PaintPanel() {
  GetWndRects(this);
  PAINTSTRUCT PS{};
  BeginPaint(CtrlHandle, &PS);
  HDC DC = GetWindowDC(CtrlHandle);
  SkinData->BackgroundStale = true;
  PrepareWindowCache(SkinData, CtrlHandle, DlgMode);
  CopyCacheExceptWindows(CtrlHandle, SkinData, TPoint(0, 0), 0, 0, false, DC, TRect(0, 0, WndSize.cx, WndSize.cy));
  ReleaseDC(CtrlHandle, DC);
  EndPaint(CtrlHandle, &PS);
}

void TacTransPanelWnd::WndProc(TMessage& Message) {
  if (SkinnedUnderActiveManager(SkinData)) {
    if (Message.Msg == WM_ERASEBKGND) {
      PaintPanel();
      Message.Result = 1;
      return;
    }
    if (Message.Msg == WM_NCPAINT) {
      Message.Result = 0;
      return;
    }
  }
  TacMainWnd::WndProc(Message);
}

// ==== TacDlgPanelWnd ===============================================================================

namespace {

// The framework control of a window: through the application's components first, then through
// the window itself (forms that the application does not own).
TWinControl* ControlOfWindow(HWND Handle) {
  TWinControl* C = Application != nullptr ? FindWinControlByHandle(Handle, Application) : nullptr;
  return C != nullptr ? C : FindControl(Handle);
}

AnsiString DlgPanelSection(HWND Handle, const AnsiString& Given) {
  if (!Given.empty()) return Given;
  return dynamic_cast<TPanel*>(ControlOfWindow(Handle)) != nullptr ? AnsiString("CHECKBOX") : AnsiString("GROUPBOX");
}

}  // namespace

TacDlgPanelWnd::TacDlgPanelWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                               const AnsiString& SkinSection)
    : TacMainWnd(Handle, ASkinData, ASkinManager, DlgPanelSection(Handle, SkinSection)) {
  Control = ControlOfWindow(Handle);
  TakeGlobalColor();
}

void TacDlgPanelWnd::TakeGlobalColor() {
  auto* P = dynamic_cast<TPanel*>(Control);
  TsSkinManager* M = SkinData != nullptr ? SkinData->GetSkinManager() : nullptr;
  if (P != nullptr && M != nullptr && P->Color() != M->GetGlobalColor()) P->SetColor(M->GetGlobalColor());
}

void TacDlgPanelWnd::SetSkinParams() {
  TacMainWnd::SetSkinParams();
  TakeGlobalColor();
}

void TacDlgPanelWnd::PrepareCache() {
  TCacheInfo CI;
  TBitmap* Bmp = BeginWindowCache(this, CI);
  PaintControlSkin(SkinData, CI, true, 0, TRect(0, 0, Bmp->Width(), Bmp->Height()), TPoint(WndPos.X, WndPos.Y), Bmp);
  SkinData->BackgroundStale = false;
}

void TacDlgPanelWnd::PaintClient(HDC GivenDC) {
  if (!SkinnedUnderActiveManager(SkinData)) return;
  HDC DC = GivenDC != nullptr ? GivenDC : GetDC(CtrlHandle);
  const int Saved = SaveDC(DC);
  SkinData->Updating = SkinData->GetUpdating();
  if (!SkinData->Updating) {
    PrepareCache();
    const TSize CS = WindowClientSize(CtrlHandle);
    const int FW = (WndSize.cx - CS.cx) / 2;
    BitBlt(DC, 0, 0, CS.cx, CS.cy, SkinData->CacheBmp()->Canvas()->Handle(), FW, FW, SRCCOPY);
  }
  RestoreDC(DC, Saved);
  if (GivenDC == nullptr) ReleaseDC(CtrlHandle, DC);
}

void TacDlgPanelWnd::PaintFrame(HDC GivenDC) {
  GetWndRects(this);
  const TSize CS = WindowClientSize(CtrlHandle);
  // The band the window leaves unpainted inside its client area belongs to the frame as well.
  const int FW = (WndSize.cx - CS.cx) / 2 + 6;
  if (FW <= 0) return;
  SkinData->BackgroundStale = true;
  PrepareCache();
  HDC DC = GivenDC != nullptr ? GivenDC : GetWindowDC(CtrlHandle);
  BltFrame(DC, 0, 0, WndSize.cx, WndSize.cy, SkinData->CacheBmp()->Canvas()->Handle(), 0, 0, FW);
  if (GivenDC == nullptr) ReleaseDC(CtrlHandle, DC);
}

void TacDlgPanelWnd::WndProc(TMessage& Message) {
  if (SkinData == nullptr) {
    TacMainWnd::WndProc(Message);
    return;
  }
  if (Message.Msg == SM_ALPHACMD) {
    if (AlphaCmdCode(Message.WParam) == AC_NEWSKIN) BroadcastToChildren(nullptr, CtrlHandle, Message);
    TacMainWnd::WndProc(Message);
    return;
  }
  if (!SkinnedUnderActiveManager(SkinData)) {
    TacMainWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_UPDATEUISTATE:
      Message.Result = 1;
      return;
    case WM_SETTEXT:
      if (IsWindowVisible(CtrlHandle)) SkinData->BackgroundStale = true;
      break;
    case WM_PAINT: {
      if (Message.WParam != 0) break;  // painting into a given DC: the window's own procedure
      TakeGlobalColor();
      ValidateWithoutPainting(CtrlHandle);
      Message.Result = 0;
      return;
    }
    case WM_ERASEBKGND: {
      HDC DC = reinterpret_cast<HDC>(Message.WParam);
      const int Saved = SaveDC(DC);
      PaintClient(DC);
      GetWndRects(this);
      IntersectClipRect(DC, 6, 6, WndSize.cx - 6, WndSize.cy - 6);
      CallOldWndProc(this, CtrlHandle, WM_PAINT, Message.WParam, Message.LParam);
      RestoreDC(DC, Saved);
      Message.Result = 1;
      return;
    }
    case WM_NCPAINT:
      PaintFrame(nullptr);
      Message.Result = 1;
      return;
    case WM_PRINT:
      PaintClient(reinterpret_cast<HDC>(Message.WParam));
      PaintFrame(reinterpret_cast<HDC>(Message.WParam));
      return;
    case WM_PARENTNOTIFY:
      if (LOWORD(Message.WParam) != WM_CREATE && LOWORD(Message.WParam) != WM_DESTROY) break;
      TacMainWnd::WndProc(Message);
      TakeGlobalColor();
      if (LOWORD(Message.WParam) == WM_CREATE && Control != nullptr) NotifyParentFormLoaded(Control);
      return;
    case WM_THEMECHANGED:
      if (Control != nullptr) Control->SetColor(clBtnFace);
      break;
    default:
      break;
  }
  TacMainWnd::WndProc(Message);
}
