// info_form_layout.h — the controls of the results window at their design places.
#pragma once

#include "app/look_components.h"

class QDialog;
class QTableView;

namespace velorin {

struct InfoFormLayout {
  EffectLabel* QuestNoLabel = nullptr;  // "Просмотр результатов тестирования"
  QTableView* DBGrid1 = nullptr;        // the results, read-only
  ShapeButton* CloseBtn = nullptr;      // "Выход"

  void SetupUi(QDialog& form);
};

}  // namespace velorin
