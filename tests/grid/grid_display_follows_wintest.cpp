// The display follows every change: after an operation the grid shows what a full repaint
// shows, its scroll bar what a grid built in that state shows, its editor stands where an
// editor opened afresh stands, and its hints and mouse tracking follow the rows as they move.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "support/EngineTestHelpers.h"
#include "support/MessageOf.h"

using namespace enginetest;
using gridtest::TChannelListForm;

namespace {

// Lets the window paint what the last change invalidated, then tells whether that shows the same
// pixels as a repaint of the whole window. Saves both pictures as Name (before) and Name_full.
bool ShowsAFullRepaint(HWND W, const char* Name) {
  Settle(W);
  const TCapture Shown(W);
  InvalidateRect(W, nullptr, FALSE);
  Settle(W);
  const TCapture Full(W);
  Shown.MaybeSave(Name);
  Full.MaybeSave((std::string(Name) + "_full").c_str());
  const TRect All{0, 0, Full.Width(), Full.Height()};
  return TCapture::SamePixels(Shown, All, Full, All);
}

// Columns wider than the window, Rows rows, the second one selected and the grid focused.
void SetUpFocusedFullRow(TNxGrid* G, int Rows) {
  for (int C = 0; C < G->Columns()->Count(); ++C) G->Columns()->Item(C)->SetWidth(200);
  FillRows(G, Rows);
  G->SelectRow(1);
  G->SetFocus();
}

SCROLLINFO VerticalBar(HWND W) {
  SCROLLINFO I{};
  I.cbSize = sizeof(I);
  I.fMask = SIF_ALL;
  GetScrollInfo(W, SB_VERT, &I);
  return I;
}

// A change that moves a cell, and its undoing.
struct TCellMove {
  const char* Name;
  int Col, Row;
  std::function<void()> Change, Undo;
};

// After each change the editor open on the cell stands where an editor opened afresh stands (and
// that place differs from the one before the change).
void ExpectTheEditorFollows(TEditingForm& F, const std::vector<TCellMove>& Moves) {
  for (const TCellMove& M : Moves) {
    SCOPED_TRACE(M.Name);
    F.Grid->EditCell(M.Col, M.Row);
    ASSERT_TRUE(F.Grid->IsEditing());
    const TRect Before = F.Editor()->BoundsRect();
    M.Change();
    const TRect Now = F.Editor()->BoundsRect();
    F.Grid->EndEditing();
    F.Grid->EditCell(M.Col, M.Row);
    EXPECT_FALSE(F.Editor()->BoundsRect() == Before);
    EXPECT_EQ(Now, F.Editor()->BoundsRect());
    F.Grid->EndEditing();
    M.Undo();
  }
}

}  // namespace

