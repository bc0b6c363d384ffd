#include "zor/model/fields.h"

namespace ZOR_RAM {

bool ReadFields(TItemData& item, const TQXMLNode* element, std::span<const TField> fields) {
  for (const TField& field : fields) field.Read(item, element, field.Name);
  return false;
}

bool WriteFields(TItemData& item, std::span<const TField> fields) {
  for (const TField& field : fields)
    if (field.Write(item, field.Name)) return true;
  return false;
}

void ResolveFields(TItemData& item, std::span<const TField> fields) {
  for (const TField& field : fields)
    if (field.Resolve) field.Resolve(item, field.Name);
}

bool WriteFieldsElement(TItemData& item, bool withElement, std::string_view tag, std::span<const TField> fields) {
  if (withElement && WriteTag(tag)) return true;
  if (item.TItemData::WriteXml(/*withElement=*/false) || WriteFields(item, fields)) return true;
  return withElement && WriteTag(tag, /*closing=*/true);
}

}  // namespace ZOR_RAM
