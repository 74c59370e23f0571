// The grid's key handling (typing that starts editing, incremental search and its timer, range
// selection), its hint windows (text that does not fit, header and cell hints) and the cursors of
// the program's resources, with real input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grid/NxCustomGrid.h"
#include "support/EngineTestHelpers.h"

using namespace enginetest;
using gridtest::TChannelListForm;

namespace {

TPoint ScreenOf(TNxCustomGrid* G, int X, int Y) { return G->ClientToScreen(Point(X, Y)); }

// Fires the search timer's handler as one tick would.
void TickSearchTimer(TNxCustomGrid* G) { G->SearchTimer()->OnTimer()(G->SearchTimer()); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Incremental search

struct SearchForm : TEngineForm {
  SearchForm() : TEngineForm(2) {
    const wchar_t* Names[] = {L"Alpha", L"beta", L"Bravo", L"Charlie", L"bob", L"Delta"};
    for (const wchar_t* N : Names) {
      const int R = Grid->AddRow(1);
      Grid->SetCells(0, R, N);
      Grid->SetCells(1, R, L"x");
    }
    Columns[0]->SetOptions(Columns[0]->Options() + coSearchColumn);
    Settle(Window());
  }
};

TEST(GridSearch, TypingSelectsTheNextMatchingRowIgnoringCase) {
  SearchForm F;
  ASSERT_TRUE(F.FocusByClick(1, 0));
  PressKey('B');
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 1; }));  // "beta": the row after row 0
  EXPECT_EQ(F.Grid->TypedSearchText(), L"b");
  EXPECT_TRUE(F.Grid->SearchTimer()->Enabled());
  EXPECT_EQ(F.Grid->SearchTimer()->Interval(), 700u);
  PressKey('R');
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 2; }));  // "Bravo"
  EXPECT_EQ(F.Grid->TypedSearchText(), L"br");
  // No match: the selection stays.
  PressKey('Z');
  Pump();
  EXPECT_EQ(F.Grid->SelectedRow(), 2);
  EXPECT_EQ(F.Grid->TypedSearchText(), L"brz");
}

// While the typed text grows, a selected row that still matches it stays selected (no event
// fires again); one that no longer matches gives way to the next match. A new word after the
// timer's tick starts after the selected row.
TEST(GridSearch, ALongerPrefixKeepsASelectedRowThatStillMatches) {
  TEngineForm F(1);
  for (const wchar_t* N : {L"Alpha", L"beta", L"bella", L"Bert", L"bob"}) F.Grid->SetCells(0, F.Grid->AddRow(1), N);
  F.Columns[0]->SetOptions(F.Columns[0]->Options() + coSearchColumn);
  Settle(F.Window());
  ASSERT_TRUE(F.FocusByClick(0, 0));
  std::vector<int> Selected;
  F.Grid->OnSelectCell = [&](TObject*, int, int R) { Selected.push_back(R); };
  int Typed = 0;
  F.Grid->OnKeyPress = [&](TObject*, wchar_t&) { ++Typed; };
  const struct {
    char Key;
    int Row;
  } Steps[] = {{'B', 1}, {'E', 1}, {'L', 2}, {'L', 2}, {'\b', 2}, {'\b', 2}, {'R', 3}};
  for (const auto& S : Steps) {
    if (S.Key == '\b')
      PressKey(VK_BACK);
    else
      PressKey(S.Key);
    ASSERT_TRUE(WaitFor([&] { return Typed > 0; }));
    Typed = 0;
    EXPECT_EQ(F.Grid->SelectedRow(), S.Row) << "after " << WideToAnsi(F.Grid->TypedSearchText());
  }
  EXPECT_EQ(Selected, (std::vector<int>{1, 2, 3}));
  TickSearchTimer(F.Grid);
  PressKey('B');
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 4; }));
}

// Backspace takes back the last typed letter, and no other control character is typed.
TEST(GridSearch, BackspaceTakesBackALetter) {
  SearchForm F;
  ASSERT_TRUE(F.FocusByClick(1, 0));
  PressKey('B');
  PressKey('R');
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 2; }));  // "Bravo"
  PressKey(VK_BACK);
  KeyWith(VK_CONTROL, 'B');
  SendMessageW(F.Window(), WM_CHAR, 0x7F, 0);  // Ctrl+Backspace on Windows
  Pump();
  EXPECT_EQ(F.Grid->TypedSearchText(), L"b");
  PressKey('O');
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 4; }));  // "bob"
  EXPECT_EQ(F.Grid->TypedSearchText(), L"bo");
}

