// A handler may change anything while the user ends an edit or moves the selection, the grid's
// existence included. Whatever road the user takes (a key, a click, a drag, the scroll bar or a
// roll, the focus leaving, or the program's own calls) and whatever the handler changes (rows,
// columns, the sort, another editor or selection, the edit, the grid itself, an error, a message
// box), the process goes on without touching freed memory, the typed text lands in the cell it
// was typed into or nowhere, every other cell keeps what it held, the grid edits only with a shown
// editor over a shown cell in the view, and each error is delivered once. Besides: a selection, a
// scroll or a row operation whose handlers change the rows leaves the row flags and the bar
// agreeing with what the grid shows (its handlers find the bar where the view is), and a column
// change of the program whose handler frees the grid (or its form) ends there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "framework/Scopes.h"
#include "framework/StdCtrls.h"
#include "support/Boxes.h"
#include "support/EngineTestHelpers.h"
#include "support/FreedMemoryGuard.h"
#include "support/MessageOf.h"

using namespace enginetest;

namespace {

// --- roads: how the user (or the program) ends the edit or moves the selection

enum TRoad {
  Enter, Esc, EscClear, Tab, Down, PageDown, End, Click, RightClick, IndicatorClick, HeaderClick, ColumnDrop,
  ScrollLine, Wheel, Roll, FocusAway, Commit, EndEdit, EditElsewhere, SelectRowCall, SortCall, SortedCall,
  SortKindCall, DeleteRowCall, HideRowCall, CollapseCall, ScrollAwayCall, InputEnter, TypeOnCell, TypeIntoEditor,
  RoadCount
};
enum TStart { WithEditor, WithSelection, WithInputEditor };
struct TRoadInfo {
  const char* Name;
  TStart Start;
};
const TRoadInfo Roads[RoadCount] = {
    {"Enter", WithEditor},
    {"Escape", WithEditor},
    {"Escape clearing the editor", WithEditor},
    {"Tab", WithEditor},
    {"Down", WithSelection},
    {"Page Down", WithEditor},
    {"End", WithSelection},
    {"a click on another cell", WithEditor},
    {"a right click on another cell", WithEditor},
    {"an indicator click", WithEditor},
    {"a header click", WithEditor},
    {"a column dragged to the end", WithEditor},
    {"a scroll-bar line", WithEditor},
    {"the wheel", WithSelection},
    {"a middle-button roll", WithEditor},
    {"the focus leaving", WithEditor},
    {"CommitEditing", WithEditor},
    {"EndEditing", WithEditor},
    {"EditCell elsewhere", WithEditor},
    {"SelectRow", WithEditor},
    {"SortColumn", WithEditor},
    {"Sorted set", WithEditor},
    {"SortKind turned", WithEditor},
    {"DeleteRow", WithEditor},
    {"the program hiding the edited row", WithEditor},
    {"the program collapsing the edited row's parent", WithEditor},
    {"the program scrolling the edited row out of view", WithEditor},
    {"the input line's Enter", WithInputEditor},
    {"a key typed on the selected cell", WithSelection},
    {"a key typed into the editor", WithEditor},
};

// --- handlers, each set to call Hit whatever it is told

enum THandler {
  OnBeforeEdit, OnApplyEditText, OnEditEnter, OnEdit, OnEditAccept, OnEditText, OnAfterEdit, OnEndEditing,
  OnEditExit, OnChange, OnBeforeSelect, OnDeselectCell, OnSelectCell, OnSortColumn, OnAfterSort, OnHeaderClick,
  OnVerticalScroll, OnExit, OnCellClick, OnKeyDown, OnKeyPress, OnKeyUp, OnMouseDown, OnContextPopup,
  OnInputAccept, OnInputAdded, OnDataChange, OnExpand, OnColumnMove, HandlerCount
};
template <auto Event>
void ArmOn(TNxGrid* G, const std::function<void()>& Hit) {
  G->*Event = [Hit](auto&&...) { Hit(); };
}
const struct {
  const char* Name;
  void (*Arm)(TNxGrid*, const std::function<void()>&);
} Handlers[HandlerCount] = {
    {"OnBeforeEdit", ArmOn<&TNxGrid::OnBeforeEdit>},     {"OnApplyEditText", ArmOn<&TNxGrid::OnApplyEditText>},
    {"OnEditEnter", ArmOn<&TNxGrid::OnEditEnter>},       {"OnEdit", ArmOn<&TNxGrid::OnEdit>},
    {"OnEditAccept", ArmOn<&TNxGrid::OnEditAccept>},     {"OnEditText", ArmOn<&TNxGrid::OnEditText>},
    {"OnAfterEdit", ArmOn<&TNxGrid::OnAfterEdit>},       {"OnEndEditing", ArmOn<&TNxGrid::OnEndEditing>},
    {"OnEditExit", ArmOn<&TNxGrid::OnEditExit>},         {"OnChange", ArmOn<&TNxGrid::OnChange>},
    {"OnBeforeSelect", ArmOn<&TNxGrid::OnBeforeSelect>}, {"OnDeselectCell", ArmOn<&TNxGrid::OnDeselectCell>},
    {"OnSelectCell", ArmOn<&TNxGrid::OnSelectCell>},     {"OnSortColumn", ArmOn<&TNxGrid::OnSortColumn>},
    {"OnAfterSort", ArmOn<&TNxGrid::OnAfterSort>},       {"OnHeaderClick", ArmOn<&TNxGrid::OnHeaderClick>},
    {"OnVerticalScroll", ArmOn<&TNxGrid::OnVerticalScroll>}, {"OnExit", ArmOn<&TNxGrid::OnExit>},
    {"OnCellClick", ArmOn<&TNxGrid::OnCellClick>},       {"OnKeyDown", ArmOn<&TNxGrid::OnKeyDown>},
    {"OnKeyPress", ArmOn<&TNxGrid::OnKeyPress>},         {"OnKeyUp", ArmOn<&TNxGrid::OnKeyUp>},
    {"OnMouseDown", ArmOn<&TNxGrid::OnMouseDown>},       {"OnContextPopup", ArmOn<&TNxGrid::OnContextPopup>},
    {"OnInputAccept", ArmOn<&TNxGrid::OnInputAccept>},   {"OnInputAdded", ArmOn<&TNxGrid::OnInputAdded>},
    {"OnDataChange", ArmOn<&TNxGrid::OnDataChange>},     {"OnExpand", ArmOn<&TNxGrid::OnExpand>},
    {"OnColumnMove", ArmOn<&TNxGrid::OnColumnMove>},
};

// --- changes a handler makes (once, the first time it runs)

enum TChange {
  DeleteEditedRow, DeleteOtherRow, InsertRow, MoveEditedRow, HideEditedRow, DeleteEditedColumn, DeleteOtherColumn,
  InsertColumn, MoveEditedColumn, HideEditedColumn, ClearRows, ClearColumns, Sort, EditAnother, SelectAnother,
  CommitTheEdit, EndTheEdit, ShowBox, FreeGrid, Raise, ClearColumnsAndRaise, ChangeCount
};
const char* const Changes[ChangeCount] = {
    "deletes the edited row",    "deletes another row",    "inserts a row",        "moves the edited row",
    "hides the edited row",      "deletes the edited column", "deletes column 0 (the sorted one)",  "inserts a column",
    "moves the edited column",   "hides the edited column", "clears the rows",     "clears the columns",
    "sorts",                     "edits another cell",     "selects another cell", "commits the edit",
    "ends the edit",             "shows a message box",    "frees the grid",       "raises",
    "clears the columns and raises"};

struct TCase {
  TRoad Road;
  THandler Handler;
  TChange Change;
  // The typed text must be in its cell afterwards when that cell is still there (otherwise it may
  // be there or nowhere).
  bool Kept = false;
  // The handler runs on the road (a table of every road and handler takes pairs that never meet).
  bool MustFire = true;
};

// The edit starts on cell (1, 1) of twenty rows; the user typed "x" after its text. Sorted by
// column 0 ("r0c0", "r10c0" .. "r19c0", "r1c0" ..), the edited row goes out of view.
constexpr int EditedCol = 1, EditedRow = 1;
const std::wstring Typed = L"r1c1x";
const std::wstring InputTyped = L"in";

// What the user's typing may leave in the cell it went to (besides what the cell held): the
// edit's text, and with a key typed into it that key too; a key typed on the selected cell opens
// an edit with just that key; Escape that clears the editor leaves it empty.
std::vector<std::wstring> TypedTexts(TRoad Road) {
  switch (Road) {
    case Down:
    case End:
    case Wheel:
    case InputEnter: return {};
    case TypeOnCell: return {L"a"};
    case TypeIntoEditor: return {Typed, Typed + L"z"};
    case EscClear: return {Typed, L""};
    default: return {Typed};
  }
}

// A real message box, as a handler shows one; it closes as soon as it is up (its own loop runs
// the timer that closes it).
void CALLBACK CloseBoxes(HWND, UINT, UINT_PTR, DWORD) {
  for (HWND B : boxtest::ThreadBoxes()) PostMessageW(B, WM_COMMAND, IDOK, 0);
}
void ShowABox() {
  const UINT_PTR Closer = SetTimer(nullptr, 0, 10, CloseBoxes);
  Application->MessageBox(L"Saved.", L"Grid", MB_OK);
  KillTimer(nullptr, Closer);
}

// One case: a form with its grid, the start of the road, the armed handler, the road, the checks.
class TRun {
 public:
  TRun(const TCase& C, TForm* Host)
      : FCase(C), F(3, {goHeader, goGrid, goIndicator, goInput}, 20, 300, 200, Host), G(F.Grid), Watch(G),
        Cols(F.Columns.begin(), F.Columns.end()) {
    G->SetWantTabs(true);
    Other.SetBounds(10, 212, 100, 20);
    Other.SetParent(F.Form);
    if (C.Road == EscClear) G->SetOptions(G->Options() + goEscClearEdit);
    // The program's turn of the direction needs a sorted column; a collapse, a parent of the
    // edited row.
    if (C.Road == SortKindCall) Cols[0]->SetSorted(true);
    if (C.Road == CollapseCall) G->AddChildRow(EditedRow - 1);
    for (int R = 0; R < G->RowCount(); ++R) Records.push_back(G->CellStore()->GetRow(R));
  }
  ~TRun() { Application->OnException = nullptr; }

