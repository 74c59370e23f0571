// Forms, the screen and the application object. Win32.
//
//  - TCustomForm / TForm: a top-level window (or an MDI child) holding controls; its window
//    class is named after its C++ class, so "TForm1" for class TForm1.
//  - TScreen (global Screen): the forms, the active form and control, the cursor table, the
//    work area, the monitors and the system fonts.
//  - TApplication (global Application): the hidden application window, the message loop, the
//    main form, the handling of exceptions that leave event handlers, hints and message boxes.
//
// Creating a form. A form class sets itself up the way a stored form description would: it
// creates its components in their stored order and applies their properties in that order while
// the form is loading (csLoading), in an override of InitializeComponents (or in its
// constructor). A form is created through Application->CreateForm(Variable) or
// TCustomForm::Create<T>(Owner), which construct it and then run AfterConstruction: loading
// (InitializeComponents), Loaded on the form and every component it owns, then OnCreate, whose
// exceptions go to Application->HandleException while the form goes on to exist.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include "framework/Controls.h"

class TMainMenu;  // the menus unit defines it
class TApplication;
class TScreen;

enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TPosition {
  poDesigned,         // Left and Top as set
  poDefault,          // position and size chosen by the system
  poDefaultPosOnly,   // position chosen by the system
  poDefaultSizeOnly,  // size chosen by the system
  poScreenCenter,     // centred on the work area of the primary monitor
  poDesktopCenter,    // centred on the whole desktop
  poMainFormCenter,   // centred on the main form (the screen for the main form itself)
  poOwnerFormCenter,  // centred on the owning form (the main form when the owner is none)
};
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormStateItem { fsCreating, fsVisible, fsShowing, fsModal, fsCreatedMDIChild, fsActivated };
using TFormState = TSet<TFormStateItem>;

using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = IDOK;
inline constexpr TModalResult mrCancel = IDCANCEL;
inline constexpr TModalResult mrAbort = IDABORT;
inline constexpr TModalResult mrRetry = IDRETRY;
inline constexpr TModalResult mrIgnore = IDIGNORE;
inline constexpr TModalResult mrYes = IDYES;
inline constexpr TModalResult mrNo = IDNO;
inline constexpr TModalResult mrAll = mrNo + 1;
inline constexpr TModalResult mrNoToAll = mrAll + 1;
inline constexpr TModalResult mrYesToAll = mrNoToAll + 1;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// One display monitor.
class TMonitor : public TObject {
  T_CLASS(TMonitor, TObject)

 public:
  explicit TMonitor(HMONITOR Handle, int Num) : FHandle(Handle), FMonitorNum(Num) {}
  HMONITOR Handle() const { return FHandle; }
  int MonitorNum() const { return FMonitorNum; }
  bool Primary() const;
  TRect BoundsRect() const;
  TRect WorkareaRect() const;
  int Left() const { return BoundsRect().Left; }
  int Top() const { return BoundsRect().Top; }
  int Width() const { return BoundsRect().Width(); }
  int Height() const { return BoundsRect().Height(); }

 private:
  HMONITOR FHandle;
  int FMonitorNum;
};

// ---------------------------------------------------------------------------------------------
// TCustomForm

class TCustomForm : public TWinControl {
  T_CLASS(TCustomForm, TWinControl)
  friend class TApplication;
  friend class TScreen;

 public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  // Creates a form of class T owned by AOwner and runs AfterConstruction.
  template <class T>
  static T* Create(TComponent* AOwner) {
    static_assert(std::is_base_of_v<TCustomForm, T>, "Create makes forms");
    T* Form = new T(AOwner);
    Form->AfterConstruction();
    return Form;
  }
  // Loads the form (csLoading, InitializeComponents, Loaded on the form and on every component
  // it owns) and fires OnCreate. Runs once; the factories call it.
  void AfterConstruction();

