#include "zor/env/env.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/builder.h"
#include "tests/support.h"
#include "zor/check/findings.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/zor.h"

namespace ZOR_RAM {
namespace {

using zortest::CaptureLines;
using zortest::MessageCapture;
using zortest::ParseXml;

// One group with a variable of every kind, as the saver writes it.
std::string GroupText() { return zortest::Golden("zor/env/testdata/env_group.xml"); }

TEST(EnvGroupXml, ReadsEveryKindAndWritesTheSameBytes) {
  auto doc = ParseXml(GroupText());
  ASSERT_TRUE(doc);
  TZOR_RAM ram;
  TEnvGroup* group = ram.NewItem(ram.EnvGroups);
  ASSERT_FALSE(group->ReadXml(doc->GetRoot()));

  ASSERT_EQ(group->EnvIntList.Count(), 1);
  ASSERT_EQ(ram.EnvInts.Count(), 1);
  TEnvInt* speed = group->EnvIntList[0];
  EXPECT_EQ(speed->Unit, "km/h & <x>");
  EXPECT_EQ(speed->AccessType, kAccessReadWrite);
  EXPECT_EQ(speed->MaxValue, 9000000000);
  EXPECT_EQ(speed->EncTypeName, "Enc");
  EXPECT_EQ(speed->Nodes, (std::vector<std::string>{"A&B", "C"}));
  EXPECT_EQ(speed->Group, group);
  TEnvFloat* temp = group->EnvFloatList[0];
  EXPECT_EQ(temp->Unit, "\xB0" "C");
  EXPECT_FLOAT_EQ(temp->MaxValue, 125.25f);
  EXPECT_EQ(group->EnvStrList[0]->Nodes, std::vector<std::string>{"X"});
  EXPECT_EQ(group->EnvDataList[0]->DataLength, 16);
  EXPECT_EQ(ram.EnvFloats.Count() + ram.EnvStrs.Count() + ram.EnvDatas.Count(), 3);

  // Unlinked encoding type: the name read is not written, the field is empty.
  std::string unlinked = GroupText();
  unlinked.replace(unlinked.find("<EncType >Enc<"), 14, "<EncType ><");
  EXPECT_EQ(CaptureLines([&] { group->WriteXml(true); }), unlinked);
  // A linked one: its own name is written.
  TEncType* enc = ram.NewItem(ram.EncTypes);
  enc->Name = "Other";
  speed->EncType = enc;
  EXPECT_NE(CaptureLines([&] { speed->WriteXml(true); }).find("<EncType >Other</EncType >\r\n"),
            std::string::npos);
}

TEST(EnvGroupXml, EmptyGroupWritesAllFourContainers) {
  TZOR_RAM ram;
  TEnvGroup* group = ram.NewItem(ram.EnvGroups);
  group->Name = "G";
  EXPECT_EQ(CaptureLines([&] { group->WriteXml(true); }),
            zortest::Lines({"<EnvGroup>", "<ZORId>EnvGroup0</ZORId>", "<Name>G</Name>",
                            "<EnvIntDatas></EnvIntDatas>", "<EnvFloatDatas></EnvFloatDatas>",
                            "<EnvStrDatas></EnvStrDatas>", "<EnvDataDatas></EnvDataDatas>", "</EnvGroup>"}));
}

TEST(EnvGroupXml, ValueForms) {
  auto doc = ParseXml(
      "<EnvGroup><EnvIntDatas><EnvIntData><AccessType>readwrite</AccessType></EnvIntData>"
      "<EnvIntData><AccessType>Sometimes</AccessType></EnvIntData></EnvIntDatas>"
      "<EnvDataDatas><EnvDataData><DataLength>4294967297</DataLength></EnvDataData></EnvDataDatas>"
      "</EnvGroup>");
  ASSERT_TRUE(doc);
  TZOR_RAM ram;
  TEnvGroup* group = ram.NewItem(ram.EnvGroups);
  ASSERT_FALSE(group->ReadXml(doc->GetRoot()));
  EXPECT_EQ(group->EnvIntList[0]->AccessType, kAccessReadWrite);  // case ignored
  EXPECT_EQ(group->EnvIntList[1]->AccessType, 0);                 // unknown text
  EXPECT_TRUE(group->EnvIntList[1]->Nodes.empty());               // no "Nodes"
  EXPECT_EQ(group->EnvDataList[0]->DataLength, 1);                // low 32 bits
}

TEST(EnvGroupXml, UnexpectedChildFailsTheRead) {
  const struct {
    const char* xml;
    const char* error;
  } cases[] = {
      {"<EnvGroup><EnvIntDatas><EnvFloatData/></EnvIntDatas></EnvGroup>",
       "EnvIntData expected but EnvFloatData found."},
      {"<EnvGroup><EnvDataDatas><EnvDataData/><Data/></EnvDataDatas></EnvGroup>",
       "EnvDataData expected but Data found."},
      {"<EnvGroup><EnvStrDatas><EnvStrData><Nodes><Node>a</Node><Nod>b</Nod></Nodes>"
       "</EnvStrData></EnvStrDatas></EnvGroup>",
       "Node expected but Nod found."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    auto doc = ParseXml(c.xml);
    ASSERT_TRUE(doc);
    TZOR_RAM ram;
    MessageCapture messages;
    TEnvGroup* group = ram.NewItem(ram.EnvGroups);
    EXPECT_TRUE(group->ReadXml(doc->GetRoot()));
    EXPECT_EQ(messages.Errors, std::vector<std::string>{c.error});
  }
}

TEST(EnvGroupXml, RereadingDestroysTheEarlierVariables) {
  auto doc = ParseXml(GroupText());
  ASSERT_TRUE(doc);
  TZOR_RAM ram;
  TEnvGroup* group = ram.NewItem(ram.EnvGroups);
  ASSERT_FALSE(group->ReadXml(doc->GetRoot()));
  ASSERT_FALSE(group->ReadXml(doc->GetRoot()));
  EXPECT_EQ(ram.EnvInts.Count(), 1);
  EXPECT_EQ(ram.EnvFloats.Count(), 1);
  EXPECT_EQ(ram.EnvStrs.Count(), 1);
  EXPECT_EQ(ram.EnvDatas.Count(), 1);
  EXPECT_EQ(group->EnvIntList[0], ram.EnvInts[0]);
}

TEST(EnvGroupLifetime, DestroyingAVariableOrAGroupLeavesNoDanglingLink) {
  auto doc = ParseXml(GroupText());
  ASSERT_TRUE(doc);
  TZOR_RAM ram;
  TEnvGroup* group = ram.NewItem(ram.EnvGroups);
  ASSERT_FALSE(group->ReadXml(doc->GetRoot()));
  TNetwork* network = ram.NewItem(ram.Networks);
  network->EnvGroup = group;

  delete ram.EnvInts[0];
  EXPECT_EQ(group->EnvIntList.Count(), 0);
  TEnvFloat* temp = ram.EnvFloats[0];
  delete group;
  EXPECT_EQ(temp->Group, nullptr);
  EXPECT_EQ(network->EnvGroup, nullptr);
  EXPECT_EQ(ram.EnvFloats.Count(), 1);  // the variables stay in the database
}

TEST(EnvGroupLifetime, VariablesTakenOutOrMovedLeaveNoDanglingPointer) {
  auto doc = ParseXml(GroupText());
  ASSERT_TRUE(doc);
  TZOR_RAM* ram = _NewRAM();
  TEnvGroup* group = ram->NewItem(ram->EnvGroups);
  TEnvGroup* other = ram->NewItem(ram->EnvGroups);
  ASSERT_FALSE(group->ReadXml(doc->GetRoot()));
  // Taken out of its group, which then goes: the variable forgets it.
  TEnvInt* speed = group->EnvIntList[0];
  group->EnvIntList.Remove(speed);
  // Moved to another group: destroying it empties that group's entry.
  TEnvFloat* temp = group->EnvFloatList[0];
  group->EnvFloatList.Remove(temp);
  other->EnvFloatList.Add(temp);
  delete group;
  EXPECT_EQ(speed->Group, nullptr);
  delete temp;
  EXPECT_EQ(other->EnvFloatList.Count(), 0);
  _FreeRAM(ram);  // the sanitizer build sees any read of a freed group here
}

// ---------------------------------------------------------------------------
// Whole files

TZOR_RAM* BuildConfig(const char* version) {
  TZOR_RAM* ram = _NewRAM();
  ram->Version = version;
  zortest::Builder make{*ram};
  TEncType* enc = make.EncType("Enc", 32);
  TEnvGroup* group = make.EnvGroup("G");
  TEnvInt* linked = make.EnvInt(group, "Linked");
  linked->EncType = enc;
  linked->Nodes = {"N1", "N<2>"};
  make.EnvInt(group, "Unlinked")->EncTypeName = "Missing";
  make.EnvFloat(group, "F")->InitialValue = 0.1f;
  make.EnvStr(group, "S");
  make.EnvData(group, "")->DataLength = -1;
  return ram;
}

TEST(EnvFile, GroupsRoundTripByteForByteInVersion2) {
  MessageCapture messages;
  const std::string first = zortest::TempPath("env1.xml"), second = zortest::TempPath("env2.xml");
  TZOR_RAM* built = BuildConfig("2.000");
  ASSERT_FALSE(_SaveRAM(built, first.c_str()));
  _FreeRAM(built);

  TZOR_RAM* loaded = _LoadFile(first.c_str());
  ASSERT_NE(loaded, nullptr) << (messages.Errors.empty() ? "" : messages.Errors[0]);
  ASSERT_EQ(loaded->EnvGroups.Count(), 1);
  TEnvGroup* group = loaded->EnvGroups[0];
  ASSERT_EQ(group->EnvIntList.Count(), 2);
  EXPECT_EQ(group->EnvIntList[0]->EncType, loaded->EncTypes[0]);
  EXPECT_EQ(group->EnvIntList[1]->EncType, nullptr);
  EXPECT_EQ(group->EnvIntList[0]->Nodes, (std::vector<std::string>{"N1", "N<2>"}));
  EXPECT_FLOAT_EQ(group->EnvFloatList[0]->InitialValue, 0.1f);
  EXPECT_EQ(group->EnvDataList[0]->DataLength, -1);

  ASSERT_FALSE(_SaveRAM(loaded, second.c_str()));
  _FreeRAM(loaded);
  const std::string text = zortest::ReadFile(second);
  EXPECT_EQ(zortest::ReadFile(first), text);
  // The linked variable writes its type's own name; without a link the field is empty.
  EXPECT_NE(text.find("<EncType >Enc</EncType >"), std::string::npos);
  EXPECT_NE(text.find("<EncType ></EncType >"), std::string::npos);
  EXPECT_NE(text.find("<Node>N&lt;2&gt;</Node>"), std::string::npos);
  EXPECT_TRUE(messages.Errors.empty());
  std::remove(first.c_str());
  std::remove(second.c_str());
}

TEST(EnvFile, OlderVersionsHaveNoEnvironmentSection) {
  MessageCapture messages;
  const std::string path = zortest::TempPath("env_old.xml");
  TZOR_RAM* built = BuildConfig("1.201");
  ASSERT_FALSE(_SaveRAM(built, path.c_str()));
  _FreeRAM(built);
  EXPECT_EQ(zortest::ReadFile(path).find("Env"), std::string::npos);
  TZOR_RAM* loaded = _LoadFile(path.c_str());
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->EnvGroups.Count(), 0);
  EXPECT_EQ(loaded->EnvInts.Count(), 0);
  _FreeRAM(loaded);
  std::remove(path.c_str());
}

TEST(EnvLinks, NetworksAndIntegerVariablesLinkByName) {
  TZOR_RAM ram;
  zortest::Builder make{ram};
  TEnvGroup* first = make.EnvGroup("Body");
  make.EnvGroup("BODY");
  TEncType* enc = make.EncType("Gear");

  auto network = [&](const char* envName) {
    TNetwork* n = ram.NewItem(ram.Networks);
    n->EnvGroupName = envName;
    return n;
  };
  TNetwork* byName = network("body");
  TNetwork* unmatched = network("Nowhere");
  TNetwork* unnamed = network("");
  unnamed->EnvGroup = first;  // an empty name leaves the link alone

  TEnvInt* variable = make.EnvInt(first, "");
  variable->EncTypeName = "GEAR";
  TEnvInt* outside = ram.NewItem(ram.EnvInts);  // in no group: not linked
  outside->EncTypeName = "Gear";

  LinkEnvGroups(ram);
  EXPECT_EQ(byName->EnvGroup, first);
  EXPECT_EQ(unmatched->EnvGroup, nullptr);
  EXPECT_EQ(unnamed->EnvGroup, first);
  EXPECT_EQ(variable->EncType, enc);
  EXPECT_EQ(outside->EncType, nullptr);
}

// ---------------------------------------------------------------------------
// Checks

using Findings = zortest::FindingLog;

TEST(EnvCheck, VariableFindingsCodeByCode) {
  struct Case {
    const char* what;
    std::function<void(TZOR_RAM&, TEnvInt*)> setup;
    std::vector<int> codes;
    bool error;
  };
  const std::vector<Case> cases = {
      {"clean", [](TZOR_RAM&, TEnvInt*) {}, {}, false},
      {"long name", [](TZOR_RAM&, TEnvInt* v) { v->Name = std::string(129, 'a'); }, {kNameTooLong}, true},
      {"128 characters", [](TZOR_RAM&, TEnvInt* v) { v->Name = std::string(128, 'a'); }, {}, false},
      {"not C-like", [](TZOR_RAM&, TEnvInt* v) { v->Name = "1x"; }, {kNameNotCLike}, true},
      {"min above max", [](TZOR_RAM&, TEnvInt* v) { v->MinValue = 20; }, {kEnvMinOverMax, kEnvInitialOutOfRange},
       false},
      {"initial above max", [](TZOR_RAM&, TEnvInt* v) { v->InitialValue = 11; }, {kEnvInitialOutOfRange}, false},
      {"initial below min", [](TZOR_RAM&, TEnvInt* v) { v->InitialValue = -1; }, {kEnvInitialOutOfRange}, false},
      {"encoding size", [](TZOR_RAM& r, TEnvInt* v) {
         v->EncType = r.NewItem(r.EncTypes);
         v->EncType->Size = 16;
       }, {kEnvSizeNot32}, true},
      {"physical encode", [](TZOR_RAM& r, TEnvInt* v) {
         v->EncType = r.NewItem(r.EncTypes);
         v->EncType->Size = 32;
         for (int type : {kEncodeLogical, kEncodePhysical, kEncodePhysical}) {
           TEncode* e = r.NewItem(r.Encodes);
           e->Type = type;
           e->EncType = v->EncType;
           v->EncType->Encodes.Add(e);
         }
       }, {kEnvPhysicalEncoding}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TZOR_RAM ram;
    TEnvInt* v = ram.NewItem(ram.EnvInts);
    v->Name = "Var";
    v->MaxValue = 10;
    c.setup(ram, v);
    MessageCapture messages;
    Findings findings;
    EXPECT_EQ(v->Check(kCheckUnique | kCheckAll), c.error);
    EXPECT_EQ(findings.Codes, c.codes);
  }
}

TEST(EnvCheck, FloatBoundsCompareAsReals) {
  TZOR_RAM ram;
  TEnvFloat* v = ram.NewItem(ram.EnvFloats);
  v->Name = "F";
  v->MaxValue = 10;
  v->InitialValue = 10.5f;
  MessageCapture messages;
  Findings findings;
  EXPECT_FALSE(v->Check(kCheckAll));
  EXPECT_EQ(findings.Codes, std::vector<int>{kEnvInitialOutOfRange});
  EXPECT_EQ(messages.Warnings,
            std::vector<std::string>{"\"F\" EnvData's InitialValue must be between MinValue and MaxValue."});
  v->MinValue = 11;
  v->InitialValue = 10.75f;
  findings.Codes.clear();
  v->Check(kCheckAll);
  EXPECT_EQ(findings.Codes, (std::vector<int>{kEnvMinOverMax, kEnvInitialOutOfRange}));
}

TEST(EnvCheck, NamesAreUniqueAcrossAllFourKinds) {
  TZOR_RAM ram;
  TEnvInt* i = ram.NewItem(ram.EnvInts);
  i->Name = "Shared";
  TEnvStr* s = ram.NewItem(ram.EnvStrs);
  s->Name = "Shared";
  TEnvData* d = ram.NewItem(ram.EnvDatas);
  d->Name = "shared";  // differs in case only: not a clash
  MessageCapture messages;
  Findings findings;
  EXPECT_TRUE(i->Check(kCheckUnique));
  EXPECT_TRUE(s->Check(kCheckUnique));
  EXPECT_FALSE(d->Check(kCheckUnique));
  EXPECT_EQ(findings.Codes, (std::vector<int>{kNameNotUnique, kNameNotUnique}));
  EXPECT_EQ(findings.Texts[0], "\"Shared\" EnvData Name is not unique.");
  findings.Codes.clear();
  EXPECT_FALSE(i->Check(kCheckAll));  // uniqueness only under its own flag
  EXPECT_TRUE(findings.Codes.empty());
}

TEST(EnvCheck, GroupRunsItsVariablesAndCountsThem) {
  TZOR_RAM ram;
  zortest::Builder make{ram};
  TEnvGroup* group = make.EnvGroup("G");
  for (int n = 0; n < 41; ++n) make.EnvInt(group, n == 0 ? "bad name" : "V" + std::to_string(n));
  make.EnvData(group, "D");
  make.EnvGroup("G");  // a twin of the same name

  MessageCapture messages;
  Findings findings;
  EXPECT_TRUE(group->Check(kCheckAll));  // the first variable's error counts
  EXPECT_EQ(findings.Codes, (std::vector<int>{kNameNotCLike, kTooManyEnvVariables}));
  EXPECT_EQ(findings.Texts[1], "The Enviroment Type \"Int\" 's Count is more than 40");

  findings.Codes.clear();
  EXPECT_TRUE(group->Check(kCheckUnique));  // variables run under kCheckAll only
  EXPECT_EQ(findings.Codes, std::vector<int>{kNameNotUnique});
  EXPECT_EQ(findings.Texts.back(), "\"G\" Environment Group Name is not unique.");
  EXPECT_TRUE(group->IsNameUsed("G"));
  EXPECT_FALSE(group->IsNameUsed("g"));
}

TEST(EnvCheck, PhysicalEncodeFoundAsTheScanInARun) {
  TZOR_RAM ram;
  zortest::Builder make{ram};
  TEnvGroup* group = make.EnvGroup("G");
  std::vector<TEncType*> types;
  for (int t = 0; t < 3; ++t) {
    TEncType* type = make.EncType("T" + std::to_string(t), 32);
    for (int v = 0; v < 20; ++v) make.Encode(type, kEncodeLogical, v, v, "V");
    types.push_back(type);
  }
  types[1]->Encodes.Add(nullptr);
  make.Encode(types[1], kEncodePhysical, 0, 9, "Range");
  types[2]->Encodes.Add(types[2]->Encodes[0]);  // listed twice
  for (int v = 0; v < 6; ++v) make.EnvInt(group, "Var" + std::to_string(v))->EncType = types[v % 3];

  std::vector<int> codes[2];
  for (bool inRun : {false, true}) {
    if (inRun) ram.BeginCheckRun();
    Findings findings;
    for (TEnvInt* variable : group->EnvIntList) variable->Check(kCheckAll);
    codes[inRun] = findings.Codes;
    ram.EndCheckRun();
  }
  EXPECT_EQ(codes[0], (std::vector<int>{kEnvPhysicalEncoding, kEnvPhysicalEncoding}));
  EXPECT_EQ(codes[1], codes[0]);
}

TEST(EnvCheck, DetachedVariableReportsTheBaseFinding) {
  TEnvStr detached;
  detached.Name = "S";
  MessageCapture messages;
  Findings findings;
  EXPECT_TRUE(detached.Check(kCheckUnique | kCheckAll));
  EXPECT_EQ(findings.Codes, std::vector<int>{kNoRam});
}

}  // namespace
}  // namespace ZOR_RAM
