#include "zor/node/controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
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

// A small configuration: nodes A and B; A1 and B1 on the CAN network N, A2 on
// the CAN network M, L1 (LIN master) on the LIN network L. Frame F1 is sent by
// B1 and carries Speed; frame F2 is sent by A2 and carries Speed too.
struct World {
  TZOR_RAM Ram;
  zortest::Builder Make{Ram};
  TNetwork* N = Net("N", kNetTypeCAN);
  TNetwork* M = Net("M", kNetTypeCAN);
  TNetwork* L = Net("L", kNetTypeLIN20);
  TSignal* Speed = Sig("Speed");
  TSignal* Temp = Sig("Temp");
  TNode* A = NewNode("A");
  TNode* B = NewNode("B");
  TIfc* A1 = NewIfc(A, "A1", N, kIfcCAN);
  TIfc* A2 = NewIfc(A, "A2", M, kIfcCAN);
  TIfc* B1 = NewIfc(B, "B1", N, kIfcCAN);
  TIfc* L1 = NewIfc(B, "L1", L, kIfcLINMaster);
  TNetFrame* F1 = NewFrame(B1, "F1");
  TNetSig* F1Speed = Make.Place(F1, Speed);
  TNetFrame* F2 = NewFrame(A2, "F2");
  TNetSig* F2Speed = Make.Place(F2, Speed);

  // The tests refer to networks, signals, nodes, interfaces and frames by
  // identifier, so those carry their name as identifier too.
  template <class T>
  static T* Named(T* item) {
    item->Id = item->Name;
    return item;
  }
  TNetwork* Net(const char* name, int type) { return Named(Make.Network(name, type)); }
  TSignal* Sig(const char* name) { return Named(Make.Signal(name)); }
  TNode* NewNode(const char* name) { return Named(Make.Node(name)); }
  TIfc* NewIfc(TNode* node, const char* name, TNetwork* network, int type) {
    return Named(Make.Ifc(node, name, type, network));
  }
  TNetFrame* NewFrame(TIfc* ifc, const char* name) { return Named(Make.Frame(ifc, name)); }
};

using Findings = zortest::FindingLog;

// Reads xml into a new item of list, resolves it and writes it back.
template <class T>
std::string RoundTrip(TZOR_RAM& ram, TZORList<T>& list, const std::string& xml, std::unique_ptr<TQXMLDocument>& doc,
                      T** out = nullptr) {
  T* item = zortest::ReadItem(ram, list, xml, &doc);
  if (!item) return "read failed";
  item->ResolveLinks();
  if (out) *out = item;
  return zortest::Written(item);
}

