#include "app/TestUnit.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QRadioButton>

#include "app/KazFormUnit.h"
#include "app/MainUnit.h"
#include "app/answer_draw.h"
#include "app/error_guard.h"
#include "app/form_scaling.h"
#include "app/program_clock.h"
#include "app/table_values.h"

namespace velorin {

namespace {
constexpr int kAnswerLines = 5;
constexpr char kReturnKey = 13;

// Rows: the line of the right answer; columns: lines A to E.
constexpr char kAnswerOrder[kAnswerLines][kAnswerLines + 1] = {
    "ACEDB", "BAEDC", "CBAED", "BEDAC", "BCDEA",
};

std::string FieldNameOf(char field) { return std::string(1, field); }
}  // namespace

char AnswerFieldOnLine(int rightPosition, int line) {
  if (rightPosition < 1 || rightPosition > kAnswerLines || line < 1 || line > kAnswerLines) {
    throw std::out_of_range("answer line out of range");
  }
  return kAnswerOrder[rightPosition - 1][line - 1];
}

void PurgeOldResults(TVelorinDataSet& infoTable, const QDateTime& now) {
  if (infoTable.RecordCount() == 0) return;
  infoTable.First();
  while (!infoTable.AtEnd()) {
    const QDate date = FromTableDate(infoTable.FieldDateTime("DATE"));
    if (ResultAgeInDays(date, now) > kResultKeepDays) {
      const int32_t deleted = infoTable.RecordNumber();
      // The cursor moves by itself: to the next record, or back to the previous one
      // when the deleted record was the last; then every record has been examined.
      infoTable.Delete();
      if (infoTable.AtEnd() || infoTable.RecordNumber() <= deleted) break;
    } else {
      infoTable.Next();
    }
  }
  infoTable.Pack();
}

TTestForm::TTestForm(TMainForm& mainForm, ProgramClock& clock, AnswerDraw& draw, QWidget* parent)
    : TVelorinDialog(parent), mainForm_(mainForm), clock_(clock), draw_(draw) {
  TestTable.SetName("TestTable");
  TestTable.SetExclusive(false);
  TestTable.SetLockProtocol(TvrLokProtocol::Default);
  TestTable.SetTranslateASCII(false);
  TestTable.SetUseDeleted(false);
  TestTable.SetUserID(0);

  ui_.SetupUi(*this);
  connect(ui_.OKBtn, &QAbstractButton::clicked, this, Guarded(this, &TTestForm::OKBtnClick));
  connect(ui_.CloseBtn, &QAbstractButton::clicked, this, Guarded(this, &TTestForm::CloseBtnClick));
  connect(ui_.RadioButtons, &QButtonGroup::idClicked, this,
          [this](int item) { RunStep([this, item] { RadioGroupClick(item); }); });
  // The window sees key presses before its controls do.
  installEventFilter(this);
  for (QWidget* control : findChildren<QWidget*>()) control->installEventFilter(this);

  RunStep([this] { FormCreate(); });
}

TTestForm::~TTestForm() = default;

void TTestForm::FormCreate() {
  const ScaleRatio ratio = ScaleFormToScreen(*this);
  ui_.StatusBar->Panel(0).SetWidth(QString::number(ratio.Scale(kTotalPanelWidth)));
  for (int i = 0; i < ui_.StatusBar->PanelCount(); ++i) {
    TkxStatusPanel& panel = ui_.StatusBar->Panel(i);
    panel.SetFont(ScaledFont(panel.Font(), ratio));
  }
}

void TTestForm::ShowModal() {
  RunStep([this] { FormShow(); });
  exec();
}

bool TTestForm::Scored() const { return mainForm_.TestingMode(); }

void TTestForm::FormShow() {
  startTime_ = clock_.LocalNow();
  startMilliseconds_ = clock_.MonotonicMilliseconds();

  SelectItem(1);
  ui_.RadioItems[0]->setFocus(Qt::OtherFocusReason);
  ClearSelection();

  TestTable.SetTableName("His" + mainForm_.VariantText().toStdString() + ".dbf");
  TestTable.Open();
  TestTable.First();
  ShowQuestion();
  rightCount_ = 0;
  ui_.StatusBar->Panel(0).SetText(QStringLiteral("Общее количество вопросов: %1").arg(TestTable.RecordCount()));
  if (Scored()) {
    ui_.StatusBar->Panel(1).SetText(QStringLiteral("Правильно отвечено: 0"));
    setWindowTitle(QStringLiteral("Тестирование"));
  } else {
    ui_.StatusBar->Panel(1).SetText(QStringLiteral("Правильный ответ помечен"));
    setWindowTitle(QStringLiteral("Просмотр ответов"));
  }
  ui_.QuestNoLabel->SetText(QStringLiteral("Вопрос №1"));
}

void TTestForm::ShowQuestion() {
  ui_.QuestLabel->SetText(FromTableText(TestTable.FieldText("Input")));
  draw_.Reseed(static_cast<uint32_t>(MillisecondsOfDay(clock_.LocalNow())));
  rightPosition_ = draw_.Draw(kAnswerLines);
  const auto labels = ui_.AnswerLabels();
  for (int line = 1; line <= kAnswerLines; ++line) {
    const char field = AnswerFieldOnLine(rightPosition_, line);
    labels[static_cast<size_t>(line - 1)]->SetText(FromTableText(TestTable.FieldText(FieldNameOf(field))));
  }
  if (!Scored()) SelectItem(rightPosition_);
}

void TTestForm::OKBtnClick() {
  const int chosen = SelectedItem();
  if (chosen == 0) {
    ShowMessageDialog(QStringLiteral("Вы не выбрали вариант ответа!"));
    return;
  }
  if (chosen == rightPosition_) ++rightCount_;

  // The last question is the one whose number is the record count; a table whose
  // last records are deleted ends where the walk runs off its end.
  bool finished = TestTable.RecordCount() == TestTable.RecordNumber();
  if (!finished) {
    TestTable.Next();
    finished = TestTable.AtEnd();
  }
  if (finished) {
    FinishTest();
    return;
  }
  ui_.QuestNoLabel->SetText(QStringLiteral("Вопрос №%1").arg(TestTable.RecordNumber()));
  ShowQuestion();
  if (Scored()) {
    ui_.StatusBar->Panel(1).SetText(QStringLiteral("Правильно отвечено: %1").arg(rightCount_));
    ClearSelection();
  }
}

void TTestForm::FinishTest() {
  if (Scored()) {
    const QDateTime now = clock_.LocalNow();
    const int32_t questions = TestTable.RecordCount();
    const int64_t elapsed = clock_.MonotonicMilliseconds() - startMilliseconds_;
    const QString unrecorded = RecordResult(now, questions);
    // The score and the time are shown whether or not the result could be kept.
    QString report = QStringLiteral("Из %1 представленных вопросов Вы ответили правильно на %2\rВремя: %3")
                         .arg(questions)
                         .arg(rightCount_)
                         .arg(FormatDuration(elapsed));
    if (!unrecorded.isEmpty()) report += QLatin1Char('\r') + unrecorded;
    ShowMessageDialog(report);
  }
  TestTable.Close();
  done(QDialog::Accepted);
}

QString TTestForm::RecordResult(const QDateTime& now, int32_t questions) {
  TVelorinDataSet& infoTable = mainForm_.InfoTable;
  const QString file = QString::fromStdString(infoTable.TableName());
  if (!infoTable.Active()) return UnrecordedResultMessage(QStringLiteral("файл %1 не открыт.").arg(file));
  if (infoTable.ReadOnly()) {
    return UnrecordedResultMessage(QStringLiteral("файл %1 открыт только для чтения.").arg(file));
  }
  try {
    PurgeOldResults(infoTable, now);
    // "Тестирование" refused a name the table cannot hold; the name box cannot
    // change while this window is shown.
    QString refused;
    const std::optional<std::string> name = ToTableText(mainForm_.NameText(), &refused);
    if (!name) return UnrecordedResultMessage(UnstorableNameMessage(refused));
    const std::string variant = ToTableText(mainForm_.VariantText()).value_or(std::string());
    infoTable.AppendValues({TFieldData(*name), TFieldData(variant), TFieldData(questions),
                            TFieldData(static_cast<int32_t>(rightCount_)), TFieldData(ToTableDate(now.date()))});
  } catch (const std::exception& error) {
    return UnrecordedResultMessage(QString::fromUtf8(error.what()));
  }
  return QString();
}

QString UnrecordedResultMessage(const QString& reason) {
  return QStringLiteral("Результат не сохранён: ") + reason;
}

bool TTestForm::FormKeyPress(int key) {
  if (key != kReturnKey) return false;
  if (SelectedItem() != 0) OKBtnClick();
  return true;
}

void TTestForm::RadioGroupClick(int /*item*/) {
  // In the answer view the mark stays on the right line.
  if (!Scored()) SelectItem(rightPosition_);
}

void TTestForm::LeaveTest() {
  TestTable.Close();
  ClearSelection();
}

void TTestForm::CloseBtnClick() {
  LeaveTest();
  done(QDialog::Rejected);
}

bool TTestForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) return true;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      // Consumed either way, so the focused button does not act on it as well.
      RunStep([this] { FormKeyPress(kReturnKey); });
      return true;
    }
  }
  return TVelorinDialog::eventFilter(watched, event);
}

void TTestForm::closeEvent(QCloseEvent* event) {
  // The close box leaves like "Выход".
  if (isVisible()) RunStep([this] { LeaveTest(); });
  TVelorinDialog::closeEvent(event);
}

int TTestForm::SelectedItem() const {
  const int id = ui_.RadioButtons->checkedId();
  return id > 0 ? id : 0;
}

void TTestForm::SelectItem(int item) {
  if (QAbstractButton* button = ui_.RadioButtons->button(item)) button->setChecked(true);
}

void TTestForm::ClearSelection() {
  // An exclusive group keeps one item checked; unchecking needs it off for a moment.
  ui_.RadioButtons->setExclusive(false);
  for (QAbstractButton* button : ui_.RadioButtons->buttons()) button->setChecked(false);
  ui_.RadioButtons->setExclusive(true);
}

}  // namespace velorin
