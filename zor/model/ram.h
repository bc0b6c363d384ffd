// The configuration database: the file header fields and one owning list per
// item class, in field order.
#pragma once

#include <memory>
#include <string>
#include <typeindex>
#include <unordered_map>

#include "zor/model/ascii_case.h"
#include "zor/model/item.h"

// The item classes are declared here only (see zor/zor.h); code that uses an
// item class includes its family's header: zor/network/{network,frame,
// signal_group,signal}.h, zor/node/{node,controller}.h,
// zor/most/{fblock,fkt_interface}.h or zor/env/env.h.

namespace ZOR_RAM {

// The format version a new database is saved with (the newest), and every
// version a database can be loaded from and saved as, oldest first.
inline constexpr const char* kCurrentFileVersion = "2.000";
inline constexpr const char* kSupportedFileVersions[] = {"1.002", "1.100", "1.101", "1.200", "1.201",
                                                         kCurrentFileVersion};

class ZOR_API TZOR_RAM {
 public:
  TZOR_RAM();
  // Frees the lists in field order; every item leaves its list as it goes,
  // and no list is released before all items are gone.
  virtual ~TZOR_RAM();
  TZOR_RAM(const TZOR_RAM&) = delete;
  TZOR_RAM& operator=(const TZOR_RAM&) = delete;

  std::string FileName;
  std::string Version = kCurrentFileVersion;
  std::string Description;
  bool ReserveDiagnosticIds = true;

#define ZOR_ITEM(Class, List, Factory) TZORList<Class> List;
#include "zor/model/items.def"

  // The update pass run after every load and before every save and check.
  void Update();

  // The first item whose GetName() equals name without regard to ASCII case.
  TItemData* FindByName(const TList& list, const std::string& name) const;
  template <class T>
  T* FindByName(const TZORList<T>& list, const std::string& name) const {
    return static_cast<T*>(FindByName(static_cast<const TList&>(list), name));
  }

  // A new item of class T, attached to this database and appended to list.
  template <class T>
  T* NewItem(TZORList<T>& list) {
    T* item = new T();
    item->Ram = this;
    list.Add(item);
    return item;
  }

  // Whether Version is kCurrentFileVersion (ignoring case): the version that carries the
  // environment section and the newer fields.
  bool IsVersion2() const;

  // The database list of item's class (the first, for a class with two),
  // or null.
  const TList* ClassList(const TItemData& item) const;

  // One library call that the host cannot interrupt (a load). While one
  // exists, the lists keep their identifier look-up indexes and CallValue
  // keeps its values; everything is dropped when the outermost scope ends.
  class CallScope {
   public:
    explicit CallScope(TZOR_RAM& ram);
    ~CallScope();
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

   private:
    TZOR_RAM& Ram_;
  };
  // How many items of list (a database list or an owner's reference list)
  // have GetName() equal to name: exactly, or ignoring ASCII case. During a
  // check run the counts of each list are built once and reused; outside one
  // they are counted afresh, so direct edits are always seen.
  int CountNames(const TList& list, const std::string& name, bool ignoreCase = false);
  // A value derived from the whole database for a check: during a check run
  // build() runs once per key (any address the caller owns) and the value is
  // reused; outside one it is built afresh on every call. The reference stays
  // valid until the next call with the same key or the end of the run.
  template <class T, class Build>
  const T& CheckRunValue(const void* key, Build&& build) {
    std::shared_ptr<void>& slot = CheckRunSlot(key);
    if (!slot || !InCheckRun()) slot = std::make_shared<T>(build());
    return *static_cast<const T*>(slot.get());
  }
  bool InCheckRun() const { return NameCache_ != nullptr; }
  // A value kept for the length of a call scope, default-constructed on first
  // use for key (any address the caller owns); null outside a scope.
  template <class T>
  T* CallValue(const void* key) {
    if (CallScopes_ == 0) return nullptr;
    std::shared_ptr<void>& slot = CallValues_[key];
    if (!slot) slot = std::make_shared<T>();
    return static_cast<T*>(slot.get());
  }
  // True while the destructor frees the items: links between items need no
  // clearing then, since every item goes.
  bool IsBeingDestroyed() const { return Destroying_; }

  // Brackets a check run (the check driver calls these).
  void BeginCheckRun();
  void EndCheckRun();

  // Calls fn(list) for every list, in field order.
  template <class F>
  void ForEachList(F&& fn) {
#define ZOR_ITEM(Class, List, Factory) fn(static_cast<TList&>(List));
#include "zor/model/items.def"
  }

 private:
  std::shared_ptr<void>& CheckRunSlot(const void* key);

  bool Destroying_ = false;
  std::unordered_map<std::type_index, TList*> ClassLists_;
  int CallScopes_ = 0;
  std::unordered_map<const void*, std::shared_ptr<void>> CallValues_;
  // Outside a check run values are built afresh; this keeps the latest of
  // each key alive for its caller.
  std::unordered_map<const void*, std::shared_ptr<void>> ScratchValues_;

  struct NameCache;
  std::unique_ptr<NameCache> NameCache_;
};

// Family steps of the update pass, each defined with its family.
void RemoveReservedDiagSignals(TZOR_RAM& ram);  // signals: reserved LIN diagnostic names
void UpdateNetSigs(TZOR_RAM& ram);              // frames: gateway look-up, update bits
void AssignControllerFrames(TZOR_RAM& ram);     // controllers: frame sets
void UpdateFrameModels(TZOR_RAM& ram);          // frames: checksum models, holder sizes
// Load step after the environment section: networks and variables find
// their environment group and encoding type by name.
void LinkEnvGroups(TZOR_RAM& ram);

}  // namespace ZOR_RAM
