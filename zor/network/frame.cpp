#include "zor/network/frame.h"

#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "zor/QXML/QXMLDocument.h"
#include "zor/io/line_writer.h"
#include "zor/model/check_run_values.h"
#include "zor/model/children.h"
#include "zor/model/enums.h"
#include "zor/model/fields.h"
#include "zor/model/name_table.h"
#include "zor/model/prefetch.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

namespace ZOR_RAM {

// ---------------------------------------------------------------------------
// TNetFrame

TNetFrame::~TNetFrame() {
  // The kept lists of networks, interfaces and controllers refer to frames
  // without owning them; a destroyed frame leaves them (all go together with
  // the database).
  if (!Ram || Ram->IsBeingDestroyed()) return;
  for (TNetwork* network : Ram->Networks)
    if (network) network->ForgetFrame(this);
  for (TIfc* ifc : Ram->Ifcs)
    if (ifc) ifc->ForgetRxFrame(this);
  for (TCtrl* ctrl : Ram->Ctrls)
    if (ctrl) {
      while (ctrl->TxFrames.Remove(this) >= 0) {
      }
      while (ctrl->RxFrames.Remove(this) >= 0) {
      }
    }
}

const std::string& TNetFrame::GetId() { return DefaultId("NetFrame"); }

std::string TNetFrame::GetName() { return Name; }

void TNetFrame::FreeChildren() {
  DestroyChildren(NetSigs);
  DestroyChildren(TxFrameTimings);
}

constexpr TField kFrameFields[] = {
    TextField<&TNetFrame::Name>("Name"),
    IntField<&TNetFrame::Size>("Size"),
    EnumField<&TNetFrame::TransportType, TransportTypeToText, TransportTypeFromText>("TransportType"),
    StoredField<&TNetFrame::TransportTypeName>("TransportTypeName"),
    IntField<&TNetFrame::FrameId>("FrameId"),
    BoolField<&TNetFrame::SequenceInfo>("SequenceInfo"),
    IntField<&TNetFrame::MaxFUpTime>("MaxFUpTime"),
    IntField<&TNetFrame::MinFUpTime>("MinFUpTime"),
    EnumField<&TNetFrame::ByteOrder, ByteOrderToText, ByteOrderFromText>("ByteOrder"),
    RefField<&TNetFrame::Network, TEmptyRef::Searched, &TZOR_RAM::Networks>("Network")};

bool TNetFrame::ReadFrameFields(TQXMLNode* element) {
  if (ReadBase(element) || ReadFields(*this, element, kFrameFields)) return true;
  FreeChildren();
  return AppendChildren(*this, element, "NetSigs", "NetSig", NetSigs, &TZOR_RAM::NetSigs, &TNetSig::Frame) ||
         AppendChildren(*this, element, "TxFrameTimings", "TxFrameTiming", TxFrameTimings, &TZOR_RAM::TxFrameTimings,
                        &TTxFrameTiming::Frame);
}

bool TNetFrame::ReadXml(TQXMLNode* element) { return ReadFrameFields(element); }

bool TNetFrame::WriteFrameFields() {
  return TItemData::WriteXml(false) || WriteFields(*this, kFrameFields) || WriteChildren("NetSigs", NetSigs) ||
         WriteChildren("TxFrameTimings", TxFrameTimings);
}

bool TNetFrame::WriteXml(bool withElement) {
  if (withElement && WriteTag("NetFrame")) return true;
  if (WriteFrameFields()) return true;
  return withElement && WriteTag("NetFrame", true);
}

void TNetFrame::ResolveLinks() {
  ResolveFields(*this, kFrameFields);
  ResolveChildren(NetSigs);
  ResolveChildren(TxFrameTimings);
}

// ---------------------------------------------------------------------------
// TFrameHolder

const std::string& TFrameHolder::GetId() { return DefaultId("FrameHolder"); }

bool TFrameHolder::ReadXml(TQXMLNode* element) {
  if (ReadFrameFields(element)) return true;
  HolderType = HolderTypeFromText(ReadText(element, "HolderType"));
  return false;
}

bool TFrameHolder::WriteXml(bool withElement) {
  if (withElement && WriteTag("FrameHolder")) return true;
  if (WriteFrameFields()) return true;
  if (WriteTextField("HolderType", HolderTypeToText(HolderType)) || WriteRefList("NetFrames", "NetFrame", NetFrames))
    return true;
  return withElement && WriteTag("FrameHolder", true);
}

TNetFrame* TFrameHolder::FirstAssignedFrame() const {
  for (TNetFrame* frame : NetFrames)
    if (frame) return frame;
  return nullptr;
}

void TFrameHolder::ResolveLinks() {
  TNetFrame::ResolveLinks();
  // A wrong child name is reported and ends the list; the frames read so far stay.
  ResolveRefList(*this, "NetFrames", "NetFrame", NetFrames, &TZOR_RAM::NetFrames, TEmptyRef::Searched);
}

// ---------------------------------------------------------------------------
// TNetSig

const std::string& TNetSig::GetId() { return DefaultId("NetSig"); }

constexpr TField kNetSigFields[] = {
    IntField<&TNetSig::Offset>("Offset"), IntField<&TNetSig::UpdateBitOffset>("UpdateBitOffset"),
    IntField<&TNetSig::MaxUpdInterval>("MaxUpdInterval"), IntField<&TNetSig::MinUpdInterval>("MinUpdInterval")};
constexpr TField kNetSigRefs[] = {RefField<&TNetSig::Signal, TEmptyRef::Searched, &TZOR_RAM::Signals>("Signal"),
                                  RefField<&TNetSig::Network, TEmptyRef::Searched, &TZOR_RAM::Networks>("Network")};

bool TNetSig::ReadXml(TQXMLNode* element) {
  if (ReadBase(element) || ReadFields(*this, element, kNetSigFields)) return true;
  if (Ram && Ram->IsVersion2()) {
    Multiplexed = MultiplexRoleFromText(ReadText(element, "Multiplexed"));
    if (Multiplexed == kMuxMultiplexed) MultiplexerValue = ReadInt(element, "MultiplexerValue");
    SPN = static_cast<int32_t>(ReadInt(element, "SPN"));
    SigType = SigTypeFromText(ReadText(element, "SigType"));
  }
  return false;
}

bool TNetSig::WriteXml(bool withElement) {
  if (withElement && WriteTag("NetSig")) return true;
  if (TItemData::WriteXml(false) || WriteFields(*this, kNetSigFields)) return true;
  if (Ram && Ram->IsVersion2()) {
    if (WriteTextField("Multiplexed", MultiplexRoleToText(Multiplexed))) return true;
    if (Multiplexed == kMuxMultiplexed ? WriteIntField("MultiplexerValue", MultiplexerValue)
                                       : WriteTextField("MultiplexerValue", ""))
      return true;
    if (WriteIntField("SPN", SPN) || WriteTextField("SigType", SigTypeToText(SigType))) return true;
  }
  if (WriteFields(*this, kNetSigRefs)) return true;
  return withElement && WriteTag("NetSig", true);
}

void TNetSig::ResolveLinks() { ResolveFields(*this, kNetSigRefs); }

// ---------------------------------------------------------------------------
// TTxFrameTiming

const std::string& TTxFrameTiming::GetId() { return DefaultId("TxFrameTiming"); }

constexpr TField kTxFrameTimingFields[] = {
    IntField<&TTxFrameTiming::FramePeriod>("FramePeriod"), IntField<&TTxFrameTiming::OffsetTime>("OffsetTime"),
    IntField<&TTxFrameTiming::WcLatency>("WcLatency"),
    RefField<&TTxFrameTiming::IfcMode, TEmptyRef::Searched, &TZOR_RAM::IfcModes>("IfcMode")};

bool TTxFrameTiming::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kTxFrameTimingFields);
}
bool TTxFrameTiming::WriteXml(bool withElement) {
  return WriteFieldsElement(*this, withElement, "TxFrameTiming", kTxFrameTimingFields);
}
void TTxFrameTiming::ResolveLinks() { ResolveFields(*this, kTxFrameTimingFields); }

