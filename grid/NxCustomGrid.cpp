#include "grid/NxCustomGrid.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "framework/Forms.h"
#include "framework/Strings.h"
#include "grid/NxColumnDragBox.h"
#include "grid/NxDisplays.h"
#include "grid/NxRowWalk.h"


namespace {

bool InRectShrunk(const TRect& R, TPoint P) {
  return P.X >= R.Left && P.X < R.Right - 1 && P.Y >= R.Top && P.Y < R.Bottom - 1;
}

// The bar can move: its range is larger than its page.
bool HasRange(TNxScrollBar* Bar) { return Bar->Max() - Bar->PageSize() + 1 > 0; }

// The pointer left the 3-pixel box around the press point.
bool LeftPressBox(TPoint Down, int X, int Y) { return std::abs(X - Down.X) > 3 || std::abs(Y - Down.Y) > 3; }

}  // namespace

void LoadGridCursors() {
  if (Screen == nullptr) return;
  static const struct {
    TCursor Id;
    const wchar_t* Name;
  } Cursors[] = {{crHorzSplit, L"HORZSPLIT"},
                 {crColumnNoDrag, L"COLUMNNODRAG"},
                 {crVertSplit, L"VERTSPLIT"},
                 {crIndicatorSelect, L"INDICATORSELECT"}};
  for (const auto& C : Cursors) {
    // LoadCursor hands out the module's shared cursor, freed with the module.
    if (HCURSOR H = LoadCursorW(ModuleInstance(), C.Name)) Screen->SetCursors(C.Id, H);
  }
}

// ---------------------------------------------------------------------------------------------
// Construction

TNxCustomGrid::TNxCustomGrid(TComponent* AOwner) : TNxCustomGridControl(AOwner) {
  FTopArrow = new TDragArrow(this);
  FTopArrow->SetVisible(false);
  FTopArrow->SetParent(this);
  FBottomArrow = new TDragArrow(this);
  FBottomArrow->SetVisible(false);
  FBottomArrow->SetParent(this);
  FDragBox = new TColumnDragBox(this);
  FDragBox->SetVisible(false);
  FDragBox->SetParent(this);
  FDragBox->OnDrop = [this](TObject*, int X, int Y) { ColumnDragDrop(X, Y); };
  FDragBox->OnMove = [this](TObject*, int X, int Y) { ColumnDragMove(X, Y); };
  SetParentColor(false);
  SetColor(clWindow);
  FSearchTimer = new TTimer(this);
  FSearchTimer->SetEnabled(false);
  FSearchTimer->SetInterval(700);
  FSearchTimer->SetOnTimer([this](TObject*) {
    FSearchText.clear();
    FSearchTimer->SetEnabled(false);
  });
  SetControlStyle(ControlStyle() + csDoubleClicks + csReplicatable);
  LoadGridCursors();
  // The program going inactive reaches only top-level windows: the application window tells
  // the grid.
  if (Application != nullptr)
    FMainWindowHook = Application->HookMainWindow([this](TMessage& M) {
      if (M.Msg == WM_ACTIVATEAPP && M.WParam == 0 && HandleAllocated()) Perform(WM_ACTIVATEAPP, 0, M.LParam);
      return false;
    });
}

TNxCustomGrid::~TNxCustomGrid() {
  if (FMainWindowHook >= 0 && Application != nullptr) Application->UnhookMainWindow(FMainWindowHook);
  if (FSearchTimer != nullptr) FSearchTimer->SetEnabled(false);
  delete FDragBox;
  delete FTopArrow;
  delete FBottomArrow;
  FDragBox = nullptr;
  FTopArrow = FBottomArrow = nullptr;
  if (FHintWindow != nullptr) {
    ReleaseHintWindow(FHintWindow);
    delete FHintWindow;
    FHintWindow = nullptr;
  }
}

void TNxCustomGrid::CreateWnd() {
  TNxCustomGridControl::CreateWnd();
  FTopArrow->SetDirection(daDown);
  FBottomArrow->SetDirection(daUp);
  HorzScrollBar()->SetLargeChange(10);
  HorzScrollBar()->SetSmallChange(5);
  VertScrollBar()->SetLargeChange(10);
  FOldClientHeight = ClientHeight();
  FOldClientWidth = ClientWidth();
}

// ---------------------------------------------------------------------------------------------
// Hit tests

TGridArea TNxCustomGrid::GetAreaAtPos(TPoint P) {
  const bool Header = Options().Contains(goHeader) && InRectShrunk(GetHeaderRect(), P);
  if (GridStyle() == gsSlides) return Header ? gaHeader : gaBody;
  if (Header) return gaHeader;
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
    if (!Fixed && X < FixedRight) continue;
    const int R = C->Left() + C->Width() - (Fixed ? 0 : HPos);
    if (R - 3 <= X && X <= R + 2) return C;
  }
  return nullptr;
}

int TNxCustomGrid::GetRowAtPos(int X, int Y) {
  const TRect B = GetBodyRect();
  if (!B.Contains(Point(X, Y))) return -1;
  return GetRowBeside(Y);
}

int TNxCustomGrid::GetRowBeside(int Y) {
  const TRect B = GetBodyRect();
  if (Y < B.Top || Y >= B.Bottom) return -1;
  TBodyRowWalk W(this);
  while (W.Next() && W.Top() < B.Bottom)
    if (Y < W.NextTop()) return W.Row();
  return -1;
}

int TNxCustomGrid::GetSizingRow(int X, int Y) {
  const TRect B = GetBodyRect();
  if (X > IndicatorWidth || Y < B.Top) return -1;
  TBodyRowWalk W(this);
  while (W.Next() && W.Top() <= B.Bottom) {
    const int Bottom = W.Top() + W.Pitch();
    if (Bottom - 3 < Y && Y < Bottom + 1) return W.Row();
  }
  return -1;
}

