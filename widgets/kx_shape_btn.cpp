#include "widgets/kx_shape_btn.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPalette>
#include <QRegion>
#include <algorithm>

#include "widgets/system_colors.h"

namespace velorin {
namespace {

// Space between the button's edge and its caption: the bevel (at most three pixels
// with focus) and one pixel of air.
constexpr int kCaptionMargin = 4;
constexpr int kGlyphSpacing = 4;
// How far the hover highlight and the raised top go from the face colour.
constexpr double kHoverShare = 1.0 / 3.0;
constexpr double kRaisedTopShare = 0.35;

QColor Mix(const QColor& from, const QColor& to, double share) {
  auto channel = [share](int a, int b) { return static_cast<int>(a + (b - a) * share + 0.5); };
  return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                channel(from.blue(), to.blue()));
}

// Fills the face: round outlines smoothly, polygons pixel for pixel, edge included.
void FillOutline(QPainter& painter, const TkxOutline& outline, QSize size, const QBrush& brush) {
  painter.save();
  if (outline.kind == TkxOutline::Kind::kPolygon) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(brush, 1));
    painter.setBrush(brush);
    painter.drawPolygon(outline.corners);
  } else {
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(brush);
    painter.drawPath(RoundOutlinePath(outline, size, 0, false));
  }
  painter.restore();
}

// The upper-left side of a round outline shrunk by `inset`: everything above and left
// of the line through the centres of the top-right and bottom-left corner arcs, that
// line running on outwards at 45 degrees from both centres.
QRegion UpperLeftSide(const TkxOutline& outline, QSize size, int inset) {
  const QRectF box(inset, inset, size.width() - 1 - 2 * inset, size.height() - 1 - 2 * inset);
  double rx = 0;
  double ry = 0;
  if (outline.kind == TkxOutline::Kind::kEllipse) {
    rx = box.width() / 2;
    ry = box.height() / 2;
  } else {
    rx = std::min(std::max(0.0, outline.bias / 2.0 - inset), box.width() / 2);
    ry = std::min(std::max(0.0, outline.bias / 2.0 - inset), box.height() / 2);
  }
  const QPointF topRight(box.right() - rx, box.top() + ry);
  const QPointF bottomLeft(box.left() + rx, box.bottom() - ry);
  const double far = size.width() + size.height() + 4;
  const QPolygonF side({topRight + QPointF(far, -far), topRight, bottomLeft,
                        bottomLeft + QPointF(-far, far), QPointF(-far, -far)});
  return QRegion(side.toPolygon(), Qt::OddEvenFill);
}

// One bevel line of a round outline, smoothed, in two colours split by UpperLeftSide.
void StrokeRound(QPainter& painter, const TkxOutline& outline, QSize size, int inset,
                 const QColor& upperLeft, const QColor& lowerRight) {
  const QPainterPath path = RoundOutlinePath(outline, size, inset, true);
  if (path.isEmpty()) return;
  const QRegion light = UpperLeftSide(outline, size, inset);
  const QRegion whole(0, 0, size.width(), size.height());
  // Each clip lives inside save/restore: turning clipping off and then setting a new
  // clip region does not always clip the raster painter again.
  auto stroke = [&](const QRegion& side, const QColor& color) {
    if (!color.isValid()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setClipRegion(side);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(color, 1));
    painter.drawPath(path);
    painter.restore();
  };
  stroke(light, upperLeft);
  stroke(whole.subtracted(light), lowerRight);
}

void Line(QPainter& painter, QPoint from, QPoint to, const QColor& color) {
  if (!color.isValid()) return;
  painter.setPen(QPen(color, 1));
  painter.drawLine(from, to);
}

}  // namespace

TkxShadeColors TkxShadeColors::System() {
  return TkxShadeColors{SysBtnHighlight(), Sys3DLight(), SysBtnShadow(), QColor(Qt::black),
                        QColor(Qt::black)};
}

TkxCustomBitBtn::TkxCustomBitBtn(QWidget* parent)
    : QAbstractButton(parent), color_(SysBtnFace()), shadeColors_(TkxShadeColors::System()) {
  textOptions_.SetAlignment(TAlignment::taCenter).SetVAlignment(TVAlignment::vaVCenter);
  textOptions_.SetChangeHandler([this] {
    updateGeometry();
    update();
  });
  setFocusPolicy(Qt::StrongFocus);
}

void TkxCustomBitBtn::SetColor(const QColor& color) {
  color_ = color;
  update();
}

void TkxCustomBitBtn::SetDitherColor(const QColor& color) {
  ditherColor_ = color;
  update();
}