// One change to a grid set up for it: the window then shows what a full repaint shows. The grid
// has two columns and the options given, or is the channel list's (which has no options).
TEST(DisplayFollows, AChangeShowsWhatAFullRepaintShows) {
  const struct {
    const char* Name;
    TGridOptions Options;
    std::function<void(TNxGrid*)> Setup, Change, AlsoCheck;
  } Cases[] = {
      // A tall row in view: nine rows fit the page. Exchanged with a row of the last page, ten fit,
      // every row between moves up, and the bar is that of a grid built with the tall row there
      // (the last page holds a row less).
      {"grid_exchange_heights", {goHeader, goGrid}, [](TNxGrid* G) { FillRows(G, 30); G->SetRowHeight(1, 40); },
       [](TNxGrid* G) { G->ExchangeRows(1, 29); },
       [](TNxGrid* G) {
         TEngineForm Peer(2, {goHeader, goGrid}, 300, 200);
         Peer.Fill(30);
         Peer.Grid->SetRowHeight(29, 40);
         Settle(Peer.Window());
         const SCROLLINFO Want = VerticalBar(Peer.Window()), Got = VerticalBar(G->Handle());
         EXPECT_EQ(std::tie(Got.nMax, Got.nPage, Got.nPos), std::tie(Want.nMax, Want.nPage, Want.nPos));
       }},
      // A hidden row exchanged with a shown one: the rows between move down.
      {"grid_exchange_hidden", {goHeader, goGrid},
       [](TNxGrid* G) { FillRows(G, 30); G->SetRowHeight(1, 40); G->ExchangeRows(1, 15); G->SetRowVisible(3, false); },
       [](TNxGrid* G) { G->ExchangeRows(3, 7); }},
      // A row of no height keeps the grid line under it, also where a repaint starts at that line.
      {"grid_row_of_no_height", {goHeader, goGrid, goSelectFullRow},
       [](TNxGrid* G) { FillRows(G, 10); G->SelectRow(3); },
       [](TNxGrid* G) { G->SetRowHeight(3, 0); }},
      // A child row added under a collapsed parent shows nowhere, but the rows below it take new
      // numbers: an increment column shows them.
      {"grid_hidden_child_numbers", {goHeader, goGrid},
       [](TNxGrid* G) {
         G->Columns()->Item(0)->SetColumnKind(ckIncrement);
         FillRows(G, 6);
         G->AddChildRow(1);
         G->SetExpanded(1, false);
       },
       [](TNxGrid* G) { G->AddChildRow(1); }},
      // Collapsing a parent below the view hides its child at the top of the view (moved there):
      // the view starts at the shown row above, and shows it.
      {"grid_collapsed_top_row", {goHeader, goGrid},
       [](TNxGrid* G) {
         FillRows(G, 30);
         G->AddChildRow(20);
         G->MoveRow(21, 5);
         G->VertScrollBar()->SetPosition(5);
       },
       [](TNxGrid* G) { G->SetExpanded(21, false); }},
      // Expanding a parent whose children a sort put above it (below the top row in view)
      // repaints them too.
      {"expanded_children_above", {},
       [](TNxGrid* G) {
         for (const wchar_t* T : {L"p", L"x", L"A"}) G->SetCells(0, G->AddRow(1), T);
         for (const wchar_t* T : {L"a", L"b"}) {
           G->AddChildRow(0, true);
           G->SetCells(0, G->LastAddedRow(), T);
         }
         G->SetExpanded(0, false);
         G->SortColumn(G->Columns()->Item(0), true);  // A, a, b, p, x
       },
       [](TNxGrid* G) { ASSERT_EQ(G->Cells(0, 3), L"p"); G->SetExpanded(3, true); }},
      // Columns past the window's right edge: the strips of the footer and the input line end in
      // a frame at that edge, which stays there when a column's width moves what lies right of it.
      {"footer_column_wider", {goHeader, goGrid, goFooter, goInput, goIndicator},
       [](TNxGrid* G) { FillRows(G, 3); G->Columns()->Item(1)->SetWidth(260); },
       [](TNxGrid* G) { G->Columns()->Item(0)->SetWidth(110); }},
      {"footer_column_narrower", {goHeader, goGrid, goFooter, goInput, goIndicator},
       [](TNxGrid* G) { FillRows(G, 3); G->Columns()->Item(1)->SetWidth(260); },
       [](TNxGrid* G) { G->Columns()->Item(0)->SetWidth(50); }},
      // The dotted frame round a focused full row reaches the window's right edge: when the
      // vertical bar comes or goes, the whole frame is drawn again for the new width (its dots
      // run along its length), not only where the edge moved.
      {"full_row_frame_bar_comes", {goHeader, goGrid, goSelectFullRow},
       [](TNxGrid* G) { SetUpFocusedFullRow(G, 3); }, [](TNxGrid* G) { G->AddRow(20); }},
      {"full_row_frame_bar_goes", {goHeader, goGrid, goSelectFullRow, goIndicator},
       [](TNxGrid* G) { SetUpFocusedFullRow(G, 23); }, [](TNxGrid* G) { while (G->RowCount() > 3) G->DeleteRow(3); }},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    std::unique_ptr<TEngineForm> Engine;
    std::unique_ptr<TChannelListForm> List;
    TNxGrid* G = C.Options.Empty() ? (List = std::make_unique<TChannelListForm>())->Grid
                                   : (Engine = std::make_unique<TEngineForm>(2, C.Options, 300, 200))->Grid;
    C.Setup(G);
    Settle(G->Handle());
    C.Change(G);
    EXPECT_TRUE(ShowsAFullRepaint(G->Handle(), C.Name));
    if (C.AlsoCheck) C.AlsoCheck(G);
  }
}

