#include "app_fixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <unistd.h>

#include "app/look_components.h"

#include "app/MainUnit.h"
#include "engine/dbf_format.h"
#include "platform/code_page.h"
#include "engine/table_creator.h"

namespace velorin::testing {

namespace {

std::string Padded(std::string bytes, size_t width, bool rightAligned = false) {
  if (bytes.size() > width) bytes.resize(width);
  const std::string blanks(width - bytes.size(), ' ');
  return rightAligned ? blanks + bytes : bytes + blanks;
}

uint32_t Le32(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes.at(offset + static_cast<size_t>(i)));
  return value;
}

uint16_t Le16(const std::string& bytes, size_t offset) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes.at(offset)) |
                               (static_cast<uint8_t>(bytes.at(offset + 1)) << 8));
}

// Creates the table and writes the records (each a whole record image after the
// deletion flag) with the header's count set.
void WriteTable(const std::string& path, int codePage, const std::vector<std::string>& fields,
                const std::vector<std::string>& images, const std::vector<int>& deleted = {}) {
  TableSpec tableLayout;
  tableLayout.version = dbf_version::kDbase3;
  tableLayout.codePage = codePage;
  for (const std::string& field : fields) tableLayout.fields.push_back(ParseFieldSpec(field));
  CreateTable(path, tableLayout);
  std::string bytes = ReadFileBytes(path);
  bytes.pop_back();  // the end-of-file byte
  for (size_t i = 0; i < images.size(); ++i) {
    const bool isDeleted = std::find(deleted.begin(), deleted.end(), static_cast<int>(i) + 1) != deleted.end();
    bytes += static_cast<char>(isDeleted ? dbf_layout::kDeletedFlag : dbf_layout::kActiveFlag);
    bytes += images[i];
  }
  bytes += static_cast<char>(dbf_layout::kEndOfFile);
  const uint32_t count = static_cast<uint32_t>(images.size());
  for (size_t i = 0; i < 4; ++i) bytes[dbf_header::kRecordCount + i] = static_cast<char>(count >> (8 * i));
  WriteFileBytes(path, bytes);
}

}  // namespace

std::string Bytes(const QString& text, int codePage) {
  const QByteArray utf8 = text.toUtf8();
  std::string bytes;
  const bool ok = platform::FromUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())),
                                     codePage, &bytes);
  EXPECT_TRUE(ok) << "not in code page " << codePage << ": " << text.toStdString();
  return bytes;
}

void MakeNameTable(const std::string& path, const QStringList& names) {
  std::vector<std::string> images;
  for (const QString& name : names) images.push_back(Padded(Bytes(name, 866), 15));
  WriteTable(path, 866, {"NAME:C:15"}, images);
}

std::string DateText(const QDate& day) { return day.toString(QStringLiteral("yyyyMMdd")).toStdString(); }

void MakeInfoTable(const std::string& path, const std::vector<ResultRecord>& records) {
  std::vector<std::string> images;
  for (const ResultRecord& r : records) {
    images.push_back(Padded(Bytes(r.name, 866), 15) + Padded(Bytes(r.variant, 866), 2) +
                     Padded(std::to_string(r.count), 4, true) + Padded(std::to_string(r.trueCount), 4, true) +
                     Padded(r.date, 8));
  }
  WriteTable(path, 866, {"NAME:C:15", "VARIANT:C:2", "COUNT:N:4", "TRUECOUNT:N:4", "DATE:D"}, images);
}

void MakeQuestionTable(const std::string& path, const std::vector<Question>& questions,
                       const std::vector<int>& deleted) {
  std::vector<std::string> images;
  for (const Question& q : questions) {
    std::string image = Padded(Bytes(q.input, 1251), 254);
    for (const QString* answer : {&q.a, &q.b, &q.c, &q.d, &q.e}) image += Padded(Bytes(*answer, 1251), 100);
    images.push_back(image);
  }
  WriteTable(path, 1251, {"INPUT:C:254", "A:C:100", "B:C:100", "C:C:100", "D:C:100", "E:C:100"}, images,
             deleted);
}

std::vector<Question> NumberedQuestions(int n) {
  std::vector<Question> questions;
  for (int k = 1; k <= n; ++k) {
    const QString number = QString::number(k);
    questions.push_back(Question{QStringLiteral("Вопрос ") + number, QStringLiteral("Верно ") + number,
                                 QStringLiteral("Неверно ") + number + QStringLiteral("-Б"),
                                 QStringLiteral("Неверно ") + number + QStringLiteral("-В"),
                                 QStringLiteral("Неверно ") + number + QStringLiteral("-Г"),
                                 QStringLiteral("Неверно ") + number + QStringLiteral("-Д")});
  }
  return questions;
}

std::string StoredTable::Field(size_t record, const std::string& name) const {
  for (size_t i = 0; i < fieldNames.size(); ++i) {
    if (fieldNames[i] != name) continue;
    std::string value = records.at(record).fields.at(i);
    while (!value.empty() && value.back() == ' ') value.pop_back();
    return value;
  }
  throw std::runtime_error("no field " + name);
}

