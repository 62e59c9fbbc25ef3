#include "search/BaseSearchRegion.h"

#include "data/IShape.h"
#include "data/RectOperations.h"
#include "platform/Boundary.h"
#include "platform/Exceptions.h"
#include "search/RingRelations.h"

#include <algorithm>
#include <new>

namespace fennick {

CGeoRect* CBaseSearchRegion::GetBounds(CGeoRect* bounds) {
    *bounds = m_bounds;
    return bounds;
}

CGeoPoint* CBaseSearchRegion::GetFirstPoint(CGeoPoint* point) {
    if (m_points.empty())
        ThrowInvalidArg();
    *point = m_points[0];
    return point;
}

int CBaseSearchRegion::SetPoints(const CGeoPoint* points, int count, const CGeoRect* bounds) {
    if (count <= 0 || !points)
        return 0;
    try {
        m_points.assign(points, points + count);
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

void CBaseSearchRegion::RectRing(const CGeoRect& rect, CGeoPoint ring[5]) {
    ring[0] = {rect.left, rect.top};
    ring[1] = {rect.right, rect.top};
    ring[2] = {rect.right, rect.bottom};
    ring[3] = {rect.left, rect.bottom};
    ring[4] = {rect.left, rect.top};
}

int CBaseSearchRegion::IntersectsShape(IShape* const& shape) {
    return Guarded([&] {
        int n = 0;
        if (!shape || !shape->GetPointCount(&n) || n <= 0)
            return 0;
        CGeoRect r;
        shape->GetBounds(&r);
        if (ContainsRect(&r))
            return 1;
        if (!IntersectsRect(&r))
            return 0;
        const int type = shape->GetType();
        const int parts = shape->GetPartCount();
        switch (type) {
        case SHAPE_POLYLINE: {
            int start = 0;
            for (int i = 0; i < parts; ++i) {
                int k = 0;
                if (!shape->GetPartPointCount(i, &k))
                    continue;
                for (int j = 0; j + 1 < k; ++j) {
                    CGeoPoint pair[2];
                    if (shape->CopyPoints(start + j, pair, 2) && IntersectsSegment(&pair[0], &pair[1]))
                        return 1;
                }
                start += std::max(k, 0);
            }
            return 0;
        }
        case SHAPE_POLYGON:
            return IntersectsPolygonShape(shape, parts);
        case SHAPE_POINT:
        case SHAPE_MULTIPOINT:
            for (int i = 0; i < n; ++i) {
                CGeoPoint p;
                if (shape->CopyPoints(i, &p, 1) && IntersectsPoint(&p))
                    return 1;
            }
            return 0;
        default:
            return 0;
        }
    });
}

int CBaseSearchRegion::IntersectsPolygonShape(IShape* shape, int parts) {
    int largest = 0;
    for (int i = 0; i < parts; ++i) {
        int k = 0;
        if (shape->GetPartPointCount(i, &k))
            largest = std::max(largest, k);
    }
    std::vector<CGeoPoint> v;
    try {
        v.resize(static_cast<std::size_t>(largest));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    bool parity = false;
    int start = 0;
    for (int i = 0; i < parts; ++i) {
        int k = 0;
        if (!shape->GetPartPointCount(i, &k) || k <= 0)
            continue;
        const int partStart = start;
        start += k;
        if (!shape->CopyPoints(partStart, v.data(), k))
            continue;
        // Vertices spread over the ring first: a hit is more likely found early.
        const int g = k / 8 * 8;
        const int s = g / 8;
        for (int j = 0; j < s; ++j)
            for (int t = 0; t < 8; ++t)
                if (IntersectsPoint(&v[static_cast<std::size_t>(t * s + j)]))
                    return 1;
        for (int t = g; t < k; ++t)
            if (IntersectsPoint(&v[static_cast<std::size_t>(t)]))
                return 1;
        CGeoPoint q;
        GetFirstPoint(&q);
        if (PointInRing(v.data(), k, RING_BOUNDARY_INSIDE, q)) {
            parity = !parity;
            if (parts == 1)
                return 1;
        }
        for (int t = 0; t + 1 < k; ++t)
            if (IntersectsSegment(&v[static_cast<std::size_t>(t)], &v[static_cast<std::size_t>(t + 1)]))
                return 1;
    }
    return parity ? 1 : 0;
}

int CBaseSearchRegion::ContainsShape(IShape* const& shape) {
    return Guarded([&] {
        int n = 0;
        if (!shape || !shape->GetPointCount(&n) || n <= 0)
            return 0;
        CGeoRect r;
        shape->GetBounds(&r);
        if (ContainsRect(&r))
            return 1;
        if (!IntersectsRect(&r))
            return 0;
        const int type = shape->GetType();
        if (type == SHAPE_POLYLINE || type == SHAPE_POLYGON) {
            const int parts = shape->GetPartCount();
            int start = 0;
            for (int i = 0; i < parts; ++i) {
                int k = 0;
                if (!shape->GetPartPointCount(i, &k))
                    continue;
                for (int j = 0; j + 1 < k; ++j) {
                    CGeoPoint pair[2];
                    if (!shape->CopyPoints(start + j, pair, 2) || !ContainsSegment(&pair[0], &pair[1]))
                        return 0;
                }
                start += std::max(k, 0);
            }
            return 1;
        }
        if (type == SHAPE_POINT || type == SHAPE_MULTIPOINT) {
            for (int i = 0; i < n; ++i) {
                CGeoPoint p;
                if (!shape->CopyPoints(i, &p, 1) || !ContainsPoint(&p))
                    return 0;
            }
            return 1;
        }
        return 0;
    });
}

} // namespace fennick
