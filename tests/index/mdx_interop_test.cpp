// MDX files shared with other programs: what this engine builds is read by Perl
// XBase's index_dump with the same keys in the same order, tag by tag.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/byte_order.h"
#include "index/index_check.h"
#include "index/index_dump.h"
#include "index/mdx_fixture.h"
#include "index/mdx_number.h"

namespace velorin {
namespace {

using testing::MakeMdx;
using testing::RecordsInTag;

using testing::DumpRow;
using testing::RawIndexDump;

class MdxInteropTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallIndexFamilies(); }
  testing::TempDir dir_;
};

TEST_F(MdxInteropTest, IndexDumpReadsCharacterNumericDateAndDescendingTagsOfAHundredThousandKeys) {
  REQUIRE_INDEX_DUMP();
  const int kRecords = 100000;
  testing::MakeLargeTable(dir_.File("BIG.DBF"), kRecords);
  VRO_dBHandler table(dir_.File("BIG.DBF"), true, false);
  MakeMdx(table, dir_.File("BIG.MDX"),
          {{"NAME", "NAME"}, {"NUM", "NUM"}, {"BORN", "BORN"}, {"NAMEDOWN", "NAME", false, false},
           {"NUMDOWN", "NUM", false, false}, {"BORNDOWN", "BORN", false, false}});
  ASSERT_EQ(table.OpenIndex("BIG.MDX"), 0);
  struct Case {
    const char* tag;
    char type;
    size_t keyLength;
  };
  for (const Case& c : {Case{"NAME", 'C', 12}, Case{"NUM", 'N', 12}, Case{"BORN", 'D', 8}, Case{"NAMEDOWN", 'C', 12},
                        Case{"NUMDOWN", 'N', 12}, Case{"BORNDOWN", 'D', 8}}) {
    SCOPED_TRACE(c.tag);
    std::vector<int32_t> ours = RecordsInTag(table, c.tag);
    std::vector<DumpRow> theirs = RawIndexDump(dir_.File("BIG.MDX"), c.tag, c.keyLength);
    ASSERT_EQ(theirs.size(), static_cast<size_t>(kRecords));
    std::vector<int32_t> theirRecords;
    for (const DumpRow& row : theirs) theirRecords.push_back(row.record);
    EXPECT_EQ(theirRecords, ours);
    // Every key they read is the record's value in the node form.
    for (size_t i = 0; i < theirs.size(); i += 997) {
      table.GoRecord(theirs[i].record);
      const auto* key = reinterpret_cast<const uint8_t*>(theirs[i].key.data());
      switch (c.type) {
        case 'C': EXPECT_EQ(theirs[i].key, table.ReadFieldText(1)); break;
        case 'N': {
          uint8_t sortable[mdx_number::kSize];
          mdx_number::SortableFromPacked(key, sortable);
          EXPECT_DOUBLE_EQ(mdx_number::ValueOfSortable(sortable), table.GetNumber(2));
          break;
        }
        default: EXPECT_EQ(byte_order::GetLEDouble(key), table.GetDate(3));
      }
    }
  }
  EXPECT_TRUE(CheckIndexFile(*table.IndexFileInSlot(1), table).empty());
}

// Keys added one by one (splits, new roots) are read the same way.
TEST_F(MdxInteropTest, IndexDumpReadsATreeGrownByInsertions) {
  REQUIRE_INDEX_DUMP();
  auto table = testing::MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10", "NUM:N:8:1"}, {});
  MakeMdx(*table, dir_.File("T.MDX"), {{"NAME", "NAME"}, {"NUMDOWN", "NUM", false, false}});
  ASSERT_EQ(table->OpenIndex("T.MDX"), 0);
  for (int i = 0; i < 3000; ++i) {
    int v = (i * 7919) % 3001;
    table->BlankRecord();
    table->PutValue(1, "K" + std::to_string(v));
    table->PutNumber(2, (v - 1500) / 10.0);
    table->Append();
  }
  for (const auto& [tag, length] : {std::pair<std::string, size_t>{"NAME", 10}, {"NUMDOWN", 12}}) {
    SCOPED_TRACE(tag);
    std::vector<int32_t> ours = RecordsInTag(*table, tag);
    std::vector<int32_t> theirs;
    for (const DumpRow& row : RawIndexDump(dir_.File("T.MDX"), tag, length)) theirs.push_back(row.record);
    EXPECT_EQ(theirs, ours);
    EXPECT_EQ(ours.size(), 3000u);
  }
  EXPECT_TRUE(CheckIndexFile(*table->IndexFileInSlot(1), *table).empty());
}

}  // namespace
}  // namespace velorin
