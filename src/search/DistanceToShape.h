#pragma once
// The distance from a point to a shape, used to order records by distance.

#include "data/GeoTypes.h"

namespace fennick {

class IShape;

// Point and multipoint: the distance to the nearest point of part 0. Polyline: to the nearest segment of any
// part. Polygon: 0 when p lies strictly inside (or the region for the test cannot be built), else to the
// nearest segment. -1 when nothing can be measured (no points, no segments, another type).
double DistanceToShape(const CGeoPoint& p, IShape* shape);

} // namespace fennick
