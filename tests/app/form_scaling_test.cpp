// The window-scaling rule: the ratio for each screen, and whole windows scaled by it
// on screens of those sizes (the program started in a child process each time).
#include <gtest/gtest.h>

#include <QFont>
#include <QWidget>
#include <fstream>
#include <map>
#include <sstream>

#include "app/form_scaling.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace velorin {
namespace {

TEST(ScaleRule, RatioForEveryScreenOfTheTable) {
  struct Case {
    int width;
    int dpi;
    int percent;  // 100: unchanged
  };
  const Case cases[] = {
      {640, 96, 97},    {640, 120, 100},  {640, 72, 100},  {800, 96, 122},   {800, 120, 108},
      {800, 144, 100},  {1024, 96, 158},  {1024, 120, 138}, {1024, 100, 100}, {1280, 96, 100},
      {1280, 120, 100}, {1920, 96, 100},  {799, 96, 100},   {0, 0, 100},
  };
  for (const Case& c : cases) {
    const ScaleRatio ratio = ScreenScaleRatio(ScreenMetrics{c.width, c.dpi});
    EXPECT_EQ(ratio.numerator * 100 / ratio.denominator, c.percent) << c.width << " at " << c.dpi;
    EXPECT_EQ(ratio.IsIdentity(), c.percent == 100);
  }
}

TEST(ScaleRule, ScalesEdgesRoundingToTheNearestPixel) {
  const ScaleRatio ratio{108, 100};
  EXPECT_EQ(ratio.Scale(396), 428);  // 427.68
  EXPECT_EQ(ratio.Scale(325), 351);  // 351.0
  EXPECT_EQ(ratio.Scale(QRect(88, 114, 225, 33)), QRect(95, 123, 243, 36));
  EXPECT_EQ(ScaleRatio{}.Scale(QRect(1, 2, 3, 4)), QRect(1, 2, 3, 4));
  EXPECT_EQ((ScaleRatio{97, 100}.Scale(-50)), -49);  // -48.5 away from zero
}

TEST(ScaleRule, WindowControlsAndExplicitFontsScale) {
  QWidget form;
  form.setFixedSize(200, 100);
  QFont formFont(QStringLiteral("Arial"));
  formFont.setPixelSize(15);
  form.setFont(formFont);
  auto* placed = new QWidget(&form);
  PlaceControl(*placed, QRect(10, 20, 50, 30));
  QFont own(QStringLiteral("Arial"));
  own.setPixelSize(20);
  placed->setFont(own);
  auto* inherits = new QWidget(placed);
  PlaceControl(*inherits, QRect(1, 1, 10, 10));
  auto* unplaced = new QWidget(&form);
  unplaced->setGeometry(5, 5, 5, 5);

  ScaleFormBy(form, ScaleRatio{122, 100});
  EXPECT_EQ(form.size(), QSize(244, 122));
  EXPECT_EQ(form.font().pixelSize(), 18);
  EXPECT_EQ(placed->geometry(), QRect(12, 24, 61, 37));
  EXPECT_EQ(placed->font().pixelSize(), 24);
  EXPECT_EQ(inherits->geometry(), QRect(1, 1, 12, 12));
  EXPECT_EQ(inherits->font().pixelSize(), 24);  // from its parent
  EXPECT_EQ(unplaced->geometry(), QRect(5, 5, 5, 5));
}

// The probe's lines, "<window>[.<control>] numbers...", by name.
std::map<std::string, std::vector<int>> RunProbe(int width, int height, int dpi) {
  testing::TempDir dir;
  const std::string config = dir.File("screen.json");
  std::ofstream(config) << "{\"screens\": [{\"name\": \"S\", \"x\": 0, \"y\": 0, \"width\": " << width
                        << ", \"height\": " << height << ", \"logicalDpi\": " << dpi
                        << ", \"logicalBaseDpi\": 96, \"dpr\": 1}]}";
  std::string output;
  const int status = testing::RunCommand("cd " + dir.Path().string() + " && QT_QPA_PLATFORM=offscreen:configfile=" +
                                             config + " " + VELORIN_SCALING_PROBE + " 2>/dev/null",
                                         &output);
  EXPECT_EQ(status, 0) << output;
  std::map<std::string, std::vector<int>> lines;
  std::istringstream in(output);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string name;
    fields >> name;
    std::vector<int> numbers;
    for (int n; fields >> n;) numbers.push_back(n);
    lines[name] = numbers;
  }
  return lines;
}

TEST(ScaleWindows, At800By600And120DpiEveryWindowIs108Percent) {
  const auto lines = RunProbe(800, 600, 120);
  ASSERT_EQ(lines.at("screen"), (std::vector<int>{800, 120}));
  EXPECT_EQ(lines.at("MainForm"), (std::vector<int>{428, 351, 16}));
  EXPECT_EQ(lines.at("MainForm.kxShapeBtn1"), (std::vector<int>{95, 123, 243, 36, 19}));
  EXPECT_EQ(lines.at("MainForm.ComboName"), (std::vector<int>{177, 69, 222, 29, 18}));
  EXPECT_EQ(lines.at("KazForm"), (std::vector<int>{442, 151, 16}));
  EXPECT_EQ(lines.at("KazForm.QLabel"), (std::vector<int>{18, 13, 415, 80, 22}));
  EXPECT_EQ(lines.at("TestForm"), (std::vector<int>{847, 583, 16}));
  EXPECT_EQ(lines.at("TestForm.QuestLabel"), (std::vector<int>{31, 31, 783, 79, 21}));
  EXPECT_EQ(lines.at("TestForm.OKBtn"), (std::vector<int>{198, 512, 183, 38, 22}));
  EXPECT_EQ(lines.at("InfoForm"), (std::vector<int>{723, 507, 16}));
  EXPECT_EQ(lines.at("InfoForm.DBGrid1"), (std::vector<int>{28, 59, 666, 368, 21}));
}

TEST(ScaleWindows, At640And96DpiEveryWindowIs97Percent) {
  const auto lines = RunProbe(640, 480, 96);
  EXPECT_EQ(lines.at("MainForm"), (std::vector<int>{384, 315, 15}));
  EXPECT_EQ(lines.at("TestForm"), (std::vector<int>{760, 524, 15}));
  EXPECT_EQ(lines.at("TestForm.ALabel"), (std::vector<int>{93, 135, 636, 65, 18}));
}

TEST(ScaleWindows, At1024And96DpiEveryWindowIs158Percent) {
  const auto lines = RunProbe(1024, 768, 96);
  EXPECT_EQ(lines.at("MainForm"), (std::vector<int>{626, 514, 24}));
  EXPECT_EQ(lines.at("InfoForm"), (std::vector<int>{1057, 741, 24}));
}

TEST(ScaleWindows, At1280WideNothingIsScaled) {
  for (int dpi : {96, 120}) {
    const auto lines = RunProbe(1280, 1024, dpi);
    EXPECT_EQ(lines.at("MainForm"), (std::vector<int>{396, 325, 15})) << dpi;
    EXPECT_EQ(lines.at("MainForm.kxShapeBtn1"), (std::vector<int>{88, 114, 225, 33, 18})) << dpi;
    EXPECT_EQ(lines.at("KazForm"), (std::vector<int>{409, 140, 15})) << dpi;
    EXPECT_EQ(lines.at("TestForm"), (std::vector<int>{784, 540, 15})) << dpi;
    EXPECT_EQ(lines.at("InfoForm"), (std::vector<int>{669, 469, 15})) << dpi;
  }
}

}  // namespace
}  // namespace velorin