// Every road that changes which row is the last one (or the last one shown) repaints the lines
// that tell it: a framed grid closes its last row in black, an active-rows grid draws lines only
// round existing rows. Each road, in each style, then shows what a full repaint shows.
// Children added under a collapsed parent show nowhere and change no row that shows (no column
// shows row numbers or supplied values): nothing of the window is marked for painting.
TEST(DisplayFollows, ChildRowsUnderACollapsedParentRepaintNothing) {
  TEngineForm F(2, {goHeader, goGrid}, 300, 200);
  FillRows(F.Grid, 6);
  F.Grid->AddChildRow(1);
  F.Grid->SetExpanded(1, false);
  Settle(F.Window());
  for (bool After : {false, true}) F.Grid->AddChildRow(1, After);
  EXPECT_FALSE(GetUpdateRect(F.Window(), nullptr, FALSE));
}

TEST(DisplayFollows, EveryRoadThatChangesTheLastRowRepaintsItsLines) {
  const struct {
    const char* Name;
    std::function<void(TNxGrid*)> Change;
  } Roads[] = {
      {"add a row", [](TNxGrid* G) { G->AddRow(1); }},
      {"add rows", [](TNxGrid* G) { G->AddRow(2); }},
      {"insert at the end", [](TNxGrid* G) { G->InsertRow(G->RowCount()); }},
      {"add a child to the last row", [](TNxGrid* G) { G->AddChildRow(G->RowCount() - 1); }},
      {"delete the last row", [](TNxGrid* G) { G->DeleteRow(G->RowCount() - 1); }},
      {"delete the last row after a hidden one",
       [](TNxGrid* G) {
         G->SetRowVisible(G->RowCount() - 2, false);
         Settle(G->Handle());
         G->DeleteRow(G->RowCount() - 1);
       }},
      {"delete a parent with the last rows",
       [](TNxGrid* G) {
         G->AddChildRow(G->RowCount() - 1);
         Settle(G->Handle());
         G->DeleteRow(G->RowCount() - 2);
       }},
      {"hide the last row", [](TNxGrid* G) { G->SetRowVisible(G->RowCount() - 1, false); }},
      {"show the last row again",
       [](TNxGrid* G) {
         G->SetRowVisible(G->RowCount() - 1, false);
         Settle(G->Handle());
         G->SetRowVisible(G->RowCount() - 1, true);
       }},
      {"collapse the last parent",
       [](TNxGrid* G) {
         G->AddChildRow(G->RowCount() - 1);
         Settle(G->Handle());
         G->SetExpanded(G->RowCount() - 2, false);
       }},
      {"exchange the last row with a taller one",
       [](TNxGrid* G) {
         G->SetRowHeight(1, 24);
         Settle(G->Handle());
         G->ExchangeRows(1, G->RowCount() - 1);
       }},
      {"move the last row up", [](TNxGrid* G) { G->MoveRow(G->RowCount() - 1, 1); }},
  };
  for (const TGridLinesStyle Style : {lsFramed, lsActiveRows})
    for (const auto& Road : Roads) {
      SCOPED_TRACE(std::string(Road.Name) + (Style == lsFramed ? ", framed" : ", active rows"));
      TEngineForm F(2, {goHeader, goGrid}, 300, 200);
      TNxGrid* G = F.Grid;
      G->SetGridLinesStyle(Style);
      G->SetGridLinesColor(clSilver);
      F.Fill(5);
      Road.Change(G);
      EXPECT_TRUE(ShowsAFullRepaint(G->Handle(), "last_row_lines"));
    }
}

TEST(DisplayFollows, TheVerticalBarsPageCountsTheRowsLeftBesideTheHorizontalBar) {
  // The columns fit until the vertical bar takes its width; then the horizontal bar shows too and
  // takes height from the body.
  TEngineForm F(4, {goHeader, goGrid, goIndicator}, 220, 132, 50);
  TNxGrid* G = F.Grid;
  ASSERT_FALSE(G->HorzScrollBar()->Visible());
  while (!G->VertScrollBar()->Visible()) G->AddRow(1);
  ASSERT_TRUE(G->HorzScrollBar()->Visible());
  const int Rows = (G->GetBodyRect().Height() + 1) / (G->RowSize() + 1);
  EXPECT_EQ(G->VertScrollBar()->PageSize(), Rows + 1);
}

