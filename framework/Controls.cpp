#include "framework/Controls.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

#include "framework/Forms.h"
#include "framework/Strings.h"

TMenuHooks MenuHooks;
THintWindowClass HintWindowClass = [](TComponent* AOwner) { return new THintWindow(AOwner); };

namespace {

// The window property that ties a window to its control.
LPCWSTR ControlProp() {
  static const ATOM Atom = GlobalAddAtomW(L"TvFrameworkControl");
  return reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(Atom));
}

// The control whose window is being created; its window binds to it on its first message.
thread_local TWinControl* CreationControl = nullptr;
TControl* CaptureControlPtr = nullptr;
// Canvases that hold a device context they took from a window (never freed: controls may go
// away while the program ends).
std::vector<TControlCanvas*>& CanvasesWithDC() {
  static auto* List = new std::vector<TControlCanvas*>;
  return *List;
}
unsigned NextLinkId = 1;
int NextChildId = 0;

TPoint MessagePoint(LPARAM LParam) { return Point(GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)); }

bool IsWindowed(TControl* C) { return dynamic_cast<TWinControl*>(C) != nullptr; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Free routines

HINSTANCE ModuleInstance() { return GetModuleHandleW(nullptr); }

bool RegisterPlainWindowClass(const wchar_t* ClassName, WNDPROC WndProc) {
  HINSTANCE Instance = ModuleInstance();
  WNDCLASSEXW WC{};
  WC.cbSize = sizeof(WC);
  if (GetClassInfoExW(Instance, ClassName, &WC)) return true;
  WC = WNDCLASSEXW{};
  WC.cbSize = sizeof(WC);
  WC.lpfnWndProc = WndProc;
  WC.hInstance = Instance;
  WC.lpszClassName = ClassName;
  return RegisterClassExW(&WC) != 0;
}

HWND CreateMessageWindow(const wchar_t* ClassName) {
  return CreateWindowExW(0, ClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ModuleInstance(), nullptr);
}

TShiftState KeysToShiftState(WORD Keys) {
  TShiftState S;
  if (Keys & MK_SHIFT) S.Include(ssShift);
  if (Keys & MK_CONTROL) S.Include(ssCtrl);
  if (Keys & MK_LBUTTON) S.Include(ssLeft);
  if (Keys & MK_RBUTTON) S.Include(ssRight);
  if (Keys & MK_MBUTTON) S.Include(ssMiddle);
  if (GetKeyState(VK_MENU) < 0) S.Include(ssAlt);
  return S;
}

TShiftState KeyDataToShiftState(LPARAM KeyData) {
  TShiftState S;
  if (GetKeyState(VK_SHIFT) < 0) S.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) S.Include(ssCtrl);
  if (KeyData & 0x20000000) S.Include(ssAlt);
  return S;
}

TShiftState ShiftStateNow() {
  TShiftState S;
  if (GetKeyState(VK_SHIFT) < 0) S.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) S.Include(ssCtrl);
  if (GetKeyState(VK_MENU) < 0) S.Include(ssAlt);
  if (GetKeyState(VK_LBUTTON) < 0) S.Include(ssLeft);
  if (GetKeyState(VK_RBUTTON) < 0) S.Include(ssRight);
  if (GetKeyState(VK_MBUTTON) < 0) S.Include(ssMiddle);
  return S;
}

TWinControl* FindControl(HWND Handle) {
  if (Handle == nullptr) return nullptr;
  return static_cast<TWinControl*>(GetPropW(Handle, ControlProp()));
}

TControl* FindDragTarget(TPoint Pos, bool AllowDisabled) {
  HWND W = WindowFromPoint(POINT{Pos.X, Pos.Y});
  TWinControl* C = nullptr;
  while (W != nullptr && (C = FindControl(W)) == nullptr) W = GetParent(W);
  if (C == nullptr) return nullptr;
  TControl* Inner = C->ControlAtPos(C->ScreenToClient(Pos), AllowDisabled);
  return Inner != nullptr ? Inner : C;
}

TCustomForm* GetParentForm(TControl* Control) {
  if (Control == nullptr) return nullptr;
  while (Control->Parent() != nullptr) Control = Control->Parent();
  return dynamic_cast<TCustomForm*>(Control);
}

TControl* GetCaptureControl() {
  HWND Captured = GetCapture();
  if (Captured == nullptr) {
    CaptureControlPtr = nullptr;
    return nullptr;
  }
  if (CaptureControlPtr != nullptr && CaptureControlPtr->Parent() != nullptr &&
      CaptureControlPtr->Parent()->HandleAllocated() && CaptureControlPtr->Parent()->Handle() == Captured)
    return CaptureControlPtr;
  return FindControl(Captured);
}

void SetCaptureControl(TControl* Control) {
  ReleaseCapture();
  CaptureControlPtr = nullptr;
  if (Control == nullptr) return;
  if (auto* W = dynamic_cast<TWinControl*>(Control)) {
    SetCapture(W->Handle());
    return;
  }
  if (Control->Parent() != nullptr) {
    CaptureControlPtr = Control;
    SetCapture(Control->Parent()->Handle());
  }
}

void MoveWindowOrg(HDC DC, int DX, int DY) {
  POINT P;
  GetWindowOrgEx(DC, &P);
  SetWindowOrgEx(DC, P.x - DX, P.y - DY, nullptr);
}

WideString GetShortHint(const WideString& Hint) {
  std::size_t I = Hint.find(L'|');
  return I == WideString::npos ? Hint : Hint.substr(0, I);
}

WideString GetLongHint(const WideString& Hint) {
  std::size_t I = Hint.find(L'|');
  return I == WideString::npos ? Hint : Hint.substr(I + 1);
}

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

// ---------------------------------------------------------------------------------------------
// The WindowProc chain

// One handler of a control's chain. Links are installed on top of one another; a link that is
// handed back is marked removed and skipped (calls through it go on to the link below).
struct TControl::TWndProcLink {
  TWndMethod Proc;
  std::shared_ptr<TWndProcLink> Below;
  unsigned Id = 0;
  unsigned InstalledOn = 0;  // the id of the link that was on top when this one was installed
  bool Removed = false;
};

// What WindowProc() hands out: a call into the chain from a given link downwards. Handing it
// back to SetWindowProc removes the link that was installed on top of that link.
struct TControl::TWndProcRef {
  std::shared_ptr<TWndProcLink> Link;
  void operator()(TMessage& Message) const {
    std::shared_ptr<TWndProcLink> L = Link;
    while (L != nullptr && L->Removed) L = L->Below;
    if (L != nullptr && L->Proc) L->Proc(Message);
  }
};

TWndMethod TControl::WindowProc() const { return TWndProcRef{FWindowProcTop}; }

void TControl::SetWindowProc(const TWndMethod& Value) {
  if (!Value) return;
  if (const TWndProcRef* Ref = Value.target<TWndProcRef>()) {
    if (Ref->Link == nullptr) return;
    const unsigned Target = Ref->Link->Id;
    for (TWndProcLink* L = FWindowProcTop.get(); L != nullptr; L = L->Below.get()) {
      if (!L->Removed && L->InstalledOn == Target && L != FWindowProcBottom.get()) {
        L->Removed = true;
        break;
      }
    }
    // Take the removed links out of the chain (references to them still lead downwards).
    while (FWindowProcTop->Removed && FWindowProcTop->Below != nullptr) FWindowProcTop = FWindowProcTop->Below;
    for (TWndProcLink* L = FWindowProcTop.get(); L != nullptr; L = L->Below.get())
      while (L->Below != nullptr && L->Below->Removed) L->Below = L->Below->Below;
    return;
  }
  auto Link = std::make_shared<TWndProcLink>();
  Link->Proc = Value;
  Link->Below = FWindowProcTop;
  Link->Id = NextLinkId++;
  Link->InstalledOn = FWindowProcTop->Id;
  FWindowProcTop = Link;
}

void TControl::RunWindowProc(TMessage& Message) { TWndProcRef{FWindowProcTop}(Message); }

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage M{Msg, WParam, LParam, 0};
  RunWindowProc(M);
  return M.Result;
}

// ---------------------------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
  FFont = std::make_unique<TFont>();
  FFont->OnChange = [this](TObject* Sender) { FontChanged(Sender); };
  auto Bottom = std::make_shared<TWndProcLink>();
  Bottom->Proc = [this](TMessage& M) { WndProc(M); };
  Bottom->Id = NextLinkId++;
  FWindowProcBottom = Bottom;
  FWindowProcTop = Bottom;
  if (AOwner != nullptr && AOwner->ComponentState().Contains(csLoading)) Loading();
}

TControl::~TControl() {
  Destroying();
  DestroyComponents();
  if (Application != nullptr) Application->ControlDestroyed(this);
  if (CaptureControlPtr == this) {
    CaptureControlPtr = nullptr;
    ReleaseCapture();
  }
  if (FParent != nullptr) FParent->RemoveControl(this);
  FWindowProcBottom->Removed = true;
  FWindowProcBottom->Proc = nullptr;
}

