#include "grid/NxCustomGridControl.h"

#include <algorithm>

// Selection and keyboard navigation of the grid engine.

// ---------------------------------------------------------------------------------------------
// Selection

void TNxCustomGridControl::SetSelectedCell(int ACol, int ARow) {
  FSelectedColumn = ACol;
  FSelectedRow = ARow;
  ++FSelections;
}

void TNxCustomGridControl::SelectCell(int ACol, int ARow, bool StartEdit, bool ClearMulti, TShiftState Shift) {
  Operation([&] {
    // The cell asked for, followed while the handlers on the way change what they like. After each
    // handler the selection goes on only while its cell is there and no newer selection was made
    // meanwhile (that one stands).
    const TCellWatch Cell(this, FColumns->IsValidIndex(ACol) ? FColumns->Item(ACol) : nullptr, ARow);
    const bool RowAsked = ARow >= 0;
    unsigned Mine = FSelections;
    auto Again = [&] {
      if (FSelections != Mine || (Cell.Column != nullptr && Cell.Col() < 0) || (RowAsked && Cell.Row < 0)) return false;
      if (Cell.Column != nullptr) ACol = Cell.Col();
      ARow = Cell.Row;
      return true;
    };
    bool Accept = CanSelectCell(ACol, ARow);
    DoBeforeSelect(ACol, ARow, Accept);
    if (!Accept || !Again()) return;
    const bool Ctrl = Shift.Contains(ssCtrl);
    const bool ShiftKey = Shift.Contains(ssShift);
    // Several selected rows let go close the editor, whichever cell is selected then.
    const bool LetGo = FGridState.Contains(gsRangeSelect) && !ShiftKey && !Ctrl && ClearMulti;
    if (LetGo) {
      ClearSelection();
      Mine = FSelections;
      if (!Again()) return;
    }
    if (!FColumns->IsValidIndex(ACol) || !FColumns->Item(ACol)->Enabled()) return;

    const int OldCol = FSelectedColumn;
    const TCellWatch Old(this, nullptr, FSelectedRow);
    const int& OldRow = Old.Row;
    SetSelectedCell(ACol, ARow);
    Mine = FSelections;
    // Stopped by its handlers once the old cell was let go: a single selected full row that is no
    // longer the selected one loses its flag (the selection that stands flagged its own row).
    auto Stop = [&] {
      if (FOptions.Contains(goSelectFullRow) && !FGridState.Contains(gsRangeSelect) && OldRow >= 0 &&
          OldRow != FSelectedRow && GetSelected(OldRow))
        SetSelected(OldRow, false);
    };
    const bool Changed = OldCol != ACol || OldRow != ARow;
    if (Changed && FColumns->IsValidIndex(OldCol) && OldRow >= 0 && OldRow < GetRowCount()) {
      DoDeselectCell(OldCol, OldRow);
      if (!Again()) return Stop();
    }
    if ((Changed || LetGo) && FGridState.Contains(gsEditing)) {
      EndEditing();
      if (!Again()) return Stop();
    }
    if (FAutoScroll && ARow >= 0 && ARow <= GetRowCount() - 1) {
      ScrollToRow(ARow);
      if (!Again()) return Stop();
    }
    if (FInputSelected) {
      if (ACol != OldCol) {
        DoInputSelectCell(ACol);
        if (!Again()) return Stop();
        RefreshColumnPart(FColumns->Item(ACol), gaInput);
        if (FColumns->IsValidIndex(OldCol)) RefreshColumnPart(FColumns->Item(OldCol), gaInput);
      }
      return;
    }
    const int Rows = GetRowCount();
    if (Rows == 0) return;

    if (FOptions.Contains(goSelectFullRow)) {
      const bool Multi = FOptions.Contains(goMultiSelect);
      if (Multi && Ctrl && !ShiftKey) {
        // Ctrl+click toggles the row and makes it the anchor of the next Shift+click.
        FAnchorRow = ARow;
        FGridState.Include(gsRangeSelect);
        SetSelected(ARow, !GetSelected(ARow));
        if (OldRow != ARow) {
          if (FGridStyle == gsSlides) RefreshSlide(OldRow, true);
          RefreshRow(OldRow, false);
        }
        DoSelectCell(ACol, ARow);
        return;
      }
      if (Multi && ShiftKey) {
        // Shift+click selects the rows from the anchor to the clicked row (Ctrl keeps the others).
        FGridState.Include(gsRangeSelect);
        const int Lo = std::min(FAnchorRow, ARow);
        const int Hi = std::max(FAnchorRow, ARow);
        if (!Ctrl) {
          for (int I = 0; I < Rows; ++I)
            if ((I < Lo || I > Hi) && GetSelected(I)) SetSelected(I, false);
        }
        if (FAnchorRow >= ARow)
          SelectRange(ARow, FAnchorRow, true);
        else
          SelectRange(FAnchorRow, ARow, true);
        if (OldRow != ARow) {
          RefreshRow(ARow, false);
          RefreshRow(OldRow, false);
          if (FGridStyle == gsSlides) {
            RefreshSlide(ARow, false);
            RefreshSlide(OldRow, false);
          }
        }
        DoSelectCell(ACol, ARow);
        return;
      }
      if (OldRow != ARow && !FGridState.Contains(gsRangeSelect)) SetSelected(OldRow, false);
      if (OldRow == ARow && FAppearanceOptions.Contains(aoIndicateSelectedCell) && OldCol != ACol) {
        RefreshCell(ACol, ARow);
        if (FColumns->IsValidIndex(OldCol)) RefreshCell(OldCol, OldRow);
      }
      SetSelected(ARow, true);
      FAnchorRow = ARow;
      if (FUpdateCount == 0) {
        if (FGridStyle == gsReport) {
          RefreshRow(ARow, false);
          RefreshRow(OldRow, false);
        } else {
          RefreshSlide(ARow, false);
          RefreshSlide(OldRow, false);
        }
      }
      DoSelectCell(ACol, ARow);
    } else {
      if (Changed) {
        if (OldRow != ARow) {
          if (FGridStyle == gsReport) {
            RefreshIndicatorRow(ARow);
            RefreshIndicatorRow(OldRow);
          } else {
            RefreshSlide(ARow, true);
            RefreshSlide(OldRow, true);
          }
        }
        RefreshCell(ACol, ARow);
        RefreshCell(OldCol, OldRow);
      }
      DoSelectCell(ACol, ARow);
    }
    // The editor opens on the cell this selection made, while it is still the selected one.
    if (StartEdit && Again()) EditCell(ACol, ARow, L"");
  });
}

