// What was typed into an in-place editor is never thrown away by the mouse, with real input: a
// click on either scroll bar, roll scrolling, a click on the indicator beside another row, a
// sorting header click and a right click on the chrome all write the text back (unless
// OnEditAccept refuses) before the editor closes. Only Escape discards. With the keys disabled
// the page keys leave the editor as it is, and OnEditExit still knows the cell that was edited.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/Scopes.h"
#include "support/EngineTestHelpers.h"
#include "support/FreedMemoryGuard.h"
#include "support/MessageOf.h"

using namespace enginetest;

namespace {

// Opens the editor on a cell with a real click and types Text after the cell's own text.
bool TypeInto(TEditingForm& F, int Col, int Row, const std::string& Text) {
  if (!F.ClickToEdit(Col, Row)) return false;
  TypeText(Text);
  const std::wstring Want = F.Grid->Cells(Col, Row) + AnsiToWide(Text);
  return WaitFor([&] { return F.Editor()->Text() == Want; });
}

std::wstring Typed(int Col, int Row, const char* Text) {
  return L"r" + std::to_wstring(Row) + L"c" + std::to_wstring(Col) + AnsiToWide(Text);
}

// A row's cells joined by '|', or "<none>" when the row does not exist.
std::string RowText(TNxGrid* G, int Row) {
  if (Row >= G->RowCount()) return "<none>";
  std::string S;
  for (int C = 0; C < G->Columns()->Count(); ++C) S += (C > 0 ? "|" : "") + WideToAnsi(G->Cells(C, Row));
  return S;
}

// Changes of the column list made while cell (2, 1) is edited.
using TColumnChange = TFormChange<TEditingForm>;

}  // namespace

TEST(EditRoads, ScrollBarClicksWriteTheTypedTextBack) {
  // Five columns of 80 pixels in 300: both bars show.
  TEditingForm F(5, {goHeader, goGrid}, 40);
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(TypeInto(F, 1, 1, "vs"));
  ASSERT_TRUE(ClickScreen(ScrollArrowPoint(F.Window(), true, true)));
  ASSERT_TRUE(WaitFor([&] { return !G->IsEditing(); }));
  EXPECT_GT(G->VertScrollBar()->Position(), 0);
  EXPECT_EQ(G->Cells(1, 1), Typed(1, 1, "vs"));

  const int Row = G->FirstVisibleRow() + 1;
  ASSERT_TRUE(TypeInto(F, 0, Row, "hs"));
  ASSERT_TRUE(ClickScreen(ScrollArrowPoint(F.Window(), false, true)));
  ASSERT_TRUE(WaitFor([&] { return !G->IsEditing(); }));
  EXPECT_GT(G->HorzScrollBar()->Position(), 0);
  EXPECT_EQ(G->Cells(0, Row), Typed(0, Row, "hs"));
  // An accept handler that refuses keeps the cell; the editor closes all the same.
  G->OnEditAccept = [](TObject*, int, int, const WideString&, bool& Accept) { Accept = false; };
  ASSERT_TRUE(TypeInto(F, 2, Row + 1, "no"));
  ASSERT_TRUE(ClickScreen(ScrollArrowPoint(F.Window(), true, false)));
  ASSERT_TRUE(WaitFor([&] { return !G->IsEditing(); }));
  EXPECT_EQ(G->Cells(2, Row + 1), Typed(2, Row + 1, ""));
}

TEST(EditRoads, RollScrollingWritesTheTypedTextBack) {
  TEditingForm F(3, {goHeader, goGrid}, 60);
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(TypeInto(F, 1, 2, "rl"));
  // The middle button goes down beside the editor; the pointer moves well below the anchor.
  const TPoint P = F.CellPoint(0, 4);
  ASSERT_TRUE(Press(F.Window(), P.X, P.Y, MOUSEEVENTF_MIDDLEDOWN));
  ASSERT_TRUE(WaitFor([&] { return G->Rolling(); }));
  ASSERT_TRUE(PointerTo(F.Window(), P.X, P.Y + 60));
  ASSERT_TRUE(WaitFor([&] { return G->VertScrollBar()->Position() > 0; }));
  Release(MOUSEEVENTF_MIDDLEUP);
  ASSERT_TRUE(WaitFor([&] { return !G->Rolling(); }));
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->Cells(1, 2), Typed(1, 2, "rl"));
}

