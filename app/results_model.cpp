#include "app/results_model.h"

#include "app/design_look.h"
#include "app/table_values.h"
#include "platform/locale_settings.h"

namespace velorin {

ResultsModel::ResultsModel(TVelorinDataSet& dataSet, QObject* parent)
    : QAbstractTableModel(parent), dataSet_(dataSet), titleFont_(DesignFont(kArial, 15, true)) {
  const QFont cellFont = DesignFont(kArial, 17, true);
  columns_ = {
      {"NAME", QStringLiteral("ИМЯ"), cellFont, kNavy, 176},
      {"VARIANT", QStringLiteral("ВАРИАНТ"), cellFont, kNavy, 0},
      {"COUNT", QStringLiteral("ВОПРОСЫ"), std::nullopt, QColor(), 0},
      {"TRUECOUNT", QStringLiteral("ОТВЕТЫ"), cellFont, kMaroon, 0},
      {"DATE", QStringLiteral("ДАТА"), std::nullopt, QColor(), 0},
  };
}

QString ResultsModel::CellText(int column) const {
  const char* field = columns_[static_cast<size_t>(column)].field;
  if (std::string_view(field) == "DATE") {
    const QDate day = FromTableDate(dataSet_.FieldDateTime(field));
    if (day == FromTableDate(TDateTime{})) return QString();  // a null date
    const std::string text = platform::ActiveLocale().ShortDate().Format(
        platform::CalendarDate{day.year(), day.month(), day.day()});
    return QString::fromStdString(text);
  }
  return FromTableText(dataSet_.FieldText(field));
}

void ResultsModel::Refresh() {
  beginResetModel();
  rows_.clear();
  currentRow_ = -1;
  struct EndReset {
    ResultsModel& model;
    ~EndReset() { model.endResetModel(); }
  } endReset{*this};
  if (!dataSet_.Active()) return;
  dataSet_.First();
  while (!dataSet_.AtEnd()) {
    QStringList row;
    for (int column = 0; column < static_cast<int>(columns_.size()); ++column) row.append(CellText(column));
    rows_.push_back(row);
    dataSet_.Next();
  }
}

void ResultsModel::Scale(ScaleRatio ratio) {
  for (Column& column : columns_) {
    if (column.cellFont) column.cellFont = ScaledFont(*column.cellFont, ratio);
    column.width = ratio.Scale(column.width);
  }
  titleFont_ = ScaledFont(titleFont_, ratio);
  if (!columns_.empty()) emit headerDataChanged(Qt::Horizontal, 0, static_cast<int>(columns_.size()) - 1);
}

void ResultsModel::SetCurrentRow(int row) {
  const int previous = currentRow_;
  currentRow_ = row;
  if (previous >= 0 && previous < rowCount()) emit headerDataChanged(Qt::Vertical, previous, previous);
  if (row >= 0 && row < rowCount()) emit headerDataChanged(Qt::Vertical, row, row);
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
  const Column& column = columns_[static_cast<size_t>(index.column())];
  switch (role) {
    case Qt::DisplayRole:
      return rows_[static_cast<size_t>(index.row())].at(index.column());
    case Qt::FontRole:
      return column.cellFont ? QVariant(*column.cellFont) : QVariant();
    case Qt::ForegroundRole:
      return column.cellColor.isValid() ? QVariant(column.cellColor) : QVariant();
    default:
      return {};
  }
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal) {
    if (section < 0 || section >= columnCount()) return {};
    switch (role) {
      case Qt::DisplayRole:
        return columns_[static_cast<size_t>(section)].title;
      case Qt::FontRole:
        return titleFont_;
      case Qt::ForegroundRole:
        return kNavy;
      default:
        return {};
    }
  }
  if (role == Qt::DisplayRole) return section == currentRow_ ? QStringLiteral("►") : QString();
  return {};
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace velorin
