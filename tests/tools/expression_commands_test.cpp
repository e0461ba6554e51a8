// velorin-dbf dump --filter and eval: expressions from the shell, in UTF-8,
// against tables in their own code page.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tests/tools/cli_test_support.h"

namespace velorin {
namespace {

using nlohmann::json;
using testing::Dbf;
using testing::JsonLines;
using testing::TempDir;

// NAME C(10), QTY N(5,1), BORN D, OK L, NOTE M; four records, the third deleted.
void MakeTable(const std::string& codePage) {
  ASSERT_EQ(Dbf("create t.dbf --version 83 --field NAME:C:10 --field QTY:N:5:1 --field BORN:D --field OK:L "
                "--field NOTE:M --codepage " + codePage)
                .status,
            0);
  auto appended = Dbf("append t.dbf", R"({"NAME":"Иванов","QTY":1.5,"BORN":"2024-01-31","OK":true,"NOTE":"a"}
{"NAME":"Петров","QTY":0,"OK":false}
{"NAME":"Ивашов","QTY":7,"OK":true}
{"NAME":"Smith","QTY":-2,"BORN":"1999-12-31","OK":false}
)");
  ASSERT_EQ(appended.status, 0) << appended.out;
  ASSERT_EQ(Dbf("delete t.dbf 3").status, 0);
}

std::vector<int> Recnos(const std::string& arguments) {
  auto dumped = Dbf("dump t.dbf " + arguments);
  EXPECT_EQ(dumped.status, 0) << dumped.out;
  std::vector<int> recnos;
  for (const json& line : JsonLines(dumped.out)) recnos.push_back(line["recno"].get<int>());
  return recnos;
}

TEST(DumpFilter, RecordsThatPassInBothCodePages) {
  for (const char* codePage : {"1251", "866"}) {
    TempDir dir;
    MakeTable(codePage);
    EXPECT_EQ(Recnos("--filter \"QTY > 0\""), (std::vector<int>{1})) << codePage;
    EXPECT_EQ(Recnos("--filter \"QTY > 0\" --deleted"), (std::vector<int>{1, 3})) << codePage;
    EXPECT_EQ(Recnos("--filter \"NAME = 'Ив*'\" --deleted"), (std::vector<int>{1, 3})) << codePage;
    EXPECT_EQ(Recnos("--filter \"NAME = 'ив*'\" --ignore-case"), (std::vector<int>{1})) << codePage;
    EXPECT_EQ(Recnos("--filter \"UPPER(NAME) = 'ИВАНОВ'\""), (std::vector<int>{1})) << codePage;
    EXPECT_EQ(Recnos("--filter \"NAME = 'Ив*'\" --no-partial"), (std::vector<int>{})) << codePage;
  }
}

TEST(DumpFilter, ExpressionErrorsExitOne) {
  TempDir dir;
  MakeTable("1251");
  struct Case {
    const char* arguments;
    const char* message;
  };
  for (const Case& c : std::vector<Case>{
           {"dump t.dbf --filter QTY", "Filter expression must return boolean result\n"},
           {"dump t.dbf --filter \"SCORE > 1\"", "There is no function for SCORE\n"},
           {"eval t.dbf \"1 / (QTY - QTY)\" --recno 1", "Division by zero\n"},
           {"eval t.dbf \"LEFT(NAME\"", "Missing closing parentheses\n"},
           {"eval t.dbf '{2024x}'", "'2024x' is not a valid date\n"},
       }) {
    auto result = Dbf(c.arguments, "", true);
    EXPECT_EQ(result.status, 1) << c.arguments;
    EXPECT_EQ(result.out, c.message) << c.arguments;
  }
  EXPECT_EQ(Dbf("dump t.dbf --filter \"NAME = '€€'\" --codepage 866").status, 1);
  EXPECT_EQ(Dbf("eval t.dbf 'RECNO()' --recno 9").status, 1);
}

TEST(EvalCommand, OneLinePerRecordWithItsType) {
  TempDir dir;
  MakeTable("866");
  auto names = Dbf("eval t.dbf \"TRIM(UPPER(NAME))\"");
  ASSERT_EQ(names.status, 0);
  EXPECT_EQ(names.out,
            "{\"recno\":1,\"type\":\"text\",\"value\":\"ИВАНОВ\"}\n"
            "{\"recno\":2,\"type\":\"text\",\"value\":\"ПЕТРОВ\"}\n"
            "{\"recno\":4,\"type\":\"text\",\"value\":\"SMITH\"}\n");
  std::vector<json> dates = JsonLines(Dbf("eval t.dbf BORN --deleted").out);
  ASSERT_EQ(dates.size(), 4u);
  EXPECT_EQ(dates[0], json::parse(R"({"recno":1,"type":"date","value":"2024-01-31"})"));
  EXPECT_EQ(dates[1]["value"], nullptr);
  EXPECT_EQ(JsonLines(Dbf("eval t.dbf \"QTY * 2\" --recno 3").out)[0],
            json::parse(R"({"recno":3,"type":"number","value":14.0})"));
  EXPECT_EQ(JsonLines(Dbf("eval t.dbf \"OK .AND. QTY > 1\" --recno 1").out)[0],
            json::parse(R"({"recno":1,"type":"boolean","value":true})"));
  EXPECT_EQ(JsonLines(Dbf("eval t.dbf NOTE --recno 1").out)[0]["type"], "field");
}

}  // namespace
}  // namespace velorin
