#include "zor/check/findings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "zor/io/messages.h"
#include "zor/model/item.h"

namespace ZOR_RAM {
namespace {

// Delivered texts, prefixed "E:" (error sink) or "W:" (warning sink).
std::vector<std::string> g_delivered;

class Findings : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = zor::GetSinks();
    zor::Sinks sinks;
    sinks.Error = [](const char* text) { g_delivered.push_back(std::string("E:") + text); };
    sinks.Warning = [](const char* text) { g_delivered.push_back(std::string("W:") + text); };
    zor::SetSinks(sinks);
    g_delivered.clear();
  }
  void TearDown() override {
    zor::SetSinks(saved_);
    SetFindingObserver({});
  }
  zor::Sinks saved_;
};

// A named item whose name use the test decides.
class FakeItem : public TItemData {
 public:
  FakeItem(std::string name, bool used) : Name_(std::move(name)), Used_(used) {}
  const std::string& GetId() override { return Id; }
  std::string GetName() override { return Name_; }
  bool IsNameUsed(const std::string& name) override {
    AskedFor = name;
    return Used_;
  }
  std::string GetDisplayName() override {
    ++DisplayBuilds;
    if (DisplayNameCache.empty()) DisplayNameCache = "Ecu." + Name_;
    return DisplayNameCache;
  }
  std::string AskedFor;
  int DisplayBuilds = 0;

 private:
  std::string Name_;
  bool Used_;
};

TEST_F(Findings, SeveritiesOfTheTable) {
  const std::set<int> warnings = {
      kNoSignal, kIdZero, kFrameNotScheduled, kTooManyFramesToConnect, kTooManyControllers, kTooManyScheduleTables,
      kEventFrameScheduledWithItsFrames, kEntryShortDelay, kHolderNoMessageId, kHolderFrameTransmittedBy,
      kFrameNoMessageId, kFrameInNoInterfaceMode, kTxTimingNotMultiple, kUnder8BitsCrossesByte,
      kOver7BitsNotAligned, kUnder16BitsCrossesTwoBytes, kOver15BitsNotAligned, kTooManyInterfaceModes,
      kFrameNotOnInterface, kMessageIdNotUnique, kControllerNoFrames, kSignalNotMapped, kEncodesOverlap,
      kEncodeOutsideType, kEncodeMinNotBelowMax, kEncodeScaleZero, kEnvMinOverMax, kEnvInitialOutOfRange,
      kFunctionOpTypeInvalid, kStreamCaseEmpty, kStreamCasePosYRange, kStreamCasePosTypeMismatch, kStreamCaseNoPosY};
  for (int code = 0; code < kFindingCount; ++code) {
    EXPECT_EQ(FindingSeverity(code), warnings.count(code) ? kFindingWarning : kFindingError) << code;
  }
  EXPECT_STREQ(FindingLabel(kEnumerationEmpty), "MOST Function InterfaceEnumeration");
  EXPECT_EQ(FindingSeverity(kFindingCount), -1);
  EXPECT_EQ(FindingFormat(-1), nullptr);
}

// The host form takes the code as a number.
TEST_F(Findings, RoutingAndErrorFlag) {
  bool err = false;
  ReportFinding(&err, 12, "S", "Published Signal");
  EXPECT_FALSE(err);
  ReportFinding(&err, 164);
  EXPECT_TRUE(err);
  ReportFinding(&err, 14, "F", "Frame");  // a warning leaves a set flag alone
  EXPECT_TRUE(err);
  ReportFinding(nullptr, 3, "N", "Network");
  ReportFinding(&err, -1);  // outside the table: nothing
  ReportFinding(&err, kFindingCount);
  EXPECT_EQ(g_delivered, (std::vector<std::string>{"W:The \"S\" Published Signal has no Signal.",
                                                   "E:TZOR_RAM pointer is not assigned.",
                                                   "W:The ID of the \"F\" Frame equals 0.",
                                                   "E:\"N\" Network Type is invalid."}));

  zor::SetSinks(zor::Sinks{});  // without sinks only the flag changes
  bool err2 = false;
  ReportFinding(&err2, 155, "E");
  EXPECT_TRUE(err2);
  EXPECT_EQ(g_delivered.size(), 4u);
}

