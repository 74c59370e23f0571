// The grid engine TNxCustomGridControl: the column list, all appearance and behaviour settings
// and events, the layout of the client area in rows and columns, scrolling, invalidation,
// selection, keyboard navigation, painting and in-place editing. It knows nothing of how cells
// are stored: every read and write of cells, rows and row flags goes through the virtual
// operations that TNxGrid implements. Win32.
//
// The class is defined in five sources by concern: NxCustomGridControl.cpp (construction,
// settings, row and column notices, event dispatchers), NxCustomGridControlSelection.cpp
// (selection and keyboard navigation), NxCustomGridControlEditing.cpp (the in-place editors),
// NxCustomGridControlGeometry.cpp (geometry, refresh and scrolling) and
// NxCustomGridControlPaint.cpp (painting).
#pragma once

#include <array>
#include <exception>
#include <functional>
#include <memory>

#include "grid/NxColumns.h"
#include "grid/NxEdit.h"
#include "grid/NxScrollControl.h"

class TStyleDisplay;

// ---------------------------------------------------------------------------------------------
// Enumerations and sets

enum TGridStyle { gsReport, gsSlides };
enum TGridLinesStyle { lsNormal, lsActiveHorzOnly, lsActiveRows, lsFramed, lsHorizontalOnly, lsVerticalOnly };
enum TSelectionMoveDirection { mdNone, mdUp, mdDown, mdLeft, mdRight };
enum THeaderStyle { hsAuto, hsFlatBorders, hsOffice2007, hsOffice2010, hsOldStyle, hsOutlook, hsVista };
enum TSortedStyle { soDefault, soDarker, soWhite };
enum TInputEnterMode { imAllways, imEditing };
enum THomeEndBehaviour { hebTopBottom, hebLeftRight };
enum TDataChange {
  dcAddColumn, dcAddChildRow, dcAddRow, dcInsertColumn, dcInsertRow, dcDeleteColumn, dcDeleteRow, dcClearRows
};
enum TMoveSelectionKey { mkUndefined, mkArrows, mkTab, mkEnter };

enum TCellStateItem { csBoldTextSelection, csEmpty, csFocused, csSelected };
using TCellState = TSet<TCellStateItem>;
enum TSlideStateItem { stFocused, stSelected };
using TSlideState = TSet<TSlideStateItem>;

enum TAppearanceOption {
  ao3DGridLines, aoAlphaBlendedSelection, aoBoldTextSelection, aoDontFillCells, aoHideFocus,
  aoHideSelection, aoHighlightSlideCells, aoHintMarks, aoIndicateSelectedCell, aoIndicateSortedColumn
};
using TAppearanceOptions = TSet<TAppearanceOption>;

enum TGridOption {
  goCanHideColumn, goDisableColumnMoving, goDisableKeys, goEscClearEdit, goFooter, goGrid, goHeader,
  goIndicator, goInput, goLockFixedCols, goMultiSelect, goRowResizing, goRowMoving, goSecondClickEdit,
  goSelectFullRow, goUseDefaultValues, goInplaceEditEvents
};
using TGridOptions = TSet<TGridOption>;

enum TSlideOption { soFrame, soHideSelection };
using TSlideOptions = TSet<TSlideOption>;

// Areas of the client: the hit test's answer and the parts that RefreshPart repaints.
enum TGridArea { gaNone, gaBody, gaFooter, gaHeader, gaIndicator, gaInput };

// The engine's interaction state. The element's position is the bit of the state word:
// gsColumnSizing 1, gsHeaderPressed 2, gsColumnDragging 4, gsEditing 8, gsInputEditing 64,
// gsRangeSelect 128, gsRowMoving 512; the unnamed bits 16, 32 and 256 are kept for the mouse
// handling (32 is cleared on every button release, 256 on focus loss).
enum TGridStateItem {
  gsColumnSizing, gsHeaderPressed, gsColumnDragging, gsEditing, gsState16, gsState32, gsInputEditing,
  gsRangeSelect, gsState256, gsRowMoving
};
using TGridState = TSet<TGridStateItem>;

// ---------------------------------------------------------------------------------------------
// Events (Sender first)

using TCellEvent = std::function<void(TObject* Sender, int ACol, int ARow)>;
using TChangeEvent = std::function<void(TObject* Sender, int ACol, int ARow)>;
using TColumnEvent = std::function<void(TObject* Sender, int ACol)>;
using TBeforeEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& Accept)>;
using TDataChangeEvent = std::function<void(TObject* Sender, TDataChange AChangeType, int AIndex)>;
using TSortColumnEvent = std::function<void(TObject* Sender, int ACol, bool Ascending)>;
using TCellColoringEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, TColor& CellColor, TColor& GridColor, TCellState CellState)>;
using TDrawCellBackgroundEvent = std::function<void(TObject* Sender, int ACol, int ARow, TRect CellRect,
                                                    TCellState CellState, bool& DefaultDrawing)>;
using TCustomDrawCellEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, TRect CellRect, TCellState CellState)>;
using TCellHintEvent = std::function<void(TObject* Sender, int ACol, int ARow, WideString& Value)>;
using TCellShowingEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& Showing)>;
using TChangeRowHeightEvent = std::function<void(TObject* Sender, int Index, int Height)>;
using TMeasuringRowHeightEvent = std::function<void(TObject* Sender, int Index, int& RowHeight)>;
using TSelectionMoveEvent = std::function<void(TObject* Sender, int& ACol, int ARow, TMoveSelectionKey Key)>;
using TColumnMoveEvent = std::function<void(TObject* Sender, int ACol, int FromPos, int ToPos)>;
using TColumnResizeEvent = std::function<void(TObject* Sender, int ACol)>;
using THeaderClickEvent = std::function<void(TObject* Sender, int ACol)>;
using TEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, const WideString& Value)>;
using TEditAcceptEvent = std::function<void(TObject* Sender, int ACol, int ARow, const WideString& Value, bool& Accept)>;
using TEditTextEvent = std::function<void(TObject* Sender, int ACol, int ARow, WideString& Value)>;
using TApplyEditText = TEditTextEvent;
using TEndEditingEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, WideString& Value, bool& Accept)>;
using TApplyCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, WideString& Value)>;
using TRowMoveEvent = std::function<void(TObject* Sender, int FromPos, int ToPos, bool& Accept)>;
using TAfterRowMoveEvent = std::function<void(TObject* Sender, int FromPos, int ToPos)>;
using TCustomDrawIndicatorEvent =
    std::function<void(TObject* Sender, int Index, TRect IndicatorRect, bool Selected, bool Highlighted)>;
using TCustomDrawHeaderEvent = std::function<void(TObject* Sender, int Index, TRect HeaderRect)>;
using TCustomDrawFooterEvent = std::function<void(TObject* Sender, int Index, TRect FooterRect)>;
using TFooterCalculateEvent = std::function<void(TObject* Sender, int ACol, double& Value)>;
using TColumnFooterValueEvent = TFooterCalculateEvent;
using TCalculateRowEvent = std::function<void(TObject* Sender, int Index, bool& Accept)>;
using TInputAcceptEvent = std::function<void(TObject* Sender, bool& Accept)>;
using TLoadProgressEvent = std::function<void(TObject* Sender, int ACol, int ARow)>;
using TSlideColoringEvent =
    std::function<void(TObject* Sender, int Index, TColor& SlideColor, TColor& GridColor, TSlideState SlideState)>;

