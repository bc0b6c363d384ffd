#include "zor/node/controller.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "zor/QXML/QXMLDocument.h"
#include "zor/check/findings.h"
#include "zor/model/check_run_values.h"
#include "zor/model/children.h"
#include "zor/model/enums.h"
#include "zor/model/fields.h"
#include "zor/model/ram.h"
#include "zor/model/xml_values.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/node/node.h"

namespace ZOR_RAM {

namespace {

const std::string& NameOf(const TNode* node) {
  static const std::string empty;
  return node ? node->Name : empty;
}
const std::string& NameOf(const TIfc* ifc) {
  static const std::string empty;
  return ifc ? ifc->Name : empty;
}
const std::string& NameOf(const TSignal* signal) {
  static const std::string empty;
  return signal ? signal->Name : empty;
}

// The uniqueness finding's suffix naming ifc, built only for a finding.
auto InInterfaceSuffix(const TIfc* ifc) {
  return [ifc] { return " in the " + NameOf(ifc) + " Interface"; };
}

// The signal a published or subscribed signal takes its name from.
template <class Placement>
const TItemData* SignalOf(const TItemData* item) {
  return static_cast<const Placement*>(item)->Signal;
}

bool IsImmediate(const TNetFrame* frame) { return frame && frame->TransportType == kTransportImmediate; }

// The first network signal of `signal` among ifc's transmitted frames.
TNetSig* FirstNetSigInFramesOf(const TIfc* ifc, const TSignal* signal) {
  for (TNetFrame* frame : ifc->NetFrames) {
    if (!frame) continue;
    for (TNetSig* netSig : frame->NetSigs)
      if (netSig && netSig->Signal == signal) return netSig;
  }
  return nullptr;
}

// The signals that the items of list (published or subscribed signals)
// carry, in address order, and the key they are kept under in a check run.
template <class Item>
std::vector<const TSignal*> SortedSignalsOf(const TZORList<Item>* items) {
  std::vector<const TSignal*> result;
  const int count = items->Count();
  result.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    // Only the Signal field is read, so the items are asked for far ahead.
    if (const Item* ahead = items->Get(i + kFarAhead)) PrefetchLine(&ahead->Signal);
    if (const Item* item = items->Get(i)) result.push_back(item->Signal);
  }
  std::sort(result.begin(), result.end(), std::less<>());
  return result;
}
template <class Item>
const char kSortedSignalsKey = 0;

// How many items of list (published or subscribed signals) carry signal.
template <class Item>
int CountSignalIn(const TZORList<Item>& list, const TSignal* signal, TZOR_RAM* ram) {
  if (!ram || !ram->InCheckRun() || list.Count() <= kScannedListLength) {
    int count = 0;
    for (const Item* item : list) count += item && item->Signal == signal;
    return count;
  }
  const auto& sorted = CheckRunValueOf<std::vector<const TSignal*>>(*ram, &kSortedSignalsKey<Item>, &list,
                                                                    SortedSignalsOf<Item>);
  const auto [first, last] = std::equal_range(sorted.begin(), sorted.end(), signal, std::less<>());
  return static_cast<int>(last - first);
}

template <class Item>
void QueueSortedSignals(TCheckRunValuesAhead& ahead, const TZORList<Item>& list) {
  if (list.Count() > kScannedListLength)
    ahead.Queue<std::vector<const TSignal*>>(&kSortedSignalsKey<Item>, &list, SortedSignalsOf<Item>);
}

// Whether node has a round gateway for signal whose input is on network.
bool HasRoundGatewayInto(const TNode* node, const TSignal* signal, const TNetwork* network) {
  if (!node) return false;
  for (TGateway* gateway : node->Gateways)
    if (gateway && gateway->Signal == signal && gateway->IsRoundGateway() && gateway->InIfc->Network == network)
      return true;
  return false;
}

// Keeps, scanning from the last entry to the first, the frames that are in
// `allowed` and not yet in `assigned` (each kept frame becomes assigned); the
// kept frames stay in their order. O(list length).
void KeepAssignable(TZORList<TNetFrame>& frames, const std::unordered_set<const TNetFrame*>& allowed,
                    std::unordered_set<const TNetFrame*>& assigned) {
  const int n = frames.Count();
  std::vector<char> keep(static_cast<size_t>(n), 0);
  bool dropped = false;
  for (int i = n - 1; i >= 0; --i) {
    TNetFrame* frame = frames[i];
    keep[static_cast<size_t>(i)] = frame && allowed.count(frame) && assigned.insert(frame).second;
    dropped |= !keep[static_cast<size_t>(i)];
  }
  if (!dropped) return;
  std::vector<TNetFrame*> kept;
  kept.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    if (keep[static_cast<size_t>(i)]) kept.push_back(frames[i]);
  frames.Clear();
  for (TNetFrame* frame : kept) frames.Add(frame);
}

template <class List>
std::unordered_set<const TNetFrame*> FrameSet(const List& frames) {
  std::unordered_set<const TNetFrame*> set;
  set.reserve(static_cast<size_t>(frames.Count()));
  for (TNetFrame* frame : frames)
    if (frame) set.insert(frame);
  return set;
}

void AssignFramesOf(TIfc& ifc) {
  if (!ifc.IsCanInterface()) {
    // Only CAN interfaces have controllers.
    std::vector<TCtrl*> ctrls(ifc.Ctrls.begin(), ifc.Ctrls.end());
    ifc.Ctrls.Clear();
    for (TCtrl* ctrl : ctrls) {
      if (!ctrl) continue;
      if (ctrl->Ifc == &ifc) ctrl->Ifc = nullptr;  // already out of the list
      RemoveCtrl(ctrl);
    }
    return;
  }
  TZORList<TNetFrame>* received = ifc.GetRxFrames();
  // Without a network there is nothing received to share out, and the
  // transmitted frames are left as the controllers list them: appending the
  // leftovers without first normalising would duplicate them on every pass.
  if (!received) return;
  const auto transmitted = FrameSet(ifc.NetFrames);
  const auto receivedSet = FrameSet(*received);
  std::unordered_set<const TNetFrame*> assigned;
  for (TCtrl* ctrl : ifc.Ctrls) {
    if (!ctrl) continue;
    KeepAssignable(ctrl->TxFrames, transmitted, assigned);
    KeepAssignable(ctrl->RxFrames, receivedSet, assigned);
  }
  TCtrl* first = ifc.Ctrls.First();
  if (!first) return;
  for (TNetFrame* frame : ifc.NetFrames)
    if (frame && assigned.insert(frame).second) first->TxFrames.Add(frame);
  for (TNetFrame* frame : *received)
    if (frame && assigned.insert(frame).second) first->RxFrames.Add(frame);
}

void RemoveGatewayImpl(TGateway* gateway, std::unordered_set<TGateway*>& removing) {
  if (!removing.insert(gateway).second) return;  // already being removed (a cycle)
  if (gateway->Node) gateway->Node->Gateways.Remove(gateway);
  if (TZOR_RAM* ram = gateway->Ram) {
    // Gateways fed by this one go first, last to first. A nested removal can
    // take several gateways out, so the index is clamped on each step.
    for (int i = ram->Gateways.Count() - 1; i >= 0; --i) {
      if (i >= ram->Gateways.Count()) i = ram->Gateways.Count() - 1;
      if (i < 0) break;
      TGateway* fed = ram->Gateways[i];
      if (fed && fed != gateway && fed->Gateway == gateway && !removing.count(fed))
        RemoveGatewayImpl(fed, removing);
    }
    // Then the placements that arrive through it. GetGateway is searched once
    // per placement and kept, so this is O(placements) per removal.
    for (int i = ram->NetSigs.Count() - 1; i >= 0; --i) {
      if (i >= ram->NetSigs.Count()) i = ram->NetSigs.Count() - 1;
      if (i < 0) break;
      TNetSig* netSig = ram->NetSigs[i];
      if (netSig && netSig->GetGateway() == gateway) RemoveNetSig(netSig);
    }
  }
  delete gateway;
}

}  // namespace

