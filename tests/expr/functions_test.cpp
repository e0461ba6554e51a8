// The built-in functions and the table functions and field variables.
#include <gtest/gtest.h>

#include "engine/vr6_Date.h"
#include "expr/builtin_functions.h"
#include "expr/expr_fixture.h"

namespace velorin {
namespace {

using testing::Evaluate;
using testing::PeopleTable;
using testing::PersonRecord;

struct Case {
  const char* text;
  std::string expected;
};

void CheckCases(const std::vector<Case>& cases, TvrExpUserLink* link = nullptr) {
  for (const Case& c : cases) EXPECT_EQ(Evaluate(c.text, link), c.expected) << c.text;
}

TEST(BuiltinFunctions, RegisteredInOrder) {
  std::string names;
  for (int32_t i = 0; i < BuiltinFunctions().Count(); ++i) names += BuiltinFunctions().Items(i)->FunctionName() + " ";
  EXPECT_EQ(names,
            "ALLTRIM ASC CEILING CHR CTOD DATE DESCEND DTOC DTOS EMPTY FLOOR IIF INT LEFT LOWER LTRIM PADC PADL PADR "
            "RIGHT RTRIM SOUNDEX STR STRZERO SUBSTR TRIM UPPER VAL ");
  EXPECT_EQ(BuiltinFunctions().Items(28), nullptr);
}

TEST(BuiltinFunctions, CuttingAndTrimming) {
  CheckCases({
      {"LEFT('ABC', 0.5)", "T:"},
      {"LEFT('ABC', 5)", "T:ABC"},
      {"LEFT('ABC', -2)", "T:"},
      {"RIGHT('ABC', 2)", "T:BC"},
      {"RIGHT('ABC', 0)", "T:"},
      {"RIGHT('ABC', 9)", "T:ABC"},
      {"SUBSTR('ABCDE', 2, 3)", "T:BCD"},
      {"SUBSTR('ABCDE', 4)", "T:DE"},
      {"SUBSTR('ABCDE', 6)", "T:"},
      {"SUBSTR('ABCDE', 0)", "T:"},
      {"SUBSTR('ABCDE', -1, 2)", "T:"},
      {"SUBSTR('ABCDE', 2, -1)", "T:"},
      {"SUBSTR('ABCDE', 2, 99)", "T:BCDE"},
      {"ALLTRIM('  a b  ')", "T:a b"},
      {"LTRIM('  a  ')", "T:a  "},
      {"TRIM('  a  ')", "T:  a"},
      {"RTRIM('  a  ')", "T:  a"},
  });
}

TEST(BuiltinFunctions, Padding) {
  CheckCases({
      {"PADC('AB', 5, '*')", "T:*AB**"},
      {"PADC('AB', 6, '*')", "T:**AB**"},
      {"PADL('AB', 4)", "T:  AB"},
      {"PADR('AB', 4, '.')", "T:AB.."},
      {"PADL('ABCDEF', 3)", "T:ABC"},
      {"PADL('A', -3)", "T:"},
      {"PADR('A', 3, 'XY')", "error: A Char value is required but invalid"},
      {"PADR('A', 3, 1)", "error: A Char value is required but invalid"},
      {"PADL('A', 600)", "error: Value longer than 511 bytes in PADL"},
  });
}

TEST(BuiltinFunctions, NumbersToText) {
  CheckCases({
      {"STR(3.14159, 6, 2)", "T:  3.14"},
      {"STR(123456, 3)", "T:***"},
      {"STR(5)", "T:         5"},
      {"STR(2.5, 3)", "T:  3"},
      {"STR(1.5, 5, -2)", "T:    2"},
      {"STR(1, 4, 1000000)", "T:****"},
      {"STR(5, 0)", "T:"},
      {"STR(5, 600)", "error: Value longer than 511 bytes in STR"},
      {"STRZERO(-5, 4)", "T:00-5"},
      {"STRZERO(42, 5)", "T:00042"},
      {"VAL('12,5')", "N:12.5"},
      {"VAL('12.5')", "N:12.5"},
      {"VAL('abc')", "N:0"},
      {"ASC('A')", "N:65"},
      {"ASC('')", "N:0"},
      {"CHR(65)", "T:A"},
      {"CHR(0)", "T:"},
      {"CHR(256)", "error: A Byte value is required but invalid"},
      {"CHR(-1)", "error: A Byte value is required but invalid"},
      {"CEILING(1.2)", "N:2"},
      {"FLOOR(-1.2)", "N:-2"},
      {"INT(-1.7)", "N:-1"},
      {"CEILING(1E20)", "N:1E20"},
  });
}

TEST(BuiltinFunctions, DatesAndValuesOfAnyType) {
  std::string today = platform::FloatToText(DBFDate().TodayDayNumber());
  CheckCases({
      {"CTOD('20240131')", "D:2460341"},
      {"CTOD('31.01.2024')", "D:2460341"},
      {"DTOS(CTOD(''))", "T:"},
      {"DTOC(CTOD('20240131'))", "T:31.01.2024"},
      {"DTOC(CTOD('20240131'), 1)", "T:20240131"},
      {"DTOC(CTOD(''))", "T:"},
      {"DATE()", "D:" + today},
      {"DESCEND(DATE()) + DATE()", "D:5231808"},
      {"DESCEND(CTOD(''))", "D:1E100"},
      {"DESCEND(5)", "N:-5"},
      {"DESCEND(0)", "N:0"},
      {"DESCEND('A')", "T:\xBF"},
      {"DESCEND(.T.)", "B:.F."},
      {"EMPTY(CTOD(''))", "B:.T."},
      {"EMPTY('   ')", "B:.F."},
      {"EMPTY('')", "B:.T."},
      {"EMPTY(0)", "B:.T."},
      {"EMPTY(.F.)", "B:.T."},
      {"IIF(.T., 1, 'X')", "N:1"},
      {"IIF(.F., 1 / 0, 'X')", "T:X"},
      {"IIF(.T., 1)", "N:1"},
      {"IIF(.F., 1)", "type 1"},
      {"CTOD('xx')", "error: 'xx' is not a valid date"},
  });
}

TEST(BuiltinFunctions, SoundexAndCase) {
  CheckCases({
      {"SOUNDEX('ROBERT')", "T:R163"},
      {"SOUNDEX('PFISTER')", "T:P123"},
      {"SOUNDEX('TYMCZAK')", "T:T520"},
      {"SOUNDEX('robert')", "T:R163"},
      {"SOUNDEX('')", "T:0000"},
      {"SOUNDEX('A')", "T:A000"},
      {"UPPER('abc')", "T:ABC"},
      {"LOWER('ABC')", "T:abc"},
      // и (0xE8) and И (0xC8) of code page 1251.
      {"UPPER('\xE8')", "T:\xC8"},
      {"LOWER('\xC8')", "T:\xE8"},
  });
}

TEST(TableFunctions, FieldVariablesByType) {
  PeopleTable people;
  CheckCases({
                 {"NAME", "T:IVANOV    "},
                 {"name", "T:IVANOV    "},
                 {"QTY", "N:12.5"},
                 {"BORN", "D:2460341"},
                 {"OK", "B:.T."},
                 {"T", "T:x"},
                 {"F", "N:7"},
                 {"-QTY", "N:-12.5"},
                 {"-(QTY + F)", "N:-19.5"},
                 {"NAME = 'IV*'", "B:.T."},
                 {"UPPER(NAME) + DTOS(BORN)", "T:IVANOV    20240131"},
                 {"RECNO()", "N:1"},
                 {"-RECNO()", "N:-1"},
                 {"DELETED()", "B:.F."},
                 {"BOF()", "B:.F."},
                 {"EOF()", "B:.F."},
                 {"TYPE('BORN')", "T:D"},
                 {"TYPE('name')", "T:C"},
                 {"LEN('QTY')", "N:7"},
                 {"LEN('NOPE')", "error: Field/variable NOPE is unknown"},
                 {"TYPE(1)", "error: Text needed for Argument 1 of TYPE"},
                 {"SCORE", "error: There is no function for SCORE"},
                 {"SCORE()", "error: There is no function for SCORE"},
                 {"-NAME", "error: A number value is required but invalid"},
             },
             people.Link());
  TvrExpHandler handler(people.Link(), false, "DTOS(BORN) + NAME");
  EXPECT_EQ(handler.LargestWidth(), 10);
}

TEST(TableFunctions, BlankDateFieldIsNotEmpty) {
  PeopleTable people({PersonRecord("A", "0", "", 'F')});
  EXPECT_EQ(Evaluate("BORN", people.Link()), "D:0");
  EXPECT_EQ(Evaluate("EMPTY(BORN)", people.Link()), "B:.F.");
  EXPECT_EQ(Evaluate("EMPTY(QTY)", people.Link()), "B:.T.");
}

TEST(TableFunctions, CaseFollowsTheTablesCodePage) {
  // иванов in code page 866; its capitals there are 0x88 0x82 0x80 0x8D 0x8E 0x82.
  std::string oem = "\xA8\xA2\xA0\xAD\xAE\xA2";
  PeopleTable people({PersonRecord(oem, "1", "", 'F')});
  people.Table().SetTextCodePage(866);
  EXPECT_EQ(Evaluate("TRIM(UPPER(NAME))", people.Link()), "T:\x88\x82\x80\x8D\x8E\x82");
  EXPECT_EQ(Evaluate("NAME = '\x88\x82*'", people.Link(), true), "B:.T.");
  people.Table().SetTextCodePage(0);
  // Read as 1251 text these bytes are other letters: ў (0xA2) becomes Ў (0xA1).
  EXPECT_EQ(Evaluate("SUBSTR(UPPER(NAME), 2, 1)", people.Link()), "T:\xA1");
}

TEST(TableFunctions, FieldTextInCodePage1251SurvivesComparisons) {
  std::string name = "\x8A\x9A\x8C\x9C";  // Љ љ Њ њ: bytes in the range of the operator codes
  PeopleTable people({PersonRecord(name, "1", "", 'F')});
  EXPECT_EQ(Evaluate("NAME = '" + name + "'", people.Link()), "B:.T.");
  EXPECT_EQ(Evaluate("TRIM(NAME) + '!'", people.Link()), "T:" + name + "!");
}

TEST(TableFunctions, WideCharacterFields) {
  testing::TempDir dir;
  std::string path = dir.File("WIDE.DBF");
  testing::MakeTable(path, 0x03, {"MEMOISH:C:600", "SHORT:C:300"}, {" " + std::string(600, 'w') + std::string(300, 's')});
  VRO_dBHandler table(path, false, true);
  table.GoRecord(1);
  auto link = MakeTableLink(table);
  EXPECT_EQ(Evaluate("LEN('MEMOISH')", link.get()), "N:88");  // 600 = 2 * 256 + 88
  EXPECT_EQ(Evaluate("LEFT(SHORT, 2)", link.get()), "T:ss");
  EXPECT_EQ(Evaluate("MEMOISH", link.get()), "error: Value longer than 511 bytes in MEMOISH");
}

}  // namespace
}  // namespace velorin
