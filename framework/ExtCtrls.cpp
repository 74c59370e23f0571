#include "framework/ExtCtrls.h"

#include <algorithm>

#include "framework/Forms.h"
#include "framework/Scopes.h"

// ---------------------------------------------------------------------------------------------
// Free routines

void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int Width) {
  TBrush* B = Canvas->Brush();
  B->SetStyle(bsSolid);
  for (; Width > 0 && Rect.Width() > 0 && Rect.Height() > 0; --Width) {
    const TRect& R = Rect;
    B->SetColor(TopColor);
    Canvas->FillRect(::Rect(R.Left, R.Top, R.Right - 1, R.Top + 1));
    Canvas->FillRect(::Rect(R.Left, R.Top, R.Left + 1, R.Bottom - 1));
    B->SetColor(BottomColor);
    Canvas->FillRect(::Rect(R.Left, R.Bottom - 1, R.Right, R.Bottom));
    Canvas->FillRect(::Rect(R.Right - 1, R.Top, R.Right, R.Bottom));
    Rect = ::Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
  }
  for (; Width > 0; --Width) Rect = ::Rect(Rect.Left + 1, Rect.Top + 1, Rect.Right - 1, Rect.Bottom - 1);
}

namespace {

void BevelColors(TPanelBevel Bevel, TColor Face, TColor& Top, TColor& Bottom) {
  switch (Bevel) {
    case bvLowered:
      Top = clBtnShadow;
      Bottom = clBtnHighlight;
      break;
    case bvRaised:
      Top = clBtnHighlight;
      Bottom = clBtnShadow;
      break;
    default:
      Top = Face;
      Bottom = Face;
      break;
  }
}

bool Horizontal(TAlign A) { return A == alLeft || A == alRight; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCustomPanel

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                                csOpaque,          csDoubleClicks, csReplicatable};
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
}

void TCustomPanel::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
}

int TCustomPanel::FrameWidth() const {
  int W = FBorderWidth;
  if (FBevelOuter != bvNone) W += FBevelWidth;
  if (FBevelInner != bvNone) W += FBevelWidth;
  return W;
}

void TCustomPanel::AdjustClientRect(TRect& Rect) {
  TCustomControl::AdjustClientRect(Rect);
  const int W = FrameWidth();
  Rect = ::Rect(Rect.Left + W, Rect.Top + W, Rect.Right - W, Rect.Bottom - W);
}

void TCustomPanel::SetAlignment(TAlignment Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  Invalidate();
}

