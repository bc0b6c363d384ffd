#include "zor/network/network.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/builder.h"
#include "tests/support.h"
#include "zor/interface/file_frame.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/signal_group.h"

namespace {

using namespace ZOR_RAM;
using zortest::CaptureLines;
using zortest::Lines;
using zortest::MessageCapture;
using zortest::ParseXml;

// Reads the first child of the document root (the text is wrapped in a root
// element) into a new network of ram.
struct LoadedNetwork {
  std::unique_ptr<TQXMLDocument> Doc;
  TNetwork* Network = nullptr;
  bool Failed = false;
};

LoadedNetwork ReadNetwork(TZOR_RAM& ram, const std::string& xml) {
  LoadedNetwork out;
  out.Doc = ParseXml("<Root>" + xml + "</Root>");
  if (!out.Doc) {
    ADD_FAILURE() << "XML did not parse";
    return out;
  }
  out.Network = ram.NewItem(ram.Networks);
  out.Failed = out.Network->ReadXml(out.Doc->GetRoot()->GetItem(0));
  return out;
}

using zortest::Written;

const std::string kNetworkV2 =
    "<Network><ZORId>N1</ZORId><Name>Body</Name><Version>1.3</Version>"
    "<Symbols><Symbol>a</Symbol><Symbol>b</Symbol></Symbols>"
    "<Type>CAN 29</Type><NetSpeed>500000</NetSpeed><SamplePos>87500</SamplePos><SJW>1000</SJW>"
    "<SampMode>1</SampMode>"
    "<DynamicMsgIds><DynamicMsgId>17</DynamicMsgId><DynamicMsgId>5</DynamicMsgId>"
    "<DynamicMsgId>64</DynamicMsgId><DynamicMsgId>-1</DynamicMsgId></DynamicMsgIds>"
    "<EnvGroup>Missing</EnvGroup>"
    "<NetModes><NetMode><ZORId>M1</ZORId><Name>Normal</Name>"
    "<SchEntrys><SchEntry><ZORId>E1</ZORId><Order>2</Order><Type>free format</Type><Delay>10000</Delay>"
    "<data>1 2 ab</data></SchEntry></SchEntrys><IfcModes></IfcModes></NetMode></NetModes>"
    "</Network>";

TEST(NetworkXml, Version2RoundTripWritesEveryWrapper) {
  MessageCapture messages;
  TZOR_RAM ram;
  LoadedNetwork loaded = ReadNetwork(ram, kNetworkV2);
  ASSERT_FALSE(loaded.Failed);
  TNetwork* net = loaded.Network;
  EXPECT_EQ(net->Type, kNetTypeCAN);
  EXPECT_EQ(net->DynamicMsgIds[5], kMsgIdDynamic);
  EXPECT_EQ(net->DynamicMsgIds[17], kMsgIdDynamic);
  EXPECT_EQ(net->DynamicMsgIds[6], kMsgIdNotDynamic);
  ASSERT_EQ(net->NetModes.Count(), 1);
  ASSERT_EQ(ram.NetModes.Count(), 1);
  EXPECT_EQ(net->NetModes[0]->Network, net);
  ASSERT_EQ(ram.SchEntries.Count(), 1);
  EXPECT_EQ(ram.SchEntries[0]->NetMode, net->NetModes[0]);

  EXPECT_EQ(Written(net), zortest::Golden("zor/network/testdata/network_2000.xml"));
  EXPECT_TRUE(messages.Errors.empty());
}

TEST(NetworkXml, OlderVersionSkipsTheNewerElements) {
  TZOR_RAM ram;
  ram.Version = "1.201";
  LoadedNetwork loaded = ReadNetwork(ram, kNetworkV2);
  ASSERT_FALSE(loaded.Failed);
  TNetwork* net = loaded.Network;
  EXPECT_TRUE(net->Version.empty());
  EXPECT_TRUE(net->Symbols.empty());
  EXPECT_EQ(net->DynamicMsgIds[5], kMsgIdNotDynamic);
  EXPECT_TRUE(net->EnvGroupName.empty());
  net->NetModes[0]->SchEntrys[0]->Type = 99;  // an unknown type is written as "Undefined"
  EXPECT_EQ(Written(net), zortest::Golden("zor/network/testdata/network_1201.xml"));
}

TEST(NetworkXml, NewNetworkHasNoDynamicIdentifiers) {
  TZOR_RAM ram;
  TNetwork* net = ram.NewItem(ram.Networks);
  for (int id = 0; id < kDynamicMsgIdCount; ++id) EXPECT_EQ(net->DynamicMsgIds[id], kMsgIdNotDynamic);
}

TEST(NetworkXml, WrongChildNamesFailWithTheExpectedName) {
  struct Case {
    const char* Xml;
    const char* Error;
  } cases[] = {
      {"<Network><NetModes><Mode/></NetModes></Network>", "NetMode expected but Mode found."},
      {"<Network><NetModes><NetMode><SchEntrys><Entry/></SchEntrys></NetMode></NetModes></Network>",
       "SchEntry expected but Entry found."},
      {"<Network><Symbols><Sym/></Symbols></Network>", "Symbol expected but Sym found."},
      {"<Network><DynamicMsgIds><Id>1</Id></DynamicMsgIds></Network>", "DynamicMsgId expected but Id found."},
      {"<Network><UnUsedSignals><Sig/></UnUsedSignals></Network>", "Signal expected but Sig found."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Xml);
    MessageCapture messages;
    TZOR_RAM ram;
    EXPECT_TRUE(ReadNetwork(ram, c.Xml).Failed);
    EXPECT_EQ(messages.Errors, std::vector<std::string>{c.Error});
  }
}

TEST(NetworkXml, ReReadingReplacesTheModes) {
  TZOR_RAM ram;
  LoadedNetwork loaded = ReadNetwork(ram, kNetworkV2);
  ASSERT_FALSE(loaded.Failed);
  ASSERT_FALSE(loaded.Network->ReadXml(loaded.Doc->GetRoot()->GetItem(0)));
  EXPECT_EQ(loaded.Network->NetModes.Count(), 1);
  EXPECT_EQ(ram.NetModes.Count(), 1);
  EXPECT_EQ(ram.SchEntries.Count(), 1);

  // A destroyed mode leaves no entry pointing at it.
  TSchEntry* entry = ram.SchEntries[0];
  delete loaded.Network->NetModes[0];
  loaded.Network->NetModes.Clear();
  EXPECT_EQ(entry->NetMode, nullptr);
  EXPECT_EQ(entry->GetNetwork(), nullptr);
  EXPECT_EQ(entry->FrameTime(), 0);
}

TEST(NetworkXml, FailedReReadEmptiesOnlyTheListsBeforeTheFailure) {
  TZOR_RAM ram;
  LoadedNetwork loaded = ReadNetwork(ram, kNetworkV2);
  ASSERT_FALSE(loaded.Failed);
  MessageCapture messages;
  std::unique_ptr<TQXMLDocument> bad = ParseXml("<Root><Network><Name>X</Name><Symbols><Bad/></Symbols></Network></Root>");
  EXPECT_TRUE(loaded.Network->ReadXml(bad->GetRoot()->GetItem(0)));
  EXPECT_EQ(loaded.Network->NetModes.Count(), 1);
  EXPECT_EQ(ram.SchEntries.Count(), 1);
}

TEST(NetworkLinks, UnusedSignalsKeepTheirEncodingType) {
  TZOR_RAM ram;
  TEncType* enc = ram.NewItem(ram.EncTypes);
  enc->Id = "Enc7";
  LoadedNetwork loaded = ReadNetwork(
      ram, "<Network><UnUsedSignals><Signal><ZORId>U1</ZORId><Name>Spare</Name><EncType>Enc7</EncType></Signal>"
           "</UnUsedSignals></Network>");
  ASSERT_FALSE(loaded.Failed);
  ASSERT_EQ(loaded.Network->UnUsedSignals.Count(), 1);
  ASSERT_EQ(ram.UnUsedSignals.Count(), 1);
  EXPECT_EQ(ram.Signals.Count(), 0);
  loaded.Network->ResolveLinks();
  EXPECT_EQ(loaded.Network->UnUsedSignals[0]->EncType, enc);
  EXPECT_NE(Written(loaded.Network).find("<EncType>Enc7</EncType>"), std::string::npos);
}

TEST(NetworkLinks, AttributeValuesLinkToTheNetworksOwnDefinition) {
  TZOR_RAM ram;
  const char* xml =
      "<Network><Attributes><Attribute><Name>GenMsgCycle</Name><ObjectType>NetWork</ObjectType>"
      "<AttriType>INT</AttriType></Attribute></Attributes>"
      "<AttributeValues><AttributeValue><Attribute>genmsgcycle</Attribute><ObjectType>NetWork</ObjectType>"
      "<AttriType>INT</AttriType><AttriValue>5</AttriValue></AttributeValue>"
      "<AttributeValue><Attribute>Unknown</Attribute></AttributeValue></AttributeValues></Network>";
  LoadedNetwork first = ReadNetwork(ram, xml);
  LoadedNetwork second = ReadNetwork(ram, xml);
  ASSERT_FALSE(first.Failed);
  ASSERT_FALSE(second.Failed);
  ASSERT_EQ(second.Network->AttributeValues.Count(), 2);
  EXPECT_EQ(second.Network->AttributeValues[0]->Definition, second.Network->Attributes[0]);
  EXPECT_EQ(second.Network->AttributeValues[1]->Definition, nullptr);
  EXPECT_EQ(ram.CDBAttributes.Count(), 4);
}

// A database with one LIN network, a master and a slave interface, two frames
// and an event-triggered holder.
struct LinFixture {
  TZOR_RAM Ram;
  zortest::Builder Make{Ram};
  TNetwork* Net = Make.Network("Lin", kNetTypeLIN20, 19200);
  TNode* Node = Make.Node("Door");
  TIfc* Master = AddIfc("M", kIfcLINMaster);
  TIfc* Slave = AddIfc("S", kIfcLINSlave);
  TNetFrame* Frame2 = AddFrame(Master, "F2", 2);
  TNetFrame* Frame4 = AddFrame(Slave, "F4", 4);
  TFrameHolder* Holder = Make.Holder(Master, "ET", 0, kHolderEventTriggered);
  TNetMode* Mode = Make.Mode(Net, "Table");

