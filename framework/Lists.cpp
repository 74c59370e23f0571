#include "framework/Lists.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "framework/Scopes.h"
#include "framework/Strings.h"

namespace {

// Stable bottom-up merge sort of trivially copyable values. Every loop is bounded by the
// range itself, so a comparison that is not a consistent order only gives an odd order.
template <class T, class Cmp>
void MergeSort(std::vector<T>& V, Cmp&& Compare) {
  const std::size_t N = V.size();
  if (N < 2) return;
  constexpr std::size_t Run = 16;
  for (std::size_t Lo = 0; Lo < N; Lo += Run) {
    const std::size_t Hi = std::min(Lo + Run, N);
    for (std::size_t I = Lo + 1; I < Hi; ++I) {
      T Value = V[I];
      std::size_t J = I;
      while (J > Lo && Compare(V[J - 1], Value) > 0) {
        V[J] = V[J - 1];
        --J;
      }
      V[J] = Value;
    }
  }
  if (N <= Run) return;
  std::vector<T> Buf(N);
  for (std::size_t Width = Run; Width < N; Width *= 2) {
    for (std::size_t Lo = 0; Lo < N; Lo += 2 * Width) {
      const std::size_t Mid = std::min(Lo + Width, N);
      const std::size_t Hi = std::min(Lo + 2 * Width, N);
      std::size_t L = Lo, R = Mid, O = Lo;
      while (L < Mid && R < Hi) Buf[O++] = Compare(V[L], V[R]) > 0 ? V[R++] : V[L++];
      while (L < Mid) Buf[O++] = V[L++];
      while (R < Hi) Buf[O++] = V[R++];
    }
    V.swap(Buf);
  }
}

// Runs Body between BeginUpdate and EndUpdate; EndUpdate also runs when Body throws (and then
// the original exception goes on).
template <class Obj, class F>
void WithUpdate(Obj* O, F&& Body) {
  O->BeginUpdate();
  TScopeExit EndUpdate([&] { O->EndUpdate(); });
  Body();
}

// Calls Line(start, length) for each line of Text: lines end at LF, CR LF or a lone CR, the
// last line may lack an end, and a NUL byte ends the text.
template <class F>
void ForEachLine(const AnsiString& Text, F&& Line) {
  const char* P = Text.c_str();
  while (*P != '\0') {
    const char* Start = P;
    while (*P != '\0' && *P != '\n' && *P != '\r') ++P;
    Line(Start, static_cast<std::size_t>(P - Start));
    if (*P == '\r') ++P;
    if (*P == '\n') ++P;
  }
}

bool IsBlank(char C) {
  const unsigned char U = static_cast<unsigned char>(C);
  return U >= 1 && U <= ' ';
}

// Reads a quoted item starting at the quote P points to; a doubled quote stands for one quote;
// an item without its closing quote runs to the end. P ends behind the closing quote.
AnsiString ExtractQuoted(const char*& P, char Quote) {
  AnsiString Result;
  ++P;
  while (*P != '\0') {
    if (*P == Quote) {
      if (P[1] == Quote) {
        Result += Quote;
        P += 2;
        continue;
      }
      ++P;
      break;
    }
    Result += *P++;
  }
  return Result;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TList

TList::~TList() {
  Clear();
}

void TList::Error(int Index) {
  throw EListError(Format("List index out of bounds (%d)", Index));
}

void TList::SetCapacity(int NewCapacity) {
  if (NewCapacity < FCount || NewCapacity > MaxListSize)
    throw EListError(Format("List capacity out of bounds (%d)", NewCapacity));
  if (NewCapacity == FCapacity) return;
  if (NewCapacity == 0) {
    std::free(FList);
    FList = nullptr;
  } else {
    void* P = std::realloc(FList, static_cast<std::size_t>(NewCapacity) * sizeof(void*));
    if (P == nullptr) throw std::bad_alloc();
    FList = static_cast<void**>(P);
  }
  FCapacity = NewCapacity;
}

void TList::SetCount(int NewCount) {
  if (NewCount < 0 || NewCount > MaxListSize)
    throw EListError(Format("List count out of bounds (%d)", NewCount));
  if (NewCount > FCount) {
    if (NewCount > FCapacity) SetCapacity(NewCount);
    std::memset(FList + FCount, 0, static_cast<std::size_t>(NewCount - FCount) * sizeof(void*));
    FCount = NewCount;
  } else {
    while (FCount > NewCount) Delete(FCount - 1);
  }
}

void TList::Grow() {
  int Delta;
  if (FCapacity > 64)
    Delta = FCapacity / 4;
  else if (FCapacity > 8)
    Delta = 16;
  else
    Delta = 4;
  if (FCapacity + Delta > MaxListSize) Delta = MaxListSize - FCapacity;
  SetCapacity(FCapacity + (Delta > 0 ? Delta : 1));
}

TList* TList::Expand() {
  if (FCount == FCapacity) Grow();
  return this;
}

void TList::SetItems(int Index, void* Item) {
  if (static_cast<unsigned>(Index) >= static_cast<unsigned>(FCount)) Error(Index);
  void* Temp = FList[Index];
  if (Item == Temp) return;
  FList[Index] = Item;
  if (Temp != nullptr) Notify(Temp, lnDeleted);
  if (Item != nullptr) Notify(Item, lnAdded);
}

int TList::Add(void* Item) {
  const int Result = FCount;
  if (Result == FCapacity) Grow();
  FList[Result] = Item;
  ++FCount;
  if (Item != nullptr) Notify(Item, lnAdded);
  return Result;
}

void TList::Insert(int Index, void* Item) {
  if (Index < 0 || Index > FCount) Error(Index);
  if (FCount == FCapacity) Grow();
  if (Index < FCount)
    std::memmove(FList + Index + 1, FList + Index, static_cast<std::size_t>(FCount - Index) * sizeof(void*));
  FList[Index] = Item;
  ++FCount;
  if (Item != nullptr) Notify(Item, lnAdded);
}

void TList::Delete(int Index) {
  if (static_cast<unsigned>(Index) >= static_cast<unsigned>(FCount)) Error(Index);
  void* Temp = FList[Index];
  --FCount;
  if (Index < FCount)
    std::memmove(FList + Index, FList + Index + 1, static_cast<std::size_t>(FCount - Index) * sizeof(void*));
  if (Temp != nullptr) Notify(Temp, lnDeleted);
}

int TList::Remove(void* Item) {
  const int Result = IndexOf(Item);
  if (Result >= 0) Delete(Result);
  return Result;
}

void* TList::Extract(void* Item) {
  const int I = IndexOf(Item);
  if (I < 0) return nullptr;
  FList[I] = nullptr;  // so that Delete does not report it deleted
  Delete(I);
  if (Item != nullptr) Notify(Item, lnExtracted);
  return Item;
}

int TList::IndexOf(void* Item) const {
  for (int I = 0; I < FCount; ++I)
    if (FList[I] == Item) return I;
  return -1;
}

void TList::Exchange(int Index1, int Index2) {
  if (static_cast<unsigned>(Index1) >= static_cast<unsigned>(FCount)) Error(Index1);
  if (static_cast<unsigned>(Index2) >= static_cast<unsigned>(FCount)) Error(Index2);
  std::swap(FList[Index1], FList[Index2]);
}

void TList::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  if (static_cast<unsigned>(NewIndex) >= static_cast<unsigned>(FCount)) Error(NewIndex);
  void* Item = Items(CurIndex);
  if (CurIndex < NewIndex)
    std::memmove(FList + CurIndex, FList + CurIndex + 1, static_cast<std::size_t>(NewIndex - CurIndex) * sizeof(void*));
  else
    std::memmove(FList + NewIndex + 1, FList + NewIndex, static_cast<std::size_t>(CurIndex - NewIndex) * sizeof(void*));
  FList[NewIndex] = Item;
}

void TList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

void TList::Pack() {
  int Out = 0;
  for (int I = 0; I < FCount; ++I)
    if (FList[I] != nullptr) FList[Out++] = FList[I];
  FCount = Out;
}

void TList::Sort(const TListSortCompare& Compare) {
  if (FCount < 2) return;
  // Sorted on the side, so the list stays as it was when Compare throws.
  std::vector<void*> Work(FList, FList + FCount);
  const int N = FCount;
  MergeSort(Work, [&](void* A, void* B) { return Compare(A, B); });
  if (FCount != N) throw EListError("List changed while being sorted");
  std::memcpy(FList, Work.data(), Work.size() * sizeof(void*));
}

// ---------------------------------------------------------------------------------------------
// TObjectList

TObjectList::~TObjectList() {
  Clear();
}

void TObjectList::Notify(void* Ptr, TListNotification Action) {
  if (FOwnsObjects && Action == lnDeleted) delete static_cast<TObject*>(Ptr);
  TList::Notify(Ptr, Action);
}

// ---------------------------------------------------------------------------------------------
// TStrings

void TStrings::Error(const char* Msg, int Data) {
  throw EStringListError(Format(Msg, Data));
}

int TStrings::CompareStrings(const AnsiString& S1, const AnsiString& S2) const {
  return AnsiCompareText(S1, S2);
}

int TStrings::Add(const AnsiString& S) {
  const int Result = GetCount();
  Insert(Result, S);
  return Result;
}

int TStrings::AddObject(const AnsiString& S, TObject* AObject) {
  const int Result = Add(S);
  PutObject(Result, AObject);
  return Result;
}

void TStrings::AddStrings(TStrings* Strings) {
  if (Strings == nullptr) return;
  const int N = Strings->Count();
  WithUpdate(this, [&] {
    for (int I = 0; I < N; ++I) AddObject(Strings->Get(I), Strings->GetObject(I));
  });
}

void TStrings::InsertObject(int Index, const AnsiString& S, TObject* AObject) {
  Insert(Index, S);
  PutObject(Index, AObject);
}

void TStrings::Put(int Index, const AnsiString& S) {
  TObject* Obj = GetObject(Index);
  Delete(Index);
  InsertObject(Index, S, Obj);
}

void TStrings::Exchange(int Index1, int Index2) {
  WithUpdate(this, [&] {
    TObject* TempObject = GetObject(Index1);
    AnsiString TempString = Get(Index1);
    Put(Index1, Get(Index2));
    PutObject(Index1, GetObject(Index2));
    Put(Index2, TempString);
    PutObject(Index2, TempObject);
  });
}

void TStrings::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  AnsiString S = Get(CurIndex);
  if (NewIndex < 0 || NewIndex >= GetCount()) Error("List index out of bounds (%d)", NewIndex);
  WithUpdate(this, [&] {
    TObject* Obj = GetObject(CurIndex);
    Delete(CurIndex);
    InsertObject(NewIndex, S, Obj);
  });
}

