#include "engine/vr6_Date.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "platform/clock.h"
#include "platform/convert_error.h"

namespace velorin {
namespace {

// std::chrono's civil calendar as an independent oracle: day 0 of the system clock
// is 1 January 1970, Julian Day Number 2440588.
int32_t OracleDayNumber(int year, int month, int day) {
  using namespace std::chrono;
  sys_days days{std::chrono::year{year} / std::chrono::month{static_cast<unsigned>(month)} /
                std::chrono::day{static_cast<unsigned>(day)}};
  return static_cast<int32_t>(days.time_since_epoch().count() + 2440588);
}

std::string ConvertMessage(const TvrDBFDate& date, std::string_view text) {
  try {
    date.TextToDayNumber(text);
  } catch (const platform::EConvertError& e) {
    return e.what();
  }
  return "(nothing raised)";
}

const TvrDBFDate kRussian{platform::ShortDateFormat("dd.MM.yyyy")};

TEST(DayNumbers, KnownDays) {
  EXPECT_EQ(DayNumberOf(1980, 1, 1), 2444240);
  EXPECT_EQ(DayNumberOf(1899, 12, 30), 2415019);
  EXPECT_EQ(DayNumberOf(2026, 12, 7), 2461382);
  EXPECT_EQ(DayNumberOf(1, 1, 1), kFirstDayNumber);
  EXPECT_EQ(DayNumberOf(9999, 12, 31), kLastDayNumber);
  EXPECT_EQ(DayNumberOf(2000, 3, 1) - DayNumberOf(2000, 2, 28), 2);  // 2000 is a leap year
  EXPECT_EQ(DayNumberOf(1900, 3, 1) - DayNumberOf(1900, 2, 28), 1);  // 1900 is not
  EXPECT_EQ(kRussian.DayOffset(), 2444240 - 29221);  // 29221: serial of 1 Jan 1980
}

TEST(DayNumbers, InvalidDatesHaveNone) {
  EXPECT_EQ(DayNumberOf(2023, 2, 30), 0);
  EXPECT_EQ(DayNumberOf(0, 1, 1), 0);
  EXPECT_EQ(DayNumberOf(10000, 1, 1), 0);
  EXPECT_EQ(DayNumberOf(2026, 13, 1), 0);
  EXPECT_EQ(DayNumberOf(2026, 0, 1), 0);
  EXPECT_EQ(DayNumberOf(2026, 1, 0), 0);
}

TEST(DayNumbers, EveryDayOfYears1To9999MatchesTheCivilCalendar) {
  int year = 0, month = 0, day = 0;
  int32_t expectedYear = 1, expectedMonth = 1, expectedDay = 1;
  for (int32_t n = kFirstDayNumber; n <= kLastDayNumber; ++n) {
    ASSERT_TRUE(kRussian.DecodeDayNumber(n, &year, &month, &day)) << n;
    ASSERT_EQ(year, expectedYear) << n;
    ASSERT_EQ(month, expectedMonth) << n;
    ASSERT_EQ(day, expectedDay) << n;
    ASSERT_EQ(DayNumberOf(year, month, day), n);
    if (day == 1 && (year % 97 == 0 || year > 9990)) {
      ASSERT_EQ(OracleDayNumber(year, month, day), n) << year << "-" << month;
    }
    // Walk the calendar independently of the arithmetic under test.
    if (++expectedDay > platform::DaysInMonth(expectedYear, expectedMonth)) {
      expectedDay = 1;
      if (++expectedMonth > 12) {
        expectedMonth = 1;
        ++expectedYear;
      }
    }
  }
  EXPECT_EQ(expectedYear, 10000);
}

TEST(DayNumbers, OutsideTheCalendarNothingDecodes) {
  int year = 7, month = 7, day = 7;
  for (int32_t n : {0, -5, kFirstDayNumber - 1, kLastDayNumber + 1, std::numeric_limits<int32_t>::max(),
                    std::numeric_limits<int32_t>::min()}) {
    EXPECT_FALSE(kRussian.DecodeDayNumber(n, &year, &month, &day)) << n;
    EXPECT_EQ(year + month + day, 0);
  }
}

TEST(DayNumbers, FromDoubleTruncatesAndChecks) {
  EXPECT_EQ(DayNumberFromDouble(2444240.0), 2444240);
  EXPECT_EQ(DayNumberFromDouble(2444240.99), 2444240);
  EXPECT_EQ(DayNumberFromDouble(0.0), 0);
  EXPECT_EQ(DayNumberFromDouble(-5.0), 0);
  EXPECT_EQ(DayNumberFromDouble(0.5), 0);
  EXPECT_EQ(DayNumberFromDouble(100.0), 0);  // before 1 January 1
  EXPECT_EQ(DayNumberFromDouble(kLastDayNumber + 1.0), 0);
  EXPECT_EQ(DayNumberFromDouble(3e9), 0);
  EXPECT_EQ(DayNumberFromDouble(-3e9), 0);
  EXPECT_EQ(DayNumberFromDouble(1e300), 0);
  EXPECT_EQ(DayNumberFromDouble(std::nan("")), 0);
  EXPECT_EQ(DayNumberFromDouble(std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(DayNumberFromDouble(1.0e100), 0);  // the expression layer's blank date
}

TEST(DateStorage, EightDigitsOrEightSpaces) {
  EXPECT_EQ(kRussian.DayNumberToStorage(2461382), "20261207");
  EXPECT_EQ(kRussian.DayNumberToStorage(2444240), "19800101");
  EXPECT_EQ(kRussian.DayNumberToStorage(kFirstDayNumber), "00010101");
  EXPECT_EQ(kRussian.DayNumberToStorage(kLastDayNumber), "99991231");
  EXPECT_EQ(kRussian.DayNumberToStorage(0), "        ");
  EXPECT_EQ(kRussian.DayNumberToStorage(-5), "        ");
  EXPECT_EQ(kRussian.DayNumberToStorage(kFirstDayNumber - 1), "        ");
  EXPECT_EQ(kRussian.DayNumberToStorage(kLastDayNumber + 1), "        ");
}

TEST(DateDisplay, ShortDateFormatWithFourDigitYear) {
  EXPECT_EQ(kRussian.DayNumberToDisplay(2461382), "07.12.2026");
  EXPECT_EQ(TvrDBFDate(platform::ShortDateFormat("dd.MM.yy")).DayNumberToDisplay(2461382), "07.12.2026");
  EXPECT_EQ(TvrDBFDate(platform::ShortDateFormat("d/M/yy")).DayNumberToDisplay(2461382), "7/12/2026");
  EXPECT_EQ(TvrDBFDate(platform::ShortDateFormat("yyyy-MM-dd")).DayNumberToDisplay(2444240), "1980-01-01");
  EXPECT_EQ(kRussian.DayNumberToDisplay(kFirstDayNumber), "01.01.0001");
  EXPECT_EQ(kRussian.DayNumberToDisplay(0), "");
  EXPECT_EQ(kRussian.DayNumberToDisplay(-5), "");
  EXPECT_EQ(kRussian.DayNumberToDisplay(kLastDayNumber + 1), "");
  EXPECT_EQ(kRussian.CenturyFlag(), 1);
}

TEST(DateDisplay, FormatWithoutYearFallsBackToRussianForm) {
  TvrDBFDate noYear{platform::ShortDateFormat("dd.MM")};
  EXPECT_EQ(noYear.DayNumberToDisplay(2461382), "07.12.2026");
  EXPECT_EQ(noYear.TextToDayNumber("07.12.2026"), 2461382);
}

TEST(TextToDayNumber, BlankTexts) {
  EXPECT_EQ(kRussian.TextToDayNumber(""), 0);
  EXPECT_EQ(kRussian.TextToDayNumber("        "), 0);
  EXPECT_EQ(kRussian.TextToDayNumber("00000000"), 0);
  EXPECT_EQ(kRussian.TextToDayNumber("00000000  "), 0);
}

TEST(TextToDayNumber, EightDigits) {
  EXPECT_EQ(kRussian.TextToDayNumber("20261207"), 2461382);
  EXPECT_EQ(kRussian.TextToDayNumber("20261207   "), 2461382);
  EXPECT_EQ(kRussian.TextToDayNumber("19800101"), 2444240);
  // Eight digits that are no date give date serial 0, not the blank date.
  EXPECT_EQ(kRussian.TextToDayNumber("20230230"), 2415019);
  EXPECT_EQ(kRussian.TextToDayNumber("00001231"), 2415019);
  EXPECT_EQ(kRussian.TextToDayNumber("20261301"), 2415019);
}

TEST(TextToDayNumber, ShortDateFormat) {
  EXPECT_EQ(kRussian.TextToDayNumber("07.12.2026"), 2461382);
  EXPECT_EQ(kRussian.TextToDayNumber("7.12.26"), 2461382);
  EXPECT_EQ(kRussian.TextToDayNumber(" 07.12.2026  "), 2461382);
  TvrDBFDate american{platform::ShortDateFormat("MM/dd/yyyy")};
  EXPECT_EQ(american.TextToDayNumber("12/07/2026"), 2461382);
  EXPECT_EQ(american.TextToDayNumber("20261207"), 2461382);
}

TEST(TextToDayNumber, OtherTextsRaiseTheConversionError) {
  EXPECT_EQ(ConvertMessage(kRussian, "31.02.2026"), "'31.02.2026' is not a valid date");
  EXPECT_EQ(ConvertMessage(kRussian, "1999XX01"), "'1999XX01' is not a valid date");
  EXPECT_EQ(ConvertMessage(kRussian, "2026120  "), "'2026120' is not a valid date");
  EXPECT_EQ(ConvertMessage(kRussian, "12/07/2026"), "'12/07/2026' is not a valid date");
  EXPECT_EQ(ConvertMessage(kRussian, "202612070"), "'202612070' is not a valid date");
}

TEST(TextToDayNumber, StorageAndDisplayFormsReadBack) {
  TvrDBFDate shortYear{platform::ShortDateFormat("d/M/yy")};
  for (int32_t n : {kFirstDayNumber, 2415019, 2444240, 2461382, 2488069, kLastDayNumber}) {
    EXPECT_EQ(kRussian.TextToDayNumber(kRussian.DayNumberToStorage(n)), n);
    EXPECT_EQ(kRussian.TextToDayNumber(kRussian.DayNumberToDisplay(n)), n);
    EXPECT_EQ(shortYear.TextToDayNumber(shortYear.DayNumberToDisplay(n)), n);
  }
}

TEST(Today, IsTheLocalDate) {
  platform::LocalDateTime before = platform::LocalNow();
  int32_t today = DBFDate().TodayDayNumber();
  platform::LocalDateTime after = platform::LocalNow();
  int32_t first = DayNumberOf(before.year, before.month, before.day);
  int32_t last = DayNumberOf(after.year, after.month, after.day);
  EXPECT_GE(today, first);
  EXPECT_LE(today, last);
  EXPECT_GT(today, DayNumberOf(2024, 1, 1));
}

TEST(ProcessDate, OneInstanceWithTheConstants) {
  EXPECT_EQ(&DBFDate(), &DBFDate());
  EXPECT_EQ(DBFDate().DayOffset(), 2415019);
  EXPECT_EQ(DBFDate().CenturyFlag(), 1);
  EXPECT_EQ(DBFDate().DayNumberToStorage(2461382), "20261207");
}

}  // namespace
}  // namespace velorin