  LinFixture() {
    Holder->NetFrames.Add(Frame2);
    Holder->NetFrames.Add(Frame4);
  }
  TIfc* AddIfc(const char* name, int32_t type) { return Make.Ifc(Node, name, type, Net); }
  TNetFrame* AddFrame(TIfc* ifc, const char* name, int size) { return Make.Frame(ifc, name, 0, size); }
  TSchEntry* AddEntry(int32_t type, TNetFrame* frame = nullptr) { return Make.Entry(Mode, type, frame); }
};

TEST(SchEntry, EntryNamesByType) {
  LinFixture f;
  TSchEntry* entry = f.AddEntry(kSchUnconditional, f.Frame2);
  const uint8_t nad[8] = {0x10, 0, 0, 0x34, 0x12, 0xCD, 0xAB, 0x7F};
  struct Case {
    int32_t Type;
    bool WithIfc;
    const char* Name;
  } cases[] = {
      {kSchUnconditional, false, "F2"},
      {kSchEventTriggered, false, "F2"},
      {kSchDiagRequest, false, "MasterReq"},
      {kSchDiagResponse, false, "SlaveResp"},
      {kSchAssignNAD, false, "AssignNAD {10, 7F, 1234, ABCD}"},
      {kSchAssignFrameId, true, "AssignFrameId {Door, F2}"},
      {kSchAssignFrameId, false, "AssignFrameId {, F2}"},
      {kSchUnAssignFrameId, true, "UnassignFrameId {Door, F2}"},
      {kSchFreeFormat, false, "FreeFormat {10, 00, 00, 34, 12, CD, AB, 7F}"},
      {9, false, "Unknown schedule entry"},
  };
  std::memcpy(entry->data, nad, 8);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    entry->Type = c.Type;
    entry->Ifc = c.WithIfc ? f.Slave : nullptr;
    EXPECT_EQ(entry->GetName(), c.Name);
  }
  entry->Type = kSchDiagRequest;
  EXPECT_EQ(entry->GetDisplayName(), "Lin.Table.MasterReq");
  EXPECT_EQ(f.Mode->GetDisplayName(), "Lin.Table");
  TSchEntry* loose = f.Ram.NewItem(f.Ram.SchEntries);
  EXPECT_EQ(loose->GetDisplayName(), "");
}

