// A flat table from item names to a small value, for the indexes a check run
// builds over whole lists. The names are copied into one character buffer and
// the open-addressed slots hold entry numbers, so building it allocates a few
// blocks instead of one node per name, and a look-up touches few cache lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zor/model/prefetch.h"

namespace ZOR_RAM {

template <class Value>
class TNameTable {
 public:
  // ignoreCase: names equal but for ASCII case share one entry.
  explicit TNameTable(size_t expected = 0, bool ignoreCase = false) : IgnoreCase_(ignoreCase) {
    Entries_.reserve(expected);
    Chars_.reserve(expected * 16);
    Rehash(expected);
  }

  // The value of name, and whether it was added now (default-constructed).
  // The reference stays valid until the next Insert.
  std::pair<Value&, bool> Insert(std::string_view name) { return Insert(name, Hash(name)); }

  // Inserts the names of items 0..count-1 in order, as a loop of Insert
  // would. nameOf(i, name) sets item i's name, or returns false to skip the
  // item; added(value, i) then receives the value of its entry. The names are
  // read 32 items ahead and the slots they hash to are prefetched, so that
  // in a table larger than the cache the slot reads overlap; prefetch(i), when
  // given, is called further ahead still, to start reading item i itself.
  template <class NameOf, class Added>
  void InsertAll(size_t count, NameOf&& nameOf, Added&& added) {
    InsertAll(count, nameOf, added, [](size_t) {});
  }
  template <class NameOf, class Added, class Prefetch>
  void InsertAll(size_t count, NameOf&& nameOf, Added&& added, Prefetch&& prefetch) {
    constexpr size_t kAhead = 32;
    struct Pending {
      std::string Name;
      uint64_t Hash = 0;
      bool Present = false;
    } ahead[kAhead];
    const auto read = [&](size_t i) {
      Pending& pending = ahead[i % kAhead];
      pending.Present = nameOf(i, pending.Name);
      if (!pending.Present) return;
      pending.Hash = Hash(pending.Name);
      PrefetchLine(&Slots_[static_cast<size_t>(pending.Hash) & (Slots_.size() - 1)]);
    };
    for (size_t i = 0; i < count && i < 2 * kAhead; ++i) prefetch(i);
    for (size_t i = 0; i < count && i < kAhead; ++i) read(i);
    for (size_t i = 0; i < count; ++i) {
      Pending& pending = ahead[i % kAhead];
      if (pending.Present) added(Insert(pending.Name, pending.Hash).first, i);
      if (i + 2 * kAhead < count) prefetch(i + 2 * kAhead);
      if (i + kAhead < count) read(i + kAhead);
    }
  }

  // The value of name, or null when no entry has it. Checks walk a list in
  // the order its names were added, so the entry after the last one found is
  // tried first: a hit there reads the entries in sequence and skips the
  // slots, which at scale are a cache miss per look-up.
  const Value* Find(std::string_view name) const {
    if (Next_ < Entries_.size() && Same(Entries_[Next_], name)) return &Entries_[Next_++].Val;
    const uint32_t entry = EntryOf(Slots_[FindSlot(name, Hash(name))]);
    if (entry == 0) return nullptr;
    Next_ = entry;  // the entry after the one found
    return &Entries_[entry - 1].Val;
  }

  // As Find, without trying or moving the entry after the last one found:
  // for look-ups from several threads at once.
  const Value* FindShared(std::string_view name) const {
    const uint32_t entry = EntryOf(Slots_[FindSlot(name, Hash(name))]);
    return entry == 0 ? nullptr : &Entries_[entry - 1].Val;
  }

  size_t Size() const { return Entries_.size(); }

 private:
  std::pair<Value&, bool> Insert(std::string_view name, uint64_t hash) {
    size_t slot = FindSlot(name, hash);
    if (const uint32_t entry = EntryOf(Slots_[slot]); entry != 0) return {Entries_[entry - 1].Val, false};
    if ((Entries_.size() + 1) * 2 > Slots_.size()) {
      Rehash(Entries_.size() + 1);
      slot = FindSlot(name, hash);
    }
    Entries_.push_back(Entry{static_cast<uint32_t>(Chars_.size()), static_cast<uint32_t>(name.size()), Value()});
    Chars_.append(name);
    Slots_[slot] = TagOf(hash) | static_cast<uint32_t>(Entries_.size());
    return {Entries_.back().Val, true};
  }

  struct Entry {
    uint32_t Offset, Length;  // the name in Chars_
    Value Val;
  };
  // A slot is 0 when free; else its low EntryBits_ bits hold the entry
  // number + 1 and the bits above them the tag: high bits of the name's hash
  // (its low bits pick the slot). Four-byte slots keep a large table twice as
  // likely to be in the cache as entry and tag side by side.

  static unsigned char Fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

  // Folds the ASCII capitals among eight bytes at once, as Fold does byte by byte.
  static uint64_t FoldWord(uint64_t word) {
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    const uint64_t low7 = word & ~kHigh;
    const uint64_t atLeastA = low7 + (0x80 - 'A') * kOnes;
    const uint64_t aboveZ = low7 + (0x80 - 'Z' - 1) * kOnes;
    const uint64_t capital = atLeastA & ~aboveZ & ~word & kHigh;
    return word | (capital >> 2);  // 0x80 >> 2 is the case bit 0x20
  }

