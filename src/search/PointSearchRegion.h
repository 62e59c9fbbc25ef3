#pragma once
// CPointSearchRegion: a set of points. A point meets it only by exact equality; it holds no rectangle or
// segment.

#include "search/BaseSearchRegion.h"

namespace fennick {

class CPointSearchRegion : public CBaseSearchRegion {
public:
    // A polygon shape is met when it holds any of two or more region points; otherwise the generic test.
    int IntersectsShape(IShape* const& shape) override;
    int IntersectsRect(const CGeoRect* rect) override;
    int IntersectsPoint(const CGeoPoint* point) override;
    int ContainsRect(const CGeoRect*) override { return 0; }
    int ContainsPoint(const CGeoPoint* point) override { return IntersectsPoint(point); }
    // Some region point lies within 1e-6 of the segment.
    int IntersectsSegment(const CGeoPoint* a, const CGeoPoint* b) override;
    int ContainsSegment(const CGeoPoint*, const CGeoPoint*) override { return 0; }
};

} // namespace fennick
