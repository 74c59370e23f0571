// What the keys of the grid's navigation do while an in-place editor is open, with real key
// presses: the caret keys stay in the editor (the input line's as well as a body cell's), the page
// keys and Ctrl+A write the typed text back before the selection moves, and nothing typed is lost
// or lands in another cell.
#include <gtest/gtest.h>

#include "framework/Strings.h"
#include "support/EngineTestHelpers.h"

using namespace enginetest;

namespace {

// A form whose columns can be edited; rows "r<row>c<col>".
struct TKeysForm : TEditingForm {
  explicit TKeysForm(TGridOptions Options, int Rows = 4) : TEditingForm(3, Options, Rows) {}
};

}  // namespace

TEST(EditorKeys, CaretKeysStayInTheInputLineEditor) {
  TKeysForm F({goHeader, goInput});
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(F.TypeIntoInputLine(1, "abc"));
  // Each key moves the caret in the editor; the selection, the input line and the text stay.
  for (WORD Vk : {VK_LEFT, VK_RIGHT, VK_HOME, VK_END, VK_DOWN, VK_UP}) {
    PressKey(Vk);
    Pump();
    SCOPED_TRACE(Vk);
    EXPECT_TRUE(G->GridState().Contains(gsInputEditing));
    EXPECT_TRUE(G->InputSelected());
    EXPECT_EQ(G->SelectedColumn(), 1);
    EXPECT_EQ(G->InputColumn(), 1);
    ASSERT_NE(F.Editor(), nullptr);
    EXPECT_EQ(F.Editor()->Text(), L"abc");
    EXPECT_TRUE(F.EditorFocused());
  }
  // Home put the caret first: typing goes in front.
  PressKey(VK_HOME);
  TypeText("x");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"xabc"; }));
  // Enter still adds the row with what was typed.
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return G->RowCount() == 5; }));
  EXPECT_EQ(G->Cells(1, 4), L"xabc");
}

TEST(EditorKeys, PageKeysWriteTheTypedTextBackBeforeMoving) {
  TKeysForm F({goHeader, goGrid}, 50);
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(F.ClickToEdit(1, 1));
  TypeText("pd");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r1c1pd"; }));
  PressKey(VK_NEXT);
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() > 1; }));
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->Cells(1, 1), L"r1c1pd");
  const int Down = G->SelectedRow();
  EXPECT_EQ(G->Cells(1, Down), L"r" + std::to_wstring(Down) + L"c1");
  ASSERT_TRUE(WaitFor([&] { return GetFocus() == F.Window(); }));
  // Page Up likewise, from an editor opened further down.
  ASSERT_TRUE(F.ClickToEdit(2, Down));
  TypeText("pu");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r" + std::to_wstring(Down) + L"c2pu"; }));
  PressKey(VK_PRIOR);
  ASSERT_TRUE(WaitFor([&] { return G->SelectedRow() < Down; }));
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->Cells(2, Down), L"r" + std::to_wstring(Down) + L"c2pu");
}

TEST(EditorKeys, CtrlAInABodyEditorSelectsTheRowsAndKeepsTheEdit) {
  TKeysForm F({goHeader, goGrid, goSelectFullRow, goMultiSelect});
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(F.ClickToEdit(0, 2));
  TypeText("ca");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r2c0ca"; }));
  KeyWith(VK_CONTROL, 'A');
  ASSERT_TRUE(WaitFor([&] { return G->GetSelectedCount() == 4; }));
  // The selected cell did not move, so the editor stays open on it with what was typed, and
  // typing goes on in it.
  EXPECT_EQ(G->EditCol(), 0);
  EXPECT_EQ(G->EditRow(), 2);
  EXPECT_TRUE(F.EditorFocused());
  TypeText("q");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r2c0caq"; }));
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return !G->IsEditing(); }));
  EXPECT_EQ(G->Cells(0, 2), L"r2c0caq");
  EXPECT_EQ(G->GetSelectedCount(), 4);
}

TEST(EditorKeys, PageKeysKeepTheInputLineValue) {
  TKeysForm F({goHeader, goInput}, 30);
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(F.TypeIntoInputLine(0, "iv"));
  PressKey(VK_NEXT);
  ASSERT_TRUE(WaitFor([&] { return !G->InputSelected(); }));
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(F.Columns[0]->InputValue(), L"iv");
  // Back on the input line the value is there again.
  G->EditInputCell(F.Columns[0]);
  ASSERT_NE(F.Editor(), nullptr);
  EXPECT_EQ(F.Editor()->Text(), L"iv");
}
