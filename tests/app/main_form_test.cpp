// The main window: start-up, the recent names in NAME.DBF and the buttons.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "app/KazFormUnit.h"
#include "app/MainUnit.h"
#include "app_fixture.h"
#include "platform/code_page.h"
#include "support/child_process.h"
#include "engine/table_creator.h"

namespace velorin::testing {
namespace {

QStringList ListedNames(QWidget& main) {
  auto& box = Control<QComboBox>(main, "ComboName");
  QStringList names;
  for (int i = 0; i < box.count(); ++i) names.append(box.itemText(i));
  return names;
}

QStringList StoredNames(const std::string& path) {
  const StoredTable table = ReadStoredTable(path);
  QStringList names;
  for (size_t i = 0; i < table.records.size(); ++i) {
    if (table.records[i].deleted) continue;
    names.append(QString::fromStdString(platform::ToUtf8(table.Field(i, "NAME"), 866)));
  }
  return names;
}

QStringList Names(int from, int to) {
  QStringList names;
  for (int i = from; i <= to; ++i) names.append(QStringLiteral("Имя %1").arg(i));
  return names;
}

using MainStartUp = ProgramTest;

TEST_F(MainStartUp, OpensBothTablesExclusivelyAndSelectsTheFirstVariant) {
  Start();
  EXPECT_TRUE(Main().NameTable.Active());
  EXPECT_TRUE(Main().InfoTable.Active());
  EXPECT_TRUE(Main().NameTable.Exclusive());
  EXPECT_TRUE(Main().InfoTable.Exclusive());
  EXPECT_EQ(Main().VariantText(), QStringLiteral("1"));
  EXPECT_FALSE(Main().TestingMode());
  EXPECT_TRUE(Main().LastExitName().isEmpty());
  EXPECT_TRUE(driver_->Messages().empty());
  EXPECT_EQ(MainWindow().windowTitle(), QStringLiteral("Программа  тестирования"));
}

TEST_F(MainStartUp, MissingNameTableIsShownAndLeavesInfoTableClosed) {
  std::filesystem::remove(File("NAME.DBF"));
  Start();
  ASSERT_EQ(driver_->ErrorTexts().size(), 1);
  EXPECT_EQ(driver_->ErrorTexts()[0].toStdString(), "Cannot find file " + File("NAME.DBF"));
  EXPECT_EQ(driver_->Messages()[0].title, QStringLiteral("Тестирование"));
  EXPECT_FALSE(Main().NameTable.Active());
  EXPECT_FALSE(Main().InfoTable.Active());
  // The program goes on: the other windows exist and a button still works.
  Click(MainWindow(), "kxShapeBtn4");
  ASSERT_EQ(driver_->MessageTexts().size(), 1);
  EXPECT_EQ(driver_->MessageTexts()[0], TMainForm::CreditText());
}

TEST_F(MainStartUp, ResultsTableOfWrongKindsIsRefused) {
  TableSpec tableLayout;
  tableLayout.codePage = 866;
  for (const char* field : {"NAME:C:15", "VARIANT:C:2", "COUNT:C:4", "TRUECOUNT:N:4", "DATE:D"}) {
    tableLayout.fields.push_back(ParseFieldSpec(field));
  }
  CreateTable(File("INFO.DBF"), tableLayout);
  Start();
  ASSERT_EQ(driver_->ErrorTexts().size(), 1);
  EXPECT_TRUE(driver_->ErrorTexts()[0].contains(QStringLiteral("Неправильный тип для поля")))
      << driver_->ErrorTexts()[0].toStdString();
  EXPECT_TRUE(Main().NameTable.Active());
  EXPECT_FALSE(Main().InfoTable.Active());
}

TEST_F(MainStartUp, SecondCopyCannotOpenTheTablesWhileTheFirstRuns) {
  Start();
  for (const char* name : {"NAME.DBF", "INFO.DBF"}) {
    std::string output;
    EXPECT_EQ(RunCommand(std::string(VELORIN_DBF_TOOL) + " info " + File(name) + " 2>&1", &output), 1)
        << name << ": " << output;
  }
}

TEST_F(MainStartUp, WriteProtectedTablesAreAnnouncedOnceAndLeftAlone) {
  const struct {
    std::vector<std::string> tables;
    const char* notice;
  } cases[] = {
      {{"NAME.DBF"}, "Файл NAME.DBF открыт только для чтения: имена сохраняться не будут."},
      {{"INFO.DBF"}, "Файл INFO.DBF открыт только для чтения: результаты сохраняться не будут."},
      {{"NAME.DBF", "INFO.DBF"},
       "Файлы NAME.DBF и INFO.DBF открыты только для чтения: имена и результаты сохраняться не будут."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.notice);
    program_.reset();
    driver_->ClearMessages();
    std::filesystem::permissions(File("NAME.DBF"), std::filesystem::perms::owner_all);
    MakeNameTable(File("NAME.DBF"), Names(1, 10));
    StartWithWriteProtected(c.tables);
    EXPECT_EQ(driver_->Messages().size(), 1u);
    EXPECT_EQ(driver_->MessageTexts(), QStringList{QString::fromUtf8(c.notice)});
    const bool namesProtected = c.tables.front() == "NAME.DBF";
    EXPECT_EQ(Main().NameTable.ReadOnly(), namesProtected);
    EXPECT_EQ(Main().InfoTable.ReadOnly(), !namesProtected || c.tables.size() == 2);
    // Entering and leaving the name box: a protected table is neither trimmed nor
    // added to, and nothing more is said.
    EnterName(QStringLiteral("Новый"));
    EXPECT_EQ(driver_->Messages().size(), 1u);
    ASSERT_TRUE(TabTo(MainWindow(), "ComboName"));
    EXPECT_EQ(ListedNames(MainWindow()).size(), namesProtected ? 10 : 9);
    EXPECT_EQ(StoredNames(File("NAME.DBF")).size(), namesProtected ? 10 : 9);
    EXPECT_EQ(driver_->Messages().size(), 1u);
  }
}

using RecentNames = ProgramTest;

TEST_F(RecentNames, TwelveNamesListElevenOnEntryThenOneFewerEachTimeUntilEight) {
  MakeNameTable(File("NAME.DBF"), Names(1, 12));
  Start();
  ASSERT_TRUE(TabTo(MainWindow(), "ComboName"));
  EXPECT_EQ(ListedNames(MainWindow()), Names(2, 12));
  EXPECT_EQ(StoredNames(File("NAME.DBF")), Names(2, 12));
  for (int expectedFirst = 3; expectedFirst <= 5; ++expectedFirst) {
    PressKey(MainWindow(), Qt::Key_Tab);
    ASSERT_TRUE(TabTo(MainWindow(), "ComboName"));
    EXPECT_EQ(ListedNames(MainWindow()), Names(expectedFirst, 12));
  }
  // Eight names stay eight.
  PressKey(MainWindow(), Qt::Key_Tab);
  ASSERT_TRUE(TabTo(MainWindow(), "ComboName"));
  EXPECT_EQ(ListedNames(MainWindow()), Names(5, 12));
  EXPECT_EQ(StoredNames(File("NAME.DBF")), Names(5, 12));
  EXPECT_EQ(ReadStoredTable(File("NAME.DBF")).records.size(), 8u);  // packed
}

TEST_F(RecentNames, EnteringKeepsTheTypedText) {
  MakeNameTable(File("NAME.DBF"), {QStringLiteral("Анна")});
  Start();
  EnterName(QStringLiteral("Борис"));
  ASSERT_TRUE(TabTo(MainWindow(), "ComboName"));
  EXPECT_EQ(Main().NameText(), QStringLiteral("Борис"));
  EXPECT_EQ(ListedNames(MainWindow()), (QStringList{QStringLiteral("Анна"), QStringLiteral("Борис")}));
}

TEST_F(RecentNames, NewNameOnEmptyTableIsAppendedOnceInOem) {
  Start();
  EnterName(QStringLiteral("Ёлкин"));
  const StoredTable table = ReadStoredTable(File("NAME.DBF"));
  ASSERT_EQ(table.records.size(), 1u);
  EXPECT_EQ(table.headerCount, 1u);
  EXPECT_EQ(table.Field(0, "NAME"), Bytes(QStringLiteral("Ёлкин"), 866));
  EXPECT_EQ(Main().LastExitName(), QStringLiteral("Ёлкин"));
}

TEST_F(RecentNames, KnownNameIsNotStoredAndNewOneGoesAtTheEnd) {
  MakeNameTable(File("NAME.DBF"), {QStringLiteral("Анна"), QStringLiteral("Борис")});
  Start();
  EnterName(QStringLiteral("Анна"));
  EXPECT_EQ(StoredNames(File("NAME.DBF")), (QStringList{QStringLiteral("Анна"), QStringLiteral("Борис")}));
  EnterName(QStringLiteral("Вера"));
  EXPECT_EQ(StoredNames(File("NAME.DBF")),
            (QStringList{QStringLiteral("Анна"), QStringLiteral("Борис"), QStringLiteral("Вера")}));
}

TEST_F(RecentNames, LeavingWithUnchangedTextStoresNothing) {
  Start();
  EnterName(QStringLiteral("Глеб"));
  // Remove it behind the program's back: leaving unchanged must not store it again.
  Main().NameTable.First();
  Main().NameTable.Delete();
  Main().NameTable.Pack();
  ASSERT_TRUE(TabTo(MainWindow(), "ComboName"));
  PressKey(MainWindow(), Qt::Key_Tab);
  EXPECT_TRUE(StoredNames(File("NAME.DBF")).isEmpty());
}

TEST_F(RecentNames, BlankNameIsNeverStoredAndBlocksTheScoredTest) {
  Start();
  EnterName(QStringLiteral("   "));
  EXPECT_TRUE(ReadStoredTable(File("NAME.DBF")).records.empty());
  Click(MainWindow(), "kxShapeBtn1");
  EXPECT_EQ(driver_->MessageTexts(), QStringList{QStringLiteral("Пожалуйста, представьтесь!")});
  EXPECT_TRUE(Main().TestingMode());
}

TEST_F(RecentNames, NameWithTrailingBlanksIsAppendedAgainWhenChanged) {
  Start();
  EnterName(QStringLiteral("Дина "));  // appended once, even on an empty table
  EXPECT_EQ(ReadStoredTable(File("NAME.DBF")).records.size(), 1u);
  EnterName(QStringLiteral("Дина"));   // equals the stored copy without its blank
  EXPECT_EQ(ReadStoredTable(File("NAME.DBF")).records.size(), 1u);
  EnterName(QStringLiteral("Дина "));  // never equals it
  EXPECT_EQ(StoredNames(File("NAME.DBF")), (QStringList{QStringLiteral("Дина"), QStringLiteral("Дина")}));
}

TEST_F(RecentNames, NameOutsideTheCodePageIsRefusedWithAMessage) {
  Start();
  EnterName(QStringLiteral("Zoë"));
  EXPECT_TRUE(ReadStoredTable(File("NAME.DBF")).records.empty());
  ASSERT_EQ(driver_->MessageTexts().size(), 1);
  EXPECT_TRUE(driver_->MessageTexts()[0].contains(QStringLiteral("«ë»"))) << driver_->MessageTexts()[0].toStdString();
  // The scored test refuses it too, before any question is asked.
  Click(MainWindow(), "kxShapeBtn1");
  EXPECT_EQ(driver_->MessageTexts().size(), 2);
  EXPECT_TRUE(ReadStoredTable(File("INFO.DBF")).records.empty());
}

TEST_F(RecentNames, OwnDropDownListIsNeitherLeavingNorEntering) {
  MakeNameTable(File("NAME.DBF"), Names(1, 9));
  Start();
  ASSERT_TRUE(TabTo(MainWindow(), "ComboName"));  // trims 9 to 8
  TypeText(MainWindow(), QStringLiteral("Новый"));
  auto& box = Control<QComboBox>(MainWindow(), "ComboName");
  box.showPopup();
  ProcessEvents();
  box.hidePopup();
  ProcessEvents();
  EXPECT_EQ(QApplication::focusWidget(), &box);
  EXPECT_EQ(StoredNames(File("NAME.DBF")), Names(2, 9));
}

TEST_F(RecentNames, MessageWindowIsNeitherLeavingNorEntering) {
  MakeNameTable(File("NAME.DBF"), Names(1, 10));
  Start();
  ASSERT_TRUE(TabTo(MainWindow(), "ComboName"));  // 10 -> 9
  TypeText(MainWindow(), QStringLiteral("Новый"));
  // A modal window opens over the box, takes the focus and closes again.
  int focusInDialog = 0;
  const auto connection = QObject::connect(qApp, &QApplication::focusChanged, [&](QWidget*, QWidget* now) {
    if (now != nullptr && now->window()->objectName() == QStringLiteral("KazForm")) ++focusInDialog;
  });
  QTimer::singleShot(0, [] { ShowMessageDialog(QStringLiteral("Сообщение")); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return driver_->MessageTexts().size() == 1; }, 10000));
  QObject::disconnect(connection);
  EXPECT_GT(focusInDialog, 0);
  ASSERT_EQ(driver_->MessageTexts().size(), 1);
  // The window manager gives the main window back its activation.
  MainWindow().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&MainWindow()));
  EXPECT_EQ(QApplication::focusWidget(), &Control<QComboBox>(MainWindow(), "ComboName"));
  EXPECT_EQ(StoredNames(File("NAME.DBF")), Names(2, 10));  // no name stored, no second trim
}

