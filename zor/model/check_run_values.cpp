#include "zor/model/check_run_values.h"

#include <condition_variable>
#include <mutex>
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

const char kNameIndexKey = 0;

// Where a check run finds its TCheckRunValuesAhead, if it has one.
struct TAheadSlot {
  mutable TCheckRunValuesAhead::State* Ahead = nullptr;
};
const char kAheadKey = 0;

}  // namespace

struct TCheckRunValuesAhead::State {
  enum Phase { kWaiting, kBuilding, kBuilt, kTaken };
  struct Job {
    std::function<std::shared_ptr<void>()> Build;
    Phase Now = kWaiting;
    std::shared_ptr<void> Value;  // once built, unless the build failed
  };
  struct KeyHash {
    size_t operator()(const std::pair<const void*, const void*>& k) const {
      return std::hash<const void*>()(k.first) * 31 ^ std::hash<const void*>()(k.second);
    }
  };
  std::vector<Job> Jobs;
  std::unordered_map<std::pair<const void*, const void*>, size_t, KeyHash> JobOf;
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
      std::shared_ptr<void> value;
      try {
        value = job.Build();
      } catch (...) {
        // Out of memory: the run builds this one itself, or meets the failure again.
      }
      std::lock_guard<std::mutex> hold(Lock);
      job.Value = std::move(value);
      job.Now = kBuilt;
      Built.notify_all();
    }
  }

  std::shared_ptr<void> Take(const void* key, const void* owner) {
    const auto found = JobOf.find({key, owner});
    if (found == JobOf.end()) return nullptr;
    Job& job = Jobs[found->second];
    std::unique_lock<std::mutex> hold(Lock);
    const bool started = job.Now != kWaiting;  // if not, the asking thread builds it
    Built.wait(hold, [&job] { return job.Now != kBuilding; });
    job.Now = kTaken;
    return started ? std::move(job.Value) : nullptr;
  }
};

TCheckRunValuesAhead::TCheckRunValuesAhead(TZOR_RAM& ram) : ram_(ram), state_(std::make_unique<State>()) {}

void TCheckRunValuesAhead::QueueBuild(const void* key, const void* owner,
                                      std::function<std::shared_ptr<void>()> build) {
  if (state_->Thread.joinable()) return;  // started
  if (state_->JobOf.emplace(std::make_pair(key, owner), state_->Jobs.size()).second)
    state_->Jobs.push_back({std::move(build), State::kWaiting, nullptr});
}

void TCheckRunValuesAhead::Start() {
  if (!ram_.InCheckRun() || state_->Jobs.empty() || state_->Thread.joinable()) return;
  const TAheadSlot& slot = ram_.CheckRunValue<TAheadSlot>(&kAheadKey, [] { return TAheadSlot(); });
  if (slot.Ahead) return;
  try {
    state_->Thread = std::thread([state = state_.get()] { state->Run(); });
  } catch (const std::system_error&) {
    return;  // no second thread: the run builds every value itself
  }
  state_->Slot = &slot;
  slot.Ahead = state_.get();
}

void TCheckRunValuesAhead::WaitForBuilds() {
  std::unique_lock<std::mutex> hold(state_->Lock);
  if (!state_->Thread.joinable()) return;
  state_->Built.wait(hold, [this] {
    for (const State::Job& job : state_->Jobs)
      if (job.Now == State::kWaiting || job.Now == State::kBuilding) return false;
    return true;
  });
}

TCheckRunValuesAhead::~TCheckRunValuesAhead() {
  if (state_->Slot) state_->Slot->Ahead = nullptr;
  {
    std::lock_guard<std::mutex> hold(state_->Lock);
    state_->Stop = true;
  }
  if (state_->Thread.joinable()) state_->Thread.join();
}

std::shared_ptr<void> TCheckRunValuesAhead::Take(TZOR_RAM& ram, const void* key, const void* owner) {
  if (!ram.InCheckRun()) return nullptr;
  const TAheadSlot& slot = ram.CheckRunValue<TAheadSlot>(&kAheadKey, [] { return TAheadSlot(); });
  return slot.Ahead ? slot.Ahead->Take(key, owner) : nullptr;
}

void QueueNameIndex(TCheckRunValuesAhead& ahead, const TList& list) {
  if (list.Count() > kScannedListLength)
    ahead.Queue<TNameIndex>(&kNameIndexKey, &list, [](const TList* items) { return BuildNameIndex(*items, nullptr); });
}

bool OtherItemHasName(TZOR_RAM* ram, const TList& list, TItemData* self, const std::string& name,
                      TNameSourceOf nameSource) {
  if (!ram || !ram->InCheckRun() || list.Count() <= kScannedListLength) {
    for (int i = 0; i < list.Count(); ++i)
      if (TItemData* item = list.Get(i); item && item != self && item->GetName() == name) return true;
    return false;
  }
  const TNameIndex& index = CheckRunValueOf<TNameIndex>(
      *ram, &kNameIndexKey, &list, [nameSource](const TList* items) { return BuildNameIndex(*items, nameSource); });
  const THolders<TItemData>* found = index.Find(name);
  return found && found->HasOtherThan(self);
}

}  // namespace ZOR_RAM
