// app_fixture.h — the program's tables made for a test, read back byte for byte, and
// a test fixture that runs the whole program in a fresh directory with a clock and
// an answer draw that the test controls.
#pragma once

#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>
#include <QString>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/answer_draw.h"
#include "app/program_clock.h"
#include "app/testing_program.h"
#include "support/temp_dir.h"
#include "window_driver.h"

namespace velorin::testing {

// A clock whose wall time and monotonic time the test sets.
class FakeClock final : public ProgramClock {
 public:
  QDateTime LocalNow() const override { return now_; }
  int64_t MonotonicMilliseconds() const override { return monotonic_; }
  void SetNow(const QDateTime& now) { now_ = now; }
  void SetMonotonic(int64_t milliseconds) { monotonic_ = milliseconds; }
  void Advance(int64_t milliseconds) {
    monotonic_ += milliseconds;
    now_ = now_.addMSecs(milliseconds);
  }

 private:
  QDateTime now_{QDate(2026, 3, 15), QTime(10, 30, 0)};
  int64_t monotonic_ = 5000;
};

// Draws the scripted lines in order, then line 1; remembers the seeds.
class ScriptedDraw final : public AnswerDraw {
 public:
  void Reseed(uint32_t seed) override { seeds.push_back(seed); }
  int Draw(int count) override {
    counts.push_back(count);
    if (lines.empty()) return 1;
    const int line = lines.front();
    lines.pop_front();
    return line;
  }
  std::deque<int> lines;
  std::vector<uint32_t> seeds;
  std::vector<int> counts;
};

struct Question {
  QString input;
  QString a, b, c, d, e;  // a is the right answer
};

// Unicode to the bytes of a code page; fails the test on a character it lacks.
std::string Bytes(const QString& text, int codePage);

// NAME.DBF (NAME C15, cp866) holding the names, in order.
void MakeNameTable(const std::string& path, const QStringList& names);

struct ResultRecord {
  QString name;
  QString variant;
  int count = 0;
  int trueCount = 0;
  std::string date;  // "yyyymmdd", or 8 blanks
};
// INFO.DBF (NAME C15, VARIANT C2, COUNT N4, TRUECOUNT N4, DATE D; cp866).
void MakeInfoTable(const std::string& path, const std::vector<ResultRecord>& records = {});
std::string DateText(const QDate& day);

// A question table (INPUT C254, A to E C100; cp1251). Records listed in deleted
// are written with the deletion mark (numbers from 1).
void MakeQuestionTable(const std::string& path, const std::vector<Question>& questions,
                       const std::vector<int>& deleted = {});
// n questions "Вопрос k" with answers "Верно k", "Неверно k-b" ... .
std::vector<Question> NumberedQuestions(int n);

// A table read back from its bytes.
struct StoredRecord {
  bool deleted = false;
  std::vector<std::string> fields;  // raw bytes, padding kept
};
struct StoredTable {
  uint32_t headerCount = 0;
  uint8_t languageDriver = 0;
  std::vector<std::string> fieldNames;
  std::vector<StoredRecord> records;  // as many as the file holds
  // The field's bytes with trailing blanks removed.
  std::string Field(size_t record, const std::string& name) const;
};
StoredTable ReadStoredTable(const std::string& path);

// In the test window: the answer line (1 = A ... 5 = E) that shows the text of field
// A ("Верно ..." in NumberedQuestions), 0 when none does; choosing a line by
// clicking its radio item; "Далее".
int RightLine(QWidget& testWindow);
QString LineText(QWidget& testWindow, int line);
void Choose(QWidget& testWindow, int line);
void PressNext(QWidget& testWindow);
int CheckedLine(QWidget& testWindow);
QString QuestionNumberText(QWidget& testWindow);
QString StatusText(QWidget& testWindow, int panel);

// The whole program in a fresh current directory that holds His1.dbf (5 numbered
// questions), His2.dbf (3), an empty NAME.DBF and an empty INFO.DBF unless a test
// makes its own before Start.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Makes the windows (the start-up) and shows the main window.
  void Start();
  // Start with these tables of the directory write-protected (mode 0444, the other
  // tables 0666). The superuser may write any file, so then the start-up runs with an
  // ordinary user's effective ids.
  void StartWithWriteProtected(const std::vector<std::string>& tables);
  TMainForm& Main();
  QWidget& MainWindow();
  std::string File(const std::string& name) const { return dir_.File(name); }

  // Types the name and takes a test (or the answer view) through the main window's
  // button; the script drives the test window.
  void RunScored(const QString& name, std::function<void(QWidget&)> script);
  void RunAnswerView(std::function<void(QWidget&)> script);

  // Gives the name box the focus by Tab, types the text (replacing what it held)
  // and leaves the box again by Tab.
  void EnterName(const QString& name);

  TempDir dir_;
  FakeClock clock_;
  ScriptedDraw draw_;
  std::unique_ptr<ModalDriver> driver_;
  std::unique_ptr<TestingProgram> program_;
};

}  // namespace velorin::testing
