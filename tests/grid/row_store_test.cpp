// The row side of the cell store at scale: the row array under every kind of edit, the count of
// shown rows by position, the parent search, and the text sorts by keys. Costs are held flat by
// counts (items moved, row records read), never by clocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/Strings.h"
#include "grid/NxCells.h"
#include "grid/NxRowArray.h"
#include "grid/NxRowIndex.h"

namespace {

struct Columns : TCellStoreColumns {
  std::vector<TColumnKind> Kinds;
  std::vector<TVirtualCellValues*> Values;
  int ColumnCount() const override { return static_cast<int>(Kinds.size()); }
  TColumnKind ColumnKind(int I) const override { return Kinds.at(static_cast<std::size_t>(I)); }
  TFontStyles ColumnFontStyle(int) const override { return {}; }
  TColor ColumnFontColor(int) const override { return 0; }
  TColor ColumnColor(int) const override { return 0; }
  TVirtualCellValues* ColumnValues(int I) const override { return Values.at(static_cast<std::size_t>(I)); }
};

struct Store {
  Columns Cols;
  TCells Cells{nullptr, &Cols};
  explicit Store(int ColumnCount = 1) {
    for (int C = 0; C < ColumnCount; ++C) AddColumn(ckString);
  }
  void AddColumn(TColumnKind Kind, TVirtualCellValues* Values = nullptr) {
    Cols.Kinds.push_back(Kind);
    Cols.Values.push_back(Values);
    Cells.AddColumn();
  }
  void Set(int Col, int Row, const std::wstring& S) { Cells.GetCell(Col, Row)->SetAsString(S); }
  std::wstring Get(int Col, int Row) { return Cells.GetCell(Col, Row)->AsString(); }
};

// Texts of Latin and Cyrillic letters in both cases, digits, spaces and the marks a channel name
// holds.
std::wstring RandomText(std::mt19937& Rng) {
  static const std::wstring Alphabet =
      L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
      L"абвгдеёжзийклмнопрстуфхцчшщъыьэюяАБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"
      L"0123456789   -'.,+!";
  std::wstring S;
  const int Length = static_cast<int>(Rng() % 12);
  for (int I = 0; I < Length; ++I) S += Alphabet[Rng() % Alphabet.size()];
  return S;
}

int Sign(int V) { return V < 0 ? -1 : V > 0 ? 1 : 0; }

int CompareKeys(const std::string& A, const std::string& B) {
  const int C = std::memcmp(A.data(), B.data(), std::min(A.size(), B.size()));
  if (C != 0) return Sign(C);
  return A.size() < B.size() ? -1 : A.size() > B.size() ? 1 : 0;
}

// Where the test's array last placed each item (items are 0, 1, 2, ...).
std::vector<int> SlotOf;
struct TRecordSlots {
  static void Placed(int Item, int Slot) {
    if (static_cast<std::size_t>(Item) >= SlotOf.size()) SlotOf.resize(static_cast<std::size_t>(Item) + 1);
    SlotOf[static_cast<std::size_t>(Item)] = Slot;
  }
};

}  // namespace

// ---- the row array -------------------------------------------------------------------------

