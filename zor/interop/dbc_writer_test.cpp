#include <gtest/gtest.h>

#include "tests/interop_support.h"
#include "tests/support.h"
#include "zor/interface/file_frame.h"
#include "zor/interop/dbc.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/node/node.h"
#include "zor/zor.h"

namespace ZOR_RAM::interop {
namespace {

using zortest::InteropSampleText;

// Imports text, saves the configuration and exports the network again.
struct Trip {
  std::string Config;
  std::string Dbc;
};

Trip RoundTrip(const std::string& text, const std::string& tag) {
  TZOR_RAM ram;
  DiagnosticLog log;
  Trip t;
  ImportOptions options;
  options.NetworkName = "Bus";
  if (!ImportText(ram, Format::Dbc, tag + ".dbc", text, options, log)) {
    ADD_FAILURE() << log.Items().back().Format();
    return t;
  }
  std::string path = zortest::TempPath("dbc_trip_" + tag + ".xml");
  EXPECT_FALSE(SaveFile(ram, path));
  t.Config = zortest::ReadFile(path);
  EXPECT_TRUE(ExportText(ram, Format::Dbc, {}, t.Dbc, log));
  return t;
}

TEST(DbcWriter, DbcConfigDbcConfigIsByteIdentical) {
  for (const char* sample : {"rich.dbc", "clean.dbc"}) {
    SCOPED_TRACE(sample);
    Trip first = RoundTrip(InteropSampleText(sample), "a");
    Trip second = RoundTrip(first.Dbc, "b");
    EXPECT_EQ(first.Config, second.Config);
    EXPECT_EQ(first.Dbc, second.Dbc);
    // A loaded configuration writes the same DBC as the imported one.
    TZOR_RAM loaded;
    std::string path = zortest::TempPath("dbc_trip_load.xml");
    zortest::WriteFile(path, first.Config);
    ASSERT_FALSE(LoadFile(path, &loaded));
    std::string again;
    DiagnosticLog log;
    ASSERT_TRUE(ExportText(loaded, Format::Dbc, {}, again, log));
    EXPECT_EQ(again, first.Dbc);
  }
}

TEST(DbcWriter, ValuesComeBackExactly) {
  Trip t = RoundTrip(InteropSampleText("rich.dbc"), "v");
  for (const char* line : {
           " SG_ EngineSpeed : 0|16@1+ (0.25,0) [0|16383.75] \"rpm\" Gateway,Dash\n",
           " SG_ CoolantTemp : 16|8@1- (1,-40) [-40|87] \"degC\" Dash\n",
           " SG_ Sub m1M : 31|8@0+ (1,0) [0|255] \"\" Dash\n",
           " SG_ Intel : 48|8@1+ (1,0) [0|255] \"\" Dash\n",
           " SG_ ValueA m0 : 15|16@0+ (0.1,0) [0|6553.5] \"V\" Dash\n",
           "BO_ 2566844926 J1939Like: 8 Gateway\n",
           "BO_ 768 Orphan: 1 Vector__XXX\n",
           "BO_TX_BU_ 256 : Engine,Gateway;\n",
           "EV_ Blob: 0 [0|0] \"\" 0 4 DUMMY_NODE_VECTOR8002 Vector__XXX;\n",
           "ENVVAR_DATA_ Blob: 12;\n",
           "CM_ \"Network comment with \\\"quotes\\\"\nover two lines\";\n",
           "CM_ SG_ 256 EngineSpeed \"Speed of the crankshaft\";\n",
           "BA_DEF_ EV_  \"EnvMask\" HEX 0 4294967295;\n",
           "BA_ \"EnvMask\" EV_ Voltage 4294967295;\n",
           "BA_ \"GenMsgCycleTime\" BO_ 256 10;\n",
           "BA_REL_ \"RelTimeout\" BU_SG_REL_ Dash SG_ 256 EngineSpeed 50;\n",
           "VAL_ 256 Gear 3 \"Third\" 2 \"Second\" 1 \"First\" 0 \"Neutral\" ;\n",
           "VAL_TABLE_ GearTable 3 \"Third\" 2 \"Second\" 1 \"First\" 0 \"Neutral\" ;\n",
           "SIG_GROUP_ 256 EngineGroup 1 : EngineSpeed CoolantTemp;\n",
           "SIG_VALTYPE_ 2566844926 Ratio : 1;\n",
           "SG_MUL_VAL_ 2566844926 Sub Mode 1-1, 3-5;\n",
       }) {
    EXPECT_NE(t.Dbc.find(line), std::string::npos) << line << "\n" << t.Dbc;
  }
}

// A configuration made without a DBC: what DBC carries comes back.
TEST(DbcWriter, ConfigurationDbcConfigurationKeepsCarriedFields) {
  TZOR_RAM ram;
  ASSERT_FALSE(LoadFile(ZOR_SOURCE_DIR "/examples/can_lin.xml", &ram));
  std::string text;
  DiagnosticLog log;
  ASSERT_TRUE(ExportText(ram, Format::Dbc, {}, text, log)) << log.Items().back().Format();
  TZOR_RAM back;
  ImportOptions options;
  options.NetworkName = "BodyCAN";
  TNetwork* net = ImportText(back, Format::Dbc, "b.dbc", text, options, log);
  ASSERT_NE(net, nullptr) << log.Items().back().Format();
  TNetwork* orig = ram.FindByName(ram.Networks, "BodyCAN");
  EXPECT_EQ(net->NetSpeed, orig->NetSpeed);
  TNetFrame* a = ram.FindByName(ram.NetFrames, "EngineData");
  TNetFrame* b = back.FindByName(back.NetFrames, "EngineData");
  ASSERT_NE(b, nullptr) << text;
  EXPECT_EQ(b->FrameId, a->FrameId);
  EXPECT_EQ(b->Size, a->Size);
  EXPECT_EQ(b->ByteOrder, a->ByteOrder);
  EXPECT_EQ(b->TransportType, a->TransportType);
  EXPECT_EQ(b->TxFrameTimings[0]->FramePeriod, a->TxFrameTimings[0]->FramePeriod);
  EXPECT_EQ(b->Ifc->Node->Name, a->Ifc->Node->Name);
  ASSERT_EQ(b->NetSigs.Count(), a->NetSigs.Count());
  TNetSig* pa = a->NetSigs[0];
  TNetSig* pb = b->NetSigs[0];
  EXPECT_EQ(pb->Offset, pa->Offset);
  EXPECT_EQ(pb->Signal->Name, pa->Signal->Name);
  EXPECT_EQ(pb->Signal->Size, pa->Signal->Size);
  EXPECT_EQ(pb->Signal->SignalType, pa->Signal->SignalType);
  TEncode* ea = pa->Signal->EncType->Encodes[0];
  TEncode* eb = pb->Signal->EncType->Encodes[0];
  EXPECT_EQ(eb->Min, ea->Min);
  EXPECT_EQ(eb->Max, ea->Max);
  EXPECT_EQ(eb->Scale, ea->Scale);
  EXPECT_EQ(eb->Interpr, ea->Interpr);
  EXPECT_EQ(back.FindByName(back.Nodes, "BodyGateway")->Ifcs[0]->SubSigs.Count(), 1);
}

TEST(DbcWriter, NamesThatAreNoIdentifiersAreMadeOne) {
  TZOR_RAM ram;
  DiagnosticLog log;
  ASSERT_NE(ImportText(ram, Format::Dbc, "c.dbc", InteropSampleText("clean.dbc"), {}, log), nullptr);
  ram.FindByName(ram.NetFrames, "DashStatus")->Name = "Dash Status";
  ram.FindByName(ram.Nodes, "Dash")->Name = "2nd-Dash";
  std::string text;
  ASSERT_TRUE(ExportText(ram, Format::Dbc, {}, text, log));
  EXPECT_NE(text.find("BO_ 512 Dash_Status: 2 _2nd_Dash\n"), std::string::npos) << text;
  EXPECT_EQ(log.Items().back().Format(), "warning: name \"Dash Status\" is not a DBC identifier; written as Dash_Status");
  TZOR_RAM back;
  EXPECT_NE(ImportText(back, Format::Dbc, "d.dbc", text, {}, log), nullptr);
}

TEST(DbcWriter, CExportsImportAndExport) {
  std::string in = zortest::TempPath("dbc_c_in.dbc"), out = zortest::TempPath("dbc_c_out.dbc");
  zortest::WriteFile(in, InteropSampleText("clean.dbc"));
  TZOR_RAM* ram = _NewRAM();
  ASSERT_FALSE(_ImportDBC(ram, in.c_str(), "", 0));
  ASSERT_FALSE(_ExportDBC(ram, out.c_str(), ""));
  EXPECT_NE(zortest::ReadFile(out).find("BO_ 512 DashStatus: 2 Dash"), std::string::npos);
  _FreeRAM(ram);
}

}  // namespace
}  // namespace ZOR_RAM::interop
