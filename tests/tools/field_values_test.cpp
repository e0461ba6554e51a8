#include "tools/field_values.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "engine/vr6_dbsy.h"
#include "engine/vr6_eror.h"
#include "platform/code_page.h"
#include "platform/locale_settings.h"
#include "support/table_fixture.h"
#include "support/temp_dir.h"
#include "tools/base64.h"
#include "tools/progress_bar.h"

namespace velorin::tools {
namespace {

using testing::MakeTable;
using testing::TempDir;

// The bytes of field number in the current record.
std::string FieldBytes(VRO_dBHandler& table, int32_t number) {
  const VRFieldEntry* field = table.Field(number);
  return std::string(reinterpret_cast<const char*>(table.CurrentRecord()) + field->Displacement,
                     static_cast<size_t>(field->Length()));
}

std::string Refusal(const std::function<void()>& action) {
  try {
    action();
  } catch (const FieldValueError& e) {
    return e.what();
  }
  return "(not refused)";
}

class FieldValuesTest : public ::testing::Test {
 protected:
  VRO_dBHandler& Open(uint8_t version, const std::vector<std::string>& fields) {
    MakeTable(dir_.File("V.DBF"), version, fields);
    table_ = std::make_unique<VRO_dBHandler>(dir_.File("V.DBF"), true, false);
    table_->BlankRecord();
    return *table_;
  }
  // Appends the current record and reads it back from the file.
  void AppendAndReread() {
    table_->Append();
    int32_t n = table_->RecordNumber();
    table_.reset();
    table_ = std::make_unique<VRO_dBHandler>(dir_.File("V.DBF"), true, false);
    table_->GoRecord(n);
  }
  FieldValue Read(int32_t number, int codePage = 1251) { return ReadFieldValue(*table_, number, codePage); }
  void Store(int32_t number, const FieldValue& value, int codePage = 1251) {
    StoreFieldValue(*table_, number, value, codePage);
  }

