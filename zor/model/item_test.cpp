#include "zor/model/item.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "tests/support.h"
#include "zor/check/findings.h"
#include "zor/env/env.h"
#include "zor/model/ram.h"
#include "zor/most/fblock.h"
#include "zor/most/fkt_interface.h"
#include "zor/network/frame.h"
#include "zor/network/network.h"
#include "zor/network/signal.h"
#include "zor/network/signal_group.h"
#include "zor/node/controller.h"
#include "zor/node/node.h"
#include "zor/zor.h"

using namespace ZOR_RAM;

namespace {

// One kind of item: a row of items.def (class, database list, factory).
#define ZOR_ITEM(Class, List, Factory)                                        \
  struct Kind_##Factory {                                                     \
    using Item = Class;                                                       \
    static constexpr const char* kName = #Factory;                            \
    static constexpr const char* kClass = #Class;                             \
    static TZORList<Class>& ListOf(TZOR_RAM& ram) { return ram.List; }        \
    static Class* New(TZOR_RAM* ram) { return _New_TZOR_##Factory(ram); }     \
  };
#include "zor/model/items.def"

template <class Tuple>
struct KindList;
template <class... Kinds>
struct KindList<std::tuple<void, Kinds...>> {
  using Types = ::testing::Types<Kinds...>;
  static constexpr size_t kCount = sizeof...(Kinds);
};
using AllKinds = KindList<std::tuple<void
#define ZOR_ITEM(Class, List, Factory) , Kind_##Factory
#include "zor/model/items.def"
                                     >>;
static_assert(AllKinds::kCount == 48);

struct KindName {
  template <class Kind>
  static std::string GetName(int) {
    return Kind::kName;
  }
};

// What every kind of item shares.
template <class Kind>
class ItemKind : public ::testing::Test {};
TYPED_TEST_SUITE(ItemKind, AllKinds::Types, KindName);

// The factory creates the class into its own list, attached and with the
// default identifier counted in that list: the class name without "T"
// (unused signals count as "UnUsedSignal"). A destroyed item leaves its list.
TYPED_TEST(ItemKind, FactoryAttachesToItsListAndDeleteDetaches) {
  using Item = typename TypeParam::Item;
  const std::string name = TypeParam::kName;
  const std::string base = name == "UnUseSignal" ? "UnUsedSignal" : std::string(TypeParam::kClass).substr(1);
  EXPECT_EQ(TypeParam::New(nullptr), nullptr);
  TZOR_RAM* ram = _NewRAM();
  TZORList<Item>& list = TypeParam::ListOf(*ram);
  Item* first = TypeParam::New(ram);
  Item* second = TypeParam::New(ram);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(typeid(*first), typeid(Item));
  EXPECT_EQ(first->Ram, ram);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0], first);
  EXPECT_EQ(list[1], second);
  EXPECT_EQ(first->HomeList(), &list);
  EXPECT_EQ(first->GetId(), base + "0");
  EXPECT_EQ(second->GetId(), base + "1");
  delete first;
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0], second);
  EXPECT_EQ(second->ListIndex(), 0);
  _FreeRAM(ram);
}

// A new item, written and read into another item of its list, writes the
// same bytes again, in every file version.
TYPED_TEST(ItemKind, ReadsBackWhatItWrites) {
  for (const char* version : {"2.000", "1.201"}) {
    SCOPED_TRACE(version);
    zortest::MessageCapture messages;
    TZOR_RAM ram;
    ram.Version = version;
    auto& list = TypeParam::ListOf(ram);
    const std::string text = zortest::Written(ram.NewItem(list));
    std::unique_ptr<TQXMLDocument> doc;
    auto* copy = zortest::ReadItem(ram, list, text, &doc);
    ASSERT_NE(copy, nullptr);
    copy->ResolveLinks();
    EXPECT_EQ(zortest::Written(copy), text);
    EXPECT_EQ(messages.Errors, std::vector<std::string>{});
  }
}

// A new item of every kind, written in the order of items.def, writes the
// recorded defaults of each file version.
TEST(ItemKinds, NewItemsWriteTheRecordedDefaults) {
  for (const char* version : {"2.000", "1.201"}) {
    SCOPED_TRACE(version);
    TZOR_RAM ram;
    ram.Version = version;
    std::string written;
#define ZOR_ITEM(Class, List, Factory) written += zortest::Written(ram.NewItem(ram.List));
#include "zor/model/items.def"
    const std::string file = std::string("zor/model/testdata/new_items_") + (ram.IsVersion2() ? "2000" : "1201");
    EXPECT_EQ(written, zortest::Golden(file + ".xml"));
  }
}

