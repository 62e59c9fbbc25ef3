#pragma once
// Exact point-in-ring and ring-to-ring relations. A ring is walked as closed whether or not its last point
// repeats the first. No allocation; the ring relations reject on bounding rectangles before walking edges.

#include "data/GeoTypes.h"

namespace fennick {

// A point exactly on the ring counts as inside.
constexpr int RING_BOUNDARY_INSIDE = 1;
// The even-odd rule instead of the nonzero-winding rule.
constexpr int RING_EVEN_ODD = 2;

// The crossing total of the ring around p: nonzero when p is inside. A point on the ring gives 1 with
// RING_BOUNDARY_INSIDE and 0 without.
int PointInRing(const CGeoPoint* ring, int n, int flags, const CGeoPoint& p);
// Whether ring A holds every point of list B (B's points may touch A's boundary where B crosses A's edges).
// Only the RING_EVEN_ODD bit of flags is used.
int RingContainsRing(const CGeoPoint* a, int n, const CGeoPoint* b, int m, int flags);
// Whether ring A and ring B meet. Only the RING_EVEN_ODD bit of flags is used.
int RingsIntersect(const CGeoPoint* a, int n, const CGeoPoint* b, int m, int flags);

} // namespace fennick
