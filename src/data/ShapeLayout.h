#pragma once
// The bytes of a shapefile record's content (what follows its shape type word), for every shape type and
// variant, parsed and built:
//   point:               0 x, 8 y; Z types 16 z, then 24 m; M types 16 m
//   multipoint:          0 box (xmin, ymin, xmax, ymax), 32 point count n, 36 n points
//   polyline, polygon:   0 box, 32 part count p, 36 point count n, 40 p part starts, 40 + 4p n points
// After the points of the last two, Z types hold a z range (min, max) and n z values, then an m range and n m
// values; M types hold the m range and values. The m part is optional in both: it is there when the content
// length holds it. A measure below -1e38 means "no data".

#include "data/GeoTypes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fennick {

class CByteBuffer;
class IShape;

// Where the parts of a checked content lie. zOffset and mOffset are 0 when the content holds no such values.
struct SShapeLayout {
    int32_t parts = 0;
    int32_t points = 0;
    std::size_t startsOffset = 0;
    std::size_t pointsOffset = 0;
    std::size_t zOffset = 0;
    std::size_t mOffset = 0;
};

// Where a multipoint's points and a poly's part starts begin in a record's content.
constexpr std::size_t kMultiPointPoints = 36;
constexpr std::size_t kPolyStarts = 40;

// The content's 32-bit integers, little-endian as stored (and as this platform keeps them).
inline int32_t ReadInt32(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void WriteInt32(uint8_t* p, int32_t v) {
    std::memcpy(p, &v, sizeof v);
}

// The measure written where a record has none, and the test for a measure that holds data (NaN holds none).
constexpr double kNoMeasure = -1e39;
inline bool IsMeasure(double m) {
    return m >= -1e38;
}

// The shape type code of a shapefile shape type (1, 11, 21 -> point ...); SHAPE_NULL for any other.
int ShapeCodeOfShpType(int32_t shpType);
// The variant of a shapefile shape type; VARIANT_XY for null and unknown types.
int ShapeVariantOfShpType(int32_t shpType);
// The shapefile shape type of a code and variant; 0 (null) for a code that has none.
int32_t ShpTypeOf(int code, int variant);

// Checks that content of size bytes fits the layout of shpType and fills layout from it: counts within the
// content (64-bit sums, so that no count can wrap), part starts increasing up to the point count, and the z
// values of a Z type. Null and unknown types hold nothing that is read and always fit. Without checkStarts
// the part starts are not read, so content needs only the bytes up to the counts (kPolyStarts), size still
// being the whole content's.
bool ParseShapeLayout(int32_t shpType, const uint8_t* content, std::size_t size, SShapeLayout& layout,
                      bool checkStarts = true);

// Builds in out the content of a record of shpType (a point, multipoint, polyline or polygon type of any
// variant) from the shape's geometry and, where given, its z and m values (one per point, in point order):
// z 0 and m kNoMeasure where they are not. Boxes and ranges are computed from the values; a range of no
// measure is kNoMeasure at both ends. Returns the content's size, or 0 when the shape is not of shpType's
// kind or does not deliver its points; out grows only. replacement, when given, replaces the shape's points
// (all parts' one after another, as many as the shape has): the shape then gives only its type and part
// counts.
std::size_t BuildShapeContent(IShape* shape, int32_t shpType, const double* z, const double* m,
                              CByteBuffer& out, const CGeoPoint* replacement = nullptr);

} // namespace fennick
