#include "grid/NxCustomGridControl.h"

#include <algorithm>
#include <optional>

#include "framework/Strings.h"
#include "grid/NxDisplays.h"
#include "grid/NxPaintHelpers.h"
#include "grid/NxRowWalk.h"
#include "grid/NxSharedCommon.h"
#include "grid/NxThemeSupport.h"

namespace {

bool Intersects(const TRect& A, const TRect& B) {
  return A.Left < B.Right && B.Left < A.Right && A.Top < B.Bottom && B.Top < A.Bottom;
}

TRect Intersection(const TRect& A, const TRect& B) {
  return TRect{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right), std::min(A.Bottom, B.Bottom)};
}

bool ContainsRect(const TRect& Outer, const TRect& Inner) {
  return Inner.Left >= Outer.Left && Inner.Top >= Outer.Top && Inner.Right <= Outer.Right && Inner.Bottom <= Outer.Bottom;
}

TRect Inflated(TRect R, int DX, int DY) {
  R.Left -= DX;
  R.Right += DX;
  R.Top -= DY;
  R.Bottom += DY;
  return R;
}

// Keeps a flag set for the length of a scope.
class TFlagScope {
 public:
  explicit TFlagScope(bool& Flag) : FFlag(Flag), FOld(Flag) { FFlag = true; }
  ~TFlagScope() { FFlag = FOld; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& FFlag;
  bool FOld;
};

// Saves the canvas's device context state and restores it when the scope ends. The canvas's
// objects leave the DC before its state is saved, so that restoring it never selects an object
// the canvas has replaced meanwhile.
class TDCStateScope {
 public:
  explicit TDCStateScope(TCanvas* Canvas) : FCanvas(Canvas) {
    FCanvas->Refresh();
    FDC = FCanvas->Handle();
    FSaved = SaveDC(FDC);
  }
  ~TDCStateScope() {
    RestoreDC(FDC, FSaved);
    FCanvas->Refresh();
  }
  TDCStateScope(const TDCStateScope&) = delete;
  TDCStateScope& operator=(const TDCStateScope&) = delete;
  HDC DC() const { return FDC; }

