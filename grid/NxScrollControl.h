// The grid's window scroll bars and scrolling: a model of each of the window's two standard
// scroll bars (TNxCustomScrollBar, bound to the window by TNxScrollBar), the scrolling window
// base that moves its content with ScrollWindowEx (TNxCustomScrollControl), and TNxScrollControl
// with both bars, the scroll messages, the wheel switch and middle-button roll scrolling. Win32.
#pragma once

#include <exception>
#include <functional>
#include <memory>

#include "framework/Controls.h"
#include "framework/Timers.h"

class TNxCustomScrollControl;

// What the grid raises when a handler freed it: the code of the freed control unwinds without
// touching it (code that cleans up on an error lets this one pass untouched) up to where the
// control was entered from outside, which ends there; Error is an error the handler raised
// besides, handed on from there. A silent error: should it leave the grid at all, the
// application's handler shows nothing.
class EGridFreed : public EAbort {
 public:
  explicit EGridFreed(std::exception_ptr AError = nullptr) : EAbort("The grid was freed"), Error(std::move(AError)) {}
  const char* ClassName() const override { return "EGridFreed"; }
  std::exception_ptr Error;
};

// Runs Body and hands back the error it raised (nullptr for none); the end of a freed grid goes on.
template <class F>
std::exception_ptr ErrorOf(F&& Body) {
  try {
    Body();
  } catch (const EGridFreed&) {
    throw;
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

// Runs Body; when it raises while the grid is still there, Undo runs before the error goes on.
template <class B, class U>
void Undoing(B&& Body, U&& Undo) {
  try {
    Body();
  } catch (const EGridFreed&) {
    throw;
  } catch (...) {
    Undo();
    throw;
  }
}

// The screen cursors of roll scrolling, registered from the program's cursor resources "ROLL",
// "ROLLUP" and "ROLLDOWN" (grid/NxGrid.rc) when a scroll control is created.
inline constexpr TCursor crRoll = 4003;      // rolling, pointer near the anchor
inline constexpr TCursor crRollUp = 4004;    // rolling upwards
inline constexpr TCursor crRollDown = 4005;  // rolling downwards

// Registers the three roll cursors in the screen's cursor table (each one only when the program
// holds its resource; a missing one leaves its id showing the default cursor).
void LoadRollCursors();

// The model of one scroll bar. Positions count in the owner's units (pixels horizontally, shown
// rows vertically in the grid).
class TNxCustomScrollBar : public TPersistent {
  T_CLASS(TNxCustomScrollBar, TPersistent)

 public:
  enum TScrollBarKind { sbHorizontal, sbVertical };

  TNxCustomScrollBar(TNxCustomScrollControl* AControl, TScrollBarKind AKind);

  TNxCustomScrollControl* Control() const { return FControl; }
  TScrollBarKind Kind() const { return FKind; }
  // SB_HORZ or SB_VERT.
  int BarCode() const { return FKind == sbHorizontal ? SB_HORZ : SB_VERT; }

  // Hide the bar while there is nothing to scroll; when False the bar shows disabled instead.
  bool AutoHide() const { return FAutoHide; }
  // Shows or hides the bar by the same rule as SetMax.
  void SetAutoHide(bool Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  int LargeChange() const { return FLargeChange; }
  void SetLargeChange(int Value) { FLargeChange = Value; }
  int SmallChange() const { return FSmallChange; }
  void SetSmallChange(int Value) { FSmallChange = Value; }
  int Max() const { return FMax; }
  // Negative values become 0; the bar shows when Max exceeds PageSize (always without AutoHide);
  // the position is pulled back to Max.
  void SetMax(int Value);
  int Min() const { return FMin; }
  int PageSize() const { return FPageSize; }
  // At least 1.
  void SetPageSize(int Value);
  int Position() const { return FPosition; }
  // Limits the value to Min .. Max (and 0), updates the bar and, unless updating, scrolls the
  // owner's content by the pixel distance it answers for the move.
  void SetPosition(int Value);
  // Takes the position of a view that stands there already: as SetPosition, without scrolling the
  // owner's content.
  void PlaceAt(int Value);
  // While held, the window's bar takes every change at once, and the scroll event waits for the
  // last release, which fires it when the window's bar stands elsewhere than before the hold: an
  // owner that sets range, page and position in turn has its handler find all three (and the
  // view) in place, never the position of a range it is about to change. A release that is not
  // Fired (the owner's change failed) fires nothing; the event waits for the next update.
  void HoldEvents() { ++FHeld; }
  void ReleaseEvents(bool Fire = true);
  // Class of the last scroll request: 1 line, 2 page, 3 thumb, 4 top or bottom.
  int ScrollCode() const { return FScrollCode; }
  void SetScrollCode(int Value) { FScrollCode = Value; }
  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool Value) { FVisible = Value; }

  void First() { SetPosition(0); }
  void Last() { SetPosition(FMax - FPageSize + 1); }
  void MoveBy(int Delta) { SetPosition(FPosition + Delta); }
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate() {
    if (FUpdateCount > 0) --FUpdateCount;
  }
  int UpdateCount() const { return FUpdateCount; }

  // Send the owner's window the scroll message a click on the bar would send.
  void LineUp();
  void LineDown();
  void PageUp();
  void PageDown();

  bool AtStart() const { return FPosition == 0; }
  bool AtEnd() const { return FPosition + FPageSize > FMax; }
  // Max reaches the page: there is at least one step to scroll.
  bool CanScroll() const;
  // The track position of the window's bar (the model's position without a window).
  virtual int TrackPosition();

  // Shows the model on the window's bar.
  virtual void UpdateBar() {}

 protected:
  void SendScroll(int Code);
  // Moves the bar as one change of the owner (BarChange); MoveNow is the move itself.
  void Move(int Value, bool Scroll);
  void MoveNow(int Value, bool Scroll);
  // Shows the position on the window's bar (firing the scroll event when it moves there).
  void ShowPosition();

  bool FAutoHide = true;
  TScrollBarKind FKind;
  bool FEnabled = true;
  int FLargeChange = 1;
  int FMax = 0;
  int FMin = 0;
  int FPageSize = 0;
  int FSmallChange = 1;
  int FPosition = 0;
  int FScrollCode = 0;
  int FUpdateCount = 0;
  int FHeld = 0;
  bool FVisible = false;
  // Counts the scroll events the bar's updates fired (a handler may change anything).
  unsigned FEvents = 0;
  TNxCustomScrollControl* FControl;
};

// The model bound to the window's own scroll bar (ShowScrollBar, SetScrollInfo).
class TNxScrollBar : public TNxCustomScrollBar {
  T_CLASS(TNxScrollBar, TNxCustomScrollBar)

 public:
  using TNxCustomScrollBar::TNxCustomScrollBar;

  void SetVisible(bool Value) override;
  int TrackPosition() override;
  // Guarded against re-entry. Fires the owner's scroll event when the window's position differed.
  // The window's bar takes the new values at once but is drawn with the window's next frame
  // painting: many changes in a row (rows added one by one) draw it once.
  void UpdateBar() override;
  // The window's frame was painted (the owner tells it on WM_NCPAINT and WM_PAINT).
  void FramePainted() { FFramePending = nullptr; }

 private:
  bool FUpdating = false;
  // The window bar's position before the first update while events are held; -1 when none.
  int FHeldFrom = -1;
  // The window whose frame is marked for painting since the last change, nullptr when none.
  HWND FFramePending = nullptr;
  // What the window's bar was last given; an update that would give it the same is skipped
  // (every call reaches the system and may repaint the bar).
  struct TApplied {
    HWND Window = nullptr;
    int Min = 0, Max = -1, Page = -1, Pos = -1;
    bool AutoHide = true;
    int Enabled = -1;
  } FApplied;
};

// A custom-painted window that scrolls its content with ScrollWindowEx. Descendants answer the
// pixel distances of a scroll and keep the two clip rectangles up to date.
class TNxCustomScrollControl : public TCustomControl {
  T_CLASS(TNxCustomScrollControl, TCustomControl)

 public:
  explicit TNxCustomScrollControl(TComponent* AOwner);

  // Pixel distances for a move of a bar from OldPos to NewPos (0 here).
  virtual int GetHorzScrollDistance(int OldPos, int NewPos) { return 0; }
  virtual int GetVertScrollDistance(int OldPos, int NewPos) { return 0; }
  // Run around every scroll of the content (empty here).
  virtual void AfterScroll() {}
  virtual void BeforeScroll() {}
  // Moves the window content by (DX, DY) within the horizontal-scroll rectangle (DX <> 0) or the
  // vertical-scroll rectangle, invalidating what is uncovered.
  virtual void ScrollContent(TNxCustomScrollBar* Bar, int DX, int DY);
  // The scroll event of a bar (fired by the window bar's update).
  virtual void DoScrollEvent(TNxCustomScrollBar* Bar, int Position) {}
  // Sends the window a bar's scroll message (the bars' LineUp .. PageDown): here with SendMessage.
  virtual void SendScrollMessage(UINT Msg, WPARAM Code);
  // Runs the framework's mouse events of the control (OnMouseDown, OnMouseMove, OnMouseUp): here
  // straight.
  virtual void RunControlEvent(const std::function<void()>& Event) { Event(); }
  // Runs a bar's move or scroll request (its position set, a line or a page asked for): here
  // straight. Nothing of the bar is touched after it.
  virtual void BarChange(const std::function<void()>& Change) { Change(); }

 protected:
  TRect FHorzScrollRect;
  TRect FVertScrollRect;
};

// The scroll control of the grid: the two window bars, the scroll messages, the mouse wheel
// switch and roll scrolling with the middle button.
//
// Roll scrolling: a middle-button press (after OnMouseDown) anchors the roll at the press point,
// shows the roll sign there, captures the mouse and starts the roll timer at 1 ms. Moving the
// pointer more than 5 pixels above the anchor rolls up, 6 or more below rolls down (the screen
// cursor shows crRollUp, crRollDown or crRoll). Each tick scrolls the vertical bar one line in
// that direction and sets the next interval to 100 minus the pointer's vertical distance from the
// anchor (at least 1 ms), so the farther the pointer the faster the roll. Any button release ends
// it; so do the loss of the mouse capture and the control's destruction.
class TNxScrollControl : public TNxCustomScrollControl {
  T_CLASS(TNxScrollControl, TNxCustomScrollControl)

 public:
  // Sender and the bar's new position.
  using TScrollEvent = std::function<void(TObject* Sender, int Position)>;

  explicit TNxScrollControl(TComponent* AOwner);
  ~TNxScrollControl() override;

  TNxScrollBar* HorzScrollBar() const { return FHorzScrollBar.get(); }
  TNxScrollBar* VertScrollBar() const { return FVertScrollBar.get(); }
  // True (default): the wheel counts as handled without scrolling here (the grid scrolls);
  // False: the framework's own wheel handling (OnMouseWheelDown / Up, then the parent).
  bool MouseWheelEnabled() const { return FMouseWheelEnabled; }
  void SetMouseWheelEnabled(bool Value) { FMouseWheelEnabled = Value; }
  // Middle-button roll scrolling may start (default True).
  bool RollEnabled() const { return FRollEnabled; }
  void SetRollEnabled(bool Value) { FRollEnabled = Value; }
  // The roll state: rolling, and the direction the pointer asks for (neither near the anchor).
  bool Rolling() const { return FRolling; }
  bool RollingUp() const { return FRollUp; }
  bool RollingDown() const { return FRollDown; }
  // The press point of the roll, client coordinates.
  TPoint RollAnchor() const { return FRollAnchor; }
  // The timer that steps the roll (owned; enabled only while rolling).
  TTimer* RollTimer() const { return FRollTimer; }
  // The roll sign shown at the anchor while rolling; none until the first roll, and none at all
  // when CreateRollShadow makes none.
  TWinControl* RollShadow() const { return FRollShadow; }

  void DoScrollEvent(TNxCustomScrollBar* Bar, int Position) override;

  TScrollEvent OnHorizontalScroll;
  TScrollEvent OnVerticalScroll;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // WM_HSCROLL / WM_VSCROLL of the window's own bars.
  virtual void WMHScroll(TMessage& Message);
  virtual void WMVScroll(TMessage& Message);
  // Repaints and shows the new state on both bars; disabling ends a roll.
  void CMEnabledChanged(TMessage& Message) override;

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;

  // How far one line of a scroll request (SB_LINEDOWN when Forward, SB_LINEUP) moves the bar:
  // its SmallChange here.
  virtual int LineStep(TNxCustomScrollBar* Bar, bool Forward) { return Bar->SmallChange(); }
  // One step of roll scrolling (the roll timer's tick).
  virtual void RollStep(TObject* Sender);
  // Makes the roll sign when the first roll starts: a pop-up control owned by this control, which
  // then parents it and keeps it hidden between rolls. Here a TRollShadow (grid/NxFlyoutControl);
  // a descendant may make another sign, or none (rolling works without a sign).
  virtual TWinControl* CreateRollShadow();
  // Shows the sign with its origin mark at ScreenPos (the anchor in screen coordinates): the
  // mark sits 7 pixels right of and 11 below the sign's 32 x 32 corner (TRollShadow::ShowAt).
  virtual void ShowRollShadow(TPoint ScreenPos);

  // Focus routines: post Tab (with Shift for the backward one) to a related control's window, and
  // give this control the focus when it can take it.
  void FocusNextControl(TWinControl* Control);
  void FocusPreviousControl(TWinControl* Control);
  void FocusSelf();

 private:
  void HandleScroll(TNxCustomScrollBar* Bar, TMessage& Message);
  void StartRolling(int X, int Y);
  // Ends a roll: timer off, state cleared, sign hidden, default screen cursor, and, when
  // ReleaseMouse is set, the capture released.
  void StopRolling(bool ReleaseMouse);

  std::unique_ptr<TNxScrollBar> FHorzScrollBar;
  std::unique_ptr<TNxScrollBar> FVertScrollBar;
  bool FMouseWheelEnabled = true;
  // Set when a scroll event fired (a scroll message fires one event in all).
  bool FScrollEventFired = false;
  TTimer* FRollTimer = nullptr;
  TWinControl* FRollShadow = nullptr;
  bool FRollShadowMade = false;
  bool FRollEnabled = true;
  bool FRolling = false;
  bool FRollUp = false;
  bool FRollDown = false;
  TPoint FRollAnchor;
};