  TempDir dir_;
  std::unique_ptr<VRO_dBHandler> table_;
};

// ---- reading, type by type ------------------------------------------------------

TEST_F(FieldValuesTest, CharacterTextLosesTrailingBlanksAndIsConvertedToUtf8) {
  VRO_dBHandler& t = Open(0x03, {"NAME:C:10"});
  t.PutText(1, "\xCF\xF0\xE8 \xE2\xE5\xF2  ");  // "При вет" in 1251
  EXPECT_EQ(Read(1), FieldValue::OfText("При вет"));
  t.PutText(1, "\x8F\xE0\xA8");  // "При" in 866
  EXPECT_EQ(Read(1, 866), FieldValue::OfText("При"));
  EXPECT_EQ(Read(1, platform::kNoCodePage).text, "\x8F\xE0\xA8");
  t.PutText(1, "  lead");
  EXPECT_EQ(Read(1).text, "  lead");  // leading blanks are data
}

TEST_F(FieldValuesTest, NumbersAreWholeWithoutDecimalsAndNullWhenBlank) {
  VRO_dBHandler& t = Open(0x03, {"K:N:5", "P:N:8:2", "F:F:10:3"});
  t.PutNumber(1, 42);
  t.PutNumber(2, -3.5);
  t.PutNumber(3, 0.125);
  EXPECT_EQ(Read(1), FieldValue::OfInteger(42));
  EXPECT_EQ(Read(2), FieldValue::OfNumber(-3.5));
  EXPECT_EQ(Read(3), FieldValue::OfNumber(0.125));
  t.PutText(1, "");
  EXPECT_EQ(Read(1), FieldValue::Null());
  t.PutText(1, "42   ");  // left-aligned, as some programs write them
  EXPECT_EQ(Read(1), FieldValue::OfInteger(42));
  t.PutText(2, "12.00");  // a field with decimals stays a number even when whole
  EXPECT_EQ(Read(2), FieldValue::OfNumber(12.0));
}

TEST_F(FieldValuesTest, DamagedNumbersAndDatesReadAsTheTextTheyHold) {
  VRO_dBHandler& t = Open(0x03, {"K:N:5", "D:D"});
  t.PutText(1, "12x");
  t.PutText(2, "2024XX01");
  EXPECT_EQ(Read(1), FieldValue::OfText("12x"));
  EXPECT_EQ(Read(2), FieldValue::OfText("2024XX01"));
  t.PutText(2, "20230230");  // eight digits that are no date
  EXPECT_EQ(Read(2), FieldValue::OfText("20230230"));
}

TEST_F(FieldValuesTest, DatesInIsoFormNullWhenBlankOrZeros) {
  VRO_dBHandler& t = Open(0x03, {"D:D"});
  t.PutText(1, "20240229");
  EXPECT_EQ(Read(1), FieldValue::OfText("2024-02-29"));
  t.PutText(1, "");
  EXPECT_EQ(Read(1), FieldValue::Null());
  t.PutText(1, "00000000");
  EXPECT_EQ(Read(1), FieldValue::Null());
}

TEST_F(FieldValuesTest, LogicalsTrueFalseAndNullForBlankOrQuestionMark) {
  VRO_dBHandler& t = Open(0x03, {"OK:L"});
  const std::pair<const char*, FieldValue> cases[] = {
      {"T", FieldValue::OfBoolean(true)},  {"y", FieldValue::OfBoolean(true)},  {"J", FieldValue::OfBoolean(true)},
      {"F", FieldValue::OfBoolean(false)}, {"n", FieldValue::OfBoolean(false)}, {"X", FieldValue::OfBoolean(false)},
      {" ", FieldValue::Null()},           {"?", FieldValue::Null()},           {"", FieldValue::Null()}};
  for (const auto& [stored, wanted] : cases) {
    t.PutText(1, stored);
    EXPECT_EQ(Read(1), wanted) << "'" << stored << "'";
  }
  std::memset(t.CurrentRecord() + 1, 0, 1);  // a zero byte
  EXPECT_EQ(Read(1), FieldValue::Null());
}

TEST_F(FieldValuesTest, VisualFoxProMachineValues) {
  VRO_dBHandler& t = Open(0x30, {"I:I", "B:B", "Y:Y", "T:T"});
  t.PutNumber(1, -7);
  t.PutNumber(2, 2.75);
  t.PutNumber(3, 12.3456);
  EXPECT_EQ(Read(1), FieldValue::OfInteger(-7));
  EXPECT_EQ(Read(2), FieldValue::OfNumber(2.75));
  EXPECT_DOUBLE_EQ(Read(3).number, 12.3456);
  // 2023-05-06 is day 2460071; 07:08:09.123 is 25689123 ms.
  std::string bytes(8, '\0');
  const uint32_t day = 2460071, ms = 25689123;
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<char>(day >> (8 * i));
    bytes[4 + i] = static_cast<char>(ms >> (8 * i));
  }
  t.PutText(4, bytes);
  EXPECT_EQ(Read(4), FieldValue::OfText("2023-05-06T07:08:09.123"));
  t.PutText(4, std::string(8, '\0'));
  EXPECT_EQ(Read(4), FieldValue::Null());
  t.PutText(4, std::string(8, ' '));
  EXPECT_EQ(Read(4), FieldValue::Null());
  t.BlankRecord();  // the engine's blank T holds day 1721425, which has no calendar date
  EXPECT_EQ(Read(4), FieldValue::Null());
}

TEST_F(FieldValuesTest, RecordsForAppendingHaveEmptyDateTimes) {
  VRO_dBHandler& t = Open(0x30, {"T:T", "I:I", "N:N:3"});
  BlankRecordForValues(t);
  EXPECT_EQ(FieldBytes(t, 1), std::string(8, '\0'));
  EXPECT_EQ(FieldBytes(t, 2), std::string(4, '\0'));
  EXPECT_EQ(FieldBytes(t, 3), "  0");
  EXPECT_EQ(Read(1), FieldValue::Null());
}

TEST_F(FieldValuesTest, MachineValueFieldsTooShortForTheirValueAreNumbersAsText) {
  MakeTable(dir_.File("V.DBF"), 0x30, {"A:C:2", "T:T"});
  testing::PatchFile(dir_.File("V.DBF"), 32 + 32 + 16, "\x03");  // T of 3 bytes
  testing::PatchFile(dir_.File("V.DBF"), 10, std::string("\x06\0", 2));
  table_ = std::make_unique<VRO_dBHandler>(dir_.File("V.DBF"), true, false);
  BlankRecordForValues(*table_);
  EXPECT_EQ(FieldBytes(*table_, 2), "   ");
  EXPECT_EQ(Read(2), FieldValue::Null());
  Store(2, FieldValue::OfInteger(42));
  EXPECT_EQ(FieldBytes(*table_, 2), " 42");
  EXPECT_EQ(Read(2), FieldValue::OfInteger(42));
}

TEST_F(FieldValuesTest, UnknownTypesGiveTheirRawText) {
  VRO_dBHandler& t = Open(0x03, {"NAME:C:4"});
  table_.reset();
  testing::PatchFile(dir_.File("V.DBF"), 32 + 11, "X");  // type letter of the field
  table_ = std::make_unique<VRO_dBHandler>(dir_.File("V.DBF"), true, false);
  (void)t;
  table_->PutText(1, "ab");
  EXPECT_EQ(Read(1), FieldValue::OfText("  ab"));  // right-aligned, as the engine stores them
}

// ---- storing, type by type --------------------------------------------------------

TEST_F(FieldValuesTest, StoredValuesReachTheRecordInTheFieldFormats) {
  VRO_dBHandler& t = Open(0x03, {"NAME:C:6", "P:N:7:2", "K:N:4", "D:D", "OK:L"});
  Store(1, FieldValue::OfText("Жук"));
  Store(2, FieldValue::OfNumber(3.14159));
  Store(3, FieldValue::OfText(" 17 "));
  Store(4, FieldValue::OfText("2026-12-07"));
  Store(5, FieldValue::OfBoolean(true));
  AppendAndReread();
  EXPECT_EQ(FieldBytes(*table_, 1), "\xC6\xF3\xEA   ");
  EXPECT_EQ(FieldBytes(*table_, 2), "   3.14");
  EXPECT_EQ(FieldBytes(*table_, 3), "  17");
  EXPECT_EQ(FieldBytes(*table_, 4), "20261207");
  EXPECT_EQ(FieldBytes(*table_, 5), "T");
  (void)t;
}

TEST_F(FieldValuesTest, NullAndEmptyTextBlankTheField) {
  VRO_dBHandler& t = Open(0x03, {"NAME:C:3", "K:N:4", "D:D", "OK:L"});
  for (int i = 1; i <= 4; ++i) Store(i, FieldValue::Null());
  EXPECT_EQ(FieldBytes(t, 1), "   ");
  EXPECT_EQ(FieldBytes(t, 2), "    ");
  EXPECT_EQ(FieldBytes(t, 3), "        ");
  EXPECT_EQ(FieldBytes(t, 4), " ");
  Store(2, FieldValue::OfInteger(5));
  Store(2, FieldValue::OfText(""));
  EXPECT_EQ(FieldBytes(t, 2), "    ");
  Store(4, FieldValue::OfText("?"));
  EXPECT_EQ(FieldBytes(t, 4), " ");
}

TEST_F(FieldValuesTest, LogicalsAcceptTheLettersAndTheWords) {
  VRO_dBHandler& t = Open(0x03, {"OK:L"});
  for (const char* yes : {"true", "T", "t", "Y", "y", "J", "j"}) {
    Store(1, FieldValue::OfText(yes));
    EXPECT_EQ(FieldBytes(t, 1), "T") << yes;
  }
  for (const char* no : {"false", "F", "f", "N", "n"}) {
    Store(1, FieldValue::OfText(no));
    EXPECT_EQ(FieldBytes(t, 1), "F") << no;
  }
}

TEST_F(FieldValuesTest, VisualFoxProMachineValuesRoundTrip) {
  Open(0x30, {"I:I", "B:B", "Y:Y", "T:T", "T2:T"});
  Store(1, FieldValue::OfInteger(-123456));
  Store(2, FieldValue::OfNumber(-0.5));
  Store(3, FieldValue::OfText("-1.5"));
  Store(4, FieldValue::OfText("1999-12-31T23:59:59.999"));
  Store(5, FieldValue::OfText("2000-01-01"));
  AppendAndReread();
  EXPECT_EQ(Read(1), FieldValue::OfInteger(-123456));
  EXPECT_EQ(Read(2), FieldValue::OfNumber(-0.5));
  EXPECT_EQ(FieldBytes(*table_, 3), std::string("\x68\xC5\xFF\xFF\xFF\xFF\xFF\xFF", 8));  // -15000
  EXPECT_EQ(Read(4), FieldValue::OfText("1999-12-31T23:59:59.999"));
  EXPECT_EQ(Read(5), FieldValue::OfText("2000-01-01T00:00:00.000"));
  // Day 2451545 and midnight, little-endian.
  EXPECT_EQ(FieldBytes(*table_, 5), std::string("\x59\x68\x25\x00\x00\x00\x00\x00", 8));
  Store(4, FieldValue::OfText("2000-01-01 12:30"));
  EXPECT_EQ(Read(4), FieldValue::OfText("2000-01-01T12:30:00.000"));
  Store(4, FieldValue::OfText("2000-01-01T12:30:05.5"));
  EXPECT_EQ(Read(4), FieldValue::OfText("2000-01-01T12:30:05.500"));
  Store(4, FieldValue::Null());
  EXPECT_EQ(FieldBytes(*table_, 4), std::string(8, '\0'));
}

// ---- refusals ---------------------------------------------------------------------

TEST_F(FieldValuesTest, RefusalsNameTheFieldAndTheReasonAndLeaveTheFieldAlone) {
  VRO_dBHandler& t = Open(0x03, {"NAME:C:4", "K:N:4", "D:D", "OK:L"});
  Store(1, FieldValue::OfText("keep"));
  Store(2, FieldValue::OfInteger(7));
  Store(3, FieldValue::OfText("2020-01-01"));
  Store(4, FieldValue::OfBoolean(false));
  std::string before(reinterpret_cast<const char*>(t.CurrentRecord()), static_cast<size_t>(t.RecordLength()));
  EXPECT_EQ(Refusal([&] { Store(1, FieldValue::OfText("toolong")); }),
            "Field NAME: a text of 7 bytes does not fit in 4");
  EXPECT_EQ(Refusal([&] { Store(1, FieldValue::OfText("日本")); }),
            "Field NAME: character U+65E5 (character 1) has no byte in code page 1251");
  EXPECT_EQ(Refusal([&] { Store(1, FieldValue::OfText("ab\xC3")); }), "Field NAME: malformed UTF-8 at byte 2");
  EXPECT_EQ(Refusal([&] { Store(1, FieldValue::OfInteger(5)); }), "Field NAME: type C takes a string, not a number");
  EXPECT_EQ(Refusal([&] { Store(2, FieldValue::OfText("12,5")); }), "Field K: \"12,5\" is not a number");
  EXPECT_EQ(Refusal([&] { Store(2, FieldValue::OfBoolean(true)); }),
            "Field K: type N takes a number, not a boolean");
  EXPECT_EQ(Refusal([&] { Store(2, FieldValue::OfNumber(NAN)); }), "Field K: a number must be finite");
  EXPECT_EQ(Refusal([&] { Store(3, FieldValue::OfText("2023-02-29")); }),
            "Field D: \"2023-02-29\" is not a date (YYYY-MM-DD)");
  EXPECT_EQ(Refusal([&] { Store(3, FieldValue::OfText("07.12.2026")); }),
            "Field D: \"07.12.2026\" is not a date (YYYY-MM-DD)");
  EXPECT_EQ(Refusal([&] { Store(4, FieldValue::OfText("maybe")); }),
            "Field OK: \"maybe\" is not a logical value (true, false, T, F, Y, N)");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.CurrentRecord()), before.size()), before);
  // Text that fits once its trailing blanks are gone is taken.
  Store(1, FieldValue::OfText("abcd    "));
  EXPECT_EQ(FieldBytes(t, 1), "abcd");
}

