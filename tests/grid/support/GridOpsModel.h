// A plain model of a grid's rows, trees, selection, editor, columns and vertical scroll bar for
// the randomised operation test. Its rules are stated as a user states them, not taken from the
// grid: a row's parent is the row it was added under, for good, wherever moves and sorts put
// either; its level is the length of its chain of parents, its descendants are the rows whose
// chain reaches it, and it is shown when it is visible and every row up its chain is expanded.
// Columns hold texts, the row's number (increment columns), what a supplier holds for each row
// position (virtual columns), or typed values that show in their own form (Entries). Rows are
// known by an id and by the grid's record of them.
#pragma once

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace gridmodel {

// What a column holds. Text columns hold names, whole numbers, addresses, dates or flags as
// texts; an increment column shows each row's number (1 for the first row) and keeps nothing
// written to it; a virtual column shows what its supplier holds for the row's position (values
// stay at their positions when rows move); the typed columns keep a value.
enum TContent {
  cnName, cnNumber, cnAddress, cnDate, cnFlag,     // text columns
  cnIncrement, cnVirtual,                          // counting and supplied columns
  cnBoolean, cnDateTime, cnFloat, cnInteger, cnGuid  // typed columns
};
inline constexpr int ContentCount = cnGuid + 1;
inline bool IsTyped(TContent C) { return C >= cnBoolean; }

// What a user enters into a typed column and what the cell then shows (dates as day.month.year,
// a time only when it is not midnight, decimals with a point); no Shown: the column refuses the
// text, the cell keeps its value. A flag is true for "1" and "true" in any case, false for any
// other text; a text that is no date gives day zero; an empty number is 0 for whole numbers and
// refused for decimals; GUIDs show in upper case.
struct TEntry {
  const wchar_t* Input;
  const wchar_t* Shown;
};
inline const std::vector<TEntry>& Entries(TContent C) {
  static const std::vector<TEntry> None;
  static const std::vector<TEntry> Flags = {{L"True", L"True"}, {L"false", L"False"}, {L"TRUE", L"True"},
                                            {L"1", L"True"},    {L"0", L"False"},     {L"yes", L"False"},
                                            {L"", L"False"}};
  static const std::vector<TEntry> Dates = {
      {L"05.03.2023", L"05.03.2023"},    {L"5.3.2023", L"05.03.2023"},
      {L"05.03.2023 12:30:00", L"05.03.2023 12:30:00"}, {L"05.03.2023 00:00:00", L"05.03.2023"},
      {L"28.02.2024", L"28.02.2024"},    {L"31.12.1999 23:59:59", L"31.12.1999 23:59:59"},
      {L"not a date", L"30.12.1899"},    {L"", L"30.12.1899"}};
  static const std::vector<TEntry> Floats = {{L"2.5", L"2.5"}, {L"2.50", L"2.5"},     {L"-1", L"-1"},
                                             {L"0", L"0"},     {L"1E3", L"1000"},     {L"0.125", L"0.125"},
                                             {L"", nullptr},   {L"abc", nullptr}};
  static const std::vector<TEntry> Integers = {{L"0", L"0"},   {L"7", L"7"},     {L"007", L"7"},    {L"-3", L"-3"},
                                               {L"12", L"12"}, {L"", L"0"},      {L"1a", nullptr}, {L"2.5", nullptr}};
  static const std::vector<TEntry> Guids = {
      {L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}", L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}"},
      {L"{6f9619ff-8b86-d011-b42d-00c04fc964ff}", L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}"},
      {L"{00000000-0000-0000-0000-000000000001}", L"{00000000-0000-0000-0000-000000000001}"},
      {L"{a0000000-0000-0000-0000-00000000000b}", L"{A0000000-0000-0000-0000-00000000000B}"},
      {L"{123}", nullptr},
      {L"", nullptr}};
  switch (C) {
    case cnBoolean: return Flags;
    case cnDateTime: return Dates;
    case cnFloat: return Floats;
    case cnInteger: return Integers;
    case cnGuid: return Guids;
    default: return None;
  }
}
// A GUID as a cell shows it: 32 upper-case hexadecimal digits in braces, grouped 8-4-4-4-12.
inline bool IsGuidText(const std::wstring& S) {
  if (S.size() != 38 || S.front() != L'{' || S.back() != L'}') return false;
  for (std::size_t I = 1; I < 37; ++I) {
    const bool Dash = I == 9 || I == 14 || I == 19 || I == 24;
    const wchar_t C = S[I];
    if (Dash ? C != L'-' : !((C >= L'0' && C <= L'9') || (C >= L'A' && C <= L'F'))) return false;
  }
  return true;
}
// What the cell shows once Input is entered, nothing when the column refuses it. A text a cell
// shows, entered again, leaves it as it is.
inline std::optional<std::wstring> Enter(TContent C, const std::wstring& Input) {
  if (!IsTyped(C)) return Input;
  for (const TEntry& E : Entries(C))
    if (Input == E.Input) return E.Shown ? std::optional<std::wstring>(E.Shown) : std::nullopt;
  for (const TEntry& E : Entries(C))
    if (E.Shown && Input == E.Shown) return Input;
  if (C == cnGuid && IsGuidText(Input)) return Input;
  return std::nullopt;
}
// What a new cell of a typed column shows before anything is written (a GUID cell holds a new
// GUID of its own instead).
inline std::wstring DefaultText(TContent C) {
  switch (C) {
    case cnBoolean: return L"False";
    case cnDateTime: return L"30.12.1899";
    case cnFloat:
    case cnInteger: return L"0";
    default: return L"";
  }
}
// The dates the entries show, in the order of time.
inline int DateRank(const std::wstring& Shown) {
  static const wchar_t* Order[] = {L"30.12.1899", L"31.12.1999 23:59:59", L"05.03.2023", L"05.03.2023 12:30:00",
                                   L"28.02.2024"};
  for (int I = 0; I < 5; ++I)
    if (Shown == Order[I]) return I;
  return -1;
}

