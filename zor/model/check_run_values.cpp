#include "zor/model/check_run_values.h"

#include <unordered_set>

#include "zor/model/name_table.h"

namespace ZOR_RAM {

bool ListHolds(TZOR_RAM* ram, const TList& list, const TItemData* item) {
  if (!ram || !ram->InCheckRun() || list.Count() <= kScannedListLength) return list.IndexOf(item) >= 0;
  using Members = std::unordered_set<const TItemData*>;
  static const char kKey = 0;
  const Members& members = CheckRunValueOf<Members>(*ram, &kKey, &list, [](const TList* items) {
    Members result;
    for (int i = 0; i < items->Count(); ++i) result.insert(items->Get(i));
    return result;
  });
  return members.count(item) > 0;
}

bool OtherItemHasName(TZOR_RAM* ram, const TList& list, TItemData* self, const std::string& name) {
  return OtherItemHasName(ram, list, self, name, nullptr);
}

bool OtherItemHasName(TZOR_RAM* ram, const TList& list, TItemData* self, const std::string& name,
                      TNameSourceOf nameSource) {
  if (!ram || !ram->InCheckRun() || list.Count() <= kScannedListLength) {
    for (int i = 0; i < list.Count(); ++i)
      if (TItemData* item = list.Get(i); item && item != self && item->GetName() == name) return true;
    return false;
  }
  static const char kKey = 0;
  using Index = TNameTable<THolders<TItemData>>;
  const Index& index = CheckRunValueOf<Index>(*ram, &kKey, &list, [nameSource](const TList* items) {
    Index result(static_cast<size_t>(items->Count()));
    result.InsertAll(
        static_cast<size_t>(items->Count()), ItemNamesOf(*items),
        [items](THolders<TItemData>& holders, size_t i) { holders.Add(items->Get(static_cast<int>(i))); },
        ItemsAheadOf(*items, nameSource));
    return result;
  });
  const THolders<TItemData>* found = index.Find(name);
  return found && found->HasOtherThan(self);
}

}  // namespace ZOR_RAM
