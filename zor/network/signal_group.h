// Signal groups, LIN signal groups, CAN-database attribute definitions and
// values, configurations and composites: descriptive data a network carries
// over from CAN and LIN description files. They are stored, read and written;
// apart from the attachment check they are not checked.
//
// Every text these elements hold (names, list entries, string values, object
// names) is written as stored, escaping only the markup characters & < >, and
// read back unescaped.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zor/model/item.h"

namespace ZOR_RAM {

class TZOR_RAM;

// Element "SignalGroup".
class ZOR_API TSigGrp : public TItemData {
 public:
  std::string Name;
  int32_t Repetition = 0;
  int32_t MsgId = 0;  // the group's message identifier
  std::vector<std::string> Signals;  // signal names, in order

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  std::string GetName() override;
};

// Element "SignalGroupLIN". Offsets[i] belongs to Signals[i].
class ZOR_API TSigGrpLIN : public TItemData {
 public:
  std::string Name;
  int32_t GroupSize = 0;
  std::vector<std::string> Signals;  // signal names
  std::vector<std::string> Offsets;  // each signal's offset in the group, as written in the file

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  // A last "SigName" without its "SiggrpOffset" is kept with an empty offset.
  bool ReadXml(TQXMLNode* element) override;
  std::string GetName() override;
};

// Element "Attribute": the definition of a CAN-database attribute.
// AttriType: kAttrInt, kAttrHex, kAttrFloat, kAttrString, kAttrEnum;
// ObjectType: kAttrObjNetwork ... kAttrObjEnvVar (see enums.def).
class ZOR_API TCDBAttributeDef : public TItemData {
 public:
  TCDBAttributeDef();
  ~TCDBAttributeDef() override;

  std::string Name;
  int32_t AttriType = 0;
  int32_t ObjectType = 0;
  int32_t MinInt = 0, MaxInt = 0, DefaultInt = 0;  // INT and HEX
  float MinFloat = 0, MaxFloat = 0, DefaultFloat = 0;  // FLOAT
  std::vector<std::string> EnumValues;  // ENUM value names, in order
  std::string DefaultEnum;
  std::string DefaultString;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  std::string GetName() override;

  // The first definition of the database whose name equals name ignoring
  // case, or null. During a load (a call scope) the folded names are indexed
  // as the definition list grows; otherwise the list is searched.
  static TCDBAttributeDef* FindInDatabase(TZOR_RAM& ram, const std::string& name);
};

// Element "AttributeValue": the value of an attribute for one object.
//
// Reading looks the definition up by name (ignoring case) among all
// definitions the database holds so far, stores the value's object and
// attribute types into it and reads the value by that type; the owning
// network then links the value to its own definition of that name. Objects
// are looked up among what the database holds at that moment: during a load
// nodes, frames and environment variables are read later, so the names and
// the message identifier read here are what keeps the link.
//
// The value also keeps the object and attribute types it was read with
// (ValueObjectType, ValueAttriType): a value whose network has no definition
// of its name is written with them, so that nothing is lost.
class ZOR_API TCDBAttribute : public TItemData {
 public:
  TItemData* Object = nullptr;  // node, frame, network signal or variable; not owned
  TCDBAttributeDef* Definition = nullptr;  // not owned
  int32_t IntValue = 0;
  float FloatValue = 0;
  int32_t EnumValue = 0;
  std::string StringValue;
  std::string NodeName, SigName, EnvName;  // as read from the file
  int32_t MsgId = 0;  // frame identifier as read from the file
  std::string DefinitionName;  // the "Attribute" text as read
  int32_t ValueObjectType = 0;  // "ObjectType" as read; used without a definition
  int32_t ValueAttriType = 0;   // "AttriType" as read; used without a definition

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  // The definition's name, or DefinitionName without a definition.
  std::string GetName() override;
};

class TComposite;

// Element "Configuration". Composites refers to the configuration's
// composites, which the database's Composites list owns.
class ZOR_API TConfiguration : public TItemData {
 public:
  std::string ConfigurationName;
  TZORList<TComposite> Composites;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  // Destroys the composites read before, then creates one per "Composite".
  bool ReadXml(TQXMLNode* element) override;
  std::string GetName() override;
};

// Element "Composite".
class ZOR_API TComposite : public TItemData {
 public:
  std::string CompositeName;
  std::vector<std::string> FunctionNodes;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  std::string GetName() override;
};

}  // namespace ZOR_RAM
