#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/Lists.h"
#include "support/MessageOf.h"

using exctest::MessageOf;

namespace {

void* P(std::intptr_t V) { return reinterpret_cast<void*>(V); }

// Counts destructions.
struct TCounted : TObject {
  T_CLASS(TCounted, TObject)
  explicit TCounted(int* Counter, int Value = 0) : FCounter(Counter), FValue(Value) {}
  ~TCounted() override { ++*FCounter; }
  int* FCounter;
  int FValue;
};

// Records notifications as "+1", "-1" (deleted), "x1" (extracted).
class TLoggingList : public TList {
 public:
  std::string Log;

 protected:
  void Notify(void* Ptr, TListNotification Action) override {
    Log += Action == lnAdded ? '+' : Action == lnDeleted ? '-' : 'x';
    Log += std::to_string(reinterpret_cast<std::intptr_t>(Ptr));
  }
};

std::string Joined(const TStrings& S) {
  std::string R;
  for (int I = 0; I < S.Count(); ++I) {
    if (I > 0) R += '|';
    R += S.Strings(I);
  }
  return R;
}

// ---- TList --------------------------------------------------------------------------------------

TEST(TList, IndexErrorsNameTheIndex) {
  TList L;
  L.Add(P(1));
  L.Add(P(2));
  EXPECT_EQ(MessageOf<EListError>([&] { L.Items(2); }), "List index out of bounds (2)");
  EXPECT_EQ(MessageOf<EListError>([&] { L.Items(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(MessageOf<EListError>([&] { L.SetItems(5, nullptr); }), "List index out of bounds (5)");
  EXPECT_EQ(MessageOf<EListError>([&] { L.Insert(3, P(9)); }), "List index out of bounds (3)");
  EXPECT_EQ(MessageOf<EListError>([&] { L.Delete(2); }), "List index out of bounds (2)");
  EXPECT_EQ(MessageOf<EListError>([&] { L.Exchange(0, 7); }), "List index out of bounds (7)");
  EXPECT_EQ(MessageOf<EListError>([&] { L.Move(0, 2); }), "List index out of bounds (2)");
  EXPECT_EQ(MessageOf<EListError>([&] { L.Move(4, 1); }), "List index out of bounds (4)");
  EXPECT_EQ(MessageOf<EListError>([&] { L.SetCapacity(1); }), "List capacity out of bounds (1)");
  EXPECT_EQ(MessageOf<EListError>([&] { L.SetCount(-1); }), "List count out of bounds (-1)");
  EXPECT_EQ(L.Count(), 2);

  TList Empty;
  EXPECT_EQ(MessageOf<EListError>([&] { Empty.First(); }), "List index out of bounds (0)");
  EXPECT_EQ(MessageOf<EListError>([&] { Empty.Last(); }), "List index out of bounds (-1)");
}

TEST(TList, EditingKeepsOrder) {
  TList L;
  for (int I = 1; I <= 5; ++I) L.Add(P(I));
  L.Insert(0, P(0));
  L.Insert(6, P(6));
  L.Delete(3);  // 0 1 2 4 5 6
  L.Move(0, 5);  // 1 2 4 5 6 0
  L.Move(4, 1);  // 1 6 2 4 5 0
  L.Exchange(0, 5);  // 0 6 2 4 5 1
  std::vector<std::intptr_t> Got;
  for (int I = 0; I < L.Count(); ++I) Got.push_back(reinterpret_cast<std::intptr_t>(L.Items(I)));
  EXPECT_EQ(Got, (std::vector<std::intptr_t>{0, 6, 2, 4, 5, 1}));
  EXPECT_EQ(L.IndexOf(P(4)), 3);
  EXPECT_EQ(L.IndexOf(P(42)), -1);
  EXPECT_EQ(L.Remove(P(6)), 1);
  EXPECT_EQ(L.Remove(P(6)), -1);
  EXPECT_EQ(L.First(), P(0));
  EXPECT_EQ(L.Last(), P(1));
}

TEST(TList, CapacityGrowsAndCountPadsWithNull) {
  TList L;
  EXPECT_EQ(L.Capacity(), 0);
  L.Expand();
  EXPECT_GE(L.Capacity(), 1);
  for (int I = 0; I < 1000; ++I) L.Add(P(I + 1));
  EXPECT_GE(L.Capacity(), 1000);
  L.SetCount(1003);
  EXPECT_EQ(L.Items(1002), nullptr);
  L.SetCount(10);
  EXPECT_EQ(L.Count(), 10);
  L.Clear();
  EXPECT_EQ(L.Count(), 0);
  EXPECT_EQ(L.Capacity(), 0);
}

TEST(TList, NotifySeesAddedDeletedAndExtracted) {
  TLoggingList L;
  L.Add(P(1));
  L.Add(nullptr);  // null items are not reported
  L.Insert(0, P(2));
  L.SetItems(0, P(3));
  EXPECT_EQ(L.Extract(P(1)), P(1));
  EXPECT_EQ(L.Extract(P(99)), nullptr);
  L.Delete(0);
  L.Add(P(4));
  L.Add(P(5));
  L.Clear();
  EXPECT_EQ(L.Log, "+1+2-2+3x1-3+4+5-5-4");
}

TEST(TList, PackRemovesNullItems) {
  TList L;
  L.Add(nullptr);
  L.Add(P(1));
  L.Add(nullptr);
  L.Add(nullptr);
  L.Add(P(2));
  L.Pack();
  ASSERT_EQ(L.Count(), 2);
  EXPECT_EQ(L.Items(0), P(1));
  EXPECT_EQ(L.Items(1), P(2));
}

TEST(TList, SortIsStableAndSurvivesInconsistentComparisons) {
  TList L;
  // Value = key * 1000 + original position; sorting by key must keep positions ascending.
  for (int I = 0; I < 500; ++I) L.Add(P((I * 7919 % 13) * 1000 + I));
  L.Sort([](void* A, void* B) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(A) / 1000 - reinterpret_cast<std::intptr_t>(B) / 1000);
  });
  for (int I = 1; I < L.Count(); ++I)
    EXPECT_LT(reinterpret_cast<std::intptr_t>(L.Items(I - 1)), reinterpret_cast<std::intptr_t>(L.Items(I)));

  // A comparison that answers at random gives some order of the same items, nothing worse.
  std::srand(7);
  L.Sort([](void*, void*) { return std::rand() % 3 - 1; });
  EXPECT_EQ(L.Count(), 500);
  std::vector<bool> Seen(500);
  for (int I = 0; I < L.Count(); ++I) Seen[reinterpret_cast<std::intptr_t>(L.Items(I)) % 1000] = true;
  EXPECT_EQ(std::count(Seen.begin(), Seen.end(), true), 500);
}

// ---- TObjectList --------------------------------------------------------------------------------

TEST(TObjectList, OwnsObjectsFreesWhatLeavesExceptExtracted) {
  int Freed = 0;
  auto* A = new TCounted(&Freed);
  auto* B = new TCounted(&Freed);
  auto* C = new TCounted(&Freed);
  auto* D = new TCounted(&Freed);
  {
    TObjectList L;
    EXPECT_TRUE(L.OwnsObjects());
    L.Add(A);
    L.Add(B);
    L.Add(C);
    L.Delete(0);
    EXPECT_EQ(Freed, 1);
    EXPECT_EQ(L.Extract(B), B);
    EXPECT_EQ(Freed, 1);
    L.SetItems(0, D);  // replaces C
    EXPECT_EQ(Freed, 2);
    EXPECT_EQ(L.Remove(D), 0);
    EXPECT_EQ(Freed, 3);
    L.Add(B);
  }
  EXPECT_EQ(Freed, 4);  // the destructor freed B
}

TEST(TObjectList, WithoutOwnershipNothingIsFreed) {
  int Freed = 0;
  TCounted A(&Freed), B(&Freed);
  {
    TObjectListOf<TCounted> L(false);
    L.Add(&A);
    L.Add(&B);
    EXPECT_EQ(L.Items(1)->FCounter, &Freed);
    L.Delete(0);
    L.Clear();
  }
  EXPECT_EQ(Freed, 0);
}

TEST(TObjectList, ObjectDestructorMayTouchTheList) {
  // An owned object that removes another entry while being freed.
  struct TSelfRemoving : TObject {
    T_CLASS(TSelfRemoving, TObject)
    TObjectList* List = nullptr;
    ~TSelfRemoving() override {
      if (List->Count() > 0) List->Extract(List->First());
    }
  };
  int Freed = 0;
  auto* Keep = new TCounted(&Freed);
  {
    TObjectList L;
    L.Add(Keep);
    auto* S = new TSelfRemoving;
    S->List = &L;
    L.Add(S);
    L.Clear();  // frees S, whose destructor extracts Keep
    EXPECT_EQ(L.Count(), 0);
  }
  EXPECT_EQ(Freed, 0);
  delete Keep;
}

// ---- TStringList ----------------------------------------------------------------------------------

TEST(TStringList, IndexErrorsAreStringListErrors) {
  TStringList S;
  S.Add("a");
  EXPECT_EQ(MessageOf<EStringListError>([&] { S.Strings(1); }), "List index out of bounds (1)");
  EXPECT_EQ(MessageOf<EStringListError>([&] { S.Objects(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(MessageOf<EStringListError>([&] { S.SetStrings(3, "x"); }), "List index out of bounds (3)");
  EXPECT_EQ(MessageOf<EStringListError>([&] { S.Insert(2, "x"); }), "List index out of bounds (2)");
  EXPECT_EQ(MessageOf<EStringListError>([&] { S.Delete(1); }), "List index out of bounds (1)");
  EXPECT_EQ(MessageOf<EStringListError>([&] { S.Exchange(0, 1); }), "List index out of bounds (1)");
  EXPECT_EQ(MessageOf<EStringListError>([&] { S.Move(0, 1); }), "List index out of bounds (1)");
  EXPECT_EQ(MessageOf<EStringListError>([&] { S.SetCapacity(0); }), "List capacity out of bounds (0)");
  const TStrings& Base = S;
  EXPECT_EQ(MessageOf<EStringListError>([&] { Base.Strings(5); }), "List index out of bounds (5)");
  EXPECT_EQ(S.Count(), 1);
}

TEST(TStringList, EditingMovesObjectsWithStrings) {
  TObject O1, O2, O3;
  TStringList S;
  S.AddObject("one", &O1);
  S.AddObject("two", &O2);
  S.InsertObject(0, "zero", &O3);
  S.Move(0, 2);
  EXPECT_EQ(Joined(S), "one|two|zero");
  EXPECT_EQ(S.Objects(2), &O3);
  S.Exchange(0, 1);
  EXPECT_EQ(Joined(S), "two|one|zero");
  EXPECT_EQ(S.Objects(0), &O2);
  EXPECT_EQ(S.IndexOf("ONE"), 1);  // letter case ignored by default
  EXPECT_EQ(S.IndexOfObject(&O3), 2);
  S.SetStrings(1, "uno");
  EXPECT_EQ(S.Objects(1), &O1);
  S.Delete(0);
  EXPECT_EQ(Joined(S), "uno|zero");
}

TEST(TStringList, SortedAddsInOrderAndFindsByHalves) {
  TStringList S;
  S.SetSorted(true);
  for (const char* W : {"pear", "Apple", "fig", "banana", "cherry"}) S.Add(W);
  EXPECT_EQ(Joined(S), "Apple|banana|cherry|fig|pear");
  int I = -1;
  EXPECT_TRUE(S.Find("FIG", I));
  EXPECT_EQ(I, 3);
  EXPECT_FALSE(S.Find("date", I));
  EXPECT_EQ(I, 3);  // where it would go
  EXPECT_FALSE(S.Find("zzz", I));
  EXPECT_EQ(I, 5);
  EXPECT_EQ(S.IndexOf("apple"), 0);
  EXPECT_EQ(S.IndexOf("kiwi"), -1);

  EXPECT_EQ(MessageOf<EStringListError>([&] { S.Insert(0, "x"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(MessageOf<EStringListError>([&] { S.SetStrings(0, "x"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(MessageOf<EStringListError>([&] { S.Exchange(0, 1); }), "Operation not allowed on sorted list");
  EXPECT_EQ(MessageOf<EStringListError>([&] { S.Move(0, 1); }), "Operation not allowed on sorted list");
  EXPECT_EQ(Joined(S), "Apple|banana|cherry|fig|pear");
}

TEST(TStringList, SettingSortedSortsExistingLines) {
  TStringList S;
  S.SetText("c\nb\na\nb\n");
  S.SetSorted(true);
  EXPECT_EQ(Joined(S), "a|b|b|c");  // duplicates already there stay
  S.SetSorted(false);
  S.Add("0");
  EXPECT_EQ(S.Strings(4), "0");
}

TEST(TStringList, DuplicatesPolicies) {
  TObject First, Second;
  TStringList S;
  S.SetSorted(true);
  S.AddObject("b", &First);
  S.Add("a");
  EXPECT_EQ(S.AddObject("B", &Second), 1);  // dupIgnore: the existing index, nothing added
  EXPECT_EQ(S.Count(), 2);
  EXPECT_EQ(S.Objects(1), &First);

  S.SetDuplicates(dupError);
  EXPECT_EQ(MessageOf<EStringListError>([&] { S.Add("A"); }), "String list does not allow duplicates");
  EXPECT_EQ(S.Count(), 2);

  S.SetDuplicates(dupAccept);
  EXPECT_EQ(S.AddObject("B", &Second), 1);  // before the equal one
  EXPECT_EQ(S.Objects(1), &Second);
  EXPECT_EQ(S.Objects(2), &First);
  int I = -1;
  EXPECT_TRUE(S.Find("b", I));
  EXPECT_EQ(I, 1);  // the first of the equal lines

  TStringList U;  // duplicates only matter to sorted lists
  U.SetDuplicates(dupError);
  U.Add("x");
  U.Add("x");
  EXPECT_EQ(U.Count(), 2);
}

TEST(TStringList, CaseSensitiveComparesBytes) {
  TStringList S;
  S.SetSorted(true);
  S.Add("b");
  S.Add("a");
  S.Add("B");  // ignored: equal to "b" without regard to case
  EXPECT_EQ(Joined(S), "a|b");
  S.SetCaseSensitive(true);
  S.Add("B");
  S.Add("A");
  EXPECT_EQ(Joined(S), "A|B|a|b");  // byte order: capitals first
  EXPECT_EQ(S.IndexOf("b"), 3);
  EXPECT_EQ(S.IndexOf("B"), 1);
  S.SetCaseSensitive(false);  // sorted again by the new comparison
  int I = -1;
  EXPECT_TRUE(S.Find("a", I));
  EXPECT_LE(I, 1);
  EXPECT_TRUE(S.Find("B", I));
  EXPECT_GE(I, 2);
}

TEST(TStringList, TextJoinsWithCrLfAndSplitsEveryLineEnd) {
  TStringList S;
  EXPECT_EQ(S.Text(), "");
  S.SetText("a\r\nb\nc\rd");
  EXPECT_EQ(Joined(S), "a|b|c|d");
  EXPECT_EQ(S.Text(), "a\r\nb\r\nc\r\nd\r\n");
  S.SetText(S.Text());
  EXPECT_EQ(Joined(S), "a|b|c|d");

  S.SetText("\r\n\nx\r\r\ny\n\n");  // empty lines count; a final line end adds none
  EXPECT_EQ(S.Count(), 6);
  EXPECT_EQ(Joined(S), "||x||y|");
  S.SetText("");
  EXPECT_EQ(S.Count(), 0);
  S.SetText(std::string("one\ntwo\0three", 13));  // a NUL byte ends the text
  EXPECT_EQ(Joined(S), "one|two");

  TStringList Sorted;  // the sorted path goes through Add
  Sorted.SetSorted(true);
  Sorted.SetText("b\r\na\r\nb\r\n");
  EXPECT_EQ(Joined(Sorted), "a|b");
}

TEST(TStringList, NamesAndValues) {
  TStringList S;
  S.SetText("Host=example\nport=80\nplain line\nPath=a=b\n");
  EXPECT_EQ(S.Names(0), "Host");
  EXPECT_EQ(S.Names(2), "");
  EXPECT_EQ(S.Values("HOST"), "example");
  EXPECT_EQ(S.Values("Path"), "a=b");
  EXPECT_EQ(S.Values("missing"), "");
  EXPECT_EQ(S.IndexOfName("PORT"), 1);
  EXPECT_EQ(S.IndexOfName("plain line"), -1);
  EXPECT_EQ(S.ValueFromIndex(3), "a=b");
  EXPECT_EQ(S.ValueFromIndex(2), "");
  EXPECT_EQ(S.ValueFromIndex(-1), "");

  S.SetValues("PORT", "8080");  // replaces the line, taking the given name
  EXPECT_EQ(S.Strings(1), "PORT=8080");
  S.SetValues("User", "me");
  EXPECT_EQ(S.Strings(4), "User=me");
  S.SetValues("host", "");
  EXPECT_EQ(S.IndexOfName("Host"), -1);
  EXPECT_EQ(S.Count(), 4);
  S.SetValueFromIndex(0, "81");
  EXPECT_EQ(S.Strings(0), "PORT=81");

  TStringList Sorted;
  Sorted.SetSorted(true);
  Sorted.SetValues("b", "1");
  Sorted.SetValues("a", "2");
  Sorted.SetValues("b", "3");
  EXPECT_EQ(Joined(Sorted), "a=2|b=3");
}

TEST(TStringList, CommaTextQuotesAndParses) {
  TStringList S;
  S.SetText("plain\nwith space\nquote\"d\ncomma,\n\n");
  EXPECT_EQ(S.CommaText(), "plain,\"with space\",\"quote\"\"d\",\"comma,\",");
  TStringList R;
  R.SetCommaText(S.CommaText());
  EXPECT_EQ(Joined(R), "plain|with space|quote\"d|comma,|");

  R.SetCommaText("  a , b c,\"x,y\"\"z\",,last");
  EXPECT_EQ(Joined(R), "a|b|c|x,y\"z||last");
  R.SetCommaText("\"");  // an unterminated quote runs to the end
  EXPECT_EQ(R.Count(), 1);
  EXPECT_EQ(R.Strings(0), "");
  R.SetCommaText("\"\"");
  EXPECT_EQ(R.Count(), 1);
  EXPECT_EQ(R.CommaText(), "\"\"");
  R.SetCommaText("");
  EXPECT_EQ(R.Count(), 0);

  R.SetDelimiter(';');
  R.SetDelimitedText("a;b b;'c';");
  EXPECT_EQ(Joined(R), "a|b|b|'c'|");
  R.SetQuoteChar('\'');
  R.SetDelimitedText("'c;d';e");
  EXPECT_EQ(Joined(R), "c;d|e");
  EXPECT_EQ(R.DelimitedText(), "'c;d';e");
}

TEST(TStringList, ChangeEventsAreGroupedByUpdates) {
  TStringList S;
  int Changing = 0, Changed = 0;
  S.OnChanging = [&](TObject* Sender) {
    EXPECT_EQ(Sender, &S);
    ++Changing;
  };
  S.OnChange = [&](TObject*) { ++Changed; };
  S.Add("a");
  S.Add("b");
  S.Delete(0);
  EXPECT_EQ(Changing, 3);
  EXPECT_EQ(Changed, 3);
  S.BeginUpdate();
  S.BeginUpdate();
  S.Add("c");
  S.Clear();
  S.EndUpdate();
  EXPECT_EQ(Changed, 3);
  S.EndUpdate();
  EXPECT_EQ(Changing, 4);
  EXPECT_EQ(Changed, 4);
  S.SetText("x\ny\nz");
  EXPECT_EQ(Changed, 5);
  S.Clear();
  S.Clear();  // nothing to clear: no event
  EXPECT_EQ(Changed, 6);
}

TEST(TStringList, OwnsObjectsFreesOnDeleteClearAndDestruction) {
  int Freed = 0;
  {
    TStringList S(true);
    S.AddObject("a", new TCounted(&Freed));
    S.AddObject("b", new TCounted(&Freed));
    S.AddObject("c", new TCounted(&Freed));
    S.AddObject("d", new TCounted(&Freed));
    S.Move(0, 3);  // moving does not free
    EXPECT_EQ(Freed, 0);
    S.Delete(0);
    EXPECT_EQ(Freed, 1);
    S.SetText("e\nf");  // clears first
    EXPECT_EQ(Freed, 4);
    S.SetObjects(0, new TCounted(&Freed));
  }
  EXPECT_EQ(Freed, 5);
}

TEST(TStringList, AssignAndAddStrings) {
  TObject O;
  TStringList A;
  A.AddObject("x", &O);
  A.Add("y");
  TStringList B;
  B.Add("old");
  B.Assign(&A);
  EXPECT_EQ(Joined(B), "x|y");
  EXPECT_EQ(B.Objects(0), &O);
  EXPECT_TRUE(B.Equals(&A));
  B.Assign(&B);  // assigning itself keeps the lines
  EXPECT_EQ(Joined(B), "x|y");
  B.AddStrings(&B);  // adds each line once
  EXPECT_EQ(Joined(B), "x|y|x|y");
  EXPECT_FALSE(B.Equals(&A));

  TCollection C(TCollection::ItemClassOf<TCollectionItem>());
  EXPECT_EQ(MessageOf<EConvertError>([&] { B.Assign(&C); }), "Cannot assign a TCollection to a TStringList");
  EXPECT_EQ(MessageOf<EConvertError>([&] { B.Assign(nullptr); }), "Cannot assign a nil to a TStringList");
}

TEST(TStringList, SortAndCustomSort) {
  TStringList S;
  S.SetText("b2\nA1\nb1\na2");
  S.Sort();
  EXPECT_EQ(Joined(S), "A1|a2|b1|b2");
  // By the digit only; stable for equal digits.
  S.CustomSort([](TStringList* L, int I1, int I2) { return L->Strings(I1)[1] - L->Strings(I2)[1]; });
  EXPECT_EQ(Joined(S), "A1|b1|a2|b2");
  // A comparison that throws leaves the list as it was.
  EXPECT_THROW(S.CustomSort([](TStringList*, int, int) -> int { throw EAbort("stop"); }), EAbort);
  EXPECT_EQ(Joined(S), "A1|b1|a2|b2");
}

// ---- TCollection --------------------------------------------------------------------------------

struct TNamedItem : TCollectionItem {
  T_CLASS(TNamedItem, TCollectionItem)
  using TCollectionItem::TCollectionItem;
  AnsiString Name;
  AnsiString DisplayName() const override { return Name.empty() ? TCollectionItem::DisplayName() : Name; }
  void Assign(TPersistent* Source) override {
    if (auto* N = dynamic_cast<TNamedItem*>(Source)) {
      Name = N->Name;
      return;
    }
    TCollectionItem::Assign(Source);
  }
};

struct TPlainItem : TCollectionItem {
  T_CLASS(TPlainItem, TCollectionItem)
  using TCollectionItem::TCollectionItem;
};

class TLoggingCollection : public TOwnedCollection {
 public:
  using TOwnedCollection::TOwnedCollection;
  std::string Log;

 protected:
  void Update(TCollectionItem* Item) override {
    if (Item == nullptr) {
      Log += "U ";
      return;
    }
    Log += 'u';
    Log += std::to_string(Item->ID());
    Log += ' ';
  }
  void Notify(TCollectionItem* Item, TCollectionNotification Action) override {
    Log += Action == cnAdded ? 'a' : Action == cnExtracting ? 'x' : 'd';
    Log += std::to_string(Item->ID());
    Log += ' ';
  }
};

std::string Order(const TCollection& C) {
  std::string R;
  for (int I = 0; I < C.Count(); ++I) R += std::to_string(C.Items(I)->ID());
  return R;
}

TEST(TCollection, ItemsKnowTheirCollectionIndexAndId) {
  TPersistent Owner;
  TOwnedCollection C(&Owner, TCollection::ItemClassOf<TNamedItem>());
  EXPECT_EQ(C.GetOwner(), &Owner);
  EXPECT_EQ(C.Owner(), &Owner);
  TCollectionItem* A = C.Add();
  TCollectionItem* B = C.Add();
  TCollectionItem* D = C.Insert(0);
  EXPECT_EQ(Order(C), "201");
  EXPECT_EQ(A->Collection(), &C);
  EXPECT_EQ(A->GetOwner(), &C);
  EXPECT_EQ(A->Index(), 1);
  EXPECT_EQ(D->ID(), 2);
  EXPECT_EQ(C.FindItemID(1), B);
  EXPECT_EQ(C.FindItemID(7), nullptr);
  EXPECT_EQ(A->DisplayName(), "TNamedItem");

  D->SetIndex(2);
  EXPECT_EQ(Order(C), "012");
  B->SetIndex(0);
  EXPECT_EQ(Order(C), "102");
  C.Exchange(0, 2);
  EXPECT_EQ(Order(C), "201");

  EXPECT_EQ(MessageOf<EListError>([&] { A->SetIndex(3); }), "List index out of bounds (3)");
  EXPECT_EQ(MessageOf<EListError>([&] { C.Items(3); }), "List index out of bounds (3)");
  EXPECT_EQ(MessageOf<EListError>([&] { C.Delete(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(MessageOf<EListError>([&] { C.Insert(4); }), "List index out of bounds (4)");
  EXPECT_EQ(C.Count(), 3);

  delete A;  // freeing an item takes it out
  EXPECT_EQ(Order(C), "21");
  C.Delete(0);
  EXPECT_EQ(Order(C), "1");
  EXPECT_EQ(C.Add()->ID(), 3);  // IDs are not reused
}

TEST(TCollection, NotificationsAndUpdates) {
  TLoggingCollection C(nullptr, TCollection::ItemClassOf<TPlainItem>());
  C.Add();
  C.Add();
  C.Items(1)->SetIndex(0);
  C.Items(0)->SetDisplayName("x");
  C.Delete(1);
  EXPECT_EQ(C.Log, "a0 U a1 U U u1 d0 x0 U ");
  C.Log.clear();
  C.BeginUpdate();
  C.Add();
  C.Clear();
  EXPECT_EQ(C.Log, "a2 x2 x1 ");
  C.EndUpdate();
  EXPECT_EQ(C.Log, "a2 x2 x1 U ");
}

TEST(TCollection, ItemsMoveBetweenCollections) {
  TCollection A(TCollection::ItemClassOf<TPlainItem>());
  auto* Item = new TPlainItem(nullptr);
  EXPECT_EQ(Item->Index(), -1);
  Item->SetCollection(&A);
  EXPECT_EQ(A.Count(), 1);
  {
    TCollection B(TCollection::ItemClassOf<TPlainItem>());
    Item->SetCollection(&B);
    EXPECT_EQ(A.Count(), 0);
    EXPECT_EQ(Item->Index(), 0);
  }  // B frees the item
  EXPECT_EQ(A.Count(), 0);
}

TEST(TCollection, AssignCopiesThroughItemAssign) {
  TCollection Src(TCollection::ItemClassOf<TNamedItem>());
  static_cast<TNamedItem*>(Src.Add())->Name = "one";
  static_cast<TNamedItem*>(Src.Add())->Name = "two";
  TCollection Dst(TCollection::ItemClassOf<TNamedItem>());
  Dst.Add();
  Dst.Assign(&Src);
  ASSERT_EQ(Dst.Count(), 2);
  EXPECT_EQ(Dst.Items(1)->DisplayName(), "two");

  TCollection Plain(TCollection::ItemClassOf<TPlainItem>());
  Plain.Add();
  TCollection Other(TCollection::ItemClassOf<TPlainItem>());
  EXPECT_EQ(MessageOf<EConvertError>([&] { Other.Assign(&Plain); }), "Cannot assign a TPlainItem to a TPlainItem");
  TStringList S;
  EXPECT_EQ(MessageOf<EConvertError>([&] { Other.Assign(&S); }), "Cannot assign a TStringList to a TCollection");

  TCollection NoClass(nullptr);
  EXPECT_THROW(NoClass.Add(), EInvalidOperation);
}

}  // namespace
