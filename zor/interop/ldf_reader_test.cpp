#include <gtest/gtest.h>

#include "tests/interop_support.h"
#include "tests/support.h"
#include "zor/interface/check_driver.h"
#include "zor/interface/file_frame.h"
#include "zor/interop/interop.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

namespace ZOR_RAM::interop {
namespace {

using zortest::InteropSample;
using zortest::LogText;
using zortest::Named;

TNetwork* ImportLdf(TZOR_RAM& ram, std::string_view text, DiagnosticLog& log, const std::string& name = "c.ldf") {
  return ImportText(ram, Format::Ldf, name, text, {}, log);
}

constexpr const char* kMinimal =
    "Nodes { Master: M, 5 ms, 0 ms; Slaves: S; }\n"
    "Signals { A: 8, 0, M, S; }\n"
    "Frames { F: 0x01, M, 1 { A, 0; } }\n";

TEST(LdfReader, ProtocolVersionsMapToNetworkTypes) {
  struct Case {
    const char* version;
    int32_t type;
    bool warns;
  } cases[] = {{"1.3", kNetTypeLIN13, false},         {"2.0", kNetTypeLIN20, false},
               {"2.1", kNetTypeLIN20, true},          {"2.2", kNetTypeLIN20, true},
               {"J2602_1_1.0", kNetTypeLIN20, true},  {"ISO17987:2015", kNetTypeLIN20, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    TZOR_RAM ram;
    DiagnosticLog log;
    std::string text = std::string("LIN_description_file;\nLIN_protocol_version = \"") + c.version +
                       "\";\nLIN_language_version = \"" + c.version + "\";\nLIN_speed = 19.2 kbps;\n" + kMinimal;
    TNetwork* net = ImportLdf(ram, text, log);
    ASSERT_NE(net, nullptr) << LogText(log);
    EXPECT_EQ(net->Type, c.type);
    EXPECT_EQ(net->NetSpeed, 19200);
    EXPECT_EQ(net->Name, "c");
    EXPECT_EQ(log.WarningCount(), c.warns ? 1 : 0) << LogText(log);
    if (c.warns) {
      EXPECT_EQ(log.Items()[0].Format(),
                std::string("c.ldf:2:1: warning: LIN protocol version \"") + c.version + "\" is held as \"LIN 2.0\"");
    }
  }
}

TEST(LdfReader, Lin20ClusterBuildsTheModel) {
  TZOR_RAM ram;
  DiagnosticLog log;
  TNetwork* net = ImportFile(ram, InteropSample("lin20_cluster.ldf"), {}, log);
  ASSERT_NE(net, nullptr) << LogText(log);
  EXPECT_EQ(log.Items().size(), 0u) << LogText(log);
  EXPECT_EQ(net->Name, "SeatLIN");
  EXPECT_EQ(net->Type, kNetTypeLIN20);
  EXPECT_EQ(net->DynamicMsgIds[48], kMsgIdDynamic);
  EXPECT_EQ(net->DynamicMsgIds[47], kMsgIdNotDynamic);

  // Nodes and interfaces.
  ASSERT_EQ(ram.Nodes.Count(), 3);
  TNode* master = ram.Nodes[0];
  EXPECT_EQ(master->Name, "SeatCtrl");
  EXPECT_EQ(master->FrameProcessingPeriod, 5000);
  EXPECT_EQ(master->JitterTime, 100);
  TIfc* m = master->Ifcs[0];
  EXPECT_EQ(m->IfcType, kIfcLINMaster);
  EXPECT_EQ(net->GetMasterInterface(), m);
  TIfc* motor = ram.Nodes[1]->Ifcs[0];
  TIfc* heater = ram.Nodes[2]->Ifcs[0];
  EXPECT_EQ(motor->IfcType, kIfcLINSlave);
  EXPECT_EQ(motor->cfg_NAD, 2);
  EXPECT_EQ(motor->init_NAD, 2);
  EXPECT_EQ(motor->supplier_id, 0x1234);
  EXPECT_EQ(motor->function_id, 1);
  EXPECT_EQ(motor->variant_id, 3);
  EXPECT_FLOAT_EQ(motor->P2_min, 50);
  EXPECT_FLOAT_EQ(heater->ST_min, 10);
  ASSERT_NE(motor->response_error, nullptr);
  EXPECT_EQ(motor->response_error->Signal->Name, "MotorErr");
  ASSERT_EQ(heater->FrameMsgIds.Count(), 4);
  EXPECT_EQ(heater->FrameMsgIds[3]->MsgId, 0x2004);
  EXPECT_EQ(heater->FrameMsgIds[3]->NetFrame->Name, "SeatEvent");

  // Signals (the diagnostic ones are left to the library), publishers and subscribers.
  ASSERT_EQ(ram.Signals.Count(), 7);
  TSignal* serial = Named(ram.Signals, "HeaterSerial");
  EXPECT_EQ(serial->SignalType, kSignalBytes);
  EXPECT_EQ(serial->InitValue, 0x030201);
  EXPECT_EQ(Named(ram.Signals, "MotorErr")->SignalType, kSignalBoolean);
  EXPECT_EQ(Named(ram.Signals, "MotorPos")->InitValue, 0x100);
  EXPECT_EQ(ram.PubSigs.Count(), 7);
  EXPECT_EQ(ram.SubSigs.Count(), 7);
  EXPECT_EQ(heater->PubSigs.Count(), 3);

  // Frames, placements and holders.
  ASSERT_EQ(ram.NetFrames.Count(), 4);
  TNetFrame* status = Named(ram.NetFrames, "MotorStatus");
  EXPECT_EQ(status->FrameId, 0x11u);
  EXPECT_EQ(status->Size, 4);
  EXPECT_EQ(status->Ifc, motor);
  EXPECT_EQ(status->Network, net);
  ASSERT_EQ(status->NetSigs.Count(), 2);
  EXPECT_EQ(status->NetSigs[1]->Offset, 8);
  EXPECT_EQ(status->NetSigs[1]->Signal->Name, "MotorPos");
  ASSERT_EQ(ram.FrameHolders.Count(), 2);
  TFrameHolder* sporadic = ram.FrameHolders[0];
  TFrameHolder* event = ram.FrameHolders[1];
  EXPECT_EQ(sporadic->HolderType, kHolderSporadic);
  EXPECT_EQ(event->HolderType, kHolderEventTriggered);
  EXPECT_EQ(event->FrameId, 0x3Au);
  EXPECT_EQ(event->NetFrames.Count(), 2);
  EXPECT_EQ(event->Ifc, m);

  // Schedule tables.
  ASSERT_EQ(net->NetModes.Count(), 2);
  const TNetMode* normal = net->NetModes[0];
  const int32_t normalTypes[] = {kSchUnconditional, kSchEventTriggered, kSchUnconditional, kSchSporadic};
  ASSERT_EQ(normal->SchEntrys.Count(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(normal->SchEntrys[i]->Type, normalTypes[i]);
    EXPECT_EQ(normal->SchEntrys[i]->Order, i);
    EXPECT_EQ(normal->SchEntrys[i]->Delay, 10000);
  }
  const TNetMode* config = net->NetModes[1];
  const int32_t configTypes[] = {kSchAssignNAD,  kSchAssignFrameId, kSchUnAssignFrameId,
                                 kSchFreeFormat, kSchDiagRequest,   kSchDiagResponse};
  ASSERT_EQ(config->SchEntrys.Count(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(config->SchEntrys[i]->Type, configTypes[i]);
  EXPECT_EQ(config->SchEntrys[0]->GetName(), "AssignNAD {02, 02, 1234, 0001}");
  EXPECT_EQ(config->SchEntrys[1]->Ifc, heater);
  EXPECT_EQ(config->SchEntrys[2]->GetName(), "UnassignFrameId {SeatHeater, HeaterInfo}");
  EXPECT_EQ(config->SchEntrys[3]->GetName(), "FreeFormat {7F, 06, B5, FF, 7F, FF, FF, FF}");

  // Encodings.
  ASSERT_EQ(ram.EncTypes.Count(), 2);
  TEncType* pos = ram.EncTypes[1];
  EXPECT_EQ(Named(ram.Signals, "MotorPos")->EncType, pos);
  EXPECT_EQ(pos->Size, 16);
  ASSERT_EQ(pos->Encodes.Count(), 2);
  EXPECT_EQ(pos->Encodes[0]->Type, kEncodePhysical);
  EXPECT_EQ(pos->Encodes[0]->Max, 1000);
  EXPECT_FLOAT_EQ(pos->Encodes[0]->Scale, 0.1f);
  EXPECT_EQ(pos->Encodes[0]->Interpr, "mm");
  EXPECT_EQ(pos->Encodes[1]->Type, kEncodeLogical);
  EXPECT_EQ(pos->Encodes[1]->Min, 65535);
  EXPECT_EQ(pos->Encodes[1]->Interpr, "invalid");
}

TEST(LdfReader, WhatTheModelCannotHoldIsReportedOncePerItem) {
  TZOR_RAM ram;
  DiagnosticLog log;
  TNetwork* net = ImportFile(ram, InteropSample("lin21_cluster.ldf"), {}, log);
  ASSERT_NE(net, nullptr) << LogText(log);
  const std::string file = InteropSample("lin21_cluster.ldf");
  const char* expected[] = {
      ":3:1: warning: LIN protocol version \"2.1\" is held as \"LIN 2.0\"",
      ":13:1: warning: composite node configurations are not held; the composite section is dropped",
      ":38:16: warning: event triggered frame MirrorEvent: the collision resolving schedule table Collision is not held; it is dropped",
      ":48:5: warning: node MirrorL: fault_state_signals are not held; they are dropped",
      ":51:5: warning: node MirrorL: N_As_timeout is not held; it is dropped",
      ":52:5: warning: node MirrorL: N_Cr_timeout is not held; it is dropped",
      ":53:5: warning: node MirrorL: configurable frames without message ids are not held; their order is dropped",
      ":70:5: warning: schedule table Setup: ConditionalChangeNAD is not an entry kind of the model; it is held as a FreeFormat entry with its request bytes",
      ":71:5: warning: schedule table Setup: DataDump is not an entry kind of the model; it is held as a FreeFormat entry with its request bytes",
      ":72:5: warning: schedule table Setup: SaveConfiguration is not an entry kind of the model; it is held as a FreeFormat entry with its request bytes",
      ":73:5: warning: schedule table Setup: AssignFrameIdRange is not an entry kind of the model; it is held as a FreeFormat entry with its request bytes",
      ":74:5: warning: schedule table Setup: AssignFrameIdRange is not an entry kind of the model; it is held as a FreeFormat entry with its request bytes",
      ":81:5: warning: encoding type StateEnc: bcd_value is not held; it is dropped",
      ":82:5: warning: encoding type StateEnc: ascii_value is not held; it is dropped",
  };
  ASSERT_EQ(log.Items().size(), std::size(expected)) << LogText(log);
  for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(log.Items()[i].Format(), file + expected[i]);

  EXPECT_EQ(net->Name, "MirrorLIN");
  EXPECT_EQ(net->NetSpeed, 10417);
  TIfc* mirror = ram.Nodes[1]->Ifcs[0];
  EXPECT_FLOAT_EQ(mirror->ProtVer, 2.1f);
  EXPECT_EQ(mirror->init_NAD, 0x11);
  EXPECT_EQ(mirror->cfg_NAD, 0x10);
  EXPECT_EQ(mirror->FrameMsgIds.Count(), 0);
  // The node configuration commands become the master request bytes they stand for.
  const TNetMode* setup = net->NetModes[2];
  const char* names[] = {"AssignNAD {11, 10, 00AA, 0B0B}",
                         "FreeFormat {7F, 06, B3, 01, 03, 01, FF, 12}",
                         "FreeFormat {10, 06, B4, 10, 80, 00, FF, FF}",
                         "FreeFormat {10, 01, B6, FF, FF, FF, FF, FF}",
                         "FreeFormat {10, 06, B7, 00, 20, 61, FF, FF}",
                         "FreeFormat {10, 06, B7, 01, 61, FF, FF, FF}"};
  ASSERT_EQ(setup->SchEntrys.Count(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(setup->SchEntrys[i]->GetName(), names[i]);
}

TEST(LdfReader, EachDroppedOrApproximatedItemWarnsOnce) {
  struct Case {
    const char* text;  // after the header and a master M with slave S
    const char* warning;
  } cases[] = {
      {"Signal_groups { G: 8 { A, 0; } }", "c.ldf:4:1: warning: section Signal_groups is not held; it is dropped"},
      {"LIN_sig_encoding = 3;", "c.ldf:4:1: warning: statement LIN_sig_encoding is not held; it is dropped"},
      {"Signals { A: 8, 0, M; }\nDiagnostic_frames { MasterReq: 0x3B { } }",
       "c.ldf:5:21: warning: diagnostic frame MasterReq is not a standard MasterReq (0x3C) or SlaveResp (0x3D) frame; "
       "it is dropped"},
      {"Diagnostic_signals { Extra: 8, 0; }", "c.ldf:4:22: warning: diagnostic signal Extra is not held; it is dropped"},
      {"Signals { A: 64, {1, 2, 3, 4, 5, 6, 7, 8, 9}, M; }",
       "c.ldf:4:11: warning: signal A: initial bytes after the eighth are not held; they are dropped"},
      {"Signals { A: 8, 0, M; }\nFrames { F: 1, S, 1 { A, 0; } }",
       "c.ldf:5:23: warning: frame F: signal A is published by M, not by the frame's publisher S"},
      {"Signals { A: 8, 0, M; }\nNode_attributes { S { response_error = A; } }",
       "c.ldf:5:40: warning: node S: response_error signal A is not published by the node; it is dropped"},
      {"Node_attributes { S { LIN_protocol = \"J2602_1_1.0\"; } }",
       "c.ldf:4:23: warning: node S: LIN_protocol \"J2602_1_1.0\" is held as 2.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TZOR_RAM ram;
    DiagnosticLog log;
    std::string text = std::string("LIN_description_file;\nLIN_protocol_version = \"2.0\";\n") +
                       "Nodes { Master: M, 5 ms, 0 ms; Slaves: S; }\n" + c.text;
    ASSERT_NE(ImportLdf(ram, text, log), nullptr) << LogText(log);
    ASSERT_EQ(log.Items().size(), 1u) << LogText(log);
    EXPECT_EQ(log.Items()[0].Format(), c.warning);
  }
  TZOR_RAM ram;
  DiagnosticLog log;
  ASSERT_NE(ImportLdf(ram, "LIN_description_file;\nNodes { Master: M, 5 ms, 0.1 ms, 48 bits, 40 %; }", log), nullptr);
  EXPECT_EQ(LogText(log),
            "c.ldf:2:9: warning: master M: bit length and tolerance are not held; they are dropped\n"
            "c.ldf:1:1: warning: the file gives no LIN_protocol_version; the network is read as \"LIN 2.0\"\n");
}

TEST(LdfReader, Lin13ClusterTakesFrameSizesFromIdentifiers) {
  TZOR_RAM ram;
  DiagnosticLog log;
  TNetwork* net = ImportFile(ram, InteropSample("lin13_cluster.ldf"), {}, log);
  ASSERT_NE(net, nullptr) << LogText(log);
  EXPECT_EQ(log.Items().size(), 0u) << LogText(log);
  EXPECT_EQ(net->Type, kNetTypeLIN13);
  EXPECT_EQ(net->Name, "lin13_cluster");
  EXPECT_EQ(net->NetSpeed, 9600);
  EXPECT_EQ(ram.NetFrames[0]->Size, 2);
  EXPECT_EQ(ram.FrameHolders[0]->FrameId, 0x30u);
  EXPECT_EQ(net->NetModes[0]->SchEntrys[2]->Type, kSchDiagRequest);
}

TEST(LdfReader, SyntaxErrorsNamePlaceAndLeaveTheDatabaseUnchanged) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"LIN_description_file\nNodes {}", "c.ldf:2:1: error: expected ';', found 'Nodes'"},
      {"LIN_description_file;\nNodes { Master: M, 5 ms, 0 ms; Slaves: S; }\nSignals { A: 8, 0, X; }",
       "c.ldf:3:20: error: unknown node 'X'"},
      {"LIN_description_file;\nNodes { Master: M, 5 ms, 0 ms; }\nSignals { A: 8, 0, M; }\n"
       "Frames { F: 64, M, 1 { A, 0; } }",
       "c.ldf:4:13: error: value 64 is out of range (0 to 63)"},
      {"LIN_description_file;\nNodes { Master: M, 5 ms, 0 ms; }\nSignals { A: 8, 0, M; }\n"
       "Frames { F: 1, M, 1 { B, 0; } }",
       "c.ldf:4:23: error: unknown signal 'B'"},
      {"LIN_description_file;\nNodes { Master: M, 5 ms, 0 ms; }\nFrames { F: 1, M, 1 { } F: 2, M, 1 { } }",
       "c.ldf:3:25: error: frame 'F' is defined twice"},
      {"LIN_description_file;\nNodes { Master: M, 5 ms, 0 ms; }\nSchedule_tables { T { G delay 5 ms; } }",
       "c.ldf:3:23: error: unknown frame 'G'"},
      {"LIN_description_file;\nSchedule_tables { T { } }\nSchedule_tables { T { } }",
       "c.ldf:3:19: error: schedule table 'T' is defined twice"},
      {"LIN_description_file;\nSporadic_frames { H: F; }",
       "c.ldf:2:19: error: the master node must be defined before frame 'H'"},
      {"LIN_description_file;\nSignals { A: 65, 0, M; }", "c.ldf:2:14: error: value 65 is out of range (1 to 64)"},
      {"LIN_description_file;\nFoo { a { b }", "c.ldf:2:14: error: expected '}', found end of file"},
      {"LIN_description_file;\nNodes { Master: M, 5 ms, 0 ms; }\nSignals { A: 8, 0, M; }\n"
       "Frames { F: 1, M, 1 { A, 0; } }\nSchedule_tables { T { F delay 5 ms; } }\n"
       "Signal_encoding_types { E { logical_value, 1, \"x\"; } }\nSignal_representation { E: A; }\n;",
       "c.ldf:8:1: error: expected a section keyword, found ';'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TZOR_RAM ram;
    zortest::FindingLog quiet;
    ASSERT_FALSE(LoadFile(std::string(ZOR_SOURCE_DIR) + "/examples/can_lin.xml", &ram));
    DiagnosticLog log;
    int before = 0;
    ram.ForEachList([&](TList& l) { before += l.Count(); });
    EXPECT_EQ(ImportLdf(ram, c.text, log), nullptr);
    int after = 0;
    ram.ForEachList([&](TList& l) { after += l.Count(); });
    EXPECT_EQ(after, before);
    ASSERT_TRUE(log.HasErrors());
    EXPECT_EQ(log.Items().back().Format(), c.error);
  }
}

TEST(LdfReader, CheckFindsScheduleAndFrameFaultsOfAnImportedCluster) {
  TZOR_RAM ram;
  DiagnosticLog log;
  // 2 bytes at 19200 bit/s take 3333 us: a 3 ms slot is too short, a 4 ms slot
  // lacks the 40 % margin; Lonely is never scheduled.
  ASSERT_NE(ImportLdf(ram,
                      "LIN_description_file;\nLIN_protocol_version = \"2.0\";\nLIN_speed = 19.2 kbps;\n"
                      "Nodes { Master: M, 1 ms, 0 ms; Slaves: S; }\n"
                      "Signals { A: 8, 0, M, S; B: 8, 0, S, M; C: 8, 0, S, M; }\n"
                      "Frames { F: 0x01, M, 2 { A, 0; } G: 0x02, S, 2 { B, 0; } Lonely: 0x03, S, 1 { C, 0; } }\n"
                      "Node_attributes { S { LIN_protocol = \"2.0\"; configured_NAD = 0x05; product_id = 1, 2;\n"
                      "  configurable_frames { F = 0x10; G = 0x11; Lonely = 0x12; } } }\n"
                      "Schedule_tables { T { F delay 3 ms; G delay 4 ms; } }\n",
                      log),
            nullptr)
      << LogText(log);
  zortest::FindingLog findings;
  CheckDatabase(ram, 3);
  EXPECT_EQ(findings.Count(kEntryFrameTimeOverDelay), 1);
  EXPECT_EQ(findings.Count(kEntryShortDelay), 1);
  EXPECT_EQ(findings.Count(kFrameNotScheduled), 1);
  EXPECT_EQ(findings.Count(kNameNotUnique), 0);
}

TEST(LdfReader, LibraryDiagnosticFramesDoNotClashWithTheImport) {
  TZOR_RAM ram;
  DiagnosticLog log;
  TNetwork* net = ImportFile(ram, InteropSample("lin20_cluster.ldf"), {}, log);
  ASSERT_NE(net, nullptr);
  std::string before, after;
  ASSERT_TRUE(ExportText(ram, Format::Ldf, {}, before, log));
  _CreateLINdiagObjects(&ram);
  // The export leaves the generated frames to its own diagnostic sections.
  ASSERT_TRUE(ExportText(ram, Format::Ldf, {}, after, log));
  EXPECT_EQ(after, before);
  EXPECT_EQ(ram.NetFrames.Count(), 6);
  EXPECT_EQ(Named(ram.NetFrames, "MasterReq")->Ifc, net->GetMasterInterface());
  zortest::FindingLog findings;
  _CheckRAM(&ram, 3);  // runs the update pass first, as a host's check does
  EXPECT_EQ(findings.Count(kNameNotUnique), 0);                 // no name clash
  EXPECT_EQ(findings.Count(kSignalReservedForDiagnostics), 0);  // the update pass removed the reserved signals
}

}  // namespace
}  // namespace ZOR_RAM::interop
