// TsSplitter: the framework's splitter painted from the skin (section "SPLITTER" by default,
// control-kind code 75). It sizes its aligned neighbour exactly as TSplitter does. Skinned, it
// paints its section over what lies under it, in the normal look, the hot look while the mouse is
// over it or it has the focus flag, and the pressed look while it is dragged with ResizeStyle
// rsUpdate; an optional Glyph is centred on it. Without a skin it paints as TSplitter, with the
// glyph. While a mouse button is down on it no hints are shown. Win32.
#pragma once

#include <memory>

#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "skin/core/sCommonData.h"

// Hints switched off while a skinned control is pressed: the suppression is on, and the
// application's ShowHint value to put back. Shared by the skinned splitter and button.
extern bool acHintsSuppressed;
extern bool acSavedShowHint;
// Switch the application's hints off (saving the value; nothing when already off) / back on.
void acSuppressHints();
void acRestoreHints();

class TsSplitter : public TSplitter {
  T_CLASS(TsSplitter, TSplitter)

 public:
  static constexpr int KindCode = 75;

  // A new splitter is 6 pixels wide, opaque, with an empty glyph.
  explicit TsSplitter(TComponent* AOwner);
  ~TsSplitter() override;

  // The skin binding; SkinData()->SetSkinSection chooses the section.
  TsCommonData* SkinData() const { return FSkinData.get(); }
  // The picture centred on the splitter (empty: none). Setting it copies the value and repaints.
  TBitmap* Glyph() const { return FGlyph.get(); }
  void SetGlyph(TBitmap* Value);
  // A drag is going on (from a press on the splitter to the release).
  bool Dragging() const { return FDragging; }

  // After the stored settings: the skin data takes its default section when none was given.
  void Loaded() override;

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void WndProc(TMessage& Message) override;

 private:
  // The paint state: 0 normal, 1 hot, 2 pressed.
  int PaintState() const;
  void PaintSkinned();
  void PaintGlyphOnCanvas();
  bool SkinnedNow() const;

  std::unique_ptr<TsCommonData> FSkinData;
  bool FDragging = false;
  std::unique_ptr<TBitmap> FGlyph;
};
