#include "tools/zor/inventory.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A configuration outline with one signal per (name, size).
std::string Signals(std::initializer_list<std::pair<const char*, int>> signals) {
  std::string text = "<ZOR><Signals>";
  int id = 0;
  for (const auto& [name, size] : signals)
    text += "<Signal><ZORId>S" + std::to_string(++id) + "</ZORId><Name>" + name + "</Name><Size>" +
            std::to_string(size) + "</Size></Signal>";
  return text + "</Signals></ZOR>";
}

// The diff as lines: "-path", "+path", "~path field before after".
std::string Diff(const std::string& a, const std::string& b) {
  zorcli::OutlineNode outlineA, outlineB;
  EXPECT_TRUE(zorcli::ParseOutline(a, outlineA));
  EXPECT_TRUE(zorcli::ParseOutline(b, outlineB));
  const zorcli::InventoryDiff diff = zorcli::DiffItems(zorcli::CollectItems(outlineA), outlineB);
  std::string lines;
  for (const auto& item : diff.Removed) lines += "-" + item.Path + ";";
  for (const auto& item : diff.Added) lines += "+" + item.Path + ";";
  for (const auto& change : diff.Changed)
    for (const auto& f : change.Fields) lines += "~" + change.Path + " " + f.Field + " " + f.Before + " " + f.After + ";";
  return lines;
}

// Repeated names are numbered as collected; a name of b that looks like such
// a number and a real repeat share a key, and the last of them is compared.
TEST(Inventory, DiffMatchesRepeatedNamesByTheirNumber) {
  struct Case {
    std::string A, B, Expected;
  } cases[] = {
      {Signals({{"S", 8}, {"S", 8}}), Signals({{"S", 16}}), "-S#2;~S Size 8 16;"},
      {Signals({{"S", 8}}), Signals({{"S", 8}, {"S", 4}, {"T", 1}}), "+S#2;+T;"},
      {Signals({{"S", 8}, {"S#2", 1}}), Signals({{"S", 8}, {"S#2", 2}, {"S", 3}}), "~S#2 Name S#2 S;~S#2 Size 1 3;"},
      {Signals({{"S", 8}, {"S", 2}}), Signals({{"S", 8}, {"S", 2}}), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Diff(c.A, c.B), c.Expected) << c.B;
}

}  // namespace
