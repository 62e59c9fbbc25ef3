#pragma once
// Distances, lengths, points along lines, ring orientation and centroids, and the centre of a shape.
// None of them allocates.

#include "data/GeoTypes.h"

namespace fennick {

class IShape;

// The distance from p to segment a-b; the nearest point on the segment when `nearest` is given.
double NearestPointOnSegment(const CGeoPoint& a, const CGeoPoint& b, const CGeoPoint& p,
                             CGeoPoint* nearest = nullptr);
// The distance from p to segment a-b by the projection parameter.
double PointSegmentDistance(const CGeoPoint& p, const CGeoPoint& a, const CGeoPoint& b);
// The nearest point of a polyline of n points to p, its fraction of the length along the line (0-1) and its
// distance. 1 when found, 0 for fewer than two points. Any output may be null.
int NearestPointOnPolyline(const CGeoPoint& p, const CGeoPoint* points, int n, CGeoPoint* nearest,
                           double* fraction, double* distance);
// The sum of the segment lengths; 0 for fewer than two points.
double PolylineLength(const CGeoPoint* points, int n);
// The total length of the parts of a polyline or polygon, 0 for points; 0 (failure) for a shape without parts
// or of another type.
int ShapeLength(IShape* shape, double* length);
// The point at fraction f (0-1) of the length along the line. 0 for f outside 0-1, and 0 with the first point
// when rounding leaves the target beyond the last segment.
int PointAtFraction(const CGeoPoint* points, int n, float fraction, CGeoPoint* out);

enum RingOrientationResult : int {
    RING_COLLINEAR = 0,
    RING_COUNTER_CLOCKWISE = 1,
    RING_CLOCKWISE = 2,
};
// The turn at the ring's lowest vertex (the last point is taken as the closing point). n = 0 gives clockwise,
// a single point collinear. bounds, when given, receives the bounds of the points considered.
int RingOrientation(const CGeoPoint* points, int n, CGeoRect* bounds = nullptr);
// The centroid of a ring and its signed area (positive clockwise, negative counter-clockwise). A single point
// gives itself and no area; 0 for n <= 0. A ring of zero area gives a non-finite centroid.
int RingCentroid(const CGeoPoint* points, int n, CGeoPoint* centroid, double* area = nullptr);
// The centre of a shape: half-way along a polyline, the area-weighted centroid of a polygon's rings (holes
// subtract), the centroid of a point set. 0 when it cannot be found.
int ShapeCentre(IShape* shape, CGeoPoint* centre);

} // namespace fennick