void TControl::SetParent(TWinControl* AParent) {
  if (FParent == AParent) return;
  for (TWinControl* P = AParent; P != nullptr; P = P->Parent())
    if (P == this) throw EInvalidOperation("A control cannot have itself or its child as its parent");
  if (FParent != nullptr) FParent->RemoveControl(this);
  if (AParent != nullptr) AParent->InsertControl(this);
}

void TControl::SetBoundsFields(int ALeft, int ATop, int AWidth, int AHeight) {
  FLeft = ALeft;
  FTop = ATop;
  FWidth = std::max(AWidth, 0);
  FHeight = std::max(AHeight, 0);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  const bool Resized = AWidth != FWidth || AHeight != FHeight;
  InvalidateControl(FVisible, false);
  SetBoundsFields(ALeft, ATop, AWidth, AHeight);
  InvalidateControl(FVisible, false);
  Perform(WM_WINDOWPOSCHANGED, 0, 0);
  UpdateAnchorRules();
  if (!FAnchorMove) RequestAlign();
  if (Resized && !IsLoading()) Resize();
}

TRect TControl::ClientRect() { return Rect(0, 0, FWidth, FHeight); }

void TControl::SetClientSize(int AWidth, int AHeight) { SetBounds(FLeft, FTop, AWidth, AHeight); }

TPoint TControl::ClientOrigin() {
  if (FParent == nullptr) return Point(FLeft, FTop);
  TPoint P = FParent->ClientOrigin();
  return Point(P.X + FLeft, P.Y + FTop);
}

void TControl::SetAlign(TAlign Value) {
  if (FAlign == Value) return;
  TAlign Old = FAlign;
  FAlign = Value;
  FAnchors = Value == alLeft     ? TAnchors{akLeft, akTop, akBottom}
             : Value == alRight  ? TAnchors{akRight, akTop, akBottom}
             : Value == alTop    ? TAnchors{akLeft, akTop, akRight}
             : Value == alBottom ? TAnchors{akLeft, akRight, akBottom}
             : Value == alClient ? TAnchors{akLeft, akTop, akRight, akBottom}
                                 : (Old == alNone ? FAnchors : AnchorsDefault);
  RequestAlign();
}

void TControl::SetAnchors(TAnchors Value) {
  if (FAnchors == Value) return;
  FAnchors = Value;
  UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
  if (FAnchorMove) return;
  if (FParent == nullptr) {
    FAnchorRulesValid = false;
    return;
  }
  FAnchorBounds = BoundsRect();
  TRect PR = FParent->ClientRect();
  FAnchorParentSize = TSize{PR.Width(), PR.Height()};
  FAnchorRulesValid = true;
}

void TControl::RequestAlign() {
  if (FParent != nullptr) FParent->AlignControl(this);
}

void TControl::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  Perform(CM_VISIBLECHANGED, Value ? 1 : 0, 0);
  RequestAlign();
}

void TControl::Show() {
  if (FParent != nullptr && !FParent->Visible() && dynamic_cast<TCustomForm*>(FParent) == nullptr)
    FParent->Show();
  SetVisible(true);
}

void TControl::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetColor(TColor Value) {
  if (FColor == Value) {
    FParentColor = false;
    return;
  }
  FColor = Value;
  FParentColor = false;
  Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool Value) {
  if (FParentColor == Value) return;
  FParentColor = Value;
  if (Value && FParent != nullptr) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::FontChanged(TObject*) {
  if (!FFontFromParent) FParentFont = false;
  Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetParentFontValue(bool Value, bool Notify) {
  FParentFont = Value;
  if (Value && FParent != nullptr && Notify) {
    FFontFromParent = true;
    try {
      FFont->Assign(FParent->Font());
    } catch (...) {
      FFontFromParent = false;
      throw;
    }
    FFontFromParent = false;
  }
}

void TControl::SetParentFont(bool Value) {
  if (FParentFont == Value) return;
  SetParentFontValue(Value, true);
}

WideString TControl::Text() {
  auto* W = dynamic_cast<TWinControl*>(this);
  if (W != nullptr && W->HandleAllocated()) {
    int N = GetWindowTextLengthW(W->FHandle);
    if (N <= 0) return WideString();
    WideString S(static_cast<std::size_t>(N) + 1, L'\0');
    N = GetWindowTextW(W->FHandle, S.data(), N + 1);
    S.resize(static_cast<std::size_t>(std::max(N, 0)));
    return S;
  }
  return FText;
}

void TControl::SetText(const WideString& Value) {
  if (Text() == Value) return;
  auto* W = dynamic_cast<TWinControl*>(this);
  if (W != nullptr && W->HandleAllocated())
    SetWindowTextW(W->FHandle, Value.c_str());
  else
    Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Value.c_str()));
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetText(const AnsiString& Value) { SetText(AnsiToWide(Value)); }

void TControl::SetHint(const AnsiString& Value) { FHint = AnsiToWide(Value); }

void TControl::SetShowHint(bool Value) {
  FParentShowHint = false;
  if (FShowHint == Value) return;
  FShowHint = Value;
  Perform(CM_SHOWHINTCHANGED, 0, 0);
  if (auto* W = dynamic_cast<TWinControl*>(this)) W->NotifyControls(CM_PARENTSHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool Value) {
  if (FParentShowHint == Value) return;
  FParentShowHint = Value;
  if (Value && FParent != nullptr) Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
}

void TControl::SetCursor(TCursor Value) {
  if (FCursor == Value) return;
  FCursor = Value;
  Perform(CM_CURSORCHANGED, 0, 0);
  POINT P;
  if (Screen != nullptr && GetCursorPos(&P) && FindDragTarget(Point(P.x, P.y), false) == this) {
    TCursor C = Screen->Cursor() != crDefault ? Screen->Cursor() : FCursor;
    ::SetCursor(Screen->Cursors(C));
  }
}

void TControl::SetPopupMenu(TPopupMenu* Value) { FPopupMenu = Value; }

void TControl::Invalidate() { InvalidateControl(FVisible, FControlStyle.Contains(csOpaque)); }

void TControl::InvalidateControl(bool IsVisible, bool IsOpaque) {
  if (!IsVisible || FParent == nullptr || !FParent->HandleAllocated()) return;
  RECT R{FLeft, FTop, FLeft + FWidth, FTop + FHeight};
  InvalidateRect(FParent->FHandle, &R, IsOpaque ? FALSE : TRUE);
}

void TControl::Update() {
  if (FParent != nullptr) FParent->Update();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::SetZOrder(bool TopMost) {
  if (FParent == nullptr) return;
  auto& L = FParent->FControls;
  auto It = std::find(L.begin(), L.end(), this);
  if (It == L.end()) return;
  L.erase(It);
  if (TopMost)
    L.push_back(this);
  else
    L.insert(L.begin(), this);
  Invalidate();
}

bool TControl::MouseCapture() { return GetCaptureControl() == this; }

void TControl::SetMouseCapture(bool Value) {
  if (MouseCapture() == Value) return;
  SetCaptureControl(Value ? this : nullptr);
}

HDC TControl::GetDeviceContext(HWND& WindowHandle) {
  if (FParent == nullptr)
    throw EInvalidOperation(Format("Control '%s' has no parent window", Name().c_str()));
  HDC DC = FParent->GetDeviceContext(WindowHandle);
  SetViewportOrgEx(DC, FLeft, FTop, nullptr);
  IntersectClipRect(DC, 0, 0, FWidth, FHeight);
  return DC;
}

void TControl::Loaded() {
  TComponent::Loaded();
  UpdateAnchorRules();
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  // The popup menu class derives from TComponent alone, so the addresses compare directly.
  if (Operation == opRemove && static_cast<const void*>(AComponent) == static_cast<const void*>(FPopupMenu))
    FPopupMenu = nullptr;
}

// --- message handling

void TControl::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (Message.Msg == WM_LBUTTONDBLCLK && !FControlStyle.Contains(csDoubleClicks)) Message.Msg = WM_LBUTTONDOWN;
      FControlState.Include(csLButtonDown);
      break;
    case WM_RBUTTONDBLCLK:
      if (!FControlStyle.Contains(csDoubleClicks)) Message.Msg = WM_RBUTTONDOWN;
      break;
    case WM_MBUTTONDBLCLK:
      if (!FControlStyle.Contains(csDoubleClicks)) Message.Msg = WM_MBUTTONDOWN;
      break;
    case WM_LBUTTONUP:
      FControlState.Exclude(csLButtonDown);
      break;
    default:
      break;
  }
  Dispatch(Message);
}

void TControl::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case WM_LBUTTONDOWN: WMLButtonDown(M); break;
    case WM_RBUTTONDOWN: WMRButtonDown(M); break;
    case WM_MBUTTONDOWN: WMMButtonDown(M); break;
    case WM_LBUTTONDBLCLK: WMLButtonDblClk(M); break;
    case WM_RBUTTONDBLCLK: WMRButtonDblClk(M); break;
    case WM_MBUTTONDBLCLK: WMMButtonDblClk(M); break;
    case WM_LBUTTONUP: WMLButtonUp(M); break;
    case WM_RBUTTONUP: WMRButtonUp(M); break;
    case WM_MBUTTONUP: WMMButtonUp(M); break;
    case WM_MOUSEMOVE: WMMouseMove(M); break;
    case WM_MOUSEWHEEL: WMMouseWheel(M); break;
    case WM_CANCELMODE: WMCancelMode(M); break;
    case WM_CONTEXTMENU: WMContextMenu(M); break;
    case WM_WINDOWPOSCHANGED: WMWindowPosChanged(M); break;
    case CM_ENABLEDCHANGED: CMEnabledChanged(M); break;
    case CM_VISIBLECHANGED: CMVisibleChanged(M); break;
    case CM_COLORCHANGED: CMColorChanged(M); break;
    case CM_FONTCHANGED: CMFontChanged(M); break;
    case CM_PARENTCOLORCHANGED: CMParentColorChanged(M); break;
    case CM_PARENTFONTCHANGED: CMParentFontChanged(M); break;
    case CM_PARENTSHOWHINTCHANGED: CMParentShowHintChanged(M); break;
    case CM_TEXTCHANGED: CMTextChanged(M); break;
    case CM_MOUSEENTER: CMMouseEnter(M); break;
    case CM_MOUSELEAVE: CMMouseLeave(M); break;
    case CM_HITTEST: CMHitTest(M); break;
    case CM_MOUSEWHEEL: CMMouseWheel(M); break;
    case CM_HINTSHOW: CMHintShow(M); break;
    default: DefaultHandler(M); break;
  }
}

