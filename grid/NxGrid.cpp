#include "grid/NxGrid.h"

#include <algorithm>
#include <set>

#include "framework/Convert.h"
#include "framework/Strings.h"

TNxGrid::TNxGrid(TComponent* AOwner) : TNxCustomGrid(AOwner) {
  FCellStore = std::make_unique<TCells>(this, Columns());
  FCellStore->SetDefaultRowHeight(RowSize());
  FCellStore->OnChange = [this](TObject* S, int C, int R) { CellChanged(S, C, R); };
  FCellStore->OnCompare = [this](TObject* S, TCell* A, TCell* B, int& Cmp) { CompareCells(S, A, B, Cmp); };
  FStartRowCount = 0;
}

TNxGrid::~TNxGrid() { FCellStore.reset(); }

// ---------------------------------------------------------------------------------------------
// Checks

void TNxGrid::CheckRow(int ARow) {
  if (ARow < 0 || ARow >= GetRowCount()) TList::Error(ARow);
}

void TNxGrid::CheckCell(int ACol, int ARow) {
  if (ARow < 0 || ARow > GetRowCount() - 1 || ACol < 0 || ACol > Columns()->Count() - 1)
    throw Exception(Format("Cell out of bounds (%d, %d)", ACol, ARow));
}

// ---------------------------------------------------------------------------------------------
// Cells

TCell* TNxGrid::GetCell(int ACol, int ARow) { return FCellStore->GetCell(ACol, ARow); }

WideString TNxGrid::GetCells(int ACol, int ARow) {
  CheckCell(ACol, ARow);
  return FCellStore->GetCell(ACol, ARow)->AsString();
}

void TNxGrid::SetCells(int ACol, int ARow, const WideString& Value) {
  CheckCell(ACol, ARow);
  // OnChange may change anything.
  Operation([&] { FCellStore->GetCell(ACol, ARow)->SetAsString(Value); });
}

void TNxGrid::GetCellData(int ACol, int ARow, TCellValue& Value) {
  TCell* C = FCellStore->GetCell(ACol, ARow);
  Value = TCellValue{};
  Value.Kind = Columns()->Item(ACol)->ColumnKind();
  switch (Value.Kind) {
    case ckIncrement: Value.AsInteger = C->AsInteger(); break;
    case ckBoolean: Value.AsBoolean = C->AsBoolean(); break;
    case ckDateTime: Value.AsDateTime = C->AsDateTime(); break;
    case ckFloat: Value.AsFloat = C->AsFloat(); break;
    case ckObject: Value.ObjectReference = C->ObjectReference(); break;
    case ckInteger: Value.AsInteger = C->AsInteger(); break;
    default: Value.AsString = C->AsString(); break;
  }
}

void TNxGrid::GetCellDisplayText(int ACol, int ARow, WideString& Text) {
  TCellValue V;
  GetCellData(ACol, ARow, V);
  Text = Columns()->Item(ACol)->GetDisplayText(V);
}

TColor TNxGrid::GetCellOwnColor(int ACol, int ARow) {
  if (Columns()->Item(ACol)->ParentCellColor()) return TNxCustomGrid::GetCellOwnColor(ACol, ARow);
  return FCellStore->GetCell(ACol, ARow)->Color();
}

void TNxGrid::GetCellHint(int ACol, int ARow, WideString& Hint) {
  Hint = FCellStore->GetCell(ACol, ARow)->Hint();
  TNxCustomGrid::GetCellHint(ACol, ARow, Hint);
}

bool TNxGrid::IsCellHidden(int ACol, int ARow) {
  if (FCellStore->GetCell(ACol, ARow)->Hidden()) return true;
  return TNxCustomGrid::IsCellHidden(ACol, ARow);
}

TColor TNxGrid::GetCellColor(int ACol, int ARow) { return TNxCustomGrid::GetCellColor(ACol, ARow); }
TColor TNxGrid::GetCellFontColor(int ACol, int ARow) { return TNxCustomGrid::GetCellFontColor(ACol, ARow); }

