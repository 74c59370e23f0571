// Window adapters: the base class TacMainWnd and the small services that every adapter shares.
//
// A window adapter takes over one existing window (a window handle, with or without a framework
// control behind it) so that the skin engine paints it from the skin while the window's own code
// keeps running behind it. TacMainWnd binds itself to the handle, puts its WndProc in front of the
// window's previous procedure, keeps the skin data (TsCommonData) the window is painted through,
// answers SM_ALPHACMD in the same way for every adapter and puts everything back when it is
// detached or freed. A window's adapter is always found through the window property "ACSBSC"
// (GetWndAdapter).
//
// How a window is taken over:
//  - a framework control (the skin data's owner control): the adapter's WndProc goes on top of
//    the control's WindowProc chain; the saved handler is OldProc;
//  - the form of a skin provider (the skin data's owner object is a TsSkinProvider): the same on
//    the provider's form;
//  - any other window: the window is subclassed (GWL_WNDPROC), the previous procedure is
//    OldWndProc and ObjectInstance the procedure that routes the window's messages to WndProc.
//
// Creating an adapter: C++ constructors cannot call the descendants' virtual operations, so an
// adapter is always made through TacMainWnd::Create<T>(...) (or a TacMainWndClass taken from
// TacMainWnd::ClassRef<T>()), which constructs it and then attaches it (saving the control's
// parameters with the virtual SaveStdParams and hooking the window).
//
// An adapter lets go of its window when the window is destroyed (WM_DESTROY) and, for a framework
// control, when the control lets go of a window that outlives it for a while (CM_WINDOWRELEASED:
// no WM_DESTROY comes through the control's chain then), whatever the adapter's kind.
//
// Freeing an adapter: `delete` (or UnhookAdapterWndProc with FreeAdapter). The base destructor
// detaches a still attached adapter, but by then the descendants' RestoreStdParams can no longer
// run: a descendant that overrides RestoreStdParams calls DetachOnDestroy() first thing in its own
// destructor. Detaching happens at most once (Destroyed).
// Win32.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/Lists.h"
#include "framework/Messages.h"
#include "framework/Object.h"
#include "framework/Types.h"

class TsCommonData;
struct TCacheInfo;
class TsSkinManager;
class TacMainWnd;
class TCustomImageList;

// The window property that holds a window's adapter.
inline constexpr const char* acAdapterPropName = "ACSBSC";

// A class reference of adapters: makes (and attaches) an adapter of one class.
using TacMainWndClass = TacMainWnd* (*)(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                                        const AnsiString& SkinSection, bool Repaint);

// Thrown by CallOldWndProc when the adapter was freed while the message was passed on; the
// adapter's window procedure entries catch it, so that nothing of the freed adapter is touched.
struct TacAdapterFreed {};

class TacMainWnd : public TObject {
  T_CLASS(TacMainWnd, TObject)

 public:
  // ---- creation
  // Makes an adapter of class T for Handle and attaches it. ASkinData: the skin data to paint
  // through (not owned); nullptr: the adapter makes and owns its own. ASkinManager: nullptr means
  // the skin data's manager. SkinSection: the section, used when the skin data has none. Repaint
  // matters only for scroll-bar adapters (re-frame the window after taking it over).
  template <class T>
  static T* Create(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                   const AnsiString& SkinSection, bool Repaint = true) {
    T* Adapter = new T(Handle, ASkinData, ASkinManager, SkinSection);
    try {
      Adapter->AfterConstruction(Repaint);
    } catch (...) {
      delete Adapter;
      throw;
    }
    return Adapter;
  }
  // The class reference of T (for adapter tables that pick the class by window class).
  template <class T>
  static TacMainWndClass ClassRef() {
    return [](HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection,
              bool Repaint) -> TacMainWnd* { return Create<T>(Handle, ASkinData, ASkinManager, SkinSection, Repaint); };
  }

  // Steps of creation that need no virtual calls: CtrlHandle, visual styles off for the window
  // (unless SkinSection is "DIALOG"), SkinManager, SkinData (given or own), its section when
  // empty. Use Create<T> rather than constructing directly. EInvalidOperation when Handle is not
  // a window.
  TacMainWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  // Detaches a still attached adapter: procedure and property always; visual styles and the
  // parameters of the base only when the form's adapter list is not freeing all its items (or a
  // skin removal is running). Frees own skin data. Never re-frames the window.
  ~TacMainWnd() override;