void TControl::DefaultHandler(TMessage& M) {
  switch (M.Msg) {
    case WM_GETTEXT: {
      auto* Buffer = reinterpret_cast<wchar_t*>(M.LParam);
      const std::size_t Size = M.WParam;
      if (Buffer == nullptr || Size == 0) {
        M.Result = 0;
        break;
      }
      const std::size_t N = std::min(FText.size(), Size - 1);
      std::copy_n(FText.data(), N, Buffer);
      Buffer[N] = L'\0';
      M.Result = static_cast<LRESULT>(N);
      break;
    }
    case WM_GETTEXTLENGTH:
      M.Result = static_cast<LRESULT>(FText.size());
      break;
    case WM_SETTEXT: {
      auto* S = reinterpret_cast<const wchar_t*>(M.LParam);
      FText = S != nullptr ? WideString(S) : WideString();
      M.Result = 1;
      break;
    }
    default:
      break;
  }
}

void TControl::DoMouseDown(TMessage& M, TMouseButton Button, TShiftState Shift) {
  if (FControlStyle.Contains(csNoStdEvents)) return;
  TPoint P = MessagePoint(M.LParam);
  MouseDown(Button, KeysToShiftState(static_cast<WORD>(M.WParam)) + Shift, P.X, P.Y);
}

void TControl::DoMouseUp(TMessage& M, TMouseButton Button) {
  if (FControlStyle.Contains(csNoStdEvents)) return;
  TPoint P = MessagePoint(M.LParam);
  MouseUp(Button, KeysToShiftState(static_cast<WORD>(M.WParam)), P.X, P.Y);
}

void TControl::WMLButtonDown(TMessage& M) {
  DefaultHandler(M);
  if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(true);
  if (FControlStyle.Contains(csClickEvents)) FControlState.Include(csClicked);
  DoMouseDown(M, mbLeft, {});
}

void TControl::WMRButtonDown(TMessage& M) {
  DefaultHandler(M);
  DoMouseDown(M, mbRight, {});
}

void TControl::WMMButtonDown(TMessage& M) {
  DefaultHandler(M);
  DoMouseDown(M, mbMiddle, {});
}

void TControl::WMLButtonDblClk(TMessage& M) {
  DefaultHandler(M);
  if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(true);
  if (FControlStyle.Contains(csClickEvents)) DblClick();
  DoMouseDown(M, mbLeft, {ssDouble});
}

void TControl::WMRButtonDblClk(TMessage& M) {
  DefaultHandler(M);
  DoMouseDown(M, mbRight, {ssDouble});
}

void TControl::WMMButtonDblClk(TMessage& M) {
  DefaultHandler(M);
  DoMouseDown(M, mbMiddle, {ssDouble});
}

void TControl::WMLButtonUp(TMessage& M) {
  DefaultHandler(M);
  if (FControlStyle.Contains(csCaptureMouse)) SetMouseCapture(false);
  if (FControlState.Contains(csClicked)) {
    FControlState.Exclude(csClicked);
    if (ClientRect().Contains(MessagePoint(M.LParam))) Click();
  }
  DoMouseUp(M, mbLeft);
}

void TControl::WMRButtonUp(TMessage& M) {
  DefaultHandler(M);
  DoMouseUp(M, mbRight);
}

void TControl::WMMButtonUp(TMessage& M) {
  DefaultHandler(M);
  DoMouseUp(M, mbMiddle);
}

void TControl::WMMouseMove(TMessage& M) {
  DefaultHandler(M);
  if (FControlStyle.Contains(csNoStdEvents)) return;
  TPoint P = MessagePoint(M.LParam);
  MouseMove(KeysToShiftState(static_cast<WORD>(M.WParam)), P.X, P.Y);
}

void TControl::WMMouseWheel(TMessage& M) {
  MouseWheelHandler(M);
  // Unhandled: the system control beneath (a list, an edit) scrolls in its own way.
  auto* W = dynamic_cast<TWinControl*>(this);
  if (M.Result == 0 && W != nullptr && W->DefWndProc() != DefWindowProcW) DefaultHandler(M);
}

void TControl::MouseWheelHandler(TMessage& M) {
  TCustomForm* Form = GetParentForm(this);
  if (Form != nullptr && Form != this)
    static_cast<TControl*>(Form)->MouseWheelHandler(M);
  else
    M.Result = Perform(CM_MOUSEWHEEL, M.WParam, M.LParam);
}

void TControl::CMMouseWheel(TMessage& M) {
  TShiftState Shift = KeysToShiftState(LOWORD(M.WParam));
  const int Delta = static_cast<short>(HIWORD(M.WParam));
  M.Result = 0;
  if (DoMouseWheel(Shift, Delta, MessagePoint(M.LParam)))
    M.Result = 1;
  else if (FParent != nullptr)
    M.Result = FParent->Perform(CM_MOUSEWHEEL, M.WParam, M.LParam);
}

bool TControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  bool Handled = false;
  if (OnMouseWheel) OnMouseWheel(this, Shift, WheelDelta, MousePos, Handled);
  if (Handled) return true;
  FWheelAccumulator += WheelDelta;
  while (std::abs(FWheelAccumulator) >= WHEEL_DELTA) {
    const bool Down = FWheelAccumulator < 0;
    FWheelAccumulator += Down ? WHEEL_DELTA : -WHEEL_DELTA;
    Handled = Down ? DoMouseWheelDown(Shift, MousePos) : DoMouseWheelUp(Shift, MousePos);
  }
  return Handled;
}

bool TControl::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  bool Handled = false;
  if (OnMouseWheelDown) OnMouseWheelDown(this, Shift, MousePos, Handled);
  return Handled;
}

bool TControl::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  bool Handled = false;
  if (OnMouseWheelUp) OnMouseWheelUp(this, Shift, MousePos, Handled);
  return Handled;
}

void TControl::WMCancelMode(TMessage& M) {
  DefaultHandler(M);
  if (MouseCapture()) {
    SetMouseCapture(false);
    if (FControlState.Contains(csLButtonDown)) Perform(WM_LBUTTONUP, 0, static_cast<LPARAM>(0xFFFFFFFF));
  } else {
    FControlState.Exclude(csLButtonDown);
  }
}

void TControl::DoContextPopup(TPoint MousePos, bool& Handled) {
  if (OnContextPopup) OnContextPopup(this, MousePos, Handled);
}

void TControl::WMContextMenu(TMessage& M) {
  if (M.Result != 0) return;
  TPoint P = MessagePoint(M.LParam);
  const bool FromKeyboard = P.X == -1 && P.Y == -1;
  if (FromKeyboard) P = ClientToScreen(Point(0, 0));
  // A graphic child under the pointer is asked first.
  if (auto* W = dynamic_cast<TWinControl*>(this); W != nullptr && !FromKeyboard) {
    TControl* Child = W->ControlAtPos(ScreenToClient(P), false);
    if (Child != nullptr) {
      M.Result = Child->Perform(WM_CONTEXTMENU, M.WParam, M.LParam);
      if (M.Result != 0) return;
    }
  }
  bool Handled = false;
  DoContextPopup(ScreenToClient(P), Handled);
  if (Handled) {
    M.Result = 1;
    return;
  }
  if (FPopupMenu != nullptr && MenuHooks.PopupAt != nullptr) {
    MenuHooks.PopupAt(FPopupMenu, this, P.X, P.Y);
    M.Result = 1;
    return;
  }
  DefaultHandler(M);
}