TEST_F(FieldValuesTest, NumbersTooLargeAreTheEnginesRefusal) {
  VRO_dBHandler& t = Open(0x03, {"P:N:6:2"});
  try {
    Store(1, FieldValue::OfNumber(123456.7));
    FAIL() << "not refused";
  } catch (const EVelorinError& e) {
    EXPECT_STREQ(e.what(), "Number too large to fit in field - P - 123456.70");
  }
  EXPECT_EQ(FieldBytes(t, 1), "  0.00");
}

TEST_F(FieldValuesTest, MachineValueRefusals) {
  Open(0x30, {"I:I", "T:T"});
  EXPECT_EQ(Refusal([&] { Store(1, FieldValue::OfNumber(1.5)); }), "Field I: 1.5 is not a whole number");
  EXPECT_EQ(Refusal([&] { Store(1, FieldValue::OfInteger(1LL << 31)); }),
            "Field I: 2147483648 is outside the range of a 32-bit integer");
  for (const char* bad : {"2023-05-06T25:00:00", "2023-05-06X10:00", "2023-05-06T10", "2023-05-06T10:00:00.1234",
                          "2023-13-06", "2023-05-06T10:00:00Z"}) {
    EXPECT_EQ(Refusal([&] { Store(2, FieldValue::OfText(bad)); }),
              "Field T: \"" + std::string(bad) + "\" is not a date and time (YYYY-MM-DDTHH:MM:SS.mmm)");
  }
}