std::string TTxFrameTiming::GetName() { return IfcMode ? IfcMode->Name : std::string(); }

std::string TTxFrameTiming::GetDisplayName() {
  if (DisplayNameCache.empty() && Frame) {
    DisplayNameCache = Frame->Name;
    if (IfcMode) DisplayNameCache += "." + IfcMode->Name;
  }
  return DisplayNameCache;
}

// ---------------------------------------------------------------------------
// Names and queries that reach into networks, interfaces and gateways.

bool TNetFrame::NameUsedOnNetwork(const std::string& name) {
  if (!Network) return false;
  return OtherItemHasName(Ram, Network->GetFrames(), this, name) ||
         OtherItemHasName(Ram, Network->GetFrameHolders(), this, name);
}

bool TNetFrame::IsNameUsed(const std::string& name) {
  if (NameUsedOnNetwork(name)) return true;
  return Ifc && (OtherItemHasName(Ram, Ifc->NetFrames, this, name) ||
                 OtherItemHasName(Ram, Ifc->FrameHolders, this, name));
}

std::string TNetFrame::GetDisplayName() {
  if (DisplayNameCache.empty()) {
    if (Ifc && Ifc->Node) DisplayNameCache = Ifc->Node->Name + ".";
    if (Ifc) DisplayNameCache += Ifc->Name + ".";
    DisplayNameCache += Name;
  }
  return DisplayNameCache;
}