TEST_F(RecentNames, ClickingTestingWithTheBoxFocusedStoresTheNameFirst) {
  Start();
  ASSERT_TRUE(TabTo(MainWindow(), "ComboName"));
  TypeText(MainWindow(), QStringLiteral("Жанна"));
  bool started = false;
  driver_->Then(QStringLiteral("TestForm"), [&](QWidget& window) {
    started = true;
    EXPECT_EQ(StoredNames(File("NAME.DBF")), QStringList{QStringLiteral("Жанна")});
    Click(window, "CloseBtn");
  });
  Click(MainWindow(), "kxShapeBtn1");
  EXPECT_TRUE(started);
}

// Another window of the desktop takes the activation, as after a dialog has closed
// and before the person clicks into the program again.
class OtherWindow {
 public:
  OtherWindow() {
    window_.resize(100, 50);
    window_.show();
    ActivateWindow(window_);
  }
  QWidget& Window() { return window_; }

 private:
  QWidget window_;
};

// A click into an inactive window focuses the control when the window manager
// activates the window.
void ClickInto(QWidget& main, QWidget& control) {
  QTest::mouseClick(&control, Qt::LeftButton, Qt::NoModifier, control.rect().center());
  ActivateWindow(main);
}

TEST_F(RecentNames, ClickingIntoTheBoxAfterADialogClosedRefillsTheList) {
  MakeNameTable(File("NAME.DBF"), Names(1, 3));
  Start();
  Click(MainWindow(), "kxShapeBtn4");
  ASSERT_EQ(driver_->MessageTexts().size(), 1);
  EXPECT_TRUE(ListedNames(MainWindow()).isEmpty());
  {
    OtherWindow other;
    ASSERT_NE(QApplication::activeWindow(), &MainWindow());
    auto& box = Control<QComboBox>(MainWindow(), "ComboName");
    ClickInto(MainWindow(), *box.lineEdit());
  }
  EXPECT_EQ(ListedNames(MainWindow()), Names(1, 3));
}

