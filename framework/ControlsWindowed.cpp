// TWinControl: the window, its showing and bounds, the children, the z-order, the focus and tab
// order, and the way messages, keys and child notifications travel. Part of the controls unit.
#include "framework/Controls.h"

#include <algorithm>
#include <vector>

#include "framework/ControlsInternal.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/Scopes.h"
#include "framework/Strings.h"

using namespace ctlimpl;

namespace {

int NextChildId = 0;

// The calls into windows' system procedures that are running on this thread, innermost first.
struct TSystemCall {
  HWND Window;
  const TSystemCall* Outer;
};
thread_local const TSystemCall* RunningSystemCalls = nullptr;
// What waits for the calls into a window's system procedure to return (AfterSystemCalls).
struct TWaitingAction {
  HWND Window;
  std::function<void()> Action;
};
std::vector<TWaitingAction>& WaitingActions() {
  thread_local std::vector<TWaitingAction> List;
  return List;
}

bool SystemCallRunning(HWND Window) {
  for (const TSystemCall* C = RunningSystemCalls; C != nullptr; C = C->Outer)
    if (C->Window == Window) return true;
  return false;
}

// The control has let go of the window. The system's procedure alone handles it from now on, and
// so it still frees what it keeps for the window when the window is destroyed.
void DestroyAfterSystemCall(HWND Window, WNDPROC SystemProc) {
  SetWindowLongPtrW(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SystemProc));
  SetWindowPos(Window, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  // Out of the parent, which may be destroyed before the call returns.
  ::SetParent(Window, HWND_MESSAGE);
  AfterSystemCalls(Window, [Window] { DestroyWindow(Window); });
}

}  // namespace

bool AfterSystemCalls(HWND Window, std::function<void()> Action) {
  if (!SystemCallRunning(Window)) {
    Action();
    return true;
  }
  WaitingActions().push_back(TWaitingAction{Window, std::move(Action)});
  return false;
}

LRESULT CallSystemWindowProc(WNDPROC Proc, HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  LRESULT Result = 0;
  TControl::EndIfFreedBy([&] {
    const TSystemCall Call{Window, RunningSystemCalls};
    RunningSystemCalls = &Call;
    TScopeExit Returned([&] {
      RunningSystemCalls = Call.Outer;
      if (SystemCallRunning(Window)) return;
      // What waited for the window, in the order it came.
      std::vector<TWaitingAction>& Waiting = WaitingActions();
      for (std::size_t I = 0; I < Waiting.size();) {
        if (Waiting[I].Window != Window) {
          ++I;
          continue;
        }
        const std::function<void()> Action = std::move(Waiting[I].Action);
        Waiting.erase(Waiting.begin() + static_cast<std::ptrdiff_t>(I));
        Action();
      }
    });
    Result = ::CallWindowProcW(Proc, Window, Msg, WParam, LParam);
  });
  return Result;
}

// ---------------------------------------------------------------------------------------------
// The window procedure of every framework window

namespace {
HWND GKnownFocus = nullptr;
bool GFocusKnown = false;
}  // namespace

bool MayMoveFocus(UINT Msg) {
  switch (Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
    case WM_ENABLE:
    case WM_SHOWWINDOW:
    case WM_DESTROY:
    case WM_NCDESTROY:
      return true;
    default:
      return false;
  }
}

HWND KnownFocus() {
  if (!GFocusKnown) {
    GKnownFocus = ::GetFocus();
    GFocusKnown = true;
  }
  return GKnownFocus;
}

void FocusMayHaveMoved() { GFocusKnown = false; }

