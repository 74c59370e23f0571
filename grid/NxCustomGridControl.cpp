#include "grid/NxCustomGridControl.h"

#include <algorithm>
#include <exception>

#include "framework/Forms.h"
#include "framework/Strings.h"
#include "grid/NxDisplays.h"
#include "grid/NxThemeSupport.h"

// The engine's construction, settings, row and column notices and event dispatchers. Selection
// and keyboard navigation, in-place editing, geometry with refresh and scrolling, and painting
// live in NxCustomGridControlSelection, -Editing, -Geometry and -Paint.

// ---------------------------------------------------------------------------------------------
// Construction

TNxCustomGridControl::TNxCustomGridControl(TComponent* AOwner) : TNxScrollControl(AOwner) {
  FColumns = std::make_unique<TNxColumns>(this);
  FColumns->OnColumnChanged = [this](TNxCustomColumn* C, int Param, int Kind) { ColumnChanged(C, Param, Kind); };
  FColumns->OnColumnNotify = [this](int Kind) { ColumnNotify(Kind); };
  FColumns->OnColumnsChanged = [this](int Kind, int Index, int Index2) { ColumnsChanged(Kind, Index, Index2); };
  FColumns->OnColumnsChanging = [this](int Kind, int Index) { ColumnsChanging(Kind, Index); };
  FColumns->BodyWidth = [this] { return GetColumnsAreaWidth(); };
  // One style display per header style, in THeaderStyle order, all painting on the grid's canvas.
  FStyleDisplays = {std::make_unique<TDefaultStyleDisplay>(this), std::make_unique<TFlatStyleDisplay>(this),
                    std::make_unique<TOffice2007StyleDisplay>(this), std::make_unique<TOffice2010StyleDisplay>(this),
                    std::make_unique<TOldStyleDisplay>(this),        std::make_unique<TOutlookStyleDisplay>(this),
                    std::make_unique<TVistaStyleDisplay>(this)};
  for (auto& D : FStyleDisplays) {
    D->Canvas = Canvas();
    D->OnCustomDrawHeader = [this](TObject*, int Index, TRect R) { DoCustomDrawHeader(Index, R); };
    D->OnCustomDrawFooter = [this](TObject*, int Index, TRect R) { DoCustomDrawFooter(Index, R); };
  }
  FColor = clWindow;
  FParentColor = false;
  SetBounds(Left(), Top(), 250, 150);
  SetTabStop(true);
  UpdateLineWidths();
}

TNxCustomGridControl::~TNxCustomGridControl() {
  // Freed by a handler inside an operation: the error another handler raised before cannot reach
  // the operation's caller any more.
  for (TOperationLife* L = FOperationLives; L != nullptr; L = L->Outer) L->Freed = true;
  if (FHandlerError && Application != nullptr) Application->HandleException(this, FHandlerError);
  DetachEditor();
  FColumns->OnColumnChanged = nullptr;
  FColumns->OnColumnNotify = nullptr;
  FColumns->OnColumnsChanged = nullptr;
  FColumns->OnColumnsChanging = nullptr;
  FColumns->BodyWidth = nullptr;
  // Freed by a handler while a change of the column list runs: the list ends that change and
  // goes after it.
  if (FColumns->Busy()) {
    FColumns->Orphan();
    FColumns.release();
  }
  CloseThemeHandle();
}

void TNxCustomGridControl::GetChildren(const std::function<void(TComponent*)>& Proc) {
  for (int I = 0; I < FColumns->Count(); ++I) Proc(FColumns->Item(I));
}

void TNxCustomGridControl::CreateParams(TCreateParams& Params) {
  TNxScrollControl::CreateParams(Params);
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_STATICEDGE;
  Params.WindowClass.style &= ~static_cast<UINT>(CS_HREDRAW | CS_VREDRAW);
}

void TNxCustomGridControl::CreateWnd() {
  TNxScrollControl::CreateWnd();
  OpenThemeHandle();
  UpdateColumnsLayout();
  UpdateHorzScrollBar();
  UpdateVertScrollBar();
}

void TNxCustomGridControl::DestroyWnd() {
  CloseThemeHandle();
  TNxScrollControl::DestroyWnd();
}

void TNxCustomGridControl::OpenThemeHandle() {
  CloseThemeHandle();
  if (HandleAllocated() && IsThemed()) FThemeHandle = NxOpenThemeData(Handle(), L"header");
}

void TNxCustomGridControl::CloseThemeHandle() {
  if (FThemeHandle != nullptr) NxCloseThemeData(static_cast<HTHEME>(FThemeHandle));
  FThemeHandle = nullptr;
}

bool TNxCustomGridControl::IsThemedChrome() { return FEnableVisualStyles && IsThemed(); }

void TNxCustomGridControl::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case WM_THEMECHANGED:
      TNxScrollControl::Dispatch(M);
      OpenThemeHandle();
      InvalidateGrid();
      return;
    case WM_NCPAINT:
      TNxScrollControl::Dispatch(M);
      PaintBorder();
      return;
    default:
      TNxScrollControl::Dispatch(M);
  }
}

