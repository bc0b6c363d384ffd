#include "zor/model/check_run_values.h"

#include "zor/model/name_table.h"

namespace ZOR_RAM {

namespace {

// Per name of a list: the first item carrying it, and whether another item
// (not the same pointer listed again) carries it too.
struct NameHolders {
  TItemData* First = nullptr;
  bool Several = false;
};

}  // namespace

bool OtherItemHasName(TZOR_RAM* ram, const TList& list, TItemData* self, const std::string& name) {
  if (!ram || !ram->InCheckRun() || list.Count() <= kScannedListLength) {
    for (int i = 0; i < list.Count(); ++i)
      if (TItemData* item = list.Get(i); item && item != self && item->GetName() == name) return true;
    return false;
  }
  static const char kKey = 0;
  using Index = TNameTable<NameHolders>;
  const Index& index = CheckRunValueOf<Index>(*ram, &kKey, &list, [](const TList* items) {
    Index result(static_cast<size_t>(items->Count()));
    for (int i = 0; i < items->Count(); ++i)
      if (TItemData* item = items->Get(i)) {
        auto [holders, added] = result.Insert(item->GetName());
        if (added)
          holders = NameHolders{item, false};
        else if (holders.First != item)
          holders.Several = true;
      }
    return result;
  });
  const NameHolders* found = index.Find(name);
  return found && (found->Several || found->First != self);
}

}  // namespace ZOR_RAM
