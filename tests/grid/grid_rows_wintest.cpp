// TNxGrid's row and cell operations on a real grid window: the bounds checks, adding,
// inserting, deleting and moving rows with the selection and the shown-row indexes kept right,
// child rows, columns, sorting and the events the operations fire.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Strings.h"
#include "support/GridTestHelpers.h"
#include "support/MessageOf.h"

using namespace gridtest;

namespace {

// The message of the exception Fn raises, "" when it raises none.
std::string MessageOf(const std::function<void()>& Fn) { return exctest::MessageOf<Exception>(Fn, ""); }

// The text of column 0, rows joined with ",".
std::string Texts(TNxGrid* G, int Col = 0) {
  std::string S;
  for (int R = 0; R < G->RowCount(); ++R) {
    if (R > 0) S += ",";
    S += WideToAnsi(G->Cells(Col, R));
  }
  return S;
}

struct GridFixture : ::testing::Test {
  TChannelListForm F;
  TNxGrid* G = F.Grid;
  std::vector<std::string> Events;

  void Fill(const std::vector<std::wstring>& Lines) { F.AddLines(Lines); }
  void LogSelection() {
    G->OnSelectCell = [this](TObject*, int C, int R) { Events.push_back("select " + std::to_string(R)); };
    G->OnDeselectCell = [this](TObject*, int C, int R) { Events.push_back("deselect " + std::to_string(R)); };
  }
  void LogData() {
    G->OnDataChange = [this](TObject*, TDataChange K, int I) {
      static const char* Names[] = {"addcol", "addchild", "add", "inscol", "ins", "delcol", "del", "clear"};
      Events.push_back(std::string(Names[K]) + " " + std::to_string(I));
    };
  }
  std::string Joined() const {
    std::string S;
    for (const auto& E : Events) S += (S.empty() ? "" : "; ") + E;
    return S;
  }
  // The indexes the grid keeps stay inside the rows.
  void ExpectIndexesInside() {
    const int Rows = G->RowCount();
    if (Rows == 0) return;
    EXPECT_GE(G->GetFirstShownRow(), 0);
    EXPECT_LT(G->GetLastShownRow(), Rows);
    EXPECT_LT(G->FirstVisibleRow(), Rows);
    EXPECT_LT(G->SelectedRow(), Rows);
  }
};

}  // namespace

// ---- cells ----------------------------------------------------------------------------------

TEST_F(GridFixture, CellsOutsideTheGridRaiseOutOfBounds) {
  EXPECT_EQ(MessageOf([&] { G->Cells(0, 0); }), "Cell out of bounds (0, 0)");
  Fill({L"a", L"b"});
  EXPECT_EQ(MessageOf([&] { G->Cells(0, 5); }), "Cell out of bounds (0, 5)");
  EXPECT_EQ(MessageOf([&] { G->Cells(1, 0); }), "Cell out of bounds (1, 0)");
  EXPECT_EQ(MessageOf([&] { G->Cells(-1, 1); }), "Cell out of bounds (-1, 1)");
  EXPECT_EQ(MessageOf([&] { G->SetCells(0, 2, L"x"); }), "Cell out of bounds (0, 2)");
  EXPECT_EQ(MessageOf([&] { G->SetCells(0, -1, L"x"); }), "Cell out of bounds (0, -1)");
  EXPECT_EQ(Texts(G), "a,b");
}

TEST_F(GridFixture, CellWritesReportChanges) {
  Fill({L"a", L"b"});
  std::vector<std::pair<int, int>> Changes;
  G->OnChange = [&](TObject*, int C, int R) { Changes.push_back({C, R}); };
  G->SetCells(0, 1, L"bb");
  ASSERT_EQ(Changes.size(), 1u);
  EXPECT_EQ(Changes[0], std::make_pair(0, 1));
  G->BeginUpdate();
  G->SetCells(0, 0, L"aa");  // while updating nothing is reported
  G->EndUpdate();
  EXPECT_EQ(Changes.size(), 1u);
  EXPECT_EQ(Texts(G), "aa,bb");
}

TEST_F(GridFixture, ColumnColourReachesEveryCell) {
  Fill({L"a", L"b", L"c"});
  int Changes = 0;
  G->OnChange = [&](TObject*, int, int) { ++Changes; };
  F.Column->SetColor(clYellow);
  EXPECT_EQ(G->GetCell(0, 2)->Color(), clYellow);
  EXPECT_EQ(G->GetCellOwnColor(0, 1), clYellow);
  EXPECT_GE(Changes, 3);
  G->GetCell(0, 1)->SetColor(clAqua);
  EXPECT_EQ(G->GetCellOwnColor(0, 1), clAqua);
  F.Column->SetParentCellColor(true);  // the column's colour wins
  EXPECT_EQ(G->GetCellOwnColor(0, 1), clYellow);
}

TEST_F(GridFixture, CellsAsText) {
  EXPECT_EQ(G->GetCellsAsText(';'), ";");
  auto* Second = G->Columns()->AddColumn<TNxTextColumn>(F.Form);
  (void)Second;
  G->AddRow(2);
  G->SetCells(0, 0, L"a");
  G->SetCells(1, 0, L"b");
  G->SetCells(0, 1, L"c\r\nc");
  G->SetCells(1, 1, L"d");
  EXPECT_EQ(G->GetCellsAsText(';'), ";a;b;\r\nc%\r\nc;d");
}

// ---- adding rows ----------------------------------------------------------------------------

