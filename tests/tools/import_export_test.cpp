// velorin-dbf import and export: round trips through real tables, refusals that
// leave the table untouched, CSV quoting against Python's csv module, Cyrillic
// text in code pages 866 and 1251.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "support/table_fixture.h"
#include "support/temp_dir.h"
#include "tests/tools/cli_test_support.h"

namespace velorin {
namespace {

using nlohmann::json;
using testing::Dbf;
using testing::TempDir;

bool HavePeers() { return testing::PythonHas("dbf") && testing::PythonHas("dbfread"); }

// The records of a table: every byte after the header, deletion flags included.
std::string RecordBytes(const std::string& path) {
  std::string bytes = testing::ReadFileBytes(path);
  if (bytes.size() < 32) return {};
  size_t header = testing::LE16At(bytes, 8);
  size_t length = testing::LE16At(bytes, 10);
  size_t count = testing::LE32At(bytes, 4);
  return bytes.substr(header, count * length);
}

// The fields of each record as dump gives them (values, not record numbers).
std::vector<json> Values(const std::string& table) {
  auto dumped = Dbf("dump " + table);
  EXPECT_EQ(dumped.status, 0) << dumped.out;
  std::vector<json> values;
  std::istringstream in(dumped.out);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) values.push_back(json::parse(line)["fields"]);
  }
  return values;
}

std::string Cp(const std::string& utf8, int codePage) {
  std::string bytes;
  EXPECT_TRUE(platform::FromUtf8(utf8, codePage, &bytes)) << utf8;
  return bytes;
}

// Imports csv (written to a file first) into table; stderr joins the output.
testing::CommandResult Import(const std::string& table, const std::string& csv, const std::string& options = "") {
  testing::WriteFileBytes("in.csv", csv);
  return Dbf("import " + table + " in.csv " + options, "", true);
}

constexpr const char* kMixedLayout =
    "--field NAME:C:20 --field PRICE:N:8:2 --field QTY:N:5 --field RATE:F:10:4 --field WHEN:D --field OK:L";

// ---- round trips -----------------------------------------------------------------

TEST(ImportExportRoundTrip, ExportThenImportGivesTheSameRecords) {
  TempDir dir;
  ASSERT_EQ(Dbf(std::string("create orig.dbf --version 03 --codepage 1251 ") + kMixedLayout).status, 0);
  ASSERT_EQ(Dbf(std::string("create copy.dbf --version 03 --codepage 1251 ") + kMixedLayout).status, 0);
  std::string records =
      R"({"NAME": "Пётр I, \"Великий\"", "PRICE": 12.5, "QTY": 42, "RATE": 0.125, "WHEN": "1672-06-09", "OK": true})"
      "\n"
      R"({"NAME": "", "PRICE": null, "QTY": null, "RATE": null, "WHEN": null, "OK": null})"
      "\n"
      R"({"NAME": "  leading blanks", "PRICE": -0.05, "QTY": -9999, "RATE": -12.5, "WHEN": "2024-02-29", "OK": false})"
      "\n"
      R"({"NAME": "стр.1\r\nстр.2", "PRICE": 99999.99, "QTY": 0, "RATE": 1e-4})"
      "\n";
  ASSERT_EQ(Dbf("append orig.dbf", records).status, 0);
  auto exported = Dbf("export orig.dbf");
  ASSERT_EQ(exported.status, 0) << exported.out;
  EXPECT_EQ(exported.out.substr(0, exported.out.find('\n')), "NAME,PRICE,QTY,RATE,WHEN,OK");
  EXPECT_NE(exported.out.find("\"Пётр I, \"\"Великий\"\"\",12.5,42,0.125,1672-06-09,true\n"), std::string::npos)
      << exported.out;
  EXPECT_NE(exported.out.find("\n,,,,,\n"), std::string::npos) << exported.out;
  EXPECT_NE(exported.out.find("\n\"стр.1\r\nстр.2\",99999.99,0,1e-04,,\n"), std::string::npos) << exported.out;
  auto imported = Import("copy.dbf", exported.out);
  ASSERT_EQ(imported.status, 0) << imported.out;
  EXPECT_EQ(imported.out, "4 records appended to copy.dbf\n");
  EXPECT_EQ(RecordBytes("copy.dbf"), RecordBytes("orig.dbf"));
  EXPECT_EQ(Dbf("export copy.dbf").out, exported.out);
}

