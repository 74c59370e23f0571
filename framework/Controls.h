// Controls of the framework: the visual component classes that every window of the program is
// built from. Win32.
//
//  - TControl: a rectangle on a parent with bounds, alignment, anchors, visibility, colour,
//    font, text, hint, cursor and the mouse events. Every message a control handles travels
//    through its WindowProc chain (Perform puts a message straight into it, windowed controls
//    receive their window's messages through it).
//  - TWinControl: a control with a window of its own, created on demand (Handle) from
//    CreateParams, destroyed and recreated keeping its state; it holds child controls, aligns
//    them, gives them the keyboard focus and paints the graphic ones.
//  - TCustomControl: a windowed control that paints itself in Paint on its Canvas.
//  - TGraphicControl: a control without a window, painted by its parent in its Paint.
//  - THintWindow: the pop-up window that shows a hint.
//
// The WindowProc chain. WindowProc() returns the handler at the top of the chain, SetWindowProc
// installs another one on top. A party that takes over a control saves the value WindowProc()
// returned, installs its own handler, passes the messages it does not consume to the saved value
// and, when it lets go, hands the saved value back to SetWindowProc. Handing back a saved value
// removes exactly the handler that was installed on top of it, so several parties can come and
// go in any order. The bottom of the chain is the control's virtual WndProc, which runs the
// per-message handlers and finally DefaultHandler (the window's default procedure).
//
// A control freed by anything its handling of a message calls ends that handling. Every message
// enters a control at one place (the window procedure and Perform both reach it), which keeps a
// frame of the control on the thread's stack; the control's destructor marks its frames. After
// each call that may run foreign code (the system's default handling, an event's handler, a
// message performed on another control) the handling asks whether that call freed the control of
// the innermost frame, and if so raises TControlFreed, which unwinds the freed control's code
// without touching it up to the frame's entry. It ends there when the system called the window
// procedure, and at a Perform when the caller's control is still there (otherwise the caller's
// handling ends too). A control whose window outlives it (see CallSystemWindowProc) tells its
// WindowProc chain with CM_WINDOWRELEASED, so that whoever is hooked there lets go at once.
//
// Windows are Unicode windows. A window is tied to its control through a window property, which
// the framework also records for itself: FindControl reads that record and asks the system
// nothing. The window class of a control is named after its C++ class
// (ClassName()), registered once per name. A C++ exception that leaves a handler is caught at
// the window procedure and handed to the application's HandleException.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "framework/Components.h"
#include "framework/Graphics.h"
#include "framework/Lists.h"
#include "framework/Messages.h"
#include "framework/Scopes.h"
#include "framework/Types.h"

class TControl;
class TWinControl;

// What ends a control's handling of a message when a call of that handling freed the control (see
// the notes at the top of this file): it unwinds the freed control's code, which must not touch
// the control meanwhile, and is caught where the message entered the control. Not an Exception, so
// that a handler's catch of Exception lets it pass; the application's HandleException drops it.
struct TControlFreed {};
class TCustomForm;
class TPopupMenu;  // the menus unit defines it

// ---------------------------------------------------------------------------------------------
// Enumerations and events

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
using TAlignSet = TSet<TAlign>;

enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;
inline constexpr TAnchors AnchorsDefault{akLeft, akTop};

// What a control class is like.
enum TControlStyleItem {
  csAcceptsControls,   // may be the parent of other controls (gets WS_CLIPCHILDREN)
  csCaptureMouse,      // captures the mouse while a button is down
  csDesignInteractive,
  csClickEvents,       // a press and release of the left button on it is a Click
  csFramed,
  csSetCaption,
  csOpaque,            // paints all of its rectangle: what lies below is not painted first
  csDoubleClicks,      // double clicks are double clicks (without it they are presses)
  csFixedWidth,
  csFixedHeight,
  csNoDesignVisible,
  csReplicatable,
  csNoStdEvents,       // mouse events of the control are not fired
  csDisplayDragImage,
  csReflector,
  csActionClient,
  csMenuEvents,
  csParentBackground,
};
using TControlStyle = TSet<TControlStyleItem>;

