// Costs that must not grow with the number of rows, held by counts of the row records the grid
// reads for one operation (its store counts every read, and the row items it moves), each taken
// on a grid of a few rows and on one of many: the row operations and the vertical scroll bar, a
// slide's repaint, the focus frame, the parent of a painted child row, the tree operations,
// selecting every row, the bounds of the shown rows, hidden rows under a collapsed parent, and
// painting, writing a cell, moving the selection and scrolling. Also: the scroll bar, drawn with
// the next frame painting, shows its final state.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "support/EngineTestHelpers.h"
#include "support/ParentRows.h"

namespace {

using enginetest::Pump;
using enginetest::Settle;
using enginetest::WaitFor;

constexpr int FewRows = 1000;
constexpr int ManyRows = 40000;

// A shown grid of one fixed-width text column (no header), with Rows empty rows.
struct TCostForm {
  TForm* Form;
  TNxGrid* Grid;
  TNxTextColumn* Column;

  explicit TCostForm(int Rows, TGridOptions Options = {}) {
    Form = new TForm(nullptr);
    Form->SetBounds(100, 80, 340, 260);
    Grid = new TNxGrid(Form);
    Grid->SetBounds(10, 10, 300, 200);
    Grid->SetBorderStyle(bsNone);
    Grid->SetOptions(Options);
    Grid->SetParent(Form);
    Column = Grid->Columns()->AddColumn<TNxTextColumn>(Form);
    Column->SetWidth(200);
    Form->Show();
    realinput::BringToFront(Form->Handle());
    Grid->AddRow(Rows);
    Settle(Form->Handle());
  }
  ~TCostForm() {
    delete Form;
    Pump();
  }
  TCostForm(const TCostForm&) = delete;
  TCostForm& operator=(const TCostForm&) = delete;

