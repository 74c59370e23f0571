// More window adapters painted from the skin:
//  - TacPanelWnd: framework panels (a container control): the section (by the panel's bevels when
//    none is given), the frame strips and the caption; graphic children painted over it;
//  - TacTabControlWnd: the common tab control window ("SysTabControl32"): the body from a
//    "PAGECONTROL" section by tab position, the strip around the tabs from the parent's
//    background, every tab from "TABTOP" / "TABBOTTOM" / "TABLEFT" / "TABRIGHT" ("BUTTON" /
//    "TOOLBUTTON" for button styles), captions in the tab section's colours;
//  - TacPageControlWnd: a tab control whose pages are child windows: as the tab control, and each
//    page gets a TacPageWnd that paints the parent's background;
//  - TacSpinWnd: up-down controls ("msctls_updown32"): two skinned buttons with the skin's
//    scroll-button arrows, hot and pressed per half;
//  - TacSizerWnd: size grips: the skin's GLOBALINFO "GRIPIMAGE" in the bottom-right corner;
//  - TacTransPanelWnd: client windows of system dialogs (the cache except child windows);
//  - TacDlgPanelWnd: panels inside dialogs: the skinned frame and background around the
//    window's own painting, which keeps a 6-pixel inset;
//  - TacIconWnd: static windows showing an icon or a bitmap, over the skinned background;
//  - TacLinkWnd: link windows ("SysLink"): the text without its <A> tags, underlined.
// The tab and page adapters read the tab control through its window messages, so they take
// framework page controls and foreign tab windows alike; over a framework control its font and
// images are the control's. The tool-bar and status-bar adapters are in acBarAdapters.
// All are made with TacMainWnd::Create<T>(Handle, SkinData, Manager, Section).
// Sources by family: acPanelAdapters.cpp (the three panels), acTabAdapters.cpp (tab and page
// controls), acMoreAdapters.cpp (up-down, size grip, icon and link statics).
// Win32.
#pragma once

#include <windows.h>

#include <memory>

#include "skin/controls/acStdAdapters.h"
#include "skin/controls/acWndAdapter.h"

class TBitmap;
class TWinControl;

// ---- panel --------------------------------------------------------------------------------------

class TacPanelWnd : public TacMainWnd {
  T_CLASS(TacPanelWnd, TacMainWnd)

 public:
  // Without a section: by the owner panel's bevels ("GROUPBOX", "PANEL", "PANEL_LOW",
  // "CHECKBOX").
  TacPanelWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  void WndProc(TMessage& Message) override;

  // The section a panel's bevels and border style ask for.
  static AnsiString SectionByBevels(TWinControl* Panel);
  // Paints the section and the caption into the cache.
  void PrepareCache();
  // The client part of the cache into DC (0: the window DC), children and graphic controls.
  void PaintBackground(HDC DC);
  // The frame strips from the cache into DC (0: the window DC).
  void PaintFrame(HDC DC);

 private:
  bool Handles() const;
  // WM_PAINT while the cache is the picture the window shows and only a part of the window is
  // invalid: that part alone is painted. False (nothing done) when the whole window is to be
  // painted again.
  bool PaintInvalidPart();
  bool FOutOfParent = false;
  // Set while PaintInvalidPart paints, and when the background was painted during its BeginPaint.
  bool FPartialPaint = false;
  bool FPartPainted = false;
};

// ---- tab and page controls -----------------------------------------------------------------------

class TacSpinWnd;

class TacTabControlWnd : public TacMainWnd {
  T_CLASS(TacTabControlWnd, TacMainWnd)

 public:
  // Section "PAGECONTROL" when none is given.
  TacTabControlWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  ~TacTabControlWnd() override;
  void WndProc(TMessage& Message) override;

  // The display rectangle of the pages (TCM_ADJUSTRECT), Top + 2.
  virtual TRect PageRect();
  // The control less the tab strip.
  virtual TRect BodyRect();
  // The tab strip.
  TRect TabsRect();
  // 0 top, 1 bottom, 2 left, 3 right (from the window style).
  int TabPosition();
  // 0 tabs, 1 buttons, 2 flat buttons.
  int TabStyle();
  int TabCount();
  int ActiveIndex();
  // The painted rectangle of a tab (0, 0, 0, 0 when it cannot be painted).
  TRect SkinTabRect(int Index, bool Active);
  // The row of a tab (1 for single-row controls).
  int TabRow(int Index);
  // The section the body is painted with.
  AnsiString BodySection();
  // Paints one tab into Bmp (state 0 normal, 2 active), moved by Offset.
  void DrawSkinTab(int Index, int State, TPoint Offset, TBitmap* Bmp);
  // Paints the whole control into the message's DC (WParam with LParam 1) or the window DC.
  void PaintControl(TMessage& Message);
  // Gives the control's up-down scroller (shown when the tabs do not fit) a TacSpinWnd with
  // section "UPDOWNBTN", or frees it when the scroller is gone.
  void CheckUpDown();