TEST(GridSearch, TheTimerClearsTheTypedTextAndTheSearchWrapsToTheTop) {
  SearchForm F;
  ASSERT_TRUE(F.FocusByClick(0, 3));
  PressKey('B');
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 4; }));  // "bob" after "Charlie"
  TickSearchTimer(F.Grid);
  EXPECT_EQ(F.Grid->TypedSearchText(), L"");
  EXPECT_FALSE(F.Grid->SearchTimer()->Enabled());
  // A new word: from the row after "bob", past the end and round to the top.
  PressKey('A');
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 0; }));
  EXPECT_EQ(F.Grid->TypedSearchText(), L"a");
  // Without the clearing tick the letters add up: "ab" matches nothing.
  PressKey('B');
  Pump();
  EXPECT_EQ(F.Grid->SelectedRow(), 0);
  TickSearchTimer(F.Grid);
  PressKey('B');
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 1; }));
}

TEST(GridSearch, SearchSkipsHiddenRowsAndAnEditingColumnTypesInstead) {
  SearchForm F;
  F.Grid->SetRowVisible(1, false);
  EXPECT_TRUE(F.Grid->SearchText(F.Columns[0], L"B", true));
  EXPECT_EQ(F.Grid->SelectedRow(), 2);
  EXPECT_FALSE(F.Grid->SearchText(F.Columns[0], L"", true));
  EXPECT_FALSE(F.Grid->SearchText(nullptr, L"B", true));

  // A column with coEditing takes the typed key as the start of an edit, not as a search.
  F.Columns[1]->SetOptions(F.Columns[1]->Options() + coEditing);
  ASSERT_TRUE(F.FocusByClick(0, 0));
  F.Grid->SelectCell(1, 0);
  PressKey('B');
  ASSERT_TRUE(WaitFor([&] { return F.Grid->GridState().Contains(gsEditing); }));
  EXPECT_EQ(F.Grid->InplaceEditor()->Text(), L"b");
  EXPECT_EQ(F.Grid->SelectedRow(), 0);
  EXPECT_EQ(F.Grid->TypedSearchText(), L"");
}

// ---------------------------------------------------------------------------------------------
// Keys

TEST(GridKeys, TypingOnTheInputLineOpensItsEditorWithThatKey) {
  TEngineForm F(2, {goHeader, goInput}, 300, 200, 80, true);
  F.Fill(3);
  ASSERT_TRUE(F.FocusByClick(0, 0));
  PressKey(VK_ESCAPE);  // the click opened the cell's editor
  ASSERT_TRUE(WaitFor([&] { return !F.Grid->IsEditing(); }));
  PressKey(VK_UP);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->InputSelected(); }));
  PressKey('Q');
  ASSERT_TRUE(WaitFor([&] { return F.Grid->GridState().Contains(gsInputEditing); }));
  EXPECT_EQ(F.Grid->InplaceEditor()->Text(), L"q");
  EXPECT_EQ(F.Grid->InputColumn(), 0);
}

TEST(GridKeys, ShiftEndSelectsTheRangeInMultiSelectAndCtrlASelectsAll) {
  TEngineForm F(2, {goHeader, goMultiSelect, goSelectFullRow});
  F.Fill(6);
  ASSERT_TRUE(F.FocusByClick(0, 2));
  KeyWith(VK_SHIFT, VK_END);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 5; }));
  EXPECT_TRUE(F.Grid->GridState().Contains(gsRangeSelect));
  for (int R = 2; R < 6; ++R) EXPECT_TRUE(F.Grid->GetSelected(R)) << R;
  EXPECT_FALSE(F.Grid->GetSelected(1));
  KeyWith(VK_CONTROL, 'A');
  ASSERT_TRUE(WaitFor([&] { return F.Grid->GetSelected(0); }));
  EXPECT_EQ(F.Grid->GetSelectedCount(), 6);
}

TEST(GridKeys, DisabledKeysLeaveTheSelection) {
  SearchForm F;
  ASSERT_TRUE(F.FocusByClick(0, 0));
  F.Grid->SetOptions(F.Grid->Options() + goDisableKeys);
  PressKey(VK_DOWN);
  PressKey('B');
  Pump();
  EXPECT_EQ(F.Grid->SelectedRow(), 0);
  EXPECT_EQ(F.Grid->TypedSearchText(), L"");
}

