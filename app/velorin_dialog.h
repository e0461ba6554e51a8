// velorin_dialog.h — what the program's modal windows share: a dialog border at a fixed
// client size, no reaction to Escape (none of them has a cancel button), and
// placement in the middle of the primary screen when asked for.
#pragma once

#include <QDialog>

namespace velorin {

class TVelorinDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TVelorinDialog(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// Moves a window so that its frame lies in the middle of the primary screen.
void CentreOnScreen(QWidget& window);

}  // namespace velorin
