#include "zor/network/lin_diag.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/builder.h"
#include "tests/support.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/zor.h"

namespace ZOR_RAM {
namespace {

struct World {
  TZOR_RAM Ram;
  zortest::Builder Make{Ram};

  TNetwork* Net(const char* name, int type) { return Make.Network(name, type); }
  // An interface of a node of its own.
  TIfc* Ifc(const char* node, const char* name, TNetwork* network, int type) {
    return Make.Ifc(Make.Node(node), name, type, network);
  }
  TSignal* Sig(const char* name, int size) { return Make.Signal(name, size); }
};

std::vector<int> Offsets(const TNetFrame* frame) {
  std::vector<int> offsets;
  for (TNetSig* ns : frame->NetSigs) offsets.push_back(ns->Offset);
  return offsets;
}

std::vector<std::string> SignalNames(const TZORList<TSignal>& list) {
  std::vector<std::string> names;
  for (TSignal* s : list) names.push_back(s->Name);
  return names;
}

TEST(LinDiag, NetworksThatDoNotQualifyGetNothing) {
  World w;
  w.Ifc("M11", "m", w.Net("L11", kNetTypeLIN11), kIfcLINMaster);
  w.Ifc("M10", "m", w.Net("L10", kNetTypeLIN10), kIfcLINMaster);
  w.Ifc("C", "c", w.Net("CAN", kNetTypeCAN), kIfcLINMaster);
  for (int type : {kNetTypeLIN12, kNetTypeLIN13, kNetTypeLIN20})
    w.Ifc("S", "s", w.Net("NoMaster", type), kIfcLINSlave);
  w.Net("Empty", kNetTypeLIN20);
  CreateLinDiagObjects(w.Ram);
  EXPECT_EQ(w.Ram.Signals.Count(), 0);
  EXPECT_EQ(w.Ram.NetFrames.Count(), 0);
  EXPECT_EQ(w.Ram.NetSigs.Count() + w.Ram.PubSigs.Count() + w.Ram.SubSigs.Count(), 0);
}

TEST(LinDiag, MasterAndTwoSlaves) {
  World w;
  TNetwork* net = w.Net("Lin", kNetTypeLIN20);
  TIfc* slave1 = w.Ifc("S1", "s1", net, kIfcLINSlave);
  TIfc* master = w.Ifc("M", "m", net, kIfcLINMaster);
  TIfc* slave2 = w.Ifc("S2", "s2", net, kIfcLINSlave);
  w.Ifc("Other", "o", w.Net("Can", kNetTypeCAN), kIfcCAN);
  CreateLinDiagObjects(w.Ram);

  ASSERT_EQ(w.Ram.Signals.Count(), kLinDiagSignalCount);
  for (int i = 0; i < kLinDiagSignalCount; ++i) {
    SCOPED_TRACE(i);
    TSignal* s = w.Ram.Signals[i];
    EXPECT_EQ(s->Name, LinDiagSignalName(i));
    EXPECT_EQ(s->Size, 8);
    EXPECT_EQ(s->SignalType, kSignalUnsigned);
    EXPECT_EQ(s->Ram, &w.Ram);
  }

  ASSERT_EQ(w.Ram.NetFrames.Count(), 2);
  const struct {
    const char* name;
    uint32_t id;
    int firstSignal;
  } frames[] = {{"MasterReq", 0x3C, 0}, {"SlaveResp", 0x7D, 8}};
  for (int f = 0; f < 2; ++f) {
    SCOPED_TRACE(frames[f].name);
    TNetFrame* frame = w.Ram.NetFrames[f];
    EXPECT_EQ(frame->Name, frames[f].name);
    EXPECT_EQ(frame->FrameId, frames[f].id);
    EXPECT_EQ(frame->Size, 8);
    EXPECT_EQ(frame->TransportType, kTransportPeriodic);
    EXPECT_EQ(frame->ByteOrder, kByteOrderLittleEndian);
    EXPECT_EQ(frame->ChecksumModel, kChecksumClassic);
    EXPECT_EQ(frame->Ifc, master);
    EXPECT_EQ(frame->Network, net);
    EXPECT_EQ(master->NetFrames[f], frame);
    EXPECT_TRUE(frame->IsDiagnosticFrame(/*byIdOnly=*/true));
    EXPECT_EQ(Offsets(frame), (std::vector<int>{0, 8, 16, 24, 32, 40, 48, 56}));
    for (int i = 0; i < 8; ++i) {
      TNetSig* ns = frame->NetSigs[i];
      EXPECT_EQ(ns->Signal, w.Ram.Signals[frames[f].firstSignal + i]);
      EXPECT_EQ(ns->Frame, frame);
      EXPECT_EQ(ns->Network, net);
      EXPECT_EQ(ns->HomeList(), &w.Ram.NetSigs);
    }
  }

  // Master requests: published by the master, subscribed by each slave.
  // Slave responses: subscribed, then published, on the master.
  std::vector<std::string> masterPubs, masterSubs;
  for (TPubSig* p : master->PubSigs) masterPubs.push_back(p->Signal->Name);
  for (TSubSig* s : master->SubSigs) masterSubs.push_back(s->Signal->Name);
  std::vector<std::string> all = SignalNames(w.Ram.Signals);
  std::vector<std::string> requests(all.begin(), all.begin() + 8), responses(all.begin() + 8, all.end());
  EXPECT_EQ(masterPubs, all);
  EXPECT_EQ(masterSubs, responses);
  for (TIfc* slave : {slave1, slave2}) {
    std::vector<std::string> subs;
    for (TSubSig* s : slave->SubSigs) subs.push_back(s->Signal->Name);
    EXPECT_EQ(subs, requests);
    EXPECT_EQ(slave->PubSigs.Count(), 0);
  }
  EXPECT_EQ(w.Ram.PubSigs.Count(), 16);
  EXPECT_EQ(w.Ram.SubSigs.Count(), 24);
}

TEST(LinDiag, DisplayNamesAreFixedAtCreation) {
  World w;
  TNetwork* net = w.Net("Lin", kNetTypeLIN13);
  TIfc* master = w.Ifc("M", "m", net, kIfcLINMaster);
  TIfc* slave = w.Ifc("S", "s", net, kIfcLINSlave);
  CreateLinDiagObjects(w.Ram);
  master->Node->Name = "Renamed";
  master->Name = "x";
  EXPECT_EQ(w.Ram.NetFrames[0]->DisplayNameCache, "M.m.MasterReq");
  EXPECT_EQ(w.Ram.NetSigs[0]->DisplayNameCache, "M.m.MasterReqB0");
  EXPECT_EQ(master->PubSigs[0]->DisplayNameCache, "M.m.MasterReqB0");
  EXPECT_EQ(slave->SubSigs[0]->DisplayNameCache, "S.s.MasterReqB0");
}

TEST(LinDiag, QualifyingNetworksShareOneSetOfSignals) {
  World w;
  TNetwork* a = w.Net("A", kNetTypeLIN12);
  w.Net("Old", kNetTypeLIN11);
  TNetwork* b = w.Net("B", kNetTypeLIN20);
  TIfc* ma = w.Ifc("MA", "m", a, kIfcLINMaster);
  TIfc* mb = w.Ifc("MB", "m", b, kIfcLINMaster);
  CreateLinDiagObjects(w.Ram);
  EXPECT_EQ(w.Ram.Signals.Count(), kLinDiagSignalCount);
  ASSERT_EQ(w.Ram.NetFrames.Count(), 4);
  EXPECT_EQ(ma->NetFrames.Count(), 2);
  EXPECT_EQ(mb->NetFrames.Count(), 2);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(ma->NetFrames[0]->NetSigs[i]->Signal, mb->NetFrames[0]->NetSigs[i]->Signal);
    EXPECT_EQ(mb->NetFrames[1]->NetSigs[i]->Network, b);
  }
}

TEST(LinDiag, PlacementsUseTheFirstSignalOfEachName) {
  World w;
  TNetwork* net = w.Net("Lin", kNetTypeLIN20);
  TIfc* master = w.Ifc("M", "m", net, kIfcLINMaster);
  TSignal* loaded = w.Sig("masterreqb3", 16);  // an existing signal, matched ignoring case
  CreateLinDiagObjects(w.Ram);
  EXPECT_EQ(w.Ram.Signals.Count(), 1 + kLinDiagSignalCount);  // created even so
  TNetFrame* request = master->NetFrames[0];
  EXPECT_EQ(request->NetSigs[3]->Signal, loaded);
  EXPECT_EQ(Offsets(request), (std::vector<int>{0, 8, 16, 24, 40, 48, 56, 64}));

  // A second call adds another set of signals and frames; the placements
  // still use the first signal of each name.
  CreateLinDiagObjects(w.Ram);
  EXPECT_EQ(w.Ram.Signals.Count(), 1 + 2 * kLinDiagSignalCount);
  ASSERT_EQ(master->NetFrames.Count(), 4);
  EXPECT_EQ(master->NetFrames[2]->NetSigs[3]->Signal, loaded);
  EXPECT_EQ(master->NetFrames[3]->NetSigs[0]->Signal, w.Ram.Signals[9]);  // SlaveRespB0 of the first call
  EXPECT_EQ(master->PubSigs.Count(), 32);
}

TEST(LinDiag, NextUpdatePassRemovesTheSignalsAndTheirDependants) {
  World w;
  TNetwork* net = w.Net("Lin", kNetTypeLIN20);
  TIfc* master = w.Ifc("M", "m", net, kIfcLINMaster);
  TIfc* slave = w.Ifc("S", "s", net, kIfcLINSlave);
  TSignal* kept = w.Sig("Speed", 8);
  CreateLinDiagObjects(w.Ram);
  CreateLinDiagObjects(w.Ram);
  ASSERT_GT(w.Ram.NetSigs.Count(), 0);

  w.Ram.Update();
  EXPECT_EQ(SignalNames(w.Ram.Signals), std::vector<std::string>{"Speed"});
  EXPECT_EQ(w.Ram.Signals[0], kept);
  EXPECT_EQ(w.Ram.NetSigs.Count(), 0);
  EXPECT_EQ(w.Ram.PubSigs.Count(), 0);
  EXPECT_EQ(w.Ram.SubSigs.Count(), 0);
  EXPECT_EQ(master->PubSigs.Count() + master->SubSigs.Count() + slave->SubSigs.Count(), 0);
  for (TNetFrame* frame : w.Ram.NetFrames) EXPECT_EQ(frame->NetSigs.Count(), 0);
}

TEST(LinDiag, ExportIgnoresANullDatabase) {
  zortest::MessageCapture messages;
  _CreateLINdiagObjects(nullptr);
  EXPECT_TRUE(messages.Errors.empty());
}

}  // namespace
}  // namespace ZOR_RAM
