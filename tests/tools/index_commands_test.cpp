// velorin-dbf's index commands: create, list, keys, seek, dump --index, reindex,
// check, and the record commands keeping indexes current.
#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"
#include "tools/cli_test_support.h"

namespace velorin::testing {
namespace {

class IndexCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Dbf("create t.dbf --field NAME:C:10 --field QTY:N:6:1 --field WHEN:D").status, 0);
    ASSERT_EQ(Dbf("append t.dbf", R"({"NAME":"pear","QTY":3,"WHEN":"2024-03-01"}
{"NAME":"apple","QTY":-1.5,"WHEN":"1999-12-31"}
{"NAME":"Cherry","QTY":10,"WHEN":null}
)").status, 0);
  }
  TempDir dir_;
};

TEST_F(IndexCommandsTest, CreateListKeysAndSeek) {
  ASSERT_EQ(Dbf("index create t.dbf name.ndx --key 'UPPER(NAME)'").status, 0);
  EXPECT_EQ(Dbf("index list t.dbf name.ndx").out,
            R"x([{"name":"NAME","key":"UPPER(NAME)","for":"","type":"C","length":10,"unique":false,"descending":false}])x"
            "\n");
  EXPECT_EQ(Dbf("index keys t.dbf name.ndx").out,
            "{\"key\":\"APPLE\",\"recno\":2}\n{\"key\":\"CHERRY\",\"recno\":3}\n{\"key\":\"PEAR\",\"recno\":1}\n");
  ASSERT_EQ(Dbf("index create t.dbf qty.ndx --key QTY").status, 0);
  EXPECT_EQ(Dbf("index keys t.dbf qty.ndx").out,
            "{\"key\":-1.5,\"recno\":2}\n{\"key\":3.0,\"recno\":1}\n{\"key\":10.0,\"recno\":3}\n");
  ASSERT_EQ(Dbf("index create t.dbf when.ndx --key WHEN").status, 0);
  EXPECT_EQ(Dbf("index keys t.dbf when.ndx").out,
            "{\"key\":\"1999-12-31\",\"recno\":2}\n{\"key\":\"2024-03-01\",\"recno\":1}\n{\"key\":null,\"recno\":3}\n");

  auto found = Dbf("seek t.dbf name.ndx CH");
  EXPECT_EQ(found.status, 0);
  EXPECT_NE(found.out.find("\"recno\":3"), std::string::npos) << found.out;
  EXPECT_EQ(Dbf("seek t.dbf name.ndx CH --exact 2>/dev/null").status, 1);
  EXPECT_EQ(Dbf("seek t.dbf when.ndx 1999-12-31").out.substr(0, 10), "{\"recno\":2");
  EXPECT_EQ(Dbf("dump t.dbf --index qty.ndx").out.substr(0, 10), "{\"recno\":2");
  EXPECT_EQ(Dbf("index create t.dbf bad.ndx --key QTY --for 'QTY > 1' 2>&1").status, 1);
}

TEST_F(IndexCommandsTest, RecordCommandsKeepIndexesCurrentAndCheckSeesStaleOnes) {
  ASSERT_EQ(Dbf("index create t.dbf name.ndx --key NAME").status, 0);
  ASSERT_EQ(Dbf("append t.dbf --index name.ndx", "{\"NAME\":\"banana\"}\n").status, 0);
  ASSERT_EQ(Dbf("delete t.dbf 1 --index name.ndx").status, 0);
  ASSERT_EQ(Dbf("recall t.dbf 1 --index name.ndx").status, 0);
  auto checked = Dbf("check t.dbf name.ndx");
  EXPECT_EQ(checked.status, 0) << checked.out;
  EXPECT_EQ(checked.out, "name.ndx NAME: 4 keys, 1 pages, 1 levels, ok\n");

  // An append without the index leaves it stale: check says which record.
  ASSERT_EQ(Dbf("append t.dbf", "{\"NAME\":\"fig\"}\n").status, 0);
  checked = Dbf("check t.dbf name.ndx");
  EXPECT_EQ(checked.status, 1);
  EXPECT_NE(checked.out.find("record 5 has no key"), std::string::npos) << checked.out;
  ASSERT_EQ(Dbf("reindex t.dbf name.ndx").status, 0);
  EXPECT_EQ(Dbf("check t.dbf name.ndx").status, 0);

  ASSERT_EQ(Dbf("delete t.dbf 2 --index name.ndx").status, 0);
  ASSERT_EQ(Dbf("pack t.dbf --index name.ndx").status, 0);
  EXPECT_EQ(Dbf("check t.dbf name.ndx").out, "name.ndx NAME: 4 keys, 1 pages, 1 levels, ok\n");
  EXPECT_EQ(Dbf("index keys t.dbf name.ndx").out,
            "{\"key\":\"Cherry\",\"recno\":2}\n{\"key\":\"banana\",\"recno\":3}\n{\"key\":\"fig\",\"recno\":4}\n"
            "{\"key\":\"pear\",\"recno\":1}\n");
}

TEST_F(IndexCommandsTest, DamagedIndexFilesAreReportedNotCrashedOn) {
  ASSERT_EQ(Dbf("index create t.dbf name.ndx --key NAME").status, 0);
  std::string bytes = ReadFileBytes("name.ndx");
  bytes[512] = 100;  // the leaf claims 100 keys
  WriteFileBytes("name.ndx", bytes);
  auto checked = Dbf("check t.dbf name.ndx");
  EXPECT_EQ(checked.status, 1);
  EXPECT_NE(checked.out.find("Velorin Error 2112"), std::string::npos) << checked.out;
  EXPECT_NE(checked.out.find("name.ndx"), std::string::npos) << checked.out;
  auto keys = Dbf("index keys t.dbf name.ndx", "", true);
  EXPECT_EQ(keys.status, 1);
  EXPECT_NE(keys.out.find("2112"), std::string::npos) << keys.out;
}

}  // namespace
}  // namespace velorin::testing
