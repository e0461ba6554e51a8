#include "app/main_form_layout.h"

#include <QComboBox>
#include <QLineEdit>

#include "app/design_look.h"
#include "app/form_scaling.h"

namespace velorin {

namespace {
constexpr int kMaxNameLength = 15;

QComboBox* MakeCombo(QWidget& form, const char* name, const QRect& place, bool editable) {
  auto* combo = new QComboBox(&form);
  combo->setObjectName(QString::fromLatin1(name));
  combo->setEditable(editable);
  PlaceControl(*combo, place);
  combo->setFont(DesignFont(kArial, 17));
  SetTextColor(*combo, kNavy);
  combo->setFocusPolicy(Qt::StrongFocus);
  return combo;
}
}  // namespace

void MainFormLayout::SetupUi(QWidget& form) {
  form.setObjectName(QStringLiteral("MainForm"));
  form.setWindowTitle(QStringLiteral("Программа  тестирования"));
  form.setFixedSize(396, 325);
  form.setFont(DesignFont(kArial, 15));

  const LabelLook caption{DesignFont(kArial, 18), kMaroon, TkxTextStyle::kxlsLowered, false};
  kxLabel1 = MakeLabel(&form, "kxLabel1", QRect(24, 12, 263, 42), caption,
                       QStringLiteral("Выберите желаемый вариант\rдля проведения тестирования:"));
  kxLabel2 = MakeLabel(&form, "kxLabel2", QRect(24, 68, 133, 21), caption, QStringLiteral("Представьтесь:"));

  VarCombo = MakeCombo(form, "VarCombo", QRect(316, 18, 53, 27), false);
  VarCombo->addItems({QStringLiteral("1"), QStringLiteral("2")});

  const ButtonLook button{DesignFont(kArial, 18), kNavy, TkxButtonShape::bsRect, true};
  kxShapeBtn1 = MakeButton(&form, "kxShapeBtn1", QRect(88, 114, 225, 33), button, QStringLiteral("Тестирование"));
  kxShapeBtn2 = MakeButton(&form, "kxShapeBtn2", QRect(88, 154, 225, 33), button, QStringLiteral("Просмотр ответов"));
  kxShapeBtn3 = MakeButton(&form, "kxShapeBtn3", QRect(88, 194, 225, 33), button, QStringLiteral("Результаты"));
  kxShapeBtn4 = MakeButton(&form, "kxShapeBtn4", QRect(88, 234, 225, 33), button, QStringLiteral("О программе"));
  kxShapeBtn5 = MakeButton(&form, "kxShapeBtn5", QRect(88, 274, 225, 33), button, QStringLiteral("Выход"));

  ComboName = MakeCombo(form, "ComboName", QRect(164, 64, 205, 27), true);
  ComboName->lineEdit()->setMaxLength(kMaxNameLength);
  // The list holds the recent names only; typing neither completes nor adds to it.
  ComboName->setInsertPolicy(QComboBox::NoInsert);
  ComboName->setCompleter(nullptr);
  ComboName->setDuplicatesEnabled(true);

  QWidget::setTabOrder(VarCombo, kxShapeBtn1);
  QWidget::setTabOrder(kxShapeBtn1, kxShapeBtn2);
  QWidget::setTabOrder(kxShapeBtn2, kxShapeBtn3);
  QWidget::setTabOrder(kxShapeBtn3, kxShapeBtn4);
  QWidget::setTabOrder(kxShapeBtn4, kxShapeBtn5);
  QWidget::setTabOrder(kxShapeBtn5, ComboName);
}

}  // namespace velorin
