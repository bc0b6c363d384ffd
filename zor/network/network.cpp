#include "zor/network/network.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "zor/QXML/QXMLDocument.h"
#include "zor/env/env.h"
#include "zor/model/check_run_values.h"
#include "zor/model/enums.h"
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

// A reference child's text, unescaped as "ZORId" itself is read.
std::string ReferenceText(const TQXMLNode* child) { return UnescapeText(child->Text); }

std::string FoldCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string Hex(unsigned value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
  return buffer;
}

template <class T>
bool WriteItems(const TZORList<T>& list) {
  for (T* item : list)
    if (item && item->WriteXml(/*withElement=*/true)) return true;
  return false;
}

// A wrapper element with its items, written also when the list is empty.
template <class T>
bool WriteContainer(std::string_view name, const TZORList<T>& list) {
  return WriteTag(name) || WriteItems(list) || WriteTag(name, /*closing=*/true);
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

bool TNetwork::WriteXml(bool withElement) {
  const bool v2 = Ram && Ram->IsVersion2();
  if (withElement && WriteTag("Network")) return true;
  if (TItemData::WriteXml(false) || WriteTextField("Name", Name)) return true;
  if (v2) {
    if (WriteTextField("Version", Version) || WriteTag("Symbols")) return true;
    for (const std::string& symbol : Symbols)
      if (WriteStoredField("Symbol", symbol)) return true;
    if (WriteTag("Symbols", true)) return true;
  }
  if (WriteTextField("Type", NetworkTypeToText(Type)) || WriteIntField("NetSpeed", NetSpeed) ||
      WriteIntField("SamplePos", SamplePos) || WriteIntField("SJW", SJW) || WriteIntField("SampMode", SampMode))
    return true;
  if (v2) {
    if (WriteTag("DynamicMsgIds")) return true;
    for (int id = 0; id < kDynamicMsgIdCount; ++id)
      if (DynamicMsgIds[id] != kMsgIdNotDynamic && WriteIntField("DynamicMsgId", id)) return true;
    if (WriteTag("DynamicMsgIds", true) || WriteContainer("Configurations", Configurations)) return true;
    // The linked group's name, empty without a link.
    if (WriteTextField("EnvGroup", EnvGroup ? EnvGroup->GetName() : std::string())) return true;
  }
  if (WriteContainer("NetModes", NetModes)) return true;
  if (v2 && (WriteContainer("SignalGroups", SignalGroups) || WriteContainer("SignalGroupsLIN", SignalGroupsLIN) ||
             WriteContainer("Attributes", Attributes) || WriteContainer("AttributeValues", AttributeValues) ||
             WriteContainer("UnUsedSignals", UnUsedSignals)))
    return true;
  return withElement && WriteTag("Network", true);
}

namespace {

// Destroys the modes of a network with their entries (an entry is read with
// its mode and goes with it), then empties the list.
void FreeModes(TZORList<TNetMode>& modes) {
  for (TNetMode* mode : modes)
    if (mode) mode->SchEntrys.FreeItems();
  modes.FreeItems();
}

}  // namespace

bool TNetwork::ReadXml(TQXMLNode* element) {
  // Each child list is emptied at its own step, so a read that fails early
  // leaves the later lists as they were.
  if (ReadBase(element)) return true;
  const bool v2 = Ram->IsVersion2();
  Name = ReadText(element, "Name");
  if (v2) {
    Version = ReadText(element, "Version");
    Symbols.clear();
    if (ReadListIn(element, "Symbols", "Symbol", [&](TQXMLNode* child) {
          Symbols.push_back(child->Text);
          return false;
        }))
      return true;
  }
  std::string type = ReadText(element, "Type");
  if (type == "CAN 11" || type == "CAN 29") type = "CAN";
  Type = NetworkTypeFromText(type);
  NetSpeed = static_cast<int32_t>(ReadInt(element, "NetSpeed"));
  SamplePos = static_cast<int32_t>(ReadInt(element, "SamplePos"));
  SJW = static_cast<int32_t>(ReadInt(element, "SJW"));
  SampMode = static_cast<int32_t>(ReadInt(element, "SampMode"));

  if (v2) {
    std::memset(DynamicMsgIds, kMsgIdNotDynamic, sizeof DynamicMsgIds);
    if (ReadListIn(element, "DynamicMsgIds", "DynamicMsgId", [&](TQXMLNode* child) {
          const int64_t id = TextToInt(child->Text);
          // Identifiers outside the array have no place to be marked.
          if (id >= 0 && id < kDynamicMsgIdCount) DynamicMsgIds[id] = kMsgIdDynamic;
          return false;
        }))
      return true;
    Configurations.FreeItems();
    if (ReadListIn(element, "Configurations", "Configuration", [&](TQXMLNode* child) {
          TConfiguration* item = Ram->NewItem(Ram->Configurations);
          Configurations.Add(item);
          return item->ReadXml(child);
        }))
      return true;
    EnvGroupName = ReadText(element, "EnvGroup");
  }

  FreeModes(NetModes);
  if (ReadListIn(element, "NetModes", "NetMode", [&](TQXMLNode* child) {
        TNetMode* mode = Ram->NewItem(Ram->NetModes);
        NetModes.Add(mode);
        mode->Network = this;
        return mode->ReadXml(child);
      }))
    return true;

  if (!v2) return false;
  SignalGroups.FreeItems();
  if (ReadListIn(element, "SignalGroups", "SignalGroup", [&](TQXMLNode* child) {
        TSigGrp* item = Ram->NewItem(Ram->SigGrps);
        SignalGroups.Add(item);
        return item->ReadXml(child);
      }))
    return true;
  SignalGroupsLIN.FreeItems();
  if (ReadListIn(element, "SignalGroupsLIN", "SignalGroupLIN", [&](TQXMLNode* child) {
        TSigGrpLIN* item = Ram->NewItem(Ram->SigGrpLINs);
        SignalGroupsLIN.Add(item);
        return item->ReadXml(child);
      }))
    return true;
  Attributes.FreeItems();
  if (ReadListIn(element, "Attributes", "Attribute", [&](TQXMLNode* child) {
        TCDBAttributeDef* item = Ram->NewItem(Ram->CDBAttributeDefs);
        Attributes.Add(item);
        return item->ReadXml(child);
      }))
    return true;

  // Each value links to the first of this network's definitions with its
  // definition name (ignoring case): one map instead of a scan per value.
  std::unordered_map<std::string, TCDBAttributeDef*> definitions;
  for (TCDBAttributeDef* def : Attributes)
    if (def) definitions.try_emplace(FoldCase(def->Name), def);
  AttributeValues.FreeItems();
  if (ReadListIn(element, "AttributeValues", "AttributeValue", [&](TQXMLNode* child) {
        TCDBAttribute* item = Ram->NewItem(Ram->CDBAttributes);
        AttributeValues.Add(item);
        if (item->ReadXml(child)) return true;
        auto found = definitions.find(FoldCase(item->DefinitionName));
        item->Definition = found == definitions.end() ? nullptr : found->second;
        return false;
      }))
    return true;

  UnUsedSignals.FreeItems();
  return ReadListIn(element, "UnUsedSignals", "Signal", [&](TQXMLNode* child) {
    TSignal* signal = Ram->NewItem(Ram->UnUsedSignals);
    UnUsedSignals.Add(signal);
    return signal->ReadXml(child);
  });
}

void TNetwork::ResolveLinks() {
  for (TNetMode* mode : NetModes)
    if (mode) mode->ResolveLinks();
  // Unused signals keep references too (their encoding type); unresolved,
  // the next save would drop them.
  for (TSignal* signal : UnUsedSignals)
    if (signal) signal->ResolveLinks();
}

bool TNetwork::IsNameUsed(const std::string& name) {
  if (!Ram) return false;
  int count = Ram->CountNames(Ram->Networks, name);
  if (Name == name && HomeList() == &Ram->Networks) --count;
  return count > 0;
}

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
  if (TItemData::WriteXml(false) || WriteTextField("Name", Name) || WriteContainer("SchEntrys", SchEntrys) ||
      WriteTag("IfcModes"))
    return true;
  for (TIfcMode* mode : IfcModes)
    if (mode && WriteStoredField("IfcMode", mode->GetId())) return true;
  return WriteTag("IfcModes", true) || (withElement && WriteTag("NetMode", true));
}