// ---------------------------------------------------------------------------
// TCtrl

const std::string& TCtrl::GetId() { return DefaultId("Ctrl"); }

constexpr TField kCtrlFields[] = {TextField<&TCtrl::Name>("Name"), IntField<&TCtrl::RxFrameBudget>("RxFrameBudget"),
                                  IntField<&TCtrl::TxFrameBudget>("TxFrameBudget")};

bool TCtrl::WriteXml(bool withElement) {
  if (withElement && WriteTag("Ctrl")) return true;
  if (TItemData::WriteXml(false) || WriteFields(*this, kCtrlFields) || WriteRefList("RxFrames", "NetFrame", RxFrames) ||
      WriteRefList("TxFrames", "NetFrame", TxFrames))
    return true;
  return withElement && WriteTag("Ctrl", /*closing=*/true);
}

bool TCtrl::ReadXml(TQXMLNode* element) { return ReadBase(element) || ReadFields(*this, element, kCtrlFields); }

void TCtrl::ResolveLinks() {
  // A wrong child in "RxFrames" has been reported and ends the resolution.
  if (ResolveRefList(*this, "RxFrames", "NetFrame", RxFrames, &TZOR_RAM::NetFrames, TEmptyRef::Skipped)) return;
  ResolveRefList(*this, "TxFrames", "NetFrame", TxFrames, &TZOR_RAM::NetFrames, TEmptyRef::Skipped);
}

