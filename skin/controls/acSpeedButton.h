// TacSpeedButtonHandler: skins a speed button, a graphic control without a window of its own.
//
// The handler puts its WndProc on top of the control's WindowProc chain (graphic controls get
// their messages through it), paints the control from its skin section (normal, hot, pressed)
// with the caption in the section's colours and the glyph laid out as a speed button lays it out,
// and follows the hot state through the framework's mouse-enter and mouse-leave notifications.
//
// The handler reads the button's properties by published name, so that the framework's
// TSpeedButton and buttons of other classes with the same properties are served alike, and does
// without those a control lacks: "Glyph" (a TBitmap), "NumGlyphs" (1), "Layout" (0 glyph left,
// 1 right, 2 top, 3 bottom; 0), "Margin" (-1 = centred), "Spacing" (4), "Down" (False). A
// TSpeedButton is pressed while its own state is down or exclusive (held by the mouse, or down in
// its group). Caption, Font, Enabled and the bounds are the control's own.
// Win32.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/Controls.h"
#include "framework/Messages.h"
#include "framework/Object.h"
#include "framework/Types.h"
#include "skin/controls/acWndAdapter.h"

class TsCommonData;
class TsSkinManager;
class TBitmap;

class TacSpeedButtonHandler : public TObject {
  T_CLASS(TacSpeedButtonHandler, TObject)

 public:
  // Stores the control and the skin data (not owned); the manager is SkinManager or the skin
  // data's; an empty section of the skin data becomes SkinSection; the handler goes on top of
  // the control's WindowProc chain. Repaint is not used.
  TacSpeedButtonHandler(TGraphicControl* AControl, TsCommonData* ASkinData, TsSkinManager* ASkinManager,
                        const AnsiString& SkinSection, bool Repaint = true);
  // Hands the saved WindowProc back unless detached already (or the control was freed).
  ~TacSpeedButtonHandler() override;

  virtual void WndProc(TMessage& Message);
  // The message to the saved WindowProc; its Result (0 without one).
  LRESULT CallOldProc(TMessage& Message);
  // Hands the saved WindowProc back (once).
  void Detach();

  // 2 pressed, 1 hot, 0 normal.
  int ButtonState();
  // The glyph's and the caption's rectangles for the current state.
  TRect GlyphRect();
  TRect CaptionRect();
  // Rebuilds the skin data's cache bitmap.
  void UpdateCache();
  // Paints through the cache into DC (origin at the control's corner).
  void Paint(HDC DC);

  TGraphicControl* Control = nullptr;
  TWndMethod SavedProc;
  TsSkinManager* SkinManager = nullptr;
  TsCommonData* SkinData = nullptr;
  bool Detached = false;

 private:
  // Hears of the control's destruction: the handler is then detached without touching it.
  class TWatcher;
  std::unique_ptr<TWatcher> FWatcher;
  TBitmap* Glyph() const;
  int IntProp(const char* Name, int Default) const;
  // What the cache was made from: size and place, state, caption, font, glyph and its layout, the
  // skin and the parent's picture under the button. A paint with the same key copies the cache.
  TacPictureKey PictureKeyOf(const TCacheInfo& Parent);
  TacKeptPicture Kept;
  int GlyphWidth() const;
  int GlyphHeight() const;
  TSize CaptionSize();
};