TEST(EditRoads, HorizontalScrollingKeepsWhatTheInputLineHolds) {
  TEditingForm F(5, {goHeader, goInput}, 4);
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(F.TypeIntoInputLine(0, "iv"));
  ASSERT_TRUE(ClickScreen(ScrollArrowPoint(F.Window(), false, true)));
  ASSERT_TRUE(WaitFor([&] { return !G->IsEditing(); }));
  EXPECT_EQ(F.Columns[0]->InputValue(), L"iv");
  // Opened again, the input line shows it.
  G->EditInputCell(F.Columns[0]);
  ASSERT_NE(F.Editor(), nullptr);
  EXPECT_EQ(F.Editor()->Text(), L"iv");
}

TEST(EditRoads, AnIndicatorClickBesideAnotherRowWritesTheTypedTextBack) {
  TEditingForm F(3, {goHeader, goGrid, goIndicator});
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(TypeInto(F, 1, 1, "in"));
  SettledClick(F.Window(), 5, F.CellPoint(1, 3).Y);
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() == 3; }));
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->Cells(1, 1), Typed(1, 1, "in"));
}

TEST(EditRoads, AnIndicatorClickThatLetsOtherSelectedRowsGoWritesTheTypedTextBack) {
  TEditingForm F(3, {goHeader, goGrid, goIndicator, goMultiSelect, goSelectFullRow});
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(TypeInto(F, 1, 1, "ms"));
  G->SelectAll();
  SettledClick(F.Window(), 5, F.CellPoint(1, 1).Y);
  ASSERT_TRUE(WaitFor([&] { return G->GetSelectedCount() == 1; }));
  EXPECT_EQ(G->Cells(1, 1), Typed(1, 1, "ms"));
}

TEST(EditRoads, ASortingHeaderClickWritesTheTypedTextBeforeTheRowsMove) {
  TEditingForm F(3, {goHeader, goGrid});
  TNxGrid* G = F.Grid;
  F.Columns[0]->SetSortKind(skDescending);
  ASSERT_TRUE(TypeInto(F, 1, 1, "hd"));
  SettledClick(F.Window(), F.CellPoint(0, 0).X, G->HeaderSize() / 2);
  ASSERT_TRUE(WaitFor([&] { return F.Columns[0]->Sorted(); }));
  EXPECT_FALSE(G->IsEditing());
  // Descending: r3, r2, r1, r0; the edited row went with its text.
  EXPECT_EQ(G->Cells(0, 2), L"r1c0");
  EXPECT_EQ(G->Cells(1, 2), Typed(1, 1, "hd"));
}

TEST(EditRoads, ARightClickOnTheChromeWritesTheTypedTextBack) {
  TEditingForm F(3, {goHeader, goGrid, goIndicator, goFooter, goInput}, 6);
  TNxGrid* G = F.Grid;
  const int X = F.CellPoint(1, 0).X;
  const TRect Input = G->GetInputRect();
  const TRect Footer = G->GetFooterRect();
  const struct {
    const char* Where;
    TPoint At;
  } Places[] = {{"header", Point(X, G->HeaderSize() / 2)},
                {"footer", Point(X, (Footer.Top + Footer.Bottom) / 2)},
                {"indicator beside the row", Point(5, F.CellPoint(1, 2).Y)},
                {"input line", Point(X, (Input.Top + Input.Bottom) / 2)}};
  for (const auto& P : Places) {
    SCOPED_TRACE(P.Where);
    ASSERT_TRUE(TypeInto(F, 1, 2, "x"));
    const std::wstring Want = G->Cells(1, 2) + L"x";
    SettledClick(F.Window(), P.At.X, P.At.Y, true);
    ASSERT_TRUE(WaitFor([&] { return !G->IsEditing(); }));
    EXPECT_EQ(G->Cells(1, 2), Want);
  }
}

