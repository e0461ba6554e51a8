// The components on a window, as the program's windows use them: what shows through
// around them is the window itself.
#include <gtest/gtest.h>

#include <QWidget>

#include "image_probe.h"
#include "widgets/kx_label.h"
#include "widgets/kx_shape_btn.h"
#include "widgets/kx_status_bar.h"
#include "widgets/system_colors.h"

namespace velorin {
namespace {

const QColor kWindowColor(250, 240, 160);

class WindowUse : public ::testing::Test {
 protected:
  WindowUse() {
    window_.resize(396, 325);
    QPalette palette = window_.palette();
    palette.setColor(QPalette::Window, kWindowColor);
    window_.setPalette(palette);
    window_.setAutoFillBackground(true);
  }
  QWidget window_;
};

TEST_F(WindowUse, LabelAndButtonsLetTheWindowShowThrough) {
  auto* label = new TkxLabel(QStringLiteral("Представьтесь:"), &window_);
  label->setGeometry(24, 68, 133, 21);
  label->setFont(test::SmoothFont(18));
  label->SetFontColor(kMaroon);
  label->TextOptions().SetStyle(TkxTextStyle::kxlsLowered);

  auto* rect = new TkxShapeBtn(&window_);
  rect->setGeometry(88, 114, 225, 33);
  rect->setText(QStringLiteral("Тестирование"));
  rect->setFont(test::SmoothFont(18));
  rect->SetFontColor(kNavy);
  rect->TextOptions().SetStyle(TkxTextStyle::kxlsRaised);
  rect->SetDitherColor(Qt::white);
  rect->SetOptions({TkxButtonOption::boFocusable, TkxButtonOption::boFocusRect});

  auto* round = new TkxShapeBtn(&window_);
  round->setGeometry(88, 160, 170, 35);
  round->SetShape(TkxButtonShape::bsRoundRect);
  round->setText(QStringLiteral("Далее"));
  round->setFont(test::SmoothFont(20));
  round->SetFontColor(kNavy);
  round->TextOptions().SetStyle(TkxTextStyle::kxlsRaised);

  auto* bar = new TkxStatusBar(&window_);
  bar->setGeometry(0, 300, 396, 25);
  for (const char* width : {"350", "50"}) {
    TkxStatusPanel& panel = bar->AddPanel();
    panel.SetWidth(QString::fromLatin1(width));
    panel.SetFont(test::SmoothFont(15, true));
    panel.TextOptions().SetStyle(TkxTextStyle::kxlsLowered);
  }
  bar->Panel(0).SetText(QStringLiteral("Общее количество вопросов: 30"));
  bar->Panel(1).SetText(QStringLiteral("Правильно отвечено: 0"));

  const QImage shown = window_.grab().toImage();
  test::Keep(shown, QStringLiteral("window"));
  const QRgb background = kWindowColor.rgb() & 0xFFFFFFu;
  EXPECT_EQ(test::RgbAt(shown, 24 + 132, 68), background);   // beside the label's text
  EXPECT_EQ(test::RgbAt(shown, 88, 160), background);        // round button's corner
  EXPECT_EQ(test::RgbAt(shown, 88 + 169, 160 + 34), background);
  EXPECT_EQ(test::RgbAt(shown, 88 + 85, 160), SysBtnHighlight().rgb() & 0xFFFFFFu);
  EXPECT_EQ(test::RgbAt(shown, 88, 114), SysBtnHighlight().rgb() & 0xFFFFFFu);  // square corner
  EXPECT_GT(test::CountRgb(shown.copy(24, 68, 133, 21), kMaroon), 0);
  EXPECT_GT(test::CountRgb(shown.copy(88, 114, 225, 33), kNavy), 0);
}

}  // namespace
}  // namespace velorin