  // ---- the virtual operations
  // Saves the control's own parameters before skinning; empty here.
  virtual void SaveStdParams() {}
  // Puts them back when the skin is removed or the adapter detaches; empty here.
  virtual void RestoreStdParams() {}
  // Applies the skin's colours to the control; here only ParamsChanged := True.
  virtual void SetSkinParams() { ParamsChanged = true; }
  // The adapter's window procedure (see the source for the messages handled here). Descendants
  // handle their messages and pass the rest to TacMainWnd::WndProc.
  virtual void WndProc(TMessage& Message);
  // Runs after WndProc for every message that reached the window through the adapter's hook,
  // unless the adapter went meanwhile (also for messages that came in while another was handled);
  // nothing here.
  virtual void AfterMessage(const TMessage& /*Message*/) {}

  // Second half of creation (called by Create<T>): DlgMode, SaveStdParams, ParamsChanged,
  // WndText, then HookWindow(Repaint); csOpaque for an owner control (whose own style comes back
  // when the adapter lets go).
  void AfterConstruction(bool Repaint);
  // Detaches now the way the destructor does (with the descendant's RestoreStdParams). For
  // destructors of descendants; nothing when already detached.
  void DetachOnDestroy();
  // Writes the saved previous procedure back (into the control's or form's WindowProc chain, or
  // as the plain window's procedure). Used by the detach routines; the saved values stay readable.
  void PutBackProcedure();

  // ---- fields
  // Copied from AdapterDlgMode at creation: an adapter of a system dialog's child (plain window
  // colour, frame only; no corner filling).
  bool DlgMode = false;
  // The window's text (GetWndText), read at creation and after every WM_SETTEXT.
  WideString WndText;
  // Geometry, filled by GetWndRects: window rectangle (screen), its size, its top-left corner in
  // the parent's client coordinates, the parent's window rectangle (screen), the parent window.
  TRect WndRect{};
  TSize WndSize{};
  TPoint WndPos{};
  TRect ParentRect{};
  HWND ParentWnd = nullptr;
  // The previous WindowProc of the framework control or provider's form (hooked through the
  // framework; empty otherwise).
  TWndMethod OldProc;
  // The previous window procedure of a subclassed plain window; nullptr otherwise.
  WNDPROC OldWndProc = nullptr;
  // The adapted window.
  HWND CtrlHandle = nullptr;
  // False from the start of the destructor. Passing a message on may free the adapter (a modal
  // loop the message starts, such as a context menu, runs timers that may remove the skin):
  // CallOldWndProc holds a copy and throws TacAdapterFreed when the adapter went meanwhile.
  std::shared_ptr<bool> Alive = std::make_shared<bool>(true);
  // The window's messages that WndProc is handling now, through the hook (a message that comes in
  // while another is handled makes two); AfterMessage runs once WndProc has taken its own off.
  int MessageDepth = 0;
  // The manager given at creation (nullptr: the skin data's manager).
  TsSkinManager* SkinManager = nullptr;
  // The skin data the window is painted through.
  TsCommonData* SkinData = nullptr;
  // True while the scroll-bar engine sends a synthesized scroll message to the window.
  bool Scrolling = false;
  // The skin's colours have been applied (SetSkinParams).
  bool ParamsChanged = false;
  // Whether the owner control had csOpaque of its own before the adapter gave it one (empty when
  // the adapter gave none).
  std::optional<bool> OldOpaque;
  // The control's own colour and font colour, saved by descendants' SaveStdParams.
  TColor OldColor = 0;
  TColor OldFontColor = 0;
  // Detached: window procedure, property and parameters are back. Set once, never cleared.
  bool Destroyed = false;
  // The adapter made SkinData itself and frees it.
  bool OwnSkinData = false;
  // The routing procedure installed on a subclassed plain window; nullptr when none.
  WNDPROC ObjectInstance = nullptr;

 protected:
  // Hooks the window: HookAdapterWndProc here; the scroll-bar adapters install their scroll bars.
  virtual void HookWindow(bool Repaint);
  // Stops what the adapter keeps running on its window for the user's input (timers, the mouse
  // capture of a press); nothing here. Letting go calls it first, whichever destructor or detach
  // routine lets go.
  virtual void StopInputTracking() {}

 private:
  // Puts back what the adapter changed on its window when it lets go: RestoreStdParams and the
  // owner control's own csOpaque (without it the control erases its background again); a shown
  // window is then painted again whole by its own code, which nothing else would ask for.
  void GiveWindowBack();
  // The handler this adapter put on top of a WindowProc chain (to remove exactly it).
  friend void HookAdapterWndProc(TacMainWnd* Adapter, HWND Handle);
  friend void UnhookAdapterWndProc(HWND Handle, bool FreeAdapter, bool Repaint, TacMainWnd*& Adapter,
                                   void (*Detach)(TacMainWnd*));
  // The control or form whose WindowProc chain holds OldProc; nullptr for a subclassed window.
  TControl* FHookedControl = nullptr;
};