  // Runs the case; true when the handler ran.
  bool Go() {
    SCOPED_TRACE(std::string(Roads[FCase.Road].Name) + ", " + Handlers[FCase.Handler].Name + " " +
                 Changes[FCase.Change]);
    [&] { ASSERT_TRUE(Start()) << "the case never reached the cell or editor it starts from"; }();
    if (testing::Test::HasFatalFailure()) return false;
    for (int R = 0; R < G->RowCount(); ++R)
      for (TNxCustomColumn* C : Cols) Before[{Records[static_cast<std::size_t>(R)], C}] = G->Cells(C->Index(), R);
    Application->OnException = [&](TObject*, Exception& E) { Errors.push_back("reported " + E.Message); };
    Handlers[FCase.Handler].Arm(G, [this] { Hit(); });
    memguard::TFaultCount Faults;
    Catching([&] { Road(); });
    Pump();
    EXPECT_EQ(Faults.Count(), 0);
    if (FCase.MustFire) {
      EXPECT_GE(Fired, 1) << "the handler never ran on this road";
    }
    // Each error is delivered once: the raising handler's, and no other.
    const bool Raises = FCase.Change == Raise || FCase.Change == ClearColumnsAndRaise;
    EXPECT_EQ(Errors.size(), Raises && Fired > 0 ? 1u : 0u) << testing::PrintToString(Errors);
    const bool Ran = Fired > 0;
    if (Watch.Freed()) {
      EXPECT_EQ(FCase.Change, FreeGrid);
      return Ran;
    }
    Disarm();
    CheckCells(false);
    CheckEditing();
    // What stays open is written back where it belongs.
    Errors.clear();
    Catching([&] { G->CommitEditing(); });
    Pump();
    EXPECT_TRUE(Errors.empty()) << testing::PrintToString(Errors);
    CheckCells(true);
    EXPECT_EQ(Faults.Count(), 0);
    return Ran;
  }

 private:
  void Catching(const std::function<void()>& Do) {
    try {
      Do();
    } catch (Exception& E) {
      Errors.push_back("caught " + E.Message);
    }
  }
  // Row index of a record (-1 when gone).
  int RowOf(TRow* Record) const {
    for (int R = 0; R < G->RowCount(); ++R)
      if (G->CellStore()->GetRow(R) == Record) return R;
    return -1;
  }
  TNxCustomColumn* Edited() const { return Cols[EditedCol]; }

  bool Start() {
    G->SetFocus();
    G->SetInputSelected(false);
    G->SelectCell(EditedCol, EditedRow);
    switch (Roads[FCase.Road].Start) {
      case WithSelection: return WaitFor([&] { return G->IsFocused() && !G->IsEditing(); });
      case WithEditor:
        G->EditCell(EditedCol, EditedRow, Typed);
        return WaitFor([&] { return F.EditorFocused() && F.Editor()->Text() == Typed; });
      case WithInputEditor:
        G->EditInputCell(Edited(), InputTyped);
        return WaitFor([&] { return F.EditorFocused() && F.Editor()->Text() == InputTyped; });
    }
    return false;
  }

  void Apply() {
    auto Col = [&](TNxCustomColumn* C) { return G->Columns()->IndexOf(C); };
    const int Row = RowOf(Records[EditedRow]);
    switch (FCase.Change) {
      case DeleteEditedRow:
        if (Row >= 0) G->DeleteRow(Row);
        break;
      case DeleteOtherRow:
        if (RowOf(Records[4]) >= 0) G->DeleteRow(RowOf(Records[4]));
        break;
      case InsertRow: G->InsertRow(0); break;
      case MoveEditedRow:
        if (Row >= 0) G->MoveRow(Row, G->RowCount() - 1);
        break;
      case HideEditedRow:
        if (Row >= 0) G->SetRowVisible(Row, false);
        break;
      case DeleteEditedColumn:
        if (Col(Edited()) >= 0) G->Columns()->Delete(Col(Edited()));
        break;
      case DeleteOtherColumn:
        if (Col(Cols[0]) >= 0) G->Columns()->Delete(Col(Cols[0]));
        break;
      case InsertColumn: G->Columns()->Insert(0, new TNxTextColumn(F.Form)); break;
      case MoveEditedColumn:
        if (Col(Edited()) >= 0) Edited()->SetPosition(G->Columns()->Count() - 1);
        break;
      case HideEditedColumn:
        if (Col(Edited()) >= 0) Edited()->SetVisible(false);
        break;
      case ClearRows: G->ClearRows(); break;
      case ClearColumns: G->Columns()->Clear(); break;
      case Sort:
        if (Col(Cols[2]) >= 0) G->SortColumn(Cols[2], false);
        break;
      case EditAnother:
        if (Col(Cols[0]) >= 0 && RowOf(Records[3]) >= 0) G->EditCell(Col(Cols[0]), RowOf(Records[3]));
        break;
      case SelectAnother:
        if (Col(Cols[0]) >= 0 && RowOf(Records[3]) >= 0) G->SelectCell(Col(Cols[0]), RowOf(Records[3]), true);
        break;
      case CommitTheEdit: G->CommitEditing(); break;
      case EndTheEdit: G->EndEditing(); break;
      case ShowBox: ShowABox(); break;
      case FreeGrid: delete G; break;
      case Raise: throw Exception("raised");
      case ClearColumnsAndRaise:
        G->Columns()->Clear();
        throw Exception("raised");
      case ChangeCount: break;
    }
  }

