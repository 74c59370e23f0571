// TacBorderForm: the extended border window of a skinned form or dialog. When a skin draws a
// frame larger than the system frame with a soft shadow around it, the owner window keeps only
// its client part and system frame, and this borderless, layered, non-activating tool window sits
// directly behind it, as large as the owner's whole skinned non-client image including the skin's
// four extended-border margins. It shows that image with UpdateLayeredWindow, lets mouse input in
// the shadow margins fall through to the window below, and answers hit tests, cursors and clicks
// for the skinned frame and caption in the owner's place. Win32.
//
// The owner is a form's skin provider or a dialog adapter. Every owner-specific question goes
// through the owner's TacBorderOwner table, which the owner fills when it makes the window; an
// empty entry answers as noted beside it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "framework/Forms.h"
#include "skin/core/sCommonData.h"

class TsCustomSysMenu;

// What the border window asks its owner.
struct TacBorderOwner {
  // True for a dialog adapter, False for a form's skin provider.
  bool IsDialog = false;
  // The provider's form (nullptr for a dialog).
  TCustomForm* Form = nullptr;
  // The owner window (empty: the form's handle, 0 without a form).
  std::function<HWND()> Handle;
  // The owner's caption height, skinned or the system's (empty: 0).
  std::function<int(bool UseSkin)> CaptionHeight;
  // Height of the owner's menu line (empty: SM_CYMENU - 1 when the form has a Menu, else 0).
  std::function<int()> MenuHeight;
  // The title icon's rectangle in the owner's window coordinates (empty: none).
  std::function<TRect()> IconRect;
  // Makes a caption button hot (-1: none) and repaints when asked (empty: nothing).
  std::function<void(int HitCode, bool Repaint)> SetHotButton;
  // Repaints the owner's non-client image into SkinData's cache bitmap (empty: nothing).
  std::function<void()> PaintOwner;
  // Frees the owner's caption-button animations (empty: nothing).
  std::function<void()> FreeAnimations;
  // The owner's system menu: whether a double click on the caption maximizes (empty: nullptr).
  std::function<TsCustomSysMenu*()> SystemMenu;
  // Frame geometry: the system frame width F (FormBorderWidth), the skinned frame width
  // (SkinFrameWidth), the skin's title height (SkinTitleHeight), the window frame width used by
  // the caption band (WindowFrameWidth, UseSkin), and the maximised-caption corrections
  // (DiffTitle, DiffBorder). Empty: the owner window's system frame (half the difference of
  // its window and client widths), the same, the system caption height, the system frame, 0, 0.
  std::function<int()> FormBorderWidth;
  std::function<int()> SkinFrameWidth;
  std::function<int()> SkinTitleHeight;
  std::function<int(bool UseSkin)> WindowFrameWidth;
  std::function<int()> DiffTitle;
  std::function<int()> DiffBorder;
  // The provider's maximised-caption flag (empty: False).
  std::function<bool()> MaximizedCaption;
  // The hit code of the caption button under P (window coordinates of the border window, where
  // it shows the owner's image): HTCLOSE, HTMAXBUTTON, HTMINBUTTON, HTHELP, 1000 + i for the
  // user button i, HTCAPTION for a disabled button; 0 for none (empty: 0). The owner's own hit
  // test answers from the same function, so both number the buttons alike.
  std::function<int(TPoint P)> CaptionButtonAt;
  // The provider's OnExtHitTest: fills Message.Result; non-zero is the answer (empty: none).
  std::function<void(TMessage& Message)> ExtHitTest;
  // P (border-window coordinates) lies on the size grip (empty: False).
  std::function<bool(TPoint P)> InGrip;
  // Whether the owner may be shown now: 0 go on, 1 skip the update, 2 hide the border window,
  // 3 the owner is going (the owner drops its border window; nothing else). Empty: 0 when the
  // owner window is visible, else 1.
  std::function<int()> UpdateState;
  // The owner's client rectangle in its skinned image, for the hole of AlphaBlend forms (empty:
  // the form's client rectangle in window coordinates).
  std::function<TRect()> ClientRectInImage;
  // A double click on the caption toggles maximised (empty: nothing); the pending border
  // move/size of the provider is ended before (empty: nothing).
  std::function<void()> ToggleMaximize;
  std::function<void()> EndPendingMove;
};

