// The grid engine's selection model and event orders: the veto of OnBeforeSelect, OnDeselectCell
// and OnSelectCell, disabled columns, a grid without rows, full-row multi-selection with real
// Ctrl and Shift clicks, the input line, and which cells count as selected.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "framework/Scopes.h"
#include "support/EngineTestHelpers.h"
#include "support/MessageOf.h"

using namespace enginetest;

TEST(EngineSelection, EventsOfSelectCellInOrder) {
  TEngineForm F(3, {goHeader});
  F.Fill(4);
  TEventLog Log;
  Log.AttachSelection(F.Grid);
  F.Grid->SelectCell(1, 2);
  F.Grid->SelectCell(2, 2);
  F.Grid->SelectCell(2, 2);  // the same cell again: selected again, nothing deselected
  F.Grid->SelectCell(0, 3);
  EXPECT_EQ(Log.Joined(),
            "before:1,2 select:1,2 before:2,2 deselect:1,2 select:2,2 before:2,2 select:2,2 "
            "before:0,3 deselect:2,2 select:0,3");
  EXPECT_EQ(F.Grid->GetSelectedCell(), Point(0, 3));
}

TEST(EngineSelection, VetoAndDisabledColumnsChangeNothing) {
  TEngineForm F(3, {goHeader});
  F.Fill(4);
  F.Grid->SelectCell(0, 1);
  TEventLog Log;
  Log.AttachSelection(F.Grid);
  F.Grid->OnBeforeSelect = [&](TObject*, int C, int R, bool& Accept) {
    Log.Add(TEventLog::Cell("before", C, R));
    Accept = R != 3;
  };
  F.Grid->SelectCell(0, 3);
  EXPECT_EQ(F.Grid->GetSelectedCell(), Point(0, 1));
  // A disabled column: the before-select event fires, nothing else happens.
  F.Columns[2]->SetEnabled(false);
  F.Grid->SelectCell(2, 2);
  EXPECT_EQ(F.Grid->GetSelectedCell(), Point(0, 1));
  // An invalid column index likewise.
  F.Grid->SelectCell(7, 2);
  EXPECT_EQ(Log.Joined(), "before:0,3 before:2,2 before:7,2");
  EXPECT_EQ(F.Grid->GetSelectedCell(), Point(0, 1));
}

namespace {

// A grid whose cells of row 2 cannot be selected.
struct TRefusingGrid : TNxGrid {
  explicit TRefusingGrid(TComponent* AOwner) : TNxGrid(AOwner) {}
  bool CanSelectCell(int ACol, int ARow) override { return ARow != 2; }
};

}  // namespace

TEST(EngineSelection, KeyboardMovesSkipWhatTheGridRefuses) {
  std::unique_ptr<TForm> Form(new TForm(nullptr));
  Form->SetBounds(100, 80, 340, 260);
  auto* G = new TRefusingGrid(Form.get());
  G->SetBounds(10, 10, 300, 200);
  G->SetParent(Form.get());
  G->Columns()->AddColumn<TNxTextColumn>(Form.get());
  G->AddRow(5);
  Form->Show();
  ASSERT_TRUE(realinput::BringToFront(Form->Handle()));
  G->SetFocus();
  G->SelectCell(0, 1);
  // CanSelectCell answers the veto's initial value: the row is refused as a handler refuses it.
  G->SelectCell(0, 2);
  EXPECT_EQ(G->SelectedRow(), 1);
  PressKey(VK_DOWN);
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == 3; }));
  PressKey(VK_UP);
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == 1; }));
}

TEST(EngineSelection, WithoutRowsOnlyTheBeforeSelectFires) {
  TEngineForm F(3, {goHeader});
  TEventLog Log;
  Log.AttachSelection(F.Grid);
  F.Grid->SelectCell(1, 0);
  EXPECT_EQ(Log.Joined(), "before:1,0");
  // The cell is stored all the same.
  EXPECT_EQ(F.Grid->GetSelectedCell(), Point(1, 0));
  F.Grid->ClearSelection();
  EXPECT_EQ(F.Grid->GetSelectedCell(), Point(0, -1));
}

