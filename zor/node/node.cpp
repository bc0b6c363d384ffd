#include "zor/node/node.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "zor/QXML/QXMLDocument.h"
#include "zor/check/check_run_values.h"
#include "zor/check/findings.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"

namespace ZOR_RAM {

namespace {

// Whether the version-gated fields are read and written. A detached item has
// no file version; it writes everything a new database would.
bool HasVersion2Fields(const TItemData& item) { return !item.Ram || item.Ram->IsVersion2(); }

// A real read from the file, truncated toward zero into the int32 range
// (values outside it are clamped, NaN reads as 0).
int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

// The stored text of child `name` of the item's source element, or null when
// the item was not read from a file or has no such child.
const TQXMLString* SourceRef(const TItemData& item, std::string_view name) {
  if (!item.SourceNode) return nullptr;
  TQXMLNode* child = FindChild(item.SourceNode, name);
  return child ? &child->Text : nullptr;
}

// Replaces `children` with one new item per child of the container: every
// old child is destroyed (last first), every new one is registered in the
// database list, appended to `children`, given its owner and read. A child
// with another tag, or a failing child, fails at once.
template <class T, class SetOwner>
bool ReadChildren(TItemData& owner, TQXMLNode* element, std::string_view container, std::string_view itemName,
                  TZORList<T>& children, TZORList<T> TZOR_RAM::*databaseList, SetOwner setOwner) {
  children.FreeItems();
  TZOR_RAM* ram = owner.Ram;
  return ReadListIn(element, container, itemName, [&](TQXMLNode* child) {
    if (!ram) return true;  // children can only be created inside a database
    T* item = ram->NewItem(ram->*databaseList);
    children.Add(item);
    setOwner(item);
    return item->ReadXml(child);
  });
}

// The container line pair with each child's element between; written also
// when the list is empty.
template <class T>
bool WriteChildren(std::string_view container, const TZORList<T>& children) {
  if (WriteTag(container)) return true;
  for (T* child : children)
    if (child && child->WriteXml(/*withElement=*/true)) return true;
  return WriteTag(container, /*closing=*/true);
}

template <class T>
void ResolveChildren(const TZORList<T>& children) {
  for (T* child : children)
    if (child) child->ResolveLinks();
}

bool IsCanNetwork(const TNetwork* network) { return network && network->IsCan(); }
bool IsLinNetwork(const TNetwork* network) { return network && network->IsLin(); }

}  // namespace

// ---------------------------------------------------------------------------
// TNode

const std::string& TNode::GetId() { return DefaultId("Node"); }

bool TNode::WriteXml(bool withElement) {
  if (withElement && WriteTag("Node")) return true;
  if (TItemData::WriteXml(false)) return true;
  if (WriteTextField("Name", Name) || WriteIntField("FrameProcessingPeriod", FrameProcessingPeriod)) return true;
  if (HasVersion2Fields(*this) && WriteRealField("JitterTime", JitterTime)) return true;
  if (WriteHexField("DiagnosticAddress", DiagnosticAddress)) return true;
  if (WriteChildren("Ifcs", Ifcs) || WriteChildren("Gateways", Gateways) ||
      WriteChildren("FrameGateways", FrameGateways))
    return true;
  return withElement && WriteTag("Node", /*closing=*/true);
}

bool TNode::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  Name = ReadText(element, "Name");
  FrameProcessingPeriod = static_cast<int32_t>(ReadInt(element, "FrameProcessingPeriod"));
  if (HasVersion2Fields(*this)) JitterTime = TruncateToInt32(ReadFloat(element, "JitterTime"));
  DiagnosticAddress = static_cast<uint8_t>(ReadHex(element, "DiagnosticAddress"));
  return ReadChildren(*this, element, "Ifcs", "Ifc", Ifcs, &TZOR_RAM::Ifcs, [this](TIfc* c) { c->Node = this; }) ||
         ReadChildren(*this, element, "Gateways", "Gateway", Gateways, &TZOR_RAM::Gateways,
                      [this](TGateway* c) { c->Node = this; }) ||
         ReadChildren(*this, element, "FrameGateways", "FrameGateway", FrameGateways, &TZOR_RAM::FrameGateways,
                      [this](TFrameGateway* c) { c->Node = this; });
}

