// main_form_layout.h — the controls of the main window at their design places, in
// tab order.
#pragma once

#include "app/look_components.h"

class QComboBox;

namespace velorin {

struct MainFormLayout {
  EffectLabel* kxLabel1 = nullptr;     // "Выберите желаемый вариант" / "для проведения тестирования:"
  EffectLabel* kxLabel2 = nullptr;     // "Представьтесь:"
  QComboBox* VarCombo = nullptr;       // the variant, "1" or "2"
  ShapeButton* kxShapeBtn1 = nullptr;  // "Тестирование"
  ShapeButton* kxShapeBtn2 = nullptr;  // "Просмотр ответов"
  ShapeButton* kxShapeBtn3 = nullptr;  // "Результаты"
  ShapeButton* kxShapeBtn4 = nullptr;  // "О программе"
  ShapeButton* kxShapeBtn5 = nullptr;  // "Выход"
  QComboBox* ComboName = nullptr;      // the name, with the recent names as its list

  void SetupUi(QWidget& form);
};

}  // namespace velorin
