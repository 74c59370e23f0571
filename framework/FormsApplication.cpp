// The application object: its window, the message loop, exceptions and message boxes. Part of
// the forms unit.
#include "framework/Forms.h"

#include <algorithm>
#include <new>

#include "framework/Dialogs.h"
#include "framework/FormsInternal.h"
#include "framework/Menus.h"
#include "framework/Scopes.h"
#include "framework/Strings.h"

using namespace formsimpl;

TApplication* Application = nullptr;

namespace {

// The application object and the screen exist for the whole life of the program.
struct TGlobalObjects {
  TGlobalObjects() {
    Application = new TApplication(nullptr);
    Screen = new TScreen(nullptr);
  }
  ~TGlobalObjects() {
    TApplication* A = Application;
    TScreen* S = Screen;
    try {
      delete A;
    } catch (...) {
    }
    Application = nullptr;
    try {
      delete S;
    } catch (...) {
    }
    Screen = nullptr;
  }
} GlobalObjects;

LPCWSTR ApplicationProp() {
  static const ATOM Atom = GlobalAddAtomW(L"TvFrameworkApplication");
  return reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(Atom));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TApplication

LRESULT CALLBACK ApplicationWindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* App = static_cast<TApplication*>(GetPropW(Window, ApplicationProp()));
  if (App == nullptr) return DefWindowProcW(Window, Msg, WParam, LParam);
  TMessage M{Msg, WParam, LParam, 0};
  try {
    App->WndProc(M);
  } catch (...) {
    try {
      App->HandleException(App);
    } catch (...) {
    }
  }
  return M.Result;
}

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {
  MessageBoxProc = ShowSystemMessageBox;
}

TApplication::~TApplication() {
  Destroying();
  CancelHint();
  DestroyComponents();
  if (FHandle != nullptr) {
    RemovePropW(FHandle, ApplicationProp());
    DestroyWindow(FHandle);
    FHandle = nullptr;
  }
}

void TApplication::Initialize() { Handle(); }

HWND TApplication::Handle() {
  if (FHandle != nullptr) return FHandle;
  HINSTANCE Instance = ModuleInstance();
  const WideString ClassName = AnsiToWide(this->ClassName());
  WNDCLASSEXW WC{};
  WC.cbSize = sizeof(WC);
  if (!GetClassInfoExW(Instance, ClassName.c_str(), &WC)) {
    WC = WNDCLASSEXW{};
    WC.cbSize = sizeof(WC);
    WC.lpfnWndProc = ApplicationWindowProc;
    WC.hInstance = Instance;
    WC.hIcon = LoadIconW(Instance, L"MAINICON");
    if (WC.hIcon == nullptr) WC.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    WC.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
    WC.lpszClassName = ClassName.c_str();
    if (RegisterClassExW(&WC) == 0) throw EOSError("Cannot register the application window class");
  }
  const int X = GetSystemMetrics(SM_CXSCREEN) / 2, Y = GetSystemMetrics(SM_CYSCREEN) / 2;
  HWND W = CreateWindowExW(0, ClassName.c_str(), Title().c_str(),
                           WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, X, Y, 0, 0,
                           nullptr, nullptr, Instance, nullptr);
  if (W == nullptr) throw EOSError("Cannot create the application window");
  SetPropW(W, ApplicationProp(), this);
  FHandle = W;
  return FHandle;
}

AnsiString TApplication::ExeName() const {
  std::vector<wchar_t> Buffer(MAX_PATH);
  for (;;) {
    DWORD N = GetModuleFileNameW(nullptr, Buffer.data(), static_cast<DWORD>(Buffer.size()));
    if (N < Buffer.size()) return WideToAnsi(WideString(Buffer.data(), N));
    Buffer.resize(Buffer.size() * 2);
  }
}

WideString TApplication::Title() const {
  if (FTitleSet) return FTitle;
  return AnsiToWide(ChangeFileExt(ExtractFileName(ExeName()), ""));
}