  void Hit() {
    if (++Fired == 1) Apply();
  }

  void Disarm() { Fired = 1 << 20; }

  void Road() {
    const HWND W = F.Window();
    auto ClickAt = [&](TPoint P, bool Right = false) { gridtest::PostClick(W, P.X, P.Y, Right); };
    switch (FCase.Road) {
      case Enter:
      case InputEnter: PressKey(VK_RETURN); break;
      case Esc:
      case EscClear: PressKey(VK_ESCAPE); break;
      case Tab: PressKey(VK_TAB); break;
      case Down: PressKey(VK_DOWN); break;
      case PageDown: PressKey(VK_NEXT); break;
      case End: PressKey(VK_END); break;
      case Click: ClickAt(F.CellPoint(0, 3)); break;
      case RightClick: ClickAt(F.CellPoint(0, 3), true); break;
      case IndicatorClick: ClickAt(Point(5, F.CellPoint(0, 3).Y)); break;
      case HeaderClick: ClickAt(Point(F.CellPoint(0, 0).X, G->HeaderSize() / 2)); break;
      case ColumnDrop: DragFirstColumnToTheEnd(); break;
      case ScrollLine: SendMessageW(W, WM_VSCROLL, SB_LINEDOWN, 0); break;
      case Wheel: {
        const POINT S = ScreenPoint(W, 100, 100);
        SendMessageW(W, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(S.x, S.y));
        break;
      }
      case Roll: RollALineDown(); break;
      case FocusAway: Other.SetFocus(); break;
      case Commit: G->CommitEditing(); break;
      case EndEdit: G->EndEditing(); break;
      case EditElsewhere: G->EditCell(0, 3); break;
      case SelectRowCall: G->SelectRow(3); break;
      case SortCall: G->SortColumn(Cols[0], true); break;
      case SortedCall: Cols[0]->SetSorted(true); break;
      case SortKindCall: Cols[0]->SetSortKind(Cols[0]->SortKind() == skAscending ? skDescending : skAscending); break;
      case DeleteRowCall: G->DeleteRow(0); break;
      case HideRowCall: G->SetRowVisible(EditedRow, false); break;
      case CollapseCall: G->SetExpanded(EditedRow - 1, false); break;
      case ScrollAwayCall: G->VertScrollBar()->SetPosition(EditedRow + 2); break;
      case TypeOnCell: PressKey('A'); break;
      case TypeIntoEditor: PressKey('Z'); break;
      case RoadCount: break;
    }
  }

  // Column 0's header pressed, the pointer moved past the press box (the drag box takes the mouse
  // from there) and released over the right half of the last column: by messages, the drag box's
  // as the box stands at each.
  void DragFirstColumnToTheEnd() {
    const HWND W = F.Window();
    const int X = F.CellPoint(0, 0).X, Y = G->HeaderSize() / 2;
    const POINT Drop = ScreenPoint(W, F.CellPoint(2, 0).X + 30, Y);
    PostMessageW(W, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X, Y));
    Pump();
    if (Watch.Freed()) return;
    SendMessageW(W, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(X + 10, Y));
    if (Watch.Freed()) return;
    if (!G->GridState().Contains(gsColumnDragging)) {
      SendMessageW(W, WM_LBUTTONUP, 0, MAKELPARAM(X + 10, Y));
      return;
    }
    const HWND Box = G->DragBox()->Handle();
    for (UINT Msg : {WM_MOUSEMOVE, WM_LBUTTONUP}) {
      POINT P = Drop;
      ScreenToClient(Box, &P);
      SendMessageW(Box, Msg, Msg == WM_MOUSEMOVE ? MK_LBUTTON : 0, MAKELPARAM(P.x, P.y));
      if (Watch.Freed()) return;
    }
  }

  // The middle button pressed beside the editor, the pointer well below the press, one step of
  // the roll (its timer held: the step is the test's), the release: by messages.
  void RollALineDown() {
    const HWND W = F.Window();
    const TPoint P = F.CellPoint(0, 4);
    PostMessageW(W, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(P.X, P.Y));
    Pump();
    if (Watch.Freed()) return;
    G->RollTimer()->SetEnabled(false);
    if (G->Rolling()) SendMessageW(W, WM_MOUSEMOVE, MK_MBUTTON, MAKELPARAM(P.X, P.Y + 60));
    if (Watch.Freed()) return;
    if (G->RollingDown()) {
      TTimer* Step = G->RollTimer();
      Step->OnTimer()(Step);
      if (Watch.Freed()) return;
    }
    SendMessageW(W, WM_MBUTTONUP, 0, MAKELPARAM(P.X, P.Y + 60));
  }

  // Every cell that was there holds what it held, or (the cell typed into) what was typed; new
  // cells are empty but the input line's new row, which holds what was typed there.
  void CheckCells(bool Committed) {
    const bool Input = Roads[FCase.Road].Start == WithInputEditor;
    const std::vector<std::wstring> Texts = TypedTexts(FCase.Road);
    for (int R = 0; R < G->RowCount(); ++R) {
      TRow* Record = G->CellStore()->GetRow(R);
      for (int C = 0; C < G->Columns()->Count(); ++C) {
        TNxCustomColumn* Col = G->Columns()->Item(C);
        const std::wstring Now = G->Cells(C, R);
        const auto It = Before.find({Record, Col});
        SCOPED_TRACE("cell " + std::to_string(C) + "," + std::to_string(R) + (Committed ? " after a commit" : ""));
        if (It == Before.end()) {
          const bool InputCell = Input && Col == Edited() && Now == InputTyped;
          EXPECT_TRUE(Now.empty() || InputCell) << WideToAnsi(Now);
          continue;
        }
        const bool TypedCell = Record == Records[EditedRow] && Col == Edited() && !Texts.empty();
        if (!TypedCell) {
          EXPECT_EQ(Now, It->second);
          continue;
        }
        const bool IsTyped = std::find(Texts.begin(), Texts.end(), Now) != Texts.end();
        if (FCase.Kept) {
          EXPECT_TRUE(IsTyped) << WideToAnsi(Now);
        } else {
          EXPECT_TRUE(Now == It->second || IsTyped) << WideToAnsi(Now);
        }
      }
    }
  }

  // The grid edits only with a shown editor over a shown cell of a shown row, in the body, and
  // the keys reach that editor when they reach the grid; no other editor shows; the selection
  // names a row of the grid or none.
  void CheckEditing() {
    EXPECT_GE(G->SelectedRow(), -1);
    EXPECT_LT(G->SelectedRow(), G->RowCount());
    TNxCustomEdit* E = G->InplaceEditor();
    for (int C = 0; C < G->Columns()->Count(); ++C) {
      TNxCustomEdit* Own = G->Columns()->Item(C)->Editor();
      if (Own != nullptr && Own != E && Own->HandleAllocated()) {
        EXPECT_FALSE(IsWindowVisible(Own->Handle())) << C;
      }
    }
    if (!G->IsEditing()) {
      if (E != nullptr && E->HandleAllocated()) {
        EXPECT_FALSE(IsWindowVisible(E->Handle()));
      }
      return;
    }
    ASSERT_NE(E, nullptr);
    ASSERT_TRUE(E->HandleAllocated());
    EXPECT_TRUE(IsWindowVisible(E->Handle()));
    EXPECT_NE(GetFocus(), G->Handle()) << "the keys go to the grid, not to its editor";
    if (G->GridState().Contains(gsInputEditing)) {
      ASSERT_TRUE(G->Columns()->IsValidIndex(G->InputColumn()));
      EXPECT_TRUE(G->Columns()->Item(G->InputColumn())->Visible());
      return;
    }
    const int C = G->EditCol(), R = G->EditRow();
    ASSERT_TRUE(G->Columns()->IsValidIndex(C)) << C;
    ASSERT_TRUE(R >= 0 && R < G->RowCount()) << R;
    EXPECT_TRUE(G->Columns()->Item(C)->Visible());
    EXPECT_TRUE(G->GetRowShown(R));
    const TRect Box = E->BoundsRect();
    const TPoint Middle = Point((Box.Left + Box.Right) / 2, (Box.Top + Box.Bottom) / 2);
    EXPECT_TRUE(G->GetCellRect(C, R).Contains(Middle) && G->GetBodyRect().Contains(Middle))
        << "the editor stands over its cell in the body";
    // An editor opened on another cell shows that cell's text.
    const bool Own = G->CellStore()->GetRow(R) == Records[EditedRow] && G->Columns()->Item(C) == Edited();
    if (!Own) {
      EXPECT_EQ(E->Text(), G->Cells(C, R));
    }
  }