// ---- memo fields --------------------------------------------------------------------

TEST_F(FieldValuesTest, MemoTextAndBytesGoThroughTheMemoFile) {
  for (uint8_t version : {0x83, 0x8B, 0xF5, 0x30}) {
    SCOPED_TRACE(version);
    bool hasGeneral = version != 0x83;
    std::vector<std::string> fields = {"NOTE:M"};
    if (hasGeneral) fields.push_back("PIC:G");
    Open(version, fields);
    Store(1, FieldValue::OfText("Заметка\nвторая строка"));
    if (hasGeneral) Store(2, FieldValue::OfText(Base64Encode(std::string("\0\x01\xFF", 3))));
    AppendAndReread();
    EXPECT_EQ(Read(1), FieldValue::OfText("Заметка\nвторая строка"));
    if (hasGeneral) {
      EXPECT_EQ(Read(2), FieldValue::OfBytes(std::string("\0\x01\xFF", 3)));
    }
    Store(1, FieldValue::OfText(""));  // no memo any more
    EXPECT_EQ(Read(1), FieldValue::OfText(""));
    if (hasGeneral) {
      EXPECT_EQ(Refusal([&] { Store(2, FieldValue::OfText("not base64!")); }),
                "Field PIC: \"not base64!\" is not Base64");
      Store(2, FieldValue::OfBytes("raw"));
      EXPECT_EQ(Read(2), FieldValue::OfBytes("raw"));
    }
    table_.reset();
  }
}

