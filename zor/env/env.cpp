#include "zor/env/env.h"

#include <string_view>
#include <unordered_map>
#include <vector>

#include "zor/QXML/QXMLDocument.h"
#include "zor/check/findings.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"

namespace ZOR_RAM {

namespace {

constexpr const char* kVariableKind = "EnvData";
constexpr const char* kGroupKind = "Environment Group";

// The first item of a list for each name, names compared without regard to
// ASCII case: the result FindByName gives, for many look-ups at once.
template <class T>
class NameIndex {
 public:
  explicit NameIndex(const TZORList<T>& list) {
    for (T* item : list)
      if (item) First_.emplace(Fold(item->GetName()), item);
  }
  T* Find(const std::string& name) const {
    auto it = First_.find(Fold(name));
    return it == First_.end() ? nullptr : it->second;
  }

 private:
  static std::string Fold(std::string text) {
    for (char& c : text)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
  }
  std::unordered_map<std::string, T*> First_;
};

// Destroys the variables of a group's list. The list is emptied first, so
// that the variables do not find themselves in it while it is freed.
template <class T>
void FreeVariables(TZORList<T>& list) {
  std::vector<T*> variables(list.begin(), list.end());
  list.Clear();
  for (T* variable : variables) delete variable;  // each leaves its database list
}

// Reads one of the group's containers: every child becomes a new variable of
// the database list `home`, added to the group's list `own`.
template <class T>
bool ReadVariables(TEnvGroup* group, TQXMLNode* element, std::string_view container,
                   std::string_view itemName, TZORList<T>& own, TZORList<T>& home) {
  FreeVariables(own);
  return ReadListIn(element, container, itemName, [&](TQXMLNode* child) {
    T* variable = group->Ram->NewItem(home);
    variable->Group = group;
    own.Add(variable);
    return variable->ReadXml(child);
  });
}

// Clears the back-pointer of every variable of a list that names group.
template <class T>
void ForgetGroup(const TZORList<T>& list, const TEnvGroup* group) {
  for (T* variable : list)
    if (variable && variable->Group == group) variable->Group = nullptr;
}

template <class T>
bool WriteVariables(std::string_view container, const TZORList<T>& list) {
  if (WriteTag(container)) return true;
  for (T* variable : list)
    if (variable && variable->WriteXml(/*withElement=*/true)) return true;
  return WriteTag(container, /*closing=*/true);
}

// Runs the variables' checks, then reports a list that is too long.
template <class T>
void CheckVariables(bool* errorFound, const TZORList<T>& list, uint64_t flags, const char* typeWord) {
  for (T* variable : list)
    if (variable && variable->Check(flags)) *errorFound = true;
  if (list.Count() > kMaxEnvVariablesPerKind) ReportFinding<kTooManyEnvVariables>(errorFound, typeWord);
}

// The bounds warnings integer and real variables share.
template <class V>
void CheckBounds(bool* errorFound, const std::string& name, V initial, V min, V max) {
  if (min > max) ReportFinding<kEnvMinOverMax>(errorFound, name.c_str());
  if (initial > max || initial < min) ReportFinding<kEnvInitialOutOfRange>(errorFound, name.c_str());
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared parts of the variables

TEnvVariable::~TEnvVariable() = default;

template <class T>
void TEnvVariable::LeaveGroups(TZORList<T> TEnvGroup::*list) {
  if (!Ram || Ram->IsBeingDestroyed()) return;
  for (TEnvGroup* group : Ram->EnvGroups)
    if (group)
      while ((group->*list).Remove(static_cast<T*>(this)) >= 0) {
      }
}

bool TEnvVariable::IsNameUsed(const std::string& /*name*/) {
  if (!Ram) return false;
  const int count = Ram->CountNames(Ram->EnvInts, Name) + Ram->CountNames(Ram->EnvFloats, Name) +
                    Ram->CountNames(Ram->EnvStrs, Name) + Ram->CountNames(Ram->EnvDatas, Name);
  return count >= 2;
}

std::string TEnvVariable::GetDisplayName() {
  if (DisplayNameCache.empty()) DisplayNameCache = Name;
  return DisplayNameCache;
}

std::string TEnvVariable::GetName() { return Name; }

void TEnvVariable::CheckVariableName(bool* errorFound, uint64_t flags) {
  if (flags & kCheckAll) CheckBase(errorFound, flags);
  CheckItemName(errorFound, this, flags, kVariableKind);
}

bool TEnvVariable::WriteHead() {
  return TItemData::WriteXml(/*withElement=*/false) || WriteTextField("Name", Name) ||
         WriteTextField("AccessType", AccessTypeToText(AccessType)) || WriteTextField("Unit", Unit);
}

void TEnvVariable::ReadHead(TQXMLNode* element) {
  Name = ReadText(element, "Name");
  AccessType = AccessTypeFromText(ReadText(element, "AccessType"));
  Unit = ReadText(element, "Unit");
}

// Node names are written with only the markup characters escaped; reading
// undoes the escapes, so a saved name reads back unchanged.
bool TEnvVariable::WriteNodes(const std::vector<std::string>& nodes) {
  if (WriteTag("Nodes")) return true;
  for (const std::string& node : nodes)
    if (WriteStoredField("Node", node)) return true;
  return WriteTag("Nodes", /*closing=*/true);
}

bool TEnvVariable::ReadNodes(TQXMLNode* element, std::vector<std::string>& nodes) {
  nodes.clear();
  return ReadListIn(element, "Nodes", "Node", [&](TQXMLNode* child) {
    nodes.push_back(UnescapeText(child->Text));
    return false;
  });
}

// ---------------------------------------------------------------------------
// TEnvInt

TEnvInt::~TEnvInt() { LeaveGroups(&TEnvGroup::EnvIntList); }

const std::string& TEnvInt::GetId() { return DefaultId("EnvInt"); }

bool TEnvInt::WriteXml(bool withElement) {
  if (withElement && WriteTag("EnvIntData")) return true;
  if (WriteHead() || WriteIntField("InitialValue", InitialValue) || WriteIntField("MinValue", MinValue) ||
      WriteIntField("MaxValue", MaxValue))
    return true;
  // The tag carries a blank before its closing bracket; the linked type's
  // name, empty without a link.
  if (WriteStoredField("EncType ", EncType ? EncType->Name : std::string())) return true;
  if (WriteNodes(Nodes)) return true;
  return withElement && WriteTag("EnvIntData", /*closing=*/true);
}

bool TEnvInt::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  ReadHead(element);
  InitialValue = ReadInt(element, "InitialValue");
  MinValue = ReadInt(element, "MinValue");
  MaxValue = ReadInt(element, "MaxValue");
  EncTypeName = ReadText(element, "EncType");
  return ReadNodes(element, Nodes);
}

bool TEnvInt::Check(uint64_t flags) {
  bool err = false;
  CheckVariableName(&err, flags);
  if (!(flags & kCheckAll)) return err;
  CheckBounds(&err, Name, InitialValue, MinValue, MaxValue);
  if (EncType) {
    if (EncType->Size != 32) ReportFinding<kEnvSizeNot32>(&err, Name.c_str());
    for (TEncode* encode : EncType->Encodes) {
      if (encode && encode->Type == kEncodePhysical) {
        ReportFinding<kEnvPhysicalEncoding>(&err, Name.c_str());
        break;
      }
    }
  }
  return err;
}

// ---------------------------------------------------------------------------
// TEnvFloat

TEnvFloat::~TEnvFloat() { LeaveGroups(&TEnvGroup::EnvFloatList); }

const std::string& TEnvFloat::GetId() { return DefaultId("EnvFloat"); }

bool TEnvFloat::WriteXml(bool withElement) {
  if (withElement && WriteTag("EnvFloatData")) return true;
  if (WriteHead() || WriteRealField("InitialValue", InitialValue) || WriteRealField("MinValue", MinValue) ||
      WriteRealField("MaxValue", MaxValue) || WriteNodes(Nodes))
    return true;
  return withElement && WriteTag("EnvFloatData", /*closing=*/true);
}

bool TEnvFloat::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  ReadHead(element);
  InitialValue = static_cast<float>(ReadFloat(element, "InitialValue"));
  MinValue = static_cast<float>(ReadFloat(element, "MinValue"));
  MaxValue = static_cast<float>(ReadFloat(element, "MaxValue"));
  return ReadNodes(element, Nodes);
}

bool TEnvFloat::Check(uint64_t flags) {
  bool err = false;
  CheckVariableName(&err, flags);
  if (flags & kCheckAll) CheckBounds(&err, Name, InitialValue, MinValue, MaxValue);
  return err;
}

// ---------------------------------------------------------------------------
// TEnvStr

TEnvStr::~TEnvStr() { LeaveGroups(&TEnvGroup::EnvStrList); }

const std::string& TEnvStr::GetId() { return DefaultId("EnvStr"); }

bool TEnvStr::WriteXml(bool withElement) {
  if (withElement && WriteTag("EnvStrData")) return true;
  if (WriteHead() || WriteNodes(Nodes)) return true;
  return withElement && WriteTag("EnvStrData", /*closing=*/true);
}

bool TEnvStr::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  ReadHead(element);
  return ReadNodes(element, Nodes);
}