  // The adapter of the up-down scroller (owned); nullptr while there is none.
  TacSpinWnd* UpDown = nullptr;

 protected:
  // Marks the picture to be made again after a message that may change what it shows.
  void NotePictureChange(const TMessage& Message);

 private:
  // What the control's picture (its cache, without the active tab) was made from: its size and
  // place, its style, tabs, captions, images (and the pictures they show) and font, the skin and
  // the parent's picture under it.
  TacPictureKey PictureKeyOf(const TCacheInfo& Parent);
  TacKeptPicture Kept;
  std::unique_ptr<TBitmap> ActiveTab;
  // Where the key takes the picture of each of the tabs' images.
  std::unique_ptr<TBitmap> ImagePicture;
};

class TacPageControlWnd : public TacTabControlWnd {
  T_CLASS(TacPageControlWnd, TacTabControlWnd)

 public:
  // Also adapts the pages that exist (AdaptPages).
  TacPageControlWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  // Frees the adapters of its pages that are still held: they paint the pages from the control's
  // picture and go with its adapter.
  ~TacPageControlWnd() override;
  void WndProc(TMessage& Message) override;
  // Gives every direct child window that is not skinned yet a TacPageWnd (kept in PageAdapters,
  // each freed when its page window is destroyed or this adapter is freed).
  void AdaptPages();
};

class TacPageWnd : public TacMainWnd {
  T_CLASS(TacPageWnd, TacMainWnd)

 public:
  TacPageWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  void WndProc(TMessage& Message) override;
  // The parent's background under the page into DC.
  void PaintPage(HDC DC);
};

// ---- up-down ------------------------------------------------------------------------------------

class TacSpinWnd : public TacMainWnd {
  T_CLASS(TacSpinWnd, TacMainWnd)

 public:
  using TacMainWnd::TacMainWnd;
  void WndProc(TMessage& Message) override;

  // Vertical unless the window has UDS_HORZ.
  virtual bool Vertical();
  // The two halves in window coordinates: the upper (or left) first; an odd size gives the first
  // one pixel more.
  TRect FirstRect();
  TRect SecondRect();
  // Both halves with their arrows into the cache.
  void PrepareCache();

  bool Pressed = false;
  int Btn1State = 0;  // 0 normal, 1 hot, 2 pressed
  int Btn2State = 0;

 private:
  void UpdateStates();
  void Paint(HDC DC);
};

// ---- size grip ----------------------------------------------------------------------------------

class TacSizerWnd : public TacMainWnd {
  T_CLASS(TacSizerWnd, TacMainWnd)

 public:
  using TacMainWnd::TacMainWnd;
  void WndProc(TMessage& Message) override;
  // Paints the grip over the parent's background into DC; false when the skin has no grip image.
  bool PaintGrip(HDC DC);
};

// ---- dialog panels -------------------------------------------------------------------------------

// A dialog's client window: the cache over the whole window except its child windows.
class TacTransPanelWnd : public TacMainWnd {
  T_CLASS(TacTransPanelWnd, TacMainWnd)

 public:
  using TacMainWnd::TacMainWnd;
  void WndProc(TMessage& Message) override;
  virtual void PaintPanel();
};

class TacDlgPanelWnd : public TacMainWnd {
  T_CLASS(TacDlgPanelWnd, TacMainWnd)

 public:
  // Finds the framework control of the window (nullptr for a foreign window); a TPanel takes the
  // skin's global colour. Section "CHECKBOX" for a TPanel, else "GROUPBOX", when none is given.
  TacDlgPanelWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  void SetSkinParams() override;
  void WndProc(TMessage& Message) override;
  void PrepareCache();
  // The cache's client part into DC (0: the window DC).
  void PaintClient(HDC DC);
  // The frame, 6 pixels wider than the window's own, into DC (0: the window DC).
  void PaintFrame(HDC DC);

  TWinControl* Control = nullptr;

 private:
  void TakeGlobalColor();
};

// ---- icon and link statics ----------------------------------------------------------------------

class TacIconWnd : public TacStaticWnd {
  T_CLASS(TacIconWnd, TacStaticWnd)

 public:
  TacIconWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  ~TacIconWnd() override;
  // The window's bitmap (STM_GETIMAGE) or icon (STM_GETICON) into the cache.
  void PaintText() override;

  // The static shows a bitmap (its style's low two bits are not SS_ICON).
  bool BitmapMode = false;
  // A copy of the window's bitmap, made on the first paint (the window keeps its own).
  std::unique_ptr<TBitmap> Bitmap;
};

class TacLinkWnd : public TacStaticWnd {
  T_CLASS(TacLinkWnd, TacStaticWnd)

 public:
  using TacStaticWnd::TacStaticWnd;
  void WndProc(TMessage& Message) override;
  // The text without "<A>" and "</A>", underlined, in the system's message font.
  void PaintText() override;
  // The link text as it is drawn.
  static WideString PlainText(const WideString& Text);
};
