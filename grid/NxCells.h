// The grid's cell store: the cell objects (TCell and its eight value classes), the row records
// (TRow) and the column-major store (TCells) that holds them, keeps the row and column counts and
// the sort state, and sorts rows. Portable: colours and font styles are plain integers and sets
// when the platform's graphics are not available, and the store reaches its grid and its column
// list only through the two small interfaces declared here.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Convert.h"
#include "framework/Lists.h"
#include "framework/Object.h"
#include "framework/Types.h"
#include "grid/NxRowArray.h"
#include "grid/NxRowIndex.h"

#ifdef _WIN32
#include "framework/Graphics.h"
#else
// Colours are 0x00BBGGRR values; the platform's graphics define the same types.
using TColor = std::int32_t;
enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
#endif

class TCells;
class TCell;

// ---------------------------------------------------------------------------------------------
// Column kinds and sorting

// The kind byte of a column decides the class of its cells.
using TColumnKind = Byte;
inline constexpr TColumnKind ckIncrement = 0;
inline constexpr TColumnKind ckBoolean = 1;
inline constexpr TColumnKind ckDateTime = 3;
inline constexpr TColumnKind ckFloat = 4;
inline constexpr TColumnKind ckObject = 5;
inline constexpr TColumnKind ckGuid = 6;
inline constexpr TColumnKind ckInteger = 7;
inline constexpr TColumnKind ckString = 8;
inline constexpr TColumnKind ckVirtual = 11;

enum TSortKind { skAscending, skDescending };
enum TSortType {
  stAlphabetic,         // wide text, code unit by code unit
  stBoolean,            // False before True
  stCaseInsensitive,    // byte text in the system code page, A-Z folded to lower case
  stCustom,             // the store's OnCompare decides
  stNumeric,            // AsFloat
  stDate,               // AsDateTime
  stIP,                 // dotted address parts, first part most significant
  stUnicodeAlphabetic,  // the platform's locale-aware wide comparison
};

using TCellChangeEvent = std::function<void(TObject* Sender, int ACol, int ARow)>;
// Compare starts at 0; negative orders Cell1 first, positive Cell2 first.
using TCompareEvent = std::function<void(TObject* Sender, TCell* Cell1, TCell* Cell2, int& Compare)>;

// ---------------------------------------------------------------------------------------------
// What the store needs of the grid and of its column list

// A column that supplies the values of virtual cells (kind 11) itself.
class TVirtualCellValues {
 public:
  virtual ~TVirtualCellValues() = default;
  virtual WideString GetVirtualValue(int ACol, int ARow) = 0;
  virtual void SetVirtualValue(int ACol, int ARow, const WideString& Value) = 0;
};

// The grid's column list as the store sees it: each column's kind, font and colour.
class TCellStoreColumns {
 public:
  virtual ~TCellStoreColumns() = default;
  virtual int ColumnCount() const = 0;
  virtual TColumnKind ColumnKind(int Index) const = 0;
  virtual TFontStyles ColumnFontStyle(int Index) const = 0;
  virtual TColor ColumnFontColor(int Index) const = 0;
  virtual TColor ColumnColor(int Index) const = 0;
  // The value supplier of a virtual column, or nullptr when the column supplies none.
  virtual TVirtualCellValues* ColumnValues(int Index) const = 0;
};

// The grid as the store's cells see it: the colours a cell is painted in.
class TCellStoreGrid {
 public:
  virtual ~TCellStoreGrid() = default;
  virtual TColor GetCellColor(int ACol, int ARow) = 0;
  virtual TColor GetCellFontColor(int ACol, int ARow) = 0;
};

// ---------------------------------------------------------------------------------------------
// TCell

// One cell: an abstract value holder with the cell's own colours, font style, hint and flags.
// Value classes store one value and convert it on demand through the five read and five write
// operations. Reads and writes that cannot convert raise EConvertError (the value is kept).
class TCell : public TObject {
  T_CLASS(TCell, TObject)

 public:
  // Bits of State.
  static constexpr Byte StateHidden = 1;       // the grid does not paint the cell's content
  static constexpr Byte StateNoNotify = 2;     // colour and style setters do not report changes