TEST(DisplayFollows, HidingTheEditedColumnWritesTheTextAndClosesTheEditor) {
  TEditingForm F(3, {goHeader, goGrid, goCanHideColumn});
  TNxGrid* G = F.Grid;
  ASSERT_TRUE(F.ClickToEdit(1, 1));
  TypeText("hc");
  ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r1c1hc"; }));
  // The header is dragged out of the header strip.
  ASSERT_TRUE(Press(F.Window(), 120, 9));
  ASSERT_TRUE(PointerTo(F.Window(), 126, 9));
  ASSERT_TRUE(G->GridState().Contains(gsColumnDragging));
  ASSERT_TRUE(DragBoxTo(G, 120, 120));
  Release();
  ASSERT_TRUE(WaitFor([&] { return !F.Columns[1]->Visible(); }));
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->Cells(1, 1), L"r1c1hc");
  EXPECT_EQ(G->Cells(2, 1), L"r1c2");
  // Hidden by the program, the same.
  F.Columns[1]->SetVisible(true);
  G->EditCell(1, 2, L"by code");
  F.Columns[1]->SetVisible(false);
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->Cells(1, 2), L"by code");
}

// A text the column refuses (letters in a column of integers) does not stop the column going:
// the screen and the bar lose it, the editor closes, and the refusal is reported afterwards.
TEST(DisplayFollows, HidingTheEditedColumnFinishesWhenTheColumnRefusesTheText) {
  TEditingForm F(3, {goHeader, goGrid}, 4, 200);
  TNxGrid* G = F.Grid;
  F.Columns[1]->SetColumnKind(ckInteger);
  Settle(F.Window());
  G->EditCell(1, 1, L"abc");
  ASSERT_TRUE(G->IsEditing());
  EXPECT_EQ(exctest::MessageOf<Exception>([&] { F.Columns[1]->SetVisible(false); }),
            "'abc' is not a valid integer value");
  EXPECT_FALSE(G->IsEditing());
  EXPECT_EQ(G->HorzScrollBar()->Max(), 2 * 80);
  EXPECT_TRUE(ShowsAFullRepaint(F.Window(), "grid_hidden_refusing_column"));
  EXPECT_EQ(G->Cells(1, 1), L"0");
  EXPECT_EQ(G->Cells(2, 1), L"r1c2");
}

// A handler that raises while the edited column is hidden does not keep the editor in sight over
// the next column: the error reaches the caller, and the screen and the bar lose the column.
TEST(DisplayFollows, HidingTheEditedColumnFinishesWhenAHandlerRaises) {
  auto Refuse = [] { throw Exception("refused"); };
  const struct {
    const char* Name;
    std::function<void(TNxGrid*)> Arm;
  } Handlers[] = {
      {"OnEditAccept",
       [&](TNxGrid* G) { G->OnEditAccept = [&](TObject*, int, int, const WideString&, bool&) { Refuse(); }; }},
      {"OnEndEditing",
       [&](TNxGrid* G) { G->OnEndEditing = [&](TObject*, int, int, WideString&, bool&) { Refuse(); }; }},
      {"OnEditExit", [&](TNxGrid* G) { G->OnEditExit = [&](TObject*) { Refuse(); }; }},
  };
  for (const auto& H : Handlers) {
    SCOPED_TRACE(H.Name);
    TEditingForm F(3, {goHeader, goGrid}, 4, 200);
    TNxGrid* G = F.Grid;
    G->SetFocus();
    G->EditCell(1, 1, L"typed");
    ASSERT_TRUE(G->IsEditing());
    H.Arm(G);
    EXPECT_EQ(exctest::MessageOf<Exception>([&] { F.Columns[1]->SetVisible(false); }), "refused");
    EXPECT_TRUE(F.Editor() == nullptr || !IsWindowVisible(F.Editor()->Handle()));
    EXPECT_EQ(G->HorzScrollBar()->Max(), 2 * 80);
    EXPECT_TRUE(ShowsAFullRepaint(F.Window(), "grid_hidden_raising_handler"));
    EXPECT_EQ(G->Cells(2, 1), L"r1c2");
  }
}