TEST(ImportExportRoundTrip, MemoTablesAndDeletedRecords) {
  TempDir dir;
  for (const char* version : {"83", "8B", "F5", "30"}) {
    SCOPED_TRACE(version);
    std::string layout = std::string(" --version ") + version + " --codepage 866 --field TITLE:C:10 --field NOTE:M";
    if (std::string(version) == "30") layout += " --field N:I --field AT:T --field PIC:G";
    ASSERT_EQ(Dbf("create orig.dbf" + layout).status, 0);
    ASSERT_EQ(Dbf("create copy.dbf" + layout).status, 0);
    std::string records = R"({"TITLE": "первый", "NOTE": "памятка, строка 1\nстрока \"2\""})"
                          "\n"
                          R"({"TITLE": "удалённый", "NOTE": "не выводится"})"
                          "\n"
                          R"({"TITLE": "пустой", "NOTE": ""})"
                          "\n";
    if (std::string(version) == "30") {
      records = R"({"TITLE": "первый", "NOTE": "a,b", "N": -7, "AT": "2023-05-06T07:08:09.123", "PIC": "AAEC/w=="})"
                "\n"
                R"({"TITLE": "удалённый", "N": 1})"
                "\n"
                R"({"TITLE": "пустой", "N": 0})"
                "\n";
    }
    ASSERT_EQ(Dbf("append orig.dbf", records).status, 0);
    ASSERT_EQ(Dbf("delete orig.dbf 2").status, 0);
    auto exported = Dbf("export orig.dbf");
    ASSERT_EQ(exported.status, 0) << exported.out;
    EXPECT_EQ(exported.out.find("удалённый"), std::string::npos) << exported.out;
    ASSERT_EQ(Import("copy.dbf", exported.out).status, 0);
    EXPECT_EQ(Values("orig.dbf --deleted").size(), 3u);
    std::vector<json> visible = Values("orig.dbf");
    ASSERT_EQ(visible.size(), 2u);
    EXPECT_EQ(Values("copy.dbf"), visible);
    EXPECT_EQ(Dbf("export copy.dbf").out, exported.out);
  }
}

// Tables written by another program come back the same through export and import.
TEST(ImportExportRoundTrip, TablesThePeersWrote) {
  if (!HavePeers()) GTEST_SKIP() << "python3-dbf/dbfread missing";
  TempDir dir;
  auto made = testing::Python(R"(
import dbf, datetime
t = dbf.Table('peer.dbf', 'name C(15); price N(9,3); when D; ok L', dbf_type='db3', codepage='cp1251')
t.open(dbf.READ_WRITE)
t.append(('Ёлка, "зелёная"', 1234.567, datetime.date(2001, 9, 11), True))
t.append(('', None, None, None))
t.append(('Щи', -0.001, datetime.date(1900, 1, 1), False))
t.close()
)");
  ASSERT_EQ(made.status, 0) << made.out;
  ASSERT_EQ(Dbf("create copy.dbf --version 03 --codepage 1251 --field NAME:C:15 --field PRICE:N:9:3 --field WHEN:D "
                "--field OK:L")
                .status,
            0);
  auto exported = Dbf("export peer.dbf");
  ASSERT_EQ(exported.status, 0) << exported.out;
  EXPECT_EQ(exported.out,
            "NAME,PRICE,WHEN,OK\n"
            "\"Ёлка, \"\"зелёная\"\"\",1234.567,2001-09-11,true\n"
            ",,,\n"
            "Щи,-0.001,1900-01-01,false\n");
  ASSERT_EQ(Import("copy.dbf", exported.out).status, 0);
  EXPECT_EQ(Values("copy.dbf"), Values("peer.dbf"));
  auto read = testing::Python(R"(
import dbfread
print([tuple(r.values()) for r in dbfread.DBF('copy.dbf', encoding='cp1251')])
)");
  EXPECT_EQ(read.out,
            "[('Ёлка, \"зелёная\"', 1234.567, datetime.date(2001, 9, 11), True), ('', None, None, None), "
            "('Щи', -0.001, datetime.date(1900, 1, 1), False)]\n")
      << read.out;
}

TEST(ImportExportRoundTrip, ExportOfAnEmptyTableIsTheHeaderRow) {
  TempDir dir;
  ASSERT_EQ(Dbf("create e.dbf --field A:C:3 --field B:N:3").status, 0);
  auto exported = Dbf("export e.dbf");
  EXPECT_EQ(exported.status, 0);
  EXPECT_EQ(exported.out, "A,B\n");
  EXPECT_EQ(Dbf("export e.dbf --crlf").out, "A,B\r\n");
  auto imported = Import("e.dbf", exported.out);
  EXPECT_EQ(imported.status, 0) << imported.out;
  EXPECT_EQ(imported.out, "0 records appended to e.dbf\n");
  EXPECT_EQ(testing::LE32At(testing::ReadFileBytes("e.dbf"), 4), 0u);
}

