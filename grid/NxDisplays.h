// The painters of the grid: the style displays, which paint the chrome (column headers, the
// header strip right of the last column, footers, the indicator column and its corner pieces,
// the input line) in one look per header style, and the cell painter of text columns. Win32.
//
// A style display paints on the canvas it is given and reads everything else from the column it
// is handed; the grid (or the column drag box) that made it fills in the canvas, whether visual
// styles are in use, the header theme handle, the custom-draw callbacks and the header state
// (pressed and hot column, selected column) before it asks for a piece.
#pragma once

#include <functional>

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "grid/NxColumns.h"

// The custom-draw callback of a header or footer: Sender is the display's owner (the grid or
// the drag box), then the column's Index and the piece's rectangle.
using TDisplayCustomDrawEvent = std::function<void(TObject* Sender, int Index, TRect Rect)>;

// The place of a column among the visible columns of its grid (display order).
enum TColumnEdge { ceOnly = 0, ceFirst = 1, ceMiddle = 2, ceLast = 3 };
// ceOnly for a column without a list or the one visible column; a hidden column counts as the
// visible columns around it would place it.
TColumnEdge GetColumnEdge(TNxCustomColumn* Column);

// What a style can do (GetCapabilities, a set of these bits).
inline constexpr Byte scHotHeaders = 1;     // a header under the mouse is painted hot
inline constexpr Byte scInvertPressed = 2;  // the pressed header is shown inverted
inline constexpr Byte scNoSortArrow = 4;    // no sort sign beside the caption

// ---------------------------------------------------------------------------------------------
// TStyleDisplay: the base look (plain fills) and the operations every style shares: the header
// and footer content (glyph, caption, sort sign), the footer cell, the indicator and the input
// line cell.

class TStyleDisplay : public TPersistent {
  T_CLASS(TStyleDisplay, TPersistent)

 public:
  // AOwner: the grid or drag box that made the display; its Color fills the plain pieces.
  explicit TStyleDisplay(TControl* AOwner);

  TControl* Owner() const { return FOwner; }

  // Text is drawn with right-to-left reading order.
  bool RightToLeft = false;
  // The canvas to paint on. Painting without one raises EInvalidOperation.
  TCanvas* Canvas = nullptr;
  // The sort sign and the inverted pressed header are drawn (the drag box clears it).
  bool ShowSortArrow = true;
  // The header background is painted before its content.
  bool PaintBackground = true;
  // Visual styles are in use (set by the grid for each paint).
  bool Themed = false;
  // The theme handle of the "header" class (0 without visual styles).
  HANDLE ThemeHandle = nullptr;
  // The header state the grid tracks with the mouse, and its selected column (Index, -1: none).
  TNxCustomColumn* PressedColumn = nullptr;
  TNxCustomColumn* HotColumn = nullptr;
  int SelectedColumn = -1;

  TDisplayCustomDrawEvent OnCustomDrawFooter;
  TDisplayCustomDrawEvent OnCustomDrawHeader;

  // Room kept right of the caption: 0 unless ShowSortArrow and PaintBackground are both set; then
  // 11 for a text-only header with visual styles, 2 otherwise.
  virtual int GetContentMargin(TNxCustomColumn* Column);
  // The style's sc... bits.
  virtual Byte GetCapabilities() { return 0; }
  // Narrows the header rectangle to the part that holds the caption (the base keeps it).
  virtual void AdjustContentRect(TRect& Rect) {}
  // The sort sign with its top-left corner near (X, Y): a grey triangle with visual styles, a
  // raised 3D sign of two polylines otherwise.
  virtual void DrawSortArrow(int X, int Y, bool Ascending);
  // The footer's value (caption, formatted by its mask) with glyph.
  virtual void DrawFooterContent(TNxCustomColumn* Column, const TRect& Rect);
  // The header's glyph, caption and sort sign; the pressed header inverted (scInvertPressed).
  virtual void DrawHeaderContent(TNxCustomColumn* Column, const TRect& Rect);
  // The input line and footer strips outside the columns (the base: DrawCorner(Rect, 0)).
  virtual void DrawFooterBackground(const TRect& Rect);
  // A corner piece of the indicator column: Kind 0 plain, 1 pressed; another kind raises
  // ERangeError. The base fills with the owner's Color.
  virtual void DrawCorner(const TRect& Rect, int Kind);
  // A footer cell; Framed takes one pixel off its right and bottom for the grid's frame lines.
  virtual void DrawFooter(TNxCustomColumn* Column, const TRect& Rect, bool Framed);
  // A column header: background, content and the custom-draw callback, by the header's
  // DrawingOptions.
  virtual void DrawHeader(TNxCustomColumn* Column, const TRect& Rect);
  // The header's background (the base paints none).
  virtual void DrawHeaderBackground(TNxCustomColumn* Column, const TRect& Rect) {}
  // The indicator cell of a row (Row 0 is the first row).
  virtual void DrawIndicatorBackground(const TRect& Rect, int Row, bool Selected, bool Highlighted);
  // The row sign (a black triangle) of the selected row; Inverted inverts the cell.
  virtual void DrawIndicatorContent(const TRect& Rect, bool Selected, bool Inverted);
  // A cell of the input line: the column's input value or its input caption.
  virtual void DrawInputCell(TNxCustomColumn* Column, const TRect& Rect, bool Focused, bool Selected, bool Editing);
  // The header strip right of the last column (the base fills with the owner's Color).
  virtual void DrawHeaderRemainder(const TRect& Rect);

