#pragma once
// IPointConversion: converts points from one coordinate system into another, for a writer that stores
// records of an input in the output's system. A plain (uncounted) interface; the caller owns the object.

#include "data/GeoTypes.h"

#include <cstddef>

namespace fennick {

class IPointConversion {
public:
    // Converts count points in place, and their heights when z is not null (one per point; without them
    // the points are taken at height 0). False when any point cannot be converted; the points are then
    // partly converted.
    virtual bool Convert(CGeoPoint* points, double* z, std::size_t count) = 0;

protected:
    ~IPointConversion() = default;
};

} // namespace fennick
