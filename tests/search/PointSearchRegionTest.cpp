// The point-set region: exact points, rectangles, nearby segments, and polygons through their own region.

#include "search/PointSearchRegion.h"

#include "ShapeRecords.h"

#include <gtest/gtest.h>

namespace fennick {
namespace {

using test::Ring;

CRef<CPointSearchRegion> Region(const Ring& points) {
    auto region = MakeRef<CPointSearchRegion>();
    EXPECT_EQ(region->SetPoints(points.data(), static_cast<int>(points.size()), nullptr), 1);
    return region;
}

TEST(PointSearchRegion, PointsRectanglesSegments) {
    auto region = Region({{1, 1}, {2, 2}});
    const CGeoPoint hit{2, 2}, miss{2, 2.0000001};
    EXPECT_EQ(region->IntersectsPoint(&hit), 1);
    EXPECT_EQ(region->ContainsPoint(&hit), 1);
    EXPECT_EQ(region->IntersectsPoint(&miss), 0);
    const CGeoRect touching{2, 3, 3, 2}, apart{3, 4, 4, 3};
    EXPECT_EQ(region->IntersectsRect(&touching), 1);
    EXPECT_EQ(region->IntersectsRect(&apart), 0);
    EXPECT_EQ(region->ContainsRect(&touching), 0);
    const CGeoPoint a{0, 2.0000005}, b{4, 2.0000005}, c{0, 2.000002}, d{4, 2.000002};
    EXPECT_EQ(region->IntersectsSegment(&a, &b), 1);
    EXPECT_EQ(region->IntersectsSegment(&c, &d), 0);
    EXPECT_EQ(region->ContainsSegment(&a, &b), 0);
}

TEST(PointSearchRegion, PolygonShapes) {
    // Contains (2,2) but not (1,1); no vertex or edge lies near either point.
    auto polygon = test::MakePolygon({{{1.5, 3}, {3, 3}, {3, 1.5}, {1.5, 1.5}, {1.5, 3}}});
    EXPECT_EQ(Region({{1, 1}, {2, 2}})->IntersectsShape(polygon.Get()), 1);
    EXPECT_EQ(Region({{2, 2}})->IntersectsShape(polygon.Get()), 1);
    EXPECT_EQ(Region({{1, 1}})->IntersectsShape(polygon.Get()), 0);
    EXPECT_EQ(Region({{1, 1}, {0, 0}})->IntersectsShape(polygon.Get()), 0);
    EXPECT_EQ(Region({{2, 2}})->ContainsShape(polygon.Get()), 0);

    auto multi = test::MakeMultiPoint({{1, 1}, {2, 2}});
    EXPECT_EQ(Region({{1, 1}, {2, 2}, {5, 5}})->ContainsShape(multi.Get()), 1);
    EXPECT_EQ(Region({{1, 1}, {5, 5}})->ContainsShape(multi.Get()), 0);
    EXPECT_EQ(Region({{2, 2}})->IntersectsShape(multi.Get()), 1);
}

} // namespace
} // namespace fennick