  // --- appearance; changing a style of a form that has a window recreates the window
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons Value);
  TFormStyle FormStyle() const { return FFormStyle; }
  void SetFormStyle(TFormStyle Value);
  TWindowState WindowState() const { return FWindowState; }
  void SetWindowState(TWindowState Value);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition Value) { FPosition = Value; }
  // The icon of the window (empty: the application's).
  TIcon* Icon() const { return FIcon.get(); }
  void SetIcon(TIcon* Value);
  TMainMenu* Menu() const { return FMenu; }
  void SetMenu(TMainMenu* Value);
  bool AlphaBlend() const { return FAlphaBlend; }
  void SetAlphaBlend(bool Value);
  Byte AlphaBlendValue() const { return FAlphaBlendValue; }
  void SetAlphaBlendValue(Byte Value);
  // Keys go to the form's OnKeyDown / OnKeyUp / OnKeyPress before the focused control's.
  bool KeyPreview() const { return FKeyPreview; }
  void SetKeyPreview(bool Value) { FKeyPreview = Value; }
  // A canvas on the form's client area (drawing into the paint DC during OnPaint).
  TCanvas* Canvas() const { return FCanvas.get(); }
  // The monitor showing most of the form.
  TMonitor* Monitor();

  // --- state
  bool Active() const { return FActive; }
  TFormState FormState() const { return FFormState; }
  // The control that has, or gets on activation, the focus. SetActiveControl focuses it now
  // when the form is active. EInvalidOperation "Cannot focus a disabled or invisible window".
  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* Control);
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }

  // --- showing and closing
  void Show();
  void Hide() { SetVisible(false); }
  // Shows the form modally: the program's other windows are disabled until ModalResult is set
  // (Close sets mrCancel) or the application terminates; returns ModalResult.
  // EInvalidOperation "Cannot make a visible window modal" for a visible or disabled form, or
  // a form that is already modal or an MDI child.
  TModalResult ShowModal();
  // Asks OnCloseQuery; then OnClose decides what closing does (caHide by default; closing the
  // main form ends the application). A modal form only sets ModalResult to mrCancel.
  void Close();
  // OnCloseQuery (the MDI children's first); true when the form may close.
  virtual bool CloseQuery();
  // Frees the form once the messages that are waiting have been handled (posts CM_RELEASE).
  void Release();
  // Moves the focus to Control (activating the form when needed).
  void FocusControl(TWinControl* Control);
  // Tells the form that Control received the focus: CM_EXIT / CM_ENTER along the controls
  // that lose and gain it, CM_FOCUSCHANGED to every control. Returns false when it refused, when
  // a handler freed Control or the form meanwhile (nothing of them may be touched then), and when
  // a handler moved the focus on (Control no longer has it).
  // A control that a handler frees, or takes out of the form, hears nothing more of the change;
  // when Control goes, the change stops there. A handler that moves the focus on starts from
  // where the handlers heard the focus last, and the change under way stops there.
  virtual bool SetFocusedControl(TWinControl* Control);
  // The form forgets Control as its focused or active control (it is going away or hiding).
  void DefocusControl(TWinControl* Control, bool Removing);

  // --- MDI
  // The MDI client window of an MDI form (0 for other forms).
  HWND ClientHandle() const { return FClientHandle; }
  int MDIChildCount();
  TCustomForm* MDIChildren(int Index);
  TCustomForm* ActiveMDIChild();

  bool CanFocus() override;
  void SetFocus() override;
  TRect ClientRect() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Loaded() override;

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnPaint;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

 protected:
  // Creates the form's components and applies their properties (stored order), see the notes
  // at the top of this file.
  virtual void InitializeComponents() {}
  virtual void DoCreate();
  virtual void DoDestroy();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& Action);
  virtual void Activate();
  virtual void Deactivate();
  virtual void Paint();

  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void CreateWindowHandle(const TCreateParams& Params) override;
  void DestroyWindowHandle() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;
  void PaintWindow(HDC DC) override;
  void AlignControls(TControl* AControl, TRect& Rect) override;

  virtual void WMActivate(TMessage& Message);
  virtual void WMClose(TMessage& Message);
  virtual void WMSysCommand(TMessage& Message);
  virtual void WMCommand(TMessage& Message);
  virtual void WMQueryEndSession(TMessage& Message);
  void WMSize(TMessage& Message) override;
  void WMSetFocus(TMessage& Message) override;
  virtual void CMActivate(TMessage& Message);
  virtual void CMDeactivate(TMessage& Message);
  virtual void CMRelease(TMessage& Message);
  void CMShowingChanged(TMessage& Message) override;
  void CMDialogKey(TMessage& Message) override;
  void CMTextChanged(TMessage& Message) override;
  virtual void CMIconChanged(TMessage& Message);
  virtual void CMMenuChanged(TMessage& Message);
  // An MDI child's menu shown in the main form's menu bar (On), or taken out of it.
  void MergeIntoMainMenu(bool On);

  void MouseWheelHandler(TMessage& Message) override;

 private:
  struct TFocusChange;
  void SetActive(bool Value);
  void FormStyles(DWORD& Style, DWORD& ExStyle);
  void CloseModal();
  void SetWindowFocus();
  void RecreateForStyle();
  void ApplyPosition();
  void UpdateWindowIcon();
  void UpdateMenu();
  void UpdateAlphaBlend();
  HWND OwnerWindow();

  TFormBorderStyle FBorderStyle = bsSizeable;
  TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
  TFormStyle FFormStyle = fsNormal;
  TWindowState FWindowState = wsNormal;
  TPosition FPosition = poDesigned;
  std::unique_ptr<TIcon> FIcon;
  TMainMenu* FMenu = nullptr;
  bool FAlphaBlend = false;
  Byte FAlphaBlendValue = 255;
  bool FKeyPreview = false;
  std::unique_ptr<TControlCanvas> FCanvas;
  bool FActive = false;
  TFormState FFormState;
  TWinControl* FActiveControl = nullptr;
  TWinControl* FFocusedControl = nullptr;
  // The focus changes under way (the innermost first), whose handlers may free their controls.
  TFocusChange* FFocusChange = nullptr;
  TModalResult FModalResult = mrNone;
  bool FConstructed = false;
  bool FPositioned = false;
  HWND FClientHandle = nullptr;
  std::unique_ptr<TMonitor> FMonitor;
};

