// Forms and the screen. The unit's other sources: FormsApplication.cpp (the application object)
// and FormsHints.cpp (the application's hints).
#include "framework/Forms.h"

#include <algorithm>

#include "framework/Scopes.h"
#include "framework/Strings.h"

TScreen* Screen = nullptr;
TFormMenuHooks FormMenuHooks;

namespace {

// Disables the visible, enabled top-level windows of this thread except Keep; returns them.
struct TDisableData {
  HWND Keep;
  std::vector<HWND>* List;
};

BOOL CALLBACK DisableWindowProc(HWND W, LPARAM P) {
  auto* D = reinterpret_cast<TDisableData*>(P);
  if (W != D->Keep && IsWindowVisible(W) && IsWindowEnabled(W)) {
    D->List->push_back(W);
    EnableWindow(W, FALSE);
  }
  return TRUE;
}

std::vector<HWND> DisableTaskWindows(HWND Keep) {
  std::vector<HWND> List;
  TDisableData Data{Keep, &List};
  EnumThreadWindows(GetCurrentThreadId(), DisableWindowProc, reinterpret_cast<LPARAM>(&Data));
  return List;
}

BOOL CALLBACK MonitorEnumProc(HMONITOR H, HDC, LPRECT, LPARAM P);

// System cursors by their resource numbers.
LPCWSTR SystemCursor(LPCSTR Id) { return reinterpret_cast<LPCWSTR>(Id); }

void EnableTaskWindows(const std::vector<HWND>& List) {
  for (HWND W : List)
    if (IsWindow(W)) EnableWindow(W, TRUE);
}

TRect ToRect(const RECT& R) { return Rect(R.left, R.top, R.right, R.bottom); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// TMonitor

bool TMonitor::Primary() const {
  MONITORINFO MI{};
  MI.cbSize = sizeof(MI);
  return GetMonitorInfoW(FHandle, &MI) && (MI.dwFlags & MONITORINFOF_PRIMARY) != 0;
}

TRect TMonitor::BoundsRect() const {
  MONITORINFO MI{};
  MI.cbSize = sizeof(MI);
  if (!GetMonitorInfoW(FHandle, &MI)) return TRect{};
  return ToRect(MI.rcMonitor);
}

TRect TMonitor::WorkareaRect() const {
  MONITORINFO MI{};
  MI.cbSize = sizeof(MI);
  if (!GetMonitorInfoW(FHandle, &MI)) return TRect{};
  return ToRect(MI.rcWork);
}

// ---------------------------------------------------------------------------------------------
// TCustomForm

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  FFormState.Include(fsCreating);
  FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  FVisible = false;
  FParentColor = false;
  FParentFont = false;
  FColor = clBtnFace;
  Brush()->SetColor(FColor);
  SetBoundsFields(0, 0, 320, 240);
  FIcon = std::make_unique<TIcon>();
  FIcon->OnChange = [this](TObject*) { Perform(CM_ICONCHANGED, 0, 0); };
  FCanvas = std::make_unique<TControlCanvas>();
  FCanvas->SetControl(this);
  if (Screen != nullptr) Screen->AddForm(this);
}

// A focus change under way. The controls that lose the focus (innermost first) and those that gain
// it (outermost first) hear CM_EXIT / CM_ENTER in turn; one that leaves the form meanwhile (a
// handler freed it or put it elsewhere) is struck from the lists, and the change stops when its
// target goes. A handler that moves the focus on starts a change of its own from where the
// handlers heard the focus last; the change under way stops there.
struct TCustomForm::TFocusChange {
  TWinControl* Target;
  std::vector<TWinControl*> Exiting, Entering;
  TWinControl* Base;  // the innermost control both have in common (or the form)
  std::size_t Exited = 0, Entered = 0;  // told so far (the one being told included)
  bool TargetFreed = false;
  bool FormFreed = false;
  bool MovedOn = false;  // a handler moved the focus on: the later change told the rest
  TFocusChange* Outer;

