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

constexpr QRgb kPureRed = 0xFF0000;
constexpr QRgb kPureBlue = 0x0000FF;

QColor Mix(const QColor& from, const QColor& to, double share) {
  auto channel = [share](int a, int b) { return static_cast<int>(a + (b - a) * share + 0.5); };
  return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                channel(from.blue(), to.blue()));
}

QRectF OutlineBox(QSize size, int inset) {
  return QRectF(inset, inset, size.width() - 1 - 2 * inset, size.height() - 1 - 2 * inset);
}

// Draws the outline shape shrunk by `inset` on every side, with the painter's pen and
// brush; polygon outlines ignore the inset (their bevel moves edge by edge).
void DrawOutline(QPainter& painter, const TkxOutline& outline, QSize size, int inset) {
  const QRectF box = OutlineBox(size, inset);
  if (box.width() < 0 || box.height() < 0) return;
  switch (outline.kind) {
    case TkxOutline::Kind::kPolygon:
      painter.drawPolygon(outline.corners);
      break;
    case TkxOutline::Kind::kRoundRect: {
      const double radius = std::max(0.0, outline.bias / 2.0 - inset);
      painter.drawRoundedRect(box, radius, radius);
      break;
    }
    case TkxOutline::Kind::kEllipse:
      painter.drawEllipse(box);
      break;
  }
}

// The upper-left side of a round outline shrunk by `inset`: everything above and left
// of the line through the centres of the top-right and bottom-left corner arcs, that
// line running on outwards at 45 degrees from both centres.
QRegion UpperLeftSide(const TkxOutline& outline, QSize size, int inset) {
  const QRectF box = OutlineBox(size, inset);
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

void StrokeRound(QPainter& painter, const TkxOutline& outline, QSize size, int inset,
                 const QColor& upperLeft, const QColor& lowerRight) {
  const QRegion light = UpperLeftSide(outline, size, inset);
  const QRegion whole(0, 0, size.width(), size.height());
  // Each clip lives inside save/restore: turning clipping off and then setting a new
  // clip region does not always clip the raster painter again.
  auto stroke = [&](const QRegion& side, const QColor& color) {
    if (!color.isValid()) return;
    painter.save();
    painter.setClipRegion(side);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(color, 1));
    DrawOutline(painter, outline, size, inset);
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

// The face and bevel on the key colour, and which pixels belong to the face.
struct TkxCustomBitBtn::Layers {
  QImage keyed;  // RGB32
  QImage face;   // ARGB32: opaque where the face is
};

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

QColor TkxCustomBitBtn::KeyColor() const {
  const QColor face = color_.isValid() ? color_ : SysBtnFace();
  return QColor::fromRgb((face.rgb() & 0xFFFFFF) == kPureRed ? kPureBlue : kPureRed);
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

TkxCustomBitBtn::Layers TkxCustomBitBtn::DrawFaceAndBevel(const TkxButtonDrawState& state) const {
  Layers layers;
  const QSize area = size();
  if (area.isEmpty()) return layers;
  const TkxOutline outline = Outline();
  const QColor key = KeyColor();

  layers.face = QImage(area, QImage::Format_ARGB32_Premultiplied);
  layers.face.fill(Qt::transparent);
  {
    QPainter painter(&layers.face);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(Qt::white);
    DrawOutline(painter, outline, area, 0);
  }

  layers.keyed = QImage(area, QImage::Format_RGB32);
  layers.keyed.fill(key);
  QPainter painter(&layers.keyed);

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
  painter.setPen(QPen(faceBrush, 1));
  painter.setBrush(faceBrush);
  DrawOutline(painter, outline, area, 0);
  if (state.checked && ditherColor_.isValid()) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(ditherColor_, Qt::Dense4Pattern));
    DrawOutline(painter, outline, area, 0);
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
  painter.end();

  // Bevel lines moved inward can cross a sharp corner; whatever left the face goes.
  const QRgb keyRgb = key.rgb();
  for (int y = 0; y < area.height(); ++y) {
    const auto* mask = reinterpret_cast<const QRgb*>(layers.face.constScanLine(y));
    auto* pixels = reinterpret_cast<QRgb*>(layers.keyed.scanLine(y));
    for (int x = 0; x < area.width(); ++x) {
      if (qAlpha(mask[x]) == 0) pixels[x] = keyRgb;
    }
  }
  return layers;
}

QImage TkxCustomBitBtn::RenderKeyedImage(const TkxButtonDrawState& state) const {
  return DrawFaceAndBevel(state).keyed;
}

QImage TkxCustomBitBtn::RenderImage(const TkxButtonDrawState& state) const {
  const Layers layers = DrawFaceAndBevel(state);
  if (layers.keyed.isNull()) return QImage();
  // The pixels outside the face (the key colour) become transparent. The face layer
  // decides, so a face or bevel colour that happens to equal the key stays visible.
  QImage image(layers.keyed.size(), QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < image.height(); ++y) {
    const auto* mask = reinterpret_cast<const QRgb*>(layers.face.constScanLine(y));
    const auto* keyed = reinterpret_cast<const QRgb*>(layers.keyed.constScanLine(y));
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      out[x] = qAlpha(mask[x]) == 0 ? 0 : (keyed[x] | 0xFF000000u);
    }
  }
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