void TNxGrid::PrepareCellDisplay(int ACol, int ARow, TColumnDisplay* Display) {
  GetCellData(ACol, ARow, Display->Value);
}

bool TNxGrid::ApplyCellFont(int ACol, int ARow, TCellState CellState) {
  TNxCustomGrid::ApplyCellFont(ACol, ARow, CellState);
  GetCellData(ACol, ARow, Columns()->Item(ACol)->Display()->Value);
  CellTextHook(ACol, ARow, CellState);
  return true;
}

void TNxGrid::CellTextHook(int ACol, int ARow, TCellState CellState) {
  TCell* C = FCellStore->GetCell(ACol, ARow);
  TFontStyles Style = C->FontStyle();
  if (CellState.Contains(csBoldTextSelection)) Style.Include(fsBold);
  TColor TextColor = CellState.Contains(csSelected) ? Canvas()->Font()->Color() : C->FontColor();
  if (OnCellFormating) OnCellFormating(this, ACol, ARow, TextColor, Style, CellState);
  Canvas()->Font()->SetStyle(Style);
  Canvas()->Font()->SetColor(TextColor);
}

// ---------------------------------------------------------------------------------------------
// Row queries

int TNxGrid::GetRowCount() { return FCellStore ? FCellStore->RowCount() : 0; }
int TNxGrid::GetShownRowCount() { return FCellStore ? FCellStore->ShownRowCount() : 0; }

int TNxGrid::GetRowHeight(int ARow) {
  int H = FCellStore->GetRow(ARow)->Height;
  DoMeasuringRowHeight(ARow, H);
  return H;
}

bool TNxGrid::GetRowShown(int ARow) {
  TRow* R = FCellStore->GetRow(ARow);
  return R->Visible && R->Shown;
}

int TNxGrid::GetRowLevel(int ARow) { return FCellStore->GetRow(ARow)->Level; }

int TNxGrid::GetRowParent(int ARow) { return FCellStore->ParentIndexOf(ARow); }

int TNxGrid::FindParentRow(int ARow) {
  if (FCellStore->GetRow(ARow)->Level < 1) return -1;
  return GetRowParent(ARow);
}

int TNxGrid::GetNextSibling(int ARow) {
  const int Level = FCellStore->GetRow(ARow)->Level;
  for (int R = ARow + 1; R < GetRowCount(); ++R) {
    const int L = FCellStore->GetRow(R)->Level;
    if (L < Level) return -1;
    if (L == Level) return R;
  }
  return -1;
}

int TNxGrid::ChildCount(int ARow) { return FCellStore->GetRow(ARow)->ChildCount; }
bool TNxGrid::Expanded(int ARow) { return FCellStore->GetRow(ARow)->Expanded; }
bool TNxGrid::GetSelected(int ARow) {
  // Outside the rows no row is selected (as SetSelected changes nothing there).
  if (ARow < 0 || ARow >= GetRowCount()) return false;
  return FCellStore->GetRow(ARow)->Selected;
}

void TNxGrid::SetSelected(int ARow, bool Value) {
  if (ARow < 0 || ARow >= GetRowCount()) return;
  TRow* R = FCellStore->GetRow(ARow);
  if (R->Selected == Value) return;
  R->Selected = Value;
  if (UpdateCount() > 0) return;
  if (GridStyle() == gsSlides)
    RefreshSlide(ARow, !SlideInteriorShowsSelection());
  else
    RefreshRow(ARow, false);
}

void TNxGrid::SelectRange(int AFrom, int ATo, bool Value) {
  if (AFrom > ATo) SwapInt(AFrom, ATo);
  AFrom = std::max(AFrom, 0);
  ATo = std::min(ATo, GetRowCount() - 1);
  if (AFrom > ATo) return;
  for (int R = AFrom; R <= ATo; ++R) FCellStore->GetRow(R)->Selected = Value;
  RefreshRowSpan(AFrom, ATo);
}

