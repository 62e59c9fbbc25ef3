#pragma once
// CBaseSearchRegion: the common base of the simple search regions (a point set, a polyline, a polygon ring).
// It owns one list of points and the region's bounds, and gives the generic shape tests, which start with the
// two bounding-rectangle tests and then walk the shape's segments or points. Regions are counted objects,
// created with count 0; they are filled once by SetPoints and read-only afterwards.

#include "data/ISearchRegion.h"
#include "data/RefCounted.h"

#include <vector>

namespace fennick {

class CBaseSearchRegion : public CUnknownImpl<ISearchRegion> {
public:
    CGeoRect* GetBounds(CGeoRect* bounds) override;
    // Generic: no for a shape without points; yes when the region contains the shape's bounds; no when it
    // does not meet them; else by the shape's segments (polyline), vertices, edges and the parity of the
    // region's first point over the rings (polygon), or points (point, multipoint).
    int IntersectsShape(IShape* const& shape) override;
    // Generic: every segment of every part (polyline, polygon) or every point (point, multipoint) is held.
    int ContainsShape(IShape* const& shape) override;

    // Whether the segment a-b meets the region.
    virtual int IntersectsSegment(const CGeoPoint* a, const CGeoPoint* b) = 0;
    // Whether the segment a-b lies within the region.
    virtual int ContainsSegment(const CGeoPoint* a, const CGeoPoint* b) = 0;
    // Copies the first stored point into point and returns it; an invalid-argument error without points.
    virtual CGeoPoint* GetFirstPoint(CGeoPoint* point);
    // Unused slot; 0 in every kind.
    virtual int ReservedB() { return 0; }
    // Stores count points (0 for count <= 0) and the bounds: the given rectangle as it is, or else the
    // bounds of the points. 0 when memory runs out.
    virtual int SetPoints(const CGeoPoint* points, int count, const CGeoRect* bounds);

    const std::vector<CGeoPoint>& Points() const { return m_points; }

protected:
    // The rectangle as a closed ring: (left, top), (right, top), (right, bottom), (left, bottom), (left,
    // top).
    static void RectRing(const CGeoRect& rect, CGeoPoint ring[5]);
    int PointCount() const { return static_cast<int>(m_points.size()); }

    std::vector<CGeoPoint> m_points;
    CGeoRect m_bounds;

private:
    int IntersectsPolygonShape(IShape* shape, int parts);
};

} // namespace fennick
