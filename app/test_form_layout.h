// test_form_layout.h — the controls of the test window at their design places.
#pragma once

#include <QString>
#include <array>

#include "app/look_components.h"

class QButtonGroup;
class QFrame;
class QGroupBox;
class QRadioButton;

namespace velorin {

// Panel 1 of the status bar (the question total) is 350 pixels wide. Panel 2 holds
// "Правильно отвечено: 12" or "Правильный ответ помечен"; at 50 pixels it would show
// two letters of it, so it takes the rest of the bar.
constexpr int kTotalPanelWidth = 350;
inline const QString kScorePanelWidth = QStringLiteral("100%");

struct TestFormLayout {
  EffectLabel* QuestNoLabel = nullptr;  // "Вопрос №" and the number
  EffectLabel* QuestLabel = nullptr;    // the question
  QFrame* Bevel1 = nullptr;             // the frame around the answers
  EffectLabel* ALabel = nullptr;        // the five answer lines, A to E
  EffectLabel* BLabel = nullptr;
  EffectLabel* CLabel = nullptr;
  EffectLabel* DLabel = nullptr;
  EffectLabel* ELabel = nullptr;
  QGroupBox* RadioGroup = nullptr;      // items "A" to "E" beside the answer lines
  std::array<QRadioButton*, 5> RadioItems{};
  QButtonGroup* RadioButtons = nullptr;  // ids 1 (A) to 5 (E)
  ShapeButton* OKBtn = nullptr;          // "Далее"
  ShapeButton* CloseBtn = nullptr;       // "Выход"
  PanelStatusBar* StatusBar = nullptr;   // question total; score or mode note

  std::array<EffectLabel*, 5> AnswerLabels() const { return {ALabel, BLabel, CLabel, DLabel, ELabel}; }

  void SetupUi(QDialog& form);
};

}  // namespace velorin
