#include "app/info_form_layout.h"

#include <QDialog>
#include <QHeaderView>
#include <QTableView>

#include "app/design_look.h"
#include "app/form_scaling.h"

namespace velorin {

void InfoFormLayout::SetupUi(QDialog& form) {
  form.setObjectName(QStringLiteral("InfoForm"));
  form.setWindowTitle(QStringLiteral("Результаты"));
  form.setFixedSize(669, 469);
  form.setFont(DesignFont(kArial, 15));

  QuestNoLabel = MakeLabel(&form, "QuestNoLabel", QRect(170, 20, 339, 23),
                           LabelLook{DesignFont(kArial, 20), kMaroon, TkxTextStyle::kxlsLowered, false},
                           QStringLiteral("Просмотр результатов тестирования"));

  DBGrid1 = new QTableView(&form);
  DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
  PlaceControl(*DBGrid1, QRect(26, 55, 617, 340));
  DBGrid1->setFont(DesignFont(kArial, 19, true));
  DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  DBGrid1->setShowGrid(true);
  DBGrid1->setWordWrap(false);
  DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  DBGrid1->horizontalHeader()->setHighlightSections(false);
  DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  DBGrid1->verticalHeader()->setMinimumWidth(12);
  DBGrid1->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
  DBGrid1->setFocusPolicy(Qt::StrongFocus);

  CloseBtn = MakeButton(&form, "CloseBtn", QRect(250, 417, 170, 35),
                        ButtonLook{DesignFont(kArial, 20), kNavy, TkxButtonShape::bsRoundRect, false},
                        QStringLiteral("Выход"));
}

}  // namespace velorin