void TNxGrid::FindShownRows() {
  const int F = FindFirstShownRow(0);
  const int L = FindLastShownRow(GetRowCount() - 1);
  FFirstShownRow = F >= 0 ? F : 0;
  FLastShownRow = L >= 0 ? L : 0;
}

int TNxGrid::FindFirstShownRow(int From) {
  if (!FCellStore) return -1;
  From = std::max(From, 0);
  if (From >= GetRowCount()) return -1;
  return FCellStore->ShownRowAt(FCellStore->ShownRowsBefore(From));
}

int TNxGrid::FindLastShownRow(int From) {
  if (!FCellStore) return -1;
  From = std::min(From, GetRowCount() - 1);
  if (From < 0) return -1;
  const int K = FCellStore->ShownRowsBefore(From + 1);
  return K > 0 ? FCellStore->ShownRowAt(K - 1) : -1;
}

int TNxGrid::CountShownRows(int From, int To) {
  if (!FCellStore) return 0;
  From = std::max(From, 0);
  To = std::min(To, GetRowCount());
  if (From >= To) return 0;
  return FCellStore->ShownRowsBefore(To) - FCellStore->ShownRowsBefore(From);
}

int TNxGrid::RowAtScrollPosition(int Pos) {
  const int Rows = GetRowCount();
  const int R = FCellStore ? FCellStore->ShownRowAt(std::max(Pos, 0)) : -1;
  return R >= 0 ? R : std::max(Rows - 1, 0);
}

bool TNxGrid::ShowsRowPositions() {
  for (int C = 0; C < Columns()->Count(); ++C) {
    const TColumnKind Kind = Columns()->ColumnKind(C);
    if (Columns()->Item(C)->Visible() && (Kind == ckIncrement || Kind == ckVirtual)) return true;
  }
  return false;
}

void TNxGrid::RefreshFrom(int ARow) {
  if (UpdateCount() > 0 || !HandleAllocated()) return;
  const TRect B = GetBodyRect();
  int Top = B.Top;
  if (ARow >= FFirstVisibleRow && !GetVisibleRowTop(ARow, Top)) return;
  // From the grid lines above the row: the bottom line of the row before is the last row's line
  // (black in a framed grid) or not, and the row's own lines start on it, in the colour that
  // tells whether the row exists (an active-rows grid draws the lines of empty rows unseen).
  RefreshRect(Rect(0, std::max(Top - RowGap(), B.Top), ClientWidth(), ClientHeight()));
}

void TNxGrid::FollowRecords(const std::function<int(int)>& NewIndex) {
  for (int* Index : {&FSelectedRow, &FAnchorRow, &FEditRow, &FUpdateScrollRow})
    if (*Index >= 0) *Index = NewIndex(*Index);
  ForWatchedCells([&](TCellWatch& W) {
    if (W.Row >= 0) W.Row = NewIndex(W.Row);
  });
  if (!GridState().Contains(gsEditing)) return;
  // An edit whose row went is over (what it held goes nowhere); one left open (a handler refused
  // to close it) stays over its own record.
  if (FEditRow < 0)
    DropEdit();
  else
    PlaceEditor();
}

TRow* TNxGrid::RecordAt(int ARow) const {
  return ARow >= 0 && ARow < FCellStore->RowCount() ? FCellStore->GetRow(ARow) : nullptr;
}

void TNxGrid::FillDefaultValues(int ARow) {
  if (!Options().Contains(goUseDefaultValues)) return;
  for (int C = 0; C < Columns()->Count(); ++C) {
    const WideString& V = Columns()->Item(C)->DefaultValue();
    if (!V.empty()) SetCells(C, ARow, V);
  }
}

// ---------------------------------------------------------------------------------------------
// Row operations

int TNxGrid::AddRow(int Count) {
  if (Count < 1) return FLastAddedRow;
  Operation([&] { AddRows(Count); });
  return FLastAddedRow;
}

