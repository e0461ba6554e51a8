// The tests' own main: one QApplication for the whole run on an offscreen screen of
// 1280 by 1024 pixels at 96 pixels per inch, where the windows keep their design
// size. Set up as the program sets itself up (title, fonts, no high-dpi scaling).
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <fstream>

#include "app/testing_program.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  QTemporaryDir configDir;
  const std::string config = configDir.filePath(QStringLiteral("screen.json")).toStdString();
  std::ofstream(config) << R"({"screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1280, "height": 1024,)"
                           R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
  velorin::PrepareApplicationEnvironment();
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + QByteArray::fromStdString(config));
  QApplication application(argc, argv);
  velorin::PrepareApplication(application);
  return RUN_ALL_TESTS();
}