TEST_F(Findings, TextsAreDeliveredAsTheyStand) {
  ReportFinding<kFrameNotOnInterface>(nullptr, "F1", "I1");
  ReportFinding<kPublisherDelaysReversed>(nullptr, "P");
  ReportFinding<kAgesReversed>(nullptr, "S");
  ReportFinding<kSubscribedDelaysReversed>(nullptr, "S");
  ReportFinding<kEntryFrameTimeOverDelay>(nullptr, "E", 12.5, 10.0);
  // Formats 32 and 33 end in "%." without a conversion letter: printed as is.
  ReportFinding<kCanJumpWidthInvalid>(nullptr, "Can1", 12.5);
  ReportFinding(nullptr, 33, "Can1", 87.5);
  EXPECT_EQ(g_delivered,
            (std::vector<std::string>{
                "W:Frame \"F1\" is not transmitted or received by Interface \"I1\" ",
                "E:The Min Total Publisher Delay of the \"P\" Published Signal is greater than the Max Total Publisher Delay ",
                "E:The Min Age of the \"S\" Subscribed Signal is greater than the Max Age ",
                "E:The Min Total subscribed delay of the \"S\" Subscribed Signal is greater than the Max Total subscribed ",
                "E:The Frame Time of the \"E\" Schedule Entry is longer than its Delay (12.500 ms &gt; 10.000 ms).",
                "E:The Res. Jump Width of the \"Can1\" CAN Network is incorrect: 12.500%.",
                "E:The Sample Position of the \"Can1\" CAN Network is incorrect: 87.500%.",
            }));
}

TEST_F(Findings, LongTextIsCutToTheBuffer) {
  const std::string name(6000, 'n');
  ReportFinding<kFrameIdShared>(nullptr, name, name, "Net");
  ASSERT_EQ(g_delivered.size(), 1u);
  EXPECT_EQ(g_delivered[0].size(), 2 + kFindingBufferSize - 1);
  EXPECT_EQ(g_delivered[0].substr(0, 16), "E:The Frame \"nnn");
}

TEST_F(Findings, ObserverSeesEveryFinding) {
  std::vector<std::string> seen;
  SetFindingObserver([&](int code, int severity, const std::string& text) {
    seen.push_back(std::to_string(code) + "/" + std::to_string(severity) + ":" + text);
  });
  ReportFinding<kControllerNoFrames>(nullptr, "C");
  zor::SetSinks(zor::Sinks{});
  ReportFinding<kFunctionNoFBlock>(nullptr, "F");
  SetFindingObserver({});
  ReportFinding<kNoRam>(nullptr);
  EXPECT_EQ(seen, (std::vector<std::string>{"131/1:\"C\" Controller has no assigned Tx or Rx Frames.",
                                            "166/0:\"F\" MOST Function has no Function Block."}));
  EXPECT_EQ(g_delivered, (std::vector<std::string>{"W:\"C\" Controller has no assigned Tx or Rx Frames."}));
}

// The checked form compiles only for arguments that fit the format (it
// static_asserts kFindingArgumentsFit): as many as it has conversions, texts
// (char pointers or std::string) for %s, integers no wider than int for %d,
// reals for %f. ReportFinding<kSizeIncorrect>(&err, name, "Signal") does not
// compile.
template <FindingCode Code, typename... Args>
constexpr bool Fits = kFindingArgumentsFit<Code, Args...>;