TEST(EditRoads, WithTheKeysDisabledPageKeysLeaveTheEditorAsItIs) {
  TEditingForm F(3, {goHeader, goGrid, goDisableKeys}, 50);
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(TypeInto(F, 1, 1, "dk"));
  for (WORD Vk : {VK_NEXT, VK_PRIOR}) {
    PressKey(Vk);
    Pump();
    SCOPED_TRACE(Vk);
    EXPECT_TRUE(G->IsEditing());
    EXPECT_TRUE(F.EditorFocused());
    ASSERT_NE(F.Editor(), nullptr);
    EXPECT_EQ(F.Editor()->Text(), Typed(1, 1, "dk"));
    EXPECT_EQ(G->GetSelectedCell(), Point(1, 1));
    EXPECT_EQ(G->Cells(1, 1), L"r1c1");
  }
}

TEST(EditRoads, OnEditExitStillKnowsTheEditedCell) {
  TEditingForm F;
  TNxGrid* G = F.Grid;
  std::vector<std::string> Seen;
  G->OnEditExit = [&](TObject*) {
    Seen.push_back(TEventLog::Cell("exit", G->EditCol(), G->EditRow()) + (G->IsEditing() ? " editing" : ""));
  };
  G->EditCell(2, 1);
  G->EndEditing();
  EXPECT_EQ(Seen, std::vector<std::string>{"exit:2,1 editing"});
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->EditCol(), -1);
  EXPECT_EQ(G->InplaceEditor(), nullptr);

  // A handler may open the next editor: that one stays open.
  G->OnEditExit = [&](TObject*) {
    if (G->EditRow() == 1) G->EditCell(0, 3);
  };
  G->EditCell(2, 1);
  G->EndEditing();
  EXPECT_TRUE(G->IsEditing());
  EXPECT_EQ(Point(G->EditCol(), G->EditRow()), Point(0, 3));
  ASSERT_NE(F.Editor(), nullptr);
  EXPECT_EQ(F.Editor()->Text(), L"r3c0");
  EXPECT_TRUE(F.Editor()->Visible());
  // A handler may delete the edited row, or end the edit again itself.
  G->OnEditExit = [&](TObject*) { G->DeleteRow(G->EditRow()); };
  G->EndEditing();
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->RowCount(), 3);
  G->OnEditExit = [&](TObject*) { G->EndEditing(); };
  G->EditCell(1, 0);
  G->EndEditing();
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->InplaceEditor(), nullptr);
  Settle(F.Window());
}

