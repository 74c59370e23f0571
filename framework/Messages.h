// Window messages of the framework: the message record that travels through a control's window
// procedure chain, and the framework's own notification messages.
//
// CM_ messages (from CM_BASE, 0xB000) are notifications between framework controls: a property
// changed (CM_FONTCHANGED), the pointer entered a control (CM_MOUSEENTER), a form became active
// (CM_ACTIVATE) ... They are usually delivered with Perform, straight into the WindowProc chain,
// and so they reach controls that have no window yet.
//
// CN_ messages (from CN_BASE, 0xBC00) are notifications that the system sends to a parent window
// about one of its child windows (WM_COMMAND, WM_DRAWITEM, WM_CTLCOLOREDIT ...) and keyboard
// messages before their dispatch. The framework passes them on to the child control they concern
// as CN_BASE + the original message number, so that each control handles its own notifications.
// Win32.
#pragma once

#include <windows.h>

#include <functional>

// One message as it travels through a control's WindowProc chain. Handlers set Result.
struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

// A window procedure in the form the framework chains them: a handler of a message record.
using TWndMethod = std::function<void(TMessage& Message)>;

// ---------------------------------------------------------------------------------------------
// Framework notifications

constexpr UINT CM_BASE = 0xB000;

// Application window: the application became active / inactive (posted on WM_ACTIVATEAPP).
// Form: the form became the active window / stopped being it.
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_GOTFOCUS = CM_BASE + 2;
constexpr UINT CM_LOSTFOCUS = CM_BASE + 3;
// Sent to the control that holds the mouse capture before another one takes it.
constexpr UINT CM_CANCELMODE = CM_BASE + 4;
// A dialog key (Tab, arrows, Enter, Escape) that the focused control does not want; sent to its
// form. WParam = virtual key, LParam = key data. Result non-zero: handled.
constexpr UINT CM_DIALOGKEY = CM_BASE + 5;
// A character that the focused control does not take (accelerators); broadcast through the
// form's controls. WParam = character, LParam = key data. Result non-zero: handled.
constexpr UINT CM_DIALOGCHAR = CM_BASE + 6;
// Broadcast through a form after the focus moved to another control; LParam = the control.
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
// Is the point (client coordinates, LParam as in mouse messages) part of the control? Result
// non-zero: yes (the default for every point inside the bounds).
constexpr UINT CM_HITTEST = CM_BASE + 10;
// WParam = 1 for visible, 0 for hidden.
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 15;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
// The pointer entered / left the control; LParam = the control.
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
// A form's menu changed.
constexpr UINT CM_MENUCHANGED = CM_BASE + 21;
// A windowed control starts or stops being shown on the screen; the handler makes its window
// visible or hidden (forms also run their OnShow/OnHide there).
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 25;
// The focus entered / left the control (or one of its children).
constexpr UINT CM_ENTER = CM_BASE + 26;
constexpr UINT CM_EXIT = CM_BASE + 27;
constexpr UINT CM_DESIGNHITTEST = CM_BASE + 28;
constexpr UINT CM_ICONCHANGED = CM_BASE + 29;
constexpr UINT CM_WANTSPECIALKEY = CM_BASE + 30;
// Posted to a form by Release; the form frees itself when it arrives.
constexpr UINT CM_RELEASE = CM_BASE + 33;
constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 34;
constexpr UINT CM_PARENTSHOWHINTCHANGED = CM_BASE + 35;
constexpr UINT CM_SYSCOLORCHANGE = CM_BASE + 36;
constexpr UINT CM_WININICHANGE = CM_BASE + 37;
constexpr UINT CM_FONTCHANGE = CM_BASE + 38;
constexpr UINT CM_TABSTOPCHANGED = CM_BASE + 40;
// Performed on a form when it becomes active, after CM_ACTIVATE.
constexpr UINT CM_UIACTIVATE = CM_BASE + 41;
constexpr UINT CM_UIDEACTIVATE = CM_BASE + 42;
// A control was inserted into or removed from a parent; travels up the parent chain to the form.
// WParam = the control, LParam = 1 for inserted, 0 for removed.
constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 44;
constexpr UINT CM_CHILDKEY = CM_BASE + 46;
// Asks the control under the pointer whether it shows a hint; LParam = the THintInfo* to adjust.
// Result non-zero: no hint.
constexpr UINT CM_HINTSHOW = CM_BASE + 48;
// Performed to recreate a control's window (RecreateWnd).
constexpr UINT CM_RECREATEWND = CM_BASE + 51;
// Performed by Invalidate on a windowed control; WParam = 1 when the control is opaque. The
// handler invalidates the window.
constexpr UINT CM_INVALIDATE = CM_BASE + 52;
constexpr UINT CM_SYSFONTCHANGED = CM_BASE + 53;
// Performed on a form after its window was recreated for a new border style or border icons.
constexpr UINT CM_BORDERCHANGED = CM_BASE + 58;
constexpr UINT CM_ACTIONUPDATE = CM_BASE + 63;
constexpr UINT CM_ACTIONEXECUTE = CM_BASE + 64;
// The pointer wheel turned; travels from the focused control up its parents until one handles
// it. WParam and LParam as in WM_MOUSEWHEEL. Result non-zero: handled.
constexpr UINT CM_MOUSEWHEEL = CM_BASE + 67;
// Performed on a scrolling container after the framework set the scroll data (range, page,
// position) of its window. The system tells the window nothing of such a call while it draws the
// bars anew: what draws the bars in the control's place hears of it here.
constexpr UINT CM_SCROLLDATASET = CM_BASE + 96;
// Performed on a windowed control that lets go of its window without destroying it: the window
// outlives the control's hold for a while (a system call still works on it, or its menu loop
// runs), and its WM_DESTROY will not travel through the control's WindowProc chain. Whoever is
// hooked on the chain lets go of the window now, as at WM_DESTROY. WParam = the window.
constexpr UINT CM_WINDOWRELEASED = CM_BASE + 97;
// Painting the client area into a buffered device context; not sent by the framework itself,
// reserved so that every window of the program agrees on the number.
constexpr UINT CM_BUFFEREDPRINTCLIENT = CM_BASE + 76;

