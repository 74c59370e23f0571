#include "grid/NxCustomGridControl.h"

#include <algorithm>

#include "framework/Strings.h"

namespace {

// Darker by Amount in each channel (system colours resolved first).
TColor Darker(TColor Color, int Amount) {
  const COLORREF C = ColorToRGB(Color);
  const int R = std::max(static_cast<int>(GetRValue(C)) - Amount, 0);
  const int G = std::max(static_cast<int>(GetGValue(C)) - Amount, 0);
  const int B = std::max(static_cast<int>(GetBValue(C)) - Amount, 0);
  return static_cast<TColor>(RGB(R, G, B));
}

// A mixed with B by Weight (0..1) of B.
TColor Blend(TColor A, TColor B, double Weight) {
  const COLORREF X = ColorToRGB(A);
  const COLORREF Y = ColorToRGB(B);
  auto Mix = [Weight](int P, int Q) { return static_cast<int>(P + (Q - P) * Weight); };
  return static_cast<TColor>(RGB(Mix(GetRValue(X), GetRValue(Y)), Mix(GetGValue(X), GetGValue(Y)),
                                 Mix(GetBValue(X), GetBValue(Y))));
}

bool Intersects(const TRect& A, const TRect& B) {
  return A.Left < B.Right && B.Left < A.Right && A.Top < B.Bottom && B.Top < A.Bottom;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction

TNxCustomGridControl::TNxCustomGridControl(TComponent* AOwner) : TNxScrollControl(AOwner) {
  FColumns = std::make_unique<TNxColumns>(this);
  FColumns->OnColumnChanged = [this](TNxCustomColumn* C, int Param, int Kind) { ColumnChanged(C, Param, Kind); };
  FColumns->OnColumnNotify = [this](int Kind) { ColumnNotify(Kind); };
  FColumns->OnColumnsChanged = [this](int Kind, int Index, int Index2) { ColumnsChanged(Kind, Index, Index2); };
  FColumns->BodyWidth = [this] { return GetColumnsAreaWidth(); };
  FColor = clWindow;
  FParentColor = false;
  SetBounds(Left(), Top(), 250, 150);
  SetTabStop(true);
  UpdateLineWidths();
}

TNxCustomGridControl::~TNxCustomGridControl() {
  FColumns->OnColumnChanged = nullptr;
  FColumns->OnColumnNotify = nullptr;
  FColumns->OnColumnsChanged = nullptr;
  FColumns->BodyWidth = nullptr;
}

void TNxCustomGridControl::CreateParams(TCreateParams& Params) {
  TNxScrollControl::CreateParams(Params);
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_STATICEDGE;
  Params.WindowClass.style &= ~static_cast<UINT>(CS_HREDRAW | CS_VREDRAW);
}

void TNxCustomGridControl::CreateWnd() {
  TNxScrollControl::CreateWnd();
  UpdateColumnsLayout();
  UpdateHorzScrollBar();
  UpdateVertScrollBar();
}

void TNxCustomGridControl::CMTextChanged(TMessage& M) {
  TNxScrollControl::CMTextChanged(M);
  RefreshPart(gaBody);
}

void TNxCustomGridControl::CMFontChanged(TMessage& M) {
  TNxScrollControl::CMFontChanged(M);
  for (int I = 0; I < FColumns->Count(); ++I)
    if (FColumns->Item(I)->ParentFont()) FColumns->Item(I)->SetParentFont(true);
  InvalidateGrid();
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
}

void TNxCustomGridControl::SetFixedCols(int Value) {
  FColumns->SetFixedCols(Value);
  InvalidateGrid();
}

void TNxCustomGridControl::SetFooterSize(int Value) {
  FFooterSize = Value;
  InvalidateGrid();
}

void TNxCustomGridControl::SetGridLinesColor(TColor Value) {
  FGridLinesColor = Value;
  InvalidateGrid();
}

void TNxCustomGridControl::SetGridLinesStyle(TGridLinesStyle Value) {
  FGridLinesStyle = Value;
  UpdateLineWidths();
  InvalidateGrid();
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
  FHeaderSize = Value;
  InvalidateGrid();
  PlaceEditor();
  UpdateVertScrollBar();
}

void TNxCustomGridControl::SetHeaderStyle(THeaderStyle Value) {
  if (Value == FHeaderStyle) return;
  FHeaderStyle = Value;
  InvalidateGrid();
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
  FInputSize = Value;
  InvalidateGrid();
}

void TNxCustomGridControl::SetOptions(TGridOptions Value) {
  const bool IndicatorChanged = Value.Contains(goIndicator) != FOptions.Contains(goIndicator);
  if (IndicatorChanged && OnIndicatorChange) OnIndicatorChange(this);
  FOptions = Value;
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
  FSlideSize = Value;
  UpdateVertScrollBar();
  InvalidateGrid();
}

void TNxCustomGridControl::SetSortedStyle(TSortedStyle Value) {
  FSortedStyle = Value;
  InvalidateGrid();
}

bool TNxCustomGridControl::IsFocused() { return HandleAllocated() && GetFocus() == Handle(); }

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
  AnsiString S(1, Separator);
  const int Rows = GetRowCount();
  const int Cols = FColumns->Count();
  for (int R = 0; R < Rows; ++R) {
    for (int C = 0; C < Cols; ++C) {
      S += WideToAnsi(StringReplace(GetCells(C, R), WideString(L"\r\n"), WideString(L"%\r\n"), true, false));
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
  FSelectedColumn = 0;
  FSelectedRow = -1;
  FAnchorRow = -1;
  FGridState.Exclude(gsRangeSelect);
  EndEditing();
}

void TNxCustomGridControl::DeleteRow(int ARow) { EndEditing(); }

void TNxCustomGridControl::MoveRow(int FromIndex, int ToIndex) {
  InvalidateGrid();
  EndEditing();
}

void TNxCustomGridControl::SetRowHeight(int Index, int Height) { DoChangeRowHeight(Index, Height); }

void TNxCustomGridControl::SortColumn(TNxCustomColumn* Column, bool Ascending) {
  if (Column == nullptr || !Column->Options().Contains(coCanSort)) return;
  EndEditing();
  FSortedColumn = Column;
  DoSortColumn(Column->Index(), Column->SortKind() == skAscending);
}

// ---------------------------------------------------------------------------------------------
// Selection

void TNxCustomGridControl::SetSelectedCell(int ACol, int ARow) {
  FSelectedColumn = ACol;
  FSelectedRow = ARow;
}

void TNxCustomGridControl::SelectCell(int ACol, int ARow, bool StartEdit, bool ClearMulti, TShiftState Shift) {
  bool Accept = CanSelectCell(ACol, ARow);
  DoBeforeSelect(ACol, ARow, Accept);
  if (!Accept) return;
  const bool Ctrl = Shift.Contains(ssCtrl);
  const bool ShiftKey = Shift.Contains(ssShift);
  if (FGridState.Contains(gsRangeSelect) && !ShiftKey && !Ctrl && ClearMulti) ClearSelection();
  if (!FColumns->IsValidIndex(ACol) || !FColumns->Item(ACol)->Enabled()) return;

  const int OldCol = FSelectedColumn;
  const int OldRow = FSelectedRow;
  FSelectedColumn = ACol;
  FSelectedRow = ARow;
  const int Rows = GetRowCount();
  const bool Changed = OldCol != ACol || OldRow != ARow;
  if (Changed) {
    if (OldCol >= 0 && OldCol < FColumns->Count() && OldRow >= 0 && OldRow < Rows) DoDeselectCell(OldCol, OldRow);
    if (FGridState.Contains(gsEditing)) EndEditing();
  }
  if (FAutoScroll && ARow >= 0 && ARow <= Rows - 1) ScrollToRow(ARow);
  if (FInputSelected) {
    if (ACol != OldCol) {
      DoInputSelectCell(ACol);
      RefreshColumnPart(FColumns->Item(ACol), gaInput);
      if (FColumns->IsValidIndex(OldCol)) RefreshColumnPart(FColumns->Item(OldCol), gaInput);
    }
    return;
  }
  if (Rows == 0) return;

  if (FOptions.Contains(goSelectFullRow)) {
    const bool Multi = FOptions.Contains(goMultiSelect);
    if (Multi && Ctrl && !ShiftKey) {
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
    if (OldRow != ARow && !FGridState.Contains(gsRangeSelect) && OldRow >= 0 && OldRow < Rows)
      SetSelected(OldRow, false);
    if (OldRow == ARow && FAppearanceOptions.Contains(aoIndicateSelectedCell) && OldCol != ACol) {
      RefreshCell(ACol, ARow);
      if (FColumns->IsValidIndex(OldCol)) RefreshCell(OldCol, OldRow);
    }
    if (ARow >= 0 && ARow < Rows) SetSelected(ARow, true);
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
  if (StartEdit) EditCell(ACol, ARow, L"");
}

void TNxCustomGridControl::SelectColumn(int ACol) {
  if (FColumns->Count() > 0 && ACol >= 0 && ACol <= FColumns->Count() - 1) SelectCell(ACol, FSelectedRow, false, true, {});
}

void TNxCustomGridControl::SelectRow(int ARow) {
  if (GetRowCount() >= 1 && ARow >= -1 && ARow <= GetRowCount() - 1) {
    SetInputSelected(false);
    SelectCell(FSelectedColumn, ARow, false, true, {});
  }
}

void TNxCustomGridControl::SelectFirstRow(TShiftState Shift) {
  SetInputSelected(false);
  SelectCell(FSelectedColumn, GetFirstShownRow(), false, true, Shift);
  VertScrollBar()->First();
}

void TNxCustomGridControl::SelectLastRow(TShiftState Shift) {
  SetInputSelected(false);
  SelectCell(FSelectedColumn, GetLastShownRow(), false, true, Shift);
  VertScrollBar()->Last();
}

void TNxCustomGridControl::SelectFirstColumn() {
  if (TNxCustomColumn* C = FColumns->First()) {
    SelectColumn(C->Index());
    ScrollColumnIntoView(C);
  }
}

void TNxCustomGridControl::SelectLastColumn() {
  for (int P = FColumns->Count() - 1; P >= 0; --P) {
    TNxCustomColumn* C = FColumns->ItemByPosition(P);
    if (!C->Visible()) continue;
    SelectColumn(C->Index());
    ScrollColumnIntoView(C);
    return;
  }
}

void TNxCustomGridControl::DeselectAll() {
  for (int I = 0; I < GetRowCount(); ++I)
    if (GetSelected(I)) SetSelected(I, false);
}

void TNxCustomGridControl::ClearSelection() {
  BeginUpdate();
  try {
    DeselectAll();
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  FGridState.Exclude(gsRangeSelect);
  FSelectedRow = -1;
  FSelectedColumn = 0;
}

void TNxCustomGridControl::SelectAll() {
  if (!IsMultiSelect()) return;
  BeginUpdate();
  try {
    for (int I = 0; I < GetRowCount(); ++I) SetSelected(I, true);
  } catch (...) {
    EndUpdate();
    throw;
  }
  FGridState.Include(gsRangeSelect);
  EndUpdate();
}

void TNxCustomGridControl::SetInputSelected(bool Value) {
  if (Value == FInputSelected) return;
  FInputSelected = Value;
  if (Value) {
    if (FSelectedRow >= 0 && FSelectedRow < GetRowCount()) SetSelected(FSelectedRow, false);
  } else {
    EndEditing();
  }
  RefreshPart(gaInput);
  RefreshPart(gaIndicator);
  UpdateSelectionDisplay();
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
  const int Rows = GetRowCount();
  if (Rows == 0) return;
  int From = FSelectedRow;
  if (FInputSelected) {
    SetInputSelected(false);
    From = -1;
  } else if (FSelectedRow < 0) {
    return;
  }
  if (From >= GetLastShownRow()) {
    if (LeaveAtEnd && Parent() != nullptr && Parent()->HandleAllocated())
      PostMessageW(Parent()->Handle(), WM_KEYDOWN, VK_TAB, 0);
    else if (WrapAtEnd)
      SelectFirstRow({});
    return;
  }
  for (int R = From + 1; R < Rows; ++R) {
    if (!GetRowShown(R) || !CanSelectCell(FSelectedColumn, R)) continue;
    const bool AutoEdit = FColumns->IsValidIndex(FSelectedColumn) && FColumns->Item(FSelectedColumn)->AutoEdit();
    SelectCell(FSelectedColumn, R, AutoEdit, true, Shift);
    if (R > GetLastFullyVisibleRow()) ScrollToRow(R);
    return;
  }
}

void TNxCustomGridControl::MoveUp(TShiftState Shift) {
  if (FSelectedRow < 0) return;
  if (FSelectedRow == GetFirstShownRow() && FOptions.Contains(goInput) && FGridStyle == gsReport) {
    SetInputSelected(true);
    return;
  }
  if (FInputSelected) return;
  for (int R = std::min(FSelectedRow, GetRowCount()) - 1; R >= 0; --R) {
    if (!GetRowShown(R) || !CanSelectCell(FSelectedColumn, R)) continue;
    const bool AutoEdit = FColumns->IsValidIndex(FSelectedColumn) && FColumns->Item(FSelectedColumn)->AutoEdit();
    SelectCell(FSelectedColumn, R, AutoEdit, true, Shift);
    if (R < FFirstVisibleRow) ScrollToRow(R);
    return;
  }
}

void TNxCustomGridControl::MoveLeft(TMoveSelectionKey Key) {
  if (!FColumns->IsValidIndex(FSelectedColumn)) return;
  TNxCustomColumn* C = FColumns->Previous(FColumns->Item(FSelectedColumn));
  if (C == nullptr) return;
  int ACol = C->Index();
  DoSelectionMove(ACol, FSelectedRow, Key);
  if (!FColumns->IsValidIndex(ACol)) return;
  SelectCell(ACol, FSelectedRow, FColumns->Item(ACol)->AutoEdit(), true, {});
  if (FGridStyle == gsReport) ScrollColumnIntoView(FColumns->Item(ACol));
}

void TNxCustomGridControl::MoveRight(TMoveSelectionKey Key) {
  if (!FColumns->IsValidIndex(FSelectedColumn)) return;
  TNxCustomColumn* C = FColumns->Next(FColumns->Item(FSelectedColumn));
  if (C == nullptr) return;
  int ACol = C->Index();
  DoSelectionMove(ACol, FSelectedRow, Key);
  if (!FColumns->IsValidIndex(ACol)) return;
  SelectCell(ACol, FSelectedRow, FColumns->Item(ACol)->AutoEdit(), true, {});
  if (FGridStyle == gsReport) ScrollColumnIntoView(FColumns->Item(ACol));
}

void TNxCustomGridControl::TabForward(bool FromTabKey) {
  if (!FColumns->IsValidIndex(FSelectedColumn)) return;
  const TMoveSelectionKey Key = FromTabKey ? mkTab : mkUndefined;
  TNxCustomColumn* Cur = FColumns->Item(FSelectedColumn);
  if (FColumns->Next(Cur) != nullptr) {
    MoveRight(Key);
    return;
  }
  if (FInputSelected) {
    if (FTabLeaveControl && Parent() != nullptr && Parent()->HandleAllocated())
      PostMessageW(Parent()->Handle(), WM_KEYDOWN, VK_TAB, 0);
    return;
  }
  MoveDown({}, FromTabKey && FTabLeaveControl, FromTabKey);
  TNxCustomColumn* First = FColumns->First();
  if (First == nullptr) return;
  int ACol = First->Index();
  DoSelectionMove(ACol, FSelectedRow, Key);
  SelectColumn(ACol);
}

void TNxCustomGridControl::TabBackward(bool FromTabKey) {
  if (!FColumns->IsValidIndex(FSelectedColumn)) return;
  const TMoveSelectionKey Key = FromTabKey ? mkTab : mkUndefined;
  TNxCustomColumn* Cur = FColumns->Item(FSelectedColumn);
  if (FColumns->Previous(Cur) != nullptr) {
    MoveLeft(Key);
    return;
  }
  if (!FInputSelected && FSelectedRow > GetFirstShownRow()) {
    MoveUp({});
    TNxCustomColumn* Last = FColumns->Last();
    if (Last == nullptr) return;
    int ACol = Last->Index();
    DoSelectionMove(ACol, FSelectedRow, Key);
    SelectColumn(ACol);
    return;
  }
  if (FTabLeaveControl && Parent() != nullptr && Parent()->HandleAllocated()) {
    PostMessageW(Parent()->Handle(), WM_KEYDOWN, VK_SHIFT, 0);
    PostMessageW(Parent()->Handle(), WM_KEYDOWN, VK_TAB, 0);
  }
}

void TNxCustomGridControl::MoveSelectionBy(int N) {
  int R = FSelectedRow;
  if (R < 0) return;
  int Steps = std::abs(N);
  const int Dir = N > 0 ? 1 : -1;
  int Target = R;
  while (Steps > 0) {
    R += Dir;
    if (Dir > 0 && R > GetLastShownRow()) break;
    if (Dir < 0 && R < GetFirstShownRow()) break;
    if (R < 0 || R >= GetRowCount()) break;
    if (!GetRowShown(R)) continue;
    Target = R;
    --Steps;
  }
  SelectRow(Target);
}

// ---------------------------------------------------------------------------------------------
// Editing

void TNxCustomGridControl::EditCell(int ACol, int ARow, const WideString& InitialText) {
  // Opening an editor needs the column's in-place editor; columns get one with the editor unit.
}

bool TNxCustomGridControl::ApplyEditing() { return false; }

void TNxCustomGridControl::EndEditing() {
  if (!FGridState.Contains(gsEditing) && !FGridState.Contains(gsInputEditing)) return;
  const int Col = FEditCol;
  const int Row = FEditRow;
  FGridState.Exclude(gsEditing);
  FGridState.Exclude(gsInputEditing);
  FEditCol = FEditRow = -1;
  if (FInputColumn != -1) FInputColumn = -1;
  if (Row >= 0) RefreshCell(Col, Row);
}

void TNxCustomGridControl::AddInputRow() {
  bool Accept = true;
  if (OnInputAccept) OnInputAccept(this, Accept);
  if (!Accept) return;
  AddRow(1);
  for (int C = 0; C < FColumns->Count(); ++C) {
    TNxCustomColumn* Col = FColumns->Item(C);
    const WideString V = Col->InputValue().empty() ? Col->DefaultValue() : Col->InputValue();
    if (!V.empty()) SetCells(C, GetRowCount() - 1, V);
    Col->SetInputValue(L"");
  }
  if (OnInputAdded) OnInputAdded(this);
}

void TNxCustomGridControl::PlaceEditor() {
  // No editor is attached yet (see EditCell).
}

// ---------------------------------------------------------------------------------------------
// Geometry

TRect TNxCustomGridControl::GetBodyRect() {
  const TRect C = ClientRect();
  if (FGridStyle == gsSlides) {
    TRect R = C;
    if (FOptions.Contains(goHeader)) R.Top += FHeaderSize;
    return R;
  }
  const int Ind = GetIndicatorWidth();
  TRect R;
  R.Left = Ind;
  R.Top = (FOptions.Contains(goHeader) ? FHeaderSize : 0) + (FOptions.Contains(goInput) ? FInputSize + 6 + FBottomLine : 0);
  R.Right = std::min(FColumns->TotalWidth() - HorzScrollBar()->Position() + Ind, C.Width());
  R.Bottom = FOptions.Contains(goFooter) ? C.Height() - FFooterSize - 4 - FBottomLine : C.Height();
  return R;
}

TRect TNxCustomGridControl::GetHeaderRect() {
  const int Ind = GetIndicatorWidth();
  return Rect(Ind, 0, FColumns->TotalWidth() - HorzScrollBar()->Position() + Ind, FHeaderSize);
}

TRect TNxCustomGridControl::GetFooterRect() {
  if (FGridStyle == gsSlides) return TRect{};
  const int Ind = GetIndicatorWidth();
  const int H = ClientHeight();
  return Rect(Ind, H - (FFooterSize + 4) - FBottomLine, FColumns->TotalWidth() - HorzScrollBar()->Position() + Ind, H);
}

TRect TNxCustomGridControl::GetInputRect() {
  const int Ind = GetIndicatorWidth();
  const int Top = FOptions.Contains(goHeader) ? FHeaderSize : 0;
  return Rect(Ind, Top, FColumns->TotalWidth() - HorzScrollBar()->Position() + Ind, Top + FInputSize + 6 + FBottomLine);
}

TRect TNxCustomGridControl::GetIndicatorRect() { return Rect(0, 0, IndicatorWidth, ClientHeight()); }

TRect TNxCustomGridControl::GetInputCellRect(TNxCustomColumn* Column) {
  const TRect I = GetInputRect();
  const int L = Column->Left() - HorzScrollBar()->Position();
  return Bounds(L, I.Top, Column->Width(), FInputSize);
}

int TNxCustomGridControl::GetRowPitch(int ARow) {
  if (FGridStyle == gsSlides) return std::max(FSlideSize, 0);
  if (ARow < 0 || ARow >= GetRowCount()) return FRowSize;
  // A height handler may answer anything; rows never take negative space.
  return std::max(GetRowHeight(ARow), 0);
}

int TNxCustomGridControl::GetRowTop(int ARow) {
  int T = GetBodyRect().Top + FTopLine;
  const int Rows = GetRowCount();
  if (ARow >= FFirstVisibleRow) {
    for (int R = FFirstVisibleRow; R < ARow; ++R) {
      if (R < Rows && !GetRowShown(R)) continue;
      T += GetRowPitch(R) + RowGap();
    }
  } else {
    for (int R = ARow; R < FFirstVisibleRow; ++R) {
      if (R >= 0 && R < Rows && !GetRowShown(R)) continue;
      T -= GetRowPitch(R) + RowGap();
    }
  }
  return T;
}

bool TNxCustomGridControl::GetVisibleRowTop(int ARow, int& Top) {
  if (ARow < FFirstVisibleRow) return false;
  const TRect B = GetBodyRect();
  const int Rows = GetRowCount();
  int T = B.Top + FTopLine;
  for (int R = FFirstVisibleRow; R < ARow; ++R) {
    if (T >= B.Bottom) return false;
    if (R < Rows && !GetRowShown(R)) continue;
    T += GetRowPitch(R) + RowGap();
  }
  if (T >= B.Bottom) return false;
  Top = T;
  return true;
}

TRect TNxCustomGridControl::GetRowRect(int ARow) {
  const int T = GetRowTop(ARow);
  return Rect(0, T, GetBodyRect().Right, T + GetRowPitch(ARow) + FBottomLine);
}

TRect TNxCustomGridControl::GetCellRect(int ACol, int ARow) {
  TNxCustomColumn* C = FColumns->Item(ACol);
  if (FGridStyle == gsSlides) {
    const TRect S = GetSlideRect(ARow);
    TNxSlideBounds* B = C->SlideBounds();
    return Bounds(B->Left(), S.Top + B->Top(), B->Width(), B->Height());
  }
  int L = C->Left();
  if (C->Position() >= FColumns->FixedCols()) L -= HorzScrollBar()->Position();
  const int T = GetRowTop(ARow);
  return Rect(L, T, L + C->Width(), T + GetRowPitch(ARow));
}

TRect TNxCustomGridControl::GetSlideRect(int ARow) {
  const int T = GetRowTop(ARow);
  return Rect(0, T, ClientWidth(), T + FSlideSize);
}

TRect TNxCustomGridControl::GetScrollClipRect() {
  return Rect(FColumns->FixedWidth() + GetIndicatorWidth(), 0, ClientWidth(), ClientHeight());
}

int TNxCustomGridControl::GetColumnsAreaWidth() {
  int W = ClientWidth();
  if (FGridStyle == gsReport) W -= GetIndicatorWidth();
  return W;
}

int TNxCustomGridControl::GetHorzScrollMax() {
  return std::max(0, FColumns->TotalWidth() - (ClientWidth() - GetIndicatorWidth()));
}

int TNxCustomGridControl::GetRowsPerPage(bool CountAbove) {
  const TRect B = GetBodyRect();
  const int Height = B.Height();
  int Used = 0;
  int N = 0;
  const int Rows = GetRowCount();
  for (int R = FFirstVisibleRow;; ++R) {
    if (R < Rows && !GetRowShown(R)) continue;
    const int P = GetRowPitch(R) + RowGap();
    if (P <= 0 || Used + P > Height) break;
    Used += P;
    ++N;
  }
  if (CountAbove) {
    for (int R = FFirstVisibleRow - 1; R >= 0; --R) {
      if (!GetRowShown(R)) continue;
      const int P = GetRowPitch(R) + RowGap();
      if (Used + P > Height) break;
      Used += P;
      ++N;
    }
  }
  return N;
}

int TNxCustomGridControl::GetLastFullyVisibleRow() {
  const int Bottom = GetBodyRect().Bottom;
  int Y = GetBodyRect().Top + FTopLine;
  int Last = FFirstVisibleRow - 1;
  for (int R = FFirstVisibleRow; R < GetRowCount(); ++R) {
    if (!GetRowShown(R)) continue;
    Y += GetRowPitch(R);
    if (Y > Bottom) break;
    Last = R;
    Y += RowGap();
  }
  return Last;
}

int TNxCustomGridControl::GetRowIndexBelow(int N) {
  int Last = FFirstVisibleRow;
  int Count = 0;
  for (int R = FFirstVisibleRow; R < GetRowCount(); ++R) {
    if (!GetRowShown(R)) continue;
    Last = R;
    if (Count == N) break;
    ++Count;
  }
  return Last;
}

int TNxCustomGridControl::CountShownRows(int From, int To) {
  int N = 0;
  for (int R = std::max(From, 0); R < std::min(To, GetRowCount()); ++R)
    if (GetRowShown(R)) ++N;
  return N;
}

int TNxCustomGridControl::RowAtScrollPosition(int Pos) {
  const int Rows = GetRowCount();
  int Seen = 0;
  int R = 0;
  for (; R < Rows && Seen < Pos; ++R)
    if (GetRowShown(R)) ++Seen;
  while (R < Rows && !GetRowShown(R)) ++R;
  return std::min(R, std::max(Rows - 1, 0));
}

// ---------------------------------------------------------------------------------------------
// Refresh

void TNxCustomGridControl::RefreshRect(const TRect& Rect) {
  if (!HandleAllocated() || Rect.IsEmpty()) return;
  RECT R{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
  InvalidateRect(Handle(), &R, FALSE);
}

void TNxCustomGridControl::InvalidateGrid() {
  if (HandleAllocated()) InvalidateRect(Handle(), nullptr, FALSE);
}

void TNxCustomGridControl::RefreshPart(TGridArea Area) {
  switch (Area) {
    case gaBody: {
      TRect R = GetBodyRect();
      R.Right = ClientWidth();
      RefreshRect(R);
      break;
    }
    case gaFooter:
      if (FOptions.Contains(goFooter)) RefreshRect(GetFooterRect());
      break;
    case gaHeader:
      if (FOptions.Contains(goHeader)) RefreshRect(GetHeaderRect());
      break;
    case gaIndicator:
      if (FOptions.Contains(goIndicator)) RefreshRect(GetIndicatorRect());
      break;
    case gaInput:
      if (FOptions.Contains(goInput)) RefreshRect(GetInputRect());
      break;
    default:
      break;
  }
}

void TNxCustomGridControl::RefreshCell(int ACol, int ARow) {
  if (!FColumns->IsValidIndex(ACol) || ARow < 0 || ARow >= GetRowCount() || !HandleAllocated()) return;
  int Top;
  if (FGridStyle == gsReport && !GetVisibleRowTop(ARow, Top)) return;
  TRect R = GetCellRect(ACol, ARow);
  R.Right += FBottomLine;
  R.Bottom += FBottomLine;
  RefreshRect(R);
}

void TNxCustomGridControl::RefreshColumnPart(TNxCustomColumn* Column, TGridArea Area) {
  if (FUpdateCount > 0 || Column == nullptr) return;
  TRect R;
  switch (Area) {
    case gaBody: R = GetBodyRect(); break;
    case gaFooter: R = GetFooterRect(); break;
    case gaHeader: R = GetHeaderRect(); break;
    case gaInput: R = GetInputRect(); break;
    default: R = Rect(0, 0, ClientWidth(), ClientHeight()); break;
  }
  int L = Column->Left();
  if (Column->Position() >= FColumns->FixedCols()) L -= HorzScrollBar()->Position();
  R.Left = L;
  R.Right = L + Column->Width() + FBottomLine;
  RefreshRect(R);
}

void TNxCustomGridControl::RefreshRow(int ARow, bool KeepInterior) {
  if (ARow < 0 || ARow >= GetRowCount() || !HandleAllocated()) return;
  int Top;
  if (!GetVisibleRowTop(ARow, Top)) return;
  TRect R = Rect(0, Top, ClientWidth(), Top + GetRowPitch(ARow) + FBottomLine);
  RefreshRect(R);
  if (KeepInterior && HandleAllocated()) {
    RECT I{R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1};
    ValidateRect(Handle(), &I);
  }
}

void TNxCustomGridControl::RefreshIndicatorRow(int ARow) {
  int T;
  if (!FOptions.Contains(goIndicator) || ARow < 0 || !HandleAllocated() || !GetVisibleRowTop(ARow, T)) return;
  RefreshRect(Rect(0, T - FTopLine, IndicatorWidth, T + GetRowPitch(ARow) + FBottomLine));
}

void TNxCustomGridControl::RefreshSlide(int ARow, bool KeepInterior) {
  if (ARow < 0 || ARow >= GetRowCount()) return;
  const TRect R = GetSlideRect(ARow);
  RefreshRect(R);
  if (KeepInterior && HandleAllocated()) {
    RECT I{R.Left + 3, R.Top + 4, R.Right - 3, R.Bottom - 4};
    ValidateRect(Handle(), &I);
  }
}

void TNxCustomGridControl::RefreshRowBottom(int ARow) {
  const TRect R = GetRowRect(ARow);
  RefreshRect(Rect(0, R.Bottom - 1 - FBottomLine, ClientWidth(), R.Bottom));
}

void TNxCustomGridControl::RefreshRows(int FromRow, int ToRow) {
  if (!HandleAllocated()) return;
  const TRect B = GetBodyRect();
  int T = B.Top;
  if (FromRow >= FFirstVisibleRow && !GetVisibleRowTop(FromRow, T)) return;
  int Bottom = B.Bottom;
  int ToTop;
  if (ToRow < FFirstVisibleRow) return;
  if (GetVisibleRowTop(ToRow, ToTop)) Bottom = std::min(ToTop + GetRowPitch(ToRow) + FBottomLine, B.Bottom);
  RefreshRect(Rect(0, T, ClientWidth(), Bottom));
}

void TNxCustomGridControl::RefreshRowSpan(int Row1, int Row2) {
  if (Row1 > Row2) SwapInt(Row1, Row2);
  if (FGridStyle == gsSlides) {
    RefreshRect(Rect(0, GetSlideRect(Row1).Top, ClientWidth(), GetSlideRect(Row2).Top + FSlideSize));
    return;
  }
  RefreshRect(Rect(0, GetRowTop(Row1), ClientWidth(), GetRowRect(Row2).Bottom));
}

void TNxCustomGridControl::RefreshSelectedSlides() {
  const int Last = FFirstVisibleRow + GetRowsPerPage() + 1;
  for (int R = FFirstVisibleRow; R < std::min(Last, GetRowCount()); ++R)
    if (GetSelected(R)) RefreshSlide(R, false);
}

void TNxCustomGridControl::UpdateSelectionDisplay() {
  if (FInputSelected) {
    RefreshPart(gaInput);
    return;
  }
  if (GetRowCount() == 0 || FColumns->Count() == 0) return;
  if (!FOptions.Contains(goSelectFullRow)) {
    RefreshCell(FSelectedColumn, FSelectedRow);
    return;
  }
  const int Last = FFirstVisibleRow + GetRowsPerPage() + 1;
  for (int R = FFirstVisibleRow; R < std::min(Last, GetRowCount()); ++R)
    if (GetSelected(R)) RefreshRow(R, false);
}

void TNxCustomGridControl::BeginUpdate() { ++FUpdateCount; }

void TNxCustomGridControl::EndUpdate() {
  if (FUpdateCount > 0) --FUpdateCount;
  if (FUpdateCount != 0) return;
  RefreshPart(gaBody);
  RefreshPart(gaHeader);
  RefreshPart(gaFooter);
  RefreshPart(gaIndicator);
  UpdateVertScrollBar();
}

// ---------------------------------------------------------------------------------------------
// Scrolling

void TNxCustomGridControl::UpdateHorzScrollBar() {
  TNxScrollBar* Bar = HorzScrollBar();
  if (FGridStyle == gsSlides) {
    Bar->SetMax(0);
    Bar->SetVisible(false);
    return;
  }
  Bar->SetMax(FColumns->TotalWidth() + GetIndicatorWidth());
  Bar->SetPageSize(ClientWidth() + 1);
  Bar->SetLargeChange(Bar->PageSize() - 10);
  Bar->SetPosition(Bar->Position());
  if (ClientHeight() <= GetSystemMetrics(SM_CYHSCROLL))
    Bar->SetVisible(false);
  else
    Bar->SetVisible(Bar->Max() > Bar->PageSize());
}

void TNxCustomGridControl::UpdateVertScrollBar() {
  TNxScrollBar* Bar = VertScrollBar();
  const int Rows = GetRowCount();
  const int Total = Rows == 1 ? 0 : GetShownRowCount();
  int Page;
  if (FGridStyle == gsReport) {
    Page = GetRowsPerPage();
  } else {
    const int Pitch = FSlideSize + RowGap();
    Page = Pitch > 0 ? GetBodyRect().Height() / Pitch : 0;
  }
  if (Page < Total) {
    Bar->SetMax(Total);
    Bar->SetPageSize(Page + 1);
    Bar->SetLargeChange(Bar->PageSize());
  } else {
    Bar->SetMax(0);
  }
  // Keep the first visible row on a position the bar can show: the view never scrolls past the
  // point where the last row reaches the bottom of the body.
  const int MaxPos = std::max(0, Total - Page);
  int Above = CountShownRows(0, FFirstVisibleRow);
  if (Above > MaxPos || FFirstVisibleRow >= Rows) {
    FFirstVisibleRow = RowAtScrollPosition(MaxPos);
    Above = CountShownRows(0, FFirstVisibleRow);
    InvalidateGrid();
  }
  Bar->BeginUpdate();
  Bar->SetPosition(Above);
  Bar->EndUpdate();
}

int TNxCustomGridControl::GetHorzScrollDistance(int OldPos, int NewPos) { return OldPos - NewPos; }

int TNxCustomGridControl::GetVertScrollDistance(int OldPos, int NewPos) {
  const int Rows = GetRowCount();
  int Pixels = 0;
  if (NewPos > OldPos) {
    int D = NewPos - OldPos;
    int R = FFirstVisibleRow;
    while (D > 0 && R < Rows) {
      if (GetRowShown(R)) {
        Pixels += GetRowPitch(R) + RowGap();
        --D;
      }
      ++R;
    }
    while (R < Rows - 1 && !GetRowShown(R)) ++R;
    FFirstVisibleRow = std::min(R, std::max(Rows - 1, 0));
    return -Pixels;
  }
  int D = OldPos - NewPos;
  int R = FFirstVisibleRow - 1;
  while (D > 0 && R >= 0) {
    if (GetRowShown(R)) {
      Pixels += GetRowPitch(R) + RowGap();
      --D;
      FFirstVisibleRow = R;
    }
    --R;
  }
  return Pixels;
}

void TNxCustomGridControl::BeforeScroll() {
  // The clip rectangles of scrolling follow the current layout.
  const TRect B = GetBodyRect();
  if (FGridStyle == gsReport) {
    FHorzScrollRect = Rect(GetIndicatorWidth() + FColumns->FixedWidth(), 0, ClientWidth(), ClientHeight());
    FVertScrollRect = Rect(0, B.Top, ClientWidth(), B.Bottom);
  } else {
    FHorzScrollRect = ClientRect();
    FVertScrollRect = Rect(0, B.Top, ClientWidth(), ClientHeight());
  }
}

void TNxCustomGridControl::ScrollToRow(int ARow) {
  if (ARow < 0 || ARow >= GetRowCount()) return;
  TNxScrollBar* Bar = VertScrollBar();
  if (ARow < FFirstVisibleRow) {
    Bar->SetPosition(Bar->Position() - CountShownRows(ARow, FFirstVisibleRow));
    return;
  }
  if (ARow <= GetLastFullyVisibleRow()) return;
  const TRect B = GetBodyRect();
  int Excess = GetRowTop(ARow) + GetRowPitch(ARow) - B.Bottom;
  int N = 0;
  for (int R = FFirstVisibleRow; Excess > 0 && R < ARow; ++R) {
    if (!GetRowShown(R)) continue;
    Excess -= GetRowPitch(R) + RowGap();
    ++N;
  }
  if (N > 0) Bar->MoveBy(N);
}

void TNxCustomGridControl::ScrollColumnIntoView(TNxCustomColumn* Column) {
  if (Column == nullptr || Column->Position() < FColumns->FixedCols()) {
    PlaceEditor();
    return;
  }
  TNxScrollBar* Bar = HorzScrollBar();
  const int FixedRight = GetIndicatorWidth() + FColumns->FixedWidth();
  const int L = Column->Left() - Bar->Position();
  const int R = L + Column->Width();
  if (L < FixedRight)
    Bar->MoveBy(L - FixedRight);
  else if (R > ClientWidth())
    Bar->MoveBy(std::min(R - ClientWidth(), L - FixedRight));
  PlaceEditor();
}

// ---------------------------------------------------------------------------------------------
// Column list notices

void TNxCustomGridControl::ColumnsChanged(int ChangeKind, int Index, int Index2) {
  if (ChangeKind == cnDeleteColumn || ChangeKind == cnInsertColumn || ChangeKind == cnClearColumns) EndEditing();
  const int Count = FColumns->Count();
  if (FSelectedColumn >= Count) FSelectedColumn = std::max(Count - 1, 0);
  if (FSortedColumn != nullptr && FSortedColumn->Columns() != FColumns.get()) FSortedColumn = nullptr;
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
  if (Kind != 2) PlaceEditor();
  InvalidateGrid();
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
  if (!HandleAllocated()) return;
  switch (Kind) {
    case ccInputValue: RefreshColumnPart(Column, gaInput); break;
    case ccMoved:
      PlaceEditor();
      DoColumnMove(Column->Index(), Param, Column->Position());
      InvalidateGrid();
      break;
    case ccSlide:
      InvalidateGrid();
      DoSlideChange(Column->Index());
      break;
    case ccAppearance: RefreshColumnPart(Column, gaNone); break;
    case ccVisible:
      PlaceEditor();
      UpdateHorzScrollBar();
      InvalidateGrid();
      break;
    case ccHeader:
      RefreshColumnPart(Column, gaHeader);
      if (FAppearanceOptions.Contains(aoIndicateSortedColumn)) RefreshColumnPart(Column, gaBody);
      if (Column == FSortedColumn) FSortedColumn = nullptr;
      break;
    case ccResized:
      PlaceEditor();
      InvalidateGrid();
      DoColumnResize(Column->Index());
      UpdateHorzScrollBar();
      break;
    default: break;
  }
}

// ---------------------------------------------------------------------------------------------
// Colours

TColor TNxCustomGridControl::GetCellColor(int ACol, int ARow) {
  TColor C = GetCellOwnColor(ACol, ARow);
  if (FAppearanceOptions.Contains(aoIndicateSortedColumn) && FColumns->Item(ACol)->Sorted()) C = Darker(C, 10);
  if (!IsCellSelected(ACol, ARow)) return C;
  if (!IsFocused()) return FInactiveSelectionColor;
  if (FAppearanceOptions.Contains(aoAlphaBlendedSelection)) return Blend(C, clHighlight, 0.25);
  return FSelectionColor;
}

TColor TNxCustomGridControl::GetCellFontColor(int ACol, int ARow) {
  if (IsCellSelected(ACol, ARow) && IsFocused()) return FHighlightedTextColor;
  return FColumns->Item(ACol)->Font()->Color();
}

// ---------------------------------------------------------------------------------------------
// Painting

void TNxCustomGridControl::Paint() {
  BeforeScroll();
  TCanvas* Cv = Canvas();
  if (FGridStyle == gsReport) {
    PaintReport();
    const int ColumnsRight = FColumns->TotalWidth() - HorzScrollBar()->Position() + GetIndicatorWidth();
    if (ColumnsRight < ClientWidth()) {
      Cv->Brush()->SetStyle(bsSolid);
      Cv->Brush()->SetColor(Color());
      Cv->FillRect(Rect(std::max(ColumnsRight, GetIndicatorWidth()), 0, ClientWidth(), ClientHeight()));
    }
  } else {
    PaintSlides();
  }
  if (GetShownRowCount() == 0 && !Caption().empty()) {
    const TRect B = GetBodyRect();
    Cv->SetFont(Font());
    if (!Enabled()) Cv->Font()->SetColor(clGrayText);
    const int H = TextHeightW(Cv, L"Wg");
    const int X = HorzScrollBar()->Position();
    TRect R = Rect(B.Left - X, B.Top + 1, ClientWidth() - X, B.Top + 1 + H);
    WideString Text = Caption();
    Cv->Brush()->SetStyle(bsClear);
    Cv->TextRect(R, Text, TTextFormat{tfSingleLine, tfCenter, tfEndEllipsis, tfVerticalCenter, tfNoPrefix});
  }
  DoPostDraw();
}

void TNxCustomGridControl::PaintReport() {
  PaintRows();
  PaintHeaderParts();
}

void TNxCustomGridControl::PaintRows() {
  const TRect B = GetBodyRect();
  const int Rows = GetRowCount();
  const int HPos = HorzScrollBar()->Position();
  const int FixedRight = GetIndicatorWidth() + FColumns->FixedWidth();
  const int CW = ClientWidth();
  int Y = B.Top + FTopLine;
  int R = FFirstVisibleRow;
  while (Y < B.Bottom) {
    const bool Exists = R < Rows;
    if (Exists && !GetRowShown(R)) {
      ++R;
      continue;
    }
    for (int P = 0; P < FColumns->Count(); ++P) {
      TNxCustomColumn* C = FColumns->ItemByPosition(P);
      if (!C->Visible()) continue;
      const bool Fixed = P < FColumns->FixedCols();
      const int L = C->Left() - (Fixed ? 0 : HPos);
      if (!Fixed && L + C->Width() < FixedRight) continue;
      if (L > CW || L + C->Width() < 0) continue;
      if (Exists)
        DrawCell(C, R);
      else
        DrawEmptyCell(C, R, Rect(L, Y, L + C->Width(), Y + FRowSize));
    }
    if (FOptions.Contains(goIndicator)) {
      const bool Sel = Exists && !FInputSelected && (GetSelected(R) || R == FSelectedRow);
      DrawIndicatorCell(R, Sel, Exists && !FInputSelected && R == FSelectedRow);
    }
    Y += (Exists ? GetRowPitch(R) : FRowSize) + RowGap();
    ++R;
  }
  FLastVisibleRow = R;
  if (FOptions.Contains(goSelectFullRow)) DrawFocusFrame();
}

void TNxCustomGridControl::DrawCell(TNxCustomColumn* Column, int ARow) {
  if (!Column->Visible()) return;
  TCanvas* Cv = Canvas();
  const int ACol = Column->Index();
  TRect CellRect = GetCellRect(ACol, ARow);
  if (!Intersects(CellRect, Cv->ClipRect())) return;

  Cv->SetFont(Column->Font());
  TColor CellColor = GetCellColor(ACol, ARow);
  TColor GridColor = FGridLinesColor;
  TCellState State;
  bool DefaultDrawing = true;
  TColumnDisplay* Display = Column->Display();
  const bool Selected = IsCellSelected(ACol, ARow);
  Display->Selected = Selected;
  if (Selected) {
    State.Include(csSelected);
    if (FAppearanceOptions.Contains(aoBoldTextSelection)) State.Include(csBoldTextSelection);
  }
  if (IsFocused() && !FAppearanceOptions.Contains(aoHideFocus)) State.Include(csFocused);
  DoCellColoring(ACol, ARow, CellColor, GridColor, State);
  if (Column->Sorted() && !Selected) {
    if (FSortedStyle == soDarker) CellColor = Darker(CellColor, 10);
    if (FSortedStyle == soWhite) CellColor = clWhite;
  }

  // The canvas's objects leave the DC before its state is saved, so that restoring it never
  // selects an object the canvas has replaced meanwhile.
  Cv->Refresh();
  HDC DC = Cv->Handle();
  const int Saved = SaveDC(DC);
  try {
    if (Column->Position() >= FColumns->FixedCols()) {
      const TRect S = GetScrollClipRect();
      IntersectClipRect(DC, S.Left, S.Top, S.Right, S.Bottom);
    }
    if (FOptions.Contains(goGrid) && FGridStyle == gsReport) DrawCellGridLines(Column, ARow, CellRect, GridColor);
    TRect Inner = CellRect;
    Inner.Left += FLeftLine;
    Inner.Right -= FRightLine;
    if (FAppearanceOptions.Contains(aoDontFillCells) || Column->DrawingOptions() == doCustomOnly) DefaultDrawing = false;
    DoDrawCellBackground(ACol, ARow, Inner, State, DefaultDrawing);

    Display->Canvas = Cv;
    Display->Handle = HandleAllocated() ? Handle() : nullptr;
    Display->BiDiMode = Column->BiDiMode();
    Display->ClientRect = Inner;
    Display->ParentRow = GetRowParent(ARow);
    Display->HighlightedTextColor = FHighlightedTextColor;
    PrepareCellDisplay(ACol, ARow, Display);
    if (DefaultDrawing) Display->PaintBackground(CellColor);
    Display->SelectedCell = ACol == FSelectedColumn && ARow == FSelectedRow;
    Display->ClientRect.Left += Column->Padding();
    Display->ClientRect.Right -= Column->Padding();
    if (Column->DrawingOptions() == doNormal || Column->DrawingOptions() == doCustom) {
      if (!IsCellHidden(ACol, ARow) && ApplyCellFont(ACol, ARow, State)) Display->Paint();
    }
    if (FAppearanceOptions.Contains(aoHintMarks)) {
      WideString Hint;
      GetCellHint(ACol, ARow, Hint);
      if (!Hint.empty()) Display->PaintHintMark();
    }
    if (Column->DrawingOptions() != doNormal) DoCustomDrawCell(ACol, ARow, Inner, State);
    if (!FOptions.Contains(goSelectFullRow) && ACol == FSelectedColumn && ARow == FSelectedRow) DrawFocusFrame();
  } catch (...) {
    RestoreDC(DC, Saved);
    Cv->Refresh();
    throw;
  }
  RestoreDC(DC, Saved);
  Cv->Refresh();
}

void TNxCustomGridControl::DrawEmptyCell(TNxCustomColumn* Column, int ARow, const TRect& CellRect) {
  TCanvas* Cv = Canvas();
  if (!Intersects(CellRect, Cv->ClipRect())) return;
  const int ACol = Column->Index();
  TColor CellColor = Color();
  if (FAppearanceOptions.Contains(aoIndicateSortedColumn) && Column->Sorted()) CellColor = Darker(CellColor, 10);
  TColor GridColor =
      (FGridLinesStyle == lsActiveRows || FGridLinesStyle == lsActiveHorzOnly) ? CellColor : FGridLinesColor;
  TCellState State{csEmpty};
  DoCellColoring(ACol, ARow, CellColor, GridColor, State);
  if (FOptions.Contains(goGrid)) DrawCellGridLines(Column, ARow, CellRect, GridColor);
  TRect Inner = CellRect;
  Inner.Left += FLeftLine;
  Inner.Right -= FRightLine;
  bool DefaultDrawing = true;
  DoDrawCellBackground(ACol, ARow, Inner, State, DefaultDrawing);
  if (DefaultDrawing) {
    Cv->Brush()->SetStyle(bsSolid);
    Cv->Brush()->SetColor(CellColor);
    Cv->FillRect(Inner);
  }
}

void TNxCustomGridControl::DrawCellGridLines(TNxCustomColumn* Column, int ARow, const TRect& R, TColor GridColor) {
  TCanvas* Cv = Canvas();
  const bool Exists = ARow >= 0 && ARow < GetRowCount();
  Cv->Pen()->SetStyle(psSolid);
  Cv->Pen()->SetWidth(1);
  if (FBottomLine > 0) {
    Cv->Pen()->SetColor(FGridLinesStyle == lsFramed && Exists && ARow == GetRowCount() - 1 ? clBlack : GridColor);
    Cv->MoveTo(R.Left, R.Bottom);
    Cv->LineTo(R.Right + 1, R.Bottom);
  }
  if (FTopLine > 0) {
    Cv->Pen()->SetColor(clBtnHighlight);
    Cv->MoveTo(R.Left, R.Top - 1);
    Cv->LineTo(R.Right + 1, R.Top - 1);
  }
  if (FLeftLine > 0) {
    Cv->Pen()->SetColor(clBtnHighlight);
    Cv->MoveTo(R.Left, R.Top - 1);
    Cv->LineTo(R.Left, R.Bottom + 1);
  }
  if (FRightLine > 0) {
    const bool LastColumn = Column == FColumns->Last();
    Cv->Pen()->SetColor(FGridLinesStyle == lsFramed && Exists && LastColumn ? clBlack : GridColor);
    Cv->MoveTo(R.Right - 1, R.Top - 1);
    Cv->LineTo(R.Right - 1, R.Bottom + 1);
  }
}

void TNxCustomGridControl::DrawFocusFrame() {
  if (FSelectedColumn < 0 || FSelectedRow < 0 || FSelectedRow >= GetRowCount()) return;
  if (FSelectedColumn >= FColumns->Count() || FSelectedRow < FFirstVisibleRow || FInputSelected) return;
  if (!IsFocused() || FAppearanceOptions.Contains(aoHideFocus)) return;
  const TRect B = GetBodyRect();
  TRect R;
  if (FOptions.Contains(goSelectFullRow)) {
    const TRect Row = GetRowRect(FSelectedRow);
    R = Rect(GetIndicatorWidth() - HorzScrollBar()->Position(), Row.Top, B.Right, Row.Bottom - FBottomLine);
  } else {
    R = GetCellRect(FSelectedColumn, FSelectedRow);
    R.Left += FLeftLine;
    R.Right -= FRightLine;
  }
  if (!Intersects(R, B)) return;
  TCanvas* Cv = Canvas();
  Cv->Brush()->SetStyle(bsSolid);
  Cv->Brush()->SetColor(clWhite);
  Cv->Font()->SetColor(clBlack);
  Cv->DrawFocusRect(R);
}

void TNxCustomGridControl::DrawIndicatorCell(int ARow, bool Selected, bool Highlighted) {
  // The indicator's look comes from the style displays; until they are added it is a plain
  // button-face strip with a small arrow beside the selected row.
  const int T = GetRowTop(ARow);
  const TRect R = Rect(0, T - FTopLine, IndicatorWidth, T + GetRowPitch(ARow) + FBottomLine);
  TCanvas* Cv = Canvas();
  if (FIndicatorDrawingOptions == doNormal || FIndicatorDrawingOptions == doBackgroundOnly) {
    Cv->Brush()->SetStyle(bsSolid);
    Cv->Brush()->SetColor(clBtnFace);
    Cv->FillRect(R);
  }
  if ((FIndicatorDrawingOptions == doNormal || FIndicatorDrawingOptions == doCustom) && Highlighted) {
    const int CY = (R.Top + R.Bottom) / 2;
    Cv->Brush()->SetColor(clBtnText);
    Cv->Pen()->SetColor(clBtnText);
    Cv->Polygon({Point(3, CY - 4), Point(7, CY), Point(3, CY + 4)});
  }
  if (FIndicatorDrawingOptions != doNormal) DoCustomDrawIndicator(ARow, R, Selected, Highlighted);
}

void TNxCustomGridControl::PaintHeaderParts() {
  // Headers, the input line and footers are drawn by the style displays; until they are added
  // each part is a flat button-face cell with its caption.
  TCanvas* Cv = Canvas();
  const int HPos = HorzScrollBar()->Position();
  auto Flat = [&](const TRect& R, TColor Face, const WideString& Text) {
    Cv->Brush()->SetStyle(bsSolid);
    Cv->Brush()->SetColor(Face);
    Cv->FillRect(R);
    Cv->Pen()->SetColor(clBtnShadow);
    Cv->MoveTo(R.Left, R.Bottom - 1);
    Cv->LineTo(R.Right - 1, R.Bottom - 1);
    Cv->LineTo(R.Right - 1, R.Top - 1);
    if (!Text.empty()) {
      TRect T = R;
      T.Left += 3;
      T.Right -= 3;
      WideString S = Text;
      Cv->Brush()->SetStyle(bsClear);
      Cv->TextRect(T, S, TTextFormat{tfSingleLine, tfVerticalCenter, tfEndEllipsis, tfNoPrefix});
    }
  };
  Cv->SetFont(Font());
  for (int P = 0; P < FColumns->Count(); ++P) {
    TNxCustomColumn* C = FColumns->ItemByPosition(P);
    if (!C->Visible()) continue;
    const int L = C->Left() - (P < FColumns->FixedCols() ? 0 : HPos);
    if (L > ClientWidth() || L + C->Width() < 0) continue;
    if (FOptions.Contains(goHeader)) Flat(Rect(L, 0, L + C->Width(), FHeaderSize), C->Header()->Color(), C->Header()->Caption());
    if (FOptions.Contains(goInput)) {
      const TRect I = GetInputRect();
      Flat(Rect(L, I.Top, L + C->Width(), I.Bottom), Color(), C->InputValue());
    }
    if (FOptions.Contains(goFooter)) {
      const TRect F = GetFooterRect();
      Flat(Rect(L, F.Top, L + C->Width(), F.Bottom), C->Footer()->Color(), C->Footer()->Caption());
    }
  }
  if (FOptions.Contains(goIndicator)) {
    Cv->Brush()->SetStyle(bsSolid);
    Cv->Brush()->SetColor(clBtnFace);
    if (FOptions.Contains(goHeader)) Cv->FillRect(Rect(0, 0, IndicatorWidth, FHeaderSize));
    if (FOptions.Contains(goInput)) {
      const TRect I = GetInputRect();
      Cv->FillRect(Rect(0, I.Top, IndicatorWidth, I.Bottom));
    }
    if (FOptions.Contains(goFooter)) {
      const TRect F = GetFooterRect();
      Cv->FillRect(Rect(0, F.Top, IndicatorWidth, F.Bottom));
    }
  }
}

void TNxCustomGridControl::PaintSlides() {
  // Slides are painted with the slides style; until then the client is filled and each shown
  // row's slide shows its cells at their slide bounds.
  TCanvas* Cv = Canvas();
  Cv->Brush()->SetStyle(bsSolid);
  Cv->Brush()->SetColor(Color());
  Cv->FillRect(ClientRect());
  const TRect B = GetBodyRect();
  for (int R = FFirstVisibleRow; R < GetRowCount(); ++R) {
    if (!GetRowShown(R)) continue;
    if (GetSlideRect(R).Top >= B.Bottom) break;
    for (int C = 0; C < FColumns->Count(); ++C) DrawCell(FColumns->Item(C), R);
  }
}

bool TNxCustomGridControl::ApplyCellFont(int ACol, int ARow, TCellState CellState) {
  TCanvas* Cv = Canvas();
  TNxCustomColumn* C = FColumns->Item(ACol);
  Cv->SetFont(C->Font());
  Cv->Font()->SetColor(Enabled() ? GetCellFontColor(ACol, ARow) : clGrayText);
  if (CellState.Contains(csBoldTextSelection)) Cv->Font()->SetStyle(Cv->Font()->Style() + fsBold);
  return false;
}

// ---------------------------------------------------------------------------------------------
// Event dispatchers

void TNxCustomGridControl::DoSelectCell(int ACol, int ARow) {
  if (OnSelectCell) OnSelectCell(this, ACol, ARow);
}
void TNxCustomGridControl::DoDeselectCell(int ACol, int ARow) {
  if (OnDeselectCell) OnDeselectCell(this, ACol, ARow);
}
void TNxCustomGridControl::DoBeforeSelect(int ACol, int ARow, bool& Accept) {
  if (OnBeforeSelect) OnBeforeSelect(this, ACol, ARow, Accept);
}
void TNxCustomGridControl::DoChange(int ACol, int ARow) {
  if (OnChange) OnChange(this, ACol, ARow);
}
void TNxCustomGridControl::DoDataChange(TDataChange AChangeType, int AIndex) {
  if (OnDataChange) OnDataChange(this, AChangeType, AIndex);
}
void TNxCustomGridControl::DoSortColumn(int ACol, bool Ascending) {
  if (OnSortColumn) OnSortColumn(this, ACol, Ascending);
}
void TNxCustomGridControl::DoAfterSort(int ACol) {
  if (OnAfterSort) OnAfterSort(this, ACol);
}
void TNxCustomGridControl::DoCellColoring(int ACol, int ARow, TColor& CellColor, TColor& GridColor, TCellState State) {
  if (OnCellColoring) OnCellColoring(this, ACol, ARow, CellColor, GridColor, State);
}
void TNxCustomGridControl::DoDrawCellBackground(int ACol, int ARow, TRect CellRect, TCellState State,
                                                bool& DefaultDrawing) {
  if (OnDrawCellBackground) OnDrawCellBackground(this, ACol, ARow, CellRect, State, DefaultDrawing);
}
void TNxCustomGridControl::DoCustomDrawCell(int ACol, int ARow, TRect CellRect, TCellState State) {
  if (OnCustomDrawCell) OnCustomDrawCell(this, ACol, ARow, CellRect, State);
}
void TNxCustomGridControl::DoCellHint(int ACol, int ARow, WideString& Value) {
  if (OnCellHint) OnCellHint(this, ACol, ARow, Value);
}
void TNxCustomGridControl::DoCellShowing(int ACol, int ARow, bool& Showing) {
  if (OnCellShowing) OnCellShowing(this, ACol, ARow, Showing);
}
void TNxCustomGridControl::DoChangeRowHeight(int Index, int Height) {
  if (OnChangeRowHeight) OnChangeRowHeight(this, Index, Height);
}
void TNxCustomGridControl::DoMeasuringRowHeight(int Index, int& RowHeight) {
  if (OnMeasuringRowHeight) OnMeasuringRowHeight(this, Index, RowHeight);
}
void TNxCustomGridControl::DoSelectionMove(int& ACol, int ARow, TMoveSelectionKey Key) {
  if (OnSelectionMove) OnSelectionMove(this, ACol, ARow, Key);
}
void TNxCustomGridControl::DoColumnMove(int ACol, int FromPos, int ToPos) {
  if (OnColumnMove) OnColumnMove(this, ACol, FromPos, ToPos);
}
void TNxCustomGridControl::DoColumnResize(int ACol) {
  if (OnColumnResize) OnColumnResize(this, ACol);
}
void TNxCustomGridControl::DoSlideChange(int ACol) {
  if (OnSlideChange) OnSlideChange(this, ACol);
}
void TNxCustomGridControl::DoInputSelectCell(int ACol) {
  if (OnInputSelectCell) OnInputSelectCell(this, ACol);
}
void TNxCustomGridControl::DoPostDraw() {
  if (OnPostDraw) OnPostDraw(this);
}
void TNxCustomGridControl::DoCustomDrawIndicator(int Index, TRect IndicatorRect, bool Selected, bool Highlighted) {
  if (OnCustomDrawIndicator) OnCustomDrawIndicator(this, Index, IndicatorRect, Selected, Highlighted);
}
