#include "widgets/kx_label.h"

#include <QEvent>
#include <QPainter>
#include <QPalette>
#include <algorithm>

namespace velorin {
namespace {

// Room for the one-pixel effect copies on every side.
constexpr int kEffectMargin = 1;

// The width that sizeHint lays wrapped text into when the label has no width yet.
constexpr int kDefaultWrapWidth = 200;

}  // namespace

TkxLabel::TkxLabel(QWidget* parent) : TkxLabel(QString(), parent) {}

TkxLabel::TkxLabel(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
  textOptions_.SetChangeHandler([this] {
    updateGeometry();
    FitToText();
    update();
  });
}

void TkxLabel::SetText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  updateGeometry();
  FitToText();
  update();
}

void TkxLabel::SetAutoSize(bool value) {
  autoSize_ = value;
  FitToText();
}

void TkxLabel::FitToText() {
  if (!autoSize_) return;
  // A size other than the last fitted one was set from outside: it is the new floor.
  if (size() != fittedSize_) givenSize_ = size();
  const QSize needed = sizeHint();
  QSize fitted = givenSize_;
  if (textOptions_.WordWrap()) {
    fitted.setHeight(std::max(fitted.height(), needed.height()));
  } else {
    fitted.setWidth(std::max(fitted.width(), needed.width()));
  }
  fittedSize_ = fitted;
  if (fitted != size()) resize(fitted);
}

QColor TkxLabel::FontColor() const { return palette().color(QPalette::Active, foregroundRole()); }

void TkxLabel::SetFontColor(const QColor& color) {
  QPalette changed = palette();
  changed.setColor(foregroundRole(), color);
  setPalette(changed);
}

QImage TkxLabel::Render() const {
  if (width() <= 0 || height() <= 0) return QImage();
  QImage image(size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  Paint(painter);
  return image;
}

void TkxLabel::Paint(QPainter& painter) const {
  textOptions_.Draw(painter, rect(), text_, font(), FontColor(), isEnabled());
}

void TkxLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Paint(painter);
}

void TkxLabel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    updateGeometry();
    FitToText();
  }
  QWidget::changeEvent(event);
}

QSize TkxLabel::sizeHint() const {
  const int wrapWidth = width() > 0 ? width() : kDefaultWrapWidth;
  const QRect area(0, 0, textOptions_.WordWrap() ? wrapWidth : 0, 0);
  TkxText topLeft(textOptions_);
  topLeft.SetAlignment(TAlignment::taLeftJustify).SetVAlignment(TVAlignment::vaTop);
  const QRect bounds = topLeft.TextRect(area, text_, font());
  return QSize(bounds.right() + 1 + kEffectMargin, bounds.bottom() + 1 + kEffectMargin);
}

QSize TkxLabel::minimumSizeHint() const { return QSize(0, 0); }

}  // namespace velorin
