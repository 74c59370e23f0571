// The randomised operation test: a real grid on a small shown form takes 100,000 operations drawn
// from a fixed seed (rows added, inserted, deleted, moved, exchanged, sorted, hidden and shown,
// child rows expanded and collapsed, cells selected alone and several at a time, editors opened,
// typed in, written back and cancelled, columns inserted, moved and deleted), and after each one
// its rows, shown rows, selection and editor are compared with a plain model. A failure names the
// seed, the operation and the ones before it; TV_GRID_OPS_SEED and TV_GRID_OPS_COUNT replay
// another run. Painting runs every thousand operations; faults inside window procedures and
// exceptions that reach the application are counted.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <deque>
#include <random>
#include <sstream>
#include <string>

#include "framework/Strings.h"
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

int EnvInt(const char* Name, int Default) {
  const char* V = std::getenv(Name);
  return V != nullptr && *V != 0 ? std::atoi(V) : Default;
}

std::string Narrow(const std::wstring& S) { return WideToAnsi(S); }

// The three text orders the test sorts by, as the model computes them.
bool AlphabeticLess(const std::wstring& A, const std::wstring& B) { return A < B; }
bool CaseInsensitiveLess(const std::wstring& A, const std::wstring& B) {
  auto Fold = [](std::wstring S) {
    for (wchar_t& C : S)
      if (C >= L'A' && C <= L'Z') C = static_cast<wchar_t>(C - L'A' + L'a');
    return S;
  };
  return Fold(A) < Fold(B);
}
bool LocaleLess(const std::wstring& A, const std::wstring& B) {
  return CompareStringW(LOCALE_USER_DEFAULT, 0, A.data(), static_cast<int>(A.size()), B.data(),
                        static_cast<int>(B.size())) == CSTR_LESS_THAN;
}

class TRandomRun {
 public:
  TRandomRun(unsigned Seed) : FRandom(Seed) {
    FForm = new TForm(nullptr);
    FForm->SetBounds(120, 90, 260, 170);
    G = new TNxGrid(FForm);
    G->SetBounds(4, 4, 220, 112);
    G->SetBorderStyle(bsNone);
    G->SetOptions({goSelectFullRow, goMultiSelect, goGrid});
    G->SetParent(FForm);
    for (int I = 0; I < 3; ++I) InsertColumn(I);
    FForm->Show();
    Settle(FForm->Handle());
  }
  ~TRandomRun() {
    delete FForm;
    uitest::Pump();
  }
  TRandomRun(const TRandomRun&) = delete;
  TRandomRun& operator=(const TRandomRun&) = delete;

  TNxGrid* G;
  TGridModel M;
  std::string Op;           // the operation just run
  bool CellsTouched = false;  // it wrote cells or changed columns

  int Below(int N) { return N <= 0 ? 0 : static_cast<int>(FRandom() % static_cast<unsigned>(N)); }
  bool Chance(int Percent) { return Below(100) < Percent; }

