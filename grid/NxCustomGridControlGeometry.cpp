#include "grid/NxCustomGridControl.h"

#include <algorithm>

#include "grid/NxRowWalk.h"

// Geometry, refresh and scrolling of the grid engine.

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
  // Rows that take no room (height 0 without grid lines) are on the page wherever the rows
  // around them are: they add nothing and never end it. Only the empty rows past the last,
  // which go on without end, stop the walk when they take no room.
  const int Height = GetBodyRect().Height();
  int Used = 0;
  int N = 0;
  TBodyRowWalk W(this, true);
  while (W.Next()) {
    const int P = W.Pitch() + RowGap();
    if ((P <= 0 && !W.Exists()) || Used + P > Height) break;
    Used += P;
    ++N;
  }
  if (CountAbove) {
    for (int R = PreviousShownRow(FFirstVisibleRow - 1); R >= 0; R = PreviousShownRow(R - 1)) {
      const int P = GetRowPitch(R) + RowGap();
      if (Used + P > Height) break;
      Used += P;
      ++N;
    }
  }
  return N;
}

int TNxCustomGridControl::GetLastPageRows() {
  // A row is fully in view when its pixels are inside the body (the grid line under the last
  // one may be cut), as ScrollToRow and GetLastFullyVisibleRow count it. Rows of no height add
  // nothing and never end the page.
  const int Height = GetBodyRect().Height() - FTopLine;
  int Used = 0;
  int N = 0;
  for (int R = PreviousShownRow(GetRowCount() - 1); R >= 0; R = PreviousShownRow(R - 1)) {
    const int Next = Used + GetRowPitch(R) + (N > 0 ? RowGap() : 0);
    if (Next > Height) break;
    Used = Next;
    ++N;
  }
  return std::max(N, 1);
}