// What a control is doing at the moment.
enum TControlStateItem {
  csLButtonDown,       // the left button went down on the control and is still down
  csClicked,           // that press may become a Click
  csPalette,
  csReadingState,
  csAlignmentNeeded,   // a realignment was asked for while alignment was disabled
  csFocusing,
  csCreating,          // the window is being created
  csPaintCopy,         // the control paints a copy of itself (PaintTo)
  csCustomPaint,       // the control's own Paint is running
  csDestroyingHandle,  // the window is being destroyed
  csDocking,
  csRecreating,        // the window is being destroyed to be created again
};
using TControlState = TSet<TControlStateItem>;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;

// Border styles of forms; TBorderStyle (bsNone, bsSingle) is what other windowed controls use.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

// Screen cursors: the ids of the standard cursors; programs register their own positive ids in
// Screen->Cursors.
using TCursor = int;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNESW = -6;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeNWSE = -8;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crUpArrow = -10;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crDrag = -12;
inline constexpr TCursor crNoDrop = -13;
inline constexpr TCursor crHSplit = -14;
inline constexpr TCursor crVSplit = -15;
inline constexpr TCursor crMultiDrag = -16;
inline constexpr TCursor crSQLWait = -17;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;
inline constexpr TCursor crHelp = -20;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crSizeAll = -22;

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, wchar_t& Key)>;
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent = std::function<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;
using TContextPopupEvent = std::function<void(TObject* Sender, TPoint MousePos, bool& Handled)>;

// What CreateParams fills in before a control's window is created.
struct TCreateParams {
  WideString Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
  HWND WndParent = nullptr;
  void* Param = nullptr;
  // The window class: style, extra bytes, cursor, background, icons, and in lpfnWndProc the
  // class's default procedure (DefWindowProcW, or the system control's procedure after
  // CreateSubClass). The framework registers the class under WinClassName with its own window
  // procedure and passes unhandled messages to that default procedure.
  WNDCLASSEXW WindowClass{};
  WideString WinClassName;
};

// The state of the keyboard keys, from the platform's forms.
TShiftState KeysToShiftState(WORD Keys);             // MK_xxx flags of mouse messages
TShiftState KeyDataToShiftState(LPARAM KeyData);     // key data of WM_KEYxxx (Alt) plus the key state
TShiftState ShiftStateNow();                         // the keys and buttons held now

// The framework control of a window, or nullptr for any other window (also one that carries the
// control property without being bound by the framework).
TWinControl* FindControl(HWND Handle);
// The thread's focus window as the system last told it (each question is a round trip to the
// window server under Wine): asked again after a focus, activation, enabling, showing or
// destroying message reached a framework window or a window that a skin adapter took, since the
// focus moves to or from such a window only with one of those.
HWND KnownFocus();
void FocusMayHaveMoved();
// The messages after which the focus may have moved.
bool MayMoveFocus(UINT Msg);
// The innermost control under a point in screen coordinates (graphic controls included), or
// nullptr.
TControl* FindDragTarget(TPoint Pos, bool AllowDisabled);
// The form a control sits on (walking up its parents), or nullptr.
TCustomForm* GetParentForm(TControl* Control);
// The control that holds the mouse capture (a graphic control captures through its parent's
// window), or nullptr.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* Control);
// Moves the logical origin of a device context by (DX, DY) device units.
void MoveWindowOrg(HDC DC, int DX, int DY);
// A window's whole rectangle and its client area's rectangle, both in window coordinates (the
// window's top-left corner at 0, 0).
void GetWindowAndClientRects(HWND Wnd, RECT& Window, RECT& Client);
// The part of a hint before '|' (short) and after it (long; the whole hint without '|').
WideString GetShortHint(const WideString& Hint);
WideString GetLongHint(const WideString& Hint);
// The module that the program's window classes are registered in (the executable).
HINSTANCE ModuleInstance();
// Registers a window class of the module that has only a name and a window procedure, unless the
// module has a class of that name already; false when the system refuses it.
bool RegisterPlainWindowClass(const wchar_t* ClassName, WNDPROC WndProc);
// A new hidden message-only window of a class of the module; nullptr when the system refuses it.
HWND CreateMessageWindow(const wchar_t* ClassName);
// The work area (the screen less the task bar) of the monitor nearest to a screen rectangle.
TRect WorkAreaNear(const TRect& R);
// Calls the system's own procedure of a control's window (the code of its class, below the
// framework). That code notifies the program, and a handler may free the control meanwhile; the
// system's code then goes on working with the window and the data it keeps for it. So a window
// whose system procedure is running is not destroyed at once: it waits, hidden and out of its
// parent, until the last such call has returned.
// A handler that the call reached and that freed the control whose message is being handled ends
// that handling (see the notes at the top of this file).
LRESULT CallSystemWindowProc(WNDPROC Proc, HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);
// Runs Action once no call of CallSystemWindowProc on Window is running on this thread: at once
// (true) when none is, otherwise when the last of them returns (false). What would pull data away
// from under the system's code (the window itself, an item of it the code is working with)
// waits this way.
bool AfterSystemCalls(HWND Window, std::function<void()> Action);