TEST(GridKeys, TheGridAsksForArrowsCharsAndTabsOnlyWhenItWantsTabs) {
  TEngineForm F(2);
  const LRESULT Code = SendMessageW(F.Window(), WM_GETDLGCODE, 0, 0);
  EXPECT_NE(Code & DLGC_WANTARROWS, 0);
  EXPECT_NE(Code & DLGC_WANTCHARS, 0);
  EXPECT_EQ(Code & DLGC_WANTTAB, 0);
  F.Grid->SetWantTabs(true);
  EXPECT_NE(SendMessageW(F.Window(), WM_GETDLGCODE, 0, 0) & DLGC_WANTTAB, 0);
}

// ---------------------------------------------------------------------------------------------
// Hints

TEST(GridHints, TextThatDoesNotFitShowsOverItsCell) {
  TChannelListForm F;
  F.AddLines({L"Short", L"A channel name far too long to fit into the list", L"Tiny"});
  ASSERT_TRUE(realinput::BringToFront(F.Form->Handle()));
  const TPoint Long = F.RowPoint(1);
  ASSERT_TRUE(PointerTo(F.GridWindow(), Long.X, Long.Y));
  ASSERT_TRUE(WaitFor([&] { return !ShownHintRect(F.Grid).IsEmpty(); }));
  EXPECT_EQ(F.Grid->HintKind(), ghTextFit);
  EXPECT_EQ(F.Grid->HintWindow()->Text(), L"A channel name far too long to fit into the list");
  // Over the cell: the hint's corner is the cell's corner.
  const TRect Cell = F.Grid->GetCellRect(0, 1);
  const TRect H = ShownHintRect(F.Grid);
  EXPECT_EQ(Point(H.Left, H.Top), ScreenOf(F.Grid, Cell.Left, Cell.Top));
  // Sized within the grid's client width: the text wraps onto more lines than it needs when
  // free to run on, and the hint ends no further right than the grid (plus its frame).
  const TRect OneLine = F.Grid->HintWindow()->CalcHintRect(10000, F.Grid->HintWindow()->Text());
  EXPECT_GT(OneLine.Width(), Cell.Width());
  EXPECT_LE(H.Width(), F.Grid->ClientWidth() + 6);
  EXPECT_GT(H.Height(), OneLine.Height());
  // It shows the hint colour and text on it.
  uitest::Settle(F.Grid->HintWindow()->Handle());
  const TCapture Pic(F.Grid->HintWindow()->Handle());
  const COLORREF Back = GetSysColor(COLOR_INFOBK);
  const TRect Inside{2, 2, Pic.Width() - 2, Pic.Height() - 2};
  EXPECT_GT(Pic.Count(Inside, Back), Inside.Width() * Inside.Height() / 2);
  EXPECT_GT(Pic.CountOther(Inside, Back), 20);
  uitest::SaveScreenshot(F.Form->Handle(), "grid_text_fit_hint");

  // Text that fits shows no hint. The wrapped hint covers the row below: the pointer reaches the
  // grid through it.
  const TRect Below = F.Grid->GetCellRect(0, 2);
  ASSERT_TRUE(H.Contains(ScreenOf(F.Grid, Below.Left + 10, Below.Top + 4)));
  const TPoint Short = Point(Below.Left + 10, Below.Top + 4);
  ASSERT_TRUE(PointerTo(F.GridWindow(), Short.X, Short.Y));
  ASSERT_TRUE(WaitFor([&] { return ShownHintRect(F.Grid).IsEmpty(); }));
  EXPECT_EQ(F.Grid->HintKind(), ghNone);
}

