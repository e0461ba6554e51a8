#include "widgets/kx_text.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QList>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "widgets/system_colors.h"

namespace velorin {
namespace {

// Unwrapped lines are never broken, whatever their length; QTextLayout still wants a
// width, and this one is far beyond any screen.
constexpr qreal kUnwrappedLineWidth = 1.0e6;

// The farthest a line is ever placed from the origin, in pixels.
constexpr int64_t kMaxCoordinate = int64_t{1} << 24;

// The eight outline offsets, in drawing order.
constexpr int kOutlineOffsets[8][2] = {{1, 1},  {-1, 1}, {1, -1}, {-1, -1},
                                       {0, 1},  {-1, 0}, {1, 0},  {0, -1}};

struct Paragraph {
  QString text;
  int start = 0;  // index of its first character in the whole (stripped) text
};

std::vector<Paragraph> SplitParagraphs(const QString& text) {
  std::vector<Paragraph> result;
  Paragraph current;
  for (int i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
      result.push_back(std::move(current));
      if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
        ++i;
      }
      current = Paragraph{};
      current.start = i + 1;
    } else {
      current.text.append(c);
    }
  }
  result.push_back(std::move(current));
  return result;
}

// The text broken into positioned lines, ready to be drawn at any offset.
struct TextBlock {
  std::vector<std::unique_ptr<QTextLayout>> layouts;
  QRect bounds;
  bool empty = true;
};

TextBlock LayOut(const TkxText& options, const QRect& rect, const QString& text,
                 const QFont& font) {
  TextBlock block;
  int accelIndex = -1;
  const QString shown = options.Options().Contains(TkxTextOption::toShowAccel)
                            ? StripAccelMarks(text, &accelIndex)
                            : text;
  if (shown.isEmpty()) {
    block.bounds = QRect(rect.topLeft(), QSize(0, 0));
    return block;
  }
  block.empty = false;

  const QFontMetrics metrics(font);
  const int lineHeight = metrics.height();
  const int64_t pitch =
      options.WordWrap()
          ? std::clamp<int64_t>(int64_t{QFontInfo(font).pixelSize()} + options.LineSpacing(), 1,
                                kMaxCoordinate)
          : std::max(1, lineHeight);
  QTextOption textOption;
  textOption.setWrapMode(options.WordWrap() ? QTextOption::WordWrap : QTextOption::NoWrap);
  const qreal lineWidth =
      options.WordWrap() ? std::max(1, rect.width()) : kUnwrappedLineWidth;

  std::vector<QTextLine> lines;
  for (const Paragraph& paragraph : SplitParagraphs(shown)) {
    auto layout = std::make_unique<QTextLayout>(paragraph.text, font);
    layout->setTextOption(textOption);
    if (accelIndex >= paragraph.start && accelIndex < paragraph.start + paragraph.text.size()) {
      QTextLayout::FormatRange range;
      range.start = accelIndex - paragraph.start;
      range.length = 1;
      range.format.setFontUnderline(true);
      layout->setFormats(QList<QTextLayout::FormatRange>{range});
    }
    layout->beginLayout();
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
      line.setLineWidth(lineWidth);
      lines.push_back(line);
    }
    layout->endLayout();
    block.layouts.push_back(std::move(layout));
  }

  // Positions are worked out wide and kept within kMaxCoordinate: a huge line spacing or
  // a text of very many lines puts its far lines off every screen, not past an int.
  const auto bounded = [](int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, -kMaxCoordinate, kMaxCoordinate));
  };
  const int64_t count = static_cast<int64_t>(lines.size());
  const int64_t blockHeight = (count - 1) * pitch + lineHeight;
  int64_t top = rect.top();
  switch (options.VAlignment()) {
    case TVAlignment::vaTop: break;
    case TVAlignment::vaVCenter: top += (rect.height() - blockHeight) / 2; break;
    case TVAlignment::vaBottom: top += rect.height() - blockHeight; break;
  }
  for (int64_t i = 0; i < count; ++i) {
    QTextLine& line = lines[static_cast<size_t>(i)];
    const int64_t width = bounded(static_cast<int64_t>(std::ceil(line.naturalTextWidth())));
    int64_t left = rect.left();
    switch (options.Alignment()) {
      case TAlignment::taLeftJustify: break;
      case TAlignment::taRightJustify: left += rect.width() - width; break;
      case TAlignment::taCenter: left += (rect.width() - width) / 2; break;
    }
    const int x = bounded(left);
    const int y = bounded(top + i * pitch);
    line.setPosition(QPointF(x, y));
    block.bounds =
        block.bounds.united(QRect(x, y, std::max<int>(static_cast<int>(width), 1), lineHeight));
  }
  return block;
}

}  // namespace

QString StripAccelMarks(const QString& text, int* accelIndex) {
  QString result;
  result.reserve(text.size());
  int accel = -1;
  for (int i = 0; i < text.size(); ++i) {
    if (text.at(i) != QLatin1Char('&')) {
      result.append(text.at(i));
      continue;
    }
    if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&')) {
      result.append(QLatin1Char('&'));
      ++i;
    } else if (i + 1 < text.size() && accel < 0) {
      accel = static_cast<int>(result.size());
    }
  }
  if (accelIndex != nullptr) *accelIndex = accel;
  return result;
}