bool TNetMode::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  Name = ReadText(element, "Name");
  SchEntrys.FreeItems();
  return ReadListIn(element, "SchEntrys", "SchEntry", [&](TQXMLNode* child) {
    TSchEntry* entry = Ram->NewItem(Ram->SchEntries);
    SchEntrys.Add(entry);
    entry->NetMode = this;
    return entry->ReadXml(child);
  });
}

void TNetMode::ResolveLinks() {
  if (SourceNode) {
    IfcModes.Clear();
    // A wrong child is reported and ends this mode's resolution.
    if (ReadListIn(SourceNode, "IfcModes", "IfcMode", [&](TQXMLNode* child) {
          if (TIfcMode* mode = Ram->IfcModes.FindById(ReferenceText(child))) IfcModes.Add(mode);
          return false;
        }))
      return;
  }
  for (TSchEntry* entry : SchEntrys)
    if (entry) entry->ResolveLinks();
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

bool TSchEntry::WriteXml(bool withElement) {
  if (withElement && WriteTag("SchEntry")) return true;
  if (TItemData::WriteXml(false) || WriteIntField("Order", Order) ||
      WriteTextField("Type", SchEntryTypeToText(Type)) || WriteIntField("Delay", Delay) ||
      WriteHexBytesField("data", data, sizeof data))
    return true;
  if (Ifc && WriteStoredField("Ifc", Ifc->GetId())) return true;
  if (TxFrame && WriteStoredField("TxFrame", TxFrame->GetId())) return true;
  return withElement && WriteTag("SchEntry", true);
}

bool TSchEntry::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  Order = static_cast<int32_t>(ReadInt(element, "Order"));
  Type = SchEntryTypeFromText(ReadText(element, "Type"));
  Delay = static_cast<int32_t>(ReadInt(element, "Delay"));
  ReadHexBytes(element, "data", data, sizeof data);
  return false;
}

void TSchEntry::ResolveLinks() {
  if (!SourceNode || !Ram) return;
  if (TQXMLNode* child = FindChild(SourceNode, "Ifc"); child && !Ifc) Ifc = Ram->Ifcs.FindById(ReferenceText(child));
  if (TQXMLNode* child = FindChild(SourceNode, "TxFrame"); child && !TxFrame) {
    const std::string id = ReferenceText(child);
    TxFrame = Ram->FrameHolders.FindById(id);
    if (!TxFrame) TxFrame = Ram->NetFrames.FindById(id);
  }
}

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