class TForm : public TCustomForm {
  T_CLASS(TForm, TCustomForm)

 public:
  using TCustomForm::TCustomForm;
};

// ---------------------------------------------------------------------------------------------
// TScreen

class TScreen : public TComponent {
  T_CLASS(TScreen, TComponent)
  friend class TCustomForm;

 public:
  explicit TScreen(TComponent* AOwner);
  ~TScreen() override;

  // The forms that exist, in creation order.
  int FormCount() const { return static_cast<int>(FForms.size()); }
  TCustomForm* Forms(int Index) const;
  int CustomFormCount() const { return FormCount(); }
  TCustomForm* CustomForms(int Index) const { return Forms(Index); }
  TCustomForm* ActiveForm() const { return FActiveForm; }
  TCustomForm* ActiveCustomForm() const { return FActiveForm; }
  TWinControl* ActiveControl() const { return FActiveControl; }

  // The cursor table: the standard cursors (crArrow, crIBeam ... with crDefault as the arrow)
  // and the ones the program registers (positive ids). An unknown id gives the default cursor.
  HCURSOR Cursors(TCursor Index);
  // Registers (or replaces) a cursor under an id; the handle stays the caller's.
  void SetCursors(TCursor Index, HCURSOR Handle);
  // A cursor shown over every window of the program (crDefault: each control's own).
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value);

  int Width() const;
  int Height() const;
  int PixelsPerInch() const;
  // The work area of the primary monitor (the screen without the task bar).
  TRect WorkAreaRect() const;
  int WorkAreaLeft() const { return WorkAreaRect().Left; }
  int WorkAreaTop() const { return WorkAreaRect().Top; }
  int WorkAreaWidth() const { return WorkAreaRect().Width(); }
  int WorkAreaHeight() const { return WorkAreaRect().Height(); }
  // The bounds of the whole desktop (all monitors).
  TRect DesktopRect() const;

  int MonitorCount();
  TMonitor* Monitors(int Index);
  TMonitor* MonitorFromWindow(HWND Window);
  TMonitor* MonitorFromPoint(TPoint P);
  TMonitor* PrimaryMonitor();

  // The system's fonts (menus, hints, icon titles), read on first use.
  TFont* MenuFont();
  TFont* HintFont();
  TFont* IconFont();

  TNotifyEvent OnActiveFormChange;
  TNotifyEvent OnActiveControlChange;

  // A windowed control is going away: the screen forgets it as its active control.
  void ControlDestroying(TWinControl* Control) {
    if (FActiveControl == Control) FActiveControl = nullptr;
  }

 private:
  void AddForm(TCustomForm* Form);
  void RemoveForm(TCustomForm* Form);
  void SetActiveForm(TCustomForm* Form);
  void SetActiveControl(TWinControl* Control);
  void ReadSystemFonts();
  TMonitor* MonitorOf(HMONITOR Handle);

  std::vector<TCustomForm*> FForms;
  TCustomForm* FActiveForm = nullptr;
  TWinControl* FActiveControl = nullptr;
  struct TCursorRec {
    TCursor Id;
    HCURSOR Handle;
  };
  std::vector<TCursorRec> FCursors;
  TCursor FCursor = crDefault;
  std::vector<std::unique_ptr<TMonitor>> FMonitors;
  std::unique_ptr<TFont> FMenuFont;
  std::unique_ptr<TFont> FHintFont;
  std::unique_ptr<TFont> FIconFont;
};

