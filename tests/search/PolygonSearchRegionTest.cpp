// The polygon ring region: closing the ring, boundary rules, rectangles, segments and shapes.

#include "search/PolygonSearchRegion.h"

#include "ShapeRecords.h"

#include <gtest/gtest.h>

namespace fennick {
namespace {

using test::Ring;

CRef<CPolygonSearchRegion> Region(const Ring& ring) {
    auto region = MakeRef<CPolygonSearchRegion>();
    EXPECT_EQ(region->SetPoints(ring.data(), static_cast<int>(ring.size()), nullptr), 1);
    return region;
}

TEST(PolygonSearchRegion, SetPointsClosesTheRing) {
    auto open = Region({{0, 0}, {10, 0}, {10, 10}});
    ASSERT_EQ(open->Points().size(), 4u);
    EXPECT_EQ(open->Points()[3].x, 0);
    EXPECT_EQ(open->Points()[3].y, 0);
    auto closed = Region({{0, 0}, {10, 0}, {10, 10}, {0, 0}});
    EXPECT_EQ(closed->Points().size(), 4u);
    CGeoRect r;
    closed->GetBounds(&r);
    EXPECT_EQ(r.right, 10);
    EXPECT_EQ(r.top, 10);
    CGeoPoint first;
    EXPECT_EQ(closed->GetFirstPoint(&first), &first);
    EXPECT_EQ(closed->ReservedB(), 0);
    auto region = MakeRef<CPolygonSearchRegion>();
    EXPECT_EQ(region->SetPoints(nullptr, 0, nullptr), 0);
    // Given bounds are kept as they are.
    const CGeoRect given{-100, 100, 100, -100};
    ASSERT_EQ(region->SetPoints(closed->Points().data(), 4, &given), 1);
    region->GetBounds(&r);
    EXPECT_EQ(r.left, -100);
}

TEST(PolygonSearchRegion, PointsAndTheBoundary) {
    auto square = Region(test::SquareCcw(0, 0, 10, 10));
    const struct {
        CGeoPoint p;
        int intersects;
        int contains;
    } cases[] = {{{10, 5}, 1, 0}, {{5, 5}, 1, 1}, {{11, 5}, 0, 0}, {{0, 0}, 1, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(square->IntersectsPoint(&c.p), c.intersects) << c.p.x;
        EXPECT_EQ(square->ContainsPoint(&c.p), c.contains) << c.p.x;
    }
}

TEST(PolygonSearchRegion, RectanglesAndSegments) {
    auto square = Region(test::SquareCcw(0, 0, 10, 10));
    const CGeoRect inside{2, 8, 8, 2}, overlapping{5, 15, 15, 5}, apart{20, 30, 30, 20}, edge{0, 10, 10, 0};
    EXPECT_EQ(square->ContainsRect(&inside), 1);
    EXPECT_EQ(square->ContainsRect(&overlapping), 0);
    EXPECT_EQ(square->ContainsRect(&edge), 1);
    EXPECT_EQ(square->IntersectsRect(&overlapping), 1);
    EXPECT_EQ(square->IntersectsRect(&apart), 0);
    const CGeoPoint a{5, 5}, b{15, 5}, c{6, 6}, d{20, 20};
    EXPECT_EQ(square->IntersectsSegment(&a, &b), 1);
    EXPECT_EQ(square->ContainsSegment(&a, &b), 0);
    EXPECT_EQ(square->ContainsSegment(&a, &c), 1);
    EXPECT_EQ(square->IntersectsSegment(&b, &d), 0);
}

TEST(PolygonSearchRegion, Shapes) {
    auto square = Region(test::SquareCcw(0, 0, 10, 10));
    auto onePointIn = test::MakeMultiPoint({{20, 20}, {5, 5}});
    auto onEdge = test::MakeMultiPoint({{10, 5}, {5, 5}});
    auto allIn = test::MakeMultiPoint({{1, 1}, {5, 5}});
    EXPECT_EQ(square->IntersectsShape(onePointIn.Get()), 1);
    EXPECT_EQ(square->ContainsShape(onePointIn.Get()), 0);
    EXPECT_EQ(square->ContainsShape(onEdge.Get()), 0);
    EXPECT_EQ(square->ContainsShape(allIn.Get()), 1);

    auto crossing = test::MakePolyline({{{-5, 5}, {15, 5}}});
    auto within = test::MakePolyline({{{1, 1}, {9, 2}, {2, 9}}});
    auto far = test::MakePolyline({{{20, 20}, {30, 30}}});
    EXPECT_EQ(square->IntersectsShape(crossing.Get()), 1);
    EXPECT_EQ(square->ContainsShape(crossing.Get()), 0);
    EXPECT_EQ(square->IntersectsShape(within.Get()), 1);
    EXPECT_EQ(square->ContainsShape(within.Get()), 1);
    EXPECT_EQ(square->IntersectsShape(far.Get()), 0);

    // A polygon around the region meets it through the parity of the region's first point.
    auto around = test::MakePolygon({test::SquareCw(-10, -10, 20, 20)});
    EXPECT_EQ(square->IntersectsShape(around.Get()), 1);
    EXPECT_EQ(square->ContainsShape(around.Get()), 0);
    // Around it, but the region lies in the hole: the first point is in two rings.
    auto holed = test::MakePolygon({test::SquareCw(-10, -10, 20, 20), test::SquareCcw(-5, -5, 15, 15)});
    EXPECT_EQ(square->IntersectsShape(holed.Get()), 0);

    auto empty = test::MakePolyline({});
    EXPECT_EQ(square->IntersectsShape(empty.Get()), 0);
    EXPECT_EQ(square->ContainsShape(empty.Get()), 0);
}

} // namespace
} // namespace fennick
