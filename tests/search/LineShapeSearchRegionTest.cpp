// The polyline-shape region: any element answers yes; containment part by part.

#include "search/LineShapeSearchRegion.h"

#include "ShapeRecords.h"
#include "search/SearchRegionFactory.h"

#include <gtest/gtest.h>

namespace fennick {
namespace {

CRef<ISearchRegion> TwoLines() {
    auto shape = test::MakePolyline({{{0, 0}, {10, 0}}, {{0, 5}, {5, 5}, {5, 10}}});
    CRef<ISearchRegion> region;
    EXPECT_EQ(CreateSearchRegionFromShape(shape.Get(), region.Put()), 1);
    return region;
}

TEST(LineShapeSearchRegion, AnyElementAnswers) {
    auto region = TwoLines();
    auto* composite = dynamic_cast<CLineShapeSearchRegion*>(region.Get());
    ASSERT_NE(composite, nullptr);
    EXPECT_EQ(composite->ElementCount(), 2u);
    const CGeoPoint onFirst{3, 0}, onSecond{5, 7}, off{8, 8};
    EXPECT_EQ(region->IntersectsPoint(&onFirst), 1);
    EXPECT_EQ(region->ContainsPoint(&onSecond), 1);
    EXPECT_EQ(region->IntersectsPoint(&off), 0);
    const CGeoRect nearSecond{4, 9, 6, 8}, empty{6, 4, 9, 1};
    EXPECT_EQ(region->IntersectsRect(&nearSecond), 1);
    EXPECT_EQ(region->IntersectsRect(&empty), 0);
    EXPECT_EQ(region->ContainsRect(&nearSecond), 0);
    CGeoRect r;
    region->GetBounds(&r);
    EXPECT_EQ(r.right, 10);
    EXPECT_EQ(r.top, 10);
}

TEST(LineShapeSearchRegion, ContainmentPartByPartAndByDirection) {
    auto region = TwoLines();
    // Each part coincides with a segment of a different element.
    auto both = test::MakePolyline({{{0, 0}, {10, 0}}, {{5, 5}, {5, 10}}});
    EXPECT_EQ(region->ContainsShape(both.Get()), 1);
    auto reversed = test::MakePolyline({{{0, 0}, {10, 0}}, {{5, 10}, {5, 5}}});
    EXPECT_EQ(region->ContainsShape(reversed.Get()), 0);
    auto one = test::MakePolyline({{{0, 5}, {5, 5}, {5, 10}}});
    EXPECT_EQ(region->ContainsShape(one.Get()), 1);
    // A segment across two elements is held by neither.
    auto across = test::MakePolyline({{{10, 0}, {0, 5}}});
    EXPECT_EQ(region->ContainsShape(across.Get()), 0);
    EXPECT_EQ(region->IntersectsShape(across.Get()), 1);
    auto partlyOff = test::MakeMultiPoint({{2, 0}, {2, 1}});
    EXPECT_EQ(region->IntersectsShape(partlyOff.Get()), 1);
    EXPECT_EQ(region->ContainsShape(partlyOff.Get()), 0);
}

} // namespace
} // namespace fennick
