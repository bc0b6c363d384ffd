#include "zor/check/findings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "zor/interface/messages.h"
#include "zor/model/item.h"

namespace ZOR_RAM {
namespace {

struct Delivered {
  char Sink;  // 'E' error, 'W' warning
  std::string Text;
  bool operator==(const Delivered&) const = default;
};
std::vector<Delivered> g_delivered;

void OnError(const char* text) { g_delivered.push_back({'E', text}); }
void OnWarning(const char* text) { g_delivered.push_back({'W', text}); }

class Findings : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = zor::GetSinks();
    zor::Sinks sinks;
    sinks.Error = &OnError;
    sinks.Warning = &OnWarning;
    zor::SetSinks(sinks);
    g_delivered.clear();
  }
  void TearDown() override {
    zor::SetSinks(saved_);
    SetFindingObserver({});
  }
  zor::Sinks saved_;
};

// A named item whose name use is decided by the test.
class FakeItem : public TItemData {
 public:
  FakeItem(std::string name, bool used) : Name_(std::move(name)), Used_(used) {}
  const std::string& GetId() override { return Id; }
  std::string GetName() override { return Name_; }
  bool IsNameUsed(const std::string& name) override {
    AskedFor = name;
    return Used_;
  }
  std::string AskedFor;

 private:
  std::string Name_;
  bool Used_;
};

TEST_F(Findings, TableShape) {
  const std::set<int> warnings = {12,  14,  15,  45,  47,  48,  50,  52,  66,  69,  84,  85,  87,  108, 109, 110, 111,
                                  127, 128, 129, 131, 152, 154, 156, 157, 158, 159, 160, 167, 182, 183, 184, 185};
  for (int code = 0; code < kFindingCount; ++code) {
    EXPECT_EQ(FindingSeverity(code), warnings.count(code) ? kFindingWarning : kFindingError) << code;
    EXPECT_NE(FindingFormat(code), nullptr);
  }
  EXPECT_STREQ(FindingLabel(0), "Name");
  EXPECT_STREQ(FindingLabel(171), "MOST Function InterfaceEnumeration");
  EXPECT_STREQ(FindingFormat(164), "TZOR_RAM pointer is not assigned.");
  EXPECT_STREQ(FindingFormat(62), "The assigned Frame \"%s\" of the \"%s\" Sporadic frame is not publisted by Master Interface.");
  for (int code : {-1, kFindingCount, 100000}) {
    EXPECT_EQ(FindingSeverity(code), -1);
    EXPECT_EQ(FindingLabel(code), nullptr);
    EXPECT_EQ(FindingFormat(code), nullptr);
  }
}

TEST_F(Findings, SeverityRoutesToSinkAndSetsErrorFlag) {
  bool err = false;
  ReportFinding(&err, 12, "S", "Published Signal");
  EXPECT_FALSE(err);
  ReportFinding(&err, 164);
  EXPECT_TRUE(err);
  ReportFinding(&err, 14, "F", "Frame");  // a warning leaves a set flag alone
  EXPECT_TRUE(err);
  ReportFinding(nullptr, 3, "N", "Network");  // no flag to set
  const std::vector<Delivered> expected = {
      {'W', "The \"S\" Published Signal has no Signal."},
      {'E', "TZOR_RAM pointer is not assigned."},
      {'W', "The ID of the \"F\" Frame equals 0."},
      {'E', "\"N\" Network Type is invalid."},
  };
  EXPECT_EQ(g_delivered, expected);
}

TEST_F(Findings, WithoutSinksOnlyTheFlagChanges) {
  zor::SetSinks(zor::Sinks{});
  bool err = false;
  ReportFinding(&err, 159, "E");
  EXPECT_FALSE(err);
  ReportFinding(&err, 155, "E");
  EXPECT_TRUE(err);
  EXPECT_TRUE(g_delivered.empty());
}