// Columns that come, go or move while a cell is edited: the typed text goes into its own cell
// first, OnEndEditing and OnEditExit are told of the edited cell as it stands then, so that a
// handler saving the text writes it into that cell, and no other cell changes.
TEST(EditRoads, ColumnsChangingDuringAnEditLeaveTheTextInItsOwnCell) {
  const struct {
    TColumnChange Change;
    const char* Row;  // row 1 afterwards
    bool Ends;        // the change ends the edit (the edit goes on otherwise, and is ended after)
  } Changes[] = {
      {{"insert in front", [](TEditingForm& F) { F.Grid->Columns()->Insert(0, new TNxTextColumn(F.Form)); }},
       "|r1c0|r1c1|typed", true},
      {{"add behind", [](TEditingForm& F) { F.Grid->Columns()->Add(new TNxTextColumn(F.Form)); }}, "r1c0|r1c1|typed|",
       false},
      {{"delete in front", [](TEditingForm& F) { F.Grid->Columns()->Delete(0); }}, "r1c1|typed", true},
      {{"free the column in front", [](TEditingForm& F) { delete F.Columns[0]; }}, "r1c1|typed", true},
      {{"delete the edited column", [](TEditingForm& F) { F.Grid->Columns()->Delete(2); }}, "r1c0|r1c1", true},
      {{"move the edited column first", [](TEditingForm& F) { F.Columns[2]->SetPosition(0); }}, "r1c0|r1c1|typed",
       false},
      {{"clear the columns", [](TEditingForm& F) { F.Grid->Columns()->Clear(); }}, "<none>", true},
  };
  for (const auto& C : Changes) {
    SCOPED_TRACE(C.Change.Name);
    TEditingForm F;
    TNxGrid* G = F.Grid;
    std::vector<std::string> Told;
    G->OnEndEditing = [&](TObject*, int ACol, int ARow, WideString& Value, bool&) {
      Told.push_back("end " + WideToAnsi(G->Cells(ACol, ARow)));
      G->SetCells(ACol, ARow, Value);
    };
    G->OnEditExit = [&](TObject*) { Told.push_back("exit " + WideToAnsi(G->Cells(G->EditCol(), G->EditRow()))); };
    G->EditCell(2, 1, L"typed");
    C.Change.Change(F);
    EXPECT_EQ(G->IsEditing(), !C.Ends);
    if (G->IsEditing()) G->EndEditing();
    EXPECT_EQ(Told, (std::vector<std::string>{C.Ends ? "end typed" : "end r1c2", "exit typed"}));
    EXPECT_EQ(RowText(G, 1), C.Row);
    EXPECT_EQ(G->CellStore()->ColumnCount(), G->Columns()->Count());
    Settle(F.Window());
  }
}

// An end that OnEndEditing refuses keeps the editor on its cell (the typed text written into it)
// while columns come or go in front of it; when its own column goes, the editor closes and no
// handler hears of that column.
// The same when OnDataChange raises for the change (the error reaches the caller, or the
// application's handler when the column is freed by its owner).
TEST(EditRoads, ARefusedEndKeepsTheEditorOnItsCellOrClosesWithItsColumn) {
  const struct {
    TColumnChange Change;
    int EditCol;  // -1: the edit is over
  } Changes[] = {
      {{"insert in front", [](TEditingForm& F) { F.Grid->Columns()->Insert(0, new TNxTextColumn(F.Form)); }}, 3},
      {{"delete in front", [](TEditingForm& F) { F.Grid->Columns()->Delete(0); }}, 1},
      {{"delete the edited column", [](TEditingForm& F) { F.Grid->Columns()->Delete(2); }}, -1},
      {{"free the edited column", [](TEditingForm& F) { delete F.Columns[2]; }}, -1},
      {{"take the edited column out", [](TEditingForm& F) { F.Grid->Columns()->Remove(F.Columns[2]); }}, -1},
  };
  std::string Reported;
  Application->OnException = [&](TObject*, Exception& E) { Reported = E.Message; };
  TScopeExit Restore([] { Application->OnException = nullptr; });
  for (const bool Raising : {false, true}) {
    for (const auto& C : Changes) {
      SCOPED_TRACE(std::string(C.Change.Name) + (Raising ? ", OnDataChange raising" : ""));
      TEditingForm F;
      TNxGrid* G = F.Grid;
      int Ends = 0, Exits = 0;
      G->OnEndEditing = [&](TObject*, int ACol, int ARow, WideString&, bool& Accept) {
        EXPECT_EQ(G->Cells(ACol, ARow), L"typed");
        Accept = ++Ends > 1;
      };
      G->OnEditExit = [&](TObject*) { ++Exits; };
      if (Raising) G->OnDataChange = [](TObject*, TDataChange, int) { throw Exception("refused"); };
      G->EditCell(2, 1, L"typed");
      TNxCustomEdit* E = F.Editor();
      Reported.clear();
      const std::string Caught = exctest::MessageOf<Exception>([&] { C.Change.Change(F); }, "");
      G->OnDataChange = nullptr;
      EXPECT_EQ(Caught + Reported, Raising ? "refused" : "");
      EXPECT_EQ(Ends, 1);
      EXPECT_EQ(G->EditCol(), C.EditCol);
      Settle(F.Window());
      if (C.EditCol < 0) {
        EXPECT_FALSE(G->IsEditing());
        EXPECT_EQ(G->InplaceEditor(), nullptr);
        EXPECT_EQ(Exits, 0);
        continue;
      }
      ASSERT_EQ(F.Editor(), E);
      EXPECT_EQ(E->Text(), L"typed");
      EXPECT_TRUE(IsWindowVisible(E->Handle()));
      EXPECT_EQ(E->BoundsRect().Left, G->GetCellRect(C.EditCol, 1).Left + 1);
      G->EndEditing();
      EXPECT_EQ(Exits, 1);
    }
  }
  // The last column takes the rows with it; no handler hears of the edit either.
  TEditingForm F(1);
  TNxGrid* G = F.Grid;
  int Ends = 0;
  G->OnEndEditing = [&](TObject*, int ACol, int ARow, WideString&, bool& Accept) {
    EXPECT_EQ(G->Cells(ACol, ARow), L"typed");
    Accept = ++Ends > 1;
  };
  G->EditCell(0, 1, L"typed");
  G->Columns()->Delete(0);
  EXPECT_EQ(Ends, 1);
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->RowCount(), 0);
  Settle(F.Window());
}

