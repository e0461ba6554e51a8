#include "app/MainUnit.h"

#include <QApplication>
#include <QComboBox>

#include "app/InfoFormUnit.h"
#include "app/KazFormUnit.h"
#include "app/TestUnit.h"
#include "app/error_guard.h"
#include "app/form_scaling.h"
#include "app/table_values.h"

namespace velorin {

namespace {
// A table of more than this many recent names loses its oldest one on each entry.
constexpr int32_t kKeptNames = 8;

// NAME.DBF's one field, read under this name (field names are matched without regard to case).
constexpr const char* kNameField = "Name";
}  // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
  NameTable.SetName("NameTable");
  NameTable.SetTableName("NAME.DBF");
  NameTable.SetExclusive(true);
  NameTable.SetLockProtocol(TvrLokProtocol::Default);
  NameTable.SetTranslateASCII(true);
  NameTable.SetUseDeleted(false);
  NameTable.SetUserID(0);

  InfoTable.SetName("InfoTable");
  InfoTable.SetTableName("INFO.DBF");
  InfoTable.SetExclusive(true);
  InfoTable.SetLockProtocol(TvrLokProtocol::Default);
  InfoTable.SetTranslateASCII(true);
  InfoTable.SetUseDeleted(false);
  InfoTable.SetUserID(0);
  // The results grid and the appended record rely on these kinds (widths unchecked).
  InfoTable.DeclareField<TStringField>("NAME", 15);
  InfoTable.DeclareField<TStringField>("VARIANT", 2);
  InfoTable.DeclareField<TSmallintField>("COUNT");
  InfoTable.DeclareField<TSmallintField>("TRUECOUNT");
  InfoTable.DeclareField<TDateField>("DATE");

  ui_.SetupUi(*this);
  connect(ui_.kxShapeBtn1, &QAbstractButton::clicked, this, Guarded(this, &TMainForm::kxShapeBtn1Click));
  connect(ui_.kxShapeBtn2, &QAbstractButton::clicked, this, Guarded(this, &TMainForm::kxShapeBtn2Click));
  connect(ui_.kxShapeBtn3, &QAbstractButton::clicked, this, Guarded(this, &TMainForm::kxShapeBtn3Click));
  connect(ui_.kxShapeBtn4, &QAbstractButton::clicked, this, Guarded(this, &TMainForm::kxShapeBtn4Click));
  connect(ui_.kxShapeBtn5, &QAbstractButton::clicked, this, Guarded(this, &TMainForm::kxShapeBtn5Click));
  connect(qApp, &QApplication::focusChanged, this, &TMainForm::FocusChanged);

  RunStep([this] { FormCreate(); });
  CentreOnScreen(*this);
}

TMainForm::~TMainForm() {
  disconnect(qApp, &QApplication::focusChanged, this, &TMainForm::FocusChanged);
  lastExitName_.clear();
}

void TMainForm::SetWindows(TTestForm* testForm, TInfoForm* infoForm) {
  testForm_ = testForm;
  infoForm_ = infoForm;
}

QString TMainForm::VariantText() const { return ui_.VarCombo->currentText(); }

QString TMainForm::NameText() const { return ui_.ComboName->currentText(); }

void TMainForm::FormCreate() {
  lastExitName_.clear();
  ui_.VarCombo->setCurrentIndex(0);
  NameTable.Open();
  InfoTable.Open();
  ScaleFormToScreen(*this);
}

void TMainForm::kxShapeBtn1Click() {
  testingMode_ = true;
  const QString name = NameText();
  if (name.trimmed().isEmpty()) {
    ShowMessageDialog(QStringLiteral("Пожалуйста, представьтесь!"));
    return;
  }
  // The result is stored under this name at the end of the test: refuse a name the
  // table cannot hold now rather than lose the result then.
  QString refused;
  if (!ToTableText(name, &refused)) {
    ShowMessageDialog(UnstorableNameMessage(refused));
    return;
  }
  ShowTestForm();
}

void TMainForm::kxShapeBtn2Click() {
  testingMode_ = false;
  ShowTestForm();
}

void TMainForm::kxShapeBtn3Click() {
  if (infoForm_ == nullptr) throw std::logic_error("Окно результатов не создано");
  infoForm_->ShowModal();
}

void TMainForm::kxShapeBtn4Click() { ShowMessageDialog(CreditText()); }

void TMainForm::kxShapeBtn5Click() { close(); }

