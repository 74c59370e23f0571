// TNxCustomGrid: what the user does on the grid with the mouse and the keyboard: the hit test
// that divides the client area into header, input line, body, footer and indicator; presses and
// releases with the selection they make; resizing columns and rows with the mouse; dragging a
// column header to a new place; moving rows; header click sorting; header, footer, cell and
// text-fit hints; incremental search by typing; keyboard navigation; wheel scrolling; and the
// size, focus and activation messages that reset this interaction state. Win32.
//
// Mouse interaction states: idle -> header pressed (left press on a clickable header) -> column
// dragging (moved more than 3 pixels, moving allowed) -> idle on drop; idle -> column sizing
// (press on a column's resize grip) -> idle on release; idle -> row sizing (press on a row's grip
// in the indicator) -> idle on release; idle -> row moving (press on a row, moved more than
// 3 pixels, goRowMoving) -> idle on release. Focus loss, deactivation of the program and the
// pointer leaving the grid reset the state.
#pragma once

#include "framework/Timers.h"
#include "grid/NxClasses.h"
#include "grid/NxCustomGridControl.h"

class TColumnDragBox;
class TDragArrow;

// Screen cursors of the grid's mouse handling, registered from the program's cursor resources
// (grid/NxGrid.rc) when a grid is created.
inline constexpr TCursor crHorzSplit = 3000;        // "HORZSPLIT": over a column's resize grip
inline constexpr TCursor crColumnNoDrag = 3001;     // "COLUMNNODRAG": a dragged column cannot drop here
inline constexpr TCursor crVertSplit = 3003;        // "VERTSPLIT": over a row's resize grip
inline constexpr TCursor crIndicatorSelect = 3006;  // "INDICATORSELECT": over the indicator beside a row

// Registers the four cursors above in the screen's cursor table (each one only when the program
// holds its resource; a missing one leaves its id showing the default cursor).
void LoadGridCursors();

// Which hint the grid shows (HintKind).
enum TGridHintKind { ghNone = 0, ghFooter = 1, ghHeader = 2, ghTextFit = 3, ghCell = 4 };

class TNxCustomGrid : public TNxCustomGridControl {
  T_CLASS(TNxCustomGrid, TNxCustomGridControl)

 public:
  explicit TNxCustomGrid(TComponent* AOwner);
  ~TNxCustomGrid() override;

  // --- hit tests (client coordinates; a column's place is its display Position)
  TGridArea GetAreaAtPos(TPoint P);
  // The first visible column in display order whose span Left - S .. Left + Width - S holds X
  // (S: the horizontal scroll position, 0 for fixed columns), or nullptr.
  TNxCustomColumn* GetColumnAtPos(TPoint P);
  // The first visible column without coFixedSize whose right edge R has R - 3 <= X <= R + 2 (a
  // scrolling column only right of the fixed columns), or nullptr.
  TNxCustomColumn* GetSizingColumn(int X);
  // The shown row under (X, Y) in the body, or -1.
  int GetRowAtPos(int X, int Y);
  // The row whose band of the body holds the height Y, whatever the columns (-1 for none).
  int GetRowBeside(int Y);
  // The shown row whose lower edge B has B - 3 < Y < B + 1, for X in the indicator strip
  // (X <= 12) below the body's top; -1 otherwise.
  int GetSizingRow(int X, int Y);
  // (column index, row): report style by GetColumnAtPos and GetRowAtPos, slides style the slide
  // at Y and the column whose slide field holds the point; -1 for none.
  TPoint GetCellAtPos(TPoint P);
  // The display position a dragged column would take when dropped at X (its own position when
  // it would not move).
  int GetColumnDropPos(TNxCustomColumn* Column, int X);
  // The row before which a moved row would be put for a release at Y: the row under Y, or the
  // next one below the row's middle; -1 above the body or past the last row.
  int GetRowDropIndex(int Y);

