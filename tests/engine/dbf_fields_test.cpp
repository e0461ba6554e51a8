#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "engine/vr6_DBF.h"
#include "engine/vr6_eror.h"
#include "support/table_fixture.h"
#include "support/raised_message.h"
#include "support/temp_dir.h"

namespace velorin {
namespace {

using testing::MakeTable;
using testing::TempDir;

using testing::RaisedMessage;

class FieldTest : public ::testing::Test {
 protected:
  // T.DBF: NAME C(5), N N(6,2), D D, OK L, NOTE M, QTY N(5), F F(8,3)
  void SetUp() override {
    MakeTable(path_, 0x83, {"NAME:C:5", "N:N:6:2", "D:D", "OK:L", "NOTE:M", "QTY:N:5", "F:F:8:3"});
    table_ = std::make_unique<VRO_dBaseFld>(path_, true, false);
    table_->BlankRecord();
  }
  std::string FieldBytes(int32_t n) {
    const VRFieldEntry* f = table_->Field(n);
    return std::string(reinterpret_cast<const char*>(table_->CurrentRecord() + f->Displacement),
                       static_cast<size_t>(f->Length()));
  }
  void SetBytes(int32_t n, const std::string& bytes) {
    const VRFieldEntry* f = table_->Field(n);
    std::memcpy(table_->CurrentRecord() + f->Displacement, bytes.data(), bytes.size());
  }
  TempDir dir_;
  std::string path_ = dir_.File("T.DBF");
  std::unique_ptr<VRO_dBaseFld> table_;
};

TEST_F(FieldTest, BlankRecordHoldsBlanksAndFormattedZeros) {
  EXPECT_EQ(table_->CurrentRecord()[0], ' ');
  EXPECT_EQ(FieldBytes(1), "     ");
  EXPECT_EQ(FieldBytes(2), "  0.00");
  EXPECT_EQ(FieldBytes(3), "        ");
  EXPECT_EQ(FieldBytes(6), "    0");
  EXPECT_EQ(FieldBytes(7), "   0.000");
  for (bool changed : table_->FieldChanged()) EXPECT_TRUE(changed);
}

TEST_F(FieldTest, NumbersAreFormattedRightAlignedOrRefused) {
  ASSERT_TRUE(table_->PutNumber(2, 3.14159));
  EXPECT_EQ(FieldBytes(2), "  3.14");
  ASSERT_TRUE(table_->PutNumber(2, -0.005));  // half away from zero
  EXPECT_EQ(FieldBytes(2), " -0.01");
  ASSERT_TRUE(table_->PutNumber(2, 0.125));
  EXPECT_EQ(FieldBytes(2), "  0.13");
  ASSERT_TRUE(table_->PutNumber(6, 99999));
  EXPECT_EQ(FieldBytes(6), "99999");
  EXPECT_EQ(RaisedMessage([&] { table_->PutNumber(2, 123456.7); }),
            "Number too large to fit in field - N - 123456.70");
  EXPECT_EQ(FieldBytes(2), "  0.13");  // unchanged
  EXPECT_EQ(RaisedMessage([&] { table_->PutNumber(6, std::nan("")); }), "Number too large to fit in field - QTY - NAN");
  EXPECT_EQ(RaisedMessage([&] { table_->PutNumber(1, 1); }), "dBase field is of incorrect type - ");
  EXPECT_DOUBLE_EQ(table_->GetNumber(2), 0.13);
  EXPECT_DOUBLE_EQ(table_->GetNumberByName("qty"), 99999);
}

TEST_F(FieldTest, TextIsAlignedByTypeAndCut) {
  ASSERT_TRUE(table_->PutText(1, "ABC"));
  EXPECT_EQ(FieldBytes(1), "ABC  ");
  ASSERT_TRUE(table_->PutText(6, "ABC"));
  EXPECT_EQ(FieldBytes(6), "  ABC");
  ASSERT_TRUE(table_->PutText(1, "ABCDEFG"));
  EXPECT_EQ(FieldBytes(1), "ABCDE");
  SetBytes(1, std::string("AB\0DE", 5));
  EXPECT_EQ(table_->GetText(1), "AB");  // ends at the first zero byte
  EXPECT_EQ(table_->GetTextByName("name  "), "AB");
}

TEST_F(FieldTest, LogicalsReadTheTrueLettersOnly) {
  for (const char* t : {"T", "t", "Y", "y", "J", "j"}) {
    SetBytes(4, t);
    EXPECT_TRUE(table_->GetLogical(4)) << t;
    EXPECT_EQ(table_->GetDisplay(4), "T");
  }
  for (const char* f : {"F", "N", "n", "?", " ", "x"}) {
    SetBytes(4, f);
    EXPECT_FALSE(table_->GetLogical(4)) << f;
    EXPECT_EQ(table_->GetDisplay(4), "F");
  }
  SetBytes(4, std::string(1, '\0'));  // empty text: false
  EXPECT_FALSE(table_->GetLogical(4));
  EXPECT_EQ(table_->GetDisplay(4), "F");
  ASSERT_TRUE(table_->PutLogical(4, true));
  EXPECT_EQ(FieldBytes(4), "T");
  EXPECT_EQ(RaisedMessage([&] { table_->PutLogical(1, true); }), "dBase field is of incorrect type - ");
}

TEST_F(FieldTest, DatesInStorageAndDisplayForm) {
  ASSERT_TRUE(table_->PutDate(3, 2461382));
  EXPECT_EQ(FieldBytes(3), "20261207");
  EXPECT_EQ(table_->GetDate(3), 2461382);
  EXPECT_EQ(table_->GetDisplay(3), "07.12.2026");
  ASSERT_TRUE(table_->PutDate(3, 0));
  EXPECT_EQ(FieldBytes(3), "        ");
  EXPECT_EQ(table_->GetDate(3), 0);
  EXPECT_EQ(table_->GetDisplay(3), "");
  ASSERT_TRUE(table_->PutValue(3, "08.03.2025"));
  EXPECT_EQ(FieldBytes(3), "20250308");
  EXPECT_FALSE(table_->PutDate(1, 2461382));  // not a date field
  EXPECT_EQ(RaisedMessage([&] { table_->PutDate(3, -1); }), "dBase field is of incorrect type - ");
  SetBytes(3, "1999XX01");
  EXPECT_EQ(RaisedMessage([&] { table_->GetDate(3); }),
            "dBase field is of incorrect type - Invalid date in field T->D (1999XX01)");
  EXPECT_EQ(RaisedMessage([&] { table_->GetDateByName("NAME"); }), "dBase field is of incorrect type - NAME");
}

TEST_F(FieldTest, DisplayOfNumbersAndMemos) {
  SetBytes(2, "      ");
  EXPECT_EQ(table_->GetDisplay(2), "0.00");
  SetBytes(2, " 12.50");
  EXPECT_EQ(table_->GetDisplay(2), "12.50");
  SetBytes(5, "          ");
  EXPECT_EQ(table_->GetDisplay(5), "---memo---");
  SetBytes(5, "        12");
  EXPECT_EQ(table_->GetDisplay(5), "---MEMO---");
  SetBytes(1, "  AB ");
  EXPECT_EQ(table_->GetDisplay(1), "  AB");  // leading blanks stay
}

TEST_F(FieldTest, BadNumberTextIsAnError) {
  SetBytes(6, " 1x 2");
  EXPECT_EQ(RaisedMessage([&] { table_->GetNumber(6); }),
            "dBase field is of incorrect type - Invalid number in field T->QTY ( 1x 2)");
  EXPECT_EQ(RaisedMessage([&] { table_->PutValue(6, "abc"); }), "dBase field is of incorrect type - ");
  ASSERT_TRUE(table_->PutValue(6, " 42   "));
  EXPECT_EQ(FieldBytes(6), "   42");
  ASSERT_TRUE(table_->PutValue(6, ""));
  EXPECT_EQ(FieldBytes(6), "    0");
  ASSERT_TRUE(table_->PutValue(7, "1.5"));  // F fields take the text as given
  EXPECT_EQ(FieldBytes(7), "     1.5");
}

TEST_F(FieldTest, LookupByNameAndNumber) {
  EXPECT_EQ(table_->FieldNumber("note"), 5);
  EXPECT_EQ(table_->FieldNumber("NOTE   "), 5);
  EXPECT_EQ(table_->FieldNumber("NOTEBOOKLONGER"), 0);
  EXPECT_EQ(RaisedMessage([&] { table_->FieldByName("NOPE"); }), "dBase field name is invalid - NOPE");
  EXPECT_EQ(table_->FieldOfType("F", 'N')->Number, 7);
  EXPECT_EQ(table_->FieldOfType("NOTE", 'G')->Number, 5);
  // Out of range: the empty results, no error.
  EXPECT_EQ(table_->FieldName(0), "");
  EXPECT_EQ(table_->FieldType(8), '\0');
  EXPECT_EQ(table_->FieldLength(99), 0);
  EXPECT_EQ(table_->FieldDecimals(2), 2);
  EXPECT_EQ(table_->FieldDecimals(1), 0);
  EXPECT_EQ(table_->FieldOffset(2), 6);
  EXPECT_EQ(table_->GetText(0), "");
  EXPECT_EQ(table_->GetNumber(-3), 0.0);
  EXPECT_FALSE(table_->PutText(42, "x"));
}

TEST(FieldNames, ElevenCharacterNamesHaveNoZeroByte) {
  TempDir dir;
  MakeTable(dir.File("W.DBF"), 0x03, {"ABCDEFGHIJ:C:2", "B:C:2"});
  testing::PatchFile(dir.File("W.DBF"), 64, "ABCDEFGHIJK");  // 11 characters, no terminator
  VRO_dBaseFld table(dir.File("W.DBF"), false, true);
  EXPECT_EQ(table.Field(2)->Name(), "ABCDEFGHIJK");
  EXPECT_EQ(table.FieldNumber("abcdefghijk"), 2);
  EXPECT_EQ(table.FieldNumber("ABCDEFGHIJ"), 1);
}

TEST(VisualFoxProFields, MachineValuesRoundTripByteForByte) {
  TempDir dir;
  MakeTable(dir.File("V.DBF"), 0x30, {"I:I", "B:B", "Y:Y", "T:T", "N:N:4"});
  VRO_dBaseFld table(dir.File("V.DBF"), true, false);
  table.BlankRecord();
  const uint8_t* record = table.CurrentRecord();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record + 1), 4), std::string(4, '\0'));
  ASSERT_TRUE(table.PutNumber(1, -2.9));  // truncated toward zero
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record + 1), 4), std::string("\xFE\xFF\xFF\xFF", 4));
  EXPECT_EQ(table.GetNumber(1), -2);
  ASSERT_TRUE(table.PutNumber(2, 1.5));
  EXPECT_EQ(table.GetNumber(2), 1.5);
  ASSERT_TRUE(table.PutNumber(3, 12.3456));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record + 13), 8), std::string("\x40\xE2\x01\0\0\0\0\0", 8));
  EXPECT_DOUBLE_EQ(table.GetNumber(3), 12.3456);
  // 7 December 2026 12:00 as milliseconds since the epoch day.
  double noon = (2461382.0 - 1721425.0) * 86400000.0 + 43200000.0;
  ASSERT_TRUE(table.PutNumber(4, noon));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record + 21), 8),
            std::string("\xC6\x8E\x25\x00\x00\x2E\x93\x02", 8));
  EXPECT_DOUBLE_EQ(table.GetNumber(4), noon);
  EXPECT_EQ(RaisedMessage([&] { table.PutNumber(1, 3e10); }), "Number too large to fit in field - I - 30000000000");
  std::memset(table.CurrentRecord() + 21, ' ', 8);  // blank T: the day 2415019 at midnight
  EXPECT_DOUBLE_EQ(table.GetNumber(4), (2415019.0 - 1721425.0) * 86400000.0);
}

TEST(RecordMarks, DeleteAndRecallWriteTheFlag) {
  TempDir dir;
  MakeTable(dir.File("R.DBF"), 0x03, {"A:C:2"}, {" aa", " bb"});
  {
    VRO_dBaseFld table(dir.File("R.DBF"), true, false);
    table.GoRecord(2);
    table.DeleteRecord();
    EXPECT_TRUE(table.IsDeleted());
    table.GoRecord(1);
    table.DeleteRecord();
    table.RecallRecord();
  }
  std::string bytes = testing::ReadFileBytes(dir.File("R.DBF"));
  EXPECT_EQ(bytes.substr(65, 6), " aa*bb");
}

}  // namespace
}  // namespace velorin