TPoint TNxCustomGrid::GetCellAtPos(TPoint P) {
  if (GridStyle() == gsSlides) {
    const TRect B = GetBodyRect();
    if (!B.Contains(P)) return Point(-1, -1);
    TBodyRowWalk W(this);
    while (W.Next() && W.Top() < B.Bottom) {
      const int R = W.Row();
      const TRect S = Rect(0, W.Top(), ClientWidth(), W.Top() + SlideSize());
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

int TNxCustomGrid::GetColumnDropPos(TNxCustomColumn* Column, int X) {
  if (Column == nullptr || Columns()->IndexOf(Column) < 0) return -1;
  const int HPos = HorzScrollBar()->Position();
  const int Fixed = Columns()->FixedCols();
  TNxCustomColumn* K = nullptr;
  TNxCustomColumn* P = nullptr;
  TNxCustomColumn* Before = nullptr;
  int KShift = 0;
  for (int I = 0; I < Columns()->Count(); ++I) {
    TNxCustomColumn* C = Columns()->ItemByPosition(I);
    if (!C->Visible() && C != Column) continue;
    const int S = I >= Fixed ? HPos : 0;
    if (C->Left() - S <= X && X <= C->Left() + C->Width() - S) {
      K = C;
      P = Before != nullptr ? Before : C;
      KShift = S;
      break;
    }
    Before = C;
  }
  if (K == nullptr || K == Column) return Column->Position();
  const int KLeft = K->Left() - KShift;
  const int KRight = KLeft + K->Width();
  int Result;
  if (KRight - K->Width() / 2 < X)
    Result = K->Position() + (Column->Position() >= K->Position() ? 1 : 0);
  else
    Result = Column->Position() <= K->Position() ? P->Position() : K->Position();
  // A scrolling column that slid under the fixed ones takes nothing.
  if (Result >= Fixed && GetIndicatorWidth() + Columns()->FixedWidth() > KLeft) Result = Column->Position();
  return std::clamp(Result, 0, Columns()->Count() - 1);
}

int TNxCustomGrid::GetRowDropIndex(int Y) {
  const TRect B = GetBodyRect();
  if (Y < B.Top) return -1;
  // Rows are looked for down to the body's bottom (or to Y, when the pointer is further down).
  const int Limit = std::max(B.Bottom, std::min(Y + 1, ClientHeight()));
  TBodyRowWalk W(this);
  while (W.Next() && W.Top() < Limit) {
    const int Height = W.Pitch();
    if (Y < W.NextTop()) return Y > W.Top() + Height / 2 ? W.Row() + 1 : W.Row();
  }
  return -1;
}

// ---------------------------------------------------------------------------------------------
// Messages

void TNxCustomGrid::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case WM_GETDLGCODE: {
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
    case WM_ACTIVATEAPP:
      WMActivateApp(M);
      return;
    case CM_DESIGNHITTEST: {
      const TPoint P = Point(static_cast<short>(LOWORD(M.LParam)), static_cast<short>(HIWORD(M.LParam)));
      M.Result = (GetAreaAtPos(P) == gaHeader || GridState().Contains(gsColumnSizing) ||
                  GridState().Contains(gsHeaderPressed))
                     ? 1
                     : 0;
      return;
    }
    default: TNxCustomGridControl::Dispatch(M);
  }
}

void TNxCustomGrid::WMHScroll(TMessage& M) {
  Operation([&] {
    // Scrolling by the bar closes an open editor; what was typed is kept (the input line's too).
    CommitEditing();
    // The dotted focus frame is drawn by inverting: it is taken off before the content moves and
    // drawn again after, so that no copy of it scrolls along.
    const bool Inverted = !AppearanceOptions().Contains(aoAlphaBlendedSelection) && HandleAllocated();
    if (Inverted) DrawFocusFrame();
    TNxCustomGridControl::WMHScroll(M);
    if (Inverted) DrawFocusFrame();
  });
}

void TNxCustomGrid::WMVScroll(TMessage& M) {
  Operation([&] {
    // A click on the bar or a roll step closes a cell's editor; what was typed is kept.
    if (GridState().Contains(gsEditing)) CommitEditing();
    UpdateVertScrollBar();
    TNxCustomGridControl::WMVScroll(M);
  });
}

void TNxCustomGrid::AfterScroll() {
  // The content moved under the pointer: a hint shows what no longer lies there, and the cell
  // it named is forgotten, so that the next move over the same place hints anew.
  HideHint();
  FHintCell = Point(-1, -1);
  TNxCustomGridControl::AfterScroll();
}

void TNxCustomGrid::WMSize(TMessage& M) {
  const int H = ClientHeight();
  const int W = ClientWidth();
  if (H != FOldClientHeight) {
    const int Low = std::min(H, FOldClientHeight);
    const int High = std::max(H, FOldClientHeight);
    if (GridStyle() == gsSlides) {
      RefreshRect(Rect(0, Low, W, High));
    } else if (Options().Contains(goFooter)) {
      RefreshPart(gaFooter);
      const int FooterHeight = FooterSize() + 4 + BottomLine();
      if (Options().Contains(goIndicator)) RefreshRect(Rect(0, H - FooterHeight, IndicatorWidth, H));
      RefreshRect(Rect(0, Low - FooterHeight, W, High - FooterHeight + 1));
    }
    if (H > FOldClientHeight && FFirstVisibleRow > 0) {
      // Rows above the view come back as long as whole rows fit the free space below the last.
      const TRect B = GetBodyRect();
      int Y = B.Top + TopLine();
      TBodyRowWalk W(this);
      while (Y < B.Bottom && W.Next()) Y = W.NextTop();
      int Free = B.Bottom - Y;
      int N = 0;
      for (int R = PreviousShownRow(FFirstVisibleRow - 1); R >= 0 && Free > 0; R = PreviousShownRow(R - 1)) {
        const int P = GetRowPitch(R) + RowGap();
        if (P > Free) break;
        Free -= P;
        ++N;
      }
      if (N > 0) VertScrollBar()->MoveBy(-N);
    }
    FOldClientHeight = H;
    UpdateVertScrollBar();
  }
  if (W != FOldClientWidth) {
    // A full row's dotted frame ends at the body's right edge, and its dots run along its
    // length: where that edge moves, the whole frame is drawn again, not only the part at the edge.
    const int ColumnsRight = GetColumnsRight();
    if (Options().Contains(goSelectFullRow) && !AppearanceOptions().Contains(aoAlphaBlendedSelection) &&
        std::min(ColumnsRight, W) != std::min(ColumnsRight, FOldClientWidth))
      RefreshRow(SelectedRow());
    if (HorzScrollBar()->Position() == 0)
      RefreshRect(Rect(std::min(W, FOldClientWidth) - 1, 0, std::max(W, FOldClientWidth), H));
    else
      InvalidateGrid();
    UpdateColumnsLayout();
    FOldClientWidth = W;
    UpdateHorzScrollBar();
    if (!Caption().empty() && GetRowCount() == 0) RefreshPart(gaBody);
  }
  if (IsEditing()) PlaceEditor();
  TNxCustomGridControl::WMSize(M);
}

void TNxCustomGrid::WMSetFocus(TMessage& M) {
  TNxCustomGridControl::WMSetFocus(M);
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
  HideHint();
  // Inverted lines and the insertion sign of an interrupted drag go with a repaint.
  if (GridState().Contains(gsColumnSizing) || FSizingRow != -1 || FSignY != -1) {
    FSignY = -1;
    InvalidateGrid();
  }
  if (GridState().Contains(gsColumnDragging)) EndColumnDrag();
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
  if (Options().Contains(goHeader) && FHotColumn != nullptr) {
    TNxCustomColumn* C = FHotColumn;
    FHotColumn = nullptr;
    RefreshColumnPart(C, gaHeader);
  }
  if (FPressedColumn != nullptr) RefreshColumnPart(FPressedColumn, gaHeader);
  FMoveRow = -1;
  FDropRow = -1;
  FSizingRow = -1;
  FSizingColumn = nullptr;
  FHotColumn = nullptr;
  FPressedColumn = nullptr;
  FClickColumn = nullptr;
}

void TNxCustomGrid::WMActivateApp(TMessage& M) {
  DefaultHandler(M);
  if (M.WParam == 0) {
    if (FPressedColumn != nullptr) RefreshColumnPart(FPressedColumn, gaHeader);
    if (GridState().Contains(gsColumnDragging)) EndColumnDrag();
    FPressedColumn = nullptr;
    FClickColumn = nullptr;
    FDownPoint = Point(-1, -1);
    FDownCell = Point(-1, -1);
    FGridState.Exclude(gsHeaderPressed);
    HideDropArrows();
    if (FDragBox != nullptr) FDragBox->CancelDrag();
    if (Screen != nullptr) Screen->SetCursor(crDefault);
  }
  UpdateSelectionDisplay();
}

void TNxCustomGrid::CMParentFontChanged(TMessage& M) {
  TNxCustomGridControl::CMParentFontChanged(M);
  if (!ParentFont()) return;
  for (int I = 0; I < Columns()->Count(); ++I) {
    TNxCustomColumn* C = Columns()->Item(I);
    if (C->ParentFont()) C->Font()->Assign(Font());
  }
}

void TNxCustomGrid::CMMouseEnter(TMessage& M) {
  TNxCustomGridControl::CMMouseEnter(M);
  DoMouseEnter();
}

void TNxCustomGrid::CMMouseLeave(TMessage& M) {
  TNxCustomGridControl::CMMouseLeave(M);
  EraseRowMoveSign();
  FDropRow = -1;
  HideHint();
  LeaveHoverCell();
  FHintCell = Point(-1, -1);
  if (FHotColumn != nullptr) {
    TNxCustomColumn* C = FHotColumn;
    FHotColumn = nullptr;
    RefreshColumnPart(C, gaHeader);
  }
  DoMouseLeave();
}

void TNxCustomGrid::ColumnsChanged(int ChangeKind, int Index, int Index2) {
  // The columns that went are forgotten before the engine's part, whose OnDataChange may raise.
  auto Gone = [this](TNxCustomColumn*& C) {
    if (C != nullptr && Columns()->IndexOf(C) < 0) C = nullptr;
  };
  if (FPressedColumn != nullptr && Columns()->IndexOf(FPressedColumn) < 0 && GridState().Contains(gsColumnDragging))
    EndColumnDrag();
  if (FSizingColumn != nullptr && Columns()->IndexOf(FSizingColumn) < 0) {
    FGridState.Exclude(gsColumnSizing);
    InvalidateGrid();
  }
  Gone(FPressedColumn);
  Gone(FClickColumn);
  Gone(FHotColumn);
  Gone(FSizingColumn);
  Gone(FGripColumn);
  Gone(FHintedColumn);
  Gone(FHintedFooterColumn);
  TNxCustomGridControl::ColumnsChanged(ChangeKind, Index, Index2);
}

// ---------------------------------------------------------------------------------------------
// Mouse: presses

void TNxCustomGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  Operation([&] {
    // The scroll control fires OnMouseDown (and starts roll scrolling with the middle button)
    // before the grid looks at the press.
    TNxCustomGridControl::MouseDown(Button, Shift, X, Y);
    HideHint();
    // A drag the box gave up (its mouse capture went elsewhere) ends here.
    if (GridState().Contains(gsColumnDragging) && !FDragBox->Dragging()) {
      EndColumnDrag();
      if (FPressedColumn != nullptr) RefreshColumnPart(FPressedColumn, gaHeader);
      FPressedColumn = nullptr;
      FClickColumn = nullptr;
    }
    FDownPoint = Point(X, Y);
    const bool Designing = ComponentState().Contains(csDesigning);
    if (Shift.Contains(ssDouble)) {
      // The first press may have scrolled its row into view: the second press names the cell the
      // first one did, moved as far as its row moved.
      FDownCell = GetCellAtPos(Point(X, Y + FPressShift));
      // The first press of the double click ended a (null) resize and forgot the grip: the grip
      // under the press counts as well.
      TNxCustomColumn* Grip = FGripColumn;
      if (Grip == nullptr && Options().Contains(goHeader) && GetAreaAtPos(FDownPoint) == gaHeader)
        Grip = GetSizingColumn(X);
      if (Grip != nullptr && (Grip->GetColumnCapabilities() & cpBestFit) != 0) {
        BestFitColumn(Grip);
        FGripColumn = nullptr;
      } else {
        switch (GetAreaAtPos(FDownPoint)) {
          case gaBody:
            if (Columns()->IsValidIndex(FDownCell.X) && FDownCell.Y >= 0 && FDownCell.Y < GetRowCount())
              DoCellDblClick(FDownCell.X, FDownCell.Y);
            break;
          case gaHeader:
            if (TNxCustomColumn* C = GetColumnAtPos(FDownPoint)) DoHeaderDblClick(C->Index());
            break;
          case gaIndicator:
            if (Options().Contains(goRowResizing)) {
              const int R = GetSizingRow(X, Y);
              if (R >= 0 && R < GetRowCount()) BestFitRow(R);
            }
            break;
          default: break;
        }
      }
      FDownPoint = Point(-1, -1);
      return;
    }
    FDownCell = GetCellAtPos(FDownPoint);
    FPressShift = 0;
    if (!Designing && Visible() && CanFocus() && !IsFocused()) Dispatching([&] { SetFocus(); });
    if (Columns()->Count() == 0 || Button == mbMiddle) return;
    if (Button == mbLeft && Options().Contains(goHeader) && GetAreaAtPos(FDownPoint) == gaHeader)
      FSizingColumn = GetSizingColumn(X);
    if (FSizingColumn != nullptr) {
      FGridState.Include(gsColumnSizing);
      FSizingDelta = 0;
      const int L = ColumnLeft(FSizingColumn);
      FSizeLineLeft = FSizingColumn->Index() == 0 ? L : L - 1;
      FSizeLineRight = L + FSizingColumn->Width() - 1;
      // Nothing may paint between drawing a line and taking it off again.
      Update();
      InvertVerticalLine(FSizeLineLeft);
      InvertVerticalLine(FSizeLineRight);
      return;
    }
    switch (GetAreaAtPos(FDownPoint)) {
      case gaBody: BodyPress(Button, Shift); break;
      case gaHeader: HeaderPress(Button, Shift); break;
      case gaIndicator: IndicatorPress(X, Y); break;
      case gaNone:
        CommitEditing();
        OutsidePress();
        break;
      default: break;
    }
    if (GridState().Contains(gsState32)) BodyPress(Button, Shift);
  });
}

void TNxCustomGrid::BodyPress(TMouseButton Button, TShiftState Shift) {
  if (IsEditing()) {
    const bool Input = GridState().Contains(gsInputEditing);
    const unsigned Session = EditSession();
    ApplyEditing();
    if (Input) AddInputRow();
    if (EditAlive(Session)) EndEditing();
    // The edit's handlers may have changed what lies under the press.
    FDownCell = GetCellAtPos(FDownPoint);
  }
  if (GridStyle() == gsReport) SetInputSelected(false);
  FClickOnSelected = FDownCell == GetSelectedCell();
  const bool ValidRow = FDownCell.Y >= 0 && FDownCell.Y < GetRowCount();
  bool ClearMulti = Button == mbLeft;
  if (IsMultiSelect() && ValidRow && Button == mbRight && !GetSelected(FDownCell.Y)) ClearMulti = true;
  if (!ValidRow) return;
  FMoveRow = FDownCell.Y;
  int Col = FDownCell.X;
  if (!Columns()->IsValidIndex(Col)) Col = SelectedColumn();
  // The pressed cell, followed while the handlers of the press change what they like.
  const TCellWatch Pressed(this, Columns()->IsValidIndex(Col) ? Columns()->Item(Col) : nullptr, FDownCell.Y);
  if (Pressed.Column != nullptr) {
    TNxCustomColumn* C = Pressed.Column;
    const bool Plays = C->Options().Contains(coEditing) || (C->GetColumnCapabilities() & cpPlayWithoutEditing) != 0;
    if (C->Play() != nullptr && Plays && !ReadOnly()) {
      const TRect R = GetCellRect(Col, Pressed.Row);
      if (PreparePlay(Col, Pressed.Row, true, R))
        C->Play()->MouseDown(Button, Shift, FDownPoint.X - R.Left, FDownPoint.Y - R.Top);
    }
    if (Pressed.Col() < 0 || Pressed.Row < 0) return;
    Col = Pressed.Col();
  }
  SelectCell(Col, Pressed.Row, false, ClearMulti, Shift);
  if (Pressed.Row < 0 || (Pressed.Column != nullptr && Pressed.Col() < 0)) return;
  const int Row = Pressed.Row;
  if (Pressed.Column != nullptr) Col = Pressed.Col();
  // A row (or slide) shown in part comes into view. The release is judged in the rows as they
  // stood at the press: it is moved by as much as the pressed row moved.
  const int Top = GetRowTop(Row);
  if (GridStyle() == gsReport) {
    if (Columns()->IsValidIndex(Col) && GetCellRect(Col, Row).Bottom > GetBodyRect().Bottom) ScrollToRow(Row);
  } else if (GetSlideRect(Row).Bottom > GetBodyRect().Bottom) {
    VertScrollBar()->LineDown();
  }
  if (Pressed.Row >= 0) FPressShift = GetRowTop(Pressed.Row) - Top;
}

void TNxCustomGrid::HeaderPress(TMouseButton Button, TShiftState Shift) {
  if (Button != mbLeft || Shift.Contains(ssDouble) || ComponentState().Contains(csDesigning)) return;
  FPressedColumn = GetColumnAtPos(FDownPoint);
  if (FPressedColumn != nullptr && FPressedColumn->Options().Contains(coCanClick)) {
    FGridState.Include(gsHeaderPressed);
    FClickColumn = FPressedColumn;
    RefreshColumnPart(FPressedColumn, gaHeader);
  } else {
    FPressedColumn = nullptr;
  }
}

void TNxCustomGrid::IndicatorPress(int X, int Y) {
  if (Options().Contains(goRowResizing)) {
    const int R = GetSizingRow(X, Y);
    if (R >= 0) {
      FSizingRow = R;
      FRowSizePoint = Point(X, Y);
      // The height follows the pointer's way from the press, wherever in the grip the press was.
      FRowSizeOffset = GetRowTop(R) + GetRowPitch(R) - Y;
      Update();
      InvertHorizontalLine(Y);
      return;
    }
  }
  // The indicator lies left of the body: the row is the one beside the press. Selecting another
  // row, leaving the input line or letting go of other selected rows closes an open editor: what
  // was typed is kept.
  // Also when no column is shown (the body has no width then).
  const TCellWatch Beside(this, nullptr, GetRowBeside(Y));
  if (Beside.Row < 0) return;
  if (Beside.Row != SelectedRow() || InputSelected() || GridState().Contains(gsRangeSelect)) CommitEditing();
  // The handlers of the edit's end may have taken the row away, or out of sight.
  if (Beside.Row >= 0 && RowCanBeSeen(Beside.Row)) SelectRow(Beside.Row);
}

// ---------------------------------------------------------------------------------------------
// Mouse: moves

void TNxCustomGrid::MouseMove(TShiftState Shift, int X, int Y) {
  TNxCustomGridControl::MouseMove(Shift, X, Y);
  FMousePos = Point(X, Y);
  if (Columns()->Count() == 0 || Rolling()) return;
  if (FSizingColumn != nullptr) {
    FGridState.Include(gsColumnSizing);
    InvertVerticalLine(FSizeLineRight);
    const int S = FSizingColumn->Position() >= Columns()->FixedCols() ? HorzScrollBar()->Position() : 0;
    const int L = FSizingColumn->Left();
    const int W = FSizingColumn->Width();
    // The column's right edge goes to the pointer.
    FSizingDelta = S + X - (L + W);
    if (W + FSizingDelta < FSizingColumn->MinWidth()) FSizingDelta = FSizingColumn->MinWidth() - W;
    FSizeLineRight = L + W + FSizingDelta - 1 - S;
    InvertVerticalLine(FSizeLineRight);
    return;
  }
  if (Options().Contains(goRowResizing) && FSizingRow != -1) {
    InvertHorizontalLine(FRowSizePoint.Y);
    FRowSizePoint = Point(X, std::max(Y, GetRowTop(FSizingRow) + 8));
    InvertHorizontalLine(FRowSizePoint.Y);
    return;
  }
  const TGridArea Area = GetAreaAtPos(FMousePos);
  if (Area == gaHeader) {
    HeaderHover(Shift, X, Y);
  } else {
    if (FHintKind == ghHeader) HideHint();
    FHintedColumn = nullptr;
    HeaderLeave();
  }
  if (Area == gaFooter) {
    FooterHover(X, Y);
  } else {
    if (FHintKind == ghFooter) HideHint();
    FHintedFooterColumn = nullptr;
  }
  if (Area == gaBody) {
    BodyHover(Shift, X, Y);
  } else {
    if (FHintKind == ghTextFit || FHintKind == ghCell) HideHint();
    LeaveHoverCell();
    FHintCell = Point(-1, -1);
  }
  if (Area == gaIndicator) IndicatorHover(X, Y);
  if (Area == gaNone) {
    HideHint();
    SetCursor(crDefault);
  }
}

void TNxCustomGrid::HeaderHover(TShiftState Shift, int X, int Y) {
  if (ComponentState().Contains(csDesigning)) return;
  FGripColumn = GetSizingColumn(X);
  SetCursor(FGripColumn != nullptr ? crHorzSplit : crDefault);
  if (FPressedColumn != nullptr && Shift.Contains(ssLeft) && !FPressedColumn->Options().Contains(coDisableMoving) &&
      !Options().Contains(goDisableColumnMoving) && LeftPressBox(FDownPoint, X, Y)) {
    StartColumnDrag(X, Y);
    return;
  }
  TNxCustomColumn* Old = FHotColumn;
  FHotColumn = GetColumnAtPos(Point(X, Y));
  if (FHotColumn == nullptr || FHotColumn->Header()->Hint().empty()) {
    if (FHintKind == ghHeader) HideHint();
    FHintedColumn = nullptr;
  } else if (FHotColumn != FHintedColumn) {
    // The hint stays while the pointer stays on the hinted header.
    FHintedColumn = FHotColumn;
    ShowHintAt(ghHeader, FHotColumn->Header()->Hint(), ClientWidth(),
               Point(ColumnLeft(FHotColumn), HeaderSize() + 2));
  }
  if (HeaderHotTracking() && Old != FHotColumn) {
    if (FHotColumn != nullptr) RefreshColumnPart(FHotColumn, gaHeader);
    if (Old != nullptr) RefreshColumnPart(Old, gaHeader);
  }
}

void TNxCustomGrid::HeaderLeave() {
  FGripColumn = nullptr;
  if (Cursor() == crHorzSplit) SetCursor(crDefault);
  if (FHotColumn != nullptr) {
    TNxCustomColumn* C = FHotColumn;
    FHotColumn = nullptr;
    RefreshColumnPart(C, gaHeader);
  }
}

void TNxCustomGrid::FooterHover(int X, int Y) {
  TNxCustomColumn* C = GetColumnAtPos(Point(X, Y));
  if (C != nullptr && !C->Footer()->Hint().empty()) {
    if (C == FHintedFooterColumn) return;
    FHintedFooterColumn = C;
    ShowHintAt(ghFooter, C->Footer()->Hint(), ClientWidth(), Point(ColumnLeft(C), ClientHeight() + 2));
    return;
  }
  if (FHintKind == ghFooter) HideHint();
  FHintedFooterColumn = nullptr;
}

void TNxCustomGrid::IndicatorHover(int X, int Y) {
  if (Options().Contains(goRowResizing) && GetSizingRow(X, Y) >= 0) {
    SetCursor(crVertSplit);
    return;
  }
  const int Last = FindLastShownRow(GetRowCount() - 1);
  const TRect B = GetBodyRect();
  bool BesideRow = false;
  if (Last >= 0 && Y > B.Top) {
    int Top = 0;
    if (GetVisibleRowTop(Last, Top))
      BesideRow = Y < Top + GetRowPitch(Last);
    else
      BesideRow = Last >= FFirstVisibleRow;  // the last row lies below the view
  }
  SetCursor(BesideRow ? crIndicatorSelect : crDefault);
}

void TNxCustomGrid::LeaveHoverCell() {
  if (Columns()->IsValidIndex(FHoverCell.X)) {
    if (TColumnPlay* Play = Columns()->Item(FHoverCell.X)->Play()) Play->MouseLeave();
  }
  FHoverCell = Point(-1, -1);
}

void TNxCustomGrid::BodyHover(TShiftState Shift, int X, int Y) {
  const TPoint Cell = GetCellAtPos(Point(X, Y));
  if (Cell != FHoverCell) LeaveHoverCell();
  FHoverCell = Cell;
  const bool Valid = Columns()->IsValidIndex(Cell.X) && Cell.Y >= 0 && Cell.Y < GetRowCount();
  if (Valid && !ReadOnly()) {
    if (TColumnPlay* Play = Columns()->Item(Cell.X)->Play()) {
      const TRect R = GetCellRect(Cell.X, Cell.Y);
      if (PreparePlay(Cell.X, Cell.Y, false, R)) Play->MouseMove(Shift, X - R.Left, Y - R.Top);
    }
  }
  // Row moving.
  if (FMoveRow != -1 && Options().Contains(goRowMoving) && Shift.Contains(ssLeft) &&
      !GridState().Contains(gsRowMoving) && LeftPressBox(FDownPoint, X, Y)) {
    FGridState.Include(gsRowMoving);
    HideHint();
    if (Screen != nullptr) Screen->SetCursor(crDrag);
  }
  if (GridState().Contains(gsRowMoving)) {
    const int Drop = GetRowDropIndex(Y);
    if (Drop != FDropRow) {
      FDropRow = Drop;
      EraseRowMoveSign();
      if (Drop >= 0) {
        if (Drop == FFirstVisibleRow && FFirstVisibleRow > 0) {
          VertScrollBar()->LineUp();
          Update();
        } else if (Drop == GetLastFullyVisibleRow() + 1 && Drop < GetRowCount()) {
          VertScrollBar()->LineDown();
          Update();
        }
        DrawRowMoveSign(Drop);
      }
    }
    return;
  }
  // Hints.
  if (!Valid) {
    SetCursor(crDefault);
    HideHint();
    FHintCell = Point(-1, -1);
    return;
  }
  if (Cell == FHintCell) return;
  FHintCell = Cell;
  TNxCustomColumn* Col = Columns()->Item(Cell.X);
  SetCursor(Col->Cursor());
  if (Col->Options().Contains(coShowTextFitHint)) {
    const WideString Text = ShownCellText(Cell.X, Cell.Y);
    if (!Text.empty() && !CellTextFits(Cell.X, Cell.Y, Text)) {
      const TRect R = GetCellRect(Cell.X, Cell.Y);
      ShowHintAt(ghTextFit, Text, ClientWidth(), Point(R.Left, R.Top));
      return;
    }
  }
  WideString Hint;
  GetCellHint(Cell.X, Cell.Y, Hint);
  if (Hint.empty()) {
    HideHint();
    return;
  }
  const TRect R = GetCellRect(Cell.X, Cell.Y);
  const int Width = GridStyle() == gsSlides ? Col->SlideBounds()->Width() : Col->Width();
  ShowHintAt(ghCell, Hint, 250, Point(std::min(R.Left + Width, ClientWidth()), R.Top - 20));
}

// ---------------------------------------------------------------------------------------------
// Mouse: releases

void TNxCustomGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  Operation([&] {
    TNxCustomGridControl::MouseUp(Button, Shift, X, Y);
    const TCellWatch Pressed(this, FPressedColumn, -1);
    // The release ends the press: a later release without a press on the grid names no cell.
    const TPoint Down = FDownCell;
    FDownPoint = FDownCell = Point(-1, -1);
    FPressedColumn = nullptr;
    // Row moving.
    if (GridState().Contains(gsRowMoving)) {
      // Released outside the window, the move is given up.
      int T = ClientRect().Contains(Point(X, Y)) ? GetRowDropIndex(Y) : -1;
      EraseRowMoveSign();
      if (Screen != nullptr) Screen->SetCursor(crDefault);
      FGridState.Exclude(gsRowMoving);
      const int From = FMoveRow;
      FMoveRow = -1;
      FDropRow = -1;
      if (T > -1 && From >= 0 && From < GetRowCount()) {
        if (T > From) --T;
        bool Accept = true;
        // The moved row, followed while the handlers change what they like.
        const TCellWatch Moved(this, nullptr, From);
        DoRowMove(From, T, Accept);
        if (Accept && Moved.Row >= 0 && T >= 0 && T < GetRowCount()) {
          MoveRow(Moved.Row, T);
          DoAfterRowMove(From, T);
          if (Moved.Row >= 0) SelectRow(Moved.Row);
        }
      }
    }
    FMoveRow = -1;
    FDropRow = -1;
    FGridState.Exclude(gsHeaderPressed);
    FGridState.Exclude(gsState32);
    // Column resizing: the width changes once, here.
    if (FSizingColumn != nullptr && GridState().Contains(gsColumnSizing)) {
      TNxCustomColumn* C = FSizingColumn;
      InvertVerticalLine(FSizeLineLeft);
      InvertVerticalLine(FSizeLineRight);
      FSizingColumn = nullptr;
      FGripColumn = nullptr;
      FGridState.Exclude(gsColumnSizing);
      C->SetWidth(C->Width() + FSizingDelta);
      FSizingDelta = 0;
      return;
    }
    FSizingColumn = nullptr;
    FGridState.Exclude(gsColumnSizing);
    // Row resizing.
    if (FSizingRow != -1) {
      const int R = FSizingRow;
      FSizingRow = -1;
      InvertHorizontalLine(FRowSizePoint.Y);
      if (R < GetRowCount()) SetRowHeight(R, std::max(FRowSizePoint.Y + FRowSizeOffset - GetRowTop(R), 8));
    }
    if (FClickColumn != nullptr) {
      TNxCustomColumn* C = FClickColumn;
      FClickColumn = nullptr;
      DoHeaderClick(C->Index());
      // The handler may have removed the column.
      if (Columns()->IndexOf(C) >= 0) RefreshColumnPart(C, gaHeader);
    }
    if (Button != mbLeft) {
      // Another button's release closes an open editor, keeping what was typed.
      CommitEditing();
      return;
    }
    const TPoint P = Point(X, Y);
    const bool Designing = ComponentState().Contains(csDesigning);
    switch (GetAreaAtPos(P)) {
      case gaBody:
        if (!Designing) BodyRelease(Down, Button, Shift, X, Y);
        break;
      case gaFooter:
        if (TNxCustomColumn* C = GetColumnAtPos(P)) DoFooterClick(C->Index());
        break;
      case gaHeader: {
        TNxCustomColumn* C = GetColumnAtPos(P);
        if (C != nullptr && C == Pressed.Column && Pressed.Col() >= 0 && C->Options().Contains(coCanSort)) {
          // The rows are about to move: what was typed goes into its own row first (its handlers
          // may take the column away).
          CommitEditing();
          if (Pressed.Col() < 0) break;
          if (!C->Sorted())
            C->SetSorted(true);
          else
            C->SetSortKind(C->SortKind() == skAscending ? skDescending : skAscending);
        }
        break;
      }
      case gaInput:
        if (!Designing)
          if (TNxCustomColumn* C = GetColumnAtPos(P)) EditInputCell(C);
        break;
      default:
        if (GridState().Contains(gsRangeSelect)) DeselectAll();
        break;
    }
  });
}

