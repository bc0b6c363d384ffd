#include "zor/node/node.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <span>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "zor/QXML/QXMLDocument.h"
#include "zor/check/findings.h"
#include "zor/model/check_run_values.h"
#include "zor/model/children.h"
#include "zor/model/enums.h"
#include "zor/model/fields.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"
#include "zor/most/fblock.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/node/controller.h"

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

// Older files name CAN interfaces "CAN 11" or "CAN 29".
int32_t IfcTypeFromFileText(const std::string& text) {
  return text == "CAN 11" || text == "CAN 29" ? kIfcCAN : IfcTypeFromText(text);
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
  return ReadChildren(*this, element, "Ifcs", "Ifc", Ifcs, &TZOR_RAM::Ifcs, &TIfc::Node) ||
         ReadChildren(*this, element, "Gateways", "Gateway", Gateways, &TZOR_RAM::Gateways, &TGateway::Node) ||
         ReadChildren(*this, element, "FrameGateways", "FrameGateway", FrameGateways, &TZOR_RAM::FrameGateways,
                      &TFrameGateway::Node);
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

bool TNode::IsNameUsed(const std::string& name) { return Ram && OtherItemHasName(Ram, Ram->Nodes, this, name); }

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

constexpr TField kIfcFields[] = {TextField<&TIfc::Name>("Name"),
                                 EnumField<&TIfc::IfcType, IfcTypeToText, IfcTypeFromFileText>("IfcType"),
                                 RealField<&TIfc::ProtVer>("ProtVer"),
                                 HexField<&TIfc::init_NAD>("init_NAD"),
                                 HexField<&TIfc::cfg_NAD>("cfg_NAD"),
                                 IntField<&TIfc::supplier_id>("supplier_id"),
                                 IntField<&TIfc::function_id>("function_id"),
                                 HexField<&TIfc::variant_id>("variant_id"),
                                 IntField<&TIfc::serial_number>("serial_number")};
// Fields of "2.000" files.
constexpr TField kIfcFields2[] = {RealField<&TIfc::P2_min>("P2_min"), RealField<&TIfc::ST_min>("ST_min")};
constexpr TField kIfcTail[] = {
    BoolField<&TIfc::StartInCfgState>("StartInCfgState"),
    RefField<&TIfc::Network, TEmptyRef::Searched, &TZOR_RAM::Networks>("Network"),
    RefField<&TIfc::response_error, TEmptyRef::Searched, &TZOR_RAM::PubSigs>("response_error")};

bool TIfc::WriteXml(bool withElement) {
  if (withElement && WriteTag("Ifc")) return true;
  if (TItemData::WriteXml(false) || WriteFields(*this, kIfcFields) ||
      (HasVersion2Fields(*this) && WriteFields(*this, kIfcFields2)) || WriteFields(*this, kIfcTail))
    return true;
  if (WriteChildren("FrameMsgIds", FrameMsgIds) || WriteChildren("NetFrames", NetFrames) ||
      WriteChildren("FrameHolders", FrameHolders) || WriteChildren("PubSigs", PubSigs) ||
      WriteChildren("SubSigs", SubSigs) || WriteChildren("Ctrls", Ctrls) || WriteChildren("IfcModes", IfcModes) ||
      WriteChildren("MOSTFBlockInstances", MOSTFBlockInstances))
    return true;
  return withElement && WriteTag("Ifc", /*closing=*/true);
}

bool TIfc::ReadXml(TQXMLNode* element) {
  if (ReadBase(element) || ReadFields(*this, element, kIfcFields) ||
      (HasVersion2Fields(*this) && ReadFields(*this, element, kIfcFields2)) || ReadFields(*this, element, kIfcTail))
    return true;
  return ReadChildren(*this, element, "FrameMsgIds", "FrameMsgId", FrameMsgIds, &TZOR_RAM::FrameMsgIds,
                      &TFrameMsgId::Ifc) ||
         ReadChildren(*this, element, "NetFrames", "NetFrame", NetFrames, &TZOR_RAM::NetFrames, &TNetFrame::Ifc) ||
         ReadChildren(*this, element, "FrameHolders", "FrameHolder", FrameHolders, &TZOR_RAM::FrameHolders,
                      &TFrameHolder::Ifc) ||
         ReadChildren(*this, element, "PubSigs", "PubSig", PubSigs, &TZOR_RAM::PubSigs, &TPubSig::Ifc) ||
         ReadChildren(*this, element, "SubSigs", "SubSig", SubSigs, &TZOR_RAM::SubSigs, &TSubSig::Ifc) ||
         ReadChildren(*this, element, "Ctrls", "Ctrl", Ctrls, &TZOR_RAM::Ctrls, &TCtrl::Ifc) ||
         ReadChildren(*this, element, "IfcModes", "IfcMode", IfcModes, &TZOR_RAM::IfcModes, &TIfcMode::Ifc) ||
         ReadChildren(*this, element, "MOSTFBlockInstances", "MOSTFBlockInstance", MOSTFBlockInstances,
                      &TZOR_RAM::MOSTFBlockInstances, &TMOSTFBlockInstance::Ifc);
}

void TIfc::ResolveLinks() {
  ResolveFields(*this, kIfcTail);
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
      if (NadUsedByOtherSlave()) ReportFinding<kConfiguredNadNotUnique>(&err, Name.c_str());
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

// The slaves of a network by configured NAD, for the check of every slave.
namespace {
struct TSlavesByNad {
  std::unordered_map<uint8_t, THolders<TIfc>> Slaves;

  explicit TSlavesByNad(TNetwork& network) {
    for (const TIfc* ifc : network.GetInterfaces())
      if (ifc && ifc->Network == &network && ifc->IfcType == kIfcLINSlave) Slaves[ifc->cfg_NAD].Add(ifc);
  }
};
}  // namespace

// Another LIN slave on this interface's network has its configured NAD. The
// network's slaves are indexed once per check run.
bool TIfc::NadUsedByOtherSlave() {
  if (Ram && Ram->InCheckRun()) {
    static const char kKey = 0;
    TNetwork* network = Network;
    const auto& index = CheckRunValueOf<TSlavesByNad>(*Ram, &kKey, network, [network](const TNetwork*) {
      return TSlavesByNad(*network);
    });
    const auto found = index.Slaves.find(cfg_NAD);
    return found != index.Slaves.end() && found->second.HasOtherThan(this);
  }
  for (TIfc* other : Network->GetInterfaces())
    if (other && other != this && other->Network == Network && other->IfcType == kIfcLINSlave &&
        other->cfg_NAD == cfg_NAD)
      return true;
  return false;
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

void TIfc::BuildRxFrames(const std::vector<TIfc*>& ifcs) {
  // The interfaces to build, each once, grouped by network in the order given.
  struct Group {
    std::vector<TIfc*> Members;
    // What makes a frame received by a member (as TReceiverSet has it),
    // inverted: frames taken in through a frame gateway, signals taken in.
    std::unordered_map<const TNetFrame*, std::vector<TIfc*>> ByFrame;
    std::unordered_map<const TSignal*, std::vector<TIfc*>> BySignal;
  };
  std::unordered_map<TNetwork*, Group> groups;
  std::vector<TNetwork*> order;
  std::unordered_set<const TIfc*> seen;
  for (TIfc* ifc : ifcs) {
    if (!ifc || !ifc->Network || ifc->RxFrames_ || !seen.insert(ifc).second) continue;
    auto [group, added] = groups.try_emplace(ifc->Network);
    if (added) order.push_back(ifc->Network);
    group->second.Members.push_back(ifc);
  }
  std::unordered_set<const TZOR_RAM*> rams;
  for (const TIfc* ifc : seen)
    if (ifc->Ram) rams.insert(ifc->Ram);
  for (const TZOR_RAM* ram : rams)
    for (TFrameGateway* gateway : ram->FrameGateways)
      if (gateway && gateway->InFrame && gateway->InIfc && gateway->InIfc->Ram == ram && seen.count(gateway->InIfc))
        groups[gateway->InIfc->Network].ByFrame[gateway->InFrame].push_back(gateway->InIfc);
  for (TNetwork* network : order) {
    Group& group = groups[network];
    for (TIfc* ifc : group.Members) {
      ifc->RxFrames_ = std::make_unique<TZORList<TNetFrame>>();
      ForEachSignalTakenIn(*ifc, [&](const TSignal* signal) { group.BySignal[signal].push_back(ifc); });
    }
    // The network's frames in order: a frame joins each receiver's list once
    // per time the network lists it.
    std::unordered_map<const TIfc*, size_t> lastVisit;
    size_t visit = 0;
    for (TNetFrame* frame : network->GetFrames()) {
      ++visit;
      auto receive = [&](const std::vector<TIfc*>& receivers) {
        for (TIfc* ifc : receivers)
          if (size_t& last = lastVisit[ifc]; last != visit) {
            last = visit;
            ifc->RxFrames_->Add(frame);
          }
      };
      if (auto it = group.ByFrame.find(frame); it != group.ByFrame.end()) receive(it->second);
      for (const TNetSig* sig : frame->NetSigs)
        if (sig && sig->Signal)
          if (auto it = group.BySignal.find(sig->Signal); it != group.BySignal.end()) receive(it->second);
    }
  }
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

constexpr TField kIfcModeFields[] = {TextField<&TIfcMode::Name>("Name")};

bool TIfcMode::WriteXml(bool withElement) { return WriteFieldsElement(*this, withElement, "IfcMode", kIfcModeFields); }
bool TIfcMode::ReadXml(TQXMLNode* element) { return ReadBase(element) || ReadFields(*this, element, kIfcModeFields); }

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

constexpr TField kFrameMsgIdFields[] = {
    IntField<&TFrameMsgId::MsgId>("MsgId"),
    RefField<&TFrameMsgId::NetFrame, TEmptyRef::Searched, &TZOR_RAM::FrameHolders, &TZOR_RAM::NetFrames>("NetFrame")};

bool TFrameMsgId::WriteXml(bool withElement) {
  return WriteFieldsElement(*this, withElement, "FrameMsgId", kFrameMsgIdFields);
}
bool TFrameMsgId::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kFrameMsgIdFields);
}
void TFrameMsgId::ResolveLinks() { ResolveFields(*this, kFrameMsgIdFields); }

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

  // Every clash is reported from both sides, in the order of the interface's
  // identifiers.
  const TLazyText idName([this] {
    char msgId[8];
    std::snprintf(msgId, sizeof msgId, "%04X", static_cast<unsigned>(MsgId));
    return GetName() + " / " + msgId;
  });
  ForEachClash([&](const TFrameMsgId* other) {
    if (other->MsgId == MsgId) ReportFinding<kMessageIdNotUnique>(&err, idName.c_str(), Ifc->Name.c_str());
    if (NetFrame && other->NetFrame == NetFrame)
      ReportFinding<kMessageIdDuplicated>(&err, NetFrame->Name.c_str(), Ifc->Name.c_str());
  });
  return err;
}

namespace {

// The identifiers of one interface by message id and by frame, as positions in
// its list (ascending within a key), for the searches of a check run.
struct TMsgIdIndex {
  std::vector<std::pair<uint16_t, int>> ById;
  std::vector<std::pair<const TNetFrame*, int>> ByFrame;

  static constexpr auto ByKey = [](const auto& a, const auto& b) { return std::less<>()(a.first, b.first); };

  explicit TMsgIdIndex(const TZORList<TFrameMsgId>& ids) {
    for (int i = 0; i < ids.Count(); ++i)
      if (const TFrameMsgId* id = ids[i]) {
        ById.emplace_back(id->MsgId, i);
        ByFrame.emplace_back(id->NetFrame, i);
      }
    std::stable_sort(ById.begin(), ById.end(), ByKey);
    std::stable_sort(ByFrame.begin(), ByFrame.end(), ByKey);
  }

  template <class Key>
  static std::span<const std::pair<Key, int>> Positions(const std::vector<std::pair<Key, int>>& entries, Key key) {
    const auto [first, last] = std::equal_range(entries.begin(), entries.end(), std::pair<Key, int>(key, 0), ByKey);
    return {first, last};
  }
};

// The interface's identifiers indexed once per check run, or null where the
// list is scanned instead (outside a run, or a short list).
const TMsgIdIndex* IndexedMessageIds(const TIfc& ifc) {
  const TZORList<TFrameMsgId>& ids = ifc.FrameMsgIds;
  if (!ifc.Ram || !ifc.Ram->InCheckRun() || ids.Count() <= kScannedListLength) return nullptr;
  static const char kKey = 0;
  return &CheckRunValueOf<TMsgIdIndex>(*ifc.Ram, &kKey, &ids,
                                       [](const TZORList<TFrameMsgId>* list) { return TMsgIdIndex(*list); });
}

}  // namespace

TFrameMsgId* FirstMessageIdFor(const TIfc& ifc, const TNetFrame* frame) {
  if (const TMsgIdIndex* index = IndexedMessageIds(ifc)) {
    const auto positions = TMsgIdIndex::Positions(index->ByFrame, frame);
    return positions.empty() ? nullptr : ifc.FrameMsgIds[positions.front().second];
  }
  for (TFrameMsgId* id : ifc.FrameMsgIds)
    if (id && id->NetFrame == frame) return id;
  return nullptr;
}

// Each other identifier of the interface that shares the message id or (when
// there is one) the frame, in list order.
template <class Visit>
void TFrameMsgId::ForEachClash(Visit visit) const {
  const TZORList<TFrameMsgId>& ids = Ifc->FrameMsgIds;
  const TMsgIdIndex* index = IndexedMessageIds(*Ifc);
  if (!index) {
    for (const TFrameMsgId* other : ids)
      if (other && other != this && (other->MsgId == MsgId || (NetFrame && other->NetFrame == NetFrame))) visit(other);
    return;
  }
  const auto sameId = TMsgIdIndex::Positions(index->ById, MsgId);
  const auto sameFrame = NetFrame ? TMsgIdIndex::Positions(index->ByFrame, static_cast<const TNetFrame*>(NetFrame))
                                  : std::span<const std::pair<const TNetFrame*, int>>();
  // Both position lists ascend: merge them, visiting a position in both once.
  size_t a = 0, b = 0;
  while (a < sameId.size() || b < sameFrame.size()) {
    int position;
    if (b == sameFrame.size() || (a < sameId.size() && sameId[a].second <= sameFrame[b].second)) {
      position = sameId[a++].second;
      if (b < sameFrame.size() && sameFrame[b].second == position) ++b;
    } else {
      position = sameFrame[b++].second;
    }
    if (const TFrameMsgId* other = ids[position]; other != this) visit(other);
  }
}

std::string TFrameMsgId::GetDisplayName() {
  if (DisplayNameCache.empty() && Ifc && NetFrame)
    DisplayNameCache = Ifc->GetDisplayName() + "." + NetFrame->GetDisplayName();
  return DisplayNameCache;
}

std::string TFrameMsgId::GetName() { return NetFrame ? NetFrame->GetName() : std::string(); }

bool TFrameMsgId::HandlesFrame(TNetFrame* frame) const {
  if (!frame || frame->Ifc == Ifc) return true;
  // Signals published by the frame's transmitter (gathered once per
  // transmitter in a check run), and the signals that the database's
  // subscriptions subscribe per interface (one scan per check run).
  using Published = std::unordered_set<const TSignal*>;
  const auto gatherPublished = [](const TIfc* transmitter) {
    Published result;
    if (transmitter)
      for (TPubSig* pub : transmitter->PubSigs)
        if (pub && pub->Signal && pub->Ifc == transmitter) result.insert(pub->Signal);
    return result;
  };
  static const char kPublishedKey = 0;
  const TIfc* transmitter = frame->Ifc;
  Published gathered;
  const Published& published = Ram ? CheckRunValueOf<Published>(*Ram, &kPublishedKey, transmitter, gatherPublished)
                                   : (gathered = gatherPublished(transmitter));
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
