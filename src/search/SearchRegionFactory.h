#pragma once
// Builds the search region of a shape: a polyline-shape region, a polygon-shape region (holes told apart by
// the ring kind or, for several rings, by counter-clockwise orientation) or a point region.

namespace fennick {

class IShape;
class ISearchRegion;

// 1 with *region holding one reference for the caller; 1 with *region null for a type outside 0-3; 0 when
// the shape cannot be read (a part without points, for example), with *region null. Never raises.
int CreateSearchRegionFromShape(IShape* shape, ISearchRegion** region);

} // namespace fennick
