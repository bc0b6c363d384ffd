#include "tools/zor/inventory.h"

#include <string_view>
#include <unordered_map>
#include <utility>

namespace zorcli {

namespace {

// Identifier -> shown name, both viewing texts of the outline.
using IdNames = std::unordered_map<std::string_view, std::string_view>;

// Items are matched by kind and path.
using ItemKey = std::pair<std::string_view, std::string_view>;
struct ItemKeyHash {
  size_t operator()(const ItemKey& key) const {
    const size_t kind = std::hash<std::string_view>()(key.first);
    return kind ^ (std::hash<std::string_view>()(key.second) + 0x9E3779B97F4A7C15ull + (kind << 6) + (kind >> 2));
  }
};

// The name an item is shown by: its Name, else its identifier.
std::string_view DisplayName(const OutlineNode& item) {
  const OutlineNode* name = item.Child("Name");
  if (name && !name->Text.empty()) return name->Text;
  const OutlineNode* id = item.Child("ZORId");
  return id ? std::string_view(id->Text) : std::string_view();
}

void CollectIds(const OutlineNode& node, IdNames& ids) {
  for (const OutlineNode& child : node.Children) {
    if (child.IsItem()) ids.emplace(child.Child("ZORId")->Text, DisplayName(child));
    if (!child.Children.empty()) CollectIds(child, ids);
  }
}

std::string_view Resolve(std::string_view value, const IdNames& ids) {
  auto it = ids.find(value);
  return it == ids.end() ? value : it->second;
}

// A field's shown value: a leaf's text, or the joined values of a reference list.
std::string FieldValue(const OutlineNode& field, const IdNames& ids) {
  if (field.Children.empty()) return std::string(field.Name == "Name" ? field.Text : Resolve(field.Text, ids));
  std::string joined;
  for (const OutlineNode& entry : field.Children) {
    if (!joined.empty()) joined += ", ";
    joined += entry.Children.empty() ? Resolve(entry.Text, ids) : entry.Name;
  }
  return joined;
}

// Calls visit(item) for each item below node in file order, before the
// items nested in it, which take the item's path as built (before any "#n").
template <class Visit>
void Collect(const OutlineNode& node, const std::string& path, const IdNames& ids, Visit& visit) {
  for (const OutlineNode& child : node.Children) {
    if (!child.IsItem()) {
      if (child.HoldsItems()) Collect(child, path, ids, visit);
      continue;
    }
    InventoryItem item;
    item.Kind = child.Name;
    item.List = node.Name;
    const OutlineNode* nameField = child.Child("Name");
    std::string_view name = nameField ? std::string_view(nameField->Text) : std::string_view();
    item.Fields.reserve(child.Children.size());
    for (const OutlineNode& field : child.Children) {
      if (field.Name == "ZORId" || field.HoldsItems() || field.IsItem()) continue;
      item.Fields.emplace_back(field.Name, FieldValue(field, ids));
      // An item without a name is known by what it refers to first.
      if (name.empty() && field.Children.empty())
        if (auto referred = ids.find(field.Text); referred != ids.end()) name = referred->second;
    }
    if (name.empty()) name = child.Child("ZORId")->Text;
    if (!path.empty()) item.Path.append(path).append(1, '/');
    item.Path.append(name);
    // A copy: visit may take the item's path and fields.
    std::string ownPath = item.Path;
    visit(item);
    Collect(child, ownPath, ids, visit);
  }
}

// Calls visit(item) for every item of root in file order, the header first,
// with "#n" appended to the path of the n-th item (n > 1) of a kind and path
// that repeat. Paths are counted as built, so a counted path never changes
// under its key.
template <class Visit>
void EachItem(const OutlineNode& root, Visit&& visit) {
  IdNames ids;
  CollectIds(root, ids);
  if (const OutlineNode* header = root.Child("ZORInfo")) {
    InventoryItem info{"ZORInfo", root.Name, "", {}};
    for (const OutlineNode& field : header->Children) info.Fields.emplace_back(field.Name, field.Text);
    visit(info);
  }
  std::unordered_map<std::string_view, std::unordered_map<std::string, int>> seen;  // kind -> path -> count
  auto counted = [&](InventoryItem& item) {
    const int repeat = ++seen[item.Kind][item.Path];
    if (repeat > 1) item.Path += "#" + std::to_string(repeat);
    visit(item);
  };
  Collect(root, "", ids, counted);
}

// What changed from a to b, field by field.
std::vector<FieldChange> FieldChanges(const InventoryItem& a, const InventoryItem& b) {
  std::vector<FieldChange> changes;
  for (const auto& [field, value] : a.Fields) {
    const std::string* other = b.Field(field);
    if (!other) changes.push_back({std::string(field), value, ""});
    else if (*other != value) changes.push_back({std::string(field), value, *other});
  }
  for (const auto& [field, value] : b.Fields)
    if (!a.Field(field)) changes.push_back({std::string(field), "", value});
  return changes;
}

}  // namespace

const std::string* InventoryItem::Field(std::string_view name) const {
  for (const auto& [field, value] : Fields)
    if (field == name) return &value;
  return nullptr;
}

std::vector<InventoryItem> CollectItems(const OutlineNode& root) {
  std::vector<InventoryItem> items;
  EachItem(root, [&items](InventoryItem& item) { items.push_back(std::move(item)); });
  return items;
}

void VisitItems(const OutlineNode& root, const std::function<void(const InventoryItem&)>& visit) {
  EachItem(root, [&visit](InventoryItem& item) { visit(item); });
}

InventoryDiff DiffItems(const std::vector<InventoryItem>& a, const OutlineNode& b) {
  // The items of b come one at a time and are not kept. An item of a is
  // compared with the last item of b of its kind and path (a key that b
  // repeats, a name that looks like a numbered repeat, stands for its last
  // item): each item of b with a key of a replaces the changes found before.
  constexpr size_t kNone = static_cast<size_t>(-1);
  std::unordered_map<ItemKey, size_t, ItemKeyHash> inA(a.size());  // key -> its last item in a
  std::vector<size_t> before(a.size(), kNone);                      // the item of a before with the same key
  for (size_t i = 0; i < a.size(); ++i) {
    auto [it, added] = inA.try_emplace({a[i].Kind, a[i].Path}, i);
    if (!added) before[i] = std::exchange(it->second, i);
  }
  std::vector<bool> matched(a.size());
  std::vector<std::vector<FieldChange>> changes(a.size());
  InventoryDiff diff;
  EachItem(b, [&](InventoryItem& item) {
    auto it = inA.find({item.Kind, item.Path});
    if (it == inA.end()) {
      diff.Added.push_back({item.Kind, std::move(item.Path)});
      return;
    }
    for (size_t i = it->second; i != kNone; i = before[i]) {
      matched[i] = true;
      changes[i] = FieldChanges(a[i], item);
    }
  });
  for (size_t i = 0; i < a.size(); ++i) {
    if (!matched[i])
      diff.Removed.push_back({a[i].Kind, a[i].Path});
    else if (!changes[i].empty())
      diff.Changed.push_back({std::string(a[i].Kind), a[i].Path, std::move(changes[i])});
  }
  return diff;
}

namespace {

void CountItems(const OutlineNode& node, Losses& losses) {
  for (const OutlineNode& child : node.Children) {
    if (child.IsItem()) ++losses.Items[std::string(child.Name)];
    CountItems(child, losses);
  }
}

}  // namespace

Losses CountLosses(const OutlineNode& before, const OutlineNode& after) {
  Losses losses;
  for (const Unmatched& lost : UnmatchedElements(before, after)) {
    const OutlineNode& node = *lost.Node;
    if (node.IsItem()) {
      ++losses.Items[std::string(node.Name)];
      CountItems(node, losses);
    } else if (node.HoldsItems()) {
      CountItems(node, losses);
    } else if (lost.Parent && (!node.Children.empty() || !node.Text.empty())) {
      // Empty fields and empty reference lists carry nothing to lose.
      ++losses.Fields[std::string(lost.Parent->Name)][std::string(node.Name)];
    }
  }
  return losses;
}

}  // namespace zorcli
