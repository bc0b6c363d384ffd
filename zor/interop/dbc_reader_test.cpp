#include <gtest/gtest.h>

#include "tests/interop_support.h"
#include "tests/support.h"
#include "zor/env/env.h"
#include "zor/interface/check_driver.h"
#include "zor/interop/dbc.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/network/signal_group.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

namespace ZOR_RAM::interop {
namespace {

using zortest::InteropSampleText;

struct Imported {
  TZOR_RAM Ram;
  DiagnosticLog Log;
  TNetwork* Net = nullptr;

  explicit Imported(const std::string& text, ImportOptions options = {}) {
    Net = ImportText(Ram, Format::Dbc, "t.dbc", text, options, Log);
  }
  bool Warned(const std::string& part) const {
    for (const Diagnostic& d : Log.Items())
      if (d.Format().find(part) != std::string::npos) return true;
    return false;
  }
  TNetFrame* Frame(const std::string& name) { return Ram.FindByName(Ram.NetFrames, name); }
  TNetSig* Placement(const std::string& frame, const std::string& signal) {
    for (TNetSig* p : Frame(frame)->NetSigs)
      if (p->Signal->Name == signal) return p;
    return nullptr;
  }
  const TCDBAttribute* Value(const std::string& def, const std::string& obj = "") {
    for (TCDBAttribute* a : Net->AttributeValues)
      if (a->DefinitionName == def && (obj.empty() || a->SigName == obj || a->NodeName == obj || a->EnvName == obj))
        return a;
    return nullptr;
  }
};

TEST(DbcReader, RichSampleMapsEveryConcept) {
  Imported im(InteropSampleText("rich.dbc"));
  ASSERT_NE(im.Net, nullptr) << im.Log.Items().at(0).Format();
  TNetwork& net = *im.Net;
  EXPECT_EQ(net.Name, "Powertrain");  // DBName
  EXPECT_EQ(net.Version, "1.4");
  EXPECT_EQ(net.Symbols.size(), 7u);
  EXPECT_EQ(net.NetSpeed, 250000);  // Baudrate
  EXPECT_EQ(net.Type, kNetTypeCAN);

  // Nodes: BU_ first, then made-up ones, then the no-node sender.
  std::vector<std::string> nodes;
  for (TNode* n : im.Ram.Nodes) nodes.push_back(n->Name);
  EXPECT_EQ(nodes, (std::vector<std::string>{"Engine", "Gateway", "Dash", "Ghost", "Vector__XXX"}));
  EXPECT_TRUE(im.Warned("t.dbc:38:2: warning: node Ghost is not listed in BU_; added"));

  TNetFrame* engine = im.Frame("EngineData");
  EXPECT_EQ(engine->FrameId, 256u);
  EXPECT_EQ(engine->Size, 8);
  EXPECT_EQ(engine->Ifc->Node->Name, "Engine");
  EXPECT_EQ(engine->ByteOrder, kByteOrderLittleEndian);
  EXPECT_EQ(engine->TransportType, kTransportPeriodic);
  ASSERT_EQ(engine->TxFrameTimings.Count(), 1);
  EXPECT_EQ(engine->TxFrameTimings[0]->FramePeriod, 10000);
  EXPECT_EQ(im.Frame("Orphan")->TransportType, kTransportSporadic);
  TNetFrame* ext = im.Frame("J1939Like");
  EXPECT_EQ(ext->FrameId, 2566844926u);  // extended flag kept in bit 31
  EXPECT_EQ(ext->ByteOrder, kByteOrderBigEndian);

  // Placements: offsets counted in the frame's bit order.
  struct Case {
    const char* frame;
    const char* signal;
    int offset;
    int mux;
    int64_t muxValue;
  } cases[] = {
      {"EngineData", "EngineSpeed", 0, kMuxPlainSignal, 0}, {"EngineData", "CRC", 56, kMuxPlainSignal, 0},
      {"J1939Like", "Mode", 0, kMuxMultiplexor, 0},        {"J1939Like", "ValueA", 8, kMuxMultiplexed, 0},
      {"J1939Like", "ValueB", 8, kMuxMultiplexed, 1},      {"J1939Like", "Sub", 24, kMuxMultiplexed, 1},
      {"J1939Like", "Intel", 48, kMuxPlainSignal, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.frame) + "." + c.signal);
    TNetSig* p = im.Placement(c.frame, c.signal);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Offset, c.offset);
    EXPECT_EQ(p->Multiplexed, c.mux);
    EXPECT_EQ(p->MultiplexerValue, c.muxValue);
  }

