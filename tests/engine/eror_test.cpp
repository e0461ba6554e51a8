#include "engine/vr6_eror.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

std::string MessageOf(int32_t code, int32_t subCode, std::string_view text) {
  try {
    DefaultEngineError(code, subCode, text);
  } catch (const EVelorinError& e) {
    return e.what();
  }
  return "(nothing raised)";
}

TEST(EngineErrorMessages, TableCodesShowTextDashAndName) {
  EXPECT_EQ(MessageOf(2, 1107, "/data/INFO.DBF"), "File not found - /data/INFO.DBF");
  EXPECT_EQ(MessageOf(32, 1107, "/t.dbf"), "File access denied - /t.dbf");
  EXPECT_EQ(MessageOf(1011, 1261, "N - 1234"), "Number too large to fit in field - N - 1234");
  // An empty text still ends in " - ".
  EXPECT_EQ(MessageOf(1004, 1251, ""), "dBase field is of incorrect type - ");
}

TEST(EngineErrorMessages, UnlistedCodesShowCodeSubCodeAndCarriageReturn) {
  EXPECT_EQ(MessageOf(87, 1101, "/X.DBF"), "Velorin Error 87, SubCode 1101.\r /X.DBF");
  EXPECT_EQ(MessageOf(87, sub_code::kNone, ""), "Velorin Error 87.\r");
  EXPECT_EQ(MessageOf(221, sub_code::kNone, "a"), "Velorin Error 221.\r a");
}

TEST(EngineErrorMessages, TableHasTwentySixRowsWithShortTexts) {
  for (const auto& row : EngineErrorTexts) EXPECT_LE(std::string(row.text).size(), 43u);
  EXPECT_EQ(EngineErrorTexts[25].code, 1011);
}

}  // namespace
}  // namespace velorin