TEST(ImportExportRoundTrip, OneColumnTablesKeepEmptyValues) {
  TempDir dir;
  ASSERT_EQ(Dbf("create NAME.DBF --codepage 866 --field NAME:C:15").status, 0);
  ASSERT_EQ(Dbf("create COPY.DBF --codepage 866 --field NAME:C:15").status, 0);
  ASSERT_EQ(Dbf("append NAME.DBF", "{\"NAME\": \"Иванов\"}\n{\"NAME\": \"\"}\n{\"NAME\": \"Петров\"}\n").status, 0);
  auto exported = Dbf("export NAME.DBF");
  EXPECT_EQ(exported.out, "NAME\nИванов\n\"\"\nПетров\n");
  ASSERT_EQ(Import("COPY.DBF", exported.out).status, 0);
  EXPECT_EQ(RecordBytes("COPY.DBF"), RecordBytes("NAME.DBF"));
}

// ---- refusals ----------------------------------------------------------------------

struct Refusal {
  const char* csv;
  const char* message;  // part of what import says
};

TEST(ImportRefusals, ARowThatDoesNotFitStopsTheImportBeforeAnythingIsAppended) {
  TempDir dir;
  ASSERT_EQ(Dbf(std::string("create t.dbf --version 83 --codepage 866 ") + kMixedLayout + " --field NOTE:M").status, 0);
  ASSERT_EQ(Dbf("append t.dbf", "{\"NAME\": \"уже есть\"}\n").status, 0);
  const std::string good = "NAME,PRICE,QTY,WHEN,OK,NOTE\nодин,1,2,2024-01-31,T,памятка\nдва,,,,,\n";
  const Refusal refusals[] = {
      {"NAME,PRICE,COLOR\nx,1,red\n", "row 1, column 3: the table has no field COLOR"},
      {"NAME,price,Name\n", "row 1, column 3: field NAME is named twice"},
      {"NAME,,QTY\n", "row 1, column 2: no field name"},
      {"NAME,QTY\nx,1\ny\n", "row 3: 1 cell, but the header has 2"},
      {"NAME,QTY\nx,1,2\n", "row 2: 3 cells, but the header has 2"},
      {"NAME\nabcdefghijklmnopqrstu\n", "row 2, field NAME: a text of 21 bytes does not fit in 20"},
      {"NAME\n\"двадцать один символ!\"\n", "row 2, field NAME: a text of 21 bytes does not fit in 20"},
      {"NAME\nцена в €\n", "row 2, field NAME: character U+20AC (character 8) has no byte in code page 866"},
      {"NAME\n\xD0\n", "row 2, field NAME: malformed UTF-8 at byte 0"},
      {"QTY\n12x\n", "row 2, field QTY: \"12x\" is not a number"},
      {"PRICE\n\"1,5\"\n", "row 2, field PRICE: \"1,5\" is not a number"},
      {"QTY\n123456\n", "row 2: Number too large to fit in field"},
      {"WHEN\n2023-02-29\n", "row 2, field WHEN: \"2023-02-29\" is not a date (YYYY-MM-DD)"},
      {"WHEN\n31.01.2024\n", "row 2, field WHEN: \"31.01.2024\" is not a date"},
      {"OK\nmaybe\n", "row 2, field OK: \"maybe\" is not a logical value"},
      {"NOTE\n\"long, with €\"\n", "row 2, field NOTE: character U+20AC (character 12) has no byte in code page 866"},
      {"NAME,NOTE\n\"a\nb\",ok\n\"c\",\"d\ne\"\n\"f\",g,h\n", "row 4 (line 6): 3 cells, but the header has 2"},
      {"NAME\nsay \"hi\"\n", "line 2: cell 1 holds a quote but does not start with one"},
      {"NAME\n\"open\n", "line 2: the quoted cell 1 is not closed"},
      {"", "the CSV file holds no header row"},
  };
  const std::string before = testing::ReadFileBytes("t.dbf");
  const std::string memoBefore = testing::ReadFileBytes("t.dbt");
  for (const Refusal& refusal : refusals) {
    // The bad rows come after good ones: those must not be appended either.
    std::string csv = refusal.csv;
    if (csv.starts_with("NAME,PRICE,QTY,WHEN,OK,NOTE")) csv = good + csv.substr(csv.find('\n') + 1);
    auto imported = Import("t.dbf", csv);
    EXPECT_EQ(imported.status, 1) << refusal.csv;
    EXPECT_NE(imported.out.find(refusal.message), std::string::npos) << refusal.csv << "\n" << imported.out;
    EXPECT_NE(imported.out.find("nothing appended"), std::string::npos) << imported.out;
    EXPECT_EQ(testing::ReadFileBytes("t.dbf"), before) << refusal.csv;
    EXPECT_EQ(testing::ReadFileBytes("t.dbt"), memoBefore) << refusal.csv;
  }
  // Good rows before a bad one at the end: still nothing.
  auto late = Import("t.dbf", good + "три,1,2,2024-02-30,T,x\n");
  EXPECT_EQ(late.status, 1);
  EXPECT_NE(late.out.find("row 4, field WHEN"), std::string::npos) << late.out;
  EXPECT_EQ(testing::ReadFileBytes("t.dbf"), before);
  EXPECT_EQ(testing::ReadFileBytes("t.dbt"), memoBefore);
  // And the good rows alone go in.
  auto fine = Import("t.dbf", good);
  ASSERT_EQ(fine.status, 0) << fine.out;
  std::vector<json> values = Values("t.dbf");
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[1]["NAME"], "один");
  EXPECT_EQ(values[1]["NOTE"], "памятка");
  EXPECT_EQ(values[1]["OK"], true);
  EXPECT_EQ(values[2]["QTY"], nullptr);
}