  // Signals, scaling and value tables.
  TSignal* speed = im.Placement("EngineData", "EngineSpeed")->Signal;
  EXPECT_EQ(speed->Size, 16);
  EXPECT_EQ(speed->SignalType, kSignalUnsigned);
  ASSERT_EQ(speed->EncType->Encodes.Count(), 1);
  TEncode* phys = speed->EncType->Encodes[0];
  EXPECT_EQ(phys->Type, kEncodePhysical);
  EXPECT_EQ(phys->Min, 0);
  EXPECT_EQ(phys->Max, 65535);
  EXPECT_FLOAT_EQ(phys->Scale, 0.25f);
  EXPECT_EQ(phys->Interpr, "rpm");
  TSignal* temp = im.Placement("EngineData", "CoolantTemp")->Signal;
  EXPECT_EQ(temp->SignalType, kSignalSigned);
  EXPECT_EQ(temp->InitValue, 40);  // GenSigStartValue
  EXPECT_EQ(temp->EncType->Encodes[0]->Min, 0);
  EXPECT_EQ(temp->EncType->Encodes[0]->Max, 127);
  TEncType* gear = im.Placement("EngineData", "Gear")->Signal->EncType;
  ASSERT_EQ(gear->Encodes.Count(), 4);  // plain scaling: value descriptions only
  EXPECT_EQ(gear->Encodes[0]->Type, kEncodeLogical);
  EXPECT_EQ(gear->Encodes[0]->Min, 3);
  EXPECT_EQ(gear->Encodes[0]->Interpr, "Third");
  // One signal item for the same name and content; different receivers make two.
  EXPECT_NE(im.Placement("EngineData", "CRC")->Signal, nullptr);
  EXPECT_EQ(im.Placement("EngineData", "CRC")->Signal, im.Placement("DashStatus", "CRC")->Signal);

  // Senders publish, receivers subscribe.
  TIfc* dash = im.Ram.FindByName(im.Ram.Nodes, "Dash")->Ifcs[0];
  int dashSubs = 0;
  for (TSubSig* s : dash->SubSigs) dashSubs += s->Signal == speed;
  EXPECT_EQ(dashSubs, 1);
  EXPECT_EQ(engine->Ifc->PubSigs.Count(), 4);

  // Attributes: definitions, defaults and values of every kind.
  TCDBAttributeDef* mask = TCDBAttributeDef::FindInDatabase(im.Ram, "EnvMask");
  ASSERT_NE(mask, nullptr);
  EXPECT_EQ(mask->AttriType, kAttrHex);
  EXPECT_EQ(static_cast<uint32_t>(mask->MaxInt), 4294967295u);
  EXPECT_EQ(TCDBAttributeDef::FindInDatabase(im.Ram, "GenMsgSendType")->DefaultEnum, "Spontaneous");
  EXPECT_FLOAT_EQ(TCDBAttributeDef::FindInDatabase(im.Ram, "Scaling")->DefaultFloat, 1.5f);
  EXPECT_EQ(im.Value("NodeLayer", "Dash")->EnumValue, 1);
  EXPECT_FLOAT_EQ(im.Value("Scaling", "ValueA")->FloatValue, 0.1f);
  EXPECT_EQ(static_cast<uint32_t>(im.Value("EnvMask", "Voltage")->IntValue), 4294967295u);