TEST(RowArray, FollowsAVectorUnderEveryKindOfEdit) {
  TRowArray<int, TRecordSlots> A;
  std::vector<int> Model;
  std::mt19937 Rng(3);
  int Next = 0;
  for (int Step = 0; Step < 20000; ++Step) {
    const int N = static_cast<int>(Model.size());
    switch (Rng() % 8) {
      case 0:
        A.Add(Next);
        Model.push_back(Next++);
        break;
      case 1: {
        const int I = N == 0 ? 0 : static_cast<int>(Rng() % (N + 1));
        A.Insert(I, Next);
        Model.insert(Model.begin() + I, Next++);
        break;
      }
      case 2: {
        // Either end, where the array is meant to be cheap.
        const int I = Rng() % 2 ? 0 : N;
        A.Insert(I, Next);
        Model.insert(Model.begin() + I, Next++);
        break;
      }
      case 3:
        if (N > 0) {
          const int I = static_cast<int>(Rng() % N);
          A.Delete(I);
          Model.erase(Model.begin() + I);
        }
        break;
      case 4:
        if (N > 0) {
          const int From = static_cast<int>(Rng() % N), To = static_cast<int>(Rng() % N);
          A.Move(From, To);
          const int V = Model[From];
          Model.erase(Model.begin() + From);
          Model.insert(Model.begin() + To, V);
        }
        break;
      case 5:
        if (N > 0) {
          const int X = static_cast<int>(Rng() % N), Y = static_cast<int>(Rng() % N);
          A.Exchange(X, Y);
          std::swap(Model[X], Model[Y]);
        }
        break;
      case 6:
        if (N > 0 && Rng() % 50 == 0) {
          std::vector<int> Order(static_cast<std::size_t>(N));
          for (int I = 0; I < N; ++I) Order[I] = N - 1 - I;
          A.Permute(Order);
          std::reverse(Model.begin(), Model.end());
        }
        break;
      case 7: {
        // Scattered positions, a run, or one.
        std::vector<int> Gone;
        const int Kind = static_cast<int>(Rng() % 3);
        const int Start = N == 0 ? 0 : static_cast<int>(Rng() % N);
        const int Gap = Kind == 0 ? 1 + static_cast<int>(Rng() % 4) : 1;
        for (int I = Start; I < N && static_cast<int>(Gone.size()) < (Kind == 2 ? 1 : 6); I += Gap) Gone.push_back(I);
        A.DeleteSorted(Gone.data(), static_cast<int>(Gone.size()));
        for (auto It = Gone.rbegin(); It != Gone.rend(); ++It) Model.erase(Model.begin() + *It);
        break;
      }
    }
    ASSERT_EQ(A.Count(), static_cast<int>(Model.size())) << "step " << Step;
    if (Step % 97 == 0) {
      for (int I = 0; I < A.Count(); ++I) {
        ASSERT_EQ(A[I], Model[I]) << "step " << Step << " item " << I;
        ASSERT_EQ(A.PositionOfSlot(SlotOf[static_cast<std::size_t>(A[I])]), I) << "step " << Step;
      }
    }
  }
  for (int I = 0; I < A.Count(); ++I) ASSERT_EQ(A.Items(I), Model[I]);
  if (!Model.empty()) {
    EXPECT_EQ(A.IndexOf(Model.back()), A.Count() - 1);
  }
  EXPECT_EQ(A.IndexOf(-5), -1);
  EXPECT_THROW(A.Items(A.Count()), EListError);
  EXPECT_THROW(A.Delete(-1), EListError);
  EXPECT_THROW(A.Insert(A.Count() + 1, 0), EListError);
}

// Appending, inserting at the top and deleting from the top: each costs the same however many
// rows there are, so a whole run of them moves items in proportion to the rows (never to their
// square).
TEST(RowArray, EndsGrowAndShrinkInLinearWork) {
  for (const int N : {1000, 100000}) {
    TRowArray<int> A;
    for (int I = 0; I < N; ++I) A.Add(I);
    for (int I = 0; I < N; ++I) A.Insert(0, I);
    for (int I = 0; I < 2 * N; ++I) A.Delete(0);
    EXPECT_EQ(A.Count(), 0);
    EXPECT_LE(A.Moved(), 8u * static_cast<std::uint64_t>(N)) << N << " rows";
  }
}

TEST(RowStore, DeletingEveryRowFromTheTopIsLinear) {
  for (const int N : {1000, 100000}) {
    Store S(2);
    S.Cells.AddRows(N);
    const std::uint64_t Before = S.Cells.ItemsMoved();
    for (int I = 0; I < N; ++I) S.Cells.DeleteRow(0);
    EXPECT_EQ(S.Cells.RowCount(), 0);
    // Three lists (two columns and the records), each moving a constant number per row.
    EXPECT_LE(S.Cells.ItemsMoved() - Before, 3u * 4u * static_cast<std::uint64_t>(N)) << N << " rows";
  }
}

// ---- the count of shown rows ---------------------------------------------------------------