// ---------------------------------------------------------------------------------------------
// TControlCanvas

// A canvas that draws on a control outside of painting: it takes the window's device context
// on first use (the parent's, moved and clipped to the control, for a graphic control) and gives
// it back in FreeHandle. While the control paints, the canvas draws into the painting DC.
class TControlCanvas : public TCanvas {
  T_CLASS(TControlCanvas, TCanvas)

 public:
  TControlCanvas() = default;
  ~TControlCanvas() override;

  TControl* Control() const { return FControl; }
  void SetControl(TControl* AControl);
  // Gives the device context taken in CreateHandle back (nothing when the canvas holds none or
  // draws into a DC it was given).
  void FreeHandle();
  // Runs Body with the canvas locked and drawing into DC; the canvas lets go of DC afterwards,
  // also when Body throws.
  template <class F>
  void DrawInto(HDC DC, F&& Body) {
    Lock();
    FreeHandle();
    SetHandle(DC);
    TScopeExit Release([this] {
      SetHandle(nullptr);
      Unlock();
    });
    Body();
  }
  // Frees the device contexts that canvases took from this window (it is being destroyed).
  static void FreeDeviceContexts(HWND Window);

 protected:
  void CreateHandle() override;

 private:
  TControl* FControl = nullptr;
  HDC FDeviceContext = nullptr;
  HWND FWindowHandle = nullptr;
};

// ---------------------------------------------------------------------------------------------
// TControl

