// The small parts of the testing program: the answer order, the draw, durations,
// result ages, table values at the window boundary and the error place.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <array>
#include <set>

#include "app/TestUnit.h"
#include "app/answer_draw.h"
#include "app/error_guard.h"
#include "app/program_clock.h"
#include "app/table_values.h"
#include "window_driver.h"

namespace velorin {
namespace {

using testing::ModalDriver;

TEST(AnswerOrder, RightAnswerLandsOnItsLineAndEveryRowIsAPermutation) {
  for (int right = 1; right <= 5; ++right) {
    std::set<char> fields;
    for (int line = 1; line <= 5; ++line) {
      const char field = AnswerFieldOnLine(right, line);
      fields.insert(field);
      EXPECT_EQ(field == 'A', line == right) << "right " << right << " line " << line;
    }
    EXPECT_EQ(fields, (std::set<char>{'A', 'B', 'C', 'D', 'E'}));
  }
}

TEST(AnswerOrder, TableAsDefined) {
  const std::array<std::string, 5> rows = {"ACEDB", "BAEDC", "CBAED", "BEDAC", "BCDEA"};
  for (int right = 1; right <= 5; ++right) {
    std::string row;
    for (int line = 1; line <= 5; ++line) row += AnswerFieldOnLine(right, line);
    EXPECT_EQ(row, rows[static_cast<size_t>(right - 1)]);
  }
  EXPECT_THROW(AnswerFieldOnLine(0, 1), std::out_of_range);
  EXPECT_THROW(AnswerFieldOnLine(1, 6), std::out_of_range);
}

TEST(AnswerDraw, SameSeedGivesSameLine) {
  ReseededDraw draw;
  for (uint32_t seed : {0u, 1u, 43'200'000u, 86'399'999u}) {
    draw.Reseed(seed);
    const int first = draw.Draw(5);
    draw.Reseed(seed);
    EXPECT_EQ(draw.Draw(5), first);
  }
}

TEST(AnswerDraw, EveryLineAboutEquallyOftenOverManyMilliseconds) {
  ReseededDraw draw;
  std::array<int, 6> counts{};
  constexpr int kDraws = 50000;
  for (int ms = 0; ms < kDraws; ++ms) {
    draw.Reseed(static_cast<uint32_t>(36'000'000 + ms));
    const int line = draw.Draw(5);
    ASSERT_GE(line, 1);
    ASSERT_LE(line, 5);
    ++counts[static_cast<size_t>(line)];
  }
  for (int line = 1; line <= 5; ++line) {
    EXPECT_NEAR(counts[static_cast<size_t>(line)], kDraws / 5, kDraws / 50) << "line " << line;
  }
}

TEST(Duration, HoursMinutesSeconds) {
  EXPECT_EQ(FormatDuration((12 * 60 + 5) * 1000 + 999).toStdString(), "0:12:05");
  EXPECT_EQ(FormatDuration(0).toStdString(), "0:00:00");
  EXPECT_EQ(FormatDuration(-5000).toStdString(), "0:00:00");
  EXPECT_EQ(FormatDuration((9 * 3600 + 59 * 60 + 59) * 1000LL).toStdString(), "9:59:59");
  // More than a day shows all its hours.
  EXPECT_EQ(FormatDuration((25 * 3600 + 1) * 1000LL).toStdString(), "25:00:01");
}

TEST(ResultAge, CalendarDaysPlusTimeOfDay) {
  const QDate day(2026, 3, 1);
  EXPECT_DOUBLE_EQ(ResultAgeInDays(day, QDateTime(QDate(2026, 4, 1), QTime(0, 0))), 31.0);
  EXPECT_GT(ResultAgeInDays(day, QDateTime(QDate(2026, 4, 1), QTime(0, 0, 0, 1))), 31.0);
  EXPECT_DOUBLE_EQ(ResultAgeInDays(day, QDateTime(QDate(2026, 3, 31), QTime(12, 0))), 30.5);
  // The spring change of daylight saving time in between takes no hour off.
  EXPECT_DOUBLE_EQ(ResultAgeInDays(QDate(2026, 3, 20), QDateTime(QDate(2026, 4, 20), QTime(6, 0))), 31.25);
}

TEST(TableValues, Cp1251TextBothWays) {
  const QString name = QStringLiteral("Ёжиков Иван");
  const std::optional<std::string> bytes = ToTableText(name);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, std::string("\xA8\xE6\xE8\xEA\xEE\xE2 \xC8\xE2\xE0\xED"));
  EXPECT_EQ(FromTableText(*bytes), name);
}

TEST(TableValues, CharacterOutsideCp1251IsRefused) {
  QString refused;
  EXPECT_FALSE(ToTableText(QStringLiteral("Zoe 中"), &refused));
  EXPECT_EQ(refused, QStringLiteral("中"));
  EXPECT_FALSE(ToTableText(QStringLiteral("Ｘ"), &refused));
  EXPECT_EQ(refused, QStringLiteral("Ｘ"));
}

TEST(TableValues, DatesAsSerials) {
  EXPECT_EQ(FromTableDate(TDateTime{}), QDate(1899, 12, 30));
  EXPECT_EQ(FromTableDate(ToTableDate(QDate(2026, 12, 8))), QDate(2026, 12, 8));
  EXPECT_EQ(FromTableDate(TDateTime{46000.75}), QDate(1899, 12, 30).addDays(46000));
  EXPECT_EQ(ToTableDate(QDate()).Value, 0.0);
}

TEST(ErrorPlace, ShowsTheTextWithTheProgramTitleAndGoesOn) {
  ModalDriver driver;
  bool after = false;
  const bool finished = RunStep([&] {
    throw std::runtime_error("Cannot find file /tmp/x/NAME.DBF");
    after = true;
  });
  EXPECT_FALSE(finished);
  EXPECT_FALSE(after);
  ASSERT_EQ(driver.Messages().size(), 1u);
  EXPECT_EQ(driver.Messages()[0].kind.toStdString(), "error");
  EXPECT_EQ(driver.Messages()[0].title, QStringLiteral("Тестирование"));
  EXPECT_EQ(driver.Messages()[0].text, QStringLiteral("Cannot find file /tmp/x/NAME.DBF"));
  EXPECT_TRUE(RunStep([] {}));
  EXPECT_EQ(driver.Messages().size(), 1u);
}

TEST(ErrorPlace, CarriageReturnBreaksTheLine) {
  ModalDriver driver;
  RunStep([] { throw std::runtime_error("Первая строка\rвторая"); });
  ASSERT_EQ(driver.ErrorTexts().size(), 1);
  EXPECT_EQ(driver.ErrorTexts()[0], QStringLiteral("Первая строка\nвторая"));
  EXPECT_EQ(MessageText(QStringLiteral("a\r\nb\rc")), QStringLiteral("a\nb\nc"));
}

}  // namespace
}  // namespace velorin