// The base check (under the content flag) reports an item that no database
// holds, as an error. Function block instances check only their name, so
// they have no base check.
TYPED_TEST(ItemKind, CheckReportsADetachedItem) {
  const bool checked = !std::is_same_v<typename TypeParam::Item, TMOSTFBlockInstance>;
  typename TypeParam::Item detached;
  zortest::FindingLog log;
  EXPECT_EQ(detached.Check(kCheckAll), checked);
  EXPECT_EQ(log.Count(kNoRam), checked ? 1 : 0);
  TZOR_RAM ram;
  log.Clear();
  ram.NewItem(TypeParam::ListOf(ram))->Check(kCheckAll);
  EXPECT_EQ(log.Count(kNoRam), 0);
}

TEST(Database, NewDatabaseDefaults) {
  TZOR_RAM ram;
  EXPECT_EQ(ram.Version, "2.000");
  EXPECT_EQ(ram.FileName, "");
  EXPECT_EQ(ram.Description, "");
  EXPECT_TRUE(ram.ReserveDiagnosticIds);
  int lists = 0;
  ram.ForEachList([&](TList& list) {
    ++lists;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.IsDatabaseList());
  });
  EXPECT_EQ(lists, 48);
}

TEST(Identifier, BuiltOnceAndKeptWhenEarlierItemsGo) {
  TZOR_RAM ram;
  TEnvInt* a = ram.NewItem(ram.EnvInts);
  TEnvInt* b = ram.NewItem(ram.EnvInts);
  TEnvInt* c = ram.NewItem(ram.EnvInts);
  EXPECT_EQ(c->GetId(), "EnvInt2");
  delete a;
  EXPECT_EQ(c->GetId(), "EnvInt2");  // kept
  EXPECT_EQ(b->GetId(), "EnvInt0");  // built now, from its index now
  EXPECT_EQ(ram.EnvInts.Count(), 2);
}

TEST(Identifier, DetachedItemCountsAsMinusOne) {
  TEnvInt item;
  EXPECT_EQ(item.GetId(), "EnvInt-1");
}

TEST(Identifier, CountedInTheDatabaseListOfTheClass) {
  TZOR_RAM ram;
  ram.NewItem(ram.FrameHolders);
  ram.NewItem(ram.NetFrames);
  ram.NewItem(ram.NetFrames);
  auto* holder = new TFrameHolder();
  holder->Ram = &ram;
  ram.NetFrames.Add(holder);  // a host adds it to the frames first
  ram.FrameHolders.Add(holder);
  EXPECT_EQ(holder->GetId(), "FrameHolder1");
  // A signal in both signal lists counts in Signals.
  ram.NewItem(ram.UnUsedSignals);
  TSignal* both = ram.NewItem(ram.UnUsedSignals);
  ram.Signals.Add(both);
  EXPECT_EQ(both->GetId(), "Signal0");
}

TEST(Identifier, SaveBuildsOnlyTheIdentifiersItWrites) {
  const std::string path = zortest::TempPath("lazy_ids.xml");
  TZOR_RAM* ram = _NewRAM();
  ram->Version = "1.201";  // no environment section
  TEnvGroup* group = _New_TZOR_EnvGroup(ram);
  TNetFrame* loose = _New_TZOR_NetFrame(ram);  // in no network: never written
  TEncType* enc = _New_TZOR_EncType(ram);
  ASSERT_FALSE(_SaveRAM(ram, path.c_str()));
  EXPECT_EQ(group->Id, "");
  EXPECT_EQ(loose->Id, "");
  EXPECT_EQ(enc->Id, "EncType0");
  // Identifiers built later count from the lists as they are then.
  delete ram->EnvGroups[0];
  TEnvGroup* next = _New_TZOR_EnvGroup(ram);
  EXPECT_EQ(next->GetId(), "EnvGroup0");
  _FreeRAM(ram);
  std::remove(path.c_str());
}

TEST(Identifier, HostSetIdentifierIsKept) {
  TZOR_RAM ram;
  TNetwork* n = ram.NewItem(ram.Networks);
  n->Id = "Mine";
  EXPECT_EQ(n->GetId(), "Mine");
}

