// velorin-dbf's index commands on NTX files: the keys kept as text come back as
// numbers and dates, the writing commands keep the file current, and check
// finds a damaged page.
#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"
#include "tools/cli_test_support.h"

namespace velorin::testing {
namespace {

class NtxCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(MakeFruitTable());
  }
  TempDir dir_;
};

TEST_F(NtxCommandsTest, CreateKeysSeekAndDumpInIndexOrder) {
  ASSERT_EQ(Dbf("index create t.dbf qty.ntx --key QTY").status, 0);
  EXPECT_EQ(Dbf("index list t.dbf qty.ntx").out,
            R"x([{"name":"QTY","key":"QTY","for":"","type":"N","length":6,"unique":false,"descending":false}])x"
            "\n");
  EXPECT_EQ(Dbf("index keys t.dbf qty.ntx").out,
            "{\"key\":-1.5,\"recno\":2}\n{\"key\":3.0,\"recno\":1}\n{\"key\":10.0,\"recno\":3}\n");
  ASSERT_EQ(Dbf("index create t.dbf when.ntx --key WHEN").status, 0);
  EXPECT_EQ(Dbf("index keys t.dbf when.ntx").out,
            "{\"key\":null,\"recno\":3}\n{\"key\":\"1999-12-31\",\"recno\":2}\n{\"key\":\"2024-03-01\",\"recno\":1}\n");
  EXPECT_EQ(Dbf("seek t.dbf when.ntx 1999-12-31").out.substr(0, 10), "{\"recno\":2");
  EXPECT_EQ(Dbf("seek t.dbf qty.ntx 10").out.substr(0, 10), "{\"recno\":3");
  EXPECT_EQ(Dbf("dump t.dbf --index qty.ntx").out.substr(0, 10), "{\"recno\":2");
}

TEST_F(NtxCommandsTest, WritingCommandsKeepTheFileCurrentAndCheckFindsADamagedPage) {
  ASSERT_EQ(Dbf("index create t.dbf name.ntx --key NAME").status, 0);
  ASSERT_EQ(Dbf("append t.dbf --index name.ntx", "{\"NAME\":\"banana\"}\n").status, 0);
  ASSERT_EQ(Dbf("delete t.dbf 2 --index name.ntx").status, 0);
  ASSERT_EQ(Dbf("pack t.dbf --index name.ntx").status, 0);
  EXPECT_EQ(Dbf("check t.dbf name.ntx").out, "name.ntx NAME: 3 keys, 1 pages, 1 levels, ok\n");
  EXPECT_EQ(Dbf("index keys t.dbf name.ntx").out,
            "{\"key\":\"Cherry\",\"recno\":2}\n{\"key\":\"banana\",\"recno\":3}\n{\"key\":\"pear\",\"recno\":1}\n");
  ASSERT_EQ(Dbf("reindex t.dbf name.ntx").status, 0);
  EXPECT_EQ(Dbf("check t.dbf name.ntx").status, 0);

  std::string bytes = ReadFileBytes("name.ntx");
  bytes[1024 + 2] = 2;  // the root's first offset-table entry points into the table
  bytes[1024 + 3] = 0;
  WriteFileBytes("name.ntx", bytes);
  auto checked = Dbf("check t.dbf name.ntx");
  EXPECT_EQ(checked.status, 1);
  EXPECT_NE(checked.out.find("Velorin Error 2112"), std::string::npos) << checked.out;
}

}  // namespace
}  // namespace velorin::testing
