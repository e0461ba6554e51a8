// MDX files byte by byte: the new file, tag headers and the tag table, packed
// decimals, descending trees, tags refused, tag removal, rebuilding, renaming
// and the table's production flag.
#include "index/vr6_mdx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/dbf_format.h"
#include "index/index_check.h"
#include "index/mdx_fixture.h"
#include "index/mdx_format.h"
#include "index/mdx_number.h"
#include "support/raised_message.h"

namespace velorin {
namespace {

using namespace mdx_format;
using testing::LE16At;
using testing::LE32At;
using testing::MakeFilledTable;
using testing::MakeMdx;
using testing::RecordsInTag;
using testing::TagSpec;

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

std::string PackedOf(double value) {
  uint8_t sortable[mdx_number::kSize];
  uint8_t packed[mdx_number::kSize];
  EXPECT_TRUE(mdx_number::SortableFromValue(value, sortable));
  mdx_number::PackedFromSortable(sortable, packed);
  return std::string(reinterpret_cast<char*>(packed), sizeof packed);
}

std::string SortableOf(double value) {
  uint8_t sortable[mdx_number::kSize];
  EXPECT_TRUE(mdx_number::SortableFromValue(value, sortable)) << value;
  return std::string(reinterpret_cast<char*>(sortable), sizeof sortable);
}

class MdxTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
};

TEST_F(MdxTest, ANewFileIsItsHeaderAlone) {
  auto table = MakeFilledTable(dir_.File("PEOPLE.DBF"), {"NAME:C:10"}, {});
  { VRobjMDXFile file(table.get(), dir_.File("PEOPLE.MDX"), true, true); }
  std::string bytes = testing::ReadFileBytes(dir_.File("PEOPLE.MDX"));
  ASSERT_EQ(bytes.size(), 2048u);
  EXPECT_EQ(bytes[header::kVersion], 2);
  EXPECT_EQ(std::string(bytes.c_str() + header::kTableName), "PEOPLE");
  EXPECT_EQ(LE16At(bytes, header::kSectorsPerBlock), 2);
  EXPECT_EQ(LE16At(bytes, header::kBlockSize), 1024);
  EXPECT_EQ(bytes[header::kProduction], 1);
  EXPECT_EQ(bytes[header::kMaxTags], 48);
  EXPECT_EQ(bytes[header::kEntryLength], 32);
  EXPECT_EQ(LE16At(bytes, header::kTagCount), 0);
  EXPECT_EQ(LE32At(bytes, header::kNextFree), 4u);
  EXPECT_GE(bytes[header::kCreated + 1], 1);  // a month
  EXPECT_EQ(bytes.substr(header::kTagTable), std::string(2048 - 512, '\0'));
}

// One tag of each key type on an empty table: header block, empty root, and
// the tag table in name order.
TEST_F(MdxTest, TagHeadersAndTheTagTableOfEachKeyType) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10", "AMOUNT:N:8:2", "BORN:D", "ACTIVE:L"}, {});
  MakeMdx(*table, dir_.File("T.MDX"),
          {{"NAME", "NAME", true, true, ""}, {"AMOUNT", "AMOUNT", false, false, ""}, {"BORN", "BORN", false, true, "ACTIVE"}});
  std::string bytes = testing::ReadFileBytes(dir_.File("T.MDX"));
  ASSERT_EQ(bytes.size(), 2048u + 3 * 2048u);
  EXPECT_EQ(LE16At(bytes, header::kTagCount), 3);
  EXPECT_EQ(LE32At(bytes, header::kNextFree), 16u);
  EXPECT_EQ(bytes[TagEntryOffset(0) + tag_entry::kNext], 1);
  struct Expected {
    const char* name;
    char type;
    int keyLength, entryLength, maxKeys, options;
  };
  // Name order: AMOUNT, BORN, NAME; the blocks in the order the tags were added.
  const Expected expected[] = {{"AMOUNT", 'N', 12, 16, 62, 0x18}, {"BORN", 'D', 8, 12, 83, 0x10},
                               {"NAME", 'C', 10, 16, 62, 0x50}};
  const uint32_t headerBlocks[] = {8, 12, 4};
  for (int i = 1; i <= 3; ++i) {
    const Expected& e = expected[i - 1];
    SCOPED_TRACE(e.name);
    size_t entry = TagEntryOffset(i);
    EXPECT_EQ(std::string(bytes.c_str() + entry + tag_entry::kName), e.name);
    EXPECT_EQ(LE32At(bytes, entry + tag_entry::kHeaderBlock), headerBlocks[i - 1]);
    EXPECT_EQ(bytes[entry + tag_entry::kNext], i < 3 ? i + 1 : 0);
    EXPECT_EQ(bytes[entry + tag_entry::kMark], 2);
    EXPECT_EQ(bytes[entry + tag_entry::kKeyType], e.type);
    size_t h = headerBlocks[i - 1] * 512;
    EXPECT_EQ(LE32At(bytes, h + tag_header::kRoot), headerBlocks[i - 1] + 2);
    EXPECT_EQ(static_cast<uint8_t>(bytes[h + tag_header::kOptions]), e.options);
    EXPECT_EQ(bytes[h + tag_header::kKeyType], e.type);
    EXPECT_EQ(LE16At(bytes, h + tag_header::kKeyLength), e.keyLength);
    EXPECT_EQ(LE16At(bytes, h + tag_header::kEntryLength), e.entryLength);
    EXPECT_EQ(LE16At(bytes, h + tag_header::kMaxKeys), e.maxKeys);
    EXPECT_EQ(static_cast<uint8_t>(bytes[h + tag_header::kUnique]), e.options & 0x40);
    EXPECT_EQ(std::string(bytes.c_str() + h + tag_header::kExpression), e.name);
    EXPECT_EQ(bytes[h + tag_header::kOne], 1);
    EXPECT_EQ(LE32At(bytes, h + tag_header::kFirstBlock), headerBlocks[i - 1] + 2);
    EXPECT_EQ(LE32At(bytes, h + tag_header::kLastBlock), headerBlocks[i - 1] + 2);
    EXPECT_EQ(bytes.substr(h + 1024, 1024), std::string(1024, '\0'));  // the empty root leaf
  }
  size_t born = 12 * 512;
  EXPECT_EQ(bytes[born + tag_header::kHasFor], 1);
  EXPECT_EQ(std::string(bytes.c_str() + born + tag_header::kForExpression), "ACTIVE");
  EXPECT_EQ(bytes[TagEntryOffset(4) + tag_entry::kName], '\0');
}

