#include "search/LineSearchRegion.h"

#include "data/Measures.h"
#include "search/RingRelations.h"
#include "search/SegmentRelations.h"

namespace fennick {

int CLineSearchRegion::IntersectsRect(const CGeoRect* rect) {
    if (m_points.size() < 2)
        return 0;
    CGeoPoint ring[5];
    RectRing(*rect, ring);
    for (std::size_t i = 0; i + 1 < m_points.size(); ++i)
        if (RingsIntersect(ring, 5, &m_points[i], 2, 0))
            return 1;
    return 0;
}

int CLineSearchRegion::IntersectsPoint(const CGeoPoint* point) {
    double distance = 0;
    return (NearestPointOnPolyline(*point, m_points.data(), PointCount(), nullptr, nullptr, &distance) &&
            distance < 1e-6)
               ? 1
               : 0;
}

int CLineSearchRegion::IntersectsSegment(const CGeoPoint* a, const CGeoPoint* b) {
    return SegmentTouchesPolyline(*a, *b, m_points.data(), PointCount(), false);
}

int CLineSearchRegion::ContainsSegment(const CGeoPoint* a, const CGeoPoint* b) {
    if (a->x == b->x && a->y == b->y)
        return 0;
    for (std::size_t i = 0; i + 1 < m_points.size(); ++i) {
        const CGeoPoint& p = m_points[i];
        const CGeoPoint& q = m_points[i + 1];
        if (a->x == p.x && a->y == p.y && b->x == q.x && b->y == q.y && ParallelOverlap(p, q, *a, *b))
            return 1;
    }
    return 0;
}

} // namespace fennick