bool TCtrl::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) {
    CheckBase(&err, flags);
    if (!Ifc) ReportFinding<kNoInterface>(&err, Name.c_str(), "Controller");
  }
  CheckNameUnique(&err, this, Name, flags, "Controller", InInterfaceSuffix(Ifc));
  CheckNameForm(&err, Name, flags, "Controller");
  if (flags & kCheckAll) {
    if (TxFrames.Count() == 0 && RxFrames.Count() == 0 && Ifc && Ifc->Ctrls.Count() > 1)
      ReportFinding<kControllerNoFrames>(&err, Name.c_str());
    const std::string& nodeName = NameOf(Ifc ? Ifc->Node : nullptr);
    if (RxFrameBudget > 255) ReportFinding<kRxFrameBudgetTooBig>(&err, Name.c_str(), nodeName.c_str());
    if (TxFrameBudget > 255) ReportFinding<kTxFrameBudgetTooBig>(&err, Name.c_str(), nodeName.c_str());
  }
  return err;
}

bool TCtrl::IsNameUsed(const std::string& name) { return Ifc && OtherItemHasName(Ram, Ifc->Ctrls, this, name); }

std::string TCtrl::GetName() { return Name; }

// ---------------------------------------------------------------------------
// TPubSig

const std::string& TPubSig::GetId() { return DefaultId("PubSig"); }

constexpr TField kPubSigFields[] = {IntField<&TPubSig::MaxTotPubDelay>("MaxTotPubDelay"),
                                    IntField<&TPubSig::MinTotPubDelay>("MinTotPubDelay"),
                                    RefField<&TPubSig::Signal, TEmptyRef::Skipped, &TZOR_RAM::Signals>("Signal")};

bool TPubSig::WriteXml(bool withElement) { return WriteFieldsElement(*this, withElement, "PubSig", kPubSigFields); }
bool TPubSig::ReadXml(TQXMLNode* element) { return ReadBase(element) || ReadFields(*this, element, kPubSigFields); }
void TPubSig::ResolveLinks() { ResolveFields(*this, kPubSigFields); }

bool TPubSig::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) {
    CheckBase(&err, flags);
    const auto display = LazyDisplayName(*this);
    if (!Signal) ReportFinding<kNoSignalReference>(&err, display.c_str(), "Published");
    if (!Ifc) ReportFinding<kNoInterface>(&err, display.c_str(), "Published Signal");
  }
  if (Ifc && Signal) CheckNameUnique(&err, this, Signal->Name, flags, "Published Signal", InInterfaceSuffix(Ifc));
  if (Signal) CheckNameForm(&err, Signal->Name, flags, "Published Signal");
  if ((flags & kCheckAll) && MaxTotPubDelay != 0 && MinTotPubDelay != 0 && MaxTotPubDelay < MinTotPubDelay)
    ReportFinding<kPublisherDelaysReversed>(&err, GetDisplayName().c_str());
  return err;
}