void TkxCustomBitBtn::SetShadeStyle(TkxShadeStyle style) {
  shadeStyle_ = style;
  update();
}

void TkxCustomBitBtn::SetOptions(TkxButtonOptions options) {
  options_ = options;
  setFocusPolicy(options.Contains(TkxButtonOption::boFocusable) ? Qt::StrongFocus : Qt::NoFocus);
  update();
}

void TkxCustomBitBtn::SetShadeColors(const TkxShadeColors& colors) {
  shadeColors_ = colors;
  update();
}

void TkxCustomBitBtn::SetDefault(bool isDefault) {
  default_ = isDefault;
  update();
}

void TkxCustomBitBtn::SetGlyph(const QPixmap& glyph) {
  glyph_ = glyph;
  updateGeometry();
  update();
}

QColor TkxCustomBitBtn::FontColor() const {
  return palette().color(QPalette::Active, foregroundRole());
}

void TkxCustomBitBtn::SetFontColor(const QColor& color) {
  QPalette changed = palette();
  changed.setColor(foregroundRole(), color);
  setPalette(changed);
}

TkxButtonDrawState TkxCustomBitBtn::DrawState() const {
  TkxButtonDrawState state;
  state.pressed = isDown();
  state.checked = isCheckable() && isChecked();
  state.focused = hasFocus();
  state.isDefault = default_;
  state.hovered = underMouse();
  state.enabled = isEnabled();
  return state;
}

TkxOutline TkxCustomBitBtn::Outline() const { return RectOutline(size()); }

void TkxCustomBitBtn::OutlineChanged() { update(); }

QImage TkxCustomBitBtn::RenderFaceImage(const TkxButtonDrawState& state) const {
  const QSize area = size();
  if (area.isEmpty()) return QImage();
  const TkxOutline outline = Outline();
  QImage image(area, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);

  // 1. Face.
  const QColor face = color_.isValid() ? color_ : SysBtnFace();
  const bool down = state.pressed || state.checked;
  QBrush faceBrush(face);
  if (shadeStyle_ == TkxShadeStyle::fbsHighlight && state.hovered && state.enabled && !down) {
    faceBrush = QBrush(Mix(face, ditherColor_.isValid() ? ditherColor_ : QColor(Qt::white),
                           kHoverShare));
  } else if (shadeStyle_ == TkxShadeStyle::fbsRaised) {
    QLinearGradient gradient(0, 0, 0, std::max(1, area.height() - 1));
    gradient.setColorAt(0, Mix(face, Qt::white, kRaisedTopShare));
    gradient.setColorAt(1, face);
    faceBrush = QBrush(gradient);
  }
  FillOutline(painter, outline, area, faceBrush);
  if (state.checked && ditherColor_.isValid()) {
    FillOutline(painter, outline, area, QBrush(ditherColor_, Qt::Dense4Pattern));
  }

  // 2. Bevel.
  const int d = state.focused || state.isDefault ? 1 : 0;
  const bool bevel = shadeStyle_ != TkxShadeStyle::fbsFlat || state.hovered || down || d != 0;
  const TkxShadeColors& c = shadeColors_;
  if (bevel && outline.kind == TkxOutline::Kind::kPolygon) {
    const QPolygon& corners = outline.corners;
    for (int i = 0; i < corners.size(); ++i) {
      const EdgeInward inward = ClassifyEdge(corners, i);
      const QPoint from = corners.at(i);
      const QPoint to = corners.at((i + 1) % corners.size());
      const bool lit = (inward.side == EdgeSide::kUpper || inward.side == EdgeSide::kLeft) != down;
      Line(painter, from + inward.step * (d + 1), to + inward.step * (d + 1),
           lit ? c.Btn3DLight : c.BtnShadow);
      Line(painter, from + inward.step * d, to + inward.step * d,
           lit ? c.BtnHighlight : c.BtnBlack);
      if (d != 0) Line(painter, from, to, c.BtnFocus);
    }
  } else if (bevel) {
    StrokeRound(painter, outline, area, d + 1, down ? c.BtnShadow : c.Btn3DLight,
                down ? c.Btn3DLight : c.BtnShadow);
    StrokeRound(painter, outline, area, d, down ? c.BtnBlack : c.BtnHighlight,
                down ? c.BtnHighlight : c.BtnBlack);
    if (d != 0) StrokeRound(painter, outline, area, 0, c.BtnFocus, c.BtnFocus);
  }

  // Bevel lines moved inward can cross a sharp corner: whatever left the face goes,
  // and a round face keeps its smooth edge.
  painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
  FillOutline(painter, outline, area, QBrush(Qt::white));
  return image;
}

