// testing_program.h — the start-up of the testing program and its four windows.
//
// PrepareApplicationEnvironment runs before the QApplication exists: it switches
// off Qt's own high-dpi scaling, so that one logical pixel is one device pixel as the
// window-scaling rule assumes. PrepareApplication then sets the program's title
// ("Тестирование") and the font substitutes.
//
// TestingProgram makes the windows once, in this order, each running its creation
// step: the main window (which opens NAME.DBF and INFO.DBF in the current
// directory), the message dialog, the test window and the results window. They live
// until the program object goes; the event loop runs until the main window closes.
// When NAME.DBF or INFO.DBF could only be opened read-only, the message dialog says
// so once, before the main window is shown.
#pragma once

#include <memory>

class QApplication;

namespace velorin {

class TMainForm;
class TKazForm;
class TTestForm;
class TInfoForm;
class ProgramClock;
class AnswerDraw;

void PrepareApplicationEnvironment();
void PrepareApplication(QApplication& application);

class TestingProgram {
 public:
  // The clock and the draw must outlive the program; the real ones by default.
  TestingProgram();
  TestingProgram(ProgramClock& clock, AnswerDraw& draw);
  ~TestingProgram();
  TestingProgram(const TestingProgram&) = delete;
  TestingProgram& operator=(const TestingProgram&) = delete;

  TMainForm& MainForm() { return *mainForm_; }
  TKazForm& KazForm() { return *kazForm_; }
  TTestForm& TestForm() { return *testForm_; }
  TInfoForm& InfoForm() { return *infoForm_; }

  // Shows the main window and runs the event loop until it closes.
  int Run(QApplication& application);

 private:
  void CreateWindows(ProgramClock& clock, AnswerDraw& draw);

  std::unique_ptr<ProgramClock> ownClock_;
  std::unique_ptr<AnswerDraw> ownDraw_;
  std::unique_ptr<TMainForm> mainForm_;
  std::unique_ptr<TKazForm> kazForm_;
  std::unique_ptr<TTestForm> testForm_;
  std::unique_ptr<TInfoForm> infoForm_;
};

}  // namespace velorin
