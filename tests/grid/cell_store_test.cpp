// The cell store: rows and columns kept in step, the counts, the cell class by column kind, the
// sort and its shortcut, and the checks of bad indexes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/Strings.h"
#include "grid/NxCells.h"

namespace {

// A column list of the test's making: one entry per column with its kind and settings.
struct FakeColumn {
  TColumnKind Kind = ckString;
  TFontStyles Style;
  TColor FontColor = 0x000010;
  TColor Color = 0x000020;
  TVirtualCellValues* Values = nullptr;
};

struct FakeColumns : TCellStoreColumns {
  std::vector<FakeColumn> Items;
  // Counts down the cells made; the one made when it reaches 0 fails as memory running out
  // would (-1: none fails).
  mutable int FailIn = -1;
  int ColumnCount() const override { return static_cast<int>(Items.size()); }
  TColumnKind ColumnKind(int I) const override { return Items.at(I).Kind; }
  TFontStyles ColumnFontStyle(int I) const override { return Items.at(I).Style; }
  TColor ColumnFontColor(int I) const override { return Items.at(I).FontColor; }
  TColor ColumnColor(int I) const override {
    if (FailIn >= 0 && FailIn-- == 0) throw std::bad_alloc();
    return Items.at(I).Color;
  }
  TVirtualCellValues* ColumnValues(int I) const override { return Items.at(I).Values; }
};

// A store over fake columns; columns are added the way the grid adds them (list first, then the
// store's AddColumn).
struct StoreFixture : ::testing::Test {
  FakeColumns Cols;
  TCells Cells{nullptr, &Cols};
  int Changes = 0;

  void SetUp() override {
    Cells.OnChange = [this](TObject*, int, int) { ++Changes; };
  }
  void AddColumn(FakeColumn C = {}) {
    Cols.Items.push_back(C);
    Cells.AddColumn();
  }
  void Set(int Col, int Row, const WideString& S) { Cells.GetCell(Col, Row)->SetAsString(S); }
  WideString Get(int Col, int Row) { return Cells.GetCell(Col, Row)->AsString(); }
  // Column Col as text, rows joined with ",".
  std::string Column(int Col) {
    std::string R;
    for (int I = 0; I < Cells.RowCount(); ++I) {
      if (I) R += ",";
      R += WideToAnsi(Get(Col, I));
    }
    return R;
  }
  void Fill(int Col, const std::vector<std::wstring>& Values) {
    if (Cells.RowCount() < static_cast<int>(Values.size()))
      Cells.AddRows(static_cast<int>(Values.size()) - Cells.RowCount());
    for (std::size_t I = 0; I < Values.size(); ++I) Set(Col, static_cast<int>(I), Values[I]);
  }
  // ShownRowCount as it should be: rows both visible and shown.
  int Recount() {
    int N = 0;
    for (int I = 0; I < Cells.RowCount(); ++I)
      if (Cells.GetRow(I)->Visible && Cells.GetRow(I)->Shown) ++N;
    return N;
  }
  // Every column list has one cell per row and every row record is distinct.
  void ExpectAligned() {
    for (int C = 0; C < Cells.ColumnCount(); ++C) {
      if (Cells.RowCount() > 0) {
        EXPECT_NO_THROW(Cells.GetCell(C, Cells.RowCount() - 1)) << "column " << C;
      }
      EXPECT_THROW(Cells.GetCell(C, Cells.RowCount()), EListError) << "column " << C;
    }
    EXPECT_THROW(Cells.GetRow(Cells.RowCount()), EListError);
  }
};

std::string ListErrorOf(const std::function<void()>& Fn) {
  try {
    Fn();
  } catch (const EListError& E) {
    return E.Message;
  }
  return "";
}

}  // namespace

// ---- rows and columns -----------------------------------------------------------------------

TEST_F(StoreFixture, AddRowsAppendsARecordAndACellPerColumn) {
  AddColumn();
  AddColumn();
  Cells.SetDefaultRowHeight(21);
  Cells.AddRows(3);
  EXPECT_EQ(Cells.RowCount(), 3);
  EXPECT_EQ(Cells.ShownRowCount(), 3);
  EXPECT_EQ(Cells.GetRow(2)->Height, 21);
  EXPECT_EQ(Cells.GetRow(0)->ParentRow, nullptr);
  EXPECT_TRUE(Cells.GetRow(0)->Visible && Cells.GetRow(0)->Shown && Cells.GetRow(0)->Expanded);
  Cells.AddRows(0);
  Cells.AddRows(-4);
  EXPECT_EQ(Cells.RowCount(), 3);
  ExpectAligned();
  EXPECT_EQ(Changes, 0);  // creating cells reports nothing
}

TEST_F(StoreFixture, NewCellsTakeTheirColumnsSettings) {
  FakeColumn C;
  C.Style = TFontStyles{fsBold, fsUnderline};
  C.FontColor = 0x0000FF;
  C.Color = 0x00FF00;
  AddColumn(C);
  Cells.AddRows(1);
  Cells.InsertRow(0);
  Cells.InsertChildRow(0, 1);
  for (int R = 0; R < 3; ++R) {
    TCell* Cell = Cells.GetCell(0, R);
    EXPECT_EQ(Cell->FontStyle(), C.Style) << R;
    EXPECT_EQ(Cell->FontColor(), 0x0000FF) << R;  // also for the child row
    EXPECT_EQ(Cell->Color(), 0x00FF00) << R;
    EXPECT_EQ(Cell->State() & TCell::StateNoNotify, 0) << R;  // notifications on after creation
  }
  EXPECT_EQ(Changes, 0);
}

