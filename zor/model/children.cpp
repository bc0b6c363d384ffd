#include "zor/model/children.h"

#include "zor/QXML/QXMLDocument.h"

namespace ZOR_RAM {

bool WriteRef(std::string_view name, TItemData* item) { return item && WriteStoredField(name, item->GetId()); }

bool WriteEscapedRef(std::string_view name, TItemData* item) { return item && WriteTextField(name, item->GetId()); }

bool WriteRefList(std::string_view container, std::string_view itemName, const TList& items) {
  if (WriteTag(container)) return true;
  for (int i = 0; i < items.Count(); ++i)
    if (WriteRef(itemName, items.Get(i))) return true;
  return WriteTag(container, /*closing=*/true);
}

bool SourceRefId(const TItemData& item, std::string_view name, std::string& id) {
  if (!item.SourceNode || !item.Ram) return false;
  const TQXMLNode* child = FindChild(item.SourceNode, name);
  if (!child) return false;
  id = UnescapeText(child->Text);
  return true;
}

bool ResolveRefListIn(TItemData& item, std::string_view container, std::string_view itemName, TList& refs,
                      TList& home, TEmptyRef empty) {
  refs.Clear();
  return ReadListIn(item.SourceNode, container, itemName, [&](TQXMLNode* child) {
    const std::string id = UnescapeText(child->Text);
    if (id.empty() && empty == TEmptyRef::Skipped) return false;
    if (TItemData* target = home.FindById(id)) refs.Add(target);
    return false;
  });
}

}  // namespace ZOR_RAM