  // Runs one operation on the grid and on the model.
  void Step() {
    CellsTouched = false;
    const int Rows = M.Count();
    const int Cols = static_cast<int>(M.Columns.size());
    const bool Crowded = Rows >= 48;
    // Weights of the operations, in the order of the switch below.
    const int Weights[] = {
        Crowded ? 0 : 10,                    // 0 add rows
        Crowded ? 0 : 6,                     // 1 insert a row
        Rows > 0 ? (Rows < 6 ? 3 : 9) : 0,  // 2 delete a row
        Rows > 1 ? 5 : 0,                    // 3 move
        Rows > 1 ? 5 : 0,                    // 4 exchange
        Rows > 1 && Cols > 0 ? 3 : 0,       // 5 sort
        Rows > 0 ? 6 : 0,                    // 6 hide or show
        Rows > 0 && !Crowded ? 5 : 0,       // 7 add a child row
        Rows > 0 ? 6 : 0,                    // 8 expand or collapse
        Rows > 0 ? 8 : 0,                    // 9 select a cell
        Rows > 0 ? 7 : 0,                    // 10 Ctrl / Shift select
        1,                                   // 11 select all, clear, select nothing
        Rows > 0 && Cols > 0 ? 2 : 0,       // 12 open an editor
        M.Editing ? 5 : 0,                   // 13 type
        M.Editing ? 4 : 0,                   // 14 write back
        M.Editing ? 2 : 0,                   // 15 cancel
        Rows > 0 && Cols > 0 ? 3 : 0,       // 16 write a cell
        Cols < 5 ? 1 : 0,                    // 17 insert a column
        Cols > 1 ? 1 : 0,                    // 18 move a column
        Cols > 1 ? 1 : 0,                    // 19 delete a column
    };
    int Total = 0;
    for (int W : Weights) Total += W;
    int Pick = Below(Total);
    int Kind = 0;
    while (Pick >= Weights[Kind]) Pick -= Weights[Kind++];
    std::ostringstream S;
    switch (Kind) {
      case 0: {
        const int N = 1 + Below(3);
        S << "AddRow(" << N << ")";
        const int First = G->RowCount();
        G->AddRow(N);
        for (int R = First; R < First + N; ++R) {
          M.Append(++FRowIds, G->CellStore()->GetRow(R));
          FillRow(R);
        }
        break;
      }
      case 1: {
        const int Pos = Below(Rows + 1);
        S << "InsertRow(" << Pos << ")";
        G->InsertRow(Pos);
        M.Insert(Pos, ++FRowIds, G->CellStore()->GetRow(Pos));
        FillRow(Pos);
        break;
      }
      case 2: {
        const int R = Below(Rows);
        S << "DeleteRow(" << R << ")";
        G->DeleteRow(R);
        M.Delete(R);
        break;
      }
      case 3: {
        const int A = Below(Rows), B = Below(Rows);
        S << "MoveRow(" << A << ", " << B << ")";
        G->MoveRow(A, B);
        M.Move(A, B);
        break;
      }
      case 4: {
        const int A = Below(Rows), B = Below(Rows);
        S << "ExchangeRows(" << A << ", " << B << ")";
        G->ExchangeRows(A, B);
        M.Exchange(A, B);
        break;
      }
      case 5: Sort(S); break;
      case 6: {
        const int R = Below(Rows);
        const bool V = Chance(55);
        S << "SetRowVisible(" << R << ", " << V << ")";
        G->SetRowVisible(R, V);
        M.SetVisible(R, V);
        break;
      }
      case 7: {
        const int P = Below(Rows);
        const bool After = Chance(50);
        S << "AddChildRow(" << P << ", " << After << ")";
        G->AddChildRow(P, After);
        const int Pos = P + 1 + (After ? M.Descendants(P) : 0);
        M.AddChild(P, After, ++FRowIds, G->CellStore()->GetRow(Pos));
        FillRow(Pos);
        break;
      }
      case 8: {
        const int R = Below(Rows);
        const bool V = Chance(50);
        S << "SetExpanded(" << R << ", " << V << ")";
        G->SetExpanded(R, V);
        M.SetExpanded(R, V);
        break;
      }
      case 9: {
        const int C = Below(Cols), R = Below(Rows);
        S << "SelectCell(" << C << ", " << R << ")";
        G->SelectCell(C, R, false, true, {});
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
        G->SelectCell(C, R, false, ClearMulti, State);
        M.SelectCell(C, R, ClearMulti, Ctrl, Shift);
        break;
      }
      case 11: {
        const int Which = Below(3);
        if (Which == 0) {
          S << "SelectAll";
          G->SelectAll();
          M.SelectAll();
        } else if (Which == 1) {
          S << "ClearSelection";
          G->ClearSelection();
          M.ClearSelection();
        } else {
          S << "SelectRow(-1)";
          if (Rows > 0) {
            G->SelectRow(-1);
            M.SelectCell(M.SelectedColumn, -1, true, false, false);
          }
        }
        break;
      }
      case 12: {
        const int C = Below(Cols), R = Below(Rows);
        S << "EditCell(" << C << ", " << R << ")";
        G->EditCell(C, R);
        M.BeginEdit(C, R);
        break;
      }
      case 13: {
        const std::wstring T = NewText(L'e');
        S << "type " << Narrow(T);
        G->InplaceEditor()->SetText(T);
        M.Typed = T;
        break;
      }
      case 14:
        S << "ApplyEditing, EndEditing";
        G->ApplyEditing();
        G->EndEditing();
        M.Apply();
        M.EndEdit();
        CellsTouched = true;
        break;
      case 15:
        S << "EndEditing";
        G->EndEditing();
        M.EndEdit();
        break;
      case 16: {
        const int C = Below(Cols), R = Below(Rows);
        const std::wstring T = NewText(L'w');
        S << "SetCells(" << C << ", " << R << ", " << Narrow(T) << ")";
        G->SetCells(C, R, T);
        M.Write(C, R, T);
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
        G->Columns()->MovePosition(From, To);
        M.MoveColumn(From, To);
        break;
      }
      case 19: {
        const int I = Below(Cols);
        S << "delete column " << I;
        delete G->Columns()->Item(I);
        M.DeleteColumn(I);
        CellsTouched = true;
        break;
      }
      default: break;
    }
    Op = S.str();
  }