class TControl : public TComponent {
  T_CLASS(TControl, TComponent)
  friend class TWinControl;
  friend class TControlCanvas;
  friend LRESULT CALLBACK ControlWindowProc(HWND, UINT, WPARAM, LPARAM);

 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  // --- parent and bounds
  TWinControl* Parent() const { return FParent; }
  // Moves the control to another parent (nullptr takes it off). A control cannot be its own
  // parent or the parent of one of its parents: EInvalidOperation "A control cannot have itself
  // or its child as its parent".
  virtual void SetParent(TWinControl* AParent);

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  // Moves and sizes the control (parent client coordinates; screen coordinates for a form).
  // Negative sizes become 0.
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }

  // The client area in the control's own coordinates (0, 0, width, height for a control
  // without a window frame).
  virtual TRect ClientRect();
  int ClientWidth() { return ClientRect().Width(); }
  int ClientHeight() { return ClientRect().Height(); }
  // Sizes the control so that its client area gets the given size.
  void SetClientWidth(int Value) { SetClientSize(Value, ClientHeight()); }
  void SetClientHeight(int Value) { SetClientSize(ClientWidth(), Value); }
  virtual void SetClientSize(int AWidth, int AHeight);
  // The client area's top-left corner in screen coordinates.
  virtual TPoint ClientOrigin();
  TPoint ClientToScreen(TPoint P) { TPoint O = ClientOrigin(); return Point(P.X + O.X, P.Y + O.Y); }
  TPoint ScreenToClient(TPoint P) { TPoint O = ClientOrigin(); return Point(P.X - O.X, P.Y - O.Y); }

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Value);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors Value);

  // --- appearance and state
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  void Show();
  void Hide() { SetVisible(false); }
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool Value);
  TFont* Font() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);

  // The control's text (a form's or button's caption, an edit's text).
  WideString Text();
  void SetText(const WideString& Value);
  void SetText(const AnsiString& Value);
  WideString Caption() { return Text(); }
  void SetCaption(const WideString& Value) { SetText(Value); }
  void SetCaption(const AnsiString& Value) { SetText(Value); }

  const WideString& Hint() const { return FHint; }
  void SetHint(const WideString& Value) { FHint = Value; }
  void SetHint(const AnsiString& Value);
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value);
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool Value);
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value);
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* Value);

  TControlStyle ControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }
  TControlState ControlState() const { return FControlState; }
  void SetControlState(TControlState Value) { FControlState = Value; }

  // --- messages
  // The handler at the top of the WindowProc chain (see the notes at the top of this file).
  TWndMethod WindowProc() const;
  void SetWindowProc(const TWndMethod& Value);
  // Puts a message into the WindowProc chain at once (no window needed) and returns its Result.
  LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
  // Hears whether the control is freed while this object lives (on the stack): code that calls
  // a handler, which may free the control, its parent or its form, asks Freed() before it
  // touches the control again. It allocates nothing, so any message may make one. Code that runs
  // inside the control's handling of a message needs none (the message's frame ends it, see the
  // notes at the top of this file); code that others may call directly keeps one.
  class TLifeWatch {
   public:
    explicit TLifeWatch(TControl* Control) : TLifeWatch(Control, false) {}
    ~TLifeWatch();
    TLifeWatch(const TLifeWatch&) = delete;
    TLifeWatch& operator=(const TLifeWatch&) = delete;
    bool Freed() const { return FFreed; }

   private:
    friend class TControl;
    // Entry: a message entered the control here (a frame of its handling).
    TLifeWatch(TControl* Control, bool Entry);
    TControl* const FControl;
    TLifeWatch* const FOuter;  // the watch made before this one on the thread
    const bool FEntry;
    bool FFreed = false;
  };
  // Runs Call (the system's default handling, a handler, a message sent) inside the handling of a
  // message: when Call freed the control whose message is being handled (the innermost frame of
  // the thread), TControlFreed ends that handling (see the notes at the top of this file).
  template <class F>
  static void EndIfFreedBy(F&& Call) {
    const TLifeWatch* Frame = HandlingFrame();
    const bool Alive = Frame != nullptr && !Frame->Freed();
    Call();
    if (Alive && Frame->Freed()) throw TControlFreed{};
  }

  // --- painting and order
  // Marks the control for repainting; Update paints what is marked now; Repaint does both.
  virtual void Invalidate();
  virtual void Update();
  virtual void Repaint();
  void Refresh() { Repaint(); }
  // Moves the control to the top / bottom of its siblings (a form: of the windows).
  void BringToFront() { SetZOrder(true); }
  void SendToBack() { SetZOrder(false); }

  bool MouseCapture();
  void SetMouseCapture(bool Value);

  // Loaded runs after a stored description has been applied (the control's alignment and
  // anchors are settled then).
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // --- events (fired by the dispatch methods below, before the control's own handling)
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnResize;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TMouseWheelEvent OnMouseWheel;
  TMouseWheelUpDownEvent OnMouseWheelDown;
  TMouseWheelUpDownEvent OnMouseWheelUp;
  TContextPopupEvent OnContextPopup;

 protected:
  // The bottom of the WindowProc chain: the control's own handling of a message. The base
  // keeps the mouse state; Dispatch then calls the handler of the message.
  virtual void WndProc(TMessage& Message);
  // Calls the per-message handler of Message.Msg, or DefaultHandler when there is none.
  // Descendants with handlers of their own messages override it and call the base for the rest.
  virtual void Dispatch(TMessage& Message);
  // What happens to a message that no handler consumes: the window's default procedure for a
  // windowed control; a graphic control answers the text messages from its own text.
  virtual void DefaultHandler(TMessage& Message);

  // Per-message handlers. Each ends in the base class's handler, which ends in DefaultHandler,
  // unless it consumes the message.
  virtual void WMLButtonDown(TMessage& Message);
  virtual void WMRButtonDown(TMessage& Message);
  virtual void WMMButtonDown(TMessage& Message);
  virtual void WMLButtonDblClk(TMessage& Message);
  virtual void WMRButtonDblClk(TMessage& Message);
  virtual void WMMButtonDblClk(TMessage& Message);
  virtual void WMLButtonUp(TMessage& Message);
  virtual void WMRButtonUp(TMessage& Message);
  virtual void WMMButtonUp(TMessage& Message);
  virtual void WMMouseMove(TMessage& Message);
  virtual void WMMouseWheel(TMessage& Message);
  virtual void WMCancelMode(TMessage& Message);
  virtual void WMContextMenu(TMessage& Message);
  virtual void WMWindowPosChanged(TMessage& Message);
  virtual void CMEnabledChanged(TMessage& Message);
  virtual void CMVisibleChanged(TMessage& Message);
  virtual void CMColorChanged(TMessage& Message);
  virtual void CMFontChanged(TMessage& Message);
  virtual void CMParentColorChanged(TMessage& Message);
  virtual void CMParentFontChanged(TMessage& Message);
  virtual void CMParentShowHintChanged(TMessage& Message);
  virtual void CMTextChanged(TMessage& Message);
  virtual void CMMouseEnter(TMessage& Message);
  virtual void CMMouseLeave(TMessage& Message);
  virtual void CMHitTest(TMessage& Message);
  virtual void CMMouseWheel(TMessage& Message);
  virtual void CMHintShow(TMessage& Message);

  // Fires an event: Event, when assigned, gets Args. Its handler may free the control, its parent
  // or its form: the handling of the message then ends (EndIfFreedBy). Every event of a control's
  // message handling is fired here, those that paint aside.
  template <class TEvent, class... TArgs>
  static void Fire(const TEvent& Event, TArgs&&... Args) {
    if (Event) EndIfFreedBy([&] { Event(std::forward<TArgs>(Args)...); });
  }
  // Dispatch methods of the events: each fires its event (when assigned) first.
  virtual void Click();
  virtual void DblClick();
  virtual void Resize();
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  // The wheel turned by WheelDelta (multiples of WHEEL_DELTA, positive away from the user) over
  // MousePos (screen coordinates). OnMouseWheel first; unless it handled the wheel, one
  // DoMouseWheelDown / DoMouseWheelUp per whole notch. True: handled.
  virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
  virtual bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos);
  virtual bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos);
  // Where a WM_MOUSEWHEEL goes: the base hands it to the parent form, which gives it to its
  // focused control as CM_MOUSEWHEEL.
  virtual void MouseWheelHandler(TMessage& Message);
  virtual void DoContextPopup(TPoint MousePos, bool& Handled);

  // Asks the parent to realign its children (this control's alignment or size changed).
  virtual void RequestAlign();
  // Records the distances that the anchors keep when the parent is resized.
  void UpdateAnchorRules();
  virtual void SetZOrder(bool TopMost);
  // The device context to draw on the control outside of painting; WindowHandle receives the
  // window whose DC it is (ReleaseDC is the caller's).
  virtual HDC GetDeviceContext(HWND& WindowHandle);
  // Marks the control's rectangle on the parent for repainting.
  void InvalidateControl(bool IsVisible, bool IsOpaque);

  // The bounds without side effects (alignment and anchoring use it).
  void SetBoundsFields(int ALeft, int ATop, int AWidth, int AHeight);

  WideString FText;  // a graphic control's text; a windowed control's while it has no window
  TControlStyle FControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  TControlState FControlState;
  // Initial values that descendants' constructors may set directly (no notifications).
  bool FVisible = true;
  TColor FColor = clWindow;
  bool FParentColor = true;
  bool FParentFont = true;
  // Set while the parent aligns or anchors the control (its anchor rules stay as they are).
  bool FAnchorMove = false;

 private:
  struct TWndProcLink;
  struct TWndProcRef;
  // Where every message enters the control: its frame on the thread's stack while the chain runs
  // (see the notes at the top of this file).
  void RunWindowProc(TMessage& Message);
  // The frame of the message handled now on this thread (the innermost), nullptr when none.
  static TLifeWatch* HandlingFrame();
  // The system's handling of a left press, then the mouse capture of a csCaptureMouse control
  // while the press is still held.
  void PressDefault(TMessage& Message);
  void DoMouseDown(TMessage& Message, TMouseButton Button, TShiftState Shift);
  void DoMouseUp(TMessage& Message, TMouseButton Button);
  void FontChanged(TObject* Sender);
  void SetParentFontValue(bool Value, bool Notify);

  TWinControl* FParent = nullptr;
  int FLeft = 0;
  int FTop = 0;
  int FWidth = 0;
  int FHeight = 0;
  TAlign FAlign = alNone;
  TAnchors FAnchors = AnchorsDefault;
  // Anchor rules: the bounds and the parent's client size they were taken at.
  TRect FAnchorBounds;
  TSize FAnchorParentSize;
  bool FAnchorRulesValid = false;
  bool FEnabled = true;
  std::unique_ptr<TFont> FFont;
  bool FFontFromParent = false;
  WideString FHint;
  bool FShowHint = false;
  bool FParentShowHint = true;
  TCursor FCursor = crDefault;
  TPopupMenu* FPopupMenu = nullptr;
  int FWheelAccumulator = 0;
  std::shared_ptr<TWndProcLink> FWindowProcTop;
  std::shared_ptr<TWndProcLink> FWindowProcBottom;
};