TEST(SchEntry, FrameTimeByType) {
  LinFixture f;
  TSchEntry* entry = f.AddEntry(kSchUnconditional, f.Frame2);
  struct Case {
    int32_t Type;
    TNetFrame* Frame;
    int32_t Time;
  } cases[] = {
      {kSchUnconditional, f.Frame2, 3333},   // (2*10+44)*1e6/19200
      {kSchUnconditional, nullptr, 0},
      {kSchFreeFormat, nullptr, 6458},       // 124e6/19200
      {kSchDiagRequest, nullptr, 6458},
      {kSchEventTriggered, f.Holder, 4375},  // largest assigned frame: 4 bytes
      {kSchSporadic, f.Frame2, 0},           // not a holder
      {9, f.Frame2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Type);
    entry->Type = c.Type;
    entry->TxFrame = c.Frame;
    EXPECT_EQ(entry->FrameTime(), c.Time);
  }
  f.Net->NetSpeed = 0;
  entry->Type = kSchFreeFormat;
  EXPECT_EQ(entry->FrameTime(), 0);
  f.Holder->NetFrames.Clear();
  f.Net->NetSpeed = 19200;
  entry->Type = kSchEventTriggered;
  entry->TxFrame = f.Holder;
  EXPECT_EQ(entry->FrameTime(), 0);
}