  explicit TCell(TCells* AOwner);

  TCells* Owner() const { return FOwner; }

  // The colours the grid paints the cell in at (LastCol, LastRow) of the owner; without a grid,
  // the cell's own Color and FontColor.
  virtual TColor GetCellColor() const;
  virtual TColor GetCellFontColor() const;

  virtual bool AsBoolean() const = 0;
  virtual TDateTime AsDateTime() const = 0;
  virtual double AsFloat() const = 0;
  virtual int AsInteger() const = 0;
  virtual WideString AsString() const = 0;

  // Reports a change to the owner (its DoChange).
  virtual void Changed();

  // In TCell each write only calls Changed; value classes store first, then call these.
  virtual void SetAsBoolean(bool Value);
  virtual void SetAsDateTime(TDateTime Value);
  virtual void SetAsFloat(double Value);
  virtual void SetAsInteger(int Value);
  virtual void SetAsString(const WideString& Value);

  // Resets the value (value classes), then Changed.
  virtual void Clear();

  TObject* ObjectReference() const { return FObjectReference; }
  void SetObjectReference(TObject* Value) { FObjectReference = Value; }
  TFontStyles FontStyle() const { return FFontStyle; }
  void SetFontStyle(TFontStyles Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TColor FontColor() const { return FFontColor; }
  void SetFontColor(TColor Value);
  const WideString& Hint() const { return FHint; }
  void SetHint(const WideString& Value) { FHint = Value; }
  Byte State() const { return FState; }
  void SetState(Byte Value) { FState = Value; }
  bool Hidden() const { return (FState & StateHidden) != 0; }
  void SetHidden(bool Value);

 private:
  void StyleChanged();

  TCells* FOwner;
  TObject* FObjectReference = nullptr;
  TFontStyles FFontStyle;
  TColor FColor = 0;
  WideString FHint;
  TColor FFontColor = 0;
  Byte FState = StateNoNotify;
};

// ---------------------------------------------------------------------------------------------
// Value classes

// Kind 1: a Boolean, initially False.
class TBooleanCell : public TCell {
  T_CLASS(TBooleanCell, TCell)

 public:
  explicit TBooleanCell(TCells* AOwner) : TCell(AOwner) {}
  bool AsBoolean() const override { return FValue; }
  TDateTime AsDateTime() const override { return 0; }
  double AsFloat() const override { return FValue ? 1 : 0; }
  int AsInteger() const override { return FValue ? 1 : 0; }
  WideString AsString() const override;
  void SetAsBoolean(bool Value) override;
  void SetAsDateTime(TDateTime Value) override;
  void SetAsFloat(double Value) override;
  void SetAsInteger(int Value) override;
  // True for "1" and, in any letter case, "true"; anything else is False.
  void SetAsString(const WideString& Value) override;
  void Clear() override;

 private:
  bool FValue = false;
};

// The common part of the date-time and float cells, which both keep a 64-bit float (a date and
// time is a number of days), initially 0: it reads as a date and time and as a float unchanged
// and as a Boolean False; a date and time, a float or an integer written is stored as it is;
// Clear stores 0. Not a cell class of its own: the cells built on it name TCell as their parent
// class.
class TNumberValueCell : public TCell {
 public:
  using TCell::TCell;
  bool AsBoolean() const override { return false; }
  TDateTime AsDateTime() const override { return FValue; }
  double AsFloat() const override { return FValue; }
  void SetAsDateTime(TDateTime Value) override;
  void SetAsFloat(double Value) override;
  void SetAsInteger(int Value) override;
  void Clear() override;

 protected:
  double FValue = 0;
};

// Kind 3: a date and time (days), initially 0.
class TDateTimeCell : public TNumberValueCell {
  T_CLASS(TDateTimeCell, TCell)

