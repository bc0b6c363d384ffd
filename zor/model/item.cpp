#include "zor/model/item.h"

#include <algorithm>

#include "zor/model/name_table.h"
#include "zor/model/prefetch.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"

namespace ZOR_RAM {

// ---------------------------------------------------------------------------
// TList

// Identifiers of the items below Mark, each mapped to the first item that
// carries it. Items at and above Mark have not been looked at yet.
struct TList::IdIndex {
  explicit IdIndex(size_t expected) : First(expected) {}
  TNameTable<TItemData*> First;
  int Mark = 0;
};

TList::TList() = default;

TList::~TList() {
  if (Database_)
    for (TItemData* item : Items_)
      if (item) Release(item);
}

TItemData* TList::Get(int index) const {
  return index >= 0 && index < Count() ? Items_[static_cast<size_t>(index)] : nullptr;
}

void TList::Adopt(TItemData* item, int index) {
  if (!Database_ || !item) return;
  if (!item->Home_) {
    item->Home_ = this;
    item->HomeIndex_ = index;
  } else {
    if (!item->MoreHomes_) item->MoreHomes_ = std::make_unique<std::vector<TList*>>();
    item->MoreHomes_->push_back(this);
  }
}

void TList::Release(TItemData* item) {
  if (!Database_ || !item) return;
  if (item->Home_ == this) {
    item->Home_ = nullptr;
    item->HomeIndex_ = -1;
    if (item->MoreHomes_ && !item->MoreHomes_->empty()) {
      item->Home_ = item->MoreHomes_->back();
      item->MoreHomes_->pop_back();
    }
    return;
  }
  if (item->MoreHomes_) {
    auto& more = *item->MoreHomes_;
    if (auto it = std::find(more.begin(), more.end(), this); it != more.end()) more.erase(it);
  }
}

void TList::Invalidate() { IdIndex_.reset(); }

void TList::Moved(int index) {
  FreshBelow_ = std::min(FreshBelow_, index);
  Invalidate();
}

int TList::Add(TItemData* item) {
  Items_.push_back(item);
  int index = Count() - 1;
  Adopt(item, index);
  if (FreshBelow_ == index) FreshBelow_ = index + 1;
  return index;
}

void TList::Insert(int index, TItemData* item) {
  if (index < 0 || index > Count()) return;
  Items_.insert(Items_.begin() + index, item);
  Adopt(item, index);
  Moved(index);
}

int TList::Remove(TItemData* item) {
  int index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

void TList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  TItemData* item = Items_[static_cast<size_t>(index)];
  Items_.erase(Items_.begin() + index);
  Release(item);
  Moved(index);
}

int TList::IndexOf(const TItemData* item) const {
  auto it = std::find(Items_.begin(), Items_.end(), item);
  return it == Items_.end() ? -1 : static_cast<int>(it - Items_.begin());
}

void TList::Clear() {
  for (TItemData* item : Items_) Release(item);
  Items_.clear();
  Moved(0);
}

// Finds an item this list holds. A database list knows which items it holds
// (Home_ and MoreHomes_); for its home items it keeps the positions below
// FreshBelow_ exact and renumbers upward from there when asked for one above
// it, so a series of look-ups after a change costs linear time.
int TList::Locate(const TItemData* item) const {
  if (!Database_) return IndexOf(item);
  if (item->Home_ != this) {
    const bool member = item->MoreHomes_ &&
                        std::find(item->MoreHomes_->begin(), item->MoreHomes_->end(), this) != item->MoreHomes_->end();
    return member ? IndexOf(item) : -1;
  }
  const int known = item->HomeIndex_;
  if (known >= 0 && known < FreshBelow_ && Items_[static_cast<size_t>(known)] == item) return known;
  while (FreshBelow_ < Count()) {
    const int i = FreshBelow_++;
    TItemData* entry = Items_[static_cast<size_t>(i)];
    if (!entry || entry->Home_ != this) continue;
    // A second entry of an item keeps the index of its first.
    const int first = entry->HomeIndex_;
    if (!(first >= 0 && first < i && Items_[static_cast<size_t>(first)] == entry)) entry->HomeIndex_ = i;
    if (entry == item) return item->HomeIndex_;
  }
  return IndexOf(item);
}

void TList::FreeItems() {
  while (!Items_.empty()) {
    TItemData* item = Items_.back();
    delete item;  // a database list loses the entry in the item's destructor
    if (!Items_.empty() && Items_.back() == item) Items_.pop_back();
  }
  Invalidate();
}

void TList::RefreshDisplayNames() {
  // A filled text is what GetDisplayName would return unchanged; only the
  // empty ones need building (and copying out). The walk reads one field
  // per item, so it asks for items far ahead.
  const size_t count = Items_.size();
  for (size_t i = 0; i < count; ++i) {
    if (const size_t ahead = i + kFarAhead; ahead < count && Items_[ahead]) PrefetchLine(&Items_[ahead]->DisplayNameCache);
    if (TItemData* item = Items_[i]; item && item->DisplayNameCache.empty()) item->GetDisplayName();
  }
}

namespace {
thread_local bool t_sharedLookups = false;
}  // namespace

TList::SharedLookups::SharedLookups() : previous_(t_sharedLookups) { t_sharedLookups = true; }

TList::SharedLookups::~SharedLookups() { t_sharedLookups = previous_; }

TItemData* TList::FindById(const std::string& id) {
  if (t_sharedLookups) {
    if (IdScopes_ == 0 || !IdIndex_ || IdIndex_->Mark < Count()) throw IndexNeeded();
    TItemData* const* found = IdIndex_->First.FindShared(id);
    return found ? *found : nullptr;
  }
  if (IdScopes_ == 0) {
    for (TItemData* item : Items_)
      if (item && item->GetId() == id) return item;
    return nullptr;
  }
  IdIndex& index = UseIdIndex();
  if (TItemData* const* found = index.First.Find(id)) return *found;
  while (index.Mark < Count()) {
    TItemData* item = Items_[static_cast<size_t>(index.Mark++)];
    if (!item) continue;
    const std::string& itemId = item->GetId();
    if (auto [first, added] = index.First.Insert(itemId); added) first = item;
    if (itemId == id) return item;
  }
  return nullptr;
}

bool TList::IndexIds() {
  if (IdScopes_ == 0) return false;
  IdIndex& index = UseIdIndex();
  const size_t from = static_cast<size_t>(index.Mark);
  const size_t count = Items_.size() - from;
  // An item without an identifier would have one built now, from its place
  // in the list; FindById goes on from there when a look-up gets that far.
  size_t indexed = count;
  index.First.InsertAll(
      count,
      [&](size_t i, std::string& id) {
        TItemData* item = Items_[from + i];
        if (!item || i >= indexed) return false;
        if (item->Id.empty()) {
          indexed = i;
          return false;
        }
        id = item->GetId();
        return true;
      },
      [&](TItemData*& first, size_t i) {
        if (!first) first = Items_[from + i];
      },
      [&](size_t i) { PrefetchItem(Items_[from + i]); });
  index.Mark = static_cast<int>(from + indexed);
  return index.Mark == Count();
}

TList::IdIndex& TList::UseIdIndex() {
  if (!IdIndex_) IdIndex_ = std::make_unique<IdIndex>(static_cast<size_t>(Count()));
  return *IdIndex_;
}

void TList::ResetIdIndex() { IdIndex_.reset(); }

void TList::BeginIdLookups() { ++IdScopes_; }

void TList::EndIdLookups() {
  if (IdScopes_ > 0 && --IdScopes_ == 0) IdIndex_.reset();
}

// ---------------------------------------------------------------------------
// TItemData

TItemData::TItemData() = default;

TItemData::~TItemData() {
  // Leave every database list that holds the item (also when Ram was cleared,
  // so that no list keeps a dangling pointer).
  while (TList* list = Home_) {
    int index = list->Locate(this);
    if (index >= 0)
      list->Delete(index);  // also releases the membership
    else
      list->Release(this);
  }
}

int TItemData::ListIndex() const { return Home_ ? Home_->Locate(this) : -1; }

int TItemData::IndexIn(const TList& list) const { return list.Locate(this); }

const std::string& TItemData::DefaultId(std::string_view base) {
  if (!Id.empty()) return Id;
  const TList* list = Ram ? Ram->ClassList(*this) : nullptr;
  return DefaultIdIn(base, list ? list : Home_);
}

const std::string& TItemData::DefaultIdIn(std::string_view base, const TList* list) {
  if (Id.empty()) {
    Id.assign(base);
    Id += std::to_string(list ? IndexIn(*list) : -1);
  }
  return Id;
}

bool TItemData::WriteXml(bool /*withElement*/) {
  return WriteTextField("ZORId", GetId());
}

bool TItemData::ReadBase(TQXMLNode* element) {
  SourceNode = element;
  // The item looks for most of its children by name next.
  PrefetchChildren(element);
  return TItemData::ReadXml(element);
}

bool TItemData::ReadXml(TQXMLNode* element) {
  Id = ReadText(element, "ZORId");
  return false;
}

void TItemData::ResolveLinks() {}

// CheckBase and Check report findings, so they are defined with the finding
// table (zor/check/item_check.cpp), above the model.

bool TItemData::IsNameUsed(const std::string& /*name*/) { return false; }

std::string TItemData::GetDisplayName() { return std::string(); }

}  // namespace ZOR_RAM
