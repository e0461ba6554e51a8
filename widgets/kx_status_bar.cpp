#include "widgets/kx_status_bar.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QSizeGrip>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <stdexcept>

#include "widgets/system_colors.h"

namespace velorin {
namespace {

// A panel's frame starts this far below the bar's top and ends this far before the next
// panel; its text keeps clear of the frame by the inset.
constexpr int kPanelTopGap = 2;
constexpr int kPanelGap = 2;
constexpr int kTextInsetX = 2;
constexpr int kTextInsetY = 1;

struct PanelWidth {
  enum class Kind { kNone, kPixels, kPercent };
  Kind kind = Kind::kNone;
  int64_t value = 0;
};

// "350" or "30%", blanks around allowed; larger numbers than an int saturate.
PanelWidth ParseWidth(const QString& text) {
  QString digits = text.trimmed();
  PanelWidth result;
  bool percent = false;
  if (digits.endsWith(QLatin1Char('%'))) {
    percent = true;
    digits.chop(1);
    digits = digits.trimmed();
  }
  if (digits.isEmpty()) return result;
  int64_t value = 0;
  for (const QChar c : digits) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return result;
    value = std::min<int64_t>(INT_MAX, value * 10 + (c.unicode() - '0'));
  }
  result.kind = percent ? PanelWidth::Kind::kPercent : PanelWidth::Kind::kPixels;
  result.value = value;
  return result;
}

}  // namespace

std::vector<int> ShareStatusPanelWidths(int barWidth, const std::vector<QString>& widthTexts) {
  std::vector<PanelWidth> parsed;
  parsed.reserve(widthTexts.size());
  for (const QString& text : widthTexts) parsed.push_back(ParseWidth(text));

  std::vector<int> widths(parsed.size(), 0);
  int64_t left = std::max(0, barWidth);
  for (size_t i = 0; i < parsed.size(); ++i) {
    if (parsed[i].kind != PanelWidth::Kind::kPixels) continue;
    const int64_t width = std::min(parsed[i].value, left);
    widths[i] = static_cast<int>(width);
    left -= width;
  }
  const int64_t leftOver = left;
  for (size_t i = 0; i < parsed.size(); ++i) {
    if (parsed[i].kind != PanelWidth::Kind::kPercent) continue;
    const int64_t width = std::min(parsed[i].value * leftOver / 100, left);
    widths[i] = static_cast<int>(width);
    left -= width;
  }
  return widths;
}

TkxStatusPanel::TkxStatusPanel(TkxStatusBar* owner)
    : owner_(owner),
      font_(owner->font()),
      fontColor_(owner->palette().color(QPalette::Active, QPalette::WindowText)) {
  textOptions_.SetChangeHandler([this] { Changed(); });
}

void TkxStatusPanel::Changed() { owner_->update(); }

void TkxStatusPanel::SetText(const QString& text) {
  text_ = text;
  Changed();
}

void TkxStatusPanel::SetFont(const QFont& font) {
  font_ = font;
  Changed();
}

void TkxStatusPanel::SetFontColor(const QColor& color) {
  fontColor_ = color;
  Changed();
}

void TkxStatusPanel::SetWidth(const QString& width) {
  width_ = width;
  Changed();
}

TkxStatusBar::TkxStatusBar(QWidget* parent) : QWidget(parent) {
  simpleTextOptions_.SetVAlignment(TVAlignment::vaVCenter);
}

TkxStatusBar::~TkxStatusBar() = default;

TkxStatusPanel& TkxStatusBar::AddPanel() {
  panels_.push_back(std::unique_ptr<TkxStatusPanel>(new TkxStatusPanel(this)));
  update();
  return *panels_.back();
}

TkxStatusPanel& TkxStatusBar::Panel(int index) {
  if (index < 0 || index >= PanelCount()) throw std::out_of_range("status panel index");
  return *panels_[static_cast<size_t>(index)];
}

const TkxStatusPanel& TkxStatusBar::Panel(int index) const {
  if (index < 0 || index >= PanelCount()) throw std::out_of_range("status panel index");
  return *panels_[static_cast<size_t>(index)];
}

void TkxStatusBar::DeletePanel(int index) {
  if (index < 0 || index >= PanelCount()) throw std::out_of_range("status panel index");
  panels_.erase(panels_.begin() + index);
  update();
}