void TControl::WMWindowPosChanged(TMessage& M) { DefaultHandler(M); }

void TControl::CMEnabledChanged(TMessage& M) { Invalidate(); }

void TControl::CMVisibleChanged(TMessage& M) { InvalidateControl(true, FVisible && FControlStyle.Contains(csOpaque)); }

void TControl::CMColorChanged(TMessage& M) { Invalidate(); }

void TControl::CMFontChanged(TMessage& M) { Invalidate(); }

void TControl::CMParentColorChanged(TMessage& M) {
  if (!FParentColor || FParent == nullptr) return;
  SetColor(FParent->Color());
  FParentColor = true;
}

void TControl::CMParentFontChanged(TMessage& M) {
  if (FParentFont) SetParentFontValue(true, true);
}

void TControl::CMParentShowHintChanged(TMessage& M) {
  if (!FParentShowHint || FParent == nullptr) return;
  const bool Value = FParent->ShowHint();
  if (FShowHint != Value) {
    FShowHint = Value;
    if (auto* W = dynamic_cast<TWinControl*>(this)) W->NotifyControls(CM_PARENTSHOWHINTCHANGED);
  }
}

void TControl::CMTextChanged(TMessage& M) { Invalidate(); }
void TControl::CMMouseEnter(TMessage& M) {}
void TControl::CMMouseLeave(TMessage& M) {}
void TControl::CMHitTest(TMessage& M) { M.Result = HTCLIENT; }
void TControl::CMHintShow(TMessage& M) { M.Result = 0; }

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

// ---------------------------------------------------------------------------------------------
// The window procedure of every framework window

LRESULT CALLBACK ControlWindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TWinControl* Control = FindControl(Window);
  if (Control == nullptr) {
    Control = CreationControl;
    if (Control == nullptr) return DefWindowProcW(Window, Msg, WParam, LParam);
    CreationControl = nullptr;
    Control->Bind(Window);
  }
  TMessage M{Msg, WParam, LParam, 0};
  try {
    Control->RunWindowProc(M);
  } catch (...) {
    // Exceptions never cross the system's window procedure boundary.
    if (Application != nullptr) {
      try {
        Application->HandleException(Control);
      } catch (...) {
      }
    }
  }
  // The window is gone: the control forgets it (unless the control itself went away meanwhile).
  if (Msg == WM_NCDESTROY && FindControl(Window) == Control) Control->Unbind();
  return M.Result;
}

// ---------------------------------------------------------------------------------------------
// TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {
  FBrush = std::make_unique<TBrush>();
  FBrush->SetColor(FColor);
}

TWinControl* TWinControl::CreateParented(HWND ParentWindow) {
  auto* C = new TWinControl(nullptr);
  C->FParentWindow = ParentWindow;
  return C;
}

TWinControl::~TWinControl() {
  Destroying();
  if (Screen != nullptr) Screen->ControlDestroying(this);
  DestroyComponents();
  if (FParent != nullptr) {
    if (TCustomForm* Form = GetParentForm(this)) Form->DefocusControl(this, true);
  }
  DestroyHandle();
  // Child controls owned elsewhere go with their parent.
  while (!FControls.empty()) {
    TControl* C = FControls.back();
    delete C;
    if (!FControls.empty() && FControls.back() == C) FControls.pop_back();
  }
  // Leave the parent while still a windowed control.
  if (FParent != nullptr) FParent->RemoveControl(this);
}

void TWinControl::Bind(HWND Window) {
  FHandle = Window;
  SetPropW(Window, ControlProp(), this);
}

void TWinControl::Unbind() {
  if (FHandle == nullptr) return;
  RemovePropW(FHandle, ControlProp());
  TControlCanvas::FreeDeviceContexts(FHandle);
  FHandle = nullptr;
  FShowing = false;
  FTrackingMouse = false;
  FMouseInside = false;
  FMouseControl = nullptr;
}

HWND TWinControl::Handle() {
  HandleNeeded();
  return FHandle;
}

void TWinControl::HandleNeeded() {
  if (FHandle != nullptr) return;
  if (FParent != nullptr) FParent->HandleNeeded();
  CreateHandle();
}

void TWinControl::CreateHandle() {
  if (FHandle != nullptr) return;
  CreateWnd();
  // Take the control's place among its siblings in the z-order.
  if (FParent != nullptr && FHandle != nullptr) {
    auto& L = FParent->FControls;
    auto It = std::find(L.begin(), L.end(), this);
    for (++It; It != L.end(); ++It) {
      auto* W = dynamic_cast<TWinControl*>(*It);
      if (W != nullptr && W->FHandle != nullptr) {
        HWND Above = GetWindow(W->FHandle, GW_HWNDPREV);
        SetWindowPos(FHandle, Above != nullptr ? Above : HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        break;
      }
    }
  }
}

void TWinControl::CreateParams(TCreateParams& Params) {
  Params.Caption = FText;
  Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (FControlStyle.Contains(csAcceptsControls)) Params.Style |= WS_CLIPCHILDREN;
  if (FTabStop) Params.Style |= WS_TABSTOP;
  if (!Enabled()) Params.Style |= WS_DISABLED;
  Params.X = Left();
  Params.Y = Top();
  Params.Width = Width();
  Params.Height = Height();
  Params.WndParent = FParent != nullptr ? FParent->Handle() : FParentWindow;
  Params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  Params.WindowClass.lpfnWndProc = DefWindowProcW;
  Params.WindowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  Params.WindowClass.hbrBackground = nullptr;
  Params.WinClassName = AnsiToWide(ClassName());
}

void TWinControl::CreateSubClass(TCreateParams& Params, const wchar_t* ControlClassName) {
  WNDCLASSEXW Info{};
  Info.cbSize = sizeof(Info);
  if (!GetClassInfoExW(nullptr, ControlClassName, &Info) && !GetClassInfoExW(ModuleInstance(), ControlClassName, &Info))
    throw EOSError(Format("Window class %s does not exist", WideToAnsi(ControlClassName).c_str()));
  Params.WindowClass.style = Info.style & ~(CS_OWNDC | CS_CLASSDC | CS_PARENTDC | CS_GLOBALCLASS);
  Params.WindowClass.lpfnWndProc = Info.lpfnWndProc;
  Params.WindowClass.cbClsExtra = Info.cbClsExtra;
  Params.WindowClass.cbWndExtra = Info.cbWndExtra;
  Params.WindowClass.hCursor = Info.hCursor;
  Params.WindowClass.hbrBackground = Info.hbrBackground;
  Params.WindowClass.hIcon = Info.hIcon;
}

namespace {

void RegisterControlClass(const TCreateParams& Params) {
  HINSTANCE Instance = ModuleInstance();
  WNDCLASSEXW Existing{};
  Existing.cbSize = sizeof(Existing);
  if (GetClassInfoExW(Instance, Params.WinClassName.c_str(), &Existing)) {
    if (Existing.lpfnWndProc == ControlWindowProc) return;
    UnregisterClassW(Params.WinClassName.c_str(), Instance);
  }
  WNDCLASSEXW WC = Params.WindowClass;
  WC.cbSize = sizeof(WC);
  WC.lpfnWndProc = ControlWindowProc;
  WC.hInstance = Instance;
  WC.lpszClassName = Params.WinClassName.c_str();
  if (RegisterClassExW(&WC) == 0)
    throw EOSError(Format("Cannot register the window class %s", WideToAnsi(Params.WinClassName).c_str()));
}

}  // namespace

void TWinControl::CreateWnd() {
  TCreateParams Params;
  CreateParams(Params);
  if ((Params.Style & WS_CHILD) && Params.WndParent == nullptr)
    throw EInvalidOperation(Format("Control '%s' has no parent window", Name().c_str()));
  FDefWndProc = Params.WindowClass.lpfnWndProc != nullptr ? Params.WindowClass.lpfnWndProc : DefWindowProcW;
  RegisterControlClass(Params);
  FControlState.Include(csCreating);
  try {
    CreateWindowHandle(Params);
  } catch (...) {
    FControlState.Exclude(csCreating);
    throw;
  }
  FControlState.Exclude(csCreating);
  if (FHandle == nullptr)
    throw EOSError(Format("Error creating window of class %s (%u)", WideToAnsi(Params.WinClassName).c_str(),
                          static_cast<unsigned>(GetLastError())));
  UpdateBounds();
  Perform(WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), 1);
}

void TWinControl::CreateWindowHandle(const TCreateParams& Params) {
  HMENU Id = nullptr;
  if (Params.Style & WS_CHILD) {
    NextChildId = NextChildId % 0xFF00 + 1;
    Id = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(NextChildId));
  }
  CreationControl = this;
  HWND Window = CreateWindowExW(Params.ExStyle, Params.WinClassName.c_str(), Params.Caption.c_str(), Params.Style,
                                Params.X, Params.Y, Params.Width, Params.Height, Params.WndParent, Id,
                                ModuleInstance(), Params.Param);
  CreationControl = nullptr;
  if (Window != nullptr && FHandle == nullptr) Bind(Window);
}

