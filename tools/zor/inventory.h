// The items of a saved configuration as the host shows and compares them:
// kind, name path and fields, references shown by the name of the item they
// point at. Built from the outline of a file the library itself wrote, so
// every field the library keeps is there without a table per item class.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/zor/xml_outline.h"

namespace zorcli {

// Kind, List and field names view element names of the outline, which are
// kept for the life of the process (InternedName).
struct InventoryItem {
  std::string_view Kind;  // element name: "Network", "NetFrame", "Signal", ...
  std::string_view List;  // the list (section) element it sits in: "Networks", "NetFrames", ...
  std::string Path;       // names of the owning items and its own, joined by '/'
  std::vector<std::pair<std::string_view, std::string>> Fields;  // in file order, ZORId left out

  const std::string* Field(std::string_view name) const;
};

// Every item of a configuration outline, in file order; the file header is
// the item of kind "ZORInfo". Paths that repeat get "#2", "#3", ... appended.
std::vector<InventoryItem> CollectItems(const OutlineNode& root);
// The same items handed to visit one at a time, none kept.
void VisitItems(const OutlineNode& root, const std::function<void(const InventoryItem&)>& visit);

struct FieldChange {
  std::string Field, Before, After;
};
struct ItemChange {
  std::string Kind, Path;
  std::vector<FieldChange> Fields;
};
// An item known by kind and path only.
struct ItemName {
  std::string_view Kind;
  std::string Path;
};
struct InventoryDiff {
  std::vector<ItemName> Removed, Added;  // removed from a, added in b
  std::vector<ItemChange> Changed;
  bool Empty() const { return Removed.empty() && Added.empty() && Changed.empty(); }
};
// The items of a configuration outline b against those of a, matched by kind
// and path: the items of b are compared as they are collected, not kept.
InventoryDiff DiffItems(const std::vector<InventoryItem>& a, const OutlineNode& b);

// What `before` holds that `after` does not, counted per item kind: whole
// items, and fields (by name) of items that remain.
struct Losses {
  std::map<std::string, int> Items;
  std::map<std::string, std::map<std::string, int>> Fields;  // kind -> field -> count
  bool Empty() const { return Items.empty() && Fields.empty(); }
};
Losses CountLosses(const OutlineNode& before, const OutlineNode& after);

}  // namespace zorcli
