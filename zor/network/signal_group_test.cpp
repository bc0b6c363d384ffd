#include "zor/network/signal_group.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"
#include "zor/network/signal.h"
#include "zor/node/node.h"

using namespace ZOR_RAM;

namespace {

using zortest::Written;

// Reads the golden file name of zor/network/testdata into a new item of
// list and expects the item to write exactly the same bytes back.
template <class T>
T* ExpectRoundTrip(TZOR_RAM& ram, TZORList<T>& list, const std::string& name, std::unique_ptr<TQXMLDocument>& doc) {
  const std::string text = zortest::Golden("zor/network/testdata/" + name);
  T* item = zortest::ReadItem(ram, list, text, &doc);
  if (item) {
    EXPECT_EQ(Written(item), text);
  }
  return item;
}

TEST(SignalGroupXml, RoundTripKeepsTextsAsStored) {
  TZOR_RAM ram;
  std::unique_ptr<TQXMLDocument> doc;
  // "\xE9" stays a raw byte, while & < > are escaped so the file reads back.
  TSigGrp* group = ExpectRoundTrip(ram, ram.SigGrps, "signal_group.xml", doc);
  ASSERT_TRUE(group);
  EXPECT_EQ(group->Name, "g&\xE9");
  EXPECT_EQ(group->Signals, (std::vector<std::string>{"a<b", "c"}));
  EXPECT_EQ(group->MsgId, 291);
}

TEST(SignalGroupXml, WrongChildFails) {
  TZOR_RAM ram;
  zortest::MessageCapture capture;
  auto doc = zortest::ParseXml("<SignalGroup><Signals><Signal>a</Signal><SigName>b</SigName></Signals></SignalGroup>");
  ASSERT_TRUE(doc);
  EXPECT_TRUE(ram.NewItem(ram.SigGrps)->ReadXml(doc->GetRoot()));
  EXPECT_EQ(capture.Errors, std::vector<std::string>{"Signal expected but SigName found."});
}

TEST(SignalGroupLinXml, PairsReadInStep) {
  TZOR_RAM ram;
  std::unique_ptr<TQXMLDocument> doc;
  TSigGrpLIN* group = ExpectRoundTrip(ram, ram.SigGrpLINs, "signal_group_lin.xml", doc);
  ASSERT_TRUE(group);
  EXPECT_EQ(group->Signals, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(group->Offsets, (std::vector<std::string>{"0", "8"}));
  // Reading again appends the pairs to the lists as they stand.
  group->Offsets.pop_back();
  ASSERT_FALSE(group->ReadXml(doc->GetRoot()));
  EXPECT_EQ(group->Signals, (std::vector<std::string>{"a", "b", "a", "b"}));
  EXPECT_EQ(group->Offsets, (std::vector<std::string>{"0", "", "0", "8"}));
}

TEST(SignalGroupLinXml, BrokenPairs) {
  const struct {
    const char* Label;
    const char* Children;
    bool Fails;
    const char* Error;
    std::vector<std::string> Signals, Offsets;
  } cases[] = {
      {"signal where a name is expected", "<SigName>a</SigName><SiggrpOffset>1</SiggrpOffset><Signal>x</Signal>",
       true, "SigName expected but Signal found.", {"a"}, {"1"}},
      {"name where an offset is expected", "<SigName>a</SigName><SigName>b</SigName>", true,
       "SiggrpOffset expected but SigName found.", {"a"}, {""}},
      {"last name without offset", "<SigName>a</SigName><SiggrpOffset>1</SiggrpOffset><SigName>b</SigName>",
       false, nullptr, {"a", "b"}, {"1", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    TZOR_RAM ram;
    zortest::MessageCapture capture;
    auto doc = zortest::ParseXml(std::string("<SignalGroupLIN><Signals>") + c.Children + "</Signals></SignalGroupLIN>");
    ASSERT_TRUE(doc);
    TSigGrpLIN* group = ram.NewItem(ram.SigGrpLINs);
    EXPECT_EQ(group->ReadXml(doc->GetRoot()), c.Fails);
    EXPECT_EQ(capture.Errors, c.Error ? std::vector<std::string>{c.Error} : std::vector<std::string>{});
    EXPECT_EQ(group->Signals, c.Signals);
    EXPECT_EQ(group->Offsets, c.Offsets);
  }
  // A kept name without its offset is written with an empty one.
  TZOR_RAM ram;
  TSigGrpLIN* group = ram.NewItem(ram.SigGrpLINs);
  group->Signals = {"a", "b"};
  group->Offsets = {"1"};
  EXPECT_NE(Written(group).find("<SigName>b</SigName>\r\n<SiggrpOffset></SiggrpOffset>\r\n"), std::string::npos);
}

TEST(AttributeDefXml, RoundTripByType) {
  for (const char* type : {"hex", "float", "string", "enum"}) {
    SCOPED_TRACE(type);
    TZOR_RAM ram;
    std::unique_ptr<TQXMLDocument> doc;
    ExpectRoundTrip(ram, ram.CDBAttributeDefs, std::string("attribute_def_") + type + ".xml", doc);
  }
}

TEST(AttributeDefXml, EnumValuesReadOnlyForEnum) {
  TZOR_RAM ram;
  auto doc = zortest::ParseXml(
      "<Attribute><Name>i</Name><AttriType>int</AttriType><EnumValues><EnumValue>x</EnumValue></EnumValues>"
      "<MaxValue>255</MaxValue></Attribute>");
  ASSERT_TRUE(doc);
  TCDBAttributeDef* def = ram.NewItem(ram.CDBAttributeDefs);
  ASSERT_FALSE(def->ReadXml(doc->GetRoot()));
  EXPECT_EQ(def->AttriType, kAttrInt);
  EXPECT_EQ(def->MaxInt, 255);
  EXPECT_TRUE(def->EnumValues.empty());
}

const char* const kValueElement =
    "<AttributeValue><Attribute>gensigstartvalue</Attribute><ObjectType>Frame</ObjectType>"
    "<AttriType>INT</AttriType><AttriValue>42</AttriValue><NodeName>N</NodeName><MsgId>256</MsgId>"
    "<SigName>S</SigName><EnvName>E</EnvName></AttributeValue>";

TEST(AttributeValueXml, TypesGoToTheFirstDefinitionOfTheName) {
  TZOR_RAM ram;
  TCDBAttributeDef* first = ram.NewItem(ram.CDBAttributeDefs);
  TCDBAttributeDef* second = ram.NewItem(ram.CDBAttributeDefs);
  first->Name = second->Name = "GenSigStartValue";
  first->AttriType = second->AttriType = kAttrString;
  auto doc = zortest::ParseXml(kValueElement);
  ASSERT_TRUE(doc);
  TCDBAttribute* value = ram.NewItem(ram.CDBAttributes);
  ASSERT_FALSE(value->ReadXml(doc->GetRoot()));
  EXPECT_EQ(first->AttriType, kAttrInt);
  EXPECT_EQ(first->ObjectType, kAttrObjFrame);
  EXPECT_EQ(second->AttriType, kAttrString);
  EXPECT_EQ(value->IntValue, 42);
  EXPECT_EQ(value->DefinitionName, "gensigstartvalue");
  EXPECT_EQ(value->MsgId, 256);
  EXPECT_EQ(value->Object, nullptr);  // no frame with identifier 256

  // Linked to the second definition (as its network does), the value is
  // written with that definition's name and types and the stored identifier.
  second->ObjectType = kAttrObjFrame;
  second->AttriType = kAttrInt;
  value->Definition = second;
  EXPECT_EQ(Written(value), zortest::Golden("zor/network/testdata/attribute_value_linked.xml"));
}

TEST(AttributeValueXml, RereadFollowsDefinitionsRenamedBetweenCalls) {
  TZOR_RAM ram;
  TCDBAttributeDef* first = ram.NewItem(ram.CDBAttributeDefs);
  TCDBAttributeDef* second = ram.NewItem(ram.CDBAttributeDefs);
  first->Name = "GenSigStartValue";
  second->Name = "Other";
  auto doc = zortest::ParseXml(kValueElement);
  ASSERT_TRUE(doc);
  TCDBAttribute* value = ram.NewItem(ram.CDBAttributes);
  ASSERT_FALSE(value->ReadXml(doc->GetRoot()));
  EXPECT_EQ(first->AttriType, kAttrInt);
  first->Name = "Other";
  second->Name = "GenSigStartValue";
  first->AttriType = kAttrString;
  ASSERT_FALSE(value->ReadXml(doc->GetRoot()));
  EXPECT_EQ(second->AttriType, kAttrInt);
  EXPECT_EQ(second->ObjectType, kAttrObjFrame);
  EXPECT_EQ(first->AttriType, kAttrString);
}

TEST(AttributeValueXml, HolderObjectKeepsTheStoredMessageId) {
  TZOR_RAM ram;
  TFrameHolder* holder = ram.NewItem(ram.FrameHolders);
  holder->FrameId = 7;
  TCDBAttributeDef* def = ram.NewItem(ram.CDBAttributeDefs);
  def->Name = "A";
  def->ObjectType = kAttrObjFrame;
  TCDBAttribute* value = ram.NewItem(ram.CDBAttributes);
  value->Definition = def;
  value->MsgId = 256;
  value->Object = holder;
  EXPECT_NE(Written(value).find("<MsgId>256</MsgId>"), std::string::npos);
}

TEST(AttributeDefLookup, FirstOfTheNameAsTheListGrowsAndChanges) {
  TZOR_RAM ram;
  EXPECT_EQ(TCDBAttributeDef::FindInDatabase(ram, "a"), nullptr);
  TCDBAttributeDef* a = ram.NewItem(ram.CDBAttributeDefs);
  a->Name = "Alpha";
  EXPECT_EQ(TCDBAttributeDef::FindInDatabase(ram, "ALPHA"), a);
  EXPECT_EQ(TCDBAttributeDef::FindInDatabase(ram, "Beta"), nullptr);
  TCDBAttributeDef* b = ram.NewItem(ram.CDBAttributeDefs);
  TCDBAttributeDef* b2 = ram.NewItem(ram.CDBAttributeDefs);
  b->Name = b2->Name = "beta";
  EXPECT_EQ(TCDBAttributeDef::FindInDatabase(ram, "Beta"), b);  // added after the first look-up
  b->Name = "gamma";                                             // renamed after it was indexed
  EXPECT_EQ(TCDBAttributeDef::FindInDatabase(ram, "Beta"), b2);
  delete a;  // the definition that kept the index
  EXPECT_EQ(TCDBAttributeDef::FindInDatabase(ram, "gamma"), b);
  EXPECT_EQ(TCDBAttributeDef::FindInDatabase(ram, "alpha"), nullptr);
}

TEST(AttributeValueXml, ObjectsFollowTheirItems) {
  TZOR_RAM ram;
  TNode* node = ram.NewItem(ram.Nodes);
  node->Name = "Engine";
  TNetFrame* frame = ram.NewItem(ram.NetFrames);
  frame->FrameId = 256;
  TSignal* signal = ram.NewItem(ram.Signals);
  signal->Name = "Rpm";
  TNetSig* netSig = ram.NewItem(ram.NetSigs);
  netSig->Signal = signal;
  netSig->Frame = frame;
  TCDBAttributeDef* def = ram.NewItem(ram.CDBAttributeDefs);
  def->Name = "A";

  const struct {
    const char* ObjectType;
    TItemData* Expected;
    const char* Children;  // the four object children as written after a rename
  } cases[] = {
      {"Node", node, "<NodeName>Motor</NodeName><MsgId></MsgId><SigName></SigName><EnvName></EnvName>"},
      {"Frame", frame, "<NodeName></NodeName><MsgId>257</MsgId><SigName></SigName><EnvName></EnvName>"},
      {"Signal", netSig, "<NodeName></NodeName><MsgId>257</MsgId><SigName>Speed</SigName><EnvName></EnvName>"},
      {"NetWork", nullptr, "<NodeName></NodeName><MsgId></MsgId><SigName></SigName><EnvName></EnvName>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ObjectType);
    node->Name = "Engine";
    frame->FrameId = 256;
    signal->Name = "Rpm";
    auto doc = zortest::ParseXml(std::string("<AttributeValue><Attribute>a</Attribute><ObjectType>") +
                                 c.ObjectType +
                                 "</ObjectType><AttriType>INT</AttriType><NodeName>engine</NodeName>"
                                 "<MsgId>256</MsgId><SigName>Rpm</SigName></AttributeValue>");
    ASSERT_TRUE(doc);
    TCDBAttribute* value = ram.NewItem(ram.CDBAttributes);
    ASSERT_FALSE(value->ReadXml(doc->GetRoot()));
    EXPECT_EQ(value->Object, c.Expected);
    value->Definition = def;
    node->Name = "Motor";
    frame->FrameId = 257;
    signal->Name = "Speed";
    std::string written = Written(value);
    std::string children;
    for (const char* tag : {"<NodeName>", "<MsgId>", "<SigName>", "<EnvName>"}) {
      size_t at = written.find(tag);
      ASSERT_NE(at, std::string::npos);
      children += written.substr(at, written.find("\r\n", at) - at);
    }
    EXPECT_EQ(children, c.Children);
  }
}

TEST(AttributeValueXml, UnknownDefinitionLosesNothing) {
  TZOR_RAM ram;
  auto doc = zortest::ParseXml(
      "<AttributeValue><ZORId>V</ZORId><Attribute>Nowhere</Attribute><ObjectType>Node</ObjectType>"
      "<AttriType>STRING</AttriType><AttriValue>a&amp;b</AttriValue><NodeName>N</NodeName></AttributeValue>");
  ASSERT_TRUE(doc);
  TCDBAttribute* value = ram.NewItem(ram.CDBAttributes);
  ASSERT_FALSE(value->ReadXml(doc->GetRoot()));
  EXPECT_EQ(value->Definition, nullptr);
  EXPECT_EQ(value->GetName(), "Nowhere");
  EXPECT_EQ(Written(value), zortest::Golden("zor/network/testdata/attribute_value_unknown.xml"));
}

TEST(ConfigurationXml, CompositesBelongToTheConfiguration) {
  TZOR_RAM ram;
  std::unique_ptr<TQXMLDocument> doc;
  TConfiguration* config = ExpectRoundTrip(ram, ram.Configurations, "configuration.xml", doc);
  ASSERT_TRUE(config);
  ASSERT_EQ(config->Composites.Count(), 2);
  EXPECT_EQ(ram.Composites.Count(), 2);
  EXPECT_EQ(config->Composites[1], ram.Composites[1]);
  EXPECT_EQ(config->Composites[0]->FunctionNodes, (std::vector<std::string>{"f1", "f2"}));

  // Reading again appends new composites; the old ones stay where they are.
  TComposite* first = config->Composites[0];
  ASSERT_FALSE(config->ReadXml(doc->GetRoot()));
  EXPECT_EQ(config->Composites.Count(), 4);
  EXPECT_EQ(ram.Composites.Count(), 4);
  EXPECT_EQ(config->Composites[0], first);
}

TEST(ConfigurationXml, WrongChildrenFail) {
  const struct {
    const char* Element;
    const char* Error;
  } cases[] = {
      {"<Configuration><Composites><Composite/><Config/></Composites></Configuration>",
       "Composite expected but Config found."},
      {"<Configuration><Composites><Composite><FunctionNodes><Node/></FunctionNodes></Composite></Composites>"
       "</Configuration>",
       "FunctionNode expected but Node found."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Error);
    TZOR_RAM ram;
    zortest::MessageCapture capture;
    auto doc = zortest::ParseXml(c.Element);
    ASSERT_TRUE(doc);
    EXPECT_TRUE(ram.NewItem(ram.Configurations)->ReadXml(doc->GetRoot()));
    EXPECT_EQ(capture.Errors, std::vector<std::string>{c.Error});
  }
}

}  // namespace