void TNxCustomGridControl::CMTextChanged(TMessage& M) {
  TNxScrollControl::CMTextChanged(M);
  // The caption of an empty grid is centred between the body's left edge and the client's
  // right edge, which may lie right of the columns.
  const TRect B = GetBodyRect();
  RefreshRect(Rect(B.Left, B.Top, ClientWidth(), B.Bottom));
}

void TNxCustomGridControl::CMFontChanged(TMessage& M) {
  TNxScrollControl::CMFontChanged(M);
  for (int I = 0; I < FColumns->Count(); ++I)
    if (FColumns->Item(I)->ParentFont()) FColumns->Item(I)->SetParentFont(true);
  InvalidateGrid();
}

void TNxCustomGridControl::CMEnter(TMessage& M) {
  TNxScrollControl::CMEnter(M);
  RefreshPart(gaIndicator);
}

void TNxCustomGridControl::CMExit(TMessage& M) {
  // Leaving the grid with an editor open keeps what was typed (not when the edit is being ended
  // already and its end moved the focus).
  if (!EditEnding()) CommitEditing();
  TNxScrollControl::CMExit(M);
}

void TNxCustomGridControl::CMControlListChange(TMessage& M) {
  TNxScrollControl::CMControlListChange(M);
  // The editor leaves the grid (it is destroyed, or put elsewhere) while attached: the edit
  // state ends with it.
  if (M.LParam == 0 && FInplaceEditor != nullptr &&
      reinterpret_cast<TControl*>(M.WParam) == static_cast<TControl*>(FInplaceEditor))
    AbandonEditing();
}

// ---------------------------------------------------------------------------------------------
// Properties

void TNxCustomGridControl::UpdateLineWidths() {
  FLeftLine = FTopLine = FRightLine = FBottomLine = 0;
  if (!FOptions.Contains(goGrid)) return;
  const bool ThreeD = FAppearanceOptions.Contains(ao3DGridLines);
  if (FGridLinesStyle != lsHorizontalOnly && FGridLinesStyle != lsActiveHorzOnly) {
    FRightLine = 1;
    if (ThreeD) FLeftLine = 1;
  }
  if (FGridLinesStyle != lsVerticalOnly) {
    FBottomLine = 1;
    if (ThreeD) FTopLine = 1;
  }
}

void TNxCustomGridControl::UpdateColumnsLayout() {
  FColumns->SetStartX(FGridStyle == gsReport ? GetIndicatorWidth() : 0);
  if (!ComponentState().Contains(csLoading)) FColumns->AutoSizeColumns(GetColumnsAreaWidth());
  FColumns->Layout();
}

void TNxCustomGridControl::Relayout() {
  UpdateColumnsLayout();
  InvalidateGrid();
  PlaceEditor();
  UpdateHorzScrollBar();
  UpdateVertScrollBar();
}

void TNxCustomGridControl::SetAppearanceOptions(TAppearanceOptions Value) {
  FAppearanceOptions = Value;
  UpdateLineWidths();
  InvalidateGrid();
  // The grid-line widths take part in the row pitch and in an editor's place.
  UpdateVertScrollBar();
  PlaceEditor();
  if (HandleAllocated())
    RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
}

void TNxCustomGridControl::SetBorderStyle(TBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  if (HandleAllocated()) RecreateWnd();
}

void TNxCustomGridControl::SetEnableVisualStyles(bool Value) {
  FEnableVisualStyles = Value;
  InvalidateGrid();
  if (HandleAllocated())
    RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
}

void TNxCustomGridControl::SetFixedCols(int Value) {
  FColumns->SetFixedCols(Value);
  InvalidateGrid();
  // Fixed columns do not scroll: a column's place on the screen may change.
  PlaceEditor();
}

void TNxCustomGridControl::SetFooterSize(int Value) {
  if (Value < 0) return;
  FFooterSize = Value;
  InvalidateGrid();
  UpdateVertScrollBar();
}

void TNxCustomGridControl::SetGridLinesColor(TColor Value) {
  FGridLinesColor = Value;
  InvalidateGrid();
}

void TNxCustomGridControl::SetGridLinesStyle(TGridLinesStyle Value) {
  FGridLinesStyle = Value;
  UpdateLineWidths();
  InvalidateGrid();
  UpdateVertScrollBar();
  PlaceEditor();
}

void TNxCustomGridControl::SetGridStyle(TGridStyle Value) {
  if (Value == FGridStyle) return;
  GridStyleChanged();
  if (Value == gsSlides) {
    EndEditing();
    SetInputSelected(false);
  }
  FGridStyle = Value;
  Relayout();
}

void TNxCustomGridControl::SetHeaderSize(int Value) {
  if (Value < 0) return;
  FHeaderSize = Value;
  InvalidateGrid();
  PlaceEditor();
  UpdateVertScrollBar();
}

void TNxCustomGridControl::SetHeaderStyle(THeaderStyle Value) {
  if (Value == FHeaderStyle) return;
  FHeaderStyle = Value;
  StyleDisplayChanged();
  InvalidateGrid();
  if (HandleAllocated())
    RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
}

