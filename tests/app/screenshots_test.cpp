// velorin-screenshots: every window drawn into a PNG file of its design size,
// offscreen, without changing the tables it was given.
#include <gtest/gtest.h>

#include <QImage>

#include "app_fixture.h"
#include "support/child_process.h"

namespace velorin::testing {
namespace {

TEST(ScreenshotTool, WritesEveryWindowAtDesignSizeAndLeavesTheTablesAlone) {
  TempDir dir;
  MakeQuestionTable(dir.File("His1.dbf"), NumberedQuestions(3));
  MakeQuestionTable(dir.File("His2.dbf"), NumberedQuestions(2));
  MakeNameTable(dir.File("NAME.DBF"), {});
  MakeInfoTable(dir.File("INFO.DBF"));
  const std::string infoBefore = ReadFileBytes(dir.File("INFO.DBF"));
  std::string output;
  const int status = RunCommand("QT_QPA_PLATFORM= " + std::string(VELORIN_SCREENSHOTS) + " " + dir.File("out") +
                                    " " + dir.Path().string() + " 2>&1",
                                &output);
  ASSERT_EQ(status, 0) << output;
  const struct {
    const char* file;
    QSize size;
  } pictures[] = {{"main-window.png", QSize(396, 325)},   {"test-window.png", QSize(784, 540)},
                  {"answer-view.png", QSize(784, 540)},   {"results-window.png", QSize(669, 469)},
                  {"message-dialog.png", QSize(409, 140)}};
  for (const auto& picture : pictures) {
    const QImage image(QString::fromStdString(dir.File("out/" + std::string(picture.file))));
    EXPECT_EQ(image.size(), picture.size) << picture.file;
  }
  EXPECT_EQ(ReadFileBytes(dir.File("INFO.DBF")), infoBefore);
}

}  // namespace
}  // namespace velorin::testing
