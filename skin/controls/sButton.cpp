#include "skin/controls/sButton.h"

#include "framework/Forms.h"
#include "framework/Scopes.h"
#include "framework/TypInfo.h"
#include "skin/controls/sSplitter.h"
#include "skin/core/acAnimation.h"
#include "skin/core/acGlow.h"
#include "skin/core/sBackground.h"
#include "skin/core/sConst.h"
#include "skin/core/sFormList.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

namespace {

// Set while a click during a fade shows the pressed picture for a moment (CurrentState answers 2).
bool ReleaseFlash = false;
// Set while a skinned button takes the focus with its drawing switched off.
bool FocusPaintLock = false;

// The placeholder value of the pending region: no region has been applied yet.
const HRGN NoRegionYet = reinterpret_cast<HRGN>(1);

bool RealRegion(HRGN R) { return R != nullptr && R != NoRegionYet; }

}  // namespace

TsButton::TsButton(TComponent* AOwner) : TButton(AOwner), FSkinData(std::make_unique<TsCommonData>(this, KindCode, true)) {
  TControlStyle S = ControlStyle();
  S.Exclude(csOpaque);
  S.Exclude(csDoubleClicks);
  SetControlStyle(S);
  SetWordWrap(true);
  if (!IsLoading()) {
    FSkinData->CacheBmp()->Canvas()->SetFont(Font());
    FSkinData->Loaded();
  }
}

TsButton::~TsButton() {
  StopFade(FFadeTimer);
  DeletePendingRegion();
  FSkinData.reset();
}

void TsButton::Loaded() {
  TButton::Loaded();
  if (TBitmap* Cache = FSkinData->CacheBmp()) Cache->Canvas()->SetFont(Font());
  FSkinData->Loaded();
}

void TsButton::DeletePendingRegion() {
  if (RealRegion(FRegion)) DeleteObject(FRegion);
  FRegion = nullptr;
}

bool TsButton::SkinActive() const { return FSkinData != nullptr && FSkinData->IsSkinned(true); }

// ---- properties

void TsButton::SetDown(bool Value) {
  if (FDown == Value) return;
  FDown = Value;
  FRegionChanged = true;
  if (!IsLoading()) FSkinData->Invalidate();
}

void TsButton::SetDisabledKind(TsDisabledKind Value) {
  if (FDisabledKind == Value) return;
  FDisabledKind = Value;
  if (!IsLoading()) FSkinData->Invalidate();
}

void TsButton::SetShowFocus(bool Value) {
  if (FShowFocus == Value) return;
  FShowFocus = Value;
  FSkinData->Invalidate();
}

// ---- window

void TsButton::CreateParams(TCreateParams& Params) {
  TButton::CreateParams(Params);
  TsSkinManager* M = FSkinData->GetSkinManager();
  if (M != nullptr && M->Active() && !M->SkinName().empty()) Params.Style |= BS_OWNERDRAW;
}

void TsButton::SetButtonStyle(bool ADefault) {
  if (!SkinActive()) {
    // Without a skin the button is a standard one and shows the default outline itself.
    FDefaultStyled = ADefault;
    TButton::SetButtonStyle(ADefault);
    return;
  }
  FDefaultStyled = ADefault;
  FSkinData->Invalidate();
}

void TsButton::CNMeasureItem(TMessage& M) {
  auto* S = reinterpret_cast<MEASUREITEMSTRUCT*>(M.LParam);
  if (S == nullptr) return;
  S->itemWidth = static_cast<UINT>(Width());
  S->itemHeight = static_cast<UINT>(Height());
  M.Result = 1;
}

// ---- state and caption