int TStrings::IndexOf(const AnsiString& S) const {
  const int N = GetCount();
  for (int I = 0; I < N; ++I)
    if (CompareStrings(Get(I), S) == 0) return I;
  return -1;
}

int TStrings::IndexOfName(const AnsiString& Name) const {
  const int N = GetCount();
  for (int I = 0; I < N; ++I) {
    const AnsiString S = Get(I);
    const std::size_t P = S.find(FNameValueSeparator);
    if (P != AnsiString::npos && CompareStrings(S.substr(0, P), Name) == 0) return I;
  }
  return -1;
}

int TStrings::IndexOfObject(TObject* AObject) const {
  const int N = GetCount();
  for (int I = 0; I < N; ++I)
    if (GetObject(I) == AObject) return I;
  return -1;
}

bool TStrings::Equals(TStrings* Strings) const {
  if (Strings == nullptr) return false;
  const int N = GetCount();
  if (N != Strings->GetCount()) return false;
  for (int I = 0; I < N; ++I)
    if (Get(I) != Strings->Get(I)) return false;
  return true;
}

AnsiString TStrings::Names(int Index) const {
  const AnsiString S = Get(Index);
  const std::size_t P = S.find(FNameValueSeparator);
  return P == AnsiString::npos ? AnsiString() : S.substr(0, P);
}

