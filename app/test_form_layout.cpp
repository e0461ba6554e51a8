#include "app/test_form_layout.h"

#include <QButtonGroup>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QRadioButton>

#include "app/design_look.h"
#include "app/form_scaling.h"

namespace velorin {

namespace {
struct AnswerPlace {
  const char* name;
  int top;
  int width;
  int height;
};
constexpr AnswerPlace kAnswerPlaces[5] = {
    {"ALabel", 139, 656, 67}, {"BLabel", 207, 656, 67}, {"CLabel", 275, 657, 68},
    {"DLabel", 343, 657, 69}, {"ELabel", 411, 657, 53},
};
constexpr int kAnswerLeft = 96;
constexpr QRect kRadioGroupPlace(26, 100, 54, 366);
}  // namespace

void TestFormLayout::SetupUi(QDialog& form) {
  form.setObjectName(QStringLiteral("TestForm"));
  form.setWindowTitle(QStringLiteral("Тестирование"));
  form.setFixedSize(784, 540);
  form.setFont(DesignFont(kArial, 15));

  QuestNoLabel = MakeLabel(&form, "QuestNoLabel", QRect(17, 3, 104, 23),
                           LabelLook{DesignFont(kArial, 20), kMaroon, TkxTextStyle::kxlsLowered, false, true},
                           QStringLiteral("Вопрос №1"));
  const LabelLook text{DesignFont(kArialNarrow, 19, true), kBlack, TkxTextStyle::kxlsDefault, true};
  QuestLabel = MakeLabel(&form, "QuestLabel", QRect(29, 29, 725, 73), text, QString());

  Bevel1 = new QFrame(&form);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameShape(QFrame::Box);
  Bevel1->setFrameShadow(QFrame::Sunken);
  PlaceControl(*Bevel1, QRect(86, 110, 670, 357));

  std::array<EffectLabel**, 5> answers = {&ALabel, &BLabel, &CLabel, &DLabel, &ELabel};
  for (size_t i = 0; i < answers.size(); ++i) {
    const AnswerPlace& place = kAnswerPlaces[i];
    *answers[i] = MakeLabel(&form, place.name, QRect(kAnswerLeft, place.top, place.width, place.height), text,
                            QString());
  }

  RadioGroup = new QGroupBox(&form);
  RadioGroup->setObjectName(QStringLiteral("RadioGroup"));
  PlaceControl(*RadioGroup, kRadioGroupPlace);
  RadioGroup->setFont(DesignFont(kArial, 19, true));
  RadioButtons = new QButtonGroup(RadioGroup);
  RadioButtons->setObjectName(QStringLiteral("RadioButtons"));
  RadioButtons->setExclusive(true);
  static const char* const kItems[5] = {"A", "B", "C", "D", "E"};
  for (int i = 0; i < 5; ++i) {
    auto* item = new QRadioButton(QString::fromLatin1(kItems[i]), RadioGroup);
    item->setObjectName(QStringLiteral("RadioItem%1").arg(QString::fromLatin1(kItems[i])));
    // Each item stands level with the first line of its answer.
    const int top = kAnswerPlaces[i].top - kRadioGroupPlace.top() - 2;
    PlaceControl(*item, QRect(8, top, 42, 26));
    item->setFocusPolicy(Qt::StrongFocus);
    RadioButtons->addButton(item, i + 1);
    RadioItems[static_cast<size_t>(i)] = item;
  }

  const ButtonLook button{DesignFont(kArial, 20), kNavy, TkxButtonShape::bsRoundRect, false};
  OKBtn = MakeButton(&form, "OKBtn", QRect(183, 474, 170, 35), button, QStringLiteral("Далее"));
  CloseBtn = MakeButton(&form, "CloseBtn", QRect(378, 474, 170, 35), button, QStringLiteral("Выход"));

  StatusBar = MakeStatusBar(&form, "StatusBar", QRect(0, 540 - 25, 784, 25));
  const QFont panelFont = DesignFont(kArial, 15, true);
  for (const QString& width : {QString::number(kTotalPanelWidth), kScorePanelWidth}) {
    TkxStatusPanel& panel = StatusBar->AddPanel();
    panel.SetWidth(width);
    panel.SetFont(panelFont);
    panel.TextOptions().SetStyle(TkxTextStyle::kxlsLowered);
  }

  QWidget::setTabOrder(RadioItems[4], OKBtn);
  QWidget::setTabOrder(OKBtn, CloseBtn);
}

}  // namespace velorin