// ---------------------------------------------------------------------------------------------
// Notifications passed on to the child control they concern

constexpr UINT CN_BASE = 0xBC00;

constexpr UINT CN_CHARTOITEM = CN_BASE + WM_CHARTOITEM;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_COMPAREITEM = CN_BASE + WM_COMPAREITEM;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLORDLG = CN_BASE + WM_CTLCOLORDLG;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
constexpr UINT CN_CTLCOLORMSGBOX = CN_BASE + WM_CTLCOLORMSGBOX;
constexpr UINT CN_CTLCOLORSCROLLBAR = CN_BASE + WM_CTLCOLORSCROLLBAR;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
constexpr UINT CN_DELETEITEM = CN_BASE + WM_DELETEITEM;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
constexpr UINT CN_PARENTNOTIFY = CN_BASE + WM_PARENTNOTIFY;
constexpr UINT CN_VKEYTOITEM = CN_BASE + WM_VKEYTOITEM;
constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
// Keyboard messages, sent to the focused control before the message is dispatched. Result
// non-zero: the key was used (for example as a dialog key) and is not dispatched.
constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_KEYUP = CN_BASE + WM_KEYUP;
constexpr UINT CN_CHAR = CN_BASE + WM_CHAR;
constexpr UINT CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;
constexpr UINT CN_SYSKEYUP = CN_BASE + WM_SYSKEYUP;
constexpr UINT CN_SYSCHAR = CN_BASE + WM_SYSCHAR;

static_assert(CN_NOTIFY == 0xBC4E && CN_KEYDOWN == 0xBD00 && CN_KEYUP == 0xBD01);
static_assert(CM_FOCUSCHANGED == 0xB007 && CM_UIACTIVATE == 0xB029 && CM_CONTROLLISTCHANGE == 0xB02C);
static_assert(CM_INVALIDATE == 0xB034 && CM_BORDERCHANGED == 0xB03A && CM_MOUSEWHEEL == 0xB043);
static_assert(CM_BUFFEREDPRINTCLIENT == 0xB04C && CM_SHOWINGCHANGED == 0xB019);