AnsiString TStrings::Values(const AnsiString& Name) const {
  const int I = IndexOfName(Name);
  return I >= 0 ? ValueFromIndex(I) : AnsiString();
}

void TStrings::SetValues(const AnsiString& Name, const AnsiString& Value) {
  const int I = IndexOfName(Name);
  if (Value.empty()) {
    if (I >= 0) Delete(I);
    return;
  }
  const AnsiString Line = Name + FNameValueSeparator + Value;
  if (I < 0) {
    Add(Line);
    return;
  }
  const TStringList* SL = dynamic_cast<const TStringList*>(this);
  if (SL != nullptr && SL->Sorted()) {
    // A sorted list cannot replace a line in place; the new line goes where it sorts.
    WithUpdate(this, [&] {
      TObject* Obj = GetObject(I);
      Delete(I);
      AddObject(Line, Obj);
    });
  } else {
    Put(I, Line);
  }
}

AnsiString TStrings::ValueFromIndex(int Index) const {
  if (Index < 0) return AnsiString();
  const AnsiString S = Get(Index);
  const std::size_t P = S.find(FNameValueSeparator);
  return P == AnsiString::npos ? AnsiString() : S.substr(P + 1);
}

void TStrings::SetValueFromIndex(int Index, const AnsiString& Value) {
  if (Value.empty()) {
    if (Index >= 0) Delete(Index);
    return;
  }
  if (Index < 0) {
    Add(FNameValueSeparator + Value);
    return;
  }
  const AnsiString Line = Names(Index) + FNameValueSeparator + Value;
  const TStringList* SL = dynamic_cast<const TStringList*>(this);
  if (SL != nullptr && SL->Sorted()) {
    WithUpdate(this, [&] {
      TObject* Obj = GetObject(Index);
      Delete(Index);
      AddObject(Line, Obj);
    });
  } else {
    Put(Index, Line);
  }
}

