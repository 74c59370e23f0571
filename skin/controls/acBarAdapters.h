// Adapters of tool bars and status bars. Win32.
//
//  - TacToolBarWnd: the common tool bar window ("ToolbarWindow32") of system dialogs: background,
//    every button from "TOOLBUTTON" with its image-list icon and text, separators from
//    "DIVIDER", the client edge. The bar's image list is the program's and is left as it is; a
//    change of the hot button marks only the two buttons concerned for painting.
//  - TacToolBarVCLWnd: a framework TToolBar. The adapter puts its own handlers on the bar's
//    custom-draw events (the handlers the program had there are put back when the adapter goes):
//    the bar's background and frame come from the "TOOLBAR" section through the skin data's
//    cache, every button from the "TOOLBUTTON" section with its image, caption and drop-down
//    arrow. The bar's own hot tracking is kept by the adapter for bars that are not Flat: a new
//    hot button repaints only the two buttons concerned, through the window DC.
//  - TacStatusBarWnd: a status bar ("msctls_statusbar32"): the "STATUSBAR" section, each part with
//    the section's "STATUSPANELMASK" or a "DIVIDER" between parts, and the part texts. Over a
//    framework TStatusBar the texts, their alignment and the font come from the control, and its
//    BorderWidth frame is painted from the cache; a plain window gives its texts through its
//    messages.
//
// The cache is the whole window; the client area takes the part of it at the client area's
// place in the window, so that a frame painted from the same cache joins up with it.
// Made with TacMainWnd::Create<T>(Handle, SkinData, Manager, Section).
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "framework/ToolBars.h"
#include "skin/controls/acWndAdapter.h"

class TStatusBar;

class TacToolBarVCLWnd : public TacMainWnd {
  T_CLASS(TacToolBarVCLWnd, TacMainWnd)

 public:
  // With a TToolBar as the skin data's owner control: its handlers go on the bar's custom-draw
  // events and the section becomes "TOOLBAR" when none is given. Otherwise the adapter leaves
  // the bar's events and the section alone.
  TacToolBarVCLWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  // Puts the bar's earlier event handlers back (when the bar still exists).
  ~TacToolBarVCLWnd() override;
  void WndProc(TMessage& Message) override;

  // The handlers put on the tool bar's events.
  void AdvancedCustomDraw(TToolBar* Sender, const TRect& ARect, TCustomDrawStage Stage, bool& DefaultDraw);
  void AdvancedCustomDrawButton(TToolBar* Sender, TToolButton* Button, TCustomDrawState State, TCustomDrawStage Stage,
                                TTBCustomDrawFlags& Flags, bool& DefaultDraw);
  // The section's picture of the whole window into the cache.
  void UpdateCache();
  // The cache under R (client coordinates) into DC, with the children that paint themselves left
  // out.
  void PaintBackground(HDC DC, const TRect& R);
  // The frame around the client area from the cache into DC (0: the window DC).
  void PaintBorder(HDC DC);
  // Paints one button at once through the window DC (nothing for a bad index or a hidden button).
  virtual void RepaintButton(int Index);
  // The index of the button at a client point, -1 for none or a separator.
  int ButtonAtPos(TPoint P);
  // The client area's top-left corner inside the window.
  TPoint ClientOffset();

  // The adapted tool bar (nullptr when the owner control is none, or after it was freed).
  TToolBar* ToolBar = nullptr;
  // The button whose drop-down menu is open.
  TToolButton* DropButton = nullptr;
  // The hot button, -1 none.
  int HotIndex = -1;

 private:
  class TWatcher;
  std::unique_ptr<TWatcher> FWatcher;
  TTBAdvancedCustomDrawEvent FOldDraw;
  TTBAdvancedCustomDrawBtnEvent FOldDrawButton;
  bool FHandlersSet = false;
  // Each button's picture with what it was made from (its size and paint state, caption, image
  // and the pixels it shows, style, the bar's font, the skin and the bar's picture under it): a
  // paint with the same key copies it. Cleared by a new skin, font or image list.
  struct TButtonPicture {
    TacKeptPicture Kept;
    std::unique_ptr<TBitmap> Picture;
  };
  std::vector<TButtonPicture> ButtonPictures;
  // The work bitmap of a button's image (for its picture and for its key).
  std::unique_ptr<TBitmap> ImageWork;
  void SetHot(int Index);
};


class TacToolBarWnd : public TacMainWnd {
  T_CLASS(TacToolBarWnd, TacMainWnd)

 public:
  // Section "BAR" for a tool bar with style 0x200, else "CHECKBOX", when none is given.
  TacToolBarWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  void WndProc(TMessage& Message) override;

  // The section's picture of the bar into the cache (when the background changed).
  void PrepareCache();
  // The button state: 2 pressed or checked, 1 under the mouse, 0 otherwise.
  int ButtonState(int Index);
  // Splits a caption before its second-to-last word (empty first line for one or two words).
  static void SplitCaption(const WideString& Text, WideString& Line1, WideString& Line2);

  TRect ClientRect{};
  int FrameWidth = 0;
  // The button under the pointer that is drawn hot (enabled, no separator), -1 none; followed
  // from the mouse messages so that only the buttons that change are repainted.
  int HotButton = -1;

 private:
  void Paint(HDC DC);
  // The enabled, non-separator button at a client point, -1 none.
  int HotButtonAt(TPoint P);
  // Marks one button's rectangle for painting (no erase).
  void InvalidateButton(int Index);
  void SetHotButton(int Index);
  void PaintButton(int Index, TBitmap* Bmp);
  void PaintBorder();
  bool UpdatingNow();
};

class TacStatusBarWnd : public TacMainWnd {
  T_CLASS(TacStatusBarWnd, TacMainWnd)

 public:
  // Section "STATUSBAR" when none is given.
  TacStatusBarWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  ~TacStatusBarWnd() override;
  void WndProc(TMessage& Message) override;

  // The whole bar through the cache into DC: a DC of the window's coordinates (WindowDC), else
  // one of the client area's. 0: the window DC.
  void PaintAll(HDC DC, bool WindowDC);
  // The BorderWidth frame of a TStatusBar from the cache into DC (0: the window DC).
  void PaintBorder(HDC DC);
  void UpdateCache();
  void PaintPanels();
  // Index -1: the simple bar's single panel. R in client coordinates.
  void PaintPanel(int Index, TRect R);
  WideString PanelText(int Index);
  TPoint ClientOffset();

  // The adapted framework status bar; nullptr for a plain window or after it was freed.
  TStatusBar* StatusBar = nullptr;

 private:
  class TWatcher;
  std::unique_ptr<TWatcher> FWatcher;
};