int TsButton::CurrentState() {
  const bool Pushed = HandleAllocated() && (SendMessageW(Handle(), BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
  if ((Pushed || ReleaseFlash) && (FSkinData->MouseOver || !ControlState().Contains(csLButtonDown))) return 2;
  if (FDown) return 2;
  if (FDefaultStyled || (HandleAllocated() && (GetWindowLongW(Handle(), GWL_STYLE) & 15) == BS_DEFPUSHBUTTON))
    return 1;
  if (FSkinData->GetHotState()) return 1;
  if (IsDesigning() && Default()) return 1;
  return 0;
}

int TsButton::TextAreaWidth() { return Caption().empty() ? 0 : Width() - 2; }

TSize TsButton::CaptionSize() {
  RECT R{0, 0, TextAreaWidth(), 0};
  const WideString Text = Caption();
  TCanvas* C = FSkinData->CacheBmp()->Canvas();
  C->SetFont(Font());
  const UINT Flags = DT_CALCRECT | DT_EXPANDTABS | DT_CENTER | (WordWrap() ? DT_WORDBREAK : DT_SINGLELINE);
  DrawTextW(C->Handle(), Text.c_str(), static_cast<int>(Text.size()), &R, Flags);
  return TSize{R.right - R.left, R.bottom - R.top};
}

void TsButton::CaptionRect(TRect& Rect) {
  const TSize S = CaptionSize();
  const int X = (Width() - S.cx) / 2;
  const int Y = (Height() - S.cy) / 2;
  Rect = TRect{X - 1, Y, Width() - X + 2, Height() - Y};
  if (CurrentState() == 2) Rect.Offset(1, 1);
}

void TsButton::DrawCaption(TRect& Rect, UINT Flags) {
  const WideString Text = Caption();
  DrawCaptionText(FSkinData->CacheBmp()->Canvas(), Text.c_str(), true, Rect, Flags, FSkinData.get(),
                  CurrentState() != 0);
}

void TsButton::PaintCaption() {
  TCanvas* C = FSkinData->CacheBmp()->Canvas();
  C->SetFont(Font());
  C->Brush()->SetStyle(bsClear);
  TRect R;
  CaptionRect(R);
  DrawCaption(R, WordWrap() ? DT_EXPANDTABS | DT_CENTER | DT_WORDBREAK : DT_EXPANDTABS | DT_CENTER);
  const TsGeneralData* S = FSkinData->Section();
  if (Enabled() && HandleAllocated() && Focused() && !Caption().empty() && S != nullptr && S->ShowFocus && FShowFocus) {
    CaptionRect(R);
    R = TRect{R.Left - FFocusMargin, R.Top - FFocusMargin, R.Right + FFocusMargin, R.Bottom + FFocusMargin};
    DrawDottedFocusRect(C, R);
  }
}

// ---- painting

void TsButton::PrepareCache() {
  if (Width() <= 0 || Height() <= 0) return;
  TacBGInfo Info;
  QueryParentBackground(Info, Parent(), false);
  const TCacheInfo CI = BGInfoToCacheInfo(Info);
  FSkinData->InitCacheBmp();
  TBitmap* Cache = FSkinData->CacheBmp();
  const int State = CurrentState();
  PaintControlSection(FSkinData.get(), CI, State, Rect(0, 0, Width(), Height()), TPoint(Left(), Top()), Cache);
  if (FRegionChanged) {
    DeletePendingRegion();
    FRegion = CreateRectRgn(0, 0, Width(), Height());
  }
  TsSkinManager* M = FSkinData->GetSkinManager();
  if (M != nullptr && M->IsValidMaskIndex(FSkinData->BorderMaskIndex)) {
    const TsMaskData& Mask = M->Masks()[static_cast<std::size_t>(FSkinData->BorderMaskIndex)];
    if (!(State == 0 && (Mask.DrawMode & dmHotOnly) != 0))
      DrawNineSlice(Cache, RealRegion(FRegion) ? FRegion : nullptr, true, Mask, State);
  }
  PaintCaption();
  // The disabled look follows Enabled alone: a button's action steps are not built, as the
  // framework has no actions (docs/architecture.md, "Not built").
  if (!Enabled()) {
    TCacheInfo ParentCI;
    FSkinData->GetParentCacheInfo(ParentCI);
    ApplyDisabledKind(Cache, FDisabledKind, Parent(), ParentCI, TPoint(Left(), Top()));
  }
  FSkinData->BackgroundStale = false;
}

void TsButton::PaintButtonCache(HDC DC) {
  if (!HandleAllocated()) return;
  const HWND Wnd = Handle();
  if (acFormsUpdating && (DC == nullptr || DC != acAnimationDC)) {
    // Drawing is suspended: the window is redrawn when the suspension ends.
    if (DC == nullptr) ValidateRect(Wnd, nullptr);
    return;
  }
  PAINTSTRUCT PS{};
  bool Began = false;
  HDC Own = DC;
  if (DC == nullptr) {
    Own = GetDC(Wnd);
    if (!acFormsUpdating) {
      BeginPaint(Wnd, &PS);
      Began = true;
    }
  }
  auto Finish = [&] {
    if (DC == nullptr) ReleaseDC(Wnd, Own);
    if (Began) EndPaint(Wnd, &PS);
  };
  FSkinData->Updating = FSkinData->GetUpdating();
  if (FSkinData->Updating || (FFadeTimer != nullptr && FFadeTimer->Enabled())) {
    if (!FSkinData->Updating) FPaintAfterFade = true;
    Finish();
    return;
  }
  // A button that lay partly outside its parent, or whose parent was out of view, is repainted
  // in full.
  if (FSkinData->OutOfView || (Parent() != nullptr && AskControl(Parent(), AC_WASOUTOFVIEW) != 0))
    FSkinData->BackgroundStale = true;
  if (Parent() != nullptr) {
    const TRect PR = Parent()->ClientRect();
    FSkinData->OutOfView = !RectContainsRect(PR, BoundsRect());
  }
  const bool RedrawOnRegion = FRegion == NoRegionYet || acSkinChanging;
  DeletePendingRegion();
  if (FRegionChanged) FSkinData->BackgroundStale = true;
  if (FSkinData->BackgroundStale) PrepareCache();
  TBitmap* Cache = FSkinData->CacheBmp();
  if (Cache == nullptr || Cache->Empty()) {
    Finish();
    return;
  }
  const HDC CacheDC = Cache->Canvas()->Handle();
  if (FRegionChanged) {
    const int State = CurrentState();
    FillCornersFromParent(FSkinData.get(), State);
    TsSkinManager* M = FSkinData->GetSkinManager();
    if (M != nullptr && M->IsValidMaskIndex(FSkinData->BorderMaskIndex)) {
      const int I = FSkinData->BorderMaskIndex;
      const int LM = M->GetMaskLeftMargin(I), TM = M->GetMaskTopMargin(I);
      const int RM = M->GetMaskRightMargin(I), BM = M->GetMaskBottomMargin(I);
      const int W = Width(), H = Height();
      BitBlt(Own, 0, 0, LM, TM, CacheDC, 0, 0, SRCCOPY);
      BitBlt(Own, 0, H - BM, LM, BM, CacheDC, 0, H - BM, SRCCOPY);
      BitBlt(Own, W - RM, H - BM, RM, BM, CacheDC, W - RM, H - BM, SRCCOPY);
      BitBlt(Own, W - RM, 0, RM, TM, CacheDC, W - RM, 0, SRCCOPY);
    }
    if (Own != acAnimationDC && !IsDesigning() &&
        !ControlState().Contains(csAlignmentNeeded) && RealRegion(FRegion)) {
      const HRGN R = FRegion;
      FRegion = nullptr;
      // The window owns the region from now on.
      SetWindowRgn(Wnd, R, RedrawOnRegion ? TRUE : FALSE);
      const TRect Now = BoundsRect();
      TCacheInfo ParentCI;
      FSkinData->GetParentCacheInfo(ParentCI);
      if ((Now.Width() < FOldBounds.Width() || Now.Height() < FOldBounds.Height()) && ParentCI.Bmp == nullptr &&
          Parent() != nullptr && Parent()->HandleAllocated() && M != nullptr &&
          M->IsValidMaskIndex(FSkinData->BorderMaskIndex)) {
        // The corners the old, larger region left on the parent are painted again.
        const TsMaskData& Mask = M->Masks()[static_cast<std::size_t>(FSkinData->BorderMaskIndex)];
        const TRect& O = FOldBounds;
        const RECT Corners[3] = {{O.Right - Mask.WR, O.Top, O.Right, O.Top + Mask.WT},
                                 {O.Right - Mask.WR, O.Bottom - Mask.WB, O.Right, O.Bottom},
                                 {O.Left, O.Bottom - Mask.WB, O.Left + Mask.WL, O.Bottom}};
        for (const RECT& C : Corners) InvalidateRect(Parent()->Handle(), &C, TRUE);
      }
      FOldBounds = Now;
      FRegionChanged = false;
    }
  }
  const int Saved = SaveDC(Own);
  BitBlt(Own, 0, 0, Width(), Height(), CacheDC, 0, 0, SRCCOPY);
  RestoreDC(Own, Saved);
  Finish();
}

// ---- mouse

void TsButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (SkinActive() && Enabled() && !IsDesigning()) {
    FSkinData->Updating = false;
    if (Button == mbLeft) acSuppressHints();
    FMousePressed = true;
    if (Button == mbLeft && !FDown) {
      FRegionChanged = true;
      FSkinData->Updating = FSkinData->GetUpdating();
      FSkinData->BackgroundStale = false;
      ChangeSkinState(FFadeTimer, FSkinData.get(), true, 1, AnimEventAllowed(aeMouseDown, FAnimatEvents, nullptr));
    }
    // A press only closes a hint that is shown.
    acRestoreHints();
  }
  TButton::MouseDown(Button, Shift, X, Y);
}

void TsButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (SkinActive() && Enabled() && !IsDesigning()) {
    if (Button == mbLeft) acRestoreHints();
    if (!FMousePressed || IsDestroying()) return;
    FMousePressed = false;
    if (Button == mbLeft && Enabled()) {
      if (FFadeTimer != nullptr && FFadeTimer->CurrentStep() < FFadeTimer->Iterations()) {
        // A click during a fade shows the pressed picture for a moment.
        FFadeTimer->SetEnabled(false);
        FFadeTimer->LastFrame()->SetSize(0, 0);  // the screen shows the pressed picture next
        FSkinData->BackgroundStale = true;
        ReleaseFlash = true;
        RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        ReleaseFlash = false;
        Sleep(30);
      }
      FSkinData->Updating = false;
      if (!IsDestroying()) {
        FRegionChanged = true;
        FSkinData->BackgroundStale = false;
        ChangeSkinState(FFadeTimer, FSkinData.get(), true, 1, AnimEventAllowed(aeMouseUp, FAnimatEvents, nullptr));
      }
    }
  }
  TButton::MouseUp(Button, Shift, X, Y);
}