AnsiString TStrings::Text() const {
  const int N = GetCount();
  std::vector<AnsiString> Lines;
  Lines.reserve(static_cast<std::size_t>(N));
  std::size_t Size = 0;
  for (int I = 0; I < N; ++I) {
    Lines.push_back(Get(I));
    Size += Lines.back().size() + 2;
  }
  AnsiString Result;
  Result.reserve(Size);
  for (const AnsiString& L : Lines) {
    Result += L;
    Result += "\r\n";
  }
  return Result;
}

void TStrings::SetText(const AnsiString& Value) {
  WithUpdate(this, [&] {
    Clear();
    ForEachLine(Value, [&](const char* Start, std::size_t Len) { Add(AnsiString(Start, Len)); });
  });
}

AnsiString TStrings::JoinDelimited(char Delim, char Quote) const {
  const int N = GetCount();
  if (N == 1 && Get(0).empty()) return AnsiString(2, Quote);
  AnsiString Result;
  for (int I = 0; I < N; ++I) {
    const AnsiString S = Get(I);
    bool Quoted = false;
    for (char C : S) {
      if (static_cast<unsigned char>(C) <= ' ' || C == Quote || C == Delim) {
        Quoted = C != '\0';  // the text of a string ends at a NUL byte
        break;
      }
    }
    if (I > 0) Result += Delim;
    if (Quoted) {
      Result += Quote;
      for (char C : S) {
        if (C == Quote) Result += Quote;
        Result += C;
      }
      Result += Quote;
    } else {
      Result += S;
    }
  }
  return Result;
}

void TStrings::SplitDelimited(const AnsiString& Value, char Delim, char Quote) {
  WithUpdate(this, [&] {
    Clear();
    const char* P = Value.c_str();
    while (IsBlank(*P)) ++P;
    while (*P != '\0') {
      if (*P == Quote) {
        Add(ExtractQuoted(P, Quote));
      } else {
        const char* Start = P;
        while (static_cast<unsigned char>(*P) > ' ' && *P != Delim) ++P;
        Add(AnsiString(Start, static_cast<std::size_t>(P - Start)));
      }
      while (IsBlank(*P)) ++P;
      if (*P == Delim && *P != '\0') {
        if (P[1] == '\0') Add(AnsiString());
        do ++P;
        while (IsBlank(*P));
      }
    }
  });
}

AnsiString TStrings::DelimitedText() const {
  return JoinDelimited(FDelimiter, FQuoteChar);
}

void TStrings::SetDelimitedText(const AnsiString& Value) {
  SplitDelimited(Value, FDelimiter, FQuoteChar);
}

AnsiString TStrings::CommaText() const {
  return JoinDelimited(',', '"');
}

void TStrings::SetCommaText(const AnsiString& Value) {
  SplitDelimited(Value, ',', '"');
}

void TStrings::BeginUpdate() {
  if (FUpdateCount == 0) SetUpdateState(true);
  ++FUpdateCount;
}