void TNxGrid::AddRows(int Count) {
  const int Old = GetRowCount();
  FCellStore->AddRows(Count);
  const int Rows = GetRowCount();
  // All the rows or none: a default value that fails (a handler of OnChange) takes them out.
  Undoing([&] {
    for (int R = Old; R < Rows; ++R) FillDefaultValues(R);
  }, [&] {
    while (GetRowCount() > Old) FCellStore->DeleteRow(GetRowCount() - 1);
  });
  // The new rows, and the lines of the old last row that is the last one no more.
  RefreshFrom(Old);
  FLastAddedRow = Rows - 1;
  FLastShownRow = Rows - 1;
  if (Old == 0 || !GetRowShown(FFirstShownRow)) FindShownRows();
  if (UpdateCount() == 0) UpdateVertScrollBar();
  DoDataChange(dcAddRow, FLastAddedRow);
}

void TNxGrid::AddChildRow(int AParent, bool AAfterDescendants) {
  Operation([&] {
    CheckRow(AParent);
    // After the parent's descendants that follow it directly: all of them while its tree is kept
    // together; where moves or a sort pulled it apart, those before the first row of another tree,
    // so that the new row never goes between another row and its descendants.
    const int Pos = AParent + 1 + (AAfterDescendants ? FCellStore->DescendantsFollowing(AParent) : 0);
    const int OldRows = GetRowCount();
    FCellStore->InsertChildRow(AParent, Pos);
    FollowRecords([Pos](int I) { return I >= Pos ? I + 1 : I; });
    // The row or nothing: a default value that fails takes it out again.
    Undoing([&] { FillDefaultValues(Pos); }, [&] {
      FCellStore->DeleteRow(Pos);
      FollowRecords([Pos](int I) { return I == Pos ? -1 : I > Pos ? I - 1 : I; });
    });
    if (Pos <= FFirstVisibleRow && OldRows > 0 && VertScrollBar()->Position() > 0) ++FFirstVisibleRow;
    // The rows below move down; under a collapsed parent they keep their place, and only take new
    // numbers (or the values supplied for their new positions).
    if (GetRowShown(Pos) || ShowsRowPositions()) RefreshFrom(Pos);
    if (GetRowShown(AParent) && ChildCount(AParent) == 1) RefreshRow(AParent);
    FLastAddedRow = Pos;
    FindShownRows();
    // Also inside an update lock: a row in the last page may start it earlier than the view.
    UpdateVertScrollBar();
    DoDataChange(dcAddChildRow, FLastAddedRow);
  });
}

void TNxGrid::InsertRow(int ARow) {
  Operation([&] {
    if (ARow < 0 || ARow > GetRowCount()) TList::Error(ARow);
    TNxCustomGrid::InsertRow(ARow);
    // The handlers of the edit's end may have taken rows away.
    ARow = std::min(ARow, GetRowCount());
    FLastAddedRow = ARow;
    FCellStore->InsertRow(ARow);
    // The rows at and below ARow moved down by one: the same records stay selected and in view.
    FollowRecords([ARow](int I) { return I >= ARow ? I + 1 : I; });
    if (ARow < FFirstVisibleRow && VertScrollBar()->Position() > 0) ++FFirstVisibleRow;
    RefreshFrom(ARow);
    FindShownRows();
    UpdateVertScrollBar();
    DoDataChange(dcInsertRow, ARow);
  });
}

