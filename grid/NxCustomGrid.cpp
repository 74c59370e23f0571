#include "grid/NxCustomGrid.h"

#include <algorithm>

#include "framework/Strings.h"

namespace {

bool InRectShrunk(const TRect& R, TPoint P) {
  return P.X >= R.Left && P.X < R.Right - 1 && P.Y >= R.Top && P.Y < R.Bottom - 1;
}

// The bar can move: its range is larger than its page.
bool HasRange(TNxScrollBar* Bar) { return Bar->Max() - Bar->PageSize() + 1 > 0; }

}  // namespace

TNxCustomGrid::TNxCustomGrid(TComponent* AOwner) : TNxCustomGridControl(AOwner) {
  SetControlStyle(ControlStyle() + csDoubleClicks + csReplicatable);
  SetParentColor(false);
  SetColor(clWindow);
  FSearchTimer = new TTimer(this);
  FSearchTimer->SetEnabled(false);
  FSearchTimer->SetInterval(700);
  FSearchTimer->SetOnTimer([this](TObject*) {
    FSearchText.clear();
    FSearchTimer->SetEnabled(false);
  });
}

TNxCustomGrid::~TNxCustomGrid() = default;

void TNxCustomGrid::CreateWnd() {
  TNxCustomGridControl::CreateWnd();
  HorzScrollBar()->SetLargeChange(10);
  HorzScrollBar()->SetSmallChange(5);
  VertScrollBar()->SetLargeChange(10);
  FOldClientHeight = ClientHeight();
  FOldClientWidth = ClientWidth();
}

// ---------------------------------------------------------------------------------------------
// Hit tests

TGridArea TNxCustomGrid::GetAreaAtPos(TPoint P) {
  if (GridStyle() == gsSlides) {
    if (Options().Contains(goHeader) && InRectShrunk(GetHeaderRect(), P)) return gaHeader;
    return gaBody;
  }
  if (Options().Contains(goHeader) && InRectShrunk(GetHeaderRect(), P)) return gaHeader;
  if (Options().Contains(goInput) && InRectShrunk(GetInputRect(), P)) return gaInput;
  if (InRectShrunk(GetBodyRect(), P)) return gaBody;
  if (Options().Contains(goFooter) && InRectShrunk(GetFooterRect(), P)) return gaFooter;
  if (Options().Contains(goIndicator) && InRectShrunk(GetIndicatorRect(), P)) return gaIndicator;
  return gaNone;
}

TNxCustomColumn* TNxCustomGrid::GetColumnAtPos(TPoint P) {
  const int HPos = HorzScrollBar()->Position();
  for (int I = 0; I < Columns()->Count(); ++I) {
    TNxCustomColumn* C = Columns()->ItemByPosition(I);
    if (!C->Visible()) continue;
    const int S = I >= Columns()->FixedCols() ? HPos : 0;
    if (C->Left() - S <= P.X && P.X <= C->Left() + C->Width() - S) return C;
  }
  return nullptr;
}

TNxCustomColumn* TNxCustomGrid::GetSizingColumn(int X) {
  const int HPos = HorzScrollBar()->Position();
  const int FixedRight = GetIndicatorWidth() + Columns()->FixedWidth();
  for (int I = 0; I < Columns()->Count(); ++I) {
    TNxCustomColumn* C = Columns()->ItemByPosition(I);
    if (!C->Visible() || C->Options().Contains(coFixedSize)) continue;
    const bool Fixed = I < Columns()->FixedCols();
    const int R = C->Left() + C->Width() - (Fixed ? 0 : HPos);
    if (!Fixed && X < FixedRight) continue;
    if (R - 3 <= X && X <= R + 2) return C;
  }
  return nullptr;
}

int TNxCustomGrid::GetRowAtPos(int X, int Y) {
  const TRect B = GetBodyRect();
  if (!B.Contains(Point(X, Y))) return -1;
  int Top = B.Top + TopLine();
  for (int R = FFirstVisibleRow; R < GetRowCount(); ++R) {
    if (!GetRowShown(R)) continue;
    const int Next = Top + GetRowPitch(R) + RowGap();
    if (Y < Next) return R;
    Top = Next;
    if (Top >= B.Bottom) break;
  }
  return -1;
}