// A handler that raises while a column comes or goes (OnDataChange, or OnEndEditing or
// OnEditExit of the edit that the change ends) does not stop the change half way: the error
// reaches the caller, or the application's handler when the column is freed by its owner, and
// the column list and the cells agree.
TEST(EditRoads, AHandlerThatRaisesDuringAColumnChangeReachesTheCaller) {
  auto Refuse = [] { throw Exception("refused"); };
  const struct {
    const char* Name;
    std::function<void(TNxGrid*)> Arm;
  } Handlers[] = {
      {"OnDataChange", [&](TNxGrid* G) { G->OnDataChange = [&](TObject*, TDataChange, int) { Refuse(); }; }},
      {"OnEndEditing",
       [&](TNxGrid* G) { G->OnEndEditing = [&](TObject*, int, int, WideString&, bool&) { Refuse(); }; }},
      {"OnEditExit", [&](TNxGrid* G) { G->OnEditExit = [&](TObject*) { Refuse(); }; }},
  };
  const struct {
    TColumnChange Change;
    int Count;     // columns afterwards
    bool ByOwner;  // the column is freed by its owner: the error goes to the application
  } Changes[] = {
      {{"delete", [](TEditingForm& F) { F.Grid->Columns()->Delete(1); }}, 2, false},
      {{"insert", [](TEditingForm& F) { F.Grid->Columns()->Insert(0, new TNxTextColumn(F.Form)); }}, 4, false},
      {{"clear", [](TEditingForm& F) { F.Grid->Columns()->Clear(); }}, 0, false},
      {{"free", [](TEditingForm& F) { delete F.Columns[1]; }}, 2, true},
  };
  std::string Reported;
  Application->OnException = [&](TObject*, Exception& E) { Reported = E.Message; };
  TScopeExit Restore([] { Application->OnException = nullptr; });
  for (const auto& H : Handlers) {
    for (const auto& C : Changes) {
      SCOPED_TRACE(std::string(H.Name) + " " + C.Change.Name);
      TEditingForm F;
      TNxGrid* G = F.Grid;
      std::map<TNxCustomColumn*, int> Was;
      for (int I = 0; I < 3; ++I) Was[F.Columns[I]] = I;
      G->EditCell(2, 1, L"typed");
      H.Arm(G);
      Reported.clear();
      const std::string Caught = exctest::MessageOf<Exception>([&] { C.Change.Change(F); }, "");
      G->OnDataChange = nullptr;
      G->OnEndEditing = nullptr;
      G->OnEditExit = nullptr;
      EXPECT_EQ(C.ByOwner ? Reported : Caught, "refused");
      EXPECT_EQ(C.ByOwner ? Caught : Reported, "");
      ASSERT_EQ(G->Columns()->Count(), C.Count);
      ASSERT_EQ(G->CellStore()->ColumnCount(), C.Count);
      // Every column keeps its own cells (a new one has empty cells); the typed text went into
      // its own cell.
      for (int Col = 0; Col < C.Count; ++Col) {
        const auto It = Was.find(G->Columns()->Item(Col));
        for (int R = 0; R < G->RowCount(); ++R) {
          std::wstring Own = It == Was.end() ? L"" : L"r" + std::to_wstring(R) + L"c" + std::to_wstring(It->second);
          if (It != Was.end() && It->second == 2 && R == 1) Own = L"typed";
          EXPECT_EQ(G->Cells(Col, R), Own) << Col << "," << R;
        }
      }
      // They stand side by side in display order.
      for (int P = 0; P < C.Count; ++P) EXPECT_EQ(G->Columns()->ItemByPosition(P)->Left(), 80 * P) << P;
      // An edit that outlived the change is on the cell it was opened on.
      if (G->IsEditing()) {
        EXPECT_EQ(G->Cells(G->EditCol(), G->EditRow()), L"typed");
      }
      G->EndEditing();
      EXPECT_FALSE(G->IsEditing());
      Settle(F.Window());
    }
  }
}