  // The innermost control that holds the focus as its handlers heard it: the next one to exit,
  // or the last one entered. A control on its way out (a panel freeing what it owns) holds it no
  // more: the control around it does.
  TWinControl* Holder() const {
    TWinControl* H = nullptr;
    for (std::size_t I = Exited; H == nullptr && I < Exiting.size(); ++I) H = Exiting[I];
    for (std::size_t I = Entered; H == nullptr && I-- > 0;) H = Entering[I];
    if (H == nullptr) H = Base;
    while (H != nullptr && H->IsDestroying()) H = H->Parent();
    return H;
  }
  // Control leaves the form (with all it contains).
  void Leaves(TWinControl* Control) {
    for (auto* List : {&Exiting, &Entering})
      for (TWinControl*& C : *List)
        if (Control->ContainsControl(C)) C = nullptr;
    if (Control->ContainsControl(Base)) Base = nullptr;
    if (Target != nullptr && Control->ContainsControl(Target)) {
      Target = nullptr;
      TargetFreed = Control->IsDestroying();
    }
  }
};

TCustomForm::~TCustomForm() {
  Destroying();
  // A handler of a focus change under way freed the form.
  for (TFocusChange* F = FFocusChange; F != nullptr; F = F->Outer) F->FormFreed = true;
  DoDestroy();
  // The components go while the form is whole (their windows before the form's).
  DestroyComponents();
  if (Application != nullptr) Application->ControlDestroyed(this);
  if (Screen != nullptr) Screen->RemoveForm(this);
  FCanvas->FreeHandle();
  DestroyHandle();
}

void TCustomForm::AfterConstruction() {
  if (FConstructed) return;
  FConstructed = true;
  BeginLoading();
  {
    TScopeExit CleanUp([&] {
      EndLoading();
      FFormState.Exclude(fsCreating);
    });
    InitializeComponents();
  }
  DoCreate();
}

void TCustomForm::DoCreate() {
  if (!OnCreate) return;
  try {
    OnCreate(this);
  } catch (...) {
    if (Application == nullptr) throw;
    Application->HandleException(this);
  }
}

void TCustomForm::DoDestroy() {
  if (!OnDestroy) return;
  try {
    OnDestroy(this);
  } catch (...) {
    if (Application != nullptr) {
      try {
        Application->HandleException(this);
      } catch (...) {
      }
    }
  }
}

void TCustomForm::DoShow() { Fire(OnShow, this); }

void TCustomForm::DoHide() { Fire(OnHide, this); }

void TCustomForm::DoClose(TCloseAction& Action) { Fire(OnClose, this, Action); }

void TCustomForm::Activate() { Fire(OnActivate, this); }

void TCustomForm::Deactivate() { Fire(OnDeactivate, this); }

void TCustomForm::Paint() {
  if (OnPaint) OnPaint(this);
}

void TCustomForm::Loaded() { TWinControl::Loaded(); }

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opInsert) {
    // Components made while the form loads load with it.
    if (IsLoading() && AComponent != nullptr) AComponent->Loading();
    return;
  }
  if (AComponent == static_cast<TComponent*>(FActiveControl)) FActiveControl = nullptr;
  if (AComponent == static_cast<TComponent*>(FFocusedControl)) FFocusedControl = nullptr;
  if (static_cast<const void*>(AComponent) == static_cast<const void*>(FMenu)) {
    FMenu = nullptr;
    if (!IsDestroying()) UpdateMenu();
  }
}

// --- styles

void TCustomForm::FormStyles(DWORD& Style, DWORD& ExStyle) {
  Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  ExStyle = 0;
  switch (FBorderStyle) {
    case bsNone: Style |= WS_POPUP; break;
    case bsSingle:
    case bsToolWindow: Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable:
    case bsSizeToolWin: Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      Style |= WS_POPUP | WS_CAPTION;
      ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
  }
  if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) ExStyle |= WS_EX_TOOLWINDOW;
  if (FBorderStyle != bsNone) {
    if (FBorderIcons.Contains(biSystemMenu)) Style |= WS_SYSMENU;
    const bool Boxes = FBorderStyle == bsSingle || FBorderStyle == bsSizeable;
    if (Boxes && FBorderIcons.Contains(biMinimize)) Style |= WS_MINIMIZEBOX;
    if (Boxes && FBorderIcons.Contains(biMaximize)) Style |= WS_MAXIMIZEBOX;
    if (FBorderIcons.Contains(biHelp) && (FBorderStyle == bsDialog || !(Style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))))
      ExStyle |= WS_EX_CONTEXTHELP;
  }
  if (FFormStyle == fsStayOnTop) ExStyle |= WS_EX_TOPMOST;
  if (FFormStyle == fsMDIChild) {
    Style &= ~WS_POPUP;
    ExStyle |= WS_EX_MDICHILD;
  }
  if (FAlphaBlend) ExStyle |= WS_EX_LAYERED;
}

HWND TCustomForm::OwnerWindow() { return Application != nullptr ? Application->Handle() : nullptr; }

void TCustomForm::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  if (Parent() != nullptr) return;  // a form placed in another control is a child window
  DWORD Style, ExStyle;
  FormStyles(Style, ExStyle);
  Params.Style = Style;
  Params.ExStyle = ExStyle;
  if (FFormStyle == fsMDIChild) {
    TCustomForm* Main = Application != nullptr ? Application->MainForm() : nullptr;
    if (Main == nullptr || Main->FormStyle() != fsMDIForm || Main == this)
      throw EInvalidOperation("Cannot create form. No MDI forms are currently active");
    Main->HandleNeeded();
    Params.WndParent = Main->ClientHandle();
    Params.WindowClass.lpfnWndProc = DefMDIChildProcW;
  } else {
    Params.WndParent = OwnerWindow();
  }
  if (FBorderStyle == bsDialog) Params.WindowClass.style |= CS_SAVEBITS | CS_BYTEALIGNWINDOW;
  // Positions and sizes chosen by the system apply to overlapped windows only.
  if (!(Style & WS_POPUP) && FFormStyle != fsMDIChild) {
    if (FPosition == poDefault || FPosition == poDefaultPosOnly) {
      Params.X = static_cast<int>(CW_USEDEFAULT);
      Params.Y = static_cast<int>(CW_USEDEFAULT);
    }
    if (FPosition == poDefault || FPosition == poDefaultSizeOnly) {
      Params.Width = static_cast<int>(CW_USEDEFAULT);
      Params.Height = static_cast<int>(CW_USEDEFAULT);
    }
  }
}

