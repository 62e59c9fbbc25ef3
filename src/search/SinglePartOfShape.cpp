#include "search/SinglePartOfShape.h"

#include "data/RectOperations.h"

#include <algorithm>
#include <cstring>

namespace fennick {

bool CSinglePartOfShape::Fill(IShape* shape, int part) {
    *this = CSinglePartOfShape();
    if (!shape)
        return false;
    int count = 0;
    CGeoPoint* points = shape->GetPartPoints(part);
    if (!shape->GetPartPointCount(part, &count) || count < 0 || (count > 0 && !points))
        return false;
    m_points = points;
    m_count = count;
    m_bounds = BoundsOfPoints(points, count);
    m_type = shape->GetType();
    return true;
}

HRESULT CSinglePartOfShape::QueryInterface(const SGuid&, void**) {
    return 0;
}

int CSinglePartOfShape::GetBounds(CGeoRect* bounds) {
    *bounds = m_bounds;
    return 1;
}

int CSinglePartOfShape::GetCenter(CGeoPoint* center) {
    center->x = (m_bounds.left + m_bounds.right) * 0.5;
    center->y = (m_bounds.top + m_bounds.bottom) * 0.5;
    return 1;
}

int CSinglePartOfShape::GetPartPointCount(int, int* count) {
    *count = m_count;
    return 1;
}

int CSinglePartOfShape::GetPointCount(int* count) {
    *count = m_count;
    return 1;
}

CGeoPoint* CSinglePartOfShape::GetPartPoints(int) {
    return m_points;
}

int CSinglePartOfShape::CopyPoints(int start, CGeoPoint* destination, int count) {
    if (static_cast<unsigned>(start) >= static_cast<unsigned>(m_count))
        return 0;
    const int n = std::min(std::max(count, 0), m_count - start);
    if (n > 0)
        std::memcpy(destination, m_points + start, sizeof(CGeoPoint) * static_cast<std::size_t>(n));
    return 1;
}

} // namespace fennick
