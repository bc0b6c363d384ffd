// The item base class and the pointer lists that hold items.
//
// Every configuration item derives from TItemData and is registered in exactly
// one of the database's lists (TZOR_RAM), which owns it. All other lists of
// item pointers only refer.
#pragma once

#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zor/zor.h"

class TQXMLNode;

namespace ZOR_RAM {

class TItemData;

// An ordered list of item pointers. A list created by the database (a
// "database list") owns its items: an item added to one remembers that list
// and takes itself out of it when destroyed. Any other list only refers.
class ZOR_API TList {
 public:
  TList();
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;
  // Frees the pointer array only, never the items.
  virtual ~TList();

  int Count() const { return static_cast<int>(Items_.size()); }
  bool IsEmpty() const { return Items_.empty(); }
  // The item at index, or null when the index is out of range.
  TItemData* Get(int index) const;
  int Add(TItemData* item);
  // Inserts at index (0..Count); other indexes insert nothing.
  void Insert(int index, TItemData* item);
  // Removes the first occurrence; returns its former index or -1.
  int Remove(TItemData* item);
  // Removes the entry at index; out-of-range indexes do nothing.
  void Delete(int index);
  int IndexOf(const TItemData* item) const;
  void Clear();

  // Destroys every item from the last index down to 0, then empties the list.
  void FreeItems();
  // Fills the display-text cache of every item, from index 0 upwards.
  void RefreshDisplayNames();
  // Gives back the room the pointer array grew beyond its items (after a load).
  void Compact() { Items_.shrink_to_fit(); }

  // The first item whose GetId() equals id, or null. Builds the default
  // identifiers of the items it passes, as a scan from index 0 would. Inside
  // a call scope (TZOR_RAM::CallScope) it remembers what
  // it has seen, so a series of look-ups costs linear time; outside one it
  // scans, so identifiers a host edited between calls are always seen.
  TItemData* FindById(const std::string& id);
  // Inside a look-up scope, indexes the items' identifiers now, as look-ups
  // would on their way: for a complete list while nothing else is waiting.
  // Stops before an item without an identifier, whose default a look-up
  // builds only on reaching it. Returns whether every item is indexed.
  bool IndexIds();
  // Forgets the look-up index (call after identifiers were edited directly).
  void ResetIdIndex();
  // While one lives on a thread, FindById on that thread may run beside
  // look-ups on other threads: it only reads an index that IndexIds made
  // complete, and throws IndexNeeded where it would build or extend one.
  class ZOR_API SharedLookups {
   public:
    SharedLookups();
    SharedLookups(const SharedLookups&) = delete;
    SharedLookups& operator=(const SharedLookups&) = delete;
    ~SharedLookups();

   private:
    bool previous_;
  };
  struct IndexNeeded {};
  // Opens and closes an identifier look-up scope; scopes nest, and the index
  // is dropped when the outermost one closes.
  void BeginIdLookups();
  void EndIdLookups();

  bool IsDatabaseList() const { return Database_; }

 protected:
  std::vector<TItemData*> Items_;

 private:
  friend class TItemData;
  friend class TZOR_RAM;
  friend void PrefetchEntries(const TList& list);
  struct IdIndex;
  IdIndex& UseIdIndex();

  void Adopt(TItemData* item, int index);
  void Release(TItemData* item);
  int Locate(const TItemData* item) const;
  void Invalidate();
  // Positions at and above index may have moved.
  void Moved(int index);

  bool Database_ = false;
  // Every item below this index whose home is this list knows its index.
  mutable int FreshBelow_ = 0;
  int IdScopes_ = 0;
  std::unique_ptr<IdIndex> IdIndex_;
};

// A typed view on TList; adds no fields.
template <class T>
class TZORList : public TList {
 public:
  class iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = T*;
    using difference_type = std::ptrdiff_t;
    using pointer = T* const*;
    using reference = T*;
    explicit iterator(TItemData* const* p) : P_(p) {}
    T* operator*() const { return static_cast<T*>(*P_); }
    iterator& operator++() { ++P_; return *this; }
    iterator operator++(int) { iterator t = *this; ++P_; return t; }
    iterator& operator--() { --P_; return *this; }
    difference_type operator-(const iterator& o) const { return P_ - o.P_; }
    bool operator==(const iterator& o) const { return P_ == o.P_; }
    bool operator!=(const iterator& o) const { return P_ != o.P_; }

   private:
    TItemData* const* P_;
  };

  T* Get(int index) const { return static_cast<T*>(TList::Get(index)); }
  T* operator[](int index) const { return Get(index); }
  T* First() const { return Get(0); }
  T* Last() const { return Get(Count() - 1); }
  int Add(T* item) { return TList::Add(item); }
  void Insert(int index, T* item) { TList::Insert(index, item); }
  T* FindById(const std::string& id) { return static_cast<T*>(TList::FindById(id)); }
  iterator begin() const { return iterator(Items_.data()); }
  iterator end() const { return iterator(Items_.data() + Items_.size()); }
};

// Base class of every configuration item. Slots 0 to 7 are the operations
// every family overrides, in this order.
class ZOR_API TItemData {
 public:
  TItemData();
  TItemData(const TItemData&) = delete;
  TItemData& operator=(const TItemData&) = delete;
  // Takes the item out of every database list that holds it.
  virtual ~TItemData();

  std::string Id;                // "ZORId"; empty until read, set or built
  std::string DisplayNameCache;  // filled by GetDisplayName
  class TZOR_RAM* Ram = nullptr;  // the owning database, not owned
  TQXMLNode* SourceNode = nullptr;  // element last read from, not owned

  // 0: the identifier, built once from the class name and the list index.
  virtual const std::string& GetId() = 0;
  // 1: writes the element (withElement) or only the base part; true = failed.
  virtual bool WriteXml(bool withElement);
  // 2: reads "ZORId" (and, in the families, every field); true = failed.
  virtual bool ReadXml(TQXMLNode* element);
  // 3: turns the identifiers kept in SourceNode into links.
  virtual void ResolveLinks();
  // 4: reports findings; true when an error-severity finding was reported.
  virtual bool Check(uint64_t flags);
  // 5: whether another item of the same list carries this name.
  virtual bool IsNameUsed(const std::string& name);
  // 6: the display text, cached in DisplayNameCache.
  virtual std::string GetDisplayName();
  // 7: the item's name field.
  virtual std::string GetName() = 0;

  // Index in the database list that holds the item, or -1.
  int ListIndex() const;
  // Index of the item in list, or -1; cheap for a database list.
  int IndexIn(const TList& list) const;
  // The database list that holds the item, or null.
  TList* HomeList() const { return Home_; }

 protected:
  // GetId's common form: when Id is empty, base + the index in the
  // database's list of the item's class (for a detached item, the list that
  // holds it).
  const std::string& DefaultId(std::string_view base);
  // The same with the index taken in list.
  const std::string& DefaultIdIn(std::string_view base, const TList* list);
  // The first of a class's ReadXml steps: keeps the element and reads "ZORId".
  bool ReadBase(TQXMLNode* element);
  // The base check: code 164 when the item is not attached (under flag bit 2).
  bool CheckBase(bool* errorFound, uint64_t flags);

 private:
  friend class TList;
  TList* Home_ = nullptr;
  mutable int HomeIndex_ = -1;
  // Further database lists holding the item (rare: a host may add an item to
  // a second list, such as a frame holder to NetFrames).
  std::unique_ptr<std::vector<TList*>> MoreHomes_;
};

}  // namespace ZOR_RAM