void TCustomForm::CreateWnd() {
  TWinControl::CreateWnd();
  if (FFormStyle == fsMDIForm && FClientHandle == nullptr) {
    CLIENTCREATESTRUCT CCS{nullptr, 0xFF00};
    TRect CR = ClientRect();
    FClientHandle = CreateWindowExW(WS_EX_CLIENTEDGE, L"MDICLIENT", nullptr,
                                    WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL, 0, 0,
                                    CR.Width(), CR.Height(), FHandle, nullptr, ModuleInstance(), &CCS);
    Realign();
  }
  UpdateWindowIcon();
  UpdateMenu();
  UpdateAlphaBlend();
}

void TCustomForm::CreateWindowHandle(const TCreateParams& Params) {
  TWinControl::CreateWindowHandle(Params);
  // The window of an MDI child lives in the MDI client from now on.
  if (FFormStyle == fsMDIChild && FHandle != nullptr) FFormState.Include(fsCreatedMDIChild);
}

void TCustomForm::DestroyWindowHandle() {
  FFormState.Exclude(fsCreatedMDIChild);
  if (FHandle != nullptr && FFormStyle == fsMDIChild) {
    HWND Client = GetParent(FHandle);
    if (Client != nullptr) {
      FControlState.Include(csDestroyingHandle);
      SendMessageW(Client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(FHandle), 0);
      FControlState.Exclude(csDestroyingHandle);
      if (FHandle != nullptr) TWinControl::DestroyWindowHandle();
      return;
    }
  }
  TWinControl::DestroyWindowHandle();
}

void TCustomForm::DestroyWnd() {
  FCanvas->FreeHandle();
  FClientHandle = nullptr;  // destroyed with the form's window
  TWinControl::DestroyWnd();
}

TRect TCustomForm::ClientRect() {
  if (FHandle != nullptr || Parent() != nullptr) return TWinControl::ClientRect();
  DWORD Style, ExStyle;
  FormStyles(Style, ExStyle);
  RECT R{0, 0, 0, 0};
  AdjustWindowRectEx(&R, Style, FMenu != nullptr ? TRUE : FALSE, ExStyle);
  return Rect(0, 0, std::max(Width() - static_cast<int>(R.right - R.left), 0),
              std::max(Height() - static_cast<int>(R.bottom - R.top), 0));
}

void TCustomForm::RecreateForStyle() {
  if (FHandle == nullptr) return;
  RecreateWnd();
  Perform(CM_BORDERCHANGED, 0, 0);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  RecreateForStyle();
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
  if (FBorderIcons == Value) return;
  FBorderIcons = Value;
  RecreateForStyle();
}

