// The grid's single-line edit control: the in-place editor that a column creates (TNxEdit for
// text columns) and that the grid lays over a cell while the user edits it. It is the platform's
// edit control with three additions: a pane at its left edge that can show a glyph and a small
// preview box (TNxEditInfo), adjustable text margins (TNxEditMargins), and typed reads and writes
// that convert the edit's text. Win32.
#pragma once

#include <functional>
#include <memory>

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/StdCtrls.h"

class TNxCustomEdit;

// The screen cursor shown over the edit's pane: the arrow pointing right ("REVERSEDARROW" of the
// program's resources, grid/NxGrid.rc; a program without it shows the default cursor there).
inline constexpr TCursor crReversedArrow = 1000;

// Registers the reversed arrow in the screen's cursor table under crReversedArrow (once).
void RegisterReversedArrowCursor();

// ---------------------------------------------------------------------------------------------
// TNxEditMargins

// The text margins of an edit in pixels. Setting either re-creates the edit's window, which
// sends the margins again.
class TNxEditMargins : public TPersistent {
  T_CLASS(TNxEditMargins, TPersistent)

 public:
  explicit TNxEditMargins(TNxCustomEdit* AEdit) : FEdit(AEdit) {}
  void Assign(TPersistent* Source) override;

  int Left() const { return FLeft; }
  void SetLeft(int Value);
  int Right() const { return FRight; }
  void SetRight(int Value);
  TNxCustomEdit* Edit() const { return FEdit; }

 private:
  void Changed();

  TNxCustomEdit* FEdit;
  int FLeft = 0;
  int FRight = 0;
};

// ---------------------------------------------------------------------------------------------
// TNxEditInfo

// The pane at the edit's left edge: the glyph, drawn transparently and vertically centred at
// x = 0, and with ShowPreview a 20-pixel preview box (grey frame with PreviewBorder) that the
// edit's OnCustomPreviewDraw paints into. A press on the glyph raises the edit's OnGlyphClick.
class TNxEditInfo : public TCustomControl {
  T_CLASS(TNxEditInfo, TCustomControl)

 public:
  explicit TNxEditInfo(TNxCustomEdit* AEdit);
  TNxCustomEdit* Edit() const { return FEdit; }
  // Where the preview box is painted (pane coordinates; empty without ShowPreview).
  TRect PreviewBoxRect();
  // The glyph's top: vertically centred in the pane.
  int GlyphTop();

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void WMEraseBkgnd(TMessage& Message) override;

 private:
  TNxCustomEdit* FEdit;
};

// ---------------------------------------------------------------------------------------------
// TNxCustomEdit

using TCustomPreviewDrawEvent = std::function<void(TObject* Sender, TRect Rect)>;

class TNxCustomEdit : public TCustomEdit {
  T_CLASS(TNxCustomEdit, TCustomEdit)
  friend class TNxEditInfo;
  friend class TNxEditMargins;

 public:
  explicit TNxCustomEdit(TComponent* AOwner);
  ~TNxCustomEdit() override;

  // --- typed reads of the text
  // A number (non-zero is True) or True/False in any letter case; EConvertError otherwise (also
  // for an empty text).
  virtual bool AsBoolean();
  // Empty text: 0; otherwise the text as date and time (EConvertError when it is none).
  virtual TDateTime AsDateTime();
  // Empty text: 0; otherwise the text as a number (EConvertError when it is none).
  virtual double AsFloat();
  virtual int AsInteger();
  virtual WideString AsString();

  // --- typed writes of the text
  // "True" or "False".
  virtual void SetAsBoolean(bool Value);
  virtual void SetAsDateTime(TDateTime Value);
  // The shortest text that reads back as the same number.
  virtual void SetAsFloat(double Value);
  virtual void SetAsInteger(int Value);
  virtual void SetAsString(const WideString& Value);

