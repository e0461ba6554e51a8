#include "engine/vr6_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/raised_message.h"

namespace velorin {
using testing::RaisedMessage;
namespace {

TvrVariant Text(const std::string& s) {
  TvrVariant v;
  v.SetText(s);
  return v;
}

std::vector<std::pair<std::string, int32_t>> DrainText(TvrSort& sort) {
  std::vector<std::pair<std::string, int32_t>> out;
  TvrVariant key;
  int32_t record = 0;
  while (sort.NextKey(key, record)) out.emplace_back(key.AsString(), record);
  return out;
}

TEST(Sort, MaximumKeyLengthIsBoundedAt240) {
  EXPECT_NO_THROW(TvrSort(240, false));
  EXPECT_EQ(RaisedMessage([] { TvrSort sort(241, false); }), "Sort key length greater than 240 bytes");
}

TEST(Sort, TextKeysLoseTrailingBlanksAndTiesGoByRecordNumber) {
  TvrSort sort(10, false);
  sort.AddKey(Text("B"), 3);
  sort.AddKey(Text("A "), 2);
  sort.AddKey(Text("A"), 1);
  EXPECT_EQ(DrainText(sort), (std::vector<std::pair<std::string, int32_t>>{{"A", 1}, {"A", 2}, {"B", 3}}));
}

TEST(Sort, UniqueKeepsTheLowestRecordOfEachGroup) {
  TvrSort sort(10, true);
  sort.AddKey(Text("B"), 3);
  sort.AddKey(Text("A "), 2);
  sort.AddKey(Text("A"), 1);
  EXPECT_EQ(DrainText(sort), (std::vector<std::pair<std::string, int32_t>>{{"A", 1}, {"B", 3}}));
}

TEST(Sort, NumericAndDateKeysComeBackInValueOrderAndKind) {
  TvrSort numbers(8, false);
  std::vector<double> values{1, -1, 0.5, -2, 0, -1e300, 1e300};
  for (size_t i = 0; i < values.size(); ++i) {
    TvrVariant v;
    v.SetFloat(values[i]);
    numbers.AddKey(v, static_cast<int32_t>(i + 1));
  }
  std::vector<double> got;
  TvrVariant key;
  int32_t record = 0;
  while (numbers.NextKey(key, record)) {
    ASSERT_EQ(key.Kind(), TvrVariantKind::kNumeric);
    got.push_back(key.AsFloat());
  }
  std::vector<double> expected = values;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);

  TvrSort dates(8, false);
  std::vector<int32_t> days{2444240, 0, 2460000, 2299161, -5};
  for (size_t i = 0; i < days.size(); ++i) {
    TvrVariant v;
    v.SetDate(days[i]);
    dates.AddKey(v, static_cast<int32_t>(i + 1));
  }
  std::vector<int32_t> gotDays;
  while (dates.NextKey(key, record)) {
    ASSERT_EQ(key.Kind(), TvrVariantKind::kDate);
    gotDays.push_back(key.AsDate());
  }
  std::sort(days.begin(), days.end());
  EXPECT_EQ(gotDays, days);
}

TEST(Sort, RefusalsLeaveTheSorterAsItWas) {
  TvrSort sort(4, false);
  TvrVariant logical;
  logical.SetLogical(true);
  EXPECT_EQ(RaisedMessage([&] { sort.AddKey(logical, 1); }), "Variant type cannot be sorted");
  EXPECT_EQ(RaisedMessage([&] { sort.AddKey(Text("TOOLONG"), 1); }), "Sort key length greater than 240 bytes");
  sort.AddKey(Text("OK"), 7);
  TvrVariant key;
  int32_t record = 0;
  ASSERT_TRUE(sort.NextKey(key, record));
  EXPECT_EQ(record, 7);
  EXPECT_EQ(RaisedMessage([&] { sort.AddKey(Text("X"), 2); }), "Cannot add sort keys after beginning retrieval");
  EXPECT_FALSE(sort.NextKey(key, record));
}

TEST(Sort, EmptySorterEndsAtOnce) {
  TvrSort sort(10, false);
  TvrVariant key;
  int32_t record = 0;
  EXPECT_FALSE(sort.NextKey(key, record));
}

// Enough keys for several runs: the merge is complete and ordered, and the tree
// never grows past its 32 pages.
TEST(Sort, ManyKeysMakeSeveralRunsAndMergeInOrder) {
  std::mt19937 random(42);
  std::uniform_int_distribution<int> letter('A', 'Z');
  std::vector<std::pair<std::string, int32_t>> expected;
  TvrSort sort(20, false);
  for (int32_t i = 1; i <= 60000; ++i) {
    std::string s;
    int length = 1 + static_cast<int>(random() % 12);
    for (int j = 0; j < length; ++j) s += static_cast<char>(letter(random));
    if (i % 7 == 0 && !expected.empty()) s = expected[random() % expected.size()].first;  // duplicates
    expected.emplace_back(s, i);
    sort.AddKey(Text(s), i);
    ASSERT_LE(sort.TreePageCount(), TvrSort::kMaxTreePages);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(DrainText(sort), expected);
  EXPECT_GT(sort.RunCount(), 1);
}

TEST(Sort, KeysThatArePrefixesOfOthersAndRawBytes) {
  TvrSort sort(12, false);
  std::vector<std::string> keys{"ABCDEFGH", "ABC", "ABCD", "AB", "ABCDEFGHIJ", "B", "ABCDX"};
  for (size_t i = 0; i < keys.size(); ++i) sort.AddKey(Text(keys[i]), 100 - static_cast<int32_t>(i));
  TvrVariant raw;
  raw.SetBytes("\xFF\x00\x01", 3);
  sort.AddKey(raw, 1);
  std::vector<std::string> got;
  TvrVariant key;
  int32_t record = 0;
  TvrVariantKind lastKind = TvrVariantKind::kNone;
  while (sort.NextKey(key, record)) {
    got.push_back(key.AsString());
    lastKind = key.Kind();
  }
  std::vector<std::string> expected = keys;
  std::sort(expected.begin(), expected.end());
  expected.push_back(std::string("\xFF\x00\x01", 3));
  EXPECT_EQ(got, expected);
  EXPECT_EQ(lastKind, TvrVariantKind::kRaw);
}

}  // namespace
}  // namespace velorin