void TNxCustomGridControl::KeepSelectionOnShownColumn() {
  if (!FColumns->IsValidIndex(FSelectedColumn)) return;
  TNxCustomColumn* Selected = FColumns->Item(FSelectedColumn);
  if (Selected->Visible()) return;
  TNxCustomColumn* To = FColumns->Next(Selected);
  if (To == nullptr) To = FColumns->Previous(Selected);
  if (To != nullptr) SetSelectedCell(To->Index(), FSelectedRow);
}

void TNxCustomGridControl::SelectColumn(int ACol) {
  if (FColumns->Count() > 0 && ACol >= 0 && ACol <= FColumns->Count() - 1) SelectCell(ACol, FSelectedRow, false, true, {});
}

void TNxCustomGridControl::SelectRow(int ARow) {
  Operation([&] {
    if (GetRowCount() < 1 || ARow < -1 || ARow > GetRowCount() - 1) return;
    const TCellWatch Row(this, nullptr, ARow);
    SetInputSelected(false);
    if (ARow >= 0 && Row.Row < 0) return;
    SelectCell(FSelectedColumn, Row.Row, false, true, {});
  });
}

void TNxCustomGridControl::SelectEndRow(bool Last, TShiftState Shift) {
  Operation([&] {
    // Without a row that can be seen there is no row to select, as without rows (a row kept for
    // later would show as selected when it shows, without its event).
    const TCellWatch Row(this, nullptr, Last ? SeenRowFrom(GetRowCount() - 1, -1) : SeenRowFrom(0, 1));
    if (Row.Row < 0) return;
    SetInputSelected(false);
    if (Row.Row < 0) return;
    SelectCell(FSelectedColumn, Row.Row, false, true, Shift);
    if (Last)
      VertScrollBar()->Last();
    else
      VertScrollBar()->First();
  });
}

void TNxCustomGridControl::SelectFirstRow(TShiftState Shift) { SelectEndRow(false, Shift); }

void TNxCustomGridControl::SelectLastRow(TShiftState Shift) { SelectEndRow(true, Shift); }

void TNxCustomGridControl::SelectColumnInView(TNxCustomColumn* AColumn) {
  Operation([&] {
    const TCellWatch Column(this, AColumn, -1);
    if (Column.Col() < 0) return;
    SelectColumn(Column.Col());
    if (Column.Col() >= 0) ScrollColumnIntoView(Column.Column);
  });
}

void TNxCustomGridControl::SelectFirstColumn() { SelectColumnInView(FColumns->First()); }

void TNxCustomGridControl::SelectLastColumn() { SelectColumnInView(FColumns->LastVisible()); }