TEST(RowCountIndex, AgreesWithARecount) {
  std::mt19937 Rng(11);
  std::vector<bool> Flags;
  TRowCountIndex Index;
  auto Build = [&] { Index.Build(static_cast<int>(Flags.size()), [&](int I) { return Flags[I]; }); };
  Build();
  for (int Step = 0; Step < 6000; ++Step) {
    const int Op = static_cast<int>(Rng() % 6);
    const int N = static_cast<int>(Flags.size());
    if (Op == 0 || Flags.empty()) {
      const bool F = Rng() % 3 != 0;
      Flags.push_back(F);
      Index.Append(F);
    } else if (Op == 1) {
      const int I = static_cast<int>(Rng() % N);
      Index.Change(I, Flags[I] ? -1 : 1);
      Flags[I] = !Flags[I];
    } else if (Op == 2) {
      Flags.pop_back();
      Index.RemoveLast();
    } else if (Op == 3) {
      // Runs of rows put in anywhere (chunks fill and split).
      const int I = static_cast<int>(Rng() % (N + 1));
      for (int K = static_cast<int>(Rng() % 80); K >= 0; --K) {
        const bool F = Rng() % 2 != 0;
        Flags.insert(Flags.begin() + I, F);
        Index.Insert(I, F);
      }
    } else if (Op == 4) {
      const int I = static_cast<int>(Rng() % N);
      const int K = std::min(N - I, 1 + static_cast<int>(Rng() % (Rng() % 4 == 0 ? 150 : 3)));
      Flags.erase(Flags.begin() + I, Flags.begin() + I + K);
      Index.Erase(I, K);
    } else if (Rng() % 20 == 0) {
      Build();
    }
    ASSERT_EQ(Index.Count(), static_cast<int>(Flags.size()));
    int Seen = 0;
    for (int I = 0; I <= static_cast<int>(Flags.size()); ++I) {
      ASSERT_EQ(Index.Before(I), Seen) << "step " << Step << " row " << I;
      if (I < static_cast<int>(Flags.size()) && Flags[I]) {
        ASSERT_EQ(Index.Find(Seen), I) << "step " << Step;
        ++Seen;
      }
    }
    ASSERT_EQ(Index.Find(Seen), Index.Count());
  }
}

TEST(RowStore, ShownCountsAgreeWithARecountUnderRowOperations) {
  Store S(2);
  std::mt19937 Rng(5);
  S.Cells.AddRows(40);
  for (int Step = 0; Step < 2500; ++Step) {
    const int N = S.Cells.RowCount();
    switch (Rng() % 9) {
      case 0: S.Cells.AddRows(1 + static_cast<int>(Rng() % 3)); break;
      case 1: S.Cells.InsertRow(static_cast<int>(Rng() % (N + 1))); break;
      case 2:
        if (N > 0) S.Cells.InsertChildRow(static_cast<int>(Rng() % N), static_cast<int>(Rng() % (N + 1)));
        break;
      case 3:
        if (N > 1) S.Cells.DeleteRow(Rng() % 2 ? N - 1 : static_cast<int>(Rng() % N));
        break;
      case 4:
        if (N > 0) S.Cells.MoveRow(static_cast<int>(Rng() % N), static_cast<int>(Rng() % N));
        break;
      case 5:
        if (N > 0) S.Cells.ExchangeRows(static_cast<int>(Rng() % N), static_cast<int>(Rng() % N));
        break;
      case 6:
        if (N > 0) S.Cells.SetRowVisible(static_cast<int>(Rng() % N), Rng() % 3 == 0);
        break;
      case 7:
        if (N > 0) S.Cells.SetRowShown(static_cast<int>(Rng() % N), Rng() % 3 == 0);
        break;
      case 8:
        for (int R = 0; R < N; ++R) S.Set(0, R, std::to_wstring(Rng() % 50));
        S.Cells.Sort(0, stAlphabetic, Rng() % 2 ? skAscending : skDescending, false);
        break;
    }
    std::vector<int> Shown;
    for (int R = 0; R < S.Cells.RowCount(); ++R)
      if (S.Cells.GetRow(R)->Visible && S.Cells.GetRow(R)->Shown) Shown.push_back(R);
    ASSERT_EQ(S.Cells.ShownRowCount(), static_cast<int>(Shown.size())) << "step " << Step;
    std::size_t K = 0;
    for (int R = 0; R <= S.Cells.RowCount(); ++R) {
      ASSERT_EQ(S.Cells.ShownRowsBefore(R), static_cast<int>(K)) << "step " << Step << " row " << R;
      if (K < Shown.size() && Shown[K] == R) ++K;
    }
    for (std::size_t I = 0; I < Shown.size(); ++I) ASSERT_EQ(S.Cells.ShownRowAt(static_cast<int>(I)), Shown[I]);
    ASSERT_EQ(S.Cells.ShownRowAt(static_cast<int>(Shown.size())), -1);
    ASSERT_EQ(S.Cells.ShownRowAt(-1), -1);
  }
}

