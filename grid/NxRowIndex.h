// TRowCountIndex: the flagged rows (the shown rows of the cell store) by position: how many rows
// before a position are flagged, and which row is the k-th flagged one. The flags are kept one bit
// a row in chunks of up to 64 rows, at the nodes of a binary tree kept balanced by random
// priorities (a treap); each node knows how many rows, and how many flagged ones, lie under it.
// A question, a flag changed, and a row put in or taken out anywhere each cost time logarithmic in
// the row count; a run of rows taken out costs that per chunk it touches. The owner builds the
// tree once (Build) and keeps it up to date through every row operation; an index that was never
// built (or was forgotten) ignores changes until it is built. Portable.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

class TRowCountIndex {
 public:
  bool Valid() const { return FValid; }
  // Forgets the tree (it is built again before the next question).
  void Invalidate() {
    FNodes.clear();
    FNodes.shrink_to_fit();
    FRoot = FFree = 0;
    FValid = false;
  }
  // Builds the tree over Count rows; Flag(I) tells whether row I counts.
  template <class TFlag>
  void Build(int Count, TFlag Flag) {
    FNodes.assign(1, TNode{});
    FNodes.reserve(static_cast<std::size_t>(Count / ChunkRows) + 2);
    FRoot = FFree = 0;
    // Full chunks in row order; the tree over them is built in one pass (each new node takes the
    // nodes of lower priority on the right edge as its left subtree).
    std::vector<int> Edge;
    for (int Start = 0; Start < Count; Start += ChunkRows) {
      const int T = Alloc();
      TNode& N = FNodes[static_cast<std::size_t>(T)];
      N.Size = std::min(ChunkRows, Count - Start);
      for (int I = 0; I < N.Size; ++I)
        if (Flag(Start + I)) N.Bits |= std::uint64_t{1} << I;
      int Last = 0;
      while (!Edge.empty() && At(Edge.back()).Priority < N.Priority) {
        Last = Edge.back();
        Edge.pop_back();
      }
      N.L = Last;
      if (!Edge.empty()) At(Edge.back()).R = T;
      Edge.push_back(T);
    }
    FRoot = Edge.empty() ? 0 : Edge.front();
    PullTree(FRoot);
    FValid = true;
  }
  int Count() const { return FValid ? At(FRoot).Rows : 0; }

  // Row ARow's flag becomes set (Delta > 0) or clear (Delta < 0).
  void Change(int ARow, int Delta) {
    if (!FValid || ARow < 0 || ARow >= Count()) return;
    int Off = 0;
    const int T = Descend(ARow, 0, 0, Off);
    const std::uint64_t Bit = std::uint64_t{1} << Off;
    if (((At(T).Bits & Bit) != 0) == (Delta > 0)) return;
    Descend(ARow, 0, Delta > 0 ? 1 : -1, Off);
    At(T).Bits ^= Bit;
  }
  // A row put in at ARow (0 .. Count), flagged or not; the rows from ARow on move down by one.
  void Insert(int ARow, bool Flagged) {
    if (!FValid || ARow < 0 || ARow > Count()) return;
    if (FRoot == 0) {
      FRoot = Alloc();
      At(FRoot).Size = 1;
      At(FRoot).Bits = Flagged ? 1 : 0;
      Pull(FRoot);
      return;
    }
    // The chunk that holds row ARow takes it, or at the end the last chunk.
    const bool AtEnd = ARow == Count();
    const int Row = AtEnd ? ARow - 1 : ARow;
    int Off = 0;
    if (At(Descend(Row, 0, 0, Off)).Size == ChunkRows) SplitChunk(Row - Off);
    const int T = Descend(Row, 1, Flagged ? 1 : 0, Off);
    TNode& N = At(T);
    const int P = AtEnd ? Off + 1 : Off;
    const std::uint64_t Low = N.Bits & LowMask(P);
    N.Bits = Low | ((N.Bits & ~LowMask(P)) << 1) | (Flagged ? std::uint64_t{1} << P : 0);
    ++N.Size;
  }
  // Rows ARow .. ARow + Count - 1 taken out; the rows after them move up.
  void Erase(int ARow, int Count) {
    if (!FValid || ARow < 0) return;
    Count = std::min(Count, this->Count() - ARow);
    while (Count > 0) {
      int Off = 0;
      const int T = Descend(ARow, 0, 0, Off);
      const int Take = std::min(Count, At(T).Size - Off);
      if (Take == At(T).Size) {
        // The whole chunk goes with its node.
        auto [A, B] = Split(FRoot, ARow);
        auto [X, C] = Split(B, Take);
        Release(X);
        FRoot = Merge(A, C);
      } else {
        const std::uint64_t Bits = At(T).Bits;
        const int Gone = std::popcount((Bits >> Off) & LowMask(Take));
        Descend(ARow, -Take, -Gone, Off);
        const std::uint64_t High = Off + Take >= 64 ? 0 : (Bits >> (Off + Take)) << Off;
        At(T).Bits = (Bits & LowMask(Off)) | High;
        At(T).Size -= Take;
      }
      Count -= Take;
    }
  }
  // A row appended after the last, flagged or not.
  void Append(bool Flagged) { Insert(Count(), Flagged); }
  // The last row taken off.
  void RemoveLast() {
    if (Count() > 0) Erase(Count() - 1, 1);
  }

