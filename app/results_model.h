// results_model.h — the data link between the results grid and the main window's
// InfoTable: a read-only table model over the dataset as it stands.
//
// Refresh walks the open dataset from its first record to its end (deleted records
// stay hidden, as the dataset hides them) and keeps one row per record, so the grid
// shows the table as it is at that moment; a closed dataset gives no rows. Columns,
// in order: NAME "ИМЯ", VARIANT "ВАРИАНТ", COUNT "ВОПРОСЫ", TRUECOUNT "ОТВЕТЫ",
// DATE "ДАТА" (in the locale's short date form). The model gives each column its
// cell font and colour and the titles theirs; the vertical header marks the row the
// grid stands on.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "app/form_scaling.h"
#include "dataset/Velorin6DB.h"

namespace velorin {

class ResultsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  struct Column {
    const char* field;
    QString title;
    std::optional<QFont> cellFont;  // none: the grid's own font
    QColor cellColor;               // invalid: the grid's own colour
    int width;                      // 0: as wide as the title and the cells need
  };

  ResultsModel(TVelorinDataSet& dataSet, QObject* parent = nullptr);

  // Re-reads every visible record of the dataset.
  void Refresh();
  // Scales the column fonts and widths with the window.
  void Scale(ScaleRatio ratio);
  // The row whose indicator is shown; -1 for none.
  void SetCurrentRow(int row);

  const std::vector<Column>& Columns() const { return columns_; }
  QFont TitleFont() const { return titleFont_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  QString CellText(int column) const;

  TVelorinDataSet& dataSet_;
  std::vector<Column> columns_;
  QFont titleFont_;
  std::vector<QStringList> rows_;
  int currentRow_ = -1;
};

}  // namespace velorin
