// The scrollable-control adapters: TacBaseWnd, TacEditWnd, the MDI client and popup-menu window
// adapters. List, tree and grid adapters are in acListAdapters.cpp, the combo adapters in
// acComboAdapters.cpp.
#include "skin/controls/acScrollAdapters.h"

#include "framework/Forms.h"
#include "skin/controls/acScrollAdaptersInternal.h"
#include "skin/core/acAnimation.h"
#include "skin/core/acGlow.h"
#include "skin/core/acPixels.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sFormList.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sStyleSimply.h"
#include "skin/core/sVclUtils.h"
#include "skin/controls/sSplitter.h"

bool acSkinnedMenuShown = false;
TacMDIProviderLink acMDIProviderLink;
TacMenuWndLink acMenuWndLink;

namespace acscroll {

bool HasSkinSection(const TacMainWnd* A) { return A->SkinData != nullptr && A->SkinData->IsSkinned(false); }

bool IsFromManager(const TacMainWnd* A, LPARAM LParam) {
  return A->SkinData != nullptr && LParam != 0 &&
         reinterpret_cast<TsSkinManager*>(LParam) == A->SkinData->GetSkinManager();
}

TsSkinManager* ManagerOf(const TacMainWnd* A) {
  if (A->SkinManager != nullptr) return A->SkinManager;
  return A->SkinData != nullptr ? A->SkinData->GetSkinManager() : nullptr;
}

const TsGeneralData* SectionOf(const TacMainWnd* A) { return A->SkinData != nullptr ? A->SkinData->Section() : nullptr; }

void NcPaint(HWND W) {
  if (IsWindowVisible(W)) SendMessageW(W, WM_NCPAINT, 0, 0);
}

HDC CacheDC(TsCommonData* SkinData) {
  TBitmap* B = SkinData != nullptr ? SkinData->CacheBmp() : nullptr;
  return B != nullptr && !B->Empty() ? B->Canvas()->Handle() : nullptr;
}

int BarThickness(const TacScrollBar* Bar) { return Bar != nullptr && Bar->Visible ? GetBarSize(Bar, true, false) : 0; }

bool HasProp(TObject* Obj, const char* Name) { return Obj != nullptr && HasProperty(Obj, Name); }

}  // namespace acscroll

using namespace acscroll;

// ---- TacBaseWnd ---------------------------------------------------------------------------------

void TacBaseWnd::WndProc(TMessage& Message) {
  if (Destroyed || !HasSkinSection(this)) {
    TacScrollWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case SM_ALPHACMD:
      switch (AlphaCmdCode(Message.WParam)) {
        case AC_REFRESHSKIN:
          if (IsFromManager(this, Message.LParam)) {
            if (AdapterGoesOnAfter(this, [&] { TacScrollWnd::WndProc(Message); }) && IsWindowVisible(CtrlHandle))
              SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
            return;
          }
          break;
        case AC_PREPARECACHE:
          PrepareWindowCache(SkinData, CtrlHandle, false);
          break;
        default:
          break;
      }
      break;
    case WM_SIZE:
      SkinData->BackgroundStale = true;
      break;
    case WM_SETCURSOR:
      Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
      return;
    case 0x2100:
      return;
    default:
      break;
  }
  if (!AdapterGoesOnAfter(this, [&] { TacScrollWnd::WndProc(Message); })) return;
  switch (Message.Msg) {
    case WM_SIZE:
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (!Scrolling) UpdateScrollInfo(this, true);
      break;
    case WM_ENABLE:
    case CM_ENABLEDCHANGED:
      NcPaint(CtrlHandle);
      break;
    default:
      break;
  }
}

// ---- TacEditWnd ---------------------------------------------------------------------------------

TacEditWnd::TacEditWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection)
    : TacBaseWnd(Handle, ASkinData, ASkinManager, SkinSection.empty() ? AnsiString("EDIT") : SkinSection) {}

TacEditWnd::~TacEditWnd() { DetachOnDestroy(); }

