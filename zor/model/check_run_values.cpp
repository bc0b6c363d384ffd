#include "zor/model/check_run_values.h"

namespace ZOR_RAM {

namespace {

// Per name of a list: the first item carrying it, and whether another item
// (not the same pointer listed again) carries it too.
struct NameHolders {
  TItemData* First;
  bool Several;
};

}  // namespace

bool OtherItemHasName(TZOR_RAM* ram, const TList& list, TItemData* self, const std::string& name) {
  if (!ram || !ram->InCheckRun() || list.Count() <= kScannedListLength) {
    for (int i = 0; i < list.Count(); ++i)
      if (TItemData* item = list.Get(i); item && item != self && item->GetName() == name) return true;
    return false;
  }
  static const char kKey = 0;
  using Index = std::unordered_map<std::string, NameHolders>;
  const Index& index = CheckRunValueOf<Index>(*ram, &kKey, &list, [](const TList* items) {
    Index result;
    result.reserve(static_cast<size_t>(items->Count()));
    for (int i = 0; i < items->Count(); ++i)
      if (TItemData* item = items->Get(i)) {
        auto [it, added] = result.try_emplace(item->GetName(), NameHolders{item, false});
        if (!added && it->second.First != item) it->second.Several = true;
      }
    return result;
  });
  auto found = index.find(name);
  return found != index.end() && (found->second.Several || found->second.First != self);
}

}  // namespace ZOR_RAM
