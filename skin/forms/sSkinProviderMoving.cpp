// Moving, sizing and snapping of skinned forms: the maximized size and position, snapping to the
// edges of the work area while a form is dragged, and the rmBorder mode in which moving and sizing
// follow an inverted frame on the desktop and the form moves once, at the end.
#include "framework/Forms.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/forms/sSkinProviderWndProc.h"

TacBorderFrame acBorderFrame;

TRect FormWorkArea(TCustomForm* Form, TPoint* Origin) {
  if (Origin != nullptr) *Origin = TPoint{0, 0};
  // One question for the monitor and its work area, not one per figure: every size step and
  // dragged position asks this.
  MONITORINFO MI{};
  MI.cbSize = sizeof(MI);
  if (Form != nullptr && Form->HandleAllocated() &&
      GetMonitorInfoW(MonitorFromWindow(Form->Handle(), MONITOR_DEFAULTTONEAREST), &MI)) {
    if (Origin != nullptr) *Origin = TPoint{MI.rcMonitor.left, MI.rcMonitor.top};
    return TRect{MI.rcWork.left, MI.rcWork.top, MI.rcWork.right, MI.rcWork.bottom};
  }
  if (Form != nullptr)
    if (TMonitor* M = Form->Monitor()) {
      if (Origin != nullptr) *Origin = TPoint{M->Left(), M->Top()};
      return M->WorkareaRect();
    }
  return Screen != nullptr ? Screen->WorkAreaRect() : TRect{};
}

void SnapEdge(int& Pos, int Edge, int Buffer, int Size) {
  const int Distance = Pos + Size - Edge;
  if (Buffer > (Distance < 0 ? -Distance : Distance)) Pos = Edge - Size;
}