// ---------------------------------------------------------------------------------------------
// TNxCustomGridControl

class TNxCustomGridControl : public TNxScrollControl {
  T_CLASS(TNxCustomGridControl, TNxScrollControl)

 public:
  static constexpr const char* Version() { return "5.7.5"; }
  // Assigning a version changes nothing.
  void SetVersion(const AnsiString&) {}
  // The indicator column is this wide.
  static constexpr int IndicatorWidth = 12;

  explicit TNxCustomGridControl(TComponent* AOwner);
  ~TNxCustomGridControl() override;

  TNxColumns* Columns() const { return FColumns.get(); }
  // Hands every column, in creation order, to Proc (the stored form keeps columns as children
  // of the grid).
  void GetChildren(const std::function<void(TComponent*)>& Proc);

  // --- published properties
  TAppearanceOptions AppearanceOptions() const { return FAppearanceOptions; }
  void SetAppearanceOptions(TAppearanceOptions Value);
  bool AutoScroll() const { return FAutoScroll; }
  void SetAutoScroll(bool Value) { FAutoScroll = Value; }
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  // bsSingle gives the window the static edge; the window is created again.
  void SetBorderStyle(TBorderStyle Value);
  bool EnableVisualStyles() const { return FEnableVisualStyles; }
  void SetEnableVisualStyles(bool Value);
  int FixedCols() const { return FColumns->FixedCols(); }
  void SetFixedCols(int Value);
  int FooterSize() const { return FFooterSize; }
  // Negative sizes are ignored (so are RowSize and SlideSize below 1).
  void SetFooterSize(int Value);
  TColor GridLinesColor() const { return FGridLinesColor; }
  void SetGridLinesColor(TColor Value);
  TGridLinesStyle GridLinesStyle() const { return FGridLinesStyle; }
  void SetGridLinesStyle(TGridLinesStyle Value);
  TGridStyle GridStyle() const { return FGridStyle; }
  void SetGridStyle(TGridStyle Value);
  int HeaderSize() const { return FHeaderSize; }
  void SetHeaderSize(int Value);
  THeaderStyle HeaderStyle() const { return FHeaderStyle; }
  void SetHeaderStyle(THeaderStyle Value);
  bool HideScrollBar() const { return FHideScrollBar; }
  // False keeps the vertical bar visible (disabled) while there is nothing to scroll.
  void SetHideScrollBar(bool Value);
  TColor HighlightedTextColor() const { return FHighlightedTextColor; }
  void SetHighlightedTextColor(TColor Value);
  THomeEndBehaviour HomeEndBehaviour() const { return FHomeEndBehaviour; }
  void SetHomeEndBehaviour(THomeEndBehaviour Value) { FHomeEndBehaviour = Value; }
  TColor InactiveSelectionColor() const { return FInactiveSelectionColor; }
  void SetInactiveSelectionColor(TColor Value);
  TDrawingOptions IndicatorDrawingOptions() const { return FIndicatorDrawingOptions; }
  void SetIndicatorDrawingOptions(TDrawingOptions Value);
  TInputEnterMode InputEnterMode() const { return FInputEnterMode; }
  void SetInputEnterMode(TInputEnterMode Value) { FInputEnterMode = Value; }
  int InputSize() const { return FInputSize; }
  void SetInputSize(int Value);
  TGridOptions Options() const { return FOptions; }
  void SetOptions(TGridOptions Value);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  int RowSize() const { return FRowSize; }
  virtual void SetRowSize(int Value);
  TColor SelectionColor() const { return FSelectionColor; }
  void SetSelectionColor(TColor Value) { FSelectionColor = Value; }
  TSelectionMoveDirection SelectionMoveDirection() const { return FSelectionMoveDirection; }
  void SetSelectionMoveDirection(TSelectionMoveDirection Value) { FSelectionMoveDirection = Value; }
  TSlideOptions SlidesOptions() const { return FSlidesOptions; }
  void SetSlidesOptions(TSlideOptions Value);
  TColor SlideSelectionColor() const { return FSlideSelectionColor; }
  void SetSlideSelectionColor(TColor Value);
  int SlideSize() const { return FSlideSize; }
  void SetSlideSize(int Value);
  TSortedStyle SortedStyle() const { return FSortedStyle; }
  void SetSortedStyle(TSortedStyle Value);
  bool TabLeaveControl() const { return FTabLeaveControl; }
  void SetTabLeaveControl(bool Value) { FTabLeaveControl = Value; }
  bool WantReturns() const { return FWantReturns; }
  void SetWantReturns(bool Value) { FWantReturns = Value; }
  bool WantTabs() const { return FWantTabs; }
  void SetWantTabs(bool Value) { FWantTabs = Value; }

  // --- state
  int SelectedColumn() const { return FSelectedColumn; }
  int SelectedRow() const { return FSelectedRow; }
  int FirstVisibleRow() const { return FFirstVisibleRow; }
  // The row after the last one the latest paint reached.
  int LastVisibleRow() const { return FLastVisibleRow; }
  int AnchorRow() const { return FAnchorRow; }
  int EditCol() const { return FEditCol; }
  int EditRow() const { return FEditRow; }
  // The column whose input-line cell is being edited, -1 when none.
  int InputColumn() const { return FInputColumn; }
  bool InputSelected() const { return FInputSelected; }
  int UpdateCount() const { return FUpdateCount; }
  TGridState GridState() const { return FGridState; }
  // The editor open on a cell or on the input line (nullptr when none).
  TNxCustomEdit* InplaceEditor() const { return FInplaceEditor; }
  // The column chosen by the last sort request (nullptr when none).
  TNxCustomColumn* SortedColumn() const { return FSortedColumn; }
  bool IsMultiSelect() const { return FOptions.Contains(goMultiSelect) && FOptions.Contains(goSelectFullRow); }
  // The grid's window or its in-place editor has the input focus.
  bool IsFocused();
  // Visual styles are in use for the chrome: EnableVisualStyles and the system draws themed.
  bool IsThemedChrome();
  // The style display that paints the chrome: the one of the seven (one per THeaderStyle, made
  // with the grid, sharing its canvas) that HeaderStyle chooses.
  TStyleDisplay* StyleDisplay() const;
  // The column whose header is pressed and the one under the pointer, as the chrome paints them
  // (the mouse handling tracks them; the engine answers nullptr).
  virtual TNxCustomColumn* PressedColumn() const { return nullptr; }
  virtual TNxCustomColumn* HotColumn() const { return nullptr; }

