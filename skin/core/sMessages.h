// Skin command senders and control-tree utilities. Win32.
//
// Every part of the skin engine delivers SM_ALPHACMD (see sConst.h) through these routines: to
// one window, to one control (a direct dispatch for a control without a window, SendMessage for
// a windowed control with a handle that is not being destroyed), or down a whole control tree.
// The command always goes in the high word of WParam; the low word carries the command's flag
// where it takes one (SendSkinCommandToControl), else it stays 0.
//
// Beside the senders the unit answers small questions about controls and windows (their colour,
// whether a control may paint now, the form that owns a component, the client rectangle in
// window coordinates ...), paints the graphic (windowless) children of a windowed control into a
// device context, and keeps the dynamically loaded visual-styles routine SetWindowTheme for the
// control and form skinning.
#pragma once

#include <windows.h>

#include <vector>

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Messages.h"
#include "framework/Types.h"
#include "skin/core/sConst.h"

// ---- Senders -----------------------------------------------------------------------------------

// SendMessage(Wnd, SM_ALPHACMD, Command in the high word, LParam); the answer. 0 for a null Wnd.
LRESULT SendSkinCommand(HWND Wnd, Word Command, LPARAM LParam = 0);
// The command to a control: a control without a window gets it by direct dispatch (Perform); a
// windowed control that is not being destroyed and has a handle by SendMessage (no handle is
// created); otherwise nothing is delivered and the answer is 0. 0 for nullptr. Arg goes in the
// low word of WParam, for the commands that take a flag.
LRESULT SendSkinCommandToControl(TControl* Control, Word Command, LPARAM LParam = 0, Word Arg = 0);
// SendSkinCommandToControl with LParam 0.
LRESULT AskControl(TControl* Control, Word Command);
// True when the window answers the command (LParam 0) with exactly 1.
bool WindowAnswersCommand(HWND Wnd, Word Command);
// Delivers a message record to the whole control tree under Control. For each child, the child
// count re-read every round: a child being destroyed ends the walk; a windowless child, or a
// windowed child without a handle, gets the message by direct dispatch; a windowed child that
// answers AC_ISSKINNED with 1 gets it by SendMessage (it passes it on to its own children);
// any other windowed child is walked recursively instead. Message.Result is not changed.
void BroadcastSkinCommand(TWinControl* Control, TMessage& Message);
// SendMessage of the message record to every window whose parent is Wnd (direct children only).
void BroadcastToChildWindows(HWND Wnd, TMessage& Message);
// Hands the message to the first skin provider among the form's components that is not being
// destroyed. The provider takes no command through this path, so nothing happens beyond the
// lookup.
void SendToFormProvider(TCustomForm* Form, TMessage& Message);
// AC_CONTROLLOADED (LParam = the control) to the window of the control's parent form, unless the
// control is loading or designing or has no parent form.
void NotifyParentFormLoaded(TControl* Control);
// AC_REFRESHIFSKINNED to every direct child of Control that is neither a graphic control nor
// being destroyed: windowless children by SendSkinCommandToControl, windowed ones by
// SendSkinCommand when they have a handle and are showing. Nothing while the forms-updating flag
// is set.
void RefreshChildControls(TWinControl* Control);
// Wnd's child chain (GetTopWindow, then GW_HWNDNEXT): each step asks the window server, so a
// paint that needs the chain twice walks it once.
std::vector<HWND> ChildWindows(HWND Wnd);
// AC_REFRESHIFSKINNED to every window of a child chain (ChildWindows) that has the WS_CHILD style.
void RefreshChildWindows(const std::vector<HWND>& Chain);

// ---- Queries -----------------------------------------------------------------------------------

// The control's colour as RGB: clKeyColor for nullptr; for a skinned control (AC_ISSKINNED
// answered with 1) its answer to AC_GETCOLOR (direct dispatch, LParam clKeyColor); otherwise
// its Color.
TColor GetControlColor(TControl* Control);
// The window's answer to AC_GETCOLOR (LParam clKeyColor) as RGB; clKeyColor for a null window.
TColor GetWindowColor(HWND Wnd);
// The control may paint now: it exists, a windowed control has its handle, it is neither reading
// its state nor creating its window, neither loading nor being destroyed, and it has a parent.
bool ControlIsReady(TControl* Control);
// The first TCustomForm of the Owner chain, starting with the component itself; nullptr when none.
TCustomForm* GetOwnerForm(TComponent* Component);
// The owning frame; this system has no frame class, so always nullptr.
TComponent* GetOwnerFrame(TComponent* Component);
// DT_EXPANDTABS | DT_VCENTER and DT_LEFT, DT_RIGHT or DT_CENTER for the alignment. Controls have
// no right-to-left reading in this system, so the flags pass unchanged.
UINT GetTextDrawFlags(TControl* Control, TAlignment Alignment);
// The client rectangle in window coordinates (window's top-left corner at 0, 0); empty for an
// invalid window.
TRect GetClientRectInWindow(HWND Wnd);
// The sum of the heights (alTop, alBottom) or widths (alLeft, alRight) of the visible children
// of Control with that alignment; graphic children count only with CountGraphic. 0 for other
// alignments and for nullptr.
int AlignedControlsSize(TWinControl* Control, TAlign Align, bool CountGraphic);
// The top of the GetParent chain of Wnd (Wnd itself when it has no parent).
HWND GetTopParentWindow(HWND Wnd);
// A graphic control that the graphic-control painter paints into DC: visible (or designing), a
// TGraphicControl of positive size, without csNoDesignVisible, not being destroyed, and with its
// bounds visible in DC (RectVisible, DC in parent client coordinates).
bool IsGraphicControlVisible(TControl* Control, HDC DC);
// The mouse position in screen coordinates.
TPoint GetCursorPosition();

// ---- Painting ----------------------------------------------------------------------------------

// Paints the visible graphic children of Control into DC, which shows Control with its top-left
// corner at Offset. The children paint into a memory bitmap laid over Control's own background
// first (its answer to the background query, else its colour; an opaque child's own colour); a
// child whose top-left pixel is clKeyColor there is not copied. A child whose bounds do not show
// in DC is not painted and gets AC_NOTPAINTED; with an empty clip box in DC, Control itself gets
// AC_NOTPAINTED and nothing is drawn. An MDI main form's aligned children get AC_APPACTIVATED
// before they paint.
void PaintGraphicControls(HDC DC, TWinControl* Control, TPoint Offset);

// ---- Visual styles -----------------------------------------------------------------------------

// SetWindowTheme of the visual-styles library, loaded at start-up; nullptr when the library or
// the routine is missing.
using TSetWindowThemeProc = HRESULT(WINAPI*)(HWND Wnd, LPCWSTR SubAppName, LPCWSTR SubIdList);
extern TSetWindowThemeProc acSetWindowTheme;