QImage TkxCustomBitBtn::RenderImage(const TkxButtonDrawState& state) const {
  QImage image = RenderFaceImage(state);
  if (image.isNull()) return image;
  QPainter painter(&image);
  DrawCaption(painter, state);
  return image;
}

void TkxCustomBitBtn::DrawCaption(QPainter& painter, const TkxButtonDrawState& state) const {
  QRect captionRect = rect().adjusted(kCaptionMargin, kCaptionMargin, -kCaptionMargin,
                                      -kCaptionMargin);
  if (state.pressed || state.checked) captionRect.translate(1, 1);

  const QString caption = text();
  if (!glyph_.isNull()) {
    const QSize glyphSize = glyph_.deviceIndependentSize().toSize();
    const int left = caption.isEmpty()
                         ? captionRect.left() + (captionRect.width() - glyphSize.width()) / 2
                         : captionRect.left();
    const int top = captionRect.top() + (captionRect.height() - glyphSize.height()) / 2;
    painter.save();
    if (!state.enabled) painter.setOpacity(0.5);
    painter.drawPixmap(QPoint(left, top), glyph_);
    painter.restore();
    captionRect.setLeft(captionRect.left() + glyphSize.width() + kGlyphSpacing);
  }

  textOptions_.Draw(painter, captionRect, caption, font(), FontColor(), state.enabled);

  if (state.focused && options_.Contains(TkxButtonOption::boFocusRect) &&
      shadeColors_.BtnFocus.isValid()) {
    QRect around = textOptions_.TextRect(captionRect, caption, font());
    if (around.isEmpty()) around = captionRect;
    around = around.adjusted(-2, -1, 2, 1).intersected(rect().adjusted(3, 3, -3, -3));
    if (!around.isEmpty()) {
      painter.save();
      painter.setRenderHint(QPainter::Antialiasing, false);
      painter.setBrush(Qt::NoBrush);
      painter.setPen(QPen(shadeColors_.BtnFocus, 1, Qt::DotLine));
      painter.drawRect(around.adjusted(0, 0, -1, -1));
      painter.restore();
    }
  }
}

void TkxCustomBitBtn::paintEvent(QPaintEvent*) {
  const QImage image = RenderImage();
  if (image.isNull()) return;
  QPainter painter(this);
  painter.drawImage(0, 0, image);
}

bool TkxCustomBitBtn::hitButton(const QPoint& pos) const {
  return OutlineContains(Outline(), size(), pos);
}

void TkxCustomBitBtn::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && hasFocus() && !event->isAutoRepeat()) {
    event->accept();
    click();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

void TkxCustomBitBtn::enterEvent(QEnterEvent* event) {
  QAbstractButton::enterEvent(event);
  update();
}

void TkxCustomBitBtn::leaveEvent(QEvent* event) {
  QAbstractButton::leaveEvent(event);
  update();
}

QSize TkxCustomBitBtn::sizeHint() const {
  TkxText topLeft(textOptions_);
  topLeft.SetAlignment(TAlignment::taLeftJustify).SetVAlignment(TVAlignment::vaTop);
  const QRect bounds = topLeft.TextRect(QRect(), text(), font());
  int width = bounds.width() + 2 * kCaptionMargin + 4;
  int height = bounds.height() + 2 * kCaptionMargin + 2;
  if (!glyph_.isNull()) {
    const QSize glyphSize = glyph_.deviceIndependentSize().toSize();
    width += glyphSize.width() + (text().isEmpty() ? 0 : kGlyphSpacing);
    height = std::max(height, glyphSize.height() + 2 * kCaptionMargin + 2);
  }
  return QSize(width, height);
}

TkxShapeBtn::TkxShapeBtn(QWidget* parent) : TkxCustomBitBtn(parent) {}

void TkxShapeBtn::SetShape(TkxButtonShape shape) {
  shape_ = shape;
  OutlineChanged();
}

void TkxShapeBtn::SetRoundRectBias(int bias) {
  roundRectBias_ = bias;
  OutlineChanged();
}

void TkxShapeBtn::SetOrientation(TkxShapeOrientation orientation) {
  orientation_ = orientation;
  OutlineChanged();
}

void TkxShapeBtn::SetCustomPoints(const QPolygon& points) {
  customPoints_ = points;
  OutlineChanged();
}

TkxOutline TkxShapeBtn::Outline() const {
  return ShapeOutline(shape_, orientation_, size(), roundRectBias_, customPoints_);
}

}  // namespace velorin
