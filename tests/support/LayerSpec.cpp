#include "LayerSpec.h"

#include <algorithm>
#include <cstring>

namespace fennick::test {

namespace {

void PutInt32(std::vector<uint8_t>& out, int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

void PutDouble(std::vector<uint8_t>& out, double value) {
    uint64_t u;
    std::memcpy(&u, &value, sizeof u);
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

// The box in the shapefile order: x min, y min, x max, y max.
void PutBox(std::vector<uint8_t>& out, const CGeoRect& r) {
    PutDouble(out, r.left);
    PutDouble(out, r.bottom);
    PutDouble(out, r.right);
    PutDouble(out, r.top);
}

} // namespace

SRecordSpec PointRecord(double x, double y, std::vector<std::u16string> values) {
    return SRecordSpec{SHAPE_POINT, {{CGeoPoint{x, y}}}, std::move(values)};
}

SRecordSpec MultipointRecord(std::vector<CGeoPoint> points, std::vector<std::u16string> values) {
    return SRecordSpec{SHAPE_MULTIPOINT, {std::move(points)}, std::move(values)};
}

SRecordSpec PolylineRecord(std::vector<std::vector<CGeoPoint>> parts, std::vector<std::u16string> values) {
    return SRecordSpec{SHAPE_POLYLINE, std::move(parts), std::move(values)};
}

SRecordSpec PolygonRecord(std::vector<std::vector<CGeoPoint>> rings, std::vector<std::u16string> values) {
    return SRecordSpec{SHAPE_POLYGON, std::move(rings), std::move(values)};
}

SRecordSpec SquareRecord(double x, double y, double side, std::vector<std::u16string> values) {
    return PolygonRecord({{{x, y}, {x, y + side}, {x + side, y + side}, {x + side, y}, {x, y}}},
                         std::move(values));
}

SRecordSpec NullRecord(std::vector<std::u16string> values) {
    return SRecordSpec{SHAPE_NULL, {}, std::move(values)};
}

CGeoRect RecordBounds(const SRecordSpec& record) {
    CGeoRect r;
    if (record.type == SHAPE_NULL)
        return r;
    for (const auto& part : record.parts) {
        for (const CGeoPoint& p : part) {
            if (r.IsEmpty()) {
                r = CGeoRect{p.x, p.y, p.x, p.y};
            } else {
                r.left = std::min(r.left, p.x);
                r.right = std::max(r.right, p.x);
                r.bottom = std::min(r.bottom, p.y);
                r.top = std::max(r.top, p.y);
            }
        }
    }
    return r;
}

CGeoRect LayerBounds(const SLayerSpec& layer) {
    CGeoRect all;
    for (const SRecordSpec& record : layer.records) {
        const CGeoRect r = RecordBounds(record);
        if (r.IsEmpty())
            continue;
        if (all.IsEmpty()) {
            all = r;
        } else {
            all.left = std::min(all.left, r.left);
            all.right = std::max(all.right, r.right);
            all.bottom = std::min(all.bottom, r.bottom);
            all.top = std::max(all.top, r.top);
        }
    }
    return all;
}

std::vector<uint8_t> ShapeContent(const SRecordSpec& record) {
    std::vector<uint8_t> out;
    switch (record.type) {
    case SHAPE_POINT: {
        const CGeoPoint p = record.parts.at(0).at(0);
        PutDouble(out, p.x);
        PutDouble(out, p.y);
        break;
    }
    case SHAPE_MULTIPOINT: {
        PutBox(out, RecordBounds(record));
        const auto& points = record.parts.at(0);
        PutInt32(out, static_cast<int32_t>(points.size()));
        for (const CGeoPoint& p : points) {
            PutDouble(out, p.x);
            PutDouble(out, p.y);
        }
        break;
    }
    case SHAPE_POLYLINE:
    case SHAPE_POLYGON: {
        PutBox(out, RecordBounds(record));
        int32_t total = 0;
        for (const auto& part : record.parts)
            total += static_cast<int32_t>(part.size());
        PutInt32(out, static_cast<int32_t>(record.parts.size()));
        PutInt32(out, total);
        int32_t start = 0;
        for (const auto& part : record.parts) {
            PutInt32(out, start);
            start += static_cast<int32_t>(part.size());
        }
        for (const auto& part : record.parts) {
            for (const CGeoPoint& p : part) {
                PutDouble(out, p.x);
                PutDouble(out, p.y);
            }
        }
        break;
    }
    default:
        break;
    }
    return out;
}

} // namespace fennick::test
