#include "search/PointSearchRegion.h"

#include "data/IShape.h"
#include "data/Measures.h"
#include "data/RectOperations.h"
#include "search/SearchRegionFactory.h"

namespace fennick {

int CPointSearchRegion::IntersectsShape(IShape* const& shape) {
    if (shape && m_points.size() > 1 && shape->GetType() == SHAPE_POLYGON) {
        // Several points against a polygon: ask the polygon's own region about each point, since the generic
        // parity test looks only at the first point.
        CRef<ISearchRegion> region;
        if (CreateSearchRegionFromShape(shape, region.Put()) && region) {
            for (const CGeoPoint& p : m_points)
                if (region->IntersectsPoint(&p))
                    return 1;
        }
    }
    return CBaseSearchRegion::IntersectsShape(shape);
}

int CPointSearchRegion::IntersectsRect(const CGeoRect* rect) {
    for (const CGeoPoint& p : m_points)
        if (PointInRect(*rect, p))
            return 1;
    return 0;
}

int CPointSearchRegion::IntersectsPoint(const CGeoPoint* point) {
    for (const CGeoPoint& p : m_points)
        if (p.x == point->x && p.y == point->y)
            return 1;
    return 0;
}

int CPointSearchRegion::IntersectsSegment(const CGeoPoint* a, const CGeoPoint* b) {
    const CGeoPoint segment[2] = {*a, *b};
    for (const CGeoPoint& p : m_points) {
        double distance = 0;
        if (NearestPointOnPolyline(p, segment, 2, nullptr, nullptr, &distance) && distance < 1e-6)
            return 1;
    }
    return 0;
}

} // namespace fennick
