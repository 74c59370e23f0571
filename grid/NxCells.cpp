#include "grid/NxCells.h"

#include <algorithm>
#include <climits>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

#include "framework/Exceptions.h"
#include "framework/Strings.h"

namespace {

// A 32-bit integer from a 64-bit one; ERangeError outside the range.
int CheckedInt(std::int64_t Value) {
  if (Value < INT_MIN || Value > INT_MAX) throw ERangeError("Range check error");
  return static_cast<int>(Value);
}

AnsiString Narrow(const WideString& S) { return WideToAnsi(S); }
WideString Wide(const AnsiString& S) { return AnsiToWide(S); }

// The text of each form of value, as the cells that hold or pass on text write it.
WideString BooleanText(bool Value) { return Value ? L"True" : L"False"; }
WideString DateTimeText(TDateTime Value) { return Wide(DateTimeToStr(Value)); }
WideString FloatText(double Value) { return Wide(FloatToStr(Value)); }
WideString IntegerText(int Value) { return Wide(IntToStr(Value)); }

// The value that text holds; EConvertError when it holds none.
bool TextBoolean(const WideString& Text) { return StrToBool(Narrow(Text)); }
TDateTime TextDateTime(const WideString& Text) { return StrToDateTime(Narrow(Text)); }
double TextFloat(const WideString& Text) { return StrToFloat(Narrow(Text)); }
int TextInteger(const WideString& Text) { return StrToInt(Narrow(Text)); }

// The pivot generator of the sort: the runtime's linear congruential generator, never seeded
// by the grid.
std::uint32_t RandSeed = 0;
int RandomBelow(int Range) {
  RandSeed = RandSeed * 0x08088405u + 1u;
  return static_cast<int>((static_cast<std::uint64_t>(RandSeed) * static_cast<std::uint32_t>(Range)) >> 32);
}

// Orderings answered by the custom comparison of the sort.
constexpr int cmpLess = -1;
constexpr int cmpEqual = 0;
constexpr int cmpGreater = 1;

// The "low" test holds when the pivot is at most the cell, the "high" test when it is at least.
bool LowTest(int Cmp) { return Cmp == cmpLess || Cmp == cmpEqual; }
bool HighTest(int Cmp) { return Cmp == cmpGreater || Cmp == cmpEqual; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCell

TCell::TCell(TCells* AOwner) : FOwner(AOwner) {}

TColor TCell::GetCellColor() const {
  if (FOwner != nullptr && FOwner->Grid() != nullptr)
    return FOwner->Grid()->GetCellColor(FOwner->LastCol(), FOwner->LastRow());
  return FColor;
}

TColor TCell::GetCellFontColor() const {
  if (FOwner != nullptr && FOwner->Grid() != nullptr)
    return FOwner->Grid()->GetCellFontColor(FOwner->LastCol(), FOwner->LastRow());
  return FFontColor;
}

void TCell::Changed() {
  if (FOwner != nullptr) FOwner->DoChange();
}

void TCell::SetAsBoolean(bool) { Changed(); }
void TCell::SetAsDateTime(TDateTime) { Changed(); }
void TCell::SetAsFloat(double) { Changed(); }
void TCell::SetAsInteger(int) { Changed(); }
void TCell::SetAsString(const WideString&) { Changed(); }
void TCell::Clear() { Changed(); }

void TCell::StyleChanged() {
  if ((FState & StateNoNotify) == 0) Changed();
}

void TCell::SetFontStyle(TFontStyles Value) {
  FFontStyle = Value;
  StyleChanged();
}

void TCell::SetColor(TColor Value) {
  FColor = Value;
  StyleChanged();
}

void TCell::SetFontColor(TColor Value) {
  FFontColor = Value;
  StyleChanged();
}

void TCell::SetHidden(bool Value) {
  if (Value)
    FState = static_cast<Byte>(FState | StateHidden);
  else
    FState = static_cast<Byte>(FState & ~StateHidden);
}

// ---------------------------------------------------------------------------------------------
// TBooleanCell

WideString TBooleanCell::AsString() const { return BooleanText(FValue); }

void TBooleanCell::SetAsBoolean(bool Value) {
  FValue = Value;
  TCell::SetAsBoolean(Value);
}

void TBooleanCell::SetAsDateTime(TDateTime Value) {
  FValue = false;
  TCell::SetAsDateTime(Value);
}

void TBooleanCell::SetAsFloat(double Value) {
  FValue = Value != 0;
  TCell::SetAsFloat(Value);
}

void TBooleanCell::SetAsInteger(int Value) {
  FValue = Value != 0;
  TCell::SetAsInteger(Value);
}

void TBooleanCell::SetAsString(const WideString& Value) {
  FValue = Value == L"1" || LowerCase(Narrow(Value)) == "true";
  TCell::SetAsString(Value);
}

void TBooleanCell::Clear() {
  FValue = false;
  TCell::Clear();
}

// ---------------------------------------------------------------------------------------------
// TNumberValueCell

void TNumberValueCell::SetAsDateTime(TDateTime Value) {
  FValue = Value;
  TCell::SetAsDateTime(Value);
}

void TNumberValueCell::SetAsFloat(double Value) {
  FValue = Value;
  TCell::SetAsFloat(Value);
}

void TNumberValueCell::SetAsInteger(int Value) {
  FValue = Value;
  TCell::SetAsInteger(Value);
}

void TNumberValueCell::Clear() {
  FValue = 0;
  TCell::Clear();
}

// ---------------------------------------------------------------------------------------------
// TDateTimeCell

int TDateTimeCell::AsInteger() const { return CheckedInt(Trunc(FValue)); }

WideString TDateTimeCell::AsString() const { return DateTimeText(FValue); }

void TDateTimeCell::SetAsBoolean(bool Value) {
  FValue = Date();
  TCell::SetAsBoolean(Value);
}

void TDateTimeCell::SetAsString(const WideString& Value) {
  TDateTime V = 0;
  if (!Value.empty() && !TryStrToDateTime(Narrow(Value), V)) V = 0;
  FValue = V;
  TCell::SetAsString(Value);
}

// ---------------------------------------------------------------------------------------------
// TFloatCell

int TFloatCell::AsInteger() const { return CheckedInt(Round(FValue)); }

WideString TFloatCell::AsString() const { return FloatText(FValue); }

void TFloatCell::SetAsBoolean(bool Value) {
  FValue = 0;
  TCell::SetAsBoolean(Value);
}

void TFloatCell::SetAsString(const WideString& Value) {
  FValue = StrToFloat(Narrow(Value));
  TCell::SetAsString(Value);
}

// ---------------------------------------------------------------------------------------------
// TIntegerCell

WideString TIntegerCell::AsString() const { return IntegerText(FValue); }

void TIntegerCell::SetAsBoolean(bool Value) {
  FValue = Value ? 1 : 0;
  TCell::SetAsBoolean(Value);
}

void TIntegerCell::SetAsDateTime(TDateTime Value) {
  FValue = 0;
  TCell::SetAsDateTime(Value);
}

void TIntegerCell::SetAsFloat(double Value) {
  FValue = CheckedInt(Round(Value));
  TCell::SetAsFloat(Value);
}

void TIntegerCell::SetAsInteger(int Value) {
  FValue = Value;
  TCell::SetAsInteger(Value);
}

void TIntegerCell::SetAsString(const WideString& Value) {
  FValue = Value.empty() ? 0 : StrToInt(Narrow(Value));
  TCell::SetAsString(Value);
}

void TIntegerCell::Clear() {
  FValue = 0;
  TCell::Clear();
}

// ---------------------------------------------------------------------------------------------
// TStringCell

bool TStringCell::AsBoolean() const { return TextBoolean(FValue); }

TDateTime TStringCell::AsDateTime() const { return FValue.empty() ? 0 : TextDateTime(FValue); }

double TStringCell::AsFloat() const { return TextFloat(FValue); }

int TStringCell::AsInteger() const { return TextInteger(FValue); }

void TStringCell::SetAsBoolean(bool Value) {
  FValue = BooleanText(Value);
  TCell::SetAsBoolean(Value);
}

void TStringCell::SetAsDateTime(TDateTime Value) {
  FValue = DateTimeText(Value);
  TCell::SetAsDateTime(Value);
}

void TStringCell::SetAsFloat(double Value) {
  FValue = FloatText(Value);
  TCell::SetAsFloat(Value);
}

void TStringCell::SetAsInteger(int Value) {
  FValue = IntegerText(Value);
  TCell::SetAsInteger(Value);
}

void TStringCell::SetAsString(const WideString& Value) {
  FValue = Value;
  TCell::SetAsString(Value);
}

void TStringCell::Clear() {
  FValue.clear();
  TCell::Clear();
}

// ---------------------------------------------------------------------------------------------
// TIncrementCell

int TIncrementCell::RowNumber() const { return Owner() != nullptr ? Owner()->LastRow() + 1 : 0; }

WideString TIncrementCell::AsString() const { return IntegerText(RowNumber()); }

// ---------------------------------------------------------------------------------------------
// TTextValueCell

bool TTextValueCell::AsBoolean() const { return TextBoolean(AsString()); }
TDateTime TTextValueCell::AsDateTime() const { return TextDateTime(AsString()); }
double TTextValueCell::AsFloat() const { return TextFloat(AsString()); }
int TTextValueCell::AsInteger() const { return TextInteger(AsString()); }

void TTextValueCell::SetAsBoolean(bool Value) { SetAsString(BooleanText(Value)); }
void TTextValueCell::SetAsDateTime(TDateTime Value) { SetAsString(DateTimeText(Value)); }
void TTextValueCell::SetAsFloat(double Value) { SetAsString(FloatText(Value)); }
void TTextValueCell::SetAsInteger(int Value) { SetAsString(IntegerText(Value)); }

// ---------------------------------------------------------------------------------------------
// TGuidCell

TGuidCell::TGuidCell(TCells* AOwner) : TTextValueCell(AOwner), FValue(CreateGUID()) {}

WideString TGuidCell::AsString() const { return Wide(GUIDToString(FValue)); }

void TGuidCell::SetAsString(const WideString& Value) {
  FValue = StringToGUID(Narrow(Value));
  TCell::SetAsString(Value);
}

// ---------------------------------------------------------------------------------------------
// TVirtualCell

TVirtualCellValues* TVirtualCell::Values() const {
  if (FColumn == nullptr) throw EInvalidOperation("The column of a virtual cell supplies no values");
  return FColumn;
}

namespace {
int OwnerCol(const TCell* C) { return C->Owner() != nullptr ? C->Owner()->LastCol() : 0; }
int OwnerRow(const TCell* C) { return C->Owner() != nullptr ? C->Owner()->LastRow() : 0; }
}  // namespace

WideString TVirtualCell::AsString() const { return Values()->GetVirtualValue(OwnerCol(this), OwnerRow(this)); }

void TVirtualCell::SetAsString(const WideString& Value) {
  Values()->SetVirtualValue(OwnerCol(this), OwnerRow(this), Value);
  TCell::SetAsString(Value);
}

// ---------------------------------------------------------------------------------------------

TCell* CreateCellOfKind(TColumnKind Kind, TCells* AOwner) {
  switch (Kind) {
    case ckIncrement: return new TIncrementCell(AOwner);
    case ckBoolean: return new TBooleanCell(AOwner);
    case ckDateTime: return new TDateTimeCell(AOwner);
    case ckFloat: return new TFloatCell(AOwner);
    case ckGuid: return new TGuidCell(AOwner);
    case ckInteger: return new TIntegerCell(AOwner);
    case ckVirtual: return new TVirtualCell(AOwner);
    default: return new TStringCell(AOwner);
  }
}

std::array<std::uint32_t, 4> AddressParts(const WideString& Text) {
  std::array<std::uint32_t, 4> Parts{0, 0, 0, 0};
  const AnsiString S = WideToAnsi(Text);
  std::uint64_t Acc = 0;
  std::size_t Part = 0;
  for (std::size_t I = 0; I < S.size(); ++I) {
    const char C = S[I];
    if (C >= '0' && C <= '9') Acc = std::min<std::uint64_t>(Acc * 10 + static_cast<unsigned>(C - '0'), 0xFFFFFFFFu);
    if (C == '.' || I + 1 == S.size()) {
      if (Part < Parts.size()) Parts[Part] = static_cast<std::uint32_t>(Acc);
      ++Part;
      Acc = 0;
    }
  }
  return Parts;
}

// ---------------------------------------------------------------------------------------------
// TCells

TCells::TCells(TCellStoreGrid* AGrid, TCellStoreColumns* AColumns) : FColumns(AColumns), FGrid(AGrid) {}

TCells::~TCells() {
  ClearRows();
  ClearColumns();
}

void TCells::CheckColumn(int ACol) const {
  if (ACol < 0 || ACol >= FColumnCount) TList::Error(ACol);
}

void TCells::CheckRow(int ARow) const {
  if (ARow < 0 || ARow >= FRowCount) TList::Error(ARow);
}

void TCells::CheckRowPosition(int ARow) const {
  if (ARow < 0 || ARow > FRowCount) TList::Error(ARow);
}

TCells::TCellList* TCells::ColumnList(int ACol) const {
  CheckColumn(ACol);
  return FColumnLists[static_cast<std::size_t>(ACol)];
}

TCell* TCells::GetCell(int ACol, int ARow) {
  TCellList* L = ColumnList(ACol);
  TCell* C = L->Items(ARow);
  FLastCol = ACol;
  FLastRow = ARow;
  return C;
}

int TCells::IndexOfRow(TRow* ARow) const {
  if (ARow == nullptr) return -1;
  ++FRowReads;
  const int I = PositionOf(ARow);
  return I >= 0 && FRows[I] == ARow ? I : -1;
}

int TCells::ParentIndexOf(int ARow) const {
  TRow* Parent = GetRow(ARow)->ParentRow;
  if (Parent == nullptr) return -1;
  ++FRowReads;
  return PositionOf(Parent);
}

int TCells::DescendantCount(int ARow) const { return Descendants(GetRow(ARow)); }

int TCells::DirectChildCount(int ARow) const { return GetRow(ARow)->ChildCount; }

int TCells::DescendantsFollowing(int ARow) const {
  TRow* Row = GetRow(ARow);
  const int D = Descendants(Row);
  if (D == 0 || TreesKeptTogether()) return D;
  const std::vector<int> Tree = TreePositions(ARow);
  int N = 0;
  while (N + 1 < static_cast<int>(Tree.size()) && Tree[static_cast<std::size_t>(N) + 1] == ARow + 1 + N) ++N;
  return N;
}

std::vector<int> TCells::TreePositions(int ARow) const {
  TRow* Row = GetRow(ARow);
  const int D = Descendants(Row);
  std::vector<int> Tree;
  Tree.reserve(static_cast<std::size_t>(D) + 1);
  // Kept together, the tree is the block of its D descendants after ARow.
  if (TreesKeptTogether()) {
    for (int I = ARow; I <= ARow + D; ++I) Tree.push_back(I);
    return Tree;
  }
  Tree.push_back(ARow);
  for (TRow* R = Row->FFirstChild; R != nullptr; R = NextInTree(Row, R)) {
    ++FRowReads;
    Tree.push_back(PositionOf(R));
  }
  std::sort(Tree.begin(), Tree.end());
  return Tree;
}

void TCells::AddDescendants(TRow* Row, int Delta) {
  if (Delta == 0) return;
  // The nearest rows up the chain (all of them in a tree of the usual depth) count it at once;
  // the rows further up learn of it when a count is next asked for.
  for (int Level = 1; Row != nullptr; ++Level, Row = Row->ParentRow) {
    ++FRowReads;
    Row->FDescendants += Delta;
    if (Row->ParentRow == nullptr || Level < CountedAtOnce) continue;
    Row->FPending += Delta;
    if (Row->FUnsettledSlot < 0) {
      Row->FUnsettledSlot = static_cast<int>(FUnsettled.size());
      FUnsettled.push_back(Row);
    }
    return;
  }
}

void TCells::ForgetUnsettled(TRow* Row) const {
  const int Slot = Row->FUnsettledSlot;
  if (Slot < 0) return;
  TRow* Last = FUnsettled.back();
  FUnsettled[static_cast<std::size_t>(Slot)] = Last;
  Last->FUnsettledSlot = Slot;
  FUnsettled.pop_back();
  Row->FUnsettledSlot = -1;
  Row->FPending = 0;
}

void TCells::SettleDescendants() const {
  if (FUnsettled.empty()) return;
  // The deepest rows first: each passes what it took in to its parent, which passes it on in
  // turn with what its other children gave it, so every row up the chains is visited once.
  auto Shallower = [](const TRow* A, const TRow* B) { return A->Level < B->Level; };
  std::vector<TRow*> Work;
  Work.swap(FUnsettled);
  for (TRow* R : Work) R->FUnsettledSlot = InSettling;
  std::make_heap(Work.begin(), Work.end(), Shallower);
  while (!Work.empty()) {
    std::pop_heap(Work.begin(), Work.end(), Shallower);
    TRow* Row = Work.back();
    Work.pop_back();
    Row->FUnsettledSlot = -1;
    const int Delta = Row->FPending;
    Row->FPending = 0;
    TRow* Parent = Row->ParentRow;
    if (Delta == 0 || Parent == nullptr) continue;
    ++FRowReads;
    Parent->FDescendants += Delta;
    if (Parent->ParentRow == nullptr) continue;
    Parent->FPending += Delta;
    if (Parent->FUnsettledSlot != InSettling) {
      Parent->FUnsettledSlot = InSettling;
      Work.push_back(Parent);
      std::push_heap(Work.begin(), Work.end(), Shallower);
    }
  }
}

int TCells::Descendants(TRow* Row) const {
  // A row without children has none, whatever is still on its way up the chains.
  if (Row->FFirstChild != nullptr) SettleDescendants();
  return Row->FDescendants;
}

void TCells::LeaveParent(TRow* Row) {
  TRow* Parent = Row->ParentRow;
  if (Parent->ChildCount > 0) --Parent->ChildCount;
  // The row's tree leaves every count up the chain, and so does what the row took in for them.
  const int Gone = 1 + Descendants(Row);
  const int Pending = Row->FPending;
  ForgetUnsettled(Row);
  AddDescendants(Parent, Pending - Gone);
  UnlinkChild(Row);
}

void TCells::LinkChild(TRow* Child) {
  TRow* Parent = Child->ParentRow;
  Child->FPrevSibling = nullptr;
  Child->FNextSibling = Parent->FFirstChild;
  if (Parent->FFirstChild != nullptr) Parent->FFirstChild->FPrevSibling = Child;
  Parent->FFirstChild = Child;
}

void TCells::UnlinkChild(TRow* Child) {
  if (Child->FPrevSibling != nullptr)
    Child->FPrevSibling->FNextSibling = Child->FNextSibling;
  else
    Child->ParentRow->FFirstChild = Child->FNextSibling;
  if (Child->FNextSibling != nullptr) Child->FNextSibling->FPrevSibling = Child->FPrevSibling;
  Child->FPrevSibling = Child->FNextSibling = nullptr;
}

TRow* TCells::NextInTree(const TRow* Root, TRow* Row, bool Skip) {
  if (!Skip && Row->FFirstChild != nullptr) return Row->FFirstChild;
  while (Row != Root && Row->FNextSibling == nullptr) Row = Row->ParentRow;
  return Row == Root ? nullptr : Row->FNextSibling;
}

bool TCells::BreaksTree(int ARow) const {
  // Without child rows no row breaks a tree, and none is read.
  if (FChildRows == 0) return false;
  ++FRowReads;
  const TRow* Parent = FRows[ARow]->ParentRow;
  if (Parent == nullptr) return false;
  if (ARow == 0) return true;
  // The row before, or the row up its chain at the parent's level.
  const TRow* Before = FRows[ARow - 1];
  ++FRowReads;
  while (Before != nullptr && Before->Level > Parent->Level) {
    Before = Before->ParentRow;
    ++FRowReads;
  }
  return Before != Parent;
}

void TCells::CountBreaks(TRow** Rows, std::size_t N, int Sign) {
  if (FChildRows == 0) return;
  std::sort(Rows, Rows + N);
  for (std::size_t I = 0; I < N; ++I)
    if ((I == 0 || Rows[I] != Rows[I - 1]) && BreaksTree(PositionOf(Rows[I]))) FBreaks += Sign;
}

void TCells::RecountBreaks() {
  FBreaks = 0;
  for (int I = 0; I < FRowCount; ++I)
    if (BreaksTree(I)) ++FBreaks;
}

std::uint64_t TCells::ItemsMoved() const {
  std::uint64_t N = FRows.Moved() + FMovedBefore;
  for (int C = 0; C < FColumnCount; ++C) N += FColumnLists[static_cast<std::size_t>(C)]->Moved();
  return N;
}

// ---- the shown-row index

const TRowCountIndex& TCells::ShownIndex() const {
  if (!FShownIndex.Valid()) {
    FShownIndex.Build(FRowCount, [this](int I) {
      const TRow* R = FRows[I];
      return R->Visible && R->Shown;
    });
    FRowReads += static_cast<std::uint64_t>(FRowCount);
  }
  return FShownIndex;
}

void TCells::RowsMoved() { FShownIndex.Invalidate(); }

void TCells::ShownChanged(int ARow, int Delta) {
  FShownRowCount += Delta;
  FShownIndex.Change(ARow, Delta);
}

int TCells::ShownRowsBefore(int ARow) const {
  ARow = std::clamp(ARow, 0, FRowCount);
  // While no row is hidden every row before counts.
  if (FShownRowCount == FRowCount) return ARow;
  return ShownIndex().Before(ARow);
}

int TCells::ShownRowAt(int K) const {
  if (K < 0 || K >= FShownRowCount) return -1;
  if (FShownRowCount == FRowCount) return K;
  return ShownIndex().Find(K);
}

// ---- rows

TCell* TCells::NewCell(int ACol) {
  std::unique_ptr<TCell> C;
  if (FColumns != nullptr) {
    if (ACol < 0 || ACol >= FColumns->ColumnCount()) TList::Error(ACol);
    C.reset(CreateCellOfKind(FColumns->ColumnKind(ACol), this));
    if (auto* V = dynamic_cast<TVirtualCell*>(C.get())) V->Bind(FColumns->ColumnValues(ACol));
    C->SetFontStyle(FColumns->ColumnFontStyle(ACol));
    C->SetFontColor(FColumns->ColumnFontColor(ACol));
    C->SetColor(FColumns->ColumnColor(ACol));
  } else {
    C.reset(CreateCellOfKind(ckString, this));
  }
  C->SetState(static_cast<Byte>(C->State() & ~TCell::StateNoNotify));
  return C.release();
}

TCells::TCellList* TCells::NewColumnList(int ACol) {
  auto L = std::make_unique<TCellList>();
  L->Reserve(FRowCount);
  try {
    for (int R = 0; R < FRowCount; ++R) L->Add(NewCell(ACol));
  } catch (...) {
    for (int R = 0; R < L->Count(); ++R) delete (*L)[R];
    throw;
  }
  return L.release();
}

void TCells::FreeColumnList(int ACol) {
  TCellList*& L = FColumnLists[static_cast<std::size_t>(ACol)];
  if (L == nullptr) return;
  for (int R = 0; R < L->Count(); ++R) delete (*L)[R];
  FMovedBefore += L->Moved();
  delete L;
  L = nullptr;
}

void TCells::InsertRowCells(int ARow) {
  int C = 0;
  try {
    for (; C < FColumnCount; ++C) {
      TCellList* L = FColumnLists[static_cast<std::size_t>(C)];
      // Room first: once the cell exists, putting it in cannot fail.
      L->ReserveInsert(ARow);
      L->Insert(ARow, NewCell(C));
    }
  } catch (...) {
    for (int K = 0; K < C; ++K) {
      TCellList* L = FColumnLists[static_cast<std::size_t>(K)];
      delete L->Items(ARow);
      L->Delete(ARow);
    }
    throw;
  }
}

void TCells::InsertRowRecord(int ARow, std::unique_ptr<TRow> Row) {
  const bool Shown = Row->Visible && Row->Shown;
  // The row at ARow gets the new one before it.
  const bool Broke = ARow < FRowCount && BreaksTree(ARow);
  FRows.ReserveInsert(ARow);
  InsertRowCells(ARow);
  if (Row->ParentRow != nullptr) ++FChildRows;
  FRows.Insert(ARow, Row.release());
  ++FRowCount;
  FShownIndex.Insert(ARow, Shown);
  FBreaks += (BreaksTree(ARow) ? 1 : 0) + (ARow + 1 < FRowCount && BreaksTree(ARow + 1) ? 1 : 0) - (Broke ? 1 : 0);
}

void TCells::AddRows(int Count) {
  if (Count < 1) return;
  if (Count > TList::MaxListSize - FRowCount) throw EListError(Format("List count out of bounds (%d)", Count));
  // All the rows or none: rows added before one that fails are taken out again.
  const int Old = FRowCount;
  try {
    for (int I = 0; I < Count; ++I) {
      InsertRowRecord(FRowCount, std::make_unique<TRow>(FDefaultRowHeight));
      ++FShownRowCount;
    }
  } catch (...) {
    while (FRowCount > Old) DeleteRow(FRowCount - 1);
    throw;
  }
  FSortedUnchanged = false;
}

void TCells::InsertRow(int ARow) {
  CheckRowPosition(ARow);
  InsertRowRecord(ARow, std::make_unique<TRow>(FDefaultRowHeight));
  ++FShownRowCount;
  FSortedUnchanged = false;
}

void TCells::InsertChildRow(int AParent, int APos) {
  CheckRow(AParent);
  CheckRowPosition(APos);
  TRow* Parent = GetRow(AParent);
  auto Row = std::make_unique<TRow>(FDefaultRowHeight);
  Row->ParentRow = Parent;
  Row->Level = Parent->Level + 1;
  Row->Shown = Parent->Expanded && Parent->Shown;
  const bool Shown = Row->Shown;
  TRow* Child = Row.get();
  InsertRowRecord(APos, std::move(Row));
  LinkChild(Child);
  ++Parent->ChildCount;
  AddDescendants(Parent, 1);
  if (Shown) ++FShownRowCount;
  FSortedUnchanged = false;
}

void TCells::RemoveRows(const int* Sorted, int K) {
  std::vector<TRow*> Gone(static_cast<std::size_t>(K));
  // The row after each run of deleted ones gets another row before it.
  std::vector<TRow*> Meet;
  int Children = 0;
  for (int J = 0; J < K; ++J) {
    TRow* Row = GetRow(Sorted[J]);
    if (Row->Visible && Row->Shown) --FShownRowCount;
    Gone[static_cast<std::size_t>(J)] = Row;
    if (FChildRows == 0) continue;
    if (BreaksTree(Sorted[J])) --FBreaks;
    if (Row->ParentRow != nullptr) ++Children;
    const int Next = Sorted[J] + 1;
    if (Next < FRowCount && (J + 1 == K || Sorted[J + 1] != Next)) Meet.push_back(FRows[Next]);
  }
  CountBreaks(Meet.data(), Meet.size(), -1);
  for (int C = 0; C < FColumnCount; ++C) {
    TCellList* L = FColumnLists[static_cast<std::size_t>(C)];
    for (int J = 0; J < K; ++J) delete (*L)[Sorted[J]];
    L->DeleteSorted(Sorted, K);
  }
  FRows.DeleteSorted(Sorted, K);
  // Each run of adjacent positions leaves the index at once, the last run first.
  for (int J = K; J > 0;) {
    int First = J - 1;
    while (First > 0 && Sorted[First - 1] == Sorted[First] - 1) --First;
    FShownIndex.Erase(Sorted[First], J - First);
    J = First;
  }
  FRowCount -= K;
  FChildRows -= Children;
  for (TRow* Row : Gone) {
    ForgetUnsettled(Row);
    delete Row;
  }
  CountBreaks(Meet.data(), Meet.size(), 1);
}

void TCells::DeleteRow(int ARow) {
  CheckRow(ARow);
  TRow* Row = GetRow(ARow);
  // Children that become top-level rows take in nothing more for the rows above.
  if (Row->FFirstChild != nullptr) SettleDescendants();
  if (Row->ParentRow != nullptr) LeaveParent(Row);
  if (Row->FFirstChild != nullptr) {
    // The children become top-level rows; each keeps its own tree, a level higher as a whole,
    // and shows as that tree says. The descendants and the rows after them now meet rows that
    // are in another tree, or in none.
    std::vector<TRow*> Meet;
    for (TRow* R = Row->FFirstChild; R != nullptr; R = NextInTree(Row, R)) {
      const int Pos = PositionOf(R);
      Meet.push_back(R);
      if (Pos + 1 < FRowCount) Meet.push_back(FRows[Pos + 1]);
    }
    CountBreaks(Meet.data(), Meet.size(), -1);
    const int Cut = Row->Level + 1;
    for (TRow* R = Row->FFirstChild; R != nullptr; R = NextInTree(Row, R)) R->Level -= Cut;
    while (TRow* Child = Row->FFirstChild) {
      UnlinkChild(Child);
      Child->ParentRow = nullptr;
      --FChildRows;
      SetRowShown(PositionOf(Child), true);
      for (TRow* R = Child->FFirstChild; R != nullptr; R = NextInTree(Child, R))
        SetRowShown(PositionOf(R), R->ParentRow->Shown && R->ParentRow->Expanded);
    }
    Row->ChildCount = 0;
    Row->FDescendants = 0;
    CountBreaks(Meet.data(), Meet.size(), 1);
  }
  RemoveRows(&ARow, 1);
}

std::vector<int> TCells::DeleteRowTree(int ARow) {
  CheckRow(ARow);
  std::vector<int> Tree = TreePositions(ARow);
  TRow* Row = GetRow(ARow);
  if (Row->ParentRow != nullptr) LeaveParent(Row);
  RemoveRows(Tree.data(), static_cast<int>(Tree.size()));
  return Tree;
}

void TCells::MoveRow(int AFrom, int ATo) {
  CheckRow(AFrom);
  CheckRow(ATo);
  FSortedUnchanged = false;
  if (AFrom == ATo) return;
  const bool Shown = IsRowShown(AFrom);
  // Rows that get another row before them: the moved one, the one after its old place and the
  // one after its new place.
  std::array<TRow*, 3> Meet{FRows[AFrom]};
  std::size_t N = 1;
  if (AFrom + 1 < FRowCount) Meet[N++] = FRows[AFrom + 1];
  const int After = AFrom < ATo ? ATo + 1 : ATo;
  if (After < FRowCount) Meet[N++] = FRows[After];
  CountBreaks(Meet.data(), N, -1);
  FRows.Move(AFrom, ATo);
  for (int C = 0; C < FColumnCount; ++C) FColumnLists[static_cast<std::size_t>(C)]->Move(AFrom, ATo);
  FShownIndex.Erase(AFrom, 1);
  FShownIndex.Insert(ATo, Shown);
  CountBreaks(Meet.data(), N, 1);
}

void TCells::ExchangeRowItems(int A, int B) {
  FRows.Exchange(A, B);
  for (int C = 0; C < FColumnCount; ++C) FColumnLists[static_cast<std::size_t>(C)]->Exchange(A, B);
  const bool ShownA = FRows[A]->Visible && FRows[A]->Shown;
  const bool ShownB = FRows[B]->Visible && FRows[B]->Shown;
  if (ShownA != ShownB) {
    FShownIndex.Change(A, ShownA ? 1 : -1);
    FShownIndex.Change(B, ShownB ? 1 : -1);
  }
}

void TCells::ExchangeRows(int A, int B) {
  CheckRow(A);
  CheckRow(B);
  // Rows that get another row before them: the two and the ones after them.
  std::array<TRow*, 4> Meet{};
  std::size_t N = 0;
  for (const int I : {A, A + 1, B, B + 1})
    if (I < FRowCount) Meet[N++] = FRows[I];
  CountBreaks(Meet.data(), N, -1);
  ExchangeRowItems(A, B);
  CountBreaks(Meet.data(), N, 1);
  FSortedUnchanged = false;
}

void TCells::ClearRows() {
  for (int C = 0; C < FColumnCount; ++C) {
    TCellList* L = FColumnLists[static_cast<std::size_t>(C)];
    for (int R = 0; R < L->Count(); ++R) delete (*L)[R];
    L->Clear();
  }
  FreeRowRecords();
}

void TCells::FreeRowRecords() {
  FUnsettled.clear();
  for (int R = 0; R < FRows.Count(); ++R) delete FRows[R];
  FRows.Clear();
  FRowCount = 0;
  FShownRowCount = 0;
  FBreaks = 0;
  FChildRows = 0;
  RowsMoved();
  FSortedUnchanged = false;
}

void TCells::SetRowShown(int ARow, bool Value) {
  TRow* Row = GetRow(ARow);
  if (Row->Shown == Value) return;
  Row->Shown = Value;
  if (Row->Visible) ShownChanged(ARow, Value ? 1 : -1);
}

void TCells::SetRowVisible(int ARow, bool Value) {
  TRow* Row = GetRow(ARow);
  if (Row->Visible == Value) return;
  Row->Visible = Value;
  if (Row->Shown) ShownChanged(ARow, Value ? 1 : -1);
}

int TCells::SetRowExpanded(int ARow, bool Value) {
  TRow* Row = GetRow(ARow);
  if (Row->Expanded == Value) return -1;
  Row->Expanded = Value;
  // A row shows when its parent shows and is expanded. The descendants are walked from ARow,
  // parents first, wherever they lie; below a row that stays as it was, nothing changes.
  int Lowest = -1;
  for (TRow* R = Row->FFirstChild; R != nullptr;) {
    ++FRowReads;
    const bool Show = R->ParentRow->Shown && R->ParentRow->Expanded;
    const bool Changes = R->Shown != Show;
    if (Changes) {
      const int Pos = PositionOf(R);
      SetRowShown(Pos, Show);
      if (Lowest < 0 || Pos < Lowest) Lowest = Pos;
    }
    R = NextInTree(Row, R, !Changes);
  }
  return Lowest;
}

// ---- columns

void TCells::AddColumn() {
  if (FColumnCount >= MaxColumns)
    throw EListError(Format("A grid holds at most %d columns", MaxColumns));
  const int Source = FColumns != nullptr ? FColumns->ColumnCount() - 1 : FColumnCount;
  FColumnLists[static_cast<std::size_t>(FColumnCount)] = NewColumnList(Source);
  ++FColumnCount;
}

void TCells::InsertColumn(int AIndex) {
  if (FColumnCount >= MaxColumns)
    throw EListError(Format("A grid holds at most %d columns", MaxColumns));
  if (AIndex < 0 || AIndex > FColumnCount) TList::Error(AIndex);
  TCellList* L = NewColumnList(FColumns != nullptr ? AIndex : FColumnCount);
  for (int C = FColumnCount; C > AIndex; --C)
    FColumnLists[static_cast<std::size_t>(C)] = FColumnLists[static_cast<std::size_t>(C - 1)];
  FColumnLists[static_cast<std::size_t>(AIndex)] = L;
  ++FColumnCount;
  FSortedUnchanged = false;
}

void TCells::DeleteColumn(int AIndex) {
  CheckColumn(AIndex);
  FreeColumnList(AIndex);
  for (int C = AIndex; C < FColumnCount - 1; ++C)
    FColumnLists[static_cast<std::size_t>(C)] = FColumnLists[static_cast<std::size_t>(C + 1)];
  FColumnLists[static_cast<std::size_t>(FColumnCount - 1)] = nullptr;
  --FColumnCount;
  FSortedUnchanged = false;
  // Without columns no row can keep its cells: the rows go too.
  if (FColumnCount == 0) ClearRows();
}

void TCells::MoveColumn(int AFrom, int ATo) {
  CheckColumn(AFrom);
  CheckColumn(ATo);
  if (AFrom == ATo) return;
  TCellList* L = FColumnLists[static_cast<std::size_t>(AFrom)];
  if (AFrom < ATo) {
    for (int C = AFrom; C < ATo; ++C)
      FColumnLists[static_cast<std::size_t>(C)] = FColumnLists[static_cast<std::size_t>(C + 1)];
  } else {
    for (int C = AFrom; C > ATo; --C)
      FColumnLists[static_cast<std::size_t>(C)] = FColumnLists[static_cast<std::size_t>(C - 1)];
  }
  FColumnLists[static_cast<std::size_t>(ATo)] = L;
  FSortedUnchanged = false;
}

void TCells::ClearColumns() {
  for (int C = 0; C < FColumnCount; ++C) FreeColumnList(C);
  FColumnCount = 0;
  FreeRowRecords();
}

void TCells::RecreateColumn(int AIndex) {
  CheckColumn(AIndex);
  TCellList* L = NewColumnList(AIndex);
  FreeColumnList(AIndex);
  FColumnLists[static_cast<std::size_t>(AIndex)] = L;
  FSortedUnchanged = false;
}

void TCells::ColumnsChanged(int AKind, int AIndex, int AIndex2) {
  switch (AKind % 128) {
    case 0: AddColumn(); break;
    case 1: DeleteColumn(AIndex); break;
    case 2: ClearColumns(); break;
    case 3: InsertColumn(AIndex); break;
    case 4: MoveColumn(AIndex, AIndex2); break;
    default: break;
  }
}

void TCells::DoChange() {
  if (OnChange) OnChange(this, FLastCol, FLastRow);
  FSortedUnchanged = false;
}

void TCells::DoCompare(TCell* Cell1, TCell* Cell2, int& Compare) {
  if (OnCompare) OnCompare(this, Cell1, Cell2, Compare);
}

// ---------------------------------------------------------------------------------------------
// Sort

int TCells::CompareCustom(TCell* Pivot, TCell* Cell) {
  int Compare = 0;
  DoCompare(Pivot, Cell, Compare);
  return Compare < 0 ? cmpLess : Compare > 0 ? cmpGreater : cmpEqual;
}

// Splits Lo..Hi (Hi > Lo) around a pivot taken from Lo + 1 .. Hi and returns P, Lo < P <= Hi:
// rows Lo .. P - 1 come before the pivot in the sort order, rows P .. Hi after it. The scans stop
// at the ends of the range, so a comparison that is no consistent order still ends with both
// parts smaller than the range.
int TCells::Partition(int Lo, int Hi, TCellList* Keys) {
  TCell* Pivot = Keys->Items(Lo + 1 + RandomBelow(Hi - Lo));
  const bool Ascending = FSortKind == skAscending;
  auto Key = [&](int Row) { return (*Keys)[Row]; };
  // Ascending: I stops at a cell not below the pivot, J at a cell not above it.
  auto StopI = [&](int Row) {
    const int Cmp = CompareCustom(Pivot, Key(Row));
    return Ascending ? LowTest(Cmp) : HighTest(Cmp);
  };
  auto StopJ = [&](int Row) {
    const int Cmp = CompareCustom(Pivot, Key(Row));
    return Ascending ? HighTest(Cmp) : LowTest(Cmp);
  };
  int I = Lo - 1;
  int J = Hi + 1;
  for (;;) {
    ++I;
    while (I < Hi && !StopI(I)) ++I;
    --J;
    while (J > Lo && !StopJ(J)) --J;
    if (I >= J) break;
    ExchangeRowItems(I, J);
  }
  return std::max(I, Lo + 1);
}

void TCells::QuickSort(int Lo, int Hi, TCellList* Keys) {
  // Recursion on the smaller part and a loop over the larger keep the depth logarithmic.
  while (Hi > Lo) {
    const int P = Partition(Lo, Hi, Keys);
    if (P - 1 - Lo < Hi - P) {
      QuickSort(Lo, P - 1, Keys);
      Lo = P;
    } else {
      QuickSort(P, Hi, Keys);
      Hi = P - 1;
    }
  }
}

void TCells::Permute(const std::vector<int>& Order) {
  FRows.Permute(Order);
  for (int C = 0; C < FColumnCount; ++C) FColumnLists[static_cast<std::size_t>(C)]->Permute(Order);
  RowsMoved();
  RecountBreaks();
}

namespace {

// Each sort type's key is a string of bytes whose order (byte by byte, a shorter prefix first) is
// the order of the type.

// The code units of a text, most significant byte first: byte order is code unit order.
void AppendCodeUnitKey(std::string& Key, const WideString& Text) {
  for (wchar_t Ch : Text) {
    const auto U = static_cast<std::uint32_t>(Ch);
    if (sizeof(wchar_t) > 2) {
      Key += static_cast<char>((U >> 24) & 0xFF);
      Key += static_cast<char>((U >> 16) & 0xFF);
    }
    Key += static_cast<char>((U >> 8) & 0xFF);
    Key += static_cast<char>(U & 0xFF);
  }
}

void AppendBigEndian(std::string& Key, std::uint64_t Value, int Bytes) {
  for (int B = Bytes - 1; B >= 0; --B) Key += static_cast<char>((Value >> (8 * B)) & 0xFF);
}

// A float: the bits of a positive number grow with it; a negative one's bits are turned over so
// that they fall as it grows, below every positive one. Minus zero counts as zero; a NaN, which
// no comparison orders, comes after every number.
void AppendFloatKey(std::string& Key, double Value) {
  std::uint64_t Bits;
  if (Value != Value) {
    Bits = ~std::uint64_t{0};
  } else {
    if (Value == 0) Value = 0;
    std::memcpy(&Bits, &Value, sizeof(Bits));
    Bits = (Bits >> 63) != 0 ? ~Bits : Bits | (std::uint64_t{1} << 63);
  }
  AppendBigEndian(Key, Bits, 8);
}

}  // namespace

void TCells::KeyedSort(int ACol, TSortType ASortType) {
  TCellList* L = FColumnLists[static_cast<std::size_t>(ACol)];
  const int N = FRowCount;
  // A single row has no order to take: its value is not even read.
  if (N < 2) return;
  std::vector<int> Order(static_cast<std::size_t>(N));
  for (int I = 0; I < N; ++I) Order[static_cast<std::size_t>(I)] = I;
  const bool Descending = FSortKind == skDescending;
  // A cell read as the sort reads it: through its own row (a counting cell answers for the row
  // it is read through).
  auto CellOf = [&](int Row) {
    FLastCol = ACol;
    FLastRow = Row;
    return (*L)[Row];
  };
  // One key per row, all in one block, each computed once.
  std::string Keys;
  std::vector<std::size_t> Start(static_cast<std::size_t>(N) + 1);
  for (int R = 0; R < N; ++R) {
    Start[static_cast<std::size_t>(R)] = Keys.size();
    TCell* Cell = CellOf(R);
    switch (ASortType) {
      case stAlphabetic:
      case stCaseInsensitive:
      case stUnicodeAlphabetic: {
        // A text cell's text is read in place.
        const auto* S = dynamic_cast<const TStringCell*>(Cell);
        const WideString Own = S != nullptr ? WideString() : Cell->AsString();
        const WideString& Text = S != nullptr ? S->Text() : Own;
        if (ASortType == stAlphabetic)
          AppendCodeUnitKey(Keys, Text);
        else if (ASortType == stCaseInsensitive)
          Keys += LowerCase(WideToAnsi(Text));
        else
          Keys += UnicodeSortKey(Text);
        break;
      }
      case stBoolean: Keys += Cell->AsBoolean() ? '\1' : '\0'; break;
      case stNumeric: AppendFloatKey(Keys, Cell->AsFloat()); break;
      case stDate: AppendFloatKey(Keys, Cell->AsDateTime()); break;
      case stIP:
        for (std::uint32_t Part : AddressParts(Cell->AsString())) AppendBigEndian(Keys, Part, 4);
        break;
      case stCustom: break;
    }
  }
  Start[static_cast<std::size_t>(N)] = Keys.size();
  const auto* Bytes = reinterpret_cast<const unsigned char*>(Keys.data());
  auto Less = [&](int A, int B) {
    const std::size_t SA = Start[static_cast<std::size_t>(A)], LA = Start[static_cast<std::size_t>(A) + 1] - SA;
    const std::size_t SB = Start[static_cast<std::size_t>(B)], LB = Start[static_cast<std::size_t>(B) + 1] - SB;
    const int C = std::memcmp(Bytes + SA, Bytes + SB, std::min(LA, LB));
    return C != 0 ? C < 0 : LA < LB;
  };
  std::stable_sort(Order.begin(), Order.end(), [&](int A, int B) { return Descending ? Less(B, A) : Less(A, B); });
  Permute(Order);
}

void TCells::CheckSortable(int ACol, TSortType ASortType) const {
  CheckColumn(ACol);
  // Sorting moves cells with their rows. A virtual cell's value stays with the row position its
  // supplier answers for, so the rows would leave their values behind. An increment cell has a
  // value only for the row it is read through: the keyed sorts give each row its own number, a
  // custom comparison of two cells cannot.
  const TColumnKind Kind = FColumns != nullptr ? FColumns->ColumnKind(ACol) : ckString;
  if (Kind == ckVirtual)
    throw EInvalidOperation("A virtual column cannot be sorted: its values stay at their row positions");
  if (Kind == ckIncrement && ASortType == stCustom)
    throw EInvalidOperation("An increment column cannot be sorted by a custom comparison: its cells hold no values");
}

void TCells::Sort(int ACol, TSortType ASortType, TSortKind ASortKind, bool AFullResort) {
  CheckSortable(ACol, ASortType);
  // Reversing gives the other direction only of the order the rows are in: the same column by
  // the same type, whose values went with their rows (an increment column numbers the rows
  // afresh wherever they are).
  const bool Counting = FColumns != nullptr && FColumns->ColumnKind(ACol) == ckIncrement;
  if (ACol == FLastSortColumn && ASortType == FLastSortType && FSortedUnchanged && ASortKind != FSortKind &&
      !AFullResort && !Counting) {
    FSortKind = ASortKind;
    std::vector<int> Order(static_cast<std::size_t>(FRowCount));
    for (int K = 0; K < FRowCount; ++K) Order[static_cast<std::size_t>(K)] = FRowCount - 1 - K;
    Permute(Order);
  } else {
    FSortKind = ASortKind;
    // A sort that fails leaves no claim of an order.
    FSortedUnchanged = false;
    if (ASortType == stCustom) {
      RowsMoved();
      // Rows exchanged before a comparison failed stay exchanged.
      try {
        QuickSort(0, FRowCount - 1, FColumnLists[static_cast<std::size_t>(ACol)]);
      } catch (...) {
        RecountBreaks();
        throw;
      }
      RecountBreaks();
    } else {
      KeyedSort(ACol, ASortType);
    }
  }
  FLastSortColumn = ACol;
  FLastSortType = ASortType;
  FSortedUnchanged = true;
}

std::string UnicodeSortKey(const WideString& Text) {
#ifdef _WIN32
  const wchar_t* Src = Text.c_str();
  // An empty text is given with its terminator (a length of 0 is refused).
  const int SrcLen = Text.empty() ? -1 : static_cast<int>(Text.size());
  std::string Key(Text.size() * 6 + 32, '\0');
  int Got = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, Src, SrcLen, reinterpret_cast<LPWSTR>(Key.data()),
                         static_cast<int>(Key.size()));
  if (Got == 0) {
    const int Need = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, Src, SrcLen, nullptr, 0);
    if (Need <= 0) throw EConvertError("The text has no sort key");
    Key.assign(static_cast<std::size_t>(Need), '\0');
    Got = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, Src, SrcLen, reinterpret_cast<LPWSTR>(Key.data()), Need);
    if (Got == 0) throw EConvertError("The text has no sort key");
  }
  // The key ends with a zero byte and holds none before it.
  Key.resize(static_cast<std::size_t>(Got));
  while (!Key.empty() && Key.back() == '\0') Key.pop_back();
  return Key;
#else
  // The platform compares code units.
  std::string Key;
  AppendCodeUnitKey(Key, Text);
  return Key;
#endif
}