TEST_F(MdxTest, PackedDecimalsOfOneZeroAndMinusOne) {
  EXPECT_EQ(PackedOf(1), Bytes({0x35, 0x09, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(PackedOf(0), Bytes({0x34, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(PackedOf(-1), Bytes({0x35, 0x89, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(PackedOf(-123.45), Bytes({0x37, 0x99, 0x12, 0x34, 0x50, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(PackedOf(0.05), Bytes({0x33, 0x09, 0x50, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  // Fifteen significant digits, eight digit bytes.
  EXPECT_EQ(PackedOf(123456789012345.0),
            Bytes({0x43, 0x41, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34, 0x50, 0, 0}));
}

// The same three values in a built leaf, in key order -1, 0, 1.
TEST_F(MdxTest, ALeafOfNumericKeysHoldsPackedDecimals) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NUM:N:5"}, {{"1"}, {"0"}, {"-1"}});
  MakeMdx(*table, dir_.File("T.MDX"), {{"NUM", "NUM"}});
  std::string bytes = testing::ReadFileBytes(dir_.File("T.MDX"));
  size_t root = LE32At(bytes, 4 * 512 + tag_header::kRoot) * 512;
  EXPECT_EQ(LE32At(bytes, root + node::kCount), 3u);
  const uint32_t records[] = {3, 2, 1};
  const double values[] = {-1, 0, 1};
  for (size_t i = 0; i < 3; ++i) {
    size_t e = root + node::kEntries + i * 16;
    EXPECT_EQ(LE32At(bytes, e + entry::kPointer), records[i]);
    EXPECT_EQ(bytes.substr(e + entry::kKey, 12), PackedOf(values[i]));
  }
  EXPECT_EQ(LE32At(bytes, root + node::kEntries + 3 * 16), 0u);  // a leaf
  ASSERT_EQ(table->OpenIndex("T.MDX"), 0);
  EXPECT_EQ(RecordsInTag(*table, "NUM"), (std::vector<int32_t>{3, 2, 1}));
  EXPECT_TRUE(table->Find("-1"));
  EXPECT_EQ(table->RecordNumber(), 3);
}

// The sortable forms compare as the numbers do; zero below 0.05 too.
TEST_F(MdxTest, SortableFormsAreInNumericOrderAndRoundTrip) {
  const std::vector<double> ordered{-1e200, -123456789.125, -5, -1, -0.5, -0.05, -1e-40, 0,
                                    1e-40,  0.05,          0.5, 1,  1.5,  10,    99.99, 1e200};
  for (size_t i = 0; i < ordered.size(); ++i) {
    std::string s = SortableOf(ordered[i]);
    EXPECT_DOUBLE_EQ(mdx_number::ValueOfSortable(reinterpret_cast<const uint8_t*>(s.data())), ordered[i]);
    std::string packed = PackedOf(ordered[i]);
    uint8_t back[12];
    mdx_number::SortableFromPacked(reinterpret_cast<const uint8_t*>(packed.data()), back);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 12), s) << ordered[i];
    if (i > 0) {
      EXPECT_LT(SortableOf(ordered[i - 1]), s) << ordered[i - 1] << " < " << ordered[i];
    }
  }
}

TEST_F(MdxTest, NumbersWithoutAPackedFormAreRefused) {
  uint8_t sortable[12];
  for (double v : {1e-60, -1e-60, 1e250, 1.0 / 0.0}) EXPECT_FALSE(mdx_number::SortableFromValue(v, sortable)) << v;
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NUM:N:5"}, {{"1"}});
  MakeMdx(*table, dir_.File("T.MDX"), {{"NUM", "NUM"}});
  ASSERT_EQ(table->OpenIndex("T.MDX"), 0);
  IndexOrder* tag = table->IndexFileInSlot(1)->TagByName("NUM");
  TvrVariant tiny;
  tiny.SetFloat(1e-60);
  EXPECT_NE(testing::RaisedMessage([&] { tag->AdjustValue(tiny); }).find("Number too large to fit in field"),
            std::string::npos);
}

TEST_F(MdxTest, DescendingTagsStoreTheirKeysInDescendingOrder) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:6"}, {{"BRAVO"}, {"ALPHA"}, {"DELTA"}, {"CHARLY"}});
  MakeMdx(*table, dir_.File("T.MDX"), {{"DOWN", "NAME", false, false}});
  ASSERT_EQ(table->OpenIndex("T.MDX"), 0);
  EXPECT_EQ(RecordsInTag(*table, "DOWN"), (std::vector<int32_t>{3, 4, 1, 2}));
  IndexOrder* tag = table->CurrentOrder();
  EXPECT_EQ(tag->KeyMove(-3), 3);  // the highest key first, no exchange
  EXPECT_EQ(tag->KeyMove(-4), 2);
  // A new duplicate precedes the equal key in stored order.
  table->BlankRecord();
  table->PutValue(1, "BRAVO");
  table->Append();
  EXPECT_EQ(RecordsInTag(*table, "DOWN"), (std::vector<int32_t>{3, 4, 5, 1, 2}));
  table->CloseIndexes();
  std::string bytes = testing::ReadFileBytes(dir_.File("T.MDX"));
  size_t root = LE32At(bytes, 4 * 512 + tag_header::kRoot) * 512;
  std::string keys;
  for (size_t i = 0; i < 5; ++i) keys += bytes.substr(root + node::kEntries + i * 12 + entry::kKey, 6) + "|";
  EXPECT_EQ(keys, "DELTA |CHARLY|BRAVO |BRAVO |ALPHA |");
  EXPECT_TRUE(CheckIndexFile(*std::make_unique<VRobjMDXFile>(table.get(), dir_.File("T.MDX"), false, false),
                             *table).empty());
}

TEST_F(MdxTest, AnAllBlankKeyIsFoundAfterReopening) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:8"}, {{"SMITH"}, {""}, {"ADAMS"}});
  MakeMdx(*table, dir_.File("T.MDX"), {{"NAME", "NAME"}});
  ASSERT_EQ(table->OpenIndex("T.MDX"), 0);
  EXPECT_EQ(RecordsInTag(*table, "NAME"), (std::vector<int32_t>{2, 3, 1}));
  table->SetExactMatch(true);
  EXPECT_TRUE(table->Find(""));
  EXPECT_EQ(table->RecordNumber(), 2);
}

TEST_F(MdxTest, TagsThatDoNotFitTheFileAreRefused) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10"}, {{"A"}});
  VRobjMDXFile file(table.get(), dir_.File("T.MDX"), true, true);
  struct Case {
    std::string name, key, forExpression, message;
  };
  const Case cases[] = {
      {"ELEVENCHARS", "NAME", "", "Tag name ELEVENCHARS longer than 10 characters"},
      {"", "NAME", "", "Tag name missing"},
      {"LONGKEY", "UPPER(" + std::string(210, ' ') + "NAME)", "", "Key expression longer than 220 characters"},
      {"LONGFOR", "NAME", "UPPER(" + std::string(251, ' ') + "NAME)", "FOR expression longer than 261 characters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NE(testing::RaisedMessage([&] { file.TagAdd(c.name, c.key, false, true, c.forExpression); }).find(c.message),
              std::string::npos);
    EXPECT_EQ(file.TagCount(), 0);
  }
  EXPECT_TRUE(file.TagAdd("KEY220", "UPPER(" + std::string(209, ' ') + "NAME)", false, true, ""));
  for (int i = 1; i < 47; ++i) ASSERT_TRUE(file.TagAdd("T" + std::to_string(i), "NAME", false, true, ""));
  EXPECT_EQ(file.TagCount(), 47);
  EXPECT_NE(testing::RaisedMessage([&] { file.TagAdd("T48", "NAME", false, true, ""); }).find("No room for another tag"),
            std::string::npos);
  EXPECT_TRUE(file.TagAdd("T10", "UPPER(NAME)", false, true, ""));  // replacing one still fits
  EXPECT_EQ(file.TagCount(), 47);
}

TEST_F(MdxTest, RemovingTagsRewritesTheTagTable) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:6", "NUM:N:4"}, {{"B", "2"}, {"A", "1"}, {"C", "3"}});
  MakeMdx(*table, dir_.File("T.MDX"), {{"NAME", "NAME"}, {"NUM", "NUM"}, {"BOTH", "UPPER(NAME)"}});
  {
    VRobjMDXFile file(table.get(), dir_.File("T.MDX"), false, false);
    EXPECT_FALSE(file.TagRemove("NONE"));
    EXPECT_TRUE(file.TagRemove("both"));
  }
  {
    VRobjMDXFile file(table.get(), dir_.File("T.MDX"), false, false);
    ASSERT_EQ(file.TagCount(), 2);
    EXPECT_EQ(file.Tag(0)->Name(), "NAME");
    EXPECT_EQ(file.Tag(1)->Name(), "NUM");
    EXPECT_TRUE(CheckIndexFile(file, *table).empty());
    EXPECT_TRUE(file.TagRemove("NAME"));
    EXPECT_TRUE(file.TagRemove("NUM"));
  }
  std::string bytes = testing::ReadFileBytes(dir_.File("T.MDX"));
  EXPECT_EQ(bytes.size(), 2048u);
  EXPECT_EQ(LE16At(bytes, header::kTagCount), 0);
  EXPECT_EQ(LE32At(bytes, header::kNextFree), 4u);
}

TEST_F(MdxTest, ReindexRebuildsEveryTagCompactly) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:8", "NUM:N:6"}, {});
  MakeMdx(*table, dir_.File("T.MDX"), {{"NAME", "NAME"}, {"NUM", "NUM", false, false}});
  ASSERT_EQ(table->OpenIndex("T.MDX"), 0);
  for (int i = 0; i < 500; ++i) {
    table->BlankRecord();
    table->PutValue(1, "N" + std::to_string((i * 37) % 101));
    table->PutNumber(2, (i * 53) % 211 - 100);
    table->Append();
  }
  std::vector<int32_t> byName = RecordsInTag(*table, "NAME");
  std::vector<int32_t> byNum = RecordsInTag(*table, "NUM");
  size_t before = testing::ReadFileBytes(dir_.File("T.MDX")).size();
  table->Reindex();
  EXPECT_LT(testing::ReadFileBytes(dir_.File("T.MDX")).size(), before);
  EXPECT_TRUE(CheckIndexFile(*table->IndexFileInSlot(1), *table).empty());
  EXPECT_EQ(RecordsInTag(*table, "NAME").size(), byName.size());
  std::vector<int32_t> num = RecordsInTag(*table, "NUM");
  ASSERT_EQ(num.size(), byNum.size());
  for (size_t i = 1; i < num.size(); ++i) {
    table->GoRecord(num[i - 1]);
    double previous = table->GetNumber(2);
    table->GoRecord(num[i]);
    EXPECT_GE(previous, table->GetNumber(2));
  }
}

TEST_F(MdxTest, AFileNamedAsTheTableSetsTheProductionFlag) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:6"}, {{"A"}});
  MakeMdx(*table, dir_.File("OTHER.MDX"), {{"NAME", "NAME"}});
  EXPECT_EQ(testing::ReadFileBytes(dir_.File("T.DBF"))[dbf_header::kFlags] & dbf_flags::kProductionIndex, 0);
  MakeMdx(*table, dir_.File("T.MDX"), {{"NAME", "NAME"}});
  EXPECT_EQ(testing::ReadFileBytes(dir_.File("T.DBF"))[dbf_header::kFlags] & dbf_flags::kProductionIndex, 1);
  EXPECT_TRUE(table->HasProductionIndex());
}

TEST_F(MdxTest, RenamingRewritesTheTableNameInTheHeader) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:6"}, {{"A"}});
  MakeMdx(*table, dir_.File("T.MDX"), {{"NAME", "NAME"}});
  VRobjMDXFile file(table.get(), dir_.File("T.MDX"), false, false);
  ASSERT_TRUE(file.FileRename(dir_.File("renamed_table.dbf")));
  EXPECT_EQ(file.FileName(), "RENAMED_TABLE.MDX");
  std::string bytes = testing::ReadFileBytes(file.FullName());
  EXPECT_EQ(bytes.substr(header::kTableName, 16), std::string("RENAMED_") + std::string(8, '\0'));
}

}  // namespace
}  // namespace velorin
