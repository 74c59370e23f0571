// The form skin provider's window procedure: the skin command message in every mode, and the
// form's own messages while the form is skinned (creation, showing, activation, sizing, painting,
// caption text, menus). Caption input and system commands are in sSkinProviderInput.cpp, moving,
// sizing and snapping in sSkinProviderMoving.cpp.
#include "skin/forms/sSkinProviderWndProc.h"

#include "framework/Menus.h"
#include "skin/core/acAnimation.h"
#include "skin/core/acGlow.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sFormList.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "skin/controls/acScrollBars.h"
#include "skin/controls/sFrameAdapter.h"
#include "skin/forms/acBorderForm.h"
#include "skin/forms/acDials.h"
#include "skin/forms/sFormAdapters.h"
#include "skin/forms/sMDIForm.h"
#include "skin/forms/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"

bool MaximizedChildCreating = false;
TForm* MenuLoopCover = nullptr;
TsSkinProvider* MenuLoopCoverOwner = nullptr;
bool MouseWheelRouting = false;

namespace {

constexpr UINT RdwFull = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME;

void BorderRepaint(TsSkinProvider* P, bool Repaint) {
  if (P->BorderForm != nullptr) P->BorderForm->UpdateBorderWindow(Repaint, 255);
}

bool ManagerLoading(TsSkinManager* M) {
  return M != nullptr && (M->IsLoading() || M->ComponentState().Contains(csReading));
}


// Every child control of Control and its descendants that is a label gets the window text colour.
void ResetLabelColors(TWinControl* Control) {
  for (int I = 0; I < Control->ControlCount(); ++I) {
    TControl* C = Control->Controls(I);
    if (C->InheritsFromName("TCustomLabel") || C->ClassNameIs("TLabel")) C->Font()->SetColor(clWindowText);
    if (auto* W = dynamic_cast<TWinControl*>(C)) ResetLabelColors(W);
  }
}

// The control adapter made, or told to collect the children of Control (nullptr: all).
void CollectChildren(TsSkinProvider* P, TWinControl* Control = nullptr) {
  if (P->Adapter != nullptr) P->Adapter->AddAllItems(Control);
  else P->CreateCtrlAdapter();
}

}  // namespace

// ---- shared helpers ------------------------------------------------------------------------------

bool ProviderAlive(TsSkinProvider* P) {
  return P != nullptr && !P->IsDestroying() && P->Form != nullptr && !P->Form->IsDestroying();
}

