// Rows that change places keep what belongs to their records: an open editor writes into the
// record it was opened on, the range anchor and the selection stay on theirs, the sort order of a
// column follows its sort type, and a row under a collapsed parent stays out of the shown rows
// whatever its own visibility says.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Strings.h"
#include "support/EngineTestHelpers.h"

using namespace enginetest;

namespace {

// The texts of a column, rows joined with ",".
std::string Texts(TNxGrid* G, int Col = 0) {
  std::string S;
  for (int R = 0; R < G->RowCount(); ++R) {
    if (R > 0) S += ",";
    S += WideToAnsi(G->Cells(Col, R));
  }
  return S;
}

// The rows whose selection flag is set, joined with ",".
std::string SelectedRows(TNxGrid* G) {
  std::string S;
  for (int R = 0; R < G->RowCount(); ++R)
    if (G->GetSelected(R)) S += (S.empty() ? "" : ",") + std::to_string(R);
  return S;
}

}  // namespace

TEST(RowRecords, AnEditorOpenWhileRowsAreExchangedWritesIntoItsOwnRecord) {
  TEngineForm F(3, {goHeader, goGrid}, 300, 200, 80, true);
  F.Fill(5);
  TNxGrid* G = F.Grid;
  const TPoint P = F.CellPoint(1, 1);
  SettledClick(F.Window(), P.X, P.Y);
  ASSERT_TRUE(WaitFor([&] { return G->EditRow() == 1 && G->InplaceEditor() != nullptr; }));
  TypeText("xx");
  ASSERT_TRUE(WaitFor([&] { return G->InplaceEditor()->Text() == L"r1c1xx"; }));
  // The program exchanges rows while the user types (a timer, a message).
  G->ExchangeRows(1, 3);
  EXPECT_EQ(G->EditRow(), 3);
  EXPECT_EQ(G->SelectedRow(), 3);
  // The editor lies over its cell in the record's new place.
  EXPECT_EQ(G->InplaceEditor()->Top(), G->GetCellRect(1, 3).Top + 1);
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return !G->IsEditing(); }));
  EXPECT_EQ(G->Cells(1, 3), L"r1c1xx");
  EXPECT_EQ(G->Cells(1, 1), L"r3c1");
  EXPECT_EQ(Texts(G, 1), "r0c1,r3c1,r2c1,r1c1xx,r4c1");
}

TEST(RowRecords, TheRangeAnchorStaysOnItsRecord) {
  TEngineForm F(2, {goHeader, goSelectFullRow, goMultiSelect});
  F.Fill(8);
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(F.FocusByClick(0, 2));
  EXPECT_EQ(G->AnchorRow(), 2);
  // Exchanged: the anchor's record "r2" is row 5 now; Shift+click on row 6 selects 5..6.
  G->ExchangeRows(2, 5);
  EXPECT_EQ(G->AnchorRow(), 5);
  EXPECT_EQ(G->SelectedRow(), 5);
  TPoint Q = F.CellPoint(0, 6);
  ASSERT_TRUE(ClickWith(F.Window(), Q.X, Q.Y, {VK_SHIFT}));
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == 6; }));
  EXPECT_EQ(SelectedRows(G), "5,6");
  // Moved up to the top: still the anchor of the next Shift+click.
  G->MoveRow(5, 0);
  EXPECT_EQ(G->AnchorRow(), 0);
  EXPECT_EQ(G->Cells(0, G->AnchorRow()), L"r2c0");
  Q = F.CellPoint(0, 2);
  ASSERT_TRUE(ClickWith(F.Window(), Q.X, Q.Y, {VK_SHIFT}));
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == 2; }));
  EXPECT_EQ(SelectedRows(G), "0,1,2");
  // Sorted backwards: the anchor's record is found where the sort put it.
  F.Columns[0]->SetSortKind(skDescending);
  F.Columns[0]->SetSorted(true);
  ASSERT_EQ(G->Cells(0, 0), L"r7c0");
  EXPECT_EQ(G->Cells(0, G->AnchorRow()), L"r2c0");
}

