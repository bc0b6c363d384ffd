#include "zor/most/most_dispatch.h"

#include <string_view>

#include "zor/QXML/QXMLDocument.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"
#include "zor/most/fblock.h"
#include "zor/most/fkt_interface.h"

namespace ZOR_RAM {

namespace {

// The element kinds in the order they are searched for inside a wrapper.
constexpr std::string_view kElementNames[] = {
    "MOSTFktIf_Enumeration", "MOSTFktIf_Number", "MOSTFktIf_BitField", "MOSTFktIf_String",
    "MOSTFktIf_Record",      "MOSTFktIf_Array",  "MOSTFktIf_Stream",   "MOSTFktIf_StreamCase",
};

bool HasName(const TQXMLNode* node, std::string_view name) {
  return node->Prefix.empty() && node->LocalName == name;
}

TMOSTFktIfField* NewElement(TZOR_RAM& ram, const TQXMLNode* element) {
  if (HasName(element, kElementNames[0])) return ram.NewItem(ram.MOSTFktIf_Enumerations);
  if (HasName(element, kElementNames[1])) return ram.NewItem(ram.MOSTFktIf_Numbers);
  if (HasName(element, kElementNames[2])) return ram.NewItem(ram.MOSTFktIf_BitFields);
  if (HasName(element, kElementNames[3])) return ram.NewItem(ram.MOSTFktIf_Strings);
  if (HasName(element, kElementNames[4])) return ram.NewItem(ram.MOSTFktIf_Records);
  if (HasName(element, kElementNames[5])) return ram.NewItem(ram.MOSTFktIf_Arrays);
  if (HasName(element, kElementNames[6])) return ram.NewItem(ram.MOSTFktIf_Streams);
  if (HasName(element, kElementNames[7])) return ram.NewItem(ram.MOSTFktIf_StreamCases);
  return nullptr;
}

}  // namespace

TQXMLNode* FindInterfaceElement(const TQXMLNode* element) {
  if (!element) return nullptr;
  for (std::string_view name : kElementNames)
    if (TQXMLNode* child = FindChild(element, name)) return child;
  return nullptr;
}

TMOSTFktIfField* CreateInterfaceElement(TItemData* owner, TZOR_RAM* ram, const TQXMLNode* element) {
  if (!element || !ram) return nullptr;
  TMOSTFktIfField* item = NewElement(*ram, element);
  if (!item || !owner) return item;
  if (auto* fi = dynamic_cast<TMOSTFktInterface*>(owner))
    item->FktInterface = fi;
  else if (auto* field = dynamic_cast<TMOSTFktIf_RecordField*>(owner))
    item->RecordField = field;
  else if (auto* array = dynamic_cast<TMOSTFktIf_Array*>(owner))
    item->Array = array;
  return item;
}

TQXMLNode* FindFktInterface(const TQXMLNode* element) {
  return element ? FindChild(element, "MOSTFktInterface") : nullptr;
}

TMOSTFktInterface* CreateFktInterface(TItemData* owner, TZOR_RAM* ram, const TQXMLNode* element) {
  if (!element || !ram || !HasName(element, "MOSTFktInterface")) return nullptr;
  TMOSTFktInterface* fi = ram->NewItem(ram->MOSTFktInterfaces);
  if (auto* param = dynamic_cast<TMOSTFktParam*>(owner)) fi->Param = param;
  return fi;
}

}  // namespace ZOR_RAM