void RefreshMDIMain(bool Full) {
  TsSkinProvider* P = SkinnedMDIMainProvider;
  if (!ProviderAlive(P)) return;
  P->SkinData()->BeginUpdate();
  if (P->MDIForm != nullptr) P->MDIForm->UpdateFormNC();
  P->SkinData()->BackgroundStale = true;
  P->TitleDirty = true;
  P->MenuLineRows = -1;
  P->SkinData()->EndUpdate();
  if (P->Form->ClientHandle() != nullptr)
    RedrawWindow(P->Form->ClientHandle(), nullptr, nullptr, RdwFull | (Full ? RDW_INTERNALPAINT : 0));
  if (P->Form->HandleAllocated()) RedrawWindow(P->Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
  if (Full) BorderRepaint(P, true);
}

bool MakeLayeredInvisible(TCustomForm* Form, bool On) {
  if (Form == nullptr || !Form->HandleAllocated()) return false;
  HWND H = Form->Handle();
  const LONG Ex = GetWindowLongW(H, GWL_EXSTYLE);
  if (On) {
    if ((Ex & WS_EX_LAYERED) != 0 || acUpdateLayeredWindow == nullptr) return false;
    SetWindowLongW(H, GWL_EXSTYLE, Ex | WS_EX_LAYERED);
    HDC ScreenDC = GetDC(nullptr);
    SIZE Size{0, 0};
    POINT Src{0, 0};
    BLENDFUNCTION Blend{AC_SRC_OVER, 0, 10, AC_SRC_ALPHA};
    acUpdateLayeredWindow(H, ScreenDC, nullptr, &Size, nullptr, &Src, 0x1FFFFFFF, &Blend, ULW_ALPHA);
    ReleaseDC(nullptr, ScreenDC);
    return true;
  }
  SetWindowLongW(H, GWL_STYLE, GetWindowLongW(H, GWL_STYLE) & ~WS_VISIBLE);
  SetWindowLongW(H, GWL_EXSTYLE, Ex & ~WS_EX_LAYERED);
  return false;
}

// ---- the procedure -------------------------------------------------------------------------------

void TsSkinProvider::PassOn(TMessage& Message) {
  if (!OldWndProc) return;
  // The call runs on a copy: the provider that holds OldWndProc may be freed inside it.
  const TWndMethod Old = OldWndProc;
  Survive([&] { Old(Message); });
}

void TsSkinProvider::GiveFormBack() {
  TsCommonData* SD = SkinData();
  TsSkinManager* M = SD->SkinManager();
  if (M != nullptr) {
    SkinFormMenus(false);
    SetSysMenuStyle(false);
    if (IsMDIForm()) SetMDISupport(false);
    if (HasBorder() && !RegionLock && Form->HandleAllocated()) SetWindowRgn(Form->Handle(), nullptr, TRUE);
    RebuildMainMenu();
    const bool Bordered = BorderForm != nullptr;
    UpdateBorderForm(false);
    // A maximised form had its place from its border window's frame: it takes the system's again.
    if (Bordered && Form->HandleAllocated() && IsZoomed(Form->Handle())) MaximiseFormAgain(Form->Handle());
  }
  ResetLabelColors(Form);
  if (UseGlobalColor() && !SD->CustomColor()) Form->SetColor(clBtnFace);
  if (SD->CacheBmp() != nullptr) SD->CacheBmp()->SetSize(0, 0);
  // Whatever the skin painted, the form's frame and client area and its controls (whose adapters
  // went, leaving their pictures on the screen) and an MDI form's client window with its children,
  // is painted again by the form and the controls themselves; a colour that stays what it was
  // repaints nothing.
  if (Form->HandleAllocated() && IsWindowVisible(Form->Handle()))
    RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

bool TsSkinProvider::FormDestroying() const {
  return Form == nullptr || Form->IsDestroying() ||
         IsDestroying();
}

bool TsSkinProvider::FormShowing() const { return Form != nullptr && Form->Showing(); }

bool TsSkinProvider::IsMDIChild() const { return Form != nullptr && Form->FormStyle() == fsMDIChild; }

bool TsSkinProvider::IsMDIForm() const { return Form != nullptr && Form->FormStyle() == fsMDIForm; }

void TsSkinProvider::NewWndProc(TMessage& Message) {
  const std::shared_ptr<bool> Alive = FAlive;
  try {
    if (Form == nullptr) {
      PassOn(Message);
      return;
    }
    if (Message.Msg == SM_ALPHACMD && AlphaCmdFirst(Message)) return;
    // A border-mode frame ends with the capture it runs under, skinned or not.
    // The end of a menu loop ends the cover and the region lock, skinned or not (the skin may have
    // gone during the loop).
    if (Message.Msg == WM_EXITMENULOOP) EndMenuLoopCover();
    if (Message.Msg == WM_CAPTURECHANGED || Message.Msg == WM_CANCELMODE || Message.Msg == WM_DESTROY) {
      if (acBorderFrame.Owner == this) CancelFrame();
      // A caption button press ends with the capture it holds.
      PressLost();
    }
    if (!FormDestroying() && SkinData() != nullptr && SkinData()->IsSkinned(true))
      SkinnedProc(Message);
    else
      UnskinnedProc(Message);
    // The message may have freed the provider (a handler of a user caption button).
    if (*Alive && BorderForm != nullptr) BorderForm->OwnerMessageDone(Message);
  } catch (const TFreed&) {
    // The provider was freed while the message was handled: nothing of it is touched again.
  }
}

// Stage 1: the skin commands answered in every mode. True when the message is done.
bool TsSkinProvider::AlphaCmdFirst(TMessage& Message) {
  TsCommonData* SD = SkinData();
  const Word Cmd = AlphaCmdCode(Message.WParam);
  TsSkinManager* M = SD != nullptr ? SD->SkinManager() : nullptr;
  switch (Cmd) {
    case AC_NEWSKIN:
      if (!FormDestroying() && SD != nullptr && reinterpret_cast<TsSkinManager*>(Message.LParam) == M &&
          SysMenu == nullptr)
        PrepareForm();
      return false;
    case AC_SKINREMOVED: {
      if (SD == nullptr || reinterpret_cast<TsSkinManager*>(Message.LParam) != M) {
        BroadcastSkinCommand(Form, Message);
        return true;
      }
      const LRESULT Saved = Message.Result;
      EndMenuLoopCover();
      // The form's own skinned scroll bars go first (their unit frees them).
      ScrollAdapter = nullptr;
      if (Form->HandleAllocated()) SetDwmTransitions(Form->Handle(), false);
      RemoveAdapters();
      HandleSkinCommand(Message, SD);
      MenuLineRows = -1;
      FTitleSkinIndex = -1;
      CaptionSkinIndex = -1;
      BroadcastSkinCommand(Form, Message);
      if (M != nullptr) ClearMenuCache();
      if (!FormDestroying()) GiveFormBack();
      Message.Result = Saved;
      return true;
    }
    case AC_ISSKINNED:
      Message.Result = 1;
      return true;
    case AC_GETBACKGROUND: {
      if (SD == nullptr || Message.LParam == 0) return true;
      auto& Info = *reinterpret_cast<TacBGInfo*>(Message.LParam);
      if (SD->BackgroundStale && !SD->GetUpdating() && SD->IsSkinPaintMode()) PaintAll(this);
      const bool AsksOffsets = Info.PleaseDraw;
      if (AsksOffsets) {
        Info.Offset.X += OffsetX();
        Info.Offset.Y += OffsetY();
      }
      SD->GetBackgroundInfo(Info, FormActive, Form->HandleAllocated() ? Form->Handle() : nullptr);
      if (!AsksOffsets && Info.BgType == btCache) {
        if (Info.Bmp == nullptr) {
          PaintAll(this);
          Info.Bmp = SD->CacheBmp();
        }
        Info.Offset = TPoint{OffsetX(), OffsetY()};
      }
      return true;
    }
    case AC_PLAINSTATE:
      if (SD != nullptr) Message.Result = SD->StateBits;
      return true;
    case AC_GETAPPLICATION:
      Message.Result = reinterpret_cast<LRESULT>(Application);
      return true;
    case AC_GETCLIENTOFFSET:
      Message.Result = MAKELONG(static_cast<WORD>(OffsetX()), static_cast<WORD>(OffsetY()));
      return true;
    default:
      return false;
  }
}

void TsSkinProvider::TakeNewSkinIndexes(TsSkinManager* M) {
  ClearMenuCache();
  SkinData()->UpdateIndexes();
  FTitleSkinIndex = -1;
  TitleSkinIndex();
  CaptionSkinIndex = M != nullptr ? M->GetSectionIndex("CAPTION") : -1;
}

void TsSkinProvider::UnskinnedProc(TMessage& Message) {
  if (Message.Msg == SM_ALPHACMD) {
    const Word Cmd = AlphaCmdCode(Message.WParam);
    if (Cmd == AC_NEWSKIN) {
      TsCommonData* SD = SkinData();
      TsSkinManager* M = SD != nullptr ? SD->SkinManager() : nullptr;
      if (FormDestroying() || SD == nullptr || reinterpret_cast<TsSkinManager*>(Message.LParam) != M) return;
      TakeNewSkinIndexes(M);
      if (M != nullptr) {
        InitTitleButtons();
        SetSysMenuStyle(true);
        if (IsMDIForm() && Form->ActiveMDIChild() != nullptr && Form->ActiveMDIChild() == Screen->ActiveForm())
          FormActive = true;
        if (!ManagerLoading(M)) SkinFormMenus(true);
        SD->BackgroundStale = true;
        MenuLineRows = -1;
        if (IsMDIForm() && MDIForm == nullptr) SetMDISupport(true);
        if (UseGlobalColor() && !SD->CustomColor()) Form->SetColor(M->GetGlobalColor());
        if (Form->HandleAllocated()) SetDwmTransitions(Form->Handle(), true);
      }
      CollectChildren(this);
      return;
    }
    if (Cmd == AC_GETPROVIDER) {
      Message.Result = reinterpret_cast<LRESULT>(this);
      return;
    }
  }
  PassOn(Message);
  if (Message.Msg == WM_NCDESTROY && IsMDIChild()) {
    TsSkinProvider* P = SkinnedMDIMainProvider;
    if (ProviderAlive(P) && P->MDIForm != nullptr && P->SkinData()->IsSkinned(true)) {
      P->RefreshNonClient();
      if (P->Form->ActiveMDIChild() == nullptr && P->Form->ClientHandle() != nullptr)
        RedrawWindow(P->Form->ClientHandle(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME);
    }
  } else if (Message.Msg == CM_MOUSEWHEEL) {
    RouteMouseWheel(Message);
  }
}

// Skinned mode: the skin commands.
void TsSkinProvider::SkinnedAlphaCmd(TMessage& Message) {
  TsCommonData* SD = SkinData();
  TsSkinManager* M = SD->SkinManager();
  const bool FromManager = reinterpret_cast<TsSkinManager*>(Message.LParam) == M;
  switch (AlphaCmdCode(Message.WParam)) {
    case AC_NEWSKIN:
      if (!FromManager) return;
      TakeNewSkinIndexes(M);
      if (M != nullptr) {
        InitTitleButtons();
        ClearMenuCache();
        SetSysMenuStyle(DrawNonClientArea());
        M->Menus()->UpdateActive();
        SD->BackgroundStale = true;
        MenuLineRows = -1;
        if (Form->HandleAllocated()) SendMessageW(Form->Handle(), WM_NCPAINT, 0, 0);
        if (IsMDIForm() && MDIForm == nullptr) SetMDISupport(true);
      }
      return;
    case AC_REFRESHSKIN: {
      if (!FromManager) return;
      CollectChildren(this);
      if (DrawNonClientArea()) UpdateScrollAdapter();
      MenuLineRows = -1;
      TitleBand.reset();
      if (!ManagerLoading(M)) {
        RebuildMainMenu();
        SkinFormMenus(SD->IsSkinned(false));
      }
      if (HasBorder()) RgnChanged = true;
      if (Form->Visible() && Form->HandleAllocated()) {
        SD->BackgroundStale = true;
        UpdateBorderForm(M != nullptr && M->ExtendedBorders());
        if (!acSkinChanging) {
          TCustomForm* Child = IsMDIForm() ? Form->ActiveMDIChild() : nullptr;
          if (Child != nullptr && Child->WindowState() == wsMaximized) {
            SendMessageW(Form->Handle(), WM_NCPAINT, 0, 0);
            if (Child->HandleAllocated()) InvalidateRect(Child->Handle(), nullptr, TRUE);
          } else {
            RedrawWindow(Form->Handle(), nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN | RDW_UPDATENOW | RDW_FRAME);
            if (Form->ClientHandle() != nullptr)
              RedrawWindow(Form->ClientHandle(), nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN | RDW_UPDATENOW | RDW_FRAME);
          }
        }
      }
      if (UseGlobalColor() && !SD->CustomColor() && M != nullptr) Form->SetColor(M->GetGlobalColor());
      if (MDIForm != nullptr && MDIForm->MDIWnd == nullptr) MDIForm->Update();
      SD->SetUpdating(false);
      BroadcastToAdapter(Message);
      BorderRepaint(this, true);
      return;
    }
    case AC_GETPROVIDER:
      Message.Result = reinterpret_cast<LRESULT>(this);
      return;
    case AC_SETUPDATING:
      SD->SetUpdating(AlphaCmdArg(Message.WParam) == 1);
      if (!SD->GetUpdating()) SD->BackgroundStale = true;
      return;
    case AC_SETPARENTDEPENDENT:
      HandleCommonMessage(Message, SD);
      if (SD->ForceParentDependent) PaintAll(this);
      return;
    case AC_ISBUSY:
      Message.Result = SD->GetUpdating() && SD->IsSkinPaintMode() && !acSkinChanging ? 1 : 0;
      return;
    case AC_APPACTIVATED:
      if (BorderForm != nullptr && Form->FormState().Contains(fsModal)) BorderRepaint(this, false);
      return;
    case AC_ISPARENTDEPENDENT: {
      const TsGeneralData* S = SD->Section();
      const LRESULT R = S != nullptr && S->GradientPercent + S->ImagePercent > 0 ? 1 : 0;
      Message.Result = R;
      Message.LParam = R;
      return;
    }
    case AC_GETCOLOR:
      Message.Result = static_cast<LRESULT>(FormColor());
      return;
    case AC_CONTROLLOADED:
      if (!Form->IsLoading() && Adapter != nullptr) {
        auto* C = reinterpret_cast<TControl*>(Message.LParam);
        Adapter->AddAllItems(C != nullptr ? dynamic_cast<TWinControl*>(C) : nullptr);
      }
      return;
    case AC_UPDATEBORDER:
      BorderRepaint(this, false);
      return;
    case AC_BEFORESCROLL:
      if (SD->ParentDependent() && Form->HandleAllocated()) SendMessageW(Form->Handle(), WM_SETREDRAW, 0, 0);
      return;
    case AC_AFTERSCROLL:
      if (SD->ParentDependent() && Form->HandleAllocated()) {
        SendMessageW(Form->Handle(), WM_SETREDRAW, 1, 0);
        RedrawWindow(Form->Handle(), nullptr, nullptr, RdwFull | RDW_ALLCHILDREN);
        if (SkinnedMDIMainProvider == this && Form->ClientHandle() != nullptr)
          RedrawWindow(Form->ClientHandle(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
      }
      return;
    default:
      return;  // swallowed
  }
}

void TsSkinProvider::SkinnedProc(TMessage& Message) {
  switch (Message.Msg) {
    case SM_ALPHACMD: SkinnedAlphaCmd(Message); return;
    case WM_CREATE: WMCreateSkinned(Message); return;
    case WM_NCCREATE: WMNCCreateSkinned(Message); return;
    case WM_MOVE: WMMoveSkinned(Message); return;
    case WM_SIZE: WMSizeSkinned(Message); return;
    case WM_ACTIVATE: WMActivateSkinned(Message); return;
    case WM_SETREDRAW: WMSetRedrawSkinned(Message); return;
    case WM_SETTEXT: WMSetTextSkinned(Message); return;
    case WM_PAINT: WMPaintSkinned(Message); return;
    case WM_ERASEBKGND: WMEraseBkgndSkinned(Message); return;
    case WM_SYSCOLORCHANGE: WMSysColorChangeSkinned(Message); return;
    case WM_SHOWWINDOW: WMShowWindowSkinned(Message); return;
    case WM_SETTINGCHANGE: WMSettingChangeSkinned(Message); return;
    case WM_CHILDACTIVATE: WMChildActivateSkinned(Message); return;
    case WM_GETMINMAXINFO: WMGetMinMaxInfo(Message); return;
    case WM_MEASUREITEM: WMMeasureItemSkinned(Message); return;
    case WM_WINDOWPOSCHANGING: WMWindowPosChanging(Message); return;
    case WM_WINDOWPOSCHANGED: WMWindowPosChangedSkinned(Message); return;
    case WM_NOTIFY: WMNotifySkinned(Message); return;
    case WM_CONTEXTMENU: WMContextMenuSkinned(Message); return;
    case WM_SETICON: WMSetIconSkinned(Message); return;
    case WM_NCHITTEST: WMNCHitTest(Message); return;
    case WM_NCPAINT: WMNCPaintSkinned(Message); return;
    case WM_NCACTIVATE: WMNCActivateSkinned(Message); return;
    case WM_NCLBUTTONDOWN: WMNCLButtonDown(Message); return;
    case WM_NCLBUTTONUP:
    case WM_LBUTTONUP: WMNCLButtonUp(Message); return;
    case WM_NCLBUTTONDBLCLK: WMNCLButtonDblClk(Message); return;
    case WM_NCRBUTTONDOWN: WMNCRButtonDownSkinned(Message); return;
    case WM_NCRBUTTONUP: WMNCRButtonUp(Message); return;
    case WM_SYSCOMMAND: WMSysCommand(Message); return;
    case WM_INITMENUPOPUP: WMInitMenuPopupSkinned(Message); return;
    case WM_MOUSEMOVE: WMMouseMoveSkinned(Message); return;
    case WM_PARENTNOTIFY: WMParentNotifySkinned(Message); return;
    case WM_ENTERMENULOOP: WMEnterMenuLoopSkinned(Message); return;
    case WM_EXITMENULOOP: WMExitMenuLoopSkinned(Message); return;
    case WM_SIZING:
    case CM_ACTIVATE: PassOnThenPlaceBorder(Message); return;
    case WM_MDIDESTROY:
    case WM_MDIACTIVATE: WMMDIActivateSkinned(Message); return;
    case WM_EXITSIZEMOVE: WMExitSizeMoveSkinned(Message); return;
    case WM_MOUSELEAVE:
    case CM_MOUSELEAVE: WMMouseLeaveSkinned(Message); return;
    case WM_NCMOUSELEAVE: WMNCMouseLeaveSkinned(Message); return;
    case WM_SYSMENU_POPUP: WMSysMenuPopupSkinned(Message); return;
    case WM_PRINT: WMPrintSkinned(Message); return;
    case CM_VISIBLECHANGED: CMVisibleChangedSkinned(Message); return;
    case CM_ENABLEDCHANGED: CMEnabledChangedSkinned(Message); return;
    case CM_COLORCHANGED: CMColorChangedSkinned(Message); return;
    case CM_MOUSEENTER: CMMouseEnterSkinned(Message); return;
    case CM_MENUCHANGED: CMMenuChangedSkinned(Message); return;
    case CM_SHOWINGCHANGED: CMShowingChangedSkinned(Message); return;
    case CM_CONTROLLISTCHANGE: CMControlListChangeSkinned(Message); return;
    case CM_BORDERCHANGED: CMBorderChangedSkinned(Message); return;
    case CM_MOUSEWHEEL: CMMouseWheelSkinned(Message); return;
    // Answered here and not passed on.
    case WM_UAHDESTROYWINDOW:
    case WM_ENTERIDLE:
    case CM_INVALIDATE:
    case CM_BUFFEREDPRINTCLIENT:
    case WM_OWN_REGION_QUERY:
      Message.Result = 0;
      return;
    case WM_PRINTCLIENT:
      return;
    default:
      PassOn(Message);
      return;
  }
}

// ---- creation, placing and settings ---------------------------------------------------------------

void TsSkinProvider::WMCreateSkinned(TMessage& Message) {
  TitleBand.reset();
  if (IsMDIChild() && SkinnedMDIMainProvider == nullptr && Application->MainForm() != nullptr &&
      Application->MainForm()->HandleAllocated())
    SkinActivatedWindow(Application->MainForm()->Handle());
  MaximizedChildCreating = IsMDIChild() && SkinnedMDIMainProvider != nullptr &&
                           SkinnedMDIMainProvider->Form->ActiveMDIChild() != nullptr &&
                           SkinnedMDIMainProvider->Form->ActiveMDIChild()->WindowState() == wsMaximized;
  PassOn(Message);
  if (!IsMDIChild()) PrepareForm();
}

void TsSkinProvider::WMNCCreateSkinned(TMessage& Message) {
  PassOn(Message);
  if (!IsMDIChild()) PrepareForm();
}

void TsSkinProvider::WMMoveSkinned(TMessage& Message) {
  ClearButtonAnimations();
  PassOn(Message);
  BorderRepaint(this, false);
}

void TsSkinProvider::PassOnThenPlaceBorder(TMessage& Message) {
  PassOn(Message);
  BorderRepaint(this, false);
}

void TsSkinProvider::WMWindowPosChangedSkinned(TMessage& Message) {
  PassOn(Message);
  MaxCaptionFlag = BorderForm != nullptr && Form->HandleAllocated() && IsZoomed(Form->Handle()) &&
                   SkinTitleHeight(BorderForm) < KeptSystemMetric(SM_CYCAPTION) + 4;
  // The region follows the window at once: the size the system gave (which may differ from the
  // one asked for, below its minimum size) and a change of state at an unchanged size, which the
  // image's size does not tell.
  if (FormShowing() && !RgnUpdating && RegionOutdated()) {
    FillRgnRects();
    UpdateFormRgn(true);
  }
  BorderRepaint(this, false);
}

void TsSkinProvider::WMExitSizeMoveSkinned(TMessage& Message) {
  PassOn(Message);
  if (BorderForm != nullptr) {
    if (acProviderLink.HookedWindows)
      for (HWND W : acProviderLink.HookedWindows()) SendSkinCommand(W, AC_APPACTIVATED, 0);
    if (Form->FormState().Contains(fsModal)) BorderRepaint(this, false);
  }
}

void TsSkinProvider::WMSetRedrawSkinned(TMessage& Message) {
  if (Message.WParam == 1) {
    if (RedrawLockCount > 0) --RedrawLockCount;
  } else {
    ++RedrawLockCount;
  }
  PassOn(Message);
}

void TsSkinProvider::WMSysColorChangeSkinned(TMessage& Message) {
  PassOn(Message);
  RebuildMainMenu();
}

void TsSkinProvider::WMSettingChangeSkinned(TMessage& Message) {
  ForgetSystemMetrics();
  SkinData()->BackgroundStale = true;
  TitleBand.reset();
  PassOn(Message);
}

void TsSkinProvider::WMSetIconSkinned(TMessage& Message) {
  PassOn(Message);
  RedrawNonClient();
}

// ---- MDI --------------------------------------------------------------------------------------------

void TsSkinProvider::WMChildActivateSkinned(TMessage& Message) {
  PassOn(Message);
  RebuildMainMenu();
  TsSkinProvider* P = SkinnedMDIMainProvider;
  if (ProviderAlive(P) && P->MDIForm != nullptr && P->Form->ActiveMDIChild() != nullptr &&
      P->Form->ActiveMDIChild()->WindowState() == wsMaximized)
    P->MDIForm->UpdateFormNC();
}

void TsSkinProvider::WMMDIActivateSkinned(TMessage& Message) {
  PassOn(Message);
  if (IsMDIChild() && Form->WindowState() != wsMaximized && ProviderAlive(SkinnedMDIMainProvider)) {
    MenuRebuilt = false;
    SkinnedMDIMainProvider->TitleDirty = true;
    SkinnedMDIMainProvider->SkinData()->BackgroundStale = true;
    SkinnedMDIMainProvider->MenuLineRows = -1;
    SendMessageW(SkinnedMDIMainProvider->Form->Handle(), WM_NCPAINT, 0, 0);
  }
  MaximizedChildProvider = this;
}

// ---- menus -----------------------------------------------------------------------------------------

void TsSkinProvider::WMMeasureItemSkinned(TMessage& Message) {
  TsSkinManager* M = SkinData()->SkinManager();
  auto* MIS = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam);
  if (MIS != nullptr && MIS->CtlType == ODT_MENU && !IsMDIChild() && M != nullptr && Form->Menu() != nullptr) {
    if (TMenuItem* Item = Form->Menu()->FindItem(MIS->itemID, fkCommand))
      if (TsSkinableMenus* Menus = SkinableMenusOf(M)) Menus->HookItem(Item, true, true);
  }
  PassOn(Message);
}

void TsSkinProvider::WMContextMenuSkinned(TMessage& Message) {
  TsSkinManager* M = SkinData()->SkinManager();
  if (Form->PopupMenu() != nullptr && M != nullptr)
    if (TsSkinableMenus* Menus = SkinableMenusOf(M)) Menus->HookPopupMenu(Form->PopupMenu(), true);
  PassOn(Message);
}

void TsSkinProvider::WMInitMenuPopupSkinned(TMessage& Message) {
  if (HIWORD(Message.LParam) != 0) EnableMenuItem(reinterpret_cast<HMENU>(Message.WParam), SC_SIZE, MF_GRAYED);
  PassOn(Message);
}

void TsSkinProvider::WMEnterMenuLoopSkinned(TMessage& Message) {
  // An MDI main form with a maximized child keeps the child's buttons visible at the right
  // end of the menu line while the system draws the menu bar.
  TCustomForm* Child = IsMDIForm() ? Form->ActiveMDIChild() : nullptr;
  if (Child != nullptr && Child->WindowState() == wsMaximized && !RegionLock && Form->HandleAllocated()) {
    RegionLock = true;
    if (MenuLoopCover != nullptr && MenuLoopCoverOwner != this) {
      delete MenuLoopCover;
      MenuLoopCover = nullptr;
    }
    if (MenuLoopCover == nullptr) {
      MenuLoopCoverOwner = this;
      MenuLoopCover = new TForm(Application);
      MenuLoopCover->SetTag(-98);
      MenuLoopCover->SetName("acMDIIcons");
      MenuLoopCover->SetBorderStyle(bsNone);
      MenuLoopCover->SetVisible(false);
      MenuLoopCover->OnPaint = [this](TObject* Sender) { MenuFormPaint(Sender); };
      MenuLoopCover->FreeNotification(this);
    }
    const TRect R = MenuLoopCoverRect();
    SetWindowPos(MenuLoopCover->Handle(), nullptr, R.Left, R.Top, R.Width(), R.Height(),
                 SWP_NOREDRAW | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    // Shown without a redraw it keeps what the screen showed there only where the system
    // leaves a new window's pixels alone; its own paint repeats those pixels everywhere.
    InvalidateRect(MenuLoopCover->Handle(), nullptr, FALSE);
  }
  PassOn(Message);
}

void TsSkinProvider::WMExitMenuLoopSkinned(TMessage& Message) {
  PassOn(Message);
  // The system draws its own icon and menu line over the skinned title while a menu of its own
  // runs (the skin may have come meanwhile): the frame is painted again.
  if (Message.WParam == FALSE && FormShowing() && Form->HandleAllocated())
    SendMessageW(Form->Handle(), WM_NCPAINT, 1, 0);
}

void TsSkinProvider::EndMenuLoopCover() {
  RegionLock = false;
  if (MenuLoopCover == nullptr || MenuLoopCoverOwner != this) return;
  TForm* Cover = MenuLoopCover;
  MenuLoopCover = nullptr;
  MenuLoopCoverOwner = nullptr;
  delete Cover;
}

void TsSkinProvider::WMSysMenuPopupSkinned(TMessage&) {
  POINT P;
  GetCursorPos(&P);
  DropSysMenu(P.x, P.y);
}

void TsSkinProvider::CMMenuChangedSkinned(TMessage& Message) {
  if (Form->Visible() && !Form->ControlState().Contains(csCreating)) TitleDirty = true;
  PassOn(Message);
}

// ---- the mouse -------------------------------------------------------------------------------------

void TsSkinProvider::WMNCRButtonDownSkinned(TMessage& Message) {
  if (Message.WParam == HTCAPTION || Message.WParam == HTSYSMENU) return;
  PassOn(Message);
}

void TsSkinProvider::WMMouseMoveSkinned(TMessage& Message) {
  PassOn(Message);
  if (TsSkinManager* D = TsSkinManager::DefaultManager(); D != nullptr && !D->IsDesigning())
    D->SetHoverWindow(nullptr);
  if (ResizeMode() == rmBorder && acBorderFrame.Owner == this) {
    POINT P{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
    if (Form->HandleAllocated()) ClientToScreen(Form->Handle(), &P);
    FrameMouseMove(TPoint{P.x, P.y});
  }
}

void TsSkinProvider::WMMouseLeaveSkinned(TMessage& Message) {
  SetHotButton(0, true);
  PassOn(Message);
}

void TsSkinProvider::WMNCMouseLeaveSkinned(TMessage& Message) {
  // The pointer left the non-client area: a hot caption button goes back to normal.
  FTrackingNC = false;
  POINT P;
  GetCursorPos(&P);
  if (Form->HandleAllocated() && WindowFromPoint(P) != Form->Handle() && FPressedHT == 0) SetHotButton(0, true);
  PassOn(Message);
}

void TsSkinProvider::CMMouseEnterSkinned(TMessage& Message) {
  PassOn(Message);
  LeaveHotFrames(reinterpret_cast<TControl*>(Message.LParam));
}

void TsSkinProvider::CMMouseWheelSkinned(TMessage& Message) {
  PassOn(Message);
  RouteMouseWheel(Message);
}

// ---- the form's controls and state -----------------------------------------------------------------

void TsSkinProvider::WMNotifySkinned(TMessage& Message) {
  PassOn(Message);
  if (Message.LParam != 0 && static_cast<int>(reinterpret_cast<NMHDR*>(Message.LParam)->code) == -551)
    CollectChildren(this);
}

void TsSkinProvider::WMParentNotifySkinned(TMessage& Message) {
  if (!IsLoading() && !Form->IsLoading() &&
      (LOWORD(Message.WParam) == WM_CREATE || LOWORD(Message.WParam) == WM_DESTROY)) {
    PassOn(Message);
    if (LOWORD(Message.WParam) == WM_CREATE) CollectChildren(this);
    TMessage Plain{SM_ALPHACMD, MakeAlphaCmd(AC_PLAINSTATE), 1, 0};
    BroadcastSkinCommand(Form, Plain);
    if (DrawNonClientArea() && ScrollAdapter != nullptr) UpdateScrollInfo(ScrollAdapter, true);
    return;
  }
  PassOn(Message);
}

void TsSkinProvider::CMControlListChangeSkinned(TMessage& Message) {
  PassOn(Message);
  auto* C = reinterpret_cast<TControl*>(Message.WParam);
  if (C == nullptr) return;
  if (auto* W = dynamic_cast<TWinControl*>(C)) {
    if (Adapter != nullptr) Adapter->AddNewItem(W);
    TMessage Plain{SM_ALPHACMD, MakeAlphaCmd(AC_PLAINSTATE), 1, 0};
    BroadcastSkinCommand(W, Plain);
  }
  C->Perform(SM_ALPHACMD, MakeAlphaCmd(AC_PLAINSTATE), 1);
}

void TsSkinProvider::CMVisibleChangedSkinned(TMessage& Message) {
  TsCommonData* SD = SkinData();
  PassOn(Message);
  BorderRepaint(this, Message.WParam == 1);
  if (Message.WParam == 0) {
    if (!FormDestroying() && SD->CacheBmp() != nullptr) SD->CacheBmp()->SetSize(0, 0);
    ClearButtonAnimations();
  } else if (Form->Parent() != nullptr) {
    RefreshChildControls(Form);
  }
}

void TsSkinProvider::CMEnabledChangedSkinned(TMessage& Message) {
  PassOn(Message);
  if (DrawNonClientArea()) {
    SkinData()->BackgroundStale = true;
    if (Form->HandleAllocated()) SendMessageW(Form->Handle(), WM_NCPAINT, 0, 0);
  }
}

void TsSkinProvider::CMColorChangedSkinned(TMessage& Message) {
  TsCommonData* SD = SkinData();
  if (SD->CustomColor()) {
    if (!Form->ControlState().Contains(csCreating)) SD->BackgroundStale = true;
    PassOn(Message);
  }
}

void TsSkinProvider::CMBorderChangedSkinned(TMessage& Message) {
  TsSkinManager* M = SkinData()->SkinManager();
  PassOn(Message);
  ScrollAdapter = nullptr;
  if (Form->HandleAllocated())
    SendMessageW(Form->Handle(), SM_ALPHACMD, MakeAlphaCmd(AC_REFRESHSKIN), reinterpret_cast<LPARAM>(M));
}

// ---- showing ----------------------------------------------------------------------------------

void TsSkinProvider::WMShowWindowSkinned(TMessage& Message) {
  if (!IsMDIChild()) {
    if (Message.WParam == 1 && IsDwmCompositionEnabled() && !acSkinChanging && Form->HandleAllocated() &&
        (GetWindowLongW(Form->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED) == 0)
      RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
    if (Message.LParam == SW_PARENTCLOSING && Form->HandleAllocated())
      ShowState = IsIconic(Form->Handle()) ? 2 : (IsZoomed(Form->Handle()) ? 3 : 1);
  }
  PassOn(Message);
  if (IsMDIChild() && Form->WindowState() == wsMaximized && ProviderAlive(SkinnedMDIMainProvider))
    SkinnedMDIMainProvider->RefreshNonClient();
  if (IsMDIForm())
    for (int I = 0; I < Form->MDIChildCount(); ++I) {
      TCustomForm* C = Form->MDIChildren(I);
      if (C->HandleAllocated() && !WindowAnswersCommand(C->Handle(), AC_ISSKINNED)) SkinActivatedWindow(C->Handle());
    }
}

void TsSkinProvider::CMShowingChangedSkinned(TMessage& Message) {
  TsCommonData* SD = SkinData();
  // MDI support made while the form was being created found no client window yet.
  if (MDIForm != nullptr && MDIForm->MDIWnd == nullptr && Form->ClientHandle() != nullptr) MDIForm->Update();
  // An MDI child whose provider came before its window is prepared here: the framework activates
  // the child while its window is made, before it shows, so the activation that prepares it finds
  // it not shown yet, and none follows.
  if (IsMDIChild() && SysMenu == nullptr && Form->Showing() && Form->FormState().Contains(fsCreatedMDIChild))
    PrepareForm();
  TsSkinManager* M = SD->SkinManager();
  if (!(SD->BackgroundStale && Form->Showing() && DrawNonClientArea()) || M == nullptr) {
    PassOn(Message);
    return;
  }
  SkinFormMenus(SD->IsSkinned(false));
  CollectChildren(this);
  const bool Big = Form->BorderStyle() == bsSingle || Form->BorderStyle() == bsSizeable;
  TacFormAnimation* Anim = Big ? static_cast<TacFormAnimation*>(M->AnimEffects()->FormShow())
                               : static_cast<TacFormAnimation*>(M->AnimEffects()->DialogShow());
  const bool Animated = !IsMDIChild() && Form->Parent() == nullptr && Anim->Active();
  bool MadeLayered = false;
  if (Animated) {
    SD->SetUpdating(true);
    AnimatedShow = true;
    SkinChanging = true;
    MadeLayered = MakeLayeredInvisible(Form, true);
    if (MadeLayered) {
      UpdateFormRgn(false);
      RgnUpdating = false;
    }
    for (int I = 0; I < Form->ControlCount(); ++I)
      if (auto* W = dynamic_cast<TWinControl*>(Form->Controls(I)); W != nullptr && W->Visible() && W->HandleAllocated())
        SendMessageW(W->Handle(), WM_SETREDRAW, 0, 0);
  } else {
    SD->SetUpdating(false);
  }
  UpdateBorderForm(M->ExtendedBorders());
  PassOn(Message);
  UpdateScrollAdapter();
  if (Animated) {
    for (int I = 0; I < Form->ControlCount(); ++I)
      if (auto* W = dynamic_cast<TWinControl*>(Form->Controls(I)); W != nullptr && W->Visible() && W->HandleAllocated())
        SendMessageW(W->Handle(), WM_SETREDRAW, 1, 0);
    if (MadeLayered) MakeLayeredInvisible(Form, false);
    AnimatedShow = false;
    SkinChanging = false;
    AnimateFormShow(Form, Anim->Time());
    UpdateFormRgn(false);
    if (Form->HandleAllocated())
      RedrawWindow(Form->Handle(), nullptr, nullptr,
                   SD->IsSkinPaintMode() ? RDW_INVALIDATE | RDW_NOERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME
                                         : RdwFull | RDW_ALLCHILDREN);
    RgnUpdating = false;
  }
  if (IsMDIChild() && Form->WindowState() == wsMaximized && ProviderAlive(SkinnedMDIMainProvider))
    SkinnedMDIMainProvider->RefreshNonClient();
}

// ---- activation --------------------------------------------------------------------------------

void TsSkinProvider::WMActivateSkinned(TMessage& Message) {
  if (!FormShowing()) {
    PassOn(Message);
    return;
  }
  PassOn(Message);
  if (ScrollAdapter == nullptr && DrawNonClientArea()) UpdateScrollAdapter();
  if (Form->ControlState().Contains(csCreating) || Form->FormState().Contains(fsCreating)) return;
  MenuLineRows = -1;
  if (IsMDIChild() && ProviderAlive(SkinnedMDIMainProvider)) {
    TCustomForm* Main = SkinnedMDIMainProvider->Form;
    for (int I = 0; I < Main->MDIChildCount(); ++I) {
      TCustomForm* C = Main->MDIChildren(I);
      if (C != Form && C->Visible() && C->HandleAllocated()) SendMessageW(C->Handle(), WM_NCPAINT, 0, 0);
    }
    SkinnedMDIMainProvider->SkinData()->BackgroundStale = true;
  }
  TsSkinManager* M = SkinData()->SkinManager();
  if (!(M != nullptr && M->IsDesigning())) SkinFormMenus(SkinData()->IsSkinned(false));
  if (SysMenu != nullptr) SysMenu->UpdateItems(false);
  if (Form->BorderStyle() == bsNone) RefreshChildControls(Form);
}

void TsSkinProvider::WMNCActivateSkinned(TMessage& Message) {
  TsCommonData* SD = SkinData();
  if (IsDestroying()) {
    PassOn(Message);
    return;
  }
  FormActive = Message.WParam != 0;
  if (!FormActive && ShowState == 3) {
    ShowState = 0;
  } else if (ShowState != 3) {
    SD->BackgroundStale = true;
    SD->SetUpdating(false);
  } else if (FormActive) {
    SD->SetUpdating(true);
  }
  if (!FormShowing() || !Form->HandleAllocated()) {
    PassOn(Message);
    return;
  }
  HWND H = Form->Handle();
  TsSkinManager* M = SD->SkinManager();
  const bool Composition = IsDwmCompositionEnabled();
  if (Composition) {
    const LONG Style = GetWindowLongW(H, GWL_STYLE);
    if (AnimatedShow) SendMessageW(H, WM_SETREDRAW, 0, 0);
    SetWindowLongW(H, GWL_STYLE, Style & ~WS_VISIBLE);
    PassOn(Message);
    SetWindowLongW(H, GWL_STYLE, Style);
    if (AnimatedShow) SendMessageW(H, WM_SETREDRAW, 1, 0);
  } else if (AnimatedShow) {
    SendMessageW(H, WM_SETREDRAW, 0, 0);
    PassOn(Message);
    SendMessageW(H, WM_SETREDRAW, 1, 0);
  } else {
    if (BorderForm != nullptr && M != nullptr && !M->AnimEffects()->FormShow()->Active()) UpdateFormRgn(false);
    const bool Cover = BorderForm == nullptr || Form->Menu() != nullptr;
    if (Cover) ShowMenuForm(false);
    PassOn(Message);
    if (Cover) FreeMenuForm();
  }
  if (IsMDIChild() && Form->Visible() && Form->FormState().Contains(fsCreatedMDIChild) &&
      Form->FormState().Contains(fsShowing) && ProviderAlive(SkinnedMDIMainProvider) &&
      SkinnedMDIMainProvider->MDIForm != nullptr) {
    if (SysMenu == nullptr) PrepareForm();
    TsSkinProvider* P = SkinnedMDIMainProvider;
    P->SkinData()->BackgroundStale = true;
    P->MenuLineRows = -1;
    P->MDIForm->UpdateFormNC();
    SendMessageW(P->Form->Handle(), WM_NCPAINT, 0, 0);
    if (P->Form->ClientHandle() != nullptr) SendMessageW(P->Form->ClientHandle(), WM_NCPAINT, 0, 0);
  }
  if ((GetWindowLongW(H, GWL_EXSTYLE) & WS_EX_LAYERED) != 0) SendMessageW(H, WM_NCPAINT, 0, 0);
  if (Form->ControlState().Contains(csCreating)) return;
  if (HasBorder()) {
    const bool ChildButtons = ChildButtonsInMenuLine();
    TCustomForm* Child = ChildButtons ? Form->ActiveMDIChild() : nullptr;
    const bool ChildActive = Child != nullptr && Child == Screen->ActiveForm();
    if (ChildButtons) {
      if (!(Message.WParam == 0 && !ChildActive)) {
        FormActive = Message.WParam != 0 || ChildActive;
        MenuLineRows = -1;
      }
    } else {
      MenuLineRows = -1;
    }
  }
  SendMessageW(H, WM_NCPAINT, 0, 0);
  BorderRepaint(this, true);
  if (!(M != nullptr && M->IsDesigning())) SkinFormMenus(SD->IsSkinned(false));
  if (!MenuRebuilt) MenuRebuilt = RebuildMainMenu();
  if (SD->IsSkinned(false) && Adapter == nullptr) CreateCtrlAdapter();
}

// ---- painting --------------------------------------------------------------------------------

void TsSkinProvider::WMNCPaintSkinned(TMessage& Message) {
  TsCommonData* SD = SkinData();
  if (!DrawNonClientArea() || (IsMDIChild() && acSkinChanging)) {
    PassOn(Message);
    return;
  }
  if (Form->HandleAllocated() && IsIconic(Form->Handle())) SD->BackgroundStale = true;
  if (AnimatedShow || !FormShowing() || IsLoading() || SysMenu == nullptr) return;
  if (Adapter == nullptr) CreateCtrlAdapter();
  if (SD->CacheBmp() == nullptr) {
    TsSkinManager* M = SD->SkinManager();
    UpdateBorderForm(M != nullptr && M->ExtendedBorders());
  }
  WMNCPaint(Message);
  Message.Result = 0;
}

void TsSkinProvider::WMPaintSkinned(TMessage& Message) {
  TsCommonData* SD = SkinData();
  if (Form->ControlState().Contains(csPaintCopy)) return;
  if (FrameWait.Pending() && Form->HandleAllocated()) SendMessageW(Form->Handle(), WM_NCPAINT, 0, 0);
  if (BorderForm != nullptr && !SkinChanging &&
      (BorderForm->AForm == nullptr || !BorderForm->AForm->HandleAllocated() ||
       !IsWindowVisible(BorderForm->AForm->Handle())))
    BorderRepaint(this, false);
  if (SD->IsSkinPaintMode()) {
    if (FormShowing()) {
      WMPaint(Message);
    } else if (BorderForm != nullptr || Form->AlphaBlend()) {
      PassOn(Message);
    } else if (Form->HandleAllocated()) {
      // Nothing to show yet: the update region is dropped so that no paint message repeats.
      ValidateRect(Form->Handle(), nullptr);
    }
    if (MaximizedChildCreating) {
      MaximizedChildCreating = false;
      if (IsMDIChild() && Form->HandleAllocated())
        Survive([&] { SendMessageW(Form->Handle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0); });
    }
    if (IsMDIForm() && Form->HandleAllocated()) {
      HDC DC = reinterpret_cast<HDC>(Message.WParam);
      const bool Own = DC == nullptr;
      if (Own) DC = GetDC(Form->Handle());
      PaintGraphicControls(DC, Form, TPoint{0, 0});
      if (Own) ReleaseDC(Form->Handle(), DC);
    }
    Message.Result = 0;
  } else if (FormShowing() && Form->HandleAllocated()) {
    if (SD->BackgroundStale && !IsDestroying())
      InvalidateRect(Form->Handle(), nullptr, TRUE);
    PAINTSTRUCT PS;
    BeginPaint(Form->Handle(), &PS);
    EndPaint(Form->Handle(), &PS);
    Message.Result = 0;
  } else {
    PassOn(Message);
  }
  if (!SkinChanging && Form->OnPaint) Form->OnPaint(Form);
}

void TsSkinProvider::WMEraseBkgndSkinned(TMessage& Message) {
  TsCommonData* SD = SkinData();
  if (!FormShowing()) {
    PassOn(Message);
    return;
  }
  HDC DC = reinterpret_cast<HDC>(Message.WParam);
  if (Form->ControlState().Contains(csPaintCopy) || Message.WParam == static_cast<WPARAM>(Message.LParam)) {
    if (DC != nullptr) {
      if (SD->BackgroundStale) PaintAll(this);
      if (SD->IsSkinPaintMode() && SD->CacheBmp() != nullptr && !SD->CacheBmp()->Empty())
        BitBlt(DC, 0, 0, Form->Width(), Form->Height(), SD->CacheBmp()->Canvas()->Handle(), OffsetX(), OffsetY(),
               SRCCOPY);
      else
        FillRectSolid(DC, TRect{0, 0, Form->Width(), Form->Height()}, GetWindowColor(Form->Handle()));
    }
    Message.Result = 1;
    return;
  }
  TCustomForm* Child = IsMDIForm() ? Form->ActiveMDIChild() : nullptr;
  if (!SD->IsSkinPaintMode() || (Child != nullptr && Child->WindowState() == wsMaximized)) {
    HDC Target = DC;
    bool Own = false;
    if (IsDwmCompositionEnabled() && DC != nullptr) {
      RECT Clip;
      const int Kind = GetClipBox(DC, &Clip);
      if (Kind == NULLREGION || Kind == ERROR || IsRectEmpty(&Clip)) {
        Target = GetWindowDC(Form->Handle());
        Own = true;
      }
    }
    PaintFormBackground(Target);
    if (Own) ReleaseDC(Form->Handle(), Target);
    if (MaximizedChildCreating) {
      MaximizedChildCreating = false;
      if (IsMDIChild()) MaximizedChildProvider = this;
    }
    Message.Result = 1;
    return;
  }
  if (SD->GetUpdating()) {
    Message.Result = 1;
    return;
  }
  RECT Clip;
  const int Kind = DC != nullptr ? GetClipBox(DC, &Clip) : NULLREGION;
  if (Kind == NULLREGION || Kind == ERROR) {
    RefreshChildControls(Form);
    return;
  }
  Message.Result = 1;
}

void TsSkinProvider::WMPrintSkinned(TMessage& Message) {
  TsCommonData* SD = SkinData();
  if (!Form->Visible() || Form->ControlState().Contains(csCreating) || Form->IsLoading() ||
      FormDestroying())
    return;
  HDC DC = reinterpret_cast<HDC>(Message.WParam);
  if (DC == nullptr) return;
  if (!MenuRebuilt) MenuRebuilt = RebuildMainMenu();
  SD->SetUpdating(false);
  const int Saved = SaveDC(DC);
  if (BorderForm != nullptr) {
    if (SD->BackgroundStale) PaintAll(this);
    if (TBitmap* B = SD->CacheBmp())
      BitBlt(DC, 0, 0, B->Width(), B->Height(), B->Canvas()->Handle(), 0, 0, SRCCOPY);
    MoveWindowOrg(DC, OffsetX(), OffsetY() + (Form->Menu() != nullptr ? 1 : 0));
    IntersectClipRect(DC, 0, 0, Form->ClientWidth(), Form->ClientHeight());
    if (!IsMDIForm()) PaintGraphicControls(DC, Form, TPoint{0, 0});
  } else if (DrawNonClientArea()) {
    PaintNonClient(DC);
    MoveWindowOrg(DC, OffsetX(), OffsetY());
    IntersectClipRect(DC, 0, 0, Form->ClientWidth(), Form->ClientHeight());
    const bool Plain = (SD->StateBits & ssPlainBackground) != 0;
    if (Plain) {
      const int S2 = SaveDC(DC);
      ExcludeGraphicControls(DC, Form, 0, 0);
      PaintClientBg(DC, false);
      RestoreDC(DC, S2);
      if (!IsMDIForm()) PaintGraphicControls(DC, Form, TPoint{0, 0});
    } else {
      PaintClientBg(DC, false);
    }
  }
  RestoreDC(DC, Saved);
  if (IsMDIForm() && Form->ClientHandle() != nullptr)
    SendMessageW(Form->ClientHandle(), WM_PRINT, Message.WParam, Message.LParam);
}

// ---- size -----------------------------------------------------------------------------------

void TsSkinProvider::WMSizeSkinned(TMessage& Message) {
  TsCommonData* SD = SkinData();
  TsSkinManager* M = SD->SkinManager();
  const bool PaintMode = SD->IsSkinPaintMode();
  const int NewW = LOWORD(Message.LParam), NewH = HIWORD(Message.LParam);
  const int LastW = LastClientRect.Width(), LastH = LastClientRect.Height();
  HWND H = Form->HandleAllocated() ? Form->Handle() : nullptr;
  if (H != nullptr && GripVisible() && M != nullptr) {
    const int GI = M->GetMaskIndex(M->CommonSkinIndexes().GlobalInfo, "GLOBALINFO", "GRIPIMAGE");
    if (M->IsValidMaskIndex(GI)) {
      const TSize G = M->GetMaskFrameSize(GI);
      if ((NewW > LastW || NewH > LastH) && !PaintMode && LastW != 0) {
        RECT R{LastW - G.cx, LastH - G.cy, LastW, LastH};
        InvalidateRect(H, &R, !PaintMode);
      }
      if (NewW < LastW || NewH < LastH) {
        RECT R{NewW - G.cx, NewH - G.cy, NewW, NewH};
        InvalidateRect(H, &R, !PaintMode);
      }
    }
  }
  if (H != nullptr && M != nullptr && (NewW < LastW || NewH < LastH || LastW == 0) && SD->IsSkinned(false)) {
    for (const char* Key : {"IMGTOPRIGHT", "IMGBTMRIGHT"}) {
      const int I = M->GetMaskIndex(SD->SectionIndex, SD->SkinSection(), Key);
      if (M->IsValidMaskIndex(I)) {
        const TSize S = M->GetMaskFrameSize(I);
        RECT R{LastW - S.cx, LastH - S.cy, LastW, LastH};
        InvalidateRect(H, &R, TRUE);
      }
    }
    if (const TsGeneralData* S = SD->Section(); S != nullptr && S->GradientPercent > 0)
      InvalidateRect(H, nullptr, TRUE);
  }
  LastClientRect = TRect{0, 0, Form->ClientWidth(), Form->ClientHeight()};
  PassOn(Message);
  if (acSkinChanging) return;
  // The border window takes the new image once, at the end: the new region's position messages on
  // the way would give it the same image before.
  TacBorderHold Hold(BorderForm);
  if (FormShowing()) {
    if (CacheSizeChanged() && !(H != nullptr && IsIconic(H) && IsDwmCompositionEnabled())) {
      const bool Missing = SD->CacheBmp() == nullptr || SD->CacheBmp()->Empty();
      const bool Larger = SD->CacheBmp() != nullptr &&
                          (SD->CacheBmp()->Width() > FullWidth() || SD->CacheBmp()->Height() > Form->Height());
      RgnChanged = true;
      SD->BackgroundStale = true;
      MenuLineRows = -1;
      if (DrawNonClientArea() && H != nullptr) SendMessageW(H, WM_NCPAINT, 0, 0);
      if (!IsDwmCompositionEnabled() && H != nullptr && (Missing || (PaintMode && Larger)))
        InvalidateRect(H, nullptr, TRUE);
    } else if (IsMDIForm() && PaintMode && H != nullptr) {
      SendMessageW(H, WM_NCPAINT, 0, 0);
    } else if (IsMDIChild() && Message.WParam == SIZE_MAXIMIZED && ProviderAlive(SkinnedMDIMainProvider)) {
      SkinnedMDIMainProvider->SkinData()->BackgroundStale = true;
      TitleDirty = true;
      if (H != nullptr) RedrawWindow(H, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
    }
    if (FrameWait.Pending() && DrawNonClientArea() && H != nullptr) SendMessageW(H, WM_NCPAINT, 0, 0);
  } else {
    SD->BackgroundStale = true;
  }
  // A child maximised by any means (its window state, not only the system command) puts its
  // buttons into the main form's menu line.
  if (IsMDIChild() && Message.WParam == SIZE_MAXIMIZED && ProviderAlive(SkinnedMDIMainProvider) &&
      MaximizedChildProvider != this) {
    MaximizedChildProvider = this;
    SkinnedMDIMainProvider->RefreshNonClient();
  }
  Hold.Release();
  BorderRepaint(this, true);
}

// ---- caption text --------------------------------------------------------------------------

void TsSkinProvider::WMSetTextSkinned(TMessage& Message) {
  if (!(FormShowing() && !Form->ControlState().Contains(csCreating) && DrawNonClientArea())) {
    PassOn(Message);
    return;
  }
  if (IsMDIChild() && Form->WindowState() == wsMaximized && ProviderAlive(SkinnedMDIMainProvider)) {
    TsSkinProvider* P = SkinnedMDIMainProvider;
    P->SkinData()->BackgroundStale = true;
    P->ShowMenuForm(false);
    PassOn(Message);
    P->FreeMenuForm();
  } else if (!IsDwmCompositionEnabled()) {
    SkinData()->BackgroundStale = true;
    ShowMenuForm(false);
    PassOn(Message);
    FreeMenuForm();
    if (Form->AlphaBlend() && Form->HandleAllocated()) SendMessageW(Form->Handle(), WM_NCPAINT, 0, 0);
  } else {
    PassOn(Message);
    RedrawNonClient();
  }
  // The new text goes into the title at once (also where the system drew its own caption).
  SkinData()->BackgroundStale = true;
  TitleDirty = true;
  if (BorderForm == nullptr && Form->HandleAllocated()) SendMessageW(Form->Handle(), WM_NCPAINT, 0, 0);
  BorderRepaint(this, true);
}

// ---- wheel ------------------------------------------------------------------------------------

namespace {

// A frame takes the wheel itself when it has a wheel event of its own (the framework's frame
// does not scroll by the wheel otherwise).
bool FrameTakesWheel(TWinControl* Frame) {
  return Frame->OnMouseWheel || Frame->OnMouseWheelDown || Frame->OnMouseWheelUp;
}

// A control's wheel handling (DoMouseWheel is a protected dispatch method of the framework).
struct TWheelDispatch : TControl {
  static bool Run(TControl* C, TShiftState Shift, int Delta, TPoint Pos) {
    bool (TControl::*Do)(TShiftState, int, TPoint) = &TWheelDispatch::DoMouseWheel;
    return (C->*Do)(Shift, Delta, Pos);
  }
};

// The frame under a screen point: the windowed controls under it, from Root downwards, until a
// frame is met (nullptr when none).
TWinControl* FrameAt(TWinControl* Root, TPoint Screen) {
  TWinControl* C = Root;
  while (C != nullptr && C->HandleAllocated()) {
    auto* Child = dynamic_cast<TWinControl*>(C->ControlAtPos(C->ScreenToClient(Screen), false, true));
    if (Child == nullptr) return nullptr;
    if (acIsFrame(Child)) return Child;
    C = Child;
  }
  return nullptr;
}

// The skin data of a frame: that of its frame adapter (nullptr when it has none).
TsCommonData* FrameSkinData(TWinControl* Frame) {
  for (int I = 0; I < Frame->ComponentCount(); ++I)
    if (auto* A = dynamic_cast<TsFrameAdapter*>(Frame->Components(I))) return A->SkinData();
  return nullptr;
}

// Every frame among the windowed controls below Parent, at any depth.
void ForEachFrame(TWinControl* Parent, const std::function<void(TWinControl*)>& Each) {
  for (int I = 0; I < Parent->ControlCount(); ++I) {
    auto* W = dynamic_cast<TWinControl*>(Parent->Controls(I));
    if (W == nullptr) continue;
    if (acIsFrame(W)) Each(W);
    ForEachFrame(W, Each);
  }
}

}  // namespace

void TsSkinProvider::LeaveHotFrames(TControl* Entered) {
  if (Form == nullptr) return;
  std::vector<TWinControl*> Hot;
  ForEachFrame(Form, [&](TWinControl* Frame) {
    if (Frame == Entered) return;
    TsCommonData* D = FrameSkinData(Frame);
    if (D != nullptr && D->GetHotState()) Hot.push_back(Frame);
  });
  for (TWinControl* Frame : Hot) Frame->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(Frame));
}

void TsSkinProvider::RouteMouseWheel(TMessage& Message) {
  // The wheel went to the focused control and up its parents unanswered: a frame under the
  // pointer that takes the wheel gets it.
  // The point is the one the wheel message carries: where the pointer was when the wheel
  // turned (the pointer's position now may already be another).
  if (MouseWheelRouting || Message.Result != 0 || Form == nullptr || !Form->HandleAllocated()) return;
  const TPoint Pos{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
  TWinControl* Frame = FrameAt(Form, Pos);
  if (Frame == nullptr || !FrameTakesWheel(Frame)) return;
  MouseWheelRouting = true;
  try {
    const TShiftState Shift = KeysToShiftState(LOWORD(Message.WParam));
    const int Delta = static_cast<short>(HIWORD(Message.WParam));
    Message.Result = TWheelDispatch::Run(Frame, Shift, Delta, Pos) ? 1 : 0;
  } catch (...) {
    MouseWheelRouting = false;
    throw;
  }
  MouseWheelRouting = false;
}