bool TNetFrame::IsDiagnosticFrame(bool byIdOnly) const {
  if (!Ifc || !Ifc->Network || !Ifc->Network->HasDiagnosticFrames()) return false;
  const uint32_t id = FrameId & 0x3F;
  if (id == 60 || id == 61) return true;
  return !byIdOnly && (SameTextAscii(Name, "MasterReq") || SameTextAscii(Name, "SlaveResp"));
}

bool TNetFrame::IsLinFrame() const {
  return Ifc && (Ifc->IfcType == kIfcLINMaster || Ifc->IfcType == kIfcLINSlave);
}

bool TNetFrame::IsCanFrame() const { return Ifc && Ifc->IfcType == kIfcCAN; }

// Linear in the database's frame gateways plus the interface's subscriptions,
// its node's gateways and this frame's placements; during a check run each
// interface's receiver set is gathered once.
bool TNetFrame::IsReceivedBy(const TIfc* ifc) const {
  if (!ifc) return false;
  if (!Ram) return TReceiverSet(ifc).Receives(this);
  static const char kKey = 0;
  return CheckRunValueOf<TReceiverSet>(*Ram, &kKey, ifc, [](const TIfc* receiver) { return TReceiverSet(receiver); })
      .Receives(this);
}

TReceiverSet::TReceiverSet(const TIfc* ifc) {
  if (!ifc) return;
  if (TZOR_RAM* ram = ifc->Ram)
    for (TFrameGateway* gateway : ram->FrameGateways)
      if (gateway && gateway->InIfc == ifc && gateway->InFrame) GatewayedFrames_.insert(gateway->InFrame);
  ForEachSignalTakenIn(*ifc, [this](const TSignal* signal) { Signals_.insert(signal); });
}

void ForEachSignalTakenIn(const TIfc& ifc, const std::function<void(const TSignal*)>& fn) {
  for (const TSubSig* sub : ifc.SubSigs)
    if (sub && sub->Signal) fn(sub->Signal);
  if (ifc.Node)
    for (const TGateway* gateway : ifc.Node->Gateways)
      if (gateway && gateway->InIfc == &ifc && gateway->Signal) fn(gateway->Signal);
}

