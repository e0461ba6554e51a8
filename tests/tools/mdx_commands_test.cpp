// velorin-dbf with MDX files: tags added one by one, listed, walked, sought,
// kept current by the record commands, checked, rebuilt, and a damaged page found.
#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"
#include "tools/cli_test_support.h"

namespace velorin::testing {
namespace {

class MdxCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(MakeFruitTable());
    ASSERT_EQ(Dbf("index create t.dbf t.mdx --tag NAME --key 'UPPER(NAME)'").status, 0);
    ASSERT_EQ(Dbf("index create t.dbf t.mdx --tag QTY --key QTY --descending").status, 0);
    ASSERT_EQ(Dbf("index create t.dbf t.mdx --tag WHEN --key WHEN").status, 0);
  }
  TempDir dir_;
};

TEST_F(MdxCommandsTest, TagsAreAddedListedWalkedAndSought) {
  EXPECT_EQ(Dbf("index list t.dbf t.mdx").out,
            R"x([{"name":"NAME","key":"UPPER(NAME)","for":"","type":"C","length":10,"unique":false,"descending":false},)x"
            R"x({"name":"QTY","key":"QTY","for":"","type":"N","length":12,"unique":false,"descending":true},)x"
            R"x({"name":"WHEN","key":"WHEN","for":"","type":"D","length":8,"unique":false,"descending":false}])x"
            "\n");
  EXPECT_EQ(Dbf("index keys t.dbf t.mdx").out,
            "{\"key\":\"APPLE\",\"recno\":2}\n{\"key\":\"CHERRY\",\"recno\":3}\n{\"key\":\"PEAR\",\"recno\":1}\n");
  EXPECT_EQ(Dbf("index keys t.dbf t.mdx --tag qty").out,
            "{\"key\":10.0,\"recno\":3}\n{\"key\":3.0,\"recno\":1}\n{\"key\":-1.5,\"recno\":2}\n");
  EXPECT_EQ(Dbf("index keys t.dbf t.mdx --tag WHEN").out,
            "{\"key\":\"1999-12-31\",\"recno\":2}\n{\"key\":\"2024-03-01\",\"recno\":1}\n{\"key\":null,\"recno\":3}\n");
  EXPECT_EQ(Dbf("seek t.dbf t.mdx --tag QTY -- -1.5").out.substr(0, 10), "{\"recno\":2");
  EXPECT_EQ(Dbf("seek t.dbf t.mdx --tag WHEN 2024-03-01").out.substr(0, 10), "{\"recno\":1");
  EXPECT_EQ(Dbf("seek t.dbf t.mdx CH").out.substr(0, 10), "{\"recno\":3");
  EXPECT_EQ(Dbf("seek t.dbf t.mdx --tag QTY 4 2>/dev/null").status, 1);
  EXPECT_EQ(Dbf("dump t.dbf --index t.mdx --tag QTY").out.substr(0, 10), "{\"recno\":3");
  // Adding a tag of an existing name replaces it.
  ASSERT_EQ(Dbf("index create t.dbf t.mdx --tag QTY --key QTY").status, 0);
  EXPECT_EQ(Dbf("index keys t.dbf t.mdx --tag QTY").out.substr(0, 15), "{\"key\":-1.5,\"re");
  EXPECT_NE(Dbf("index create t.dbf t.mdx --tag ELEVENCHARS --key QTY", "", true).out.find("longer than 10"),
            std::string::npos);
}

TEST_F(MdxCommandsTest, RecordCommandsKeepEveryTagCurrent) {
  ASSERT_EQ(Dbf("append t.dbf --index t.mdx", "{\"NAME\":\"banana\",\"QTY\":7,\"WHEN\":\"2001-01-01\"}\n").status, 0);
  ASSERT_EQ(Dbf("delete t.dbf 1 --index t.mdx").status, 0);
  ASSERT_EQ(Dbf("recall t.dbf 1 --index t.mdx").status, 0);
  auto checked = Dbf("check t.dbf t.mdx");
  EXPECT_EQ(checked.status, 0) << checked.out;
  EXPECT_EQ(checked.out,
            "t.mdx NAME: 4 keys, 1 pages, 1 levels, ok\nt.mdx QTY: 4 keys, 1 pages, 1 levels, ok\n"
            "t.mdx WHEN: 4 keys, 1 pages, 1 levels, ok\n");
  ASSERT_EQ(Dbf("append t.dbf", "{\"NAME\":\"fig\",\"QTY\":1}\n").status, 0);
  checked = Dbf("check t.dbf t.mdx");
  EXPECT_EQ(checked.status, 1);
  EXPECT_NE(checked.out.find("tag QTY: record 5 has no key (it evaluates to 1)"), std::string::npos) << checked.out;
  ASSERT_EQ(Dbf("reindex t.dbf t.mdx").status, 0);
  EXPECT_EQ(Dbf("check t.dbf t.mdx").status, 0);
  ASSERT_EQ(Dbf("delete t.dbf 2 --index t.mdx").status, 0);
  ASSERT_EQ(Dbf("pack t.dbf --index t.mdx").status, 0);
  EXPECT_EQ(Dbf("check t.dbf t.mdx").status, 0);
  EXPECT_EQ(Dbf("index keys t.dbf t.mdx --tag QTY").out,
            "{\"key\":10.0,\"recno\":2}\n{\"key\":7.0,\"recno\":3}\n{\"key\":3.0,\"recno\":1}\n"
            "{\"key\":1.0,\"recno\":4}\n");
}

TEST_F(MdxCommandsTest, CheckFindsADamagedPage) {
  std::string bytes = ReadFileBytes("t.mdx");
  // The first tag's root follows its header block (sectors 4-5): sectors 6-7.
  bytes[6 * 512] = 100;  // the leaf claims 100 keys
  WriteFileBytes("t.mdx", bytes);
  auto checked = Dbf("check t.dbf t.mdx");
  EXPECT_EQ(checked.status, 1);
  EXPECT_NE(checked.out.find("t.mdx: tag NAME: page 6: Velorin Error 2112"), std::string::npos) << checked.out;
  EXPECT_NE(Dbf("index keys t.dbf t.mdx", "", true).out.find("2112"), std::string::npos);
  bytes[20] = 0;  // no sectors per block
  WriteFileBytes("t.mdx", bytes);
  checked = Dbf("check t.dbf t.mdx");
  EXPECT_EQ(checked.status, 1);
  EXPECT_NE(checked.out.find("Velorin Error 2112"), std::string::npos) << checked.out;
}

}  // namespace
}  // namespace velorin::testing