 public:
  explicit TDateTimeCell(TCells* AOwner) : TNumberValueCell(AOwner) {}
  int AsInteger() const override;
  // The date, and the time unless it is midnight.
  WideString AsString() const override;
  // Stores today's date (the Boolean is ignored).
  void SetAsBoolean(bool Value) override;
  // Empty text and text that is no date and time store 0 (no error).
  void SetAsString(const WideString& Value) override;
};

// Kind 4: a 64-bit float, initially 0.
class TFloatCell : public TNumberValueCell {
  T_CLASS(TFloatCell, TCell)

 public:
  explicit TFloatCell(TCells* AOwner) : TNumberValueCell(AOwner) {}
  // Rounded to the nearest integer, ties to even; ERangeError outside the 32-bit range.
  int AsInteger() const override;
  WideString AsString() const override;
  // Stores 0 (the Boolean is ignored).
  void SetAsBoolean(bool Value) override;
  void SetAsString(const WideString& Value) override;
};

// Kind 7: a 32-bit signed integer, initially 0.
class TIntegerCell : public TCell {
  T_CLASS(TIntegerCell, TCell)

 public:
  explicit TIntegerCell(TCells* AOwner) : TCell(AOwner) {}
  bool AsBoolean() const override { return FValue > 0; }
  TDateTime AsDateTime() const override { return 0; }
  double AsFloat() const override { return FValue; }
  int AsInteger() const override { return FValue; }
  WideString AsString() const override;
  void SetAsBoolean(bool Value) override;
  // Stores 0.
  void SetAsDateTime(TDateTime Value) override;
  // Rounded, ties to even; ERangeError outside the 32-bit range.
  void SetAsFloat(double Value) override;
  void SetAsInteger(int Value) override;
  // Empty text stores 0.
  void SetAsString(const WideString& Value) override;
  void Clear() override;

 private:
  int FValue = 0;
};

// Kind 8 and every kind without a class of its own: wide text, initially empty.
class TStringCell : public TCell {
  T_CLASS(TStringCell, TCell)

 public:
  explicit TStringCell(TCells* AOwner) : TCell(AOwner) {}
  bool AsBoolean() const override;
  // Empty text reads as 0.
  TDateTime AsDateTime() const override;
  double AsFloat() const override;
  int AsInteger() const override;
  WideString AsString() const override { return FValue; }
  // The text itself, without a copy.
  const WideString& Text() const { return FValue; }
  void SetAsBoolean(bool Value) override;
  void SetAsDateTime(TDateTime Value) override;
  void SetAsFloat(double Value) override;
  void SetAsInteger(int Value) override;
  void SetAsString(const WideString& Value) override;
  void Clear() override;

 private:
  WideString FValue;
};

// Kind 0: no value of its own; it shows the 1-based number of the row through which it was last
// fetched (the owner's LastRow + 1). Writes and Clear change nothing.
class TIncrementCell : public TCell {
  T_CLASS(TIncrementCell, TCell)

 public:
  explicit TIncrementCell(TCells* AOwner) : TCell(AOwner) {}
  bool AsBoolean() const override { return false; }
  TDateTime AsDateTime() const override { return 0; }
  double AsFloat() const override { return RowNumber(); }
  int AsInteger() const override { return RowNumber(); }
  WideString AsString() const override;
  void SetAsBoolean(bool Value) override {}
  void SetAsDateTime(TDateTime Value) override {}
  void SetAsFloat(double Value) override {}
  void SetAsInteger(int Value) override {}
  void SetAsString(const WideString& Value) override {}
  void Clear() override {}

 private:
  int RowNumber() const;
};

// The common part of the cells whose every form of value goes through their text: reads convert
// AsString (EConvertError when it holds no such value; empty text is an error as well), writes
// store the value's text through SetAsString, and Clear keeps the value and only reports a
// change. Not a cell class of its own: the cells built on it name TCell as their parent class.
class TTextValueCell : public TCell {
 public:
  using TCell::TCell;
  bool AsBoolean() const override;
  TDateTime AsDateTime() const override;
  double AsFloat() const override;
  int AsInteger() const override;
  void SetAsBoolean(bool Value) override;
  void SetAsDateTime(TDateTime Value) override;
  void SetAsFloat(double Value) override;
  void SetAsInteger(int Value) override;
};

// Kind 6: a GUID, a new one at creation. Every other form of value goes through its text.
class TGuidCell : public TTextValueCell {
  T_CLASS(TGuidCell, TCell)

