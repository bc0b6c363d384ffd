// Pointer lists of the XML node tree.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

// Small growable list of pointers. Growth and shrinking follow fixed steps:
// appending to a full list grows the capacity by the current capacity
// clamped to 4..1024; a removal that leaves at least 1024 unused slots
// shrinks the array by exactly 1024 slots (or to nothing). Beyond 1024 slots
// the storage behind a capacity is rounded up to a power of two, so that a
// long list is copied only when its storage doubles or halves: appending n
// entries costs O(n), not O(n * n / 1024).
template <class T>
class TCList {
 public:
  TCList() = default;
  TCList(const TCList&) = delete;
  TCList& operator=(const TCList&) = delete;
  ~TCList() {
    if (!InBlock()) std::free(List);
  }

  int GetCount() const { return Count; }
  int GetCapacity() const { return Capacity; }
  T* Get(int index) const { return index >= 0 && index < Count ? List[index] : nullptr; }

  void Add(T* item) { Insert(Count, item); }

  // Places item at index (0..count). Returns false when index is out of range.
  bool Insert(int index, T* item) {
    if (index < 0 || index > Count) return false;
    if (Count == Capacity) {
      int step = Capacity < 4 ? 4 : (Capacity > 1024 ? 1024 : Capacity);
      Reallocate(Capacity + step);
    }
    for (int i = Count; i > index; --i) List[i] = List[i - 1];
    List[index] = item;
    ++Count;
    return true;
  }

  void Delete(int index) {
    if (index < 0 || index >= Count) return;
    for (int i = index; i + 1 < Count; ++i) List[i] = List[i + 1];
    --Count;
    int smaller = Capacity - 1024 < 0 ? 0 : Capacity - 1024;
    if (smaller >= Count && smaller != Capacity) Reallocate(smaller);
  }

  // Linear search by identity from the front; -1 when absent.
  int IndexOf(const T* item) const {
    for (int i = 0; i < Count; ++i)
      if (List[i] == item) return i;
    return -1;
  }

  bool Remove(const T* item) {
    int i = IndexOf(item);
    if (i < 0) return false;
    Delete(i);
    return true;
  }

  // Forgets every entry and releases the array; never deletes the items.
  void Clear() {
    if (!InBlock()) std::free(List);
    List = nullptr;
    Count = Capacity = 0;
  }

  // Removes the last entry without searching or shrinking.
  T* PopBack() { return Count > 0 ? List[--Count] : nullptr; }

  bool OwnsItems = false;  // kept for layout compatibility; never set here

  // A list of items[0..count), made with its entries in one block taken
  // from allocate(bytes), which owns the block: for trees that are only read
  // and let go all at once. A change moves the entries to storage of the
  // list's own; such a list is ended with Destroy.
  template <class Allocate>
  static TCList* MakeFixed(T* const* items, int count, Allocate&& allocate) {
    char* block = static_cast<char*>(allocate(Head() + sizeof(T*) * static_cast<size_t>(count)));
    auto* list = new (block) TCList;
    list->Placed = true;
    list->List = list->BlockEntries();
    for (int i = 0; i < count; ++i) list->List[i] = items[i];
    list->Count = list->Capacity = count;
    return list;
  }
  // Ends a list made by new or by MakeFixed.
  static void Destroy(TCList* list) {
    if (list && list->Placed)
      list->~TCList();
    else
      delete list;
  }

 private:
  // The slots allocated for a capacity.
  static size_t Room(int capacity) {
    size_t room = static_cast<size_t>(capacity);
    if (room <= 1024) return room;
    size_t power = 2048;
    while (power < room) power *= 2;
    return power;
  }

  void Reallocate(int capacity) {
    if (InBlock()) {
      // The entries move to storage of the list's own; the block stays its owner's.
      T** own = nullptr;
      if (capacity > 0) {
        own = static_cast<T**>(std::malloc(sizeof(T*) * Room(capacity)));
        if (!own) throw std::bad_alloc();
        for (int i = 0; i < Count && i < capacity; ++i) own[i] = List[i];
      }
      List = own;
      Capacity = capacity;
      return;
    }
    if (capacity == 0) {
      std::free(List);
      List = nullptr;
    } else if (!List || Room(capacity) != Room(Capacity)) {
      void* p = std::realloc(static_cast<void*>(List), sizeof(T*) * Room(capacity));
      if (!p) throw std::bad_alloc();
      List = static_cast<T**>(p);
    }
    Capacity = capacity;
  }

  // MakeFixed places the entries right after the list in its block.
  static constexpr size_t Head() { return (sizeof(TCList) + sizeof(T*) - 1) / sizeof(T*) * sizeof(T*); }
  T** BlockEntries() { return reinterpret_cast<T**>(reinterpret_cast<char*>(this) + Head()); }
  // Whether the entries still lie in the block MakeFixed was given.
  bool InBlock() { return Placed && List == BlockEntries(); }

  T** List = nullptr;
  int32_t Count = 0;
  int32_t Capacity = 0;
  bool Placed = false;  // the list lies in a block MakeFixed was given
};

// A TCList that holds no storage until the first entry is added; for lists
// that most nodes never use. Clear releases the list itself.
template <class T>
class TCLazyList {
 public:
  TCLazyList() = default;
  TCLazyList(const TCLazyList&) = delete;
  TCLazyList& operator=(const TCLazyList&) = delete;

  int GetCount() const { return list_ ? list_->GetCount() : 0; }
  int GetCapacity() const { return list_ ? list_->GetCapacity() : 0; }
  T* Get(int index) const { return list_ ? list_->Get(index) : nullptr; }
  void Add(T* item) { Use().Add(item); }
  bool Insert(int index, T* item) { return Use().Insert(index, item); }
  void Delete(int index) {
    if (list_) list_->Delete(index);
  }
  int IndexOf(const T* item) const { return list_ ? list_->IndexOf(item) : -1; }
  bool Remove(const T* item) { return list_ && list_->Remove(item); }
  T* PopBack() { return list_ ? list_->PopBack() : nullptr; }
  // Forgets every entry and releases the list; never deletes the items.
  void Clear() { list_.reset(); }

 private:
  TCList<T>& Use() {
    if (!list_) list_ = std::make_unique<TCList<T>>();
    return *list_;
  }

  std::unique_ptr<TCList<T>> list_;
};
