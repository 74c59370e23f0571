// Columns of the grid: what each column shows and how (width, position, visibility, sorting,
// colours and font, header and footer captions, the kind of its cells, its cell painter, its
// in-place editor and play element), and the grid's column list TNxColumns, which keeps display
// order, left edges and auto-sized widths and reports every change to the grid and, through the
// store interface TCellStoreColumns, to the cell store. Win32.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "framework/Components.h"
#include "framework/Graphics.h"
#include "grid/NxCells.h"
#include "grid/NxClasses.h"
#include "grid/NxEdit.h"

class TNxColumns;
class TNxCustomColumn;

enum TColumnOption {
  coAutoSize, coCanClick, coCanInput, coCanSort, coDisableMoving, coDontHighlight, coEditing,
  coEditorAutoSelect, coFixedSize, coImageForIcon, coPublicUsing, coFullResort, coSearchColumn,
  coShowTextFitHint, coTextForCaption
};
using TColumnOptions = TSet<TColumnOption>;

enum TDisplayMode { dmImageOnly, dmTextAndImage, dmTextOnly };
enum THeaderOrientation { hoHorizontal, hoVertical };
enum TFormulaKind { fkNone, fkAverage, fkCount, fkDistinct, fkMaximum, fkMinimum, fkSum, fkCustom };
enum TFormatMaskKind { mkText, mkFloat };
enum TSlideCatpionLocation { clLeft, clTop };
// The column's own slide options (the grid has a set of the same name for its slides).
enum TColumnSlideOption { soAutoSize };
using TColumnSlideOptions = TSet<TColumnSlideOption>;

// A cell's value as the grid reads it for painting and measuring: the member that the column's
// kind calls for is set (the grid's GetCellData fills it).
struct TCellValue {
  TColumnKind Kind = ckString;
  bool AsBoolean = false;
  TDateTime AsDateTime = 0;
  double AsFloat = 0;
  int AsInteger = 0;
  TObject* ObjectReference = nullptr;
  WideString AsString;
};

// What changed in a column, as the column list reports it to the grid (ColumnChanged).
inline constexpr int ccInputValue = 1;   // the input-line value
inline constexpr int ccMoved = 2;        // display position; Param = the old position
inline constexpr int ccKind = 3;         // the cell kind
inline constexpr int ccSlide = 4;        // slide bounds or caption
inline constexpr int ccSorted = 5;       // became the sorted column
inline constexpr int ccSortKind = 6;     // sort direction
inline constexpr int ccAppearance = 7;   // colour, font, alignment ...: repaint the whole column
inline constexpr int ccVisible = 8;      // shown or hidden
inline constexpr int ccHeader = 9;       // header or sort state (no longer sorted)
inline constexpr int ccResized = 10;     // width; Param = the change in pixels

// Kinds of the column list's structural notices (ColumnsChanged); the store takes the same kinds.
inline constexpr int cnAddColumn = 0;
inline constexpr int cnDeleteColumn = 1;
inline constexpr int cnClearColumns = 2;
inline constexpr int cnInsertColumn = 3;
inline constexpr int cnMoveColumn = 4;

// Kinds of the column list's after-change notice (ColumnNotify). After a column was added,
// inserted or deleted the notice carries that structural kind; a renamed column sends
// cnRenamed, after which the grid only repaints (its editor stays where it is).
inline constexpr int cnRenamed = 2;

// What a column class can do (GetColumnCapabilities, a set of these bits).
inline constexpr int cpPlayWithoutEditing = 1;  // its play element takes keys without coEditing
inline constexpr int cpEditor = 2;              // it has an editor of its own
inline constexpr int cpWantReturns = 4;         // Enter stays in its editor
inline constexpr int cpBestFit = 8;             // a double click on its resize grip best-fits it
inline constexpr int cpInput = 32;              // its input-line cell can be edited

// ---------------------------------------------------------------------------------------------
// Header, footer and slide bounds

class TColumnPart : public TPersistent {
  T_CLASS(TColumnPart, TPersistent)

 public:
  explicit TColumnPart(TNxCustomColumn* AColumn);
  ~TColumnPart() override;
  void Assign(TPersistent* Source) override;