void TNxCustomGrid::BodyRelease(TPoint C2, TMouseButton Button, TShiftState Shift, int X, int Y) {
  Y += FPressShift;
  const TPoint C1 = GetCellAtPos(Point(X, Y));
  const bool Valid = Columns()->IsValidIndex(C1.X) && C1.Y >= 0 && C1.Y < GetRowCount();
  if (Valid && C1 == C2) {
    DoCellClick(C1.X, C1.Y);
    // The handler may have changed what lies under the release: the click ends there.
    if (GetCellAtPos(Point(X, Y)) != C1) return;
  }
  if (!Columns()->IsValidIndex(C1.X)) return;
  if (GridState().Contains(gsRangeSelect)) {
    if (C1.Y < 0) DeselectAll();
    return;
  }
  if (C1 != C2 || !Valid) return;
  TNxCustomColumn* Col = Columns()->Item(C1.X);
  const TRect R = GetCellRect(C1.X, C1.Y);
  if (TColumnPlay* Play = Col->Play()) {
    const bool Plays = Col->Options().Contains(coEditing) || (Col->GetColumnCapabilities() & cpPlayWithoutEditing) != 0;
    if (Plays && !ReadOnly() && PreparePlay(C1.X, C1.Y, false, R)) Play->MouseUp(Button, Shift, X - R.Left, Y - R.Top);
  }
  if (R.Contains(Point(X, Y)) && (!Options().Contains(goSecondClickEdit) || FClickOnSelected) &&
      CanEditCell(C1.X, C1.Y))
    EditCell(C1.X, C1.Y);
}