// A hidden column takes no typing: hiding the selected column (by the program, or by the user
// dragging its header out of the header strip) moves the selection to the next shown column,
// whose cell the typing then edits; no editor opens on a hidden column, and one whose end is
// refused is not left standing when its column is hidden.
TEST(EditRoads, AHiddenColumnTakesNoTyping) {
  const struct {
    const char* Name;
    std::function<bool(TEditingForm&)> Hide;
  } Ways[] = {
      {"by the program",
       [](TEditingForm& F) {
         F.Columns[1]->SetVisible(false);
         return true;
       }},
      {"header dragged out",
       [](TEditingForm& F) {
         if (!Press(F.Window(), 120, 9) || !PointerTo(F.Window(), 126, 9)) return false;
         if (!DragBoxTo(F.Grid, 120, 120)) return false;
         Release();
         return WaitFor([&] { return !F.Columns[1]->Visible(); });
       }},
  };
  for (const auto& W : Ways) {
    SCOPED_TRACE(W.Name);
    TEditingForm F(3, {goHeader, goGrid, goCanHideColumn, goInput});
    TNxGrid* G = F.Grid;
    ASSERT_TRUE(F.ClickToEdit(1, 1));
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !G->IsEditing() && G->IsFocused(); }));
    ASSERT_TRUE(W.Hide(F));
    EXPECT_EQ(G->GetSelectedCell(), Point(2, 1));
    ASSERT_TRUE(WaitFor([&] { return G->IsFocused(); }));
    TypeText("z");
    ASSERT_TRUE(WaitFor([&] { return G->IsEditing(); }));
    EXPECT_EQ(Point(G->EditCol(), G->EditRow()), Point(2, 1));
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !G->IsEditing(); }));
    EXPECT_EQ(RowText(G, 1), "r1c0|r1c1|z");
    // No editor opens on the hidden column.
    G->EditCell(1, 2, L"x");
    G->EditCellWithKey(1, 2, L'x');
    G->EditInputCell(F.Columns[1]);
    EXPECT_FALSE(G->IsEditing());
    // An editor whose end is refused does not stay in sight over the next column.
    F.Columns[1]->SetVisible(true);
    G->OnEndEditing = [](TObject*, int, int, WideString&, bool& Accept) { Accept = false; };
    G->EditCell(1, 2, L"x");
    ASSERT_TRUE(G->IsEditing());
    F.Columns[1]->SetVisible(false);
    EXPECT_FALSE(IsWindowVisible(F.Editor()->Handle()));
    G->OnEndEditing = nullptr;
    G->EndEditing();
    EXPECT_EQ(RowText(G, 1), "r1c0|r1c1|z");
    Settle(F.Window());
  }
  // A selection that falls on a hidden column when its own column goes moves on likewise.
  TEditingForm F;
  F.Columns[1]->SetVisible(false);
  F.Grid->SelectCell(0, 1);
  F.Grid->Columns()->Delete(0);
  EXPECT_EQ(F.Grid->GetSelectedCell(), Point(1, 1));
}

