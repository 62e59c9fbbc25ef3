// Rectangle operations: inclusive edges, the empty rectangle and its handling.

#include "data/RectOperations.h"

#include <gtest/gtest.h>

namespace fennick {
namespace {

void ExpectRect(const CGeoRect& r, double l, double t, double rt, double b) {
    EXPECT_EQ(r.left, l);
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, rt);
    EXPECT_EQ(r.bottom, b);
}

TEST(RectOperations, ExtendStartsFromThePoint) {
    CGeoRect r;
    EXPECT_TRUE(r.IsEmpty());
    ExtendRect(r, {3, 4});
    ExpectRect(r, 3, 4, 3, 4);
    EXPECT_FALSE(r.IsEmpty());
    ExtendRect(r, {-1, 9});
    ExpectRect(r, -1, 9, 3, 4);
    ExtendRect(r, {5, -2});
    ExpectRect(r, -1, 9, 5, -2);
}

TEST(RectOperations, UniteIgnoresEmptyArgumentAndAdoptsIntoEmptyTarget) {
    CGeoRect r{0, 2, 2, 0};
    UniteRect(r, CGeoRect());
    ExpectRect(r, 0, 2, 2, 0);
    UniteRect(r, CGeoRect{-1, 1, 1, -3});
    ExpectRect(r, -1, 2, 2, -3);
    CGeoRect empty;
    UniteRect(empty, CGeoRect{5, 6, 7, 4});
    ExpectRect(empty, 5, 6, 7, 4);
}

TEST(RectOperations, ClipMeetAndContainment) {
    const CGeoRect a{0, 10, 10, 0};
    CGeoRect clipped = a;
    ClipRect(clipped, CGeoRect{5, 20, 20, 5});
    ExpectRect(clipped, 5, 10, 10, 5);
    clipped = a;
    ClipRect(clipped, CGeoRect{11, 20, 20, 11});
    EXPECT_TRUE(clipped.IsEmpty());

    const struct {
        CGeoRect b;
        bool meet;
        bool inside;
    } cases[] = {
        {{10, 20, 20, 10}, true, false},                                // corners touch
        {{10.5, 5, 20, 0}, false, false},                               // apart
        {{2, 8, 8, 2}, true, true},       {{0, 10, 10, 0}, true, true}, // equal: edges inclusive
        {{5, 5, 5, 5}, true, true},                                     // zero size is not empty
        {{-1, 5, 5, 0}, true, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RectsMeet(a, c.b), c.meet) << c.b.left;
        EXPECT_EQ(RectInRect(a, c.b), c.inside) << c.b.left;
    }
    EXPECT_TRUE(RectInRect(a, CGeoRect()));
    EXPECT_FALSE(RectsMeet(a, CGeoRect()));
    EXPECT_TRUE(PointInRect(a, {10, 0}));
    EXPECT_FALSE(PointInRect(a, {10, -0.001}));
}

} // namespace
} // namespace fennick