  // The width the header's content needs to show uncut, as the content painter lays it out:
  // the caption with its glyph, and the sort sign when the style draws one beside it (the
  // header's share of best fit).
  int GetHeaderContentWidth(TNxCustomColumn* Column);

 protected:
  // The canvas, or EInvalidOperation when there is none.
  TCanvas* Cv() const;
  // The owner's Color (clWindow without owner).
  TColor GridColor() const;
  void FillColor(const TRect& Rect, TColor Color);
  void Line(int X1, int Y1, int X2, int Y2);
  void Line(int X1, int Y1, int X2, int Y2, TColor Color);
  void Pixel(int X, int Y, TColor Color);
  // A filled triangle in pen and brush Color.
  void Triangle(TPoint A, TPoint B, TPoint C, TColor Color);
  // Inverts the rectangle (copy mode cmDstInvert, then cmSrcCopy again).
  void InvertRect(const TRect& Rect);
  // The line along the right edge (Right - 1, Top .. Bottom - 1) and on along the bottom to
  // Left - 1, in Color: the frame of the flat and Office-like pieces.
  void RightBottomLines(const TRect& Rect, TColor Color);
  // The raised button (Dark: with the window-frame edge at the bottom and right).
  void RaisedButton(const TRect& Rect, bool Dark);

 private:
  TControl* FOwner;
};

// The look of the system's header control: classic raised buttons, or the themed header parts
// when visual styles are in use (hot and pressed headers follow the mouse).
class TDefaultStyleDisplay : public TStyleDisplay {
  T_CLASS(TDefaultStyleDisplay, TStyleDisplay)

 public:
  using TStyleDisplay::TStyleDisplay;
  Byte GetCapabilities() override;
  void DrawCorner(const TRect& Rect, int Kind) override;
  void DrawHeaderBackground(TNxCustomColumn* Column, const TRect& Rect) override;
  void DrawHeaderRemainder(const TRect& Rect) override;
  // The classic header button, its edges by the column's place among its neighbours.
  virtual void DrawColumnHeader(TNxCustomColumn* Column, const TRect& Rect);
  // The themed header item: state 3 pressed, 2 hot, 1 normal.
  virtual void DrawThemedColumnHeader(TNxCustomColumn* Column, const TRect& Rect);

 protected:
  // Visual styles are in use and there is a theme handle to draw with.
  bool UseTheme() const { return Themed && ThemeHandle != nullptr; }
  // The sunken corner piece (Kind 1).
  void DrawPressedCell(const TRect& Rect);
};

// Flat cells framed by grey lines at the right and bottom.
class TFlatStyleDisplay : public TStyleDisplay {
  T_CLASS(TFlatStyleDisplay, TStyleDisplay)

 public:
  using TStyleDisplay::TStyleDisplay;
  void DrawCorner(const TRect& Rect, int Kind) override;
  void DrawFooterBackground(const TRect& Rect) override;
  void DrawHeaderBackground(TNxCustomColumn* Column, const TRect& Rect) override;
  void DrawIndicatorBackground(const TRect& Rect, int Row, bool Selected, bool Highlighted) override;
  virtual void DrawColumnHeader(TNxCustomColumn* Column, const TRect& Rect);
};

// Raised buttons with a dark edge on every piece; the pressed header is inverted.
class TOldStyleDisplay : public TStyleDisplay {
  T_CLASS(TOldStyleDisplay, TStyleDisplay)

 public:
  using TStyleDisplay::TStyleDisplay;
  Byte GetCapabilities() override { return scInvertPressed; }
  void DrawCorner(const TRect& Rect, int Kind) override;
  void DrawHeaderBackground(TNxCustomColumn* Column, const TRect& Rect) override;
  void DrawIndicatorBackground(const TRect& Rect, int Row, bool Selected, bool Highlighted) override;
};