TEST(ControllerXml, ElementsRoundTrip) {
  World w;
  TGateway* source = w.Make.Gateway(w.A, w.A1, w.A2, w.Speed);
  source->Id = "G&0";
  std::unique_ptr<TQXMLDocument> doc;
  using Doc = std::unique_ptr<TQXMLDocument>;
  struct Case {
    const char* file;  // of zor/node/testdata
    std::string (*run)(World&, const std::string&, Doc&);
  };
  const Case cases[] = {
      {"ctrl.xml", [](World& v, const std::string& t, Doc& d) { return RoundTrip(v.Ram, v.Ram.Ctrls, t, d); }},
      {"pub_sig.xml", [](World& v, const std::string& t, Doc& d) { return RoundTrip(v.Ram, v.Ram.PubSigs, t, d); }},
      {"sub_sig.xml", [](World& v, const std::string& t, Doc& d) { return RoundTrip(v.Ram, v.Ram.SubSigs, t, d); }},
      // with a source gateway
      {"gateway.xml", [](World& v, const std::string& t, Doc& d) { return RoundTrip(v.Ram, v.Ram.Gateways, t, d); }},
      {"frame_gateway.xml",
       [](World& v, const std::string& t, Doc& d) { return RoundTrip(v.Ram, v.Ram.FrameGateways, t, d); }},
      // unset references are left out
      {"gateway_unset.xml",
       [](World& v, const std::string& t, Doc& d) { return RoundTrip(v.Ram, v.Ram.Gateways, t, d); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string text = zortest::Golden(std::string("zor/node/testdata/") + c.file);
    EXPECT_EQ(c.run(w, text, doc), text);
  }
}

TEST(ControllerXml, FlagsReadNonZeroAsTrueAndDefaultsWhenAbsent) {
  World w;
  std::unique_ptr<TQXMLDocument> doc;
  TSubSig* sub = nullptr;
  RoundTrip(w.Ram, w.Ram.SubSigs, "<SubSig><UpdateBit>7</UpdateBit><NetSig>nothing</NetSig></SubSig>", doc, &sub);
  ASSERT_TRUE(sub);
  EXPECT_TRUE(sub->UpdateBit);
  EXPECT_FALSE(sub->ReceiveRollBack);
  EXPECT_EQ(sub->MaxAge, 0);
  EXPECT_EQ(sub->NetSig, nullptr);  // unknown identifier: left unresolved, no message
}

TEST(ControllerXml, ReferencesResolveOnlyWhileUnset) {
  World w;
  auto doc = ParseXml("<PubSig><Signal>Speed</Signal></PubSig>");
  TPubSig* pub = w.Ram.NewItem(w.Ram.PubSigs);
  ASSERT_FALSE(pub->ReadXml(doc->GetRoot()));
  pub->Signal = w.Temp;
  pub->ResolveLinks();
  EXPECT_EQ(pub->Signal, w.Temp);
}

TEST(ControllerXml, WrongFrameChildIsReportedAndEndsResolution) {
  World w;
  MessageCapture sinks;
  auto doc = ParseXml(
      "<Ctrl><RxFrames><NetFrame>F1</NetFrame><Frame>F2</Frame></RxFrames>"
      "<TxFrames><NetFrame>F2</NetFrame></TxFrames></Ctrl>");
  TCtrl* ctrl = w.Ram.NewItem(w.Ram.Ctrls);
  ctrl->TxFrames.Add(w.F1);
  ASSERT_FALSE(ctrl->ReadXml(doc->GetRoot()));
  ctrl->ResolveLinks();
  EXPECT_EQ(sinks.Errors, std::vector<std::string>{"NetFrame expected but Frame found."});
  ASSERT_EQ(ctrl->RxFrames.Count(), 1);
  EXPECT_EQ(ctrl->RxFrames[0], w.F1);
  ASSERT_EQ(ctrl->TxFrames.Count(), 1);  // as it was
  EXPECT_EQ(ctrl->TxFrames[0], w.F1);

  // Unknown identifiers are skipped without a message.
  sinks.Clear();
  auto doc2 = ParseXml("<Ctrl><TxFrames><NetFrame>zz</NetFrame><NetFrame>F2</NetFrame></TxFrames></Ctrl>");
  ASSERT_FALSE(ctrl->ReadXml(doc2->GetRoot()));
  ctrl->ResolveLinks();
  EXPECT_TRUE(sinks.Errors.empty());
  EXPECT_EQ(ctrl->RxFrames.Count(), 0);
  ASSERT_EQ(ctrl->TxFrames.Count(), 1);
  EXPECT_EQ(ctrl->TxFrames[0], w.F2);
}

TEST(ControllerFrames, SharedAmongControllersLeftoversToFirst) {
  World w;
  TNetFrame* F3 = w.NewFrame(w.B1, "F3");
  TNetFrame* F4 = w.NewFrame(w.B1, "F4");
  w.Make.Place(F4, w.Temp);
  TIfc* B2 = w.NewIfc(w.B, "B2", w.M, kIfcCAN);  // B2 receives F2 (subscribes Speed)
  w.Make.Sub(B2, w.Speed);
  TCtrl* c1 = w.Make.Ctrl(B2, "c1");
  TCtrl* c2 = w.Make.Ctrl(B2, "c2");
  (void)c2;
  TCtrl* first = w.Make.Ctrl(w.B1, "first");
  TCtrl* second = w.Make.Ctrl(w.B1, "second");
  first->TxFrames.Add(F3);
  second->TxFrames.Add(F3);     // already taken by the first
  second->TxFrames.Add(w.F2);   // not transmitted by B1: dropped
  second->TxFrames.Add(w.F1);
  second->TxFrames.Add(w.F1);   // duplicate: the later entry is kept
  TCtrl* lin = w.Make.Ctrl(w.L1, "lin");
  (void)lin;

  AssignControllerFrames(w.Ram);
  auto names = [](const TZORList<TNetFrame>& l) {
    std::string s;
    for (TNetFrame* f : l) s += f->Name + " ";
    return s;
  };
  EXPECT_EQ(names(first->TxFrames), "F3 F4 ");
  EXPECT_EQ(names(second->TxFrames), "F1 ");
  EXPECT_EQ(names(c1->RxFrames), "F2 ");
  EXPECT_EQ(w.L1->Ctrls.Count(), 0);
  EXPECT_EQ(w.Ram.Ctrls.IndexOf(lin), -1);
  EXPECT_EQ(w.Ram.Ctrls.Count(), 4);

  AssignControllerFrames(w.Ram);  // a second pass changes nothing
  EXPECT_EQ(names(first->TxFrames), "F3 F4 ");
  EXPECT_EQ(names(second->TxFrames), "F1 ");
  EXPECT_EQ(names(c1->RxFrames), "F2 ");
}

TEST(ControllerFrames, InterfaceWithoutNetworkKeepsItsLists) {
  World w;
  TIfc* lone = w.NewIfc(w.A, "lone", nullptr, kIfcCAN);
  TNetFrame* f = w.NewFrame(lone, "Lone");
  TCtrl* c = w.Make.Ctrl(lone, "c");
  c->TxFrames.Add(f);
  AssignControllerFrames(w.Ram);
  AssignControllerFrames(w.Ram);
  EXPECT_EQ(c->TxFrames.Count(), 1);
}

TEST(ControllerFrames, DestroyedFrameLeavesTheReceivedFrames) {
  World w;
  w.Make.Sub(w.A1, w.Speed);
  TCtrl* c = w.Make.Ctrl(w.A1, "c");
  AssignControllerFrames(w.Ram);
  ASSERT_EQ(c->RxFrames.Count(), 1);
  // The host removes and destroys the frame B1 sends.
  RemoveNetSig(w.F1Speed);
  w.B1->NetFrames.Remove(w.F1);
  delete w.F1;
  EXPECT_EQ(c->RxFrames.Count(), 0);
  EXPECT_EQ(w.A1->GetRxFrames()->Count(), 0);
  EXPECT_EQ(w.N->GetFrames().Count(), 0);
  AssignControllerFrames(w.Ram);
  EXPECT_EQ(c->RxFrames.Count(), 0);
}

TEST(GatewayQueries, NamesAlongTheChain) {
  World w;
  TGateway* round = w.Make.Gateway(w.A, w.A1, w.A1, w.Speed);
  round->SigSynonym = "SpeedEcho";
  TGateway* out = w.Make.Gateway(w.A, w.A1, w.A2, w.Speed);
  out->SigSynonym = "ignored";
  out->Gateway = round;
  TGateway* plain = w.Make.Gateway(w.A, w.A2, w.A1, w.Speed);
  TGateway* nosig = w.Make.Gateway(w.A, w.A2, w.A1, nullptr);
  TIfc* x = w.NewIfc(w.B, "x", nullptr, kIfcCAN);
  TIfc* y = w.NewIfc(w.B, "y", nullptr, kIfcCAN);
  TGateway* bothNull = w.Make.Gateway(w.B, x, y, w.Temp);
  bothNull->SigSynonym = "T2";

  EXPECT_TRUE(round->IsRoundGateway());
  EXPECT_EQ(round->GetName(), "SpeedEcho");
  EXPECT_EQ(out->GetName(), "SpeedEcho");  // from the first round gateway up the chain
  EXPECT_EQ(plain->GetName(), "Speed");
  EXPECT_EQ(nosig->GetName(), "");
  EXPECT_TRUE(bothNull->IsRoundGateway());  // two interfaces without network
  EXPECT_EQ(bothNull->GetName(), "T2");
  round->Gateway = out;  // a cycle ends the walk
  EXPECT_EQ(out->GetName(), "SpeedEcho");
  EXPECT_EQ(out->GetDisplayName(), "A.A1.A2.ignored");
}

TEST(GatewayQueries, NetSigsOnEachSide) {
  World w;
  TGateway* g = w.Make.Gateway(w.A, w.A2, w.A1, w.Speed);  // Speed from M (F2) to N
  TNetFrame* out = w.NewFrame(w.A1, "Out");
  TNetSig* outSpeed = w.Make.Place(out, w.Speed);
  for (TNetwork* n : {w.N, w.M}) n->GetFrames();
  EXPECT_EQ(g->OutputNetSig(), outSpeed);
  EXPECT_EQ(g->SourceNetSig(), w.F2Speed);
  TGateway* chained = w.Make.Gateway(w.A, w.A1, w.A2, w.Speed);
  chained->Gateway = g;
  EXPECT_EQ(chained->SourceNetSig(), outSpeed);
  // On N both A1 (Out) and B1 (F1) carry Speed; A1's frames come first.
  EXPECT_EQ(NetSigOnNetwork(w.N, w.Speed), outSpeed);
  TSubSig* sub = w.Make.Sub(w.B1, w.Speed);
  EXPECT_EQ(sub->GetNetSig(), outSpeed);
  EXPECT_EQ(sub->NetSig, outSpeed);
  EXPECT_EQ(NetSigOnNetwork(w.N, nullptr), nullptr);
}

TEST(GatewayQueries, IndexScopeGivesTheSameAnswers) {
  World w;
  TNetFrame* out = w.NewFrame(w.A1, "Out");
  w.Make.Place(out, w.Temp);
  w.Make.Place(out, w.Speed);
  TNetFrame* more = w.NewFrame(w.B1, "More");
  w.Make.Place(more, w.Temp);
  w.Make.Gateway(w.A, w.A1, w.A1, w.Temp);  // A echoes Temp: B1's placement answers
  std::vector<TGateway*> gateways = {w.Make.Gateway(w.A, w.A2, w.A1, w.Speed), w.Make.Gateway(w.A, w.A1, w.A2, w.Speed),
                                     w.Make.Gateway(w.B, w.B1, w.A2, w.Temp), w.Make.Gateway(w.B, w.B1, w.B1, nullptr)};
  for (TNetwork* n : {w.N, w.M, w.L}) n->GetFrames();
  std::vector<TNetSig*> plain;
  for (TNetwork* n : {w.N, w.M, w.L})
    for (TSignal* s : {w.Speed, w.Temp}) plain.push_back(NetSigOnNetwork(n, s));
  for (TGateway* g : gateways) {
    plain.push_back(g->OutputNetSig());
    plain.push_back(g->SourceNetSig());
  }
  TNetSigIndexScope scope(w.Ram);
  TNetSigIndexScope inner(w.Ram);
  size_t i = 0;
  for (TNetwork* n : {w.N, w.M, w.L})
    for (TSignal* s : {w.Speed, w.Temp}) EXPECT_EQ(NetSigOnNetwork(n, s), plain[i++]) << i;
  for (TGateway* g : gateways) {
    EXPECT_EQ(g->OutputNetSig(), plain[i++]) << i;
    EXPECT_EQ(g->SourceNetSig(), plain[i++]) << i;
  }
  EXPECT_EQ(NetSigOnNetwork(w.N, w.Temp), more->NetSigs[0]);
}

// Long lists are sorted during a check run; the counts are those of the scan
// outside one: repeats counted, a publication without a signal counted for
// the null signal.
TEST(GatewayQueries, PublishedAndSubscribedCountsInAndOutOfARun) {
  World w;
  std::vector<TSignal*> asked = {w.Speed, w.Temp, nullptr};
  for (int i = 0; i < 20; ++i) {
    TSignal* signal = w.Sig(("S" + std::to_string(i)).c_str());
    w.Make.Pub(w.A1, signal);
    w.Make.Sub(w.B1, signal);
    if (i % 7 == 0) asked.push_back(signal);
  }
  for (int i = 0; i < 3; ++i) w.Make.Pub(w.A1, w.Speed);
  w.Make.Sub(w.B1, w.Temp);
  w.Make.Pub(w.A1, w.Temp)->Signal = nullptr;
  std::vector<int> scanned;
  for (TSignal* signal : asked) {
    scanned.push_back(CountPublished(*w.A1, signal));
    scanned.push_back(CountSubscribed(*w.B1, signal));
  }
  EXPECT_EQ(scanned, (std::vector<int>{3, 0, 0, 1, 1, 0, 1, 1, 1, 1, 1, 1}));
  w.Ram.BeginCheckRun();
  for (size_t i = 0; i < asked.size(); ++i) {
    EXPECT_EQ(CountPublished(*w.A1, asked[i]), scanned[2 * i]) << i;
    EXPECT_EQ(CountSubscribed(*w.B1, asked[i]), scanned[2 * i + 1]) << i;
  }
  w.Ram.EndCheckRun();
}

TEST(GatewayQueries, RoundGatewayHidesTheNodesPlacement) {
  World w;
  w.Make.Gateway(w.B, w.B1, w.B1, w.Speed);  // B echoes Speed back onto N
  w.N->GetFrames();
  EXPECT_EQ(NetSigOnNetwork(w.N, w.Speed), nullptr);
}

TEST(ControllerCheck, CodesByCase) {
  World w;
  TCtrl* c = w.Make.Ctrl(w.A1, "1bad");
  TCtrl* twin = w.Make.Ctrl(w.A1, "1bad");
  twin->TxFrames.Add(w.F1);
  c->RxFrameBudget = 255;
  c->TxFrameBudget = 256;
  {
    Findings f;
    EXPECT_TRUE(c->Check(kCheckAll | kCheckUnique));
    EXPECT_EQ(f.Codes, (std::vector<int>{kNameNotUnique, kNameNotCLike, kControllerNoFrames, kTxFrameBudgetTooBig}));
  }
  c->RxFrameBudget = 256;
  c->Ifc = nullptr;
  {
    Findings f;
    EXPECT_TRUE(c->Check(kCheckAll));
    EXPECT_EQ(f.Codes, (std::vector<int>{kNoInterface, kNameNotCLike, kRxFrameBudgetTooBig, kTxFrameBudgetTooBig}));
  }
  Findings f;
  EXPECT_FALSE(twin->Check(0));
  EXPECT_TRUE(f.Codes.empty());
}

TEST(SignalUseCheck, DelaysAndAges) {
  World w;
  struct Case {
    int max, min;
    bool reported;
  } cases[] = {{5, 10, true}, {0, 10, false}, {5, 0, false}, {10, 5, false}, {10, 10, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.max) + "/" + std::to_string(c.min));
    TPubSig* pub = w.Make.Pub(w.A1, w.Speed);
    pub->MaxTotPubDelay = c.max;
    pub->MinTotPubDelay = c.min;
    TSubSig* sub = w.Make.Sub(w.A2, w.Temp);
    sub->MaxAge = sub->MaxTotSubDelay = c.max;
    sub->MinAge = sub->MinTotSubDelay = c.min;
    Findings f;
    pub->Check(kCheckAll);
    sub->Check(kCheckAll);
    EXPECT_EQ(f.Count(kPublisherDelaysReversed), c.reported ? 1 : 0);
    EXPECT_EQ(f.Count(kAgesReversed), c.reported ? 1 : 0);
    EXPECT_EQ(f.Count(kSubscribedDelaysReversed), c.reported ? 1 : 0);
    RemovePubSig(pub);
    RemoveSubSig(sub);
  }
}

TEST(SignalUseCheck, MissingLinksAndNames) {
  World w;
  TPubSig* p1 = w.Make.Pub(w.A1, w.Speed);
  w.Make.Pub(w.A1, w.Speed);
  TPubSig* orphan = w.Ram.NewItem(w.Ram.PubSigs);
  TSubSig* subOrphan = w.Ram.NewItem(w.Ram.SubSigs);
  Findings f;
  EXPECT_TRUE(p1->Check(kCheckAll | kCheckUnique));
  EXPECT_TRUE(orphan->Check(kCheckAll | kCheckUnique));
  EXPECT_TRUE(subOrphan->Check(kCheckAll | kCheckUnique));
  EXPECT_EQ(f.Codes,
            (std::vector<int>{kNameNotUnique, kNoSignalReference, kNoInterface, kNoSignalReference, kNoInterface}));
  ASSERT_FALSE(f.Sinks.Errors.empty());
  EXPECT_EQ(f.Sinks.Errors[0], "\"Speed\" Published Signal Name is not unique in the A1 Interface.");
  EXPECT_EQ(p1->GetDisplayName(), "A.A1.Speed");
}

TEST(GatewayCheck, CycleReportsOnlyCode137) {
  World w;
  TGateway* a = w.Make.Gateway(w.A, nullptr, nullptr, w.Speed);
  TGateway* b = w.Make.Gateway(w.A, nullptr, nullptr, nullptr);
  a->Gateway = b;
  b->Gateway = a;
  Findings f;
  EXPECT_TRUE(a->Check(kCheckAll | kCheckUnique));
  EXPECT_TRUE(b->Check(kCheckAll | kCheckUnique));
  EXPECT_EQ(f.Codes, (std::vector<int>{kRoundGateway, kRoundGateway}));
  EXPECT_EQ(f.Sinks.Errors[1], "\"Unknown\" is round gateway.");
}

TEST(GatewayCheck, CodesByCase) {
  World w;
  // The network checks of a run build the frame lists the gateways look in.
  for (TNetwork* n : {w.N, w.M, w.L}) n->GetFrames();
  {
    Findings f;
    TGateway* empty = w.Ram.NewItem(w.Ram.Gateways);
    empty->Check(kCheckAll);
    EXPECT_EQ(f.Codes, (std::vector<int>{kNoOwningNode, kNoSignal, kGatewayNoInterface, kGatewayNoInterface}));
  }
  {
    // Speed enters A from N (F1 of B1) and leaves on M (F2 of A2); A3 is a
    // second interface of A on N that subscribes Speed itself.
    TIfc* A3 = w.NewIfc(w.A, "A3", w.N, kIfcCAN);
    w.Make.Sub(A3, w.Speed);
    w.Make.Sub(A3, w.Speed);  // the first subscription only
    w.Make.Pub(w.A1, w.Speed);
    w.Make.Pub(w.A1, w.Speed);
    w.F2->TransportType = kTransportImmediate;
    w.F1->TransportType = kTransportImmediate;
    TGateway* g = w.Make.Gateway(w.A, w.A1, w.A2, w.Speed);
    Findings f;
    EXPECT_TRUE(g->Check(kCheckAll));
    EXPECT_EQ(f.Codes, (std::vector<int>{kGatewaySubscribeOtherInterface, kGatewayFrameImmediate,
                                         kGatewayFrameImmediate, kGatewaySourcePublished, kGatewaySourcePublished}));
    EXPECT_EQ(f.Sinks.Errors[0],
              "\"A\" Node has two Interfaces connected to the same Network \"N\". Signal \"Speed\" must be "
              "subscribed and gatewayed from the same interface.");
    EXPECT_EQ(f.Sinks.Errors[1], "The Rx Frame of \"Speed\" Gateway has Immediate Transport Type.");
  }
  {
    TGateway* g = w.Make.Gateway(w.A, w.A1, w.A2, w.Temp);  // Temp is on no frame
    Findings f;
    g->Check(kCheckAll);
    EXPECT_EQ(f.Codes, (std::vector<int>{kGatewayNoFrame, kGatewayNoFrame}));
  }
}

TEST(FrameGatewayCheck, CodesByCase) {
  World w;
  TFrameGateway* fg = w.Ram.NewItem(w.Ram.FrameGateways);
  {
    Findings f;
    fg->Check(kCheckAll);
    EXPECT_EQ(f.Codes, (std::vector<int>{kNoOwningNode, kFrameGatewayNoFrame, kFrameGatewayNoFrame, kGatewayNoInterface,
                                         kGatewayNoInterface}));
    EXPECT_EQ(f.Sinks.Errors[1], "\"\" Frame Gateway has no Output Frame.");
  }
  fg->Node = w.A;
  fg->InIfc = w.A1;
  fg->OutIfc = w.A1;
  fg->InFrame = w.F2;   // F2 travels on M: A1 does not receive it
  fg->OutFrame = w.F1;  // sent by B1, not A1
  w.F1->TransportType = kTransportImmediate;
  {
    Findings f;
    fg->Check(kCheckAll);
    EXPECT_EQ(f.Codes,
              (std::vector<int>{kGatewayInputNotReceived, kGatewayOutputNotSent, kFrameGatewayFrameImmediate}));
    EXPECT_EQ(f.Sinks.Errors[0], "The Input Frame (A.F1) is not received by the \"A1\" Interface.");
    EXPECT_EQ(f.Sinks.Errors[2], "The Output Frame of \"F1\" Frame Gateway has Immediate Transport Type.");
  }
  EXPECT_EQ(fg->GetDisplayName(), "A.A1.A1.F2.F1");
}

TEST(FrameGatewayCheck, FrameTakenInIsReceived) {
  World w;
  TFrameGateway* fg = w.Ram.NewItem(w.Ram.FrameGateways);
  fg->Node = w.A;
  fg->InIfc = w.A1;
  fg->OutIfc = w.A1;
  fg->InFrame = w.F1;  // the frame gateway itself makes A1 receive F1
  fg->OutFrame = w.NewFrame(w.A1, "Out");
  w.F1->TransportType = kTransportImmediate;
  Findings f;
  EXPECT_TRUE(fg->Check(kCheckAll | kCheckUnique));
  EXPECT_EQ(f.Codes, (std::vector<int>{kFrameGatewayFrameImmediate}));
  EXPECT_EQ(f.Sinks.Errors[0], "The Input Frame of \"Out\" Frame Gateway has Immediate Transport Type.");
}

TEST(Removal, PublishedSignalTakesItsPlacementsAndResponseError) {
  World w;
  TPubSig* pub = w.Make.Pub(w.B1, w.Speed);
  w.B1->response_error = pub;
  EXPECT_EQ(w.F1Speed->FindPublisher(), pub);
  RemovePubSig(pub);
  EXPECT_EQ(w.B1->response_error, nullptr);
  EXPECT_EQ(w.B1->PubSigs.Count(), 0);
  EXPECT_EQ(w.Ram.PubSigs.Count(), 0);
  EXPECT_EQ(w.F1->NetSigs.Count(), 0);
  EXPECT_EQ(w.Ram.NetSigs.IndexOf(w.F2Speed), 0);  // not published by B1
}

TEST(Removal, PublishedSignalTakesPlacementsOfGatewayChainsThatChangeTheSignal) {
  World w;
  TPubSig* pub = w.Make.Pub(w.B1, w.Speed);
  TGateway* speed = w.Make.Gateway(w.A, w.A1, w.A2, w.Speed);  // F2's Speed comes from N
  TGateway* temp = w.Make.Gateway(w.A, w.A1, w.A2, w.Temp);
  temp->Gateway = speed;  // Temp on A2 is fed by the Speed gateway's output
  TNetSig* f2Temp = w.Make.Place(w.F2, w.Temp);
  // Before N's frame list is built there is no placement on N to come from.
  EXPECT_EQ(NetSigOnNetwork(w.N, w.Speed), nullptr);
  EXPECT_EQ(f2Temp->FindPublisher(), nullptr);
  w.N->GetFrames();
  EXPECT_EQ(NetSigOnNetwork(w.N, w.Speed), w.F1Speed);
  EXPECT_EQ(f2Temp->FindPublisher(), pub);
  RemovePubSig(pub);
  EXPECT_EQ(w.Ram.NetSigs.Count(), 0);
  EXPECT_EQ(w.F2->NetSigs.Count(), 0);
}

TEST(Removal, GatewayTakesFedGatewaysAndPlacementsEvenInACycle) {
  World w;
  TGateway* g = w.Make.Gateway(w.A, w.A1, w.A2, w.Speed);  // outputs F2's Speed on A2
  TGateway* fed = w.Make.Gateway(w.A, w.A2, w.A1, w.Speed);
  fed->Gateway = g;
  g->Gateway = fed;
  TGateway* other = w.Make.Gateway(w.B, w.B1, w.B1, w.Temp);
  EXPECT_EQ(w.F2Speed->GetGateway(), g);
  RemoveGateway(g);
  EXPECT_EQ(w.Ram.Gateways.Count(), 1);
  EXPECT_EQ(w.Ram.Gateways[0], other);
  EXPECT_EQ(w.A->Gateways.Count(), 0);
  EXPECT_EQ(w.F2->NetSigs.Count(), 0);
  EXPECT_EQ(w.F1->NetSigs.Count(), 1);
}

}  // namespace
}  // namespace ZOR_RAM