// ---------------------------------------------------------------------------------------------
// TApplication

// A hook of the application window: sees each message first; true means handled (the
// application does nothing more with it).
using TWindowHook = std::function<bool(TMessage& Message)>;
using TMessageEvent = std::function<void(MSG& Msg, bool& Handled)>;
using TExceptionEvent = std::function<void(TObject* Sender, Exception& E)>;
using TShowHintEvent = std::function<void(WideString& HintStr, bool& CanShow, THintInfo& HintInfo)>;
// A message box routine: returns the button pressed (IDOK ...).
using TMessageBoxProc = std::function<int(HWND Owner, const WideString& Text, const WideString& Caption, UINT Flags)>;

class TApplication : public TComponent {
  T_CLASS(TApplication, TComponent)
  friend class TCustomForm;

 public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  void Initialize();
  // Creates a form (or any component) of class T owned by the application. Reference is
  // assigned the new object's address before its constructor runs; a form is then loaded and its
  // OnCreate fired (AfterConstruction). The first form created becomes the main form. When the
  // constructor or the loading raises, the object is freed, Reference becomes nullptr and the
  // exception goes on (an exception of OnCreate is only reported).
  template <class T>
  void CreateForm(T*& Reference);
  // Shows the main form and handles messages until the application terminates.
  void Run();
  // Handles every message that is waiting, then returns.
  void ProcessMessages();
  // Handles one message, or waits for one (after the idle work) when none is waiting.
  void HandleMessage();
  // Ends the message loop (posts WM_QUIT).
  void Terminate();
  // Frees the forms and every other component the application owns (the last created first). A
  // program calls it when its message loop has ended, while the units its forms use still work;
  // the application object itself lives on until the program's static destruction.
  void DestroyForms();
  bool Terminated() const { return FTerminated; }