// Whom a handler's error reaches: the program that moves the scroll bar gets its scroll
// handler's error (the view moved all the same); of two handlers that raise in one action, the
// caller gets the first one's error; a key that arrives while a handler waits in a message loop is
// an action of its own: its handler's error reaches the application, not the caller of the
// waiting action. A handler that frees the grid and raises has its error reach the same one.
TEST(EngineSelection, AHandlersErrorReachesTheOneThatStartedItsAction) {
  auto Raise = [](const char* Text) { throw Exception(Text); };
  // The handler keeps nothing of its own: the grid it frees takes it along.
  auto FreeAndRaise = [](TNxGrid* G) {
    G->OnSelectCell = [](TObject* Grid, int, int) {
      delete Grid;
      throw Exception("gone");
    };
  };
  const struct {
    const char* Name;
    std::function<void(TNxGrid*)> Arm;
    std::function<void(TNxGrid*)> Act;
    const char* Caller;       // the error the call raises
    const char* Application;  // the one the application hears
  } Cases[] = {
      {"the program moves the bar",
       [&](TNxGrid* G) { G->OnVerticalScroll = [&](TObject*, int) { Raise("scroll"); }; },
       [](TNxGrid* G) {
         G->VertScrollBar()->SetPosition(5);
         EXPECT_EQ(G->FirstVisibleRow(), 5);
       },
       "scroll", ""},
      {"two handlers raise",
       [&](TNxGrid* G) {
         G->OnDeselectCell = [&](TObject*, int, int) { Raise("first"); };
         G->OnSelectCell = [&](TObject*, int, int) { Raise("second"); };
       },
       [](TNxGrid* G) { G->SelectCell(0, 2); }, "first", ""},
      {"a key while a handler waits",
       [&](TNxGrid* G) {
         G->OnSelectCell = [&, G](TObject*, int, int R) {
           if (R != 1) Raise("key");
           PostMessageW(G->Handle(), WM_KEYDOWN, VK_DOWN, 0);
           Pump();
         };
       },
       [](TNxGrid* G) { G->SelectCell(0, 1); }, "", "key"},
      {"a handler frees the grid and raises", FreeAndRaise, [](TNxGrid* G) { G->SelectCell(0, 2); }, "gone", ""},
      {"a key's handler frees the grid and raises", FreeAndRaise,
       [](TNxGrid* G) {
         PostMessageW(G->Handle(), WM_KEYDOWN, VK_DOWN, 0);
         Pump();
       },
       "", "gone"},
  };
  std::string Heard;
  Application->OnException = [&](TObject*, Exception& E) { Heard += E.Message; };
  TScopeExit Restore([] { Application->OnException = nullptr; });
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TEngineForm F(3, {goHeader});
    F.Fill(30);
    F.Grid->SelectCell(0, 0);
    C.Arm(F.Grid);
    Heard.clear();
    EXPECT_EQ(exctest::MessageOf<Exception>([&] { C.Act(F.Grid); }, ""), C.Caller);
    Pump();
    EXPECT_EQ(Heard, C.Application);
  }
}

// A Ctrl selection of a row outside the rows stores the cell and raises nothing: no row there
// is selected, on either side of the rows.
TEST(EngineSelection, CtrlOnARowOutsideTheRowsRaisesNothing) {
  TEngineForm F(2, {goHeader, goSelectFullRow, goMultiSelect});
  F.Fill(3);
  TNxGrid* G = F.Grid;
  for (const int Row : {99, 3, -1, -5}) {
    SCOPED_TRACE(Row);
    EXPECT_NO_THROW(G->SelectCell(0, Row, false, true, {ssCtrl}));
    EXPECT_EQ(G->SelectedRow(), Row);
    EXPECT_FALSE(G->GetSelected(Row));
  }
  EXPECT_EQ(G->GetSelectedCount(), 0);
}