  TCase FCase;
  TEditingForm F;
  TNxGrid* G;
  TFreeWatch Watch;
  TEdit Other{nullptr};
  std::vector<TRow*> Records;
  std::vector<TNxCustomColumn*> Cols;
  std::map<std::pair<TRow*, TNxCustomColumn*>, std::wstring> Before;
  std::vector<std::string> Errors;
  int Fired = 0;
};

// Cases that wait for a fix of the framework, and are left out until it comes: the framework goes
// on with the grid that OnContextPopup freed, after the system's context menu
// (TControl::WMRButtonUp).
const TCase AwaitingTheFramework[] = {{RightClick, OnContextPopup, FreeGrid}};

// One case with a grid of its own on the host form; with TrapFreedReads any read of what the case
// freed faults. True when its handler ran.
bool RunOne(const TCase& C, TForm* Host, bool TrapFreedReads) {
  for (const TCase& A : AwaitingTheFramework) {
    if (A.Road == C.Road && A.Handler == C.Handler && A.Change == C.Change) {
      std::printf("left out until the framework's fix: %s, %s %s\n", Roads[C.Road].Name, Handlers[C.Handler].Name,
                  Changes[C.Change]);
      return true;
    }
  }
  // TV_GRID_REENTRY_TRACE names each case before it runs, for a case that ends the process.
  static const bool Trace = gridtest::EnvInt("TV_GRID_REENTRY_TRACE", 0) != 0;
  if (Trace) {
    std::printf("%s, %s %s\n", Roads[C.Road].Name, Handlers[C.Handler].Name, Changes[C.Change]);
    std::fflush(stdout);
  }
  std::optional<memguard::TTrapFreedReads> Trap;
  if (TrapFreedReads) Trap.emplace();
  TRun Run(C, Host);
  return Run.Go();
}

// The cases one after the other, on one form.
void RunAll(const std::vector<TCase>& Cases, bool TrapFreedReads = false) {
  TEngineForm Host(0);
  Host.Grid->SetVisible(false);
  for (const TCase& C : Cases) RunOne(C, Host.Form, TrapFreedReads);
}

// Every pair of the two lists, with one change.
std::vector<TCase> Product(std::vector<TRoad> R, std::vector<THandler> H, std::vector<TChange> Ch, bool Kept = false) {
  std::vector<TCase> Out;
  for (TRoad Road : R)
    for (THandler Handler : H)
      for (TChange Change : Ch) Out.push_back({Road, Handler, Change, Kept});
  return Out;
}

}  // namespace

// A handler that moves on to another cell (selects it, or opens its editor) while the edit ends
// leaves the typed text in the cell it was typed into, and the other cell as it was.
TEST(Reentry, AHandlerThatMovesToAnotherCellLeavesTheTypedTextInItsOwnCell) {
  std::vector<TCase> Cases =
      Product({Enter, Tab, Click, HeaderClick, ScrollLine, FocusAway, Commit, PageDown}, {OnEditAccept, OnEditText},
              {EditAnother, SelectAnother}, true);
  for (TCase C : Product({Click, EditElsewhere}, {OnEndEditing}, {EditAnother, SelectAnother}, true)) Cases.push_back(C);
  RunAll(Cases);
}

// A handler that deletes the edited column, or clears the columns, while the edit ends (or while
// the input line adds its row) ends the edit there.
TEST(Reentry, AHandlerThatTakesTheEditedColumnAwayEndsTheEdit) {
  std::vector<TCase> Cases;
  const std::vector<std::pair<THandler, std::vector<TRoad>>> Pairs = {
      {OnEndEditing, {Enter, Esc, Tab, Click, HeaderClick, ScrollLine, FocusAway, Commit, EndEdit, SelectRowCall,
                      SortCall, DeleteRowCall}},
      {OnEditExit, {Enter, Esc, Tab, Click, HeaderClick, ScrollLine, FocusAway, Commit, EndEdit, SelectRowCall,
                    SortCall, DeleteRowCall}},
      {OnEditAccept, {Enter, Tab, Click, HeaderClick, ScrollLine, FocusAway, Commit}},
      {OnAfterEdit, {Enter, Tab, Click, HeaderClick, ScrollLine, FocusAway, Commit}},
      {OnChange, {Enter, Tab, Click, ScrollLine, Commit, InputEnter}},
      {OnInputAccept, {InputEnter}},
      {OnInputAdded, {InputEnter}},
      {OnDataChange, {InputEnter}},
      {OnBeforeEdit, {TypeOnCell}},
      {OnEditEnter, {TypeOnCell}},
      {OnEdit, {TypeOnCell, TypeIntoEditor, EscClear}},
  };
  for (const auto& [Handler, Rs] : Pairs)
    for (TCase C : Product(Rs, {Handler}, {DeleteEditedColumn, ClearColumns})) Cases.push_back(C);
  RunAll(Cases, true);
}

// A sort whose column goes while the edit ends, or in the sort's handlers (raising or not), sorts
// nothing that is gone and reads nothing freed, whoever started it: a header click, or the program
// by a call or a column's direction.
TEST(Reentry, ASortWhoseColumnGoesOnTheWaySortsNothingThatIsGone) {
  RunAll(Product({HeaderClick, SortCall, SortedCall, SortKindCall},
                 {OnEndEditing, OnEditExit, OnSortColumn, OnAfterSort},
                 {DeleteOtherColumn, ClearColumns, ClearColumnsAndRaise}),
         true);
}

// A key whose handlers change what it was typed into or on (the edit, the selected cell) does
// nothing more: what was typed is in its own cell or nowhere, whatever the change.
TEST(Reentry, AKeyWhoseHandlersChangeItsCellGoesThereOrNowhere) {
  std::vector<TChange> Every;
  for (int Change = 0; Change < ChangeCount; ++Change) Every.push_back(static_cast<TChange>(Change));
  RunAll(Product({TypeOnCell, TypeIntoEditor}, {OnKeyDown, OnKeyPress, OnKeyUp}, Every), true);
}

// A handler that frees the grid ends the road there, whatever road it is: nothing freed is read.
TEST(Reentry, AHandlerThatFreesTheGridEndsEveryRoadThere) {
  std::vector<TCase> Cases =
      Product({Down, End, PageDown, Tab, Click, IndicatorClick}, {OnBeforeSelect, OnDeselectCell, OnSelectCell}, {FreeGrid});
  const std::vector<std::pair<THandler, std::vector<TRoad>>> Pairs = {
      {OnVerticalScroll, {End, Wheel, HeaderClick, ScrollAwayCall}},
      {OnSortColumn, {HeaderClick, SortCall, SortedCall, SortKindCall}},
      {OnMouseDown, {Click, IndicatorClick, HeaderClick}},
      {OnKeyDown, {Enter, Down, TypeOnCell, TypeIntoEditor}},
      {OnKeyPress, {TypeOnCell, TypeIntoEditor}},
      {OnKeyUp, {TypeIntoEditor}},
      {OnEdit, {EscClear, TypeIntoEditor}},
      {OnColumnMove, {ColumnDrop}},
      {OnContextPopup, {RightClick}},
      {OnCellClick, {Click}},
      {OnBeforeEdit, {Click, EditElsewhere}},
      {OnEditAccept, {ScrollLine, Roll, ScrollAwayCall, HideRowCall, CollapseCall}},
      {OnEditText, {ScrollLine}},
      {OnAfterEdit, {ScrollLine}},
      {OnEndEditing, {ScrollLine, SelectRowCall, SortCall, DeleteRowCall}},
      {OnEditExit, {ScrollLine, SelectRowCall, SortCall, DeleteRowCall}},
  };
  for (const auto& [Handler, Rs] : Pairs)
    for (TCase C : Product(Rs, {Handler}, {FreeGrid})) Cases.push_back(C);
  RunAll(Cases, true);
}

