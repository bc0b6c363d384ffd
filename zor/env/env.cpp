#include "zor/env/env.h"

#include <string_view>
#include <unordered_map>
#include <vector>

#include "zor/QXML/QXMLDocument.h"
#include "zor/check/check_run_values.h"
#include "zor/check/findings.h"
#include "zor/model/children.h"
#include "zor/model/enums.h"
#include "zor/model/fields.h"
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
      if (item) First_.emplace(FoldAscii(item->GetName()), item);
  }
  T* Find(const std::string& name) const {
    auto it = First_.find(FoldAscii(name));
    return it == First_.end() ? nullptr : it->second;
  }

 private:
  std::unordered_map<std::string, T*> First_;
};

// Clears the back-pointer of every variable of a list that names group.
template <class T>
void ForgetGroup(const TZORList<T>& list, const TEnvGroup* group) {
  for (T* variable : list)
    if (variable && variable->Group == group) variable->Group = nullptr;
}

// Runs the variables' checks, then reports a list that is too long.
template <class T>
void CheckVariables(bool* errorFound, const TZORList<T>& list, uint64_t flags, const char* typeWord) {
  for (T* variable : list)
    if (variable && variable->Check(flags)) *errorFound = true;
  if (list.Count() > kMaxEnvVariablesPerKind) ReportFinding(errorFound, 163, typeWord);
}

// The bounds warnings integer and real variables share.
template <class V>
void CheckBounds(bool* errorFound, const std::string& name, V initial, V min, V max) {
  if (min > max) ReportFinding(errorFound, 159, name.c_str());
  if (initial > max || initial < min) ReportFinding(errorFound, 160, name.c_str());
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

constexpr TField kVariableHead[] = {
    TextField<&TEnvVariable::Name>("Name"),
    EnumField<&TEnvVariable::AccessType, AccessTypeToText, AccessTypeFromText>("AccessType"),
    TextField<&TEnvVariable::Unit>("Unit")};

bool TEnvVariable::WriteHead() {
  return TItemData::WriteXml(/*withElement=*/false) || WriteFields(*this, kVariableHead);
}

void TEnvVariable::ReadHead(TQXMLNode* element) { ReadFields(*this, element, kVariableHead); }

// Node names are written with only the markup characters escaped; reading
// undoes the escapes, so a saved name reads back unchanged.
bool TEnvVariable::WriteNodes(const std::vector<std::string>& nodes) { return WriteTextList("Nodes", "Node", nodes); }

bool TEnvVariable::ReadNodes(TQXMLNode* element, std::vector<std::string>& nodes) {
  return ReadTextList(element, "Nodes", "Node", nodes);
}

// ---------------------------------------------------------------------------
// TEnvInt

TEnvInt::~TEnvInt() { LeaveGroups(&TEnvGroup::EnvIntList); }

const std::string& TEnvInt::GetId() { return DefaultId("EnvInt"); }

constexpr TField kEnvIntFields[] = {IntField<&TEnvInt::InitialValue>("InitialValue"),
                                    IntField<&TEnvInt::MinValue>("MinValue"), IntField<&TEnvInt::MaxValue>("MaxValue")};

bool TEnvInt::WriteXml(bool withElement) {
  if (withElement && WriteTag("EnvIntData")) return true;
  if (WriteHead() || WriteFields(*this, kEnvIntFields)) return true;
  // The tag carries a blank before its closing bracket; the linked type's
  // name, empty without a link.
  if (WriteStoredField("EncType ", EncType ? EncType->Name : std::string())) return true;
  if (WriteNodes(Nodes)) return true;
  return withElement && WriteTag("EnvIntData", /*closing=*/true);
}

bool TEnvInt::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  ReadHead(element);
  ReadFields(*this, element, kEnvIntFields);
  EncTypeName = ReadText(element, "EncType");
  return ReadNodes(element, Nodes);
}

bool TEnvInt::Check(uint64_t flags) {
  bool err = false;
  CheckVariableName(&err, flags);
  if (!(flags & kCheckAll)) return err;
  CheckBounds(&err, Name, InitialValue, MinValue, MaxValue);
  if (EncType) {
    if (EncType->Size != 32) ReportFinding(&err, 161, Name.c_str());
    for (TEncode* encode : EncType->Encodes) {
      if (encode && encode->Type == kEncodePhysical) {
        ReportFinding(&err, 162, Name.c_str());
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

constexpr TField kEnvFloatFields[] = {RealField<&TEnvFloat::InitialValue>("InitialValue"),
                                      RealField<&TEnvFloat::MinValue>("MinValue"),
                                      RealField<&TEnvFloat::MaxValue>("MaxValue")};

bool TEnvFloat::WriteXml(bool withElement) {
  if (withElement && WriteTag("EnvFloatData")) return true;
  if (WriteHead() || WriteFields(*this, kEnvFloatFields) || WriteNodes(Nodes)) return true;
  return withElement && WriteTag("EnvFloatData", /*closing=*/true);
}

bool TEnvFloat::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  ReadHead(element);
  ReadFields(*this, element, kEnvFloatFields);
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

// Only the low 32 bits of the value are kept.
constexpr TField kEnvDataFields[] = {IntField<&TEnvData::DataLength>("DataLength")};

bool TEnvData::WriteXml(bool withElement) {
  if (withElement && WriteTag("EnvDataData")) return true;
  if (WriteHead() || WriteFields(*this, kEnvDataFields) || WriteNodes(Nodes)) return true;
  return withElement && WriteTag("EnvDataData", /*closing=*/true);
}

bool TEnvData::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  ReadHead(element);
  ReadFields(*this, element, kEnvDataFields);
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
      WriteChildren("EnvIntDatas", EnvIntList) || WriteChildren("EnvFloatDatas", EnvFloatList) ||
      WriteChildren("EnvStrDatas", EnvStrList) || WriteChildren("EnvDataDatas", EnvDataList))
    return true;
  return withElement && WriteTag("EnvGroup", /*closing=*/true);
}

bool TEnvGroup::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  Name = ReadText(element, "Name");
  return ReadChildren(*this, element, "EnvIntDatas", "EnvIntData", EnvIntList, &TZOR_RAM::EnvInts, &TEnvInt::Group) ||
         ReadChildren(*this, element, "EnvFloatDatas", "EnvFloatData", EnvFloatList, &TZOR_RAM::EnvFloats,
                      &TEnvFloat::Group) ||
         ReadChildren(*this, element, "EnvStrDatas", "EnvStrData", EnvStrList, &TZOR_RAM::EnvStrs, &TEnvStr::Group) ||
         ReadChildren(*this, element, "EnvDataDatas", "EnvDataData", EnvDataList, &TZOR_RAM::EnvDatas,
                      &TEnvData::Group);
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
  return Ram && OtherItemHasName(Ram, Ram->EnvGroups, this, name);
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
