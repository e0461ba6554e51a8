// NTX files shared with other programs: Perl XBase's index_dump reads what this
// engine builds and updates with the same keys in the same order, interior keys
// included, and a file laid out by hand from the format's table is read here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/byte_order.h"
#include "index/index_check.h"
#include "index/index_dump.h"
#include "index/index_fixture.h"
#include "index/ntx_format.h"

namespace velorin {
namespace {

using testing::IndexDump;
using testing::MakeLargeTable;
using testing::MakeNtx;
using KeyRows = std::vector<std::pair<std::string, int32_t>>;

// The order's keys as stored and their records, first to last.
KeyRows OurKeys(VRO_dBHandler& table, const std::string& file) {
  KeyRows rows;
  if (table.OpenIndex(file) != 0) return rows;
  IndexOrder* order = table.IndexFileInSlot(table.IndexFileCount())->TagByIndex(0);
  order->PageCursorReset(2);
  for (int32_t record = order->KeyMove(nav::kFirst); record > 0; record = order->KeyMove(nav::kNext)) {
    rows.emplace_back(order->CurrentKey().AsString(), record);
  }
  table.CloseIndexes();
  return rows;
}

// index_dump turns numeric keys into numbers; ours are compared the same way.
void ExpectSameRows(const KeyRows& ours, const KeyRows& theirs, bool numeric) {
  ASSERT_EQ(theirs.size(), ours.size()) << (theirs.empty() ? "" : theirs[0].first);
  for (size_t i = 0; i < ours.size(); ++i) {
    ASSERT_EQ(theirs[i].second, ours[i].second) << "at " << i;
    if (!numeric) {
      ASSERT_EQ(theirs[i].first, ours[i].first) << "at " << i;
    } else {
      std::string key = ours[i].first;
      bool negative = key.find_first_of(",+*)('&%$#") != std::string::npos;
      for (char& c : key) {
        if (c >= 35 && c <= 44) c = static_cast<char>(92 - c);
      }
      double value = std::atof(key.c_str()) * (negative ? -1 : 1);
      ASSERT_NEAR(std::atof(theirs[i].first.c_str()), value, 1e-9) << "at " << i;
    }
  }
}

class NtxInteropTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallIndexFamilies(); }
  testing::TempDir dir_;
};

TEST_F(NtxInteropTest, IndexDumpReadsCharacterNumericAndDateTreesOfTwentyThousandKeys) {
  REQUIRE_INDEX_DUMP();
  const int kRecords = 20000;
  MakeLargeTable(dir_.File("BIG.DBF"), kRecords);
  VRO_dBHandler table(dir_.File("BIG.DBF"), true, false);
  struct Case {
    const char* file;
    const char* key;
    const char* type;
  };
  for (const Case& c : {Case{"NAME.NTX", "NAME", "char"}, Case{"NUM.NTX", "NUM", "num"},
                        Case{"BORN.NTX", "BORN", "char"}}) {
    SCOPED_TRACE(c.file);
    MakeNtx(table, dir_.File(c.file), c.key);
    KeyRows ours = OurKeys(table, c.file);
    ASSERT_EQ(ours.size(), static_cast<size_t>(kRecords));
    ExpectSameRows(ours, IndexDump(dir_.File(c.file), c.type), std::strcmp(c.type, "num") == 0);
  }
}

// Random appends and key changes on a deep tree (18 keys a page): the order
// follows a model of the table, the checker finds nothing, and index_dump reads
// the same keys, so interior keys that were deleted were replaced as a B-tree
// replaces them.
TEST_F(NtxInteropTest, RandomUpdatesFollowAModelAndStayReadableByIndexDump) {
  auto table = testing::MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:40"}, {});
  MakeNtx(*table, dir_.File("NAME.NTX"), "NAME");
  ASSERT_EQ(table->OpenIndex("NAME.NTX"), 0);
  std::mt19937 random(16);
  std::vector<std::string> model(1, "");  // by record number, from 1
  auto randomKey = [&] { return std::string(1, static_cast<char>('A' + random() % 20)) + std::to_string(random() % 300); };
  for (int step = 0; step < 3000; ++step) {
    std::string key = randomKey();
    if (model.size() < 50 || random() % 3 == 0) {
      table->BlankRecord();
      table->PutValue(1, key);
      table->Append();
      model.push_back(key);
    } else {
      auto record = static_cast<int32_t>(1 + random() % (model.size() - 1));
      table->GoRecord(record);
      table->PutValue(1, key);
      table->WriteRecord(record);
      model[static_cast<size_t>(record)] = key;
    }
    if (step % 500 == 499) {
      std::vector<std::string> problems = CheckIndexFile(*table->IndexFileInSlot(1), *table);
      ASSERT_TRUE(problems.empty()) << "step " << step << ": " << problems.front();
    }
  }
  table->CloseIndexes();
  KeyRows ours = OurKeys(*table, "NAME.NTX");
  KeyRows expected;
  for (size_t r = 1; r < model.size(); ++r) expected.emplace_back(model[r], static_cast<int32_t>(r));
  KeyRows seen = ours;
  std::sort(expected.begin(), expected.end());
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, expected);
  for (size_t i = 1; i < ours.size(); ++i) ASSERT_LE(ours[i - 1].first, ours[i].first) << "at " << i;
  if (testing::HasIndexDump()) ExpectSameRows(ours, IndexDump(dir_.File("NAME.NTX"), "char"), false);
}

