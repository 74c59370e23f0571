// Painting: the control canvas, the painting of windowed controls and their graphic children,
// the self-painting classes TCustomControl and TGraphicControl, and the hint window. Part of the
// controls unit.
#include "framework/Controls.h"

#include <algorithm>
#include <vector>

#include "framework/ControlsInternal.h"
#include "framework/Forms.h"
#include "framework/Scopes.h"
#include "framework/Strings.h"

using namespace ctlimpl;

THintWindowClass HintWindowClass = [](TComponent* AOwner) { return new THintWindow(AOwner); };

namespace {

// Canvases that hold a device context they took from a window (never freed: controls may go
// away while the program ends).
std::vector<TControlCanvas*>& CanvasesWithDC() {
  static auto* List = new std::vector<TControlCanvas*>;
  return *List;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TControlCanvas

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::SetControl(TControl* AControl) {
  if (FControl == AControl) return;
  FreeHandle();
  FControl = AControl;
}

void TControlCanvas::CreateHandle() {
  if (FControl == nullptr) return;
  HWND Window = nullptr;
  HDC DC = FControl->GetDeviceContext(Window);
  if (DC == nullptr) return;
  FDeviceContext = DC;
  FWindowHandle = Window;
  CanvasesWithDC().push_back(this);
  SetHandle(DC);
}

void TControlCanvas::FreeHandle() {
  if (FDeviceContext == nullptr) return;
  HDC DC = FDeviceContext;
  HWND Window = FWindowHandle;
  FDeviceContext = nullptr;
  FWindowHandle = nullptr;
  auto& List = CanvasesWithDC();
  List.erase(std::remove(List.begin(), List.end(), this), List.end());
  if (FHandle == DC) SetHandle(nullptr);
  ReleaseDC(Window, DC);
}

void TControlCanvas::FreeDeviceContexts(HWND Window) {
  std::vector<TControlCanvas*> Found;
  for (TControlCanvas* C : CanvasesWithDC())
    if (C->FWindowHandle == Window) Found.push_back(C);
  for (TControlCanvas* C : Found) C->FreeHandle();
}

// --- painting

void TWinControl::Invalidate() { Perform(CM_INVALIDATE, FControlStyle.Contains(csOpaque) ? 1 : 0, 0); }

void TWinControl::CMInvalidate(TMessage& M) {
  if (FHandle != nullptr) InvalidateRect(FHandle, nullptr, M.WParam == 0 ? TRUE : FALSE);
}

void TWinControl::Update() {
  if (FHandle != nullptr) UpdateWindow(FHandle);
}

void TWinControl::Repaint() {
  Invalidate();
  Update();
}

HDC TWinControl::GetDeviceContext(HWND& WindowHandle) {
  WindowHandle = Handle();
  HDC DC = GetDC(WindowHandle);
  if (DC == nullptr) throw EOutOfResources("Out of system resources");
  return DC;
}

void TWinControl::WMPaint(TMessage& M) {
  if (M.WParam != 0) {
    PaintHandler(M);
    return;
  }
  // A system control paints itself unless graphic children must be drawn over it.
  bool HasGraphic = false;
  for (TControl* C : FControls)
    if (!IsWindowed(C) && C->Visible()) HasGraphic = true;
  if (FDefWndProc != DefWindowProcW && !HasGraphic) {
    DefaultHandler(M);
    return;
  }
  PAINTSTRUCT PS;
  HDC DC = BeginPaint(FHandle, &PS);
  M.WParam = reinterpret_cast<WPARAM>(DC);
  TScopeExit CleanUp([&] {
    M.WParam = 0;
    EndPaint(FHandle, &PS);
  });
  PaintHandler(M);
}

void TWinControl::PaintHandler(TMessage& M) {
  HDC DC = reinterpret_cast<HDC>(M.WParam);
  bool HasGraphic = false;
  for (TControl* C : FControls)
    if (!IsWindowed(C) && C->Visible()) HasGraphic = true;
  if (!HasGraphic) {
    PaintWindow(DC);
    return;
  }
  const int Saved = SaveDC(DC);
  for (TControl* C : FControls)
    if (!IsWindowed(C) && C->Visible() && C->ControlStyle().Contains(csOpaque))
      ExcludeClipRect(DC, C->Left(), C->Top(), C->Left() + C->Width(), C->Top() + C->Height());
  {
    TScopeExit CleanUp([&] { RestoreDC(DC, Saved); });
    PaintWindow(DC);
  }
  PaintControls(DC, nullptr);
}

void TWinControl::PaintWindow(HDC DC) {
  if (FDefWndProc == DefWindowProcW) return;
  TMessage P{WM_PAINT, reinterpret_cast<WPARAM>(DC), 0, 0};
  DefaultHandler(P);
}

void TWinControl::PaintControls(HDC DC, TControl* First) {
  auto It = FControls.begin();
  if (First != nullptr) It = std::find(FControls.begin(), FControls.end(), First);
  const bool Copy = FControlState.Contains(csPaintCopy);
  for (; It != FControls.end(); ++It) {
    TControl* C = *It;
    if (IsWindowed(C) || !C->Visible() || C->Width() <= 0 || C->Height() <= 0) continue;
    RECT R{C->Left(), C->Top(), C->Left() + C->Width(), C->Top() + C->Height()};
    if (!RectVisible(DC, &R)) continue;
    const bool AddedCopy = Copy && !C->FControlState.Contains(csPaintCopy);
    if (AddedCopy) C->FControlState.Include(csPaintCopy);
    const int Saved = SaveDC(DC);
    MoveWindowOrg(DC, C->Left(), C->Top());
    IntersectClipRect(DC, 0, 0, C->Width(), C->Height());
    TScopeExit CleanUp([&] {
      RestoreDC(DC, Saved);
      if (AddedCopy) C->FControlState.Exclude(csPaintCopy);
    });
    C->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
  }
}

void TWinControl::WMEraseBkgnd(TMessage& M) {
  if (FControlStyle.Contains(csOpaque)) {
    M.Result = 1;
    return;
  }
  HDC DC = reinterpret_cast<HDC>(M.WParam);
  TRect CR = ClientRect();
  RECT R{CR.Left, CR.Top, CR.Right, CR.Bottom};
  FillRect(DC, &R, FBrush->Handle());
  M.Result = 1;
}

void TWinControl::PaintTo(HDC DC, int X, int Y) {
  HandleNeeded();
  const bool AddedCopy = !FControlState.Contains(csPaintCopy);
  if (AddedCopy) FControlState.Include(csPaintCopy);
  const int Saved = SaveDC(DC);
  TScopeExit CleanUp([&] {
    RestoreDC(DC, Saved);
    if (AddedCopy) FControlState.Exclude(csPaintCopy);
  });
  MoveWindowOrg(DC, X, Y);
  IntersectClipRect(DC, 0, 0, Width(), Height());
  // The frame: the client area's place inside the window, and the edges of a child window.
  RECT WR;
  GetWindowRect(FHandle, &WR);
  POINT O{0, 0};
  ::ClientToScreen(FHandle, &O);
  const DWORD Style = static_cast<DWORD>(GetWindowLongW(FHandle, GWL_STYLE));
  const DWORD ExStyle = static_cast<DWORD>(GetWindowLongW(FHandle, GWL_EXSTYLE));
  if (Style & WS_CHILD) {
    RECT R{0, 0, Width(), Height()};
    if (ExStyle & WS_EX_CLIENTEDGE) DrawEdge(DC, &R, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    if (Style & WS_BORDER) FrameRect(DC, &R, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
  MoveWindowOrg(DC, O.x - WR.left, O.y - WR.top);
  TRect CR = ClientRect();
  IntersectClipRect(DC, 0, 0, CR.Width(), CR.Height());
  Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC), 0);
  Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
  for (TControl* C : std::vector<TControl*>(FControls)) {
    auto* W = dynamic_cast<TWinControl*>(C);
    if (W != nullptr && W->Visible()) W->PaintTo(DC, W->Left(), W->Top());
  }
}

// ---------------------------------------------------------------------------------------------
// TCustomControl

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {
  FCanvas = std::make_unique<TControlCanvas>();
  FCanvas->SetControl(this);
}

TCustomControl::~TCustomControl() { FCanvas->FreeHandle(); }

void TCustomControl::PaintWindow(HDC DC) {
  FControlState.Include(csCustomPaint);
  TScopeExit CleanUp([&] { FControlState.Exclude(csCustomPaint); });
  FCanvas->DrawInto(DC, [&] { Paint(); });
}

void TCustomControl::DestroyWnd() {
  FCanvas->FreeHandle();
  TWinControl::DestroyWnd();
}

// ---------------------------------------------------------------------------------------------
// TGraphicControl

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {
  FCanvas = std::make_unique<TControlCanvas>();
  FCanvas->SetControl(this);
}

TGraphicControl::~TGraphicControl() { FCanvas->FreeHandle(); }

void TGraphicControl::Dispatch(TMessage& M) {
  if (M.Msg == WM_PAINT) {
    WMPaint(M);
    return;
  }
  TControl::Dispatch(M);
}

void TGraphicControl::WMPaint(TMessage& M) {
  if (M.WParam == 0) return;
  FCanvas->DrawInto(reinterpret_cast<HDC>(M.WParam), [&] { Paint(); });
}

// ---------------------------------------------------------------------------------------------
// THintWindow

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  FVisible = false;
  FParentColor = false;
  FParentFont = false;
  SetColor(clInfoBk);
  if (Screen != nullptr) Font()->Assign(Screen->HintFont());
  FControlStyle = TControlStyle{csOpaque};
}

void THintWindow::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style = WS_POPUP | WS_BORDER;
  Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  Params.WindowClass.style |= CS_SAVEBITS;
  if (Params.WndParent == nullptr && Application != nullptr) Params.WndParent = Application->Handle();
}

namespace {

// The text a hint shows, and how it wraps: between words, and inside a word too long for a line.
WideString HintText(const WideString& AHint) { return ShortenText(AHint, THintWindow::MaxHintLength); }
constexpr UINT HintTextFlags = DT_LEFT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX;

}  // namespace

TRect THintWindow::CalcHintRect(int MaxWidth, const WideString& AHint, void*) {
  POINT P{0, 0};
  GetCursorPos(&P);
  const TRect Work = WorkAreaNear(TRect{P.x, P.y, P.x + 1, P.y + 1});
  const WideString Text = HintText(AHint);
  HDC DC = CreateCompatibleDC(nullptr);
  HGDIOBJ OldFont = SelectObject(DC, Font()->Handle());
  // Room for the frame and the margins: 6 pixels across, 4 down.
  RECT R{0, 0, std::clamp(MaxWidth, 1, std::max(Work.Width() - 6, 1)), 0};
  DrawTextW(DC, Text.c_str(), static_cast<int>(Text.size()), &R, DT_CALCRECT | HintTextFlags);
  SelectObject(DC, OldFont);
  DeleteDC(DC);
  return Rect(0, 0, std::min<int>(R.right + 6, Work.Width()), std::min<int>(R.bottom + 4, Work.Height()));
}

void THintWindow::ActivateHint(TRect R, const WideString& AHint) {
  SetText(HintText(AHint));
  // Within the work area, the hint's size cut to it first.
  const TRect Work = WorkAreaNear(R);
  R.Right = R.Left + std::min(R.Width(), Work.Width());
  R.Bottom = R.Top + std::min(R.Height(), Work.Height());
  if (R.Right > Work.Right) R.Offset(Work.Right - R.Right, 0);
  if (R.Bottom > Work.Bottom) R.Offset(0, Work.Bottom - R.Bottom);
  if (R.Left < Work.Left) R.Offset(Work.Left - R.Left, 0);
  if (R.Top < Work.Top) R.Offset(0, Work.Top - R.Top);
  HWND W = Handle();
  SetBounds(R.Left, R.Top, R.Width(), R.Height());
  SetWindowPos(W, HWND_TOPMOST, R.Left, R.Top, R.Width(), R.Height(), SWP_SHOWWINDOW | SWP_NOACTIVATE);
  InvalidateRect(W, nullptr, TRUE);
  UpdateWindow(W);
}

void THintWindow::ReleaseHandle() { DestroyHandle(); }

bool THintWindow::IsHintMsg(const MSG& Msg) {
  const UINT M = Msg.message;
  return (M >= WM_KEYFIRST && M <= WM_KEYLAST) || M == CM_ACTIVATE || M == CM_DEACTIVATE || M == WM_COMMAND ||
         (M > WM_MOUSEMOVE && M <= WM_MOUSELAST) || M == WM_NCMOUSEMOVE;
}

void THintWindow::Paint() {
  TCanvas* C = Canvas();
  TRect R = ClientRect();
  C->Brush()->SetColor(Color());
  C->Brush()->SetStyle(bsSolid);
  C->FillRect(R);
  C->Font()->Assign(Font());
  C->Font()->SetColor(clInfoText);
  C->Brush()->SetStyle(bsClear);
  R.Left += 2;
  R.Top += 1;
  WideString S = Text();
  C->TextRect(R, S, TTextFormat{tfLeft, tfWordBreak, tfEditControl, tfNoPrefix});
}

void THintWindow::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case WM_NCHITTEST: M.Result = HTTRANSPARENT; return;
    case WM_MOUSEACTIVATE: M.Result = MA_NOACTIVATE; return;
    default: TCustomControl::Dispatch(M); return;
  }
}
