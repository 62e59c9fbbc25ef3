#include "search/SegmentRelations.h"

#include <algorithm>

namespace fennick {

namespace {

bool Equal(const CGeoPoint& a, const CGeoPoint& b) {
    return a.x == b.x && a.y == b.y;
}

bool Within(double v, double e1, double e2) {
    return std::min(e1, e2) <= v && v <= std::max(e1, e2);
}

// Whether the ranges [a1, a2] and [b1, b2] (in any order) overlap, touching ends included.
bool RangesMeet(double a1, double a2, double b1, double b2) {
    return std::max(a1, a2) >= std::min(b1, b2) && std::min(a1, a2) <= std::max(b1, b2);
}

// The length of the common part of two ranges (negative when they are apart).
double CommonLength(double a1, double a2, double b1, double b2) {
    return std::min(std::max(a1, a2), std::max(b1, b2)) - std::max(std::min(a1, a2), std::min(b1, b2));
}

// Whether the crossing point lies on segment p1-p2: judged on x unless the segment is vertical.
bool OnSegment(const CGeoPoint& at, const CGeoPoint& p1, const CGeoPoint& p2) {
    if (p1.x != p2.x)
        return Within(at.x, p1.x, p2.x);
    return Within(at.y, p1.y, p2.y);
}

} // namespace

int SegmentsIntersect(const CGeoPoint& a1, const CGeoPoint& a2, const CGeoPoint& b1, const CGeoPoint& b2,
                      CGeoPoint* at) {
    if (!RangesMeet(a1.x, a2.x, b1.x, b2.x) || !RangesMeet(a1.y, a2.y, b1.y, b2.y))
        return 0;
    const double d = (a2.y - a1.y) * (b2.x - b1.x) - (b2.y - b1.y) * (a2.x - a1.x);
    if (d == 0)
        return 0;
    if (Equal(a1, b1) || Equal(a1, b2)) {
        if (at)
            *at = a1;
        return 1;
    }
    if (Equal(a2, b1) || Equal(a2, b2)) {
        if (at)
            *at = a2;
        return 1;
    }
    const double p = a2.y * a1.x - a1.y * a2.x;
    const double q = b2.y * b1.x - b1.y * b2.x;
    const CGeoPoint crossing{(p * (b2.x - b1.x) - q * (a2.x - a1.x)) / d,
                             (p * (b2.y - b1.y) - q * (a2.y - a1.y)) / d};
    if (!OnSegment(crossing, a1, a2) || !OnSegment(crossing, b1, b2))
        return 0;
    if (at)
        *at = crossing;
    return 1;
}

int CollinearOverlap(const CGeoPoint& a1, const CGeoPoint& a2, const CGeoPoint& b1, const CGeoPoint& b2) {
    if (Equal(a1, a2) && Equal(b1, b2))
        return Equal(a1, b1) ? 1 : 0;
    if (a1.x == a2.x && b1.x == b2.x)
        return RangesMeet(a1.y, a2.y, b1.y, b2.y) ? 1 : 0;
    return RangesMeet(a1.x, a2.x, b1.x, b2.x) ? 1 : 0;
}

int SegmentMeetsSegment(const CGeoPoint& a1, const CGeoPoint& a2, const CGeoPoint& b1, const CGeoPoint& b2) {
    const double d = (a2.y - a1.y) * (b2.x - b1.x) - (b2.y - b1.y) * (a2.x - a1.x);
    if (d != 0)
        return SegmentsIntersect(a1, a2, b1, b2);
    bool collinear;
    if (!Equal(a1, a2))
        collinear = (a2.y - a1.y) * (b1.x - a1.x) - (a2.x - a1.x) * (b1.y - a1.y) == 0;
    else
        collinear = Equal(b1, b2) || (b2.y - b1.y) * (a1.x - b1.x) - (b2.x - b1.x) * (a1.y - b1.y) == 0;
    return collinear ? CollinearOverlap(a1, a2, b1, b2) : 0;
}

int SegmentTouchesPolyline(const CGeoPoint& s1, const CGeoPoint& s2, const CGeoPoint* b, int n, bool closed) {
    for (int j = 0; j + 1 < n; ++j)
        if (SegmentMeetsSegment(s1, s2, b[j], b[j + 1]))
            return 1;
    if (closed && n > 0 && SegmentMeetsSegment(s1, s2, b[0], b[n - 1]))
        return 1;
    return 0;
}

int PolylinesIntersect(const CGeoPoint* a, int n, bool closedA, const CGeoPoint* b, int m, bool closedB) {
    for (int i = 0; i + 1 < n; ++i)
        if (SegmentTouchesPolyline(a[i], a[i + 1], b, m, closedB))
            return 1;
    if (closedA && n > 0 && SegmentTouchesPolyline(a[0], a[n - 1], b, m, closedB))
        return 1;
    return 0;
}

int ParallelOverlap(const CGeoPoint& s1, const CGeoPoint& s2, const CGeoPoint& t1, const CGeoPoint& t2) {
    const double c = (s2.y - s1.y) * (t2.x - t1.x) - (t2.y - t1.y) * (s2.x - s1.x);
    if (!(c == 0 || (c > -1e-7 && c < 1e-7)))
        return 0;
    const double xCommon = CommonLength(s1.x, s2.x, t1.x, t2.x);
    const double yCommon = CommonLength(s1.y, s2.y, t1.y, t2.y);
    if (s1.x == s2.x && s1.y != s2.y)
        return (t1.x == s1.x && yCommon > 0) ? 1 : 0;
    if (s1.y == s2.y)
        return (s1.y == t1.y && xCommon > 0) ? 1 : 0;
    return (xCommon > 0 && yCommon > 0) ? 1 : 0;
}

} // namespace fennick
