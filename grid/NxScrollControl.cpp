#include "grid/NxScrollControl.h"

#include <utility>

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "framework/Forms.h"
#include "grid/NxFlyoutControl.h"

void LoadRollCursors() {
  if (Screen == nullptr) return;
  static const struct {
    TCursor Id;
    const wchar_t* Name;
  } Cursors[] = {{crRoll, L"ROLL"}, {crRollUp, L"ROLLUP"}, {crRollDown, L"ROLLDOWN"}};
  for (const auto& C : Cursors) {
    // LoadCursor hands out the module's shared cursor, freed with the module.
    if (HCURSOR H = LoadCursorW(ModuleInstance(), C.Name)) Screen->SetCursors(C.Id, H);
  }
}

// ---------------------------------------------------------------------------------------------
// TNxCustomScrollBar

TNxCustomScrollBar::TNxCustomScrollBar(TNxCustomScrollControl* AControl, TScrollBarKind AKind)
    : FKind(AKind), FControl(AControl) {}

void TNxCustomScrollBar::SetAutoHide(bool Value) {
  FAutoHide = Value;
  SetVisible(FMax > FPageSize || !FAutoHide);
  UpdateBar();
}

void TNxCustomScrollBar::SetEnabled(bool Value) {
  FEnabled = Value;
  UpdateBar();
}

// The bar shows when it has somewhere to go: positions run from 0 to Max - PageSize + 1, so a
// page as large as Max still leaves one step (the window's own bar shows then as well; a bar
// hidden here would be shown again by the window at its next update, and hidden by this one).
bool TNxCustomScrollBar::CanScroll() const { return FMax > 0 && FMax >= FPageSize; }

void TNxCustomScrollBar::SetMax(int Value) {
  FMax = std::max(Value, 0);
  SetVisible(CanScroll() || !FAutoHide);
  UpdateBar();
  if (FMax < FPosition) SetPosition(FMax);
}

void TNxCustomScrollBar::SetPageSize(int Value) {
  FPageSize = std::max(Value, 1);
  SetVisible(CanScroll() || !FAutoHide);
  UpdateBar();
}

void TNxCustomScrollBar::SetPosition(int Value) { Move(Value, FUpdateCount == 0); }

void TNxCustomScrollBar::PlaceAt(int Value) { Move(Value, false); }

void TNxCustomScrollBar::Move(int Value, bool Scroll) {
  if (FControl == nullptr) {
    MoveNow(Value, Scroll);
    return;
  }
  // (The request is handed over by its address: a larger capture would cost an allocation.)
  const std::pair<int, bool> Request(Value, Scroll);
  FControl->BarChange([this, R = &Request] { MoveNow(R->first, R->second); });
}

void TNxCustomScrollBar::MoveNow(int Value, bool Scroll) {
  const int Old = FPosition;
  FPosition = std::max(std::min(std::max(Value, FMin), FMax), 0);
  // The view moves first, so that the scroll handler (fired by the bar's update) finds the view
  // where the bar is. A position that did not move has nothing to scroll; a move scrolls by the
  // distance the owner answers (its hooks run around it even when that distance is 0).
  if (Scroll && FControl != nullptr && Old != FPosition) {
    if (FKind == sbHorizontal)
      FControl->ScrollContent(this, FControl->GetHorzScrollDistance(Old, FPosition), 0);
    else
      FControl->ScrollContent(this, 0, FControl->GetVertScrollDistance(Old, FPosition));
  }
  ShowPosition();
}

void TNxCustomScrollBar::ReleaseEvents(bool Fire) {
  if (FHeld > 0 && --FHeld == 0 && Fire) ShowPosition();
}

void TNxCustomScrollBar::ShowPosition() {
  // The window's bar follows whatever the handler raises; its error is raised once the bar shows
  // the position. A handler that changed the bar (a change of the rows moves it with the view, or
  // gives it another range) has the window's bar show it as it stands then.
  std::exception_ptr Error;
  const unsigned Events = FEvents;
  for (int Pass = 0; Pass < 2; ++Pass) {
    const std::exception_ptr Raised = ErrorOf([&] { UpdateBar(); });
    if (!Error) Error = Raised;
    if (FEvents == Events) break;
  }
  if (Error) std::rethrow_exception(Error);
}