 public:
  explicit TGuidCell(TCells* AOwner);
  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case.
  WideString AsString() const override;
  void SetAsString(const WideString& Value) override;

  const TGUID& Value() const { return FValue; }

 private:
  TGUID FValue;
};

// Kind 11: the value lives in the bound column (TVirtualCellValues), reached for the owner's
// (LastCol, LastRow); every other form of value goes through its text. Without a bound supplier
// every access raises EInvalidOperation.
class TVirtualCell : public TTextValueCell {
  T_CLASS(TVirtualCell, TCell)

 public:
  explicit TVirtualCell(TCells* AOwner) : TTextValueCell(AOwner) {}
  void Bind(TVirtualCellValues* AColumn) { FColumn = AColumn; }
  TVirtualCellValues* Column() const { return FColumn; }

  WideString AsString() const override;
  void SetAsString(const WideString& Value) override;

 private:
  TVirtualCellValues* Values() const;
  TVirtualCellValues* FColumn = nullptr;
};

// A new cell of the class that a column kind calls for (notifications suppressed, as every cell
// starts).
TCell* CreateCellOfKind(TColumnKind Kind, TCells* AOwner);

// ---------------------------------------------------------------------------------------------
// TRow

// One row record. Rows are kept in the same order as the cells. The tree is told by ParentRow
// alone: a row's descendants are the rows whose chain of parents reaches it, wherever moves and
// sorts put them. The store keeps the tree fields (ChildCount, Level, ParentRow, Shown) true to
// that chain, and each record's list of its children, so that a tree is walked from its root
// whatever order the rows are in; Expanded and Visible are the caller's.
class TRow : public TObject {
  T_CLASS(TRow, TObject)

 public:
  explicit TRow(int AHeight) : Height(AHeight) {}

  int ChildCount = 0;        // direct child rows
  bool Expanded = true;      // children are shown
  int ParentIndex = -1;      // kept for reference; the parent is ParentRow
  int Level = 0;             // tree depth; a child row has its parent's level + 1
  TRow* ParentRow = nullptr;
  int Height;
  bool Selected = false;     // multi-selection flag
  bool Shown = true;         // False while a collapsed ancestor hides the row
  bool Visible = true;       // the row's own visibility

 private:
  friend class TCells;
  friend struct TRowPlacement;
  int FSlot = -1;            // where the store's row array holds the record
  // Rows whose chain of parents reaches this one, but for what the rows below it took in and did
  // not pass on yet (TCells::SettleDescendants).
  int FDescendants = 0;
  int FPending = 0;          // the change of this row's count not yet passed to its parent
  int FUnsettledSlot = -1;   // where the store's list of rows with a change to pass on holds it
  // The children, in no particular order: a list through the children's sibling links.
  TRow* FFirstChild = nullptr;
  TRow* FNextSibling = nullptr;
  TRow* FPrevSibling = nullptr;
};

// Row records learn where the store's row array holds them, so a record's position is found
// without a search.
struct TRowPlacement {
  static void Placed(TRow* Row, int Slot) { Row->FSlot = Slot; }
};

// ---------------------------------------------------------------------------------------------
// TCells

// The column-major store: entry c of the column table is the list of column c's cells in row
// order; Rows holds one record per row in the same order. Every index is checked: a bad one
// raises EListError "List index out of bounds (%d)" before anything changes.
//
// Cost: reading a cell or a row record, appending rows and deleting rows at either end take the
// same time however many rows there are; a row inserted or deleted inside moves the rows of the
// shorter side. The count of shown rows before a position and the position of the k-th shown row
// are answered by arithmetic while no row is hidden, and otherwise from an index of the shown
// rows, built when first asked and from then on kept up to date by every row operation in time
// logarithmic in the rows (a sort has it built again). Finding, collapsing, expanding or deleting
// a row's tree reads the rows of that tree, wherever they lie.
class TCells : public TObject {
  T_CLASS(TCells, TObject)

