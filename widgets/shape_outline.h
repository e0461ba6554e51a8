// shape_outline.h — the outlines of the shaded buttons and the inward side of each
// polygon edge, as plain geometry in button pixels (no widget needed).
//
// A button of w by h pixels spans the points (0, 0) to (w - 1, h - 1). Round shapes are
// a rounded rectangle or an ellipse in that box; every other shape is a polygon of
// corner points. The directed shapes (triangle, arrow, trapezoid) point the way of
// their orientation: the triangle's apex, the arrow's head, the trapezoid's narrow end.
#pragma once

#include <QPainterPath>
#include <QPoint>
#include <QPolygon>
#include <QSize>

namespace velorin {

enum class TkxButtonShape : int {
  bsRoundRect = 0,
  bsEllipse = 1,
  bsTriangle = 2,
  bsArrow = 3,
  bsDiamond = 4,
  bsRect = 5,
  bsStar = 6,
  bsTrapezoid = 7,
  bsCustom = 8,
};

enum class TkxShapeOrientation : int { soLeft = 0, soRight = 1, soUp = 2, soDown = 3 };

struct TkxOutline {
  enum class Kind { kPolygon, kRoundRect, kEllipse };
  Kind kind = Kind::kPolygon;
  QPolygon corners;  // kPolygon: the corner points, in order
  int bias = 0;      // kRoundRect: width and height of the corner ellipse
};

// The rectangle of a button of `size`: its four corners, clockwise from (0, 0).
TkxOutline RectOutline(QSize size);

// The outline of `shape`. bsCustom takes `customPoints`; fewer than three of them
// make no area, and the button falls back to its rectangle. A negative bias counts as 0.
TkxOutline ShapeOutline(TkxButtonShape shape, TkxShapeOrientation orientation, QSize size,
                        int roundRectBias, const QPolygon& customPoints);

// A round outline (rounded rectangle or ellipse) shrunk by `inset` whole pixels on
// every side. Filled, it covers the pixels of its box; `stroked`, it runs through the
// centres of its outermost pixels, so that a one-pixel line along it keeps the straight
// sides one crisp pixel wide and smooths only the curves. Empty when nothing is left.
QPainterPath RoundOutlinePath(const TkxOutline& outline, QSize size, int inset, bool stroked);

// Whether pixel `point` lies on the face of `outline` (used to ignore clicks beside it).
bool OutlineContains(const TkxOutline& outline, QSize size, QPoint point);

// Which side of the face an edge is. An edge that runs more horizontally than
// vertically is an upper edge when the point one pixel below its midpoint is inside
// the polygon, else a lower edge; a more vertical one is a left edge when the point
// one pixel to the right of its midpoint is inside, else a right edge.
enum class EdgeSide { kUpper, kLower, kLeft, kRight };

struct EdgeInward {
  EdgeSide side = EdgeSide::kUpper;
  QPoint step;  // one pixel towards the interior
};

// Edge `index` runs from corner index to corner index + 1 (the last one closes the
// polygon). `polygon` must have at least two points.
EdgeInward ClassifyEdge(const QPolygon& polygon, int index);

}  // namespace velorin
