#include "zor/network/network.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "zor/QXML/QXMLDocument.h"
#include "zor/env/env.h"
#include "zor/model/check_run_values.h"
#include "zor/model/children.h"
#include "zor/model/enums.h"
#include "zor/model/fields.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"
#include "zor/network/frame.h"
#include "zor/network/signal.h"
#include "zor/network/signal_group.h"
#include "zor/node/node.h"

namespace ZOR_RAM {

bool IsCanNetworkType(int32_t type) { return type == kNetTypeCAN || type == kNetTypeJ1939; }
bool IsLinNetworkType(int32_t type) { return type >= kNetTypeLIN10 && type <= kNetTypeLIN20; }

int LinProtocolLevel(int32_t type) {
  switch (type) {
    case kNetTypeLIN10:
    case kNetTypeLIN11:
      return kLinLevel1x;
    case kNetTypeLIN12:
    case kNetTypeLIN13:
      return kLinLevel13;
    case kNetTypeLIN20:
      return kLinLevel20;
    default:
      return kLinLevelNone;
  }
}

namespace {

std::string Hex(unsigned value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
  return buffer;
}

}  // namespace

// ---------------------------------------------------------------------------
// TNetwork

TNetwork::TNetwork() { std::memset(DynamicMsgIds, kMsgIdNotDynamic, sizeof DynamicMsgIds); }

TNetwork::~TNetwork() {
  // The modes outlive the network in the database list; they must not keep
  // pointing at it.
  for (TNetMode* mode : NetModes)
    if (mode) mode->Network = nullptr;
}

const std::string& TNetwork::GetId() { return DefaultId("Network"); }

namespace {

// Older files name CAN networks "CAN 11" or "CAN 29".
int32_t NetworkTypeFromFileText(const std::string& text) {
  return NetworkTypeFromText(text == "CAN 11" || text == "CAN 29" ? std::string("CAN") : text);
}

}  // namespace

// The bus fields, after the name (and in "2.000" files the version and symbols).
constexpr TField kNetworkFields[] = {EnumField<&TNetwork::Type, NetworkTypeToText, NetworkTypeFromFileText>("Type"),
                                     IntField<&TNetwork::NetSpeed>("NetSpeed"),
                                     IntField<&TNetwork::SamplePos>("SamplePos"), IntField<&TNetwork::SJW>("SJW"),
                                     IntField<&TNetwork::SampMode>("SampMode")};

bool TNetwork::WriteXml(bool withElement) {
  const bool v2 = Ram && Ram->IsVersion2();
  if (withElement && WriteTag("Network")) return true;
  if (TItemData::WriteXml(false) || WriteTextField("Name", Name)) return true;
  if (v2 && (WriteTextField("Version", Version) || WriteTextList("Symbols", "Symbol", Symbols))) return true;
  if (WriteFields(*this, kNetworkFields)) return true;
  if (v2) {
    if (WriteTag("DynamicMsgIds")) return true;
    for (int id = 0; id < kDynamicMsgIdCount; ++id)
      if (DynamicMsgIds[id] != kMsgIdNotDynamic && WriteIntField("DynamicMsgId", id)) return true;
    if (WriteTag("DynamicMsgIds", true) || WriteChildren("Configurations", Configurations)) return true;
    // The linked group's name, empty without a link.
    if (WriteTextField("EnvGroup", EnvGroup ? EnvGroup->GetName() : std::string())) return true;
  }
  if (WriteChildren("NetModes", NetModes)) return true;
  if (v2 && (WriteChildren("SignalGroups", SignalGroups) || WriteChildren("SignalGroupsLIN", SignalGroupsLIN) ||
             WriteChildren("Attributes", Attributes) || WriteChildren("AttributeValues", AttributeValues) ||
             WriteChildren("UnUsedSignals", UnUsedSignals)))
    return true;
  return withElement && WriteTag("Network", true);
}

bool TNetwork::ReadXml(TQXMLNode* element) {
  // Each child list is emptied at its own step, so a read that fails early
  // leaves the later lists as they were.
  if (ReadBase(element)) return true;
  const bool v2 = Ram && Ram->IsVersion2();
  Name = ReadText(element, "Name");
  if (v2) {
    Version = ReadText(element, "Version");
    if (ReadTextList(element, "Symbols", "Symbol", Symbols, /*asParsed=*/true)) return true;
  }
  ReadFields(*this, element, kNetworkFields);

  if (v2) {
    std::memset(DynamicMsgIds, kMsgIdNotDynamic, sizeof DynamicMsgIds);
    if (ReadListIn(element, "DynamicMsgIds", "DynamicMsgId", [&](TQXMLNode* child) {
          const int64_t id = TextToInt(child->Text);
          // Identifiers outside the array have no place to be marked.
          if (id >= 0 && id < kDynamicMsgIdCount) DynamicMsgIds[id] = kMsgIdDynamic;
          return false;
        }) ||
        ReadChildren(*this, element, "Configurations", "Configuration", Configurations, &TZOR_RAM::Configurations))
      return true;
    EnvGroupName = ReadText(element, "EnvGroup");
  }

  // A mode's entries are read with it and go with it.
  for (TNetMode* mode : NetModes)
    if (mode) DestroyChildren(mode->SchEntrys);
  if (ReadChildren(*this, element, "NetModes", "NetMode", NetModes, &TZOR_RAM::NetModes, &TNetMode::Network))
    return true;
  if (!v2) return false;
  if (ReadChildren(*this, element, "SignalGroups", "SignalGroup", SignalGroups, &TZOR_RAM::SigGrps) ||
      ReadChildren(*this, element, "SignalGroupsLIN", "SignalGroupLIN", SignalGroupsLIN, &TZOR_RAM::SigGrpLINs) ||
      ReadChildren(*this, element, "Attributes", "Attribute", Attributes, &TZOR_RAM::CDBAttributeDefs))
    return true;

  // Each value links to the first of this network's definitions with its
  // definition name (ignoring case): one map instead of a scan per value.
  std::unordered_map<std::string, TCDBAttributeDef*> definitions;
  for (TCDBAttributeDef* def : Attributes)
    if (def) definitions.try_emplace(FoldAscii(def->Name), def);
  const bool failed =
      ReadChildren(*this, element, "AttributeValues", "AttributeValue", AttributeValues, &TZOR_RAM::CDBAttributes);
  for (TCDBAttribute* value : AttributeValues) {
    auto found = definitions.find(FoldAscii(value->DefinitionName));
    value->Definition = found == definitions.end() ? nullptr : found->second;
  }
  return failed ||
         ReadChildren(*this, element, "UnUsedSignals", "Signal", UnUsedSignals, &TZOR_RAM::UnUsedSignals);
}

void TNetwork::ResolveLinks() {
  ResolveChildren(NetModes);
  // Unused signals keep references too (their encoding type); unresolved,
  // the next save would drop them.
  ResolveChildren(UnUsedSignals);
}

bool TNetwork::IsNameUsed(const std::string& name) { return Ram && OtherItemHasName(Ram, Ram->Networks, this, name); }

std::string TNetwork::GetDisplayName() {
  if (DisplayNameCache.empty()) DisplayNameCache = Name;
  return DisplayNameCache;
}

std::string TNetwork::GetName() { return Name; }

bool TNetwork::HasDiagnosticFrames() const {
  return Type == kNetTypeLIN12 || Type == kNetTypeLIN13 || Type == kNetTypeLIN20;
}

const TZORList<TIfc>& TNetwork::GetInterfaces() {
  if (!Ram) return Interfaces_;
  auto append = [this](TIfc* ifc) {
    if (ifc && ifc->Network == this && InterfaceSet_.insert(ifc).second) Interfaces_.Add(ifc);
  };
  if (Ram->InCheckRun()) {
    // Nothing is edited during a check run: one scan of the database groups
    // the interfaces by network, in database order, for every network.
    static const char kKey = 0;
    using Groups = std::unordered_map<const TNetwork*, std::vector<TIfc*>>;
    const Groups& groups = Ram->CheckRunValue<Groups>(&kKey, [this] {
      Groups result;
      for (TIfc* ifc : Ram->Ifcs)
        if (ifc && ifc->Network) result[ifc->Network].push_back(ifc);
      return result;
    });
    if (auto found = groups.find(this); found != groups.end())
      for (TIfc* ifc : found->second) append(ifc);
  } else {
    for (TIfc* ifc : Ram->Ifcs) append(ifc);
  }
  return Interfaces_;
}

const TZORList<TNetFrame>& TNetwork::GetFrames() {
  if (!Ram || FramesBuilt_) return Frames_;
  FramesBuilt_ = true;
  for (TIfc* ifc : GetInterfaces())
    for (TNetFrame* frame : ifc->NetFrames)
      if (frame) Frames_.Add(frame);
  return Frames_;
}

const TZORList<TFrameHolder>& TNetwork::GetFrameHolders() {
  if (!Ram || HoldersBuilt_) return FrameHolders_;
  HoldersBuilt_ = true;
  if (IsLin())
    for (TIfc* ifc : GetInterfaces())
      for (TFrameHolder* holder : ifc->FrameHolders)
        if (holder) FrameHolders_.Add(holder);
  return FrameHolders_;
}

void TNetwork::ForgetInterface(TIfc* ifc) {
  if (InterfaceSet_.erase(ifc)) Interfaces_.Remove(ifc);  // listed once
}

void TNetwork::ForgetFrame(TNetFrame* frame) {
  while (Frames_.Remove(frame) >= 0) {
  }
  while (FrameHolders_.Remove(frame) >= 0) {
  }
}

TIfc* TNetwork::GetMasterInterface() {
  for (TIfc* ifc : GetInterfaces())
    if (ifc->IfcType == kIfcLINMaster) return ifc;
  return nullptr;
}

TIfc* TNetwork::GetSlaveInterface() {
  for (TIfc* ifc : GetInterfaces())
    if (ifc->IfcType == kIfcLINSlave) return ifc;
  return nullptr;
}

bool TNetwork::HasMessageIdFor(const TNetFrame* frame) {
  for (TIfc* ifc : GetInterfaces())
    for (TFrameMsgId* id : ifc->FrameMsgIds)
      if (id && id->NetFrame == frame) return true;
  return false;
}

// ---------------------------------------------------------------------------
// TNetMode

TNetMode::~TNetMode() {
  for (TSchEntry* entry : SchEntrys)
    if (entry) entry->NetMode = nullptr;
}

const std::string& TNetMode::GetId() { return DefaultId("NetMode"); }

bool TNetMode::WriteXml(bool withElement) {
  if (withElement && WriteTag("NetMode")) return true;
  if (TItemData::WriteXml(false) || WriteTextField("Name", Name) || WriteChildren("SchEntrys", SchEntrys) ||
      WriteRefList("IfcModes", "IfcMode", IfcModes))
    return true;
  return withElement && WriteTag("NetMode", true);
}

bool TNetMode::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  Name = ReadText(element, "Name");
  return ReadChildren(*this, element, "SchEntrys", "SchEntry", SchEntrys, &TZOR_RAM::SchEntries, &TSchEntry::NetMode);
}