bool TReceiverSet::Receives(const TNetFrame* frame) const {
  if (!frame) return false;
  if (GatewayedFrames_.count(frame)) return true;
  if (Signals_.empty()) return false;
  for (TNetSig* sig : frame->NetSigs)
    if (sig && sig->Signal && Signals_.count(sig->Signal)) return true;
  return false;
}

TFrameMsgId* TNetFrame::GetMessageId(const TIfc* ifc) const { return ifc ? FirstMessageIdFor(*ifc, this) : nullptr; }

namespace {

// A network's frames and event-triggered frame holders by identifier.
struct TFrameIdIndex {
  std::unordered_map<uint32_t, THolders<TNetFrame>> Frames, EventHolders;

  explicit TFrameIdIndex(TNetwork& network) {
    for (const TNetFrame* frame : network.GetFrames())
      if (frame) Frames[frame->FrameId].Add(frame);
    for (const TFrameHolder* holder : network.GetFrameHolders())
      if (holder && holder->HolderType == kHolderEventTriggered) EventHolders[holder->FrameId].Add(holder);
  }

  static bool HasOther(const std::unordered_map<uint32_t, THolders<TNetFrame>>& byId, const TNetFrame* self) {
    const auto found = byId.find(self->FrameId);
    return found != byId.end() && found->second.HasOtherThan(self);
  }
};

}  // namespace

// The network's frames are indexed by identifier once per check run.
bool TNetFrame::IdShared() {
  if (!Network || Network->Type != kNetTypeLIN20) return false;
  if (Ram && Ram->InCheckRun()) {
    static const char kKey = 0;
    TNetwork* network = Network;
    const auto& index = CheckRunValueOf<TFrameIdIndex>(*Ram, &kKey, network, [network](const TNetwork*) {
      return TFrameIdIndex(*network);
    });
    return TFrameIdIndex::HasOther(index.Frames, this) || TFrameIdIndex::HasOther(index.EventHolders, this);
  }
  for (TNetFrame* frame : Network->GetFrames())
    if (frame && frame != this && frame->FrameId == FrameId) return true;
  for (TFrameHolder* holder : Network->GetFrameHolders())
    if (holder && holder != this && holder->HolderType == kHolderEventTriggered && holder->FrameId == FrameId)
      return true;
  return false;
}

uint8_t TNetFrame::UpdateChecksumModel() { return ComputeChecksumModel(nullptr); }

uint8_t TNetFrame::ComputeChecksumModel(const TRxFrameSets* rxSets) {
  if (!Network || !Network->IsLin()) return ChecksumModel;
  ChecksumModel = kChecksumClassic;
  if (Network->Type != kNetTypeLIN20 || IsDiagnosticFrame(/*byIdOnly=*/true)) return ChecksumModel;
  TIfc* master = Network->GetMasterInterface();
  if (!master || !Ifc) return ChecksumModel;
  if (Ifc == master) {
    ChecksumModel = kChecksumEnhanced;
    // A receiver that only knows the classic checksum keeps the frame classic.
    for (TIfc* ifc : Network->GetInterfaces()) {
      if (!ifc || ifc->ProtocolClass() >= 2) continue;
      bool receives;
      if (rxSets) {
        receives = rxSets->Receives(ifc, this);
      } else {
        TZORList<TNetFrame>* rx = ifc->GetRxFrames();
        receives = rx && rx->IndexOf(this) >= 0;
      }
      if (receives) {
        ChecksumModel = kChecksumClassic;
        break;
      }
    }
  } else if (Ifc->ProtocolClass() == 2) {
    ChecksumModel = kChecksumEnhanced;
  }
  return ChecksumModel;
}

bool TRxFrameSets::Receives(TIfc* ifc, const TNetFrame* frame) const {
  auto found = Sets_.find(ifc);
  if (found == Sets_.end()) {
    std::unordered_set<const TNetFrame*> set;
    if (TZORList<TNetFrame>* rx = ifc->GetRxFrames())
      for (TNetFrame* f : *rx) set.insert(f);
    found = Sets_.emplace(ifc, std::move(set)).first;
  }
  return found->second.count(frame) > 0;
}