  const WideString& Caption() const { return FCaption; }
  void SetCaption(const WideString& Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TDisplayMode DisplayMode() const { return FDisplayMode; }
  void SetDisplayMode(TDisplayMode Value);
  TDrawingOptions DrawingOptions() const { return FDrawingOptions; }
  void SetDrawingOptions(TDrawingOptions Value);
  TBitmap* Glyph() const { return FGlyph.get(); }
  void SetGlyph(TBitmap* Value);
  const WideString& Hint() const { return FHint; }
  void SetHint(const WideString& Value) { FHint = Value; }
  TNxCustomColumn* Column() const { return FColumn; }

  TNotifyEvent OnChange;

 protected:
  void Changed();
  // Tells the column to repaint this part.
  virtual void ColumnRefresh();

  TNxCustomColumn* FColumn;
  WideString FCaption;
  TColor FColor = clBtnFace;
  TDisplayMode FDisplayMode = dmTextOnly;
  TDrawingOptions FDrawingOptions = doNormal;
  std::unique_ptr<TBitmap> FGlyph;
  WideString FHint;
};

class TColumnHeader : public TColumnPart {
  T_CLASS(TColumnHeader, TColumnPart)

 public:
  explicit TColumnHeader(TNxCustomColumn* AColumn) : TColumnPart(AColumn) {}
  void Assign(TPersistent* Source) override;

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  bool HideArrow() const { return FHideArrow; }
  void SetHideArrow(bool Value);
  bool MultiLine() const { return FMultiLine; }
  void SetMultiLine(bool Value);
  THeaderOrientation Orientation() const { return FOrientation; }
  void SetOrientation(THeaderOrientation Value);

 private:
  TAlignment FAlignment = taLeftJustify;
  bool FHideArrow = true;
  bool FMultiLine = false;
  THeaderOrientation FOrientation = hoHorizontal;
};

class TColumnFooter : public TColumnPart {
  T_CLASS(TColumnFooter, TColumnPart)

 public:
  explicit TColumnFooter(TNxCustomColumn* AColumn) : TColumnPart(AColumn) { FColor = clWindow; }
  void Assign(TPersistent* Source) override;

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value) { FAlignment = Value; }
  TFormulaKind FormulaKind() const { return FFormulaKind; }
  void SetFormulaKind(TFormulaKind Value);
  const AnsiString& FormatMask() const { return FFormatMask; }
  void SetFormatMask(const AnsiString& Value);
  TFormatMaskKind FormatMaskKind() const { return FFormatMaskKind; }
  void SetFormatMaskKind(TFormatMaskKind Value);
  const WideString& TextAfter() const { return FTextAfter; }
  void SetTextAfter(const WideString& Value);
  const WideString& TextBefore() const { return FTextBefore; }
  void SetTextBefore(const WideString& Value);
  // The value computed by the grid's footer formulas.
  double FormulaValue() const { return FFormulaValue; }
  void SetFormulaValue(double Value) { FFormulaValue = Value; }

 private:
  TAlignment FAlignment = taLeftJustify;
  TFormulaKind FFormulaKind = fkNone;
  AnsiString FFormatMask;
  TFormatMaskKind FFormatMaskKind = mkText;
  WideString FTextAfter;
  WideString FTextBefore;
  double FFormulaValue = 0;
};

class TNxSlideBounds : public TPersistent {
  T_CLASS(TNxSlideBounds, TPersistent)

 public:
  explicit TNxSlideBounds(TNxCustomColumn* AColumn) : FColumn(AColumn) {}
  int Left() const { return FLeft; }
  void SetLeft(int Value);
  int Top() const { return FTop; }
  void SetTop(int Value);
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  int Height() const { return FHeight; }
  void SetHeight(int Value);

 private:
  TNxCustomColumn* FColumn;
  int FLeft = 8;
  int FTop = 8;
  int FWidth = 80;
  int FHeight = 16;
};

// ---------------------------------------------------------------------------------------------
// Cell elements: the painter and the play element of a column

// What a column's cell elements share: the column, and the canvas and rectangle of the cell they
// work on (set by the grid before each use).
class TVirtualColElement : public TPersistent {
  T_CLASS(TVirtualColElement, TPersistent)