TEST(ImportRefusals, MissingFilesAndArguments) {
  TempDir dir;
  ASSERT_EQ(Dbf("create t.dbf --field A:C:3").status, 0);
  auto noCsv = Dbf("import t.dbf missing.csv", "", true);
  EXPECT_EQ(noCsv.status, 1);
  EXPECT_NE(noCsv.out.find("Cannot read missing.csv"), std::string::npos) << noCsv.out;
  testing::WriteFileBytes("in.csv", "A\nx\n");
  EXPECT_EQ(Dbf("import missing.dbf in.csv 2>/dev/null").status, 1);
  EXPECT_EQ(Dbf("import t.dbf 2>/dev/null").status, 2);
  EXPECT_EQ(Dbf("import t.dbf in.csv --codepage 437 2>/dev/null").status, 2);
  EXPECT_EQ(Dbf("export 2>/dev/null").status, 2);
  EXPECT_EQ(Dbf("export missing.dbf 2>/dev/null").status, 1);
}

// ---- quoting -----------------------------------------------------------------------

TEST(ImportQuoting, QuotedCellsByteOrderMarkCrLfAndHeaderCase) {
  TempDir dir;
  ASSERT_EQ(Dbf("create q.dbf --version 83 --codepage 1251 --field INPUT:C:100 --field A:C:30 --field NOTE:M").status,
            0);
  const std::string csv =
      "\xEF\xBB\xBF" "note , Input,a\r\n"
      "\"две\r\nстроки\",\"Вопрос, с запятой?\",\"\"\"Ответ\"\" в кавычках\"\r\n"
      "\r\n"
      "\"\",\"одна\nстрока LF\",  пробелы  \r\n";
  auto imported = Import("q.dbf", csv);
  ASSERT_EQ(imported.status, 0) << imported.out;
  std::vector<json> values = Values("q.dbf");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0]["INPUT"], "Вопрос, с запятой?");
  EXPECT_EQ(values[0]["A"], "\"Ответ\" в кавычках");
  EXPECT_EQ(values[0]["NOTE"], "две\r\nстроки");
  EXPECT_EQ(values[1]["INPUT"], "одна\nстрока LF");
  EXPECT_EQ(values[1]["A"], "  пробелы");  // trailing blanks are the field's padding
  EXPECT_EQ(values[1]["NOTE"], "");
  auto exported = Dbf("export q.dbf --crlf");
  EXPECT_EQ(exported.out,
            "INPUT,A,NOTE\r\n"
            "\"Вопрос, с запятой?\",\"\"\"Ответ\"\" в кавычках\",\"две\r\nстроки\"\r\n"
            "\"одна\nстрока LF\",  пробелы,\r\n");
}

