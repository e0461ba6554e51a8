// TestUnit.h — the test window: walks the question table of the chosen variant one
// question at a time.
//
// Each showing opens "His" + variant + ".dbf" (shared, no code-page translation; the
// fields Input, the question, A, the right answer, and B to E, four wrong ones) and
// closes it when the window closes. For every question the line that shows the right
// answer is drawn anew (1 = A ... 5 = E) and the wrong answers take fixed places
// beside it. In the scored mode (TMainForm::TestingMode) the right choices are counted,
// and after the last question old results are purged from the main window's
// InfoTable, the result is appended there and the score is reported. In the answer
// view the right line is marked, the mark cannot be moved, and nothing is recorded.
// A result that cannot be recorded (INFO.DBF not open, open read-only, or a failing
// write) still gets its score and time reported, with a line below them that says it
// was not saved and why.
//
// Keys: Enter with an answer chosen acts as "Далее" (with none it does nothing);
// Escape does nothing; the close box acts as "Выход".
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

#include "app/test_form_layout.h"
#include "app/velorin_dialog.h"
#include "dataset/Velorin6DB.h"

namespace velorin {

class TMainForm;
class ProgramClock;
class AnswerDraw;

// Results older than this many days (calendar days plus the time of day) are purged.
constexpr double kResultKeepDays = 31.0;

// The field shown on each answer line (A to E) when the right answer is on line
// rightPosition (1 to 5): 'A' lands on that line, the wrong answers on fixed places.
char AnswerFieldOnLine(int rightPosition, int line);

// Deletes every result of InfoTable whose DATE lies more than kResultKeepDays before
// now (an empty date is the zero date and goes), then packs the table; nothing when
// the table holds no records.
void PurgeOldResults(TVelorinDataSet& infoTable, const QDateTime& now);

// The line that reports a result not recorded, for the reason given.
QString UnrecordedResultMessage(const QString& reason);

class TTestForm : public TVelorinDialog {
  Q_OBJECT
 public:
  // The clock and the draw must outlive the window.
  TTestForm(TMainForm& mainForm, ProgramClock& clock, AnswerDraw& draw, QWidget* parent = nullptr);
  ~TTestForm() override;

  // Runs FormShow (a failure is shown and leaves its remaining steps undone), then
  // shows the window modally until it closes.
  void ShowModal();

  TVelorinDataSet TestTable;

  int RightPosition() const { return rightPosition_; }
  int RightCount() const { return rightCount_; }

  // Handlers, as the window definition names them.
  void FormCreate();
  void FormShow();
  void OKBtnClick();
  // A key the window sees before its controls; true when it consumed the key.
  bool FormKeyPress(int key);
  void RadioGroupClick(int item);
  void CloseBtnClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowQuestion();
  void FinishTest();
  // Purges old results and appends this one to InfoTable; the line saying why the
  // result was not recorded, empty when it was.
  QString RecordResult(const QDateTime& now, int32_t questions);
  void LeaveTest();
  int SelectedItem() const;
  void SelectItem(int item);
  void ClearSelection();
  bool Scored() const;

  TestFormLayout ui_;
  TMainForm& mainForm_;
  ProgramClock& clock_;
  AnswerDraw& draw_;
  int rightPosition_ = 1;
  int rightCount_ = 0;
  QDateTime startTime_;
  int64_t startMilliseconds_ = 0;
};

}  // namespace velorin
