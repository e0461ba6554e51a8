#include "dataset/date_time.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

TEST(DateSerial, KnownDaysAndTheirDayNumbers) {
  EXPECT_EQ(EncodeDate(1899, 12, 30)->Value, 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1)->Value, 2.0);
  EXPECT_EQ(EncodeDate(1980, 1, 1)->Value, 29221.0);
  EXPECT_EQ(DayNumberOf(*EncodeDate(1980, 1, 1)), 2444240);
  EXPECT_EQ(DayNumberOf(TDateTime{0.0}), 2415019);
  EXPECT_EQ(DayNumberOf(*EncodeDate(2026, 12, 7)), 2461382);
  EXPECT_EQ(FromDayNumber(2444240), *EncodeDate(1980, 1, 1));
  EXPECT_EQ(EncodeDate(1, 1, 1)->Value, -693593.0);
  EXPECT_EQ(EncodeDate(9999, 12, 31)->Value, 2958465.0);
}

TEST(DateSerial, InvalidDatesAreRefused) {
  EXPECT_FALSE(EncodeDate(2023, 2, 29));
  EXPECT_TRUE(EncodeDate(2024, 2, 29));
  EXPECT_FALSE(EncodeDate(1900, 2, 29));
  EXPECT_TRUE(EncodeDate(2000, 2, 29));
  EXPECT_FALSE(EncodeDate(2023, 13, 1));
  EXPECT_FALSE(EncodeDate(2023, 0, 1));
  EXPECT_FALSE(EncodeDate(0, 1, 1));
  EXPECT_FALSE(EncodeDate(10000, 1, 1));
  EXPECT_FALSE(EncodeDate(2023, 4, 31));
  EXPECT_FALSE(EncodeDateTime({2023, 1, 1}, {24, 0, 0, 0}));
  EXPECT_FALSE(EncodeDateTime({2023, 1, 1}, {0, 60, 0, 0}));
}

TEST(DateSerial, EveryDayRoundTripsThroughTheCalendar) {
  for (int32_t serial = -693593; serial <= 2958465; serial += 37) {
    auto date = DecodeDate(TDateTime{static_cast<double>(serial)});
    ASSERT_TRUE(date) << serial;
    EXPECT_EQ(EncodeDate(date->Year, date->Month, date->Day)->Value, serial);
  }
}

TEST(DateSerial, TimeOfDayBeforeAndAfter1899) {
  auto noon = EncodeDateTime({2026, 12, 7}, {12, 30, 15, 250});
  ASSERT_TRUE(noon);
  TTimeOfDay t = DecodeTime(*noon);
  EXPECT_EQ(t.Hour, 12);
  EXPECT_EQ(t.Minute, 30);
  EXPECT_EQ(t.Second, 15);
  EXPECT_EQ(t.Millisecond, 250);

  // Before serial 0 the fraction still counts forward from midnight.
  auto early = EncodeDateTime({1899, 12, 29}, {6, 0, 0, 0});
  EXPECT_DOUBLE_EQ(early->Value, -1.25);
  auto day = DecodeDate(*early);
  EXPECT_EQ(day->Day, 29);
  EXPECT_EQ(DecodeTime(*early).Hour, 6);
  EXPECT_EQ(DayNumberOf(*early), 2415018);
}

TEST(DateSerial, RoundingToTheMillisecondCarriesIntoTheNextDay) {
  TDateTime almost{45000.0 + 0.99999999999};
  EXPECT_EQ(DecodeDate(almost)->Day, DecodeDate(TDateTime{45001.0})->Day);
  EXPECT_EQ(DecodeTime(almost).Hour, 0);
}

TEST(DateSerial, OutOfRangeAndNotANumberDecodeToNothing) {
  EXPECT_FALSE(DecodeDate(TDateTime{1e12}));
  EXPECT_FALSE(DecodeDate(TDateTime{-1e12}));
  EXPECT_FALSE(DecodeDate(TDateTime{std::numeric_limits<double>::quiet_NaN()}));
  EXPECT_EQ(DayNumberOf(TDateTime{std::numeric_limits<double>::infinity()}), 0);
  EXPECT_EQ(FormatDate(TDateTime{1e12}), "");
}

TEST(DateSerial, FieldMillisecondsCountFromYearOne) {
  // A "T" field's day 2,415,019 (four blanks) is serial 0.
  double ms = (2415019.0 - 1721425.0) * 86400000.0;
  EXPECT_EQ(FromFieldMilliseconds(ms).Value, 0.0);
  auto moment = *EncodeDateTime({2026, 12, 7}, {8, 15, 0, 500});
  double stored = ToFieldMilliseconds(moment);
  EXPECT_EQ(stored, (2461382.0 - 1721425.0) * 86400000.0 + ((8 * 60 + 15) * 60) * 1000.0 + 500.0);
  EXPECT_EQ(FormatDateTime(FromFieldMilliseconds(stored)), "07.12.2026 08:15:00");
  EXPECT_EQ(DecodeTime(FromFieldMilliseconds(stored)).Millisecond, 500);
  EXPECT_EQ(FromFieldMilliseconds(std::numeric_limits<double>::quiet_NaN()).Value, 0.0);
  EXPECT_EQ(FromFieldMilliseconds(1e30).Value, 0.0);
}

TEST(DateText, FormatsInTheRussianShortForm) {
  EXPECT_EQ(FormatDate(*EncodeDate(2026, 12, 7)), "07.12.2026");
  EXPECT_EQ(FormatDateTime(*EncodeDateTime({2026, 1, 2}, {3, 4, 5, 0})), "02.01.2026 03:04:05");
}

TEST(DateText, ParsesTheShortFormsAndNothingElse) {
  EXPECT_EQ(*ParseDateTime("07.12.2026"), *EncodeDate(2026, 12, 7));
  EXPECT_EQ(*ParseDateTime(" 7.1.2026 "), *EncodeDate(2026, 1, 7));
  EXPECT_EQ(*ParseDateTime("2026-12-07"), *EncodeDate(2026, 12, 7));
  EXPECT_EQ(*ParseDateTime("20261207"), *EncodeDate(2026, 12, 7));
  EXPECT_EQ(*ParseDateTime("07.12.2026 13:45"), *EncodeDateTime({2026, 12, 7}, {13, 45, 0, 0}));
  EXPECT_EQ(*ParseDateTime("07.12.2026 13:45:10"), *EncodeDateTime({2026, 12, 7}, {13, 45, 10, 0}));
  for (const char* bad : {"", "   ", "7.12.26", "31.02.2026", "2026-1207", "20261307", "07.12.2026x",
                          "07.12.2026 25:00", "07.12.2026 13:", "abc", "07-12-2026", "123"}) {
    EXPECT_FALSE(ParseDateTime(bad)) << bad;
  }
}

}  // namespace
}  // namespace velorin