void TWinControl::DestroyWnd() {
  if (!IsDestroying()) FText = Text();
  DestroyWindowHandle();
}

void TWinControl::DestroyWindowHandle() {
  if (FHandle == nullptr) return;
  FControlState.Include(csDestroyingHandle);
  HWND Window = FHandle;
  DestroyWindow(Window);
  FControlState.Exclude(csDestroyingHandle);
  if (FHandle != nullptr) Unbind();
}

void TWinControl::DestroyHandle() {
  if (FHandle == nullptr) return;
  for (TControl* C : std::vector<TControl*>(FControls))
    if (auto* W = dynamic_cast<TWinControl*>(C)) W->DestroyHandle();
  DestroyWnd();
}

void TWinControl::RecreateWnd() {
  if (FHandle != nullptr) Perform(CM_RECREATEWND, 0, 0);
}

void TWinControl::CMRecreateWnd(TMessage& M) {
  const bool WasFocused = Focused();
  FControlState.Include(csRecreating);
  try {
    DestroyHandle();
    UpdateControlState();
  } catch (...) {
    FControlState.Exclude(csRecreating);
    throw;
  }
  FControlState.Exclude(csRecreating);
  if (WasFocused && FHandle != nullptr) ::SetFocus(FHandle);
}

void TWinControl::SetParentWindow(HWND Value) {
  if (FParentWindow == Value) return;
  FParentWindow = Value;
  if (FParent == nullptr && FHandle != nullptr) {
    if (Value != nullptr)
      ::SetParent(FHandle, Value);
    else
      DestroyHandle();
  }
  UpdateControlState();
}

void TWinControl::SetParent(TWinControl* AParent) {
  if (FParent == AParent) return;
  TControl::SetParent(AParent);
}

DWORD TWinControl::WindowStyle() {
  if (FHandle != nullptr) return static_cast<DWORD>(GetWindowLongW(FHandle, GWL_STYLE));
  return 0;
}

// --- showing

void TWinControl::UpdateShowing() {
  bool ParentShows;
  if (FParent != nullptr)
    ParentShows = FParent->FShowing;
  else
    ParentShows = FParentWindow != nullptr || dynamic_cast<TCustomForm*>(this) != nullptr;
  const bool ShowControl = FVisible && ParentShows;
  if (ShowControl && FHandle == nullptr) CreateHandle();
  if (FHandle == nullptr) {
    FShowing = false;
    return;
  }
  const bool Changed = FShowing != ShowControl;
  FShowing = ShowControl;
  std::vector<TControl*> Children(FControls);
  if (ShowControl) {
    for (TControl* C : Children)
      if (auto* W = dynamic_cast<TWinControl*>(C)) W->UpdateShowing();
    if (Changed) Perform(CM_SHOWINGCHANGED, 0, 0);
  } else {
    if (Changed) Perform(CM_SHOWINGCHANGED, 0, 0);
    for (TControl* C : Children)
      if (auto* W = dynamic_cast<TWinControl*>(C)) W->UpdateShowing();
  }
}

void TWinControl::UpdateControlState() {
  if (IsDestroying()) return;
  UpdateShowing();
}