  // Selects and shows the first row that can be seen whose cell text in Column starts with Text
  // (letter case ignored): FromStart searches rows 0 .. last, otherwise the rows after the
  // selected one and then from the top. True when a row matched.
  bool SearchText(TNxCustomColumn* Column, const WideString& Text, bool FromStart);
  // Whether the row can be seen and its cell text in column ACol starts with Text (letter case
  // ignored).
  bool RowStartsWith(int ACol, int ARow, const WideString& Text);

  // --- the column drag box's reports (screen coordinates)
  // The dragged column moved: the drop arrows and the cursor follow.
  void ColumnDragMove(int ScreenX, int ScreenY);
  // The dragged column was released: it moves to its drop position (or, dropped outside the
  // header with goCanHideColumn, is hidden).
  void ColumnDragDrop(int ScreenX, int ScreenY);

  // --- interaction state (read-only)
  TPoint DownPoint() const { return FDownPoint; }
  TPoint DownCell() const { return FDownCell; }
  TPoint HoverCell() const { return FHoverCell; }
  TPoint MousePos() const { return FMousePos; }
  // The column whose header the left button went down on (coCanClick columns only).
  TNxCustomColumn* PressedColumn() const override { return FPressedColumn; }
  TNxCustomColumn* ClickColumn() const { return FClickColumn; }
  // The column whose header is under the pointer (hot tracking).
  TNxCustomColumn* HotColumn() const override { return FHotColumn; }
  TNxCustomColumn* SizingColumn() const { return FSizingColumn; }
  // The column whose resize grip is under the pointer.
  TNxCustomColumn* GripColumn() const { return FGripColumn; }
  int SizingDelta() const { return FSizingDelta; }
  int SizingRow() const { return FSizingRow; }
  // The row pressed for moving (-1: none) and the insertion index while it moves.
  int MovingRow() const { return FMoveRow; }
  int DropRow() const { return FDropRow; }
  TGridHintKind HintKind() const { return static_cast<TGridHintKind>(FHintKind); }
  // The grid's hint window (nullptr until the first hint).
  THintWindow* HintWindow() const { return FHintWindow; }
  // The text typed so far for incremental search, and the timer that clears it (700 ms).
  const WideString& TypedSearchText() const { return FSearchText; }
  TTimer* SearchTimer() const { return FSearchTimer; }
  TColumnDragBox* DragBox() const { return FDragBox; }
  TDragArrow* TopArrow() const { return FTopArrow; }
  TDragArrow* BottomArrow() const { return FBottomArrow; }

  // Readies the column's play element for the cell: OnBeforeEdit when FireEvent (Accept may
  // refuse); then the element gets the cell, the canvas, the font, the value and the grid's two
  // play handlers. True when accepted.
  virtual bool PreparePlay(int ACol, int ARow, bool FireEvent, const TRect& CellRect);

 protected:
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void WMHScroll(TMessage& Message) override;
  void WMVScroll(TMessage& Message) override;
  void CMParentFontChanged(TMessage& Message) override;
  void CMMouseEnter(TMessage& Message) override;
  void CMMouseLeave(TMessage& Message) override;
  void WMSize(TMessage& Message) override;
  void WMSetFocus(TMessage& Message) override;
  void WMKillFocus(TMessage& Message) override;
  virtual void WMActivateApp(TMessage& Message);
  // Hides the hint after the content scrolled (by any road), then re-places an open editor.
  void AfterScroll() override;

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyPress(wchar_t& Key) override;
  bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;

  // Columns that leave the list are forgotten by the interaction state.
  void ColumnsChanged(int ChangeKind, int Index, int Index2) override;

  // Fills the column's play element from the cell (its value).
  virtual void FillPlay(TColumnPlay* Play, int ACol, int ARow);
  // The play element's notifications: before it changes its value (Accept may refuse) and after.
  virtual void PlayBeforeChange(TColumnPlay* Sender, bool& Accept) {}
  virtual void PlayChange(TColumnPlay* Sender) {}
  // A press outside every area (empty here).
  virtual void OutsidePress() {}
  // The key map of navigation: arrows, pages, Home and End, Tab, Ctrl+A.
  virtual void KeyNavigate(Word& Key, TShiftState Shift);
  // Makes the grid's hint window from the application's hint window class.
  virtual THintWindow* CreateHintWindow();
  // The current style display repaints the header under the pointer (hot tracking).
  virtual bool HeaderHotTracking();