TEST(GridHints, TheHintOfAVeryLongRowFitsTheWorkArea) {
  TChannelListForm F;
  F.AddLines({L"Short", L"Name|" + std::wstring(300, L'7') + L",x", L"Name|" + std::wstring(2000000, L'7') + L",x"});
  ASSERT_TRUE(realinput::BringToFront(F.Form->Handle()));
  const TRect Work = Screen->WorkAreaRect();
  for (int Row : {1, 2}) {
    SCOPED_TRACE(Row);
    ASSERT_TRUE(PointerTo(F.GridWindow(), 10, 2));  // the first row
    ASSERT_TRUE(WaitFor([&] { return ShownHintRect(F.Grid).IsEmpty(); }));
    const TPoint P = F.RowPoint(Row);
    ASSERT_TRUE(PointerTo(F.GridWindow(), P.X, P.Y));
    ASSERT_TRUE(WaitFor([&] { return !ShownHintRect(F.Grid).IsEmpty(); }));
    const TRect H = ShownHintRect(F.Grid);
    EXPECT_TRUE(H.Left >= Work.Left && H.Top >= Work.Top && H.Right <= Work.Right && H.Bottom <= Work.Bottom)
        << H.Left << "," << H.Top << " - " << H.Right << "," << H.Bottom;
    EXPECT_LE(F.Grid->HintWindow()->Text().size(), THintWindow::MaxHintLength + 3);
    uitest::SaveScreenshot(F.Grid->HintWindow()->Handle(), Row == 1 ? "grid_long_row_hint" : "grid_huge_row_hint");
  }
}

TEST(GridHints, ClicksOnACellUnderItsHintReachTheGrid) {
  TChannelListForm F;
  F.AddLines({L"Short", L"A channel name far too long to fit into the list", L"Tiny"});
  ASSERT_TRUE(realinput::BringToFront(F.Form->Handle()));
  const TPoint Long = F.RowPoint(1);
  ASSERT_TRUE(PointerTo(F.GridWindow(), Long.X, Long.Y));
  ASSERT_TRUE(WaitFor([&] { return !ShownHintRect(F.Grid).IsEmpty(); }));
  ASSERT_TRUE(ShownHintRect(F.Grid).Contains(ScreenOf(F.Grid, Long.X, Long.Y)));
  // The channel under the hint is chosen as any other.
  std::vector<int> Selected;
  F.Grid->OnSelectCell = [&](TObject*, int, int R) { Selected.push_back(R); };
  ASSERT_TRUE(SettledClick(F.GridWindow(), Long.X, Long.Y));
  ASSERT_TRUE(WaitFor([&] { return F.Grid->SelectedRow() == 1; }));
  EXPECT_EQ(Selected, std::vector<int>{1});
}

// A text fits its cell with 5 pixels to spare beside it; with 4 the hint shows it.
TEST(GridHints, ATextFitsWithFivePixelsToSpare) {
  TEngineForm F(2, {goHeader});
  const std::wstring Text = L"Some channel";
  const int Row = F.Grid->AddRow(1);
  HDC DC = GetDC(F.Window());
  const HGDIOBJ Old = SelectObject(DC, F.Columns[0]->Font()->Handle());
  SIZE Size{};
  GetTextExtentPoint32W(DC, Text.c_str(), static_cast<int>(Text.size()), &Size);
  SelectObject(DC, Old);
  ReleaseDC(F.Window(), DC);
  for (int C = 0; C < 2; ++C) {
    F.Grid->SetCells(C, Row, Text);
    F.Columns[C]->SetOptions(F.Columns[C]->Options() + coShowTextFitHint);
    F.Columns[C]->SetWidth(Size.cx + 4 + C);
  }
  Settle(F.Window());
  const struct {
    int Col;
    bool Hinted;
  } Cases[] = {{0, true}, {1, false}};
  for (const auto& C : Cases) {
    const TPoint P = F.CellPoint(C.Col, Row);
    ASSERT_TRUE(PointerTo(F.Window(), P.X, P.Y));
    EXPECT_TRUE(WaitFor([&] { return ShownHintRect(F.Grid).IsEmpty() != C.Hinted; })) << C.Col;
  }
}

TEST(GridHints, NoTextFitHintWithoutTheColumnOptionOrWithHintsOff) {
  TChannelListForm F;
  F.AddLines({L"Short", L"A channel name far too long to fit into the list"});
  ASSERT_TRUE(realinput::BringToFront(F.Form->Handle()));
  Application->SetShowHint(false);
  const TPoint Long = F.RowPoint(1);
  ASSERT_TRUE(PointerTo(F.GridWindow(), Long.X, Long.Y));
  Pump();
  EXPECT_TRUE(ShownHintRect(F.Grid).IsEmpty());
  Application->SetShowHint(true);
  ASSERT_TRUE(PointerTo(F.GridWindow(), Long.X, 2));  // another cell first
  F.Column->SetOptions(F.Column->Options() - coShowTextFitHint);
  ASSERT_TRUE(PointerTo(F.GridWindow(), Long.X, Long.Y));
  Pump();
  EXPECT_TRUE(ShownHintRect(F.Grid).IsEmpty());
}