TEST(EngineSelection, RealCtrlAndShiftClicksSelectSeveralRows) {
  TEngineForm F(2, {goHeader, goSelectFullRow, goMultiSelect});
  F.Fill(8);
  TNxGrid* G = F.Grid;
  auto Selected = [&] {
    std::string S;
    for (int R = 0; R < G->RowCount(); ++R)
      if (G->GetSelected(R)) S += std::to_string(R);
    return S;
  };
  TEventLog Log;
  Log.AttachSelection(G);
  ASSERT_TRUE(F.FocusByClick(0, 1));
  EXPECT_EQ(Selected(), "1");
  Log.Clear();
  // Ctrl+click adds a row and makes it the anchor.
  TPoint P = F.CellPoint(1, 3);
  ClickWith(F.Window(), P.X, P.Y, {VK_CONTROL});
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == 3; }));
  EXPECT_EQ(Selected(), "13");
  EXPECT_EQ(G->AnchorRow(), 3);
  EXPECT_TRUE(G->GridState().Contains(gsRangeSelect));
  EXPECT_EQ(Log.Joined(), "before:1,3 deselect:0,1 select:1,3");
  // Ctrl+click on a selected row deselects it, and still fires OnSelectCell (the press is on
  // another cell of the row, so that the two presses do not make a double click).
  Log.Clear();
  P = F.CellPoint(0, 3);
  ClickWith(F.Window(), P.X, P.Y, {VK_CONTROL});
  ASSERT_TRUE(WaitFor([&] { return Selected() == "1"; }));
  EXPECT_EQ(Log.Joined(), "before:0,3 deselect:1,3 select:0,3");
  EXPECT_EQ(G->GetSelectedCount(), 1);
  // Shift+click: exactly the rows from the anchor (3) to the clicked row.
  P = F.CellPoint(1, 6);
  ClickWith(F.Window(), P.X, P.Y, {VK_SHIFT});
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == 6; }));
  EXPECT_EQ(Selected(), "3456");
  EXPECT_EQ(G->AnchorRow(), 3);
  // Ctrl+Shift+click adds the range to what is selected.
  P = F.CellPoint(1, 0);
  ClickWith(F.Window(), P.X, P.Y, {VK_CONTROL, VK_SHIFT});
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == 0; }));
  EXPECT_EQ(Selected(), "0123456");
  // A plain click afterwards leaves only the clicked row.
  P = F.CellPoint(0, 7);
  SettledClick(F.Window(), P.X, P.Y);
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == 7; }));
  EXPECT_EQ(Selected(), "7");
  EXPECT_FALSE(G->GridState().Contains(gsRangeSelect));
  // Ctrl+A selects every row.
  KeyWith(VK_CONTROL, 'A');
  ASSERT_TRUE(WaitFor([&] { return G->GetSelectedCount() == 8; }));
  EXPECT_TRUE(G->GridState().Contains(gsRangeSelect));
}

TEST(EngineSelection, SelectAllNeedsMultiSelectionOfFullRows) {
  TEngineForm F(2, {goHeader, goMultiSelect});
  F.Fill(4);
  F.Grid->SelectAll();
  EXPECT_EQ(F.Grid->GetSelectedCount(), 0);
  F.Grid->SetOptions({goHeader, goMultiSelect, goSelectFullRow});
  F.Grid->SelectAll();
  EXPECT_EQ(F.Grid->GetSelectedCount(), 4);
  F.Grid->ClearSelection();
  EXPECT_EQ(F.Grid->GetSelectedCount(), 0);
  EXPECT_FALSE(F.Grid->GridState().Contains(gsRangeSelect));
}

// Several selected rows let go by a plain select close an open editor, whichever cell it selects
// (none included).
TEST(EngineSelection, LettingSeveralRowsGoClosesTheEditor) {
  TEngineForm F(2, {goHeader, goMultiSelect, goSelectFullRow}, 300, 200, 80, true);
  F.Fill(4);
  TNxGrid* G = F.Grid;
  const struct {
    const char* Name;
    int Row;
  } Cases[] = {{"no row", -1}, {"the selected row", 2}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    G->SelectCell(0, 1);
    G->SelectCell(0, 2, false, true, TShiftState{ssCtrl});
    G->EditCell(0, 3);
    ASSERT_TRUE(G->IsEditing());
    G->SelectRow(C.Row);
    EXPECT_FALSE(G->IsEditing());
    G->EndEditing();
  }
}

TEST(EngineSelection, WhichCellsCountAsSelected) {
  TEngineForm F(3, {goHeader});
  F.Fill(4);
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(F.FocusByClick(1, 2));
  EXPECT_TRUE(G->IsCellSelected(1, 2));
  EXPECT_FALSE(G->IsCellSelected(0, 2));
  // A column that never highlights.
  F.Columns[1]->SetOptions(F.Columns[1]->Options() + coDontHighlight);
  EXPECT_FALSE(G->IsCellSelected(1, 2));
  F.Columns[1]->SetOptions(F.Columns[1]->Options() - coDontHighlight);
  // Full rows: every cell of the row, except the selected cell itself with aoIndicateSelectedCell.
  G->SetOptions({goHeader, goSelectFullRow});
  G->SelectCell(1, 2);
  EXPECT_TRUE(G->IsCellSelected(0, 2));
  EXPECT_TRUE(G->IsCellSelected(1, 2));
  EXPECT_FALSE(G->IsCellSelected(0, 1));
  G->SetAppearanceOptions({aoHideSelection, aoIndicateSelectedCell});
  EXPECT_TRUE(G->IsCellSelected(0, 2));
  EXPECT_TRUE(G->IsCellSelected(2, 2));
  EXPECT_FALSE(G->IsCellSelected(1, 2));
  // Without the focus and with aoHideSelection nothing shows selected.
  auto* Other = new TCustomControl(F.Form);
  Other->SetBounds(0, 0, 5, 5);
  Other->SetTabStop(true);
  Other->SetParent(F.Form);
  Other->SetFocus();
  ASSERT_TRUE(WaitFor([&] { return !G->IsFocused(); }));
  EXPECT_FALSE(G->IsCellSelected(0, 2));
  G->SetAppearanceOptions({});
  EXPECT_TRUE(G->IsCellSelected(0, 2));
}

