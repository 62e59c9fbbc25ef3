#include "data/ShapeLayout.h"

#include "data/IShape.h"
#include "platform/ByteBuffer.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace fennick {

static_assert(std::endian::native == std::endian::little,
              "record content is built in place and is little-endian");

namespace {

// The largest content a record can describe: its length in 16-bit words, type word included, is an int32.
constexpr uint64_t kMaxContent = 0xFFFFFFFAull;

void WriteDoubles(uint8_t* p, const double* v, std::size_t count) {
    std::memcpy(p, v, 8 * count);
}

// A z or m section: range, then the values (or count fill values). Measures are ranged over those that hold
// data only.
void WriteSection(uint8_t* p, bool withRange, const double* values, std::size_t count, double fill,
                  bool measures) {
    double low = fill, high = fill;
    bool any = false;
    uint8_t* out = p + (withRange ? 16 : 0);
    for (std::size_t i = 0; i < count; ++i) {
        const double v = values != nullptr ? values[i] : fill;
        std::memcpy(out + 8 * i, &v, 8);
        if (measures && !IsMeasure(v))
            continue;
        low = any ? std::min(low, v) : v;
        high = any ? std::max(high, v) : v;
        any = true;
    }
    if (withRange) {
        const double range[2] = {low, high};
        WriteDoubles(p, range, 2);
    }
}

} // namespace

int ShapeCodeOfShpType(int32_t shpType) {
    switch (shpType) {
    case 1:
    case 11:
    case 21:
        return SHAPE_POINT;
    case 3:
    case 13:
    case 23:
        return SHAPE_POLYLINE;
    case 5:
    case 15:
    case 25:
        return SHAPE_POLYGON;
    case 8:
    case 18:
    case 28:
        return SHAPE_MULTIPOINT;
    default:
        return SHAPE_NULL;
    }
}

int ShapeVariantOfShpType(int32_t shpType) {
    if (ShapeCodeOfShpType(shpType) == SHAPE_NULL)
        return VARIANT_XY;
    return shpType > 20 ? VARIANT_M : shpType > 10 ? VARIANT_Z : VARIANT_XY;
}

int32_t ShpTypeOf(int code, int variant) {
    static constexpr int32_t kBase[] = {1, 3, 5, 8};
    if (code < SHAPE_POINT || code > SHAPE_MULTIPOINT)
        return 0;
    return kBase[code] + (variant == VARIANT_Z ? 10 : variant == VARIANT_M ? 20 : 0);
}

bool ParseShapeLayout(int32_t shpType, const uint8_t* content, std::size_t size, SShapeLayout& layout,
                      bool checkStarts) {
    layout = SShapeLayout();
    const int code = ShapeCodeOfShpType(shpType);
    uint64_t end = 0; // of the x and y part
    switch (code) {
    case SHAPE_POINT:
        if (size < 16)
            return false;
        layout.parts = 1;
        layout.points = 1;
        end = 16;
        break;
    case SHAPE_MULTIPOINT: {
        if (size < kMultiPointPoints)
            return false;
        const int32_t n = ReadInt32(content + 32);
        end = kMultiPointPoints + 16 * static_cast<uint64_t>(n);
        if (n < 0 || end > size)
            return false;
        layout.parts = 1;
        layout.points = n;
        layout.pointsOffset = kMultiPointPoints;
        break;
    }
    case SHAPE_POLYLINE:
    case SHAPE_POLYGON: {
        if (size < kPolyStarts)
            return false;
        const int32_t p = ReadInt32(content + 32);
        const int32_t n = ReadInt32(content + 36);
        end = kPolyStarts + 4 * static_cast<uint64_t>(p) + 16 * static_cast<uint64_t>(n);
        if (p < 0 || n < 0 || end > size)
            return false;
        int32_t previous = 0;
        for (int32_t i = 0; checkStarts && i < p; ++i) {
            const int32_t start = ReadInt32(content + kPolyStarts + 4 * static_cast<std::size_t>(i));
            if (start < previous || start > n)
                return false;
            previous = start;
        }
        layout.parts = p;
        layout.points = n;
        layout.startsOffset = kPolyStarts;
        layout.pointsOffset = kPolyStarts + 4 * static_cast<std::size_t>(p);
        break;
    }
    default:
        return true;
    }
    // Point records carry their z and m without ranges.
    const uint64_t section = (code == SHAPE_POINT ? 0 : 16) + 8 * static_cast<uint64_t>(layout.points);
    const uint64_t range = code == SHAPE_POINT ? 0 : 16;
    const int variant = ShapeVariantOfShpType(shpType);
    if (variant == VARIANT_Z) {
        if (end + section > size)
            return false;
        layout.zOffset = static_cast<std::size_t>(end + range);
        end += section;
    }
    if (variant != VARIANT_XY && end + section <= size)
        layout.mOffset = static_cast<std::size_t>(end + range);
    return true;
}

