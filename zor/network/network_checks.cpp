// Checks of networks, network modes and schedule entries.
//
// Every "the first other item with the same X" test goes through an index built
// once per network check (or once per mode and check run), so a check stays
// linear in the size of the network; findings that are reported for every
// colliding pair stay pairwise only within the colliding groups.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "zor/check/findings.h"
#include "zor/model/check_run_values.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

namespace ZOR_RAM {

namespace {

// Emulator limits.
constexpr int kMaxEmulatedFrames = 255;
constexpr int kMaxConnectableFrames = 1024;
constexpr int kMaxConnectableControllers = 64;
constexpr int kMaxScheduleTables = 256;

// Protocol version 2.0 as the interfaces' version is compared: the version
// times ten, truncated.
bool IsProtocol20(const TIfc* ifc) { return static_cast<int>(static_cast<double>(ifc->ProtVer) * 10) == 20; }

const char* NameOf(const TNode* node) { return node->Name.c_str(); }

// For each position of items, the next later position whose key is equal
// (-1 when none). The positions are sorted by key (then position), so that a
// large network costs one sort and no allocation per item.
template <class Item, class KeyFn>
std::vector<int> NextWithSameKey(const std::vector<Item>& items, KeyFn key) {
  using Key = decltype(key(items[0]));
  std::vector<std::pair<Key, int>> order;
  order.reserve(items.size());
  for (size_t i = 0; i < items.size(); ++i) order.emplace_back(key(items[i]), static_cast<int>(i));
  const std::less<Key> less;
  std::sort(order.begin(), order.end(), [&less](const auto& a, const auto& b) {
    return less(a.first, b.first) || (!less(b.first, a.first) && a.second < b.second);
  });
  std::vector<int> next(items.size(), -1);
  for (size_t i = 1; i < order.size(); ++i)
    if (order[i].first == order[i - 1].first) next[static_cast<size_t>(order[i - 1].second)] = order[i].second;
  return next;
}

// Reports every pair (i < j) of items with the same signal, in the order a
// nested scan would: i ascending, then j ascending. Each item links to the
// next later item of its signal, so the cost is the items plus the pairs.
template <class Item, class ReportFn>
void ReportSameSignalPairs(const std::vector<Item>& items, ReportFn report) {
  const std::vector<int> next = NextWithSameKey(items, [](const Item& item) { return item.Signal; });
  for (size_t i = 0; i < items.size(); ++i)
    for (int j = next[i]; j >= 0; j = next[static_cast<size_t>(j)]) report(items[i], items[static_cast<size_t>(j)]);
}

struct Publication {
  const TSignal* Signal;
  const TNode* Node;
};

}  // namespace

// ---------------------------------------------------------------------------
// Network

bool TNetwork::Check(uint64_t flags) {
  bool err = false;
  const char* name = Name.c_str();
  if (flags & kCheckAll) {
    CheckBase(&err, flags);
    if (Type < 0 || Type >= kNetworkTypeCount) ReportFinding<kTypeInvalid>(&err, name, "Network");
  }
  CheckItemName(&err, this, flags, "Network");
  if (!(flags & kCheckAll)) return err;

  const TZORList<TNetFrame>& frameList = GetFrames();
  const TZORList<TFrameHolder>& holderList = GetFrameHolders();
  std::vector<TNetFrame*> frames(frameList.begin(), frameList.end());
  std::vector<TFrameHolder*> holders(holderList.begin(), holderList.end());
  const TZORList<TIfc>& ifcs = GetInterfaces();
  bool emulatorLimitReported = false;

  // Frame identifiers.
  auto report44 = [&](TNetFrame* a, TNetFrame* b) {
    ReportFinding<kFrameIdShared>(&err, a->Name.c_str(), b->Name.c_str(), name);
  };
  auto isEventTriggered = [](const TFrameHolder* h) { return h->HolderType == kHolderEventTriggered; };
  auto fullId = [](const TNetFrame* f) { return f->FrameId; };
  if (Type == kNetTypeLIN20) {
    std::unordered_set<const TNetFrame*> withMessageId;
    for (TIfc* ifc : ifcs)
      for (TFrameMsgId* id : ifc->FrameMsgIds)
        if (id && id->NetFrame) withMessageId.insert(id->NetFrame);
    std::vector<TNetFrame*> taking;
    for (TNetFrame* frame : frames)
      if (!frame->Ifc || frame->Ifc->ProtocolClass() != 2) taking.push_back(frame);
    // Holders are compared up to the first one that has a message identifier
    // (frames against holders), or up to the first that has one or is not
    // event-triggered (holders against holders).
    size_t stopForFrames = 0;
    while (stopForFrames < holders.size() && !withMessageId.count(holders[stopForFrames])) ++stopForFrames;
    size_t stopForHolders = 0;
    while (stopForHolders < holders.size() && !withMessageId.count(holders[stopForHolders]) &&
           isEventTriggered(holders[stopForHolders]))
      ++stopForHolders;
    std::unordered_map<uint32_t, TFrameHolder*> firstHolderById;
    for (size_t i = 0; i < stopForFrames; ++i)
      if (isEventTriggered(holders[i])) firstHolderById.try_emplace(holders[i]->FrameId, holders[i]);

    const std::vector<int> next = NextWithSameKey(taking, fullId);
    for (size_t i = 0; i < taking.size(); ++i) {
      if (next[i] >= 0) report44(taking[i], taking[next[i]]);
      auto found = firstHolderById.find(taking[i]->FrameId);
      if (found != firstHolderById.end()) report44(taking[i], found->second);
    }
    std::vector<TFrameHolder*> leading(holders.begin(), holders.begin() + stopForHolders);
    const std::vector<int> nextHolder = NextWithSameKey(leading, fullId);
    for (size_t i = 0; i < leading.size(); ++i)
      if (nextHolder[i] >= 0) report44(leading[i], leading[nextHolder[i]]);
  } else {
    const std::vector<int> next = NextWithSameKey(frames, [](const TNetFrame* f) { return f->FrameId & 0x1FFFFFFFu; });
    std::vector<TFrameHolder*> eventTriggered;
    for (TFrameHolder* holder : holders)
      if (isEventTriggered(holder)) eventTriggered.push_back(holder);
    std::unordered_map<uint32_t, TFrameHolder*> firstHolderById;
    for (TFrameHolder* holder : eventTriggered) firstHolderById.try_emplace(holder->FrameId, holder);
    for (size_t i = 0; i < frames.size(); ++i) {
      if (next[i] >= 0) report44(frames[i], frames[next[i]]);
      if (IsLin()) {
        auto found = firstHolderById.find(frames[i]->FrameId);
        if (found != firstHolderById.end()) report44(frames[i], found->second);
      }
    }
    const std::vector<int> nextHolder = NextWithSameKey(eventTriggered, fullId);
    for (size_t i = 0; i < eventTriggered.size(); ++i)
      if (nextHolder[i] >= 0) report44(eventTriggered[i], eventTriggered[nextHolder[i]]);
  }

  if (IsCan()) {
    if (SJW > 100000 || SJW < 0) ReportFinding<kCanJumpWidthInvalid>(&err, name, SJW * 0.001);
    if (SamplePos > 100000 || SamplePos < 0) ReportFinding<kCanSamplePositionInvalid>(&err, name, SamplePos * 0.001);
    if (SampMode != 1 && SampMode != 3) ReportFinding<kCanSamplingModeInvalid>(&err, name, static_cast<int>(SampMode));
    if (NetSpeed < 10000) ReportFinding<kSpeedTooLow>(&err, name);
    if (NetSpeed > 4000000) ReportFinding<kSpeedTooHigh>(&err, name);
    if (Type == kNetTypeJ1939 && NetSpeed != 250000) ReportFinding<kJ1939SpeedNot250k>(&err, name);
    if (frameList.Count() > kMaxConnectableFrames) {
      ReportFinding<kTooManyFramesToConnect>(&err, name);
      emulatorLimitReported = true;
    } else if (frameList.Count() > kMaxEmulatedFrames) {
      ReportFinding<kTooManyFramesToEmulate>(&err, kMaxEmulatedFrames, name);
    }
  }

  if (IsLin()) {
    bool publishes = false, transmits = false, scheduled = false;
    for (TIfc* ifc : ifcs) {
      publishes = publishes || ifc->PubSigs.Count() > 0;
      transmits = transmits || ifc->NetFrames.Count() > 0;
    }
    for (TNetMode* mode : NetModes) scheduled = scheduled || (mode && mode->SchEntrys.Count() > 0);
    if (!publishes) ReportFinding<kLinNoPublishedSignal>(&err, name);
    if (!transmits) ReportFinding<kLinNoFrame>(&err, name);
    if (!scheduled) ReportFinding<kLinNoScheduleTable>(&err, name);
    if (NetSpeed < 1000) ReportFinding<kSpeedTooLow>(&err, name);
    if (NetSpeed > 20000) ReportFinding<kSpeedTooHigh>(&err, name);
    TIfc* master = GetMasterInterface();
    if (master) {
      for (TIfc* ifc : ifcs)
        if (ifc != master && ifc->IfcType == kIfcLINMaster) {
          ReportFinding<kLinManyMasters>(&err, name);
          break;
        }
    } else {
      ReportFinding<kLinNoMaster>(&err, name);
    }
    if (!GetSlaveInterface()) ReportFinding<kLinNoSlave>(&err, name);
    if (frameList.Count() + holderList.Count() > kMaxConnectableFrames && !emulatorLimitReported) {
      ReportFinding<kTooManyFramesToConnect>(&err, name);
      emulatorLimitReported = true;
    }
    if (NetModes.Count() > kMaxScheduleTables && master && master->Node)
      ReportFinding<kTooManyScheduleTables>(&err, name, NameOf(master->Node));
  }

  // Publishers, gateways into this network, controllers.
  std::vector<Publication> published, gatewayed;
  int controllers = 0;
  for (TIfc* ifc : ifcs) {
    for (TPubSig* pub : ifc->PubSigs)
      if (pub && pub->Signal && pub->Ifc && pub->Ifc->Node) published.push_back({pub->Signal, pub->Ifc->Node});
    if (!ifc->Node) continue;
    for (TGateway* gateway : ifc->Node->Gateways)
      if (gateway && gateway->Signal && gateway->OutIfc == ifc && gateway->InIfc &&
          gateway->InIfc->Network != ifc->Network)
        gatewayed.push_back({gateway->Signal, ifc->Node});
    controllers += ifc->Ctrls.Count();
  }
  if (controllers > kMaxConnectableControllers && !emulatorLimitReported && (IsLin() || IsCan())) {
    ReportFinding<kTooManyControllers>(&err, name);
    emulatorLimitReported = true;
  }
  ReportSameSignalPairs(published, [&](const Publication& a, const Publication& b) {
    ReportFinding<kSignalMultiPublished>(&err, a.Signal->Name.c_str(), name, NameOf(a.Node), NameOf(b.Node));
  });
  if (!published.empty() && !gatewayed.empty()) {
    std::unordered_map<const TSignal*, std::vector<const Publication*>> gatewaysBySignal;
    for (const Publication& g : gatewayed) gatewaysBySignal[g.Signal].push_back(&g);
    for (const Publication& p : published) {
      auto found = gatewaysBySignal.find(p.Signal);
      if (found == gatewaysBySignal.end()) continue;
      for (const Publication* g : found->second)
        ReportFinding<kSignalPublishedAndGatewayed>(&err, p.Signal->Name.c_str(), name, NameOf(p.Node),
                                                    NameOf(g->Node));
    }
  }
  ReportSameSignalPairs(gatewayed, [&](const Publication& a, const Publication& b) {
    ReportFinding<kSignalMultiGatewayed>(&err, a.Signal->Name.c_str(), name, NameOf(a.Node), NameOf(b.Node));
  });

  if (Type == kNetTypeLIN20) {
    std::vector<TIfc*> slaves;
    for (TIfc* ifc : ifcs)
      if (ifc->IfcType == kIfcLINSlave && IsProtocol20(ifc)) slaves.push_back(ifc);
    std::unordered_map<uint8_t, std::vector<int>> byNad;
    for (int i = 0; i < static_cast<int>(slaves.size()); ++i) byNad[slaves[i]->cfg_NAD].push_back(i);
    for (int i = 0; i < static_cast<int>(slaves.size()); ++i)
      for (int j : byNad[slaves[i]->cfg_NAD])
        if (j > i) ReportFinding<kConfiguredNadNotUniqueOnNetwork>(&err, slaves[i]->Name.c_str(), name);
  }
  return err;
}

// ---------------------------------------------------------------------------
// Network mode

bool TNetMode::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) {
    CheckBase(&err, flags);
    if (!Network) ReportFinding<kNoNetwork>(&err, Name.c_str(), "Network Mode");
  }
  CheckNameUnique(&err, this, Name, flags, Network && Network->IsLin() ? "Schedule Table" : "Network Mode");
  CheckNameForm(&err, Name, flags, "Network Mode");

  // Independent of the flags: an event-triggered frame scheduled in the same
  // table as one of its assigned frames.
  if (Network && Network->Type == kNetTypeLIN20) {
    std::unordered_set<const TNetFrame*> scheduled;
    for (TSchEntry* entry : SchEntrys)
      if (entry && entry->TxFrame &&
          (entry->Type == kSchUnconditional || entry->Type == kSchEventTriggered || entry->Type == kSchSporadic))
        scheduled.insert(entry->TxFrame);
    for (TSchEntry* entry : SchEntrys) {
      if (!entry || entry->Type != kSchEventTriggered) continue;
      const auto* holder = dynamic_cast<const TFrameHolder*>(entry->TxFrame);
      if (!holder) continue;
      for (TNetFrame* frame : holder->NetFrames)
        if (frame && scheduled.count(frame))
          ReportFinding<kEventFrameScheduledWithItsFrames>(&err, holder->Name.c_str(), Name.c_str());
    }
  }
  return err;
}

