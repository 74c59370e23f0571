// A plain model of what the grid's row, selection, editing and column operations do to the rows,
// their flags and the selection, kept in vectors of records and compared with a real grid after
// every operation of the randomised operation test. Rows are known by an id; the grid's row
// record of each is kept for the comparison only.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace gridmodel {

struct TModelRow {
  int Id = 0;
  const void* Record = nullptr;    // the grid's row record
  std::map<int, std::wstring> Text;  // by column id
  bool Visible = true;
  bool Shown = true;
  bool Expanded = true;
  int Level = 0;
  int Parent = -1;                 // row id, -1 for none
  int ChildCount = 0;
  bool Selected = false;
};

struct TModelColumn {
  int Id = 0;
  const void* Column = nullptr;    // the grid's column object
};

// How a column is sorted: Less(A, B) orders two cell texts ascending.
using TTextOrder = std::function<bool(const std::wstring& A, const std::wstring& B)>;

class TGridModel {
 public:
  std::vector<TModelRow> Rows;
  std::vector<TModelColumn> Columns;  // creation order
  std::vector<int> Display;           // column ids in display order
  int SelectedColumn = 0;
  int SelectedId = -1;                // the selected row's id, -1 for none
  int AnchorId = -1;
  bool RangeSelect = false;
  bool Editing = false;
  int EditCol = -1;
  int EditId = -1;
  std::wstring Typed;

  int IndexOf(int Id) const {
    for (std::size_t I = 0; I < Rows.size(); ++I)
      if (Rows[I].Id == Id) return static_cast<int>(I);
    return -1;
  }
  TModelRow* Row(int Id) {
    const int I = IndexOf(Id);
    return I < 0 ? nullptr : &Rows[static_cast<std::size_t>(I)];
  }
  int Count() const { return static_cast<int>(Rows.size()); }
  int SelectedRow() const { return SelectedId < 0 ? -1 : IndexOf(SelectedId); }
  int AnchorRow() const { return AnchorId < 0 ? -1 : IndexOf(AnchorId); }
  int EditRow() const { return Editing ? IndexOf(EditId) : -1; }
  bool RowShown(int I) const { return Rows[static_cast<std::size_t>(I)].Visible && Rows[static_cast<std::size_t>(I)].Shown; }
  int ShownCount() const {
    int N = 0;
    for (int I = 0; I < Count(); ++I) N += RowShown(I) ? 1 : 0;
    return N;
  }
  int FirstShown() const {
    for (int I = 0; I < Count(); ++I)
      if (RowShown(I)) return I;
    return 0;
  }
  int LastShown() const {
    for (int I = Count() - 1; I >= 0; --I)
      if (RowShown(I)) return I;
    return 0;
  }
  // Rows directly after I with a greater level.
  int Descendants(int I) const {
    int N = 0;
    const int Level = Rows[static_cast<std::size_t>(I)].Level;
    for (int K = I + 1; K < Count() && Rows[static_cast<std::size_t>(K)].Level > Level; ++K) ++N;
    return N;
  }
  int ColumnIndexOfId(int Id) const {
    for (std::size_t I = 0; I < Columns.size(); ++I)
      if (Columns[I].Id == Id) return static_cast<int>(I);
    return -1;
  }

  // --- editing
  void EndEdit() {
    Editing = false;
    EditCol = -1;
    EditId = -1;
    Typed.clear();
  }
  void Apply() {
    if (!Editing) return;
    TModelRow* R = Row(EditId);
    if (R != nullptr && EditCol >= 0 && EditCol < static_cast<int>(Columns.size()))
      R->Text[Columns[static_cast<std::size_t>(EditCol)].Id] = Typed;
  }
  // An editor opens on the cell; one open elsewhere is written back and closed first.
  void BeginEdit(int Col, int Index) {
    const TModelRow& R = Rows[static_cast<std::size_t>(Index)];
    if (Editing && EditCol == Col && EditId == R.Id) return;
    if (Editing) {
      Apply();
      EndEdit();
    }
    Editing = true;
    EditCol = Col;
    EditId = R.Id;
    Typed = Text(Col, Index);
  }
  std::wstring Text(int Col, int Index) const {
    const TModelRow& R = Rows[static_cast<std::size_t>(Index)];
    auto It = R.Text.find(Columns[static_cast<std::size_t>(Col)].Id);
    return It == R.Text.end() ? std::wstring() : It->second;
  }