// Once the hidden rows are indexed, counting and finding shown rows reads no row records, and
// hiding or showing one row reads only that row.
TEST(RowStore, ShownRowQuestionsReadNoRows) {
  for (const int N : {1000, 100000}) {
    Store S;
    S.Cells.AddRows(N);
    for (int R = 0; R < N; R += 3) S.Cells.SetRowVisible(R, false);
    S.Cells.ShownRowsBefore(1);  // builds the index
    const std::uint64_t Before = S.Cells.RowReads();
    int Sum = 0;
    for (int I = 0; I < 1000; ++I) {
      Sum += S.Cells.ShownRowsBefore(static_cast<int>((I * 7919LL) % N));
      Sum += S.Cells.ShownRowAt(I % S.Cells.ShownRowCount());
    }
    S.Cells.SetRowVisible(N / 2, false);
    S.Cells.SetRowVisible(N / 2 + 1, true);
    S.Cells.ExchangeRows(1, N - 2);
    S.Cells.AddRows(1);
    S.Cells.DeleteRow(S.Cells.RowCount() - 1);
    EXPECT_GT(Sum, 0);
    EXPECT_LE(S.Cells.RowReads() - Before, 10u) << N << " rows";
  }
}

// ---- trees ----------------------------------------------------------------------------------

