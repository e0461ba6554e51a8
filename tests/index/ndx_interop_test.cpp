// NDX files shared with other programs: what this engine builds is read by Perl
// XBase's index_dump with the same keys in the same order, and a file laid out
// by hand from the format's table is read here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/byte_order.h"
#include "index/index_check.h"
#include "index/index_dump.h"
#include "index/index_fixture.h"
#include "index/ndx_format.h"

namespace velorin {
namespace {

using testing::IndexDump;
using testing::MakeLargeTable;
using testing::MakeNdx;
using testing::RecordsInOrder;

class NdxInteropTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallIndexFamilies(); }
  testing::TempDir dir_;
};

TEST_F(NdxInteropTest, IndexDumpReadsCharacterNumericAndDateTreesOfAHundredThousandKeys) {
  REQUIRE_INDEX_DUMP();
  const int kRecords = 100000;
  MakeLargeTable(dir_.File("BIG.DBF"), kRecords);
  VRO_dBHandler table(dir_.File("BIG.DBF"), true, false);
  MakeNdx(table, dir_.File("NAME.NDX"), "NAME");
  MakeNdx(table, dir_.File("NUM.NDX"), "NUM");
  MakeNdx(table, dir_.File("BORN.NDX"), "BORN");
  struct Case {
    const char* file;
    const char* type;
  };
  for (const Case& c : {Case{"NAME.NDX", "char"}, Case{"NUM.NDX", "num"}, Case{"BORN.NDX", "num"}}) {
    SCOPED_TRACE(c.file);
    ASSERT_EQ(table.OpenIndex(c.file), 0);
    std::string tag = NameWithoutExtension(c.file);
    table.SelectOrder(&tag, false);
    std::vector<int32_t> ours = RecordsInOrder(table);
    auto theirs = IndexDump(dir_.File(c.file), c.type);
    ASSERT_EQ(theirs.size(), static_cast<size_t>(kRecords)) << (theirs.empty() ? "" : theirs[0].first);
    std::vector<int32_t> theirRecords;
    for (const auto& row : theirs) theirRecords.push_back(row.second);
    EXPECT_EQ(theirRecords, ours);
    table.CloseIndexes();
  }
  // The keys themselves: the first character keys as index_dump shows them.
  auto names = IndexDump(dir_.File("NAME.NDX"), "char");
  EXPECT_EQ(names.front().first.substr(0, 2), "N0");
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; }));
}

TEST_F(NdxInteropTest, CyrillicKeysInCodePage1251AreInByteOrder) {
  REQUIRE_INDEX_DUMP();
  // "Яковлев", "Абрамов", "абрамов", "Ёлкин", "Zorin" in code page 1251.
  std::vector<std::string> names{"\xDF\xEA\xEE\xE2\xEB\xE5\xE2", "\xC0\xE1\xF0\xE0\xEC\xEE\xE2",
                                 "\xE0\xE1\xF0\xE0\xEC\xEE\xE2", "\xA8\xEB\xEA\xE8\xED", "Zorin"};
  std::vector<std::vector<std::string>> rows;
  for (const auto& n : names) rows.push_back({n});
  auto table = testing::MakeFilledTable(dir_.File("RU.DBF"), {"NAME:C:10"}, rows);
  MakeNdx(*table, dir_.File("RU.NDX"), "NAME");
  ASSERT_EQ(table->OpenIndex("RU.NDX"), 0);
  std::string tag = "RU";
  table->SelectOrder(&tag, false);
  // Unsigned byte order: Z (0x5A), Ё (0xA8), А (0xC0), Я (0xDF), а (0xE0).
  EXPECT_EQ(RecordsInOrder(*table), (std::vector<int32_t>{5, 4, 2, 1, 3}));
  auto theirs = IndexDump(dir_.File("RU.NDX"), "char");
  std::vector<int32_t> theirRecords;
  for (const auto& row : theirs) theirRecords.push_back(row.second);
  EXPECT_EQ(theirRecords, (std::vector<int32_t>{5, 4, 2, 1, 3}));
}

// An NDX file of two levels written here byte by byte from the format's table:
// header, two leaves and a root whose last entry has only its pointer.
TEST_F(NdxInteropTest, AFileLaidOutByHandIsReadInOrderAndPassesTheCheck) {
  auto table = testing::MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:6"},
                                        {{"DELTA"}, {"ALPHA"}, {"ECHO"}, {"BRAVO"}, {"CHARLY"}});
  using namespace ndx_format;
  std::string file(4 * kBlockSize, '\0');
  auto* bytes = reinterpret_cast<uint8_t*>(file.data());
  const int32_t keyLength = 6;
  const int32_t entryLength = 16;  // 6 + 8 rounded up to 4
  byte_order::PutLE32(bytes + header::kRoot, 3);
  byte_order::PutLE32(bytes + header::kNextFree, 4);
  byte_order::PutLE16(bytes + header::kKeyLength, keyLength);
  byte_order::PutLE16(bytes + header::kMaxKeys, 504 / entryLength);
  byte_order::PutLE16(bytes + header::kKeyType, kTypeCharacter);
  byte_order::PutLE16(bytes + header::kEntryLength, entryLength);
  std::memcpy(bytes + header::kExpression, "NAME", 4);
  auto putEntry = [&](int32_t block, int32_t index, uint32_t child, uint32_t record, const char* key) {
    uint8_t* e = bytes + block * kBlockSize + node::kEntries + index * entryLength;
    byte_order::PutLE32(e + entry::kChild, child);
    byte_order::PutLE32(e + entry::kRecord, record);
    if (key != nullptr) {
      std::memset(e + entry::kKey, ' ', keyLength);
      std::memcpy(e + entry::kKey, key, std::strlen(key));
    }
  };
  byte_order::PutLE32(bytes + 1 * kBlockSize + node::kCount, 2);  // leaf: ALPHA, BRAVO
  putEntry(1, 0, 0, 2, "ALPHA");
  putEntry(1, 1, 0, 4, "BRAVO");
  byte_order::PutLE32(bytes + 2 * kBlockSize + node::kCount, 3);  // leaf: CHARLY, DELTA, ECHO
  putEntry(2, 0, 0, 5, "CHARLY");
  putEntry(2, 1, 0, 1, "DELTA");
  putEntry(2, 2, 0, 3, "ECHO");
  byte_order::PutLE32(bytes + 3 * kBlockSize + node::kCount, 1);  // root: one key, two pointers
  putEntry(3, 0, 1, 0, "BRAVO");
  putEntry(3, 1, 2, 0, nullptr);
  testing::WriteFileBytes(dir_.File("HAND.NDX"), file);

  ASSERT_EQ(table->OpenIndex("HAND.NDX"), 0);
  std::string tag = "HAND";
  table->SelectOrder(&tag, false);
  EXPECT_EQ(RecordsInOrder(*table), (std::vector<int32_t>{2, 4, 5, 1, 3}));
  EXPECT_TRUE(table->Find("CHARLY"));
  EXPECT_EQ(table->RecordNumber(), 5);
  std::vector<std::string> problems = CheckIndexFile(*table->IndexFileInSlot(1), *table);
  EXPECT_TRUE(problems.empty()) << problems.front();
}

}  // namespace
}  // namespace velorin