  // What the model has no field for, under the reserved attributes.
  EXPECT_EQ(im.Value(dbc::kNetworkComment)->StringValue, "Network comment with \"quotes\"\nover two lines");
  EXPECT_EQ(im.Value(dbc::kSignalComment, "EngineSpeed")->StringValue, "Speed of the crankshaft");
  EXPECT_EQ(im.Value(dbc::kTransmitters)->StringValue, "Engine,Gateway");
  EXPECT_EQ(im.Value(dbc::kByteOrder, "Intel")->IntValue, 1);
  EXPECT_EQ(im.Value(dbc::kValueType, "Ratio")->IntValue, 1);
  EXPECT_EQ(im.Value(dbc::kMultiplexRole, "Sub")->StringValue, "m1M");
  EXPECT_EQ(im.Value(dbc::kValueTable)->StringValue, "GearTable 3 \"Third\" 2 \"Second\" 1 \"First\" 0 \"Neutral\"");
  EXPECT_EQ(im.Value(dbc::kEnvVarId, "Ignition")->IntValue, 1);
  EXPECT_TRUE(im.Warned("t.dbc:31:2: warning: signal Intel of frame J1939Like: its byte order differs"));
  EXPECT_TRUE(im.Warned("t.dbc:29:2: warning: signal Sub of frame J1939Like: extended multiplexing (m1M)"));

  // Environment variables in one group named after the network.
  ASSERT_NE(net.EnvGroup, nullptr);
  EXPECT_EQ(net.EnvGroup->Name, "Powertrain");
  EXPECT_EQ(net.EnvGroup->EnvIntList.Count(), 1);
  EXPECT_EQ(net.EnvGroup->EnvFloatList[0]->MaxValue, 15.5f);
  EXPECT_EQ(net.EnvGroup->EnvFloatList[0]->AccessType, kAccessReadWrite);
  EXPECT_EQ(net.EnvGroup->EnvStrList[0]->Nodes, (std::vector<std::string>{"Dash", "Gateway"}));
  EXPECT_EQ(net.EnvGroup->EnvDataList[0]->DataLength, 12);
  EXPECT_EQ(net.EnvGroup->EnvIntList[0]->EncType->Encodes.Count(), 2);

  ASSERT_EQ(net.SignalGroups.Count(), 1);
  EXPECT_EQ(net.SignalGroups[0]->Signals, (std::vector<std::string>{"EngineSpeed", "CoolantTemp"}));
}