 public:
  using TCellList = TRowArray<TCell*>;

  // The column table has this many entries.
  static constexpr int MaxColumns = 1025;

  // The grid and its column list are not owned; either may be nullptr (the store then gives
  // cells the default settings and colours).
  TCells(TCellStoreGrid* AGrid, TCellStoreColumns* AColumns);
  ~TCells() override;

  // Returns the cell and records LastCol and LastRow (only for a valid cell).
  TCell* GetCell(int ACol, int ARow);
  TRow* GetRow(int ARow) const {
    ++FRowReads;
    return FRows.Items(ARow);
  }
  // Position of a row record, -1 when the store does not hold it (a record of this store's rows
  // or nullptr; the record tells where it is, so this reads one row).
  int IndexOfRow(TRow* ARow) const;
  // The position of the row's parent record, -1 for a top-level row. Reads two rows.
  int ParentIndexOf(int ARow) const;
  // The rows whose chain of parents reaches ARow. While a tree is kept together (the usual case)
  // they are the rows directly after ARow with a greater level.
  int DescendantCount(int ARow) const;
  // The rows whose parent is ARow (its ChildCount).
  int DirectChildCount(int ARow) const;
  // The descendants of ARow that follow it directly, up to the first row that is none: all of
  // them while its tree is kept together. Reads one row while every tree is kept together,
  // otherwise the rows of ARow's tree.
  int DescendantsFollowing(int ARow) const;
  // The positions of ARow and its descendants, ascending. Reads one row while every tree is kept
  // together, otherwise the rows of ARow's tree (found from ARow through the children's records,
  // wherever they lie).
  std::vector<int> TreePositions(int ARow) const;

  // Shown rows (visible and shown) among rows 0 .. ARow - 1 (ARow is clamped to 0 .. RowCount).
  int ShownRowsBefore(int ARow) const;
  // The shown row with K shown rows before it; -1 when K is outside 0 .. ShownRowCount - 1.
  int ShownRowAt(int K) const;
  // The row is visible and shown.
  bool IsRowShown(int ARow) const {
    TRow* R = GetRow(ARow);
    return R->Visible && R->Shown;
  }

  // Appends Count rows (nothing for Count < 1).
  void AddRows(int Count);
  // Inserts a row at ARow (0 .. RowCount).
  void InsertRow(int ARow);
  // Inserts a child row of AParent at APos (0 .. RowCount).
  void InsertChildRow(int AParent, int APos);
  // Deletes the row alone. Its children stay, as top-level rows shown unless they are not
  // visible (their own descendants keep them as parents and are shown as the tree above them
  // says).
  void DeleteRow(int ARow);
  // Deletes the row and every descendant in one operation and returns their positions as they
  // were, ascending. Costs what TreePositions costs, plus moving the rows on the cheaper side of
  // the deleted ones once.
  std::vector<int> DeleteRowTree(int ARow);
  void MoveRow(int AFrom, int ATo);
  void ExchangeRows(int A, int B);
  void ClearRows();
  // Store the flag when it differs and keep ShownRowCount: the rows that are both visible and
  // shown.
  void SetRowShown(int ARow, bool Value);
  void SetRowVisible(int ARow, bool Value);
  // Stores the row's Expanded flag and shows or hides its descendants: a row is shown when every
  // row on its chain of parents is expanded. Reads the rows of the tree whose shown state changes.
  // Returns the lowest position whose shown state changed, -1 when none did.
  int SetRowExpanded(int ARow, bool Value);

  // A column list for the last column of the column list (the one just added there).
  void AddColumn();
  // A column list at AIndex for column AIndex of the column list (just inserted there).
  void InsertColumn(int AIndex);
  void DeleteColumn(int AIndex);
  void MoveColumn(int AFrom, int ATo);
  // Frees every column and every row.
  void ClearColumns();
  // Replaces the cells of a column by new ones of the column's current kind.
  void RecreateColumn(int AIndex);
  // The grid's entry for column list changes; AKind modulo 128: 0 AddColumn, 1 DeleteColumn,
  // 2 ClearColumns, 3 InsertColumn, 4 MoveColumn(AIndex, AIndex2); other kinds do nothing.
  void ColumnsChanged(int AKind, int AIndex, int AIndex2);

