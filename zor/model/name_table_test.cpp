#include "zor/model/name_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ZOR_RAM {
namespace {

// Counts of names added past the expected size (so the slots are rebuilt),
// found in order, out of order and absent.
TEST(NameTable, CountsSurviveGrowthAndAnyLookupOrder) {
  TNameTable<int> counts(2);
  const int kNames = 1000;
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < kNames; ++i) ++counts.Insert("Sig_" + std::to_string(i)).first;
  ++counts.Insert("").first;
  EXPECT_EQ(counts.Size(), static_cast<size_t>(kNames + 1));
  for (int i : {0, 1, 2, 999, 500, 3, 4, 0}) {
    SCOPED_TRACE(i);
    const int* count = counts.Find("Sig_" + std::to_string(i));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(*count, 2);
  }
  ASSERT_NE(counts.Find(""), nullptr);
  EXPECT_EQ(*counts.Find(""), 1);
  for (const char* absent : {"Sig_1000", "Sig_", "sig_1", "Sig_1 "}) {
    SCOPED_TRACE(absent);
    EXPECT_EQ(counts.Find(absent), nullptr);
  }
}

TEST(NameTable, IgnoreCaseFoldsAsciiOnly) {
  struct Case {
    const char* Stored;
    const char* Asked;
    bool Found;
  };
  const Case kCases[] = {
      {"Engine_Speed", "ENGINE_SPEED", true},
      {"Engine_Speed", "engine_speed", true},
      {"Engine_Speed", "Engine_Spee", false},
      {"A[1]", "a[1]", true},
      {"\xC3\x84x", "\xC3\xA4x", false},  // non-ASCII letters keep their case
      {"@", "`", false},                   // neighbours of the letter range
      {"ABCDEFGH@[XYZ", "abcdefgh@[xyz", true},  // past the first eight bytes
      {"ABCDEFGH@[", "abcdefgh`{", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.Asked);
    TNameTable<int> folded(0, /*ignoreCase=*/true);
    folded.Insert(c.Stored).first = 7;
    const int* value = folded.Find(c.Asked);
    EXPECT_EQ(value != nullptr, c.Found);
    EXPECT_EQ(folded.Insert(c.Asked).second, !c.Found);
    TNameTable<int> exact;
    exact.Insert(c.Stored);
    EXPECT_EQ(exact.Find(c.Asked) != nullptr, std::string(c.Stored) == c.Asked);
  }
}

// A bulk insert gives what a loop of Insert gives: the same entries in the
// same order, skipped items left out, values reached once per item, also
// past the look-ahead and when the slots are rebuilt on the way.
// The read-ahead asks for each item once.
TEST(NameTable, InsertAllMatchesInsertLoop) {
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back(i % 7 == 3 ? "" : "N" + std::to_string(i % 120));
  TNameTable<int> one(4), all(4);
  std::vector<size_t> asked;
  for (size_t i = 0; i < names.size(); ++i)
    if (!names[i].empty()) one.Insert(names[i]).first += static_cast<int>(i);
  all.InsertAll(
      names.size(),
      [&](size_t i, std::string& name) {
        name = names[i];
        return !name.empty();
      },
      [](int& sum, size_t i) { sum += static_cast<int>(i); },
      [&](size_t i) { asked.push_back(i); });
  ASSERT_EQ(all.Size(), one.Size());
  ASSERT_EQ(asked.size(), names.size());  // every item asked for ahead, once and in order
  for (size_t i = 0; i < asked.size(); ++i) EXPECT_EQ(asked[i], i);
  for (int i = 0; i < 120; ++i) {  // in insertion order, then absent
    SCOPED_TRACE(i);
    const int* expected = one.Find("N" + std::to_string(i));
    const int* got = all.Find("N" + std::to_string(i));
    ASSERT_EQ(got != nullptr, expected != nullptr);
    if (got) {
      EXPECT_EQ(*got, *expected);
    }
  }
  EXPECT_EQ(all.Find(""), nullptr);
}

}  // namespace
}  // namespace ZOR_RAM
