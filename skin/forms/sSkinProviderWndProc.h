// Process-wide state and helpers of the form skin provider's window procedure (the provider's
// NewWndProc, its caption input and system commands, moving, sizing and snapping). Win32.
//
// Hit codes of the skinned caption: the Windows codes, and the engine's own 101, 102, 103 for the
// close, restore and minimize buttons of a maximized MDI child drawn in the main form's menu line
// and 1000 + i for user caption button i.
#pragma once

#include <windows.h>

#include "framework/Forms.h"
#include "framework/Types.h"

class TsSkinProvider;

inline constexpr int HTCHILDCLOSE = 101;
inline constexpr int HTCHILDRESTORE = 102;
inline constexpr int HTCHILDMIN = 103;
inline constexpr int HTUSERBUTTON = 1000;

// The window-procedure messages without a constant of their own.
inline constexpr UINT WM_SYSMENU_POPUP = 0x313;   // right click on a taskbar button
inline constexpr UINT WM_UAHDESTROYWINDOW = 0x93;  // swallowed

// True from WM_CREATE of an MDI child created while the active child is maximized until that
// child's first paint or erase.
extern bool MaximizedChildCreating;
// The cover form ("acMDIIcons") shown over the maximized child's buttons during a menu loop of
// the MDI main form; nullptr when none. MenuLoopCoverOwner: the provider that made it (its paint
// reads that provider's form image), told by free notification when the application frees it.
extern TForm* MenuLoopCover;
extern TsSkinProvider* MenuLoopCoverOwner;
// True while a mouse-wheel message is re-dispatched to a frame under the cursor.
extern bool MouseWheelRouting;

// The provider exists and neither it nor its form is going away.
bool ProviderAlive(TsSkinProvider* P);
// RefreshMDIMain: the non-client area and MDI client of the skinned MDI main form repainted
// (nothing without one).
void RefreshMDIMain(bool Full);
// On: makes the form layered with an empty picture (True when it was made layered now). Off:
// WS_VISIBLE and WS_EX_LAYERED removed without a redraw (False).
bool MakeLayeredInvisible(TCustomForm* Form, bool On);

// ---- moving, sizing and snapping

// The work area of the monitor that shows most of the form, and that monitor's top-left corner in
// Origin when asked ((0, 0) when no monitor is known).
TRect FormWorkArea(TCustomForm* Form, TPoint* Origin = nullptr);
// Pos := Edge - Size when Buffer > |Pos + Size - Edge| (equal does not snap).
void SnapEdge(int& Pos, int Edge, int Buffer, int Size);

// The inverted frame of ResizeMode rmBorder: one per process.
struct TacBorderFrame {
  bool Active = false;    // the frame is on the desktop
  bool Pending = false;   // SC_MOVE / SC_SIZE seen, first mouse move (sizing) not yet
  bool Moving = false;    // True: move; False: size
  int SizingCode = 0;     // HTLEFT .. HTBOTTOMRIGHT being sized, 0 none
  HWND DesktopWnd = nullptr;
  HDC DesktopDC = nullptr;
  int SavedDC = 0;
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int LastX = 0, LastY = 0;
  int MinWidth = 0, MinHeight = 0;
  TsSkinProvider* Owner = nullptr;  // the provider whose form the frame belongs to
};
extern TacBorderFrame acBorderFrame;
