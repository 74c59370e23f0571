// The randomised operation test: a real grid on a small shown form takes operations drawn from a
// fixed seed (rows added, inserted, deleted, moved, exchanged, sorted by every sort type of each
// column kind through a call, the column's direction and a header click, hidden and shown, given
// heights, child rows added, expanded and collapsed, the view scrolled, cells selected alone,
// several at a time and by the indicator, editors opened, typed in, written back and cancelled
// (in code, by Enter, Escape and the focus leaving), columns of every kind inserted, moved and
// deleted, grid lines and the footer switched on and off, some of it inside update locks; columns
// hidden, shown and resized, every row hidden, keys pressed while no row can be seen), and after
// each one its rows, trees, shown rows, cells,
// sorted column, selection, editor and vertical scroll bar are compared with a plain model whose
// rules are its own (support/GridOpsModel.h). Cells hold values with ties, and typed columns get
// texts they refuse. A failure names the seed, the operation and the ones before it;
// TV_GRID_OPS_SEED and TV_GRID_OPS_COUNT replay another run (100,000 operations pass; the default
// run is shorter). Outside a lock the window paints after each operation, and after the last ten
// of every 200 operations it must show what a repaint of the whole window shows; faults inside
// window procedures are counted, and errors that reach the application must be the ones the
// model expects. Now and then one of the grid's handlers raises: the operation completes as if
// the handler had returned, and its error reaches the caller or the application once. Now and
// then a handler changes the grid, as a program's handler may: it deletes, inserts, moves or
// hides a row or a column (the edited ones too), clears the rows or the columns, sorts, opens
// another editor, selects another cell, frees the grid or raises. After such an operation the
// process goes on with no freed memory touched, each error reaches the program once, the typed
// text is in the edited cell or nowhere, every other cell holds what it held or what was written
// to it, an editor is shown only over a shown cell of a shown row in the view (an edit whose row
// is hidden or whose cell leaves the view ends, writing what was typed), and none opens on a
// hidden row; the model
// then takes the grid as it is (a freed grid is followed by a new one). TV_GRID_OPS_TRACE prints
// each operation as it runs, for a run that ends the process.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <deque>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>

#include "framework/Convert.h"
#include "framework/Scopes.h"
#include "framework/Strings.h"
#include "support/FreedMemoryGuard.h"
#include "support/GridOpsModel.h"
#include "support/GridTestHelpers.h"

using namespace gridmodel;
using uitest::Settle;

