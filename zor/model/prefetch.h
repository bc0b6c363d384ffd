// Read-ahead for walks over item lists. A list's items lie in the order they
// were loaded, but each item is reached through a pointer and a check does a
// lot of work per item, so the processor rarely starts reading the next items
// on its own. Once the items outgrow the last-level cache, asking for them a
// few items ahead lets the memory reads overlap the work. These are hints
// only: they change nothing and never fault, whatever the address.
#pragma once

#include <algorithm>
#include <vector>

#include "zor/model/item.h"

namespace ZOR_RAM {

// How many items ahead a walk asks for; a walk that does little per item
// asks for items kFarAhead ahead, since they arrive no sooner.
inline constexpr int kReadAhead = 8;
inline constexpr int kFarAhead = 4 * kReadAhead;

// Starts reading the cache line that holds address.
inline void PrefetchLine(const void* address) {
#if defined(__GNUC__)
  __builtin_prefetch(address);
#else
  (void)address;
#endif
}

// Starts reading the cache lines that hold the bytes from first up to end:
// for walks that read a few neighbouring fields of each item.
inline void PrefetchSpan(const void* first, const void* end) {
  const char* p = static_cast<const char*>(first);
  const char* last = static_cast<const char*>(end) - 1;
  for (; p < last; p += 64) PrefetchLine(p);
  PrefetchLine(last);
}

// Starts reading the first bytes of item: the fields most walks read.
inline void PrefetchItem(const TItemData* item) {
  if (!item) return;
  const char* bytes = reinterpret_cast<const char*>(item);
  for (int line = 0; line < 5; ++line) PrefetchLine(bytes + 64 * line);
}

// Starts reading the first bytes of item, up to its name and the fields
// around it: for walks that read little else.
inline void PrefetchItemHead(const TItemData* item, size_t bytes) {
  if (item) PrefetchSpan(item, reinterpret_cast<const char*>(item) + bytes);
}

// Starts reading the first entries of list's pointer array, which lies apart
// from the item holding the list: for walks that go on to the list's items.
inline void PrefetchEntries(const TList& list) {
  const size_t count = std::min(list.Items_.size(), size_t{16});
  if (count > 0) PrefetchSpan(list.Items_.data(), list.Items_.data() + count);
}

// The item whose fields another item's GetName reads (a placement's signal),
// for walks that read names: it can be asked for once the item has arrived.
using TNameSourceOf = const TItemData* (*)(const TItemData* item);

// Starts reading the item a walk of list at index will reach distance items later.
inline void PrefetchAhead(const TList& list, int index, int distance = kReadAhead) {
  PrefetchItem(list.Get(index + distance));
}

// Calls fn(item) for the items in order. Item i + kReadAhead is asked for
// ahead, and link(item) of item i + kReadAhead / 2 once that item has arrived:
// for walks that follow one pointer from each item.
template <class Item, class Link, class Fn>
void WalkAhead(const std::vector<Item*>& items, Link&& link, Fn&& fn) {
  const size_t count = items.size();
  constexpr size_t kHalf = kReadAhead / 2;
  for (size_t i = 0; i < count; ++i) {
    if (i + kReadAhead < count) PrefetchItem(items[i + kReadAhead]);
    if (i + kHalf < count) PrefetchItem(link(items[i + kHalf]));
    fn(items[i]);
  }
}

}  // namespace ZOR_RAM