  HWND Window() const { return Grid->Handle(); }
  // Row records read by Work.
  std::uint64_t Reads(const std::function<void()>& Work) {
    const std::uint64_t Before = Grid->CellStore()->RowReads();
    Work();
    return Grid->CellStore()->RowReads() - Before;
  }
  // Paints the whole client area now.
  void Repaint() { RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
  bool Focus() {
    Grid->SetFocus();
    return WaitFor([&] { return Grid->IsFocused(); });
  }
};

// The rows read by Work on a grid of few rows and on one of many, each set up by Prepare.
struct TReadsBySize {
  std::uint64_t Few = 0, Many = 0;
};
TReadsBySize ReadsBySize(const std::function<void(TCostForm&)>& Prepare, const std::function<void(TCostForm&)>& Work,
                         TGridOptions Options = {}) {
  TReadsBySize R;
  for (const int Rows : {FewRows, ManyRows}) {
    TCostForm F(Rows, Options);
    Prepare(F);
    const std::uint64_t N = F.Reads([&] { Work(F); });
    (Rows == FewRows ? R.Few : R.Many) = N;
  }
  return R;
}

// The two counts agree but for a small constant (an operation near the end reads a row or two
// more on one grid than on the other).
#define EXPECT_FLAT(R) EXPECT_LE((R).Many, (R).Few + 4) << "few rows: " << (R).Few << ", many rows: " << (R).Many

// The rows read and the row items moved by Work on grids that Prepare fills, from empty, with
// FewRows and with ManyRows rows besides what the work touches.
struct TCostsBySize {
  TReadsBySize Reads, Moved;
};
TCostsBySize CostsBySize(const std::function<void(TCostForm&, int)>& Prepare,
                         const std::function<void(TCostForm&)>& Work) {
  TCostsBySize R;
  for (const int Rows : {FewRows, ManyRows}) {
    TCostForm F(0);
    Prepare(F, Rows);
    Settle(F.Window());
    const std::uint64_t Moved = F.Grid->CellStore()->ItemsMoved();
    const std::uint64_t N = F.Reads([&] { Work(F); });
    (Rows == FewRows ? R.Reads.Few : R.Reads.Many) = N;
    (Rows == FewRows ? R.Moved.Few : R.Moved.Many) = F.Grid->CellStore()->ItemsMoved() - Moved;
  }
  return R;
}
#define EXPECT_COSTS_FLAT(C) \
  do {                        \
    const TCostsBySize Costs = (C); \
    EXPECT_FLAT(Costs.Reads);       \
    EXPECT_FLAT(Costs.Moved);       \
  } while (false)

}  // namespace

// After a row operation the vertical bar is brought up to date without counting the shown rows
// above the view again: appending below a view scrolled to the end costs the same at any size.
TEST(GridCosts, RowOperationsBelowAViewAtTheEndDoNotRecountRows) {
  auto AtEnd = [](TCostForm& F) {
    F.Grid->VertScrollBar()->Last();
    Pump();
    ASSERT_GT(F.Grid->FirstVisibleRow(), F.Grid->RowCount() / 2);
  };
  EXPECT_FLAT(ReadsBySize(AtEnd, [](TCostForm& F) { F.Grid->AddRow(1); }));
  EXPECT_FLAT(ReadsBySize(AtEnd, [](TCostForm& F) { F.Grid->InsertRow(F.Grid->RowCount() - 1); }));
  EXPECT_FLAT(ReadsBySize(AtEnd, [](TCostForm& F) { F.Grid->DeleteRow(F.Grid->RowCount() - 1); }));
  EXPECT_FLAT(ReadsBySize(AtEnd, [](TCostForm& F) { SendMessageW(F.Window(), WM_VSCROLL, SB_LINEUP, 0); }));
  // Appending many rows one by one at the end: the rows read grow with the rows added only.
  EXPECT_FLAT(ReadsBySize(AtEnd, [](TCostForm& F) {
    for (int I = 0; I < 200; ++I) F.Grid->AddRow(1);
  }));
}

// In the slides style a cell write or a slide repaint far below the view does not walk down to
// the slide.
TEST(GridCosts, SlideRepaintsDoNotWalkToAFarSlide) {
  auto Slides = [](TCostForm& F) {
    F.Grid->SetGridStyle(gsSlides);
    Settle(F.Window());
  };
  EXPECT_FLAT(ReadsBySize(Slides, [](TCostForm& F) { F.Grid->SetCells(0, F.Grid->RowCount() - 1, L"far"); }));
  EXPECT_FLAT(ReadsBySize(Slides, [](TCostForm& F) { F.Grid->RefreshSlide(F.Grid->RowCount() - 1, false); }));
  EXPECT_FLAT(ReadsBySize(Slides, [](TCostForm& F) { F.Grid->RefreshSlide(F.Grid->RowCount() - 1, true); }));
}

// The focus frame of a selected row far below the view is not looked for by walking to the row,
// neither while painting nor around a horizontal scroll.
TEST(GridCosts, FocusFrameOfAFarSelectedRowCostsNoWalk) {
  auto SelectFar = [](TCostForm& F) {
    ASSERT_TRUE(F.Focus());
    F.Grid->SelectCell(0, F.Grid->RowCount() - 1);
    Pump();
    ASSERT_EQ(F.Grid->FirstVisibleRow(), 0);
    ASSERT_TRUE(F.Grid->IsFocused());
  };
  const TGridOptions FullRow{goSelectFullRow};
  EXPECT_FLAT(ReadsBySize(SelectFar, [](TCostForm& F) { F.Repaint(); }, FullRow));
  EXPECT_FLAT(ReadsBySize(SelectFar, [](TCostForm& F) { SendMessageW(F.Window(), WM_HSCROLL, SB_LINEDOWN, 0); },
                          FullRow));
}

// Painting child rows does not search the rows for their parent: a parent among many rows with
// its children in view costs what it costs among few, and so do rows that alternate between
// children of a parent far above and their own children.
TEST(GridCosts, PaintedChildRowsDoNotSearchForTheirParent) {
  auto Children = [](TCostForm& F) {
    const int Parent = F.Grid->RowCount() - 1;
    for (int I = 0; I < 30; ++I) F.Grid->AddChildRow(Parent, true);
    F.Grid->VertScrollBar()->Last();
    Settle(F.Window());
    ASSERT_GT(F.Grid->FirstVisibleRow(), Parent);
  };
  EXPECT_FLAT(ReadsBySize(Children, [](TCostForm& F) { F.Repaint(); }));
  // P, then pairs of a child of P and that child's own child.
  auto Alternating = [](TCostForm& F, int Rows) {
    F.Grid->AddRow(1);
    F.Grid->BeginUpdate();
    for (int I = 0; I < Rows / 2; ++I) {
      F.Grid->AddChildRow(0);
      F.Grid->AddChildRow(1);
    }
    F.Grid->EndUpdate();
    F.Grid->VertScrollBar()->Last();
  };
  EXPECT_COSTS_FLAT(CostsBySize(Alternating, [](TCostForm& F) { F.Repaint(); }));
}

// Tree operations cost what they touch, however many other rows there are: deleting a collapsed
// parent with its children, adding children after the descendants of a collapsed parent (also one
// with many descendants), and putting rows in and moving them among hidden rows.
TEST(GridCosts, TreeOperationsCostWhatTheyTouch) {
  constexpr int Children = 300;
  // A collapsed parent at the top, Children children under it, Rows rows below.
  auto Collapsed = [](TCostForm& F, int Rows) {
    F.Grid->AddRow(1);
    F.Grid->BeginUpdate();
    for (int I = 0; I < Children; ++I) F.Grid->AddChildRow(0);
    F.Grid->AddRow(Rows);
    F.Grid->EndUpdate();
    F.Grid->SetExpanded(0, false);
  };
  EXPECT_COSTS_FLAT(CostsBySize(Collapsed, [](TCostForm& F) { F.Grid->DeleteRow(0); }));
  EXPECT_COSTS_FLAT(CostsBySize(Collapsed, [](TCostForm& F) {
    for (int I = 0; I < Children; ++I) F.Grid->AddChildRow(0, true);
  }));
  // Rows descendants under a collapsed parent: one more after them.
  auto ManyDescendants = [](TCostForm& F, int Rows) {
    F.Grid->AddRow(1);
    F.Grid->BeginUpdate();
    for (int I = 0; I < Rows; ++I) F.Grid->AddChildRow(I % 2 == 0 ? 0 : 1);
    F.Grid->EndUpdate();
    F.Grid->SetExpanded(0, false);
  };
  const TCostsBySize AfterMany = CostsBySize(ManyDescendants, [](TCostForm& F) { F.Grid->AddChildRow(0, true); });
  EXPECT_FLAT(AfterMany.Reads);
  EXPECT_COSTS_FLAT(CostsBySize(Collapsed, [](TCostForm& F) {
    for (int I = 0; I < Children; ++I) {
      F.Grid->InsertRow(Children + 5);
      F.Grid->MoveRow(Children + 8, Children + 2);
      F.Grid->MoveRow(Children + 2, Children + 9);
    }
  }));
}

// Collapsing and deleting a parent cost what its tree holds, wherever the rows lie: N parents with
// a child each, kept together (each child right under its parent) or sorted apart (every child
// before every parent, N rows away from it). Collapsing every parent, and deleting every parent,
// read as many rows per parent at 2,000 parents as at 32,000.
TEST(GridCosts, ParentsCostWhatTheirTreesHoldWhereverASortPutTheRows) {
  constexpr int FewParents = 2000, ManyParents = 32000;
  for (const bool Apart : {false, true})
    for (const bool Delete : {false, true}) {
      SCOPED_TRACE(std::string(Apart ? "sorted apart, " : "kept together, ") + (Delete ? "delete" : "collapse"));
      double PerParent[2] = {};
      for (const int N : {FewParents, ManyParents}) {
        TCostForm F(0);
        TNxGrid* G = F.Grid;
        parentrows::AddParentsWithAChild(G, N);
        if (Apart) {
          F.Column->SetOptions(F.Column->Options() + coCanSort);
          G->SortColumn(F.Column, true);
          ASSERT_EQ(G->Cells(0, N), L"p0");
        }
        Settle(F.Window());
        const std::uint64_t Reads = F.Reads([&] {
          if (Delete)
            parentrows::DeleteEveryParent(G, N, Apart);
          else
            parentrows::CollapseEveryParent(G, N, Apart);
        });
        ASSERT_EQ(G->RowCount(), Delete ? 0 : 2 * N);
        ASSERT_EQ(G->ShownRowCount(), Delete ? 0 : N);
        PerParent[N == ManyParents] = static_cast<double>(Reads) / N;
      }
      EXPECT_LE(PerParent[1], PerParent[0] + 1) << "per parent: " << PerParent[0] << " and " << PerParent[1];
    }
}

// Selecting every row and clearing the selection visit each row once: the rows are not repainted
// one by one while the grid is updating.
TEST(GridCosts, SelectingEveryRowReadsEachRowOnce) {
  const TGridOptions Multi{goMultiSelect, goSelectFullRow};
  const TReadsBySize All = ReadsBySize([](TCostForm&) {}, [](TCostForm& F) { F.Grid->SelectAll(); }, Multi);
  EXPECT_LE(All.Few, 3u * FewRows + 100);
  EXPECT_LE(All.Many, 3u * ManyRows + 100);
  const TReadsBySize Clear = ReadsBySize([](TCostForm& F) { F.Grid->SelectAll(); },
                                         [](TCostForm& F) { F.Grid->ClearSelection(); }, Multi);
  EXPECT_LE(Clear.Few, 3u * FewRows + 100);
  EXPECT_LE(Clear.Many, 3u * ManyRows + 100);
}

// The first and last shown rows are not searched for from the ends again after each row
// operation: with all but the last hundred rows hidden, exchanging or moving two shown rows
// costs the same at any size.
TEST(GridCosts, ShownRowBoundsAreNotSearchedAgain) {
  auto HideMost = [](TCostForm& F) {
    F.Grid->BeginUpdate();
    for (int R = 0; R < F.Grid->RowCount() - 100; ++R) F.Grid->SetRowVisible(R, false);
    F.Grid->EndUpdate();
    const int Last = F.Grid->RowCount() - 1;
    F.Grid->ExchangeRows(Last - 1, Last - 2);  // the first question after hiding indexes the rows
    Pump();
    ASSERT_EQ(F.Grid->GetFirstShownRow(), F.Grid->RowCount() - 100);
  };
  EXPECT_FLAT(ReadsBySize(HideMost, [](TCostForm& F) {
    const int Last = F.Grid->RowCount() - 1;
    F.Grid->ExchangeRows(Last - 10, Last - 20);
  }));
  EXPECT_FLAT(ReadsBySize(HideMost, [](TCostForm& F) {
    const int Last = F.Grid->RowCount() - 1;
    F.Grid->SetRowVisible(Last - 5, false);
    F.Grid->SetRowVisible(Last - 5, true);
  }));
}

// Rows hidden under a collapsed parent are stepped over at once: painting the view, moving the
// selection down past them and counting the page cost the same however many rows are hidden.
TEST(GridCosts, RowsUnderACollapsedParentAreSteppedOverAtOnce) {
  // Row 0 is the parent of Children rows; it collapses and ten rows follow.
  auto Collapsed = [](TCostForm& F, int Children) {
    F.Grid->AddRow(1);
    F.Grid->BeginUpdate();
    for (int I = 0; I < Children; ++I) F.Grid->AddChildRow(0, false);
    F.Grid->EndUpdate();
    F.Grid->SetExpanded(0, false);
    F.Grid->AddRow(10);
    F.Grid->SelectCell(0, 0);
    Settle(F.Window());
  };
  auto Sized = [&](const std::function<void(TCostForm&)>& Work) {
    TReadsBySize R;
    for (const int Children : {FewRows, ManyRows}) {
      TCostForm F(0);
      Collapsed(F, Children);
      const std::uint64_t N = F.Reads([&] { Work(F); });
      (Children == FewRows ? R.Few : R.Many) = N;
    }
    return R;
  };
  EXPECT_FLAT(Sized([](TCostForm& F) { F.Repaint(); }));
  EXPECT_FLAT(Sized([](TCostForm& F) { F.Grid->MoveDown(); }));
  EXPECT_FLAT(Sized([](TCostForm& F) { F.Grid->GetRowsPerPage(); }));
  EXPECT_FLAT(Sized([](TCostForm& F) { F.Grid->UpdateVertScrollBar(); }));
}

// Painting, writing a cell, moving the selection and scrolling each cost the same with few rows
// and with many.
TEST(GridCosts, EverydayOperationsCostTheSameAtAnySize) {
  auto Nothing = [](TCostForm&) {};
  auto AtEnd = [](TCostForm& F) {
    F.Grid->VertScrollBar()->Last();
    Settle(F.Window());
  };
  auto InTheMiddle = [](TCostForm& F) {
    F.Grid->VertScrollBar()->SetPosition(F.Grid->RowCount() / 2);
    Settle(F.Window());
  };
  EXPECT_FLAT(ReadsBySize(Nothing, [](TCostForm& F) { F.Repaint(); }));
  EXPECT_FLAT(ReadsBySize(AtEnd, [](TCostForm& F) { F.Repaint(); }));
  EXPECT_FLAT(ReadsBySize(AtEnd, [](TCostForm& F) { F.Grid->SetCells(0, F.Grid->RowCount() - 3, L"text"); }));
  EXPECT_FLAT(ReadsBySize(Nothing, [](TCostForm& F) { F.Grid->SetCells(0, F.Grid->RowCount() - 3, L"text"); }));
  EXPECT_FLAT(ReadsBySize(InTheMiddle, [](TCostForm& F) {
    const int R = F.Grid->FirstVisibleRow() + 2;
    F.Grid->SelectCell(0, R);
    F.Grid->SelectCell(0, R + 1);
  }));
  // With AutoScroll the selection brings a far row into view.
  EXPECT_FLAT(ReadsBySize(Nothing, [](TCostForm& F) {
    F.Grid->SetAutoScroll(true);
    F.Grid->SelectCell(0, F.Grid->RowCount() - 1);
  }));
  EXPECT_FLAT(ReadsBySize(InTheMiddle, [](TCostForm& F) { SendMessageW(F.Window(), WM_VSCROLL, SB_LINEDOWN, 0); }));
  EXPECT_FLAT(ReadsBySize(InTheMiddle, [](TCostForm& F) { SendMessageW(F.Window(), WM_VSCROLL, SB_PAGEUP, 0); }));
  // A jump of the thumb to the end.
  EXPECT_FLAT(ReadsBySize(Nothing, [](TCostForm& F) { F.Grid->VertScrollBar()->Last(); }));
  EXPECT_FLAT(ReadsBySize(AtEnd, [](TCostForm& F) { F.Grid->VertScrollBar()->First(); }));
}

// The bar takes its new state at once and is drawn with the window's next frame painting: after
// rows were added one by one and the messages handled, it looks as a full repaint draws it.
TEST(GridCosts, ScrollBarShowsItsFinalStateAfterRowsAreAdded) {
  TCostForm F(300);
  const HWND W = F.Window();
  RECT Client;
  GetClientRect(W, &Client);
  const int BarWidth = GetSystemMetrics(SM_CXVSCROLL);
  // The bar as the screen shows it (the grid has no border: the bar starts at the client's right).
  auto CaptureBar = [&](const char* Name) {
    RECT Win;
    GetWindowRect(W, &Win);
    HDC Screen = GetDC(nullptr);
    uitest::TCapture C(Screen, Rect(Win.left + Client.right, Win.top, Win.left + Client.right + BarWidth,
                                    Win.top + Client.bottom));
    ReleaseDC(nullptr, Screen);
    C.MaybeSave(Name);
    return C;
  };
  const uitest::TCapture Before = CaptureBar("scroll_bar_before");
  for (int I = 0; I < 100; ++I) F.Grid->AddRow(1);
  F.Grid->VertScrollBar()->SetPosition(200);
  SCROLLINFO SI{sizeof(SI), SIF_ALL};
  GetScrollInfo(W, SB_VERT, &SI);
  EXPECT_EQ(SI.nMax, F.Grid->VertScrollBar()->Max());
  EXPECT_EQ(static_cast<int>(SI.nPage), F.Grid->VertScrollBar()->PageSize());
  EXPECT_EQ(SI.nPos, 200);
  Settle(GetAncestor(W, GA_ROOT));
  const uitest::TCapture Deferred = CaptureBar("scroll_bar_deferred");
  RedrawWindow(W, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOCHILDREN);
  Pump();
  const uitest::TCapture Full = CaptureBar("scroll_bar_full");
  const TRect All = Rect(0, 0, Full.Width(), Full.Height());
  EXPECT_TRUE(uitest::TCapture::SamePixels(Deferred, All, Full, All));
  EXPECT_FALSE(uitest::TCapture::SamePixels(Before, All, Deferred, All));
}

// The selected rows in view are found by walking the shown rows, not by counting a page of row
// indexes from the first visible one: rows hidden above them no longer push selected rows near
// the bottom of the body out of the repaint.
TEST(GridCosts, SelectionRepaintReachesRowsBelowHiddenOnes) {
  TCostForm F(40, {goSelectFullRow, goMultiSelect});
  F.Grid->BeginUpdate();
  for (int R = 1; R <= 8; ++R) F.Grid->SetRowVisible(R, false);
  F.Grid->EndUpdate();
  F.Grid->SelectAll();
  Settle(F.Window());
  // The last row the body shows fully, and a point inside it.
  const int Last = F.Grid->GetLastFullyVisibleRow();
  ASSERT_GT(Last, 8 + F.Grid->GetRowsPerPage() / 2);
  const TRect R = F.Grid->GetCellRect(0, Last);
  enginetest::ForgetRepaint(F.Window());
  F.Grid->SetHighlightedTextColor(clYellow);
  EXPECT_TRUE(enginetest::MarkedForRepaint(F.Window(), R.Left + 5, (R.Top + R.Bottom) / 2)) << "row " << Last;
}