 public:
  explicit TVirtualColElement(TNxCustomColumn* AColumn) : FColumn(AColumn) {}

  TNxCustomColumn* Column() const { return FColumn; }
  TCanvas* Canvas = nullptr;
  HWND Handle = nullptr;
  TRect ClientRect;

 protected:
  TNxCustomColumn* FColumn;
};

// The cell painter of a column: the grid prepares it for one cell (canvas, rectangle, state and
// the cell's value) and asks it to fill the background and paint the content.
class TColumnDisplay : public TVirtualColElement {
  T_CLASS(TColumnDisplay, TVirtualColElement)

 public:
  explicit TColumnDisplay(TNxCustomColumn* AColumn) : TVirtualColElement(AColumn) {}

  TBiDiMode BiDiMode = bdLeftToRight;
  int ParentRow = -1;
  TColor HighlightedTextColor = clHighlightText;
  // The cell paints with the selection colours / is the selected cell itself.
  bool Selected = false;
  bool SelectedCell = false;
  // The value of the cell being painted (filled by the grid).
  TCellValue Value;

  // Fills the cell rectangle with Color.
  virtual void PaintBackground(TColor Color);
  // Paints the cell's content (the base paints nothing).
  virtual void Paint() {}
  // The small red triangle of a cell with a hint, in the top right corner.
  virtual void PaintHintMark();
  // The width of the text as painted (without ellipsis).
  virtual int GetTextWidth(const WideString& Text);
  // The height the text needs within the cell's width.
  virtual int GetTextHeight(const WideString& Text);
  // The DT_ flags the column's alignment and wrapping give (without DT_CALCRECT).
  UINT TextFlags(bool Measuring) const;

 protected:
  // Draws text in Rect with the column's alignment and wrapping (DT_ flags), clear background:
  // DrawTextExW on the NT family, DrawTextExA with the text in the system code page otherwise.
  void DrawTextRect(const WideString& Text, TRect Rect, bool Measuring = false);
  // The content rectangle: the cell rectangle narrowed by 2 pixels at each side.
  TRect ContentRect() const;
};

// An interactive element inside a cell (a check box, a button ...): the grid hands it the cell it
// acts on, the mouse and the keys. Its operations do nothing here; the column classes of the
// grid make none.
class TColumnPlay : public TVirtualColElement {
  T_CLASS(TColumnPlay, TVirtualColElement)

 public:
  explicit TColumnPlay(TNxCustomColumn* AColumn) : TVirtualColElement(AColumn) {}

  // The cell it acts on.
  int Col = -1;
  int Row = -1;
  TCell* Cell = nullptr;
  TFont* Font = nullptr;
  // The value it shows and changes (filled by the grid from the cell).
  TCellValue Value;

  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {}
  virtual void MouseMove(TShiftState Shift, int X, int Y) {}
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {}
  virtual void MouseLeave() {}
  virtual void KeyPress(wchar_t& Key) {}
  virtual void Paint() {}

  // The grid's handlers: asked before the element changes its value (Accept may refuse), told
  // after it changed it.
  std::function<void(TColumnPlay* Sender, bool& Accept)> OnBeforeChange;
  std::function<void(TColumnPlay* Sender)> OnChange;
};

// ---------------------------------------------------------------------------------------------
// TNxCustomColumn

class TNxCustomColumn : public TComponent {
  T_CLASS(TNxCustomColumn, TComponent)
  friend class TNxColumns;

 public:
  explicit TNxCustomColumn(TComponent* AOwner);
  ~TNxCustomColumn() override;

  void Assign(TPersistent* Source) override;
  // Forgets an InplaceEdit or own editor that is destroyed.
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Renaming tells the grid (after-change notice cnRenamed).
  void SetName(const AnsiString& NewName) override;