void TNetMode::ResolveLinks() {
  // A wrong child is reported and ends this mode's resolution.
  if (ResolveRefList(*this, "IfcModes", "IfcMode", IfcModes, &TZOR_RAM::IfcModes, TEmptyRef::Searched)) return;
  ResolveChildren(SchEntrys);
}

bool TNetMode::IsNameUsed(const std::string& name) {
  return Network && OtherItemHasName(Ram, Network->NetModes, this, name);
}

std::string TNetMode::GetDisplayName() {
  if (DisplayNameCache.empty()) DisplayNameCache = Network ? Network->Name + "." + Name : Name;
  return DisplayNameCache;
}

std::string TNetMode::GetName() { return Name; }

TSchEntry* TNetMode::FindEntryForFrame(const TNetFrame* frame) const {
  for (TSchEntry* entry : SchEntrys)
    if (entry && entry->TxFrame == frame &&
        (entry->Type == kSchUnconditional || entry->Type == kSchEventTriggered || entry->Type == kSchSporadic))
      return entry;
  return nullptr;
}

// ---------------------------------------------------------------------------
// TSchEntry

TSchEntry::TSchEntry() { std::memset(data, 0xFF, sizeof data); }

const std::string& TSchEntry::GetId() { return DefaultId("SchEntry"); }

