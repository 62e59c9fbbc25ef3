#pragma once
// A layer described in memory (shape type, fields, records with geometry and attribute texts), from which a
// test builds a data source: the in-memory test double directly, a file-based source by writing its files.

#include "data/GeoTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fennick::test {

struct SFieldSpec {
    std::u16string name;
    int type = 1; // a FieldType code
    int width = 10;
    int decimals = 0;
};

struct SRecordSpec {
    int type = SHAPE_NULL; // a ShapeType code; SHAPE_NULL for a null record
    // One list of points per part; a point or multipoint has one part.
    std::vector<std::vector<CGeoPoint>> parts;
    // One text per field, in field order.
    std::vector<std::u16string> values;
};

struct SLayerSpec {
    int shapeType = SHAPE_POLYGON;
    std::vector<SFieldSpec> fields;
    std::vector<SRecordSpec> records;
};

SRecordSpec PointRecord(double x, double y, std::vector<std::u16string> values = {});
SRecordSpec MultipointRecord(std::vector<CGeoPoint> points, std::vector<std::u16string> values = {});
SRecordSpec PolylineRecord(std::vector<std::vector<CGeoPoint>> parts,
                           std::vector<std::u16string> values = {});
SRecordSpec PolygonRecord(std::vector<std::vector<CGeoPoint>> rings, std::vector<std::u16string> values = {});
// A closed clockwise square ring with its lower left corner at (x, y) as a one-part polygon record.
SRecordSpec SquareRecord(double x, double y, double side, std::vector<std::u16string> values = {});
SRecordSpec NullRecord(std::vector<std::u16string> values = {});

// The record's bounding rectangle (empty for a null record or a record without points).
CGeoRect RecordBounds(const SRecordSpec& record);
// The union of the records' bounds (empty for a layer without measurable records).
CGeoRect LayerBounds(const SLayerSpec& layer);
// The record's shape content as a shapefile record holds it after its shape type word (little-endian box,
// counts, part starts and points); empty for a null record.
std::vector<uint8_t> ShapeContent(const SRecordSpec& record);

} // namespace fennick::test
