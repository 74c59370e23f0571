// Containers of the runtime: the pointer list (TList), the owning object list (TObjectList),
// string lists with associated objects (TStrings, TStringList) and collections of owned items
// (TCollection, TCollectionItem). Portable.
//
// Every indexed access is checked: a bad index raises EListError "List index out of bounds (%d)"
// (EStringListError with the same text for string lists).
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "framework/Exceptions.h"
#include "framework/Object.h"
#include "framework/Persistent.h"
#include "framework/Types.h"

// An event without arguments beyond its sender.
using TNotifyEvent = std::function<void(TObject* Sender)>;

// ---------------------------------------------------------------------------------------------
// TList

enum TListNotification { lnAdded, lnExtracted, lnDeleted };

// Orders two items: negative when Item1 comes first, 0 when equal, positive otherwise.
using TListSortCompare = std::function<int(void* Item1, void* Item2)>;

// A list of untyped pointers. Count items are in use out of Capacity allocated slots; the slots
// are reachable directly through List() for fast loops. Null pointers may be stored; Pack
// removes them. Notify is called for every non-null item that enters or leaves the list.
class TList : public TObject {
  T_CLASS(TList, TObject)

 public:
  // The largest Count and Capacity a list accepts.
  static constexpr int MaxListSize = 0x7FFFFFFF / 16;

  TList() = default;
  ~TList() override;

  int Count() const { return FCount; }
  // Grows the list with null items or shrinks it, deleting items from the end.
  // EListError "List count out of bounds (%d)" outside 0..MaxListSize.
  void SetCount(int NewCount);
  int Capacity() const { return FCapacity; }
  // EListError "List capacity out of bounds (%d)" below Count or above MaxListSize.
  void SetCapacity(int NewCapacity);

  void* Items(int Index) const {
    if (static_cast<unsigned>(Index) >= static_cast<unsigned>(FCount)) Error(Index);
    return FList[Index];
  }
  void SetItems(int Index, void* Item);
  // The slots themselves (Count of them in use); invalidated when the capacity changes.
  void** List() const { return FList; }

  // Appends Item and returns its index.
  int Add(void* Item);
  // Index may be Count (append).
  void Insert(int Index, void* Item);
  void Delete(int Index);
  // Deletes the first occurrence of Item; returns its former index or -1.
  int Remove(void* Item);
  // Takes the first occurrence of Item out of the list without deleting it (Notify says
  // lnExtracted); returns Item, or nullptr when it is not in the list.
  void* Extract(void* Item);
  int IndexOf(void* Item) const;
  void Exchange(int Index1, int Index2);
  // Moves the item at CurIndex so that it ends up at NewIndex.
  void Move(int CurIndex, int NewIndex);
  // Deletes every item and releases the slots.
  void Clear();
  // First and last item; EListError on an empty list (index 0 and -1).
  void* First() const { return Items(0); }
  void* Last() const { return Items(FCount - 1); }
  // Makes room for one more item when the list is full; returns this list.
  TList* Expand();
  // Removes the null items.
  void Pack();
  // Sorts the items with Compare. The sort is stable, and a comparison that is not a
  // consistent order never makes it read outside the list.
  void Sort(const TListSortCompare& Compare);

  [[noreturn]] static void Error(int Index);

 protected:
  // Called after Ptr (never null) entered or left the list.
  virtual void Notify(void* Ptr, TListNotification Action) {}
  virtual void Grow();

 private:
  void** FList = nullptr;
  int FCount = 0;
  int FCapacity = 0;
};

// ---------------------------------------------------------------------------------------------
// TObjectList

// A list of objects that, while OwnsObjects is set (the default), owns them: Delete, Remove,
// Clear, SetItems and the destructor free the objects leaving the list; Extract hands an object
// back without freeing it. The methods take and return TObject*; the untyped ones of TList stay
// reachable through a TList pointer and must only be given TObject pointers.
class TObjectList : public TList {
  T_CLASS(TObjectList, TList)

