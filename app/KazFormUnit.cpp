#include "app/KazFormUnit.h"

#include <QShowEvent>
#include <algorithm>

#include "app/error_guard.h"
#include "app/form_scaling.h"

namespace velorin {

namespace {
TKazForm* g_messageDialog = nullptr;
}  // namespace

TKazForm::TKazForm(QWidget* parent) : TVelorinDialog(parent) {
  ui_.SetupUi(*this);
  // Left empty, the title would be the executable's name on some desktops.
  setWindowTitle(ProgramTitle());
  connect(ui_.kxShapeBtn2, &QAbstractButton::clicked, this, Guarded(this, &TKazForm::kxShapeBtn2Click));
  g_messageDialog = this;
  RunStep([this] { FormCreate(); });
  fittingLabelHeight_ = ui_.QLabel->height();
  fittingButtonTop_ = ui_.kxShapeBtn2->y();
  fittingHeight_ = height();
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

void TKazForm::SetMessage(const QString& text) {
  ui_.QLabel->SetText(text);
  const int extra = std::max(0, ui_.QLabel->height() - fittingLabelHeight_);
  ui_.kxShapeBtn2->move(ui_.kxShapeBtn2->x(), fittingButtonTop_ + extra);
  setFixedSize(width(), fittingHeight_ + extra);
}

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
