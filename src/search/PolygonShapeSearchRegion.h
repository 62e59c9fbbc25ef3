#pragma once
// CPolygonShapeSearchRegion: a region made of a polygon shape's rings, holes kept before outer rings. Every
// question walks the rings in that order: a hole whose stop test says yes ends the walk with no, an outer
// ring whose pass test says yes ends it with yes.

#include "data/ISearchRegion.h"
#include "data/RefCounted.h"

#include <vector>

namespace fennick {

// One ring of a polygon-shape region and whether it is a hole.
struct CPolyPart {
    CRef<ISearchRegion> region;
    int hole = 0;
};

class CPolygonShapeSearchRegion : public CUnknownImpl<ISearchRegion> {
public:
    CGeoRect* GetBounds(CGeoRect* bounds) override;
    int IntersectsShape(IShape* const& shape) override;
    int IntersectsRect(const CGeoRect* rect) override;
    int IntersectsPoint(const CGeoPoint* point) override;
    // A shape of two or more parts is held when each part on its own is.
    int ContainsShape(IShape* const& shape) override;
    int ContainsRect(const CGeoRect* rect) override;
    int ContainsPoint(const CGeoPoint* point) override;

    // Building, used by the factory.
    void Append(CRef<ISearchRegion> ring, int hole);
    // Puts every hole before every outer ring.
    void SortHolesFirst();
    void SetBounds(const CGeoRect& bounds) { m_bounds = bounds; }
    const std::vector<CPolyPart>& Parts() const { return m_parts; }

private:
    template <class Stop, class Pass> int Walk(Stop stop, Pass pass) const;
    int ContainsWhole(IShape* shape) const;

    std::vector<CPolyPart> m_parts;
    CGeoRect m_bounds;
};

} // namespace fennick