void TsButton::WMKeyUp(TMessage& M) {
  // The key's handlers, and the click that the system's code reports for the space bar, may free
  // the button (with its form).
  const TLifeWatch Life(this);
  TButton::WMKeyUp(M);
  if (!Life.Freed() && SkinActive() && M.WParam == VK_SPACE) {
    FRegionChanged = true;
    FSkinData->BackgroundStale = true;
    Repaint();
  }
}

// ---- messages

bool TsButton::WithoutRedraw(const std::function<void()>& Handler) {
  const TLifeWatch Life(this);
  Perform(WM_SETREDRAW, 0, 0);
  TScopeExit Redraw([&] {
    if (Life.Freed()) return;
    Perform(WM_SETREDRAW, 1, 0);
    if (HandleAllocated()) InvalidateRect(Handle(), nullptr, FALSE);
  });
  Handler();
  return !Life.Freed();
}

bool TsButton::HearPointer(const TNotifyEvent& Handler) {
  if (!Handler) return true;
  const TLifeWatch Life(this);
  Handler(this);
  return !Life.Freed();
}

void TsButton::GeneralPath(TMessage& M) {
  const TLifeWatch Life(this);  // the message may reach a handler that frees the button
  if (!HandleCommonMessage(M, FSkinData.get())) TButton::WndProc(M);
  if (Life.Freed()) return;
  const bool Shown = Visible() || IsDesigning();
  switch (M.Msg) {
    case WM_SETFONT:
      if (Shown) {
        FSkinData->Updating = false;
        FSkinData->Invalidate();
      }
      break;
    case CM_VISIBLECHANGED:
      if (!IsDestroying()) {
        FSkinData->BackgroundStale = true;
        FSkinData->Updating = false;
        if (Shown) Repaint();
      }
      break;
    case CM_ENABLEDCHANGED:
      if (Shown && !IsDestroying()) {
        FSkinData->Updating = false;
        FSkinData->Invalidate();
      }
      break;
    default: break;
  }
}