  // --- data operations implemented by TNxGrid
  virtual WideString GetCells(int ACol, int ARow) = 0;
  virtual void SetCells(int ACol, int ARow, const WideString& Value) = 0;
  virtual void GetCellData(int ACol, int ARow, TCellValue& Value) = 0;
  virtual void GetCellDisplayText(int ACol, int ARow, WideString& Text) = 0;
  virtual int GetFirstShownRow() = 0;
  virtual int GetLastShownRow() = 0;
  virtual int GetRowCount() = 0;
  int RowCount() { return GetRowCount(); }
  virtual int GetShownRowCount() = 0;
  // The shown rows, 0 when there are no rows at all.
  virtual int GetShownRowCountIfAny() { return GetRowCount() > 0 ? GetShownRowCount() : 0; }
  virtual bool GetSelected(int Index) = 0;
  virtual void SetSelected(int Index, bool Value) = 0;
  virtual void SelectRange(int FromIndex, int ToIndex, bool Value) = 0;
  virtual int AddRow(int Count = 1) = 0;
  virtual void ExchangeRows(int Index1, int Index2) = 0;
  // Row facts with the engine's defaults (TNxGrid answers from its rows).
  virtual int GetRowHeight(int Index) { return FRowSize; }
  virtual int GetRowParent(int Index) { return -1; }
  virtual int GetRowLevel(int Index) { return 0; }
  virtual bool GetRowShown(int Index) { return true; }
  virtual bool GetHidePartialRows() { return false; }
  virtual bool CanEditCell(int ACol, int ARow) { return true; }
  virtual bool CanSelectCell(int ACol, int ARow) { return true; }
  // The cell's own colour (the engine: the column's Color).
  virtual TColor GetCellOwnColor(int ACol, int ARow);
  // Fires OnCellHint.
  virtual void GetCellHint(int ACol, int ARow, WideString& Hint);
  // True when an OnCellShowing handler hides the cell.
  virtual bool IsCellHidden(int ACol, int ARow);
  virtual int GetSelectedCount();
  virtual int GetSelectedRow() { return FSelectedRow; }
  TPoint GetSelectedCell() const { return Point(FSelectedColumn, FSelectedRow); }
  // The text: one Separator, then the cells row by row separated by Separator, rows by
  // Separator + CR LF; CR LF inside a cell becomes "%" + CR LF.
  virtual AnsiString GetCellsAsText(char Separator);

  // --- row notifications (TNxGrid does the data work after the engine's part)
  virtual void SetRowVisible(int ARow, bool Shown);
  virtual void InsertRow(int ARow);
  virtual void ClearRows();
  virtual void DeleteRow(int ARow);
  virtual void MoveRow(int FromIndex, int ToIndex);
  // Fires OnChangeRowHeight.
  virtual void SetRowHeight(int Index, int Height);
  // The engine's part of sorting by a column (coCanSort only): closes the editor, remembers the
  // column and fires OnSortColumn with the column's SortKind.
  virtual void SortColumn(TNxCustomColumn* Column, bool Ascending);
  // Row height that fits the tallest cell text of the row (at least RowSize).
  void BestFitRow(int ARow);
  // Column width that fits its texts: Mode 0 header and cells, 1 cells only, 2 header only.
  void BestFitColumn(TNxCustomColumn* Column, int Mode = 0, bool ShownRowsOnly = false);

  // --- selection
  // The one road of every selection change: OnBeforeSelect (may veto), OnDeselectCell for the
  // old cell, the row flags of single and multi-selection, OnSelectCell.
  virtual void SelectCell(int ACol, int ARow, bool StartEdit = false, bool ClearMulti = true, TShiftState Shift = {});
  // Stores the selected cell and nothing else.
  void SetSelectedCell(int ACol, int ARow);
  // Counts the selections made (a handler that made a newer one is told apart).
  unsigned SelectionCount() const { return FSelections; }
  void SelectColumn(int ACol);
  virtual void SelectRow(int ARow);
  virtual void SelectFirstRow(TShiftState Shift = {});
  virtual void SelectLastRow(TShiftState Shift = {});
  void SelectFirstColumn();
  void SelectLastColumn();
  void ClearSelection();
  // Every row (multi-selection only).
  void SelectAll();
  virtual void DeselectAll();
  void SetInputSelected(bool Value);
  // The cell paints with the selection colours.
  bool IsCellSelected(int ACol, int ARow);

  // --- keyboard navigation
  virtual void MoveDown(TShiftState Shift = {}, bool LeaveAtEnd = false, bool WrapAtEnd = false);
  virtual void MoveUp(TShiftState Shift = {});
  void MoveLeft(TMoveSelectionKey Key);
  void MoveRight(TMoveSelectionKey Key);
  void TabForward(bool FromTabKey);
  void TabBackward(bool FromTabKey);
  // Selects the row |N| shown rows below (N > 0) or above the selected one, not past the ends.
  void MoveSelectionBy(int N);

  // --- in-place editing
  // Opens the editor on a body cell; an empty InitialText loads the cell's own text.
  virtual void EditCell(int ACol, int ARow, const WideString& InitialText = L"");
  // Opens the editor because Key was typed on the cell: the editor starts with just that key.
  void EditCellWithKey(int ACol, int ARow, wchar_t Key);
  // Opens the editor on the column's input-line cell (InitialText empty: its InputValue).
  void EditInputCell(TNxCustomColumn* Column, const WideString& InitialText = L"");
  void EditInputCellWithKey(TNxCustomColumn* Column, wchar_t Key);
  // Writes the editor's text back (the editor stays open); True when something was written.
  virtual bool ApplyEditing();
  // Closes the editor without writing back (unless OnEndEditing refuses). OnEditExit fires while
  // EditCol and EditRow still name the cell that was edited.
  virtual void EndEditing();
  // Writes what was typed back (unless OnEditAccept refuses), then closes the editor: every road
  // that leaves an editor but Escape.
  void CommitEditing();
  // Turns the input line's values into a new row.
  virtual void AddInputRow();
  // Writes an edit's text into its cell.
  virtual void WriteEditedCell(int ACol, int ARow, const WideString& Value);
  // Positions and shows the open editor over its cell.
  void PlaceEditor();
  bool IsEditing() const { return FGridState.Contains(gsEditing) || FGridState.Contains(gsInputEditing); }