// OnEditText that changes rows or columns: the typed text goes into its own cell while that cell
// is there, and no error reaches the application.
TEST(Reentry, AnOnEditTextThatChangesTheRowsOrColumnsKeepsTheTypedText) {
  const std::vector<TRoad> Rs = {Enter, Tab, Click, IndicatorClick, HeaderClick, ScrollLine, FocusAway, Commit, PageDown};
  std::vector<TCase> Cases = Product(Rs, {OnEditText}, {InsertRow, InsertColumn, HideEditedColumn, Sort, MoveEditedRow}, true);
  for (TCase C : Product(Rs, {OnEditText}, {DeleteEditedRow, DeleteEditedColumn, ClearRows, ClearColumns})) Cases.push_back(C);
  RunAll(Cases);
}

namespace {

// Whether the share of the table that a run takes holds a case: every case with
// TV_GRID_REENTRY_ALL=1, otherwise those a fixed seed picks (TV_GRID_REENTRY_SEED picks another
// share), about one in Spread.
bool InShare(TRoad R, THandler H, TChange C) {
  static const bool All = gridtest::EnvInt("TV_GRID_REENTRY_ALL", 0) != 0;
  static const unsigned Seed = static_cast<unsigned>(gridtest::EnvInt("TV_GRID_REENTRY_SEED", 50));
  constexpr unsigned Spread = 6;
  if (All) return true;
  unsigned X = Seed * 2654435761u ^ (static_cast<unsigned>(R) * 40503u + static_cast<unsigned>(H)) * 69069u ^
               static_cast<unsigned>(C) * 2246822519u;
  X ^= X >> 15;
  X *= 2654435761u;
  X ^= X >> 13;
  return X % Spread == 0;
}

}  // namespace

// Every road with every handler and every change on the way, under the trap for reads of freed
// memory. A pair whose handler does not run on its road is taken with one change (the others would
// run the same road); each road runs some handler, and each handler runs on some road.
TEST(Reentry, EveryRoadWithEveryHandlerAndChange) {
  TEngineForm Host(0);
  Host.Grid->SetVisible(false);
  bool RoadFires[RoadCount] = {}, HandlerFires[HandlerCount] = {};
  for (int R = 0; R < RoadCount; ++R) {
    for (int H = 0; H < HandlerCount; ++H) {
      const auto Road = static_cast<TRoad>(R);
      const auto Handler = static_cast<THandler>(H);
      // The first change of the pair is its own in the turn, so that every change meets every road.
      const int First = (R + H) % ChangeCount;
      if (!RunOne({Road, Handler, static_cast<TChange>(First), false, false}, Host.Form, true)) continue;
      RoadFires[R] = HandlerFires[H] = true;
      for (int K = 1; K < ChangeCount; ++K) {
        const auto Change = static_cast<TChange>((First + K) % ChangeCount);
        if (InShare(Road, Handler, Change)) RunOne({Road, Handler, Change}, Host.Form, true);
      }
    }
  }
  for (int R = 0; R < RoadCount; ++R) EXPECT_TRUE(RoadFires[R]) << Roads[R].Name << " runs no handler";
  for (int H = 0; H < HandlerCount; ++H) EXPECT_TRUE(HandlerFires[H]) << Handlers[H].Name << " runs on no road";
}

// A program whose key handlers end the edit on every key (it saves as the user types, or shows a
// message): a key typed into an edit its handlers ended does nothing more, on a cell as on the
// input line (Down moves no selection). No key is typed twice, none lands in another cell, and
// what was typed before stays: the cell holds what an edit there was given (the one the test
// opened, or one a later key opened with just that key).
TEST(Reentry, KeysWhoseHandlersEndTheirEditAreTypedNoMore) {
  const struct {
    const char* Name;
    std::function<void(TNxGrid*)> Ends;
    bool OnKeyPress = false;
  } Programs[] = {
      {"CommitEditing in OnKeyDown", [](TNxGrid* G) { G->CommitEditing(); }},
      {"CommitEditing in OnKeyPress", [](TNxGrid* G) { G->CommitEditing(); }, true},
      {"EndEditing in OnKeyDown", [](TNxGrid* G) { G->EndEditing(); }},
      {"a message box in OnKeyDown", [](TNxGrid*) { ShowABox(); }},
  };
  for (const bool Input : {false, true}) {
    for (const auto& P : Programs) {
      SCOPED_TRACE(std::string(P.Name) + (Input ? ", the input line" : ", a cell"));
      TEditingForm F(3, {goHeader, goGrid, goInput}, 4);
      TNxGrid* G = F.Grid;
      G->SetFocus();
      if (Input) {
        G->EditInputCell(F.Columns[1], L"in");
      } else {
        G->SetInputSelected(false);
        G->SelectCell(1, 1);
        G->EditCell(1, 1);
      }
      ASSERT_TRUE(WaitFor([&] { return F.EditorFocused(); }));
      const std::wstring Before = Input ? L"in" : L"r1c1";
      if (P.OnKeyPress)
        G->OnKeyPress = [&](TObject*, wchar_t&) { P.Ends(G); };
      else
        G->OnKeyDown = [&](TObject*, Word&, TShiftState) { P.Ends(G); };
      PressKey(VK_DOWN);
      TypeText("ab");
      PressKey(VK_RETURN);
      Pump();
      EXPECT_EQ(G->InputSelected(), Input);
      if (!Input) {
        EXPECT_EQ(G->SelectedRow(), 1);
      }
      G->OnKeyDown = nullptr;
      G->OnKeyPress = nullptr;
      G->CommitEditing();
      const std::vector<std::wstring> Typed = {Before, Before + L"a", Before + L"ab", L"a", L"ab", L"b"};
      auto TypedThere = [&](const std::wstring& Now) {
        return std::find(Typed.begin(), Typed.end(), Now) != Typed.end();
      };
      for (int R = 0; R < G->RowCount(); ++R) {
        for (int C = 0; C < 3; ++C) {
          SCOPED_TRACE("cell " + std::to_string(C) + "," + std::to_string(R));
          const std::wstring Now = G->Cells(C, R);
          if (R >= 4) {
            EXPECT_TRUE(C == 1 ? TypedThere(Now) : Now.empty()) << WideToAnsi(Now);
          } else if (!Input && C == 1 && R == 1) {
            EXPECT_TRUE(TypedThere(Now)) << WideToAnsi(Now);
          } else {
            EXPECT_EQ(Now, L"r" + std::to_wstring(R) + L"c" + std::to_wstring(C));
          }
        }
      }
      if (Input) {
        EXPECT_TRUE(F.Columns[1]->InputValue().empty() || TypedThere(F.Columns[1]->InputValue()))
            << WideToAnsi(F.Columns[1]->InputValue());
      }
      Settle(F.Window());
    }
  }
}