uint8_t TFrameHolder::UpdateChecksumModel() { return ComputeChecksumModel(nullptr); }

uint8_t TFrameHolder::ComputeChecksumModel(const TRxFrameSets* rxSets) {
  ChecksumModel = kChecksumClassic;
  if (HolderType == kHolderEventTriggered && NetFrames.Count() > 0 && NetFrames.First())
    ChecksumModel = NetFrames.First()->ComputeChecksumModel(rxSets);
  return ChecksumModel;
}

// ---------------------------------------------------------------------------
// TNetSig queries

namespace {

// A frame's placements by signal and by signal name, built once per check run
// for frames too long to scan for every placement.
struct TPlacementIndex {
  TNameTable<THolders<TNetSig>> ByName;
  std::unordered_map<const TSignal*, THolders<TNetSig>> BySignal;

  explicit TPlacementIndex(const TNetFrame& frame) : ByName(static_cast<size_t>(frame.NetSigs.Count())) {
    for (const TNetSig* sig : frame.NetSigs)
      if (sig && sig->Signal) {
        ByName.Insert(sig->Signal->Name).first.Add(sig);
        BySignal[sig->Signal].Add(sig);
      }
  }

  // Whether a placement other than self places signal or a signal named name.
  bool HasOther(const TNetSig* self, const TSignal* signal, const std::string& name) const {
    if (const auto* holders = ByName.Find(name); holders && holders->HasOtherThan(self)) return true;
    const auto found = signal ? BySignal.find(signal) : BySignal.end();
    return found != BySignal.end() && found->second.HasOtherThan(self);
  }
};

}  // namespace

// Long frames are indexed during a check run, so that checking every
// placement of a frame stays linear in its length.
bool TNetSig::IsNameUsed(const std::string& name) {
  if (!Frame) return false;
  if (Ram && Ram->InCheckRun() && Frame->NetSigs.Count() > kScannedListLength) {
    static const char kKey = 0;
    const TNetFrame* frame = Frame;
    const auto& index =
        CheckRunValueOf<TPlacementIndex>(*Ram, &kKey, frame, [](const TNetFrame* f) { return TPlacementIndex(*f); });
    return index.HasOther(this, Signal, name);
  }
  for (TNetSig* other : Frame->NetSigs)
    if (other && other != this && other->Signal && (other->Signal == Signal || other->Signal->Name == name))
      return true;
  return false;
}

std::string TNetSig::GetName() {
  if (TGateway* gateway = GetGateway()) return gateway->GetName();
  return Signal ? Signal->Name : std::string();
}

std::string TNetSig::GetDisplayName() {
  if (DisplayNameCache.empty() && Signal && Frame && Frame->Ifc && Frame->Ifc->Node)
    DisplayNameCache = Frame->Ifc->Node->Name + "." + Frame->Ifc->Name + "." + GetName();
  return DisplayNameCache;
}

// During a check run the search goes through one index of the node's
// gateways; otherwise it scans them.
TGateway* TNetSig::GetGateway() {
  if (GatewaySearched) return Gateway;
  GatewaySearched = true;
  TIfc* ifc = Frame ? Frame->Ifc : nullptr;
  TNode* node = ifc ? ifc->Node : nullptr;
  if (!node) return Gateway = nullptr;
  if (Ram && Ram->InCheckRun()) {
    static const char kKey = 0;
    const TGatewayIndex& index = Ram->CheckRunValue<TGatewayIndex>(&kKey, [] { return TGatewayIndex(); });
    return Gateway = index.Find(node, ifc, Signal);
  }
  Gateway = nullptr;
  for (TGateway* gateway : node->Gateways)
    if (gateway && gateway->OutIfc == ifc && gateway->Signal == Signal) return Gateway = gateway;
  return Gateway;
}