TPoint TNxCustomGrid::GetCellAtPos(TPoint P) {
  if (GridStyle() == gsSlides) {
    const TRect B = GetBodyRect();
    if (!B.Contains(P)) return Point(-1, -1);
    for (int R = FFirstVisibleRow; R < GetRowCount(); ++R) {
      if (!GetRowShown(R)) continue;
      const TRect S = GetSlideRect(R);
      if (S.Top >= B.Bottom) break;
      if (P.Y < S.Top || P.Y >= S.Bottom + RowGap()) continue;
      for (int C = 0; C < Columns()->Count(); ++C) {
        TNxCustomColumn* Col = Columns()->Item(C);
        if (Col->Visible() && GetCellRect(C, R).Contains(P)) return Point(C, R);
      }
      return Point(-1, R);
    }
    return Point(-1, -1);
  }
  TNxCustomColumn* C = GetColumnAtPos(P);
  return Point(C != nullptr ? C->Index() : -1, GetRowAtPos(P.X, P.Y));
}

// ---------------------------------------------------------------------------------------------
// Messages

void TNxCustomGrid::Dispatch(TMessage& M) {
  if (M.Msg == WM_GETDLGCODE) {
    TNxCustomGridControl::Dispatch(M);
    M.Result |= DLGC_WANTARROWS | DLGC_WANTCHARS;
    const bool Something =
        Columns()->Count() > 0 || GetRowCount() > 0 || GridState().Contains(gsInputEditing);
    if (Something && WantTabs())
      M.Result |= DLGC_WANTTAB;
    else
      M.Result &= ~static_cast<LRESULT>(DLGC_WANTTAB);
    return;
  }
  TNxCustomGridControl::Dispatch(M);
}

void TNxCustomGrid::WMVScroll(TMessage& M) {
  if (GridState().Contains(gsEditing)) EndEditing();
  UpdateVertScrollBar();
  TNxCustomGridControl::WMVScroll(M);
}

void TNxCustomGrid::WMSize(TMessage& M) {
  TNxCustomGridControl::WMSize(M);
  const int H = ClientHeight();
  const int W = ClientWidth();
  if (H != FOldClientHeight) {
    FOldClientHeight = H;
    UpdateVertScrollBar();
  }
  if (W != FOldClientWidth) {
    FOldClientWidth = W;
    UpdateColumnsLayout();
    UpdateHorzScrollBar();
  }
  PlaceEditor();
  InvalidateGrid();
}

void TNxCustomGrid::WMSetFocus(TMessage& M) {
  TNxCustomGridControl::WMSetFocus(M);
  RefreshPart(gaIndicator);
  if (GetRowCount() > 0) {
    UpdateSelectionDisplay();
    if (GridStyle() == gsSlides) {
      RefreshSelectedSlides();
      RefreshSlide(SelectedRow(), false);
    }
  } else if (Options().Contains(goInput)) {
    SetInputSelected(true);
    RefreshPart(gaInput);
  }
}

void TNxCustomGrid::WMKillFocus(TMessage& M) {
  TNxCustomGridControl::WMKillFocus(M);
  FGridState.Exclude(gsColumnSizing);
  FGridState.Exclude(gsHeaderPressed);
  FGridState.Exclude(gsColumnDragging);
  FGridState.Exclude(gsState256);
  FGridState.Exclude(gsRowMoving);
  UpdateSelectionDisplay();
  if (GridStyle() == gsSlides) {
    RefreshSelectedSlides();
    RefreshSlide(SelectedRow(), false);
  }
  FMoveRow = -1;
  FSizingRow = -1;
  FPressedColumn = nullptr;
  FClickColumn = nullptr;
}

void TNxCustomGrid::CMMouseEnter(TMessage& M) {
  TNxCustomGridControl::CMMouseEnter(M);
  if (OnMouseEnter) OnMouseEnter(this);
}

