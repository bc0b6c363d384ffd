#include "zor/network/signal_group.h"

#include <unordered_map>

#include "zor/QXML/QXMLDocument.h"
#include "zor/env/env.h"
#include "zor/io/messages.h"
#include "zor/model/children.h"
#include "zor/model/enums.h"
#include "zor/model/fields.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"
#include "zor/network/frame.h"
#include "zor/network/signal.h"
#include "zor/node/node.h"

namespace ZOR_RAM {

namespace {

// The variable lists searched for an environment-variable object, in the
// order the reader searches them.
TItemData* FindEnvVarForRead(TZOR_RAM& ram, const std::string& name) {
  if (TItemData* var = ram.FindByName(ram.EnvDatas, name)) return var;
  if (TItemData* var = ram.FindByName(ram.EnvInts, name)) return var;
  if (TItemData* var = ram.FindByName(ram.EnvFloats, name)) return var;
  return ram.FindByName(ram.EnvStrs, name);
}

bool IsEnvVarOf(const TZOR_RAM& ram, const TItemData* object) {
  return object->IndexIn(ram.EnvInts) >= 0 || object->IndexIn(ram.EnvFloats) >= 0 ||
         object->IndexIn(ram.EnvStrs) >= 0 || object->IndexIn(ram.EnvDatas) >= 0;
}

// A value line in the form of an attribute type: integers (hexadecimal ones
// too) in decimal, reals, texts as stored; other types write an empty line.
bool WriteAttrValue(std::string_view name, int32_t type, int64_t number, float real, const std::string& text) {
  switch (type) {
    case kAttrInt:
    case kAttrHex:
      return WriteIntField(name, number);
    case kAttrFloat:
      return WriteRealField(name, real);
    case kAttrString:
      return WriteStoredField(name, text);
    default:
      return WriteStoredField(name, "");
  }
}

bool IsFrameObject(int32_t objectType) {
  return objectType == kAttrObjFrame || objectType == kAttrObjSignal || objectType == kAttrObjSubSignal;
}

}  // namespace

// ---------------------------------------------------------------------------
// TSigGrp

const std::string& TSigGrp::GetId() { return DefaultId("SigGrp"); }

constexpr TField kSigGrpFields[] = {StoredField<&TSigGrp::Name>("Name"), IntField<&TSigGrp::MsgId>("MsgId"),
                                    IntField<&TSigGrp::Repetition>("Repetition")};

bool TSigGrp::WriteXml(bool withElement) {
  if (withElement && WriteTag("SignalGroup")) return true;
  if (TItemData::WriteXml(false) || WriteFields(*this, kSigGrpFields) || WriteTextList("Signals", "Signal", Signals))
    return true;
  return withElement && WriteTag("SignalGroup", /*closing=*/true);
}

bool TSigGrp::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kSigGrpFields) ||
         ReadTextList(element, "Signals", "Signal", Signals);
}

std::string TSigGrp::GetName() { return Name; }

// ---------------------------------------------------------------------------
// TSigGrpLIN

const std::string& TSigGrpLIN::GetId() { return DefaultId("SigGrpLIN"); }

bool TSigGrpLIN::WriteXml(bool withElement) {
  if (withElement && WriteTag("SignalGroupLIN")) return true;
  if (TItemData::WriteXml(false)) return true;
  if (WriteStoredField("Name", Name) || WriteIntField("GroupSize", GroupSize)) return true;
  if (WriteTag("Signals")) return true;
  for (size_t i = 0; i < Signals.size(); ++i) {
    // An offset missing from a host-edited list is written empty, so the
    // pairs stay in step.
    const std::string& offset = i < Offsets.size() ? Offsets[i] : std::string();
    if (WriteStoredField("SigName", Signals[i]) || WriteStoredField("SiggrpOffset", offset)) return true;
  }
  if (WriteTag("Signals", /*closing=*/true)) return true;
  return withElement && WriteTag("SignalGroupLIN", /*closing=*/true);
}