  // --- rows
  void Append(int Id, const void* Record) {
    TModelRow R;
    R.Id = Id;
    R.Record = Record;
    Rows.push_back(R);
  }
  void Insert(int Pos, int Id, const void* Record) {
    EndEdit();
    TModelRow R;
    R.Id = Id;
    R.Record = Record;
    Rows.insert(Rows.begin() + Pos, R);
  }
  void AddChild(int ParentIndex, bool AfterDescendants, int Id, const void* Record) {
    const int Pos = ParentIndex + 1 + (AfterDescendants ? Descendants(ParentIndex) : 0);
    TModelRow& P = Rows[static_cast<std::size_t>(ParentIndex)];
    TModelRow R;
    R.Id = Id;
    R.Record = Record;
    R.Level = P.Level + 1;
    R.Parent = P.Id;
    R.Shown = P.Expanded && P.Shown;
    ++P.ChildCount;
    Rows.insert(Rows.begin() + Pos, R);
  }
  void Delete(int Index) {
    EndEdit();
    const int D = Descendants(Index);
    for (int K = Index + D; K > Index; --K) DeleteOne(K);
    DeleteOne(Index);
  }
  void Move(int From, int To) {
    EndEdit();
    if (From == To) return;
    TModelRow R = Rows[static_cast<std::size_t>(From)];
    Rows.erase(Rows.begin() + From);
    Rows.insert(Rows.begin() + To, R);
  }
  void Exchange(int A, int B) { std::swap(Rows[static_cast<std::size_t>(A)], Rows[static_cast<std::size_t>(B)]); }
  void Sort(int Col, const TTextOrder& Less, bool Ascending) {
    EndEdit();
    const int ColId = Columns[static_cast<std::size_t>(Col)].Id;
    auto Key = [&](const TModelRow& R) {
      auto It = R.Text.find(ColId);
      return It == R.Text.end() ? std::wstring() : It->second;
    };
    std::stable_sort(Rows.begin(), Rows.end(), [&](const TModelRow& A, const TModelRow& B) {
      return Ascending ? Less(Key(A), Key(B)) : Less(Key(B), Key(A));
    });
  }
  void SetVisible(int Index, bool Value) { Rows[static_cast<std::size_t>(Index)].Visible = Value; }
  void SetExpanded(int Index, bool Value) {
    TModelRow& R = Rows[static_cast<std::size_t>(Index)];
    if (R.Expanded == Value) return;
    R.Expanded = Value;
    // A descendant shows when its parent shows and is open; the rows are taken in their order.
    const int D = Descendants(Index);
    for (int K = Index + 1; K <= Index + D; ++K) {
      TModelRow& C = Rows[static_cast<std::size_t>(K)];
      const TModelRow* P = C.Parent < 0 ? nullptr : Row(C.Parent);
      C.Shown = P == nullptr || (P->Shown && P->Expanded);
    }
  }

