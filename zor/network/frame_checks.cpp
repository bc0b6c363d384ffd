// Checks of frames, frame holders, signal placements and transmit timings:
// the packing rules of signals in frames.
//
// Bit layout: a placement occupies bits Offset .. Offset + signal Size - 1 of
// a frame of Size * 8 bits; its update bit, when not negative, occupies bit
// UpdateBitOffset; with SequenceInfo the last 4 bits are reserved. ByteOrder
// plays no part here. Positions are computed in 64 bits so that extreme
// stored values cannot overflow.
#include <algorithm>
#include <climits>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "zor/check/findings.h"
#include "zor/model/check_run_values.h"
#include "zor/model/enums.h"
#include "zor/model/name_table.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/placement_overlap.h"
#include "zor/network/signal.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

namespace ZOR_RAM {

namespace {

constexpr int32_t kJ1939MaxSize = 1785;
constexpr int32_t kJ1939MaxSpn = 524287;
constexpr int32_t kJ1939MinMultiPacketPeriod = 100000;  // microseconds

uint32_t LinId(uint32_t frameId) { return frameId & 0x3F; }

bool IsLin1x(int32_t type) { return type == kNetTypeLIN10 || type == kNetTypeLIN11; }
bool IsLin13(int32_t type) { return type == kNetTypeLIN12 || type == kNetTypeLIN13; }

int64_t SignalSize(const TNetSig* sig) { return sig->Signal ? sig->Signal->Size : 0; }
std::string SignalName(const TNetSig* sig) { return sig->Signal ? sig->Signal->Name : std::string(); }


bool IsLinSlaveOfClass2(TIfc* ifc) { return ifc && ifc->IfcType == kIfcLINSlave && ifc->ProtocolClass() == 2; }

// Calls visit(frame) for the frame each schedule entry of the network sends.
template <class Visit>
void ForEachScheduledFrame(const TNetwork* network, Visit visit) {
  for (TNetMode* mode : network->NetModes) {
    if (!mode) continue;
    for (TSchEntry* entry : mode->SchEntrys)
      if (entry && entry->TxFrame) visit(*entry->TxFrame);
  }
}

// Whether a schedule entry of the network sends a frame of exactly this name.
// During a check run the names are gathered once per network.
bool IsScheduled(TZOR_RAM* ram, const TNetwork* network, const std::string& name) {
  if (!ram || !ram->InCheckRun()) {
    bool found = false;
    ForEachScheduledFrame(network, [&](const TNetFrame& frame) { found = found || frame.Name == name; });
    return found;
  }
  static const char kKey = 0;
  const auto& names = CheckRunValueOf<TNameTable<bool>>(*ram, &kKey, network, [](const TNetwork* owner) {
    TNameTable<bool> result;
    ForEachScheduledFrame(owner, [&](const TNetFrame& frame) { result.Insert(frame.Name); });
    return result;
  });
  return names.Find(name) != nullptr;
}

// The largest value of an unsigned field of `bits` bits, saturated at the
// 64-bit maximum; 0 for sizes below 1.
int64_t MaxUnsigned(int64_t bits) {
  if (bits <= 0) return 0;
  if (bits >= 63) return INT64_MAX;
  return (int64_t{1} << bits) - 1;
}

}  // namespace

void TNetFrame::CheckScheduled(bool* errorFound) {
  if (IsLinFrame() && Network && !IsScheduled(Ram, Network, Name))
    ReportFinding<kFrameNotScheduled>(errorFound, Name.c_str(), Network->Name.c_str());
}

// ---------------------------------------------------------------------------
// Frames

bool TNetFrame::Check(uint64_t flags) {
  bool err = false;
  const char* name = Name.c_str();
  if (flags & kCheckAll) {
    CheckBase(&err, flags);
    if (!Network) ReportFinding<kNoNetwork>(&err, name, "Frame");
    if (TransportType < 0 || TransportType >= kTransportTypeCount) ReportFinding<kTransportTypeInvalid>(&err, name);
  }
  if ((flags & kCheckUnique) && Network && NameUsedOnNetwork(Name))
    ReportFinding<kNameNotUnique>(&err, name, "Network Frame", (" " + Network->Name + " Network.").c_str());
  CheckNameForm(&err, Name, flags, "Network Frame");
  if (!(flags & kCheckAll)) return err;

  if (Size == 0) ReportFinding<kSizeZero>(&err, name, "Network Frame");
  if (NetSigs.Count() == 0) ReportFinding<kNoSignal>(&err, name, "Network Frame");
  if (Ifc && Ifc->Network && Ifc->Network->HasDiagnosticFrames()) {
    const uint32_t id = LinId(FrameId);
    if (id == 63 || ((id == 60 || id == 61) && Ram && Ram->ReserveDiagnosticIds))
      ReportFinding<kLinFrameIdInvalid>(&err, name, "Network Frame");
  }
  if (IsCanFrame() && (FrameId & 0x1FFFFFFF) == 0) ReportFinding<kIdZero>(&err, name, "CAN Frame");
  CheckScheduled(&err);
  CheckPlacements(&err);
  CheckMessageIds(&err);
  if (IsCanFrame()) CheckCanFrame(&err);
  if (IsDiagnosticFrame(/*byIdOnly=*/false) && Ram && Ram->ReserveDiagnosticIds)
    ReportFinding<kFrameReservedForDiagnostics>(&err, name);
  if (MinFUpTime != 0 && MaxFUpTime != 0 && MaxFUpTime < MinFUpTime) ReportFinding<kFollowUpTimesReversed>(&err, name);
  return err;
}

void TNetFrame::CheckPlacements(bool* err) {
  const int64_t frameBits = int64_t{Size} * 8;
  bool overlapReported = false;
  // A long frame sorts its placements' bits once instead of scanning them for
  // every placement.
  std::optional<TPlacementOverlaps> overlaps;
  if (NetSigs.Count() > kScannedListLength) overlaps.emplace(NetSigs);
  for (TNetSig* p : NetSigs) {
    if (!p || !p->Signal) continue;
    const int64_t offset = p->Offset;
    const int64_t size = SignalSize(p);
    const int64_t ub = p->UpdateBitOffset;
    const TLazyText placement([p] { return p->GetName(); });
    if (offset + size > frameBits) ReportFinding<kSignalOutOfFrame>(err, placement.c_str(), Name.c_str());
    if (ub >= 0 && ub >= frameBits) ReportFinding<kUpdateBitOutOfFrame>(err, placement.c_str(), Name.c_str());
    if (ub >= 0 && BitWithin(ub, offset, size))
      ReportFinding<kUpdateBitOverlapsSignals>(err, placement.c_str(), Name.c_str());
    if (SequenceInfo && offset < frameBits && offset + size > frameBits - 4)
      ReportFinding<kSignalOverlapsSequenceInfo>(err, placement.c_str(), Name.c_str());
    if (SequenceInfo && ub >= frameBits - 3 && ub <= frameBits - 1)
      ReportFinding<kUpdateBitOverlapsSequenceInfo>(err, placement.c_str(), Name.c_str());
    if (overlapReported) continue;
    // Two placements without update bits do not share one: only real update
    // bits are compared.
    if (overlaps ? overlaps->Overlaps(p, offset, size, ub) : OverlapsAnotherPlacement(NetSigs, p, offset, size, ub)) {
      ReportFinding<kSignalsOverlap>(err, Name.c_str());
      overlapReported = true;
    }
  }
}

void TNetFrame::CheckMessageIds(bool* err) {
  if (!Network || Network->Type != kNetTypeLIN20 || !Ifc || IsDiagnosticFrame(/*byIdOnly=*/true)) return;
  std::vector<TIfc*> examined;
  if (IsLinSlaveOfClass2(Ifc)) examined.push_back(Ifc);
  for (TIfc* ifc : Network->GetInterfaces())
    if (IsLinSlaveOfClass2(ifc) && IsReceivedBy(ifc)) examined.push_back(ifc);
  for (TIfc* ifc : examined) {
    if (GetMessageId(ifc)) continue;
    const std::string ifcName = ifc->GetDisplayName();
    if (IdShared())
      ReportFinding<kFrameDynamicNoMessageId>(err, Name.c_str(), ifcName.c_str());
    else
      ReportFinding<kFrameNoMessageId>(err, Name.c_str(), ifcName.c_str());
  }
}

void TNetFrame::CheckCanFrame(bool* err) {
  const char* name = Name.c_str();
  const int32_t netType = Network ? Network->Type : -1;
  const bool multiPacket = (FrameId & kJ1939MultiPacketBit) != 0;
  if (TxFrameTimings.Count() == 0) ReportFinding<kFrameInNoInterfaceMode>(err, name);
  if (TransportType == kTransportPeriodic) {
    TNode* node = Ifc ? Ifc->Node : nullptr;
    const int64_t period = node ? node->FrameProcessingPeriod : 0;
    for (TTxFrameTiming* timing : TxFrameTimings) {
      if (!timing) continue;
      const TLazyText mode([timing] { return timing->GetName(); });
      if (timing->FramePeriod < 1) ReportFinding<kTxTimingZero>(err, name, mode.c_str());
      if (period != 0 && int64_t{timing->FramePeriod} % period != 0)
        ReportFinding<kTxTimingNotMultiple>(err, name, node->Name.c_str(), mode.c_str());
      if (netType == kNetTypeJ1939 && timing->FramePeriod < kJ1939MinMultiPacketPeriod && Size > 8 && multiPacket)
        ReportFinding<kTxTimingTooShortForSize>(err, name, mode.c_str());
    }
  }
  if (Size < 0) ReportFinding<kFrameSizeNegative>(err, name);
  if (netType == kNetTypeJ1939) {
    if (Size > kJ1939MaxSize) ReportFinding<kFrameSizeOver1785>(err, name);
    if (Size > 8 && !multiPacket) ReportFinding<kFrameSizeOver8>(err, name);
    CheckMultiplexing(err);
  } else if (netType == kNetTypeCAN) {
    if (Size > 8) ReportFinding<kFrameSizeOver8>(err, name);
  }
}

void TNetFrame::CheckMultiplexing(bool* err) {
  int multiplexors = 0;
  TNetSig* multiplexor = nullptr;
  std::vector<TNetSig*> multiplexed;
  for (TNetSig* sig : NetSigs) {
    if (!sig) continue;
    if (sig->Multiplexed == kMuxMultiplexor) {
      ++multiplexors;
      multiplexor = sig;
    } else if (sig->Multiplexed == kMuxMultiplexed) {
      multiplexed.push_back(sig);
    }
  }
  // Every pair is reported, in order. Names are fetched for reported pairs
  // only.
  auto reportPair = [&](const TNetSig* a, const TNetSig* b) {
    const TLazyText an([a] { return SignalName(a); });
    const TLazyText bn([b] { return SignalName(b); });
    if (SignalSize(a) != SignalSize(b))
      ReportFinding<kMultiplexedSizesDiffer>(err, an.c_str(), bn.c_str(), Name.c_str());
    if (a->Offset != b->Offset) ReportFinding<kMultiplexedOffsetsDiffer>(err, an.c_str(), bn.c_str(), Name.c_str());
    if (a->MultiplexerValue == b->MultiplexerValue)
      ReportFinding<kMultiplexValueShared>(err, an.c_str(), bn.c_str(), Name.c_str());
  };
  const bool uniform = std::all_of(multiplexed.begin(), multiplexed.end(), [&](const TNetSig* sig) {
    return SignalSize(sig) == SignalSize(multiplexed.front()) && sig->Offset == multiplexed.front()->Offset;
  });
  if (uniform) {
    // Placements of one size and offset (the usual layout) differ only in
    // their values: only the pairs sharing a value are visited, so a frame of
    // many multiplexed signals stays linear.
    std::vector<size_t> byValue(multiplexed.size());
    for (size_t i = 0; i < byValue.size(); ++i) byValue[i] = i;
    std::stable_sort(byValue.begin(), byValue.end(), [&](size_t a, size_t b) {
      return multiplexed[a]->MultiplexerValue < multiplexed[b]->MultiplexerValue;
    });
    std::vector<size_t> rank(multiplexed.size());  // position of each placement in byValue
    for (size_t k = 0; k < byValue.size(); ++k) rank[byValue[k]] = k;
    for (size_t i = 0; i < multiplexed.size(); ++i)
      for (size_t k = rank[i] + 1;
           k < byValue.size() && multiplexed[byValue[k]]->MultiplexerValue == multiplexed[i]->MultiplexerValue; ++k)
        reportPair(multiplexed[i], multiplexed[byValue[k]]);
  } else {
    for (size_t i = 0; i < multiplexed.size(); ++i)
      for (size_t j = i + 1; j < multiplexed.size(); ++j) reportPair(multiplexed[i], multiplexed[j]);
  }
  if (multiplexors == 1) {
    const int64_t max = MaxUnsigned(SignalSize(multiplexor));
    const std::string muxName = SignalName(multiplexor);
    for (TNetSig* sig : multiplexed) {
      const std::string sn = SignalName(sig);
      // The message shows the maximum as a 32-bit number; larger maxima are
      // compared in full and shown saturated.
      if (sig->MultiplexerValue > max)
        ReportFinding<kMultiplexValueOverMax>(err, sn.c_str(), muxName.c_str(),
                                              static_cast<int>(std::min<int64_t>(max, INT_MAX)), Name.c_str());
      if (sig->MultiplexerValue < 0)
        ReportFinding<kMultiplexValueInvalid>(err, std::to_string(sig->MultiplexerValue).c_str(), sn.c_str(),
                                              Name.c_str());
    }
  } else if (multiplexors > 1) {
    ReportFinding<kManyMultiplexors>(err, Name.c_str());
  } else if (!multiplexed.empty()) {
    ReportFinding<kMultiplexedWithoutMultiplexor>(err, Name.c_str());
  }
}

// ---------------------------------------------------------------------------
// Frame holders

bool TFrameHolder::Check(uint64_t flags) {
  bool err = false;
  const char* name = Name.c_str();
  const bool eventTriggered = HolderType == kHolderEventTriggered;
  const bool sporadic = HolderType == kHolderSporadic;
  if (flags & kCheckAll) {
    CheckBase(&err, flags);
    if (!Network) ReportFinding<kNoNetwork>(&err, name, "Frame Holder");
    if (HolderType < 0 || HolderType >= kHolderTypeCount) ReportFinding<kTypeInvalid>(&err, name, "Frame");
  }
  if ((flags & kCheckUnique) && Network && NameUsedOnNetwork(Name))
    ReportFinding<kNameNotUnique>(&err, name, "Frame", (" on the " + Network->Name + " Network").c_str());
  CheckScheduled(&err);
  CheckNameForm(&err, Name, flags, "Frame Name", "Frame");
  if (!Network || !(flags & kCheckAll)) return err;

  const int32_t type = Network->Type;
  if (IsLin1x(type) && eventTriggered) ReportFinding<kEventFrameNotSupported>(&err, name);
  if ((IsLin1x(type) || IsLin13(type)) && sporadic) ReportFinding<kSporadicFrameNotSupported>(&err, name);

  // Assigned entries a host left null are skipped: the frames that are
  // there are compared with the first of them.
  TNetFrame* first = FirstAssignedFrame();
  auto sizesDiffer = [&] {
    for (TNetFrame* frame : NetFrames)
      if (frame && frame->Size != first->Size) return true;
    return false;
  };
  const uint32_t id = LinId(FrameId);
  if (IsLin13(type) && eventTriggered) {
    if (id == 60 || id == 61 || id == 63) ReportFinding<kEventFrameIdLin1x>(&err, name);
    if (sizesDiffer()) ReportFinding<kHolderLengthsDiffer>(&err, name);
  }
  if (type == kNetTypeLIN20 && eventTriggered && id > 59) ReportFinding<kEventFrameIdLin20>(&err, name);

  for (TNetFrame* frame : NetFrames)
    if (frame && frame->Network != Network) {
      if (eventTriggered) ReportFinding<kEventFrameOtherNetwork>(&err, name, frame->Name.c_str());
      if (sporadic) ReportFinding<kSporadicFrameOtherNetwork>(&err, name, frame->Name.c_str());
    }

  if (sporadic)
    for (TNetFrame* frame : NetFrames)
      if (frame && frame->Ifc && frame->Ifc->Node && frame->Ifc->IfcType != kIfcLINMaster)
        ReportFinding<kSporadicFrameNotFromMaster>(&err, frame->Name.c_str(), name);

  if (eventTriggered) {
    std::unordered_set<const TNode*> nodes;
    for (TNetFrame* frame : NetFrames) {
      if (!frame || !frame->Ifc || !frame->Ifc->Node) continue;
      if (frame->Ifc->IfcType == kIfcLINMaster)
        ReportFinding<kHolderFrameNotFromSlave>(&err, frame->Name.c_str(), name);
      if (!nodes.insert(frame->Ifc->Node).second) {
        ReportFinding<kHolderPublishersNotDistinct>(&err, name);
        break;
      }
    }
    for (TNetFrame* frame : NetFrames) {
      if (!frame) continue;
      for (TNetSig* sig : frame->NetSigs) {
        if (!sig) continue;
        if (sig->Offset < 8 || (sig->UpdateBitOffset >= 0 && sig->UpdateBitOffset <= 7)) {
          const std::string placement = sig->GetName();
          ReportFinding<kHolderFirstByteReserved>(&err, name, frame->Name.c_str(), placement.c_str());
          break;
        }
      }
    }
  }

  if (type == kNetTypeLIN20 && eventTriggered) CheckLin20Holder(&err);

  if (NetFrames.Count() == 0) {
    if (eventTriggered) ReportFinding<kEventFrameEmpty>(&err, name);
    if (sporadic) ReportFinding<kSporadicFrameEmpty>(&err, name);
  }
  return err;
}

void TFrameHolder::CheckLin20Holder(bool* err) {
  const char* name = Name.c_str();
  if (TNetFrame* first = FirstAssignedFrame()) {
    const uint8_t model = first->UpdateChecksumModel();
    for (TNetFrame* frame : NetFrames)
      if (frame && frame->UpdateChecksumModel() != model) {
        ReportFinding<kHolderChecksumsDiffer>(err, name);
        break;
      }
    for (TNetFrame* frame : NetFrames)
      if (frame && frame->Size != first->Size) {
        ReportFinding<kHolderLengthsDiffer>(err, name);
        break;
      }
  }
  if (!Ifc) return;
  for (TIfc* ifc : Network->GetInterfaces()) {
    if (!IsLinSlaveOfClass2(ifc) || GetMessageId(ifc)) continue;
    bool involved = false;
    for (TNetFrame* frame : NetFrames)
      if (frame && (frame->Ifc == ifc || frame->IsReceivedBy(ifc))) {
        involved = true;
        break;
      }
    if (!involved) continue;
    const std::string ifcName = ifc->GetDisplayName();
    if (IdShared())
      ReportFinding<kHolderDynamicNoMessageId>(err, name, ifcName.c_str());
    else
      ReportFinding<kHolderNoMessageId>(err, name, ifcName.c_str());
  }
}

// ---------------------------------------------------------------------------
// Placements

bool TNetSig::Check(uint64_t flags) {
  bool err = false;
  const std::string signalName = SignalName(this);
  if ((flags & kCheckUnique) && IsNameUsed(signalName)) {
    if (Signal && Frame)
      ReportFinding<kSignalPackedTwice>(&err, signalName.c_str(), Frame->Name.c_str());
    else
      ReportFinding<kSignalPackedTwice>(&err, "Unknown", "Unknown");
  }
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  const auto display = LazyDisplayName(*this);
  if (!Frame) ReportFinding<kNoNetworkFrame>(&err, display.c_str(), "Network Signal");
  if (!Network) ReportFinding<kNoNetwork>(&err, display.c_str(), "Network Signal");
  if (!Frame || !Frame->Network || !Network || !Signal) return err;

  const char* sig = signalName.c_str();
  const char* frame = Frame->Name.c_str();
  const int32_t frameNet = Frame->Network->Type;
  const int64_t size = Signal->Size;
  const bool bytes = Signal->SignalType == kSignalBytes;
  if (MaxUpdInterval != 0 && MinUpdInterval != 0 && MaxUpdInterval < MinUpdInterval)
    ReportFinding<kUpdateIntervalsReversed>(&err, sig);
  if (Network->IsLin()) {
    if (size > 16 && !(frameNet == kNetTypeLIN20 && bytes)) ReportFinding<kSignalSizeOver16>(&err, sig, frame);
    const bool oldSlave = Frame->Ifc && Frame->Ifc->IfcType == kIfcLINSlave && Frame->Ifc->ProtVer < 2.0f;
    if (bytes && (frameNet != kNetTypeLIN20 || oldSlave)) ReportFinding<kByteSignalOnLin1x>(&err, sig);
    if (UpdateBitOffset >= 0) ReportFinding<kSignalHasUpdateBit>(&err, sig, frame);
  }
  if (!IsPublishedOrGatewayed()) {
    const std::string ifcName = Frame->Ifc ? Frame->Ifc->Name : std::string();
    ReportFinding<kSignalNotSentByInterface>(&err, sig, ifcName.c_str(), frame);
  }
  const int64_t bit = Offset % 8;
  if (frameNet == kNetTypeJ1939) {
    if (SPN < 0 || SPN > kJ1939MaxSpn) ReportFinding<kSpnOutOfRange>(&err, sig, frame);
  } else if (IsLin1x(frameNet) || IsLin13(frameNet)) {
    if (size < 8 && bit + size > 8) ReportFinding<kUnder8BitsCrossesByte>(&err, sig, frame);
    if (size > 7 && bit != 0) ReportFinding<kOver7BitsNotAligned>(&err, sig, frame);
  } else if (frameNet == kNetTypeLIN20) {
    if (size >= 8 && size <= 15 && bit + size > 16) ReportFinding<kUnder16BitsCrossesTwoBytes>(&err, sig, frame);
    if (size > 15 && bit != 0) ReportFinding<kOver15BitsNotAligned>(&err, sig, frame);
  }
  return err;
}

bool TNetSig::IsPublishedOrGatewayed() {
  TIfc* ifc = Frame ? Frame->Ifc : nullptr;
  if (!ifc || !Signal) return false;
  return CountPublished(*ifc, Signal) > 0 || GetGateway() != nullptr;
}

// ---------------------------------------------------------------------------
// Transmit timings

bool TTxFrameTiming::Check(uint64_t flags) {
  bool err = false;
  if (!(flags & kCheckAll)) return err;
  CheckBase(&err, flags);
  const auto display = LazyDisplayName(*this);
  if (!IfcMode) ReportFinding<kTimingNoInterfaceMode>(&err, display.c_str());
  if (!Frame) ReportFinding<kNoNetworkFrame>(&err, display.c_str(), "Transmitted Frame Timing");
  return err;
}

}  // namespace ZOR_RAM
