// CDX files shared with other programs: what this engine builds is read by Perl
// XBase's index_dump with the same keys in the same order, and a file laid out
// by hand from the format's tables is read here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/byte_order.h"
#include "index/cdx_fixture.h"
#include "index/index_check.h"
#include "index/index_dump.h"

namespace velorin {
namespace {

namespace f = cdx_format;
using testing::RecordsInOrder;

using testing::HasIndexDump;

// index_dump's lines for a tag of a CDX file.
std::vector<std::pair<std::string, int32_t>> IndexDump(const std::string& path, const std::string& tag,
                                                       const std::string& type) {
  return testing::IndexDump(path, type, tag);
}

class CdxInteropTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallIndexFamilies(); }
  testing::TempDir dir_;
};

TEST_F(CdxInteropTest, IndexDumpReadsEveryKindOfTagOfAHundredThousandRecords) {
  REQUIRE_INDEX_DUMP();
  const int kRecords = 100000;
  std::vector<std::string> records;
  char buffer[64];
  for (int i = 0; i < kRecords; ++i) {
    int v = static_cast<int>((static_cast<int64_t>(i) * 7919) % 50000);  // duplicates too
    std::snprintf(buffer, sizeof buffer, " N%-11d%10.2f%04d%02d%02d%c", v, (v - 25000) / 4.0, 1950 + v % 60,
                  1 + v % 12, 1 + v % 28, v % 3 == 0 ? 'T' : 'F');
    records.emplace_back(buffer);
  }
  testing::MakeTable(dir_.File("BIG.DBF"), 0x03, {"NAME:C:12", "NUM:N:10:2", "BORN:D", "OK:L"}, records, true);
  VRO_dBHandler table(dir_.File("BIG.DBF"), true, false);
  testing::MakeCdx(table, dir_.File("BIG.CDX"),
                   {{"NAME", "NAME"},
                    {"NUM", "NUM"},
                    {"BORN", "BORN"},
                    {"DOWN", "NAME", false, false},
                    {"SOME", "NAME", false, true, "OK"},
                    {"ONCE", "NAME", true}});
  ASSERT_EQ(table.OpenIndex("BIG.CDX"), 0);
  struct Case {
    const char* tag;
    const char* type;
    bool reversed;
    size_t keys;
  };
  for (const Case& c : {Case{"NAME", "char", false, 100000}, Case{"NUM", "num", false, 100000},
                        Case{"BORN", "num", false, 100000}, Case{"DOWN", "char", true, 100000},
                        Case{"SOME", "char", false, 0}, Case{"ONCE", "char", false, 50000}}) {
    SCOPED_TRACE(c.tag);
    std::string tag = c.tag;
    table.SelectOrder(&tag, false);
    std::vector<int32_t> ours = RecordsInOrder(table);
    if (c.reversed) std::reverse(ours.begin(), ours.end());
    if (c.keys > 0) {
      EXPECT_EQ(ours.size(), c.keys);
    }
    auto theirs = IndexDump(dir_.File("BIG.CDX"), c.tag, c.type);
    ASSERT_EQ(theirs.size(), ours.size()) << (theirs.empty() ? "" : theirs[0].first);
    std::vector<int32_t> theirRecords;
    for (const auto& row : theirs) theirRecords.push_back(row.second);
    EXPECT_EQ(theirRecords, ours);
  }
  // The keys themselves as index_dump shows them.
  auto names = IndexDump(dir_.File("BIG.CDX"), "NAME", "char");
  EXPECT_EQ(names.front().first, "N0");
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.first < b.first; }));
  auto numbers = IndexDump(dir_.File("BIG.CDX"), "NUM", "num");
  EXPECT_EQ(numbers.front().first, "-6250");
  EXPECT_EQ(numbers.back().first, "6249.75");
  // 100,000 records need 24 record-number bits in 4 bytes per entry.
  std::string bytes = testing::ReadFileBytes(dir_.File("BIG.CDX"));
  size_t page = testing::LE32At(bytes, testing::TagHeaderPosition(bytes, "NAME") + f::header::kRoot);
  while ((testing::LE16At(bytes, page) & f::attributes::kLeaf) == 0) {
    page = testing::BE32At(bytes, page + f::page::kInteriorEntries + 12 + 4);
  }
  EXPECT_EQ(bytes[page + f::leaf::kRecordBits], 24);
  EXPECT_EQ(bytes[page + f::leaf::kBytesPerEntry], 4);
  EXPECT_TRUE(CheckIndexFile(*table.IndexFileInSlot(1), table).empty());
}

