// The effect-text label: it renders its text with its options, colour and state, and
// paints nothing else.
#include "widgets/kx_label.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPainter>

#include "image_probe.h"
#include "widgets/system_colors.h"

namespace velorin {
namespace {

using test::AliasedFont;

QImage Expected(const TkxLabel& label, bool enabled) {
  QImage image = test::TransparentImage(label.size());
  QPainter painter(&image);
  label.TextOptions().Draw(painter, label.rect(), label.Text(), label.font(), label.FontColor(),
                           enabled);
  return image;
}

TEST(TkxLabelRender, LoweredMaroonTextOnATransparentGround) {
  TkxLabel label(QStringLiteral("Представьтесь:"));
  label.setGeometry(24, 68, 133, 21);
  label.setFont(AliasedFont(18));
  label.SetFontColor(kMaroon);
  label.TextOptions().SetStyle(TkxTextStyle::kxlsLowered);

  const QImage image = label.Render();
  ASSERT_EQ(image.size(), QSize(133, 21));
  EXPECT_EQ(image, Expected(label, true));
  EXPECT_GT(test::CountRgb(image, kMaroon), 0);
  EXPECT_GT(test::CountRgb(image, SysBtnShadow()), 0);
  EXPECT_TRUE(test::TransparentAt(image, 132, 0));  // no background
  test::Keep(image, QStringLiteral("label_lowered"));
}

TEST(TkxLabelRender, DisabledLabelDrawsTheDisabledLook) {
  TkxLabel label(QStringLiteral("Вопрос №1"));
  label.resize(104, 23);
  label.setFont(AliasedFont(20));
  label.SetFontColor(kMaroon);
  label.setEnabled(false);
  const QImage image = label.Render();
  EXPECT_EQ(image, Expected(label, false));
  EXPECT_EQ(test::CountRgb(image, kMaroon), 0);
}

TEST(TkxLabelRender, WordWrappedMessageBreaksAtCarriageReturn) {
  TkxLabel label(QStringLiteral("Из 30 представленных вопросов Вы ответили правильно на 25\r"
                                "Время: 0:12:05"));
  label.resize(384, 74);
  label.setFont(AliasedFont(20));
  label.TextOptions().SetWordWrap(true).SetStyle(TkxTextStyle::kxlsLowered);
  const QImage image = label.Render();
  const QRect text = test::OpaqueBounds(image);
  EXPECT_LE(text.right(), 384);
  // Two lines of the text and the time on a third: three rows of 25 pixels.
  EXPECT_GT(text.height(), 2 * 25);
  test::Keep(image, QStringLiteral("label_wrapped"));
}

TEST(TkxLabelProperties, SettersChangeWhatIsDrawn) {
  TkxLabel label;
  label.resize(120, 30);
  label.setFont(AliasedFont(18));
  EXPECT_TRUE(test::OpaqueBounds(label.Render()).isNull());
  label.SetText(QStringLiteral("Ok"));
  EXPECT_EQ(label.Text(), QStringLiteral("Ok"));
  const QImage plain = label.Render();
  EXPECT_FALSE(test::OpaqueBounds(plain).isNull());

  TkxText outline;
  outline.SetStyle(TkxTextStyle::kxlsOutline);
  label.SetTextOptions(outline);
  EXPECT_EQ(label.TextOptions().Style(), TkxTextStyle::kxlsOutline);
  EXPECT_NE(label.Render(), plain);

  label.SetFontColor(kNavy);
  EXPECT_EQ(label.FontColor(), kNavy);
  EXPECT_GT(test::CountRgb(label.Render(), kNavy), 0);
}

TEST(TkxLabelProperties, SizeHintCoversTheTextAndItsEffect) {
  TkxLabel label(QStringLiteral("Выберите желаемый вариант\rдля проведения тестирования:"));
  label.setFont(AliasedFont(18));
  const QSize hint = label.sizeHint();
  const int height = QFontMetrics(label.font()).height();
  EXPECT_EQ(hint.height(), 2 * height + 1);
  EXPECT_GT(hint.width(), QFontMetrics(label.font()).horizontalAdvance(QStringLiteral("Выберите")));
}

TEST(TkxLabelAutoSize, GrowsWithItsTextNeverBelowTheGivenSize) {
  const QString wide = QStringLiteral("Вопрос №30 и ещё немного текста");
  TkxLabel label(QStringLiteral("Вопрос №1"));
  label.setFont(AliasedFont(20));
  label.setGeometry(17, 3, 60, 23);
  label.SetText(wide);
  EXPECT_EQ(label.width(), 60);  // only with AutoSize
  label.SetAutoSize(true);
  const int needed = label.sizeHint().width();
  EXPECT_GT(needed, QFontMetrics(label.font()).horizontalAdvance(wide));
  EXPECT_EQ(label.geometry(), QRect(17, 3, needed, 23));  // wider; height and place kept
  // The whole text is drawn: as much of it as on a label far wider.
  TkxLabel unclipped(wide);
  unclipped.setFont(label.font());
  unclipped.resize(1000, 23);
  EXPECT_EQ(test::OpaqueBounds(label.Render()), test::OpaqueBounds(unclipped.Render()));
  label.SetText(QStringLiteral("1"));
  EXPECT_EQ(label.size(), QSize(60, 23));  // back to the given size
  label.resize(200, 30);  // placed anew: the new floor
  label.SetText(wide);
  EXPECT_EQ(label.size(), QSize(std::max(200, needed), 30));
}

TEST(TkxLabelRender, EmptyControlGivesANullImage) {
  TkxLabel label(QStringLiteral("x"));
  label.resize(0, 0);
  EXPECT_TRUE(label.Render().isNull());
}

}  // namespace
}  // namespace velorin