void TCustomForm::SetFormStyle(TFormStyle Value) {
  if (FFormStyle == Value) return;
  if (FHandle != nullptr && (Value == fsMDIChild || Value == fsMDIForm || FFormStyle == fsMDIChild ||
                             FFormStyle == fsMDIForm))
    throw EInvalidOperation("Cannot change the MDI style of a form that has a window");
  FFormStyle = Value;
  if (FHandle != nullptr)
    SetWindowPos(FHandle, Value == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetWindowState(TWindowState Value) {
  if (FWindowState == Value) return;
  FWindowState = Value;
  if (FHandle != nullptr && Showing()) {
    static const int Commands[] = {SW_RESTORE, SW_MINIMIZE, SW_SHOWMAXIMIZED};
    ShowWindow(FHandle, Commands[Value]);
  }
}

void TCustomForm::SetIcon(TIcon* Value) { FIcon->Assign(Value); }

void TCustomForm::UpdateWindowIcon() {
  if (FHandle == nullptr) return;
  HICON Icon = FIcon->Handle();
  if (Icon == nullptr && Application != nullptr)
    Icon = reinterpret_cast<HICON>(GetClassLongPtrW(Application->Handle(), GCLP_HICON));
  SendMessageW(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Icon));
}

void TCustomForm::CMIconChanged(TMessage& M) { UpdateWindowIcon(); }

void TCustomForm::SetMenu(TMainMenu* Value) {
  if (FMenu == Value) return;
  FMenu = Value;
  Perform(CM_MENUCHANGED, 0, 0);
}

void TCustomForm::UpdateMenu() {
  if (FHandle == nullptr || FFormStyle == fsMDIChild || Parent() != nullptr) return;
  HMENU Bar = FMenu != nullptr && FormMenuHooks.Handle != nullptr ? FormMenuHooks.Handle(FMenu) : nullptr;
  if (::GetMenu(FHandle) != Bar) ::SetMenu(FHandle, Bar);
  DrawMenuBar(FHandle);
}

void TCustomForm::CMMenuChanged(TMessage& M) {
  UpdateMenu();
  // The active MDI child's new menu shows in the main form's bar.
  if (FFormStyle == fsMDIChild && FHandle != nullptr && GetParent(FHandle) != nullptr &&
      reinterpret_cast<HWND>(SendMessageW(GetParent(FHandle), WM_MDIGETACTIVE, 0, 0)) == FHandle)
    MergeIntoMainMenu(true);
}

void TCustomForm::MergeIntoMainMenu(bool On) {
  // The menu bar of the MDI main form shows the active child's menu beside its own.
  if (FFormStyle != fsMDIChild || FormMenuHooks.MergeMenu == nullptr || Application == nullptr) return;
  TCustomForm* Main = Application->MainForm();
  if (Main == nullptr || Main == this || Main->FormStyle() != fsMDIForm || Main->Menu() == nullptr) return;
  if (FMenu != nullptr) FormMenuHooks.MergeMenu(Main->Menu(), FMenu, On);
}

void TCustomForm::SetAlphaBlend(bool Value) {
  if (FAlphaBlend == Value) return;
  FAlphaBlend = Value;
  UpdateAlphaBlend();
}

void TCustomForm::SetAlphaBlendValue(Byte Value) {
  if (FAlphaBlendValue == Value) return;
  FAlphaBlendValue = Value;
  UpdateAlphaBlend();
}

void TCustomForm::UpdateAlphaBlend() {
  if (FHandle == nullptr || Parent() != nullptr) return;
  LONG Ex = GetWindowLongW(FHandle, GWL_EXSTYLE);
  if (FAlphaBlend) {
    if (!(Ex & WS_EX_LAYERED)) SetWindowLongW(FHandle, GWL_EXSTYLE, Ex | WS_EX_LAYERED);
    SetLayeredWindowAttributes(FHandle, 0, FAlphaBlendValue, LWA_ALPHA);
  } else if (Ex & WS_EX_LAYERED) {
    SetWindowLongW(FHandle, GWL_EXSTYLE, Ex & ~WS_EX_LAYERED);
    RedrawWindow(FHandle, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
  }
}

TMonitor* TCustomForm::Monitor() {
  if (Screen == nullptr) return nullptr;
  if (FHandle != nullptr) return Screen->MonitorFromWindow(FHandle);
  RECT R{Left(), Top(), Left() + Width(), Top() + Height()};
  HMONITOR H = MonitorFromRect(&R, MONITOR_DEFAULTTONEAREST);
  Screen->MonitorCount();
  return Screen->MonitorOf(H);
}

// --- showing

void TCustomForm::Show() {
  SetVisible(true);
  BringToFront();
}

void TCustomForm::ApplyPosition() {
  if (FPositioned) return;
  FPositioned = true;
  if (FFormStyle == fsMDIChild || Parent() != nullptr) return;
  TRect Area;
  switch (FPosition) {
    case poScreenCenter:
      Area = Screen != nullptr ? Screen->WorkAreaRect() : TRect{};
      break;
    case poDesktopCenter:
      Area = Screen != nullptr ? Screen->DesktopRect() : TRect{};
      break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TCustomForm* Center = FPosition == poOwnerFormCenter ? dynamic_cast<TCustomForm*>(Owner()) : nullptr;
      if (Center == nullptr && Application != nullptr) Center = Application->MainForm();
      if (Center != nullptr && Center != this)
        Area = Center->BoundsRect();
      else if (Screen != nullptr)
        Area = Screen->WorkAreaRect();
      break;
    }
    default:
      return;
  }
  if (Area.IsEmpty()) return;
  SetBounds(Area.Left + (Area.Width() - Width()) / 2, Area.Top + (Area.Height() - Height()) / 2, Width(), Height());
}

void TCustomForm::CMShowingChanged(TMessage& M) {
  if (FHandle == nullptr) return;
  const bool Recreating = FControlState.Contains(csRecreating);
  FFormState.Include(fsShowing);
  TScopeExit CleanUp([&] { FFormState.Exclude(fsShowing); });
  if (Showing()) {
    if (!Recreating) DoShow();
    ApplyPosition();
    if (FFormStyle == fsMDIChild) {
      ShowWindow(FHandle, FWindowState == wsMaximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
      SendMessageW(GetParent(FHandle), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(FHandle), 0);
    } else if (Parent() != nullptr) {
      TWinControl::CMShowingChanged(M);
    } else {
      static const int Commands[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED};
      ShowWindow(FHandle, Commands[FWindowState]);
    }
  } else {
    if (!Recreating) DoHide();
    if (Parent() != nullptr)
      TWinControl::CMShowingChanged(M);
    else
      ShowWindow(FHandle, SW_HIDE);
  }
}

TModalResult TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || FFormState.Contains(fsModal) || FFormStyle == fsMDIChild)
    throw EInvalidOperation("Cannot make a visible window modal");
  if (GetCapture() != nullptr) SendMessageW(GetCapture(), WM_CANCELMODE, 0, 0);
  ReleaseCapture();
  if (Application != nullptr) Application->ModalStarted();
  const int QuitCount = Application != nullptr ? Application->FQuitCount : 0;
  HWND ActiveWindow = GetActiveWindow();
  FFormState.Include(fsModal);
  std::vector<HWND> Disabled = DisableTaskWindows(Handle());
  {
    TScopeExit Finish([&] {
      EnableTaskWindows(Disabled);
      if (ActiveWindow != nullptr && IsWindow(ActiveWindow)) SetActiveWindow(ActiveWindow);
      FFormState.Exclude(fsModal);
      if (Application != nullptr) Application->ModalFinished();
    });
    FModalResult = mrNone;
    Show();
    for (;;) {
      if (Application != nullptr && Application->FQuitCount != QuitCount) FModalResult = mrCancel;
      if (FModalResult != mrNone) {
        CloseModal();
        if (FModalResult != mrNone) break;
      }
      if (Application == nullptr) break;
      try {
        Application->HandleMessage();
      } catch (...) {
        Application->HandleException(this);
      }
    }
    // Re-enable the other windows before this one hides, so that activation passes to them.
    EnableTaskWindows(Disabled);
    Disabled.clear();
    Hide();
  }
  return FModalResult;
}