bool TPubSig::IsNameUsed(const std::string& name) {
  return Ifc && OtherItemHasName(Ram, Ifc->PubSigs, this, name, SignalOf<TPubSig>);
}

std::string TPubSig::GetDisplayName() {
  if (DisplayNameCache.empty() && Ifc && Ifc->Node && Signal)
    DisplayNameCache = Ifc->Node->Name + "." + Ifc->Name + "." + Signal->Name;
  return DisplayNameCache;
}

std::string TPubSig::GetName() { return NameOf(Signal); }

// ---------------------------------------------------------------------------
// TSubSig

const std::string& TSubSig::GetId() { return DefaultId("SubSig"); }

constexpr TField kSubSigFields[] = {BoolField<&TSubSig::UpdateBit>("UpdateBit"),
                                    BoolField<&TSubSig::ReceiveRollBack>("ReceiveRollBack"),
                                    IntField<&TSubSig::MaxAge>("MaxAge"),
                                    IntField<&TSubSig::MinAge>("MinAge"),
                                    IntField<&TSubSig::MaxTotSubDelay>("MaxTotSubDelay"),
                                    IntField<&TSubSig::MinTotSubDelay>("MinTotSubDelay"),
                                    RefField<&TSubSig::Signal, TEmptyRef::Skipped, &TZOR_RAM::Signals>("Signal"),
                                    RefField<&TSubSig::NetSig, TEmptyRef::Skipped, &TZOR_RAM::NetSigs>("NetSig")};

bool TSubSig::WriteXml(bool withElement) { return WriteFieldsElement(*this, withElement, "SubSig", kSubSigFields); }
bool TSubSig::ReadXml(TQXMLNode* element) { return ReadBase(element) || ReadFields(*this, element, kSubSigFields); }
void TSubSig::ResolveLinks() { ResolveFields(*this, kSubSigFields); }

bool TSubSig::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) {
    CheckBase(&err, flags);
    const auto display = LazyDisplayName(*this);
    if (!Signal) ReportFinding<kNoSignalReference>(&err, display.c_str(), "Subscribed");
    if (!Ifc) ReportFinding<kNoInterface>(&err, display.c_str(), "Subscribed Signal");
  }
  if (Ifc && Signal)
    CheckNameUnique(&err, this, Signal->Name, flags, "Subscribed Signal", InInterfaceSuffix(Ifc));
  if (Signal) CheckNameForm(&err, Signal->Name, flags, "Subscribed Signal");
  if (flags & kCheckAll) {
    const std::string& name = NameOf(Signal);
    if (MaxAge != 0 && MinAge != 0 && MaxAge < MinAge) ReportFinding<kAgesReversed>(&err, name.c_str());
    if (MaxTotSubDelay != 0 && MinTotSubDelay != 0 && MaxTotSubDelay < MinTotSubDelay)
      ReportFinding<kSubscribedDelaysReversed>(&err, name.c_str());
  }
  return err;
}

bool TSubSig::IsNameUsed(const std::string& name) {
  return Ifc && OtherItemHasName(Ram, Ifc->SubSigs, this, name, SignalOf<TSubSig>);
}

std::string TSubSig::GetDisplayName() {
  if (DisplayNameCache.empty() && Ifc && Ifc->Node && Signal)
    DisplayNameCache = Ifc->Node->Name + "." + Ifc->Name + "." + Signal->Name;
  return DisplayNameCache;
}

std::string TSubSig::GetName() { return NameOf(Signal); }

TNetSig* TSubSig::GetNetSig() {
  if (!NetSig && Ifc && Ifc->Network && Signal) NetSig = NetSigOnNetwork(Ifc->Network, Signal);
  return NetSig;
}

// ---------------------------------------------------------------------------
// TGateway

const std::string& TGateway::GetId() { return DefaultId("Gateway"); }