void TNxCustomGridControl::DeselectAll() {
  for (int I = 0; I < GetRowCount(); ++I)
    if (GetSelected(I)) SetSelected(I, false);
}

void TNxCustomGridControl::ClearSelection() {
  Operation([&] {
    BeginUpdate();
    Undoing([&] { DeselectAll(); }, [&] { EndUpdate(); });
    EndUpdate();
    FGridState.Exclude(gsRangeSelect);
    SetSelectedCell(0, -1);
  });
}

void TNxCustomGridControl::SelectAll() {
  if (!IsMultiSelect()) return;
  Operation([&] {
    BeginUpdate();
    Undoing([&] {
      for (int I = 0; I < GetRowCount(); ++I) SetSelected(I, true);
    }, [&] { EndUpdate(); });
    FGridState.Include(gsRangeSelect);
    EndUpdate();
  });
}

void TNxCustomGridControl::SetInputSelected(bool Value) {
  if (Value == FInputSelected) return;
  Operation([&] {
    FInputSelected = Value;
    if (Value)
      SetSelected(FSelectedRow, false);
    else
      EndEditing();
    RefreshPart(gaInput);
    RefreshPart(gaIndicator);
    UpdateSelectionDisplay();
  });
}

bool TNxCustomGridControl::IsCellSelected(int ACol, int ARow) {
  if (FGridStyle == gsSlides && !FAppearanceOptions.Contains(aoHighlightSlideCells)) return false;
  if (FInputSelected) return false;
  if (FColumns->IsValidIndex(ACol) && FColumns->Item(ACol)->Options().Contains(coDontHighlight)) return false;
  if (!IsFocused() && FAppearanceOptions.Contains(aoHideSelection)) return false;
  const bool Editing = ACol == FEditCol && ARow == FEditRow;
  if (FOptions.Contains(goSelectFullRow)) {
    if (ARow < 0 || ARow >= GetRowCount() || !GetSelected(ARow)) return false;
    if (ACol != FSelectedColumn || ARow != FSelectedRow) return true;
    return !FAppearanceOptions.Contains(aoIndicateSelectedCell) && !Editing;
  }
  return ACol == FSelectedColumn && ARow == FSelectedRow && !Editing;
}

// ---------------------------------------------------------------------------------------------
// Keyboard navigation

void TNxCustomGridControl::MoveDown(TShiftState Shift, bool LeaveAtEnd, bool WrapAtEnd) {
  Operation([&] {
    const int Rows = GetRowCount();
    if (Rows == 0) return;
    int From = FSelectedRow;
    if (FInputSelected) {
      // The input line lies above the first row: stepping down from it reaches the first row.
      SetInputSelected(false);
      From = -1;
    } else if (FSelectedRow < 0) {
      return;
    }
    // Rows that cannot be seen are passed over, as if they were not there.
    if (From >= SeenRowFrom(GetRowCount() - 1, -1)) {
      if (LeaveAtEnd) FocusNextControl(Parent());
      if (WrapAtEnd) SelectFirstRow({});
      return;
    }
    for (int R = SeenRowFrom(From + 1, 1); R >= 0; R = SeenRowFrom(R + 1, 1)) {
      if (!CanSelectCell(FSelectedColumn, R)) continue;
      const bool AutoEdit = FColumns->IsValidIndex(FSelectedColumn) && FColumns->Item(FSelectedColumn)->AutoEdit();
      const TCellWatch Row(this, nullptr, R);
      SelectCell(FSelectedColumn, R, AutoEdit, true, Shift);
      // The row the selection went to comes into view (not one its handlers chose instead).
      if (Row.Row >= 0 && Row.Row == FSelectedRow && Row.Row > GetLastFullyVisibleRow()) ScrollToRow(Row.Row);
      return;
    }
  });
}

void TNxCustomGridControl::MoveUp(TShiftState Shift) {
  Operation([&] {
    if (FSelectedRow < 0) return;
    // Above the first row that can be seen lies the input line.
    const bool NoneAbove = SeenRowFrom(std::min(FSelectedRow, GetRowCount()) - 1, -1) < 0;
    if (NoneAbove && !FInputSelected && FOptions.Contains(goInput) && FGridStyle == gsReport) {
      SetInputSelected(true);
      return;
    }
    if (FInputSelected) return;
    for (int R = SeenRowFrom(std::min(FSelectedRow, GetRowCount()) - 1, -1); R >= 0; R = SeenRowFrom(R - 1, -1)) {
      if (!CanSelectCell(FSelectedColumn, R)) continue;
      const bool AutoEdit = FColumns->IsValidIndex(FSelectedColumn) && FColumns->Item(FSelectedColumn)->AutoEdit();
      const TCellWatch Row(this, nullptr, R);
      SelectCell(FSelectedColumn, R, AutoEdit, true, Shift);
      // The row comes into view however far above the view it lies.
      if (Row.Row >= 0 && Row.Row == FSelectedRow && Row.Row < FFirstVisibleRow) ScrollToRow(Row.Row);
      return;
    }
  });
}

