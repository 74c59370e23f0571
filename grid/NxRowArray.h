// TRowArray: the cell store's list of row items (a column's cells, the row records). An array
// with free room at both ends: appending and taking rows off either end cost the same for any
// number of rows, and a row inserted or deleted inside moves only the shorter side. Reading an
// item is one addition. An item can be told where it lies: the placement policy hears the slot
// of every item put in or moved relative to the others (at no more cost than the move; a move of
// every item by the same distance, as when the array grows, costs nothing), and PositionOfSlot
// turns a slot back into a position. Portable.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "framework/Lists.h"

// The default placement policy: items are not told where they lie.
struct TNoPlacement {
  template <class T>
  static void Placed(T, int) {}
};

template <class T, class TPlacement = TNoPlacement>
class TRowArray {
  static_assert(std::is_trivially_copyable_v<T>, "items are moved as bytes");

 public:
  TRowArray() = default;
  TRowArray(const TRowArray&) = delete;
  TRowArray& operator=(const TRowArray&) = delete;

  int Count() const { return FCount; }
  // Items moved in memory so far (shifted or copied into a larger array): a measure of the work
  // done, for tests that hold costs flat.
  std::uint64_t Moved() const { return FMoved; }
  // Unchecked.
  T operator[](int Index) const { return FData[FHead + Index]; }
  T& operator[](int Index) { return FData[FHead + Index]; }
  // Checked: EListError "List index out of bounds (%d)".
  T Items(int Index) const {
    Check(Index);
    return FData[FHead + Index];
  }
  // The position of the item last placed at Slot (the slot the placement policy was told), -1
  // when no item is there now.
  int PositionOfSlot(int Slot) const {
    const int I = Slot + FBase - FHead;
    return I >= 0 && I < FCount ? I : -1;
  }

  // Room for Capacity items without a new allocation (appending).
  void Reserve(int Capacity) {
    if (Capacity > FCapacity) Regrow(Capacity, FHead);
  }

  // Room for one more item at Index, so that the next Insert(Index, ...) (or Add, with Index =
  // Count) does not allocate.
  void ReserveInsert(int Index) {
    if (Index < 0 || Index > FCount) TList::Error(Index);
    const bool Front = Index < FCount / 2;
    if (Front ? FHead == 0 : FHead + FCount == FCapacity) MakeRoom(Front);
  }

  void Add(T Item) {
    if (FHead + FCount == FCapacity) MakeRoom(false);
    Put(FHead + FCount, Item);
    ++FCount;
  }

  // Inserts at Index (0 .. Count).
  void Insert(int Index, T Item) {
    if (Index < 0 || Index > FCount) TList::Error(Index);
    const bool Front = Index < FCount / 2;
    if (Front ? FHead == 0 : FHead + FCount == FCapacity) MakeRoom(Front);
    if (Front) {
      Shift(Slot(-1), Slot(0), Index);
      --FHead;
    } else {
      Shift(Slot(Index + 1), Slot(Index), FCount - Index);
    }
    Put(FHead + Index, Item);
    ++FCount;
  }

  // Removes the item at Index (nothing is freed).
  void Delete(int Index) {
    Check(Index);
    if (Index < FCount / 2) {
      Shift(Slot(1), Slot(0), Index);
      ++FHead;
    } else {
      Shift(Slot(Index), Slot(Index + 1), FCount - Index - 1);
    }
    --FCount;
    if (FCount == 0) FHead = FCapacity / 2;
  }

  // The item at From goes to To; the items between shift by one towards From.
  void Move(int From, int To) {
    Check(From);
    Check(To);
    if (From == To) return;
    const T Item = FData[FHead + From];
    if (From < To)
      Shift(Slot(From), Slot(From + 1), To - From);
    else
      Shift(Slot(To + 1), Slot(To), From - To);
    Put(FHead + To, Item);
  }

  void Exchange(int A, int B) {
    Check(A);
    Check(B);
    const T Item = FData[FHead + A];
    Put(FHead + A, FData[FHead + B]);
    Put(FHead + B, Item);
  }

