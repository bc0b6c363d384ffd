// Environment variables and their groups.
//
// A group (TEnvGroup, element "EnvGroup") holds its variables in four lists by
// kind; the variables themselves are owned by the database lists of their
// kind (EnvInts, EnvFloats, EnvStrs, EnvDatas). The environment section exists
// only in "2.000" files. After the section is read, LinkEnvGroups (ram.h)
// links networks to their groups and integer variables to their encoding
// types by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zor/model/item.h"

namespace ZOR_RAM {

class TEncType;
class TEnvGroup;

// The fields and element parts every kind of variable shares. When destroyed,
// a variable leaves the lists of every group of its database that holds it
// (whatever Group says: a host may move variables between groups), so that
// no group keeps a dangling entry.
class ZOR_API TEnvVariable : public TItemData {
 public:
  ~TEnvVariable() override;

  std::string Name;
  int32_t AccessType = 0;  // kAccessUnrestricted ...
  std::string Unit;

  // Another variable of any of the four kinds has exactly this item's name
  // (the argument is not used).
  bool IsNameUsed(const std::string& name) override;
  std::string GetDisplayName() override;
  std::string GetName() override;

  // The group that read this variable; null for a variable created outside
  // a group, and cleared when that group is destroyed.
  TEnvGroup* Group = nullptr;

 protected:
  // Checks shared by all kinds: attachment, name uniqueness and form.
  void CheckVariableName(bool* errorFound, uint64_t flags);
  // Takes the variable out of the list of its kind in every group of the
  // database (not while the whole database is freed).
  template <class T>
  void LeaveGroups(TZORList<T> TEnvGroup::*list);
};

// Element "EnvIntData".
class ZOR_API TEnvInt : public TEnvVariable {
 public:
  ~TEnvInt() override;

  int64_t InitialValue = 0;
  int64_t MinValue = 0;
  int64_t MaxValue = 0;
  TEncType* EncType = nullptr;  // not owned; linked by name after loading
  std::string EncTypeName;      // the "EncType" text as read
  std::vector<std::string> Nodes;  // names of the nodes that use the variable

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  bool Check(uint64_t flags) override;
};

// Element "EnvFloatData".
class ZOR_API TEnvFloat : public TEnvVariable {
 public:
  ~TEnvFloat() override;

  float InitialValue = 0;
  float MinValue = 0;
  float MaxValue = 0;
  std::vector<std::string> Nodes;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  bool Check(uint64_t flags) override;
};

// Element "EnvStrData".
class ZOR_API TEnvStr : public TEnvVariable {
 public:
  ~TEnvStr() override;

  std::vector<std::string> Nodes;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  bool Check(uint64_t flags) override;
};

// Element "EnvDataData".
class ZOR_API TEnvData : public TEnvVariable {
 public:
  ~TEnvData() override;

  int32_t DataLength = 0;
  std::vector<std::string> Nodes;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  bool ReadXml(TQXMLNode* element) override;
  bool Check(uint64_t flags) override;
};

// Element "EnvGroup". The four lists only refer; destroying the group leaves
// the variables in the database lists.
class ZOR_API TEnvGroup : public TItemData {
 public:
  ~TEnvGroup() override;

  std::string Name;
  TZORList<TEnvInt> EnvIntList;
  TZORList<TEnvFloat> EnvFloatList;
  TZORList<TEnvStr> EnvStrList;
  TZORList<TEnvData> EnvDataList;

  const std::string& GetId() override;
  bool WriteXml(bool withElement) override;
  // Destroys the variables read before, then creates one per child of the
  // four containers.
  bool ReadXml(TQXMLNode* element) override;
  // Runs every variable's check (under kCheckAll) and reports lists of more
  // than 40 variables.
  bool Check(uint64_t flags) override;
  // Another group of the database has exactly this name.
  bool IsNameUsed(const std::string& name) override;
  std::string GetDisplayName() override;
  std::string GetName() override;
};

// Variables per kind in one group beyond which code 163 is reported.
inline constexpr int kMaxEnvVariablesPerKind = 40;

}  // namespace ZOR_RAM