// Python's csv module is an independent reader and writer of the same format.
TEST(ImportQuoting, AgreesWithPythonsCsvModule) {
  TempDir dir;
  ASSERT_EQ(Dbf("create p.dbf --version 83 --codepage 1251 --field T:C:60 --field M:M").status, 0);
  auto written = testing::Python(R"(
import csv
rows = [['t', 'm'], ['a,b', 'say "hi"'], ['"', '""'], ['line\nbreak', 'cr\r\nlf'], ['', ' , '], ['Ёж', 'ё']]
with open('py.csv', 'w', encoding='utf-8', newline='') as f:
    csv.writer(f, quoting=csv.QUOTE_ALL, lineterminator='\r\n').writerows(rows)
)");
  ASSERT_EQ(written.status, 0) << written.out;
  ASSERT_EQ(Dbf("import p.dbf py.csv").status, 0);
  auto exported = Dbf("export p.dbf");
  ASSERT_EQ(exported.status, 0);
  testing::WriteFileBytes("ours.csv", exported.out);
  auto read = testing::Python(R"(
import csv
print(list(csv.reader(open('ours.csv', encoding='utf-8', newline=''), strict=True)))
)");
  EXPECT_EQ(read.out,
            "[['T', 'M'], ['a,b', 'say \"hi\"'], ['\"', '\"\"'], ['line\\nbreak', 'cr\\r\\nlf'], ['', ' , '], "
            "['Ёж', 'ё']]\n")
      << read.out;
}

// ---- code pages --------------------------------------------------------------------

TEST(ImportCodePages, CyrillicIsStoredInTheTablesCodePage) {
  TempDir dir;
  const std::string text = "Ёжик, Щука и Юла: ъ ы ь є ї ў";
  const std::string csv = "NAME\n\"" + text + "\"\n";
  for (int codePage : {866, 1251}) {
    SCOPED_TRACE(codePage);
    std::string table = "t" + std::to_string(codePage) + ".dbf";
    ASSERT_EQ(Dbf("create " + table + " --field NAME:C:40 --codepage " + std::to_string(codePage)).status, 0);
    ASSERT_EQ(Import(table, csv).status, 0);
    std::string expected = " " + Cp(text, codePage);
    expected.resize(41, ' ');
    EXPECT_EQ(RecordBytes(table), expected);
    EXPECT_EQ(Dbf("export " + table).out, csv);
  }
  // A table without a language driver takes the code page it is given.
  ASSERT_EQ(Dbf("create plain.dbf --field NAME:C:40").status, 0);
  ASSERT_EQ(Import("plain.dbf", csv, "--codepage 866").status, 0);
  EXPECT_EQ(RecordBytes("plain.dbf"), RecordBytes("t866.dbf"));
  EXPECT_EQ(Dbf("export plain.dbf --codepage 866").out, csv);
  // 866 and 1251 differ where they should: "€" is a 1251 byte only.
  ASSERT_EQ(Import("t1251.dbf", "NAME\n€\n").status, 0);
  EXPECT_EQ(Import("t866.dbf", "NAME\n€\n").status, 1);
  if (!HavePeers()) return;
  auto read = testing::Python(R"(
import dbfread
for name, cp in [('t866.dbf', 'cp866'), ('t1251.dbf', 'cp1251')]:
    print(name, [r['NAME'] for r in dbfread.DBF(name, encoding=cp)])
)");
  EXPECT_EQ(read.out, "t866.dbf ['" + text + "']\nt1251.dbf ['" + text + "', '€']\n") << read.out;
}

// ---- questions on imported tables --------------------------------------------------

TEST(ImportQuestions, AnImportedQuestionTableAndOneDamagedAfterwards) {
  TempDir dir;
  ASSERT_EQ(Dbf("create his.dbf --codepage 1251 --field INPUT:C:254 --field A:C:120 --field B:C:120 "
                "--field C:C:120 --field D:C:120 --field E:C:120")
                .status,
            0);
  ASSERT_EQ(Import("his.dbf",
                   "INPUT,A,B,C,D,E\n"
                   "\"Кто сказал: «Пришёл, увидел, победил»?\",Цезарь,Помпей,Красс,Брут,Август\n"
                   "В каком году?,1380,1242,1480,1240,1223\n")
                .status,
            0);
  auto good = Dbf("questions his.dbf");
  EXPECT_EQ(good.status, 0) << good.out;
  EXPECT_EQ(good.out, "his.dbf: 2 questions, no problems\n");
  ASSERT_EQ(Import("his.dbf", "input,a,b,c,d,e\nЕщё вопрос?,да,нет,да,,возможно\n").status, 0);
  ASSERT_EQ(Dbf("delete his.dbf 1").status, 0);
  auto damaged = Dbf("questions his.dbf");
  EXPECT_EQ(damaged.status, 1);
  EXPECT_EQ(damaged.out,
            "his.dbf: record 1: deleted\n"
            "his.dbf: record 3: answers A and C are the same: \"да\"\n"
            "his.dbf: record 3: answer D is empty\n"
            "his.dbf: 3 questions, 3 problems\n");
}

}  // namespace
}  // namespace velorin