constexpr TField kGatewayFields[] = {TextField<&TGateway::SigSynonym>("SigSynonym"),
                                     IntField<&TGateway::MaxTotGWDelay>("MaxTotGWDelay"),
                                     RefField<&TGateway::InIfc, TEmptyRef::Skipped, &TZOR_RAM::Ifcs>("InIfc"),
                                     RefField<&TGateway::OutIfc, TEmptyRef::Skipped, &TZOR_RAM::Ifcs>("OutIfc"),
                                     RefField<&TGateway::Signal, TEmptyRef::Skipped, &TZOR_RAM::Signals>("Signal"),
                                     RefField<&TGateway::Gateway, TEmptyRef::Skipped, &TZOR_RAM::Gateways>("Gateway")};

bool TGateway::WriteXml(bool withElement) {
  return WriteFieldsElement(*this, withElement, "Gateway", kGatewayFields);
}
bool TGateway::ReadXml(TQXMLNode* element) { return ReadBase(element) || ReadFields(*this, element, kGatewayFields); }
void TGateway::ResolveLinks() { ResolveFields(*this, kGatewayFields); }

bool TGateway::Check(uint64_t flags) {
  bool err = false;
  const std::string name = Signal ? Signal->Name : std::string("Unknown");
  if (flags & kCheckUnique) {
    // A chain of source gateways that comes back on itself.
    std::unordered_set<const TGateway*> seen;
    for (const TGateway* g = Gateway; g; g = g->Gateway) {
      if (!seen.insert(g).second) {
        ReportFinding<kRoundGateway>(&err, name.c_str());
        return err;
      }
    }
  }
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  if (!Node) ReportFinding<kNoOwningNode>(&err, name.c_str(), "Gateway");
  if (!Signal) ReportFinding<kNoSignal>(&err, name.c_str(), "Gateway");
  if (!InIfc) ReportFinding<kGatewayNoInterface>(&err, name.c_str(), "Input");
  if (!OutIfc) ReportFinding<kGatewayNoInterface>(&err, name.c_str(), "Output");

  TNetSig* output = OutputNetSig();
  TNetSig* source = SourceNetSig();
  if (Signal && OutIfc && !output) ReportFinding<kGatewayNoFrame>(&err, name.c_str(), "Output");
  if (Signal && InIfc) {
    if (!source) ReportFinding<kGatewayNoFrame>(&err, name.c_str(), "Input");
    TNetwork* network = InIfc->Network;
    if (network && Node) {
      for (TIfc* other : Node->Ifcs) {
        if (!other || other == InIfc || other->Network != network) continue;
        if (CountSubscribed(*other, Signal) > 0)
          ReportFinding<kGatewaySubscribeOtherInterface>(&err, Node->Name.c_str(), network->Name.c_str(), name.c_str());
      }
    }
  }
  if (source && IsImmediate(source->Frame)) ReportFinding<kGatewayFrameImmediate>(&err, "Rx", name.c_str());
  if (output && IsImmediate(output->Frame)) ReportFinding<kGatewayFrameImmediate>(&err, "Tx", name.c_str());
  if (Signal && InIfc)
    for (int n = CountPublished(*InIfc, Signal); n > 0; --n) ReportFinding<kGatewaySourcePublished>(&err, name.c_str());
  return err;
}

std::string TGateway::GetDisplayName() {
  if (DisplayNameCache.empty() && Node && InIfc && OutIfc && (Signal || !SigSynonym.empty()))
    DisplayNameCache = Node->Name + "." + InIfc->Name + "." + OutIfc->Name + "." +
                       (SigSynonym.empty() ? Signal->Name : SigSynonym);
  return DisplayNameCache;
}

std::string TGateway::GetName() {
  if (!Signal) return std::string();
  if (IsRoundGateway()) return SigSynonym.empty() ? Signal->Name : SigSynonym;
  // The name changes at the first gateway up the chain that feeds the signal
  // back onto its own network.
  std::unordered_set<const TGateway*> seen;
  for (const TGateway* g = Gateway; g && seen.insert(g).second; g = g->Gateway) {
    if (g->InIfc && g->OutIfc &&
        (g->InIfc == g->OutIfc || (g->InIfc->Network && g->InIfc->Network == g->OutIfc->Network))) {
      if (!g->SigSynonym.empty()) return g->SigSynonym;
      break;
    }
  }
  return Signal->Name;
}