void TNxGrid::DeleteRow(int ARow) {
  Operation([&] {
    CheckRow(ARow);
    // The row, followed while the handlers on the way change what they like (one that took it
    // away already leaves nothing to delete).
    const TCellWatch Row(this, nullptr, ARow);
    TNxCustomGrid::DeleteRow(ARow);
    if (Row.Row < 0) return;
    // The row goes with its descendants: every row whose chain of parents reaches it. While its
    // tree is kept together they are the rows right after it with a greater level; after moves or
    // a sort they may lie anywhere, and rows of other trees between them stay.
    auto Selected = [&] {
      bool In = false;
      for (int R = FSelectedRow; R >= 0 && R < GetRowCount() && !In; R = GetRowParent(R)) In = R == Row.Row;
      return In;
    };
    if (Selected()) {
      DoDeselectCell(SelectedColumn(), FSelectedRow);
      if (Row.Row < 0) return;
    }
    ARow = Row.Row;
    const bool WasSelected = Selected();
    const std::vector<int> Gone = FCellStore->DeleteRowTree(ARow);
    // Rows deleted before a position, and whether the position itself went.
    auto GoneBefore = [&Gone](int I) {
      return static_cast<int>(std::lower_bound(Gone.begin(), Gone.end(), I) - Gone.begin());
    };
    auto Went = [&Gone](int I) { return std::binary_search(Gone.begin(), Gone.end(), I); };

    // Every index below a deleted row moves up, whether the row was shown or not; they are kept
    // inside the grid.
    FFirstVisibleRow -= GoneBefore(FFirstVisibleRow);
    FollowRecords([&](int I) { return Went(I) ? -1 : I - GoneBefore(I); });
    FindShownRows();
    if (FFirstVisibleRow >= GetRowCount()) FFirstVisibleRow = std::max(GetRowCount() - 1, 0);
    RefreshFrom(Gone.front());
    // The bar follows the view before any handler runs (its own, then the selection's); the row
    // that took the place of the first deleted one is followed while they change what they like.
    if (WasSelected) SetSelectedCell(SelectedColumn(), -1);
    const unsigned Selection = SelectionCount();
    const TCellWatch Place(this, nullptr, Gone.front() < GetRowCount() ? Gone.front() : -1);
    UpdateVertScrollBar();

    const int Rows = GetRowCount();
    if (WasSelected && Rows > 0 && SelectionCount() == Selection) {
      // The row seen in the place of the first deleted row becomes the selected one: the first
      // shown row there or below, the last shown row when none follows, none when none is shown.
      const int Next = FindFirstShownRow(Place.Row >= 0 ? Place.Row : std::min(Gone.front(), Rows));
      const int Seen = Next >= 0 ? Next : FindLastShownRow(Rows - 1);
      if (Seen >= 0) {
        SelectCell(SelectedColumn(), Seen, false, true, {});
      } else {
        // As in a grid without rows: nothing is selected, and no event fires.
        DeselectAll();
        FGridState.Exclude(gsRangeSelect);
        FAnchorRow = -1;
      }
    }
    // A range whose anchor row went starts at the selection.
    if (FAnchorRow < 0) FAnchorRow = FSelectedRow;
    // One notice per row, the last first, each with the index the row had when it went.
    for (auto It = Gone.rbegin(); It != Gone.rend(); ++It) DoDataChange(dcDeleteRow, *It);
    FLastAddedRow = std::min(FLastAddedRow, GetRowCount() - 1);
  });
}

void TNxGrid::ClearRows() {
  Operation([&] {
    TNxCustomGrid::ClearRows();
    FCellStore->ClearRows();
    FFirstVisibleRow = FFirstShownRow = FLastShownRow = 0;
    RefreshPart(gaBody);
    RefreshPart(gaFooter);
    RefreshPart(gaIndicator);
    UpdateHorzScrollBar();
    UpdateVertScrollBar();
    DoDataChange(dcClearRows, -1);
  });
}

void TNxGrid::MoveRow(int AFrom, int ATo) {
  Operation([&] {
    CheckRow(AFrom);
    CheckRow(ATo);
    const TCellWatch From(this, nullptr, AFrom);
    TNxCustomGrid::MoveRow(AFrom, ATo);
    // The handlers of the edit's end may have moved or taken rows away.
    if (From.Row < 0) return;
    AFrom = From.Row;
    ATo = std::min(ATo, GetRowCount() - 1);
    if (AFrom == ATo) return;
    FCellStore->MoveRow(AFrom, ATo);
    FollowRecords([AFrom, ATo](int I) {
      if (I == AFrom) return ATo;
      if (AFrom < ATo && I > AFrom && I <= ATo) return I - 1;
      if (ATo < AFrom && I >= ATo && I < AFrom) return I + 1;
      return I;
    });
    FindShownRows();
    UpdateVertScrollBar();
  });
}

