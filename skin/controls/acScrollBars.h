// Skinned non-client scroll bars: TacScrollWnd, the adapter of windows with standard scroll bars.
//
// The window keeps its own scrolling logic, but its scroll bars are taken away from Windows:
// while the window computes its client area the scroll styles are hidden from it, the adapter
// reserves the space itself and paints both bars and the corner between them from the skin
// sections SCROLLBAR1H/2H/1V/2V, SCROLLSLIDERH/V, SCROLLBTNLEFT/RIGHT/TOP/BOTTOM and the size grip
// GLOBALINFO GRIPIMAGE. With the mouse the adapter does what standard scroll bars do: hit testing,
// hot tracking, pressing and repeating arrows and page areas (timers 65533: 300 ms, then 65534:
// 55 ms), dragging the thumb, and sending WM_HSCROLL / WM_VSCROLL framed by SM_ALPHACMD
// AC_BEFORESCROLL / AC_AFTERSCROLL. Hover tracking uses timer 65522 (20 ms).
//
// The tracking state is process-wide: one pressed or hot bar at a time (acScrollTracking()).
// Win32.
#pragma once

#include <windows.h>

#include "skin/controls/acWndAdapter.h"

class TacScrollWnd;

// ScrollFlags bits of a bar.
inline constexpr Word acsfFirstArrowDisabled = 1;
inline constexpr Word acsfSecondArrowDisabled = 2;
inline constexpr Word acsfNeedsRange = 4;
inline constexpr Word acsfHasStyle = 8;

// The timers of the scroll-bar engine (window timers on the adapted window).
inline constexpr UINT_PTR acTimerHover = 65522;
inline constexpr UINT_PTR acTimerFirstRepeat = 65533;
inline constexpr UINT_PTR acTimerRepeat = 65534;

// The state of one skinned bar.
class TacScrollBar : public TObject {
  T_CLASS(TacScrollBar, TObject)

 public:
  explicit TacScrollBar(TacScrollWnd* AOwner) : Owner(AOwner) {}