struct TModelRow {
  int Id = 0;
  const void* Record = nullptr;      // the grid's row record
  std::map<int, std::wstring> Text;  // by column id
  int Parent = -1;                   // the parent's id, -1 for a top-level row
  bool Visible = true;
  bool Expanded = true;
  bool Selected = false;
  int Height = 0;
};

struct TModelColumn {
  int Id = 0;
  const void* Column = nullptr;  // the grid's column object
  TContent Content = cnName;
  bool Sorted = false;                 // the one column the header shows as sorted
  bool Ascending = true;               // its direction
  bool Visible = true;
  std::map<int, std::wstring> Supplied;  // a virtual column's values, by row position
};

// What follows from the rows' parents, found in one pass.
struct TTreeFacts {
  std::vector<int> Parent;       // the parent's position, -1 for none
  std::vector<int> Level;
  std::vector<int> Children;
  std::vector<int> Descendants;
  std::vector<bool> Shown;       // visible, and every row up the chain expanded
};

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

  int Count() const { return static_cast<int>(Rows.size()); }
  TModelRow& At(int I) { return Rows[static_cast<std::size_t>(I)]; }
  const TModelRow& At(int I) const { return Rows[static_cast<std::size_t>(I)]; }
  int IndexOf(int Id) const {
    for (int I = 0; I < Count(); ++I)
      if (At(I).Id == Id) return I;
    return -1;
  }
  int SelectedRow() const { return SelectedId < 0 ? -1 : IndexOf(SelectedId); }
  int AnchorRow() const { return AnchorId < 0 ? -1 : IndexOf(AnchorId); }
  int EditRow() const { return Editing ? IndexOf(EditId) : -1; }
  int ColumnIndexOfId(int Id) const {
    for (std::size_t I = 0; I < Columns.size(); ++I)
      if (Columns[I].Id == Id) return static_cast<int>(I);
    return -1;
  }

  // --- trees and shown rows
  TTreeFacts Facts() const {
    TTreeFacts F;
    const std::size_t N = Rows.size();
    F.Parent.assign(N, -1);
    F.Level.assign(N, 0);
    F.Children.assign(N, 0);
    F.Descendants.assign(N, 0);
    F.Shown.assign(N, false);
    std::map<int, int> Position;
    for (int I = 0; I < Count(); ++I) Position[At(I).Id] = I;
    for (std::size_t I = 0; I < N; ++I)
      if (Rows[I].Parent >= 0) F.Parent[I] = Position.at(Rows[I].Parent);
    for (std::size_t I = 0; I < N; ++I) {
      bool Open = true;
      for (int P = F.Parent[I]; P >= 0; P = F.Parent[static_cast<std::size_t>(P)]) {
        ++F.Level[I];
        ++F.Descendants[static_cast<std::size_t>(P)];
        Open = Open && At(P).Expanded;
      }
      if (F.Parent[I] >= 0) ++F.Children[static_cast<std::size_t>(F.Parent[I])];
      F.Shown[I] = Rows[I].Visible && Open;
    }
    return F;
  }
  // The shown rows, in order.
  std::vector<int> ShownRows() const {
    const TTreeFacts F = Facts();
    std::vector<int> S;
    for (int I = 0; I < Count(); ++I)
      if (F.Shown[static_cast<std::size_t>(I)]) S.push_back(I);
    return S;
  }
  // The positions of Root and of the rows whose chain reaches it, ascending.
  std::vector<int> Tree(int Root) const {
    const TTreeFacts F = Facts();
    std::vector<int> T;
    for (int I = 0; I < Count(); ++I) {
      int K = I;
      while (K >= 0 && K != Root) K = F.Parent[static_cast<std::size_t>(K)];
      if (K == Root) T.push_back(I);
    }
    return T;
  }

  // --- the vertical scroll bar, for a body Body pixels high with Gap pixels of grid line under
  // each row. The list scrolls no further than to show its last row at the bottom of the body,
  // so a page is as many shown rows, counted from the end, as fit the body together: their
  // heights and the lines between them (the line under the last one may be cut off). A row
  // taller than the body fills a page alone.
  int PageRows(int Body, int Gap) const {
    const std::vector<int> S = ShownRows();
    int Fit = 1;
    for (std::size_t N = 1; N <= S.size(); ++N) {
      int Height = static_cast<int>(N - 1) * Gap;
      for (std::size_t K = S.size() - N; K < S.size(); ++K) Height += At(S[K]).Height;
      if (Height <= Body) Fit = static_cast<int>(N);
    }
    return Fit;
  }
  // The shown rows the bar counts: none with a single row (there is nothing to scroll).
  int ScrollRows() const { return Count() == 1 ? 0 : static_cast<int>(ShownRows().size()); }
  // A shown row of some height: one the user can see and select (rows of no height pass as
  // hidden ones).
  bool RowSeen() const {
    for (int R : ShownRows())
      if (At(R).Height > 0) return true;
    return false;
  }

  // --- editing
  void EndEdit() {
    Editing = false;
    EditCol = -1;
    EditId = -1;
    Typed.clear();
  }
  // What was typed goes into the cell; false when the column refuses it (the editor stays open).
  bool Apply() {
    if (!Editing) return true;
    const int I = IndexOf(EditId);
    if (I < 0 || EditCol < 0 || EditCol >= static_cast<int>(Columns.size())) return true;
    const std::optional<std::wstring> Shown = Enter(Columns[static_cast<std::size_t>(EditCol)].Content, Typed);
    if (!Shown) return false;
    Write(EditCol, I, *Shown);
    return true;
  }
  // An editor opens on the cell; one open elsewhere is written back and closed first (false,
  // and that one stays open, when its column refuses what was typed).
  bool BeginEdit(int Col, int Index) {
    const TModelRow& R = At(Index);
    if (Editing && EditCol == Col && EditId == R.Id) return true;
    if (Editing) {
      if (!Apply()) return false;
      EndEdit();
    }
    Editing = true;
    EditCol = Col;
    EditId = R.Id;
    Typed = Text(Col, Index);
    return true;
  }
  std::wstring Text(int Col, int Index) const {
    const TModelColumn& C = Columns[static_cast<std::size_t>(Col)];
    if (C.Content == cnIncrement) return std::to_wstring(Index + 1);
    const std::map<int, std::wstring>& Values = C.Content == cnVirtual ? C.Supplied : At(Index).Text;
    auto It = Values.find(C.Content == cnVirtual ? Index : C.Id);
    return It == Values.end() ? std::wstring() : It->second;
  }
  // Shown: what the cell shows once written (an increment column keeps nothing).
  void Write(int Col, int Index, const std::wstring& Shown) {
    TModelColumn& C = Columns[static_cast<std::size_t>(Col)];
    if (C.Content == cnVirtual) C.Supplied[Index] = Shown;
    else if (C.Content != cnIncrement) At(Index).Text[C.Id] = Shown;
  }

  // --- rows
  void Put(int Pos, int Id, const void* Record, int Height, int Parent = -1) {
    TModelRow R;
    R.Id = Id;
    R.Record = Record;
    R.Height = Height;
    R.Parent = Parent;
    Rows.insert(Rows.begin() + Pos, R);
  }
  // The row goes with every row whose chain of parents reaches it. When the selected row goes,
  // the row seen in its place is selected as a click selects it: the first shown row at or below
  // the place, the new last shown row when none follows, none when no row is shown.
  void Delete(int Index) {
    EndEdit();
    const std::vector<int> Gone = Tree(Index);
    const bool WasSelected = std::binary_search(Gone.begin(), Gone.end(), SelectedRow());
    for (auto It = Gone.rbegin(); It != Gone.rend(); ++It) Rows.erase(Rows.begin() + *It);
    if (WasSelected && Count() > 0) {
      const std::vector<int> S = ShownRows();
      const auto Below = std::lower_bound(S.begin(), S.end(), Gone.front());
      SelectCell(SelectedColumn, Below != S.end() ? *Below : S.empty() ? -1 : S.back(), true, false, false);
    } else if (WasSelected) {
      SelectedId = -1;
    }
    // A range whose anchor row went starts at the selected row.
    if (AnchorRow() < 0) AnchorId = SelectedId;
  }
  void Move(int From, int To) {
    EndEdit();
    if (From == To) return;
    const TModelRow R = At(From);
    Rows.erase(Rows.begin() + From);
    Rows.insert(Rows.begin() + To, R);
  }
  void Exchange(int A, int B) { std::swap(At(A), At(B)); }

  // --- selection (full rows, several at a time)
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
  // Selecting a cell (Index -1: no row). Ctrl toggles its row and leaves the others; Shift
  // selects the rows from the anchor (the first row when there is none) to it, and without Ctrl
  // only those; a plain select leaves its row the only one selected, unless several are and the
  // press keeps them (ClearMulti false: it joins them). Several rows may be selected after Ctrl
  // or Shift, and stay so only while they are kept. The cell becomes the selected one and, unless
  // Shift is held, its row the anchor. Selecting another cell, or letting several rows go, closes
  // the editor without writing it back.
  void SelectCell(int Col, int Index, bool ClearMulti, bool Ctrl, bool Shift) {
    const bool Several = Ctrl || Shift || (RangeSelect && !ClearMulti);
    const int Anchor = AnchorRow();
    for (int I = 0; I < Count(); ++I) {
      bool& S = At(I).Selected;
      if (Shift) S = (I >= std::min(Anchor, Index) && I <= std::max(Anchor, Index)) || (Ctrl && S);
      else if (Ctrl) S = I == Index ? !S : S;
      else S = I == Index || (Several && S);
    }
    if (Editing && (Col != SelectedColumn || Index != SelectedRow() || (RangeSelect && !Several))) EndEdit();
    RangeSelect = Several;
    SelectedColumn = Col;
    SelectedId = Index >= 0 ? At(Index).Id : -1;
    if (!Shift) AnchorId = SelectedId;
  }

  // --- columns
  void InsertColumn(int Index, int Id, const void* Column, TContent Content) {
    // A column put in among the others closes the editor (what was typed written back first, by
    // the caller); one added at the end leaves it open.
    if (Index < static_cast<int>(Columns.size())) EndEdit();
    TModelColumn C;
    C.Id = Id;
    C.Column = Column;
    C.Content = Content;
    Columns.insert(Columns.begin() + Index, C);
    Display.insert(Display.begin() + std::min<std::size_t>(static_cast<std::size_t>(Index), Display.size()), Id);
    // The selected cell stays in its column.
    if (Index <= SelectedColumn && Columns.size() > 1) ++SelectedColumn;
    KeepSelectionOnShown();
  }
  // The selection leaves a hidden column for the next shown one in display order, else the shown
  // one before it.
  void KeepSelectionOnShown() {
    if (SelectedColumn >= static_cast<int>(Columns.size()) || Columns[static_cast<std::size_t>(SelectedColumn)].Visible)
      return;
    const int At = static_cast<int>(std::find(Display.begin(), Display.end(), Columns[static_cast<std::size_t>(SelectedColumn)].Id) - Display.begin());
    const int N = static_cast<int>(Display.size());
    for (int Step : {1, -1})
      for (int P = At + Step; P >= 0 && P < N; P += Step) {
        const int C = ColumnIndexOfId(Display[static_cast<std::size_t>(P)]);
        if (Columns[static_cast<std::size_t>(C)].Visible) {
          SelectedColumn = C;
          return;
        }
      }
  }
  void MoveColumn(int FromPos, int ToPos) {
    const int Id = Display[static_cast<std::size_t>(FromPos)];
    Display.erase(Display.begin() + FromPos);
    Display.insert(Display.begin() + ToPos, Id);
  }
  void DeleteColumn(int Index) {
    // The edit ends (what was typed written back first, by the caller).
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
    KeepSelectionOnShown();
  }
};

}  // namespace gridmodel