void TNode::ResolveLinks() {
  ResolveChildren(Ifcs);
  ResolveChildren(Gateways);
  ResolveChildren(FrameGateways);
}

bool TNode::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) CheckBase(&err, flags);
  CheckItemName(&err, this, flags, "Node");
  if (!(flags & kCheckAll)) return err;

  if (FrameProcessingPeriod == 0) {
    for (TIfc* ifc : Ifcs)
      if (ifc && (ifc->IfcType == kIfcCAN || ifc->IfcType == kIfcLINMaster)) {
        ReportFinding<kProcessingPeriodRange>(&err, Name.c_str());
        break;
      }
  } else if (FrameProcessingPeriod < 0 || FrameProcessingPeriod > 65000) {
    ReportFinding<kProcessingPeriodRange>(&err, Name.c_str());
  } else if (FrameProcessingPeriod < 1000) {
    ReportFinding<kProcessingPeriodUnder1ms>(&err, Name.c_str());
  }

  // Each interface clashes with the next later interface on its network;
  // one pass from the end finds that partner for every interface.
  const int count = Ifcs.Count();
  std::vector<int> nextOnNetwork(count, -1);
  std::unordered_map<const TNetwork*, int> laterIndex;
  for (int i = count - 1; i >= 0; --i) {
    TIfc* ifc = Ifcs[i];
    if (!ifc || !ifc->Network) continue;
    auto [it, added] = laterIndex.try_emplace(ifc->Network, i);
    if (!added) {
      nextOnNetwork[i] = it->second;
      it->second = i;
    }
  }
  for (int i = 0; i < count; ++i)
    if (nextOnNetwork[i] >= 0)
      ReportFinding<kInterfacesShareNetwork>(&err, Ifcs[i]->Name.c_str(), Ifcs[nextOnNetwork[i]]->Name.c_str(),
                                             Name.c_str());
  return err;
}

bool TNode::IsNameUsed(const std::string& name) {
  if (!Ram) return false;
  const bool listed = HomeList() == &Ram->Nodes;
  int count = Ram->CountNames(Ram->Nodes, name);
  if (listed && Name == name) --count;
  return count > 0;
}

std::string TNode::GetDisplayName() {
  if (DisplayNameCache.empty()) DisplayNameCache = Name;
  return DisplayNameCache;
}

std::string TNode::GetName() { return Name; }

// ---------------------------------------------------------------------------
// TIfc

TIfc::TIfc() = default;
TIfc::~TIfc() {
  if (!Ram || Ram->IsBeingDestroyed()) return;
  for (TNetwork* network : Ram->Networks)
    if (network) network->ForgetInterface(this);
}

const std::string& TIfc::GetId() { return DefaultId("Ifc"); }

