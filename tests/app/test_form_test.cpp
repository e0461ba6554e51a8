// The test window: a scored test taken to its end, the answer view, the prompts,
// the keys and the ways out; the tables are checked afterwards.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QImage>
#include <QRadioButton>
#include <QTest>

#include "app/TestUnit.h"
#include "app_fixture.h"

namespace velorin::testing {
namespace {

using ScoredTest = ProgramTest;

TEST_F(ScoredTest, TakenToTheEndRecordsOneResultAndReportsScoreAndTime) {
  draw_.lines = {2, 5, 1, 3, 4};
  Start();
  const QDate today = clock_.LocalNow().date();
  QStringList seen;
  RunScored(QStringLiteral("Иванова"), [&](QWidget& window) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Тестирование"));
    EXPECT_EQ(StatusText(window, 0), QStringLiteral("Общее количество вопросов: 5"));
    EXPECT_EQ(StatusText(window, 1), QStringLiteral("Правильно отвечено: 0"));
    EXPECT_EQ(CheckedLine(window), 0);
    EXPECT_TRUE(Control<QRadioButton>(window, "RadioItemA").hasFocus());
    // Right, right, wrong, right, wrong.
    const bool answerRight[5] = {true, true, false, true, false};
    for (int question = 1; question <= 5; ++question) {
      EXPECT_EQ(QuestionNumberText(window), QStringLiteral("Вопрос №%1").arg(question));
      EXPECT_EQ(Control<TkxLabel>(window, "QuestLabel").Text(), QStringLiteral("Вопрос %1").arg(question));
      const int right = RightLine(window);
      constexpr int kScripted[5] = {2, 5, 1, 3, 4};
      EXPECT_EQ(right, kScripted[question - 1]);
      seen.append(QString::number(right));
      Choose(window, answerRight[question - 1] ? right : right % 5 + 1);
      if (question == 5) clock_.Advance((12 * 60 + 5) * 1000);
      PressNext(window);
      if (question < 5) {
        EXPECT_EQ(StatusText(window, 1),
                  QStringLiteral("Правильно отвечено: %1").arg(question <= 2 ? question : question - 1));
        EXPECT_EQ(CheckedLine(window), 0);
      }
    }
    EXPECT_FALSE(window.isVisible());
  });
  ASSERT_EQ(driver_->MessageTexts().size(), 1);
  EXPECT_EQ(driver_->MessageTexts()[0],
            QStringLiteral("Из 5 представленных вопросов Вы ответили правильно на 3\rВремя: 0:12:05"));
  EXPECT_TRUE(driver_->ErrorTexts().isEmpty());
  EXPECT_FALSE(program_->TestForm().TestTable.Active());

