// Distances, lengths, points along lines, orientation, centroids and shape centres.

#include "data/Measures.h"

#include "ShapeRecords.h"

#include <gtest/gtest.h>

#include <cmath>

namespace fennick {
namespace {

using test::Ring;

int N(const Ring& r) {
    return static_cast<int>(r.size());
}

TEST(Measures, NearestPointOnSegment) {
    CGeoPoint at;
    EXPECT_EQ(NearestPointOnSegment({0, 0}, {10, 0}, {5, 3}, &at), 3);
    EXPECT_EQ(at.x, 5);
    EXPECT_EQ(at.y, 0);
    // Beyond an end: that end.
    EXPECT_EQ(NearestPointOnSegment({0, 0}, {10, 0}, {13, 4}, &at), 5);
    EXPECT_EQ(at.x, 10);
    EXPECT_EQ(NearestPointOnSegment({0, 0}, {0, 10}, {3, -4}, &at), 5);
    EXPECT_EQ(at.y, 0);
    // Diagonal, judged on y.
    EXPECT_DOUBLE_EQ(NearestPointOnSegment({0, 0}, {4, 4}, {0, 4}, &at), std::sqrt(8.0));
    EXPECT_DOUBLE_EQ(at.x, 2);
    EXPECT_DOUBLE_EQ(at.y, 2);
    EXPECT_EQ(NearestPointOnSegment({1, 1}, {1, 1}, {4, 5}, &at), 5);
    EXPECT_EQ(NearestPointOnSegment({1, 1}, {2, 2}, {2, 2}, &at), 0);
}

TEST(Measures, PointSegmentDistance) {
    EXPECT_DOUBLE_EQ(PointSegmentDistance({5, 3}, {0, 0}, {10, 0}), 3);
    EXPECT_DOUBLE_EQ(PointSegmentDistance({-3, 4}, {0, 0}, {10, 0}), 5);
    EXPECT_DOUBLE_EQ(PointSegmentDistance({13, 4}, {0, 0}, {10, 0}), 5);
    EXPECT_DOUBLE_EQ(PointSegmentDistance({0, 4}, {0, 0}, {4, 4}), std::sqrt(8.0));
    EXPECT_DOUBLE_EQ(PointSegmentDistance({3, 4}, {0, 0}, {0, 0}), 5);
}

TEST(Measures, NearestPointOnPolyline) {
    const Ring line = {{0, 0}, {10, 0}, {10, 10}};
    CGeoPoint at;
    double fraction = -1, distance = -1;
    ASSERT_EQ(NearestPointOnPolyline({5, 3}, line.data(), 3, &at, &fraction, &distance), 1);
    EXPECT_EQ(at.x, 5);
    EXPECT_EQ(at.y, 0);
    EXPECT_DOUBLE_EQ(fraction, 0.25);
    EXPECT_EQ(distance, 3);
    ASSERT_EQ(NearestPointOnPolyline({12, 8}, line.data(), 3, &at, &fraction, &distance), 1);
    EXPECT_DOUBLE_EQ(fraction, 0.9);
    EXPECT_EQ(distance, 2);
    // Equal distances keep the earlier segment: the corner is reached at half the length.
    ASSERT_EQ(NearestPointOnPolyline({11, -1}, line.data(), 3, &at, &fraction, &distance), 1);
    EXPECT_DOUBLE_EQ(fraction, 0.5);
    EXPECT_EQ(NearestPointOnPolyline({0, 0}, line.data(), 1, &at, &fraction, &distance), 0);
    const Ring still = {{2, 2}, {2, 2}};
    ASSERT_EQ(NearestPointOnPolyline({2, 5}, still.data(), 2, &at, &fraction, &distance), 1);
    EXPECT_EQ(fraction, 0);
    EXPECT_EQ(distance, 3);
}

TEST(Measures, LengthsAndPointAtFraction) {
    const Ring line = {{0, 0}, {3, 4}, {3, 10}};
    EXPECT_EQ(PolylineLength(line.data(), 3), 11);
    EXPECT_EQ(PolylineLength(line.data(), 1), 0);
    CGeoPoint at;
    ASSERT_EQ(PointAtFraction(line.data(), 3, 0.5f, &at), 1);
    EXPECT_DOUBLE_EQ(at.x, 3);
    EXPECT_DOUBLE_EQ(at.y, 4.5);
    ASSERT_EQ(PointAtFraction(line.data(), 3, 0.0f, &at), 1);
    EXPECT_EQ(at.x, 0);
    ASSERT_EQ(PointAtFraction(line.data(), 3, 1.0f, &at), 1);
    EXPECT_DOUBLE_EQ(at.y, 10);
    EXPECT_EQ(PointAtFraction(line.data(), 3, 1.5f, &at), 0);
    EXPECT_EQ(PointAtFraction(line.data(), 3, -0.1f, &at), 0);
    ASSERT_EQ(PointAtFraction(line.data(), 1, 0.7f, &at), 1);
    EXPECT_EQ(at.x, 0);
    const Ring still = {{2, 2}, {2, 2}};
    ASSERT_EQ(PointAtFraction(still.data(), 2, 0.5f, &at), 1);
    EXPECT_EQ(at.x, 2);

    auto polyline = test::MakePolyline({{{0, 0}, {0, 2}}, {{5, 5}, {8, 9}}});
    double length = 0;
    ASSERT_EQ(ShapeLength(polyline.Get(), &length), 1);
    EXPECT_EQ(length, 7);
    auto multi = test::MakeMultiPoint({{0, 0}, {5, 5}});
    ASSERT_EQ(ShapeLength(multi.Get(), &length), 1);
    EXPECT_EQ(length, 0);
    auto empty = MakeRef<CShapeImpl>();
    EXPECT_EQ(ShapeLength(empty.Get(), &length), 0);
}

TEST(Measures, RingOrientation) {
    const Ring ccw = test::SquareCcw(0, 0, 10, 10);
    const Ring cw = test::SquareCw(0, 0, 10, 10);
    const Ring flat = {{0, 0}, {1, 1}, {2, 2}, {0, 0}};
    CGeoRect bounds;
    EXPECT_EQ(RingOrientation(ccw.data(), N(ccw), &bounds), RING_COUNTER_CLOCKWISE);
    EXPECT_EQ(bounds.left, 0);
    EXPECT_EQ(bounds.top, 10);
    EXPECT_EQ(bounds.right, 10);
    EXPECT_EQ(RingOrientation(cw.data(), N(cw)), RING_CLOCKWISE);
    EXPECT_EQ(RingOrientation(flat.data(), N(flat)), RING_COLLINEAR);
    // The lowest vertex with the largest x is the last stored one before the closing point.
    const Ring lowLast = {{0, 5}, {5, 10}, {10, 5}, {8, 0}, {0, 5}};
    EXPECT_EQ(RingOrientation(lowLast.data(), N(lowLast)), RING_CLOCKWISE);
    EXPECT_EQ(RingOrientation(nullptr, 0, &bounds), RING_CLOCKWISE);
    EXPECT_TRUE(bounds.IsEmpty());
    const Ring one = {{3, 4}};
    EXPECT_EQ(RingOrientation(one.data(), 1, &bounds), RING_COLLINEAR);
    EXPECT_EQ(bounds.left, 3);
    EXPECT_EQ(bounds.top, 4);
}

TEST(Measures, RingCentroidAndSignedArea) {
    const Ring cw = test::SquareCw(0, 0, 10, 10);
    const Ring ccw = test::SquareCcw(0, 0, 10, 10);
    CGeoPoint c;
    double area = 0;
    ASSERT_EQ(RingCentroid(cw.data(), N(cw), &c, &area), 1);
    EXPECT_DOUBLE_EQ(c.x, 5);
    EXPECT_DOUBLE_EQ(c.y, 5);
    EXPECT_DOUBLE_EQ(area, 100);
    ASSERT_EQ(RingCentroid(ccw.data(), N(ccw), &c, &area), 1);
    EXPECT_DOUBLE_EQ(c.x, 5);
    EXPECT_DOUBLE_EQ(area, -100);
    area = 7;
    ASSERT_EQ(RingCentroid(cw.data(), 1, &c, &area), 1);
    EXPECT_EQ(c.x, 0);
    EXPECT_EQ(area, 7); // not written
    EXPECT_EQ(RingCentroid(cw.data(), 0, &c, &area), 0);
    const Ring line = {{0, 0}, {5, 5}, {0, 0}};
    ASSERT_EQ(RingCentroid(line.data(), 3, &c, &area), 1);
    EXPECT_FALSE(std::isfinite(c.x));
}

TEST(Measures, ShapeCentre) {
    CGeoPoint c;
    // Polyline: half the total length, found in the second part.
    auto polyline = test::MakePolyline({{{0, 0}, {2, 0}}, {{10, 0}, {10, 6}}});
    ASSERT_EQ(ShapeCentre(polyline.Get(), &c), 1);
    EXPECT_DOUBLE_EQ(c.x, 10);
    // The fraction along the part (1/3) travels in single precision.
    EXPECT_NEAR(c.y, 2, 1e-6);
    EXPECT_NE(c.y, 2);

    // Polygon with a hole: the hole's negative area pulls the centre away from it.
    auto holed = test::MakePolygon({test::SquareCw(0, 0, 10, 10), test::SquareCcw(0, 0, 5, 10)});
    ASSERT_EQ(ShapeCentre(holed.Get(), &c), 1);
    EXPECT_DOUBLE_EQ(c.x, 7.5);
    EXPECT_DOUBLE_EQ(c.y, 5);

    // A one-point part and a ring without area add nothing.
    auto odd = test::MakePolygon({test::SquareCw(0, 0, 2, 2), {{100, 100}}, {{50, 50}, {60, 60}, {50, 50}}});
    ASSERT_EQ(ShapeCentre(odd.Get(), &c), 1);
    EXPECT_DOUBLE_EQ(c.x, 1);
    EXPECT_DOUBLE_EQ(c.y, 1);

    auto noArea = test::MakePolygon({{{0, 0}, {5, 5}, {0, 0}}});
    EXPECT_EQ(ShapeCentre(noArea.Get(), &c), 0);

    auto point = test::MakePoint(3, -3);
    ASSERT_EQ(ShapeCentre(point.Get(), &c), 1);
    EXPECT_EQ(c.x, 3);
    auto multi = test::MakeMultiPoint({{0, 0}, {0, 4}, {4, 4}, {4, 0}, {0, 0}});
    ASSERT_EQ(ShapeCentre(multi.Get(), &c), 1);
    EXPECT_DOUBLE_EQ(c.x, 2);

    auto empty = test::MakePolyline({});
    EXPECT_EQ(ShapeCentre(empty.Get(), &c), 0);
}

} // namespace
} // namespace fennick