// ---------------------------------------------------------------------------------------------
// Column dragging

int TNxCustomGrid::ColumnLeft(TNxCustomColumn* Column) { return GetColumnScreenLeft(Column); }

TRect TNxCustomGrid::HeaderDropStrip() {
  return Rect(0, 0, std::min(GetHeaderRect().Right, ClientWidth()), GetBodyRect().Top);
}

bool TNxCustomGrid::DropForbidden(TNxCustomColumn* Column, int Target) {
  return Options().Contains(goLockFixedCols) &&
         (Target < Columns()->FixedCols() || Columns()->FixedCols() > Column->Position());
}

void TNxCustomGrid::StartColumnDrag(int X, int Y) {
  TNxCustomColumn* C = FPressedColumn;
  FGridState.Include(gsColumnDragging);
  HideHint();
  // The box shows the pressed header where it stands, then follows the mouse: it takes the
  // capture and reports every move and the drop (ColumnDragMove, ColumnDragDrop).
  FDragBox->Font()->Assign(Font());
  const TPoint Corner = ClientToScreen(Point(ColumnLeft(C), 0));
  FDragBox->SetBounds(Corner.X, Corner.Y, C->Width(), HeaderSize());
  const TPoint S = ClientToScreen(Point(X, Y));
  FDragBox->BeginDrag(S.X, S.Y, false, C);
}

