// The polyline region: the 1e-6 tolerance for points, segments that meet, and exact segment containment.

#include "search/LineSearchRegion.h"

#include "ShapeRecords.h"

#include <gtest/gtest.h>

namespace fennick {
namespace {

using test::Ring;

CRef<CLineSearchRegion> Region(const Ring& points) {
    auto region = MakeRef<CLineSearchRegion>();
    EXPECT_EQ(region->SetPoints(points.data(), static_cast<int>(points.size()), nullptr), 1);
    return region;
}

TEST(LineSearchRegion, PointsWithinTheTolerance) {
    auto line = Region({{0, 0}, {10, 0}});
    const CGeoPoint near{5, 0.0000005}, far{5, 0.000002};
    EXPECT_EQ(line->IntersectsPoint(&near), 1);
    EXPECT_EQ(line->ContainsPoint(&near), 1);
    EXPECT_EQ(line->IntersectsPoint(&far), 0);
    auto single = Region({{5, 0}});
    const CGeoPoint same{5, 0};
    EXPECT_EQ(single->IntersectsPoint(&same), 0);
    const CGeoRect around{4, 1, 6, -1};
    EXPECT_EQ(single->IntersectsRect(&around), 0);
}

TEST(LineSearchRegion, RectanglesAndSegments) {
    auto line = Region({{0, 0}, {10, 0}, {10, 10}});
    const CGeoRect crossed{4, 1, 6, -1}, inside{9, 9, 11, 1}, apart{2, 9, 8, 1};
    EXPECT_EQ(line->IntersectsRect(&crossed), 1);
    EXPECT_EQ(line->IntersectsRect(&inside), 1);
    EXPECT_EQ(line->IntersectsRect(&apart), 0);
    EXPECT_EQ(line->ContainsRect(&crossed), 0);
    const CGeoPoint a{0, 0}, b{10, 0}, c{10, 10}, half{5, 0}, off{0, 10};
    EXPECT_EQ(line->IntersectsSegment(&half, &off), 1);
    EXPECT_EQ(line->IntersectsSegment(&off, &c), 1);
    EXPECT_EQ(line->ContainsSegment(&a, &b), 1);
    EXPECT_EQ(line->ContainsSegment(&b, &c), 1);
    EXPECT_EQ(line->ContainsSegment(&b, &a), 0);    // other direction
    EXPECT_EQ(line->ContainsSegment(&a, &half), 0); // part of a segment only
    EXPECT_EQ(line->ContainsSegment(&a, &a), 0);
}

TEST(LineSearchRegion, Shapes) {
    auto line = Region({{0, 0}, {10, 0}});
    auto partlyOff = test::MakeMultiPoint({{5, 0}, {5, 1}});
    auto onLine = test::MakeMultiPoint({{5, 0}, {7, 0}});
    EXPECT_EQ(line->IntersectsShape(partlyOff.Get()), 1);
    EXPECT_EQ(line->ContainsShape(partlyOff.Get()), 0);
    EXPECT_EQ(line->ContainsShape(onLine.Get()), 1);
    auto same = test::MakePolyline({{{0, 0}, {10, 0}}});
    auto reversed = test::MakePolyline({{{10, 0}, {0, 0}}});
    auto crossing = test::MakePolyline({{{5, -5}, {5, 5}}});
    EXPECT_EQ(line->ContainsShape(same.Get()), 1);
    EXPECT_EQ(line->ContainsShape(reversed.Get()), 0);
    EXPECT_EQ(line->IntersectsShape(crossing.Get()), 1);
    EXPECT_EQ(line->IntersectsShape(test::MakePolyline({{{0, 1}, {10, 1}}}).Get()), 0);
}

} // namespace
} // namespace fennick