  // --- geometry (client pixels)
  TRect GetBodyRect();
  TRect GetHeaderRect();
  TRect GetFooterRect();
  TRect GetInputRect();
  TRect GetIndicatorRect();
  // The column's header cell, input-line cell and footer cell.
  TRect GetHeaderCellRect(TNxCustomColumn* Column);
  TRect GetInputCellRect(TNxCustomColumn* Column);
  TRect GetFooterCellRect(TNxCustomColumn* Column);
  // The column's left edge on the screen (fixed columns do not scroll).
  int GetColumnScreenLeft(TNxCustomColumn* Column);
  // The right edge of the columns (after horizontal scrolling).
  int GetColumnsRight();
  int GetRowTop(int ARow);
  // The row's top when the row lies in the body's visible part (False otherwise); the walk stops
  // at the body's bottom, so rows far below the view cost nothing.
  bool GetVisibleRowTop(int ARow, int& Top);
  TRect GetRowRect(int ARow);
  virtual TRect GetCellRect(int ACol, int ARow);
  TRect GetSlideRect(int ARow);
  TRect GetScrollClipRect();
  int GetColumnsAreaWidth();
  virtual int GetHorzScrollMax();
  int GetRowPitch(int ARow);
  int GetRowsPerPage(bool CountAbove = false);
  // The shown rows the body holds at the end of the list: from the last one upwards, as many as
  // are fully in view (at least one). The vertical bar's page: scrolled to the end, these rows
  // fill the body with the last row at the bottom.
  int GetLastPageRows();
  int GetLastFullyVisibleRow();
  // The row N shown rows below FirstVisibleRow (the last shown row when fewer follow).
  int GetRowIndexBelow(int N);
  // Shown rows From .. To - 1. The engine counts row by row; TNxGrid answers from its store
  // without visiting the rows.
  virtual int CountShownRows(int From, int To);
  // The row at which the count of shown rows above it reaches Pos (a vertical scroll position);
  // the last row when Pos is at or past the count of shown rows.
  virtual int RowAtScrollPosition(int Pos);
  // Rows From .. To - 1 that take a place in the body: the shown ones, and rows before the first
  // or past the last (each takes a default row's place).
  int ShownRowsBetween(int From, int To);
  // The first shown row at or after From (RowCount when none; From itself past the last row),
  // and the last shown row at or before From (-1 when none).
  int NextShownRow(int From);
  int PreviousShownRow(int From);
  // Whether the row can be seen: it is shown and has a height (a row of no height shows nothing,
  // its selection neither). The keys and line scrolls pass over the rows that cannot.
  bool RowCanBeSeen(int ARow);
  // The first row from From on in the direction of Step (1 down, -1 up) that can be seen; -1 when
  // none does.
  int SeenRowFrom(int From, int Step);
  int GetIndicatorWidth() const { return FOptions.Contains(goIndicator) ? IndicatorWidth : 0; }
  // Widths of the grid lines: 0 or 1 each.
  int LeftLine() const { return FLeftLine; }
  int TopLine() const { return FTopLine; }
  int RightLine() const { return FRightLine; }
  int BottomLine() const { return FBottomLine; }
  int RowGap() const { return FTopLine + FBottomLine; }

  // --- refresh (all invalidate; nothing paints directly)
  void RefreshPart(TGridArea Area);
  virtual void RefreshCell(int ACol, int ARow);
  virtual void RefreshColumnPart(TNxCustomColumn* Column, TGridArea Area);
  void RefreshRow(int ARow, bool KeepInterior = false);
  void RefreshIndicatorRow(int ARow);
  void RefreshSlide(int ARow, bool KeepInterior = false);
  // Whether a slide's interior paints differently when its row's selection flag changes: its fill
  // does without soHideSelection, its cells do with full-row selection and aoHighlightSlideCells.
  bool SlideInteriorShowsSelection() const {
    return !FSlidesOptions.Contains(soHideSelection) ||
           (FOptions.Contains(goSelectFullRow) && FAppearanceOptions.Contains(aoHighlightSlideCells));
  }
  void RefreshRowBottom(int ARow);
  void RefreshRows(int FromRow, int ToRow);
  void RefreshRowSpan(int Row1, int Row2);
  void RefreshSelectedSlides();
  void RefreshRect(const TRect& Rect);
  void UpdateSelectionDisplay();
  virtual void InvalidateGrid();
  void BeginUpdate();
  void EndUpdate();

  // --- scrolling
  virtual void UpdateHorzScrollBar();
  virtual void UpdateVertScrollBar();
  int GetHorzScrollDistance(int OldPos, int NewPos) override;
  int GetVertScrollDistance(int OldPos, int NewPos) override;
  // Brings the two clip rectangles of scrolling up to date with the layout.
  void BeforeScroll() override;
  // A line of the vertical bar is a row that can be seen: the rows of no height and the hidden
  // rows on the way pass with it, so that each line moves the content.
  int LineStep(TNxCustomScrollBar* Bar, bool Forward) override;
  // Re-places an open editor after the content moved.
  void AfterScroll() override;
  // A move sideways repaints the input line and the footer: their strips keep their edges at the
  // window's edges while their cells move.
  void ScrollContent(TNxCustomScrollBar* Bar, int DX, int DY) override;
  void ScrollToRow(int ARow);
  void ScrollColumnIntoView(TNxCustomColumn* Column);

  // --- column list notices
  // Before a column is inserted in front of others or deleted: an open edit ends while its
  // indexes still hold.
  virtual void ColumnsChanging(int ChangeKind, int Index);
  virtual void ColumnsChanged(int ChangeKind, int Index, int Index2);
  // After the column list changed: an edit that outlived the change (its end refused) follows
  // its column; one whose column went is over, without an event.
  void FollowEditedColumn();
  virtual void ColumnChanged(TNxCustomColumn* Column, int Param, int Kind);
  virtual void ColumnNotify(int Kind);
  // A column's cell kind changed (TNxGrid re-creates its cells).
  virtual void ColumnKindChanged(TNxCustomColumn* Column) {}

  // --- colours of painting
  virtual TColor GetCellColor(int ACol, int ARow);
  virtual TColor GetCellFontColor(int ACol, int ARow);

  // --- events
  TEditEvent OnAfterEdit;
  TAfterRowMoveEvent OnAfterRowMove;
  TColumnEvent OnAfterSort;
  TApplyCellEvent OnApplyCell;
  TApplyEditText OnApplyEditText;
  TBeforeEditEvent OnBeforeEdit;
  TBeforeEditEvent OnBeforeSelect;
  TCalculateRowEvent OnCalculateRow;
  TCellEvent OnCellClick;
  TCellColoringEvent OnCellColoring;
  TCellEvent OnCellDblClick;
  TCellHintEvent OnCellHint;
  TCellShowingEvent OnCellShowing;
  TChangeEvent OnChange;
  TChangeRowHeightEvent OnChangeRowHeight;
  TColumnFooterValueEvent OnColumnFooterValue;
  TColumnMoveEvent OnColumnMove;
  TColumnResizeEvent OnColumnResize;
  TCustomDrawCellEvent OnCustomDrawCell;
  TCustomDrawFooterEvent OnCustomDrawFooter;
  TCustomDrawHeaderEvent OnCustomDrawHeader;
  TCustomDrawIndicatorEvent OnCustomDrawIndicator;
  TDataChangeEvent OnDataChange;
  TCellEvent OnDeselectCell;
  TDrawCellBackgroundEvent OnDrawCellBackground;
  TEditEvent OnEdit;
  TEditAcceptEvent OnEditAccept;
  TNotifyEvent OnEditEnter;
  TNotifyEvent OnEditExit;
  TEditTextEvent OnEditText;
  TEndEditingEvent OnEndEditing;
  TFooterCalculateEvent OnFooterCalculate;
  THeaderClickEvent OnFooterClick;
  THeaderClickEvent OnHeaderClick;
  THeaderClickEvent OnHeaderDblClick;
  TInputAcceptEvent OnInputAccept;
  TNotifyEvent OnInputAdded;
  TColumnEvent OnInputSelectCell;
  // Published only: the engine never fires it.
  TLoadProgressEvent OnLoadProgress;
  TMeasuringRowHeightEvent OnMeasuringRowHeight;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnPostDraw;
  TRowMoveEvent OnRowMove;
  TCellEvent OnSelectCell;
  TSelectionMoveEvent OnSelectionMove;
  TColumnEvent OnSlideChange;
  TSlideColoringEvent OnSlideColoring;
  TSortColumnEvent OnSortColumn;
  // Unpublished: fired when goIndicator is switched through Options (before the change).
  TNotifyEvent OnIndicatorChange;