void TNxCustomGridControl::SetHideScrollBar(bool Value) {
  FHideScrollBar = Value;
  VertScrollBar()->SetAutoHide(Value);
}

void TNxCustomGridControl::SetHighlightedTextColor(TColor Value) {
  FHighlightedTextColor = Value;
  UpdateSelectionDisplay();
}

void TNxCustomGridControl::SetInactiveSelectionColor(TColor Value) {
  FInactiveSelectionColor = Value;
  InvalidateGrid();
}

void TNxCustomGridControl::SetIndicatorDrawingOptions(TDrawingOptions Value) {
  FIndicatorDrawingOptions = Value;
  RefreshPart(gaIndicator);
}

void TNxCustomGridControl::SetInputSize(int Value) {
  if (Value < 0) return;
  FInputSize = Value;
  InvalidateGrid();
  PlaceEditor();
  UpdateVertScrollBar();
}

void TNxCustomGridControl::SetOptions(TGridOptions Value) {
  const bool IndicatorChanged = Value.Contains(goIndicator) != FOptions.Contains(goIndicator);
  if (IndicatorChanged && OnIndicatorChange) OnIndicatorChange(this);
  FOptions = Value;
  // An input line that is switched off cannot hold the selection.
  if (!FOptions.Contains(goInput) && FInputSelected) SetInputSelected(false);
  UpdateLineWidths();
  Relayout();
}

void TNxCustomGridControl::SetRowSize(int Value) {
  if (Value < 1) return;
  FRowSize = Value;
  RefreshPart(gaBody);
  RefreshPart(gaInput);
  RefreshPart(gaIndicator);
  PlaceEditor();
  UpdateVertScrollBar();
}

void TNxCustomGridControl::SetSlidesOptions(TSlideOptions Value) {
  FSlidesOptions = Value;
  InvalidateGrid();
}

void TNxCustomGridControl::SetSlideSelectionColor(TColor Value) {
  FSlideSelectionColor = Value;
  InvalidateGrid();
}

void TNxCustomGridControl::SetSlideSize(int Value) {
  if (Value < 1) return;
  FSlideSize = Value;
  UpdateVertScrollBar();
  InvalidateGrid();
}

void TNxCustomGridControl::SetSortedStyle(TSortedStyle Value) {
  FSortedStyle = Value;
  InvalidateGrid();
}

bool TNxCustomGridControl::IsFocused() {
  if (FPaintFocused >= 0) return FPaintFocused != 0;
  HWND F = GetFocus();
  if (F == nullptr) return false;
  if (HandleAllocated() && F == Handle()) return true;
  return FInplaceEditor != nullptr && FInplaceEditor->HandleAllocated() && F == FInplaceEditor->Handle();
}

// ---------------------------------------------------------------------------------------------
// Cell facts with the engine's defaults

TColor TNxCustomGridControl::GetCellOwnColor(int ACol, int ARow) { return FColumns->Item(ACol)->Color(); }

void TNxCustomGridControl::GetCellHint(int ACol, int ARow, WideString& Hint) { DoCellHint(ACol, ARow, Hint); }

bool TNxCustomGridControl::IsCellHidden(int ACol, int ARow) {
  bool Showing = true;
  DoCellShowing(ACol, ARow, Showing);
  return !Showing;
}

int TNxCustomGridControl::GetSelectedCount() {
  int N = 0;
  for (int I = 0; I < GetRowCount(); ++I)
    if (GetSelected(I)) ++N;
  return N;
}

AnsiString TNxCustomGridControl::GetCellsAsText(char Separator) {
  const int Rows = GetRowCount();
  const int Cols = FColumns->Count();
  // The cells' texts are converted once; the length is known before the text is filled.
  std::vector<AnsiString> Texts;
  Texts.reserve(static_cast<std::size_t>(Rows) * static_cast<std::size_t>(Cols));
  std::size_t Length = 1;
  for (int R = 0; R < Rows; ++R)
    for (int C = 0; C < Cols; ++C) {
      Texts.push_back(
          WideToAnsi(StringReplace(GetCells(C, R), WideString(L"\r\n"), WideString(L"%\r\n"), true, false)));
      Length += Texts.back().size() + 1 + (C == Cols - 1 ? 2 : 0);
    }
  AnsiString S;
  S.reserve(Length);
  S += Separator;
  std::size_t I = 0;
  for (int R = 0; R < Rows; ++R) {
    for (int C = 0; C < Cols; ++C) {
      S += Texts[I++];
      if (C < Cols - 1) S += Separator;
    }
    if (R < Rows - 1) {
      S += Separator;
      S += "\r\n";
    }
  }
  return S;
}

// ---------------------------------------------------------------------------------------------
// Row notifications

int TNxCustomGridControl::FindFirstShownRow(int From) {
  for (int I = std::max(From, 0); I < GetRowCount(); ++I)
    if (GetRowShown(I)) return I;
  return -1;
}