bool TSigGrpLIN::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  Name = ReadText(element, "Name");
  GroupSize = static_cast<int32_t>(ReadInt(element, "GroupSize"));
  // The pairs read are appended to the lists as they stand.
  const TQXMLNode* container = FindChild(element, "Signals");
  if (!container) return false;
  const int count = container->GetCount();
  for (int i = 0; i < count; ++i) {
    TQXMLNode* child = container->GetItem(i);
    const bool isName = i % 2 == 0;
    const char* expected = isName ? "SigName" : "SiggrpOffset";
    if (!child->Prefix.empty() || child->LocalName != expected) {
      zor::ReportError(std::string(expected) + " expected but " + child->GetIdent() + " found.");
      return true;
    }
    if (isName) {
      // Each name has an offset entry at its index, empty until its
      // "SiggrpOffset" follows, whatever a host left in the lists.
      Signals.push_back(UnescapeText(child->Text));
      if (Offsets.size() < Signals.size()) Offsets.resize(Signals.size());
    } else {
      Offsets[Signals.size() - 1] = UnescapeText(child->Text);
    }
  }
  return false;
}

std::string TSigGrpLIN::GetName() { return Name; }

// ---------------------------------------------------------------------------
// TCDBAttributeDef

TCDBAttributeDef::TCDBAttributeDef() = default;
TCDBAttributeDef::~TCDBAttributeDef() = default;

TCDBAttributeDef* TCDBAttributeDef::FindInDatabase(TZOR_RAM& ram, const std::string& name) {
  // Folded names of the definitions [0 .. Seen), each mapped to the index of
  // the first definition carrying it.
  struct NameIndex {
    int Seen = 0;
    std::unordered_map<std::string, int> First;
  };
  static const char kKey = 0;
  TZORList<TCDBAttributeDef>& defs = ram.CDBAttributeDefs;
  NameIndex* index = ram.CallValue<NameIndex>(&kKey);
  if (!index) return ram.FindByName(defs, name);
  if (defs.Count() < index->Seen) *index = NameIndex();
  for (; index->Seen < defs.Count(); ++index->Seen)
    if (TCDBAttributeDef* def = defs[index->Seen]) index->First.emplace(FoldAscii(def->Name), index->Seen);
  auto it = index->First.find(FoldAscii(name));
  TCDBAttributeDef* def = it == index->First.end() ? nullptr : defs[it->second];
  if (!def || SameTextAscii(def->Name, name)) return def;
  // The list changed under the index: search it plainly.
  *index = NameIndex();
  return ram.FindByName(defs, name);
}

const std::string& TCDBAttributeDef::GetId() { return DefaultId("CDBAttributeDef"); }

bool TCDBAttributeDef::WriteXml(bool withElement) {
  if (withElement && WriteTag("Attribute")) return true;
  if (TItemData::WriteXml(false)) return true;
  if (WriteStoredField("Name", Name) || WriteTextField("ObjectType", AttrObjectTypeToText(ObjectType)) ||
      WriteTextField("AttriType", AttrValueTypeToText(AttriType)))
    return true;
  static const std::string kEmpty;
  if (WriteAttrValue("MiniValue", AttriType, MinInt, MinFloat, kEmpty) ||
      WriteAttrValue("MaxValue", AttriType, MaxInt, MaxFloat, kEmpty))
    return true;
  static const std::vector<std::string> kNone;
  if (WriteTextList("EnumValues", "EnumValue", AttriType == kAttrEnum ? EnumValues : kNone)) return true;
  // The default of an enumeration is its text.
  const bool isEnum = AttriType == kAttrEnum;
  if (WriteAttrValue("DefaultValue", isEnum ? kAttrString : AttriType, DefaultInt, DefaultFloat,
                     isEnum ? DefaultEnum : DefaultString))
    return true;
  return withElement && WriteTag("Attribute", /*closing=*/true);
}