void TNxCustomGrid::CMMouseLeave(TMessage& M) {
  TNxCustomGridControl::CMMouseLeave(M);
  FHoverCell = Point(-1, -1);
  if (OnMouseLeave) OnMouseLeave(this);
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TNxCustomGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  // The scroll control fires OnMouseDown (and starts roll scrolling with the middle button)
  // before the grid looks at the press.
  TNxCustomGridControl::MouseDown(Button, Shift, X, Y);
  FDownPoint = Point(X, Y);
  FDownCell = GetCellAtPos(FDownPoint);
  const TGridArea Area = GetAreaAtPos(FDownPoint);
  if (Shift.Contains(ssDouble)) {
    if (Area == gaBody && FDownCell.X >= 0 && FDownCell.Y >= 0 && FDownCell.Y < GetRowCount()) {
      if (OnCellDblClick) OnCellDblClick(this, FDownCell.X, FDownCell.Y);
    } else if (Area == gaHeader) {
      if (TNxCustomColumn* C = GetColumnAtPos(FDownPoint))
        if (OnHeaderDblClick) OnHeaderDblClick(this, C->Index());
    }
    FDownPoint = Point(-1, -1);
    return;
  }
  if (!ComponentState().Contains(csDesigning) && Visible() && CanFocus() && !IsFocused()) SetFocus();
  if (Columns()->Count() == 0 || Button == mbMiddle) return;
  switch (Area) {
    case gaBody: BodyPress(Button, Shift); break;
    case gaHeader: HeaderPress(Button, Shift); break;
    case gaIndicator: SelectRow(GetRowAtPos(X, Y)); break;
    case gaNone:
      ApplyEditing();
      EndEditing();
      OutsidePress();
      break;
    default: break;
  }
}

void TNxCustomGrid::BodyPress(TMouseButton Button, TShiftState Shift) {
  if (GridState().Contains(gsEditing) || GridState().Contains(gsInputEditing)) {
    const bool Input = GridState().Contains(gsInputEditing);
    ApplyEditing();
    if (Input) AddInputRow();
    EndEditing();
  }
  if (GridStyle() == gsReport) SetInputSelected(false);
  FClickOnSelected = FDownCell == GetSelectedCell();
  const int Row = FDownCell.Y;
  const bool ValidRow = Row >= 0 && Row < GetRowCount();
  bool ClearMulti = Button == mbLeft;
  if (IsMultiSelect() && ValidRow && Button == mbRight && !GetSelected(Row)) {
    ClearMulti = true;
    FDeferredSelect = true;
  }
  if (!ValidRow) return;
  FMoveRow = Row;
  int Col = FDownCell.X;
  if (!Columns()->IsValidIndex(Col)) Col = SelectedColumn();
  SelectCell(Col, Row, false, ClearMulti, Shift);
  if (GridStyle() == gsReport) {
    if (Columns()->IsValidIndex(Col) && GetCellRect(Col, Row).Bottom > GetBodyRect().Bottom) ScrollToRow(Row);
  } else if (GetSlideRect(Row).Bottom > GetBodyRect().Bottom) {
    VertScrollBar()->LineDown();
  }
}

void TNxCustomGrid::HeaderPress(TMouseButton Button, TShiftState Shift) {
  if (Button != mbLeft || ComponentState().Contains(csDesigning)) return;
  FPressedColumn = GetColumnAtPos(FDownPoint);
  if (FPressedColumn != nullptr && FPressedColumn->Options().Contains(coCanClick)) {
    FGridState.Include(gsHeaderPressed);
    FClickColumn = FPressedColumn;
    RefreshColumnPart(FPressedColumn, gaHeader);
  } else {
    FPressedColumn = nullptr;
  }
}

void TNxCustomGrid::MouseMove(TShiftState Shift, int X, int Y) {
  TNxCustomGridControl::MouseMove(Shift, X, Y);
  FMousePos = Point(X, Y);
  // Column and row sizing, column dragging, row moving and the hint windows follow the pointer
  // here once they are added; the hover cell is kept for them.
  if (Columns()->Count() == 0 || Rolling()) return;
  FHoverCell = GetAreaAtPos(FMousePos) == gaBody ? GetCellAtPos(FMousePos) : Point(-1, -1);
}

void TNxCustomGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TNxCustomGridControl::MouseUp(Button, Shift, X, Y);
  TNxCustomColumn* Pressed = FPressedColumn;
  FPressedColumn = nullptr;
  FDownPoint = Point(-1, -1);
  FMoveRow = -1;
  FGridState.Exclude(gsHeaderPressed);
  FGridState.Exclude(gsState32);
  FGridState.Exclude(gsColumnSizing);
  FSizingRow = -1;
  if (FClickColumn != nullptr) {
    TNxCustomColumn* C = FClickColumn;
    FClickColumn = nullptr;
    if (OnHeaderClick) OnHeaderClick(this, C->Index());
    RefreshColumnPart(C, gaHeader);
  }
  if (Button != mbLeft) {
    EndEditing();
    return;
  }
  const TPoint P = Point(X, Y);
  switch (GetAreaAtPos(P)) {
    case gaBody:
      if (!ComponentState().Contains(csDesigning)) BodyRelease(X, Y);
      break;
    case gaFooter:
      if (TNxCustomColumn* C = GetColumnAtPos(P))
        if (OnFooterClick) OnFooterClick(this, C->Index());
      break;
    case gaHeader: {
      TNxCustomColumn* C = GetColumnAtPos(P);
      if (C != nullptr && C == Pressed && C->Options().Contains(coCanSort)) {
        if (!C->Sorted())
          C->SetSorted(true);
        else
          C->SetSortKind(C->SortKind() == skAscending ? skDescending : skAscending);
      }
      break;
    }
    case gaInput: break;
    default:
      if (GridState().Contains(gsRangeSelect)) DeselectAll();
      break;
  }
}

void TNxCustomGrid::BodyRelease(int X, int Y) {
  const TPoint C1 = GetCellAtPos(Point(X, Y));
  const TPoint C2 = FDownCell;
  const bool Valid = C1.X >= 0 && C1.Y >= 0 && C1.Y < GetRowCount();
  if (Valid && C1 == C2 && OnCellClick) OnCellClick(this, C1.X, C1.Y);
  if (C1.X < 0 || C1.X >= Columns()->Count()) return;
  if (GridState().Contains(gsRangeSelect)) {
    if (C1.Y < 0) DeselectAll();
    return;
  }
  if (C1 != C2 || !Valid) return;
  if (GetCellRect(C1.X, C1.Y).Contains(Point(X, Y)) && (!Options().Contains(goSecondClickEdit) || FClickOnSelected))
    EditCell(C1.X, C1.Y, L"");
}

bool TNxCustomGrid::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  const bool Result = TNxCustomGridControl::DoMouseWheelDown(Shift, MousePos);
  if (!Result || GridState().Contains(gsEditing)) return Result;
  TNxScrollBar* V = VertScrollBar();
  TNxScrollBar* H = HorzScrollBar();
  if (HasRange(V) && !V->AtEnd()) {
    if (Shift.Contains(ssCtrl))
      V->PageDown();
    else
      V->LineDown();
  } else if (GridStyle() == gsReport && HasRange(H)) {
    if (Shift.Contains(ssCtrl))
      H->PageDown();
    else
      H->LineDown();
  }
  return Result;
}

bool TNxCustomGrid::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  const bool Result = TNxCustomGridControl::DoMouseWheelUp(Shift, MousePos);
  if (!Result || GridState().Contains(gsEditing)) return Result;
  TNxScrollBar* V = VertScrollBar();
  TNxScrollBar* H = HorzScrollBar();
  if (HasRange(V)) {
    if (Shift.Contains(ssCtrl))
      V->PageUp();
    else
      V->LineUp();
  } else if (GridStyle() == gsReport && HasRange(H)) {
    if (Shift.Contains(ssCtrl))
      H->PageUp();
    else
      H->LineUp();
  }
  return Result;
}

// ---------------------------------------------------------------------------------------------
// Keyboard

void TNxCustomGrid::KeyDown(Word& Key, TShiftState Shift) {
  TNxCustomGridControl::KeyDown(Key, Shift);
  if (Key != 0) KeyNavigate(Key, Shift);
}

