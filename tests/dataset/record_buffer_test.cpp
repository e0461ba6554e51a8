#include "dataset/record_buffer.h"

#include <gtest/gtest.h>

#include "engine/byte_order.h"

namespace velorin {
namespace {

TEST(Bookmarks, RightAlignedInTenCharactersAndAZeroByte) {
  EXPECT_EQ(MakeBookmark(42), std::string("        42\0", 11));
  EXPECT_EQ(MakeBookmark(1), std::string("         1\0", 11));
  EXPECT_EQ(MakeBookmark(2147483647), std::string("2147483647\0", 11));
}

TEST(Bookmarks, ReadBackAsNumbers) {
  int32_t n = 0;
  EXPECT_TRUE(BookmarkRecordNumber(MakeBookmark(42), &n));
  EXPECT_EQ(n, 42);
  EXPECT_TRUE(BookmarkRecordNumber("7", &n));
  EXPECT_EQ(n, 7);
  for (const char* bad : {"", "          ", "abc", "4 2", "-1", "99999999999", "12x"}) {
    EXPECT_FALSE(BookmarkRecordNumber(bad, &n)) << bad;
  }
}

TEST(Bookmarks, CompareAsTextsWhichIsNumericOrder) {
  EXPECT_EQ(CompareBookmarkTexts(MakeBookmark(9), MakeBookmark(10)), -1);
  EXPECT_EQ(CompareBookmarkTexts(MakeBookmark(100), MakeBookmark(99)), 1);
  EXPECT_EQ(CompareBookmarkTexts(MakeBookmark(5), MakeBookmark(5)), 0);
  EXPECT_EQ(CompareBookmarkTexts("", MakeBookmark(1)), -1);
  EXPECT_EQ(CompareBookmarkTexts(MakeBookmark(1), ""), 1);
  EXPECT_EQ(CompareBookmarkTexts("", ""), 0);
}

TEST(RecordLayout, ImageThenCalculatedValuesThenInformationThenBookmark) {
  TStringField text("LABEL", 20);
  TSmallintField small("S");
  TFloatField number("F");
  TRecordLayout layout(33, {&text, &small, &number});
  EXPECT_EQ(layout.CalcOffset(0), 33u);
  EXPECT_EQ(layout.CalcOffset(1), 33u + 1 + 21);
  EXPECT_EQ(layout.CalcOffset(2), 33u + 1 + 21 + 1 + 2);
  EXPECT_EQ(layout.InfoOffset(), 33u + 22 + 3 + 9);
  EXPECT_EQ(layout.BookmarkOffset(), layout.InfoOffset() + 8);
  EXPECT_EQ(layout.BlockSize(), layout.InfoOffset() + 8 + 11);
}

TEST(RecordLayout, TheInformationHoldsNumberFlagAndBookmark) {
  TRecordLayout layout(10, {});
  TRecordBuffer buffer;
  buffer.Allocate(layout);
  buffer.SetInfo(layout, 42, TBookmarkFlag::Current);
  const uint8_t* info = buffer.Image() + layout.InfoOffset();
  EXPECT_EQ(byte_order::GetLE32(info), 42u);
  EXPECT_EQ(info[5], 0);  // the bookmark flag at the sixth byte
  EXPECT_EQ(buffer.RecordNumber(layout), 42);
  EXPECT_EQ(buffer.Bookmark(layout), MakeBookmark(42));
  buffer.SetInfo(layout, 0, TBookmarkFlag::Inserted);
  EXPECT_EQ(buffer.Image()[layout.InfoOffset() + 5], 3);
  EXPECT_EQ(buffer.BookmarkFlag(layout), TBookmarkFlag::Inserted);
  EXPECT_EQ(buffer.Bookmark(layout), "");  // a record not yet stored has none
}

}  // namespace
}  // namespace velorin