void TCustomPanel::SetBevelOuter(TPanelBevel Value) {
  if (FBevelOuter == Value) return;
  FBevelOuter = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelInner(TPanelBevel Value) {
  if (FBevelInner == Value) return;
  FBevelInner = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(TBevelWidth Value) {
  if (Value < 1) throw EInvalidOperation(Format("Invalid bevel width (%d)", Value));
  if (FBevelWidth == Value) return;
  FBevelWidth = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderWidth(TBorderWidth Value) {
  if (Value < 0) throw EInvalidOperation(Format("Invalid border width (%d)", Value));
  if (FBorderWidth == Value) return;
  FBorderWidth = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle Value) {
  if (Value != bsNone && Value != bsSingle)
    throw EInvalidOperation("A panel's border style is bsNone or bsSingle");
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  RecreateWnd();
}

void TCustomPanel::SetParentBackground(bool Value) {
  if (FParentBackground == Value) return;
  FParentBackground = Value;
  // The background is erased (from the parent) instead of being covered by Paint.
  TControlStyle S = ControlStyle();
  if (Value) {
    S.Include(csParentBackground);
    S.Exclude(csOpaque);
  } else {
    S.Exclude(csParentBackground);
    S.Include(csOpaque);
  }
  SetControlStyle(S);
  Invalidate();
}

void TCustomPanel::WMEraseBkgnd(TMessage& M) {
  if (FParentBackground && Parent() != nullptr && M.WParam != 0) {
    // The parent paints its picture of this place into the panel's device context.
    HDC DC = reinterpret_cast<HDC>(M.WParam);
    const int Saved = SaveDC(DC);
    {
      TScopeExit CleanUp([&] { RestoreDC(DC, Saved); });
      MoveWindowOrg(DC, -Left(), -Top());
      Parent()->Perform(WM_ERASEBKGND, M.WParam, 0);
      Parent()->Perform(WM_PAINT, M.WParam, 0);
    }
    M.Result = 1;
    return;
  }
  TCustomControl::WMEraseBkgnd(M);
}

void TCustomPanel::CMTextChanged(TMessage& M) {
  TCustomControl::CMTextChanged(M);
  Invalidate();
}

void TCustomPanel::Paint() {
  TCanvas* C = Canvas();
  TRect R = ClientRect();
  TColor Top, Bottom;
  if (FBevelOuter != bvNone) {
    BevelColors(FBevelOuter, Color(), Top, Bottom);
    Frame3D(C, R, Top, Bottom, FBevelWidth);
  }
  if (FParentBackground)
    R = Rect(R.Left + FBorderWidth, R.Top + FBorderWidth, R.Right - FBorderWidth, R.Bottom - FBorderWidth);
  else
    Frame3D(C, R, Color(), Color(), FBorderWidth);
  if (FBevelInner != bvNone) {
    BevelColors(FBevelInner, Color(), Top, Bottom);
    Frame3D(C, R, Top, Bottom, FBevelWidth);
  }
  if (!FParentBackground) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color());
    C->FillRect(R);
  }
  WideString Text = Caption();
  if (Text.empty()) return;
  C->Brush()->SetStyle(bsClear);
  C->SetFont(Font());
  TTextFormat Format{tfExpandTabs, tfSingleLine, tfVerticalCenter};
  Format.Include(FAlignment == taRightJustify ? tfRight : FAlignment == taCenter ? tfCenter : tfLeft);
  C->TextRect(R, Text, Format);
}

// ---------------------------------------------------------------------------------------------
// TSplitter

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle = FControlStyle + csOpaque;
  SetCursor(crHSplit);
  SetAlign(alLeft);
  SetBounds(0, 0, 3, 100);
}

TSplitter::~TSplitter() {
  if (FHookedParent != nullptr) FHookedParent->SetWindowProc(FParentWindowProc);
  FHookedParent = nullptr;
  FControl = nullptr;
  ReleaseLineDC();
}

void TSplitter::SetMinSize(int Value) {
  if (Value < 1) throw EInvalidOperation(Format("Invalid splitter minimum size (%d)", Value));
  FMinSize = Value;
}

void TSplitter::SetBeveled(bool Value) {
  if (FBeveled == Value) return;
  FBeveled = Value;
  Invalidate();
}

void TSplitter::RequestAlign() {
  TGraphicControl::RequestAlign();
  // The sizing cursor turns with the splitter (a cursor of the program's own choice stays).
  if (Cursor() != crHSplit && Cursor() != crVSplit) return;
  SetCursor(Horizontal(Align()) ? crHSplit : crVSplit);
}

int TSplitter::ExtentOf(TControl* C) const { return Horizontal(Align()) ? C->Width() : C->Height(); }

TControl* TSplitter::FindControl() {
  TWinControl* P = Parent();
  if (P == nullptr) return nullptr;
  TPoint Pt;
  switch (Align()) {
    case alLeft: Pt = Point(Left() - 1, Top() + Height() / 2); break;
    case alRight: Pt = Point(Left() + Width(), Top() + Height() / 2); break;
    case alTop: Pt = Point(Left() + Width() / 2, Top() - 1); break;
    case alBottom: Pt = Point(Left() + Width() / 2, Top() + Height()); break;
    default: return nullptr;
  }
  for (int I = P->ControlCount() - 1; I >= 0; --I) {
    TControl* C = P->Controls(I);
    if (C == this || !C->Visible() || !C->Enabled() || C->Align() != Align()) continue;
    TRect R = C->BoundsRect();
    // A neighbour closed to nothing still lies next to the splitter.
    if (Horizontal(Align()) && R.Width() == 0) {
      if (Align() == alLeft)
        --R.Left;
      else
        ++R.Right;
    }
    if (!Horizontal(Align()) && R.Height() == 0) {
      if (Align() == alTop)
        --R.Top;
      else
        ++R.Bottom;
    }
    if (R.Contains(Pt)) return C;
  }
  return nullptr;
}

