// The list of skinned forms and the redraw around a skin change. Win32.
//
// Form skinning registers every form that carries a skin provider. Around a skin change the skin
// manager freezes the drawing of those forms (BeginSkinChange), lets every control update itself
// (BroadcastToSkinnedForms with the skin commands), and then restores drawing and repaints them
// (EndSkinChange), optionally with an animated transition (AnimateFormShow, acAnimation.h).
//
// The redraw lock is a plain flag plus WM_SETREDRAW per form, not a counter: a second
// BeginSkinChange before EndSkinChange has no further effect, and one EndSkinChange ends both.
//
// What the skin core needs of a form's skin provider (its manager, its in-update flag, its border
// window, its region ...) it reaches through acProviderLink, which the form skinning fills in
// when it is linked in. The provider itself is found by asking the form's window AC_GETPROVIDER;
// the answer is the provider object (0: none). With the hooks empty, a provider belongs to no
// manager and the routines leave every form alone.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "framework/Forms.h"
#include "framework/Messages.h"

class TsSkinManager;

// True between BeginSkinChange and EndSkinChange of the default manager while its skin-changing
// animation is on, and during an animated form show. Painting code skips work while it is set.
extern bool acFormsUpdating;

// The small or the large shell icon of the program's own executable, loaded on the first call and
// freed when the unit ends (0 when the shell has none).
HICON acAppIcon(bool Large);

// ---- Services of the form skinning -------------------------------------------------------------

// Operations on a skin provider (the object a form answers to AC_GETPROVIDER) and on its border
// window. Each may be empty; an empty one reads as "no", 0, nullptr or nothing done.
struct TacProviderLink {
  // The manager the provider's skin data belongs to (its own, else the default manager).
  std::function<TsSkinManager*(TObject* Provider)> Manager;
  // The provider's in-update flag, set during the redraw lock of a skin change.
  std::function<void(TObject* Provider, bool Value)> SetInUpdate;
  // The provider paints the form's non-client area.
  std::function<bool(TObject* Provider)> DrawNonClientArea;
  // The provider's extended-border window (0: none).
  std::function<HWND(TObject* Provider)> BorderWindow;
  // Shows, places and repaints the border window with a constant alpha (255 = opaque).
  std::function<void(TObject* Provider, bool Repaint, Byte Alpha)> UpdateBorderWindow;
  // A new region for the border window, or 0 when it needs none (the caller hands it on).
  std::function<HRGN(TObject* Provider)> CreateBorderRegion;
  // Rebuilds the list of rectangles cut out of the form's window region.
  std::function<void(TObject* Provider)> FillRgnRects;
  // A new region of the form rectangle minus that list (the caller hands it on).
  std::function<HRGN(TObject* Provider)> CreateFormRgn;
  // Sets the form's window region from the list, repainting with Repaint.
  std::function<void(TObject* Provider, bool Repaint)> UpdateFormRgn;
  // Rebuilds the form's non-client picture; returns the size of the whole form picture.
  std::function<TSize(TObject* Provider)> PaintAll;
  // The offset of the client area inside the form's picture.
  std::function<TPoint(TObject* Provider)> ClientOffset;
  // The screen point where the border window shows the form's picture (its top-left corner).
  std::function<TPoint(TObject* Provider)> BorderImageOrigin;
  // Frees what the provider's non-client painting keeps between paints (the saved title band, which
  // a repaint would otherwise reuse); called when the provider's skin section changes.
  std::function<void(TObject* Provider)> FreeNonClientCache;
  // The windows of the adapters of the hook's skinned objects (acHookProviderList), for the
  // objects that have an adapter (visible or not).
  std::function<std::vector<HWND>()> HookedWindows;
};
extern TacProviderLink acProviderLink;

// The provider's extended-border window through the link; nullptr for a null provider or an
// empty hook.
HWND ProviderBorderWindow(TObject* Provider);

// The skin provider of a form: its window's answer to AC_GETPROVIDER (nullptr without a window,
// or when it has none).
TObject* FormSkinProvider(TCustomForm* Form);

// ---- The registered forms ----------------------------------------------------------------------

// Appends Form (nullptr is ignored). A registered form that is destroyed leaves an empty slot.
void RegisterSkinnedForm(TCustomForm* Form);
// Each slot holding Form receives the current last entry and the last slot is emptied; an empty
// last slot is then dropped. A form registered twice thus leaves one empty slot, which every walk
// skips.
void UnregisterSkinnedForm(TCustomForm* Form);
// The slots, in order (entries may be nullptr).
const std::vector<TCustomForm*>& RegisteredSkinnedForms();

// ---- The skin change ---------------------------------------------------------------------------

// Redraw lock: nothing while the application window is minimised. For the default manager with
// its skin-changing animation on, acFormsUpdating := True. Every registered top-level form that
// is visible, not an MDI child and not minimised, whose provider belongs to Manager, gets its
// provider's in-update flag set and WM_SETREDRAW 0.
void BeginSkinChange(TsSkinManager* Manager);
// Redraw restore: nothing while the application window is minimised. For the default manager,
// acFormsUpdating := False. The same forms get WM_SETREDRAW 1 and, with Repaint, a maximised one
// its place again (MaximiseFormAgain) before the animated show (when the manager animates skin
// changes), their in-update flag cleared, their region rebuilt (non-client painting providers)
// and a full redraw of frame and children.
void EndSkinChange(TsSkinManager* Manager, bool Repaint);
// Maximises the maximised form's window Wnd again, so that it takes the place its frame asks for
// now (extended borders that came or went, the skin's title, place a maximised form elsewhere),
// without the system's own frame shown on the way. Its visibility, and so a held drawing
// (WM_SETREDRAW), stays what it was, and the active window stays active.
void MaximiseFormAgain(HWND Wnd);
// The message to every form owned by the application (last first) that is a TForm, not an MDI
// child, neither loading nor being destroyed and not skinned itself (AC_ISSKINNED), by
// SendMessage, then to its control tree (BroadcastSkinCommand) and, for an MDI main form, to its
// MDI client window; then SendToRegisteredForms.
void BroadcastToSkinnedForms(TMessage& Message);
// The message to every registered form that is not being destroyed (SendMessage, its control
// tree, its MDI client window), then to every visible window of the hook's skinned windows.
void SendToRegisteredForms(TMessage& Message);
