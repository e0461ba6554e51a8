#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "support/table_fixture.h"
#include "support/temp_dir.h"
#include "tests/tools/cli_test_support.h"

namespace velorin {
namespace {

using testing::Dbf;
using testing::TempDir;

TEST(CreateCommand, WritesAnEmptyTableWithTheGivenFields) {
  TempDir dir;
  auto made = Dbf("create t.dbf --version 8B --field NAME:C:15 --field price:n:8:2 --field WHEN:D "
                  "--field NOTE:M --codepage 866");
  ASSERT_EQ(made.status, 0) << made.out;
  std::string bytes = testing::ReadFileBytes("t.dbf");
  ASSERT_EQ(bytes.size(), 32 + 4 * 32 + 1 + 1u);
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0x8B);
  EXPECT_EQ(testing::LE32At(bytes, 4), 0u);
  EXPECT_EQ(testing::LE16At(bytes, 8), 161);
  EXPECT_EQ(testing::LE16At(bytes, 10), 1 + 15 + 8 + 8 + 10);
  EXPECT_EQ(static_cast<uint8_t>(bytes[29]), 0x65);
  EXPECT_EQ(bytes.substr(64, 6), std::string("PRICE\0", 6));
  EXPECT_EQ(bytes[64 + 11], 'N');
  EXPECT_EQ(bytes[64 + 16], 8);
  EXPECT_EQ(bytes[64 + 17], 2);
  EXPECT_EQ(bytes[160], '\x0D');
  EXPECT_EQ(bytes[161], '\x1A');
  std::string memo = testing::ReadFileBytes("t.dbt");
  ASSERT_EQ(memo.size(), 512u);
  EXPECT_EQ(testing::LE32At(memo, 0), 1u);
  EXPECT_EQ(testing::LE16At(memo, 20), 512);
  EXPECT_EQ(memo.substr(8, 2), std::string("T\0", 2));
}

TEST(CreateCommand, VisualFoxProAndFoxProMemoHeaders) {
  TempDir dir;
  ASSERT_EQ(Dbf("create V.DBF --version 30 --field A:C:3 --field N:I --field M:M").status, 0);
  std::string table = testing::ReadFileBytes("V.DBF");
  EXPECT_EQ(testing::LE16At(table, 8), 296 + 3 * 32);
  EXPECT_EQ(static_cast<uint8_t>(table[28]), 0x02);  // memo file present
  std::string memo = testing::ReadFileBytes("V.FPT");  // the table's letter case
  ASSERT_EQ(memo.size(), 512u);
  EXPECT_EQ(memo.substr(0, 4), std::string("\0\0\0\x08", 4));
  EXPECT_EQ(memo.substr(6, 2), std::string("\0\x40", 2));
  ASSERT_EQ(Dbf("create plain.dbf --version 30 --field A:C:3").status, 0);
  EXPECT_FALSE(std::filesystem::exists("plain.fpt"));
}

TEST(CreateCommand, BadFieldListsExitWith2AndLeaveNothing) {
  TempDir dir;
  for (const char* fields : {"--field 1X:C:3", "--field A:Q:3", "--field A:C:0", "--field A:N:5:4",
                             "--field A:C:3 --field a:C:2", "--field A:C", "--field A:M",
                             "--field TOOLONGNAME:C:2", "--field A:D:9", "--field A:C:x"}) {
    auto made = Dbf(std::string("create bad.dbf --version 03 ") + fields, "", true);
    EXPECT_EQ(made.status, 2) << fields << ": " << made.out;
    EXPECT_FALSE(made.out.empty());
    EXPECT_FALSE(std::filesystem::exists("bad.dbf")) << fields;
    EXPECT_FALSE(std::filesystem::exists("bad.dbt")) << fields;
  }
  EXPECT_EQ(Dbf("create bad.dbf --version 04 --field A:C:3").status, 2);
  EXPECT_EQ(Dbf("create bad.dbf --field A:C:3 --codepage 437").status, 2);
  EXPECT_FALSE(std::filesystem::exists("bad.dbf"));
}

TEST(InfoCommand, PrintsTheHeaderAsJson) {
  TempDir dir;
  ASSERT_EQ(Dbf("create t.dbf --version 83 --field NAME:C:300 --field N:N:5:1 --codepage 1251").status, 0);
  testing::PatchFile("t.dbf", 28, "\x01");
  auto shown = Dbf("info t.dbf");
  ASSERT_EQ(shown.status, 0);
  auto info = nlohmann::json::parse(shown.out);
  EXPECT_EQ(info["file"], "t.dbf");
  EXPECT_EQ(info["version"], 131);
  EXPECT_EQ(info["records"], 0);
  EXPECT_EQ(info["header_length"], 97);
  EXPECT_EQ(info["record_length"], 306);
  EXPECT_EQ(info["flags"], 1);
  EXPECT_EQ(info["language_driver"], 0xC9);
  EXPECT_EQ(info["last_update"].get<std::string>().size(), 10u);
  ASSERT_EQ(info["fields"].size(), 2u);
  EXPECT_EQ(info["fields"][0]["name"], "NAME");
  EXPECT_EQ(info["fields"][0]["length"], 300);
  EXPECT_EQ(info["fields"][1]["decimals"], 1);
  EXPECT_EQ(info["fields"][1]["offset"], 301);
}

TEST(InfoCommand, EngineErrorsGoToStderrWithStatus1) {
  TempDir dir;
  testing::WriteFileBytes("broken.dbf", "short");
  auto shown = Dbf("info broken.dbf 2>&1");
  EXPECT_EQ(shown.status, 1);
  EXPECT_NE(shown.out.find("dBase DBF file header invalid - "), std::string::npos);
  EXPECT_EQ(Dbf("info missing.dbf 2>/dev/null").status, 1);
}

// The peers read what create writes, with the same fields.
TEST(CreateCommand, TablesOpenInDebiansPythonReaders) {
  if (!testing::PythonHas("dbf") || !testing::PythonHas("dbfread")) GTEST_SKIP() << "python3-dbf/dbfread missing";
  TempDir dir;
  for (const char* version : {"03", "83", "8B", "F5", "30"}) {
    std::string memo = std::string(version) == "03" ? "" : " --field NOTE:M";
    ASSERT_EQ(Dbf(std::string("create v") + version + ".dbf --version " + version +
                  " --field NAME:C:15 --field PRICE:N:8:2 --field WHEN:D --field OK:L" + memo)
                  .status,
              0);
  }
  auto read = testing::Python(R"(
import dbf, dbfread
for v in ['03', '83', '8B', 'F5', '30']:
    r = dbfread.DBF('v%s.dbf' % v)
    print(v, 'dbfread', ' '.join('%s:%s:%d:%d' % (f.name, f.type, f.length, f.decimal_count) for f in r.fields), len(list(r)))
    if v != '8B':  # python3-dbf does not open dBase IV tables
        t = dbf.Table('v%s.dbf' % v)
        t.open()
        print(v, 'dbf', ' '.join(t.structure()), len(t))
        t.close()
)");
  ASSERT_EQ(read.status, 0) << read.out;
  EXPECT_NE(read.out.find("03 dbfread NAME:C:15:0 PRICE:N:8:2 WHEN:D:8:0 OK:L:1:0 0"), std::string::npos) << read.out;
  EXPECT_NE(read.out.find("8B dbfread NAME:C:15:0 PRICE:N:8:2 WHEN:D:8:0 OK:L:1:0 NOTE:M:10:0 0"), std::string::npos);
  EXPECT_NE(read.out.find("30 dbfread NAME:C:15:0 PRICE:N:8:2 WHEN:D:8:0 OK:L:1:0 NOTE:M:4:0 0"), std::string::npos);
  for (const char* v : {"03", "83", "F5", "30"}) {
    EXPECT_NE(read.out.find(std::string(v) + " dbf name C(15) price N(8,2) when D ok L"), std::string::npos) << read.out;
  }
}

}  // namespace
}  // namespace velorin