// ---------------------------------------------------------------------------------------------
// TWinControl

class TWinControl : public TControl {
  T_CLASS(TWinControl, TControl)
  friend class TControl;

 public:
  explicit TWinControl(TComponent* AOwner);
  // A windowed control placed in a window that is not a framework control.
  static TWinControl* CreateParented(HWND ParentWindow);
  ~TWinControl() override;

  // --- the window
  // The window, created now when there is none (the parents' windows first).
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded();
  // Destroys the window and creates it again with new CreateParams; text, bounds, visibility
  // and the children's windows are kept.
  void RecreateWnd();
  // The window a parentless windowed control is placed in (0: none).
  HWND ParentWindow() const { return FParentWindow; }
  void SetParentWindow(HWND Value);
  // The window is visible on the screen: the control and all its parents are visible and the
  // top one is a form or sits in a parent window.
  bool Showing() const { return FShowing; }
  // The class's default procedure (see TCreateParams).
  WNDPROC DefWndProc() const { return FDefWndProc; }

  void SetParent(TWinControl* AParent) override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  TRect ClientRect() override;
  TPoint ClientOrigin() override;
  void SetClientSize(int AWidth, int AHeight) override;
  void Invalidate() override;
  void Update() override;
  void Repaint() override;

  // --- children
  int ControlCount() const { return static_cast<int>(FControls.size()); }
  // The child controls in creation order (changed by BringToFront / SendToBack); EListError
  // "List index out of bounds (%d)".
  TControl* Controls(int Index) const;
  bool ContainsControl(TControl* Control) const;
  // The topmost visible child at P (client coordinates): graphic controls, and windowed ones
  // with AllowWinControls; disabled ones only with AllowDisabled.
  TControl* ControlAtPos(TPoint P, bool AllowDisabled, bool AllowWinControls = false);
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  // Sends a message to every child control (in order) until one sets a non-zero Result.
  void Broadcast(TMessage& Message);

