#include "app/KazFormUnit.h"

#include <QShowEvent>

#include "app/error_guard.h"
#include "app/form_scaling.h"

namespace velorin {

namespace {
TKazForm* g_messageDialog = nullptr;
}  // namespace

TKazForm::TKazForm(QWidget* parent) : TVelorinDialog(parent) {
  ui_.SetupUi(*this);
  connect(ui_.kxShapeBtn2, &QAbstractButton::clicked, this, Guarded(this, &TKazForm::kxShapeBtn2Click));
  g_messageDialog = this;
  RunStep([this] { FormCreate(); });
}

TKazForm::~TKazForm() {
  if (g_messageDialog == this) g_messageDialog = nullptr;
}

void TKazForm::FormCreate() { ScaleFormToScreen(*this); }

void TKazForm::kxShapeBtn2Click() { accept(); }

void TKazForm::ShowMessage(const QString& text) {
  SetMessage(text);
  exec();
}

void TKazForm::SetMessage(const QString& text) { ui_.QLabel->SetText(text); }

QString TKazForm::Message() const { return ui_.QLabel->Text(); }

void TKazForm::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    CentreOnScreen(*this);
    ui_.kxShapeBtn2->setFocus(Qt::OtherFocusReason);
  }
  TVelorinDialog::showEvent(event);
}

void ShowMessageDialog(const QString& text) {
  if (g_messageDialog != nullptr) {
    g_messageDialog->ShowMessage(text);
  } else {
    ShowErrorBox(text);
  }
}

}  // namespace velorin
