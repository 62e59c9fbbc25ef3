#pragma once
// Builders of shapefile record bytes and of shapes filled from them, for tests of shapes, geometry and
// search regions.

#include "data/GeoTypes.h"
#include "data/Ref.h"
#include "data/ShapeImpl.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fennick::test {

using Ring = std::vector<CGeoPoint>;

// Little-endian and big-endian 32-bit words and a little-endian double, as bytes.
std::string Le32(int32_t v);
std::string Be32(int32_t v);
std::string LeDouble(double v);

// Record content without the shape type word.
std::string PointContent(double x, double y);
std::string MultiPointContent(const Ring& points);
// Box from the points, part starts from the part sizes.
std::string PolyContent(const std::vector<Ring>& parts);
// Any box, counts and starts, for inconsistent records.
std::string RawPolyContent(const CGeoRect& box, int32_t partCount, int32_t pointCount,
                           const std::vector<int32_t>& starts, const Ring& points);

// A whole record: header (record number, content length in words, big-endian), shape type word, content.
std::string ShpRecord(int32_t recordNumber, int32_t shpType, const std::string& content);

// Shapes filled with SetData.
CRef<CShapeImpl> MakePoint(double x, double y);
CRef<CShapeImpl> MakeMultiPoint(const Ring& points);
CRef<CShapeImpl> MakePolyline(const std::vector<Ring>& parts);
CRef<CShapeImpl> MakePolygon(const std::vector<Ring>& parts);

// The closed square ring (x0,y0),(x1,y0),(x1,y1),(x0,y1),(x0,y0) (counter-clockwise) and the same reversed.
Ring SquareCcw(double x0, double y0, double x1, double y1);
Ring SquareCw(double x0, double y0, double x1, double y1);

} // namespace fennick::test