TEST_F(GridFixture, AddRowReturnsTheLastRowAndFiresOnce) {
  LogData();
  EXPECT_EQ(G->AddRow(0), 0);
  EXPECT_EQ(G->AddRow(-1), 0);
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(G->AddRow(3), 2);
  EXPECT_EQ(Joined(), "add 2");
  EXPECT_EQ(G->AddRow(1), 3);
  EXPECT_EQ(G->LastAddedRow(), 3);
  EXPECT_EQ(G->GetLastShownRow(), 3);
  EXPECT_EQ(G->ShownRowCount(), 4);
}

TEST_F(GridFixture, AddRowFillsDefaultValues) {
  F.Column->SetDefaultValue(L"none");
  G->AddRow(2);
  EXPECT_EQ(Texts(G), ",");
  G->SetOptions({goUseDefaultValues});
  G->AddRow(2);
  EXPECT_EQ(Texts(G), ",,none,none");
}

TEST_F(GridFixture, RowsThatFailPartWayAreNotAdded) {
  Fill({L"a", L"b"});
  G->SetOptions({goUseDefaultValues});
  F.Column->SetDefaultValue(L"none");
  LogData();
  // The program's change handler fails on the default value of the second new row.
  int Changes = 0;
  G->OnChange = [&](TObject*, int, int R) {
    if (++Changes == 2) throw Exception("handler failed at row " + std::to_string(R));
  };
  EXPECT_EQ(MessageOf([&] { G->AddRow(3); }), "handler failed at row 3");
  EXPECT_EQ(G->RowCount(), 2);
  EXPECT_EQ(G->ShownRowCount(), 2);
  EXPECT_EQ(G->GetLastShownRow(), 1);
  EXPECT_EQ(G->LastAddedRow(), 1);
  EXPECT_EQ(Texts(G), "a,b");
  EXPECT_TRUE(Events.empty());
  // A child row likewise.
  Changes = 1;
  EXPECT_EQ(MessageOf([&] { G->AddChildRow(0); }), "handler failed at row 1");
  EXPECT_EQ(G->RowCount(), 2);
  EXPECT_EQ(G->ChildCount(0), 0);
  EXPECT_EQ(G->ShownRowCount(), 2);
  EXPECT_EQ(Texts(G), "a,b");
  // Without the failure the rows come as before.
  G->OnChange = nullptr;
  EXPECT_EQ(G->AddRow(2), 3);
  EXPECT_EQ(Texts(G), "a,b,none,none");
  EXPECT_EQ(G->GetLastShownRow(), 3);
  ExpectIndexesInside();
}

TEST_F(GridFixture, StartRowCountRemovesRowsFromTheTop) {
  G->SetStartRowCount(5);
  EXPECT_EQ(G->RowCount(), 5);
  const wchar_t* Names[] = {L"A", L"B", L"C", L"D", L"E"};
  for (int R = 0; R < 5; ++R) G->SetCells(0, R, Names[R]);
  G->SetStartRowCount(2);
  EXPECT_EQ(Texts(G), "D,E");
  G->SetStartRowCount(-1);
  EXPECT_EQ(G->StartRowCount(), 2);
  G->SetStartRowCount(4);
  EXPECT_EQ(Texts(G), "D,E,,");
}

// ---- inserting rows -------------------------------------------------------------------------

TEST_F(GridFixture, InsertingKeepsTheSelectedRecordAndSelectsNothingNew) {
  Fill({L"a", L"b", L"c"});
  G->SelectRow(1);
  LogSelection();
  LogData();
  G->InsertRow(0);
  EXPECT_EQ(G->SelectedRow(), 2);
  EXPECT_EQ(G->Cells(0, G->SelectedRow()), L"b");
  G->InsertRow(4);  // below the selection
  EXPECT_EQ(G->SelectedRow(), 2);
  G->InsertRow(2);  // at the selection: the record moves down with it
  EXPECT_EQ(G->Cells(0, G->SelectedRow()), L"b");
  EXPECT_EQ(Joined(), "ins 0; ins 4; ins 2");
  EXPECT_EQ(G->LastAddedRow(), 2);
  EXPECT_EQ(Texts(G), ",a,,b,c,");
  ExpectIndexesInside();
}

TEST_F(GridFixture, InsertingWithoutSelectionSelectsNothing) {
  Fill({L"a", L"b"});
  LogSelection();
  G->InsertRow(0);
  G->InsertRow(3);
  EXPECT_EQ(G->SelectedRow(), -1);
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(MessageOf([&] { G->InsertRow(9); }), "List index out of bounds (9)");
  EXPECT_EQ(G->RowCount(), 4);
}

TEST_F(GridFixture, InsertedCellsFollowTheColumnKind) {
  Fill({L"a", L"b"});
  auto* Guids = G->Columns()->AddColumn<TNxTextColumn>(F.Form);
  auto* Numbers = G->Columns()->AddColumn<TNxTextColumn>(F.Form);
  Guids->SetColumnKind(ckGuid);
  Numbers->SetColumnKind(ckIncrement);
  G->InsertRow(1);
  EXPECT_STREQ(G->GetCell(1, 1)->ClassName(), "TGuidCell");
  EXPECT_STREQ(G->GetCell(2, 1)->ClassName(), "TIncrementCell");
  EXPECT_EQ(G->Cells(1, 1).size(), 38u);
  EXPECT_EQ(G->Cells(2, 2), L"3");
}

// ---- deleting rows --------------------------------------------------------------------------

