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

const std::vector<EnumPair> kAllEnums = {
#define ZOR_ENUM(Name, Element) {#Name, k##Name##Count, &Name##ToText, &Name##FromText},
#include "zor/model/enums.def"
};

std::string Recase(std::string s, bool upper) {
  for (char& c : s) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return s;
}

// Every value converts to a text that reads back in any letter case; values
// outside the table give "Undefined", which reads back as 0.
TEST(Enums, RoundTripAndOutOfRange) {
  const std::vector<int32_t> sizes = {11, 3, 4, 4, 6, 5, 2, 2, 2, 3, 7, 9, 3, 2, 2};
  ASSERT_EQ(kAllEnums.size(), sizes.size());
  for (size_t i = 0; i < sizes.size(); ++i) {
    const EnumPair& e = kAllEnums[i];
    SCOPED_TRACE(e.Name);
    EXPECT_EQ(e.Count, sizes[i]);
    for (int32_t v = 0; v < e.Count; ++v) {
      const std::string text = e.ToText(v);
      EXPECT_EQ(e.FromText(text), v) << text;
      EXPECT_EQ(e.FromText(Recase(text, false)), v) << text;
      EXPECT_EQ(e.FromText(Recase(text, true)), v) << text;
      EXPECT_EQ(e.FromText(text + " "), 0) << text;
    }
    for (int32_t v : {-1, e.Count, INT32_MIN, INT32_MAX}) EXPECT_EQ(e.ToText(v), "Undefined") << v;
    EXPECT_EQ(e.FromText("Undefined"), 0);
    EXPECT_EQ(e.FromText(""), 0);
  }
}

TEST(Enums, TextsKeepTheirExactSpelling) {
  EXPECT_EQ(AttrObjectTypeToText(kAttrObjNetwork), "NetWork");
  EXPECT_EQ(AttrObjectTypeToText(kAttrObjEnvVar), "EnvrionmentVar");
  EXPECT_EQ(SchEntryTypeToText(kSchUnAssignFrameId), "UnAssign Frame ID");
  EXPECT_EQ(MultiplexRoleToText(kMuxMultiplexor), "Multiplexor Signal");
  EXPECT_EQ(InfoTypeToText(kInfoStateChange), "State change");
  EXPECT_EQ(NetworkTypeToText(kNetTypeLIN20), "LIN 2.0");
  EXPECT_EQ(kNetTypeLIN20, 6);
}

TEST(Enums, ReadingTexts) {
  EXPECT_EQ(NetworkTypeToText(7), "Undefined");
  EXPECT_EQ(NetworkTypeFromText(NetworkTypeToText(7)), kNetTypeCAN);
  EXPECT_EQ(ByteOrderFromText("big endian"), kByteOrderBigEndian);
  EXPECT_EQ(ByteOrderFromText("LITTLE ENDIAN"), kByteOrderLittleEndian);
  EXPECT_EQ(AccessTypeFromText("ReadOnly"), kAccessUnrestricted);
  EXPECT_EQ(AccessTypeFromText(" Read"), kAccessUnrestricted);
  EXPECT_EQ(IfcTypeFromText("lin master"), kIfcLINMaster);
  EXPECT_EQ(AttrObjectTypeFromText("EnvironmentVar"), kAttrObjNetwork);  // only the stored spelling
  // Only ASCII letters fold; other bytes must match exactly.
  EXPECT_EQ(InfoTypeFromText("State chang\xC9"), 0);
  EXPECT_EQ(GenTypeFromText(std::string("Sporadic\0", 9)), 0);
}

}  // namespace
}  // namespace ZOR_RAM
