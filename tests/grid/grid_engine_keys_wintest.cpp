// Keyboard navigation of the grid engine with real key presses: rows, columns, pages, the ends,
// Tab and Shift+Tab (wrapping and leaving the grid), the input line, hidden rows, the handler
// that redirects a column move, and a column that opens its editor on arrival.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/EngineTestHelpers.h"

using namespace enginetest;

namespace {

// Presses a key and waits until the selection reaches the cell.
bool KeyTo(TNxGrid* G, WORD Vk, int Col, int Row) {
  PressKey(Vk);
  return WaitFor([&] { return G->SelectedColumn() == Col && G->SelectedRow() == Row; });
}

}  // namespace

TEST(EngineKeys, ArrowsMoveBetweenCellsAndStopAtTheEdges) {
  TEngineForm F(3, {goHeader});
  F.Fill(4);
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(F.FocusByClick(0, 1));
  TEventLog Log;
  Log.AttachSelection(G);
  ASSERT_TRUE(KeyTo(G, VK_RIGHT, 1, 1));
  ASSERT_TRUE(KeyTo(G, VK_RIGHT, 2, 1));
  ASSERT_TRUE(KeyTo(G, VK_RIGHT, 2, 1));  // the last column: nothing
  ASSERT_TRUE(KeyTo(G, VK_DOWN, 2, 2));
  ASSERT_TRUE(KeyTo(G, VK_DOWN, 2, 3));
  ASSERT_TRUE(KeyTo(G, VK_DOWN, 2, 3));  // the last row: nothing
  ASSERT_TRUE(KeyTo(G, VK_LEFT, 1, 3));
  ASSERT_TRUE(KeyTo(G, VK_UP, 1, 2));
  EXPECT_EQ(Log.Joined(),
            "before:1,1 deselect:0,1 select:1,1 before:2,1 deselect:1,1 select:2,1 "
            "before:2,2 deselect:2,1 select:2,2 before:2,3 deselect:2,2 select:2,3 "
            "before:1,3 deselect:2,3 select:1,3 before:1,2 deselect:1,3 select:1,2");
}

TEST(EngineKeys, SelectionMoveHandlerRedirectsLeftRightAndTab) {
  TEngineForm F(4, {goHeader});
  F.Fill(3);
  TNxGrid* G = F.Grid;
  G->SetWantTabs(true);
  ASSERT_TRUE(F.FocusByClick(0, 0));
  std::vector<std::string> Moves;
  G->OnSelectionMove = [&](TObject*, int& ACol, int ARow, TMoveSelectionKey Key) {
    Moves.push_back(std::to_string(ACol) + "," + std::to_string(ARow) + ":" + std::to_string(Key));
    if (ACol == 1) ACol = 2;  // column 1 is skipped
  };
  ASSERT_TRUE(KeyTo(G, VK_RIGHT, 2, 0));
  ASSERT_TRUE(KeyTo(G, VK_TAB, 3, 0));
  ASSERT_TRUE(KeyTo(G, VK_LEFT, 2, 0));
  EXPECT_EQ(Moves, (std::vector<std::string>{"1,0:1", "3,0:2", "2,0:1"}));
}

TEST(EngineKeys, TabWalksTheCellsAndWrapsOrLeaves) {
  TEngineForm F(2, {goHeader});
  F.Fill(2);
  TNxGrid* G = F.Grid;
  G->SetWantTabs(true);
  G->SetTabLeaveControl(false);
  auto* Next = new TCustomControl(F.Form);
  Next->SetBounds(0, 0, 8, 8);
  Next->SetTabStop(true);
  Next->SetParent(F.Form);
  ASSERT_TRUE(F.FocusByClick(0, 0));
  ASSERT_TRUE(KeyTo(G, VK_TAB, 1, 0));
  ASSERT_TRUE(KeyTo(G, VK_TAB, 0, 1));  // the last column: on to the next row's first column
  ASSERT_TRUE(KeyTo(G, VK_TAB, 1, 1));
  ASSERT_TRUE(KeyTo(G, VK_TAB, 0, 0));  // the last cell wraps to the first row
  EXPECT_TRUE(G->IsFocused());
  // Shift+Tab goes back, across the row start to the previous row's last column.
  G->SelectCell(0, 1);
  KeyWith(VK_SHIFT, VK_TAB);
  ASSERT_TRUE(WaitFor([&] { return G->GetSelectedCell() == Point(1, 0); })) << G->SelectedColumn() << "," << G->SelectedRow() << " focus " << G->IsFocused();
  // With TabLeaveControl the last cell wraps and the focus goes on to the next control.
  G->SetTabLeaveControl(true);
  G->SelectCell(1, 1);
  PressKey(VK_TAB);
  ASSERT_TRUE(WaitFor([&] { return !G->IsFocused(); }));
  EXPECT_EQ(G->GetSelectedCell(), Point(0, 0));
  EXPECT_EQ(GetFocus(), Next->Handle());
}

