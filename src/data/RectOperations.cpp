#include "data/RectOperations.h"

#include <algorithm>

namespace fennick {

void ExtendRect(CGeoRect& rect, const CGeoPoint& point) {
    if (rect.IsEmpty()) {
        rect.left = rect.right = point.x;
        rect.top = rect.bottom = point.y;
        return;
    }
    rect.left = std::min(rect.left, point.x);
    rect.right = std::max(rect.right, point.x);
    rect.top = std::max(rect.top, point.y);
    rect.bottom = std::min(rect.bottom, point.y);
}

void UniteRect(CGeoRect& rect, const CGeoRect& other) {
    if (other.IsEmpty())
        return;
    if (rect.IsEmpty()) {
        rect = other;
        return;
    }
    rect.left = std::min(rect.left, other.left);
    rect.bottom = std::min(rect.bottom, other.bottom);
    rect.right = std::max(rect.right, other.right);
    rect.top = std::max(rect.top, other.top);
}

void ClipRect(CGeoRect& rect, const CGeoRect& other) {
    rect.left = std::max(rect.left, other.left);
    rect.right = std::min(rect.right, other.right);
    rect.bottom = std::max(rect.bottom, other.bottom);
    rect.top = std::min(rect.top, other.top);
}

bool RectsMeet(const CGeoRect& a, const CGeoRect& b) {
    CGeoRect clipped = a;
    ClipRect(clipped, b);
    return !clipped.IsEmpty();
}

bool PointInRect(const CGeoRect& rect, const CGeoPoint& point) {
    return rect.left <= point.x && point.x <= rect.right && rect.bottom <= point.y && point.y <= rect.top;
}

bool RectInRect(const CGeoRect& outer, const CGeoRect& inner) {
    return inner.IsEmpty() || (inner.left >= outer.left && inner.right <= outer.right &&
                               inner.top <= outer.top && inner.bottom >= outer.bottom);
}

CGeoRect BoundsOfPoints(const CGeoPoint* points, int n) {
    CGeoRect bounds;
    for (int i = 0; i < n; ++i)
        ExtendRect(bounds, points[i]);
    return bounds;
}

} // namespace fennick
