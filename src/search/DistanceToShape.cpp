#include "search/DistanceToShape.h"

#include "data/ISearchRegion.h"
#include "data/IShape.h"
#include "data/Measures.h"
#include "data/Ref.h"
#include "search/SearchRegionFactory.h"

#include <algorithm>
#include <cmath>

namespace fennick {

namespace {

// The smallest distance from p to a segment of any part with two or more points; -1 when there is none.
double NearestSegmentDistance(const CGeoPoint& p, IShape* shape) {
    double best = -1;
    const int parts = shape->GetPartCount();
    for (int i = 0; i < parts; ++i) {
        int count = 0;
        if (!shape->GetPartPointCount(i, &count) || count < 2)
            continue;
        const CGeoPoint* points = shape->GetPartPoints(i);
        if (!points)
            continue;
        for (int j = 0; j + 1 < count; ++j) {
            const double d = PointSegmentDistance(p, points[j], points[j + 1]);
            if (best < 0 || d < best)
                best = d;
        }
    }
    return best;
}

} // namespace

double DistanceToShape(const CGeoPoint& p, IShape* shape) {
    if (!shape)
        return -1;
    switch (shape->GetType()) {
    case SHAPE_POINT:
    case SHAPE_MULTIPOINT: {
        int count = 0;
        if (shape->GetPartCount() <= 0 || !shape->GetPartPointCount(0, &count) || count <= 0)
            return -1;
        const CGeoPoint* points = shape->GetPartPoints(0);
        if (!points)
            return -1;
        double best = -1;
        for (int i = 0; i < count; ++i) {
            const double d = std::hypot(points[i].x - p.x, points[i].y - p.y);
            if (best < 0 || d < best)
                best = d;
        }
        return best;
    }
    case SHAPE_POLYLINE:
        return NearestSegmentDistance(p, shape);
    case SHAPE_POLYGON: {
        CRef<ISearchRegion> region;
        if (!CreateSearchRegionFromShape(shape, region.Put()) || !region || region->ContainsPoint(&p))
            return 0;
        return NearestSegmentDistance(p, shape);
    }
    default:
        return -1;
    }
}

} // namespace fennick