 public:
  explicit TObjectList(bool AOwnsObjects = true) : FOwnsObjects(AOwnsObjects) {}
  ~TObjectList() override;

  bool OwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

  TObject* Items(int Index) const { return static_cast<TObject*>(TList::Items(Index)); }
  void SetItems(int Index, TObject* Item) { TList::SetItems(Index, Item); }
  int Add(TObject* Item) { return TList::Add(Item); }
  void Insert(int Index, TObject* Item) { TList::Insert(Index, Item); }
  int Remove(TObject* Item) { return TList::Remove(Item); }
  TObject* Extract(TObject* Item) { return static_cast<TObject*>(TList::Extract(Item)); }
  int IndexOf(TObject* Item) const { return TList::IndexOf(Item); }
  TObject* First() const { return Items(0); }
  TObject* Last() const { return Items(Count() - 1); }

 protected:
  void Notify(void* Ptr, TListNotification Action) override;

 private:
  bool FOwnsObjects;
};

// Typed access to an object list whose items are all T.
template <class T>
class TObjectListOf : public TObjectList {
 public:
  using TObjectList::TObjectList;

  T* Items(int Index) const { return static_cast<T*>(TObjectList::Items(Index)); }
  void SetItems(int Index, T* Item) { TObjectList::SetItems(Index, Item); }
  int Add(T* Item) { return TObjectList::Add(Item); }
  void Insert(int Index, T* Item) { TObjectList::Insert(Index, Item); }
  int Remove(T* Item) { return TObjectList::Remove(Item); }
  T* Extract(T* Item) { return static_cast<T*>(TObjectList::Extract(Item)); }
  int IndexOf(T* Item) const { return TObjectList::IndexOf(Item); }
  T* First() const { return Items(0); }
  T* Last() const { return Items(Count() - 1); }
};

// ---------------------------------------------------------------------------------------------
// TStrings

// The common interface of string lists: byte strings, each with an associated object.
// Descendants supply storage through Get, GetCount, Insert, Delete and Clear (and GetObject,
// PutObject when they keep objects); everything else is built on those.
class TStrings : public TPersistent {
  T_CLASS(TStrings, TPersistent)

 public:
  ~TStrings() override = default;

  int Count() const { return GetCount(); }
  AnsiString Strings(int Index) const { return Get(Index); }
  void SetStrings(int Index, const AnsiString& S) { Put(Index, S); }
  TObject* Objects(int Index) const { return GetObject(Index); }
  void SetObjects(int Index, TObject* AObject) { PutObject(Index, AObject); }

  virtual int GetCapacity() const { return GetCount(); }
  virtual void SetCapacity(int NewCapacity) {}
  int Capacity() const { return GetCapacity(); }

  // Appends S (a sorted list inserts it in order) and returns its index.
  virtual int Add(const AnsiString& S);
  virtual int AddObject(const AnsiString& S, TObject* AObject);
  void Append(const AnsiString& S) { Add(S); }
  // Adds every string of Strings with its object.
  virtual void AddStrings(TStrings* Strings);
  virtual void Insert(int Index, const AnsiString& S) = 0;
  virtual void InsertObject(int Index, const AnsiString& S, TObject* AObject);
  virtual void Delete(int Index) = 0;
  virtual void Clear() = 0;
  virtual void Exchange(int Index1, int Index2);
  // Moves the string at CurIndex (with its object) so that it ends up at NewIndex.
  virtual void Move(int CurIndex, int NewIndex);

  // Index of the first string equal to S (by CompareStrings), or -1.
  virtual int IndexOf(const AnsiString& S) const;
  // Index of the first "name=value" line whose name equals Name (by CompareStrings), or -1.
  virtual int IndexOfName(const AnsiString& Name) const;
  virtual int IndexOfObject(TObject* AObject) const;
  // True when both lists hold the same strings in the same order (letter case counts).
  bool Equals(TStrings* Strings) const;