// Every tree field follows the chain of parents, whatever moves, exchanges, sorts, deletions of
// single rows and of trees, and expand and collapse do: a row's level is the length of its chain,
// its descendants are the rows whose chain reaches it, and it is shown when every row up its chain
// is expanded. A parent's position is found in two reads. The fields are looked at after every
// step, and, in later runs, after every fourth step only (changes pile up between the looks),
// also among rows that start as a chain a hundred levels deep.
TEST(RowStore, TreeFieldsFollowTheChainsOfParents) {
  for (const auto& [Every, Chain] : {std::pair{1, 0}, {4, 0}, {4, 100}}) {
    SCOPED_TRACE("looked at every " + std::to_string(Every) + " steps, chain of " + std::to_string(Chain));
    Store S;
    std::mt19937 Rng(9);
    S.Cells.AddRows(5);
    for (int Parent = 0; Parent < Chain; ++Parent) S.Cells.InsertChildRow(Parent, Parent + 1);
    for (int Step = 0; Step < 3000; ++Step) {
      const int N = S.Cells.RowCount();
      const int R = N > 0 ? static_cast<int>(Rng() % N) : 0;
      switch (Rng() % 10) {
        case 0:
        case 1: S.Cells.InsertChildRow(R, static_cast<int>(Rng() % (N + 1))); break;
        case 2: S.Cells.MoveRow(R, static_cast<int>(Rng() % N)); break;
        case 3: S.Cells.ExchangeRows(R, static_cast<int>(Rng() % N)); break;
        case 4:
          for (int K = 0; K < N; ++K) S.Set(0, K, std::to_wstring(Rng() % 100));
          S.Cells.Sort(0, stAlphabetic, skAscending, true);
          break;
        case 5: S.Cells.InsertRow(static_cast<int>(Rng() % (N + 1))); break;
        case 6:
          if (N > 30) S.Cells.DeleteRow(R);
          else S.Cells.AddRows(2);
          break;
        case 7:
          if (N > 30) S.Cells.DeleteRowTree(R);
          break;
        case 8: S.Cells.SetRowExpanded(R, Rng() % 2 != 0); break;
        case 9: S.Cells.SetRowVisible(R, Rng() % 4 != 0); break;
      }
      if (Step % Every != 0) continue;
      const int Rows = S.Cells.RowCount();
      std::vector<int> Descendants(static_cast<std::size_t>(Rows)), Children(static_cast<std::size_t>(Rows));
      int Shown = 0;
      for (int K = 0; K < Rows; ++K) {
        const TRow* Row = S.Cells.GetRow(K);
        int Level = 0;
        bool Open = true;
        for (const TRow* P = Row->ParentRow; P != nullptr; P = P->ParentRow) {
          ++Level;
          Open = Open && P->Expanded;
          ++Descendants[static_cast<std::size_t>(S.Cells.IndexOfRow(const_cast<TRow*>(P)))];
        }
        if (Row->ParentRow != nullptr) ++Children[static_cast<std::size_t>(S.Cells.ParentIndexOf(K))];
        ASSERT_EQ(Row->Level, Level) << "step " << Step << " row " << K;
        ASSERT_EQ(Row->Shown, Open) << "step " << Step << " row " << K;
        const std::uint64_t Before = S.Cells.RowReads();
        ASSERT_EQ(S.Cells.ParentIndexOf(K), Row->ParentRow != nullptr ? S.Cells.IndexOfRow(Row->ParentRow) : -1);
        ASSERT_LE(S.Cells.RowReads() - Before, 3u);
        Shown += Row->Visible && Open ? 1 : 0;
      }
      for (int K = 0; K < Rows; ++K) {
        SCOPED_TRACE("step " + std::to_string(Step) + " row " + std::to_string(K));
        ASSERT_EQ(S.Cells.DescendantCount(K), Descendants[static_cast<std::size_t>(K)]);
        ASSERT_EQ(S.Cells.GetRow(K)->ChildCount, Children[static_cast<std::size_t>(K)]);
      }
      ASSERT_EQ(S.Cells.ShownRowCount(), Shown) << "step " << Step;
      if (Rows == 0) continue;
      // As many positions as the row and its descendants, each the row or one whose chain reaches it.
      const int Root = R % Rows;
      const std::vector<int> Tree = S.Cells.TreePositions(Root);
      ASSERT_EQ(static_cast<int>(Tree.size()), Descendants[static_cast<std::size_t>(Root)] + 1) << "step " << Step;
      for (const int K : Tree) {
        const TRow* P = S.Cells.GetRow(K);
        while (P != nullptr && P != S.Cells.GetRow(Root)) P = P->ParentRow;
        ASSERT_NE(P, nullptr) << "step " << Step << " row " << K;
      }
    }
  }
}

// A chain of child rows many levels deep is built in work that grows with its length alone: each
// row put under the deepest one, right under it or after its descendants, reads as many rows at
// 16,000 levels as at 2,000. Its descendant counts are right all the same, and stay right while
// the chain is taken down again from its deepest row, further than a change is counted at once.
TEST(RowStore, ADeepChainOfChildRowsIsBuiltInLinearWork) {
  for (const bool AfterDescendants : {false, true}) {
    SCOPED_TRACE(AfterDescendants ? "after the descendants" : "right under the parent");
    double PerRow[2] = {};
    for (const int Depth : {2000, 16000}) {
      Store S;
      S.Cells.AddRows(1);
      const std::uint64_t Before = S.Cells.RowReads();
      for (int Parent = 0; Parent < Depth; ++Parent)
        S.Cells.InsertChildRow(Parent, Parent + 1 + (AfterDescendants ? S.Cells.DescendantsFollowing(Parent) : 0));
      PerRow[Depth > 2000] = static_cast<double>(S.Cells.RowReads() - Before) / Depth;
      ASSERT_EQ(S.Cells.GetRow(Depth)->Level, Depth);
      EXPECT_EQ(S.Cells.DescendantCount(0), Depth);
      EXPECT_EQ(S.Cells.DescendantCount(Depth / 2), Depth - Depth / 2);
      for (int K = 0; K < 40; ++K) S.Cells.DeleteRowTree(S.Cells.RowCount() - 1);
      EXPECT_EQ(S.Cells.DescendantCount(0), Depth - 40);
      EXPECT_EQ(S.Cells.DescendantCount(Depth / 2), Depth - 40 - Depth / 2);
    }
    EXPECT_LE(PerRow[1], PerRow[0] + 1) << "rows read per row: " << PerRow[0] << " and " << PerRow[1];
  }
}

