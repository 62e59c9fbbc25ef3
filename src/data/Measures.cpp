#include "data/Measures.h"

#include "data/IShape.h"
#include "data/RectOperations.h"

#include <algorithm>
#include <cmath>

namespace fennick {

namespace {

bool Equal(const CGeoPoint& a, const CGeoPoint& b) {
    return a.x == b.x && a.y == b.y;
}

double Distance(const CGeoPoint& a, const CGeoPoint& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The points and count of one part, or false when they cannot be read.
bool PartPoints(IShape* shape, int part, const CGeoPoint*& points, int& count) {
    count = 0;
    if (!shape->GetPartPointCount(part, &count) || count < 0)
        return false;
    points = shape->GetPartPoints(part);
    return count == 0 || points != nullptr;
}

} // namespace

double NearestPointOnSegment(const CGeoPoint& a, const CGeoPoint& b, const CGeoPoint& p, CGeoPoint* nearest) {
    CGeoPoint n;
    if (Equal(p, a) || Equal(p, b)) {
        n = p;
    } else if (Equal(a, b)) {
        n = a;
    } else {
        const double u = a.y - b.y;
        const double v = b.x - a.x;
        const double c = a.x * b.y - b.x * a.y;
        const double uv = u * u + v * v;
        const double w = u * p.y - v * p.x;
        const CGeoPoint foot{(-v * w - c * u) / uv, (u * w - v * c) / uv};
        // Judge on the coordinate that varies along the segment.
        const double fa = a.y != b.y ? a.y : a.x;
        const double fb = a.y != b.y ? b.y : b.x;
        const double ff = a.y != b.y ? foot.y : foot.x;
        if (fa < fb)
            n = ff < fa ? a : (ff > fb ? b : foot);
        else
            n = ff > fa ? a : (ff < fb ? b : foot);
    }
    if (nearest)
        *nearest = n;
    return Distance(p, n);
}

double PointSegmentDistance(const CGeoPoint& p, const CGeoPoint& a, const CGeoPoint& b) {
    const double length = Distance(a, b);
    if (length == 0)
        return Distance(p, a);
    const double l2 = length * length;
    const double t = ((a.y - p.y) * (a.y - b.y) - (b.x - a.x) * (a.x - p.x)) / l2;
    if (t > 1 || t < 0)
        return std::min(Distance(p, a), Distance(p, b));
    return std::fabs(((b.x - a.x) * (a.y - p.y) - (a.x - p.x) * (b.y - a.y)) / l2) * length;
}

int NearestPointOnPolyline(const CGeoPoint& p, const CGeoPoint* points, int n, CGeoPoint* nearest,
                           double* fraction, double* distance) {
    if (n <= 1)
        return 0;
    double best = 0;
    CGeoPoint bestPoint;
    double bestAlong = 0;
    double before = 0;
    for (int i = 0; i + 1 < n; ++i) {
        CGeoPoint onSegment;
        const double d = NearestPointOnSegment(points[i], points[i + 1], p, &onSegment);
        if (i == 0 || d < best) {
            best = d;
            bestPoint = onSegment;
            bestAlong = before + Distance(points[i], onSegment);
        }
        before += Distance(points[i], points[i + 1]);
    }
    if (nearest)
        *nearest = bestPoint;
    if (fraction)
        *fraction = before == 0 ? 0 : std::min(bestAlong / before, 1.0);
    if (distance)
        *distance = best;
    return 1;
}

double PolylineLength(const CGeoPoint* points, int n) {
    double length = 0;
    for (int i = 0; i + 1 < n; ++i)
        length += Distance(points[i], points[i + 1]);
    return length;
}

int ShapeLength(IShape* shape, double* length) {
    const int type = shape->GetType();
    const int parts = shape->GetPartCount();
    if (parts <= 0 || type < SHAPE_POINT || type > SHAPE_MULTIPOINT)
        return 0;
    double total = 0;
    if (type == SHAPE_POLYLINE || type == SHAPE_POLYGON) {
        for (int i = 0; i < parts; ++i) {
            const CGeoPoint* points = nullptr;
            int count = 0;
            if (PartPoints(shape, i, points, count))
                total += PolylineLength(points, count);
        }
    }
    *length = total;
    return 1;
}

int PointAtFraction(const CGeoPoint* points, int n, float fraction, CGeoPoint* out) {
    if (!(fraction >= 0.0f && fraction <= 1.0f) || n <= 0)
        return 0;
    if (n == 1) {
        *out = points[0];
        return 1;
    }
    const double target = static_cast<double>(fraction) * PolylineLength(points, n);
    double before = 0;
    for (int i = 0; i + 1 < n; ++i) {
        const double segment = Distance(points[i], points[i + 1]);
        if (before + segment >= target) {
            const double t = segment == 0 ? 0 : (target - before) / segment;
            out->x = points[i].x + t * (points[i + 1].x - points[i].x);
            out->y = points[i].y + t * (points[i + 1].y - points[i].y);
            return 1;
        }
        before += segment;
    }
    *out = points[0];
    return 0;
}

int RingOrientation(const CGeoPoint* points, int n, CGeoRect* bounds) {
    if (bounds)
        bounds->SetEmpty();
    if (n <= 0)
        return RING_CLOCKWISE;
    if (n == 1) {
        // One point has no turn; its bounds are the point itself.
        if (bounds)
            ExtendRect(*bounds, points[0]);
        return RING_COLLINEAR;
    }
    int k = 0;
    for (int i = 0; i <= n - 2; ++i) {
        if (bounds)
            ExtendRect(*bounds, points[i]);
        if (points[i].y < points[k].y || (points[i].y == points[k].y && points[i].x > points[k].x))
            k = i;
    }
    const CGeoPoint& prev = points[k == 0 ? n - 2 : k - 1];
    const CGeoPoint& cur = points[k];
    const CGeoPoint& next = points[k + 1 == n - 1 ? 0 : k + 1];
    const double c =
        prev.x * cur.y - prev.y * cur.x + prev.y * next.x - prev.x * next.y + cur.x * next.y - cur.y * next.x;
    if (c > 0)
        return RING_COUNTER_CLOCKWISE;
    if (c < 0)
        return RING_CLOCKWISE;
    return RING_COLLINEAR;
}

int RingCentroid(const CGeoPoint* points, int n, CGeoPoint* centroid, double* area) {
    if (n <= 0)
        return 0;
    if (n == 1) {
        *centroid = points[0];
        return 1;
    }
    double s = 0, x = 0, y = 0;
    for (int i = 0; i + 1 < n; ++i) {
        const CGeoPoint& a = points[i];
        const CGeoPoint& b = points[i + 1];
        const double k = b.x * a.y - b.y * a.x;
        s += k;
        x += k * (a.x + b.x);
        y += k * (a.y + b.y);
    }
    centroid->x = x / (3 * s);
    centroid->y = y / (3 * s);
    if (area)
        *area = 3 * s / 6;
    return 1;
}

int ShapeCentre(IShape* shape, CGeoPoint* centre) {
    const int type = shape->GetType();
    const int parts = shape->GetPartCount();
    if (parts <= 0 || type < SHAPE_POINT || type > SHAPE_MULTIPOINT)
        return 0;

    if (type == SHAPE_POLYLINE) {
        double total = 0;
        if (!ShapeLength(shape, &total))
            return 0;
        const double target = total * 0.5;
        double before = 0;
        for (int i = 0; i < parts; ++i) {
            const CGeoPoint* points = nullptr;
            int count = 0;
            if (!PartPoints(shape, i, points, count))
                continue;
            const double length = PolylineLength(points, count);
            if (before + length >= target) {
                const double f = length == 0 ? 0 : (target - before) / length;
                return PointAtFraction(points, count, static_cast<float>(f), centre);
            }
            before += length;
        }
        return 0;
    }

    if (type == SHAPE_POLYGON) {
        double sumX = 0, sumY = 0, sumArea = 0;
        for (int i = 0; i < parts; ++i) {
            const CGeoPoint* points = nullptr;
            int count = 0;
            if (!PartPoints(shape, i, points, count) || count == 0)
                continue;
            CGeoPoint c;
            double area = 0; // a one-point part writes no area and counts with 0
            if (!RingCentroid(points, count, &c, &area))
                continue;
            // A ring without area adds nothing; its centroid is not finite and would spoil the sums.
            if (area == 0)
                continue;
            sumX += c.x * area;
            sumY += c.y * area;
            sumArea += area;
        }
        if (sumArea == 0)
            return 0;
        centre->x = sumX / sumArea;
        centre->y = sumY / sumArea;
        return 1;
    }

    const CGeoPoint* points = nullptr;
    int count = 0;
    if (!PartPoints(shape, 0, points, count))
        return 0;
    return RingCentroid(points, count, centre);
}

} // namespace fennick
