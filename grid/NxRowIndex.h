// TRowCountIndex: counts of flagged rows (the shown rows of the cell store) by position, in a
// binary indexed tree: how many rows before a position are flagged, and which row is the k-th
// flagged one, each in time logarithmic in the row count. Changing one row's flag, appending a
// row and taking off the last row cost the same; a row inserted or deleted inside makes the
// owner build the tree again (Build), which it does only when it is next asked. Portable.
#pragma once

#include <vector>

class TRowCountIndex {
 public:
  bool Valid() const { return FValid; }
  // Forgets the tree (it is built again before the next question).
  void Invalidate() {
    FValid = false;
    FTree.clear();
    FTree.shrink_to_fit();
  }
  // Builds the tree over Count rows; Flag(I) tells whether row I counts.
  template <class TFlag>
  void Build(int Count, TFlag Flag) {
    FTree.assign(static_cast<std::size_t>(Count) + 1, 0);
    for (int I = 1; I <= Count; ++I) {
      FTree[static_cast<std::size_t>(I)] += Flag(I - 1) ? 1 : 0;
      const int Parent = I + (I & -I);
      if (Parent <= Count) FTree[static_cast<std::size_t>(Parent)] += FTree[static_cast<std::size_t>(I)];
    }
    FValid = true;
  }
  int Count() const { return static_cast<int>(FTree.size()) - 1; }

  // Row ARow's flag changed by Delta (+1 or -1).
  void Change(int ARow, int Delta) {
    if (!FValid) return;
    for (int I = ARow + 1; I <= Count(); I += I & -I) FTree[static_cast<std::size_t>(I)] += Delta;
  }
  // A row appended after the last, flagged or not.
  void Append(bool Flagged) {
    if (!FValid) return;
    const int I = Count() + 1;
    // The new node covers rows I - lowbit(I) + 1 .. I: the ones before it plus its own.
    const int Value = (Flagged ? 1 : 0) + Before(I - 1) - Before(I - (I & -I));
    FTree.push_back(Value);
  }
  // The last row taken off.
  void RemoveLast() {
    if (FValid && Count() > 0) FTree.pop_back();
  }

  // Flagged rows among rows 0 .. ARow - 1.
  int Before(int ARow) const {
    int N = 0;
    for (int I = ARow; I > 0; I -= I & -I) N += FTree[static_cast<std::size_t>(I)];
    return N;
  }
  // The row with exactly K flagged rows before it that is flagged itself (K from 0); Count()
  // when there are not K + 1 flagged rows.
  int Find(int K) const {
    int Pos = 0;
    int Step = 1;
    while (Step * 2 <= Count()) Step *= 2;
    for (; Step > 0; Step /= 2) {
      const int Next = Pos + Step;
      if (Next <= Count() && FTree[static_cast<std::size_t>(Next)] <= K) {
        Pos = Next;
        K -= FTree[static_cast<std::size_t>(Next)];
      }
    }
    return Pos;  // rows 0 .. Pos - 1 hold K flagged rows less than asked: row Pos is the one
  }

 private:
  std::vector<int> FTree;  // FTree[0] unused
  bool FValid = false;
};
