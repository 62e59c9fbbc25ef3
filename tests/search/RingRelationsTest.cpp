// Point-in-ring crossing counts (boundary, vertices on the ray, flat edges, wrap-around, both fill rules) and
// the ring-to-ring relations.

#include "search/RingRelations.h"

#include "ShapeRecords.h"

#include <gtest/gtest.h>

namespace fennick {
namespace {

using test::Ring;

int In(const Ring& r, int flags, CGeoPoint p) {
    return PointInRing(r.data(), static_cast<int>(r.size()), flags, p);
}

TEST(RingRelations, PointInSquare) {
    const Ring square = test::SquareCcw(0, 0, 10, 10);
    const struct {
        const char* what;
        CGeoPoint p;
        bool boundary; // expected with RING_BOUNDARY_INSIDE
        bool plain;    // expected without it
    } cases[] = {
        {"inside", {5, 5}, true, true},
        {"right edge", {10, 5}, true, false},
        {"on flat bottom edge", {5, 0}, true, false},
        {"on flat top edge", {0.5, 10}, true, false},
        {"corner", {10, 10}, true, false},
        {"left of the corners' ray", {-1, 0}, false, false},
        {"right of the corners' ray", {11, 0}, false, false},
        {"ray through top corners", {-1, 10}, false, false},
        {"outside right", {11, 5}, false, false},
        {"above", {5, 11}, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(In(square, RING_BOUNDARY_INSIDE, c.p) != 0, c.boundary) << c.what;
        EXPECT_EQ(In(square, 0, c.p) != 0, c.plain) << c.what;
        EXPECT_EQ(In(square, RING_EVEN_ODD, c.p) != 0, c.plain) << c.what;
        EXPECT_EQ(In(test::SquareCw(0, 0, 10, 10), 0, c.p) != 0, c.plain) << c.what << " clockwise";
    }
}

TEST(RingRelations, UnclosedRingUsesTheClosingEdge) {
    const Ring triangle = {{0, 0}, {10, 5}, {0, 10}};
    EXPECT_NE(In(triangle, 0, {5, 5}), 0);
    EXPECT_EQ(In(triangle, 0, {0, 5}), 0); // on the implicit closing edge
    EXPECT_EQ(In(triangle, RING_BOUNDARY_INSIDE, {0, 5}), 1);
    EXPECT_EQ(In(triangle, 0, {11, 5}), 0);
}

TEST(RingRelations, DoublyWoundSquareUnderBothRules) {
    const Ring twice = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
    EXPECT_EQ(In(twice, 0, {5, 5}), -2);
    EXPECT_EQ(In(twice, RING_EVEN_ODD, {5, 5}), 0);
}

TEST(RingRelations, VerticesOnTheRay) {
    // A diamond: the ray through (5,5) passes the left vertex (0,5), which the ring goes through upwards.
    const Ring diamond = {{5, 0}, {10, 5}, {5, 10}, {0, 5}, {5, 0}};
    EXPECT_NE(In(diamond, 0, {5, 5}), 0);
    EXPECT_EQ(In(diamond, 0, {11, 5}), 0);
    EXPECT_EQ(In(diamond, 0, {-1, 5}), 0);
    // A notch whose tip (2,5) lies on the ray: the ring passes the tip downwards, one crossing.
    const Ring spike = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 6}, {2, 5}, {0, 4}, {0, 0}};
    EXPECT_NE(In(spike, 0, {5, 5}), 0);
    EXPECT_EQ(In(spike, 0, {1, 5}), 0);
    // The ring starts on the ray: the first vertex waits for the direction arriving at the end.
    const Ring startOnRay = {{0, 5}, {0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 5}};
    EXPECT_NE(In(startOnRay, 0, {5, 5}), 0);
    EXPECT_EQ(In(startOnRay, 0, {-5, 5}), 0);
    // Starts at a turn-back vertex on the ray.
    const Ring startAtTurn = {{2, 5}, {0, 4}, {0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 6}, {2, 5}};
    EXPECT_NE(In(startAtTurn, 0, {5, 5}), 0);
    EXPECT_EQ(In(startAtTurn, 0, {1, 5}), 0);
    // A flat step on the ray that the ring crosses through, and one wrapping around the start.
    const Ring step = {{0, 0}, {10, 0}, {10, 10}, {4, 10}, {4, 5}, {2, 5}, {2, 0}, {0, 0}};
    EXPECT_NE(In(step, 0, {6, 5}), 0);
    const Ring stepAtStart = {{4, 5}, {2, 5}, {2, 0}, {10, 0}, {10, 10}, {4, 10}, {4, 5}};
    EXPECT_NE(In(stepAtStart, 0, {6, 5}), 0);
    EXPECT_EQ(In(stepAtStart, 0, {1, 5}), 0);
    EXPECT_EQ(In(stepAtStart, 0, {3, 5}), 0); // on the step
    EXPECT_EQ(In(stepAtStart, RING_BOUNDARY_INSIDE, {3, 5}), 1);
    // A notch with a flat tip on the ray, passed through downwards.
    const Ring bump = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 8}, {3, 5}, {4, 5}, {0, 2}, {0, 0}};
    EXPECT_EQ(In(bump, 0, {2, 5}), 0);
    EXPECT_NE(In(bump, 0, {6, 5}), 0);
    // Vertices where the ring turns back are not crossings: an apex and a flat valley floor on the ray.
    const Ring apex = {{0, 0}, {10, 0}, {5, 5}, {0, 0}};
    EXPECT_EQ(In(apex, 0, {8, 5}), 0);
    EXPECT_EQ(In(apex, RING_BOUNDARY_INSIDE, {5, 5}), 1);
    const Ring valley = {{0, 0}, {10, 0}, {10, 10}, {7, 10}, {6, 5}, {4, 5}, {3, 10}, {0, 10}, {0, 0}};
    EXPECT_NE(In(valley, 0, {8, 5}), 0);
    EXPECT_NE(In(valley, 0, {2, 5}), 0);
    EXPECT_EQ(In(valley, 0, {5, 5}), 0);
    EXPECT_EQ(In(valley, 0, {11, 5}), 0);
}

