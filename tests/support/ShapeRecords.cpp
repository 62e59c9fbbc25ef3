#include "ShapeRecords.h"

#include "data/RefCounted.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace fennick::test {

std::string Le32(int32_t v) {
    std::string s(4, '\0');
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<char>((u >> (8 * i)) & 0xFF);
    return s;
}

std::string Be32(int32_t v) {
    std::string s = Le32(v);
    std::reverse(s.begin(), s.end());
    return s;
}

std::string LeDouble(double v) {
    uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    std::string s(8, '\0');
    for (int i = 0; i < 8; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<char>((u >> (8 * i)) & 0xFF);
    return s;
}

namespace {

std::string Box(const CGeoRect& r) {
    return LeDouble(r.left) + LeDouble(r.bottom) + LeDouble(r.right) + LeDouble(r.top);
}

CGeoRect BoxOf(const std::vector<Ring>& parts) {
    CGeoRect r;
    bool first = true;
    for (const Ring& ring : parts)
        for (const CGeoPoint& p : ring) {
            if (first) {
                r = {p.x, p.y, p.x, p.y};
                first = false;
            }
            r.left = std::min(r.left, p.x);
            r.right = std::max(r.right, p.x);
            r.bottom = std::min(r.bottom, p.y);
            r.top = std::max(r.top, p.y);
        }
    return r;
}

std::string Points(const Ring& points) {
    std::string s;
    for (const CGeoPoint& p : points)
        s += LeDouble(p.x) + LeDouble(p.y);
    return s;
}

CRef<CShapeImpl> Filled(int type, const std::string& content) {
    auto shape = MakeRef<CShapeImpl>();
    if (!shape->SetData(type, 0, content.data(), static_cast<int>(content.size())))
        throw std::runtime_error("test shape refused");
    return shape;
}

} // namespace

std::string PointContent(double x, double y) {
    return LeDouble(x) + LeDouble(y);
}

std::string MultiPointContent(const Ring& points) {
    return Box(BoxOf({points})) + Le32(static_cast<int32_t>(points.size())) + Points(points);
}

std::string PolyContent(const std::vector<Ring>& parts) {
    std::vector<int32_t> starts;
    Ring all;
    for (const Ring& ring : parts) {
        starts.push_back(static_cast<int32_t>(all.size()));
        all.insert(all.end(), ring.begin(), ring.end());
    }
    return RawPolyContent(BoxOf(parts), static_cast<int32_t>(parts.size()), static_cast<int32_t>(all.size()),
                          starts, all);
}

std::string RawPolyContent(const CGeoRect& box, int32_t partCount, int32_t pointCount,
                           const std::vector<int32_t>& starts, const Ring& points) {
    std::string s = Box(box) + Le32(partCount) + Le32(pointCount);
    for (int32_t start : starts)
        s += Le32(start);
    return s + Points(points);
}

std::string ShpRecord(int32_t recordNumber, int32_t shpType, const std::string& content) {
    return Be32(recordNumber) + Be32(static_cast<int32_t>((content.size() + 4) / 2)) + Le32(shpType) +
           content;
}

CRef<CShapeImpl> MakePoint(double x, double y) {
    return Filled(SHAPE_POINT, PointContent(x, y));
}

CRef<CShapeImpl> MakeMultiPoint(const Ring& points) {
    return Filled(SHAPE_MULTIPOINT, MultiPointContent(points));
}

CRef<CShapeImpl> MakePolyline(const std::vector<Ring>& parts) {
    return Filled(SHAPE_POLYLINE, PolyContent(parts));
}

CRef<CShapeImpl> MakePolygon(const std::vector<Ring>& parts) {
    return Filled(SHAPE_POLYGON, PolyContent(parts));
}

Ring SquareCcw(double x0, double y0, double x1, double y1) {
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
}

Ring SquareCw(double x0, double y0, double x1, double y1) {
    return {{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}, {x0, y0}};
}

} // namespace fennick::test