// A column added as the edit ends (OnEditExit) leaves no editor behind: the next edit on the same
// column, opened by a click or in code, shows its own cell's text and announces itself, and the
// typed text stays in its own cell.
TEST(Reentry, AColumnAddedAsTheEditEndsLeavesTheNextEditItsOwnText) {
  for (const bool ByClick : {true, false}) {
    SCOPED_TRACE(ByClick ? "a click on another cell" : "CommitEditing, then EditCell on another row");
    TEditingForm F;
    TNxGrid* G = F.Grid;
    int Enters = 0;
    bool Added = false;
    G->OnEditEnter = [&](TObject*) { ++Enters; };
    G->OnEditExit = [&](TObject*) {
      if (!std::exchange(Added, true)) G->Columns()->Add(new TNxTextColumn(F.Form));
    };
    ASSERT_TRUE(F.ClickToEdit(2, 1));
    TypeText("x");
    ASSERT_TRUE(WaitFor([&] { return F.Editor()->Text() == L"r1c2x"; }));
    if (ByClick) {
      const TPoint P = F.CellPoint(2, 3);
      SettledClick(F.Window(), P.X, P.Y);
      WaitFor([&] { return G->IsEditing() && G->EditRow() == 3; });
    } else {
      G->CommitEditing();
      G->EditCell(2, 3);
    }
    Pump();
    EXPECT_TRUE(Added);
    EXPECT_EQ(G->Cells(2, 1), L"r1c2x");
    EXPECT_EQ(G->Cells(2, 3), L"r3c2");
    ASSERT_TRUE(G->IsEditing());
    EXPECT_EQ(Point(G->EditCol(), G->EditRow()), Point(2, 3));
    ASSERT_NE(F.Editor(), nullptr);
    EXPECT_EQ(F.Editor()->Text(), L"r3c2");
    EXPECT_TRUE(IsWindowVisible(F.Editor()->Handle()));
    EXPECT_TRUE(F.EditorFocused());
    EXPECT_EQ(Enters, 2);
    G->CommitEditing();
    EXPECT_EQ(G->Cells(2, 3), L"r3c2");
    Settle(F.Window());
  }
}

// No editor opens where it cannot be seen: on a column that OnBeforeEdit hides, or on a selected
// row that is hidden; the keys typed there open nothing.
TEST(Reentry, NoEditorOpensUnseen) {
  auto HideTheColumn = [](TEditingForm& F) {
    F.Grid->OnBeforeEdit = [&F](TObject*, int, int, bool&) { F.Columns[1]->SetVisible(false); };
  };
  const struct {
    const char* Name;
    std::function<void(TEditingForm&)> Prepare;
    std::function<void(TEditingForm&)> Open;
  } Cases[] = {
      {"OnBeforeEdit hides the column, EditCell", HideTheColumn, [](TEditingForm& F) { F.Grid->EditCell(1, 1); }},
      {"OnBeforeEdit hides the column, a click", HideTheColumn,
       [](TEditingForm& F) {
         const TPoint P = F.CellPoint(1, 1);
         gridtest::PostClick(F.Window(), P.X, P.Y);
       }},
      {"OnBeforeEdit hides the column, typing", HideTheColumn, [](TEditingForm&) { TypeText("z"); }},
      {"typing on a hidden selected row", [](TEditingForm& F) { F.Grid->SetRowVisible(1, false); },
       [](TEditingForm&) { TypeText("z"); }},
      {"typing on a selected row of no height", [](TEditingForm& F) { F.Grid->SetRowHeight(1, 0); },
       [](TEditingForm&) { TypeText("z"); }},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TEditingForm F;
    TNxGrid* G = F.Grid;
    G->SetFocus();
    G->SelectCell(1, 1);
    ASSERT_TRUE(WaitFor([&] { return G->IsFocused(); }));
    C.Prepare(F);
    C.Open(F);
    Pump();
    if (G->IsEditing()) {
      EXPECT_TRUE(G->Columns()->Item(G->EditCol())->Visible());
      EXPECT_TRUE(G->GetRowShown(G->EditRow()));
      EXPECT_TRUE(IsWindowVisible(F.Editor()->Handle()));
    }
    G->OnBeforeEdit = nullptr;
    G->CommitEditing();
    EXPECT_EQ(G->Cells(1, 1), L"r1c1");
    Settle(F.Window());
  }
}

// Handlers that clear the rows while an edit opens, a click selects or a row is deleted leave a
// grid without rows in order: no edit, no selected row, no error.
TEST(Reentry, HandlersThatClearTheRowsLeaveNothingBehind) {
  std::string Errors;
  Application->OnException = [&](TObject*, Exception& E) { Errors += E.Message; };
  TScopeExit Restore([] { Application->OnException = nullptr; });
  const struct {
    const char* Name;
    std::function<void(TEditingForm&)> Act;
  } Cases[] = {
      {"OnBeforeEdit, EditCell",
       [](TEditingForm& F) {
         F.Grid->OnBeforeEdit = [&F](TObject*, int, int, bool&) { F.Grid->ClearRows(); };
         F.Grid->EditCell(1, 1);
       }},
      {"OnBeforeSelect, a click",
       [](TEditingForm& F) {
         F.Grid->OnBeforeSelect = [&F](TObject*, int, int, bool&) { F.Grid->ClearRows(); };
         const TPoint P = F.CellPoint(1, 3);
         gridtest::PostClick(F.Window(), P.X, P.Y);
       }},
      {"OnEndEditing, DeleteRow(0)",
       [](TEditingForm& F) {
         F.Grid->EditCell(1, 1, L"typed");
         F.Grid->OnEndEditing = [&F, Once = true](TObject*, int, int, WideString&, bool&) mutable {
           if (std::exchange(Once, false)) F.Grid->ClearRows();
         };
         F.Grid->DeleteRow(0);
       }},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    Errors.clear();
    TEditingForm F(3, {goHeader, goGrid}, 6);
    TNxGrid* G = F.Grid;
    G->SetFocus();
    G->SelectCell(1, 1);
    Errors += exctest::MessageOf<Exception>([&] { C.Act(F); }, "");
    Pump();
    EXPECT_EQ(Errors, "");
    EXPECT_EQ(G->RowCount(), 0);
    EXPECT_FALSE(G->IsEditing());
    EXPECT_EQ(G->EditCol(), -1);
    EXPECT_EQ(G->SelectedRow(), -1);
    if (F.Editor() != nullptr) {
      EXPECT_FALSE(IsWindowVisible(F.Editor()->Handle()));
    }
    Settle(F.Window());
  }
}

// A key that arrives while OnSelectCell waits in a message loop (a page that loads) is an action of
// its own: the selection it makes is the one that stands, and the editor opens on it, not on the
// cell of the waiting selection.
TEST(Reentry, AKeyInAWaitingSelectionLeavesTheEditorOnTheSelectedRow) {
  TEditingForm F(3, {goHeader, goGrid}, 8);
  TNxGrid* G = F.Grid;
  F.Columns[1]->SetAutoEdit(true);
  G->SetFocus();
  G->SelectCell(1, 1);
  ASSERT_TRUE(WaitFor([&] { return G->IsFocused(); }));
  int Selected = 0;
  G->OnSelectCell = [&](TObject*, int, int) {
    if (++Selected != 1) return;
    PostMessageW(F.Window(), WM_KEYDOWN, VK_DOWN, 0);
    WaitFor([&] { return Selected > 1; }, 1000);
  };
  SendMessageW(F.Window(), WM_KEYDOWN, VK_DOWN, 0);
  Pump();
  EXPECT_EQ(Selected, 2);
  EXPECT_EQ(G->SelectedRow(), 3);
  ASSERT_TRUE(G->IsEditing());
  EXPECT_EQ(Point(G->EditCol(), G->EditRow()), Point(1, 3));
  G->EndEditing();
  Settle(F.Window());
}