bool TIfc::WriteXml(bool withElement) {
  if (withElement && WriteTag("Ifc")) return true;
  if (TItemData::WriteXml(false)) return true;
  if (WriteTextField("Name", Name) || WriteTextField("IfcType", IfcTypeToText(IfcType)) ||
      WriteRealField("ProtVer", ProtVer) || WriteHexField("init_NAD", init_NAD) ||
      WriteHexField("cfg_NAD", cfg_NAD) || WriteIntField("supplier_id", supplier_id) ||
      WriteIntField("function_id", function_id) || WriteHexField("variant_id", variant_id) ||
      WriteIntField("serial_number", serial_number))
    return true;
  if (HasVersion2Fields(*this) && (WriteRealField("P2_min", P2_min) || WriteRealField("ST_min", ST_min)))
    return true;
  if (WriteBoolField("StartInCfgState", StartInCfgState)) return true;
  if (Network && WriteStoredField("Network", Network->GetId())) return true;
  if (response_error && WriteStoredField("response_error", response_error->GetId())) return true;
  if (WriteChildren("FrameMsgIds", FrameMsgIds) || WriteChildren("NetFrames", NetFrames) ||
      WriteChildren("FrameHolders", FrameHolders) || WriteChildren("PubSigs", PubSigs) ||
      WriteChildren("SubSigs", SubSigs) || WriteChildren("Ctrls", Ctrls) || WriteChildren("IfcModes", IfcModes) ||
      WriteChildren("MOSTFBlockInstances", MOSTFBlockInstances))
    return true;
  return withElement && WriteTag("Ifc", /*closing=*/true);
}

bool TIfc::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  Name = ReadText(element, "Name");
  // Older files name CAN interfaces "CAN 11" or "CAN 29".
  const std::string type = ReadText(element, "IfcType");
  IfcType = (type == "CAN 11" || type == "CAN 29") ? kIfcCAN : IfcTypeFromText(type);
  ProtVer = static_cast<float>(ReadFloat(element, "ProtVer"));
  init_NAD = static_cast<uint8_t>(ReadHex(element, "init_NAD"));
  cfg_NAD = static_cast<uint8_t>(ReadHex(element, "cfg_NAD"));
  supplier_id = static_cast<uint16_t>(ReadInt(element, "supplier_id"));
  function_id = static_cast<uint16_t>(ReadInt(element, "function_id"));
  variant_id = static_cast<uint8_t>(ReadHex(element, "variant_id"));
  serial_number = static_cast<uint32_t>(ReadInt(element, "serial_number"));
  if (HasVersion2Fields(*this)) {
    P2_min = static_cast<float>(ReadFloat(element, "P2_min"));
    ST_min = static_cast<float>(ReadFloat(element, "ST_min"));
  }
  StartInCfgState = ReadInt(element, "StartInCfgState") != 0;
  auto own = [this](auto* child) { child->Ifc = this; };
  return ReadChildren(*this, element, "FrameMsgIds", "FrameMsgId", FrameMsgIds, &TZOR_RAM::FrameMsgIds, own) ||
         ReadChildren(*this, element, "NetFrames", "NetFrame", NetFrames, &TZOR_RAM::NetFrames, own) ||
         ReadChildren(*this, element, "FrameHolders", "FrameHolder", FrameHolders, &TZOR_RAM::FrameHolders, own) ||
         ReadChildren(*this, element, "PubSigs", "PubSig", PubSigs, &TZOR_RAM::PubSigs, own) ||
         ReadChildren(*this, element, "SubSigs", "SubSig", SubSigs, &TZOR_RAM::SubSigs, own) ||
         ReadChildren(*this, element, "Ctrls", "Ctrl", Ctrls, &TZOR_RAM::Ctrls, own) ||
         ReadChildren(*this, element, "IfcModes", "IfcMode", IfcModes, &TZOR_RAM::IfcModes, own) ||
         ReadChildren(*this, element, "MOSTFBlockInstances", "MOSTFBlockInstance", MOSTFBlockInstances,
                      &TZOR_RAM::MOSTFBlockInstances, own);
}

void TIfc::ResolveLinks() {
  if (Ram) {
    if (!Network)
      if (const TQXMLString* id = SourceRef(*this, "Network")) Network = Ram->Networks.FindById(*id);
    if (!response_error)
      if (const TQXMLString* id = SourceRef(*this, "response_error")) response_error = Ram->PubSigs.FindById(*id);
  }
  ResolveChildren(FrameMsgIds);
  ResolveChildren(NetFrames);
  ResolveChildren(FrameHolders);
  ResolveChildren(PubSigs);
  ResolveChildren(SubSigs);
  ResolveChildren(Ctrls);
  ResolveChildren(IfcModes);
  ResolveChildren(MOSTFBlockInstances);
}