int TNxCustomGridControl::FindLastShownRow(int From) {
  for (int I = std::min(From, GetRowCount() - 1); I >= 0; --I)
    if (GetRowShown(I)) return I;
  return -1;
}

void TNxCustomGridControl::SetRowVisible(int ARow, bool Shown) {
  if (Shown) {
    FFirstShownRow = std::min(FFirstShownRow, ARow);
    FLastShownRow = std::max(FLastShownRow, ARow);
    return;
  }
  if (ARow == FFirstShownRow) {
    const int F = FindFirstShownRow(ARow);
    if (F >= 0) FFirstShownRow = F;
  }
  const int L = FindLastShownRow(FLastShownRow);
  if (L >= 0) FLastShownRow = L;
}

void TNxCustomGridControl::InsertRow(int ARow) {
  EndEditing();
  FFirstShownRow = std::min(FFirstShownRow, ARow);
  if (VertScrollBar()->Position() == 0) FFirstVisibleRow = FFirstShownRow;
}

void TNxCustomGridControl::ClearRows() {
  FFirstVisibleRow = 0;
  FUpdateScrollRow = -1;
  FSelectedColumn = 0;
  FSelectedRow = -1;
  FAnchorRow = -1;
  FGridState.Exclude(gsRangeSelect);
  ++FSelections;
  EndEditing();
  // Its handlers may have selected a row or opened an editor again: the rows go all the same.
  FSelectedRow = FAnchorRow = -1;
  if (FGridState.Contains(gsEditing)) DropEdit();
  ForWatchedCells([](TCellWatch& W) { W.Row = -1; });
}

void TNxCustomGridControl::DeleteRow(int ARow) { EndEditing(); }

void TNxCustomGridControl::MoveRow(int FromIndex, int ToIndex) {
  InvalidateGrid();
  EndEditing();
}

void TNxCustomGridControl::SetRowHeight(int Index, int Height) { DoChangeRowHeight(Index, Height); }

void TNxCustomGridControl::SortColumn(TNxCustomColumn* Column, bool Ascending) {
  if (Column == nullptr || !Column->Options().Contains(coCanSort)) return;
  // The handlers of the edit's end may take the column away.
  const TCellWatch Sorted(this, Column, -1);
  EndEditing();
  if (Sorted.Col() < 0) return;
  FSortedColumn = Column;
  DoSortColumn(Sorted.Col(), Column->SortKind() == skAscending);
}

void TNxCustomGridControl::BestFitRow(int ARow) {
  if (ARow < 0 || ARow >= GetRowCount()) return;
  int Height = FRowSize;
  TCanvas* Cv = Canvas();
  for (int C = 0; C < FColumns->Count(); ++C) {
    TNxCustomColumn* Col = FColumns->Item(C);
    if (!Col->Visible()) continue;
    TColor CellColor = GetCellColor(C, ARow);
    TColor GridColor = FGridLinesColor;
    DoCellColoring(C, ARow, CellColor, GridColor, TCellState{});
    WideString Text;
    GetCellDisplayText(C, ARow, Text);
    DoApplyCell(C, ARow, Text);
    TColumnDisplay* D = Col->Display();
    Cv->SetFont(Col->Font());
    // The display measures on the canvas's device context: its font is selected there first.
    Cv->TextWidth(L"W");
    D->Canvas = Cv;
    D->Handle = HandleAllocated() ? Handle() : nullptr;
    D->ClientRect = Rect(0, 0, Col->Width() - 2 * Col->Padding(), FRowSize);
    PrepareCellDisplay(C, ARow, D);
    Height = std::max(Height, D->GetTextHeight(Text));
  }
  SetRowHeight(ARow, Height);
}

void TNxCustomGridControl::BestFitColumn(TNxCustomColumn* Column, int Mode, bool ShownRowsOnly) {
  if (Column == nullptr || Column->Columns() != FColumns.get()) return;
  TCanvas* Cv = Canvas();
  int W = Mode == 1 ? 8 : StyleHeaderContentWidth(Column);
  if (Mode != 2) {
    const int C = Column->Index();
    TColumnDisplay* D = Column->Display();
    for (int R = 0; R < GetRowCount(); ++R) {
      if (ShownRowsOnly && !GetRowShown(R)) continue;
      TColor CellColor = GetCellColor(C, R);
      TColor GridColor = FGridLinesColor;
      DoCellColoring(C, R, CellColor, GridColor, TCellState{});
      WideString Text;
      GetCellDisplayText(C, R, Text);
      DoApplyCell(C, R, Text);
      Cv->SetFont(Column->Font());
      Cv->TextWidth(L"W");
      D->Canvas = Cv;
      D->Handle = HandleAllocated() ? Handle() : nullptr;
      D->ClientRect = Rect(0, 0, Column->Width(), GetRowPitch(R));
      PrepareCellDisplay(C, R, D);
      W = std::max(W, D->GetTextWidth(Text));
    }
  }
  Column->SetWidth(2 * Column->Padding() + W + 5);
}

