#include "index/vr6_ntx.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "index/index_check.h"
#include "index/index_dump.h"
#include "index/index_fixture.h"
#include "index/ntx_format.h"
#include "support/raised_message.h"

namespace velorin {
namespace {

using namespace ntx_format;
using testing::LE16At;
using testing::LE32At;
using testing::MakeFilledTable;
using testing::MakeNtx;
using testing::RecordsInOrder;

// The key of item (from 1) of the page at offset, through its offset table.
std::string ItemKey(const std::string& file, size_t pageOffset, int item, int keyLength) {
  size_t at = pageOffset + LE16At(file, pageOffset + page::kOffsetTable + 2 * (item - 1));
  return file.substr(at + item::kKey, static_cast<size_t>(keyLength));
}

uint32_t ItemWord(const std::string& file, size_t pageOffset, int item, size_t field) {
  return LE32At(file, pageOffset + LE16At(file, pageOffset + page::kOffsetTable + 2 * (item - 1)) + field);
}

class NtxTest : public ::testing::Test {
 protected:
  std::unique_ptr<VRO_dBHandler> NamedTable(int records) {
    std::vector<std::vector<std::string>> rows;
    char name[16];
    for (int i = 1; i <= records; ++i) {
      std::snprintf(name, sizeof name, "K%03d", i);
      rows.push_back({name});
    }
    return MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10"}, rows);
  }
  void Select(VRO_dBHandler& table, const std::string& file) {
    ASSERT_EQ(table.OpenIndex(file), 0);
    std::string tag = NameWithoutExtension(file);
    ASSERT_EQ(table.SelectOrder(&tag, false), 1);
  }
  testing::TempDir dir_;
};

TEST_F(NtxTest, AnEmptyOrderIsAHeaderAndAZeroedRootOf2048Bytes) {
  auto table = NamedTable(0);
  MakeNtx(*table, dir_.File("NAME.NTX"), "NAME", true);
  std::string bytes = testing::ReadFileBytes(dir_.File("NAME.NTX"));
  ASSERT_EQ(bytes.size(), 2048u);
  EXPECT_EQ(LE16At(bytes, header::kSignature), 6);
  EXPECT_EQ(LE16At(bytes, header::kChangeCounter), 1);
  EXPECT_EQ(LE32At(bytes, header::kRoot), 1024u);
  EXPECT_EQ(LE16At(bytes, header::kKeyLength), 10);
  EXPECT_EQ(LE16At(bytes, header::kItemLength), 18);
  EXPECT_EQ(LE16At(bytes, header::kMaxKeys), 50);
  EXPECT_EQ(LE16At(bytes, header::kHalfPage), 25);
  EXPECT_EQ(std::string(bytes.c_str() + header::kExpression), "NAME");
  EXPECT_EQ(bytes[header::kUnique], 1);
  EXPECT_EQ(bytes.substr(1024), std::string(1024, '\0'));
}

TEST_F(NtxTest, PagesCarryTheirOffsetTableInSlotOrderWithItemsFrom104) {
  auto table = NamedTable(2);
  MakeNtx(*table, dir_.File("NAME.NTX"), "NAME");
  std::string bytes = testing::ReadFileBytes(dir_.File("NAME.NTX"));
  ASSERT_EQ(LE32At(bytes, header::kRoot), 1024u);
  EXPECT_EQ(LE16At(bytes, 1024 + page::kCount), 2);
  for (int i = 0; i <= 50; ++i) EXPECT_EQ(LE16At(bytes, 1024 + page::kOffsetTable + 2 * i), 104 + 18 * i);
  EXPECT_EQ(bytes.substr(1024 + 104 + item::kKey, 10), "K001      ");
  EXPECT_EQ(LE32At(bytes, 1024 + 104 + item::kRecord), 1u);
  EXPECT_EQ(LE32At(bytes, 1024 + 104 + item::kChild), 0u);
  EXPECT_EQ(bytes.substr(1024 + 122 + item::kKey, 10), "K002      ");
}

TEST_F(NtxTest, FiftyKeysMakeOneRootLeafAndTheFiftyFirstARootAboveIt) {
  auto fifty = NamedTable(50);
  MakeNtx(*fifty, dir_.File("NAME.NTX"), "NAME");
  std::string bytes = testing::ReadFileBytes(dir_.File("NAME.NTX"));
  EXPECT_EQ(bytes.size(), 2048u);
  EXPECT_EQ(LE16At(bytes, 1024 + page::kCount), 50);
  fifty.reset();

  auto table = NamedTable(51);
  MakeNtx(*table, dir_.File("NAME.NTX"), "NAME");
  bytes = testing::ReadFileBytes(dir_.File("NAME.NTX"));
  size_t root = LE32At(bytes, header::kRoot);
  ASSERT_EQ(LE16At(bytes, root + page::kCount), 1);
  EXPECT_EQ(ItemKey(bytes, root, 1, 10), "K051      ");
  EXPECT_EQ(ItemWord(bytes, root, 1, item::kRecord), 51u);
  size_t leaf = ItemWord(bytes, root, 1, item::kChild);
  EXPECT_EQ(LE16At(bytes, leaf + page::kCount), 50);
  EXPECT_EQ(ItemWord(bytes, root, 2, item::kRecord), 0u);  // the rightmost pointer
  size_t last = ItemWord(bytes, root, 2, item::kChild);
  EXPECT_EQ(LE16At(bytes, last + page::kCount), 0);

  Select(*table, "NAME.NTX");
  std::vector<int32_t> expected;
  for (int i = 1; i <= 51; ++i) expected.push_back(i);
  EXPECT_EQ(RecordsInOrder(*table), expected);
  EXPECT_TRUE(table->Find("K051"));  // the key held by the interior page
  EXPECT_EQ(table->RecordNumber(), 51);
  EXPECT_TRUE(CheckIndexFile(*table->IndexFileInSlot(1), *table).empty());
}

// Record 51's key is the root's only key; when it changes, the leaf's last key
// moves up in its place, as a B-tree deletion does.
TEST_F(NtxTest, ChangingAnInteriorKeyPromotesTheLeafsLastKey) {
  auto table = NamedTable(51);
  MakeNtx(*table, dir_.File("NAME.NTX"), "NAME");
  Select(*table, "NAME.NTX");
  table->GoRecord(51);
  table->PutValue(1, "Z");
  table->WriteRecord(51);
  std::string bytes = testing::ReadFileBytes(dir_.File("NAME.NTX"));
  size_t root = LE32At(bytes, header::kRoot);
  ASSERT_EQ(LE16At(bytes, root + page::kCount), 1);
  EXPECT_EQ(ItemKey(bytes, root, 1, 10), "K050      ");
  EXPECT_EQ(ItemWord(bytes, root, 1, item::kRecord), 50u);
  EXPECT_EQ(LE16At(bytes, ItemWord(bytes, root, 1, item::kChild) + page::kCount), 49);
  size_t last = ItemWord(bytes, root, 2, item::kChild);
  ASSERT_EQ(LE16At(bytes, last + page::kCount), 1);
  EXPECT_EQ(ItemKey(bytes, last, 1, 10), "Z         ");
  EXPECT_EQ(LE16At(bytes, header::kChangeCounter), 2);
  EXPECT_TRUE(CheckIndexFile(*table->IndexFileInSlot(1), *table).empty());
  table->CloseIndexes();
  Select(*table, "NAME.NTX");
  std::vector<int32_t> order = RecordsInOrder(*table);
  EXPECT_EQ(order.back(), 51);
  EXPECT_EQ(order.size(), 51u);
  if (testing::HasIndexDump()) {
    auto theirs = testing::IndexDump(dir_.File("NAME.NTX"), "char");
    ASSERT_EQ(theirs.size(), 51u);
    EXPECT_EQ(theirs[49], (std::pair<std::string, int32_t>("K050", 50)));
    EXPECT_EQ(theirs[50], (std::pair<std::string, int32_t>("Z", 51)));
  }
}

// The last leaf empties: it stays, empty, and the key above it stays in the root.
TEST_F(NtxTest, EmptyingTheLastLeafKeepsItAndTheKeyAboveIt) {
  auto table = NamedTable(51);
  MakeNtx(*table, dir_.File("NAME.NTX"), "NAME");
  Select(*table, "NAME.NTX");
  for (const char* key : {"Z1", "Z2"}) {
    table->BlankRecord();
    table->PutValue(1, key);
    table->Append();
  }
  for (int32_t record : {52, 53}) {
    table->GoRecord(record);
    table->PutValue(1, "A" + std::to_string(record));
    table->WriteRecord(record);
  }
  std::string bytes = testing::ReadFileBytes(dir_.File("NAME.NTX"));
  size_t root = LE32At(bytes, header::kRoot);
  int count = LE16At(bytes, root + page::kCount);
  ASSERT_GE(count, 1);
  EXPECT_EQ(ItemKey(bytes, root, count, 10), "K051      ");
  EXPECT_EQ(LE16At(bytes, ItemWord(bytes, root, count + 1, item::kChild) + page::kCount), 0);
  EXPECT_TRUE(CheckIndexFile(*table->IndexFileInSlot(1), *table).empty());
  table->CloseIndexes();
  Select(*table, "NAME.NTX");
  std::vector<int32_t> order = RecordsInOrder(*table);
  ASSERT_EQ(order.size(), 53u);
  EXPECT_EQ(order.front(), 52);
  EXPECT_EQ(order.back(), 51);
}

TEST_F(NtxTest, NumericAndDateKeysAreSortableText) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"AMOUNT:N:6:2", "BORN:D"},
                               {{"3.5", "20040305"}, {"-3", ""}, {"-12.5", "19991231"}, {"0", "20040304"}});
  MakeNtx(*table, dir_.File("AMOUNT.NTX"), "AMOUNT");
  MakeNtx(*table, dir_.File("BORN.NTX"), "BORN");
  struct Case {
    const char* file;
    int record;
    const char* key;
  };
  for (const Case& c : {Case{"AMOUNT.NTX", 1, "003.50"}, Case{"AMOUNT.NTX", 2, ",,).,,"},
                        Case{"BORN.NTX", 1, "20040305"}, Case{"BORN.NTX", 2, "00000000"}}) {
    SCOPED_TRACE(c.file);
    VRobjNTXFile file(table.get(), dir_.File(c.file), false, false);
    ASSERT_TRUE(file.OpenedSuccessfully());
    table->GoRecord(c.record);
    VRobjIndexKeyData key;
    file.NtxTag()->KeyEvaluate(key);
    EXPECT_EQ(key.AsString(), c.key);
  }
  Select(*table, "AMOUNT.NTX");
  EXPECT_EQ(RecordsInOrder(*table), (std::vector<int32_t>{3, 2, 4, 1}));
  EXPECT_TRUE(table->Find("-3"));
  EXPECT_EQ(table->RecordNumber(), 2);
  table->CloseIndexes();
  Select(*table, "BORN.NTX");
  EXPECT_EQ(RecordsInOrder(*table), (std::vector<int32_t>{2, 3, 4, 1}));
}