void TNxGrid::ExchangeRows(int A, int B) {
  Operation([&] {
    CheckRow(A);
    CheckRow(B);
    // Rows of the same height and shown state take each other's place; otherwise the rows between
    // them move, and the page may hold another number of rows.
    const bool ShownA = GetRowShown(A), ShownB = GetRowShown(B);
    const bool SamePlace = ShownA == ShownB && (!ShownA || GetRowPitch(A) == GetRowPitch(B));
    FCellStore->ExchangeRows(A, B);
    FollowRecords([A, B](int I) { return I == A ? B : I == B ? A : I; });
    FindShownRows();
    if (SamePlace) {
      if (UpdateCount() == 0) {
        RefreshRow(A);
        RefreshRow(B);
      }
      return;
    }
    RefreshFrom(std::min(A, B));
    UpdateVertScrollBar();
  });
}

void TNxGrid::SetRowVisible(int ARow, bool Value) {
  Operation([&] {
    CheckRow(ARow);
    // The row's own flag is what changes; a collapsed parent may keep the row out of view either
    // way, and then neither the shown rows nor the view change.
    if (Value == FCellStore->GetRow(ARow)->Visible) return;
    const bool WasShown = GetRowShown(ARow);
    FCellStore->SetRowVisible(ARow, Value);
    if (GetRowShown(ARow) == WasShown) return;
    if (UpdateCount() == 0) RefreshFrom(ARow);
    TNxCustomGrid::SetRowVisible(ARow, Value);
    // No row shown keeps both at 0; the first row shown again is both ends.
    const int Shown = GetShownRowCount();
    if (Shown == 0) FFirstShownRow = FLastShownRow = 0;
    if (Shown == 1 && Value) FFirstShownRow = FLastShownRow = ARow;
    UpdateVertScrollBar();
    // The rows below moved: an editor over one of them goes along (over the row itself, it hides
    // while the row does).
    if (GridState().Contains(gsEditing)) PlaceEditor();
  });
}

void TNxGrid::SetRowHeight(int ARow, int Value) {
  Operation([&] {
    CheckRow(ARow);
    if (Value < 0) throw EInvalidOperation(Format("Row height must not be negative (%d)", Value));
    TRow* R = FCellStore->GetRow(ARow);
    if (R->Height == Value) return;
    R->Height = Value;
    TNxCustomGrid::SetRowHeight(ARow, Value);
    if (GetRowShown(ARow)) {
      RefreshFrom(ARow);
      UpdateVertScrollBar();
      // The row and those below changed place: an open editor goes along.
      if (GridState().Contains(gsEditing)) PlaceEditor();
    }
  });
}

void TNxGrid::SetRowSize(int Value) {
  TNxCustomGrid::SetRowSize(Value);
  if (FCellStore) FCellStore->SetDefaultRowHeight(RowSize());
}

void TNxGrid::SetExpanded(int ARow, bool Value) {
  Operation([&] {
    CheckRow(ARow);
    if (Expanded(ARow) == Value) return;
    // The descendants show when every row up their chain of parents is expanded (those of a
    // collapsed child stay hidden), wherever they lie: after moves or a sort some may lie above the
    // row.
    // A top row the change hides gives the view to the shown row above it (a top row hidden
    // before stays: the view goes on from the next shown row, as it did).
    const bool TopShown = FFirstVisibleRow < GetRowCount() && GetRowShown(FFirstVisibleRow);
    const int Changed = FCellStore->SetRowExpanded(ARow, Value);
    RefreshRow(ARow);
    if (Changed >= 0) {
      FindShownRows();
      int From = std::min(ARow, Changed);
      if (TopShown && !GetRowShown(FFirstVisibleRow)) {
        const int Above = FindLastShownRow(FFirstVisibleRow);
        FFirstVisibleRow = Above >= 0 ? Above : std::max(FindFirstShownRow(0), 0);
        From = std::min(From, FFirstVisibleRow);
      }
      RefreshFrom(From);
      UpdateVertScrollBar();
      // The rows below moved: an editor over one of them goes along (over a row now hidden, it
      // hides while the row does).
      if (GridState().Contains(gsEditing)) PlaceEditor();
    }
    DoExpand(ARow);
  });
}

