// The window definitions: every control under its name at its design place, with
// its font, colour, text effect and tab order; the window sizes and captions; the
// fonts that stand in for Arial and Arial Narrow.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QGuiApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>

#include "app/InfoFormUnit.h"
#include "app/KazFormUnit.h"
#include "app/MainUnit.h"
#include "app/TestUnit.h"
#include "app/look_components.h"
#include "app_fixture.h"

namespace velorin::testing {
namespace {

const QColor kNavyColor(0, 0, 128);
const QColor kMaroonColor(128, 0, 0);

struct Expected {
  const char* name;
  QRect place;
  const char* family;
  int pixelSize;
  bool bold;
};

void ExpectControls(QWidget& window, const std::vector<Expected>& controls) {
  for (const Expected& e : controls) {
    QWidget& control = Control(window, e.name);
    EXPECT_EQ(control.geometry(), e.place) << e.name;
    EXPECT_EQ(control.font().family(), QString::fromLatin1(e.family)) << e.name;
    EXPECT_EQ(control.font().pixelSize(), e.pixelSize) << e.name;
    EXPECT_EQ(control.font().bold(), e.bold) << e.name;
  }
}

QStringList TabChain(QWidget& first, int steps) {
  QStringList names;
  QWidget* widget = &first;
  for (int i = 0; i < steps; ++i) {
    names.append(widget->objectName());
    do {
      widget = widget->nextInFocusChain();
    } while (widget->focusPolicy() == Qt::NoFocus || !widget->isEnabled() || widget->objectName().isEmpty() ||
             widget->objectName().startsWith(QStringLiteral("qt_")));
  }
  return names;
}

using WindowDefinition = ProgramTest;

TEST_F(WindowDefinition, MainWindow) {
  Start();
  QWidget& main = MainWindow();
  EXPECT_EQ(main.size(), QSize(396, 325));
  EXPECT_EQ(main.windowTitle(), QStringLiteral("Программа  тестирования"));
  EXPECT_TRUE(main.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(main.windowFlags() & Qt::WindowMaximizeButtonHint);
  ExpectControls(main, {
                           {"kxLabel1", QRect(24, 12, 263, 42), "Arial", 18, false},
                           {"kxLabel2", QRect(24, 68, 133, 21), "Arial", 18, false},
                           {"VarCombo", QRect(316, 18, 53, 27), "Arial", 17, false},
                           {"kxShapeBtn1", QRect(88, 114, 225, 33), "Arial", 18, false},
                           {"kxShapeBtn2", QRect(88, 154, 225, 33), "Arial", 18, false},
                           {"kxShapeBtn3", QRect(88, 194, 225, 33), "Arial", 18, false},
                           {"kxShapeBtn4", QRect(88, 234, 225, 33), "Arial", 18, false},
                           {"kxShapeBtn5", QRect(88, 274, 225, 33), "Arial", 18, false},
                           {"ComboName", QRect(164, 64, 205, 27), "Arial", 17, false},
                       });
  auto& label1 = Control<TkxLabel>(main, "kxLabel1");
  EXPECT_EQ(label1.Text(), QStringLiteral("Выберите желаемый вариант\rдля проведения тестирования:"));
  EXPECT_EQ(label1.TextOptions().Style(), TkxTextStyle::kxlsLowered);
  EXPECT_EQ(label1.FontColor(), kMaroonColor);
  EXPECT_EQ(Control<TkxLabel>(main, "kxLabel2").Text(), QStringLiteral("Представьтесь:"));
  const char* const buttons[5] = {"kxShapeBtn1", "kxShapeBtn2", "kxShapeBtn3", "kxShapeBtn4", "kxShapeBtn5"};
  const QStringList captions = {QStringLiteral("Тестирование"), QStringLiteral("Просмотр ответов"),
                                QStringLiteral("Результаты"), QStringLiteral("О программе"), QStringLiteral("Выход")};
  for (int i = 0; i < 5; ++i) {
    auto& button = Control<TkxShapeBtn>(main, buttons[i]);
    EXPECT_EQ(button.text(), captions[i]);
    EXPECT_EQ(button.Shape(), TkxButtonShape::bsRect);
    EXPECT_EQ(button.FontColor(), kNavyColor);
    EXPECT_EQ(button.TextOptions().Style(), TkxTextStyle::kxlsRaised);
    EXPECT_TRUE(button.Options().Contains(TkxButtonOption::boFocusable));
    EXPECT_TRUE(button.Options().Contains(TkxButtonOption::boFocusRect));
  }
  auto& variant = Control<QComboBox>(main, "VarCombo");
  EXPECT_FALSE(variant.isEditable());
  EXPECT_EQ(variant.count(), 2);
  EXPECT_EQ(variant.itemText(0), QStringLiteral("1"));
  EXPECT_EQ(variant.itemText(1), QStringLiteral("2"));
  EXPECT_EQ(variant.palette().color(QPalette::Text), kNavyColor);
  auto& name = Control<QComboBox>(main, "ComboName");
  EXPECT_TRUE(name.isEditable());
  EXPECT_EQ(name.lineEdit()->maxLength(), 15);
  EXPECT_EQ(TabChain(variant, 8), (QStringList{QStringLiteral("VarCombo"), QStringLiteral("kxShapeBtn1"),
                                               QStringLiteral("kxShapeBtn2"), QStringLiteral("kxShapeBtn3"),
                                               QStringLiteral("kxShapeBtn4"), QStringLiteral("kxShapeBtn5"),
                                               QStringLiteral("ComboName"), QStringLiteral("VarCombo")}));
  EXPECT_TRUE(variant.hasFocus());
}

TEST_F(WindowDefinition, TestWindow) {
  Start();
  QWidget& test = program_->TestForm();
  EXPECT_EQ(test.size(), QSize(784, 540));
  ExpectControls(test, {
                           {"QuestLabel", QRect(29, 29, 725, 73), "Arial Narrow", 19, true},
                           {"Bevel1", QRect(86, 110, 670, 357), "Arial", 15, false},
                           {"ALabel", QRect(96, 139, 656, 67), "Arial Narrow", 19, true},
                           {"BLabel", QRect(96, 207, 656, 67), "Arial Narrow", 19, true},
                           {"CLabel", QRect(96, 275, 657, 68), "Arial Narrow", 19, true},
                           {"DLabel", QRect(96, 343, 657, 69), "Arial Narrow", 19, true},
                           {"ELabel", QRect(96, 411, 657, 53), "Arial Narrow", 19, true},
                           {"RadioGroup", QRect(26, 100, 54, 366), "Arial", 19, true},
                           {"OKBtn", QRect(183, 474, 170, 35), "Arial", 20, false},
                           {"CloseBtn", QRect(378, 474, 170, 35), "Arial", 20, false},
                           {"StatusBar", QRect(0, 515, 784, 25), "Arial", 15, false},
                       });
  // The question number is placed at 17, 3, 104, 23 and grows wider with its text.
  auto& number = Control<TkxLabel>(test, "QuestNoLabel");
  EXPECT_EQ(number.pos(), QPoint(17, 3));
  EXPECT_EQ(number.height(), 23);
  EXPECT_GE(number.width(), 104);
  EXPECT_EQ(number.width(), std::max(104, number.sizeHint().width()));
  EXPECT_TRUE(number.AutoSize());
  EXPECT_EQ(number.font().family(), QStringLiteral("Arial"));
  EXPECT_EQ(number.font().pixelSize(), 20);
  EXPECT_EQ(number.TextOptions().Style(), TkxTextStyle::kxlsLowered);
  EXPECT_EQ(number.FontColor(), kMaroonColor);
  for (const char* line : {"QuestLabel", "ALabel", "BLabel", "CLabel", "DLabel", "ELabel"}) {
    EXPECT_TRUE(Control<TkxLabel>(test, line).TextOptions().WordWrap()) << line;
  }
  QStringList items;
  for (QRadioButton* item : Control<QGroupBox>(test, "RadioGroup").findChildren<QRadioButton*>()) {
    items.append(item->text());
  }
  EXPECT_EQ(items, (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D"),
                                QStringLiteral("E")}));
  for (const char* name : {"OKBtn", "CloseBtn"}) {
    auto& button = Control<TkxShapeBtn>(test, name);
    EXPECT_EQ(button.Shape(), TkxButtonShape::bsRoundRect) << name;
    EXPECT_EQ(button.FontColor(), kNavyColor) << name;
  }
  EXPECT_EQ(Control<TkxShapeBtn>(test, "OKBtn").text(), QStringLiteral("Далее"));
  EXPECT_EQ(Control<TkxShapeBtn>(test, "CloseBtn").text(), QStringLiteral("Выход"));
  auto& bar = Control<TkxStatusBar>(test, "StatusBar");
  ASSERT_EQ(bar.PanelCount(), 2);
  EXPECT_EQ(bar.Panel(0).Width(), QStringLiteral("350"));
  EXPECT_EQ(bar.PanelWidths(), (std::vector<int>{350, 434}));
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(bar.Panel(i).Font().pixelSize(), 15);
    EXPECT_TRUE(bar.Panel(i).Font().bold());
    EXPECT_EQ(bar.Panel(i).TextOptions().Style(), TkxTextStyle::kxlsLowered);
  }
  EXPECT_EQ(TabChain(Control(test, "RadioItemE"), 3),
            (QStringList{QStringLiteral("RadioItemE"), QStringLiteral("OKBtn"), QStringLiteral("CloseBtn")}));
}

TEST_F(WindowDefinition, ResultsWindowAndMessageDialog) {
  Start();
  QWidget& info = program_->InfoForm();
  EXPECT_EQ(info.size(), QSize(669, 469));
  EXPECT_EQ(info.windowTitle(), QStringLiteral("Результаты"));
  ExpectControls(info, {
                           {"QuestNoLabel", QRect(170, 20, 339, 23), "Arial", 20, false},
                           {"DBGrid1", QRect(26, 55, 617, 340), "Arial", 19, true},
                           {"CloseBtn", QRect(250, 417, 170, 35), "Arial", 20, false},
                       });
  EXPECT_EQ(Control<TkxLabel>(info, "QuestNoLabel").Text(), QStringLiteral("Просмотр результатов тестирования"));
  auto& grid = Control<QTableView>(info, "DBGrid1");
  EXPECT_EQ(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_TRUE(grid.showGrid());

  QWidget& message = program_->KazForm();
  EXPECT_EQ(message.size(), QSize(409, 140));
  // No caption of its own: the desktop shows the program's display name.
  EXPECT_EQ(message.windowTitle(), QStringLiteral("Тестирование"));
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("Тестирование"));
  EXPECT_EQ(message.font().pixelSize(), 15);
  ExpectControls(message, {
                              {"QLabel", QRect(17, 12, 384, 74), "Arial", 20, false},
                              {"kxShapeBtn2", QRect(163, 91, 107, 35), "Arial", 20, false},
                          });
  auto& label = Control<TkxLabel>(message, "QLabel");
  EXPECT_TRUE(label.TextOptions().WordWrap());
  EXPECT_EQ(label.TextOptions().Style(), TkxTextStyle::kxlsLowered);
  EXPECT_EQ(label.FontColor(), QColor(0, 0, 0));
  EXPECT_EQ(Control<TkxShapeBtn>(message, "kxShapeBtn2").text(), QStringLiteral("OK"));
  EXPECT_EQ(Control<TkxShapeBtn>(message, "kxShapeBtn2").Shape(), TkxButtonShape::bsRoundRect);
}

TEST(DesignFonts, LiberationStandsInForArialAndArialNarrow) {
  QFont arial(QStringLiteral("Arial"));
  arial.setPixelSize(19);
  EXPECT_EQ(QFontInfo(arial).family(), QStringLiteral("Liberation Sans"));
  QFont narrow(QStringLiteral("Arial Narrow"));
  narrow.setPixelSize(19);
  narrow.setBold(true);
  EXPECT_EQ(QFontInfo(narrow).family(), QStringLiteral("Liberation Sans Narrow"));
  EXPECT_TRUE(QFontInfo(narrow).bold());
  EXPECT_EQ(QFontInfo(narrow).pixelSize(), 19);
}

TEST(HighDpi, OneLogicalPixelIsOneDevicePixel) {
  EXPECT_EQ(qgetenv("QT_ENABLE_HIGHDPI_SCALING"), QByteArray("0"));
  QWidget window;
  EXPECT_DOUBLE_EQ(window.devicePixelRatioF(), 1.0);
}

}  // namespace
}  // namespace velorin::testing