void TSplitter::Paint() {
  TCanvas* C = Canvas();
  TRect R = ClientRect();
  C->Brush()->SetStyle(bsSolid);
  C->Brush()->SetColor(Color());
  C->FillRect(R);
  if (FBeveled) {
    RECT E{R.Left, R.Top, R.Right, R.Bottom};
    DrawEdge(C->Handle(), &E, BDR_RAISEDINNER, Horizontal(Align()) ? BF_LEFT | BF_RIGHT : BF_TOP | BF_BOTTOM);
  }
  if (OnPaint) OnPaint(this);
}

bool TSplitter::CanResize(int& NewSize) {
  bool Accept = true;
  Fire(OnCanResize, this, NewSize, Accept);
  if (NewSize < 0) NewSize = 0;
  return Accept;
}

void TSplitter::StopSizingNotify() { Fire(OnMoved, this); }

void TSplitter::CalcSplitSize(int X, int Y, int& NewSize, int& Split) {
  const bool Near = Align() == alLeft || Align() == alTop;  // the neighbour lies before the splitter
  const int Delta = Horizontal(Align()) ? X - FDownPos.X : Y - FDownPos.Y;
  const int Current = ExtentOf(FControl);
  int S = Near ? Current + Delta : Current - Delta;
  if (S > FMaxSize) S = FMaxSize;
  if (S < FMinSize) S = FAutoSnap ? 0 : FMinSize;
  if (S < 0) S = 0;
  NewSize = S;
  Split = Near ? S - Current : Current - S;
}

void TSplitter::AllocateLineDC() {
  TWinControl* P = Parent();
  if (P == nullptr || !P->HandleAllocated()) return;
  FLineDC = GetDCEx(P->Handle(), nullptr, DCX_CACHE | DCX_CLIPSIBLINGS | DCX_LOCKWINDOWUPDATE);
  if (FLineDC == nullptr) return;
  if (FResizeStyle == rsPattern) {
    // Every other pixel: a monochrome pattern whose set bits invert what lies below.
    static const WORD Bits[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
    HBITMAP Pattern = CreateBitmap(8, 8, 1, 1, Bits);
    FLineBrush = CreatePatternBrush(Pattern);
    DeleteObject(Pattern);
  } else {
    FLineBrush = CreateSolidBrush(RGB(255, 255, 255));
  }
  SetTextColor(FLineDC, RGB(0, 0, 0));
  SetBkColor(FLineDC, RGB(255, 255, 255));
  FPrevBrush = static_cast<HBRUSH>(SelectObject(FLineDC, FLineBrush));
}

void TSplitter::ReleaseLineDC() {
  if (FLineDC != nullptr) {
    SelectObject(FLineDC, FPrevBrush);
    HWND W = WindowFromDC(FLineDC);
    ReleaseDC(W, FLineDC);
    FLineDC = nullptr;
  }
  if (FLineBrush != nullptr) {
    DeleteObject(FLineBrush);
    FLineBrush = nullptr;
  }
  FPrevBrush = nullptr;
  FLineVisible = false;
}

void TSplitter::DrawLine() {
  if (FLineDC == nullptr) return;
  FLineVisible = !FLineVisible;
  int X = Left(), Y = Top();
  if (Horizontal(Align()))
    X += FSplit;
  else
    Y += FSplit;
  PatBlt(FLineDC, X, Y, Width(), Height(), PATINVERT);
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || Sizing()) return;
  TControl* C = FindControl();
  if (C == nullptr) return;
  TWinControl* P = Parent();
  const bool Horz = Horizontal(Align());
  // What the neighbour may take: the client area without the other controls on its axis
  // (this splitter included) and MinSize left for the rest.
  int Max = (Horz ? P->ClientWidth() : P->ClientHeight()) - FMinSize;
  for (int I = 0; I < P->ControlCount(); ++I) {
    TControl* O = P->Controls(I);
    if (O == C || !O->Visible()) continue;
    if (Horz && Horizontal(O->Align())) Max -= O->Width();
    if (!Horz && (O->Align() == alTop || O->Align() == alBottom)) Max -= O->Height();
  }
  FControl = C;
  FMaxSize = Max;
  FDownPos = Point(X, Y);
  FOldSize = ExtentOf(C);
  FNewSize = FOldSize;
  FSplit = 0;
  // A cancelled mouse mode reaches the window holding the capture, the parent's: it ends the
  // drag there.
  FParentWindowProc = P->WindowProc();
  FHookedParent = P;
  P->SetWindowProc([this](TMessage& M) { ParentWindowProc(M); });
  if (FResizeStyle == rsLine || FResizeStyle == rsPattern) {
    AllocateLineDC();
    DrawLine();
  }
}