bool TGateway::IsRoundGateway() const {
  return InIfc && OutIfc && (InIfc == OutIfc || InIfc->Network == OutIfc->Network);
}

TNetSig* TGateway::SourceNetSig() const {
  if (Gateway) return Gateway->OutputNetSig();
  return InIfc && InIfc->Network ? NetSigOnNetwork(InIfc->Network, Signal) : nullptr;
}

// ---------------------------------------------------------------------------
// TFrameGateway

const std::string& TFrameGateway::GetId() { return DefaultId("FrameGateway"); }

constexpr TField kFrameGatewayFields[] = {
    IntField<&TFrameGateway::MaxTotGWDelay>("MaxTotGWDelay"),
    RefField<&TFrameGateway::InIfc, TEmptyRef::Skipped, &TZOR_RAM::Ifcs>("InIfc"),
    RefField<&TFrameGateway::OutIfc, TEmptyRef::Skipped, &TZOR_RAM::Ifcs>("OutIfc"),
    RefField<&TFrameGateway::InFrame, TEmptyRef::Skipped, &TZOR_RAM::NetFrames>("InFrame"),
    RefField<&TFrameGateway::OutFrame, TEmptyRef::Skipped, &TZOR_RAM::NetFrames>("OutFrame")};

bool TFrameGateway::WriteXml(bool withElement) {
  return WriteFieldsElement(*this, withElement, "FrameGateway", kFrameGatewayFields);
}
bool TFrameGateway::ReadXml(TQXMLNode* element) {
  return ReadBase(element) || ReadFields(*this, element, kFrameGatewayFields);
}
void TFrameGateway::ResolveLinks() { ResolveFields(*this, kFrameGatewayFields); }

bool TFrameGateway::Check(uint64_t flags) {
  bool err = false;
  if (!(flags & kCheckAll)) return err;
  const std::string name = OutFrame ? OutFrame->Name : std::string();
  CheckBase(&err, flags);
  if (!Node) ReportFinding<kNoOwningNode>(&err, name.c_str(), "Gateway");
  if (!OutFrame) ReportFinding<kFrameGatewayNoFrame>(&err, name.c_str(), "Output");
  if (!InFrame) ReportFinding<kFrameGatewayNoFrame>(&err, name.c_str(), "Input");
  if (!InIfc) ReportFinding<kGatewayNoInterface>(&err, name.c_str(), "Input");
  if (!OutIfc) ReportFinding<kGatewayNoInterface>(&err, name.c_str(), "Output");
  const std::string& nodeName = NameOf(Node);
  // An input interface without a network receives nothing; that interface's
  // own check reports the missing network, so nothing is added here.
  if (InIfc && InFrame) {
    TZORList<TNetFrame>* received = InIfc->GetRxFrames();
    if (received && !ListHolds(Ram, *received, InFrame))
      ReportFinding<kGatewayInputNotReceived>(&err, nodeName.c_str(), name.c_str(), InIfc->Name.c_str());
  }
  if (OutIfc && OutFrame && !ListHolds(Ram, OutIfc->NetFrames, OutFrame))
    ReportFinding<kGatewayOutputNotSent>(&err, nodeName.c_str(), name.c_str(), OutIfc->Name.c_str());
  if (IsImmediate(InFrame)) ReportFinding<kFrameGatewayFrameImmediate>(&err, "Input", name.c_str());
  if (IsImmediate(OutFrame)) ReportFinding<kFrameGatewayFrameImmediate>(&err, "Output", name.c_str());
  return err;
}

std::string TFrameGateway::GetDisplayName() {
  if (DisplayNameCache.empty() && Node && InIfc && OutIfc && InFrame && OutFrame)
    DisplayNameCache =
        Node->Name + "." + InIfc->Name + "." + OutIfc->Name + "." + InFrame->Name + "." + OutFrame->Name;
  return DisplayNameCache;
}

std::string TFrameGateway::GetName() { return OutFrame ? OutFrame->Name : std::string(); }

// ---------------------------------------------------------------------------
// Queries and removals