static_assert(Fits<kNoRam>);
static_assert(!Fits<kNoRam, const char*>);
static_assert(Fits<kSizeIncorrect, std::string, char[7], int>);
static_assert(Fits<kSizeIncorrect, char*, const char*, int16_t>);
static_assert(Fits<kSizeIncorrect, const char*, const char*, unsigned>);
static_assert(!Fits<kSizeIncorrect, const char*, const char*>);
static_assert(!Fits<kSizeIncorrect, const char*, const char*, int, int>);
static_assert(!Fits<kSizeIncorrect, const char*, const char*, double>);
static_assert(!Fits<kSizeIncorrect, const char*, const char*, int64_t>);
static_assert(!Fits<kSizeIncorrect, const char*, const char*, bool>);
static_assert(!Fits<kSizeIncorrect, int, const char*, int>);
static_assert(!Fits<kSizeIncorrect, std::nullptr_t, const char*, int>);
static_assert(!Fits<kSizeIncorrect, std::string_view, const char*, int>);
static_assert(Fits<kCanJumpWidthInvalid, const char*, double>);  // the closing "%." takes nothing
static_assert(Fits<kCanJumpWidthInvalid, const char*, float>);
static_assert(!Fits<kCanJumpWidthInvalid, const char*, double, double>);
static_assert(!Fits<kCanJumpWidthInvalid, const char*, int>);
static_assert(Fits<kEncodeOutsideType, const char*, const char*, const char*, const char*, const char*, const char*,
                   const char*>);
static_assert(!Fits<kEncodeOutsideType, const char*, const char*, const char*, const char*, const char*, const char*>);

// How a format is read: "%%" and an incomplete "%" take nothing; length
// modifiers, '*' and conversions no finding uses make the format unsupported.
constexpr bool ReadsAs(const char* format, int count, bool supported = true) {
  const finding_format::Arguments args = finding_format::ArgumentsOf(format);
  return args.Count == count && args.Supported == supported;
}
static_assert(ReadsAs("100%% of %s", 1));
static_assert(ReadsAs("%s%%%d%%", 2));
static_assert(ReadsAs("%.3f%.", 1));
static_assert(ReadsAs("%-5x and %", 1));
static_assert(ReadsAs("%ld", 0, false));
static_assert(ReadsAs("%*d", 0, false));
static_assert(ReadsAs("%p", 0, false));
static_assert(ReadsAs("%s%s%s%s%s%s%s%s%s", 8, false));
static_assert(finding_format::kArguments<kMultiplexValueOverMax>.Kinds[2] == finding_format::ArgKind::kInteger);
static_assert(finding_format::kArguments<kEntryShortDelay>.Kinds[1] == finding_format::ArgKind::kReal);

TEST_F(Findings, CheckedFormPassesEachKind) {
  bool err = false;
  const std::string name = "S";
  const int16_t size = -3;
  ReportFinding<kSizeIncorrect>(&err, name, "Signed Signal", size);
  ReportFinding<kEntryShortDelay>(nullptr, std::string("E"), 3.25f, 4.0);
  EXPECT_TRUE(err);
  EXPECT_EQ(g_delivered, (std::vector<std::string>{
                             "E:\"S\" The size of the Signed Signal is incorrect: -3.",
                             "W:\"E\" Schedule Entry: Short Delay definition (3.250 ms * 1.4 &gt; 4.000 ms)."}));
}

TEST(IsNotCLike, Table) {
  const std::pair<std::string, bool> cases[] = {
      {"_a1", false}, {"A_b2", false}, {"_", false},   {"Z9_", false},       {"", true},
      {"1a", true},   {"a-b", true},   {"a b", true},  {"ab ", true},        {"\xE9t\xE9", true},
      {"a\xFF", true}, {"$a", true},   {std::string("a\0b", 3), true},
  };
  for (const auto& [text, notCLike] : cases) EXPECT_EQ(IsNotCLike(text), notCLike) << '"' << text << '"';
}

