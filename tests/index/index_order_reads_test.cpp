// Records read in index order: on an exclusive table they come through the
// record cache and must still be exactly what was written, appended and packed;
// on a shared table every read must see what another program wrote.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "index/index_fixture.h"

namespace velorin {
namespace {

using testing::MakeLargeTable;
using testing::MakeNdx;

class IndexOrderReadsTest : public ::testing::Test {
 protected:
  // T.DBF of n records (MakeLargeTable) with NAME.NDX on NAME.
  void MakeIndexedTable(int n) {
    MakeLargeTable(dir_.File("T.DBF"), n);
    InstallIndexFamilies();
    VRO_dBHandler table(dir_.File("T.DBF"), true, false);
    MakeNdx(table, dir_.File("NAME.NDX"), "NAME");
  }
  void OpenInNameOrder(VRO_dBHandler& table) {
    ASSERT_EQ(table.OpenIndex("NAME.NDX"), 0);
    std::string tag = "NAME";
    ASSERT_GT(table.SelectOrder(&tag, false), 0);
  }
  testing::TempDir dir_;
};

TEST_F(IndexOrderReadsTest, ExclusiveWalksSeeEveryWriteAppendAndPack) {
  MakeIndexedTable(100000);  // about 3 MB: the records span more than one block of the cache
  VRO_dBHandler table(dir_.File("T.DBF"), true, false);
  OpenInNameOrder(table);
  std::map<int32_t, std::string> model;  // record -> NUM as text
  for (table.GoRecord(nav::kFirst); !table.AtEOF(); table.GoRecord(nav::kNext)) {
    model[table.RecordNumber()] = table.ReadFieldText(2);
  }
  ASSERT_EQ(model.size(), 100000u);
  ASSERT_TRUE(table.RecordCacheInUse());
  ASSERT_GT(table.RecordCacheBytes(), 0u);

  std::mt19937 random(9);
  for (int i = 0; i < 2000; ++i) {
    int what = static_cast<int>(random() % 4);
    std::string num = std::to_string(random() % 100000) + ".25";
    if (what == 0) {
      table.BlankRecord();
      table.PutTextByName("NAME", "NEW" + std::to_string(i));
      table.PutTextByName("NUM", num);
      table.Append();
    } else {
      auto n = static_cast<int32_t>(1 + random() % table.RecordCount());
      table.GoRecord(n);
      table.PutTextByName("NUM", num);
      if (what == 1) table.PutTextByName("NAME", "MOVED" + std::to_string(i));  // to another place in the order
      table.WriteRecord(n);
    }
    model[table.RecordNumber()] = table.ReadFieldText(2);
  }
  auto expectModel = [&](const std::map<int32_t, std::string>& expected) {
    size_t seen = 0;
    for (table.GoRecord(nav::kFirst); !table.AtEOF(); table.GoRecord(nav::kNext), ++seen) {
      auto found = expected.find(table.RecordNumber());
      ASSERT_NE(found, expected.end()) << "record " << table.RecordNumber();
      ASSERT_EQ(table.ReadFieldText(2), found->second) << "record " << table.RecordNumber();
    }
    EXPECT_EQ(seen, expected.size());
  };
  expectModel(model);

  // Pack moves every record after the first deleted one and shortens the file.
  for (int32_t n = 1; n <= 50000; n += 2) {
    table.GoRecord(n);
    table.DeleteRecord();
  }
  table.Pack();
  std::map<int32_t, std::string> packed;
  int32_t kept = 0;
  for (const auto& [record, num] : model) {
    if (record <= 50000 && record % 2 == 1) continue;
    packed[++kept] = num;
  }
  ASSERT_EQ(table.RecordCount(), kept);
  expectModel(packed);
}

TEST_F(IndexOrderReadsTest, SharedReadsSeeAnotherProgramsWriteAtOnce) {
  MakeIndexedTable(2000);
  VRO_dBHandler reader(dir_.File("T.DBF"), true, true);
  OpenInNameOrder(reader);
  for (reader.GoRecord(nav::kFirst); !reader.AtEOF(); reader.GoRecord(nav::kNext)) {
  }
  EXPECT_FALSE(reader.RecordCacheInUse());

  VRO_dBHandler writer(dir_.File("T.DBF"), true, true);
  writer.OpenIndex("NAME.NDX");
  for (int32_t n : {1, 777, 2000}) {
    writer.GoRecord(n);
    ASSERT_TRUE(writer.LockRecord());
    writer.PutTextByName("NUM", "4321.50");
    writer.WriteRecord(n);
    writer.Unlock();
    reader.GoRecord(n);
    EXPECT_EQ(reader.ReadFieldText(2), "   4321.50") << "record " << n;
  }
}

}  // namespace
}  // namespace velorin