constexpr TField kSchEntryFields[] = {
    IntField<&TSchEntry::Order>("Order"),
    EnumField<&TSchEntry::Type, SchEntryTypeToText, SchEntryTypeFromText>("Type"),
    IntField<&TSchEntry::Delay>("Delay"),
    HexBytesField<&TSchEntry::data>("data"),
    RefField<&TSchEntry::Ifc, TEmptyRef::Searched, &TZOR_RAM::Ifcs>("Ifc"),
    RefField<&TSchEntry::TxFrame, TEmptyRef::Searched, &TZOR_RAM::FrameHolders, &TZOR_RAM::NetFrames>("TxFrame")};

bool TSchEntry::WriteXml(bool withElement) {
  return WriteFieldsElement(*this, withElement, "SchEntry", kSchEntryFields);
}
bool TSchEntry::ReadXml(TQXMLNode* element) { return ReadBase(element) || ReadFields(*this, element, kSchEntryFields); }
void TSchEntry::ResolveLinks() { ResolveFields(*this, kSchEntryFields); }

std::string TSchEntry::GetDisplayName() {
  if (DisplayNameCache.empty() && NetMode && NetMode->Network)
    DisplayNameCache = NetMode->Network->Name + "." + NetMode->Name + "." + GetName();
  return DisplayNameCache;
}

