// MainUnit.h — the main window: the variant, the name with its recent names, and the
// buttons that lead to a test, to the answer view, to the results, to the credit and
// out of the program.
//
// The window owns the two tables that stay open for the whole run, exclusively:
// NameTable on NAME.DBF (recent names, oldest first, field NAME) and InfoTable on
// INFO.DBF (one result per finished test: NAME C15, VARIANT C2, COUNT and TRUECOUNT
// numbers of at most 4 digits, DATE). Both hold OEM text; the dataset shows it in ANSI.
//
// The name box keeps the recent names. Becoming the window's focused control (by
// mouse or Tab, also straight after another window closed) refills its list from
// NameTable, first trimming a table of more than 8 names by its oldest one; when
// another control of this window takes the focus from it, a new name is stored at the
// end of NameTable. Focus that goes to the box's own drop-down list or to another
// window (a message, a modal window) and comes back to the box is neither.
//
// TestingMode is true after "Тестирование" and false after "Просмотр ответов"
// (false at start); the test window reads it with the variant and the name.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "app/main_form_layout.h"
#include "dataset/Velorin6DB.h"

namespace velorin {

class TTestForm;
class TInfoForm;

class TMainForm : public QWidget {
  Q_OBJECT
 public:
  // Builds the controls and runs the creation step: the first variant selected,
  // NameTable and InfoTable opened, the window scaled. A failure is shown in a
  // message box and leaves the rest of the step undone.
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // The windows that the buttons show; made after this one.
  void SetWindows(TTestForm* testForm, TInfoForm* infoForm);

  bool TestingMode() const { return testingMode_; }
  // As the two test buttons set it (for drawing the windows without a click).
  void SetTestingMode(bool scored) { testingMode_ = scored; }
  QString VariantText() const;
  QString NameText() const;
  const QString& LastExitName() const { return lastExitName_; }

  TVelorinDataSet NameTable;
  TVelorinDataSet InfoTable;

  // Handlers, as the window definition names them.
  void FormCreate();
  void kxShapeBtn1Click();  // "Тестирование"
  void kxShapeBtn2Click();  // "Просмотр ответов"
  void kxShapeBtn3Click();  // "Результаты"
  void kxShapeBtn4Click();  // "О программе"
  void kxShapeBtn5Click();  // "Выход"
  void ComboNameEnter();
  void ComboNameExit();

  // What the start-up says once when NAME.DBF or INFO.DBF could only be opened
  // read-only (names or results will not be saved); empty otherwise. A read-only
  // NAME.DBF is then neither trimmed nor added to.
  QString ReadOnlyTablesNotice() const;
  void ShowReadOnlyTablesNotice();

  // The developer credit that "О программе" shows.
  static QString CreditText();

 private:
  void FocusChanged(QWidget* old, QWidget* now);
  void ShowTestForm();

  MainFormLayout ui_;
  TTestForm* testForm_ = nullptr;
  TInfoForm* infoForm_ = nullptr;
  // The control of this window that last had the focus.
  QPointer<QWidget> focusedControl_;
  bool testingMode_ = false;
  QString lastExitName_;
};

}  // namespace velorin