std::size_t BuildShapeContent(IShape* shape, int32_t shpType, const double* z, const double* m,
                              CByteBuffer& out, const CGeoPoint* replacement) {
    const int code = ShapeCodeOfShpType(shpType);
    if (shape == nullptr || code == SHAPE_NULL || shape->GetType() != code)
        return 0;
    const int variant = ShapeVariantOfShpType(shpType);
    int n = 1;
    int parts = 0;
    std::size_t head = 0;
    if (code == SHAPE_MULTIPOINT) {
        if (!shape->GetPointCount(&n) || n < 0)
            return 0;
        head = kMultiPointPoints;
    } else if (code != SHAPE_POINT) {
        parts = shape->GetPartCount();
        if (parts < 0)
            return 0;
        int64_t total = 0;
        for (int i = 0; i < parts; ++i) {
            int count = 0;
            if (!shape->GetPartPointCount(i, &count) || count < 0)
                return 0;
            total += count;
        }
        if (total > 0x7FFFFFFF)
            return 0;
        n = static_cast<int>(total);
        head = kPolyStarts + 4 * static_cast<std::size_t>(parts);
    }
    const uint64_t count = static_cast<uint64_t>(n);
    const uint64_t range = code == SHAPE_POINT ? 0 : 16;
    const uint64_t points = head + 16 * count;
    const uint64_t size = points + (variant == VARIANT_Z   ? 2
                                    : variant == VARIANT_M ? 1
                                                           : 0) *
                                       (range + 8 * count);
    if (size > kMaxContent)
        return 0;
    uint8_t* c = out.Require(static_cast<std::size_t>(size));

    // The points, parts one after another.
    uint8_t* xy = c + head;
    if (code == SHAPE_POLYLINE || code == SHAPE_POLYGON) {
        WriteInt32(c + 32, parts);
        WriteInt32(c + 36, n);
        int32_t start = 0;
        for (int i = 0; i < parts; ++i) {
            int k = 0;
            shape->GetPartPointCount(i, &k);
            const CGeoPoint* from = replacement != nullptr ? replacement + start : shape->GetPartPoints(i);
            if (from == nullptr && k > 0)
                return 0;
            WriteInt32(c + kPolyStarts + 4 * static_cast<std::size_t>(i), start);
            if (k > 0)
                std::memcpy(xy + 16 * static_cast<std::size_t>(start), from,
                            16 * static_cast<std::size_t>(k));
            start += k;
        }
    } else if (n > 0) {
        const CGeoPoint* from = replacement != nullptr ? replacement : shape->GetPartPoints(0);
        if (from == nullptr)
            return 0;
        if (code == SHAPE_MULTIPOINT)
            WriteInt32(c + 32, n);
        std::memcpy(xy, from, 16 * count);
    }
    if (code != SHAPE_POINT) {
        double box[4] = {0, 0, 0, 0}; // x min, y min, x max, y max
        for (uint64_t i = 0; i < count; ++i) {
            double p[2];
            std::memcpy(p, xy + 16 * i, 16);
            box[0] = i == 0 ? p[0] : std::min(box[0], p[0]);
            box[1] = i == 0 ? p[1] : std::min(box[1], p[1]);
            box[2] = i == 0 ? p[0] : std::max(box[2], p[0]);
            box[3] = i == 0 ? p[1] : std::max(box[3], p[1]);
        }
        WriteDoubles(c, box, 4);
    }

    uint8_t* tail = c + points;
    const auto length = static_cast<std::size_t>(count);
    if (variant == VARIANT_Z) {
        WriteSection(tail, range != 0, z, length, 0.0, false);
        tail += range + 8 * count;
    }
    if (variant != VARIANT_XY)
        WriteSection(tail, range != 0, m, length, kNoMeasure, true);
    return static_cast<std::size_t>(size);
}

} // namespace fennick
