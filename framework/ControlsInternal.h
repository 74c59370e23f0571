// What the sources of the controls unit share (Controls.cpp, ControlsWindowed.cpp,
// ControlsLayout.cpp, ControlsPaint.cpp). Not for other units. Win32.
#pragma once

#include <windows.h>
#include <windowsx.h>

#include "framework/Controls.h"

// The window procedure of every framework window (Controls.cpp).
LRESULT CALLBACK ControlWindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);

namespace ctlimpl {

// The window property that ties a window to its control.
LPCWSTR ControlProp();
// The process's own record of the same ties, which FindControl reads: the property is for the
// system and other parties, and reading it is a round trip to the window server under Wine, paid
// by every message a framework window receives. Bind records a tie; Forget drops the tie of
// Window when it names Control.
void RecordBinding(HWND Window, TWinControl* Control);
void ForgetBinding(HWND Window, TWinControl* Control);

// The control whose window is being created; its window binds to it on its first message.
extern thread_local TWinControl* CreationControl;
// The graphic control that holds the mouse capture through its parent's window, or nullptr.
extern TControl* CaptureControlPtr;

inline TPoint MessagePoint(LPARAM LParam) { return Point(GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)); }

inline bool IsWindowed(TControl* C) { return dynamic_cast<TWinControl*>(C) != nullptr; }

}  // namespace ctlimpl