QString TMainForm::ReadOnlyTablesNotice() const {
  const bool names = NameTable.Active() && NameTable.ReadOnly();
  const bool results = InfoTable.Active() && InfoTable.ReadOnly();
  const QString nameFile = QString::fromStdString(NameTable.TableName());
  const QString infoFile = QString::fromStdString(InfoTable.TableName());
  if (names && results) {
    return QStringLiteral("Файлы %1 и %2 открыты только для чтения: имена и результаты сохраняться не будут.")
        .arg(nameFile, infoFile);
  }
  if (names) return QStringLiteral("Файл %1 открыт только для чтения: имена сохраняться не будут.").arg(nameFile);
  if (results) {
    return QStringLiteral("Файл %1 открыт только для чтения: результаты сохраняться не будут.").arg(infoFile);
  }
  return QString();
}

void TMainForm::ShowReadOnlyTablesNotice() {
  const QString notice = ReadOnlyTablesNotice();
  if (!notice.isEmpty()) ShowMessageDialog(notice);
}

QString TMainForm::CreditText() {
  return QStringLiteral("Программа тестирования Velorin\rРазработка: команда проекта Velorin");
}

void TMainForm::ShowTestForm() {
  if (testForm_ == nullptr) throw std::logic_error("Окно тестирования не создано");
  testForm_->ShowModal();
}

void TMainForm::ComboNameEnter() {
  QComboBox& box = *ui_.ComboName;
  const QString kept = box.currentText();
  box.clear();
  box.setEditText(QString());
  // Whatever happens below, the typed text goes back into the box.
  struct RestoreText {
    QComboBox& box;
    const QString& text;
    ~RestoreText() { box.setEditText(text); }
  } restore{box, kept};

  if (NameTable.RecordCount() > 0) {
    NameTable.First();
    // A table that can only be read keeps all its names (the start-up said so).
    if (NameTable.RecordCount() > kKeptNames && !NameTable.ReadOnly()) {
      NameTable.Delete();
      NameTable.Pack();
      NameTable.First();
    }
    QStringList names;
    while (!NameTable.AtEnd()) {
      names.append(FromTableText(NameTable.FieldText(kNameField)));
      NameTable.Next();
    }
    box.addItems(names);
  }
}

void TMainForm::ComboNameExit() {
  const QString text = NameText();
  // Whatever happens below, the text is remembered as the last one left.
  struct RememberText {
    QString& last;
    const QString& text;
    ~RememberText() { last = text; }
  } remember{lastExitName_, text};

  if (text == lastExitName_) return;
  if (text.trimmed().isEmpty()) return;
  if (NameTable.Active() && NameTable.ReadOnly()) return;  // the start-up said so
  QString refused;
  const std::optional<std::string> stored = ToTableText(text, &refused);
  if (!stored) {
    ShowMessageDialog(UnstorableNameMessage(refused));
    return;
  }
  // On an empty table the name goes in at once. The walk below would find it again,
  // except a name with trailing blanks, which never equals its stored copy and would
  // be appended a second time.
  if (NameTable.RecordCount() == 0) {
    NameTable.AppendValues({TFieldData(*stored)});
    return;
  }
  bool found = false;
  NameTable.First();
  while (!NameTable.AtEnd()) {
    if (NameTable.FieldText(kNameField) == *stored) {
      found = true;
      break;
    }
    NameTable.Next();
  }
  if (!found) NameTable.AppendValues({TFieldData(*stored)});
}

void TMainForm::FocusChanged(QWidget* /*old*/, QWidget* now) {
  // The name box is entered and left when the window's own focused control changes,
  // whatever the focus did meanwhile: the drop-down list and other windows are
  // windows of their own, and coming back from one to the control that had the focus
  // is neither. A click or Tab into the box after another window closed, which comes
  // from no focused widget at all, is an entry all the same.
  if (now == nullptr || now->window() != this) return;
  QWidget* box = ui_.ComboName;
  auto inBox = [box](const QWidget* widget) {
    return widget != nullptr && (widget == box || box->isAncestorOf(widget));
  };
  const bool wasInBox = inBox(focusedControl_);
  const bool isInBox = inBox(now);
  focusedControl_ = now;
  if (isInBox && !wasInBox) RunStep([this] { ComboNameEnter(); });
  if (wasInBox && !isInBox) RunStep([this] { ComboNameExit(); });
}

}  // namespace velorin