struct TNetSigIndexScope::Data {
  TZOR_RAM* Ram;
  struct PairHash {
    size_t operator()(const std::pair<const TSignal*, const TNetwork*>& k) const {
      return std::hash<const void*>()(k.first) * 31u + std::hash<const void*>()(k.second);
    }
  };
  using RoundSet = std::unordered_set<std::pair<const TSignal*, const TNetwork*>, PairHash>;
  // Per node: (signal, input network) of its round gateways.
  std::unordered_map<const TNode*, RoundSet> Round;
  // Per interface: signal -> its first placement in the interface's frames.
  std::unordered_map<const TIfc*, std::unordered_map<const TSignal*, TNetSig*>> Outputs;
  // Per network: signal -> NetSigOnNetwork's answer (absent: none).
  std::unordered_map<const TNetwork*, std::unordered_map<const TSignal*, TNetSig*>> Answers;

  const RoundSet& RoundOf(const TNode* node) {
    auto [it, added] = Round.try_emplace(node);
    if (added)
      for (TGateway* g : node->Gateways)
        if (g && g->IsRoundGateway()) it->second.emplace(g->Signal, g->InIfc->Network);
    return it->second;
  }

  TNetSig* OutputOf(const TIfc* ifc, const TSignal* signal) {
    auto [it, added] = Outputs.try_emplace(ifc);
    if (added)
      for (TNetFrame* frame : ifc->NetFrames)
        if (frame)
          for (TNetSig* netSig : frame->NetSigs)
            if (netSig) it->second.emplace(netSig->Signal, netSig);  // keeps the first
    auto found = it->second.find(signal);
    return found == it->second.end() ? nullptr : found->second;
  }

  // One pass over the network's placements: O(placements + gateways of the
  // nodes met).
  const std::unordered_map<const TSignal*, TNetSig*>& AnswersOf(TNetwork* network) {
    auto [it, added] = Answers.try_emplace(network);
    if (!added) return it->second;
    for (TNetFrame* frame : network->GetFrames()) {
      if (!frame) continue;
      const TNode* node = frame->Ifc ? frame->Ifc->Node : nullptr;
      for (TNetSig* netSig : frame->NetSigs) {
        if (!netSig || !netSig->Signal || it->second.count(netSig->Signal)) continue;
        if (!node || !RoundOf(node).count({netSig->Signal, network})) it->second.emplace(netSig->Signal, netSig);
      }
    }
    return it->second;
  }
};

namespace {
TNetSigIndexScope::Data* gNetSigIndex = nullptr;
}  // namespace

// Without an index scope: O(placements of the output interface's frames).
TNetSig* TGateway::OutputNetSig() const {
  if (!OutIfc || !Signal) return nullptr;
  if (gNetSigIndex && OutIfc->Ram == gNetSigIndex->Ram) return gNetSigIndex->OutputOf(OutIfc, Signal);
  return FirstNetSigInFramesOf(OutIfc, Signal);
}

TNetSigIndexScope::TNetSigIndexScope(TZOR_RAM& ram) {
  if (gNetSigIndex) return;
  Data_ = new Data{&ram, {}, {}, {}};
  gNetSigIndex = Data_;
}

TNetSigIndexScope::~TNetSigIndexScope() {
  if (!Data_) return;
  gNetSigIndex = nullptr;
  delete Data_;
}

int CountPublished(const TIfc& ifc, const TSignal* signal) { return CountSignalIn(ifc.PubSigs, signal, ifc.Ram); }
int CountSubscribed(const TIfc& ifc, const TSignal* signal) { return CountSignalIn(ifc.SubSigs, signal, ifc.Ram); }
void QueuePublishedCounts(TCheckRunValuesAhead& ahead, const TIfc& ifc) { QueueSortedSignals(ahead, ifc.PubSigs); }

