// Exact segment relations: crossings, shared ends, collinear overlaps and near-parallel overlaps.

#include "search/SegmentRelations.h"

#include <gtest/gtest.h>

namespace fennick {
namespace {

struct SegmentCase {
    const char* what;
    CGeoPoint a1, a2, b1, b2;
    int meets;
};

TEST(SegmentRelations, SegmentsIntersectGivesTheCrossing) {
    CGeoPoint at;
    ASSERT_EQ(SegmentsIntersect({0, 0}, {2, 2}, {0, 2}, {2, 0}, &at), 1);
    EXPECT_EQ(at.x, 1);
    EXPECT_EQ(at.y, 1);
    ASSERT_EQ(SegmentsIntersect({0, 0}, {1, 1}, {1, 1}, {2, 0}, &at), 1);
    EXPECT_EQ(at.x, 1);
    EXPECT_EQ(at.y, 1);
    EXPECT_EQ(SegmentsIntersect({0, 0}, {1, 0}, {2, -1}, {2, 1}), 0);
    // Extents overlap but the lines cross outside the second segment.
    EXPECT_EQ(SegmentsIntersect({0, 0}, {4, 4}, {3, 0}, {4, 1}), 0);
    // A vertical segment is judged on y.
    ASSERT_EQ(SegmentsIntersect({0, 0}, {4, 4}, {2, -5}, {2, 5}, &at), 1);
    EXPECT_EQ(at.y, 2);
    EXPECT_EQ(SegmentsIntersect({0, 0}, {4, 4}, {2, 3}, {2, 5}), 0);
    // Parallel segments are left to the other tests.
    EXPECT_EQ(SegmentsIntersect({0, 0}, {2, 0}, {1, 0}, {3, 0}), 0);
}

TEST(SegmentRelations, SegmentMeetsSegment) {
    const SegmentCase cases[] = {
        {"collinear touching ends", {0, 0}, {2, 0}, {2, 0}, {3, 0}, 1},
        {"collinear apart", {0, 0}, {2, 0}, {2.5, 0}, {3, 0}, 0},
        {"parallel", {0, 0}, {2, 0}, {0, 1}, {2, 1}, 0},
        {"crossing", {0, 0}, {2, 2}, {0, 2}, {2, 0}, 1},
        {"collinear overlapping diagonal", {0, 0}, {4, 4}, {3, 3}, {6, 6}, 1},
        {"collinear vertical overlap", {1, 0}, {1, 4}, {1, 3}, {1, 9}, 1},
        {"collinear vertical apart", {1, 0}, {1, 4}, {1, 5}, {1, 9}, 0},
        {"point on segment", {1, 1}, {1, 1}, {0, 0}, {2, 2}, 1},
        {"point off segment line", {1, 2}, {1, 2}, {0, 0}, {2, 2}, 0},
        {"point beyond segment end", {3, 3}, {3, 3}, {0, 0}, {2, 2}, 0},
        {"equal points", {1, 1}, {1, 1}, {1, 1}, {1, 1}, 1},
        {"different points", {1, 1}, {1, 1}, {1, 2}, {1, 2}, 0},
        {"segment through a point", {0, 0}, {2, 2}, {1, 1}, {1, 1}, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SegmentMeetsSegment(c.a1, c.a2, c.b1, c.b2), c.meets) << c.what;
}

TEST(SegmentRelations, PolylinesAndTheClosingEdge) {
    const CGeoPoint l[] = {{0, 0}, {10, 0}, {10, 10}};
    // Only the closing edge (0,0)-(10,10) is crossed.
    EXPECT_EQ(SegmentTouchesPolyline({0, 5}, {5, 2}, l, 3, false), 0);
    EXPECT_EQ(SegmentTouchesPolyline({0, 5}, {5, 2}, l, 3, true), 1);
    const CGeoPoint s[] = {{0, 5}, {5, 2}};
    EXPECT_EQ(PolylinesIntersect(s, 2, false, l, 3, false), 0);
    EXPECT_EQ(PolylinesIntersect(s, 2, false, l, 3, true), 1);
    EXPECT_EQ(PolylinesIntersect(l, 3, true, s, 2, false), 1);
    EXPECT_EQ(PolylinesIntersect(l, 1, false, s, 2, false), 0);
}

TEST(SegmentRelations, ParallelOverlap) {
    const SegmentCase cases[] = {
        {"horizontal overlap", {0, 0}, {4, 0}, {2, 0}, {6, 0}, 1},
        {"horizontal touching ends", {0, 0}, {4, 0}, {4, 0}, {6, 0}, 0},
        {"horizontal other line", {0, 0}, {4, 0}, {2, 1}, {6, 1}, 0},
        {"vertical overlap", {1, 0}, {1, 4}, {1, 2}, {1, 6}, 1},
        {"vertical other line", {1, 0}, {1, 4}, {2, 2}, {2, 6}, 0},
        {"diagonal overlap", {0, 0}, {4, 4}, {1, 1}, {2, 2}, 1},
        {"diagonal reversed", {0, 0}, {4, 4}, {2, 2}, {1, 1}, 1},
        {"not parallel", {0, 0}, {4, 4}, {0, 0}, {4, 3}, 0},
        // Cross product 1e-8, inside the tolerance.
        {"nearly parallel", {0, 0}, {1, 0}, {0, 0}, {1, 1e-8}, 1},
        {"beyond tolerance", {0, 0}, {1, 0}, {0, 0}, {1, 1e-6}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParallelOverlap(c.a1, c.a2, c.b1, c.b2), c.meets) << c.what;
}

} // namespace
} // namespace fennick