void TCustomForm::CloseModal() {
  TCloseAction Action = caNone;
  if (CloseQuery()) {
    Action = caHide;
    DoClose(Action);
  }
  switch (Action) {
    case caNone: FModalResult = mrNone; break;
    case caFree: Release(); break;
    default: break;
  }
}

bool TCustomForm::CloseQuery() {
  if (FFormStyle == fsMDIForm) {
    for (int I = 0; I < MDIChildCount(); ++I)
      if (!MDIChildren(I)->CloseQuery()) return false;
  }
  bool CanClose = true;
  Fire(OnCloseQuery, this, CanClose);
  return CanClose;
}

void TCustomForm::Close() {
  if (FFormState.Contains(fsModal)) {
    FModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction Action = caHide;
  if (FFormStyle == fsMDIChild) Action = FBorderIcons.Contains(biMinimize) ? caMinimize : caNone;
  DoClose(Action);
  if (Action == caNone) return;
  if (Application != nullptr && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (Action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    default: break;
  }
}

void TCustomForm::Release() { PostMessageW(Handle(), CM_RELEASE, 0, 0); }

void TCustomForm::CMRelease(TMessage& M) {
  // Nothing of the form may be touched after this.
  delete this;
}

// --- focus and activation

bool TCustomForm::CanFocus() { return Visible() && Enabled(); }

void TCustomForm::SetFocus() {
  if (FActive) return;
  if (!Visible() || !Enabled()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  SetWindowFocus();
}

void TCustomForm::SetWindowFocus() {
  if (FActiveControl != nullptr && FActiveControl->CanFocus())
    ::SetFocus(FActiveControl->Handle());
  else if (FHandle != nullptr)
    ::SetFocus(FHandle);
}

void TCustomForm::SetActiveControl(TWinControl* Control) {
  if (Control != nullptr && (Control == this || !ContainsControl(Control) || !Control->CanFocus()))
    throw EInvalidOperation("Cannot focus a disabled or invisible window");
  FActiveControl = Control;
  if (FActive && Control != nullptr && !IsLoading()) SetWindowFocus();
}

void TCustomForm::FocusControl(TWinControl* Control) {
  const bool WasActive = FActive;
  SetActiveControl(Control);
  if (!WasActive) SetFocus();
}

bool TCustomForm::SetFocusedControl(TWinControl* Control) {
  if (IsDestroying()) return false;
  if (Control != this) FActiveControl = Control;
  if (Screen != nullptr) {
    Screen->SetActiveForm(this);
    Screen->SetActiveControl(Control);
  }
  // Inside a handler of a change under way the focus is where that change's handlers heard it.
  TFocusChange* Under = FFocusChange != nullptr && !FFocusChange->MovedOn ? FFocusChange : nullptr;
  TWinControl* Heard = Under != nullptr ? Under->Holder() : nullptr;
  TWinControl* From = Heard != nullptr ? Heard : FFocusedControl;
  if (From == Control && Under == nullptr) return true;
  for (TFocusChange* F = FFocusChange; F != nullptr; F = F->Outer) F->MovedOn = true;
  TFocusChange Change{Control, {}, {}, nullptr};
  TWinControl* C = From;
  for (; C != nullptr && C != this && !C->ContainsControl(Control); C = C->Parent()) Change.Exiting.push_back(C);
  for (TWinControl* P = Control; P != nullptr && P != C; P = P->Parent()) Change.Entering.push_back(P);
  std::reverse(Change.Entering.begin(), Change.Entering.end());
  Change.Base = C;
  Change.Outer = FFocusChange;
  FFocusChange = &Change;
  TScopeExit Done([&] {
    if (!Change.FormFreed) FFocusChange = Change.Outer;
  });
  FFocusedControl = Control;
  // Handlers may free any control of the change, the target or the form itself: the lists say
  // what is left.
  auto Tell = [&](std::vector<TWinControl*>& List, std::size_t& Told, UINT Msg) {
    for (; Told < List.size();) {
      TWinControl* X = List[Told++];
      if (X != nullptr) X->Perform(Msg, 0, 0);
      if (Change.FormFreed || Change.Target == nullptr || Change.MovedOn) return false;
    }
    return true;
  };
  const bool Whole = Tell(Change.Exiting, Change.Exited, CM_EXIT) && Tell(Change.Entering, Change.Entered, CM_ENTER);
  if (Change.FormFreed || Change.MovedOn) return false;
  if (!Whole) return !Change.TargetFreed;
  Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(Control));
  return true;
}

void TCustomForm::DefocusControl(TWinControl* Control, bool Removing) {
  if (Control == nullptr) return;
  if (Removing) {
    for (TFocusChange* F = FFocusChange; F != nullptr; F = F->Outer) {
      // The target of a change under way goes: the focus is left with the control that holds it
      // as the handlers heard, so that what was not entered hears no exit (unless a handler
      // moved the focus on: the later change left it where it went).
      const bool Target = F->Target != nullptr && Control->ContainsControl(F->Target);
      F->Leaves(Control);
      if (TWinControl* Holder = F->Holder(); Target && F == FFocusChange && !F->MovedOn && Holder != nullptr)
        FFocusedControl = Holder;
    }
  }
  if (Removing && Control->ContainsControl(FFocusedControl)) FFocusedControl = Control->Parent();
  // A control on its way out (a panel freeing what it owns) hears no exit any more.
  while (Removing && FFocusedControl != nullptr && FFocusedControl != this && FFocusedControl->IsDestroying())
    FFocusedControl = FFocusedControl->Parent();
  if (Control->ContainsControl(FActiveControl)) {
    FActiveControl = nullptr;
    if (Screen != nullptr && Screen->ActiveControl() != nullptr && Control->ContainsControl(Screen->ActiveControl()))
      Screen->SetActiveControl(nullptr);
    // The focus on the control or inside it goes to the form.
    const HWND Focus = KnownFocus();
    const bool HadFocus = Control->HandleAllocated() && Focus != nullptr &&
                          (Focus == Control->Handle() || IsChild(Control->Handle(), Focus));
    if (FActive && HadFocus && FHandle != nullptr && !IsDestroying()) ::SetFocus(FHandle);
  }
}

void TCustomForm::SetActive(bool Value) {
  FActive = Value;
  if (Value) {
    if (FActiveControl == nullptr) FActiveControl = FindNextControl(nullptr, true, true, false);
    if (Screen != nullptr) Screen->SetActiveForm(this);
    SetWindowFocus();
    Perform(CM_ACTIVATE, 0, 0);
    Perform(CM_UIACTIVATE, 0, 0);
  } else {
    Perform(CM_DEACTIVATE, 0, 0);
  }
}

void TCustomForm::WMActivate(TMessage& M) {
  DefaultHandler(M);
  if (FFormStyle != fsMDIForm) SetActive(LOWORD(M.WParam) != WA_INACTIVE);
}

void TCustomForm::CMActivate(TMessage& M) {
  FFormState.Include(fsActivated);
  Activate();
}

void TCustomForm::CMDeactivate(TMessage& M) { Deactivate(); }

void TCustomForm::WMSetFocus(TMessage& M) {
  if (FActiveControl != nullptr && FActiveControl != this && FActiveControl->CanFocus()) {
    ::SetFocus(FActiveControl->Handle());
    return;
  }
  TWinControl::WMSetFocus(M);
}

void TCustomForm::CMDialogKey(TMessage& M) {
  if (GetKeyState(VK_MENU) >= 0) {
    switch (M.WParam) {
      case VK_TAB:
        if (GetKeyState(VK_CONTROL) >= 0) {
          SelectNext(FActiveControl, GetKeyState(VK_SHIFT) >= 0, true);
          M.Result = 1;
          return;
        }
        break;
      case VK_LEFT:
      case VK_RIGHT:
      case VK_UP:
      case VK_DOWN:
        if (FActiveControl != nullptr && FActiveControl->Parent() != nullptr) {
          FActiveControl->Parent()->SelectNext(FActiveControl, M.WParam == VK_RIGHT || M.WParam == VK_DOWN, false);
          M.Result = 1;
          return;
        }
        break;
      default:
        break;
    }
  }
  TWinControl::CMDialogKey(M);
}

void TCustomForm::CMTextChanged(TMessage& M) { TWinControl::CMTextChanged(M); }

void TCustomForm::MouseWheelHandler(TMessage& M) {
  if (FFocusedControl != nullptr && FFocusedControl != this)
    M.Result = FFocusedControl->Perform(CM_MOUSEWHEEL, M.WParam, M.LParam);
  else
    M.Result = Perform(CM_MOUSEWHEEL, M.WParam, M.LParam);
}

// --- other messages

void TCustomForm::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case WM_ACTIVATE: WMActivate(M); break;
    case WM_CLOSE: WMClose(M); break;
    case WM_SYSCOMMAND: WMSysCommand(M); break;
    case WM_COMMAND: WMCommand(M); break;
    case WM_QUERYENDSESSION: WMQueryEndSession(M); break;
    case WM_INITMENUPOPUP:
      if (FMenu != nullptr && FormMenuHooks.DispatchPopup != nullptr &&
          FormMenuHooks.DispatchPopup(FMenu, reinterpret_cast<HMENU>(M.WParam)))
        return;
      DefaultHandler(M);
      break;
    case CM_ACTIVATE: CMActivate(M); break;
    case CM_DEACTIVATE: CMDeactivate(M); break;
    case CM_RELEASE: CMRelease(M); break;
    case CM_ICONCHANGED: CMIconChanged(M); break;
    case CM_MENUCHANGED: CMMenuChanged(M); break;
    case WM_MDIACTIVATE:
      TWinControl::Dispatch(M);
      MergeIntoMainMenu(reinterpret_cast<HWND>(M.LParam) == FHandle);
      break;
    default: TWinControl::Dispatch(M); break;
  }
}