TEST_F(GridFixture, DeletingARowAboveKeepsTheSelectedRecord) {
  Fill({L"a", L"b", L"c", L"d"});
  G->SelectRow(2);
  LogSelection();
  G->DeleteRow(0);
  EXPECT_EQ(G->SelectedRow(), 1);
  EXPECT_EQ(G->Cells(0, 1), L"c");
  G->DeleteRow(2);  // below: nothing changes
  EXPECT_EQ(G->SelectedRow(), 1);
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(Texts(G), "b,c");
}

TEST_F(GridFixture, DeletingTheSelectedRowSelectsTheRowInItsPlace) {
  Fill({L"a", L"b", L"c"});
  G->SelectRow(1);
  LogSelection();
  G->DeleteRow(1);
  EXPECT_EQ(Joined(), "deselect 1; select 1");
  EXPECT_EQ(G->Cells(0, G->SelectedRow()), L"c");
  Events.clear();
  G->DeleteRow(1);  // the last row: the selection goes to the new last row
  EXPECT_EQ(Joined(), "deselect 1; select 0");
  EXPECT_EQ(G->SelectedRow(), 0);
  Events.clear();
  G->DeleteRow(0);
  EXPECT_EQ(Joined(), "deselect 0");
  EXPECT_EQ(G->SelectedRow(), -1);
  EXPECT_EQ(G->LastAddedRow(), -1);
}

// The row seen in the deleted row's place is selected: the first shown row below it, the last
// shown row when none follows, no row when none is shown.
TEST_F(GridFixture, DeletingTheSelectedRowSelectsTheShownRowSeenInItsPlace) {
  struct TCase {
    const char* Name;
    std::vector<int> Hidden;
    int Deleted;
    const wchar_t* Selected;  // nullptr: none
  } Cases[] = {
      {"the row in its place is hidden", {2}, 1, L"d"},
      {"every row below is hidden", {3, 4}, 2, L"b"},
      {"no row is left shown", {1, 2, 3, 4}, 0, nullptr},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    G->ClearRows();
    Fill({L"a", L"b", L"c", L"d", L"e"});
    for (int R : C.Hidden) G->SetRowVisible(R, false);
    G->SelectRow(C.Deleted);
    G->DeleteRow(C.Deleted);
    EXPECT_EQ(G->SelectedRow() < 0 ? L"none" : G->Cells(0, G->SelectedRow()), C.Selected ? C.Selected : L"none");
  }
}

TEST_F(GridFixture, DeletingHiddenRowsKeepsTheShownIndexesInside) {
  Fill({L"a", L"b", L"c", L"d", L"e"});
  G->SetRowVisible(4, false);
  G->SetRowVisible(3, false);
  EXPECT_EQ(G->GetLastShownRow(), 2);
  G->DeleteRow(4);
  G->DeleteRow(3);
  EXPECT_EQ(G->GetLastShownRow(), 2);
  G->SetRowVisible(0, false);
  EXPECT_EQ(G->GetFirstShownRow(), 1);
  G->DeleteRow(0);
  EXPECT_EQ(G->GetFirstShownRow(), 0);
  EXPECT_EQ(G->GetLastShownRow(), 1);
  EXPECT_EQ(G->ShownRowCount(), 2);
  ExpectIndexesInside();
}

TEST_F(GridFixture, DeletingAParentDeletesItsDescendants) {
  Fill({L"p", L"q"});
  G->AddChildRow(0);
  G->AddChildRow(1);  // grandchild
  G->AddChildRow(0, true);
  EXPECT_EQ(G->ChildCount(0), 2);
  EXPECT_EQ(G->RowCount(), 5);
  LogData();
  G->DeleteRow(0);
  EXPECT_EQ(Texts(G), "q");
  EXPECT_EQ(Joined(), "del 3; del 2; del 1; del 0");
}

TEST_F(GridFixture, DeletingAChildUpdatesItsParent) {
  Fill({L"p"});
  G->AddChildRow(0);
  G->AddChildRow(0);
  G->DeleteRow(1);
  EXPECT_EQ(G->ChildCount(0), 1);
}

TEST_F(GridFixture, ClearRowsResetsSelectionAndScrolling) {
  Fill(std::vector<std::wstring>(40, L"x"));
  G->SelectRow(30);
  SendMessageW(F.GridWindow(), WM_VSCROLL, SB_BOTTOM, 0);
  LogData();
  G->ClearRows();
  EXPECT_EQ(Joined(), "clear -1");
  EXPECT_EQ(G->RowCount(), 0);
  EXPECT_EQ(G->SelectedRow(), -1);
  EXPECT_EQ(G->FirstVisibleRow(), 0);
  EXPECT_EQ(G->VertScrollBar()->Position(), 0);
}

TEST_F(GridFixture, BadRowIndexesRaiseListErrors) {
  Fill({L"a"});
  EXPECT_EQ(MessageOf([&] { G->DeleteRow(1); }), "List index out of bounds (1)");
  EXPECT_EQ(MessageOf([&] { G->MoveRow(0, 3); }), "List index out of bounds (3)");
  EXPECT_EQ(MessageOf([&] { G->ExchangeRows(-1, 0); }), "List index out of bounds (-1)");
  EXPECT_EQ(MessageOf([&] { G->SetRowVisible(2, false); }), "List index out of bounds (2)");
  EXPECT_EQ(MessageOf([&] { G->SetRowHeight(5, 20); }), "List index out of bounds (5)");
  EXPECT_EQ(MessageOf([&] { G->AddChildRow(4); }), "List index out of bounds (4)");
  EXPECT_EQ(MessageOf([&] { G->SetExpanded(4, false); }), "List index out of bounds (4)");
  EXPECT_EQ(Texts(G), "a");
}

