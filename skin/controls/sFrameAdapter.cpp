// The frame adapter. Win32.
#include "skin/controls/sFrameAdapter.h"

#include <algorithm>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "skin/controls/acScrollBars.h"
#include "skin/controls/acWndAdapter.h"
#include "skin/controls/sButton.h"
#include "skin/core/sBackground.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sImagePaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sPaintUtils.h"
#include "skin/core/sSectionPaint.h"
#include "skin/core/sSkinManager.h"

bool acIsFrame(const TComponent* Component) { return dynamic_cast<const TScrollingWinControl*>(Component) != nullptr; }

TsFrameAdapter::TsFrameAdapter(TComponent* AOwner) : TComponent(AOwner) {
  FSkinData = std::make_unique<TsCommonData>(this, ckFrameAdapter, true);
  if (acIsFrame(AOwner)) {
    Frame = static_cast<TWinControl*>(AOwner);
    // The skin data paints the frame: it is its owner control.
    FSkinData = std::make_unique<TsCommonData>(Frame, ckFrameAdapter, true);
    FSkinData->SetSkinSection("GROUPBOX");
    FSavedProc = Frame->WindowProc();
    Frame->SetWindowProc([this](TMessage& M) { NewWndProc(M); });
    FHooked = true;
  } else {
    FSkinData->SetSkinSection("GROUPBOX");
    if (Application != nullptr) Application->MessageBox(AnsiString(sFrameAdapterMisplaced), AnsiString("Error"), MB_OK | MB_ICONERROR);
  }
  AfterConstruction();
}

TsFrameAdapter::~TsFrameAdapter() {
  delete FScrollAdapter;
  FScrollAdapter = nullptr;
  // The frame owns the adapter, so it is still there here, also while it is being destroyed; it
  // gets its window procedure back in every case, as its window still receives messages after
  // its components are gone.
  if (FHooked && Frame != nullptr) Frame->SetWindowProc(FSavedProc);
  FHooked = false;
  Frame = nullptr;
  FSkinData.reset();
}

void TsFrameAdapter::AfterConstruction() {
  if (Frame == nullptr) return;
  if (!Frame->HandleAllocated() || SendSkinCommandToControl(Frame, AC_ISSKINNED) == 1) FSkinData->UpdateIndexes();
}

void TsFrameAdapter::HookMenus() {
  TsSkinManager* M = FSkinData->GetSkinManager();
  if (Frame == nullptr || M == nullptr || !M->SkinData()->Active || IsDesigning()) return;
  if (!M->SkinnedPopups() || M->Menus() == nullptr) return;
  for (int I = 0; I < Frame->ComponentCount(); ++I)
    if (auto* P = dynamic_cast<TPopupMenu*>(Frame->Components(I))) M->Menus()->HookPopupMenu(P, true);
}

void TsFrameAdapter::NotifyForm() {
  TsSkinManager* M = FSkinData->GetSkinManager();
  if (M != nullptr && M->SkinningRules().Contains(srThirdParty)) NotifyParentFormLoaded(Frame);
}

void TsFrameAdapter::Loaded() {
  TComponent::Loaded();
  if (Frame == nullptr || FSkinData->GetSkinManager() == nullptr) return;
  if (SendSkinCommandToControl(Frame, AC_ISSKINNED) == 1) FSkinData->UpdateIndexes();
  HookMenus();
  if (FSkinData->IsSkinned(false)) NotifyForm();
}

void TsFrameAdapter::CallOld(TMessage& Message) {
  if (FSavedProc) FSavedProc(Message);
}

void TsFrameAdapter::UpdateCache() {
  if (FSkinData->IsSkinPaintMode() && Frame != nullptr) {
    FSkinData->InitCacheBmp();
    TBitmap* Bmp = FSkinData->CacheBmp();
    Bmp->SetSize(Frame->Width(), Frame->Height());
    Bmp->Canvas()->SetFont(Frame->Font());
    TCacheInfo CI;
    FSkinData->GetParentCacheInfo(CI);
    PaintControlSkin(FSkinData.get(), CI, true, 0, TRect(0, 0, Frame->Width(), Frame->Height()),
                     TPoint(Frame->Left(), Frame->Top()), Bmp);
  }
  FSkinData->BackgroundStale = false;
}

