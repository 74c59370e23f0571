// The in-place editing protocol with real clicks and keys: an editor opens over the clicked cell,
// typing fires OnEdit, Enter writes back through OnEditAccept, OnEditText and OnAfterEdit,
// Escape discards, refusing handlers keep things as they are, typing a character starts an
// editor with just that character, the input line adds rows, and the editor follows scrolling,
// focus changes and style changes.
#include <gtest/gtest.h>

#include "framework/Strings.h"
#include "support/EngineTestHelpers.h"

using namespace enginetest;

namespace {

// A form whose columns can be edited; rows "r<row>c<col>".
struct TEditForm : TEditingForm {
  explicit TEditForm(TGridOptions Options = {goHeader, goGrid}) : TEditingForm(3, Options) {}
};

// Records the editing events with their values.
struct TEditLog : TEventLog {
  void Attach(TNxGrid* G) {
    G->OnBeforeEdit = [this](TObject*, int C, int R, bool&) { Add(Cell("beforeedit", C, R)); };
    G->OnApplyEditText = [this](TObject*, int C, int R, WideString& V) { Add(Cell("apply", C, R) + "=" + WideToAnsi(V)); };
    G->OnEditEnter = [this](TObject*) { Add("enter"); };
    G->OnEdit = [this](TObject*, int, int, const WideString& V) { Add("edit=" + WideToAnsi(V)); };
    G->OnEditAccept = [this](TObject*, int C, int R, const WideString& V, bool&) {
      Add(Cell("accept", C, R) + "=" + WideToAnsi(V));
    };
    G->OnEditText = [this](TObject*, int, int, WideString& V) {
      Add("text=" + WideToAnsi(V));
      V = WideUpperCase(V);
    };
    G->OnAfterEdit = [this](TObject*, int C, int R, const WideString& V) { Add(Cell("after", C, R) + "=" + WideToAnsi(V)); };
    G->OnEndEditing = [this](TObject*, int C, int R, WideString& V, bool&) { Add(Cell("end", C, R) + "=" + WideToAnsi(V)); };
    G->OnEditExit = [this](TObject*) { Add("exit"); };
  }
};

}  // namespace

TEST(EngineEditing, ClickOpensTypingEditsEnterWritesBack) {
  TEditForm F;
  TNxGrid* G = F.Grid;
  TEditLog Log;
  Log.Attach(G);
  ASSERT_TRUE(F.ClickToEdit(1, 2));
  EXPECT_TRUE(G->GridState().Contains(gsEditing));
  EXPECT_EQ(F.Editor()->Text(), L"r2c1");
  EXPECT_TRUE(F.Editor()->Visible());
  EXPECT_TRUE(G->IsFocused());
  EXPECT_FALSE(G->IsCellSelected(1, 2));  // the edited cell does not paint as selected
  // The editor lies over the cell, inside its grid lines, one pixel in.
  const TRect Cell = G->GetCellRect(1, 2);
  EXPECT_EQ(F.Editor()->BoundsRect(), Rect(Cell.Left + 1, Cell.Top + 1, Cell.Right - 2, Cell.Bottom - 1));
  EXPECT_EQ(Log.Joined(), "beforeedit:1,2 apply:1,2=r2c1 enter");  // no OnEdit for the loaded text
  Log.Clear();
  TypeText("xy");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r2c1xy"; }));
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return !G->IsEditing(); }));
  EXPECT_EQ(Log.Joined(),
            "edit=r2c1x edit=r2c1xy accept:1,2=r2c1xy text=r2c1xy after:1,2=R2C1XY end:1,2=r2c1xy exit");
  EXPECT_EQ(G->Cells(1, 2), L"R2C1XY");
  EXPECT_EQ(G->InplaceEditor(), nullptr);
  EXPECT_EQ(G->EditCol(), -1);
  ASSERT_TRUE(WaitFor([&] { return GetFocus() == F.Window(); }));
  EXPECT_EQ(G->GetSelectedCell(), Point(1, 2));  // Enter does not move without WantReturns
}

// With goSecondClickEdit the click that selects a cell leaves its editor closed; a click on the
// selected cell opens it.
TEST(EngineEditing, WithSecondClickEditTheFirstClickOnlySelects) {
  TEditForm F({goHeader, goGrid, goSecondClickEdit});
  TNxGrid* G = F.Grid;
  int Clicks = 0;
  G->OnCellClick = [&](TObject*, int, int) { ++Clicks; };
  const TPoint P = F.CellPoint(1, 2);
  SettledClick(F.Window(), P.X - 15, P.Y);
  ASSERT_TRUE(WaitFor([&] { return Clicks == 1; }));
  EXPECT_EQ(G->GetSelectedCell(), Point(1, 2));
  EXPECT_FALSE(G->IsEditing());
  // Apart from the first press, so that the two make no double click.
  SettledClick(F.Window(), P.X + 15, P.Y);
  ASSERT_TRUE(WaitFor([&] { return G->EditCol() == 1 && G->EditRow() == 2; }));
}