// A CDX file of one tag written here byte by byte: the directory, the tag's
// header, two compressed leaves linked as siblings and an interior root.
TEST_F(CdxInteropTest, AFileLaidOutByHandIsReadInOrderAndPassesTheCheck) {
  auto table = testing::MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:6"},
                                        {{"DELTA"}, {"ALPHA"}, {"ECHO"}, {"BRAVO"}, {"CHARLY"}});
  std::string file(4096, '\0');
  auto* bytes = reinterpret_cast<uint8_t*>(file.data());
  auto header = [&](size_t at, uint32_t root, uint16_t keyLength, uint8_t options, const char* expression) {
    byte_order::PutLE32(bytes + at + f::header::kRoot, root);
    byte_order::PutLE16(bytes + at + f::header::kKeyLength, keyLength);
    bytes[at + f::header::kOptions] = options;
    bytes[at + f::header::kSignature] = 1;
    std::memcpy(bytes + at + f::header::kExpressions, expression, std::strlen(expression));
  };
  // A leaf with 3-byte entries (16 record bits, 4 + 4 count bits for key
  // lengths 8 to 15; key length 6 takes 3 + 3 bits and 18 record bits).
  auto leaf = [&](size_t at, uint16_t attributes, int32_t left, int32_t right, int keyLength,
                  const std::vector<std::pair<std::string, uint32_t>>& keys) {
    int bits = keyLength < 8 ? 3 : 4;
    int recordBits = 24 - 2 * bits;
    byte_order::PutLE16(bytes + at + f::page::kAttributes, attributes);
    byte_order::PutLE16(bytes + at + f::page::kKeyCount, static_cast<uint16_t>(keys.size()));
    byte_order::PutLE32(bytes + at + f::page::kLeftSibling, static_cast<uint32_t>(left));
    byte_order::PutLE32(bytes + at + f::page::kRightSibling, static_cast<uint32_t>(right));
    byte_order::PutLE32(bytes + at + f::leaf::kRecordMask, (1u << recordBits) - 1);
    bytes[at + f::leaf::kDuplicateMask] = bytes[at + f::leaf::kTrailingMask] = static_cast<uint8_t>((1 << bits) - 1);
    bytes[at + f::leaf::kRecordBits] = static_cast<uint8_t>(recordBits);
    bytes[at + f::leaf::kDuplicateBits] = bytes[at + f::leaf::kTrailingBits] = static_cast<uint8_t>(bits);
    bytes[at + f::leaf::kBytesPerEntry] = 3;
    size_t end = at + 512;
    for (size_t i = 0; i < keys.size(); ++i) {
      const std::string& key = keys[i].first;
      end -= key.size();  // no duplicate bytes stored as such
      std::memcpy(bytes + end, key.data(), key.size());
      uint32_t entry = keys[i].second | static_cast<uint32_t>(keyLength - static_cast<int>(key.size()))
                                            << (recordBits + bits);
      for (int b = 0; b < 3; ++b) bytes[at + f::leaf::kKeyArea + i * 3 + b] = static_cast<uint8_t>(entry >> (8 * b));
    }
    byte_order::PutLE16(bytes + at + f::leaf::kFreeBytes,
                        static_cast<uint16_t>(end - at - f::leaf::kKeyArea - keys.size() * 3));
  };
  header(0, 1024, 10, f::options::kDirectoryTag, "");
  leaf(1024, 3, -1, -1, 10, {{"NAME", 1536}});
  header(1536, 3584, 6, f::options::kTag, "NAME");
  leaf(2560, 2, -1, 3072, 6, {{"ALPHA", 2}, {"BRAVO", 4}});
  leaf(3072, 2, 2560, -1, 6, {{"CHARLY", 5}, {"DELTA", 1}, {"ECHO", 3}});
  // The root: each entry the highest key of its child, record and child big-endian.
  byte_order::PutLE16(bytes + 3584 + f::page::kAttributes, 1);
  byte_order::PutLE16(bytes + 3584 + f::page::kKeyCount, 2);
  byte_order::PutLE32(bytes + 3584 + f::page::kLeftSibling, 0xFFFFFFFFu);
  byte_order::PutLE32(bytes + 3584 + f::page::kRightSibling, 0xFFFFFFFFu);
  size_t entry = 3584 + f::page::kInteriorEntries;
  std::memcpy(bytes + entry, "BRAVO ", 6);
  byte_order::PutBE32(bytes + entry + 6, 4);
  byte_order::PutBE32(bytes + entry + 10, 2560);
  std::memcpy(bytes + entry + 14, "ECHO  ", 6);
  byte_order::PutBE32(bytes + entry + 20, 3);
  byte_order::PutBE32(bytes + entry + 24, 3072);
  testing::WriteFileBytes(dir_.File("HAND.CDX"), file);

  ASSERT_EQ(table->OpenIndex("HAND.CDX"), 0);
  std::string tag = "NAME";
  ASSERT_EQ(table->SelectOrder(&tag, false), 1);
  EXPECT_EQ(RecordsInOrder(*table), (std::vector<int32_t>{2, 4, 5, 1, 3}));
  EXPECT_TRUE(table->Find("CHARLY"));
  EXPECT_EQ(table->RecordNumber(), 5);
  std::vector<std::string> problems = CheckIndexFile(*table->IndexFileInSlot(1), *table);
  EXPECT_TRUE(problems.empty()) << problems.front();
  if (HasIndexDump()) {
    auto theirs = IndexDump(dir_.File("HAND.CDX"), "NAME", "char");
    ASSERT_EQ(theirs.size(), 5u);
    EXPECT_EQ(theirs[2], (std::pair<std::string, int32_t>{"CHARLY", 5}));
  }
}

}  // namespace
}  // namespace velorin