 protected:
  // --- event dispatchers (each does nothing when its event is unassigned)
  virtual void DoAfterEdit(int ACol, int ARow, const WideString& Value);
  virtual void DoAfterSort(int ACol);
  virtual void DoApplyCell(int ACol, int ARow, WideString& Value);
  virtual void DoApplyEditText(int ACol, int ARow, WideString& Value);
  virtual void DoBeforeEdit(int ACol, int ARow, bool& Accept);
  virtual void DoBeforeSelect(int ACol, int ARow, bool& Accept);
  virtual void DoAfterRowMove(int FromPos, int ToPos);
  virtual void DoCalculateRow(int Index, bool& Accept);
  virtual void DoCellClick(int ACol, int ARow);
  virtual void DoCellColoring(int ACol, int ARow, TColor& CellColor, TColor& GridColor, TCellState CellState);
  virtual void DoCellDblClick(int ACol, int ARow);
  virtual void DoCellHint(int ACol, int ARow, WideString& Value);
  virtual void DoCellShowing(int ACol, int ARow, bool& Showing);
  virtual void DoChange(int ACol, int ARow);
  virtual void DoChangeRowHeight(int Index, int Height);
  virtual void DoColumnFooterValue(int ACol, double& Value);
  virtual void DoColumnMove(int ACol, int FromPos, int ToPos);
  virtual void DoColumnResize(int ACol);
  virtual void DoCustomDrawCell(int ACol, int ARow, TRect CellRect, TCellState CellState);
  virtual void DoCustomDrawFooter(int Index, TRect FooterRect);
  virtual void DoCustomDrawHeader(int Index, TRect HeaderRect);
  virtual void DoCustomDrawIndicator(int Index, TRect IndicatorRect, bool Selected, bool Highlighted);
  virtual void DoDataChange(TDataChange AChangeType, int AIndex);
  virtual void DoDeselectCell(int ACol, int ARow);
  virtual void DoDrawCellBackground(int ACol, int ARow, TRect CellRect, TCellState CellState, bool& DefaultDrawing);
  virtual void DoEdit(int ACol, int ARow, const WideString& Value);
  virtual void DoEditAccept(int ACol, int ARow, const WideString& Value, bool& Accept);
  virtual void DoEditEnter();
  virtual void DoEditExit();
  virtual void DoEditText(int ACol, int ARow, WideString& Value);
  virtual void DoEndEditing(int ACol, int ARow, WideString& Value, bool& Accept);
  virtual void DoFooterCalculate(int ACol, double& Value);
  virtual void DoFooterClick(int ACol);
  virtual void DoHeaderClick(int ACol);
  virtual void DoHeaderDblClick(int ACol);
  virtual void DoInputAccept(bool& Accept);
  virtual void DoInputAdded();
  virtual void DoInputSelectCell(int ACol);
  virtual void DoMeasuringRowHeight(int Index, int& RowHeight);
  virtual void DoMouseEnter();
  virtual void DoMouseLeave();
  virtual void DoPostDraw();
  virtual void DoRowMove(int FromPos, int ToPos, bool& Accept);
  virtual void DoSelectCell(int ACol, int ARow);
  // A handler may change anything, the grid's existence included. Every handler the grid calls
  // goes through RunHandler (Fire and Call below), which knows afterwards whether the grid is still
  // there; the code around a handler holds no editor, column or row across it but reads them again
  // or watches them (TCellWatch), and an action checks its preconditions again after its handlers.
  //
  // A selection, edit or row operation completes whatever its handlers raise: the first error of a
  // fired handler (Fire) is raised once the outermost operation has completed. An operation that
  // fails on its own (a refused text) raises its own error, and a handler's error goes to the
  // application's handler then. Handlers outside an operation, and the handlers whose error stops
  // the action (Call), raise straight to the caller.
  //
  // A handler that frees the grid ends the action there, on every road: the grid's destructor
  // marks the grid's frames still on the stack (TOperationLife: operations, handler calls,
  // messages and watched cells, without allocating, so that an action runs as well with memory
  // short) and hands an error still waiting to the application; the handler's call then raises
  // EGridFreed, which unwinds the grid's code without touching it up to where the grid was entered
  // from outside (the operation that the program or a handler called, a message, an editor's
  // event), which ends there. Code that cleans up on an error lets EGridFreed pass (Undoing). A
  // method the program calls that runs handlers is one operation, so that it is such an entry.
  struct TOperationLife {
    enum TKind { lkOperation, lkHandler, lkMessage, lkCell } Kind;
    bool Freed;
    TOperationLife* Outer;
  };
  // A cell followed while handlers run: its column object (nullptr once the column left the grid)
  // and its row, which the row operations keep on the row's record (-1 once the record went).
  // Column or Row nullptr / -1 from the start follow nothing on that side.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
// The watch links itself into the grid's frames and out again when it ends (unless the grid went).
#pragma GCC diagnostic ignored "-Wdangling-pointer"
#endif
  struct TCellWatch : TOperationLife {
    TCellWatch(TNxCustomGridControl* Grid, TNxCustomColumn* AColumn, int ARow)
        : TOperationLife{lkCell, false, Grid->FOperationLives}, FGrid(Grid), Column(AColumn), Row(ARow) {
      Grid->FOperationLives = this;
    }
    ~TCellWatch() {
      if (!Freed) FGrid->FOperationLives = Outer;
    }
    TCellWatch(const TCellWatch&) = delete;
    TCellWatch& operator=(const TCellWatch&) = delete;
    // The column's index now (-1 when it went).
    int Col() const { return Column == nullptr ? -1 : FGrid->FColumns->IndexOf(Column); }
    // The cell is still there: its column is in the grid and its row exists.
    bool Exists() const { return Col() >= 0 && Row >= 0 && Row < FGrid->GetRowCount(); }
    TNxCustomGridControl* FGrid;
    TNxCustomColumn* Column;
    int Row;
  };
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
  // Hands every watched cell to Fn (the row operations keep their rows on their records).
  template <class F>
  void ForWatchedCells(F&& Fn) {
    for (TOperationLife* L = FOperationLives; L != nullptr; L = L->Outer)
      if (L->Kind == TOperationLife::lkCell) Fn(*static_cast<TCellWatch*>(L));
  }
  template <class F>
  void Operation(F&& Body) {
    // Entered from outside the grid's own code (the program, a handler): the end of a freed grid
    // stops here.
    const bool Entry = OutsideEntry();
    TOperationLife Life{TOperationLife::lkOperation, false, FOperationLives};
    FOperationLives = &Life;
    ++FOperations;
    // Leaves the grid's frames; True when this was the outermost operation and an error waits.
    auto Leave = [&] {
      FOperationLives = Life.Outer;
      return --FOperations == 0 && FHandlerError;
    };
    // An error raised besides by the handler that freed the grid.
    std::exception_ptr Left;
    try {
      Body();
      if (!Life.Freed && FOperations == 1) SettleEdit();
    } catch (const EGridFreed& Gone) {
      if (!Life.Freed) {
        if (Leave()) ReportHandlerError();
        throw;
      }
      Left = Gone.Error;
    } catch (...) {
      if (!Life.Freed && Leave()) ReportHandlerError();
      throw;
    }
    if (Life.Freed) {
      if (!Entry) throw EGridFreed{Left};
      if (Left) std::rethrow_exception(Left);
      return;
    }
    if (Leave()) RaiseHandlerError();
  }
  // Calls a handler. Collect: inside an operation its error waits for the operation's end.
  template <class F>
  void RunHandler(bool Collect, F&& Handler) {
    TOperationLife Life{TOperationLife::lkHandler, false, FOperationLives};
    FOperationLives = &Life;
    std::exception_ptr Error;
    try {
      Handler();
    } catch (const EGridFreed& Gone) {
      // Another grid's end that reached the handler: the handler's own error, if any.
      Error = Gone.Error;
    } catch (...) {
      Error = std::current_exception();
    }
    if (Life.Freed) throw EGridFreed{Error};
    FOperationLives = Life.Outer;
    if (!Error) return;
    if (!Collect || FOperations == 0) std::rethrow_exception(Error);
    if (!FHandlerError) FHandlerError = Error;
  }
  template <class F>
  void Fire(F&& Handler) {
    RunHandler(true, Handler);
  }
  template <class F>
  void Call(F&& Handler) {
    RunHandler(false, Handler);
  }
  // Whether code entered now is entered from outside the grid's own code: no frame of the grid
  // encloses it but cells, or the innermost one is a handler's call.
  bool OutsideEntry() const {
    const TOperationLife* L = FOperationLives;
    while (L != nullptr && L->Kind == TOperationLife::lkCell) L = L->Outer;
    return L == nullptr || L->Kind == TOperationLife::lkHandler;
  }
  void RaiseHandlerError();
  void ReportHandlerError();
  // A message of the grid's window, or an event of its editor (which arrives with the editor's
  // message), enters the grid from outside: a handler that frees the grid meanwhile ends it there
  // (False then). With OwnErrors (a key, pointer or scroll message, an editor's key) it is an
  // action of its own, also when it arrives while an operation waits in a message loop (a handler
  // that loads a page): the errors of its handlers reach this message's sender, not the waiting
  // operation's caller.
  template <class F>
  bool Action(bool OwnErrors, F&& Body) {
    // A message the grid's own code brings about (one it sends, or one performed on its way) is
    // no entry: the end of a freed grid goes on to that code (across the system's message
    // dispatch, which drops it silently, to a Dispatching call).
    const bool Entry = OutsideEntry();
    TOperationLife Life{TOperationLife::lkMessage, false, FOperationLives};
    const bool Park = OwnErrors && FOperations != 0;
    const int Operations = FOperations;
    const std::exception_ptr Waiting = FHandlerError;
    if (Park) {
      FOperations = 0;
      FHandlerError = nullptr;
    }
    FOperationLives = &Life;
    auto Restore = [&] {
      FOperationLives = Life.Outer;
      if (!Park) return;
      FOperations = Operations;
      FHandlerError = Waiting;
    };
    // An error raised besides by the handler that freed the grid.
    std::exception_ptr Left;
    try {
      Body();
      if (!Life.Freed && FOperations == 0) SettleEdit();
    } catch (const EGridFreed& Gone) {
      if (!Life.Freed) {
        Restore();
        throw;
      }
      Left = Gone.Error;
    } catch (...) {
      if (!Life.Freed) Restore();
      throw;
    }
    if (!Life.Freed) {
      Restore();
      return true;
    }
    // The errors left go to the application (the sender of a message is the system).
    if (Park) HandOn(Waiting);
    HandOn(Left);
    if (!Entry) throw EGridFreed();
    return false;
  }
  // Runs a call of the grid's code into the system that may bring messages back to the grid or
  // its editor (a sent message, a focus change): a handler that freed the grid in one of them ends
  // the grid's code around the call as well.
  template <class F>
  void Dispatching(F&& Send) {
    TOperationLife Life{TOperationLife::lkOperation, false, FOperationLives};
    FOperationLives = &Life;
    try {
      Send();
    } catch (...) {
      if (!Life.Freed) FOperationLives = Life.Outer;
      throw;
    }
    if (Life.Freed) throw EGridFreed{};
    FOperationLives = Life.Outer;
  }
  // A key's handling is one action, the one it started in: the edit it was typed into, or the
  // selection it was typed on (Key: its edit, 0 for none, and the selections made before it).
  // Handlers that end that edit or make another selection spend the key: it does nothing more,
  // and the characters it brought are dropped. A key's own road (Tab, Enter, Escape, the page
  // keys in an editor) moves it on to what the road left (KeyMovesOn).
  struct TKeyTarget {
    unsigned Edit;
    unsigned Selections;
    bool operator==(const TKeyTarget&) const = default;
  };
  TKeyTarget KeyTargetNow() const { return {IsEditing() ? FEditSession : 0, FSelections}; }
  // The key being handled still aims at what it started with (always, between keys).
  bool KeyStands() const { return !FKeyLive || FKey == KeyTargetNow(); }
  void KeyMovesOn() { FKey = KeyTargetNow(); }
  // Runs a key message of Window (the grid's or its editor's) as the key's action. A key down
  // starts the action; a character or key up that comes while a key down is handled (in a
  // handler's message loop) belongs to that key and does nothing once the key is spent; one that
  // comes on its own starts an action of its own. False when the key is spent (a spent key down's
  // characters waiting for Window are dropped).
  template <class F>
  bool KeyAction(HWND Window, bool Down, F&& Body) {
    const TKeyTarget Outer = FKey;
    const bool OuterLive = FKeyLive, OuterDown = FKeyDown;
    if (!Down && OuterLive && OuterDown && !KeyStands()) return false;
    if (Down || !OuterLive || !OuterDown) FKey = KeyTargetNow();
    FKeyLive = true;
    FKeyDown = Down || OuterDown;
    auto Restore = [&] {
      FKey = Outer;
      FKeyLive = OuterLive;
      FKeyDown = OuterDown;
    };
    Undoing(Body, Restore);
    const bool Stands = KeyStands();
    Restore();
    if (!Stands && Down) DropCharacters(Window);
    return Stands;
  }
  static void DropCharacters(HWND Window);
  // Gives the open editor what typing gives it (a character, or a text set anew) through its
  // window: its handlers may free the editor, which is touched no more.
  void TypeIntoEditor(UINT Msg, WPARAM WParam, LPARAM LParam);
  // A text set anew (the same text changes nothing), and the key that opened the edit, handed to
  // its editor.
  void TypeTextIntoEditor(const WideString& Text);
  void HandKeyToEditor(wchar_t Key);
  // An edit whose cell went out of sight (its row hidden or of no height, or the cell scrolled out
  // of the body) is written back and ended where the action settles: at the end of the outermost
  // operation or message, where no code holds a column or row. An edit whose end was refused there
  // stays, unseen, until its cell comes back into sight.
  void SettleEdit();
  // An error that no caller can take any more (its grid went): it goes to the application.
  static void HandOn(const std::exception_ptr& Error);
  // Hides an editor; one that holds the focus gives it to the grid first, so that hiding it moves
  // the focus nowhere else (and no focus change ends an edit).
  void HideEditor(TNxCustomEdit* Editor);
  // Paints the cell of the open edit (a body cell or the input line's) again.
  void RefreshEditedCell();
  // The edit ends without a word to its handlers (its column or cell went, or another edit takes
  // its place): the editor hides, and what it held goes nowhere.
  void DropEdit();
  // The edits begun so far; the edit begun as Session is still the one open.
  unsigned EditSession() const { return FEditSession; }
  bool EditAlive(unsigned Session) const { return IsEditing() && FEditSession == Session; }
  // The open edit is being ended (its end's handlers run).
  bool EditEnding() const { return IsEditing() && FEnding == FEditSession; }
  void WndProc(TMessage& Message) override;
  void DoScrollEvent(TNxCustomScrollBar* Bar, int Position) override;
  void SendScrollMessage(UINT Msg, WPARAM Code) override;
  // A bar's move or scroll request is an operation (the program's, the roll timer's tick, as much
  // as the grid's own).
  void BarChange(const std::function<void()>& Change) override;
  void RunControlEvent(const std::function<void()>& Event) override;
  // The framework's key, click and focus events run as the grid's handlers.
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyUp(Word& Key, TShiftState Shift) override;
  void KeyPress(wchar_t& Key) override;
  void Click() override;
  void DblClick() override;
  void DoEnter() override;
  void DoExit() override;
  virtual void DoSelectionMove(int& ACol, int ARow, TMoveSelectionKey Key);
  virtual void DoSlideChange(int ACol);
  virtual void DoSlideColoring(int Index, TColor& SlideColor, TColor& GridColor, TSlideState SlideState);
  virtual void DoSortColumn(int ACol, bool Ascending);

