// Adapters of standard controls painted whole from the skin:
//  - TacStaticWnd: a static text window (background from its section, text in the section's
//    colours); the base of the icon and link adapters, which replace PaintText;
//  - TacBtnWnd / TacBitBtnWnd: push buttons from section "BUTTON" (normal, hot, pressed), caption
//    in the section's font colours, dotted focus frame, hover through the manager's hover window;
//  - TacCheckBoxWnd: check boxes and radio buttons from section "CHECKBOX" with the GLOBALINFO
//    glyph images (BOXCHECKED, BOXUNCHECKED, BOXGRAYED, RADIOCHECKED, RADIOUNCHECKED);
//  - TacGroupBoxWnd: group boxes, a "GROUPBOX" frame from half the caption height and the caption
//    over the parent's background.
// All are made with TacMainWnd::Create<T>(Handle, SkinData, Manager, Section); an empty section
// gives the class's default section.
// Win32.
#pragma once

#include <windows.h>

#include "skin/controls/acWndAdapter.h"

class TCanvas;

// Static text.
class TacStaticWnd : public TacMainWnd {
  T_CLASS(TacStaticWnd, TacMainWnd)

 public:
  using TacMainWnd::TacMainWnd;
  void WndProc(TMessage& Message) override;
  // Paints the window through the cache into the DC of Message.WParam (0: the window DC).
  void PaintWindow(TMessage& Message);
  // Draws the content (WndText) into the cache bitmap.
  virtual void PaintText();

 protected:
  // The window's own procedure handles the message, and the window is repainted over a fresh
  // background; WM_SETTEXT also takes the new text.
  void PassOnAndRepaint(TMessage& Message);
};

// Push buttons. States: 0 normal, 1 hot (focused, under the mouse, default button), 2 pressed.
class TacBtnWnd : public TacMainWnd {
  T_CLASS(TacBtnWnd, TacMainWnd)

 public:
  // Section "BUTTON" when none is given.
  TacBtnWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  void WndProc(TMessage& Message) override;

  // The button's state now.
  int ButtonState();
  // Caption and focus frame on the cache.
  virtual void PaintCaption();
  // The glyph on the cache; nothing here.
  virtual void PaintGlyph() {}
  // Size of one glyph frame; (0, 0) here.
  virtual TSize GlyphSize() { return TSize{0, 0}; }
  // The caption in the section's colours.
  virtual void DrawCaption(TRect R, UINT Flags);
  // The caption rectangle, centred (moved by (1, 1) while pushed).
  virtual void CaptionRect(TRect& R);
  // Width left for the caption.
  virtual int TextAreaWidth();
  // The caption's extent as DrawText measures it.
  virtual TSize CaptionSize();
  // Repaints the cache bitmap.
  virtual void PrepareCache();
  // Paints the window (WM_PAINT / WM_PRINT; the DC of WParam when given).
  void WMPaint(TMessage& Message);

 protected:
  // DT_WORDBREAK unless the button is BS_MULTILINE (measuring and drawing agree).
  UINT WrapFlag() const;
};

// Push buttons with a glyph. A framework glyph button (its control publishes "Glyph",
// "NumGlyphs", "Layout", "Margin" and "Spacing") is laid out by its own properties; a plain
// window shows the bitmap of BM_GETIMAGE left of its caption.
class TacBitBtnWnd : public TacBtnWnd {
  T_CLASS(TacBitBtnWnd, TacBtnWnd)

 public:
  using TacBtnWnd::TacBtnWnd;
  TSize GlyphSize() override;
  int TextAreaWidth() override;
  void CaptionRect(TRect& R) override;
  void PaintGlyph() override;
  // Where the glyph is drawn now (framework glyph buttons).
  TRect GlyphRect();

 private:
  // The framework control when it is a glyph button, else nullptr.
  TControl* GlyphButton();
  TBitmap* Glyph();
  int IntProp(const char* Name, int Default);
  // Glyph position and caption bounds of a framework glyph button (state 0).
  void Layout(TPoint& GlyphPos, TRect& Text);
};

// Draws a 32-bit single-frame glyph with its alpha onto Canvas at P.
void DrawAlphaGlyph(TBitmap* Glyph, TCanvas* Canvas, TPoint P);

// Check boxes and radio buttons.
class TacCheckBoxWnd : public TacMainWnd {
  T_CLASS(TacCheckBoxWnd, TacMainWnd)

 public:
  // Section "CHECKBOX" when none is given.
  TacCheckBoxWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  void WndProc(TMessage& Message) override;

  // BST_INDETERMINATE -> 2, BST_CHECKED -> 1, else 0.
  int CheckState();
  // The glyph frame: pushed 2, focused or hovered 1, else 0.
  int GlyphState();
  // The GLOBALINFO image of the glyph now (-1 none) and the size of one of its frames (16 x 16
  // without one).
  int GlyphMaskIndex();
  TSize GlyphSize();
  // Repaints the cache bitmap.
  void PrepareCache();
  void Paint(TMessage& Message);

 private:
  // What the cache was made from: size and place, style, text, font, the hot, pushed, focused,
  // checked and enabled states, the skin and the parent's picture under the box. A paint with
  // the same key copies the cache.
  TacPictureKey PictureKeyOf(const TCacheInfo& Parent);
  TacKeptPicture Kept;
};

// Group boxes.
class TacGroupBoxWnd : public TacMainWnd {
  T_CLASS(TacGroupBoxWnd, TacMainWnd)

 public:
  // Section "GROUPBOX" when none is given.
  TacGroupBoxWnd(HWND Handle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const AnsiString& SkinSection);
  void WndProc(TMessage& Message) override;

  // The caption rectangle: (6, 0, text width + 14, max(text height, 4) + 2), cut at width - 1.
  TRect CaptionRect();
  void PrepareCache();
  // Paints into the DC of WParam when LParam is 1, else the window DC.
  void Paint(TMessage& Message);

 private:
  // What the cache was made from: size and place, caption and font, the skin and the parent's
  // picture under the box. A paint with the same key copies the cache, and the windows on the
  // box are not told of a new picture under them.
  TacPictureKey PictureKeyOf(const TCacheInfo& Parent);
  TacKeptPicture Kept;
};

// Radio-button styles get the radio images: BS_RADIOBUTTON and BS_AUTORADIOBUTTON.
bool acIsRadioStyle(LONG_PTR Style);