// ---------------------------------------------------------------------------------------------
// Column list notices

void TNxCustomGridControl::ColumnsChanging(int ChangeKind, int Index) {
  // A column coming or going in front of others ends an open edit while its indexes still hold,
  // and what was typed is written, as a click, a scroll or a sort does.
  if (ChangeKind == cnDeleteColumn || ChangeKind == cnInsertColumn) Operation([&] { WriteAndEndEdit(); });
}

void TNxCustomGridControl::ColumnsChanged(int ChangeKind, int Index, int Index2) {
  FollowEditedColumn();
  const int Count = FColumns->Count();
  // The selected cell stays in its column when columns come or go in front of it; when its own
  // column goes, the cell that takes its place is another selection.
  if (ChangeKind == cnInsertColumn && Index >= 0 && Index <= FSelectedColumn && Count > 1) ++FSelectedColumn;
  if (ChangeKind == cnDeleteColumn && Index >= 0 && Index < FSelectedColumn) --FSelectedColumn;
  if (ChangeKind == cnDeleteColumn && Index == FSelectedColumn) SetSelectedCell(FSelectedColumn, FSelectedRow);
  if (FSelectedColumn >= Count) FSelectedColumn = std::max(Count - 1, 0);
  KeepSelectionOnShownColumn();
  if (FSortedColumn != nullptr && FColumns->IndexOf(FSortedColumn) < 0) FSortedColumn = nullptr;
  UpdateHorzScrollBar();
  InvalidateGrid();
  if (Index == -1) return;
  switch (ChangeKind) {
    case cnAddColumn: DoDataChange(dcAddColumn, Index); break;
    case cnDeleteColumn: DoDataChange(dcDeleteColumn, Index); break;
    case cnInsertColumn: DoDataChange(dcInsertColumn, Index); break;
    default: break;
  }
}

void TNxCustomGridControl::ColumnNotify(int Kind) {
  if (Kind != cnRenamed) PlaceEditor();
  InvalidateGrid();
}

void TNxCustomGridControl::ScrollResizedColumn(TNxCustomColumn* Column, int Delta) {
  if (!HandleAllocated() || Delta == 0) return;
  // Inside an update lock the end of the lock repaints only the columns' parts: what lay right of
  // the columns repaints now.
  if (FUpdateCount > 0) {
    InvalidateGrid();
    return;
  }
  bool AutoSized = false;
  for (int I = 0; I < FColumns->Count(); ++I)
    if (FColumns->Item(I)->Visible() && FColumns->Item(I)->Options().Contains(coAutoSize)) AutoSized = true;
  // Auto-sized columns change together with this one: everything right of it moves.
  if (AutoSized || !Column->Visible()) {
    InvalidateGrid();
    return;
  }
  const int L = FGridStyle == gsReport ? GetColumnScreenLeft(Column) : Column->Left();
  const int OldRight = L + Column->Width() - Delta;
  const int Height = FGridStyle == gsSlides ? FHeaderSize : ClientHeight();
  // The strip moves from the old right edge to the new one; the clip takes in both.
  const int MinLeft =
      Column->Position() >= FColumns->FixedCols() && FGridStyle == gsReport ? GetScrollClipRect().Left : 0;
  // The scrolled rectangle takes in the new right edge as well: what it uncovers is marked for
  // painting only inside it (a column narrower by more than the strip is wide would leave the
  // band between the strip's new end and the old edge as it was).
  RECT Strip{std::max(std::min(OldRight, OldRight + Delta), MinLeft), 0, ClientWidth(), Height};
  RECT Clip{std::max(std::min(OldRight, OldRight + Delta), MinLeft), 0, ClientWidth(), Height};
  if (Strip.left < Strip.right)
    ScrollWindowEx(Handle(), Delta, 0, &Strip, &Clip, nullptr, nullptr, SW_INVALIDATE);
  // The input line and the footer end in a frame at the window's right edge, which stays there:
  // the moved part of their strips paints again.
  if (FGridStyle == gsReport && Strip.left < Strip.right) {
    const TRect Input = GetInputRect(), Footer = GetFooterRect();
    if (FOptions.Contains(goInput)) RefreshRect(Rect(Strip.left, Input.Top, Strip.right, Input.Bottom));
    if (FOptions.Contains(goFooter)) RefreshRect(Rect(Strip.left, Footer.Top, Strip.right, Footer.Bottom));
  }
  // The column itself repaints with its new width (texts are cut differently).
  RefreshRect(Rect(L, 0, L + Column->Width() + 1, Height));
  if (FGridStyle == gsSlides) InvalidateGrid();
}