TEST(Network, ComputedListsAndQueries) {
  LinFixture f;
  TNetwork* other = f.Ram.NewItem(f.Ram.Networks);
  TIfc* elsewhere = f.Ram.NewItem(f.Ram.Ifcs);
  elsewhere->Network = other;

  const auto& ifcs = f.Net->GetInterfaces();
  ASSERT_EQ(ifcs.Count(), 2);
  EXPECT_EQ(f.Net->GetMasterInterface(), f.Master);
  EXPECT_EQ(f.Net->GetSlaveInterface(), f.Slave);
  ASSERT_EQ(f.Net->GetFrames().Count(), 2);
  EXPECT_EQ(f.Net->GetFrames()[0], f.Frame2);
  EXPECT_EQ(f.Net->GetFrameHolders().Count(), 1);
  EXPECT_EQ(other->GetFrameHolders().Count(), 0);

  // An interface created later joins on the next request, also when its
  // network was set only after an earlier request.
  TIfc* late = f.Ram.NewItem(f.Ram.Ifcs);
  EXPECT_EQ(f.Net->GetInterfaces().Count(), 2);
  late->Network = f.Net;
  EXPECT_EQ(f.Net->GetInterfaces().Count(), 3);

  // A destroyed interface or frame leaves the kept lists.
  delete f.Slave;
  EXPECT_EQ(f.Net->GetInterfaces().Count(), 2);
  EXPECT_EQ(f.Net->GetMasterInterface(), f.Master);
  EXPECT_EQ(f.Net->GetSlaveInterface(), nullptr);
  delete f.Frame4;
  EXPECT_EQ(f.Net->GetFrames().Count(), 1);

  EXPECT_FALSE(f.Net->HasMessageIdFor(f.Frame2));
  TFrameMsgId* msgId = f.Ram.NewItem(f.Ram.FrameMsgIds);
  msgId->NetFrame = f.Frame2;
  f.Master->FrameMsgIds.Add(msgId);
  EXPECT_TRUE(f.Net->HasMessageIdFor(f.Frame2));
}

TEST(Network, ComputedListsFollowHostEditsBetweenCalls) {
  TZOR_RAM ram;
  zortest::Builder make{ram};
  TNode* node = make.Node("Ecu");
  TNetwork* old = make.Network("Old", kNetTypeLIN11);
  TNetwork* lin20 = make.Network("New", kNetTypeLIN20);
  TIfc* master = make.Ifc(node, "M", kIfcLINMaster, old);
  TIfc* slave = make.Ifc(node, "S", kIfcLINSlave, lin20);
  TNetFrame* frame = make.Frame(slave, "F", 7);
  EXPECT_EQ(old->GetMasterInterface(), master);
  EXPECT_EQ(lin20->GetMasterInterface(), nullptr);
  EXPECT_EQ(lin20->GetFrames().Count(), 1);

  // A master moved after the first requests is seen; the old network keeps it.
  master->Network = lin20;
  EXPECT_EQ(lin20->GetMasterInterface(), master);
  EXPECT_EQ(old->GetInterfaces().Count(), 1);

  // The holder list is built on its own first request.
  make.Holder(slave, "H", 7, kHolderEventTriggered);
  EXPECT_EQ(lin20->GetFrameHolders().Count(), 1);
  EXPECT_TRUE(frame->IdShared());

  // An interface created after another was destroyed (often at its address)
  // joins its own network only, in and out of a check run.
  node->Ifcs.Remove(slave);
  delete slave;
  TIfc* added = make.Ifc(node, "A", kIfcLINSlave, old);
  for (bool inRun : {false, true}) {
    SCOPED_TRACE(inRun);
    if (inRun) ram.BeginCheckRun();
    EXPECT_EQ(lin20->GetInterfaces().Count(), 1);
    EXPECT_EQ(lin20->GetInterfaces().IndexOf(added), -1);
    EXPECT_EQ(old->GetInterfaces().Count(), 2);
    EXPECT_EQ(old->GetSlaveInterface(), added);
    ram.EndCheckRun();
  }
}

