#include "search/SearchRegionFactory.h"

#include "data/IShape.h"
#include "data/Measures.h"
#include "data/RectOperations.h"
#include "platform/Boundary.h"
#include "search/LineSearchRegion.h"
#include "search/LineShapeSearchRegion.h"
#include "search/PointSearchRegion.h"
#include "search/PolygonSearchRegion.h"
#include "search/PolygonShapeSearchRegion.h"

namespace fennick {

namespace {

// The part's points and count; false for a part whose count cannot be read or that has no points.
bool PartPoints(IShape* shape, int part, const CGeoPoint*& points, int& count) {
    count = 0;
    if (!shape->GetPartPointCount(part, &count))
        return false;
    points = shape->GetPartPoints(part);
    return points != nullptr;
}

CRef<ISearchRegion> LineShapeRegion(IShape* shape) {
    auto region = MakeRef<CLineShapeSearchRegion>();
    CGeoRect bounds;
    shape->GetBounds(&bounds);
    region->SetBounds(bounds);
    const int parts = shape->GetPartCount();
    for (int i = 0; i < parts; ++i) {
        const CGeoPoint* points = nullptr;
        int count = 0;
        if (!PartPoints(shape, i, points, count))
            return {};
        auto line = MakeRef<CLineSearchRegion>();
        if (!line->SetPoints(points, count, parts < 2 ? &bounds : nullptr))
            return {};
        region->Append(CRef<ISearchRegion>(line.Get()));
    }
    return CRef<ISearchRegion>(region.Get());
}

CRef<ISearchRegion> PolygonShapeRegion(IShape* shape) {
    auto region = MakeRef<CPolygonShapeSearchRegion>();
    CGeoRect bounds;
    shape->GetBounds(&bounds);
    const int parts = shape->GetPartCount();
    for (int i = 0; i < parts; ++i) {
        const CGeoPoint* points = nullptr;
        int count = 0;
        if (!PartPoints(shape, i, points, count))
            return {};
        auto ring = MakeRef<CPolygonSearchRegion>();
        // One ring takes the shape's bounds; each ring of several takes its own.
        CGeoRect ringBounds = bounds;
        int hole = 0;
        const int kind = shape->GetPartRingKind(i);
        if (parts >= 2) {
            const int orientation = RingOrientation(points, count, &ringBounds);
            // The orientation leaves out the closing point; an unclosed ring's last vertex belongs in too.
            if (count > 0)
                ExtendRect(ringBounds, points[count - 1]);
            hole = kind != 0 ? (kind == 1) : (orientation == RING_COUNTER_CLOCKWISE);
        } else {
            hole = kind == 1;
        }
        if (!ring->SetPoints(points, count, &ringBounds))
            return {};
        region->Append(CRef<ISearchRegion>(ring.Get()), hole);
    }
    if (region->Parts().size() >= 2)
        region->SortHolesFirst();
    region->SetBounds(bounds);
    return CRef<ISearchRegion>(region.Get());
}

CRef<ISearchRegion> PointRegion(IShape* shape) {
    int n = 0;
    if (!shape->GetPointCount(&n) || n <= 0)
        return {};
    const CGeoPoint* points = shape->GetPartPoints(0);
    if (!points)
        return {};
    auto region = MakeRef<CPointSearchRegion>();
    CGeoRect bounds;
    shape->GetBounds(&bounds);
    if (!region->SetPoints(points, n, &bounds))
        return {};
    return CRef<ISearchRegion>(region.Get());
}

} // namespace

int CreateSearchRegionFromShape(IShape* shape, ISearchRegion** region) {
    if (!region)
        return 0;
    *region = nullptr;
    if (!shape)
        return 0;
    return Guarded([&] {
        CRef<ISearchRegion> made;
        switch (shape->GetType()) {
        case SHAPE_POLYLINE:
            made = LineShapeRegion(shape);
            break;
        case SHAPE_POLYGON:
            made = PolygonShapeRegion(shape);
            break;
        case SHAPE_POINT:
        case SHAPE_MULTIPOINT:
            made = PointRegion(shape);
            break;
        default:
            return 1;
        }
        if (!made)
            return 0;
        *region = made.Detach();
        return 1;
    });
}

} // namespace fennick