TEST(EngineKeys, PagesAndEnds) {
  TEngineForm F(2, {goHeader});
  F.Fill(50);
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(F.FocusByClick(0, 0));
  const int Page = G->GetRowsPerPage();
  // The first Page Down selects the last row the user sees whole: the rows under the header that
  // fit the window's height.
  const int Seen = (G->ClientHeight() - G->HeaderSize()) / G->RowSize();
  PressKey(VK_NEXT);
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() > 0; }));
  EXPECT_EQ(G->SelectedRow(), Seen - 1);
  PressKey(VK_NEXT);
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() > Page; }));
  EXPECT_LE(G->SelectedRow(), G->GetLastFullyVisibleRow());
  EXPECT_GT(G->FirstVisibleRow(), 0);
  const int Down = G->SelectedRow();
  PressKey(VK_PRIOR);
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() < Down; }));
  EXPECT_EQ(G->SelectedRow(), G->FirstVisibleRow());
  // On the first row in view, a page up.
  const int Top = G->SelectedRow();
  ASSERT_GT(Top, 0);
  PressKey(VK_PRIOR);
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() < Top; }));
  EXPECT_EQ(G->SelectedRow(), std::max(Top - Page, 0));
  EXPECT_EQ(G->FirstVisibleRow(), G->SelectedRow());
  ASSERT_TRUE(KeyTo(G, VK_END, 0, 49));
  EXPECT_EQ(G->GetLastFullyVisibleRow(), 49);
  ASSERT_TRUE(KeyTo(G, VK_HOME, 0, 0));
  EXPECT_EQ(G->FirstVisibleRow(), 0);
  // Home and End move between columns with hebLeftRight.
  G->SetHomeEndBehaviour(hebLeftRight);
  ASSERT_TRUE(KeyTo(G, VK_END, 1, 0));
  ASSERT_TRUE(KeyTo(G, VK_HOME, 0, 0));
}

TEST(EngineKeys, UpEntersTheInputLineAndDownLeavesIt) {
  // Once with a selected cell and once with selected full rows, whose row flag leaves with the
  // selection for the input line and must come back with it.
  for (const bool FullRow : {false, true}) {
    SCOPED_TRACE(FullRow ? "full rows" : "cells");
    TGridOptions Options{goHeader, goInput};
    if (FullRow) Options.Include(goSelectFullRow);
    TEngineForm F(2, Options);
    F.Fill(3);
    TNxGrid* G = F.Grid;
    ASSERT_TRUE(F.FocusByClick(1, 1));
    ASSERT_TRUE(KeyTo(G, VK_UP, 1, 0));
    PressKey(VK_UP);
    ASSERT_TRUE(WaitFor([&] { return G->InputSelected(); }));
    EXPECT_FALSE(G->IsCellSelected(1, 0));
    EXPECT_FALSE(G->GetSelected(0));
    PressKey(VK_DOWN);
    ASSERT_TRUE(WaitFor([&] { return !G->InputSelected(); }));
    EXPECT_EQ(G->GetSelectedCell(), Point(1, 0));
    EXPECT_TRUE(G->IsCellSelected(1, 0));
    EXPECT_EQ(G->GetSelected(0), FullRow);
    EXPECT_EQ(G->IsCellSelected(0, 0), FullRow);
  }
}

TEST(EngineKeys, HiddenRowsAreSkipped) {
  TEngineForm F(1, {goHeader});
  F.Fill(6);
  TNxGrid* G = F.Grid;
  G->SetRowVisible(2, false);
  G->SetRowVisible(3, false);
  ASSERT_TRUE(F.FocusByClick(0, 1));
  ASSERT_TRUE(KeyTo(G, VK_DOWN, 0, 4));
  ASSERT_TRUE(KeyTo(G, VK_UP, 0, 1));
  // Rows that CanSelectCell refuses are skipped likewise (here: a vetoing handler does not
  // skip, it stops the move).
  int Vetoes = 0;
  G->OnBeforeSelect = [&](TObject*, int, int R, bool& Accept) {
    if (R == 4) {
      Accept = false;
      ++Vetoes;
    }
  };
  PressKey(VK_DOWN);
  ASSERT_TRUE(WaitFor([&] { return Vetoes == 1; }));
  EXPECT_EQ(G->SelectedRow(), 1);
}