void TNxCustomGrid::KeyNavigate(Word& Key, TShiftState Shift) {
  if (Options().Contains(goDisableKeys)) return;
  if (GridState().Contains(gsEditing) && Key >= VK_END && Key <= VK_DOWN) return;
  switch (Key) {
    case VK_LEFT:
    case VK_RIGHT:
      if (!InputSelected() && Options().Contains(goSelectFullRow) &&
          !AppearanceOptions().Contains(aoIndicateSelectedCell)) {
        if (Key == VK_LEFT)
          HorzScrollBar()->LineUp();
        else
          HorzScrollBar()->LineDown();
      } else if (Key == VK_LEFT) {
        MoveLeft(mkArrows);
      } else {
        MoveRight(mkArrows);
      }
      break;
    case VK_UP: MoveUp(Shift); break;
    case VK_DOWN: MoveDown(Shift, false, false); break;
    case VK_NEXT: {
      if (VertScrollBar()->AtEnd()) {
        SelectLastRow({});
        break;
      }
      const int N = std::max(GetRowsPerPage(false), 1);
      if (SelectedRow() < FFirstVisibleRow + N - 1)
        SelectRow(GetRowIndexBelow(N - 1));
      else if (SelectedRow() + N >= GetRowCount())
        SelectLastRow({});
      else {
        MoveSelectionBy(N);
        ScrollToRow(SelectedRow());
      }
      break;
    }
    case VK_PRIOR: {
      if (VertScrollBar()->AtStart()) {
        SelectFirstRow({});
        break;
      }
      const int N = std::max(GetRowsPerPage(false), 1);
      if (SelectedRow() > FFirstVisibleRow)
        SelectRow(FFirstVisibleRow);
      else {
        MoveSelectionBy(-N);
        ScrollToRow(SelectedRow());
      }
      break;
    }
    case VK_HOME:
    case VK_END: {
      if (IsMultiSelect() && Shift.Contains(ssShift) && SelectedRow() >= 0) {
        if (Key == VK_HOME)
          SelectRange(0, SelectedRow(), true);
        else
          SelectRange(SelectedRow(), GetRowCount() - 1, true);
        FGridState.Include(gsRangeSelect);
      }
      if (HomeEndBehaviour() == hebTopBottom) {
        if (Columns()->IsValidIndex(SelectedColumn())) {
          if (Key == VK_HOME)
            SelectFirstRow(Shift);
          else
            SelectLastRow(Shift);
        }
      } else if (Key == VK_HOME) {
        SelectFirstColumn();
      } else {
        SelectLastColumn();
      }
      break;
    }
    case VK_TAB:
      if (Shift.Contains(ssShift))
        TabBackward(true);
      else
        TabForward(true);
      break;
    case 'A':
      if (Shift.Contains(ssCtrl)) SelectAll();
      break;
    default: break;
  }
}

void TNxCustomGrid::KeyPress(wchar_t& Key) {
  TNxCustomGridControl::KeyPress(Key);
  if (Key == 0 || GridState().Contains(gsEditing) || GridState().Contains(gsInputEditing) ||
      Options().Contains(goDisableKeys) || Key == VK_ESCAPE)
    return;
  if (Key == VK_RETURN && WantReturns() && !InputSelected()) {
    switch (SelectionMoveDirection()) {
      case mdUp: MoveUp({}); break;
      case mdDown: MoveDown({}, false, false); break;
      case mdLeft: MoveLeft(mkEnter); break;
      case mdRight: MoveRight(mkEnter); break;
      case mdNone: break;
    }
    return;
  }
  if (!Columns()->IsValidIndex(SelectedColumn())) return;
  if (!InputSelected() && (SelectedRow() < 0 || SelectedRow() >= GetRowCount())) return;
  if (Key == VK_RETURN || Key == VK_TAB) return;
  TNxCustomColumn* Col = Columns()->Item(SelectedColumn());
  if (!InputSelected() && !Col->Options().Contains(coEditing) && GetRowCount() > 0) {
    for (int I = 0; I < Columns()->Count(); ++I) {
      TNxCustomColumn* S = Columns()->Item(I);
      if (!S->Options().Contains(coSearchColumn)) continue;
      FSearchTimer->SetEnabled(false);
      FSearchTimer->SetEnabled(true);
      FSearchText += Key;
      SearchText(S, FSearchText, false);
      break;
    }
  }
}

bool TNxCustomGrid::SearchText(TNxCustomColumn* Column, const WideString& Text, bool FromStart) {
  const int Rows = GetRowCount();
  if (Column == nullptr || Rows == 0 || Text.empty()) return false;
  const int Col = Column->Index();
  const int Start = FromStart ? 0 : SelectedRow() + 1;
  for (int K = 0; K < Rows; ++K) {
    const int R = (std::max(Start, 0) + K) % Rows;
    if (FromStart && R < K) break;
    if (!GetRowShown(R)) continue;
    const WideString Cell = GetCells(Col, R);
    if (Cell.size() >= Text.size() && WideCompareText(Cell.substr(0, Text.size()), Text) == 0) {
      SelectRow(R);
      ScrollToRow(R);
      return true;
    }
  }
  return false;
}