// Headers with a soft three-row shadow at their bottom.
class TOutlookStyleDisplay : public TStyleDisplay {
  T_CLASS(TOutlookStyleDisplay, TStyleDisplay)

 public:
  using TStyleDisplay::TStyleDisplay;
  Byte GetCapabilities() override { return scInvertPressed; }
  void AdjustContentRect(TRect& Rect) override { Rect.Bottom -= 3; }
  void DrawCorner(const TRect& Rect, int Kind) override;
  void DrawFooterBackground(const TRect& Rect) override;
  void DrawHeaderBackground(TNxCustomColumn* Column, const TRect& Rect) override;
  virtual void DrawColumnHeader(TNxCustomColumn* Column, const TRect& Rect);

 protected:
  // The rows Bottom - 3 .. Bottom - 1 in blends of clBtnShadow over Color (weights 50, 100, 150).
  void DrawShadowRows(const TRect& Rect, TColor Color);
};

// Light headers; the sorted column shows a light blue band and a white sign at its top instead
// of a sort sign beside the caption.
class TVistaStyleDisplay : public TStyleDisplay {
  T_CLASS(TVistaStyleDisplay, TStyleDisplay)

 public:
  using TStyleDisplay::TStyleDisplay;
  Byte GetCapabilities() override { return scNoSortArrow; }
  void AdjustContentRect(TRect& Rect) override { Rect.Left += 2; }
  void DrawHeaderBackground(TNxCustomColumn* Column, const TRect& Rect) override;
  void DrawIndicatorBackground(const TRect& Rect, int Row, bool Selected, bool Highlighted) override;
  virtual void DrawColumnHeader(TNxCustomColumn* Column, const TRect& Rect);
};

// Gradient headers in the colours of the current colour scheme.
class TOffice2007StyleDisplay : public TStyleDisplay {
  T_CLASS(TOffice2007StyleDisplay, TStyleDisplay)

 public:
  using TStyleDisplay::TStyleDisplay;
  void AdjustContentRect(TRect& Rect) override { Rect.Left += 2; }
  void DrawCorner(const TRect& Rect, int Kind) override;
  void DrawFooterBackground(const TRect& Rect) override;
  void DrawHeaderBackground(TNxCustomColumn* Column, const TRect& Rect) override;
  void DrawIndicatorBackground(const TRect& Rect, int Row, bool Selected, bool Highlighted) override;
  virtual void DrawColumnHeader(TNxCustomColumn* Column, const TRect& Rect);

 protected:
  // The gradient's top and bottom colours: white and scheme colour 11.
  virtual TColor GradientTop() const;
  virtual TColor GradientBottom() const;
};

// As the 2007 look with the gradient of scheme colours 6 and 7 and a filled grey sort sign.
class TOffice2010StyleDisplay : public TOffice2007StyleDisplay {
  T_CLASS(TOffice2010StyleDisplay, TOffice2007StyleDisplay)

 public:
  using TOffice2007StyleDisplay::TOffice2007StyleDisplay;
  void DrawSortArrow(int X, int Y, bool Ascending) override;

 protected:
  TColor GradientTop() const override;
  TColor GradientBottom() const override;
};

// ---------------------------------------------------------------------------------------------
// Text cells

// The painter of text cells: the column's display text of the cell's value in the content
// rectangle (the cell less 2 pixels at each side), with the column's alignment and wrapping, on
// a clear background.
class TTextColumnDisplay : public TColumnDisplay {
  T_CLASS(TTextColumnDisplay, TColumnDisplay)

 public:
  using TColumnDisplay::TColumnDisplay;
  void Paint() override;
};

// ---------------------------------------------------------------------------------------------
// Footer value formatting

// Value in the number format Format: sections "positive;negative;zero" (an empty or missing
// section falls back to the first), digit placeholders '0' (always shown) and '#' (shown when
// significant), the first '.' as the decimal separator, ',' among the integer placeholders for
// digit grouping, "E+" / "E-" (either case) with '0's for the exponent, text in quotes and any
// other character as it stands. The separators come from FormatSettings. An empty format gives
// the general number text (FloatToStr). A value that is not a finite number gives its general
// text as well.
AnsiString NxFormatFloat(const AnsiString& Format, double Value);

// Value laid into the edit mask EditMask ("mask;save-literals;blank"): every input position
// (0 9 # L l A a C c) takes the next character of Value, literal characters of the mask (and
// those escaped with '\') are put in place, '>' and '<' switch to upper and lower case ("<>"
// ends the switch), '_' stands for a blank. When the second field is '0', Value holds only the
// input characters; otherwise it holds the literals too, at their places, and they are passed
// over. Missing characters are blanks; with '!' in the mask they are taken from the front.
WideString NxFormatMaskText(const AnsiString& EditMask, const WideString& Value);