TEST(EngineKeys, ArrivingOnAnAutoEditColumnOpensItsEditor) {
  TEngineForm F(2, {goHeader});
  F.Fill(3);
  TNxGrid* G = F.Grid;
  F.Columns[1]->SetOptions(F.Columns[1]->Options() + coEditing);
  F.Columns[1]->SetAutoEdit(true);
  ASSERT_TRUE(F.FocusByClick(0, 1));
  EXPECT_EQ(G->InplaceEditor(), nullptr);
  PressKey(VK_RIGHT);
  ASSERT_TRUE(WaitFor([&] { return G->InplaceEditor() != nullptr; }));
  EXPECT_EQ(G->EditCol(), 1);
  EXPECT_EQ(G->EditRow(), 1);
  EXPECT_EQ(G->InplaceEditor()->Text(), L"r1c1");
  ASSERT_TRUE(WaitFor([&] { return GetFocus() == G->InplaceEditor()->Handle(); }));
  EXPECT_TRUE(G->IsFocused());  // the editor's focus counts as the grid's
}

TEST(EngineKeys, DisabledKeysAndFullRowLeftRight) {
  // The columns are wider than the grid: there is room to scroll sideways.
  TEngineForm F(2, {goHeader, goDisableKeys}, 300, 200, 200);
  F.Fill(3);
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(F.FocusByClick(0, 0));
  PressKey(VK_DOWN);
  Pump();
  EXPECT_EQ(G->SelectedRow(), 0);
  // Full rows without the indicated cell: Left and Right scroll instead of moving the cell.
  G->SetOptions({goHeader, goSelectFullRow});
  PressKey(VK_RIGHT);
  ASSERT_TRUE(WaitFor([&] { return G->HorzScrollBar()->Position() > 0; }));
  EXPECT_EQ(G->SelectedColumn(), 0);
  PressKey(VK_LEFT);
  ASSERT_TRUE(WaitFor([&] { return G->HorzScrollBar()->Position() == 0; }));
  EXPECT_EQ(G->SelectedColumn(), 0);
  G->SetAppearanceOptions({aoHideSelection, aoIndicateSelectedCell});
  ASSERT_TRUE(KeyTo(G, VK_RIGHT, 1, 0));
}

// The row keys in a grid without rows select nothing: rows that arrive later show no selection.
TEST(EngineKeys, RowKeysInAnEmptyGridSelectNothing) {
  TEngineForm F(2, {goHeader});
  TNxGrid* G = F.Grid;
  TEventLog Log;
  Log.AttachSelection(G);
  G->SetFocus();
  ASSERT_TRUE(WaitFor([&] { return G->IsFocused(); }));
  for (WORD Vk : {VK_HOME, VK_END, VK_NEXT, VK_PRIOR, VK_DOWN, VK_UP}) PressKey(Vk);
  Pump();
  EXPECT_EQ(Log.Joined(), "");
  EXPECT_EQ(G->SelectedRow(), -1);
  F.Fill(3);
  EXPECT_FALSE(G->IsCellSelected(0, 0));
}

// With WantReturns, Enter moves the selection the way SelectionMoveDirection points (mdNone: it
// stays). A Down after it shows where Enter left the selection.
TEST(EngineKeys, EnterWithWantReturnsMovesTheSelectionItsWay) {
  TEngineForm F(3, {goHeader});
  F.Fill(4);
  TNxGrid* G = F.Grid;
  G->SetWantReturns(true);
  ASSERT_TRUE(F.FocusByClick(1, 1));
  const struct {
    TSelectionMoveDirection Direction;
    TPoint To;
  } Ways[] = {{mdDown, {1, 2}}, {mdUp, {1, 0}}, {mdLeft, {0, 1}}, {mdRight, {2, 1}}, {mdNone, {1, 1}}};
  for (const auto& W : Ways) {
    SCOPED_TRACE(W.Direction);
    G->SelectCell(1, 1);
    G->SetSelectionMoveDirection(W.Direction);
    PressKey(VK_RETURN);
    EXPECT_TRUE(KeyTo(G, VK_DOWN, W.To.X, W.To.Y + 1)) << G->SelectedColumn() << "," << G->SelectedRow();
  }
}

// Enter on the selected input line adds its row only with InputEnterMode imAllways (a Down
// after it leaves the input line).
TEST(EngineKeys, EnterOnTheInputLineAddsTheRowOnlyInAllwaysMode) {
  for (const TInputEnterMode Mode : {imAllways, imEditing}) {
    SCOPED_TRACE(Mode);
    TEngineForm F(2, {goHeader, goInput}, 300, 200, 80, true);
    F.Fill(2);
    TNxGrid* G = F.Grid;
    G->SetWantReturns(true);
    G->SetInputEnterMode(Mode);
    G->SetFocus();
    G->EditInputCell(F.Columns[0]);
    G->EndEditing();
    ASSERT_TRUE(WaitFor([&] { return G->IsFocused() && G->InputSelected() && !G->IsEditing(); }));
    F.Columns[1]->SetInputValue(L"new");
    PressKey(VK_RETURN);
    PressKey(VK_DOWN);
    ASSERT_TRUE(WaitFor([&] { return !G->InputSelected(); }));
    ASSERT_EQ(G->RowCount(), Mode == imAllways ? 3 : 2);
    if (Mode == imAllways) {
      EXPECT_EQ(G->Cells(1, 2), L"new");
    }
  }
}