bool TCDBAttributeDef::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  Name = ReadText(element, "Name");
  ObjectType = AttrObjectTypeFromText(ReadText(element, "ObjectType"));
  AttriType = AttrValueTypeFromText(ReadText(element, "AttriType"));
  switch (AttriType) {
    case kAttrInt:
    case kAttrHex:
      MinInt = static_cast<int32_t>(ReadInt(element, "MiniValue"));
      MaxInt = static_cast<int32_t>(ReadInt(element, "MaxValue"));
      DefaultInt = static_cast<int32_t>(ReadInt(element, "DefaultValue"));
      break;
    case kAttrFloat:
      MinFloat = static_cast<float>(ReadFloat(element, "MiniValue"));
      MaxFloat = static_cast<float>(ReadFloat(element, "MaxValue"));
      DefaultFloat = static_cast<float>(ReadFloat(element, "DefaultValue"));
      break;
    case kAttrString:
      DefaultString = ReadText(element, "DefaultValue");
      break;
    case kAttrEnum:
      DefaultEnum = ReadText(element, "DefaultValue");
      return ReadTextList(element, "EnumValues", "EnumValue", EnumValues);
    default:
      break;
  }
  return false;
}

std::string TCDBAttributeDef::GetName() { return Name; }

// ---------------------------------------------------------------------------
// TCDBAttribute

const std::string& TCDBAttribute::GetId() { return DefaultId("CDBAttribute"); }

bool TCDBAttribute::WriteXml(bool withElement) {
  if (withElement && WriteTag("AttributeValue")) return true;
  if (TItemData::WriteXml(false)) return true;
  const int32_t objectType = Definition ? Definition->ObjectType : ValueObjectType;
  const int32_t attriType = Definition ? Definition->AttriType : ValueAttriType;
  if (WriteStoredField("Attribute", GetName()) || WriteTextField("ObjectType", AttrObjectTypeToText(objectType)) ||
      WriteTextField("AttriType", AttrValueTypeToText(attriType)))
    return true;
  // The value of an enumeration is its index.
  const bool isEnum = attriType == kAttrEnum;
  if (WriteAttrValue("AttriValue", isEnum ? kAttrInt : attriType, isEnum ? EnumValue : IntValue, FloatValue,
                     StringValue))
    return true;

  // The object children start from what was read and follow the object.
  std::string nodeName = NodeName, sigName = SigName, envName = EnvName;
  std::string msgId = std::to_string(MsgId);
  if (objectType == kAttrObjNetwork) {
    nodeName.clear(), msgId.clear(), sigName.clear(), envName.clear();
  } else if (objectType == kAttrObjNode) {
    if (Object && Ram && Object->IndexIn(Ram->Nodes) >= 0) nodeName = Object->GetName();
    msgId.clear(), sigName.clear(), envName.clear();
  } else if (IsFrameObject(objectType)) {
    if (Object && Ram) {
      // Frame holders are not frames: a value on a holder keeps its stored id.
      if (Object->IndexIn(Ram->NetFrames) >= 0) {
        msgId = std::to_string(static_cast<TNetFrame*>(Object)->FrameId);
        sigName.clear();
      } else if (Object->IndexIn(Ram->NetSigs) >= 0) {
        auto* netSig = static_cast<TNetSig*>(Object);
        sigName = netSig->Signal ? netSig->Signal->Name : std::string();
        msgId = netSig->Frame ? std::to_string(netSig->Frame->FrameId) : std::string();
      }
    }
    nodeName.clear(), envName.clear();
  } else if (objectType == kAttrObjEnvVar) {
    if (Object && Ram && IsEnvVarOf(*Ram, Object)) envName = Object->DisplayNameCache;
    nodeName.clear(), msgId.clear(), sigName.clear();
  }
  if (WriteStoredField("NodeName", nodeName) || WriteStoredField("MsgId", msgId) ||
      WriteStoredField("SigName", sigName) || WriteStoredField("EnvName", envName))
    return true;
  return withElement && WriteTag("AttributeValue", /*closing=*/true);
}