TEST_F(StoreFixture, EveryOperationPicksTheCellClassByColumnKindAlone) {
  const TColumnKind Kinds[] = {ckIncrement, ckBoolean, ckDateTime, ckFloat, ckGuid, ckInteger, ckString};
  const char* Classes[] = {"TIncrementCell", "TBooleanCell", "TDateTimeCell", "TFloatCell",
                           "TGuidCell",      "TIntegerCell", "TStringCell"};
  for (TColumnKind K : Kinds) AddColumn(FakeColumn{K});
  Cells.AddRows(2);
  Cells.InsertRow(1);
  Cells.InsertChildRow(0, 1);
  for (int C = 0; C < 7; ++C)
    for (int R = 0; R < Cells.RowCount(); ++R)
      EXPECT_STREQ(Cells.GetCell(C, R)->ClassName(), Classes[C]) << "column " << C << " row " << R;
  // A column inserted into existing rows gets cells of its own kind too.
  Cols.Items.insert(Cols.Items.begin(), FakeColumn{ckGuid});
  Cells.InsertColumn(0);
  for (int R = 0; R < Cells.RowCount(); ++R) EXPECT_STREQ(Cells.GetCell(0, R)->ClassName(), "TGuidCell");
}

TEST_F(StoreFixture, InsertedGuidCellGetsAFreshGuid) {
  AddColumn(FakeColumn{ckGuid});
  Cells.AddRows(1);
  Cells.InsertRow(0);
  EXPECT_EQ(Get(0, 0).size(), 38u);
  EXPECT_NE(Get(0, 0), Get(0, 1));
}

TEST_F(StoreFixture, VirtualCellsAreBoundToTheirColumn) {
  struct Values : TVirtualCellValues {
    WideString GetVirtualValue(int C, int R) override { return L"v" + std::to_wstring(C) + L"." + std::to_wstring(R); }
    void SetVirtualValue(int, int, const WideString&) override {}
  } V;
  AddColumn();
  AddColumn(FakeColumn{ckVirtual, {}, 0, 0, &V});
  Cells.AddRows(3);
  EXPECT_EQ(Get(1, 2), L"v1.2");
}

TEST_F(StoreFixture, IncrementColumnCountsByTheRowFetched) {
  AddColumn(FakeColumn{ckIncrement});
  Cells.AddRows(5);
  EXPECT_EQ(Cells.GetCell(0, 3)->AsInteger(), 4);
  EXPECT_EQ(Cells.GetCell(0, 0)->AsInteger(), 1);
}

TEST_F(StoreFixture, InsertRowPutsCellsAndRecordAtTheSamePlace) {
  AddColumn();
  AddColumn();
  Fill(0, {L"a", L"b", L"c"});
  Fill(1, {L"A", L"B", L"C"});
  TRow* B = Cells.GetRow(1);
  Cells.InsertRow(1);
  Cells.InsertRow(4);  // at the end
  EXPECT_EQ(Column(0), "a,,b,c,");
  EXPECT_EQ(Column(1), "A,,B,C,");
  EXPECT_EQ(Cells.GetRow(2), B);
  EXPECT_EQ(Cells.RowCount(), 5);
  EXPECT_EQ(Cells.ShownRowCount(), 5);
}

TEST_F(StoreFixture, DeleteMoveAndExchangeCarryWholeRows) {
  AddColumn();
  AddColumn();
  Fill(0, {L"a", L"b", L"c", L"d"});
  Fill(1, {L"1", L"2", L"3", L"4"});
  TRow* RowA = Cells.GetRow(0);
  Cells.MoveRow(0, 2);
  EXPECT_EQ(Column(0), "b,c,a,d");
  EXPECT_EQ(Column(1), "2,3,1,4");
  EXPECT_EQ(Cells.GetRow(2), RowA);
  Cells.ExchangeRows(0, 3);
  EXPECT_EQ(Column(0), "d,c,a,b");
  EXPECT_EQ(Column(1), "4,3,1,2");
  Cells.DeleteRow(1);
  EXPECT_EQ(Column(0), "d,a,b");
  EXPECT_EQ(Column(1), "4,1,2");
  EXPECT_EQ(Cells.IndexOfRow(RowA), 1);
  EXPECT_EQ(Cells.RowCount(), 3);
  EXPECT_EQ(Cells.ShownRowCount(), 3);
}