void TsFrameAdapter::PaintFrame(HDC DC) {
  if (DC == nullptr || Frame == nullptr) return;
  TsCommonData* D = FSkinData.get();
  if (D->IsSkinPaintMode()) {
    const int Saved = SaveDC(DC);
    D->Updating = D->GetUpdating();
    if (!D->Updating) {
      if (D->ParentDependent() && Frame->Parent() != nullptr) {
        RECT PR{};
        GetClientRect(Frame->Parent()->Handle(), &PR);
        const POINT A{Frame->Left() + 1, Frame->Top() + 1};
        const POINT B{Frame->Left() + Frame->Width() - 1, Frame->Top() + Frame->Height() - 1};
        D->OutOfView = !PtInRect(&PR, A) || !PtInRect(&PR, B);
      } else {
        D->OutOfView = false;
      }
      if (D->BackgroundStale || D->OutOfView || D->CacheBmp() == nullptr || D->CacheBmp()->Width() != Frame->Width())
        UpdateCache();
      CopyCacheExceptControls(Frame, D, TPoint(0, 0), 0, 0, false, DC, TRect(0, 0, Frame->Width(), Frame->Height()));
      PaintGraphicControls(DC, Frame, TPoint(0, 0));
      RefreshChildControls(Frame);
    }
    RestoreDC(DC, Saved);
    return;
  }
  // A plain background: the border strips from a temporary cache, the rest one colour.
  D->Updating = false;
  const int B = D->GetMaxBorderWidth();
  const int Saved = SaveDC(DC);
  ExcludeGraphicControls(DC, Frame, 0, 0);
  TRect R(0, 0, Frame->Width(), Frame->Height());
  if (B > 0) {
    D->InitCacheBmp();
    D->CacheBmp()->SetSize(Frame->Width(), Frame->Height());
    TRect Inner;
    PaintControlFrame(D->CacheBmp()->Canvas()->Handle(), R, B, D, 0, Inner);
    R = TRect(R.Left + B, R.Top + B, R.Right - B, R.Bottom - B);
  }
  FillRectSolid(DC, R, D->GetBackgroundColor(false, Frame->Handle()));
  RestoreDC(DC, Saved);
  if (B > 0 && D->CacheBmp() != nullptr)
    BltFrame(DC, 0, 0, Frame->Width(), Frame->Height(), D->CacheBmp()->Canvas()->Handle(), 0, 0, B);
  PaintGraphicControls(DC, Frame, TPoint(0, 0));
  // The border strips were all the cache was needed for: a plain frame keeps no picture.
  if (B > 0 && D->CacheBmp() != nullptr) D->CacheBmp()->SetSize(0, 0);
}

void TsFrameAdapter::WMPaint(TMessage& Message) {
  // A plain frame is painted whole by the erase that BeginPaint sends (see PaintFrame).
  if (!Frame->IsDestroying() && Frame->Parent() != nullptr && !FSkinData->IsSkinPaintMode())
    InvalidateRect(Frame->Handle(), nullptr, TRUE);
  PAINTSTRUCT PS{};
  HDC Given = reinterpret_cast<HDC>(Message.WParam);
  HDC DC = Given;
  FErasedInPaint = false;
  if (DC == nullptr) {
    FBeginningPaint = true;
    DC = BeginOwnPaint(Frame->Handle(), &PS);
    FBeginningPaint = false;
  }
  const int Saved = SaveDC(DC);
  // The erase that BeginPaint sent painted the same picture into the same DC already.
  if (FSkinData->IsSkinPaintMode() && !FErasedInPaint) {
    FSkinData->Updating = FSkinData->GetUpdating();
    if (!FSkinData->Updating) PaintFrame(DC);
  }
  RestoreDC(DC, Saved);
  if (Given == nullptr) EndPaint(Frame->Handle(), &PS);
}

