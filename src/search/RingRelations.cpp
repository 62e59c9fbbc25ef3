#include "search/RingRelations.h"

#include "data/RectOperations.h"
#include "search/SegmentRelations.h"

#include <algorithm>

namespace fennick {

namespace {

bool Equal(const CGeoPoint& a, const CGeoPoint& b) {
    return a.x == b.x && a.y == b.y;
}

int Sign(double v) {
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

// The crossing count along the horizontal line through the point, left of it.
class CCrossingCount {
public:
    explicit CCrossingCount(bool evenOdd)
        : m_up(1), m_down(evenOdd ? 1 : -1), m_upFactor(evenOdd ? -1 : 1), m_downFactor(evenOdd ? -1 : 1) {}

    void Count(double x, double px, int direction) {
        if (!(px > x))
            return;
        m_total += direction > 0 ? m_up : m_down;
        m_up *= m_upFactor;
        m_down *= m_downFactor;
    }
    int Total() const { return m_total; }

private:
    int m_total = 0;
    int m_up, m_down, m_upFactor, m_downFactor;
};

} // namespace

int PointInRing(const CGeoPoint* ring, int n, int flags, const CGeoPoint& p) {
    if (n <= 0)
        return 0;
    if (n == 1)
        return Equal(ring[0], p) ? 1 : 0;
    const int onBoundary = (flags & RING_BOUNDARY_INSIDE) ? 1 : 0;
    const int edges = Equal(ring[n - 1], ring[0]) ? n - 1 : n;

    CCrossingCount count((flags & RING_EVEN_ODD) != 0);
    // Direction of the last edge that was not flat: the direction arriving at the next vertex on the line.
    int arriving = 0;
    // Still inside the run of edges from vertex 0 that lie on the line: the vertex found there waits for the
    // arriving direction of the ring's end.
    bool atStart = true;
    bool pending = false;
    double pendingX = 0;
    int pendingDirection = 0;

    for (int e = 0; e < edges; ++e) {
        const CGeoPoint& a = ring[e];
        const CGeoPoint& b = ring[e + 1 < n ? e + 1 : 0];
        const int direction = Sign(b.y - a.y);
        if ((a.y > p.y && b.y > p.y) || (a.y < p.y && b.y < p.y)) {
            if (direction != 0) {
                arriving = direction;
                atStart = false;
            }
            continue;
        }
        if (direction == 0) {
            // A flat edge on the line; it keeps the remembered arriving direction.
            if (std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x))
                return onBoundary;
            continue;
        }
        if (a.y == p.y) {
            if (a.x == p.x)
                return onBoundary;
            if (atStart) {
                pending = true;
                pendingX = a.x;
                pendingDirection = direction;
            } else if (arriving == direction) {
                count.Count(a.x, p.x, direction);
            }
        } else if (b.y != p.y) {
            const double x = a.x + (p.y - a.y) / (b.y - a.y) * (b.x - a.x);
            if (x == p.x)
                return onBoundary;
            count.Count(x, p.x, direction);
        } else if (b.x == p.x) {
            return onBoundary;
        }
        arriving = direction;
        atStart = false;
    }
    if (pending && arriving == pendingDirection)
        count.Count(pendingX, p.x, pendingDirection);
    return count.Total();
}

int RingContainsRing(const CGeoPoint* a, int n, const CGeoPoint* b, int m, int flags) {
    const int rule = flags & RING_EVEN_ODD;
    if (n <= 0 || m <= 0)
        return 0;
    if (m == 1)
        return PointInRing(a, n, rule | RING_BOUNDARY_INSIDE, b[0]) ? 1 : 0;
    if (n == 1) {
        for (int i = 0; i < m; ++i)
            if (!Equal(b[i], a[0]))
                return 0;
        return 1;
    }
    if (!RectsMeet(BoundsOfPoints(a, n), BoundsOfPoints(b, m)))
        return 0;
    if (PolylinesIntersect(a, n, true, b, m, true)) {
        for (int i = 0; i < m; ++i)
            if (!PointInRing(a, n, rule | RING_BOUNDARY_INSIDE, b[i]))
                return 0;
        return 1;
    }
    return PointInRing(a, n, rule, b[0]) ? 1 : 0;
}

int RingsIntersect(const CGeoPoint* a, int n, const CGeoPoint* b, int m, int flags) {
    const int rule = flags & RING_EVEN_ODD;
    if (n <= 0 || m <= 0)
        return 0;
    if (m == 1)
        return PointInRing(a, n, rule, b[0]) ? 1 : 0;
    if (n == 1)
        return PointInRing(b, m, rule, a[0]) ? 1 : 0;
    if (!RectsMeet(BoundsOfPoints(a, n), BoundsOfPoints(b, m)))
        return 0;
    if (PolylinesIntersect(a, n, true, b, m, true) || PointInRing(a, n, rule, b[0]) ||
        PointInRing(b, m, rule, a[0]))
        return 1;
    return 0;
}

} // namespace fennick
