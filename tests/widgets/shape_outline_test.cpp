// Button outlines and the side each polygon edge faces.
#include "widgets/shape_outline.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

TEST(ShapeOutlineCorners, RectangleIsTheFourCornersOfTheButton) {
  const TkxOutline rect = RectOutline(QSize(100, 30));
  EXPECT_EQ(rect.kind, TkxOutline::Kind::kPolygon);
  EXPECT_EQ(rect.corners,
            QPolygon({QPoint(0, 0), QPoint(99, 0), QPoint(99, 29), QPoint(0, 29)}));
  EXPECT_EQ(ShapeOutline(TkxButtonShape::bsRect, TkxShapeOrientation::soUp, QSize(100, 30), 25,
                         {})
                .corners,
            rect.corners);
}

TEST(ShapeOutlineCorners, RoundShapesKeepTheirBias) {
  const TkxOutline round = ShapeOutline(TkxButtonShape::bsRoundRect, TkxShapeOrientation::soUp,
                                        QSize(170, 35), 25, {});
  EXPECT_EQ(round.kind, TkxOutline::Kind::kRoundRect);
  EXPECT_EQ(round.bias, 25);
  EXPECT_EQ(ShapeOutline(TkxButtonShape::bsRoundRect, TkxShapeOrientation::soUp, QSize(9, 9), -4,
                         {})
                .bias,
            0);
  EXPECT_EQ(ShapeOutline(TkxButtonShape::bsEllipse, TkxShapeOrientation::soUp, QSize(9, 9), 25, {})
                .kind,
            TkxOutline::Kind::kEllipse);
}

TEST(ShapeOutlineCorners, DirectedShapesPointTheirWay) {
  const QSize size(41, 21);  // corners at 40 and 20
  auto triangle = [&](TkxShapeOrientation o) {
    return ShapeOutline(TkxButtonShape::bsTriangle, o, size, 0, {}).corners;
  };
  EXPECT_TRUE(triangle(TkxShapeOrientation::soUp).contains(QPoint(20, 0)));
  EXPECT_TRUE(triangle(TkxShapeOrientation::soDown).contains(QPoint(20, 20)));
  EXPECT_TRUE(triangle(TkxShapeOrientation::soLeft).contains(QPoint(0, 10)));
  EXPECT_TRUE(triangle(TkxShapeOrientation::soRight).contains(QPoint(40, 10)));

  const QPolygon arrow =
      ShapeOutline(TkxButtonShape::bsArrow, TkxShapeOrientation::soRight, size, 0, {}).corners;
  EXPECT_EQ(arrow.size(), 7);
  EXPECT_TRUE(arrow.contains(QPoint(40, 10)));
  const QPolygon trapezoid =
      ShapeOutline(TkxButtonShape::bsTrapezoid, TkxShapeOrientation::soUp, size, 0, {}).corners;
  EXPECT_EQ(trapezoid, QPolygon({QPoint(0, 20), QPoint(10, 0), QPoint(30, 0), QPoint(40, 20)}));
}

TEST(ShapeOutlineCorners, StarAndDiamondStayInsideTheButton) {
  const QSize size(60, 40);
  for (const TkxButtonShape shape : {TkxButtonShape::bsStar, TkxButtonShape::bsDiamond}) {
    const QPolygon corners = ShapeOutline(shape, TkxShapeOrientation::soUp, size, 0, {}).corners;
    EXPECT_GE(corners.size(), 4);
    for (const QPoint& p : corners) {
      EXPECT_TRUE(QRect(QPoint(0, 0), size).contains(p)) << p.x() << "," << p.y();
    }
  }
  const QPolygon star =
      ShapeOutline(TkxButtonShape::bsStar, TkxShapeOrientation::soUp, size, 0, {}).corners;
  EXPECT_EQ(star.size(), 10);
  EXPECT_EQ(star.first(), QPoint(30, 0));  // the top point first
}

TEST(ShapeOutlineCorners, CustomShapeNeedsThreePoints) {
  const QPolygon own({QPoint(0, 0), QPoint(20, 5), QPoint(3, 19)});
  EXPECT_EQ(ShapeOutline(TkxButtonShape::bsCustom, TkxShapeOrientation::soUp, QSize(21, 20), 0,
                         own)
                .corners,
            own);
  EXPECT_EQ(ShapeOutline(TkxButtonShape::bsCustom, TkxShapeOrientation::soUp, QSize(21, 20), 0,
                         QPolygon({QPoint(1, 1), QPoint(5, 5)}))
                .corners,
            RectOutline(QSize(21, 20)).corners);
}

