// The uncounted one-part view of a shape.

#include "search/SinglePartOfShape.h"

#include "ShapeRecords.h"

#include <gtest/gtest.h>

namespace fennick {
namespace {

TEST(SinglePartOfShape, ViewsOnePartInPlace) {
    auto shape = test::MakePolygon({test::SquareCw(0, 0, 10, 10), {{20, 20}, {30, 25}, {24, 40}}});
    CSinglePartOfShape view;
    ASSERT_TRUE(view.Fill(shape.Get(), 1));
    EXPECT_EQ(view.AddRef(), 1);
    EXPECT_EQ(view.Release(), 1);
    void* out = &view;
    EXPECT_EQ(view.QueryInterface(SGuid{}, &out), 0);
    EXPECT_EQ(out, &view);
    EXPECT_EQ(view.GetType(), SHAPE_POLYGON);
    EXPECT_EQ(view.GetPartCount(), 1);
    EXPECT_EQ(view.GetPartPoints(7), shape->GetPartPoints(1));
    int n = 0;
    ASSERT_EQ(view.GetPartPointCount(4, &n), 1);
    EXPECT_EQ(n, 3);
    CGeoRect r;
    ASSERT_EQ(view.GetBounds(&r), 1);
    EXPECT_EQ(r.left, 20);
    EXPECT_EQ(r.right, 30);
    EXPECT_EQ(r.top, 40);
    EXPECT_EQ(r.bottom, 20);
    CGeoPoint c;
    ASSERT_EQ(view.GetCenter(&c), 1);
    EXPECT_EQ(c.x, 25);
    EXPECT_EQ(c.y, 30);
    CGeoPoint copied[4] = {};
    ASSERT_EQ(view.CopyPoints(1, copied, 4), 1);
    EXPECT_EQ(copied[0].x, 30);
    EXPECT_EQ(copied[1].y, 40);
    EXPECT_EQ(copied[2].x, 0);
    EXPECT_EQ(view.CopyPoints(3, copied, 1), 0);
    EXPECT_EQ(view.GetPartRingKind(0), 0);
    view.SetBounds(CGeoRect{0, 1, 1, 0});
    ASSERT_EQ(view.GetBounds(&r), 1);
    EXPECT_EQ(r.right, 1);
    EXPECT_FALSE(view.Fill(shape.Get(), 2));
}

} // namespace
} // namespace fennick