// Scrolls of a page or more in a grid with a footer: the header and the footer keep their pixels
// (the display is what a full repaint shows).
TEST(DisplayFollows, LongScrollsLeaveTheHeaderAndTheFooterAsTheyAre) {
  TEngineForm F(2, {goHeader, goFooter}, 300, 200);
  F.Fill(60);
  TNxGrid* G = F.Grid;
  for (TNxTextColumn* C : F.Columns) C->Footer()->SetCaption(L"Total");
  ASSERT_TRUE(F.FocusByClick(0, 0));
  const struct {
    const char* Name;
    std::function<void()> Scroll;
  } Scrolls[] = {{"page down", [] { PressKey(VK_NEXT); }},
                 {"page down", [] { PressKey(VK_NEXT); }},
                 {"to the end", [&] { G->VertScrollBar()->Last(); }},
                 {"page up", [] { PressKey(VK_PRIOR); }},
                 {"to the top", [&] { G->VertScrollBar()->First(); }},
                 {"taller window", [&] {
                    G->VertScrollBar()->Last();
                    Settle(F.Window());
                    F.Form->SetHeight(F.Form->Height() + 150);
                    G->SetHeight(G->Height() + 150);
                  }}};
  for (const auto& S : Scrolls) {
    SCOPED_TRACE(S.Name);
    Settle(F.Window());
    S.Scroll();
    EXPECT_TRUE(ShowsAFullRepaint(F.Window(), "grid_footer_scroll"));
  }
}

// Scrolls sideways in a grid with a footer and an input line: their strips keep their edges at
// the window's edges.
TEST(DisplayFollows, SidewaysScrollsLeaveTheEdgesOfTheFooterAndTheInputLine) {
  TEngineForm F(4, {goHeader, goFooter, goInput, goIndicator}, 200, 150);
  F.Fill(3);
  for (const WPARAM Code : {SB_LINERIGHT, SB_LINERIGHT, SB_LINELEFT}) {
    SCOPED_TRACE(Code);
    Settle(F.Window());
    SendMessageW(F.Window(), WM_HSCROLL, Code, 0);
    EXPECT_TRUE(ShowsAFullRepaint(F.Window(), "grid_footer_sideways"));
  }
}