  // Name=value lines: the name is the part before the first NameValueSeparator ('='),
  // empty when the line has none.
  AnsiString Names(int Index) const;
  // The value of the line named Name, or empty when there is none.
  AnsiString Values(const AnsiString& Name) const;
  // Sets the value of the line named Name, appending "Name=Value" when there is none;
  // an empty Value deletes the line.
  void SetValues(const AnsiString& Name, const AnsiString& Value);
  // The part after the separator of line Index (empty when it has none; empty for Index < 0).
  AnsiString ValueFromIndex(int Index) const;
  void SetValueFromIndex(int Index, const AnsiString& Value);
  char NameValueSeparator() const { return FNameValueSeparator; }
  void SetNameValueSeparator(char Value) { FNameValueSeparator = Value; }

  // Every line followed by CR LF.
  virtual AnsiString Text() const;
  // Replaces the lines by those of Value: lines end at LF, CR LF or a lone CR; a last line
  // without an end counts; a NUL byte ends the text.
  virtual void SetText(const AnsiString& Value);

  // The strings separated by Delimiter; a string that is empty as the only one, or holds a
  // control character, a blank, the delimiter or the quote character, is quoted (quotes
  // doubled inside).
  AnsiString DelimitedText() const;
  // Replaces the lines by the items of Value: quoted items may hold anything (a doubled quote
  // is one quote); unquoted items end at the delimiter or a blank; blanks and control
  // characters around items are skipped; a delimiter at the very end adds an empty item.
  void SetDelimitedText(const AnsiString& Value);
  char Delimiter() const { return FDelimiter; }
  void SetDelimiter(char Value) { FDelimiter = Value; }
  char QuoteChar() const { return FQuoteChar; }
  void SetQuoteChar(char Value) { FQuoteChar = Value; }
  // DelimitedText with ',' and '"' (Delimiter and QuoteChar are left as they are).
  AnsiString CommaText() const;
  void SetCommaText(const AnsiString& Value);

  // Groups changes: events are held back until the matching EndUpdate.
  void BeginUpdate();
  void EndUpdate();

  // Copies the strings and objects of another string list; other sources raise EConvertError.
  void Assign(TPersistent* Source) override;

 protected:
  virtual AnsiString Get(int Index) const = 0;
  virtual int GetCount() const = 0;
  virtual TObject* GetObject(int Index) const { return nullptr; }
  virtual void Put(int Index, const AnsiString& S);
  virtual void PutObject(int Index, TObject* AObject) {}
  // Called with True when the first BeginUpdate starts and with False when the last EndUpdate
  // ends.
  virtual void SetUpdateState(bool Updating) {}
  int UpdateCount() const { return FUpdateCount; }
  // Orders two strings: the base uses AnsiCompareText (letter case ignored).
  virtual int CompareStrings(const AnsiString& S1, const AnsiString& S2) const;

  [[noreturn]] static void Error(const char* Msg, int Data);

 private:
  AnsiString JoinDelimited(char Delim, char Quote) const;
  void SplitDelimited(const AnsiString& Value, char Delim, char Quote);

  int FUpdateCount = 0;
  char FNameValueSeparator = '=';
  char FDelimiter = ',';
  char FQuoteChar = '"';
};

// ---------------------------------------------------------------------------------------------
// TStringList

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList;
// Orders the strings at Index1 and Index2 of List (negative, 0, positive).
using TStringListSortCompare = std::function<int(TStringList* List, int Index1, int Index2)>;

