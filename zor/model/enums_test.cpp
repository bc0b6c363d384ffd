#include "zor/model/enums.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace ZOR_RAM {
namespace {

struct EnumPair {
  const char* Name;
  int32_t Count;
  std::string (*ToText)(int32_t);
  int32_t (*FromText)(const std::string&);
};

const std::vector<EnumPair>& AllEnums() {
  static const std::vector<EnumPair> all = {
#define ZOR_ENUM(Name, Element) {#Name, k##Name##Count, &Name##ToText, &Name##FromText},
#include "zor/model/enums.def"
  };
  return all;
}

std::string Lower(std::string s) {
  for (char& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return s;
}
std::string Upper(std::string s) {
  for (char& c : s) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  return s;
}

TEST(Enums, FifteenTablesWithTheirSizes) {
  const std::vector<int32_t> sizes = {11, 3, 4, 4, 6, 5, 2, 2, 2, 3, 7, 9, 3, 2, 2};
  ASSERT_EQ(AllEnums().size(), sizes.size());
  for (size_t i = 0; i < sizes.size(); ++i) EXPECT_EQ(AllEnums()[i].Count, sizes[i]) << AllEnums()[i].Name;
}

// Every value converts to a text that converts back, in any letter case;
// values outside the table give "Undefined", which reads back as 0.
TEST(Enums, RoundTripAndOutOfRange) {
  for (const EnumPair& e : AllEnums()) {
    SCOPED_TRACE(e.Name);
    for (int32_t v = 0; v < e.Count; ++v) {
      const std::string text = e.ToText(v);
      ASSERT_NE(text, "Undefined");
      EXPECT_EQ(e.FromText(text), v) << text;
      EXPECT_EQ(e.FromText(Lower(text)), v) << text;
      EXPECT_EQ(e.FromText(Upper(text)), v) << text;
      EXPECT_EQ(e.FromText(text + " "), 0) << text;
    }
    for (int32_t v : {-1, e.Count, e.Count + 1, INT32_MIN, INT32_MAX}) {
      EXPECT_EQ(e.ToText(v), "Undefined") << v;
    }
    EXPECT_EQ(e.FromText("Undefined"), 0);
    EXPECT_EQ(e.FromText(""), 0);
  }
}

TEST(Enums, TextsKeepTheirExactSpelling) {
  struct Case {
    std::string (*ToText)(int32_t);
    int32_t Value;
    const char* Text;
  } cases[] = {
      {&SigTypeToText, kSigTypeStringLengthControl, "StringLengthControl"},
      {&MultiplexRoleToText, kMuxMultiplexor, "Multiplexor Signal"},
      {&SignalTypeToText, kSignalBytes, "Bytes"},
      {&AccessTypeToText, kAccessReadWrite, "ReadWrite"},
      {&AttrObjectTypeToText, kAttrObjNetwork, "NetWork"},
      {&AttrObjectTypeToText, kAttrObjEnvVar, "EnvrionmentVar"},
      {&AttrValueTypeToText, kAttrEnum, "ENUM"},
      {&InfoTypeToText, kInfoStateChange, "State change"},
      {&GenTypeToText, kGenSporadic, "Sporadic"},
      {&EncodeTypeToText, kEncodePhysical, "Physical Range"},
      {&IfcTypeToText, kIfcLINSlave, "LIN Slave"},
      {&NetworkTypeToText, kNetTypeLIN20, "LIN 2.0"},
      {&NetworkTypeToText, kNetTypeJ1939, "J1939"},
      {&SchEntryTypeToText, kSchUnAssignFrameId, "UnAssign Frame ID"},
      {&SchEntryTypeToText, kSchFreeFormat, "Free Format"},
      {&TransportTypeToText, kTransportImmediate, "Immediate"},
      {&ByteOrderToText, kByteOrderLittleEndian, "Little Endian"},
      {&HolderTypeToText, kHolderEventTriggered, "Event Triggered"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.ToText(c.Value), c.Text);
  EXPECT_EQ(kNetTypeLIN20, 6);
  EXPECT_EQ(kSchUnAssignFrameId, 7);
}

TEST(Enums, ReadingTexts) {
  EXPECT_EQ(NetworkTypeToText(7), "Undefined");
  EXPECT_EQ(NetworkTypeFromText(NetworkTypeToText(7)), kNetTypeCAN);
  EXPECT_EQ(ByteOrderFromText("big endian"), kByteOrderBigEndian);
  EXPECT_EQ(ByteOrderFromText("LITTLE ENDIAN"), kByteOrderLittleEndian);
  EXPECT_EQ(AccessTypeFromText("ReadOnly"), kAccessUnrestricted);
  EXPECT_EQ(AccessTypeFromText("Read "), kAccessUnrestricted);
  EXPECT_EQ(AccessTypeFromText(" Read"), kAccessUnrestricted);
  EXPECT_EQ(AccessTypeFromText("wRITE"), kAccessWrite);
  EXPECT_EQ(IfcTypeFromText("lin master"), kIfcLINMaster);
  EXPECT_EQ(SchEntryTypeFromText("unassign frame id"), kSchUnAssignFrameId);
  EXPECT_EQ(AttrObjectTypeFromText("EnvironmentVar"), kAttrObjNetwork);  // the stored spelling only
  // "CAN" is both an interface and a network text; each table reads its own.
  EXPECT_EQ(IfcTypeFromText("can"), kIfcCAN);
  EXPECT_EQ(NetworkTypeFromText("lin 1.3"), kNetTypeLIN13);
  // Only ASCII letters fold; other bytes must match exactly.
  EXPECT_EQ(InfoTypeFromText("State chang\xC9"), 0);
  EXPECT_EQ(GenTypeFromText(std::string("Sporadic\0", 9)), 0);
}

}  // namespace
}  // namespace ZOR_RAM