  // --- selection (full rows, several at a time)
  void SetSelected(int Index, bool Value) {
    if (Index >= 0 && Index < Count()) Rows[static_cast<std::size_t>(Index)].Selected = Value;
  }
  void ClearSelection() {
    for (TModelRow& R : Rows) R.Selected = false;
    RangeSelect = false;
    SelectedId = -1;
    SelectedColumn = 0;
  }
  void SelectAll() {
    for (TModelRow& R : Rows) R.Selected = true;
    RangeSelect = true;
  }
  void SelectCell(int Col, int Index, bool ClearMulti, bool Ctrl, bool Shift) {
    if (RangeSelect && !Shift && !Ctrl && ClearMulti) ClearSelection();
    if (Col < 0 || Col >= static_cast<int>(Columns.size())) return;
    const int OldCol = SelectedColumn;
    const int OldRow = SelectedRow();
    SelectedColumn = Col;
    SelectedId = Index >= 0 && Index < Count() ? Rows[static_cast<std::size_t>(Index)].Id : -1;
    if ((OldCol != Col || OldRow != Index) && Editing) EndEdit();
    if (Count() == 0) return;
    if (Ctrl && !Shift) {
      AnchorId = SelectedId;
      RangeSelect = true;
      if (Index >= 0 && Index < Count()) SetSelected(Index, !Rows[static_cast<std::size_t>(Index)].Selected);
      return;
    }
    if (Shift) {
      RangeSelect = true;
      const int Anchor = AnchorRow();
      const int Lo = std::min(Anchor, Index);
      const int Hi = std::max(Anchor, Index);
      if (!Ctrl)
        for (int I = 0; I < Count(); ++I)
          if (I < Lo || I > Hi) SetSelected(I, false);
      for (int I = std::max(Lo, 0); I <= std::min(Hi, Count() - 1); ++I) SetSelected(I, true);
      return;
    }
    if (OldRow != Index && !RangeSelect) SetSelected(OldRow, false);
    SetSelected(Index, true);
    AnchorId = SelectedId;
  }

  // --- cells and columns
  void Write(int Col, int Index, const std::wstring& Value) {
    Rows[static_cast<std::size_t>(Index)].Text[Columns[static_cast<std::size_t>(Col)].Id] = Value;
  }
  void InsertColumn(int Index, int Id, const void* Column) {
    // A column put in among the others closes the editor; one added at the end leaves it open.
    if (Index < static_cast<int>(Columns.size())) EndEdit();
    TModelColumn C;
    C.Id = Id;
    C.Column = Column;
    Columns.insert(Columns.begin() + Index, C);
    Display.insert(Display.begin() + std::min<std::size_t>(static_cast<std::size_t>(Index), Display.size()), Id);
    // The selected cell stays in its column.
    if (Index <= SelectedColumn && Columns.size() > 1) ++SelectedColumn;
  }
  void MoveColumn(int FromPos, int ToPos) {
    const int Id = Display[static_cast<std::size_t>(FromPos)];
    Display.erase(Display.begin() + FromPos);
    Display.insert(Display.begin() + ToPos, Id);
  }
  void DeleteColumn(int Index) {
    EndEdit();
    const int Id = Columns[static_cast<std::size_t>(Index)].Id;
    Columns.erase(Columns.begin() + Index);
    Display.erase(std::find(Display.begin(), Display.end(), Id));
    for (TModelRow& R : Rows) R.Text.erase(Id);
    if (Columns.empty() && !Rows.empty()) {
      // No row keeps its cells without a column: the rows go.
      Rows.clear();
      SelectedId = -1;
      AnchorId = -1;
      RangeSelect = false;
      SelectedColumn = 0;
    }
    if (Index < SelectedColumn) --SelectedColumn;
    SelectedColumn = std::min(SelectedColumn, std::max(static_cast<int>(Columns.size()) - 1, 0));
  }

 private:
  // Deletes one row (its descendants are gone already).
  void DeleteOne(int Index) {
    TModelRow R = Rows[static_cast<std::size_t>(Index)];
    if (R.Parent >= 0) {
      TModelRow* P = Row(R.Parent);
      if (P != nullptr && P->ChildCount > 0) --P->ChildCount;
    }
    const bool WasSelected = SelectedRow() == Index;
    Rows.erase(Rows.begin() + Index);
    // The rows whose parent went are top rows of their own now.
    for (TModelRow& C : Rows)
      if (C.Parent == R.Id) C.Parent = -1;
    if (AnchorId == R.Id) AnchorId = -1;
    if (WasSelected) {
      SelectedId = -1;
      if (Count() > 0) {
        const int Next = Index < Count() ? Index : LastShown();
        SelectCell(SelectedColumn, RowShown(Next) ? Next : LastShown(), true, false, false);
      }
    }
    if (AnchorId < 0) AnchorId = SelectedId;
  }
};

}  // namespace gridmodel