// ---- moving rows ----------------------------------------------------------------------------

TEST_F(GridFixture, MovingAndExchangingRowsKeepTheSelectedRecord) {
  Fill({L"a", L"b", L"c", L"d"});
  G->SelectRow(1);
  G->MoveRow(1, 3);
  EXPECT_EQ(Texts(G), "a,c,d,b");
  EXPECT_EQ(G->Cells(0, G->SelectedRow()), L"b");
  G->MoveRow(0, 2);
  EXPECT_EQ(G->Cells(0, G->SelectedRow()), L"b");
  G->ExchangeRows(0, 3);
  EXPECT_EQ(Texts(G), "b,d,a,c");
  EXPECT_EQ(G->SelectedRow(), 0);
}

// ---- tree rows ------------------------------------------------------------------------------

TEST_F(GridFixture, RowParentIsAnswered) {
  Fill({L"p", L"q"});
  G->AddChildRow(0);
  G->AddChildRow(1);
  EXPECT_EQ(G->GetRowParent(0), -1);
  EXPECT_EQ(G->GetRowParent(1), 0);
  EXPECT_EQ(G->GetRowParent(2), 1);
  EXPECT_EQ(G->GetRowParent(3), -1);
  EXPECT_EQ(G->FindParentRow(2), 1);
  EXPECT_EQ(G->GetRowLevel(2), 2);
  EXPECT_EQ(G->GetNextSibling(0), 3);
  EXPECT_EQ(G->GetNextSibling(1), -1);
}

TEST_F(GridFixture, CollapsingHidesDescendantsAndExpandingRestoresThem) {
  Fill({L"p", L"q"});
  G->AddChildRow(0);         // row 1
  G->AddChildRow(1);         // row 2, grandchild
  G->AddChildRow(0, true);   // row 3
  std::vector<int> Expanded;
  G->OnExpand = [&](TObject*, int R) { Expanded.push_back(R); };
  G->SetExpanded(1, false);
  EXPECT_FALSE(G->GetRowShown(2));
  G->SetExpanded(0, false);
  EXPECT_FALSE(G->GetRowShown(1));
  EXPECT_FALSE(G->GetRowShown(3));
  EXPECT_EQ(G->ShownRowCount(), 2);
  G->SetExpanded(0, true);  // the grandchild stays under its collapsed parent
  EXPECT_TRUE(G->GetRowShown(1));
  EXPECT_FALSE(G->GetRowShown(2));
  EXPECT_TRUE(G->GetRowShown(3));
  EXPECT_EQ(G->ShownRowCount(), 4);
  EXPECT_EQ(Expanded, (std::vector<int>{1, 0, 0}));
}

// A tree is the rows whose chain of parents leads to its root, wherever moves and sorts put
// them: deleting a parent takes its child from above it and leaves the rows of other trees.
TEST_F(GridFixture, DeletingAParentTakesExactlyItsTree) {
  Fill({L"A", L"B"});
  G->AddChildRow(1);  // A, B, b1
  G->SetCells(0, 2, L"b1");
  G->MoveRow(2, 1);
  ASSERT_EQ(Texts(G), "A,b1,B");
  LogData();
  G->DeleteRow(0);
  EXPECT_EQ(Texts(G), "b1,B");
  G->DeleteRow(1);
  EXPECT_EQ(Texts(G), "");
  EXPECT_EQ(Joined(), "del 0; del 1; del 0");
}

// Expanding shows every child, also those a sort put away from their parent.
TEST_F(GridFixture, ExpandingShowsChildrenASortMovedAway) {
  Fill({L"p", L"b", L"o"});
  for (const wchar_t* T : {L"a", L"n", L"z"}) {
    G->AddChildRow(0, true);
    G->SetCells(0, G->LastAddedRow(), T);
  }
  G->SetExpanded(0, false);
  G->SortColumn(F.Column, true);
  ASSERT_EQ(Texts(G), "a,b,n,o,p,z");
  G->SetExpanded(4, true);
  for (int R = 0; R < G->RowCount(); ++R) EXPECT_TRUE(G->GetRowShown(R)) << R;
  EXPECT_EQ(G->ShownRowCount(), 6);
  EXPECT_EQ(G->GetFirstShownRow(), 0);
  G->SetExpanded(4, false);
  EXPECT_EQ(G->ShownRowCount(), 3);
  EXPECT_EQ(G->GetFirstShownRow(), 1);
  EXPECT_EQ(G->GetLastShownRow(), 4);
}

// A collapsed parent's child moved away goes with the parent: no row is left that no parent can
// show again.
TEST_F(GridFixture, DeletingACollapsedParentLeavesNoRowHidden) {
  Fill({L"A", L"x"});
  G->AddChildRow(0);  // A, a1, x
  G->SetCells(0, 1, L"a1");
  G->SetExpanded(0, false);
  G->MoveRow(1, 2);  // A, x, a1
  G->DeleteRow(0);
  EXPECT_EQ(Texts(G), "x");
  EXPECT_EQ(G->ShownRowCount(), 1);
  EXPECT_TRUE(G->GetRowShown(0));
}

