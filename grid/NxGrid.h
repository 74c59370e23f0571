// TNxGrid: the grid component. It implements the engine's data operations over a cell store
// (TCells) and adds the row operations, the sort entry, the tree (child row) operations and its
// three events. Win32.
#pragma once

#include <memory>

#include "grid/NxCells.h"
#include "grid/NxCustomGrid.h"

using TCellFormatingEvent = std::function<void(TObject* Sender, int ACol, int ARow, TColor& TextColor,
                                               TFontStyles& FontStyle, TCellState CellState)>;
using TNxRowExpandEvent = std::function<void(TObject* Sender, int ARow)>;

class TNxGrid : public TNxCustomGrid, public TCellStoreGrid {
  T_CLASS(TNxGrid, TNxCustomGrid)

 public:
  explicit TNxGrid(TComponent* AOwner);
  ~TNxGrid() override;

  TCells* CellStore() const { return FCellStore.get(); }
  // The row most recently added or inserted (0 at first).
  int LastAddedRow() const { return FLastAddedRow; }

  // --- cells
  // The store's cell (its index checks only).
  TCell* GetCell(int ACol, int ARow);
  // The cell's text. Outside the grid: Exception "Cell out of bounds (ACol, ARow)"; nothing
  // changes.
  WideString Cells(int ACol, int ARow) { return GetCells(ACol, ARow); }
  WideString GetCells(int ACol, int ARow) override;
  void SetCells(int ACol, int ARow, const WideString& Value) override;
  void GetCellData(int ACol, int ARow, TCellValue& Value) override;
  void GetCellDisplayText(int ACol, int ARow, WideString& Text) override;
  TColor GetCellOwnColor(int ACol, int ARow) override;
  void GetCellHint(int ACol, int ARow, WideString& Hint) override;
  bool IsCellHidden(int ACol, int ARow) override;
  // The colours a cell paints in (also what the store's cells ask the grid for).
  TColor GetCellColor(int ACol, int ARow) override;
  TColor GetCellFontColor(int ACol, int ARow) override;

  // --- rows
  int GetRowCount() override;
  int GetShownRowCount() override;
  int ShownRowCount() { return GetShownRowCount(); }
  int GetFirstShownRow() override { return FFirstShownRow; }
  int GetLastShownRow() override { return FLastShownRow; }
  int GetRowHeight(int ARow) override;
  int RowHeight(int ARow) { return GetRowHeight(ARow); }
  void SetRowHeight(int ARow, int Value) override;
  void SetRowSize(int Value) override;
  bool GetRowShown(int ARow) override;
  bool RowVisible(int ARow) { return GetRowShown(ARow); }
  // Sets the row's own visibility. A row under a collapsed parent keeps the new setting but stays
  // out of the shown rows until the parent opens.
  void SetRowVisible(int ARow, bool Value) override;
  int GetRowLevel(int ARow) override;
  // The index of the row's parent row, -1 for a top-level row (no search: the record knows where
  // it lies).
  int GetRowParent(int ARow) override;
  int FindParentRow(int ARow);
  // The first following row of the same level; -1 when a row of a lower level or the end comes
  // first.
  int GetNextSibling(int ARow);
  int ChildCount(int ARow);
  bool Expanded(int ARow);
  // Stores the flag and shows or hides the row's descendants: a row is shown when it is visible
  // and every row up its chain of parents is expanded.
  void SetExpanded(int ARow, bool Value);
  bool GetSelected(int ARow) override;
  // Stores the flag and repaints the row (not while the grid is updating: EndUpdate repaints).
  void SetSelected(int ARow, bool Value) override;
  // Counts and searches of shown rows, answered by the store without visiting rows.
  int CountShownRows(int From, int To) override;
  int RowAtScrollPosition(int Pos) override;
  void SelectRange(int AFrom, int ATo, bool Value) override;

  // Appends Count rows and returns the index of the last (LastAddedRow); nothing for Count < 1.
  int AddRow(int Count = 1) override;
  // A child row of AParent, right after it or after all its descendants (as many rows further
  // down as it has descendants).
  void AddChildRow(int AParent, bool AAfterDescendants = false);
  // A new row at ARow (0 .. RowCount); the selected record stays selected.
  void InsertRow(int ARow) override;
  // Deletes the row and its descendants (the rows whose chain of parents reaches it) in one store
  // operation; the selected record stays selected when it remains.
  void DeleteRow(int ARow) override;
  void ClearRows() override;
  void MoveRow(int AFrom, int ATo) override;
  void ExchangeRows(int A, int B) override;

  int StartRowCount() const { return FStartRowCount; }
  void SetStartRowCount(int Value);

  // Sorts by the column (coCanSort only), keeping the selected record selected.
  void SortColumn(TNxCustomColumn* Column, bool Ascending) override;
  // Computes the footer values of the columns that have a formula. Each footer's caption becomes
  // the value's plain text (the footer shows it through its format mask, between its TextBefore
  // and TextAfter); with no counting rows the caption is emptied.
  void RecalculateFooters(bool AVisibleOnly);

  TCellFormatingEvent OnCellFormating;
  TCompareEvent OnCompare;
  TNxRowExpandEvent OnExpand;

 protected:
  bool ApplyCellFont(int ACol, int ARow, TCellState CellState) override;
  virtual void CellTextHook(int ACol, int ARow, TCellState CellState);
  void PrepareCellDisplay(int ACol, int ARow, TColumnDisplay* Display) override;
  void ColumnsChanged(int ChangeKind, int Index, int Index2) override;
  void ColumnChanged(TNxCustomColumn* Column, int Param, int Kind) override;
  void ColumnKindChanged(TNxCustomColumn* Column) override;
  int FindFirstShownRow(int From) override;
  int FindLastShownRow(int From) override;

  // Store callbacks.
  void CellChanged(TObject* Sender, int ACol, int ARow);
  void CompareCells(TObject* Sender, TCell* Cell1, TCell* Cell2, int& Compare);
  virtual void DoExpand(int ARow);

 private:
  void AddRows(int Count);
  void CalculateFooters(bool AVisibleOnly);
  // A shown column tells the rows' positions (row numbers, values supplied by position).
  bool ShowsRowPositions();
  void CheckRow(int ARow);
  void CheckCell(int ACol, int ARow);
  // First and last shown rows found again from the ends (0 when there is none).
  void FindShownRows();
  // The rows from ARow down to the bottom of the body are painted again, with the grid lines
  // between ARow and the shown row before it. Every road that changes which row is the last one,
  // or which rows follow a place, repaints through here.
  void RefreshFrom(int ARow);
  void FillDefaultValues(int ARow);
  // The selected row, the range anchor, the edited row and the row to scroll to when an update
  // ends stay on their records when rows change places: NewIndex gives a row's index after the
  // change from its index before it (-1: the row is gone). Every row operation that moves records
  // goes through here.
  void FollowRecords(const std::function<int(int)>& NewIndex);
  // The record of a row, nullptr outside the rows.
  TRow* RecordAt(int ARow) const;

  std::unique_ptr<TCells> FCellStore;
  int FLastAddedRow = 0;
  int FStartRowCount = 0;
};
