#include "zor/network/signal.h"

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/builder.h"
#include "tests/support.h"
#include "zor/check/findings.h"
#include "zor/interface/check_driver.h"
#include "zor/model/check_run_values.h"
#include "zor/model/enums.h"
#include "zor/model/ram.h"
#include "zor/network/lin_diag.h"

using namespace ZOR_RAM;

namespace {

// Collects the codes (and texts) of the findings reported while alive.
// The shared finding log, with the codes other than the unmapped-signal
// warning, which most tests do not set up frames for.
struct FindingLog : zortest::FindingLog {
  std::vector<int> WithoutUnmapped() const {
    std::vector<int> out;
    for (int code : Codes)
      if (code != kSignalNotMapped) out.push_back(code);
    return out;
  }
};

using Codes = std::vector<int>;

using zortest::Written;

const std::string kTestData = "zor/network/testdata/";

TEST(SignalXml, RoundTripInVersion2) {
  TZOR_RAM ram;
  TEncType* type = ram.NewItem(ram.EncTypes);
  type->Id = "ET";
  const std::string text = zortest::Golden(kTestData + "signal_2000.xml");
  std::unique_ptr<TQXMLDocument> doc;
  TSignal* signal = zortest::ReadItem(ram, ram.Signals, text, &doc);
  ASSERT_TRUE(signal);
  EXPECT_EQ(signal->Name, "a&b");
  EXPECT_EQ(signal->InfoType, kInfoStateChange);
  EXPECT_EQ(signal->Maximum, 9000000000);
  EXPECT_EQ(signal->Unit, "m<s");
  EXPECT_EQ(signal->EncType, nullptr);  // left to the resolution pass
  signal->ResolveLinks();
  EXPECT_EQ(signal->EncType, type);
  EXPECT_EQ(Written(signal), text);
}

TEST(SignalXml, OlderVersionSkipsLegacyFieldsAndOmitsMissingType) {
  TZOR_RAM ram;
  ram.Version = "1.201";
  std::unique_ptr<TQXMLDocument> doc;
  TSignal* signal = zortest::ReadItem(ram, ram.Signals, zortest::Golden(kTestData + "signal_2000.xml"), &doc);
  ASSERT_TRUE(signal);
  EXPECT_EQ(signal->Factor, 0);
  EXPECT_EQ(signal->Unit, "");
  signal->ResolveLinks();  // "ET" names no encoding type
  EXPECT_EQ(signal->EncType, nullptr);
  EXPECT_EQ(Written(signal), zortest::Golden(kTestData + "signal_1201.xml"));
}

TEST(SignalXml, UnusedSignalIdentifierAndLinks) {
  TZOR_RAM ram;
  TEncType* type = ram.NewItem(ram.EncTypes);
  TSignal* used = ram.NewItem(ram.Signals);
  TSignal* unused = ram.NewItem(ram.UnUsedSignals);
  auto doc = zortest::ParseXml("<Signal><Name>u</Name><EncType>EncType0</EncType></Signal>");
  ASSERT_TRUE(doc);
  ASSERT_FALSE(unused->ReadXml(doc->GetRoot()));
  unused->ResolveLinks();
  EXPECT_EQ(unused->EncType, type);
  EXPECT_EQ(unused->GetId(), "UnUsedSignal0");
  EXPECT_EQ(used->GetId(), "Signal0");

  // A link already set is kept.
  TEncType* other = ram.NewItem(ram.EncTypes);
  unused->EncType = other;
  unused->ResolveLinks();
  EXPECT_EQ(unused->EncType, other);
}

TEST(SignalXml, ResolutionSeesIdentifiersEditedBetweenCalls) {
  TZOR_RAM ram;
  TEncType* first = ram.NewItem(ram.EncTypes);
  TEncType* second = ram.NewItem(ram.EncTypes);
  auto doc = zortest::ParseXml("<Signal><Name>s</Name><EncType>EncType1</EncType></Signal>");
  ASSERT_TRUE(doc);
  TSignal* a = ram.NewItem(ram.Signals);
  ASSERT_FALSE(a->ReadXml(doc->GetRoot()));
  a->ResolveLinks();
  EXPECT_EQ(a->EncType, second);
  // The host swaps the identifiers, then reads another signal.
  second->Id = "EncType0";
  first->Id = "EncType1";
  TSignal* b = ram.NewItem(ram.Signals);
  ASSERT_FALSE(b->ReadXml(doc->GetRoot()));
  b->ResolveLinks();
  EXPECT_EQ(b->EncType, first);
}

TEST(EncTypeXml, RoundTripWithEncodes) {
  TZOR_RAM ram;
  const std::string text = zortest::Golden(kTestData + "enc_type.xml");
  std::unique_ptr<TQXMLDocument> doc;
  TEncType* type = zortest::ReadItem(ram, ram.EncTypes, text, &doc);
  ASSERT_TRUE(type);
  ASSERT_EQ(type->Encodes.Count(), 2);
  ASSERT_EQ(ram.Encodes.Count(), 2);
  EXPECT_EQ(type->Encodes[0], ram.Encodes[0]);
  EXPECT_EQ(type->Encodes[1]->EncType, type);
  EXPECT_EQ(type->Encodes[0]->Interpr, "<off>");
  EXPECT_EQ(type->Encodes[0]->GetName(), "<off>");
  EXPECT_EQ(Written(type), text);

  // Reading again replaces the encodes in both lists.
  ASSERT_FALSE(type->ReadXml(doc->GetRoot()));
  EXPECT_EQ(type->Encodes.Count(), 2);
  EXPECT_EQ(ram.Encodes.Count(), 2);
}

TEST(EncTypeXml, EmptyEncodesWrittenOnOneLine) {
  TZOR_RAM ram;
  TEncType* type = ram.NewItem(ram.EncTypes);
  type->Name = "T";
  EXPECT_EQ(Written(type), zortest::Lines({"<EncType>", "<ZORId>EncType0</ZORId>", "<Name>T</Name>",
                                          "<Size>0</Size>", "<Signed>0</Signed>", "<Encodes></Encodes>",
                                          "</EncType>"}));
}

TEST(EncTypeXml, WrongChildFailsAndKeepsEarlierEncodes) {
  TZOR_RAM ram;
  zortest::MessageCapture capture;
  auto doc = zortest::ParseXml("<EncType><Name>T</Name><Encodes><Encode/><Frame/><Encode/></Encodes></EncType>");
  ASSERT_TRUE(doc);
  TEncType* type = ram.NewItem(ram.EncTypes);
  EXPECT_TRUE(type->ReadXml(doc->GetRoot()));
  EXPECT_EQ(capture.Errors, std::vector<std::string>{"Encode expected but Frame found."});
  EXPECT_EQ(type->Encodes.Count(), 1);
  EXPECT_EQ(ram.Encodes.Count(), 1);
}

TEST(EncTypeLifetime, DestroyingATypeClearsItsLinks) {
  TZOR_RAM ram;
  TEncType* type = ram.NewItem(ram.EncTypes);
  TEncode* encode = ram.NewItem(ram.Encodes);
  encode->EncType = type;
  type->Encodes.Add(encode);
  TSignal* used = ram.NewItem(ram.Signals);
  TSignal* unused = ram.NewItem(ram.UnUsedSignals);
  used->EncType = unused->EncType = type;
  delete type;
  EXPECT_EQ(encode->EncType, nullptr);
  EXPECT_EQ(used->EncType, nullptr);
  EXPECT_EQ(unused->EncType, nullptr);
  EXPECT_EQ(ram.Encodes.Count(), 1);

  // Integer environment variables lose the link as well.
  TEncType* third = ram.NewItem(ram.EncTypes);
  TEnvInt* variable = ram.NewItem(ram.EnvInts);
  variable->EncType = third;
  delete third;
  EXPECT_EQ(variable->EncType, nullptr);

  // An encode destroyed on its own leaves its type's list.
  TEncType* second = ram.NewItem(ram.EncTypes);
  encode->EncType = second;
  second->Encodes.Add(encode);
  delete encode;
  EXPECT_EQ(second->Encodes.Count(), 0);
}

struct SignalCase {
  const char* Label;
  int32_t Type;
  int32_t Size;
  int64_t Init;
  uint64_t Flags;
  Codes Expected;
};

TEST(SignalCheck, SizesAndInitialValues) {
  const SignalCase cases[] = {
      {"boolean of size 1", kSignalBoolean, 1, 1, kCheckAll, {}},
      {"boolean of size 0", kSignalBoolean, 0, 0, kCheckAll, {kSizeIncorrect, kSignalSizeZero}},
      {"size findings without flags", kSignalBoolean, 0, 0, 0, {kSizeIncorrect, kSignalSizeZero}},
      {"signed 8 with 200 (pattern of -56)", kSignalSigned, 8, 200, kCheckAll, {}},
      {"signed 8 with -56", kSignalSigned, 8, -56, kCheckAll, {}},
      {"signed 8 with 300", kSignalSigned, 8, 300, kCheckAll, {kInitialValueTooBig}},
      {"signed 8 with -200", kSignalSigned, 8, -200, kCheckAll, {kInitialValueTooBig}},
      {"signed 8 with 127", kSignalSigned, 8, 127, kCheckAll, {}},
      {"unsigned 8 with 255", kSignalUnsigned, 8, 255, kCheckAll, {}},
      {"unsigned 8 with 256", kSignalUnsigned, 8, 256, kCheckAll, {kInitialValueTooBig}},
      {"unsigned 8 with -1", kSignalUnsigned, 8, -1, kCheckAll, {kInitialValueTooBig}},
      {"initial value not tested without flags", kSignalUnsigned, 8, 256, 0, {}},
      {"64 bits never tested", kSignalSigned, 64, -1, kCheckAll, {}},
      {"unsigned 64 with all ones", kSignalUnsigned, 64, -1, kCheckAll, {}},
      {"signed of 65 bits", kSignalSigned, 65, 0, kCheckAll, {kSizeIncorrect}},
      {"signed of 0 bits", kSignalSigned, 0, 0, kCheckAll, {kSizeIncorrect, kSignalSizeZero}},
      {"unsigned of 0 bits", kSignalUnsigned, 0, 0, kCheckAll, {kSignalSizeZero}},
      {"bytes of 12 bits", kSignalBytes, 12, 0, kCheckAll, {kSizeIncorrect}},
      {"bytes of 16 bits", kSignalBytes, 16, 0, kCheckAll, {}},
      {"invalid type", 7, 8, 0, kCheckAll, {kTypeInvalid}},
  };
  for (const SignalCase& c : cases) {
    SCOPED_TRACE(c.Label);
    TZOR_RAM ram;
    TSignal* signal = zortest::Builder{ram}.Signal("Sig", c.Size);
    signal->SignalType = c.Type;
    signal->InitValue = c.Init;
    FindingLog log;
    const bool error = signal->Check(c.Flags);
    EXPECT_EQ(log.WithoutUnmapped(), c.Expected);
    EXPECT_EQ(error, !c.Expected.empty());
  }
}

TEST(SignalCheck, FindingTexts) {
  TZOR_RAM ram;
  TSignal* signal = ram.NewItem(ram.Signals);
  signal->Name = "B";
  signal->SignalType = kSignalBytes;
  signal->Size = 12;
  FindingLog log;
  signal->Check(kCheckAll);
  ASSERT_FALSE(log.Texts.empty());
  EXPECT_EQ(log.Texts[0], "\"B\" The size of the Byte Signal is incorrect: 12.");
}

TEST(SignalCheck, EnumerationsNamesAndEncodingType) {
  TZOR_RAM ram;
  TEncType* type = ram.NewItem(ram.EncTypes);
  type->Size = 16;
  TSignal* a = ram.NewItem(ram.Signals);
  TSignal* b = ram.NewItem(ram.Signals);
  TSignal* unused = ram.NewItem(ram.UnUsedSignals);
  a->Name = b->Name = unused->Name = "1dup";
  for (TSignal* s : {a, b, unused}) {
    s->SignalType = kSignalUnsigned;
    s->Size = 8;
  }
  a->InfoType = 2;
  a->GenType = 5;
  a->EncType = type;
  {
    FindingLog log;
    a->Check(kCheckAll | kCheckUnique);
    EXPECT_EQ(log.WithoutUnmapped(), (Codes{kSignalInfoTypeInvalid, kSignalGenTypeInvalid, kNameNotUnique,
                                            kNameNotCLike, kSignalSizeDiffersFromEncoding}));
  }
  {
    FindingLog log;  // uniqueness alone; the unused signal is compared with the signal list
    unused->Check(kCheckUnique);
    EXPECT_EQ(log.WithoutUnmapped(), (Codes{kNameNotUnique}));
  }
  b->Name = "other";
  EXPECT_FALSE(a->IsNameUsed("1dup"));
  EXPECT_TRUE(unused->IsNameUsed("1dup"));
}

TEST(SignalCheck, ReservedDiagnosticNamesNeedALinDiagnosticNetwork) {
  TZOR_RAM ram;
  TSignal* signal = ram.NewItem(ram.Signals);
  signal->Name = "masterreqb3";
  signal->SignalType = kSignalUnsigned;
  signal->Size = 8;
  const bool saved = HasLinDiagNetwork;
  for (bool diag : {true, false}) {
    SCOPED_TRACE(diag);
    HasLinDiagNetwork = diag;
    FindingLog log;
    signal->Check(kCheckAll);
    EXPECT_EQ(log.WithoutUnmapped(), diag ? Codes{kSignalReservedForDiagnostics} : Codes{});
  }
  HasLinDiagNetwork = saved;
  EXPECT_TRUE(IsReservedDiagSignalName("SLAVERESPB7"));
  EXPECT_FALSE(IsReservedDiagSignalName("SlaveRespB8"));
  EXPECT_FALSE(IsReservedDiagSignalName("MasterReqB"));
}

TEST(SignalCheck, UnmappedWarningWhateverTheFlags) {
  TZOR_RAM ram;
  TSignal* mapped = ram.NewItem(ram.Signals);
  TSignal* sameName = ram.NewItem(ram.Signals);
  TSignal* lonely = ram.NewItem(ram.Signals);
  mapped->Name = sameName->Name = "M";
  lonely->Name = "L";
  for (TSignal* s : {mapped, sameName, lonely}) {
    s->SignalType = kSignalUnsigned;
    s->Size = 8;
  }
  zortest::Builder{ram}.Place(ram.NewItem(ram.NetFrames), mapped);
  // A placed signal outside the database's signal list still lends its name.
  TSignal* unlisted = ram.NewItem(ram.UnUsedSignals);
  TSignal* namedLikeUnlisted = ram.NewItem(ram.Signals);
  unlisted->Name = namedLikeUnlisted->Name = "U";
  for (TSignal* s : {unlisted, namedLikeUnlisted}) {
    s->SignalType = kSignalUnsigned;
    s->Size = 8;
  }
  zortest::Builder{ram}.Place(ram.NewItem(ram.NetFrames), unlisted);
  for (bool inRun : {false, true}) {
    SCOPED_TRACE(inRun);
    std::optional<TCheckRunScope> run;
    if (inRun) run.emplace(ram);
    for (TSignal* s : {mapped, sameName, lonely, namedLikeUnlisted, unlisted}) {
      SCOPED_TRACE(s->Name);
      FindingLog log;
      EXPECT_FALSE(s->Check(0));  // a warning does not count as an error
      EXPECT_EQ(log.Codes, s == lonely ? Codes{kSignalNotMapped} : Codes{});
    }
  }
  // A detached signal is not compared with any frame.
  TSignal detached;
  detached.SignalType = kSignalUnsigned;
  detached.Size = 8;
  FindingLog log;
  detached.Check(0);
  EXPECT_EQ(log.Codes, Codes{});
}

struct EncodeSpec {
  int32_t Type;
  int64_t Min, Max;
};

TEST(EncTypeCheck, SizeAndOverlap) {
  const struct {
    const char* Label;
    int32_t Size;
    bool Signed;
    std::vector<EncodeSpec> Encodes;
    Codes Expected;
  } cases[] = {
      {"range 0..10 and value 10", 8, false, {{kEncodePhysical, 0, 10}, {kEncodeLogical, 10, 0}}, {kEncodesOverlap}},
      {"range 0..9 and value 10", 8, false, {{kEncodePhysical, 0, 9}, {kEncodeLogical, 10, 0}}, {}},
      {"value 10 before range 0..10", 8, false, {{kEncodeLogical, 10, 99}, {kEncodePhysical, 0, 10}},
       {kEncodesOverlap}},
      {"two equal values", 8, false, {{kEncodeLogical, 3, 0}, {kEncodeLogical, 3, 7}}, {kEncodesOverlap}},
      {"one encode", 8, false, {{kEncodePhysical, 0, 10}}, {}},
      {"range to -1 holds 100 when unsigned", 8, false, {{kEncodePhysical, 5, -1}, {kEncodeLogical, 100, 0}},
       {kEncodesOverlap}},
      {"range 5..-1 is empty when signed", 8, true, {{kEncodePhysical, 5, -1}, {kEncodeLogical, 100, 0}}, {}},
      {"signed -5..-1 and 0", 8, true, {{kEncodePhysical, -5, -1}, {kEncodeLogical, 0, 0}}, {}},
      {"reversed range within another's span", 8, false, {{kEncodePhysical, 4, 10}, {kEncodePhysical, 5, 3}}, {}},
      {"reversed range reaching an earlier one", 8, false, {{kEncodePhysical, 0, 10}, {kEncodePhysical, 5, 3}},
       {kEncodesOverlap}},
      {"reversed range reaching one behind a shorter one", 8, false,
       {{kEncodePhysical, 0, 1}, {kEncodePhysical, 2, 11}, {kEncodePhysical, 10, 3}}, {kEncodesOverlap}},
      {"reversed range below every other lower bound", 8, false,
       {{kEncodePhysical, 5, 9}, {kEncodePhysical, 8, 1}}, {}},
      {"size 0", 0, false, {}, {kSizeIncorrect}},
      {"size 65", 65, false, {}, {kEncodingTypeOver64}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    TZOR_RAM ram;
    zortest::Builder make{ram};
    TEncType* type = make.EncType("T", c.Size);
    type->Signed = c.Signed;
    for (const EncodeSpec& range : c.Encodes) make.Encode(type, range.Type, range.Min, range.Max, "");
    FindingLog log;
    type->Check(kCheckAll);
    EXPECT_EQ(log.Codes, c.Expected);
    FindingLog none;
    type->Check(kCheckUnique);
    EXPECT_EQ(none.Codes, Codes{});
  }
}

TEST(EncodeCheck, RangesAgainstTheType) {
  const struct {
    const char* Label;
    int32_t Size;
    bool Signed;
    EncodeSpec Encode;
    float Scale;
    std::vector<std::string> Expected;
  } cases[] = {
      {"unsigned 8, Min 256", 8, false, {kEncodeLogical, 256, 0}, 1,
       {"The \"T\"/\"I\" Encode Min value is higher than allowed by the Encoding Type (256 &gt; 255)."}},
      {"signed 8, Min -200", 8, true, {kEncodeLogical, -200, 0}, 1,
       {"The \"T\"/\"I\" Encode Min value is lower than allowed by the Encoding Type (-200 &lt; -128)."}},
      {"logical value ignores Max", 8, false, {kEncodeLogical, 1, 999}, 0, {}},
      {"signed 8 range 5..5", 8, true, {kEncodePhysical, 5, 5}, 1, {}},
      {"signed 8 range 6..5", 8, true, {kEncodePhysical, 6, 5}, 1,
       {"The \"T\"/\"I\" Encode Min value must be smaller than Max value (6 >= 5)."}},
      {"unsigned: -1 is the largest value", 64, false, {kEncodePhysical, 0, -1}, 1, {}},
      {"unsigned 8 range 0..-1", 8, false, {kEncodePhysical, 0, -1}, 1,
       {"The \"T\"/\"I\" Encode Max value is higher than allowed by the Encoding Type (18446744073709551615 &gt; 255)."}},
      {"signed 8 range -1..0 is ordered", 8, true, {kEncodePhysical, -1, 0}, 1, {}},
      {"zero scale", 8, false, {kEncodePhysical, 0, 1}, 0,
       {"The scale of the \"I\" Encode is 0 in the \"T\" Encoding Type."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Label);
    TZOR_RAM ram;
    zortest::Builder make{ram};
    TEncType* type = make.EncType("T", c.Size);
    type->Signed = c.Signed;
    TEncode* encode = make.Encode(type, c.Encode.Type, c.Encode.Min, c.Encode.Max, "I");
    encode->Scale = c.Scale;
    FindingLog log;
    EXPECT_FALSE(encode->Check(kCheckAll));  // all of these are warnings
    EXPECT_EQ(log.Texts, c.Expected);
  }
}

TEST(EncodeCheck, TypeAndMissingEncodingType) {
  TZOR_RAM ram;
  TEncode* encode = ram.NewItem(ram.Encodes);
  encode->Type = 2;
  FindingLog log;
  EXPECT_TRUE(encode->Check(kCheckAll));
  EXPECT_EQ(log.Codes, (Codes{kTypeInvalid, kEncodeNoEncodingType}));
  FindingLog none;
  EXPECT_FALSE(encode->Check(kCheckUnique));
  EXPECT_EQ(none.Codes, Codes{});
}

TEST(SignalRemoval, ReservedSignalsGoWithTheirDependants) {
  for (int32_t netType : {kNetTypeLIN20, kNetTypeLIN11}) {
    SCOPED_TRACE(netType);
    TZOR_RAM ram;
    ram.NewItem(ram.Networks)->Type = kNetTypeCAN;
    ram.NewItem(ram.Networks)->Type = netType;
    zortest::Builder make{ram};
    TSignal* keep = make.Signal("Speed");
    TSignal* reserved = make.Signal("slaverespb3");
    TNetFrame* frame = ram.NewItem(ram.NetFrames);
    for (TSignal* s : {keep, reserved, reserved}) make.Place(frame, s);
    ram.NewItem(ram.PubSigs)->Signal = reserved;
    ram.NewItem(ram.SubSigs)->Signal = reserved;
    ram.NewItem(ram.Gateways)->Signal = reserved;
    ram.NewItem(ram.PubSigs)->Signal = keep;

    RemoveReservedDiagSignals(ram);
    const bool removed = netType == kNetTypeLIN20;
    EXPECT_EQ(ram.Signals.Count(), removed ? 1 : 2);
    EXPECT_EQ(ram.Signals[0], keep);
    EXPECT_EQ(ram.NetSigs.Count(), removed ? 1 : 3);
    EXPECT_EQ(frame->NetSigs.Count(), removed ? 1 : 3);
    EXPECT_EQ(ram.PubSigs.Count(), removed ? 1 : 2);
    EXPECT_EQ(ram.SubSigs.Count(), removed ? 0 : 1);
    EXPECT_EQ(ram.Gateways.Count(), removed ? 0 : 1);
  }
}

}  // namespace