void TCustomForm::DefaultHandler(TMessage& M) {
  if (FHandle != nullptr && FClientHandle != nullptr) {
    M.Result = DefFrameProcW(FHandle, FClientHandle, M.Msg, M.WParam, M.LParam);
    return;
  }
  TWinControl::DefaultHandler(M);
}

void TCustomForm::WMClose(TMessage& M) { Close(); }

void TCustomForm::WMSysCommand(TMessage& M) {
  if ((M.WParam & 0xFFF0) == SC_MINIMIZE && Application != nullptr && Application->MainForm() == this &&
      Parent() == nullptr) {
    Application->Minimize();
    M.Result = 0;
    return;
  }
  // A hidden form takes no change of its window state (its system menu may have been opened while
  // it was shown): the system would show the window behind the form's back.
  const WPARAM Command = M.WParam & 0xFFF0;
  const bool StateCommand = Command == SC_MINIMIZE || Command == SC_MAXIMIZE || Command == SC_RESTORE;
  if (StateCommand && !Showing() && Parent() == nullptr) {
    M.Result = 0;
    return;
  }
  DefaultHandler(M);
}

void TCustomForm::WMCommand(TMessage& M) {
  if (M.LParam == 0 && FMenu != nullptr && FormMenuHooks.DispatchCommand != nullptr &&
      FormMenuHooks.DispatchCommand(FMenu, LOWORD(M.WParam)))
    return;
  WMChildNotify(M);
}