// A column freed under the pointer while OnDataChange raises is forgotten all the same: the grid
// names no column that is gone, and the pointer moving on touches nothing of it.
TEST(EditRoads, AColumnFreedUnderThePointerIsForgottenWhenAHandlerRaises) {
  TEditingForm F(3, {goHeader, goGrid});
  TNxGrid* G = F.Grid;
  for (TNxTextColumn* C : F.Columns) C->Header()->SetHint(L"hint");
  std::string Reported;
  Application->OnException = [&](TObject*, Exception& E) { Reported = E.Message; };
  TScopeExit Restore([] { Application->OnException = nullptr; });
  ASSERT_TRUE(PointerTo(F.Window(), 120, 9));
  ASSERT_TRUE(WaitFor([&] { return G->HotColumn() == F.Columns[1]; }));
  G->OnDataChange = [](TObject*, TDataChange, int) { throw Exception("refused"); };
  delete F.Columns[1];
  G->OnDataChange = nullptr;
  EXPECT_EQ(Reported, "refused");
  EXPECT_EQ(G->HotColumn(), nullptr);
  ASSERT_TRUE(PointerTo(F.Window(), 60, 9));
  ASSERT_TRUE(PointerTo(F.Window(), 60, 60));
  Settle(F.Window());
}

// The grid, or its form, freed while a cell is edited: by code while the editor holds the focus,
// or by a handler of the edit's end (OnEndEditing, OnEditExit) or of the grid's focus loss
// (OnExit), whichever way the edit ends: Enter, Escape, a click on another cell, the focus moving
// to another control, EndEditing in code. No fault, no handler called on the freed grid, the
// focus stays in the form (on the form or what remains) and moves on from there, the form closes.
TEST(EditRoads, AGridFreedWhileACellIsEditedTakesItsEditorWithItSafely) {
  enum TRoad { Enter, Escape, Click, FocusAway, InCode, Direct };
  const char* Roads[] = {"Enter", "Escape", "a click on another cell", "the focus to another control",
                         "EndEditing in code", "nothing (freed by code)"};
  enum THandler { OnEndEditing, OnEditExit, OnExit, None };
  const char* Handlers[] = {"OnEndEditing", "OnEditExit", "OnExit", "no handler"};
  struct TRow {
    TRoad Road;
    THandler Handler;
    bool Form;  // the form goes, not the grid alone
  };
  std::vector<TRow> Rows;
  for (const bool Form : {false, true}) {
    for (const TRoad R : {Enter, Escape, Click, FocusAway, InCode})
      for (const THandler H : {OnEndEditing, OnEditExit}) Rows.push_back({R, H, Form});
    Rows.push_back({FocusAway, OnExit, Form});
    Rows.push_back({Direct, None, Form});
  }
  for (const TRow& Row : Rows) {
    SCOPED_TRACE(std::string(Roads[Row.Road]) + ", " + Handlers[Row.Handler] + " frees the " +
                 (Row.Form ? "form" : "grid"));
    memguard::TFaultCount Faults;
    TEditingForm F;
    TNxGrid* G = F.Grid;
    auto* Other = new TEdit(F.Form);
    Other->SetBounds(10, 212, 100, 20);
    Other->SetParent(F.Form);
    TFreeWatch GridWatch(G), FormWatch(F.Form);
    int OnFreed = 0;
    auto Free = [&] {
      if (GridWatch.Freed()) {
        ++OnFreed;
        return;
      }
      if (Row.Form) {
        delete F.Form;
        F.Form = nullptr;
      } else {
        delete G;
      }
    };
    if (Row.Handler == OnEndEditing) G->OnEndEditing = [&](TObject*, int, int, WideString&, bool&) { Free(); };
    if (Row.Handler == OnEditExit) G->OnEditExit = [&](TObject*) { Free(); };
    if (Row.Handler == OnExit) G->OnExit = [&](TObject*) { Free(); };
    ASSERT_TRUE(F.ClickToEdit(1, 1));
    TypeText("ab");
    switch (Row.Road) {
      case Enter: PressKey(VK_RETURN); break;
      case Escape: PressKey(VK_ESCAPE); break;
      case Click: {
        const TPoint P = F.CellPoint(0, 3);
        SettledClick(F.Window(), P.X, P.Y);
        break;
      }
      case FocusAway: Other->SetFocus(); break;
      case InCode: G->EndEditing(); break;
      case Direct: Free(); break;
    }
    Pump();
    EXPECT_TRUE(GridWatch.Freed());
    EXPECT_EQ(OnFreed, 0);
    EXPECT_EQ(Faults.Count(), 0);
    if (Row.Form) {
      EXPECT_TRUE(FormWatch.Freed());
      continue;
    }
    const HWND Now = GetFocus();
    EXPECT_TRUE(Now == F.Form->Handle() || Now == Other->Handle());
    EXPECT_TRUE(F.Form->ActiveControl() == nullptr || F.Form->ActiveControl() == Other);
    Other->SetFocus();
    EXPECT_TRUE(WaitFor([&] { return Other->Focused(); }));
    delete F.Form;
    F.Form = nullptr;
    Pump();
    EXPECT_EQ(OnFreed, 0);
    EXPECT_EQ(Faults.Count(), 0);
  }
}