void TNxCustomGridControl::ColumnChanged(TNxCustomColumn* Column, int Param, int Kind) {
  // The cell kind and sort requests concern the data and apply with or without a window.
  if (Kind == ccKind) {
    ColumnKindChanged(Column);
    InvalidateGrid();
    return;
  }
  if ((Kind == ccSorted || Kind == ccSortKind) && Column->Sorted()) {
    RefreshColumnPart(Column, gaHeader);
    SortColumn(Column, Column->SortKind() == skAscending);
    return;
  }
  // Typing goes to the selected cell: the selection leaves a column that is hidden.
  if (Kind == ccVisible && !Column->Visible()) KeepSelectionOnShownColumn();
  if (!HandleAllocated()) return;
  if (Kind == ccInputValue) {
    RefreshRect(GetInputCellRect(Column));
    return;
  }
  // An editor over a column that goes out of sight would stand over the next one: what was
  // typed goes into its own column first. A text the column refuses closes the editor all the
  // same; the column goes, and the refusal is reported once it has gone. An editor that stays
  // open (its end refused) hides with its column. The change completes whatever the handlers of
  // the edit's end raise.
  Operation([&] {
    std::exception_ptr Refused;
    const TCellWatch Changed(this, Column, -1);
    if (Kind == ccVisible && !Column->Visible() && IsEditing() && Column->Index() == FEditCol) {
      Refused = ErrorOf([&] { WriteAndEndEdit(); });
      // The handlers of the edit's end may have taken the column away.
      if (Changed.Col() < 0) {
        if (Refused) std::rethrow_exception(Refused);
        return;
      }
    }
    if (Kind == ccMoved || Kind == ccSorted || Kind == ccVisible || Kind == ccResized) PlaceEditor();
    switch (Kind) {
      case ccMoved:
        DoColumnMove(Column->Index(), Param, Column->Position());
        InvalidateGrid();
        break;
      case ccSlide:
        InvalidateGrid();
        DoSlideChange(Column->Index());
        break;
      case ccAppearance: RefreshColumnPart(Column, gaNone); break;
      case ccVisible:
        UpdateHorzScrollBar();
        InvalidateGrid();
        break;
      case ccHeader:
        RefreshColumnPart(Column, gaHeader);
        if (FAppearanceOptions.Contains(aoIndicateSortedColumn)) RefreshColumnPart(Column, gaBody);
        if (Column == FSortedColumn) FSortedColumn = nullptr;
        break;
      case ccResized: {
        ScrollResizedColumn(Column, Param);
        // A full selected row is framed across its columns: the frame's end moved.
        if (FOptions.Contains(goSelectFullRow) && FUpdateCount == 0) RefreshRow(FSelectedRow, false);
        DoColumnResize(Column->Index());
        // The bar clamped to the new width, or shown or hidden (the client area changes size with
        // it), moves what the strip scroll left: everything paints again.
        const int Pos = HorzScrollBar()->Position();
        const TRect Client = ClientRect();
        UpdateHorzScrollBar();
        if (HorzScrollBar()->Position() != Pos || ClientRect() != Client) InvalidateGrid();
        break;
      }
      default: break;
    }
    if (Refused) std::rethrow_exception(Refused);
  });
}

// ---------------------------------------------------------------------------------------------
// Event dispatchers

void TNxCustomGridControl::RaiseHandlerError() {
  std::exception_ptr Error = FHandlerError;
  FHandlerError = nullptr;
  std::rethrow_exception(Error);
}

void TNxCustomGridControl::WndProc(TMessage& Message) {
  const UINT Msg = Message.Msg;
  const bool Key = Msg >= WM_KEYFIRST && Msg <= WM_KEYLAST;
  const bool Input = Key || (Msg >= WM_MOUSEFIRST && Msg <= WM_MOUSELAST) || Msg == WM_VSCROLL || Msg == WM_HSCROLL;
  Action(Input, [&] {
    if (Key && HandleAllocated())
      KeyAction(Handle(), Msg == WM_KEYDOWN || Msg == WM_SYSKEYDOWN, [&] { TNxScrollControl::WndProc(Message); });
    else
      TNxScrollControl::WndProc(Message);
  });
}

void TNxCustomGridControl::DropCharacters(HWND Window) {
  MSG M;
  while (PeekMessageW(&M, Window, WM_CHAR, WM_DEADCHAR, PM_REMOVE) ||
         PeekMessageW(&M, Window, WM_SYSCHAR, WM_SYSDEADCHAR, PM_REMOVE)) {
  }
}

void TNxCustomGridControl::HandOn(const std::exception_ptr& Error) {
  if (Error && Application != nullptr) Application->HandleException(nullptr, Error);
}

void TNxCustomGridControl::SendScrollMessage(UINT Msg, WPARAM Code) {
  Dispatching([&] { TNxScrollControl::SendScrollMessage(Msg, Code); });
}

void TNxCustomGridControl::BarChange(const std::function<void()>& Change) { Operation(Change); }

void TNxCustomGridControl::RunControlEvent(const std::function<void()>& Event) { Call(Event); }
void TNxCustomGridControl::KeyDown(Word& Key, TShiftState Shift) {
  Call([&] { TNxScrollControl::KeyDown(Key, Shift); });
}
void TNxCustomGridControl::KeyUp(Word& Key, TShiftState Shift) {
  Call([&] { TNxScrollControl::KeyUp(Key, Shift); });
}
void TNxCustomGridControl::KeyPress(wchar_t& Key) {
  Call([&] { TNxScrollControl::KeyPress(Key); });
}
void TNxCustomGridControl::Click() {
  Call([&] { TNxScrollControl::Click(); });
}
void TNxCustomGridControl::DblClick() {
  Call([&] { TNxScrollControl::DblClick(); });
}
void TNxCustomGridControl::DoEnter() {
  Call([&] { TNxScrollControl::DoEnter(); });
}
void TNxCustomGridControl::DoExit() {
  Call([&] { TNxScrollControl::DoExit(); });
}