// ---- unit-wide state --------------------------------------------------------------------------

// True while the dialog hook (or a combo-box adapter inside a system dialog) creates adapters for
// children of a system dialog; copied into each new adapter's DlgMode.
extern bool AdapterDlgMode;
// The page adapters made by page-control adapters for their pages. Each is freed when its page
// window is destroyed or its page control's adapter is freed; those still held at program end are
// freed by DoneAdapterUnit.
TList& PageAdapters();
// Set by the form's control adapter list while it frees the items of controls that go away with
// the form: adapters freed meanwhile hand the window procedure back but leave the control's look
// as it is.
extern bool acRemovingAllAdapters;

// Optional system entry points, looked up by InitAdapterUnit (each may be nullptr).
using TGetScrollBarInfo = BOOL(WINAPI*)(HWND, LONG, PSCROLLBARINFO);
using TFlatSBProc = BOOL(WINAPI*)(HWND);
extern TGetScrollBarInfo acGetScrollBarInfo;
extern TFlatSBProc acInitializeFlatSB;
extern TFlatSBProc acUninitializeFlatSB;
// Looks the optional entry points up / frees the libraries, every page adapter and the list.
// Each runs once (guarded by a counter); the program calls them at start-up and end.
void InitAdapterUnit();
void DoneAdapterUnit();

// ---- routines ---------------------------------------------------------------------------------

// The window's text.
WideString GetWndText(HWND Wnd);
// Stores the adapter in the window's "ACSBSC" property and installs its WndProc in front of the
// window's procedure (framework control, provider's form or plain window). A window that carries
// another attached adapter already is left alone: the new adapter stays detached (Destroyed) and
// inert.
void HookAdapterWndProc(TacMainWnd* Adapter, HWND Handle);
// True when Handle carries an attached adapter other than Adapter.
bool AttachedToAnotherAdapter(HWND Handle, const TacMainWnd* Adapter);

// Subclassing of plain windows through a routing procedure (Route) that finds its object again by
// a window property. Letting go writes the previous procedure back only while Route is still the
// window's procedure: when another party subclassed the window later, writing it back would cut
// that party out, so Route stays in the chain and passes every message on to the previous
// procedure, kept in the window property BypassProp (acCallBypassed), until the window is
// destroyed or subclassed again through Route.
// Installs Route, or lets a new object take the place of a Route that stayed in the chain; returns
// the procedure to pass messages on to.
WNDPROC acSubclassWindow(HWND Wnd, WNDPROC Route, const wchar_t* BypassProp);
// Lets go of a window subclassed by acSubclassWindow (Previous: what it returned).
void acUnsubclassWindow(HWND Wnd, WNDPROC Route, WNDPROC Previous, const wchar_t* BypassProp);
// What Route does for a message when it finds no object: passes it to the kept previous procedure
// (DefWindowProc without one); the kept procedure is forgotten after WM_NCDESTROY.
LRESULT acCallBypassed(HWND Wnd, const wchar_t* BypassProp, UINT Msg, WPARAM WParam, LPARAM LParam);
// The reverse of HookAdapterWndProc (once): previous procedure back, property removed,
// RestoreStdParams, Detach (what the adapter kind holds besides), the frame refreshed when the
// window is visible. FreeAdapter: the adapter is freed and the variable set to nullptr. Nothing
// for a nullptr adapter.
void UnhookAdapterWndProc(HWND Handle, bool FreeAdapter, bool Repaint, TacMainWnd*& Adapter,
                          void (*Detach)(TacMainWnd*) = nullptr);