TEST_F(RecentNames, ClickingAButtonAfterComingBackFromAnotherWindowStoresTheName) {
  Start();
  ASSERT_TRUE(TabTo(MainWindow(), "ComboName"));
  TypeText(MainWindow(), QStringLiteral("Зоя"));
  {
    OtherWindow other;
    ClickInto(MainWindow(), Control(MainWindow(), "kxShapeBtn4"));
  }
  EXPECT_EQ(StoredNames(File("NAME.DBF")), QStringList{QStringLiteral("Зоя")});
}

using MainButtons = ProgramTest;

TEST_F(MainButtons, CreditGoesThroughTheMessageDialog) {
  Start();
  Click(MainWindow(), "kxShapeBtn4");
  EXPECT_EQ(driver_->MessageTexts(), QStringList{TMainForm::CreditText()});
}

TEST_F(MainButtons, ExitClosesTheMainWindow) {
  Start();
  Click(MainWindow(), "kxShapeBtn5");
  EXPECT_FALSE(MainWindow().isVisible());
}

TEST_F(MainButtons, AnswerViewNeedsNoName) {
  Start();
  bool shown = false;
  driver_->Then(QStringLiteral("TestForm"), [&](QWidget& window) {
    shown = true;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Просмотр ответов"));
    Click(window, "CloseBtn");
  });
  Click(MainWindow(), "kxShapeBtn2");
  EXPECT_TRUE(shown);
  EXPECT_FALSE(Main().TestingMode());
  EXPECT_TRUE(driver_->Messages().empty());
}

}  // namespace
}  // namespace velorin::testing