void TApplication::SetTitle(const WideString& Value) {
  FTitle = Value;
  FTitleSet = true;
  if (FHandle != nullptr) SetWindowTextW(FHandle, Value.c_str());
}

void TApplication::FormCreated(TComponent* Instance, bool First) {
  auto* Form = dynamic_cast<TCustomForm*>(Instance);
  if (Form == nullptr) return;
  Form->AfterConstruction();
  // The first form created is the main form (also when its OnCreate created other forms).
  if (First) {
    FMainForm = Form;
    Form->HandleNeeded();
  }
}

void TApplication::Run() {
  FTerminated = false;
  if (FMainForm == nullptr) return;
  try {
    ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    if (FMainForm->WindowState() == wsMinimized)
      Minimize();
    else
      FMainForm->SetVisible(true);
  } catch (...) {
    HandleException(this);
  }
  while (!FTerminated) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  }
}

bool TApplication::IsKeyMsg(MSG& Msg) {
  if (Msg.message < WM_KEYFIRST || Msg.message > WM_KEYLAST) return false;
  HWND W = GetCapture();
  if (W == nullptr || FindControl(W) == nullptr) {
    W = Msg.hwnd;
    if (FMainForm != nullptr && FMainForm->ClientHandle() != nullptr && W == FMainForm->ClientHandle())
      W = FMainForm->Handle();
    while (W != nullptr && FindControl(W) == nullptr) W = GetParent(W);
  }
  if (W == nullptr) return false;
  return SendMessageW(W, CN_BASE + Msg.message, Msg.wParam, Msg.lParam) != 0;
}