TEST(EngineEditing, EscapeDiscardsOrClearsTheText) {
  TEditForm F;
  TNxGrid* G = F.Grid;
  TEditLog Log;
  ASSERT_TRUE(F.ClickToEdit(0, 1));
  Log.Attach(G);
  TypeText("zz");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r1c0zz"; }));
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([&] { return !G->IsEditing(); }));
  EXPECT_EQ(G->Cells(0, 1), L"r1c0");
  EXPECT_EQ(Log.Joined(), "edit=r1c0z edit=r1c0zz end:0,1=r1c0zz exit");
  ASSERT_TRUE(WaitFor([&] { return GetFocus() == F.Window(); }));
  // With goEscClearEdit, Escape empties the editor and leaves it open.
  G->SetOptions(G->Options() + goEscClearEdit);
  ASSERT_TRUE(F.ClickToEdit(0, 2));
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text().empty(); }));
  EXPECT_TRUE(G->IsEditing());
  EXPECT_TRUE(F.EditorFocused());
  EXPECT_EQ(G->Cells(0, 2), L"r2c0");
}

TEST(EngineEditing, RefusingHandlersKeepThingsAsTheyAre) {
  TEditForm F;
  TNxGrid* G = F.Grid;
  // OnBeforeEdit refuses: no editor.
  G->OnBeforeEdit = [](TObject*, int, int R, bool& Accept) { Accept = R != 3; };
  G->EditCell(0, 3);
  EXPECT_FALSE(G->IsEditing());
  // A read-only grid, a column without coEditing, a cell outside the grid: no editor either.
  G->SetReadOnly(true);
  G->EditCell(0, 1);
  EXPECT_FALSE(G->IsEditing());
  G->SetReadOnly(false);
  F.Columns[2]->SetOptions(F.Columns[2]->Options() - coEditing);
  G->EditCell(2, 1);
  G->EditCell(0, 9);
  G->EditCell(5, 0);
  EXPECT_FALSE(G->IsEditing());
  // OnEditAccept refuses: nothing is written, the editor still closes on Enter.
  G->OnEditAccept = [](TObject*, int, int, const WideString&, bool& Accept) { Accept = false; };
  ASSERT_TRUE(F.ClickToEdit(1, 1));
  TypeText("q");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r1c1q"; }));
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return !G->IsEditing(); }));
  EXPECT_EQ(G->Cells(1, 1), L"r1c1");
  // OnEndEditing refuses: the editor stays open (the text was written by then).
  G->OnEditAccept = nullptr;
  bool Refuse = true;
  G->OnEndEditing = [&](TObject*, int, int, WideString& V, bool& Accept) {
    Accept = !Refuse;
    V = V + L"!";
  };
  ASSERT_TRUE(F.ClickToEdit(1, 0));
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r0c1!"; }));
  EXPECT_TRUE(G->IsEditing());
  EXPECT_EQ(G->Cells(1, 0), L"r0c1");
  Refuse = false;
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([&] { return !G->IsEditing(); }));
}

TEST(EngineEditing, TypingOnASelectedCellStartsWithJustThatCharacter) {
  TEditForm F;
  TNxGrid* G = F.Grid;
  TEditLog Log;
  Log.Attach(G);
  G->SetFocus();
  G->SelectCell(2, 3);
  Log.Clear();
  G->EditCellWithKey(2, 3, L'k');
  ASSERT_TRUE(G->IsEditing());
  EXPECT_EQ(F.Editor()->Text(), L"k");
  EXPECT_EQ(Log.Joined(), "beforeedit:2,3 edit=k enter");
  TypeText("m");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"km"; }));  // the caret is after the key
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return !G->IsEditing(); }));
  EXPECT_EQ(G->Cells(2, 3), L"KM");
}

