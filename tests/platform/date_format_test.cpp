#include "platform/date_format.h"

#include <gtest/gtest.h>

#include "platform/convert_error.h"

namespace velorin::platform {
namespace {

CalendarDate ParseOrZero(const ShortDateFormat& format, std::string_view text) {
  CalendarDate date;
  if (!format.TryParse(text, &date)) return CalendarDate{};
  return date;
}

TEST(Calendar, LeapYearsAndMonthLengths) {
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2026, 4), 30);
  EXPECT_EQ(DaysInMonth(2026, 12), 31);
  EXPECT_EQ(DaysInMonth(2026, 13), 0);
  EXPECT_EQ(DaysInMonth(2026, 0), 0);
  EXPECT_TRUE(IsValidCalendarDate(1, 1, 1));
  EXPECT_TRUE(IsValidCalendarDate(9999, 12, 31));
  EXPECT_FALSE(IsValidCalendarDate(0, 12, 31));
  EXPECT_FALSE(IsValidCalendarDate(10000, 1, 1));
  EXPECT_FALSE(IsValidCalendarDate(2026, 2, 29));
  EXPECT_FALSE(IsValidCalendarDate(2026, 1, 0));
}

TEST(ShortDateFormatPattern, UnusablePatternsFallBackToRussianForm) {
  for (const char* bad : {"", "dd.MM", "MM/yyyy", "dd.MM.yyyy dd", "ddd.MM.yyyy", "dd.MMM.yyyy",
                          "dd.MM.yyyyy", "dd.MM.yyyy hh", "dd.MM.yyyy \xD0\xB3."}) {
    EXPECT_EQ(ShortDateFormat(bad).Pattern(), "dd.MM.yyyy") << bad;
  }
  EXPECT_EQ(ShortDateFormat("d/M/yy").Pattern(), "d/M/yy");
  EXPECT_EQ(ShortDateFormat("YYYY-mm-DD").Pattern(), "YYYY-mm-DD");
}

TEST(ShortDateFormatPattern, FourDigitYearIsForcedInUpperCase) {
  EXPECT_EQ(ShortDateFormat("dd.MM.yy").WithFourDigitYear().Pattern(), "DD.MM.YYYY");
  EXPECT_EQ(ShortDateFormat("d/M/y").WithFourDigitYear().Pattern(), "D/M/YYYY");
  EXPECT_EQ(ShortDateFormat("yy-MM-dd").WithFourDigitYear().Pattern(), "YYYY-MM-DD");
  EXPECT_EQ(ShortDateFormat("dd.MM.yyyy").WithFourDigitYear().Pattern(), "DD.MM.YYYY");
  // A pattern without a year is already the fallback, so this cannot loop.
  EXPECT_EQ(ShortDateFormat("dd.MM").WithFourDigitYear().Pattern(), "DD.MM.YYYY");
}

TEST(ShortDateFormatWriting, PaddingFollowsTheRunWidths) {
  CalendarDate date{2026, 12, 7};
  EXPECT_EQ(ShortDateFormat("dd.MM.yyyy").Format(date), "07.12.2026");
  EXPECT_EQ(ShortDateFormat("d.M.yy").Format(CalendarDate{2005, 3, 4}), "4.3.05");
  EXPECT_EQ(ShortDateFormat("MM/dd/yyyy").Format(date), "12/07/2026");
  EXPECT_EQ(ShortDateFormat("yyyyMMdd").Format(date), "20261207");
  EXPECT_EQ(ShortDateFormat("DD.MM.YYYY").Format(CalendarDate{99, 1, 2}), "02.01.0099");
  EXPECT_EQ(ShortDateFormat("dd.MM.yy").WithFourDigitYear().Format(date), "07.12.2026");
}

TEST(ShortDateFormatReading, DigitCountsAreLenient) {
  ShortDateFormat russian("dd.MM.yyyy");
  EXPECT_EQ(ParseOrZero(russian, "07.12.2026"), (CalendarDate{2026, 12, 7}));
  EXPECT_EQ(ParseOrZero(russian, "7.12.2026"), (CalendarDate{2026, 12, 7}));
  EXPECT_EQ(ParseOrZero(russian, "  7.1.2026  "), (CalendarDate{2026, 1, 7}));
  EXPECT_EQ(ParseOrZero(russian, "29.02.2024"), (CalendarDate{2024, 2, 29}));
  EXPECT_EQ(ParseOrZero(russian, "01.01.0001"), (CalendarDate{1, 1, 1}));
  EXPECT_EQ(ParseOrZero(russian, "31.12.9999"), (CalendarDate{9999, 12, 31}));
  EXPECT_EQ(ParseOrZero(ShortDateFormat("MM/dd/yy"), "12/07/26"), (CalendarDate{2026, 12, 7}));
  EXPECT_EQ(ParseOrZero(ShortDateFormat("yyyyMMdd"), "20261207"), (CalendarDate{2026, 12, 7}));
  EXPECT_EQ(ParseOrZero(ShortDateFormat("DD.MM.YYYY"), "07.12.2026"), (CalendarDate{2026, 12, 7}));
}

TEST(ShortDateFormatReading, TwoDigitYearsFallIn1950To2049) {
  ShortDateFormat russian("dd.MM.yyyy");
  EXPECT_EQ(ParseOrZero(russian, "01.02.00").year, 2000);
  EXPECT_EQ(ParseOrZero(russian, "01.02.49").year, 2049);
  EXPECT_EQ(ParseOrZero(russian, "01.02.50").year, 1950);
  EXPECT_EQ(ParseOrZero(russian, "01.02.99").year, 1999);
  EXPECT_EQ(ParseOrZero(russian, "01.02.5").year, 2005);
  EXPECT_EQ(ParseOrZero(russian, "01.02.026").year, 26);
}

TEST(ShortDateFormatReading, RefusesWhatIsNotADate) {
  ShortDateFormat russian("dd.MM.yyyy");
  CalendarDate date;
  for (const char* bad : {"", " ", "31.02.2026", "29.02.2023", "00.01.2026", "01.13.2026",
                          "01.01.0000", "07/12/2026", "07.12.2026x", "07.12", "07..2026",
                          "007.12.2026", "07.12.20261", "a7.12.2026", "07.12.-2026", "07 .12.2026"}) {
    EXPECT_FALSE(russian.TryParse(bad, &date)) << bad;
  }
  try {
    russian.Parse("31.02.2026");
    FAIL() << "nothing raised";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'31.02.2026' is not a valid date");
  }
}

}  // namespace
}  // namespace velorin::platform
