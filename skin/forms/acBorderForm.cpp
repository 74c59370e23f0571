// The extended border window of skinned forms and dialogs.
#include "skin/forms/acBorderForm.h"

#include "framework/Scopes.h"
#include "skin/core/acGlow.h"
#include "skin/core/acPixels.h"
#include "skin/core/sBackground.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/sSkinMenus.h"

namespace {

// The border window's Tag: never skinned by the dialog hook or a form's adapter list.
constexpr int acNoSkinTag = -98;

// Every pixel of a 32-bit bitmap gets the alpha value.
void FillAlpha(TBitmap* Bmp, Byte A) {
  for (int Y = 0; Y < Bmp->Height(); ++Y) {
    auto* Row = static_cast<Byte*>(Bmp->ScanLine(Y));
    for (int X = 0; X < Bmp->Width(); ++X) Row[X * 4 + 3] = A;
  }
}

bool IsFormDestroying(TCustomForm* F) { return F != nullptr && F->IsDestroying(); }

// Gives window W the region Rgn (nullptr: none; the window owns it from then on) unless W has
// that region already: setting one, the same or none, moves the window again.
void SetWindowRgnIfChanged(HWND W, HRGN Rgn) {
  HRGN Current = CreateRectRgn(0, 0, 0, 0);
  const bool Has = GetWindowRgn(W, Current) != ERROR;
  const bool Same = Rgn == nullptr ? !Has : Has && EqualRgn(Current, Rgn) != FALSE;
  DeleteObject(Current);
  if (!Same && SetWindowRgn(W, Rgn, FALSE) != 0) return;
  if (Rgn != nullptr) DeleteObject(Rgn);
}

// A shown window stands in front of W in the window list: the screen does not bring W up then.
bool ShownInFront(HWND W) {
  for (HWND Above = GetWindow(W, GW_HWNDPREV); Above != nullptr; Above = GetWindow(Above, GW_HWNDPREV))
    if (IsWindowVisible(Above)) return true;
  return false;
}

// Puts the border window Border right behind its owner window Owner, both at Place among the other
// windows (HWND_TOP: in front of them), in the window list and on the screen. The screen follows a
// window's new place only when the window comes to the front (one put behind another stays where it
// shows), and a window shown, or made anew, later than the owner can stay over it: the border window
// comes to Place first and its owner after it, as when the owner is activated. Show: SWP_SHOWWINDOW
// or 0. The border window's own moves would put it back behind its owner at once: this runs while
// its updates are held off.
void BringUpBehindOwner(HWND Border, HWND Owner, HWND Place, UINT Show) {
  constexpr UINT Keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(Border, Place, 0, 0, 0, 0, Keep | Show);
  SetWindowPos(Owner, Place, 0, 0, 0, 0, Keep | SWP_NOOWNERZORDER);
  if (IsWindow(Border)) SetWindowPos(Border, Owner, 0, 0, 0, 0, Keep);
}

// The window in front of the owner window Owner in the window list, the border window Border
// passed over; nullptr when Owner heads the windows of its kind (a window that is not topmost heads
// them right behind the topmost ones).
HWND InFrontOfOwner(HWND Border, HWND Owner) {
  HWND Above = GetWindow(Owner, GW_HWNDPREV);
  if (Above == Border) Above = GetWindow(Border, GW_HWNDPREV);
  const bool Topmost = (GetWindowLongW(Owner, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  if (Above != nullptr && !Topmost && (GetWindowLongW(Above, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) Above = nullptr;
  return Above;
}


// The window list's place of the border window. Wine moves a window that the screen uncovers in
// front of the first window it finds over the uncovered part in the list, by that window's
// rectangle: the parts of the border window that let the windows behind it show (the shadow's
// transparent edges, the corners, the moments of a new size before its new image), uncover windows
// behind it, which then come in front of it in the list though not on the screen. A while after
// each such change the border window goes back right behind its owner in the list (the screen
// keeps it there already).
constexpr UINT_PTR acListPlaceTimer = 0xAC5B;
constexpr UINT acListPlaceInterval = 100;
constexpr int acListPlaceChecks = 5;

}  // namespace

TacBorderForm::TacBorderForm(TObject* AOwner, const TacBorderOwner& Link) : FOwner(AOwner), Owner(Link) {
  AForm = TCustomForm::Create<TForm>(nullptr);
  AForm->SetTag(acNoSkinTag);
  AForm->SetVisible(false);
  AForm->SetBorderStyle(bsNone);
  HWND W = AForm->Handle();
  SetWindowLongW(W, GWL_EXSTYLE, GetWindowLongW(W, GWL_EXSTYLE) | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE);
  OldWndProc = AForm->WindowProc();
  AForm->SetWindowProc([this](TMessage& M) { BorderWndProc(M); });
}

TacBorderForm::~TacBorderForm() {
  *Alive = false;
  if (Owner.FreeAnimations) Owner.FreeAnimations();
  if (AForm != nullptr) {
    AForm->SetWindowProc(OldWndProc);
    TForm* F = AForm;
    AForm = nullptr;
    delete F;
  }
}

// ---- owner dispatch --------------------------------------------------------------------------------------

HWND TacBorderForm::OwnerHandle() const {
  if (Owner.Handle) return Owner.Handle();
  return Owner.Form != nullptr && Owner.Form->HandleAllocated() ? Owner.Form->Handle() : nullptr;
}

int TacBorderForm::OwnerCaptionHeight(bool UseSkin) const {
  return Owner.CaptionHeight ? Owner.CaptionHeight(UseSkin) : 0;
}

int TacBorderForm::OwnerMenuHeight() const {
  if (Owner.MenuHeight) return Owner.MenuHeight();
  if (Owner.IsDialog || Owner.Form == nullptr) return 0;
  return Owner.Form->Menu() != nullptr ? KeptSystemMetric(SM_CYMENU) - 1 : 0;
}

int TacBorderForm::SysFrameWidth() const {
  if (Owner.FormBorderWidth) return Owner.FormBorderWidth();
  // The system frame: half the difference of window and client width.
  HWND W = OwnerHandle();
  if (W == nullptr) return 0;
  RECT WR{}, CR{};
  GetWindowRect(W, &WR);
  GetClientRect(W, &CR);
  return std::max(0, static_cast<int>((WR.right - WR.left) - CR.right) / 2);
}

void TacBorderForm::SetOwnerHotButton(int HitCode, bool Repaint) const {
  if (Owner.SetHotButton) Owner.SetHotButton(HitCode, Repaint);
}

TsCustomSysMenu* TacBorderForm::SysMenu() const { return Owner.SystemMenu ? Owner.SystemMenu() : nullptr; }

bool TacBorderForm::OwnerMaximized() const {
  HWND W = OwnerHandle();
  return W != nullptr && IsZoomed(W);
}

TRect TacBorderForm::Margins() const {
  TsSkinManager* M = SkinData != nullptr ? SkinData->GetSkinManager() : TsSkinManager::DefaultManager();
  return M != nullptr ? M->ShadowMargin() : TRect{0, 0, 0, 0};
}

int TacBorderForm::BorderTopOffset() {
  const TRect M = Margins();
  const int F = SysFrameWidth();
  const int CH = OwnerCaptionHeight(false);
  const int Title = CH != 0 ? (Owner.SkinTitleHeight ? Owner.SkinTitleHeight() : KeptSystemMetric(SM_CYCAPTION)) : 0;
  return M.Top - F + Title - CH;
}

// ---- placement ---------------------------------------------------------------------------------------------

TPoint TacBorderForm::ImageOrigin() {
  HWND OW = OwnerHandle();
  RECT OR{};
  if (OW == nullptr || !GetWindowRect(OW, &OR)) return TPoint{};
  const TRect M = Margins();
  const int F = SysFrameWidth();
  const int SkinFrame = Owner.SkinFrameWidth ? Owner.SkinFrameWidth() : F;
  const int Lx = SkinFrame - F + M.Left;
  int Ty;
  if (!Owner.IsDialog && Owner.MaximizedCaption && Owner.MaximizedCaption())
    Ty = F + M.Top + (Owner.DiffTitle ? Owner.DiffTitle() : 0);
  else
    Ty = BorderTopOffset();
  return TPoint{OR.left - Lx, OR.top - Ty};
}

void TacBorderForm::OwnerMessageDone(const TMessage& Message) {
  if (AForm == nullptr || Updating) return;
  const HWND OW = OwnerHandle();
  const HWND BW = AForm->Handle();
  if (OW == nullptr || !IsWindowVisible(OW) || IsIconic(OW) || !IsWindowVisible(BW)) return;
  // An activated owner comes to the front (the window list shows it there only a while later).
  bool Up = Message.Msg == WM_ACTIVATE && LOWORD(Message.WParam) != WA_INACTIVE;
  if (Message.Msg == WM_WINDOWPOSCHANGED) {
    const auto* WP = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
    Up = WP != nullptr && (WP->flags & SWP_NOZORDER) == 0 && InFrontOfOwner(BW, OW) == nullptr;
  }
  if (!Up) return;
  const std::shared_ptr<bool> Living = Alive;
  Updating = true;
  TScopeExit Done([&] {
    if (*Living) Updating = false;
  });
  BringUpBehindOwner(BW, OW, HWND_TOP, 0);
  if (*Living) WatchListPlace();
  if (*Living) RaiseLater = ShownInFront(OW);
}

void TacBorderForm::WatchListPlace() {
  ListChecks = acListPlaceChecks;
  SetTimer(AForm->Handle(), acListPlaceTimer, acListPlaceInterval, nullptr);
}

void TacBorderForm::CheckListPlace() {
  const HWND BW = AForm->Handle();
  if (--ListChecks <= 0) KillTimer(BW, acListPlaceTimer);
  const HWND OW = OwnerHandle();
  if (OW == nullptr || !IsWindowVisible(OW) || !IsWindowVisible(BW) || Updating) return;
  // Brought up while a shown window stood in front of it (a menu), the owner comes up again once
  // none stands there, if it is still the window in front.
  if (RaiseLater && !ShownInFront(OW)) {
    RaiseLater = false;
    if (GetForegroundWindow() == OW) {
      const std::shared_ptr<bool> Living = Alive;
      Updating = true;
      TScopeExit Done([&] {
        if (*Living) Updating = false;
      });
      BringUpBehindOwner(BW, OW, HWND_TOP, 0);
      return;
    }
  }
  if (GetWindow(OW, GW_HWNDNEXT) != BW)
    SetWindowPos(BW, OW, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TacBorderForm::UpdateBorderWindow(bool Repaint, Byte Alpha) {
  if (AForm == nullptr || Updating || HeldUpdates > 0 || (Application != nullptr && Application->Terminated())) return;
  HWND OW = OwnerHandle();
  RECT OR{};
  if (OW == nullptr || !GetWindowRect(OW, &OR)) return;
  // Whether the owner may be shown now.
  int Go;
  if (Owner.UpdateState) {
    Go = Owner.UpdateState();
  } else {
    Go = IsWindowVisible(OW) ? 0 : 1;
    if (!Owner.IsDialog && Owner.Form != nullptr) {
      if (IsFormDestroying(Owner.Form))
        Go = 3;
      else if (!Owner.Form->Visible() || IsIconic(OW) || (Application != nullptr && IsIconic(Application->Handle())))
        Go = 2;
      else
        Go = 0;
    }
  }
  if (Go == 1 || Go == 3) return;
  if (Go == 2) {
    ShowWindow(AForm->Handle(), SW_HIDE);
    return;
  }
  Updating = true;
  try {
    if (SkinData != nullptr && SkinData->BackgroundStale && Owner.PaintOwner) {
      Owner.PaintOwner();
      Repaint = true;
    }
    TBitmap* Cache = SkinData != nullptr ? SkinData->CacheBmp() : nullptr;
    const int W = Cache != nullptr ? Cache->Width() : 0;
    int H = Cache != nullptr ? Cache->Height() : 0;
    HWND BW = AForm->Handle();
    // Z order.
    const DWORD OwnerEx = static_cast<DWORD>(GetWindowLongW(OW, GWL_EXSTYLE));
    if ((OwnerEx & WS_EX_TOPMOST) != 0) {
      if (AForm->FormStyle() != fsStayOnTop) {
        AForm->SetFormStyle(fsStayOnTop);
        BW = AForm->Handle();
      }
    } else if (Owner.IsDialog && (GetWindowLongW(OW, GWL_STYLE) & WS_POPUP) != 0) {
      SetWindowLongW(BW, GWL_STYLE, GetWindowLongW(BW, GWL_STYLE) | WS_POPUP);
    }
    UINT Flags = SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
    bool UpdateImage = true;
    if (!Repaint && W == AForm->Width() && H == AForm->Height()) {
      Flags |= SWP_NOSIZE;
      UpdateImage = false;
    }
    if (!Repaint) Flags |= SWP_NOREDRAW;
    const TRect M = Margins();
    const int F = SysFrameWidth();
    const TPoint Origin = ImageOrigin();
    AForm->SetBounds(Origin.X, Origin.Y, W, H);
    if (!LayeredWindowsAvailable() || !UpdateImage || MouseForwarding || Cache == nullptr || W <= 0 || H <= 0) {
      SetWindowPos(BW, OW, 0, 0, 0, 0, Flags | SWP_NOSIZE | SWP_NOMOVE);
    } else {
      BLENDFUNCTION Blend{};
      Blend.BlendOp = AC_SRC_OVER;
      Blend.SourceConstantAlpha =
          !Owner.IsDialog && Owner.Form != nullptr && Owner.Form->AlphaBlend() ? Owner.Form->AlphaBlendValue() : Alpha;
      Blend.AlphaFormat = AC_SRC_ALPHA;
      SetWindowLongW(BW, GWL_EXSTYLE, GetWindowLongW(BW, GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_NOACTIVATE);
      SetWindowPos(BW, OW, 0, 0, 0, 0, Flags | SWP_NOSIZE | SWP_NOMOVE);
      SetWindowRgnIfChanged(BW, CreateRegion());
      if (!Owner.IsDialog && OwnerMaximized()) {
        H = H - M.Bottom - F;
        if (H < 0) H = 0;
        AForm->SetHeight(H);
      }
      // The layered image needs per-pixel alpha: a 24-bit image is shown opaque.
      std::unique_ptr<TBitmap> Opaque;
      TBitmap* Src = Cache;
      if (Cache->PixelFormat() != pf32bit) {
        Opaque.reset(CreateBmp32(W, H));
        BitBlt(Opaque->Canvas()->Handle(), 0, 0, W, H, Cache->Canvas()->Handle(), 0, 0, SRCCOPY);
        FillAlpha(Opaque.get(), 255);
        Src = Opaque.get();
      }
      HDC ScreenDC = GetDC(nullptr);
      SIZE Size{W, H};
      POINT Zero{0, 0};
      if (H > 0)
        acUpdateLayeredWindow(BW, ScreenDC, nullptr, &Size, Src->Canvas()->Handle(), &Zero, 0x1FFFFFFF, &Blend,
                              ULW_ALPHA);
      ReleaseDC(nullptr, ScreenDC);
      WatchListPlace();
      // A shown window is shown and placed already. A hidden one comes right behind its owner,
      // where the owner stands among the other windows.
      if (!IsWindowVisible(BW)) {
        const bool HideOwner = Alpha == 0;
        if (HideOwner) SetWindowLongW(OW, GWL_STYLE, GetWindowLongW(OW, GWL_STYLE) & ~WS_VISIBLE);
        const HWND Above = InFrontOfOwner(BW, OW);
        BringUpBehindOwner(BW, OW, Above != nullptr ? Above : HWND_TOP, SWP_SHOWWINDOW);
        RaiseLater = ShownInFront(OW);
        if (HideOwner) SetWindowLongW(OW, GWL_STYLE, GetWindowLongW(OW, GWL_STYLE) | WS_VISIBLE);
      }
    }
  } catch (...) {
    Updating = false;
    throw;
  }
  Updating = false;
}

HRGN TacBorderForm::CreateRegion() {
  if (AForm == nullptr) return nullptr;
  const TRect M = Margins();
  const int F = SysFrameWidth();
  const int W = AForm->Width(), H = AForm->Height();
  HRGN Rgn = nullptr;
  const bool AlphaForm = !Owner.IsDialog && Owner.Form != nullptr && Owner.Form->AlphaBlend();
  if (OwnerMaximized()) {
    const int D = Owner.DiffBorder ? Owner.DiffBorder() : 0;
    Rgn = CreateRectRgn(M.Left + F + D, M.Top + 4, W - F - D - M.Right, H - F - D - M.Bottom);
  } else if (AlphaForm) {
    Rgn = CreateRectRgn(0, 0, W, H);
  }
  if (AlphaForm && Rgn != nullptr) {
    TRect C;
    if (Owner.ClientRectInImage) {
      C = Owner.ClientRectInImage();
    } else {
      RECT CR{};
      GetClientRect(OwnerHandle(), &CR);
      POINT P{0, 0};
      ClientToScreen(OwnerHandle(), &P);
      RECT WR{};
      GetWindowRect(OwnerHandle(), &WR);
      const int X = P.x - WR.left + (M.Left + (Owner.SkinFrameWidth ? Owner.SkinFrameWidth() : F) - F);
      const int Y = P.y - WR.top + BorderTopOffset();
      C = Rect(X, Y, X + CR.right, Y + CR.bottom);
    }
    HRGN Hole = CreateRectRgn(C.Left, C.Top, C.Right, C.Bottom);
    CombineRgn(Rgn, Rgn, Hole, RGN_XOR);
    DeleteObject(Hole);
  }
  return Rgn;
}

// ---- hit testing ---------------------------------------------------------------------------------------------

TPoint TacBorderForm::MessagePoint(const TMessage& Message) const {
  TPoint P{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
  const bool Screen = Message.Msg == WM_NCHITTEST || Message.Msg == WM_SETCURSOR ||
                      (Message.Msg >= WM_NCMOUSEMOVE && Message.Msg <= WM_NCMBUTTONDBLCLK);
  if (Message.Msg == WM_SETCURSOR) {
    POINT C{};
    GetCursorPos(&C);
    P = TPoint{C.x, C.y};
  }
  if (Screen && AForm != nullptr) {
    RECT R{};
    GetWindowRect(AForm->Handle(), &R);
    P.X -= R.left;
    P.Y -= R.top;
  }
  return P;
}

bool TacBorderForm::PointInShadow(TMessage& Message) {
  if (AForm == nullptr || OwnerMaximized()) return false;
  const TPoint P = MessagePoint(Message);
  const TRect M = Margins();
  const bool Inside = M.Left <= P.X && P.X <= AForm->Width() - M.Right && M.Top <= P.Y &&
                      P.Y <= AForm->Height() - M.Bottom;
  if (Inside) return false;
  SetOwnerHotButton(-1, true);
  return true;
}

int TacBorderForm::BorderHitTest(TMessage& Message) {
  HWND OW = OwnerHandle();
  if (!Owner.IsDialog && Owner.ExtHitTest) {
    Message.Result = 0;
    Owner.ExtHitTest(Message);
    if (Message.Result != 0) return static_cast<int>(Message.Result);
  }
  if (OW == nullptr || !IsWindowEnabled(OW)) return -1;
  TMessage Probe = Message;
  Probe.Msg = WM_NCHITTEST;
  const TPoint P = MessagePoint(Probe);
  const TRect M = Margins();
  // Caption buttons.
  if (const int Code = Owner.CaptionButtonAt ? Owner.CaptionButtonAt(P) : 0; Code != 0) {
    SetOwnerHotButton(-1, true);
    return Code;
  }
  const int F = SysFrameWidth();
  const int W = AForm->Width(), H = AForm->Height();
  // Sizing edges.
  if (!OwnerMaximized() && (GetWindowLongW(OW, GWL_STYLE) & WS_THICKFRAME) != 0) {
    int Edge = 0;
    if (M.Top <= P.Y && P.Y <= M.Top + F)
      Edge = HTTOP;
    else if (H - F - M.Bottom <= P.Y && P.Y <= H - M.Bottom)
      Edge = HTBOTTOM;
    if (M.Left <= P.X && P.X <= M.Left + F)
      Edge = Edge == HTTOP ? HTTOPLEFT : (Edge == HTBOTTOM ? HTBOTTOMLEFT : HTLEFT);
    else if (W - F - M.Right <= P.X && P.X <= W - M.Right)
      Edge = Edge == HTTOP ? HTTOPRIGHT : (Edge == HTBOTTOM ? HTBOTTOMRIGHT : HTRIGHT);
    if (Edge != 0) {
      SetOwnerHotButton(-1, true);
      return Edge;
    }
  }
  SetOwnerHotButton(-1, true);
  const int WF1 = Owner.WindowFrameWidth ? Owner.WindowFrameWidth(true) : F;
  const int WF0 = Owner.WindowFrameWidth ? Owner.WindowFrameWidth(false) : F;
  const int T1 = WF1 + OwnerCaptionHeight(true);
  const int T0 = WF0 + OwnerCaptionHeight(false);
  const int MenuH = OwnerMenuHeight();
  if (0 <= P.Y && P.Y <= T1 + M.Top) {
    if (T0 <= P.Y && P.Y <= T0 + MenuH) return HTCAPTION;
    if (Owner.IconRect) {
      const TRect IR = Owner.IconRect();
      if (P.X >= IR.Left && P.X < IR.Right && P.Y >= IR.Top && P.Y < IR.Bottom) return HTSYSMENU;
    }
    return HTCAPTION;
  }
  int Result = -1;
  if (P.Y <= T1 + MenuH)
    Result = HTMENU;
  else if (!Owner.IsDialog && Owner.InGrip && Owner.InGrip(P))
    Result = HTBOTTOMRIGHT;
  SetOwnerHotButton(Result == -1 ? 0 : Result, true);
  return Result;
}

bool TacBorderForm::SetBorderCursor(TMessage& Message) {
  TMessage Probe = Message;
  Probe.Msg = WM_SETCURSOR;
  const int Code = BorderHitTest(Probe);
  Message.Result = Code;
  if (PointInShadow(Probe)) return false;
  LPCSTR Id = nullptr;
  switch (Code) {
    case HTCAPTION:
    case HTMENU: Id = IDC_ARROW; break;
    case HTLEFT:
    case HTRIGHT: Id = IDC_SIZEWE; break;
    case HTTOP:
    case HTBOTTOM: Id = IDC_SIZENS; break;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT: Id = IDC_SIZENWSE; break;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: Id = IDC_SIZENESW; break;
    default: return false;
  }
  SetCursor(LoadCursorA(nullptr, Id));
  Message.Result = 1;
  return true;
}

// ---- the window procedure ---------------------------------------------------------------------------------------

void TacBorderForm::ForwardMouse(TMessage& Message) {
  const std::shared_ptr<bool> Living = Alive;
  MouseForwarding = true;
  try {
    HWND BW = AForm->Handle();
    const TPoint P = MessagePoint(Message);
    const bool Modal = !Owner.IsDialog && Owner.Form != nullptr && Owner.Form->FormState().Contains(fsModal);
    if (!Modal) {
      HRGN Rgn = CreateRegion();
      if (Rgn == nullptr) Rgn = CreateRectRgn(0, 0, AForm->Width(), AForm->Height());
      HRGN Dot = CreateRectRgn(P.X, P.Y, P.X + 1, P.Y + 1);
      CombineRgn(Rgn, Rgn, Dot, RGN_XOR);
      DeleteObject(Dot);
      if (SetWindowRgn(BW, Rgn, FALSE) == 0) DeleteObject(Rgn);
    }
    RECT R{};
    GetWindowRect(BW, &R);
    const POINT SP{P.X + R.left, P.Y + R.top};
    HWND Below = WindowFromPoint(SP);
    if (Below != nullptr && Below != BW && Below != OwnerHandle())
      SendMessageW(Below, Message.Msg, Message.WParam, Message.LParam);
  } catch (...) {
    if (*Living) MouseForwarding = false;
    throw;
  }
  if (*Living) MouseForwarding = false;
}

void TacBorderForm::HandleDoubleClick(TMessage& Message) {
  if (!Owner.IsDialog && Owner.EndPendingMove) Owner.EndPendingMove();
  const int Code = BorderHitTest(Message);
  Message.WParam = static_cast<WPARAM>(Code);
  if (Code == HTCAPTION && Owner.IsDialog) {
    // The dialog decides what a double click on its title does (maximise or restore).
    if (HWND OW = OwnerHandle()) SendMessageW(OW, WM_NCLBUTTONDBLCLK, HTCAPTION, Message.LParam);
    Message.WParam = 0;
  } else if (Code == HTCAPTION) {
    TsCustomSysMenu* SM = SysMenu();
    if (SM != nullptr && SM->VisibleClose() && (SM->EnabledMax() || SM->EnabledRestore())) {
      if (Owner.ToggleMaximize) {
        Owner.ToggleMaximize();
      } else if (HWND OW = OwnerHandle()) {
        SendMessageW(OW, WM_SYSCOMMAND, IsZoomed(OW) || IsIconic(OW) ? SC_RESTORE : SC_MAXIMIZE, 0);
        if (auto* S = dynamic_cast<TsSystemMenu*>(SM)) S->UpdateItems(false);
      }
    }
    Message.WParam = 0;
  } else if (Code == HTSYSMENU) {
    if (HWND OW = OwnerHandle()) SendMessageW(OW, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
}

void TacBorderForm::BorderWndProc(TMessage& Message) {
  auto Old = [&] {
    if (OldWndProc) OldWndProc(Message);
  };
  const UINT Msg = Message.Msg;
  if (Msg >= WM_MOUSEFIRST && Msg <= WM_MOUSEFIRST + 9) {
    if (PointInShadow(Message)) {
      ForwardMouse(Message);
      return;
    }
    Old();
    return;
  }
  switch (Msg) {
    case WM_NCPAINT:
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_MOUSEACTIVATE:
      Message.Result = MA_NOACTIVATE;
      if (HWND OW = OwnerHandle()) SetForegroundWindow(OW);
      return;
    case WM_SETCURSOR:
      if (!SetBorderCursor(Message)) Old();
      return;
    case WM_TIMER:
      if (Message.WParam == acListPlaceTimer) {
        CheckListPlace();
        return;
      }
      Old();
      return;
    case WM_WINDOWPOSCHANGED:
      if (Owner.FreeAnimations) Owner.FreeAnimations();
      Old();
      if (!MouseForwarding) UpdateBorderWindow(false, 255);
      return;
    case WM_NCHITTEST:
      if (PointInShadow(Message))
        Old();
      else
        Message.Result = HTOBJECT;
      return;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
    case WM_NCRBUTTONUP:
      if (!PointInShadow(Message)) {
        if (HWND OW = OwnerHandle())
          Message.Result = SendMessageW(OW, Msg, static_cast<WPARAM>(-1), Message.LParam);
      }
      return;
    case WM_NCRBUTTONDOWN:
      if (!PointInShadow(Message)) {
        const int Code = BorderHitTest(Message);
        if (HWND OW = OwnerHandle())
          Message.Result = SendMessageW(OW, Msg, static_cast<WPARAM>(Code), Message.LParam);
      }
      return;
    case WM_NCLBUTTONDBLCLK:
      HandleDoubleClick(Message);
      return;
    default:
      Old();
      return;
  }
}
