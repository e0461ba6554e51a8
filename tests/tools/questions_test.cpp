#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/vr6_dbsy.h"
#include "platform/code_page.h"
#include "support/table_fixture.h"
#include "support/temp_dir.h"
#include "tests/tools/cli_test_support.h"

namespace velorin {
namespace {

using testing::Dbf;
using testing::TempDir;

const std::vector<std::string> kLayout = {"INPUT:C:40", "A:C:12", "B:C:12", "C:C:12", "D:C:12", "E:C:12"};
const std::vector<int> kWidths = {40, 12, 12, 12, 12, 12};

std::string Cp1251(const std::string& utf8) {
  std::string bytes;
  EXPECT_TRUE(platform::FromUtf8(utf8, 1251, &bytes)) << utf8;
  return bytes;
}

// One record of kLayout from UTF-8 texts, stored in code page 1251.
std::string Question(const std::vector<std::string>& texts, bool deleted = false) {
  std::string record(1, deleted ? '*' : ' ');
  for (size_t i = 0; i < kWidths.size(); ++i) {
    std::string bytes = Cp1251(i < texts.size() ? texts[i] : "");
    bytes.resize(static_cast<size_t>(kWidths[i]), ' ');
    record += bytes;
  }
  return record;
}

const std::vector<std::string> kGood1 = {"Когда была Куликовская битва?", "1380", "1242", "1480", "1240", "1223"};
const std::vector<std::string> kGood2 = {"Кто основал Санкт-Петербург?", "Пётр I", "Иван IV", "Екатерина II",
                                          "Павел I", "Александр I"};

void MakeQuestions(const std::string& path, const std::vector<std::string>& records,
                   const std::vector<std::string>& layout = kLayout) {
  testing::MakeTable(path, 0x03, layout, records);
  testing::PatchFile(path, 29, "\xC9");  // code page 1251
}

TEST(QuestionsCommand, AGoodTablePasses) {
  TempDir dir;
  MakeQuestions("his.dbf", {Question(kGood1), Question(kGood2)});
  auto checked = Dbf("questions his.dbf", "", true);
  EXPECT_EQ(checked.status, 0) << checked.out;
  EXPECT_EQ(checked.out, "his.dbf: 2 questions, no problems\n");
}

TEST(QuestionsCommand, FieldNamesInAnyCaseAndMemoFieldsServe) {
  TempDir dir;
  ASSERT_EQ(Dbf("create memo.dbf --version 83 --field input:M --field a:C:5 --field b:M --field c:C:5 "
                "--field d:C:5 --field e:C:5 --field EXTRA:N:3")
                .status,
            0);
  // No records yet: that alone is the problem.
  auto empty = Dbf("questions memo.dbf");
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.out, "memo.dbf: the table holds no questions\nmemo.dbf: 0 questions, 1 problem\n");
  {
    VRO_dBHandler table("memo.dbf", true, false);
    auto add = [&](const std::string& question, const std::string& b) {
      table.BlankRecord();
      ASSERT_TRUE(table.MemoWrite(1, question.data(), static_cast<int32_t>(question.size())));
      for (int32_t i : {2, 4, 5, 6}) table.PutText(i, std::string(1, static_cast<char>('0' + i)));
      if (!b.empty()) {
        ASSERT_TRUE(table.MemoWrite(3, b.data(), static_cast<int32_t>(b.size())));
      }
      table.Append();
    };
    add(Cp1251("Длинный вопрос,\r\nв две строки?"), "other");
    add("second", " 4 ");
    add("third", "");
  }
  auto checked = Dbf("questions memo.dbf");
  EXPECT_EQ(checked.status, 1);
  EXPECT_EQ(checked.out,
            "memo.dbf: record 2: answers B and C are the same: \"4\"\n"
            "memo.dbf: record 3: answer B is empty\n"
            "memo.dbf: 3 questions, 2 problems\n");
}

TEST(QuestionsCommand, EachProblemIsReportedWithItsRecordNumber) {
  TempDir dir;
  MakeQuestions("bad.dbf", {
                               Question(kGood1),
                               Question({"Вопрос без ответа?", "1380", "", "1480", "   ", "1223"}),
                               Question(kGood2, true),
                               Question({"  ", "Москва", "Киев", " москва", "Минск", "Киев"}),
                           });
  auto checked = Dbf("questions bad.dbf");
  EXPECT_EQ(checked.status, 1);
  EXPECT_EQ(checked.out,
            "bad.dbf: record 2: answer B is empty\n"
            "bad.dbf: record 2: answer D is empty\n"
            "bad.dbf: record 3: deleted\n"
            "bad.dbf: record 4: the question is empty\n"
            "bad.dbf: record 4: answers A and C differ only in letter case or blanks: \"Москва\", \" москва\"\n"
            "bad.dbf: record 4: answers B and E are the same: \"Киев\"\n"
            "bad.dbf: 4 questions, 6 problems\n");
}

TEST(QuestionsCommand, MissingAndNonTextFieldsAreReported) {
  TempDir dir;
  MakeQuestions("fields.dbf", {std::string(1 + 40 + 12 + 5 + 12 + 12, ' ')},
                {"INPUT:C:40", "A:C:12", "B:N:5", "D:C:12", "E:C:12"});
  auto checked = Dbf("questions fields.dbf");
  EXPECT_EQ(checked.status, 1);
  EXPECT_NE(checked.out.find("fields.dbf: field B is of type N, not text (C or M)\n"), std::string::npos) << checked.out;
  EXPECT_NE(checked.out.find("fields.dbf: no field C\n"), std::string::npos) << checked.out;
  // The fields that are there are still checked.
  EXPECT_NE(checked.out.find("record 1: the question is empty\n"), std::string::npos) << checked.out;
  EXPECT_NE(checked.out.find("record 1: answer A is empty\n"), std::string::npos) << checked.out;
  EXPECT_EQ(checked.out.find("answer B"), std::string::npos) << checked.out;
}

TEST(QuestionsCommand, TextMarkedAsTheOemCodePageIsReported) {
  TempDir dir;
  MakeQuestions("oem.dbf", {Question(kGood1)});
  testing::PatchFile("oem.dbf", 29, "\x65");
  auto checked = Dbf("questions oem.dbf");
  EXPECT_EQ(checked.status, 1);
  EXPECT_EQ(checked.out,
            "oem.dbf: the language driver 0x65 marks the text as code page 866, but the program shows it as "
            "code page 1251 without translation\n"
            "oem.dbf: 1 question, 1 problem\n");
  testing::PatchFile("oem.dbf", 29, std::string(1, '\0'));
  EXPECT_EQ(Dbf("questions oem.dbf").status, 0);
}

TEST(QuestionsCommand, UnreadableTablesAreEngineErrors) {
  TempDir dir;
  testing::WriteFileBytes("broken.dbf", "not a table");
  auto broken = Dbf("questions broken.dbf", "", true);
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.out.find("dBase DBF file header invalid"), std::string::npos) << broken.out;
  EXPECT_EQ(Dbf("questions missing.dbf 2>/dev/null").status, 1);
  EXPECT_EQ(Dbf("questions 2>/dev/null").status, 2);
}

}  // namespace
}  // namespace velorin
