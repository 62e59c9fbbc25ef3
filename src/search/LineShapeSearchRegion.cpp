#include "search/LineShapeSearchRegion.h"

#include "data/IShape.h"
#include "search/SinglePartOfShape.h"

namespace fennick {

namespace {

template <class Test> int Any(const std::vector<CRef<ISearchRegion>>& lines, Test test) {
    for (const CRef<ISearchRegion>& line : lines)
        if (test(line.Get()))
            return 1;
    return 0;
}

} // namespace

CGeoRect* CLineShapeSearchRegion::GetBounds(CGeoRect* bounds) {
    *bounds = m_bounds;
    return bounds;
}

int CLineShapeSearchRegion::IntersectsShape(IShape* const& shape) {
    return Any(m_lines, [&](ISearchRegion* r) { return r->IntersectsShape(shape); });
}

int CLineShapeSearchRegion::IntersectsRect(const CGeoRect* rect) {
    return Any(m_lines, [&](ISearchRegion* r) { return r->IntersectsRect(rect); });
}

int CLineShapeSearchRegion::IntersectsPoint(const CGeoPoint* point) {
    return Any(m_lines, [&](ISearchRegion* r) { return r->IntersectsPoint(point); });
}

int CLineShapeSearchRegion::AnyContains(IShape* shape) const {
    return Any(m_lines, [&](ISearchRegion* r) {
        IShape* const held = shape;
        return r->ContainsShape(held);
    });
}

int CLineShapeSearchRegion::ContainsShape(IShape* const& shape) {
    if (!shape)
        return 0;
    const int parts = shape->GetPartCount();
    if (parts < 2)
        return AnyContains(shape);
    for (int i = 0; i < parts; ++i) {
        CSinglePartOfShape view;
        if (!view.Fill(shape, i) || !AnyContains(&view))
            return 0;
    }
    return 1;
}

int CLineShapeSearchRegion::ContainsRect(const CGeoRect* rect) {
    return Any(m_lines, [&](ISearchRegion* r) { return r->ContainsRect(rect); });
}

int CLineShapeSearchRegion::ContainsPoint(const CGeoPoint* point) {
    return Any(m_lines, [&](ISearchRegion* r) { return r->ContainsPoint(point); });
}

} // namespace fennick
