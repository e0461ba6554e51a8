// The field layer over damaged descriptors: lengths that do not suit the type.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/vr6_DBF.h"
#include "engine/vr6_eror.h"
#include "support/raised_message.h"
#include "support/table_fixture.h"
#include "support/temp_dir.h"

namespace velorin {
namespace {

using testing::MakeTable;
using testing::TempDir;

constexpr size_t kFirstDescriptor = 32;
constexpr size_t kDescriptorSize = 32;
constexpr size_t kLengthByte = 16;
constexpr size_t kRecordLengthOffset = 10;

// A Visual FoxPro table whose last field, of machine-value type type, claims
// length bytes: the record ends with the field, so a read or write of the
// machine value's full width would run past the record buffer.
std::unique_ptr<VRO_dBaseFld> ShortMachineField(const TempDir& dir, const std::string& type, int length) {
  std::string path = dir.File("S.DBF");
  MakeTable(path, 0x30, {"A:C:2", "X:" + type});
  testing::PatchFile(path, kFirstDescriptor + kDescriptorSize + kLengthByte, std::string(1, static_cast<char>(length)));
  int recordLength = 1 + 2 + length;
  testing::PatchFile(path, kRecordLengthOffset, std::string{static_cast<char>(recordLength), '\0'});
  return std::make_unique<VRO_dBaseFld>(path, true, false);
}

TEST(DamagedDescriptors, ShortMachineValueFieldsAreTextAndStayInsideTheRecord) {
  for (const char* type : {"I", "B", "Y", "T", "M", "G"}) {
    SCOPED_TRACE(type);
    for (int length : {1, 3}) {
      TempDir dir;
      auto table = ShortMachineField(dir, type, length);
      ASSERT_EQ(table->RecordLength(), 3 + length);
      ASSERT_EQ(table->Field(2)->Length(), length);
      table->BlankRecord();  // a machine-value field would get the number 0; this one stays blank
      EXPECT_EQ(table->GetText(2), std::string(static_cast<size_t>(length), ' '));
      EXPECT_EQ(table->GetNumber(2), 0.0);
      ASSERT_TRUE(table->PutNumber(2, 7));
      EXPECT_EQ(table->GetText(2).back(), '7');
      EXPECT_EQ(table->GetNumber(2), 7.0);
      EXPECT_EQ(testing::RaisedMessage([&] { table->PutNumber(2, 12345); }),
                "Number too large to fit in field - X - 12345");
      table->GetDisplay(2);
      table->MemoSize(2);
      EXPECT_EQ(table->CurrentRecord()[0], ' ');
    }
  }
}

TEST(DamagedDescriptors, MachineValueFieldsOfTheirWidthOrLongerHoldMachineValues) {
  TempDir dir;
  auto table = ShortMachineField(dir, "I", 6);
  table->BlankRecord();
  ASSERT_TRUE(table->PutNumber(2, -2));
  EXPECT_EQ(table->GetText(2).substr(0, 4), "\xFE\xFF\xFF\xFF");
  EXPECT_EQ(table->GetNumber(2), -2.0);
}

}  // namespace
}  // namespace velorin