  // The column list holding the column (nullptr when none).
  TNxColumns* Columns() const { return FColumns; }
  // Called by the column list when it takes the column in or lets it go.
  virtual void SetColumns(TNxColumns* Value);
  // Index in creation order, -1 outside a list.
  int Index() const;
  // Left edge in body coordinates (before horizontal scrolling), set by the list's layout.
  int Left() const { return FLeft; }
  // Position among the visible columns, -1 when hidden.
  int VisibleIndex() const { return FVisibleIndex; }
  TColumnKind ColumnKind() const { return FColumnKind; }
  // Changes the kind of the cells (the grid re-creates the column's cells).
  virtual void SetColumnKind(TColumnKind Value);
  TColumnDisplay* Display() const { return FDisplay.get(); }
  // The column's cell play element (nullptr: the class has none).
  TColumnPlay* Play() const { return FPlay.get(); }
  // The editor the column made from its editor class (hidden until the grid shows it; nullptr
  // when the class has none). The column owns it.
  TNxCustomEdit* Editor() const { return FEditor; }
  // The editor the grid uses for the column: InplaceEdit when one is assigned, else Editor().
  TNxCustomEdit* ActiveEditor() const { return FInplaceEdit != nullptr ? FInplaceEdit : FEditor; }
  // Set while the column's input-line cell is being edited.
  bool InputEditing() const { return FInputEditing; }
  void SetInputEditing(bool Value) { FInputEditing = Value; }