// A child added after its parent's descendants goes after those that follow the parent directly
// when a move pulled the tree apart: never between another row and its child.
TEST_F(GridFixture, AChildAfterTheDescendantsOfASplitTreeStaysOutOfOtherTrees) {
  Fill({L"P", L"Q"});
  auto Child = [&](int Parent, bool After, const wchar_t* Text) {
    G->AddChildRow(Parent, After);
    G->SetCells(0, G->LastAddedRow(), Text);
  };
  Child(0, true, L"c1");
  Child(0, true, L"c2");
  Child(3, false, L"q1");
  G->MoveRow(1, 4);
  ASSERT_EQ(Texts(G), "P,c2,Q,q1,c1");
  Child(0, true, L"c3");
  EXPECT_EQ(Texts(G), "P,c2,c3,Q,q1,c1");
}

TEST_F(GridFixture, ShownRowCountStaysTrueWhenRowsAreHiddenTwice) {
  Fill({L"p", L"x", L"y"});
  G->AddChildRow(0);
  G->SetExpanded(0, false);  // the child is not shown
  G->SetRowVisible(1, false);  // not shown already: only the row's own flag changes
  EXPECT_EQ(G->ShownRowCount(), 3);
  G->SetExpanded(0, true);
  G->SetRowVisible(1, false);
  G->SetExpanded(0, false);
  EXPECT_EQ(G->ShownRowCount(), 3);
  G->DeleteRow(1);
  EXPECT_EQ(G->ShownRowCount(), 3);
  G->SetRowVisible(2, false);
  G->DeleteRow(2);
  EXPECT_EQ(G->ShownRowCount(), 2);
  ExpectIndexesInside();
}

TEST_F(GridFixture, ChildRowsAboveTheSelectionKeepItsRecord) {
  Fill({L"p", L"q", L"r"});
  G->SelectRow(2);
  G->AddChildRow(0);
  EXPECT_EQ(G->Cells(0, G->SelectedRow()), L"r");
}

// ---- columns --------------------------------------------------------------------------------

TEST_F(GridFixture, DeletingTheLastColumnClearsTheRows) {
  Fill({L"a", L"b", L"c"});
  G->SelectRow(2);
  delete F.Column;
  F.Column = nullptr;
  EXPECT_EQ(G->Columns()->Count(), 0);
  EXPECT_EQ(G->RowCount(), 0);
  EXPECT_EQ(G->SelectedRow(), -1);
  Pump();
  // A new column and new rows line up again.
  auto* C = G->Columns()->AddColumn<TNxTextColumn>(F.Form);
  (void)C;
  G->AddRow(2);
  G->SetCells(0, 1, L"new");
  EXPECT_EQ(Texts(G), ",new");
}

TEST_F(GridFixture, ColumnsReportTheirChangesAsDataChanges) {
  LogData();
  auto* C = G->Columns()->AddColumn<TNxTextColumn>(F.Form);
  delete C;
  EXPECT_EQ(Joined(), "addcol 1; delcol 1");
}

TEST_F(GridFixture, The1026thColumnIsRejected) {
  for (int I = 1; I < TCells::MaxColumns; ++I) G->Columns()->AddColumn<TNxTextColumn>(F.Form);
  EXPECT_EQ(G->Columns()->Count(), 1025);
  EXPECT_EQ(MessageOf([&] { G->Columns()->AddColumn<TNxTextColumn>(F.Form); }), "A grid holds at most 1025 columns");
  EXPECT_EQ(G->Columns()->Count(), 1025);
  G->AddRow(1);
  G->SetCells(1024, 0, L"last");
  EXPECT_EQ(G->Cells(1024, 0), L"last");
}

// ---- sorting --------------------------------------------------------------------------------

TEST_F(GridFixture, SortingKeepsTheSelectedRecordSelectedWithoutEvents) {
  Fill({L"delta", L"alpha", L"charlie", L"bravo"});
  G->SelectRow(0);
  LogSelection();
  std::vector<std::string> Sorts;
  G->OnSortColumn = [&](TObject*, int C, bool Asc) { Sorts.push_back(Asc ? "asc" : "desc"); };
  G->OnAfterSort = [&](TObject*, int C) { Sorts.push_back("after"); };
  F.Column->SetSorted(true);
  EXPECT_EQ(Texts(G), "alpha,bravo,charlie,delta");
  EXPECT_EQ(G->Cells(0, G->SelectedRow()), L"delta");
  F.Column->SetSortKind(skDescending);
  EXPECT_EQ(Texts(G), "delta,charlie,bravo,alpha");
  EXPECT_EQ(G->SelectedRow(), 0);
  EXPECT_TRUE(Events.empty());
  EXPECT_EQ(Sorts, (std::vector<std::string>{"asc", "after", "desc", "after"}));
}

TEST_F(GridFixture, FlippingReversesWithoutComparingUntilSomethingChanges) {
  Fill({L"3", L"1", L"2"});
  F.Column->SetSortType(stCustom);
  int Compares = 0;
  G->OnCompare = [&](TObject*, TCell* A, TCell* B, int& C) {
    ++Compares;
    C = A->AsInteger() - B->AsInteger();
  };
  G->SortColumn(F.Column, true);
  EXPECT_EQ(Texts(G), "1,2,3");
  EXPECT_GT(Compares, 0);
  Compares = 0;
  G->SortColumn(F.Column, false);
  EXPECT_EQ(Texts(G), "3,2,1");
  EXPECT_EQ(Compares, 0);
  G->ExchangeRows(0, 2);  // no longer sorted
  G->SortColumn(F.Column, true);
  EXPECT_GT(Compares, 0);
  EXPECT_EQ(Texts(G), "1,2,3");
  G->SetCells(0, 0, L"9");
  Compares = 0;
  G->SortColumn(F.Column, false);
  EXPECT_GT(Compares, 0);
  EXPECT_EQ(Texts(G), "9,3,2");
}

