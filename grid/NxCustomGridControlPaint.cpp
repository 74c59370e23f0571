#include "grid/NxCustomGridControl.h"

#include <algorithm>
#include <optional>

#include "grid/NxDisplays.h"
#include "grid/NxPaintHelpers.h"
#include "grid/NxSharedCommon.h"
#include "grid/NxThemeSupport.h"

// Painting of the grid engine: the body's rows and cells, the slides, the header parts, the
// border, and the chrome drawn through the current style display.

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

// Runs Paint with the canvas's clip region narrowed to R (and given back afterwards).
template <class TPaint>
void ClipToPiece(TCanvas* Cv, const TRect& R, TPaint Paint) {
  TDCStateScope DCState(Cv, R);
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
  if (!Intersects(WithGridLines(CellRect), PaintClipRect())) return;

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
    E = E.Inflated(-1, -1);
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
  if (!Intersects(WithGridLines(CellRect), Cv->ClipRect())) return;
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
        Cv->FrameRect(Frame.Inflated(-1, -1));
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