TEST_F(Findings, CodesOutsideTheTableReportNothing) {
  bool err = false;
  ReportFinding(&err, -1);
  ReportFinding(&err, kFindingCount);
  EXPECT_FALSE(err);
  EXPECT_TRUE(g_delivered.empty());
}

TEST_F(Findings, TextsAreDeliveredAsTheyStand) {
  struct Case {
    int Code;
    const char* Expected;
  };
  // Trailing blanks, entities and odd spellings are part of the texts.
  ReportFinding(nullptr, 128, "F1", "I1");
  ReportFinding(nullptr, 134, "P");
  ReportFinding(nullptr, 135, "S");
  ReportFinding(nullptr, 136, "S");
  ReportFinding(nullptr, 51, "E", 12.5, 10.0);
  ReportFinding(nullptr, 16, "Sig", "Signed Signal", 65);
  ReportFinding(nullptr, 2, "N", "Interface", " in the X Node");
  ReportFinding(nullptr, 81, "S", "F");
  const Case cases[] = {
      {128, "Frame \"F1\" is not transmitted or received by Interface \"I1\" "},
      {134, "The Min Total Publisher Delay of the \"P\" Published Signal is greater than the Max Total Publisher Delay "},
      {135, "The Min Age of the \"S\" Subscribed Signal is greater than the Max Age "},
      {136, "The Min Total subscribed delay of the \"S\" Subscribed Signal is greater than the Max Total subscribed "},
      {51, "The Frame Time of the \"E\" Schedule Entry is longer than its Delay (12.500 ms &gt; 10.000 ms)."},
      {16, "\"Sig\" The size of the Signed Signal is incorrect: 65."},
      {2, "\"N\" Interface Name is not unique in the X Node."},
      {81, "The UB of the \"S\" Signal overlaps with the signals  of the \"F\" Frame."},
  };
  ASSERT_EQ(g_delivered.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(g_delivered[i].Text, cases[i].Expected) << cases[i].Code;
  }
}

// Formats 32 and 33 end in "%." without a conversion letter; the pair is
// printed literally after the value.
TEST_F(Findings, TrailingPercentDotPrintsLiterally) {
  bool err = false;
  ReportFinding(&err, 32, "Can1", 12.5);
  ReportFinding(&err, 33, "Can1", 87.5);
  EXPECT_TRUE(err);
  ASSERT_EQ(g_delivered.size(), 2u);
  EXPECT_EQ(g_delivered[0].Text, "The Res. Jump Width of the \"Can1\" CAN Network is incorrect: 12.500%.");
  EXPECT_EQ(g_delivered[1].Text, "The Sample Position of the \"Can1\" CAN Network is incorrect: 87.500%.");
}

TEST_F(Findings, LongTextIsCutToTheBuffer) {
  const std::string name(6000, 'n');
  ReportFinding(nullptr, 44, name.c_str(), name.c_str(), "Net");
  ASSERT_EQ(g_delivered.size(), 1u);
  const std::string& text = g_delivered[0].Text;
  EXPECT_EQ(text.size(), kFindingBufferSize - 1);
  EXPECT_EQ(text.substr(0, 20), "The Frame \"nnnnnnnnn");
  EXPECT_EQ(text.back(), 'n');
}

TEST_F(Findings, ObserverSeesCodeSeverityAndText) {
  struct Seen {
    int Code, Severity;
    std::string Text;
  };
  std::vector<Seen> seen;
  SetFindingObserver([&](int code, int severity, const std::string& text) { seen.push_back({code, severity, text}); });
  ReportFinding(nullptr, 131, "C");
  ReportFinding(nullptr, 166, "F");
  zor::SetSinks(zor::Sinks{});  // the observer does not depend on the sinks
  ReportFinding(nullptr, 164);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].Code, 131);
  EXPECT_EQ(seen[0].Severity, kFindingWarning);
  EXPECT_EQ(seen[0].Text, g_delivered[0].Text);
  EXPECT_EQ(seen[1].Code, 166);
  EXPECT_EQ(seen[1].Severity, kFindingError);
  EXPECT_EQ(seen[1].Text, "\"F\" MOST Function has no Function Block.");
  EXPECT_EQ(seen[2].Code, 164);
  EXPECT_EQ(g_delivered.size(), 2u);

  SetFindingObserver({});
  ReportFinding(nullptr, 164);
  EXPECT_EQ(seen.size(), 3u);
}

