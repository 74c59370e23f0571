// What was typed into an in-place editor is never thrown away by the mouse, with real input: a
// click on either scroll bar, roll scrolling, a click on the indicator beside another row, a
// sorting header click and a right click on the chrome all write the text back (unless
// OnEditAccept refuses) before the editor closes. Only Escape discards. With the keys disabled
// the page keys leave the editor as it is, and OnEditExit still knows the cell that was edited.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/EngineTestHelpers.h"

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