void TNxCustomScrollBar::SendScroll(int Code) {
  if (FControl == nullptr || !FControl->HandleAllocated()) return;
  // The request goes out through the control alone: the bar may go with it.
  const std::pair<UINT, WPARAM> Request(FKind == sbHorizontal ? WM_HSCROLL : WM_VSCROLL, static_cast<WPARAM>(Code));
  TNxCustomScrollControl* C = FControl;
  C->BarChange([C, R = &Request] { C->SendScrollMessage(R->first, R->second); });
}

void TNxCustomScrollBar::LineUp() {
  if (FMax >= 1 && FPosition > 0) SendScroll(SB_LINEUP);
}

void TNxCustomScrollBar::LineDown() {
  if (FMax >= 1) SendScroll(SB_LINEDOWN);
}

void TNxCustomScrollBar::PageUp() {
  if (FMax >= 1) SendScroll(SB_PAGEUP);
}

void TNxCustomScrollBar::PageDown() {
  if (FMax >= 1) SendScroll(SB_PAGEDOWN);
}

int TNxCustomScrollBar::TrackPosition() { return FPosition; }

// ---------------------------------------------------------------------------------------------
// TNxScrollBar

namespace {

// Marks the window's frame (everything outside its client area) for painting.
void InvalidateFrame(HWND W) {
  RECT Window, Client;
  if (!GetWindowRect(W, &Window) || !GetClientRect(W, &Client)) return;
  POINT Origin{0, 0};
  ClientToScreen(W, &Origin);
  HRGN Frame = CreateRectRgn(Window.left - Origin.x, Window.top - Origin.y, Window.right - Origin.x,
                             Window.bottom - Origin.y);
  HRGN Inside = CreateRectRgnIndirect(&Client);
  CombineRgn(Frame, Frame, Inside, RGN_DIFF);
  RedrawWindow(W, nullptr, Frame, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
  DeleteObject(Inside);
  DeleteObject(Frame);
}

}  // namespace

void TNxScrollBar::SetVisible(bool Value) {
  TNxCustomScrollBar::SetVisible(Value);
  if (FControl == nullptr || !FControl->HandleAllocated()) return;
  HWND W = FControl->Handle();
  const LONG Style = GetWindowLongW(W, GWL_STYLE);
  const bool Shown = (Style & (FKind == sbHorizontal ? WS_HSCROLL : WS_VSCROLL)) != 0;
  if (Shown != Value) {
    ShowScrollBar(W, BarCode(), Value);
    FApplied = TApplied{};
  }
}

int TNxScrollBar::TrackPosition() {
  if (FControl == nullptr || !FControl->HandleAllocated()) return FPosition;
  SCROLLINFO SI{};
  SI.cbSize = sizeof(SI);
  SI.fMask = SIF_TRACKPOS;
  GetScrollInfo(FControl->Handle(), BarCode(), &SI);
  return SI.nTrackPos;
}

void TNxScrollBar::UpdateBar() {
  if (FUpdating || FControl == nullptr || !FControl->HandleAllocated()) return;
  FUpdating = true;
  try {
    HWND W = FControl->Handle();
    const int WindowPos = GetScrollPos(W, BarCode());
    if (FHeld > 0 && FHeldFrom < 0) FHeldFrom = WindowPos;
    const int EnabledState = FControl->Enabled() && FEnabled ? 1 : 0;
    const bool Same = FApplied.Window == W && FApplied.Min == FMin && FApplied.Max == FMax &&
                      FApplied.Page == FPageSize && FApplied.Pos == FPosition && FApplied.AutoHide == FAutoHide &&
                      (FMax <= 0 || FApplied.Enabled == EnabledState) && WindowPos == FPosition;
    if (!Same) {
      SCROLLINFO SI{};
      SI.cbSize = sizeof(SI);
      SI.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
      if (!FAutoHide) SI.fMask |= SIF_DISABLENOSCROLL;
      SI.nMin = FMin;
      SI.nMax = FMax;
      SI.nPage = static_cast<UINT>(FPageSize);
      SI.nPos = FPosition;
      // Drawing the bar at once is a round trip to the window server on some platforms, as
      // costly as a whole row operation; the frame is marked for painting instead, once until
      // it is painted.
      SetScrollInfo(W, BarCode(), &SI, FALSE);
      // After SetScrollInfo, which enables the arrows of a bar with a range again.
      if (FMax > 0) EnableScrollBar(W, BarCode(), EnabledState ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
      FApplied = TApplied{W, FMin, FMax, FPageSize, FPosition, FAutoHide, FMax > 0 ? EnabledState : -1};
      if (FFramePending != W) {
        FFramePending = W;
        InvalidateFrame(W);
      }
    }
    // The event fires when the window's bar moved, by this update or by those while it was held.
    const int From = FHeldFrom >= 0 ? FHeldFrom : WindowPos;
    if (FHeld == 0) FHeldFrom = -1;
    if (FHeld == 0 && From != FPosition) {
      ++FEvents;
      FControl->DoScrollEvent(this, FPosition);
    }
  } catch (const EGridFreed&) {
    throw;
  } catch (...) {
    FUpdating = false;
    throw;
  }
  FUpdating = false;
}

// ---------------------------------------------------------------------------------------------
// TNxCustomScrollControl

TNxCustomScrollControl::TNxCustomScrollControl(TComponent* AOwner) : TCustomControl(AOwner) {}

void TNxCustomScrollControl::SendScrollMessage(UINT Msg, WPARAM Code) { SendMessageW(Handle(), Msg, Code, 0); }

void TNxCustomScrollControl::ScrollContent(TNxCustomScrollBar* Bar, int DX, int DY) {
  BeforeScroll();
  if (HandleAllocated()) {
    const TRect& R = DX != 0 ? FHorzScrollRect : FVertScrollRect;
    RECT Clip{R.Left, R.Top, R.Right, R.Bottom};
    // A shift as long as the body leaves nothing of it to move: it is repainted instead
    // (scrolling that far writes outside the clip rectangle under Wine, over the header or the
    // footer).
    if (std::abs(DY) >= R.Height())
      InvalidateRect(Handle(), &Clip, FALSE);
    else
      ScrollWindowEx(Handle(), DX, DY, nullptr, &Clip, nullptr, nullptr, SW_INVALIDATE);
  }
  AfterScroll();
}

// ---------------------------------------------------------------------------------------------
// TNxScrollControl

TNxScrollControl::TNxScrollControl(TComponent* AOwner) : TNxCustomScrollControl(AOwner) {
  FHorzScrollBar = std::make_unique<TNxScrollBar>(this, TNxCustomScrollBar::sbHorizontal);
  FVertScrollBar = std::make_unique<TNxScrollBar>(this, TNxCustomScrollBar::sbVertical);
  FRollTimer = new TTimer(this);
  FRollTimer->SetEnabled(false);
  FRollTimer->SetInterval(1);
  FRollTimer->SetOnTimer([this](TObject* Sender) { RollStep(Sender); });
  LoadRollCursors();
}

TNxScrollControl::~TNxScrollControl() {
  // A roll cut short by the control's end must not leave the roll cursor on the whole screen.
  if (FRolling) {
    FRolling = FRollUp = FRollDown = false;
    FRollTimer->SetEnabled(false);
    if (Screen != nullptr) Screen->SetCursor(crDefault);
  }
}

void TNxScrollControl::CreateParams(TCreateParams& Params) {
  TNxCustomScrollControl::CreateParams(Params);
  Params.Style |= WS_HSCROLL | WS_VSCROLL | WS_CLIPCHILDREN;
}

void TNxScrollControl::CreateWnd() {
  TNxCustomScrollControl::CreateWnd();
  // The window starts with both bars; each shows as its model says.
  FHorzScrollBar->SetVisible(FHorzScrollBar->Visible());
  FVertScrollBar->SetVisible(FVertScrollBar->Visible());
  FHorzScrollBar->UpdateBar();
  FVertScrollBar->UpdateBar();
}

void TNxScrollControl::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case WM_HSCROLL:
      if (M.LParam == 0) {
        WMHScroll(M);
        return;
      }
      break;
    case WM_VSCROLL:
      if (M.LParam == 0) {
        WMVScroll(M);
        return;
      }
      break;
    case WM_ERASEBKGND:
      M.Result = 1;
      return;
    case WM_NCPAINT:
    case WM_PAINT:
      FHorzScrollBar->FramePainted();
      FVertScrollBar->FramePainted();
      break;
    case WM_GETDLGCODE:
      M.Result = 1;
      return;
    case WM_CAPTURECHANGED:
      // The capture went elsewhere (another window, a menu, the window's end): no release of the
      // button will arrive here, so the roll ends now.
      if (FRolling && (!HandleAllocated() || reinterpret_cast<HWND>(M.LParam) != Handle())) StopRolling(false);
      break;
    default:
      break;
  }
  TNxCustomScrollControl::Dispatch(M);
}