TEST_F(StoreFixture, ColumnsInsertDeleteAndMove) {
  AddColumn();
  AddColumn();
  AddColumn();
  Fill(0, {L"a0", L"a1"});
  Fill(1, {L"b0", L"b1"});
  Fill(2, {L"c0", L"c1"});
  Cols.Items.insert(Cols.Items.begin() + 1, FakeColumn{});
  Cells.InsertColumn(1);
  EXPECT_EQ(Cells.ColumnCount(), 4);
  EXPECT_EQ(Column(1), ",");
  EXPECT_EQ(Column(2), "b0,b1");
  Cells.MoveColumn(3, 0);
  EXPECT_EQ(Column(0), "c0,c1");
  EXPECT_EQ(Column(1), "a0,a1");
  Cells.MoveColumn(0, 3);
  EXPECT_EQ(Column(3), "c0,c1");
  EXPECT_EQ(Column(0), "a0,a1");
  Cells.DeleteColumn(1);
  EXPECT_EQ(Cells.ColumnCount(), 3);
  EXPECT_EQ(Column(1), "b0,b1");
  EXPECT_THROW(Cells.GetCell(3, 0), EListError);
  Cells.ColumnsChanged(128 + 4, 0, 2);  // the kind counts modulo 128
  EXPECT_EQ(Column(2), "a0,a1");
  Cells.ColumnsChanged(9, 0, 0);  // unknown kinds do nothing
  EXPECT_EQ(Cells.ColumnCount(), 3);
}

TEST_F(StoreFixture, DeletingTheLastColumnClearsTheRowsToo) {
  AddColumn();
  Fill(0, {L"a", L"b"});
  Cells.DeleteColumn(0);
  EXPECT_EQ(Cells.RowCount(), 0);
  EXPECT_EQ(Cells.ShownRowCount(), 0);
  EXPECT_THROW(Cells.GetRow(0), EListError);
  // Rows and cells line up again afterwards.
  Cols.Items.clear();
  AddColumn();
  Cells.AddRows(2);
  EXPECT_EQ(Cells.RowCount(), 2);
  EXPECT_EQ(Cells.IndexOfRow(Cells.GetRow(1)), 1);
  ExpectAligned();
}

TEST_F(StoreFixture, ClearColumnsClearsTheRowsToo) {
  AddColumn();
  AddColumn();
  Fill(1, {L"a", L"b", L"c"});
  Cells.ColumnsChanged(2, 0, 0);
  EXPECT_EQ(Cells.ColumnCount(), 0);
  EXPECT_EQ(Cells.RowCount(), 0);
  EXPECT_EQ(Cells.ShownRowCount(), 0);
  EXPECT_THROW(Cells.GetRow(0), EListError);
  Cols.Items.clear();
  AddColumn();
  Cells.AddRows(1);
  Set(0, 0, L"x");
  EXPECT_EQ(Column(0), "x");
  ExpectAligned();
}

TEST_F(StoreFixture, ClearRowsKeepsTheColumns) {
  AddColumn();
  Fill(0, {L"a", L"b"});
  Cells.ClearRows();
  EXPECT_EQ(Cells.ColumnCount(), 1);
  EXPECT_EQ(Cells.RowCount(), 0);
  Cells.AddRows(1);
  EXPECT_EQ(Get(0, 0), L"");
}

TEST_F(StoreFixture, AddingAColumnToExistingRowsGivesEachRowACell) {
  AddColumn();
  Cells.AddRows(4);
  AddColumn(FakeColumn{ckInteger});
  for (int R = 0; R < 4; ++R) EXPECT_EQ(Cells.GetCell(1, R)->AsInteger(), 0);
  ExpectAligned();
}

TEST_F(StoreFixture, RecreateColumnMakesCellsOfTheNewKind) {
  AddColumn();
  Fill(0, {L"a", L"b"});
  Cols.Items[0].Kind = ckBoolean;
  Cells.RecreateColumn(0);
  EXPECT_STREQ(Cells.GetCell(0, 1)->ClassName(), "TBooleanCell");
}

TEST_F(StoreFixture, The1026thColumnIsRejected) {
  for (int I = 0; I < TCells::MaxColumns; ++I) AddColumn();
  Cells.AddRows(1);
  Cols.Items.push_back(FakeColumn{});
  EXPECT_EQ(ListErrorOf([&] { Cells.AddColumn(); }), "A grid holds at most 1025 columns");
  EXPECT_EQ(ListErrorOf([&] { Cells.InsertColumn(0); }), "A grid holds at most 1025 columns");
  EXPECT_EQ(Cells.ColumnCount(), 1025);
  EXPECT_NO_THROW(Cells.GetCell(1024, 0));
}