void TWinControl::CMShowingChanged(TMessage& M) {
  if (FHandle == nullptr) return;
  SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE |
                   (FShowing ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void TWinControl::CMVisibleChanged(TMessage& M) {
  if (!FVisible && FParent != nullptr) {
    if (TCustomForm* Form = GetParentForm(this)) Form->DefocusControl(this, false);
  }
  UpdateControlState();
}

void TWinControl::CMEnabledChanged(TMessage& M) {
  if (!Enabled() && FParent != nullptr) {
    if (TCustomForm* Form = GetParentForm(this)) Form->DefocusControl(this, false);
  }
  if (FHandle != nullptr) EnableWindow(FHandle, Enabled() ? TRUE : FALSE);
  TControl::CMEnabledChanged(M);
}

void TWinControl::CMColorChanged(TMessage& M) {
  FBrush->SetColor(FColor);
  NotifyControls(CM_PARENTCOLORCHANGED);
  TControl::CMColorChanged(M);
}

void TWinControl::CMFontChanged(TMessage& M) {
  if (FHandle != nullptr) Perform(WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), 0);
  NotifyControls(CM_PARENTFONTCHANGED);
  TControl::CMFontChanged(M);
}

void TWinControl::CMTextChanged(TMessage& M) {}

// --- bounds

void TWinControl::UpdateBounds() {
  if (FHandle == nullptr) return;
  RECT R;
  if (IsIconic(FHandle) && !(GetWindowLongW(FHandle, GWL_STYLE) & WS_CHILD)) {
    WINDOWPLACEMENT WP{};
    WP.length = sizeof(WP);
    GetWindowPlacement(FHandle, &WP);
    R = WP.rcNormalPosition;
  } else {
    GetWindowRect(FHandle, &R);
    if (GetWindowLongW(FHandle, GWL_STYLE) & WS_CHILD)
      MapWindowPoints(HWND_DESKTOP, GetParent(FHandle), reinterpret_cast<POINT*>(&R), 2);
  }
  const bool Resized = R.right - R.left != Width() || R.bottom - R.top != Height();
  const bool Moved = R.left != Left() || R.top != Top();
  if (!Resized && !Moved) return;
  SetBoundsFields(R.left, R.top, R.right - R.left, R.bottom - R.top);
  UpdateAnchorRules();
  if (!FAnchorMove) RequestAlign();
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  if (ALeft == Left() && ATop == Top() && AWidth == Width() && AHeight == Height()) return;
  if (FHandle != nullptr && !IsIconic(FHandle)) {
    // The window reports the new bounds back (WM_WINDOWPOSCHANGED, WM_SIZE).
    SetWindowPos(FHandle, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  const bool Resized = AWidth != Width() || AHeight != Height();
  SetBoundsFields(ALeft, ATop, AWidth, AHeight);
  if (FHandle != nullptr) {
    WINDOWPLACEMENT WP{};
    WP.length = sizeof(WP);
    GetWindowPlacement(FHandle, &WP);
    WP.rcNormalPosition = RECT{ALeft, ATop, ALeft + AWidth, ATop + AHeight};
    SetWindowPlacement(FHandle, &WP);
  }
  UpdateAnchorRules();
  if (!FAnchorMove) RequestAlign();
  if (Resized) {
    Realign();
    if (!IsLoading()) Resize();
  }
}

TRect TWinControl::ClientRect() {
  if (FHandle != nullptr) {
    RECT R;
    GetClientRect(FHandle, &R);
    return Rect(R.left, R.top, R.right, R.bottom);
  }
  return TControl::ClientRect();
}

TPoint TWinControl::ClientOrigin() {
  if (FHandle != nullptr) {
    POINT P{0, 0};
    ::ClientToScreen(FHandle, &P);
    return Point(P.x, P.y);
  }
  return TControl::ClientOrigin();
}

void TWinControl::SetClientSize(int AWidth, int AHeight) {
  TRect CR = ClientRect();
  SetBounds(Left(), Top(), Width() + AWidth - CR.Width(), Height() + AHeight - CR.Height());
}

void TWinControl::WMWindowPosChanged(TMessage& M) {
  if (!FControlState.Contains(csDestroyingHandle)) UpdateBounds();
  DefaultHandler(M);
}

void TWinControl::WMSize(TMessage& M) {
  UpdateBounds();
  DefaultHandler(M);
  if (M.WParam == SIZE_MINIMIZED) return;
  Realign();
  if (!IsLoading()) Resize();
}

void TWinControl::WMMove(TMessage& M) {
  UpdateBounds();
  DefaultHandler(M);
}

// --- children

TControl* TWinControl::Controls(int Index) const {
  if (static_cast<unsigned>(Index) >= FControls.size())
    throw EListError(Format("List index out of bounds (%d)", Index));
  return FControls[static_cast<unsigned>(Index)];
}

bool TWinControl::ContainsControl(TControl* Control) const {
  while (Control != nullptr && Control != this) Control = Control->Parent();
  return Control != nullptr;
}

TControl* TWinControl::ControlAtPos(TPoint P, bool AllowDisabled, bool AllowWinControls) {
  for (auto It = FControls.rbegin(); It != FControls.rend(); ++It) {
    TControl* C = *It;
    if (!AllowWinControls && IsWindowed(C)) continue;
    if (!C->Visible() || (!C->Enabled() && !AllowDisabled)) continue;
    if (!C->BoundsRect().Contains(P)) continue;
    if (C->Perform(CM_HITTEST, 0, MAKELPARAM(P.X - C->Left(), P.Y - C->Top())) == 0) continue;
    return C;
  }
  return nullptr;
}

void TWinControl::InsertTabControl(TWinControl* AControl) { FTabList.push_back(AControl); }

void TWinControl::InsertControl(TControl* AControl) {
  if (AControl == nullptr || AControl->FParent == this) return;
  FControls.push_back(AControl);
  auto* W = dynamic_cast<TWinControl*>(AControl);
  if (W != nullptr) InsertTabControl(W);
  AControl->FParent = this;
  if (!AControl->ComponentState().Contains(csReading)) {
    AControl->Perform(CM_PARENTCOLORCHANGED, 0, 0);
    AControl->Perform(CM_PARENTFONTCHANGED, 0, 0);
    AControl->Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
  }
  AControl->UpdateAnchorRules();
  if (W != nullptr)
    W->UpdateControlState();
  else
    AControl->Invalidate();
  AlignControl(AControl);
  // After the insertion, so that the control has its parent (and its window when it shows).
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(AControl), 1);
}

void TWinControl::RemoveControl(TControl* AControl) {
  if (AControl == nullptr || AControl->FParent != this) return;
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(AControl), 0);
  auto* W = dynamic_cast<TWinControl*>(AControl);
  if (W != nullptr) {
    if (TCustomForm* Form = GetParentForm(this)) Form->DefocusControl(W, true);
    W->DestroyHandle();
  } else {
    AControl->InvalidateControl(AControl->Visible(), false);
  }
  if (FMouseControl == AControl) FMouseControl = nullptr;
  if (CaptureControlPtr == AControl) {
    CaptureControlPtr = nullptr;
    ReleaseCapture();
  }
  FControls.erase(std::remove(FControls.begin(), FControls.end(), AControl), FControls.end());
  FTabList.erase(std::remove_if(FTabList.begin(), FTabList.end(),
                                [AControl](TWinControl* C) { return static_cast<TControl*>(C) == AControl; }),
                 FTabList.end());
  AControl->FParent = nullptr;
  AControl->FAnchorRulesValid = false;
  if (!IsDestroying()) Realign();
}

void TWinControl::Broadcast(TMessage& Message) {
  for (TControl* C : std::vector<TControl*>(FControls)) {
    C->RunWindowProc(Message);
    if (Message.Result != 0) return;
  }
}

void TWinControl::NotifyControls(UINT Msg, WPARAM WParam, LPARAM LParam) {
  for (TControl* C : std::vector<TControl*>(FControls)) C->Perform(Msg, WParam, LParam);
}

void TWinControl::CMControlListChange(TMessage& M) {
  if (FParent != nullptr) M.Result = FParent->Perform(M.Msg, M.WParam, M.LParam);
}

// --- alignment

void TWinControl::DisableAlign() { ++FAlignLevel; }

void TWinControl::EnableAlign() {
  if (FAlignLevel > 0) --FAlignLevel;
  if (FAlignLevel == 0 && !IsDestroying() && FControlState.Contains(csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() { AlignControl(nullptr); }

void TWinControl::AlignControl(TControl* AControl) {
  if (IsDestroying()) return;
  if (FAlignLevel != 0 || IsLoading()) {
    FControlState.Include(csAlignmentNeeded);
    return;
  }
  DisableAlign();
  try {
    TRect R = ClientRect();
    AlignControls(AControl, R);
  } catch (...) {
    FControlState.Exclude(csAlignmentNeeded);
    EnableAlign();
    throw;
  }
  FControlState.Exclude(csAlignmentNeeded);
  EnableAlign();
}

void TWinControl::AdjustClientRect(TRect& Rect) {}

namespace {

// Whether C1 goes before C2 among the controls of one alignment (placed nearer to the edge).
bool AlignsBefore(TControl* C1, TControl* C2, TAlign A) {
  switch (A) {
    case alTop: return C1->Top() < C2->Top();
    case alBottom: return C1->Top() + C1->Height() > C2->Top() + C2->Height();
    case alLeft: return C1->Left() < C2->Left();
    case alRight: return C1->Left() + C1->Width() > C2->Left() + C2->Width();
    default: return false;
  }
}

}  // namespace

void TWinControl::DoAlign(TAlign A, TControl* AControl, TRect& R) {
  std::vector<TControl*> List;
  if (AControl != nullptr && AControl->FAlign == A && AControl->Visible()) List.push_back(AControl);
  for (TControl* C : FControls) {
    if (C == AControl || C->FAlign != A || !C->Visible()) continue;
    auto Pos = std::find_if(List.begin(), List.end(), [&](TControl* X) { return AlignsBefore(C, X, A); });
    List.insert(Pos, C);
  }
  for (TControl* C : List) {
    C->FAnchorMove = true;
    try {
      switch (A) {
        case alTop:
          C->SetBounds(R.Left, R.Top, R.Width(), C->Height());
          R.Top += C->Height();
          break;
        case alBottom:
          C->SetBounds(R.Left, R.Bottom - C->Height(), R.Width(), C->Height());
          R.Bottom -= C->Height();
          break;
        case alLeft:
          C->SetBounds(R.Left, R.Top, C->Width(), R.Height());
          R.Left += C->Width();
          break;
        case alRight:
          C->SetBounds(R.Right - C->Width(), R.Top, C->Width(), R.Height());
          R.Right -= C->Width();
          break;
        case alClient:
          C->SetBounds(R.Left, R.Top, R.Width(), R.Height());
          break;
        default:
          break;
      }
    } catch (...) {
      C->FAnchorMove = false;
      throw;
    }
    C->FAnchorMove = false;
  }
}

void TWinControl::ApplyAnchors() {
  TRect PR = ClientRect();
  for (TControl* C : std::vector<TControl*>(FControls)) {
    if (C->FAlign != alNone || C->FAnchors == AnchorsDefault || !C->FAnchorRulesValid || C->IsLoading()) continue;
    const TRect& B = C->FAnchorBounds;
    const TSize& Old = C->FAnchorParentSize;
    int L = B.Left, T = B.Top, W = B.Width(), H = B.Height();
    const int DW = PR.Width() - Old.cx, DH = PR.Height() - Old.cy;
    if (C->FAnchors.Contains(akRight)) {
      if (C->FAnchors.Contains(akLeft))
        W = std::max(B.Width() + DW, 0);
      else
        L = B.Left + DW;
    } else if (!C->FAnchors.Contains(akLeft) && Old.cx > 0) {
      L = MulDiv(B.Left + B.Width() / 2, PR.Width(), Old.cx) - B.Width() / 2;
    }
    if (C->FAnchors.Contains(akBottom)) {
      if (C->FAnchors.Contains(akTop))
        H = std::max(B.Height() + DH, 0);
      else
        T = B.Top + DH;
    } else if (!C->FAnchors.Contains(akTop) && Old.cy > 0) {
      T = MulDiv(B.Top + B.Height() / 2, PR.Height(), Old.cy) - B.Height() / 2;
    }
    C->FAnchorMove = true;
    try {
      C->SetBounds(L, T, W, H);
    } catch (...) {
      C->FAnchorMove = false;
      throw;
    }
    C->FAnchorMove = false;
  }
}

void TWinControl::AlignControls(TControl* AControl, TRect& Rect) {
  AdjustClientRect(Rect);
  DoAlign(alTop, AControl, Rect);
  DoAlign(alBottom, AControl, Rect);
  DoAlign(alLeft, AControl, Rect);
  DoAlign(alRight, AControl, Rect);
  DoAlign(alClient, AControl, Rect);
  ApplyAnchors();
}

void TWinControl::Loaded() {
  TControl::Loaded();
  Realign();
}

void TWinControl::Notification(TComponent* AComponent, TOperation Operation) {
  TControl::Notification(AComponent, Operation);
}

// --- z-order

void TWinControl::SetZOrder(bool TopMost) {
  if (FParent != nullptr) {
    auto& L = FParent->FControls;
    auto It = std::find(L.begin(), L.end(), this);
    if (It != L.end()) {
      L.erase(It);
      if (TopMost)
        L.push_back(this);
      else
        L.insert(L.begin(), this);
    }
  }
  if (FHandle != nullptr) {
    UINT Flags = SWP_NOMOVE | SWP_NOSIZE;
    if (FParent != nullptr) Flags |= SWP_NOACTIVATE;
    SetWindowPos(FHandle, TopMost ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0, Flags);
  }
}

// --- focus and tab order

void TWinControl::SetTabStop(bool Value) {
  if (FTabStop == Value) return;
  FTabStop = Value;
  if (FHandle != nullptr) {
    LONG Style = GetWindowLongW(FHandle, GWL_STYLE);
    SetWindowLongW(FHandle, GWL_STYLE, Value ? (Style | WS_TABSTOP) : (Style & ~WS_TABSTOP));
  }
  Perform(CM_TABSTOPCHANGED, 0, 0);
}

int TWinControl::TabOrder() const {
  if (FParent == nullptr) return -1;
  const auto& L = FParent->FTabList;
  auto It = std::find(L.begin(), L.end(), this);
  return It == L.end() ? -1 : static_cast<int>(It - L.begin());
}

void TWinControl::SetTabOrder(int Value) {
  if (FParent == nullptr) return;
  auto& L = FParent->FTabList;
  auto It = std::find(L.begin(), L.end(), this);
  if (It == L.end()) return;
  L.erase(It);
  Value = std::clamp(Value, 0, static_cast<int>(L.size()));
  L.insert(L.begin() + Value, this);
}

bool TWinControl::CanFocus() {
  TCustomForm* Form = GetParentForm(this);
  if (Form == nullptr) return false;
  for (TControl* C = this; C != Form; C = C->Parent())
    if (!C->Visible() || !C->Enabled()) return false;
  return true;
}

bool TWinControl::Focused() { return FHandle != nullptr && GetFocus() == FHandle; }

void TWinControl::SetFocus() {
  if (TCustomForm* Form = GetParentForm(this)) {
    Form->FocusControl(this);
    return;
  }
  if (FParentWindow != nullptr || FParent != nullptr) {
    ::SetFocus(Handle());
    return;
  }
  throw EInvalidOperation("Cannot focus a disabled or invisible window");
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) {
  for (TWinControl* C : FTabList) {
    List.push_back(C);
    C->GetTabOrderList(List);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop,
                                          bool CheckParent) {
  std::vector<TWinControl*> List;
  GetTabOrderList(List);
  if (List.empty()) return nullptr;
  const int N = static_cast<int>(List.size());
  auto It = std::find(List.begin(), List.end(), CurControl);
  int Start = It != List.end() ? static_cast<int>(It - List.begin()) : (GoForward ? N - 1 : 0);
  int I = Start;
  do {
    I = GoForward ? (I + 1) % N : (I + N - 1) % N;
    TWinControl* C = List[static_cast<unsigned>(I)];
    if (C != CurControl && C->CanFocus() && (!CheckTabStop || C->TabStop()) && (!CheckParent || C->FParent == this))
      return C;
  } while (I != Start);
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
  TWinControl* C = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop);
  if (C != nullptr) C->SetFocus();
}

void TWinControl::WMSetFocus(TMessage& M) { DefaultHandler(M); }
void TWinControl::WMKillFocus(TMessage& M) { DefaultHandler(M); }

void TWinControl::CMEnter(TMessage& M) { DoEnter(); }
void TWinControl::CMExit(TMessage& M) { DoExit(); }

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

void TWinControl::CMFocusChanged(TMessage& M) { Broadcast(M); }
void TWinControl::CMDialogKey(TMessage& M) { Broadcast(M); }
void TWinControl::CMDialogChar(TMessage& M) { Broadcast(M); }

// --- message handling

void TWinControl::TrackMouse() {
  if (FTrackingMouse || FHandle == nullptr) return;
  TRACKMOUSEEVENT T{};
  T.cbSize = sizeof(T);
  T.dwFlags = TME_LEAVE;
  T.hwndTrack = FHandle;
  FTrackingMouse = TrackMouseEvent(&T) != FALSE;
}

void TWinControl::SetMouseInControl(TControl* Control) {
  if (Control == FMouseControl) return;
  TControl* Old = FMouseControl;
  FMouseControl = Control;
  if (Old != nullptr) Old->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(Old));
  if (Control != nullptr) Control->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(Control));
}

bool TWinControl::IsControlMouseMsg(TMessage& M) {
  TControl* C = nullptr;
  if (CaptureControlPtr != nullptr && CaptureControlPtr->Parent() == this && GetCapture() == FHandle)
    C = CaptureControlPtr;
  else
    C = ControlAtPos(MessagePoint(M.LParam), false);
  if (C == nullptr) return false;
  TPoint P = MessagePoint(M.LParam);
  M.Result = C->Perform(M.Msg, M.WParam, MAKELPARAM(P.X - C->Left(), P.Y - C->Top()));
  return true;
}

void TWinControl::WndProc(TMessage& M) {
  switch (M.Msg) {
    case WM_SETFOCUS: {
      TCustomForm* Form = GetParentForm(this);
      if (Form != nullptr && !Form->SetFocusedControl(this)) return;
      break;
    }
    case WM_KILLFOCUS:
      if (FControlState.Contains(csFocusing)) return;
      break;
    case WM_MOUSEMOVE: {
      if (!FMouseInside) {
        FMouseInside = true;
        TrackMouse();
        Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(this));
      } else {
        TrackMouse();
      }
      TControl* Inner = ControlAtPos(MessagePoint(M.LParam), false);
      SetMouseInControl(Inner);
      [[fallthrough]];
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      if (IsControlMouseMsg(M)) {
        if (M.Result == 0 && FHandle != nullptr) DefWindowProcW(FHandle, M.Msg, M.WParam, M.LParam);
        return;
      }
      break;
    default:
      break;
  }
  TControl::WndProc(M);
}

void TWinControl::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case WM_PAINT: WMPaint(M); break;
    case WM_ERASEBKGND: WMEraseBkgnd(M); break;
    case WM_SIZE: WMSize(M); break;
    case WM_MOVE: WMMove(M); break;
    case WM_SETFOCUS: WMSetFocus(M); break;
    case WM_KILLFOCUS: WMKillFocus(M); break;
    case WM_KEYDOWN: WMKeyDown(M); break;
    case WM_KEYUP: WMKeyUp(M); break;
    case WM_SYSKEYDOWN: WMSysKeyDown(M); break;
    case WM_SYSKEYUP: WMSysKeyUp(M); break;
    case WM_CHAR: WMChar(M); break;
    case WM_SYSCHAR: WMSysChar(M); break;
    case CN_KEYDOWN: CNKeyDown(M); break;
    case CN_KEYUP: CNKeyUp(M); break;
    case CN_CHAR: CNChar(M); break;
    case CN_SYSKEYDOWN: CNSysKeyDown(M); break;
    case CN_SYSCHAR: CNSysChar(M); break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      WMChildNotify(M);
      break;
    case CN_CTLCOLORMSGBOX:
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORDLG:
    case CN_CTLCOLORSCROLLBAR:
    case CN_CTLCOLORSTATIC:
      CNCtlColor(M);
      break;
    case WM_SETCURSOR: WMSetCursor(M); break;
    case WM_MOUSELEAVE: WMMouseLeave(M); break;
    case WM_NCDESTROY: WMNCDestroy(M); break;
    case CM_SHOWINGCHANGED: CMShowingChanged(M); break;
    case CM_DIALOGKEY: CMDialogKey(M); break;
    case CM_DIALOGCHAR: CMDialogChar(M); break;
    case CM_FOCUSCHANGED: CMFocusChanged(M); break;
    case CM_ENTER: CMEnter(M); break;
    case CM_EXIT: CMExit(M); break;
    case CM_CONTROLLISTCHANGE: CMControlListChange(M); break;
    case CM_INVALIDATE: CMInvalidate(M); break;
    case CM_RECREATEWND: CMRecreateWnd(M); break;
    default: TControl::Dispatch(M); break;
  }
}

