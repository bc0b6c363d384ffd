// A set of item addresses for the indexes a check run builds over whole
// lists: a look-up reads the set and nothing of the items themselves.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

namespace ZOR_RAM {

// A set of pointers in address order, for look-ups that as a rule come in
// increasing address order, as a walk of a list whose items were created in
// order asks them. A search starts where the last one ended and gallops
// forward, so such a walk reads the set once and nothing of the items; a
// search out of order is a binary search.
class TSortedPointers {
 public:
  TSortedPointers() = default;
  // Pointers gathered from lists of items created in order come mostly in
  // order already: those that keep the order stay where they are (moved up
  // over the others), and only the few others are sorted.
  explicit TSortedPointers(std::vector<const void*> pointers) {
    const std::less<> less;
    size_t kept = 0;
    for (size_t i = 0; i < pointers.size(); ++i) {
      const void* p = pointers[i];
      if (!p) continue;
      if (kept == 0 || !less(p, pointers[kept - 1]))
        pointers[kept++] = p;
      else
        Others_.Pointers.push_back(p);
    }
    pointers.resize(kept);
    InOrder_.Pointers = std::move(pointers);
    std::sort(Others_.Pointers.begin(), Others_.Pointers.end(), less);
  }

  bool Contains(const void* p) const { return p && (InOrder_.Contains(p) || Others_.Contains(p)); }

 private:
  struct Run {
    std::vector<const void*> Pointers;  // in address order
    mutable size_t Next = 0;            // where the last search ended

    bool Contains(const void* p) const {
      const std::less<> less;
      const size_t size = Pointers.size();
      size_t lo = 0, hi = size;
      if (Next < size && !less(p, Pointers[Next])) {
        size_t step = 1;
        lo = Next;
        while (lo + step < size && less(Pointers[lo + step], p)) {
          lo += step;
          step *= 2;
        }
        hi = std::min(size, lo + step + 1);
      }
      const auto begin = Pointers.begin();
      Next = static_cast<size_t>(std::lower_bound(begin + static_cast<std::ptrdiff_t>(lo),
                                                  begin + static_cast<std::ptrdiff_t>(hi), p, less) -
                                 begin);
      return Next < size && Pointers[Next] == p;
    }
  };
  Run InOrder_, Others_;
};

}  // namespace ZOR_RAM