void TNxGrid::DoExpand(int ARow) {
  if (OnExpand) Call([&] { OnExpand(this, ARow); });
}

void TNxGrid::SetStartRowCount(int Value) {
  if (Value == FStartRowCount || Value < 0) return;
  Operation([&] {
    const int Old = FStartRowCount;
    if (Value > Old) {
      AddRow(Value - Old);
    } else {
      const int N = Old >= GetRowCount() ? GetRowCount() - Value : Old - Value;
      for (int I = 0; I < N && GetRowCount() > 0; ++I) DeleteRow(0);
    }
    FStartRowCount = Value;
    InvalidateGrid();
  });
}

// ---------------------------------------------------------------------------------------------
// Sorting and footers

void TNxGrid::SortColumn(TNxCustomColumn* Column, bool Ascending) {
  Operation([&] {
    // A sort the store refuses changes nothing: no editor closes, no event fires, the view stays.
    const bool Sorts = Column != nullptr && Column->Options().Contains(coCanSort) && Column->Columns() == Columns();
    if (Sorts) FCellStore->CheckSortable(Column->Index(), Column->SortType());
    // The handlers of the edit's end and OnSortColumn may take the column away.
    const TCellWatch Sorted(this, Sorts ? Column : nullptr, -1);
    TNxCustomGrid::SortColumn(Column, Ascending);
    if (!Sorts || Sorted.Col() < 0) return;
    // The records of the followed rows, found again where the sort put them.
    std::vector<std::pair<int, TRow*>> Before;
    for (const int I : {FSelectedRow, FAnchorRow, FEditRow, FUpdateScrollRow}) Before.push_back({I, RecordAt(I)});
    ForWatchedCells([&](TCellWatch& W) { Before.push_back({W.Row, RecordAt(W.Row)}); });
    const bool Selected = Before[0].second != nullptr;
    auto Settle = [&] {
      FollowRecords([&](int I) {
        for (const auto& [Index, Record] : Before)
          if (Index == I && Record != nullptr) return FCellStore->IndexOfRow(Record);
        return -1;
      });
      FindShownRows();
      // The view keeps its scroll position (the rows at it are others now), then shows the
      // selected record.
      FFirstVisibleRow = RowAtScrollPosition(VertScrollBar()->Position());
      UpdateVertScrollBar();
      if (Selected) ScrollToRow(FSelectedRow);
      InvalidateGrid();
    };
    Undoing([&] {
      FCellStore->Sort(Column->Index(), Column->SortType(), Ascending ? skAscending : skDescending,
                       Column->Options().Contains(coFullResort));
    }, Settle);
    Settle();
    // The view's scroll handler may have taken the column away.
    if (Sorted.Col() < 0) return;
    Columns()->SortDone();
    DoAfterSort(Sorted.Col());
  });
}

void TNxGrid::RecalculateFooters(bool AVisibleOnly) {
  Operation([&] { CalculateFooters(AVisibleOnly); });
}

