#include "zor/model/children.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support.h"
#include "zor/QXML/QXMLDocument.h"
#include "zor/model/ascii_case.h"
#include "zor/model/check_run_values.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"

using namespace ZOR_RAM;

namespace {

TEST(AsciiCase, FoldsOnlyTheLettersAToZ) {
  struct Case {
    const char* A;
    const char* B;
    bool Same;
  };
  const Case cases[] = {
      {"Node_1", "nODE_1", true}, {"", "", true},     {"ab", "abc", false},
      {"[", "{", false},          {"@", "`", false},  {"\xC4", "\xE4", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.A) + " / " + c.B);
    EXPECT_EQ(SameTextAscii(c.A, c.B), c.Same);
    EXPECT_EQ(FoldAscii(c.A) == FoldAscii(c.B), c.Same);
  }
}

// An item listed twice, and a null entry, in an owner's list: each item is
// destroyed once and leaves its database list.
// Membership of a long owner's list is gathered once in a check run; the
// answers are the search's: a listed item, one listed elsewhere, the null
// entry.
TEST(Children, ListHoldsAsTheSearchInAndOutOfARun) {
  TZOR_RAM ram;
  TIfc* ifc = ram.NewItem(ram.Ifcs);
  for (int i = 0; i < 20; ++i) ifc->NetFrames.Add(ram.NewItem(ram.NetFrames));
  ifc->NetFrames.Add(nullptr);
  TNetFrame* elsewhere = ram.NewItem(ram.NetFrames);
  for (bool inRun : {false, true}) {
    SCOPED_TRACE(inRun);
    if (inRun) ram.BeginCheckRun();
    EXPECT_TRUE(ListHolds(&ram, ifc->NetFrames, ifc->NetFrames[7]));
    EXPECT_FALSE(ListHolds(&ram, ifc->NetFrames, elsewhere));
    EXPECT_TRUE(ListHolds(&ram, ifc->NetFrames, nullptr));
  }
  ram.EndCheckRun();
}

TEST(Children, DestroyTakesEachItemOnce) {
  TZOR_RAM ram;
  TNode* node = ram.NewItem(ram.Nodes);
  TIfc* first = ram.NewItem(ram.Ifcs);
  TIfc* second = ram.NewItem(ram.Ifcs);
  node->Ifcs.Add(first);
  node->Ifcs.Add(nullptr);
  node->Ifcs.Add(second);
  node->Ifcs.Add(first);
  DestroyChildren(node->Ifcs);
  EXPECT_TRUE(node->Ifcs.IsEmpty());
  EXPECT_TRUE(ram.Ifcs.IsEmpty());
}

// Reading again replaces the children; a detached owner cannot make any.
TEST(Children, ReadReplacesAndNeedsADatabase) {
  auto doc = zortest::ParseXml(
      "<EncType><Name>T</Name><Encodes><Encode><Min>1</Min></Encode><Encode/></Encodes></EncType>");
  ASSERT_TRUE(doc);
  TZOR_RAM ram;
  TEncType* type = ram.NewItem(ram.EncTypes);
  ASSERT_FALSE(type->ReadXml(doc->GetRoot()));
  ASSERT_FALSE(type->ReadXml(doc->GetRoot()));
  ASSERT_EQ(type->Encodes.Count(), 2);
  EXPECT_EQ(ram.Encodes.Count(), 2);
  EXPECT_EQ(type->Encodes[0]->EncType, type);
  EXPECT_EQ(type->Encodes[0]->Min, 1);

  auto modeDoc = zortest::ParseXml("<NetMode><SchEntrys><SchEntry/></SchEntrys></NetMode>");
  ASSERT_TRUE(modeDoc);
  TNetMode detached;
  EXPECT_TRUE(detached.ReadXml(modeDoc->GetRoot()));
  EXPECT_TRUE(detached.SchEntrys.IsEmpty());
  // A detached network reads the fields of files without version.
  auto netDoc = zortest::ParseXml("<Network><Name>N</Name><Version>V</Version><NetModes/></Network>");
  ASSERT_TRUE(netDoc);
  TNetwork network;
  EXPECT_FALSE(network.ReadXml(netDoc->GetRoot()));
  EXPECT_EQ(network.Name, "N");
  EXPECT_EQ(network.Version, "");
}

// A reference is read as "ZORId" is, so an identifier that the file holds
// escaped twice still names its item.
TEST(Children, ReferencesReadAsIdentifiers) {
  auto doc = zortest::ParseXml(
      "<R><Network><ZORId>&amp;amp;</ZORId></Network>"
      "<NetSig><Network>&amp;amp;</Network><Signal></Signal></NetSig>"
      "<Ctrl><RxFrames><NetFrame></NetFrame><NetFrame>F</NetFrame></RxFrames><TxFrames/></Ctrl></R>");
  ASSERT_TRUE(doc);
  TQXMLNode* root = doc->GetRoot();
  TZOR_RAM ram;
  TNetwork* network = ram.NewItem(ram.Networks);
  TNetSig* netSig = ram.NewItem(ram.NetSigs);
  TCtrl* ctrl = ram.NewItem(ram.Ctrls);
  TNetFrame* frame = ram.NewItem(ram.NetFrames);
  frame->Id = "F";
  ASSERT_FALSE(network->ReadXml(FindChild(root, "Network")));
  ASSERT_FALSE(netSig->ReadXml(FindChild(root, "NetSig")));
  ASSERT_FALSE(ctrl->ReadXml(FindChild(root, "Ctrl")));
  netSig->ResolveLinks();
  ctrl->ResolveLinks();
  EXPECT_EQ(network->GetId(), "&");
  EXPECT_EQ(netSig->Network, network);
  EXPECT_EQ(netSig->Signal, nullptr);
  ASSERT_EQ(ctrl->RxFrames.Count(), 1);
  EXPECT_EQ(ctrl->RxFrames[0], frame);
}

TEST(Children, WritesReferenceLists) {
  TZOR_RAM ram;
  TFrameHolder* holder = ram.NewItem(ram.FrameHolders);
  TNetFrame* frame = ram.NewItem(ram.NetFrames);
  frame->Id = "a<b";
  holder->NetFrames.Add(frame);
  holder->NetFrames.Add(nullptr);
  EXPECT_EQ(zortest::CaptureLines([&] { WriteRefList("NetFrames", "NetFrame", holder->NetFrames); }),
            zortest::Lines({"<NetFrames>", "<NetFrame>a&lt;b</NetFrame>", "</NetFrames>"}));
}

}  // namespace
