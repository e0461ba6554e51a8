#include "widgets/shape_outline.h"

#include <QPainterPath>
#include <QRectF>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace velorin {
namespace {

// Directed shapes are written once, pointing right, in quarters of the button: u runs
// along the direction (0 = tail, 4 = tip), v across it.
struct Quarter {
  int u;
  int v;
};

constexpr Quarter kTriangle[] = {{0, 0}, {4, 2}, {0, 4}};
constexpr Quarter kArrow[] = {{0, 1}, {2, 1}, {2, 0}, {4, 2}, {2, 4}, {2, 3}, {0, 3}};
constexpr Quarter kTrapezoid[] = {{0, 0}, {4, 1}, {4, 3}, {0, 4}};

// The inner corners of the five-pointed star, as a share of the outer radius.
constexpr double kStarInnerRatio = 0.382;

template <size_t N>
QPolygon Directed(const Quarter (&points)[N], TkxShapeOrientation orientation, QSize size) {
  const int right = size.width() - 1;
  const int bottom = size.height() - 1;
  QPolygon polygon;
  for (const Quarter& q : points) {
    switch (orientation) {
      case TkxShapeOrientation::soRight:
        polygon << QPoint(q.u * right / 4, q.v * bottom / 4);
        break;
      case TkxShapeOrientation::soLeft:
        polygon << QPoint((4 - q.u) * right / 4, q.v * bottom / 4);
        break;
      case TkxShapeOrientation::soDown:
        polygon << QPoint(q.v * right / 4, q.u * bottom / 4);
        break;
      case TkxShapeOrientation::soUp:
        polygon << QPoint(q.v * right / 4, (4 - q.u) * bottom / 4);
        break;
    }
  }
  return polygon;
}

QPolygon Star(QSize size) {
  const double cx = (size.width() - 1) / 2.0;
  const double cy = (size.height() - 1) / 2.0;
  QPolygon polygon;
  for (int i = 0; i < 10; ++i) {
    const double angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
    const double share = i % 2 == 0 ? 1.0 : kStarInnerRatio;
    polygon << QPoint(static_cast<int>(std::lround(cx + share * cx * std::cos(angle))),
                      static_cast<int>(std::lround(cy + share * cy * std::sin(angle))));
  }
  return polygon;
}

QPolygon Diamond(QSize size) {
  const int right = size.width() - 1;
  const int bottom = size.height() - 1;
  return QPolygon({QPoint(right / 2, 0), QPoint(right, bottom / 2), QPoint(right / 2, bottom),
                   QPoint(0, bottom / 2)});
}

}  // namespace

TkxOutline RectOutline(QSize size) {
  const int right = size.width() - 1;
  const int bottom = size.height() - 1;
  TkxOutline outline;
  outline.corners = QPolygon({QPoint(0, 0), QPoint(right, 0), QPoint(right, bottom),
                              QPoint(0, bottom)});
  return outline;
}

TkxOutline ShapeOutline(TkxButtonShape shape, TkxShapeOrientation orientation, QSize size,
                        int roundRectBias, const QPolygon& customPoints) {
  TkxOutline outline;
  switch (shape) {
    case TkxButtonShape::bsRoundRect:
      outline.kind = TkxOutline::Kind::kRoundRect;
      outline.bias = std::max(0, roundRectBias);
      return outline;
    case TkxButtonShape::bsEllipse:
      outline.kind = TkxOutline::Kind::kEllipse;
      return outline;
    case TkxButtonShape::bsTriangle:
      outline.corners = Directed(kTriangle, orientation, size);
      return outline;
    case TkxButtonShape::bsArrow:
      outline.corners = Directed(kArrow, orientation, size);
      return outline;
    case TkxButtonShape::bsDiamond:
      outline.corners = Diamond(size);
      return outline;
    case TkxButtonShape::bsStar:
      outline.corners = Star(size);
      return outline;
    case TkxButtonShape::bsTrapezoid:
      outline.corners = Directed(kTrapezoid, orientation, size);
      return outline;
    case TkxButtonShape::bsCustom:
      if (customPoints.size() >= 3) {
        outline.corners = customPoints;
        return outline;
      }
      break;
    case TkxButtonShape::bsRect:
      break;
  }
  return RectOutline(size);
}

QPainterPath RoundOutlinePath(const TkxOutline& outline, QSize size, int inset, bool stroked) {
  const double half = stroked ? 0.5 : 0.0;
  const QRectF box(inset + half, inset + half, size.width() - 2 * (inset + half),
                   size.height() - 2 * (inset + half));
  QPainterPath path;
  if (box.width() <= 0 || box.height() <= 0) return path;
  if (outline.kind == TkxOutline::Kind::kEllipse) {
    path.addEllipse(box);
  } else {
    const double radius = std::max(0.0, outline.bias / 2.0 - inset - half);
    path.addRoundedRect(box, radius, radius);
  }
  return path;
}

bool OutlineContains(const TkxOutline& outline, QSize size, QPoint point) {
  if (point.x() < 0 || point.y() < 0 || point.x() >= size.width() || point.y() >= size.height()) {
    return false;
  }
  const QPointF centre(point.x() + 0.5, point.y() + 0.5);
  if (outline.kind == TkxOutline::Kind::kPolygon) {
    return outline.corners.containsPoint(point, Qt::OddEvenFill);
  }
  return RoundOutlinePath(outline, size, 0, false).contains(centre);
}

EdgeInward ClassifyEdge(const QPolygon& polygon, int index) {
  const int count = static_cast<int>(polygon.size());
  const QPoint from = polygon.at(index);
  const QPoint to = polygon.at((index + 1) % count);
  const QPoint middle((from.x() + to.x()) / 2, (from.y() + to.y()) / 2);
  EdgeInward result;
  if (std::abs(to.x() - from.x()) > std::abs(to.y() - from.y())) {
    const bool upper = polygon.containsPoint(middle + QPoint(0, 1), Qt::OddEvenFill);
    result.side = upper ? EdgeSide::kUpper : EdgeSide::kLower;
    result.step = upper ? QPoint(0, 1) : QPoint(0, -1);
  } else {
    const bool left = polygon.containsPoint(middle + QPoint(1, 0), Qt::OddEvenFill);
    result.side = left ? EdgeSide::kLeft : EdgeSide::kRight;
    result.step = left ? QPoint(1, 0) : QPoint(-1, 0);
  }
  return result;
}

}  // namespace velorin