// ---- the text sorts by keys ----------------------------------------------------------------

// The key of stUnicodeAlphabetic orders texts as the platform's locale-aware comparison does
// (code units where the platform compares code units), on Latin and Cyrillic text.
TEST(UnicodeSortKey, OrdersTextsAsTheComparisonDoes) {
  std::mt19937 Rng(21);
  std::vector<std::wstring> Texts;
  for (int I = 0; I < 600; ++I) Texts.push_back(RandomText(Rng));
  // Pairs that differ only a little: case, one letter, a mark, the length.
  for (const auto& Pair : std::vector<std::pair<std::wstring, std::wstring>>{
           {L"Ёлка", L"елка"}, {L"ёлка", L"Елка"}, {L"co-op", L"coop"}, {L"it's", L"its"}, {L"abc", L"ABC"},
           {L"Я", L"я"}, {L"канал 1", L"канал1"}, {L"", L" "}, {L"a", L""}, {L"Zeta", L"Яхта"}}) {
    Texts.push_back(Pair.first);
    Texts.push_back(Pair.second);
  }
  std::vector<std::string> Keys;
  for (const auto& T : Texts) Keys.push_back(UnicodeSortKey(T));
  for (std::size_t A = 0; A < Texts.size(); ++A)
    for (std::size_t B = A; B < Texts.size(); B += 1 + (B % 7)) {
      ASSERT_EQ(CompareKeys(Keys[A], Keys[B]), Sign(WideCompareStr(Texts[A], Texts[B])))
          << WideToAnsi(Texts[A]) << " / " << WideToAnsi(Texts[B]);
    }
}

TEST(RowStore, TextSortsOrderAsTheirComparisonsAndMoveWholeRows) {
  struct TypeOrder {
    TSortType Type;
    std::function<int(const std::wstring&, const std::wstring&)> Compare;
  };
  const std::vector<TypeOrder> Types = {
      {stAlphabetic, [](const std::wstring& A, const std::wstring& B) { return A < B ? -1 : B < A ? 1 : 0; }},
      {stCaseInsensitive,
       [](const std::wstring& A, const std::wstring& B) {
         const AnsiString X = LowerCase(WideToAnsi(A)), Y = LowerCase(WideToAnsi(B));
         return X < Y ? -1 : Y < X ? 1 : 0;
       }},
      {stUnicodeAlphabetic, [](const std::wstring& A, const std::wstring& B) { return Sign(WideCompareStr(A, B)); }},
  };
  std::mt19937 Rng(31);
  for (const TypeOrder& T : Types) {
    for (TSortKind Kind : {skAscending, skDescending}) {
      Store S(2);
      const int N = 700;
      S.Cells.AddRows(N);
      for (int R = 0; R < N; ++R) {
        const std::wstring Text = RandomText(Rng);
        S.Set(0, R, Text);
        S.Set(1, R, Text + L"|" + std::to_wstring(R));
      }
      S.Cells.Sort(0, T.Type, Kind, true);
      for (int R = 0; R < N; ++R) {
        const std::wstring Text = S.Get(0, R);
        ASSERT_EQ(S.Get(1, R).substr(0, Text.size() + 1), Text + L"|") << "rows stay whole";
        if (R > 0) {
          const int C = T.Compare(S.Get(0, R - 1), Text);
          ASSERT_TRUE(Kind == skAscending ? C <= 0 : C >= 0)
              << "type " << T.Type << " row " << R << ": " << WideToAnsi(S.Get(0, R - 1)) << " / " << WideToAnsi(Text);
        }
      }
      EXPECT_TRUE(S.Cells.SortedUnchanged());
    }
  }
}

