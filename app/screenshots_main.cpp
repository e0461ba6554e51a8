// velorin-screenshots — renders every window of the testing program to a PNG file,
// without a display.
//
//   velorin-screenshots OUTPUT-DIRECTORY [TABLE-DIRECTORY]
//
// The tables (His1.dbf, NAME.DBF, INFO.DBF; the current directory unless named) are
// copied into a temporary directory first, so the originals are never changed; two
// sample results are added to the copy of INFO.DBF for the results window. The
// windows are drawn at design size on an offscreen screen of 1280 by 1024 pixels
// at 96 pixels per inch. Writes main-window.png, test-window.png (a scored test,
// answer B chosen), answer-view.png, results-window.png and message-dialog.png.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/InfoFormUnit.h"
#include "app/KazFormUnit.h"
#include "app/MainUnit.h"
#include "app/TestUnit.h"
#include "app/answer_draw.h"
#include "app/program_clock.h"
#include "app/table_values.h"
#include "app/testing_program.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kScreenConfig =
    R"({"screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1280, "height": 1024,)"
    R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";

bool Save(QWidget& window, const QDir& output, const char* fileName) {
  window.show();
  QApplication::processEvents();
  const QString path = output.filePath(QString::fromLatin1(fileName));
  const bool saved = window.grab().save(path);
  std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "wrote" : "cannot write", qPrintable(path));
  window.hide();
  return saved;
}

// The same answer line every time, so the pictures do not change between runs.
class FixedDraw final : public velorin::AnswerDraw {
 public:
  void Reseed(uint32_t) override {}
  int Draw(int) override { return 3; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: velorin-screenshots OUTPUT-DIRECTORY [TABLE-DIRECTORY]\n");
    return 2;
  }
  const fs::path output = fs::absolute(argv[1]);
  const fs::path tables = fs::absolute(argc == 3 ? argv[2] : ".");
  std::error_code error;
  fs::create_directories(output, error);

  QTemporaryDir workDir;
  if (!workDir.isValid()) {
    std::fprintf(stderr, "cannot make a temporary directory\n");
    return 1;
  }
  const fs::path work = workDir.path().toStdString();
  for (const char* name : {"His1.dbf", "His2.dbf", "NAME.DBF", "INFO.DBF"}) {
    if (fs::exists(tables / name)) fs::copy_file(tables / name, work / name, fs::copy_options::overwrite_existing);
  }
  const fs::path config = work / "screen.json";
  std::ofstream(config) << kScreenConfig;
  fs::current_path(work);

  velorin::PrepareApplicationEnvironment();
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + QByteArray::fromStdString(config.string()));
  int exitCode = 0;
  {
    QApplication application(argc, argv);
    velorin::PrepareApplication(application);
    velorin::SystemClock clock;
    FixedDraw draw;
    velorin::TestingProgram program(clock, draw);
    const QDir out(QString::fromStdString(output.string()));

    velorin::TMainForm& main = program.MainForm();
    if (auto* name = main.findChild<QComboBox*>(QStringLiteral("ComboName"))) {
      name->setEditText(QStringLiteral("Иванов"));
    }
    if (!Save(main, out, "main-window.png")) exitCode = 1;

    velorin::TTestForm& test = program.TestForm();
    for (bool scored : {true, false}) {
      main.SetTestingMode(scored);
      try {
        test.FormShow();
      } catch (const std::exception& failure) {
        std::fprintf(stderr, "test window: %s\n", failure.what());
        exitCode = 1;
      }
      if (scored) {
        if (auto* item = test.findChild<QRadioButton*>(QStringLiteral("RadioItemB"))) item->setChecked(true);
      }
      if (!Save(test, out, scored ? "test-window.png" : "answer-view.png")) exitCode = 1;
      test.TestTable.Close();
    }

    const QDate today = QDate::currentDate();
    try {
      const std::string name = velorin::ToTableText(QStringLiteral("Иванов")).value_or("");
      const std::string other = velorin::ToTableText(QStringLiteral("Петрова")).value_or("");
      main.InfoTable.AppendValues({name, std::string("1"), int32_t{30}, int32_t{25},
                                   velorin::ToTableDate(today.addDays(-2))});
      main.InfoTable.AppendValues({other, std::string("2"), int32_t{30}, int32_t{28}, velorin::ToTableDate(today)});
    } catch (const std::exception& failure) {
      std::fprintf(stderr, "results: %s\n", failure.what());
      exitCode = 1;
    }
    program.InfoForm().LoadResults();
    if (!Save(program.InfoForm(), out, "results-window.png")) exitCode = 1;

    program.KazForm().SetMessage(
        QStringLiteral("Из 30 представленных вопросов Вы ответили правильно на 25\rВремя: 0:12:05"));
    if (!Save(program.KazForm(), out, "message-dialog.png")) exitCode = 1;
  }
  fs::current_path(tables, error);
  return exitCode;
}