void TCustomForm::WMQueryEndSession(TMessage& M) { M.Result = CloseQuery() ? 1 : 0; }

void TCustomForm::WMSize(TMessage& M) {
  if (Showing()) {
    switch (M.WParam) {
      case SIZE_MINIMIZED: FWindowState = wsMinimized; break;
      case SIZE_MAXIMIZED: FWindowState = wsMaximized; break;
      case SIZE_RESTORED: FWindowState = wsNormal; break;
      default: break;
    }
  }
  TWinControl::WMSize(M);
}

void TCustomForm::PaintWindow(HDC DC) {
  FCanvas->DrawInto(DC, [&] { Paint(); });
}

void TCustomForm::AlignControls(TControl* AControl, TRect& Rect) {
  TWinControl::AlignControls(AControl, Rect);
  if (FClientHandle != nullptr)
    SetWindowPos(FClientHandle, HWND_BOTTOM, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(),
                 SWP_NOACTIVATE | SWP_NOCOPYBITS);
}

// --- MDI

int TCustomForm::MDIChildCount() {
  int N = 0;
  if (FFormStyle == fsMDIForm && Screen != nullptr)
    for (int I = 0; I < Screen->FormCount(); ++I)
      if (Screen->Forms(I)->FormStyle() == fsMDIChild) ++N;
  return N;
}

TCustomForm* TCustomForm::MDIChildren(int Index) {
  if (FFormStyle == fsMDIForm && Screen != nullptr) {
    for (int I = 0; I < Screen->FormCount(); ++I) {
      TCustomForm* F = Screen->Forms(I);
      if (F->FormStyle() == fsMDIChild && Index-- == 0) return F;
    }
  }
  throw EListError(Format("List index out of bounds (%d)", Index));
}

TCustomForm* TCustomForm::ActiveMDIChild() {
  if (FClientHandle == nullptr) return nullptr;
  auto W = reinterpret_cast<HWND>(SendMessageW(FClientHandle, WM_MDIGETACTIVE, 0, 0));
  return dynamic_cast<TCustomForm*>(FindControl(W));
}

// ---------------------------------------------------------------------------------------------
// TScreen

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

TScreen::~TScreen() = default;

TCustomForm* TScreen::Forms(int Index) const {
  if (static_cast<unsigned>(Index) >= FForms.size()) throw EListError(Format("List index out of bounds (%d)", Index));
  return FForms[static_cast<unsigned>(Index)];
}

void TScreen::AddForm(TCustomForm* Form) { FForms.push_back(Form); }

void TScreen::RemoveForm(TCustomForm* Form) {
  FForms.erase(std::remove(FForms.begin(), FForms.end(), Form), FForms.end());
  if (FActiveForm == Form) FActiveForm = nullptr;
  if (FActiveControl != nullptr && GetParentForm(FActiveControl) == Form) FActiveControl = nullptr;
}

void TScreen::SetActiveForm(TCustomForm* Form) {
  if (FActiveForm == Form) return;
  FActiveForm = Form;
  if (OnActiveFormChange) OnActiveFormChange(this);
}

void TScreen::SetActiveControl(TWinControl* Control) {
  if (FActiveControl == Control) return;
  FActiveControl = Control;
  if (OnActiveControlChange) OnActiveControlChange(this);
}

HCURSOR TScreen::Cursors(TCursor Index) {
  for (const TCursorRec& R : FCursors)
    if (R.Id == Index) return R.Handle;
  LPCWSTR Id = nullptr;
  switch (Index) {
    case crNone: return nullptr;
    case crDefault:
    case crArrow: Id = SystemCursor(IDC_ARROW); break;
    case crCross: Id = SystemCursor(IDC_CROSS); break;
    case crIBeam: Id = SystemCursor(IDC_IBEAM); break;
    case crSizeNESW: Id = SystemCursor(IDC_SIZENESW); break;
    case crSizeNS:
    case crVSplit: Id = SystemCursor(IDC_SIZENS); break;
    case crSizeNWSE: Id = SystemCursor(IDC_SIZENWSE); break;
    case crSizeWE:
    case crHSplit: Id = SystemCursor(IDC_SIZEWE); break;
    case crUpArrow: Id = SystemCursor(IDC_UPARROW); break;
    case crHourGlass:
    case crSQLWait: Id = SystemCursor(IDC_WAIT); break;
    case crNo:
    case crNoDrop: Id = SystemCursor(IDC_NO); break;
    case crAppStart: Id = SystemCursor(IDC_APPSTARTING); break;
    case crHelp: Id = SystemCursor(IDC_HELP); break;
    case crHandPoint: Id = SystemCursor(IDC_HAND); break;
    case crSizeAll: Id = SystemCursor(IDC_SIZEALL); break;
    default: Id = SystemCursor(IDC_ARROW); break;
  }
  HCURSOR H = LoadCursorW(nullptr, Id);
  if (H == nullptr) H = LoadCursorW(nullptr, SystemCursor(IDC_ARROW));
  if (Index <= 0) FCursors.push_back(TCursorRec{Index, H});
  return H;
}