void TsSkinProvider::WMGetMinMaxInfo(TMessage& Message) {
  auto* Info = reinterpret_cast<MINMAXINFO*>(Message.LParam);
  if (Info != nullptr && DrawNonClientArea() && !IsMDIChild() && Form->Parent() == nullptr &&
      Form->HandleAllocated()) {
    HWND H = Form->Handle();
    TPoint Origin;
    const TRect WA = FormWorkArea(Form, &Origin);
    const int B = FormBorderWidth(H, BorderForm, false);
    if (BorderForm == nullptr) {
      // The window region cuts the system frame from every side of a maximised form: with the
      // frame just outside the work area, the work area is what shows. The position counts from
      // the corner of the form's monitor.
      Info->ptMaxPosition = POINT{WA.Left - Origin.X - B, WA.Top - Origin.Y - B};
      Info->ptMaxSize = POINT{WA.Width() + 2 * B, WA.Height() + 2 * B};
      Message.Result = 0;
      PassOn(Message);
      return;
    }
    int C = 0;
    if ((GetWindowLongW(H, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) {
      const int H1 = CaptionHeight(true), H0 = CaptionHeight(false);
      C = H1 > H0 + B ? H1 - H0 - B : B;
    }
    int Mx = 0;
    if (TsSkinManager* M = SkinManager(); M != nullptr && M->SkinData() != nullptr) {
      const TsSkinData* D = M->SkinData();
      if (D->TitleHeight != D->MaxHeight) Mx = D->TitleHeight - D->MaxHeight + D->CenterOffset;
    }
    Info->ptMaxPosition.y = C - B - Mx;
    Info->ptMaxSize.x = WA.Width() + 2 * B;
    Info->ptMaxSize.y = WA.Height() - C + 2 * B + Mx;
    Message.Result = 0;
  }
  PassOn(Message);
}

void TsSkinProvider::WMWindowPosChanging(TMessage& Message) {
  if (RgnUpdating) return;  // the provider is setting the window region: nothing moves
  auto* WP = reinterpret_cast<WINDOWPOS*>(Message.LParam);
  if (WP != nullptr && ScreenSnap() && Form->HandleAllocated() && !IsZoomed(Form->Handle()) &&
      (WP->flags & SWP_NOMOVE) == 0 && (WP->x != 0 || WP->y != 0)) {
    const TRect WA = FormWorkArea(Form);
    const int D = DiffBorder(BorderForm);
    const int Buffer = SnapBuffer();
    SnapEdge(WP->x, WA.Right, Buffer, Form->Width() + D);
    SnapEdge(WP->y, WA.Bottom, Buffer, Form->Height() + D);
    SnapEdge(WP->x, WA.Left, Buffer, -D);
    SnapEdge(WP->y, WA.Top, Buffer, -DiffTitle(BorderForm));
  }
  PassOn(Message);
}

// ---- the inverted frame ---------------------------------------------------------------------

void TsSkinProvider::BeginFrame(int X, int Y) {
  if (ResizeMode() != rmBorder || Form == nullptr) return;
  TacBorderFrame& F = acBorderFrame;
  if (F.Active) return;
  F.Owner = this;
  F.Active = true;
  F.DesktopWnd = GetDesktopWindow();
  F.DesktopDC = GetWindowDC(F.DesktopWnd);
  F.SavedDC = SaveDC(F.DesktopDC);
  F.Top = Form->Top();
  F.Left = Form->Left();
  SetROP2(F.DesktopDC, R2_NOT);
  SelectObject(F.DesktopDC, GetStockObject(BLACK_PEN));
  if (F.Moving) {
    F.LastX = X;
    F.LastY = Y;
    DrawFrame(F.Left, F.Top);
  } else {
    // The form has no size constraints of its own in this system: the frame may shrink to 0.
    F.MinWidth = 0;
    F.MinHeight = 0;
    F.Bottom = F.Top + Form->Height();
    F.Right = F.Left + Form->Width();
    if (!F.Pending) {
      F.LastX = X;
      F.LastY = Y;
    }
    DrawFrame(0, 0);
  }
}

void TsSkinProvider::DrawFrame(int X, int Y) {
  if (ResizeMode() != rmBorder || !acBorderFrame.Active || acBorderFrame.DesktopDC == nullptr) return;
  TacBorderFrame& F = acBorderFrame;
  POINT Pts[5];
  if (F.Moving) {
    const int W = Form->Width(), Hh = Form->Height();
    Pts[0] = {X, Y};
    Pts[1] = {X, Y + Hh};
    Pts[2] = {X + W, Y + Hh};
    Pts[3] = {X + W, Y};
    Pts[4] = {X, Y};
  } else {
    Pts[0] = {F.Left, F.Top};
    Pts[1] = {F.Left, F.Bottom};
    Pts[2] = {F.Right, F.Bottom};
    Pts[3] = {F.Right, F.Top};
    Pts[4] = {F.Left, F.Top};
  }
  if (IsMDIChild() && SkinnedMDIMainProvider != nullptr && SkinnedMDIMainProvider->Form != nullptr &&
      SkinnedMDIMainProvider->Form->HandleAllocated()) {
    // An MDI child's coordinates are the MDI client's: shift into screen coordinates.
    POINT O{0, 0};
    if (HWND Client = SkinnedMDIMainProvider->Form->ClientHandle()) ClientToScreen(Client, &O);
    for (POINT& P : Pts) {
      P.x += O.x;
      P.y += O.y;
    }
  }
  Polyline(F.DesktopDC, Pts, 5);
}

void TsSkinProvider::FrameMouseMove(TPoint P) {
  if (ResizeMode() != rmBorder) return;
  TacBorderFrame& F = acBorderFrame;
  if (F.Moving) {
    F.Pending = false;
    if (!F.Active) return;
    DrawFrame(F.Left, F.Top);
    F.Left += P.X - F.LastX;
    F.Top += P.Y - F.LastY;
    F.LastX = P.X;
    F.LastY = P.Y;
    DrawFrame(F.Left, F.Top);
    return;
  }
  if (F.Pending) {
    F.LastX = P.X;
    F.LastY = P.Y;
    F.Pending = false;
  }
  if (!F.Active) return;
  DrawFrame(0, 0);
  const int DX = P.X - F.LastX, DY = P.Y - F.LastY;
  const int L = Form->Left(), T = Form->Top(), W = Form->Width(), Hh = Form->Height();
  bool ChangeLeft = false, ChangeRight = false, ChangeTop = false, ChangeBottom = false;
  switch (F.SizingCode) {
    case HTLEFT: ChangeLeft = true; break;
    case HTRIGHT: ChangeRight = true; break;
    case HTTOP: ChangeTop = true; break;
    case HTBOTTOM: ChangeBottom = true; break;
    case HTTOPLEFT: ChangeTop = ChangeLeft = true; break;
    case HTTOPRIGHT: ChangeTop = ChangeRight = true; break;
    case HTBOTTOMLEFT: ChangeBottom = ChangeLeft = true; break;
    default: ChangeBottom = ChangeRight = true; break;
  }
  if (ChangeLeft) {
    F.Left = L + DX;
    if (F.Right - F.Left < F.MinWidth) F.Left = F.Right - F.MinWidth;
  }
  if (ChangeRight) {
    F.Right = L + W + DX;
    if (F.Right - F.Left < F.MinWidth) F.Right = L + F.MinWidth;
  }
  if (ChangeTop) {
    F.Top = T + DY;
    if (F.Bottom - F.Top < F.MinHeight) F.Top = F.Bottom - F.MinHeight;
  }
  if (ChangeBottom) {
    F.Bottom = T + Hh + DY;
    if (F.Bottom - F.Top < F.MinHeight) F.Bottom = T + F.MinHeight;
  }
  // A frame never turns inside out.
  if (F.Right < F.Left) F.Right = F.Left;
  if (F.Bottom < F.Top) F.Bottom = F.Top;
  DrawFrame(0, 0);
}

namespace {

// Erases the frame and gives the desktop's DC back; the frame state stays for the caller.
void TakeFrameOffTheScreen(TsSkinProvider* Provider) {
  TacBorderFrame& F = acBorderFrame;
  if (F.Active && Provider != nullptr && Provider->Form != nullptr) Provider->DrawFrame(F.Left, F.Top);
  F.Active = false;
  if (F.DesktopDC != nullptr) {
    RestoreDC(F.DesktopDC, F.SavedDC);
    ReleaseDC(F.DesktopWnd, F.DesktopDC);
    F.DesktopDC = nullptr;
  }
}

void ForgetFrame() {
  TacBorderFrame& F = acBorderFrame;
  F.Pending = false;
  F.SizingCode = 0;
  F.Owner = nullptr;
}

}  // namespace

void TsSkinProvider::EndFrame(int, int) {
  if (ResizeMode() != rmBorder) return;
  TacBorderFrame& F = acBorderFrame;
  const bool WasActive = F.Active;
  TakeFrameOffTheScreen(this);
  if (WasActive && Form != nullptr && Form->HandleAllocated()) {
    if (F.Moving)
      MoveWindow(Form->Handle(), F.Left, F.Top, Form->Width(), Form->Height(), TRUE);
    else if (!F.Pending)
      MoveWindow(Form->Handle(), F.Left, F.Top, F.Right - F.Left, F.Bottom - F.Top, TRUE);
  }
  ForgetFrame();
  // Last: the form hears WM_CAPTURECHANGED, which must find the frame over, not cancel it.
  ReleaseCapture();
}

void TsSkinProvider::CancelFrame() {
  TacBorderFrame& F = acBorderFrame;
  if (F.Owner != this) return;
  // DrawFrame draws only in the border mode: the frame comes off the screen whatever the mode.
  const TsResizeMode Mode = ResizeMode();
  SetResizeMode(rmBorder);
  TakeFrameOffTheScreen(this);
  SetResizeMode(Mode);
  ForgetFrame();
  if (Form != nullptr && Form->HandleAllocated() && GetCapture() == Form->Handle()) ReleaseCapture();
}
