// The items of a saved configuration as the host shows and compares them:
// kind, name path and fields, references shown by the name of the item they
// point at. Built from the outline of a file the library itself wrote, so
// every field the library keeps is there without a table per item class.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/zor/xml_outline.h"

namespace zorcli {

struct InventoryItem {
  std::string Kind;      // element name: "Network", "NetFrame", "Signal", ...
  std::string List;      // the list (section) element it sits in: "Networks", "NetFrames", ...
  std::string Path;      // names of the owning items and its own, joined by '/'
  std::vector<std::pair<std::string, std::string>> Fields;  // in file order, ZORId left out

  const std::string* Field(const std::string& name) const;
};

// Every item of a configuration outline, in file order; the file header is
// the item of kind "ZORInfo". Paths that repeat get "#2", "#3", ... appended.
std::vector<InventoryItem> CollectItems(const OutlineNode& root);

struct FieldChange {
  std::string Field, Before, After;
};
struct ItemChange {
  std::string Kind, Path;
  std::vector<FieldChange> Fields;
};
struct InventoryDiff {
  std::vector<const InventoryItem*> Removed, Added;  // removed from a, added in b
  std::vector<ItemChange> Changed;
  bool Empty() const { return Removed.empty() && Added.empty() && Changed.empty(); }
};
// Items of a and b matched by kind and path.
InventoryDiff DiffItems(const std::vector<InventoryItem>& a, const std::vector<InventoryItem>& b);

// What `before` holds that `after` does not, counted per item kind: whole
// items, and fields (by name) of items that remain.
struct Losses {
  std::map<std::string, int> Items;
  std::map<std::string, std::map<std::string, int>> Fields;  // kind -> field -> count
  bool Empty() const { return Items.empty() && Fields.empty(); }
};
Losses CountLosses(const OutlineNode& before, const OutlineNode& after);

}  // namespace zorcli