TEST_F(GridFixture, ColumnsWithoutCanSortDoNotSort) {
  Fill({L"b", L"a"});
  F.Column->SetOptions({coCanClick});
  F.Column->SetSorted(true);
  EXPECT_EQ(Texts(G), "b,a");
}

TEST_F(GridFixture, HeaderClicksSortAndFlip) {
  G->SetOptions({goHeader});
  Fill({L"b", L"c", L"a"});
  std::vector<int> Clicks;
  G->OnHeaderClick = [&](TObject*, int C) { Clicks.push_back(C); };
  PostClick(F.GridWindow(), 20, G->HeaderSize() / 2);
  EXPECT_EQ(Texts(G), "a,b,c");
  PostClick(F.GridWindow(), 20, G->HeaderSize() / 2);
  EXPECT_EQ(Texts(G), "c,b,a");
  EXPECT_EQ(Clicks, (std::vector<int>{0, 0}));
  // Rows sit below the header now.
  EXPECT_EQ(G->GetCellRect(0, 0).Top, G->HeaderSize());
}

TEST_F(GridFixture, AFailedSortKeepsTheSelectionOnItsRecord) {
  Fill({L"3", L"x", L"1", L"2"});
  G->SelectRow(2);
  F.Column->SetSortType(stNumeric);
  EXPECT_EQ(MessageOf([&] { G->SortColumn(F.Column, true); }), "'x' is not a valid floating point value");
  EXPECT_EQ(G->Cells(0, G->SelectedRow()), L"1");
}

TEST_F(GridFixture, AFailedSortLeavesTheSortedColumnAndItsDirection) {
  Fill({L"3", L"x", L"1"});
  auto* Other = G->Columns()->AddColumn<TNxTextColumn>(F.Form);
  Other->SetSorted(true);
  F.Column->SetSortType(stNumeric);
  EXPECT_EQ(MessageOf([&] { F.Column->SetSorted(true); }), "'x' is not a valid floating point value");
  EXPECT_FALSE(F.Column->Sorted());
  EXPECT_TRUE(Other->Sorted());
  F.Column->SetSortType(stAlphabetic);
  F.Column->SetSorted(true);
  F.Column->SetSortType(stNumeric);
  EXPECT_EQ(MessageOf([&] { F.Column->SetSortKind(skDescending); }), "'x' is not a valid floating point value");
  EXPECT_EQ(F.Column->SortKind(), skAscending);
  EXPECT_EQ(Texts(G), "1,3,x");
}

TEST_F(GridFixture, ARefusedSortLeavesTheEditorAndTheView) {
  std::vector<std::wstring> Lines(60, L"r");
  Fill(Lines);
  G->SelectRow(0);
  for (int I = 0; I < 10; ++I) SendMessageW(F.GridWindow(), WM_VSCROLL, SB_LINEDOWN, 0);
  auto* Numbers = G->Columns()->AddColumn<TNxTextColumn>(F.Form);
  Numbers->SetColumnKind(ckIncrement);
  Numbers->SetOptions({coCanSort, coEditing});
  Numbers->SetSortType(stCustom);
  G->EditCell(1, 12);
  ASSERT_TRUE(G->IsEditing());
  EXPECT_EQ(MessageOf([&] { G->SortColumn(Numbers, true); }),
            "An increment column cannot be sorted by a custom comparison: its cells hold no values");
  EXPECT_TRUE(G->IsEditing());
  EXPECT_EQ(G->FirstVisibleRow(), 10);
}

// ---- selection ------------------------------------------------------------------------------

TEST_F(GridFixture, SelectCellOnADisabledColumnOrAnEmptyGrid) {
  std::vector<std::string> Log;
  G->OnBeforeSelect = [&](TObject*, int, int R, bool&) { Log.push_back("before " + std::to_string(R)); };
  G->OnSelectCell = [&](TObject*, int, int R) { Log.push_back("select " + std::to_string(R)); };
  G->SelectCell(0, 0);  // no rows: the cell is stored, nothing selected fires
  EXPECT_EQ(Log, (std::vector<std::string>{"before 0"}));
  Fill({L"a", L"b"});
  G->SelectCell(0, 1);
  F.Column->SetEnabled(false);
  Log.clear();
  G->SelectCell(0, 0);
  EXPECT_EQ(Log, (std::vector<std::string>{"before 0"}));
  EXPECT_EQ(G->SelectedRow(), 1);
}

TEST_F(GridFixture, SettingsWithFixedAnswers) {
  EXPECT_STREQ(G->Version(), "5.7.5");
  G->SetVersion("1.0");
  EXPECT_STREQ(G->Version(), "5.7.5");
  G->SetRowSize(0);
  EXPECT_EQ(G->RowSize(), 16);
  G->SetRowSize(22);
  G->AddRow(1);
  EXPECT_EQ(G->RowHeight(0), 22);
  G->SetRowSize(18);
  EXPECT_EQ(G->RowHeight(0), 22);  // existing rows keep their height
  G->AddRow(1);
  EXPECT_EQ(G->RowHeight(1), 18);
}

TEST_F(GridFixture, SortingShowsTheSelectedRecord) {
  std::vector<std::wstring> Lines;
  for (int I = 59; I >= 0; --I) Lines.push_back(L"row " + std::to_wstring(100 + I));
  Fill(Lines);
  G->SelectRow(0);
  F.Column->SetSorted(true);
  EXPECT_EQ(G->SelectedRow(), 59);
  EXPECT_EQ(G->Cells(0, 59), L"row 159");
  EXPECT_GE(G->SelectedRow(), G->FirstVisibleRow());
  EXPECT_LE(G->SelectedRow(), G->GetLastFullyVisibleRow());
  EXPECT_EQ(G->VertScrollBar()->Position(), G->FirstVisibleRow());
}

