#include "zor/env/env.h"

#include <string_view>
#include <unordered_map>
#include <vector>

#include "zor/QXML/QXMLDocument.h"
#include "zor/check/findings.h"
#include "zor/model/check_run_values.h"
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
  if (list.Count() > kMaxEnvVariablesPerKind) ReportFinding<kTooManyEnvVariables>(errorFound, typeWord);
}

// Whether type has an encode of the physical kind. Many variables may share
// one type, so during a check run each long encode list is looked at once.
bool HasPhysicalEncode(TZOR_RAM* ram, const TEncType& type) {
  auto scan = [](const TEncType* t) {
    for (const TEncode* encode : t->Encodes)
      if (encode && encode->Type == kEncodePhysical) return true;
    return false;
  };
  if (!ram || !ram->InCheckRun() || type.Encodes.Count() <= kScannedListLength) return scan(&type);
  static const char kKey = 0;
  return CheckRunValueOf<bool>(*ram, &kKey, &type, scan);
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

constexpr TField kVariableHead[] = {
    TextField<&TEnvVariable::Name>("Name"),
    EnumField<&TEnvVariable::AccessType, AccessTypeToText, AccessTypeFromText>("AccessType"),
    TextField<&TEnvVariable::Unit>("Unit")};

// A variable's element: "<tag>", "ZORId", the shared head, the kind's own
// fields, "Nodes" with one "Node" per entry (always written), "</tag>". Node
// names are written with only the markup characters escaped; reading undoes
// the escapes, so a saved name reads back unchanged.
template <class V>
bool WriteVariable(V& variable, bool withElement, std::string_view tag, std::span<const TField> fields) {
  if (withElement && WriteTag(tag)) return true;
  if (variable.TItemData::WriteXml(/*withElement=*/false) || WriteFields(variable, kVariableHead) ||
      WriteFields(variable, fields) || WriteTextList("Nodes", "Node", variable.Nodes))
    return true;
  return withElement && WriteTag(tag, /*closing=*/true);
}

// Reads what WriteVariable writes, after "ZORId".
template <class V>
bool ReadVariable(V& variable, const TQXMLNode* element, std::span<const TField> fields) {
  ReadFields(variable, element, kVariableHead);
  ReadFields(variable, element, fields);
  return ReadTextList(element, "Nodes", "Node", variable.Nodes);
}

// ---------------------------------------------------------------------------
// TEnvInt

TEnvInt::~TEnvInt() { LeaveGroups(&TEnvGroup::EnvIntList); }

const std::string& TEnvInt::GetId() { return DefaultId("EnvInt"); }

constexpr TField kEnvIntFields[] = {
    IntField<&TEnvInt::InitialValue>("InitialValue"), IntField<&TEnvInt::MinValue>("MinValue"),
    IntField<&TEnvInt::MaxValue>("MaxValue"),
    // The linked type's name, empty without a link; the tag is written with a
    // blank before its closing bracket.
    {"EncType ",
     [](TItemData& item, const TQXMLNode* element, std::string_view) {
       static_cast<TEnvInt&>(item).EncTypeName = ReadText(element, "EncType");
     },
     [](TItemData& item, std::string_view name) {
       const TEncType* type = static_cast<TEnvInt&>(item).EncType;
       return WriteStoredField(name, type ? type->Name : std::string());
     },
     nullptr}};

bool TEnvInt::WriteXml(bool withElement) { return WriteVariable(*this, withElement, "EnvIntData", kEnvIntFields); }
bool TEnvInt::ReadXml(TQXMLNode* element) { return ReadBase(element) || ReadVariable(*this, element, kEnvIntFields); }

bool TEnvInt::Check(uint64_t flags) {
  bool err = false;
  CheckVariableName(&err, flags);
  if (!(flags & kCheckAll)) return err;
  CheckBounds(&err, Name, InitialValue, MinValue, MaxValue);
  if (EncType) {
    if (EncType->Size != 32) ReportFinding<kEnvSizeNot32>(&err, Name.c_str());
    if (HasPhysicalEncode(Ram, *EncType)) ReportFinding<kEnvPhysicalEncoding>(&err, Name.c_str());
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
  return WriteVariable(*this, withElement, "EnvFloatData", kEnvFloatFields);
}
bool TEnvFloat::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadVariable(*this, element, kEnvFloatFields);
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

bool TEnvStr::WriteXml(bool withElement) { return WriteVariable(*this, withElement, "EnvStrData", {}); }
bool TEnvStr::ReadXml(TQXMLNode* element) { return ReadBase(element) || ReadVariable(*this, element, {}); }

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
  return WriteVariable(*this, withElement, "EnvDataData", kEnvDataFields);
}
bool TEnvData::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadVariable(*this, element, kEnvDataFields);
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