bool TIfc::Check(uint64_t flags) {
  bool err = false;
  const std::string nodeName = Node ? Node->Name : std::string();
  if (flags & kCheckAll) {
    if (IfcType == kIfcLINSlave && Network && Network->Type == kNetTypeLIN20) {
      // ProtVer is single precision: 2.1 is held just below 2.1 and gives 20.
      const int v = static_cast<int>(static_cast<double>(ProtVer) * 10.0);
      if (v == 20 && (cfg_NAD == 0 || cfg_NAD > 0x7E))
        ReportFinding<kConfiguredNadRange7E>(&err, Name.c_str());
      else if (v != 20 && cfg_NAD == 0)
        ReportFinding<kConfiguredNadRangeFF>(&err, Name.c_str());
      // Linear in the interfaces of this one network: a LIN cluster has few.
      for (TIfc* other : Network->GetInterfaces())
        if (other && other != this && other->Network == Network && other->IfcType == kIfcLINSlave &&
            other->cfg_NAD == cfg_NAD) {
          ReportFinding<kConfiguredNadNotUnique>(&err, Name.c_str());
          break;
        }
    }
    if (IsCanNetwork(Network) && IfcModes.Count() == 0) ReportFinding<kNoInterfaceMode>(&err, Name.c_str());
    CheckBase(&err, flags);
    if (!Node) ReportFinding<kNoOwningNode>(&err, Name.c_str(), "Interface");
    if (!Network) ReportFinding<kNoNetwork>(&err, Name.c_str(), "Interface");
    if (IfcType < kIfcCAN || IfcType > kIfcLINSlave) ReportFinding<kTypeInvalid>(&err, Name.c_str(), "Interface");
  }
  CheckNameUnique(&err, this, Name, flags, "Interface", " in the " + nodeName + " Node");
  if (!(flags & kCheckAll)) return err;
  CheckNameForm(&err, Name, flags, "Interface");
  if (Network) {
    if ((IsCanNetwork(Network) && IfcType != kIfcCAN) || (IsLinNetwork(Network) && !IsLinInterface()))
      ReportFinding<kInterfaceNetworkTypeMismatch>(&err, Name.c_str(), Network->Name.c_str());
    if (IfcModes.Count() > 256) ReportFinding<kTooManyInterfaceModes>(&err, Name.c_str(), nodeName.c_str());
  }
  if (IfcType == kIfcCAN && Ctrls.Count() == 0) ReportFinding<kInterfaceNoController>(&err, Name.c_str());
  return err;
}

bool TIfc::IsNameUsed(const std::string& name) {
  return Node && OtherItemHasName(Ram, Node->Ifcs, this, name);
}

std::string TIfc::GetDisplayName() {
  if (DisplayNameCache.empty() && Node) DisplayNameCache = Node->Name + "." + Name;
  return DisplayNameCache;
}

std::string TIfc::GetName() { return Name; }

bool TIfc::IsCanInterface() const { return IfcType == kIfcCAN; }

bool TIfc::IsLinInterface() const { return IfcType == kIfcLINMaster || IfcType == kIfcLINSlave; }

int TIfc::ProtocolClass() const {
  if (!Network) return 1;
  switch (Network->Type) {
    case kNetTypeLIN10:
    case kNetTypeLIN11:
      return 0;
    case kNetTypeLIN20:
      if (IfcType == kIfcLINMaster) return 1;
      return ProtVer >= 2.0f ? 2 : 1;
    default:
      return 1;
  }
}

TZORList<TNetFrame>* TIfc::GetRxFrames() {
  if (!Network) return nullptr;
  if (!RxFrames_) {
    RxFrames_ = std::make_unique<TZORList<TNetFrame>>();
    const TReceiverSet receiver(this);
    for (TNetFrame* frame : Network->GetFrames())
      if (receiver.Receives(frame)) RxFrames_->Add(frame);
  }
  return RxFrames_.get();
}