TEST_F(FieldValuesTest, VisualFoxProBinaryIsADoubleNotAMemo) {
  Open(0x30, {"B:B"});
  Store(1, FieldValue::OfText("2.5"));
  EXPECT_EQ(Read(1), FieldValue::OfNumber(2.5));
}

// ---- text and JSON forms --------------------------------------------------------------

TEST(FieldValueForms, TextAndJson) {
  EXPECT_EQ(FieldValueText(FieldValue::Null()), "");
  EXPECT_EQ(FieldValueText(FieldValue::OfInteger(-12)), "-12");
  EXPECT_EQ(FieldValueText(FieldValue::OfNumber(0.1)), "0.1");
  EXPECT_EQ(FieldValueText(FieldValue::OfNumber(12.3456)), "12.3456");
  EXPECT_EQ(FieldValueText(FieldValue::OfBoolean(true)), "true");
  EXPECT_EQ(FieldValueText(FieldValue::OfBytes("\xFF")), "/w==");
  EXPECT_EQ(FieldValueJson(FieldValue::OfNumber(INFINITY)).dump(), "null");
  EXPECT_EQ(FieldValueJson(FieldValue::OfBytes("ab")).dump(), "\"YWI=\"");
  EXPECT_EQ(FieldValueJson(FieldValue::OfInteger(5)).dump(), "5");
  EXPECT_EQ(FieldValueFromJson(nlohmann::json::parse("18446744073709551615"), "X").kind, ValueKind::Number);
  EXPECT_EQ(FieldValueFromJson(nlohmann::json::parse("-3"), "X"), FieldValue::OfInteger(-3));
  EXPECT_EQ(FieldValueFromJson(nlohmann::json::parse("2.5"), "X"), FieldValue::OfNumber(2.5));
  EXPECT_EQ(FieldValueFromJson(nlohmann::json::parse("false"), "X"), FieldValue::OfBoolean(false));
  EXPECT_THROW(FieldValueFromJson(nlohmann::json::parse("[1]"), "X"), FieldValueError);
  EXPECT_THROW(FieldValueFromJson(nlohmann::json::parse("{}"), "X"), FieldValueError);
}

