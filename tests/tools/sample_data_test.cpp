// The tables the build makes from data/: the two question sets and the empty
// recent-names and results tables, as the testing program will find them.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "support/temp_dir.h"
#include "tests/tools/cli_test_support.h"

#ifdef VELORIN_DATA_DIR

namespace velorin {
namespace {

using nlohmann::json;
using testing::Dbf;
using testing::TempDir;

// A copy of a built table in the test's directory, so no test can change the original.
std::string CopyOfBuilt(const std::string& name) {
  std::filesystem::copy_file(std::filesystem::path(VELORIN_DATA_DIR) / name, name);
  return name;
}

std::string Source(const std::string& name) { return std::string(VELORIN_SOURCE_DIR) + "/data/" + name; }

json Info(const std::string& table) {
  auto shown = Dbf("info " + table);
  EXPECT_EQ(shown.status, 0) << shown.out;
  return json::parse(shown.out);
}

TEST(SampleData, QuestionTablesHaveTheLayoutAndPassTheCheck) {
  TempDir dir;
  for (const char* variant : {"1", "2"}) {
    std::string table = CopyOfBuilt(std::string("His") + variant + ".dbf");
    json info = Info(table);
    EXPECT_EQ(info["version"], 3);
    EXPECT_EQ(info["language_driver"], 0xC9);  // code page 1251, the ANSI one the program shows
    EXPECT_EQ(info["records"], 30);
    ASSERT_EQ(info["fields"].size(), 6u);
    const char* names[] = {"INPUT", "A", "B", "C", "D", "E"};
    for (size_t i = 0; i < 6; ++i) {
      EXPECT_EQ(info["fields"][i]["name"], names[i]);
      EXPECT_EQ(info["fields"][i]["type"], "C");
      EXPECT_EQ(info["fields"][i]["length"], i == 0 ? 254 : 120);
    }
    auto checked = Dbf("questions " + table, "", true);
    EXPECT_EQ(checked.status, 0) << checked.out;
    EXPECT_EQ(checked.out, table + ": 30 questions, no problems\n");
  }
}

TEST(SampleData, QuestionTablesHoldTheTextOfTheirSources) {
  TempDir dir;
  for (const char* variant : {"1", "2"}) {
    std::string table = CopyOfBuilt(std::string("His") + variant + ".dbf");
    std::string source = Source(std::string("his") + variant + ".csv");
    auto exported = Dbf("export " + table);
    ASSERT_EQ(exported.status, 0);
    EXPECT_EQ(exported.out, testing::ReadFileBytes(source)) << table;
  }
  if (!testing::PythonHas("dbfread")) GTEST_SKIP() << "python3-dbfread missing";
  auto read = testing::Python("SOURCE = '" + Source("") + "'\n" + R"(
import csv, dbfread
for v in '12':
    rows = list(csv.reader(open(SOURCE + 'his%s.csv' % v, encoding='utf-8', newline=''), strict=True))
    table = dbfread.DBF('His%s.dbf' % v, encoding='cp1251')
    records = [[r[name] for name in rows[0]] for r in table]
    print(v, len(records), records == rows[1:], table.header.language_driver, table.header.dbversion)
)");
  EXPECT_EQ(read.out, "1 30 True 201 3\n2 30 True 201 3\n")
      << read.out;
}

TEST(SampleData, NameAndInfoTablesAreEmptyWithTheProgramsLayout) {
  TempDir dir;
  json name = Info(CopyOfBuilt("NAME.DBF"));
  EXPECT_EQ(name["version"], 3);
  EXPECT_EQ(name["records"], 0);
  EXPECT_EQ(name["language_driver"], 0x65);  // code page 866: read with OEM/ANSI translation
  ASSERT_EQ(name["fields"].size(), 1u);
  EXPECT_EQ(name["fields"][0]["name"], "NAME");
  EXPECT_EQ(name["fields"][0]["type"], "C");
  EXPECT_EQ(name["fields"][0]["length"], 15);

  json info = Info(CopyOfBuilt("INFO.DBF"));
  EXPECT_EQ(info["version"], 3);
  EXPECT_EQ(info["records"], 0);
  EXPECT_EQ(info["language_driver"], 0x65);
  const json expected = json::parse(R"([
    {"name": "NAME", "type": "C", "length": 15, "decimals": 0},
    {"name": "VARIANT", "type": "C", "length": 2, "decimals": 0},
    {"name": "COUNT", "type": "N", "length": 4, "decimals": 0},
    {"name": "TRUECOUNT", "type": "N", "length": 4, "decimals": 0},
    {"name": "DATE", "type": "D", "length": 8, "decimals": 0}])");
  ASSERT_EQ(info["fields"].size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    for (const char* key : {"name", "type", "length", "decimals"}) {
      EXPECT_EQ(info["fields"][i][key], expected[i][key]) << i << " " << key;
    }
  }
  // A result as the program appends it reads back through the peers.
  ASSERT_EQ(Dbf("append INFO.DBF",
                R"({"NAME": "Иванов", "VARIANT": "1", "COUNT": 30, "TRUECOUNT": 25, "DATE": "2026-12-08"})"
                "\n")
                .status,
            0);
  if (!testing::PythonHas("dbfread")) GTEST_SKIP() << "python3-dbfread missing";
  auto read = testing::Python(R"(
import dbfread
print([list(r.values()) for r in dbfread.DBF('INFO.DBF', encoding='cp866')])
)");
  EXPECT_EQ(read.out, "[['Иванов', '1', 30, 25, datetime.date(2026, 12, 8)]]\n") << read.out;
}

}  // namespace
}  // namespace velorin

#endif  // VELORIN_DATA_DIR