void TIfc::ForgetRxFrame(TNetFrame* frame) {
  if (RxFrames_)
    while (RxFrames_->Remove(frame) >= 0) {
    }
}

// The first subscription of the placed signal decides. Linear in this
// interface's subscriptions.
TSubSig* TIfc::FindSubscriptionFor(TNetSig* netSig) {
  if (!netSig || !netSig->Signal) return nullptr;
  for (TSubSig* sub : SubSigs) {
    if (!sub || sub->Signal != netSig->Signal) continue;
    if (sub->NetSig) return sub->NetSig == netSig ? sub : nullptr;
    TGateway* gateway = netSig->GetGateway();
    return gateway && gateway->IsRoundGateway() ? nullptr : sub;
  }
  return nullptr;
}

// Linear in the node's gateways.
TGateway* TIfc::FindGatewayFor(const TNetSig* netSig) const {
  if (!Node || !netSig) return nullptr;
  for (TGateway* gateway : Node->Gateways)
    if (gateway && gateway->OutIfc == this && gateway->Signal == netSig->Signal &&
        gateway->Gateway == netSig->Gateway)
      return gateway;
  return nullptr;
}

// ---------------------------------------------------------------------------
// TIfcMode

const std::string& TIfcMode::GetId() { return DefaultId("IfcMode"); }

bool TIfcMode::WriteXml(bool withElement) {
  if (withElement && WriteTag("IfcMode")) return true;
  if (TItemData::WriteXml(false) || WriteTextField("Name", Name)) return true;
  return withElement && WriteTag("IfcMode", /*closing=*/true);
}

bool TIfcMode::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  Name = ReadText(element, "Name");
  return false;
}

bool TIfcMode::Check(uint64_t flags) {
  bool err = false;
  std::string suffix;
  if (Ifc && Ifc->Node) suffix = " in the " + Ifc->Node->Name + " / " + Ifc->Name + " Interface";
  CheckNameUnique(&err, this, Name, flags, "Interface Mode", suffix);
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  if (!Ifc) ReportFinding<kNoInterface>(&err, Name.c_str(), "Interface Mode");
  CheckNameForm(&err, Name, flags, "Interface Mode");
  return err;
}

bool TIfcMode::IsNameUsed(const std::string& name) {
  return Ifc && OtherItemHasName(Ram, Ifc->IfcModes, this, name);
}

std::string TIfcMode::GetDisplayName() {
  if (DisplayNameCache.empty() && Ifc && Ifc->Node) DisplayNameCache = Ifc->Node->Name + "." + Ifc->Name + "." + Name;
  return DisplayNameCache;
}

std::string TIfcMode::GetName() { return Name; }

// ---------------------------------------------------------------------------
// TFrameMsgId

const std::string& TFrameMsgId::GetId() { return DefaultId("FrameMsgId"); }

bool TFrameMsgId::WriteXml(bool withElement) {
  if (withElement && WriteTag("FrameMsgId")) return true;
  if (TItemData::WriteXml(false) || WriteIntField("MsgId", MsgId)) return true;
  if (NetFrame && WriteStoredField("NetFrame", NetFrame->GetId())) return true;
  return withElement && WriteTag("FrameMsgId", /*closing=*/true);
}

bool TFrameMsgId::ReadXml(TQXMLNode* element) {
  if (ReadBase(element)) return true;
  MsgId = static_cast<uint16_t>(ReadInt(element, "MsgId"));
  return false;
}

void TFrameMsgId::ResolveLinks() {
  if (NetFrame || !Ram) return;
  if (const TQXMLString* id = SourceRef(*this, "NetFrame")) {
    NetFrame = Ram->FrameHolders.FindById(*id);
    if (!NetFrame) NetFrame = Ram->NetFrames.FindById(*id);
  }
}