TEST(Network, NameUsedAndFindEntry) {
  LinFixture f;
  TNetwork* twin = f.Ram.NewItem(f.Ram.Networks);
  twin->Name = "Lin";
  EXPECT_TRUE(f.Net->IsNameUsed("Lin"));
  twin->Name = "Other";
  EXPECT_FALSE(f.Net->IsNameUsed("Lin"));
  EXPECT_TRUE(f.Net->IsNameUsed("Other"));

  TNetMode* second = f.Ram.NewItem(f.Ram.NetModes);
  second->Network = f.Net;
  second->Name = "Table";
  f.Net->NetModes.Add(second);
  EXPECT_TRUE(f.Mode->IsNameUsed("Table"));
  second->Name = "Else";
  EXPECT_FALSE(f.Mode->IsNameUsed("Table"));

  f.AddEntry(kSchDiagRequest, f.Frame2);
  TSchEntry* sporadic = f.AddEntry(kSchSporadic, f.Frame2);
  EXPECT_EQ(f.Mode->FindEntryForFrame(f.Frame2), sporadic);
  EXPECT_EQ(f.Mode->FindEntryForFrame(f.Frame4), nullptr);
}

TEST(NetworkLinks, EntriesAndModesResolveTheirReferences) {
  MessageCapture messages;
  TZOR_RAM ram;
  TIfc* ifc = ram.NewItem(ram.Ifcs);
  TIfcMode* ifcMode = ram.NewItem(ram.IfcModes);
  TNetFrame* frame = ram.NewItem(ram.NetFrames);
  frame->Id = "Shared";
  TFrameHolder* holder = ram.NewItem(ram.FrameHolders);
  holder->Id = "Shared";
  TNetFrame* onlyFrame = ram.NewItem(ram.NetFrames);
  LoadedNetwork loaded = ReadNetwork(
      ram,
      "<Network><NetModes>"
      "<NetMode><SchEntrys>"
      "<SchEntry><Ifc>Ifc0</Ifc><TxFrame>Shared</TxFrame></SchEntry>"
      "<SchEntry><TxFrame>NetFrame1</TxFrame></SchEntry>"
      "<SchEntry><Ifc>Nobody</Ifc><TxFrame>Nothing</TxFrame></SchEntry>"
      "</SchEntrys><IfcModes><IfcMode>IfcMode0</IfcMode><IfcMode>Gone</IfcMode></IfcModes></NetMode>"
      "<NetMode><SchEntrys><SchEntry><TxFrame>Shared</TxFrame></SchEntry></SchEntrys>"
      "<IfcModes><Mode>IfcMode0</Mode></IfcModes></NetMode>"
      "</NetModes></Network>");
  ASSERT_FALSE(loaded.Failed);
  loaded.Network->ResolveLinks();

  TNetMode* mode = loaded.Network->NetModes[0];
  EXPECT_EQ(mode->IfcModes.Count(), 1);
  EXPECT_EQ(mode->IfcModes[0], ifcMode);
  EXPECT_EQ(mode->SchEntrys[0]->Ifc, ifc);
  EXPECT_EQ(mode->SchEntrys[0]->TxFrame, holder);  // holders are searched first
  EXPECT_EQ(mode->SchEntrys[1]->TxFrame, onlyFrame);
  EXPECT_EQ(mode->SchEntrys[2]->Ifc, nullptr);
  EXPECT_EQ(mode->SchEntrys[2]->TxFrame, nullptr);
  // A wrong child in "IfcModes" is reported and leaves that mode's entries unresolved.
  EXPECT_EQ(messages.Errors, std::vector<std::string>{"IfcMode expected but Mode found."});
  EXPECT_EQ(loaded.Network->NetModes[1]->SchEntrys[0]->TxFrame, nullptr);

  EXPECT_EQ(CaptureLines([&] { mode->SchEntrys[0]->WriteXml(true); }),
            Lines({"<SchEntry>", "<ZORId>SchEntry0</ZORId>", "<Order>0</Order>", "<Type>Unconditional Frame</Type>",
                   "<Delay>0</Delay>", "<data>00 00 00 00 00 00 00 00</data>", "<Ifc>Ifc0</Ifc>",
                   "<TxFrame>Shared</TxFrame>", "</SchEntry>"}));
  (void)frame;
}