TEST(EngineEditing, AutoSelectSelectsTheWholeText) {
  TEditForm F;
  TNxGrid* G = F.Grid;
  F.Columns[0]->SetOptions(F.Columns[0]->Options() + coEditorAutoSelect);
  ASSERT_TRUE(F.ClickToEdit(0, 0));
  EXPECT_EQ(F.Editor()->SelLength(), 4);
  TypeText("n");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"n"; }));
  ASSERT_TRUE(F.ClickToEdit(1, 0));  // a click elsewhere writes back what was typed
  EXPECT_EQ(G->Cells(0, 0), L"n");
  EXPECT_EQ(F.Editor()->SelLength(), 0);
  EXPECT_EQ(F.Editor()->SelStart(), 4);
}

TEST(EngineEditing, SelectingAnotherCellClosesWithoutWriting) {
  TEditForm F;
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(F.ClickToEdit(1, 3));
  TypeText("w");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r3c1w"; }));
  G->SelectCell(0, 0);
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->Cells(1, 3), L"r3c1");
  // The focus is not left on the hidden editor.
  EXPECT_EQ(GetFocus(), F.Window());
}

TEST(EngineEditing, TabWritesBackAndMovesOn) {
  TEditForm F;
  TNxGrid* G = F.Grid;
  G->SetWantTabs(true);
  ASSERT_TRUE(F.ClickToEdit(0, 1));
  EXPECT_TRUE(F.Editor()->WantTabs());  // copied from the grid
  TypeText("t");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r1c0t"; }));
  PressKey(VK_TAB);
  ASSERT_TRUE(WaitFor([&] { return G->SelectedColumn() == 1; }));
  EXPECT_EQ(G->Cells(0, 1), L"r1c0t");
  EXPECT_FALSE(G->IsEditing());
  EXPECT_TRUE(G->IsFocused());
}

TEST(EngineEditing, LeavingTheGridWritesBackBeforeOnExit) {
  TEditForm F;
  TNxGrid* G = F.Grid;
  auto* Other = new TCustomControl(F.Form);
  Other->SetBounds(0, 0, 8, 8);
  Other->SetTabStop(true);
  Other->SetParent(F.Form);
  std::vector<std::string> Log;
  G->OnAfterEdit = [&](TObject*, int, int, const WideString&) { Log.push_back("after"); };
  G->OnEditExit = [&](TObject*) { Log.push_back("editexit"); };
  G->OnExit = [&](TObject*) { Log.push_back("exit"); };
  ASSERT_TRUE(F.ClickToEdit(2, 2));
  TypeText("v");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r2c2v"; }));
  Other->SetFocus();
  ASSERT_TRUE(WaitFor([&] { return !G->IsEditing(); }));
  EXPECT_EQ(G->Cells(2, 2), L"r2c2v");
  EXPECT_EQ(Log, (std::vector<std::string>{"after", "editexit", "exit"}));
  EXPECT_EQ(GetFocus(), Other->Handle());
}

TEST(EngineEditing, TheEditorFollowsScrollingAndStyleChanges) {
  TEditForm F;
  TNxGrid* G = F.Grid;
  F.Fill(40);
  ASSERT_TRUE(F.ClickToEdit(1, 1));
  // Scrolled up by one row: the editor moves with its cell.
  G->VertScrollBar()->SetPosition(1);
  EXPECT_TRUE(F.Editor()->Visible());
  EXPECT_EQ(F.Editor()->Top(), G->GetCellRect(1, 1).Top + 1);
  EXPECT_EQ(F.Editor()->Top(), G->GetBodyRect().Top + 1);
  // Scrolled on until the cell lies above the body: the edit ends as when its column is hidden,
  // and what was typed is written back.
  TypeText("up");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r1c1up"; }));
  G->VertScrollBar()->SetPosition(3);
  EXPECT_FALSE(G->IsEditing());
  EXPECT_FALSE(F.Columns[1]->Editor()->Visible());
  EXPECT_EQ(G->Cells(1, 1), L"r1c1up");
  EXPECT_TRUE(G->IsFocused());
  // Opened on a row out of the view, the editor brings its row into view.
  G->EditCell(1, 1);
  EXPECT_EQ(G->FirstVisibleRow(), 1);
  EXPECT_TRUE(F.Editor()->Visible());
  // Inside an update lock the view waits for the end of the lock; there the edit ends.
  TypeText("lk");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r1c1uplk"; }));
  G->BeginUpdate();
  G->VertScrollBar()->SetPosition(3);
  EXPECT_TRUE(G->IsEditing());
  G->EndUpdate();
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->Cells(1, 1), L"r1c1uplk");
  G->EditCell(1, 1);
  ASSERT_TRUE(G->IsEditing());
  // A wider header moves it down.
  G->SetHeaderSize(30);
  EXPECT_EQ(F.Editor()->Top(), G->GetCellRect(1, 1).Top + 1);
  // The slides style closes it.
  G->SetGridStyle(gsSlides);
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->InplaceEditor(), nullptr);
}