  // --- published properties
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  bool AutoEdit() const { return FAutoEdit; }
  void SetAutoEdit(bool Value) { FAutoEdit = Value; }
  TBiDiMode BiDiMode() const { return FBiDiMode; }
  void SetBiDiMode(TBiDiMode Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  int Cursor() const { return FCursor; }
  void SetCursor(int Value) { FCursor = Value; }
  const WideString& DefaultValue() const { return FDefaultValue; }
  void SetDefaultValue(const WideString& Value) { FDefaultValue = Value; }
  int DefaultWidth() const { return FDefaultWidth; }
  void SetDefaultWidth(int Value) { FDefaultWidth = Value; }
  TDrawingOptions DrawingOptions() const { return FDrawingOptions; }
  void SetDrawingOptions(TDrawingOptions Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  TFont* Font() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  bool ParentFont() const { return FParentFont; }
  // True takes the grid's font now and whenever it changes.
  void SetParentFont(bool Value);
  TColumnFooter* Footer() const { return FFooter.get(); }
  TColumnHeader* Header() const { return FHeader.get(); }
  // An editor of the user's that the grid uses in place of the column's own; forgotten when that
  // component is destroyed.
  TNxCustomEdit* InplaceEdit() const { return FInplaceEdit; }
  void SetInplaceEdit(TNxCustomEdit* Value);
  const WideString& InputCaption() const { return FInputCaption; }
  void SetInputCaption(const WideString& Value) { FInputCaption = Value; }
  const WideString& InputValue() const { return FInputValue; }
  void SetInputValue(const WideString& Value);
  int MinWidth() const { return FMinWidth; }
  // Not below 0; a Width below it grows to it.
  void SetMinWidth(int Value);
  TObject* ObjectReference() const { return FObjectReference; }
  void SetObjectReference(TObject* Value) { FObjectReference = Value; }
  TColumnOptions Options() const { return FOptions; }
  void SetOptions(TColumnOptions Value);
  int Padding() const { return FPadding; }
  void SetPadding(int Value);
  bool ParentCellColor() const { return FParentCellColor; }
  void SetParentCellColor(bool Value);
  int Position() const { return FPosition; }
  void SetPosition(int Value);
  TAnchors SlideAnchors() const { return FSlideAnchors; }
  void SetSlideAnchors(TAnchors Value) { FSlideAnchors = Value; }
  TNxSlideBounds* SlideBounds() const { return FSlideBounds.get(); }
  const WideString& SlideCaption() const { return FSlideCaption; }
  void SetSlideCaption(const WideString& Value);
  TSlideCatpionLocation SlideCaptionLocation() const { return FSlideCaptionLocation; }
  void SetSlideCaptionLocation(TSlideCatpionLocation Value);
  TColumnSlideOptions SlideOptions() const { return FSlideOptions; }
  void SetSlideOptions(TColumnSlideOptions Value) { FSlideOptions = Value; }
  bool Sorted() const { return FSorted; }
  // True clears Sorted on every other column first.
  void SetSorted(bool Value);
  TSortKind SortKind() const { return FSortKind; }
  void SetSortKind(TSortKind Value);
  TSortType SortType() const { return FSortType; }
  void SetSortType(TSortType Value) { FSortType = Value; }
  const AnsiString& StyleClass() const { return FStyleClass; }
  void SetStyleClass(const AnsiString& Value) { FStyleClass = Value; }
  TVerticalAlignment VerticalAlignment() const { return FVerticalAlignment; }
  void SetVerticalAlignment(TVerticalAlignment Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  int Width() const { return FWidth; }
  // Not below MinWidth; reports the change in pixels to the grid.
  void SetWidth(int Value);
  TWrapKind WrapKind() const { return FWrapKind; }
  void SetWrapKind(TWrapKind Value);

  // --- operations the grid uses
  // What the column class can do: a set of the cp... bits (0 here).
  virtual int GetColumnCapabilities() const { return 0; }
  // The text shown for a cell value.
  virtual WideString GetDisplayText(const TCellValue& Value);
  // The value's own text, without the column's decoration.
  virtual WideString GetValueText(const TCellValue& Value);
  // The text the input line shows for InputValue (the column's display text of it).
  virtual WideString GetInputDisplayText();
  // The width a column needs for Text on the painter's canvas (Canvas when given): text width
  // + 6, at least 8.
  virtual int GetBestFitWidth(TCanvas* Canvas, const WideString& Text);
  // Enter stays in the cell's editor.
  virtual bool WantReturns() const { return false; }
  // A typed character opens the editor.
  virtual bool KeyStartsEditing(wchar_t Key) const { return false; }
  // Prepares the column's own editor before the grid shows it: flagged as a grid editor, the
  // column's Alignment, no border (BorderStyle bsNone, BorderWidth 0), left text margin 1.
  virtual void PrepareEditor(TNxCustomEdit* Editor);
  // After the grid showed the editor with its text (nothing here).
  virtual void EditorShown(TNxCustomEdit* Editor) {}
  // The text the grid took from the editor, before it is written anywhere (nothing here).
  virtual void EditorTextTaken(WideString& Text) {}
  // Reports a change of the given kind to the grid (through the column list).
  void Changed(int Kind, int Param = 0);

 protected:
  // The cell painter of the column class.
  virtual std::unique_ptr<TColumnDisplay> CreateDisplay();
  // The editor of the column class, owned by the column (nullptr: none).
  virtual TNxCustomEdit* CreateEditor() { return nullptr; }
  // The play element of the column class (nullptr: none).
  virtual std::unique_ptr<TColumnPlay> CreatePlay() { return nullptr; }
  // Finishes construction: the painter, the editor (hidden) and the play element of the class;
  // the kind is set last (8).
  void InitColumn();
  // The column or its grid is being read from a stored description.
  bool IsReading() const;

  TColumnOptions FOptions{coCanClick, coCanInput, coCanSort, coPublicUsing};

 private:
  void FontChanged(TObject* Sender);
  // Takes the grid's font. Notify reports the change to the grid, which gives the column's cells
  // the new font; a column that is just being added has no cells yet and reports nothing.
  void TakeParentFont(bool Notify = true);

  TNxColumns* FColumns = nullptr;
  int FLeft = 0;
  int FVisibleIndex = -1;
  TColumnKind FColumnKind = ckString;
  std::unique_ptr<TColumnDisplay> FDisplay;
  std::unique_ptr<TColumnPlay> FPlay;
  TNxCustomEdit* FEditor = nullptr;       // owned component
  TNxCustomEdit* FInplaceEdit = nullptr;  // the user's
  bool FInputEditing = false;

  TAlignment FAlignment = taLeftJustify;
  bool FAutoEdit = false;
  TBiDiMode FBiDiMode = bdLeftToRight;
  TColor FColor = clWindow;
  int FCursor = 0;
  WideString FDefaultValue;
  int FDefaultWidth = 80;
  TDrawingOptions FDrawingOptions = doNormal;
  bool FEnabled = true;
  std::unique_ptr<TFont> FFont;
  bool FParentFont = true;
  bool FSettingFont = false;
  std::unique_ptr<TColumnFooter> FFooter;
  std::unique_ptr<TColumnHeader> FHeader;
  WideString FInputCaption;
  WideString FInputValue;
  int FMinWidth = 8;
  TObject* FObjectReference = nullptr;
  int FPadding = 0;
  bool FParentCellColor = false;
  int FPosition = -1;
  TAnchors FSlideAnchors{akLeft, akTop};
  std::unique_ptr<TNxSlideBounds> FSlideBounds;
  WideString FSlideCaption;
  TSlideCatpionLocation FSlideCaptionLocation = clTop;
  TColumnSlideOptions FSlideOptions;
  bool FSorted = false;
  TSortKind FSortKind = skAscending;
  TSortType FSortType = stAlphabetic;
  AnsiString FStyleClass;
  TVerticalAlignment FVerticalAlignment = taVerticalCenter;
  bool FVisible = true;
  int FWidth = 80;
  TWrapKind FWrapKind = wkEllipsis;
};

// ---------------------------------------------------------------------------------------------
// TNxColumns

// The column list of a grid. Columns are components owned by their form (or whoever created
// them); the list only collects them. A column that is destroyed leaves the list; a list that is
// destroyed lets its columns go.
class TNxColumns : public TComponent, public TCellStoreColumns {
  T_CLASS(TNxColumns, TComponent)

 public:
  // Grid-side handlers of the list's notices.
  using TColumnChangedEvent = std::function<void(TNxCustomColumn* Column, int Param, int Kind)>;
  using TColumnNotifyEvent = std::function<void(int Kind)>;
  using TColumnsChangedEvent = std::function<void(int Kind, int Index, int Index2)>;
  using TColumnsChangingEvent = std::function<void(int Kind, int Index)>;

  // AGrid is the grid control the columns belong to (it owns the list).
  explicit TNxColumns(TComponent* AGrid);
  ~TNxColumns() override;

  int Count() const { return static_cast<int>(FItems.size()); }
  // The column at Index in creation order; EListError for a bad index.
  TNxCustomColumn* Item(int Index) const;
  // The column at display position Position; EListError for a bad position.
  TNxCustomColumn* ItemByPosition(int Position) const;
  TNxCustomColumn* LastAdded() const { return FLastAdded; }
  bool IsValidIndex(int Index) const { return Index >= 0 && Index < Count(); }
  int IndexOf(const TNxCustomColumn* Column) const;

  // Takes a column in (appended in both orders). EListError when the grid holds the most
  // columns a grid can (1025) or the column is in a list already.
  void Add(TNxCustomColumn* Column);
  // Makes a column of class T owned by Owner and adds it.
  template <class T>
  T* AddColumn(TComponent* Owner) {
    auto* C = new T(Owner);
    try {
      Add(C);
    } catch (...) {
      delete C;
      throw;
    }
    return C;
  }
  // Insert, Remove, Delete and Clear finish their change also when a handler of the grid's
  // notices raises: the list and the grid's cells agree, and the first error is raised after.
  // Inserts a column at Index (creation order) and at the same display position.
  void Insert(int Index, TNxCustomColumn* Column);
  // Takes a column out of the list (the column itself stays).
  void Remove(TNxCustomColumn* Column);
  // Takes the column just inserted at Index out again, without a notice, when the grid cannot
  // hold it (its store ran out of memory): the list is as it was before the insert.
  void Withdraw(int Index);
  // Deletes the column at Index (frees it).
  void Delete(int Index);
  // Deletes every column.
  void Clear();
  // Moves a column in display order from position FromPos to ToPos.
  void MovePosition(int FromPos, int ToPos);

  // Left edges and visible indexes (display order, from StartX); Position renumbered on request.
  void Layout(bool Renumber = false);
  // The left edge of the first column (the body's left edge).
  int StartX() const { return FStartX; }
  void SetStartX(int Value);

  int FixedCols() const { return FFixedCols; }
  // Counts the sorts the grid has carried out: a column whose sort took place keeps its new
  // direction also when a handler raises after it.
  void SortDone() { ++FSortsDone; }
  unsigned SortsDone() const { return FSortsDone; }
  void SetFixedCols(int Value);
  // Sum of the widths of the visible columns among the first FixedCols positions.
  int FixedWidth() const;
  int VisibleCount() const;
  int TotalWidth() const;
  // First / last visible and enabled column in display order; next / previous one after or
  // before a column; nullptr when there is none.
  TNxCustomColumn* First() const;
  TNxCustomColumn* Last() const;
  TNxCustomColumn* Next(TNxCustomColumn* Column) const;
  TNxCustomColumn* Previous(TNxCustomColumn* Column) const;
  // The last visible column in display order, enabled or not (the one the grid shows rightmost).
  TNxCustomColumn* LastVisible() const;

  // Gives the columns with coAutoSize the free width of BodyWidth, starting with Column (or
  // behind it, or from the first position without a column).
  void AutoSizeColumns(int BodyWidth, TNxCustomColumn* Column = nullptr, bool Behind = false);
  // The grid's width changed by Delta in slides style: each column anchored right moves its
  // slide field right by Delta, or widens it by Delta when it is anchored left too.
  void AdjustSlides(int Delta);
  // Set by the grid: the body width that auto-sizing shares (client width less the indicator).
  std::function<int()> BodyWidth;

  TComponent* Grid() const { return FGrid; }
  // The grid is being read from its stored description or destroyed: no re-layout.
  bool Updating() const;
  // A change of the list runs (its notices run the grid's handlers, which may free the grid that
  // owns the list).
  bool Busy() const { return FBusy > 0; }
  // The grid went while a change of the list runs: the list forgets the grid, ends the change
  // without a notice and frees itself once the change is over (the columns left belong to no
  // list then).
  void Orphan();

  TColumnChangedEvent OnColumnChanged;
  TColumnNotifyEvent OnColumnNotify;
  TColumnsChangedEvent OnColumnsChanged;
  // Before a column is inserted in front of others or taken out (Kind cnInsertColumn or
  // cnDeleteColumn, at Index): the grid ends an edit while its indexes still hold.
  TColumnsChangingEvent OnColumnsChanging;

  // TCellStoreColumns
  int ColumnCount() const override { return Count(); }
  TColumnKind ColumnKind(int Index) const override { return Item(Index)->ColumnKind(); }
  TFontStyles ColumnFontStyle(int Index) const override { return Item(Index)->Font()->Style(); }
  TColor ColumnFontColor(int Index) const override { return Item(Index)->Font()->Color(); }
  TColor ColumnColor(int Index) const override { return Item(Index)->Color(); }
  TVirtualCellValues* ColumnValues(int Index) const override;

 private:
  unsigned FSortsDone = 0;
  friend class TNxCustomColumn;
  void ColumnChanged(TNxCustomColumn* Column, int Param, int Kind);
  void Notify(int Kind);
  void StructureChanged(int Kind, int Index, int Index2);
  // Takes the column out and tells the grid; what a handler raised is kept in Error (the first
  // one). False when the column was not (or no longer) in the list.
  bool TakeOut(TNxCustomColumn* Column, std::exception_ptr& Error);
  // Takes the column out and frees it (unless a handler freed it meanwhile).
  void Free(TNxCustomColumn* Column, std::exception_ptr& Error);
  void Renumber();
  // After a change of column widths or visibility: auto-size and lay out again.
  void Relayout(TNxCustomColumn* From, bool Behind);

  // Holds the list while a change of it runs (one that the grid's end orphaned goes after).
  struct TBusy {
    explicit TBusy(TNxColumns* AList) : List(AList) { ++List->FBusy; }
    ~TBusy() {
      if (--List->FBusy == 0 && List->FOrphaned) delete List;
    }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;
    TNxColumns* List;
  };
  int FBusy = 0;
  bool FOrphaned = false;
  TComponent* FGrid;
  std::vector<TNxCustomColumn*> FItems;     // creation order
  std::vector<TNxCustomColumn*> FDisplay;   // display order
  TNxCustomColumn* FLastAdded = nullptr;
  // The last added column before the latest insert (Withdraw gives it back).
  TNxCustomColumn* FLastAddedBefore = nullptr;
  int FFixedCols = 0;
  int FStartX = 0;
  bool FAutoSizing = false;
};