// The adapter of a window (its "ACSBSC" property), nullptr when none.
TacMainWnd* GetWndAdapter(HWND Handle);
// Runs Call, which may free the adapter or have it let go of its window (the base class's handling
// of a message, a paint of the bars that asks the window for its background): answers whether the
// adapter is still there and attached. When it is not, the caller touches nothing of the adapter
// any more and ends what it was doing. Every such call of the adapters asks this way.
template <class F>
bool AdapterGoesOnAfter(TacMainWnd* Adapter, F&& Call) {
  const std::shared_ptr<bool> Alive = Adapter->Alive;
  Call();
  return *Alive && !Adapter->Destroyed;
}
// Passes a message to the window's previous procedure; LParam is copied back from the record the
// framework handler received. 0 when the adapter holds no previous procedure. TacAdapterFreed
// when the adapter was freed meanwhile.
LRESULT CallOldWndProc(TacMainWnd* Adapter, HWND Handle, UINT Msg, WPARAM WParam, LPARAM& LParam);
// Runs PassOn, which passes a message on towards the window's own procedure, with the window's
// drawing switched off (WM_SETREDRAW), so that the control's own code draws nothing meanwhile.
// The drawing comes back however PassOn ends (an exception of an event handler goes on to the
// caller). A message passed on may free the adapter (an event handler switches the skin off): the
// answer is whether the adapter is still alive, and nothing of it may be touched when it is not.
// When PassOn does not come back to its adapter, the window (if it lives on) is repainted as the
// control it now is, since nobody else paints what its drawing missed meanwhile.
bool PassOnWithoutRedraw(TacMainWnd* Adapter, const std::function<void()>& PassOn);
// Full: SetWindowPos with SWP_FRAMECHANGED (the non-client area is recomputed); otherwise
// WM_NCPAINT (1, 0).
void RefreshWindowFrame(HWND Handle, bool Full);
// Window rectangle, parent, parent's rectangle, size and top-left corner in the parent's client
// coordinates. Text is not used.
void GetWndRects(HWND Handle, HWND& ParentWnd, TRect& WndRect, const AnsiString& Text, TPoint& WndPos,
                 TSize& WndSize, TRect& ParentRect);
// Convenience: fills the adapter's own geometry fields.
void GetWndRects(TacMainWnd* Adapter);
// The skin data's cache, sized to Size.
TBitmap* SizedCache(TsCommonData* SkinData, const TSize& Size);
// The start of painting an adapter's cache: its geometry read afresh, the parent's background
// under the window in CI, and the cache sized to the window.
TBitmap* BeginWindowCache(TacMainWnd* Adapter, TCacheInfo& CI);
// Repaints the cached background of an adapted window when its skin data says it changed.
// FramedOnly (dialog mode): window colour framed in the skin's border colour when the skin has one.
void PrepareWindowCache(TsCommonData* SkinData, HWND Handle, bool FramedOnly);
// Gives the corners of the window's border mask the parent's background where the mask is
// transparent (after the cache has been painted in State).
void FillBorderCorners(TsCommonData* SkinData, int State, TacMainWnd* Adapter);
// Passes the message to the child controls of Control (recursively), or, without a control, to
// the child windows of Handle.
void BroadcastToChildren(TControl* Control, HWND Handle, TMessage& Message);
// Sends SM_ALPHACMD AC_CONTROLLOADED (LParam 0) to the top-level window above Handle.
void NotifyTopParentLoaded(HWND Handle);
// The skin data's border mask exists and has more than one state image.
bool BorderMaskHasStates(TsCommonData* SkinData);
// The answer to AC_REFRESHIFSKINNED: when the skin data's update pause is set, asks again whether
// it still holds and, once it does not, redraws the window with RedrawFlags. False when no pause
// was set.
bool ResumeUpdating(TsCommonData* SkinData, HWND Handle, UINT RedrawFlags);
// Sets a published ordinal property when the object has it.
void SetOrdPropIfExists(TObject* Obj, const AnsiString& PropName, int Value);
// A published colour property as RGB; only meaningful when the object has it.
TColor GetColorPropIfExists(TObject* Obj, const AnsiString& PropName);
// Depth-first search among the components owned by Owner for the windowed control whose
// allocated handle is Handle; nullptr when none.
TWinControl* FindWinControlByHandle(HWND Handle, TComponent* Owner);

// ---- painting helpers of the adapters ------------------------------------------------------------