// A row asked to be scrolled into view while the grid is updating is the record shown when the
// update ends, wherever the rows changed in the meantime put it: a row below the view comes to
// its bottom. A record deleted in the meantime moves the view nowhere.
TEST(RowRecords, ARowToScrollToWhileUpdatingIsItsRecord) {
  const TFormChange<> Changes[] = {
      {"insert above", [](TEngineForm& F) { F.Grid->InsertRow(0); }},
      {"delete above", [](TEngineForm& F) { F.Grid->DeleteRow(0); }},
      {"child above", [](TEngineForm& F) { F.Grid->AddChildRow(2); }},
      {"move up", [](TEngineForm& F) { F.Grid->MoveRow(40, 20); }},
      {"exchange", [](TEngineForm& F) { F.Grid->ExchangeRows(40, 30); }},
      {"sort", [](TEngineForm& F) {
         F.Columns[0]->SetSortKind(skDescending);
         F.Columns[0]->SetSorted(true);
       }},
      {"delete it", [](TEngineForm& F) { F.Grid->DeleteRow(40); }},
  };
  for (const auto& C : Changes) {
    SCOPED_TRACE(C.Name);
    TEngineForm F(1, {goHeader});
    F.Fill(60);
    TNxGrid* G = F.Grid;
    G->BeginUpdate();
    G->ScrollToRow(40);
    C.Change(F);
    G->EndUpdate();
    Settle(F.Window());
    int Record = -1;
    for (int R = 0; R < G->RowCount(); ++R)
      if (G->Cells(0, R) == L"r40c0") Record = R;
    if (Record < 0)
      EXPECT_EQ(G->FirstVisibleRow(), 0);
    else
      EXPECT_EQ(G->GetLastFullyVisibleRow(), Record);
  }
}

TEST(RowRecords, AColumnSortedByAnotherTypeAndFlippedIsSortedAgain) {
  TEngineForm F(1, {goHeader});
  F.Fill(4);
  TNxGrid* G = F.Grid;
  const wchar_t* Values[] = {L"10", L"9", L"100", L"-1"};
  for (int R = 0; R < 4; ++R) G->SetCells(0, R, Values[R]);
  TNxTextColumn* C = F.Columns[0];
  C->SetSorted(true);
  EXPECT_EQ(Texts(G), "-1,10,100,9");
  C->SetSortType(stNumeric);
  C->SetSortKind(skDescending);
  EXPECT_EQ(Texts(G), "100,10,9,-1");
  C->SetSortKind(skAscending);
  EXPECT_EQ(Texts(G), "-1,9,10,100");
}

TEST(RowRecords, ARowUnderACollapsedParentStaysOutOfTheShownRows) {
  TEngineForm F(1, {goHeader});
  F.Fill(3);  // rows 0 .. 2
  TNxGrid* G = F.Grid;
  G->AddChildRow(2);  // row 3, the last row, a child of row 2
  G->SetExpanded(2, false);
  ASSERT_FALSE(G->GetRowShown(3));
  ASSERT_EQ(G->GetLastShownRow(), 2);
  const int Position = G->VertScrollBar()->Position();
  // Showing the hidden child while its parent is collapsed: it stays out of the shown rows.
  G->SetRowVisible(3, false);
  G->SetRowVisible(3, true);
  EXPECT_FALSE(G->GetRowShown(3));
  EXPECT_EQ(G->GetLastShownRow(), 2);
  EXPECT_EQ(G->ShownRowCount(), 3);
  EXPECT_EQ(G->VertScrollBar()->Position(), Position);
  // End goes to the last shown row, not to the hidden child.
  ASSERT_TRUE(F.FocusByClick(0, 0));
  PressKey(VK_END);
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == 2; }));
  Pump();
  EXPECT_EQ(G->SelectedRow(), 2);
  // Hidden while the parent is collapsed, it stays hidden when the parent opens.
  G->SetRowVisible(3, false);
  G->SetExpanded(2, true);
  EXPECT_FALSE(G->GetRowShown(3));
  EXPECT_EQ(G->GetLastShownRow(), 2);
  G->SetRowVisible(3, true);
  EXPECT_TRUE(G->GetRowShown(3));
  EXPECT_EQ(G->GetLastShownRow(), 3);
  EXPECT_EQ(G->ShownRowCount(), 4);
}

TEST(RowRecords, TheSelectedCellStaysInItsColumnWhenColumnsComeAndGo) {
  TEngineForm F(3, {goHeader});
  F.Fill(3);
  TNxGrid* G = F.Grid;
  G->SelectCell(1, 2);
  TNxCustomColumn* Selected = F.Columns[1];
  // A column put in front of it and one taken away in front of it.
  auto* Front = new TNxTextColumn(F.Form);
  G->Columns()->Insert(0, Front);
  EXPECT_EQ(G->Columns()->Item(G->SelectedColumn()), Selected);
  delete F.Columns[0];
  EXPECT_EQ(G->Columns()->Item(G->SelectedColumn()), Selected);
  // One inserted behind it changes nothing.
  G->Columns()->Insert(G->SelectedColumn() + 1, new TNxTextColumn(F.Form));
  EXPECT_EQ(G->Columns()->Item(G->SelectedColumn()), Selected);
  EXPECT_EQ(G->SelectedRow(), 2);
  // The selected column itself goes: the column in its place takes the selection.
  const int Index = G->SelectedColumn();
  delete Selected;
  EXPECT_EQ(G->SelectedColumn(), Index);
  // The last one goes: the one before it.
  G->SelectCell(G->Columns()->Count() - 1, 2);
  delete G->Columns()->Item(G->Columns()->Count() - 1);
  EXPECT_EQ(G->SelectedColumn(), G->Columns()->Count() - 1);
}
