// velorin-dbf dump and append: against tables the peers write and read, across
// code pages, under concurrent appenders, and with bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/table_fixture.h"
#include "support/temp_dir.h"
#include "tests/tools/cli_test_support.h"

namespace velorin {
namespace {

using nlohmann::json;
using testing::Dbf;
using testing::RunCommand;
using testing::JsonLines;
using testing::TempDir;

// The records dump prints, each as {"recno", "deleted", "fields"}.
std::vector<json> Dump(const std::string& arguments) {
  auto dumped = Dbf("dump " + arguments);
  EXPECT_EQ(dumped.status, 0) << dumped.out;
  return JsonLines(dumped.out);
}

bool HavePeers() { return testing::PythonHas("dbf") && testing::PythonHas("dbfread"); }

// ---- tables the peers wrote --------------------------------------------------------

// python3-dbf writes the tables and dbfread says what they hold, as JSON Lines
// {"table": name, "fields": {...}} with dates, times and decimals in dump's forms.
constexpr const char* kPythonTables = R"(
import dbf, dbfread, datetime, decimal, json
tables = [('db3.dbf', 'db3', 'cp866'), ('fp.dbf', 'fp', 'cp1251'), ('vfp.dbf', 'vfp', 'cp866')]
for name, kind, cp in tables:
    tableLayout = 'name C(12); price N(8,2); qty N(5,0); when D; ok L; note M'
    if kind == 'vfp':
        tableLayout += '; cnt I; amt Y; stamp T; dbl B'
    t = dbf.Table(name, tableLayout, dbf_type=kind, codepage=cp)
    t.open(dbf.READ_WRITE)
    rows = [('Привет мир', 12.5, 42, datetime.date(2024, 2, 29), True, 'памятка\nстрока 2'),
            ('', None, None, None, None, ''),
            ('Ёж', -0.25, -7, datetime.date(1901, 1, 1), False, 'x' * 700)]
    for i, row in enumerate(rows):
        if kind == 'vfp':
            row += [(-7, 12.3456, datetime.datetime(2023, 5, 6, 7, 8, 9, 123000), 2.75),
                    (0, 0, None, 0),
                    (-2147483647, -0.5, datetime.datetime(1999, 12, 31, 23, 59, 59, 0), -1e100)][i]
        t.append(row)
    t.close()  # the memo-file flag of a 'vfp' table stays clear: its memos are read all the same
    def plain(v):
        if isinstance(v, datetime.datetime):
            return v.strftime('%Y-%m-%dT%H:%M:%S.') + '%03d' % (v.microsecond // 1000)
        if isinstance(v, datetime.date):
            return v.isoformat()
        if isinstance(v, decimal.Decimal):
            return float(v)
        return v
    for r in dbfread.DBF(name, encoding=cp):
        fields = {k: plain(v) for k, v in r.items()}
        if fields['NOTE'] is None:
            fields['NOTE'] = ''
        print(json.dumps({'table': name, 'fields': fields}, ensure_ascii=False))
)";

TEST(DumpCommand, TablesWrittenByPythonDbfReadAsDbfreadReadsThem) {
  if (!HavePeers()) GTEST_SKIP() << "python3-dbf/dbfread missing";
  TempDir dir;
  auto peer = testing::Python(kPythonTables);
  ASSERT_EQ(peer.status, 0) << peer.out;
  std::map<std::string, std::vector<json>> expected;
  for (const json& line : JsonLines(peer.out)) expected[line["table"]].push_back(line["fields"]);
  ASSERT_EQ(expected.size(), 3u);
  for (const auto& [table, records] : expected) {
    SCOPED_TRACE(table);
    std::vector<json> dumped = Dump(table);  // code page from the language driver
    ASSERT_EQ(dumped.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(dumped[i]["recno"], i + 1);
      EXPECT_EQ(dumped[i]["deleted"], false);
      EXPECT_EQ(dumped[i]["fields"], records[i]) << dumped[i]["fields"].dump() << "\n" << records[i].dump();
    }
  }
  // Values by type, byte for byte as dump prints them, fields in field order.
  std::string raw = Dbf("dump vfp.dbf").out;
  EXPECT_EQ(raw.substr(0, raw.find('\n')),
            R"({"recno":1,"deleted":false,"fields":{"NAME":"Привет мир","PRICE":12.5,"QTY":42,"WHEN":"2024-02-29","OK":true,"NOTE":"памятка\nстрока 2",)"
            R"("CNT":-7,"AMT":12.3455,"STAMP":"2023-05-06T07:08:09.123","DBL":2.75}})");
  std::vector<json> vfp = Dump("vfp.dbf");
  EXPECT_EQ(vfp[1]["fields"]["PRICE"], nullptr);
  EXPECT_EQ(vfp[1]["fields"]["WHEN"], nullptr);
  EXPECT_EQ(vfp[1]["fields"]["OK"], nullptr);
  EXPECT_EQ(vfp[1]["fields"]["STAMP"], nullptr);
  EXPECT_TRUE(vfp[2]["fields"]["QTY"].is_number_integer());
  EXPECT_TRUE(vfp[2]["fields"]["PRICE"].is_number_float());
}

TEST(DumpCommand, TablesWrittenByPerlXBaseReadAsXBaseReadsThem) {
  if (RunCommand("perl -MXBase -e 1 2>/dev/null") != 0) GTEST_SKIP() << "Perl XBase missing";
  TempDir dir;
  std::string out;
  int status = RunCommand(R"(perl -MXBase -MJSON::PP -e '
    my @tableLayout = ("field_names" => ["NAME","PRICE","WHEN","OK","NOTE"], "field_types" => ["C","N","D","L","M"],
                "field_lengths" => [15,8,8,1,10], "field_decimals" => [0,2,0,0,0]);
    for my $v ([3, "x3.dbf"], [0x0B, "x4.dbf"]) {
      my $t = XBase->create("name" => $v->[1], "version" => $v->[0], @tableLayout) or die XBase->errstr;
      $t->set_record(0, "Hello", 3.25, "20231231", 1, "perl memo\nline 2") or die $t->errstr;
      $t->set_record(1, "", undef, undef, undef, undef) or die $t->errstr;
      $t->set_record(2, "gone", -1, "19991231", 0, "m" x 1500) or die $t->errstr;
      $t->delete_record(2);
      $t->close;
      $t = XBase->new($v->[1]) or die XBase->errstr;
      for my $i (0 .. $t->last_record) {
        my ($deleted, @values) = $t->get_record($i);
        print JSON::PP->new->canonical->encode({table => $v->[1], deleted => $deleted ? JSON::PP::true : JSON::PP::false,
                                                values => [map { defined $_ ? "$_" : undef } @values]}), "\n";
      }
    }' 2>&1)", &out);
  ASSERT_EQ(status, 0) << out;
  std::vector<json> peer = JsonLines(out);
  ASSERT_EQ(peer.size(), 6u);
  std::map<std::string, std::vector<json>> dumped{{"x3.dbf", Dump("x3.dbf --deleted")},
                                                  {"x4.dbf", Dump("x4.dbf --deleted")}};
  EXPECT_EQ(testing::ReadFileBytes("x3.dbf")[0], '\x83');
  EXPECT_EQ(testing::ReadFileBytes("x4.dbf")[0], '\x8B');
  std::map<std::string, size_t> next;
  for (const json& record : peer) {
    std::string table = record["table"];
    SCOPED_TRACE(table);
    const json& ours = dumped[table].at(next[table]++);
    EXPECT_EQ(ours["deleted"], record["deleted"]);
    const json& values = record["values"];
    const json& fields = ours["fields"];
    EXPECT_EQ(fields["NAME"], values[0]);
    if (values[1].is_null()) {
      EXPECT_EQ(fields["PRICE"], nullptr);
    } else {
      EXPECT_DOUBLE_EQ(fields["PRICE"].get<double>(), std::stod(values[1].get<std::string>()));
    }
    if (values[2].is_null()) {
      EXPECT_EQ(fields["WHEN"], nullptr);
    } else {  // XBase gives yyyymmdd
      std::string d = values[2];
      EXPECT_EQ(fields["WHEN"], d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2));
    }
    if (values[3].is_null()) {
      EXPECT_EQ(fields["OK"], nullptr);
    } else {
      EXPECT_EQ(fields["OK"], values[3] == "1");
    }
    EXPECT_EQ(fields["NOTE"], values[4].is_null() ? json("") : values[4]);
  }
  // Hidden without --deleted.
  EXPECT_EQ(Dump("x3.dbf").size(), 2u);
  EXPECT_EQ(Dump("x3.dbf --deleted")[2]["fields"]["NOTE"], std::string(1500, 'm'));
}

// ---- appended records, read back by dbfread -----------------------------------------

TEST(AppendCommand, RecordsReadBackByDbfreadWithTheSameValues) {
  if (!HavePeers()) GTEST_SKIP() << "python3-dbf/dbfread missing";
  TempDir dir;
  const std::string common = " --field NAME:C:20 --field PRICE:N:10:3 --field QTY:N:6 --field WHEN:D --field OK:L";
  ASSERT_EQ(Dbf("create t03.dbf --version 03 --codepage 866" + common).status, 0);
  for (const char* v : {"83", "8B", "F5"}) {
    ASSERT_EQ(Dbf(std::string("create t") + v + ".dbf --version " + v + " --codepage 1251" + common +
                  " --field NOTE:M" + (std::string(v) == "83" ? "" : " --field PIC:G"))
                  .status,
              0);
  }
  ASSERT_EQ(Dbf("create t30.dbf --version 30 --codepage 1251" + common +
                " --field NOTE:M --field PIC:G --field CNT:I --field AMT:Y --field STAMP:T --field DBL:B")
                .status,
            0);
  const std::vector<std::string> input = {
      R"({"NAME":"Съешь ещё","PRICE":12.5,"QTY":42,"WHEN":"2024-02-29","OK":true,"NOTE":"Заметка\nстрока 2",)"
      R"("PIC":"AAEC/w==","CNT":-7,"AMT":12.3456,"STAMP":"2023-05-06T07:08:09.123","DBL":2.75})",
      R"({"fields":{"name":"lower-case names","price":-0.125,"qty":-99999,"when":null,"ok":false,"note":"",)"
      R"("cnt":2147483647,"amt":-1.5,"stamp":null,"dbl":-1e100}})",
      R"({"NAME":"","PRICE":null,"QTY":null,"OK":null})"};
  for (const char* v : {"03", "83", "8B", "F5", "30"}) {
    std::string table = std::string("t") + v + ".dbf";
    std::string lines;
    for (std::string line : input) {
      json record = json::parse(line);
      json& fields = record.contains("fields") ? record["fields"] : record;
      for (const char* only : {"NOTE", "note", "PIC", "pic", "CNT", "cnt", "AMT", "amt", "STAMP", "stamp", "DBL", "dbl"}) {
        bool isMemo = std::string(only) == "NOTE" || std::string(only) == "note";
        bool isGeneral = std::string(only) == "PIC" || std::string(only) == "pic";
        bool keep = std::string(v) == "30" || (isMemo && std::string(v) != "03") ||
                    (isGeneral && std::string(v) != "03" && std::string(v) != "83");
        if (!keep) fields.erase(only);
      }
      lines += record.dump() + "\n";
    }
    auto appended = Dbf("append " + table, lines, true);
    ASSERT_EQ(appended.status, 0) << table << ": " << appended.out;
    EXPECT_EQ(appended.out, "1\n2\n3\n");
  }
  auto read = testing::Python(R"(
import dbfread, datetime, decimal, json
def plain(v):
    if isinstance(v, datetime.datetime):
        return v.strftime('%Y-%m-%dT%H:%M:%S.') + '%03d' % (v.microsecond // 1000)
    if isinstance(v, datetime.date):
        return v.isoformat()
    if isinstance(v, decimal.Decimal):
        return float(v)
    if isinstance(v, bytes):
        return list(v.rstrip(b'\0'))  # dbfread reads dBase IV memos 8 bytes too long
    if isinstance(v, str):
        return v.rstrip('\0')
    return v
for v, cp in [('03', 'cp866'), ('83', 'cp1251'), ('8B', 'cp1251'), ('F5', 'cp1251'), ('30', 'cp1251')]:
    for r in dbfread.DBF('t%s.dbf' % v, encoding=cp):
        print(json.dumps({'table': v, 'fields': {k: plain(x) for k, x in r.items()}}, ensure_ascii=False))
)");
  ASSERT_EQ(read.status, 0) << read.out;
  std::vector<json> records = JsonLines(read.out);
  ASSERT_EQ(records.size(), 15u);
  for (const json& r : records) {
    SCOPED_TRACE(r.dump());
    const json& f = r["fields"];
    std::string v = r["table"];
    if (f["NAME"] == "Съешь ещё") {
      EXPECT_EQ(f["PRICE"], 12.5);
      EXPECT_EQ(f["QTY"], 42);
      EXPECT_EQ(f["WHEN"], "2024-02-29");
      EXPECT_EQ(f["OK"], true);
      if (v != "03") {
        EXPECT_EQ(f["NOTE"], "Заметка\nстрока 2");
      }
      if (v != "03" && v != "83") {
        EXPECT_EQ(f["PIC"], json::parse("[0,1,2,255]"));
      }
      if (v == "30") {
        EXPECT_EQ(f["CNT"], -7);
        EXPECT_EQ(f["AMT"], 12.3456);
        EXPECT_EQ(f["STAMP"], "2023-05-06T07:08:09.123");
        EXPECT_EQ(f["DBL"], 2.75);
      }
    } else if (f["NAME"] == "lower-case names") {
      EXPECT_EQ(f["PRICE"], -0.125);
      EXPECT_EQ(f["QTY"], -99999);
      EXPECT_EQ(f["WHEN"], nullptr);
      EXPECT_EQ(f["OK"], false);
      if (v != "03") {
        EXPECT_TRUE(f["NOTE"] == nullptr || f["NOTE"] == "");
      }
      if (v == "30") {
        EXPECT_EQ(f["CNT"], 2147483647);
        EXPECT_EQ(f["AMT"], -1.5);
        EXPECT_EQ(f["STAMP"], nullptr);
        EXPECT_EQ(f["DBL"], -1e100);
      }
    } else {
      EXPECT_EQ(f["NAME"], "");
      EXPECT_EQ(f["PRICE"], nullptr);
      EXPECT_EQ(f["QTY"], nullptr);
      EXPECT_EQ(f["OK"], nullptr);
      if (v == "30") {
        EXPECT_EQ(f["STAMP"], nullptr);  // not given: an empty date and time, not day 1721425
        EXPECT_EQ(f["CNT"], 0);
      }
    }
  }
  // And dump reads back what append wrote.
  std::vector<json> ours = Dump("t30.dbf");
  ASSERT_EQ(ours.size(), 3u);
  json first = json::parse(input[0]);
  EXPECT_EQ(ours[0]["fields"], first) << ours[0]["fields"].dump();
}

TEST(AppendCommand, DumpOutputAppendsBackIncludingDeletedRecords) {
  TempDir dir;
  ASSERT_EQ(Dbf("create a.dbf --version 8B --field NAME:C:8 --field NOTE:M --field PIC:B").status, 0);
  auto appended =
      Dbf("append a.dbf", R"({"NAME":"one","NOTE":"first memo","PIC":"AQI="}
{"fields":{"NAME":"two","NOTE":"","PIC":""},"deleted":true}

{"NAME":"three"}
)");
  ASSERT_EQ(appended.status, 0);
  EXPECT_EQ(appended.out, "1\n2\n3\n");  // the blank line is passed over
  auto dumped = Dbf("dump a.dbf --deleted");
  ASSERT_EQ(Dbf("create b.dbf --version 8B --field NAME:C:8 --field NOTE:M --field PIC:B").status, 0);
  ASSERT_EQ(Dbf("append b.dbf", dumped.out).status, 0);
  EXPECT_EQ(Dbf("dump b.dbf --deleted").out, dumped.out);
  std::vector<json> records = JsonLines(dumped.out);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1]["deleted"], true);
  EXPECT_EQ(records[0]["fields"]["PIC"], "AQI=");
  EXPECT_EQ(Dump("b.dbf").size(), 2u);
}

// ---- four appenders at once -----------------------------------------------------------

TEST(AppendCommand, FourConcurrentAppendersLoseAndDuplicateNothing) {
  TempDir dir;
  ASSERT_EQ(Dbf("create c.dbf --version 8B --field ID:C:12 --field NOTE:M").status, 0);
  constexpr int kWriters = 4;
  constexpr int kRecords = 150;
  for (int w = 0; w < kWriters; ++w) {
    std::string lines;
    for (int i = 0; i < kRecords; ++i) {
      std::string id = "w" + std::to_string(w) + "-" + std::to_string(i);
      // Memos of growing size, so that the memo file's allocation is contended too.
      lines += json({{"ID", id}, {"NOTE", id + std::string(static_cast<size_t>(i * 7 % 900), '.')}}).dump() + "\n";
    }
    testing::WriteFileBytes("in" + std::to_string(w), lines);
  }
  std::string command;
  for (int w = 0; w < kWriters; ++w) {
    command += std::string(VELORIN_DBF_TOOL) + " append c.dbf < in" + std::to_string(w) + " > out" +
               std::to_string(w) + " 2> err" + std::to_string(w) + " & pids=\"$pids $!\"; ";
  }
  command += "fail=0; for p in $pids; do wait $p || fail=1; done; exit $fail";
  ASSERT_EQ(RunCommand(command), 0) << testing::ReadFileBytes("err0") << testing::ReadFileBytes("err1")
                                    << testing::ReadFileBytes("err2") << testing::ReadFileBytes("err3");
  // The record numbers printed make up 1..600, each once.
  std::multiset<int> numbers;
  for (int w = 0; w < kWriters; ++w) {
    std::istringstream out(testing::ReadFileBytes("out" + std::to_string(w)));
    for (int n; out >> n;) numbers.insert(n);
  }
  ASSERT_EQ(numbers.size(), static_cast<size_t>(kWriters * kRecords));
  int expectedNumber = 1;
  for (int n : numbers) EXPECT_EQ(n, expectedNumber++);
  // Every record is there once, with its own memo.
  std::vector<json> records = Dump("c.dbf");
  ASSERT_EQ(records.size(), static_cast<size_t>(kWriters * kRecords));
  std::set<std::string> ids;
  for (const json& r : records) {
    std::string id = r["fields"]["ID"];
    EXPECT_TRUE(ids.insert(id).second) << id;
    int i = std::stoi(id.substr(id.find('-') + 1));
    EXPECT_EQ(r["fields"]["NOTE"], id + std::string(static_cast<size_t>(i * 7 % 900), '.'));
  }
  std::string bytes = testing::ReadFileBytes("c.dbf");
  EXPECT_EQ(testing::LE32At(bytes, 4), static_cast<uint32_t>(kWriters * kRecords));
  EXPECT_EQ(bytes.back(), '\x1A');
}

// ---- code pages ----------------------------------------------------------------------

TEST(CodePages, CyrillicGoesInAndComesOutInTheTablesCodePage) {
  TempDir dir;
  ASSERT_EQ(Dbf("create d866.dbf --field NAME:C:10 --codepage 866").status, 0);
  ASSERT_EQ(Dbf("create d1251.dbf --field NAME:C:10 --codepage 1251").status, 0);
  ASSERT_EQ(Dbf("create plain.dbf --field NAME:C:10").status, 0);
  for (const char* table : {"d866.dbf", "d1251.dbf", "plain.dbf"}) {
    ASSERT_EQ(Dbf(std::string("append ") + table, "{\"NAME\":\"Ёжик\"}\n").status, 0);
  }
  const size_t recordStart = 32 + 32 + 1 + 1;
  EXPECT_EQ(testing::ReadFileBytes("d866.dbf").substr(recordStart, 4), "\xF0\xA6\xA8\xAA");
  EXPECT_EQ(testing::ReadFileBytes("d1251.dbf").substr(recordStart, 4), "\xA8\xE6\xE8\xEA");
  // No language driver: the ANSI code page (1251 unless the environment says otherwise).
  EXPECT_EQ(testing::ReadFileBytes("plain.dbf").substr(recordStart, 4), "\xA8\xE6\xE8\xEA");
  for (const char* table : {"d866.dbf", "d1251.dbf", "plain.dbf"}) {
    EXPECT_EQ(Dump(table)[0]["fields"]["NAME"], "Ёжик") << table;
  }
  // --codepage overrides the language driver both ways.
  ASSERT_EQ(Dbf("append d866.dbf --codepage 1251", "{\"NAME\":\"Ёжик\"}\n").status, 0);
  EXPECT_EQ(testing::ReadFileBytes("d866.dbf").substr(recordStart + 11, 4), "\xA8\xE6\xE8\xEA");
  EXPECT_EQ(Dump("d866.dbf --codepage 1251")[1]["fields"]["NAME"], "Ёжик");
  EXPECT_NE(Dump("d866.dbf")[1]["fields"]["NAME"], "Ёжик");  // 1251 bytes read as 866
  // none: the bytes pass unchanged, so UTF-8 goes in as UTF-8.
  ASSERT_EQ(Dbf("append plain.dbf --codepage none", "{\"NAME\":\"Ёж\"}\n").status, 0);
  EXPECT_EQ(testing::ReadFileBytes("plain.dbf").substr(recordStart + 11, 4), "Ёж");
  EXPECT_EQ(Dump("plain.dbf --codepage none")[1]["fields"]["NAME"], "Ёж");
  // Bytes that are not UTF-8 are shown as U+FFFD rather than break the JSON.
  EXPECT_EQ(Dump("plain.dbf --codepage none")[0]["fields"]["NAME"], "\uFFFD\uFFFD\uFFFD\uFFFD");
  // Another ANSI code page from the environment, which lacks Cyrillic.
  std::string out;
  EXPECT_EQ(RunCommand("VELORIN_ANSI_CODEPAGE=1252 " + std::string(VELORIN_DBF_TOOL) +
                           " append plain.dbf 2>&1 <<'EOF'\n{\"NAME\":\"Ёжик\"}\nEOF",
                       &out),
            1);
  EXPECT_NE(out.find("has no byte in code page 1252"), std::string::npos) << out;
}

TEST(CodePages, CharactersTheCodePageLacksAreRefused) {
  TempDir dir;
  ASSERT_EQ(Dbf("create d.dbf --field NAME:C:10 --codepage 866").status, 0);
  auto refused = Dbf("append d.dbf", "{\"NAME\":\"ok\"}\n{\"NAME\":\"€uro\"}\n", true);
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.out.find("Field NAME: character U+20AC (character 1) has no byte in code page 866"),
            std::string::npos)
      << refused.out;
  EXPECT_EQ(Dump("d.dbf").size(), 1u);
  std::string out;
  EXPECT_EQ(RunCommand("VELORIN_ANSI_CODEPAGE=1252 " + std::string(VELORIN_DBF_TOOL) +
                           " append d.dbf --codepage 1251 2>&1 <<'EOF'\n{\"NAME\":\"€uro\"}\nEOF",
                       &out),
            0);  // 1251 has the euro sign
}