  // --- alignment
  void DisableAlign();
  void EnableAlign();
  bool AlignDisabled() const { return FAlignLevel != 0; }
  // Lays the children out again (alignment order: top, bottom, left, right, client; then the
  // anchors of the others).
  void Realign();

  // --- focus and tab order
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value);
  // Position among the parent's windowed children in tab order; -1 without a parent.
  int TabOrder() const;
  void SetTabOrder(int Value);
  // The control and every parent are visible and enabled.
  virtual bool CanFocus();
  bool Focused();
  // Gives the control the keyboard focus. EInvalidOperation "Cannot focus a disabled or
  // invisible window" when it cannot take it.
  virtual void SetFocus();
  // The windowed controls inside this one in tab order, depth first.
  void GetTabOrderList(std::vector<TWinControl*>& List);
  // The control after (or before) CurControl in tab order that can take the focus (and has
  // TabStop with CheckTabStop; and this control as parent with CheckParent), wrapping around.
  TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent);
  // Moves the focus to that control.
  void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);

  // --- painting
  TBrush* Brush() const { return FBrush.get(); }
  // Paints the control and its children into a device context with the control's top-left
  // corner at (X, Y), as it would appear on the screen (frame, background, content).
  void PaintTo(HDC DC, int X, int Y);
  void PaintTo(TCanvas* Canvas, int X, int Y) { PaintTo(Canvas->Handle(), X, Y); }

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

 protected:
  // Fills Params for the window about to be created (see TCreateParams).
  virtual void CreateParams(TCreateParams& Params);
  // Makes the window class that of a system control (a superclass): its procedure becomes the
  // default procedure, its class style and extra bytes are taken over, the class name stays.
  void CreateSubClass(TCreateParams& Params, const wchar_t* ControlClassName);
  // CreateParams, class registration and CreateWindowHandle; then the window gets the font and
  // its place in the z-order.
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& Params);
  // Saves the window's state (text) and destroys it.
  virtual void DestroyWnd();
  virtual void DestroyWindowHandle();
  void CreateHandle();
  // Destroys the children's windows and then this one.
  void DestroyHandle();
  // Shows or hides the window to match Visible and the parents; creates it when it must show.
  void UpdateShowing();
  void UpdateControlState();

  void WndProc(TMessage& Message) override;
  void Dispatch(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;

  virtual void WMPaint(TMessage& Message);
  virtual void WMEraseBkgnd(TMessage& Message);
  virtual void WMSize(TMessage& Message);
  virtual void WMMove(TMessage& Message);
  void WMWindowPosChanged(TMessage& Message) override;
  virtual void WMSetFocus(TMessage& Message);
  virtual void WMKillFocus(TMessage& Message);
  virtual void WMKeyDown(TMessage& Message);
  virtual void WMKeyUp(TMessage& Message);
  virtual void WMSysKeyDown(TMessage& Message);
  virtual void WMSysKeyUp(TMessage& Message);
  virtual void WMChar(TMessage& Message);
  virtual void WMSysChar(TMessage& Message);
  virtual void CNKeyDown(TMessage& Message);
  virtual void CNKeyUp(TMessage& Message);
  virtual void CNChar(TMessage& Message);
  virtual void CNSysKeyDown(TMessage& Message);
  virtual void CNSysChar(TMessage& Message);
  // WM_COMMAND, WM_NOTIFY, WM_DRAWITEM ... from a child window: passed on to the child's control
  // as CN_xxx; the rest goes to the base handling.
  virtual void WMChildNotify(TMessage& Message);
  // CN_CTLCOLORxxx: the DC takes the font colour and the control colour; Result = the brush.
  virtual void CNCtlColor(TMessage& Message);
  virtual void WMSetCursor(TMessage& Message);
  virtual void WMMouseLeave(TMessage& Message);
  virtual void WMNCDestroy(TMessage& Message);
  virtual void CMShowingChanged(TMessage& Message);
  void CMVisibleChanged(TMessage& Message) override;
  void CMEnabledChanged(TMessage& Message) override;
  void CMColorChanged(TMessage& Message) override;
  void CMFontChanged(TMessage& Message) override;
  void CMTextChanged(TMessage& Message) override;
  virtual void CMDialogKey(TMessage& Message);
  virtual void CMDialogChar(TMessage& Message);
  virtual void CMFocusChanged(TMessage& Message);
  virtual void CMEnter(TMessage& Message);
  virtual void CMExit(TMessage& Message);
  virtual void CMControlListChange(TMessage& Message);
  virtual void CMInvalidate(TMessage& Message);
  virtual void CMRecreateWnd(TMessage& Message);

  // Painting. PaintHandler paints into the DC of a WM_PAINT (its WParam when given, else the
  // window's paint DC): PaintWindow, then the graphic children (PaintControls).
  virtual void PaintHandler(TMessage& Message);
  // The control's own content; the base lets the default procedure paint into DC.
  virtual void PaintWindow(HDC DC);
  // Paints the visible graphic children (from First on, all when nullptr) into DC.
  void PaintControls(HDC DC, TControl* First);

  // Lays out the children inside Rect (the client area after AdjustClientRect).
  virtual void AlignControls(TControl* AControl, TRect& Rect);
  virtual void AdjustClientRect(TRect& Rect);
  void SetZOrder(bool TopMost) override;
  HDC GetDeviceContext(HWND& WindowHandle) override;

  // Key dispatch methods: fire the events first. Setting Key to 0 consumes the key.
  virtual void KeyDown(Word& Key, TShiftState Shift);
  virtual void KeyUp(Word& Key, TShiftState Shift);
  virtual void KeyPress(wchar_t& Key);
  virtual void DoEnter();
  virtual void DoExit();

  // Tells every child control (Perform).
  void NotifyControls(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
  // The window's style bits now (from the window, or from CreateParams without one).
  DWORD WindowStyle();

  HWND FHandle = nullptr;
  WNDPROC FDefWndProc = DefWindowProcW;

 private:
  friend LRESULT CALLBACK ControlWindowProc(HWND, UINT, WPARAM, LPARAM);
  void Bind(HWND Window);
  void Unbind();
  bool IsControlMouseMsg(TMessage& Message);
  void UpdateBounds();
  void AlignControl(TControl* AControl);
  void DoAlign(TAlign AAlign, TControl* AControl, TRect& Rect);
  void ApplyAnchors();
  bool DoKeyDown(TMessage& Message);
  bool DoKeyUp(TMessage& Message);
  bool DoKeyPress(TMessage& Message);
  void TrackMouse();
  void SetMouseInControl(TControl* Control);
  void InsertTabControl(TWinControl* AControl);

  HWND FParentWindow = nullptr;
  bool FShowing = false;
  bool FTabStop = false;
  int FAlignLevel = 0;
  std::vector<TControl*> FControls;    // children in z-order, bottom first
  std::vector<TWinControl*> FTabList;  // windowed children in tab order
  std::unique_ptr<TBrush> FBrush;
  bool FTrackingMouse = false;         // TrackMouseEvent asked for WM_MOUSELEAVE
  bool FMouseInside = false;           // the pointer is over the window (CM_MOUSEENTER sent)
  TControl* FMouseControl = nullptr;   // the graphic child under the pointer
};

// ---------------------------------------------------------------------------------------------
// TCustomControl and TGraphicControl

// A windowed control that paints itself: override Paint and draw on Canvas. The canvas can also
// be used outside of painting (it then draws on the window's device context).
class TCustomControl : public TWinControl {
  T_CLASS(TCustomControl, TWinControl)

 public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;

  TCanvas* Canvas() const { return FCanvas.get(); }

 protected:
  virtual void Paint() {}
  void PaintWindow(HDC DC) override;
  void DestroyWnd() override;

 private:
  std::unique_ptr<TControlCanvas> FCanvas;
};

// A control without a window: its parent paints it (Paint) and passes it the mouse messages.
class TGraphicControl : public TControl {
  T_CLASS(TGraphicControl, TControl)

 public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;

  TCanvas* Canvas() const { return FCanvas.get(); }

 protected:
  virtual void Paint() {}
  void Dispatch(TMessage& Message) override;
  // WM_PAINT with the parent's device context in WParam (origin at the control's corner).
  virtual void WMPaint(TMessage& Message);

 private:
  std::unique_ptr<TControlCanvas> FCanvas;
};

// ---------------------------------------------------------------------------------------------
// THintWindow

// The pop-up window of a hint: a top-most tool window with a thin frame that shows its caption
// on the hint colour without taking the focus. A hint shows at most MaxHintLength characters
// of its text (the rest cut, marked by "...") and is never larger than the work area.
class THintWindow : public TCustomControl {
  T_CLASS(THintWindow, TCustomControl)

 public:
  static constexpr std::size_t MaxHintLength = 1000;
  explicit THintWindow(TComponent* AOwner);

  // The screen rectangle (at 0, 0) the hint needs for AHint, wrapping at MaxWidth pixels (or at
  // the width of the work area under the pointer, when that is less; a word too long for the
  // width is broken), and no taller than that work area.
  virtual TRect CalcHintRect(int MaxWidth, const WideString& AHint, void* AData = nullptr);
  // Shows the hint text in Rect (screen coordinates) without activating the window; the
  // rectangle is cut to the size of the work area it is nearest to and moved into it.
  virtual void ActivateHint(TRect Rect, const WideString& AHint);
  virtual void ActivateHintData(TRect Rect, const WideString& AHint, void* AData) { ActivateHint(Rect, AHint); }
  // Hides the hint by destroying the window.
  void ReleaseHandle();
  bool IsHintMsg(const MSG& Msg);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  void Dispatch(TMessage& Message) override;
};

// Creates the hint windows of the application (it can be replaced by a factory of a subclass).
using THintWindowClass = std::function<THintWindow*(TComponent* AOwner)>;
extern THintWindowClass HintWindowClass;

// What the application's hint machinery tells the control under the pointer (CM_HINTSHOW): it
// may change the text, the position or the window class, or cancel the hint.
struct THintInfo {
  TControl* HintControl = nullptr;
  THintWindowClass HintWindowClass;
  TPoint HintPos;        // screen coordinates of the hint's top-left corner
  int HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  TRect CursorRect;      // the hint stays while the pointer stays in this rectangle (client)
  TPoint CursorPos;      // the pointer, client coordinates
  int ReshowTimeout = 0;
  int HideTimeout = 0;
  WideString HintStr;
  void* HintData = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Menu connection

// The menus unit connects its menu classes here (function pointers that it sets when it is
// linked in), so that controls and forms can use menus without knowing their classes.
struct TMenuHooks {
  // Shows a control's popup menu at a screen point.
  void (*PopupAt)(TPopupMenu* Menu, TControl* Control, int X, int Y) = nullptr;
};
extern TMenuHooks MenuHooks;