// A number wider than the key is refused, never cut to a wrong key.
TEST_F(NtxTest, ANumberLongerThanTheKeyIsRefused) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"AMOUNT:N:6:2"}, {{"1.25"}});
  MakeNtx(*table, dir_.File("AMOUNT.NTX"), "AMOUNT");
  VRobjNTXFile file(table.get(), dir_.File("AMOUNT.NTX"), false, false);
  TvrVariant wide;
  wide.SetFloat(12345.5);
  file.NtxTag()->AdjustValue(wide);
  EXPECT_EQ(wide.AsString(), "12345.50");  // 8 characters for a key of 6
  VRobjIndexKeyData key;
  key.SetFloat(12345.5);
  key.Pointer = 1;
  EXPECT_NE(testing::RaisedMessage([&] { file.NtxTag()->KeyAdd(key); }).find("Key longer than the key length"),
            std::string::npos);
  EXPECT_TRUE(CheckIndexFile(file, *table).empty());
}

TEST_F(NtxTest, ZapAndReindexHoldTheWholeFileAndRebuild) {
  auto table = NamedTable(120);
  MakeNtx(*table, dir_.File("NAME.NTX"), "NAME");
  size_t built = testing::ReadFileBytes(dir_.File("NAME.NTX")).size();
  ASSERT_EQ(table->OpenIndex("NAME.NTX"), 0);
  auto* file = dynamic_cast<VRobjNTXFile*>(table->IndexFileInSlot(1));
  ASSERT_NE(file, nullptr);
  file->IndexZap();
  std::string zapped = testing::ReadFileBytes(dir_.File("NAME.NTX"));
  EXPECT_EQ(zapped.size(), 2048u);
  EXPECT_EQ(LE32At(zapped, header::kRoot), 1024u);
  EXPECT_EQ(zapped.substr(1024), std::string(1024, '\0'));
  table->Reindex();
  EXPECT_EQ(testing::ReadFileBytes(dir_.File("NAME.NTX")).size(), built);
  EXPECT_TRUE(CheckIndexFile(*file, *table).empty());
  EXPECT_EQ(file->Disk()->LockCount(), 0);  // released after the rebuild
}

