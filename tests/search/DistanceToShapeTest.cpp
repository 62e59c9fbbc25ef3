// Distances from a point to shapes of every type.

#include "search/DistanceToShape.h"

#include "ShapeRecords.h"

#include <gtest/gtest.h>

#include <cmath>

namespace fennick {
namespace {

TEST(DistanceToShape, Polygons) {
    auto holed = test::MakePolygon({test::SquareCw(0, 0, 10, 10), test::SquareCcw(4, 4, 6, 6)});
    EXPECT_DOUBLE_EQ(DistanceToShape({5, 5.5}, holed.Get()), 0.5); // in the hole: to the hole's edge
    EXPECT_EQ(DistanceToShape({2, 2}, holed.Get()), 0);            // solid
    EXPECT_EQ(DistanceToShape({10, 3}, holed.Get()), 0);           // on the outer edge
    EXPECT_DOUBLE_EQ(DistanceToShape({13, 14}, holed.Get()), 5);   // outside, nearest the corner
    EXPECT_DOUBLE_EQ(DistanceToShape({5, -2}, holed.Get()), 2);
}

TEST(DistanceToShape, LinesAndPoints) {
    auto line = test::MakePolyline({{{0, 0}, {10, 0}}, {{20, 0}, {20, 10}}});
    EXPECT_DOUBLE_EQ(DistanceToShape({5, 3}, line.Get()), 3);
    EXPECT_DOUBLE_EQ(DistanceToShape({17, 5}, line.Get()), 3);
    auto onePointParts = test::MakePolyline({{{0, 0}}, {{5, 5}}});
    EXPECT_EQ(DistanceToShape({0, 0}, onePointParts.Get()), -1);
    auto multi = test::MakeMultiPoint({{0, 0}, {6, 8}, {3, 3}});
    EXPECT_DOUBLE_EQ(DistanceToShape({6, 4}, multi.Get()), std::sqrt(10.0));
    EXPECT_DOUBLE_EQ(DistanceToShape({0, 0}, test::MakePoint(3, 4).Get()), 5);
    EXPECT_EQ(DistanceToShape({0, 0}, test::MakeMultiPoint({}).Get()), -1);
    auto null = MakeRef<CShapeImpl>();
    ASSERT_EQ(null->SetData(SHAPE_NULL, 0, nullptr, 0), 1);
    EXPECT_EQ(DistanceToShape({0, 0}, null.Get()), -1);
}

} // namespace
} // namespace fennick