TEST(NetworkLinks, EnvGroupNameIsKeptWhenTheGroupIsLinked) {
  TZOR_RAM ram;
  TEnvGroup* group = ram.NewItem(ram.EnvGroups);
  group->Name = "Climate";
  TNetwork* net = ram.NewItem(ram.Networks);
  net->EnvGroup = group;
  net->EnvGroupName = "climate";
  std::string text = Written(net);
  EXPECT_NE(text.find("<EnvGroup>Climate</EnvGroup>"), std::string::npos);
}

}  // namespace

namespace {

TEST(NetworkFile, SaveLoadSaveKeepsModesEntriesAndTheirLinks) {
  MessageCapture messages;
  auto ram = std::make_unique<TZOR_RAM>();
  TNetwork* net = ram->NewItem(ram->Networks);
  net->Name = "Lin";
  net->Type = kNetTypeLIN20;
  net->NetSpeed = 19200;
  net->Symbols = {"A", "B"};
  net->DynamicMsgIds[3] = kMsgIdDynamic;
  TNode* node = ram->NewItem(ram->Nodes);
  node->Name = "Door";
  TIfc* ifc = ram->NewItem(ram->Ifcs);
  ifc->Name = "Slave";
  ifc->IfcType = kIfcLINSlave;
  ifc->Node = node;
  ifc->Network = net;
  node->Ifcs.Add(ifc);
  TNetFrame* frame = ram->NewItem(ram->NetFrames);
  frame->Name = "Status";
  frame->Ifc = ifc;
  frame->Network = net;
  ifc->NetFrames.Add(frame);
  TIfcMode* ifcMode = ram->NewItem(ram->IfcModes);
  ifcMode->Name = "Run";
  ifcMode->Ifc = ifc;
  ifc->IfcModes.Add(ifcMode);
  TNetMode* mode = ram->NewItem(ram->NetModes);
  mode->Name = "Table";
  mode->Network = net;
  mode->IfcModes.Add(ifcMode);
  net->NetModes.Add(mode);
  TSchEntry* entry = ram->NewItem(ram->SchEntries);
  entry->NetMode = mode;
  entry->Type = kSchAssignFrameId;
  entry->Ifc = ifc;
  entry->TxFrame = frame;
  mode->SchEntrys.Add(entry);

  const std::string first = zortest::TempPath("net_first.xml");
  const std::string second = zortest::TempPath("net_second.xml");
  ASSERT_FALSE(SaveFile(*ram, first));
  std::unique_ptr<TZOR_RAM> loaded(LoadDatabase(first));
  ASSERT_NE(loaded, nullptr) << (messages.Errors.empty() ? "" : messages.Errors[0]);
  ASSERT_EQ(loaded->SchEntries.Count(), 1);
  TSchEntry* readEntry = loaded->SchEntries[0];
  EXPECT_EQ(readEntry->TxFrame, loaded->NetFrames[0]);
  EXPECT_EQ(readEntry->Ifc, loaded->Ifcs[0]);
  EXPECT_EQ(readEntry->GetName(), "AssignFrameId {Door, Status}");
  ASSERT_EQ(loaded->NetModes[0]->IfcModes.Count(), 1);
  EXPECT_EQ(loaded->NetModes[0]->IfcModes[0], loaded->IfcModes[0]);
  EXPECT_EQ(loaded->Networks[0]->Symbols, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(loaded->Networks[0]->GetInterfaces().Count(), 1);
  ASSERT_FALSE(SaveFile(*loaded, second));
  EXPECT_EQ(zortest::ReadFile(first), zortest::ReadFile(second));
  std::remove(first.c_str());
  std::remove(second.c_str());
}

}  // namespace