  const StoredTable info = ReadStoredTable(File("INFO.DBF"));
  ASSERT_EQ(info.records.size(), 1u);
  EXPECT_EQ(info.headerCount, 1u);
  EXPECT_FALSE(info.records[0].deleted);
  EXPECT_EQ(info.records[0].fields[0], Bytes(QStringLiteral("Иванова"), 866) + std::string(8, ' '));
  EXPECT_EQ(info.records[0].fields[1], "1 ");
  EXPECT_EQ(info.records[0].fields[2], "   5");
  EXPECT_EQ(info.records[0].fields[3], "   3");
  EXPECT_EQ(info.records[0].fields[4], DateText(today));
}

TEST_F(ScoredTest, ThirtyQuestionsTwentyFiveRightInTwelveMinutesFiveSeconds) {
  MakeQuestionTable(File("His1.dbf"), NumberedQuestions(30));
  Start();
  RunScored(QStringLiteral("Петров"), [&](QWidget& window) {
    for (int question = 1; question <= 30; ++question) {
      const int right = RightLine(window);
      Choose(window, question % 6 != 0 ? right : right % 5 + 1);  // questions 6, 12, ... 30 wrong
      clock_.Advance(question < 30 ? 24000 : 725000 - 29 * 24000);
      PressNext(window);
    }
  });
  EXPECT_EQ(driver_->MessageTexts(),
            QStringList{QStringLiteral("Из 30 представленных вопросов Вы ответили правильно на 25\rВремя: 0:12:05")});
  const StoredTable info = ReadStoredTable(File("INFO.DBF"));
  ASSERT_EQ(info.records.size(), 1u);
  EXPECT_EQ(info.Field(0, "COUNT"), "  30");
  EXPECT_EQ(info.Field(0, "TRUECOUNT"), "  25");
}

TEST_F(ScoredTest, ReseedsFromTheTimeOfDayBeforeEveryDraw) {
  Start();
  const int64_t start = MillisecondsOfDay(clock_.LocalNow());
  RunScored(QStringLiteral("Сидоров"), [&](QWidget& window) {
    for (int question = 1; question <= 5; ++question) {
      clock_.Advance(7);
      Choose(window, 1);
      PressNext(window);
    }
  });
  ASSERT_EQ(draw_.seeds.size(), 5u);
  for (size_t i = 0; i < draw_.seeds.size(); ++i) EXPECT_EQ(draw_.seeds[i], static_cast<uint32_t>(start + 7 * i));
  for (int count : draw_.counts) EXPECT_EQ(count, 5);
}

TEST_F(ScoredTest, AnswerLinesFollowTheOrderTable) {
  draw_.lines = {1, 2, 3, 4, 5};
  Start();
  RunScored(QStringLiteral("Орлов"), [&](QWidget& window) {
    for (int question = 1; question <= 5; ++question) {
      const QString n = QString::number(question);
      for (int line = 1; line <= 5; ++line) {
        const char field = AnswerFieldOnLine(question, line);
        const QString expected = field == 'A' ? QStringLiteral("Верно ") + n
                                              : QStringLiteral("Неверно ") + n + QLatin1Char('-') +
                                                    QString::fromUtf8(field == 'B'   ? "Б"
                                                                      : field == 'C' ? "В"
                                                                      : field == 'D' ? "Г"
                                                                                     : "Д");
        EXPECT_EQ(LineText(window, line), expected) << "question " << question << " line " << line;
      }
      Choose(window, 1);
      PressNext(window);
    }
  });
}

TEST_F(ScoredTest, NoAnswerChosenShowsThePromptAndStaysOnTheQuestion) {
  Start();
  RunScored(QStringLiteral("Котов"), [&](QWidget& window) {
    const QStringList before = {LineText(window, 1), LineText(window, 2), LineText(window, 5)};
    PressNext(window);
    EXPECT_EQ(driver_->MessageTexts(), QStringList{QStringLiteral("Вы не выбрали вариант ответа!")});
    EXPECT_EQ(QuestionNumberText(window), QStringLiteral("Вопрос №1"));
    EXPECT_EQ((QStringList{LineText(window, 1), LineText(window, 2), LineText(window, 5)}), before);
    EXPECT_EQ(CheckedLine(window), 0);
    // Enter with nothing chosen does nothing at all.
    ActivateWindow(window);
    PressKey(window, Qt::Key_Return);
    EXPECT_EQ(driver_->MessageTexts().size(), 1);
    EXPECT_EQ(QuestionNumberText(window), QStringLiteral("Вопрос №1"));
    Click(window, "CloseBtn");
  });
  EXPECT_TRUE(ReadStoredTable(File("INFO.DBF")).records.empty());
}

TEST_F(ScoredTest, EnterActsAsNextOnceEvenWithTheButtonFocused) {
  Start();
  RunScored(QStringLiteral("Лисин"), [&](QWidget& window) {
    Choose(window, RightLine(window));
    PressKey(window, Qt::Key_Return);
    EXPECT_EQ(QuestionNumberText(window), QStringLiteral("Вопрос №2"));
    EXPECT_EQ(StatusText(window, 1), QStringLiteral("Правильно отвечено: 1"));
    // With "Далее" focused, Enter still moves one question only.
    Choose(window, RightLine(window));
    Control<QWidget>(window, "OKBtn").setFocus(Qt::TabFocusReason);
    PressKey(window, Qt::Key_Return);
    EXPECT_EQ(QuestionNumberText(window), QStringLiteral("Вопрос №3"));
    // Escape does nothing: the window has no cancel button.
    PressKey(window, Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible());
    Click(window, "CloseBtn");
  });
}

TEST_F(ScoredTest, OneQuestionEndsOnTheFirstNext) {
  MakeQuestionTable(File("His1.dbf"), NumberedQuestions(1));
  Start();
  RunScored(QStringLiteral("Один"), [&](QWidget& window) {
    Choose(window, RightLine(window));
    PressNext(window);
    EXPECT_FALSE(window.isVisible());
  });
  EXPECT_EQ(driver_->MessageTexts(),
            QStringList{QStringLiteral("Из 1 представленных вопросов Вы ответили правильно на 1\rВремя: 0:00:00")});
  EXPECT_EQ(ReadStoredTable(File("INFO.DBF")).records.size(), 1u);
}

TEST_F(ScoredTest, LeavingMidTestRecordsNothingAndTheNextShowingStartsAgain) {
  Start();
  RunScored(QStringLiteral("Уходящий"), [&](QWidget& window) {
    Choose(window, RightLine(window));
    PressNext(window);
    Choose(window, 2);
    Click(window, "CloseBtn");
    EXPECT_FALSE(window.isVisible());
  });
  EXPECT_FALSE(program_->TestForm().TestTable.Active());
  EXPECT_TRUE(ReadStoredTable(File("INFO.DBF")).records.empty());
  // Closing by the close box leaves the same way.
  driver_->Then(QStringLiteral("TestForm"), [&](QWidget& window) {
    EXPECT_EQ(QuestionNumberText(window), QStringLiteral("Вопрос №1"));
    EXPECT_EQ(StatusText(window, 1), QStringLiteral("Правильно отвечено: 0"));
    EXPECT_EQ(CheckedLine(window), 0);
    Choose(window, 3);
    window.close();
  });
  Click(MainWindow(), "kxShapeBtn1");
  EXPECT_TRUE(driver_->AllScriptsRan());
  EXPECT_FALSE(program_->TestForm().TestTable.Active());
  EXPECT_TRUE(ReadStoredTable(File("INFO.DBF")).records.empty());
  EXPECT_TRUE(driver_->MessageTexts().isEmpty());
}

TEST_F(ScoredTest, TheChosenVariantsTableIsOpenedOnEachShowing) {
  Start();
  Control<QComboBox>(MainWindow(), "VarCombo").setCurrentIndex(1);
  RunScored(QStringLiteral("Вариант"), [&](QWidget& window) {
    EXPECT_EQ(StatusText(window, 0), QStringLiteral("Общее количество вопросов: 3"));
    EXPECT_EQ(program_->TestForm().TestTable.TableName(), "His2.dbf");
    for (int i = 0; i < 3; ++i) {
      Choose(window, RightLine(window));
      PressNext(window);
    }
  });
  const StoredTable info = ReadStoredTable(File("INFO.DBF"));
  ASSERT_EQ(info.records.size(), 1u);
  EXPECT_EQ(info.Field(0, "VARIANT"), "2");
  EXPECT_EQ(info.Field(0, "COUNT"), "   3");
}

TEST_F(ScoredTest, MissingQuestionTableIsShownAndOnlyExitWorks) {
  std::filesystem::remove(File("His1.dbf"));
  Start();
  RunScored(QStringLiteral("Без вопросов"), [&](QWidget& window) {
    ASSERT_EQ(driver_->ErrorTexts().size(), 1);
    EXPECT_TRUE(driver_->ErrorTexts()[0].startsWith(QStringLiteral("Cannot find file ")));
    EXPECT_TRUE(driver_->ErrorTexts()[0].endsWith(QStringLiteral("His1.dbf")));
    Choose(window, 1);
    PressNext(window);
    ASSERT_EQ(driver_->ErrorTexts().size(), 2);
    EXPECT_EQ(driver_->ErrorTexts()[1], QStringLiteral("Не могу выполнить эту операцию над закрытой базой данных"));
    EXPECT_TRUE(window.isVisible());
    Click(window, "CloseBtn");
    EXPECT_FALSE(window.isVisible());
  });
  EXPECT_TRUE(ReadStoredTable(File("INFO.DBF")).records.empty());
}

TEST_F(ScoredTest, TableWhoseLastRecordIsDeletedStillEnds) {
  MakeQuestionTable(File("His1.dbf"), NumberedQuestions(4), {4});
  Start();
  RunScored(QStringLiteral("Конец"), [&](QWidget& window) {
    for (int question = 1; question <= 3; ++question) {
      EXPECT_EQ(QuestionNumberText(window), QStringLiteral("Вопрос №%1").arg(question));
      Choose(window, RightLine(window));
      PressNext(window);
    }
    EXPECT_FALSE(window.isVisible());
  });
  ASSERT_EQ(driver_->MessageTexts().size(), 1);
  EXPECT_EQ(ReadStoredTable(File("INFO.DBF")).Field(0, "TRUECOUNT"), "   3");
}

TEST_F(ScoredTest, MoreThan255RightAnswersAreCountedInFull) {
  MakeQuestionTable(File("His1.dbf"), NumberedQuestions(300));
  Start();
  RunScored(QStringLiteral("Отличник"), [&](QWidget& window) {
    for (int question = 1; question <= 300; ++question) {
      Choose(window, RightLine(window));
      PressNext(window);
    }
  });
  ASSERT_EQ(driver_->MessageTexts().size(), 1);
  EXPECT_TRUE(driver_->MessageTexts()[0].startsWith(
      QStringLiteral("Из 300 представленных вопросов Вы ответили правильно на 300\r")));
  EXPECT_EQ(ReadStoredTable(File("INFO.DBF")).Field(0, "TRUECOUNT"), " 300");
}

TEST_F(ScoredTest, ATestOfMoreThanADayShowsAllItsHours) {
  MakeQuestionTable(File("His1.dbf"), NumberedQuestions(1));
  Start();
  RunScored(QStringLiteral("Долгий"), [&](QWidget& window) {
    clock_.Advance((26 * 3600 + 3 * 60 + 4) * 1000LL);
    Choose(window, 1);
    PressNext(window);
  });
  ASSERT_EQ(driver_->MessageTexts().size(), 1);
  EXPECT_TRUE(driver_->MessageTexts()[0].endsWith(QStringLiteral("\rВремя: 26:03:04")));
}

TEST_F(ScoredTest, AResultThatCannotBeRecordedStillShowsScoreAndTimeAndSaysSo) {
  const QString score = QStringLiteral("Из 1 представленных вопросов Вы ответили правильно на 1\rВремя: 0:00:07\r");
  const struct {
    const char* what;
    QString unrecorded;
  } cases[] = {
      {"write-protected", QStringLiteral("Результат не сохранён: файл INFO.DBF открыт только для чтения.")},
      {"damaged", QStringLiteral("Результат не сохранён: файл INFO.DBF не открыт.")},
  };
  MakeQuestionTable(File("His1.dbf"), NumberedQuestions(1));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    program_.reset();
    driver_->ClearMessages();
    std::filesystem::permissions(File("INFO.DBF"), std::filesystem::perms::owner_all);
    MakeInfoTable(File("INFO.DBF"));
    if (std::string(c.what) == "damaged") {
      WriteFileBytes(File("INFO.DBF"), std::string(40, '\x03'));
      Start();
      EXPECT_EQ(driver_->ErrorTexts().size(), 1);
    } else {
      StartWithWriteProtected({"INFO.DBF"});
      EXPECT_EQ(driver_->MessageTexts().size(), 1);  // the start-up's notice
    }
    const std::string before = ReadFileBytes(File("INFO.DBF"));
    driver_->ClearMessages();
    RunScored(QStringLiteral("Неудачник"), [&](QWidget& window) {
      Choose(window, RightLine(window));
      clock_.Advance(7000);
      PressNext(window);
      EXPECT_FALSE(window.isVisible());
    });
    EXPECT_EQ(driver_->MessageTexts(), QStringList{score + c.unrecorded});
    EXPECT_TRUE(driver_->ErrorTexts().isEmpty());
    EXPECT_FALSE(program_->TestForm().TestTable.Active());
    EXPECT_EQ(ReadFileBytes(File("INFO.DBF")), before);
  }
}

