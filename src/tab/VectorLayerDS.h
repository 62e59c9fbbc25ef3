#pragma once
// CVectorLayerDS: one layer of any vector source GDAL reads (GeoPackage, GeoJSON, FlatGeobuf, KML, GML, MIF,
// CSV, File Geodatabase ...) as a data source that a shapefile can take in: fields in the forms a shapefile
// holds them, geometries as shapefile records. Records are the layer's features in reading order; a merge
// reads them one after another, which every driver does fast, and any other order reads again from the start.
// It never writes.
//
// Also here: the geometry kinds and the builder that turns an OGR geometry into a shapefile record.

#include "coordsys/GdalModule.h"
#include "data/DsFields.h"
#include "data/GeoTypes.h"
#include "data/IProjectionText.h"
#include "data/IStoredShape.h"
#include "platform/ByteBuffer.h"
#include "search/GeoDataSource.h"
#include "tab/OgrReading.h"
#include "tab/VectorAttrImpl.h"

#include <ogr_feature.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class GDALDataset;
class OGRGeometry;
class OGRLayer;

namespace fennick {

// What a geometry is as a shapefile sees it: a shape type code (SHAPE_POINT, SHAPE_MULTIPOINT,
// SHAPE_POLYLINE, SHAPE_POLYGON; curves and their multi forms as lines and polygons), SHAPE_NULL for a
// missing or empty geometry, kVectorBadGeometry for a collection or any other kind no shapefile record holds.
inline constexpr int kVectorBadGeometry = -2;
int VectorGeometryKind(const OGRGeometry* geometry);

// Builds in out the whole shapefile record (12-byte header, then the content) of a linear geometry of the
// given kind (VectorGeometryKind; a point is taken into a multipoint record when kind is SHAPE_MULTIPOINT) as
// record number (from 1), in the variant's shape type: z 0 where the geometry has none, m the no-data value.
// Polygon rings are written clockwise when outer, counter-clockwise when holes. Returns the record's size.
// Raises a format error for a geometry that cannot be written so.
std::size_t BuildVectorShapeRecord(const OGRGeometry& geometry, int kind, int variant, int number,
                                   CByteBuffer& out);

class CVectorLayerDS : public COgrLayerDS, public IShapeVariantSource {
public:
    CVectorLayerDS();
    ~CVectorLayerDS() override;

    // Opens the layer options.layer (none: the only one) of the source at path, a file or a ".gdb" folder.
    // Reads the layer once to learn its fields' widths, its record count and the kinds of its geometries.
    // Raises a format error saying why when GDAL cannot open it, the layer is missing or not named where
    // there are several (naming those there are), the layer has no geometry, a field is of a kind no
    // shapefile field keeps and not left out, two names clash once cut to 10 bytes, or the layer mixes
    // points, lines and polygons (with the count of each) unless options.keepFirstKind.
    void Open(const std::u16string& path, const SVectorLayerOptions& options);

    // IGeoDS: kind SOURCE_VECTOR_LAYER; the shape type of the layer's geometries and their extent
    // (COgrLayerDS).
    int GetSourceKind() override;
    void Close() override;

    // A missing or empty geometry reads as a null shape; a collection, or a geometry of another kind than
    // the layer's, fails the read with 0 and the reason left for the caller.
    int ReadShape(int record, IShapeEx* shape) override;
    int GetAttributes(int record, IShapeAttr** attributes) override;
    int GetRecordBounds(int record, CGeoRect* bounds) override;

    // IShapeVariantSource: Z when any geometry has heights, M when some have measures and none heights.
    int GetShapeVariant() override { return m_variant; }

private:
    [[noreturn]] void Fail(const std::u16string& why);
    OGRLayer* ChooseLayer(const std::u16string& name);
    void ReadFields(const SVectorLayerOptions& options);
    // The pass over every feature: the record count, the widths of fields that declare none, the kinds and
    // variant of the geometries and the extent.
    void Scan(bool keepFirstKind);
    OGRFeatureUniquePtr Fetch(int record);
    OGRFeature* Kept(int record);
    OGRFeatureUniquePtr Take(int record);
    int NoteReadFailure(int record, const std::u16string& what);

    std::shared_ptr<std::vector<SVectorField>> m_vectorFields;
    int m_variant = VARIANT_XY;
    int m_next = 0; // the record the layer's reading hands out next
};

} // namespace fennick