bool TApplication::ProcessMessage(MSG& Msg) {
  ReleasePendingMenus();
  if (!PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (Msg.message == WM_QUIT) {
    FTerminated = true;
    ++FQuitCount;
    return true;
  }
  bool Handled = false;
  if (OnMessage) OnMessage(Msg, Handled);
  if (Handled) return true;
  if (FHintActive && FHintWindow != nullptr && FHintWindow->IsHintMsg(Msg)) CancelHint();
  if (Msg.message == WM_MOUSEMOVE) {
    // The pointer moved to another window: the one it left hears so at once (the system's own
    // leave notice may come later or, when the pointer is moved by a program, not at all).
    if (Msg.hwnd != FMouseWindow) {
      HWND Old = FMouseWindow;
      FMouseWindow = Msg.hwnd;
      if (Old != nullptr && IsWindow(Old) && FindControl(Old) != nullptr) SendMessageW(Old, WM_MOUSELEAVE, 0, 0);
    }
    HintMouseMessage(FindControl(Msg.hwnd), Msg);
  } else if (Msg.message == WM_MOUSELEAVE && Msg.hwnd == FMouseWindow) {
    FMouseWindow = nullptr;
  }
  if (IsKeyMsg(Msg)) return true;
  TranslateMessage(&Msg);
  DispatchMessageW(&Msg);
  return true;
}

void TApplication::ProcessMessages() {
  MSG Msg;
  while (ProcessMessage(Msg)) {
  }
}

void TApplication::Idle() {
  if (OnIdle) OnIdle(this);
  if (!FTerminated) WaitMessage();
}

void TApplication::HandleMessage() {
  MSG Msg;
  if (!ProcessMessage(Msg)) Idle();
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::DestroyForms() {
  CancelHint();
  DestroyComponents();
  FMainForm = nullptr;
}

void TApplication::Minimize() {
  HWND W = Handle();
  if (IsIconic(W)) return;
  if (!IsWindowVisible(W)) ShowWindow(W, SW_SHOWNOACTIVATE);
  ShowWindow(W, SW_MINIMIZE);
  if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
  HWND W = Handle();
  if (!IsIconic(W)) return;
  ShowWindow(W, SW_RESTORE);
  if (FMainForm != nullptr && FMainForm->Showing()) SetForegroundWindow(FMainForm->Handle());
  if (OnRestore) OnRestore(this);
}

void TApplication::BringToFront() {
  TCustomForm* F = Screen != nullptr && Screen->ActiveForm() != nullptr ? Screen->ActiveForm() : FMainForm;
  if (F != nullptr && F->HandleAllocated()) SetForegroundWindow(F->Handle());
}

void TApplication::WndProc(TMessage& M) {
  // The hooks see the message first, the newest one first.
  std::vector<THook> Hooks(FHooks);
  for (auto It = Hooks.rbegin(); It != Hooks.rend(); ++It)
    if (It->Proc && It->Proc(M)) return;
  switch (M.Msg) {
    case WM_CLOSE:
      if (FMainForm != nullptr) FMainForm->Close();
      return;
    case WM_SYSCOMMAND:
      switch (M.WParam & 0xFFF0) {
        case SC_MINIMIZE: Minimize(); return;
        case SC_RESTORE: Restore(); return;
        default: break;
      }
      break;
    case WM_ACTIVATEAPP:
      M.Result = DefWindowProcW(FHandle, M.Msg, M.WParam, M.LParam);
      FActive = M.WParam != 0;
      if (!FActive) CancelHint();
      PostMessageW(FHandle, FActive ? CM_ACTIVATE : CM_DEACTIVATE, 0, 0);
      return;
    case CM_ACTIVATE:
      if (OnActivate) OnActivate(this);
      return;
    case CM_DEACTIVATE:
      if (OnDeactivate) OnDeactivate(this);
      return;
    case WM_TIMER:
      if (M.WParam == HintTimerId) {
        HintTimerExpired();
        return;
      }
      break;
    case WM_SETFOCUS: {
      TCustomForm* F = Screen != nullptr && Screen->ActiveForm() != nullptr ? Screen->ActiveForm() : FMainForm;
      if (F != nullptr && F->Showing() && F->Enabled()) {
        ::SetFocus(F->Handle());
        return;
      }
      break;
    }
    case WM_QUERYENDSESSION:
      M.Result = FMainForm == nullptr || FMainForm->CloseQuery() ? 1 : 0;
      return;
    case WM_ENDSESSION:
      if (M.WParam != 0) Terminate();
      return;
    default:
      break;
  }
  M.Result = DefWindowProcW(FHandle, M.Msg, M.WParam, M.LParam);
}

int TApplication::HookMainWindow(TWindowHook Hook) {
  const int Id = FNextHookId++;
  FHooks.push_back(THook{Id, std::move(Hook)});
  return Id;
}

void TApplication::UnhookMainWindow(int HookId) {
  FHooks.erase(std::remove_if(FHooks.begin(), FHooks.end(), [&](const THook& H) { return H.Id == HookId; }),
               FHooks.end());
}

void TApplication::ModalStarted() {
  ++FModalLevel;
  if (FModalLevel == 1 && OnModalBegin) OnModalBegin(this);
}

void TApplication::ModalFinished() {
  if (FModalLevel > 0) --FModalLevel;
  if (FModalLevel == 0 && OnModalEnd) OnModalEnd(this);
}

// --- exceptions and message boxes

AnsiString TApplication::ErrorBoxText(const AnsiString& Message) {
  if (!Message.empty() && static_cast<unsigned char>(Message.back()) > static_cast<unsigned char>('.'))
    return Message + ".";
  return Message;
}

void TApplication::HandleException(TObject* Sender) { HandleException(Sender, std::current_exception()); }

void TApplication::HandleException(TObject* Sender, std::exception_ptr Error) {
  if (!Error) return;
  // The end of a freed control's handling that reached a catch of every error: nothing to show.
  try {
    std::rethrow_exception(Error);
  } catch (const TControlFreed&) {
    return;
  } catch (...) {
  }
  if (GetCapture() != nullptr) SendMessageW(GetCapture(), WM_CANCELMODE, 0, 0);
  auto Report = [&](Exception& E) {
    if (OnException)
      OnException(Sender, E);
    else
      ShowException(E);
  };
  try {
    std::rethrow_exception(Error);
  } catch (EAbort&) {
  } catch (Exception& E) {
    Report(E);
  } catch (std::bad_alloc&) {
    EOutOfMemory X(SOutOfMemory);
    Report(X);
  } catch (std::exception& E) {
    Exception X(E.what());
    Report(X);
  } catch (...) {
    Exception X("Unknown exception");
    Report(X);
  }
}

void TApplication::ShowException(Exception& E) { ShowExceptionMessage(E.Message); }

void TApplication::ShowExceptionMessage(const AnsiString& Message) {
  const AnsiString Text = ErrorBoxText(Message);
  if (FErrorBoxShowing) {
    if (Text == FErrorShown || std::find(FWaitingErrors.begin(), FWaitingErrors.end(), Text) != FWaitingErrors.end())
      return;
    if (FWaitingErrors.size() < MaxWaitingErrors)
      FWaitingErrors.push_back(Text);
    else
      ++FErrorsNotShown;
    return;
  }
  TFlagScope Showing(FErrorBoxShowing);
  TScopeExit Closed([this] {
    FErrorShown.clear();
    FWaitingErrors.clear();
    FErrorsNotShown = 0;
    FHeldTimers.clear();
  });
  FErrorShown = Text;
  for (;;) {
    MessageBox(AnsiToWide(FErrorShown), Title(), MB_OK | MB_ICONSTOP);
    if (!FWaitingErrors.empty()) {
      FErrorShown = FWaitingErrors.front();
      FWaitingErrors.erase(FWaitingErrors.begin());
    } else if (FErrorsNotShown > 0) {
      FErrorShown = Format("%d more errors occurred while the error box was shown.", FErrorsNotShown);
      FErrorsNotShown = 0;
    } else {
      break;
    }
  }
}

void TApplication::HandleTimerException(TObject* Sender, HWND Window, UINT_PTR TimerId) {
  const std::pair<HWND, UINT_PTR> Timer{Window, TimerId};
  FHeldTimers.push_back(Timer);
  // Shown and closed, or no box at all: the timer runs on. Waiting behind another box: it stays
  // held until the boxes are closed.
  TScopeExit Release([&] {
    if (!FErrorBoxShowing) FHeldTimers.erase(std::remove(FHeldTimers.begin(), FHeldTimers.end(), Timer), FHeldTimers.end());
  });
  HandleException(Sender);
}

bool TApplication::TimerHeld(HWND Window, UINT_PTR TimerId) const {
  return std::find(FHeldTimers.begin(), FHeldTimers.end(), std::pair<HWND, UINT_PTR>{Window, TimerId}) !=
         FHeldTimers.end();
}

int TApplication::MessageBox(const WideString& Text, const WideString& Caption, UINT Flags) {
  HWND Owner = GetActiveWindow();
  if (Owner == nullptr) Owner = Handle();
  if (!MessageBoxProc) return 0;
  return MessageBoxProc(Owner, Text, Caption.empty() ? Title() : Caption, Flags);
}

int TApplication::MessageBox(const AnsiString& Text, const AnsiString& Caption, UINT Flags) {
  return MessageBox(AnsiToWide(Text), AnsiToWide(Caption), Flags);
}

void TApplication::ControlDestroyed(TControl* Control) {
  if (Control == nullptr) return;
  if (Control == FMainForm) FMainForm = nullptr;
  if (Control == FHintControl) CancelHint();
  if (Control == FHintWindow) {
    FHintWindow = nullptr;
    FHintActive = false;
  }
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == static_cast<TComponent*>(FMainForm)) FMainForm = nullptr;
  if (AComponent == static_cast<TComponent*>(FHintWindow)) {
    FHintWindow = nullptr;
    FHintActive = false;
  }
}
