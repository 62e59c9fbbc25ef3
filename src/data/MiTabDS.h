#pragma once
// CMiTabDS: a MapInfo TAB table as a data source, read through GDAL/OGR's "MapInfo File" driver. Record r is
// the feature with id r + 1; shapes are built from the features' geometries, attribute records
// (CMiTabAttrImpl) read their field values. Beside the table it reads an optional quadtree index (".ttx")
// and coordinate system (".tpj") of the same base name. It never writes.
//
// Also here, the pieces it is built from: the charset table, the layer type mapping and the builder that
// turns an OGR geometry into a shape record buffer.

#include "data/GeoTypes.h"
#include "shp/ByteBuffer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class OGRGeometry;

namespace fennick {

// The code page of a MapInfo charset name (compared without regard to letter case): Neutral -1, ANSI 0,
// WindowsCyrillic 1251 and the other rows of the table; 0 for an empty or unknown name.
int TabCharsetCodePage(std::string_view charset);

// The charset a ".tab" file declares in its header ("!charset Name", or Charset "Name" in its definition
// table); empty when it declares none or cannot be read. Only the head of the file is read.
std::string ReadTabCharset(const std::u16string& tabPath);

// The shape type code of an OGR layer geometry type: point and multi-point 0, line string and multi-line
// string 1, polygon and multi-polygon 2, any other (undetermined, collection, none, 2.5D kinds) -1.
int TabLayerShapeType(int ogrGeometryType);

// The shape type a feature geometry reads as: Point 0, LineString and MultiLineString 1, Polygon and
// MultiPolygon 2; -1 for a missing geometry or any other kind.
int TabGeometryShapeType(const OGRGeometry* geometry);

// Lays out a polyline or polygon record buffer: box (x min, y min, x max, y max), part count, point count,
// part starts, then the points as x, y pairs. Begin sizes it for all parts; each AddPart records where the
// next part starts and hands out the place for its points.
class CShapeRecordBuilder {
public:
    explicit CShapeRecordBuilder(CByteBuffer& buffer) : m_buffer(buffer) {}

    // Sizes the buffer for 40 + 4 parts + 16 points bytes and writes the box and the counts. Raises a format
    // error for negative counts or a record beyond the 2 GiB a shape buffer can hold.
    void Begin(const CGeoRect& box, int64_t parts, int64_t points);
    // The place for the next part's count points (16 bytes each). Raises when the parts or points exceed
    // what Begin announced.
    uint8_t* AddPart(int64_t count);
    // The record's size in bytes; raises unless every announced part and point was handed out.
    std::size_t Finish() const;

private:
    CByteBuffer& m_buffer;
    int64_t m_parts = 0;
    int64_t m_points = 0;
    int64_t m_partsDone = 0;
    int64_t m_pointsDone = 0;
    std::size_t m_size = 0;
};

// Builds the shape record buffer of a feature geometry into buffer and returns its shape type; size
// receives the record's length. A point gives its 16 bytes x, y; a line string one part; a multi-line string
// one part per line; a polygon or multi-polygon one part per ring, holes included, in OGR's order. Z values
// are dropped. Raises a format error for a missing or empty geometry, any other kind, or a ring or line that
// cannot be delivered.
int BuildTabShapeRecord(const OGRGeometry* geometry, CByteBuffer& buffer, std::size_t& size);

} // namespace fennick