bool TsFrameAdapter::SecondPassUnskinned() {
  TsSkinManager* M = FSkinData->GetSkinManager();
  return IsDestroying() || Frame == nullptr ||
         Frame->IsDestroying() || !FSkinData->IsSkinned(false) || M == nullptr ||
         !M->SkinData()->Active;
}

void TsFrameAdapter::NewWndProc(TMessage& Message) {
  if (IsDesigning() || Frame == nullptr) {
    CallOld(Message);
    return;
  }
  TsSkinManager* M = FSkinData->GetSkinManager();
  const bool FromManager = SentByManager(Message, M);
  if (Message.Msg == SM_ALPHACMD) {
    switch (AlphaCmdCode(Message.WParam)) {
      case AC_NEWSKIN:
        if (!FromManager) break;
        BroadcastSkinCommand(Frame, Message);
        HandleCommonMessage(Message, FSkinData.get());
        HookMenus();
        return;
      case AC_SKINREMOVED:
        if (!FromManager) break;
        delete FScrollAdapter;
        FScrollAdapter = nullptr;
        HandleCommonMessage(Message, FSkinData.get());
        BroadcastSkinCommand(Frame, Message);
        if (Frame->HandleAllocated()) {
          SetWindowPos(Frame->Handle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
          RedrawWindow(Frame->Handle(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
        }
        return;
      case AC_REFRESHSKIN:
        if (!FromManager) break;
        HandleCommonMessage(Message, FSkinData.get());
        FSkinData->UpdateIndexes();
        BroadcastSkinCommand(Frame, Message);
        if (Frame->HandleAllocated())
          RedrawWindow(Frame->Handle(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
        RefreshScrollAdapter(FSkinData.get(), FScrollAdapter);
        return;
      case AC_ISSKINNED:
        Message.Result = 1;
        return;
      case AC_GETSECTION:
        Message.Result = static_cast<LRESULT>(FSkinData->SectionIndex + 1);
        return;
      case AC_GETBACKGROUND:
        if (Message.LParam != 0)
          FSkinData->GetBackgroundInfo(*reinterpret_cast<TacBGInfo*>(Message.LParam), false, Frame->Handle());
        return;
      case AC_GETAPPLICATION:
        Message.Result = reinterpret_cast<LRESULT>(Application);
        return;
      case AC_BEFOREREFRESH: {
        // The children hear of it too; then the second pass.
        TMessage N = Message;
        BroadcastSkinCommand(Frame, N);
        break;
      }
      case AC_BEFORESCROLL:
      case AC_AFTERSCROLL:
        // A frame whose picture depends on what lies under it holds its redraw during a scroll.
        if (Frame->HandleAllocated() &&
            (SendSkinCommandToControl(Frame, AC_ISPARENTDEPENDENT) != 0 || FSkinData->ParentDependent())) {
          HWND W = Frame->Handle();
          if (AlphaCmdCode(Message.WParam) == AC_BEFORESCROLL) {
            SendMessageW(W, WM_SETREDRAW, 0, 0);
          } else {
            SendMessageW(W, WM_SETREDRAW, 1, 0);
            RedrawWindow(W, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
          }
        }
        break;
      default:
        break;
    }
  }
  if (SecondPassUnskinned()) {
    if ((Message.Msg == CM_VISIBLECHANGED || Message.Msg == CM_SHOWINGCHANGED) && Frame != nullptr &&
        Frame->HandleAllocated()) {
      FSkinData->UpdateIndexes();
      TMessage N{SM_ALPHACMD, MAKEWPARAM(1, AC_NEWSKIN), reinterpret_cast<LPARAM>(M), 0};
      BroadcastSkinCommand(Frame, N);
    }
    CallOld(Message);
    return;
  }
  HWND H = Frame->HandleAllocated() ? Frame->Handle() : nullptr;
  if (Message.Msg == SM_ALPHACMD) {
    switch (AlphaCmdCode(Message.WParam)) {
      case AC_REFRESHIFSKINNED:
        if (FSkinData->Updating) {
          FSkinData->Updating = false;
          if (H != nullptr) RedrawWindow(H, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        }
        return;
      case AC_ISBUSY:
        Message.Result = !FSkinData->IsSkinPaintMode() ? 0 : (FSkinData->Updating ? 1 : 0);
        return;
      case AC_BGMAYHAVECHANGED:
        FSkinData->BackgroundStale = true;
        return;
      default:
        if (!HandleCommonMessage(Message, FSkinData.get())) CallOld(Message);
        return;
    }
  }
  switch (Message.Msg) {
    case WM_MOVE:
    case WM_SIZE:
      FSkinData->BackgroundStale = FSkinData->BackgroundStale || Message.Msg == WM_SIZE || FSkinData->ParentDependent();
      if (FSkinData->BackgroundStale) {
        TMessage N{SM_ALPHACMD, MAKEWPARAM(1, AC_BGCHANGED), 0, 0};
        BroadcastSkinCommand(Frame, N);
      }
      if (Message.Msg == WM_SIZE && H != nullptr) InvalidateRect(H, nullptr, TRUE);
      CallOld(Message);
      return;
    case WM_PAINT:
      if (Frame->Parent() == nullptr) break;
      WMPaint(Message);
      Message.Result = 0;
      return;
    case WM_ERASEBKGND:
      if (!Frame->Showing()) break;
      if (!acSkinChanging) {
        FSkinData->Updating = FSkinData->GetUpdating();
        // The paint that follows an erase of the system's own paints the frame (see WMPaint).
        if (!FSkinData->Updating && (Frame->Parent() == nullptr ||
                                     !ErasedBeforeItsPaint(Frame->Handle(), reinterpret_cast<HDC>(Message.WParam)))) {
          PaintFrame(reinterpret_cast<HDC>(Message.WParam));
          FErasedInPaint = FBeginningPaint;
        }
      }
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      FSkinData->Updating = FSkinData->GetUpdating();
      Message.Result = 0;
      return;
    case WM_PRINT:
      FSkinData->Updating = false;
      if (ControlIsReady(Frame)) {
        PaintFrame(reinterpret_cast<HDC>(Message.WParam));
        if (FScrollAdapter != nullptr && H != nullptr) PaintSkinScrollBars(FScrollAdapter, H, nullptr, Message.WParam);
      }
      return;
    case WM_PARENTNOTIFY:
      if (LOWORD(Message.WParam) == WM_CREATE || LOWORD(Message.WParam) == WM_DESTROY) {
        if (LOWORD(Message.WParam) == WM_CREATE && H != nullptr) {
          FSkinData->UpdateIndexes();
          TMessage N{SM_ALPHACMD, MAKEWPARAM(1, AC_NEWSKIN), reinterpret_cast<LPARAM>(M), 0};
          BroadcastSkinCommand(Frame, N);
          NotifyForm();
        }
        CallOld(Message);
        if (FScrollAdapter != nullptr) UpdateScrollInfo(FScrollAdapter, true);
        return;
      }
      break;
    case CM_SHOWINGCHANGED:
      CallOld(Message);
      RefreshScrollAdapter(FSkinData.get(), FScrollAdapter);
      NotifyForm();
      return;
    case CM_VISIBLECHANGED:
      FSkinData->BackgroundStale = true;
      CallOld(Message);
      if (M != nullptr && H != nullptr) SendSkinCommand(H, AC_REFRESHSKIN, reinterpret_cast<LPARAM>(M));
      return;
    case CM_MOUSEENTER:
      CallOld(Message);
      // The engine's buttons on the frame that still look hot (another control or the frame
      // itself now has the mouse) are told that the mouse left them.
      for (int I = 0; I < Frame->ControlCount(); ++I) {
        auto* B = dynamic_cast<TsButton*>(Frame->Controls(I));
        if (B != nullptr && static_cast<TControl*>(B) != reinterpret_cast<TControl*>(Message.LParam) &&
            B->SkinData()->MouseOver && B->SkinData()->IsSkinned(false))
          B->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(B));
      }
      if (TsSkinManager* Def = TsSkinManager::DefaultManager(); Def != nullptr && H != nullptr) Def->SetHoverWindow(H);
      return;
    default:
      break;
  }
  CallOld(Message);
}