void TNxCustomGridControl::ReportHandlerError() {
  std::exception_ptr Error = FHandlerError;
  FHandlerError = nullptr;
  if (Application != nullptr) Application->HandleException(this, Error);
}

void TNxCustomGridControl::DoScrollEvent(TNxCustomScrollBar* Bar, int Position) {
  Fire([&] { TNxScrollControl::DoScrollEvent(Bar, Position); });
}

void TNxCustomGridControl::DoAfterEdit(int ACol, int ARow, const WideString& Value) {
  if (OnAfterEdit) Call([&] { OnAfterEdit(this, ACol, ARow, Value); });
}
void TNxCustomGridControl::DoAfterSort(int ACol) {
  if (OnAfterSort) Call([&] { OnAfterSort(this, ACol); });
}
void TNxCustomGridControl::DoApplyCell(int ACol, int ARow, WideString& Value) {
  if (OnApplyCell) Call([&] { OnApplyCell(this, ACol, ARow, Value); });
}
void TNxCustomGridControl::DoApplyEditText(int ACol, int ARow, WideString& Value) {
  if (OnApplyEditText) Call([&] { OnApplyEditText(this, ACol, ARow, Value); });
}
void TNxCustomGridControl::DoBeforeEdit(int ACol, int ARow, bool& Accept) {
  if (OnBeforeEdit) Call([&] { OnBeforeEdit(this, ACol, ARow, Accept); });
}
void TNxCustomGridControl::DoBeforeSelect(int ACol, int ARow, bool& Accept) {
  if (OnBeforeSelect) Fire([&] { OnBeforeSelect(this, ACol, ARow, Accept); });
}
void TNxCustomGridControl::DoAfterRowMove(int FromPos, int ToPos) {
  if (OnAfterRowMove) Call([&] { OnAfterRowMove(this, FromPos, ToPos); });
}
void TNxCustomGridControl::DoCalculateRow(int Index, bool& Accept) {
  if (OnCalculateRow) Call([&] { OnCalculateRow(this, Index, Accept); });
}
void TNxCustomGridControl::DoCellClick(int ACol, int ARow) {
  if (OnCellClick) Call([&] { OnCellClick(this, ACol, ARow); });
}
void TNxCustomGridControl::DoCellDblClick(int ACol, int ARow) {
  if (OnCellDblClick) Call([&] { OnCellDblClick(this, ACol, ARow); });
}
void TNxCustomGridControl::DoColumnFooterValue(int ACol, double& Value) {
  if (OnColumnFooterValue) OnColumnFooterValue(this, ACol, Value);
}
void TNxCustomGridControl::DoFooterCalculate(int ACol, double& Value) {
  if (OnFooterCalculate) OnFooterCalculate(this, ACol, Value);
}
void TNxCustomGridControl::DoFooterClick(int ACol) {
  if (OnFooterClick) Call([&] { OnFooterClick(this, ACol); });
}
void TNxCustomGridControl::DoHeaderClick(int ACol) {
  if (OnHeaderClick) Call([&] { OnHeaderClick(this, ACol); });
}
void TNxCustomGridControl::DoHeaderDblClick(int ACol) {
  if (OnHeaderDblClick) Call([&] { OnHeaderDblClick(this, ACol); });
}
void TNxCustomGridControl::DoMouseEnter() {
  if (OnMouseEnter) Call([&] { OnMouseEnter(this); });
}
void TNxCustomGridControl::DoMouseLeave() {
  if (OnMouseLeave) Call([&] { OnMouseLeave(this); });
}
void TNxCustomGridControl::DoRowMove(int FromPos, int ToPos, bool& Accept) {
  if (OnRowMove) Call([&] { OnRowMove(this, FromPos, ToPos, Accept); });
}
void TNxCustomGridControl::DoCellColoring(int ACol, int ARow, TColor& CellColor, TColor& GridColor, TCellState State) {
  if (OnCellColoring) OnCellColoring(this, ACol, ARow, CellColor, GridColor, State);
}
void TNxCustomGridControl::DoCellHint(int ACol, int ARow, WideString& Value) {
  if (OnCellHint) OnCellHint(this, ACol, ARow, Value);
}
void TNxCustomGridControl::DoCellShowing(int ACol, int ARow, bool& Showing) {
  if (OnCellShowing) OnCellShowing(this, ACol, ARow, Showing);
}
void TNxCustomGridControl::DoChange(int ACol, int ARow) {
  if (OnChange) Call([&] { OnChange(this, ACol, ARow); });
}
void TNxCustomGridControl::DoChangeRowHeight(int Index, int Height) {
  if (OnChangeRowHeight) Fire([&] { OnChangeRowHeight(this, Index, Height); });
}
void TNxCustomGridControl::DoColumnMove(int ACol, int FromPos, int ToPos) {
  if (OnColumnMove) Call([&] { OnColumnMove(this, ACol, FromPos, ToPos); });
}
void TNxCustomGridControl::DoColumnResize(int ACol) {
  if (OnColumnResize) Call([&] { OnColumnResize(this, ACol); });
}
void TNxCustomGridControl::DoCustomDrawCell(int ACol, int ARow, TRect CellRect, TCellState State) {
  if (OnCustomDrawCell) OnCustomDrawCell(this, ACol, ARow, CellRect, State);
}
void TNxCustomGridControl::DoCustomDrawFooter(int Index, TRect FooterRect) {
  if (OnCustomDrawFooter) OnCustomDrawFooter(this, Index, FooterRect);
}
void TNxCustomGridControl::DoCustomDrawHeader(int Index, TRect HeaderRect) {
  if (OnCustomDrawHeader) OnCustomDrawHeader(this, Index, HeaderRect);
}
void TNxCustomGridControl::DoCustomDrawIndicator(int Index, TRect IndicatorRect, bool Selected, bool Highlighted) {
  if (OnCustomDrawIndicator) OnCustomDrawIndicator(this, Index, IndicatorRect, Selected, Highlighted);
}
void TNxCustomGridControl::DoDataChange(TDataChange AChangeType, int AIndex) {
  if (OnDataChange) Fire([&] { OnDataChange(this, AChangeType, AIndex); });
}
void TNxCustomGridControl::DoDeselectCell(int ACol, int ARow) {
  if (OnDeselectCell) Fire([&] { OnDeselectCell(this, ACol, ARow); });
}
void TNxCustomGridControl::DoDrawCellBackground(int ACol, int ARow, TRect CellRect, TCellState State,
                                                bool& DefaultDrawing) {
  if (OnDrawCellBackground) OnDrawCellBackground(this, ACol, ARow, CellRect, State, DefaultDrawing);
}
void TNxCustomGridControl::DoEdit(int ACol, int ARow, const WideString& Value) {
  if (OnEdit) Call([&] { OnEdit(this, ACol, ARow, Value); });
}
void TNxCustomGridControl::DoEditAccept(int ACol, int ARow, const WideString& Value, bool& Accept) {
  if (OnEditAccept) Call([&] { OnEditAccept(this, ACol, ARow, Value, Accept); });
}
void TNxCustomGridControl::DoEditEnter() {
  if (OnEditEnter) Call([&] { OnEditEnter(this); });
}
void TNxCustomGridControl::DoEditExit() {
  if (OnEditExit) Fire([&] { OnEditExit(this); });
}
void TNxCustomGridControl::DoEditText(int ACol, int ARow, WideString& Value) {
  if (OnEditText) Call([&] { OnEditText(this, ACol, ARow, Value); });
}
void TNxCustomGridControl::DoEndEditing(int ACol, int ARow, WideString& Value, bool& Accept) {
  if (OnEndEditing) Fire([&] { OnEndEditing(this, ACol, ARow, Value, Accept); });
}
void TNxCustomGridControl::DoInputAccept(bool& Accept) {
  if (OnInputAccept) Call([&] { OnInputAccept(this, Accept); });
}
void TNxCustomGridControl::DoInputAdded() {
  if (OnInputAdded) Call([&] { OnInputAdded(this); });
}
void TNxCustomGridControl::DoInputSelectCell(int ACol) {
  if (OnInputSelectCell) Call([&] { OnInputSelectCell(this, ACol); });
}
void TNxCustomGridControl::DoMeasuringRowHeight(int Index, int& RowHeight) {
  if (OnMeasuringRowHeight) OnMeasuringRowHeight(this, Index, RowHeight);
}
void TNxCustomGridControl::DoPostDraw() {
  if (OnPostDraw) OnPostDraw(this);
}
void TNxCustomGridControl::DoSelectCell(int ACol, int ARow) {
  if (OnSelectCell) Fire([&] { OnSelectCell(this, ACol, ARow); });
}
void TNxCustomGridControl::DoSelectionMove(int& ACol, int ARow, TMoveSelectionKey Key) {
  if (OnSelectionMove) Call([&] { OnSelectionMove(this, ACol, ARow, Key); });
}
void TNxCustomGridControl::DoSlideChange(int ACol) {
  if (OnSlideChange) Call([&] { OnSlideChange(this, ACol); });
}
void TNxCustomGridControl::DoSlideColoring(int Index, TColor& SlideColor, TColor& GridColor, TSlideState State) {
  if (OnSlideColoring) OnSlideColoring(this, Index, SlideColor, GridColor, State);
}
void TNxCustomGridControl::DoSortColumn(int ACol, bool Ascending) {
  if (OnSortColumn) Call([&] { OnSortColumn(this, ACol, Ascending); });
}
