#include <gtest/gtest.h>

#include "tests/builder.h"
#include "tests/interop_support.h"
#include "tests/support.h"
#include "zor/interface/file_frame.h"
#include "zor/interop/interop.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"

namespace ZOR_RAM::interop {
namespace {

using zortest::InteropSample;
using zortest::LogText;
using zortest::Named;

std::string ExportLdf(TZOR_RAM& ram, DiagnosticLog& log, const std::string& network = "") {
  std::string text;
  EXPECT_TRUE(ExportText(ram, Format::Ldf, {network}, text, log)) << LogText(log);
  return text;
}

std::string SavedConfiguration(TZOR_RAM& ram, const std::string& name) {
  std::string path = zortest::TempPath(name);
  EXPECT_FALSE(SaveFile(ram, path));
  return zortest::ReadFile(path);
}

TEST(LdfWriter, LdfToConfigurationAndBackIsStable) {
  for (const char* sample : {"lin13_cluster.ldf", "lin20_cluster.ldf", "lin21_cluster.ldf"}) {
    SCOPED_TRACE(sample);
    TZOR_RAM first;
    DiagnosticLog log;
    ASSERT_NE(ImportFile(first, InteropSample(sample), {}, log), nullptr) << LogText(log);
    std::string ldf = ExportLdf(first, log);
    std::string config = SavedConfiguration(first, "ldf_rt_1.xml");

    TZOR_RAM second;
    DiagnosticLog again;
    ASSERT_NE(ImportText(second, Format::Ldf, sample, ldf, {}, again), nullptr) << LogText(again) << ldf;
    EXPECT_EQ(again.WarningCount(), 0) << LogText(again);
    EXPECT_EQ(SavedConfiguration(second, "ldf_rt_2.xml"), config);
    EXPECT_EQ(ExportLdf(second, again), ldf);
  }
}

TEST(LdfWriter, WritesTheSectionsOfTheProtocolVersion) {
  TZOR_RAM ram;
  DiagnosticLog log;
  ASSERT_NE(ImportFile(ram, InteropSample("lin20_cluster.ldf"), {}, log), nullptr);
  std::string ldf = ExportLdf(ram, log);
  for (const char* part :
       {"LIN_protocol_version = \"2.0\";\n", "LIN_speed = 19.2 kbps;\n", "Channel_name = \"SeatLIN\";\n",
        "  Master: SeatCtrl, 5 ms, 0.1 ms;\n  Slaves: SeatMotor, SeatHeater;\n",
        "  HeaterSerial: 24, {0x01, 0x02, 0x03}, SeatHeater, SeatCtrl;\n", "  MotorStatus: 0x11, SeatMotor, 4 {\n",
        "Sporadic_frames {\n  SeatSporadic: SeatCommand;\n}", "  SeatEvent: 0x3A, MotorStatus, HeaterStatus;\n",
        "  MasterReq: 0x3C {\n    MasterReqB0, 0;\n",
        "    product_id = 0x1234, 0x0001, 3;\n    response_error = MotorErr;\n    P2_min = 50 ms;\n",
        "      SeatEvent = 0x2004;\n", "    AssignNAD { SeatMotor } delay 15 ms;\n",
        "    UnassignFrameId { SeatHeater, HeaterInfo } delay 15 ms;\n", "    physical_value, 0, 1000, 0.1, 0, \"mm\";\n",
        "  PosEnc: MotorPos;\n", "Dynamic_frames {\n  48, 49;\n}\n"}) {
    EXPECT_NE(ldf.find(part), std::string::npos) << part << "\n" << ldf;
  }
  EXPECT_EQ(ldf.find("initial_NAD"), std::string::npos);

  TZOR_RAM lin13;
  ASSERT_NE(ImportFile(lin13, InteropSample("lin13_cluster.ldf"), {}, log), nullptr);
  ldf = ExportLdf(lin13, log);
  EXPECT_NE(ldf.find("LIN_protocol_version = \"1.3\";\n"), std::string::npos);
  EXPECT_EQ(ldf.find("Node_attributes"), std::string::npos);
  EXPECT_EQ(log.WarningCount(), 0) << LogText(log);
}

TEST(LdfWriter, ConfigurationToLdfKeepsWhatLdfCarries) {
  TZOR_RAM ram;
  zortest::FindingLog quiet;
  ASSERT_FALSE(LoadFile(std::string(ZOR_SOURCE_DIR) + "/examples/can_lin.xml", &ram));
  DiagnosticLog log;
  std::string ldf = ExportLdf(ram, log);
  EXPECT_EQ(log.WarningCount(), 0) << LogText(log);

  TZOR_RAM back;
  TNetwork* net = ImportText(back, Format::Ldf, "door.ldf", ldf, {}, log);
  ASSERT_NE(net, nullptr) << LogText(log) << ldf;
  TNetwork* orig = ram.Networks[1];
  EXPECT_EQ(net->Name, orig->Name);
  EXPECT_EQ(net->Type, orig->Type);
  EXPECT_EQ(net->NetSpeed, orig->NetSpeed);
  auto sameFrame = [](const TNetFrame* a, const TNetFrame* b) {
    SCOPED_TRACE(a->Name);
    EXPECT_EQ(a->Name, b->Name);
    EXPECT_EQ(a->FrameId, b->FrameId);
    EXPECT_EQ(a->Size, b->Size);
    EXPECT_EQ(a->Ifc->Node->Name, b->Ifc->Node->Name);
    ASSERT_EQ(a->NetSigs.Count(), b->NetSigs.Count());
    for (int i = 0; i < a->NetSigs.Count(); ++i) {
      EXPECT_EQ(a->NetSigs[i]->Offset, b->NetSigs[i]->Offset);
      EXPECT_EQ(a->NetSigs[i]->Signal->Name, b->NetSigs[i]->Signal->Name);
      EXPECT_EQ(a->NetSigs[i]->Signal->Size, b->NetSigs[i]->Signal->Size);
      EXPECT_EQ(a->NetSigs[i]->Signal->InitValue, b->NetSigs[i]->Signal->InitValue);
    }
  };
  ASSERT_EQ(back.NetFrames.Count(), 2);
  for (const char* name : {"DoorCommand", "DoorState"}) sameFrame(Named(ram.NetFrames, name), Named(back.NetFrames, name));
  ASSERT_EQ(back.FrameHolders.Count(), 2);
  for (const char* name : {"DoorEvent", "DoorSporadic"}) {
    const TFrameHolder* a = Named(ram.FrameHolders, name);
    const TFrameHolder* h = Named(back.FrameHolders, name);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->HolderType, a->HolderType);
    EXPECT_EQ(h->NetFrames[0]->Name, a->NetFrames[0]->Name);
  }
  EXPECT_EQ(Named(back.FrameHolders, "DoorEvent")->FrameId, 18u);
  ASSERT_EQ(net->NetModes.Count(), 1);
  for (int i = 0; i < 3; ++i) {
    const TSchEntry* a = orig->NetModes[0]->SchEntrys[i];
    const TSchEntry* b = net->NetModes[0]->SchEntrys[i];
    EXPECT_EQ(a->Type, b->Type);
    EXPECT_EQ(a->Delay, b->Delay);
    EXPECT_EQ(a->TxFrame->Name, b->TxFrame->Name);
  }
  TIfc* slave = net->GetSlaveInterface();
  TIfc* origSlave = orig->GetSlaveInterface();
  EXPECT_EQ(slave->cfg_NAD, origSlave->cfg_NAD);
  EXPECT_EQ(slave->supplier_id, origSlave->supplier_id);
  ASSERT_EQ(slave->FrameMsgIds.Count(), 3);
  EXPECT_EQ(slave->FrameMsgIds[2]->MsgId, 4099);
  EXPECT_EQ(slave->FrameMsgIds[2]->NetFrame->Name, "DoorEvent");
  // The gatewayed VehicleSpeed is published by the gateway node; both encodings are used on LIN.
  EXPECT_EQ(back.NetFrames[0]->NetSigs[1]->Signal->Name, "VehicleSpeed");
  ASSERT_EQ(back.EncTypes.Count(), 2);
  EXPECT_EQ(back.EncTypes[0]->Name, ram.EncTypes[0]->Name);
  EXPECT_EQ(back.Signals[0]->EncType, back.EncTypes[0]);
}

TEST(LdfWriter, WhatLdfCannotDescribeIsReported) {
  TZOR_RAM ram;
  zortest::Builder b{ram};
  TNetwork* net = b.Network("Old", kNetTypeLIN13, 9600);
  TIfc* m = b.Ifc(b.Node("M"), "M_LIN", kIfcLINMaster, net);
  TNetFrame* f = b.Frame(m, "F", 1, 2);
  b.Place(f, b.Signal("A", 8));
  TFrameHolder* h = b.Holder(m, "Spo", 0, kHolderSporadic);
  h->NetFrames.Add(f);
  TNetMode* mode = ram.NewItem(ram.NetModes);
  mode->Name = "T";
  mode->Network = net;
  net->NetModes.Add(mode);
  TSchEntry* e = ram.NewItem(ram.SchEntries);
  e->NetMode = mode;
  e->Type = kSchFreeFormat;
  mode->SchEntrys.Add(e);
  DiagnosticLog log;
  std::string ldf = ExportLdf(ram, log);
  const char* expected[] = {
      "warning: signal A has no publisher on network Old; the master is written as its publisher",
      "warning: sporadic frame Spo cannot be described in LIN 1.3; it is not written",
      "warning: schedule table T: entry 0 (Free Format) cannot be described in LIN 1.3; it is not written",
  };
  ASSERT_EQ(log.Items().size(), std::size(expected)) << LogText(log);
  for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(log.Items()[i].Format(), expected[i]);
  EXPECT_EQ(ldf.find("Spo"), std::string::npos);
}

TEST(LdfWriter, CExportsImportAndExport) {
  // The exports return true on failure.
  zortest::MessageCapture quiet;
  TZOR_RAM* ram = _NewRAM();
  ASSERT_FALSE(_ImportLDF(ram, InteropSample("lin20_cluster.ldf").c_str(), nullptr));
  std::string out = zortest::TempPath("ldf_export.ldf");
  ASSERT_FALSE(_ExportLDF(ram, out.c_str(), "SeatLIN"));
  EXPECT_TRUE(_ExportLDF(ram, out.c_str(), "NoSuch"));
  TZOR_RAM* again = _NewRAM();
  EXPECT_FALSE(_ImportLDF(again, out.c_str(), nullptr));
  EXPECT_EQ(again->NetFrames.Count(), ram->NetFrames.Count());
  EXPECT_TRUE(_ImportLDF(again, InteropSample("missing.ldf").c_str(), nullptr));
  EXPECT_EQ(quiet.Errors.size(), 2u);
  _FreeRAM(again);
  _FreeRAM(ram);
}

}  // namespace
}  // namespace ZOR_RAM::interop