namespace {

LONG Faults = 0;

LONG CALLBACK CountFault(EXCEPTION_POINTERS* Info) {
  switch (Info->ExceptionRecord->ExceptionCode) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: InterlockedIncrement(&Faults); break;
    default: break;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

std::string Narrow(const std::wstring& S) { return WideToAnsi(S); }

// What a handler raises now and then.
class EHandlerError : public Exception {
 public:
  EHandlerError() : Exception("a handler raised") {}
};

// ---- orders, as a user states them

// Addresses: up to four dotted numbers, the first most significant.
std::vector<long> AddressOf(const std::wstring& S) {
  std::vector<long> Parts(4, 0);
  std::size_t Part = 0;
  for (wchar_t C : S) {
    if (C == L'.') ++Part;
    else if (Part < 4 && C >= L'0' && C <= L'9') Parts[Part] = Parts[Part] * 10 + (C - L'0');
  }
  return Parts;
}
bool FlagOf(const std::wstring& S) { return S == L"True" || S == L"1"; }
// A number as a sort reads it: a flag counts 1 when true, a date by its place in time.
double NumberOf(TContent C, const std::wstring& S) {
  if (C == cnBoolean) return S == L"True" ? 1 : 0;
  if (C == cnDateTime) return DateRank(S);
  return std::wcstod(S.c_str(), nullptr);
}
// Text in the system code page with A-Z folded to a-z, compared byte by byte.
std::string Folded(const std::wstring& S) {
  std::string B = Narrow(S);
  for (char& C : B)
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
  return B;
}

// A before B (as a column of content C shows them) in the ascending order of the sort type.
bool Less(TSortType Type, TContent C, const std::wstring& A, const std::wstring& B) {
  switch (Type) {
    case stAlphabetic: return A < B;
    case stCaseInsensitive: {
      const std::string FA = Folded(A), FB = Folded(B);
      auto Byte = [](char X, char Y) { return static_cast<unsigned char>(X) < static_cast<unsigned char>(Y); };
      return std::lexicographical_compare(FA.begin(), FA.end(), FB.begin(), FB.end(), Byte);
    }
    case stUnicodeAlphabetic:
      return CompareStringW(LOCALE_USER_DEFAULT, 0, A.data(), static_cast<int>(A.size()), B.data(),
                            static_cast<int>(B.size())) == CSTR_LESS_THAN;
    case stCustom: return A.size() < B.size();  // the test's own comparison: shorter first
    case stNumeric: return NumberOf(C, A) < NumberOf(C, B);
    case stDate: return DateRank(A) < DateRank(B);
    case stIP: return AddressOf(A) < AddressOf(B);
    case stBoolean: return !FlagOf(A) && FlagOf(B);
  }
  return false;
}

// The sort types that can read a column of each content (a virtual column refuses them all, an
// increment column a custom comparison).
const std::vector<TSortType>& SortTypesOf(TContent C) {
  static const std::vector<TSortType> Types[] = {
      {stAlphabetic, stCaseInsensitive, stUnicodeAlphabetic, stCustom},      // names
      {stNumeric, stAlphabetic, stCustom},                                   // numbers
      {stIP, stAlphabetic},                                                  // addresses
      {stDate},                                                              // dates
      {stBoolean, stCaseInsensitive},                                        // flags
      {stNumeric, stAlphabetic, stUnicodeAlphabetic, stIP, stCustom},        // increment
      {stAlphabetic, stNumeric, stCustom},                                   // virtual
      {stBoolean, stNumeric, stAlphabetic, stCaseInsensitive, stCustom},     // boolean
      {stDate, stNumeric, stAlphabetic, stCustom},                           // date and time
      {stNumeric, stAlphabetic, stCustom},                                   // float
      {stNumeric, stAlphabetic, stCaseInsensitive, stCustom},                // integer
      {stAlphabetic, stCaseInsensitive, stUnicodeAlphabetic, stCustom},      // GUID
  };
  return Types[C];
}
bool SortRefused(TContent C, TSortType T) { return C == cnVirtual || (C == cnIncrement && T == stCustom); }

const char* TypeName(TSortType T) {
  static const char* Names[] = {"alphabetic", "boolean", "case-insensitive", "custom",
                                "numeric",    "date",    "address",          "locale"};
  return Names[T];
}

// A virtual column: its supplier keeps a text per row position, and notes a question for another
// column or for a row that does not exist.
class TSuppliedColumn : public TNxTextColumn, public TVirtualCellValues {
 public:
  TSuppliedColumn(TComponent* AOwner, TNxGrid* Grid, std::string& Failure)
      : TNxTextColumn(AOwner), FGrid(Grid), FFailure(Failure) {}
  ~TSuppliedColumn() override {
    // Out of the list while the supplier still stands; a handler's error goes to the application,
    // as the base column's own destructor sends it.
    if (Columns() == nullptr) return;
    try {
      Columns()->Remove(this);
    } catch (...) {
      Application->HandleException(this, std::current_exception());
    }
  }
  WideString GetVirtualValue(int ACol, int ARow) override {
    Check(ACol, ARow);
    auto It = FValues.find(ARow);
    return It == FValues.end() ? WideString() : It->second;
  }
  void SetVirtualValue(int ACol, int ARow, const WideString& Value) override {
    Check(ACol, ARow);
    FValues[ARow] = Value;
  }
  // What the supplier holds, by row position (also for positions past the last row).
  const std::map<int, std::wstring>& Values() const { return FValues; }

 private:
  void Check(int ACol, int ARow) {
    if (FFailure.empty() && (ACol != Index() || ARow < 0 || ARow >= FGrid->RowCount()))
      FFailure = "column " + std::to_string(Index()) + " was asked for the value of cell (" + std::to_string(ACol) +
                 ", " + std::to_string(ARow) + ")";
  }
  TNxGrid* FGrid;
  std::string& FFailure;
  std::map<int, std::wstring> FValues;
};

class TRandomRun {
 public:
  explicit TRandomRun(unsigned Seed) : FRandom(Seed) {
    Application->OnException = [this](TObject*, Exception& E) {
      ++FErrors;
      FLastError = E.Message;
      Delivered(E);
    };
    FForm = new TForm(nullptr);
    FForm->SetBounds(120, 90, 260, 190);
    // Another control of the form, for the focus to leave the grid.
    FOther = new TEdit(FForm);
    FOther->SetBounds(4, 140, 100, 20);
    FOther->SetParent(FForm);
    MakeGrid();
    FForm->Show();
    Settle(FForm->Handle());
    FRowSize = G->RowSize();
  }
  ~TRandomRun() {
    delete FForm;
    uitest::Pump();
    Application->OnException = nullptr;
  }
  TRandomRun(const TRandomRun&) = delete;
  TRandomRun& operator=(const TRandomRun&) = delete;

  TNxGrid* G;
  TGridModel M;
  std::string Op;             // the operation just run
  std::string StepFailure;    // what the operation itself found wrong
  bool CellsTouched = false;  // it wrote cells or changed columns
  bool Trace = false;         // each operation is announced before it runs

  int Below(int N) { return N <= 0 ? 0 : static_cast<int>(FRandom() % static_cast<unsigned>(N)); }
  bool Chance(int Percent) { return Below(100) < Percent; }
  // An index of the list, each as likely as its weight.
  template <std::size_t N>
  int Weighted(const int (&Weights)[N]) {
    int Total = 0;
    for (int W : Weights) Total += W;
    int Pick = Below(Total), K = 0;
    while (Pick >= Weights[K]) Pick -= Weights[K++];
    return K;
  }

  // Runs one operation on the grid and on the model.
  void Step() {
    CellsTouched = false;
    StepFailure.clear();
    FExpectTop = -1;
    FExpectHorz = -1;
    FExpectErrors = 0;
    FErrorsBefore = FErrors;
    FCaught = FRaised = 0;
    FSightRefusals = 0;
    FArmed = Chance(6) ? static_cast<THook>(Below(hkCount)) : hkNone;
    // Now and then a handler changes the grid.
    FDisturbed = false;
    FChanged = false;
    FChangeName.str("");
    FOpWrites.clear();
    FEdits.clear();
    FNewContent.clear();
    FHandlerDelivered = FOtherDelivered = 0;
    FUnexpected.clear();
    FChangeIn = Chance(ChangePercent) ? static_cast<THook>(Below(hkAll)) : hkNone;
    // Changes that end much of what the run built up come seldom.
    static const int ChangeWeights[chKinds] = {6, 6, 5, 5, 3, 3, 4, 4, 4, 1, 1, 5, 6, 6, 1, 4};
    FChangeKind = static_cast<TChange>(Weighted(ChangeWeights));
    // The cells as they are before the operation, for the checks after a change by a handler.
    if (FChangeIn != hkNone) FBefore = M;
    FFreedBefore = memguard::FreedSequence();
    FHeapFaultsBefore = memguard::Counts().HeapFaults;
    if (M.Editing) FEdits.push_back(CellWrite(M.EditCol, M.EditRow(), M.Typed));
    const int Rows = M.Count();
    const int Cols = static_cast<int>(M.Columns.size());
    const bool Crowded = Rows >= 48;
    // Weights of the operations, in the order of the switch below.
    const int Weights[] = {
        Crowded ? 0 : 8,                     // 0 add rows
        Crowded ? 0 : 5,                     // 1 insert a row
        Rows > 0 ? (Rows < 6 ? 3 : 8) : 0,  // 2 delete a row and its tree
        Rows > 1 ? 6 : 0,                    // 3 move
        Rows > 1 ? 5 : 0,                    // 4 exchange
        Rows > 1 && Cols > 0 ? (M.Editing ? 8 : 4) : 0,  // 5 sort
        Rows > 0 ? 5 : 0,                    // 6 hide or show
        Rows > 0 && !Crowded ? 9 : 0,       // 7 add a child row
        Rows > 0 ? 7 : 0,                    // 8 expand or collapse
        Rows > 0 ? 7 : 0,                    // 9 select a cell
        Rows > 0 ? 6 : 0,                    // 10 Ctrl / Shift select
        1,                                   // 11 select all, clear, select nothing
        Rows > 0 && Cols > 0 ? 3 : 0,       // 12 open an editor
        M.Editing ? 16 : 0,                  // 13 type
        M.Editing ? 4 : 0,                   // 14 write back
        M.Editing ? 2 : 0,                   // 15 cancel
        Rows > 0 && Cols > 0 ? 3 : 0,       // 16 write a cell
        Cols < 5 ? (M.Editing ? 3 : 1) : 0,  // 17 insert a column
        Cols > 1 ? 1 : 0,                    // 18 move a column
        Cols > 1 ? (M.Editing ? 3 : 1) : 0,  // 19 delete a column
        Rows > 0 ? 4 : 0,                    // 20 row height
        Locked() ? 0 : 8,                    // 21 scroll
        Rows > 0 && Cols > 0 && !Locked() ? (M.Editing ? 8 : 3) : 0,  // 22 indicator click
        1,                                   // 23 grid lines or footer on or off
        Locked() ? 6 : 1,                    // 24 update lock
        Cols > 0 ? (M.Editing ? 4 : 2) : 0,  // 25 hide or show a column
        Rows > 0 ? 1 : 0,                    // 26 hide every row, or show them all
        !M.Editing && !Locked() && !M.RowSeen() ? 6 : 0,  // 27 a key with no row to see
        Cols > 0 ? 1 : 0,                    // 28 column width
        M.Editing && !Locked() ? 4 : 0,      // 29 Enter or Escape in the editor
        M.Editing && !Locked() ? 2 : 0,      // 30 the focus leaves the grid
    };
    const int Kind = Weighted(Weights);
    if (Trace) {
      // What comes, for a run that ends the process before the operation is named.
      std::printf("  next: operation %d; raises: %s; changes: %s %s\n", Kind,
                  FArmed != hkNone ? HookNames[FArmed] : "none", FChangeIn != hkNone ? HookNames[FChangeIn] : "none",
                  FChangeIn != hkNone ? ChangeNames[FChangeKind] : "");
      std::fflush(stdout);
    }
    std::ostringstream S;
    // The operation is named also when it raises.
    // No handler stays armed after the operation, also when it raised.
    TScopeExit Named([&] {
      Op = S.str();
      FArmed = FChangeIn = hkNone;
    });
    try {
      Operate(Kind, S, Rows, Cols);
      SettleModelEdit();
    } catch (const TStop&) {
    } catch (...) {
      Annotate(S);
      throw;
    }
    Annotate(S);
    if (FDisturbed || FGridFreed) AfterChange();
  }

  // Runs the operation of the given kind on the grid and on the model.
  void Operate(int Kind, std::ostringstream& S, int Rows, int Cols) {
    switch (Kind) {
      case 0: {
        const int N = 1 + Below(3);
        S << "AddRow(" << N << ")";
        const int First = G->RowCount();
        Call([&] { G->AddRow(N); });
        for (int R = First; R < First + N; ++R) NewRow(R, -1);
        break;
      }
      case 1: {
        const int Pos = Below(Rows + 1);
        S << "InsertRow(" << Pos << ")";
        Call([&] { G->InsertRow(Pos); });
        M.EndEdit();
        NewRow(Pos, -1);
        break;
      }
      case 2: {
        const int R = Below(Rows);
        S << "DeleteRow(" << R << ")";
        Call([&] { G->DeleteRow(R); });
        M.Delete(R);
        break;
      }
      case 3: {
        const int A = Below(Rows), B = Below(Rows);
        S << "MoveRow(" << A << ", " << B << ")";
        Call([&] { G->MoveRow(A, B); });
        M.Move(A, B);
        break;
      }
      case 4: {
        const int A = Below(Rows), B = Below(Rows);
        S << "ExchangeRows(" << A << ", " << B << ")";
        Call([&] { G->ExchangeRows(A, B); });
        M.Exchange(A, B);
        break;
      }
      case 5: Sort(S); break;
      case 6: {
        const int R = Below(Rows);
        const bool V = Chance(55);
        S << "SetRowVisible(" << R << ", " << V << ")";
        Call([&] { G->SetRowVisible(R, V); });
        M.At(R).Visible = V;
        break;
      }
      case 7: AddChild(S); break;
      case 8: {
        const int R = Below(Rows);
        const bool V = Chance(50);
        S << "SetExpanded(" << R << ", " << V << ")";
        Call([&] { G->SetExpanded(R, V); });
        M.At(R).Expanded = V;
        break;
      }
      case 9: {
        const int C = Below(Cols), R = Below(Rows);
        S << "SelectCell(" << C << ", " << R << ")";
        Call([&] { G->SelectCell(C, R, false, true, {}); });
        M.SelectCell(C, R, true, false, false);
        break;
      }
      case 10: {
        const int C = Below(Cols), R = Below(Rows);
        const int Mode = Below(4);
        const bool Ctrl = Mode != 1, Shift = Mode != 0;
        TShiftState State;
        if (Ctrl) State.Include(ssCtrl);
        if (Shift) State.Include(ssShift);
        // A right press on an unselected row clears the others; a left press on a selected one keeps them.
        const bool ClearMulti = Chance(80);
        S << "SelectCell(" << C << ", " << R << (Ctrl ? ", Ctrl" : "") << (Shift ? ", Shift" : "")
          << (ClearMulti ? "" : ", keep") << ")";
        Call([&] { G->SelectCell(C, R, false, ClearMulti, State); });
        M.SelectCell(C, R, ClearMulti, Ctrl, Shift);
        break;
      }
      case 11: {
        const int Which = Below(3);
        if (Which == 0) {
          S << "SelectAll";
          Call([&] { G->SelectAll(); });
          M.SelectAll();
        } else if (Which == 1) {
          S << "ClearSelection";
          Call([&] { G->ClearSelection(); });
          M.ClearSelection();
        } else {
          S << "SelectRow(-1)";
          if (Rows > 0) {
            FSelectsNothing = true;
            Call([&] { G->SelectRow(-1); });
            FSelectsNothing = false;
            M.SelectCell(M.SelectedColumn, -1, true, false, false);
          }
        }
        break;
      }
      case 12: {
        const int C = Below(Cols), R = Below(Rows);
        S << "EditCell(" << C << ", " << R << ")";
        CellsTouched = M.Editing;
        // No editor opens on a hidden column, or on a row that cannot be seen (hidden, or of no
        // height); one open elsewhere stays as it is.
        if (!M.Columns[static_cast<std::size_t>(C)].Visible || !M.Facts().Shown[static_cast<std::size_t>(R)] ||
            M.At(R).Height == 0) {
          Call([&] { G->EditCell(C, R); });
          break;
        }
        // An editor open elsewhere whose column refuses its text stays open, and the call fails.
        const bool Opens = M.BeginEdit(C, R);
        Expect<EConvertError>(!Opens, [&] { G->EditCell(C, R); });
        // Mostly the user types at once.
        if (!M.Editing || G->InplaceEditor() == nullptr || Chance(40)) break;
        S << ", ";
        [[fallthrough]];
      }
      case 13: {
        const std::wstring T = NewText(M.Columns[static_cast<std::size_t>(M.EditCol)].Content, true);
        S << "type " << Narrow(T);
        FEdits.push_back(CellWrite(M.EditCol, M.EditRow(), T));
        Call([&] { G->InplaceEditor()->SetText(T); });
        M.Typed = T;
        break;
      }
      case 14: {
        CellsTouched = true;
        const bool Takes = M.Apply();
        if (Chance(50)) {
          // The same in one call; a refused text leaves the editor open.
          S << "CommitEditing";
          Expect<EConvertError>(!Takes, [&] { G->CommitEditing(); });
          if (Takes) M.EndEdit();
          break;
        }
        S << "ApplyEditing, EndEditing";
        Expect<EConvertError>(!Takes, [&] { G->ApplyEditing(); });
        if (Takes) {
          Call([&] { G->EndEditing(); });
          M.EndEdit();
        }
        break;
      }
      case 15:
        S << "EndEditing";
        Call([&] { G->EndEditing(); });
        M.EndEdit();
        break;
      case 16: {
        const int C = Below(Cols), R = Below(Rows);
        const TContent Content = M.Columns[static_cast<std::size_t>(C)].Content;
        const std::wstring T = NewText(Content, true);
        S << "SetCells(" << C << ", " << R << ", " << Narrow(T) << ")";
        const std::optional<std::wstring> Shown = Enter(Content, T);
        if (Shown) FOpWrites.push_back(CellWrite(C, R, *Shown));
        Expect<EConvertError>(!Shown, [&] { G->SetCells(C, R, T); });
        if (Shown) M.Write(C, R, *Shown);
        CellsTouched = true;
        break;
      }
      case 17: {
        const int I = Below(Cols + 1);
        S << "insert column " << I;
        InsertColumn(I);
        break;
      }
      case 18: {
        const int From = Below(Cols), To = Below(Cols);
        S << "MovePosition(" << From << ", " << To << ")";
        Call([&] { G->Columns()->MovePosition(From, To); });
        M.MoveColumn(From, To);
        break;
      }
      case 19: {
        const int I = Below(Cols);
        S << "delete column " << I;
        // The edit ends with what was typed written into its cell (a refused text is reported to
        // the application: the column's owner frees it).
        if (M.Editing && !M.Apply()) ++FExpectErrors;
        delete G->Columns()->Item(I);
        After();
        M.DeleteColumn(I);
        CellsTouched = true;
        break;
      }
      case 20: {
        static const int Heights[] = {0, 5, 16, 16, 30, 150};
        const int R = Below(Rows), H = Heights[Below(6)];
        S << "SetRowHeight(" << R << ", " << H << ")";
        Call([&] { G->SetRowHeight(R, H); });
        M.At(R).Height = H;
        break;
      }
      case 21: Scroll(S); break;
      case 22: IndicatorClick(S); break;
      case 23:
        if (Chance(50)) {
          FLines = !FLines;
          S << "grid lines " << (FLines ? "on" : "off");
        } else {
          FFooter = !FFooter;
          S << "footer " << (FFooter ? "on" : "off");
        }
        SetOptions();
        break;
      case 24:
        if (FLocks > 0 && Chance(75)) {
          S << "EndUpdate";
          Unlock();
        } else {
          S << "BeginUpdate";
          G->BeginUpdate();
          ++FLocks;
        }
        break;
      case 25: {
        // Hiding the edited column writes what was typed into its cell and ends the edit (a
        // refused text is reported once the column is hidden); the selection leaves it.
        const int C = Below(Cols);
        TModelColumn& MC = M.Columns[static_cast<std::size_t>(C)];
        const bool V = !MC.Visible;
        S << "column " << C << (V ? " shown" : " hidden");
        bool Refused = false;
        if (!V && M.Editing && M.EditCol == C) {
          CellsTouched = true;
          Refused = !M.Apply();
          M.EndEdit();
        }
        MC.Visible = V;
        if (!V) M.KeepSelectionOnShown();
        Expect<EConvertError>(Refused, [&] { G->Columns()->Item(C)->SetVisible(V); });
        break;
      }
      case 26: {
        const bool V = M.ShownRows().empty();
        S << (V ? "every row shown" : "every row hidden");
        for (int R = 0; R < Rows; ++R) {
          Call([&] { G->SetRowVisible(R, V); });
          M.At(R).Visible = V;
        }
        break;
      }
      case 27: {
        // As in a grid without rows: nothing is selected, no selection event fires.
        static const WORD Keys[] = {VK_HOME, VK_END, VK_PRIOR, VK_NEXT, VK_UP, VK_DOWN};
        static const char* Names[] = {"Home", "End", "PgUp", "PgDn", "Up", "Down"};
        const int K = Below(6);
        S << "key " << Names[K] << " with no row to see";
        FQuiet = true;
        SendMessageW(G->Handle(), WM_KEYDOWN, Keys[K], 0);
        FQuiet = false;
        After();
        break;
      }
      case 28: {
        static const int Widths[] = {8, 30, 50, 90};
        const int C = Below(Cols), W = Widths[Below(4)];
        S << "column " << C << " width " << W;
        Call([&] { G->Columns()->Item(C)->SetWidth(W); });
        break;
      }
      case 29: {
        // Enter writes what was typed back and closes the editor (a refused text is shown, and
        // the editor stays); Escape closes it and throws the text away.
        const bool Enter = Chance(60);
        S << (Enter ? "Enter" : "Escape") << " in the editor";
        if (Enter) WriteBack();
        else M.EndEdit();
        CellsTouched = true;
        SendMessageW(G->InplaceEditor()->Handle(), WM_KEYDOWN, Enter ? VK_RETURN : VK_ESCAPE, 0);
        After();
        break;
      }
      case 30: {
        // The focus leaving the grid writes what was typed back and closes the editor (a refused
        // text is shown, and the editor stays).
        S << "the focus leaves the editor";
        if (!G->InplaceEditor()->CanFocus()) {
          S << " (out of view)";
          break;
        }
        G->InplaceEditor()->SetFocus();
        WriteBack();
        CellsTouched = true;
        Call([&] { FOther->SetFocus(); });
        break;
      }
      default: break;
    }
  }

  // What the handlers did in the operation.
  void Annotate(std::ostringstream& S) {
    if (FRaised > 0) S << " [" << HookNames[FRaisedIn] << " raised]";
    if (FDisturbed)
      S << " [" << HookNames[FChangedIn] << ": "
        << (FChangeName.str().empty() ? "nothing to change" : FChangeName.str()) << "]";
  }
  // Operations of a program may run inside an update lock; the user acts only outside one.
  bool Locked() const { return FLocks > 0; }
  void Unlock() {
    Call([&] { G->EndUpdate(); });
    --FLocks;
  }
  // Outside a lock the window paints what each operation left.
  void Show() {
    if (!Locked()) Settle(G->Handle());
  }
  // The window shows what a repaint of the whole window shows (an open editor's own pixels
  // aside: its caret blinks), and painting raised no error.
  std::string Display() {
    const int Before = FErrors;
    const HWND W = G->Handle();
    Settle(W);
    const uitest::TCapture Shown(W);
    InvalidateRect(W, nullptr, TRUE);
    Settle(W);
    const uitest::TCapture Full(W);
    if (FErrors != Before || Faults != 0) return "painting failed: " + FLastError;
    TRect Editor{};
    if (G->InplaceEditor() != nullptr && IsWindowVisible(G->InplaceEditor()->Handle())) {
      RECT R;
      GetWindowRect(G->InplaceEditor()->Handle(), &R);
      MapWindowPoints(nullptr, W, reinterpret_cast<POINT*>(&R), 2);
      Editor = TRect{R.left, R.top, R.right, R.bottom};
    }
    for (int Y = 0; Y < Full.Height(); ++Y)
      for (int X = 0; X < Full.Width(); ++X)
        if (Shown.Pixel(X, Y) != Full.Pixel(X, Y) && !Editor.Contains(Point(X, Y))) {
          Shown.MaybeSave("grid_random_ops_shown");
          Full.MaybeSave("grid_random_ops_full");
          return "the window shows other pixels than a full repaint, first at (" + std::to_string(X) + ", " +
                 std::to_string(Y) + ")";
        }
    return FSupplyFailure;
  }

  // The first difference between the grid and the model, "" when there is none.
  std::string Compare(bool WithCells) {
    std::ostringstream S;
    if (!StepFailure.empty()) return StepFailure;
    if (!FSupplyFailure.empty()) return FSupplyFailure;
    // Errors reported to the caller or the application; a handler's error once, or the first error
    // of the operation in its place.
    if (Faults != 0) return "a fault inside the grid (access violation or the like)";
    if (memguard::Counts().HeapFaults != FHeapFaultsBefore) return "the freed-memory guard recorded a heap fault";
    const int Reported = FErrors - FErrorsBefore + FCaught;
    // (After a handler's change, they were checked as the change came.)
    if (!FChanged && (FRaised == 0 ? Reported != FExpectErrors : Reported < 1 || Reported > FExpectErrors + FRaised))
      return Say(S, ("errors reported (last shown: " + FLastError + ")").c_str(), Reported, FExpectErrors + FRaised);
    const int Rows = M.Count();
    if (G->RowCount() != Rows) return Say(S, "RowCount", G->RowCount(), Rows);
    if (G->CellStore()->RowCount() != Rows) return Say(S, "store RowCount", G->CellStore()->RowCount(), Rows);
    const int Cols = static_cast<int>(M.Columns.size());
    if (G->Columns()->Count() != Cols) return Say(S, "column count", G->Columns()->Count(), Cols);
    for (int C = 0; C < Cols; ++C) {
      const TModelColumn& MC = M.Columns[static_cast<std::size_t>(C)];
      TNxCustomColumn* Col = G->Columns()->Item(C);
      if (Col != MC.Column) return Say(S, "column object", C, C);
      S << "column " << C << ": ";
      if (Col->Sorted() != MC.Sorted) return Say(S, "sorted", Col->Sorted(), MC.Sorted);
      if ((Col->SortKind() == skAscending) != MC.Ascending) return Say(S, "ascending", !MC.Ascending, MC.Ascending);
      S.str("");
      const int Id = M.Display[static_cast<std::size_t>(C)];
      if (G->Columns()->ItemByPosition(C) != M.Columns[static_cast<std::size_t>(M.ColumnIndexOfId(Id))].Column)
        return Say(S, "column at display position", C, M.ColumnIndexOfId(Id));
    }
    const TTreeFacts F = M.Facts();
    // Each row's tree: the row and the rows whose chain of parents reaches it, ascending.
    std::vector<std::vector<int>> Trees(static_cast<std::size_t>(Rows));
    for (int R = 0; R < Rows; ++R)
      for (int A = R; A >= 0; A = F.Parent[static_cast<std::size_t>(A)])
        Trees[static_cast<std::size_t>(A)].push_back(R);
    std::vector<int> Shown;
    int Selected = 0;
    for (int R = 0; R < Rows; ++R) {
      const TModelRow& E = M.At(R);
      const std::size_t K = static_cast<std::size_t>(R);
      S << "row " << R << ": ";
      if (G->CellStore()->GetRow(R) != E.Record) return Say(S, "record (id)", -1, E.Id);
      if (G->GetRowShown(R) != F.Shown[K]) return Say(S, "shown", G->GetRowShown(R), F.Shown[K]);
      if (G->GetSelected(R) != E.Selected) return Say(S, "selected flag", G->GetSelected(R), E.Selected);
      if (G->GetRowLevel(R) != F.Level[K]) return Say(S, "level", G->GetRowLevel(R), F.Level[K]);
      if (G->Expanded(R) != E.Expanded) return Say(S, "expanded", G->Expanded(R), E.Expanded);
      if (G->ChildCount(R) != F.Children[K]) return Say(S, "child count", G->ChildCount(R), F.Children[K]);
      if (G->GetRowParent(R) != F.Parent[K]) return Say(S, "parent", G->GetRowParent(R), F.Parent[K]);
      const std::vector<int> Tree = G->CellStore()->TreePositions(R);
      if (Tree != Trees[K]) {
        const auto Differ = std::mismatch(Tree.begin(), Tree.end(), Trees[K].begin(), Trees[K].end());
        return Say(S, "tree (first row that differs)", Differ.first != Tree.end() ? *Differ.first : -1,
                   Differ.second != Trees[K].end() ? *Differ.second : -1);
      }
      if (G->RowHeight(R) != E.Height) return Say(S, "height", G->RowHeight(R), E.Height);
      if (WithCells)
        for (int C = 0; C < Cols; ++C) {
          const std::wstring T = G->Cells(C, R);
          if (T != M.Text(C, R)) {
            S << "cell " << C << ": " << Narrow(T) << " expected " << Narrow(M.Text(C, R));
            return S.str();
          }
        }
      Selected += E.Selected ? 1 : 0;
      if (F.Shown[K]) Shown.push_back(R);
      S.str("");
    }
    const int ShownCount = static_cast<int>(Shown.size());
    if (G->ShownRowCount() != ShownCount) return Say(S, "ShownRowCount", G->ShownRowCount(), ShownCount);
    const int First = Shown.empty() ? 0 : Shown.front(), Last = Shown.empty() ? 0 : Shown.back();
    if (G->GetFirstShownRow() != First) return Say(S, "first shown row", G->GetFirstShownRow(), First);
    if (G->GetLastShownRow() != Last) return Say(S, "last shown row", G->GetLastShownRow(), Last);
    if (G->SelectedRow() != M.SelectedRow()) return Say(S, "SelectedRow", G->SelectedRow(), M.SelectedRow());
    if (G->SelectedColumn() != M.SelectedColumn) return Say(S, "SelectedColumn", G->SelectedColumn(), M.SelectedColumn);
    if (G->AnchorRow() != M.AnchorRow()) return Say(S, "AnchorRow", G->AnchorRow(), M.AnchorRow());
    if (G->GridState().Contains(gsRangeSelect) != M.RangeSelect)
      return Say(S, "range select", G->GridState().Contains(gsRangeSelect), M.RangeSelect);
    if (G->GetSelectedCount() != Selected) return Say(S, "GetSelectedCount", G->GetSelectedCount(), Selected);
    if (G->GridState().Contains(gsEditing) != M.Editing)
      return Say(S, "editing", G->GridState().Contains(gsEditing), M.Editing);
    if (M.Editing) {
      if (G->EditCol() != M.EditCol) return Say(S, "EditCol", G->EditCol(), M.EditCol);
      if (G->EditRow() != M.EditRow()) return Say(S, "EditRow", G->EditRow(), M.EditRow());
      if (G->InplaceEditor() == nullptr) return "no editor while editing";
      if (G->InplaceEditor()->Text() != M.Typed)
        return "editor text " + Narrow(G->InplaceEditor()->Text()) + " expected " + Narrow(M.Typed);
    } else if (G->EditCol() != -1 || G->EditRow() != -1 || G->InplaceEditor() != nullptr) {
      return Say(S, "edit cell while not editing", G->EditCol(), G->EditRow());
    }
    if (const std::string Editor = EditorShown(); !Editor.empty()) return Editor;
    return CompareView(Shown);
  }

 private:
  static std::string Say(std::ostringstream& S, const char* What, int Grid, int Model) {
    S << What << ": grid " << Grid << ", model " << Model;
    return S.str();
  }

  // The view and its vertical bar: the bar's position is the number of shown rows above the top
  // row of the view; the bar has a range (of as many steps as shown rows) exactly when the shown
  // rows do not all fit the body from the top row on; the view is not scrolled further than the
  // point where the rows below its top fill the body; a scroll lands where the model says.
  std::string CompareView(const std::vector<int>& Shown) {
    std::ostringstream S;
    const int Rows = M.Count();
    const int Top = G->FirstVisibleRow();
    if (Top < 0 || (Rows == 0 ? Top != 0 : Top >= Rows)) return Say(S, "FirstVisibleRow", Top, Rows);
    if (FExpectTop >= 0 && Top != FExpectTop) return Say(S, "top row after scrolling", Top, FExpectTop);
    if (FExpectHorz >= 0 && G->HorzScrollBar()->Position() != FExpectHorz)
      return Say(S, "horizontal bar position", G->HorzScrollBar()->Position(), FExpectHorz);
    const int Above = static_cast<int>(std::lower_bound(Shown.begin(), Shown.end(), Top) - Shown.begin());
    const int Total = M.ScrollRows();
    const int Page = M.PageRows(BodyHeight(), LineHeight());
    if (Above > std::max(Total - Page, 0)) return Say(S, "view past the last page", Above, Total - Page);
    // Inside an update lock the bar waits for the end of the lock.
    if (Locked()) return "";
    const TNxScrollBar* Bar = G->VertScrollBar();
    if (Bar->Position() != Above) return Say(S, "bar position (shown rows above the top row)", Bar->Position(), Above);
    const int Max = Page < Total ? Total : 0;
    if (Bar->Max() != Max) return Say(S, "bar range", Bar->Max(), Max);
    if (Max > 0 && Bar->PageSize() != Page + 1) return Say(S, "bar page", Bar->PageSize(), Page + 1);
    return "";
  }
  int BodyHeight() { return G->GetBodyRect().Height(); }
  // A grid line under each row.
  int LineHeight() const { return FLines ? 1 : 0; }
  void SetOptions() {
    TGridOptions O{goSelectFullRow, goMultiSelect, goHeader, goIndicator};
    if (FLines) O.Include(goGrid);
    if (FFooter) O.Include(goFooter);
    Call([&] { G->SetOptions(O); });
  }

  // A text of the column's content, from a few, so that sorts meet ties; typed columns get texts
  // they refuse only when Refusable.
  std::wstring NewText(TContent Content, bool Refusable) {
    if (IsTyped(Content)) {
      const std::vector<TEntry>& E = Entries(Content);
      for (;;) {
        const TEntry& Pick = E[static_cast<std::size_t>(Below(static_cast<int>(E.size())))];
        if (Pick.Shown != nullptr || Refusable) return Pick.Input;
      }
    }
    switch (Content) {
      case cnNumber: return std::to_wstring(Below(16) - 4);
      case cnAddress: {
        static const int Parts[] = {0, 1, 2, 9, 10, 192};
        std::wstring T;
        for (int I = 0; I < 4; ++I) T += (I ? L"." : L"") + std::to_wstring(Parts[Below(6)]);
        return T;
      }
      case cnDate: {
        const std::vector<TEntry>& E = Entries(cnDateTime);
        return E[static_cast<std::size_t>(Below(static_cast<int>(E.size())))].Shown;
      }
      case cnFlag: {
        static const wchar_t* Flags[] = {L"True", L"False", L"1", L"0"};
        return Flags[Below(4)];
      }
      default: {
        static const wchar_t* Names[] = {L"alpha", L"Alpha", L"beta", L"BETA", L"ёлка", L"Ёлка", L"елка",
                                         L"co-op", L"coop",  L"zeta", L"Ζήτα", L"",     L"b",    L"яхта"};
        return Names[Below(14)];
      }
    }
  }
  // The grid's row R is new: the model takes it (under the parent of that id). Most new rows get
  // a value in every cell; the others show what new cells hold.
  void NewRow(int R, int Parent) {
    M.Put(R, ++FRowIds, G->CellStore()->GetRow(R), FRowSize, Parent);
    const bool Fill = Chance(75);
    for (int C = 0; C < static_cast<int>(M.Columns.size()); ++C) Fill ? WriteNew(C, R) : TakeNew(C, R);
    CellsTouched = true;
  }
  void WriteNew(int C, int R) {
    const TContent Content = M.Columns[static_cast<std::size_t>(C)].Content;
    const std::wstring T = NewText(Content, false);
    FOpWrites.push_back(CellWrite(C, R, *Enter(Content, T)));
    Call([&] { G->SetCells(C, R, T); });
    M.Write(C, R, *Enter(Content, T));
  }
  // A new cell as it is: a text one is empty (those that are read as numbers, addresses, dates or
  // flags are written), a typed one shows its kind's default, a virtual one what its supplier
  // holds for the position, a GUID cell a GUID of its own (then written, so that a run replays).
  void TakeNew(int C, int R) {
    const TContent Content = M.Columns[static_cast<std::size_t>(C)].Content;
    if (Content > cnName && Content < cnIncrement) return WriteNew(C, R);
    if (Content == cnGuid) {
      const std::wstring T = G->Cells(C, R);
      if ((!IsGuidText(T) || !FNewGuids.insert(T).second) && StepFailure.empty())
        StepFailure = "a new GUID cell holds " + Narrow(T);
      return WriteNew(C, R);
    }
    if (Content != cnVirtual) M.Write(C, R, DefaultText(Content));
  }
  // A new column of the given content, not yet in the grid.
  TNxTextColumn* NewColumn(TContent Content) {
    static const TColumnKind Kinds[] = {ckString,  ckString,   ckString, ckString,   ckString, ckIncrement,
                                        ckVirtual, ckBoolean, ckDateTime, ckFloat, ckInteger, ckGuid};
    TNxTextColumn* Col =
        Content == cnVirtual ? new TSuppliedColumn(FForm, G, FSupplyFailure) : new TNxTextColumn(FForm);
    Col->SetColumnKind(Kinds[Content]);
    Col->SetOptions({coCanClick, coCanSort, coEditing, coPublicUsing});
    Col->SetWidth(50);
    FNewContent[Col] = Content;
    return Col;
  }
  void InsertColumn(int Index) {
    const auto Content = static_cast<TContent>(Below(ContentCount));
    TNxTextColumn* Col = NewColumn(Content);
    // Put in among the others, it ends an edit with what was typed written into its cell; a
    // refused text reaches the caller.
    bool Refused = false;
    if (M.Editing && Index < static_cast<int>(M.Columns.size())) {
      Refused = !M.Apply();
      M.EndEdit();
    }
    Expect<EConvertError>(Refused, [&] { G->Columns()->Insert(Index, Col); });
    M.InsertColumn(Index, ++FColumnIds, Col, Content);
    const bool Fill = Chance(75);
    for (int R = 0; R < M.Count(); ++R) Fill ? WriteNew(Index, R) : TakeNew(Index, R);
    CellsTouched = true;
  }
  // The handlers. The armed one raises, once; another one may change the grid once, as a program's
  // handler does: rows and columns (the edited ones too) deleted, inserted, moved or hidden, the
  // rows or the columns cleared, a sort, another editor opened, another cell selected, the grid
  // freed, or an error raised by a handler that raises nowhere else in the model.
  enum THook {
    hkSelect, hkDeselect, hkDataChange, hkEndEditing, hkEditExit, hkScroll,  // may raise
    hkCount,
    hkBeforeSelect = hkCount, hkEditAccept, hkEditText, hkAfterEdit, hkChange, hkBeforeEdit, hkEditEnter,
    hkSortColumn, hkAfterSort, hkHeaderClick,
    hkAll,
    hkNone = hkAll
  };
  static constexpr const char* HookNames[] = {
      "OnSelectCell", "OnDeselectCell", "OnDataChange", "OnEndEditing", "OnEditExit",   "OnVerticalScroll",
      "OnBeforeSelect", "OnEditAccept", "OnEditText", "OnAfterEdit",  "OnChange",     "OnBeforeEdit",
      "OnEditEnter",  "OnSortColumn",   "OnAfterSort",  "OnHeaderClick"};
  enum TChange {
    chDeleteRow, chInsertRow, chMoveRow, chHideRow, chDeleteColumn, chFreeColumn, chInsertColumn, chMoveColumn,
    chHideColumn, chClearRows, chClearColumns, chSort, chEdit, chSelect, chFreeGrid, chRaise, chKinds
  };
  static constexpr const char* ChangeNames[] = {
      "delete a row",    "insert a row", "move a row", "hide a row",   "delete a column", "free a column",
      "insert a column", "move a column", "hide a column", "clear the rows", "clear the columns", "sort",
      "edit a cell",     "select a cell", "free the grid", "raise"};
  void MakeGrid() {
    G = new TNxGrid(FForm);
    G->SetBounds(4, 4, 220, 132);
    G->SetBorderStyle(bsNone);
    SetOptions();
    G->SetParent(FForm);
    // The custom order: shorter texts first.
    G->OnCompare = [](TObject*, TCell* A, TCell* B, int& Compare) {
      Compare = static_cast<int>(A->AsString().size()) - static_cast<int>(B->AsString().size());
    };
    // A selection event names an existing cell, and none fires while keys are pressed with no row
    // to see.
    G->OnSelectCell = [this](TObject*, int C, int R) { Heard(C, R, hkSelect); };
    G->OnDeselectCell = [this](TObject*, int C, int R) { Heard(C, R, hkDeselect); };
    G->OnBeforeSelect = [this](TObject*, int C, int, bool&) { Heard(C, -2, hkBeforeSelect); };
    G->OnDataChange = [this](TObject*, TDataChange, int) { Hook(hkDataChange); };
    G->OnEndEditing = [this](TObject*, int, int, WideString&, bool&) { Hook(hkEndEditing); };
    G->OnEditExit = [this](TObject*) { Hook(hkEditExit); };
    G->OnVerticalScroll = [this](TObject*, int) { Hook(hkScroll); };
    G->OnEditAccept = [this](TObject*, int, int, const WideString&, bool&) { Hook(hkEditAccept); };
    G->OnEditText = [this](TObject*, int, int, WideString&) { Hook(hkEditText); };
    G->OnAfterEdit = [this](TObject*, int, int, const WideString&) { Hook(hkAfterEdit); };
    G->OnChange = [this](TObject*, int, int) { Hook(hkChange); };
    G->OnBeforeEdit = [this](TObject*, int, int, bool&) { Hook(hkBeforeEdit); };
    G->OnEditEnter = [this](TObject*) { Hook(hkEditEnter); };
    G->OnSortColumn = [this](TObject*, int, bool) { Hook(hkSortColumn); };
    G->OnAfterSort = [this](TObject*, int) { Hook(hkAfterSort); };
    G->OnHeaderClick = [this](TObject*, int) { Hook(hkHeaderClick); };
    for (int I = 0; I < 3; ++I) InsertColumn(I);
  }
  // A handler of a freed grid is never called.
  bool Alive(THook Kind) {
    if (!FGridFreed) return true;
    if (StepFailure.empty()) StepFailure = std::string(HookNames[Kind]) + " fired after the grid was freed";
    return false;
  }
  void Hook(THook Kind) {
    if (!Alive(Kind)) return;
    Change(Kind);
    Raise(Kind);
  }
  void Raise(THook Kind) {
    if (Kind >= hkCount || Kind != FArmed) return;
    FArmed = hkNone;
    FRaisedIn = Kind;
    ++FRaised;
    throw EHandlerError();
  }
  void Heard(int C, int R, THook Kind) {
    if (!Alive(Kind)) return;
    const bool Outside = R != -2 && (R >= G->RowCount() || (R < 0 && !FSelectsNothing));
    if (StepFailure.empty() && (FQuiet || Outside))
      StepFailure = std::string(HookNames[Kind]) + " fired for (" + std::to_string(C) + ", " + std::to_string(R) + ")";
    Hook(Kind);
  }
  // The change the armed handler makes, with arguments that are good when it runs.
  void Change(THook Kind) {
    if (Kind != FChangeIn) return;
    FChangeIn = hkNone;
    FDisturbed = true;
    FChangedIn = Kind;
    std::ostringstream& S = FChangeName;
    const int Rows = G->RowCount(), Cols = G->Columns()->Count();
    // Half the time the change meets the edited row or column, while there is one.
    const bool Edited = G->IsEditing() && Chance(50);
    const int EditRow = G->EditRow(), EditCol = G->EditCol();
    const int R = Edited && EditRow >= 0 && EditRow < Rows ? EditRow : Below(Rows);
    const int C = Edited && EditCol >= 0 && EditCol < Cols ? EditCol : Below(Cols);
    switch (FChangeKind) {
      case chDeleteRow:
        if (Rows == 0) break;
        S << "DeleteRow(" << R << ")";
        G->DeleteRow(R);
        break;
      case chInsertRow: {
        const int At = Below(Rows + 1);
        S << "InsertRow(" << At << ")";
        G->InsertRow(At);
        break;
      }
      case chMoveRow: {
        if (Rows == 0) break;
        const int To = Below(Rows);
        S << "MoveRow(" << R << ", " << To << ")";
        G->MoveRow(R, To);
        break;
      }
      case chHideRow:
        if (Rows == 0) break;
        S << "SetRowVisible(" << R << ", false)";
        G->SetRowVisible(R, false);
        break;
      case chDeleteColumn:
        if (Cols == 0) break;
        S << "Columns()->Delete(" << C << ")";
        G->Columns()->Delete(C);
        break;
      case chFreeColumn:
        if (Cols == 0) break;
        S << "delete column " << C;
        delete G->Columns()->Item(C);
        break;
      case chInsertColumn: {
        const int At = Below(Cols + 1);
        S << "Columns()->Insert(" << At << ")";
        G->Columns()->Insert(At, NewColumn(cnName));
        break;
      }
      case chMoveColumn: {
        if (Cols == 0) break;
        const int From = G->Columns()->Item(C)->Position(), To = Below(Cols);
        S << "MovePosition(" << From << ", " << To << ")";
        G->Columns()->MovePosition(From, To);
        break;
      }
      case chHideColumn:
        if (Cols == 0) break;
        S << "column " << C << " hidden";
        G->Columns()->Item(C)->SetVisible(false);
        break;
      case chClearRows:
        S << "ClearRows";
        G->ClearRows();
        break;
      case chClearColumns:
        S << "Columns()->Clear()";
        G->Columns()->Clear();
        break;
      case chSort: {
        // A column and a sort type that can read it.
        std::vector<int> Sortable;
        for (int K = 0; K < Cols; ++K)
          if (ContentOf(G->Columns()->Item(K)) != cnVirtual) Sortable.push_back(K);
        if (Sortable.empty()) break;
        const int K = Edited && ContentOf(G->Columns()->Item(C)) != cnVirtual
                          ? C
                          : Sortable[static_cast<std::size_t>(Below(static_cast<int>(Sortable.size())))];
        auto* Col = static_cast<TNxTextColumn*>(G->Columns()->Item(K));
        const TContent Content = ContentOf(Col);
        std::vector<TSortType> Types;
        for (TSortType T : SortTypesOf(Content))
          if (!SortRefused(Content, T)) Types.push_back(T);
        const TSortType Type = Types[static_cast<std::size_t>(Below(static_cast<int>(Types.size())))];
        const bool Ascending = Chance(50);
        S << "SortColumn(" << K << ", " << TypeName(Type) << (Ascending ? ", ascending" : ", descending") << ")";
        Col->SetSortType(Type);
        G->SortColumn(Col, Ascending);
        break;
      }
      case chEdit: case chSelect: {
        // A shown cell of a shown row.
        std::vector<int> ShownRows, ShownCols;
        for (int K = 0; K < Rows; ++K)
          if (G->GetRowShown(K)) ShownRows.push_back(K);
        for (int K = 0; K < Cols; ++K)
          if (G->Columns()->Item(K)->Visible()) ShownCols.push_back(K);
        if (ShownRows.empty() || ShownCols.empty()) break;
        const int Row = ShownRows[static_cast<std::size_t>(Below(static_cast<int>(ShownRows.size())))];
        const int Col = ShownCols[static_cast<std::size_t>(Below(static_cast<int>(ShownCols.size())))];
        S << (FChangeKind == chEdit ? "EditCell(" : "SelectCell(") << Col << ", " << Row << ")";
        if (FChangeKind == chEdit) G->EditCell(Col, Row);
        else G->SelectCell(Col, Row);
        break;
      }
      case chFreeGrid:
        S << "frees the grid";
        FGridFreed = true;
        delete G;
        break;
      case chRaise:
        S << "raises";
        ++FRaised;
        FRaisedIn = Kind;
        throw EHandlerError();
      default: break;
    }
  }
  // After an operation in which a handler changed the grid: what must hold whatever the change
  // was, then the model takes the grid as it is now (a freed grid is followed by a new one).
  void AfterChange() {
    const std::string Failure = ChangeFailure();
    if (StepFailure.empty()) StepFailure = Failure;
    FChanged = true;
    FDisturbed = false;
    if (FGridFreed) {
      FGridFreed = false;
      FLocks = 0;
      M = TGridModel();
      MakeGrid();
      return;
    }
    Resync();
    FArmed = hkNone;
    // The operations of the model work on a grid with columns.
    if (M.Columns.empty()) InsertColumn(0);
    // A text cell that columns of numbers, addresses, dates or flags read gets a value, as new
    // cells of the model do; a new GUID cell (a GUID of its own) gets one of the model's, so that
    // a run replays.
    for (int C = 0; C < static_cast<int>(M.Columns.size()); ++C) {
      const TContent Content = M.Columns[static_cast<std::size_t>(C)].Content;
      auto Own = [&](const std::wstring& T) {
        for (const TEntry& E : Entries(cnGuid))
          if (E.Shown != nullptr && T == E.Shown) return false;
        return true;
      };
      for (int R = 0; R < M.Count(); ++R)
        if ((Content > cnName && Content < cnIncrement && M.Text(C, R).empty()) ||
            (Content == cnGuid && Own(M.Text(C, R))))
          WriteNew(C, R);
    }
    // So does the text of an editor a handler opened on such a cell.
    if (M.Editing && G->InplaceEditor() != nullptr) {
      const TContent Content = M.Columns[static_cast<std::size_t>(M.EditCol)].Content;
      if (Content > cnName && Content < cnIncrement && M.Typed.empty()) {
        const std::wstring T = NewText(Content, true);
        Call([&] { G->InplaceEditor()->SetText(T); });
        M.Typed = T;
      }
    }
  }
  // No error but a handler's or a refused text reached the program, a handler's error once; the
  // typed text is in the cell that was edited or nowhere; every other cell holds what it held
  // (wherever its row went), what the operation wrote, or what a new cell holds.
  std::string ChangeFailure() {
    // Nothing writes to what the change freed (the grid, a column, rows).
    memguard::CheckFreedSince(FFreedBefore);
    if (memguard::Counts().HeapFaults != FHeapFaultsBefore) return "freed memory was written";
    if (!FUnexpected.empty()) return "an error reached the program: " + FUnexpected;
    if (FHandlerDelivered > FRaised)
      return "a handler's error reached the program " + std::to_string(FHandlerDelivered) + " times";
    if (FRaised > 0 && FHandlerDelivered + FOtherDelivered == 0) return "a handler's error was lost";
    if (FOtherDelivered > 2) return std::to_string(FOtherDelivered) + " refused texts were reported";
    if (FGridFreed) return "";
    // Without several rows selected, only the selected row is.
    if (!G->GridState().Contains(gsRangeSelect))
      for (int R = 0; R < G->RowCount(); ++R)
        if (G->GetSelected(R) && R != G->SelectedRow())
          return "row " + std::to_string(R) + " is selected besides the selected row " +
                 std::to_string(G->SelectedRow());
    std::map<const void*, int> OldRow, OldCol;
    for (int R = 0; R < FBefore.Count(); ++R) OldRow[FBefore.At(R).Record] = R;
    for (std::size_t C = 0; C < FBefore.Columns.size(); ++C) OldCol[FBefore.Columns[C].Column] = static_cast<int>(C);
    for (int R = 0; R < G->RowCount(); ++R) {
      const void* Record = G->CellStore()->GetRow(R);
      const auto RowIt = OldRow.find(Record);
      for (int C = 0; C < G->Columns()->Count(); ++C) {
        TNxCustomColumn* Col = G->Columns()->Item(C);
        const auto ColIt = OldCol.find(Col);
        const TContent Content = ContentOf(Col);
        const std::wstring T = G->Cells(C, R);
        bool Ok = false;
        if (Content == cnIncrement) {
          Ok = T == std::to_wstring(R + 1);
        } else if (Content == cnVirtual) {
          if (ColIt == OldCol.end()) {
            Ok = T.empty();
          } else {
            const std::map<int, std::wstring>& Held = FBefore.Columns[static_cast<std::size_t>(ColIt->second)].Supplied;
            const auto It = Held.find(R);
            Ok = T == (It == Held.end() ? std::wstring() : It->second);
          }
        } else if (ColIt != OldCol.end() && RowIt != OldRow.end()) {
          Ok = T == FBefore.Text(ColIt->second, RowIt->second);
        } else {
          Ok = Content == cnGuid ? IsGuidText(T) : T == DefaultText(Content);
        }
        // A virtual column keeps its values by position.
        auto Here = [&](const TCellWrite& W) {
          return W.Column == Col && (W.Record == Record || (Content == cnVirtual && W.Pos == R));
        };
        for (const TCellWrite& W : FOpWrites)
          if (Here(W) && W.Text == T) Ok = true;
        for (const TCellWrite& E : FEdits)
          if (Here(E) && Enter(Content, E.Text) == std::optional<std::wstring>(T)) Ok = true;
        if (!Ok)
          return "cell (" + std::to_string(C) + ", " + std::to_string(R) + ") holds " + Narrow(T) +
                 ": neither its own text, a text typed into it nor one written to it";
      }
    }
    return "";
  }
  // The model takes the grid as it is.
  void Resync() {
    TGridModel N;
    std::map<const void*, int> Ids;
    for (int I = 0; I < G->Columns()->Count(); ++I) {
      TNxCustomColumn* Col = G->Columns()->Item(I);
      TModelColumn C;
      const auto Old =
          std::find_if(M.Columns.begin(), M.Columns.end(), [&](const TModelColumn& K) { return K.Column == Col; });
      if (Old != M.Columns.end()) {
        C = *Old;
      } else {
        C.Id = ++FColumnIds;
        C.Column = Col;
        C.Content = ContentOf(Col);
      }
      C.Sorted = Col->Sorted();
      C.Ascending = Col->SortKind() == skAscending;
      C.Visible = Col->Visible();
      if (C.Content == cnVirtual) C.Supplied = static_cast<TSuppliedColumn*>(Col)->Values();
      Ids[Col] = C.Id;
      N.Columns.push_back(C);
    }
    for (int P = 0; P < G->Columns()->Count(); ++P) N.Display.push_back(Ids[G->Columns()->ItemByPosition(P)]);
    for (int R = 0; R < G->RowCount(); ++R) {
      const TRow* Record = G->CellStore()->GetRow(R);
      const auto Old =
          std::find_if(M.Rows.begin(), M.Rows.end(), [&](const TModelRow& K) { return K.Record == Record; });
      TModelRow Row;
      Row.Id = Old != M.Rows.end() ? Old->Id : ++FRowIds;
      Row.Record = Record;
      for (int C = 0; C < G->Columns()->Count(); ++C)
        if (N.Columns[static_cast<std::size_t>(C)].Content != cnVirtual &&
            N.Columns[static_cast<std::size_t>(C)].Content != cnIncrement)
          Row.Text[N.Columns[static_cast<std::size_t>(C)].Id] = G->Cells(C, R);
      Row.Visible = Record->Visible;
      Row.Expanded = G->Expanded(R);
      Row.Selected = G->GetSelected(R);
      Row.Height = G->RowHeight(R);
      N.Rows.push_back(Row);
    }
    for (int R = 0; R < G->RowCount(); ++R) {
      const int P = G->GetRowParent(R);
      N.At(R).Parent = P >= 0 ? N.At(P).Id : -1;
    }
    auto IdOf = [&](int R) { return R >= 0 && R < N.Count() ? N.At(R).Id : -1; };
    N.SelectedColumn = G->SelectedColumn();
    N.SelectedId = IdOf(G->SelectedRow());
    N.AnchorId = IdOf(G->AnchorRow());
    N.RangeSelect = G->GridState().Contains(gsRangeSelect);
    N.Editing = G->GridState().Contains(gsEditing);
    if (N.Editing) {
      N.EditCol = G->EditCol();
      N.EditId = IdOf(G->EditRow());
      N.Typed = G->InplaceEditor() != nullptr ? std::wstring(G->InplaceEditor()->Text()) : std::wstring();
    }
    M = N;
  }
  // The cell of the model's edit is out of sight: its row is not shown or has no height, or,
  // outside an update lock (the view waits for its end), the cell lies out of the body's view.
  bool EditOutOfSight() {
    const int R = M.EditRow();
    if (!M.Editing || R < 0 || M.EditCol < 0 || M.EditCol >= static_cast<int>(M.Columns.size())) return false;
    if (!M.Facts().Shown[static_cast<std::size_t>(R)] || M.At(R).Height == 0) return true;
    if (Locked()) return false;
    const TRect Cell = G->GetCellRect(M.EditCol, R), Body = G->GetBodyRect();
    return Cell.Bottom <= Body.Top || Cell.Top >= Body.Bottom;
  }
  // An edit whose cell went out of sight in the operation has ended, writing what was typed, as
  // one whose column is hidden: a text its column refuses was raised to the operation's caller, or
  // shown when a message ended it.
  void SettleModelEdit() {
    const int Refusals = std::exchange(FSightRefusals, 0);
    if (EditOutOfSight()) {
      CellsTouched = true;
      const bool Takes = M.Apply();
      M.EndEdit();
      if (!Takes && Refusals == 0) ++FExpectErrors;
      if (Takes && Refusals > 0 && StepFailure.empty()) StepFailure = "the operation raised an error";
      return;
    }
    if (Refusals > 0 && StepFailure.empty()) StepFailure = "the operation raised an error";
  }
  // The grid edits only with a shown editor on a shown cell of a shown row in the view (inside an
  // update lock the view waits for the lock's end); hiding its column, its row, or scrolling its
  // cell out of view ends the edit.
  std::string EditorShown() {
    if (!G->GridState().Contains(gsEditing)) return "";
    const int C = G->EditCol(), R = G->EditRow();
    std::ostringstream S;
    S << "editing cell (" << C << ", " << R << "): ";
    TNxCustomEdit* E = G->InplaceEditor();
    const bool Shown = E != nullptr && IsWindowVisible(E->Handle());
    if (C < 0 || C >= G->Columns()->Count() || R < 0 || R >= G->RowCount()) S << "no such cell";
    else if (!G->Columns()->Item(C)->Visible()) S << "its column is hidden";
    else if (E == nullptr) S << "no editor";
    else if (!G->GetRowShown(R) || G->RowHeight(R) == 0) S << "its row cannot be seen";
    else if (!Shown && GetFocus() == E->Handle()) S << "a hidden editor has the keys";
    else if (!Shown && !Locked()) S << "the editor is not shown";
    else return "";
    return S.str();
  }
  TContent ContentOf(TNxCustomColumn* Col) const {
    for (const TModelColumn& C : M.Columns)
      if (C.Column == Col) return C.Content;
    auto It = FNewContent.find(Col);
    return It == FNewContent.end() ? cnName : It->second;
  }
  // An error that reached the caller or the application: a handler's own, a text a typed column
  // refuses (a handler's change may meet one) or a sort the column refuses; any other error is a
  // fault of the grid.
  void Delivered(const Exception& E) {
    if (dynamic_cast<const EHandlerError*>(&E) != nullptr) ++FHandlerDelivered;
    else if (dynamic_cast<const EConvertError*>(&E) != nullptr || dynamic_cast<const EInvalidOperation*>(&E) != nullptr)
      ++FOtherDelivered;
    else if (FUnexpected.empty()) FUnexpected = E.Message;
  }
  // After an operation a handler changed the grid in, the test goes on only from what the grid
  // is then.
  struct TStop {};
  void After() {
    if (FDisturbed || FGridFreed) throw TStop();
  }
  // Runs a call of the grid; a handler's error reaches the caller.
  template <class F>
  void Call(F&& Do) {
    try {
      Do();
    } catch (const EHandlerError& E) {
      ++FCaught;
      Delivered(E);
    } catch (const EConvertError& E) {
      // The refused text of an edit whose cell the call took out of sight (SettleModelEdit).
      if (FDisturbed) Delivered(E);
      else ++FSightRefusals;
    } catch (const Exception& E) {
      if (!FDisturbed) throw;
      Delivered(E);
    }
    After();
  }
  // Runs Do, which must raise E exactly when Raises is set.
  template <class E, class F>
  void Expect(bool Raises, F&& Do) {
    bool Raised = false;
    try {
      Do();
    } catch (const EHandlerError& Error) {
      ++FCaught;
      Delivered(Error);
    } catch (const E& Error) {
      Raised = true;
      if (Raises) ++FOtherDelivered;
      else if (FDisturbed) Delivered(Error);
      // The refused text of an edit whose cell the call took out of sight (SettleModelEdit).
      else if (std::is_same_v<E, EConvertError>) ++FSightRefusals, Raised = false;
    } catch (const Exception& Error) {
      if (!FDisturbed) throw;
      Delivered(Error);
    }
    // The first error reaches the caller: a handler's may come instead of the refusal.
    if (Raised != Raises && FRaised == 0 && !FDisturbed && StepFailure.empty())
      StepFailure = Raises ? "the operation raised no error" : "the operation raised an error";
    After();
  }
  // A road that writes an open editor's text back and closes it. When the column refuses the
  // text, an error is shown and nothing else happens: the editor stays open with the text and the
  // view where it is (false).
  bool WriteBack() {
    if (!M.Editing) return true;
    CellsTouched = true;
    if (!M.Apply()) {
      ++FExpectErrors;
      FExpectTop = G->FirstVisibleRow();
      FExpectHorz = G->HorzScrollBar()->Position();
      return false;
    }
    M.EndEdit();
    return true;
  }
  void Click(TPoint At) {
    const LPARAM Pos = MAKELPARAM(At.X, At.Y);
    SendMessageW(G->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, Pos);
    // The button comes up also after a handler changed the grid, unless it freed it.
    if (FGridFreed) throw TStop();
    SendMessageW(G->Handle(), WM_LBUTTONUP, 0, Pos);
    After();
  }
  // A click on the indicator beside a shown row in view selects that row alone. An open editor
  // the click closes (beside another row than the selected one, or while several rows are
  // selected) writes its text back first; the click does not select when the text is refused.
  void IndicatorClick(std::ostringstream& S) {
    const TRect Body = G->GetBodyRect();
    std::vector<int> InView;
    for (int R : M.ShownRows()) {
      const TRect Row = G->GetRowRect(R);
      if (R >= G->FirstVisibleRow() && Row.Top >= Body.Top && Row.Bottom <= Body.Bottom && M.At(R).Height >= 4)
        InView.push_back(R);
    }
    if (InView.empty()) {
      S << "indicator click: no row in view";
      return;
    }
    const int R = InView[static_cast<std::size_t>(Below(static_cast<int>(InView.size())))];
    S << "indicator click beside row " << R;
    const TRect Row = G->GetRowRect(R);
    if (!(M.Editing && (R != M.SelectedRow() || M.RangeSelect)) || WriteBack()) {
      M.SelectCell(M.SelectedColumn, R, true, false, false);
    } else if (M.RangeSelect) {
      // Refused: the release, away from the body, lets the selected rows go as any such release.
      for (TModelRow& Each : M.Rows) Each.Selected = false;
    }
    Click(Point(G->GetIndicatorRect().Width() / 2, (Row.Top + Row.Bottom) / 2));
  }
  // A child row goes right under its parent, or after the parent's descendants that follow it
  // directly (all of them while the tree is one block after the parent; where moves or a sort
  // pulled it apart, those before the first row of another tree).
  void AddChild(std::ostringstream& S) {
    const int P = Below(M.Count());
    const bool After = Chance(50);
    S << "AddChildRow(" << P << ", " << After << ")";
    const std::vector<int> Tree = M.Tree(P);
    std::size_t Following = 0;
    while (Following + 1 < Tree.size() && Tree[Following + 1] == P + 1 + static_cast<int>(Following)) ++Following;
    const int Expected = After ? P + 1 + static_cast<int>(Following) : P + 1;
    Call([&] { G->AddChildRow(P, After); });
    const int Pos = G->LastAddedRow();
    if (Pos != Expected)
      StepFailure = "the child row went to " + std::to_string(Pos) + ", expected " + std::to_string(Expected);
    NewRow(Pos, M.At(P).Id);
  }
  // A sort by a call, by the column's direction (which sorts only the column the header shows as
  // sorted) or by a header click, which writes an open editor's text back first; the sorted
  // column changes direction, another becomes the one sorted column in its own direction. The
  // rows then hold the column's values as they were, in order; ties in any order. A refused sort
  // changes nothing at all (the column keeps its direction, the header its sorted column).
  void Sort(std::ostringstream& S) {
    const int C = Below(static_cast<int>(M.Columns.size()));
    TModelColumn& MC = M.Columns[static_cast<std::size_t>(C)];
    auto* Col = static_cast<TNxTextColumn*>(G->Columns()->Item(C));
    const std::vector<TSortType>& Types = SortTypesOf(MC.Content);
    const TSortType Type = Types[static_cast<std::size_t>(Below(static_cast<int>(Types.size())))];
    Col->SetSortType(Type);
    const bool Refused = SortRefused(MC.Content, Type);
    const int Top = G->FirstVisibleRow();
    const TRect Header = G->GetHeaderCellRect(Col);
    const TPoint At = Point((Header.Left + Header.Right) / 2, Header.Height() / 2);
    int Road = Below(Locked() ? 2 : 3);
    if (Road == 2 && (!MC.Visible || At.X < G->GetBodyRect().Left + 4 || At.X > G->ClientWidth() - 4)) Road = 0;
    S << "column " << C << " " << TypeName(Type) << ": ";
    if (Road == 0) {
      const bool Ascending = Chance(50);
      S << "SortColumn " << (Ascending ? "ascending" : "descending");
      if (!Refused) M.EndEdit();
      Expect<EInvalidOperation>(Refused, [&] { G->SortColumn(Col, Ascending); });
      if (!Refused) TakeSortedOrder(C, Type, Ascending);
    } else if (Road == 1) {
      const bool Ascending = !MC.Ascending, Sorts = MC.Sorted;
      S << "SetSortKind " << (Ascending ? "ascending" : "descending");
      if (!(Sorts && Refused)) MC.Ascending = Ascending;
      if (Sorts && !Refused) M.EndEdit();
      Expect<EInvalidOperation>(Sorts && Refused, [&] { Col->SetSortKind(Ascending ? skAscending : skDescending); });
      if (Sorts && !Refused) TakeSortedOrder(C, Type, Ascending);
    } else {
      S << "header click";
      if (WriteBack()) {
        if (Refused) {
          ++FExpectErrors;
        } else {
          if (MC.Sorted) MC.Ascending = !MC.Ascending;
          for (TModelColumn& K : M.Columns) K.Sorted = &K == &MC;
        }
      }
      Click(At);
      if (FExpectErrors == 0) TakeSortedOrder(C, Type, MC.Ascending);
    }
    if (Refused) FExpectTop = Top;
  }
  // The grid's order after a sort by column C: it holds the same records, and each row's value
  // (as the column showed it before the sort) is no later in the order than the next one's.
  void TakeSortedOrder(int C, TSortType Type, bool Ascending) {
    std::map<const void*, std::pair<TModelRow, std::wstring>> ByRecord;
    for (int R = 0; R < M.Count(); ++R) ByRecord[M.At(R).Record] = {M.At(R), M.Text(C, R)};
    std::vector<TModelRow> Sorted;
    std::vector<std::wstring> Values;
    for (int R = 0; R < G->RowCount() && StepFailure.empty(); ++R) {
      auto It = ByRecord.find(G->CellStore()->GetRow(R));
      if (It == ByRecord.end()) {
        StepFailure = "row " + std::to_string(R) + " holds no record of the model";
      } else {
        Sorted.push_back(It->second.first);
        Values.push_back(It->second.second);
      }
    }
    if (!StepFailure.empty() || Sorted.size() != M.Rows.size()) {
      if (StepFailure.empty()) StepFailure = "the sort changed the number of rows";
      return;
    }
    M.Rows = Sorted;
    const TContent Content = M.Columns[static_cast<std::size_t>(C)].Content;
    for (std::size_t R = 0; R + 1 < Values.size(); ++R) {
      const std::wstring &A = Values[R], &B = Values[R + 1];
      if (Ascending ? Less(Type, Content, B, A) : Less(Type, Content, A, B)) {
        StepFailure = "rows " + std::to_string(R) + " and " + std::to_string(R + 1) + " out of order: " + Narrow(A) +
                      ", " + Narrow(B);
        return;
      }
    }
  }
  // The user scrolls by a line, a page or to an end (the bar's messages), or a program moves the
  // bar: the view lands the given number of shown rows further, never before the first row or
  // past the last page. The messages of either bar write an open editor's text back and close
  // it, as every road but Escape does.
  void Scroll(std::ostringstream& S) {
    const std::vector<int> Shown = M.ShownRows();
    const int Total = M.ScrollRows();
    const int Page = M.PageRows(BodyHeight(), LineHeight());
    const int MaxPos = Page < Total ? Total - Page : 0;
    const int Pos = G->VertScrollBar()->Position();
    static const int Codes[] = {SB_LINEUP, SB_LINEDOWN, SB_PAGEUP,     SB_PAGEDOWN, SB_TOP,
                                SB_BOTTOM, 0,           SB_LINERIGHT, SB_PAGELEFT};
    static const char* Names[] = {"line up", "line down", "page up", "page down", "top",
                                  "bottom",  "",          "right",   "page left"};
    const int Which = Below(9);
    int Want = Pos;
    if (Which == 6) {
      Want = Below(MaxPos + 1);
      S << "VertScrollBar()->SetPosition(" << Want << ")";
      Call([&] { G->VertScrollBar()->SetPosition(Want); });
    } else {
      // A line is a row that can be seen: rows of no height on the way pass with it (and with no
      // row to see above, a line up goes to the top).
      const int N = static_cast<int>(Shown.size());
      auto Seen = [&](int P) { return M.At(Shown[static_cast<std::size_t>(P)]).Height > 0; };
      int Down = Pos;
      while (Down < N && !Seen(Down)) ++Down;
      if (Down < N) ++Down;
      while (Down < N && !Seen(Down)) ++Down;
      int Up = Pos - 1;
      while (Up >= 0 && !Seen(Up)) --Up;
      int Above = Up - 1;
      while (Above >= 0 && !Seen(Above)) --Above;
      if (Up < 0 || Above < 0) Up = 0;
      if (Down == Pos) ++Down;
      if (Up == Pos) --Up;
      const int Steps[] = {Up, Down, Pos - (Page + 1), Pos + Page + 1, 0, MaxPos, 0, Pos, Pos};
      S << "scroll " << Names[Which];
      if (WriteBack()) Want = std::clamp(Steps[Which], 0, MaxPos);
      SendMessageW(G->Handle(), Which < 6 ? WM_VSCROLL : WM_HSCROLL, static_cast<WPARAM>(Codes[Which]), 0);
      After();
    }
    if (Want != Pos && Want < static_cast<int>(Shown.size())) FExpectTop = Shown[static_cast<std::size_t>(Want)];
  }

  std::mt19937 FRandom;
  TForm* FForm;
  TEdit* FOther;
  int FRowSize = 0;
  int FRowIds = 0;
  int FColumnIds = 0;
  bool FLines = true;    // a grid line under each row
  bool FFooter = false;
  int FLocks = 0;        // update locks open
  int FExpectTop = -1;   // the row the view must start at after a scroll, -1 for none
  int FExpectHorz = -1;  // the horizontal bar's position, -1 for any
  int FErrors = 0;       // errors that reached the application
  int FErrorsBefore = 0;
  int FExpectErrors = 0;  // in this operation
  std::string FLastError;
  THook FArmed = hkNone;         // the handler that raises in this operation
  int FRaised = 0;               // handlers that raised in it
  THook FRaisedIn = hkNone;
  // A handler that changes the grid.
  static constexpr int ChangePercent = 5;
  THook FChangeIn = hkNone;      // the handler that changes the grid in this operation
  TChange FChangeKind = chRaise;
  THook FChangedIn = hkNone;
  std::ostringstream FChangeName;
  bool FDisturbed = false;       // the change was made in this operation
  bool FChanged = false;         // the model took the grid as the change left it
  bool FGridFreed = false;
  TGridModel FBefore;            // the model before the operation
  unsigned FFreedBefore = 0;     // the freed-memory guard's sequence then
  unsigned FHeapFaultsBefore = 0;
  struct TCellWrite {
    const void* Record;
    const void* Column;
    int Pos;
    std::wstring Text;
  };
  TCellWrite CellWrite(int C, int R, const std::wstring& Text) {
    return {M.At(R).Record, M.Columns[static_cast<std::size_t>(C)].Column, R, Text};
  }
  std::vector<TCellWrite> FOpWrites;  // what the operation writes
  std::vector<TCellWrite> FEdits;     // the cells edited in it, with what was typed
  std::map<const void*, TContent> FNewContent;  // the columns made in it
  int FHandlerDelivered = 0;     // handlers' errors that reached the caller or the application
  int FOtherDelivered = 0;       // other errors that did
  std::string FUnexpected;       // an error of another kind
  int FCaught = 0;               // errors that reached the test's own calls
  int FSightRefusals = 0;        // refused texts they raised that SettleModelEdit accounts for
  bool FQuiet = false;           // no selection event may fire
  bool FSelectsNothing = false;  // a selection event may name row -1
  std::string FSupplyFailure;  // what the virtual columns' suppliers were asked wrongly
  std::set<std::wstring> FNewGuids;
};

}  // namespace

TEST(GridRandomOperations, EveryOperationAgreesWithAPlainModel) {
  const unsigned Seed = static_cast<unsigned>(gridtest::EnvInt("TV_GRID_OPS_SEED", 20240611));
  const int Count = gridtest::EnvInt("TV_GRID_OPS_COUNT", 30000);
  // Each operation printed as it completes, for a run that ends the process.
  const bool Trace = gridtest::EnvInt("TV_GRID_OPS_TRACE", 0) != 0;
  Faults = 0;
  void* Handler = AddVectoredExceptionHandler(1, CountFault);
  std::deque<std::string> Recent;
  std::string Failure;
  int Failed = -1;
  {
    TRandomRun Run(Seed);
    Run.Trace = Trace;
    for (int N = 1; N <= Count && Failure.empty(); ++N) {
      try {
        Run.Step();
      } catch (const Exception& E) {
        Failure = "the operation raised " + E.Message;
      } catch (const std::exception& E) {
        Failure = std::string("the operation raised ") + E.what();
      }
      Recent.push_back(std::to_string(N) + ": " + Run.Op);
      if (Trace) {
        std::printf("%s\n", Recent.back().c_str());
        std::fflush(stdout);
      }
      if (Recent.size() > 25) Recent.pop_front();
      if (Failure.empty()) Failure = Run.Compare(Run.CellsTouched || N % 16 == 0);
      Run.Show();
      if (Failure.empty() && N % 200 >= 190 && !Run.Locked()) Failure = Run.Display();
      if (!Failure.empty()) Failed = N;
    }
    if (Failure.empty()) {
      while (Run.Locked()) Run.Unlock();
      Failure = Run.Compare(true);
    }
    if (Failure.empty()) Failure = Run.Display();
  }
  RemoveVectoredExceptionHandler(Handler);
  std::string History;
  for (const std::string& H : Recent) History += "  " + H + "\n";
  EXPECT_EQ(Failure, "") << "seed " << Seed << ", operation " << Failed << "\nlast operations:\n" << History;
  EXPECT_EQ(Faults, 0) << "seed " << Seed;
}