// The skin data has a usable section and its manager is switched on (the manager's Active, not
// whether a skin is loaded: compare TsCommonData::IsSkinned).
bool SkinnedUnderActiveManager(TsCommonData* SkinData);
// The skin command came from manager M (its LParam names the sender).
bool SentByManager(const TMessage& Message, const TsSkinManager* M);
// After a new skin: the skin data takes the sections of the new skin and paints its background
// again.
void TakeNewSkin(TsCommonData* SkinData);
// The size of the window's client area.
TSize WindowClientSize(HWND Wnd);
// Validates the window's update region without painting anything (the picture came with the
// erase, or comes later).
void ValidateWithoutPainting(HWND Wnd);
// Repaints the whole window through WM_ERASEBKGND, where the adapter paints its picture: the
// paint message that follows validates only.
void RepaintThroughErase(HWND Wnd);
// BeginPaint of an adapter's own paint: the erase it brings is the one that paints (see
// ErasedBeforeItsPaint).
HDC BeginOwnPaint(HWND Wnd, PAINTSTRUCT* PS);
// An erase the system sends on its own, before the paint of a part still to be painted (a size
// change erases at once), not the one of the window's own paint (BeginOwnPaint): an adapter that
// paints its picture through its paint leaves such an erase, so the picture is painted once.
bool ErasedBeforeItsPaint(HWND Wnd, HDC DC);
// What an adapter's picture of its window was made from. A paint whose key is the same as the
// last one's copies the picture instead of making it again.
struct TacPictureKey {
  std::vector<long long> Numbers;
  std::vector<WideString> Texts;
  bool operator==(const TacPictureKey& O) const { return Numbers == O.Numbers && Texts == O.Texts; }
};
// The key an adapter's kept picture was made from, and whether a message has made it stale since.
struct TacKeptPicture {
  TacPictureKey Key;
  bool Stale = true;
  // True when the picture made from Now is the one kept: the same key, and nothing made it stale.
  // Otherwise Now becomes the key of the picture the caller makes at once.
  bool Keep(TacPictureKey Now);
};
// A 24-bit bitmap of W x H kept in Kept for the next call: made when missing, sized anew without
// its pixels when its size differs.
TBitmap& KeptBitmap(std::unique_ptr<TBitmap>& Kept, int W, int H);
// Adds a picture's rectangle at Pos of Size: which picture it is, and the pixels there.
void AddPixels(TacPictureKey& Key, const TCacheInfo& Picture, TPoint Pos, TSize Size);
// Adds the pixels image Index of List shows, drawn on the key colour into Work (a bitmap the
// caller keeps): a list may change an image in place, under the same handle and count. A mark of
// no image for no list or an index outside it.
void AddImagePixels(TacPictureKey& Key, HIMAGELIST List, int Index, std::unique_ptr<TBitmap>& Work);
// The same for a framework list (none while it has no platform list yet).
void AddImagePixels(TacPictureKey& Key, TCustomImageList* List, int Index, std::unique_ptr<TBitmap>& Work);
// Adds the skin a picture is made from: the manager and its loads of the skin.
void AddSkin(TacPictureKey& Key, const TsSkinManager* Manager);
// Adds a font: its name, height, colour, character set, style and pitch (nothing for none).
void AddFont(TacPictureKey& Key, TFont* Font);
// Adds the font of the framework control a window belongs to (nothing for none).
void AddOwnerFont(TacPictureKey& Key, TControl* Owner);
// True after a message that may change a window's picture in a way that no key holds: a skin
// command other than a question or a parent's new picture (a new skin, say), or a new font,
// style, enabled state or text.
bool ChangesPicture(const TMessage& Message);
// ChangesPicture, or a message of a common control's own range (First and the 127 after it) that
// is not one of the Questions the adapter asks it.
bool ChangesControl(const TMessage& Message, UINT First, std::initializer_list<UINT> Questions);
// WM_PAINT of an adapter that paints the window itself: Paint gets the DC the message brings or,
// when it brings none, the window's painting DC between BeginPaint and EndPaint.
template <class F>
void PaintIntoMessageDC(HWND Wnd, const TMessage& Message, F&& Paint) {
  if (HDC DC = reinterpret_cast<HDC>(Message.WParam)) {
    Paint(DC);
    return;
  }
  PAINTSTRUCT PS{};
  BeginPaint(Wnd, &PS);
  Paint(PS.hdc);
  EndPaint(Wnd, &PS);
}
// The painting messages of an adapter that paints the whole window itself: WM_PAINT paints
// through Paint (see PaintIntoMessageDC), the erase and the frame's paint are swallowed. False
// (nothing done) for other messages.
template <class F>
bool HandleOwnPainting(HWND Wnd, TMessage& Message, F&& Paint) {
  switch (Message.Msg) {
    case WM_PAINT:
      PaintIntoMessageDC(Wnd, Message, Paint);
      Message.Result = 0;
      return true;
    case WM_ERASEBKGND:
    case WM_NCPAINT:
      Message.Result = 1;
      return true;
    default:
      return false;
  }
}
// Gives the canvas a copy of the window's font (WM_GETFONT; the default GUI font when the window
// has none).
void TakeWindowFont(TCanvas* Canvas, HWND Wnd);