  // --- painting
  void Paint() override;
  // Rows, then header, input line and footer.
  virtual void PaintReport();
  virtual void PaintHeaderParts();
  virtual void PaintRows();
  // Slides header, then the slides.
  virtual void PaintSlides();
  virtual void PaintSlidesHeader();
  virtual void PaintSlideRows();
  virtual void DrawCell(TNxCustomColumn* Column, int ARow);
  // A cell below the last row (or of a row cut off with GetHidePartialRows).
  virtual void DrawEmptyCell(TNxCustomColumn* Column, int ARow, const TRect& CellRect);
  virtual void DrawIndicatorCell(int ARow, bool Selected, bool Highlighted);
  virtual void DrawCellGridLines(TNxCustomColumn* Column, int ARow, const TRect& CellRect, TColor GridColor);
  virtual void DrawFocusFrame();
  // The window border after the system's non-client painting.
  virtual void PaintBorder();
  // Before a cell's content is painted: the canvas font from the column, its colour and style
  // for the cell state. True lets the display paint the content (the engine answers False).
  virtual bool ApplyCellFont(int ACol, int ARow, TCellState CellState);
  // Loads the cell's value into the column display (TNxGrid).
  virtual void PrepareCellDisplay(int ACol, int ARow, TColumnDisplay* Display) {}
  // The cell's text colour and style before painting (TNxGrid: OnCellFormating).
  virtual void CellTextHook(int ACol, int ARow, TCellState CellState) {}
  // The grid style is about to change.
  virtual void GridStyleChanged() {}