void TWinControl::DefaultHandler(TMessage& M) {
  if (FHandle != nullptr)
    M.Result = ::CallWindowProcW(FDefWndProc, FHandle, M.Msg, M.WParam, M.LParam);
  else
    TControl::DefaultHandler(M);
}

void TWinControl::WMNCDestroy(TMessage& M) { DefaultHandler(M); }

void TWinControl::WMMouseLeave(TMessage& M) {
  FTrackingMouse = false;
  SetMouseInControl(nullptr);
  if (FMouseInside) {
    FMouseInside = false;
    Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(this));
  }
  DefaultHandler(M);
}

void TWinControl::WMSetCursor(TMessage& M) {
  if (LOWORD(M.LParam) == HTCLIENT && reinterpret_cast<HWND>(M.WParam) == FHandle && Screen != nullptr) {
    TCursor Cur = Screen->Cursor();
    if (Cur == crDefault) {
      POINT P;
      GetCursorPos(&P);
      TControl* C = ControlAtPos(ScreenToClient(Point(P.x, P.y)), false);
      if (C != nullptr) Cur = C->Cursor();
      if (Cur == crDefault) Cur = Cursor();
    }
    if (Cur != crDefault) {
      ::SetCursor(Screen->Cursors(Cur));
      M.Result = 1;
      return;
    }
  }
  DefaultHandler(M);
}

// --- keyboard

namespace {

// The course of a key message through a control: the form the control sits on gets the message
// first when it previews keys (Step, on the form); then, unless the control has no standard
// events, Handle gets the message's key, and a key it sets to 0 consumes the message while
// another one goes back into it. Answers whether the message is consumed.
template <class TKey, class THandle>
bool RouteKey(TWinControl* Control, TMessage& M, bool (TWinControl::*Step)(TMessage&), THandle Handle) {
  TCustomForm* Form = GetParentForm(Control);
  if (Form != nullptr && Form != Control && Form->KeyPreview() && (static_cast<TWinControl*>(Form)->*Step)(M))
    return true;
  if (Control->ControlStyle().Contains(csNoStdEvents)) return false;
  TKey Key = static_cast<TKey>(M.WParam);
  Handle(Key);
  if (Key == 0) return true;
  M.WParam = static_cast<WPARAM>(Key);
  return false;
}

}  // namespace