void TacEditWnd::SaveStdParams() {
  TacBaseWnd::SaveStdParams();
  TControl* C = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  if (C == nullptr) return;
  OldColor = C->Color();
  OldFontColor = C->Font()->Color();
  if (HasProp(C, "FocusColor")) OldFocusColor = GetOrdPropByName(C, "FocusColor");
}

void TacEditWnd::RestoreStdParams() {
  TacBaseWnd::RestoreStdParams();
  if (CtrlHandle != nullptr && IsWindowVisible(CtrlHandle))
    SetWindowPos(CtrlHandle, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
  TControl* C = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  if (C == nullptr || C->IsDestroying()) return;
  C->SetColor(OldColor);
  C->Font()->SetColor(OldFontColor);
  if (HasProp(C, "FocusColor")) SetOrdPropByName(C, "FocusColor", OldFocusColor);
}

void TacEditWnd::SetSkinParams() {
  IgnoreStyleChange = true;
  TacBaseWnd::SetSkinParams();
  TControl* C = SkinData != nullptr ? SkinData->OwnerControl() : nullptr;
  if (C != nullptr) {
    if (!SkinData->CustomColor()) {
      const TColor Bg = SkinData->GetBackgroundColor(SkinData->GetHotState(), CtrlHandle);
      if (HasProp(C, "FocusColor")) {
        if (C->Color() != Bg) SetOrdPropByName(C, "Color", Bg);
        SetOrdPropByName(C, "FocusColor", Bg);
      } else if (C->Color() != Bg) {
        C->SetColor(Bg);
      }
    }
    const TsGeneralData* S = SectionOf(this);
    if (!SkinData->CustomFont() && S != nullptr && C->Font()->Color() != S->HotFontColor[0])
      C->Font()->SetColor(S->HotFontColor[0]);
  } else if (SkinData != nullptr) {
    const TsGeneralData* S = SectionOf(this);
    WindowColor = !DlgMode && S != nullptr ? static_cast<TColor>(S->Color) : clWindow;
    FrameColor = 0;
  }
  if (SkinData != nullptr) SkinData->BackgroundStale = true;
  IgnoreStyleChange = false;
}

bool TacEditWnd::UpdateFrameCache() {
  GetWndRects(this);
  SkinData->Updating = SkinData->GetUpdating();
  if (SkinData->Updating) return false;
  if (SkinData->BackgroundStale) {
    if (!ParamsChanged) SetSkinParams();
    PrepareWindowCache(SkinData, CtrlHandle, DlgMode);
  }
  return true;
}

void TacEditWnd::BeginPrint() {
  GetWndRects(this);
  SkinData->Updating = false;
  SkinData->BackgroundStale = true;
  if (!ParamsChanged) SetSkinParams();
}

void TacEditWnd::BltCacheFrame(HDC DC, int FrameWidth) {
  TBitmap* Cache = SkinData->CacheBmp();
  if (HDC Src = CacheDC(SkinData))
    BltFrame(DC, 0, 0, Cache->Width(), Cache->Height(), Src, 0, 0, FrameWidth);
}

void TacEditWnd::ClipToClientPart(HDC DC) {
  TBitmap* Cache = SkinData->CacheBmp();
  const int W = Cache != nullptr ? Cache->Width() : WndSize.cx;
  const int H = Cache != nullptr ? Cache->Height() : WndSize.cy;
  MoveWindowOrg(DC, InsetLeft, InsetLeft);
  IntersectClipRect(DC, 0, 0, W - 2 * InsetLeft - BarThickness(VertBar), H - 2 * InsetLeft - BarThickness(HorzBar));
}

void TacEditWnd::WndProc(TMessage& Message) {
  if (Destroyed || !HasSkinSection(this)) {
    TacBaseWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case SM_ALPHACMD:
      switch (AlphaCmdCode(Message.WParam)) {
        case AC_REFRESHSKIN:
          if (IsFromManager(this, Message.LParam)) {
            if (AdapterGoesOnAfter(this, [&] { TacBaseWnd::WndProc(Message); })) SetSkinParams();
            return;
          }
          break;
        case AC_REFRESHIFSKINNED:
          ResumeUpdating(SkinData, CtrlHandle,
                         RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
          break;
        case AC_ISSKINNED:
          Message.Result = 1;
          return;
        case AC_PREPARECACHE:
          GetWndRects(this);
          PrepareWindowCache(SkinData, CtrlHandle, DlgMode);
          FillBorderCorners(SkinData, 0, this);
          return;
        case AC_GETSECTION:
          Message.Result = SkinData->SectionIndex + 1;
          return;
        case AC_GETAPPLICATION:
          Message.Result = reinterpret_cast<LRESULT>(Application);
          return;
        default:
          break;
      }
      break;

    case WM_NCPAINT: {
      if (!IsWindowVisible(CtrlHandle)) break;
      if (acFormsUpdating) return;
      // The bars' paint may free the adapter (the window's answer to a skin question).
      const HWND Wnd = CtrlHandle;
      HDC DC = nullptr;
      try {
        if (!UpdateFrameCache()) return;
        DC = GetWindowDC(Wnd);
        if (DC != nullptr) {
          const int Saved = SaveDC(DC);
          BltCacheFrame(DC, InsetLeft);
          Message.Result = PaintSkinScrollBars(this, Wnd, nullptr, 0, -1, DC);
          RestoreDC(DC, Saved);
        }
      } catch (...) {
        // a failing frame paint is dropped; the DC is released below
      }
      if (DC != nullptr) ReleaseDC(Wnd, DC);
      return;
    }

    case WM_PAINT:
      if (!IsWindowVisible(CtrlHandle)) break;
      SkinData->Updating = SkinData->GetUpdating();
      if (SkinData->Updating || (acFormsUpdating && acAnimationDC == nullptr)) {
        PAINTSTRUCT PS;
        BeginPaint(CtrlHandle, &PS);
        EndPaint(CtrlHandle, &PS);
        return;
      }
      // The bars are non-client: the frame paint draws them, and a paint of the client leaves them.
      if (!ParamsChanged) SetSkinParams();
      break;

    case WM_ERASEBKGND:
      if (!IsWindowVisible(CtrlHandle)) break;
      SkinData->Updating = SkinData->GetUpdating();
      if (SkinData->Updating) return;
      if (!ParamsChanged) SetSkinParams();
      if (LOBYTE(LOWORD(GetVersion())) >= 6 && acFormsUpdating &&
          reinterpret_cast<HDC>(Message.WParam) != acAnimationDC) {
        Message.Result = 1;
        return;
      }
      break;

    case WM_PRINT: {
      HDC DC = reinterpret_cast<HDC>(Message.WParam);
      if (DC == nullptr) break;
      BeginPrint();
      PrepareWindowCache(SkinData, CtrlHandle, DlgMode);
      if (!DlgMode) FillBorderCorners(SkinData, 0, this);
      BltCacheFrame(DC, InsetLeft);
      if (!AdapterGoesOnAfter(this, [&] { Message.Result = PaintSkinScrollBars(this, CtrlHandle, nullptr, 0, -1, DC); }))
        return;
      const int Saved = SaveDC(DC);
      ClipToClientPart(DC);
      SendMessageW(CtrlHandle, WM_ERASEBKGND, Message.WParam, 0);
      SendMessageW(CtrlHandle, WM_PAINT, Message.WParam, 0);
      SendMessageW(CtrlHandle, WM_PRINTCLIENT, Message.WParam, PRF_CLIENT | PRF_OWNED);
      RestoreDC(DC, Saved);
      // Printed completely: passing it on would paint the client once more over the frame, at
      // the DC's origin.
      return;
    }

    case CM_FONTCHANGED:
      RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
      break;

    default:
      break;
  }

  if (!AdapterGoesOnAfter(this, [&] { TacBaseWnd::WndProc(Message); }) || SkinData == nullptr) return;

  switch (Message.Msg) {
    case WM_SIZE:
      NcPaint(CtrlHandle);
      break;
    case EM_REPLACESEL:
    case EM_LINESCROLL:
    case EM_SCROLL:
    case EM_SCROLLCARET:
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_SETCURSEL:
    case LB_SETTOPINDEX:
      UpdateScrollInfo(this, true);
      break;
    // An edit sets its scroll data again after each change of its text, its font or its margins,
    // and the system then draws its own bar even where the data stayed as it was.
    case WM_SETFONT:
    case EM_SETMARGINS:
    case WM_SETTEXT:
    case WM_CHAR:
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
    case EM_UNDO:
    case EM_SETHANDLE:
      if (BarShown()) UpdateScrollInfo(this, true);
      break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case CN_KEYDOWN:
    case CN_KEYUP:
    case WM_LBUTTONDOWN:
      if (!Scrolling) UpdateScrollInfo(this, true);
      break;
    case WM_MOUSEMOVE: {
      TsSkinManager* M = TsSkinManager::DefaultManager();
      if (M != nullptr && !M->IsDesigning() && IsWindowEnabled(CtrlHandle) &&
          M->HoverWindow() != CtrlHandle)
        M->SetHoverWindow(CtrlHandle);
      break;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (BorderMaskHasStates(SkinData)) {
        auto* W = dynamic_cast<TWinControl*>(SkinData->OwnerControl());
        if (W != nullptr && W->CanFocus() && W->TabStop()) {
          SkinData->BackgroundStale = true;
          SkinData->FocusedFlag = Message.Msg == WM_SETFOCUS;
          RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
        }
      }
      break;
    case CM_MOUSEENTER:
      if (BorderMaskHasStates(SkinData)) {
        SkinData->MouseOver = true;
        if (SkinData->KindCode() == ckGraphicControl) UpdateGlow(SkinData, false, CtrlHandle);
        if (auto* W = dynamic_cast<TWinControl*>(SkinData->OwnerControl())) {
          SkinData->BackgroundStale = true;
          RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
        }
      }
      break;
    case CM_MOUSELEAVE:
      if (BorderMaskHasStates(SkinData)) {
        SkinData->MouseOver = false;
        if (auto* W = dynamic_cast<TWinControl*>(SkinData->OwnerControl())) {
          SkinData->BackgroundStale = true;
          RedrawWindow(W->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
        }
        ClearGlows();
      }
      break;
    default:
      break;
  }
}

// ---- TacMDIWnd ----------------------------------------------------------------------------------

TacMDIWnd::~TacMDIWnd() {
  MDIForm = nullptr;
  FormSkinData = nullptr;
  Provider = nullptr;
}

bool TacMDIWnd::FormSkinned() const { return FormSkinData != nullptr && FormSkinData->IsSkinned(false); }

bool TacMDIWnd::HasMaximizedChild() const {
  if (MDIForm == nullptr) return false;
  TCustomForm* Child = MDIForm->ActiveMDIChild();
  return Child != nullptr && Child->WindowState() == wsMaximized;
}

bool TacMDIWnd::SkinPaintsArea() const {
  if (FormSkinData == nullptr) return false;
  if (FormSkinData->IsSkinPaintMode()) return true;
  TsSkinManager* M = FormSkinData->GetSkinManager();
  return M != nullptr && M->GetSectionIndex("MDIAREA") >= 0;
}

TRect TacMDIWnd::AreaInFormCache() {
  RECT W{};
  GetWindowRect(CtrlHandle, &W);
  RECT F{};
  if (MDIForm != nullptr && MDIForm->HandleAllocated()) GetWindowRect(MDIForm->Handle(), &F);
  TRect R{W.left - F.left, W.top - F.top, W.right - F.left, W.bottom - F.top};
  TPoint Offset{0, 0};
  if (acMDIProviderLink.ExtBorderOffset && acMDIProviderLink.ExtBorderOffset(Provider, Offset)) {
    R.Left += Offset.X;
    R.Right += Offset.X;
    R.Top += Offset.Y;
    R.Bottom += Offset.Y;
  }
  return R;
}

void TacMDIWnd::PaintMDIBackground(HDC DC, bool Print) {
  if (acMDIProviderLink.Suspended && acMDIProviderLink.Suspended(Provider)) return;
  const TRect R = AreaInFormCache();
  const int W = R.Right - R.Left, H = R.Bottom - R.Top;
  const TRect C{0, 0, W, H};
  if (!SkinPaintsArea()) {
    FillRectSolid(DC, C, acMDIProviderLink.FormColor ? acMDIProviderLink.FormColor(Provider) : clBtnFace);
    return;
  }
  if ((FormSkinData->CacheBmp() == nullptr || FormSkinData->BackgroundStale) && acMDIProviderLink.PaintAll)
    acMDIProviderLink.PaintAll(Provider);
  if (HDC Src = CacheDC(FormSkinData)) {
    const int E = Print ? 0 : ((GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0 ? 2 : 0);
    BitBlt(DC, 0, 0, W, H, Src, R.Left + E, R.Top + E, SRCCOPY);
  }
}

void TacMDIWnd::PaintClientEdge(HDC DC) {
  // The frame is painted before the client is erased: rebuild a missing or stale form image here
  // as the background does, or the first frame would stay the system's.
  if (SkinPaintsArea() && (FormSkinData->CacheBmp() == nullptr || FormSkinData->BackgroundStale) &&
      acMDIProviderLink.PaintAll)
    acMDIProviderLink.PaintAll(Provider);
  HDC Src = CacheDC(FormSkinData);
  if (Src == nullptr) return;
  const TRect R = AreaInFormCache();
  const int W = R.Right - R.Left, H = R.Bottom - R.Top;
  if (!SkinPaintsArea()) {
    const int E = (GetWindowLongW(CtrlHandle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0 ? 2 : 0;
    FillFrameSolid(DC, TRect{0, 0, W, H}, E, E, E, E,
                   acMDIProviderLink.FormColor ? acMDIProviderLink.FormColor(Provider) : clBtnFace);
    return;
  }
  BltFrame(DC, 0, 0, W, H, Src, R.Left, R.Top, 2);
}

void TacMDIWnd::PaintSplitterBackgrounds() {
  if (MDIForm == nullptr || !MDIForm->HandleAllocated()) return;
  for (int I = 0; I < MDIForm->ComponentCount(); ++I) {
    auto* S = dynamic_cast<TsSplitter*>(MDIForm->Components(I));
    if (S == nullptr) continue;
    TacBGInfo Info;
    Info.PleaseDraw = true;
    Info.R = TRect{S->Left(), S->Top(), S->Left() + S->Width(), S->Top() + S->Height()};
    Info.DrawDC = MDIForm->Canvas()->Handle();
    SendMessageW(MDIForm->Handle(), SM_ALPHACMD, MakeAlphaCmd(AC_GETBACKGROUND), reinterpret_cast<LPARAM>(&Info));
  }
}

void TacMDIWnd::WndProc(TMessage& Message) {
  if (Destroyed) {
    TacBaseWnd::WndProc(Message);
    return;
  }
  auto PassToOld = [&] {
    Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
  };
  switch (Message.Msg) {
    case SM_ALPHACMD:
      if (AlphaCmdCode(Message.WParam) == AC_CHILDPAINT) {
        if (MDIForm != nullptr) SendSkinCommandToControl(MDIForm, AC_CHILDPAINT, 0);
        return;
      }
      break;
    case WM_NCPAINT:
      if (FormSkinned()) {
        if (HasMaximizedChild() || acFormsUpdating) {
          Message.Result = 1;
          return;
        }
        HWND W = MDIForm != nullptr ? MDIForm->ClientHandle() : CtrlHandle;
        if (W == nullptr) W = CtrlHandle;
        HDC DC = GetWindowDC(W);
        if (DC != nullptr) {
          PaintClientEdge(DC);
          Message.Result = PaintSkinScrollBars(this, CtrlHandle, nullptr, 0, -1, DC);
          ReleaseDC(W, DC);
        }
        return;
      }
      break;
    case WM_PAINT:
      if (acFormsUpdating) return;
      break;
    case WM_ERASEBKGND:
      if (FormSkinned() && Message.WParam != 0) {
        if (acFormsUpdating) return;
        if (HasMaximizedChild()) {
          PaintSplitterBackgrounds();
          Message.Result = 1;
          return;
        }
        HDC DC = reinterpret_cast<HDC>(Message.WParam);
        const int Saved = SaveDC(DC);
        PaintMDIBackground(DC, false);
        RestoreDC(DC, Saved);
        Message.Result = 1;
        return;
      }
      break;
    case WM_PRINT:
      if (FormSkinned() && Message.WParam != 0) {
        Message.Result = 0;
        TPoint Dummy{0, 0};
        if ((acMDIProviderLink.ExtBorderOffset && acMDIProviderLink.ExtBorderOffset(Provider, Dummy)) ||
            HasMaximizedChild())
          return;
        HDC DC = reinterpret_cast<HDC>(Message.WParam);
        const int Saved = SaveDC(DC);
        PaintMDIBackground(DC, true);
        PaintSkinScrollBars(this, CtrlHandle, nullptr, 0, -1, DC);
        RestoreDC(DC, Saved);
        return;
      }
      break;
    case WM_STYLECHANGED:
      PassToOld();
      return;
    case WM_MDITILE:
    case WM_MDICASCADE: {
      PassToOld();
      if (FormSkinData != nullptr) FormSkinData->BackgroundStale = true;
      if (MDIForm != nullptr && MDIForm->FormStyle() == fsMDIForm) {
        if (TCustomForm* Child = MDIForm->ActiveMDIChild(); Child != nullptr && Child->HandleAllocated()) {
          HWND CW = Child->Handle();
          SetWindowLongW(CW, GWL_STYLE, GetWindowLongW(CW, GWL_STYLE) & ~static_cast<LONG>(WS_SYSMENU));
        }
      }
      if (acMDIProviderLink.ChildrenArranged) acMDIProviderLink.ChildrenArranged(Provider);
      InvalidateRect(CtrlHandle, nullptr, TRUE);
      RedrawWindow(MDIForm != nullptr && MDIForm->ClientHandle() != nullptr ? MDIForm->ClientHandle() : CtrlHandle,
                   nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
      return;
    }
    case WM_MDISETMENU:
      PassToOld();
      if (acMDIProviderLink.MDIMenuSet) acMDIProviderLink.MDIMenuSet();
      return;
    default:
      break;
  }

  if (!AdapterGoesOnAfter(this, [&] { TacBaseWnd::WndProc(Message); })) return;

  switch (Message.Msg) {
    case SM_ALPHACMD:
      if (AlphaCmdCode(Message.WParam) == AC_BEFORESCROLL) {
        SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
      } else if (AlphaCmdCode(Message.WParam) == AC_AFTERSCROLL) {
        SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
        if (LOWORD(Message.LParam) != SB_THUMBTRACK) {
          RedrawWindow(CtrlHandle, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
          UpdateScrollInfo(this, false);
          ReleaseCapture();
        }
      }
      break;
    case 0x3F:
    case WM_PARENTNOTIFY: {
      const LONG Style = GetWindowLongW(CtrlHandle, GWL_STYLE);
      if (VertBar != nullptr) VertBar->Visible = (Style & WS_VSCROLL) != 0;
      if (HorzBar != nullptr) HorzBar->Visible = (Style & WS_HSCROLL) != 0;
      UpdateScrollInfo(this, true);
      break;
    }
    case WM_MDIREFRESHMENU:
      if (acMDIProviderLink.RedrawNonClient) acMDIProviderLink.RedrawNonClient(Provider);
      break;
    default:
      break;
  }
}

// ---- TacMnuWnd ----------------------------------------------------------------------------------

void TacMnuWnd::PrepareCache() {
  GetWndRects(this);
  if (SkinData == nullptr || !SkinData->BackgroundStale) return;
  SkinData->PrepareCacheBmp();
  TBitmap* Cache = SkinData->CacheBmp();
  Cache->SetSize(WndSize.cx, WndSize.cy);
  TCacheInfo CI = DefaultCacheInfo();
  const TPoint Offset{WndRect.Left - ParentRect.Left, WndRect.Top - ParentRect.Top};
  PaintControlSkin(SkinData, CI, true, 0, TRect{0, 0, WndSize.cx, WndSize.cy}, Offset, Cache);
  FillBorderCorners(SkinData, 0, this);
  SkinData->BackgroundStale = false;
}

void TacMnuWnd::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_DESTROY:
    case WM_NCDESTROY: {
      Shown = false;
      if (acMenuWndLink.ForgetAdapter) acMenuWndLink.ForgetAdapter(this);
      Message.Result = CallOldWndProc(this, CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
      std::vector<TacMnuWnd*> Others;
      if (acMenuWndLink.Adapters) Others = acMenuWndLink.Adapters();
      if (acMenuWndLink.ClearMenuCache) acMenuWndLink.ClearMenuCache();
      bool Remaining = false;
      for (TacMnuWnd* A : Others)
        if (A != nullptr && A != this) {
          Remaining = true;
          if (A->CtrlHandle != nullptr && IsWindow(A->CtrlHandle))
            RedrawWindow(A->CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_FRAME);
        }
      if (!Remaining && acFormSkinningLink.ClearMnuWnds) acFormSkinningLink.ClearMnuWnds();
      acSkinnedMenuShown = false;
      // Last: the adapter frees itself here and must not be touched afterwards.
      if ((OldWndProc != nullptr || OldProc) && !Destroyed) {
        TacMainWnd* Self = this;
        UnhookAdapterWndProc(CtrlHandle, true, false, Self);
      }
      return;
    }
    case SM_ALPHACMD:
      switch (AlphaCmdCode(Message.WParam)) {
        case AC_ISSKINNED:
          Message.Result = 1;
          break;
        case AC_SETUPDATING:
          Message.LParam = Shown ? 1 : 0;
          break;
        case AC_POPUPSHOWN:
          if (IsWindowVisible(CtrlHandle)) Shown = true;
          break;
        case AC_GETAPPLICATION:
          Message.Result = reinterpret_cast<LRESULT>(Application);
          break;
        default:
          break;
      }
      return;
    default:
      break;
  }
  if (!acSkinnedMenuShown || Destroyed) {
    TacScrollWnd::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_ERASEBKGND: {
      PrepareCache();
      HDC DC = reinterpret_cast<HDC>(Message.WParam);
      const bool Own = DC == nullptr;
      if (Own) DC = GetDC(CtrlHandle);
      if (DC != nullptr) {
        if (HDC Src = CacheDC(SkinData)) {
          TBitmap* Cache = SkinData->CacheBmp();
          BitBlt(DC, 0, 0, Cache->Width(), Cache->Height(), Src, 3, 3, SRCCOPY);
        }
        if (Own) ReleaseDC(CtrlHandle, DC);
      }
      Shown = false;
      Message.Result = 1;
      return;
    }
    case WM_NCPAINT: {
      HDC DC = GetWindowDC(CtrlHandle);
      if (DC == nullptr) return;
      RECT W{};
      GetWindowRect(CtrlHandle, &W);
      const int WW = W.right - W.left, WH = W.bottom - W.top;
      TsSkinManager* M = ManagerOf(this);
      TBitmap* Frame = M != nullptr && M->Menus() != nullptr ? M->Menus()->FrameBitmapOf(nullptr, CtrlHandle) : nullptr;
      if (Frame != nullptr && Frame->Width() + 6 == WW && Frame->Height() == WH) {
        BltFrame(DC, 0, 0, WW, WH, Frame->Canvas()->Handle(), 0, 0, 3);
      } else {
        PrepareCache();
        if (HDC Src = CacheDC(SkinData)) BltFrame(DC, 0, 0, WW, WH, Src, 0, 0, 3);
      }
      ReleaseDC(CtrlHandle, DC);
      return;
    }
    default:
      TacScrollWnd::WndProc(Message);
      return;
  }
}