// ---- bad input -------------------------------------------------------------------------

TEST(AppendCommand, BadInputStopsWithTheReasonAndKeepsTheRecordsBefore) {
  TempDir dir;
  ASSERT_EQ(Dbf("create t.dbf --field NAME:C:4 --field N:N:5:2 --field D:D --field OK:L").status, 0);
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {R"({"NOPE":1})", "dBase field name is invalid - NOPE"},
      {R"({"NAME":"toolong"})", "Field NAME: a text of 7 bytes does not fit in 4"},
      {R"({"N":1000})", "Number too large to fit in field - N - 1000.00"},
      {R"({"N":"x"})", "Field N: \"x\" is not a number"},
      {R"({"D":"31.12.2024"})", "Field D: \"31.12.2024\" is not a date (YYYY-MM-DD)"},
      {R"({"OK":1})", "Field OK: type L takes a boolean, not a number"},
      {R"({"NAME":["a"]})", "Field NAME: a field value cannot be a JSON array"},
      {R"({"NAME":"a")", "not JSON: "},
      {R"([1,2])", "a record is a JSON object, not array"},
      {R"({"fields":{"NAME":"a"},"deleted":"yes"})", "\"deleted\" must be true or false"},
  };
  int kept = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    auto appended = Dbf("append t.dbf 2>err", std::string("{\"NAME\":\"ok\"}\n") + c.line + "\n{\"NAME\":\"no\"}\n");
    ++kept;
    EXPECT_EQ(appended.status, 1);
    EXPECT_EQ(appended.out, std::to_string(kept) + "\n");  // the record before it stays
    std::string err = testing::ReadFileBytes("err");
    EXPECT_EQ(err.find(c.message), 0u) << err;
    EXPECT_NE(err.find("stopped at input line 2; 1 records appended before it"), std::string::npos) << err;
  }
  std::vector<json> records = Dump("t.dbf");
  ASSERT_EQ(records.size(), static_cast<size_t>(kept));
  for (const json& r : records) EXPECT_EQ(r["fields"]["NAME"], "ok");
}