  // acsfHasStyle: the window has the bar's scroll style; the other bits disable arrows or ask for
  // a usable range (IsBarEnabled). The adapter sets only acsfHasStyle.
  Word ScrollFlags = 0;
  // The bar occupies non-client space (decided in WM_NCCALCSIZE).
  bool Visible = false;
  // The window's scroll data for this bar (SIF_ALL).
  SCROLLINFO ScrollInfo{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  // The arrows the window reports unavailable (acsfFirstArrowDisabled, acsfSecondArrowDisabled),
  // read with ScrollInfo: the system draws its own bar when either changes, as when the data does.
  Word DisabledArrows = 0;
  // ScrollInfo and DisabledArrows as the check after the window's last outermost message found
  // them (RepaintBarsAfterChange); painting reads the others anew, never these.
  SCROLLINFO CheckedInfo{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
  Word CheckedArrows = 0;
  // Arrow-button length along the bar / thickness across it; a negative -n means n times the
  // standard size (button) or the system metric (thickness).
  int ButtonLength = -1;
  int Thickness = -1;
  // Optional strips at the bar's start and end that the part rectangles leave out.
  int ButSizeBefore = 0;
  int ButSizeAfter = 0;
  bool ButVisibleBefore = false;
  bool ButVisibleAfter = false;
  // SB_HORZ (0) or SB_VERT (1).
  Word BarKind = SB_HORZ;
  Word FlatStyle = 0;
  // The smallest thumb length in pixels.
  int MinThumbSize = 10;
  TacScrollWnd* Owner = nullptr;
  // How often the bar was painted in its resting look (PaintScrollBar): what repaints cost is
  // counted, not timed.
  unsigned Paints = 0;
};

// The adapter of a window with standard scroll bars.
class TacScrollWnd : public TacMainWnd {
  T_CLASS(TacScrollWnd, TacMainWnd)

 public:
  using TacMainWnd::TacMainWnd;
  // Detaches (stopping the tracking on the window), then frees both bars.
  ~TacScrollWnd() override;

  void WndProc(TMessage& Message) override;
  // What the window did with a message may have changed a bar's scroll data or disabled one of
  // its arrows: the system then drew its own bars over the skinned ones at once, and no message
  // tells. After the window's outermost message the shown bars are painted again once the data or
  // arrows of one of them changed since the last such check (RepaintBarsAfterChange); after a
  // message that came in while another was handled, a shown bar whose data or arrows changed is
  // (RepaintChangedBars). Bars that stayed as they were cost two reads each. After the framework's
  // notice CM_SCROLLDATASET the shown bars are painted again whatever changed.
  void AfterMessage(const TMessage& Message) override;

  TacScrollBar* HorzBar = nullptr;
  TacScrollBar* VertBar = nullptr;
  // A bar takes room on the window (is painted).
  bool BarShown() const {
    return (HorzBar != nullptr && HorzBar->Visible) || (VertBar != nullptr && VertBar->Visible);
  }
  // A thumb of this window is being dragged.
  bool ThumbTracking = false;
  // WS_EX_LEFTSCROLLBAR: the vertical bar lies at the left.
  bool LeftScrollBar = false;
  // The window's own non-client widths on each side, measured without the scroll bars.
  int InsetLeft = 0;
  int InsetRight = 0;
  int InsetTop = 0;
  int InsetBottom = 0;
  // True while the adapter itself changes the window style (WM_STYLECHANGED swallowed).
  bool IgnoreStyleChange = false;

 protected:
  // InitSkinScrollBars instead of the plain hook.
  void HookWindow(bool Repaint) override;
  // StopScrollTracking.
  void StopInputTracking() override;

 private:
  // AfterMessage is comparing (a message the repaint sends to the window is not checked again).
  bool FCheckingBars = false;
};

// Starts one of the engine's timers on a window (SetTimer without a procedure by default); a test
// may replace it to see which timer is asked for with which interval.
extern UINT_PTR (*acScrollSetTimer)(HWND Handle, UINT_PTR Id, UINT Milliseconds);

// The process-wide tracking state (one pressed or hot bar at a time).
struct TacScrollTracking {
  int TrackBar = -1;      // the pressed bar: 0 horizontal, 1 vertical, -1 none
  int TrackPart = -1;     // the pressed part (SB_LINEUP .. SB_PAGEDOWN, SB_THUMBTRACK), -1 none
  int PressedPart = -1;   // the part drawn pressed, -1 none
  UINT ScrollMsg = 0;     // WM_HSCROLL or WM_VSCROLL for the pressed bar
  UINT_PTR RepeatTimer = 0;
  int LastTrackPos = -1;  // the last position sent while dragging
  int DragThumbSize = 0;
  int DragThumbPos = 0;   // the dragged thumb's start along the bar (screen), where the pointer holds it
  TRect DragBarRect{};
  int DragOffset = 0;
  HWND HoverWnd = nullptr;  // the window whose bar is hot or pressed
  int HoverBar = -1;
  int HoverPart = -1;
  int LastHoverPart = -1;
  UINT_PTR HoverTimer = 0;
  TRect HoverBarRect{};
  HWND GivingBack = nullptr;  // the window whose capture StopScrollTracking gives back now
  bool ButtonHeld = false;    // the press came with the left button down (not from messages alone)
};
TacScrollTracking& acScrollTracking();
// Stops what tracking left running on the adapter's window (the hover and repeat timers, the mouse
// capture of a press, the tracking state when it is the window's). Detaching and freeing do it,
// and the first message after the skin went; the window hears nothing of it (not the capture's
// return either), so that none of its own code runs while the adapter lets go or is freed.
void StopScrollTracking(TacScrollWnd* Adapter);

// Where the background of a window's bars lies in the window's own background answer, for windows
// whose answer is not in window coordinates (a form with an extended border window, an MDI client
// inside its form). Filled by form skinning; nullptr or a (0, 0) answer: no offset.
extern TPoint (*acScrollBackgroundOffset)(TacScrollWnd* Adapter, HWND Handle);

// ---- geometry and painting --------------------------------------------------------------------

// Creates the bars of the adapter, stores it in the window property, hooks the window, sets the
// minimum thumb to 10 and (Repaint) makes Windows recompute the non-client area at once.
void InitSkinScrollBars(TacScrollWnd* Adapter, HWND Handle, bool Repaint);
// The bar's thickness (Thickness) or its arrow-button length; UseSkin lets the skin's button
// images lengthen the buttons.
int GetBarSize(const TacScrollBar* Bar, bool Thickness, bool UseSkin);
// Screen rectangles of the bars.
void GetHorzBarRect(TacScrollWnd* Adapter, HWND Handle, TRect& R);
void GetVertBarRect(TacScrollWnd* Adapter, HWND Handle, TRect& R);
bool GetBarRect(TacScrollWnd* Adapter, int BarKind, HWND Handle, TRect& R);
// Thumb length and start along the bar rectangle R.
void CalcThumb(const TacScrollBar* Bar, const TRect& R, int& ThumbSize, int& ThumbPos);
// The part of the bar in R under the screen point (X, Y): SB_LINEUP (0), SB_LINEDOWN (1),
// SB_PAGEUP (2), SB_PAGEDOWN (3), SB_THUMBTRACK (5), -1 none.
int GetPartAt(const TacScrollBar* Bar, HWND Handle, TRect R, int Y, int X);
bool IsBarEnabled(const TacScrollBar* Bar);
// The corner square R (screen) touches the corner of a top-level parent's client area.
bool IsGripAtParentCorner(TacScrollWnd* Adapter, HWND Handle, const TRect& R);
// The adapter's answer to WM_NCCALCSIZE (LParam: the message's rectangle or NCCALCSIZE_PARAMS,
// whose first rectangle is the one adjusted).
LRESULT HandleNcCalcSize(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam);
// The same on a rectangle of the caller's (the window rectangle in, the client rectangle out); the
// previous procedure gets it as the plain-rectangle form of the message.
LRESULT HandleNcCalcSize(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, TRect& R);
// Paints both bars and the corner (DC 0: the window DC). Returns 0.
LRESULT PaintSkinScrollBars(TacScrollWnd* Adapter, HWND Handle, HRGN Region, LPARAM LParam, int ThumbPos = -1,
                            HDC DC = nullptr);
// Paints one bar in R (window coordinates of DC); Pressed: the part drawn pressed, -1 none.
// Answers whether the bar's adapter goes on: the window's answer to the background query may free
// it or the control, or switch the skin off.
bool PaintScrollBar(TacScrollBar* Bar, HWND Handle, HDC DC, int ThumbPos, int Pressed, const TRect& R);
// The bar object of an adapted window; nullptr for another kind or without adapter.
TacScrollBar* GetWndScrollBar(HWND Handle, int BarKind);
// Sets the minimum thumb of SB_HORZ, SB_VERT or SB_BOTH; 0 when the window has no adapter, else 1.
int SetMinThumbSize(HWND Handle, int BarKind, int Size);

// Makes a framework control's scroll-bar adapter follow its skin data: skinned -> a TacScrollWnd
// for the control's window (flat scroll bars switched off; a detached adapter is replaced);
// unskinned -> the adapter freed (flat scroll bars back). Nothing while the control is loading,
// being destroyed or designed.
void RefreshScrollAdapter(TsCommonData* SkinData, TacScrollWnd*& Adapter);

// ---- tracking ---------------------------------------------------------------------------------

// One synthesized scroll message framed by AC_BEFORESCROLL / AC_AFTERSCROLL; the answer to the
// latter.
LRESULT SendScrollMessage(HWND Handle, UINT Msg, int Code, int Pos);
// Re-reads both bars' scroll data and (Repaint) repaints them.
void UpdateScrollInfo(TacScrollWnd* Adapter, bool Repaint);
// Re-reads the scroll data and arrow states of the shown bars and repaints a bar only when they
// changed; nothing while the window is hidden (compared once it shows).
void RepaintChangedBars(TacScrollWnd* Adapter);
// Re-reads the scroll data and arrow states of the shown bars and repaints every shown bar when
// those of one of them changed since the last call, or at once when SystemDrew (the system drew
// its bars whatever changed); nothing while the window is hidden (compared once it shows).
void RepaintBarsAfterChange(TacScrollWnd* Adapter, bool SystemDrew = false);
// The scroll adapters' UnhookAdapterWndProc: also frees the bars.
void UnhookScrollAdapter(HWND Handle, bool FreeAdapter, bool Repaint, TacMainWnd*& Adapter);

LRESULT HandleNcHitTest(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam);
LRESULT HandleNcMouseMove(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam);
LRESULT HandleNcLButtonDown(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam);
LRESULT HandleMouseMove(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam);
LRESULT HandleLButtonUp(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam);
LRESULT HandleTimer(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam);
LRESULT HandleStyleChanged(TacScrollWnd* Adapter, HWND Handle, WPARAM WParam, LPARAM LParam);
// One step of a thumb drag to the screen point (X, Y), made by the program; it ends quietly when a
// handler of its scroll message frees the adapter.
void ThumbTrackHorz(TacScrollBar* Bar, HWND Handle, int X, int Y);
void ThumbTrackVert(TacScrollBar* Bar, HWND Handle, int X, int Y);
