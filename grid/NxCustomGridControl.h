// The grid engine TNxCustomGridControl: the column list, all appearance and behaviour settings
// and events, the layout of the client area in rows and columns, scrolling, invalidation,
// selection and painting. It knows nothing of how cells are stored: every read and write of
// cells, rows and row flags goes through the virtual operations that TNxGrid implements. Win32.
#pragma once

#include <memory>

#include "grid/NxColumns.h"
#include "grid/NxScrollControl.h"

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
using TEndEditingEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, WideString& Value, bool& Accept)>;
using TApplyCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, WideString& Value)>;
using TRowMoveEvent = std::function<void(TObject* Sender, int FromPos, int ToPos, bool& Accept)>;
using TAfterRowMoveEvent = std::function<void(TObject* Sender, int FromPos, int ToPos)>;
using TCustomDrawIndicatorEvent =
    std::function<void(TObject* Sender, int Index, TRect IndicatorRect, bool Selected, bool Highlighted)>;
using TCustomDrawHeaderEvent = std::function<void(TObject* Sender, int Index, TRect HeaderRect)>;
using TFooterCalculateEvent = std::function<void(TObject* Sender, int ACol, double& Value)>;
using TCalculateRowEvent = std::function<void(TObject* Sender, int Index, bool& Accept)>;
using TInputAcceptEvent = std::function<void(TObject* Sender, bool& Accept)>;
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

  // --- published properties
  TAppearanceOptions AppearanceOptions() const { return FAppearanceOptions; }
  void SetAppearanceOptions(TAppearanceOptions Value);
  bool AutoScroll() const { return FAutoScroll; }
  void SetAutoScroll(bool Value) { FAutoScroll = Value; }
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  bool EnableVisualStyles() const { return FEnableVisualStyles; }
  void SetEnableVisualStyles(bool Value);
  int FixedCols() const { return FColumns->FixedCols(); }
  void SetFixedCols(int Value);
  int FooterSize() const { return FFooterSize; }
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
  // Ignored below 1.
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
  int LastVisibleRow() const { return FLastVisibleRow; }
  int AnchorRow() const { return FAnchorRow; }
  int EditCol() const { return FEditCol; }
  int EditRow() const { return FEditRow; }
  bool InputSelected() const { return FInputSelected; }
  int UpdateCount() const { return FUpdateCount; }
  TGridState GridState() const { return FGridState; }
  // The column chosen by the last sort request (nullptr when none).
  TNxCustomColumn* SortedColumn() const { return FSortedColumn; }
  bool IsMultiSelect() const { return FOptions.Contains(goMultiSelect) && FOptions.Contains(goSelectFullRow); }
  // The grid or its in-place editor has the input focus.
  bool IsFocused();

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
  virtual TColor GetCellOwnColor(int ACol, int ARow);
  virtual void GetCellHint(int ACol, int ARow, WideString& Hint);
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
  virtual void SetRowHeight(int Index, int Height);
  // The engine's part of sorting by a column: remembers it and fires OnSortColumn.
  virtual void SortColumn(TNxCustomColumn* Column, bool Ascending);

  // --- selection
  virtual void SelectCell(int ACol, int ARow, bool StartEdit = false, bool ClearMulti = true, TShiftState Shift = {});
  void SetSelectedCell(int ACol, int ARow);
  void SelectColumn(int ACol);
  virtual void SelectRow(int ARow);
  virtual void SelectFirstRow(TShiftState Shift = {});
  virtual void SelectLastRow(TShiftState Shift = {});
  void SelectFirstColumn();
  void SelectLastColumn();
  void ClearSelection();
  void SelectAll();
  virtual void DeselectAll();
  void SetInputSelected(bool Value);
  bool IsCellSelected(int ACol, int ARow);

  // --- keyboard navigation
  virtual void MoveDown(TShiftState Shift = {}, bool LeaveAtEnd = false, bool WrapAtEnd = false);
  virtual void MoveUp(TShiftState Shift = {});
  void MoveLeft(TMoveSelectionKey Key);
  void MoveRight(TMoveSelectionKey Key);
  void TabForward(bool FromTabKey);
  void TabBackward(bool FromTabKey);
  void MoveSelectionBy(int N);

  // --- editing (the in-place editor arrives with the editing protocol; until then no editor
  // ever opens, and these only keep the edit state consistent)
  virtual void EditCell(int ACol, int ARow, const WideString& InitialText = L"");
  virtual bool ApplyEditing();
  virtual void EndEditing();
  virtual void AddInputRow();
  void PlaceEditor();

  // --- geometry (client pixels)
  TRect GetBodyRect();
  TRect GetHeaderRect();
  TRect GetFooterRect();
  TRect GetInputRect();
  TRect GetIndicatorRect();
  TRect GetInputCellRect(TNxCustomColumn* Column);
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
  int GetLastFullyVisibleRow();
  int GetRowIndexBelow(int N);
  // Shown rows From .. To - 1.
  int CountShownRows(int From, int To);
  // The row at which the count of shown rows above it reaches Pos (a vertical scroll position).
  int RowAtScrollPosition(int Pos);
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
  void ScrollToRow(int ARow);
  void ScrollColumnIntoView(TNxCustomColumn* Column);

  // --- column list notices
  virtual void ColumnsChanged(int ChangeKind, int Index, int Index2);
  virtual void ColumnChanged(TNxCustomColumn* Column, int Param, int Kind);
  virtual void ColumnNotify(int Kind);
  // A column's cell kind changed (TNxGrid re-creates its cells).
  virtual void ColumnKindChanged(TNxCustomColumn* Column) {}

  // --- colours of painting
  virtual TColor GetCellColor(int ACol, int ARow);
  virtual TColor GetCellFontColor(int ACol, int ARow);

  // --- events
  TCellEvent OnCellClick;
  TCellEvent OnCellDblClick;
  TCellEvent OnDeselectCell;
  TCellEvent OnSelectCell;
  TBeforeEditEvent OnBeforeEdit;
  TBeforeEditEvent OnBeforeSelect;
  TChangeEvent OnChange;
  TDataChangeEvent OnDataChange;
  TColumnEvent OnAfterSort;
  TColumnEvent OnInputSelectCell;
  TColumnEvent OnSlideChange;
  TSortColumnEvent OnSortColumn;
  TCellColoringEvent OnCellColoring;
  TDrawCellBackgroundEvent OnDrawCellBackground;
  TCustomDrawCellEvent OnCustomDrawCell;
  TCustomDrawHeaderEvent OnCustomDrawHeader;
  TCustomDrawHeaderEvent OnCustomDrawFooter;
  TCustomDrawIndicatorEvent OnCustomDrawIndicator;
  TCellHintEvent OnCellHint;
  TCellShowingEvent OnCellShowing;
  TChangeRowHeightEvent OnChangeRowHeight;
  TMeasuringRowHeightEvent OnMeasuringRowHeight;
  TSelectionMoveEvent OnSelectionMove;
  TColumnMoveEvent OnColumnMove;
  TColumnResizeEvent OnColumnResize;
  THeaderClickEvent OnHeaderClick;
  THeaderClickEvent OnHeaderDblClick;
  THeaderClickEvent OnFooterClick;
  TEditEvent OnEdit;
  TEditEvent OnAfterEdit;
  TEditAcceptEvent OnEditAccept;
  TEditTextEvent OnEditText;
  TEditTextEvent OnApplyEditText;
  TEndEditingEvent OnEndEditing;
  TNotifyEvent OnEditEnter;
  TNotifyEvent OnEditExit;
  TApplyCellEvent OnApplyCell;
  TRowMoveEvent OnRowMove;
  TAfterRowMoveEvent OnAfterRowMove;
  TFooterCalculateEvent OnColumnFooterValue;
  TFooterCalculateEvent OnFooterCalculate;
  TCalculateRowEvent OnCalculateRow;
  TInputAcceptEvent OnInputAccept;
  TNotifyEvent OnInputAdded;
  TCellEvent OnLoadProgress;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnPostDraw;
  TSlideColoringEvent OnSlideColoring;
  // Unpublished: fired when goIndicator is switched through Options.
  TNotifyEvent OnIndicatorChange;

 protected:
  // --- event dispatchers
  virtual void DoSelectCell(int ACol, int ARow);
  virtual void DoDeselectCell(int ACol, int ARow);
  virtual void DoBeforeSelect(int ACol, int ARow, bool& Accept);
  virtual void DoChange(int ACol, int ARow);
  virtual void DoDataChange(TDataChange AChangeType, int AIndex);
  virtual void DoSortColumn(int ACol, bool Ascending);
  virtual void DoAfterSort(int ACol);
  virtual void DoCellColoring(int ACol, int ARow, TColor& CellColor, TColor& GridColor, TCellState CellState);
  virtual void DoDrawCellBackground(int ACol, int ARow, TRect CellRect, TCellState CellState, bool& DefaultDrawing);
  virtual void DoCustomDrawCell(int ACol, int ARow, TRect CellRect, TCellState CellState);
  virtual void DoCellHint(int ACol, int ARow, WideString& Value);
  virtual void DoCellShowing(int ACol, int ARow, bool& Showing);
  virtual void DoChangeRowHeight(int Index, int Height);
  virtual void DoMeasuringRowHeight(int Index, int& RowHeight);
  virtual void DoSelectionMove(int& ACol, int ARow, TMoveSelectionKey Key);
  virtual void DoColumnMove(int ACol, int FromPos, int ToPos);
  virtual void DoColumnResize(int ACol);
  virtual void DoSlideChange(int ACol);
  virtual void DoInputSelectCell(int ACol);
  virtual void DoPostDraw();
  virtual void DoCustomDrawIndicator(int Index, TRect IndicatorRect, bool Selected, bool Highlighted);

  // --- painting
  void Paint() override;
  virtual void PaintReport();
  virtual void PaintRows();
  virtual void PaintHeaderParts();
  virtual void PaintSlides();
  virtual void DrawCell(TNxCustomColumn* Column, int ARow);
  virtual void DrawEmptyCell(TNxCustomColumn* Column, int ARow, const TRect& CellRect);
  virtual void DrawIndicatorCell(int ARow, bool Selected, bool Highlighted);
  virtual void DrawCellGridLines(TNxCustomColumn* Column, int ARow, const TRect& CellRect, TColor GridColor);
  virtual void DrawFocusFrame();
  // Before a cell's content is painted: the canvas font from the column, its colour and style
  // for the cell state. True lets the display paint the content (the engine answers False).
  virtual bool ApplyCellFont(int ACol, int ARow, TCellState CellState);
  // Loads the cell's value into the column display (TNxGrid).
  virtual void PrepareCellDisplay(int ACol, int ARow, TColumnDisplay* Display) {}
  virtual void GridStyleChanged() {}

  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void CMTextChanged(TMessage& Message) override;
  void CMFontChanged(TMessage& Message) override;

  // Grid-line widths from Options, GridLinesStyle and AppearanceOptions.
  void UpdateLineWidths();
  // The column list's start and the auto-sized widths after a size or indicator change.
  void UpdateColumnsLayout();
  // Everything that follows the layout after a change of style or options: the columns, the
  // painting, the editor and both scroll bars.
  void Relayout();
  // Finds the first / last shown row from a position, or -1.
  int FindFirstShownRow(int From);
  int FindLastShownRow(int From);
  // The lowest and highest rows that are visible and shown (kept by the row operations).
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
  TGridState FGridState;
  TNxCustomColumn* FSortedColumn = nullptr;

 private:
  std::unique_ptr<TNxColumns> FColumns;
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
};