void TSplitter::ParentWindowProc(TMessage& M) {
  const TWndMethod Saved = FParentWindowProc;
  if (M.Msg == WM_CANCELMODE) StopSizing(false);
  // The parent's window goes during the drag (a handler freed the parent): the line's device
  // context, one of the window's, goes back first, without the line's brush in it.
  if (M.Msg == WM_DESTROY) ReleaseLineDC();
  Saved(M);
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!Sizing() || !Shift.Contains(ssLeft)) return;
  int NewSize, Split;
  CalcSplitSize(X, Y, NewSize, Split);
  if (!CanResize(NewSize)) return;
  const bool Near = Align() == alLeft || Align() == alTop;
  const int Current = ExtentOf(FControl);
  Split = Near ? NewSize - Current : Current - NewSize;
  if (NewSize == FNewSize && Split == FSplit) return;
  if (FLineVisible) DrawLine();
  FNewSize = NewSize;
  FSplit = Split;
  if (FResizeStyle == rsUpdate) {
    UpdateControlSize();
    FSplit = 0;
  }
  if (FResizeStyle == rsLine || FResizeStyle == rsPattern) DrawLine();
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (Button == mbLeft && Sizing()) StopSizing(true);
}

void TSplitter::UpdateControlSize() {
  if (FControl == nullptr || FNewSize == ExtentOf(FControl)) return;
  TControl* C = FControl;
  switch (Align()) {
    case alLeft: C->SetWidth(FNewSize); break;
    case alTop: C->SetHeight(FNewSize); break;
    case alRight: C->SetBounds(C->Left() + C->Width() - FNewSize, C->Top(), FNewSize, C->Height()); break;
    case alBottom: C->SetBounds(C->Left(), C->Top() + C->Height() - FNewSize, C->Width(), FNewSize); break;
    default: break;
  }
  if (Parent() != nullptr) Parent()->Update();
}

void TSplitter::StopSizing(bool Apply) {
  if (FControl == nullptr) return;
  if (FHookedParent != nullptr) {
    FHookedParent->SetWindowProc(FParentWindowProc);
    FHookedParent = nullptr;
  }
  if (FLineVisible) DrawLine();
  ReleaseLineDC();
  if (Apply) {
    UpdateControlSize();
  } else if (FResizeStyle == rsUpdate) {
    FNewSize = FOldSize;  // a live drag goes back to where it started
    UpdateControlSize();
  }
  const bool Moved = Apply && ExtentOf(FControl) != FOldSize;
  FControl = nullptr;
  FSplit = 0;
  if (Moved) StopSizingNotify();
}

void TSplitter::Dispatch(TMessage& M) {
  if (M.Msg == CM_DIALOGKEY && M.WParam == VK_ESCAPE && Sizing()) {
    StopSizing(false);
    SetMouseCapture(false);
    M.Result = 1;
    return;
  }
  TGraphicControl::Dispatch(M);
}

void TSplitter::WMCancelMode(TMessage& M) {
  StopSizing(false);
  TGraphicControl::WMCancelMode(M);
}

// ---------------------------------------------------------------------------------------------
// TControlScrollBar

TControlScrollBar::TControlScrollBar(TScrollingWinControl* AControl, TScrollBarKind AKind)
    : FControl(AControl), FKind(AKind) {}

int TControlScrollBar::ControlExtent() {
  return FKind == sbHorizontal ? FControl->ClientWidth() : FControl->ClientHeight();
}