  // --- chrome painting: header, footer, input line and indicator pieces. Each operation is the
  // engine's call of the matching operation of the current style display (DrawHeader,
  // DrawHeaderRemainder, DrawCorner, DrawFooter, DrawFooterBackground, DrawIndicatorBackground,
  // DrawIndicatorContent, DrawInputCell); StylePrepare hands the display the canvas, the grid's
  // font, visual styles, the theme handle (FThemeHandle) and the header state before each piece.
  // Called by the HeaderStyle setter after the style changed (the current display is chosen).
  virtual void StyleDisplayChanged() {}
  // Readies the chrome painting for one piece (canvas, font, visual styles, header state).
  virtual void StylePrepare(bool Themed);
  virtual void StyleDrawHeader(TNxCustomColumn* Column, const TRect& Rect);
  // The header strip right of the last column.
  virtual void StyleDrawHeaderRemainder(const TRect& Rect);
  // A corner piece of the indicator column (Kind 0 plain, 1 pressed).
  virtual void StyleDrawCorner(const TRect& Rect, int Kind);
  virtual void StyleDrawFooter(TNxCustomColumn* Column, const TRect& Rect, bool Framed);
  // The input-line or footer strip around its cells (the cells are clipped out).
  virtual void StyleDrawFooterBackground(const TRect& Rect);
  virtual void StyleDrawIndicatorBackground(const TRect& Rect, int Row, bool Selected, bool Highlighted);
  virtual void StyleDrawIndicatorContent(const TRect& Rect, bool Selected, bool Inverted);
  virtual void StyleDrawInputCell(TNxCustomColumn* Column, const TRect& Rect, bool Focused, bool Selected, bool Editing);
  // The width of the column's header content (best fit).
  virtual int StyleHeaderContentWidth(TNxCustomColumn* Column);
  // The colour of the one-pixel border of the Office-like header styles.
  virtual TColor StyleBorderColor();

