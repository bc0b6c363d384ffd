#include "zor/model/parallel_resolve.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "zor/io/messages.h"

namespace ZOR_RAM {

namespace {

// The homes, then the items, are taken in turn by whichever thread is free;
// each item has a capture of its own for what it reports.
class TParallelResolution {
 public:
  TParallelResolution(const TList& items, std::span<TList* const> homes)
      : items_(items), homes_(homes.begin(), homes.end()), count_(items.Count()),
        outcomes_(static_cast<size_t>(count_)) {
    // The longest first, so that the two threads end their indexing together.
    std::stable_sort(homes_.begin(), homes_.end(), [](TList* a, TList* b) { return a->Count() > b->Count(); });
  }

  void Work() {
    if (!IndexHomes()) return;
    const TList::SharedLookups shared;
    while (!stop_.load(std::memory_order_relaxed)) {
      const int i = nextItem_.fetch_add(1, std::memory_order_relaxed);
      if (i >= count_) return;
      Outcome& outcome = outcomes_[static_cast<size_t>(i)];
      try {
        outcome.Reports = std::make_unique<zor::MessageCapture>();
        if (TItemData* item = items_.Get(i)) item->ResolveLinks();
        outcome.Reports->Stop();
      } catch (const TList::IndexNeeded&) {
        if (outcome.Reports) outcome.Reports->Stop();
        inOrder_.store(true);
        stop_.store(true);
      } catch (...) {
        if (outcome.Reports) outcome.Reports->Stop();
        outcome.Error = std::current_exception();
        stop_.store(true);
      }
    }
  }

  // After both threads are done: the reports in item order up to the first
  // failure, or, when the look-ups could not be shared, the walk in order.
  void Finish() {
    if (inOrder_.load()) {
      outcomes_.clear();  // drops what was held
      for (int i = 0; i < count_; ++i)
        if (TItemData* item = items_.Get(i)) item->ResolveLinks();
      return;
    }
    for (Outcome& outcome : outcomes_) {
      if (!outcome.Reports && !outcome.Error) break;  // not taken: an earlier item failed
      if (outcome.Reports) outcome.Reports->Flush();
      if (outcome.Error) std::rethrow_exception(outcome.Error);
    }
  }

 private:
  struct Outcome {
    std::unique_ptr<zor::MessageCapture> Reports;
    std::exception_ptr Error;
  };

  // Indexes homes until none is left, then waits for the other thread's;
  // false when the items cannot share their look-ups.
  bool IndexHomes() {
    const int homes = static_cast<int>(homes_.size());
    for (int h; (h = nextHome_.fetch_add(1)) < homes;) {
      bool complete = false;
      try {
        complete = homes_[static_cast<size_t>(h)]->IndexIds();
      } catch (...) {
        // Out of memory: the walk in order will meet it again.
      }
      if (!complete) inOrder_.store(true);
      indexed_.fetch_add(1);
    }
    while (indexed_.load() < homes) std::this_thread::yield();
    return !inOrder_.load();
  }

  const TList& items_;
  std::vector<TList*> homes_;
  const int count_;
  std::vector<Outcome> outcomes_;
  std::atomic<int> nextHome_{0};
  std::atomic<int> indexed_{0};
  std::atomic<int> nextItem_{0};
  std::atomic<bool> stop_{false};
  std::atomic<bool> inOrder_{false};
};

}  // namespace

void ResolveChildrenInParallel(const TList& items, std::span<TList* const> homes) {
  TParallelResolution resolution(items, homes);
  std::thread helper;
  try {
    helper = std::thread([&resolution] { resolution.Work(); });
  } catch (const std::system_error&) {
    // No second thread: this one does all.
  }
  resolution.Work();
  if (helper.joinable()) helper.join();
  resolution.Finish();
}

}  // namespace ZOR_RAM