  // The first difference between the grid and the model, "" when there is none.
  std::string Compare(bool WithCells) {
    std::ostringstream S;
    const int Rows = M.Count();
    if (G->RowCount() != Rows) return Say(S, "RowCount", G->RowCount(), Rows);
    if (G->CellStore()->RowCount() != Rows) return Say(S, "store RowCount", G->CellStore()->RowCount(), Rows);
    const int Cols = static_cast<int>(M.Columns.size());
    if (G->Columns()->Count() != Cols) return Say(S, "column count", G->Columns()->Count(), Cols);
    for (int C = 0; C < Cols; ++C) {
      if (G->Columns()->Item(C) != M.Columns[static_cast<std::size_t>(C)].Column) return Say(S, "column object", C, C);
      const int Id = M.Display[static_cast<std::size_t>(C)];
      if (G->Columns()->ItemByPosition(C) != M.Columns[static_cast<std::size_t>(M.ColumnIndexOfId(Id))].Column)
        return Say(S, "column at display position", C, M.ColumnIndexOfId(Id));
    }
    int Selected = 0;
    for (int R = 0; R < Rows; ++R) {
      const TModelRow& E = M.Rows[static_cast<std::size_t>(R)];
      S << "row " << R << ": ";
      if (G->CellStore()->GetRow(R) != E.Record) return Say(S, "record (id)", -1, E.Id);
      if (G->GetRowShown(R) != M.RowShown(R)) return Say(S, "shown", G->GetRowShown(R), M.RowShown(R));
      if (G->GetSelected(R) != E.Selected) return Say(S, "selected flag", G->GetSelected(R), E.Selected);
      if (G->GetRowLevel(R) != E.Level) return Say(S, "level", G->GetRowLevel(R), E.Level);
      if (G->Expanded(R) != E.Expanded) return Say(S, "expanded", G->Expanded(R), E.Expanded);
      if (G->ChildCount(R) != E.ChildCount) return Say(S, "child count", G->ChildCount(R), E.ChildCount);
      const int Parent = E.Parent < 0 ? -1 : M.IndexOf(E.Parent);
      if (G->GetRowParent(R) != Parent) return Say(S, "parent", G->GetRowParent(R), Parent);
      if (WithCells)
        for (int C = 0; C < Cols; ++C) {
          const std::wstring T = G->Cells(C, R);
          if (T != M.Text(C, R)) {
            S << "cell " << C << ": " << Narrow(T) << " expected " << Narrow(M.Text(C, R));
            return S.str();
          }
        }
      Selected += E.Selected ? 1 : 0;
      S.str("");
    }
    if (G->ShownRowCount() != M.ShownCount()) return Say(S, "ShownRowCount", G->ShownRowCount(), M.ShownCount());
    if (G->GetFirstShownRow() != M.FirstShown()) return Say(S, "first shown row", G->GetFirstShownRow(), M.FirstShown());
    if (G->GetLastShownRow() != M.LastShown()) return Say(S, "last shown row", G->GetLastShownRow(), M.LastShown());
    if (G->SelectedRow() != M.SelectedRow()) return Say(S, "SelectedRow", G->SelectedRow(), M.SelectedRow());
    if (G->SelectedColumn() != M.SelectedColumn) return Say(S, "SelectedColumn", G->SelectedColumn(), M.SelectedColumn);
    if (G->AnchorRow() != M.AnchorRow()) return Say(S, "AnchorRow", G->AnchorRow(), M.AnchorRow());
    if (G->GridState().Contains(gsRangeSelect) != M.RangeSelect)
      return Say(S, "range select", G->GridState().Contains(gsRangeSelect), M.RangeSelect);
    if (G->GetSelectedCount() != Selected) return Say(S, "GetSelectedCount", G->GetSelectedCount(), Selected);
    if (G->GridState().Contains(gsEditing) != M.Editing) return Say(S, "editing", G->GridState().Contains(gsEditing), M.Editing);
    if (M.Editing) {
      if (G->EditCol() != M.EditCol) return Say(S, "EditCol", G->EditCol(), M.EditCol);
      if (G->EditRow() != M.EditRow()) return Say(S, "EditRow", G->EditRow(), M.EditRow());
      if (G->InplaceEditor() == nullptr) return "no editor while editing";
      if (G->InplaceEditor()->Text() != M.Typed)
        return "editor text " + Narrow(G->InplaceEditor()->Text()) + " expected " + Narrow(M.Typed);
    } else if (G->EditCol() != -1 || G->EditRow() != -1 || G->InplaceEditor() != nullptr) {
      return Say(S, "edit cell while not editing", G->EditCol(), G->EditRow());
    }
    const int Top = G->FirstVisibleRow();
    if (Top < 0 || (Rows == 0 ? Top != 0 : Top >= Rows)) return Say(S, "FirstVisibleRow", Top, Rows);
    return "";
  }

 private:
  static std::string Say(std::ostringstream& S, const char* What, int Grid, int Model) {
    S << What << ": grid " << Grid << ", model " << Model;
    return S.str();
  }

