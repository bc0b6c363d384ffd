#include "tools/zor/inventory.h"

#include <string_view>
#include <unordered_map>

namespace zorcli {

namespace {

using IdNames = std::unordered_map<std::string, std::string>;

// Items are matched by kind and path.
using ItemKey = std::pair<std::string_view, std::string_view>;
struct ItemKeyHash {
  size_t operator()(const ItemKey& key) const {
    const size_t kind = std::hash<std::string_view>()(key.first);
    return kind ^ (std::hash<std::string_view>()(key.second) + 0x9E3779B97F4A7C15ull + (kind << 6) + (kind >> 2));
  }
};

// The name an item is shown by: its Name, else its identifier.
std::string DisplayName(const OutlineNode& item) {
  const OutlineNode* name = item.Child("Name");
  if (name && !name->Text.empty()) return name->Text;
  const OutlineNode* id = item.Child("ZORId");
  return id ? id->Text : std::string();
}

void CollectIds(const OutlineNode& node, IdNames& ids) {
  for (const OutlineNode& child : node.Children) {
    if (child.IsItem()) ids.emplace(child.Child("ZORId")->Text, DisplayName(child));
    if (!child.Children.empty()) CollectIds(child, ids);
  }
}

std::string Resolve(const std::string& value, const IdNames& ids) {
  auto it = ids.find(value);
  return it == ids.end() ? value : it->second;
}

// A field's shown value: a leaf's text, or the joined values of a reference list.
std::string FieldValue(const OutlineNode& field, const IdNames& ids) {
  if (field.Children.empty()) return field.Name == "Name" ? field.Text : Resolve(field.Text, ids);
  std::string joined;
  for (const OutlineNode& entry : field.Children) {
    if (!joined.empty()) joined += ", ";
    joined += entry.Children.empty() ? Resolve(entry.Text, ids) : entry.Name;
  }
  return joined;
}

void Collect(const OutlineNode& node, const std::string& path, const IdNames& ids,
             std::vector<InventoryItem>& out) {
  for (const OutlineNode& child : node.Children) {
    if (!child.IsItem()) {
      if (child.HoldsItems()) Collect(child, path, ids, out);
      continue;
    }
    InventoryItem item;
    item.Kind = child.Name;
    item.List = node.Name;
    std::string name = child.Child("Name") ? child.Child("Name")->Text : std::string();
    for (const OutlineNode& field : child.Children) {
      if (field.Name == "ZORId" || field.HoldsItems() || field.IsItem()) continue;
      item.Fields.emplace_back(field.Name, FieldValue(field, ids));
      // An item without a name is known by what it refers to first.
      if (name.empty() && field.Children.empty() && ids.count(field.Text)) name = Resolve(field.Text, ids);
    }
    if (name.empty()) name = child.Child("ZORId")->Text;
    item.Path = path.empty() ? name : path + "/" + name;
    // A copy: the nested items grow `out` and move its elements.
    std::string ownPath = item.Path;
    out.push_back(std::move(item));
    Collect(child, ownPath, ids, out);
  }
}

}  // namespace

const std::string* InventoryItem::Field(const std::string& name) const {
  for (const auto& [field, value] : Fields)
    if (field == name) return &value;
  return nullptr;
}

std::vector<InventoryItem> CollectItems(const OutlineNode& root) {
  IdNames ids;
  CollectIds(root, ids);
  std::vector<InventoryItem> items;
  if (const OutlineNode* header = root.Child("ZORInfo")) {
    InventoryItem info{"ZORInfo", root.Name, "", {}};
    for (const OutlineNode& field : header->Children) info.Fields.emplace_back(field.Name, field.Text);
    items.push_back(std::move(info));
  }
  Collect(root, "", ids, items);
  // Counted over the paths as collected; the "#n" suffixes are added after,
  // so that a counted path never changes under its key.
  std::unordered_map<ItemKey, int, ItemKeyHash> seen(items.size());
  std::vector<int> repeats(items.size());
  for (size_t i = 0; i < items.size(); ++i) repeats[i] = ++seen[{items[i].Kind, items[i].Path}];
  for (size_t i = 0; i < items.size(); ++i)
    if (repeats[i] > 1) items[i].Path += "#" + std::to_string(repeats[i]);
  return items;
}

InventoryDiff DiffItems(const std::vector<InventoryItem>& a, const std::vector<InventoryItem>& b) {
  // A key that b repeats (a name that looks like a numbered repeat) stands
  // for its last item; the others are matched with it.
  std::unordered_map<ItemKey, size_t, ItemKeyHash> inB(b.size());
  for (size_t i = 0; i < b.size(); ++i) inB[{b[i].Kind, b[i].Path}] = i;
  InventoryDiff diff;
  std::vector<bool> matched(b.size());
  for (const InventoryItem& item : a) {
    auto it = inB.find({item.Kind, item.Path});
    if (it == inB.end()) {
      diff.Removed.push_back(&item);
      continue;
    }
    matched[it->second] = true;
    const InventoryItem& otherItem = b[it->second];
    ItemChange change{item.Kind, item.Path, {}};
    for (const auto& [field, value] : item.Fields) {
      const std::string* other = otherItem.Field(field);
      if (!other) change.Fields.push_back({field, value, ""});
      else if (*other != value) change.Fields.push_back({field, value, *other});
    }
    for (const auto& [field, value] : otherItem.Fields)
      if (!item.Field(field)) change.Fields.push_back({field, "", value});
    if (!change.Fields.empty()) diff.Changed.push_back(std::move(change));
  }
  for (size_t i = 0; i < b.size(); ++i)
    if (!matched[inB.find({b[i].Kind, b[i].Path})->second]) diff.Added.push_back(&b[i]);
  return diff;
}

namespace {

void CountItems(const OutlineNode& node, Losses& losses) {
  for (const OutlineNode& child : node.Children) {
    if (child.IsItem()) ++losses.Items[child.Name];
    CountItems(child, losses);
  }
}

}  // namespace

Losses CountLosses(const OutlineNode& before, const OutlineNode& after) {
  Losses losses;
  for (const Unmatched& lost : UnmatchedElements(before, after)) {
    const OutlineNode& node = *lost.Node;
    if (node.IsItem()) {
      ++losses.Items[node.Name];
      CountItems(node, losses);
    } else if (node.HoldsItems()) {
      CountItems(node, losses);
    } else if (lost.Parent && (!node.Children.empty() || !node.Text.empty())) {
      // Empty fields and empty reference lists carry nothing to lose.
      ++losses.Fields[lost.Parent->Name][node.Name];
    }
  }
  return losses;
}

}  // namespace zorcli
