#include "zor/interface/check_driver.h"

#include <vector>

#include "zor/check/findings.h"
#include "zor/io/messages.h"
#include "zor/model/check_run_values.h"
#include "zor/model/prefetch.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"
#include "zor/network/lin_diag.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

namespace ZOR_RAM {

namespace {

// A frame's check reads its placements and transmit timings. The frame at
// index + 6 has arrived by now, so the arrays of both are asked for; the
// placements and timings of the frame at index + 4 are asked for once their
// arrays have arrived.
void FramePartsAhead(const TList& frames, int index) {
  if (const auto* frame = static_cast<const TNetFrame*>(frames.Get(index + 3 * kReadAhead / 4))) {
    PrefetchEntries(frame->NetSigs);
    PrefetchEntries(frame->TxFrameTimings);
  }
  if (const auto* frame = static_cast<const TNetFrame*>(frames.Get(index + kReadAhead / 2))) {
    for (const TNetSig* placement : frame->NetSigs) PrefetchItem(placement);
    for (const TTxFrameTiming* timing : frame->TxFrameTimings) PrefetchItem(timing);
  }
  if (const auto* frame = static_cast<const TNetFrame*>(frames.Get(index + kReadAhead / 4)))
    for (const TNetSig* placement : frame->NetSigs)
      if (placement && placement->Signal) PrefetchLine(&placement->Signal->Size);
}

// A placement's check reads its signal and its frame: both are asked for once
// the placement at index + 4 has arrived.
void PlacementPartsAhead(const TList& placements, int index) {
  if (const auto* placement = static_cast<const TNetSig*>(placements.Get(index + kReadAhead / 2))) {
    PrefetchItem(placement->Signal);
    PrefetchItem(placement->Frame);
  }
}

// The walked lists, in the order they are checked, with their progress texts
// and, for items whose check reads further items, what to read ahead.
struct CheckStep {
  TList& (*List)(TZOR_RAM&);
  const char* Text;
  void (*Ahead)(const TList& list, int index) = nullptr;
};

#define ZOR_STEP(List, Text, ...) {[](TZOR_RAM& ram) -> TList& { return ram.List; }, Text, __VA_ARGS__}
const CheckStep kSteps[] = {
    ZOR_STEP(Networks, "Checking Networks ..."),
    ZOR_STEP(NetModes, "Checking Network Modes ..."),
    ZOR_STEP(NetFrames, "Checking Frames ...", FramePartsAhead),
    ZOR_STEP(FrameHolders, "Checking Frame Holders ..."),
    ZOR_STEP(NetSigs, "Checking Network Signals ...", PlacementPartsAhead),
    ZOR_STEP(SchEntries, "Checking Schedule Entries ..."),
    ZOR_STEP(TxFrameTimings, "Checking Tx Frame Timings ..."),
    ZOR_STEP(Signals, "Checking Signals ..."),
    ZOR_STEP(EncTypes, "Checking Encoding Types ..."),
    ZOR_STEP(Encodes, "Checking Encodes ..."),
    ZOR_STEP(Nodes, "Checking Nodes ..."),
    ZOR_STEP(Ifcs, "Checking Interfaces ..."),
    ZOR_STEP(MOSTFBlockInstances, "Checking FBlock Instances ..."),
    ZOR_STEP(MOSTFBlocks, "Checking Function Blocks ..."),
    ZOR_STEP(MOSTFkts, "Checking Functions ..."),
    ZOR_STEP(MOSTFktParams, "Checking Function Parameters ..."),
    ZOR_STEP(MOSTFktInterfaces, "Checking Function Interfaces ..."),
    ZOR_STEP(MOSTParamOPTypes, "Checking Param OPTypes ..."),
    ZOR_STEP(MOSTFktIfFields, "Checking Function Interface Fields ..."),
    ZOR_STEP(MOSTFktIf_Enumerations, "Checking Function Enumerations ..."),
    ZOR_STEP(MOSTFktIf_Numbers, "Checking Function Interface Numbers ..."),
    ZOR_STEP(MOSTFktIf_BitFields, "Checking Function Interface BitFields ..."),
    ZOR_STEP(MOSTFktIf_Strings, "Checking Function Interface Strings ..."),
    ZOR_STEP(MOSTFktIf_Arrays, "Checking Function Interface Arrays ..."),
    ZOR_STEP(MOSTFktIf_Streams, "Checking Function Interface Streams ..."),
    ZOR_STEP(MOSTBitDescs, "Checking Bit Descs ..."),
    ZOR_STEP(MOSTFktIf_RecordFields, "Checking Function Interface Record Fields ..."),
    ZOR_STEP(MOSTFktIf_Records, "Checking Function Interface Records ..."),
    ZOR_STEP(MOSTFktIf_StreamCases, "Checking Function Interface Stream Cases ..."),
    ZOR_STEP(FrameMsgIds, "Checking Frame Message Ids ..."),
    ZOR_STEP(IfcModes, "Checking Interface Modes ..."),
    ZOR_STEP(PubSigs, "Checking Published Signals ..."),
    ZOR_STEP(SubSigs, "Checking Subscribed Signals ..."),
    ZOR_STEP(Ctrls, "Checking Controllers ..."),
    ZOR_STEP(Gateways, "Checking Signal Gateways ..."),
    ZOR_STEP(FrameGateways, "Checking Frame Gateways ..."),
    ZOR_STEP(EnvGroups, "Checking Environment ..."),
};
#undef ZOR_STEP
static_assert(sizeof kSteps / sizeof kSteps[0] == 37);

// A smaller database is checked sooner than a second thread starts.
constexpr int kValuesAheadItems = 4096;

// Queues, in the order the steps ask for them, the values a second thread
// builds while the walk goes on: the sorted published signals of each
// interface (placements), the placed signals (signals), the name indexes
// (signals, published and subscribed signals).
void QueueValuesAhead(TCheckRunValuesAhead& ahead, TZOR_RAM& ram, uint64_t flags) {
  if (flags & kCheckAll)
    for (const TIfc* ifc : ram.Ifcs)
      if (ifc) QueuePublishedCounts(ahead, *ifc);
  QueuePlacedSignals(ahead, ram);
  if (flags & kCheckUnique) {
    QueueNameIndex(ahead, ram.Signals);
    for (const TIfc* ifc : ram.Ifcs)
      if (ifc) QueueNameIndex(ahead, ifc->PubSigs);
    for (const TIfc* ifc : ram.Ifcs)
      if (ifc) QueueNameIndex(ahead, ifc->SubSigs);
  }
}

}  // namespace

bool CheckDatabase(TZOR_RAM& ram, uint64_t flags) {
  // The run's values live until the walk ends, however it ends; the network
  // signal look-ups of gateways and subscriptions are indexed meanwhile.
  TCheckRunScope run(ram);
  TNetSigIndexScope netSigs(ram);
  // Values that later steps ask for are built meanwhile on a second thread.
  TCheckRunValuesAhead ahead(ram);
  if (ram.Signals.Count() + ram.NetSigs.Count() >= kValuesAheadItems) QueueValuesAhead(ahead, ram, flags);
  ahead.Start();
  HasLinDiagNetwork = false;
  bool errorFound = false;
  for (const CheckStep& step : kSteps) {
    TList& list = step.List(ram);
    const bool networks = &list == &ram.Networks;
    // Items do not add to or remove from the lists while checking.
    const int count = list.Count();
    for (int i = 0; i < count; ++i) {
      PrefetchAhead(list, i);
      if (step.Ahead) step.Ahead(list, i);
      TItemData* item = list.Get(i);
      if (!item) continue;
      if (networks && static_cast<TNetwork*>(item)->HasDiagnosticFrames()) HasLinDiagNetwork = true;
      if (item->Check(flags)) errorFound = true;
      zor::ReportProgress(i * 100 / count, step.Text);
    }
  }
  return errorFound;
}

}  // namespace ZOR_RAM