void TNxCustomGrid::EndColumnDrag() {
  FGridState.Exclude(gsColumnDragging);
  HideDropArrows();
  if (FDragBox != nullptr) FDragBox->CancelDrag();
  if (Screen != nullptr) Screen->SetCursor(crDefault);
}

void TNxCustomGrid::ColumnDragMove(int ScreenX, int ScreenY) {
  TNxCustomColumn* C = FPressedColumn;
  if (C == nullptr || !GridState().Contains(gsColumnDragging)) return;
  const TPoint P = ScreenToClient(Point(ScreenX, ScreenY));
  if (!HeaderDropStrip().Contains(P)) {
    HideDropArrows();
    if (Screen != nullptr) Screen->SetCursor(crColumnNoDrag);
    return;
  }
  const int T = GetColumnDropPos(C, P.X);
  if (DropForbidden(C, T)) {
    HideDropArrows();
    if (Screen != nullptr) Screen->SetCursor(crColumnNoDrag);
    return;
  }
  if (Columns()->ItemByPosition(T)->Visible()) ShowDropArrows(C->Position(), T);
  if (Screen != nullptr) Screen->SetCursor(crDefault);
}

void TNxCustomGrid::ColumnDragDrop(int ScreenX, int ScreenY) {
  // The drop comes with the drag box's message: it enters the grid from outside.
  Operation([&] {
    if (Screen != nullptr) Screen->SetCursor(crDefault);
    const TCellWatch C(this, FPressedColumn, -1);
    const bool Dragging = GridState().Contains(gsColumnDragging);
    EndColumnDrag();
    FGridState.Exclude(gsHeaderPressed);
    FPressedColumn = nullptr;
    FDownPoint = Point(-1, -1);
    FClickColumn = nullptr;
    if (C.Col() < 0 || !Dragging) return;
    const TPoint P = ScreenToClient(Point(ScreenX, ScreenY));
    if (HeaderDropStrip().Contains(P)) {
      const int T = GetColumnDropPos(C.Column, P.X);
      if (!DropForbidden(C.Column, T) && T != C.Column->Position()) Columns()->MovePosition(C.Column->Position(), T);
    } else if (Options().Contains(goCanHideColumn)) {
      C.Column->SetVisible(false);
    }
    if (C.Col() >= 0) RefreshColumnPart(C.Column, gaHeader);
  });
}