// Hiding the edited column ends the edit whatever its handlers raise, and no error is lost: the
// column's refusal of the typed text reaches the caller, and a handler's error the caller when
// nothing was refused, the application's handler otherwise.
TEST(EditRoads, HidingTheEditedColumnEndsTheEditAndReportsEveryError) {
  const char* const Refusal = "'abc' is not a valid floating point value";
  const struct {
    const char* Handler;  // the handler that raises, nullptr for none
    const wchar_t* Typed;
    const char* Caught;
    const char* Reported;
    const wchar_t* Cell;  // afterwards
  } Cases[] = {
      {"OnEndEditing", L"2.5", "raised", "", L"2.5"},
      {"OnEditExit", L"2.5", "raised", "", L"2.5"},
      {nullptr, L"abc", Refusal, "", L"0"},
      {"OnEndEditing", L"abc", Refusal, "raised", L"0"},
      {"OnEditExit", L"abc", Refusal, "raised", L"0"},
  };
  std::string Reported;
  Application->OnException = [&](TObject*, Exception& E) { Reported = E.Message; };
  TScopeExit Restore([] { Application->OnException = nullptr; });
  for (const auto& C : Cases) {
    SCOPED_TRACE(std::string(C.Handler ? C.Handler : "no handler") + " raising, typed " + WideToAnsi(C.Typed));
    TEditingForm F;
    TNxGrid* G = F.Grid;
    auto* Numbers = new TNxTextColumn(F.Form);
    Numbers->SetColumnKind(ckFloat);
    Numbers->SetOptions(F.Columns[0]->Options());
    Numbers->SetWidth(50);
    G->Columns()->Add(Numbers);
    const std::string Handler = C.Handler ? C.Handler : "";
    G->OnEndEditing = [&](TObject*, int, int, WideString&, bool&) {
      if (Handler == "OnEndEditing") throw Exception("raised");
    };
    G->OnEditExit = [&](TObject*) {
      if (Handler == "OnEditExit") throw Exception("raised");
    };
    G->EditCell(3, 1, C.Typed);
    ASSERT_TRUE(G->IsEditing());
    Reported.clear();
    EXPECT_EQ(exctest::MessageOf<Exception>([&] { Numbers->SetVisible(false); }, ""), C.Caught);
    EXPECT_EQ(Reported, C.Reported);
    EXPECT_FALSE(Numbers->Visible());
    EXPECT_FALSE(G->IsEditing());
    EXPECT_EQ(G->InplaceEditor(), nullptr);
    EXPECT_EQ(G->Cells(3, 1), C.Cell);
    Settle(F.Window());
  }
}