// Without an index scope: O(placements on the network) per call, plus the
// gateways of the nodes whose frames carry the signal. Asking never builds
// the network's frame list: before it is built there is no answer.
TNetSig* NetSigOnNetwork(TNetwork* network, TSignal* signal) {
  if (!network || !signal || !network->FramesBuilt()) return nullptr;
  if (gNetSigIndex && network->Ram == gNetSigIndex->Ram) {
    const auto& answers = gNetSigIndex->AnswersOf(network);
    auto found = answers.find(signal);
    return found == answers.end() ? nullptr : found->second;
  }
  for (TNetFrame* frame : network->GetFrames()) {
    if (!frame) continue;
    for (TNetSig* netSig : frame->NetSigs) {
      if (!netSig || netSig->Signal != signal) continue;
      const TNode* node = frame->Ifc ? frame->Ifc->Node : nullptr;
      if (!HasRoundGatewayInto(node, signal, network)) return netSig;
    }
  }
  return nullptr;
}

namespace {

// Whether some gateway is fed by another one. Only such a chain of source
// gateways can lead a placement to a publisher of another signal: a gateway
// carries its own signal, and its source placement carries the same one.
bool HasChainedGateways(const TZOR_RAM& ram) {
  for (const TGateway* gateway : ram.Gateways)
    if (gateway && gateway->Gateway) return true;
  for (const TNode* node : ram.Nodes)
    if (node)
      for (const TGateway* gateway : node->Gateways)
        if (gateway && gateway->Gateway) return true;
  return false;
}

}  // namespace

void RemovePubSig(TPubSig* pubSig) {
  if (!pubSig) return;
  if (TZOR_RAM* ram = pubSig->Ram) {
    // A chain of source gateways can change the signal, so every placement is
    // asked, unless no gateway is fed by another: then only placements of the
    // published signal can have it as publisher, and the others are passed
    // over without following their chains. Each interface's first publisher
    // per signal is gathered once for this removal; placements removed on the
    // way do not change publishers.
    const bool sameSignalOnly = !HasChainedGateways(*ram);
    std::unordered_map<const TIfc*, std::unordered_map<const TSignal*, TPubSig*>> publishers;
    auto publisherOf = [&publishers](TIfc* ifc, const TSignal* signal) -> TPubSig* {
      auto [it, added] = publishers.try_emplace(ifc);
      if (added)
        for (TPubSig* pub : ifc->PubSigs)
          if (pub) it->second.try_emplace(pub->Signal, pub);
      auto found = it->second.find(signal);
      return found == it->second.end() ? nullptr : found->second;
    };
    for (int i = ram->NetSigs.Count() - 1; i >= 0; --i) {
      if (i >= ram->NetSigs.Count()) i = ram->NetSigs.Count() - 1;
      if (i < 0) break;
      TNetSig* netSig = ram->NetSigs[i];
      if (!netSig || (sameSignalOnly && netSig->Signal != pubSig->Signal)) continue;
      if (netSig->FindPublisher(publisherOf) == pubSig) RemoveNetSig(netSig);
    }
  }
  if (TIfc* ifc = pubSig->Ifc) {
    ifc->PubSigs.Remove(pubSig);
    if (ifc->response_error == pubSig) ifc->response_error = nullptr;
  }
  delete pubSig;
}

void RemoveSubSig(TSubSig* subSig) {
  if (!subSig) return;
  if (subSig->Ifc) subSig->Ifc->SubSigs.Remove(subSig);
  delete subSig;
}

void RemoveCtrl(TCtrl* ctrl) {
  if (!ctrl) return;
  if (ctrl->Ifc) ctrl->Ifc->Ctrls.Remove(ctrl);
  delete ctrl;
}

void RemoveGateway(TGateway* gateway) {
  if (!gateway) return;
  std::unordered_set<TGateway*> removing;
  RemoveGatewayImpl(gateway, removing);
}

// Frames are shared out per interface with hash sets built once per
// interface: O(frames of the interface + frames its controllers list).
void AssignControllerFrames(TZOR_RAM& ram) {
  std::vector<TIfc*> withControllers;
  for (TIfc* ifc : ram.Ifcs)
    if (ifc && ifc->Ctrls.Count() > 0 && ifc->IsCanInterface()) withControllers.push_back(ifc);
  TIfc::BuildRxFrames(withControllers);
  for (TIfc* ifc : ram.Ifcs)
    if (ifc && ifc->Ctrls.Count() > 0) AssignFramesOf(*ifc);
}

}  // namespace ZOR_RAM