void TNxGrid::CalculateFooters(bool AVisibleOnly) {
  // The handlers that count a row or give a custom value may change anything: a column or a row
  // that goes on the way counts no more.
  for (int C = 0; C < Columns()->Count(); ++C) {
    const TCellWatch Column(this, Columns()->Item(C), -1);
    if (Column.Column->Footer()->FormulaKind() == fkNone) continue;
    std::vector<int> Counting;
    for (int R = 0; R < GetRowCount(); ++R) {
      if (AVisibleOnly) {
        if (!GetRowShown(R)) continue;
        bool Accept = true;
        DoCalculateRow(R, Accept);
        if (Column.Col() != C) break;
        if (!Accept || R >= GetRowCount()) continue;
      }
      Counting.push_back(R);
    }
    if (Column.Col() != C) continue;
    const int Rows = GetRowCount();
    Counting.erase(std::remove_if(Counting.begin(), Counting.end(), [Rows](int R) { return R >= Rows; }), Counting.end());
    TColumnFooter* F = Column.Column->Footer();
    if (Counting.empty()) {
      F->SetCaption(L"");
      F->SetFormulaValue(0);
      continue;
    }
    double V = 0;
    switch (F->FormulaKind()) {
      case fkAverage:
      case fkSum:
        for (int R : Counting) V += GetCell(C, R)->AsFloat();
        if (F->FormulaKind() == fkAverage) V /= static_cast<double>(Counting.size());
        break;
      case fkCount: V = static_cast<double>(Counting.size()); break;
      case fkDistinct: {
        std::set<WideString> Texts;
        for (int R : Counting) Texts.insert(GetCell(C, R)->AsString());
        V = static_cast<double>(Texts.size());
        break;
      }
      case fkMaximum:
      case fkMinimum: {
        V = GetCell(C, Counting.front())->AsFloat();
        for (int R : Counting) {
          const double X = GetCell(C, R)->AsFloat();
          V = F->FormulaKind() == fkMaximum ? std::max(V, X) : std::min(V, X);
        }
        break;
      }
      case fkCustom:
        if (OnColumnFooterValue) Call([&] { OnColumnFooterValue(this, C, V); });
        if (Column.Col() != C) continue;
        break;
      case fkNone: break;
    }
    F->SetFormulaValue(V);
    // The caption holds the value's plain text: the footer's painting puts it through the format
    // mask and between TextBefore and TextAfter, once.
    F->SetCaption(AnsiToWide(FloatToStr(V)));
  }
}

// ---------------------------------------------------------------------------------------------
// Store callbacks and column changes

void TNxGrid::CellChanged(TObject*, int ACol, int ARow) {
  if (UpdateCount() > 0) return;
  RefreshCell(ACol, ARow);
  DoChange(ACol, ARow);
}

void TNxGrid::CompareCells(TObject*, TCell* Cell1, TCell* Cell2, int& Compare) {
  if (OnCompare) OnCompare(this, Cell1, Cell2, Compare);
}

void TNxGrid::ColumnsChanged(int ChangeKind, int Index, int Index2) {
  // The store follows first, so that the engine's notices already see the new column's cells.
  const int RowsBefore = GetRowCount();
  try {
    if (FCellStore) FCellStore->ColumnsChanged(ChangeKind, Index, Index2);
  } catch (...) {
    // A column the store cannot make cells for (memory ran out; the store is as it was) leaves
    // the column list again: the two never disagree.
    if (ChangeKind == cnAddColumn || ChangeKind == cnInsertColumn) Columns()->Withdraw(Index);
    throw;
  }
  Operation([&] {
    FollowEditedColumn();
    if (RowsBefore > 0 && GetRowCount() == 0) {
      // The last column went and took the rows with it.
      TNxCustomGrid::ClearRows();
      FFirstVisibleRow = FFirstShownRow = FLastShownRow = 0;
      UpdateVertScrollBar();
    }
    TNxCustomGrid::ColumnsChanged(ChangeKind, Index, Index2);
  });
}

void TNxGrid::ColumnChanged(TNxCustomColumn* Column, int Param, int Kind) {
  if (Kind == ccAppearance && Param == 1 && FCellStore && Column->Columns() == Columns()) {
    const int C = Column->Index();
    if (C >= 0 && C < FCellStore->ColumnCount()) {
      for (int R = 0; R < GetRowCount(); ++R) {
        TCell* Cell = FCellStore->GetCell(C, R);
        Cell->SetColor(Column->Color());
        Cell->SetFontStyle(Column->Font()->Style());
        Cell->SetFontColor(Column->Font()->Color());
      }
    }
  }
  TNxCustomGrid::ColumnChanged(Column, Param, Kind);
}

void TNxGrid::ColumnKindChanged(TNxCustomColumn* Column) {
  const int C = Column->Index();
  if (FCellStore && C >= 0 && C < FCellStore->ColumnCount()) FCellStore->RecreateColumn(C);
}