TEST(GridHints, HeaderHintsShowBelowTheHeaderAndStayOnTheirColumn) {
  TEngineForm F(3);
  F.Fill(3);
  F.Columns[1]->Header()->SetHint(L"The second column");
  ASSERT_TRUE(PointerTo(F.Window(), 40, 9));
  Pump();
  EXPECT_TRUE(ShownHintRect(F.Grid).IsEmpty());
  ASSERT_TRUE(PointerTo(F.Window(), 100, 9));
  ASSERT_TRUE(WaitFor([&] { return !ShownHintRect(F.Grid).IsEmpty(); }));
  EXPECT_EQ(F.Grid->HintKind(), ghHeader);
  const TRect H = ShownHintRect(F.Grid);
  EXPECT_EQ(Point(H.Left, H.Top), ScreenOf(F.Grid, 80, F.Grid->HeaderSize() + 2));
  // Moving along the same header keeps the same hint window showing.
  const HWND Shown = F.Grid->HintWindow()->Handle();
  ASSERT_TRUE(PointerTo(F.Window(), 120, 9));
  Pump();
  EXPECT_EQ(F.Grid->HintKind(), ghHeader);
  EXPECT_EQ(F.Grid->HintWindow()->Handle(), Shown);
  // Into the body: gone.
  ASSERT_TRUE(PointerTo(F.Window(), 120, 60));
  ASSERT_TRUE(WaitFor([&] { return ShownHintRect(F.Grid).IsEmpty(); }));
}

TEST(GridHints, CellHintsComeFromOnCellHintAndShowBesideTheCell) {
  TEngineForm F(3);
  F.Fill(4);
  F.Grid->OnCellHint = [](TObject*, int C, int R, WideString& Value) {
    if (R == 2) Value = L"Hint of " + std::to_wstring(C);
  };
  const TPoint P = F.CellPoint(1, 2);
  ASSERT_TRUE(PointerTo(F.Window(), P.X, P.Y));
  ASSERT_TRUE(WaitFor([&] { return !ShownHintRect(F.Grid).IsEmpty(); }));
  EXPECT_EQ(F.Grid->HintKind(), ghCell);
  EXPECT_EQ(F.Grid->HintWindow()->Text(), L"Hint of 1");
  const TRect Cell = F.Grid->GetCellRect(1, 2);
  const TRect H = ShownHintRect(F.Grid);
  EXPECT_EQ(Point(H.Left, H.Top), ScreenOf(F.Grid, Cell.Right, Cell.Top - 20));
  const TPoint Q = F.CellPoint(1, 1);
  ASSERT_TRUE(PointerTo(F.Window(), Q.X, Q.Y));
  ASSERT_TRUE(WaitFor([&] { return ShownHintRect(F.Grid).IsEmpty(); }));
}

// ---------------------------------------------------------------------------------------------
// Cursors

TEST(GridCursors, TheProgramsCursorResourcesAreRegistered) {
  TEngineForm F(1);
  const HCURSOR Arrow = Screen->Cursors(crDefault);
  const struct {
    TCursor Id;
    const wchar_t* Name;
  } Cursors[] = {{crHorzSplit, L"HORZSPLIT"},     {crColumnNoDrag, L"COLUMNNODRAG"},
                 {crVertSplit, L"VERTSPLIT"},     {crIndicatorSelect, L"INDICATORSELECT"},
                 {crReversedArrow, L"REVERSEDARROW"}};
  RegisterReversedArrowCursor();
  for (const auto& C : Cursors) {
    const HCURSOR Resource = LoadCursorW(ModuleInstance(), C.Name);
    ASSERT_NE(Resource, nullptr) << C.Id;
    EXPECT_EQ(Screen->Cursors(C.Id), Resource) << C.Id;
    EXPECT_NE(Screen->Cursors(C.Id), Arrow) << C.Id;
  }
  // The reversed arrow points right: its hot spot is at the top right.
  ICONINFO Info{};
  ASSERT_TRUE(GetIconInfo(Screen->Cursors(crReversedArrow), &Info));
  EXPECT_GT(Info.xHotspot, 24u);
  EXPECT_LT(Info.yHotspot, 4u);
  if (Info.hbmMask != nullptr) DeleteObject(Info.hbmMask);
  if (Info.hbmColor != nullptr) DeleteObject(Info.hbmColor);
}

