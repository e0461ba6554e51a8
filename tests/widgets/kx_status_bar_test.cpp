// The status bar: sharing its width among fixed and percentage panels, and drawing the
// panel texts within their panels.
#include "widgets/kx_status_bar.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "image_probe.h"

namespace velorin {
namespace {

std::vector<int> Share(int width, std::initializer_list<const char*> texts) {
  std::vector<QString> widths;
  for (const char* text : texts) widths.push_back(QString::fromLatin1(text));
  return ShareStatusPanelWidths(width, widths);
}

TEST(StatusPanelWidths, FixedWidthsStopAtTheBarsEdge) {
  EXPECT_EQ(Share(300, {"350", "50"}), (std::vector<int>{300, 0}));
  EXPECT_EQ(Share(784, {"350", "50"}), (std::vector<int>{350, 50}));
  EXPECT_EQ(Share(380, {"350", "50"}), (std::vector<int>{350, 30}));
}

TEST(StatusPanelWidths, PercentagesShareWhatTheFixedPanelsLeave) {
  EXPECT_EQ(Share(500, {"100", "50%"}), (std::vector<int>{100, 200}));
  // Fixed panels are served first wherever they stand.
  EXPECT_EQ(Share(500, {"50%", "100"}), (std::vector<int>{200, 100}));
  EXPECT_EQ(Share(1000, {"30%", "70%"}), (std::vector<int>{300, 700}));
  // Rounded down.
  EXPECT_EQ(Share(333, {"50%", "50%"}), (std::vector<int>{166, 166}));
  EXPECT_EQ(Share(300, {"350", "50%"}), (std::vector<int>{300, 0}));
}

TEST(StatusPanelWidths, SharesOverAHundredPercentStopAtTheBarsEdge) {
  EXPECT_EQ(Share(200, {"80%", "80%"}), (std::vector<int>{160, 40}));
  EXPECT_EQ(Share(200, {"50", "300%", "10%"}), (std::vector<int>{50, 150, 0}));
}

TEST(StatusPanelWidths, OtherWidthTextsGiveNothing) {
  EXPECT_EQ(Share(500, {"", "abc", "-5", "12.5%", "%", "1e3", "100"}),
            (std::vector<int>{0, 0, 0, 0, 0, 0, 100}));
  EXPECT_EQ(Share(500, {" 120 ", "25 %"}), (std::vector<int>{120, 95}));
  EXPECT_EQ(Share(500, {"99999999999999999999", "10"}), (std::vector<int>{500, 0}));
  EXPECT_EQ(Share(500, {"99999999999999999999%"}), (std::vector<int>{500}));
  EXPECT_EQ(Share(-10, {"10", "10%"}), (std::vector<int>{0, 0}));
  EXPECT_TRUE(Share(500, {}).empty());
}

class TkxStatusBarTest : public ::testing::Test {
 protected:
  void TwoPanels(const char* first, const char* second) {
    bar_.AddPanel().SetWidth(QString::fromLatin1(first));
    bar_.AddPanel().SetWidth(QString::fromLatin1(second));
  }
  TkxStatusBar bar_;
};

TEST_F(TkxStatusBarTest, PanelsFollowTheBarsWidth) {
  TwoPanels("350", "50");
  bar_.resize(300, 25);
  EXPECT_EQ(bar_.PanelWidths(), (std::vector<int>{300, 0}));
  EXPECT_EQ(bar_.PanelRect(1), QRect(300, 0, 0, 25));
  bar_.resize(784, 25);
  EXPECT_EQ(bar_.PanelWidths(), (std::vector<int>{350, 50}));
  EXPECT_EQ(bar_.PanelRect(1), QRect(350, 0, 50, 25));
}

TEST_F(TkxStatusBarTest, HundredAndHalfOnFiveHundred) {
  TwoPanels("100", "50%");
  bar_.resize(500, 25);
  EXPECT_EQ(bar_.PanelWidths(), (std::vector<int>{100, 200}));
  bar_.Panel(1).SetWidth(QStringLiteral("100%"));
  EXPECT_EQ(bar_.PanelWidths(), (std::vector<int>{100, 400}));
}

TEST_F(TkxStatusBarTest, PanelPropertiesAndCollection) {
  TkxStatusPanel& panel = bar_.AddPanel();
  panel.SetName(QStringLiteral("Total"));
  panel.SetTag(7);
  panel.SetText(QStringLiteral("Общее количество вопросов: 30"));
  EXPECT_EQ(bar_.PanelCount(), 1);
  EXPECT_EQ(bar_.Panel(0).Name(), QStringLiteral("Total"));
  EXPECT_EQ(bar_.Panel(0).Tag(), 7);
  EXPECT_EQ(bar_.Panel(0).Font(), bar_.font());
  EXPECT_EQ(bar_.Panel(0).TextOptions().Style(), TkxTextStyle::kxlsDefault);
  EXPECT_THROW(bar_.Panel(1), std::out_of_range);
  EXPECT_THROW(bar_.Panel(-1), std::out_of_range);
  EXPECT_THROW(bar_.PanelRect(3), std::out_of_range);
  EXPECT_THROW(bar_.DeletePanel(1), std::out_of_range);
  bar_.AddPanel();
  bar_.DeletePanel(0);
  EXPECT_EQ(bar_.PanelCount(), 1);
  EXPECT_TRUE(bar_.Panel(0).Name().isEmpty());
  bar_.ClearPanels();
  EXPECT_EQ(bar_.PanelCount(), 0);
  EXPECT_TRUE(bar_.PanelWidths().empty());
  EXPECT_FALSE(bar_.SimplePanel());
  EXPECT_FALSE(bar_.SizeGrip());
  EXPECT_EQ(bar_.StatusBarText().Caps, QStringLiteral("Caps"));
  EXPECT_EQ(bar_.StatusBarText().Overwrite, QStringLiteral("Overwrite"));
}

// Where pixels of the panels' text colour fall, by column.
QRect TextColumns(const QImage& image, const QColor& color) {
  const QRgb wanted = color.rgb();
  return test::Bounds(image, [wanted](QRgb p) { return p == wanted; });
}

TEST_F(TkxStatusBarTest, PanelTextStaysInItsPanel) {
  TwoPanels("350", "50");
  bar_.resize(500, 25);
  const QColor green(0, 150, 0);
  const QColor blue(0, 0, 200);
  for (int i = 0; i < 2; ++i) {
    TkxStatusPanel& panel = bar_.Panel(i);
    panel.SetFont(test::AliasedFont(15, true));
    panel.TextOptions().SetStyle(TkxTextStyle::kxlsLowered);
  }
  bar_.Panel(0).SetFontColor(green);
  bar_.Panel(0).SetText(QStringLiteral("Общее количество вопросов: 30"));
  bar_.Panel(1).SetFontColor(blue);
  bar_.Panel(1).SetText(QStringLiteral("Правильно отвечено: 25"));
  const QImage image = bar_.Render();
  test::Keep(image, QStringLiteral("status_bar"));
  const QRect first = TextColumns(image, green);
  const QRect second = TextColumns(image, blue);
  ASSERT_FALSE(first.isNull());
  ASSERT_FALSE(second.isNull());
  EXPECT_GE(first.left(), 0);
  EXPECT_LT(first.right(), 350);
  EXPECT_GE(second.left(), 350);
  EXPECT_LT(second.right(), 400);  // the long text is cut at its panel's edge

  // At 300 pixels the second panel has no room and shows nothing.
  bar_.resize(300, 25);
  const QImage narrow = bar_.Render();
  EXPECT_TRUE(TextColumns(narrow, blue).isNull());
  EXPECT_FALSE(TextColumns(narrow, green).isNull());
}

TEST_F(TkxStatusBarTest, SimplePanelShowsOneTextAcrossTheBar) {
  TwoPanels("100", "100");
  bar_.resize(400, 25);
  bar_.setFont(test::AliasedFont(15));
  QPalette palette = bar_.palette();
  palette.setColor(QPalette::WindowText, QColor(0, 150, 0));
  bar_.setPalette(palette);
  bar_.SetSimplePanel(true);
  bar_.SetSimpleText(QStringLiteral("Готово к работе, ждём ответа пользователя"));
  const QRect text = TextColumns(bar_.Render(), QColor(0, 150, 0));
  ASSERT_FALSE(text.isNull());
  EXPECT_GT(text.right(), 200);
}

TEST_F(TkxStatusBarTest, SizeGripComesAndGoes) {
  bar_.resize(400, 25);
  bar_.SetSizeGrip(true);
  EXPECT_TRUE(bar_.SizeGrip());
  EXPECT_EQ(bar_.findChildren<QWidget*>().size(), 1);
  bar_.SetSizeGrip(false);
  EXPECT_FALSE(bar_.SizeGrip());
  EXPECT_TRUE(bar_.findChildren<QWidget*>().isEmpty());
}

TEST_F(TkxStatusBarTest, EmptyBarRendersNothing) {
  bar_.resize(0, 0);
  EXPECT_TRUE(bar_.Render().isNull());
}

}  // namespace
}  // namespace velorin