  // The hidden application window (created on first use). It owns the forms' windows, carries
  // the program's title and taskbar button, and receives the application's notifications.
  HWND Handle();
  TCustomForm* MainForm() const { return FMainForm; }
  // The title: the executable's name without extension unless set.
  WideString Title() const;
  void SetTitle(const WideString& Value);
  // The executable's full path.
  AnsiString ExeName() const;
  // The application has the focus (one of its windows is the active window).
  bool Active() const { return FActive; }
  void Minimize();
  void Restore();
  void BringToFront();

  // --- exceptions
  // Handles the exception being caught (call it inside a catch block): OnException when set,
  // otherwise the error box (ShowException). EAbort is dropped silently; std::bad_alloc is
  // reported as EOutOfMemory "Out of memory".
  void HandleException(TObject* Sender);
  void HandleException(TObject* Sender, std::exception_ptr Error);
  // The standard error box: the message (see ErrorBoxText), the title as caption, a stop icon
  // and an OK button.
  void ShowException(Exception& E);
  // The text of the error box: the message with a period appended when its last character
  // sorts after '.' (so "File not found" gets one, "Done." and "Stop!" do not).
  static AnsiString ErrorBoxText(const AnsiString& Message);
  // One error box at a time: while one is up (its loop may run handlers that fail again), a
  // failure whose text the box shows, or that is waiting already, is dropped; another waits
  // (up to MaxWaitingErrors of them) and gets its box after the one shown is closed, in turn;
  // the failures beyond those are counted, and a last box tells how many there were.
  static constexpr std::size_t MaxWaitingErrors = 8;
  bool ErrorBoxShowing() const { return FErrorBoxShowing; }
  // A failure of the handler of a timer (WM_TIMER TimerId of Window), called inside the catch
  // block: it goes to HandleException, and the timer is held (TimerHeld answers true, and its
  // ticks are to be dropped) until the error boxes are closed.
  void HandleTimerException(TObject* Sender, HWND Window, UINT_PTR TimerId);
  bool TimerHeld(HWND Window, UINT_PTR TimerId) const;

  // --- message boxes
  // The routine that shows message boxes and error boxes (MessageBoxW by default); tests and
  // skins replace it.
  TMessageBoxProc MessageBoxProc;
  // A message box owned by the active window (the application window when none); the
  // application's other windows are disabled meanwhile. Caption empty: the title.
  int MessageBox(const WideString& Text, const WideString& Caption, UINT Flags = MB_OK);
  int MessageBox(const AnsiString& Text, const AnsiString& Caption, UINT Flags = MB_OK);

  // --- application window hooks
  // Installs a hook of the application window (see TWindowHook). The newest hook sees a
  // message first. Returns an id for UnhookMainWindow.
  int HookMainWindow(TWindowHook Hook);
  void UnhookMainWindow(int HookId);

  // --- modal windows
  void ModalStarted();
  void ModalFinished();
  int ModalLevel() const { return FModalLevel; }

