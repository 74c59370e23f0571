// Glow windows: the soft halo that a skin section may ask for around a hot or focused control.
//
// A glow is a borderless layered tool window placed around the control, a little larger than it,
// that shows a 32-bit picture with per-pixel alpha painted from a skin image (the section's glow
// image, state 0). The window lets the mouse through (it answers WM_NCHITTEST with HTTRANSPARENT),
// is built once and never moves: to follow a control, a caller hides its glow and shows a new one.
//
// The unit keeps the global list of live glows. ShowGlow appends an effect and returns its index
// in the list; HideGlow frees one effect and leaves its slot empty (the list only grows); ClearGlows
// frees them all and empties the list (the manager runs it when skins change, and the unit runs it
// at shut-down). The layered window gets the picture with premultiplied colours, as the platform
// blends them. Win32, user-interface thread only.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"

class TsSkinManager;

// The system's UpdateLayeredWindow, looked up by name in user32.dll when the unit starts; nullptr
// on systems without layered windows.
using TacUpdateLayeredWindow = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);
extern TacUpdateLayeredWindow acUpdateLayeredWindow;

// The blend of every glow window: AC_SRC_OVER, constant alpha 255, per-pixel alpha.
extern BLENDFUNCTION acGlowBlend;

// One glow: the skin image it paints and the layered window that shows it.
class TacGlowEffect : public TObject {
  T_CLASS(TacGlowEffect, TObject)

 public:
  // An effect of the manager (nullptr: the default manager); it has no window yet.
  explicit TacGlowEffect(TsSkinManager* Manager);
  // Hands the window procedure back and frees the window: at once when the manager is being
  // destroyed, otherwise hidden now and freed once waiting messages are handled (CM_RELEASE).
  // A manager destroyed while its glows are shown frees their windows at once and leaves them
  // without a manager.
  ~TacGlowEffect() override;

  // Makes the glow picture: a new 32-bit W x H bitmap, all zero (transparent black), with state 0
  // of the glow image painted over it by 9-slice rules when MaskIndex is a valid image. The
  // image's centre is not painted: it would lie over the control.
  virtual void Repaint(int Width, int Height);

  // Makes and shows the window, once per effect. R is the control's rectangle on the screen, C
  // its visible part in the control's own coordinates, Wnd the control's window (for the z-order).
  // The picture grows past R by the image's margins less Margin on each side, and is cut where
  // the control is cut (C smaller than R).
  void BuildWindow(const TRect& R, const TRect& C, HWND Wnd);

  TsSkinManager* SkinManager() const { return FSkinManager; }
  // The glow image: an index into the manager's image entries; -1 for none.
  int MaskIndex = -1;
  // Pixels by which the glow picture overlaps the control on each side.
  int Margin = 0;

  // The glow window (nullptr until built) and the picture (nullptr once handed to the window).
  TForm* Form() const { return FForm; }
  TBitmap* GlowBitmap() const { return FBitmap.get(); }

 private:
  class TManagerLink;
  void WndProc(TMessage& Message);
  // Frees the window now (the manager is going) or once waiting messages are handled.
  void FreeForm(bool AtOnce);
  void ManagerGone();

  TsSkinManager* FSkinManager = nullptr;
  std::unique_ptr<TManagerLink> FLink;

  TForm* FForm = nullptr;
  std::unique_ptr<TBitmap> FBitmap;
  TWndMethod FOldWndProc;
};

// Shows a glow around a control: R is the control's rectangle on the screen, C its visible part in
// its own coordinates, the image is the section's own image named MaskName + "0" (no parent
// section search), Margin as TacGlowEffect::Margin, Wnd the control's window. Alpha is not used
// (callers pass 255). Returns the index of the new glow in the list, or -1 (nothing kept) without
// layered windows, without a manager or when the section has no such image.
int ShowGlow(const TRect& R, const TRect& C, const AnsiString& SectionName, const AnsiString& MaskName, int Margin,
             int Alpha, HWND Wnd, TsSkinManager* Manager = nullptr);
// Frees the glow at Index and empties its slot; nothing for an index outside the list or an empty
// slot.
void HideGlow(int Index);
// Frees every glow and empties the list.
void ClearGlows();

// The list as it stands: its length (empty slots included) and the glow in a slot (nullptr for an
// empty slot or an index outside the list).
int GlowListLength();
TacGlowEffect* GlowAt(int Index);
