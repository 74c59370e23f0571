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

// The control whose window is being created; its window binds to it on its first message.
extern thread_local TWinControl* CreationControl;
// The graphic control that holds the mouse capture through its parent's window, or nullptr.
extern TControl* CaptureControlPtr;

inline TPoint MessagePoint(LPARAM LParam) { return Point(GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)); }

inline bool IsWindowed(TControl* C) { return dynamic_cast<TWinControl*>(C) != nullptr; }

}  // namespace ctlimpl