bool TsButton::SkinnedMessage(TMessage& M) {
  const bool Designing = IsDesigning();
  const bool Shown = Visible() || Designing;
  switch (M.Msg) {
    case SM_ALPHACMD:
      switch (AlphaCmdCode(M.WParam)) {
        case AC_REFRESHIFSKINNED:
          if (FSkinData->Updating) {
            FSkinData->Updating = false;
            Repaint();
            return true;
          }
          return false;
        case AC_SETPARENTDEPENDENT: {
          const bool Rebuild = FSkinData->ForceParentDependent;
          if (Rebuild) PrepareCache();
          HandleCommonMessage(M, FSkinData.get());
          return true;
        }
        default: return false;
      }
    case WM_PRINT:
      FRegionChanged = true;
      FSkinData->Updating = false;
      PaintButtonCache(reinterpret_cast<HDC>(M.WParam));
      return true;
    case WM_PAINT:
      if (!Shown) return false;
      if (Parent() == nullptr) {
        ValidateRect(Handle(), nullptr);
        return true;
      }
      PaintButtonCache(reinterpret_cast<HDC>(M.WParam));
      return !Designing;
    case WM_ERASEBKGND:
    case WM_UPDATEUISTATE:
      if (!Shown) return false;
      M.Result = 1;
      return true;
    case WM_WINDOWPOSCHANGING: FRegionChanged = true; return false;
    case WM_WINDOWPOSCHANGED:
      FRegionChanged = true;
      FSkinData->BackgroundStale = true;
      return false;
    case WM_MOVE: {
      const TsGeneralData* S = FSkinData->Section();
      if (S != nullptr && (S->Transparency >= 1 || (S->HotTransparency >= 1 && CurrentState() != 0))) {
        FSkinData->BackgroundStale = true;
        Repaint();
      }
      return false;
    }
    case WM_SIZE:
      FRegionChanged = true;
      ClearGlows();
      return false;
    case WM_ENABLE: return true;
    case WM_SETFOCUS:
    case CM_ENTER:
      if (Designing || !Visible()) return false;
      if (Enabled() && !IsDestroying() && !FocusPaintLock) {
        {
          TFlagScope Lock(FocusPaintLock, true);
          if (!WithoutRedraw([&] { TButton::WndProc(M); })) return true;
        }
        if (FFadeTimer != nullptr)
          FadeStep(FFadeTimer);
        else
          FSkinData->Invalidate();
        return true;
      }
      TButton::WndProc(M);
      return true;
    case WM_KILLFOCUS:
    case CM_EXIT:
      if (Designing || !Visible()) return false;
      if (Enabled() && !IsDestroying()) {
        StopFade(FFadeTimer);
        if (!WithoutRedraw([&] { TButton::WndProc(M); })) return true;
        if (SkinActive()) {
          FSkinData->FocusedFlag = false;
          FRegionChanged = true;
          FSkinData->Invalidate();
        }
        return true;
      }
      TButton::WndProc(M);
      return true;
    case CM_DIALOGCHAR:
      if (Enabled() && HandleAllocated() && Focused() && M.WParam == VK_SPACE) {
        StopFade(FFadeTimer);
        FRegionChanged = true;
        FSkinData->BackgroundStale = true;
        if (FSkinData->GlowId >= 0) {
          HideGlow(FSkinData->GlowId);
          FSkinData->GlowId = -1;
        }
        Repaint();
      }
      return false;
    case CM_FOCUSCHANGED:
      if (Visible() && !FocusPaintLock) {
        // The look may change meanwhile: the button may become the default one or stop being it.
        WithoutRedraw([&] { GeneralPath(M); });
        return true;
      }
      return false;
    case CM_TEXTCHANGED:
      if (!IsDestroying()) FSkinData->Invalidate();
      return true;
    case CM_MOUSEENTER:
      if (Enabled() && !Designing && !FSkinData->MouseOver) {
        if (!HearPointer(OnMouseEnter)) return true;
        FSkinData->MouseOver = true;
        FSkinData->BackgroundStale = false;
        ChangeSkinState(FFadeTimer, FSkinData.get(), false, 1, AnimEventAllowed(aeMouseEnter, FAnimatEvents, nullptr));
      }
      return false;
    case CM_MOUSELEAVE:
      if (Enabled() && !Designing) {
        if (!HearPointer(OnMouseLeave)) return true;
        FSkinData->MouseOver = false;
        FSkinData->BackgroundStale = false;
        ChangeSkinState(FFadeTimer, FSkinData.get(), false, 1, AnimEventAllowed(aeMouseLeave, FAnimatEvents, nullptr));
      }
      return false;
    case CM_UIACTIVATE: FSkinData->Updating = false; return false;
    case CN_DRAWITEM:
      M.WParam = 0;
      M.LParam = 0;
      M.Result = 1;
      return true;
    default: return false;
  }
}