TEST_F(ScoredTest, QuestionThirtysNumberIsShownWhole) {
  MakeQuestionTable(File("His1.dbf"), NumberedQuestions(30));
  Start();
  QImage shot;
  QRect labelPlace;
  RunScored(QStringLiteral("Тридцать"), [&](QWidget& window) {
    for (int question = 1; question < 30; ++question) {
      Choose(window, RightLine(window));
      PressNext(window);
    }
    const auto& label = Control<TkxLabel>(window, "QuestNoLabel");
    EXPECT_EQ(label.Text(), QStringLiteral("Вопрос №30"));
    EXPECT_GT(label.width(), QFontMetrics(label.font()).horizontalAdvance(label.Text()));
    labelPlace = label.geometry();
    shot = window.grab().toImage();
    Click(window, "CloseBtn");
  });
  // The whole text drawn where nothing clips it, as the reference for the screenshot.
  TkxLabel whole(QStringLiteral("Вопрос №30"));
  auto& shown = Control<TkxLabel>(program_->TestForm(), "QuestNoLabel");
  whole.setFont(shown.font());
  whole.SetFontColor(shown.FontColor());
  whole.SetTextOptions(shown.TextOptions());
  whole.resize(400, labelPlace.height());
  auto maroonish = [](QRgb p) { return qRed(p) > qGreen(p) + 60 && qRed(p) > qBlue(p) + 60; };
  auto rightmost = [&](const QImage& image, QPoint origin) {
    int right = -1;
    for (int y = 0; y < labelPlace.height(); ++y) {
      for (int x = 0; x < 400 && origin.x() + x < image.width(); ++x) {
        if (maroonish(image.pixel(origin.x() + x, origin.y() + y))) right = std::max(right, x);
      }
    }
    return right;
  };
  const int expected = rightmost(whole.Render(), QPoint(0, 0));
  ASSERT_GT(expected, 100);  // beyond the designed 104 pixels, "0" included
  EXPECT_EQ(rightmost(shot, labelPlace.topLeft()), expected);
}