TEST_F(NtxTest, CharacterKeysFollowTheUpperCaseFlag) {
  auto table = NamedTable(1);
  MakeNtx(*table, dir_.File("NAME.NTX"), "NAME");
  VRobjNTXFile file(table.get(), dir_.File("NAME.NTX"), false, false);
  TvrVariant key;
  key.SetText("abc  ");
  file.NtxTag()->AdjustValue(key);
  EXPECT_EQ(key.AsString(), "abc");
  file.SetUpperKeys(true);
  file.NtxTag()->AdjustValue(key);
  EXPECT_EQ(key.AsString(), "ABC");
}

TEST_F(NtxTest, ADescendingOrderIsRefused) {
  auto table = NamedTable(3);
  VRobjNTXFile file(table.get(), dir_.File("NAME.NTX"), true, true);
  EXPECT_NE(testing::RaisedMessage([&] { file.TagAdd("NAME", "NAME", false, false, ""); }).find("descending"),
            std::string::npos);
}

TEST_F(NtxTest, AForConditionIsKeptInTheHeader) {
  auto table = MakeFilledTable(dir_.File("T.DBF"), {"NAME:C:10", "OK:L"}, {{"B", "T"}, {"A", "F"}, {"C", "T"}});
  MakeNtx(*table, dir_.File("NAME.NTX"), "NAME", false, "OK");
  std::string bytes = testing::ReadFileBytes(dir_.File("NAME.NTX"));
  EXPECT_EQ(LE16At(bytes, header::kSignature), 7);
  EXPECT_EQ(std::string(bytes.c_str() + header::kForExpression), "OK");
  Select(*table, "NAME.NTX");
  EXPECT_EQ(table->CurrentOrder()->ForExpressionText(), "OK");
}

}  // namespace
}  // namespace velorin