void TNxScrollControl::Notification(TComponent* AComponent, TOperation Operation) {
  TNxCustomScrollControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FRollShadow) FRollShadow = nullptr;
}

void TNxScrollControl::WMHScroll(TMessage& M) { HandleScroll(FHorzScrollBar.get(), M); }
void TNxScrollControl::WMVScroll(TMessage& M) { HandleScroll(FVertScrollBar.get(), M); }

void TNxScrollControl::HandleScroll(TNxCustomScrollBar* Bar, TMessage& M) {
  DefaultHandler(M);
  const int Request = LOWORD(M.WParam);
  int Pos = Bar->Position();
  switch (Request) {
    case SB_LINEUP: Bar->SetScrollCode(1); Pos -= LineStep(Bar, false); break;
    case SB_LINEDOWN: Bar->SetScrollCode(1); Pos += LineStep(Bar, true); break;
    case SB_PAGEUP: Bar->SetScrollCode(2); Pos -= Bar->LargeChange(); break;
    case SB_PAGEDOWN: Bar->SetScrollCode(2); Pos += Bar->LargeChange(); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: Bar->SetScrollCode(3); Pos = Bar->TrackPosition(); break;
    case SB_TOP: Bar->SetScrollCode(4); Pos = 0; break;
    case SB_BOTTOM: Bar->SetScrollCode(4); Pos = Bar->Max(); break;
    default: return;  // SB_ENDSCROLL
  }
  if (Pos < 1) Pos = 0;
  if (Pos > Bar->Max() - Bar->PageSize()) Pos = Bar->Max() - Bar->PageSize() + 1;
  // The bar's update fires the event when the window's bar moves; otherwise it fires here.
  FScrollEventFired = false;
  Bar->SetPosition(Pos);
  if (!FScrollEventFired) DoScrollEvent(Bar, Bar->Position());
}

