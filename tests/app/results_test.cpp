// The results: the purge of old ones when a test ends, the results window's grid
// over INFO.DBF, and the message dialog.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTableView>

#include "app/InfoFormUnit.h"
#include "app/KazFormUnit.h"
#include "app/MainUnit.h"
#include "app/TestUnit.h"
#include "app_fixture.h"

namespace velorin::testing {
namespace {

ResultRecord Result(const QString& name, const QDate& day) {
  return ResultRecord{name, QStringLiteral("1"), 5, 4, DateText(day)};
}

QStringList StoredResultNames(const std::string& path) {
  const StoredTable table = ReadStoredTable(path);
  QStringList names;
  for (size_t i = 0; i < table.records.size(); ++i) {
    EXPECT_FALSE(table.records[i].deleted) << "record " << i + 1 << " left deleted";
    names.append(QString::fromStdString(table.Field(i, "NAME")));
  }
  return names;
}

class PurgeTest : public ProgramTest {
 protected:
  // Takes a one-question test as "New" at the clock's time.
  void FinishOneTest() {
    MakeQuestionTable(File("His1.dbf"), NumberedQuestions(1));
    Start();
    RunScored(QStringLiteral("New"), [&](QWidget& window) {
      Choose(window, 1);
      PressNext(window);
    });
  }
  QDate Today() const { return clock_.LocalNow().date(); }
};

TEST_F(PurgeTest, OlderThan31DaysGoesAnd30DaysStays) {
  clock_.SetNow(QDateTime(QDate(2026, 3, 15), QTime(0, 1)));  // a minute past midnight
  MakeInfoTable(File("INFO.DBF"), {Result(QStringLiteral("Keep30"), Today().addDays(-30)),
                                   Result(QStringLiteral("Gone31"), Today().addDays(-31)),
                                   Result(QStringLiteral("Today"), Today())});
  FinishOneTest();
  EXPECT_EQ(StoredResultNames(File("INFO.DBF")),
            (QStringList{QStringLiteral("Keep30"), QStringLiteral("Today"), QStringLiteral("New")}));
}

TEST_F(PurgeTest, ExactlyThirtyOneDaysAtMidnightStays) {
  clock_.SetNow(QDateTime(QDate(2026, 3, 15), QTime(0, 0)));
  MakeInfoTable(File("INFO.DBF"), {Result(QStringLiteral("Edge"), Today().addDays(-31))});
  FinishOneTest();
  EXPECT_EQ(StoredResultNames(File("INFO.DBF")), (QStringList{QStringLiteral("Edge"), QStringLiteral("New")}));
}

TEST_F(PurgeTest, ConsecutiveOldResultsAreAllRemoved) {
  MakeInfoTable(File("INFO.DBF"), {Result(QStringLiteral("Old1"), Today().addDays(-40)),
                                   Result(QStringLiteral("Old2"), Today().addDays(-35)),
                                   Result(QStringLiteral("Keep"), Today().addDays(-3)),
                                   Result(QStringLiteral("Old3"), Today().addDays(-100)),
                                   Result(QStringLiteral("Old4"), Today().addDays(-32))});
  FinishOneTest();
  EXPECT_EQ(StoredResultNames(File("INFO.DBF")), (QStringList{QStringLiteral("Keep"), QStringLiteral("New")}));
}

TEST_F(PurgeTest, EveryResultOldLeavesOnlyTheNewOne) {
  MakeInfoTable(File("INFO.DBF"), {Result(QStringLiteral("Old1"), Today().addDays(-40)),
                                   Result(QStringLiteral("Old2"), Today().addDays(-33))});
  FinishOneTest();
  EXPECT_EQ(StoredResultNames(File("INFO.DBF")), QStringList{QStringLiteral("New")});
  EXPECT_EQ(ReadStoredTable(File("INFO.DBF")).headerCount, 1u);
}

TEST_F(PurgeTest, EmptyDateCountsAsTheZeroDateAndGoes) {
  MakeInfoTable(File("INFO.DBF"), {ResultRecord{QStringLiteral("NoDate"), QStringLiteral("2"), 3, 1, std::string(8, ' ')},
                                   Result(QStringLiteral("Keep"), Today())});
  FinishOneTest();
  EXPECT_EQ(StoredResultNames(File("INFO.DBF")), (QStringList{QStringLiteral("Keep"), QStringLiteral("New")}));
}

TEST_F(PurgeTest, DirectlyOnTheDataset) {
  MakeInfoTable(File("INFO.DBF"), {Result(QStringLiteral("A"), QDate(2026, 1, 1)),
                                   Result(QStringLiteral("B"), QDate(2026, 2, 20)),
                                   Result(QStringLiteral("C"), QDate(2025, 12, 1))});
  TVelorinDataSet info;
  info.SetTableName("INFO.DBF");
  info.SetExclusive(true);
  info.Open();
  PurgeOldResults(info, QDateTime(QDate(2026, 3, 1), QTime(12, 0)));
  info.Close();
  EXPECT_EQ(StoredResultNames(File("INFO.DBF")), QStringList{QStringLiteral("B")});
}

using ResultsWindow = ProgramTest;

TEST_F(ResultsWindow, EmptyTableShowsTheTitlesAndNoRows) {
  Start();
  driver_->Then(QStringLiteral("InfoForm"), [&](QWidget& window) {
    auto& grid = Control<QTableView>(window, "DBGrid1");
    ASSERT_NE(grid.model(), nullptr);
    EXPECT_EQ(grid.model()->rowCount(), 0);
    QStringList titles;
    for (int i = 0; i < grid.model()->columnCount(); ++i) {
      titles.append(grid.model()->headerData(i, Qt::Horizontal).toString());
    }
    EXPECT_EQ(titles, (QStringList{QStringLiteral("ИМЯ"), QStringLiteral("ВАРИАНТ"), QStringLiteral("ВОПРОСЫ"),
                                   QStringLiteral("ОТВЕТЫ"), QStringLiteral("ДАТА")}));
    EXPECT_EQ(grid.horizontalHeader()->sectionSize(0), 176);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Результаты"));
    Click(window, "CloseBtn");
    EXPECT_FALSE(window.isVisible());
  });
  Click(MainWindow(), "kxShapeBtn3");
  EXPECT_TRUE(driver_->AllScriptsRan());
}

TEST_F(ResultsWindow, ShowsTheResultOfTheTestJustTaken) {
  MakeInfoTable(File("INFO.DBF"), {ResultRecord{QStringLiteral("Анна"), QStringLiteral("2"), 30, 27, "20260310"}});
  MakeQuestionTable(File("His1.dbf"), NumberedQuestions(1));
  Start();
  RunScored(QStringLiteral("Борис"), [&](QWidget& window) {
    Choose(window, RightLine(window));
    PressNext(window);
  });
  driver_->Then(QStringLiteral("InfoForm"), [&](QWidget& window) {
    const QAbstractItemModel& model = *Control<QTableView>(window, "DBGrid1").model();
    ASSERT_EQ(model.rowCount(), 2);
    auto cell = [&](int row, int column) { return model.index(row, column).data().toString(); };
    EXPECT_EQ((QStringList{cell(0, 0), cell(0, 1), cell(0, 2), cell(0, 3), cell(0, 4)}),
              (QStringList{QStringLiteral("Анна"), QStringLiteral("2"), QStringLiteral("30"), QStringLiteral("27"),
                           QStringLiteral("10.03.2026")}));
    EXPECT_EQ((QStringList{cell(1, 0), cell(1, 1), cell(1, 2), cell(1, 3), cell(1, 4)}),
              (QStringList{QStringLiteral("Борис"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
                           QStringLiteral("15.03.2026")}));
    // Column fonts and colours.
    EXPECT_EQ(model.index(0, 0).data(Qt::FontRole).value<QFont>().pixelSize(), 17);
    EXPECT_EQ(model.index(0, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 128));
    EXPECT_EQ(model.index(0, 3).data(Qt::ForegroundRole).value<QColor>(), QColor(128, 0, 0));
    EXPECT_FALSE(model.index(0, 2).data(Qt::FontRole).isValid());
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>().pixelSize(), 15);
    EXPECT_EQ(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("►"));
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    Click(window, "CloseBtn");
  });
  Click(MainWindow(), "kxShapeBtn3");
  EXPECT_TRUE(driver_->AllScriptsRan());
}

using MessageDialog = ProgramTest;

TEST_F(MessageDialog, KeepsItsSizeForTextThatFitsAndBreaksTheLineAtACarriageReturn) {
  Start();
  TKazForm& dialog = program_->KazForm();
  const QSize size = dialog.size();
  auto& label = Control<TkxLabel>(dialog, "QLabel");
  const QRect area = label.rect();
  const QRect oneLine = label.TextOptions().TextRect(area, QStringLiteral("Время: 0:12:05"), label.font());
  const QRect twoLines =
      label.TextOptions().TextRect(area, QStringLiteral("Время:\r0:12:05"), label.font());
  EXPECT_GT(twoLines.height(), oneLine.height() * 3 / 2);

  const QString longText = QString(QStringLiteral("Очень длинное сообщение ")).repeated(10);
  driver_->ClearMessages();
  ShowMessageDialog(longText);
  // Longer than three lines: the label and the dialog grow so that no line is cut
  // off, and the button stays below the text.
  EXPECT_EQ(dialog.width(), size.width());
  EXPECT_GT(dialog.height(), size.height());
  const QRect text = label.TextOptions().TextRect(label.rect(), longText, label.font());
  EXPECT_LE(text.bottom(), label.height());
  EXPECT_GE(Control(dialog, "kxShapeBtn2").y(), label.geometry().bottom());
  EXPECT_EQ(dialog.Message(), longText);
  ShowMessageDialog(QStringLiteral("Второе"));
  EXPECT_EQ(dialog.Message(), QStringLiteral("Второе"));
  EXPECT_EQ(driver_->MessageTexts(), (QStringList{longText, QStringLiteral("Второе")}));
  EXPECT_EQ(dialog.size(), size);
}

TEST_F(MessageDialog, EnterOnItsButtonClosesIt) {
  Start();
  TKazForm& dialog = program_->KazForm();
  // Not through the driver's button click: the person presses Enter.
  dialog.SetMessage(QStringLiteral("Текст"));
  dialog.show();
  ActivateWindow(dialog);
  EXPECT_TRUE(Control<QWidget>(dialog, "kxShapeBtn2").hasFocus());
  PressKey(dialog, Qt::Key_Return);
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace velorin::testing
