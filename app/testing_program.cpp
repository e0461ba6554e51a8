#include "app/testing_program.h"

#include <QApplication>

#include "app/InfoFormUnit.h"
#include "app/KazFormUnit.h"
#include "app/MainUnit.h"
#include "app/TestUnit.h"
#include "app/answer_draw.h"
#include "app/design_look.h"
#include "app/error_guard.h"
#include "app/program_clock.h"

namespace velorin {

void PrepareApplicationEnvironment() {
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  qunsetenv("QT_SCALE_FACTOR");
  qunsetenv("QT_SCREEN_SCALE_FACTORS");
  qunsetenv("QT_AUTO_SCREEN_SCALE_FACTOR");
  qunsetenv("QT_DEVICE_PIXEL_RATIO");
}

void PrepareApplication(QApplication& application) {
  SetProgramTitle(QStringLiteral("Тестирование"));
  InstallFontSubstitutes();
  application.setFont(DesignFont(kArial, 15));
}

TestingProgram::TestingProgram()
    : ownClock_(std::make_unique<SystemClock>()), ownDraw_(std::make_unique<ReseededDraw>()) {
  CreateWindows(*ownClock_, *ownDraw_);
}

TestingProgram::TestingProgram(ProgramClock& clock, AnswerDraw& draw) { CreateWindows(clock, draw); }

TestingProgram::~TestingProgram() {
  // The windows go in the reverse order of their making; the main window, whose
  // tables the others use, goes last.
  infoForm_.reset();
  testForm_.reset();
  kazForm_.reset();
  mainForm_.reset();
}

void TestingProgram::CreateWindows(ProgramClock& clock, AnswerDraw& draw) {
  mainForm_ = std::make_unique<TMainForm>();
  kazForm_ = std::make_unique<TKazForm>();
  testForm_ = std::make_unique<TTestForm>(*mainForm_, clock, draw);
  infoForm_ = std::make_unique<TInfoForm>(*mainForm_);
  mainForm_->SetWindows(testForm_.get(), infoForm_.get());
  RunStep([this] { mainForm_->ShowReadOnlyTablesNotice(); });
}

int TestingProgram::Run(QApplication& application) {
  mainForm_->show();
  return application.exec();
}

}  // namespace velorin
