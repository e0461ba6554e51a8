// velorin-dbf dump --filter and eval: expressions from the shell, in UTF-8,
// against tables in their own code page.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tests/tools/cli_test_support.h"

namespace velorin {
namespace {

using nlohmann::json;
using testing::Dbf;
using testing::TempDir;

std::vector<json> Lines(const std::string& out) {
  std::vector<json> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
  return lines;
}

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
  for (const json& line : Lines(dumped.out)) recnos.push_back(line["recno"].get<int>());
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
  auto notLogical = Dbf("dump t.dbf --filter QTY", "", true);
  EXPECT_EQ(notLogical.status, 1);
  EXPECT_EQ(notLogical.out, "Filter expression must return boolean result\n");
  auto unknown = Dbf("dump t.dbf --filter \"SCORE > 1\"", "", true);
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.out, "There is no function for SCORE\n");
  auto lacking = Dbf("dump t.dbf --filter \"NAME = '€€'\" --codepage 866", "", true);
  EXPECT_EQ(lacking.status, 1);
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
  std::vector<json> dates = Lines(Dbf("eval t.dbf BORN --deleted").out);
  ASSERT_EQ(dates.size(), 4u);
  EXPECT_EQ(dates[0], json::parse(R"({"recno":1,"type":"date","value":"2024-01-31"})"));
  EXPECT_EQ(dates[1]["value"], nullptr);
  EXPECT_EQ(Lines(Dbf("eval t.dbf \"QTY * 2\" --recno 3").out)[0],
            json::parse(R"({"recno":3,"type":"number","value":14.0})"));
  EXPECT_EQ(Lines(Dbf("eval t.dbf \"OK .AND. QTY > 1\" --recno 1").out)[0],
            json::parse(R"({"recno":1,"type":"boolean","value":true})"));
  EXPECT_EQ(Lines(Dbf("eval t.dbf NOTE --recno 1").out)[0]["type"], "field");
}

TEST(EvalCommand, ErrorsExitOneWithTheMessage) {
  TempDir dir;
  MakeTable("1251");
  auto missing = Dbf("eval t.dbf \"1 / (QTY - QTY)\" --recno 1", "", true);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "Division by zero\n");
  auto parse = Dbf("eval t.dbf \"LEFT(NAME\"", "", true);
  EXPECT_EQ(parse.status, 1);
  EXPECT_EQ(parse.out, "Missing closing parentheses\n");
  auto beyond = Dbf("eval t.dbf 'RECNO()' --recno 9", "", true);
  EXPECT_EQ(beyond.status, 1);
}

}  // namespace
}  // namespace velorin