TEST(IsNotCLike, Table) {
  const struct {
    const char* Text;
    bool NotCLike;
  } cases[] = {
      {"_a1", false}, {"A_b2", false}, {"a", false},   {"_", false},  {"Z9_", false}, {"", true},
      {"1a", true},   {"9", true},     {"a-b", true},  {"a b", true}, {"a.b", true},  {"ab ", true},
      {"\xE9t\xE9", true}, {"a\xFF", true}, {"$a", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsNotCLike(c.Text), c.NotCLike) << '"' << c.Text << '"';
  EXPECT_TRUE(IsNotCLike(std::string("a\0b", 3)));
}

TEST_F(Findings, NameLengthLimit) {
  bool err = false;
  FakeItem ok(std::string(128, 'a'), false);
  CheckItemName(&err, &ok, kCheckAll | kCheckUnique, "Node");
  EXPECT_FALSE(err);
  EXPECT_TRUE(g_delivered.empty());

  const std::string longName(129, 'a');
  FakeItem tooLong(longName, false);
  CheckItemName(&err, &tooLong, kCheckAll, "Node");
  EXPECT_TRUE(err);
  ASSERT_EQ(g_delivered.size(), 1u);
  EXPECT_EQ(g_delivered[0].Text, "\"" + longName + "\" Node's Name cannot be longer than 128 characters");
}

TEST_F(Findings, NameChecksFollowTheFlags) {
  const struct {
    uint64_t Flags;
    std::vector<std::string> Expected;
  } cases[] = {
      {0, {}},
      {kCheckUnique, {"\"1x\" Controller Name is not unique in the I Interface."}},
      {kCheckAll, {"\"1x\" Controller Name is not \"C\"-like"}},
      {kCheckAll | kCheckUnique,
       {"\"1x\" Controller Name is not unique in the I Interface.", "\"1x\" Controller Name is not \"C\"-like"}},
      {~uint64_t{3}, {}},  // other bits mean nothing
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Flags);
    g_delivered.clear();
    FakeItem item("1x", /*used=*/true);
    bool err = false;
    CheckItemName(&err, &item, c.Flags, "Controller", " in the I Interface");
    std::vector<std::string> texts;
    for (const Delivered& d : g_delivered) texts.push_back(d.Text);
    EXPECT_EQ(texts, c.Expected);
    EXPECT_EQ(err, !c.Expected.empty());
    EXPECT_EQ(item.AskedFor, (c.Flags & kCheckUnique) ? "1x" : "");
  }
}

TEST_F(Findings, EmptyNameIsNotCLikeAndNoSuffixByDefault) {
  FakeItem item("", /*used=*/true);
  bool err = false;
  CheckItemName(&err, &item, kCheckAll | kCheckUnique, "Signal");
  ASSERT_EQ(g_delivered.size(), 2u);
  EXPECT_EQ(g_delivered[0].Text, "\"\" Signal Name is not unique.");
  EXPECT_EQ(g_delivered[1].Text, "\"\" Signal Name is not \"C\"-like");
}

TEST_F(Findings, NameFormWithTwoKindWords) {
  const std::string name = std::string(129, 'b') + "-";
  bool err = false;
  CheckNameForm(&err, name, kCheckAll, "Frame Name", "Frame");
  ASSERT_EQ(g_delivered.size(), 2u);
  EXPECT_EQ(g_delivered[0].Text, "\"" + name + "\" Frame Name's Name cannot be longer than 128 characters");
  EXPECT_EQ(g_delivered[1].Text, "\"" + name + "\" Frame Name is not \"C\"-like");
}

}  // namespace
}  // namespace ZOR_RAM