// An NTX file of two levels written byte by byte from the format's table, its
// offset tables not in slot order: the root holds CHARLY between two leaves.
TEST_F(NtxInteropTest, AFileLaidOutByHandIsReadInOrderAndPassesTheCheck) {
  auto table = testing::MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:6"},
                                        {{"DELTA"}, {"ALPHA"}, {"ECHO"}, {"BRAVO"}, {"CHARLY"}});
  using namespace ntx_format;
  const int32_t keyLength = 6;
  const int32_t maxKeys = MaxKeys(keyLength);  // 60
  const int32_t itemLength = ItemLength(keyLength);
  std::string file(4 * kPageSize, '\0');
  auto* bytes = reinterpret_cast<uint8_t*>(file.data());
  byte_order::PutLE16(bytes + header::kSignature, kSignature);
  byte_order::PutLE32(bytes + header::kRoot, 3 * kPageSize);
  byte_order::PutLE16(bytes + header::kItemLength, itemLength);
  byte_order::PutLE16(bytes + header::kKeyLength, keyLength);
  byte_order::PutLE16(bytes + header::kMaxKeys, maxKeys);
  byte_order::PutLE16(bytes + header::kHalfPage, maxKeys / 2);
  std::memcpy(bytes + header::kExpression, "NAME", 4);
  // Items of each page put in slots from the end, the offset table naming them in key order.
  auto putPage = [&](int32_t page, std::vector<std::pair<uint32_t, std::pair<uint32_t, const char*>>> items,
                     int32_t count) {
    uint8_t* p = bytes + page * kPageSize;
    byte_order::PutLE16(p + page::kCount, static_cast<uint16_t>(count));
    for (size_t i = 0; i < items.size(); ++i) {
      int32_t offset = SlotOffset(maxKeys, itemLength, maxKeys - static_cast<int32_t>(i));
      byte_order::PutLE16(p + page::kOffsetTable + 2 * i, static_cast<uint16_t>(offset));
      byte_order::PutLE32(p + offset + item::kChild, items[i].first);
      byte_order::PutLE32(p + offset + item::kRecord, items[i].second.first);
      std::memset(p + offset + item::kKey, ' ', keyLength);
      std::memcpy(p + offset + item::kKey, items[i].second.second, std::strlen(items[i].second.second));
    }
  };
  putPage(1, {{0, {2, "ALPHA"}}, {0, {4, "BRAVO"}}}, 2);
  putPage(2, {{0, {1, "DELTA"}}, {0, {3, "ECHO"}}}, 2);
  putPage(3, {{kPageSize, {5, "CHARLY"}}, {2 * kPageSize, {0, ""}}}, 1);
  testing::WriteFileBytes(dir_.File("HAND.NTX"), file);

  KeyRows ours = OurKeys(*table, "HAND.NTX");
  EXPECT_EQ(ours, (KeyRows{{"ALPHA", 2}, {"BRAVO", 4}, {"CHARLY", 5}, {"DELTA", 1}, {"ECHO", 3}}));
  ASSERT_EQ(table->OpenIndex("HAND.NTX"), 0);
  std::string tag = "HAND";
  table->SelectOrder(&tag, false);
  EXPECT_TRUE(table->Find("CHARLY"));
  EXPECT_EQ(table->RecordNumber(), 5);
  std::vector<std::string> problems = CheckIndexFile(*table->IndexFileInSlot(1), *table);
  EXPECT_TRUE(problems.empty()) << problems.front();
  if (testing::HasIndexDump()) ExpectSameRows(ours, IndexDump(dir_.File("HAND.NTX"), "char"), false);
}

}  // namespace
}  // namespace velorin
