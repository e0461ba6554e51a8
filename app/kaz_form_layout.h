// kaz_form_layout.h — the controls of the message dialog at their design places.
#pragma once

#include "app/look_components.h"

class QDialog;

namespace velorin {

struct KazFormLayout {
  EffectLabel* QLabel = nullptr;         // the message, word-wrapped
  ShapeButton* kxShapeBtn2 = nullptr;    // "OK"

  void SetupUi(QDialog& form);
};

}  // namespace velorin
