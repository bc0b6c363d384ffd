#include "zor/network/frame.h"

#include <gtest/gtest.h>

#include "tests/builder.h"
#include "tests/support.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"

namespace ZOR_RAM {
namespace {

using zortest::CaptureLines;
using zortest::Lines;
using zortest::MessageCapture;
using zortest::ParseXml;
using zortest::ReadItem;

const std::string kTestData = "zor/network/testdata/";

class FrameTest : public ::testing::Test {
 protected:
  FrameTest() {
    Net = Ram.NewItem(Ram.Networks);
    Net->Id = "N1";
    Sig = Ram.NewItem(Ram.Signals);
    Sig->Id = "S1";
    Mode = Ram.NewItem(Ram.IfcModes);
    Mode->Id = "M1";
    Mode->Name = "Normal";
  }
  TZOR_RAM Ram;
  TNetwork* Net;
  TSignal* Sig;
  TIfcMode* Mode;
  MessageCapture Messages;
};

TEST_F(FrameTest, RoundTripVersion2) {
  std::unique_ptr<TQXMLDocument> doc;
  const std::string text = zortest::Golden(kTestData + "frame_2000.xml");
  TNetFrame* frame = ReadItem(Ram, Ram.NetFrames, text, &doc);
  ASSERT_NE(frame, nullptr);
  frame->ResolveLinks();

  EXPECT_EQ(frame->Name, "Engine&Data");
  EXPECT_EQ(frame->TransportType, kTransportSporadic);
  EXPECT_EQ(frame->FrameId, kJ1939MultiPacketBit | 255u);
  EXPECT_TRUE(frame->SequenceInfo);
  EXPECT_EQ(frame->ByteOrder, kByteOrderLittleEndian);
  EXPECT_EQ(frame->Network, Net);
  ASSERT_EQ(frame->NetSigs.Count(), 2);
  ASSERT_EQ(frame->TxFrameTimings.Count(), 1);
  EXPECT_EQ(Ram.NetSigs.Count(), 2);
  EXPECT_EQ(Ram.TxFrameTimings.Count(), 1);
  TNetSig* first = frame->NetSigs[0];
  EXPECT_EQ(first->Frame, frame);
  EXPECT_EQ(first->Signal, Sig);
  EXPECT_EQ(first->Network, Net);
  EXPECT_EQ(first->MultiplexerValue, -9000000000LL);
  EXPECT_EQ(first->SigType, kSigTypeStringLengthControl);
  EXPECT_EQ(frame->NetSigs[1]->Signal, nullptr);
  EXPECT_EQ(frame->TxFrameTimings[0]->IfcMode, Mode);
  EXPECT_EQ(frame->TxFrameTimings[0]->Frame, frame);
  EXPECT_EQ(frame->TxFrameTimings[0]->GetName(), "Normal");
  EXPECT_EQ(frame->TxFrameTimings[0]->GetDisplayName(), "Engine&Data.Normal");

  EXPECT_EQ(CaptureLines([&] { EXPECT_FALSE(frame->WriteXml(true)); }), text);
  EXPECT_TRUE(Messages.Errors.empty());
}

TEST_F(FrameTest, OlderVersionPlacementHasNoMultiplexFields) {
  Ram.Version = "1.201";
  std::unique_ptr<TQXMLDocument> doc;
  TNetSig* sig = ReadItem(Ram, Ram.NetSigs,
                          "<NetSig><Offset>4</Offset><UpdateBitOffset>2</UpdateBitOffset>"
                          "<Multiplexed>Multiplexed Signal</Multiplexed><MultiplexerValue>3</MultiplexerValue>"
                          "<SPN>7</SPN><SigType>DTC</SigType><Signal>S1</Signal></NetSig>",
                          &doc);
  sig->ResolveLinks();
  EXPECT_EQ(sig->Multiplexed, kMuxPlainSignal);
  EXPECT_EQ(sig->MultiplexerValue, 0);
  EXPECT_EQ(sig->SPN, 0);
  EXPECT_EQ(sig->SigType, kSigTypeDefault);
  EXPECT_EQ(CaptureLines([&] { sig->WriteXml(true); }),
            Lines({"<NetSig>", "<ZORId>NetSig0</ZORId>", "<Offset>4</Offset>", "<UpdateBitOffset>2</UpdateBitOffset>",
                   "<MaxUpdInterval>0</MaxUpdInterval>", "<MinUpdInterval>0</MinUpdInterval>", "<Signal>S1</Signal>",
                   "</NetSig>"}));
}

TEST_F(FrameTest, WrongChildNamesFailTheFrame) {
  struct Case {
    const char* xml;
    const char* error;
  } const cases[] = {
      {"<NetFrame><NetSigs><NetSig/><Signal/></NetSigs></NetFrame>", "NetSig expected but Signal found."},
      {"<NetFrame><TxFrameTimings><Timing/></TxFrameTimings></NetFrame>",
       "TxFrameTiming expected but Timing found."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xml);
    Messages.Clear();
    std::unique_ptr<TQXMLDocument> doc;
    bool failed = false;
    ReadItem(Ram, Ram.NetFrames, c.xml, &doc, &failed);
    EXPECT_TRUE(failed);
    EXPECT_EQ(Messages.Errors, std::vector<std::string>{c.error});
  }
}

TEST_F(FrameTest, RereadingReplacesChildren) {
  std::unique_ptr<TQXMLDocument> doc;
  TNetFrame* frame = ReadItem(Ram, Ram.NetFrames,
                              "<NetFrame><NetSigs><NetSig/><NetSig/></NetSigs>"
                              "<TxFrameTimings><TxFrameTiming/></TxFrameTimings></NetFrame>",
                              &doc);
  auto doc2 = ParseXml("<NetFrame><NetSigs><NetSig><Offset>3</Offset></NetSig></NetSigs></NetFrame>");
  ASSERT_FALSE(frame->ReadXml(doc2->GetRoot()));
  ASSERT_EQ(frame->NetSigs.Count(), 1);
  EXPECT_EQ(frame->NetSigs[0]->Offset, 3);
  EXPECT_EQ(Ram.NetSigs.Count(), 1);
  EXPECT_EQ(Ram.TxFrameTimings.Count(), 0);
}

TEST_F(FrameTest, HolderRoundTripAndResolution) {
  TNetFrame* a = Ram.NewItem(Ram.NetFrames);
  a->Id = "A";
  TNetFrame* b = Ram.NewItem(Ram.NetFrames);
  b->Id = "B";
  std::unique_ptr<TQXMLDocument> doc;
  TFrameHolder* holder = ReadItem(Ram, Ram.FrameHolders,
                                  "<FrameHolder><ZORId>H</ZORId><Name>ET</Name><Size>2</Size>"
                                  "<HolderType>sporadic</HolderType><NetFrames><NetFrame>B</NetFrame>"
                                  "<NetFrame>missing</NetFrame><NetFrame>A</NetFrame></NetFrames></FrameHolder>",
                                  &doc);
  holder->ResolveLinks();
  EXPECT_EQ(holder->HolderType, kHolderSporadic);
  ASSERT_EQ(holder->NetFrames.Count(), 2);
  EXPECT_EQ(holder->NetFrames[0], b);
  EXPECT_EQ(holder->NetFrames[1], a);
  // Resolving again rebuilds the list instead of appending.
  holder->ResolveLinks();
  EXPECT_EQ(holder->NetFrames.Count(), 2);

  EXPECT_EQ(CaptureLines([&] { holder->WriteXml(true); }), zortest::Golden(kTestData + "frame_holder.xml"));
}

TEST_F(FrameTest, HolderWrongChildStopsResolution) {
  TNetFrame* a = Ram.NewItem(Ram.NetFrames);
  a->Id = "A";
  std::unique_ptr<TQXMLDocument> doc;
  TFrameHolder* holder = ReadItem(Ram, Ram.FrameHolders,
                                  "<FrameHolder><NetFrames><NetFrame>A</NetFrame><Frame>A</Frame>"
                                  "<NetFrame>A</NetFrame></NetFrames></FrameHolder>",
                                  &doc);
  holder->ResolveLinks();
  EXPECT_EQ(holder->NetFrames.Count(), 1);
  EXPECT_EQ(Messages.Errors, std::vector<std::string>{"NetFrame expected but Frame found."});
}

// A LIN or CAN network with one node per interface, built through the
// database lists as the readers would.
class FrameQueryTest : public ::testing::Test {
 protected:
  TNetwork* AddNetwork(int32_t type) { return Make.Network("Bus", type); }
  // An interface of a node of its own ("Node" + name).
  TIfc* AddIfc(TNetwork* net, int32_t type, float protVer, const char* name) {
    TIfc* ifc = Make.Ifc(Make.Node(std::string("Node") + name), name, type, net);
    ifc->ProtVer = protVer;
    return ifc;
  }
  TNetFrame* AddFrame(TIfc* ifc, const char* name, uint32_t id = 1, int32_t size = 2) {
    return Make.Frame(ifc, name, id, size);
  }
  TSignal* AddSignal(const char* name, int32_t size = 8) { return Make.Signal(name, size); }
  TGateway* AddGateway(TIfc* in, TIfc* out, TSignal* signal, TNode* node) {
    return Make.Gateway(node, in, out, signal);
  }
  TZOR_RAM Ram;
  zortest::Builder Make{Ram};
  MessageCapture Messages;
};

TEST_F(FrameQueryTest, ChecksumModelOfLin20Frames) {
  struct Case {
    const char* name;
    float receiverVersion;  // protocol version of the subscribing slave
    bool masterSends;
    uint32_t id;
    uint8_t expected;
  } const cases[] = {
      {"master, class 2 receiver", 2.0f, true, 1, kChecksumEnhanced},
      {"master, class 1 receiver", 1.3f, true, 1, kChecksumClassic},
      {"slave of class 2 sends", 2.0f, false, 1, kChecksumEnhanced},
      {"slave of class 1 sends", 1.3f, false, 1, kChecksumClassic},
      {"diagnostic identifier", 2.0f, true, 60, kChecksumClassic},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TZOR_RAM& ram = Ram;
    ram.Nodes.FreeItems();
    ram.Ifcs.FreeItems();
    ram.NetFrames.FreeItems();
    TNetwork* net = AddNetwork(kNetTypeLIN20);
    TIfc* master = AddIfc(net, kIfcLINMaster, 2.0f, "M");
    TIfc* slave = AddIfc(net, kIfcLINSlave, c.receiverVersion, "S");
    TSignal* signal = AddSignal("Sig");
    TNetFrame* frame = AddFrame(c.masterSends ? master : slave, "F", c.id);
    Make.Place(frame, signal);
    if (c.masterSends) Make.Sub(slave, signal);
    Ram.Update();
    EXPECT_EQ(frame->ChecksumModel, c.expected);
  }
}

TEST_F(FrameQueryTest, ChecksumModelOutsideLin) {
  TNetwork* lin13 = AddNetwork(kNetTypeLIN13);
  TNetwork* can = AddNetwork(kNetTypeCAN);
  TNetFrame* linFrame = AddFrame(AddIfc(lin13, kIfcLINMaster, 1.3f, "M"), "L");
  TNetFrame* canFrame = AddFrame(AddIfc(can, kIfcCAN, 0, "C"), "C");
  canFrame->ChecksumModel = 7;
  Ram.Update();
  EXPECT_EQ(linFrame->ChecksumModel, kChecksumClassic);
  EXPECT_EQ(canFrame->ChecksumModel, 7);  // left as stored
}

TEST_F(FrameQueryTest, HolderTakesSizeAndModelOfFirstFrame) {
  TNetwork* net = AddNetwork(kNetTypeLIN20);
  TIfc* master = AddIfc(net, kIfcLINMaster, 2.0f, "M");
  TIfc* slave = AddIfc(net, kIfcLINSlave, 2.0f, "S");
  TSignal* signal = AddSignal("Sig");
  TNetFrame* first = AddFrame(master, "A", 1, 4);
  Make.Place(first, signal);
  Make.Sub(slave, signal);
  TNetFrame* second = AddFrame(master, "B", 2, 6);
  TFrameHolder* holder = Make.Holder(master, "", 0, kHolderEventTriggered);
  holder->Size = 1;
  holder->NetFrames.Add(first);
  holder->NetFrames.Add(second);
  TFrameHolder* empty = Ram.NewItem(Ram.FrameHolders);
  empty->Size = 3;
  TFrameHolder* sporadic = Ram.NewItem(Ram.FrameHolders);
  sporadic->HolderType = kHolderSporadic;
  sporadic->NetFrames.Add(first);

  Ram.Update();
  EXPECT_EQ(holder->Size, 4);
  EXPECT_EQ(holder->ChecksumModel, kChecksumEnhanced);
  EXPECT_EQ(empty->Size, 3);
  EXPECT_EQ(empty->ChecksumModel, kChecksumClassic);
  EXPECT_EQ(sporadic->ChecksumModel, kChecksumClassic);
  Ram.Update();  // a second pass changes nothing
  EXPECT_EQ(holder->Size, 4);
  EXPECT_EQ(holder->ChecksumModel, kChecksumEnhanced);
}

TEST_F(FrameQueryTest, UpdateClearsUpdateBitsOffCan) {
  const int32_t types[] = {kNetTypeCAN, kNetTypeJ1939, kNetTypeLIN10, kNetTypeLIN20};
  for (int32_t type : types) {
    SCOPED_TRACE(type);
    TNetwork* net = AddNetwork(type);
    TNetFrame* frame = AddFrame(AddIfc(net, type <= kNetTypeJ1939 ? kIfcCAN : kIfcLINMaster, 2.0f, "I"), "F");
    TNetSig* sig = Make.Place(frame, AddSignal("S"));
    sig->UpdateBitOffset = 9;
    TNetSig* orphan = Make.Place(frame, AddSignal("T"));
    orphan->Network = nullptr;
    orphan->UpdateBitOffset = 9;
    Ram.Update();
    EXPECT_EQ(sig->UpdateBitOffset, type <= kNetTypeJ1939 ? 9 : -1);
    EXPECT_EQ(orphan->UpdateBitOffset, -1);
  }
}

TEST_F(FrameQueryTest, GatewayPublisherAndNames) {
  TNetwork* can = AddNetwork(kNetTypeCAN);
  can->Name = "Body";
  TNetwork* lin = AddNetwork(kNetTypeLIN20);
  lin->Name = "Door";
  TIfc* source = AddIfc(can, kIfcCAN, 0, "Src");
  TIfc* gwIn = AddIfc(can, kIfcCAN, 0, "In");
  TIfc* gwOut = AddIfc(lin, kIfcLINMaster, 2.0f, "Out");
  gwOut->Node = gwIn->Node;  // one gateway node with both interfaces
  gwIn->Node->Ifcs.Add(gwOut);
  TSignal* signal = AddSignal("Speed");
  TPubSig* pub = Make.Pub(source, signal);
  TNetSig* onCan = Make.Place(AddFrame(source, "CanFrame"), signal);
  TNetSig* onLin = Make.Place(AddFrame(gwOut, "LinFrame"), signal);
  TGateway* gateway = AddGateway(gwIn, gwOut, signal, gwIn->Node);
  gateway->SigSynonym = "SpeedLin";
  AddGateway(gwIn, gwOut, signal, gwIn->Node);  // a later duplicate is never chosen
  TSubSig* sub = Make.Sub(gwIn, signal);
  sub->NetSig = onCan;

  Ram.Update();
  can->GetFrames();  // as the network check builds it
  EXPECT_EQ(onCan->GetGateway(), nullptr);
  EXPECT_EQ(onLin->GetGateway(), gateway);
  EXPECT_EQ(onCan->FindPublisher(), pub);
  EXPECT_EQ(onLin->FindPublisher(), pub);
  EXPECT_EQ(onLin->GetName(), gateway->GetName());
  EXPECT_EQ(onCan->GetName(), "Speed");
  EXPECT_EQ(onCan->GetDisplayName(), "NodeSrc.Src.Speed");
  EXPECT_EQ(onCan->Frame->GetDisplayName(), "NodeSrc.Src.CanFrame");
  EXPECT_TRUE(onCan->Frame->IsReceivedBy(gwIn));
  EXPECT_FALSE(onCan->Frame->IsReceivedBy(source));
  EXPECT_TRUE(onCan->Frame->IsCanFrame());
  EXPECT_TRUE(onLin->Frame->IsLinFrame());

  // Removing the placement also clears the subscription that cached it.
  TNetFrame* canFrame = onCan->Frame;
  RemoveNetSig(onCan);
  EXPECT_EQ(sub->NetSig, nullptr);
  EXPECT_EQ(canFrame->NetSigs.Count(), 0);
  EXPECT_EQ(Ram.NetSigs.IndexOf(onCan), -1);
}

TEST_F(FrameQueryTest, EachPlacementSearchesItsGatewayOnItsFirstQuery) {
  TNetwork* can = AddNetwork(kNetTypeCAN);
  TNetwork* lin = AddNetwork(kNetTypeLIN20);
  TIfc* in = AddIfc(can, kIfcCAN, 0, "In");
  TIfc* out = AddIfc(lin, kIfcLINMaster, 2.0f, "Out");
  TIfc* out2 = AddIfc(lin, kIfcLINMaster, 2.0f, "Out2");
  out->Node = out2->Node = in->Node;
  in->Node->Ifcs.Add(out);
  in->Node->Ifcs.Add(out2);
  TSignal* a = AddSignal("A");
  TSignal* b = AddSignal("B");
  TGateway* toOut = AddGateway(in, out, a, in->Node);
  TGateway* toOut2 = AddGateway(in, out2, b, in->Node);
  AddGateway(in, out2, b, in->Node);
  TNetSig* first = Make.Place(AddFrame(out, "F1"), a);
  TNetSig* plain = Make.Place(AddFrame(out, "F2"), b);
  TNetSig* second = Make.Place(AddFrame(out2, "F3"), b);
  EXPECT_EQ(first->GetGateway(), toOut);
  EXPECT_FALSE(second->GatewaySearched);
  EXPECT_FALSE(plain->GatewaySearched);
  // A gateway the host adds after another placement's query is found.
  TGateway* late = AddGateway(in, out, b, in->Node);
  EXPECT_EQ(plain->GetGateway(), late);
  // Inside a check run the first matching gateway answers, as outside.
  Ram.BeginCheckRun();
  EXPECT_EQ(second->GetGateway(), toOut2);
  Ram.EndCheckRun();
  // Once searched, the result is kept.
  in->Node->Gateways.Remove(late);
  EXPECT_EQ(plain->GetGateway(), late);
}

TEST_F(FrameQueryTest, PublisherSearchSurvivesGatewayLoops) {
  TNetwork* a = AddNetwork(kNetTypeCAN);
  TNetwork* b = AddNetwork(kNetTypeCAN);
  TIfc* ia = AddIfc(a, kIfcCAN, 0, "A");
  TIfc* ib = AddIfc(b, kIfcCAN, 0, "B");
  ib->Node = ia->Node;
  TSignal* signal = AddSignal("Loop");
  TNetSig* sa = Make.Place(AddFrame(ia, "FA"), signal);
  TNetSig* sb = Make.Place(AddFrame(ib, "FB"), signal);
  TGateway* toB = AddGateway(ia, ib, signal, ia->Node);
  TGateway* toA = AddGateway(ib, ia, signal, ia->Node);
  toB->Gateway = toA;
  toA->Gateway = toB;
  a->GetFrames();
  b->GetFrames();
  EXPECT_EQ(sa->FindPublisher(), nullptr);
  EXPECT_EQ(sb->FindPublisher(), nullptr);
}

TEST_F(FrameQueryTest, DiagnosticFramesAndSharedIds) {
  struct Case {
    int32_t netType;
    const char* name;
    uint32_t id;
    bool byId;
    bool any;
  } const cases[] = {
      {kNetTypeLIN20, "F", 60, true, true},
      {kNetTypeLIN13, "F", 0x40 | 61, true, true},
      {kNetTypeLIN12, "slaveresp", 5, false, true},
      {kNetTypeLIN20, "MASTERREQ", 5, false, true},
      {kNetTypeLIN11, "MasterReq", 60, false, false},
      {kNetTypeCAN, "MasterReq", 60, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TNetwork* net = AddNetwork(c.netType);
    TNetFrame* frame = AddFrame(AddIfc(net, kIfcLINMaster, 2.0f, "M"), c.name, c.id);
    EXPECT_EQ(frame->IsDiagnosticFrame(true), c.byId);
    EXPECT_EQ(frame->IsDiagnosticFrame(false), c.any);
  }

  TNetwork* net = AddNetwork(kNetTypeLIN20);
  TIfc* master = AddIfc(net, kIfcLINMaster, 2.0f, "M");
  TNetFrame* a = AddFrame(master, "A", 7);
  TNetFrame* b = AddFrame(master, "B", 8);
  TFrameHolder* holder = Make.Holder(master, "", 8, kHolderEventTriggered);
  EXPECT_FALSE(a->IdShared());
  EXPECT_TRUE(b->IdShared());
  holder->HolderType = kHolderSporadic;
  EXPECT_FALSE(b->IdShared());
}

TEST_F(FrameQueryTest, NamesUsedOnNetworkAndInterface) {
  TNetwork* net = AddNetwork(kNetTypeLIN20);
  TIfc* master = AddIfc(net, kIfcLINMaster, 2.0f, "M");
  TIfc* slave = AddIfc(net, kIfcLINSlave, 2.0f, "S");
  TNetFrame* a = AddFrame(master, "A");
  TNetFrame* b = AddFrame(slave, "B");
  TNetFrame* other = AddFrame(slave, "C");
  EXPECT_FALSE(a->IsNameUsed("A"));
  EXPECT_TRUE(a->IsNameUsed("B"));
  other->Name = "A";
  EXPECT_TRUE(a->IsNameUsed("A"));
  EXPECT_TRUE(a->NameUsedOnNetwork("A"));
  EXPECT_FALSE(b->NameUsedOnNetwork("B"));

  // A frame that names the interface without being in its list (a host
  // edit) still sees the listed frame of the same name, in and out of a run.
  TNetFrame* stray = AddFrame(nullptr, "B");
  stray->Ifc = slave;
  stray->Network = net;
  for (bool inRun : {false, true}) {
    SCOPED_TRACE(inRun);
    if (inRun) Ram.BeginCheckRun();
    EXPECT_TRUE(stray->IsNameUsed("B"));
    EXPECT_TRUE(stray->NameUsedOnNetwork("B"));
    EXPECT_FALSE(b->NameUsedOnNetwork("B"));
    Ram.EndCheckRun();
  }

  TSignal* s1 = AddSignal("X");
  TSignal* s2 = AddSignal("X");
  TNetSig* p1 = Make.Place(a, s1);
  TNetSig* p2 = Make.Place(a, AddSignal("Y"));
  EXPECT_FALSE(p1->IsNameUsed("X"));
  Make.Place(a, s2);
  EXPECT_TRUE(p1->IsNameUsed("X"));
  EXPECT_FALSE(p2->IsNameUsed("Y"));
}

// A frame long enough to be indexed during a check run answers as the scan
// outside one does, for every placement and name: a signal placed twice, two
// signals of one name, a placement without a signal, one listed twice.
TEST_F(FrameQueryTest, LongFrameNamesAnswerAsTheScanDoes) {
  TNetFrame* frame = AddFrame(AddIfc(AddNetwork(kNetTypeCAN), kIfcCAN, 0.0f, "I"), "F");
  std::vector<TNetSig*> placed;
  for (int i = 0; i < 20; ++i) placed.push_back(Make.Place(frame, AddSignal(("S" + std::to_string(i)).c_str())));
  TSignal* twice = placed[3]->Signal;
  placed.push_back(Make.Place(frame, twice));
  placed.push_back(Make.Place(frame, AddSignal("S5")));
  TNetSig* bare = Make.Place(frame, AddSignal("Gone"));
  bare->Signal = nullptr;
  placed.push_back(bare);
  frame->NetSigs.Add(placed[7]);
  TNetSig* elsewhere = Make.Place(AddFrame(nullptr, "G"), twice);
  elsewhere->Frame = frame;  // claims the frame without being in its list
  placed.push_back(elsewhere);

  const std::vector<std::string> names = {"S0", "S3", "S5", "S7", "S19", "Gone", "", "None"};
  std::vector<bool> scanned;
  for (TNetSig* sig : placed)
    for (const std::string& name : names) scanned.push_back(sig->IsNameUsed(name));
  Ram.BeginCheckRun();
  size_t k = 0;
  for (TNetSig* sig : placed)
    for (const std::string& name : names) {
      SCOPED_TRACE(sig->GetId() + " " + name);
      EXPECT_EQ(sig->IsNameUsed(name), scanned[k++]);
    }
  Ram.EndCheckRun();
  EXPECT_TRUE(placed[3]->IsNameUsed("S3"));   // the same signal placed again
  EXPECT_FALSE(placed[7]->IsNameUsed("S7"));  // only itself, listed twice
}

}  // namespace
}  // namespace ZOR_RAM