int TNxCustomGridControl::GetLastFullyVisibleRow() {
  const TRect B = GetBodyRect();
  int Last = FFirstVisibleRow - 1;
  TBodyRowWalk W(this);
  while (W.Next()) {
    // A row of no height on the body's lower edge is in view as much as the page counts it.
    if (W.Top() + W.Pitch() > B.Bottom) break;
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

bool TNxCustomGridControl::RowCanBeSeen(int ARow) {
  return ARow >= 0 && ARow < GetRowCount() && GetRowShown(ARow) && GetRowPitch(ARow) > 0;
}

int TNxCustomGridControl::SeenRowFrom(int From, int Step) {
  const int Rows = GetRowCount();
  // Hidden rows are stepped over at once; rows of no height one by one.
  for (int R = Step > 0 ? NextShownRow(From) : PreviousShownRow(From); R >= 0 && R < Rows;
       R = Step > 0 ? NextShownRow(R + 1) : PreviousShownRow(R - 1))
    if (GetRowPitch(R) > 0) return R;
  return -1;
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
  Operation([&] {
    if (FUpdateCount > 0) --FUpdateCount;
    if (FUpdateCount != 0) return;
    RefreshPart(gaBody);
    RefreshPart(gaHeader);
    RefreshPart(gaFooter);
    RefreshPart(gaIndicator);
    UpdateVertScrollBar();
    if (FUpdateScrollRow >= 0) {
      const int Row = FUpdateScrollRow;
      FUpdateScrollRow = -1;
      ScrollToRow(Row);
    }
    // The view stands where the lock left it: an editor goes over its cell, or its edit ends.
    if (FGridState.Contains(gsEditing)) PlaceEditor();
  });
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
    Bar->SetVisible(Bar->CanScroll());
}

void TNxCustomGridControl::UpdateVertScrollBar() {
  Operation([&] {
    TNxScrollBar* Bar = VertScrollBar();
    const int Rows = GetRowCount();
    const int Total = Rows == 1 ? 0 : GetShownRowCount();
    // The page is what the body holds at the end of the list, so that the last position shows the
    // last row at the bottom however tall the rows are (a page taken from the rows at the top would
    // stop short of the last rows, or scroll past them, when the rows at the end are taller or
    // shorter). A row or slide taller than the body fills a page alone.
    int Page;
    if (FGridStyle == gsReport) {
      Page = GetLastPageRows();
    } else {
      const int Pitch = FSlideSize + RowGap();
      Page = std::max(Pitch > 0 ? GetBodyRect().Height() / Pitch : 0, 1);
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
    // The view first: the first visible row stays on a position the bar can show, so that the
    // view never scrolls past the point where the last row reaches the bottom of the body.
    const int MaxPos = std::max(0, Total - Page);
    if (CountShownRows(0, FFirstVisibleRow) > MaxPos || FFirstVisibleRow >= std::max(Rows, 1)) {
      FFirstVisibleRow = RowAtScrollPosition(MaxPos);
      InvalidateGrid();
      PlaceEditor();
    }
    // Then the bar, its scroll event held until range, page and position are all set: the handler
    // finds the bar where the view is, and the bar takes the view's position before a range that
    // would pull it back (a pull scrolls the view once more). Showing or hiding the bar resizes the
    // client area, which can bring in or take away the horizontal bar and so change the body's
    // height: the size change updates this bar again from within, with the page of the new body,
    // and that update stands.
    const unsigned Pass = ++FVertBarPass;
    Bar->HoldEvents();
    Undoing(
        [&] {
          Bar->PlaceAt(CountShownRows(0, FFirstVisibleRow));
          if (Page < Total) {
            Bar->SetMax(Total);
            if (FVertBarPass == Pass) Bar->SetPageSize(Page + 1);
            if (FVertBarPass == Pass) Bar->SetLargeChange(Bar->PageSize());
          } else {
            Bar->SetMax(0);
          }
          if (FVertBarPass == Pass) Bar->PlaceAt(CountShownRows(0, FFirstVisibleRow));
        },
        [&] { Bar->ReleaseEvents(false); });
    Bar->ReleaseEvents();
  });
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

int TNxCustomGridControl::LineStep(TNxCustomScrollBar* Bar, bool Forward) {
  const int Lines = TNxScrollControl::LineStep(Bar, Forward);
  if (Bar != VertScrollBar() || Lines <= 0) return Lines;
  const int Rows = GetRowCount();
  const int From = std::min(FFirstVisibleRow, Rows);
  int Top = From;
  if (Forward) {
    // Past Lines rows that can be seen, to the next one (the end when none follows).
    for (int I = 0; I < Lines; ++I) {
      const int R = SeenRowFrom(Top, 1);
      if (R < 0) break;
      Top = R + 1;
    }
    const int Next = SeenRowFrom(Top, 1);
    Top = Next >= 0 ? Next : Rows;
    const int N = CountShownRows(From, Top);
    return N > 0 ? N : Lines;
  }
  for (int I = 0; I < Lines; ++I) {
    const int R = SeenRowFrom(Top - 1, -1);
    if (R < 0) break;
    Top = R;
  }
  // With no row to see above, the view goes to the top.
  if (SeenRowFrom(Top - 1, -1) < 0) Top = 0;
  const int N = CountShownRows(Top, From);
  return N > 0 ? N : Lines;
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

void TNxCustomGridControl::ScrollContent(TNxCustomScrollBar* Bar, int DX, int DY) {
  TNxScrollControl::ScrollContent(Bar, DX, DY);
  if (DX == 0 || FGridStyle != gsReport) return;
  RefreshPart(gaInput);
  RefreshPart(gaFooter);
}

void TNxCustomGridControl::ScrollToRow(int ARow) {
  if (ARow < 0 || ARow >= GetRowCount()) return;
  // While the grid is updating the bar does not count the rows yet: the row is shown when the
  // update ends.
  if (FUpdateCount > 0) {
    FUpdateScrollRow = ARow;
    return;
  }
  // A row that is not shown takes no room: the view goes to where it lies, the shown row above
  // it (or below, at the top). Measured as a shown row it would scroll past the last page.
  if (!GetRowShown(ARow)) {
    const int Above = PreviousShownRow(ARow - 1);
    ARow = Above >= 0 ? Above : NextShownRow(ARow);
    if (ARow >= GetRowCount()) return;
  }
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