LRESULT CALLBACK ControlWindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (MayMoveFocus(Msg)) FocusMayHaveMoved();
  TWinControl* Control = FindControl(Window);
  if (Control == nullptr) {
    Control = CreationControl;
    if (Control == nullptr) return DefWindowProcW(Window, Msg, WParam, LParam);
    CreationControl = nullptr;
    Control->Bind(Window);
  }
  // A window timer whose handler failed waits until its error box is closed.
  if (Msg == WM_TIMER && Application != nullptr && Application->TimerHeld(Window, WParam)) return 0;
  TMessage M{Msg, WParam, LParam, 0};
  try {
    Control->RunWindowProc(M);
  } catch (const TControlFreed&) {
    // A handler freed the control whose handling called this message (the system's code took it
    // there): that handling ends once the system's code has returned.
  } catch (...) {
    // Exceptions never cross the system's window procedure boundary.
    if (Application != nullptr) {
      try {
        if (Msg == WM_TIMER)
          Application->HandleTimerException(Control, Window, WParam);
        else
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
  // A window that outlives its control (one that could not be destroyed) no longer leads to it.
  if (FHandle != nullptr) ForgetBinding(FHandle, this);
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
  RecordBinding(Window, this);
}

void TWinControl::Unbind() {
  if (FHandle == nullptr) return;
  RemovePropW(FHandle, ControlProp());
  ForgetBinding(FHandle, this);
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
  {
    TScopeExit CleanUp([&] { FControlState.Exclude(csCreating); });
    CreateWindowHandle(Params);
  }
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
  if (OwnsMenuLoop(Window)) {
    // Its menu is tracked: the window waits for the end of the loop, without its control.
    Unbind();
    ReleaseWindowAfterMenuLoop(Window);
    Perform(CM_WINDOWRELEASED, reinterpret_cast<WPARAM>(Window), 0);
  } else if (FDefWndProc != DefWindowProcW && SystemCallRunning(Window)) {
    // A control of the system's is still at work on this window (a handler it notified frees
    // the control).
    Unbind();
    DestroyAfterSystemCall(Window, FDefWndProc);
    Perform(CM_WINDOWRELEASED, reinterpret_cast<WPARAM>(Window), 0);
  } else {
    DestroyWindow(Window);
  }
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
  {
    TScopeExit CleanUp([&] { FControlState.Exclude(csRecreating); });
    DestroyHandle();
    UpdateControlState();
  }
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
    // The placement's show command would show a hidden minimized window again.
    if ((GetWindowLongW(FHandle, GWL_STYLE) & WS_VISIBLE) == 0) WP.showCmd = SW_HIDE;
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

bool TWinControl::Focused() { return FHandle != nullptr && KnownFocus() == FHandle; }

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

void TWinControl::DoEnter() { Fire(OnEnter, this); }

void TWinControl::DoExit() { Fire(OnExit, this); }

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
  // The leave's handler may free the child the pointer enters (which is then no longer the child
  // under the pointer): the enter goes to nobody then.
  TControl* Old = FMouseControl;
  FMouseControl = Control;
  if (Old != nullptr) Old->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(Old));
  if (FMouseControl != Control) return;
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
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK: {
      if (M.Msg == WM_MOUSEMOVE) {
        TrackMouse();
        if (!FMouseInside) {
          FMouseInside = true;
          Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(this));
        }
        SetMouseInControl(ControlAtPos(MessagePoint(M.LParam), false));
      }
      if (IsControlMouseMsg(M)) {
        if (M.Result == 0 && FHandle != nullptr) DefWindowProcW(FHandle, M.Msg, M.WParam, M.LParam);
        return;
      }
      break;
    }
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
    M.Result = CallSystemWindowProc(FDefWndProc, FHandle, M.Msg, M.WParam, M.LParam);
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

void TWinControl::KeyDown(Word& Key, TShiftState Shift) { Fire(OnKeyDown, this, Key, Shift); }

void TWinControl::KeyUp(Word& Key, TShiftState Shift) { Fire(OnKeyUp, this, Key, Shift); }

void TWinControl::KeyPress(wchar_t& Key) { Fire(OnKeyPress, this, Key); }

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
    // The child's handlers may free this control (its parent).
    EndIfFreedBy([&] { M.Result = SendMessageW(Child, CN_BASE + M.Msg, M.WParam, M.LParam); });
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