bool TControlScrollBar::IsScrollBarVisible() { return FVisible && FRange > ControlExtent(); }

void TControlScrollBar::SetRangeInternal(int Value) { FRange = std::max(Value, 0); }

void TControlScrollBar::SetRange(int Value) {
  if (Value < 0) throw ERangeError(Format("Invalid scroll range (%d)", Value));
  FControl->FAutoScroll = false;
  SetRangeInternal(Value);
  FControl->UpdateScrollBars();
}

void TControlScrollBar::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  FControl->UpdateScrollBars();
}

void TControlScrollBar::SetPosition(int Value) {
  const int Max = IsScrollBarVisible() ? std::max(FRange - ControlExtent(), 0) : 0;
  Value = std::clamp(Value, 0, Max);
  if (Value == FPosition) return;
  const int Delta = FPosition - Value;
  FPosition = Value;
  {
    // The children's moves may set the scroll data again: one notice for the whole step.
    ++FControl->FScrollNoticeHeld;
    TScopeExit Release([&] { --FControl->FScrollNoticeHeld; });
    if (FKind == sbHorizontal)
      FControl->ScrollBy(Delta, 0);
    else
      FControl->ScrollBy(0, Delta);
    if (FControl->HandleAllocated())
      SetScrollPos(FControl->Handle(), FKind == sbHorizontal ? SB_HORZ : SB_VERT, FPosition, TRUE);
  }
  FControl->ScrollDataSet();
}

void TControlScrollBar::Update() {
  if (!FControl->HandleAllocated()) return;
  SCROLLINFO SI{};
  SI.cbSize = sizeof(SI);
  SI.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  if (IsScrollBarVisible()) {
    SI.nMax = FRange - 1;
    SI.nPage = static_cast<UINT>(ControlExtent());
    SI.nPos = FPosition;
  }
  SetScrollInfo(FControl->Handle(), FKind == sbHorizontal ? SB_HORZ : SB_VERT, &SI, TRUE);
}

void TControlScrollBar::ScrollMessage(WORD Code, int TrackPos) {
  switch (Code) {
    case SB_LINEUP: SetPosition(FPosition - FIncrement); break;
    case SB_LINEDOWN: SetPosition(FPosition + FIncrement); break;
    case SB_PAGEUP: SetPosition(FPosition - ControlExtent()); break;
    case SB_PAGEDOWN: SetPosition(FPosition + ControlExtent()); break;
    case SB_THUMBPOSITION: SetPosition(TrackPos); break;
    case SB_THUMBTRACK:
      if (FTracking) SetPosition(TrackPos);
      break;
    case SB_TOP: SetPosition(0); break;
    case SB_BOTTOM: SetPosition(FRange); break;
    default: break;
  }
}

// ---------------------------------------------------------------------------------------------
// TScrollingWinControl

TScrollingWinControl::TScrollingWinControl(TComponent* AOwner)
    : TWinControl(AOwner),
      FHorzScrollBar(std::make_unique<TControlScrollBar>(this, sbHorizontal)),
      FVertScrollBar(std::make_unique<TControlScrollBar>(this, sbVertical)) {
  FControlStyle = FControlStyle + csAcceptsControls;
}

TScrollingWinControl::~TScrollingWinControl() = default;

void TScrollingWinControl::SetAutoScroll(bool Value) {
  if (FAutoScroll == Value) return;
  FAutoScroll = Value;
  if (Value) {
    Realign();
  } else {
    FHorzScrollBar->SetRangeInternal(0);
    FVertScrollBar->SetRangeInternal(0);
    UpdateScrollBars();
  }
}

void TScrollingWinControl::CreateWnd() {
  TWinControl::CreateWnd();
  UpdateScrollBars();
}

void TScrollingWinControl::UpdateScrollBars() {
  if (FUpdatingScrollBars > 0) return;
  {
    ++FUpdatingScrollBars;
    TScopeExit CleanUp([&] { --FUpdatingScrollBars; });
    // Showing one bar narrows the room of the other: twice settles it.
    for (int I = 0; I < 2; ++I) {
      FHorzScrollBar->Update();
      FVertScrollBar->Update();
    }
    // A shorter range or a larger client area may leave a position beyond the end.
    FHorzScrollBar->SetPosition(FHorzScrollBar->Position());
    FVertScrollBar->SetPosition(FVertScrollBar->Position());
  }
  ScrollDataSet();
}