  // Eight bytes at a time; names equal but for ASCII case hash alike when
  // case is ignored.
  uint64_t Hash(std::string_view name) const {
    constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
    uint64_t h = 0x243F6A8885A308D3ull ^ name.size();
    const char* p = name.data();
    size_t left = name.size();
    while (left > 0) {
      uint64_t word = 0;
      const size_t n = left < 8 ? left : 8;
      if (n == 8) {
        std::memcpy(&word, p, 8);
      } else {
        // The last bytes are gathered in a register: a short copy into a
        // word in memory would stall the read of the whole word that follows.
        for (size_t k = 0; k < n; ++k) word |= static_cast<uint64_t>(static_cast<unsigned char>(p[k])) << (8 * k);
      }
      if (IgnoreCase_) word = FoldWord(word);
      h = (h ^ word) * kMul;
      h ^= h >> 29;
      p += n;
      left -= n;
    }
    h *= kMul;
    return h ^ (h >> 32);
  }

  uint32_t TagOf(uint64_t hash) const {
    return EntryBits_ >= 32 ? 0 : static_cast<uint32_t>((hash >> 32) << EntryBits_);
  }
  uint32_t EntryOf(uint32_t slot) const { return EntryIn(slot, EntryBits_); }
  static uint32_t EntryIn(uint32_t slot, uint32_t entryBits) {
    return entryBits >= 32 ? slot : slot & ((uint32_t{1} << entryBits) - 1);
  }

  bool Same(const Entry& entry, std::string_view name) const {
    if (entry.Length != name.size()) return false;
    const char* stored = Chars_.data() + entry.Offset;
    if (!IgnoreCase_) return name.compare(0, name.size(), stored, entry.Length) == 0;
    for (size_t i = 0; i < name.size(); ++i)
      if (Fold(static_cast<unsigned char>(stored[i])) != Fold(static_cast<unsigned char>(name[i]))) return false;
    return true;
  }

  // The slot holding name, or the free slot where it would go.
  size_t FindSlot(std::string_view name, uint64_t hash) const {
    const size_t mask = Slots_.size() - 1;
    for (size_t i = static_cast<size_t>(hash) & mask;; i = (i + 1) & mask) {
      const uint32_t slot = Slots_[i];
      if (slot == 0) return i;
      if ((slot ^ TagOf(hash)) == EntryOf(slot) && Same(Entries_[EntryOf(slot) - 1], name)) return i;
    }
  }

  // Makes room for count entries at a load of at most one half.
  void Rehash(size_t count) {
    size_t size = 16;
    while (size < count * 2) size *= 2;
    if (size <= Slots_.size()) return;
    std::vector<uint32_t> old(size, 0);
    old.swap(Slots_);
    const uint32_t oldBits = EntryBits_;
    EntryBits_ = 0;
    while ((size_t{1} << EntryBits_) < size) ++EntryBits_;
    const size_t mask = size - 1;
    for (const uint32_t slot : old) {
      if (slot == 0) continue;
      const uint32_t number = EntryIn(slot, oldBits);
      const Entry& entry = Entries_[number - 1];
      const uint64_t hash = Hash(std::string_view(Chars_.data() + entry.Offset, entry.Length));
      size_t i = static_cast<size_t>(hash) & mask;
      while (Slots_[i] != 0) i = (i + 1) & mask;
      Slots_[i] = TagOf(hash) | number;
    }
  }

  bool IgnoreCase_;
  std::string Chars_;
  std::vector<Entry> Entries_;
  std::vector<uint32_t> Slots_;
  uint32_t EntryBits_ = 0;  // log2 of the slot count
  mutable size_t Next_ = 0;  // the entry Find tries first
};

// The nameOf of InsertAll for a list of items: item i's GetName(), with the
// empty entries of the list skipped.
template <class List>
auto ItemNamesOf(const List& list) {
  return [&list](size_t i, std::string& name) {
    auto* item = list.Get(static_cast<int>(i));
    if (item) name = item->GetName();
    return item != nullptr;
  };
}

// The prefetch of InsertAll for a list of items. With nameSource, the item
// that the GetName of an item asked for a few calls earlier reads is asked
// for too: by then the item has arrived and its link can be read.
template <class List>
auto ItemsAheadOf(const List& list, TNameSourceOf nameSource = nullptr) {
  return [&list, nameSource](size_t i) {
    constexpr size_t kLinkLag = 6;
    // The names and links GetName reads lie in the first three lines of the
    // items; reading no further leaves the memory bus to the items ahead.
    constexpr size_t kNameBytes = 192;
    PrefetchItemHead(list.Get(static_cast<int>(i)), kNameBytes);
    if (nameSource && i >= kLinkLag)
      if (const auto* item = list.Get(static_cast<int>(i - kLinkLag))) PrefetchItemHead(nameSource(item), kNameBytes);
  };
}

}  // namespace ZOR_RAM