TEST(FieldValueForms, CodePageChoice) {
  EXPECT_EQ(ChooseCodePage("", 0x26), 866);
  EXPECT_EQ(ChooseCodePage("", 0x65), 866);
  EXPECT_EQ(ChooseCodePage("", 0xC9), 1251);
  EXPECT_EQ(ChooseCodePage("", 0x00), platform::ActiveLocale().AnsiCodePage());
  EXPECT_EQ(ChooseCodePage("", 0x03), platform::ActiveLocale().AnsiCodePage());
  EXPECT_EQ(ChooseCodePage("1251", 0x65), 1251);
  EXPECT_EQ(ChooseCodePage("866", 0xC9), 866);
  EXPECT_EQ(ChooseCodePage("none", 0xC9), platform::kNoCodePage);
}

TEST(Base64, EncodesAndDecodesEveryLength) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  for (size_t n = 0; n <= all.size(); n += 37) {
    std::string back;
    ASSERT_TRUE(Base64Decode(Base64Encode(all.substr(0, n)), &back));
    EXPECT_EQ(back, all.substr(0, n));
  }
}

TEST(Base64, RefusesWhatIsNotCanonicalBase64) {
  std::string out;
  for (const char* bad : {"Zg=", "Zg", "Z===", "Zh==", "Zm9=", "Zm9v\n", "Zm$v", "=Zm9", "Zg==Zg==", "Zm 9v"}) {
    EXPECT_FALSE(Base64Decode(bad, &out)) << bad;
  }
  EXPECT_TRUE(Base64Decode("", &out));
  EXPECT_TRUE(out.empty());
}

TEST(ProgressBarLine, ShowsBarPercentageAndCounts) {
  EXPECT_EQ(ProgressBar::Line("Packing", 10, 0, 4), "Packing [          ]   0% 0/4");
  EXPECT_EQ(ProgressBar::Line("Packing", 10, 1, 4), "Packing [##        ]  25% 1/4");
  EXPECT_EQ(ProgressBar::Line("Packing", 10, 4, 4), "Packing [##########] 100% 4/4");
  EXPECT_EQ(ProgressBar::Line("Packing", 10, 9, 4), "Packing [##########] 100% 4/4");
  EXPECT_EQ(ProgressBar::Line("Packing", 10, 0, 0), "Packing [##########] 100% 0/0");
}

TEST(ProgressBarLine, RedrawsOnlyWhenTheBarChanges) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ProgressBar bar(out, "P", 4);
  bar.Start(1000);
  for (int i = 1; i <= 1000; ++i) bar.Advance(i);
  bar.Finish();
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  // 0% and every percent up to 100, the final redraw, one newline.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 102);
  EXPECT_EQ(text.substr(text.rfind('\r')), "\rP [####] 100% 1000/1000\n");
}

}  // namespace
}  // namespace velorin::tools