void TNxCustomGridControl::MoveLeft(TMoveSelectionKey Key) {
  Operation([&] {
    if (FColumns->IsValidIndex(FSelectedColumn)) MoveToColumn(FColumns->Previous(FColumns->Item(FSelectedColumn)), Key);
  });
}

void TNxCustomGridControl::MoveRight(TMoveSelectionKey Key) {
  Operation([&] {
    if (FColumns->IsValidIndex(FSelectedColumn)) MoveToColumn(FColumns->Next(FColumns->Item(FSelectedColumn)), Key);
  });
}

void TNxCustomGridControl::MoveToColumn(TNxCustomColumn* Column, TMoveSelectionKey Key) {
  if (Column == nullptr) return;
  int ACol = Column->Index();
  DoSelectionMove(ACol, FSelectedRow, Key);
  if (!FColumns->IsValidIndex(ACol)) return;
  const TCellWatch Target(this, FColumns->Item(ACol), -1);
  SelectCell(ACol, FSelectedRow, FColumns->Item(ACol)->AutoEdit(), true, {});
  if (FGridStyle == gsReport && Target.Col() >= 0) ScrollColumnIntoView(Target.Column);
}

void TNxCustomGridControl::WrapToColumn(TNxCustomColumn* Column, TMoveSelectionKey Key) {
  if (Column == nullptr) return;
  int ACol = Column->Index();
  DoSelectionMove(ACol, FSelectedRow, Key);
  SelectColumn(ACol);
}

void TNxCustomGridControl::TabForward(bool FromTabKey) {
  Operation([&] {
    if (!FColumns->IsValidIndex(FSelectedColumn)) return;
    const TMoveSelectionKey Key = FromTabKey ? mkTab : mkUndefined;
    if (FColumns->Next(FColumns->Item(FSelectedColumn)) != nullptr) {
      MoveRight(Key);
      return;
    }
    if (FInputSelected) {
      if (FTabLeaveControl) FocusNextControl(Parent());
      return;
    }
    MoveDown({}, FromTabKey && FTabLeaveControl, FromTabKey);
    WrapToColumn(FColumns->First(), Key);
  });
}

void TNxCustomGridControl::TabBackward(bool FromTabKey) {
  Operation([&] {
    if (!FColumns->IsValidIndex(FSelectedColumn)) return;
    const TMoveSelectionKey Key = FromTabKey ? mkTab : mkUndefined;
    if (FColumns->Previous(FColumns->Item(FSelectedColumn)) != nullptr) {
      MoveLeft(Key);
      return;
    }
    if (!FInputSelected && SeenRowFrom(std::min(FSelectedRow, GetRowCount()) - 1, -1) >= 0) {
      MoveUp({});
      WrapToColumn(FColumns->Last(), Key);
      return;
    }
    if (FTabLeaveControl) FocusPreviousControl(Parent());
  });
}

void TNxCustomGridControl::MoveSelectionBy(int N) {
  const int R = FSelectedRow;
  if (R < 0 || N == 0) return;
  // The row |N| shown rows away, found by the count of shown rows rather than by a walk over
  // them; the last (first) shown row when fewer lie that way, the row itself when none does.
  int Target = R;
  if (R < GetRowCount()) {
    const int Shown = CountShownRows(0, GetRowCount());
    if (N > 0) {
      const int UpToR = CountShownRows(0, R + 1);
      if (UpToR < Shown) Target = RowAtScrollPosition(std::min(UpToR + N - 1, Shown - 1));
    } else {
      const int BeforeR = CountShownRows(0, R);
      if (BeforeR > 0) Target = RowAtScrollPosition(std::max(BeforeR + N, 0));
    }
  }
  // A row that cannot be seen gives way to the next one that can, that way or else back; when
  // none lies that way of the selected row, the selection stays.
  if (!RowCanBeSeen(Target)) {
    const int Step = N > 0 ? 1 : -1;
    int Seen = SeenRowFrom(Target, Step);
    if (Seen < 0) Seen = SeenRowFrom(Target, -Step);
    if (Seen < 0 || (Seen - R) * Step <= 0) return;
    Target = Seen;
  }
  SelectRow(Target);
}