bool TCDBAttribute::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  DefinitionName = ReadText(element, "Attribute");
  ValueObjectType = AttrObjectTypeFromText(ReadText(element, "ObjectType"));
  ValueAttriType = AttrValueTypeFromText(ReadText(element, "AttriType"));
  // The first definition of that name in the whole database takes the types
  // the value was written with.
  if (TCDBAttributeDef* def = Ram ? TCDBAttributeDef::FindInDatabase(*Ram, DefinitionName) : nullptr) {
    def->ObjectType = ValueObjectType;
    def->AttriType = ValueAttriType;
  }
  switch (ValueAttriType) {
    case kAttrInt:
    case kAttrHex:
      IntValue = static_cast<int32_t>(ReadInt(element, "AttriValue"));
      break;
    case kAttrString:
      StringValue = ReadText(element, "AttriValue");
      break;
    case kAttrEnum:
      EnumValue = static_cast<int32_t>(ReadInt(element, "AttriValue"));
      break;
    case kAttrFloat:
      FloatValue = static_cast<float>(ReadFloat(element, "AttriValue"));
      break;
    default:
      break;
  }
  MsgId = static_cast<int32_t>(ReadInt(element, "MsgId"));

  // The object, among what the database holds at this moment.
  Object = nullptr;
  switch (ValueObjectType) {
    case kAttrObjNode:
      NodeName = ReadText(element, "NodeName");
      if (Ram) Object = Ram->FindByName(Ram->Nodes, NodeName);
      break;
    case kAttrObjFrame:
      if (Ram)
        for (TNetFrame* frame : Ram->NetFrames)
          if (frame && frame->FrameId == static_cast<uint32_t>(MsgId)) {
            Object = frame;
            break;
          }
      break;
    case kAttrObjSignal:
    case kAttrObjSubSignal:
      SigName = ReadText(element, "SigName");
      if (Ram)
        for (TNetSig* netSig : Ram->NetSigs)
          if (netSig && netSig->Signal && netSig->Signal->Name == SigName) {
            Object = netSig;
            break;
          }
      break;
    case kAttrObjEnvVar:
      EnvName = ReadText(element, "EnvName");
      if (Ram) Object = FindEnvVarForRead(*Ram, EnvName);
      break;
    default:
      break;
  }
  return false;
}

std::string TCDBAttribute::GetName() { return Definition ? Definition->Name : DefinitionName; }

// ---------------------------------------------------------------------------
// TConfiguration

const std::string& TConfiguration::GetId() { return DefaultId("Configuration"); }

bool TConfiguration::WriteXml(bool withElement) {
  if (withElement && WriteTag("Configuration")) return true;
  if (TItemData::WriteXml(false)) return true;
  if (WriteStoredField("ConfigurationName", ConfigurationName) || WriteChildren("Composites", Composites)) return true;
  return withElement && WriteTag("Configuration", /*closing=*/true);
}

bool TConfiguration::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  ConfigurationName = ReadText(element, "ConfigurationName");
  if (!Ram) return true;  // composites can only be created in a database
  // New composites are appended; those read before stay in the database and
  // in the list.
  return AppendChildren(*this, element, "Composites", "Composite", Composites, &TZOR_RAM::Composites);
}

std::string TConfiguration::GetName() { return ConfigurationName; }

// ---------------------------------------------------------------------------
// TComposite

const std::string& TComposite::GetId() { return DefaultId("Composite"); }

bool TComposite::WriteXml(bool withElement) {
  if (withElement && WriteTag("Composite")) return true;
  if (TItemData::WriteXml(false)) return true;
  if (WriteStoredField("CompositeName", CompositeName)) return true;
  if (WriteTextList("FunctionNodes", "FunctionNode", FunctionNodes)) return true;
  return withElement && WriteTag("Composite", /*closing=*/true);
}

bool TComposite::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  CompositeName = ReadText(element, "CompositeName");
  return ReadTextList(element, "FunctionNodes", "FunctionNode", FunctionNodes);
}

std::string TComposite::GetName() { return CompositeName; }

}  // namespace ZOR_RAM