// Rows nobody can see, hidden ones and rows of no height, are passed over by the row keys as if
// they were not there; where no row can be seen the keys select nothing and fire nothing, as in a
// grid without rows. Every case starts from the selected row given (hidden or flattened after it
// was selected), and each key leaves the row given after it selected (Moved: another row than
// before). The rows then all show again at their height: only the last row the keys selected
// paints selected.
TEST(EngineKeys, RowsNobodyCanSeeAreNeitherSelectedNorSteppedOnto) {
  constexpr int Moved = -2;
  const std::vector<std::pair<WORD, int>> AllKeysNothing{{VK_HOME, -1}, {VK_END, -1},  {VK_NEXT, -1},
                                                         {VK_PRIOR, -1}, {VK_DOWN, -1}, {VK_UP, -1}};
  const struct {
    const char* Name;
    int From;
    std::vector<int> Hidden, Flat;
    std::vector<std::pair<WORD, int>> Keys;
    int Rows = 6;
  } Cases[] = {
      {"every row hidden", -1, {0, 1, 2, 3, 4, 5}, {}, AllKeysNothing},
      {"every row flat", -1, {}, {0, 1, 2, 3, 4, 5}, AllKeysNothing},
      {"hidden and flat rows mixed", -1, {0, 2, 5}, {1, 3, 4}, AllKeysNothing},
      {"hidden and flat rows at both ends", -1, {0, 5}, {1, 4},
       {{VK_HOME, 2}, {VK_UP, 2}, {VK_END, 3}, {VK_DOWN, 3}, {VK_PRIOR, 2}, {VK_NEXT, 3}}},
      {"flat rows round a hidden one", 0, {3}, {1, 2, 4}, {{VK_DOWN, 5}, {VK_UP, 0}, {VK_END, 5}, {VK_HOME, 0}}},
      {"the selected row hidden, then flat rows round it", 2, {2}, {1, 3}, {{VK_DOWN, 4}, {VK_UP, 0}}},
      {"the selected row flat", 3, {}, {3}, {{VK_UP, 2}, {VK_DOWN, 4}}},
      {"the selected row hidden, then every row", 2, {0, 1, 2, 3, 4, 5}, {}, AllKeysNothing},
      // Eleven rows fill the page; the two after the eleventh are flat, and rows a page further
      // are flat or hidden: the pages begin and end on rows that can be seen.
      {"flat and hidden rows at the ends of pages", 0, {22, 26}, {11, 12, 23, 24, 25, 28},
       {{VK_NEXT, 10}, {VK_NEXT, Moved}, {VK_NEXT, Moved}, {VK_PRIOR, Moved}, {VK_PRIOR, Moved}},
       40},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TEngineForm F(1, {goHeader});
    F.Fill(C.Rows);
    TNxGrid* G = F.Grid;
    if (C.From >= 0) G->SelectCell(0, C.From);
    for (int R : C.Hidden) G->SetRowVisible(R, false);
    for (int R : C.Flat) G->SetRowHeight(R, 0);
    G->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return G->IsFocused(); }));
    TEventLog Log;
    Log.AttachSelection(G);
    int Keys = 0;
    G->OnKeyUp = [&](TObject*, Word&, TShiftState) { ++Keys; };
    int Last = C.From;
    for (const auto& [Vk, Row] : C.Keys) {
      PressKey(Vk);
      ASSERT_TRUE(WaitFor([&] { return Keys > 0; }));
      Keys = 0;
      if (Row == Moved)
        EXPECT_NE(G->SelectedRow(), Last) << "key " << Vk;
      else
        EXPECT_EQ(G->SelectedRow(), Row == -1 ? C.From : Row) << "key " << Vk;
      if (Row != -1) Last = G->SelectedRow();
    }
    // The events name rows that can be seen, and only those.
    for (const std::string& E : Log.Items) {
      if (E.rfind("deselect", 0) == 0) continue;
      const int Row = std::stoi(E.substr(E.find(',') + 1));
      EXPECT_TRUE(Row >= 0 && G->RowVisible(Row) && G->RowHeight(Row) > 0) << E;
    }
    for (int R = 0; R < C.Rows; ++R) {
      G->SetRowVisible(R, true);
      G->SetRowHeight(R, G->RowSize());
    }
    for (int R = 0; R < C.Rows; ++R) EXPECT_EQ(G->IsCellSelected(0, R), R == Last) << "row " << R;
  }
}