TEST(Destruction, ItemLeavesItsListReferenceListsKeepNothing) {
  TZOR_RAM ram;
  TSignal* s1 = ram.NewItem(ram.Signals);
  TSignal* s2 = ram.NewItem(ram.Signals);
  {
    TZORList<TSignal> refs;  // refers only
    refs.Add(s1);
    refs.Add(s2);
  }
  EXPECT_EQ(ram.Signals.Count(), 2);
  delete s1;
  ASSERT_EQ(ram.Signals.Count(), 1);
  EXPECT_EQ(ram.Signals[0], s2);
}

TEST(Destruction, HolderAddedToFramesLeavesBothLists) {
  TZOR_RAM ram;
  TFrameHolder* holder = ram.NewItem(ram.FrameHolders);
  ram.NetFrames.Add(holder);  // a host may list a holder with the frames too
  ram.NewItem(ram.NetFrames);
  delete holder;
  EXPECT_EQ(ram.FrameHolders.Count(), 0);
  EXPECT_EQ(ram.NetFrames.Count(), 1);
}

TEST(Destruction, InterfaceElementInBothListsIsFreedOnce) {
  // Freeing the database releases MOSTFktIfFields before the element lists.
  TZOR_RAM* ram = _NewRAM();
  TMOSTFktIf_Number* number = _New_TZOR_MOSTFktIf_Number(ram);
  ram->MOSTFktIfFields.Add(number);
  _New_TZOR_MOSTFktIfField(ram);
  EXPECT_EQ(ram->MOSTFktIfFields.Count(), 2);
  _FreeRAM(ram);  // ASan reports a double free or a stale list entry
}

TEST(Destruction, SignalsInBothSignalListsFreedOnce) {
  TZOR_RAM* ram = _NewRAM();
  TSignal* unused = _New_TZOR_UnUseSignal(ram);
  ram->Signals.Add(unused);
  _FreeRAM(ram);
}

TEST(Lists, FreeItems) {
  TZOR_RAM ram;
  ram.Nodes.FreeItems();
  EXPECT_EQ(ram.Nodes.Count(), 0);
  for (int i = 0; i < 5; ++i) ram.NewItem(ram.Nodes);
  ram.Nodes.FreeItems();
  EXPECT_EQ(ram.Nodes.Count(), 0);
}

TEST(Lists, RemoveMissingAndOutOfRangeDoNothing) {
  TZOR_RAM ram;
  TNode* a = ram.NewItem(ram.Nodes);
  TNode other;
  EXPECT_EQ(ram.Nodes.Remove(&other), -1);
  ram.Nodes.Delete(5);
  ram.Nodes.Insert(7, &other);
  EXPECT_EQ(ram.Nodes.Count(), 1);
  EXPECT_EQ(ram.Nodes.Get(1), nullptr);
  EXPECT_EQ(ram.Nodes.Get(-1), nullptr);
  EXPECT_EQ(ram.Nodes[0], a);
}

TEST(Lists, RemovedItemIsNoLongerOwned) {
  TZOR_RAM ram;
  TNode* a = ram.NewItem(ram.Nodes);
  ram.Nodes.Remove(a);
  delete a;  // must not touch the list again
  EXPECT_EQ(ram.Nodes.Count(), 0);
}

TEST(FindById, FirstMatchAndIdentifiersBuiltAlongTheWay) {
  TZOR_RAM ram;
  TNode* n0 = ram.NewItem(ram.Nodes);
  TNode* n1 = ram.NewItem(ram.Nodes);
  TNode* n2 = ram.NewItem(ram.Nodes);
  TNode* n3 = ram.NewItem(ram.Nodes);
  n1->Id = "Node3";  // collides with n3's default identifier
  EXPECT_EQ(ram.Nodes.FindById("Node3"), n1);
  // As a scan would: identifiers exist up to the match, not beyond.
  EXPECT_EQ(n0->Id, "Node0");
  EXPECT_EQ(n2->Id, "");
  EXPECT_EQ(ram.Nodes.FindById("Node2"), n2);
  EXPECT_EQ(n3->Id, "");
  EXPECT_EQ(ram.Nodes.FindById("nothing"), nullptr);
  EXPECT_EQ(n3->Id, "Node3");
  EXPECT_EQ(ram.Nodes.FindById("Node0"), n0);
}

