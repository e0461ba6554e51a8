// KazFormUnit.h — the message dialog, the program's only way of showing a message of
// its own (the missing-name and missing-answer prompts, the score, the credit).
//
// TKazForm is made once at start-up and shown modally for each message. Its label
// wraps the text within its area (three lines of the 20 px font fit) and the dialog
// keeps its size for every text that fits; a longer text grows the label downwards,
// and the dialog with its button below it, so no line is cut off. A carriage return
// in the text breaks the line. The dialog has no caption of its own: the desktop
// shows the program's display name as its title.
// ShowMessageDialog reaches the dialog of the running program from any window.
#pragma once

#include <QString>

#include "app/kaz_form_layout.h"
#include "app/velorin_dialog.h"

namespace velorin {

class TKazForm : public TVelorinDialog {
  Q_OBJECT
 public:
  // Runs the creation step; the newest dialog made is the one ShowMessageDialog uses.
  explicit TKazForm(QWidget* parent = nullptr);
  ~TKazForm() override;

  // Puts the text into the label, replacing what it held, and shows the dialog
  // modally; returns when the person has closed it.
  void ShowMessage(const QString& text);
  // Puts the text into the label without showing the dialog.
  void SetMessage(const QString& text);
  // The last text given.
  QString Message() const;

  // Handlers.
  void FormCreate();
  void kxShapeBtn2Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The label's height, the button's top and the dialog's height for a text that
  // fits, as the creation step left them.
  int fittingLabelHeight_ = 0;
  int fittingButtonTop_ = 0;
  int fittingHeight_ = 0;
  KazFormLayout ui_;
};

// Shows the text in the program's message dialog. Without one (nothing made yet)
// the text goes to a plain message box with the program's title.
void ShowMessageDialog(const QString& text);

}  // namespace velorin