TEST(DisplayFollows, FooterSettingsRepaintTheFooter) {
  TEngineForm F(2, {goHeader, goFooter}, 300, 200);
  F.Fill(3);
  TColumnFooter* Footer = F.Columns[0]->Footer();
  Footer->SetCaption(L"12");
  const TRect R = F.Grid->GetFooterCellRect(F.Columns[0]);
  const TPoint Middle = Point((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
  const struct {
    const char* Name;
    std::function<void()> Change;
  } Changes[] = {{"TextBefore", [&] { Footer->SetTextBefore(L"<"); }},
                 {"TextAfter", [&] { Footer->SetTextAfter(L" items"); }},
                 {"FormatMask", [&] { Footer->SetFormatMask("0.00"); }},
                 {"FormatMaskKind", [&] { Footer->SetFormatMaskKind(mkFloat); }},
                 {"FormulaKind", [&] { Footer->SetFormulaKind(fkSum); }}};
  for (const auto& C : Changes) {
    SCOPED_TRACE(C.Name);
    ForgetRepaint(F.Window());
    C.Change();
    EXPECT_TRUE(MarkedForRepaint(F.Window(), Middle.X, Middle.Y));
    EXPECT_TRUE(ShowsAFullRepaint(F.Window(), "grid_footer_settings"));
  }
}

TEST(DisplayFollows, LineAndFixedColumnSettingsRePlaceAnOpenEditor) {
  TEditingForm F(5, {goHeader, goGrid});
  TNxGrid* G = F.Grid;
  // Scrolled sideways: a fixed column stops scrolling.
  G->HorzScrollBar()->SetPosition(50);
  ExpectTheEditorFollows(
      F, {{"lines horizontal only", 1, 1, [&] { G->SetGridLinesStyle(lsHorizontalOnly); },
           [&] { G->SetGridLinesStyle(lsNormal); }},
          {"3-D lines", 1, 1, [&] { G->SetAppearanceOptions(G->AppearanceOptions() + ao3DGridLines); },
           [&] { G->SetAppearanceOptions(G->AppearanceOptions() - ao3DGridLines); }},
          {"fixed column", 0, 1, [&] { G->SetFixedCols(1); }, [&] { G->SetFixedCols(0); }}});
}

TEST(DisplayFollows, RowsChangingAboveAnOpenEditorMoveIt) {
  TEditingForm F(3, {goHeader, goGrid}, 8);
  TNxGrid* G = F.Grid;
  G->AddChildRow(1);  // row 2, under row 1
  auto Collapse = [&](bool Collapsed) { G->SetExpanded(1, !Collapsed); };
  ExpectTheEditorFollows(
      F, {{"taller row", 1, 4, [&] { G->SetRowHeight(1, 40); }, [&] { G->SetRowHeight(1, G->RowSize()); }},
          {"hidden row", 1, 4, [&] { G->SetRowVisible(1, false); }, [&] { G->SetRowVisible(1, true); }},
          {"collapsed parent", 1, 4, [&] { Collapse(true); }, [&] { Collapse(false); }}});
  // The edited row itself goes out of sight, by itself or under its collapsed parent: the edit
  // ends as when its column is hidden, and what was typed is written back.
  const std::vector<TCellMove> Hides = {
      {"hidden row", 1, 4, [&] { G->SetRowVisible(4, false); }, [&] { G->SetRowVisible(4, true); }},
      {"collapsed parent", 1, 2, [&] { Collapse(true); }, [&] { Collapse(false); }}};
  for (const TCellMove& M : Hides) {
    SCOPED_TRACE(M.Name);
    G->EditCell(M.Col, M.Row, L"typed");
    M.Change();
    EXPECT_FALSE(G->IsEditing());
    EXPECT_FALSE(F.Columns[static_cast<std::size_t>(M.Col)]->Editor()->Visible());
    M.Undo();
    EXPECT_EQ(G->Cells(M.Col, M.Row), L"typed");
  }
}

// A child row added above the view: the view keeps its rows, and an edit on the last row of the
// view stays open over it (on the way, before the view followed, that row lay below the body).
TEST(DisplayFollows, AChildRowAddedAboveTheViewLeavesTheEditOnTheLastRowOfTheView) {
  TEditingForm F(3, {goHeader, goGrid}, 30);
  TNxGrid* G = F.Grid;
  // Eight whole rows fill the body.
  G->SetHeight(G->Height() - G->GetBodyRect().Height() + 8 * (G->GetRowPitch(0) + G->RowGap()));
  G->VertScrollBar()->SetPosition(5);
  G->EditCell(1, 12, L"typed");
  ASSERT_TRUE(G->IsEditing());
  ASSERT_GE(G->GetCellRect(1, 13).Top, G->GetBodyRect().Bottom);
  const TRect Over = F.Editor()->BoundsRect();
  G->AddChildRow(2);
  EXPECT_EQ(G->FirstVisibleRow(), 6);
  ASSERT_TRUE(G->IsEditing());
  EXPECT_EQ(G->EditRow(), 13);
  EXPECT_TRUE(F.Editor()->Visible());
  EXPECT_EQ(F.Editor()->BoundsRect(), Over);
  G->EndEditing();
}

// A row expanded or collapsed below the view leaves the view as it is, also when the row at its
// top is hidden.
TEST(DisplayFollows, ExpandingARowBelowTheViewLeavesTheView) {
  TEngineForm F(2, {goHeader, goGrid}, 300, 200);
  F.Fill(30);
  TNxGrid* G = F.Grid;
  G->AddChildRow(20);
  G->SetExpanded(20, false);
  G->VertScrollBar()->SetPosition(5);
  G->SetRowVisible(5, false);
  for (const bool Expanded : {true, false}) {
    SCOPED_TRACE(Expanded);
    Settle(F.Window());
    const TCapture Before(F.Window());
    G->SetExpanded(20, Expanded);
    InvalidateRect(F.Window(), nullptr, FALSE);
    Settle(F.Window());
    const TCapture After(F.Window());
    const TRect All{0, 0, After.Width(), After.Height()};
    EXPECT_TRUE(TCapture::SamePixels(Before, All, After, All));
  }
}

TEST(DisplayFollows, ScrollingHidesTheHintAndForgetsItsCell) {
  TChannelListForm F;
  std::vector<std::wstring> Lines;
  for (int I = 0; I < 40; ++I) Lines.push_back(L"Channel " + std::to_wstring(I) + L" with a name far too long to fit");
  F.AddLines(Lines);
  ASSERT_TRUE(realinput::BringToFront(F.Form->Handle()));
  F.Grid->SetFocus();
  F.Grid->SelectRow(0);
  const TPoint P = F.RowPoint(2);
  ASSERT_TRUE(PointerTo(F.GridWindow(), P.X, P.Y));
  ASSERT_TRUE(WaitFor([&] { return !ShownHintRect(F.Grid).IsEmpty(); }));
  ASSERT_EQ(F.Grid->HintWindow()->Text(), Lines[2]);
  // The keyboard scrolls the list under the resting pointer.
  PressKey(VK_END);
  ASSERT_TRUE(WaitFor([&] { return F.Grid->FirstVisibleRow() > 2; }));
  Pump();
  auto RowUnderPointer = [&] { return F.Grid->GetRowAtPos(P.X, P.Y); };
  EXPECT_TRUE(ShownHintRect(F.Grid).IsEmpty() || F.Grid->HintWindow()->Text() == Lines[RowUnderPointer()]);
  // The pointer moves within the same cell of the window: the row there now is hinted.
  ASSERT_TRUE(PointerTo(F.GridWindow(), P.X + 1, P.Y));
  ASSERT_TRUE(WaitFor([&] { return !ShownHintRect(F.Grid).IsEmpty(); }));
  EXPECT_EQ(F.Grid->HintWindow()->Text(), Lines[RowUnderPointer()]);
}

TEST(DisplayFollows, AClickOnThePartlyShownBottomRowIsAClickOnThatRow) {
  TEditingForm F(3, {goHeader, goGrid}, 30);
  TNxGrid* G = F.Grid;
  std::vector<std::string> Clicks;
  G->OnCellClick = [&](TObject*, int C, int R) { Clicks.push_back(TEventLog::Cell("click", C, R)); };
  // The first row that does not fit the body shows its upper part.
  const int Row = G->GetLastFullyVisibleRow() + 1;
  const TRect Cell = G->GetCellRect(1, Row);
  ASSERT_LT(Cell.Top + 4, G->GetBodyRect().Bottom);
  ASSERT_GT(Cell.Bottom, G->GetBodyRect().Bottom);
  SettledClick(F.Window(), (Cell.Left + Cell.Right) / 2, Cell.Top + 4);
  ASSERT_TRUE(WaitFor([&] { return !Clicks.empty(); }));
  EXPECT_EQ(Clicks, std::vector<std::string>{TEventLog::Cell("click", 1, Row)});
  // The row came into view, and the click opened its editor.
  EXPECT_EQ(G->GetLastFullyVisibleRow(), Row);
  EXPECT_TRUE(WaitFor([&] { return G->EditRow() == Row && G->EditCol() == 1; }));
}

TEST(DisplayFollows, ARowDragReleasedOutsideTheGridMovesNothing) {
  TEngineForm F(2, {goHeader, goRowMoving});
  F.Fill(8);
  int Moves = 0;
  F.Grid->OnRowMove = [&](TObject*, int, int, bool&) { ++Moves; };
  const TPoint From = F.CellPoint(0, 1);
  const TRect Target = F.Grid->GetCellRect(0, 4);
  ASSERT_TRUE(Press(F.Window(), From.X, From.Y));
  ASSERT_TRUE(PointerTo(F.Window(), From.X, Target.Bottom - 3));
  ASSERT_TRUE(F.Grid->GridState().Contains(gsRowMoving));
  // Beside the grid, at the height of a row.
  ASSERT_TRUE(PointerTo(F.Window(), F.Grid->ClientWidth() + 15, Target.Bottom - 3));
  Release();
  ASSERT_TRUE(WaitFor([&] { return !F.Grid->GridState().Contains(gsRowMoving); }));
  EXPECT_EQ(Moves, 0);
  for (int R = 0; R < 8; ++R) EXPECT_EQ(F.Grid->Cells(0, R), L"r" + std::to_wstring(R) + L"c0");
  Settle(F.Window());
  EXPECT_EQ(TCapture(F.Window()).Count(TRect{0, 0, 300, 200}, RGB(255, 0, 0)), 0);
}
