// The polygon-shape region built from a shape with a hole: the hole stops, the outer ring passes.

#include "search/PolygonShapeSearchRegion.h"

#include "ShapeRecords.h"
#include "search/SearchRegionFactory.h"

#include <gtest/gtest.h>

namespace fennick {
namespace {

CRef<ISearchRegion> HoledSquare() {
    // The outer ring clockwise, the hole counter-clockwise, the hole stored second.
    auto shape = test::MakePolygon({test::SquareCw(0, 0, 10, 10), test::SquareCcw(4, 4, 6, 6)});
    CRef<ISearchRegion> region;
    EXPECT_EQ(CreateSearchRegionFromShape(shape.Get(), region.Put()), 1);
    return region;
}

TEST(PolygonShapeSearchRegion, HolesComeFirst) {
    auto region = HoledSquare();
    auto* composite = dynamic_cast<CPolygonShapeSearchRegion*>(region.Get());
    ASSERT_NE(composite, nullptr);
    ASSERT_EQ(composite->Parts().size(), 2u);
    EXPECT_EQ(composite->Parts()[0].hole, 1);
    EXPECT_EQ(composite->Parts()[1].hole, 0);
    CGeoRect r;
    region->GetBounds(&r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 10);
}

TEST(PolygonShapeSearchRegion, Points) {
    auto region = HoledSquare();
    const struct {
        CGeoPoint p;
        int intersects;
        int contains;
    } cases[] = {
        {{5, 5}, 0, 0},  // in the hole
        {{2, 2}, 1, 1},  // solid
        {{4, 5}, 1, 1},  // on the hole's edge
        {{10, 5}, 1, 0}, // on the outer edge
        {{11, 5}, 0, 0}, // outside
    };
    for (const auto& c : cases) {
        EXPECT_EQ(region->IntersectsPoint(&c.p), c.intersects) << c.p.x << "," << c.p.y;
        EXPECT_EQ(region->ContainsPoint(&c.p), c.contains) << c.p.x << "," << c.p.y;
    }
}

TEST(PolygonShapeSearchRegion, Rectangles) {
    auto region = HoledSquare();
    const CGeoRect overHole{3, 5, 5, 3}, inHole{4.5, 5.5, 5.5, 4.5}, solid{1, 2, 2, 1},
        outside{20, 30, 30, 20};
    EXPECT_EQ(region->IntersectsRect(&overHole), 0);
    EXPECT_EQ(region->IntersectsRect(&inHole), 0);
    EXPECT_EQ(region->IntersectsRect(&solid), 1);
    EXPECT_EQ(region->IntersectsRect(&outside), 0);
    EXPECT_EQ(region->ContainsRect(&solid), 1);
    EXPECT_EQ(region->ContainsRect(&overHole), 0);
}

TEST(PolygonShapeSearchRegion, Shapes) {
    auto region = HoledSquare();
    auto solidLine = test::MakePolyline({{{1, 1}, {3, 1}}});
    auto intoHole = test::MakePolyline({{{1, 5}, {5, 5}}});
    auto inHole = test::MakePolyline({{{4.5, 5}, {5.5, 5}}});
    EXPECT_EQ(region->IntersectsShape(solidLine.Get()), 1);
    EXPECT_EQ(region->ContainsShape(solidLine.Get()), 1);
    EXPECT_EQ(region->ContainsShape(intoHole.Get()), 0);
    EXPECT_EQ(region->IntersectsShape(inHole.Get()), 0);
    // Two parts, each held on its own: both in the solid area on either side of the hole.
    auto twoParts = test::MakePolyline({{{1, 1}, {3, 1}}, {{7, 8}, {9, 8}}});
    EXPECT_EQ(region->ContainsShape(twoParts.Get()), 1);
    auto secondInHole = test::MakePolyline({{{1, 1}, {3, 1}}, {{4.5, 5}, {5.5, 5}}});
    EXPECT_EQ(region->ContainsShape(secondInHole.Get()), 0);
    auto points = test::MakeMultiPoint({{2, 2}, {8, 8}});
    EXPECT_EQ(region->ContainsShape(points.Get()), 1);
    auto pointInHole = test::MakeMultiPoint({{2, 2}, {5, 5}});
    EXPECT_EQ(region->ContainsShape(pointInHole.Get()), 0);
}

} // namespace
} // namespace fennick