TSchEntry* TNetMode::OtherEntryWithOrder(const TSchEntry* entry) {
  if (!entry) return nullptr;
  if (!Ram || SchEntrys.Count() <= kScannedListLength) {
    for (TSchEntry* other : SchEntrys)
      if (other && other != entry && other->Order == entry->Order) return other;
    return nullptr;
  }
  // Per Order, the first two entries in list order: the first of them that
  // is not entry answers.
  static const char kKey = 0;
  using FirstTwo = std::unordered_map<int32_t, std::pair<TSchEntry*, TSchEntry*>>;
  const FirstTwo& byOrder = CheckRunValueOf<FirstTwo>(*Ram, &kKey, this, [](const TNetMode* mode) {
    FirstTwo result;
    for (TSchEntry* other : mode->SchEntrys) {
      if (!other) continue;
      auto [it, added] = result.try_emplace(other->Order, other, nullptr);
      if (!added && !it->second.second && other != it->second.first) it->second.second = other;
    }
    return result;
  });
  auto found = byOrder.find(entry->Order);
  if (found == byOrder.end()) return nullptr;
  const auto [first, second] = found->second;
  return first != entry ? first : second;
}

// ---------------------------------------------------------------------------
// Schedule entry

bool TSchEntry::Check(uint64_t flags) {
  bool err = false;
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  const std::string displayName = GetDisplayName();
  const char* dn = displayName.c_str();
  const bool addressesSlave = Type == kSchAssignFrameId || Type == kSchUnAssignFrameId;
  const bool sendsFrame =
      addressesSlave || Type == kSchUnconditional || Type == kSchEventTriggered || Type == kSchSporadic;
  if (addressesSlave && !Ifc) ReportFinding<kNoInterface>(&err, dn, "Schedule Entry");
  if (sendsFrame && !TxFrame) ReportFinding<kNoNetworkFrame>(&err, dn, "Schedule Entry");
  if (!NetMode) ReportFinding<kNoNetworkMode>(&err, dn, "Schedule Entry");

  const int32_t time = FrameTime();
  if (Delay < time) {
    ReportFinding<kEntryFrameTimeOverDelay>(&err, dn, time * 0.001, Delay * 0.001);
  } else if (Delay < time * 1.4) {
    ReportFinding<kEntryShortDelay>(&err, dn, time * 0.001, Delay * 0.001);
  }

  int32_t period = 0;
  if (TNetwork* network = GetNetwork())
    if (TIfc* master = network->GetMasterInterface(); master && master->Node)
      period = master->Node->FrameProcessingPeriod;
  if (period > 0 && Delay % period != 0) ReportFinding<kEntryDelayNotMultiple>(&err, dn, Delay * 0.001, period * 0.001);

  const int level = LinLevel();
  const std::string typeText = SchEntryTypeToText(Type);
  const char* type = typeText.c_str();
  const auto* holder = dynamic_cast<const TFrameHolder*>(TxFrame);
  switch (Type) {
    case kSchUnconditional:
      if (TxFrame && (holder || TxFrame->IsDiagnosticFrame(/*byIdOnly=*/false)))
        ReportFinding<kEntryTypeConflictsWithFrame>(&err, dn, type);
      break;
    case kSchDiagRequest:
    case kSchDiagResponse:
      if (level == kLinLevel1x) ReportFinding<kEntryTypeNotAllowed>(&err, dn, type);
      break;
    case kSchEventTriggered:
    case kSchSporadic: {
      const int32_t wanted = Type == kSchEventTriggered ? kHolderEventTriggered : kHolderSporadic;
      if (TxFrame && (!holder || holder->HolderType != wanted))
        ReportFinding<kEntryTypeConflictsWithFrame>(&err, dn, type);
      if (level == kLinLevel1x) ReportFinding<kEntryTypeNotAllowed>(&err, dn, type);
      break;
    }
    case kSchAssignFrameId:
      if (level != kLinLevel20) ReportFinding<kEntryTypeNotAllowed>(&err, dn, type);
      if (Ifc && Ifc->IfcType != kIfcLINSlave) {
        ReportFinding<kEntryInterfaceNotSlave>(&err, dn, type);
      } else if (Ifc && !IsProtocol20(Ifc)) {
        ReportFinding<kEntryInterfaceNotLin20>(&err, dn, type);
      }
      break;
    case kSchAssignNAD:
    case kSchUnAssignFrameId:
    case kSchFreeFormat:
      if (level != kLinLevel20) ReportFinding<kEntryTypeNotAllowed>(&err, dn, type);
      break;
    default:
      break;
  }

  if (NetMode)
    if (TSchEntry* other = NetMode->OtherEntryWithOrder(this))
      ReportFinding<kEntryOrderNotUnique>(&err, other->GetDisplayName().c_str());
  return err;
}

}  // namespace ZOR_RAM
