#pragma once
// Exact relations between segments and polylines. A segment is given by its two end points; ends count as
// part of the segment. No allocation, no tolerance except in ParallelOverlap.

#include "data/GeoTypes.h"

namespace fennick {

// Whether non-parallel segments a1-a2 and b1-b2 cross or touch; the crossing point when `at` is given.
// Parallel segments (zero determinant) give 0.
int SegmentsIntersect(const CGeoPoint& a1, const CGeoPoint& a2, const CGeoPoint& b1, const CGeoPoint& b2,
                      CGeoPoint* at = nullptr);
// Whether two segments known to be collinear overlap (touching ends overlap).
int CollinearOverlap(const CGeoPoint& a1, const CGeoPoint& a2, const CGeoPoint& b1, const CGeoPoint& b2);
// Whether two segments meet: crossing, touching or overlapping on a common line.
int SegmentMeetsSegment(const CGeoPoint& a1, const CGeoPoint& a2, const CGeoPoint& b1, const CGeoPoint& b2);
// Whether segment s1-s2 meets an edge of the polyline of n points; closed adds the edge (B[0], B[n-1]).
int SegmentTouchesPolyline(const CGeoPoint& s1, const CGeoPoint& s2, const CGeoPoint* b, int n, bool closed);
// Whether any edge of polyline A meets polyline B (each closed when its flag is set).
int PolylinesIntersect(const CGeoPoint* a, int n, bool closedA, const CGeoPoint* b, int m, bool closedB);
// Whether two (nearly, within 1e-7 of the cross product) parallel segments share a stretch of positive
// length.
int ParallelOverlap(const CGeoPoint& s1, const CGeoPoint& s2, const CGeoPoint& t1, const CGeoPoint& t2);

} // namespace fennick