bool TEnvStr::Check(uint64_t flags) {
  bool err = false;
  CheckVariableName(&err, flags);
  return err;
}

// ---------------------------------------------------------------------------
// TEnvData

TEnvData::~TEnvData() { LeaveGroups(&TEnvGroup::EnvDataList); }

const std::string& TEnvData::GetId() { return DefaultId("EnvData"); }

bool TEnvData::WriteXml(bool withElement) {
  if (withElement && WriteTag("EnvDataData")) return true;
  if (WriteHead() || WriteIntField("DataLength", DataLength) || WriteNodes(Nodes)) return true;
  return withElement && WriteTag("EnvDataData", /*closing=*/true);
}

bool TEnvData::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  ReadHead(element);
  // Only the low 32 bits of the value are kept.
  DataLength = static_cast<int32_t>(static_cast<uint32_t>(ReadInt(element, "DataLength")));
  return ReadNodes(element, Nodes);
}

bool TEnvData::Check(uint64_t flags) {
  bool err = false;
  CheckVariableName(&err, flags);
  return err;
}

// ---------------------------------------------------------------------------
// TEnvGroup

TEnvGroup::~TEnvGroup() {
  // Networks linked to this group lose the link rather than keep a dangling one.
  if (Ram)
    for (TNetwork* network : Ram->Networks)
      if (network && network->EnvGroup == this) network->EnvGroup = nullptr;
  // No variable keeps a pointer to this group, also one a host took out of
  // its lists.
  ForgetGroup(EnvIntList, this);
  ForgetGroup(EnvFloatList, this);
  ForgetGroup(EnvStrList, this);
  ForgetGroup(EnvDataList, this);
  if (Ram && !Ram->IsBeingDestroyed()) {
    ForgetGroup(Ram->EnvInts, this);
    ForgetGroup(Ram->EnvFloats, this);
    ForgetGroup(Ram->EnvStrs, this);
    ForgetGroup(Ram->EnvDatas, this);
  }
}

