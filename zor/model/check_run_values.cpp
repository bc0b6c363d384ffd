#include "zor/model/check_run_values.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>
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

namespace {

using TNameIndex = TNameTable<THolders<TItemData>>;

TNameIndex BuildNameIndex(const TList& items, TNameSourceOf nameSource) {
  TNameIndex index(static_cast<size_t>(items.Count()));
  index.InsertAll(
      static_cast<size_t>(items.Count()), ItemNamesOf(items),
      [&items](THolders<TItemData>& holders, size_t i) { holders.Add(items.Get(static_cast<int>(i))); },
      ItemsAheadOf(items, nameSource));
  return index;
}

// Where a check run finds its TNameIndexesAhead, if it has one.
struct TAheadSlot {
  mutable TNameIndexesAhead::State* Ahead = nullptr;
};
const char kAheadKey = 0;

}  // namespace

struct TNameIndexesAhead::State {
  enum Phase { kWaiting, kBuilding, kBuilt, kTaken };
  struct Job {
    const TList* List;
    Phase Now = kWaiting;
    std::optional<TNameIndex> Index;  // when built and not failed
  };
  std::vector<Job> Jobs;
  std::unordered_map<const TList*, size_t> JobOf;
  std::mutex Lock;
  std::condition_variable Built;
  bool Stop = false;
  std::thread Thread;
  const TAheadSlot* Slot = nullptr;

  void Run() {
    for (Job& job : Jobs) {
      {
        std::lock_guard<std::mutex> hold(Lock);
        if (Stop) return;
        if (job.Now != kWaiting) continue;
        job.Now = kBuilding;
      }
      std::optional<TNameIndex> index;
      try {
        index.emplace(BuildNameIndex(*job.List, nullptr));
      } catch (...) {
        // Out of memory: the run builds this one itself, or meets the failure again.
      }
      std::lock_guard<std::mutex> hold(Lock);
      job.Index = std::move(index);
      job.Now = kBuilt;
      Built.notify_all();
    }
  }

  // The index of list built ahead, or nothing: then the caller builds it.
  std::optional<TNameIndex> Take(const TList* list) {
    const auto found = JobOf.find(list);
    if (found == JobOf.end()) return std::nullopt;
    Job& job = Jobs[found->second];
    std::unique_lock<std::mutex> hold(Lock);
    if (job.Now == kWaiting) job.Now = kTaken;  // not to be built now
    Built.wait(hold, [&job] { return job.Now != kBuilding; });
    if (job.Now != kBuilt) return std::nullopt;
    job.Now = kTaken;
    return std::move(job.Index);
  }
};

TNameIndexesAhead::TNameIndexesAhead(TZOR_RAM& ram, std::vector<const TList*> lists)
    : state_(std::make_unique<State>()) {
  if (!ram.InCheckRun() || lists.empty()) return;
  state_->Jobs.reserve(lists.size());
  for (const TList* list : lists)
    if (list && state_->JobOf.emplace(list, state_->Jobs.size()).second) state_->Jobs.push_back({list, State::kWaiting, std::nullopt});
  try {
    state_->Thread = std::thread([state = state_.get()] { state->Run(); });
  } catch (const std::system_error&) {
    return;  // no second thread: the run builds every index itself
  }
  state_->Slot = &ram.CheckRunValue<TAheadSlot>(&kAheadKey, [] { return TAheadSlot(); });
  state_->Slot->Ahead = state_.get();
}

TNameIndexesAhead::~TNameIndexesAhead() {
  if (state_->Slot) state_->Slot->Ahead = nullptr;
  {
    std::lock_guard<std::mutex> hold(state_->Lock);
    state_->Stop = true;
  }
  if (state_->Thread.joinable()) state_->Thread.join();
}

bool OtherItemHasName(TZOR_RAM* ram, const TList& list, TItemData* self, const std::string& name,
                      TNameSourceOf nameSource) {
  if (!ram || !ram->InCheckRun() || list.Count() <= kScannedListLength) {
    for (int i = 0; i < list.Count(); ++i)
      if (TItemData* item = list.Get(i); item && item != self && item->GetName() == name) return true;
    return false;
  }
  static const char kKey = 0;
  TZOR_RAM& db = *ram;
  const TNameIndex& index = CheckRunValueOf<TNameIndex>(db, &kKey, &list, [&db, nameSource](const TList* items) {
    const TAheadSlot& slot = db.CheckRunValue<TAheadSlot>(&kAheadKey, [] { return TAheadSlot(); });
    if (slot.Ahead)
      if (std::optional<TNameIndex> built = slot.Ahead->Take(items)) return std::move(*built);
    return BuildNameIndex(*items, nameSource);
  });
  const THolders<TItemData>* found = index.Find(name);
  return found && found->HasOtherThan(self);
}

}  // namespace ZOR_RAM