TEST(ShapeOutlineEdges, RectangleEdgesFaceTheirSides) {
  const QPolygon rect = RectOutline(QSize(100, 30)).corners;
  const EdgeInward top = ClassifyEdge(rect, 0);
  const EdgeInward right = ClassifyEdge(rect, 1);
  const EdgeInward bottom = ClassifyEdge(rect, 2);
  const EdgeInward left = ClassifyEdge(rect, 3);
  EXPECT_EQ(top.side, EdgeSide::kUpper);
  EXPECT_EQ(top.step, QPoint(0, 1));
  EXPECT_EQ(right.side, EdgeSide::kRight);
  EXPECT_EQ(right.step, QPoint(-1, 0));
  EXPECT_EQ(bottom.side, EdgeSide::kLower);
  EXPECT_EQ(bottom.step, QPoint(0, -1));
  EXPECT_EQ(left.side, EdgeSide::kLeft);
  EXPECT_EQ(left.step, QPoint(1, 0));
}

TEST(ShapeOutlineEdges, DirectionOfTravelDoesNotMatter) {
  // The same rectangle walked the other way round.
  const QPolygon rect({QPoint(0, 0), QPoint(0, 29), QPoint(99, 29), QPoint(99, 0)});
  EXPECT_EQ(ClassifyEdge(rect, 0).side, EdgeSide::kLeft);
  EXPECT_EQ(ClassifyEdge(rect, 1).side, EdgeSide::kLower);
  EXPECT_EQ(ClassifyEdge(rect, 2).side, EdgeSide::kRight);
  EXPECT_EQ(ClassifyEdge(rect, 3).side, EdgeSide::kUpper);
}

TEST(ShapeOutlineEdges, SlantedEdgesGoByTheirSteeperDirection) {
  // A wide up-pointing triangle: both slanted edges run more across than down.
  const QPolygon triangle =
      ShapeOutline(TkxButtonShape::bsTriangle, TkxShapeOrientation::soUp, QSize(101, 31), 0, {})
          .corners;
  EXPECT_EQ(triangle.first(), QPoint(0, 30));
  EXPECT_EQ(ClassifyEdge(triangle, 0).side, EdgeSide::kUpper);  // left foot to apex
  EXPECT_EQ(ClassifyEdge(triangle, 1).side, EdgeSide::kUpper);  // apex to right foot
  EXPECT_EQ(ClassifyEdge(triangle, 2).side, EdgeSide::kLower);  // the base
  // A tall one: the slanted edges are left and right edges.
  const QPolygon tall =
      ShapeOutline(TkxButtonShape::bsTriangle, TkxShapeOrientation::soUp, QSize(31, 101), 0, {})
          .corners;
  EXPECT_EQ(ClassifyEdge(tall, 0).side, EdgeSide::kLeft);
  EXPECT_EQ(ClassifyEdge(tall, 1).side, EdgeSide::kRight);
}

TEST(ShapeOutlineHits, PointsBesideRoundFacesMiss) {
  const QSize size(80, 40);
  const TkxOutline ellipse =
      ShapeOutline(TkxButtonShape::bsEllipse, TkxShapeOrientation::soUp, size, 0, {});
  EXPECT_FALSE(OutlineContains(ellipse, size, QPoint(1, 1)));
  EXPECT_TRUE(OutlineContains(ellipse, size, QPoint(40, 20)));
  EXPECT_FALSE(OutlineContains(ellipse, size, QPoint(80, 20)));
  const TkxOutline round =
      ShapeOutline(TkxButtonShape::bsRoundRect, TkxShapeOrientation::soUp, size, 25, {});
  EXPECT_FALSE(OutlineContains(round, size, QPoint(0, 0)));
  EXPECT_TRUE(OutlineContains(round, size, QPoint(12, 2)));
  EXPECT_TRUE(OutlineContains(RectOutline(size), size, QPoint(1, 1)));
}

}  // namespace
}  // namespace velorin