void TNxCustomGrid::ShowDropArrows(int FromPos, int ToPos) {
  if (ComponentState().Contains(csDesigning)) return;
  if (FromPos == ToPos) {
    HideDropArrows();
    return;
  }
  // The arrows point at the boundary the column would land on: the target's right edge when the
  // column moves right, its left edge when it moves left.
  TNxCustomColumn* Target = Columns()->ItemByPosition(ToPos);
  int X = Target->Left();
  if (ToPos > FromPos) X += Target->Width();
  TPoint S = ClientToScreen(Point(X, 0));
  if (ToPos >= Columns()->FixedCols()) S.X -= HorzScrollBar()->Position();
  ShowColumnDropArrows(FTopArrow, FBottomArrow, S.X, S.Y, HeaderSize());
}

void TNxCustomGrid::HideDropArrows() { HideColumnDropArrows(FTopArrow, FBottomArrow); }

// ---------------------------------------------------------------------------------------------
// Inverted lines and the insertion sign

void TNxCustomGrid::InvertVerticalLine(int X) {
  if (!HandleAllocated()) return;
  TCanvas* Cv = Canvas();
  Cv->Pen()->SetMode(pmNot);
  Cv->Pen()->SetWidth(1);
  Cv->Pen()->SetStyle(psSolid);
  Cv->MoveTo(X, 0);
  Cv->LineTo(X, ClientHeight());
  Cv->Pen()->SetMode(pmCopy);
}