  // Sorts the rows on column ACol. Right after a sort of the same column by the same type, a
  // change of direction alone (AFullResort False) reverses the rows without comparing (not for an
  // increment column, whose numbers stay with the row positions). Every sort but stCustom
  // computes each row's key once (the cell read through its own row), sorts the keys stably and
  // then moves the rows once: a cell that cannot give its value (EConvertError) stops it before
  // any row moved. A NaN counts above every number. The custom sort asks OnCompare; its
  // exceptions leave the rows exchanged so far. A virtual column (its values stay at their row
  // positions) and a custom sort of an increment column (its cells hold no values) raise
  // EInvalidOperation before anything changes.
  void Sort(int ACol, TSortType ASortType, TSortKind ASortKind, bool AFullResort);
  // Raises the EInvalidOperation of Sort when column ACol cannot be sorted by ASortType.
  void CheckSortable(int ACol, TSortType ASortType) const;

  int ColumnCount() const { return FColumnCount; }
  int RowCount() const { return FRowCount; }
  int LastCol() const { return FLastCol; }
  int LastRow() const { return FLastRow; }
  int DefaultRowHeight() const { return FDefaultRowHeight; }
  void SetDefaultRowHeight(int Value) { FDefaultRowHeight = Value; }
  bool SortedUnchanged() const { return FSortedUnchanged; }
  int LastSortColumn() const { return FLastSortColumn; }
  TSortType LastSortType() const { return FLastSortType; }
  TSortKind SortKind() const { return FSortKind; }
  int ShownRowCount() const { return FShownRowCount; }
  TCellStoreGrid* Grid() const { return FGrid; }
  TCellStoreColumns* Columns() const { return FColumns; }
  // Row records read so far (GetRow, the searches and the index builds): a measure of the work
  // an operation did, for tests that hold costs flat.
  std::uint64_t RowReads() const { return FRowReads; }
  // Row items (cells and records) moved in memory so far by the row operations: a measure of
  // their work, for tests that hold costs flat.
  std::uint64_t ItemsMoved() const;

  TCellChangeEvent OnChange;
  TCompareEvent OnCompare;

  // Raises OnChange(Self, LastCol, LastRow), then clears SortedUnchanged.
  virtual void DoChange();
  // Raises OnCompare.
  virtual void DoCompare(TCell* Cell1, TCell* Cell2, int& Compare);