  // The preview rectangle: the client rectangle moved right by the glyph's width + 4 when there
  // is a glyph, 20 pixels wide.
  virtual TRect GetPreviewRect();
  // Paints the preview box: raises OnCustomPreviewDraw with its rectangle (pane coordinates; the
  // handler draws on InfoPane()->Canvas()).
  virtual void DrawPreview(const TRect& Rect);
  // Sends the text margins to the window (EM_SETMARGINS): left = EditMargins.Left, doubled and
  // plus 25 with ShowPreview, plus the glyph's width + 4 with a glyph; right = EditMargins.Right.
  virtual void AdjustMargins();
  // The left and right margins AdjustMargins sends.
  int CalcLeftMargin() const;
  int CalcRightMargin() const { return FEditMargins->Right(); }

  // --- editing hooks the grid calls while the edit is its in-place editor
  // Before the edit is placed over a cell (nothing here).
  virtual void BeginEditing() {}
  // After the text is loaded: where the caret goes (nothing here; TNxEdit puts it after the
  // last character).
  virtual void PlaceCaretAtEnd() {}
  // Before the grid takes the text: finishes input in progress (nothing here).
  virtual void CompleteInput() {}

  // The pane at the left edge and its width (0 while it is hidden).
  TNxEditInfo* InfoPane() const { return FInfo; }
  int PaneWidth() const;
  // A canvas drawing on the edit's window.
  TCanvas* Canvas() const { return FCanvas.get(); }

  // --- published properties
  TNxEditMargins* EditMargins() const { return FEditMargins.get(); }
  void SetEditMargins(TNxEditMargins* Value) { FEditMargins->Assign(Value); }
  // The glyph shown at the left; empty when none. Assigning copies it (nullptr empties).
  TBitmap* Glyph() const { return FGlyph.get(); }
  void SetGlyph(TBitmap* Value);
  bool PreviewBorder() const { return FPreviewBorder; }
  void SetPreviewBorder(bool Value);
  bool ShowPreview() const { return FShowPreview; }
  void SetShowPreview(bool Value);
  bool WantTabs() const { return FWantTabs; }
  void SetWantTabs(bool Value) { FWantTabs = Value; }
  // One-pixel frames in the edit's colour between the frame and the text area (0: none).
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int Value);
  // The edit belongs to a grid column (set by the column when it prepares its editor).
  bool IsGridEditor() const { return FGridEditor; }
  void SetGridEditor(bool Value) { FGridEditor = Value; }

  TCustomPreviewDrawEvent OnCustomPreviewDraw;
  TNotifyEvent OnGlyphClick;

 protected:
  // The background is erased as usual when True.
  virtual bool CanEraseBackground() { return true; }
  virtual void DoGlyphClick();
  // Lays the pane out: glyph width + 4 with a glyph, + 20 with ShowPreview, client height; shown
  // only with a glyph or ShowPreview.
  void UpdatePane();

  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void WMSize(TMessage& Message) override;
  void WMWindowPosChanged(TMessage& Message) override;
  void WMEraseBkgnd(TMessage& Message) override;
  void WMSetFocus(TMessage& Message) override;
  void WMKillFocus(TMessage& Message) override;
  void CMEnabledChanged(TMessage& Message) override;
  void CMFontChanged(TMessage& Message) override;

 private:
  void WMGetDlgCode(TMessage& Message);
  void WMNCCalcSize(TMessage& Message);
  void WMNCPaint(TMessage& Message);
  void GlyphChanged(TObject* Sender);
  void FitHeight();

  std::unique_ptr<TControlCanvas> FCanvas;
  TNxEditInfo* FInfo = nullptr;  // owned (component owner: this edit)
  std::unique_ptr<TNxEditMargins> FEditMargins;
  std::unique_ptr<TBitmap> FGlyph;
  bool FPreviewBorder = true;
  bool FShowPreview = false;
  bool FWantTabs = false;
  int FBorderWidth = 0;
  bool FGridEditor = false;
};

// ---------------------------------------------------------------------------------------------
// TNxEdit

// The text editor of text columns. Over the pane area (X at most the pane width + 2) the pointer
// is the reversed arrow and a press selects the whole text; a font change sends the margins
// again.
class TNxEdit : public TNxCustomEdit {
  T_CLASS(TNxEdit, TNxCustomEdit)

 public:
  using TNxCustomEdit::TNxCustomEdit;
  // The caret goes after the last character.
  void PlaceCaretAtEnd() override;

 protected:
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void CMFontChanged(TMessage& Message) override;
};