 private:
  void BodyPress(TMouseButton Button, TShiftState Shift);
  void HeaderPress(TMouseButton Button, TShiftState Shift);
  void IndicatorPress(int X, int Y);
  // The left button's release over the body; Down is the cell its press named.
  void BodyRelease(TPoint Down, TMouseButton Button, TShiftState Shift, int X, int Y);
  // A typed character: OnKeyPress, then the input line, the play element, an editor the key
  // opens, or the incremental search.
  void KeyStart(wchar_t& Key);
  void HeaderHover(TShiftState Shift, int X, int Y);
  void HeaderLeave();
  void FooterHover(int X, int Y);
  void BodyHover(TShiftState Shift, int X, int Y);
  void IndicatorHover(int X, int Y);
  void LeaveHoverCell();
  void StartColumnDrag(int X, int Y);
  void EndColumnDrag();

  // Inverted lines of column and row resizing (drawn twice they vanish).
  void InvertVerticalLine(int X);
  void InvertHorizontalLine(int Y);
  // The column's left edge on the screen and the strip of headers a column can be dropped on.
  int ColumnLeft(TNxCustomColumn* Column);
  TRect HeaderDropStrip();
  bool DropForbidden(TNxCustomColumn* Column, int Target);
  void ShowDropArrows(int FromPos, int ToPos);
  void HideDropArrows();

  // The insertion sign of row moving.
  void DrawRowMoveSign(int DropIndex);
  void EraseRowMoveSign();

  // Hints.
  bool HintsAllowed();
  THintWindow* NeedHintWindow();
  void ShowHintAt(TGridHintKind Kind, const WideString& Text, int MaxWidth, TPoint ClientPos);
  // Makes the hint window let the mouse through to the windows under it.
  static void PassMouseThrough(THintWindow* W);
  void HideHint();
  // The cell text as shown, after OnApplyCell.
  WideString ShownCellText(int ACol, int ARow);
  // The shown text of the cell fits its column (with 5 pixels to spare).
  bool CellTextFits(int ACol, int ARow, const WideString& Text);

  TColumnDragBox* FDragBox = nullptr;
  TDragArrow* FTopArrow = nullptr;
  TDragArrow* FBottomArrow = nullptr;
  THintWindow* FHintWindow = nullptr;
  WideString FSearchText;
  TTimer* FSearchTimer = nullptr;
  TNxCustomColumn* FPressedColumn = nullptr;
  TNxCustomColumn* FClickColumn = nullptr;
  TNxCustomColumn* FHotColumn = nullptr;
  TNxCustomColumn* FSizingColumn = nullptr;
  TNxCustomColumn* FGripColumn = nullptr;
  int FSizingDelta = 0;
  int FSizeLineLeft = 0;
  int FSizeLineRight = 0;
  // The distance from a row resize press down to the row's lower edge.
  int FRowSizeOffset = 0;
  int FSizingRow = -1;
  TPoint FRowSizePoint{-1, -1};
  int FMoveRow = -1;
  int FDropRow = -1;
  // Where the insertion sign is drawn (y and the right edge; y -1: none drawn).
  int FSignY = -1;
  int FSignRight = 0;
  TPoint FDownPoint{-1, -1};
  TPoint FDownCell{-1, -1};
  // How far the press moved its row to bring it into view (the release is moved alike).
  int FPressShift = 0;
  TPoint FHoverCell{-1, -1};
  // The cell whose hint (or its absence) was settled last.
  TPoint FHintCell{-1, -1};
  TPoint FMousePos{-1, -1};
  int FHintKind = ghNone;
  TNxCustomColumn* FHintedColumn = nullptr;
  TNxCustomColumn* FHintedFooterColumn = nullptr;
  int FOldClientHeight = 0;
  int FOldClientWidth = 0;
  bool FClickOnSelected = false;
  int FMainWindowHook = -1;
};