 private:
  TCanvas* FCanvas;
  HDC FDC = nullptr;
  int FSaved = 0;
};

// Runs Paint with the canvas's clip region narrowed to R (and given back afterwards).
template <class TPaint>
void ClipToPiece(TCanvas* Cv, const TRect& R, TPaint Paint) {
  TDCStateScope DCState(Cv);
  IntersectClipRect(DCState.DC(), R.Left, R.Top, R.Right, R.Bottom);
  Paint();
}

void FillRectColor(TCanvas* Cv, const TRect& R, TColor Color) {
  if (R.IsEmpty()) return;
  Cv->Brush()->SetStyle(bsSolid);
  Cv->Brush()->SetColor(Color);
  Cv->FillRect(R);
}

void Line(TCanvas* Cv, int X1, int Y1, int X2, int Y2) {
  Cv->MoveTo(X1, Y1);
  Cv->LineTo(X2, Y2);
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
  DetachEditor();
  FColumns->OnColumnChanged = nullptr;
  FColumns->OnColumnNotify = nullptr;
  FColumns->OnColumnsChanged = nullptr;
  FColumns->BodyWidth = nullptr;
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
  // Leaving the grid with an editor open keeps what was typed (not when the editor is being
  // closed already and its hiding moved the focus).
  if (IsEditing() && !FEndingEdit) {
    ApplyEditing();
    EndEditing();
  }
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
  // The grid-line widths take part in the row pitch.
  UpdateVertScrollBar();
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
    if (FColumns->IsValidIndex(OldCol) && OldRow >= 0 && OldRow < Rows) DoDeselectCell(OldCol, OldRow);
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
  if (Value)
    SetSelected(FSelectedRow, false);
  else
    EndEditing();
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
    // The input line lies above the first row: stepping down from it reaches the first row.
    SetInputSelected(false);
    From = -1;
  } else if (FSelectedRow < 0) {
    return;
  }
  if (From >= GetLastShownRow()) {
    if (LeaveAtEnd) FocusNextControl(Parent());
    if (WrapAtEnd) SelectFirstRow({});
    return;
  }
  for (int R = NextShownRow(From + 1); R < Rows; R = NextShownRow(R + 1)) {
    if (!CanSelectCell(FSelectedColumn, R)) continue;
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
  for (int R = PreviousShownRow(std::min(FSelectedRow, GetRowCount()) - 1); R >= 0; R = PreviousShownRow(R - 1)) {
    if (!CanSelectCell(FSelectedColumn, R)) continue;
    const bool AutoEdit = FColumns->IsValidIndex(FSelectedColumn) && FColumns->Item(FSelectedColumn)->AutoEdit();
    SelectCell(FSelectedColumn, R, AutoEdit, true, Shift);
    // The row comes into view however far above the view it lies.
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
  if (FColumns->Next(FColumns->Item(FSelectedColumn)) != nullptr) {
    MoveRight(Key);
    return;
  }
  if (FInputSelected) {
    if (FTabLeaveControl) FocusNextControl(Parent());
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
  if (FColumns->Previous(FColumns->Item(FSelectedColumn)) != nullptr) {
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
  if (FTabLeaveControl) FocusPreviousControl(Parent());
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
  SelectRow(Target);
}

// ---------------------------------------------------------------------------------------------
// In-place editing

TNxCustomEdit* TNxCustomGridControl::GetColumnEditor(TNxCustomColumn* Column) {
  if (Column == nullptr) return nullptr;
  if (Column->InplaceEdit() != nullptr) return Column->InplaceEdit();
  if ((Column->GetColumnCapabilities() & cpEditor) != 0) return Column->Editor();
  return nullptr;
}

void TNxCustomGridControl::AttachEditor(TNxCustomEdit* Editor) {
  if (FInplaceEditor == Editor) return;
  DetachEditor();
  FInplaceEditor = Editor;
  if (Editor == nullptr) return;
  Editor->OnChange = nullptr;
  Editor->SetVisible(false);
  Editor->SetParent(this);
  {
    TFlagScope Suppress(FSuppressEditEvent);
    Editor->SetText(WideString());
  }
  Editor->SetWantTabs(FWantTabs);
}

void TNxCustomGridControl::DetachEditor() {
  FInplaceEditor = nullptr;
}

void TNxCustomGridControl::HookEditorEvents() {
  TNxCustomEdit* E = FInplaceEditor;
  if (E == nullptr) return;
  E->OnChange = [this](TObject* S) { EditorChange(S); };
  E->OnEnter = [this](TObject* S) { EditorEnter(S); };
  E->OnExit = [this](TObject* S) { EditorExit(S); };
  E->OnKeyDown = [this](TObject* S, Word& Key, TShiftState Shift) { EditorKeyDown(S, Key, Shift); };
  E->OnKeyPress = [this](TObject* S, wchar_t& Key) { EditorKeyPress(S, Key); };
  E->OnKeyUp = [this](TObject* S, Word& Key, TShiftState Shift) { EditorKeyUp(S, Key, Shift); };
}

void TNxCustomGridControl::TakeColumnEditor(TNxCustomColumn* Column, TColor Color, bool InputLine) {
  if (Column->InplaceEdit() != nullptr) {
    AttachEditor(Column->InplaceEdit());
    if (!FOptions.Contains(goInplaceEditEvents)) HookEditorEvents();
    return;
  }
  TNxCustomEdit* E = Column->Editor();
  AttachEditor(E);
  HookEditorEvents();
  Column->PrepareEditor(E);
  E->SetColor(Color);
  E->SetFont(Column->Font());
  if (InputLine) E->Font()->SetColor(Column->Font()->Color());
}

void TNxCustomGridControl::SetEditorText(const WideString& Text) {
  if (FInplaceEditor == nullptr) return;
  TFlagScope Suppress(FSuppressEditEvent);
  if (FInplaceEditor->Text() != Text) FInplaceEditor->SetText(Text);
}

void TNxCustomGridControl::AbandonEditing() {
  // The edit state without an editor: back to no edit at all.
  FGridState.Exclude(gsEditing);
  FGridState.Exclude(gsInputEditing);
  if (FColumns->IsValidIndex(FInputColumn)) FColumns->Item(FInputColumn)->SetInputEditing(false);
  FEditCol = FEditRow = FInputColumn = -1;
  FInplaceEditor = nullptr;
}

void TNxCustomGridControl::FocusEditor() {
  // The editor takes the keys when the grid has them; a grid without the focus keeps it where
  // it is.
  TNxCustomEdit* E = FInplaceEditor;
  if (E != nullptr && IsFocused() && E->Visible() && E->CanFocus() && GetFocus() != E->Handle()) E->SetFocus();
}

bool TNxCustomGridControl::BeginCellEditor(int ACol, int ARow) {
  if (FGridState.Contains(gsEditing) && ACol == FEditCol && ARow == FEditRow) return false;
  if (!FColumns->IsValidIndex(ACol)) return false;
  TNxCustomColumn* Column = FColumns->Item(ACol);
  if (!Column->Enabled() || GetColumnEditor(Column) == nullptr || !Column->Options().Contains(coEditing)) return false;
  if (FReadOnly || !CanEditCell(ACol, ARow)) return false;
  if (ARow < 0 || ARow >= GetRowCount()) return false;
  bool Accept = true;
  DoBeforeEdit(ACol, ARow, Accept);
  if (!Accept) return false;
  // An editor open elsewhere is committed and closed first; one that refuses to close stays.
  if (IsEditing()) {
    ApplyEditing();
    EndEditing();
    if (IsEditing()) return false;
  }
  FGridState.Include(gsEditing);
  FEditCol = ACol;
  FEditRow = ARow;
  return true;
}

void TNxCustomGridControl::EditCell(int ACol, int ARow, const WideString& InitialText) {
  if (!BeginCellEditor(ACol, ARow)) return;
  TNxCustomColumn* Column = FColumns->Item(ACol);
  WideString Text = InitialText.empty() ? GetCells(ACol, ARow) : InitialText;
  TakeColumnEditor(Column, GetCellOwnColor(ACol, ARow), false);
  TNxCustomEdit* E = FInplaceEditor;
  if (E == nullptr) {
    AbandonEditing();
    return;
  }
  {
    // The text the grid loads does not count as an edit.
    TFlagScope Suppress(FSuppressEditEvent);
    if (!InitialText.empty()) FSuppressEditEvent = false;
    DoApplyEditText(ACol, ARow, Text);
    if (FInplaceEditor != E) return;
    E->SetText(Text);
    EditorShowing();
    PlaceEditor();
    Column->EditorShown(E);
  }
  FocusEditor();
  if (Column->Options().Contains(coEditorAutoSelect))
    E->SelectAll();
  else
    E->PlaceCaretAtEnd();
  DoEditEnter();
}

void TNxCustomGridControl::EditCellWithKey(int ACol, int ARow, wchar_t Key) {
  if (!BeginCellEditor(ACol, ARow)) return;
  TNxCustomColumn* Column = FColumns->Item(ACol);
  TakeColumnEditor(Column, GetCellOwnColor(ACol, ARow), false);
  TNxCustomEdit* E = FInplaceEditor;
  if (E == nullptr) {
    AbandonEditing();
    return;
  }
  PlaceEditor();
  FocusEditor();
  // The typed character reaches the editor as typing does: it replaces the (empty) text.
  SendMessageW(E->Handle(), WM_CHAR, static_cast<WPARAM>(Key), 0);
  EditorShowing();
  E->PlaceCaretAtEnd();
  DoEditEnter();
}

bool TNxCustomGridControl::BeginInputEditor(TNxCustomColumn* Column) {
  if (Column == nullptr || Column->Columns() != FColumns.get()) return false;
  if (!FOptions.Contains(goInput) || FGridStyle != gsReport) return false;
  // What is open is committed first, before the selection moves to the input line.
  if (IsEditing()) {
    const bool Input = FGridState.Contains(gsInputEditing);
    ApplyEditing();
    EndEditing();
    if (IsEditing()) return false;
    if (Input) FInputColumn = -1;
  }
  SetInputSelected(true);
  SelectColumn(Column->Index());
  if (GetColumnEditor(Column) == nullptr || !Column->Options().Contains(coCanInput) ||
      (Column->GetColumnCapabilities() & cpInput) == 0 || FReadOnly)
    return false;
  FGridState.Include(gsInputEditing);
  TakeColumnEditor(Column, Column->Color(), true);
  FInputColumn = Column->Index();
  Column->SetInputEditing(true);
  if (FInplaceEditor == nullptr) {
    AbandonEditing();
    return false;
  }
  return true;
}

void TNxCustomGridControl::EditInputCell(TNxCustomColumn* Column, const WideString& InitialText) {
  if (!BeginInputEditor(Column)) return;
  TNxCustomEdit* E = FInplaceEditor;
  {
    TFlagScope Suppress(FSuppressEditEvent);
    E->SetText(InitialText.empty() ? Column->InputValue() : InitialText);
    Column->EditorShown(E);
  }
  FEditCol = Column->Index();
  FEditRow = -1;
  PlaceEditor();
  FocusEditor();
  if (Column->Options().Contains(coEditorAutoSelect))
    E->SelectAll();
  else
    E->PlaceCaretAtEnd();
  DoInputSelectCell(Column->Index());
}

void TNxCustomGridControl::EditInputCellWithKey(TNxCustomColumn* Column, wchar_t Key) {
  if (!BeginInputEditor(Column)) return;
  TNxCustomEdit* E = FInplaceEditor;
  Column->EditorShown(E);
  FEditCol = Column->Index();
  FEditRow = -1;
  PlaceEditor();
  FocusEditor();
  SendMessageW(E->Handle(), WM_CHAR, static_cast<WPARAM>(Key), 0);
  E->PlaceCaretAtEnd();
  DoInputSelectCell(Column->Index());
}

bool TNxCustomGridControl::ApplyEditing() {
  TNxCustomEdit* E = FInplaceEditor;
  if (E == nullptr) return false;
  if (FGridState.Contains(gsEditing)) {
    E->CompleteInput();
    WideString Text = E->Text();
    if (FColumns->IsValidIndex(FEditCol)) FColumns->Item(FEditCol)->EditorTextTaken(Text);
    bool Accept = true;
    DoEditAccept(FEditCol, FEditRow, Text, Accept);
    if (GetRowCount() == 0 || FEditCol == -1 || FEditRow == -1 || FEditRow >= GetRowCount()) return false;
    if (!Accept) return false;
    const int Col = FEditCol;
    const int Row = FEditRow;
    DoEditText(Col, Row, Text);
    WriteEditedCell(Text);
    DoAfterEdit(Col, Row, Text);
    return true;
  }
  if (FGridState.Contains(gsInputEditing) && FColumns->IsValidIndex(FInputColumn)) {
    TNxCustomColumn* Column = FColumns->Item(FInputColumn);
    WideString Text = E->Text();
    Column->EditorTextTaken(Text);
    Column->SetInputValue(Text);
    Column->SetInputEditing(false);
    return true;
  }
  return false;
}

void TNxCustomGridControl::WriteEditedCell(const WideString& Value) { SetCells(FEditCol, FEditRow, Value); }

void TNxCustomGridControl::EndEditing() {
  if (!IsEditing()) return;
  TNxCustomEdit* E = FInplaceEditor;
  bool Accept = true;
  WideString Value;
  const bool Body = FGridState.Contains(gsEditing);
  if (Body && E != nullptr) {
    Value = E->Text();
    DoEndEditing(FEditCol, FEditRow, Value, Accept);
    SetEditorText(Value);
  }
  if (!Accept) return;
  TFlagScope Ending(FEndingEdit);
  // The focus goes back to the grid before the editor hides, so that hiding it moves the focus
  // nowhere else.
  const bool HadFocus = E != nullptr && E->HandleAllocated() && GetFocus() == E->Handle();
  if (HadFocus && CanFocus()) SetFocus();
  if (E != nullptr) E->SetVisible(false);
  if (Body)
    RefreshCell(FEditCol, FEditRow);
  else if (FColumns->IsValidIndex(FInputColumn))
    RefreshRect(GetInputCellRect(FColumns->Item(FInputColumn)));
  FGridState.Exclude(gsEditing);
  FGridState.Exclude(gsInputEditing);
  FEditCol = FEditRow = -1;
  if (FInputColumn != -1) {
    if (FColumns->IsValidIndex(FInputColumn)) FColumns->Item(FInputColumn)->SetInputEditing(false);
    FInputColumn = -1;
  }
  DetachEditor();
  if (Body) DoEditExit();
}

void TNxCustomGridControl::AddInputRow() {
  bool Accept = true;
  DoInputAccept(Accept);
  if (!Accept) return;
  AddRow(1);
  const int Row = GetRowCount() - 1;
  for (int C = 0; C < FColumns->Count(); ++C) {
    TNxCustomColumn* Col = FColumns->Item(C);
    const WideString V = Col->InputValue().empty() ? Col->DefaultValue() : Col->InputValue();
    if (!V.empty() && Row >= 0) SetCells(C, Row, V);
    Col->SetInputValue(L"");
  }
  DoInputAdded();
}

void TNxCustomGridControl::PlaceEditor() {
  TNxCustomEdit* E = FInplaceEditor;
  if (E == nullptr || !IsEditing() || !HandleAllocated()) return;
  // The window exists before the bounds are set (creating it fits an auto-sized edit's height
  // to its font).
  E->HandleNeeded();
  TRect R;
  if (FGridState.Contains(gsEditing)) {
    if (FEditCol < 0 || FEditRow < 0 || !FColumns->IsValidIndex(FEditCol) || FEditRow >= GetRowCount()) return;
    R = GetCellRect(FEditCol, FEditRow);
    R.Left += FLeftLine;
    R.Right -= FRightLine;
    if (!FOptions.Contains(goGrid)) --R.Bottom;
    const TRect B = GetBodyRect();
    if (R.Bottom < B.Top) {
      // The cell scrolled above the body: the editor hides and the edit goes on. The focus
      // stays with the grid (hiding the focused editor would move it out and end the edit).
      if (GetFocus() == E->Handle() && CanFocus()) SetFocus();
      E->SetVisible(false);
      return;
    }
    R.Top = std::max(R.Top, B.Top);
  } else {
    if (!FColumns->IsValidIndex(FInputColumn)) return;
    R = GetInputCellRect(FColumns->Item(FInputColumn));
  }
  R = Inflated(R, -1, -1);
  R.Left = std::max(R.Left, 0);
  R.Right = std::min(R.Right, GetBodyRect().Right);
  E->SetBounds(R.Left, R.Top, std::max(R.Width(), 0), std::max(R.Height(), 0));
  const bool WasHidden = !E->Visible();
  E->SetVisible(true);
  E->Invalidate();
  // Back in view after it was hidden while the grid kept the focus: it takes the keys again.
  if (WasHidden && GetFocus() == Handle()) FocusEditor();
}

void TNxCustomGridControl::EditorChange(TObject* Sender) {
  if (FSuppressEditEvent || FInplaceEditor == nullptr) return;
  DoEdit(FEditCol, FEditRow, FInplaceEditor->Text());
}

void TNxCustomGridControl::EditorEnter(TObject* Sender) {
  if (!IsFocused()) InvalidateGrid();
}

void TNxCustomGridControl::EditorExit(TObject* Sender) {
  if (!IsFocused()) InvalidateGrid();
}

void TNxCustomGridControl::EditorKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  if (FInplaceEditor == nullptr || Sender != static_cast<TObject*>(FInplaceEditor)) return;
  const bool Input = FGridState.Contains(gsInputEditing);
  switch (Key) {
    case VK_TAB:
      ApplyEditing();
      EndEditing();
      break;
    case VK_RETURN: {
      if (Shift.Contains(ssCtrl)) break;
      if (Input) {
        ApplyEditing();
        AddInputRow();
        if (FInplaceEditor != nullptr && FColumns->IsValidIndex(FInputColumn))
          SetEditorText(FColumns->Item(FInputColumn)->InputValue());
        break;
      }
      TNxCustomColumn* Column = FColumns->IsValidIndex(FEditCol) ? FColumns->Item(FEditCol) : nullptr;
      const bool KeepsEnter =
          Column != nullptr && ((Column->GetColumnCapabilities() & cpWantReturns) != 0 || Column->WantReturns());
      if (!KeepsEnter) {
        ApplyEditing();
        EndEditing();
        if (!IsEditing() && CanFocus()) SetFocus();
      }
      break;
    }
    case VK_PRIOR:
    case VK_NEXT:
      // A page key moves the selection, which closes the editor: what was typed is written back
      // first, as Tab, Enter and a click elsewhere do (only Escape discards).
      ApplyEditing();
      EndEditing();
      break;
    case VK_ESCAPE:
      if (FOptions.Contains(goEscClearEdit)) {
        FInplaceEditor->SetText(WideString());
      } else {
        EndEditing();
        if (!IsEditing() && CanFocus()) SetFocus();
      }
      break;
    default: break;
  }
  // Every key goes on to the grid's own key handling (Tab and Enter also move the selection).
  KeyDown(Key, Shift);
}

void TNxCustomGridControl::EditorKeyPress(TObject* Sender, wchar_t& Key) { KeyPress(Key); }

void TNxCustomGridControl::EditorKeyUp(TObject* Sender, Word& Key, TShiftState Shift) { KeyUp(Key, Shift); }

// ---------------------------------------------------------------------------------------------
// Geometry

int TNxCustomGridControl::GetColumnScreenLeft(TNxCustomColumn* Column) {
  int L = Column->Left();
  if (Column->Position() >= FColumns->FixedCols()) L -= HorzScrollBar()->Position();
  return L;
}

int TNxCustomGridControl::GetColumnsRight() {
  return FColumns->TotalWidth() - HorzScrollBar()->Position() + (FGridStyle == gsReport ? GetIndicatorWidth() : 0);
}

TRect TNxCustomGridControl::GetBodyRect() {
  const TRect C = ClientRect();
  if (FGridStyle == gsSlides) {
    TRect R = C;
    if (FOptions.Contains(goHeader)) R.Top += FHeaderSize;
    return R;
  }
  TRect R;
  R.Left = GetIndicatorWidth();
  R.Top = (FOptions.Contains(goHeader) ? FHeaderSize : 0) + (FOptions.Contains(goInput) ? FInputSize + 6 + FBottomLine : 0);
  R.Right = std::min(GetColumnsRight(), C.Width());
  R.Bottom = FOptions.Contains(goFooter) ? C.Height() - FFooterSize - 4 - FBottomLine : C.Height();
  return R;
}

TRect TNxCustomGridControl::GetHeaderRect() {
  if (FGridStyle == gsSlides) return Rect(0, 0, ClientWidth(), FHeaderSize);
  return Rect(GetIndicatorWidth(), 0, GetColumnsRight(), FHeaderSize);
}

TRect TNxCustomGridControl::GetFooterRect() {
  if (FGridStyle == gsSlides) return TRect{};
  const int H = ClientHeight();
  return Rect(GetIndicatorWidth(), H - (FFooterSize + 4) - FBottomLine, GetColumnsRight(), H);
}

TRect TNxCustomGridControl::GetInputRect() {
  const int Top = FOptions.Contains(goHeader) ? FHeaderSize : 0;
  return Rect(GetIndicatorWidth(), Top, GetColumnsRight(), Top + FInputSize + 6 + FBottomLine);
}

TRect TNxCustomGridControl::GetIndicatorRect() { return Rect(0, 0, IndicatorWidth, ClientHeight()); }

TRect TNxCustomGridControl::GetHeaderCellRect(TNxCustomColumn* Column) {
  const int L = GetColumnScreenLeft(Column);
  return Rect(L, 0, L + Column->Width(), FHeaderSize);
}

TRect TNxCustomGridControl::GetInputCellRect(TNxCustomColumn* Column) {
  const TRect I = GetInputRect();
  return Bounds(GetColumnScreenLeft(Column), I.Top, Column->Width(), FInputSize);
}

TRect TNxCustomGridControl::GetFooterCellRect(TNxCustomColumn* Column) {
  const TRect F = GetFooterRect();
  return Bounds(GetColumnScreenLeft(Column), F.Top + 2, Column->Width(), FFooterSize);
}

int TNxCustomGridControl::GetRowPitch(int ARow) {
  if (FGridStyle == gsSlides) return std::max(FSlideSize, 0);
  if (ARow < 0 || ARow >= GetRowCount()) return FRowSize;
  // A height handler may answer anything; rows never take negative space.
  return std::max(GetRowHeight(ARow), 0);
}

int TNxCustomGridControl::GetRowTop(int ARow) {
  // While rows are painted the row being painted knows its top already.
  if (ARow == FPaintRow) return FPaintRowTop;
  // Rows are walked while they can be seen; past the client area (a page above or below) the
  // rest are placed by the default pitch: such a row is outside the window either way.
  const int Limit = ClientHeight();
  const int DefaultPitch = GetRowPitch(-1) + RowGap();
  int T = GetBodyRect().Top + FTopLine;
  if (ARow >= FFirstVisibleRow) {
    TBodyRowWalk W(this, true);
    while (W.Next() && W.Row() < ARow) {
      T = W.NextTop();
      if (T > Limit) return T + ShownRowsBetween(W.Row() + 1, ARow) * DefaultPitch;
    }
    return T;
  }
  // Upwards: rows ARow .. FirstVisibleRow - 1 that are shown (rows before the first count too).
  int R = FFirstVisibleRow;
  const int Lowest = std::max(ARow, 0);
  while (R > Lowest && T >= -Limit) {
    const int Above = PreviousShownRow(R - 1);
    if (Above < Lowest) {
      R = Lowest;
      break;
    }
    T -= GetRowPitch(Above) + RowGap();
    R = Above;
  }
  return T - ShownRowsBetween(ARow, R) * DefaultPitch;
}

bool TNxCustomGridControl::GetVisibleRowTop(int ARow, int& Top) {
  if (ARow < FFirstVisibleRow) return false;
  const TRect B = GetBodyRect();
  int T = B.Top + FTopLine;
  if (T >= B.Bottom) return false;
  TBodyRowWalk W(this, true);
  while (W.Next() && W.Row() < ARow) {
    T = W.NextTop();
    if (T >= B.Bottom) return false;
  }
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
  const int L = GetColumnScreenLeft(C);
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
  const int Height = GetBodyRect().Height();
  int Used = 0;
  int N = 0;
  TBodyRowWalk W(this, true);
  while (W.Next()) {
    const int P = W.Pitch() + RowGap();
    if (P <= 0 || Used + P > Height) break;
    Used += P;
    ++N;
  }
  if (CountAbove) {
    for (int R = PreviousShownRow(FFirstVisibleRow - 1); R >= 0; R = PreviousShownRow(R - 1)) {
      const int P = GetRowPitch(R) + RowGap();
      if (P <= 0 || Used + P > Height) break;
      Used += P;
      ++N;
    }
  }
  return N;
}

int TNxCustomGridControl::GetLastFullyVisibleRow() {
  const TRect B = GetBodyRect();
  int Last = FFirstVisibleRow - 1;
  TBodyRowWalk W(this);
  while (W.Next()) {
    if (W.Top() >= B.Bottom || W.Top() + W.Pitch() > B.Bottom) break;
    Last = W.Row();
  }
  return Last;
}

int TNxCustomGridControl::GetRowIndexBelow(int N) {
  const int First = NextShownRow(FFirstVisibleRow);
  if (First >= GetRowCount()) return FFirstVisibleRow;
  const int Shown = CountShownRows(0, GetRowCount());
  const int K = std::min(CountShownRows(0, First) + std::max(N, 0), Shown - 1);
  return RowAtScrollPosition(K);
}

int TNxCustomGridControl::CountShownRows(int From, int To) {
  int N = 0;
  for (int R = std::max(From, 0); R < std::min(To, GetRowCount()); ++R)
    if (GetRowShown(R)) ++N;
  return N;
}

int TNxCustomGridControl::ShownRowsBetween(int From, int To) {
  if (From >= To) return 0;
  const int Rows = GetRowCount();
  const int Before = std::max(0, std::min(To, 0) - From);
  const int After = std::max(0, To - std::max(From, Rows));
  return Before + CountShownRows(std::max(From, 0), std::min(To, Rows)) + After;
}

int TNxCustomGridControl::NextShownRow(int From) {
  const int Rows = GetRowCount();
  From = std::max(From, 0);
  if (From >= Rows || GetRowShown(From)) return From;
  const int F = FindFirstShownRow(From);
  return F >= 0 ? F : Rows;
}

int TNxCustomGridControl::PreviousShownRow(int From) {
  From = std::min(From, GetRowCount() - 1);
  if (From < 0 || GetRowShown(From)) return From;
  return FindLastShownRow(From);
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
    case gaBody: RefreshRect(GetBodyRect()); break;
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
    default: break;
  }
}

void TNxCustomGridControl::RefreshCell(int ACol, int ARow) {
  if (!FColumns->IsValidIndex(ACol) || ARow < 0 || ARow >= GetRowCount() || !HandleAllocated()) return;
  // Only a cell of a row (or slide) in view has anything to repaint.
  int Top;
  if (!GetVisibleRowTop(ARow, Top)) return;
  TRect R = GetCellRect(ACol, ARow);
  R.Right += FBottomLine;
  R.Bottom += FBottomLine;
  RefreshRect(R);
}

void TNxCustomGridControl::RefreshColumnPart(TNxCustomColumn* Column, TGridArea Area) {
  if (FUpdateCount > 0 || Column == nullptr || Column->Columns() != FColumns.get()) return;
  TRect R;
  switch (Area) {
    case gaBody: R = GetBodyRect(); break;
    case gaFooter: R = GetFooterRect(); break;
    case gaHeader: R = GetHeaderRect(); break;
    case gaInput: R = GetInputRect(); break;
    default: R = Rect(0, 0, ClientWidth(), ClientHeight()); break;
  }
  R.Left = GetColumnScreenLeft(Column);
  R.Right = R.Left + Column->Width();
  RefreshRect(R);
}

void TNxCustomGridControl::RefreshRow(int ARow, bool KeepInterior) {
  if (ARow < 0 || ARow >= GetRowCount() || !HandleAllocated()) return;
  int Top;
  if (!GetVisibleRowTop(ARow, Top)) return;
  const TRect R = Rect(0, Top, GetBodyRect().Right, Top + GetRowPitch(ARow) + FBottomLine);
  if (KeepInterior)
    RefreshFrame(R, 1, 1);
  else
    RefreshRect(R);
}

void TNxCustomGridControl::RefreshIndicatorRow(int ARow) {
  int T;
  if (!FOptions.Contains(goIndicator) || ARow < 0 || !HandleAllocated() || !GetVisibleRowTop(ARow, T)) return;
  RefreshRect(Rect(0, T - FTopLine, IndicatorWidth, T + GetRowPitch(ARow) + FBottomLine));
}

void TNxCustomGridControl::RefreshSlide(int ARow, bool KeepInterior) {
  if (ARow < 0 || ARow >= GetRowCount() || !HandleAllocated()) return;
  // A slide below the view has nothing to repaint; its top is not walked to.
  int Top;
  if (!GetVisibleRowTop(ARow, Top) || Top >= ClientHeight()) return;
  const TRect R = Rect(0, Top, ClientWidth(), Top + FSlideSize);
  if (KeepInterior)
    RefreshFrame(R, 3, 4);
  else
    RefreshRect(R);
}

void TNxCustomGridControl::RefreshFrame(const TRect& R, int DX, int DY) {
  // Only the band round the interior is invalidated: validating the interior afterwards would
  // also drop repaints that other changes asked for there.
  RefreshRect(Rect(R.Left, R.Top, R.Right, R.Top + DY));
  RefreshRect(Rect(R.Left, R.Bottom - DY, R.Right, R.Bottom));
  RefreshRect(Rect(R.Left, R.Top + DY, R.Left + DX, R.Bottom - DY));
  RefreshRect(Rect(R.Right - DX, R.Top + DY, R.Right, R.Bottom - DY));
}

void TNxCustomGridControl::RefreshRowBottom(int ARow) {
  int T;
  if (ARow < 0 || !GetVisibleRowTop(ARow, T)) return;
  const int Bottom = T + GetRowPitch(ARow) + FBottomLine;
  RefreshRect(Rect(0, Bottom - 1 - FBottomLine, GetBodyRect().Right, Bottom));
}

void TNxCustomGridControl::RefreshRows(int FromRow, int ToRow) {
  if (!HandleAllocated()) return;
  if (FromRow > ToRow) SwapInt(FromRow, ToRow);
  const TRect B = GetBodyRect();
  if (ToRow < FFirstVisibleRow) return;
  int T = B.Top;
  if (FromRow >= FFirstVisibleRow && !GetVisibleRowTop(FromRow, T)) return;
  int Bottom = B.Bottom;
  int ToTop;
  if (GetVisibleRowTop(ToRow, ToTop)) Bottom = std::min(ToTop + GetRowPitch(ToRow) + FBottomLine, B.Bottom);
  RefreshRect(Rect(0, T, B.Right, Bottom));
}

void TNxCustomGridControl::RefreshRowSpan(int Row1, int Row2) {
  if (Row1 > Row2) SwapInt(Row1, Row2);
  if (FGridStyle == gsSlides) {
    RefreshRect(Rect(0, GetSlideRect(Row1).Top, ClientWidth(), GetSlideRect(Row2).Top + FSlideSize));
    return;
  }
  RefreshRows(Row1, Row2);
}

void TNxCustomGridControl::RefreshSelectedSlides() {
  const int Bottom = GetBodyRect().Bottom;
  TBodyRowWalk W(this);
  while (W.Next() && W.Top() < Bottom)
    if (GetSelected(W.Row())) RefreshSlide(W.Row(), false);
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
  // The selected rows in view (however many rows are selected elsewhere).
  const int Bottom = GetBodyRect().Bottom;
  TBodyRowWalk W(this);
  while (W.Next() && W.Top() < Bottom)
    if (GetSelected(W.Row())) RefreshRow(W.Row(), false);
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
  // The position never shows empty space right of the last column.
  Bar->SetPosition(std::min(Bar->Position(), std::max(Bar->Max() - Bar->PageSize() + 1, 0)));
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
  // While the grid is updating only the first visible row is kept valid; the bar (each change of
  // it is a call to the system) is brought up to date once, by EndUpdate.
  if (FUpdateCount > 0) {
    const int MaxPos = std::max(0, Total - Page);
    if (CountShownRows(0, FFirstVisibleRow) > MaxPos || FFirstVisibleRow >= std::max(Rows, 1)) {
      FFirstVisibleRow = RowAtScrollPosition(MaxPos);
      PlaceEditor();
    }
    return;
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
  if (Above > MaxPos || FFirstVisibleRow >= std::max(Rows, 1)) {
    FFirstVisibleRow = RowAtScrollPosition(MaxPos);
    Above = CountShownRows(0, FFirstVisibleRow);
    InvalidateGrid();
    PlaceEditor();
  }
  Bar->BeginUpdate();
  Bar->SetPosition(Above);
  Bar->EndUpdate();
}

int TNxCustomGridControl::GetHorzScrollDistance(int OldPos, int NewPos) { return OldPos - NewPos; }

int TNxCustomGridControl::GetVertScrollDistance(int OldPos, int NewPos) {
  const int Rows = GetRowCount();
  // Past a body's height every pixel is new: the rows beyond are skipped by their count.
  const int Limit = std::max(GetBodyRect().Height(), 0);
  int Pixels = 0;
  if (NewPos > OldPos) {
    int D = NewPos - OldPos;
    int R = FFirstVisibleRow;
    while (D > 0 && Pixels <= Limit) {
      R = NextShownRow(R);
      if (R >= Rows) break;
      Pixels += GetRowPitch(R) + RowGap();
      --D;
      ++R;
    }
    // The row D shown rows further on (the last row when there are fewer).
    FFirstVisibleRow = RowAtScrollPosition(CountShownRows(0, std::min(R, Rows)) + (R < Rows ? D : 0));
    return -Pixels;
  }
  int D = OldPos - NewPos;
  int R = PreviousShownRow(FFirstVisibleRow - 1);
  while (D > 0 && R >= 0 && Pixels <= Limit) {
    Pixels += GetRowPitch(R) + RowGap();
    --D;
    FFirstVisibleRow = R;
    R = PreviousShownRow(R - 1);
  }
  if (D > 0 && R >= 0) FFirstVisibleRow = RowAtScrollPosition(std::max(CountShownRows(0, FFirstVisibleRow) - D, 0));
  return Pixels;
}

void TNxCustomGridControl::BeforeScroll() {
  const TRect B = GetBodyRect();
  if (FGridStyle == gsReport) {
    FHorzScrollRect = Rect(GetIndicatorWidth() + FColumns->FixedWidth(), 0, ClientWidth(), ClientHeight());
    FVertScrollRect = Rect(0, B.Top, ClientWidth(), B.Bottom);
  } else {
    FHorzScrollRect = ClientRect();
    FVertScrollRect = Rect(0, B.Top, ClientWidth(), ClientHeight());
  }
}

void TNxCustomGridControl::AfterScroll() { PlaceEditor(); }

void TNxCustomGridControl::ScrollToRow(int ARow) {
  if (ARow < 0 || ARow >= GetRowCount()) return;
  TNxScrollBar* Bar = VertScrollBar();
  if (ARow < FFirstVisibleRow) {
    Bar->SetPosition(Bar->Position() - CountShownRows(ARow, FFirstVisibleRow));
    return;
  }
  if (ARow <= GetLastFullyVisibleRow()) return;
  // The new first row is the highest one from which the rows down to ARow fit the body: found
  // by walking up from ARow, which never takes more rows than the body holds.
  const int Height = GetBodyRect().Height() - FTopLine;
  int Used = GetRowPitch(ARow);
  int First = ARow;
  for (int R = PreviousShownRow(ARow - 1); R >= FFirstVisibleRow; R = PreviousShownRow(R - 1)) {
    const int P = GetRowPitch(R) + RowGap();
    if (Used + P > Height) break;
    Used += P;
    First = R;
  }
  // A row taller than the body shows its top.
  const int N = CountShownRows(FFirstVisibleRow, First);
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
  // The selected cell stays in its column when columns come or go in front of it.
  if (ChangeKind == cnInsertColumn && Index >= 0 && Index <= FSelectedColumn && Count > 1) ++FSelectedColumn;
  if (ChangeKind == cnDeleteColumn && Index >= 0 && Index < FSelectedColumn) --FSelectedColumn;
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
  if (Kind != cnRenamed) PlaceEditor();
  InvalidateGrid();
}

void TNxCustomGridControl::ScrollResizedColumn(TNxCustomColumn* Column, int Delta) {
  if (!HandleAllocated() || FUpdateCount > 0 || Delta == 0) return;
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
  RECT Strip{std::max(OldRight, MinLeft), 0, ClientWidth(), Height};
  RECT Clip{std::max(std::min(OldRight, OldRight + Delta), MinLeft), 0, ClientWidth(), Height};
  if (Strip.left < Strip.right)
    ScrollWindowEx(Handle(), Delta, 0, &Strip, &Clip, nullptr, nullptr, SW_INVALIDATE);
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
  if (!HandleAllocated()) return;
  if (Kind == ccInputValue) {
    RefreshRect(GetInputCellRect(Column));
    return;
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
    case ccResized:
      ScrollResizedColumn(Column, Param);
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
  if (FAppearanceOptions.Contains(aoIndicateSortedColumn) && FColumns->Item(ACol)->Sorted())
    C = TGraphicsProvider::DarkenColor(C, 10);
  if (!IsCellSelected(ACol, ARow)) return C;
  if (!IsFocused()) return FInactiveSelectionColor;
  if (FAppearanceOptions.Contains(aoAlphaBlendedSelection)) return TGraphicsProvider::MixColors(C, clHighlight, 0.25);
  return FSelectionColor;
}

TColor TNxCustomGridControl::GetCellFontColor(int ACol, int ARow) {
  if (IsCellSelected(ACol, ARow) && IsFocused()) return FHighlightedTextColor;
  return FColumns->Item(ACol)->Font()->Color();
}

// ---------------------------------------------------------------------------------------------
// Painting

void TNxCustomGridControl::Paint() {
  TNxScrollControl::Paint();
  FPaintFocused = -1;
  FPaintFocused = IsFocused() ? 1 : 0;
  FPaintClip = Canvas()->ClipRect();
  struct TForgetFocus {
    int& Focused;
    ~TForgetFocus() { Focused = -1; }
  } ForgetFocus{FPaintFocused};
  BeforeScroll();
  TCanvas* Cv = Canvas();
  FStyleThemed = IsThemedChrome();
  const int CW = ClientWidth();
  const int CH = ClientHeight();
  if (FGridStyle == gsReport) {
    PaintReport();
    const int ColumnsRight = std::max(GetColumnsRight(), GetIndicatorWidth());
    if (ColumnsRight < CW) {
      if (!FStyleThemed || FHeaderStyle != hsAuto) {
        FillRectColor(Cv, Rect(ColumnsRight, 0, CW, CH), Color());
      } else {
        const TRect B = GetBodyRect();
        if (FOptions.Contains(goHeader)) {
          StylePrepare(FStyleThemed);
          StyleDrawHeaderRemainder(Rect(ColumnsRight, 0, CW, FHeaderSize));
        }
        const int Top = FOptions.Contains(goHeader) ? FHeaderSize : 0;
        FillRectColor(Cv, Rect(ColumnsRight, Top, CW, B.Bottom), Color());
      }
    }
  } else {
    PaintSlides();
  }
  if (GetShownRowCountIfAny() == 0 && !Caption().empty()) {
    const TRect B = GetBodyRect();
    Cv->SetFont(Font());
    if (!Enabled()) Cv->Font()->SetColor(clGrayText);
    const int H = TextHeightW(Cv, L"Wg");
    const int X = HorzScrollBar()->Position();
    TRect R = Rect(B.Left - X, B.Top + 1, CW - X, B.Top + 1 + H);
    WideString Text = Caption();
    Cv->Brush()->SetStyle(bsClear);
    Cv->TextRect(R, Text, TTextFormat{tfSingleLine, tfCenter, tfEndEllipsis, tfVerticalCenter, tfNoPrefix});
    Cv->Brush()->SetStyle(bsSolid);
  }
  DoPostDraw();
}

TRect TNxCustomGridControl::PaintClipRect() { return FPaintFocused >= 0 ? FPaintClip : Canvas()->ClipRect(); }

void TNxCustomGridControl::PaintReport() {
  PaintRows();
  PaintHeaderParts();
}

void TNxCustomGridControl::PaintRows() {
  const TRect B = GetBodyRect();
  const int Rows = GetRowCount();
  const int FixedRight = GetIndicatorWidth() + FColumns->FixedWidth();
  const int CW = ClientWidth();
  const bool HidePartial = GetHidePartialRows();
  int Y = B.Top + FTopLine;
  int R = FFirstVisibleRow;
  struct TForget {
    int& Row;
    ~TForget() { Row = -1; }
  } Forget{FPaintRow};
  while (Y < B.Bottom) {
    // Hidden rows are stepped over at once, however many there are.
    R = NextShownRow(R);
    const bool Exists = R < Rows;
    FPaintRow = R;
    FPaintRowTop = Y;
    const int Pitch = Exists ? GetRowPitch(R) : FRowSize;
    // A row cut off by the body's bottom shows as empty cells when partial rows are hidden.
    const bool AsEmpty = !Exists || (HidePartial && Y + Pitch > B.Bottom);
    for (int P = 0; P < FColumns->Count(); ++P) {
      TNxCustomColumn* C = FColumns->ItemByPosition(P);
      if (!C->Visible()) continue;
      const bool Fixed = P < FColumns->FixedCols();
      const int L = GetColumnScreenLeft(C);
      if (!Fixed && L + C->Width() < FixedRight) continue;
      if (L > CW || L + C->Width() < 0) continue;
      if (AsEmpty)
        DrawEmptyCell(C, R, Rect(L, Y, L + C->Width(), Y + Pitch));
      else
        DrawCell(C, R);
    }
    if (FOptions.Contains(goIndicator)) {
      if (AsEmpty) {
        DrawIndicatorCell(R, false, false);
      } else {
        const bool Sel = !FInputSelected && (GetSelected(R) || R == FSelectedRow);
        DrawIndicatorCell(R, Sel, !FInputSelected && R == FSelectedRow);
      }
    }
    Y += Pitch + RowGap();
    ++R;
  }
  FPaintRow = -1;
  FLastVisibleRow = R;
  if (FOptions.Contains(goSelectFullRow)) DrawFocusFrame();
}

void TNxCustomGridControl::DrawCell(TNxCustomColumn* Column, int ARow) {
  if (!Column->Visible()) return;
  TCanvas* Cv = Canvas();
  const int ACol = Column->Index();
  TRect CellRect = GetCellRect(ACol, ARow);
  if (!Intersects(CellRect, PaintClipRect())) return;

  CanvasUseFont(Cv, Column->Font());
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
    if (FSortedStyle == soDarker) CellColor = TGraphicsProvider::DarkenColor(CellColor, 10);
    if (FSortedStyle == soWhite) CellColor = clWhite;
  }

  // The device context's state is saved for the cell (and given back after it) only when the
  // cell narrows the clip region or hands the canvas to a handler that may change it; otherwise
  // the canvas keeps its objects selected from cell to cell.
  const bool ClipToScroll = FGridStyle == gsReport && Column->Position() >= FColumns->FixedCols() &&
                            !ContainsRect(GetScrollClipRect(), Intersection(CellRect, ClientRect()));
  const bool ExcludeEditor = FGridState.Contains(gsEditing) && ACol == FEditCol && ARow == FEditRow &&
                             FInplaceEditor != nullptr && FInplaceEditor->Visible();
  const bool SaveState = ClipToScroll || ExcludeEditor || OnDrawCellBackground || OnCustomDrawCell ||
                         Column->DrawingOptions() != doNormal;
  std::optional<TDCStateScope> DCState;
  if (SaveState) DCState.emplace(Cv);
  if (ClipToScroll) {
    const TRect S = GetScrollClipRect();
    IntersectClipRect(DCState->DC(), S.Left, S.Top, S.Right, S.Bottom);
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
  // The open editor is not painted over.
  if (ExcludeEditor) {
    TRect E = FInplaceEditor->BoundsRect();
    E = Inflated(E, -1, -1);
    --E.Right;
    ExcludeClipRect(DCState->DC(), E.Left, E.Top, E.Right, E.Bottom);
  }
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
}

void TNxCustomGridControl::DrawEmptyCell(TNxCustomColumn* Column, int ARow, const TRect& CellRect) {
  TCanvas* Cv = Canvas();
  if (!Intersects(CellRect, Cv->ClipRect())) return;
  const int ACol = Column->Index();
  TColor CellColor = Color();
  if (FAppearanceOptions.Contains(aoIndicateSortedColumn) && Column->Sorted())
    CellColor = TGraphicsProvider::DarkenColor(CellColor, 10);
  TColor GridColor =
      (FGridLinesStyle == lsActiveRows || FGridLinesStyle == lsActiveHorzOnly) ? CellColor : FGridLinesColor;
  TCellState State{csEmpty};
  DoCellColoring(ACol, ARow, CellColor, GridColor, State);
  TDCStateScope DCState(Cv);
  if (Column->Position() >= FColumns->FixedCols()) {
    const TRect S = GetScrollClipRect();
    IntersectClipRect(DCState.DC(), S.Left, S.Top, S.Right, S.Bottom);
  }
  if (FOptions.Contains(goGrid)) DrawCellGridLines(Column, ARow, CellRect, GridColor);
  TRect Inner = CellRect;
  Inner.Left += FLeftLine;
  Inner.Right -= FRightLine;
  bool DefaultDrawing = true;
  DoDrawCellBackground(ACol, ARow, Inner, State, DefaultDrawing);
  if (DefaultDrawing) FillRectColor(Cv, Inner, CellColor);
}

void TNxCustomGridControl::DrawCellGridLines(TNxCustomColumn* Column, int ARow, const TRect& R, TColor GridColor) {
  TCanvas* Cv = Canvas();
  const bool Exists = ARow >= 0 && ARow < GetRowCount();
  Cv->Pen()->SetStyle(psSolid);
  Cv->Pen()->SetWidth(1);
  Cv->Pen()->SetMode(pmCopy);
  if (FBottomLine > 0) {
    Cv->Pen()->SetColor(FGridLinesStyle == lsFramed && Exists && ARow == GetRowCount() - 1 ? clBlack : GridColor);
    Line(Cv, R.Left, R.Bottom, R.Right + 1, R.Bottom);
  }
  if (FTopLine > 0) {
    Cv->Pen()->SetColor(clBtnHighlight);
    Line(Cv, R.Left, R.Top - 1, R.Right + 1, R.Top - 1);
  }
  if (FLeftLine > 0) {
    Cv->Pen()->SetColor(clBtnHighlight);
    Line(Cv, R.Left, R.Top - 1, R.Left, R.Bottom + 1);
  }
  if (FRightLine > 0) {
    // The frame closes on the rightmost column shown, whether it can take the selection or not.
    const bool LastColumn = Column == FColumns->LastVisible();
    Cv->Pen()->SetColor(FGridLinesStyle == lsFramed && Exists && LastColumn ? clBlack : GridColor);
    Line(Cv, R.Right - 1, R.Top - 1, R.Right - 1, R.Bottom + 1);
  }
}

void TNxCustomGridControl::DrawFocusFrame() {
  if (FSelectedColumn < 0 || FSelectedRow < 0 || FSelectedRow >= GetRowCount()) return;
  if (FSelectedColumn >= FColumns->Count() || FSelectedRow < FFirstVisibleRow || FInputSelected) return;
  if (!IsFocused() || FAppearanceOptions.Contains(aoHideFocus)) return;
  if (!GetRowShown(FSelectedRow)) return;
  // A selected row below the body has no frame to draw (its top is not looked for further).
  int Top;
  if (!GetVisibleRowTop(FSelectedRow, Top)) return;
  const TRect B = GetBodyRect();
  TCanvas* Cv = Canvas();
  TDCStateScope DCState(Cv);
  TRect R;
  if (FOptions.Contains(goSelectFullRow)) {
    R = Rect(GetIndicatorWidth() - HorzScrollBar()->Position(), Top, B.Right, Top + GetRowPitch(FSelectedRow));
    IntersectClipRect(DCState.DC(), GetIndicatorWidth(), B.Top, B.Right, B.Bottom);
  } else {
    TNxCustomColumn* C = FColumns->Item(FSelectedColumn);
    if (!C->Visible()) return;
    R = GetCellRect(FSelectedColumn, FSelectedRow);
    R.Left += FLeftLine;
    R.Right -= FRightLine;
    if (FGridStyle == gsReport && C->Position() >= FColumns->FixedCols()) {
      const TRect S = GetScrollClipRect();
      IntersectClipRect(DCState.DC(), S.Left, S.Top, S.Right, S.Bottom);
    }
  }
  if (!Intersects(R, B)) return;
  TGraphicsProvider::DrawSelectionFrame(Cv, R, FAppearanceOptions.Contains(aoAlphaBlendedSelection));
}

void TNxCustomGridControl::DrawIndicatorCell(int ARow, bool Selected, bool Highlighted) {
  const int T = GetRowTop(ARow);
  const TRect R = Rect(0, T - FTopLine, IndicatorWidth, T + GetRowPitch(ARow) + FBottomLine);
  if (!Intersects(R, PaintClipRect())) return;
  StylePrepare(FStyleThemed);
  if (FIndicatorDrawingOptions == doNormal || FIndicatorDrawingOptions == doBackgroundOnly)
    StyleDrawIndicatorBackground(R, ARow, Selected, Highlighted);
  if (FIndicatorDrawingOptions == doNormal || FIndicatorDrawingOptions == doCustom)
    StyleDrawIndicatorContent(R, Highlighted, Selected && !Highlighted);
  if (FIndicatorDrawingOptions != doNormal) DoCustomDrawIndicator(ARow, R, Selected, Highlighted);
}

void TNxCustomGridControl::PaintHeaderParts() {
  TCanvas* Cv = Canvas();
  // Visual styles were asked once, when the paint began.
  const bool Themed = FStyleThemed;
  const int CW = ClientWidth();
  const TRect InputStrip = GetInputRect();
  const TRect FooterStrip = GetFooterRect();
  const bool Focused = IsFocused();
  for (int P = 0; P < FColumns->Count(); ++P) {
    TNxCustomColumn* C = FColumns->ItemByPosition(P);
    if (!C->Visible()) continue;
    const int L = GetColumnScreenLeft(C);
    if (L > CW || L + C->Width() < 0) continue;
    TDCStateScope DCState(Cv);
    if (P >= FColumns->FixedCols()) {
      const TRect S = GetScrollClipRect();
      IntersectClipRect(DCState.DC(), S.Left, S.Top, S.Right, S.Bottom);
    }
    StylePrepare(Themed);
    if (FOptions.Contains(goHeader)) StyleDrawHeader(C, GetHeaderCellRect(C));
    if (FOptions.Contains(goInput)) {
      const bool Editing = FGridState.Contains(gsInputEditing) && FInputColumn == C->Index();
      StyleDrawInputCell(C, GetInputCellRect(C), Focused, FInputSelected, Editing);
    }
    if (FOptions.Contains(goFooter)) StyleDrawFooter(C, GetFooterCellRect(C), FOptions.Contains(goGrid));
  }
  // The rest of the input line and of the footer: the strips with their cells left out.
  auto Background = [&](const TRect& Strip, bool Input) {
    TDCStateScope DCState(Cv);
    for (int I = 0; I < FColumns->Count(); ++I) {
      TNxCustomColumn* C = FColumns->Item(I);
      if (!C->Visible()) continue;
      const TRect Cell = Input ? GetInputCellRect(C) : GetFooterCellRect(C);
      ExcludeClipRect(DCState.DC(), Cell.Left, Cell.Top, Cell.Right, Cell.Bottom);
    }
    StylePrepare(Themed);
    StyleDrawFooterBackground(Rect(Strip.Left, Strip.Top, CW, Strip.Bottom));
  };
  if (FOptions.Contains(goInput)) Background(InputStrip, true);
  if (FOptions.Contains(goFooter)) Background(FooterStrip, false);
  if (FOptions.Contains(goIndicator)) {
    StylePrepare(Themed);
    if (FOptions.Contains(goInput)) StyleDrawCorner(Rect(0, InputStrip.Top, IndicatorWidth, InputStrip.Bottom), 0);
    if (FOptions.Contains(goFooter)) StyleDrawCorner(Rect(0, FooterStrip.Top, IndicatorWidth, FooterStrip.Bottom), 0);
    if (FOptions.Contains(goHeader)) StyleDrawCorner(Rect(0, 0, IndicatorWidth, FHeaderSize), 0);
  }
}

void TNxCustomGridControl::PaintSlides() {
  PaintSlidesHeader();
  PaintSlideRows();
}

void TNxCustomGridControl::PaintSlidesHeader() {
  if (!FOptions.Contains(goHeader)) return;
  TCanvas* Cv = Canvas();
  const int CW = ClientWidth();
  // Visual styles were asked once, when the paint began.
  const bool Themed = FStyleThemed;
  int X = GetBodyRect().Left - HorzScrollBar()->Position();
  for (int P = 0; P < FColumns->Count() && X < CW; ++P) {
    TNxCustomColumn* C = FColumns->ItemByPosition(P);
    if (!C->Visible()) continue;
    StylePrepare(Themed);
    StyleDrawHeader(C, Rect(X, 0, X + C->Width(), FHeaderSize));
    X += C->Width();
  }
  if (X < CW) {
    if (Themed && FHeaderStyle == hsAuto) {
      StylePrepare(Themed);
      StyleDrawHeaderRemainder(Rect(X, 0, CW, FHeaderSize));
    } else {
      FillRectColor(Cv, Rect(std::max(X, 0), 0, CW, FHeaderSize), Color());
    }
  }
  if (FOptions.Contains(goIndicator)) {
    StylePrepare(Themed);
    StyleDrawCorner(Rect(0, 0, IndicatorWidth, FHeaderSize), 0);
  }
}

void TNxCustomGridControl::PaintSlideRows() {
  TCanvas* Cv = Canvas();
  const TRect B = GetBodyRect();
  const int CW = ClientWidth();
  const int CH = ClientHeight();
  const bool Focused = IsFocused();
  int Y = B.Top;
  int R = FFirstVisibleRow;
  const int Rows = GetRowCount();
  while (Y < CH && (R = NextShownRow(R)) < Rows) {
    const TRect Slide = Rect(0, Y + FTopLine, CW, Y + FTopLine + FSlideSize + FBottomLine);
    if (Intersects(Slide, PaintClipRect()) || Intersects(Rect(0, Y, CW, Y + FTopLine), PaintClipRect())) {
      if (FAppearanceOptions.Contains(ao3DGridLines)) {
        Cv->Pen()->SetColor(clBtnHighlight);
        Line(Cv, 0, Y, CW, Y);
      }
      TColor SlideColor = Color();
      if (GetSelected(R) && !FSlidesOptions.Contains(soHideSelection))
        SlideColor = Focused ? FSlideSelectionColor : clBtnFace;
      TSlideState State;
      if (R == FSelectedRow) {
        State.Include(stSelected);
        if (FSlidesOptions.Contains(soFrame)) State.Include(stFocused);
      }
      TColor GridColor = FGridLinesColor;
      DoSlideColoring(R, SlideColor, GridColor, State);
      FillRectColor(Cv, Slide, SlideColor);
      for (int P = 0; P < FColumns->Count(); ++P) {
        TNxCustomColumn* C = FColumns->ItemByPosition(P);
        if (!C->Visible()) continue;
        DrawCell(C, R);
        if (C->SlideCaption().empty()) continue;
        // The field's caption in grey, left of the field or above it.
        const TRect Field = GetCellRect(C->Index(), R);
        Cv->SetFont(Font());
        Cv->Font()->SetColor(clGrayText);
        Cv->Brush()->SetStyle(bsClear);
        const int TW = TextWidthW(Cv, C->SlideCaption());
        const int TH = TextHeightW(Cv, C->SlideCaption());
        if (C->SlideCaptionLocation() == clLeft)
          Cv->TextOut(Field.Left - TW - 4, Field.Top + (Field.Height() - TH) / 2, C->SlideCaption());
        else
          Cv->TextOut(Field.Left, Field.Top - TH - 1, C->SlideCaption());
        Cv->Brush()->SetStyle(bsSolid);
      }
      if (R == FSelectedRow && FSlidesOptions.Contains(soFrame)) {
        // A double frame round the selected slide.
        Cv->Brush()->SetStyle(bsSolid);
        Cv->Brush()->SetColor(Focused ? FSelectionColor : FInactiveSelectionColor);
        const TRect Frame = Rect(Slide.Left, Slide.Top, Slide.Right, Slide.Top + FSlideSize);
        Cv->FrameRect(Frame);
        Cv->FrameRect(Inflated(Frame, -1, -1));
      }
      if (FOptions.Contains(goGrid)) {
        Cv->Pen()->SetColor(GridColor);
        Line(Cv, 0, Slide.Bottom - 1, CW, Slide.Bottom - 1);
      }
    }
    Y += FSlideSize + RowGap();
    ++R;
  }
  FLastVisibleRow = R;
  if (Y < CH) FillRectColor(Cv, Rect(0, std::max(Y, B.Top), CW, CH), Color());
}

bool TNxCustomGridControl::ApplyCellFont(int ACol, int ARow, TCellState CellState) {
  TCanvas* Cv = Canvas();
  TNxCustomColumn* C = FColumns->Item(ACol);
  CanvasUseFont(Cv, C->Font());
  Cv->Font()->SetColor(Enabled() ? GetCellFontColor(ACol, ARow) : clGrayText);
  if (CellState.Contains(csBoldTextSelection)) Cv->Font()->SetStyle(Cv->Font()->Style() + fsBold);
  return false;
}

void TNxCustomGridControl::PaintBorder() {
  if (!HandleAllocated() || FBorderStyle == bsNone) return;
  HDC DC = GetWindowDC(Handle());
  if (DC == nullptr) return;
  RECT W;
  GetWindowRect(Handle(), &W);
  OffsetRect(&W, -W.left, -W.top);
  if (FHeaderStyle == hsOffice2007 || FHeaderStyle == hsOffice2010) {
    HBRUSH Br = CreateSolidBrush(ColorToRGB(StyleBorderColor()));
    FrameRect(DC, &W, Br);
    DeleteObject(Br);
  } else if (IsThemedChrome()) {
    // The themed list frame over the system's border, the interior left alone.
    const int Border = GetSystemMetrics(SM_CXEDGE);
    RECT Inner = W;
    InflateRect(&Inner, -(Border + 1), -(Border + 1));
    ExcludeClipRect(DC, Inner.left, Inner.top, Inner.right, Inner.bottom);
    DrawThemedPart(Handle(), DC, Rect(W.left, W.top, W.right, W.bottom), 0, 1, L"listview");
  }
  ReleaseDC(Handle(), DC);
}

// ---------------------------------------------------------------------------------------------
// Chrome painting: the current style display

TStyleDisplay* TNxCustomGridControl::StyleDisplay() const { return FStyleDisplays[FHeaderStyle].get(); }

void TNxCustomGridControl::StylePrepare(bool Themed) {
  FStyleThemed = Themed;
  Canvas()->SetFont(Font());
  Canvas()->Pen()->SetMode(pmCopy);
  Canvas()->Pen()->SetWidth(1);
  Canvas()->Pen()->SetStyle(psSolid);
  TStyleDisplay* D = StyleDisplay();
  D->Canvas = Canvas();
  D->Themed = Themed;
  D->ThemeHandle = FThemeHandle;
  D->PressedColumn = PressedColumn();
  D->HotColumn = HotColumn();
  D->SelectedColumn = FSelectedColumn;
}

// Each piece is painted with the canvas clipped to its rectangle: no style reaches past it.
void TNxCustomGridControl::StyleDrawHeader(TNxCustomColumn* Column, const TRect& R) {
  ClipToPiece(Canvas(), R, [&] { StyleDisplay()->DrawHeader(Column, R); });
}

void TNxCustomGridControl::StyleDrawHeaderRemainder(const TRect& R) {
  ClipToPiece(Canvas(), R, [&] { StyleDisplay()->DrawHeaderRemainder(R); });
}

void TNxCustomGridControl::StyleDrawCorner(const TRect& R, int Kind) {
  ClipToPiece(Canvas(), R, [&] { StyleDisplay()->DrawCorner(R, Kind); });
}

void TNxCustomGridControl::StyleDrawFooter(TNxCustomColumn* Column, const TRect& R, bool Framed) {
  ClipToPiece(Canvas(), R, [&] {
    // A framed footer cell leaves its last pixel column and row to the grid lines.
    if (Framed) {
      FillRectColor(Canvas(), Rect(R.Right - 1, R.Top, R.Right, R.Bottom), FGridLinesColor);
      FillRectColor(Canvas(), Rect(R.Left, R.Bottom - 1, R.Right, R.Bottom), FGridLinesColor);
    }
    StyleDisplay()->DrawFooter(Column, R, Framed);
  });
}

void TNxCustomGridControl::StyleDrawFooterBackground(const TRect& R) {
  ClipToPiece(Canvas(), R, [&] { StyleDisplay()->DrawFooterBackground(R); });
}

void TNxCustomGridControl::StyleDrawIndicatorBackground(const TRect& R, int Row, bool Selected, bool Highlighted) {
  ClipToPiece(Canvas(), R, [&] { StyleDisplay()->DrawIndicatorBackground(R, Row, Selected, Highlighted); });
}

void TNxCustomGridControl::StyleDrawIndicatorContent(const TRect& R, bool Selected, bool Inverted) {
  ClipToPiece(Canvas(), R, [&] { StyleDisplay()->DrawIndicatorContent(R, Selected, Inverted); });
}

void TNxCustomGridControl::StyleDrawInputCell(TNxCustomColumn* Column, const TRect& R, bool Focused, bool Selected,
                                              bool Editing) {
  ClipToPiece(Canvas(), R, [&] { StyleDisplay()->DrawInputCell(Column, R, Focused, Selected, Editing); });
}

int TNxCustomGridControl::StyleHeaderContentWidth(TNxCustomColumn* Column) {
  StylePrepare(IsThemedChrome());
  return StyleDisplay()->GetHeaderContentWidth(Column);
}

TColor TNxCustomGridControl::StyleBorderColor() { return clBtnShadow; }

// ---------------------------------------------------------------------------------------------
// Event dispatchers

void TNxCustomGridControl::DoAfterEdit(int ACol, int ARow, const WideString& Value) {
  if (OnAfterEdit) OnAfterEdit(this, ACol, ARow, Value);
}
void TNxCustomGridControl::DoAfterSort(int ACol) {
  if (OnAfterSort) OnAfterSort(this, ACol);
}
void TNxCustomGridControl::DoApplyCell(int ACol, int ARow, WideString& Value) {
  if (OnApplyCell) OnApplyCell(this, ACol, ARow, Value);
}
void TNxCustomGridControl::DoApplyEditText(int ACol, int ARow, WideString& Value) {
  if (OnApplyEditText) OnApplyEditText(this, ACol, ARow, Value);
}
void TNxCustomGridControl::DoBeforeEdit(int ACol, int ARow, bool& Accept) {
  if (OnBeforeEdit) OnBeforeEdit(this, ACol, ARow, Accept);
}
void TNxCustomGridControl::DoBeforeSelect(int ACol, int ARow, bool& Accept) {
  if (OnBeforeSelect) OnBeforeSelect(this, ACol, ARow, Accept);
}
void TNxCustomGridControl::DoAfterRowMove(int FromPos, int ToPos) {
  if (OnAfterRowMove) OnAfterRowMove(this, FromPos, ToPos);
}
void TNxCustomGridControl::DoCalculateRow(int Index, bool& Accept) {
  if (OnCalculateRow) OnCalculateRow(this, Index, Accept);
}
void TNxCustomGridControl::DoCellClick(int ACol, int ARow) {
  if (OnCellClick) OnCellClick(this, ACol, ARow);
}
void TNxCustomGridControl::DoCellDblClick(int ACol, int ARow) {
  if (OnCellDblClick) OnCellDblClick(this, ACol, ARow);
}
void TNxCustomGridControl::DoColumnFooterValue(int ACol, double& Value) {
  if (OnColumnFooterValue) OnColumnFooterValue(this, ACol, Value);
}
void TNxCustomGridControl::DoFooterCalculate(int ACol, double& Value) {
  if (OnFooterCalculate) OnFooterCalculate(this, ACol, Value);
}
void TNxCustomGridControl::DoFooterClick(int ACol) {
  if (OnFooterClick) OnFooterClick(this, ACol);
}
void TNxCustomGridControl::DoHeaderClick(int ACol) {
  if (OnHeaderClick) OnHeaderClick(this, ACol);
}
void TNxCustomGridControl::DoHeaderDblClick(int ACol) {
  if (OnHeaderDblClick) OnHeaderDblClick(this, ACol);
}
void TNxCustomGridControl::DoMouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}
void TNxCustomGridControl::DoMouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}
void TNxCustomGridControl::DoRowMove(int FromPos, int ToPos, bool& Accept) {
  if (OnRowMove) OnRowMove(this, FromPos, ToPos, Accept);
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
  if (OnChange) OnChange(this, ACol, ARow);
}
void TNxCustomGridControl::DoChangeRowHeight(int Index, int Height) {
  if (OnChangeRowHeight) OnChangeRowHeight(this, Index, Height);
}
void TNxCustomGridControl::DoColumnMove(int ACol, int FromPos, int ToPos) {
  if (OnColumnMove) OnColumnMove(this, ACol, FromPos, ToPos);
}
void TNxCustomGridControl::DoColumnResize(int ACol) {
  if (OnColumnResize) OnColumnResize(this, ACol);
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
  if (OnDataChange) OnDataChange(this, AChangeType, AIndex);
}
void TNxCustomGridControl::DoDeselectCell(int ACol, int ARow) {
  if (OnDeselectCell) OnDeselectCell(this, ACol, ARow);
}
void TNxCustomGridControl::DoDrawCellBackground(int ACol, int ARow, TRect CellRect, TCellState State,
                                                bool& DefaultDrawing) {
  if (OnDrawCellBackground) OnDrawCellBackground(this, ACol, ARow, CellRect, State, DefaultDrawing);
}
void TNxCustomGridControl::DoEdit(int ACol, int ARow, const WideString& Value) {
  if (OnEdit) OnEdit(this, ACol, ARow, Value);
}
void TNxCustomGridControl::DoEditAccept(int ACol, int ARow, const WideString& Value, bool& Accept) {
  if (OnEditAccept) OnEditAccept(this, ACol, ARow, Value, Accept);
}
void TNxCustomGridControl::DoEditEnter() {
  if (OnEditEnter) OnEditEnter(this);
}
void TNxCustomGridControl::DoEditExit() {
  if (OnEditExit) OnEditExit(this);
}
void TNxCustomGridControl::DoEditText(int ACol, int ARow, WideString& Value) {
  if (OnEditText) OnEditText(this, ACol, ARow, Value);
}
void TNxCustomGridControl::DoEndEditing(int ACol, int ARow, WideString& Value, bool& Accept) {
  if (OnEndEditing) OnEndEditing(this, ACol, ARow, Value, Accept);
}
void TNxCustomGridControl::DoInputAccept(bool& Accept) {
  if (OnInputAccept) OnInputAccept(this, Accept);
}
void TNxCustomGridControl::DoInputAdded() {
  if (OnInputAdded) OnInputAdded(this);
}
void TNxCustomGridControl::DoInputSelectCell(int ACol) {
  if (OnInputSelectCell) OnInputSelectCell(this, ACol);
}
void TNxCustomGridControl::DoMeasuringRowHeight(int Index, int& RowHeight) {
  if (OnMeasuringRowHeight) OnMeasuringRowHeight(this, Index, RowHeight);
}
void TNxCustomGridControl::DoPostDraw() {
  if (OnPostDraw) OnPostDraw(this);
}
void TNxCustomGridControl::DoSelectCell(int ACol, int ARow) {
  if (OnSelectCell) OnSelectCell(this, ACol, ARow);
}
void TNxCustomGridControl::DoSelectionMove(int& ACol, int ARow, TMoveSelectionKey Key) {
  if (OnSelectionMove) OnSelectionMove(this, ACol, ARow, Key);
}
void TNxCustomGridControl::DoSlideChange(int ACol) {
  if (OnSlideChange) OnSlideChange(this, ACol);
}
void TNxCustomGridControl::DoSlideColoring(int Index, TColor& SlideColor, TColor& GridColor, TSlideState State) {
  if (OnSlideColoring) OnSlideColoring(this, Index, SlideColor, GridColor, State);
}
void TNxCustomGridControl::DoSortColumn(int ACol, bool Ascending) {
  if (OnSortColumn) OnSortColumn(this, ACol, Ascending);
}
