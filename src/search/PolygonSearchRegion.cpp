#include "search/PolygonSearchRegion.h"

#include "data/IShape.h"
#include "data/RectOperations.h"
#include "search/RingRelations.h"

#include <new>

namespace fennick {

int CPolygonSearchRegion::IntersectsShape(IShape* const& shape) {
    const int type = shape ? shape->GetType() : SHAPE_NULL;
    if (type != SHAPE_POINT && type != SHAPE_MULTIPOINT)
        return CBaseSearchRegion::IntersectsShape(shape);
    int n = 0;
    if (!shape->GetPointCount(&n))
        return 0;
    for (int i = 0; i < n; ++i) {
        CGeoPoint p;
        if (shape->CopyPoints(i, &p, 1) && IntersectsPoint(&p))
            return 1;
    }
    return 0;
}

int CPolygonSearchRegion::ContainsShape(IShape* const& shape) {
    const int type = shape ? shape->GetType() : SHAPE_NULL;
    if (type != SHAPE_POINT && type != SHAPE_MULTIPOINT)
        return CBaseSearchRegion::ContainsShape(shape);
    int n = 0;
    if (!shape->GetPointCount(&n) || n <= 0)
        return 0;
    for (int i = 0; i < n; ++i) {
        CGeoPoint p;
        if (!shape->CopyPoints(i, &p, 1) || !ContainsPoint(&p))
            return 0;
    }
    return 1;
}

int CPolygonSearchRegion::IntersectsRect(const CGeoRect* rect) {
    CGeoPoint ring[5];
    RectRing(*rect, ring);
    return RingsIntersect(m_points.data(), PointCount(), ring, 5, 0);
}

int CPolygonSearchRegion::IntersectsPoint(const CGeoPoint* point) {
    return (PointInRect(m_bounds, *point) &&
            PointInRing(m_points.data(), PointCount(), RING_BOUNDARY_INSIDE, *point))
               ? 1
               : 0;
}

int CPolygonSearchRegion::ContainsRect(const CGeoRect* rect) {
    if (!RectInRect(m_bounds, *rect))
        return 0;
    CGeoPoint ring[5];
    RectRing(*rect, ring);
    return RingContainsRing(m_points.data(), PointCount(), ring, 5, 0);
}

int CPolygonSearchRegion::ContainsPoint(const CGeoPoint* point) {
    return (PointInRect(m_bounds, *point) && PointInRing(m_points.data(), PointCount(), 0, *point)) ? 1 : 0;
}

int CPolygonSearchRegion::IntersectsSegment(const CGeoPoint* a, const CGeoPoint* b) {
    const CGeoPoint segment[2] = {*a, *b};
    return RingsIntersect(m_points.data(), PointCount(), segment, 2, 0);
}

int CPolygonSearchRegion::ContainsSegment(const CGeoPoint* a, const CGeoPoint* b) {
    const CGeoPoint segment[2] = {*a, *b};
    return RingContainsRing(m_points.data(), PointCount(), segment, 2, 0);
}

int CPolygonSearchRegion::SetPoints(const CGeoPoint* points, int count, const CGeoRect* bounds) {
    if (count <= 0 || !points)
        return 0;
    const CGeoPoint& first = points[0];
    const CGeoPoint& last = points[count - 1];
    const bool open = last.x != first.x || last.y != first.y;
    try {
        m_points.assign(points, points + count);
        if (open)
            m_points.push_back(first);
        m_points.shrink_to_fit();
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (bounds) {
        m_bounds = *bounds;
    } else {
        for (int i = 0; i < count; ++i)
            ExtendRect(m_bounds, points[i]);
    }
    return 1;
}

} // namespace fennick
