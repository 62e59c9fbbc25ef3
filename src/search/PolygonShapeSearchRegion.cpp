#include "search/PolygonShapeSearchRegion.h"

#include "data/IShape.h"
#include "search/SinglePartOfShape.h"

#include <algorithm>

namespace fennick {

CGeoRect* CPolygonShapeSearchRegion::GetBounds(CGeoRect* bounds) {
    *bounds = m_bounds;
    return bounds;
}

void CPolygonShapeSearchRegion::Append(CRef<ISearchRegion> ring, int hole) {
    m_parts.push_back(CPolyPart{std::move(ring), hole});
}

void CPolygonShapeSearchRegion::SortHolesFirst() {
    std::partition(m_parts.begin(), m_parts.end(), [](const CPolyPart& part) { return part.hole != 0; });
}

template <class Stop, class Pass> int CPolygonShapeSearchRegion::Walk(Stop stop, Pass pass) const {
    for (const CPolyPart& part : m_parts) {
        ISearchRegion* ring = part.region.Get();
        if (part.hole) {
            if (stop(ring))
                return 0;
        } else if (pass(ring)) {
            return 1;
        }
    }
    return 0;
}

int CPolygonShapeSearchRegion::IntersectsShape(IShape* const& shape) {
    return Walk([&](ISearchRegion* r) { return r->ContainsShape(shape); },
                [&](ISearchRegion* r) { return r->IntersectsShape(shape); });
}

int CPolygonShapeSearchRegion::IntersectsRect(const CGeoRect* rect) {
    return Walk([&](ISearchRegion* r) { return r->IntersectsRect(rect); },
                [&](ISearchRegion* r) { return r->IntersectsRect(rect); });
}

int CPolygonShapeSearchRegion::IntersectsPoint(const CGeoPoint* point) {
    return Walk([&](ISearchRegion* r) { return r->ContainsPoint(point); },
                [&](ISearchRegion* r) { return r->IntersectsPoint(point); });
}

int CPolygonShapeSearchRegion::ContainsWhole(IShape* shape) const {
    return Walk([&](ISearchRegion* r) { return r->IntersectsShape(shape); },
                [&](ISearchRegion* r) { return r->ContainsShape(shape); });
}

int CPolygonShapeSearchRegion::ContainsShape(IShape* const& shape) {
    if (!shape)
        return 0;
    const int parts = shape->GetPartCount();
    if (parts < 2)
        return ContainsWhole(shape);
    for (int i = 0; i < parts; ++i) {
        CSinglePartOfShape view;
        if (!view.Fill(shape, i) || !ContainsWhole(&view))
            return 0;
    }
    return 1;
}

int CPolygonShapeSearchRegion::ContainsRect(const CGeoRect* rect) {
    return Walk([&](ISearchRegion* r) { return r->IntersectsRect(rect); },
                [&](ISearchRegion* r) { return r->ContainsRect(rect); });
}

int CPolygonShapeSearchRegion::ContainsPoint(const CGeoPoint* point) {
    return Walk([&](ISearchRegion* r) { return r->ContainsPoint(point); },
                [&](ISearchRegion* r) { return r->ContainsPoint(point); });
}

} // namespace fennick
