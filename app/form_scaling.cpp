#include "app/form_scaling.h"

#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <cstdint>

namespace velorin {

int ScaleRatio::Scale(int value) const {
  if (IsIdentity() || denominator == 0) return value;
  const int64_t product = static_cast<int64_t>(value) * numerator;
  const int64_t half = denominator / 2;
  const int64_t scaled = product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
  return static_cast<int>(scaled);
}

QRect ScaleRatio::Scale(const QRect& rect) const {
  const int left = Scale(rect.x());
  const int top = Scale(rect.y());
  const int right = Scale(rect.x() + rect.width());
  const int bottom = Scale(rect.y() + rect.height());
  return QRect(left, top, right - left, bottom - top);
}

ScaleRatio ScreenScaleRatio(const ScreenMetrics& screen) {
  struct Row {
    int width;
    int at96;
    int at120;
  };
  // 0 leaves the window unchanged.
  static constexpr Row kRows[] = {{640, 97, 0}, {800, 122, 108}, {1024, 158, 138}};
  for (const Row& row : kRows) {
    if (row.width != screen.width) continue;
    const int percent = screen.pixelsPerInch == 96 ? row.at96 : screen.pixelsPerInch == 120 ? row.at120 : 0;
    if (percent != 0) return ScaleRatio{percent, 100};
  }
  return ScaleRatio{};
}

ScreenMetrics PrimaryScreenMetrics() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return ScreenMetrics{};
  return ScreenMetrics{screen->geometry().width(),
                       static_cast<int>(std::lround(screen->logicalDotsPerInch()))};
}

QFont ScaledFont(const QFont& font, ScaleRatio ratio) {
  QFont scaled = font;
  if (font.pixelSize() > 0) {
    scaled.setPixelSize(ratio.Scale(font.pixelSize()));
  } else if (font.pointSizeF() > 0) {
    scaled.setPointSizeF(font.pointSizeF() * ratio.numerator / ratio.denominator);
  }
  return scaled;
}

namespace {
constexpr const char* kPlacedProperty = "velorinPlacedControl";
}  // namespace

void PlaceControl(QWidget& control, const QRect& designPlace) {
  control.setGeometry(designPlace);
  control.setProperty(kPlacedProperty, true);
}

bool IsPlacedControl(const QWidget& widget) { return widget.property(kPlacedProperty).toBool(); }

void ScaleFormBy(QWidget& form, ScaleRatio ratio) {
  if (ratio.IsIdentity()) return;
  // Collected first: a control's geometry is scaled once, relative to its parent.
  const QList<QWidget*> controls = form.findChildren<QWidget*>();
  const QSize client = form.size();
  form.setFixedSize(ratio.Scale(client.width()), ratio.Scale(client.height()));
  if (form.testAttribute(Qt::WA_SetFont)) form.setFont(ScaledFont(form.font(), ratio));
  for (QWidget* control : controls) {
    if (control->isWindow() || !IsPlacedControl(*control)) continue;
    control->setGeometry(ratio.Scale(control->geometry()));
    if (control->testAttribute(Qt::WA_SetFont)) control->setFont(ScaledFont(control->font(), ratio));
  }
}

ScaleRatio ScaleFormToScreen(QWidget& form) {
  const ScaleRatio ratio = ScreenScaleRatio(PrimaryScreenMetrics());
  ScaleFormBy(form, ratio);
  return ratio;
}

}  // namespace velorin
