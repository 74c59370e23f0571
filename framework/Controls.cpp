// The free routines of the controls unit, the WindowProc chain and TControl. The unit's other
// sources: ControlsWindowed.cpp, ControlsLayout.cpp and ControlsPaint.cpp.
#include "framework/Controls.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "framework/ControlsInternal.h"
#include "framework/Forms.h"
#include "framework/Scopes.h"
#include "framework/Strings.h"

using namespace ctlimpl;

TMenuHooks MenuHooks;

namespace ctlimpl {

LPCWSTR ControlProp() {
  static const ATOM Atom = GlobalAddAtomW(L"TvFrameworkControl");
  return reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(Atom));
}

namespace {

// Windows of any thread of the process may be bound, so the record has a lock.
struct TBindings {
  SRWLOCK Lock = SRWLOCK_INIT;
  std::unordered_map<HWND, TWinControl*> Controls;
};

// Lives as long as the process: windows may be unbound while the statics are torn down.
TBindings& Bindings() {
  static auto* B = new TBindings;
  return *B;
}

}  // namespace

void RecordBinding(HWND Window, TWinControl* Control) {
  TBindings& B = Bindings();
  AcquireSRWLockExclusive(&B.Lock);
  B.Controls[Window] = Control;
  ReleaseSRWLockExclusive(&B.Lock);
}

void ForgetBinding(HWND Window, TWinControl* Control) {
  TBindings& B = Bindings();
  AcquireSRWLockExclusive(&B.Lock);
  if (auto It = B.Controls.find(Window); It != B.Controls.end() && It->second == Control) B.Controls.erase(It);
  ReleaseSRWLockExclusive(&B.Lock);
}

thread_local TWinControl* CreationControl = nullptr;
TControl* CaptureControlPtr = nullptr;

}  // namespace ctlimpl

namespace {

unsigned NextLinkId = 1;

// The innermost watch of this thread; each leads to the one made before it (TControl::TLifeWatch).
thread_local TControl::TLifeWatch* InnermostWatch = nullptr;

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

TRect WorkAreaNear(const TRect& R) {
  const RECT W{R.Left, R.Top, R.Right, R.Bottom};
  MONITORINFO MI{};
  MI.cbSize = sizeof MI;
  if (!GetMonitorInfoW(MonitorFromRect(&W, MONITOR_DEFAULTTONEAREST), &MI) &&
      !SystemParametersInfoW(SPI_GETWORKAREA, 0, &MI.rcWork, 0))
    return TRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return TRect{MI.rcWork.left, MI.rcWork.top, MI.rcWork.right, MI.rcWork.bottom};
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
  TBindings& B = Bindings();
  AcquireSRWLockShared(&B.Lock);
  const auto It = B.Controls.find(Handle);
  TWinControl* Control = It != B.Controls.end() ? It->second : nullptr;
  ReleaseSRWLockShared(&B.Lock);
  return Control;
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

void GetWindowAndClientRects(HWND Wnd, RECT& Window, RECT& Client) {
  RECT W{}, C{};
  GetWindowRect(Wnd, &W);
  GetClientRect(Wnd, &C);
  POINT O{0, 0};
  ::ClientToScreen(Wnd, &O);
  Window = RECT{0, 0, W.right - W.left, W.bottom - W.top};
  Client = RECT{O.x - W.left, O.y - W.top, O.x - W.left + C.right, O.y - W.top + C.bottom};
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

// ---------------------------------------------------------------------------------------------
// Where messages enter a control

TControl::TLifeWatch::TLifeWatch(TControl* Control, bool Entry)
    : FControl(Control), FOuter(InnermostWatch), FEntry(Entry) {
  InnermostWatch = this;
}

TControl::TLifeWatch::~TLifeWatch() { InnermostWatch = FOuter; }

TControl::TLifeWatch* TControl::HandlingFrame() {
  TLifeWatch* W = InnermostWatch;
  while (W != nullptr && !W->FEntry) W = W->FOuter;
  return W;
}

void TControl::RunWindowProc(TMessage& Message) {
  // The caller's handling, when a control's handling performed this message: it ends too when
  // this message freed its control.
  TLifeWatch* Caller = HandlingFrame();
  const bool CallerAlive = Caller != nullptr && !Caller->Freed();
  const TLifeWatch Frame(this, true);
  try {
    TWndProcRef{FWindowProcTop}(Message);
  } catch (const TControlFreed&) {
    // This control went: its handling has ended here.
    if (CallerAlive && Caller->Freed()) throw;
    return;
  }
  if (CallerAlive && Caller->Freed()) throw TControlFreed{};
}

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
  if (AOwner != nullptr && AOwner->IsLoading()) Loading();
}

TControl::~TControl() {
  for (TLifeWatch* W = InnermostWatch; W != nullptr; W = W->FOuter)
    if (W->FControl == this) W->FFreed = true;
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
    TScopeExit CleanUp([&] { FFontFromParent = false; });
    FFont->Assign(FParent->Font());
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

void TControl::PressDefault(TMessage& M) {
  const bool Held = GetKeyState(VK_LBUTTON) < 0;
  DefaultHandler(M);
  // The system's code may have run a message loop (a box that an exit handler showed) that took
  // the release: a capture taken then would keep the mouse from the user's next click. A press
  // that never came through the input queue (a message a program sent) takes it as always.
  if (FControlStyle.Contains(csCaptureMouse) && (!Held || GetKeyState(VK_LBUTTON) < 0)) SetMouseCapture(true);
}

void TControl::WMLButtonDown(TMessage& M) {
  PressDefault(M);
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
  PressDefault(M);
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
  // A handler that frees the control handles the wheel (the message ends with this result).
  M.Result = 1;
  if (DoMouseWheel(Shift, Delta, MessagePoint(M.LParam))) return;
  M.Result = FParent != nullptr ? FParent->Perform(CM_MOUSEWHEEL, M.WParam, M.LParam) : 0;
}

bool TControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  // Also called straight (the skin gives a frame the wheel): a handler that freed the control
  // handled the wheel, and the control is touched no more.
  const TLifeWatch Life(this);
  bool Handled = false;
  Fire(OnMouseWheel, this, Shift, WheelDelta, MousePos, Handled);
  if (Handled || Life.Freed()) return true;
  FWheelAccumulator += WheelDelta;
  while (std::abs(FWheelAccumulator) >= WHEEL_DELTA) {
    const bool Down = FWheelAccumulator < 0;
    FWheelAccumulator += Down ? WHEEL_DELTA : -WHEEL_DELTA;
    Handled = Down ? DoMouseWheelDown(Shift, MousePos) : DoMouseWheelUp(Shift, MousePos);
    if (Life.Freed()) return true;
  }
  return Handled;
}

bool TControl::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  bool Handled = false;
  Fire(OnMouseWheelDown, this, Shift, MousePos, Handled);
  return Handled;
}

bool TControl::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  bool Handled = false;
  Fire(OnMouseWheelUp, this, Shift, MousePos, Handled);
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

void TControl::DoContextPopup(TPoint MousePos, bool& Handled) { Fire(OnContextPopup, this, MousePos, Handled); }

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

void TControl::Click() { Fire(OnClick, this); }

void TControl::DblClick() { Fire(OnDblClick, this); }

void TControl::Resize() { Fire(OnResize, this); }

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  Fire(OnMouseDown, this, Button, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  Fire(OnMouseUp, this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) { Fire(OnMouseMove, this, Shift, X, Y); }