TEST(EngineEditing, TheInputLineAddsRows) {
  TEditForm F({goHeader, goInput});
  TNxGrid* G = F.Grid;
  F.Columns[2]->SetDefaultValue(L"dflt");
  std::vector<std::string> Log;
  bool AcceptInput = true;
  G->OnInputAccept = [&](TObject*, bool& Accept) {
    Log.push_back("accept");
    Accept = AcceptInput;
  };
  G->OnInputAdded = [&](TObject*) { Log.push_back("added"); };
  G->OnInputSelectCell = [&](TObject*, int C) { Log.push_back("input:" + std::to_string(C)); };
  G->OnBeforeEdit = [&](TObject*, int, int, bool&) { Log.push_back("beforeedit"); };
  G->SetFocus();
  G->EditInputCell(F.Columns[0]);
  ASSERT_TRUE(G->GridState().Contains(gsInputEditing));
  EXPECT_TRUE(G->InputSelected());
  EXPECT_EQ(G->InputColumn(), 0);
  EXPECT_EQ(G->EditCol(), 0);
  EXPECT_EQ(G->EditRow(), -1);
  EXPECT_TRUE(F.Columns[0]->InputEditing());
  EXPECT_EQ(F.Editor()->BoundsRect(), Rect(1, 19, 79, 33));  // the input cell, one pixel in
  ASSERT_TRUE(WaitFor([&] { return F.EditorFocused(); }));
  TypeText("abc");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"abc"; }));
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return G->RowCount() == 5; }));
  EXPECT_EQ(G->Cells(0, 4), L"abc");
  EXPECT_EQ(G->Cells(1, 4), L"");
  EXPECT_EQ(G->Cells(2, 4), L"dflt");  // an empty input takes the default value
  EXPECT_EQ(F.Columns[0]->InputValue(), L"");
  // The editor stays on the input line, emptied.
  EXPECT_TRUE(G->GridState().Contains(gsInputEditing));
  EXPECT_EQ(F.Editor()->Text(), L"");
  EXPECT_EQ(Log, (std::vector<std::string>{"input:0", "accept", "added"}));
  // OnInputAccept refusing adds nothing; the typed value stays in the input line.
  AcceptInput = false;
  TypeText("d");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"d"; }));
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return Log.size() == 4; }));
  EXPECT_EQ(G->RowCount(), 5);
  EXPECT_EQ(F.Columns[0]->InputValue(), L"d");
  // A click in the body leaves the input line.
  const TPoint P = F.CellPoint(1, 1);
  SettledClick(F.Window(), P.X, P.Y);
  ASSERT_TRUE(WaitFor([&] { return !G->InputSelected(); }));
  EXPECT_FALSE(G->GridState().Contains(gsInputEditing));
  EXPECT_FALSE(F.Columns[0]->InputEditing());
  EXPECT_EQ(G->InputColumn(), -1);
}

TEST(EngineEditing, TheInputLineNeedsAnInputCapableColumn) {
  TEditForm F({goHeader, goInput});
  TNxGrid* G = F.Grid;
  F.Columns[1]->SetOptions(F.Columns[1]->Options() - coCanInput);
  G->EditInputCell(F.Columns[1]);
  EXPECT_FALSE(G->GridState().Contains(gsInputEditing));
  EXPECT_TRUE(G->InputSelected());  // the selection moved to the input line all the same
  G->SetReadOnly(true);
  G->EditInputCell(F.Columns[0]);
  EXPECT_FALSE(G->GridState().Contains(gsInputEditing));
  // An open body editor is written back before the input line takes over.
  G->SetReadOnly(false);
  G->EditCell(0, 2, L"typed");
  ASSERT_TRUE(G->IsEditing());
  G->EditInputCell(F.Columns[0]);
  EXPECT_EQ(G->Cells(0, 2), L"typed");
  EXPECT_TRUE(G->GridState().Contains(gsInputEditing));
}

TEST(EngineEditing, AnEditorThatIsDestroyedEndsTheEdit) {
  TEditForm F;
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(F.ClickToEdit(1, 1));
  delete F.Columns[1];
  F.Columns.erase(F.Columns.begin() + 1);
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->InplaceEditor(), nullptr);
  Settle(F.Window());
  // The grid goes on working and the form closes cleanly while the grid has the focus.
  ASSERT_TRUE(F.ClickToEdit(0, 2));
}