void TkxStatusBar::ClearPanels() {
  panels_.clear();
  update();
}

std::vector<int> TkxStatusBar::PanelWidths() const {
  std::vector<QString> texts;
  texts.reserve(panels_.size());
  for (const auto& panel : panels_) texts.push_back(panel->Width());
  return ShareStatusPanelWidths(width(), texts);
}

QRect TkxStatusBar::PanelRect(int index) const {
  if (index < 0 || index >= PanelCount()) throw std::out_of_range("status panel index");
  const std::vector<int> widths = PanelWidths();
  int left = 0;
  for (int i = 0; i < index; ++i) left += widths[static_cast<size_t>(i)];
  return QRect(left, 0, widths[static_cast<size_t>(index)], height());
}

void TkxStatusBar::SetSimplePanel(bool simple) {
  simplePanel_ = simple;
  update();
}

void TkxStatusBar::SetSimpleText(const QString& text) {
  simpleText_ = text;
  update();
}

void TkxStatusBar::SetSizeGrip(bool show) {
  if (show == SizeGrip()) return;
  if (show) {
    sizeGrip_ = std::make_unique<QSizeGrip>(this);
    PlaceSizeGrip();
    sizeGrip_->show();
  } else {
    sizeGrip_.reset();
  }
}

void TkxStatusBar::PlaceSizeGrip() {
  if (sizeGrip_ == nullptr) return;
  const QSize grip = sizeGrip_->sizeHint();
  sizeGrip_->setGeometry(width() - grip.width(), height() - grip.height(), grip.width(),
                         grip.height());
}

QImage TkxStatusBar::Render() const {
  if (width() <= 0 || height() <= 0) return QImage();
  QImage image(size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  Paint(painter);
  return image;
}

void TkxStatusBar::Paint(QPainter& painter) const {
  painter.fillRect(rect(), palette().color(QPalette::Window));
  const QColor shadow = SysBtnShadow();
  const QColor light = SysBtnHighlight();
  auto sunkenFrame = [&](const QRect& frame) {
    painter.setPen(shadow);
    painter.drawLine(frame.topLeft(), frame.topRight());
    painter.drawLine(frame.topLeft(), frame.bottomLeft());
    painter.setPen(light);
    painter.drawLine(frame.bottomLeft(), frame.bottomRight());
    painter.drawLine(frame.topRight(), frame.bottomRight());
  };
  auto panelText = [&](const QRect& frame, const QString& text, const QFont& font,
                       const QColor& color, const TkxText& options) {
    painter.save();
    painter.setClipRect(frame.adjusted(1, 1, -1, -1));
    options.Draw(painter, frame.adjusted(kTextInsetX, kTextInsetY, -kTextInsetX, -kTextInsetY),
                 text, font, color, isEnabled());
    painter.restore();
  };

  if (simplePanel_) {
    const QRect frame(0, kPanelTopGap, width(), height() - kPanelTopGap);
    if (frame.width() < 2 || frame.height() < 2) return;
    sunkenFrame(frame);
    panelText(frame, simpleText_, font(), palette().color(QPalette::WindowText),
              simpleTextOptions_);
    return;
  }

  const std::vector<int> widths = PanelWidths();
  int left = 0;
  for (size_t i = 0; i < panels_.size(); ++i) {
    const TkxStatusPanel& panel = *panels_[i];
    const QRect frame(left, kPanelTopGap, widths[i] - kPanelGap, height() - kPanelTopGap);
    left += widths[i];
    if (frame.width() < 2 || frame.height() < 2) continue;
    sunkenFrame(frame);
    panelText(frame, panel.Text(), panel.Font(), panel.FontColor(), panel.TextOptions());
  }
}

void TkxStatusBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Paint(painter);
}

void TkxStatusBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceSizeGrip();
  update();
}

QSize TkxStatusBar::sizeHint() const {
  int textHeight = QFontMetrics(font()).height();
  for (const auto& panel : panels_) {
    textHeight = std::max(textHeight, QFontMetrics(panel->Font()).height());
  }
  return QSize(200, textHeight + kPanelTopGap + 2 * kTextInsetY + 4);
}

}  // namespace velorin