TkxText::TkxText()
    : highlightColor_(SysBtnHighlight()),
      shadeColor_(SysBtnShadow()),
      outlineColor_(Qt::black),
      disabledHighlightColor_(SysBtnHighlight()),
      disabledShadeColor_(SysBtnShadow()) {}

TkxText::TkxText(const TkxText& other)
    : style_(other.style_),
      highlightColor_(other.highlightColor_),
      shadeColor_(other.shadeColor_),
      outlineColor_(other.outlineColor_),
      disabledHighlightColor_(other.disabledHighlightColor_),
      disabledShadeColor_(other.disabledShadeColor_),
      alignment_(other.alignment_),
      vAlignment_(other.vAlignment_),
      wordWrap_(other.wordWrap_),
      lineSpacing_(other.lineSpacing_),
      options_(other.options_) {}

TkxText& TkxText::operator=(const TkxText& other) {
  if (this == &other) return *this;
  style_ = other.style_;
  highlightColor_ = other.highlightColor_;
  shadeColor_ = other.shadeColor_;
  outlineColor_ = other.outlineColor_;
  disabledHighlightColor_ = other.disabledHighlightColor_;
  disabledShadeColor_ = other.disabledShadeColor_;
  alignment_ = other.alignment_;
  vAlignment_ = other.vAlignment_;
  wordWrap_ = other.wordWrap_;
  lineSpacing_ = other.lineSpacing_;
  options_ = other.options_;
  Changed();
  return *this;
}

void TkxText::Changed() const {
  if (changed_) changed_();
}

template <typename T>
TkxText& TkxText::Assign(T& field, const T& value) {
  if (!(field == value)) {
    field = value;
    Changed();
  }
  return *this;
}

TkxText& TkxText::SetStyle(TkxTextStyle value) { return Assign(style_, value); }
TkxText& TkxText::SetHighlightColor(const QColor& value) { return Assign(highlightColor_, value); }
TkxText& TkxText::SetShadeColor(const QColor& value) { return Assign(shadeColor_, value); }
TkxText& TkxText::SetOutlineColor(const QColor& value) { return Assign(outlineColor_, value); }
TkxText& TkxText::SetDisabledHighlightColor(const QColor& value) {
  return Assign(disabledHighlightColor_, value);
}
TkxText& TkxText::SetDisabledShadeColor(const QColor& value) {
  return Assign(disabledShadeColor_, value);
}
TkxText& TkxText::SetAlignment(TAlignment value) { return Assign(alignment_, value); }
TkxText& TkxText::SetVAlignment(TVAlignment value) { return Assign(vAlignment_, value); }
TkxText& TkxText::SetWordWrap(bool value) { return Assign(wordWrap_, value); }
TkxText& TkxText::SetLineSpacing(int value) { return Assign(lineSpacing_, value); }
TkxText& TkxText::SetOptions(TkxTextOptions value) { return Assign(options_, value); }

bool TkxText::SameOptions(const TkxText& other) const {
  return style_ == other.style_ && highlightColor_ == other.highlightColor_ &&
         shadeColor_ == other.shadeColor_ && outlineColor_ == other.outlineColor_ &&
         disabledHighlightColor_ == other.disabledHighlightColor_ &&
         disabledShadeColor_ == other.disabledShadeColor_ && alignment_ == other.alignment_ &&
         vAlignment_ == other.vAlignment_ && wordWrap_ == other.wordWrap_ &&
         lineSpacing_ == other.lineSpacing_ && options_ == other.options_;
}

QRect TkxText::TextRect(const QRect& rect, const QString& text, const QFont& font) const {
  return LayOut(*this, rect, text, font).bounds;
}

void TkxText::Draw(QPainter& painter, const QRect& rect, const QString& text, const QFont& font,
                   const QColor& fontColor, bool enabled) const {
  const TextBlock block = LayOut(*this, rect, text, font);
  if (block.empty) return;

  painter.save();
  auto drawAt = [&](const QColor& color, int dx, int dy) {
    if (!color.isValid()) return;
    painter.setPen(color);
    for (const auto& layout : block.layouts) layout->draw(&painter, QPointF(dx, dy));
  };

  TkxTextStyle style = style_;
  if (!enabled && style == TkxTextStyle::kxlsDefault) style = TkxTextStyle::kxlsLowered;
  const QColor highlight = enabled ? highlightColor_ : disabledHighlightColor_;
  const QColor shade = enabled ? shadeColor_ : disabledShadeColor_;

  switch (style) {
    case TkxTextStyle::kxlsDefault:
      drawAt(fontColor, 0, 0);
      break;
    case TkxTextStyle::kxlsLowered:
    case TkxTextStyle::kxlsRaised: {
      const bool lowered = style == TkxTextStyle::kxlsLowered;
      if (enabled) drawAt(lowered ? shade : highlight, -1, -1);
      drawAt(lowered ? highlight : shade, 1, 1);
      drawAt(enabled ? fontColor : shade, 0, 0);
      break;
    }
    case TkxTextStyle::kxlsOutline:
      for (const auto& offset : kOutlineOffsets) drawAt(outlineColor_, offset[0], offset[1]);
      drawAt(enabled ? fontColor : disabledHighlightColor_, 0, 0);
      break;
  }
  painter.restore();
}

}  // namespace velorin