TEST(FindById, IndexingAheadBuildsNoIdentifierALookUpWouldNot) {
  TZOR_RAM ram;
  TNode* a = ram.NewItem(ram.Nodes);
  TNode* b = ram.NewItem(ram.Nodes);
  TNode* c = ram.NewItem(ram.Nodes);
  a->Id = "A";
  c->Id = "C";
  const TZOR_RAM::CallScope call(ram);
  EXPECT_FALSE(ram.Nodes.IndexIds());
  EXPECT_EQ(b->Id, "");
  EXPECT_EQ(ram.Nodes.FindById("A"), a);
  EXPECT_EQ(b->Id, "");
  EXPECT_EQ(ram.Nodes.FindById("C"), c);  // passes b, as a scan would
  EXPECT_EQ(b->Id, "Node1");
  EXPECT_TRUE(ram.Nodes.IndexIds());
}

TEST(FindById, SeesItemsAddedLaterAndForgetsRemovedOnes) {
  TZOR_RAM ram;
  TNode* a = ram.NewItem(ram.Nodes);
  EXPECT_EQ(ram.Nodes.FindById("x"), nullptr);
  TNode* b = ram.NewItem(ram.Nodes);
  b->Id = "x";
  EXPECT_EQ(ram.Nodes.FindById("x"), b);
  delete a;
  EXPECT_EQ(ram.Nodes.FindById("Node0"), nullptr);
  EXPECT_EQ(ram.Nodes.FindById("x"), b);
}

TEST(FindById, SeesIdentifiersEditedBetweenCalls) {
  TZOR_RAM ram;
  TNode* a = ram.NewItem(ram.Nodes);
  TNode* b = ram.NewItem(ram.Nodes);
  EXPECT_EQ(ram.Nodes.FindById("Node1"), b);
  b->Id = "B";
  a->Id = "Node1";
  EXPECT_EQ(ram.Nodes.FindById("Node1"), a);
  EXPECT_EQ(ram.Nodes.FindById("B"), b);
  {
    // Inside one call the index is kept, and dropped at its end.
    TZOR_RAM::CallScope call(ram);
    EXPECT_EQ(ram.Nodes.FindById("B"), b);
  }
  b->Id = "C";
  EXPECT_EQ(ram.Nodes.FindById("B"), nullptr);
}

TEST(FindByName, IgnoresAsciiCaseFirstMatch) {
  TZOR_RAM ram;
  TNetwork* a = ram.NewItem(ram.Networks);
  TNetwork* b = ram.NewItem(ram.Networks);
  a->Name = "Body";
  b->Name = "BODY";
  EXPECT_EQ(ram.FindByName(ram.Networks, "body"), a);
  EXPECT_EQ(ram.FindByName(ram.Networks, "bod"), nullptr);
}

TEST(CountNames, SameAnswerInAndOutsideACheckRun) {
  TZOR_RAM ram;
  for (const char* name : {"A", "a", "A", "B"}) ram.NewItem(ram.Nodes)->Name = name;
  for (bool inRun : {false, true}) {
    SCOPED_TRACE(inRun);
    if (inRun) ram.BeginCheckRun();
    EXPECT_EQ(ram.CountNames(ram.Nodes, "A"), 2);
    EXPECT_EQ(ram.CountNames(ram.Nodes, "A", /*ignoreCase=*/true), 3);
    EXPECT_EQ(ram.CountNames(ram.Nodes, "C"), 0);
    ram.EndCheckRun();
  }
}

TEST(Base, AttachmentCheckUnderFlagTwo) {
  TNode detached;
  EXPECT_FALSE(detached.TItemData::Check(1));
  EXPECT_TRUE(detached.TItemData::Check(2));
  TZOR_RAM ram;
  EXPECT_FALSE(ram.NewItem(ram.Nodes)->TItemData::Check(3));
}

}  // namespace

namespace {

TEST(CheckRunValue, BuiltOncePerRunAfreshOutside) {
  TZOR_RAM ram;
  static const char key = 0;
  int builds = 0;
  auto value = [&] { return ram.CheckRunValue<int>(&key, [&] { return ++builds; }); };
  EXPECT_EQ(value(), 1);
  EXPECT_EQ(value(), 2);  // outside a run: afresh every time
  ram.BeginCheckRun();
  EXPECT_EQ(value(), 3);
  EXPECT_EQ(value(), 3);  // kept for the run
  ram.EndCheckRun();
  ram.BeginCheckRun();
  EXPECT_EQ(value(), 4);  // a new run builds again
  ram.EndCheckRun();
}

}  // namespace