using AnswerView = ProgramTest;

TEST_F(AnswerView, MarksTheRightLineEverywhereAndRecordsNothing) {
  MakeInfoTable(File("INFO.DBF"), {{QStringLiteral("Старый"), QStringLiteral("1"), 5, 2, "19990101"}});
  draw_.lines = {4, 1, 5, 2, 3};
  Start();
  RunAnswerView([&](QWidget& window) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Просмотр ответов"));
    EXPECT_EQ(StatusText(window, 1), QStringLiteral("Правильный ответ помечен"));
    for (int question = 1; question <= 5; ++question) {
      const int right = RightLine(window);
      EXPECT_EQ(CheckedLine(window), right) << "question " << question;
      // Clicking another item moves the mark back.
      Choose(window, right % 5 + 1);
      EXPECT_EQ(CheckedLine(window), right);
      PressNext(window);
    }
    EXPECT_FALSE(window.isVisible());
  });
  EXPECT_TRUE(driver_->Messages().empty());
  // Nothing recorded, nothing purged.
  const StoredTable info = ReadStoredTable(File("INFO.DBF"));
  ASSERT_EQ(info.records.size(), 1u);
  EXPECT_EQ(info.Field(0, "DATE"), "19990101");
}

TEST_F(AnswerView, ArrowKeysCannotMoveTheMarkEither) {
  draw_.lines = {2, 2};
  Start();
  RunAnswerView([&](QWidget& window) {
    ActivateWindow(window);
    auto& marked = Control<QRadioButton>(window, "RadioItemB");
    marked.setFocus(Qt::TabFocusReason);
    PressKey(window, Qt::Key_Down);
    EXPECT_EQ(CheckedLine(window), 2);
    PressKey(window, Qt::Key_Up);
    PressKey(window, Qt::Key_Up);
    EXPECT_EQ(CheckedLine(window), 2);
    Click(window, "CloseBtn");
  });
}

}  // namespace
}  // namespace velorin::testing
