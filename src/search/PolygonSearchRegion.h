#pragma once
// CPolygonSearchRegion: one polygon ring, always stored closed, tested with the nonzero-winding rule. Its
// boundary counts as inside for the intersection tests and as outside for the containment tests.

#include "search/BaseSearchRegion.h"

namespace fennick {

class CPolygonSearchRegion : public CBaseSearchRegion {
public:
    // Point and multipoint shapes: any of their points meets the ring; others: the generic test.
    int IntersectsShape(IShape* const& shape) override;
    int IntersectsRect(const CGeoRect* rect) override;
    int IntersectsPoint(const CGeoPoint* point) override;
    // Point and multipoint shapes: every point is strictly inside; others: the generic test.
    int ContainsShape(IShape* const& shape) override;
    int ContainsRect(const CGeoRect* rect) override;
    int ContainsPoint(const CGeoPoint* point) override;
    int IntersectsSegment(const CGeoPoint* a, const CGeoPoint* b) override;
    int ContainsSegment(const CGeoPoint* a, const CGeoPoint* b) override;
    // Stores the points, appending the first one when the last differs from it.
    int SetPoints(const CGeoPoint* points, int count, const CGeoRect* bounds) override;
};

} // namespace fennick