void TScrollingWinControl::ScrollDataSet() {
  if (FUpdatingScrollBars == 0 && FScrollNoticeHeld == 0 && HandleAllocated()) Perform(CM_SCROLLDATASET, 0, 0);
}

void TScrollingWinControl::CalcAutoRange() {
  if (!FAutoScroll) return;
  int H = 0, V = 0;
  for (int I = 0; I < ControlCount(); ++I) {
    TControl* C = Controls(I);
    if (!C->Visible()) continue;
    if (C->Align() == alNone || C->Align() == alLeft)
      H = std::max(H, C->Left() + C->Width() + FHorzScrollBar->Position());
    if (C->Align() == alNone || C->Align() == alTop)
      V = std::max(V, C->Top() + C->Height() + FVertScrollBar->Position());
  }
  FHorzScrollBar->SetRangeInternal(H);
  FVertScrollBar->SetRangeInternal(V);
}

void TScrollingWinControl::AdjustClientRect(TRect& Rect) {
  TWinControl::AdjustClientRect(Rect);
  const int H = FHorzScrollBar->Position(), V = FVertScrollBar->Position();
  Rect = Bounds(Rect.Left - H, Rect.Top - V, std::max(FHorzScrollBar->Range(), Rect.Width()),
                std::max(FVertScrollBar->Range(), Rect.Height()));
}

void TScrollingWinControl::AlignControls(TControl* AControl, TRect& Rect) {
  TWinControl::AlignControls(AControl, Rect);
  CalcAutoRange();
  UpdateScrollBars();
}

void TScrollingWinControl::WMSize(TMessage& M) {
  TWinControl::WMSize(M);
  UpdateScrollBars();
}

void TScrollingWinControl::Dispatch(TMessage& M) {
  if ((M.Msg == WM_HSCROLL || M.Msg == WM_VSCROLL) && M.LParam == 0 && HandleAllocated()) {
    const int Bar = M.Msg == WM_HSCROLL ? SB_HORZ : SB_VERT;
    SCROLLINFO SI{};
    SI.cbSize = sizeof(SI);
    SI.fMask = SIF_TRACKPOS;
    GetScrollInfo(Handle(), Bar, &SI);
    TControlScrollBar* B = M.Msg == WM_HSCROLL ? FHorzScrollBar.get() : FVertScrollBar.get();
    B->ScrollMessage(LOWORD(M.WParam), SI.nTrackPos);
    M.Result = 0;
    return;
  }
  TWinControl::Dispatch(M);
}

void TScrollingWinControl::ScrollBy(int DeltaX, int DeltaY) {
  if (DeltaX == 0 && DeltaY == 0) return;
  DisableAlign();
  {
    TScopeExit CleanUp([&] { EnableAlign(); });
    for (int I = 0; I < ControlCount(); ++I) {
      TControl* C = Controls(I);
      C->SetBounds(C->Left() + DeltaX, C->Top() + DeltaY, C->Width(), C->Height());
    }
  }
  if (HandleAllocated()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TScrollingWinControl::ScrollInView(TControl* AControl) {
  if (AControl == nullptr) return;
  TRect R = AControl->BoundsRect();
  TWinControl* P = AControl->Parent();
  while (P != nullptr && P != this) {
    R.Offset(P->Left(), P->Top());
    P = P->Parent();
  }
  if (P != this) return;
  const int W = ClientWidth(), H = ClientHeight();
  if (R.Left < 0)
    FHorzScrollBar->SetPosition(FHorzScrollBar->Position() + R.Left);
  else if (R.Right > W)
    FHorzScrollBar->SetPosition(FHorzScrollBar->Position() + std::min(R.Right - W, R.Left));
  if (R.Top < 0)
    FVertScrollBar->SetPosition(FVertScrollBar->Position() + R.Top);
  else if (R.Bottom > H)
    FVertScrollBar->SetPosition(FVertScrollBar->Position() + std::min(R.Bottom - H, R.Top));
}