  // Removes the items at the K positions of Sorted (ascending, each once; nothing is freed) in one
  // pass that moves only the items on the cheaper side: those before the last removed position,
  // or those after the first.
  void DeleteSorted(const int* Sorted, int K) {
    auto At = [&](int J) { return Sorted[J]; };
    for (int J = 0; J < K; ++J) {
      Check(At(J));
      if (J > 0 && At(J) <= At(J - 1)) TList::Error(At(J));
    }
    if (K == 0) return;
    if (At(K - 1) + 1 - K <= FCount - At(0) - K) {
      // The items below each removed one move up past the removed ones above them, the highest
      // group first (a lower group moved first would overwrite items not yet moved).
      for (int J = K - 1; J >= 0; --J) {
        const int Lo = J > 0 ? At(J - 1) + 1 : 0;
        Shift(Slot(Lo + K - J), Slot(Lo), At(J) - Lo);
      }
      FHead += K;
    } else {
      int To = At(0);
      for (int J = 0; J < K; ++J) {
        const int Lo = At(J) + 1;
        const int Hi = J + 1 < K ? At(J + 1) : FCount;
        Shift(Slot(To), Slot(Lo), Hi - Lo);
        To += Hi - Lo;
      }
    }
    FCount -= K;
    if (FCount == 0) FHead = FCapacity / 2;
  }

  // Position of the first item equal to Item, -1 when none.
  int IndexOf(T Item) const {
    for (int I = 0; I < FCount; ++I)
      if (FData[FHead + I] == Item) return I;
    return -1;
  }

  // Item I becomes the item that was at Order[I] (Order holds every index once).
  void Permute(const std::vector<int>& Order) {
    std::unique_ptr<T[]> Data(new T[static_cast<std::size_t>(std::max(FCapacity, 1))]);
    for (int I = 0; I < FCount; ++I) Data[FHead + I] = FData[FHead + Order[static_cast<std::size_t>(I)]];
    FData = std::move(Data);
    FMoved += static_cast<std::uint64_t>(FCount);
    Placed(FHead, FCount);
  }

  void Clear() {
    FData.reset();
    FCapacity = FCount = FHead = 0;
  }

 private:
  void Check(int Index) const {
    if (static_cast<unsigned>(Index) >= static_cast<unsigned>(FCount)) TList::Error(Index);
  }
  T* Slot(int Index) { return FData.get() + FHead + Index; }
  void Put(int At, T Item) {
    FData[At] = Item;
    TPlacement::Placed(Item, At - FBase);
  }
  // The policy hears the slots of Count items from slot At.
  void Placed(int At, int Count) {
    if constexpr (!std::is_same_v<TPlacement, TNoPlacement>)
      for (int I = At; I < At + Count; ++I) TPlacement::Placed(FData[I], I - FBase);
  }
  void Shift(T* To, T* From, int Count) {
    if (Count <= 0) return;
    std::memmove(To, From, sizeof(T) * static_cast<std::size_t>(Count));
    FMoved += static_cast<std::uint64_t>(Count);
    Placed(static_cast<int>(To - FData.get()), Count);
  }

  // Free room at the front (Front) or at the back: the items are moved towards the other end
  // when at least a quarter of the array is free, otherwise the array doubles. Free room goes
  // mostly to the side that ran out.
  void MakeRoom(bool Front) {
    const int Free = FCapacity - FCount;
    int Capacity = FCapacity;
    if (Free < std::max(FCapacity / 4, 1)) {
      if (FCapacity > TList::MaxListSize - FCapacity) throw EListError("Out of memory while expanding a list");
      Capacity = std::max(FCapacity * 2, 16);
    }
    const int NewFree = Capacity - FCount;
    Regrow(Capacity, Front ? NewFree - NewFree / 4 : NewFree / 8);
  }

  // Every item moves to Head on: the same distance for all, which the items' slots take through
  // FBase.
  void Regrow(int Capacity, int Head) {
    if (Capacity == FCapacity) {
      std::memmove(FData.get() + Head, Slot(0), sizeof(T) * static_cast<std::size_t>(FCount));
    } else {
      std::unique_ptr<T[]> Data(new T[static_cast<std::size_t>(Capacity)]);
      if (FCount > 0) std::memcpy(Data.get() + Head, Slot(0), sizeof(T) * static_cast<std::size_t>(FCount));
      FData = std::move(Data);
      FCapacity = Capacity;
    }
    FMoved += static_cast<std::uint64_t>(FCount);
    FBase += Head - FHead;
    FHead = Head;
  }

  std::unique_ptr<T[]> FData;
  int FCapacity = 0;
  int FCount = 0;
  int FHead = 0;
  // Physical index = a placed slot + FBase.
  int FBase = 0;
  std::uint64_t FMoved = 0;
};