bool TWinControl::DoKeyDown(TMessage& M) {
  return RouteKey<Word>(this, M, &TWinControl::DoKeyDown,
                        [&](Word& Key) { KeyDown(Key, KeyDataToShiftState(M.LParam)); });
}

bool TWinControl::DoKeyUp(TMessage& M) {
  return RouteKey<Word>(this, M, &TWinControl::DoKeyUp,
                        [&](Word& Key) { KeyUp(Key, KeyDataToShiftState(M.LParam)); });
}

bool TWinControl::DoKeyPress(TMessage& M) {
  return RouteKey<wchar_t>(this, M, &TWinControl::DoKeyPress, [&](wchar_t& Key) { KeyPress(Key); });
}

void TWinControl::KeyDown(Word& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(Word& Key, TShiftState Shift) {
  if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(wchar_t& Key) {
  if (OnKeyPress) OnKeyPress(this, Key);
}

void TWinControl::WMKeyDown(TMessage& M) {
  if (!DoKeyDown(M)) DefaultHandler(M);
}

void TWinControl::WMSysKeyDown(TMessage& M) {
  if (!DoKeyDown(M)) DefaultHandler(M);
}

void TWinControl::WMKeyUp(TMessage& M) {
  if (!DoKeyUp(M)) DefaultHandler(M);
}

void TWinControl::WMSysKeyUp(TMessage& M) {
  if (!DoKeyUp(M)) DefaultHandler(M);
}

void TWinControl::WMChar(TMessage& M) {
  if (!DoKeyPress(M)) DefaultHandler(M);
}

void TWinControl::WMSysChar(TMessage& M) { DefaultHandler(M); }

void TWinControl::CNKeyDown(TMessage& M) {
  M.Result = 1;
  UINT Mask = 0;
  switch (M.WParam) {
    case VK_TAB: Mask = DLGC_WANTTAB; break;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: Mask = DLGC_WANTARROWS; break;
    case VK_RETURN:
    case VK_EXECUTE:
    case VK_ESCAPE:
    case VK_CANCEL: Mask = DLGC_WANTALLKEYS; break;
    default: break;
  }
  if (Mask != 0 && Perform(CM_WANTSPECIALKEY, M.WParam, M.LParam) == 0 &&
      (static_cast<UINT>(Perform(WM_GETDLGCODE, 0, 0)) & Mask) == 0) {
    TCustomForm* Form = GetParentForm(this);
    if (Form != nullptr && Form->Perform(CM_DIALOGKEY, M.WParam, M.LParam) != 0) return;
  }
  M.Result = 0;
}

void TWinControl::CNKeyUp(TMessage& M) { M.Result = 0; }

void TWinControl::CNChar(TMessage& M) {
  M.Result = 0;
  if ((static_cast<UINT>(Perform(WM_GETDLGCODE, 0, 0)) & DLGC_WANTCHARS) != 0) return;
  TCustomForm* Form = GetParentForm(this);
  if (Form != nullptr && Form->Perform(CM_DIALOGCHAR, M.WParam, M.LParam) != 0) M.Result = 1;
}

void TWinControl::CNSysKeyDown(TMessage& M) { M.Result = 0; }
void TWinControl::CNSysChar(TMessage& M) { M.Result = 0; }

// --- notifications of child windows

void TWinControl::WMChildNotify(TMessage& M) {
  HWND Child = nullptr;
  switch (M.Msg) {
    case WM_NOTIFY:
      if (M.LParam != 0) Child = reinterpret_cast<NMHDR*>(M.LParam)->hwndFrom;
      break;
    case WM_DRAWITEM: {
      auto* D = reinterpret_cast<DRAWITEMSTRUCT*>(M.LParam);
      if (D != nullptr && D->CtlType != ODT_MENU) Child = D->hwndItem;
      break;
    }
    case WM_MEASUREITEM: {
      auto* D = reinterpret_cast<MEASUREITEMSTRUCT*>(M.LParam);
      if (D != nullptr && D->CtlType != ODT_MENU && FHandle != nullptr) {
        Child = GetDlgItem(FHandle, static_cast<int>(D->CtlID));
        if (Child == nullptr && CreationControl != nullptr) {
          // The item is measured while the child's window is being created.
          M.Result = CreationControl->Perform(CN_MEASUREITEM, M.WParam, M.LParam);
          return;
        }
      }
      break;
    }
    case WM_DELETEITEM: {
      auto* D = reinterpret_cast<DELETEITEMSTRUCT*>(M.LParam);
      if (D != nullptr) Child = D->hwndItem;
      break;
    }
    case WM_COMPAREITEM: {
      auto* D = reinterpret_cast<COMPAREITEMSTRUCT*>(M.LParam);
      if (D != nullptr) Child = D->hwndItem;
      break;
    }
    default:
      Child = reinterpret_cast<HWND>(M.LParam);
      break;
  }
  if (Child != nullptr && Child != FHandle && FindControl(Child) != nullptr) {
    M.Result = SendMessageW(Child, CN_BASE + M.Msg, M.WParam, M.LParam);
    return;
  }
  DefaultHandler(M);
}

void TWinControl::CNCtlColor(TMessage& M) {
  HDC DC = reinterpret_cast<HDC>(M.WParam);
  SetTextColor(DC, ColorToRGB(Font()->Color()));
  SetBkColor(DC, ColorToRGB(FBrush->Color()));
  M.Result = reinterpret_cast<LRESULT>(FBrush->Handle());
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
  try {
    PaintHandler(M);
  } catch (...) {
    M.WParam = 0;
    EndPaint(FHandle, &PS);
    throw;
  }
  M.WParam = 0;
  EndPaint(FHandle, &PS);
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
  try {
    PaintWindow(DC);
  } catch (...) {
    RestoreDC(DC, Saved);
    throw;
  }
  RestoreDC(DC, Saved);
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
    try {
      C->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
    } catch (...) {
      RestoreDC(DC, Saved);
      if (AddedCopy) C->FControlState.Exclude(csPaintCopy);
      throw;
    }
    RestoreDC(DC, Saved);
    if (AddedCopy) C->FControlState.Exclude(csPaintCopy);
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
  try {
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
  } catch (...) {
    RestoreDC(DC, Saved);
    if (AddedCopy) FControlState.Exclude(csPaintCopy);
    throw;
  }
  RestoreDC(DC, Saved);
  if (AddedCopy) FControlState.Exclude(csPaintCopy);
}

// ---------------------------------------------------------------------------------------------
// TCustomControl

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {
  FCanvas = std::make_unique<TControlCanvas>();
  FCanvas->SetControl(this);
}

TCustomControl::~TCustomControl() { FCanvas->FreeHandle(); }

void TCustomControl::PaintWindow(HDC DC) {
  FCanvas->Lock();
  FCanvas->FreeHandle();
  FCanvas->SetHandle(DC);
  FControlState.Include(csCustomPaint);
  try {
    Paint();
  } catch (...) {
    FControlState.Exclude(csCustomPaint);
    FCanvas->SetHandle(nullptr);
    FCanvas->Unlock();
    throw;
  }
  FControlState.Exclude(csCustomPaint);
  FCanvas->SetHandle(nullptr);
  FCanvas->Unlock();
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
  FCanvas->Lock();
  FCanvas->FreeHandle();
  FCanvas->SetHandle(reinterpret_cast<HDC>(M.WParam));
  try {
    Paint();
  } catch (...) {
    FCanvas->SetHandle(nullptr);
    FCanvas->Unlock();
    throw;
  }
  FCanvas->SetHandle(nullptr);
  FCanvas->Unlock();
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

TRect THintWindow::CalcHintRect(int MaxWidth, const WideString& AHint, void*) {
  HDC DC = CreateCompatibleDC(nullptr);
  HGDIOBJ OldFont = SelectObject(DC, Font()->Handle());
  RECT R{0, 0, std::max(MaxWidth, 1), 0};
  DrawTextW(DC, AHint.c_str(), static_cast<int>(AHint.size()), &R, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(DC, OldFont);
  DeleteDC(DC);
  // Room for the frame and the margins.
  return Rect(0, 0, R.right + 6, R.bottom + 4);
}

void THintWindow::ActivateHint(TRect R, const WideString& AHint) {
  SetText(AHint);
  // Keep the hint on the desktop.
  const int DL = GetSystemMetrics(SM_XVIRTUALSCREEN), DT = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int DR = DL + GetSystemMetrics(SM_CXVIRTUALSCREEN), DB = DT + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (R.Right > DR) R.Offset(DR - R.Right, 0);
  if (R.Bottom > DB) R.Offset(0, DB - R.Bottom);
  if (R.Left < DL) R.Offset(DL - R.Left, 0);
  if (R.Top < DT) R.Offset(0, DT - R.Top);
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
  C->TextRect(R, S, TTextFormat{tfLeft, tfWordBreak, tfNoPrefix});
}

void THintWindow::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case WM_NCHITTEST: M.Result = HTTRANSPARENT; return;
    case WM_MOUSEACTIVATE: M.Result = MA_NOACTIVATE; return;
    default: TCustomControl::Dispatch(M); return;
  }
}