// ---- the view while rows change -------------------------------------------------------------

TEST_F(GridFixture, ScrolledViewKeepsItsTopRecordWhenRowsChangeAbove) {
  std::vector<std::wstring> Lines;
  for (int I = 0; I < 60; ++I) Lines.push_back(L"r" + std::to_wstring(I));
  Fill(Lines);
  for (int I = 0; I < 10; ++I) SendMessageW(F.GridWindow(), WM_VSCROLL, SB_LINEDOWN, 0);
  ASSERT_EQ(G->FirstVisibleRow(), 10);
  G->DeleteRow(2);
  EXPECT_EQ(G->Cells(0, G->FirstVisibleRow()), L"r10");
  G->InsertRow(0);
  EXPECT_EQ(G->Cells(0, G->FirstVisibleRow()), L"r10");
  EXPECT_EQ(G->VertScrollBar()->Position(), G->FirstVisibleRow());
  // Deleting rows at the end pulls the view back so that the last row reaches the bottom.
  SendMessageW(F.GridWindow(), WM_VSCROLL, SB_BOTTOM, 0);
  for (int I = 0; I < 5; ++I) G->DeleteRow(G->RowCount() - 1);
  EXPECT_EQ(G->GetLastFullyVisibleRow(), G->RowCount() - 1);
  EXPECT_EQ(G->FirstVisibleRow(), G->RowCount() - G->GetRowsPerPage());
  ExpectIndexesInside();
  // Rows going above the view by the dozen, while it is at the end (the bar's range shrinks under
  // the position it had): a parent collapsed, then deleted.
  for (int I = 0; I < 30; ++I) G->AddChildRow(2);
  for (const bool Collapse : {true, false}) {
    SCOPED_TRACE(Collapse ? "collapsed" : "deleted");
    SendMessageW(F.GridWindow(), WM_VSCROLL, SB_BOTTOM, 0);
    const std::wstring Top = G->Cells(0, G->FirstVisibleRow());
    if (Collapse) G->SetExpanded(2, false);
    else G->DeleteRow(2);
    EXPECT_EQ(G->Cells(0, G->FirstVisibleRow()), Top);
    EXPECT_EQ(G->VertScrollBar()->Position(), G->CountShownRows(0, G->FirstVisibleRow()));
    if (Collapse) G->SetExpanded(2, true);
  }
}

// The view at the end of the list: LastShown is the last row fully in view, the view goes no
// further (with the shown row above the top row in view too, LastShown would not be), and the
// bar's position is the count of shown rows above the top row.
void ExpectAtTheEnd(TNxGrid* G, int LastShown) {
  EXPECT_EQ(G->GetLastFullyVisibleRow(), LastShown);
  int Above = 0;
  for (int R = 0; R < G->FirstVisibleRow(); ++R) Above += G->GetRowShown(R) ? 1 : 0;
  EXPECT_EQ(G->VertScrollBar()->Position(), Above);
  int Used = -G->RowGap();
  for (int R = G->FirstVisibleRow() - 1; R <= LastShown; ++R)
    if (R >= 0 && G->GetRowShown(R)) Used += G->RowHeight(R) + G->RowGap();
  EXPECT_GT(Used, G->GetBodyRect().Height());
}

// The end of the list shows the last row at the bottom of the body whatever heights the rows at
// the top and at the end have: rows taller at the end (one press of End reaches the last row),
// shorter at the end (no blank rows below the last), and a last row taller than the body (it is
// the top row, and the bar counts the rows above it, not one more).
TEST_F(GridFixture, TheEndOfTheListShowsTheLastRowWhateverTheRowHeights) {
  Fill(std::vector<std::wstring>(40, L"x"));
  auto End = [&] {
    SendMessageW(F.GridWindow(), WM_VSCROLL, SB_TOP, 0);
    SendMessageW(F.GridWindow(), WM_VSCROLL, SB_BOTTOM, 0);
  };
  for (int R = 30; R < 40; ++R) G->SetRowHeight(R, 30);
  End();
  ExpectAtTheEnd(G, 39);
  for (int R = 0; R < 40; ++R) G->SetRowHeight(R, R < 30 ? 30 : 8);
  End();
  ExpectAtTheEnd(G, 39);
  G->SetRowHeight(39, G->GetBodyRect().Height() + 20);
  End();
  EXPECT_EQ(G->FirstVisibleRow(), 39);
  EXPECT_EQ(G->VertScrollBar()->Position(), 39);
}

// Keeping a row that is not shown in view brings the rows around it into view, not past the end.
TEST_F(GridFixture, ScrollingToARowNotShownStopsAtTheEnd) {
  Fill(std::vector<std::wstring>(40, L"x"));
  G->SetRowVisible(39, false);
  G->ScrollToRow(39);
  ExpectAtTheEnd(G, 38);
}