TEST(AppendCommand, EmptyInputAppendsNothing) {
  TempDir dir;
  ASSERT_EQ(Dbf("create t.dbf --field NAME:C:4").status, 0);
  auto appended = Dbf("append t.dbf < /dev/null");
  EXPECT_EQ(appended.status, 0);
  EXPECT_EQ(appended.out, "");
  EXPECT_TRUE(Dump("t.dbf").empty());
}

TEST(DumpCommand, ArgumentAndEngineErrors) {
  TempDir dir;
  ASSERT_EQ(Dbf("create t.dbf --field NAME:C:4").status, 0);
  EXPECT_EQ(Dbf("dump t.dbf --codepage 437 2>/dev/null").status, 2);
  EXPECT_EQ(Dbf("dump 2>/dev/null").status, 2);
  auto missing = Dbf("dump missing.dbf", "", true);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("missing.dbf"), std::string::npos);
  testing::WriteFileBytes("broken.dbf", "\x03short");
  auto broken = Dbf("dump broken.dbf", "", true);
  EXPECT_EQ(broken.status, 1);
  EXPECT_EQ(broken.out.find("dBase DBF file header invalid - "), 0u) << broken.out;
  EXPECT_EQ(Dbf("append missing.dbf < /dev/null 2>/dev/null").status, 1);
}

TEST(DumpCommand, MissingMemoFileIsAnEngineError) {
  TempDir dir;
  ASSERT_EQ(Dbf("create m.dbf --version 83 --field NOTE:M").status, 0);
  ASSERT_EQ(Dbf("append m.dbf", "{\"NOTE\":\"text\"}\n").status, 0);
  std::filesystem::remove("m.dbt");
  auto dumped = Dbf("dump m.dbf", "", true);
  EXPECT_EQ(dumped.status, 1);
  EXPECT_EQ(dumped.out.find("File not found - "), 0u) << dumped.out;
}

}  // namespace
}  // namespace velorin
