#include "zor/model/ram.h"

#include <unordered_map>

// The one model source that includes the families: the constructor maps each
// item class to its list, and typeid needs the complete classes.
#include "zor/env/env.h"
#include "zor/model/check_run_values.h"
#include "zor/model/name_table.h"
#include "zor/most/fblock.h"
#include "zor/most/fkt_interface.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/network/signal_group.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

namespace ZOR_RAM {

// Name counts per list, kept for the length of one check run.
struct TZOR_RAM::NameCache {
  std::unordered_map<const TList*, TNameTable<int>> Exact;
  std::unordered_map<const TList*, TNameTable<int>> Folded;
  std::unordered_map<const void*, std::shared_ptr<void>> Values;
};

TZOR_RAM::TZOR_RAM() {
  ForEachList([](TList& list) { list.Database_ = true; });
#define ZOR_ITEM(Class, List, Factory) ClassLists_.emplace(std::type_index(typeid(Class)), &List);
#include "zor/model/items.def"
}

const TList* TZOR_RAM::ClassList(const TItemData& item) const {
  auto it = ClassLists_.find(std::type_index(typeid(item)));
  return it == ClassLists_.end() ? nullptr : it->second;
}

TZOR_RAM::CallScope::CallScope(TZOR_RAM& ram) : Ram_(ram) {
  ++Ram_.CallScopes_;
  Ram_.ForEachList([](TList& list) { list.BeginIdLookups(); });
}

TZOR_RAM::CallScope::~CallScope() {
  Ram_.ForEachList([](TList& list) { list.EndIdLookups(); });
  if (--Ram_.CallScopes_ == 0) Ram_.CallValues_.clear();
}

int TZOR_RAM::CountNames(const TList& list, const std::string& name, bool ignoreCase) {
  if (!NameCache_) {
    int count = 0;
    for (int i = 0; i < list.Count(); ++i)
      if (TItemData* item = list.Get(i)) {
        std::string itemName = item->GetName();
        count += ignoreCase ? SameTextAscii(itemName, name) : itemName == name;
      }
    return count;
  }
  auto& lists = ignoreCase ? NameCache_->Folded : NameCache_->Exact;
  auto it = lists.find(&list);
  if (it == lists.end()) {
    TNameTable<int> counts(static_cast<size_t>(list.Count()), ignoreCase);
    counts.InsertAll(static_cast<size_t>(list.Count()), ItemNamesOf(list), [](int& count, size_t) { ++count; },
                     ItemsAheadOf(list));
    it = lists.emplace(&list, std::move(counts)).first;
  }
  const int* count = it->second.Find(name);
  return count ? *count : 0;
}

std::shared_ptr<void>& TZOR_RAM::CheckRunSlot(const void* key) {
  return NameCache_ ? NameCache_->Values[key] : ScratchValues_[key];
}

void TZOR_RAM::BeginCheckRun() { NameCache_ = std::make_unique<NameCache>(); }
void TZOR_RAM::EndCheckRun() { NameCache_.reset(); }

TZOR_RAM::~TZOR_RAM() {
  Destroying_ = true;
  // All list objects live until the end of this destructor, so an item that
  // asks a list freed before its own to remove it finds a valid, empty list.
  ForEachList([](TList& list) { list.FreeItems(); });
}

void TZOR_RAM::Update() {
  TList* const displayLists[] = {
      &MOSTFBlocks, &MOSTFBlockInstances, &MOSTFkts, &MOSTFktParams, &MOSTFktIfFields,
      &MOSTFktIf_StreamCases, &Networks, &NetModes, &SchEntries, &NetFrames, &FrameHolders,
      &NetSigs, &Nodes, &Gateways, &Ifcs, &FrameMsgIds, &IfcModes, &PubSigs, &SubSigs,
      &FrameGateways, &Signals, &EncTypes};
  {
    // Display names edit nothing they derive from, so their look-ups (a
    // placement's gateway) may use the indexes of a check run.
    TCheckRunScope run(*this);
    for (TList* list : displayLists) list->RefreshDisplayNames();
  }
  RemoveReservedDiagSignals(*this);
  UpdateNetSigs(*this);
  AssignControllerFrames(*this);
  UpdateFrameModels(*this);
}

TItemData* TZOR_RAM::FindByName(const TList& list, const std::string& name) const {
  for (int i = 0; i < list.Count(); ++i) {
    TItemData* item = list.Get(i);
    if (item && SameTextAscii(item->GetName(), name)) return item;
  }
  return nullptr;
}

bool TZOR_RAM::IsVersion2() const { return SameTextAscii(Version, kCurrentFileVersion); }

}  // namespace ZOR_RAM