  // --- hints
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value);
  TColor HintColor() const { return FHintColor; }
  void SetHintColor(TColor Value) { FHintColor = Value; }
  // Milliseconds: until a hint shows, until the next control's hint shows while one is shown,
  // and until a shown hint hides.
  int HintPause() const { return FHintPause; }
  void SetHintPause(int Value) { FHintPause = Value; }
  int HintShortPause() const { return FHintShortPause; }
  void SetHintShortPause(int Value) { FHintShortPause = Value; }
  int HintHidePause() const { return FHintHidePause; }
  void SetHintHidePause(int Value) { FHintHidePause = Value; }
  // The long hint of the control under the pointer (OnHint fires when it changes).
  const WideString& Hint() const { return FHint; }
  void SetHint(const WideString& Value);
  // Shows the hint of the control under a screen point now (the pause skipped).
  void ActivateHint(TPoint CursorPos);
  void CancelHint();
  // The window showing the current hint (nullptr when none has been made).
  THintWindow* HintWindow() const { return FHintWindow; }
  // The control whose hint is shown or pending.
  TControl* HintControl() const { return FHintControl; }

  // --- events
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnIdle;
  TNotifyEvent OnHint;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;
  TNotifyEvent OnModalBegin;
  TNotifyEvent OnModalEnd;
  TMessageEvent OnMessage;
  TExceptionEvent OnException;
  TShowHintEvent OnShowHint;

  void Notification(TComponent* AComponent, TOperation Operation) override;

  // Called by a control that is going away: the application forgets it.
  void ControlDestroyed(TControl* Control);

 private:
  friend LRESULT CALLBACK ApplicationWindowProc(HWND, UINT, WPARAM, LPARAM);
  void FormCreated(TComponent* Instance, bool First);
  bool ProcessMessage(MSG& Msg);
  bool IsKeyMsg(MSG& Msg);
  void Idle();
  void WndProc(TMessage& Message);
  void HintMouseMessage(TControl* Control, const MSG& Msg);
  void HintTimerExpired();
  void StartHintTimer(int Value);
  void StopHintTimer();
  void ShowExceptionMessage(const AnsiString& Message);
  HWND FHandle = nullptr;
  TCustomForm* FMainForm = nullptr;
  WideString FTitle;
  bool FTitleSet = false;
  bool FTerminated = false;
  int FQuitCount = 0;  // WM_QUIT messages handled
  bool FActive = false;
  int FModalLevel = 0;
  struct THook {
    int Id;
    TWindowHook Proc;
  };
  std::vector<THook> FHooks;
  int FNextHookId = 1;
  bool FShowHint = true;
  TColor FHintColor = clInfoBk;
  int FHintPause = 500;
  int FHintShortPause = 50;
  int FHintHidePause = 2500;
  WideString FHint;
  THintWindow* FHintWindow = nullptr;
  TControl* FHintControl = nullptr;
  bool FHintActive = false;
  UINT_PTR FHintTimer = 0;
  bool FHintTimerIsHide = false;
  TRect FHintCursorRect;
  HWND FMouseWindow = nullptr;  // the window of the last pointer move
  // The error box: up, the text it shows, the texts waiting, the failures neither shown nor
  // waiting, and the timers held until it is closed.
  bool FErrorBoxShowing = false;
  AnsiString FErrorShown;
  std::vector<AnsiString> FWaitingErrors;
  int FErrorsNotShown = 0;
  std::vector<std::pair<HWND, UINT_PTR>> FHeldTimers;
};

template <class T>
void TApplication::CreateForm(T*& Reference) {
  static_assert(std::is_base_of_v<TComponent, T>, "CreateForm makes components");
  const bool First = FMainForm == nullptr;
  void* Memory = ::operator new(sizeof(T));
  // The variable points at the object while its constructors run.
  Reference = static_cast<T*>(Memory);
  T* Instance;
  try {
    Instance = ::new (Memory) T(this);
  } catch (...) {
    Reference = nullptr;
    ::operator delete(Memory);
    throw;
  }
  try {
    FormCreated(Instance, First);
  } catch (...) {
    // Loading failed: the object goes away again.
    Reference = nullptr;
    delete Instance;
    throw;
  }
}

extern TApplication* Application;
extern TScreen* Screen;

// The menus unit connects its main-menu class here (see TMenuHooks).
struct TFormMenuHooks {
  // The menu bar of a main menu (0 for none).
  HMENU (*Handle)(TMainMenu* Menu) = nullptr;
  // A WM_COMMAND of a menu item; true when the menu handled it.
  bool (*DispatchCommand)(TMainMenu* Menu, WORD Command) = nullptr;
  // A WM_INITMENUPOPUP for a submenu of the menu; true when handled.
  bool (*DispatchPopup)(TMainMenu* Menu, HMENU Submenu) = nullptr;
  // The menu bar Bar shows Menu merged beside its own items (On), or no longer (Off).
  void (*MergeMenu)(TMainMenu* Bar, TMainMenu* Menu, bool On) = nullptr;
};
extern TFormMenuHooks FormMenuHooks;
