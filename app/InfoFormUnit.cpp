#include "app/InfoFormUnit.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

#include "app/MainUnit.h"
#include "app/error_guard.h"
#include "app/form_scaling.h"

namespace velorin {

TInfoForm::TInfoForm(TMainForm& mainForm, QWidget* parent)
    : TVelorinDialog(parent), dataSource1_(mainForm.InfoTable) {
  ui_.SetupUi(*this);
  ui_.DBGrid1->setModel(&dataSource1_);
  connect(ui_.DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current, const QModelIndex&) { dataSource1_.SetCurrentRow(current.row()); });
  connect(ui_.CloseBtn, &QAbstractButton::clicked, this, Guarded(this, &TInfoForm::CloseBtnClick));
  ApplyColumnWidths();
  RunStep([this] { FormCreate(); });
}

TInfoForm::~TInfoForm() { ui_.DBGrid1->setModel(nullptr); }

void TInfoForm::FormCreate() {
  const ScaleRatio ratio = ScaleFormToScreen(*this);
  dataSource1_.Scale(ratio);
  ApplyColumnWidths();
}

void TInfoForm::ApplyColumnWidths() {
  // A column without a width of its own is as wide as its title and its cells need.
  QHeaderView& header = *ui_.DBGrid1->horizontalHeader();
  const auto& columns = dataSource1_.Columns();
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    const int width = columns[static_cast<size_t>(i)].width;
    if (width > 0) {
      header.resizeSection(i, width);
    } else {
      ui_.DBGrid1->resizeColumnToContents(i);
    }
  }
}

void TInfoForm::LoadResults() {
  dataSource1_.Refresh();
  ApplyColumnWidths();
  if (dataSource1_.rowCount() > 0) ui_.DBGrid1->setCurrentIndex(dataSource1_.index(0, 0));
}

void TInfoForm::ShowModal() {
  RunStep([this] { LoadResults(); });
  CentreOnScreen(*this);
  exec();
}

void TInfoForm::CloseBtnClick() { accept(); }

}  // namespace velorin
