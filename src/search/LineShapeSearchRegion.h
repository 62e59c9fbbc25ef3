#pragma once
// CLineShapeSearchRegion: a region made of a polyline shape's parts, one polyline region each. A question is
// answered yes as soon as one part says yes.

#include "data/ISearchRegion.h"
#include "data/RefCounted.h"

#include <vector>

namespace fennick {

class CLineShapeSearchRegion : public CUnknownImpl<ISearchRegion> {
public:
    CGeoRect* GetBounds(CGeoRect* bounds) override;
    int IntersectsShape(IShape* const& shape) override;
    int IntersectsRect(const CGeoRect* rect) override;
    int IntersectsPoint(const CGeoPoint* point) override;
    // A shape of two or more parts is held when each part is held by some element.
    int ContainsShape(IShape* const& shape) override;
    int ContainsRect(const CGeoRect* rect) override;
    int ContainsPoint(const CGeoPoint* point) override;

    void Append(CRef<ISearchRegion> line) { m_lines.push_back(std::move(line)); }
    void SetBounds(const CGeoRect& bounds) { m_bounds = bounds; }
    std::size_t ElementCount() const { return m_lines.size(); }

private:
    int AnyContains(IShape* shape) const;

    std::vector<CRef<ISearchRegion>> m_lines;
    CGeoRect m_bounds;
};

} // namespace fennick