void TNxCustomGrid::InvertHorizontalLine(int Y) {
  if (!HandleAllocated()) return;
  TCanvas* Cv = Canvas();
  Cv->Pen()->SetMode(pmNot);
  Cv->Pen()->SetWidth(1);
  Cv->Pen()->SetStyle(psSolid);
  Cv->MoveTo(0, Y);
  Cv->LineTo(ClientWidth(), Y);
  Cv->Pen()->SetMode(pmCopy);
}

void TNxCustomGrid::DrawRowMoveSign(int DropIndex) {
  if (!HandleAllocated() || DropIndex < 0) return;
  const TRect R = GridStyle() == gsSlides ? GetSlideRect(DropIndex) : GetRowRect(DropIndex);
  int Y = R.Top;
  if (DropIndex != FFirstVisibleRow) --Y;
  const int Right = R.Right;
  TCanvas* Cv = Canvas();
  Cv->Pen()->SetMode(pmCopy);
  Cv->Pen()->SetStyle(psSolid);
  Cv->Pen()->SetWidth(1);
  Cv->Pen()->SetColor(static_cast<TColor>(255));
  Cv->Brush()->SetStyle(bsSolid);
  Cv->Brush()->SetColor(static_cast<TColor>(255));
  const TPoint Arrow[] = {Point(0, Y - 2), Point(2, Y - 2), Point(2, Y - 5), Point(7, Y),
                          Point(2, Y + 5), Point(2, Y + 2), Point(0, Y + 2), Point(0, Y - 2)};
  std::vector<TPoint> Left(std::begin(Arrow), std::end(Arrow));
  std::vector<TPoint> Mirror;
  for (const TPoint& P : Arrow) Mirror.push_back(Point(Right - 1 - P.X, P.Y));
  Cv->Polygon(Left);
  Cv->Polygon(Mirror);
  Cv->MoveTo(8, Y);
  Cv->LineTo(Right - 8, Y);
  FSignY = Y;
  FSignRight = Right;
}

void TNxCustomGrid::EraseRowMoveSign() {
  if (FSignY == -1) return;
  const int Y = FSignY;
  const int R = FSignRight;
  FSignY = -1;
  RefreshRect(Rect(0, Y - 5, 7, Y + 6));
  RefreshRect(Rect(R - 7, Y - 5, R + 1, Y + 6));
  RefreshRect(Rect(7, Y, R, Y + 1));
  // The next sign is drawn on what is painted now, not on the old one.
  Update();
}

// ---------------------------------------------------------------------------------------------
// Hints

bool TNxCustomGrid::HintsAllowed() {
  return HandleAllocated() && IsParentFormActive(this) && Application != nullptr && Application->ShowHint();
}

THintWindow* TNxCustomGrid::CreateHintWindow() {
  THintWindow* W = HintWindowClass ? HintWindowClass(nullptr) : new THintWindow(nullptr);
  if (W != nullptr && Application != nullptr) W->SetColor(Application->HintColor());
  return W;
}

THintWindow* TNxCustomGrid::NeedHintWindow() {
  if (FHintWindow == nullptr) FHintWindow = CreateHintWindow();
  return FHintWindow;
}

void TNxCustomGrid::ShowHintAt(TGridHintKind Kind, const WideString& Text, int MaxWidth, TPoint ClientPos) {
  if (!HintsAllowed() || Text.empty()) {
    HideHint();
    return;
  }
  THintWindow* W = NeedHintWindow();
  if (W == nullptr) return;
  TRect R = CalcHintRectW(W, MaxWidth, Text, nullptr);
  const TPoint S = ClientToScreen(ClientPos);
  R.Offset(S.X, S.Y);
  PassMouseThrough(W);
  ActivateHintW(W, R, Text);
  FHintKind = Kind;
}

void TNxCustomGrid::PassMouseThrough(THintWindow* W) {
  // The text-fit hint lies over the very cell under the pointer (and often over the rows below
  // it): the mouse has to reach the grid through it. The hint window's own "transparent" answer
  // to the hit test does not pass the mouse on to another top-level window on every system; a
  // window that is both layered and transparent is passed over by the system's hit testing
  // wherever it lies. Fully opaque, the hint looks as before.
  HWND H = W->Handle();
  const LONG Ex = GetWindowLongW(H, GWL_EXSTYLE);
  const LONG Want = Ex | WS_EX_LAYERED | WS_EX_TRANSPARENT;
  if (Ex != Want) {
    SetWindowLongW(H, GWL_EXSTYLE, Want);
    SetLayeredWindowAttributes(H, 0, 255, LWA_ALPHA);
  }
}

void TNxCustomGrid::HideHint() {
  ReleaseHintWindow(FHintWindow);
  FHintKind = ghNone;
  FHintedColumn = nullptr;
  FHintedFooterColumn = nullptr;
}

WideString TNxCustomGrid::ShownCellText(int ACol, int ARow) {
  WideString Text;
  GetCellDisplayText(ACol, ARow, Text);
  DoApplyCell(ACol, ARow, Text);
  return Text;
}

bool TNxCustomGrid::CellTextFits(int ACol, int ARow, const WideString& Text) {
  TNxCustomColumn* Col = Columns()->Item(ACol);
  TColumnDisplay* D = Col->Display();
  TCanvas* Cv = Canvas();
  D->Canvas = Cv;
  D->Handle = HandleAllocated() ? Handle() : nullptr;
  D->ClientRect = GetCellRect(ACol, ARow);
  D->BiDiMode = Col->BiDiMode();
  PrepareCellDisplay(ACol, ARow, D);
  Cv->SetFont(Col->Font());
  if (IsCellSelected(ACol, ARow) && AppearanceOptions().Contains(aoBoldTextSelection))
    Cv->Font()->SetStyle(Cv->Font()->Style() + fsBold);
  const int Available = GridStyle() == gsSlides ? Col->SlideBounds()->Width() : Col->Width();
  // A character is at least a pixel wide: a text with more characters than the cell has pixels
  // does not fit, and a text megabytes long is not measured.
  if (Text.size() > static_cast<std::size_t>(std::max(Available, 0))) return false;
  const int TextWidth = D->GetTextWidth(Text);
  return Available >= TextWidth + 5;
}

bool TNxCustomGrid::HeaderHotTracking() {
  TStyleDisplay* D = StyleDisplay();
  return D != nullptr && (D->GetCapabilities() & scHotHeaders) != 0;
}

// ---------------------------------------------------------------------------------------------
// Play elements

void TNxCustomGrid::FillPlay(TColumnPlay* Play, int ACol, int ARow) {
  Play->Cell = nullptr;
  GetCellData(ACol, ARow, Play->Value);
}