// A handler of a selection that selects, sorts, inserts or deletes rows itself: afterwards one
// row is flagged, the selected one (full rows, one at a time), and no handler hears of a row that
// is not there.
TEST(Reentry, ASelectionThatAHandlerChangesLeavesOneSelectedRow) {
  const struct {
    THandler Handler;
    TFormChange<> Change;
  } Cases[] = {
      {OnDeselectCell, {"selects another cell", [](TEngineForm& F) { F.Grid->SelectCell(1, 2); }}},
      {OnDeselectCell, {"sorts", [](TEngineForm& F) { F.Grid->SortColumn(F.Columns[0], false); }}},
      {OnDeselectCell, {"deletes the row being selected", [](TEngineForm& F) { F.Grid->DeleteRow(7); }}},
      {OnDeselectCell, {"inserts a row", [](TEngineForm& F) { F.Grid->InsertRow(0); }}},
      {OnBeforeSelect, {"selects another cell", [](TEngineForm& F) { F.Grid->SelectCell(1, 2); }}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(std::string(Handlers[C.Handler].Name) + " " + C.Change.Name);
    TEngineForm F(2, {goHeader, goSelectFullRow, goMultiSelect});
    F.Fill(10);
    TNxGrid* G = F.Grid;
    G->SelectCell(0, 5);
    std::string Told;
    G->OnSelectCell = [&](TObject*, int, int R) {
      if (R < 0 || R >= G->RowCount()) Told += " " + std::to_string(R);
    };
    bool Once = true;
    Handlers[C.Handler].Arm(G, [&] {
      if (std::exchange(Once, false)) C.Change.Change(F);
    });
    G->SelectCell(0, 7);
    EXPECT_EQ(Told, "") << "OnSelectCell heard of rows that are not there";
    std::string Flagged;
    for (int R = 0; R < G->RowCount(); ++R)
      if (G->GetSelected(R)) Flagged += " " + std::to_string(R);
    EXPECT_EQ(Flagged, G->SelectedRow() < 0 ? "" : " " + std::to_string(G->SelectedRow()));
    EXPECT_FALSE(G->GridState().Contains(gsRangeSelect));
  }
}

namespace {

// The bar stands where the view is (its position is the number of shown rows above the top row).
bool BarWhereTheViewIs(TNxGrid* G) {
  return G->VertScrollBar()->Position() == G->CountShownRows(0, G->FirstVisibleRow());
}

// After a scroll or row operation whose handlers changed the rows: the bar stands where the view
// is, the window's bar shows the bar, and the window what a full repaint shows.
void ExpectTheViewSettled(TEngineForm& F) {
  Settle(F.Window());
  const TNxScrollBar* Bar = F.Grid->VertScrollBar();
  EXPECT_EQ(Bar->Position(), F.Grid->CountShownRows(0, F.Grid->FirstVisibleRow()));
  SCROLLINFO Window{sizeof(SCROLLINFO), SIF_ALL};
  GetScrollInfo(F.Window(), SB_VERT, &Window);
  // (A window's bar without a range keeps no page.)
  const int Page = Bar->Max() > 0 ? static_cast<int>(Window.nPage) : Bar->PageSize();
  EXPECT_EQ(std::make_tuple(Window.nMax, Page, Window.nPos), std::make_tuple(Bar->Max(), Bar->PageSize(), Bar->Position()))
      << "the window's bar shows the bar";
  const TCapture Shown(F.Window());
  InvalidateRect(F.Window(), nullptr, FALSE);
  Settle(F.Window());
  const TCapture Repainted(F.Window());
  const TRect All{0, 0, Shown.Width(), Shown.Height()};
  EXPECT_TRUE(TCapture::SamePixels(Shown, All, Repainted, All));
}

// A grid of forty rows on the host form, prepared, its view scrolled to Position; Arm sets the
// handler under test to call the given step, which finds the bar where the view is each time and
// makes the change the first time. The operation must run the handler, and the view settles.
void ExpectTheBarFollows(TForm* Host, const std::function<void(TNxGrid*)>& Prepare, int Position,
                         const std::function<void(TNxGrid*, const std::function<void()>&)>& Arm,
                         const std::function<void(TNxGrid*)>& Operation, const TFormChange<>& Change) {
  TEngineForm F(2, {goHeader, goGrid}, 300, 200, 80, false, Host);
  F.Fill(40);
  TNxGrid* G = F.Grid;
  Prepare(G);
  G->VertScrollBar()->SetPosition(Position);
  Settle(F.Window());
  bool Once = true;
  Arm(G, [&] {
    EXPECT_TRUE(BarWhereTheViewIs(G)) << "the handler finds the bar where the view is";
    if (std::exchange(Once, false)) Change.Change(F);
  });
  Operation(G);
  EXPECT_FALSE(Once) << "the handler ran";
  ExpectTheViewSettled(F);
}

}  // namespace

// A scroll, by the bar or by a row operation that moves the view, whose handler changes the rows
// or scrolls: the handler finds the bar where the view is, and the view settles (as above).
TEST(Reentry, AScrollWhoseHandlerChangesTheRowsLeavesTheBarWhereTheViewIs) {
  const struct {
    const char* Name;
    std::function<void(TNxGrid*)> Scroll;
    // Made before the view scrolls to the position.
    std::function<void(TNxGrid*)> Prepare = [](TNxGrid*) {};
    int Position = 15;
  } Scrolls[] = {
      {"SetPosition", [](TNxGrid* G) { G->VertScrollBar()->SetPosition(5); }},
      {"a line down", [](TNxGrid* G) { SendMessageW(G->Handle(), WM_VSCROLL, SB_LINEDOWN, 0); }},
      {"a line up", [](TNxGrid* G) { SendMessageW(G->Handle(), WM_VSCROLL, SB_LINEUP, 0); }},
      {"a page up", [](TNxGrid* G) { SendMessageW(G->Handle(), WM_VSCROLL, SB_PAGEUP, 0); }},
      {"the top", [](TNxGrid* G) { SendMessageW(G->Handle(), WM_VSCROLL, SB_TOP, 0); }},
      {"a row deleted above", [](TNxGrid* G) { G->DeleteRow(2); }, [](TNxGrid* G) { G->SelectCell(0, 20); }},
      {"the selected row deleted above", [](TNxGrid* G) { G->DeleteRow(2); },
       [](TNxGrid* G) { G->SelectCell(0, 2); }},
      {"a row inserted above", [](TNxGrid* G) { G->InsertRow(2); }},
      {"a child row added above", [](TNxGrid* G) { G->AddChildRow(2); }},
      {"a row hidden above", [](TNxGrid* G) { G->SetRowVisible(2, false); }},
      {"a row shown above", [](TNxGrid* G) { G->SetRowVisible(2, true); },
       [](TNxGrid* G) { G->SetRowVisible(2, false); }},
      {"every row hidden",
       [](TNxGrid* G) {
         for (int R = 0; R < G->RowCount(); ++R) G->SetRowVisible(R, false);
       },
       [](TNxGrid* G) { G->SelectCell(0, 20); }},
      {"a parent collapsed above", [](TNxGrid* G) { G->SetExpanded(2, false); },
       [](TNxGrid* G) { G->AddChildRow(2), G->AddChildRow(2); }},
      {"a parent of fifteen rows collapsed above", [](TNxGrid* G) { G->SetExpanded(2, false); },
       [](TNxGrid* G) {
         for (int I = 0; I < 15; ++I) G->AddChildRow(2);
       }, 40},
      {"a parent of thirty rows expanded above", [](TNxGrid* G) { G->SetExpanded(2, true); },
       [](TNxGrid* G) {
         for (int I = 0; I < 30; ++I) G->AddChildRow(2);
         G->SetExpanded(2, false);
       }, 30},
      {"a parent of fifteen rows deleted above", [](TNxGrid* G) { G->DeleteRow(2); },
       [](TNxGrid* G) {
         for (int I = 0; I < 15; ++I) G->AddChildRow(2);
       }, 40},
      {"a hidden row moved from above to below", [](TNxGrid* G) { G->MoveRow(2, 30); },
       [](TNxGrid* G) { G->SetRowVisible(2, false); }},
      {"a sort that brings the selected row up", [](TNxGrid* G) { G->SortColumn(G->Columns()->Item(0), false); },
       [](TNxGrid* G) { G->SelectCell(0, 35); }},
  };
  const TFormChange<> Changes[] = {
      {"inserts a row in view", [](TEngineForm& F) { F.Grid->InsertRow(20); }},
      {"inserts a row above", [](TEngineForm& F) { F.Grid->InsertRow(2); }},
      {"deletes a row above", [](TEngineForm& F) { F.Grid->DeleteRow(3); }},
      {"hides a row above", [](TEngineForm& F) { F.Grid->SetRowVisible(2, false); }},
      {"sorts", [](TEngineForm& F) { F.Grid->SortColumn(F.Columns[0], false); }},
      {"scrolls", [](TEngineForm& F) { F.Grid->VertScrollBar()->SetPosition(25); }},
  };
  auto Arm = [](TNxGrid* G, const std::function<void()>& Step) {
    G->OnVerticalScroll = [G, Step](TObject*, int Position) {
      EXPECT_EQ(Position, G->VertScrollBar()->Position());
      Step();
    };
  };
  TEngineForm Host(0);
  Host.Grid->SetVisible(false);
  for (const auto& S : Scrolls) {
    for (const auto& C : Changes) {
      SCOPED_TRACE(std::string(S.Name) + ", OnVerticalScroll " + C.Name);
      ExpectTheBarFollows(Host.Form, S.Prepare, S.Position, Arm, S.Scroll, C);
    }
  }
}

// A handler that runs inside a row operation (the selection that takes the place of a deleted
// selected row, a new row's default value, the change's notice, the expansion) finds the bar where
// the view is, and whatever it changes or scrolls, the view settles.
TEST(Reentry, AHandlerInsideARowOperationFindsTheBarWhereTheViewIs) {
  const struct {
    const char* Name;
    THandler Handler;
    std::function<void(TNxGrid*)> Operation;
    std::function<void(TNxGrid*)> Prepare;
  } Operations[] = {
      {"the selected row deleted above", OnBeforeSelect, [](TNxGrid* G) { G->DeleteRow(2); },
       [](TNxGrid* G) { G->SelectCell(0, 2); }},
      {"the selected row deleted above", OnSelectCell, [](TNxGrid* G) { G->DeleteRow(2); },
       [](TNxGrid* G) { G->SelectCell(0, 2); }},
      {"a row deleted above", OnDataChange, [](TNxGrid* G) { G->DeleteRow(2); }, [](TNxGrid*) {}},
      {"a row inserted above", OnDataChange, [](TNxGrid* G) { G->InsertRow(2); }, [](TNxGrid*) {}},
      {"a child row with a default value added above", OnChange, [](TNxGrid* G) { G->AddChildRow(2); },
       [](TNxGrid* G) {
         G->SetOptions(G->Options() + goUseDefaultValues);
         G->Columns()->Item(1)->SetDefaultValue(L"d");
       }},
      {"a parent collapsed above", OnExpand, [](TNxGrid* G) { G->SetExpanded(2, false); },
       [](TNxGrid* G) { G->AddChildRow(2), G->AddChildRow(2); }},
  };
  const TFormChange<> Changes[] = {
      {"nothing", [](TEngineForm&) {}},
      {"inserts a row above", [](TEngineForm& F) { F.Grid->InsertRow(1); }},
      {"deletes a row above", [](TEngineForm& F) { F.Grid->DeleteRow(1); }},
      {"sorts", [](TEngineForm& F) { F.Grid->SortColumn(F.Columns[0], false); }},
      {"scrolls", [](TEngineForm& F) { F.Grid->VertScrollBar()->SetPosition(25); }},
  };
  TEngineForm Host(0);
  Host.Grid->SetVisible(false);
  for (const auto& O : Operations) {
    for (const auto& C : Changes) {
      SCOPED_TRACE(std::string(O.Name) + ", " + Handlers[O.Handler].Name + " " + C.Name);
      ExpectTheBarFollows(Host.Form, O.Prepare, 15, Handlers[O.Handler].Arm, O.Operation, C);
    }
  }
}

// A handler that frees the grid while the program changes its columns (the edit the change ends,
// or the change's notice): the column list's change ends there, touching nothing freed, and the
// columns left over belong to no grid.
TEST(Reentry, AHandlerThatFreesTheGridDuringAColumnChangeEndsItThere) {
  const struct {
    const char* Name;
    std::function<void(TEditingForm&, TNxTextColumn*)> Change;
  } Changes[] = {
      {"insert in front", [](TEditingForm& F, TNxTextColumn* New) { F.Grid->Columns()->Insert(0, New); }},
      {"add", [](TEditingForm& F, TNxTextColumn* New) { F.Grid->Columns()->Add(New); }},
      {"delete", [](TEditingForm& F, TNxTextColumn*) { F.Grid->Columns()->Delete(0); }},
      {"free a column", [](TEditingForm& F, TNxTextColumn*) { delete F.Columns[0]; }},
      {"clear", [](TEditingForm& F, TNxTextColumn*) { F.Grid->Columns()->Clear(); }},
      {"hide the edited column", [](TEditingForm& F, TNxTextColumn*) { F.Columns[2]->SetVisible(false); }},
      {"move the edited column", [](TEditingForm& F, TNxTextColumn*) { F.Columns[2]->SetPosition(0); }},
  };
  const THandler Freeing[] = {OnEndEditing, OnEditExit, OnDataChange, OnColumnMove};
  TEngineForm Host(0);
  Host.Grid->SetVisible(false);
  for (const auto& C : Changes) {
    for (const THandler H : Freeing) {
      SCOPED_TRACE(std::string(C.Name) + ", " + Handlers[H].Name + " frees the grid");
      memguard::TFaultCount Faults;
      TEditingForm F(3, {goHeader, goGrid}, 4, 300, 200, Host.Form);
      TNxGrid* G = F.Grid;
      const TFreeWatch Grid(G);
      Handlers[H].Arm(G, [&] {
        if (!Grid.Freed()) delete G;
      });
      G->EditCell(2, 1, L"typed");
      std::vector<std::unique_ptr<TFreeWatch>> Alive;
      for (TNxTextColumn* Col : F.Columns) Alive.push_back(std::make_unique<TFreeWatch>(Col));
      auto* New = new TNxTextColumn(Host.Form);
      const std::string Caught = exctest::MessageOf<Exception>([&] { C.Change(F, New); }, "");
      Pump();
      EXPECT_EQ(Caught, "");
      EXPECT_EQ(Faults.Count(), 0);
      if (!Grid.Freed()) continue;
      for (std::size_t I = 0; I < 3; ++I)
        if (!Alive[I]->Freed() && F.Columns[I]->Columns() != nullptr) ADD_FAILURE() << "column " << I << " in a list";
    }
  }
}

// A handler that frees the grid's form, which owns the columns, while the program deletes or clears
// the columns: each column is freed once, and nothing freed is read.
TEST(Reentry, AHandlerThatFreesTheFormDuringAColumnChangeFreesEachColumnOnce) {
  for (const bool Clear : {false, true}) {
    SCOPED_TRACE(Clear ? "Clear" : "Delete");
    const memguard::TTrapFreedReads Trap;
    auto* Form = new TForm(nullptr);
    auto* G = new TNxGrid(Form);
    G->SetParent(Form);
    for (int C = 0; C < 3; ++C) G->Columns()->AddColumn<TNxTextColumn>(Form);
    FillRows(G, 3);
    Form->Show();
    const TFreeWatch Gone(Form);
    G->OnDataChange = [&](TObject*, TDataChange, int) {
      if (!Gone.Freed()) delete Form;
    };
    memguard::TFaultCount Faults;
    const std::string Caught = exctest::MessageOf<Exception>(
        [&] {
          if (Clear)
            G->Columns()->Clear();
          else
            G->Columns()->Delete(0);
        },
        "");
    Pump();
    EXPECT_TRUE(Gone.Freed());
    EXPECT_EQ(Caught, "");
    EXPECT_EQ(Faults.Count(), 0);
  }
}