TEST(RingRelations, DegenerateRings) {
    const Ring one = {{1, 1}};
    EXPECT_EQ(In(one, 0, {1, 1}), 1);
    EXPECT_EQ(In(one, 0, {1, 2}), 0);
    EXPECT_EQ(PointInRing(nullptr, 0, RING_BOUNDARY_INSIDE, {0, 0}), 0);
}

TEST(RingRelations, RingContainsRing) {
    const Ring outer = test::SquareCcw(0, 0, 10, 10);
    const struct {
        const char* what;
        Ring b;
        int contains;
        int intersects;
    } cases[] = {
        {"inner square", test::SquareCcw(2, 2, 4, 4), 1, 1},
        {"sharing an edge", test::SquareCcw(0, 0, 4, 4), 1, 1},
        {"overlapping", test::SquareCcw(5, 5, 15, 15), 0, 1},
        {"outside", test::SquareCcw(20, 20, 30, 30), 0, 0},
        {"covering", test::SquareCcw(-5, -5, 15, 15), 0, 1},
        {"touching outside", test::SquareCcw(10, 0, 20, 10), 0, 1},
        {"point inside", {{5, 5}}, 1, 1},
        {"point on edge", {{10, 5}}, 1, 0},
        {"segment inside", {{1, 1}, {9, 9}}, 1, 1},
        {"segment leaving", {{5, 5}, {15, 5}}, 0, 1},
    };
    for (const auto& c : cases) {
        const int m = static_cast<int>(c.b.size());
        EXPECT_EQ(RingContainsRing(outer.data(), 5, c.b.data(), m, 0), c.contains) << c.what;
        EXPECT_EQ(RingsIntersect(outer.data(), 5, c.b.data(), m, 0), c.intersects) << c.what;
    }
    const Ring pt = {{3, 3}};
    const Ring same = {{3, 3}, {3, 3}};
    EXPECT_EQ(RingContainsRing(pt.data(), 1, same.data(), 2, 0), 1);
    EXPECT_EQ(RingContainsRing(pt.data(), 1, outer.data(), 5, 0), 0);
    EXPECT_EQ(RingsIntersect(pt.data(), 1, outer.data(), 5, 0), 1);
    EXPECT_EQ(RingsIntersect(outer.data(), 0, pt.data(), 1, 0), 0);
}

} // namespace
} // namespace fennick