TEST_F(Findings, NameChecksFollowTheFlags) {
  const std::string n129(129, 'a');
  const struct {
    std::string Name;
    uint64_t Flags;
    std::vector<std::string> Expected;
  } cases[] = {
      {"1x", 0, {}},
      {"1x", ~uint64_t{3}, {}},  // other bits mean nothing
      {"1x", kCheckUnique, {"E:\"1x\" Controller Name is not unique in the I Interface."}},
      {"1x", kCheckAll, {"E:\"1x\" Controller Name is not \"C\"-like"}},
      {"1x", kCheckAll | kCheckUnique,
       {"E:\"1x\" Controller Name is not unique in the I Interface.", "E:\"1x\" Controller Name is not \"C\"-like"}},
      {std::string(128, 'a'), kCheckAll, {}},
      {n129, kCheckAll, {"E:\"" + n129 + "\" Controller's Name cannot be longer than 128 characters"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name.substr(0, 4) + " " + std::to_string(c.Flags));
    g_delivered.clear();
    FakeItem item(c.Name, /*used=*/c.Name == "1x");
    bool err = false;
    CheckItemName(&err, &item, c.Flags, "Controller", " in the I Interface");
    EXPECT_EQ(g_delivered, c.Expected);
    EXPECT_EQ(err, !c.Expected.empty());
    EXPECT_EQ(item.AskedFor, (c.Flags & kCheckUnique) ? c.Name : "");
  }

  g_delivered.clear();
  FakeItem unnamed("", /*used=*/true);
  CheckItemName(nullptr, &unnamed, kCheckAll | kCheckUnique, "Signal");
  EXPECT_EQ(g_delivered, (std::vector<std::string>{"E:\"\" Signal Name is not unique.",
                                                   "E:\"\" Signal Name is not \"C\"-like"}));
  g_delivered.clear();
  CheckNameForm(nullptr, n129 + "-", kCheckAll, "Frame Name", "Frame");
  EXPECT_EQ(g_delivered, (std::vector<std::string>{"E:\"" + n129 + "-\" Frame Name's Name cannot be longer than 128 characters",
                                                   "E:\"" + n129 + "-\" Frame Name is not \"C\"-like"}));
}

TEST_F(Findings, LazyArgumentsAreBuiltOnlyWhenAFindingReadsThem) {
  int suffixBuilds = 0;
  const auto suffix = [&suffixBuilds] {
    ++suffixBuilds;
    return std::string(" in the I Interface");
  };
  FakeItem unique("a", false), clash("b", true);
  CheckNameUnique(nullptr, &unique, "a", kCheckUnique, "Controller", suffix);
  CheckNameUnique(nullptr, &clash, "b", kCheckAll, "Controller", suffix);  // uniqueness not asked for
  EXPECT_EQ(suffixBuilds, 0);
  CheckNameUnique(nullptr, &clash, "b", kCheckUnique, "Controller", suffix);
  EXPECT_EQ(suffixBuilds, 1);
  EXPECT_EQ(g_delivered, std::vector<std::string>{"E:\"b\" Controller Name is not unique in the I Interface."});

  // A display text not cached yet is built and cached at once; a cached one
  // is copied on its first read only, and once.
  {
    const auto display = LazyDisplayName(unique);
    EXPECT_EQ(unique.DisplayBuilds, 1);
    EXPECT_EQ(unique.DisplayNameCache, "Ecu.a");
    EXPECT_STREQ(display.c_str(), "Ecu.a");
    EXPECT_EQ(unique.DisplayBuilds, 1);
  }
  const auto display = LazyDisplayName(unique);
  EXPECT_EQ(unique.DisplayBuilds, 1);
  EXPECT_STREQ(display.c_str(), "Ecu.a");
  EXPECT_STREQ(display.c_str(), "Ecu.a");
  EXPECT_EQ(unique.DisplayBuilds, 2);
}

}  // namespace
}  // namespace ZOR_RAM
