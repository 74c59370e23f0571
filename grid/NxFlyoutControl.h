// Flyouts: small borderless pop-up windows that float over the grid (TNxFlyoutControl), and the
// sign of roll scrolling (TRollShadow) that the scroll control shows at the anchor while the
// middle button rolls. Win32.
//
// A flyout is a top-most tool window that never takes the focus or activates: it is shown
// without activation, answers a mouse press with "no activation" and cannot be focused. Its
// outline is its shape (a window region made by CreateShape; the whole rectangle when there is
// none), so it shows exactly that outline. A flyout is hidden when it is created; it shows while
// it is Visible and its parent (the control it floats over) shows, and its coordinates (Left,
// Top, SetBounds) are screen coordinates.
//
// Translucency: with an Alpha below 255 and the system's UpdateLayeredWindow (looked up in
// user32.dll at run time), the window is a layered window. The flyout then paints itself (Paint)
// into a 32-bit picture, gives the pixels inside its shape the alpha Alpha and those outside
// alpha 0 (colours premultiplied), and hands the picture to the system, which blends it over what
// lies below. Without that function, or with Alpha 255, the window is an ordinary opaque window
// painted through WM_PAINT and cut to its shape by the region.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/Controls.h"

// The signature of the system's UpdateLayeredWindow.
using TUpdateLayeredWindowProc = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*,
                                                DWORD);

// UpdateLayeredWindow of user32.dll, looked up when the program starts; nullptr on a system
// without it. Flyouts call it through this pointer and decide on each showing whether to use it,
// so setting it to nullptr makes every flyout shown from then on take the opaque path.
extern TUpdateLayeredWindowProc FlyoutUpdateLayeredWindow;

// Looks UpdateLayeredWindow up in user32.dll (nullptr when the system has none).
TUpdateLayeredWindowProc FindUpdateLayeredWindow();

// A 32-bit top-down picture selected into a memory device context: what a translucent flyout
// hands to the system. Pixels are 0xAARRGGBB with premultiplied colours.
class TFlyoutPicture {
 public:
  // A picture of Width x Height pixels (at least 1 x 1), every pixel 0. EOSError when the system
  // refuses the bitmap.
  TFlyoutPicture(int Width, int Height);
  ~TFlyoutPicture();
  TFlyoutPicture(const TFlyoutPicture&) = delete;
  TFlyoutPicture& operator=(const TFlyoutPicture&) = delete;

  HDC DC() const { return FDC; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // The pixels after the drawing so far has finished (top-down rows of Width pixels).
  DWORD* Bits() const;
  // One pixel, 0xAARRGGBB; ERangeError outside the picture.
  DWORD Pixel(int X, int Y) const;

 private:
  int FWidth;
  int FHeight;
  HDC FDC = nullptr;
  HBITMAP FBitmap = nullptr;
  HGDIOBJ FOldBitmap = nullptr;
  DWORD* FBits = nullptr;
};

class TNxFlyoutControl : public TCustomControl {
  T_CLASS(TNxFlyoutControl, TCustomControl)

 public:
  explicit TNxFlyoutControl(TComponent* AOwner);
  ~TNxFlyoutControl() override;

  // Opacity from 0 (invisible) to 255 (opaque, the default). Below 255 the flyout is translucent
  // where layered windows are available (see the notes at the top).
  Byte Alpha() const { return FAlpha; }
  void SetAlpha(Byte Value);
  // The window is a layered window now (translucent path).
  bool Layered() const { return FLayered; }
  // The picture last handed to the system while the window is layered and shown; nullptr
  // otherwise.
  const TFlyoutPicture* Picture() const { return FPicture.get(); }

  // Places the flyout at a screen rectangle and shows it (without activation).
  void ShowAt(const TRect& ScreenRect);
  // Moves the flyout's top-left corner to a screen point, keeping its size.
  void MoveTo(int X, int Y);
  // Gives the window the flyout's shape (region) again; nothing without a window (the shape is
  // applied whenever the window is created).
  void UpdateShape();

  // Flyouts never take the focus.
  bool CanFocus() override { return false; }
  void Invalidate() override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& Message) override;
  void CMShowingChanged(TMessage& Message) override;
  void Resize() override;
  // The flyout's outline in client coordinates: a new region that the caller owns, or nullptr
  // for the whole rectangle (the base).
  virtual HRGN CreateShape() { return nullptr; }

 private:
  // Whether the layered path applies now (Alpha below 255 and the system function present).
  bool WantsLayered() const;
  // Switches the window's layered style to match WantsLayered.
  void UpdateLayering();
  // Paints the picture and hands it to the system (layered path, window present).
  void UpdateLayeredPicture();

  Byte FAlpha = 255;
  bool FLayered = false;
  std::unique_ptr<TFlyoutPicture> FPicture;
};

// The opacity of the roll sign while it is translucent.
inline constexpr Byte RollShadowAlpha = 160;

// The sign of roll scrolling: a small grey mark (an arrow head up, a dot, an arrow head down) with
// its dot 7 pixels right of and 11 below the corner of its 32 x 32 window. Translucent by default
// (see TNxFlyoutControl).
class TRollShadow : public TNxFlyoutControl {
  T_CLASS(TRollShadow, TNxFlyoutControl)

 public:
  explicit TRollShadow(TComponent* AOwner);

  using TNxFlyoutControl::ShowAt;
  // Shows the sign with its dot at a screen point (the window's corner 7 left of and 11 above it).
  void ShowAt(TPoint P);
  // The point the sign was last shown at (screen coordinates).
  TPoint ShownPoint() const { return FPoint; }
  // The sign is translucent (Alpha RollShadowAlpha) rather than opaque (Alpha 255); True after
  // construction.
  bool Translucent() const { return FTranslucent; }
  void SetTranslucent(bool Value);

 protected:
  void Paint() override;
  HRGN CreateShape() override;

 private:
  TPoint FPoint;
  bool FTranslucent = false;
};