TEST(EngineSelection, TheInputLineHoldsTheSelection) {
  TEngineForm F(3, {goHeader, goInput, goIndicator});
  F.Fill(3);
  TNxGrid* G = F.Grid;
  G->SelectCell(1, 0);
  TEventLog Log;
  Log.AttachSelection(G);
  G->MoveUp({});
  EXPECT_TRUE(G->InputSelected());
  EXPECT_FALSE(G->GetSelected(0));  // the row's flag went to the input line
  EXPECT_FALSE(G->IsCellSelected(1, 0));
  // Moving between columns on the input line reports the input cell, not a body cell.
  G->SelectColumn(2);
  G->SelectColumn(2);
  EXPECT_EQ(Log.Joined(), "before:2,0 deselect:1,0 input:2 before:2,0");
  // Down leaves the input line for the first row.
  Log.Clear();
  G->MoveDown({});
  EXPECT_FALSE(G->InputSelected());
  EXPECT_EQ(G->GetSelectedCell(), Point(2, 0));
  EXPECT_EQ(Log.Joined(), "before:2,0 select:2,0");
  // Switching the input line off leaves it.
  G->MoveUp({});
  EXPECT_TRUE(G->InputSelected());
  G->SetOptions({goHeader});
  EXPECT_FALSE(G->InputSelected());
}

TEST(EngineSelection, FirstAndLastRowScrollTheView) {
  TEngineForm F(2, {goHeader});
  F.Fill(40);
  TNxGrid* G = F.Grid;
  G->SelectLastRow();
  EXPECT_EQ(G->SelectedRow(), 39);
  EXPECT_EQ(G->GetLastFullyVisibleRow(), 39);
  G->SelectFirstRow();
  EXPECT_EQ(G->SelectedRow(), 0);
  EXPECT_EQ(G->FirstVisibleRow(), 0);
  // AutoScroll keeps any selected row in view.
  G->SetAutoScroll(true);
  G->SelectRow(30);
  EXPECT_GE(G->GetLastFullyVisibleRow(), 30);
  G->SelectRow(2);
  EXPECT_EQ(G->FirstVisibleRow(), 2);
  // Row -1 is accepted by SelectRow (nothing selected), rows past the end are not.
  G->SelectRow(77);
  EXPECT_EQ(G->SelectedRow(), 2);
}

TEST(EngineFocus, EnterAndExitAndTheIndicator) {
  TEngineForm F(2, {goHeader, goIndicator});
  F.Fill(3);
  TNxGrid* G = F.Grid;
  auto* Other = new TCustomControl(F.Form);
  Other->SetBounds(0, 0, 5, 5);
  Other->SetTabStop(true);
  Other->SetParent(F.Form);
  Other->SetFocus();
  Settle(F.Window());
  std::vector<std::string> Log;
  G->OnEnter = [&](TObject*) {
    Log.push_back("enter");
    // The indicator is repainted after OnEnter.
    Log.push_back(MarkedForRepaint(F.Window(), 5, 100) ? "marked" : "unmarked");
  };
  G->OnExit = [&](TObject*) { Log.push_back("exit"); };
  ForgetRepaint(F.Window());
  G->SetFocus();
  EXPECT_TRUE(MarkedForRepaint(F.Window(), 5, 100));
  ASSERT_TRUE(WaitFor([&] { return G->IsFocused(); }));
  Other->SetFocus();
  ASSERT_TRUE(WaitFor([&] { return !G->IsFocused(); }));
  EXPECT_EQ(Log, (std::vector<std::string>{"enter", "unmarked", "exit"}));
}