void TStrings::EndUpdate() {
  if (FUpdateCount == 0) return;
  --FUpdateCount;
  if (FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::Assign(TPersistent* Source) {
  if (TStrings* S = dynamic_cast<TStrings*>(Source)) {
    if (S == this) return;
    WithUpdate(this, [&] {
      Clear();
      FNameValueSeparator = S->FNameValueSeparator;
      FDelimiter = S->FDelimiter;
      FQuoteChar = S->FQuoteChar;
      AddStrings(S);
    });
    return;
  }
  TPersistent::Assign(Source);
}

// ---------------------------------------------------------------------------------------------
// TStringList

TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
  if (FOwnsObjects) {
    std::vector<TStringItem> Items;
    Items.swap(FList);
    for (TStringItem& It : Items) delete It.FObject;
  }
}

int TStringList::CompareStrings(const AnsiString& S1, const AnsiString& S2) const {
  return FCaseSensitive ? CompareStr(S1, S2) : AnsiCompareText(S1, S2);
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::SetUpdateState(bool Updating) {
  if (Updating)
    Changing();
  else
    Changed();
}

bool TStringList::Find(const AnsiString& S, int& Index) const {
  bool Result = false;
  int L = 0;
  int H = static_cast<int>(FList.size()) - 1;
  while (L <= H) {
    const int I = L + (H - L) / 2;
    const int C = CompareStrings(FList[static_cast<unsigned>(I)].FString, S);
    if (C < 0) {
      L = I + 1;
    } else {
      H = I - 1;
      if (C == 0) {
        Result = true;
        if (FDuplicates != dupAccept) L = I;
      }
    }
  }
  Index = L;
  return Result;
}

int TStringList::Add(const AnsiString& S) {
  return AddObject(S, nullptr);
}

int TStringList::AddObject(const AnsiString& S, TObject* AObject) {
  int Result;
  if (!FSorted) {
    Result = static_cast<int>(FList.size());
  } else if (Find(S, Result)) {
    if (FDuplicates == dupIgnore) return Result;
    if (FDuplicates == dupError) Error("String list does not allow duplicates", 0);
  }
  InsertItem(Result, S, AObject);
  return Result;
}

void TStringList::Insert(int Index, const AnsiString& S) {
  InsertObject(Index, S, nullptr);
}

void TStringList::InsertObject(int Index, const AnsiString& S, TObject* AObject) {
  if (FSorted) Error("Operation not allowed on sorted list", 0);
  if (Index < 0 || Index > static_cast<int>(FList.size())) Error("List index out of bounds (%d)", Index);
  InsertItem(Index, S, AObject);
}

void TStringList::InsertItem(int Index, const AnsiString& S, TObject* AObject) {
  Changing();
  // An OnChanging handler may have changed the list.
  if (Index < 0 || Index > static_cast<int>(FList.size())) Error("List index out of bounds (%d)", Index);
  FList.insert(FList.begin() + Index, TStringItem{S, AObject});
  Changed();
}

void TStringList::Delete(int Index) {
  CheckIndex(Index);
  Changing();
  CheckIndex(Index);
  TObject* Obj = FOwnsObjects ? FList[static_cast<unsigned>(Index)].FObject : nullptr;
  FList.erase(FList.begin() + Index);
  delete Obj;
  Changed();
}

void TStringList::Clear() {
  if (FList.empty()) return;
  Changing();
  std::vector<TStringItem> Old;
  Old.swap(FList);
  if (FOwnsObjects)
    for (TStringItem& It : Old) delete It.FObject;
  Changed();
}

void TStringList::Exchange(int Index1, int Index2) {
  if (FSorted) Error("Operation not allowed on sorted list", 0);
  CheckIndex(Index1);
  CheckIndex(Index2);
  Changing();
  CheckIndex(Index1);
  CheckIndex(Index2);
  std::swap(FList[static_cast<unsigned>(Index1)], FList[static_cast<unsigned>(Index2)]);
  Changed();
}

void TStringList::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  if (FSorted) Error("Operation not allowed on sorted list", 0);
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  Changing();
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  auto B = FList.begin();
  if (CurIndex < NewIndex)
    std::rotate(B + CurIndex, B + CurIndex + 1, B + NewIndex + 1);
  else
    std::rotate(B + NewIndex, B + CurIndex, B + CurIndex + 1);
  Changed();
}

void TStringList::Put(int Index, const AnsiString& S) {
  if (FSorted) Error("Operation not allowed on sorted list", 0);
  CheckIndex(Index);
  Changing();
  CheckIndex(Index);
  FList[static_cast<unsigned>(Index)].FString = S;
  Changed();
}

TObject* TStringList::GetObject(int Index) const {
  CheckIndex(Index);
  return FList[static_cast<unsigned>(Index)].FObject;
}

void TStringList::PutObject(int Index, TObject* AObject) {
  CheckIndex(Index);
  Changing();
  CheckIndex(Index);
  FList[static_cast<unsigned>(Index)].FObject = AObject;
  Changed();
}

int TStringList::IndexOf(const AnsiString& S) const {
  if (FSorted) {
    int I;
    return Find(S, I) ? I : -1;
  }
  const int N = static_cast<int>(FList.size());
  for (int I = 0; I < N; ++I)
    if (CompareStrings(FList[static_cast<unsigned>(I)].FString, S) == 0) return I;
  return -1;
}

int TStringList::IndexOfName(const AnsiString& Name) const {
  const char Sep = NameValueSeparator();
  const int N = static_cast<int>(FList.size());
  for (int I = 0; I < N; ++I) {
    const AnsiString& S = FList[static_cast<unsigned>(I)].FString;
    const std::size_t P = S.find(Sep);
    if (P != AnsiString::npos && CompareStrings(S.substr(0, P), Name) == 0) return I;
  }
  return -1;
}

void TStringList::SetText(const AnsiString& Value) {
  if (FSorted) {
    TStrings::SetText(Value);
    return;
  }
  // Unsorted: the lines go straight to the end of the list.
  WithUpdate(this, [&] {
    Clear();
    ForEachLine(Value, [&](const char* Start, std::size_t Len) {
      FList.push_back(TStringItem{AnsiString(Start, Len), nullptr});
    });
  });
}

void TStringList::SortItems() {
  std::vector<int> Order(FList.size());
  for (std::size_t I = 0; I < Order.size(); ++I) Order[I] = static_cast<int>(I);
  MergeSort(Order, [&](int A, int B) {
    return CompareStrings(FList[static_cast<unsigned>(A)].FString, FList[static_cast<unsigned>(B)].FString);
  });
  std::vector<TStringItem> Sorted;
  Sorted.reserve(FList.capacity());
  for (int I : Order) Sorted.push_back(std::move(FList[static_cast<unsigned>(I)]));
  FList.swap(Sorted);
}

void TStringList::Sort() {
  if (FSorted || FList.size() < 2) return;
  Changing();
  SortItems();
  Changed();
}

void TStringList::CustomSort(const TStringListSortCompare& Compare) {
  if (FSorted || FList.size() < 2) return;
  Changing();
  const std::size_t N = FList.size();
  std::vector<int> Order(N);
  for (std::size_t I = 0; I < N; ++I) Order[I] = static_cast<int>(I);
  // The list stays untouched while Compare looks at it; the order is applied at the end.
  MergeSort(Order, [&](int A, int B) { return Compare(this, A, B); });
  if (FList.size() != N) throw EStringListError("List changed while being sorted");
  std::vector<TStringItem> Sorted;
  Sorted.reserve(FList.capacity());
  for (int I : Order) Sorted.push_back(std::move(FList[static_cast<unsigned>(I)]));
  FList.swap(Sorted);
  Changed();
}

void TStringList::SetSorted(bool Value) {
  if (FSorted == Value) return;
  if (Value) Sort();
  FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
  if (FCaseSensitive == Value) return;
  FCaseSensitive = Value;
  if (FSorted && FList.size() > 1) {
    // The order depends on the comparison: sort again.
    Changing();
    SortItems();
    Changed();
  }
}

void TStringList::SetCapacity(int NewCapacity) {
  if (NewCapacity < static_cast<int>(FList.size()))
    Error("List capacity out of bounds (%d)", NewCapacity);
  FList.reserve(static_cast<std::size_t>(NewCapacity));
}

// ---------------------------------------------------------------------------------------------
// TCollectionItem

TCollectionItem::TCollectionItem(TCollection* Collection) {
  if (Collection != nullptr) Collection->InsertItem(this);
}

TCollectionItem::~TCollectionItem() {
  if (FCollection != nullptr) {
    try {
      FCollection->RemoveItem(this);
    } catch (...) {
      // RemoveItem has taken the item out even when a notification failed.
    }
  }
}

void TCollectionItem::SetCollection(TCollection* Value) {
  if (FCollection == Value) return;
  if (FCollection != nullptr) FCollection->RemoveItem(this);
  if (Value != nullptr) Value->InsertItem(this);
}

int TCollectionItem::Index() const {
  if (FCollection == nullptr) return -1;
  const auto& Items = FCollection->FItems;
  for (std::size_t I = 0; I < Items.size(); ++I)
    if (Items[I] == this) return static_cast<int>(I);
  return -1;
}

void TCollectionItem::SetIndex(int Value) {
  const int Cur = Index();
  if (Cur < 0 || Cur == Value) return;
  auto& Items = FCollection->FItems;
  if (static_cast<unsigned>(Value) >= Items.size()) TList::Error(Value);
  auto B = Items.begin();
  if (Cur < Value)
    std::rotate(B + Cur, B + Cur + 1, B + Value + 1);
  else
    std::rotate(B + Value, B + Cur, B + Cur + 1);
  Changed(true);
}

void TCollectionItem::Changed(bool AllItems) {
  if (FCollection != nullptr && FCollection->FUpdateCount == 0)
    FCollection->Update(AllItems ? nullptr : this);
}

TPersistent* TCollectionItem::GetOwner() {
  return FCollection;
}

// ---------------------------------------------------------------------------------------------
// TCollection

TCollection::TCollection(TCollectionItemClass ItemClass) : FItemClass(std::move(ItemClass)) {}

TCollection::~TCollection() {
  FUpdateCount = 1;
  while (!FItems.empty()) delete FItems.back();
}

void TCollection::InsertItem(TCollectionItem* Item) {
  FItems.push_back(Item);
  Item->FCollection = this;
  Item->FID = FNextID++;
  try {
    Notify(Item, cnAdded);
    Changed();
  } catch (...) {
    // A failed notification leaves the item outside the collection.
    FItems.pop_back();
    Item->FCollection = nullptr;
    throw;
  }
}

void TCollection::RemoveItem(TCollectionItem* Item) {
  {
    // The item is taken out also when a notification fails.
    TScopeExit Take([&] {
      if (!FItems.empty() && FItems.back() == Item)
        FItems.pop_back();
      else
        FItems.erase(std::remove(FItems.begin(), FItems.end(), Item), FItems.end());
      Item->FCollection = nullptr;
    });
    Notify(Item, cnExtracting);
  }
  Changed();
}

void TCollection::Changed() {
  if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::EndUpdate() {
  if (FUpdateCount > 0) --FUpdateCount;
  Changed();
}

TCollectionItem* TCollection::Add() {
  if (!FItemClass) throw EInvalidOperation(Format("%s has no item class", ClassName()));
  TCollectionItem* Item = FItemClass(this);
  if (Item == nullptr) throw EInvalidOperation(Format("%s: the item class created no item", ClassName()));
  if (Item->FCollection != this) Item->SetCollection(this);
  return Item;
}

TCollectionItem* TCollection::Insert(int Index) {
  if (Index < 0 || Index > Count()) TList::Error(Index);
  TCollectionItem* Item = Add();
  Item->SetIndex(Index);
  return Item;
}

void TCollection::Delete(int Index) {
  TCollectionItem* Item = Items(Index);
  Notify(Item, cnDeleting);
  delete Item;
}

void TCollection::Clear() {
  if (FItems.empty()) return;
  WithUpdate(this, [&] {
    while (!FItems.empty()) delete FItems.back();
  });
}

void TCollection::Exchange(int Index1, int Index2) {
  if (static_cast<unsigned>(Index1) >= FItems.size()) TList::Error(Index1);
  if (static_cast<unsigned>(Index2) >= FItems.size()) TList::Error(Index2);
  std::swap(FItems[static_cast<unsigned>(Index1)], FItems[static_cast<unsigned>(Index2)]);
  Changed();
}

TCollectionItem* TCollection::FindItemID(int ID) const {
  for (TCollectionItem* Item : FItems)
    if (Item->FID == ID) return Item;
  return nullptr;
}

void TCollection::Assign(TPersistent* Source) {
  if (TCollection* C = dynamic_cast<TCollection*>(Source)) {
    if (C == this) return;
    WithUpdate(this, [&] {
      Clear();
      for (int I = 0; I < C->Count(); ++I) Add()->Assign(C->Items(I));
    });
    return;
  }
  TPersistent::Assign(Source);
}
