#include "zor/network/lin_diag.h"

#include <optional>
#include <string>

#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

namespace ZOR_RAM {

bool HasLinDiagNetwork = false;

namespace {

constexpr const char* kSignalNames[kLinDiagSignalCount] = {
    "MasterReqB0", "MasterReqB1", "MasterReqB2", "MasterReqB3", "MasterReqB4", "MasterReqB5",
    "MasterReqB6", "MasterReqB7", "SlaveRespB0", "SlaveRespB1", "SlaveRespB2", "SlaveRespB3",
    "SlaveRespB4", "SlaveRespB5", "SlaveRespB6", "SlaveRespB7"};
constexpr int kBytesPerFrame = 8;

// The first signal of the database's Signals list for each diagnostic name
// (names compared without regard to case), found in one pass over the list.
struct DiagSignals {
  TSignal* First[kLinDiagSignalCount] = {};

  explicit DiagSignals(TZOR_RAM& ram) {
    int missing = kLinDiagSignalCount;
    for (TSignal* signal : ram.Signals) {
      if (!signal || !IsReservedDiagSignalName(signal->Name)) continue;
      for (int i = 0; i < kLinDiagSignalCount; ++i) {
        if (!First[i] && SameTextAscii(signal->Name, kSignalNames[i])) {
          First[i] = signal;
          --missing;
          break;
        }
      }
      if (missing == 0) break;
    }
  }
};

void CreateSignals(TZOR_RAM& ram) {
  for (const char* name : kSignalNames) {
    TSignal* signal = ram.NewItem(ram.Signals);
    signal->Name = name;
    signal->Size = 8;
    signal->SignalType = kSignalUnsigned;
  }
}

TNetFrame* CreateFrame(TZOR_RAM& ram, TNetwork* network, TIfc* master, const char* name, uint32_t id) {
  TNetFrame* frame = ram.NewItem(ram.NetFrames);
  frame->Name = name;
  frame->FrameId = id;
  frame->Size = kBytesPerFrame;
  frame->TransportType = kTransportPeriodic;
  frame->ByteOrder = kByteOrderLittleEndian;
  frame->ChecksumModel = kChecksumClassic;
  frame->Ifc = master;
  frame->Network = network;
  master->NetFrames.Add(frame);
  frame->GetDisplayName();
  return frame;
}

TNetSig* CreateNetSig(TZOR_RAM& ram, TNetFrame* frame, TSignal* signal, int32_t offset) {
  TNetSig* netSig = ram.NewItem(ram.NetSigs);
  netSig->Frame = frame;
  netSig->Network = frame->Network;
  netSig->Signal = signal;
  netSig->Offset = offset;
  frame->NetSigs.Add(netSig);
  netSig->GetDisplayName();
  return netSig;
}

void Publish(TZOR_RAM& ram, TIfc* ifc, TSignal* signal) {
  TPubSig* pubSig = ram.NewItem(ram.PubSigs);
  pubSig->Ifc = ifc;
  pubSig->Signal = signal;
  ifc->PubSigs.Add(pubSig);
  pubSig->GetDisplayName();
}

void Subscribe(TZOR_RAM& ram, TIfc* ifc, TSignal* signal) {
  TSubSig* subSig = ram.NewItem(ram.SubSigs);
  subSig->Ifc = ifc;
  subSig->Signal = signal;
  ifc->SubSigs.Add(subSig);
  subSig->GetDisplayName();
}

// The master request: published by the master, subscribed by every other
// interface of the network.
void CreateMasterRequest(TZOR_RAM& ram, TNetwork* network, TIfc* master, const DiagSignals& signals) {
  TNetFrame* frame = CreateFrame(ram, network, master, "MasterReq", kMasterReqFrameId);
  const TZORList<TIfc>& interfaces = network->GetInterfaces();
  int32_t offset = 0;
  for (int i = 0; i < kBytesPerFrame; ++i) {
    TSignal* signal = signals.First[i];
    if (!signal) continue;  // a missing signal leaves no gap
    CreateNetSig(ram, frame, signal, offset);
    offset += signal->Size;
    Publish(ram, master, signal);
    for (TIfc* ifc : interfaces)
      if (ifc && ifc != master) Subscribe(ram, ifc, signal);
  }
}

// The slave response: placed in a frame the master transmits, and both
// subscribed and published on the master.
void CreateSlaveResponse(TZOR_RAM& ram, TNetwork* network, TIfc* master, const DiagSignals& signals) {
  TNetFrame* frame = CreateFrame(ram, network, master, "SlaveResp", kSlaveRespFrameId);
  int32_t offset = 0;
  for (int i = kBytesPerFrame; i < kLinDiagSignalCount; ++i) {
    TSignal* signal = signals.First[i];
    if (!signal) continue;
    CreateNetSig(ram, frame, signal, offset);
    offset += signal->Size;
    Subscribe(ram, master, signal);
    Publish(ram, master, signal);
  }
}

}  // namespace

const char* LinDiagSignalName(int index) {
  return index >= 0 && index < kLinDiagSignalCount ? kSignalNames[index] : nullptr;
}

void CreateLinDiagObjects(TZOR_RAM& ram) {
  // Set at the first qualifying network, once the signals exist; signals are
  // only appended afterwards, so the first of each name stays the first.
  std::optional<DiagSignals> signals;
  for (TNetwork* network : ram.Networks) {
    if (!network || !network->HasDiagnosticFrames()) continue;
    TIfc* master = network->GetMasterInterface();
    if (!master) continue;
    if (!signals) {
      CreateSignals(ram);
      signals.emplace(ram);
    }
    CreateMasterRequest(ram, network, master, *signals);
    CreateSlaveResponse(ram, network, master, *signals);
  }
}

}  // namespace ZOR_RAM