class TacBorderForm : public TPersistent {
  T_CLASS(TacBorderForm, TPersistent)

 public:
  // AOwner: the provider or dialog adapter; Link: its answers.
  TacBorderForm(TObject* AOwner, const TacBorderOwner& Link);
  ~TacBorderForm() override;

  TObject* FOwner = nullptr;
  TacBorderOwner Owner;
  // The owner's skin data: its cache bitmap is the owner's non-client image.
  TsCommonData* SkinData = nullptr;
  // True while a mouse message is passed to the window below.
  bool MouseForwarding = false;
  // The border window.
  TForm* AForm = nullptr;
  TWndMethod OldWndProc;
  // True while UpdateBorderWindow runs.
  bool Updating = false;
  // Above 0 while the owner handles a change that it ends with an update of its own (a size
  // change): UpdateBorderWindow does nothing meanwhile, so that the image goes to the window once.
  int HeldUpdates = 0;
  // Cleared when the border form is freed: a message passed on may free it (a click through the
  // shadow that closes the owner).
  std::shared_ptr<bool> Alive = std::make_shared<bool>(true);

  // Places, sizes, shows and repaints the border window.
  void UpdateBorderWindow(bool Repaint = true, Byte Alpha = 255);
  // After a message of the owner window: when it brought the owner up among the windows (its
  // activation, a change of its place in the Z order), the border window comes up right behind it.
  void OwnerMessageDone(const TMessage& Message);
  // The region of the border window, or 0 for none.
  HRGN CreateRegion();
  void BorderWndProc(TMessage& Message);
  // The hit code of the message's point (screen coordinates).
  int BorderHitTest(TMessage& Message);
  // Distance from the border window's top to the owner window's top.
  int BorderTopOffset();
  // Where the border window shows the owner's image: the screen point of the image's top-left
  // corner, from the owner window's place now. Whatever shows that image in the border window's
  // stead (the fade of a skin change) shows it there.
  TPoint ImageOrigin();
  // The extended-border margins of the skin (left, top, right, bottom).
  TRect Margins() const;
  HWND OwnerHandle() const;

  // The pieces of the hit test, public for the owner's use.
  bool PointInShadow(TMessage& Message);
  // Sets the cursor of the hit code of the cursor position; False when none was set.
  bool SetBorderCursor(TMessage& Message);

 private:
  int OwnerCaptionHeight(bool UseSkin) const;
  int OwnerMenuHeight() const;
  int SysFrameWidth() const;
  void SetOwnerHotButton(int HitCode, bool Repaint) const;
  TsCustomSysMenu* SysMenu() const;
  bool OwnerMaximized() const;
  TPoint MessagePoint(const TMessage& Message) const;
  void ForwardMouse(TMessage& Message);
  void HandleDoubleClick(TMessage& Message);
  // The window list's place (see the source): checked a few times a short while after the border
  // window changed its size, region or visibility, and put back right behind the owner there.
  void WatchListPlace();
  void CheckListPlace();
  // The checks of the window list's place still to come.
  int ListChecks = 0;
  // The owner was brought up while a shown window stood in front of it.
  bool RaiseLater = false;
};

// Holds the updates of a border window (none: nothing) until released or gone: an owner handling
// a change that it ends with an update of its own (a size change, with its region's move and its
// paints on the way) gives the window its image once.
class TacBorderHold {
 public:
  explicit TacBorderHold(TacBorderForm* B) : Border(B), Alive(B != nullptr ? B->Alive : nullptr) {
    if (Border != nullptr) ++Border->HeldUpdates;
  }
  ~TacBorderHold() { Release(); }
  TacBorderHold(const TacBorderHold&) = delete;
  TacBorderHold& operator=(const TacBorderHold&) = delete;
  void Release() {
    if (Alive && *Alive) --Border->HeldUpdates;
    Alive.reset();
  }

 private:
  TacBorderForm* Border;
  std::shared_ptr<bool> Alive;
};