void TNxScrollControl::DoScrollEvent(TNxCustomScrollBar* Bar, int Position) {
  FScrollEventFired = true;
  if (Bar->Kind() == TNxCustomScrollBar::sbHorizontal) {
    if (OnHorizontalScroll) OnHorizontalScroll(this, Position);
  } else {
    if (OnVerticalScroll) OnVerticalScroll(this, Position);
  }
}

void TNxScrollControl::CMEnabledChanged(TMessage& M) {
  TNxCustomScrollControl::CMEnabledChanged(M);
  // A disabled window hears no button release: a roll in progress ends here.
  if (!Enabled()) StopRolling(true);
  Invalidate();
  FHorzScrollBar->UpdateBar();
  FVertScrollBar->UpdateBar();
}

// --- roll scrolling

void TNxScrollControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  RunControlEvent([&] { TNxCustomScrollControl::MouseDown(Button, Shift, X, Y); });
  if (Button == mbMiddle && FRollEnabled && HandleAllocated()) StartRolling(X, Y);
}

void TNxScrollControl::StartRolling(int X, int Y) {
  if (!FRollShadowMade) {
    FRollShadowMade = true;
    FRollShadow = CreateRollShadow();
    if (FRollShadow != nullptr) {
      FRollShadow->FreeNotification(this);
      FRollShadow->SetVisible(false);
      FRollShadow->SetParent(this);
    }
  }
  FRolling = true;
  FRollUp = FRollDown = false;
  if (FRollShadow != nullptr) FRollShadow->SetCursor(crRoll);
  FRollAnchor = Point(X, Y);
  ShowRollShadow(ClientToScreen(FRollAnchor));
  FRollTimer->SetInterval(1);
  FRollTimer->SetEnabled(true);
  SetMouseCapture(true);
}