void TScreen::SetCursors(TCursor Index, HCURSOR Handle) {
  for (TCursorRec& R : FCursors) {
    if (R.Id == Index) {
      R.Handle = Handle;
      return;
    }
  }
  FCursors.push_back(TCursorRec{Index, Handle});
}

void TScreen::SetCursor(TCursor Value) {
  if (FCursor == Value) return;
  FCursor = Value;
  POINT P;
  GetCursorPos(&P);
  if (Value != crDefault) {
    ::SetCursor(Cursors(Value));
    return;
  }
  HWND W = WindowFromPoint(P);
  if (W != nullptr && GetWindowThreadProcessId(W, nullptr) == GetCurrentThreadId()) {
    LRESULT Hit = SendMessageW(W, WM_NCHITTEST, 0, MAKELPARAM(P.x, P.y));
    SendMessageW(W, WM_SETCURSOR, reinterpret_cast<WPARAM>(W), MAKELPARAM(Hit, WM_MOUSEMOVE));
  }
}

int TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }
int TScreen::PixelsPerInch() const { return TFont::ScreenPixelsPerInch(); }

TRect TScreen::WorkAreaRect() const {
  RECT R;
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &R, 0)) return Rect(0, 0, Width(), Height());
  return ToRect(R);
}

TRect TScreen::DesktopRect() const {
  const int L = GetSystemMetrics(SM_XVIRTUALSCREEN), T = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return Bounds(L, T, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

TMonitor* TScreen::MonitorOf(HMONITOR Handle) {
  if (Handle == nullptr) return nullptr;
  for (auto& M : FMonitors)
    if (M->Handle() == Handle) return M.get();
  FMonitors.push_back(std::make_unique<TMonitor>(Handle, static_cast<int>(FMonitors.size())));
  return FMonitors.back().get();
}

namespace {
BOOL CALLBACK MonitorEnumProc(HMONITOR H, HDC, LPRECT, LPARAM P) {
  reinterpret_cast<std::vector<HMONITOR>*>(P)->push_back(H);
  return TRUE;
}
}  // namespace

int TScreen::MonitorCount() {
  std::vector<HMONITOR> Found;
  EnumDisplayMonitors(nullptr, nullptr, MonitorEnumProc, reinterpret_cast<LPARAM>(&Found));
  for (HMONITOR H : Found) MonitorOf(H);
  return static_cast<int>(FMonitors.size());
}

TMonitor* TScreen::Monitors(int Index) {
  if (static_cast<unsigned>(Index) >= static_cast<unsigned>(MonitorCount()))
    throw EListError(Format("List index out of bounds (%d)", Index));
  return FMonitors[static_cast<unsigned>(Index)].get();
}

TMonitor* TScreen::MonitorFromWindow(HWND Window) {
  return MonitorOf(::MonitorFromWindow(Window, MONITOR_DEFAULTTONEAREST));
}

TMonitor* TScreen::MonitorFromPoint(TPoint P) {
  return MonitorOf(::MonitorFromPoint(POINT{P.X, P.Y}, MONITOR_DEFAULTTONEAREST));
}

TMonitor* TScreen::PrimaryMonitor() { return MonitorOf(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY)); }

void TScreen::ReadSystemFonts() {
  NONCLIENTMETRICSW NCM{};
  NCM.cbSize = sizeof(NCM);
  const bool HaveMetrics = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(NCM), &NCM, 0) != FALSE;
  FMenuFont = std::make_unique<TFont>();
  FHintFont = std::make_unique<TFont>();
  FIconFont = std::make_unique<TFont>();
  if (HaveMetrics) {
    FMenuFont->SetHandle(CreateFontIndirectW(&NCM.lfMenuFont));
    FHintFont->SetHandle(CreateFontIndirectW(&NCM.lfStatusFont));
  }
  FHintFont->SetColor(clInfoText);
  FMenuFont->SetColor(clMenuText);
  LOGFONTW LF{};
  if (SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(LF), &LF, 0)) FIconFont->SetHandle(CreateFontIndirectW(&LF));
}

TFont* TScreen::MenuFont() {
  if (!FMenuFont) ReadSystemFonts();
  return FMenuFont.get();
}

TFont* TScreen::HintFont() {
  if (!FHintFont) ReadSystemFonts();
  return FHintFont.get();
}

TFont* TScreen::IconFont() {
  if (!FIconFont) ReadSystemFonts();
  return FIconFont.get();
}