// The string list kept in memory.
//  - Sorted keeps the strings in order (by CompareStrings): Add inserts in place, Find and
//    IndexOf search by halves, and Insert, SetStrings, Exchange and Move raise
//    EStringListError "Operation not allowed on sorted list".
//  - Duplicates (used while Sorted) decides what Add does with a string already present:
//    dupIgnore returns the existing index, dupAccept adds it before the equal ones, dupError
//    raises EStringListError "String list does not allow duplicates".
//  - CaseSensitive False (default): AnsiCompareText (the system's locale rules without regard
//    to letter case; ASCII letters folded natively); True: byte comparison (CompareStr).
//    Names in name=value lines are compared the same way.
//  - OwnsObjects (default False): Delete, Clear and the destructor free the objects.
//  - OnChanging fires before and OnChange after each change; between BeginUpdate and EndUpdate
//    only once each (OnChanging at the first BeginUpdate, OnChange at the last EndUpdate).
class TStringList : public TStrings {
  T_CLASS(TStringList, TStrings)

 public:
  TStringList() = default;
  explicit TStringList(bool AOwnsObjects) : FOwnsObjects(AOwnsObjects) {}
  ~TStringList() override;

  // Direct reference to a string; valid until the list changes.
  const AnsiString& Strings(int Index) const {
    if (static_cast<unsigned>(Index) >= FList.size()) Error("List index out of bounds (%d)", Index);
    return FList[static_cast<unsigned>(Index)].FString;
  }

  int Add(const AnsiString& S) override;
  int AddObject(const AnsiString& S, TObject* AObject) override;
  void Insert(int Index, const AnsiString& S) override;
  void InsertObject(int Index, const AnsiString& S, TObject* AObject) override;
  void Delete(int Index) override;
  void Clear() override;
  void Exchange(int Index1, int Index2) override;
  void Move(int CurIndex, int NewIndex) override;
  int IndexOf(const AnsiString& S) const override;
  int IndexOfName(const AnsiString& Name) const override;
  void SetText(const AnsiString& Value) override;

  // Binary search (meaningful on a sorted list): True when S is present; Index is its position
  // (with dupAccept the first of the equal strings), or where S would be inserted.
  virtual bool Find(const AnsiString& S, int& Index) const;
  // Sorts by CompareStrings (nothing happens when Sorted is already set).
  virtual void Sort();
  // Sorts with Compare, which receives this list and two indexes; the list does not change
  // while Compare runs, and it stays unchanged when Compare throws. Stable.
  virtual void CustomSort(const TStringListSortCompare& Compare);

  bool Sorted() const { return FSorted; }
  void SetSorted(bool Value);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value);
  bool OwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

  int GetCapacity() const override { return static_cast<int>(FList.capacity()); }
  // EStringListError "List capacity out of bounds (%d)" below Count.
  void SetCapacity(int NewCapacity) override;

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  AnsiString Get(int Index) const override { return Strings(Index); }
  int GetCount() const override { return static_cast<int>(FList.size()); }
  TObject* GetObject(int Index) const override;
  void Put(int Index, const AnsiString& S) override;
  void PutObject(int Index, TObject* AObject) override;
  void SetUpdateState(bool Updating) override;
  int CompareStrings(const AnsiString& S1, const AnsiString& S2) const override;
  virtual void Changed();
  virtual void Changing();

 private:
  struct TStringItem {
    AnsiString FString;
    TObject* FObject = nullptr;
  };
  void CheckIndex(int Index) const {
    if (static_cast<unsigned>(Index) >= FList.size()) Error("List index out of bounds (%d)", Index);
  }
  void InsertItem(int Index, const AnsiString& S, TObject* AObject);
  void SortItems();

  std::vector<TStringItem> FList;
  TDuplicates FDuplicates = dupIgnore;
  bool FSorted = false;
  bool FCaseSensitive = false;
  bool FOwnsObjects = false;
};

// ---------------------------------------------------------------------------------------------
// TCollection

class TCollection;
class TCollectionItem;

enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

// Creates a new item inside the collection (the item's constructor inserts it).
using TCollectionItemClass = std::function<TCollectionItem*(TCollection* Collection)>;

