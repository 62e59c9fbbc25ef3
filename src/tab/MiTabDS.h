#pragma once
// CMiTabDS: a MapInfo TAB table as a data source, read through GDAL/OGR's "MapInfo File" driver. Record r is
// the feature with id r + 1; shapes are built from the features' geometries, attribute records
// (CMiTabAttrImpl) read their field values. Beside the table it reads an optional quadtree index (".ttx")
// and coordinate system (".tpj") of the same base name. It never writes.
//
// Also here, the pieces it is built from: the charset table, the layer type mapping and the builder that
// turns an OGR geometry into a shape record buffer.

#include "data/DsFields.h"
#include "data/GeoTypes.h"
#include "data/IProjectionText.h"
#include "platform/ByteBuffer.h"
#include "search/GeoDataSource.h"
#include "search/QuadTreeIndex.h"
#include "tab/OgrReading.h"

#include <ogr_feature.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class GDALDataset;
class OGRGeometry;
class OGRLayer;

namespace fennick {

class CTabReaderGuard;
class CTabReadAhead;

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

class CMiTabDS : public COgrLayerDS {
public:
    CMiTabDS();
    // Closes the table and the index.
    ~CMiTabDS() override;

    // Opens the table at path, whose name must end in ".tab" in any letter case; the path reaches GDAL as
    // UTF-8. With useIndex, a ".ttx" index not older than the table (whole seconds) is loaded; a stale or
    // missing one is ignored. A ".tpj" beside it becomes the coordinate system when it can be read. The
    // charset the table declares sets the code page when it names one (Neutral and ANSI leave it). Raises
    // CArchiveException (bad format) when GDAL cannot open the table or reports an error while it is read,
    // when the .dat is damaged or its rows and the table's objects differ in number, when a column is of a
    // kind no field keeps (the column named), or when its objects are no single shape type (points, lines
    // or regions; rows without an object do not count), learnt from the .map header's counts or else from
    // the features. The table's own coordinate system is the coordinate system when no .tpj gives one.
    void Open(const std::u16string& path, bool useIndex);

    // IGeoDS: kind 4; the layer's shape type and its extent (COgrLayerDS).
    int GetSourceKind() override;
    // Closes the table in GDAL and drops the index; the object stays alive, reads then fail.
    void Close() override;

    // IDirectAccess over the live rows: deleted rows are no records. Each read fetches the feature under the
    // reader lock; with FENNICK_TAB_READ_AHEAD=1 a walk in record order takes its features from a second
    // handle that reads them ahead in a thread of its own. A row without an object reads as a null shape; a
    // feature that is missing, that GDAL reported an error for, or whose object is no shape of the table's
    // type fails the read with 0.
    int ReadShape(int record, IShapeEx* shape) override;
    // A new CMiTabAttrImpl owning the fetched feature, with the current code page.
    int GetAttributes(int record, IShapeAttr** attributes) override;
    // The bounding box of the feature's geometry; 0 without one.
    int GetRecordBounds(int record, CGeoRect* bounds) override;

    // Whether GDAL hands out the table's texts recoded to UTF-8 (then they are decoded as UTF-8).
    bool StringsAreUtf8() const { return m_utf8; }
    // Whether the ".ttx" index was loaded.
    bool IsIndexLoaded() const { return m_index.IsOpen(); }

protected:
    bool HasSpatialIndex() override;
    int QuerySpatialIndex(const CGeoRect& query, std::vector<bool>& bits) override;

    // IProjectionText: the table's coordinate system as ESRI WKT; 0 for a table without one or in a
    // "NonEarth" system.
    using COgrLayerDS::GetProjectionText;

private:
    // Leaves the reason a record cannot be read for the caller that reports it (GDAL's words when it gave
    // some); 0, the failed call's answer.
    int NoteReadFailure(int record, const std::u16string& what);
    // Closes the table and raises a format error with the first error GDAL reported under the guard.
    [[noreturn]] void Fail(const std::u16string& path, const CTabReaderGuard& guard);
    // The live rows: the record count and, when rows were deleted, the row number of each record.
    void ReadRows(const CTabReaderGuard& guard);
    // The shape type the .map header's object counts tell; SHAPE_NULL when they cannot tell it.
    int ShapeTypeFromMapHeader();

    // The shape type all features read as; SHAPE_NULL when they are mixed or none can be read as a shape.
    int ShapeTypeFromFeatures(const CTabReaderGuard& guard);
    // The feature of record's row, or null (with m_fetchError set when GDAL reported an error); the caller
    // holds the reader guard.
    OGRFeatureUniquePtr Fetch(int record);
    // The feature of record, kept (see CKeptFeature); null when it cannot be read. The caller holds the
    // reader guard.
    OGRFeature* Kept(int record);
    // The kept feature of record handed over, or a newly read one.
    OGRFeatureUniquePtr Take(int record);

    CQuadTreeIndex m_index;
    // The row number of each record when rows were deleted; empty when record r is row r + 1.
    std::vector<int32_t> m_rowIds;
    // Read a walk's features ahead in threads of their own, each every m_readers-th row (see Fetch); the one
    // that served the record fetched last; that record.
    std::vector<std::unique_ptr<CTabReadAhead>> m_aheads;
    CTabReadAhead* m_served = nullptr;
    int m_lastFetched = -1;
    int m_readAheadFrom;
    int m_readers;
};

} // namespace fennick
