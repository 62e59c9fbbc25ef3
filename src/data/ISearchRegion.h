#pragma once
// ISearchRegion: a geometric filter. Yes/no operations return 1 or 0.

#include "data/GeoTypes.h"
#include "data/Unknown.h"

namespace fennick {

class IShape;

class ISearchRegion : public IUnknown {
public:
    // Fills bounds with the region's bounds and returns the same pointer.
    virtual CGeoRect* GetBounds(CGeoRect* bounds) = 0;
    virtual int IntersectsShape(IShape* const& shape) = 0;
    virtual int IntersectsRect(const CGeoRect* rect) = 0;
    // Boundary included.
    virtual int IntersectsPoint(const CGeoPoint* point) = 0;
    virtual int ContainsShape(IShape* const& shape) = 0;
    virtual int ContainsRect(const CGeoRect* rect) = 0;
    // Boundary excluded where the region has an interior.
    virtual int ContainsPoint(const CGeoPoint* point) = 0;
    virtual ~ISearchRegion() = default;
};

} // namespace fennick
