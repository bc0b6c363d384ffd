// A set of pointers in one open-addressed block, for the indexes a check run
// builds over whole lists: building it allocates a few times, and a look-up
// reads one or two cache lines of it and nothing of the items themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "zor/model/prefetch.h"

namespace ZOR_RAM {

class TPointerSet {
 public:
  explicit TPointerSet(size_t expected = 0) { Rehash(expected); }

  // Adds p; a null pointer is never held.
  void Insert(const void* p) {
    if (!p) return;
    size_t i = SlotOf(p);
    while (Slots_[i] && Slots_[i] != p) i = (i + 1) & (Slots_.size() - 1);
    if (Slots_[i]) return;
    if ((Count_ + 1) * 2 > Slots_.size()) {
      Rehash(Count_ + 1);
      i = SlotOf(p);
      while (Slots_[i]) i = (i + 1) & (Slots_.size() - 1);
    }
    Slots_[i] = p;
    ++Count_;
  }

  bool Contains(const void* p) const {
    if (!p) return false;
    for (size_t i = SlotOf(p); Slots_[i]; i = (i + 1) & (Slots_.size() - 1))
      if (Slots_[i] == p) return true;
    return false;
  }

  size_t Size() const { return Count_; }

  // Starts reading the slot where p would go, for an Insert or Contains soon
  // after (while the set does not grow meanwhile).
  void Prefetch(const void* p) const { PrefetchLine(&Slots_[SlotOf(p)]); }

 private:
  // Items lie a fixed distance apart, so the address is mixed before its
  // high bits pick the slot.
  size_t SlotOf(const void* p) const {
    const uint64_t mixed = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(mixed >> (64 - Bits_));
  }

  // Makes room for count pointers at a load of at most one half.
  void Rehash(size_t count) {
    unsigned bits = 4;
    while ((size_t{1} << bits) < count * 2) ++bits;
    if (bits <= Bits_ && !Slots_.empty()) return;
    std::vector<const void*> old(size_t{1} << bits, nullptr);
    old.swap(Slots_);
    Bits_ = bits;
    for (const void* p : old)
      if (p) {
        size_t i = SlotOf(p);
        while (Slots_[i]) i = (i + 1) & (Slots_.size() - 1);
        Slots_[i] = p;
      }
  }

  std::vector<const void*> Slots_;
  unsigned Bits_ = 0;
  size_t Count_ = 0;
};

}  // namespace ZOR_RAM