bool TNxCustomGrid::PreparePlay(int ACol, int ARow, bool FireEvent, const TRect& CellRect) {
  if (!Columns()->IsValidIndex(ACol) || ARow < 0 || ARow >= GetRowCount()) return false;
  TNxCustomColumn* C = Columns()->Item(ACol);
  if (C->Play() == nullptr) return false;
  bool Accept = true;
  if (FireEvent) {
    // The handler may change anything: the cell must still be where it was.
    const TCellWatch Cell(this, C, ARow);
    DoBeforeEdit(ACol, ARow, Accept);
    if (!Accept || Cell.Col() != ACol || Cell.Row != ARow) return false;
  }
  TColumnPlay* Play = C->Play();
  if (Play == nullptr) return false;
  Play->Col = ACol;
  Play->Row = ARow;
  Play->Canvas = Canvas();
  Play->Handle = HandleAllocated() ? Handle() : nullptr;
  Play->Font = C->Font();
  FillPlay(Play, ACol, ARow);
  Play->ClientRect = CellRect;
  Play->OnBeforeChange = [this](TColumnPlay* Sender, bool& A) { PlayBeforeChange(Sender, A); };
  Play->OnChange = [this](TColumnPlay* Sender) { PlayChange(Sender); };
  return true;
}

// ---------------------------------------------------------------------------------------------
// Wheel

bool TNxCustomGrid::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  const bool Result = TNxCustomGridControl::DoMouseWheelDown(Shift, MousePos);
  if (!Result || GridState().Contains(gsEditing)) return Result;
  HideHint();
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
  HideHint();
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
  Operation([&] {
    TNxCustomGridControl::KeyDown(Key, Shift);
    // A key whose handlers spent it moves nothing.
    if (!KeyStands()) Key = 0;
    if (Key != 0) KeyNavigate(Key, Shift);
  });
}

void TNxCustomGrid::KeyNavigate(Word& Key, TShiftState Shift) {
  if (Options().Contains(goDisableKeys)) return;
  // The caret keys belong to an open editor, the input line's as much as a body cell's.
  if (IsEditing() && Key >= VK_END && Key <= VK_DOWN) return;
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
      // The last row of the page that can be seen.
      const int LastFull = SeenRowFrom(GetLastFullyVisibleRow(), -1);
      if (SelectedRow() < LastFull && LastFull >= 0) {
        SelectRow(LastFull);
      } else {
        MoveSelectionBy(std::max(GetRowsPerPage(false), 1));
        ScrollToRow(SelectedRow());
      }
      break;
    }
    case VK_PRIOR: {
      if (VertScrollBar()->AtStart()) {
        SelectFirstRow({});
        break;
      }
      const int FirstSeen = SeenRowFrom(FFirstVisibleRow, 1);
      if (FirstSeen >= 0 && SelectedRow() > FirstSeen) {
        SelectRow(FirstSeen);
      } else {
        MoveSelectionBy(-std::max(GetRowsPerPage(false), 1));
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
  Operation([&] { KeyStart(Key); });
}

void TNxCustomGrid::KeyStart(wchar_t& Key) {
  TNxCustomGridControl::KeyPress(Key);
  // A key whose handlers spent it (ended the edit it was typed into, made another selection) does
  // nothing more; the edit it was typed into takes it.
  if (!KeyStands()) Key = 0;
  if (Key == 0 || GridState().Contains(gsEditing) || GridState().Contains(gsInputEditing) ||
      Options().Contains(goDisableKeys) || Key == VK_ESCAPE)
    return;
  HideHint();
  if (Key == VK_RETURN && WantReturns()) {
    if (!InputSelected()) {
      switch (SelectionMoveDirection()) {
        case mdUp: MoveUp({}); break;
        case mdDown: MoveDown({}, false, false); break;
        case mdLeft: MoveLeft(mkEnter); break;
        case mdRight: MoveRight(mkEnter); break;
        case mdNone: break;
      }
    } else if (InputEnterMode() == imAllways) {
      ApplyEditing();
      AddInputRow();
      if (Columns()->IsValidIndex(InputColumn())) {
        EditInputCell(Columns()->Item(InputColumn()));
        if (InplaceEditor() != nullptr) InplaceEditor()->SelectAll();
      }
    }
  }
  if (!Columns()->IsValidIndex(SelectedColumn())) return;
  const bool Input = InputSelected();
  if (!Input && (SelectedRow() < 0 || SelectedRow() >= GetRowCount())) return;
  // The key goes to the selected cell while it stands: a handler on the way that selects another
  // cell, or takes the selected cell's column away (which selects another), spends it. The
  // selection follows its column and row meanwhile.
  auto Selected = [&] { return Columns()->Item(SelectedColumn()); };
  const bool Plays =
      Selected()->Options().Contains(coEditing) || (Selected()->GetColumnCapabilities() & cpPlayWithoutEditing) != 0;
  if (Selected()->Play() != nullptr && !ReadOnly() && !Input && Plays) {
    if (PreparePlay(SelectedColumn(), SelectedRow(), true, GetCellRect(SelectedColumn(), SelectedRow())) && KeyStands())
      Selected()->Play()->KeyPress(Key);
    if (Key == 0 || !KeyStands()) return;
  }
  if (Key == VK_RETURN || Key == VK_TAB) return;
  TNxCustomColumn* Col = Selected();
  if (Col->KeyStartsEditing(Key)) {
    if (Input)
      EditInputCellWithKey(Col, Key);
    else
      EditCellWithKey(SelectedColumn(), SelectedRow(), Key);
    if (IsEditing() || !KeyStands()) return;
  }
  // Incremental search in the first search column.
  if (Input || Col->Options().Contains(coEditing) || GetRowCount() == 0) return;
  for (int I = 0; I < Columns()->Count(); ++I) {
    TNxCustomColumn* S = Columns()->Item(I);
    if (!S->Options().Contains(coSearchColumn)) continue;
    FSearchTimer->SetEnabled(false);
    FSearchTimer->SetEnabled(true);
    // Backspace takes back the last typed character; other control characters are not text.
    if (Key == VK_BACK) {
      if (!FSearchText.empty()) FSearchText.pop_back();
    } else if (Key >= L' ' && Key != 0x7F) {
      // While the typed text grows, a selected row that still matches it stays selected.
      const bool Grows = !FSearchText.empty();
      FSearchText += Key;
      if (!Grows || !RowStartsWith(S->Index(), SelectedRow(), FSearchText)) SearchText(S, FSearchText, false);
    }
    break;
  }
}

bool TNxCustomGrid::SearchText(TNxCustomColumn* Column, const WideString& Text, bool FromStart) {
  const int Rows = GetRowCount();
  if (Column == nullptr || Columns()->IndexOf(Column) < 0 || Rows == 0 || Text.empty()) return false;
  const int Col = Column->Index();
  const int Start = FromStart ? 0 : std::clamp(SelectedRow() + 1, 0, Rows);
  for (int K = 0; K < Rows; ++K) {
    const int R = (Start + K) % Rows;
    if (RowStartsWith(Col, R, Text)) {
      Operation([&] {
        const TCellWatch Found(this, nullptr, R);
        SelectRow(R);
        if (Found.Row >= 0 && Found.Row == SelectedRow()) ScrollToRow(Found.Row);
      });
      return true;
    }
  }
  return false;
}

bool TNxCustomGrid::RowStartsWith(int ACol, int ARow, const WideString& Text) {
  if (!RowCanBeSeen(ARow)) return false;
  const WideString Cell = GetCells(ACol, ARow);
  return Cell.size() >= Text.size() && WideCompareText(Cell.substr(0, Text.size()), Text) == 0;
}