TEST_F(StoreFixture, BadIndexesRaiseListErrorsAndChangeNothing) {
  AddColumn();
  AddColumn();
  Fill(0, {L"a", L"b"});
  EXPECT_EQ(ListErrorOf([&] { Cells.GetCell(0, 2); }), "List index out of bounds (2)");
  EXPECT_EQ(ListErrorOf([&] { Cells.GetCell(2, 0); }), "List index out of bounds (2)");
  EXPECT_EQ(ListErrorOf([&] { Cells.GetCell(-1, 0); }), "List index out of bounds (-1)");
  EXPECT_EQ(ListErrorOf([&] { Cells.InsertRow(3); }), "List index out of bounds (3)");
  EXPECT_EQ(ListErrorOf([&] { Cells.InsertRow(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ListErrorOf([&] { Cells.DeleteRow(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ListErrorOf([&] { Cells.MoveRow(0, 5); }), "List index out of bounds (5)");
  EXPECT_EQ(ListErrorOf([&] { Cells.ExchangeRows(-2, 0); }), "List index out of bounds (-2)");
  EXPECT_EQ(ListErrorOf([&] { Cells.InsertChildRow(2, 0); }), "List index out of bounds (2)");
  EXPECT_EQ(ListErrorOf([&] { Cells.InsertChildRow(0, 3); }), "List index out of bounds (3)");
  EXPECT_EQ(ListErrorOf([&] { Cells.SetRowVisible(7, false); }), "List index out of bounds (7)");
  EXPECT_EQ(ListErrorOf([&] { Cells.DeleteColumn(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ListErrorOf([&] { Cells.MoveColumn(0, 2); }), "List index out of bounds (2)");
  EXPECT_EQ(ListErrorOf([&] { Cells.InsertColumn(3); }), "List index out of bounds (3)");
  EXPECT_EQ(ListErrorOf([&] { Cells.Sort(2, stAlphabetic, skAscending, false); }),
            "List index out of bounds (2)");
  EXPECT_EQ(Column(0), "a,b");
  EXPECT_EQ(Cells.RowCount(), 2);
  EXPECT_EQ(Cells.ColumnCount(), 2);
  ExpectAligned();
}

TEST_F(StoreFixture, AddingMoreRowsThanAListHoldsIsRefusedAtOnce) {
  AddColumn();
  Cells.AddRows(2);
  EXPECT_EQ(ListErrorOf([&] { Cells.AddRows(0x7FFFFFFF); }), "List count out of bounds (2147483647)");
  EXPECT_EQ(Cells.RowCount(), 2);
  ExpectAligned();
}

TEST_F(StoreFixture, ChangesAreReportedAtTheLastFetchedCell) {
  AddColumn();
  AddColumn();
  Cells.AddRows(3);
  int Col = -1, Row = -1;
  Cells.OnChange = [&](TObject* Sender, int C, int R) {
    EXPECT_EQ(Sender, &Cells);
    Col = C;
    Row = R;
  };
  TCell* Cell = Cells.GetCell(1, 2);
  Cells.GetCell(0, 1);
  Cell->SetAsString(L"x");  // reached some other way: reported at the last fetch
  EXPECT_EQ(Col, 0);
  EXPECT_EQ(Row, 1);
  Cells.GetCell(1, 2)->Clear();
  EXPECT_EQ(Col, 1);
  EXPECT_EQ(Row, 2);
}

// ---- tree rows ------------------------------------------------------------------------------

TEST_F(StoreFixture, ChildRowsFollowTheirParent) {
  AddColumn();
  Fill(0, {L"p", L"q"});
  Cells.InsertChildRow(0, 1);  // p > c1
  Cells.InsertChildRow(1, 2);  // p > c1 > g
  Cells.InsertChildRow(0, 3);  // p > c2
  TRow* P = Cells.GetRow(0);
  EXPECT_EQ(P->ChildCount, 2);
  EXPECT_EQ(Cells.GetRow(1)->Level, 1);
  EXPECT_EQ(Cells.GetRow(2)->Level, 2);
  EXPECT_EQ(Cells.GetRow(2)->ParentRow, Cells.GetRow(1));
  EXPECT_EQ(Cells.GetRow(3)->ParentRow, P);
  EXPECT_EQ(Cells.DescendantCount(0), 3);
  EXPECT_EQ(Cells.DirectChildCount(0), 2);
  EXPECT_EQ(Cells.DescendantCount(1), 1);
  EXPECT_EQ(Cells.DescendantCount(4), 0);
  EXPECT_EQ(Column(0), "p,,,,q");
}

TEST_F(StoreFixture, ACellThatCannotBeMadeLeavesTheRowsAsTheyWere) {
  AddColumn();
  AddColumn();
  AddColumn();
  Fill(0, {L"p", L"q"});
  Cells.InsertChildRow(0, 1);
  const std::string Before = Column(0);
  // Each operation fails at the second cell of a row (FailIn 1), or in a later row of several.
  const std::vector<std::pair<const char*, std::function<void()>>> Operations = {
      {"AddRows(1)", [&] { Cols.FailIn = 1; Cells.AddRows(1); }},
      {"AddRows(3), third row", [&] { Cols.FailIn = 7; Cells.AddRows(3); }},
      {"InsertRow(1)", [&] { Cols.FailIn = 1; Cells.InsertRow(1); }},
      {"InsertRow(3)", [&] { Cols.FailIn = 2; Cells.InsertRow(3); }},
      {"InsertChildRow(0, 2)", [&] { Cols.FailIn = 1; Cells.InsertChildRow(0, 2); }},
  };
  for (const auto& [Name, Operation] : Operations) {
    SCOPED_TRACE(Name);
    EXPECT_THROW(Operation(), std::bad_alloc);
    Cols.FailIn = -1;
    EXPECT_EQ(Cells.RowCount(), 3);
    EXPECT_EQ(Cells.ShownRowCount(), 3);
    EXPECT_EQ(Column(0), Before);
    EXPECT_EQ(Cells.GetRow(0)->ChildCount, 1);
    EXPECT_EQ(Cells.GetRow(1)->ParentRow, Cells.GetRow(0));
    ExpectAligned();
  }
  // The store goes on working.
  Cells.AddRows(1);
  Cells.InsertRow(0);
  EXPECT_EQ(Cells.RowCount(), 5);
  ExpectAligned();
}

TEST_F(StoreFixture, ChildOfACollapsedParentIsNotShown) {
  AddColumn();
  Cells.AddRows(2);
  Cells.GetRow(0)->Expanded = false;
  Cells.InsertChildRow(0, 1);
  EXPECT_FALSE(Cells.GetRow(1)->Shown);
  EXPECT_EQ(Cells.ShownRowCount(), 2);
  Cells.InsertChildRow(1, 2);  // grandchild of a hidden child
  EXPECT_FALSE(Cells.GetRow(2)->Shown);
  EXPECT_EQ(Cells.ShownRowCount(), Recount());
}

// A parent deleted alone leaves its children as top-level rows, shown (a collapsed parent hid
// them), each keeping its own tree a level higher; none points at the freed record, wherever a
// move or a sort had put it.
TEST_F(StoreFixture, ChildrenOfADeletedParentBecomeShownTopLevelRows) {
  AddColumn();
  Fill(0, {L"x", L"p"});
  Cells.GetRow(1)->Expanded = false;
  Cells.InsertChildRow(1, 2);  // x, p, c
  Cells.InsertChildRow(2, 3);  // x, p, c, g (g child of c)
  Set(0, 2, L"c");
  Set(0, 3, L"g");
  Cells.MoveRow(2, 0);  // c, x, p, g: the child away from its parent, its own child left below
  TRow* C = Cells.GetRow(0);
  TRow* G = Cells.GetRow(3);
  ASSERT_FALSE(C->Shown);
  ASSERT_FALSE(G->Shown);
  Cells.DeleteRow(2);
  EXPECT_EQ(Column(0), "c,x,g");
  EXPECT_EQ(C->ParentRow, nullptr);
  EXPECT_EQ(C->Level, 0);
  EXPECT_TRUE(C->Shown);
  EXPECT_EQ(G->ParentRow, C);
  EXPECT_EQ(G->Level, 1);
  EXPECT_TRUE(G->Shown);
  EXPECT_EQ(Cells.ShownRowCount(), 3);
  EXPECT_EQ(Cells.DescendantCount(0), 1);

  // A child a sort put above its parent.
  Cells.ClearRows();
  Fill(0, {L"b", L"a"});
  Cells.InsertChildRow(0, 1);  // the child of "b"
  Set(0, 1, L"c");
  TRow* Child = Cells.GetRow(1);
  Cells.Sort(0, stAlphabetic, skDescending, false);  // c, b, a: the child above its parent
  EXPECT_EQ(Column(0), "c,b,a");
  EXPECT_EQ(Child->ParentRow, Cells.GetRow(1));
  Cells.DeleteRow(1);
  EXPECT_EQ(Child->ParentRow, nullptr);
  EXPECT_EQ(Cells.ParentIndexOf(0), -1);
}

// The tree of a row is told by the chain of parents, not by levels next to each other: a row put
// between a parent and its child leaves the child a descendant, and deleting the tree takes the
// child and leaves the row between.
TEST_F(StoreFixture, ATreeIsTheRowsWhoseParentsLeadToItsRoot) {
  AddColumn();
  Fill(0, {L"p", L"q"});
  Cells.InsertChildRow(0, 1);  // p, c, q
  Cells.InsertChildRow(1, 2);  // p, c, g, q
  Set(0, 1, L"c");
  Set(0, 2, L"g");
  Cells.InsertRow(1);  // p, -, c, g, q
  Set(0, 1, L"-");
  Cells.MoveRow(2, 4);  // p, -, g, q, c: the child below a row of another tree
  EXPECT_EQ(Cells.DescendantCount(0), 2);
  EXPECT_EQ(Cells.DirectChildCount(0), 1);
  EXPECT_EQ(Cells.TreePositions(0), (std::vector<int>{0, 2, 4}));
  EXPECT_EQ(Cells.DeleteRowTree(0), (std::vector<int>{0, 2, 4}));
  EXPECT_EQ(Column(0), "-,q");
  EXPECT_EQ(Cells.ShownRowCount(), 2);
  ExpectAligned();
}

TEST_F(StoreFixture, ShownRowCountCountsRowsBothVisibleAndShown) {
  AddColumn();
  Cells.AddRows(4);
  Cells.SetRowShown(1, false);
  Cells.SetRowVisible(1, false);  // hidden twice: one row less, not two
  EXPECT_EQ(Cells.ShownRowCount(), 3);
  Cells.SetRowVisible(1, false);  // unchanged flag: nothing
  EXPECT_EQ(Cells.ShownRowCount(), 3);
  Cells.DeleteRow(1);
  EXPECT_EQ(Cells.ShownRowCount(), 3);
  Cells.SetRowVisible(0, false);
  Cells.DeleteRow(0);  // an invisible row leaves the count alone
  EXPECT_EQ(Cells.ShownRowCount(), 2);
  Cells.SetRowShown(0, false);
  Cells.SetRowVisible(0, false);
  Cells.SetRowShown(0, true);
  EXPECT_EQ(Cells.ShownRowCount(), 1);
  Cells.SetRowVisible(0, true);
  EXPECT_EQ(Cells.ShownRowCount(), 2);
  EXPECT_EQ(Cells.ShownRowCount(), Recount());
  for (int I = Cells.RowCount() - 1; I >= 0; --I) {
    Cells.SetRowShown(I, false);
    Cells.SetRowVisible(I, false);
    Cells.DeleteRow(I);
    EXPECT_GE(Cells.ShownRowCount(), 0);
  }
  EXPECT_EQ(Cells.ShownRowCount(), 0);
}

// ---- sorting --------------------------------------------------------------------------------

TEST_F(StoreFixture, SortsByEachTypeAndMovesWholeRows) {
  AddColumn();
  AddColumn();
  Fill(0, {L"b", L"C", L"a", L"B"});
  Fill(1, {L"1", L"2", L"3", L"4"});
  Cells.Sort(0, stAlphabetic, skAscending, false);
  EXPECT_EQ(Column(0), "B,C,a,b");  // code unit order: upper case first
  EXPECT_EQ(Column(1), "4,2,3,1");
  Cells.Sort(1, stNumeric, skDescending, false);
  EXPECT_EQ(Column(1), "4,3,2,1");
  EXPECT_EQ(Column(0), "B,a,C,b");
  Fill(1, {L"10", L"9", L"100", L"-1"});
  Cells.Sort(1, stNumeric, skAscending, false);
  EXPECT_EQ(Column(1), "-1,9,10,100");
  Fill(0, {L"b", L"C", L"a", L"D"});
  Cells.Sort(0, stCaseInsensitive, skAscending, false);
  EXPECT_EQ(Column(0), "a,b,C,D");
  Fill(0, {L"True", L"0", L"1", L"false"});
  Cells.Sort(0, stBoolean, skAscending, false);
  EXPECT_FALSE(Cells.GetCell(0, 0)->AsBoolean());
  EXPECT_FALSE(Cells.GetCell(0, 1)->AsBoolean());
  EXPECT_TRUE(Cells.GetCell(0, 2)->AsBoolean());
  EXPECT_TRUE(Cells.GetCell(0, 3)->AsBoolean());
  Fill(0, {L"03.01.2000", L"", L"01.02.1999", L"02.01.2000 12:00:00"});
  Cells.Sort(0, stDate, skAscending, false);
  EXPECT_EQ(Column(0), ",01.02.1999,02.01.2000 12:00:00,03.01.2000");
  Fill(0, {L"b", L"a", L"c", L"a"});
  Cells.Sort(0, stUnicodeAlphabetic, skDescending, false);
  EXPECT_EQ(Column(0), "c,b,a,a");
}

TEST_F(StoreFixture, AddressesSortFromTheFirstPartSmallestFirst) {
  AddColumn();
  Fill(0, {L"10.0.0.2", L"9.0.0.3", L"1.2", L"1.2.0.1", L"192.168.1.1", L"9.0.0.3"});
  Cells.Sort(0, stIP, skAscending, false);
  EXPECT_EQ(Column(0), "1.2,1.2.0.1,9.0.0.3,9.0.0.3,10.0.0.2,192.168.1.1");
  Cells.Sort(0, stIP, skDescending, true);
  EXPECT_EQ(Column(0), "192.168.1.1,10.0.0.2,9.0.0.3,9.0.0.3,1.2.0.1,1.2");
}

TEST_F(StoreFixture, AddressesWithEmptyOrExtraPartsSortWithoutError) {
  AddColumn();
  Fill(0, {L"1..3", L"1.0.2", L"", L"5.6.7.8.9.10", L"5.6.7.7", L"x0.0.0.1y", L"1.2.3.4."});
  EXPECT_NO_THROW(Cells.Sort(0, stIP, skAscending, false));
  EXPECT_EQ(Column(0), ",x0.0.0.1y,1.0.2,1..3,1.2.3.4.,5.6.7.7,5.6.7.8.9.10");
}

TEST(AddressParts, CollectsFourPartsAndIgnoresTheRest) {
  using A = std::array<std::uint32_t, 4>;
  EXPECT_EQ(AddressParts(L"1.2"), (A{1, 2, 0, 0}));
  EXPECT_EQ(AddressParts(L"10.0.0.2"), (A{10, 0, 0, 2}));
  EXPECT_EQ(AddressParts(L"a1b.c2.3d"), (A{1, 2, 3, 0}));
  EXPECT_EQ(AddressParts(L"..7"), (A{0, 0, 7, 0}));
  EXPECT_EQ(AddressParts(L"1.2.3.4.5.6"), (A{1, 2, 3, 4}));
  EXPECT_EQ(AddressParts(L"99999999999.1"), (A{0xFFFFFFFFu, 1, 0, 0}));
  EXPECT_EQ(AddressParts(L""), (A{0, 0, 0, 0}));
}

TEST_F(StoreFixture, FlippingRightAfterASortReversesWithoutComparing) {
  AddColumn();
  Fill(0, {L"3", L"1", L"2", L"5", L"4"});
  int Compares = 0;
  Cells.OnCompare = [&](TObject*, TCell* A, TCell* B, int& C) {
    ++Compares;
    C = A->AsInteger() - B->AsInteger();
  };
  EXPECT_EQ(Cells.LastSortColumn(), -1);
  Cells.Sort(0, stCustom, skAscending, false);
  EXPECT_EQ(Column(0), "1,2,3,4,5");
  EXPECT_TRUE(Cells.SortedUnchanged());
  EXPECT_EQ(Cells.LastSortColumn(), 0);
  EXPECT_GT(Compares, 0);

  Compares = 0;
  Cells.Sort(0, stCustom, skDescending, false);
  EXPECT_EQ(Column(0), "5,4,3,2,1");
  EXPECT_EQ(Compares, 0);
  EXPECT_EQ(Cells.SortKind(), skDescending);

  // The same direction again sorts again.
  Cells.Sort(0, stCustom, skDescending, false);
  EXPECT_GT(Compares, 0);

  // A full resort never takes the shortcut.
  Compares = 0;
  Cells.Sort(0, stCustom, skAscending, true);
  EXPECT_GT(Compares, 0);
  EXPECT_EQ(Column(0), "1,2,3,4,5");

  // After a cell change, a flip sorts again.
  Set(0, 0, L"9");
  EXPECT_FALSE(Cells.SortedUnchanged());
  Compares = 0;
  Cells.Sort(0, stCustom, skDescending, false);
  EXPECT_GT(Compares, 0);
  EXPECT_EQ(Column(0), "9,5,4,3,2");
}

TEST_F(StoreFixture, AnotherSortTypeSortsAgainInsteadOfReversing) {
  AddColumn();
  Fill(0, {L"10", L"9", L"100", L"-1"});
  Cells.Sort(0, stAlphabetic, skAscending, false);
  EXPECT_EQ(Column(0), "-1,10,100,9");
  // The same column by numbers, the other way: a sort of its own, not the text order reversed.
  Cells.Sort(0, stNumeric, skDescending, false);
  EXPECT_EQ(Column(0), "100,10,9,-1");
  // Flipping right after it reverses the numeric order (the shortcut knows the type now).
  int Compares = 0;
  Cells.OnCompare = [&](TObject*, TCell*, TCell*, int&) { ++Compares; };
  Cells.Sort(0, stNumeric, skAscending, false);
  EXPECT_EQ(Column(0), "-1,9,10,100");
  // And back to text order with the direction kept: sorted again as text.
  Cells.Sort(0, stAlphabetic, skAscending, false);
  EXPECT_EQ(Column(0), "-1,10,100,9");
  // A custom comparison is asked every time the column is sorted by it with a new direction
  // after another type.
  Cells.Sort(0, stCustom, skDescending, false);
  EXPECT_GT(Compares, 0);
}

TEST_F(StoreFixture, OperationsThatChangeTheOrderEndTheShortcut) {
  AddColumn();
  AddColumn();
  const std::vector<std::function<void()>> Changes = {
      [&] { Cells.ExchangeRows(0, 1); },
      [&] { Cells.InsertChildRow(0, 1); },
      [&] {
        Cols.Items.erase(Cols.Items.begin() + 1);
        Cells.DeleteColumn(1);
        Cols.Items.push_back(FakeColumn{});
        Cells.AddColumn();
      },
      [&] { Cells.MoveColumn(0, 1); },
      [&] { Cells.MoveRow(0, 2); },
      [&] { Cells.InsertRow(1); },
      [&] { Cells.AddRows(1); },
  };
  for (std::size_t I = 0; I < Changes.size(); ++I) {
    Cells.ClearRows();
    Fill(0, {L"c", L"a", L"b"});
    Fill(1, {L"c", L"a", L"b"});
    Cells.Sort(0, stAlphabetic, skAscending, false);
    ASSERT_TRUE(Cells.SortedUnchanged());
    Changes[I]();
    EXPECT_FALSE(Cells.SortedUnchanged()) << "change " << I;
    // The direction flip must give a true descending order, not a reversal of a broken one.
    Cells.Sort(0, stAlphabetic, skDescending, false);
    for (int R = 1; R < Cells.RowCount(); ++R)
      EXPECT_GE(Get(0, R - 1), Get(0, R)) << "change " << I << " row " << R;
  }
}

TEST_F(StoreFixture, DeletingARowKeepsTheShortcut) {
  AddColumn();
  Fill(0, {L"c", L"a", L"b", L"d"});
  Cells.Sort(0, stAlphabetic, skAscending, false);
  Cells.DeleteRow(1);
  EXPECT_TRUE(Cells.SortedUnchanged());
  Cells.Sort(0, stAlphabetic, skDescending, false);
  EXPECT_EQ(Column(0), "d,c,a");
}

TEST_F(StoreFixture, ZeroOrOneRowSortsToNothing) {
  AddColumn();
  Cells.Sort(0, stNumeric, skAscending, false);
  EXPECT_EQ(Cells.RowCount(), 0);
  Fill(0, {L"x"});  // no number, but nothing is compared
  Cells.Sort(0, stNumeric, skAscending, false);
  Cells.Sort(0, stNumeric, skDescending, false);
  EXPECT_EQ(Column(0), "x");
}

TEST_F(StoreFixture, AConversionErrorStopsTheSortBeforeAnyRowMoved) {
  AddColumn();
  Fill(0, {L"3", L"x", L"1", L"2"});
  Cells.Sort(0, stAlphabetic, skAscending, false);
  try {
    Cells.Sort(0, stNumeric, skDescending, true);
    FAIL() << "no conversion error";
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message, "'x' is not a valid floating point value");
  }
  EXPECT_EQ(Column(0), "1,2,3,x");
  // The failed sort left no claim of being sorted: a flip sorts for real.
  EXPECT_FALSE(Cells.SortedUnchanged());
  Cells.Sort(0, stAlphabetic, skAscending, false);
  EXPECT_EQ(Column(0), "1,2,3,x");
}

TEST_F(StoreFixture, CustomSortWithoutHandlerKeepsAllRows) {
  AddColumn();
  Fill(0, {L"d", L"b", L"a", L"c", L"e"});
  Cells.Sort(0, stCustom, skAscending, false);
  std::string C = Column(0);
  std::sort(C.begin(), C.end());
  EXPECT_EQ(C, ",,,,abcde");
}

TEST_F(StoreFixture, InconsistentComparisonsStayInsideTheRows) {
  AddColumn();
  AddColumn();
  const int N = 300;
  Cells.AddRows(N);
  for (int R = 0; R < N; ++R) {
    Set(0, R, std::to_wstring(R));
    Set(1, R, std::to_wstring(R));
  }
  std::mt19937 Rng(7);
  const std::vector<std::function<int(TCell*, TCell*)>> Comparers = {
      [](TCell*, TCell*) { return -1; },
      [](TCell*, TCell*) { return 1; },
      [&](TCell*, TCell*) { return static_cast<int>(Rng() % 3) - 1; },
      [](TCell* A, TCell* B) { return A == B ? 1 : 0; },
  };
  for (const auto& Cmp : Comparers) {
    Cells.OnCompare = [&](TObject*, TCell* A, TCell* B, int& C) { C = Cmp(A, B); };
    for (TSortKind K : {skAscending, skDescending}) {
      Cells.Sort(0, stCustom, K, true);
      std::vector<int> Seen;
      for (int R = 0; R < N; ++R) {
        EXPECT_EQ(Get(0, R), Get(1, R));  // rows stayed whole
        Seen.push_back(Cells.GetCell(0, R)->AsInteger());
      }
      std::sort(Seen.begin(), Seen.end());
      for (int R = 0; R < N; ++R) ASSERT_EQ(Seen[R], R);
    }
  }
}

TEST_F(StoreFixture, NaNKeysSortAfterEveryNumber) {
  AddColumn(FakeColumn{ckFloat});
  Cells.AddRows(50);
  for (int R = 0; R < 50; ++R)
    Cells.GetCell(0, R)->SetAsFloat(R % 3 == 0 ? std::numeric_limits<double>::quiet_NaN() : 25.0 - R);
  EXPECT_NO_THROW(Cells.Sort(0, stNumeric, skAscending, false));
  ASSERT_EQ(Cells.RowCount(), 50);
  // 33 numbers rising from -24 to 23 (minus and plus zero as one), then the 17 NaNs.
  for (int R = 0; R < 50; ++R) {
    const double V = Cells.GetCell(0, R)->AsFloat();
    if (R >= 33) {
      EXPECT_TRUE(std::isnan(V)) << R;
    } else {
      EXPECT_FALSE(std::isnan(V)) << R;
      if (R > 0) {
        EXPECT_LT(Cells.GetCell(0, R - 1)->AsFloat(), V) << R;
      }
    }
  }
}

TEST_F(StoreFixture, LargeSortAgreesWithAReferenceOrder) {
  AddColumn(FakeColumn{ckInteger});
  AddColumn();
  const int N = 5000;
  Cells.AddRows(N);
  std::mt19937 Rng(42);
  std::vector<int> Keys;
  for (int R = 0; R < N; ++R) {
    const int K = static_cast<int>(Rng() % 1000);  // many equal keys
    Keys.push_back(K);
    Cells.GetCell(0, R)->SetAsInteger(K);
    Set(1, R, std::to_wstring(K));
  }
  Cells.Sort(0, stNumeric, skDescending, false);
  std::sort(Keys.rbegin(), Keys.rend());
  for (int R = 0; R < N; ++R) {
    ASSERT_EQ(Cells.GetCell(0, R)->AsInteger(), Keys[R]) << R;
    ASSERT_EQ(Get(1, R), std::to_wstring(Keys[R])) << R;
  }
  // Already sorted input (the worst case of a poor pivot) sorts too.
  Cells.Sort(0, stNumeric, skDescending, true);
  for (int R = 0; R < N; ++R) ASSERT_EQ(Cells.GetCell(0, R)->AsInteger(), Keys[R]);
}