TEST(DbcReader, MessyInputStillImports) {
  struct Case {
    const char* name;
    const char* text;
    const char* warning;  // part of the one warning expected, or "" for none
  } cases[] = {
      {"only NS_ and BS_", "NS_ :\n\tCM_\n\nBS_:\n", ""},
      {"CR LF and trailing blanks", "BU_: A  \r\nBO_ 1 F: 8 A  \r\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" A  \r\n", ""},
      {"exponent numbers", "BU_: A\nBO_ 1 F: 8 A\n SG_ S : 0|8@1+ (1E+000,0) [0|1E+002] \"\" A\n", ""},
      {"comment on unknown frame", "BU_: A\nCM_ BO_ 99 \"x\";\n", "t.dbc:2:1: warning: CM_: frame 99 is not in the file"},
      {"attribute on unknown signal", "BA_DEF_ SG_ \"X\" INT 0 9;\nBA_ \"X\" SG_ 5 Nope 3;\n",
       "t.dbc:2:1: warning: BA_: attribute X: signal Nope of frame 5 is not in the file"},
      {"undefined attribute", "BA_ \"Y\" 3;\n", "attribute Y is not defined"},
      {"skipped sections", "CAT_DEF_ 1 Cat 0 ;\nCAT_ BO_ 1 1 ;\nFILTER 0 1 ;\n",
       "t.dbc:1:1: warning: CAT_DEF_: 1 statement(s) skipped"},
      {"value descriptions of unknown signal", "VAL_ 7 S 1 \"a\" ;\n", "VAL_: signal S of frame 7 is not in the file"},
      {"bit timing", "BS_: 500 : 12,34\n", "t.dbc:1:1: warning: BS_: the bit timing is not kept"},
      {"node listed twice", "BU_: A A\n", "t.dbc:1:8: warning: BU_: node A is listed twice"},
      {"frame identifier twice", "BU_: A\nBO_ 1 F: 1 A\nBO_ 1 G: 1 A\n", "t.dbc:3:1: warning: frame G: identifier 1"},
      {"signal placed twice", "BU_: A\nBO_ 1 F: 2 A\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" A\n SG_ S : 8|8@1+ (1,0) [0|0] \"\" A\n",
       "t.dbc:4:2: warning: frame F: signal S is placed twice"},
      {"enum text not a value", "BA_DEF_ \"E\" ENUM \"a\",\"b\";\nBA_ \"E\" \"c\";\n", "\"c\" is not one of its values"},
      {"wrong object kind", "BU_: A\nBA_DEF_ BO_ \"X\" INT 0 9;\nBA_ \"X\" BU_ A 3;\n",
       "BA_: attribute X is not defined for a node"},
      {"integer beyond 32 bits", "BA_DEF_ \"X\" INT 0 9;\nBA_ \"X\" 1E+010;\n", "does not fit 32 bits"},
      {"limits beyond 32 bits", "BA_DEF_ \"X\" INT 0 1E+010;\n", "limits beyond 32 bits"},
      {"string variable range", "EV_ T: 2 [0|5] \"\" 0 0 DUMMY_NODE_VECTOR0 Vector__XXX;\n",
       "EV_: environment variable T holds no range"},
      {"data of unknown variable", "ENVVAR_DATA_ D: 4;\n", "ENVVAR_DATA_: environment variable D is not in the file"},
      {"value type of unknown signal", "SIG_VALTYPE_ 1 S : 2;\n", "SIG_VALTYPE_: signal S of frame 1"},
      {"transmitters of unknown frame", "BO_TX_BU_ 9 : A;\n", "BO_TX_BU_: frame 9 is not in the file"},
      {"default of undefined attribute", "BA_DEF_DEF_ \"Z\" 1;\n", "BA_DEF_DEF_: attribute Z is not defined"},
      {"group of unknown frame", "SIG_GROUP_ 5 G 1 : S;\n", "SIG_GROUP_: signal group G names frame 5"},
      {"range beyond the bits", "BU_: A\nBO_ 1 F: 1 A\n SG_ S : 0|4@1+ (1,0) [0|100] \"\" A\n",
       "the range [0|100] exceeds what 4 bits hold"},
      // Receivers follow on the line where a unit over two lines ends (as the writer puts them).
      {"unit over two lines", "BU_: A B\nBO_ 1 F: 1 A\n SG_ S : 0|8@1+ (1,0) [0|0] \"two\nlines\" B\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Imported im(c.text);
    ASSERT_NE(im.Net, nullptr) << (im.Log.Items().empty() ? "" : im.Log.Items()[0].Format());
    if (*c.warning) {
      EXPECT_TRUE(im.Warned(c.warning)) << (im.Log.Items().empty() ? "no warning" : im.Log.Items()[0].Format());
    } else {
      EXPECT_EQ(im.Log.Items().size(), 0u);
    }
  }
}

TEST(DbcReader, SyntaxErrorsNamePlaceAndLeaveDatabaseUnchanged) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"BO_ 1 F 8 A\n", "t.dbc:1:9: error: expected ':', found number 8"},
      {"BO_ 1 F: 8 A\n SG_ S : 0|8@2+ (1,0) [0|0] \"\" A\n", "t.dbc:2:14: error: expected a byte order (0 or 1)"},
      {"BO_ 1 F: 8 A\n SG_ S x3 : 0|8@1+ (1,0) [0|0] \"\" A\n", "t.dbc:2:8: error: expected a multiplexer indicator"},
      {"BO_ 1 F: 8 A\n SG_ S : 0|8@1* (1,0) [0|0] \"\" A\n", "t.dbc:2:15: error: expected a value type (+ or -)"},
      {"CM_ \"open\n", "t.dbc:1:5: error: string is not closed"},
      {"BU_: A\nBO_ 1 F: 1 A\nhello\n", "t.dbc:3:1: error: expected a DBC keyword, found 'hello'"},
      {"BA_DEF_ \"X\" WORD;\n", "t.dbc:1:13: error: expected an attribute type"},
      {"BO_ 1 F: 65 A\n", "t.dbc:1:10: error: value 65 is out of range"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TZOR_RAM ram;
    DiagnosticLog log;
    EXPECT_EQ(ImportText(ram, Format::Dbc, "t.dbc", std::string("BU_: Z\n") + "", {}, log) != nullptr, true);
    int nodes = ram.Nodes.Count(), networks = ram.Networks.Count();
    DiagnosticLog bad;
    EXPECT_EQ(ImportText(ram, Format::Dbc, "t.dbc", c.text, {}, bad), nullptr);
    ASSERT_TRUE(bad.HasErrors());
    EXPECT_EQ(bad.Items().back().Format().rfind(c.error, 0), 0u) << bad.Items().back().Format();
    EXPECT_EQ(ram.Nodes.Count(), nodes);
    EXPECT_EQ(ram.Networks.Count(), networks);
  }
}