std::string TSchEntry::GetName() {
  const std::string frameName = TxFrame ? TxFrame->Name : std::string();
  switch (Type) {
    case kSchDiagRequest:
      return "MasterReq";
    case kSchDiagResponse:
      return "SlaveResp";
    case kSchUnconditional:
    case kSchEventTriggered:
    case kSchSporadic:
      return frameName;
    case kSchAssignNAD:
      return "AssignNAD {" + Hex(data[0], 2) + ", " + Hex(data[7], 2) + ", " + Hex(data[3] | data[4] << 8, 4) +
             ", " + Hex(data[5] | data[6] << 8, 4) + "}";
    case kSchAssignFrameId:
    case kSchUnAssignFrameId: {
      const std::string nodeName = Ifc && Ifc->Node ? Ifc->Node->Name : std::string();
      return (Type == kSchAssignFrameId ? "AssignFrameId {" : "UnassignFrameId {") + nodeName + ", " + frameName +
             "}";
    }
    case kSchFreeFormat: {
      std::string text = "FreeFormat {";
      for (int i = 0; i < 8; ++i) text += (i ? ", " : "") + Hex(data[i], 2);
      return text + "}";
    }
    default:
      return "Unknown schedule entry";
  }
}

TNetwork* TSchEntry::GetNetwork() const { return NetMode ? NetMode->Network : nullptr; }

int TSchEntry::LinLevel() const {
  const TNetwork* network = GetNetwork();
  return network ? network->LinLevel() : kLinLevelNone;
}

int32_t TSchEntry::FrameTime() const {
  const TNetwork* network = GetNetwork();
  if (!network || network->NetSpeed <= 0) return 0;
  int64_t bytes = 0;
  switch (Type) {
    case kSchUnconditional:
      if (!TxFrame) return 0;
      bytes = TxFrame->Size;
      break;
    case kSchEventTriggered:
    case kSchSporadic: {
      const auto* holder = dynamic_cast<const TFrameHolder*>(TxFrame);
      if (!holder) return 0;
      bool any = false;
      for (TNetFrame* frame : holder->NetFrames)
        if (frame) {
          bytes = any ? std::max<int64_t>(bytes, frame->Size) : frame->Size;
          any = true;
        }
      if (!any || bytes <= 0) return 0;
      break;
    }
    case kSchDiagRequest:
    case kSchDiagResponse:
    case kSchAssignNAD:
    case kSchAssignFrameId:
    case kSchUnAssignFrameId:
    case kSchFreeFormat:
      bytes = 8;
      break;
    default:
      return 0;
  }
  const double time = (static_cast<double>(bytes) * 10 + 44) * 1000000.0 / network->NetSpeed;
  return static_cast<int32_t>(time);
}

}  // namespace ZOR_RAM