StoredTable ReadStoredTable(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  StoredTable table;
  if (bytes.size() < dbf_layout::kMinHeaderLength) throw std::runtime_error("short table " + path);
  table.headerCount = Le32(bytes, dbf_header::kRecordCount);
  table.languageDriver = static_cast<uint8_t>(bytes[dbf_header::kLanguageDriver]);
  const size_t headerLength = Le16(bytes, dbf_header::kHeaderLength);
  const size_t recordLength = Le16(bytes, dbf_header::kRecordLength);
  std::vector<size_t> lengths;
  for (size_t at = dbf_header::kSize;
       at + dbf_descriptor::kSize <= headerLength && static_cast<uint8_t>(bytes[at]) != dbf_layout::kDescriptorTerminator;
       at += dbf_descriptor::kSize) {
    std::string name = bytes.substr(at + dbf_descriptor::kName, dbf_descriptor::kNameLength);
    name = name.substr(0, name.find('\0'));
    table.fieldNames.push_back(name);
    size_t length = static_cast<uint8_t>(bytes[at + dbf_descriptor::kLength]);
    if (bytes[at + dbf_descriptor::kType] == 'C') length += 256u * static_cast<uint8_t>(bytes[at + dbf_descriptor::kDecimals]);
    lengths.push_back(length);
  }
  if (recordLength == 0) return table;
  for (size_t at = headerLength; at + recordLength <= bytes.size(); at += recordLength) {
    StoredRecord record;
    record.deleted = bytes[at] == static_cast<char>(dbf_layout::kDeletedFlag);
    size_t offset = at + 1;
    for (size_t length : lengths) {
      record.fields.push_back(bytes.substr(offset, length));
      offset += length;
    }
    table.records.push_back(record);
  }
  return table;
}

namespace {
const char* const kLineLabels[5] = {"ALabel", "BLabel", "CLabel", "DLabel", "ELabel"};
const char* const kLineItems[5] = {"RadioItemA", "RadioItemB", "RadioItemC", "RadioItemD", "RadioItemE"};
}  // namespace

QString LineText(QWidget& testWindow, int line) {
  return Control<TkxLabel>(testWindow, kLineLabels[line - 1]).Text();
}

int RightLine(QWidget& testWindow) {
  for (int line = 1; line <= 5; ++line) {
    if (LineText(testWindow, line).startsWith(QStringLiteral("Верно"))) return line;
  }
  return 0;
}

void Choose(QWidget& testWindow, int line) { Click(Control<QRadioButton>(testWindow, kLineItems[line - 1])); }

void PressNext(QWidget& testWindow) { Click(testWindow, "OKBtn"); }

int CheckedLine(QWidget& testWindow) {
  int checked = 0;
  for (int line = 1; line <= 5; ++line) {
    if (Control<QRadioButton>(testWindow, kLineItems[line - 1]).isChecked()) {
      if (checked != 0) return -1;
      checked = line;
    }
  }
  return checked;
}

QString QuestionNumberText(QWidget& testWindow) { return Control<TkxLabel>(testWindow, "QuestNoLabel").Text(); }

QString StatusText(QWidget& testWindow, int panel) {
  return Control<TkxStatusBar>(testWindow, "StatusBar").Panel(panel).Text();
}

void ProgramTest::RunScored(const QString& name, std::function<void(QWidget&)> script) {
  EnterName(name);
  driver_->Then(QStringLiteral("TestForm"), std::move(script));
  Click(MainWindow(), "kxShapeBtn1");
  EXPECT_TRUE(driver_->AllScriptsRan());
}

void ProgramTest::RunAnswerView(std::function<void(QWidget&)> script) {
  driver_->Then(QStringLiteral("TestForm"), std::move(script));
  Click(MainWindow(), "kxShapeBtn2");
  EXPECT_TRUE(driver_->AllScriptsRan());
}

void ProgramTest::SetUp() {
  driver_ = std::make_unique<ModalDriver>();
  MakeQuestionTable(File("His1.dbf"), NumberedQuestions(5));
  MakeQuestionTable(File("His2.dbf"), NumberedQuestions(3));
  MakeNameTable(File("NAME.DBF"), {});
  MakeInfoTable(File("INFO.DBF"));
}

void ProgramTest::TearDown() {
  program_.reset();
  EXPECT_TRUE(driver_->Unexpected().isEmpty()) << driver_->Unexpected().join(QStringLiteral(", ")).toStdString();
  driver_.reset();
  ProcessEvents();
}

void ProgramTest::Start() {
  program_ = std::make_unique<TestingProgram>(clock_, draw_);
  QWidget& main = MainWindow();
  main.show();
  main.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
}

void ProgramTest::StartWithWriteProtected(const std::vector<std::string>& tables) {
  namespace fs = std::filesystem;
  const fs::perms readable = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  const fs::perms writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(dir_.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
  for (const char* table : {"His1.dbf", "His2.dbf", "NAME.DBF", "INFO.DBF"}) {
    const bool isProtected = std::find(tables.begin(), tables.end(), table) != tables.end();
    if (fs::exists(File(table))) fs::permissions(File(table), isProtected ? readable : readable | writable);
  }
  struct OrdinaryUser {
    bool superuser = geteuid() == 0;
    OrdinaryUser() {
      constexpr uid_t kNobody = 65534;
      if (superuser && (setegid(kNobody) != 0 || seteuid(kNobody) != 0)) ADD_FAILURE() << "cannot become nobody";
    }
    ~OrdinaryUser() {
      if (superuser && (seteuid(0) != 0 || setegid(0) != 0)) ADD_FAILURE() << "cannot become root again";
    }
  } user;
  Start();
}

TMainForm& ProgramTest::Main() { return program_->MainForm(); }

QWidget& ProgramTest::MainWindow() { return program_->MainForm(); }

void ProgramTest::EnterName(const QString& name) {
  ASSERT_TRUE(TabTo(MainWindow(), "ComboName"));
  auto& box = Control<QComboBox>(MainWindow(), "ComboName");
  box.lineEdit()->selectAll();
  PressKey(box, Qt::Key_Delete);
  TypeText(box, name);
  PressKey(box, Qt::Key_Tab);
}

}  // namespace velorin::testing
