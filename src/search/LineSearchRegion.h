#pragma once
// CLineSearchRegion: an open polyline. Points within 1e-6 of the line meet it; a segment is held only when it
// is one of the line's own segments, with the same ends in the same direction.

#include "search/BaseSearchRegion.h"

namespace fennick {

class CLineSearchRegion : public CBaseSearchRegion {
public:
    int IntersectsRect(const CGeoRect* rect) override;
    int IntersectsPoint(const CGeoPoint* point) override;
    int ContainsRect(const CGeoRect*) override { return 0; }
    int ContainsPoint(const CGeoPoint* point) override { return IntersectsPoint(point); }
    int IntersectsSegment(const CGeoPoint* a, const CGeoPoint* b) override;
    int ContainsSegment(const CGeoPoint* a, const CGeoPoint* b) override;
};

} // namespace fennick