  // Flagged rows among rows 0 .. ARow - 1 (ARow from 0 to Count).
  int Before(int ARow) const {
    int T = FRoot, N = 0;
    while (T != 0) {
      const TNode& Node = At(T);
      const TNode& Left = At(Node.L);
      if (ARow <= Left.Rows) {
        T = Node.L;
        continue;
      }
      N += Left.Flagged;
      ARow -= Left.Rows;
      if (ARow <= Node.Size) return N + std::popcount(Node.Bits & LowMask(ARow));
      N += std::popcount(Node.Bits);
      ARow -= Node.Size;
      T = Node.R;
    }
    return N;
  }
  // The row with exactly K flagged rows before it that is flagged itself (K from 0); Count()
  // when there are not K + 1 flagged rows.
  int Find(int K) const {
    int T = FRoot, Base = 0;
    while (T != 0 && K >= 0) {
      const TNode& Node = At(T);
      const TNode& Left = At(Node.L);
      if (K < Left.Flagged) {
        T = Node.L;
        continue;
      }
      K -= Left.Flagged;
      Base += Left.Rows;
      const int Here = std::popcount(Node.Bits);
      if (K < Here) {
        std::uint64_t Bits = Node.Bits;
        for (int I = 0; I < K; ++I) Bits &= Bits - 1;
        return Base + std::countr_zero(Bits);
      }
      K -= Here;
      Base += Node.Size;
      T = Node.R;
    }
    return Count();
  }

 private:
  static constexpr int ChunkRows = 64;
  struct TNode {
    std::uint64_t Bits = 0;     // bit I: the chunk's row I is flagged
    int L = 0, R = 0;           // subtrees (0: none; node 0 is an empty stand-in)
    std::uint32_t Priority = 0;  // no lower than the subtrees' priorities
    int Rows = 0, Flagged = 0;  // in the node's whole subtree
    int Size = 0;               // rows of this chunk, 1 .. 64
  };

  static std::uint64_t LowMask(int N) { return N >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << N) - 1; }
  TNode& At(int T) { return FNodes[static_cast<std::size_t>(T)]; }
  const TNode& At(int T) const { return FNodes[static_cast<std::size_t>(T)]; }

  int Alloc() {
    // xorshift: priorities that look random, the same in every run.
    FSeed ^= FSeed << 13;
    FSeed ^= FSeed >> 17;
    FSeed ^= FSeed << 5;
    int T = FFree;
    if (T != 0) {
      FFree = At(T).L;
      At(T) = TNode{};
    } else {
      T = static_cast<int>(FNodes.size());
      FNodes.emplace_back();
    }
    At(T).Priority = FSeed;
    return T;
  }
  void Release(int T) {
    At(T).L = FFree;
    FFree = T;
  }
  void Pull(int T) {
    TNode& N = At(T);
    N.Rows = N.Size + At(N.L).Rows + At(N.R).Rows;
    N.Flagged = std::popcount(N.Bits) + At(N.L).Flagged + At(N.R).Flagged;
  }
  void PullTree(int T) {
    if (T == 0) return;
    PullTree(At(T).L);
    PullTree(At(T).R);
    Pull(T);
  }
  // The node of the chunk that holds row Row (0 .. Count - 1) and the row's place in it (Off);
  // the counts of every node on the way down, that node's too, change by DRows and DFlagged.
  int Descend(int Row, int DRows, int DFlagged, int& Off) {
    int T = FRoot;
    for (;;) {
      TNode& N = At(T);
      const int LeftRows = At(N.L).Rows;
      N.Rows += DRows;
      N.Flagged += DFlagged;
      if (Row < LeftRows) {
        T = N.L;
        continue;
      }
      Row -= LeftRows;
      if (Row < N.Size) {
        Off = Row;
        return T;
      }
      Row -= N.Size;
      T = N.R;
    }
  }
  // The first K rows of the subtree and the rest; K falls between chunks.
  std::pair<int, int> Split(int T, int K) {
    if (T == 0) return {0, 0};
    const int LeftRows = At(At(T).L).Rows;
    if (K <= LeftRows) {
      const auto [A, B] = Split(At(T).L, K);
      At(T).L = B;
      Pull(T);
      return {A, T};
    }
    const auto [A, B] = Split(At(T).R, K - LeftRows - At(T).Size);
    At(T).R = A;
    Pull(T);
    return {T, B};
  }
  int Merge(int A, int B) {
    if (A == 0) return B;
    if (B == 0) return A;
    if (At(A).Priority > At(B).Priority) {
      const int R = Merge(At(A).R, B);
      At(A).R = R;
      Pull(A);
      return A;
    }
    const int L = Merge(A, At(B).L);
    At(B).L = L;
    Pull(B);
    return B;
  }
  // The full chunk starting at row Start becomes two chunks of half its rows.
  void SplitChunk(int Start) {
    auto [A, B] = Split(FRoot, Start);
    auto [X, C] = Split(B, ChunkRows);
    const int Y = Alloc();
    At(Y).Bits = At(X).Bits >> (ChunkRows / 2);
    At(Y).Size = ChunkRows / 2;
    At(X).Bits &= LowMask(ChunkRows / 2);
    At(X).Size = ChunkRows / 2;
    Pull(X);
    Pull(Y);
    FRoot = Merge(Merge(A, Merge(X, Y)), C);
  }

  std::vector<TNode> FNodes;
  int FRoot = 0;
  int FFree = 0;  // released nodes, chained through L
  std::uint32_t FSeed = 2463534242u;
  bool FValid = false;
};