bool TFrameMsgId::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) {
    CheckBase(&err, flags);
    const std::string display = GetDisplayName();
    if (!NetFrame) ReportFinding<kNoNetworkFrame>(&err, display.c_str(), "Frame Message ID");
    if (!Ifc) ReportFinding<kNoInterface>(&err, display.c_str(), "Frame Message ID");
  }
  if (!(flags & kCheckUnique) || !Ifc) return err;

  const auto* holder = dynamic_cast<const TFrameHolder*>(NetFrame);
  if (holder && holder->NetFrames.Count() > 0) {
    for (TNetFrame* frame : holder->NetFrames)
      if (!HandlesFrame(frame)) {
        ReportFinding<kFrameNotOnInterface>(&err, NetFrame->Name.c_str(), Ifc->Name.c_str());
        break;
      }
  } else if (!HandlesFrame(NetFrame)) {
    ReportFinding<kFrameNotOnInterface>(&err, NetFrame->Name.c_str(), Ifc->Name.c_str());
  }

  // Every clash is reported from both sides. The scan covers this interface's
  // identifiers only (one per frame the interface handles).
  char msgId[8];
  std::snprintf(msgId, sizeof msgId, "%04X", static_cast<unsigned>(MsgId));
  const std::string idName = GetName() + " / " + msgId;
  for (TFrameMsgId* other : Ifc->FrameMsgIds) {
    if (!other || other == this) continue;
    if (other->MsgId == MsgId) ReportFinding<kMessageIdNotUnique>(&err, idName.c_str(), Ifc->Name.c_str());
    if (NetFrame && other->NetFrame == NetFrame)
      ReportFinding<kMessageIdDuplicated>(&err, NetFrame->Name.c_str(), Ifc->Name.c_str());
  }
  return err;
}

std::string TFrameMsgId::GetDisplayName() {
  if (DisplayNameCache.empty() && Ifc && NetFrame)
    DisplayNameCache = Ifc->GetDisplayName() + "." + NetFrame->GetDisplayName();
  return DisplayNameCache;
}

std::string TFrameMsgId::GetName() { return NetFrame ? NetFrame->GetName() : std::string(); }

bool TFrameMsgId::HandlesFrame(TNetFrame* frame) const {
  if (!frame || frame->Ifc == Ifc) return true;
  // Signals published by the frame's transmitter, and the signals that the
  // database's subscriptions subscribe per interface (one scan per check run).
  std::unordered_set<const TSignal*> published;
  if (frame->Ifc)
    for (TPubSig* pub : frame->Ifc->PubSigs)
      if (pub && pub->Signal && pub->Ifc == frame->Ifc) published.insert(pub->Signal);
  using Subscribed = std::unordered_map<const TIfc*, std::unordered_set<const TSignal*>>;
  static const char kKey = 0;
  static const std::unordered_set<const TSignal*> kNone;
  const std::unordered_set<const TSignal*>* subscribed = &kNone;
  if (Ram) {
    const Subscribed& all = Ram->CheckRunValue<Subscribed>(&kKey, [this] {
      Subscribed result;
      for (TSubSig* sub : Ram->SubSigs)
        if (sub && sub->Signal && sub->Ifc) result[sub->Ifc].insert(sub->Signal);
      return result;
    });
    if (auto found = all.find(Ifc); found != all.end()) subscribed = &found->second;
  }
  bool isPublished = false, isSubscribed = false;
  for (TNetSig* netSig : frame->NetSigs) {
    if (!netSig || !netSig->Signal) continue;
    isPublished = isPublished || published.count(netSig->Signal) > 0;
    isSubscribed = isSubscribed || subscribed->count(netSig->Signal) > 0;
    if (isPublished && isSubscribed) return true;
  }
  return false;
}

}  // namespace ZOR_RAM
