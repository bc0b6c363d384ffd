#include "zor/check/check_run_values.h"

namespace ZOR_RAM {

namespace {

// How often self occurs in list (normally 0 or 1).
int Occurrences(TZOR_RAM& ram, const TList& list, const TItemData* self) {
  static const char kKey = 0;
  const auto& counts =
      CheckRunValueOf<std::unordered_map<const TItemData*, int>>(ram, &kKey, &list, [](const TList* items) {
        std::unordered_map<const TItemData*, int> result;
        for (int i = 0; i < items->Count(); ++i)
          if (const TItemData* item = items->Get(i)) ++result[item];
        return result;
      });
  auto found = counts.find(self);
  return found == counts.end() ? 0 : found->second;
}

}  // namespace

bool OtherItemHasName(TZOR_RAM* ram, const TList& list, TItemData* self, const std::string& name) {
  if (!ram) {
    for (int i = 0; i < list.Count(); ++i)
      if (TItemData* item = list.Get(i); item && item != self && item->GetName() == name) return true;
    return false;
  }
  int count = ram->CountNames(list, name);
  if (count > 0 && self && self->GetName() == name) count -= Occurrences(*ram, list, self);
  return count > 0;
}

}  // namespace ZOR_RAM