TGateway* TNetSig::GetGateway(const TGatewayIndex& index) {
  if (!GatewaySearched) {
    GatewaySearched = true;
    TIfc* ifc = Frame ? Frame->Ifc : nullptr;
    Gateway = ifc ? index.Find(ifc->Node, ifc, Signal) : nullptr;
  }
  return Gateway;
}

TPubSig* TNetSig::FindPublisher() {
  return FindPublisher([](TIfc* ifc, const TSignal* signal) -> TPubSig* {
    for (TPubSig* pub : ifc->PubSigs)
      if (pub && pub->Signal == signal) return pub;
    return nullptr;
  });
}

TPubSig* TNetSig::FindPublisher(const std::function<TPubSig*(TIfc*, const TSignal*)>& publisherOf) {
  // Follows gateways back to the source side; a chain that loops ends it.
  std::unordered_set<const TNetSig*> visited;
  for (TNetSig* sig = this; sig && visited.insert(sig).second;) {
    TIfc* ifc = sig->Frame ? sig->Frame->Ifc : nullptr;
    if (!ifc) return nullptr;
    if (TPubSig* pub = publisherOf(ifc, sig->Signal)) return pub;
    TGateway* gateway = sig->GetGateway();
    sig = gateway ? gateway->SourceNetSig() : nullptr;
  }
  return nullptr;
}

size_t TGatewayIndex::KeyHash::operator()(const Key& k) const {
  return std::hash<const void*>()(k.OutIfc) * 31u + std::hash<const void*>()(k.Signal);
}

TGateway* TGatewayIndex::Find(TNode* node, const TIfc* outIfc, const TSignal* signal) const {
  if (!node) return nullptr;
  auto found = Nodes_.find(node);
  if (found == Nodes_.end()) {
    NodeMap map;
    for (TGateway* gateway : node->Gateways)
      if (gateway) map.emplace(Key{gateway->OutIfc, gateway->Signal}, gateway);  // keeps the first
    found = Nodes_.emplace(node, std::move(map)).first;
  }
  auto hit = found->second.find(Key{outIfc, signal});
  return hit == found->second.end() ? nullptr : hit->second;
}

void RemoveNetSig(TNetSig* netSig) {
  if (!netSig) return;
  if (netSig->Ram)
    for (TSubSig* sub : netSig->Ram->SubSigs)
      if (sub && sub->NetSig == netSig) sub->NetSig = nullptr;
  if (netSig->Frame) netSig->Frame->NetSigs.Remove(netSig);
  delete netSig;
}

// ---------------------------------------------------------------------------
// Update pass steps

void UpdateNetSigs(TZOR_RAM& ram) {
  // One gateway index for the whole pass keeps the look-ups linear.
  TGatewayIndex gateways;
  for (int i = 0; i < ram.NetSigs.Count(); ++i) {
    if (const TNetSig* ahead = ram.NetSigs.Get(i + kFarAhead))  // the fields read below
      PrefetchSpan(&ahead->Frame, &ahead->Network + 1);
    TNetSig* sig = ram.NetSigs[i];
    if (!sig) continue;
    sig->GetGateway(gateways);
    if (!sig->Network || sig->Network->Type >= kNetTypeLIN10) sig->UpdateBitOffset = -1;
  }
}

void UpdateFrameModels(TZOR_RAM& ram) {
  // Only models and holder sizes change here, so the interface lists of the
  // networks can come from one scan of the database (see GetInterfaces).
  TCheckRunScope run(ram);
  TRxFrameSets rxSets;
  for (TNetFrame* frame : ram.NetFrames)
    if (frame) frame->ComputeChecksumModel(&rxSets);
  for (TFrameHolder* holder : ram.FrameHolders) {
    if (!holder) continue;
    holder->ComputeChecksumModel(&rxSets);
    if (holder->NetFrames.Count() > 0 && holder->NetFrames.First()) holder->Size = holder->NetFrames.First()->Size;
  }
}

}  // namespace ZOR_RAM