TEST(DbcReader, Utf8AndCodePageTextsAgree) {
  Imported utf8("BU_: A\nBO_ 1 F: 1 A\n SG_ T : 0|8@1+ (1,0) [0|0] \"\xC2\xB0" "C\" A\n");
  Imported cp1252("BU_: A\nBO_ 1 F: 1 A\n SG_ T : 0|8@1+ (1,0) [0|0] \"\xB0" "C\" A\n");
  ASSERT_NE(utf8.Net, nullptr);
  ASSERT_NE(cp1252.Net, nullptr);
  EXPECT_EQ(utf8.Placement("F", "T")->Signal->Unit, "\xB0" "C");
  EXPECT_EQ(cp1252.Placement("F", "T")->Signal->Unit, "\xB0" "C");
}

TEST(DbcReader, OptionsAndProtocol) {
  Imported named("BA_DEF_ \"ProtocolType\" STRING;\nBA_ \"ProtocolType\" \"J1939\";\n", {"Bus", 125000});
  ASSERT_NE(named.Net, nullptr);
  EXPECT_EQ(named.Net->Name, "Bus");
  EXPECT_EQ(named.Net->NetSpeed, 125000);
  EXPECT_EQ(named.Net->Type, kNetTypeJ1939);
  // Long J1939 frames are marked for the multi-packet protocol, and written without the mark.
  Imported j1939("BA_DEF_ \"ProtocolType\" STRING;\nBA_ \"ProtocolType\" \"J1939\";\nBU_: A\n"
                 "BO_ 2566844926 Long: 20 A\nBO_ 2566844927 Short: 8 A\n");
  EXPECT_EQ(j1939.Frame("Long")->FrameId, 2566844926u | kJ1939MultiPacketBit);
  EXPECT_EQ(j1939.Frame("Short")->FrameId, 2566844927u);
  std::string text;
  ASSERT_TRUE(ExportText(j1939.Ram, Format::Dbc, {}, text, j1939.Log));
  EXPECT_NE(text.find("BO_ 2566844926 Long: 20 A\n"), std::string::npos) << text;
  Imported plain("BU_: A\n");
  EXPECT_EQ(plain.Net->Name, "t");
  EXPECT_EQ(plain.Net->NetSpeed, dbc::kDefaultSpeed);
}

TEST(DbcReader, ImportedSampleChecksWithoutSpuriousFindings) {
  zortest::FindingLog findings;
  Imported im(InteropSampleText("clean.dbc"));
  ASSERT_NE(im.Net, nullptr);
  EXPECT_EQ(im.Log.Items().size(), 0u);
  CheckDatabase(im.Ram, 3);
  std::string all;
  for (const std::string& t : findings.Texts) all += t + "\n";
  EXPECT_EQ(all, "");
}

}  // namespace
}  // namespace ZOR_RAM::interop