const std::string& TEnvGroup::GetId() { return DefaultId("EnvGroup"); }

bool TEnvGroup::WriteXml(bool withElement) {
  if (withElement && WriteTag("EnvGroup")) return true;
  if (TItemData::WriteXml(/*withElement=*/false) || WriteTextField("Name", Name) ||
      WriteVariables("EnvIntDatas", EnvIntList) || WriteVariables("EnvFloatDatas", EnvFloatList) ||
      WriteVariables("EnvStrDatas", EnvStrList) || WriteVariables("EnvDataDatas", EnvDataList))
    return true;
  return withElement && WriteTag("EnvGroup", /*closing=*/true);
}

bool TEnvGroup::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  Name = ReadText(element, "Name");
  return ReadVariables(this, element, "EnvIntDatas", "EnvIntData", EnvIntList, Ram->EnvInts) ||
         ReadVariables(this, element, "EnvFloatDatas", "EnvFloatData", EnvFloatList, Ram->EnvFloats) ||
         ReadVariables(this, element, "EnvStrDatas", "EnvStrData", EnvStrList, Ram->EnvStrs) ||
         ReadVariables(this, element, "EnvDataDatas", "EnvDataData", EnvDataList, Ram->EnvDatas);
}

bool TEnvGroup::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) CheckBase(&err, flags);
  CheckItemName(&err, this, flags, kGroupKind);
  if (flags & kCheckAll) {
    CheckVariables(&err, EnvIntList, flags, "Int");
    CheckVariables(&err, EnvFloatList, flags, "Float");
    CheckVariables(&err, EnvStrList, flags, "String");
    CheckVariables(&err, EnvDataList, flags, "Data");
  }
  return err;
}

bool TEnvGroup::IsNameUsed(const std::string& name) {
  if (!Ram) return false;
  int count = Ram->CountNames(Ram->EnvGroups, name);
  if (HomeList() == &Ram->EnvGroups && Name == name) --count;
  return count > 0;
}

std::string TEnvGroup::GetDisplayName() {
  if (DisplayNameCache.empty()) DisplayNameCache = Name;
  return DisplayNameCache;
}

std::string TEnvGroup::GetName() { return Name; }

// ---------------------------------------------------------------------------

void LinkEnvGroups(TZOR_RAM& ram) {
  const NameIndex<TEnvGroup> groups(ram.EnvGroups);
  for (TNetwork* network : ram.Networks)
    if (network && !network->EnvGroupName.empty()) network->EnvGroup = groups.Find(network->EnvGroupName);

  const NameIndex<TEncType> encTypes(ram.EncTypes);
  for (TEnvGroup* group : ram.EnvGroups) {
    if (!group) continue;
    for (TEnvInt* variable : group->EnvIntList)
      if (variable && !variable->EncTypeName.empty()) variable->EncType = encTypes.Find(variable->EncTypeName);
  }
}

}  // namespace ZOR_RAM