void TsButton::WndProc(TMessage& M) {
  if (FSkinData == nullptr) {
    TButton::WndProc(M);
    return;
  }
  if (M.Msg == WM_KILLFOCUS && IsDestroying()) return;
  if (M.Msg == SM_ALPHACMD) {
    const bool OwnManager = reinterpret_cast<TsSkinManager*>(M.LParam) == FSkinData->GetSkinManager();
    switch (AlphaCmdCode(M.WParam)) {
      case AC_NEWSKIN:
        if (!OwnManager) break;
        FRegionChanged = true;
        if (HandleAllocated())
          SendMessageW(Handle(), BM_SETSTYLE, (GetWindowLongW(Handle(), GWL_STYLE) & 0xFFFF) | BS_OWNERDRAW, TRUE);
        StopFade(FFadeTimer);
        HandleCommonMessage(M, FSkinData.get());
        return;
      case AC_SKINREMOVED:
        if (!OwnManager || IsDestroying()) break;
        StopFade(FFadeTimer);
        HandleCommonMessage(M, FSkinData.get());
        if (HandleAllocated()) {
          SendMessageW(Handle(), BM_SETSTYLE, GetWindowLongW(Handle(), GWL_STYLE) & 0xFFFF & ~0xB, TRUE);
          DeletePendingRegion();
          SetWindowRgn(Handle(), nullptr, FALSE);
        }
        Repaint();
        return;
      case AC_REFRESHSKIN:
        if (!OwnManager) break;
        StopFade(FFadeTimer);
        HandleCommonMessage(M, FSkinData.get());
        FRegionChanged = true;
        if (acAnimationDC == nullptr) Repaint();
        return;
      case AC_ISSKINNED: M.Result = 1; return;
      case AC_FADEENDED:
        StopFade(FFadeTimer);
        if (FPaintAfterFade) {
          FPaintAfterFade = false;
          FSkinData->Invalidate();
        }
        return;
      case AC_PREPARECACHE:
        PrepareCache();
        GeneralPath(M);
        return;
      case AC_ANIMFRAME:
        if (RealRegion(FRegion)) DeletePendingRegion();
        GeneralPath(M);
        return;
      case AC_GETAPPLICATION: M.Result = reinterpret_cast<LRESULT>(Application); return;
      default: break;
    }
  }
  if (ControlIsReady(this) && SkinActive()) {
    if (!SkinnedMessage(M)) GeneralPath(M);
    return;
  }
  if ((M.Msg == CM_MOUSEENTER || M.Msg == CM_MOUSELEAVE) && Enabled() && !IsDesigning() &&
      !HearPointer(M.Msg == CM_MOUSEENTER ? OnMouseEnter : OnMouseLeave))
    return;
  TButton::WndProc(M);
}

T_PUBLISH(TsButton) {
  P.Object("SkinData", &TsButton::SkinData);
  P.Boolean("Down", &TsButton::Down, &TsButton::SetDown);
  P.Ordinal("FocusMargin", &TsButton::FocusMargin, &TsButton::SetFocusMargin);
  P.Boolean("ShowFocus", &TsButton::ShowFocus, &TsButton::SetShowFocus);
  P.Set("DisabledKind", &TsButton::DisabledKind, &TsButton::SetDisabledKind, {"dkBlended", "dkGrayed"});
  P.Set("AnimatEvents", &TsButton::AnimatEvents, &TsButton::SetAnimatEvents,
        {"aeMouseEnter", "aeMouseLeave", "aeMouseDown", "aeMouseUp", "aeGlobalDef"});
}