  // A text no cell holds yet: letters of mixed case (so that the text orders differ) and a serial.
  std::wstring NewText(wchar_t Lead) {
    static const wchar_t Letters[] = L"aBcDeFgHxYz";
    std::wstring T(1, Lead);
    for (int I = 0; I < 2; ++I) T += Letters[Below(11)];
    wchar_t Serial[16];
    swprintf(Serial, 16, L"%06d", ++FSerial);
    return T + Serial;
  }
  void FillRow(int R) {
    for (int C = 0; C < static_cast<int>(M.Columns.size()); ++C) {
      const std::wstring T = NewText(L'r');
      G->SetCells(C, R, T);
      M.Write(C, R, T);
    }
    CellsTouched = true;
  }
  void InsertColumn(int Index) {
    auto* Col = new TNxTextColumn(FForm);
    Col->SetOptions({coCanClick, coCanSort, coEditing, coPublicUsing});
    Col->SetWidth(50);
    G->Columns()->Insert(Index, Col);
    M.InsertColumn(Index, ++FColumnIds, Col);
    for (int R = 0; R < M.Count(); ++R) {
      const std::wstring T = NewText(L'c');
      G->SetCells(Index, R, T);
      M.Write(Index, R, T);
    }
    CellsTouched = true;
  }
  void Sort(std::ostringstream& S) {
    const int C = Below(static_cast<int>(M.Columns.size()));
    auto* Col = static_cast<TNxTextColumn*>(G->Columns()->Item(C));
    static const TSortType Types[] = {stAlphabetic, stCaseInsensitive, stUnicodeAlphabetic};
    static const char* TypeNames[] = {"alphabetic", "case-insensitive", "locale"};
    const int T = Below(3);
    Col->SetSortType(Types[T]);
    const TTextOrder Orders[] = {AlphabeticLess, CaseInsensitiveLess, LocaleLess};
    bool Ascending;
    if (Col->Sorted() && Chance(60)) {
      // The sorted column's direction flips (as a header click does).
      Ascending = Col->SortKind() != skAscending;
      S << "flip column " << C << " " << TypeNames[T];
      Col->SetSortKind(Ascending ? skAscending : skDescending);
    } else {
      Ascending = Chance(50);
      S << "sort column " << C << " " << TypeNames[T] << (Ascending ? " ascending" : " descending");
      G->SortColumn(Col, Ascending);
    }
    M.Sort(C, Orders[T], Ascending);
  }

  std::mt19937 FRandom;
  TForm* FForm;
  int FRowIds = 0;
  int FColumnIds = 0;
  int FSerial = 0;
};

}  // namespace

TEST(GridRandomOperations, EveryOperationAgreesWithAPlainModel) {
  const unsigned Seed = static_cast<unsigned>(EnvInt("TV_GRID_OPS_SEED", 20240611));
  const int Count = EnvInt("TV_GRID_OPS_COUNT", 100000);
  Faults = 0;
  void* Handler = AddVectoredExceptionHandler(1, CountFault);
  int AppErrors = 0;
  std::string AppError;
  Application->OnException = [&](TObject*, Exception& E) {
    ++AppErrors;
    AppError = E.Message;
  };
  std::deque<std::string> Recent;
  std::string Failure;
  int Failed = -1;
  {
    TRandomRun Run(Seed);
    for (int N = 1; N <= Count && Failure.empty(); ++N) {
      try {
        Run.Step();
      } catch (const Exception& E) {
        Failure = "the operation raised " + E.Message;
      } catch (const std::exception& E) {
        Failure = std::string("the operation raised ") + E.what();
      }
      Recent.push_back(std::to_string(N) + ": " + Run.Op);
      if (Recent.size() > 25) Recent.pop_front();
      if (Failure.empty()) Failure = Run.Compare(Run.CellsTouched || N % 16 == 0);
      if (Failure.empty() && N % 1000 == 0) {
        // The grid paints what the operations left.
        Run.G->Invalidate();
        Settle(Run.G->Handle());
        if (Faults != 0 || AppErrors != 0) Failure = "painting failed: " + AppError;
      }
      if (!Failure.empty()) Failed = N;
    }
    if (Failure.empty()) Failure = Run.Compare(true);
  }
  Application->OnException = nullptr;
  RemoveVectoredExceptionHandler(Handler);
  std::string History;
  for (const std::string& H : Recent) History += "  " + H + "\n";
  EXPECT_EQ(Failure, "") << "seed " << Seed << ", operation " << Failed << "\nlast operations:\n" << History;
  EXPECT_EQ(Faults, 0) << "seed " << Seed;
  EXPECT_EQ(AppErrors, 0) << "seed " << Seed << ": " << AppError;
}
