#include "zor/node/node.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/builder.h"
#include "tests/support.h"
#include "zor/check/findings.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"

namespace ZOR_RAM {
namespace {

using zortest::CaptureLines;
using zortest::MessageCapture;
using zortest::ParseXml;
using zortest::ReadItem;

using zortest::FindingLog;

std::vector<int> CheckCodes(TItemData* item, uint64_t flags = kCheckUnique | kCheckAll) {
  FindingLog log;
  item->Check(flags);
  return log.Codes;
}

// A database with one node "Ecu" to hang interfaces on.
struct Fixture {
  TZOR_RAM Ram;
  zortest::Builder Make{Ram};
  TNode* Node = Make.Node("Ecu");

  TIfc* AddIfc(const std::string& name, int32_t type, TNetwork* net) { return Make.Ifc(Node, name, type, net); }
  TNetwork* AddNetwork(const std::string& name, int32_t type) { return Make.Network(name, type); }
  Fixture() { Node->FrameProcessingPeriod = 1000; }
};

TEST(NodeXml, RoundTripsInEveryVersion) {
  for (const char* version : {"2.000", "1.201"}) {
    SCOPED_TRACE(version);
    const bool v2 = std::string(version) == "2.000";
    TZOR_RAM ram;
    ram.Version = version;
    std::unique_ptr<TQXMLDocument> doc;
    // Every field and one interface; the version-gated lines only in "2.000".
    const std::string text = zortest::Golden(std::string("zor/node/testdata/node_") + (v2 ? "2000" : "1201") + ".xml");
    TNode* node = ReadItem(ram, ram.Nodes, text, &doc);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(CaptureLines([&] { EXPECT_FALSE(node->WriteXml(true)); }), text);

    EXPECT_EQ(node->Name, "Body&Ecu");
    EXPECT_EQ(node->JitterTime, v2 ? 12 : 0);
    ASSERT_EQ(node->Ifcs.Count(), 1);
    TIfc* ifc = node->Ifcs[0];
    EXPECT_EQ(ifc->Node, node);
    EXPECT_EQ(ifc->serial_number, 4000000000u);
    EXPECT_FALSE(ifc->StartInCfgState);
    // Children are registered in the database and point back to their owner.
    ASSERT_EQ(ram.Ifcs.Count(), 1);
    ASSERT_EQ(ram.IfcModes.Count(), 1);
    ASSERT_EQ(ram.FrameMsgIds.Count(), 1);
    EXPECT_EQ(ram.IfcModes[0]->Ifc, ifc);
    EXPECT_EQ(ram.FrameMsgIds[0]->Ifc, ifc);
    EXPECT_EQ(ram.FrameMsgIds[0]->MsgId, 0x1234);
  }
}

TEST(NodeXml, OlderVersionKeepsGatedFields) {
  TZOR_RAM ram;
  ram.Version = "1.201";
  std::unique_ptr<TQXMLDocument> doc = ParseXml(
      "<Node><JitterTime>9</JitterTime><Ifcs></Ifcs></Node>");
  TNode* node = ram.NewItem(ram.Nodes);
  node->JitterTime = 4;
  ASSERT_FALSE(node->ReadXml(doc->GetRoot()));
  EXPECT_EQ(node->JitterTime, 4);
  std::string written = CaptureLines([&] { node->WriteXml(true); });
  EXPECT_EQ(written.find("JitterTime"), std::string::npos);

  // Version text compared without regard to case; reals truncate toward zero.
  ram.Version = "2.000";
  for (auto [text, expected] : std::vector<std::pair<const char*, int>>{
           {"12.9", 12}, {"-3.7", -3}, {"abc", 0}, {"1e20", 2147483647}, {"-1e20", -2147483647 - 1}}) {
    SCOPED_TRACE(text);
    doc = ParseXml(std::string("<Node><JitterTime>") + text + "</JitterTime></Node>");
    ASSERT_FALSE(node->ReadXml(doc->GetRoot()));
    EXPECT_EQ(node->JitterTime, expected);
  }
}

TEST(IfcXml, FieldForms) {
  struct Case {
    const char* xml;
    int32_t type;
    bool startInCfg;
  } cases[] = {
      {"<IfcType>lin slave</IfcType>", kIfcLINSlave, false},
      {"<IfcType>LIN MASTER</IfcType><StartInCfgState>5</StartInCfgState>", kIfcLINMaster, true},
      {"<IfcType>CAN 29</IfcType><StartInCfgState>1</StartInCfgState>", kIfcCAN, true},
      {"<IfcType>CAN 11</IfcType>", kIfcCAN, false},
      {"<IfcType>FlexRay</IfcType>", kIfcCAN, false},
      {"", kIfcCAN, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xml);
    TZOR_RAM ram;
    auto doc = ParseXml(std::string("<Ifc>") + c.xml + "</Ifc>");
    TIfc* ifc = ram.NewItem(ram.Ifcs);
    ifc->IfcType = 2;
    ASSERT_FALSE(ifc->ReadXml(doc->GetRoot()));
    EXPECT_EQ(ifc->IfcType, c.type);
    EXPECT_EQ(ifc->StartInCfgState, c.startInCfg);
  }

  // A single-precision version is written in the general form of its value,
  // which reads back to the same float.
  TZOR_RAM ram;
  TIfc* ifc = ram.NewItem(ram.Ifcs);
  ifc->ProtVer = 2.1f;
  ifc->IfcType = 7;
  std::string written = CaptureLines([&] { ifc->WriteXml(true); });
  EXPECT_NE(written.find("<ProtVer>2.09999990463257</ProtVer>"), std::string::npos);
  EXPECT_NE(written.find("<IfcType>Undefined</IfcType>"), std::string::npos);
  EXPECT_NE(written.find("<StartInCfgState>1</StartInCfgState>"), std::string::npos);
  EXPECT_EQ(written.find("<Network>"), std::string::npos);
}

TEST(NodeXml, WrongContainerChildFails) {
  struct Case {
    const char* xml;
    const char* error;
  } cases[] = {
      {"<Node><Ifcs><Gateway/></Ifcs></Node>", "Ifc expected but Gateway found."},
      {"<Node><Gateways><Ifc/></Gateways></Node>", "Gateway expected but Ifc found."},
      {"<Node><Ifcs><Ifc><IfcModes><FrameMsgId/></IfcModes></Ifc></Ifcs></Node>",
       "IfcMode expected but FrameMsgId found."},
      {"<Node><Ifcs><Ifc><MOSTFBlockInstances><X/></MOSTFBlockInstances></Ifc></Ifcs></Node>",
       "MOSTFBlockInstance expected but X found."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xml);
    MessageCapture messages;
    TZOR_RAM ram;
    std::unique_ptr<TQXMLDocument> doc;
    bool failed = false;
    ReadItem(ram, ram.Nodes, c.xml, &doc, &failed);
    EXPECT_TRUE(failed);
    EXPECT_EQ(messages.Errors, std::vector<std::string>{c.error});
  }
}

TEST(NodeXml, RereadingReplacesChildren) {
  TZOR_RAM ram;
  std::unique_ptr<TQXMLDocument> doc;
  TNode* node =
      ReadItem(ram, ram.Nodes, "<Node><Ifcs><Ifc><Name>A</Name></Ifc><Ifc><Name>B</Name></Ifc></Ifcs></Node>", &doc);
  ASSERT_EQ(ram.Ifcs.Count(), 2);
  auto doc2 = ParseXml("<Node><Ifcs><Ifc><Name>C</Name></Ifc></Ifcs></Node>");
  ASSERT_FALSE(node->ReadXml(doc2->GetRoot()));
  ASSERT_EQ(node->Ifcs.Count(), 1);
  ASSERT_EQ(ram.Ifcs.Count(), 1);
  EXPECT_EQ(ram.Ifcs[0]->Name, "C");
}

TEST(NodeLinks, ResolvesReferencesByIdentifier) {
  TZOR_RAM ram;
  TNetwork* net0 = ram.NewItem(ram.Networks);
  TNetwork* net1 = ram.NewItem(ram.Networks);
  TPubSig* pub = ram.NewItem(ram.PubSigs);
  pub->Id = "P&1";
  TNetFrame* frame = ram.NewItem(ram.NetFrames);
  frame->Id = "F";
  TFrameHolder* holder = ram.NewItem(ram.FrameHolders);
  holder->Id = "F";
  TNetFrame* other = ram.NewItem(ram.NetFrames);
  other->Id = "G";
  std::unique_ptr<TQXMLDocument> doc;
  TNode* node = ReadItem(ram, ram.Nodes,
                         "<Node><Ifcs>"
                         "<Ifc><Network>Network1</Network><response_error>P&amp;1</response_error>"
                         "<FrameMsgIds><FrameMsgId><NetFrame>F</NetFrame></FrameMsgId>"
                         "<FrameMsgId><NetFrame>G</NetFrame></FrameMsgId>"
                         "<FrameMsgId><NetFrame>none</NetFrame></FrameMsgId></FrameMsgIds></Ifc>"
                         "<Ifc><Network>network1</Network></Ifc>"
                         "</Ifcs></Node>",
                         &doc);
  node->ResolveLinks();
  TIfc* ifc = node->Ifcs[0];
  EXPECT_EQ(ifc->Network, net1);
  EXPECT_EQ(ifc->response_error, pub);
  EXPECT_EQ(ifc->FrameMsgIds[0]->NetFrame, holder);  // holders are searched first
  EXPECT_EQ(ifc->FrameMsgIds[1]->NetFrame, other);
  EXPECT_EQ(ifc->FrameMsgIds[2]->NetFrame, nullptr);
  EXPECT_EQ(node->Ifcs[1]->Network, nullptr);  // identifiers compare exactly

  // A link already set is kept.
  ifc->Network = net0;
  node->ResolveLinks();
  EXPECT_EQ(ifc->Network, net0);
  std::string written = CaptureLines([&] { ifc->WriteXml(false); });
  EXPECT_NE(written.find("<Network>Network0</Network>\r\n<response_error>P&amp;1</response_error>"),
            std::string::npos);
}

TEST(NodeNames, DisplayNamesAreBuiltOnceTheirPartsExist) {
  Fixture f;
  TIfc* ifc = f.AddIfc("Can1", kIfcCAN, nullptr);
  TIfcMode* mode = f.Ram.NewItem(f.Ram.IfcModes);
  mode->Name = "Sleep";
  TFrameMsgId* msgId = f.Ram.NewItem(f.Ram.FrameMsgIds);
  msgId->Ifc = ifc;
  EXPECT_EQ(mode->GetDisplayName(), "");
  EXPECT_EQ(msgId->GetDisplayName(), "");
  mode->Ifc = ifc;
  msgId->NetFrame = f.Ram.NewItem(f.Ram.NetFrames);
  msgId->NetFrame->Name = "Status";
  msgId->NetFrame->Ifc = ifc;
  EXPECT_EQ(f.Node->GetDisplayName(), "Ecu");
  EXPECT_EQ(ifc->GetDisplayName(), "Ecu.Can1");
  EXPECT_EQ(mode->GetDisplayName(), "Ecu.Can1.Sleep");
  EXPECT_EQ(msgId->GetDisplayName(), "Ecu.Can1.Ecu.Can1.Status");
  EXPECT_EQ(msgId->GetName(), "Status");
  ifc->Name = "Renamed";
  EXPECT_EQ(ifc->GetDisplayName(), "Ecu.Can1");  // cached
}

TEST(IfcQueries, ProtocolClass) {
  struct Case {
    int32_t netType;  // -1: no network
    int32_t ifcType;
    float protVer;
    int expected;
  } cases[] = {
      {-1, kIfcLINSlave, 2.0f, 1},          {kNetTypeLIN10, kIfcLINSlave, 2.0f, 0},
      {kNetTypeLIN11, kIfcLINMaster, 0, 0}, {kNetTypeLIN12, kIfcLINSlave, 2.0f, 1},
      {kNetTypeLIN13, kIfcLINSlave, 0, 1},  {kNetTypeLIN20, kIfcLINMaster, 2.0f, 1},
      {kNetTypeLIN20, kIfcLINSlave, 2.0f, 2}, {kNetTypeLIN20, kIfcLINSlave, 2.1f, 2},
      {kNetTypeLIN20, kIfcLINSlave, 1.3f, 1}, {kNetTypeCAN, kIfcCAN, 0, 1},
      {kNetTypeJ1939, kIfcCAN, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.netType << " " << c.ifcType << " " << c.protVer);
    Fixture f;
    TIfc* ifc = f.AddIfc("I", c.ifcType, c.netType < 0 ? nullptr : f.AddNetwork("N", c.netType));
    ifc->ProtVer = c.protVer;
    EXPECT_EQ(ifc->ProtocolClass(), c.expected);
  }
}

TEST(IfcQueries, SubscriptionAndGatewayLookups) {
  Fixture f;
  TNetwork* net = f.AddNetwork("N", kNetTypeCAN);
  TIfc* ifc = f.AddIfc("I", kIfcCAN, net);
  TSignal* sig = f.Ram.NewItem(f.Ram.Signals);
  TNetSig* placed = f.Ram.NewItem(f.Ram.NetSigs);
  placed->Signal = sig;
  TNetSig* elsewhere = f.Ram.NewItem(f.Ram.NetSigs);
  elsewhere->Signal = sig;
  EXPECT_EQ(ifc->FindSubscriptionFor(placed), nullptr);

  TSubSig* sub = f.Make.Sub(ifc, sig);
  EXPECT_EQ(ifc->FindSubscriptionFor(placed), sub);
  sub->NetSig = elsewhere;  // names its source: only that placement matches
  EXPECT_EQ(ifc->FindSubscriptionFor(placed), nullptr);
  EXPECT_EQ(ifc->FindSubscriptionFor(elsewhere), sub);

  TGateway* source = f.Ram.NewItem(f.Ram.Gateways);
  TGateway* gw = f.Ram.NewItem(f.Ram.Gateways);
  gw->OutIfc = ifc;
  gw->Signal = sig;
  gw->Gateway = source;
  f.Node->Gateways.Add(gw);
  EXPECT_EQ(ifc->FindGatewayFor(placed), nullptr);  // the placement records no source gateway
  placed->Gateway = source;
  EXPECT_EQ(ifc->FindGatewayFor(placed), gw);
  ifc->Node = nullptr;
  EXPECT_EQ(ifc->FindGatewayFor(placed), nullptr);

  TZORList<TNetFrame>* rx = ifc->GetRxFrames();
  ASSERT_NE(rx, nullptr);
  EXPECT_EQ(ifc->GetRxFrames(), rx);  // built once and kept
  ifc->Network = nullptr;
  EXPECT_EQ(ifc->GetRxFrames(), nullptr);
}

// The received-frame lists built for many interfaces at once equal those
// built one by one: subscriptions, node gateways and frame gateways make a
// frame received, other networks do not, a frame the network lists twice is
// received twice.
TEST(IfcQueries, ReceivedFramesBuiltTogetherMatchOneByOne) {
  auto build = [](TZOR_RAM& ram, bool together) {
    zortest::Builder make{ram};
    TNetwork* n1 = make.Network("N1", kNetTypeCAN);
    TNetwork* n2 = make.Network("N2", kNetTypeCAN);
    TNode* a = make.Node("A");
    TNode* b = make.Node("B");
    TNode* c = make.Node("C");
    TIfc* a1 = make.Ifc(a, "A1", kIfcCAN, n1);
    TIfc* b1 = make.Ifc(b, "B1", kIfcCAN, n1);
    TIfc* c1 = make.Ifc(c, "C1", kIfcCAN, n1);
    TIfc* b2 = make.Ifc(b, "B2", kIfcCAN, n2);
    TIfc* loose = make.Ifc(c, "Loose", kIfcCAN, nullptr);
    TSignal* s[4];
    for (TSignal*& sig : s) sig = ram.NewItem(ram.Signals);
    TNetFrame* f1 = make.Frame(a1, "F1");
    make.Place(f1, s[0]);
    make.Place(f1, s[1]);
    TNetFrame* f2 = make.Frame(a1, "F2");
    make.Place(f2, s[2]);
    make.Place(make.Frame(a1, "F3"), s[3]);
    b1->NetFrames.Add(f1);  // the network lists F1 twice
    make.Place(make.Frame(b2, "G1"), s[2]);
    make.Sub(b1, s[1]);
    make.Sub(b1, s[0]);  // a second reason for the same frame
    make.Sub(b2, s[2]);
    make.FrameGateway(c, c1, f2, nullptr, nullptr);
    make.Gateway(c, c1, nullptr, s[0]);
    make.Gateway(c, b1, nullptr, s[3]);  // in through another interface
    std::vector<TIfc*> ifcs = {a1, b1, c1, b2, loose, b1};
    if (together) TIfc::BuildRxFrames(ifcs);
    std::vector<std::vector<std::string>> names;
    for (TIfc* ifc : ifcs) {
      std::vector<std::string>& list = names.emplace_back();
      if (TZORList<TNetFrame>* rx = ifc->GetRxFrames())
        for (TNetFrame* frame : *rx) list.push_back(frame->Name);
    }
    return names;
  };
  TZOR_RAM one, together;
  const auto expected = build(one, false);
  EXPECT_EQ(build(together, true), expected);
  EXPECT_EQ(expected[1], (std::vector<std::string>{"F1", "F1"}));
  EXPECT_EQ(expected[2], (std::vector<std::string>{"F1", "F2", "F1"}));
}

TEST(NodeCheck, FrameProcessingPeriod) {
  struct Case {
    int32_t period;
    int32_t ifcType;
    std::vector<int> codes;
  } cases[] = {
      {0, kIfcLINSlave, {}},
      {0, kIfcCAN, {kProcessingPeriodRange}},
      {0, kIfcLINMaster, {kProcessingPeriodRange}},
      {65000, kIfcLINSlave, {}},
      {65001, kIfcLINSlave, {kProcessingPeriodRange}},
      {-1, kIfcLINSlave, {kProcessingPeriodRange}},
      {999, kIfcLINSlave, {kProcessingPeriodUnder1ms}},
      {1000, kIfcLINSlave, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.period);
    Fixture f;
    f.Node->FrameProcessingPeriod = c.period;
    f.AddIfc("I", c.ifcType, nullptr);
    EXPECT_EQ(CheckCodes(f.Node), c.codes);
  }
}

TEST(NodeCheck, InterfacesSharingANetwork) {
  Fixture f;
  TNetwork* net = f.AddNetwork("N", kNetTypeLIN13);
  f.AddIfc("A", kIfcLINSlave, net);
  f.AddIfc("Lone", kIfcLINSlave, nullptr);
  f.AddIfc("B", kIfcLINSlave, net);
  f.AddIfc("C", kIfcLINSlave, net);
  FindingLog log;
  f.Node->Check(kCheckAll);
  EXPECT_EQ(log.Codes, (std::vector<int>{kInterfacesShareNetwork, kInterfacesShareNetwork}));
  EXPECT_EQ(log.Texts, (std::vector<std::string>{
                           "The Interface \"A\" and \"B\" must belong to different network in the node \"Ecu\".",
                           "The Interface \"B\" and \"C\" must belong to different network in the node \"Ecu\"."}));
}

TEST(NodeCheck, NamesAndFlags) {
  Fixture f;
  TNode* twin = f.Ram.NewItem(f.Ram.Nodes);
  twin->Name = "Ecu";
  f.Node->Name = "Ecu";
  EXPECT_EQ(CheckCodes(f.Node, kCheckUnique), std::vector<int>{kNameNotUnique});
  EXPECT_EQ(CheckCodes(f.Node, kCheckAll), std::vector<int>{});
  EXPECT_EQ(CheckCodes(f.Node, 0), std::vector<int>{});
  twin->Name = "1st";
  EXPECT_EQ(CheckCodes(twin), std::vector<int>{kNameNotCLike});
  EXPECT_FALSE(f.Node->IsNameUsed("Ecu"));
  EXPECT_TRUE(f.Node->IsNameUsed("1st"));
  TNode detached;
  detached.Name = "x";
  EXPECT_EQ(CheckCodes(&detached), std::vector<int>{kNoRam});
}

TEST(IfcCheck, LinSlaveNad) {
  struct Case {
    float protVer;
    uint8_t nad;
    std::vector<int> codes;
  } cases[] = {
      {2.0f, 0x7E, {}},
      {2.0f, 0x7F, {kConfiguredNadRange7E}},
      {2.0f, 0, {kConfiguredNadRange7E}},
      {2.1f, 0x7F, {kConfiguredNadRange7E}},
      {1.3f, 0, {kConfiguredNadRangeFF}},
      {1.3f, 0xFF, {}},
      {2.2f, 0, {kConfiguredNadRangeFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.protVer << " " << int(c.nad));
    Fixture f;
    TIfc* ifc = f.AddIfc("S", kIfcLINSlave, f.AddNetwork("N", kNetTypeLIN20));
    ifc->ProtVer = c.protVer;
    ifc->cfg_NAD = c.nad;
    EXPECT_EQ(CheckCodes(ifc), c.codes);
  }

  // The same NAD on another slave of the network is reported once.
  Fixture f;
  TNetwork* net = f.AddNetwork("N", kNetTypeLIN20);
  TIfc* a = f.AddIfc("A", kIfcLINSlave, net);
  TIfc* b = f.AddIfc("B", kIfcLINSlave, net);
  TIfc* c = f.AddIfc("C", kIfcLINSlave, net);
  TIfc* master = f.AddIfc("M", kIfcLINMaster, net);
  for (TIfc* ifc : {a, b, c, master}) {
    ifc->ProtVer = 2.0f;
    ifc->cfg_NAD = 5;
  }
  c->cfg_NAD = 6;
  EXPECT_EQ(CheckCodes(a, kCheckAll), std::vector<int>{kConfiguredNadNotUnique});
  EXPECT_EQ(CheckCodes(c, kCheckAll), std::vector<int>{});
  master->cfg_NAD = 6;
  EXPECT_EQ(CheckCodes(c, kCheckAll), std::vector<int>{});  // only slaves count
}

TEST(IfcCheck, ContentCodes) {
  Fixture f;
  TNetwork* can = f.AddNetwork("Can", kNetTypeCAN);
  TNetwork* lin = f.AddNetwork("Lin", kNetTypeLIN12);
  TIfc* ifc = f.AddIfc("I", kIfcCAN, can);
  EXPECT_EQ(CheckCodes(ifc), (std::vector<int>{kNoInterfaceMode, kInterfaceNoController}));
  TIfcMode* mode = f.Ram.NewItem(f.Ram.IfcModes);
  ifc->IfcModes.Add(mode);
  TCtrl* ctrl = f.Ram.NewItem(f.Ram.Ctrls);
  ifc->Ctrls.Add(ctrl);
  EXPECT_EQ(CheckCodes(ifc), std::vector<int>{});
  ifc->IfcType = kIfcLINMaster;
  EXPECT_EQ(CheckCodes(ifc), std::vector<int>{kInterfaceNetworkTypeMismatch});
  ifc->Network = lin;
  EXPECT_EQ(CheckCodes(ifc), std::vector<int>{});
  ifc->IfcType = kIfcCAN;
  EXPECT_EQ(CheckCodes(ifc), std::vector<int>{kInterfaceNetworkTypeMismatch});
  ifc->IfcType = 3;
  ifc->Network = nullptr;
  ifc->Node = nullptr;
  EXPECT_EQ(CheckCodes(ifc), (std::vector<int>{kNoOwningNode, kNoNetwork, kTypeInvalid}));

  ifc->Node = f.Node;
  ifc->Network = lin;
  ifc->IfcType = kIfcLINMaster;
  for (int i = 0; i < 256; ++i) ifc->IfcModes.Add(mode);
  FindingLog log;
  ifc->Check(kCheckAll);
  EXPECT_EQ(log.Codes, std::vector<int>{kTooManyInterfaceModes});
  EXPECT_EQ(log.Sinks.Warnings.size(), 1u);
}

TEST(IfcCheck, NameUniqueWithinNode) {
  Fixture f;
  TIfc* a = f.AddIfc("Port", kIfcLINSlave, nullptr);
  f.AddIfc("Port", kIfcLINSlave, nullptr);
  FindingLog log;
  a->Check(kCheckUnique);
  EXPECT_EQ(log.Texts, std::vector<std::string>{"\"Port\" Interface Name is not unique in the Ecu Node."});
}

TEST(IfcCheck, NamesUsedByOthersAfterHostEdits) {
  Fixture f;
  TIfc* listed = f.AddIfc("Port", kIfcLINSlave, nullptr);
  TIfcMode* mode = f.Make.IfcMode(listed, "Run");
  // Long enough lists to be indexed during a check run.
  for (int i = 0; i < 20; ++i) {
    f.AddIfc("Other" + std::to_string(i), kIfcLINSlave, nullptr);
    f.Make.IfcMode(listed, "Mode" + std::to_string(i));
  }
  // Items that name their owner without being in its list.
  TIfc* stray = f.Ram.NewItem(f.Ram.Ifcs);
  stray->Name = "Port";
  stray->Node = f.Node;
  TIfcMode* strayMode = f.Make.IfcMode(nullptr, "Run");
  strayMode->Ifc = listed;
  for (bool inRun : {false, true}) {
    SCOPED_TRACE(inRun);
    if (inRun) f.Ram.BeginCheckRun();
    EXPECT_TRUE(stray->IsNameUsed("Port"));
    EXPECT_FALSE(listed->IsNameUsed("Port"));
    EXPECT_TRUE(strayMode->IsNameUsed("Run"));
    EXPECT_FALSE(mode->IsNameUsed("Run"));
    f.Ram.EndCheckRun();
  }
}

TEST(IfcModeCheck, Codes) {
  Fixture f;
  TIfc* ifc = f.AddIfc("Port", kIfcCAN, nullptr);
  TIfcMode* a = f.Make.IfcMode(ifc, "Run");
  TIfcMode* b = f.Make.IfcMode(ifc, "Run");
  FindingLog log;
  a->Check(kCheckUnique | kCheckAll);
  EXPECT_EQ(log.Texts,
            std::vector<std::string>{"\"Run\" Interface Mode Name is not unique in the Ecu / Port Interface."});
  b->Name = "Run 2";
  b->Ifc = nullptr;
  EXPECT_EQ(CheckCodes(b), (std::vector<int>{kNoInterface, kNameNotCLike}));
}

// An interface "Rx" that may take frames transmitted by "Tx".
struct MsgIdFixture : Fixture {
  TIfc* Tx;
  TIfc* Rx;
  TNetFrame* Frame;
  TSignal* Sig;
  MsgIdFixture() {
    TNetwork* net = AddNetwork("N", kNetTypeLIN20);
    Tx = AddIfc("Tx", kIfcLINMaster, net);
    Rx = AddIfc("Rx", kIfcLINSlave, net);
    Frame = NewFrame("F1", Tx);
    Sig = Make.Signal("");
    Make.Place(Frame, Sig);
  }
  TNetFrame* NewFrame(const std::string& name, TIfc* tx) { return Make.Frame(tx, name); }
  TFrameMsgId* NewMsgId(TIfc* ifc, uint16_t value, TNetFrame* frame) { return Make.MsgId(ifc, frame, value); }
  void Publish() { Make.Pub(Tx, Sig); }
  void Subscribe() { Make.Sub(Rx, Sig); }
};

TEST(FrameMsgIdCheck, HandlesFrame) {
  for (int variant = 0; variant < 4; ++variant) {
    SCOPED_TRACE(variant);
    MsgIdFixture f;
    if (variant & 1) f.Publish();
    if (variant & 2) f.Subscribe();
    TFrameMsgId* id = f.NewMsgId(f.Rx, 1, f.Frame);
    EXPECT_EQ(id->HandlesFrame(f.Frame), variant == 3);
    EXPECT_TRUE(id->HandlesFrame(nullptr));
    EXPECT_EQ(CheckCodes(id), variant == 3 ? std::vector<int>{} : std::vector<int>{kFrameNotOnInterface});
    // The transmitter's own identifier always handles the frame.
    EXPECT_EQ(CheckCodes(f.NewMsgId(f.Tx, 2, f.Frame)), std::vector<int>{});
  }
}

TEST(FrameMsgIdCheck, SubscriptionsOfTheDatabaseCount) {
  MsgIdFixture f;
  f.Publish();
  // A subscription of Rx that the host did not put into Rx's own list.
  TSubSig* sub = f.Ram.NewItem(f.Ram.SubSigs);
  sub->Ifc = f.Rx;
  sub->Signal = f.Sig;
  TFrameMsgId* id = f.NewMsgId(f.Rx, 1, f.Frame);
  EXPECT_TRUE(id->HandlesFrame(f.Frame));
  EXPECT_EQ(CheckCodes(id), std::vector<int>{});
  // One listed by Rx but naming another interface does not.
  sub->Ifc = f.Tx;
  f.Rx->SubSigs.Add(sub);
  EXPECT_FALSE(id->HandlesFrame(f.Frame));
}

TEST(FrameMsgIdCheck, HolderAsksEachAssignedFrame) {
  MsgIdFixture f;
  f.Publish();
  f.Subscribe();
  TFrameHolder* holder = f.Ram.NewItem(f.Ram.FrameHolders);
  holder->Name = "Evt";
  holder->Ifc = f.Tx;
  TFrameMsgId* id = f.NewMsgId(f.Rx, 1, holder);
  EXPECT_EQ(CheckCodes(id), std::vector<int>{kFrameNotOnInterface});  // no assigned frames: the holder itself
  holder->NetFrames.Add(f.Frame);
  EXPECT_EQ(CheckCodes(id), std::vector<int>{});
  holder->NetFrames.Add(f.NewFrame("Silent", f.Tx));
  holder->NetFrames.Add(f.NewFrame("Silent2", f.Tx));
  FindingLog log;
  id->Check(kCheckUnique);
  EXPECT_EQ(log.Texts, std::vector<std::string>{"Frame \"Evt\" is not transmitted or received by Interface \"Rx\" "});
}

TEST(FrameMsgIdCheck, DuplicatesReportedFromBothSides) {
  MsgIdFixture f;
  TNetFrame* second = f.NewFrame("F2", f.Tx);
  TFrameMsgId* a = f.NewMsgId(f.Tx, 0x10, f.Frame);
  TFrameMsgId* b = f.NewMsgId(f.Tx, 0x10, second);
  f.NewMsgId(f.Tx, 0x11, nullptr);
  FindingLog log;
  a->Check(kCheckUnique);
  b->Check(kCheckUnique);
  EXPECT_EQ(log.Codes, (std::vector<int>{kMessageIdNotUnique, kMessageIdNotUnique}));
  EXPECT_EQ(log.Texts[0], "\"F1 / 0010\" Message Id value is not unique on Interface: \"Tx\".");
  EXPECT_EQ(log.Sinks.Warnings.size(), 2u);

  b->NetFrame = f.Frame;
  b->MsgId = 0x20;
  EXPECT_EQ(CheckCodes(a, kCheckUnique), std::vector<int>{kMessageIdDuplicated});
  EXPECT_EQ(CheckCodes(b, kCheckUnique), std::vector<int>{kMessageIdDuplicated});
  EXPECT_EQ(CheckCodes(a, kCheckAll), std::vector<int>{});

  TFrameMsgId* loose = f.Ram.NewItem(f.Ram.FrameMsgIds);
  EXPECT_EQ(CheckCodes(loose), (std::vector<int>{kNoNetworkFrame, kNoInterface}));
}

}  // namespace
}  // namespace ZOR_RAM