namespace {
// A virtual column whose values come from a list by row position.
struct ListValues : TVirtualCellValues {
  std::vector<std::wstring> Items;
  WideString GetVirtualValue(int, int ARow) override { return Items.at(static_cast<std::size_t>(ARow)); }
  void SetVirtualValue(int, int ARow, const WideString& Value) override { Items.at(static_cast<std::size_t>(ARow)) = Value; }
};

std::wstring ColumnText(Store& S, int Col) {
  std::wstring T;
  for (int R = 0; R < S.Cells.RowCount(); ++R) T += S.Get(Col, R);
  return T;
}
}  // namespace

// A counting column numbers the rows by their place: each row sorts by its own number (by its
// text for the text sorts), and the numbers read 1, 2, 3 ... again afterwards.
TEST(RowStore, AnIncrementColumnSortsEachRowByItsOwnNumber) {
  Store S(0);
  S.AddColumn(ckIncrement);
  S.AddColumn(ckString);
  S.Cells.AddRows(10);
  for (int R = 0; R < 10; ++R) S.Set(1, R, std::to_wstring(R));
  for (TSortType T : {stNumeric, stDate, stBoolean, stIP, stAlphabetic}) {
    S.Cells.Sort(0, T, skAscending, true);
    SCOPED_TRACE(T);
    if (T == stAlphabetic) {
      EXPECT_EQ(ColumnText(S, 1), L"0912345678");  // "1", "10", "2" ...
      continue;
    }
    EXPECT_EQ(ColumnText(S, 1), L"0123456789");
    EXPECT_EQ(ColumnText(S, 0), L"12345678910");
    // Numbers and addresses differ from row to row: descending reverses.
    if (T == stNumeric || T == stIP) {
      S.Cells.Sort(0, T, skDescending, true);
      EXPECT_EQ(ColumnText(S, 1), L"9876543210");
      S.Cells.Sort(0, T, skDescending, true);
      EXPECT_EQ(ColumnText(S, 1), L"0123456789");
    }
  }
  // Right after a descending sort the numbers read 1, 2, 3 ... again: ascending leaves the rows
  // where they are (no reversal of the last order).
  S.Cells.Sort(0, stNumeric, skDescending, false);
  const std::wstring Descended = ColumnText(S, 1);
  S.Cells.Sort(0, stNumeric, skAscending, false);
  EXPECT_EQ(ColumnText(S, 1), Descended);
  // Two cells of a custom comparison cannot each be read through their own row: refused.
  S.Cells.OnCompare = [](TObject*, TCell*, TCell*, int&) { FAIL() << "no comparison expected"; };
  EXPECT_THROW(S.Cells.Sort(0, stCustom, skAscending, true), EInvalidOperation);
}

// A virtual column's values stay at their row positions while rows move: sorting by it would
// tear the rows from their values, and is refused before anything moves.
TEST(RowStore, AVirtualColumnIsNotSorted) {
  ListValues Values;
  Values.Items = {L"d", L"b", L"e", L"a", L"c"};
  Store S(0);
  S.AddColumn(ckVirtual, &Values);
  S.AddColumn(ckString);
  S.Cells.AddRows(5);
  for (int R = 0; R < 5; ++R) S.Set(1, R, std::to_wstring(R));
  for (TSortType T : {stAlphabetic, stUnicodeAlphabetic, stNumeric, stCustom}) {
    SCOPED_TRACE(T);
    EXPECT_THROW(S.Cells.Sort(0, T, skAscending, false), EInvalidOperation);
    EXPECT_EQ(ColumnText(S, 0), L"dbeac");
    EXPECT_EQ(ColumnText(S, 1), L"01234");
  }
  // The other columns sort as ever; the virtual values stay where their supplier puts them.
  S.Cells.Sort(1, stNumeric, skDescending, false);
  EXPECT_EQ(ColumnText(S, 1), L"43210");
  EXPECT_EQ(ColumnText(S, 0), L"dbeac");
}