// An item of a collection. Items are heap objects created by their collection (Add, Insert)
// or with `new T(Collection)`; the collection frees them. Deleting an item takes it out of its
// collection.
class TCollectionItem : public TPersistent {
  T_CLASS(TCollectionItem, TPersistent)

 public:
  explicit TCollectionItem(TCollection* Collection);
  ~TCollectionItem() override;

  TCollection* Collection() const { return FCollection; }
  // Moves the item into another collection (or out of any, with nullptr).
  virtual void SetCollection(TCollection* Value);
  // Position in the collection, -1 outside one.
  int Index() const;
  // Moves the item to position Value; EListError when Value is not a valid index.
  virtual void SetIndex(int Value);
  // A number unique within the collection, given in order of insertion.
  int ID() const { return FID; }
  // The name shown for the item; the base shows the class name.
  virtual AnsiString DisplayName() const { return ClassName(); }
  virtual void SetDisplayName(const AnsiString& Value) { Changed(false); }

  TPersistent* GetOwner() override;

 protected:
  // Tells the collection that this item (or, with AllItems, every item) changed.
  void Changed(bool AllItems);

 private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
  int FID = 0;
};

// An ordered set of items that the collection owns. ItemClass creates the items of Add and
// Insert; see ItemClassOf for the usual case.
class TCollection : public TPersistent {
  T_CLASS(TCollection, TPersistent)

 public:
  explicit TCollection(TCollectionItemClass ItemClass);
  ~TCollection() override;

  // The factory for items of class T (constructed as `new T(Collection)`).
  template <class T>
  static TCollectionItemClass ItemClassOf() {
    return [](TCollection* C) -> TCollectionItem* { return new T(C); };
  }

  const TCollectionItemClass& ItemClass() const { return FItemClass; }
  int Count() const { return static_cast<int>(FItems.size()); }
  TCollectionItem* Items(int Index) const {
    if (static_cast<unsigned>(Index) >= FItems.size()) TList::Error(Index);
    return FItems[static_cast<unsigned>(Index)];
  }
  // Assigns Value to the item at Index.
  void SetItems(int Index, TCollectionItem* Value) { Items(Index)->Assign(Value); }

  TCollectionItem* Add();
  // A new item placed at Index (0..Count).
  TCollectionItem* Insert(int Index);
  // Frees the item at Index.
  void Delete(int Index);
  // Frees every item (last first).
  void Clear();
  void Exchange(int Index1, int Index2);
  TCollectionItem* FindItemID(int ID) const;

  // Update is held back until the matching EndUpdate.
  virtual void BeginUpdate() { ++FUpdateCount; }
  virtual void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

  // Replaces the items by copies of Source's items (each new item Assigns the source item);
  // other sources raise EConvertError.
  void Assign(TPersistent* Source) override;
  TPersistent* Owner() { return GetOwner(); }

 protected:
  // Called when Item changed, or with nullptr when the collection as a whole changed.
  virtual void Update(TCollectionItem* Item) {}
  // cnAdded after an item came in, cnExtracting before it leaves, cnDeleting before Delete
  // frees it.
  virtual void Notify(TCollectionItem* Item, TCollectionNotification Action) {}
  // Update(nullptr) unless updates are held back.
  void Changed();

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* Item);
  void RemoveItem(TCollectionItem* Item);

  TCollectionItemClass FItemClass;
  std::vector<TCollectionItem*> FItems;
  int FUpdateCount = 0;
  int FNextID = 0;
};

// A collection that reports a given owner (a component, for example) as its owner.
class TOwnedCollection : public TCollection {
  T_CLASS(TOwnedCollection, TCollection)

 public:
  TOwnedCollection(TPersistent* AOwner, TCollectionItemClass ItemClass)
      : TCollection(std::move(ItemClass)), FOwner(AOwner) {}
  TPersistent* GetOwner() override { return FOwner; }

 private:
  TPersistent* FOwner;
};
