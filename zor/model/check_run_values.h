// Values derived from the database that a check run keeps per item, and the
// name test of IsNameUsed built on them.
//
// Hosts edit items directly between library calls, so nothing here outlives
// one check run: outside a run every value is built afresh on each call.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "zor/model/prefetch.h"
#include "zor/model/ram.h"

namespace ZOR_RAM {

// Opens a check run on a database for the scope's lifetime, unless one is
// open already (then the outer run goes on). Also used by update steps that
// edit nothing the run's values derive from.
class TCheckRunScope {
 public:
  explicit TCheckRunScope(TZOR_RAM& ram) : Ram_(ram.InCheckRun() ? nullptr : &ram) {
    if (Ram_) Ram_->BeginCheckRun();
  }
  ~TCheckRunScope() {
    if (Ram_) Ram_->EndCheckRun();
  }
  TCheckRunScope(const TCheckRunScope&) = delete;
  TCheckRunScope& operator=(const TCheckRunScope&) = delete;

 private:
  TZOR_RAM* Ram_;
};

// Lists up to this length are scanned rather than indexed: a scan of a few
// items costs less than building an index for them.
inline constexpr int kScannedListLength = 16;

// Builds on a second thread, while a check run goes on, values that the run
// will ask CheckRunValueOf for later, so that it meets them built. Each is
// queued with the key, owner and build of the call that will ask for it, in
// the order the run will ask. A value asked for before its build has started
// is built by the asking thread, as without this; one being built is waited
// for. A build may read only what the run leaves unchanged (fields and lists
// of items, not other check run values). Lives inside the run it serves; its
// thread ends with it.
class ZOR_API TCheckRunValuesAhead {
 public:
  explicit TCheckRunValuesAhead(TZOR_RAM& ram);
  TCheckRunValuesAhead(const TCheckRunValuesAhead&) = delete;
  TCheckRunValuesAhead& operator=(const TCheckRunValuesAhead&) = delete;
  ~TCheckRunValuesAhead();

  template <class Value, class Owner, class Build>
  void Queue(const void* key, const Owner* owner, Build build) {
    QueueBuild(key, owner, [owner, build] { return std::shared_ptr<void>(std::make_shared<Value>(build(owner))); });
  }
  // Starts building what was queued, unless the run has a builder already
  // (an outer caller's), which then serves it.
  void Start();
  // Waits until all that was queued is built: for tests of the values built ahead.
  void WaitForBuilds();

  // The value for (key, owner) built ahead in ram's check run, or null.
  static std::shared_ptr<void> Take(TZOR_RAM& ram, const void* key, const void* owner);

  struct State;

 private:
  void QueueBuild(const void* key, const void* owner, std::function<std::shared_ptr<void>()> build);
  TZOR_RAM& ram_;
  std::unique_ptr<State> state_;
};

// The value build(owner) for one owner (an item or a list). During a check run
// it is built once per (key, owner) and reused; outside one it is built on
// every call. key is any address the caller owns; the reference stays valid
// until the next call with the same key outside a run, or the end of the run.
template <class Value, class Owner, class Build>
const Value& CheckRunValueOf(TZOR_RAM& ram, const void* key, const Owner* owner, Build&& build) {
  struct Values {
    mutable std::unordered_map<const Owner*, Value> ByOwner;
  };
  const Values& values = ram.CheckRunValue<Values>(key, [] { return Values{}; });
  auto found = values.ByOwner.find(owner);
  if (found != values.ByOwner.end()) return found->second;
  if (std::shared_ptr<void> ahead = TCheckRunValuesAhead::Take(ram, key, owner))
    return values.ByOwner.try_emplace(owner, std::move(*static_cast<Value*>(ahead.get()))).first->second;
  Value value = build(owner);  // may itself ask for other owners' values
  return values.ByOwner.try_emplace(owner, std::move(value)).first->second;
}

// The items an index finds under one key: the first, and whether another
// one (not the same pointer listed again) is there too.
template <class Item>
struct THolders {
  const Item* First = nullptr;
  bool Several = false;

  void Add(const Item* item) {
    if (!First)
      First = item;
    else if (item != First)
      Several = true;
  }
  // Whether an item other than self is held.
  bool HasOtherThan(const Item* self) const { return First && (Several || First != self); }
};

// Whether list holds item. During a check run a long list's items are
// gathered once; otherwise the list is searched.
ZOR_API bool ListHolds(TZOR_RAM* ram, const TList& list, const TItemData* item);

// Whether an item of list other than self has GetName() exactly equal to
// name. Self may or may not be in the list: only the other items count.
// Linear outside a check run; during one each list is indexed once.
ZOR_API bool OtherItemHasName(TZOR_RAM* ram, const TList& list, TItemData* self, const std::string& name);
// The same for a list whose items take their names from other items
// (nameSource), which the index then reads ahead as well.
ZOR_API bool OtherItemHasName(TZOR_RAM* ram, const TList& list, TItemData* self, const std::string& name,
                              TNameSourceOf nameSource);
// Queues the index OtherItemHasName builds for list, when it builds one. For
// lists whose items' GetName reads only item fields.
void QueueNameIndex(TCheckRunValuesAhead& ahead, const TList& list);

}  // namespace ZOR_RAM