TWinControl* TNxScrollControl::CreateRollShadow() { return new TRollShadow(this); }

void TNxScrollControl::ShowRollShadow(TPoint ScreenPos) {
  if (FRollShadow == nullptr) return;
  if (auto* Sign = dynamic_cast<TRollShadow*>(FRollShadow)) {
    Sign->ShowAt(ScreenPos);
    return;
  }
  FRollShadow->SetBounds(ScreenPos.X - 7, ScreenPos.Y - 11, 32, 32);
  FRollShadow->Show();
}

void TNxScrollControl::MouseMove(TShiftState Shift, int X, int Y) {
  RunControlEvent([&] { TNxCustomScrollControl::MouseMove(Shift, X, Y); });
  if (!FRolling) return;
  const int DY = Y - FRollAnchor.Y;
  FRollUp = DY < -5;
  FRollDown = DY >= 6;
  if (Screen == nullptr) return;
  Screen->SetCursor(FRollUp ? crRollUp : FRollDown ? crRollDown : crRoll);
  if (FRollShadow != nullptr) FRollShadow->SetCursor(Screen->Cursor());
}

void TNxScrollControl::RollStep(TObject*) {
  if (!FRolling || !HandleAllocated()) return;
  POINT P;
  if (!GetCursorPos(&P)) return;
  ::ScreenToClient(Handle(), &P);
  const int D = std::abs(P.y - FRollAnchor.Y);
  FRollTimer->SetInterval(std::max(100 - D, 1));
  if (FRollUp) FVertScrollBar->LineUp();
  if (FRollDown) FVertScrollBar->LineDown();
}

void TNxScrollControl::StopRolling(bool ReleaseMouse) {
  FRollTimer->SetEnabled(false);
  if (!FRolling) return;
  FRolling = false;
  FRollUp = FRollDown = false;
  if (FRollShadow != nullptr) FRollShadow->Hide();
  if (Screen != nullptr) Screen->SetCursor(crDefault);
  if (ReleaseMouse) SetMouseCapture(false);
}

void TNxScrollControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  RunControlEvent([&] { TNxCustomScrollControl::MouseUp(Button, Shift, X, Y); });
  StopRolling(true);
}

// --- wheel

bool TNxScrollControl::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  if (FMouseWheelEnabled) return true;
  return TNxCustomScrollControl::DoMouseWheelDown(Shift, MousePos);
}

bool TNxScrollControl::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  if (FMouseWheelEnabled) return true;
  return TNxCustomScrollControl::DoMouseWheelUp(Shift, MousePos);
}

// --- focus

void TNxScrollControl::FocusNextControl(TWinControl* Control) {
  if (Control != nullptr && Control->HandleAllocated()) PostMessageW(Control->Handle(), WM_KEYDOWN, VK_TAB, 0);
}

void TNxScrollControl::FocusPreviousControl(TWinControl* Control) {
  if (Control == nullptr || !Control->HandleAllocated()) return;
  PostMessageW(Control->Handle(), WM_KEYDOWN, VK_SHIFT, 0);
  PostMessageW(Control->Handle(), WM_KEYDOWN, VK_TAB, 0);
}

void TNxScrollControl::FocusSelf() {
  if (CanFocus()) SetFocus();
}