 private:
  TCellList* ColumnList(int ACol) const;
  void CheckColumn(int ACol) const;
  void CheckRow(int ARow) const;
  void CheckRowPosition(int ARow) const;
  // A new cell for column ACol of the column list with the column's settings.
  TCell* NewCell(int ACol);
  TCellList* NewColumnList(int ACol);
  void FreeColumnList(int ACol);
  // Deletes the rows at the K positions of Sorted (ascending) with their cells, in one pass over
  // each list and one update of the shown-row index per run of adjacent positions; the tree
  // fields of the rows left are the caller's.
  void RemoveRows(const int* Sorted, int K);
  int PositionOf(const TRow* Row) const { return FRows.PositionOfSlot(Row->FSlot); }
  // The descendant counts of Row and of every row on its chain of parents change by Delta: those
  // of Row and of the CountedAtOnce - 1 rows above it at once, the others when a count is next
  // asked for. A change costs at most CountedAtOnce rows however deep the row lies; the rows
  // further up the chains are brought up to date together (SettleDescendants), each visited once
  // however many changes below it wait.
  void AddDescendants(TRow* Row, int Delta);
  void SettleDescendants() const;
  // Row's descendant count (up to date).
  int Descendants(TRow* Row) const;
  // Takes the row out of the list of rows with a change to pass on; the change is dropped.
  void ForgetUnsettled(TRow* Row) const;
  // The row and its descendants leave the tree of its parent (ParentRow stays).
  void LeaveParent(TRow* Row);
  // Puts Child into its ParentRow's list of children, or takes it out (ParentRow stays).
  static void LinkChild(TRow* Child);
  static void UnlinkChild(TRow* Child);
  // The row after Row in a walk over Root's descendants, parents before their children: Row's
  // first child (unless Skip, which passes over Row's own descendants), otherwise the next
  // sibling of Row or of the nearest row up its chain that has one; nullptr after the last.
  static TRow* NextInTree(const TRow* Root, TRow* Row, bool Skip = false);
  // Whether every tree is kept together is known by counting the rows that break the order of
  // a tree: a row with a parent whose row before is neither the parent nor one of its
  // descendants. No row breaks it exactly when every row's descendants follow it as one block.
  // The count changes only where rows meet anew, so each operation takes out what the rows it
  // touches counted before and adds what they count after.
  bool BreaksTree(int ARow) const;
  // Adds Sign for each of the N rows that breaks a tree (a row given twice counts once; the
  // rows are sorted in place).
  void CountBreaks(TRow** Rows, std::size_t N, int Sign);
  // Counts every row again (after a sort).
  void RecountBreaks();
  bool TreesKeptTogether() const { return FBreaks == 0; }
  // Deletes every row record (the cells are the caller's to free): the store has no rows.
  void FreeRowRecords();
  // Puts a new cell at ARow into every column list: into all of them, or, when a cell cannot be
  // made, into none.
  void InsertRowCells(int ARow);
  // Puts the row record and its cells at ARow, all or nothing; RowCount + 1.
  void InsertRowRecord(int ARow, std::unique_ptr<TRow> Row);
  void ExchangeRowItems(int A, int B);
  // The shown-row index forgotten after every row moved at once (a sort, the rows cleared), and
  // kept after a row's shown state changed by Delta.
  void RowsMoved();
  void ShownChanged(int ARow, int Delta);
  const TRowCountIndex& ShownIndex() const;
  // The custom sort: OnCompare orders the pivot and a cell.
  int CompareCustom(TCell* Pivot, TCell* Cell);
  int Partition(int Lo, int Hi, TCellList* Keys);
  void QuickSort(int Lo, int Hi, TCellList* Keys);
  // Every sort but the custom one: keys first, then one permutation of every list.
  void KeyedSort(int ACol, TSortType ASortType);
  void Permute(const std::vector<int>& Order);

  std::array<TCellList*, MaxColumns> FColumnLists{};
  int FColumnCount = 0;
  int FLastCol = 0;
  TCellStoreColumns* FColumns;
  TCellStoreGrid* FGrid;
  int FRowCount = 0;
  int FDefaultRowHeight = 16;
  int FLastRow = 0;
  TRowArray<TRow*, TRowPlacement> FRows;
  bool FSortedUnchanged = false;
  int FLastSortColumn = -1;
  TSortType FLastSortType = stAlphabetic;
  TSortKind FSortKind = skAscending;
  int FShownRowCount = 0;
  int FChildRows = 0;  // rows with a parent
  int FBreaks = 0;     // rows that break the order of a tree (BreaksTree)
  mutable TRowCountIndex FShownIndex;
  mutable std::uint64_t FRowReads = 0;
  // Rows whose descendant count changed since it was last passed up their chain.
  mutable std::vector<TRow*> FUnsettled;
  static constexpr int InSettling = -2;
  static constexpr int CountedAtOnce = 32;
  // Items moved by column lists that are gone.
  std::uint64_t FMovedBefore = 0;
};

// The bytes whose order (byte by byte, a shorter prefix first) is the order of stUnicodeAlphabetic
// of the texts: the platform's sort key of the user's default locale (the key of the same
// locale-aware comparison), or the code units, most significant byte first, where the platform
// compares code units.
std::string UnicodeSortKey(const WideString& Text);

// The four parts of a dotted address as the stIP sort compares them: digits are collected,
// every "." closes a part; other characters are skipped; a part without digits is 0; parts past
// the fourth are ignored; a part too large for 32 bits counts as the largest value.
std::array<std::uint32_t, 4> AddressParts(const WideString& Text);