TEST_F(GridFixture, GrowingTallerBringsRowsBackIntoView) {
  std::vector<std::wstring> Lines(30, L"x");
  Fill(Lines);
  SendMessageW(F.GridWindow(), WM_VSCROLL, SB_BOTTOM, 0);
  const int Before = G->FirstVisibleRow();
  ASSERT_GT(Before, 0);
  F.Form->SetHeight(F.Form->Height() + 100);
  Settle(F.GridWindow());
  EXPECT_LT(G->FirstVisibleRow(), Before);
  EXPECT_EQ(G->GetLastFullyVisibleRow(), 29);
  F.Form->SetHeight(800);  // everything fits: back to the top, no bar
  Settle(F.GridWindow());
  EXPECT_EQ(G->FirstVisibleRow(), 0);
  EXPECT_EQ(GetWindowLongW(F.GridWindow(), GWL_STYLE) & WS_VSCROLL, 0);
}

TEST_F(GridFixture, PageKeysMoveByAPage) {
  std::vector<std::wstring> Lines(50, L"x");
  Fill(Lines);
  const TPoint P = F.RowPoint(0);
  SettledClick(F.GridWindow(), P.X, P.Y);
  ASSERT_TRUE(WaitFor([&] { return G->IsFocused(); }));
  const int N = G->GetRowsPerPage();
  realinput::Key(VK_NEXT);  // to the last row of the page
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == N - 1; }));
  EXPECT_EQ(G->FirstVisibleRow(), 0);
  realinput::Key(VK_NEXT);  // a page further, scrolled into view
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == 2 * N - 1; }));
  EXPECT_LE(G->SelectedRow(), G->GetLastFullyVisibleRow());
  realinput::Key(VK_END);
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == 49; }));
  EXPECT_EQ(G->GetLastFullyVisibleRow(), 49);
  realinput::Key(VK_PRIOR);  // to the top of the page
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == G->FirstVisibleRow(); }));
}

// Without grid lines (as in the program) a row of height 0 takes no room: it adds nothing to a
// page and never ends one, at the top, on a page key, or at the end of the list.
TEST_F(GridFixture, RowsOfNoHeightNeitherTakeRoomNorEndAPage) {
  Fill(std::vector<std::wstring>(40, L"x"));
  G->SetRowHeight(10, 0);
  G->SetRowHeight(35, 0);
  const int Fit = G->GetBodyRect().Height() / G->RowSize();
  ASSERT_GT(Fit, 10);
  ASSERT_LT(2 * Fit + 1, 35);
  EXPECT_EQ(G->GetRowsPerPage(), Fit + 1);
  const TPoint P = F.RowPoint(0);
  SettledClick(F.GridWindow(), P.X, P.Y);
  ASSERT_TRUE(WaitFor([&] { return G->IsFocused() && G->SelectedRow() == 0; }));
  realinput::Key(VK_NEXT);  // the last row of the page
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == Fit; }));
  realinput::Key(VK_NEXT);  // a whole page further
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() != Fit; }));
  EXPECT_EQ(G->SelectedRow(), 2 * Fit + 1);
  SendMessageW(F.GridWindow(), WM_VSCROLL, SB_BOTTOM, 0);
  ExpectAtTheEnd(G, 39);
  // A row of no height on the body's lower edge is on the page, and in view.
  SendMessageW(F.GridWindow(), WM_VSCROLL, SB_TOP, 0);
  G->SetRowHeight(0, G->RowSize() + G->GetBodyRect().Height() % G->RowSize());
  G->SetRowHeight(Fit + 1, 0);
  EXPECT_EQ(G->GetRowsPerPage(), Fit + 2);
  EXPECT_EQ(G->GetLastFullyVisibleRow(), Fit + 1);
}

TEST_F(GridFixture, RowHeightsAreCheckedAndCounted) {
  Fill({L"a", L"b", L"c"});
  EXPECT_EQ(MessageOf([&] { G->SetRowHeight(1, -4); }), "Row height must not be negative (-4)");
  std::vector<int> Changed;
  G->OnChangeRowHeight = [&](TObject*, int I, int H) { Changed.push_back(I * 1000 + H); };
  G->SetRowHeight(1, 30);
  EXPECT_EQ(Changed, (std::vector<int>{1030}));
  EXPECT_EQ(G->GetCellRect(0, 2).Top, 16 + 30);
  // A measuring handler that answers nonsense takes no space instead of negative space.
  G->OnMeasuringRowHeight = [](TObject*, int I, int& H) {
    if (I == 0) H = -50;
  };
  EXPECT_EQ(G->GetCellRect(0, 1).Top, 0);
  EXPECT_EQ(G->GetRowAtPos(5, 5), 1);
}

TEST_F(GridFixture, TheSelectedColumnStaysAValidColumn) {
  auto* Second = G->Columns()->AddColumn<TNxTextColumn>(F.Form);
  Fill({L"a"});
  G->SelectCell(1, 0);
  EXPECT_EQ(G->SelectedColumn(), 1);
  delete Second;
  EXPECT_EQ(G->SelectedColumn(), 0);
  EXPECT_EQ(G->Cells(G->SelectedColumn(), 0), L"a");
}

TEST_F(GridFixture, InsertedColumnsTakeTheirPlaceInTheStore) {
  Fill({L"a", L"b"});
  auto* C = new TNxTextColumn(F.Form);
  C->SetColumnKind(ckInteger);
  LogData();
  G->Columns()->Insert(0, C);
  EXPECT_EQ(Joined(), "inscol 0");
  EXPECT_EQ(G->Columns()->Item(0), C);
  EXPECT_STREQ(G->GetCell(0, 1)->ClassName(), "TIntegerCell");
  EXPECT_EQ(G->Cells(0, 1), L"0");
  EXPECT_EQ(G->Cells(1, 1), L"b");
  EXPECT_EQ(MessageOf([&] { G->Columns()->Add(C); }), "The column is in a column list already");
}