  // --- in-place editor
  // The editor that edits the column's cells: its InplaceEdit or its own (nullptr when none).
  virtual TNxCustomEdit* GetColumnEditor(TNxCustomColumn* Column);
  // Gives the editor the grid's handlers of its change, enter, exit and key events.
  virtual void HookEditorEvents();
  // After the editor received its text (empty here).
  virtual void EditorShowing() {}
  // Editor event handlers.
  virtual void EditorChange(TObject* Sender);
  virtual void EditorEnter(TObject* Sender);
  virtual void EditorExit(TObject* Sender);
  virtual void EditorKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  virtual void EditorKeyPress(TObject* Sender, wchar_t& Key);
  virtual void EditorKeyUp(TObject* Sender, Word& Key, TShiftState Shift);

  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& Message) override;
  void CMTextChanged(TMessage& Message) override;
  void CMFontChanged(TMessage& Message) override;
  void CMEnter(TMessage& Message) override;
  void CMExit(TMessage& Message) override;
  void CMControlListChange(TMessage& Message) override;

  // Grid-line widths from Options, GridLinesStyle and AppearanceOptions.
  void UpdateLineWidths();
  // The column list's start and the auto-sized widths after a size or indicator change.
  void UpdateColumnsLayout();
  // Everything that follows the layout after a change of style or options: the columns, the
  // painting, the editor and both scroll bars.
  void Relayout();
  // Finds the first / last shown row from a position, or -1 (TNxGrid: from its store's index).
  virtual int FindFirstShownRow(int From);
  virtual int FindLastShownRow(int From);

  // The lowest and highest shown rows (kept by the row operations).
  int FFirstShownRow = 0;
  int FLastShownRow = 0;
  int FFirstVisibleRow = 0;
  int FLastVisibleRow = 0;
  int FSelectedColumn = 0;
  int FSelectedRow = -1;
  int FAnchorRow = -1;
  int FEditCol = -1;
  int FEditRow = -1;
  bool FInputSelected = false;
  int FInputColumn = -1;
  int FUpdateCount = 0;
  int FOperations = 0;                 // selection, edit and row operations running
  std::exception_ptr FHandlerError;    // the first error a handler raised in them
  TOperationLife* FOperationLives = nullptr;  // the innermost of them
  int FUpdateScrollRow = -1;  // the row ScrollToRow was asked for while updating, shown by EndUpdate
  unsigned FVertBarPass = 0;  // counts UpdateVertScrollBar calls (a nested one supersedes)
  TGridState FGridState;
  TNxCustomColumn* FSortedColumn = nullptr;
  // The theme handle of the window class "header" (visual styles), 0 without.
  HANDLE FThemeHandle = nullptr;

 private:
  // Invalidates the band of width DX at the sides and DY at the top and bottom of R.
  void RefreshFrame(const TRect& R, int DX, int DY);
  // Attaches / detaches an editor (the protocol's "InplaceEditor := ...").
  void AttachEditor(TNxCustomEdit* Editor);
  void DetachEditor();
  // Runs the checks of opening a body editor (again after each handler on the way) and begins
  // the edit of the cell; False when none opens.
  bool BeginCellEditor(int ACol, int ARow);
  // Runs the checks of opening an input-line editor; False when none opens.
  bool BeginInputEditor(TNxCustomColumn* Column);
  // Places the input line's open editor on its column and gives it the focus; False when a handler
  // on the way ended that edit.
  bool ShowInputEditor(TNxCustomColumn* Column, unsigned Session);
  // Before another editor opens: the open one is committed and closed; False when it stays.
  bool CloseOtherEditor();
  // Attaches the column's editor, hooks it and prepares its look.
  void TakeColumnEditor(TNxCustomColumn* Column, TColor Color, bool InputLine);
  void SetEditorText(const WideString& Text);
  void FocusEditor();
  void AbandonEditing();
  // The open edit writes what was typed and ends; a text its column refuses ends it all the same,
  // and the refusal is raised. Before a column comes or goes in front of others or is hidden, and
  // for an edit whose cell went out of sight.
  void WriteAndEndEdit();
  // The selected column was hidden: the selection goes to the next shown column in display
  // order (the previous one at the end).
  void KeepSelectionOnShownColumn();
  void OpenThemeHandle();
  void CloseThemeHandle();
  // Scrolls the strip right of a resized column by its width change (or repaints).
  void ScrollResizedColumn(TNxCustomColumn* Column, int Delta);
  // The left and right arrows' step: selects Column (nullptr: none lies that way) in the selected
  // row, after the selection-move event may have named another.
  void MoveToColumn(TNxCustomColumn* Column, TMoveSelectionKey Key);
  // Tab's step past the last (or first) column, once the row changed: selects Column (nullptr:
  // none) in the selected row, after the selection-move event may have named another.
  void WrapToColumn(TNxCustomColumn* Column, TMoveSelectionKey Key);
  // Selects the first (or last) row that can be seen, and scrolls to that end.
  void SelectEndRow(bool Last, TShiftState Shift);
  // Selects the column (nullptr: none) and scrolls it into view.
  void SelectColumnInView(TNxCustomColumn* AColumn);

  std::unique_ptr<TNxColumns> FColumns;
  // The style displays, indexed by THeaderStyle.
  std::array<std::unique_ptr<TStyleDisplay>, 7> FStyleDisplays;
  TNxCustomEdit* FInplaceEditor = nullptr;
  // The column of the open editor (body or input line): FEditCol and FInputColumn follow it
  // when columns come or go.
  TNxCustomColumn* FEditColumn = nullptr;
  bool FSuppressEditEvent = false;
  // Counts the edits begun: a handler that opens the next one is told apart.
  unsigned FEditSession = 0;
  // The edit being ended (its handlers run; a nested end of it is the same end), and the edit
  // whose text is being written (a nested commit of it only ends it); 0 for none.
  unsigned FEnding = 0;
  unsigned FApplying = 0;
  // Counts the selections made: a handler that selects another cell is told apart.
  unsigned FSelections = 0;
  // The edit whose cell went out of sight, waiting to be written back and ended (SettleEdit), and
  // the edit whose end was refused there; 0 for none.
  unsigned FUnseen = 0;
  unsigned FUnseenKept = 0;
  // The key being handled (KeyAction): what it aims at, whether one is handled, and whether a key
  // down is among those handled.
  TKeyTarget FKey{};
  bool FKeyLive = false;
  bool FKeyDown = false;
  // The key that opened an edit is on its way into the editor (HandKeyToEditor).
  bool FHandingKey = false;
  TAppearanceOptions FAppearanceOptions{aoHideSelection, aoHighlightSlideCells};
  bool FAutoScroll = false;
  TBorderStyle FBorderStyle = bsSingle;
  bool FEnableVisualStyles = true;
  int FFooterSize = 18;
  TColor FGridLinesColor = clBtnFace;
  TGridLinesStyle FGridLinesStyle = lsNormal;
  TGridStyle FGridStyle = gsReport;
  int FHeaderSize = 18;
  THeaderStyle FHeaderStyle = hsAuto;
  bool FHideScrollBar = true;
  TColor FHighlightedTextColor = clHighlightText;
  THomeEndBehaviour FHomeEndBehaviour = hebTopBottom;
  TColor FInactiveSelectionColor = clBtnFace;
  TDrawingOptions FIndicatorDrawingOptions = doNormal;
  TInputEnterMode FInputEnterMode = imEditing;
  int FInputSize = 16;
  TGridOptions FOptions{goHeader};
  bool FReadOnly = false;
  int FRowSize = 16;
  TColor FSelectionColor = clHighlight;
  TSelectionMoveDirection FSelectionMoveDirection = mdDown;
  TSlideOptions FSlidesOptions{soFrame, soHideSelection};
  TColor FSlideSelectionColor = clWindow;
  int FSlideSize = 80;
  TSortedStyle FSortedStyle = soDefault;
  bool FTabLeaveControl = true;
  bool FWantReturns = false;
  bool FWantTabs = false;
  int FLeftLine = 0;
  int FTopLine = 0;
  int FRightLine = 0;
  int FBottomLine = 0;
  // The chrome painting uses visual styles in this paint.
  bool FStyleThemed = false;
  // The row being painted and its top (-1: none).
  int FPaintRow = -1;
  int FPaintRowTop = 0;
  // While a paint runs: whether the grid was focused when it began (-1: no paint). Asking the
  // system for the focus is a round trip to the window server under some platforms; the answer
  // cannot change while the grid paints.
  int FPaintFocused = -1;
  // The canvas's clip box when the paint began (cells narrow it only inside their own scope).
  TRect FPaintClip;
  TRect PaintClipRect();
  // A cell's rectangle with the grid lines painted along with the cell (the line under a row of
  // no height is all there is of it).
  TRect WithGridLines(const TRect& Cell) const {
    return TRect{Cell.Left, Cell.Top - FTopLine, Cell.Right, Cell.Bottom + FBottomLine};
  }
};
